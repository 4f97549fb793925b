#include "COMPONENTS/kslib/PrnDbgksRichText.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <map>
#include <optional>

#include "rtl/AnsiText.h"

int TRichParagraphKs::Length() const {
  int Length = 1;
  for (const TRichRunKs& Run : Runs) Length += static_cast<int>(Run.Text.size());
  return Length;
}

int TRichDocumentKs::Length() const {
  int Length = 0;
  for (const TRichParagraphKs& P : Paragraphs) Length += P.Length();
  return Length;
}

namespace {

enum TDestination { dsText, dsFontTable, dsColorTable, dsSkip };

struct TGroupState {
  TDestination Destination = dsText;
  TRichFormatKs Format;
  int FontNumber = 0;
  int UnicodeSkip = 1;
};

class TRichReader {
 public:
  explicit TRichReader(const AnsiString& Rtf) : FRtf(Rtf) {}

  TRichDocumentKs Read() {
    FStack.push_back({});
    while (FAt < FRtf.size()) {
      const char C = FRtf[FAt++];
      if (C == '{') {
        FStack.push_back(FStack.back());
      } else if (C == '}') {
        if (FStack.size() > 1) FStack.pop_back();
      } else if (C == '\\') {
        ControlSymbol();
      } else if (C != '\r' && C != '\n') {
        Char(C);
      }
    }
    // Text after the last paragraph mark is the control's last paragraph.
    if (!FRuns.empty()) EndParagraph();
    return std::move(FDocument);
  }

 private:
  TGroupState& State() { return FStack.back(); }

  void ControlSymbol() {
    if (FAt >= FRtf.size()) return;
    const char C = FRtf[FAt];
    if (std::isalpha(static_cast<unsigned char>(C))) return ControlWord();
    ++FAt;
    switch (C) {
      case '\'': {
        const AnsiString Hex = FRtf.substr(FAt, 2);
        FAt += Hex.size();
        Char(static_cast<char>(std::strtol(Hex.c_str(), nullptr, 16)));
        break;
      }
      case '*':
        State().Destination = dsSkip;
        break;
      case '~':
        Char(' ');
        break;
      case '\r':
      case '\n':
        ParagraphMark();
        break;
      case '\\':
      case '{':
      case '}':
        Char(C);
        break;
      default:
        break;  // optional hyphens and the like
    }
  }

  void ControlWord() {
    size_t Start = FAt;
    while (FAt < FRtf.size() && std::isalpha(static_cast<unsigned char>(FRtf[FAt]))) ++FAt;
    const AnsiString Word = FRtf.substr(Start, FAt - Start);
    bool HasValue = false;
    int Value = 0;
    Start = FAt;
    if (FAt < FRtf.size() && (FRtf[FAt] == '-' || std::isdigit(static_cast<unsigned char>(FRtf[FAt])))) {
      ++FAt;
      while (FAt < FRtf.size() && std::isdigit(static_cast<unsigned char>(FRtf[FAt]))) ++FAt;
      Value = std::atoi(FRtf.substr(Start, FAt - Start).c_str());
      HasValue = true;
    }
    if (FAt < FRtf.size() && FRtf[FAt] == ' ') ++FAt;
    Apply(Word, HasValue, Value);
  }

