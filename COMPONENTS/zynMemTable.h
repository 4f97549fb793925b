// The in-memory table engine's shared types: compare options, the field
// list of indexes, key searches and ranges, the engine's exceptions, and
// IzynMemTable, through which the engine calls back into the table that
// uses it (the dataset class implements it; the engine's tests use a small
// one). The storage, indexes and stream formats live in zynCommon,
// zynIndexes, zynStreamFormat and zynBlobStream.
#pragma once

#include <cstdint>
#include <functional>

#include "db/DB.h"

inline constexpr int ZYN_MAX_FIELDS = 512;

// Compare options, bits of one byte.
using TzynMemTableCompareOptions = uint8_t;
enum TzynMemTableCompareOption : uint8_t {
  mtcoDescending = 1,
  mtcoCaseInsensitive = 2,
  mtcoPartialKey = 4,
  mtcoIgnoreNullKey = 8,
  mtcoIgnoreLocale = 16,
  mtcoUnique = 32,
  mtcoNonMaintained = 64
};

enum TzynPerformance : uint8_t { mtpfFast, mtpfBalanced, mtpfSmall };
enum TzynVersioningMode : uint8_t { mtvm1SinceCheckPoint, mtvmAllSinceCheckPoint };
enum TzynProgressCode : uint8_t {
  mtpcLoad,
  mtpcSave,
  mtpcEmpty,
  mtpcPack,
  mtpcCheckPoint,
  mtpcSearch,
  mtpcCopy,
  mtpcUpdate,
  mtpcSort
};

class EMemTableError : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};
class EMemTableFatalError : public EMemTableError {
 public:
  using EMemTableError::EMemTableError;
};
class EMemTableInvalidRecord : public EMemTableFatalError {
 public:
  using EMemTableFatalError::EMemTableFatalError;
};
class EMemTableDupKey : public EMemTableError {
 public:
  using EMemTableError::EMemTableError;
};
class EMemTableFilterError : public EMemTableError {
 public:
  using EMemTableError::EMemTableError;
};

inline constexpr const char* SzynTooManyFields =
    "Too many fielddefs. Please raise ZYN_MAX_FIELDS value.";

// Which fields take part in an index, key search or range, in order, with
// their compare options and where their values lie in a record.
class TzynFieldList {
 public:
  int32_t Count = 0;
  int32_t FieldOfs[ZYN_MAX_FIELDS];
  int32_t FieldNo[ZYN_MAX_FIELDS];
  TField* Fields[ZYN_MAX_FIELDS];
  uint8_t Options[ZYN_MAX_FIELDS];

  virtual ~TzynFieldList() = default;
  virtual void Clear() { Count = 0; }
  // EMemTableError when the list is full.
  int32_t Add(TField* Field, TzynMemTableCompareOptions FieldOptions);
  int32_t IndexOf(const TField* Field) const;
  void AssignTo(TzynFieldList& Other) const;
  // ORs these options into the other list's first entries.
  void MergeOptions(TzynFieldList& Other) const;
};

TzynMemTableCompareOptions IndexOptionsToCompareOptions(TIndexOptions Options);

// "Form.Table": the names of the named owners, outermost first.
AnsiString ComponentPathName(const TComponent* Component);

class TzynCommon;
class TzynIndex;
class TzynIndexes;
struct TzynRecord;

using TzynCompareFieldsEvent =
    std::function<void(TDataSet* DataSet, TField* Field, const void* KeyValue,
                       const void* RowValue, TFieldType FieldType,
                       TzynMemTableCompareOptions Options, bool& FullCompare, int& Result)>;
using TzynFilterIndexEvent = std::function<void(TDataSet* DataSet, TzynIndex* Index, bool& Accept)>;
using TzynSetupFieldEvent = std::function<void(TDataSet* DataSet, TField* Field, uint8_t& Flags)>;
// Value bytes in, stored (or read back) bytes out.
using TzynConvertFieldEvent =
    std::function<void(TDataSet* DataSet, TField* Field, const AnsiString& Source, AnsiString& Dest)>;
using TzynConvertStreamEvent =
    std::function<void(TDataSet* DataSet, TStream* Source, TStream* Dest)>;
using TzynAcceptEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;
using TzynFieldEvent = std::function<void(TDataSet* DataSet, int FieldIndex, TField* Field)>;

// What a save switches off and puts back.
struct TzynViewSwitches {
  bool Filtered = false;
  bool Ranged = false;
  bool MasterDetail = false;
};

// The table as the engine sees it. The plain members are the table's state
// that the engine reads and moves (cursor row, current index, switches);
// the operations are what only the table can do.
class IzynMemTable {
 public:
  virtual ~IzynMemTable() = default;

  virtual TDataSet* DataSet() = 0;
  virtual TIndexDefs* IndexDefs() = 0;
  // Between a successful open and the close.
  virtual bool CursorOpen() const = 0;
  // The cursor must test each record (filter, range, master).
  virtual bool FilteringNeeded() const = 0;
  // Filter, range and master restriction on a stored record.
  virtual bool PassesRecordFilter(TzynRecord* Record) = 0;
  // Computes the calculated fields into the record.
  virtual void CalcRecordFields(TzynRecord* Record) = 0;
  // An automatic search index (fields with option letters).
  virtual TzynIndex* AddIndex(const AnsiString& Name, const AnsiString& Fields,
                              TIndexOptions Options) = 0;
  // The storage was emptied under the table.
  virtual void ResetCursor() = 0;
  // Re-reads the window after other tables changed the records.
  virtual void ResyncCursor() = 0;
  // Refreshes when in browse state.
  virtual void RefreshIfBrowsing() = 0;
  // The storage the table stood on is gone; it takes a fresh one.
  virtual void StorageDestroyed() = 0;

  // Around saves and loads.
  virtual TzynViewSwitches SuspendView(const TzynViewSwitches& SwitchOff) = 0;
  virtual void ResumeView(const TzynViewSwitches& Saved) = 0;
  virtual void UpdateIsFiltered() = 0;
  virtual void Progress(int Percent, TzynProgressCode Code) = 0;
  // Drops the indexes and index definitions before loaded ones come.
  virtual void ClearIndexes() = 0;
  // Builds the indexes from the index definitions.
  virtual void UpdateIndexes() = 0;

  TzynCommon* Common = nullptr;
  int AttachIndex = -1;
  TzynIndexes* Indexes = nullptr;
  TzynIndex* CurrentIndex = nullptr;
  // Row of the cursor in the current index: -1 before the first.
  int32_t CurRec = -1;
  // The stored record that field reads go to while filters and saves run.
  TzynRecord* CurrentRecordOverride = nullptr;

  bool EnableIndexes = true;
  bool AutoAddIndexes = false;
  bool RecalcOnIndex = true;
  bool AutoReposition = true;
  bool AttachedAutoRefresh = true;
  bool Loading = false;
  int32_t LoadLimit = -1, SaveLimit = -1;
  bool LoadedCompletely = false, SavedCompletely = false;

  TzynCompareFieldsEvent OnCompareFields;
  TzynFilterIndexEvent OnFilterIndex;
  TzynSetupFieldEvent OnSetupField;
  TzynConvertFieldEvent OnCompressField, OnDecompressField;
  TzynConvertStreamEvent OnCompressBlobStream, OnDecompressBlobStream;
  TzynAcceptEvent OnLoadRecord, OnSaveRecord;
  TzynFieldEvent OnLoadField, OnSaveField;
};

// The UniqueRecordID of the table's active record, -1 when there is none.
int32_t CurrentRecordID(IzynMemTable* Table);
