// The grid's painting as pixels: cells drawn into a DIB through DrawCell, or
// the whole client area through WM_PRINTCLIENT, against what plain GDI and
// the shared painters draw at the expected places.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "COMPONENTS/kslib/DBGridKsCellText.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "GridForm.h"

namespace {

class TPaintGrid : public TDBGridKs {
 public:
  using TDBGridKs::TDBGridKs;
  using TCustomDBGridKs::DrawCell;
  // Level rows above the data, as the service grid shows them.
  int LevelRows = 0;
  int ExtraTitleRowCount() override { return TDBGridKs::ExtraTitleRowCount() + LevelRows; }
};

using TForm5 = TGridForm<TPaintGrid>;

// DrawCell of a raw cell into a DIB of the cell's size.
void DrawInto(TPaintGrid* Grid, TDibDC& Dib, int ACol, int ARow, TGridDrawState State = {}) {
  Grid->Canvas()->SetHandle(Dib.DC());
  Grid->DrawCell(ACol, ARow, RECT{0, 0, Dib.Width(), Dib.Height()}, State);
  Grid->Canvas()->SetHandle(nullptr);
}

// The box holding every pixel of the colour; empty when there is none.
RECT InkBox(const TDibDC& Dib, const RECT& Area, COLORREF Ink) {
  RECT Box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int Y = Area.top; Y < Area.bottom; ++Y)
    for (int X = Area.left; X < Area.right; ++X)
      if (Dib.Pixel(X, Y) == Ink) {
        Box.left = std::min<LONG>(Box.left, X), Box.right = std::max<LONG>(Box.right, X + 1);
        Box.top = std::min<LONG>(Box.top, Y), Box.bottom = std::max<LONG>(Box.bottom, Y + 1);
      }
  if (Box.left > Box.right) return RECT{};
  return Box;
}

COLORREF Nearest(TColor Color) {
  TWindowDC DC;
  return GetNearestColor(DC.Get(), ColorToRGB(Color));
}

}  // namespace

TEST(DBGridPaint, DataCellColoursFollowFocusSelectionAndTheStyle) {
  TDBGridKsStyle* Style = DefaultDBGridKsStyle();
  const COLORREF Window = ColorToRGB(clWindow);
  struct {
    const char* Name;
    int ScreenColors;  // the style's view of the display
    bool WithStyle, Focused, SelectSecondRow;
    int DataRow, DataCol;
    COLORREF Background;
  } Cases[] = {
      {"selected, focused, true colour: mixed", -1, true, true, true, 1, 1,
       Nearest(MixColor(clWindow, clHighlight, true))},
      {"selected, focused, 256 colours: plain highlight", 256, true, true, true, 1, 1,
       ColorToRGB(clHighlight)},
      {"selected, unfocused, true colour: mixed with the shadow", -1, true, false, true, 1, 1,
       Nearest(MixColor(clWindow, clBtnShadow, false))},
      {"selected, unfocused, 256 colours: button face", 256, true, false, true, 1, 1,
       ColorToRGB(clBtnFace)},
      {"selected, focused, no style: plain highlight", -1, false, true, true, 1, 1,
       ColorToRGB(clHighlight)},
      {"current row without a selection: its other cells", -1, true, true, false, 0, 1,
       Nearest(MixColor(clWindow, clHighlight, true))},
      {"current row without a selection: not the current cell", -1, true, true, false, 0, 0,
       Window},
      {"another row without a selection", -1, true, true, false, 1, 1, Window},
  };
  int SavedColors = Style->ScreenColors;
  for (auto& C : Cases) {
    TForm5 F(5);
    F.Show();
    Style->ScreenColors = C.ScreenColors;
    if (!C.WithStyle) {
      // Without any style the grid decides itself.
      SetDefaultDBGridKsStyle(nullptr);
      F.Grid->SetStyle(nullptr);
      SetDefaultDBGridKsStyle(Style);
    }
    if (C.SelectSecondRow) {
      F.Data.Next();
      F.Grid->SelectedRows()->SetCurrentRowSelected(true);
      F.Data.First();
    }
    if (!C.Focused) SetFocus(nullptr);
    TDibDC Dib(60, 18);
    DrawInto(F.Grid, Dib, F.Grid->DataToRawColumn(C.DataCol), F.Grid->TitleOffset() + C.DataRow);
    EXPECT_EQ(Dib.Pixel(5, 1), C.Background) << C.Name;
  }
  Style->ScreenColors = SavedColors;
}

