#include "FormsTestKit.h"

#include <deque>
#include <map>

#include "forms/Forms.h"

void PressKey(WORD Key, bool Shift) {
  INPUT Inputs[4] = {};
  int Count = 0;
  auto Add = [&](WORD Vk, DWORD Flags) {
    Inputs[Count].type = INPUT_KEYBOARD;
    Inputs[Count].ki.wVk = Vk;
    Inputs[Count].ki.dwFlags = Flags;
    ++Count;
  };
  if (Shift) Add(VK_SHIFT, 0);
  Add(Key, 0);
  Add(Key, KEYEVENTF_KEYUP);
  if (Shift) Add(VK_SHIFT, KEYEVENTF_KEYUP);
  SendInput(Count, Inputs, sizeof(INPUT));
}

void TypeText(const char* Text) {
  for (; *Text; ++Text) {
    SHORT Code = VkKeyScanA(*Text);
    PressKey(LOBYTE(Code), HIBYTE(Code) & 1);
  }
}

void PressAlt(WORD Key) {
  INPUT Inputs[4] = {};
  WORD Keys[] = {VK_MENU, Key, Key, VK_MENU};
  for (int I = 0; I < 4; ++I) {
    Inputs[I].type = INPUT_KEYBOARD;
    Inputs[I].ki.wVk = Keys[I];
    Inputs[I].ki.dwFlags = I < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  SendInput(4, Inputs, sizeof(INPUT));
}

void PostAltChar(char Char, HWND Wnd) {
  PostMessageA(GetFocus() ? GetFocus() : Wnd, WM_SYSCHAR, static_cast<uint8_t>(Char),
               1 | (LPARAM{1} << 29));
}

bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
  DWORD Start = GetTickCount();
  while (!Done()) {
    if (static_cast<int>(GetTickCount() - Start) > TimeoutMs) return false;
    Application->ProcessMessages();
    Sleep(5);
  }
  return true;
}

void PumpFor(int Ms) {
  DWORD Start = GetTickCount();
  while (static_cast<int>(GetTickCount() - Start) < Ms) {
    Application->ProcessMessages();
    Sleep(5);
  }
}

namespace {

std::map<UINT_PTR, std::function<void()>>& Pending() {
  static std::map<UINT_PTR, std::function<void()>> Map;
  return Map;
}

void CALLBACK RunPending(HWND, UINT, UINT_PTR Id, DWORD) {
  KillTimer(nullptr, Id);
  auto Action = std::move(Pending()[Id]);
  Pending().erase(Id);
  Action();
}

}  // namespace

void Later(std::function<void()> Action, int DelayMs) {
  Pending()[SetTimer(nullptr, 0, DelayMs, RunPending)] = std::move(Action);
}
