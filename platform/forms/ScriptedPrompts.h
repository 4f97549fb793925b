// Prompts for tests: each question takes the next scripted answer and is
// recorded. With no answer left a question gets Result 0 (cancelled).
#pragma once

#include <deque>
#include <vector>

#include "forms/Prompts.h"

class TScriptedPrompts : public IPrompts {
 public:
  // Installs itself for its lifetime.
  TScriptedPrompts();
  ~TScriptedPrompts() override;
  TScriptedPrompts(const TScriptedPrompts&) = delete;
  TScriptedPrompts& operator=(const TScriptedPrompts&) = delete;

  void Answer(int Result, const AnsiString& Value = {});
  TPromptAnswer Ask(const TPrompt& Prompt, const std::function<TPromptAnswer()>& Show) override;

  std::vector<TPrompt> Asked;
  // Answers not used up yet.
  std::deque<TPromptAnswer> Answers;

 private:
  IPrompts* FPrevious;
};
