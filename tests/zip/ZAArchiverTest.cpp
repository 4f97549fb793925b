#include "zip/ZAArchiver.h"

#include <gtest/gtest.h>

#include "tests/zip/ZATestSupport.h"
#include "zip/ZACrypto.h"

namespace {

constexpr uint32_t LOCAL = 0x04034B50;
constexpr uint32_t CENTRAL = 0x02014B50;
constexpr uint32_t END = 0x06054B50;

// Entry names and CRCs of an archive, as the archiver reads them back.
std::vector<std::pair<AnsiString, uint32_t>> Listing(const AnsiString& bytes) {
  TStringStream stream(bytes);
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, false);
  std::vector<std::pair<AnsiString, uint32_t>> entries;
  const TZADirArray& items = zip.DirManager()->Items;
  for (int32_t i = 0; i < items.Count(); ++i)
    entries.emplace_back(items.Items(i).FileName, items.Items(i).Header.Crc32);
  return entries;
}

uint32_t Crc(const AnsiString& text) { return ZACrc32(text.data(), int32_t(text.size())); }

const std::vector<std::pair<AnsiString, AnsiString>> THREE = {
    {"a.txt", "first member, first member, first member"},
    {"b.txt", "second member"},
    {"c.txt", AnsiString(3000, 'c')}};

TEST(ZAArchiverTest, NewArchiveWithNothingAddedIsTheBareEndRecord) {
  TMemoryStream stream;
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, true);
  zip.CloseArchive();
  AnsiString bytes = Content(&stream);
  ASSERT_EQ(bytes.size(), 22u);
  EXPECT_EQ(At32(bytes, 0), END);
  EXPECT_EQ(bytes.substr(4), AnsiString(18, '\0'));
}

TEST(ZAArchiverTest, FiveByteTextIsOneDeflatedMemberAtLevelOne) {
  const AnsiString bytes = MakeArchive({{"a.txt", "hello"}}, [](TZipArchiver& zip) {
    zip.SetInMemory(true);
    EXPECT_EQ(zip.CompressionMode(), 1);
  });
  ASSERT_EQ(At32(bytes, 0), LOCAL);
  EXPECT_EQ(At16(bytes, 4), 0x0014);  // OEM names
  EXPECT_EQ(At16(bytes, 6), 0);
  EXPECT_EQ(At16(bytes, 8), ZA_METHOD_DEFLATE);
  EXPECT_EQ(At32(bytes, 14), Crc("hello"));
  EXPECT_EQ(At32(bytes, 22), 5u);
  EXPECT_EQ(At16(bytes, 26), 5);
  EXPECT_EQ(At16(bytes, 28), 0);
  EXPECT_EQ(bytes.substr(30, 5), "a.txt");
  const uint32_t packed = At32(bytes, 18);
  const size_t central = 35 + packed;
  ASSERT_EQ(At32(bytes, central), CENTRAL);
  EXPECT_EQ(At16(bytes, central + 4), 0x0014);
  EXPECT_EQ(At32(bytes, central + 42), 0u);
  const size_t end = central + 46 + 5;
  ASSERT_EQ(At32(bytes, end), END);
  EXPECT_EQ(bytes.size(), end + 22);
  EXPECT_EQ(At16(bytes, end + 10), 1);
  EXPECT_EQ(At32(bytes, end + 12), 51u);
  EXPECT_EQ(At32(bytes, end + 16), central);
  EXPECT_EQ(bytes.find("PK\x06\x06"), AnsiString::npos);
}

TEST(ZAArchiverTest, MethodAndVersionFollowTheLevelTheSizeAndTheNames) {
  struct Case {
    TZACompressionLevel level;
    AnsiString data;
    bool oem;
    uint16_t method, version;
  } cases[] = {
      {clNone, "abc", true, ZA_METHOD_STORED, 0x0014},
      {clFastest, "", true, ZA_METHOD_STORED, 0x0014},
      {clMax, "abc", false, ZA_METHOD_DEFLATE, 0x0B14},
      {clNone, AnsiString(10, 'z'), false, ZA_METHOD_STORED, 0x0B14},
  };
  for (const Case& c : cases) {
    const AnsiString bytes = MakeArchive({{"x", c.data}}, [&](TZipArchiver& zip) {
      zip.SetCompressionLevel(c.level);
      zip.Options()->OEMFileNames = c.oem;
    });
    SCOPED_TRACE(c.data);
    EXPECT_EQ(At16(bytes, 8), c.method);
    EXPECT_EQ(At16(bytes, 4), c.version);
    const size_t central = 31 + At32(bytes, 18);
    EXPECT_EQ(At16(bytes, central + 4), c.version);
    EXPECT_EQ(At16(bytes, central + 6), c.version);
    if (c.method == ZA_METHOD_STORED) {
      EXPECT_EQ(bytes.substr(31, c.data.size()), c.data);
    }
    if (c.data.empty()) {
      EXPECT_EQ(At32(bytes, 14), 0u);
    }
  }
}

