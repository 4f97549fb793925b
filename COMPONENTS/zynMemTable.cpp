#include "zynMemTable.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>
#include <random>

#include "db/DBConsts.h"
#include "rtl/OsShim.h"
#include "zynBlobStream.h"
#include "zynCommon.h"
#include "zynExprEval.h"
#include "zynIndexes.h"
#include "zynStreamFormat.h"

int32_t TzynFieldList::Add(TField* Field, TzynMemTableCompareOptions FieldOptions) {
  if (Count >= ZYN_MAX_FIELDS) throw EMemTableError(SzynTooManyFields);
  Fields[Count] = Field;
  Options[Count] = FieldOptions;
  FieldOfs[Count] = 0;
  FieldNo[Count] = Field ? Field->FieldNo() : 0;
  return Count++;
}

int32_t TzynFieldList::IndexOf(const TField* Field) const {
  for (int32_t i = 0; i < Count; ++i)
    if (Fields[i] == Field) return i;
  return -1;
}

void TzynFieldList::AssignTo(TzynFieldList& Other) const {
  Other.Clear();
  size_t n = static_cast<size_t>(Count);
  std::memcpy(Other.FieldOfs, FieldOfs, n * sizeof FieldOfs[0]);
  std::memcpy(Other.FieldNo, FieldNo, n * sizeof FieldNo[0]);
  std::memcpy(Other.Fields, Fields, n * sizeof Fields[0]);
  std::memcpy(Other.Options, Options, n * sizeof Options[0]);
  Other.Count = Count;
}

void TzynFieldList::MergeOptions(TzynFieldList& Other) const {
  for (int32_t i = 0; i < Count && i < Other.Count; ++i) Other.Options[i] |= Options[i];
}

TzynMemTableCompareOptions IndexOptionsToCompareOptions(TIndexOptions Options) {
  TzynMemTableCompareOptions result = 0;
  if (Options.Contains(ixUnique)) result |= mtcoUnique;
  if (Options.Contains(ixDescending)) result |= mtcoDescending;
  if (Options.Contains(ixCaseInsensitive)) result |= mtcoCaseInsensitive;
  if (Options.Contains(ixNonMaintained)) result |= mtcoNonMaintained;
  return result;
}

AnsiString ComponentPathName(const TComponent* Component) {
  if (!Component) return AnsiString();
  AnsiString path = Component->Name();
  for (const TComponent* owner = Component->Owner(); owner && !owner->Name().empty();
       owner = owner->Owner())
    path = owner->Name() + "." + path;
  return path;
}

int32_t CurrentRecordID(IzynMemTable* Table) {
  TzynLock lock(Table->Common);
  TDataSet* dataSet = Table->DataSet();
  if (!dataSet->Active() || dataSet->IsEmpty()) return -1;
  const auto* record = reinterpret_cast<const TzynRecord*>(dataSet->ActiveBuffer());
  return record ? record->UniqueRecordID : -1;
}

// ---- TzynCustomMemTable ----------------------------------------------------------

namespace {

constexpr int BookmarkBytes = 12;  // slot, identity, population stamp

bool IsText(TFieldType Type) { return Type == ftString || Type == ftFixedChar || Type == ftGuid; }

}  // namespace

TzynCustomMemTable::TzynCustomMemTable(TComponent* AOwner)
    : TDataSet(AOwner), FIndexDefs(std::make_unique<TIndexDefs>(this)) {
  FMasterLink = std::make_unique<TMasterDataLink>(this);
  FMasterLink->OnMasterChange = [this](TObject*) { ApplyMasterRange(); };
  FMasterLink->OnMasterDisable = [this](TObject*) { MasterDisabled(); };
  NewStorage();
  FIndexes = std::make_unique<TzynIndexes>(this);
  Indexes = FIndexes.get();
  CurrentIndex = Indexes->RowOrderIndex();
}

TzynCustomMemTable::~TzynCustomMemTable() {
  try {
    Close();
  } catch (...) {
  }
  if (OwnsStorage())
    delete Common;
  else if (Common)
    Common->DetachTable(this);
  Common = nullptr;
}

void TzynCustomMemTable::SetDeltaHandler(TzynCustomDeltaHandler* Value) {
  if (Value == FDeltaHandler) return;
  if (TzynCustomDeltaHandler* old = FDeltaHandler) {
    FDeltaHandler = nullptr;
    if (old->DataSet() == this) old->SetDataSet(nullptr);
  }
  FDeltaHandler = Value;
  if (Value) {
    Value->FreeNotification(this);
    Value->SetDataSet(this);
  }
}

// Free notices stay when a reference is let go: another may hold the same
// component, and a notice for one no longer held clears nothing.
void TzynCustomMemTable::SetFormat(TzynCustomStreamFormat*& Format, TzynCustomStreamFormat* Value) {
  Format = Value;
  if (Value) Value->FreeNotification(this);
}

void TzynCustomMemTable::Notification(TComponent* AComponent, TOperation Operation) {
  TDataSet::Notification(AComponent, Operation);
  if (Operation != opRemove || !AComponent) return;
  if (AComponent == FDeltaHandler) FDeltaHandler = nullptr;
  for (TzynCustomStreamFormat** format : {&FDefaultFormat, &FCommaTextFormat, &FAllDataFormat})
    if (AComponent == *format) *format = nullptr;
}

bool TzynCustomMemTable::OwnsStorage() const { return Common && Common->Owner() == this; }

void TzynCustomMemTable::NewStorage() {
  Common = new TzynCommon(this);
  Common->AttachTable(this);
}

void TzynCustomMemTable::StorageDestroyed() {
  FAttachedTo = nullptr;
  NewStorage();
}

void TzynCustomMemTable::SetAttachedTo(TzynCustomMemTable* Value) {
  if (Value == FAttachedTo) return;
  if (Value == this) throw EMemTableError("Не могу подключить таблицу-в-памяти саму к себе.");
  if (Value && Value->FAttachedTo)
    throw EMemTableError("Не могу подключиться к другой таблице, которая сама уже подключена.");
  Close();
  TzynCommon* own = Common;
  // Attach first: a refused attach leaves the table on its own records.
  if (Value) {
    own->DetachTable(this);
    try {
      Value->Common->AttachTable(this);
    } catch (...) {
      own->AttachTable(this);
      throw;
    }
    Common = Value->Common;
  } else {
    own->DetachTable(this);
    NewStorage();
  }
  if (own->Owner() == this) delete own;
  FAttachedTo = Value;
  CurrentIndex = Indexes->RowOrderIndex();
}

void AttachAndOpen(TzynCustomMemTable* Table, TzynCustomMemTable* Source) {
  if (Table->AttachedTo() != Source) Table->SetAttachedTo(Source);
  if (Table->FieldDefs()->Count() == 0) {
    TFieldDefs* defs = Source->FieldDefs();
    for (int i = 0; i < defs->Count(); ++i) {
      TFieldDef* def = defs->Items(i);
      Table->FieldDefs()->Add(def->Name(), def->DataType(), def->Size(), def->Required());
    }
  }
  for (int i = 0; i < Source->FieldCount(); ++i) {
    TField* field = Source->Fields()->Fields(i);
    TField* namesake = Table->FindField(field->FieldName());
    if (namesake && namesake->FieldKind() == fkLookup)
      namesake->SetLookupDataSet(field->LookupDataSet());
  }
  Table->Open();
}

int32_t TzynCustomMemTable::LocateRow(const AnsiString& KeyFields, const Variant& KeyValues,
                                      TLocateOptions Options) {
  if (VarArrayDimCount(KeyValues) > 1)
    throw EMemTableError("Массив данных variant имеет недопустимую размерность");
  CheckBrowseMode();
  TzynLock lock(Common);
  TzynFieldList list;
  ParseIndexFields(this, KeyFields, list);
  uint8_t options = (Options.Contains(loCaseInsensitive) ? mtcoCaseInsensitive : 0) |
                    (Options.Contains(loPartialKey) ? mtcoPartialKey : 0);
  for (int32_t i = 0; i < list.Count; ++i) list.Options[i] |= options;
  if (list.Count == 0) throw EMemTableError("Должно быть по крайней мере одно поле");
  bool array = KeyValues.IsArray();
  if (!array && list.Count > 1) throw EMemTableError("Полей больше, чем данных");
  TzynRecord* key = Common->AllocateRecord();
  int32_t row = -1;
  try {
    TTempState state(*this, dsSetKey);
    {
      TzynRecordOverride over(*this, key);
      int low = array ? VarArrayLowBound(KeyValues, 1) : 0;
      for (int32_t i = 0; i < list.Count; ++i)
        list.Fields[i]->SetValue(array ? KeyValues[low + i] : KeyValues);
    }
    TzynFoundRow found = Indexes->Search(list, key, true, true, false);
    if (found.Found) row = found.RowNo;
  } catch (...) {
    Common->FreeRecord(key, true, false);
    throw;
  }
  Common->FreeRecord(key, true, false);
  return row;
}

bool TzynCustomMemTable::GoToFoundRow(int32_t Row) {
  SetFound(Row >= 0);
  if (Row < 0) return false;
  CurRec = Row;
  CursorPosChanged();
  Resync({rmExact, rmCenter});
  DoAfterScroll();
  return true;
}

