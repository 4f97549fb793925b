#include "SDataPrompts.h"

namespace {

// No user to ask.
class TSilentDataPrompts : public IDataPrompts {
 public:
  bool AskYesNo(const AnsiString&) override { return false; }
  void ShowMessage(const AnsiString&) override {}
  void Beep() override {}
};

}  // namespace

IDataPrompts& DefaultDataPrompts() {
  static TSilentDataPrompts prompts;
  return prompts;
}
