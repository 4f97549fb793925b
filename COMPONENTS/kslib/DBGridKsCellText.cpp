#include "COMPONENTS/kslib/DBGridKsCellText.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/WinWrapKs.h"
#include "rtl/AnsiText.h"

namespace {

constexpr UINT MultiLineFormats[] = {DT_NOPREFIX | DT_EXPANDTABS | DT_LEFT,
                                     DT_NOPREFIX | DT_EXPANDTABS | DT_RIGHT,
                                     DT_NOPREFIX | DT_EXPANDTABS | DT_CENTER};
constexpr UINT ReadingOrderFormats[] = {0, DT_RTLREADING};

TBitmap* SharedCellBitmap = nullptr;
int CellBitmapUsers = 0;

// Holds the shared bitmap for one cell, so the routines work for callers
// without a grid too.
class TCellBitmapUse {
 public:
  TCellBitmapUse(int Width, int Height) {
    AcquireCellBitmap();
    // It only grows: a smaller cell later draws in its top-left part.
    TBitmap* Bitmap = CellBitmap();
    if (Bitmap->Width() < Width || Bitmap->Height() < Height)
      Bitmap->SetSize(std::max(Bitmap->Width(), Width), std::max(Bitmap->Height(), Height));
  }
  TCellBitmapUse(const TCellBitmapUse&) = delete;
  TCellBitmapUse& operator=(const TCellBitmapUse&) = delete;
  ~TCellBitmapUse() { ReleaseCellBitmap(); }
  TCanvas* Canvas() { return CellBitmap()->Canvas(); }
};

bool DeviceDithers(TCanvas* Canvas) {
  COLORREF Color = ColorToRGB(Canvas->Brush()->Color());
  return GetNearestColor(Canvas->Handle(), Color) != Color;
}

// The context lets go of the font first: a selected font cannot be deleted.
void SetCanvasFontHandle(TCanvas* Canvas, HFONT Font) {
  SelectObject(Canvas->Handle(), GetStockObject(SYSTEM_FONT));
  Canvas->Font()->SetHandle(Font);
}

// Takes the brush of Source, solid, and fills the cell's part of the bitmap.
void FillCellBitmap(TCanvas* Bitmap, TCanvas* Source, const RECT& Cell) {
  Bitmap->Font()->Assign(Source->Font());
  Bitmap->Brush()->Assign(Source->Brush());
  Bitmap->Brush()->SetStyle(bsSolid);
  Bitmap->FillRect(Cell);
  SetBkMode(Bitmap->Handle(), TRANSPARENT);
}

void CopyCellBitmap(TCanvas* Bitmap, TCanvas* Target, const RECT& Rect) {
  BitBlt(Target->Handle(), Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top,
         Bitmap->Handle(), 0, 0, SRCCOPY);
}

struct TTextFormat {
  int DX, DY;
  TAlignment Alignment;
  TTextLayout Layout;
  bool MultiLine, EndEllipsis;
  int LeftMarg, RightMarg;
  bool RightToLeftReading;
};

// The word-wrapping drawing, placed by the layout; the background mode is
// the caller's.
void DrawTextExInCell(TCanvas* Canvas, const RECT& Cell, const AnsiString& Text,
                      const TTextFormat& F) {
  UINT Flags = (F.MultiLine ? DT_WORDBREAK : 0) | (F.EndEllipsis ? DT_END_ELLIPSIS : 0) |
               MultiLineFormats[F.Alignment] | ReadingOrderFormats[F.RightToLeftReading];
  DRAWTEXTPARAMS Params{};
  Params.cbSize = sizeof Params;
  Params.iLeftMargin = F.LeftMarg;
  Params.iRightMargin = F.RightMarg;
  RECT Inner = Cell;
  InflateRect(&Inner, -F.DX, -F.DY);
  Canvas->Prepare(true, false, false);
  HDC DC = Canvas->Handle();
  int Count = static_cast<int>(Text.size());
  int TextHeight = 0;
  if (F.Layout != tlTop) {
    RECT Measured = Inner;
    WinDrawTextExStr(DC, Text, Count, Measured, Flags | DT_CALCRECT, Params);
    TextHeight = Measured.bottom - Measured.top;
  }
  RECT R = Inner;
  if (F.Layout == tlCenter) R.top += (R.bottom - R.top) / 2 - TextHeight / 2;
  if (F.Layout == tlBottom) R.top = R.bottom - TextHeight;
  if (F.DX > 0) ++R.bottom;
  WinDrawTextExStr(DC, Text, Count, R, Flags, Params);
}

// Brush style clear for the scope unless the background is to be filled.
class TTransparentBrush {
 public:
  TTransparentBrush(TCanvas* Canvas, bool FillRect)
      : FBrush(FillRect ? nullptr : Canvas->Brush()), FStyle(Canvas->Brush()->Style()) {
    if (FBrush) FBrush->SetStyle(bsClear);
  }
  TTransparentBrush(const TTransparentBrush&) = delete;
  TTransparentBrush& operator=(const TTransparentBrush&) = delete;
  ~TTransparentBrush() {
    if (FBrush) FBrush->SetStyle(FStyle);
  }