TEST(DBGridPaint, ACheckBoxTakesTheSystemSizeOrTheWholeSmallerCell) {
  TForm5 F(5);
  F.Form->Show();
  TColumnKs* Qty = F.Grid->Columns()->Items(3);
  Qty->SetCheckboxes(true);
  Qty->KeyList()->Add("10");  // checked: the first record
  Qty->KeyList()->Add("20");  // unchecked: the second
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghData3D});
  SIZE Box = CheckBoxGlyphSize;
  struct {
    int Width, Height;
  } Cells[] = {{Box.cx + 20, Box.cy + 6}, {Box.cx - 4, Box.cy - 3}};
  for (auto& Cell : Cells) {
    TDibDC Actual(Cell.Width, Cell.Height), Expected(Cell.Width, Cell.Height, ColorToRGB(clWindow));
    DrawInto(F.Grid, Actual, F.Grid->DataToRawColumn(3), F.Grid->TitleOffset() + 1);
    RECT Whole{0, 0, Cell.Width, Cell.Height};
    PaintButtonControlKs(Expected.DC(), FitRectToMaxSize(Whole, 2, 1), clWindow, cbUnchecked, true,
                         false, false, 0, bcsCheckboxKs);
    EXPECT_TRUE(Actual.SameAs(Expected)) << Cell.Width << "x" << Cell.Height << ": unchecked";
  }
  // The first row is current: highlighted, so only ask that a checked box differs.
  TDibDC Checked(Box.cx + 20, Box.cy + 6), Unchecked(Box.cx + 20, Box.cy + 6);
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghRowHighlight});
  DrawInto(F.Grid, Checked, F.Grid->DataToRawColumn(3), F.Grid->TitleOffset());
  DrawInto(F.Grid, Unchecked, F.Grid->DataToRawColumn(3), F.Grid->TitleOffset() + 1);
  EXPECT_FALSE(Checked.SameAs(Unchecked));
}

TEST(DBGridPaint, AnImageColumnShowsTheImageOfTheValueCentred) {
  TForm5 F(5);
  F.Form->Show();
  TImageList Images(nullptr, 8, 8);
  for (uint32_t Colour : {0xFF0000u, 0x00FF00u, 0x0000FFu}) {  // red, green, blue
    std::vector<uint32_t> Pixels(8 * 8, Colour);
    TBitmap Bitmap;
    Bitmap.SetHandle(CreateBitmap(8, 8, 1, 32, Pixels.data()));
    Images.AddMasked(&Bitmap, clFuchsia);
  }
  TColumnKs* Id = F.Grid->Columns()->Items(0);
  Id->SetImageList(&Images);
  // Id 2 on the second row: the third image, centred.
  TDibDC Dib(40, 20);
  DrawInto(F.Grid, Dib, F.Grid->DataToRawColumn(0), F.Grid->TitleOffset() + 1);
  RECT Blue = InkBox(Dib, RECT{0, 0, 40, 20}, RGB(0, 0, 255));
  EXPECT_EQ(Blue.left, 16);
  EXPECT_EQ(Blue.top, 6);
  EXPECT_EQ(Blue.right - Blue.left, 8);
  EXPECT_EQ(Dib.Count(RECT{0, 0, 40, 20}, RGB(255, 0, 0)), 0);
  Id->SetShowImageAndText(true);
  DrawInto(F.Grid, Dib, F.Grid->DataToRawColumn(0), F.Grid->TitleOffset() + 1);
  Blue = InkBox(Dib, RECT{0, 0, 40, 20}, RGB(0, 0, 255));
  EXPECT_EQ(Blue.left, 2) << "centred in the image's part at the left";
  EXPECT_GT(Dib.Count(RECT{13, 0, 40, 20}, RGB(0, 0, 0)), 0) << "the text after it";
}

TEST(DBGridPaint, SortMarkersAndIndexesStandAtTheTitlesRight) {
  TForm5 F(5);
  F.Form->Show();
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghFixed3D});
  TImageList* Markers = DBGridKsUnit.SortMarkerImages;
  const int H = 20, MarkerY = (H - Markers->Height()) / 2;
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  TColumnKs* Price = F.Grid->Columns()->Items(2);
  for (TColumnKs* Column : {Name, Price}) Column->Title()->SetCaption(" ");
  auto IndexWidth = [](const char* Text) {
    TWindowDC DC;
    TSelectObject Font(DC.Get(), DBGridKsUnit.SmallTitleFont->Handle());
    SIZE Extent{};
    GetTextExtentPoint32A(DC.Get(), Text, 1, &Extent);
    return static_cast<int>(Extent.cx);
  };
  struct {
    const char* Name;
    bool SecondMarked;
    int Width;
    bool Marker, Index;
  } Cases[] = {
      {"one marked column: the marker alone", false, 80, true, false},
      {"two marked columns: the marker and the index", true, 80, true, true},
      {"too narrow for both: the index stays, the marker goes", true, 18, false, true},
  };
  for (auto& C : Cases) {
    Name->Title()->SetSortMarker(smDownKs);
    if (C.SecondMarked) Price->Title()->SetSortMarker(smUpKs);
    Name->SetWidth(C.Width);
    int IW = C.Index ? IndexWidth("1") : 0;
    TDibDC Actual(C.Width, H), Expected(C.Width, H, ColorToRGB(F.Grid->FixedColor()));
    DrawInto(F.Grid, Actual, F.Grid->DataToRawColumn(1), 0, {gdFixed});
    TCanvas Canvas;
    Canvas.SetHandle(Expected.DC());
    if (C.Marker) Markers->Draw(&Canvas, C.Width - Markers->Width() - 2 - IW, MarkerY, 0);
    if (C.Index) {
      Canvas.Font()->Assign(DBGridKsUnit.SmallTitleFont);
      Canvas.Brush()->SetColor(F.Grid->FixedColor());
      Canvas.TextOut(C.Width - IW - 2, MarkerY - 1, "1");
    }
    Canvas.SetHandle(nullptr);
    EXPECT_TRUE(Actual.SameAs(Expected)) << C.Name;
    Price->Title()->SetSortMarker(smNoneKs);
    Name->Title()->SetSortMarker(smNoneKs);
  }
}

