// The program's prompts for tests that type into the value prompt: its
// window is shown for real, every other question is recorded and answered
// OK without a window.
#pragma once

#include <vector>

#include "forms/Prompts.h"

class TShowingPrompts : public IPrompts {
 public:
  TShowingPrompts() : FPrevious(SetPrompts(this)) {}
  ~TShowingPrompts() override { SetPrompts(FPrevious); }
  TPromptAnswer Ask(const TPrompt& Prompt, const std::function<TPromptAnswer()>& Show) override {
    if (Prompt.Kind == TPromptKind::InputQuery) return Show();
    Told.push_back(Prompt.Text);
    return TPromptAnswer{mrOk, {}};
  }
  std::vector<AnsiString> Told;

 private:
  IPrompts* FPrevious;
};
