// Byte layouts of the ZIP records the archiver writes and reads.
// Every record is stored and loaded field by field, little-endian; nothing
// here is ever written as a memory image of a struct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtl/Streams.h"
#include "rtl/Types.h"

// Little-endian fields.
inline void ZAPut16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void ZAPut32(uint8_t* p, uint32_t v) {
  ZAPut16(p, uint16_t(v));
  ZAPut16(p + 2, uint16_t(v >> 16));
}
inline void ZAPut64(uint8_t* p, uint64_t v) {
  ZAPut32(p, uint32_t(v));
  ZAPut32(p + 4, uint32_t(v >> 32));
}
inline uint16_t ZAGet16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t ZAGet32(const uint8_t* p) { return ZAGet16(p) | uint32_t(ZAGet16(p + 2)) << 16; }
inline uint64_t ZAGet64(const uint8_t* p) { return ZAGet32(p) | uint64_t(ZAGet32(p + 4)) << 32; }

// Signatures. TZipArchiver uses the standard set; the bare engine has its own
// set for the three main records.
constexpr uint32_t ZA_LOCAL_SIGNATURE = 0x04034B50;
constexpr uint32_t ZA_CENTRAL_SIGNATURE = 0x02014B50;
constexpr uint32_t ZA_END_SIGNATURE = 0x06054B50;
constexpr uint32_t ZA_ENGINE_LOCAL_SIGNATURE = 0x05045C61;
constexpr uint32_t ZA_ENGINE_CENTRAL_SIGNATURE = 0x03025C61;
constexpr uint32_t ZA_ENGINE_END_SIGNATURE = 0x06054141;
constexpr uint32_t ZA_ZIP64_END_SIGNATURE = 0x06064B50;
constexpr uint32_t ZA_ZIP64_LOCATOR_SIGNATURE = 0x07064B50;
constexpr uint32_t ZA_DATA_DESCRIPTOR_SIGNATURE = 0x08074B50;

struct TZASignatures {
  uint32_t Local;
  uint32_t Central;
  uint32_t End;
};
const TZASignatures& ZASignatures(bool standardSignatures);

// A 32-bit (16-bit) field holding this value has its real value in the Zip64
// extra field or the Zip64 end record.
constexpr uint32_t ZA_ZIP64_VALUE32 = 0xFFFFFFFF;
constexpr uint16_t ZA_ZIP64_VALUE16 = 0xFFFF;
constexpr uint16_t ZA_ZIP64_EXTRA_ID = 0x0001;
constexpr int ZA_LOCAL_ZIP64_EXTRA_SIZE = 20;

// Zip64 modes of the archiver.
constexpr uint8_t ZA_ZIP64_OFF = 0;
constexpr uint8_t ZA_ZIP64_AS_NEEDED = 1;
constexpr uint8_t ZA_ZIP64_ALWAYS = 2;

constexpr uint16_t ZA_FLAG_ENCRYPTED = 0x0001;
constexpr uint16_t ZA_FLAG_DIRECTORY = 0x0002;
constexpr uint16_t ZA_FLAG_DATA_DESCRIPTOR = 0x0008;
// The name is UTF-8: never set on the library's own members, kept on the
// members it reads.
constexpr uint16_t ZA_FLAG_UTF8 = 0x0800;
constexpr uint16_t ZA_METHOD_STORED = 0;
constexpr uint16_t ZA_METHOD_DEFLATE = 8;
constexpr uint32_t ZA_ATTR_DIRECTORY = 0x10;
constexpr uint32_t ZA_ATTR_ARCHIVE = 0x20;

// What the writing of records depends on, taken from the archiver.
struct TZAFormatSettings {
  bool StandardSignatures = true;
  bool OEMFileNames = true;
  uint8_t Zip64Mode = ZA_ZIP64_OFF;
};

// Version needed (and made by) of a member.
uint16_t ZAVersionNeeded(bool zip64, const TZAFormatSettings& settings);

struct TZALocalHeader {
  static constexpr int Size = 30;
  uint32_t Signature = ZA_LOCAL_SIGNATURE;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t Time = 0;
  uint16_t Date = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  void Store(uint8_t* p) const;
  void Load(const uint8_t* p);
};

struct TZACentralHeader {
  static constexpr int Size = 46;
  uint32_t Signature = ZA_CENTRAL_SIGNATURE;
  uint16_t VersionMadeBy = 0;
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t Time = 0;
  uint16_t Date = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalAttributes = 0;
  uint32_t ExternalAttributes = 0;
  uint32_t LocalHeaderOffset = 0;
  void Store(uint8_t* p) const;
  void Load(const uint8_t* p);
};