  void Apply(const AnsiString& Word, bool HasValue, int Value) {
    TGroupState& S = State();
    TRichFormatKs& F = S.Format;
    const bool On = !HasValue || Value != 0;
    if (FSkipCount > 0 && S.Destination == dsText) {
      // A control word stands for one character of a \u fallback.
      --FSkipCount;
      return;
    }
    // A passed-over group (a nested table's rows, say) changes nothing of the text.
    if (S.Destination == dsSkip) return;
    if (Word == "fonttbl") S.Destination = dsFontTable;
    else if (Word == "colortbl") S.Destination = dsColorTable;
    else if (Word == "stylesheet" || Word == "info" || Word == "pict" || Word == "header" ||
             Word == "footer" || Word == "object" || Word == "listtable" ||
             Word == "listoverridetable")
      S.Destination = dsSkip;
    else if (S.Destination == dsFontTable && Word == "f") S.FontNumber = Value;
    else if (S.Destination == dsColorTable) ColorPart(Word, Value);
    else if (Word == "par") ParagraphMark();
    else if (Word == "pard") FParagraphFormat = TRichParagraphKs();
    else if (Word == "line") Char('\v');
    else if (Word == "tab") Char('\t');
    else if (Word == "ql") FParagraphFormat.Alignment = raLeft;
    else if (Word == "qr") FParagraphFormat.Alignment = raRight;
    else if (Word == "qc") FParagraphFormat.Alignment = raCenter;
    else if (Word == "qj") FParagraphFormat.Alignment = raJustify;
    else if (Word == "li") FParagraphFormat.LeftIndent = Value;
    else if (Word == "ri") FParagraphFormat.RightIndent = Value;
    else if (Word == "fi") FParagraphFormat.FirstIndent = Value;
    else if (Word == "sb") FParagraphFormat.SpaceBefore = Value;
    else if (Word == "sa") FParagraphFormat.SpaceAfter = Value;
    else if (Word == "sl") FParagraphFormat.LineSpacing = Value;
    else if (Word == "slmult") FParagraphFormat.LineMultiple = On;
    else if (Word == "tx") FParagraphFormat.TabStops.push_back(Value);
    else if (Word == "trowd") FRow = TRichParagraphKs(), FInRow = true;
    else if (Word == "trleft") FRow.RowLeft = Value;
    else if (Word == "trgaph") FRow.CellGap = Value;
    else if (Word == "cellx") FRow.CellEdges.push_back(Value);
    else if (Word == "cell") Char('\t');
    else if (Word == "row") RowMark();
    else if (Word == "plain") F = TRichFormatKs{FFonts[0]};
    else if (Word == "f") F.Face = FFonts[Value];
    else if (Word == "fs") F.HalfPoints = Value > 0 ? Value : 24;
    else if (Word == "b") F.Bold = On;
    else if (Word == "i") F.Italic = On;
    else if (Word == "ul") F.Underline = On;
    else if (Word == "ulnone") F.Underline = false;
    else if (Word == "strike") F.StrikeOut = On;
    else if (Word == "cf") F.Color = Value >= 0 && Value < int(FColors.size()) ? FColors[Value] : 0;
    else if (Word == "uc") S.UnicodeSkip = Value;
    else if (Word == "u") UnicodeChar(Value);
  }

  void ColorPart(const AnsiString& Word, int Value) {
    const int Shift = Word == "red" ? 0 : Word == "green" ? 8 : Word == "blue" ? 16 : -1;
    if (Shift >= 0) FColor |= uint32_t(Value & 0xFF) << Shift;
  }

  void UnicodeChar(int Value) {
    const char16_t Wide = static_cast<char16_t>(Value < 0 ? Value + 65536 : Value);
    const AnsiString Ansi = WideToAnsi(WideString(1, Wide));
    for (char C : Ansi) Char(C);
    FSkipCount = State().UnicodeSkip;
  }

  void Char(char C) {
    TGroupState& S = State();
    if (S.Destination == dsText && FSkipCount > 0) {
      --FSkipCount;
      return;
    }
    FSkipCount = 0;
    switch (S.Destination) {
      case dsFontTable:
        if (C == ';')
          FFonts[S.FontNumber] = Trim(FFontName), FFontName.clear();
        else
          FFontName += C;
        break;
      case dsColorTable:
        if (C == ';') FColors.push_back(FColor), FColor = 0;
        break;
      case dsText:
        if (FRuns.empty() || !(FRuns.back().Format == S.Format)) FRuns.push_back({S.Format, ""});
        FRuns.back().Text += C;
        break;
      case dsSkip:
        break;
    }
  }

