#include "zip/ZADirManager.h"

#include <gtest/gtest.h>

#include "rtl/SysUtils.h"
#include "zip/ZACrypto.h"
#include "zip/ZAErrors.h"
#include "tests/zip/ZATestHelpers.h"

namespace {

// The archiver's side, scripted.
class FakeOwner : public TZADirOwner {
 public:
  TZANewEntrySettings Settings;
  bool Answer = true;
  std::vector<std::pair<AnsiString, AnsiString>> Asked;

  TZANewEntrySettings NewEntrySettings() const override { return Settings; }
  bool ConfirmOverwrite(const TZADirItem& existing, const AnsiString& newSource) override {
    Asked.emplace_back(existing.FileName, newSource);
    return Answer;
  }
};

int32_t ExpectError(int32_t number, const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "no error " << number;
  } catch (const EZAException& e) {
    EXPECT_EQ(e.NativeError, number) << e.Message();
    return e.NativeError;
  }
  return -1;
}

const TDateTime JAN_2_2024_030406 = EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 6, 0);

class ZADirManagerTest : public ::testing::Test {
 protected:
  TMemoryStream stream;
  FakeOwner owner;
  TZADirManager dir{&stream, &owner};

  int32_t Add(const AnsiString& name, TDateTime when = JAN_2_2024_030406) {
    return dir.AddOrReplace(name, when, ZA_ATTR_ARCHIVE, false);
  }

  // A member added, compressed and placed.
  TZADirItem& Written(const AnsiString& name, uint64_t size, uint32_t crc, uint64_t compressed,
                      uint64_t offset) {
    TZADirItem& item = dir.Items.Items(Add(name));
    item.SetSourceSize(size, owner.Settings.Format);
    item.SetResult(crc, compressed, size, owner.Settings.Format);
    item.SetLocation(0, offset, owner.Settings.Format);
    return item;
  }
};

// ---- Records of one member -------------------------------------------------------

TEST_F(ZADirManagerTest, StoredMemberGoldenLocalHeaderAndCentralRecord) {
  owner.Settings.CompressionMode = 0;
  owner.Settings.CompressionMethod = ZA_METHOD_STORED;
  TZADirItem& item = dir.Items.Items(Add("a.txt"));
  const TZAFormatSettings& fs = owner.Settings.Format;
  item.SetSourceSize(5, fs);
  // Before the data: CRC at its start value, no compressed size yet.
  EXPECT_EQ(item.LocalHeaderBytes(fs),
            Join({Hex("504B0304 1400 0000 0000 8318 2258 FFFFFFFF 00000000 05000000 0500 0000"),
                  Text("a.txt")}));
  item.SetResult(ZACrc32("hello", 5), 5, 5, fs);
  item.SetLocation(0, 0, fs);
  EXPECT_EQ(item.LocalHeaderBytes(fs),
            Join({Hex("504B0304 1400 0000 0000 8318 2258 86A61036 05000000 05000000 0500 0000"),
                  Text("a.txt")}));
  item.SetLocation(0, 40, fs);
  EXPECT_EQ(item.CentralRecordBytes(fs),
            Join({Hex("504B0102 1400 1400 0000 0000 8318 2258 86A61036 05000000 05000000 0500 "
                      "0000 0000 0000 0000 20000000 28000000"),
                  Text("a.txt")}));
}

TEST_F(ZADirManagerTest, VersionWithoutOemNamesAndNamesInOemCodePage) {
  owner.Settings.Format.OEMFileNames = false;
  TZADirItem& item = dir.Items.Items(Add("Отчёт.txt"));
  item.SetSourceSize(10, owner.Settings.Format);
  const TBytes local = item.LocalHeaderBytes(owner.Settings.Format);
  const TBytes central = item.CentralRecordBytes(owner.Settings.Format);
  EXPECT_EQ(TBytes(local.begin() + 4, local.begin() + 6), Hex("140B"));
  EXPECT_EQ(TBytes(central.begin() + 4, central.begin() + 8), Hex("140B 140B"));
  EXPECT_EQ(TBytes(local.begin() + 30, local.end()), Text("Отчёт.txt"));

  // With OEM names the stored bytes are cp866; the entry keeps the ANSI name.
  owner.Settings.Format.OEMFileNames = true;
  const TBytes oem = item.LocalHeaderBytes(owner.Settings.Format);
  EXPECT_EQ(TBytes(oem.begin() + 30, oem.end()), Text(AnsiToOem("Отчёт.txt")));
  EXPECT_EQ(TBytes(oem.begin() + 30, oem.begin() + 32), Hex("8EE2"));
  EXPECT_EQ(item.FileName, "Отчёт.txt");
}

