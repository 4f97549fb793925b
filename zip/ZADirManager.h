// The in-memory central directory of an open archive: its entries, their
// case-insensitive name index, and the rule for adding a member under a name
// that is already there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rtl/Classes.h"
#include "rtl/Streams.h"
#include "rtl/Types.h"
#include "zip/ZAFormat.h"

enum TZAOverwriteMode { omPrompt, omAlways, omNever, omIfNewer, omIfOlder };

// Operation bytes of an entry.
constexpr uint8_t ZA_OP_NEW = 0;
// The source files go once the archive holds them.
constexpr uint8_t ZA_OP_MOVE = 1;
constexpr uint8_t ZA_OP_REPLACE = 3;

// One member of the directory.
struct TZADirItem {
  TZACentralHeader Header;
  AnsiString FileName;  // stored name, "/" separators, ANSI (UTF-8 when flagged so)
  // The name's bytes as read from the archive, written back as they are;
  // empty for a name given here.
  AnsiString NameBytes;
  bool OemName = false;  // NameBytes are in the OEM code page
  AnsiString Comment;
  TZAExtraBlocks ExtraBlocks;  // foreign blocks read from the archive
  bool Zip64 = false;
  TZAZip64Values Zip64Values;  // each valid when its fixed field says so
  bool Pending = false;        // to be written by the next update pass
  AnsiString Password;         // the archiver's Password when added
  // Source of a member added from a stream: shared so that the saved copy of
  // the array and the current one may both refer to it; an owned stream is
  // freed with the last reference.
  std::shared_ptr<TStream> Stream;
  bool OwnsStream = false;
  int64_t StreamPosition = 0;
  AnsiString SrcFileName;  // source of a member added from a file
  uint8_t CompressionMode = 0;
  uint8_t Operation = ZA_OP_NEW;

  // Real values, whether or not they are held as Zip64 values.
  uint64_t UncompressedSize() const;
  uint64_t CompressedSize() const;
  uint64_t LocalHeaderOffset() const;
  uint32_t DiskNumber() const;

  // The source size of a new member: sets the uncompressed size (as a Zip64
  // value when needed or always), the versions and, for an empty member with
  // standard signatures, the stored method. A size that needs Zip64 with the
  // Zip64 mode off raises error 41.
  void SetSourceSize(uint64_t size, const TZAFormatSettings& settings);
  // The outcome of compressing the member: CRC-32 and both sizes, as Zip64
  // values when needed or always; raises error 41 when they need Zip64 and
  // the mode is off.
  void SetResult(uint32_t crc32, uint64_t compressedSize, uint64_t uncompressedSize,
                 const TZAFormatSettings& settings);
  // Where the member's local header went; an offset that needs Zip64 with
  // the mode off raises error 43.
  void SetLocation(uint32_t diskNumber, uint64_t offset, const TZAFormatSettings& settings);

  // The name bytes of the records: those read from the archive, else with
  // OEMFileNames the ANSI name in the OEM code page. A name read with the
  // UTF-8 flag is not ANSI: it keeps its bytes both ways.
  AnsiString RecordName(const TZAFormatSettings& settings) const;
  // The name from a record's bytes; the flags must be in Header already.
  void SetRecordName(const AnsiString& bytes, bool oemFileNames);
  // The name's characters, decoded as its flag and code page say; a byte
  // that stands for no character stays a code of its own (above 0x10FFFF).
  std::u32string DecodedName() const;

  // Takes over a stream as the member's source; an owned one is freed once
  // no entry refers to it.
  void SetSource(TStream* stream, bool ownsStream, int64_t position);
  // After the member was written: drops the stream, putting a caller's
  // stream back to its start position.
  void ReleaseSource();

  // The local header with the name and, when the uncompressed-size field
  // holds the Zip64 value, the local Zip64 extra field.
  TBytes LocalHeaderBytes(const TZAFormatSettings& settings) const;
  // The central record with the name, the extra field (Zip64 extra first,
  // then the foreign blocks) and the comment.
  TBytes CentralRecordBytes(const TZAFormatSettings& settings) const;
  // Keeps the blocks of an extra field read from an archive; a Zip64 block
  // gives the Zip64 values and marks the entry as Zip64. False when the
  // field is malformed.
  bool LoadExtraField(const uint8_t* data, size_t size);
};

// Chained hash of names to indexes.
class TZAStringHash {
 public:
  explicit TZAStringHash(int32_t bucketCount);
  ~TZAStringHash();
  TZAStringHash(const TZAStringHash&) = delete;
  TZAStringHash& operator=(const TZAStringHash&) = delete;

  static uint32_t HashOf(const AnsiString& key);
  void Add(const AnsiString& key, int32_t value);
  void Remove(const AnsiString& key);
  void Clear();
  // The value of key, or -1.
  int32_t ValueOf(const AnsiString& key) const;
  // Every value of key, ascending.
  std::vector<int32_t> ValuesOf(const AnsiString& key) const;
  int32_t BucketCount() const { return int32_t(FBuckets.size()); }