  // Inside a row it only breaks the cell's line: the row is one paragraph.
  void ParagraphMark() {
    if (State().Destination != dsText) return;
    if (FInRow) return Char('\v');
    EndParagraph();
  }

  void RowMark() {
    if (State().Destination != dsText) return;
    FParagraphFormat.CellEdges = FRow.CellEdges;
    FParagraphFormat.RowLeft = FRow.RowLeft;
    FParagraphFormat.CellGap = FRow.CellGap;
    EndParagraph();
    FParagraphFormat.CellEdges.clear();
    FInRow = false;
  }

  void EndParagraph() {
    TRichParagraphKs Paragraph = FParagraphFormat;
    Paragraph.Runs = std::move(FRuns);
    FRuns.clear();
    Paragraph.EndFormat = State().Format;
    FDocument.Paragraphs.push_back(std::move(Paragraph));
  }

  const AnsiString& FRtf;
  size_t FAt = 0;
  std::vector<TGroupState> FStack;
  std::map<int, AnsiString> FFonts;
  AnsiString FFontName;
  std::vector<uint32_t> FColors;
  uint32_t FColor = 0;
  int FSkipCount = 0;
  TRichParagraphKs FRow;  // the cells of the table row being read
  bool FInRow = false;
  TRichParagraphKs FParagraphFormat;  // without runs
  std::vector<TRichRunKs> FRuns;
  TRichDocumentKs FDocument;
};

int Twips(int Value, int Dpi) { return static_cast<int>(int64_t{Value} * Dpi / 1440); }

// One character of a paragraph with its format.
struct TCharAt {
  const TRichFormatKs* Format;
  char C;
};

std::vector<TCharAt> CharsOf(const TRichParagraphKs& P) {
  std::vector<TCharAt> Chars;
  for (const TRichRunKs& Run : P.Runs)
    for (char C : Run.Text) Chars.push_back({&Run.Format, C});
  return Chars;
}

// Lays out the lines of a paragraph, or of a table cell's part of it,
// between BoxLeft and BoxRight (from the range's left edge).
class TParagraphLayout {
 public:
  TParagraphLayout(const TRichParagraphKs& P, std::vector<TCharAt> Chars, int BoxLeft,
                   int BoxRight, int Dpi, TRichMeasurerKs& Measurer)
      : FP(P), FBoxLeft(BoxLeft), FBoxRight(BoxRight), FDpi(Dpi), FMeasurer(Measurer),
        FChars(std::move(Chars)) {}

  int CharCount() const { return static_cast<int>(FChars.size()); }

