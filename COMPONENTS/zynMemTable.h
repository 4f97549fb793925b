// The in-memory table engine's shared types: compare options, the field
// list of indexes, key searches and ranges, the engine's exceptions, and
// IzynMemTable, through which the engine calls back into the table that
// uses it (the dataset class implements it; the engine's tests use a small
// one). The storage, indexes and stream formats live in zynCommon,
// zynIndexes, zynStreamFormat and zynBlobStream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

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
class TzynCustomStreamFormat;
class TzynBinaryStreamFormat;
class TzynExprEvaluator;
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
  // Refreshes when in browse state, keeping the shown record while it lasts.
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

// ---- The table -----------------------------------------------------------------

using TzynProgressCodes = TSet<TzynProgressCode>;
using TzynProgressEvent =
    std::function<void(TObject* Sender, int Percent, TzynProgressCode Code)>;

// Points field reads at Record for the life of a scope; the record read
// before comes back however the scope ends.
class TzynRecordOverride {
 public:
  TzynRecordOverride(IzynMemTable& Table, TzynRecord* Record)
      : FTable(Table), FSaved(Table.CurrentRecordOverride) {
    Table.CurrentRecordOverride = Record;
  }
  ~TzynRecordOverride() { FTable.CurrentRecordOverride = FSaved; }
  TzynRecordOverride(const TzynRecordOverride&) = delete;
  TzynRecordOverride& operator=(const TzynRecordOverride&) = delete;

 private:
  IzynMemTable& FTable;
  TzynRecord* FSaved;
};

class TzynCustomDeltaHandler;

// Where a save goes or a load comes from, as OnSave and OnLoad tell it.
enum TzynStorageKind : uint8_t { mtskDataSet = 0, mtskForm = 1, mtskFile = 3 };
// The stream is null for a dataset.
using TzynStorageEvent = std::function<void(TObject* Sender, TzynStorageKind Kind, TStream* Stream)>;

// The in-memory dataset: records in a TzynCommon (its own, or that of the
// table it is attached to), read in the order of one of its indexes.
//
// Bookmarks are (slot, identity, population stamp): valid while the slot
// holds that record. A record buffer is a storage record; its bookmark slot
// for this table holds the slot number and the bookmark flag.
class TzynCustomMemTable : public TDataSet, public IzynMemTable {
 public:
  explicit TzynCustomMemTable(TComponent* AOwner);
  ~TzynCustomMemTable() override;

  // IzynMemTable.
  TDataSet* DataSet() override { return this; }
  TIndexDefs* IndexDefs() override { return FIndexDefs.get(); }
  bool CursorOpen() const override { return FCursorOpen; }
  bool FilteringNeeded() const override;
  bool PassesRecordFilter(TzynRecord* Record) override;
  void CalcRecordFields(TzynRecord* Record) override;
  TzynIndex* AddIndex(const AnsiString& Name, const AnsiString& Fields,
                      TIndexOptions Options) override;
  void ResetCursor() override;
  void ResyncCursor() override;
  void RefreshIfBrowsing() override;
  void StorageDestroyed() override;
  TzynViewSwitches SuspendView(const TzynViewSwitches& SwitchOff) override;
  void ResumeView(const TzynViewSwitches& Saved) override;
  void UpdateIsFiltered() override {}
  void Progress(int Percent, TzynProgressCode Code) override;
  void ClearIndexes() override;
  void UpdateIndexes() override;

  // Storage settings.
  TzynCustomMemTable* AttachedTo() const { return FAttachedTo; }
  // Shares the other table's records (closed tables only); null: records
  // of its own again.
  void SetAttachedTo(TzynCustomMemTable* Value);
  int32_t AttachMaxCount() const;
  void SetAttachMaxCount(int32_t Value);
  bool Standalone() const;
  void SetStandalone(bool Value);
  TzynPerformance Performance() const;
  void SetPerformance(TzynPerformance Value);
  bool EnableVersioning() const;
  void SetEnableVersioning(bool Value);
  TzynVersioningMode VersioningMode() const;
  void SetVersioningMode(TzynVersioningMode Value);
  int32_t AutoIncMinValue() const { return FAutoIncMinValue; }
  void SetAutoIncMinValue(int32_t Value) { FAutoIncMinValue = Value; }
  int32_t LocaleID() const;
  void SetLocaleID(int32_t Value);
  AnsiString Version() const { return "4.04"; }
  void SetVersion(const AnsiString&) {}
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  TzynProgressCodes ProgressFlags;
  TzynProgressEvent OnProgress;
  // Calculated fields are computed each time a record is fetched into a
  // buffer; off, a buffer shows what the stored record holds.
  bool RecalcOnFetch = true;
  // Kept for the application; the table does not read them.
  AnsiString SortFields;
  TzynMemTableCompareOptions SortOptions = 0;
  // Before a file is written or read (the stream: the file), and before
  // records are copied to or from a dataset (no stream).
  TzynStorageEvent OnSave, OnLoad;

