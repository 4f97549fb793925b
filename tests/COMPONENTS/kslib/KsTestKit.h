// Pixels of our own drawing for the edit-control tests: a 32-bit DIB with a
// memory DC, filled from a window with PrintWindow or drawn on directly.
#pragma once

#include <windows.h>

#include <cstdint>

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

// The window's client area as the window paints it (WM_PRINTCLIENT).
void PrintClient(HWND Wnd, TDibDC& Target);