  // The line starting at Offset: where the next one starts, its height and
  // its pieces with their X (baselines relative to the line's top).
  int Line(int Offset, int& Height, std::vector<TRichPieceKs>& Pieces) {
    const bool First = Offset == 0;
    const int Left = FBoxLeft + Twips(FP.LeftIndent + (First ? FP.FirstIndent : 0), FDpi);
    FLeft = Left;
    const int Available = std::max(1, FBoxRight - Left - Twips(FP.RightIndent, FDpi));
    // Whole words while they fit, each with the spaces after it.
    int Fit = Offset;
    for (;;) {
      int WordEnd = Fit;
      while (WordEnd < CharCount() && !IsBreak(WordEnd) && FChars[WordEnd].C != ' ') ++WordEnd;
      const int Visible = WordEnd;
      while (WordEnd < CharCount() && FChars[WordEnd].C == ' ') ++WordEnd;
      if (WordEnd == Fit || Width(Offset, Visible) > Available) break;
      Fit = WordEnd;
    }
    int End = Fit, Next = Fit;
    const bool Broken = Fit < CharCount() && IsBreak(Fit);
    if (Broken) {
      Next = Fit + 1;
    } else if (Fit == Offset && Fit < CharCount()) {
      // A word longer than the line breaks at the edge, one character at least.
      End = Offset + 1;
      while (End < CharCount() && !IsBreak(End) && Width(Offset, End + 1) <= Available) ++End;
      Next = End;
    }
    // A justified paragraph stretches the spaces of every line but its
    // last and those ended by a line break.
    const bool Justify = FP.Alignment == raJustify && !Broken && Next < CharCount();
    int Ascent = 0, Descent = 0;
    const auto Shown = Pieces.size();
    std::vector<int> Starts;
    const int X = EachPiece(Offset, End, Justify, [&](const TRichFormatKs& Format,
                                                      const AnsiString& Text, int At, int From) {
      const TRichMeasurerKs::TExtent E = FMeasurer.Measure(Format, Text);
      Pieces.push_back({Left + At, 0, &Format, Text});
      Starts.push_back(From);
      Ascent = std::max(Ascent, E.Ascent);
      Descent = std::max(Descent, E.Descent);
      return E.Width;
    });
    if (Pieces.size() == Shown) {  // an empty line: the height of the paragraph mark
      const TRichMeasurerKs::TExtent E = FMeasurer.Measure(FP.EndFormat, " ");
      Ascent = E.Ascent;
      Descent = E.Descent;
    }
    int Trailing = X;
    while (End > Offset && FChars[End - 1].C == ' ') --End;
    if (End > Offset && Pieces.size() > Shown) Trailing = Width(Offset, End);
    const int Shift = FP.Alignment == raRight    ? Available - Trailing
                      : FP.Alignment == raCenter ? (Available - Trailing) / 2
                                                 : 0;
    Height = Spaced(Ascent + Descent);
    for (size_t I = Shown; I < Pieces.size(); ++I) {
      Pieces[I].X += std::max(0, Shift);
      Pieces[I].Baseline = Height - Descent;
    }
    if (Justify) Stretch(Offset, End, std::max(0, Available - Trailing), Starts, Pieces.data() + Shown);
    return Next;
  }

 private:
  bool IsBreak(int I) const { return FChars[I].C == '\v'; }

  // A line's height under the paragraph's line spacing; any room it adds
  // lies above the text.
  int Spaced(int Natural) const {
    const int64_t Spacing = std::abs(int64_t{FP.LineSpacing});
    if (FP.LineMultiple && Spacing > 0)
      return static_cast<int>(std::min<int64_t>(Natural * Spacing / 240, INT_MAX / 4));
    if (FP.LineSpacing > 0) return std::max(Natural, Twips(FP.LineSpacing, FDpi));
    if (FP.LineSpacing < 0) return Twips(-FP.LineSpacing, FDpi);
    return Natural;
  }

  AnsiString Slice(int From, int To) const {
    AnsiString Text;
    for (int I = From; I < To; ++I) Text += FChars[I].C;
    return Text;
  }

  // Spreads Extra over the spaces between From and To after the line's
  // last tab, moving each piece (starting at Starts[i]) by its share.
  void Stretch(int From, int To, int Extra, const std::vector<int>& Starts,
               TRichPieceKs* Pieces) const {
    for (int I = From; I < To; ++I)
      if (FChars[I].C == '\t') From = I + 1;
    auto SpacesBefore = [&](int At) {
      int Count = 0;
      for (int I = From; I < std::min(At, To); ++I) Count += FChars[I].C == ' ';
      return Count;
    };
    const int Spaces = SpacesBefore(To);
    if (Spaces == 0) return;
    for (size_t I = 0; I < Starts.size(); ++I)
      Pieces[I].X += Extra * SpacesBefore(Starts[I]) / Spaces;
  }

  // Calls Piece(format, text, x, first character) for each run of one
  // format between tabs in From..To (with Words, for each word with the
  // spaces after it), which answers the piece's width; returns the end's x.
  template <class F>
  int EachPiece(int From, int To, bool Words, F Piece) {
    int X = 0;
    while (From < To) {
      if (FChars[From].C == '\t') {
        X = NextTab(X);
        ++From;
        continue;
      }
      int End = From;
      while (End < To && FChars[End].Format == FChars[From].Format && FChars[End].C != '\t') {
        ++End;
        if (Words && FChars[End - 1].C == ' ' && End < To && FChars[End].C != ' ') break;
      }
      X += Piece(*FChars[From].Format, Slice(From, End), X, From);
      From = End;
    }
    return X;
  }