TEST(DBGridPaint, APressedTitleShiftsItsCaption) {
  const COLORREF Ink = ColorToRGB(clBtnText);
  struct {
    const char* Name;
    bool MultiTitle;
    int DX, DY;
    int TitleLines;
  } Cases[] = {{"one line", false, 1, 1, 0}, {"multi-level", true, 2, -1, 0},
               // The top moves by 2; centred, the text by half of it.
               {"two set lines", false, 2, 1, 2}};
  for (auto& C : Cases) {
    TForm5 F(5);
    F.Form->Show();
    F.Grid->SetUseMultiTitle(C.MultiTitle);
    F.Grid->SetTitleLines(C.TitleLines);
    int Col = F.Grid->DataToRawColumn(1);
    RECT Cell = F.Grid->CellRect(Col, 0);
    TDibDC Up(Cell.right - Cell.left, Cell.bottom - Cell.top), Down(Up.Width(), Up.Height());
    DrawInto(F.Grid, Up, Col, 0, {gdFixed});
    F.Grid->TrackedTitleCol = Col;
    F.Grid->TitleButtonDown = true;
    DrawInto(F.Grid, Down, Col, 0, {gdFixed});
    RECT Inside{2, 2, Up.Width() - 2, Up.Height() - 2};
    RECT A = InkBox(Up, Inside, Ink), B = InkBox(Down, Inside, Ink);
    ASSERT_LT(A.left, A.right) << C.Name;
    EXPECT_EQ(B.left - A.left, C.DX) << C.Name;
    if (C.DY >= 0) {
      EXPECT_EQ(B.top - A.top, C.DY) << C.Name;
    }
  }
}

// A title row of set lines and pixels: the caption wraps onto the lines,
// and a vertical caption has the room to stand up in.
TEST(DBGridPaint, TitlesOfASetHeightWrapTheirCaptionsAndStandVerticalOnesUp) {
  const COLORREF Ink = ColorToRGB(clBtnText);
  TForm5 F(5);
  F.Form->Show();
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  TColumnKs* Price = F.Grid->Columns()->Items(2);
  Name->Title()->SetCaption("Name of the goods");
  Name->SetWidth(70);
  Price->Title()->SetOrientation(tohVertical);
  EXPECT_EQ(F.Grid->TitleHeight(), 0);
  EXPECT_EQ(F.Grid->TitleLines(), 0);
  TFontMetricsKs M = MeasureFontKs(F.Grid->TitleFont());
  EXPECT_EQ(F.Grid->RowHeights(0), M.TextHeight + F.Grid->TitleTextMargin()) << "one line";

  F.Grid->SetTitleLines(2);
  EXPECT_EQ(F.Grid->RowHeights(0),
            2 * M.Metrics.tmHeight + M.Metrics.tmExternalLeading + F.Grid->TitleTextMargin());
  int Col = F.Grid->DataToRawColumn(1);
  RECT Cell = F.Grid->CellRect(Col, 0);
  TDibDC Wrapped(Cell.right - Cell.left, Cell.bottom - Cell.top);
  DrawInto(F.Grid, Wrapped, Col, 0, {gdFixed});
  RECT Text = InkBox(Wrapped, RECT{1, 1, Wrapped.Width() - 1, Wrapped.Height() - 1}, Ink);
  EXPECT_GT(Text.bottom - Text.top, M.TextHeight) << "two lines of caption";
  EXPECT_LE(Text.right, Wrapped.Width() - 1) << "wrapped inside the cell";

  F.Grid->SetTitleLines(0);
  F.Grid->SetTitleHeight(60);
  EXPECT_EQ(F.Grid->RowHeights(0), M.Metrics.tmExternalLeading + F.Grid->TitleTextMargin() + 60);
  Col = F.Grid->DataToRawColumn(2);
  Cell = F.Grid->CellRect(Col, 0);
  TDibDC Vertical(Cell.right - Cell.left, Cell.bottom - Cell.top);
  DrawInto(F.Grid, Vertical, Col, 0, {gdFixed});
  RECT Up = InkBox(Vertical, RECT{1, 1, Vertical.Width() - 1, Vertical.Height() - 1}, Ink);
  ASSERT_LT(Up.top, Up.bottom);
  EXPECT_GT(Up.bottom - Up.top, 2 * (Up.right - Up.left)) << "the caption reads upwards";
}

