#include "zip/ZAVolumes.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/zip/ZATestSupport.h"
#include "zip/ZADrive.h"

namespace {

TEST(ZAVolumesTest, VolumeFileNames) {
  const AnsiString base = AnsiString("dir") + PathDelim + "archive";
  struct Case {
    TZASpanningMode mode;
    bool advanced, stub, standard;
    int32_t volume;
    bool last;
    AnsiString name;
  } cases[] = {
      {smSplitting, false, false, true, 0, false, base + ".Z01"},
      {smSplitting, false, false, true, 1, false, base + ".Z02"},
      {smSplitting, false, false, false, 1, false, base + ".F02"},
      {smSplitting, true, false, true, 2, false, base + "_003.zip"},
      {smSplitting, true, false, true, 5, true, base + ".zip"},
      {smSplitting, false, true, true, 0, false, base + ".exe"},
      {smSplitting, false, true, true, 3, true, base + ".ZIP"},
      {smSplitting, false, true, false, 3, true, base + ".ZA"},
      {smSpanning, true, false, true, 0, false, base + "_001.zip"},
      {smSpanning, false, false, true, 7, false, base + ".zip"},
      {smSpanning, true, true, true, 1, false, base + "_002.exe"},
  };
  for (const Case& c : cases) {
    TZAVolumeNaming naming;
    naming.FileName = base + ".zip";
    naming.Mode = c.mode;
    naming.AdvancedNaming = c.advanced;
    naming.HasStub = c.stub;
    naming.StandardSignatures = c.standard;
    EXPECT_EQ(ZAVolumeFileName(naming, c.volume, c.last), c.name);
  }
  EXPECT_TRUE(ZAIsExeName("a.EXE"));
  EXPECT_FALSE(ZAIsExeName("exe.zip"));
}

TEST(ZAVolumesTest, VolumeSizes) {
  TZASpanningOptions options;
  EXPECT_TRUE(options.AdvancedNaming);
  EXPECT_EQ(options.VolumeSize, vsAutoDetect);
  EXPECT_EQ(ZAVolumeSizeLimit(options, 0), 0);
  options.SetCustomVolumeSize(1000);
  EXPECT_EQ(options.CustomVolumeSize(), 65536);
  options.SetCustomVolumeSize(-5);
  EXPECT_EQ(options.CustomVolumeSize(), 65536);
  options.VolumeSize = vsCustom;
  options.SetCustomVolumeSize(100000);
  EXPECT_EQ(ZAVolumeSizeLimit(options, 0), 100000);
  options.FirstVolumeSize = 70000;
  EXPECT_EQ(ZAVolumeSizeLimit(options, 0), 70000);
  EXPECT_EQ(ZAVolumeSizeLimit(options, 1), 100000);
  const std::pair<TZAVolumeSize, int64_t> sizes[] = {
      {vs1_44MB, 1457664},  {vs100MB, 104857600}, {vs200MB, 209715200}, {vs250MB, 262144000},
      {vs600MB, 629145600}, {vs650MB, 681574400}, {vs700MB, 734003200}, {vs4700MB, 4928307200}};
  for (auto [size, bytes] : sizes) {
    options.VolumeSize = size;
    EXPECT_EQ(ZAVolumeSizeLimit(options, 1), bytes);
  }
}

TEST(ZAVolumesTest, SplitVolumesEndOnWholeRecordsAndOpenAgain) {
  for (const TSplitCase& c : SplitCases()) {
    SCOPED_TRACE(c.What);
    TScratchDir dir;
    WriteSplit(dir / "a.zip", c);
    std::vector<AnsiString> expected;
    for (int32_t v = 1; v < c.Volumes; ++v) expected.push_back("a.Z0" + IntToStr(int64_t(v)));
    expected.push_back("a.zip");
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(dir.Files(), expected);

    for (int32_t v = 0; v < c.Volumes; ++v) {
      const AnsiString volume =
          FileContent(dir / (v + 1 < c.Volumes ? "a.Z0" + IntToStr(int64_t(v + 1)) : "a.zip"));
      EXPECT_LE(volume.size(), 65536u) << v;
      if (c.Starts[v] != 0) {
        EXPECT_EQ(At32(volume, 0), c.Starts[v]) << v;
      }
      if (v + 1 == c.Volumes) {
        // The end record closes the last volume and tells where things are.
        const size_t end = volume.size() - 22;
        EXPECT_EQ(At32(volume, end), 0x06054B50u);
        EXPECT_EQ(At16(volume, end + 4), c.Volumes - 1);
        EXPECT_EQ(At16(volume, end + 10), c.Sizes.size());
        EXPECT_EQ(At32(volume, end + 12), 48 * c.Sizes.size());
      }
    }

    TZipArchiver zip(nullptr);
    zip.FileName = dir / "a.zip";
    zip.OpenArchive();
    EXPECT_EQ(zip.SpanningMode(), smSplitting);
    const TZADirArray& items = zip.DirManager()->Items;
    ASSERT_EQ(items.Count(), int32_t(c.Sizes.size()));
    for (int32_t i = 0; i < items.Count(); ++i) {
      EXPECT_EQ(items.Items(i).FileName, "m" + IntToStr(int64_t(i)));
      EXPECT_EQ(items.Items(i).UncompressedSize(), uint64_t(c.Sizes[i]));
    }
    // Volumes once written are not updated.
    ExpectZAError(62, [&] { zip.BeginUpdate(); });
  }
}

TEST(ZAVolumesTest, SplitArchiveTakesOneUpdateBracketOnly) {
  TScratchDir dir;
  TZipArchiver zip(nullptr);
  zip.FileName = dir / "a.zip";
  zip.SetSpanningMode(smSplitting);
  zip.OpenArchive();
  zip.AddFromString("one", "1", ZA_TEST_DATE);
  ExpectZAError(52, [&] { zip.AddFromString("two", "2", ZA_TEST_DATE); });
  ExpectZAError(62, [&] { zip.BeginUpdate(); });
}

TEST(ZAVolumesTest, AStubLargerThanTheFirstVolumeIsRefused) {
  TScratchDir dir;
  WriteFile(dir / "stub.bin", AnsiString(5000, 'S'));
  TZipArchiver zip(nullptr);
  zip.FileName = dir / "a.zip";
  zip.SFXStub = dir / "stub.bin";
  zip.SetSpanningMode(smSplitting);
  zip.SpanningOptions()->FirstVolumeSize = 1000;
  ExpectZAError(47, [&] { zip.OpenArchive(); });
  EXPECT_FALSE(zip.Active());
}

// Removable disks, played by folders: the "drive" folder holds the disk in
// the drive, and inserting a new disk moves its files onto a shelf.
class ZASpanningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForceDirectories(Dir / "drive");
    Saved = ZADrive();
    ZADrive().DriveType = [](const AnsiString&) { return dtRemovable; };
    ZADrive().FreeSpace = [this](const AnsiString&) { return Capacity - Used(); };
    ZADrive().SetVolumeLabel = [this](const AnsiString&, const AnsiString& label) {
      Labels.push_back(label);
      return true;
    };
    ZADrive().FlushFile = [this](THandle) { ++Flushes; };
  }
  void TearDown() override { ZADrive() = Saved; }

  int64_t Used() const {
    int64_t used = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(Dir / "drive")))
      used += int64_t(entry.file_size());
    return used;
  }
  // Takes the disk out: its files go to shelf/<disk>.
  void Eject() {
    const AnsiString shelf = Dir / ("shelf" + IntToStr(int64_t(++Ejected)));
    ForceDirectories(shelf);
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(Dir / "drive")))
      std::filesystem::rename(entry.path(), std::filesystem::path(shelf) / entry.path().filename());
  }
  void Configure(TZipArchiver& zip) {
    zip.FileName = Dir / "drive" + PathDelim + "a.zip";
    zip.SetCompressionLevel(clNone);
    zip.SetSpanningMode(smSpanning);
    zip.OnRequestBlankVolume = [this](TObject*, int32_t number, const AnsiString& name, bool&) {
      EXPECT_EQ(name, Dir / "drive" + PathDelim + "a.zip");
      Requests.push_back(number);
      if (number > 1) Eject();
    };
  }

  TScratchDir Dir;
  TZADriveFunctions Saved;
  int64_t Capacity = 100000;
  std::vector<AnsiString> Labels;
  std::vector<int32_t> Requests;
  int32_t Flushes = 0;
  int32_t Ejected = 0;
};

