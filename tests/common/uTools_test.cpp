#include "common/uTools.h"

#include "common/qorStrings.h"
#include "rtl/Streams.h"
#include "rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <functional>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// The log lives beside the test executable; it is removed before and after
// every test.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { Remove(); }
  void TearDown() override { Remove(); }

  void Remove() {
    std::error_code ignored;
    fs::permissions(path.c_str(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(path.c_str(), ignored);
  }

  AnsiString ReadLog() {
    AnsiString text;
    LoadFileAsString(path, text);
    return text;
  }

  // "dd.mm.yy hh:nn:ss:zzz " with the Russian separators, for today.
  static void ExpectStamp(const AnsiString& line, TDateTime before, TDateTime after) {
    ASSERT_GE(line.size(), 22u) << line;
    const AnsiString stamp = line.substr(0, 22);
    const char pattern[] = "dd.dd.dd dd:dd:dd:ddd ";
    for (size_t i = 0; i < stamp.size(); ++i) {
      if (pattern[i] == 'd')
        EXPECT_TRUE(isdigit(static_cast<unsigned char>(stamp[i]))) << stamp;
      else
        EXPECT_EQ(stamp[i], pattern[i]) << stamp;
    }
    auto day = [](TDateTime dt) {
      int y, m, d;
      DecodeDate(dt, y, m, d);
      return Format("%.2d.%.2d.%.2d", {d, m, y % 100});
    };
    const AnsiString date = stamp.substr(0, 8);
    EXPECT_TRUE(date == day(before) || date == day(after)) << stamp;
  }

  const AnsiString path = ExtractFilePath(ExeFileName()) + "error.log";
};

TEST_F(LogTest, FirstEntryCreatesTheFileAndLaterOnesAppend) {
  ASSERT_FALSE(FileExists(path));
  WriteEventLog("first", "");
  const AnsiString one = ReadLog();
  EXPECT_EQ(one.substr(22), "[EVENT] first\r\n");

  WriteEventLog("second", "src");
  const AnsiString two = ReadLog();
  EXPECT_EQ(two.substr(0, one.size()), one);
  EXPECT_EQ(two.substr(one.size() + 22), "[EVENT] [src] second\r\n");
}

TEST_F(LogTest, LineFormat) {
  const struct {
    const char* kind;
    const char* source;
    const char* text;
    const char* rest;  // after the date and time
  } cases[] = {
      {"EVENT", "", "Файл C:\\a.txt перезаписан", "[EVENT] Файл C:\\a.txt перезаписан\r\n"},
      {"ERROR", "SDatabase", "Нет связи", "[ERROR] [SDatabase] Нет связи\r\n"},
      {"ERROR", "db", "two\r\nlines\r\n", "[ERROR] [db] two\alines\a\r\n"},
      {"EVENT", "", "lf\nonly, cr\ronly, lf cr\n\rend",
       "[EVENT] lf\nonly, cr\ronly, lf cr\n\rend\r\n"},
      {"EVENT", "", "", "[EVENT] \r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Remove();
    const TDateTime before = Now();
    WriteLogLine(c.kind, c.source, c.text);
    const TDateTime after = Now();
    const AnsiString line = ReadLog();
    ExpectStamp(line, before, after);
    EXPECT_EQ(line.substr(22), c.rest);
  }
}

TEST_F(LogTest, WriteEventLogIsAnEventEntry) {
  WriteEventLog("text", "source");
  EXPECT_EQ(ReadLog().substr(22), "[EVENT] [source] text\r\n");
}

TEST_F(LogTest, UnwritableLogMakesLoggingSilent) {
  WriteEventLog("kept", "");
  const AnsiString kept = ReadLog();

#ifdef _WIN32
  // Another process holding the file without sharing.
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_NO_THROW(WriteEventLog("lost", ""));
  CloseHandle(holder);
  EXPECT_EQ(ReadLog(), kept);
#else
  // A read-only file; root ignores the mode, so the entry is written by a
  // child that gives up root first.
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(2);
    WriteEventLog("lost", "");
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadLog(), kept);
#endif

  // A folder of that name in the way.
  Remove();
  fs::create_directory(path.c_str());
  EXPECT_NO_THROW(WriteEventLog("lost", ""));
  EXPECT_TRUE(DirectoryExists(path));
}

}  // namespace

