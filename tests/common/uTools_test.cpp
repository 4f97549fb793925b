#include "common/uTools.h"

#include "common/qorStrings.h"
#include "rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <cctype>
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