TEST(ZAArchiverTest, OnlyTheOutermostEndUpdateWrites) {
  TMemoryStream stream;
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, true);
  zip.BeginUpdate();
  zip.BeginUpdate();
  zip.AddFromString("a.txt", "hello", ZA_TEST_DATE);
  zip.EndUpdate();
  EXPECT_EQ(stream.Size(), 22);
  zip.EndUpdate();
  zip.CloseArchive();
  EXPECT_EQ(Listing(Content(&stream)).size(), 1u);
}

TEST(ZAArchiverTest, AddFromStreamTakesTheBytesFromThePositionOnAndRewindsThere) {
  TStringStream source("XXXXhello");
  source.SetPosition(4);
  TMemoryStream stream;
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, true);
  zip.AddFromStream("tail.txt", &source, ZA_TEST_DATE);
  EXPECT_EQ(source.Position(), 4);
  zip.AddFromStream("head.txt", &source, ZA_TEST_DATE, ZA_ATTR_ARCHIVE, 4, 0);
  EXPECT_EQ(source.Position(), 0);
  zip.AddFromStream("copy.txt", &source, ZA_TEST_DATE, ZA_ATTR_ARCHIVE, 2, 7, false, true);
  zip.CloseArchive();
  auto entries = Listing(Content(&stream));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].second, Crc("hello"));
  EXPECT_EQ(entries[1].second, Crc("XXXX"));
  EXPECT_EQ(entries[2].second, Crc("lo"));
}

TEST(ZAArchiverTest, ASourceThatNeedsZip64IsRefusedWhileZip64IsOff) {
  TMemoryStream stream;
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, true);
  TShortSource huge(0xFFFFFFFFll, 0);
  ExpectZAError(41, [&] { zip.AddFromStream("big", &huge, ZA_TEST_DATE); });
  EXPECT_EQ(zip.DirManager()->Items.Count(), 0);
  zip.CloseArchive();
  EXPECT_EQ(stream.Size(), 22);
}

// An output that keeps only its first bytes and those from KeepFrom on, so
// that a member of 4 GiB needs neither the memory nor the disk.
class TEndsOnlyStream : public TMadeUpStream {
 public:
  explicit TEndsOnlyStream(int64_t keepFrom) : TMadeUpStream(0), FKeepFrom(keepFrom) {}
  int32_t Read(void* buffer, int32_t count) override {
    auto* out = static_cast<uint8_t*>(buffer);
    const int32_t n = int32_t(std::max<int64_t>(0, std::min<int64_t>(count, FSize - FPosition)));
    for (int32_t i = 0; i < n; ++i) out[i] = *At(FPosition + i);
    FPosition += n;
    return n;
  }
  int32_t Write(const void* buffer, int32_t count) override {
    const auto* in = static_cast<const uint8_t*>(buffer);
    for (int32_t i = 0; i < count; ++i) *At(FPosition + i) = in[i];
    FPosition += count;
    FSize = std::max(FSize, FPosition);
    return count;
  }
  void SetSize(int64_t size) override { FSize = size; }

 private:
  uint8_t* At(int64_t position) {
    static uint8_t nowhere = 0;
    if (position < int64_t(sizeof FHead)) return &FHead[position];
    if (position < FKeepFrom) return &nowhere;
    if (size_t(position - FKeepFrom) >= FTail.size())
      FTail.resize(size_t(position - FKeepFrom) + 1);
    return &FTail[size_t(position - FKeepFrom)];
  }
  uint8_t FHead[4096] = {};
  TBytes FTail;
  int64_t FKeepFrom;
};

// Heavy (a 4 GiB member is encrypted and written), so kept out of the
// regular runs: --gtest_also_run_disabled_tests runs it.
TEST(ZAArchiverTest, DISABLED_AMemberWhoseDataOutgrowsItsSourcePast4GiBGetsZip64Records) {
  const int64_t size = 0xFFFFFFF8;
  TEndsOnlyStream stream(size - 0x10000);
  TZipArchiver zip(nullptr);
  zip.SetZip64Mode(ZA_ZIP64_AS_NEEDED);
  zip.SetCompressionLevel(clNone);
  zip.Password = "pw";
  zip.OpenArchive(&stream, true);
  zip.AddFromStream("big", new TShortSource(size, size), ZA_TEST_DATE, ZA_ATTR_ARCHIVE, -1, 0,
                    true);
  zip.CloseArchive();

  TZipArchiver check(nullptr);
  check.SetRebuild(false);
  check.OpenArchive(&stream, false);
  const TZADirItem& item = check.DirManager()->Items.Items(0);
  EXPECT_EQ(item.Header.VersionNeeded, 0x2D);
  EXPECT_EQ(item.CompressedSize(), uint64_t(size) + 12);
  EXPECT_EQ(item.UncompressedSize(), uint64_t(size));
  uint8_t local[30 + 3 + 20];
  stream.SetPosition(0);
  stream.ReadBuffer(local, sizeof local);
  EXPECT_EQ(ZAGet16(local + 4), 0x2D);
  EXPECT_EQ(ZAGet16(local + 28), 20);
  EXPECT_EQ(ZAGet64(local + 33 + 4), uint64_t(size));
  EXPECT_EQ(ZAGet64(local + 33 + 12), uint64_t(size) + 12);
}