bool TzynCustomMemTable::Locate(const AnsiString& KeyFields, const Variant& KeyValues,
                                TLocateOptions Options) {
  DoBeforeScroll();
  int32_t row = LocateRow(KeyFields, KeyValues, Options);
  return GoToFoundRow(row);
}

Variant TzynCustomMemTable::Lookup(const AnsiString& KeyFields, const Variant& KeyValues,
                                   const AnsiString& ResultFields) {
  int32_t row = LocateRow(KeyFields, KeyValues, {});
  SetFound(row >= 0);
  if (row < 0) return Variant::Null();
  TzynLock lock(Common);
  TzynRecord* record = CurrentIndex->Rows(row);
  CalcRecordFields(record);
  TzynRecordOverride over(*this, record);
  return FieldValues(ResultFields);
}

int32_t TzynCustomMemTable::AttachMaxCount() const { return Common->AttachMaxCount(); }
void TzynCustomMemTable::SetAttachMaxCount(int32_t Value) { Common->SetAttachMaxCount(Value); }
bool TzynCustomMemTable::Standalone() const { return Common->Standalone(); }

void TzynCustomMemTable::SetStandalone(bool Value) {
  if (FCursorOpen) throw EMemTableError("Table must be closed for this operation.");
  if (FAttachedTo) throw EMemTableError("Table is attached to another table.");
  Common->SetStandalone(Value);
}

TzynPerformance TzynCustomMemTable::Performance() const { return Common->Performance; }
void TzynCustomMemTable::SetPerformance(TzynPerformance Value) { Common->Performance = Value; }
bool TzynCustomMemTable::EnableVersioning() const { return Common->EnableVersioning; }
void TzynCustomMemTable::SetEnableVersioning(bool Value) { Common->EnableVersioning = Value; }
TzynVersioningMode TzynCustomMemTable::VersioningMode() const { return Common->VersioningMode; }
void TzynCustomMemTable::SetVersioningMode(TzynVersioningMode Value) { Common->VersioningMode = Value; }
int32_t TzynCustomMemTable::LocaleID() const { return Common->LocaleID(); }
void TzynCustomMemTable::SetLocaleID(int32_t Value) { Common->SetLocaleID(Value); }

int32_t TzynCustomMemTable::TransactionLevel() const {
  TzynLock lock(Common);
  return Common->TransactionLevel();
}

bool TzynCustomMemTable::IsDataModified() const {
  TzynLock lock(Common);
  return Common->IsDataModified;
}

void TzynCustomMemTable::SetIsDataModified(bool Value) {
  TzynLock lock(Common);
  Common->IsDataModified = Value;
}

void TzynCustomMemTable::Lock() {
  Common->Enter();
  Common->LockedByTable = true;
}

void TzynCustomMemTable::Unlock() {
  Common->LockedByTable = false;
  Common->Leave();
}

void TzynCustomMemTable::Progress(int Percent, TzynProgressCode Code) {
  if (OnProgress && ProgressFlags.Contains(Code)) OnProgress(this, Percent, Code);
}

// ---- Opening and closing ------------------------------------------------------------

namespace {

// The definition of a field under the name given, with those of its
// children (an array's first element stands for all of them).
void AddFieldDefOf(TFieldDefs* Defs, TField* Field, const AnsiString& Name) {
  Defs->Add(Name, Field->DataType(), Field->IsBlob() ? 0 : Field->Size(), Field->Required());
  auto* object = dynamic_cast<TObjectField*>(Field);
  if (!object) return;
  TFieldDefs* children = Defs->Items(Defs->Count() - 1)->ChildDefs();
  for (TField* child : object->ChildFields()) {
    // A child is named after its parent: "ADDR.CITY", "PHONES[0]".
    AnsiString own =
        child->FieldName().substr(std::min(Field->FieldName().size(), child->FieldName().size()));
    if (!own.empty() && own[0] == '.') own.erase(0, 1);
    AddFieldDefOf(children, child, own);
    if (Field->DataType() == ftArray) break;
  }
}

// A copy of the definition under another type, with its children.
void AddFieldDefLike(TFieldDefs* Defs, TFieldDef* Def, TFieldType Type) {
  Defs->Add(Def->Name(), Type, Def->Size(), Def->Required());
  if (Def->HasChildDefs()) Defs->Items(Defs->Count() - 1)->ChildDefs()->Assign(Def->ChildDefs());
}

}  // namespace

void TzynCustomMemTable::FieldDefsFromFields() {
  FieldDefs()->Clear();
  for (int i = 0; i < FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    if ((field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) &&
        !field->ParentField())
      AddFieldDefOf(FieldDefs(), field, field->FieldName());
  }
}

void TzynCustomMemTable::InternalInitFieldDefs() {
  if (FAttachedTo) {
    FieldDefs()->Clear();
    TFieldDefs* source = FAttachedTo->FieldDefs();
    for (int i = 0; i < source->Count(); ++i)
      AddFieldDefLike(FieldDefs(), source->Items(i), source->Items(i)->DataType());
  } else if (FieldCount() > 0) {
    // Persistent fields decide the definitions.
    FieldDefsFromFields();
  }
  if (OwnsStorage()) Common->AutoIncMax = FAutoIncMinValue - 1;
}

void TzynCustomMemTable::InternalOpen() {
  if (FAttachedTo && !FAttachedTo->Active()) FAttachedTo->Open();
  TzynLock lock(Common);
  InternalInitFieldDefs();
  if (OwnsStorage() && FieldCount() == 0 && FieldDefs()->Count() == 0)
    throw EMemTableError("Должно быть по крайней мере одно поле");
  if (CountFieldDefEntries(FieldDefs(), ZYN_MAX_FIELDS) > ZYN_MAX_FIELDS)
    throw EMemTableError(SzynTooManyFields);
  if (FieldCount() == 0) {
    CreateFields();
    SetDefaultFields(true);
  }
  BindFields(true);
  FAutoIncField = nullptr;
  for (int i = 0; i < FieldCount() && !FAutoIncField; ++i)
    if (Fields()->Fields(i)->DataType() == ftAutoInc) FAutoIncField = Fields()->Fields(i);
  if (OwnsStorage()) Common->LayoutRecord(FieldDefs()->Count());
  SetBookmarkSize(BookmarkBytes);
  FCursorOpen = true;
  FFilterTree = Parse(Filter());
  FExtraTree = Parse(FExtraFilterText);
  CurRec = -1;
  Indexes->Clear();
  CurrentIndex = Indexes->RowOrderIndex();
  for (int i = 0; i < FIndexDefs->Count(); ++i) Indexes->AddFromIndexDef(FIndexDefs->Items(i));
  Indexes->RebuildAll();
  TzynIndex* chosen = !FIndexFieldNames.empty() ? Indexes->IndexByFields(FIndexFieldNames)
                      : !FIndexName.empty()     ? Indexes->IndexByName(FIndexName)
                                                : nullptr;
  if (!FIndexFieldNames.empty() && !chosen)
    chosen = AddIndex(IntToStr(static_cast<int>(Common->UniqueRecordIDCounter())) + "_" +
                          FIndexFieldNames,
                      FIndexFieldNames, TIndexOptions());
  // The names follow the index chosen, so one chosen by name has its fields.
  if (chosen) {
    CurrentIndex = chosen;
    FIndexFieldNames = chosen->IndexFields;
    FIndexName = chosen->Name;
  }
  ApplyMasterRange();
}

void TzynCustomMemTable::InternalClose() {
  if (OwnsStorage()) {
    // Tables on these records close before the records go.
    Common->CloseOtherTables(this);
    Common->Empty();
    Common->ResetIdentities();
  }
  CurRec = -1;
  Indexes->Clear();
  Indexes->ClearAll();
  FCursorOpen = false;
  FreeRangeRecords();
  if (FMasterKey) Common->FreeRecord(FMasterKey, true, false);
  FMasterKey = nullptr;
  FMasterKeyList.Clear();
  FFilterTree.reset();
  FExtraTree.reset();
  BindFields(false);
  if (DefaultFields()) DestroyFields();
  FAutoIncField = nullptr;
}

void TzynCustomMemTable::InternalHandleException() { throw; }

// ---- Buffers ------------------------------------------------------------------------------

TRecordBuffer TzynCustomMemTable::AllocRecordBuffer() {
  return reinterpret_cast<TRecordBuffer>(Common->AllocateRecord());
}

void TzynCustomMemTable::FreeRecordBuffer(TRecordBuffer& Buffer) {
  Common->FreeRecord(reinterpret_cast<TzynRecord*>(Buffer), true, false);
  Buffer = nullptr;
}

int TzynCustomMemTable::GetRecordSize() const { return Common->RecordAllocSize(); }

void TzynCustomMemTable::InternalInitRecord(TRecordBuffer Buffer) {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  Common->ClearValues(record);
  Common->ClearRecord(record);
}

void TzynCustomMemTable::ClearCalcFields(TRecordBuffer Buffer) {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  std::memset(record->Data + Common->StartCalculated(), 0,
              static_cast<size_t>(Common->CalcFieldsSize()));
}

