#include "KsTestKit.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FormsTestKit.h"

namespace {

// The test program works on a desktop of its own, made before its first
// window: input that other programs send to the shared desktop (their
// tests type too) never reaches these windows.
class TPrivateDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string Name = "kslib-tests-" + std::to_string(GetCurrentProcessId());
    HDESK Desktop = CreateDesktopA(Name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(Desktop, nullptr);
    ASSERT_TRUE(SetThreadDesktop(Desktop));
  }
};

const auto* const PrivateDesktop = ::testing::AddGlobalTestEnvironment(new TPrivateDesktop);

}  // namespace

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

void MakeGlyphStrip(TBitmap& Strip, int Side, std::initializer_list<TColor> Colors) {
  Strip.SetSize(Side * static_cast<int>(Colors.size()), Side);
  TCanvas* C = Strip.Canvas();
  C->Brush()->SetColor(clWhite);
  C->FillRect(RECT{0, 0, Strip.Width(), Side});
  int X = 0;
  for (TColor Color : Colors) {
    C->Brush()->SetColor(Color);
    C->FillRect(RECT{X + 1, 1, X + Side - 1, Side - 1});
    X += Side;
  }
}

void PrintClient(HWND Wnd, TDibDC& Target) {
  SendMessageA(Wnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Target.DC()),
               PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
}

void PostKey(WORD Key, std::initializer_list<WORD> Modifiers) {
  HWND Target = GetFocus();
  BYTE State[256];
  GetKeyboardState(State);
  auto Hold = [&](BYTE Flag) {
    for (WORD Modifier : Modifiers) State[Modifier] = Flag;
    SetKeyboardState(State);
  };
  Hold(0x80);
  bool Alt = false;
  for (WORD Modifier : Modifiers) Alt = Alt || Modifier == VK_MENU;
  LPARAM Data = 1 | (static_cast<LPARAM>(MapVirtualKeyA(Key, MAPVK_VK_TO_VSC)) << 16) |
                (Alt ? LPARAM{1} << 29 : 0);
  PostMessageA(Target, Alt ? WM_SYSKEYDOWN : WM_KEYDOWN, Key, Data);
  PostMessageA(Target, Alt ? WM_SYSKEYUP : WM_KEYUP, Key,
               Data | (LPARAM{1} << 30) | static_cast<LPARAM>(1u << 31));
  PumpFor(20);
  Hold(0);
}

void PostText(const char* Text) {
  for (; *Text; ++Text) {
    SHORT Code = VkKeyScanA(*Text);
    if (Code == -1) {
      PostMessageA(GetFocus(), WM_CHAR, static_cast<uint8_t>(*Text), 1);
      PumpFor(10);
      continue;
    }
    if (HIBYTE(Code) & 1) {
      PostKey(LOBYTE(Code), {VK_SHIFT});
    } else {
      PostKey(LOBYTE(Code));
    }
  }
}

void PostClick(POINT Screen) {
  for (auto [Msg, Keys] :
       {std::pair<UINT, WPARAM>{WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}}) {
    HWND Target = GetCapture() ? GetCapture() : WindowFromPoint(Screen);
    POINT P = Screen;
    ScreenToClient(Target, &P);
    PostMessageA(Target, Msg, Keys, MAKELPARAM(P.x, P.y));
    PumpFor(20);
  }
}

void PostClickOn(HWND Wnd, POINT Client) {
  ClientToScreen(Wnd, &Client);
  PostClick(Client);
}

bool PumpUntilFocused(HWND Wnd) {
  return PumpUntil([Wnd] { return GetFocus() == Wnd; });
}

void ReleaseBehindTimers(POINT Screen, bool Lost, int Ms) {
  SendMouse(Screen, MOUSEEVENTF_LEFTUP);
  MSG Msg;
  DWORD Began = GetTickCount();
  while (static_cast<int>(GetTickCount() - Began) < Ms) {
    if (Lost) {
      while (PeekMessageA(&Msg, nullptr, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE)) {
      }
    }
    while (PeekMessageA(&Msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageA(&Msg);
    Sleep(5);
  }
}
