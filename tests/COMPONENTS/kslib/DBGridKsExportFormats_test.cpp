// The export formats byte for byte: text and CSV rows, quoting and the
// separator; the RTF table with its colour and font tables, spans and
// Cyrillic; the binary format with every tag.
#include "COMPONENTS/kslib/DBGridKsExportFormats.h"

#include <gtest/gtest.h>

#include "rtl/AnsiText.h"
#include "tests/COMPONENTS/kslib/ExportRows.h"

namespace {

template <typename TWriter>
AnsiString Export(const std::vector<TExportRow>& Titles, const std::vector<TExportRow>& Records,
                  const std::vector<TExportRow>& Footers) {
  TStringStream stream;
  TWriter writer(stream);
  const TExportRow& columns = !Titles.empty() ? Titles.front() : Records.front();
  writer.WritePrefix(columns);
  for (const TExportRow& row : Titles) writer.WriteTitle(row);
  for (const TExportRow& row : Records) writer.WriteRecord(row);
  for (const TExportRow& row : Footers) writer.WriteFooter(row);
  writer.WriteSuffix();
  return stream.DataString();
}

TEST(GridExportText, CellsByTabRowsByCrLfNoFinalLineBreak) {
  EXPECT_EQ(Export<TDBGridKsExportAsText>({TextRow({"A", "B"})},
                                          {TextRow({"1", "2"}), TextRow({"3", "4"})}, {}),
            "A\tB\r\n1\t2\r\n3\t4");
}

TEST(GridExportText, TextsAsTheyAreFootersLastAndAnEmptyRowIsAnEmptyLine) {
  EXPECT_EQ(Export<TDBGridKsExportAsText>({}, {TextRow({"a\"b", "c\r\nd"}), TextRow({"", ""})},
                                          {TextRow({"", "7"})}),
            "a\"b\tc\r\nd\r\n\t\r\n\t7");
}

// A format that sets footers apart overrides only the footer cell slot; the
// rows around the cells stay the text format's.
class TBracketedFooters : public TDBGridKsExportAsText {
 public:
  using TDBGridKsExportAsText::TDBGridKsExportAsText;
  void WriteFooterCell(const TExportCell& Cell) override {
    TExportCell bracketed = Cell;
    bracketed.Text = "[" + Cell.Text + "]";
    TDBGridKsExportAsText::WriteFooterCell(bracketed);
  }
};

TEST(GridExportText, RecordCellsAndFooterCellsComeThroughTheirOwnSlots) {
  EXPECT_EQ(
      Export<TBracketedFooters>({TextRow({"A", "B"})}, {TextRow({"1", "2"})}, {TextRow({"", "3"})}),
      "A\tB\r\n1\t2\r\n[]\t[3]");
}

TEST(GridExportCSV, QuotedCellsSemicolonsAndDoubledQuotes) {
  EXPECT_EQ(Export<TDBGridKsExportAsCSV>({TextRow({"Name", "Say \"hi\""})},
                                         {TextRow({"", "a;b"}), TextRow({"\"", "x\r\ny"})},
                                         {TextRow({"", "2"})}),
            "\"Name\";\"Say \"\"hi\"\"\"\r\n"
            "\"\";\"a;b\"\r\n"
            "\"\"\"\";\"x\r\ny\"\r\n"
            "\"\";\"2\"");
}

TEST(GridExportCSV, SeparatorIsTakenWhenTheWriterIsCreated) {
  TStringStream stream;
  CsvSeparator = ',';
  TDBGridKsExportAsCSV writer(stream);
  CsvSeparator = ';';
  writer.WriteRecord(TextRow({"1", "2"}));
  EXPECT_EQ(stream.DataString(), "\"1\",\"2\"");
}

const TExportRgb ButtonFace{212, 208, 200};

TEST(GridExportRTF, TablesRowsCellsAndCyrillicByteForByte) {
  TExportCell title;
  title.Font.Name = "Arial";
  title.Font.Bold = true;
  title.Background = ButtonFace;
  title.Alignment = taCenter;
  TExportRow titles = {title, title};
  titles[0].Text = WideToAnsi(u"Имя");
  titles[1].Text = "B";
  titles[1].WidthPixels = 100;
  titles[1].Borders.Right = false;

  TExportRow record = titles;
  record[0].Text = "a{b}\\c";
  record[0].Font = {"Arial", 10, false, true, false, true, {255, 0, 0}};
  record[0].Background = {255, 255, 255};
  record[0].Alignment = taLeftJustify;
  record[1].Text = "";
  record[1].Font = {"Courier New", 8, false, false, false, false, {0, 0, 0}};
  record[1].Background = {0, 128, 0};
  record[1].Alignment = taRightJustify;
  record[1].Borders = {};

  TStringStream stream;
  TDBGridKsExportAsRTF writer(stream, ButtonFace, 96, false);
  writer.WritePrefix(titles);
  writer.WriteTitle(titles);
  writer.WriteRecord(record);
  writer.WriteSuffix();

  const AnsiString borders =
      "\\clbrdrl\\brdrs\\brdrcf0\r\n\\clbrdrt\\brdrs\\brdrcf0\r\n\\clbrdrb\\brdrs\\brdrcf0\r\n";
  const AnsiString right = "\\clbrdrr\\brdrs\\brdrcf0\r\n";
  EXPECT_EQ(stream.DataString(),
            "{\\rtf0\\ansi\\ansicpg1251\\uc1\r\n"
            "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;"
            "\\red212\\green208\\blue200;\\red0\\green128\\blue0;\\red255\\green0\\blue0;}\r\n"
            "{\\fonttbl\\f0\\fnil\\fcharset204 Arial;\\f1\\fnil\\fcharset204 Courier New;}\r\n"
            "\\trowd\\trgaph40\r\n" +
                borders + right + "\\clshdng10000\\clcfpat2\\cellx960\r\n" + borders +
                "\\clshdng10000\\clcfpat2\\cellx2460\r\n"
                "{\\trrh0\r\n"
                "\\pard\\intbl{\\qc\\sb24\\sa24\\fs16\\b\\f0\\cf0\\cb2 "
                "\\u1048\\'c8\\u1084\\'ec\\u1103\\'ff\\cell}\r\n"
                "\\pard\\intbl{\\qc\\sb24\\sa24\\fs16\\b\\f0\\cf0\\cb2 B\\cell}\r\n"
                "\\pard\\intbl\\row}\r\n"
                "\\trowd\\trgaph40\r\n" +
                borders + right + "\\clshdng10000\\clcfpat1\\cellx960\r\n" + borders + right +
                "\\clshdng10000\\clcfpat3\\cellx2460\r\n"
                "{\\trrh0\r\n"
                "\\pard\\intbl{\\ql\\sb24\\sa24\\fs20\\i\\ul\\f0\\cf4\\cb1 a\\{b\\}\\\\c\\cell}\r\n"
                "\\pard\\intbl{\\qr\\sb24\\sa24\\fs16\\f1\\cf0\\cb3 \\cell}\r\n"
                "\\pard\\intbl\\row}\r\n"
                "}");
}

TEST(GridExportRTF, NoRowsStillNamesTheThreeFirstColoursAndFlatNarrowsTheSpacing) {
  {
    TStringStream stream;
    TDBGridKsExportAsRTF writer(stream, ButtonFace, 96, false);
    writer.WriteSuffix();
    EXPECT_EQ(stream.DataString(),
              "{\\rtf0\\ansi\\ansicpg1251\\uc1\r\n"
              "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;"
              "\\red212\\green208\\blue200;}\r\n"
              "{\\fonttbl}\r\n"
              "}");
  }
  TStringStream stream;
  TDBGridKsExportAsRTF writer(stream, ButtonFace, 120, true);
  TExportRow row = TextRow({"x", "y"});
  row[0].WidthPixels = 1;   // 12 twips
  row[1].WidthPixels = 10;  // 120 twips
  writer.WriteRecord(row);
  writer.WriteSuffix();
  const AnsiString rtf = stream.DataString();
  EXPECT_NE(rtf.find("\\cellx12\r\n"), AnsiString::npos) << rtf;
  EXPECT_NE(rtf.find("\\cellx132\r\n"), AnsiString::npos) << rtf;
  EXPECT_NE(rtf.find("{\\ql\\sb12\\sa12\\fs16\\f0\\cf0\\cb1 x\\cell}"), AnsiString::npos) << rtf;
}

// The body is kept in blocks: megabytes of it come out whole and in order,
// each row as a table of one row alone would have it.
TEST(GridExportRTF, ALongBodyComesOutWholeAndInOrder) {
  const auto exportRows = [](int Count) {
    TStringStream stream;
    TDBGridKsExportAsRTF writer(stream, ButtonFace, 96, false);
    for (int i = 0; i < Count; ++i) writer.WriteRecord(TextRow({"row " + std::to_string(i)}));
    writer.WriteSuffix();
    return stream.DataString();
  };
  const AnsiString one = exportRows(1);
  const size_t body = one.find("\\trowd"), text = one.find(" row 0\\cell}");
  ASSERT_NE(text, AnsiString::npos) << one;
  const AnsiString before = one.substr(body, text + 1 - body);
  const AnsiString after = one.substr(text + 6, one.size() - 1 - (text + 6));
  AnsiString expected = one.substr(0, body);
  const int rows = 30000;
  for (int i = 0; i < rows; ++i) expected += before + "row " + std::to_string(i) + after;
  expected += "}";
  const AnsiString all = exportRows(rows);
  ASSERT_GT(all.size(), 4u << 20);
  EXPECT_EQ(all.size(), expected.size());
  EXPECT_TRUE(all == expected);
}

AnsiString ExportVCLDBIF(const TExportRow& Columns,
                         const std::vector<std::vector<TExportValue>>& Records) {
  TStringStream stream;
  TDBGridKsExportAsVCLDBIF writer(stream);
  writer.WritePrefix(Columns);
  writer.WriteTitle(Columns);
  for (const auto& values : Records) {
    TExportRow row = Columns;
    for (size_t i = 0; i < values.size(); ++i) row[i].Value = values[i];
    writer.WriteRecord(row);
  }
  writer.WriteFooter(Columns);
  writer.WriteSuffix();
  return stream.DataString();
}

TEST(GridExportVCLDBIF, HeaderAndEveryTagLittleEndianFieldByField) {
  TExportRow columns = TextRow({"a", "b", "c"});
  columns[1].Visible = false;
  const AnsiString header =
      Bytes({'V', 'C', 'L', 'D', 'B', 'I', 'F', 1, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0});

  EXPECT_EQ(ExportVCLDBIF(columns, {}), header + Bytes({0}));

  const AnsiString ivan = WideToAnsi(u"Иван") + Bytes({0}) + "x";
  EXPECT_EQ(
      ExportVCLDBIF(columns, {{Value(TExportValueKind::Null), IntegerValue(-2), FloatValue(1.5)},
                              {Value(TExportValueKind::String, ivan),
                               Value(TExportValueKind::Bytes, Bytes({0, 1, 2})),
                               Value(TExportValueKind::NoField)},
                              {IntegerValue(0x12345678), FloatValue(45000.25),
                               Value(TExportValueKind::String, "-9223372036854775807")}}),
      header + Bytes({2, 3, 0xFE, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}) +
          Bytes({5, 6, 0, 0, 0, 0xC8, 0xE2, 0xE0, 0xED, 0, 'x', 6, 3, 0, 0, 0, 0, 1, 2, 1}) +
          Bytes({3, 0x78, 0x56, 0x34, 0x12, 4, 0, 0, 0, 0, 0x08, 0xF9, 0xE5, 0x40}) +
          Bytes({5, 20, 0, 0, 0}) + "-9223372036854775807" + Bytes({0}));
}

}  // namespace
