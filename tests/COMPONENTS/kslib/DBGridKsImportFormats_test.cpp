// The import readers: text rows and cells by look-ahead, the zero byte and
// the CR without LF; the binary format read back from the writer with every
// tag, and hostile blocks refused before anything is allocated.
#include "COMPONENTS/kslib/DBGridKsImportFormats.h"

#include <gtest/gtest.h>

#include <functional>

#include "rtl/AnsiText.h"
#include "tests/COMPONENTS/kslib/ExportRows.h"

namespace {

using TextRows = std::vector<std::vector<AnsiString>>;

TextRows ReadText(TStream& Source) {
  TDBGridKsImportAsText reader(Source);
  reader.ReadPrefix();
  TextRows rows;
  while (!reader.EndOfData()) rows.push_back(reader.ReadRecord());
  return rows;
}

TextRows ReadText(const AnsiString& Data) {
  TStringStream stream(Data);
  return ReadText(stream);
}

TEST(GridImportText, RowsAndCells) {
  const struct {
    AnsiString Data;
    TextRows Rows;
  } cases[] = {
      {"", {}},
      {"A\tB\r\n1\t2", {{"A", "B"}, {"1", "2"}}},
      {"a\r\n", {{"a"}}},
      {"\t\t", {{"", "", ""}}},
      {"x\r\n\r\ny\t", {{"x"}, {""}, {"y", ""}}},
      {"a\"b\t;\n", {{"a\"b", ";\n"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadText(c.Data), c.Rows) << c.Data;
}

TEST(GridImportText, ReadsBackWhatTheTextExportWrote) {
  const AnsiString ivan = WideToAnsi(u"Иванов И.И.");
  TStringStream stream;
  TDBGridKsExportAsText writer(stream);
  writer.WriteTitle(TextRow({"Name", ""}));
  writer.WriteRecord(TextRow({ivan, "12,5"}));
  writer.WriteFooter(TextRow({"", "7"}));
  stream.SetPosition(0);
  EXPECT_EQ(ReadText(stream), (TextRows{{"Name", ""}, {ivan, "12,5"}, {"", "7"}}));
}

// A zero byte would drop the rest of a file without a word.
TEST(GridImportText, CrWithoutLfAndZeroBytesAreTheFormatErrorAfterTheRowsBeforeIt) {
  for (const AnsiString& data :
       {AnsiString("ok\r\nbad\rrow"), AnsiString("ok\r\nbad\r"), AnsiString("ok\r\nbad\r\0", 9),
        AnsiString("ok\r\nb\0ad\r\nmore", 15), AnsiString("ok\r\n\0", 5)}) {
    TStringStream stream(data);
    TDBGridKsImportAsText reader(stream);
    reader.ReadPrefix();
    EXPECT_EQ(reader.ReadRecord(), std::vector<AnsiString>{"ok"});
    try {
      reader.ReadRecord();
      ADD_FAILURE() << data;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), WideToAnsi(u"TDBGridKsImportAsText.CheckState: Неверный формат текста"));
    }
  }
}

// Counts the reads the import asks of its stream.
class TCountingStream : public TStringStream {
 public:
  using TStringStream::TStringStream;
  int32_t Read(void* Buffer, int32_t Count) override {
    ++Reads;
    return TStringStream::Read(Buffer, Count);
  }
  int Reads = 0;
};

// A file is read in blocks, not a byte per read (a system call each): a
// row's CR LF may be split between two blocks, wherever they end.
TEST(GridImportText, ReadsInBlocksWithRowsAcrossTheirEnds) {
  for (size_t length : {4095, 8191, 16383, 32767, 65535, 131071}) {
    const AnsiString first(length, 'a');
    TCountingStream stream(first + "\r\nb\tc\r\n" + first + "\tz");
    EXPECT_EQ(ReadText(stream), (TextRows{{first}, {"b", "c"}, {first, "z"}})) << length;
    EXPECT_LE(stream.Reads, static_cast<int>(length / 2048 + 2)) << length;
  }
}

void ExpectValue(const TExportValue& Actual, const TExportValue& Expected) {
  EXPECT_EQ(Actual.Kind, Expected.Kind);
  EXPECT_EQ(Actual.Integer, Expected.Integer);
  EXPECT_EQ(Actual.Float, Expected.Float);
  EXPECT_EQ(Actual.Bytes, Expected.Bytes);
}

struct TBinaryRead {
  std::vector<TGridImportColumn> Columns;
  bool NamesPresent = false;
  std::vector<std::vector<TExportValue>> Rows;
};

TBinaryRead ReadBinary(const AnsiString& Data) {
  TStringStream stream(Data);
  TDBGridKsImportAsVCLDBIF reader(stream);
  reader.ReadPrefix();
  TBinaryRead read{reader.Columns(), reader.NamesPresent(), {}};
  while (!reader.EndOfData()) read.Rows.push_back(reader.ReadRecord());
  return read;
}

const AnsiString Header3 = Bytes({'V', 'C', 'L', 'D', 'B', 'I', 'F', 1, 3, 0, 0, 0});

TEST(GridImportVCLDBIF, ReadsBackEveryTagTheWriterWrote) {
  TExportRow columns = TextRow({"a", "b", "c"});
  columns[1].Visible = false;
  const std::vector<std::vector<TExportValue>> records = {
      {Value(TExportValueKind::Null), IntegerValue(-2), FloatValue(1.5)},
      {Value(TExportValueKind::String, WideToAnsi(u"Иван") + Bytes({0}) + "x"),
       Value(TExportValueKind::Bytes, Bytes({0, 1, 2})), Value(TExportValueKind::NoField)},
      {IntegerValue(0x12345678), FloatValue(45000.25),
       Value(TExportValueKind::String, "-9223372036854775807")},
      {Value(TExportValueKind::String), Value(TExportValueKind::Bytes), FloatValue(-0.0)}};
  TStringStream stream;
  TDBGridKsExportAsVCLDBIF writer(stream);
  writer.WritePrefix(columns);
  for (const auto& values : records) {
    TExportRow row = columns;
    for (size_t i = 0; i < values.size(); ++i) row[i].Value = values[i];
    writer.WriteRecord(row);
  }
  writer.WriteSuffix();

  const TBinaryRead read = ReadBinary(stream.DataString() + "bytes after the end");
  ASSERT_EQ(read.Columns.size(), 3u);
  EXPECT_TRUE(read.Columns[0].Visible);
  EXPECT_FALSE(read.Columns[1].Visible);
  EXPECT_FALSE(read.NamesPresent);
  ASSERT_EQ(read.Rows.size(), records.size());
  for (size_t r = 0; r < records.size(); ++r)
    for (size_t c = 0; c < 3; ++c) ExpectValue(read.Rows[r][c], records[r][c]);
}

// Values across the ends of the blocks the reader takes from its stream; it
// leaves the stream right after the end tag, where other data may follow.
TEST(GridImportVCLDBIF, ReadsInBlocksAndStopsAfterTheEndTag) {
  TExportRow row = TextRow({"a", "b", "c"});
  TStringStream written;
  TDBGridKsExportAsVCLDBIF writer(written);
  writer.WritePrefix(row);
  std::vector<std::vector<TExportValue>> records;
  for (int r = 0; r < 3000; ++r) {
    records.push_back({Value(TExportValueKind::String, AnsiString(r % 97, char('a' + r % 26))),
                       IntegerValue(r), FloatValue(r / 7.0)});
    for (size_t c = 0; c < 3; ++c) row[c].Value = records.back()[c];
    writer.WriteRecord(row);
  }
  writer.WriteSuffix();
  const AnsiString data = written.DataString();

  TCountingStream stream(data + "after");
  {
    TDBGridKsImportAsVCLDBIF reader(stream);
    reader.ReadPrefix();
    for (const auto& values : records) {
      ASSERT_FALSE(reader.EndOfData());
      const std::vector<TExportValue>& read = reader.ReadRecord();
      for (size_t c = 0; c < 3; ++c) ExpectValue(read[c], values[c]);
    }
    EXPECT_TRUE(reader.EndOfData());
  }
  EXPECT_LE(stream.Reads, static_cast<int>(data.size() / 2048 + 2));
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(data.size()));
}

TEST(GridImportVCLDBIF, NamesAndUnassignedValues) {
  const TBinaryRead read = ReadBinary(Header3 + Bytes({1, 0, 0, 'i', 'd', 0, 1, 0}) +
                                      Bytes({1, 3, 7, 0, 0, 0, 2, 0, 'x'}));
  EXPECT_EQ(read.Columns[1].Name, "id");
  EXPECT_FALSE(read.Columns[1].Visible);
  EXPECT_TRUE(read.NamesPresent);
  ASSERT_EQ(read.Rows.size(), 1u);
  ExpectValue(read.Rows[0][0], Value(TExportValueKind::NoField));
  ExpectValue(read.Rows[0][1], IntegerValue(7));
  ExpectValue(read.Rows[0][2], Value(TExportValueKind::Null));
}

void ExpectFormatError(const std::function<void()>& Read, const AnsiString& Data) {
  try {
    Read();
    ADD_FAILURE() << testing::PrintToString(Data);
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), WideToAnsi(u"TDBGridKsImportAsVCLDBIF.ReadPrefix: Неверный формат VCLDBIF"))
        << testing::PrintToString(Data);
  }
}