 private:
  struct TItem {
    TItem* Next;
    AnsiString Key;
    int32_t Value;
  };
  std::vector<TItem*> FBuckets;
};

// Lower-cased entry names at their entries' indexes, with a hash index
// built on the first lookup.
class TZAHashedStringList : public TStringList {
 public:
  TZAHashedStringList();
  ~TZAHashedStringList() override;

  // Adds the lower-cased name (Add comes here too).
  int AddObject(const AnsiString& s, TObject* object) override;
  // Replaces the name at index with the lower-cased one.
  void Put(int index, const AnsiString& s) override;
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  void Clear() override;
  void Exchange(int index1, int index2) override;
  // Index of the name (any letter case), or -1.
  int IndexOf(const AnsiString& s) const override;
  // Every index of the name (any letter case), ascending.
  std::vector<int32_t> IndexesOf(const AnsiString& s) const;
  // Keeps the first count names.
  void Truncate(int count);
  // Buckets of the hash index, 0 while it is not built.
  int32_t HashSize() const;

 private:
  void RebuildHash() const;
  mutable std::unique_ptr<TZAStringHash> FHash;
  mutable bool FHashValid = false;
};

class TZADirArray {
 public:
  TZADirArray() = default;
  TZADirArray(const TZADirArray&) = delete;
  TZADirArray& operator=(const TZADirArray&) = delete;

  int32_t Count() const { return int32_t(FItems.size()); }
  // Grows with new empty entries or shrinks; 0 frees every entry.
  void SetCount(int32_t count);
  int32_t Capacity() const { return FCapacity; }
  // A copy of an entry; an index out of range raises error 2.
  TZADirItem GetItem(int32_t index) const;
  // The entry in place; an index out of range raises error 3.
  TZADirItem& Items(int32_t index);
  const TZADirItem& Items(int32_t index) const;
  void Clear() { SetCount(0); }
  // Copies every entry and name of source.
  void Assign(const TZADirArray& source);
  // Appends an entry under its name; returns its index.
  int32_t Add(const TZADirItem& item);
  // Removes an entry and its name.
  void Delete(int32_t index);
  // Index of the entry with this (ANSI) name, or -1. Stored names are
  // compared as their flag and code page decode them: an exact match
  // first, else the first entry whose name differs in letter case only.
  int32_t Find(const AnsiString& name);
  // Gives the entry at index a new (ANSI) name, keeping the name index in
  // step; a name registered at another index raises error 59.
  void Rename(int32_t index, const AnsiString& newName);
  TZAHashedStringList& Names() { return FNames; }

 private:
  void CheckIndex(int32_t index, int32_t error) const;
  std::vector<TZADirItem> FItems;
  int32_t FCapacity = 0;
  int32_t FGrowStep = 500;
  TZAHashedStringList FNames;
};

// What the directory asks of the archiver that owns it when a member is
// added.
struct TZANewEntrySettings {
  TZAFormatSettings Format;
  TZAOverwriteMode OverwriteMode = omAlways;
  AnsiString Password;
  uint8_t CompressionMode = 1;
  uint16_t CompressionMethod = ZA_METHOD_DEFLATE;
};

class TZADirOwner {
 public:
  virtual ~TZADirOwner() = default;
  virtual TZANewEntrySettings NewEntrySettings() const = 0;
  // omPrompt: may the entry be replaced by the new source?
  virtual bool ConfirmOverwrite(const TZADirItem& existing, const AnsiString& newSource) = 0;
};

class TZADirManager {
 public:
  // The stream stays the archiver's: it is not freed here.
  TZADirManager(TStream* stream, TZADirOwner* owner);

  TStream* Stream;
  TZADirOwner* Owner;
  TZADirArray Items;       // the current entries
  TZADirArray SavedItems;  // the entries when the update bracket opened
  TZAEndRecord EndRecord;
  AnsiString ArchiveComment;
  int64_t DirectoryOffset = 0;  // where the central directory starts
  int64_t DataStart = 0;        // where member data begins (after a stub)
  bool IsZip64 = false;
  TZAZip64EndRecord Zip64EndRecord;
  TZAZip64Locator Zip64Locator;
  bool CreatedNew = false;
  bool CallerStream = false;

  // Adds a member under name, or replaces the entry of that name as the
  // OverwriteMode says. The date of a stream member is dateTime; the date
  // of a file member is the file's age (now when unknown). Returns the
  // entry's index, or -1 when the existing entry stays.
  int32_t AddOrReplace(const AnsiString& name, TDateTime dateTime, uint32_t attributes,
                       bool isDirectory);
  int32_t AddOrReplaceFile(const AnsiString& name, const AnsiString& srcFileName,
                           uint32_t attributes, bool isDirectory);

 private:
  int32_t Place(const AnsiString& name, uint32_t dosDateTime, const AnsiString& srcFileName,
                uint32_t attributes, bool isDirectory);
};