TEST(ZAArchiverTest, Zip64AlwaysPutsTheSizesAndOffsetsInZip64Fields) {
  const AnsiString bytes = MakeArchive(
      {{"a.txt", "hello"}}, [](TZipArchiver& zip) { zip.SetZip64Mode(ZA_ZIP64_ALWAYS); });
  EXPECT_EQ(At16(bytes, 4), 45);
  EXPECT_EQ(At32(bytes, 18), 0xFFFFFFFFu);
  EXPECT_EQ(At32(bytes, 22), 0xFFFFFFFFu);
  EXPECT_EQ(At16(bytes, 28), 20);
  TStringStream stream(bytes);
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, false);
  const TZADirItem& item = zip.DirManager()->Items.Items(0);
  EXPECT_TRUE(item.Zip64);
  EXPECT_EQ(item.UncompressedSize(), 5u);
  EXPECT_EQ(item.LocalHeaderOffset(), 0u);
  EXPECT_EQ(item.Header.LocalHeaderOffset, 0xFFFFFFFFu);
}

TEST(ZAArchiverTest, AnEncryptedMemberCarriesItsTwelveByteHeader) {
  const AnsiString bytes = MakeArchive({{"a.txt", "hello"}}, [](TZipArchiver& zip) {
    zip.Password = "secret";
    zip.SetCompressionLevel(clNone);
  });
  EXPECT_EQ(At16(bytes, 6), ZA_FLAG_ENCRYPTED);
  EXPECT_EQ(At32(bytes, 18), 17u);
  EXPECT_EQ(At32(bytes, 14), Crc("hello"));
}

TEST(ZAArchiverTest, OemNamesReadBackAsTheSameAnsiNames) {
  const AnsiString name = "Папка/Подпись файла.txt";
  const AnsiString bytes = MakeArchive({{name, "x"}});
  EXPECT_EQ(bytes.substr(30, name.size()), AnsiToOem(name));
  EXPECT_EQ(Listing(bytes).at(0).first, name);
}

// An archive with an archive comment, a member comment and attributes that
// a directory rebuilt from the local headers would not have.
AnsiString Annotated(int32_t members) {
  TMemoryStream stream;
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, true);
  zip.BeginUpdate();
  for (int32_t i = 0; i < members; ++i)
    zip.AddFromString("m" + IntToStr(int64_t(i)), i == 0 ? "first" : "", ZA_TEST_DATE, 0x81A4);
  zip.DirManager()->ArchiveComment = "archive note";
  zip.DirManager()->Items.Items(0).Comment = "member note";
  zip.EndUpdate();
  zip.CloseArchive();
  return Content(&stream);
}

TEST(ZAArchiverTest, ArchivesEndedTheWayOtherToolsEndThemAreReadFromTheirDirectory) {
  const AnsiString small = Annotated(2);
  // Our own 65,535 entries come with Zip64 records; other tools leave the
  // count at 0xFFFF without them.
  const AnsiString many = Annotated(65535);
  const size_t manyEnd = many.size() - 22 - 12;
  ASSERT_EQ(At32(many, manyEnd - 20), 0x07064B50u);
  const size_t zip64At = manyEnd - 20 - 56;
  struct Case {
    const char* what;
    AnsiString bytes;
    int32_t entries;
  } cases[] = {
      {"100 trailing bytes", small + AnsiString(100, '\x5A'), 2},
      {"65,535 entries, no Zip64 records", many.substr(0, zip64At) + many.substr(manyEnd), 65535},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TStringStream stream(c.bytes);
    {
      TZipArchiver zip(nullptr);
      zip.SetRebuild(false);
      zip.OpenArchive(&stream, false);
      EXPECT_EQ(zip.DirManager()->Items.Count(), c.entries);
      EXPECT_FALSE(zip.DirManager()->IsZip64);
      zip.AddFromString("added.txt", "added", ZA_TEST_DATE);
    }
    TZipArchiver zip(nullptr);
    zip.SetRebuild(false);
    zip.OpenArchive(&stream, false);
    TZADirManager& dir = *zip.DirManager();
    ASSERT_EQ(dir.Items.Count(), c.entries + 1);
    EXPECT_EQ(dir.ArchiveComment, "archive note");
    EXPECT_EQ(dir.Items.Items(0).Comment, "member note");
    EXPECT_EQ(dir.Items.Items(0).Header.ExternalAttributes, 0x81A4u);
    EXPECT_EQ(dir.Items.Items(c.entries - 1).Header.ExternalAttributes, 0x81A4u);
    EXPECT_EQ(dir.Items.Items(0).Header.Crc32, Crc("first"));
    EXPECT_EQ(dir.Items.Items(c.entries).FileName, "added.txt");
    // The new directory ends the file.
    EXPECT_EQ(Content(&stream).substr(stream.Size() - 12), "archive note");
  }
}

class ZAArchiverFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForceDirectories(Dir / "tmp");
    Build(THREE);
  }
  void Build(const std::vector<std::pair<AnsiString, AnsiString>>& members) {
    TZipArchiver zip(nullptr);
    zip.FileName = Name;
    zip.OpenArchive(ZA_MODE_CREATE);
    zip.BeginUpdate();
    for (const auto& [n, data] : members) zip.AddFromString(n, data, ZA_TEST_DATE);
    zip.EndUpdate();
    zip.CloseArchive();
  }
  // An archiver on the archive, with its temporary files kept apart.
  std::unique_ptr<TZipArchiver> Open() {
    auto zip = std::make_unique<TZipArchiver>(nullptr);
    zip->FileName = Name;
    zip->TempDir = Dir / "tmp";
    zip->OpenArchive();
    return zip;
  }
  TScratchDir Dir;
  AnsiString Name = Dir / "a.zip";
};

TEST_F(ZAArchiverFileTest, ReplacingAMemberMovesOnlyTheMembersAfterIt) {
  const AnsiString before = FileContent(Name);
  auto zip = Open();
  const uint64_t bAt = zip->DirManager()->Items.Items(1).LocalHeaderOffset();
  const uint64_t cAt = zip->DirManager()->Items.Items(2).LocalHeaderOffset();
  bool tempSeen = false;
  zip->OnFileProgress = [&](TObject*, const AnsiString&, double, uint8_t op, TZAProgressPhase,
                            bool&) {
    EXPECT_EQ(op, ZA_OP_REPLACE);
    tempSeen = !std::filesystem::is_empty(std::filesystem::path(Dir / "tmp"));
  };
  zip->AddFromString("B.TXT", "a longer second member", ZA_TEST_DATE);
  const uint64_t newCAt = zip->DirManager()->Items.Items(2).LocalHeaderOffset();
  zip->CloseArchive();
  EXPECT_TRUE(tempSeen);
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(Dir / "tmp")));

  const AnsiString after = FileContent(Name);
  EXPECT_EQ(after.substr(0, bAt), before.substr(0, bAt));
  // The third member moved unchanged, header and data.
  const size_t cLength = 30 + 5 + At32(before, cAt + 18);
  EXPECT_EQ(after.substr(newCAt, cLength), before.substr(cAt, cLength));
  auto entries = Listing(after);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].first, "B.TXT");
  EXPECT_EQ(entries[1].second, Crc("a longer second member"));
  EXPECT_EQ(entries[2].second, Crc(THREE[2].second));
}

TEST_F(ZAArchiverFileTest, AppendingKeepsEveryByteBeforeTheOldDirectoryAndNeedsNoTempFile) {
  const AnsiString before = FileContent(Name);
  auto zip = Open();
  const int64_t directory = zip->DirManager()->DirectoryOffset;
  zip->OnFileProgress = [&](TObject*, const AnsiString& name, double, uint8_t op, TZAProgressPhase,
                            bool&) {
    EXPECT_EQ(name, "sub\\d.txt");
    EXPECT_EQ(op, ZA_OP_NEW);
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(Dir / "tmp")));
  };
  zip->AddFromString("sub\\d.txt", "fourth", ZA_TEST_DATE);
  zip->CloseArchive();
  const AnsiString after = FileContent(Name);
  EXPECT_EQ(after.substr(0, directory), before.substr(0, directory));
  auto entries = Listing(after);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[3].first, "sub/d.txt");
}

TEST_F(ZAArchiverFileTest, AFailedOrCancelledUpdateLeavesTheArchiveByteIdentical) {
  const AnsiString before = FileContent(Name);
  struct Case {
    const char* what;
    std::function<void(TZipArchiver&)> update;
    int32_t error;  // 0: cancelled (EAbort)
  } cases[] = {
      {"source ends early",
       [](TZipArchiver& zip) {
         zip.AddFromStream("b.txt", new TShortSource(100000, 5000), ZA_TEST_DATE, ZA_ATTR_ARCHIVE,
                           -1, 0, true);
       },
       34},
      {"cancel in file progress",
       [](TZipArchiver& zip) {
         zip.OnFileProgress = [](TObject*, const AnsiString&, double, uint8_t, TZAProgressPhase,
                                 bool& cancel) { cancel = true; };
         zip.AddFromString("a.txt", "new first", ZA_TEST_DATE);
       },
       0},
      {"cancel before the pass",
       [](TZipArchiver& zip) {
         zip.OnOverallProgress = [](TObject*, double, uint8_t, TZAProgressPhase phase,
                                    bool& cancel) { cancel = phase == ppStart; };
         zip.AddFromString("e.txt", "new", ZA_TEST_DATE);
       },
       0},
      {"cancel in the middle of a bracket",
       [](TZipArchiver& zip) {
         int calls = 0;
         zip.OnFileProgress = [&calls](TObject*, const AnsiString&, double, uint8_t,
                                       TZAProgressPhase, bool& cancel) { cancel = ++calls == 2; };
         zip.BeginUpdate();
         zip.AddFromString("b.txt", "replaced", ZA_TEST_DATE);
         zip.AddFromString("z.txt", "added", ZA_TEST_DATE);
         zip.EndUpdate();
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto zip = Open();
    try {
      c.update(*zip);
      ADD_FAILURE() << "not stopped";
    } catch (const EZAException& e) {
      EXPECT_EQ(e.NativeError, c.error) << e.Message();
    } catch (const EAbort&) {
      EXPECT_EQ(c.error, 0);
    }
    EXPECT_EQ(zip->DirManager()->Items.Count(), 3);
    zip->CloseArchive();
    EXPECT_EQ(FileContent(Name), before);
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(Dir / "tmp")));
  }
  // And the archive still takes changes.
  auto zip = Open();
  zip->AddFromString("b.txt", "after all", ZA_TEST_DATE);
  zip->CloseArchive();
  EXPECT_EQ(Listing(FileContent(Name)).at(1).second, Crc("after all"));
}

