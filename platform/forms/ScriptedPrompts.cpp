#include "forms/ScriptedPrompts.h"

TScriptedPrompts::TScriptedPrompts() : FPrevious(SetPrompts(this)) {}

TScriptedPrompts::~TScriptedPrompts() { SetPrompts(FPrevious); }

void TScriptedPrompts::Answer(int Result, const AnsiString& Value) {
  Answers.push_back({Result, Value});
}

TPromptAnswer TScriptedPrompts::Ask(const TPrompt& Prompt, const std::function<TPromptAnswer()>&) {
  Asked.push_back(Prompt);
  if (Answers.empty()) return {};
  TPromptAnswer Next = Answers.front();
  Answers.pop_front();
  return Next;
}
