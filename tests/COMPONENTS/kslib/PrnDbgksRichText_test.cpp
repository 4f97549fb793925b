// The rich-text reader and the page layout of rich text, with a measurer
// that gives every character 10 units (20 in bold) at 12 points.
#include "COMPONENTS/kslib/PrnDbgksRichText.h"

#include <gtest/gtest.h>

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

// A table row is a paragraph whose cells begin at the edges of the cells
// before them (and the row's gap); tab stops of a paragraph hold too.
TEST(RichTextLayoutTest, TableCellsAndTabsStartAtTheirStops) {
  const TRichDocumentKs D = ReadRichText(
      Rtf("\\trowd\\trgaph10\\cellx100\\cellx250\\fs24 x1\\cell y1\\cell \\row"
          "\\trowd\\trgaph10\\cellx100\\cellx250 x2\\cell y2\\cell \\row"
          "\\pard\\li20\\tx70\\tx200 a\\tab b\\tab c\\tab d\\par"));
  ASSERT_EQ(D.Paragraphs.size(), 3u);
  EXPECT_EQ(D.Paragraphs[0].TabStops, std::vector<int>{110});
  EXPECT_EQ(D.Paragraphs[0].Runs[0].Text, "x1\ty1\t");
  TFixedMeasurer M;
  const TRichRangeKs R = FormatRichRange(D, 0, 1000, 1000, 1440, M);
  std::vector<std::pair<AnsiString, int>> Placed;
  for (const TRichPieceKs& P : R.Pieces) Placed.push_back({P.Text, P.X});
  const std::vector<std::pair<AnsiString, int>> Expected = {
      {"x1", 0}, {"y1", 110}, {"x2", 0}, {"y2", 110}, {"a", 20}, {"b", 70}, {"c", 200}, {"d", 720}};
  EXPECT_EQ(Placed, Expected);
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