TEST_F(ZADirManagerTest, Zip64AlwaysPutsEveryValueInExtraFields) {
  owner.Settings.Format.Zip64Mode = ZA_ZIP64_ALWAYS;
  const TZAFormatSettings& fs = owner.Settings.Format;
  TZADirItem& item = Written("a", 3, 0x11223344, 5, 7);
  EXPECT_TRUE(item.Zip64);
  EXPECT_EQ(item.LocalHeaderBytes(fs),
            Join({Hex("504B0304 2D00 0000 0800 8318 2258 44332211 FFFFFFFF FFFFFFFF 0100 1400"),
                  Text("a"), Hex("0100 1000 0300000000000000 0500000000000000")}));
  EXPECT_EQ(item.CentralRecordBytes(fs),
            Join({Hex("504B0102 2D00 2D00 0000 0800 8318 2258 44332211 FFFFFFFF FFFFFFFF 0100 "
                      "1C00 0000 0000 0000 20000000 FFFFFFFF"),
                  Text("a"), Hex("0100 1800 0300000000000000 0500000000000000 0700000000000000")}));
  EXPECT_EQ(item.UncompressedSize(), 3u);
  EXPECT_EQ(item.CompressedSize(), 5u);
  EXPECT_EQ(item.LocalHeaderOffset(), 7u);
}

TEST_F(ZADirManagerTest, Zip64AsNeededOnlyForValuesThatNeedIt) {
  owner.Settings.Format.Zip64Mode = ZA_ZIP64_AS_NEEDED;
  const TZAFormatSettings& fs = owner.Settings.Format;
  TZADirItem& small = Written("small", 3, 1, 5, 0x100000000);
  EXPECT_EQ(small.Header.VersionNeeded, 0x14);
  EXPECT_EQ(small.Header.CompressedSize, 5u);
  EXPECT_EQ(small.Header.LocalHeaderOffset, ZA_ZIP64_VALUE32);
  EXPECT_EQ(small.LocalHeaderBytes(fs).size(), 30u + 5);
  const TBytes central = small.CentralRecordBytes(fs);
  EXPECT_EQ(TBytes(central.end() - 12, central.end()), Hex("0100 0800 0000000001000000"));

  TZADirItem& big = dir.Items.Items(Add("big"));
  big.SetSourceSize(0xFFFFFFFF, fs);
  EXPECT_EQ(big.Header.VersionNeeded, 0x2D);
  EXPECT_EQ(big.LocalHeaderBytes(fs).size(), 30u + 3 + 20);
  EXPECT_EQ(big.UncompressedSize(), 0xFFFFFFFFu);
}