// The rows before a broken one are handed out whole; the broken row is the
// format error and nothing of it comes out.
TEST(GridImportVCLDBIF, ABrokenRowIsTheFormatErrorAfterTheWholeRowsBeforeIt) {
  const AnsiString columns = Header3 + Bytes({1, 0, 1, 0, 1, 0});
  const AnsiString whole = Bytes({2, 3, 7, 0, 0, 0, 2});
  const AnsiString broken[] = {
      Bytes({2, 0}),           // the end within a row
      Bytes({2, 2, 0, 2}),     // the end before the last value
      Bytes({9, 0}),           // an unknown tag, then the end
      Bytes({2, 7, 2}),        // an unknown tag within the row
      Bytes({0xFF}),           // an unknown tag where a row begins
  };
  for (const AnsiString& row : broken) {
    const AnsiString data = columns + whole + row + Bytes({0});
    TStringStream stream(data);
    TDBGridKsImportAsVCLDBIF reader(stream);
    reader.ReadPrefix();
    ASSERT_FALSE(reader.EndOfData());
    EXPECT_EQ(reader.ReadRecord()[1].Integer, 7);
    EXPECT_FALSE(reader.EndOfData()) << testing::PrintToString(data);
    ExpectFormatError([&] { reader.ReadRecord(); }, data);
  }
  // Cut at every length: whole rows before the cut, then the error; only a
  // cut right after the end tag reads to the end.
  TStringStream written;
  TDBGridKsExportAsVCLDBIF writer(written);
  TExportRow row = TextRow({"a", "b"});
  writer.WritePrefix(row);
  row[0].Value = Value(TExportValueKind::String, "memo\r\n\tline");
  row[1].Value = FloatValue(3e9);
  writer.WriteRecord(row);
  writer.WriteRecord(row);
  writer.WriteSuffix();
  const AnsiString full = written.DataString();
  for (size_t length = 0; length < full.size(); ++length) {
    const AnsiString data = full.substr(0, length);
    ExpectFormatError([&] { ReadBinary(data); }, AnsiString("cut at ") + IntToStr(int(length)));
  }
  EXPECT_EQ(ReadBinary(full).Rows.size(), 2u);
}

