// Pixels of our own drawing for the edit-control tests: a 32-bit DIB with a
// memory DC, filled from a window with PrintWindow or drawn on directly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>

#include "forms/Graphics.h"
#include "rtl/AnsiText.h"

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

// A button glyph of square images of Side pixels side by side, each a
// square of its colour one pixel inside a white ground.
void MakeGlyphStrip(TBitmap& Strip, int Side, std::initializer_list<TColor> Colors);

// Keys as the focused window of this thread gets them: key-down and key-up
// messages posted to it and handled by the application's loop (so the
// form's pre-processing and the translation to characters take part), the
// modifiers held in this thread's keyboard state meanwhile. Unlike input
// sent to the desktop, nothing reaches another program's windows.
void PostKey(WORD Key, std::initializer_list<WORD> Modifiers = {});
// Each character by its key; characters without a key on the layout as
// character messages.
void PostText(const char* Text);
// A left click at a screen point as the window system delivers it: to the
// window holding the mouse capture, else to the window under the point.
void PostClick(POINT Screen);
// The same at a point of a control's client area.
void PostClickOn(HWND Wnd, POINT Client);
// Handles messages until the focus is on the window.
bool PumpUntilFocused(HWND Wnd);
// Lets the left button go at a screen point through the input queue, then
// for Ms handles only timer messages: the release is dropped when Lost, else
// left waiting behind them, as a release that reaches its window late.
void ReleaseBehindTimers(POINT Screen, bool Lost, int Ms = 150);

// The window's client area as the window paints it (WM_PRINTCLIENT).
void PrintClient(HWND Wnd, TDibDC& Target);

// For the scope the platform's Far-East test answers yes, with the lead
// bytes of code page 932. This system's own code page has no double-byte
// characters, so no key makes one: the tests post a character's lead and
// trail bytes as character messages, as such a system delivers them.
class TFarEastScope {
 public:
  TFarEastScope() { FarEastCodePage = 932; }
  ~TFarEastScope() { FarEastCodePage = FSaved; }
  TFarEastScope(const TFarEastScope&) = delete;
  TFarEastScope& operator=(const TFarEastScope&) = delete;

 private:
  unsigned FSaved = FarEastCodePage;
};
