#include "KsTestKit.h"

#include <vector>

#include "FormsTestKit.h"

TDibDC::TDibDC(int Width, int Height, COLORREF Fill) : FWidth(Width), FHeight(Height) {
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof Info.bmiHeader;
  Info.bmiHeader.biWidth = Width;
  Info.bmiHeader.biHeight = -Height;  // top-down rows
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  Info.bmiHeader.biCompression = BI_RGB;
  FDC = CreateCompatibleDC(nullptr);
  void* Bits = nullptr;
  FBitmap = CreateDIBSection(FDC, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
  FBits = static_cast<uint32_t*>(Bits);
  FOld = static_cast<HBITMAP>(SelectObject(FDC, FBitmap));
  HBRUSH Brush = CreateSolidBrush(Fill);
  RECT R{0, 0, Width, Height};
  FillRect(FDC, &R, Brush);
  DeleteObject(Brush);
}

TDibDC::~TDibDC() {
  SelectObject(FDC, FOld);
  DeleteObject(FBitmap);
  DeleteDC(FDC);
}

COLORREF TDibDC::Pixel(int X, int Y) const {
  GdiFlush();
  uint32_t V = FBits[Y * FWidth + X];
  return RGB((V >> 16) & 0xFF, (V >> 8) & 0xFF, V & 0xFF);
}

int TDibDC::Count(const RECT& Rect, COLORREF Color) const {
  int N = 0;
  for (int Y = Rect.top; Y < Rect.bottom; ++Y)
    for (int X = Rect.left; X < Rect.right; ++X) N += Pixel(X, Y) == Color;
  return N;
}

bool TDibDC::SameAs(const TDibDC& Other) const {
  if (FWidth != Other.FWidth || FHeight != Other.FHeight) return false;
  for (int Y = 0; Y < FHeight; ++Y)
    for (int X = 0; X < FWidth; ++X)
      if (Pixel(X, Y) != Other.Pixel(X, Y)) return false;
  return true;
}

void PrintClient(HWND Wnd, TDibDC& Target) {
  SendMessageA(Wnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Target.DC()),
               PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
}

void PressChord(std::initializer_list<WORD> Keys) {
  std::vector<INPUT> Inputs;
  auto Add = [&](WORD Key, DWORD Flags) {
    INPUT Input{};
    Input.type = INPUT_KEYBOARD;
    Input.ki.wVk = Key;
    Input.ki.dwFlags = Flags;
    Inputs.push_back(Input);
  };
  for (WORD Key : Keys) Add(Key, 0);
  for (auto It = std::rbegin(Keys); It != std::rend(Keys); ++It) Add(*It, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT));
}

bool PumpUntilFocused(HWND Wnd) {
  return PumpUntil([Wnd] { return GetFocus() == Wnd; });
}
