#include "forms/Graphics.h"

#include <cstring>

COLORREF ColorToRGB(TColor Color) {
  if (Color & clSystemColor) return GetSysColor(Color & 0xFF);
  return static_cast<COLORREF>(Color);
}

int ScreenPixelsPerInch() {
  static const int Dpi = GetDeviceCaps(TWindowDC().Get(), LOGPIXELSY);
  return Dpi;
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// --- TFont

TFont::TFont()
    : FName("MS Sans Serif"),
      FPixelsPerInch(ScreenPixelsPerInch()),
      FHeight(-MulDiv(8, FPixelsPerInch, 72)) {}

void TFont::Assign(TPersistent* Source) {
  if (auto* Other = dynamic_cast<TFont*>(Source)) {
    int Height = FPixelsPerInch == Other->FPixelsPerInch
                     ? Other->FHeight
                     : MulDiv(Other->FHeight, FPixelsPerInch, Other->FPixelsPerInch);
    // The colour is not in the font object: painters that take a cell's
    // font for every cell keep the handle while only the colour changes.
    bool SameFace = FName == Other->FName && FHeight == Height && FStyle == Other->FStyle &&
                    FCharset == Other->FCharset;
    FName = Other->FName;
    FHeight = Height;
    FStyle = Other->FStyle;
    FColor = Other->FColor;
    FCharset = Other->FCharset;
    if (SameFace) {
      Changed();
    } else {
      Modified();
    }
    return;
  }
  TPersistent::Assign(Source);
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTA LF{};
    LF.lfHeight = FHeight;
    LF.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    LF.lfItalic = FStyle.Contains(fsItalic);
    LF.lfUnderline = FStyle.Contains(fsUnderline);
    LF.lfStrikeOut = FStyle.Contains(fsStrikeOut);
    LF.lfCharSet = FCharset;
    LF.lfQuality = DEFAULT_QUALITY;
    lstrcpynA(LF.lfFaceName, FName.c_str(), LF_FACESIZE);
    FHandle.Reset(CreateFontIndirectA(&LF));
  }
  return FHandle.Get();
}

void TFont::SetLogFont(const LOGFONTA& Font) {
  FName = Font.lfFaceName;
  FHeight = Font.lfHeight;
  FStyle = {};
  if (Font.lfWeight >= FW_BOLD) FStyle.Include(fsBold);
  if (Font.lfItalic) FStyle.Include(fsItalic);
  if (Font.lfUnderline) FStyle.Include(fsUnderline);
  if (Font.lfStrikeOut) FStyle.Include(fsStrikeOut);
  FCharset = Font.lfCharSet;
  Modified();
}

void TFont::SetHandle(HFONT Font) {
  FHandle.Reset(Font);
  Changed();
}

void TFont::Modified() {
  FHandle.Reset();
  Changed();
}

void TFont::SetName(const AnsiString& Value) {
  if (FName != Value) FName = Value, Modified();
}
void TFont::SetHeight(int Value) {
  if (FHeight != Value) FHeight = Value, Modified();
}
int TFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }
void TFont::SetSize(int Value) { SetHeight(-MulDiv(Value, FPixelsPerInch, 72)); }
void TFont::SetStyle(TFontStyles Value) {
  if (FStyle != Value) FStyle = Value, Modified();
}
void TFont::SetColor(TColor Value) {
  if (FColor != Value) FColor = Value, Changed();
}
void TFont::SetCharset(uint8_t Value) {
  if (FCharset != Value) FCharset = Value, Modified();
}

// --- TBrush, TPen

