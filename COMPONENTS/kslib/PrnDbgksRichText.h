// The rich texts printed around a grid: a reader of what the rich edit
// streams out, and the layout of a range of it on a page, counting
// characters as the control does (one per paragraph end). The rich edit
// cannot format ranges for printing under every system we run on, so the
// text is printed by this layout everywhere.
#pragma once

#include <cstdint>
#include <vector>

#include "rtl/SysUtils.h"

struct TRichFormatKs {
  AnsiString Face;
  int HalfPoints = 24;
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  uint32_t Color = 0;  // 0x00BBGGRR
  friend bool operator==(const TRichFormatKs&, const TRichFormatKs&) = default;
};

// Text of one format; a tab is '\t', a line break inside the paragraph '\v'.
struct TRichRunKs {
  TRichFormatKs Format;
  AnsiString Text;
};

enum TRichAlignmentKs { raLeft, raRight, raCenter, raJustify };

struct TRichParagraphKs {
  TRichAlignmentKs Alignment = raLeft;
  int LeftIndent = 0, RightIndent = 0, FirstIndent = 0;  // twips
  int SpaceBefore = 0, SpaceAfter = 0;                   // twips
  // As written: 0 the tallest character's height; in twips at least that
  // (above 0) or exactly that (below 0); with LineMultiple, in 240ths of it.
  int LineSpacing = 0;
  bool LineMultiple = false;
  std::vector<int> TabStops;  // rising, in twips from the left margin
  // A table row's: each cell's text ends with a tab; its right edge is the
  // cell's edge (twips from the left margin), kept CellGap inside the edges.
  std::vector<int> CellEdges;
  int RowLeft = 0, CellGap = 0;
  std::vector<TRichRunKs> Runs;
  TRichFormatKs EndFormat;  // of the paragraph mark: an empty line's height
  int Length() const;       // characters, the paragraph mark included
};

struct TRichDocumentKs {
  std::vector<TRichParagraphKs> Paragraphs;
  int Length() const;
};

// Paragraphs, their alignment, indents, spacing, line spacing and tab
// stops; fonts, sizes, bold, italic, underline, strike-out and colours; \'hh
// in the code page and \uN characters; a table row as a paragraph of cells,
// a paragraph end inside a cell as a line break. Unknown control words and
// destinations are passed over.
TRichDocumentKs ReadRichText(const AnsiString& Rtf);

// Sizes of text in device units on the device the range is laid out for.
class TRichMeasurerKs {
 public:
  virtual ~TRichMeasurerKs() = default;
  struct TExtent {
    int Width = 0, Ascent = 0, Descent = 0;
  };
  virtual TExtent Measure(const TRichFormatKs& Format, const AnsiString& Text) = 0;
};

// A piece of one format on a line, at X from the range's left edge and
// Baseline from its top.
struct TRichPieceKs {
  int X = 0, Baseline = 0;
  const TRichFormatKs* Format = nullptr;
  AnsiString Text;
};

struct TRichRangeKs {
  int NextChar = 0;  // the first character left for the next page; the length when all fit
  int Height = 0;    // taken from the top
  std::vector<TRichPieceKs> Pieces;
};

// The lines from FirstChar on that fit Width × Height device units at Dpi
// (indents and spacing are in twips). A table row's cells wrap within their
// edges, the row as tall as its tallest cell; a row that does not fit goes
// on in the next range between lines, every cell where it stopped. When not
// even the first line fits, nothing is placed and NextChar stays FirstChar.
TRichRangeKs FormatRichRange(const TRichDocumentKs& Document, int FirstChar, int Width,
                             int Height, int Dpi, TRichMeasurerKs& Measurer);