 private:
  TBrush* FBrush;
  TBrushStyle FStyle;
};

void WriteOneLine(TCanvas* Canvas, const RECT& Rect, bool FillRect, AnsiString Text,
                  const TTextFormat& F) {
  if (F.EndEllipsis) Text = TrimTextWithEllipsis(Text, Canvas, Rect.right - Rect.left - F.DX);
  int Width;
  TFontStyles Style = Canvas->Font()->Style();
  if (F.Alignment != taLeftJustify && (Style.Contains(fsBold) || Style.Contains(fsItalic))) {
    // The drawn width of slanted or heavy glyphs, overhang included.
    RECT Measured{0, 0, 1, 0};
    Canvas->Prepare(true, false, false);
    WinDrawTextStr(Canvas->Handle(), Text, static_cast<int>(Text.size()), Measured,
                   DT_CALCRECT | DT_NOPREFIX);
    Width = Measured.right - Measured.left;
  } else {
    Width = Canvas->TextWidth(Text);
  }
  int X = Rect.left + F.DX;
  if (F.Alignment == taRightJustify) X = Rect.right - Width - 3;
  if (F.Alignment == taCenter)
    X = Rect.left < Rect.right ? Rect.left + (Rect.right - Rect.left) / 2 - Width / 2 : 0;
  int Y = Rect.top;
  if (F.Layout != tlTop) {
    // A text higher than the cell stays at the top.
    int Height = Canvas->TextHeight(Text);
    if (Height < Rect.bottom - Rect.top - F.DY) {
      if (F.Layout == tlCenter) Y = (Rect.top + Rect.bottom - Height) / 2 - F.DY;
      if (F.Layout == tlBottom) Y = Rect.bottom - Height - F.DY;
    }
  }
  Y += F.DY;
  TTransparentBrush Brush(Canvas, FillRect);
  Canvas->TextRect(Rect, X, Y, Text);
}

}  // namespace

void WriteCellText(TCanvas* Canvas, RECT Rect, bool FillRect, int DX, int DY,
                   const AnsiString& Text, TAlignment Alignment, TTextLayout Layout,
                   bool MultiLine, bool EndEllipsis, int LeftMarg, int RightMarg,
                   bool RightToLeftReading) {
  TTextFormat F{DX,        DY,       Alignment, Layout, MultiLine, EndEllipsis,
                LeftMarg, RightMarg, RightToLeftReading};
  if (DeviceDithers(Canvas)) {
    // Text over a dithered background is drawn where the brush is solid.
    int Width = Rect.right - Rect.left, Height = Rect.bottom - Rect.top;
    if (Width <= 0 || Height <= 0) return;
    TCellBitmapUse Bitmap(Width, Height);
    RECT Cell{0, 0, Width, Height};
    FillCellBitmap(Bitmap.Canvas(), Canvas, Cell);
    DrawTextExInCell(Bitmap.Canvas(), Cell, Text, F);
    CopyCellBitmap(Bitmap.Canvas(), Canvas, Rect);
    return;
  }
  if (!MultiLine) {
    WriteOneLine(Canvas, Rect, FillRect, Text, F);
    return;
  }
  if (FillRect) Canvas->FillRect(Rect);
  TTransparentBrush Brush(Canvas, FillRect);
  if (!FillRect) Canvas->Prepare(false, true, false);
  DrawTextExInCell(Canvas, Rect, Text, F);
}

