// What other programs read back from our exports: python's csv module with
// ";" and cp1251 reads the rows equal to the cell texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "COMPONENTS/kslib/DBGridKsExportFormats.h"
#include "rtl/AnsiText.h"
#include "tests/COMPONENTS/kslib/ExportRows.h"
#include "tests/support/HostTools.h"

namespace {

// Each row on a line, cells split by "|", each cell as its UTF-16 code
// units in hex: how the oracle scripts print what they read. The scripts
// use no single quotes, which quote them for the shell.
std::string CodeUnits(const std::vector<TExportRow>& Rows) {
  std::string out;
  for (const TExportRow& row : Rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0) out += '|';
      const WideString wide = AnsiToWide(row[i].Text);
      for (size_t k = 0; k < wide.size(); ++k) {
        char hex[8];
        std::snprintf(hex, sizeof hex, k > 0 ? " %04x" : "%04x", static_cast<unsigned>(wide[k]));
        out += hex;
      }
    }
    out += '\n';
  }
  return out;
}

std::filesystem::path SaveExport(const AnsiString& Bytes, const char* Name) {
  const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / Name;
  std::ofstream(path, std::ios::binary) << Bytes;
  return path;
}

const char* const CsvReader =
    "import csv,sys\n"
    "with open(sys.argv[1], newline=\"\", encoding=\"cp1251\") as f:\n"
    "  for row in csv.reader(f, delimiter=\";\"):\n"
    "    print(\"|\".join(\" \".join(\"%04x\" % ord(c) for c in cell) for cell in row))\n";

TEST(GridExportOracles, PythonCsvReadsTheCellTextsBack) {
  const AnsiString ivan = WideToAnsi(u"Иванов «Ёж» №5");
  const std::vector<TExportRow> rows = {
      TextRow({"Name", "Note", "Sum"}),
      TextRow({ivan, "say \"hi\"; bye", ""}),
      TextRow({"", "two\r\nlines", "\""}),
      TextRow({"a\tb", WideToAnsi(u"ёЁ"), "12,5"}),
  };
  TStringStream stream;
  TGridExportAsCSV writer(stream);
  writer.WriteTitle(rows[0]);
  for (size_t i = 1; i < rows.size(); ++i) writer.WriteRecord(rows[i]);
  const auto path = SaveExport(stream.DataString(), "export.csv");

  const TToolRun run = RunTool("python3 -c " + Quote(CsvReader) + " " + Quote(path.string()));
  ASSERT_EQ(run.Code, 0) << run.Output;
  EXPECT_EQ(run.Output, CodeUnits(rows));
}

}  // namespace
