// Path helpers, file dates in DOS packing, folders, the process's own
// paths, the format settings of the build, and the OS shim.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

#include "rtl/Streams.h"
#include "rtl/SysUtils.h"

namespace {

// Paths written with '/' and turned into the build's delimiter.
AnsiString P(AnsiString s) {
  for (char& c : s)
    if (c == '/') c = PathDelim;
  return s;
}

TEST(Paths, Table) {
  struct {
    const char* name;
    const char* path;
    const char* dir;
    const char* file;
    const char* ext;
  } cases[] = {
      {"/a/b/c.txt", "/a/b/", "/a/b", "c.txt", ".txt"},
      {"/c.txt", "/", "/", "c.txt", ".txt"},
      {"c.tar.gz", "", "", "c.tar.gz", ".gz"},
      {"/a.d/file", "/a.d/", "/a.d", "file", ""},
      {"/a/b/", "/a/b/", "/a/b", "", ""},
      {"Справка.рус", "", "", "Справка.рус", ".рус"},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExtractFilePath(P(c.name)), P(c.path));
    EXPECT_EQ(ExtractFileDir(P(c.name)), P(c.dir));
    EXPECT_EQ(ExtractFileName(P(c.name)), c.file);
    EXPECT_EQ(ExtractFileExt(P(c.name)), c.ext);
  }
  EXPECT_EQ(ChangeFileExt(P("/a.d/file"), ".bak"), P("/a.d/file.bak"));
  EXPECT_EQ(ChangeFileExt("x.txt", ""), "x");
  EXPECT_EQ(ChangeFileExt("x.txt", ".csv"), "x.csv");
  EXPECT_EQ(IncludeTrailingPathDelimiter(P("/a")), P("/a/"));
  EXPECT_EQ(IncludeTrailingPathDelimiter(P("/a/")), P("/a/"));
  EXPECT_EQ(ExcludeTrailingPathDelimiter(P("/a/")), P("/a"));
  EXPECT_EQ(ExcludeTrailingPathDelimiter(P("/a")), P("/a"));
#ifdef _WIN32
  EXPECT_EQ(ExtractFileDir("C:\\x.txt"), "C:\\");
  EXPECT_EQ(ExtractFileName("C:x.txt"), "x.txt");
  EXPECT_EQ(ExtractFileName("C:\\a/b.txt"), "b.txt");
#endif
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = GetTempDir() + "ks_rtl_files_" + IntToStr(rd()) + PathDelim;
    ASSERT_TRUE(ForceDirectories(dir_));
  }
  void TearDown() override { std::filesystem::remove_all(dir_.c_str()); }
  AnsiString Make(const AnsiString& name) {
    AnsiString full = dir_ + name;
    TFileStream(full, fmCreate).WriteBuffer("x", 1);
    return full;
  }
  AnsiString dir_;
};

TEST_F(FilesTest, DosDatesOfFiles) {
  AnsiString name = Make("дата.txt");
  const int32_t age = DateTimeToFileDate(EncodeDate(2020, 5, 6) + EncodeTime(10, 20, 30, 0));
  EXPECT_EQ(FileSetDate(name, age), 0);
  EXPECT_EQ(FileAge(name), age);
  {
    TFileStream f(name, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(FileGetDate(f.Handle()), age);
  }
  EXPECT_EQ(FileAge(dir_ + "нет.txt"), -1);
  EXPECT_NE(FileSetDate(dir_ + "нет.txt", age), 0);
  EXPECT_EQ(FileSetDate(name, 0), -1);  // not a date
  EXPECT_NEAR(FileDateToDateTime(FileAge(Make("new.txt"))), Now(), 1.0 / 24 / 60);
}

TEST_F(FilesTest, ExistenceFoldersRenameDelete) {
  AnsiString nested = dir_ + P("a/б/c");
  EXPECT_TRUE(ForceDirectories(nested + PathDelim));
  EXPECT_TRUE(DirectoryExists(nested));
  EXPECT_FALSE(FileExists(nested));
  EXPECT_THROW(ForceDirectories(""), EInOutError);
  AnsiString one = Make("one.txt"), two = Make("two.txt");
  EXPECT_TRUE(FileExists(one));
  EXPECT_FALSE(DirectoryExists(one));
  EXPECT_FALSE(RenameFile(one, two));  // an existing target stays
  EXPECT_TRUE(RenameFile(one, dir_ + "three.txt"));
  EXPECT_FALSE(FileExists(one));
  EXPECT_TRUE(DeleteFile(two));
  EXPECT_FALSE(DeleteFile(two));
}

TEST(Process, OwnPathsAndEnvironment) {
  AnsiString exe = ExeFileName();
  EXPECT_NE(ExtractFileName(exe).find("rtl_files_test"), AnsiString::npos) << exe;
  EXPECT_TRUE(FileExists(exe));
  AnsiString temp = GetTempDir();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), PathDelim);
  EXPECT_TRUE(DirectoryExists(temp));
  EXPECT_FALSE(GetEnvironmentVariable("PATH").empty());
  EXPECT_EQ(GetEnvironmentVariable("KS_SURELY_UNSET_VARIABLE"), "");
}

TEST(FormatSettings, RussianInBothBuilds) {
  // Natively the defaults; under Wine with the Russian locale, read from it.
  EXPECT_EQ(FormatSettings.DecimalSeparator, ',');
  EXPECT_EQ(FormatSettings.DateSeparator, '.');
  EXPECT_EQ(FormatSettings.TimeSeparator, ':');
  EXPECT_EQ(FormatSettings.ThousandSeparator, '\xA0');
  EXPECT_EQ(FormatDateTime(FormatSettings.ShortDateFormat, EncodeDate(2024, 3, 5)), "05.03.2024");
  EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 5)), "05.03.2024");
  EXPECT_EQ(FloatToStr(1.5), "1,5");
  EXPECT_EQ(StrToDate("05.03.2024"), EncodeDate(2024, 3, 5));
}

TEST(OsShim, Modules) {
#ifdef _WIN32
  const char* loaded = "kernel32.dll";
  const char* symbol = "GetTickCount";
#else
  const char* loaded = "libc.so.6";
  const char* symbol = "strlen";
#endif
  TModuleHandle h = GetLoadedModule(loaded);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(FindExport(h, symbol), nullptr);
  EXPECT_EQ(FindExport(h, "NoSuchExportHere"), nullptr);
  EXPECT_EQ(GetLoadedModule("ks_no_such_module.dll"), nullptr);
  EXPECT_EQ(LoadModule("ks_no_such_module.dll"), nullptr);
  EXPECT_NE(LastOSErrorCode(), 0);
  EXPECT_FALSE(LastOSErrorText().empty());
  TModuleHandle again = LoadModule(loaded);
  EXPECT_EQ(again, h);
  FreeModule(again);
}

TEST(OsShim, CriticalSectionIsReentrantAndExcludesOthers) {
  TCriticalSection cs;
  TCriticalSectionLock outer(cs);
  {
    TCriticalSectionLock inner(cs);  // the same thread enters again
  }
  bool otherGotIn = true;
  std::thread([&] {
    otherGotIn = cs.TryEnter();
    if (otherGotIn) cs.Leave();
  }).join();
  EXPECT_FALSE(otherGotIn);
}

TEST(OsShim, LocalTimeIsSane) {
  TLocalTime t = LocalTimeNow();
  EXPECT_GE(t.Year, 2020);
  EXPECT_TRUE(t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31);
  EXPECT_TRUE(t.Millisecond >= 0 && t.Millisecond < 1000);
}

}  // namespace