void DrawCellTextEx(TCanvas* Canvas, const RECT& Rect, int DX, int DY, const AnsiString& Text,
                    TAlignment Alignment, TTextLayout Layout, bool WordWrap, bool EndEllipsis,
                    int LeftMarg, int RightMarg, bool RightToLeftReading) {
  DrawTextExInCell(Canvas, Rect, Text,
                   {DX, DY, Alignment, Layout, WordWrap, EndEllipsis, LeftMarg, RightMarg,
                    RightToLeftReading});
}

AnsiString TrimTextWithEllipsis(const AnsiString& Text, TCanvas* Canvas, int MaxWidth) {
  if (Text.empty() || Canvas->TextWidth(Text) <= MaxWidth) return Text;
  // The cut is found by halving: a long memo costs a few measurements, not
  // one per character.
  auto Cut = [&](size_t Kept) { return Text.substr(0, Kept) + "..."; };
  size_t Fits = 0, Longest = Text.size() >= 2 ? Text.size() - 2 : 0;
  while (Fits < Longest) {
    size_t Middle = Fits + (Longest - Fits + 1) / 2;
    if (Canvas->TextWidth(Cut(Middle)) <= MaxWidth)
      Fits = Middle;
    else
      Longest = Middle - 1;
  }
  return Cut(Fits);
}

AnsiString FitNumberText(const AnsiString& Text, TCanvas* Canvas, int Width) {
  if (Canvas->TextWidth(Text) <= Width) return Text;
  const int Mark = std::max(Canvas->TextWidth("#"), 1);
  return AnsiString(static_cast<size_t>(std::max(Width / Mark, 1)), '#');
}

HFONT CreateRotatedFont(const TFont& Font) {
  LOGFONTA LF{};
  LF.lfHeight = Font.Height();
  LF.lfEscapement = LF.lfOrientation = 900;
  LF.lfWeight = Font.Style().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  LF.lfItalic = Font.Style().Contains(fsItalic);
  LF.lfUnderline = Font.Style().Contains(fsUnderline);
  LF.lfStrikeOut = Font.Style().Contains(fsStrikeOut);
  LF.lfCharSet = Font.Charset();
  LF.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  AnsiString Face = SameText(Font.Name(), "Default") ? TFont().Name() : Font.Name();
  lstrcpynA(LF.lfFaceName, Face.c_str(), LF_FACESIZE);
  return CreateFontIndirectA(&LF);
}

void TCustomDBGridKs::WriteCellTextEx(RECT Rect, bool FillRect, int DX, int DY,
                                      const AnsiString& Text, TAlignment Alignment,
                                      TTextLayout Layout, bool MultiLine, bool EndEllipsis,
                                      int LeftMarg, int RightMarg) {
  bool RightToLeft = BiDiMode() == bdRightToLeft;
  if (RightToLeft) {
    WinLPtoDPRect(Canvas()->Handle(), Rect);
    std::swap(Rect.left, Rect.right);
    MirrorCanvas(false);
    if (Alignment != taCenter)
      Alignment = Alignment == taLeftJustify ? taRightJustify : taLeftJustify;
    std::swap(LeftMarg, RightMarg);
  }
  WriteCellText(Canvas(), Rect, FillRect, DX, DY, Text, Alignment, Layout, MultiLine, EndEllipsis,
                LeftMarg, RightMarg, RightToLeft);
  if (RightToLeft) MirrorCanvas(true);
}

void TCustomDBGridKs::MirrorCanvas(bool Mirrored) {
  MirrorDC(Canvas()->Handle(), ClientWidth(), ClientHeight(), Mirrored);
}

void MirrorDC(HDC DC, int Width, int Height, bool Mirrored) {
  SetMapMode(DC, MM_ANISOTROPIC);
  SetWindowOrgEx(DC, Mirrored ? Width : 0, 0, nullptr);
  SetWindowExtEx(DC, Mirrored ? -Width : Width, Height, nullptr);
  SetViewportExtEx(DC, Width, Height, nullptr);
}

