// The export formats byte for byte: text and CSV rows, quoting and the
// separator.
#include "COMPONENTS/kslib/DBGridKsExportFormats.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(Export<TGridExportAsText>({TextRow({"A", "B"})},
                                       {TextRow({"1", "2"}), TextRow({"3", "4"})}, {}),
            "A\tB\r\n1\t2\r\n3\t4");
}

TEST(GridExportText, TextsAsTheyAreFootersLastAndAnEmptyRowIsAnEmptyLine) {
  EXPECT_EQ(Export<TGridExportAsText>({}, {TextRow({"a\"b", "c\r\nd"}), TextRow({"", ""})},
                                       {TextRow({"", "7"})}),
            "a\"b\tc\r\nd\r\n\t\r\n\t7");
}

TEST(GridExportCSV, QuotedCellsSemicolonsAndDoubledQuotes) {
  EXPECT_EQ(Export<TGridExportAsCSV>({TextRow({"Name", "Say \"hi\""})},
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
  TGridExportAsCSV writer(stream);
  CsvSeparator = ';';
  writer.WriteRecord(TextRow({"1", "2"}));
  EXPECT_EQ(stream.DataString(), "\"1\",\"2\"");
}

}  // namespace
