// Scripted answers of the dataset layer's prompts for tests.
#pragma once

#include <deque>
#include <vector>

#include "SDataPrompts.h"

// Answers questions in order (no answer left: No) and records everything.
class TScriptedDataPrompts : public IDataPrompts {
 public:
  TScriptedDataPrompts() : FPrevious(SetDataPrompts(this)) {}
  ~TScriptedDataPrompts() override { SetDataPrompts(FPrevious); }
  bool AskYesNo(const AnsiString& Text) override {
    Questions.push_back(Text);
    if (Answers.empty()) return false;
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void ShowMessage(const AnsiString& Text) override { Messages.push_back(Text); }
  void Beep() override { ++Beeps; }

  std::deque<bool> Answers;
  std::vector<AnsiString> Questions, Messages;
  int Beeps = 0;

 private:
  IDataPrompts* FPrevious;
};
