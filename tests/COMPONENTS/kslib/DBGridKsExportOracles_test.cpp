// What other programs read back from our exports: python's csv module with
// ";" and cp1251 reads the rows equal to the cell texts; unrtf and pandoc
// read every RTF table cell back as its Unicode text, row by row, the
// levels of multi-level titles included.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "COMPONENTS/kslib/DBGridKsExportFormats.h"
#include "COMPONENTS/kslib/DBGridKsExportTitles.h"
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
  TDBGridKsExportAsCSV writer(stream);
  writer.WriteTitle(rows[0]);
  for (size_t i = 1; i < rows.size(); ++i) writer.WriteRecord(rows[i]);
  const auto path = SaveExport(stream.DataString(), "export.csv");

  const TToolRun run = RunTool("python3 -c " + Quote(CsvReader) + " " + Quote(path.string()));
  ASSERT_EQ(run.Code, 0) << run.Output;
  EXPECT_EQ(run.Output, CodeUnits(rows));
}

// Rows of the HTML tables that unrtf or pandoc make of an RTF file, from
// standard input, with each cell's whitespace runs made single spaces.
const char* const HtmlTableReader =
    "import html.parser,sys\n"
    "class Tables(html.parser.HTMLParser):\n"
    "  def __init__(self):\n"
    "    super().__init__(); self.rows = []; self.cell = None\n"
    "  def handle_starttag(self, tag, attrs):\n"
    "    if tag == \"tr\": self.rows.append([])\n"
    "    elif tag in (\"td\", \"th\"): self.cell = \"\"\n"
    "    elif tag == \"br\" and self.cell is not None: self.cell += \"\\n\"\n"
    "  def handle_endtag(self, tag):\n"
    "    if tag in (\"td\", \"th\") and self.cell is not None:\n"
    "      self.rows[-1].append(\" \".join(self.cell.split())); self.cell = None\n"
    "  def handle_data(self, data):\n"
    "    if self.cell is not None: self.cell += data\n"
    "tables = Tables(); tables.feed(sys.stdin.buffer.read().decode(\"utf-8\"))\n"
    "for row in tables.rows:\n"
    "  print(\"|\".join(\" \".join(\"%04x\" % ord(c) for c in cell) for cell in row))\n";

TEST(GridExportOracles, UnrtfAndPandocReadEveryTableCellBack) {
  // Two title levels: the upper title spans the first two columns, so its
  // second cell is empty and the border between them is left out; "Sum"
  // spans both levels.
  THeadTreeNode root;
  std::vector<THeadTreeNode*> leaves;
  for (const char16_t* caption : {u"Сотрудник|Фамилия", u"Сотрудник|Name", u"Sum"})
    leaves.push_back(root.AddChild(&root, WideToAnsi(caption), 64, 20));
  GroupTitleCaptions(&root, leaves);
  const std::vector<TExportRow> titles =
      TitleRows(TitleLevels(leaves), [](THeadTreeNode* Node, size_t, bool) {
        TExportCell cell;
        cell.Text = Node->Text;
        return cell;
      });
  ASSERT_EQ(titles.size(), 2u);
  const std::vector<TExportRow> records = {
      TextRow({WideToAnsi(u"Иванов-Ёжиков"), "{x} \\ y", "12,50"}),
      TextRow({WideToAnsi(u"«№»"), "", WideToAnsi(u"€ ъ Я")}),
      TextRow({"first\r\nsecond\nthird", "a\tb", "x"}),
  };
  const TExportRow footer = TextRow({"", "", "12,50"});

  TStringStream stream;
  TDBGridKsExportAsRTF writer(stream, {212, 208, 200}, 96, false);
  for (const TExportRow& row : titles) writer.WriteTitle(row);
  for (const TExportRow& row : records) writer.WriteRecord(row);
  writer.WriteFooter(footer);
  writer.WriteSuffix();
  const auto path = SaveExport(stream.DataString(), "export.rtf");

  std::vector<TExportRow> expected = {TextRow({WideToAnsi(u"Сотрудник"), "", "Sum"}),
                                      TextRow({WideToAnsi(u"Фамилия"), "Name", ""})};
  expected.insert(expected.end(), records.begin(), records.end() - 1);
  // Line breaks and tabs come back as white space between the words.
  expected.push_back(TextRow({"first second third", "a b", "x"}));
  expected.push_back(footer);
  for (const char* reader : {"unrtf --html ", "pandoc -f rtf -t html "}) {
    const TToolRun run =
        RunTool(reader + Quote(path.string()) + " | python3 -c " + Quote(HtmlTableReader));
    ASSERT_EQ(run.Code, 0) << reader << run.Output;
    EXPECT_EQ(run.Output, CodeUnits(expected)) << reader;
  }
}

}  // namespace
