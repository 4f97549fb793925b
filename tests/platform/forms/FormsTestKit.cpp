#include "FormsTestKit.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>

#include "forms/Forms.h"
#include "rtl/AnsiText.h"

namespace {

void SendKeys(std::initializer_list<WORD> Modifiers, bool Down) {
  std::vector<INPUT> Inputs;
  for (WORD Key : Modifiers) {
    INPUT& Input = Inputs.emplace_back();
    Input.type = INPUT_KEYBOARD;
    Input.ki.wVk = Key;
    Input.ki.dwFlags = Down ? 0 : KEYEVENTF_KEYUP;
  }
  if (!Down) std::reverse(Inputs.begin(), Inputs.end());
  if (!Inputs.empty()) SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT));
}

}  // namespace

void PressKeys(WORD Key, std::initializer_list<WORD> Modifiers) {
  SendKeys(Modifiers, true);
  SendKeys({Key}, true);
  SendKeys({Key}, false);
  SendKeys(Modifiers, false);
}

void PressKey(WORD Key, bool Shift) {
  if (Shift) {
    PressKeys(Key, {VK_SHIFT});
  } else {
    PressKeys(Key, {});
  }
}

void SendMouse(POINT Screen, DWORD Flags, int Data) {
  INPUT Input{};
  Input.type = INPUT_MOUSE;
  Input.mi.mouseData = static_cast<DWORD>(Data);
  Input.mi.dx = MulDiv(Screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  Input.mi.dy = MulDiv(Screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  Input.mi.dwFlags = Flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &Input, sizeof Input);
}

void MoveMouse(POINT Screen) {
  SendMouse(Screen);
  PumpFor(50);
}

void PressMouse(POINT Screen, bool Down, bool Right) {
  SendMouse(Screen, Right ? (Down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                          : (Down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP));
}

void TurnWheel(POINT Screen, int Delta, std::initializer_list<WORD> Modifiers) {
  SendKeys(Modifiers, true);
  SendMouse(Screen, MOUSEEVENTF_WHEEL, Delta);
  SendKeys(Modifiers, false);
}

void ClickAt(POINT Screen, std::initializer_list<WORD> Modifiers, bool Right) {
  SendKeys(Modifiers, true);
  PressMouse(Screen, true, Right);
  PressMouse(Screen, false, Right);
  SendKeys(Modifiers, false);
  PumpFor(30);
}

void ClickOn(HWND Wnd, POINT Client, std::initializer_list<WORD> Modifiers) {
  ClientToScreen(Wnd, &Client);
  ClickAt(Client, Modifiers);
}

void TypeText(const char* Text) {
  for (; *Text; ++Text) {
    SHORT Code = VkKeyScanA(*Text);
    PressKey(LOBYTE(Code), HIBYTE(Code) & 1);
  }
}

void TypeUnicode(const char* Text) {
  for (char16_t C : AnsiToWide(Text)) {
    INPUT Inputs[2] = {};
    for (INPUT& Input : Inputs) {
      Input.type = INPUT_KEYBOARD;
      Input.ki.wScan = C;
      Input.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    Inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, Inputs, sizeof(INPUT));
    Sleep(5);
  }
}

void PressShortCut(uint16_t ShortCut) {
  std::vector<WORD> Held;
  if (ShortCut & 0x2000) Held.push_back(VK_SHIFT);
  if (ShortCut & 0x4000) Held.push_back(VK_CONTROL);
  if (ShortCut & 0x8000) Held.push_back(VK_MENU);
  std::vector<INPUT> Inputs;
  auto Add = [&](WORD Vk, DWORD Flags) {
    INPUT Input{};
    Input.type = INPUT_KEYBOARD;
    Input.ki.wVk = Vk;
    Input.ki.dwFlags = Flags;
    Inputs.push_back(Input);
  };
  for (WORD Vk : Held) Add(Vk, 0);
  Add(ShortCut & 0xFF, 0);
  Add(ShortCut & 0xFF, KEYEVENTF_KEYUP);
  for (auto Vk = Held.rbegin(); Vk != Held.rend(); ++Vk) Add(*Vk, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT));
  PumpFor(60);
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

TPicture32 Capture(HWND Wnd) {
  RECT R;
  GetWindowRect(Wnd, &R);
  TPicture32 Picture;
  Picture.Width = R.right - R.left;
  Picture.Height = R.bottom - R.top;
  BITMAPINFO Info{};
  Info.bmiHeader = {
      sizeof(BITMAPINFOHEADER), Picture.Width, -Picture.Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* Bits = nullptr;
  HDC Memory = CreateCompatibleDC(nullptr);
  HBITMAP Bitmap = CreateDIBSection(Memory, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
  HGDIOBJ Old = SelectObject(Memory, Bitmap);
  // What the window shows, frame and children included.
  RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC Window = GetWindowDC(Wnd);
  BitBlt(Memory, 0, 0, Picture.Width, Picture.Height, Window, 0, 0, SRCCOPY);
  ReleaseDC(Wnd, Window);
  GdiFlush();
  auto* Data = static_cast<const uint32_t*>(Bits);
  Picture.Pixels.assign(Data, Data + Picture.Width * Picture.Height);
  SelectObject(Memory, Old);
  DeleteObject(Bitmap);
  DeleteDC(Memory);
  return Picture;
}

void SaveBmp(const TPicture32& Picture, const char* Path) {
  BITMAPFILEHEADER File{};
  BITMAPINFOHEADER Header{
      sizeof Header, Picture.Width, -Picture.Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  DWORD Size = static_cast<DWORD>(Picture.Pixels.size() * 4);
  File.bfType = 0x4D42;
  File.bfOffBits = sizeof File + sizeof Header;
  File.bfSize = File.bfOffBits + Size;
  if (FILE* Out = std::fopen(Path, "wb")) {
    std::fwrite(&File, sizeof File, 1, Out);
    std::fwrite(&Header, sizeof Header, 1, Out);
    std::fwrite(Picture.Pixels.data(), 1, Size, Out);
    std::fclose(Out);
  }
}
