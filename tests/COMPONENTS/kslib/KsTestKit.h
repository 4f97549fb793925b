// Pixels of our own drawing for the edit-control tests: a 32-bit DIB with a
// memory DC, filled from a window with PrintWindow or drawn on directly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>

class TDibDC {
 public:
  TDibDC(int Width, int Height, COLORREF Fill = RGB(255, 255, 255));
  ~TDibDC();
  TDibDC(const TDibDC&) = delete;
  TDibDC& operator=(const TDibDC&) = delete;
  HDC DC() const { return FDC; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  COLORREF Pixel(int X, int Y) const;
  // Pixels of the colour in a rectangle.
  int Count(const RECT& Rect, COLORREF Color) const;
  bool SameAs(const TDibDC& Other) const;

 private:
  HDC FDC;
  HBITMAP FBitmap, FOld;
  uint32_t* FBits = nullptr;
  int FWidth, FHeight;
};

// Presses the keys in order and lets them go in reverse (Alt+Down: {VK_MENU,
// VK_DOWN}), through the system's input queue.
void PressChord(std::initializer_list<WORD> Keys);
// Handles messages until the focus is on the window.
bool PumpUntilFocused(HWND Wnd);

// The window's client area as the window paints it (WM_PRINTCLIENT).
void PrintClient(HWND Wnd, TDibDC& Target);
