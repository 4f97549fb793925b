// What a grid print run measures and draws inside the grid area: the
// column titles, the title text above them, data cells and footer cells
// with the totals the run keeps itself, and the one text routine every
// printed text goes through.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/PrnDbgksLayout.h"
#include "COMPONENTS/kslib/PrnDbgksPager.h"
#include "COMPONENTS/kslib/PrnDbgksTitles.h"
#include "COMPONENTS/kslib/PrnDbgksTotals.h"

// Bit order is part of the interface (the set is stored as a number).
enum TPrintDBGridKsOption {
  pghFitGridToPageWidth,
  pghColored,
  pghRowAutoStretch,
  pghFitingByColWidths,
  pghOptimalColWidths,
  pghDontAskGetCellParams
};
using TPrintDBGridKsOptions = TSet<TPrintDBGridKsOption>;

// One printed text: drawn, or only measured, in Rect less the margins.
struct TPrintTextKs {
  RECT Rect{};
  AnsiString Text;
  bool Fill = false;  // the rectangle takes the brush first
  bool RightToLeftReading = false;
  bool MeasureOnly = false;
  bool WordWrap = false, EndEllipsis = false;
  TTextLayout Layout = tlTop;
  TAlignment Alignment = taLeftJustify;
  int DX = 0, DY = 0;               // horizontal and vertical margins
  int LeftMarg = 0, RightMarg = 0;  // DrawTextEx's text margins
};
// The text's height with its margins and the font's leading when measuring;
// 0 when drawing.
int PrintText(TCanvas* Canvas, const TPrintTextKs& Text);

RECT ToRect(const TPrintRectKs& R);

// Target takes Source, with FaceName in place of its face when set.
void AssignPrintFont(TFont* Target, TFont* Source, const AnsiString& FaceName);

// The grid's columns a run prints: those of a rectangle or column
// selection, else every visible column.
std::vector<TColumnKs*> PrintedColumns(TCustomDBGridKs* Grid);

// Titles, cells and footers of one run on its canvas. The run sets the
// public fields before the paging loop starts.
class TPrintCellsKs : public TPrintBandPainterKs {
 public:
  TPrintCellsKs(TCustomDBGridKs* Grid, TColCellParamsKs* CellParams);

  TCanvas* Canvas = nullptr;
  TPrintMetricsKs Metrics;
  TPrintDBGridKsOptions Options;
  AnsiString PrintFontName;
  std::vector<TColumnKs*> Columns;
  std::vector<int> PageColWidths;  // clipped to the page
  TStrings* TitleText = nullptr;
  bool Counting = false;
  bool MultiLineRows = false;
  std::function<void()> OnNewPage;
  std::function<bool()> OnAborted;

  // TitlesHeight and TitleTextHeight for the columns and widths set.
  void MeasureTitles();
  int TitlesHeight() const { return FTitlesHeight; }
  int TitleTextHeight() const { return FTitleTextHeight; }
  void ClearTotals();
  // Each column as wide as its widest title, cell or footer text over the
  // rows, on the current canvas; the rows' totals are kept for the footers.
  std::vector<int> OptimalWidths(TPrintRowSequenceKs& Rows);
  const TPrintTotalKs& Total(int FooterRow, int Column) const {
    return FFooterTotals.at(FooterRow).at(Column);
  }

  int MeasureRow(const TPrintRowKs& Row) override;
  void AddToTotals(const TPrintRowKs& Row) override;
  bool Aborted() override { return OnAborted && OnAborted(); }
  void NewPage() override;
  void DrawTitles(int FirstColumn, int LastColumn, int RowsTop) override;
  void DrawCell(const TPrintRowKs& Row, int Column, const TPrintRectKs& Cell,
                bool FirstOfBand) override;
  void DrawGridLines(const std::vector<TPrintLineKs>& Lines) override;

 private:
  int DataCell(int Column, const RECT& Cell, bool FirstOfBand, bool MeasureOnly);
  int OneLineHeight(const TPrintTextKs& Text);
  // The record's tree lines at the cell's left, one scaled slot per level.
  void DrawTreeLines(const RECT& Cell);
  int FooterCell(int FooterRow, int Column, const RECT& Cell, bool MeasureOnly);
  // T's text, a number, as "#" when it does not fit and Hashes is set.
  void FitNumber(TPrintTextKs& T, bool Hashes);
  void FillCell(const RECT& Cell);
  void DrawCheckBox(const RECT& TextRect, TCheckBoxState State);
  // Image Index of the list stretched to Size, centred in Box, clipped to
  // Cell; none for an index outside the list.
  void DrawImage(TImageList* Images, int Index, const RECT& Box, SIZE Size, const RECT& Cell,
                 TColor Background);
  AnsiString FooterText(TColumnFooterKs* Footer, int FooterRow, int Column);
  TField* FooterField(TColumnFooterKs* Footer, TColumnKs* Column);
  void DrawTitleText(int FirstColumn, int LastColumn, int Top);
  void DrawTitleTree(int FirstColumn, int LastColumn, int RowsTop);
  bool MultiTitle() const { return FGrid->UseMultiTitle() && FGrid->HeadTree(); }
  // Right-to-left grids print their columns from the right edge leftwards.
  bool RightToLeft() const { return FGrid->BiDiMode() == bdRightToLeft; }
  RECT Mirrored(RECT R) const;
  void AddBorders(const RECT& Cell);
  int TextWidth(const AnsiString& Text);
  // What a data cell of the column shows for the current record, asked of
  // the grid's and the column's handlers; the canvas font is the cell's.
  TColCellParamsKs& CellParams(TColumnKs* Column);

  TCustomDBGridKs* FGrid;
  TColCellParamsKs* FCellParams;
  int FTitlesHeight = 0, FTitleTextHeight = 0;
  std::vector<std::vector<TPrintTotalKs>> FFooterTotals;  // footer row, column
  std::map<TColumnKs*, AnsiString> FLastTexts;      // columns hiding duplicates
  struct TLineHeightKs {
    AnsiString Name;
    int Height;
    TFontStyles Style;
    uint8_t Charset;
    int Value;
  };
  HDC FLineHeightsDC = nullptr;
  std::vector<TLineHeightKs> FLineHeights;  // on FLineHeightsDC
  std::vector<TPrintLineKs> FTitleLines;
  TPrintTitleTreeKs FTitleTree;
  DWORD FLastPump = GetTickCount() - 20;  // the first cell looks at once
};