  // The paragraph's next tab stop after X (from the line's left edge),
  // else the next half inch from the margin.
  int NextTab(int X) const {
    for (int Stop : FP.TabStops)
      if (Twips(Stop, FDpi) - FLeft > X) return Twips(Stop, FDpi) - FLeft;
    const int Step = std::max(1, FDpi / 2);
    return ((X + FLeft) / Step + 1) * Step - FLeft;
  }

  int Width(int From, int To) {
    return EachPiece(From, To, false,
                     [this](const TRichFormatKs& Format, const AnsiString& Text, int, int) {
                       return FMeasurer.Measure(Format, Text).Width;
                     });
  }

  const TRichParagraphKs& FP;
  int FBoxLeft, FBoxRight, FDpi;
  int FLeft = 0;  // of the line being laid out
  TRichMeasurerKs& FMeasurer;
  std::vector<TCharAt> FChars;
};

// A table row's cells, each wrapped within its edges and stacked from the
// row's top. Where a row does not fit, a range takes the lines ending at or
// above a cut and the next range starts at the first line, in character
// order, that ends below it. The cut is the lowest bottom of the lines
// before that one, so its first character alone tells the cut again; it is
// high enough that every line above it fits.
class TRowLayout {
 public:
  TRowLayout(const TRichParagraphKs& P, int Width, int Dpi, TRichMeasurerKs& Measurer) {
    const std::vector<TCharAt> Chars = CharsOf(P);
    const size_t Edges = P.CellEdges.size();
    size_t From = 0, Cell = 0;
    do {
      size_t To = From;
      while (To < Chars.size() && Chars[To].C != '\t') ++To;
      // Cells past the last edge (more cells than edges) take the rest of the width.
      const int LeftEdge = Cell == 0 ? P.RowLeft : P.CellEdges[std::min(Cell, Edges) - 1];
      const int Left = Twips(LeftEdge + P.CellGap, Dpi);
      const int Right = Cell < Edges ? Twips(P.CellEdges[Cell] - P.CellGap, Dpi) : Width;
      TParagraphLayout Layout(P, {Chars.begin() + From, Chars.begin() + To}, Left, Right, Dpi,
                              Measurer);
      int Offset = 0, Top = 0;
      do {
        TLine Line{static_cast<int>(From) + Offset, static_cast<int>(Cell), Top, Top,
                   FPieces.size(), 0};
        int Height = 0;
        Offset = Layout.Line(Offset, Height, FPieces);
        Line.Bottom = Top + Height;
        Line.PiecesEnd = FPieces.size();
        for (size_t I = Line.PiecesBegin; I < Line.PiecesEnd; ++I) FPieces[I].Baseline += Top;
        FLines.push_back(Line);
        Top = Line.Bottom;
      } while (Offset < Layout.CharCount());
      From = To + 1;
      ++Cell;
    } while (From < Chars.size());
    FCells = Cell;
    FLength = static_cast<int>(Chars.size());
  }