TEST(DBGridPaint, AParentCaptionIsCentredOverItsColumnsInSlices) {
  TForm5 F(5);
  F.Grid->Columns()->Items(1)->Title()->SetCaption("Goods of the shop|Name");
  F.Grid->Columns()->Items(2)->Title()->SetCaption("Goods of the shop|Price");
  F.Grid->SetUseMultiTitle(true);
  F.Form->Show();
  TDibDC Dib(F.Grid->ClientWidth(), F.Grid->ClientHeight());
  PrintClient(F.Grid->Handle(), Dib);
  RECT Name = F.Grid->CellRect(F.Grid->DataToRawColumn(1), 0);
  RECT Price = F.Grid->CellRect(F.Grid->DataToRawColumn(2), 0);
  // The parent's band: the upper half of the title row.
  RECT Band{Name.left + 3, Name.top + 3, Price.right - 3, (Name.top + Name.bottom) / 2};
  RECT Ink = InkBox(Dib, Band, ColorToRGB(clBtnText));
  ASSERT_LT(Ink.left, Ink.right);
  EXPECT_LT(Ink.left, Name.right) << "starts in the first cell";
  EXPECT_GT(Ink.right, Price.left) << "ends in the second";
  int Centre = (Name.left + Price.right) / 2;
  EXPECT_NEAR((Ink.left + Ink.right) / 2, Centre, 3);
}

TEST(DBGridPaint, FooterTextsBySumCountFieldAndFixedText) {
  TForm5 F(5);
  F.Form->Show();
  F.Grid->SetFooterRowCount(1);
  F.Grid->SumList()->SetActive(true);
  TColumnKs* Qty = F.Grid->Columns()->Items(3);
  TColumnKs* Price = F.Grid->Columns()->Items(2);
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  TColumnKs* Id = F.Grid->Columns()->Items(0);
  Qty->Footer()->SetValueType(fvtSum);
  Price->Footer()->SetValueType(fvtSum);
  Id->Footer()->SetValueType(fvtCount);
  Name->Footer()->SetValueType(fvtFieldValue);
  Name->Footer()->SetFieldName("Name");
  auto Text = [&](TColumnKs* Column) {
    AnsiString Result;
    F.Grid->FooterValueText(0, Column, Result);
    return Result;
  };
  AnsiString Comma(1, FormatSettings.DecimalSeparator);
  EXPECT_EQ(Text(Qty), "150") << "10 + 20 + 30 + 40 + 50, an integer field";
  Qty->Footer()->SetDisplayFormat("0.00");
  EXPECT_EQ(Text(Qty), "150" + Comma + "00");
  EXPECT_EQ(Text(Price), FloatToStr(22.5));
  EXPECT_EQ(Text(Id), "5") << "a count as an integer";
  EXPECT_EQ(Text(Name), "item1");
  Name->Footer()->SetValueType(fvtStaticText);
  Name->Footer()->SetValue("Итого");
  EXPECT_EQ(Text(Name), "Итого");
  Name->Footer()->SetValueType(fvtNon);
  EXPECT_EQ(Text(Name), "");
  // A format shows the exact total: 5 × 0.201 = 1.005 has two decimals
  // 1.01, where the nearest double of 1.005 lies below the half.
  for (F.Data.First(); !F.Data.Eof(); F.Data.Next()) {
    F.Data.Edit();
    F.Data.FieldByName("Price")->SetAsFloat(0.201);
    F.Data.Post();
  }
  Price->Footer()->SetDisplayFormat("0.00");
  EXPECT_EQ(Text(Price), "1" + Comma + "01");
}