void TzynCustomMemTable::GetBookmarkData(TRecordBuffer Buffer, void* Data) const {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  int32_t stamp = Common->TableID();
  auto* out = static_cast<uint8_t*>(Data);
  std::memcpy(out, &record->RecordID, 4);
  std::memcpy(out + 4, &record->UniqueRecordID, 4);
  std::memcpy(out + 8, &stamp, 4);
}

void TzynCustomMemTable::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
  if (!Data) return;
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  std::memcpy(&record->RecordID, Data, 4);
  std::memcpy(&record->UniqueRecordID, static_cast<const uint8_t*>(Data) + 4, 4);
}

TBookmarkFlag TzynCustomMemTable::GetBookmarkFlag(TRecordBuffer Buffer) const {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  return static_cast<TBookmarkFlag>(
      record->Data[Common->StartBookmarks() + AttachIndex * zynBookmarkSlotSize + 4]);
}

void TzynCustomMemTable::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  uint8_t* slot = record->Data + Common->StartBookmarks() + AttachIndex * zynBookmarkSlotSize;
  std::memcpy(slot, &record->RecordID, 4);
  slot[4] = Value;
}

TzynRecord* TzynCustomMemTable::BookmarkRecord(const void* Bookmark) const {
  TzynRecord key{};
  int32_t stamp;
  std::memcpy(&key.RecordID, Bookmark, 4);
  std::memcpy(&key.UniqueRecordID, static_cast<const uint8_t*>(Bookmark) + 4, 4);
  std::memcpy(&stamp, static_cast<const uint8_t*>(Bookmark) + 8, 4);
  if (stamp != Common->TableID()) return nullptr;
  return Common->StoredRecord(&key);
}

int32_t TzynCustomMemTable::ShownRow(TzynRecord* Stored) const {
  if (!Stored) return -1;
  int32_t row = CurrentIndex->FindRecordNumber(Stored);
  if (row < 0) return -1;
  auto* self = const_cast<TzynCustomMemTable*>(this);
  return self->FilteringNeeded() && !self->PassesRecordFilter(Stored) ? -1 : row;
}

int32_t TzynCustomMemTable::KnownRow(const TzynRecord* Buffer) const {
  return Buffer->RecordNo >= 0 ? Buffer->RecordNo : CurRec;
}

bool TzynCustomMemTable::BookmarkValid(const TBookmark& Bookmark) const {
  if (!FCursorOpen || Bookmark.size() != BookmarkBytes) return false;
  TzynLock lock(Common);
  return BookmarkRecord(Bookmark.data()) != nullptr;
}

int TzynCustomMemTable::CompareBookmarks(const TBookmark& Bookmark1,
                                         const TBookmark& Bookmark2) const {
  if (!BookmarkValid(Bookmark1) || !BookmarkValid(Bookmark2)) return 0;
  TzynLock lock(Common);
  // The shown order, whatever the index.
  int32_t a = CurrentIndex->FindRecordNumber(BookmarkRecord(Bookmark1.data()));
  int32_t b = CurrentIndex->FindRecordNumber(BookmarkRecord(Bookmark2.data()));
  return a < b ? -1 : (a > b ? 1 : 0);
}

void TzynCustomMemTable::InternalGotoBookmark(const void* Bookmark) {
  if (!Bookmark) throw EMemTableError(Format("Закладка %d не найдена.", {-200}));
  TzynLock lock(Common);
  int32_t row = ShownRow(BookmarkRecord(Bookmark));
  if (row < 0) DatabaseError(SBookmarkNotFound, this);
  CurRec = row;
}

void TzynCustomMemTable::InternalSetToRecord(TRecordBuffer Buffer) {
  if (!Buffer) return;
  TzynLock lock(Common);
  // By identity: other tables may have moved the rows since the fetch.
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  TzynRecord* stored = Common->StoredRecord(record);
  int32_t row = stored ? CurrentIndex->FindRecordNumber(stored, KnownRow(record)) : -1;
  if (row < 0) {
    // An insert begun on a record that another table deleted since: the
    // cursor stays on the row that took the record's place.
    if (GetBookmarkFlag(Buffer) == bfInserted) return;
    DatabaseError(SRecordNotFound, this);
  }
  CurRec = row;
}

// ---- The cursor ---------------------------------------------------------------------------

bool TzynCustomMemTable::FilteringNeeded() const {
  if (FFilterSuspended) return false;
  return (Filtered() && (OnFilterRecord() || FFilterTree)) || FExtraTree || RangeInForce() ||
         MasterInForce();
}

TDataSource* TzynCustomMemTable::MasterSource() const { return FMasterLink->DataSource(); }

void TzynCustomMemTable::SetMasterSource(TDataSource* Value) {
  if (IsLinkedTo(Value)) DatabaseError("Недопустимы самоссылающиеся отношения master/detail.", this);
  FMasterLink->SetDataSource(Value);
}

const AnsiString& TzynCustomMemTable::MasterFields() const { return FMasterLink->FieldNames(); }
void TzynCustomMemTable::SetMasterFields(const AnsiString& Value) { FMasterLink->SetFieldNames(Value); }
TDataSource* TzynCustomMemTable::GetDataSource() const { return FMasterLink->DataSource(); }

bool TzynCustomMemTable::MasterInForce() const {
  return FMasterKey && FMasterKeyList.Count > 0 && FMasterLink->Active() &&
         !FMasterLink->Fields().empty();
}

void TzynCustomMemTable::TakeMasterValues(TzynRecord* Record) {
  TTempState state(*this, dsSetKey);
  TzynRecordOverride over(*this, Record);
  for (int32_t i = 0; i < FMasterKeyList.Count; ++i)
    FMasterKeyList.Fields[i]->SetValue(FMasterLink->Fields()[static_cast<size_t>(i)]->Value());
}

void TzynCustomMemTable::ApplyMasterRange() {
  if (!FCursorOpen) return;
  FMasterKeyList.Clear();
  if (!FMasterLink->Active() || FMasterLink->Fields().empty()) return;
  if (FDetailFields.empty())
    CurrentIndex->IndexFieldList.AssignTo(FMasterKeyList);
  else
    ParseIndexFields(this, FDetailFields, FMasterKeyList);
  FMasterKeyList.Count =
      std::min<int32_t>(FMasterKeyList.Count, static_cast<int32_t>(FMasterLink->Fields().size()));
  if (FMasterKeyList.Count == 0) return;
  TzynLock lock(Common);
  if (!FMasterKey) FMasterKey = Common->AllocateRecord();
  TakeMasterValues(FMasterKey);
  if (!TDataSet::Active()) return;
  CheckBrowseMode();
  First();
}

void TzynCustomMemTable::MasterDisabled() {
  if (TDataSet::Active()) First();
}

void TzynCustomMemTable::EditKeyBuffer(TzynKeyBuffer Which) {
  CheckBrowseMode();
  TzynLock lock(Common);
  TzynRecord*& buffer = FKeyBuffers[Which];
  if (buffer) {
    Common->ClearValues(buffer);
    Common->ClearRecord(buffer);
  } else {
    buffer = Common->AllocateRecord();
  }
  FKeyCounts[Which] = 0;
  FKeyPending[Which] = true;
  FEditedKey = Which;
  SetState(dsSetKey);
  DataEvent(deDataSetChange, 0);
}

void TzynCustomMemTable::FillKeyBuffer(const std::vector<Variant>& Values) {
  const TzynFieldList& fields = CurrentIndex->IndexFieldList;
  try {
    for (size_t i = 0; i < Values.size() && static_cast<int32_t>(i) < fields.Count; ++i)
      fields.Fields[i]->SetValue(Values[i]);
  } catch (...) {
    Cancel();
    throw;
  }
}

void TzynCustomMemTable::LeaveKeyState() {
  SetState(dsBrowse);
  DataEvent(deDataSetChange, 0);
}

void TzynCustomMemTable::Post() {
  if (State() == dsSetKey)
    LeaveKeyState();
  else
    TDataSet::Post();
}

void TzynCustomMemTable::Cancel() {
  if (State() != dsSetKey) {
    TDataSet::Cancel();
    return;
  }
  // A range being edited stays as applied.
  FKeyPending[FEditedKey] = false;
  LeaveKeyState();
}

void TzynCustomMemTable::SetKey() { EditKeyBuffer(kbKey); }

int32_t TzynCustomMemTable::SearchKeyBuffer(bool Nearest) {
  CheckBrowseMode();
  TzynRecord* key = FKeyBuffers[kbKey];
  if (!key) return -1;
  TzynLock lock(Common);
  // Only the given fields count: the rest would be null keys.
  TzynFieldList list;
  CurrentIndex->IndexFieldList.AssignTo(list);
  list.Count = std::min<int32_t>(list.Count, FKeyCounts[kbKey]);
  TzynSearchResult found = CurrentIndex->Search(list, key, Nearest, true, true);
  if (found.Found || (Nearest && found.Position < CurrentIndex->Count())) return found.Position;
  return -1;
}

bool TzynCustomMemTable::GotoKey() { return GoToFoundRow(SearchKeyBuffer(false)); }

bool TzynCustomMemTable::FindKey(const std::vector<Variant>& Values) {
  if (CurrentIndex->IndexFieldList.Count == 0) throw EMemTableError("Должно быть по крайней мере одно поле");
  SetKey();
  FillKeyBuffer(Values);
  return GotoKey();
}