TEST_F(ZAArchiverFileTest, ReadOnlyModeBlocksUpdatesOfAFileArchive) {
  TZipArchiver zip(nullptr);
  zip.FileName = Name;
  zip.OpenArchive(ZA_MODE_READ_ONLY);
  EXPECT_EQ(zip.DirManager()->Items.Count(), 3);
  ExpectZAError(32, [&] { zip.AddFromString("x", "y", ZA_TEST_DATE); });
}

TEST_F(ZAArchiverFileTest, InMemoryArchiveMovesToItsFileAndBack) {
  TZipArchiver zip(nullptr);
  zip.FileName = Dir / "m.zip";
  zip.SetInMemory(true);
  zip.OpenArchive();
  zip.AddFromString("a.txt", "in memory", ZA_TEST_DATE);
  EXPECT_FALSE(FileExists(zip.FileName));
  zip.SetInMemory(false);
  EXPECT_TRUE(zip.Active());
  EXPECT_EQ(zip.DirManager()->Items.Count(), 1);
  zip.CloseArchive();
  EXPECT_EQ(Listing(FileContent(zip.FileName)).at(0).second, Crc("in memory"));
}

TEST(ZAArchiverTest, AFailedWriteIsRetriedOrReportedAsAWriteError) {
  const AnsiString empty = MakeArchive({});
  for (bool retry : {true, false}) {
    SCOPED_TRACE(retry);
    TFailingStream stream;
    stream.WriteBuffer(empty.data(), int32_t(empty.size()));
    TZipArchiver zip(nullptr);
    zip.OpenArchive(&stream, false);
    int asked = 0;
    zip.OnDiskFull = [&](TObject*, int32_t, const AnsiString&, int64_t required, int64_t,
                         bool& cancel) {
      ++asked;
      EXPECT_GT(required, 0);
      EXPECT_TRUE(cancel);
      cancel = !retry;
    };
    stream.FailAfter = 1;  // the local header goes through, the data does not
    stream.Failing = retry ? 2 : 1;
    if (retry) {
      zip.AddFromString("a.txt", "hello", ZA_TEST_DATE);
      EXPECT_EQ(asked, 2);
      zip.CloseArchive();
      EXPECT_EQ(Listing(Content(&stream)).at(0).second, Crc("hello"));
    } else {
      ExpectZAError(46, [&] { zip.AddFromString("a.txt", "hello", ZA_TEST_DATE); });
      EXPECT_EQ(asked, 1);
      zip.CloseArchive();
      EXPECT_EQ(Content(&stream), empty);
    }
  }
}

TEST(ZAArchiverTest, CloseArchiveReportsAFailedUpdateAfterReleasingTheArchive) {
  TMemoryStream stream;
  {
    TZipArchiver zip(nullptr);
    zip.OpenArchive(&stream, true);
    zip.BeginUpdate();
    zip.AddFromStream("short", new TShortSource(1000, 10), ZA_TEST_DATE, ZA_ATTR_ARCHIVE, -1, 0,
                      true);
    ExpectZAError(34, [&] { zip.CloseArchive(); });
    EXPECT_FALSE(zip.Active());
    EXPECT_EQ(zip.DirManager(), nullptr);
    EXPECT_EQ(stream.Size(), 22);

    // The destructor has no one to tell.
    zip.OpenArchive(&stream, false);
    zip.BeginUpdate();
    zip.AddFromStream("short", new TShortSource(1000, 10), ZA_TEST_DATE, ZA_ATTR_ARCHIVE, -1, 0,
                      true);
  }
  EXPECT_EQ(stream.Size(), 22);
}

TEST(ZAArchiverTest, CancelUpdateDropsTheMembersNotWritten) {
  TMemoryStream stream;
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, true);
  zip.BeginUpdate();
  zip.AddFromString("dropped", "x", ZA_TEST_DATE);
  zip.CancelUpdate();
  EXPECT_EQ(zip.DirManager()->Items.Count(), 0);
  zip.AddFromString("kept", "y", ZA_TEST_DATE);
  zip.CloseArchive();
  auto entries = Listing(Content(&stream));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].first, "kept");
}