// A number wider than its cell is never shown cut (which would read as
// another number): it shows "#", and its tip tells the whole value; an
// overflowed sum shows its mark.
TEST(DBGridPaint, ANumberWiderThanItsCellShowsHashesAndItsTipTheWholeValue) {
  TForm5 F(5);
  F.Form->Show();
  for (F.Data.First(); !F.Data.Eof(); F.Data.Next()) {
    F.Data.Edit();
    F.Data.FieldByName("Price")->SetAsFloat(99999000.25);
    F.Data.Post();
  }
  F.Data.First();
  F.Grid->SetFooterRowCount(1);
  F.Grid->SumList()->SetActive(true);
  TColumnKs* Price = F.Grid->Columns()->Items(2);
  Price->Footer()->SetValueType(fvtSum);
  const AnsiString Sum = FloatToStr(499995001.25);
  AnsiString Text;
  F.Grid->FooterValueText(0, Price, Text);
  ASSERT_EQ(Text, Sum);
  const int Col = F.Grid->DataToRawColumn(2);
  const int Footer = F.Grid->RowCount() - 1, Data = F.Grid->TitleOffset();
  // What the footer and the first cell show, as the text a footer event
  // would give them.
  auto Drawn = [&](int Row, const AnsiString* Given) {
    F.Grid->OnGetFooterParams = nullptr;
    F.Grid->Columns()->Items(2)->OnGetCellParams = nullptr;
    if (Given && Row == Footer)
      F.Grid->OnGetFooterParams = [=](TObject*, int, int, TColumnKs*, TFont*, TColor&, TAlignment&,
                                      TGridDrawState, AnsiString& T) { T = *Given; };
    if (Given && Row == Data)
      Price->OnGetCellParams = [=](TColumnKs*, bool, TColCellParamsKs* P) { P->Text = *Given; };
    RECT Cell = F.Grid->CellRect(Col, Row);
    TDibDC Dib(Cell.right - Cell.left, Cell.bottom - Cell.top);
    DrawInto(F.Grid, Dib, Col, Row);
    std::vector<COLORREF> Pixels;
    for (int Y = 0; Y < Dib.Height(); ++Y)
      for (int X = 0; X < Dib.Width(); ++X) Pixels.push_back(Dib.Pixel(X, Y));
    return Pixels;
  };
  // Cells are cut with an ellipsis unless told not to, and then fill with
  // "#"; either way the tip tells the whole number.
  Price->SetWidth(40);
  {
    RECT Cell = F.Grid->CellRect(Col, Data);
    TDBGridKs::TCellHintKs Hint;
    ASSERT_TRUE(F.Grid->CellHint(Cell.left + 5, Cell.top + 3, Hint));
    EXPECT_EQ(Hint.Text, F.Data.FieldByName("Price")->DisplayText());
    EXPECT_FALSE(Hint.Fits);
  }
  Price->SetEndEllipsis(false);
  for (int Row : {Footer, Data}) {
    const AnsiString Whole = Row == Footer ? Sum : F.Data.FieldByName("Price")->DisplayText();
    // The cell shows a row of "#" and nothing else.
    const std::vector<COLORREF> Shown = Drawn(Row, nullptr);
    int Hashes = 0;
    for (int N = 1; N <= 12 && !Hashes; ++N) {
      const AnsiString Given(N, '#');
      if (Drawn(Row, &Given) == Shown) Hashes = N;
    }
    EXPECT_GT(Hashes, 1) << Row;
    RECT Cell = F.Grid->CellRect(Col, Row);
    TDBGridKs::TCellHintKs Hint;
    ASSERT_TRUE(F.Grid->CellHint(Cell.left + 5, Cell.top + 3, Hint)) << Row;
    EXPECT_EQ(Hint.Text, Whole);
    EXPECT_FALSE(Hint.Fits);
  }
  Price->SetWidth(200);
  for (int Row : {Footer, Data}) {
    const AnsiString Whole = Row == Footer ? Sum : F.Data.FieldByName("Price")->DisplayText();
    EXPECT_EQ(Drawn(Row, nullptr), Drawn(Row, &Whole)) << "a number that fits shows itself";
  }
  // A sum beyond the fixed-point range shows its mark.
  F.Data.Edit();
  F.Data.FieldByName("Price")->SetAsFloat(1e300);
  F.Data.Post();
  F.Grid->FooterValueText(0, Price, Text);
  EXPECT_EQ(Text, "###");
}

TEST(DBGridPaint, ALevelRowOverAPlainDataSourceShowsOnlyItsBackground) {
  TForm5 F(5);
  F.Grid->LevelRows = 1;
  F.Grid->LayoutChanged();
  F.Form->Show();
  ASSERT_EQ(F.Grid->TitleOffset(), 2);
  F.Grid->Columns()->Items(1)->Title()->SetColor(clAqua);
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghFixed3D});
  TDibDC Data(60, 18), Indicator(12, 18);
  DrawInto(F.Grid, Data, F.Grid->DataToRawColumn(1), 1, {gdFixed});
  DrawInto(F.Grid, Indicator, 0, 1, {gdFixed});
  EXPECT_EQ(Data.Count(RECT{0, 0, 60, 18}, RGB(0, 255, 255)), 60 * 18);
  EXPECT_EQ(Indicator.Count(RECT{0, 0, 12, 18}, ColorToRGB(F.Grid->FixedColor())), 12 * 18);
}

