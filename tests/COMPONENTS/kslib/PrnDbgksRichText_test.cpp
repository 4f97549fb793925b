// The rich-text reader and the page layout of rich text, with a measurer
// that gives every character 10 units (20 in bold) at 12 points.
#include "COMPONENTS/kslib/PrnDbgksRichText.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class TFixedMeasurer : public TRichMeasurerKs {
 public:
  TExtent Measure(const TRichFormatKs& F, const AnsiString& Text) override {
    const int Scale = F.HalfPoints / 12;  // 2 at 12 points
    return {static_cast<int>(Text.size()) * 5 * Scale * (F.Bold ? 2 : 1), 8 * Scale / 2,
            2 * Scale / 2};
  }
};

// The header the control writes, then Body.
AnsiString Rtf(const AnsiString& Body) {
  return "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fnil\\fcharset204 Arial;}"
         "{\\f1\\fswiss Courier New;}}{\\colortbl ;\\red255\\green0\\blue0;}"
         "{\\*\\generator Riched20 5.0;}\\viewkind4\\uc1\\pard\\f0\\fs20 " +
         Body + "}";
}

TEST(RichTextReaderTest, ReadsParagraphsAndFormats) {
  const TRichDocumentKs D = ReadRichText(
      Rtf("plain \\b bold\\b0  \\i\\ul it\\i0\\ulnone\\par"
          "\\pard\\qc\\li720\\ri360\\fi-180\\sb120\\sa60\\f1\\fs28\\cf1\\strike red\\strike0\\par"
          "\\pard\\qr \\'e0\\u1078?\\tab x\\line y\\{\\}\\\\"));
  ASSERT_EQ(D.Paragraphs.size(), 3u);
  const TRichParagraphKs& P0 = D.Paragraphs[0];
  ASSERT_EQ(P0.Runs.size(), 4u);
  EXPECT_EQ(P0.Runs[0].Text, "plain ");
  EXPECT_EQ(P0.Runs[0].Format.Face, "Arial");
  EXPECT_EQ(P0.Runs[0].Format.HalfPoints, 20);
  EXPECT_EQ(P0.Runs[1].Text, "bold");
  EXPECT_TRUE(P0.Runs[1].Format.Bold);
  EXPECT_FALSE(P0.Runs[2].Format.Bold);
  EXPECT_TRUE(P0.Runs[3].Format.Italic && P0.Runs[3].Format.Underline);
  EXPECT_EQ(P0.Alignment, raLeft);

  const TRichParagraphKs& P1 = D.Paragraphs[1];
  EXPECT_EQ(P1.Alignment, raCenter);
  EXPECT_EQ(P1.LeftIndent, 720);
  EXPECT_EQ(P1.RightIndent, 360);
  EXPECT_EQ(P1.FirstIndent, -180);
  EXPECT_EQ(P1.SpaceBefore, 120);
  EXPECT_EQ(P1.SpaceAfter, 60);
  ASSERT_EQ(P1.Runs.size(), 1u);
  EXPECT_EQ(P1.Runs[0].Format.Face, "Courier New");
  EXPECT_EQ(P1.Runs[0].Format.HalfPoints, 28);
  EXPECT_EQ(P1.Runs[0].Format.Color, 0x0000FFu);
  EXPECT_TRUE(P1.Runs[0].Format.StrikeOut);

  const TRichParagraphKs& P2 = D.Paragraphs[2];
  EXPECT_EQ(P2.Alignment, raRight);
  ASSERT_EQ(P2.Runs.size(), 1u);
  EXPECT_EQ(P2.Runs[0].Text, "аж\tx\vy{}\\");  // the \u fallback '?' is passed over
  EXPECT_EQ(D.Length(), 14 + 4 + 10);  // each with its paragraph mark
}

TEST(RichTextLayoutTest, WrapsWordsAndAlignsLines) {
  // 10 units a character: "aaa bbb ccc" is 110 wide.
  const TRichDocumentKs D = ReadRichText(Rtf("\\fs24 aaa bbb ccc\\par\\pard\\qr\\fs24 dd\\par"
                                             "\\pard\\qc\\fs24 ee"));
  TFixedMeasurer M;
  const TRichRangeKs R = FormatRichRange(D, 0, 75, 1000, 1440, M);
  EXPECT_EQ(R.NextChar, D.Length());
  std::vector<std::pair<AnsiString, int>> Placed;
  for (const TRichPieceKs& P : R.Pieces) Placed.push_back({P.Text, P.X});
  const std::vector<std::pair<AnsiString, int>> Expected = {
      {"aaa bbb ", 0}, {"ccc", 0}, {"dd", 55}, {"ee", 27}};
  EXPECT_EQ(Placed, Expected);
  EXPECT_EQ(R.Height, 4 * 10);
  EXPECT_EQ(R.Pieces[1].Baseline, 18);
}

