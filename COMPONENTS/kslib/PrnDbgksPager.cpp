#include "COMPONENTS/kslib/PrnDbgksPager.h"

#include <algorithm>
#include <numeric>

#include "COMPONENTS/kslib/PrnDbgksLayout.h"

TPrintPagerKs::TPrintPagerKs(const TPrintAreaKs& Area, std::vector<int> PageColWidths,
                             std::vector<int> PageBreaks)
    : FArea(Area), FPageColWidths(std::move(PageColWidths)), FPageBreaks(std::move(PageBreaks)) {}

void TPrintPagerKs::PrintRows(TPrintRowSequenceKs& Rows, TPrintBandPainterKs& Painter) {
  CheckPrintableArea(FArea.Left, FArea.Top, FArea.Right, FArea.Bottom);
  if (FArea.Bottom - FArea.Top <= Position) {
    Painter.NewPage();
    Position = 0;
  }
  TPrintRowKs Start = Rows.First();
  for (;;) {
    const TPrintRowKs End = ComputeBand(Rows, Painter, Start);
    if (FBandRowHeights.empty() && !Start.End) {
      // Not even one row below the text already on this page.
      Painter.NewPage();
      Position = 0;
      FFirstGroup = true;
      continue;
    }
    PrintBand(Rows, Painter, Start);
    Position += FArea.TitlesHeight +
                std::accumulate(FBandRowHeights.begin(), FBandRowHeights.end(), 0) +
                FArea.LineWidth;
    if (End.End) return;
    Position = 0;
    Start = End;
  }
}

TPrintRowKs TPrintPagerKs::ComputeBand(TPrintRowSequenceKs& Rows, TPrintBandPainterKs& Painter,
                                       const TPrintRowKs& Start) {
  Rows.GoTo(Start);
  FBandRowHeights.clear();
  int Y = FArea.Top + Position;
  TPrintRowKs Row = Start;
  while (!Row.End) {
    int Height = std::max(Painter.MeasureRow(Row), FArea.DefaultRowHeight);
    const bool Fits = Y + Height <= FArea.Bottom;
    if (!Fits) {
      if (!FBandRowHeights.empty() || Position > 0) break;
      Height = FArea.Bottom - Y;  // alone on its page, clipped at the bottom
    }
    Y += Height;
    if (!Row.Footer) Painter.AddToTotals(Row);
    FBandRowHeights.push_back(Height);
    Row = Rows.Next();
    if (!Fits) break;
  }
  return Row;
}

void TPrintPagerKs::PrintBand(TPrintRowSequenceKs& Rows, TPrintBandPainterKs& Painter,
                              const TPrintRowKs& Start) {
  int FirstColumn = 0;
  for (int LastColumn : FPageBreaks) {
    if (Painter.Aborted()) Abort();
    if (!FFirstGroup) Painter.NewPage();
    FFirstGroup = false;
    std::vector<TPrintLineKs> GridLines;
    Rows.GoTo(Start);
    int Y = FArea.Top + Position;
    Painter.DrawTitles(FirstColumn, LastColumn, Y);
    TPrintRowKs Row = Start;
    for (size_t I = 0; I < FBandRowHeights.size(); ++I) {
      const int RowTop = Y;
      Y += FBandRowHeights[I];
      int X = FArea.Left;
      for (int Column = FirstColumn; Column <= LastColumn; ++Column) {
        const TPrintRectKs Cell = Mirrored({X, RowTop, X + FPageColWidths[Column], Y});
        Painter.DrawCell(Row, Column, Cell, I == 0);
        const bool OuterLeft = Column == (FArea.RightToLeft ? LastColumn : FirstColumn);
        TPrintLineKs Line;
        if (OuterLeft) Line.push_back({Cell.Left, Cell.Top});
        Line.insert(Line.end(),
                    {{Cell.Left, Cell.Bottom}, {Cell.Right, Cell.Bottom}, {Cell.Right, Cell.Top}});
        GridLines.push_back(std::move(Line));
        X += FPageColWidths[Column];
      }
      Row = Rows.Next();
    }
    Painter.DrawGridLines(GridLines);
    FirstColumn = LastColumn + 1;
  }
}

TPrintRectKs TPrintPagerKs::Mirrored(TPrintRectKs Cell) const {
  if (!FArea.RightToLeft) return Cell;
  const int Shift = FArea.Right + FArea.Left - (Cell.Left + Cell.Right);
  Cell.Left += Shift;
  Cell.Right += Shift;
  return Cell;
}