  // From Offset on (0, or where the last range stopped), the lines that fit
  // Room, each cell's from the part's top: their pieces and height; Offset
  // moves on, to the row's length when it is done. False when no line fits.
  bool Place(int& Offset, int Room, int& Height, std::vector<TRichPieceKs>& Pieces) const {
    size_t At = 0;
    while (At + 1 < FLines.size() && FLines[At + 1].First <= Offset) ++At;
    const int Placed = BottomBefore(At);  // lines ending above it went before
    std::vector<int> Tops(FCells, INT_MAX);
    for (const TLine& Line : FLines)
      if (Line.Bottom > Placed) Tops[Line.Cell] = std::min(Tops[Line.Cell], Line.Top);
    auto Fits = [&](const TLine& Line) { return Line.Bottom - Tops[Line.Cell] <= Room; };
    int Over = INT_MAX;  // the highest bottom of a line that does not fit
    for (const TLine& Line : FLines)
      if (Line.Bottom > Placed && !Fits(Line)) Over = std::min(Over, Line.Bottom);
    size_t Stop = 0;
    while (Stop < FLines.size() && FLines[Stop].Bottom < Over) ++Stop;
    const int Cut = Stop < FLines.size() ? BottomBefore(Stop) : INT_MAX;
    Height = 0;
    bool Any = false;
    for (const TLine& Line : FLines) {
      if (Line.Bottom <= Placed || Line.Bottom > Cut) continue;
      Any = true;
      const int Shift = Tops[Line.Cell];
      Height = std::max(Height, Line.Bottom - Shift);
      for (size_t I = Line.PiecesBegin; I < Line.PiecesEnd; ++I) {
        Pieces.push_back(FPieces[I]);
        Pieces.back().Baseline -= Shift;
      }
    }
    if (Any) Offset = Stop < FLines.size() ? FLines[Stop].First : FLength;
    return Any;
  }

 private:
  struct TLine {
    int First;  // character, from the row's start
    int Cell, Top, Bottom;
    size_t PiecesBegin, PiecesEnd;
  };

  // The lowest bottom of the lines before the line at Index.
  int BottomBefore(size_t Index) const {
    int Bottom = 0;
    for (size_t I = 0; I < Index; ++I) Bottom = std::max(Bottom, FLines[I].Bottom);
    return Bottom;
  }

  std::vector<TLine> FLines;  // in character order
  std::vector<TRichPieceKs> FPieces;
  size_t FCells = 0;
  int FLength = 0;
};

}  // namespace

TRichDocumentKs ReadRichText(const AnsiString& Rtf) { return TRichReader(Rtf).Read(); }

TRichRangeKs FormatRichRange(const TRichDocumentKs& Document, int FirstChar, int Width,
                             int Height, int Dpi, TRichMeasurerKs& Measurer) {
  TRichRangeKs Range;
  Range.NextChar = FirstChar;
  int Start = 0;
  for (const TRichParagraphKs& P : Document.Paragraphs) {
    const int Length = P.Length();
    if (FirstChar >= Start + Length) {
      Start += Length;
      continue;
    }
    const int Chars = Length - 1;
    std::optional<TParagraphLayout> Lines;
    std::optional<TRowLayout> Cells;
    if (P.CellEdges.empty())
      Lines.emplace(P, CharsOf(P), 0, Width, Dpi, Measurer);
    else
      Cells.emplace(P, Width, Dpi, Measurer);
    int Offset = std::max(0, FirstChar - Start);
    do {
      const int Before = Offset == 0 ? Twips(P.SpaceBefore, Dpi) : 0;
      int LineHeight = 0, Next = Offset;
      std::vector<TRichPieceKs> Pieces;
      if (Lines)
        Next = Lines->Line(Offset, LineHeight, Pieces);
      else if (!Cells->Place(Next, Height - Range.Height - Before, LineHeight, Pieces))
        return Range;
      const bool Last = Next >= Chars;
      const int After = Last ? Twips(P.SpaceAfter, Dpi) : 0;
      if (Range.Height + Before + LineHeight > Height) return Range;
      for (TRichPieceKs& Piece : Pieces) {
        Piece.Baseline += Range.Height + Before;
        Range.Pieces.push_back(std::move(Piece));
      }
      Range.Height = std::min(Height, Range.Height + Before + LineHeight + After);
      Offset = Next;
      Range.NextChar = Start + (Last ? Length : Next);
      // What is left of a row starts the next range.
      if (Cells && !Last) return Range;
    } while (Offset < Chars);
    Start += Length;
  }
  return Range;
}