// Lines of a justified paragraph end at the right edge, their spaces
// stretched; its last line and a line ended by a break stay left.
TEST(RichTextLayoutTest, JustifiedLinesFillTheWidth) {
  const TRichDocumentKs D =
      ReadRichText(Rtf("\\qj\\fs24 aa bb cc dddd ee ff\\line f g\\par\\pard\\qj\\fs24 h i"));
  TFixedMeasurer M;
  const TRichRangeKs R = FormatRichRange(D, 0, 95, 1000, 1440, M);
  std::vector<std::pair<AnsiString, int>> Placed;
  for (const TRichPieceKs& P : R.Pieces) Placed.push_back({P.Text, P.X});
  const std::vector<std::pair<AnsiString, int>> Expected = {
      {"aa ", 0}, {"bb ", 37}, {"cc ", 75}, {"dddd ", 0}, {"ee ", 75},
      {"ff", 0},  {"f g", 0},  {"h i", 0}};
  EXPECT_EQ(Placed, Expected);
}

// A bulleted paragraph prints the bullet the control writes beside its
// numbering, in the bullet's font, then a tab.
TEST(RichTextReaderTest, BulletsReadAsTheTextWrittenForThem) {
  const TRichDocumentKs D = ReadRichText(
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}\\pard{\\pntext\\f1 \\'b7\\tab}"
      "{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}\\li360\\fi360 \\f0 one\\par}");
  ASSERT_EQ(D.Paragraphs.size(), 1u);
  const auto& Runs = D.Paragraphs[0].Runs;
  ASSERT_EQ(Runs.size(), 2u);
  EXPECT_EQ(Runs[0].Format.Face, "Symbol");
  EXPECT_EQ(Runs[0].Text, "\xB7\t");
  EXPECT_EQ(Runs[1].Text, "one");
}

// Line spacing and table rows as the control writes them: a paragraph end
// inside a row breaks the cell's line, a cell's text follows its edge
// without a space; rows in a passed-over group leave the row alone.
TEST(RichTextReaderTest, ReadsLineSpacingAndTableRows) {
  const TRichDocumentKs D = ReadRichText(
      Rtf("\\pard\\sl-240\\slmult1 a\\par"
          "\\trowd\\trgaph108\\trleft-108\\cellx1000\\cellx3000a1\\par\r\na2\\cell b1\\cell "
          "{\\*\\nesttableprops\\trowd\\cellx500\\nestrow}\\row"
          "\\pard\\sl300\\slmult0 c\\par"));
  ASSERT_EQ(D.Paragraphs.size(), 3u);
  EXPECT_EQ(D.Paragraphs[0].LineSpacing, -240);
  EXPECT_TRUE(D.Paragraphs[0].LineMultiple);
  EXPECT_TRUE(D.Paragraphs[0].CellEdges.empty());
  const TRichParagraphKs& Row = D.Paragraphs[1];
  EXPECT_EQ(Row.CellEdges, (std::vector<int>{1000, 3000}));
  EXPECT_EQ(Row.RowLeft, -108);
  EXPECT_EQ(Row.CellGap, 108);
  ASSERT_EQ(Row.Runs.size(), 1u);
  EXPECT_EQ(Row.Runs[0].Text, "a1\va2\tb1\t");
  EXPECT_EQ(D.Paragraphs[2].LineSpacing, 300);
  EXPECT_FALSE(D.Paragraphs[2].LineMultiple);
  EXPECT_TRUE(D.Paragraphs[2].CellEdges.empty());
  EXPECT_EQ(D.Length(), 2 + 10 + 2);
}

// Tab stops of a paragraph hold; past the last one, stops lie every half
// inch from the margin.
TEST(RichTextLayoutTest, TabsStopAtTheParagraphsStops) {
  const TRichDocumentKs D =
      ReadRichText(Rtf("\\li20\\tx70\\tx200\\fs24 a\\tab b\\tab c\\tab d\\par"));
  TFixedMeasurer M;
  const TRichRangeKs R = FormatRichRange(D, 0, 1000, 1000, 1440, M);
  std::vector<std::pair<AnsiString, int>> Placed;
  for (const TRichPieceKs& P : R.Pieces) Placed.push_back({P.Text, P.X});
  const std::vector<std::pair<AnsiString, int>> Expected = {
      {"a", 20}, {"b", 70}, {"c", 200}, {"d", 720}};
  EXPECT_EQ(Placed, Expected);
}