void TzynCustomMemTable::FindNearest(const std::vector<Variant>& Values) {
  SetKey();
  FillKeyBuffer(Values);
  int32_t row = SearchKeyBuffer(true);
  if (row < 0) return;
  CurRec = row;
  CursorPosChanged();
  Resync({rmCenter});
  DoAfterScroll();
}

void TzynCustomMemTable::SetRangeStart() { EditKeyBuffer(kbRangeStart); }

void TzynCustomMemTable::SetRangeEnd() { EditKeyBuffer(kbRangeEnd); }

void TzynCustomMemTable::ApplyRange() {
  CheckBrowseMode();
  // The bounds set since the last apply take over; the others stay.
  for (int bound = 0; bound < 2; ++bound) {
    auto which = static_cast<TzynKeyBuffer>(kbRangeStart + bound);
    if (!FKeyPending[which]) continue;
    std::swap(FRangeBounds[bound], FKeyBuffers[which]);
    FRangeCounts[bound] = FKeyCounts[which];
    FKeyPending[which] = false;
  }
  FRangeActive = FRangeBounds[0] && FRangeBounds[1];
  First();
}

void TzynCustomMemTable::SetRange(const std::vector<Variant>& StartValues,
                                  const std::vector<Variant>& EndValues) {
  SetRangeStart();
  FillKeyBuffer(StartValues);
  SetRangeEnd();
  FillKeyBuffer(EndValues);
  ApplyRange();
}

void TzynCustomMemTable::CancelRange() {
  if (!FRangeActive) return;
  TzynRecord* noted = TDataSet::Active() && !IsEmpty()
                          ? Common->StoredRecord(reinterpret_cast<TzynRecord*>(ActiveBuffer()))
                          : nullptr;
  FRangeActive = false;
  if (!TDataSet::Active()) return;
  int32_t row = ShownRow(noted);
  if (row < 0) {
    First();
    return;
  }
  CurRec = row;
  CursorPosChanged();
  Resync({});
}

void TzynCustomMemTable::FreeRangeRecords() {
  for (TzynRecord** record : {&FKeyBuffers[0], &FKeyBuffers[1], &FKeyBuffers[2], &FRangeBounds[0],
                              &FRangeBounds[1]}) {
    if (*record) Common->FreeRecord(*record, true, false);
    *record = nullptr;
  }
  for (bool& pending : FKeyPending) pending = false;
  FRangeActive = false;
}

std::unique_ptr<TzynExprEvaluator> TzynCustomMemTable::Parse(const AnsiString& Text) {
  if (!FCursorOpen || Trim(Text).empty()) return nullptr;
  return std::make_unique<TzynExprEvaluator>(this, Trim(Text), FilterOptions());
}

void TzynCustomMemTable::SetFilterText(const AnsiString& Value) {
  if (FCursorOpen) CheckBrowseMode();
  std::unique_ptr<TzynExprEvaluator> tree = Parse(Value);
  TDataSet::SetFilterText(Value);
  FFilterTree = std::move(tree);
  if (TDataSet::Active() && Filtered()) First();
}

void TzynCustomMemTable::SetExtraFilterText(const AnsiString& Value) {
  if (Value == FExtraFilterText) return;
  if (FCursorOpen) CheckBrowseMode();
  std::unique_ptr<TzynExprEvaluator> tree = Parse(Value);
  FExtraFilterText = Value;
  FExtraTree = std::move(tree);
  if (TDataSet::Active()) First();
}

void TzynCustomMemTable::DoOnFilterRecord(TDataSet* DataSet, bool& Accept) {
  if (OnFilterRecord()) OnFilterRecord()(DataSet, Accept);
}

bool TzynCustomMemTable::PassesRecordFilter(TzynRecord* Record) { return RecordFilter(Record, false); }

std::optional<bool> TzynCustomMemTable::ShowsActiveRecord() {
  if (!FCursorOpen || !ActiveBuffer()) return std::nullopt;
  TzynLock lock(Common);
  return PassesRecordFilter(reinterpret_cast<TzynRecord*>(ActiveBuffer()));
}

bool TzynCustomMemTable::RecordFilter(TzynRecord* Record, bool Force) {
  if (Record->UpdateStatus == usDeleted) return false;
  if (!Force && !FilteringNeeded()) return true;
  TzynRecordOverride over(*this, Record);
  TTempState state(*this, dsFilter);
  CalcRecordFields(Record);
  bool accept = true;
  if (RangeInForce()) {
    // Each bound over the fields it gives, strings as partial keys.
    const TzynFieldList& fields = CurrentIndex->IndexFieldList;
    accept = CompareRecords(this, fields, FRangeBounds[0], Record, zcmAbove, false, true,
                            FRangeCounts[0]) <= 0 &&
             CompareRecords(this, fields, FRangeBounds[1], Record, zcmBelow, false, true,
                            FRangeCounts[1]) >= 0;
  }
  if (accept && MasterInForce())
    accept = CompareRecords(this, FMasterKeyList, FMasterKey, Record) == 0;
  if (accept && (Force || Filtered())) {
    DoOnFilterRecord(this, accept);
    if (accept && FFilterTree) accept = FFilterTree->Accepts();
  }
  if (accept && FExtraTree) accept = FExtraTree->Accepts();
  return accept;
}

void TzynCustomMemTable::CalcRecordFields(TzynRecord* Record) {
  if (CalcFieldsSize() == 0 || !OnCalcFields) return;
  TzynRecordOverride over(*this, Record);
  TTempState state(*this, dsCalcFields);
  DoOnCalcFields();
}

bool TzynCustomMemTable::MoveNextRecord(bool ForceFilter) {
  int32_t rows = CurrentIndex->Count();
  if (!ForceFilter && !FilteringNeeded()) {
    if (CurRec + 1 >= rows) return false;
    ++CurRec;
    return true;
  }
  while (CurRec + 1 < rows) {
    ++CurRec;
    if (RecordFilter(CurrentIndex->Rows(CurRec), ForceFilter)) return true;
  }
  return false;
}

bool TzynCustomMemTable::MovePriorRecord(bool ForceFilter) {
  if (!ForceFilter && !FilteringNeeded()) {
    if (CurRec <= 0) return false;
    --CurRec;
    return true;
  }
  while (CurRec > 0) {
    --CurRec;
    if (RecordFilter(CurrentIndex->Rows(CurRec), ForceFilter)) return true;
  }
  return false;
}

bool TzynCustomMemTable::FindRecord(bool Restart, bool GoForward) {
  CheckBrowseMode();
  DoBeforeScroll();
  SetFound(false);
  UpdateCursorPos();
  bool found;
  {
    TzynLock lock(Common);
    if (Restart) {
      if (GoForward) CursorToBOF(); else CursorToEOF();
    }
    // The filter text applies whether Filtered is on or not.
    found = GoForward ? MoveNextRecord(true) : MovePriorRecord(true);
  }
  if (!found) {
    CursorPosChanged();
    return false;
  }
  CursorPosChanged();
  Resync({rmExact, rmCenter});
  SetFound(true);
  DoAfterScroll();
  return true;
}

TGetResult TzynCustomMemTable::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool) {
  TzynLock lock(Common);
  int32_t rows = CurrentIndex->Count();
  switch (GetMode) {
    case gmCurrent:
      if (CurRec < 0 || CurRec >= rows || (FilteringNeeded() && !PassesRecordFilter(CurrentIndex->Rows(CurRec))))
        return grError;
      break;
    case gmNext:
      if (CurRec < -1) CurRec = -1;
      if (!MoveNextRecord(false)) {
        CurRec = rows;
        return grEOF;
      }
      break;
    case gmPrior:
      if (CurRec > rows) CurRec = rows;
      if (!MovePriorRecord(false)) {
        CurRec = -1;
        return grBOF;
      }
      break;
  }
  Common->FetchRecord(CurrentIndex->Rows(CurRec), reinterpret_cast<TzynRecord*>(Buffer), CurRec);
  SetBookmarkFlag(Buffer, bfCurrent);
  if (RecalcOnFetch) GetCalcFields(Buffer);
  return grOK;
}

int TzynCustomMemTable::GetRecordCount() {
  if (!FCursorOpen) return 0;
  TzynLock lock(Common);
  if (!FilteringNeeded()) return CurrentIndex->Count();
  int count = 0;
  for (int32_t row = 0; row < CurrentIndex->Count(); ++row)
    if (PassesRecordFilter(CurrentIndex->Rows(row))) ++count;
  return count;
}

int TzynCustomMemTable::GetRecNo() const {
  TRecordBuffer buffer = ActiveBuffer();
  if (!TDataSet::Active() || !buffer || IsEmpty()) return -1;
  auto* record = reinterpret_cast<TzynRecord*>(buffer);
  if (record->RecordNo < 0 || GetBookmarkFlag(buffer) != bfCurrent) return -1;
  if (!FilteringNeeded()) return record->RecordNo + 1;
  // Shown records only.
  auto* self = const_cast<TzynCustomMemTable*>(this);
  TzynLock lock(Common);
  int number = 0;
  for (int32_t row = 0; row <= record->RecordNo && row < CurrentIndex->Count(); ++row)
    if (self->PassesRecordFilter(CurrentIndex->Rows(row))) ++number;
  return number;
}

