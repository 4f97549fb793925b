// The paging loop of a grid print run: rows gathered into bands that fit
// the page, each band printed once per horizontal page group, with the grid
// lines of a group collected for one drawing call. What the rows are and how
// cells are measured and drawn stays behind the two interfaces below, so
// the same loop serves the counting pass, the printer and the preview.
#pragma once

#include <vector>

#include "rtl/SysUtils.h"

struct TPrintRectKs {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TPrintRectKs&, const TPrintRectKs&) = default;
};
struct TPrintPointKs {
  int X = 0, Y = 0;
  friend bool operator==(const TPrintPointKs&, const TPrintPointKs&) = default;
};
using TPrintLineKs = std::vector<TPrintPointKs>;

// A position in the row sequence: a data row (its bookmark), a footer row
// (its number as text), or the end.
struct TPrintRowKs {
  AnsiString Key;
  bool Footer = false;
  bool End = false;
};

// The rows to print, in order; it keeps a current row.
class TPrintRowSequenceKs {
 public:
  virtual ~TPrintRowSequenceKs() = default;
  virtual TPrintRowKs First() = 0;
  virtual TPrintRowKs Next() = 0;
  virtual void GoTo(const TPrintRowKs& Row) = 0;
};

// Measures and draws what the loop lays out, on the current row of the sequence.
class TPrintBandPainterKs {
 public:
  virtual ~TPrintBandPainterKs() = default;
  // The tallest cell of the row over the printed columns.
  virtual int MeasureRow(const TPrintRowKs& Row) = 0;
  // A data row that made it into a band: its values join the footer totals.
  virtual void AddToTotals(const TPrintRowKs& Row) = 0;
  virtual bool Aborted() = 0;
  // Ends the page and starts the next one with its header and footer.
  virtual void NewPage() = 0;
  // Column titles of columns First..Last, ending at RowsTop.
  virtual void DrawTitles(int FirstColumn, int LastColumn, int RowsTop) = 0;
  // FirstOfBand: the row opens the band (duplicates show there).
  virtual void DrawCell(const TPrintRowKs& Row, int Column, const TPrintRectKs& Cell,
                        bool FirstOfBand) = 0;
  virtual void DrawGridLines(const std::vector<TPrintLineKs>& Lines) = 0;
};

struct TPrintAreaKs {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // where rows go on a page
  int TitlesHeight = 0;                          // the title text and column titles just above Top
  int LineWidth = 0;
  int DefaultRowHeight = 0;
  bool RightToLeft = false;  // cells mirrored between Left and Right
};

class TPrintPagerKs {
 public:
  // PageColWidths and PageBreaks as the page groups split them.
  TPrintPagerKs(const TPrintAreaKs& Area, std::vector<int> PageColWidths,
                std::vector<int> PageBreaks);
  // Prints every row of the sequence from the current Position of the
  // current page. Every band holds at least one row: a row taller than the
  // area prints clipped on a page of its own; a band that does not fit below
  // text already on the page moves to the next page. No room for rows at all
  // raises EInvalidOperation before anything is printed; an abort raises EAbort.
  void PrintRows(TPrintRowSequenceKs& Rows, TPrintBandPainterKs& Painter);
  // Below the top of the area, titles included: where the text after the
  // grid goes.
  int Position = 0;

 private:
  TPrintRowKs ComputeBand(TPrintRowSequenceKs& Rows, TPrintBandPainterKs& Painter,
                          const TPrintRowKs& Start);
  void PrintBand(TPrintRowSequenceKs& Rows, TPrintBandPainterKs& Painter, const TPrintRowKs& Start);
  TPrintRectKs Mirrored(TPrintRectKs Cell) const;

  TPrintAreaKs FArea;
  std::vector<int> FPageColWidths, FPageBreaks;
  std::vector<int> FBandRowHeights;
  bool FFirstGroup = true;
};