namespace {

TEST(ToolsHelpers, SplitStringKeepsEmptyPiecesAndCutsTheLastOne) {
  struct Case {
    AnsiString Text;
    std::vector<AnsiString> Parts;
  } Cases[] = {
      {"4.2.0.1", {"4", "2", "0", "1"}},
      {"", {}},
      {"a..b", {"a", "", "b"}},
      {"abc", {"abc"}},
      {".", {"", ""}},
  };
  for (const Case& C : Cases) {
    std::vector<AnsiString> Parts{"stale"};
    SplitString(C.Text, ".", Parts);
    EXPECT_EQ(Parts, C.Parts) << C.Text;
  }
  std::vector<AnsiString> Parts;
  SplitString("x." + AnsiString(10005, 'y'), ".", Parts);
  ASSERT_EQ(Parts.size(), 2u);
  EXPECT_EQ(Parts[1].size(), 10000u);
}

TEST(ToolsHelpers, PathAndPaddingHelpers) {
  EXPECT_EQ(IncludeBackslash(""), "\\");
  EXPECT_EQ(IncludeBackslash("C:\\"), "C:\\");
  EXPECT_EQ(IncludeBackslash("C:\\Temp"), "C:\\Temp\\");
  EXPECT_EQ(PadLeftTo("  7702468135 ", 12, '0'), "007702468135");
  EXPECT_EQ(PadLeftTo(" 1234567890123 ", 12, '0'), "1234567890123");
}

// Zero and small positive values used to come back negated.
TEST(ToolsHelpers, RoundToDigitsKeepsTheSign) {
  struct Case {
    int Digits;
    double Value, Expected;
  } Cases[] = {
      {2, 2.345, 2.35}, {2, -2.345, -2.35}, {0, 2.4, 2.0},     {0, 2.5, 3.0},   {0, -2.5, -3.0},
      {2, 0.0, 0.0},    {2, 5e-9, 0.0},     {9, 1e-8, 1.1e-8}, {-1, 7.49, 7.0}, {3, 1.0005, 1.001},
  };
  for (const Case& C : Cases) {
    double Result = RoundToDigits(C.Digits, C.Value);
    EXPECT_NEAR(Result, C.Expected, 1e-12) << C.Digits << " " << C.Value;
    EXPECT_EQ(std::signbit(Result), std::signbit(C.Expected)) << C.Digits << " " << C.Value;
  }
}

TEST(ToolsHelpers, UnixTimeGoesThroughThePackedDate) {
  TDateTime T = UnixTimeToDateTime(999999999);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", T), "2001-09-09 01:46:38")
      << "the odd second is dropped";
  EXPECT_EQ(UnixTimeToDateTime(0), 0.0) << "1970 is outside the packed range";
}

TEST(ToolsHelpers, RaiseJoinedErrorJoinsWithLineFeedThenCarriageReturn) {
  try {
    RaiseJoinedError("Ошибочное обращение к запросной форме", "Не задан тип значения");
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Ошибочное обращение к запросной форме\n\rНе задан тип значения");
  }
}

TEST(ToolsHelpers, ReadFileToStringReadsEveryByte) {
  const AnsiString Path = ExtractFilePath(ExeFileName()) + "tools_read.bin";
  const AnsiString Bytes("a\0\xFF\r\nz", 6);
  {
    TFileStream File(Path, fmCreate);
    File.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  }
  EXPECT_EQ(ReadFileToString(Path), Bytes);
  std::filesystem::remove(Path);
  EXPECT_THROW(ReadFileToString(Path), EFOpenError);
}

}  // namespace