void TzynCustomMemTable::SetRecNo(int Value) {
  CheckBrowseMode();
  if (Value < 1 || Value > GetRecordCount()) return;
  int32_t target = Value - 1;
  {
    TzynLock lock(Common);
    if (FilteringNeeded()) {
      int number = 0;
      for (int32_t row = 0; row < CurrentIndex->Count(); ++row) {
        if (!PassesRecordFilter(CurrentIndex->Rows(row))) continue;
        if (++number == Value) {
          target = row;
          break;
        }
      }
    }
    // Where the shown record is now: another table may have moved the rows
    // since it was read, which its record number does not tell.
    auto* shown = reinterpret_cast<TzynRecord*>(ActiveBuffer());
    if (!IsEmpty() && target == ShownRow(Common->StoredRecord(shown))) return;
  }
  DoBeforeScroll();
  CurRec = target;
  CursorPosChanged();
  Resync({rmCenter});
  DoAfterScroll();
}

bool TzynCustomMemTable::IsSequenced() const { return !FilteringNeeded(); }

void TzynCustomMemTable::SetFiltered(bool Value) {
  TDataSet::SetFiltered(Value);
  if (TDataSet::Active()) First();
}

void TzynCustomMemTable::SetOnFilterRecord(const TFilterRecordEvent& Value) {
  TDataSet::SetOnFilterRecord(Value);
  if (TDataSet::Active() && Filtered()) First();
}

TzynViewSwitches TzynCustomMemTable::SuspendView(const TzynViewSwitches& SwitchOff) {
  TzynViewSwitches saved;
  saved.Filtered = FFilterSuspended;
  saved.Ranged = FRangeSuspended;
  if (SwitchOff.Filtered) FFilterSuspended = true;
  if (SwitchOff.Ranged) FRangeSuspended = true;
  return saved;
}

void TzynCustomMemTable::ResumeView(const TzynViewSwitches& Saved) {
  FFilterSuspended = Saved.Filtered;
  FRangeSuspended = Saved.Ranged;
}

void TzynCustomMemTable::ResetCursor() { CurRec = -1; }

void TzynCustomMemTable::ResyncCursor() {
  if (!TDataSet::Active() || State() != dsBrowse) return;
  CursorPosChanged();
  Resync({});
}

void TzynCustomMemTable::RefreshIfBrowsing() {
  if (!TDataSet::Active() || State() != dsBrowse) return;
  // Another table changed the rows: the cursor goes back to the shown
  // record by its identity, or stays on its row when that record is gone.
  if (!IsEmpty()) {
    TzynLock lock(Common);
    auto* record = reinterpret_cast<TzynRecord*>(ActiveBuffer());
    TzynRecord* stored = Common->StoredRecord(record);
    int32_t row = stored ? CurrentIndex->FindRecordNumber(stored, KnownRow(record)) : -1;
    if (row >= 0) CurRec = row;
  }
  DoBeforeRefresh();
  ResyncCursor();
  DoAfterRefresh();
}

// ---- Indexes ---------------------------------------------------------------------------------

TzynIndex* TzynCustomMemTable::AddIndex(const AnsiString& Name, const AnsiString& Fields,
                                        TIndexOptions Options) {
  return AddIndexWith(Name, Fields, Options, nullptr);
}

TzynIndex* TzynCustomMemTable::AddFilteredIndex(const AnsiString& Name, const AnsiString& Fields,
                                                TIndexOptions Options, const AnsiString& FilterText,
                                                TFilterOptions FilterOptions,
                                                const TzynFilterIndexEvent& FilterEvent) {
  // Parsed first: a text that does not parse adds nothing.
  std::shared_ptr<TzynExprEvaluator> tree;
  if (FCursorOpen && !Trim(FilterText).empty())
    tree = std::make_shared<TzynExprEvaluator>(this, Trim(FilterText), FilterOptions);
  return AddIndexWith(Name, Fields, Options, [&](TzynIndex* Index) {
    Index->IsFiltered = true;
    if (tree) Index->FilterExpression = [tree](TzynRecord*) { return tree->Accepts(); };
    Index->FilterEvent = FilterEvent;
  });
}

TzynIndex* TzynCustomMemTable::AddIndexWith(const AnsiString& Name, const AnsiString& Fields,
                                            TIndexOptions Options,
                                            const std::function<void(TzynIndex*)>& Prepare) {
  TzynLock lock(Common);
  if (FIndexDefs->IndexOf(Name) < 0) FIndexDefs->Add(Name, Fields, Options);
  FIndexDefs->SetUpdated(true);
  if (TzynIndex* existing = Indexes->IndexByName(Name)) return existing;
  if (!FCursorOpen) return nullptr;
  TzynIndex* index = Indexes->Add(std::make_unique<TzynIndex>(
      Name, false, true, IndexOptionsToCompareOptions(Options), Fields, this));
  try {
    if (Prepare) Prepare(index);
    index->Rebuild();
  } catch (...) {
    Indexes->Remove(index);
    FIndexDefs->Delete(FIndexDefs->IndexOf(Name));
    throw;
  }
  return index;
}

void TzynCustomMemTable::DeleteIndex(const AnsiString& Name) {
  TzynLock lock(Common);
  int at = FIndexDefs->IndexOf(Name);
  if (at >= 0) FIndexDefs->Delete(at);
  FIndexDefs->SetUpdated(true);
  UpdateIndexes();
}

void TzynCustomMemTable::ClearIndexes() {
  Indexes->Clear();
  FIndexDefs->Clear();
  FIndexFieldNames.clear();
  FIndexName.clear();
}

void TzynCustomMemTable::UpdateIndexes() {
  if (!FCursorOpen) return;
  TzynLock lock(Common);
  bool refresh = false;
  for (int i = Indexes->Count(); i-- > 0;) {
    TzynIndex* index = Indexes->Items(i);
    if (index->IsRowOrder || FIndexDefs->IndexOf(index->Name) >= 0 ||
        index->Name.rfind(zynAutoIndexPrefix, 0) == 0)
      continue;
    if (index == CurrentIndex) {
      FIndexFieldNames.clear();
      FIndexName.clear();
      refresh = true;
    }
    Indexes->Remove(index);
  }
  for (int i = 0; i < FIndexDefs->Count(); ++i)
    if (!Indexes->IndexByName(FIndexDefs->Items(i)->Name()))
      Indexes->AddFromIndexDef(FIndexDefs->Items(i));
  for (int i = 0; i < Indexes->Count(); ++i) {
    TzynIndex* index = Indexes->Items(i);
    if (index->IsOrdered) continue;
    index->Rebuild();
    if (index == CurrentIndex) refresh = true;
  }
  if (refresh && TDataSet::Active() && State() == dsBrowse) {
    CursorPosChanged();
    Resync({});
  }
}

void TzynCustomMemTable::SwitchToIndex(TzynIndex* Index) {
  if (!Index) Index = Indexes->RowOrderIndex();
  if (Index == CurrentIndex) return;
  bool open = TDataSet::Active();
  TzynRecord* noted = nullptr;
  if (open) {
    CheckBrowseMode();
    // A range is over the old index's fields.
    FRangeActive = false;
    if (!IsEmpty()) noted = Common->StoredRecord(reinterpret_cast<TzynRecord*>(ActiveBuffer()));
  }
  if (!Index->IsOrdered) Index->Rebuild();
  if (Index->IsRowOrder) {
    FIndexFieldNames.clear();
    FIndexName.clear();
  } else {
    FIndexFieldNames = Index->IndexFields;
    FIndexName = Index->Name;
  }
  CurrentIndex = Index;
  if (CurRec >= Index->Count()) CurRec = Index->Count() - 1;
  if (!open) return;
  // The current record stays current in the new order.
  int32_t row = ShownRow(noted);
  if (row >= 0) {
    CurRec = row;
    CursorPosChanged();
    Resync({});
  } else {
    First();
  }
}

bool TzynCustomMemTable::SettleIndexChoice(const AnsiString& Value, AnsiString& Chosen,
                                           AnsiString& Other) {
  if (!FCursorOpen) {
    Chosen = Value;
    if (!Value.empty()) Other.clear();
    return true;
  }
  if (!Value.empty()) return false;
  SwitchToIndex(nullptr);
  return true;
}

void TzynCustomMemTable::SetIndexFieldNames(const AnsiString& Value) {
  if (SettleIndexChoice(Value, FIndexFieldNames, FIndexName)) return;
  TzynIndex* index = Indexes->IndexByFields(Value);
  if (!index) index = AddIndex(UnusedIndexName(), Value, TIndexOptions());
  SwitchToIndex(index);
}

AnsiString TzynCustomMemTable::UnusedIndexName() const {
  std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<int32_t> draw(0, 2147483646);
  AnsiString name;
  do name = IntToStr(draw(random));
  while (FIndexDefs->IndexOf(name) >= 0);
  return name;
}

void TzynCustomMemTable::SetIndexName(const AnsiString& Value) {
  if (SettleIndexChoice(Value, FIndexName, FIndexFieldNames)) return;
  TzynIndex* index = Indexes->IndexByName(Value);
  if (!index) DatabaseErrorFmt(SIndexNotFound, {Value}, this);
  SwitchToIndex(index);
}

