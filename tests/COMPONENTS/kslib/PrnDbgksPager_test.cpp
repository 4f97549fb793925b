// The paging loop over a fake row sequence and a painter that records.
#include "COMPONENTS/kslib/PrnDbgksPager.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>

namespace {

class TRowList : public TPrintRowSequenceKs {
 public:
  TRowList(int DataRows, int FooterRows) {
    for (int I = 0; I < DataRows; ++I) Rows.push_back({"r" + IntToStr(I), false, false});
    for (int I = 0; I < FooterRows; ++I) Rows.push_back({IntToStr(I), true, false});
  }
  TPrintRowKs First() override { return At(Current = 0); }
  TPrintRowKs Next() override { return At(++Current); }
  void GoTo(const TPrintRowKs& Row) override {
    for (Current = 0; Current < Rows.size(); ++Current)
      if (Rows[Current].Key == Row.Key && Rows[Current].Footer == Row.Footer) return;
  }
  TPrintRowKs At(size_t I) const {
    return I < Rows.size() ? Rows[I] : TPrintRowKs{"", false, true};
  }
  std::vector<TPrintRowKs> Rows;
  size_t Current = 0;
};

struct TDrawnCell {
  int Page;
  AnsiString Key;
  int Column;
  TPrintRectKs Rect;
  bool FirstOfBand;
};

class TRecordingPainter : public TPrintBandPainterKs {
 public:
  int MeasureRow(const TPrintRowKs& Row) override { return Heights[Row.Key]; }
  void AddToTotals(const TPrintRowKs& Row) override { Totalled.push_back(Row.Key); }
  bool Aborted() override { return Abort; }
  void NewPage() override { ++Page; }
  void DrawTitles(int First, int Last, int RowsTop) override {
    Titles.push_back({Page, First, Last, RowsTop});
  }
  void DrawCell(const TPrintRowKs& Row, int Column, const TPrintRectKs& Cell,
                bool FirstOfBand) override {
    Cells.push_back({Page, Row.Key, Column, Cell, FirstOfBand});
  }
  void DrawGridLines(const std::vector<TPrintLineKs>& L) override { Lines.push_back(L); }