struct TPlaced {
  AnsiString Text;
  int X, Baseline;
  friend bool operator==(const TPlaced&, const TPlaced&) = default;
  friend std::ostream& operator<<(std::ostream& S, const TPlaced& P) {
    return S << "{" << P.Text << ", " << P.X << ", " << P.Baseline << "}";
  }
};

std::vector<TPlaced> Placed(const TRichRangeKs& R) {
  std::vector<TPlaced> Result;
  for (const TRichPieceKs& P : R.Pieces) Result.push_back({P.Text, P.X, P.Baseline});
  return Result;
}

// Cells 0..90, 110..240 and 260..390 wide, each wrapping over two lines in
// its own font (lines 10, 15 and 20 high): the row is as tall as the last
// cell and the paragraph after it starts below.
const AnsiString TableText =
    "\\fs24 before\\par\\trowd\\trgaph10\\trleft-10\\cellx100\\cellx250\\cellx400"
    "\\fs24 aaa bbb ccc\\cell\\fs36 yyy yyy yyy\\cell\\fs48 zz zz zz\\cell\\row\\pard\\fs24 after";

TEST(RichTextLayoutTest, TableCellsWrapWithinTheirEdges) {
  const TRichDocumentKs D = ReadRichText(Rtf(TableText));
  TFixedMeasurer M;
  const TRichRangeKs R = FormatRichRange(D, 0, 1000, 1000, 1440, M);
  const std::vector<TPlaced> Expected = {
      {"before", 0, 8}, {"aaa bbb ", 0, 18}, {"ccc", 0, 28},  {"yyy yyy ", 110, 22},
      {"yyy", 110, 37}, {"zz zz ", 260, 26}, {"zz", 260, 46}, {"after", 0, 58}};
  EXPECT_EQ(Placed(R), Expected);
  EXPECT_EQ(R.Height, 60);
  EXPECT_EQ(R.NextChar, D.Length());
}

// Pages 25 high. The first page takes only the first cell's first line:
// the second cell's first line fits, but ends below that one, and the next
// page must start at the first cell's second line, which does not fit.
// Each cell goes on from the next page's top.
TEST(RichTextLayoutTest, ARowGoesOnInTheNextRangeBetweenLines) {
  const TRichDocumentKs D = ReadRichText(Rtf(TableText));
  const int RowStart = 7, RowEnd = RowStart + D.Paragraphs[1].Length();
  TFixedMeasurer M;
  std::vector<std::vector<TPlaced>> Pages;
  std::vector<std::pair<int, int>> Ends;  // next character, height
  for (int First = 0; First < D.Length() && Pages.size() < 6;) {
    const TRichRangeKs R = FormatRichRange(D, First, 1000, 25, 1440, M);
    Pages.push_back(Placed(R));
    Ends.push_back({R.NextChar, R.Height});
    First = R.NextChar;
  }
  const std::vector<std::vector<TPlaced>> Expected = {
      {{"before", 0, 8}, {"aaa bbb ", 0, 18}},
      {{"ccc", 0, 8}, {"yyy yyy ", 110, 12}, {"zz zz ", 260, 16}},
      {{"yyy", 110, 12}, {"zz", 260, 16}},
      {{"after", 0, 8}}};
  EXPECT_EQ(Pages, Expected);
  EXPECT_EQ(Ends, (std::vector<std::pair<int, int>>{
                      {RowStart + 8, 20}, {RowStart + 20, 20}, {RowEnd, 20}, {D.Length(), 10}}));

  // Below the first line of the first cell nothing can be cut.
  const TRichRangeKs Low = FormatRichRange(D, RowStart, 1000, 9, 1440, M);
  EXPECT_EQ(Low.NextChar, RowStart);
  EXPECT_TRUE(Low.Pieces.empty());
}