bool TzynCustomMemTable::GetIsIndexField(TField* Field) const {
  return CurrentIndex->IndexFieldList.IndexOf(Field) >= 0;
}

// ---- Field values ------------------------------------------------------------------------

TzynRecord* TzynCustomMemTable::StateRecord() const {
  if (CurrentRecordOverride) return CurrentRecordOverride;
  switch (State()) {
    case dsBrowse:
      return IsEmpty() ? nullptr : reinterpret_cast<TzynRecord*>(ActiveBuffer());
    case dsEdit:
    case dsInsert:
    case dsNewValue:
    case dsCurValue:
    case dsBlockRead:
      return reinterpret_cast<TzynRecord*>(ActiveBuffer());
    case dsCalcFields:
      return reinterpret_cast<TzynRecord*>(CalcBuffer());
    case dsSetKey:
      return FKeyBuffers[FEditedKey];
    case dsOldValue: {
      auto* buffer = reinterpret_cast<TzynRecord*>(ActiveBuffer());
      TzynRecord* stored = buffer ? Common->StoredRecord(buffer) : nullptr;
      if (!stored) return buffer;
      while (stored->PrevRecordVersion) stored = stored->PrevRecordVersion;
      return stored;
    }
    default:
      return nullptr;
  }
}

bool TzynCustomMemTable::GetFieldData(TField* Field, void* Buffer) {
  if (!FCursorOpen) return false;
  TzynLock lock(Common);
  TzynRecord* record = StateRecord();
  if (!record) return false;
  TzynValue value;
  if (!GetRecordValue(this, record, Field, FieldDataOffset(Common, Field), value)) return false;
  if (!Buffer || IsBlobType(Field->DataType())) return true;
  auto size = static_cast<size_t>(Field->DataSize());
  std::memset(Buffer, 0, size);
  std::memcpy(Buffer, value.Data, std::min(size, static_cast<size_t>(value.Length)));
  if (IsText(Field->DataType()) && size > 0) static_cast<char*>(Buffer)[size - 1] = '\0';
  return true;
}

void TzynCustomMemTable::SetFieldData(TField* Field, const void* Buffer) {
  if (!FCursorOpen) return;
  TzynLock lock(Common);
  TDataSetState state = State();
  static constexpr TSet<TDataSetState> writable{dsEdit,   dsInsert,   dsSetKey,      dsCalcFields,
                                                dsFilter, dsNewValue, dsInternalCalc};
  if (!writable.Contains(state)) DatabaseError("Таблица не в режиме редактирования.", this);
  if (!FCopying && state != dsSetKey && state != dsCalcFields && (FReadOnly || Field->ReadOnly()))
    DatabaseErrorFmt("Поле %s только для чтения", {Field->DisplayName()}, this);
  TFieldKind kind = Field->FieldKind();
  if (state != dsSetKey && (kind == fkData || kind == fkCalculated || kind == fkInternalCalc))
    Field->Validate(Buffer);
  TzynRecord* record = StateRecord();
  int32_t length = Field->DataSize();
  if (Buffer && IsText(Field->DataType()))
    length = static_cast<int32_t>(strnlen(static_cast<const char*>(Buffer), static_cast<size_t>(length)));
  PutRecordValue(this, record, Field, Buffer, length);
  if (Field->FieldNo() > 0) Common->SetFieldMark(Field->FieldNo() - 1);
  if (state == dsSetKey && !CurrentRecordOverride) {
    // A key holds over the index fields up to the last one given.
    int32_t position = CurrentIndex->IndexFieldList.IndexOf(Field);
    FKeyCounts[FEditedKey] = std::max(FKeyCounts[FEditedKey], position + 1);
  }
  // Key records and records under test are the table's own business.
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue && !CurrentRecordOverride)
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
}

std::unique_ptr<TStream> TzynCustomMemTable::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  return std::make_unique<TzynBlobStream>(this, Field, Mode);
}

void TzynCustomMemTable::CloseBlob(TField* Field) {
  if (!IsBlobType(Field->DataType()) || Field->FieldNo() <= 0) return;
  TDataSetState state = State();
  if (state == dsInactive || (state == dsEdit && CurRec >= 0 && CurRec < CurrentIndex->Count()))
    return;
  auto* record = reinterpret_cast<TzynRecord*>(ActiveBuffer());
  if (!record) return;
  FreeValueBuffer(Common->OutOfLineBuffer(record, Field->FieldNo() - 1));
  Common->SetOutOfLine(record, Field->FieldNo() - 1, 0, nullptr);
}

TUpdateStatus TzynCustomMemTable::UpdateStatus() const {
  if (!FCursorOpen) return TDataSet::UpdateStatus();
  TzynLock lock(Common);
  TzynRecord* record = StateRecord();
  return record ? static_cast<TUpdateStatus>(record->UpdateStatus) : TDataSet::UpdateStatus();
}

// ---- Editing ---------------------------------------------------------------------------------

void TzynCustomMemTable::DoOnNewRecord() {
  for (int i = 0; i < FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    const AnsiString& text = field->DefaultExpression();
    if (text.empty()) continue;
    // The text as it stands: never evaluated.
    if (field->DataType() == ftLargeint)
      field->SetAsString(text);
    else
      field->SetValue(Variant(text));
  }
  // A new detail record belongs to the master record.
  if (MasterInForce()) TakeMasterValues(reinterpret_cast<TzynRecord*>(ActiveBuffer()));
  TDataSet::DoOnNewRecord();
  if (FAutoIncField && !Loading) FAutoIncField->SetAsInteger(Common->AutoIncMax + 1);
}

void TzynCustomMemTable::DoBeforePost() {
  TDataSet::DoBeforePost();
  if (FAutoIncField && !FAutoIncField->IsNull()) {
    TzynLock lock(Common);
    int32_t value = FAutoIncField->AsInteger();
    if (value > Common->AutoIncMax) Common->AutoIncMax = value;
  }
}

void TzynCustomMemTable::DoAfterPost() {
  if (AttachedAutoRefresh) Common->RefreshOtherTables(this);
  TDataSet::DoAfterPost();
}

void TzynCustomMemTable::DoAfterDelete() {
  if (AttachedAutoRefresh) Common->RefreshOtherTables(this);
  TDataSet::DoAfterDelete();
}

void TzynCustomMemTable::CheckPostUniqueness() {
  TzynLock lock(Common);
  auto* buffer = reinterpret_cast<TzynRecord*>(ActiveBuffer());
  TzynRecord* stored = State() == dsInsert ? nullptr : Common->StoredRecord(buffer);
  if (State() == dsInsert || stored) Indexes->CheckUniqueness(buffer, stored);
}

void TzynCustomMemTable::InternalPost() {
  TDataSet::InternalPost();
  TzynLock lock(Common);
  auto* buffer = reinterpret_cast<TzynRecord*>(ActiveBuffer());
  if (State() == dsInsert) {
    Indexes->CheckUniqueness(buffer, nullptr);
    // Before the row of the record the insert began on; an append goes last.
    int32_t hint = -1;
    if (GetBookmarkFlag(ActiveBuffer()) == bfInserted) {
      TzynRecord* before = Common->StoredRecord(buffer);
      // That record gone, the place it left.
      hint = before ? CurrentIndex->FindRecordNumber(before, CurRec)
                    : std::clamp(CurRec, -1, CurrentIndex->Count());
    }
    StoreNewRecord(buffer, hint);
  } else {
    TzynRecord* stored = Common->StoredRecord(buffer);
    if (!stored) throw EMemTableInvalidRecord("Некорректная запись ");
    Indexes->CheckUniqueness(buffer, stored);
    TzynRecord header = *stored;
    TzynRecord* old = Common->DuplicateRecord(stored, true);
    bool keep = Modified() && Common->EnableVersioning &&
                (Common->VersioningMode == mtvmAllSinceCheckPoint ||
                 stored->UpdateStatus == usUnmodified);
    Common->MoveRecord(buffer, stored);
    stored->RecordNo = header.RecordNo;
    stored->Tag = header.Tag;
    stored->PrevRecordVersion = header.PrevRecordVersion;
    stored->UpdateStatus = header.UpdateStatus;
    stored->Flag |= 1;
    stored->TransactionLevel = Common->TransactionLevel();
    if (Modified()) Common->IsDataModified = true;
    try {
      Common->ReflectChange(zcModify, stored, this, CurRec, old);
    } catch (...) {
      Common->FreeRecord(old, true, false);
      throw;
    }
    if (keep) {
      old->PrevRecordVersion = header.PrevRecordVersion;
      stored->PrevRecordVersion = old;
      stored->UpdateStatus = usModified;
    } else {
      Common->FreeRecord(old, true, false);
    }
  }
  Common->ClearFieldMarks();
}

void TzynCustomMemTable::StoreNewRecord(TzynRecord* Buffer, int32_t Position) {
  TzynRecord* record = Common->DuplicateRecord(Buffer, true);
  record->RecordNo = -1;
  record->PrevRecordVersion = nullptr;
  record->UpdateStatus = usUnmodified;
  record->TransactionLevel = Common->TransactionLevel();
  Common->AddRecord(record);
  Common->ReflectChange(zcInsert, record, this, Position, nullptr);
  Common->IsDataModified = true;
}

