// TzynCommon: the record storage that one table creates and the tables
// attached to it share: records and their older versions, out-of-line
// values, record identities, the record layout, the attach slots, the
// transaction level, all under one lock.
#pragma once

#include <cstdint>
#include <vector>

#include "FastList.h"
#include "rtl/OsShim.h"
#include "zynMemTable.h"

// One heap block: this header, then the data area.
struct TzynRecord {
  int32_t RecordNo;          // row in the index of the table that placed it last
  int32_t RecordID;          // slot in the storage
  int32_t UniqueRecordID;    // identity, never reused while the owner is open
  uint8_t Flag;              // bit 0: the current version held in a slot
  uint8_t UpdateStatus;      // TUpdateStatus
  int32_t TransactionLevel;  // level of the last change
  uint32_t Tag;
  TzynRecord* PrevRecordVersion;
  uint8_t* Data;
};

// Flag bits of a field entry.
enum : uint8_t { zffOutOfLine = 1, zffCompressed = 2, zffMarked = 4 };
// Update operations reflected in the indexes.
enum TzynChange : uint8_t { zcInsert, zcModify, zcDelete };

inline constexpr int32_t zynBookmarkSlotSize = 8;
inline constexpr int32_t zynOutOfLineSlotSize = 1 + static_cast<int32_t>(sizeof(void*));
inline constexpr int32_t zynUniqueIDLimit = 2147483600;

// An out-of-line value: 32-bit length, then the bytes.
uint8_t* MakeValueBuffer(int32_t Length);
uint8_t* MakeValueBuffer(const void* Bytes, int32_t Length);
uint8_t* DuplicateValueBuffer(const uint8_t* Buffer);
int32_t ValueBufferLength(const uint8_t* Buffer);
inline uint8_t* ValueBufferBytes(uint8_t* Buffer) { return Buffer + 4; }
inline const uint8_t* ValueBufferBytes(const uint8_t* Buffer) { return Buffer + 4; }
void FreeValueBuffer(uint8_t* Buffer);

// In-line bytes of a value of the type (without the state byte); 0 for the
// types kept out of line or not kept at all.
int32_t InlineValueSize(TFieldType Type, int32_t Size);
bool IsSupportedType(TFieldType Type);

class TzynCommon;

// A field's value as stored: into the record, or into Holder when a
// decompress step made it.
struct TzynValue {
  const uint8_t* Data = nullptr;
  int32_t Length = 0;
  AnsiString Holder;
};

// Offset of the field's state byte in a record's data area.
int32_t FieldDataOffset(const TzynCommon* Common, const TField* Field);
// The field's value bytes (text with its terminating zero); false when null.
bool GetRecordValue(IzynMemTable* Table, const TzynRecord* Record, TField* Field, int32_t Offset,
                    TzynValue& Value);
// Stores a value into the record: text without its zero, cut to the field's
// size; out-of-line values through the compress step. Null Data clears.
void PutRecordValue(IzynMemTable* Table, TzynRecord* Record, TField* Field, const void* Data,
                    int32_t Length);

class TzynCommon {
 public:
  explicit TzynCommon(IzynMemTable* AOwner);
  // Tables still attached are closed and get a storage of their own.
  ~TzynCommon();
  TzynCommon(const TzynCommon&) = delete;
  TzynCommon& operator=(const TzynCommon&) = delete;

  void Enter() {
    if (!FStandalone) FLock.Enter();
  }
  void Leave() {
    if (!FStandalone) FLock.Leave();
  }

  IzynMemTable* Owner() const { return FOwner; }
  void LayoutRecord(int32_t FieldCount);

  // Records.
  TzynRecord* AllocateRecord();
  void ClearRecord(TzynRecord* Record);
  // Frees the record's own out-of-line buffers and empties their slots.
  void ClearValues(TzynRecord* Record);
  void FreeRecord(TzynRecord* Record, bool FreeValues, bool FreeVersions);
  void CopyRecord(const TzynRecord* Source, TzynRecord* Dest);
  // A dataset buffer made a copy of the stored record at the index row; its
  // out-of-line values are read from the stored record.
  void FetchRecord(const TzynRecord* Stored, TzynRecord* Buffer, int32_t Row);
  TzynRecord* DuplicateRecord(const TzynRecord* Source, bool WithValues);
  void MoveRecord(TzynRecord* Source, TzynRecord* Dest);
  void AddRecord(TzynRecord* Record);
  // Puts a newer version into the slot its RecordID names.
  void ReplaceRecord(TzynRecord* Record);
  void RemoveRecord(TzynRecord* Record);
  void RemoveAndFreeRecord(TzynRecord* Record);
  void FreeAllRecords();
  int32_t RecordCount() const { return FRecords.Count(); }
  TzynRecord* Records(int32_t Slot) const {
    return static_cast<TzynRecord*>(FRecords.Items(Slot));
  }
  // The stored record a buffer stands for: same slot and identity.
  TzynRecord* StoredRecord(const TzynRecord* Buffer) const;
  // Room for this many slots in advance.
  void ReserveRecords(int32_t Count);