  // The handler that resolves this table's changes: setting it links it
  // back to the table and lets go of the one before. Null once it is freed.
  TzynCustomDeltaHandler* DeltaHandler() const { return FDeltaHandler; }
  void SetDeltaHandler(TzynCustomDeltaHandler* Value);
  // Formats kept for the application (null once freed); the table saves
  // with PersistentFormat and its own binary format.
  TzynCustomStreamFormat* DefaultFormat() const { return FDefaultFormat; }
  void SetDefaultFormat(TzynCustomStreamFormat* Value) { SetFormat(FDefaultFormat, Value); }
  TzynCustomStreamFormat* CommaTextFormat() const { return FCommaTextFormat; }
  void SetCommaTextFormat(TzynCustomStreamFormat* Value) { SetFormat(FCommaTextFormat, Value); }
  TzynCustomStreamFormat* AllDataFormat() const { return FAllDataFormat; }
  void SetAllDataFormat(TzynCustomStreamFormat* Value) { SetFormat(FAllDataFormat, Value); }

  // Indexes.
  TzynIndexes* IndexList() const { return Indexes; }
  TzynIndex* AddIndexOf(const AnsiString& Name, const AnsiString& Fields, TIndexOptions Options) {
    return AddIndex(Name, Fields, Options);
  }
  // An index that holds only the records that pass its own filter: the
  // text (with the options; none when empty) and the event.
  TzynIndex* AddFilteredIndex(const AnsiString& Name, const AnsiString& Fields,
                              TIndexOptions Options, const AnsiString& FilterText,
                              TFilterOptions FilterOptions, const TzynFilterIndexEvent& FilterEvent);
  void DeleteIndex(const AnsiString& Name);
  // Virtual: a server-backed table hides and adds its level prefix.
  virtual AnsiString IndexFieldNames() const { return FIndexFieldNames; }
  virtual void SetIndexFieldNames(const AnsiString& Value);
  virtual AnsiString IndexName() const { return FIndexName; }
  // An unknown name raises index-not-found.
  virtual void SetIndexName(const AnsiString& Value);

  // Master/detail: the table shows the records whose detail fields (else
  // its index fields) equal the master fields of the master source's record.
  TDataSource* MasterSource() const;
  void SetMasterSource(TDataSource* Value);
  const AnsiString& MasterFields() const;
  void SetMasterFields(const AnsiString& Value);
  const AnsiString& DetailFields() const { return FDetailFields; }
  void SetDetailFields(const AnsiString& Value) { FDetailFields = Value; }

  // Key searches over the current index. SetKey puts the table in the
  // set-key state with an empty key whose index fields take values through
  // the fields; a key holds over its index fields up to the last one given.
  // Post or any move leaves the state, Cancel too.
  void SetKey();
  bool GotoKey();
  // The values fill the current index's first fields.
  bool FindKey(const std::vector<Variant>& Values);
  // To the first shown row whose key is not below the values.
  void FindNearest(const std::vector<Variant>& Values);
  // A range's bounds are keys set as with SetKey; the shown records change
  // only at ApplyRange, which takes the bounds set since the last one (a
  // cancelled one stays as it was).
  void SetRangeStart();
  void SetRangeEnd();
  void ApplyRange();
  // Shows the rows whose current index fields lie between the bounds; each
  // bound holds over as many fields as it has values.
  void SetRange(const std::vector<Variant>& StartValues, const std::vector<Variant>& EndValues);
  void CancelRange();
  bool RangeActive() const { return FRangeActive; }

  // Versions and transactions.
  int32_t TransactionLevel() const;
  bool IsDataModified() const;
  void SetIsDataModified(bool Value);
  virtual void StartTransaction();
  virtual void Commit();
  virtual void Rollback();

