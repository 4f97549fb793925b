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
  void Beep() override { MessageBeep(0); }
};

}  // namespace

IDataPrompts& DefaultDataPrompts() {
  static TFormsDataPrompts prompts;
  return prompts;
}
