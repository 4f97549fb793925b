#include "COMPONENTS/kslib/DBGridKsCellText.h"

#include <gtest/gtest.h>

#include <cstring>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "KsTestKit.h"

namespace {

// The routines draw into Actual through a canvas; Expected gets the same
// text by plain GDI calls at the place where it belongs.
struct TCellPair {
  TCellPair(int Width = 120, int Height = 60) : Actual(Width, Height), Expected(Width, Height) {
    Canvas.SetHandle(Actual.DC());
    Canvas.Font()->SetName("Arial");
    Canvas.Font()->SetHeight(-13);
    Canvas.Font()->SetColor(clBlack);
    Canvas.Brush()->SetColor(clWhite);
  }
  ~TCellPair() { Canvas.SetHandle(nullptr); }
  SIZE Extent(const char* Text) {
    TSelectObject Font(Expected.DC(), Canvas.Font()->Handle());
    SIZE Size{};
    GetTextExtentPoint32A(Expected.DC(), Text, static_cast<int>(strlen(Text)), &Size);
    return Size;
  }
  void Expect(const RECT& Clip, int X, int Y, const char* Text, HFONT Font = nullptr) {
    TSelectObject Selected(Expected.DC(), Font ? Font : Canvas.Font()->Handle());
    SetBkMode(Expected.DC(), TRANSPARENT);
    SetTextColor(Expected.DC(), RGB(0, 0, 0));
    ExtTextOutA(Expected.DC(), X, Y, ETO_CLIPPED, &Clip, Text, static_cast<UINT>(strlen(Text)),
                nullptr);
  }
  TDibDC Actual, Expected;
  TCanvas Canvas;
};

void WriteOneLine(TCellPair& P, const RECT& Rect, int DX, int DY, const char* Text,
                  TAlignment Alignment, TTextLayout Layout, bool EndEllipsis = false) {
  WriteCellText(&P.Canvas, Rect, false, DX, DY, Text, Alignment, Layout, false, EndEllipsis, 0, 0,
                false);
}

TEST(CellText, OneLineTextLandsWhereItsAlignmentAndLayoutPutIt) {
  const RECT Cell{10, 5, 110, 45};  // 100 x 40
  struct {
    const char* Name;
    int DX, DY;
    TAlignment Alignment;
    TTextLayout Layout;
  } Cases[] = {
      {"left top", 2, 1, taLeftJustify, tlTop},
      {"right ends 3 px inside, DX 2", 2, 1, taRightJustify, tlTop},
      {"right ends 3 px inside, DX 9", 9, 1, taRightJustify, tlTop},
      {"centre centre", 2, 2, taCenter, tlCenter},
      {"left bottom", 2, 3, taLeftJustify, tlBottom},
  };
  const char* Text = "Total 42";
  for (auto& C : Cases) {
    TCellPair P;
    WriteOneLine(P, Cell, C.DX, C.DY, Text, C.Alignment, C.Layout);
    SIZE S = P.Extent(Text);
    int X = C.Alignment == taLeftJustify    ? Cell.left + C.DX
            : C.Alignment == taRightJustify ? Cell.right - S.cx - 3
                                            : Cell.left + 50 - S.cx / 2;
    int Y = C.Layout == tlTop      ? Cell.top + C.DY
            : C.Layout == tlBottom ? Cell.bottom - S.cy
                                   : (Cell.top + Cell.bottom - S.cy) / 2;
    P.Expect(Cell, X, Y, Text);
    EXPECT_TRUE(P.Actual.SameAs(P.Expected)) << C.Name;
  }
}

TEST(CellText, TextHigherThanTheCellStaysAtTheTop) {
  const RECT Cell{10, 5, 110, 15};
  for (TTextLayout Layout : {tlCenter, tlBottom}) {
    TCellPair P;
    WriteOneLine(P, Cell, 2, 1, "Tall", taLeftJustify, Layout);
    P.Expect(Cell, 12, 6, "Tall");
    EXPECT_TRUE(P.Actual.SameAs(P.Expected)) << Layout;
  }
}

TEST(CellText, TooWideTextEndsWithAnEllipsis) {
  struct {
    const char* Text;
    RECT Cell;
    const char* Shown;
  } Cases[] = {
      {"W", {10, 5, 15, 25}, "..."},  // one character: only the dots, clipped
      {"Wonderful", {10, 5, 10 + 40, 25}, nullptr},
  };
  for (auto& C : Cases) {
    TCellPair P;
    WriteOneLine(P, C.Cell, 2, 1, C.Text, taLeftJustify, tlTop, true);
    AnsiString Shown = C.Shown ? AnsiString(C.Shown) : AnsiString();
    if (!C.Shown) {
      // The longest start that fits with the dots.
      int Max = C.Cell.right - C.Cell.left - 2;
      for (size_t Kept = strlen(C.Text) - 2;; --Kept) {
        Shown = AnsiString(C.Text, Kept) + "...";
        if (P.Extent(Shown.c_str()).cx <= Max || Kept == 0) break;
      }
      EXPECT_GT(Shown.size(), 3u);
    }
    P.Expect(C.Cell, C.Cell.left + 2, C.Cell.top + 1, Shown.c_str());
    EXPECT_TRUE(P.Actual.SameAs(P.Expected)) << C.Text;
  }
}

TEST(CellText, CentreInAnEmptyRectangleStartsAtZero) {
  TCellPair P;
  const RECT Empty{60, 5, 40, 25};
  WriteOneLine(P, Empty, 2, 1, "WWWWWWWWWWWW", taCenter, tlTop);
  P.Expect(Empty, 0, 6, "WWWWWWWWWWWW");
  EXPECT_TRUE(P.Actual.SameAs(P.Expected));
}

// The character-by-character cut, as the halving must find it.
AnsiString TrimStepwise(const AnsiString& Text, TCanvas* Canvas, int MaxWidth) {
  AnsiString Result = Text;
  for (size_t I = 1; I <= Text.size() && Canvas->TextWidth(Result) > MaxWidth;) {
    ++I;
    Result = Text.substr(0, Text.size() >= I ? Text.size() - I : 0) + "...";
  }
  return Result;
}

TEST(CellText, TrimKeepsTheLongestStartThatFits) {
  TCellPair P;
  for (const char* Text : {"", "i", "Wi", "Abc", "A rather long memo, with commas, iii WWW"}) {
    int Full = P.Canvas.TextWidth(Text);
    for (int Max = -1; Max <= Full + 2; ++Max)
      ASSERT_EQ(TrimTextWithEllipsis(Text, &P.Canvas, Max), TrimStepwise(Text, &P.Canvas, Max))
          << Text << " in " << Max;
  }
}

TEST(CellText, MultiLineBottomTouchesTheBottomMinusDY) {
  const RECT Cell{10, 2, 110, 58};
  const char* Lines[] = {"one", "two", "three"};
  for (bool Fill : {false, true}) {
    TCellPair P;
    P.Canvas.Brush()->SetColor(Fill ? clAqua : clWhite);
    WriteCellText(&P.Canvas, Cell, Fill, 2, 3, "one\r\ntwo\r\nthree", taLeftJustify, tlBottom,
                  true, false, 0, 0, false);
    if (Fill) {
      HBRUSH Aqua = CreateSolidBrush(RGB(0, 255, 255));
      ::FillRect(P.Expected.DC(), &Cell, Aqua);
      DeleteObject(Aqua);
    }
    int H = P.Extent("one").cy;
    for (int I = 0; I < 3; ++I) P.Expect(Cell, 12, Cell.bottom - 3 - (3 - I) * H + 0, Lines[I]);
    EXPECT_TRUE(P.Actual.SameAs(P.Expected)) << (Fill ? "filled" : "transparent");
  }
}

// An 8-bit DIB whose colour table holds black and white only.
class TPaletteDib {
 public:
  TPaletteDib(int Width, int Height) {
    struct {
      BITMAPINFOHEADER Header;
      RGBQUAD Colors[2];
    } Info{};
    Info.Header.biSize = sizeof Info.Header;
    Info.Header.biWidth = Width;
    Info.Header.biHeight = -Height;
    Info.Header.biPlanes = 1;
    Info.Header.biBitCount = 8;
    Info.Header.biClrUsed = 2;
    Info.Colors[1] = RGBQUAD{255, 255, 255, 0};
    FDC = CreateCompatibleDC(nullptr);
    void* Bits = nullptr;
    FBitmap = CreateDIBSection(FDC, reinterpret_cast<BITMAPINFO*>(&Info), DIB_RGB_COLORS, &Bits,
                               nullptr, 0);
    FOld = SelectObject(FDC, FBitmap);
    RECT All{0, 0, Width, Height};
    FillRect(FDC, &All, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~TPaletteDib() {
    SelectObject(FDC, FOld);
    DeleteObject(FBitmap);
    DeleteDC(FDC);
  }
  HDC DC() const { return FDC; }

 private:
  HDC FDC;
  HBITMAP FBitmap;
  HGDIOBJ FOld;
};

TEST(CellText, ADitheredBrushFillsTheCellEvenWithoutFillRect) {
  AcquireCellBitmap();
  TPaletteDib Dib(80, 30);
  TCanvas Canvas;
  Canvas.SetHandle(Dib.DC());
  Canvas.Font()->SetColor(clWhite);
  Canvas.Brush()->SetColor(RGB(40, 40, 40));  // not in the table: nearest is black
  ASSERT_NE(GetNearestColor(Dib.DC(), RGB(40, 40, 40)), RGB(40, 40, 40));
  const RECT Cell{10, 5, 70, 25};
  WriteCellText(&Canvas, Cell, false, 2, 1, "Hi", taLeftJustify, tlTop, false, false, 0, 0, false);
  int Black = 0, White = 0;
  for (int Y = Cell.top; Y < Cell.bottom; ++Y)
    for (int X = Cell.left; X < Cell.right; ++X) (GetPixel(Dib.DC(), X, Y) == 0 ? Black : White)++;
  EXPECT_GT(Black, 60 * 20 / 2) << "the background is filled";
  EXPECT_GT(White, 0) << "the text is drawn";
  EXPECT_EQ(GetPixel(Dib.DC(), Cell.right, Cell.top), RGB(255, 255, 255)) << "only the cell";
  Canvas.SetHandle(nullptr);
  ReleaseCellBitmap();
}

TEST(CellText, RotatedTextReadsUpwardsAndLeavesTheFontUnrotated) {
  const RECT Cell{10, 2, 40, 58};
  const char* Text = "Sum";
  TCellPair P;
  int Length = WriteRotatedText(&P.Canvas, Cell, false, 2, 3, Text, taLeftJustify, tlBottom,
                                false, false);
  EXPECT_EQ(Length, P.Extent(Text).cx);
  TGdiHandle<HFONT> Rotated(CreateRotatedFont(*P.Canvas.Font()));
  P.Expect(Cell, Cell.left + 2, Cell.bottom - 3, Text, Rotated.Get());
  EXPECT_TRUE(P.Actual.SameAs(P.Expected));
  // The ink runs up the cell, not across it.
  RECT Ink{Cell.left, Cell.bottom - 3 - Length, Cell.left + 2 + P.Extent(Text).cy, Cell.bottom};
  EXPECT_GT(P.Actual.Count(Ink, RGB(0, 0, 0)), 0);
  RECT Across{Cell.left + 2 + P.Extent(Text).cy, Cell.top, Cell.right, Cell.bottom};
  EXPECT_EQ(P.Actual.Count(Across, RGB(0, 0, 0)), 0);
  LOGFONTA Font{};
  GetObjectA(P.Canvas.Font()->Handle(), sizeof Font, &Font);
  EXPECT_EQ(Font.lfEscapement, 0);
  EXPECT_EQ(WriteRotatedText(&P.Canvas, Cell, false, 2, 3, Text, taLeftJustify, tlTop, false,
                             true),
            Length)
      << "measuring only";
  GetObjectA(P.Canvas.Font()->Handle(), sizeof Font, &Font);
  EXPECT_EQ(Font.lfEscapement, 0);
}

TEST(CellText, RotatedFontKeepsTheFontsLooksAndNamesTheDefaultFace) {
  struct {
    const char* Name;
    const char* Face;
  } Cases[] = {{"Arial", "Arial"}, {"default", nullptr}, {"Default", nullptr}};
  for (auto& C : Cases) {
    TFont Font;
    Font.SetName(C.Name);
    Font.SetHeight(-17);
    Font.SetStyle({fsBold, fsItalic});
    TGdiHandle<HFONT> Rotated(CreateRotatedFont(Font));
    LOGFONTA LF{};
    ASSERT_TRUE(GetObjectA(Rotated.Get(), sizeof LF, &LF));
    EXPECT_STREQ(LF.lfFaceName, C.Face ? C.Face : TFont().Name().c_str()) << C.Name;
    EXPECT_EQ(LF.lfEscapement, 900);
    EXPECT_EQ(LF.lfOrientation, 900);
    EXPECT_EQ(LF.lfHeight, -17);
    EXPECT_EQ(LF.lfWeight, FW_BOLD);
    EXPECT_TRUE(LF.lfItalic);
    EXPECT_EQ(LF.lfOutPrecision, OUT_TT_ONLY_PRECIS);
  }
}

void FillRed(TBitmap& Image, int Width, int Height) {
  Image.SetSize(Width, Height);
  Image.Canvas()->Brush()->SetColor(clRed);
  Image.Canvas()->FillRect(RECT{0, 0, Width, Height});
}

// The graphic drawn in the cell of a white DIB through a canvas.
void DrawInCell(TDibDC& Dib, TGraphic* Image, const RECT& Cell, int DX, TAlignment Alignment) {
  TCanvas Canvas;
  Canvas.SetHandle(Dib.DC());
  DrawImageInCell(nullptr, Image, &Canvas, Cell, 0, DX, Alignment);
  Canvas.SetHandle(nullptr);
}

TEST(CellText, ImageLargerThanTheCellIsClippedAndTheClipRegionComesBack) {
  TBitmap Image;
  FillRed(Image, 30, 30);
  const RECT Cell{20, 20, 40, 40};
  struct {
    const char* Name;
    bool PriorClip;
    RECT Red;  // where the image shows
  } Cases[] = {{"no clip before", false, Cell}, {"clip before", true, {20, 20, 30, 40}}};
  for (auto& C : Cases) {
    TDibDC Dib(60, 60);
    TGdiHandle<HRGN> Prior(CreateRectRgn(0, 0, 30, 60));
    if (C.PriorClip) SelectClipRgn(Dib.DC(), Prior.Get());
    DrawInCell(Dib, &Image, Cell, 0, taCenter);
    int Area = (C.Red.right - C.Red.left) * (C.Red.bottom - C.Red.top);
    EXPECT_EQ(Dib.Count(C.Red, RGB(255, 0, 0)), Area) << C.Name;
    EXPECT_EQ(Dib.Count(RECT{0, 0, 60, 60}, RGB(255, 0, 0)), Area) << C.Name;
    TGdiHandle<HRGN> After(CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(GetClipRgn(Dib.DC(), After.Get()), C.PriorClip ? 1 : 0) << C.Name;
    if (C.PriorClip) {
      EXPECT_TRUE(EqualRgn(After.Get(), Prior.Get())) << C.Name;
    }
  }
}

TEST(CellText, ImagesAreCentredVerticallyAndPlacedByAlignment) {
  TBitmap Image;
  FillRed(Image, 4, 6);
  const RECT Cell{10, 10, 30, 30};
  struct {
    TAlignment Alignment;
    int DX, X;
  } Cases[] = {{taLeftJustify, 2, 12}, {taRightJustify, 0, 26}, {taCenter, 2, 20}};
  for (auto& C : Cases) {
    TDibDC Dib(40, 40);
    DrawInCell(Dib, &Image, Cell, C.DX, C.Alignment);
    EXPECT_EQ(Dib.Count(RECT{C.X, 17, C.X + 4, 23}, RGB(255, 0, 0)), 24) << C.Alignment;
  }
}

TEST(CellText, SearchArrowTakesTheSearchColourAndIsRemade) {
  TImageList* Indicators = DBGridKsUnit.IndicatorImages;
  ASSERT_EQ(Indicators->Count(), 7);
  auto ArrowPixels = [&](COLORREF Color) {
    TDibDC Dib(6, 11, RGB(255, 255, 255));
    TCanvas Canvas;
    Canvas.SetHandle(Dib.DC());
    Indicators->Draw(&Canvas, 0, 0, 6);
    Canvas.SetHandle(nullptr);
    return Dib.Count(RECT{0, 0, 6, 11}, Color);
  };
  EXPECT_GT(ArrowPixels(RGB(255, 255, 0)), 0) << "yellow by default";
  BuildSearchArrowImage(Indicators, clTeal);
  EXPECT_EQ(Indicators->Count(), 7);
  EXPECT_EQ(ArrowPixels(RGB(255, 255, 0)), 0);
  EXPECT_GT(ArrowPixels(RGB(0, 127, 127)), 0) << "teal is the mask: a near colour instead";
  BuildSearchArrowImage(Indicators, DBGridKsUnit.SearchMatchColor);
}

}  // namespace

TEST(CellText, RightToLeftGridDrawsOnTheUnmirroredCanvasAndMirrorsAgain) {
  TCellPair P;
  TDBGridKs Grid(nullptr);
  Grid.SetBounds(0, 0, 120, 60);
  const int Width = Grid.ClientWidth();
  Grid.SetBiDiMode(bdRightToLeft);
  TCanvas* Canvas = Grid.Canvas();
  Canvas->SetHandle(P.Actual.DC());
  Canvas->Font()->Assign(P.Canvas.Font());
  Canvas->Brush()->SetColor(clWhite);
  Grid.MirrorCanvas(true);
  // Left-aligned in a mirrored grid: at the cell's left on the screen,
  // that is 3 px inside the right edge of the unmirrored cell.
  Grid.WriteCellTextEx(RECT{10, 5, 60, 25}, false, 2, 1, "Ab", taLeftJustify, tlTop, false, false,
                       0, 0);
  POINT Origin{0, 0};
  LPtoDP(P.Actual.DC(), &Origin, 1);
  EXPECT_EQ(Origin.x, Width) << "mirrored again";
  Canvas->SetHandle(nullptr);
  P.Expect(RECT{Width - 60, 5, Width - 10, 25}, Width - 10 - P.Extent("Ab").cx - 3, 6, "Ab");
  EXPECT_TRUE(P.Actual.SameAs(P.Expected));
}