  std::map<AnsiString, int> Heights;
  bool Abort = false;
  int Page = 1;
  std::vector<AnsiString> Totalled;
  std::vector<std::array<int, 4>> Titles;
  std::vector<TDrawnCell> Cells;
  std::vector<std::vector<TPrintLineKs>> Lines;
};

TPrintAreaKs Area() {
  TPrintAreaKs A;
  A.Left = 100;
  A.Right = 900;
  A.Top = 200;
  A.Bottom = 1200;
  A.LineWidth = 2;
  A.DefaultRowHeight = 20;
  return A;
}

TEST(PrintPagerTest, RandomRowHeightsPrintEveryRowOnceInOrder) {
  for (unsigned Seed = 1; Seed <= 40; ++Seed) {
    std::mt19937 Random(Seed);
    TRowList Rows(1 + Random() % 120, Random() % 3);
    TRecordingPainter Painter;
    for (const TPrintRowKs& Row : Rows.Rows)
      Painter.Heights[Row.Key] = Random() % 25 == 0 ? 1500 : 1 + Random() % 300;
    TPrintPagerKs Pager(Area(), {300, 300}, {1});
    const int TextHeight = Seed % 2 ? 0 : 150;  // text before the grid, sometimes
    Pager.Position = TextHeight;
    Pager.PrintRows(Rows, Painter);

    std::vector<AnsiString> Printed;
    std::map<int, std::vector<AnsiString>> PageRows;
    for (const TDrawnCell& Cell : Painter.Cells) {
      const int Top = Area().Top + (Cell.Page == 1 ? TextHeight : 0);
      EXPECT_GE(Cell.Rect.Top, Top) << "seed " << Seed;
      EXPECT_LE(Cell.Rect.Bottom, Area().Bottom) << "seed " << Seed << " " << Cell.Key;
      EXPECT_EQ(Cell.Rect.Left, Cell.Column == 0 ? 100 : 400);
      if (Cell.Column != 0) continue;
      Printed.push_back(Cell.Key);
      PageRows[Cell.Page].push_back(Cell.Key);
    }
    std::vector<AnsiString> Expected;
    for (const TPrintRowKs& Row : Rows.Rows) Expected.push_back(Row.Key);
    EXPECT_EQ(Printed, Expected) << "seed " << Seed;

    for (const auto& [Page, Keys] : PageRows) {
      for (const AnsiString& Key : Keys) {
        if (Painter.Heights[Key] > Area().Bottom - Area().Top) {
          EXPECT_EQ(Keys.size(), 1u) << "seed " << Seed << ": a too tall row shares page " << Page;
        }
      }
    }

    std::vector<AnsiString> DataRows;
    for (const TPrintRowKs& Row : Rows.Rows)
      if (!Row.Footer) DataRows.push_back(Row.Key);
    EXPECT_EQ(Painter.Totalled, DataRows) << "seed " << Seed;
    EXPECT_EQ(Painter.Titles.size(), PageRows.size()) << "titles once per page, seed " << Seed;
  }
}

TEST(PrintPagerTest, EachBandPrintsOncePerPageGroupOnPagesOfItsOwn) {
  TRowList Rows(30, 1);
  TRecordingPainter Painter;
  for (const TPrintRowKs& Row : Rows.Rows) Painter.Heights[Row.Key] = 100;
  // Rows of 100 from 200 to 1200: ten rows a band; three bands, two groups.
  TPrintPagerKs Pager(Area(), {500, 300, 800}, {1, 2});
  Pager.PrintRows(Rows, Painter);
  EXPECT_EQ(Painter.Page, 8);  // the footer row makes a fourth band
  std::map<std::pair<AnsiString, int>, int> Seen;
  for (const TDrawnCell& Cell : Painter.Cells) {
    ++Seen[{Cell.Key, Cell.Column}];
    const int Band = Cell.Key == "0" ? 3 : StrToInt(Cell.Key.substr(1)) / 10;
    EXPECT_EQ(Cell.Page, 1 + 2 * Band + (Cell.Column == 2 ? 1 : 0)) << Cell.Key;
    EXPECT_EQ(Cell.FirstOfBand, Cell.Key == "0" || StrToInt(Cell.Key.substr(1)) % 10 == 0);
  }
  EXPECT_EQ(Seen.size(), 31u * 3);
  for (const auto& [Cell, Count] : Seen) EXPECT_EQ(Count, 1);
  EXPECT_EQ(Pager.Position, 100 + 2);  // below the last band, for the text after the grid
}

TEST(PrintPagerTest, ABandThatDoesNotFitBelowTextMovesToTheNextPage) {
  TRowList Rows(2, 0);
  TRecordingPainter Painter;
  Painter.Heights = {{"r0", 400}, {"r1", 1500}};
  TPrintPagerKs Pager(Area(), {300}, {0});
  Pager.Position = 700;
  Pager.PrintRows(Rows, Painter);
  ASSERT_EQ(Painter.Cells.size(), 2u);
  EXPECT_EQ(Painter.Cells[0].Page, 2);
  EXPECT_EQ(Painter.Cells[0].Rect.Top, 200);
  EXPECT_EQ(Painter.Cells[1].Page, 3);
  EXPECT_EQ((Painter.Cells[1].Rect), (TPrintRectKs{100, 200, 400, 1200}));  // clipped
  EXPECT_EQ(Painter.Titles.size(), 2u);  // none on the page of the text
  EXPECT_EQ(Painter.Titles[0][0], 2);
}

TEST(PrintPagerTest, NoRoomForRowsFailsBeforeAnyPage) {
  TRowList Rows(3, 0);
  TRecordingPainter Painter;
  TPrintAreaKs Full = Area();
  Full.Bottom = Full.Top;
  TPrintPagerKs Pager(Full, {300}, {0});
  EXPECT_THROW(Pager.PrintRows(Rows, Painter), EInvalidOperation);
  EXPECT_EQ(Painter.Page, 1);
  EXPECT_TRUE(Painter.Titles.empty());
}

TEST(PrintPagerTest, AnEmptySequencePrintsTitlesOnly) {
  TRowList Rows(0, 0);
  TRecordingPainter Painter;
  TPrintAreaKs A = Area();
  A.TitlesHeight = 30;
  TPrintPagerKs Pager(A, {300}, {0});
  Pager.Position = 50;
  Pager.PrintRows(Rows, Painter);
  EXPECT_TRUE(Painter.Cells.empty());
  ASSERT_EQ(Painter.Titles.size(), 1u);
  EXPECT_EQ(Painter.Titles[0][3], 250);
  EXPECT_EQ(Pager.Position, 50 + 30 + 2);  // the text after the grid goes below the titles
}

TEST(PrintPagerTest, AnAbortStopsAtTheNextPageGroup) {
  TRowList Rows(3, 0);
  TRecordingPainter Painter;
  Painter.Abort = true;
  TPrintPagerKs Pager(Area(), {300}, {0});
  EXPECT_THROW(Pager.PrintRows(Rows, Painter), EAbort);
  EXPECT_TRUE(Painter.Cells.empty());
}

TEST(PrintPagerTest, RightToLeftMirrorsCellsAndClosesTheOuterLeftBorder) {
  TRowList Rows(1, 0);
  TRecordingPainter Painter;
  Painter.Heights["r0"] = 50;
  TPrintAreaKs A = Area();
  A.RightToLeft = true;
  TPrintPagerKs Pager(A, {300, 200}, {1});
  Pager.PrintRows(Rows, Painter);
  ASSERT_EQ(Painter.Cells.size(), 2u);
  EXPECT_EQ((Painter.Cells[0].Rect), (TPrintRectKs{600, 200, 900, 250}));
  EXPECT_EQ((Painter.Cells[1].Rect), (TPrintRectKs{400, 200, 600, 250}));
  ASSERT_EQ(Painter.Lines.size(), 1u);
  EXPECT_EQ(Painter.Lines[0][0], (TPrintLineKs{{600, 250}, {900, 250}, {900, 200}}));
  EXPECT_EQ(Painter.Lines[0][1], (TPrintLineKs{{400, 200}, {400, 250}, {600, 250}, {600, 200}}));
}

TEST(PrintPagerTest, GridLinesCloseTheFirstColumnOnTheLeft) {
  TRowList Rows(1, 0);
  TRecordingPainter Painter;
  Painter.Heights["r0"] = 50;
  TPrintPagerKs Pager(Area(), {300, 200}, {1});
  Pager.PrintRows(Rows, Painter);
  ASSERT_EQ(Painter.Lines.size(), 1u);
  EXPECT_EQ(Painter.Lines[0][0], (TPrintLineKs{{100, 200}, {100, 250}, {400, 250}, {400, 200}}));
  EXPECT_EQ(Painter.Lines[0][1], (TPrintLineKs{{400, 250}, {600, 250}, {600, 200}}));
}

}  // namespace