TEST(ZAArchiverTest, ArgumentAndStateErrors) {
  TScratchDir dir;
  struct Case {
    int32_t error;
    std::function<void(TZipArchiver&)> action;
  } cases[] = {
      {9, [](TZipArchiver& zip) { zip.OpenArchive(); }},
      {10, [](TZipArchiver& zip) { zip.OpenArchive(ZA_MODE_READ_ONLY); }},
      {12,
       [&](TZipArchiver& zip) {
         zip.FileName = dir / "missing.zip";
         zip.OpenArchive(ZA_MODE_READ_ONLY);
       }},
      {28,
       [](TZipArchiver& zip) {
         zip.SetInMemory(true);
         zip.OpenArchive(ZA_MODE_READ_WRITE);
       }},
      {51,
       [](TZipArchiver& zip) {
         TMemoryStream stream;
         zip.SetSpanningMode(smSplitting);
         zip.OpenArchive(&stream, true);
       }},
      {13, [](TZipArchiver& zip) { zip.AddFromString("a", "b", ZA_TEST_DATE); }},
      {5, [](TZipArchiver& zip) { zip.SetCompressionMode(10); }},
      {29,
       [](TZipArchiver& zip) {
         zip.SetInMemory(true);
         zip.OpenArchive();
         zip.SetInMemory(false);
       }},
  };
  for (const Case& c : cases) {
    TZipArchiver zip(nullptr);
    ExpectZAError(c.error, [&] { c.action(zip); });
  }
  TZipArchiver zip(nullptr);
  zip.SetInMemory(true);
  zip.OpenArchive();
  try {
    zip.SetSpanningMode(smSplitting);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot set spanning mode on open archive");
  }
}

// ---- Stub in front -----------------------------------------------------------

TEST(ZAArchiverTest, AStubWrittenInFrontKeepsOffsetsFromTheFileStart) {
  TScratchDir dir;
  const AnsiString stub = "MZ" + AnsiString(998, 's');
  WriteFile(dir / "stub.bin", stub);
  {
    TZipArchiver zip(nullptr);
    zip.FileName = dir / "a.zip";
    zip.SFXStub = dir / "stub.bin";
    zip.OpenArchive();
    zip.AddFromString("a.txt", "hello", ZA_TEST_DATE);
    zip.CloseArchive();
  }
  const AnsiString bytes = FileContent(dir / "a.zip");
  EXPECT_EQ(bytes.substr(0, 1000), stub);
  EXPECT_EQ(At32(bytes, 1000), LOCAL);
  TZipArchiver zip(nullptr);
  zip.FileName = dir / "a.zip";
  zip.OpenArchive();
  EXPECT_EQ(zip.DirManager()->DataStart, 1000);
  EXPECT_EQ(zip.DirManager()->Items.Items(0).LocalHeaderOffset(), 1000u);
  zip.AddFromString("b.txt", "world", ZA_TEST_DATE);
  zip.CloseArchive();
  EXPECT_EQ(FileContent(dir / "a.zip").substr(0, 1000), stub);
  EXPECT_EQ(Listing(FileContent(dir / "a.zip")).size(), 2u);
}

TEST(ZAArchiverTest, AStubPutInFrontLaterShiftsEveryOffset) {
  TMemoryStream made;
  {
    TZipArchiver zip(nullptr);
    zip.OpenArchive(&made, true);
    zip.BeginUpdate();
    zip.AddFromString("dir/", "", ZA_TEST_DATE, ZA_ATTR_DIRECTORY);
    zip.AddFromString("a.txt", "hello", ZA_TEST_DATE);
    zip.AddFromString("b.txt", "world", ZA_TEST_DATE);
    zip.EndUpdate();
  }
  const AnsiString archive = Content(&made);
  const AnsiString stub(777, '\x90');
  TStringStream stream(stub + archive);
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, false);
  const TZADirArray& items = zip.DirManager()->Items;
  ASSERT_EQ(items.Count(), 3);
  EXPECT_EQ(zip.DirManager()->DataStart, 777);
  for (int32_t i = 0; i < items.Count(); ++i) {
    const uint64_t at = items.Items(i).LocalHeaderOffset();
    EXPECT_EQ(At32(stub + archive, at), LOCAL) << i;
  }
  zip.AddFromString("b.txt", "replaced", ZA_TEST_DATE);
  zip.CloseArchive();
  const AnsiString after = Content(&stream);
  EXPECT_EQ(after.substr(0, 777 + 40), (stub + archive).substr(0, 777 + 40));
  auto entries = Listing(after);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].second, Crc("replaced"));
}

// ---- Malformed archives ----------------------------------------------------------

AnsiString Patched(AnsiString bytes, size_t at, uint32_t value, int width) {
  AnsiString field;
  for (int i = 0; i < width; ++i) field += char(value >> (8 * i));
  return bytes.replace(at, size_t(width), field);
}

// Opens bytes as an archive; the number of the archive error, 0 when it
// opened, -1 for anything else.
int32_t OpenError(const AnsiString& bytes, bool rebuild = true) {
  TStringStream stream(bytes);
  TZipArchiver zip(nullptr);
  zip.SetRebuild(rebuild);
  try {
    zip.OpenArchive(&stream, false);
    return 0;
  } catch (const EZAException& e) {
    return e.NativeError;
  } catch (...) {
    return -1;
  }
}

