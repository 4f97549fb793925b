// Crafted archives and hostile folders met by an update as a caller runs
// it: each ends in a numbered archive error or a correct archive within a
// time bound, the archive stays as it was on error, and nothing is written
// outside the archive's folder and the temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "tests/zip/ZATestSupport.h"
#include "zip/ZACrypto.h"

namespace {

AnsiString Bytes(const TBytes& bytes) { return AnsiString(bytes.begin(), bytes.end()); }

template <class R>
AnsiString Stored(const R& record) {
  TBytes bytes(R::Size);
  record.Store(bytes.data());
  return Bytes(bytes);
}

// One stored member of 1 MB and a directory of 200 entries that all point
// at it: copied back once per entry, replacing the first would grow the
// file 200 times.
AnsiString OverlappingMembers() {
  const AnsiString data(1 << 20, 'o');
  TZALocalHeader local;
  local.VersionNeeded = 20;
  local.Crc32 = ZACrc32(data.data(), int32_t(data.size()));
  local.CompressedSize = local.UncompressedSize = uint32_t(data.size());
  local.NameLength = 5;
  AnsiString archive = Stored(local) + "a.txt" + data;
  const size_t directory = archive.size();
  for (int i = 0; i < 200; ++i) {
    TZACentralHeader central;
    ZACopySharedFields(central, local);
    central.VersionMadeBy = 20;
    central.ExternalAttributes = ZA_ATTR_ARCHIVE;
    const AnsiString name = i == 0 ? AnsiString("a.txt") : "m" + IntToHex(uint32_t(i), 4);
    central.NameLength = uint16_t(name.size());
    archive += Stored(central) + name;
  }
  TZAEndRecord end;
  end.EntriesOnDisk = end.TotalEntries = 200;
  end.DirectorySize = uint32_t(archive.size() - directory);
  end.DirectoryOffset = uint32_t(directory);
  return archive + Stored(end);
}

// 3 MB of local headers that leave their sizes to a data descriptor that
// never comes, and no directory: the rebuild from local headers meets them
// all.
AnsiString DescriptorHeaders() {
  TZALocalHeader local;
  local.VersionNeeded = 20;
  local.Flags = ZA_FLAG_DATA_DESCRIPTOR;
  const AnsiString header = Stored(local);
  AnsiString archive;
  archive.reserve(3 << 20);
  while (archive.size() + header.size() <= (3 << 20)) archive += header;
  return archive;
}

// A valid archive whose Zip64 end record puts its directory on disk
// 0x7FFFFFFF of as many disks, near the end of that disk.
AnsiString HugeDiskNumber() {
  const AnsiString archive = MakeArchive({{"a.txt", "hello"}});
  const size_t directory = At32(archive, archive.size() - 22 + 16);
  AnsiString bytes = archive.substr(0, archive.size() - 22);
  TZAZip64EndRecord z;
  z.DiskNumber = z.StartDisk = 0x7FFFFFFF;
  z.EntriesOnDisk = z.TotalEntries = 1;
  z.DirectorySize = bytes.size() - directory;
  const size_t zip64At = bytes.size();
  z.DirectoryOffset = zip64At + TZAZip64EndRecord::Size + TZAZip64Locator::Size + 10;
  TZAZip64Locator l;
  l.EndRecordDisk = 0x7FFFFFFF;
  l.EndRecordOffset = zip64At;
  l.TotalDisks = 0x80000000;
  TZAEndRecord end;
  end.DiskNumber = end.StartDisk = ZA_ZIP64_VALUE16;
  end.EntriesOnDisk = end.TotalEntries = ZA_ZIP64_VALUE16;
  end.DirectorySize = end.DirectoryOffset = ZA_ZIP64_VALUE32;
  return bytes + Stored(z) + Stored(l) + Stored(end);
}

const std::vector<std::pair<AnsiString, AnsiString>> THREE = {
    {"a.txt", "first member"}, {"b.txt", "second member"}, {"c.txt", AnsiString(3000, 'c')}};

struct TFolders {
  AnsiString Archive;  // the archive's folder
  AnsiString Temp;     // TempDir of the update
  AnsiString Outside;  // where planted links point
};

#ifndef _WIN32
AnsiString TempName(uint32_t number) { return "FC" + IntToHex(number, 4) + ".tmp"; }

// Every temporary name the update may pick, but one, is a dangling link
// into the outside folder.
void PlantLinks(const TFolders& folders) {
  for (uint32_t i = 0; i < 0x10000; ++i)
    if (i != 0x4B50)
      std::filesystem::create_symlink(std::string(folders.Outside + TempName(i)),
                                      std::string(folders.Temp + TempName(i)));
}

void TakeEveryName(const TFolders& folders) {
  for (uint32_t i = 0; i < 0x10000; ++i) WriteFile(folders.Temp + TempName(i), "");
}
#endif

void ReplaceFirst(TZipArchiver& zip) { zip.AddFromString("a.txt", "replaced", ZA_TEST_DATE); }
void Append(TZipArchiver& zip) { zip.AddFromString("new.txt", "added", ZA_TEST_DATE); }

struct TCraftedCase {
  const char* Name;
  std::function<AnsiString()> Archive;
  std::function<void(TZipArchiver&)> Update;  // after the archive is open
  int32_t Error;                              // 0: the update succeeds
  double Seconds;                             // processor-time bound of open, update and close
  bool Rebuild = true;
  std::function<void(const TFolders&)> Plant = nullptr;
};

const std::vector<TCraftedCase>& Cases() {
  static const std::vector<TCraftedCase> cases = {
      {"OverlappingMembers", OverlappingMembers, ReplaceFirst, 57, 5},
      {"OverlappingMembersWithoutRebuild", OverlappingMembers, ReplaceFirst, 57, 5, false},
      {"DescriptorHeadersFilling3MB", DescriptorHeaders, Append, 0, 10},
      {"NameOf65536Bytes", [] { return MakeArchive(THREE); },
       [](TZipArchiver& zip) { zip.AddFromString(AnsiString(65536, 'n'), "x", ZA_TEST_DATE); }, 61,
       5},
      {"ArchiveCommentOf65536Bytes", [] { return MakeArchive(THREE); },
       [](TZipArchiver& zip) {
         zip.DirManager()->ArchiveComment = AnsiString(65536, 'c');
         Append(zip);
       },
       8, 5},
      {"MemberCommentOf65536Bytes", [] { return MakeArchive(THREE); },
       [](TZipArchiver& zip) {
         zip.DirManager()->Items.Items(1).Comment = AnsiString(65536, 'c');
         Append(zip);
       },
       8, 5},
      {"ExtraFieldOver65535Bytes", [] { return MakeArchive(THREE); },
       [](TZipArchiver& zip) {
         zip.DirManager()->Items.Items(1).ExtraBlocks = {{0x7777, TBytes(65000)},
                                                         {0x7778, TBytes(600)}};
         Append(zip);
       },
       8, 5},
      {"DiskNumber0x7FFFFFFF", HugeDiskNumber, Append, 44, 5},
#ifndef _WIN32
      {"TempFolderWithPlantedLinks", [] { return MakeArchive(THREE); }, ReplaceFirst, 0, 20, true,
       PlantLinks},
      {"TempFolderWithEveryNameTaken", [] { return MakeArchive(THREE); }, ReplaceFirst, 19, 20,
       true, TakeEveryName},
#endif
  };
  return cases;
}

std::vector<AnsiString> FilesIn(const AnsiString& folder) {
  std::vector<AnsiString> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(folder)))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class ZACraftedTest : public ::testing::TestWithParam<TCraftedCase> {};