// Whatever the page height, each cell's lines come once and in order, and
// no page is filled past its height.
TEST(RichTextLayoutTest, RowsPagedAtAnyHeightKeepEveryLine) {
  const TRichDocumentKs D = ReadRichText(Rtf(TableText));
  TFixedMeasurer M;
  auto ByColumn = [](std::map<int, std::vector<AnsiString>>& Columns, const TRichRangeKs& R) {
    for (const TRichPieceKs& P : R.Pieces) Columns[P.X].push_back(P.Text);
  };
  std::map<int, std::vector<AnsiString>> Whole;
  ByColumn(Whole, FormatRichRange(D, 0, 1000, 1000, 1440, M));
  for (int Height = 20; Height <= 60; ++Height) {
    SCOPED_TRACE(Height);
    std::map<int, std::vector<AnsiString>> Paged;
    for (int First = 0, Pages = 0; First < D.Length(); ++Pages) {
      ASSERT_LT(Pages, 10);
      const TRichRangeKs R = FormatRichRange(D, First, 1000, Height, 1440, M);
      ASSERT_GT(R.NextChar, First);
      EXPECT_LE(R.Height, Height);
      for (const TRichPieceKs& P : R.Pieces)
        EXPECT_LE(P.Baseline + M.Measure(*P.Format, P.Text).Descent, R.Height) << P.Text;
      ByColumn(Paged, R);
      First = R.NextChar;
    }
    EXPECT_EQ(Paged, Whole);
  }
}

// Two lines of 12 points (10 units, 8 above the baseline) at 144 dpi, where
// 10 twips are one unit; any room added lies above the text.
TEST(RichTextLayoutTest, LineSpacingSetsTheLinesHeight) {
  struct TCase {
    AnsiString Spacing;
    int Height, Baseline;
  };
  const TCase Cases[] = {
      {"", 10, 8},
      {"\\sl-240\\slmult1", 10, 8},  // single, as the control writes it
      {"\\sl360\\slmult1", 15, 13},
      {"\\sl480\\slmult1", 20, 18},
      {"\\sl150", 15, 13},  // at least
      {"\\sl50", 10, 8},
      {"\\sl-150", 15, 13},  // exactly
      {"\\sl-50", 5, 3},
  };
  TFixedMeasurer M;
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Spacing);
    const TRichDocumentKs D = ReadRichText(Rtf(C.Spacing + "\\fs24 a\\line b"));
    const TRichRangeKs R = FormatRichRange(D, 0, 1000, 1000, 144, M);
    ASSERT_EQ(R.Pieces.size(), 2u);
    EXPECT_EQ(R.Pieces[0].Baseline, C.Baseline);
    EXPECT_EQ(R.Pieces[1].Baseline, C.Height + C.Baseline);
    EXPECT_EQ(R.Height, 2 * C.Height);
  }
}

// Lines 100 wide, pages of 25 units take two lines each; every character shows once, in order.
TEST(RichTextLayoutTest, RangesContinueWhereThePageEnded) {
  const TRichDocumentKs D = ReadRichText(Rtf("\\fs24 one two three four five\\par six\\line seven"));
  TFixedMeasurer M;
  AnsiString Text;
  int First = 0, Pages = 0;
  while (First < D.Length()) {
    const TRichRangeKs R = FormatRichRange(D, First, 100, 25, 1440, M);
    ASSERT_GT(R.NextChar, First);
    EXPECT_LE(R.Height, 25);
    for (const TRichPieceKs& P : R.Pieces) Text += P.Text + "|";
    First = R.NextChar;
    ++Pages;
  }
  EXPECT_EQ(Text, "one two |three four |five|six|seven|");
  EXPECT_EQ(Pages, 3);
}

TEST(RichTextLayoutTest, ALineTallerThanThePagePlacesNothing) {
  const TRichDocumentKs D = ReadRichText(Rtf("\\fs96 big"));
  TFixedMeasurer M;
  const TRichRangeKs R = FormatRichRange(D, 0, 1000, 30, 1440, M);
  EXPECT_EQ(R.NextChar, 0);
  EXPECT_TRUE(R.Pieces.empty());
}

TEST(RichTextLayoutTest, AWordLongerThanTheLineBreaksAtTheEdge) {
  const TRichDocumentKs D = ReadRichText(Rtf("\\fs24 abcdefghij"));
  TFixedMeasurer M;
  const TRichRangeKs R = FormatRichRange(D, 0, 35, 1000, 1440, M);
  std::vector<AnsiString> Lines;
  for (const TRichPieceKs& P : R.Pieces) Lines.push_back(P.Text);
  EXPECT_EQ(Lines, (std::vector<AnsiString>{"abc", "def", "ghi", "j"}));
}

}  // namespace