TEST(ZAArchiverTest, MalformedArchivesGiveNumberedErrors) {
  const AnsiString good = MakeArchive({{"a.txt", "hello"}, {"b.txt", "world"}});
  const size_t end = good.size() - 22;
  const size_t central = At32(good, end + 16);
  struct Case {
    const char* what;
    AnsiString bytes;
    bool rebuild;
    int32_t error;
  } cases[] = {
      {"no archive at all", AnsiString(5000, 'q'), true, 35},
      {"no end record, no rebuilding", good.substr(0, end), false, 48},
      {"no end record, rebuilt", good.substr(0, end), true, 0},
      {"entry count beyond the directory", Patched(good, end + 10, 0xFFF0, 2), false, 48},
      {"entry count beyond the directory, rebuilt", Patched(good, end + 10, 0xFFF0, 2), true, 0},
      {"extra field past the record", Patched(good, central + 30, 0xFFFF, 2), false, 48},
      {"extra block past the extra field",
       Patched(Patched(good, central + 30, 4, 2), central + 46 + 5, 0x00FF0009, 4), false, 48},
      {"sizes beyond the stream", Patched(good, central + 20, 0x7FFFFFFF, 4), false, 57},
      {"locator without a Zip64 end record",
       good.substr(0, end) + Patched(AnsiString(20, '\0'), 0, 0x07064B50, 4) + good.substr(end),
       true, 40},
  };
  // A local Zip64 block claiming nearly 2^63 bytes, met while rebuilding.
  const AnsiString wide = MakeArchive({{"a.txt", "hello"}},
                                      [](TZipArchiver& zip) { zip.SetZip64Mode(ZA_ZIP64_ALWAYS); });
  const AnsiString huge =
      Patched(Patched(wide, 30 + 5 + 4 + 8, 0xFFFFFFF0, 4), 30 + 5 + 4 + 12, 0x7FFFFFFF, 4)
          .substr(0, At32(wide, wide.size() - 22 + 16));
  EXPECT_EQ(OpenError(huge), 0);
  for (const Case& c : cases) EXPECT_EQ(OpenError(c.bytes, c.rebuild), c.error) << c.what;

  // Whatever single byte is spoilt, the outcome is an archive or an archive
  // error.
  for (bool rebuild : {true, false})
    for (size_t i = 0; i < good.size(); ++i)
      for (char value : {'\xFF', '\0', '\x7F'}) {
        AnsiString spoilt = good;
        spoilt[i] = value;
        EXPECT_GE(OpenError(spoilt, rebuild), 0) << i;
      }
}

TEST(ZAArchiverTest, ARebuiltDirectoryTellsEmptyFilesFromFolders) {
  const AnsiString good = MakeArchive({{"dir/", ""}, {"empty.txt", ""}, {"a.txt", "hello"}});
  TStringStream stream(good.substr(0, At32(good, good.size() - 22 + 16)));
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, false);
  const TZADirArray& items = zip.DirManager()->Items;
  ASSERT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Items(0).Header.ExternalAttributes, ZA_ATTR_DIRECTORY);
  EXPECT_EQ(items.Items(1).Header.ExternalAttributes, ZA_ATTR_ARCHIVE);
  EXPECT_EQ(items.Items(2).Header.ExternalAttributes, ZA_ATTR_ARCHIVE);
}

TEST(ZAArchiverTest, AMemberRecordedBeyondTheEndIsRefusedByAnUpdate) {
  const AnsiString good = MakeArchive({{"a.txt", "hello"}},
                                      [](TZipArchiver& zip) { zip.SetZip64Mode(ZA_ZIP64_ALWAYS); });
  const size_t central = At32(good, good.size() - 22 + 16);
  // The Zip64 block's offset: after its header and the two sizes.
  const AnsiString spoilt =
      Patched(Patched(good, central + 46 + 5 + 20, 0, 4), central + 46 + 5 + 24, 0x80, 4);
  TStringStream stream(spoilt);
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, false);
  EXPECT_EQ(zip.DirManager()->Items.Items(0).LocalHeaderOffset(), 0x8000000000u);
  ExpectZAError(48, [&] { zip.AddFromString("b.txt", "more", ZA_TEST_DATE); });
  zip.CloseArchive();
  EXPECT_EQ(Content(&stream), spoilt);
}

TEST(ZAArchiverTest, WithoutAHandlerTheOverwriteQuestionGoesToThePrompts) {
  std::vector<AnsiString> asked;
  bool answer = false;
  ZAPrompts().Confirm = [&](const AnsiString& text) {
    asked.push_back(text);
    return answer;
  };
  TMemoryStream stream;
  TZipArchiver zip(nullptr);
  zip.Options()->OverwriteMode = omPrompt;
  zip.OpenArchive(&stream, true);
  zip.AddFromString("a.txt", "first", ZA_TEST_DATE);
  zip.AddFromString("A.TXT", "second", ZA_TEST_DATE);
  answer = true;
  zip.AddFromString("a.txt", "third", ZA_TEST_DATE);
  ZAPrompts().Confirm = nullptr;
  zip.CloseArchive();
  EXPECT_EQ(asked, (std::vector<AnsiString>{"Overwrite file \"a.txt\" with \"A.TXT\"",
                                            "Overwrite file \"a.txt\" with \"a.txt\""}));
  auto entries = Listing(Content(&stream));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].second, Crc("third"));
}

