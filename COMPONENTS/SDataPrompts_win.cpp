#include <windows.h>

#include "SDataPrompts.h"
#include "forms/Controls.h"
#include "forms/Dialogs.h"

namespace {

class TFormsDataPrompts : public IDataPrompts {
 public:
  bool AskYesNo(const AnsiString& Text) override {
    return MessageDlg(Text, mtInformation, TMsgDlgButtons{mbYes, mbNo}) == mrYes;
  }
  void ShowMessage(const AnsiString& Text) override { ::ShowMessage(Text); }
  void ShowBox(TBoxKind Kind, const AnsiString& Text) override {
    if (Kind == bkInformation)
      MessageDlg(Text, mtInformation, TMsgDlgButtons{mbOK});
    else
      MessageDlg(Text, Kind == bkWarning ? mtWarning : mtError, TMsgDlgButtons{mbCancel});
  }
  void Beep() override { MessageBeep(0); }
};

}  // namespace

IDataPrompts& DefaultDataPrompts() {
  static TFormsDataPrompts prompts;
  return prompts;
}
