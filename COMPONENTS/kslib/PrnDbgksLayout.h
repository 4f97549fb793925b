// The arithmetic of a grid print run in printer pixels: page metrics from
// the margins, screen-to-paper scaling, printed column widths, fitting to
// the page width, horizontal page groups, the default row height and
// margin units. Rounding is half to even unless a routine says otherwise.
#pragma once

#include <cstdint>
#include <vector>

#include "rtl/SysUtils.h"

enum TMeasureUnits { MM, Inches };  // MM margins hold centimetres

int RoundHalfEven(double Value);
// a × b / c rounded half away from zero, through 64 bits; -1 when c is 0.
int PrintMulDiv(int A, int B, int C);

// Margins (Currency, four decimals) converted for a change of Units: ×0.3937
// to inches, ×2.54 to centimetres, rounded to four decimals.
Currency ConvertMargin(Currency Margin, TMeasureUnits To);

struct TPrintPageInputKs {
  int PageWidth = 0, PageHeight = 0;          // printable area, printer pixels
  int FullPageWidth = 0, FullPageHeight = 0;  // the sheet
  int ScreenPpiX = 96, ScreenPpiY = 96;
  bool HasPrinter = false;  // false: the printer resolution below is ignored
  int PrinterPpiX = 600, PrinterPpiY = 600;
  Currency LeftMargin, TopMargin, RightMargin, BottomMargin;
  TMeasureUnits Units = MM;
  bool Flat = false;  // flat grids pad rows less
};

struct TPrintMetricsKs {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // printable area inside the margins
  int PhysicalOffsetX = 0, PhysicalOffsetY = 0;
  int PrinterPpiX = 600, PrinterPpiY = 600;
  double ScaleX = 1, ScaleY = 1;  // never below 1
  int LineWidth = 0;
  int PadX = 0, PadY = 0, HalfPadY = 0;
};

TPrintMetricsKs ComputePrintMetrics(const TPrintPageInputKs& In);

// Raises EInvalidOperation when nothing can be printed between the edges:
// margins, headers, footers and titles took the whole page.
void CheckPrintableArea(int Left, int Top, int Right, int Bottom);

// A column of ScreenWidth pixels on paper.
int PrintedColWidth(int ScreenWidth, double ScaleX);

// Widths shrunk in proportion to fit Available (the last column gives up
// what rounding leaves over); unchanged when they fit already.
void FitColWidths(std::vector<int>& Widths, int Available);

// Fitting by scaling: the logical page is widened so that the whole grid
// fits between Left and Right; the canvas maps it back onto the paper.
struct TPrintFitMappingKs {
  bool Isotropic = true;  // same resolution both ways
  int WindowExtX = 0, WindowExtY = 0, ViewportExtX = 0, ViewportExtY = 0;
};
// False when the grid fits already (nothing changes); otherwise Metrics'
// edges are rescaled and Mapping is filled.
bool FitPageToGridWidth(TPrintMetricsKs& Metrics, int GridWidth, TPrintFitMappingKs& Mapping);

// Horizontal page groups: widths clipped to the page, and the index of the
// last column of each group. A column wider than the page stands alone.
struct TPrintPageGroupsKs {
  std::vector<int> PageColWidths;
  std::vector<int> PageBreaks;
};
TPrintPageGroupsKs SplitPageGroups(const std::vector<int>& Widths, int Left, int Right,
                                   int LineWidth);

// Minimum height of a data row from the grid's settings and the print
// font's metrics.
struct TPrintRowHeightKs {
  int Height = 0;
  bool MultiLine = false;  // rows drawn word-wrapped
};
TPrintRowHeightKs DefaultPrintRowHeight(int RowHeight, int RowLines, int TextHeightWg,
                                        int CharHeightWithLeading, double ScaleY, int PadY,
                                        bool AutoStretch);
