// GDI wrappers: colours, scoped handles, fonts, brushes, pens, the canvas
// and the few images the program draws (bitmaps, icons, image lists).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <utility>

#include "rtl/Classes.h"
#include "rtl/Types.h"

using TColor = int32_t;

// A system drawing resource (cursor, bitmap) could not be had.
KS_EXCEPTION(EOutOfResources, EOutOfMemory);

// Colours are COLORREF values; system colours carry the high bit and the
// system colour index in the low byte.
constexpr TColor clSystemColor = static_cast<TColor>(0x80000000);
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;
constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR,
                 clBtnFace = clSystemColor | COLOR_BTNFACE, clWindow = clSystemColor | COLOR_WINDOW,
                 clWindowText = clSystemColor | COLOR_WINDOWTEXT,
                 clBtnText = clSystemColor | COLOR_BTNTEXT,
                 clBtnShadow = clSystemColor | COLOR_BTNSHADOW,
                 clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT,
                 clHighlight = clSystemColor | COLOR_HIGHLIGHT,
                 clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT,
                 clGrayText = clSystemColor | COLOR_GRAYTEXT,
                 cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW,
                 cl3DLight = clSystemColor | COLOR_3DLIGHT, clInfoBk = clSystemColor | COLOR_INFOBK,
                 clInfoText = clSystemColor | COLOR_INFOTEXT;

COLORREF ColorToRGB(TColor Color);

// Owned GDI object: deleted with the wrapper. Borrowed handles stay raw.
template <class H>
class TGdiHandle {
 public:
  TGdiHandle() = default;
  explicit TGdiHandle(H Handle) : FHandle(Handle) {}
  TGdiHandle(const TGdiHandle&) = delete;
  TGdiHandle& operator=(const TGdiHandle&) = delete;
  TGdiHandle(TGdiHandle&& Other) noexcept : FHandle(std::exchange(Other.FHandle, nullptr)) {}
  TGdiHandle& operator=(TGdiHandle&& Other) noexcept {
    Reset(std::exchange(Other.FHandle, nullptr));
    return *this;
  }
  ~TGdiHandle() { Reset(); }
  H Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }
  void Reset(H Handle = nullptr) {
    if (FHandle) DeleteObject(FHandle);
    FHandle = Handle;
  }

 private:
  H FHandle = nullptr;
};

// SelectObject for the lifetime of a scope.
class TSelectObject {
 public:
  TSelectObject(HDC DC, HGDIOBJ Object) : FDC(DC), FOld(SelectObject(DC, Object)) {}
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;
  ~TSelectObject() { SelectObject(FDC, FOld); }

 private:
  HDC FDC;
  HGDIOBJ FOld;
};

// GetDC/ReleaseDC for the lifetime of a scope (null window: the screen).
class TWindowDC {
 public:
  explicit TWindowDC(HWND Wnd = nullptr) : FWnd(Wnd), FDC(GetDC(Wnd)) {}
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  ~TWindowDC() { ReleaseDC(FWnd, FDC); }
  HDC Get() const { return FDC; }

 private:
  HWND FWnd;
  HDC FDC;
};

// BeginPaint/EndPaint for the lifetime of a scope.
class TPaintDC {
 public:
  explicit TPaintDC(HWND Wnd) : FWnd(Wnd) { FDC = BeginPaint(Wnd, &FPS); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;
  ~TPaintDC() { EndPaint(FWnd, &FPS); }
  HDC Get() const { return FDC; }
  const RECT& PaintRect() const { return FPS.rcPaint; }

 private:
  HWND FWnd;
  PAINTSTRUCT FPS{};
  HDC FDC;
};

// A graphics object whose change is announced to its user (canvas, control).
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

 protected:
  void Changed();
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

class TFont : public TGraphicsObject {
 public:
  TFont();
  void Assign(TPersistent* Source) override;
  HFONT Handle();
  // Takes the description of a system font (the message font, ...).
  void SetLogFont(const LOGFONTA& Font);
  // Draws with a font made elsewhere (a rotated one) until the next change;
  // the font takes ownership. Null goes back to the font of the properties.
  void SetHandle(HFONT Font);

  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  int Size() const;
  void SetSize(int Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  uint8_t Charset() const { return FCharset; }
  void SetCharset(uint8_t Value);
  // The device resolution Height counts in (the screen's by default; a
  // printer's canvas sets its own). Assign keeps it and carries the size in
  // points over, so a screen font comes out as large on paper.
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }

 private:
  void Modified();
  AnsiString FName;
  int FPixelsPerInch;
  int FHeight;
  TFontStyles FStyle;
  TColor FColor = clWindowText;
  uint8_t FCharset = DEFAULT_CHARSET;
  TGdiHandle<HFONT> FHandle;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
 public:
  void Assign(TPersistent* Source) override;
  HBRUSH Handle();
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);

 private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  TGdiHandle<HBRUSH> FHandle;
};

enum TPenStyle { psSolid, psDash, psDot, psClear };

class TPen : public TGraphicsObject {
 public:
  void Assign(TPersistent* Source) override;
  HPEN Handle();
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);

 private:
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TGdiHandle<HPEN> FHandle;
};

class TGraphic;

// Draws on a borrowed device context with its own font, brush and pen,
// selected into the context before each drawing call.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;
  HDC Handle();
  void SetHandle(HDC DC);
  TFont* Font() { return &FFont; }
  TBrush* Brush() { return &FBrush; }
  TPen* Pen() { return &FPen; }

  void TextOut(int X, int Y, const AnsiString& Text);
  void TextRect(const RECT& Rect, int X, int Y, const AnsiString& Text);
  SIZE TextExtent(const AnsiString& Text);
  int TextWidth(const AnsiString& Text) { return TextExtent(Text).cx; }
  int TextHeight(const AnsiString& Text) { return TextExtent(Text).cy; }
  void FillRect(const RECT& Rect);
  void FrameRect(const RECT& Rect);
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void MoveTo(int X, int Y);
  void LineTo(int X, int Y);
  void Draw(int X, int Y, TGraphic* Graphic);
  void StretchDraw(const RECT& Rect, TGraphic* Graphic);
  TColor Pixels(int X, int Y);
  void SetPixel(int X, int Y, TColor Color);
  // Selects the canvas's objects into the context before a raw GDI call.
  void Prepare(bool Font, bool Brush, bool Pen);

 protected:
  // Called when a drawing call needs a context and none is set.
  virtual void CreateHandle() {}
  void Deselect();

 private:
  HDC FHandle = nullptr;
  TFont FFont;
  TBrush FBrush;
  TPen FPen;
  HGDIOBJ FOldFont = nullptr, FOldBrush = nullptr, FOldPen = nullptr;
};

class TGraphic : public TPersistent {
 public:
  virtual void Draw(TCanvas* Canvas, const RECT& Rect) = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() == 0 || Height() == 0; }
};

// A device-dependent bitmap with a memory canvas of its own.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  void Draw(TCanvas* Canvas, const RECT& Rect) override;
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetSize(int Width, int Height);
  HBITMAP Handle() const { return FHandle.Get(); }
  // Takes ownership of the bitmap.
  void SetHandle(HBITMAP Bitmap);
  void LoadFromResourceName(HINSTANCE Instance, const AnsiString& Name);
  TCanvas* Canvas();
  // Transparent: pixels of the bottom-left colour are not drawn.
  bool Transparent = false;

 private:
  class TBitmapCanvas;
  void FreeCanvas();
  TGdiHandle<HBITMAP> FHandle;
  int FWidth = 0, FHeight = 0;
  TBitmapCanvas* FCanvas = nullptr;
};

class TIcon : public TGraphic {
 public:
  ~TIcon() override;
  void Draw(TCanvas* Canvas, const RECT& Rect) override;
  int Width() const override { return FHandle ? GetSystemMetrics(SM_CXICON) : 0; }
  int Height() const override { return FHandle ? GetSystemMetrics(SM_CYICON) : 0; }
  HICON Handle() const { return FHandle; }
  // Owned icons are destroyed with the object; shared (system) ones are not.
  void SetHandle(HICON Icon, bool Owned);

 private:
  HICON FHandle = nullptr;
  bool FOwned = false;
};

// Holds one picture, a bitmap or an icon.
class TPicture : public TPersistent {
 public:
  ~TPicture() override;
  TBitmap* Bitmap();
  TIcon* Icon();
  TGraphic* Graphic() const { return FGraphic; }
  TNotifyEvent OnChange;

 private:
  template <class G>
  G* Take();
  TGraphic* FGraphic = nullptr;
};

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* AOwner, int Width = 16, int Height = 16);
  ~TImageList() override;
  HIMAGELIST Handle() const { return FHandle; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Count() const;
  // The mask colour's pixels are transparent.
  int AddMasked(TBitmap* Image, TColor MaskColor);
  void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);

 private:
  int FWidth, FHeight;
  HIMAGELIST FHandle;
};

int ScreenPixelsPerInch();
