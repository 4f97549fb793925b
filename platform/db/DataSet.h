// TDataSet: the base of every dataset. It keeps a window of record buffers
// over the records of a descendant's cursor, its state, its fields and the
// data sources whose links show it.
//
// How the buffer window works (read this before writing a dataset):
//
// * The window is an array of BufferCount buffers plus one spare. BufferCount
//   is the largest BufferCount of all data links of all data sources on the
//   dataset (at least 1); a grid of 20 rows asks for 20, an edit for 1. The
//   first buffers hold consecutive records of the cursor, in order (as many
//   as there are, up to BufferCount); ActiveRecord indexes the current one.
//   The buffer after them is the spare that GetRecord fills before it joins
//   the window.
//
// * The descendant owns a cursor that stands on one record (or before the
//   first, or after the last). CurrentRecord says which buffer the cursor
//   stands on, -1 when it does not stand on any. UpdateCursorPos moves the
//   cursor to the active buffer's record (through the buffer's bookmark
//   flag: current or inserted -> InternalSetToRecord, BOF -> InternalFirst,
//   EOF -> InternalLast). Every operation that changes a record (edit, post,
//   cancel, delete) runs after UpdateCursorPos, so InternalPost and
//   InternalDelete may rely on the cursor being on the record. A descendant
//   that moves its cursor behind the window's back calls CursorPosChanged.
//
// * GetRecord(Buffer, gmNext | gmPrior | gmCurrent) moves the cursor and
//   fills one buffer: the record's native field values, its bookmark data and
//   flag, and its calculated fields (GetCalcFields). GetNextRecord appends
//   the next record to the window (dropping the first when the window is
//   full); GetPriorRecord prepends the prior one (dropping the last). When
//   GetRecord raises, the cursor may have moved: CurrentRecord becomes -1.
//
// * Insert puts a new buffer at the active position (bookmark flag
//   bfInserted, the bookmark data of the record it goes before; bfBOF in an
//   empty dataset); Append refills the window with the last records and the
//   new buffer after them (bfEOF). The descendant's InternalPost reads the
//   flag to know where the record goes.
//
// * Resync(mode) refills the window around the cursor's record: rmExact
//   requires that record (else "record not found"); otherwise the next and
//   then the prior record stand in, and an empty result clears the window.
//   rmCenter puts the record in the middle of the window, else it keeps the
//   active buffer's index. First, Last, MoveBy, Post, Cancel, Delete and
//   Refresh all end in one of these refills.
//
// * Each data link sees its own slice of the window: BufferCount buffers
//   from its FirstRecord, kept so that the active record is inside and the
//   slice is as full as the window allows. A scroll event carries how far the
//   window's contents moved; the link turns it into how many rows its own
//   slice scrolled (DataSetScrolled).
//
// * Field values are read and written through GetFieldData/SetFieldData,
//   which pick the buffer by State: the active buffer in browse/edit/insert,
//   CalcBuffer while calculated fields are computed (dsCalcFields), the
//   descendant's own buffer in dsFilter, dsOldValue, dsSetKey and so on.
//   SetTempState/RestoreState switch the state without telling the controls.
//
// * Calculated and lookup fields take CalcFieldsSize bytes that BindFields
//   lays out (each field: one null byte, then its value, at Offset); where
//   the descendant keeps them in a buffer is its choice.
//
// * DisableControls stops the data events to the data sources (nesting);
//   the last EnableControls sends one state event when the state changed and
//   one deferred event: a data-set change, or a layout change when a layout
//   change or a close happened meanwhile.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "db/DBTypes.h"
#include "db/FieldDefs.h"
#include "db/Fields.h"
#include "rtl/Classes.h"
#include "rtl/Streams.h"
#include "rtl/Variants.h"