  // Streams and files through a format (EMemTableError without one).
  virtual void SaveToStreamViaFormat(TStream* Stream, TzynCustomStreamFormat* Format);
  virtual void LoadFromStreamViaFormat(TStream* Stream, TzynCustomStreamFormat* Format);
  void SaveToFile(const AnsiString& FileName, TzynCustomStreamFormat* Format);
  void LoadFromFile(const AnsiString& FileName, TzynCustomStreamFormat* Format);
  // In the binary format.
  void SaveToStream(TStream* Stream);
  void LoadFromStream(TStream* Stream);
  void SaveToBinaryFile(const AnsiString& FileName);
  virtual void LoadFromBinaryFile(const AnsiString& FileName);

  // Copies between datasets. Copy flags: 1 the structure, 2 only definitions
  // the source has fields for, 4 the fields' display properties, 8 the
  // source's lookup fields, 16 its calculated fields, 32 append to the
  // records present, 64 the new fields at the source fields' positions.
  enum : int {
    cfStructure = 1,
    cfSourceFieldsOnly = 2,
    cfDisplayProperties = 4,
    cfLookupFields = 8,
    cfCalculatedFields = 16,
    cfAppend = 32,
    cfSourceOrder = 64
  };
  virtual int CopyRecords(TDataSet* Source, TDataSet* Destination, int Limit);
  virtual void LoadFromDataSet(TDataSet* Source, int CopyFlags);
  virtual void SaveToDataSet(TDataSet* Destination);
  // Update flags: 1 the destination's records with this table's key values
  // are updated, 2 records it lacks are appended. SaveCount: those posted.
  enum : int { ufUpdate = 1, ufAppend = 2 };
  virtual void UpdateToDataSet(TDataSet* Destination, const AnsiString& KeyFields,
                               int UpdateFlags = ufUpdate | ufAppend);
  // Takes the source's field definitions (without fields of types the
  // table cannot hold); EMemTableError beyond ZYN_MAX_FIELDS.
  void CreateTableAs(TDataSet* Source, int CopyFlags);
  // After a field took another's display properties.
  std::function<void(TObject* Sender, TField* Field)> OnSetupFieldProperties;
  // Drops every record of the storage.
  virtual void EmptyTable();
  int LoadCount = 0, SaveCount = 0;

  // The file the table is saved to when it closes and loaded from when it
  // opens. A file that failed to load is not written over at close.
  AnsiString PersistentFile;
  bool Persistent = false;
  bool PersistentBackup = false;
  AnsiString PersistentBackupExt;
  TzynCustomStreamFormat* PersistentFormat = nullptr;