TEST_F(ZASpanningTest, EachDiskTakesWhatFitsAndIsLabelled) {
  TZipArchiver zip(nullptr);
  Configure(zip);
  zip.OpenArchive();
  zip.BeginUpdate();
  zip.AddFromString("big", AnsiString(250000, 'b'), ZA_TEST_DATE);
  zip.AddFromString("small", "s", ZA_TEST_DATE);
  zip.EndUpdate();
  zip.CloseArchive();

  EXPECT_EQ(Requests, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Labels, (std::vector<AnsiString>{"pkback# 001", "pkback# 002", "pkback# 003"}));
  EXPECT_EQ(Flushes, 2);
  EXPECT_EQ(FileContent(Dir / "shelf1" + PathDelim + "a_001.zip").size(), 100000u);
  EXPECT_EQ(FileContent(Dir / "shelf2" + PathDelim + "a_002.zip").size(), 100000u);
  EXPECT_TRUE(FileExists(Dir / "drive" + PathDelim + "a.zip"));

  // Copied off the disks into one folder, the volumes read as a split
  // archive.
  for (const AnsiString& n :
       {AnsiString("shelf1") + PathDelim + "a_001.zip",
        AnsiString("shelf2") + PathDelim + "a_002.zip", AnsiString("drive") + PathDelim + "a.zip"})
    WriteFile(Dir / ExtractFileName(n), FileContent(Dir / n));
  TZipArchiver reader(nullptr);
  reader.FileName = Dir / "a.zip";
  reader.OpenArchive();
  ASSERT_EQ(reader.DirManager()->Items.Count(), 2);
  EXPECT_EQ(reader.DirManager()->Items.Items(0).DiskNumber(), 0u);
  EXPECT_EQ(reader.DirManager()->Items.Items(1).DiskNumber(), 2u);
}