// The line between two columns under one group caption stops at the
// caption: not one pixel of it shows in the caption's band, up to the top
// of the title row.
TEST(DBGridPaint, AGroupCaptionIsWholeOverTheLinesOfItsColumns) {
  struct {
    bool Flat, Fixed3D;
  } Cases[] = {{false, true}, {false, false}, {true, true}, {true, false}};
  for (auto& C : Cases) {
    SCOPED_TRACE(::testing::Message() << "flat " << C.Flat << ", 3-D " << C.Fixed3D);
    TForm5 F(5);
    F.Grid->SetFlat(C.Flat);
    TDBGridKsOptions Options = F.Grid->OptionsKs();
    if (C.Fixed3D) {
      Options.Include(dghFixed3D);
    } else {
      Options.Exclude(dghFixed3D);
    }
    F.Grid->SetOptionsKs(Options);
    // The caption's one letter stands well off the line between the two.
    F.Grid->Columns()->Items(1)->Title()->SetCaption("G|Name");
    F.Grid->Columns()->Items(2)->Title()->SetCaption("G|Price");
    F.Grid->Columns()->Items(1)->SetWidth(100);
    F.Grid->Columns()->Items(2)->SetWidth(40);
    F.Grid->SetUseMultiTitle(true);
    F.Form->Show();
    TDibDC Dib(F.Grid->ClientWidth(), F.Grid->ClientHeight());
    PrintClient(F.Grid->Handle(), Dib);
    RECT Name = F.Grid->CellRect(F.Grid->DataToRawColumn(1), 0);
    COLORREF Line = ColorToRGB(C.Flat ? clBtnShadow : clBlack);
    // The caption's band: down to the line under it.
    COLORREF Below = ColorToRGB(C.Flat ? clGray : clBlack);
    int Under = Name.top + 2;
    while (Under < Name.bottom && Dib.Pixel(Name.left + 3, Under) != Below) ++Under;
    ASSERT_LT(Under, Name.bottom - 4) << "a line under the caption";
    std::string Shown;
    for (int Y = Name.top; Y < Under; ++Y)
      if (Dib.Pixel(Name.right, Y) == Line) Shown += " " + std::to_string(Y - Name.top);
    EXPECT_EQ(Shown, "") << "rows of the caption's band where the column line shows";
  }
}

TEST(DBGridPaint, GridLinesTakeTheFlatAndSilverColours) {
  struct {
    bool Flat;
    TColor Color;
    COLORREF FixedLine, DataLine;
  } Cases[] = {
      {false, clWindow, RGB(0, 0, 0), RGB(0xC0, 0xC0, 0xC0)},
      {true, clWindow, ColorToRGB(clBtnShadow), RGB(0xC0, 0xC0, 0xC0)},
      {false, clSilver, RGB(0, 0, 0), RGB(0x80, 0x80, 0x80)},
  };
  for (auto& C : Cases) {
    TForm5 F(5);
    F.Grid->SetFlat(C.Flat);
    F.Grid->SetColor(C.Color);
    F.Form->Show();
    TDibDC Dib(F.Grid->ClientWidth(), F.Grid->ClientHeight());
    PrintClient(F.Grid->Handle(), Dib);
    RECT Indicator = F.Grid->CellRect(0, F.Grid->TitleOffset() + 2);
    RECT Data = F.Grid->CellRect(2, F.Grid->TitleOffset() + 2);
    EXPECT_EQ(Dib.Pixel(Indicator.right, Indicator.top + 5), C.FixedLine) << C.Flat;
    EXPECT_EQ(Dib.Pixel(Data.right, Data.top + 5), C.DataLine) << C.Flat;
    EXPECT_EQ(Dib.Pixel(Data.left + 5, Data.bottom), C.DataLine) << C.Flat;
  }
}

// A flat raised cell frame shows its light edge on the left and the cell's
// colour over its right line, right to left as well: there the frame is
// drawn where the mirrored cell shows.
TEST(DBGridPaint, AFlatFrameKeepsItsLightEdgeLeftInBothDirections) {
  const COLORREF Cell = RGB(200, 220, 240);
  for (bool RightToLeft : {false, true}) {
    SCOPED_TRACE(RightToLeft ? "right to left" : "left to right");
    TForm5 F(5);
    F.Grid->SetFlat(true);
    F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghData3D});
    F.Grid->SetColor(static_cast<TColor>(Cell));
    if (RightToLeft) F.Grid->SetBiDiMode(bdRightToLeft);
    F.Form->Show();
    TDibDC Dib(F.Grid->ClientWidth(), F.Grid->ClientHeight());
    PrintClient(F.Grid->Handle(), Dib);
    RECT R = F.Grid->CellRect(2, F.Grid->TitleOffset() + 2);
    if (RightToLeft) R = RECT{Dib.Width() - R.right, R.top, Dib.Width() - R.left, R.bottom};
    int Y = (R.top + R.bottom) / 2, X = (R.left + R.right) / 2;
    COLORREF Light = ColorToRGB(clBtnHighlight);
    EXPECT_EQ(Dib.Pixel(R.left, Y), Light) << "the left edge";
    EXPECT_EQ(Dib.Pixel(X, R.top), Light) << "the top edge";
    EXPECT_EQ(Dib.Pixel(R.right - 1, Y), Cell) << "the right line covered";
    EXPECT_EQ(Dib.Pixel(X, R.bottom - 1), Cell) << "the bottom line covered";
  }
}