void TBrush::Assign(TPersistent* Source) {
  if (auto* Other = dynamic_cast<TBrush*>(Source)) {
    FColor = Other->FColor;
    FStyle = Other->FStyle;
    FHandle.Reset();
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

HBRUSH TBrush::Handle() {
  if (FStyle == bsClear) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  if (!FHandle) FHandle.Reset(CreateSolidBrush(ColorToRGB(FColor)));
  return FHandle.Get();
}

void TBrush::SetColor(TColor Value) {
  if (FColor == Value && FStyle == bsSolid) return;
  FColor = Value;
  FStyle = bsSolid;
  FHandle.Reset();
  Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (FStyle != Value) FStyle = Value, Changed();
}

void TPen::Assign(TPersistent* Source) {
  if (auto* Other = dynamic_cast<TPen*>(Source)) {
    FColor = Other->FColor;
    FWidth = Other->FWidth;
    FStyle = Other->FStyle;
    FHandle.Reset();
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

HPEN TPen::Handle() {
  if (!FHandle) {
    static const int Styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_NULL};
    FHandle.Reset(CreatePen(Styles[FStyle], FWidth, ColorToRGB(FColor)));
  }
  return FHandle.Get();
}

void TPen::SetColor(TColor Value) {
  if (FColor != Value) FColor = Value, FHandle.Reset(), Changed();
}
void TPen::SetWidth(int Value) {
  if (FWidth != Value) FWidth = Value, FHandle.Reset(), Changed();
}
void TPen::SetStyle(TPenStyle Value) {
  if (FStyle != Value) FStyle = Value, FHandle.Reset(), Changed();
}

// --- TCanvas

TCanvas::TCanvas() = default;

TCanvas::~TCanvas() { Deselect(); }

HDC TCanvas::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TCanvas::SetHandle(HDC DC) {
  if (FHandle == DC) return;
  Deselect();
  FHandle = DC;
}

void TCanvas::Deselect() {
  if (!FHandle) return;
  if (FOldFont) SelectObject(FHandle, FOldFont);
  if (FOldBrush) SelectObject(FHandle, FOldBrush);
  if (FOldPen) SelectObject(FHandle, FOldPen);
  FOldFont = FOldBrush = FOldPen = nullptr;
}

// The objects' handles may have been recreated since the last call, so they
// are selected anew every time; the context's own objects are kept to be put
// back when the context is let go.
void TCanvas::Prepare(bool Font, bool Brush, bool Pen) {
  HDC DC = Handle();
  if (Font) {
    HGDIOBJ Old = SelectObject(DC, FFont.Handle());
    if (!FOldFont) FOldFont = Old;
    SetTextColor(DC, ColorToRGB(FFont.Color()));
  }
  if (Brush) {
    HGDIOBJ Old = SelectObject(DC, FBrush.Handle());
    if (!FOldBrush) FOldBrush = Old;
    if (FBrush.Style() == bsClear) {
      SetBkMode(DC, TRANSPARENT);
    } else {
      SetBkMode(DC, OPAQUE);
      SetBkColor(DC, ColorToRGB(FBrush.Color()));
    }
  }
  if (Pen) {
    HGDIOBJ Old = SelectObject(DC, FPen.Handle());
    if (!FOldPen) FOldPen = Old;
  }
}

void TCanvas::TextOut(int X, int Y, const AnsiString& Text) {
  Prepare(true, true, false);
  ExtTextOutA(FHandle, X, Y, 0, nullptr, Text.data(), static_cast<UINT>(Text.size()), nullptr);
}

void TCanvas::TextRect(const RECT& Rect, int X, int Y, const AnsiString& Text) {
  Prepare(true, true, false);
  UINT Options = ETO_CLIPPED | (FBrush.Style() != bsClear ? ETO_OPAQUE : 0);
  ExtTextOutA(FHandle, X, Y, Options, &Rect, Text.data(), static_cast<UINT>(Text.size()), nullptr);
}

SIZE TCanvas::TextExtent(const AnsiString& Text) {
  Prepare(true, false, false);
  SIZE Size{};
  GetTextExtentPoint32A(FHandle, Text.data(), static_cast<int>(Text.size()), &Size);
  return Size;
}

void TCanvas::FillRect(const RECT& Rect) {
  Prepare(false, true, false);
  ::FillRect(FHandle, &Rect, FBrush.Handle());
}

void TCanvas::FrameRect(const RECT& Rect) {
  Prepare(false, true, false);
  ::FrameRect(FHandle, &Rect, FBrush.Handle());
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  Prepare(false, true, true);
  ::Rectangle(FHandle, X1, Y1, X2, Y2);
}

void TCanvas::MoveTo(int X, int Y) { MoveToEx(Handle(), X, Y, nullptr); }

void TCanvas::LineTo(int X, int Y) {
  Prepare(false, false, true);
  ::LineTo(FHandle, X, Y);
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  StretchDraw(RECT{X, Y, X + Graphic->Width(), Y + Graphic->Height()}, Graphic);
}

void TCanvas::StretchDraw(const RECT& Rect, TGraphic* Graphic) {
  if (Graphic && !Graphic->Empty()) Graphic->Draw(this, Rect);
}

TColor TCanvas::Pixels(int X, int Y) { return static_cast<TColor>(GetPixel(Handle(), X, Y)); }

void TCanvas::SetPixel(int X, int Y, TColor Color) {
  ::SetPixel(Handle(), X, Y, ColorToRGB(Color));
}

// --- TBitmap

class TBitmap::TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* Owner) : FOwner(Owner) {}
  ~TBitmapCanvas() override { Release(); }
  void Release() {
    HDC DC = Handle();
    SetHandle(nullptr);
    if (FOld) SelectObject(DC, FOld);
    DeleteDC(DC);
    FOld = nullptr;
  }

 protected:
  void CreateHandle() override {
    HDC DC = CreateCompatibleDC(nullptr);
    FOld = SelectObject(DC, FOwner->FHandle.Get());
    SetHandle(DC);
  }

 private:
  TBitmap* FOwner;
  HGDIOBJ FOld = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() { FreeCanvas(); }

void TBitmap::FreeCanvas() {
  delete FCanvas;
  FCanvas = nullptr;
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) FCanvas = new TBitmapCanvas(this);
  return FCanvas;
}

void TBitmap::SetSize(int Width, int Height) {
  TWindowDC Screen;
  SetHandle(CreateCompatibleBitmap(Screen.Get(), Width, Height));
}

void TBitmap::SetHandle(HBITMAP Bitmap) {
  FreeCanvas();
  FHandle.Reset(Bitmap);
  BITMAP Info{};
  if (Bitmap && GetObjectA(Bitmap, sizeof Info, &Info)) {
    FWidth = Info.bmWidth;
    FHeight = Info.bmHeight;
  } else {
    FWidth = FHeight = 0;
  }
}

void TBitmap::LoadFromResourceName(HINSTANCE Instance, const AnsiString& Name) {
  SetHandle(static_cast<HBITMAP>(
      LoadImageA(Instance, Name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

void TBitmap::Draw(TCanvas* Target, const RECT& Rect) {
  HDC Source = Canvas()->Handle();
  int W = Rect.right - Rect.left, H = Rect.bottom - Rect.top;
  if (Transparent) {
    TransparentBlt(Target->Handle(), Rect.left, Rect.top, W, H, Source, 0, 0, FWidth, FHeight,
                   GetPixel(Source, 0, FHeight - 1));
  } else {
    StretchBlt(Target->Handle(), Rect.left, Rect.top, W, H, Source, 0, 0, FWidth, FHeight, SRCCOPY);
  }
}

// --- TIcon

TIcon::~TIcon() { SetHandle(nullptr, false); }

void TIcon::SetHandle(HICON Icon, bool Owned) {
  if (FHandle && FOwned) DestroyIcon(FHandle);
  FHandle = Icon;
  FOwned = Owned;
}

void TIcon::Draw(TCanvas* Canvas, const RECT& Rect) {
  DrawIconEx(Canvas->Handle(), Rect.left, Rect.top, FHandle, Rect.right - Rect.left,
             Rect.bottom - Rect.top, 0, nullptr, DI_NORMAL);
}

// --- TPicture

TPicture::~TPicture() { delete FGraphic; }

template <class G>
G* TPicture::Take() {
  if (auto* Same = dynamic_cast<G*>(FGraphic)) return Same;
  delete FGraphic;
  auto* Made = new G;
  FGraphic = Made;
  if (OnChange) OnChange(this);
  return Made;
}

TBitmap* TPicture::Bitmap() { return Take<TBitmap>(); }
TIcon* TPicture::Icon() { return Take<TIcon>(); }

// --- TImageList

TImageList::TImageList(TComponent* AOwner, int Width, int Height)
    : TComponent(AOwner),
      FWidth(Width),
      FHeight(Height),
      FHandle(ImageList_Create(Width, Height, ILC_COLOR24 | ILC_MASK, 4, 4)) {}

TImageList::~TImageList() { ImageList_Destroy(FHandle); }

int TImageList::Count() const { return ImageList_GetImageCount(FHandle); }

int TImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
  return ImageList_AddMasked(FHandle, Image->Handle(), ColorToRGB(MaskColor));
}

void TImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
  ImageList_DrawEx(FHandle, Index, Canvas->Handle(), X, Y, 0, 0, CLR_NONE,
                   Enabled ? CLR_NONE : CLR_DEFAULT, Enabled ? ILD_NORMAL : ILD_BLEND50);
}
