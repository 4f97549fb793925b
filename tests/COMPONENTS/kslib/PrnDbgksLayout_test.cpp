// Page metrics, widths, fitting and totals of a print run.
#include "COMPONENTS/kslib/PrnDbgksLayout.h"

#include <gtest/gtest.h>

namespace {

// The test printer: A4 at 600 dpi with an unprintable border of 150 pixels.
TPrintPageInputKs A4At600() {
  TPrintPageInputKs In;
  In.PageWidth = 4658;
  In.PageHeight = 6716;
  In.FullPageWidth = 4958;
  In.FullPageHeight = 7016;
  In.HasPrinter = true;
  In.LeftMargin = In.TopMargin = In.RightMargin = In.BottomMargin = Currency(2.0);
  return In;
}

TEST(PrintMetricsTest, MarginsInCentimetresLessThePhysicalOffset) {
  const TPrintMetricsKs M = ComputePrintMetrics(A4At600());
  EXPECT_EQ(M.PhysicalOffsetX, 150);
  EXPECT_EQ(M.PhysicalOffsetY, 150);
  // Round(600 × 2 / 2.54) = 472.
  EXPECT_EQ(M.Left, 472 - 150);
  EXPECT_EQ(M.Top, 472 - 150);
  EXPECT_EQ(M.Right, 4658 - 472 + 150);
  EXPECT_EQ(M.Bottom, 6716 - 472 + 150);
  EXPECT_DOUBLE_EQ(M.ScaleX, 6.25);
  EXPECT_EQ(M.LineWidth, 6);
  // Round(12.5) and Round(6.25): halves go to even.
  EXPECT_EQ(M.PadX, 12);
  EXPECT_EQ(M.PadY, 12);
  EXPECT_EQ(M.HalfPadY, 6);
}

TEST(PrintMetricsTest, ResolutionUnitsAndFlatGrids) {
  TPrintPageInputKs In = A4At600();
  In.Units = Inches;
  In.LeftMargin = Currency(0.5);
  In.Flat = true;
  TPrintMetricsKs M = ComputePrintMetrics(In);
  EXPECT_EQ(M.Left, 300 - 150);
  EXPECT_EQ(M.PadY, 6);      // Round(6.25)
  EXPECT_EQ(M.HalfPadY, 3);  // Round(3.125)

  // A printer coarser than the screen still scales by the larger ratio.
  In.PrinterPpiX = In.PrinterPpiY = 72;
  M = ComputePrintMetrics(In);
  EXPECT_DOUBLE_EQ(M.ScaleX, 96.0 / 72);
  EXPECT_EQ(M.LineWidth, 0);

  // Without a printer the resolution is 600 whatever the handle says.
  In.HasPrinter = false;
  M = ComputePrintMetrics(In);
  EXPECT_EQ(M.PrinterPpiX, 600);
  EXPECT_DOUBLE_EQ(M.ScaleY, 6.25);
}

TEST(PrintMetricsTest, NoPrintableAreaIsAnError) {
  EXPECT_NO_THROW(CheckPrintableArea(0, 0, 1, 1));
  EXPECT_THROW(CheckPrintableArea(0, 100, 500, 100), EInvalidOperation);
  EXPECT_THROW(CheckPrintableArea(0, 100, 500, 40), EInvalidOperation);
  EXPECT_THROW(CheckPrintableArea(500, 0, 500, 100), EInvalidOperation);
}

TEST(PrintUnitsTest, MarginsSurviveAChangeOfUnitsBackAndForth) {
  const Currency Inch = ConvertMargin(Currency(2.0), Inches);
  EXPECT_EQ(Inch, Currency(0.7874));
  EXPECT_EQ(ConvertMargin(Inch, MM), Currency(2.0));  // 1.999996 rounds back
  EXPECT_EQ(ConvertMargin(Currency(1.0), MM), Currency(2.54));
}

TEST(PrintArithmeticTest, RoundingAndMulDiv) {
  EXPECT_EQ(RoundHalfEven(406.25), 406);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(PrintedColWidth(64, 6.25), 406);
  EXPECT_EQ(PrintMulDiv(5, 1, 2), 3);  // half away from zero
  EXPECT_EQ(PrintMulDiv(-5, 1, 2), -3);
  EXPECT_EQ(PrintMulDiv(100000, 100000, 200000), 50000);  // wider than 32 bits inside
  EXPECT_EQ(PrintMulDiv(7, 2, 0), -1);
}

TEST(FitColWidthsTest, ShrinksInProportionAndTheLastGivesUpTheRest) {
  struct Case {
    std::vector<int> Widths;
    int Available;
    std::vector<int> Expected;
  } Cases[] = {
      {{300, 300, 400}, 500, {150, 150, 200}},
      {{1, 1, 1}, 2, {1, 1, 0}},
      {{100, 200}, 300, {100, 200}},
      {{100, 200}, 1000, {100, 200}},
  };
  for (Case& C : Cases) {
    FitColWidths(C.Widths, C.Available);
    EXPECT_EQ(C.Widths, C.Expected) << C.Available;
  }
}

TEST(FitPageToGridWidthTest, AGridTwiceAsWideDoublesThePage) {
  TPrintMetricsKs M = ComputePrintMetrics(A4At600());
  const TPrintMetricsKs Before = M;
  TPrintFitMappingKs Mapping;
  const int PageWidth = M.Right - M.Left;
  ASSERT_TRUE(FitPageToGridWidth(M, 2 * PageWidth, Mapping));
  EXPECT_EQ(M.Left, 2 * Before.Left);
  EXPECT_EQ(M.Right, 2 * Before.Right);
  EXPECT_EQ(M.Top, 2 * Before.Top);
  EXPECT_EQ(M.Bottom, 2 * Before.Bottom);
  EXPECT_TRUE(Mapping.Isotropic);
  EXPECT_EQ(Mapping.WindowExtX, 2 * PageWidth);
  EXPECT_EQ(Mapping.ViewportExtX, PageWidth);
  EXPECT_EQ(Mapping.WindowExtY, 2 * PageWidth);

  TPrintMetricsKs Fitting = Before;
  EXPECT_FALSE(FitPageToGridWidth(Fitting, PageWidth, Mapping));
  EXPECT_EQ(Fitting.Right, Before.Right);

  Fitting.PrinterPpiY = 300;  // 600 × 300: anisotropic, y extents doubled
  ASSERT_TRUE(FitPageToGridWidth(Fitting, 2 * PageWidth, Mapping));
  EXPECT_FALSE(Mapping.Isotropic);
  EXPECT_EQ(Mapping.ViewportExtY, 2 * PageWidth);
}

TEST(PageGroupsTest, ColumnsSplitWhereThePageOverflows) {
  struct Case {
    std::vector<int> Widths;
    std::vector<int> Clipped, PageBreaks;
  } Cases[] = {
      // Each fits, the third overflows: it starts the next group.
      {{40, 40, 40}, {40, 40, 40}, {1, 2}},
      // Wider than the page: clipped, alone in its group.
      {{30, 150, 30}, {30, 100, 30}, {0, 1, 2}},
      {{150, 20}, {100, 20}, {0, 1}},
      {{50, 49}, {50, 49}, {1}},
      {{}, {}, {}},
  };
  for (const Case& C : Cases) {
    const TPrintPageGroupsKs Groups = SplitPageGroups(C.Widths, 0, 100, 1);
    EXPECT_EQ(Groups.PageColWidths, C.Clipped);
    EXPECT_EQ(Groups.PageBreaks, C.PageBreaks);
  }
}

TEST(DefaultRowHeightTest, FromTextOrFromTheGridsSettings) {
  struct Case {
    int RowHeight, RowLines;
    bool AutoStretch;
    int Height;
    bool MultiLine;
  } Cases[] = {
      {0, 0, false, 100 + 24, false},
      {0, 0, true, 100 + 24, true},
      {0, 2, false, 2 * 110, true},
      {18, 1, false, 110 + 112, true},  // Round(18 × 6.25) = 112
  };
  for (const Case& C : Cases) {
    const TPrintRowHeightKs R =
        DefaultPrintRowHeight(C.RowHeight, C.RowLines, 100, 110, 6.25, 12, C.AutoStretch);
    EXPECT_EQ(R.Height, C.Height) << C.RowHeight << " " << C.RowLines;
    EXPECT_EQ(R.MultiLine, C.MultiLine) << C.RowHeight << " " << C.RowLines;
  }
}

}  // namespace