  // TDataSet. In the set-key state, Post and Cancel leave it.
  void Post() override;
  void Cancel() override;
  void SetRecNo(int Value) override;
  bool IsSequenced() const override;
  // Filter, range and master restriction on the buffer's values.
  std::optional<bool> ShowsActiveRecord() override;
  // Searches with the filter text and OnFilterRecord, applied or not.
  bool FindRecord(bool Restart, bool GoForward) override;
  bool BookmarkValid(const TBookmark& Bookmark) const override;
  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) const override;
  TUpdateStatus UpdateStatus() const override;
  // Through the indexes, among the shown records.
  bool Locate(const AnsiString& KeyFields, const Variant& KeyValues,
              TLocateOptions Options) override;
  Variant Lookup(const AnsiString& KeyFields, const Variant& KeyValues,
                 const AnsiString& ResultFields) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  void SetFiltered(bool Value) override;
  void SetOnFilterRecord(const TFilterRecordEvent& Value) override;
  // A second expression that applies whatever Filtered says.
  const AnsiString& ExtraFilterText() const { return FExtraFilterText; }
  void SetExtraFilterText(const AnsiString& Value);

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& Buffer) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  int GetRecordSize() const override;
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) const override;
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) const override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  void InternalGotoBookmark(const void* Bookmark) override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  void InternalFirst() override { CursorToBOF(); }
  void InternalLast() override { CursorToEOF(); }
  void InternalInitFieldDefs() override;
  // The definitions made anew from the data and internal calculated fields.
  void FieldDefsFromFields();
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return FCursorOpen; }
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void InternalDelete() override;
  void InternalHandleException() override;
  void InternalPost() override;
  // EMemTableDupKey when a unique index holds another record with the key
  // of the record being posted (InternalPost checks the same).
  void CheckPostUniqueness();
  // Unique keys checked, the record after the last (Append) or before the
  // cursor's row.
  void InternalAddRecord(TRecordBuffer Buffer, bool Append) override;
  void InternalCancel() override;
  bool GetFieldData(TField* Field, void* Buffer) override;
  void SetFieldData(TField* Field, const void* Buffer) override;
  bool GetCanModify() const override { return !FReadOnly; }
  TDataSource* GetDataSource() const override;
  bool GetIsIndexField(TField* Field) const override;
  int GetRecordCount() override;
  int GetRecNo() const override;
  void CloseBlob(TField* Field) override;
  // Parses first: a text that does not parse leaves the filter as it was.
  void SetFilterText(const AnsiString& Value) override;
  void ClearCalcFields(TRecordBuffer Buffer) override;
  void DoOnNewRecord() override;
  void DoBeforePost() override;
  void DoAfterPost() override;
  void DoAfterDelete() override;
  void DoAfterOpen() override;
  void DoBeforeClose() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // New operations.
  virtual void CursorToBOF() { CurRec = -1; }
  virtual void CursorToEOF();
  virtual bool MoveNextRecord(bool ForceFilter);
  virtual bool MovePriorRecord(bool ForceFilter);
  virtual void DoOnFilterRecord(TDataSet* DataSet, bool& Accept);
  virtual void Lock();
  virtual void Unlock();
  // The master record changed: takes its key values and goes to the first record.
  virtual void ApplyMasterRange();
  virtual void MasterDisabled();
  // A decimal name drawn at random that no index definition has.
  AnsiString UnusedIndexName() const;

 private:
  // A temporary state (filter, key, calculated fields) that is left however
  // the scope ends.
  class TTempState {
   public:
    TTempState(TzynCustomMemTable& Table, TDataSetState State)
        : FTable(Table), FSaved(Table.SetTempState(State)) {}
    ~TTempState() { FTable.RestoreState(FSaved); }
    TTempState(const TTempState&) = delete;
    TTempState& operator=(const TTempState&) = delete;

   private:
    TzynCustomMemTable& FTable;
    TDataSetState FSaved;
  };

  TzynRecord* StateRecord() const;
  // A copy of the buffer joins the records, placed in every open table's
  // indexes; Position: the row-order hint for this table.
  void StoreNewRecord(TzynRecord* Buffer, int32_t Position);
  // Prepare runs on the new index before its rows are loaded.
  TzynIndex* AddIndexWith(const AnsiString& Name, const AnsiString& Fields, TIndexOptions Options,
                          const std::function<void(TzynIndex*)>& Prepare);
  void SetFormat(TzynCustomStreamFormat*& Format, TzynCustomStreamFormat* Value);
  TzynCustomDeltaHandler* FDeltaHandler = nullptr;
  TzynCustomStreamFormat* FDefaultFormat = nullptr;
  TzynCustomStreamFormat* FCommaTextFormat = nullptr;
  TzynCustomStreamFormat* FAllDataFormat = nullptr;
  // Force: the filter text and OnFilterRecord apply even when not Filtered.
  bool RecordFilter(TzynRecord* Record, bool Force);
  bool OwnsStorage() const;
  void NewStorage();
  void SwitchToIndex(TzynIndex* Index);
  // A closed table only stores the choice; an empty one goes to row order.
  bool SettleIndexChoice(const AnsiString& Value, AnsiString& Chosen, AnsiString& Other);
  // Row of the first shown record with the key values in the current index; -1.
  int32_t LocateRow(const AnsiString& KeyFields, const Variant& KeyValues, TLocateOptions Options);
  // Commits (Keep) or rolls back the open level.
  void EndTransactionLevel(bool Keep);
  TzynRecord* BookmarkRecord(const void* Bookmark) const;
  // Row of a stored record among the shown ones of the current index; -1.
  int32_t ShownRow(TzynRecord* Stored) const;
  // Where the buffer's record was last seen in the current index: the row
  // it was fetched from, else (an insert buffer, naming the record the
  // insert began on) the cursor's row.
  int32_t KnownRow(const TzynRecord* Buffer) const;

  bool FCursorOpen = false;
  bool FReadOnly = false;
  bool FFilterSuspended = false;
  int32_t FAutoIncMinValue = 0;
  TField* FAutoIncField = nullptr;
  AnsiString FIndexFieldNames, FIndexName;
  TzynCustomMemTable* FAttachedTo = nullptr;
  std::unique_ptr<TzynIndexes> FIndexes;
  std::unique_ptr<TIndexDefs> FIndexDefs;
  AnsiString FExtraFilterText;
  enum TzynKeyBuffer { kbKey, kbRangeStart, kbRangeEnd };
  // The keys being set, how many index fields each gives, and which range
  // bounds were set since the last apply.
  TzynRecord* FKeyBuffers[3] = {};
  int32_t FKeyCounts[3] = {};
  bool FKeyPending[3] = {};
  TzynKeyBuffer FEditedKey = kbKey;
  // The applied range's start and end, and the fields each gives.
  TzynRecord* FRangeBounds[2] = {};
  int32_t FRangeCounts[2] = {};
  bool FRangeActive = false;
  bool FRangeSuspended = false;
  bool RangeInForce() const { return FRangeActive && !FRangeSuspended; }
  // Enters the set-key state with the key buffer emptied.
  void EditKeyBuffer(TzynKeyBuffer Which);
  // The values into the current index's first fields; a failure cancels.
  void FillKeyBuffer(const std::vector<Variant>& Values);
  void LeaveKeyState();
  // Searches the current index for the key buffer; the row, or -1.
  int32_t SearchKeyBuffer(bool Nearest);
  void FreeRangeRecords();
  void SavePersistentFile();
  // Saves into a file beside FileName (the name with ".$$$"), which a failed
  // save removes; ReplaceWithWorkFile then puts it in FileName's place, so
  // the file is never left half written.
  AnsiString SaveToWorkFile(const AnsiString& FileName, TzynCustomStreamFormat* Format);
  void ReplaceWithWorkFile(const AnsiString& Work, const AnsiString& FileName);
  // Each destination field with the source field it is copied from.
  using TzynFieldMap = std::vector<std::pair<TField*, TField*>>;
  TzynFieldMap CopyFieldMap(TDataSet* Source, TDataSet* Destination);
  // The mapped values into the destination's open record, and its post or
  // cancel as OnLoadRecord decides; whether it was posted.
  bool CopyRecordValues(const TzynFieldMap& Map, TDataSet* Source, TDataSet* Destination);
  // Runs a copy from this table's first record into the destination, and
  // puts the destination's state, openness and controls back whatever happens.
  void CopyToDataSet(TDataSet* Destination, const std::function<int()>& Copy);
  // Each field of the table with the source field of its name.
  void CopyFieldsProperties(TDataSet* Source);
  void CopyFieldProperties(TField* From, TField* To);
  // The source's lookup or calculated fields, as the flags ask.
  void CopyComputedFields(TDataSet* Source, int CopyFlags);
  TzynBinaryStreamFormat* BinaryFormat();
  std::unique_ptr<TzynBinaryStreamFormat> FBinaryFormat;
  // Set once the persistent file is written, or when loading it failed.
  bool FPersistentSaved = false;
  // Set while records are copied in: read-only fields take values.
  bool FCopying = false;
  // Whether the master's key holds, and over how many fields.
  bool MasterInForce() const;
  // Writes the master link's values into the first key fields of a record.
  void TakeMasterValues(TzynRecord* Record);
  std::unique_ptr<TMasterDataLink> FMasterLink;
  AnsiString FDetailFields;
  TzynFieldList FMasterKeyList;
  TzynRecord* FMasterKey = nullptr;
  // Sets the found flag; on a row, goes there and fires the after-scroll event.
  bool GoToFoundRow(int32_t Row);
  std::unique_ptr<TzynExprEvaluator> FFilterTree, FExtraTree;
  // Null for an empty text (blanks and controls count as empty).
  std::unique_ptr<TzynExprEvaluator> Parse(const AnsiString& Text);
};

class TzynMemTable : public TzynCustomMemTable {
 public:
  using TzynCustomMemTable::TzynCustomMemTable;
};

// Attaches the table to the source's records (unless it is already), gives
// it the source's field definitions when it has none and the source's
// lookup data sets for its lookup fields, and opens it.
void AttachAndOpen(TzynCustomMemTable* Table, TzynCustomMemTable* Source);
