#include "forms/Prompts.h"

#include <windows.h>

#include <shellapi.h>

#include "forms/LateBound.h"

namespace {

class TRealPrompts : public IPrompts {
 public:
  TPromptAnswer Ask(const TPrompt&, const std::function<TPromptAnswer()>& Show) override {
    return Show();
  }
};

TRealPrompts RealPrompts;
IPrompts* Current = &RealPrompts;

}  // namespace

IPrompts& Prompts() { return *Current; }

IPrompts* SetPrompts(IPrompts* Value) {
  IPrompts* Previous = Current;
  Current = Value ? Value : &RealPrompts;
  return Previous;
}

void ShellOpen(const AnsiString& Target, const AnsiString& Verb) {
  TPrompt Prompt{TPromptKind::ShellOpen, {}, Target};
  Prompt.Value = Verb;
  Prompts().Ask(Prompt, [&] {
    static auto* const Execute = LateBound<decltype(ShellExecuteA)>("shell32.dll", "ShellExecuteA");
    auto Code =
        Execute ? reinterpret_cast<INT_PTR>(Execute(GetActiveWindow(), Verb.c_str(), Target.c_str(),
                                                    nullptr, nullptr, SW_SHOWNORMAL))
                : 0;
    return TPromptAnswer{Code > 32 ? 1 : 0, {}};
  });
}