namespace {

// The slant of a TrueType italic reaches beyond the advance widths.
int RotatedTextOverhang(TCanvas* Canvas, const TEXTMETRICA& Metrics, int TextHeight) {
  if (!(Metrics.tmPitchAndFamily & TMPF_TRUETYPE) ||
      !Canvas->Font()->Style().Contains(fsItalic))
    return Metrics.tmOverhang;
  HDC DC = Canvas->Handle();
  UINT Size = WinGetOutlineTextMetrics(DC, 0, nullptr);
  if (Size < sizeof(OUTLINETEXTMETRICA)) return Metrics.tmOverhang;
  std::vector<char> Buffer(Size);
  auto* Outline = reinterpret_cast<OUTLINETEXTMETRICA*>(Buffer.data());
  if (!WinGetOutlineTextMetrics(DC, Size, Outline) || Outline->otmsCharSlopeRise == 0)
    return Metrics.tmOverhang;
  return (TextHeight - Metrics.tmInternalLeading) * Outline->otmsCharSlopeRun /
         Outline->otmsCharSlopeRise;
}

// Puts the canvas font back to the one of its properties, whatever happens.
class TRotatedFont {
 public:
  explicit TRotatedFont(TCanvas* Canvas) : FCanvas(Canvas) {
    SetCanvasFontHandle(Canvas, CreateRotatedFont(*Canvas->Font()));
  }
  TRotatedFont(const TRotatedFont&) = delete;
  TRotatedFont& operator=(const TRotatedFont&) = delete;
  ~TRotatedFont() { SetCanvasFontHandle(FCanvas, nullptr); }

 private:
  TCanvas* FCanvas;
};

}  // namespace

int WriteRotatedText(TCanvas* Canvas, RECT Rect, bool FillRect, int DX, int DY,
                     const AnsiString& Text, TAlignment Alignment, TTextLayout Layout,
                     bool /*EndEllipsis*/, bool CalcOnly) {
  TRotatedFont Rotated(Canvas);
  Canvas->Prepare(true, false, false);
  TEXTMETRICA Metrics{};
  GetTextMetricsA(Canvas->Handle(), &Metrics);
  SIZE Extent = Canvas->TextExtent(Text);
  int Extra = RotatedTextOverhang(Canvas, Metrics, Extent.cy);
  int Result = Extent.cx + Extra;
  if (CalcOnly) return Result;
  // The text runs upwards from (X, Y); its top is on the left.
  auto Draw = [&](TCanvas* Target, const RECT& Cell, bool Fill) {
    int X = Cell.left + DX;
    if (Alignment == taRightJustify) X = Cell.right - Extent.cy;
    if (Alignment == taCenter)
      X = Cell.left + (Cell.right - Cell.left) / 2 - (Extent.cy + Metrics.tmOverhang) / 2;
    int Y = Cell.bottom - DY;
    if (Layout == tlTop) Y = Cell.top + Extent.cx + Extra;
    if (Layout == tlCenter) Y = Cell.bottom - (Cell.bottom - Cell.top) / 2 + (Extra + Extent.cx) / 2;
    TTransparentBrush Brush(Target, Fill);
    Target->TextRect(Cell, X, Y, Text);
  };
  if (!FillRect || !DeviceDithers(Canvas)) {
    Draw(Canvas, Rect, FillRect);
    return Result;
  }
  int Width = Rect.right - Rect.left, Height = Rect.bottom - Rect.top;
  if (Width <= 0 || Height <= 0) return Result;
  TCellBitmapUse Bitmap(Width, Height);
  RECT Cell{0, 0, Width, Height};
  FillCellBitmap(Bitmap.Canvas(), Canvas, Cell);
  {
    TRotatedFont RotatedOnBitmap(Bitmap.Canvas());
    Draw(Bitmap.Canvas(), Cell, false);
  }
  CopyCellBitmap(Bitmap.Canvas(), Canvas, Rect);
  return Result;
}