// A flat grid with a single border draws it one pixel wide and sunken:
// dark at the top and left, light at the bottom and right.
TEST(DBGridPaint, AFlatGridsBorderIsSunken) {
  TForm5 F(5);
  F.Grid->SetFlat(true);
  F.Form->Show();
  TPicture32 P = Capture(F.Grid->Handle());
  POINT Client = F.Grid->ClientToScreen(POINT{0, 0});
  RECT Window;
  GetWindowRect(F.Grid->Handle(), &Window);
  ASSERT_EQ(Client.x - Window.left, 1) << "a one-pixel frame";
  auto At = [&](int X, int Y) {
    uint32_t V = P.Pixels[Y * P.Width + X];
    return RGB((V >> 16) & 0xFF, (V >> 8) & 0xFF, V & 0xFF);
  };
  COLORREF Dark = ColorToRGB(clBtnShadow), Light = ColorToRGB(clBtnHighlight);
  int MidX = P.Width / 2, MidY = P.Height / 2;
  EXPECT_EQ(At(MidX, 0), Dark) << "top";
  EXPECT_EQ(At(0, MidY), Dark) << "left";
  EXPECT_EQ(At(MidX, P.Height - 1), Light) << "bottom";
  EXPECT_EQ(At(P.Width - 1, MidY), Light) << "right";
}

TEST(DBGridPaint, ARightToLeftGridPaintsItsIndicatorAtTheRight) {
  TForm5 F(5);
  F.Grid->SetBiDiMode(bdRightToLeft);
  F.Form->Show();
  TDibDC Dib(F.Grid->ClientWidth(), F.Grid->ClientHeight());
  PrintClient(F.Grid->Handle(), Dib);
  RECT Indicator = F.Grid->CellRect(0, F.Grid->TitleOffset() + 1);
  int Width = Indicator.right - Indicator.left, Y = Indicator.top + 2;
  COLORREF Face = ColorToRGB(F.Grid->FixedColor());
  int Right = Dib.Width() - 1 - Indicator.left - Width / 2;
  EXPECT_EQ(Dib.Pixel(Right, Y), Face) << "mirrored: the indicator at the right";
  EXPECT_NE(Dib.Pixel(Indicator.left + Width / 2, Y), Face);
}

TEST(DBGridPaint, AFilterCellShowsItsConditionInBlueOnTheBrightenedFixedColour) {
  TForm5 F(5);
  F.Grid->STFilter()->SetVisible(true);
  F.Form->Show();
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  Name->STFilter()->ApplyFilterText("item1");
  int FilterRow = F.Grid->TitleOffset() - 1;
  F.Grid->SetFixedColor(static_cast<TColor>(RGB(160, 200, 80)));
  const COLORREF Bright = RGB(180, 225, 90);  // c + c / 8, rounded
  int Button = GetSystemMetrics(SM_CXVSCROLL);
  TDibDC Dib(100, F.Grid->DefaultRowHeight());
  DrawInto(F.Grid, Dib, F.Grid->DataToRawColumn(1), FilterRow, {gdFixed});
  EXPECT_EQ(Dib.Pixel(1, 1), Bright) << "no 3D frame beside the drop-down button";
  EXPECT_GT(Dib.Count(RECT{0, 0, 100 - Button, Dib.Height()}, RGB(0, 0, 255)), 10);
  TDibDC Face(Button, Dib.Height());
  PaintEditButton(Face.DC(), RECT{0, 0, Button, Dib.Height()}, static_cast<TColor>(Bright), 0,
                  true, false, false, nullptr, ebsDropDownKs);
  EXPECT_EQ(Dib.Pixel(100 - Button / 2, Dib.Height() / 2), Face.Pixel(Button / 2, Dib.Height() / 2))
      << "the drop-down button at the right";
  Name->STFilter()->SetVisible(false);
  DrawInto(F.Grid, Dib, F.Grid->DataToRawColumn(1), FilterRow, {gdFixed});
  EXPECT_EQ(Dib.Count(RECT{0, 0, 100, Dib.Height()}, RGB(0, 0, 255)), 0) << "a hidden filter";
}