  // Field values. Offsets and slots follow the layout.
  int32_t FieldCount() const { return FFieldCount; }
  int32_t FieldOffsets(int32_t Entry) const { return FFieldOffsets[Entry]; }
  uint8_t FieldFlags(int32_t Entry) const { return FFieldFlags[Entry]; }
  void SetFieldMark(int32_t Entry) { FFieldFlags[Entry] |= zffMarked; }
  void ClearFieldMarks();
  bool IsOutOfLine(int32_t Entry) const { return FFieldFlags[Entry] & zffOutOfLine; }
  // Out-of-line slot of an entry: state byte and buffer pointer.
  uint8_t OutOfLineState(const TzynRecord* Record, int32_t Entry) const {
    return Record->Data[FFieldOffsets[Entry]];
  }
  uint8_t* OutOfLineBuffer(const TzynRecord* Record, int32_t Entry) const;
  void SetOutOfLine(TzynRecord* Record, int32_t Entry, uint8_t State, uint8_t* Buffer) const;
  // The out-of-line buffer of a record, or of its stored record when a
  // dataset buffer has none of its own; null when the value is null.
  const uint8_t* ResolveOutOfLine(const TzynRecord* Record, int32_t Entry) const;

  // Attach slots.
  void AttachTable(IzynMemTable* Table);
  void DetachTable(IzynMemTable* Table);
  int32_t TableCount() const { return static_cast<int32_t>(FTables.size()); }
  IzynMemTable* Tables(int32_t Index) const { return FTables[static_cast<size_t>(Index)]; }
  bool AnyTableActive() const;
  int32_t AttachMaxCount() const { return FAttachMaxCount; }
  void SetAttachMaxCount(int32_t Value);
  bool Standalone() const { return FStandalone; }
  void SetStandalone(bool Value);

  // The tables on the storage.
  void CloseOtherTables(IzynMemTable* Table);
  void RefreshOtherTables(IzynMemTable* Table);
  // Empties the storage; the open tables lose their rows in the same step.
  void Empty();
  void MarkIndexes();
  void RebuildIndexes();
  void Resynchronise();
  void ReflectChange(TzynChange Operation, TzynRecord* Record, IzynMemTable* Table,
                     int32_t Position, TzynRecord* OldRecord);

  // Transactions.
  int32_t TransactionLevel() const { return FTransactionLevel; }
  void IncreaseTransactionLevel() { ++FTransactionLevel; }
  void DecreaseTransactionLevel() {
    if (FTransactionLevel > 0) --FTransactionLevel;
  }
  void CommitLevel();
  void RollbackLevel();

  // Identities restart only when the owner closes: marks and bookmarks
  // name records by them.
  void ResetIdentities();
  int32_t UniqueRecordIDCounter() const { return FUniqueRecordIDCounter; }
  int32_t TableID() const { return FTableID; }

  // Settings.
  TzynPerformance Performance = mtpfFast;
  TzynVersioningMode VersioningMode = mtvm1SinceCheckPoint;
  bool EnableVersioning = false;
  bool IsDataModified = false;
  bool LockedByTable = false;
  int32_t DeletedCount = 0;
  int32_t AutoIncMin() const { return FAutoIncMin; }
  void SetAutoIncMin(int32_t Value);
  int32_t AutoIncMax = 0;

  int32_t LocaleID() const { return FLocaleID; }
  void SetLocaleID(int32_t Value);
  int32_t LanguageID() const { return FLanguageID; }
  void SetLanguageID(int32_t Value);
  int32_t SubLanguageID() const { return FSubLanguageID; }
  void SetSubLanguageID(int32_t Value);
  int32_t SortID() const { return FSortID; }
  void SetSortID(int32_t Value);

  // Layout.
  int32_t BookmarkArraySize() const { return FBookmarkArraySize; }
  int32_t FixedRecordSize() const { return FFixedRecordSize; }
  int32_t RecordAllocSize() const { return FRecordAllocSize; }
  int32_t RecordDataSize() const { return FRecordDataSize; }
  int32_t CalcFieldsSize() const { return FCalcFieldsSize; }
  int32_t StartCalculated() const { return FStartCalculated; }
  int32_t StartBookmarks() const { return FStartBookmarks; }
  int32_t StartOutOfLine() const { return FStartOutOfLine; }
  int32_t OutOfLineCount() const { return FOutOfLineCount; }
  int32_t OutOfLineSize() const { return FOutOfLineCount * zynOutOfLineSlotSize; }

 private:
  void NewTableID();
  void UpdateLocaleID();
  void RecountDeleted();

  TCriticalSection FLock;
  bool FStandalone = false;
  TFastList FRecords;
  TFastList FFreedSlots;
  IzynMemTable* FOwner;
  std::vector<IzynMemTable*> FTables;
  int32_t FAttachMaxCount = 1;
  int32_t FFieldCount = 0;
  int32_t FFieldOffsets[ZYN_MAX_FIELDS] = {};
  uint8_t FFieldFlags[ZYN_MAX_FIELDS] = {};
  int32_t FLanguageID = 0, FSubLanguageID = 1, FSortID = 0;
  int32_t FLocaleID = 1024;
  int32_t FTableID = -1;
  int32_t FBookmarkArraySize = zynBookmarkSlotSize;
  int32_t FFixedRecordSize = 0, FRecordAllocSize = 0, FRecordDataSize = 0;
  int32_t FCalcFieldsSize = 0;
  int32_t FStartCalculated = 0, FStartBookmarks = 0, FStartOutOfLine = 0;
  int32_t FOutOfLineCount = 0;
  int32_t FAutoIncMin = 0;
  int32_t FUniqueRecordIDCounter = 0;
  int32_t FTransactionLevel = 0;
};

// Holds a storage's lock for a scope.
class TzynLock {
 public:
  explicit TzynLock(TzynCommon* Common) : FCommon(Common) { FCommon->Enter(); }
  ~TzynLock() { FCommon->Leave(); }
  TzynLock(const TzynLock&) = delete;
  TzynLock& operator=(const TzynLock&) = delete;

 private:
  TzynCommon* FCommon;
};
