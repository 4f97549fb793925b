#include "COMPONENTS/kslib/PrnDbgksLayout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <numeric>

int RoundHalfEven(double Value) { return static_cast<int>(std::nearbyint(Value)); }

int PrintMulDiv(int A, int B, int C) {
  if (C == 0) return -1;
  const int64_t Product = int64_t{A} * B;
  int64_t Quotient = Product / C;
  if (2 * std::llabs(Product % C) >= std::llabs(int64_t{C}))
    Quotient += (Product < 0) != (C < 0) ? -1 : 1;
  if (Quotient < INT_MIN || Quotient > INT_MAX) return -1;
  return static_cast<int>(Quotient);
}

Currency ConvertMargin(Currency Margin, TMeasureUnits To) {
  return Currency(Margin.ToDouble() * (To == Inches ? 0.3937 : 2.54));
}

namespace {

double ScaleBetween(int Screen, int Printer) {
  return Screen > Printer ? double(Screen) / Printer : double(Printer) / Screen;
}

int MarginPixels(int Ppi, Currency Margin, double Divisor) {
  return RoundHalfEven(Ppi * Margin.ToDouble() / Divisor);
}

}  // namespace

TPrintMetricsKs ComputePrintMetrics(const TPrintPageInputKs& In) {
  TPrintMetricsKs M;
  M.PhysicalOffsetX = (In.FullPageWidth - In.PageWidth) / 2;
  M.PhysicalOffsetY = (In.FullPageHeight - In.PageHeight) / 2;
  if (In.HasPrinter) {
    M.PrinterPpiX = In.PrinterPpiX;
    M.PrinterPpiY = In.PrinterPpiY;
  }
  M.ScaleX = ScaleBetween(In.ScreenPpiX, M.PrinterPpiX);
  M.ScaleY = ScaleBetween(In.ScreenPpiY, M.PrinterPpiY);
  const double K = In.Units == MM ? 2.54 : 1.0;
  M.Left = MarginPixels(M.PrinterPpiX, In.LeftMargin, K) - M.PhysicalOffsetX;
  M.Top = MarginPixels(M.PrinterPpiY, In.TopMargin, K) - M.PhysicalOffsetY;
  M.Right = In.PageWidth - MarginPixels(M.PrinterPpiX, In.RightMargin, K) + M.PhysicalOffsetX;
  M.Bottom = In.PageHeight - MarginPixels(M.PrinterPpiY, In.BottomMargin, K) + M.PhysicalOffsetY;
  M.PadX = RoundHalfEven(2 * M.ScaleX);
  if (In.Flat) {
    M.PadY = RoundHalfEven(M.ScaleY);
    M.HalfPadY = RoundHalfEven(M.ScaleY / 2);
  } else {
    M.PadY = RoundHalfEven(2 * M.ScaleY);
    M.HalfPadY = RoundHalfEven(M.ScaleY);
  }
  M.LineWidth = (M.PrinterPpiX + M.PrinterPpiY) / 200;
  return M;
}

void CheckPrintableArea(int Left, int Top, int Right, int Bottom) {
  if (Right <= Left || Bottom <= Top)
    throw EInvalidOperation(
        "Нет места для печати: поля, колонтитулы и заголовки занимают всю страницу");
}

int PrintedColWidth(int ScreenWidth, double ScaleX) {
  return RoundHalfEven((ScreenWidth + 1) * ScaleX);
}

void FitColWidths(std::vector<int>& Widths, int Available) {
  const int Sum = std::accumulate(Widths.begin(), Widths.end(), 0);
  if (Sum <= Available) return;
  for (int& W : Widths) W = PrintMulDiv(W, Available, Sum);
  const int NewSum = std::accumulate(Widths.begin(), Widths.end(), 0);
  if (NewSum > Available) Widths.back() -= NewSum - Available;
}

bool FitPageToGridWidth(TPrintMetricsKs& M, int GridWidth, TPrintFitMappingKs& Mapping) {
  const int PageWidth = M.Right - M.Left;
  if (PageWidth >= GridWidth) return false;
  Mapping.Isotropic = M.PrinterPpiX == M.PrinterPpiY;
  Mapping.WindowExtX = GridWidth;
  Mapping.WindowExtY = static_cast<int>(int64_t{GridWidth} * M.PrinterPpiX / M.PrinterPpiY);
  Mapping.ViewportExtX = PageWidth;
  Mapping.ViewportExtY = static_cast<int>(int64_t{PageWidth} * M.PrinterPpiX / M.PrinterPpiY);
  for (int* Edge : {&M.Right, &M.Left, &M.Top, &M.Bottom})
    *Edge = PrintMulDiv(*Edge, GridWidth, PageWidth);
  return true;
}

TPrintPageGroupsKs SplitPageGroups(const std::vector<int>& Widths, int Left, int Right,
                                   int LineWidth) {
  TPrintPageGroupsKs Groups;
  int X = Left + LineWidth;
  for (size_t I = 0; I < Widths.size(); ++I) {
    const int Clipped = std::min(Widths[I], Right - Left);
    Groups.PageColWidths.push_back(Clipped);
    X += Clipped;
    if (X > Right && I > 0) {
      Groups.PageBreaks.push_back(static_cast<int>(I) - 1);
      X = Left + Clipped + LineWidth;
    }
  }
  if (!Widths.empty()) Groups.PageBreaks.push_back(static_cast<int>(Widths.size()) - 1);
  return Groups;
}

TPrintRowHeightKs DefaultPrintRowHeight(int RowHeight, int RowLines, int TextHeightWg,
                                        int CharHeightWithLeading, double ScaleY, int PadY,
                                        bool AutoStretch) {
  TPrintRowHeightKs R;
  if (RowHeight == 0 && RowLines == 0)
    R.Height = TextHeightWg + 2 * PadY;
  else
    R.Height = RowLines * CharHeightWithLeading + RoundHalfEven(RowHeight * ScaleY);
  R.MultiLine = R.Height > CharHeightWithLeading + 2 * PadY || AutoStretch;
  return R;
}