TEST_F(ZASpanningTest, AFullDiskIsReportedUntilTheUserGivesUp) {
  Capacity = 60000;  // not a usable disk
  TZipArchiver zip(nullptr);
  Configure(zip);
  std::vector<std::pair<int64_t, int64_t>> asked;
  zip.OnDiskFull = [&](TObject*, int32_t number, const AnsiString&, int64_t required,
                       int64_t available, bool& cancel) {
    EXPECT_EQ(number, 1);
    asked.emplace_back(required, available);
    if (asked.size() == 2) Capacity = 200000;  // the user found a bigger disk
    cancel = false;
  };
  zip.OpenArchive();
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], std::make_pair(int64_t(65536), int64_t(60000)));
  EXPECT_EQ(Requests, (std::vector<int32_t>{1, 1, 1}));
  zip.CloseArchive();

  TZipArchiver other(nullptr);
  Configure(other);
  other.OnRequestBlankVolume = [](TObject*, int32_t, const AnsiString&, bool& cancel) {
    cancel = true;
  };
  ExpectZAError(45, [&] { other.OpenArchive(ZA_MODE_CREATE); });
}

TEST_F(ZASpanningTest, WithoutAHandlerTheDiskRequestGoesToThePrompts) {
  std::vector<AnsiString> asked;
  ZAPrompts().OkCancel = [&](const AnsiString& text) {
    asked.push_back(text);
    return false;
  };
  TZipArchiver zip(nullptr);
  Configure(zip);
  zip.OnRequestBlankVolume = nullptr;
  ExpectZAError(45, [&] { zip.OpenArchive(); });
  ZAPrompts().OkCancel = nullptr;
  EXPECT_EQ(asked, std::vector<AnsiString>{"Please insert a blank disk #1"});
}

}  // namespace