TEST(GridImportVCLDBIF, NoColumnsIsNoRowsWhateverFollows) {
  EXPECT_TRUE(ReadBinary(Bytes({'V', 'C', 'L', 'D', 'B', 'I', 'F', 7, 0, 0, 0, 0, 3, 1, 0, 0, 0}))
                  .Rows.empty());
}

// Blocks another program could leave under the format's name.
TEST(GridImportVCLDBIF, HostileBlocksAreTheFormatError) {
  const AnsiString columns = Header3 + Bytes({1, 0, 1, 0, 1, 0});
  const AnsiString cases[] = {
      "",
      "VCLDBIF\x01\x03",
      Bytes({'V', 'C', 'L', 'D', 'B', 'X', 'F', 1, 0, 0, 0, 0, 0}),
      // Counts and lengths announcing far more than the block holds.
      Bytes({'V', 'C', 'L', 'D', 'B', 'I', 'F', 1, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0}),
      Bytes({'V', 'C', 'L', 'D', 'B', 'I', 'F', 1, 3, 0, 0, 0, 1, 0, 1, 0}),
      columns + Bytes({5, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}),
      columns + Bytes({6, 0, 0, 0, 0x80}),
      columns + Bytes({5, 3, 0, 0, 0, 'a', 'b'}),
      // Truncated values, a name without its zero, a row without the end.
      columns + Bytes({3, 1, 2}),
      columns + Bytes({4, 1, 2, 3, 4, 5, 6, 7}),
      columns + Bytes({2, 2, 2}),
      Bytes({'V', 'C', 'L', 'D', 'B', 'I', 'F', 1, 1, 0, 0, 0, 1, 'a', 'b'}),
  };
  for (const AnsiString& data : cases) {
    try {
      ReadBinary(data);
      ADD_FAILURE() << testing::PrintToString(data);
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(),
                WideToAnsi(u"TDBGridKsImportAsVCLDBIF.ReadPrefix: Неверный формат VCLDBIF"));
    }
  }
}

}  // namespace