struct TZAEndRecord {
  static constexpr int Size = 22;
  uint32_t Signature = ZA_END_SIGNATURE;
  uint16_t DiskNumber = 0;
  uint16_t StartDisk = 0;
  uint16_t EntriesOnDisk = 0;
  uint16_t TotalEntries = 0;
  uint32_t DirectorySize = 0;
  uint32_t DirectoryOffset = 0;
  uint16_t CommentLength = 0;
  void Store(uint8_t* p) const;
  void Load(const uint8_t* p);
};

struct TZAZip64EndRecord {
  static constexpr int Size = 56;
  uint32_t Signature = ZA_ZIP64_END_SIGNATURE;
  uint64_t RecordSize = Size - 12;
  uint16_t VersionMadeBy = 45;
  uint16_t VersionNeeded = 45;
  uint32_t DiskNumber = 0;
  uint32_t StartDisk = 0;
  uint64_t EntriesOnDisk = 0;
  uint64_t TotalEntries = 0;
  uint64_t DirectorySize = 0;
  uint64_t DirectoryOffset = 0;
  void Store(uint8_t* p) const;
  void Load(const uint8_t* p);
};

struct TZAZip64Locator {
  static constexpr int Size = 20;
  uint32_t Signature = ZA_ZIP64_LOCATOR_SIGNATURE;
  uint32_t EndRecordDisk = 0;
  uint64_t EndRecordOffset = 0;
  uint32_t TotalDisks = 1;
  void Store(uint8_t* p) const;
  void Load(const uint8_t* p);
};

// Copies the fields that a local header and a central header share, from
// one kind to the other.
template <class To, class From>
void ZACopySharedFields(To& to, const From& from) {
  to.VersionNeeded = from.VersionNeeded;
  to.Flags = from.Flags;
  to.Method = from.Method;
  to.Time = from.Time;
  to.Date = from.Date;
  to.Crc32 = from.Crc32;
  to.CompressedSize = from.CompressedSize;
  to.UncompressedSize = from.UncompressedSize;
}

// Data descriptor with 32-bit sizes (signature included); only read, when
// the directory is rebuilt from the local headers.
struct TZADataDescriptor {
  static constexpr int Size = 16;
  uint32_t Signature = ZA_DATA_DESCRIPTOR_SIGNATURE;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  void Load(const uint8_t* p);
};

// The local Zip64 extra field: ID 1, data size 16, both sizes.
void ZAStoreLocalZip64Extra(uint8_t* p, uint64_t uncompressedSize, uint64_t compressedSize);

// The Zip64 values of a member: each is valid only when its fixed field
// holds the Zip64 value.
struct TZAZip64Values {
  uint64_t UncompressedSize = 0;
  uint64_t CompressedSize = 0;
  uint64_t LocalHeaderOffset = 0;
  uint32_t DiskNumber = 0;
};

// The central-form Zip64 extra field (header included) for the fields of h
// that hold the Zip64 value; empty when none does.
TBytes ZAZip64CentralExtra(const TZACentralHeader& h, const TZAZip64Values& values);

// Takes the values of a Zip64 extra block's data for the fields of h that
// hold the Zip64 value. False when the data is too short for them.
bool ZALoadZip64Extra(const uint8_t* data, size_t size, const TZACentralHeader& h,
                      TZAZip64Values& values);

// One block of an extra field, kept as read.
struct TZAExtraBlock {
  uint16_t HeaderID = 0;
  TBytes Data;
  bool operator==(const TZAExtraBlock&) const = default;
};
using TZAExtraBlocks = std::vector<TZAExtraBlock>;

// Splits an extra field into blocks; false when a block runs past the end.
bool ZAParseExtraField(const uint8_t* data, size_t size, TZAExtraBlocks& blocks);

// The stored form of a member name: "/" separators, no drive, no UNC server
// prefix, no leading separator; a directory name ends with "/".
AnsiString ZAStoredName(const AnsiString& path, bool isDirectory);

// The end record found at the end of a stream.
struct TZAFoundEnd {
  TZAEndRecord Record;
  AnsiString Comment;
  int64_t Position = 0;
};

// Looks for the end record with the given signature in the last 65600 bytes
// of the stream: the one whose comment reaches exactly the end of the
// stream, else the last one followed by its comment and trailing bytes.
bool ZAFindEndRecord(TStream* stream, uint32_t signature, TZAFoundEnd& found);

// Whether the local header at offset agrees with its central header: it must
// be readable with its name and carry a local signature of either set; away
// from position 0 its fields must match too. CRC and sizes left out of the
// header (data descriptor) or kept in its Zip64 extra are not compared.
bool ZACheckLocalHeader(TStream* stream, int64_t offset, const TZACentralHeader& central);