TEST(DBGridPaint, InCellButtonsStandRightOfTheText) {
  TForm5 F(5);
  F.Form->Show();
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghRowHighlight});
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  Name->SetAlwaysShowEditButton(true);
  Name->SetButtonStyle(cbsEllipsis);
  TEditButtonKs* Extra = Name->EditButtons()->Add();
  Extra->SetStyle(ebsPlusKs);
  Extra->SetWidth(14);
  const int W = 120, H = F.Grid->DefaultRowHeight();
  const int Default = F.Grid->EditButtonWidth();
  TDibDC Actual(W, H), Expected(W, H, ColorToRGB(clWindow));
  DrawInto(F.Grid, Actual, F.Grid->DataToRawColumn(1), F.Grid->TitleOffset() + 1);
  int TextRight = W - Default - 14;
  int ButtonH = std::min(F.Grid->DefaultRowHeight(), H);
  PaintEditButton(Expected.DC(), RECT{TextRight, 0, TextRight + Default, ButtonH}, clWindow, 0,
                  true, false, false, nullptr, ebsEllipsisKs);
  PaintEditButton(Expected.DC(), RECT{TextRight + Default, 0, W, ButtonH}, clWindow, 0, true,
                  false, false, nullptr, ebsPlusKs);
  for (int X : {TextRight + 2, TextRight + Default / 2, W - 7, W - 2})
    for (int Y = 1; Y < ButtonH - 1; Y += 3)
      EXPECT_EQ(Actual.Pixel(X, Y), Expected.Pixel(X, Y)) << X << "," << Y;
  EXPECT_GT(100 * 20, Actual.Count(RECT{0, 0, TextRight, H}, ColorToRGB(clWindow)))
      << "the text before them";
  Extra->SetVisible(false);
  DrawInto(F.Grid, Actual, F.Grid->DataToRawColumn(1), F.Grid->TitleOffset() + 1);
  int Same = 0;
  for (int X = 0; X < Default; ++X)
    for (int Y = 0; Y < ButtonH; ++Y)
      Same += Actual.Pixel(W - Default + X, Y) == Expected.Pixel(TextRight + X, Y);
  EXPECT_EQ(Same, Default * ButtonH) << "a hidden extra button leaves the edit button at the right";
}

// Right to left the buttons stand at the cell's left, drawn as they are
// drawn left to right: their light comes from the top left all the same.
TEST(DBGridPaint, ARightToLeftGridDrawsItsCellButtonsUnmirrored) {
  for (bool Flat : {false, true}) {
    TForm5 F(5);
    F.Grid->SetBiDiMode(bdRightToLeft);
    F.Grid->SetFlat(Flat);
    F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghRowHighlight});
    TColumnKs* Name = F.Grid->Columns()->Items(1);
    Name->SetAlwaysShowEditButton(true);
    Name->SetButtonStyle(cbsDropDown);
    F.Form->Show();
    const int W = F.Grid->ClientWidth(), H = F.Grid->ClientHeight();
    TDibDC Actual(W, H), Expected(W, H, ColorToRGB(clWindow));
    PrintClient(F.Grid->Handle(), Actual);
    RECT Cell = F.Grid->CellRect(F.Grid->DataToRawColumn(1), F.Grid->TitleOffset() + 1);
    // A flat button takes one pixel more: its line beside the text.
    const int Width = F.Grid->EditButtonWidth() + (Flat ? 1 : 0);
    const int ButtonH = std::min(F.Grid->DefaultRowHeight(), static_cast<int>(Cell.bottom - Cell.top));
    // The cell's right end, where its buttons are, shows at the left; flat,
    // a line of the cell's colour keeps the button off the text at its right.
    RECT Button{W - Cell.right, Cell.top, W - Cell.right + Width, Cell.top + ButtonH};
    RECT Face = Button;
    if (Flat) --Face.right;
    PaintEditButton(Expected.DC(), Face, clWindow, 0, true, false, Flat, nullptr, ebsDropDownKs);
    int Mismatches = 0;
    for (int Y = Button.top; Y < Button.bottom; ++Y)
      for (int X = Button.left; X < Button.right; ++X)
        Mismatches += Actual.Pixel(X, Y) != Expected.Pixel(X, Y);
    EXPECT_EQ(Mismatches, 0) << Flat;
  }
}

TEST(DBGridPaint, ADisplayFormatShapesNumbersInCellsAndFieldFooters) {
  TForm5 F(5);
  F.Form->Show();
  AnsiString Comma(1, FormatSettings.DecimalSeparator);
  struct {
    int Column;
    const char* Format;
    AnsiString Text;
  } Cases[] = {
      {2, "", "1" + Comma + "5"},           // the field's own text
      {2, "0.000", "1" + Comma + "500"},    // a float
      {0, "000", "001"},                    // an integer
      {1, "0.00", ""},                      // a string has no number to format
  };
  for (auto& C : Cases) {
    TColumnKs* Column = F.Grid->Columns()->Items(C.Column);
    Column->SetDisplayFormat(C.Format);
    EXPECT_EQ(Column->GetDisplayText(), C.Text) << C.Format;
    Column->Footer()->SetValueType(fvtFieldValue);
    Column->Footer()->SetFieldName(Column->FieldName());
    AnsiString Footer;
    F.Grid->FooterValueText(0, Column, Footer);
    EXPECT_EQ(Footer, C.Text) << "footer, " << C.Format;
    Column->SetDisplayFormat("");
  }
}
