#include "zip/ZAFormat.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "rtl/Streams.h"
#include "tests/zip/ZATestHelpers.h"

namespace {

TBytes Stored(const auto& record) {
  TBytes bytes(std::decay_t<decltype(record)>::Size);
  record.Store(bytes.data());
  return bytes;
}

void Put(TMemoryStream& stream, const TBytes& bytes) {
  stream.WriteBuffer(bytes.data(), int32_t(bytes.size()));
}

void Put(TMemoryStream& stream, const AnsiString& text) {
  stream.WriteBuffer(text.data(), int32_t(text.size()));
}

TEST(ZAFormat, EmptyArchiveIsOneEndRecordOf22Bytes) {
  EXPECT_EQ(Stored(TZAEndRecord{}), Hex("504B0506 0000 0000 0000 0000 00000000 00000000 0000"));
}

TEST(ZAFormat, RecordsKeepEveryFieldAtItsOffset) {
  // Distinct bytes everywhere: a swapped or misplaced field shows.
  const TBytes central =
      Hex("504B0102 0201 0403 0605 0807 0A09 0C0B 100F0E0D 14131211 18171615 "
          "1A19 1C1B 1E1D 201F 2221 26252423 2A292827");
  TZACentralHeader c;
  c.Load(central.data());
  EXPECT_EQ(std::tuple(c.Signature, c.VersionMadeBy, c.VersionNeeded, c.Flags, c.Method, c.Time,
                       c.Date, c.Crc32, c.CompressedSize, c.UncompressedSize),
            std::tuple(ZA_CENTRAL_SIGNATURE, 0x0102, 0x0304, 0x0506, 0x0708, 0x090A, 0x0B0C,
                       0x0D0E0F10u, 0x11121314u, 0x15161718u));
  EXPECT_EQ(std::tuple(c.NameLength, c.ExtraLength, c.CommentLength, c.DiskNumberStart,
                       c.InternalAttributes, c.ExternalAttributes, c.LocalHeaderOffset),
            std::tuple(0x191A, 0x1B1C, 0x1D1E, 0x1F20, 0x2122, 0x23242526u, 0x2728292Au));
  EXPECT_EQ(Stored(c), central);

  const TBytes local =
      Hex("504B0304 1400 0100 0800 8318 2258 C2412435 0A000000 03000000 0500 1400");
  TZALocalHeader h;
  h.Load(local.data());
  EXPECT_EQ(std::tuple(h.VersionNeeded, h.Flags, h.Method, h.Time, h.Date, h.Crc32,
                       h.CompressedSize, h.UncompressedSize, h.NameLength, h.ExtraLength),
            std::tuple(0x14, 1, 8, 0x1883, 0x5822, 0x352441C2u, 10u, 3u, 5, 20));
  EXPECT_EQ(Stored(h), local);

  const TBytes zip64End =
      Hex("504B0606 2C00000000000000 2D00 2D00 04030201 08070605 "
          "1817161514131211 2827262524232221 3837363534333231 "
          "4847464544434241");
  TZAZip64EndRecord z;
  z.Load(zip64End.data());
  EXPECT_EQ(std::tuple(z.RecordSize, z.VersionMadeBy, z.DiskNumber, z.StartDisk, z.EntriesOnDisk,
                       z.TotalEntries, z.DirectorySize, z.DirectoryOffset),
            std::tuple(44u, 45, 0x01020304u, 0x05060708u, 0x1112131415161718u, 0x2122232425262728u,
                       0x3132333435363738u, 0x4142434445464748u));
  EXPECT_EQ(Stored(z), zip64End);
  // A new Zip64 end record says 44 bytes follow and version 45.
  const TBytes fresh = Stored(TZAZip64EndRecord{});
  EXPECT_EQ(TBytes(fresh.begin(), fresh.begin() + 16), Hex("504B0606 2C00000000000000 2D00 2D00"));

  TZAZip64Locator l;
  l.EndRecordDisk = 3;
  l.EndRecordOffset = 0x0102030405060708;
  l.TotalDisks = 4;
  EXPECT_EQ(Stored(l), Hex("504B0607 03000000 0807060504030201 04000000"));

  TZADataDescriptor d;
  d.Load(Hex("504B0708 C2412435 0A000000 03000000").data());
  EXPECT_EQ(std::tuple(d.Signature, d.Crc32, d.CompressedSize, d.UncompressedSize),
            std::tuple(ZA_DATA_DESCRIPTOR_SIGNATURE, 0x352441C2u, 10u, 3u));
}

TEST(ZAFormat, VersionFieldDependsOnZip64NamesAndSignatureSet) {
  struct Case {
    bool zip64, oem, standard;
    uint16_t version;
  };
  for (const Case& c : {Case{true, true, true, 0x002D}, Case{true, false, true, 0x002D},
                        Case{false, true, true, 0x0014}, Case{false, false, true, 0x0B14},
                        Case{true, true, false, 0x412D}, Case{false, false, false, 0x4114}}) {
    TZAFormatSettings s;
    s.OEMFileNames = c.oem;
    s.StandardSignatures = c.standard;
    EXPECT_EQ(ZAVersionNeeded(c.zip64, s), c.version) << c.zip64 << c.oem << c.standard;
  }
}

TEST(ZAFormat, Zip64ExtraCarriesOnlyTheFieldsHoldingTheZip64Value) {
  const TZAZip64Values v{0x1111111111, 0x2222222222, 0x3333333333, 0x44444};
  struct Case {
    bool usize, csize, offset, disk;
    const char* extra;
  };
  const Case cases[] = {
      {false, false, false, false, ""},
      {true, true, true, true,
       "0100 1C00 1111111111000000 2222222222000000 3333333333000000 44440400"},
      {true, false, false, false, "0100 0800 1111111111000000"},
      {false, false, true, false, "0100 0800 3333333333000000"},
      {false, true, false, true, "0100 0C00 2222222222000000 44440400"},
  };
  for (const Case& c : cases) {
    TZACentralHeader h;
    h.UncompressedSize = c.usize ? ZA_ZIP64_VALUE32 : 5;
    h.CompressedSize = c.csize ? ZA_ZIP64_VALUE32 : 5;
    h.LocalHeaderOffset = c.offset ? ZA_ZIP64_VALUE32 : 5;
    h.DiskNumberStart = c.disk ? ZA_ZIP64_VALUE16 : 5;
    const TBytes extra = ZAZip64CentralExtra(h, v);
    EXPECT_EQ(extra, Hex(c.extra)) << c.extra;

    TZAZip64Values back;
    if (!extra.empty()) {
      ASSERT_TRUE(ZALoadZip64Extra(extra.data() + 4, extra.size() - 4, h, back));
      EXPECT_EQ(back.UncompressedSize, c.usize ? v.UncompressedSize : 0);
      EXPECT_EQ(back.CompressedSize, c.csize ? v.CompressedSize : 0);
      EXPECT_EQ(back.LocalHeaderOffset, c.offset ? v.LocalHeaderOffset : 0);
      EXPECT_EQ(back.DiskNumber, c.disk ? v.DiskNumber : 0);
      // One byte short of what the header asks for.
      EXPECT_FALSE(ZALoadZip64Extra(extra.data() + 4, extra.size() - 5, h, back));
    }
  }
  TZAZip64Values local;
  TBytes localExtra(ZA_LOCAL_ZIP64_EXTRA_SIZE);
  ZAStoreLocalZip64Extra(localExtra.data(), v.UncompressedSize, v.CompressedSize);
  EXPECT_EQ(localExtra, Hex("0100 1000 1111111111000000 2222222222000000"));
}

TEST(ZAFormat, ExtraFieldSplitsIntoBlocksWithinItsLength) {
  struct Case {
    const char* field;
    bool ok;
    size_t blocks;
  };
  const Case cases[] = {
      {"", true, 0},
      {"5455 0500 0102030405", true, 1},
      {"5455 0000 7578 0200 AABB", true, 2},
      {"5455 0600 0102030405", false, 0},  // data runs past the end
      {"5455 0100 01 75", false, 0},       // a header cut short
      {"5455 FFFF 01", false, 0},
  };
  for (const Case& c : cases) {
    const TBytes field = Hex(c.field);
    TZAExtraBlocks blocks;
    EXPECT_EQ(ZAParseExtraField(field.data(), field.size(), blocks), c.ok) << c.field;
    if (c.ok) {
      EXPECT_EQ(blocks.size(), c.blocks) << c.field;
    }
  }
  const TBytes two = Hex("5455 0000 7578 0200 AABB");
  TZAExtraBlocks blocks;
  ASSERT_TRUE(ZAParseExtraField(two.data(), two.size(), blocks));
  EXPECT_EQ(blocks[0], (TZAExtraBlock{0x5554, {}}));
  EXPECT_EQ(blocks[1], (TZAExtraBlock{0x7875, {0xAA, 0xBB}}));
}

TEST(ZAFormat, StoredNamesUseForwardSlashesWithoutDriveOrServer) {
  struct Case {
    const char* path;
    bool directory;
    const char* stored;
  };
  const Case cases[] = {
      {"docs\\sub\\a.txt", false, "docs/sub/a.txt"},
      {"C:\\docs\\a.txt", false, "docs/a.txt"},
      {"c:a.txt", false, "a.txt"},
      {"\\\\server\\share\\a.txt", false, "share/a.txt"},
      {"//server/share/a.txt", false, "share/a.txt"},
      {"\\a.txt", false, "a.txt"},
      {"docs\\sub", true, "docs/sub/"},
      {"docs/sub/", true, "docs/sub/"},
      {"Отчёт\\файл.txt", false, "Отчёт/файл.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(ZAStoredName(c.path, c.directory), c.stored) << c.path;
}

class ZAFindEnd : public ::testing::Test {
 protected:
  TMemoryStream stream;
  TZAFoundEnd found;

  void PutEnd(const AnsiString& comment, uint16_t commentLength) {
    TZAEndRecord end;
    end.TotalEntries = end.EntriesOnDisk = 7;
    end.CommentLength = commentLength;
    Put(stream, Stored(end));
    Put(stream, comment);
  }
};

TEST_F(ZAFindEnd, AcceptsARecordWhoseCommentReachesTheEnd) {
  Put(stream, AnsiString(100, 'x'));
  PutEnd("note", 4);
  ASSERT_TRUE(ZAFindEndRecord(&stream, ZA_END_SIGNATURE, found));
  EXPECT_EQ(found.Position, 100);
  EXPECT_EQ(found.Record.TotalEntries, 7);
  EXPECT_EQ(found.Comment, "note");
}

TEST_F(ZAFindEnd, TrailingBytesAfterTheCommentAreSkipped) {
  Put(stream, AnsiString(100, 'x'));
  PutEnd("note", 4);
  Put(stream, AnsiString(100, 't'));
  ASSERT_TRUE(ZAFindEndRecord(&stream, ZA_END_SIGNATURE, found));
  EXPECT_EQ(found.Position, 100);
  EXPECT_EQ(found.Comment, "note");

  // A comment that would run past the end is no record's.
  stream.Clear();
  PutEnd("abc", 10);
  EXPECT_FALSE(ZAFindEndRecord(&stream, ZA_END_SIGNATURE, found));
}

TEST_F(ZAFindEnd, ARecordWhoseCommentReachesTheEndWinsOverOneFurtherOn) {
  // A record-like block inside a comment does not hide the real one.
  TZAEndRecord fake;
  fake.TotalEntries = 1;
  fake.CommentLength = 0;
  TBytes comment = Stored(fake);
  comment.push_back('!');
  PutEnd(AnsiString(comment.begin(), comment.end()), uint16_t(comment.size()));
  ASSERT_TRUE(ZAFindEndRecord(&stream, ZA_END_SIGNATURE, found));
  EXPECT_EQ(found.Position, 0);
  EXPECT_EQ(found.Record.TotalEntries, 7);
}

TEST_F(ZAFindEnd, LooksOnlyAtTheTailAndForTheAskedSignature) {
  PutEnd("", 0);
  EXPECT_FALSE(ZAFindEndRecord(&stream, ZA_ENGINE_END_SIGNATURE, found));
  ASSERT_TRUE(ZAFindEndRecord(&stream, ZA_END_SIGNATURE, found));

  // Beyond the longest comment the record cannot be.
  Put(stream, AnsiString(65600, 'x'));
  EXPECT_FALSE(ZAFindEndRecord(&stream, ZA_END_SIGNATURE, found));

  stream.Clear();
  Put(stream, AnsiString("PK\x05\x06"));
  EXPECT_FALSE(ZAFindEndRecord(&stream, ZA_END_SIGNATURE, found));
}

class ZALocalCheck : public ::testing::Test {
 protected:
  TMemoryStream stream;
  TZACentralHeader central;
  TZALocalHeader local;

  void SetUp() override {
    central.VersionNeeded = local.VersionNeeded = 0x14;
    central.Method = local.Method = 8;
    central.Time = local.Time = 0x1883;
    central.Date = local.Date = 0x5822;
    central.Crc32 = local.Crc32 = 0x352441C2;
    central.CompressedSize = local.CompressedSize = 5;
    central.UncompressedSize = local.UncompressedSize = 3;
    local.NameLength = 5;
  }

  // The local header at offset 10, after some bytes in front.
  bool Check() {
    stream.Clear();
    Put(stream, AnsiString(10, 'x'));
    Put(stream, Stored(local));
    Put(stream, AnsiString("a.txt"));
    return ZACheckLocalHeader(&stream, 10, central);
  }
};

TEST_F(ZALocalCheck, AcceptsAMatchingHeader) {
  EXPECT_TRUE(Check());
  local.Signature = ZA_ENGINE_LOCAL_SIGNATURE;
  EXPECT_TRUE(Check());
}

TEST_F(ZALocalCheck, RejectsAnyDifferingField) {
  const std::function<void(TZALocalHeader&)> changes[] = {
      [](TZALocalHeader& h) { h.Signature = ZA_CENTRAL_SIGNATURE; },
      [](TZALocalHeader& h) { h.VersionNeeded = 0x2D; },
      [](TZALocalHeader& h) { h.Method = 0; },
      [](TZALocalHeader& h) { h.Time++; },
      [](TZALocalHeader& h) { h.Date++; },
      [](TZALocalHeader& h) { h.Crc32++; },
      [](TZALocalHeader& h) { h.CompressedSize++; },
      [](TZALocalHeader& h) { h.UncompressedSize++; },
      [](TZALocalHeader& h) { h.NameLength = 50; },  // the name cannot be read
  };
  for (size_t i = 0; i < std::size(changes); ++i) {
    SetUp();
    changes[i](local);
    EXPECT_FALSE(Check()) << i;
  }
}

TEST_F(ZALocalCheck, LeavesOutWhatTheHeaderDoesNotCarry) {
  // Sizes and CRC in a data descriptor.
  local.Flags = ZA_FLAG_DATA_DESCRIPTOR;
  local.Crc32 = local.CompressedSize = local.UncompressedSize = 0;
  EXPECT_TRUE(Check());
  // Sizes in the local Zip64 extra field.
  SetUp();
  local.CompressedSize = local.UncompressedSize = ZA_ZIP64_VALUE32;
  EXPECT_TRUE(Check());
}

TEST_F(ZALocalCheck, AtTheStreamStartOnlyTheSignatureCounts) {
  local.Method = 0;
  local.Crc32 = 0;
  Put(stream, Stored(local));
  Put(stream, AnsiString("a.txt"));
  EXPECT_TRUE(ZACheckLocalHeader(&stream, 0, central));
  local.Signature = 0x12345678;
  stream.Clear();
  Put(stream, Stored(local));
  Put(stream, AnsiString("a.txt"));
  EXPECT_FALSE(ZACheckLocalHeader(&stream, 0, central));
}

}  // namespace