class TDataSource;
class TDataLink;

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent =
    std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* AOwner);
  // A descendant must Close() in its own destructor: closing calls the
  // descendant's virtual operations, which no longer exist here.
  ~TDataSet() override;

  // Opening and state.
  bool Active() const { return FState != dsInactive && FState != dsOpening; }
  virtual void SetActive(bool Value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return FState; }
  bool Modified() const { return FModified; }
  bool CanModify() const { return GetCanModify(); }

  // Navigation.
  bool Bof() const { return FBOF; }
  bool Eof() const { return FEOF; }
  bool IsEmpty() const { return FActiveRecord >= FRecordCount; }
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Moves by up to Distance records; answers how many were passed.
  int MoveBy(int Distance);
  void Refresh();
  void Resync(TResyncMode Mode);
  bool FindFirst() { return FindRecord(true, true); }
  bool FindLast() { return FindRecord(true, false); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  bool Found() const { return FFound; }
  int RecordCount() { return GetRecordCount(); }
  // Whether the record in the active buffer, an edited or inserted one too,
  // passes what the dataset shows (its filter and the like); none when the
  // dataset cannot tell without walking its records.
  virtual std::optional<bool> ShowsActiveRecord() { return std::nullopt; }
  int RecNo() const { return GetRecNo(); }
  virtual void SetRecNo(int Value);
  virtual bool IsSequenced() const { return true; }

  // Editing.
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  virtual void Cancel();
  void Delete();
  // A whole record in one step: the values go into the fields in order
  // (Null or Empty clears one; fields past the values keep their new-record
  // values) and the record is stored through InternalAddRecord, before the
  // current record or after the last; the cursor ends on it.
  void InsertRecord(const std::vector<Variant>& Values) { AddRecord(Values, false); }
  void AppendRecord(const std::vector<Variant>& Values) { AddRecord(Values, true); }
  // The values into the fields in order, in an edit state.
  void SetFields(const std::vector<Variant>& Values);
  // Posts a modified record, cancels an unmodified one.
  void CheckBrowseMode();
  // Asks the controls to write their pending values into the record.
  void UpdateRecord();
  virtual TUpdateStatus UpdateStatus() const { return usUnmodified; }

  // Bookmarks: the descendant's bookmark bytes.
  TBookmark GetBookmark() const;
  void GotoBookmark(const TBookmark& Bookmark);
  virtual bool BookmarkValid(const TBookmark& Bookmark) const;
  // Negative, 0 or positive.
  virtual int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) const;

  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return FDisableCount != 0; }

  // Fields.
  TFields* Fields() const { return FFields.get(); }
  int FieldCount() const { return FFields->Count(); }
  TFieldDefs* FieldDefs() const { return FFieldDefs.get(); }
  TField* FieldByName(const AnsiString& FieldName) const;
  TField* FindField(const AnsiString& FieldName) const { return FFields->FindField(FieldName); }
  TField* FieldByNumber(int FieldNo) const { return FFields->FieldByNumber(FieldNo); }
  // Names separated by ';'; each must exist.
  void GetFieldList(std::vector<TField*>& List, const AnsiString& FieldNames) const;
  void GetFieldNames(TStrings* List) const { FFields->GetFieldNames(List); }
  // One name: the value; several names (';'): a variant array of them.
  Variant FieldValues(const AnsiString& FieldName) const;
  void SetFieldValues(const AnsiString& FieldName, const Variant& Value);
  // The fields were made from the field definitions at open.
  bool DefaultFields() const { return FDefaultFields; }
  bool AutoCalcFields() const { return FAutoCalcFields; }
  void SetAutoCalcFields(bool Value) { FAutoCalcFields = Value; }
  int CalcFieldsSize() const { return FCalcFieldsSize; }
  // Fills FieldDefs from the descendant (InternalInitFieldDefs).
  void InitFieldDefs();

  // Searching. These scan the records from the first with the descendant's
  // cursor, the window untouched; a descendant with an index does better.
  // Inside a calculation (a lookup into the dataset itself) the cursor goes
  // back to the record being calculated; a filter handler must not search
  // its own dataset this way.
  // KeyValues: one value, or a variant array with one value per key field.
  virtual bool Locate(const AnsiString& KeyFields, const Variant& KeyValues,
                      TLocateOptions Options);
  // The ResultFields values of the matching record (Null when none); the
  // current record stays.
  virtual Variant Lookup(const AnsiString& KeyFields, const Variant& KeyValues,
                         const AnsiString& ResultFields);

  // Filtering; the descendant decides which records pass.
  const AnsiString& Filter() const { return FFilterText; }
  void SetFilter(const AnsiString& Value) { SetFilterText(Value); }
  bool Filtered() const { return FFiltered; }
  virtual void SetFiltered(bool Value);
  TFilterOptions FilterOptions() const { return FFilterOptions; }
  virtual void SetFilterOptions(TFilterOptions Value);
  const TFilterRecordEvent& OnFilterRecord() const { return FOnFilterRecord; }
  virtual void SetOnFilterRecord(const TFilterRecordEvent& Value);

  // Null when the dataset has no blobs.
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode);

  // The master data source of a detail dataset.
  TDataSource* DataSource() const { return GetDataSource(); }
  // The datasets linked to this one as their master, in the order of its
  // data sources and their links.
  std::vector<TDataSet*> DetailDataSets() const;
  // Whether the data source leads to this dataset, through its dataset and
  // that dataset's master sources (a detail of this one, at any depth).
  bool IsLinkedTo(const TDataSource* Source) const;
  // The active record's buffer; null while closed.
  TRecordBuffer ActiveBuffer() const;

  // Sends an event to the data sources (unless controls are disabled) and
  // does the dataset's own part of it. Info: the field of a field change,
  // the distance of a scroll, the TField** of a focus request.
  virtual void DataEvent(TDataEvent Event, intptr_t Info);

  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TDataSetErrorEvent OnEditError, OnPostError, OnDeleteError;

 protected:
  // What a descendant implements.
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  // Frees the buffer and sets the pointer to null.
  virtual void FreeRecordBuffer(TRecordBuffer& Buffer) = 0;
  virtual TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
  virtual int GetRecordSize() const = 0;
  virtual void GetBookmarkData(TRecordBuffer Buffer, void* Data) const = 0;
  virtual void SetBookmarkData(TRecordBuffer Buffer, const void* Data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) const = 0;
  virtual void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) = 0;
  // Null for an empty bookmark.
  virtual void InternalGotoBookmark(const void* Bookmark) = 0;
  virtual void InternalSetToRecord(TRecordBuffer Buffer) = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalInitFieldDefs() = 0;
  // Opens the cursor: field definitions, fields (CreateFields when there
  // are none), BindFields(true), BookmarkSize; the cursor before the first.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void InternalInitRecord(TRecordBuffer Buffer) = 0;
  virtual void InternalDelete() = 0;
  // Called inside the handler of an exception raised while calculated
  // fields were computed; `throw;` passes it on, returning swallows it.
  virtual void InternalHandleException() = 0;
  // Checks the required fields; the descendant then stores the record.
  virtual void InternalPost();
  // Stores the new record in Buffer, after the last record with Append,
  // else before the cursor's.
  virtual void InternalAddRecord(TRecordBuffer Buffer, bool Append);
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalCancel() {}
  virtual void InternalRefresh() {}
  // Answers whether the field has a value; copies it when Buffer is set.
  virtual bool GetFieldData(TField* Field, void* Buffer);
  // Stores the value (null Buffer: clears it), normally after
  // Field->Validate, and sends deFieldChange outside dsCalcFields,
  // dsFilter and dsNewValue.
  virtual void SetFieldData(TField* Field, const void* Buffer);
  virtual bool FindRecord(bool Restart, bool GoForward);
  virtual bool GetCanModify() const { return true; }
  virtual TDataSource* GetDataSource() const { return nullptr; }
  virtual bool GetIsIndexField(TField* Field) const;
  virtual int GetRecordCount() { return -1; }
  virtual int GetRecNo() const { return -1; }
  virtual void SetFilterText(const AnsiString& Value);
  virtual TFieldClass GetFieldClass(TFieldType FieldType) const {
    return DefaultFieldClass(FieldType);
  }
  // Releases what a blob field left in the record buffers.
  virtual void CloseBlob(TField* Field);

  // Record buffers and calculated fields.
  virtual void InitRecord(TRecordBuffer Buffer);
  virtual void ClearCalcFields(TRecordBuffer Buffer);
  // Computes the calculated and lookup fields into Buffer in dsCalcFields.
  virtual void GetCalcFields(TRecordBuffer Buffer);
  virtual void CalculateFields(TRecordBuffer Buffer);
  TRecordBuffer CalcBuffer() const { return FCalcBuffer; }

  // The hooks around each operation; each fires its event.
  virtual void DoBeforeOpen();
  virtual void DoAfterOpen();
  virtual void DoBeforeClose();
  virtual void DoAfterClose();
  virtual void DoBeforeInsert();
  virtual void DoAfterInsert();
  virtual void DoBeforeEdit();
  virtual void DoAfterEdit();
  virtual void DoBeforePost();
  virtual void DoAfterPost();
  virtual void DoBeforeCancel();
  virtual void DoAfterCancel();
  virtual void DoBeforeDelete();
  virtual void DoAfterDelete();
  virtual void DoBeforeScroll();
  virtual void DoAfterScroll();
  virtual void DoBeforeRefresh();
  virtual void DoAfterRefresh();
  virtual void DoOnCalcFields();
  virtual void DoOnNewRecord();

  // The window (see the top of this file).
  int BufferCount() const { return FBufferCount; }
  int ActiveRecord() const { return FActiveRecord; }
  int CurrentRecord() const { return FCurrentRecord; }
  TRecordBuffer Buffers(int Index) const { return FBuffers[static_cast<size_t>(Index)]; }
  int BookmarkSize() const { return FBookmarkSize; }
  void SetBookmarkSize(int Value) { FBookmarkSize = Value; }
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void ActivateBuffers();
  void ClearBuffers();
  void UpdateCursorPos();
  void CursorPosChanged() { FCurrentRecord = -1; }
  void SetCurrentRecord(int Index);
  void UpdateBufferCount();
  void SetBufferCount(int Value);

  // State.
  void SetState(TDataSetState Value);
  TDataSetState SetTempState(TDataSetState Value);
  void RestoreState(TDataSetState Value);
  void SetModified(bool Value) { FModified = Value; }
  void SetFound(bool Value) { FFound = Value; }
  void CheckActive() const;
  void CheckInactive() const;
  void CheckCanModify() const;
  void CheckRequiredFields();
  // The field's value in the old-, new- or current-value state.
  virtual Variant GetStateFieldValue(TDataSetState State, TField* Field);
  virtual void SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value);

  // Fields.
  void CreateFields();
  void DestroyFields();
  void BindFields(bool Binding);
  void SetDefaultFields(bool Value) { FDefaultFields = Value; }

 private:
  friend class TDataLink;
  friend class TDataSource;
  friend class TField;
  friend class TFieldDef;
  friend class TFieldDefs;

  void AddDataSource(TDataSource* Source);
  void RemoveDataSource(TDataSource* Source);
  void MoveBuffer(int CurIndex, int NewIndex);
  // GetRecord into the spare buffer.
  TGetResult FetchRecord(TGetMode GetMode, bool DoCheck);
  void BeginInsertAppend();
  void EndInsertAppend();
  void AddRecord(const std::vector<Variant>& Values, bool Append);
  void CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent);
  void FreeFieldBuffers();
  // Recomputes the calculated fields of a record being edited; true when it did.
  bool UpdateCalcFields();
  void ShiftLinks(int Distance);
  // Runs the descendant's cursor over all records from the first, each in
  // a buffer of the scan and in dsCalcFields; stops when Match answers true.
  // Used: the fields the search reads.
  bool ScanRecords(const std::vector<TField*>& Used, const std::function<bool()>& Match);
  bool RecordMatches(const std::vector<TField*>& Fields, const Variant& Values,
                     TLocateOptions Options) const;
  void DoInternalOpen();
  void CloseCursor();
  void FreeBuffers();
  void DetachDataSources();

  TDataSetState FState = dsInactive;
  bool FModified = false;
  bool FBOF = true;
  bool FEOF = true;
  bool FFound = false;
  bool FDefaultFields = false;
  bool FAutoCalcFields = true;
  bool FInternalOpenComplete = false;
  // Buffers [0, FBufferCount] (the last is the spare), FRecordCount of them
  // holding records.
  std::vector<TRecordBuffer> FBuffers;
  int FBufferCount = 0;
  int FRecordCount = 0;
  int FActiveRecord = 0;
  int FCurrentRecord = -1;
  TRecordBuffer FCalcBuffer = nullptr;
  int FBookmarkSize = 0;
  int FCalcFieldsSize = 0;
  bool FInternalCalcFields = false;
  bool FSkipCalcFields = false;
  int FDisableCount = 0;
  TDataSetState FDisableState = dsInactive;
  TDataEvent FEnableEvent = deDataSetChange;
  AnsiString FFilterText;
  bool FFiltered = false;
  TFilterOptions FFilterOptions;
  TFilterRecordEvent FOnFilterRecord;
  std::vector<TDataSource*> FDataSources;
  std::unique_ptr<TFields> FFields;
  std::unique_ptr<TFieldDefs> FFieldDefs;
};