// Offsets of the central records of an archive without a comment.
std::vector<size_t> CentralRecords(const AnsiString& bytes) {
  const size_t end = bytes.size() - 22;
  std::vector<size_t> records;
  for (size_t at = At32(bytes, end + 16); at < end;
       at += 46 + At16(bytes, at + 28) + At16(bytes, at + 30) + At16(bytes, at + 32))
    records.push_back(at);
  return records;
}

TEST(ZAArchiverTest, MembersStoredOutOfDirectoryOrderSurviveAnUpdate) {
  // Directory order c, a, b over members stored as a, b, c.
  const AnsiString archive = MakeArchive(THREE);
  const size_t end = archive.size() - 22;
  std::vector<size_t> at = CentralRecords(archive);
  at.push_back(end);
  std::vector<AnsiString> records;
  for (size_t i = 0; i + 1 < at.size(); ++i)
    records.push_back(archive.substr(at[i], at[i + 1] - at[i]));
  ASSERT_EQ(records.size(), 3u);
  const AnsiString reordered = archive.substr(0, At32(archive, end + 16)) + records[2] +
                               records[0] + records[1] + archive.substr(end);
  TStringStream stream(reordered);
  TZipArchiver zip(nullptr);
  zip.OpenArchive(&stream, false);
  zip.AddFromString("a.txt", "replaced first", ZA_TEST_DATE);
  zip.CloseArchive();

  // Every entry still finds its own local header.
  const AnsiString after = Content(&stream);
  TStringStream copy(after);
  TZipArchiver check(nullptr);
  check.OpenArchive(&copy, false);
  const TZADirArray& items = check.DirManager()->Items;
  ASSERT_EQ(items.Count(), 3);
  const uint32_t crcs[] = {Crc(THREE[2].second), Crc("replaced first"), Crc(THREE[1].second)};
  for (int32_t i = 0; i < items.Count(); ++i) {
    const size_t at = items.Items(i).LocalHeaderOffset();
    EXPECT_EQ(At32(after, at), LOCAL) << i;
    EXPECT_EQ(At32(after, at + 14), crcs[i]) << i;
    EXPECT_EQ(after.substr(at + 30, 5), items.Items(i).FileName) << i;
  }
}

// ---- Names flagged UTF-8 ------------------------------------------------------------

TEST(ZAArchiverTest, NamesFlaggedUtf8KeepTheirBytesThroughAnUpdate) {
  // What other tools write for a non-ASCII name: its UTF-8 bytes and flag
  // bit 11, in the local header and in the central record.
  const AnsiString utf8 = reinterpret_cast<const char*>(u8"Подписи/Документ №1.sig");
  AnsiString flagged = MakeArchive({{"a.txt", "first"}, {utf8, "signed"}},
                                   [](TZipArchiver& zip) { zip.Options()->OEMFileNames = false; });
  const size_t central = CentralRecords(flagged).at(1);
  const size_t local = At32(flagged, central + 42);
  flagged = Patched(flagged, central + 8, ZA_FLAG_UTF8, 2);
  flagged = Patched(flagged, local + 6, ZA_FLAG_UTF8, 2);
  const size_t directory = At32(flagged, flagged.size() - 22 + 16);

  const AnsiString added = "Новый.txt";
  const std::vector<std::pair<AnsiString, uint32_t>> expected = {
      {"a.txt", Crc("replaced, longer")}, {utf8, Crc("signed")}, {added, Crc("new")}};
  for (const AnsiString& archive : {flagged, flagged.substr(0, directory)}) {
    SCOPED_TRACE(archive == flagged ? "read from the directory" : "rebuilt from local headers");
    TStringStream stream(archive);
    {
      // OEM names on: the fault converted the UTF-8 bytes both ways.
      TZipArchiver zip(nullptr);
      zip.OpenArchive(&stream, false);
      EXPECT_EQ(zip.DirManager()->Items.Items(1).FileName, utf8);
      zip.BeginUpdate();
      zip.AddFromString("a.txt", "replaced, longer", ZA_TEST_DATE);  // moves the member
      zip.AddFromString(added, "new", ZA_TEST_DATE);
      zip.EndUpdate();
      zip.CloseArchive();
    }
    const AnsiString after = Content(&stream);
    EXPECT_EQ(Listing(after), expected);
    const std::vector<size_t> records = CentralRecords(after);
    ASSERT_EQ(records.size(), 3u);
    struct Name {
      AnsiString bytes;
      uint16_t flags;
    } names[] = {{"a.txt", 0}, {utf8, ZA_FLAG_UTF8}, {AnsiToOem(added), 0}};
    for (size_t i = 0; i < 3; ++i) {
      const size_t at = records[i];
      const size_t localAt = At32(after, at + 42);
      EXPECT_EQ(At16(after, at + 8), names[i].flags) << i;
      EXPECT_EQ(after.substr(at + 46, At16(after, at + 28)), names[i].bytes) << i;
      EXPECT_EQ(At16(after, localAt + 6), names[i].flags) << i;
      EXPECT_EQ(after.substr(localAt + 30, At16(after, localAt + 26)), names[i].bytes) << i;
    }
  }
}

}  // namespace