void TzynCustomMemTable::InternalAddRecord(TRecordBuffer Buffer, bool Append) {
  TzynLock lock(Common);
  auto* buffer = reinterpret_cast<TzynRecord*>(Buffer);
  Indexes->CheckUniqueness(buffer, nullptr);
  StoreNewRecord(buffer, Append ? -1 : std::clamp(CurRec, -1, CurrentIndex->Count()));
  Common->ClearFieldMarks();
}

void TzynCustomMemTable::InternalCancel() { Common->ClearFieldMarks(); }

void TzynCustomMemTable::InternalDelete() {
  TzynLock lock(Common);
  TzynRecord* stored = Common->StoredRecord(reinterpret_cast<TzynRecord*>(ActiveBuffer()));
  if (!stored) throw EMemTableInvalidRecord("Некорректная запись ");
  Common->ReflectChange(zcDelete, nullptr, this, CurRec, stored);
  if (Common->EnableVersioning) {
    TzynRecord* copy = Common->DuplicateRecord(stored, true);
    copy->PrevRecordVersion = stored->PrevRecordVersion;
    stored->PrevRecordVersion = copy;
    stored->UpdateStatus = usDeleted;
    stored->TransactionLevel = Common->TransactionLevel();
    ++Common->DeletedCount;
  } else {
    Common->RemoveAndFreeRecord(stored);
  }
  Common->IsDataModified = true;
}

// ---- Transactions ----------------------------------------------------------------------------

void TzynCustomMemTable::StartTransaction() {
  CheckActive();
  if (!Common->EnableVersioning || Common->VersioningMode != mtvmAllSinceCheckPoint)
    throw EMemTableError("Транзакционирование требует мультиверсийное версионирование.");
  TzynLock lock(Common);
  Common->IncreaseTransactionLevel();
}

void TzynCustomMemTable::Commit() { EndTransactionLevel(true); }

void TzynCustomMemTable::Rollback() { EndTransactionLevel(false); }

void TzynCustomMemTable::EndTransactionLevel(bool Keep) {
  if (!FCursorOpen) return;
  CheckBrowseMode();
  TzynLock lock(Common);
  if (Common->TransactionLevel() <= 0) return;
  if (Keep)
    Common->CommitLevel();
  else
    Common->RollbackLevel();
  Common->DecreaseTransactionLevel();
  // Every table on the storage lists the records anew and re-reads its window.
  Common->MarkIndexes();
  Common->RebuildIndexes();
  Common->Resynchronise();
}

// ---- Streams ---------------------------------------------------------------------------------

void TzynCustomMemTable::SaveToStreamViaFormat(TStream* Stream, TzynCustomStreamFormat* Format) {
  if (!Format) throw EMemTableError("No format specified.");
  Format->SaveToStream(this, Stream);
}

void TzynCustomMemTable::LoadFromStreamViaFormat(TStream* Stream, TzynCustomStreamFormat* Format) {
  if (!Format) throw EMemTableError("No format specified.");
  Format->LoadFromStream(this, Stream);
}

AnsiString TzynCustomMemTable::SaveToWorkFile(const AnsiString& FileName,
                                              TzynCustomStreamFormat* Format) {
  if (!Format) throw EMemTableError("No format specified.");
  AnsiString work = ChangeFileExt(FileName, ".$$$");
  if (work == FileName) work += ".$$$";
  try {
    TFileStream file(work, fmCreate);
    // An appending save adds to a copy of the present file.
    if (Format->Flags.Contains(sfSaveAppend) && FileExists(FileName)) {
      TFileStream present(FileName, fmOpenRead | fmShareDenyWrite);
      file.CopyFrom(&present, 0);
    }
    if (OnSave) OnSave(this, mtskFile, &file);
    SaveToStreamViaFormat(&file, Format);
  } catch (...) {
    DeleteFile(work);
    throw;
  }
  return work;
}

void TzynCustomMemTable::ReplaceWithWorkFile(const AnsiString& Work, const AnsiString& FileName) {
  if (!OsReplaceFile(Work, FileName)) {
    DeleteFile(Work);
    throw EMemTableError(Format("Не удалось сохранить файл %s", {FileName}));
  }
}

void TzynCustomMemTable::SaveToFile(const AnsiString& FileName, TzynCustomStreamFormat* Format) {
  ReplaceWithWorkFile(SaveToWorkFile(FileName, Format), FileName);
}

void TzynCustomMemTable::LoadFromFile(const AnsiString& FileName, TzynCustomStreamFormat* Format) {
  if (!Format) throw EMemTableError("No format specified.");
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  if (OnLoad) OnLoad(this, mtskFile, &file);
  LoadFromStreamViaFormat(&file, Format);
}

TzynBinaryStreamFormat* TzynCustomMemTable::BinaryFormat() {
  if (!FBinaryFormat) FBinaryFormat = std::make_unique<TzynBinaryStreamFormat>(nullptr);
  return FBinaryFormat.get();
}

void TzynCustomMemTable::SaveToStream(TStream* Stream) { SaveToStreamViaFormat(Stream, BinaryFormat()); }
void TzynCustomMemTable::LoadFromStream(TStream* Stream) {
  LoadFromStreamViaFormat(Stream, BinaryFormat());
}
void TzynCustomMemTable::SaveToBinaryFile(const AnsiString& FileName) {
  SaveToFile(FileName, BinaryFormat());
}
void TzynCustomMemTable::LoadFromBinaryFile(const AnsiString& FileName) {
  LoadFromFile(FileName, BinaryFormat());
}

void TzynCustomMemTable::DoAfterOpen() {
  FPersistentSaved = false;
  if (Persistent && PersistentFormat && !PersistentFile.empty() && FileExists(PersistentFile)) {
    Persistent = false;
    try {
      LoadFromFile(PersistentFile, PersistentFormat);
    } catch (...) {
      Persistent = true;
      // What failed to load must not be replaced by what little was read.
      FPersistentSaved = true;
      throw;
    }
    Persistent = true;
    First();
  }
  TDataSet::DoAfterOpen();
}

void TzynCustomMemTable::DoBeforeClose() {
  if (FCursorOpen) SavePersistentFile();
  TDataSet::DoBeforeClose();
}

void TzynCustomMemTable::SavePersistentFile() {
  if (FPersistentSaved || !Persistent || PersistentFile.empty() || !PersistentFormat) return;
  CheckBrowseMode();
  AnsiString work = SaveToWorkFile(PersistentFile, PersistentFormat);
  if (PersistentBackup) {
    AnsiString backup = ChangeFileExt(PersistentFile, PersistentBackupExt);
    DeleteFile(backup);
    RenameFile(PersistentFile, backup);
  }
  ReplaceWithWorkFile(work, PersistentFile);
  FPersistentSaved = true;
}

void TzynCustomMemTable::CursorToEOF() { CurRec = CurrentIndex->Count(); }

// ---- Copies between datasets --------------------------------------------------------------

void TzynCustomMemTable::EmptyTable() {
  CheckActive();
  CheckBrowseMode();
  Common->Empty();
  Common->Resynchronise();
  First();
}

void TzynCustomMemTable::CreateTableAs(TDataSet* Source, int CopyFlags) {
  Close();
  if (!Source) return;
  if (!Source->Active()) Source->FieldDefs()->Update();
  TFieldDefs* defs = Source->FieldDefs();
  if (defs->Count() > ZYN_MAX_FIELDS) throw EMemTableError(SzynTooManyFields);
  FieldDefs()->Clear();
  for (int i = 0; i < defs->Count(); ++i) {
    TFieldDef* def = defs->Items(i);
    TFieldType type = def->DataType() == ftWideString ? ftString : def->DataType();
    if (!IsSupportedType(type) || !DefaultFieldClass(type)) continue;
    if ((CopyFlags & cfSourceFieldsOnly) && Source->FieldCount() > 0 && !Source->FindField(def->Name()))
      continue;
    AddFieldDefLike(FieldDefs(), def, type);
  }
  DestroyFields();
  if (!Source->DefaultFields() && Source->FieldCount() > 0)
    for (int i = 0; i < FieldDefs()->Count(); ++i) FieldDefs()->Items(i)->CreateField(this);
  CopyComputedFields(Source, CopyFlags);
  if (CopyFlags & cfDisplayProperties) CopyFieldsProperties(Source);
}

void TzynCustomMemTable::CopyComputedFields(TDataSet* Source, int CopyFlags) {
  for (int i = 0; i < Source->FieldCount(); ++i) {
    TField* from = Source->Fields()->Fields(i);
    bool wanted = (from->FieldKind() == fkLookup && (CopyFlags & cfLookupFields)) ||
                  (from->FieldKind() == fkCalculated && (CopyFlags & cfCalculatedFields));
    TFieldClass fieldClass = DefaultFieldClass(from->DataType());
    if (!wanted || !fieldClass || !IsSupportedType(from->DataType())) continue;
    TField* field = fieldClass(this);
    field->SetFieldName(from->FieldName());
    field->SetSize(from->Size());
    field->SetFieldKind(from->FieldKind());
    field->SetKeyFields(from->KeyFields());
    field->SetLookupDataSet(from->LookupDataSet());
    field->SetLookupKeyFields(from->LookupKeyFields());
    field->SetLookupResultField(from->LookupResultField());
    field->SetDataSet(this);
    if (CopyFlags & cfSourceOrder) field->SetIndex(std::min(from->Index(), FieldCount() - 1));
  }
}