TEST_P(ZACraftedTest, EndsInANumberedErrorOrACorrectArchiveInTime) {
  const TCraftedCase& c = GetParam();
  TScratchDir dir;
  const TFolders folders{dir / "archive" + PathDelim, dir / "temp" + PathDelim,
                         dir / "outside" + PathDelim};
  for (const AnsiString& folder : {folders.Archive, folders.Temp, folders.Outside})
    ForceDirectories(folder);
  const AnsiString name = folders.Archive + "a.zip";
  const AnsiString before = c.Archive();
  WriteFile(name, before);
  if (c.Plant) c.Plant(folders);
  const std::vector<AnsiString> planted = FilesIn(folders.Temp);

  // The bound is there to catch a runaway loop, so it counts processor time
  // where clock() does (not on Windows): a busy machine must not fail it.
  const std::clock_t start = std::clock();
  int32_t error = 0;
  int32_t entries = 0;
  {
    TZipArchiver zip(nullptr);
    zip.FileName = name;
    zip.TempDir = folders.Temp;
    zip.SetRebuild(c.Rebuild);
    try {
      zip.OpenArchive();
      entries = zip.DirManager()->Items.Count();
      c.Update(zip);
      zip.CloseArchive();
    } catch (const EZAException& e) {
      error = e.NativeError;
    }
  }
  const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  std::printf("%s: %.3f s\n", c.Name, seconds);
  EXPECT_EQ(error, c.Error);
  EXPECT_LT(seconds, c.Seconds);
  EXPECT_EQ(FilesIn(folders.Archive), std::vector<AnsiString>{"a.zip"});
  EXPECT_EQ(FilesIn(folders.Temp), planted);
  EXPECT_TRUE(FilesIn(folders.Outside).empty());
  if (error != 0) {
    EXPECT_EQ(FileContent(name), before);
    return;
  }
  // The archive reads back without a rebuild, with the member the update
  // wrote.
  TZipArchiver check(nullptr);
  check.FileName = name;
  check.SetRebuild(false);
  check.OpenArchive();
  TZADirArray& items = check.DirManager()->Items;
  const bool appended = items.Count() == entries + 1;
  const int32_t written = appended ? items.Count() - 1 : items.Find("a.txt");
  ASSERT_GE(written, 0);
  const AnsiString data = appended ? "added" : "replaced";
  EXPECT_EQ(items.Items(written).Header.Crc32, ZACrc32(data.data(), int32_t(data.size())));
}

INSTANTIATE_TEST_SUITE_P(Cases, ZACraftedTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
