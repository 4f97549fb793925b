#include "DialogAnswerer.h"

#include "FormsTestKit.h"

namespace {

BOOL CALLBACK Collect(HWND Wnd, LPARAM Data) {
  reinterpret_cast<std::vector<HWND>*>(Data)->push_back(Wnd);
  return TRUE;
}

}  // namespace

AnsiString WindowText(HWND Wnd) {
  char Buffer[512] = {};
  GetWindowTextA(Wnd, Buffer, sizeof Buffer);
  return Buffer;
}

std::vector<HWND> ChildWindows(HWND Parent) {
  std::vector<HWND> Children;
  EnumChildWindows(Parent, Collect, reinterpret_cast<LPARAM>(&Children));
  return Children;
}

std::function<bool(HWND)> Titled(const AnsiString& Title) {
  return [Title](HWND Wnd) { return WindowText(Wnd) == Title; };
}

void PressEnterIn(HWND Dialog) {
  SetForegroundWindow(Dialog);
  PressKey(VK_RETURN);
}

std::shared_ptr<TDialogAnswerer> TDialogAnswerer::Start(std::vector<TStep> Steps) {
  auto Answerer = std::make_shared<TDialogAnswerer>();
  Answerer->FSteps = std::move(Steps);
  Poll(Answerer);
  return Answerer;
}

void TDialogAnswerer::Poll(const std::shared_ptr<TDialogAnswerer>& Self) {
  if (Self->Done() || GetTickCount() - Self->FStarted > 30000) return;
  std::vector<HWND> Windows;
  EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(&Windows));
  for (HWND Wnd : Windows) {
    if (!IsWindowVisible(Wnd) || !Self->FSteps[Self->FNext].Match(Wnd)) continue;
    std::vector<AnsiString> Texts;
    for (HWND Child : ChildWindows(Wnd)) Texts.push_back(WindowText(Child));
    Self->Seen.push_back(Texts);
    Self->FSteps[Self->FNext++].Act(Wnd);
    break;
  }
  Later([Self] { Poll(Self); }, 50);
}