void DrawImageInCell(TImageList* ImageList, TGraphic* Graphic, TCanvas* Canvas,
                     const RECT& Rect, int ImageIndex, int DX, TAlignment Alignment) {
  int Width = ImageList ? ImageList->Width() : Graphic->Width();
  int Height = ImageList ? ImageList->Height() : Graphic->Height();
  int X = DX + Rect.left;
  if (Alignment == taRightJustify) X = DX + Rect.right - Width;
  if (Alignment == taCenter) X = DX + (Rect.left + Rect.right - Width) / 2;
  int Y = (Rect.top + Rect.bottom - Height) / 2;
  auto Draw = [&] {
    if (ImageList)
      ImageList->Draw(Canvas, X, Y, ImageIndex, true);
    else
      Canvas->Draw(X, Y, Graphic);
  };
  RECT Image{X, Y, X + Width, Y + Height}, Union;
  UnionRect(&Union, &Image, &Rect);
  if (EqualRect(&Union, &Rect)) {
    Draw();
    return;
  }
  TCellClip Clip(Canvas->Handle(), Rect);
  Draw();
}

void AcquireCellBitmap() {
  if (CellBitmapUsers++ == 0) SharedCellBitmap = new TBitmap;
}

void ReleaseCellBitmap() {
  if (CellBitmapUsers == 0 || --CellBitmapUsers > 0) return;
  delete SharedCellBitmap;
  SharedCellBitmap = nullptr;
}

TBitmap* CellBitmap() { return SharedCellBitmap; }

namespace {

constexpr int SearchArrowIndex = 6;

TBitmap* LoadGridBitmap(TBitmap* Bitmap, const char* Name) {
  Bitmap->LoadFromResourceName(GetModuleHandleA(nullptr), Name);
  return Bitmap;
}

}  // namespace

void LoadGridImageLists(TImageList*& IndicatorImages, TImageList*& SortMarkerImages,
                        TColor SearchMatchColor) {
  TBitmap Work;
  LoadGridBitmap(&Work, "DBGARROWKS");
  IndicatorImages = new TImageList(nullptr, Work.Width(), Work.Height());
  struct {
    const char* Name;
    TColor Mask;
  } Indicators[] = {{"DBGARROWKS", clWhite},     {"DBEDITKS", clWhite},
                    {"DBINSERTKS", clWhite},     {"DBMULTIDOTKS", clWhite},
                    {"DBMULTIARROWKS", clWhite}, {"DBGARROWKSW", clTeal}};
  for (auto& I : Indicators) IndicatorImages->AddMasked(LoadGridBitmap(&Work, I.Name), I.Mask);
  BuildSearchArrowImage(IndicatorImages, SearchMatchColor);
  LoadGridBitmap(&Work, "DBSMDOWNKS");
  SortMarkerImages = new TImageList(nullptr, Work.Width(), Work.Height());
  SortMarkerImages->AddMasked(&Work, clFuchsia);
  SortMarkerImages->AddMasked(LoadGridBitmap(&Work, "DBSMUPKS"), clFuchsia);
}

void BuildSearchArrowImage(TImageList* IndicatorImages, TColor SearchMatchColor) {
  if (IndicatorImages->Count() > SearchArrowIndex)
    ImageList_Remove(IndicatorImages->Handle(), SearchArrowIndex);
  int Width = IndicatorImages->Width(), Height = IndicatorImages->Height();
  // The white arrow shows the colour behind it; teal stays the mask, so a
  // teal search colour would vanish and takes a near one.
  TColor Behind = SearchMatchColor == clTeal ? TColor(RGB(0, 127, 127)) : SearchMatchColor;
  TImageList Arrow(nullptr, Width, Height);
  ImageList_SetBkColor(Arrow.Handle(), ColorToRGB(Behind));
  TBitmap Work;
  Arrow.AddMasked(LoadGridBitmap(&Work, "DBGARROWKSW"), clWhite);
  Work.SetSize(Width, Height);
  // Drawn through a context of its own: the list takes only a bitmap that
  // no context holds.
  HDC DC = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, Work.Handle());
  ImageList_Draw(Arrow.Handle(), 0, DC, 0, 0, ILD_NORMAL);
  SelectObject(DC, Old);
  DeleteDC(DC);
  IndicatorImages->AddMasked(&Work, clTeal);
}