void TzynCustomMemTable::CopyFieldsProperties(TDataSet* Source) {
  for (int i = 0; i < FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    CopyFieldProperties(Source->FindField(field->FieldName()), field);
  }
}

void TzynCustomMemTable::CopyFieldProperties(TField* From, TField* To) {
  if (!From || !To || From == To) return;
  To->SetEditMask(From->EditMask());
  To->SetDisplayWidth(From->DisplayWidth());
  To->SetDisplayLabel(From->DisplayLabel());
  To->SetReadOnly(From->ReadOnly());
  To->SetVisible(From->Visible());
  To->SetDefaultExpression(From->DefaultExpression());
  To->SetAlignment(From->Alignment());
  // The settings of each field class, when both fields are of it.
  auto when = [&]<class TKind>(TKind*, auto Copy) {
    auto *from = dynamic_cast<TKind*>(From), *to = dynamic_cast<TKind*>(To);
    if (from && to) Copy(from, to);
  };
  auto limits = [](auto* F, auto* T) {
    T->SetMinValue(F->MinValue());
    T->SetMaxValue(F->MaxValue());
  };
  auto currency = [&](auto* F, auto* T) {
    limits(F, T);
    T->SetCurrency(F->IsCurrency());
  };
  when(static_cast<TNumericField*>(nullptr), [](auto* F, auto* T) {
    T->SetDisplayFormat(F->DisplayFormat());
    T->SetEditFormat(F->EditFormat());
  });
  when(static_cast<TIntegerField*>(nullptr), limits);
  when(static_cast<TLargeintField*>(nullptr), limits);
  when(static_cast<TFloatField*>(nullptr), [&](auto* F, auto* T) {
    currency(F, T);
    T->SetPrecision(F->Precision());
  });
  when(static_cast<TBCDField*>(nullptr), currency);
  when(static_cast<TDateTimeField*>(nullptr),
       [](auto* F, auto* T) { T->SetDisplayFormat(F->DisplayFormat()); });
  when(static_cast<TBooleanField*>(nullptr),
       [](auto* F, auto* T) { T->SetDisplayValues(F->DisplayValues()); });
  when(static_cast<TStringField*>(nullptr),
       [](auto* F, auto* T) { T->SetTransliterate(F->Transliterate()); });
  when(static_cast<TBlobField*>(nullptr), [](auto* F, auto* T) { T->SetBlobType(F->BlobType()); });
  if (OnSetupFieldProperties) OnSetupFieldProperties(this, To);
}

TzynCustomMemTable::TzynFieldMap TzynCustomMemTable::CopyFieldMap(TDataSet* Source,
                                                                  TDataSet* Destination) {
  bool destinationEmpty = Destination->IsEmpty();
  TzynFieldMap map;
  for (int i = 0; i < Destination->FieldCount(); ++i) {
    TField* to = Destination->Fields()->Fields(i);
    if (to->FieldKind() == fkLookup || to->FieldKind() == fkAggregate) continue;
    // Its children carry its values.
    if (!IsSupportedType(to->DataType()) || dynamic_cast<TObjectField*>(to)) continue;
    if (to->DataType() == ftAutoInc && !destinationEmpty) continue;
    if (TField* from = Source->FindField(to->FieldName())) map.emplace_back(to, from);
  }
  return map;
}

bool TzynCustomMemTable::CopyRecordValues(const TzynFieldMap& Map, TDataSet* Source,
                                          TDataSet* Destination) {
  for (auto& [to, from] : Map) {
    if (Source == this && OnSaveField) OnSaveField(this, from->Index(), from);
    if (from->IsNull()) {
      to->Clear();
    } else if (const TField &a = *from, &b = *to;
               typeid(a) != typeid(b) || from->DataType() == ftLargeint) {
      to->SetAsString(from->AsString());
    } else {
      // As the value itself: no text in between to lose digits or milliseconds.
      to->SetValue(from->Value());
    }
    if (Destination == this && OnLoadField) OnLoadField(this, to->Index(), to);
  }
  bool accept = true;
  if (Destination == this && OnLoadRecord) OnLoadRecord(this, accept);
  if (!accept) {
    Destination->Cancel();
    return false;
  }
  Destination->Post();
  return true;
}

int TzynCustomMemTable::CopyRecords(TDataSet* Source, TDataSet* Destination, int Limit) {
  if (!Source || !Destination || Source == Destination) return 0;
  TzynFieldMap map = CopyFieldMap(Source, Destination);
  LoadedCompletely = true;
  int count = 0;
  for (; !Source->Eof(); Source->Next()) {
    bool accept = true;
    if (Source == this && OnSaveRecord) OnSaveRecord(this, accept);
    if (!accept) continue;
    Destination->Append();
    if (CopyRecordValues(map, Source, Destination)) ++count;
    if (Limit > 0 && count >= Limit) {
      Source->Next();
      LoadedCompletely = Source->Eof();
      break;
    }
  }
  return count;
}

void TzynCustomMemTable::LoadFromDataSet(TDataSet* Source, int CopyFlags) {
  if (Source == this || !Source) return;
  if ((CopyFlags & cfAppend) && (CopyFlags & (cfStructure | cfDisplayProperties)))
    throw EMemTableError("Cannot both append and copy structure.");
  if (OnLoad) OnLoad(this, mtskDataSet, nullptr);
  if (CopyFlags & cfStructure)
    CreateTableAs(Source, CopyFlags);
  else if (!(CopyFlags & cfAppend) && TDataSet::Active())
    EmptyTable();
  bool filtered = Filtered();
  TDataSource* master = MasterSource();
  bool enableIndexes = EnableIndexes;
  bool sourceWasOpen = Source->Active();
  TBookmark place;
  DisableControls();
  Source->DisableControls();
  // Whatever happens, both tables end as they were set.
  auto restore = [&] {
    FCopying = false;
    EnableIndexes = enableIndexes;
    if (FCursorOpen) {
      Common->MarkIndexes();
      Common->RebuildIndexes();
    }
    if (Filtered() != filtered) SetFiltered(filtered);
    if (MasterSource() != master) SetMasterSource(master);
    if (Source->Active() && !place.empty() && Source->BookmarkValid(place)) Source->GotoBookmark(place);
    if (!sourceWasOpen) Source->Close();
    Source->EnableControls();
    if (TDataSet::Active()) First();
    EnableControls();
  };
  try {
    EnableIndexes = false;
    FCopying = true;
    if (!sourceWasOpen) Source->Open();
    if (!Source->IsEmpty()) place = Source->GetBookmark();
    SetFiltered(false);
    SetMasterSource(nullptr);
    Source->CheckBrowseMode();
    if (!TDataSet::Active()) Open();
    if ((CopyFlags & cfDisplayProperties) && !(CopyFlags & cfAppend)) CopyFieldsProperties(Source);
    Source->First();
    LoadCount = CopyRecords(Source, this, LoadLimit);
  } catch (...) {
    try {
      if (State() == dsInsert) Cancel();
      restore();
    } catch (...) {
    }
    throw;
  }
  restore();
}

void TzynCustomMemTable::CopyToDataSet(TDataSet* Destination, const std::function<int()>& Copy) {
  if (OnSave) OnSave(this, mtskDataSet, nullptr);
  bool destinationWasOpen = Destination->Active();
  DisableControls();
  Destination->DisableControls();
  auto restore = [&] {
    if (Destination->State() == dsEdit || Destination->State() == dsInsert) Destination->Cancel();
    if (Destination->Active()) Destination->First();
    if (!destinationWasOpen) Destination->Close();
    Destination->EnableControls();
    EnableControls();
  };
  try {
    if (!destinationWasOpen) Destination->Open();
    Open();
    First();
    SaveCount = Copy();
  } catch (...) {
    try {
      restore();
    } catch (...) {
    }
    throw;
  }
  restore();
}

void TzynCustomMemTable::SaveToDataSet(TDataSet* Destination) {
  if (!Destination || Destination == this) return;
  CopyToDataSet(Destination, [&] { return CopyRecords(this, Destination, SaveLimit); });
}

void TzynCustomMemTable::UpdateToDataSet(TDataSet* Destination, const AnsiString& KeyFields,
                                         int UpdateFlags) {
  if (!Destination || Destination == this) return;
  CopyToDataSet(Destination, [&] {
    TzynFieldMap map = CopyFieldMap(this, Destination);
    int count = 0;
    for (; !Eof(); Next()) {
      bool accept = true;
      if (OnSaveRecord) OnSaveRecord(this, accept);
      if (!accept) continue;
      if (Destination->Locate(KeyFields, FieldValues(KeyFields), {})) {
        if (!(UpdateFlags & ufUpdate)) continue;
        Destination->Edit();
      } else {
        if (!(UpdateFlags & ufAppend)) continue;
        Destination->Append();
      }
      if (CopyRecordValues(map, this, Destination)) ++count;
    }
    return count;
  });
}