TEST_F(ZADirManagerTest, Zip64AsNeededReservesTheLocalExtraWhenTheDataMayOutgrow4GiB) {
  owner.Settings.Format.Zip64Mode = ZA_ZIP64_AS_NEEDED;
  const TZAFormatSettings& fs = owner.Settings.Format;
  const struct {
    const char* what;
    uint16_t method;
    AnsiString password;
    uint64_t size;
    uint64_t compressed;
    bool reserved;
  } cases[] = {
      {"stored, the encryption header crosses", ZA_METHOD_STORED, "pw", 0xFFFFFFF8, 0x100000004,
       true},
      {"stored, as large as its source", ZA_METHOD_STORED, "", 0xFFFFFFF8, 0xFFFFFFF8, false},
      {"deflated, may grow across", ZA_METHOD_DEFLATE, "", 0xFFF00000, 0x1000, true},
      {"deflated, far below", ZA_METHOD_DEFLATE, "", 0xF0000000, 0xF0100000, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    owner.Settings.CompressionMethod = c.method;
    owner.Settings.Password = c.password;
    TZADirItem& item = dir.Items.Items(Add(c.what));
    item.SetSourceSize(c.size, fs);
    const size_t written = item.LocalHeaderBytes(fs).size();
    item.SetLocation(0, 0, fs);
    item.SetResult(1, c.compressed, c.size, fs);
    const TBytes local = item.LocalHeaderBytes(fs);
    // The final header fits the room the first one took.
    EXPECT_EQ(local.size(), written);
    const size_t name = strlen(c.what);
    EXPECT_EQ(local.size(), 30 + name + (c.reserved ? 20 : 0));
    EXPECT_EQ(item.Header.VersionNeeded, c.reserved ? 0x2D : 0x14);
    EXPECT_EQ(item.Header.VersionMadeBy, item.Header.VersionNeeded);
    EXPECT_EQ(item.UncompressedSize(), c.size);
    EXPECT_EQ(item.CompressedSize(), c.compressed);
    if (!c.reserved) continue;
    EXPECT_EQ(ZAGet16(&local[30 + name]), ZA_ZIP64_EXTRA_ID);
    EXPECT_EQ(ZAGet64(&local[30 + name + 4]), c.size);
    EXPECT_EQ(ZAGet64(&local[30 + name + 12]), c.compressed);
  }
}

TEST_F(ZADirManagerTest, SizesOrOffsetsBeyond32BitsWithZip64OffRaise) {
  const TZAFormatSettings& fs = owner.Settings.Format;
  TZADirItem& item = dir.Items.Items(Add("big.bin"));
  ExpectError(41, [&] { item.SetSourceSize(0xFFFFFFFF, fs); });
  item.SetSourceSize(0xFFFFFFFE, fs);
  ExpectError(41, [&] { item.SetResult(0, 0x100000000, 0xFFFFFFFE, fs); });
  ExpectError(43, [&] { item.SetLocation(0, 0xFFFFFFFF, fs); });
  item.SrcFileName = "C:\\big.bin";
  try {
    item.SetSourceSize(0x100000000, fs);
    ADD_FAILURE();
  } catch (const EZAException& e) {
    EXPECT_EQ(
        e.Message(),
        "Cannot compress file 'C:\\big.bin'. Zip64 mode is not enabled - Native error: 00041");
  }
}

TEST_F(ZADirManagerTest, EmptyMemberIsStoredWithStandardSignatures) {
  TZADirItem& item = dir.Items.Items(Add("empty"));
  EXPECT_EQ(item.Header.Method, ZA_METHOD_DEFLATE);
  item.SetSourceSize(0, owner.Settings.Format);
  EXPECT_EQ(item.Header.Method, ZA_METHOD_STORED);

  owner.Settings.Format.StandardSignatures = false;
  TZADirItem& engine = dir.Items.Items(Add("empty2"));
  engine.SetSourceSize(0, owner.Settings.Format);
  EXPECT_EQ(engine.Header.Method, ZA_METHOD_DEFLATE);
  EXPECT_EQ(engine.Header.VersionNeeded, 0x4114);
  EXPECT_EQ(ZAGet32(engine.LocalHeaderBytes(owner.Settings.Format).data()),
            ZA_ENGINE_LOCAL_SIGNATURE);
  EXPECT_EQ(ZAGet32(engine.CentralRecordBytes(owner.Settings.Format).data()),
            ZA_ENGINE_CENTRAL_SIGNATURE);
}

TEST_F(ZADirManagerTest, ForeignExtraBlocksAreKeptAndZip64BlockRebuilt) {
  TZADirItem& item = dir.Items.Items(Add("a"));
  item.Header.UncompressedSize = ZA_ZIP64_VALUE32;
  const TBytes extra = Hex("5455 0500 0102030405 0100 0800 0900000001000000 7578 0000");
  ASSERT_TRUE(item.LoadExtraField(extra.data(), extra.size()));
  EXPECT_TRUE(item.Zip64);
  EXPECT_EQ(item.UncompressedSize(), 0x100000009u);
  ASSERT_EQ(item.ExtraBlocks.size(), 2u);

  const TBytes central = item.CentralRecordBytes(owner.Settings.Format);
  EXPECT_EQ(ZAGet16(&central[30]), 12 + 9 + 4);
  EXPECT_EQ(TBytes(central.begin() + 46 + 1, central.end()),
            Hex("0100 0800 0900000001000000 5455 0500 0102030405 7578 0000"));

  // A block running past the field, or a Zip64 block too short for the
  // fields that need it, is refused.
  for (const char* bad : {"5455 0900 0102030405", "0100 0400 09000000"}) {
    const TBytes b = Hex(bad);
    EXPECT_FALSE(item.LoadExtraField(b.data(), b.size())) << bad;
  }
}

TEST_F(ZADirManagerTest, SourceStreamOwnedIsFreedCallersIsRewound) {
  struct Tracked : TMemoryStream {
    bool* Freed;
    explicit Tracked(bool* freed) : Freed(freed) {}
    ~Tracked() override { *Freed = true; }
  };
  bool ownedFreed = false, callersFreed = false;
  {
    Tracked callers(&callersFreed);
    callers.WriteBuffer("0123456789", 10);
    TZADirItem& item = dir.Items.Items(Add("a"));
    item.SetSource(new Tracked(&ownedFreed), true, 0);
    // The saved copy of the array shares the stream until both let go.
    dir.SavedItems.Assign(dir.Items);
    item.ReleaseSource();
    EXPECT_FALSE(ownedFreed);
    dir.SavedItems.Clear();
    EXPECT_TRUE(ownedFreed);

    item.SetSource(&callers, false, 4);
    callers.SetPosition(10);
    item.ReleaseSource();
    EXPECT_EQ(callers.Position(), 4);
    EXPECT_FALSE(item.Stream);
  }
  EXPECT_TRUE(callersFreed);
}

// ---- Adding and replacing --------------------------------------------------------

TEST_F(ZADirManagerTest, NewEntryTakesTheArchiversSettings) {
  owner.Settings.Password = "secret";
  owner.Settings.CompressionMode = 9;
  const int32_t index = dir.AddOrReplace("docs\\a.txt", JAN_2_2024_030406, 0x21, false);
  EXPECT_EQ(index, 0);
  const TZADirItem& e = dir.Items.Items(0);
  EXPECT_EQ(e.FileName, "docs/a.txt");
  EXPECT_EQ(e.Header.Flags, ZA_FLAG_ENCRYPTED);
  EXPECT_EQ(e.Header.Method, ZA_METHOD_DEFLATE);
  EXPECT_EQ(e.Header.VersionNeeded, 0x14);
  EXPECT_EQ(e.Header.VersionMadeBy, 0x14);
  EXPECT_EQ(e.Header.Time, 0x1883);
  EXPECT_EQ(e.Header.Date, 0x5822);
  EXPECT_EQ(e.Header.Crc32, ZA_CRC_START);
  EXPECT_EQ(e.Header.ExternalAttributes, 0x21u);
  EXPECT_EQ(e.Password, "secret");
  EXPECT_EQ(e.CompressionMode, 9);
  EXPECT_TRUE(e.Pending);
  EXPECT_EQ(e.Operation, ZA_OP_NEW);

  // A date the DOS form cannot hold gives date and time 0.
  const TZADirItem& zero = dir.Items.Items(Add("zero", 0));
  EXPECT_EQ(zero.Header.Date, 0);
  EXPECT_EQ(zero.Header.Time, 0);
}

TEST_F(ZADirManagerTest, DirectoryEntryIsStoredWithFlagTwoAndTrailingSlash) {
  owner.Settings.Password = "secret";
  const int32_t index = dir.AddOrReplace("C:\\docs\\sub", JAN_2_2024_030406, 0x10, true);
  const TZADirItem& e = dir.Items.Items(index);
  EXPECT_EQ(e.FileName, "docs/sub/");
  EXPECT_EQ(e.Header.Flags, ZA_FLAG_DIRECTORY);
  EXPECT_EQ(e.Header.Method, ZA_METHOD_STORED);
  EXPECT_EQ(e.CompressionMode, 0);
  EXPECT_TRUE(e.Password.empty());
}

TEST_F(ZADirManagerTest, FileMemberIsDatedByTheFile) {
  const AnsiString name = IncludeTrailingPathDelimiter(GetTempDir()) + "za_dir_age.txt";
  TFileStream(name, fmCreate).WriteBuffer("x", 1);
  const TDateTime when = EncodeDate(2021, 5, 6) + EncodeTime(7, 8, 10, 0);
  ASSERT_EQ(FileSetDate(name, DateTimeToFileDate(when)), 0);
  const int32_t index = dir.AddOrReplaceFile("x.txt", name, ZA_ATTR_ARCHIVE, false);
  const TZADirItem& e = dir.Items.Items(index);
  EXPECT_EQ(uint32_t(e.Header.Date) << 16 | e.Header.Time, uint32_t(DateTimeToFileDate(when)));
  EXPECT_EQ(e.SrcFileName, name);
  DeleteFile(name);

  // A file whose age cannot be read is dated now.
  const TZADirItem& missing =
      dir.Items.Items(dir.AddOrReplaceFile("y.txt", name, ZA_ATTR_ARCHIVE, false));
  EXPECT_NEAR(
      FileDateToDateTime(int32_t(uint32_t(missing.Header.Date) << 16 | missing.Header.Time)), Now(),
      5.0 / 86400);
}

TEST_F(ZADirManagerTest, SameNameInAnyCaseIsReplacedInPlaceWithOverwriteAlways) {
  Add("first.txt");
  Add("Docs\\Report.TXT");
  Add("last.txt");
  EXPECT_EQ(Add("docs/report.txt"), 1);
  EXPECT_EQ(dir.Items.Count(), 3);
  EXPECT_EQ(dir.Items.Items(1).Operation, ZA_OP_REPLACE);
  EXPECT_EQ(dir.Items.Items(1).FileName, "docs/report.txt");
  EXPECT_EQ(dir.Items.Find("DOCS/REPORT.txt"), 1);
  EXPECT_EQ(dir.Items.Find("LAST.TXT"), 2);
}

AnsiString Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// An entry as read from another tool's archive.
TZADirItem ReadEntry(const AnsiString& bytes, uint16_t flags) {
  TZADirItem item;
  item.Header.Flags = flags;
  item.SetRecordName(bytes, true);
  return item;
}

TEST_F(ZADirManagerTest, NamesCompareAsTheirFlagDecodesThemAndAnExactMatchWins) {
  const AnsiString sdacha = Utf8(u8"сдача.txt");
  for (const TZADirItem& item : {
           ReadEntry("a.txt", 0),
           ReadEntry("A.TXT", 0),
           ReadEntry(sdacha, ZA_FLAG_UTF8),
           ReadEntry(Utf8(u8"удача.txt"), ZA_FLAG_UTF8),
           ReadEntry(Utf8(u8"Подпись.sig"), ZA_FLAG_UTF8),
           ReadEntry(sdacha, 0),  // UTF-8 bytes without the flag: OEM
           ReadEntry(AnsiToOem("Отчёт.doc"), 0),
       })
    dir.Items.Add(item);
  const struct {
    AnsiString name;
    int32_t index;
  } lookups[] = {
      {"a.txt", 0},     {"A.TXT", 1},     {"A.txt", 0},       {"удача.txt", 3},
      {"сдача.txt", 2}, {"УДАЧА.TXT", 3}, {"Подпись.sig", 4}, {"подпись.SIG", 4},
      {"отчёт.DOC", 6}, {"дача.txt", -1}, {"Ѓ.txt", -1},
  };
  for (const auto& l : lookups) EXPECT_EQ(dir.Items.Find(l.name), l.index) << l.name;

  // Read names keep their bytes, even where the code pages have no
  // counterpart for them.
  for (int32_t i = 0; i < dir.Items.Count(); ++i) {
    const TZADirItem& item = dir.Items.Items(i);
    EXPECT_EQ(item.RecordName(owner.Settings.Format), item.NameBytes) << i;
  }

  // Replaced under the same name, a member keeps its name's bytes and
  // flag; under a name in other letters it takes the new name.
  EXPECT_EQ(Add("Подпись.sig"), 4);
  EXPECT_EQ(Add("A.TXT"), 1);
  EXPECT_EQ(dir.Items.Count(), 7);
  const TZADirItem& same = dir.Items.Items(4);
  EXPECT_EQ(same.Operation, ZA_OP_REPLACE);
  EXPECT_EQ(same.RecordName(owner.Settings.Format), Utf8(u8"Подпись.sig"));
  EXPECT_EQ(same.Header.Flags & ZA_FLAG_UTF8, ZA_FLAG_UTF8);
  EXPECT_EQ(Add("ПОДПИСЬ.SIG"), 4);
  const TZADirItem& renamed = dir.Items.Items(4);
  EXPECT_EQ(renamed.FileName, "ПОДПИСЬ.SIG");
  EXPECT_EQ(renamed.RecordName(owner.Settings.Format), AnsiToOem("ПОДПИСЬ.SIG"));
  EXPECT_EQ(renamed.Header.Flags & ZA_FLAG_UTF8, 0);
  EXPECT_EQ(dir.Items.Find("подпись.sig"), 4);
}

TEST_F(ZADirManagerTest, ANameLongerThanItsSixteenBitFieldIsRefused) {
  Add("first.txt");
  const AnsiString longest(65535, 'n');
  EXPECT_EQ(Add(longest), 1);
  ExpectError(61, [&] { Add(longest + "n"); });
  EXPECT_EQ(dir.Items.Count(), 2);
  TZADirItem& item = dir.Items.Items(1);
  EXPECT_EQ(item.LocalHeaderBytes(owner.Settings.Format).size(), 30u + 65535);
  item.Comment = AnsiString(65536, 'c');
  ExpectError(8, [&] { item.CentralRecordBytes(owner.Settings.Format); });
}

TEST_F(ZADirManagerTest, OverwriteModeDecidesWhetherTheEntryIsReplaced) {
  const TDateTime older = EncodeDate(2020, 1, 1), newer = EncodeDate(2022, 1, 1);
  struct Case {
    TZAOverwriteMode mode;
    TDateTime when;
    bool replaced;
  };
  const Case cases[] = {
      {omNever, newer, false},   {omIfNewer, newer, true},
      {omIfNewer, older, false}, {omIfNewer, EncodeDate(2021, 1, 1), false},
      {omIfOlder, older, true},  {omIfOlder, newer, false},
      {omAlways, older, true},
  };
  for (const Case& c : cases) {
    TMemoryStream s;
    FakeOwner o;
    TZADirManager d(&s, &o);
    d.AddOrReplace("a", EncodeDate(2021, 1, 1), ZA_ATTR_ARCHIVE, false);
    d.Items.Items(0).Pending = false;
    o.Settings.OverwriteMode = c.mode;
    const int32_t index = d.AddOrReplace("A", c.when, ZA_ATTR_ARCHIVE, false);
    EXPECT_EQ(index, c.replaced ? 0 : -1) << c.mode << " " << c.when;
    EXPECT_EQ(d.Items.Items(0).Pending, c.replaced);
    EXPECT_EQ(d.Items.Count(), 1);
  }
}

TEST_F(ZADirManagerTest, PromptAsksTheOwner) {
  owner.Settings.OverwriteMode = omPrompt;
  Add("a.txt");
  owner.Answer = false;
  EXPECT_EQ(dir.AddOrReplaceFile("a.txt", "C:\\in\\a.txt", ZA_ATTR_ARCHIVE, false), -1);
  owner.Answer = true;
  EXPECT_EQ(Add("A.TXT"), 0);
  ASSERT_EQ(owner.Asked.size(), 2u);
  EXPECT_EQ(owner.Asked[0], (std::pair<AnsiString, AnsiString>("a.txt", "C:\\in\\a.txt")));
  EXPECT_EQ(owner.Asked[1], (std::pair<AnsiString, AnsiString>("a.txt", "A.TXT")));
}

TEST_F(ZADirManagerTest, ReplacedEntryKeepsNothingOfTheOldMember) {
  // An encrypted member read from an archive, with extra blocks, replaced
  // after the password was cleared: the new member is plain.
  owner.Settings.Password = "secret";
  owner.Settings.CompressionMode = 9;
  TZADirItem& old = dir.Items.Items(Add("a.txt"));
  old.Comment = "note";
  old.ExtraBlocks.push_back({0x5455, {1, 2, 3}});
  old.Zip64 = true;
  old.Header.UncompressedSize = ZA_ZIP64_VALUE32;
  old.Zip64Values.UncompressedSize = 0x100000000;
  old.Header.Method = 12;
  old.Pending = false;

  owner.Settings.Password = "";
  owner.Settings.CompressionMode = 0;
  owner.Settings.CompressionMethod = ZA_METHOD_STORED;
  ASSERT_EQ(Add("a.txt"), 0);
  const TZADirItem& e = dir.Items.Items(0);
  EXPECT_EQ(e.Header.Flags, 0);
  EXPECT_TRUE(e.Password.empty());
  EXPECT_EQ(e.Header.Method, ZA_METHOD_STORED);
  EXPECT_EQ(e.CompressionMode, 0);
  EXPECT_TRUE(e.ExtraBlocks.empty());
  EXPECT_FALSE(e.Zip64);
  EXPECT_EQ(e.Header.UncompressedSize, 0u);
  EXPECT_TRUE(e.Comment.empty());
  EXPECT_TRUE(e.Pending);
  EXPECT_EQ(e.Operation, ZA_OP_REPLACE);
}

// ---- The entry array -------------------------------------------------------------

TEST(ZADirArray, IndexOutOfRangeRaisesTwoWhenCopiedThreeInPlace) {
  TZADirArray a;
  a.SetCount(2);
  for (int32_t bad : {-1, 2}) {
    ExpectError(2, [&] { a.GetItem(bad); });
    ExpectError(3, [&] { a.Items(bad); });
    ExpectError(3, [&] { a.Delete(bad); });
  }
  try {
    a.GetItem(-1);
  } catch (const EZAException& e) {
    EXPECT_EQ(e.Message(), "Index out of bounds - Native error: 00002");
  }
}

TEST(ZADirArray, GrowsByADoublingStepUpTo10000) {
  TZADirArray a;
  struct Step {
    int32_t count, capacity;
  };
  for (const Step& s :
       {Step{1, 1000}, Step{1000, 1000}, Step{1001, 3000}, Step{2500, 3000}, Step{3001, 7000},
        Step{7001, 15000}, Step{15001, 25000}, Step{25001, 35000}, Step{50000, 50000}}) {
    a.SetCount(s.count);
    EXPECT_EQ(a.Capacity(), s.capacity) << s.count;
    EXPECT_EQ(a.Count(), s.count);
  }
  a.SetCount(0);
  EXPECT_EQ(a.Capacity(), 0);
}

TEST(ZADirArray, AssignCopiesEntriesAndNames) {
  TZADirArray a, b;
  TZADirItem item;
  item.FileName = "one";
  item.ExtraBlocks.push_back({7, {1}});
  a.Add(item);
  item.FileName = "Two";
  a.Add(item);
  b.Assign(a);
  a.Items(0).ExtraBlocks.clear();
  a.Rename(0, "changed");
  EXPECT_EQ(b.Count(), 2);
  EXPECT_EQ(b.Find("TWO"), 1);
  EXPECT_EQ(b.Find("one"), 0);
  EXPECT_EQ(b.Items(0).ExtraBlocks.size(), 1u);
  EXPECT_EQ(b.Find("changed"), -1);
}

TEST(ZADirArray, DeleteKeepsLaterNamesFindable) {
  TZADirArray a;
  TZADirItem item;
  for (const char* name : {"a", "b", "c", "d"}) {
    item.FileName = name;
    a.Add(item);
  }
  EXPECT_EQ(a.Find("c"), 2);
  a.Delete(1);
  EXPECT_EQ(a.Count(), 3);
  EXPECT_EQ(a.Find("b"), -1);
  EXPECT_EQ(a.Find("c"), 1);
  EXPECT_EQ(a.Find("d"), 2);
  EXPECT_EQ(a.Items(1).FileName, "c");
}

TEST(ZADirArray, RenameRegistersMovesOrRefusesTheName) {
  TZADirArray a;
  a.SetCount(2);
  // Entries read from an archive get their names one by one.
  a.Rename(0, "Файл.txt");
  a.Rename(1, "other");
  EXPECT_EQ(a.Find("фАЙЛ.TXT"), 0);
  // A name flagged UTF-8 gives way to an ANSI one.
  a.Items(0).Header.Flags = ZA_FLAG_UTF8 | ZA_FLAG_ENCRYPTED;
  a.Rename(0, "new");
  EXPECT_EQ(a.Find("файл.txt"), -1);
  EXPECT_EQ(a.Find("NEW"), 0);
  EXPECT_EQ(a.Items(0).FileName, "new");
  EXPECT_EQ(a.Items(0).Header.Flags, ZA_FLAG_ENCRYPTED);
  // Entry 1 carries a name that the list has at index 0.
  a.Items(1).FileName = "new";
  ExpectError(59, [&] { a.Rename(1, "x"); });
}

// ---- Name list and hash ----------------------------------------------------------

TEST(ZAHashedStringList, GrowsItsHashWhenChainsGetLong) {
  TZAHashedStringList names;
  for (int i = 0; i < 10; ++i) names.Add("n" + std::to_string(i));
  EXPECT_EQ(names.HashSize(), 0);
  EXPECT_EQ(names.IndexOf("N3"), 3);
  EXPECT_EQ(names.HashSize(), 1000);
  for (int i = 10; i < 5000; ++i) names.Add("n" + std::to_string(i));
  EXPECT_EQ(names.HashSize(), 1000);
  EXPECT_EQ(names.IndexOf("n4999"), 4999);
  names.Add("n5000");
  EXPECT_EQ(names.HashSize(), 0);
  EXPECT_EQ(names.IndexOf("n5000"), 5000);
  EXPECT_EQ(names.HashSize(), 5001);
}

TEST(ZAHashedStringList, PutDeleteAndClearKeepLookupsRight) {
  TZAHashedStringList names;
  names.Add("Alpha");
  names.Add("Beta");
  names.Add("Gamma");
  EXPECT_EQ(names.Strings(0), "alpha");
  EXPECT_EQ(names.IndexOf("beta"), 1);
  names.Put(1, "Delta");
  EXPECT_EQ(names.IndexOf("beta"), -1);
  EXPECT_EQ(names.IndexOf("DELTA"), 1);
  names.Delete(0);
  EXPECT_EQ(names.IndexOf("delta"), 0);
  EXPECT_EQ(names.IndexOf("gamma"), 1);
  names.Insert(0, "Omega");
  EXPECT_EQ(names.IndexOf("OMEGA"), 0);
  EXPECT_EQ(names.IndexOf("gamma"), 2);
  names.Exchange(0, 2);
  EXPECT_EQ(names.IndexOf("omega"), 2);
  EXPECT_EQ(names.IndexOf("gamma"), 0);
  names.Clear();
  EXPECT_EQ(names.IndexOf("gamma"), -1);
  EXPECT_EQ(names.Add("x"), 0);
  EXPECT_EQ(names.IndexOf("X"), 0);
}

TEST(ZAStringHash, RotatingHashChainsAndRemoval) {
  EXPECT_EQ(TZAStringHash::HashOf(""), 0u);
  EXPECT_EQ(TZAStringHash::HashOf("a"), 0x61u);
  EXPECT_EQ(TZAStringHash::HashOf("ab"), (0x61u << 2) ^ 0x62);
  // Rotation, not shift: the high bits come round.
  EXPECT_EQ(TZAStringHash::HashOf(AnsiString("a") + AnsiString(15, '\0')), 0x40000018u);
  TZAStringHash hash(1);  // one bucket: everything in one chain
  hash.Add("a", 1);
  hash.Add("b", 2);
  hash.Add("a", 3);
  EXPECT_EQ(hash.ValueOf("a"), 3);
  hash.Remove("a");
  EXPECT_EQ(hash.ValueOf("a"), 1);
  EXPECT_EQ(hash.ValueOf("b"), 2);
  EXPECT_EQ(hash.ValueOf("c"), -1);
}

}  // namespace
