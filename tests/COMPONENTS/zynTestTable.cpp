#include "zynTestTable.h"

#include <cstring>

#include "zynBlobStream.h"

TzynTestTable::TzynTestTable(TComponent* AOwner) : TDataSet(AOwner) {
  Common = new TzynCommon(this);
  Common->AttachTable(this);
  FIndexes = std::make_unique<TzynIndexes>(this);
  Indexes = FIndexes.get();
  CurrentIndex = Indexes->RowOrderIndex();
}

TzynTestTable::~TzynTestTable() {
  Close();
  if (OwnsStorage()) {
    delete Common;
  } else {
    Common->DetachTable(this);
  }
}

void TzynTestTable::AttachTo(TzynTestTable* Source) {
  CheckInactive();
  TzynCommon* own = Common;
  own->DetachTable(this);
  try {
    Source->Common->AttachTable(this);
  } catch (...) {
    own->AttachTable(this);
    throw;
  }
  Common = Source->Common;
  if (own->Owner() == this) delete own;
  FieldDefs()->Clear();
  for (int i = 0; i < Source->FieldDefs()->Count(); ++i) {
    TFieldDef* def = Source->FieldDefs()->Items(i);
    FieldDefs()->Add(def->Name(), def->DataType(), def->Size(), def->Required());
  }
}

void TzynTestTable::StorageDestroyed() {
  Common = new TzynCommon(this);
  Common->AttachTable(this);
}

void TzynTestTable::UseIndex(TzynIndex* Index) {
  CurrentIndex = Index ? Index : Indexes->RowOrderIndex();
  if (!CurrentIndex->IsOrdered) CurrentIndex->Rebuild();
  if (TDataSet::Active()) First();
}

TzynIndex* TzynTestTable::AddIndexOn(const AnsiString& Name, const AnsiString& Fields,
                                     TIndexOptions Options) {
  return AddIndex(Name, Fields, Options);
}

TzynIndex* TzynTestTable::AddIndex(const AnsiString& Name, const AnsiString& Fields,
                                   TIndexOptions Options) {
  TzynIndex* index = Indexes->Add(std::make_unique<TzynIndex>(
      Name, false, true, IndexOptionsToCompareOptions(Options), Fields, this));
  index->Rebuild();
  return index;
}

TzynRecord* TzynTestTable::CurrentStored() const {
  return CurRec >= 0 && CurRec < CurrentIndex->Count() ? CurrentIndex->Rows(CurRec) : nullptr;
}

void TzynTestTable::ResetCursor() {
  CurRec = -1;
  ++ResetCount;
}

void TzynTestTable::ResyncCursor() {
  if (TDataSet::Active()) {
    CursorPosChanged();
    Resync({});
  }
}

void TzynTestTable::RefreshIfBrowsing() {
  if (State() == dsBrowse) Refresh();
}

TzynViewSwitches TzynTestTable::SuspendView(const TzynViewSwitches& SwitchOff) {
  TzynViewSwitches saved = View;
  if (SwitchOff.Filtered) View.Filtered = false;
  if (SwitchOff.Ranged) View.Ranged = false;
  if (SwitchOff.MasterDetail) View.MasterDetail = false;
  return saved;
}

void TzynTestTable::ClearIndexes() {
  Indexes->Clear();
  IndexDefs()->Clear();
}

void TzynTestTable::UpdateIndexes() {
  for (int i = 0; i < IndexDefs()->Count(); ++i) {
    TIndexDef* def = IndexDefs()->Items(i);
    if (!Indexes->IndexByName(def->Name())) Indexes->AddFromIndexDef(def)->Rebuild();
  }
}

void TzynTestTable::InternalOpen() {
  if (FieldCount() == 0) {
    CreateFields();
    SetDefaultFields(true);
  }
  BindFields(true);
  if (OwnsStorage()) Common->LayoutRecord(FieldDefs()->Count());
  SetBookmarkSize(8);
  FCursorOpen = true;
  CurRec = -1;
  CurrentIndex = Indexes->RowOrderIndex();
  Indexes->RebuildAll();
}

void TzynTestTable::InternalClose() {
  if (OwnsStorage()) {
    Common->CloseOtherTables(this);
    Common->Empty();
    Common->ResetIdentities();
  }
  Indexes->Clear();
  Indexes->ClearAll();
  FCursorOpen = false;
  CurRec = -1;
  BindFields(false);
  if (DefaultFields()) DestroyFields();
}

TRecordBuffer TzynTestTable::AllocRecordBuffer() {
  return reinterpret_cast<TRecordBuffer>(Common->AllocateRecord());
}

void TzynTestTable::FreeRecordBuffer(TRecordBuffer& Buffer) {
  Common->FreeRecord(reinterpret_cast<TzynRecord*>(Buffer), true, false);
  Buffer = nullptr;
}

uint8_t* TzynTestTable::BookmarkSlot(TRecordBuffer Buffer) const {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  return record->Data + Common->StartBookmarks() + AttachIndex * zynBookmarkSlotSize;
}

void TzynTestTable::GetBookmarkData(TRecordBuffer Buffer, void* Data) const {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  std::memcpy(Data, &record->RecordID, 4);
  std::memcpy(static_cast<uint8_t*>(Data) + 4, &record->UniqueRecordID, 4);
}

void TzynTestTable::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
  if (!Data) return;
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  std::memcpy(&record->RecordID, Data, 4);
  std::memcpy(&record->UniqueRecordID, static_cast<const uint8_t*>(Data) + 4, 4);
}

TBookmarkFlag TzynTestTable::GetBookmarkFlag(TRecordBuffer Buffer) const {
  return static_cast<TBookmarkFlag>(BookmarkSlot(Buffer)[4]);
}

void TzynTestTable::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
  BookmarkSlot(Buffer)[4] = Value;
}

void TzynTestTable::InternalGotoBookmark(const void* Bookmark) {
  TzynRecord key{};
  std::memcpy(&key.RecordID, Bookmark, 4);
  std::memcpy(&key.UniqueRecordID, static_cast<const uint8_t*>(Bookmark) + 4, 4);
  TzynRecord* stored = Common->StoredRecord(&key);
  int32_t row = stored ? CurrentIndex->FindRecordNumber(stored) : -1;
  if (row < 0) DatabaseError("record not found");
  CurRec = row;
}

void TzynTestTable::InternalSetToRecord(TRecordBuffer Buffer) {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  if (TzynRecord* stored = Common->StoredRecord(record)) CurRec = CurrentIndex->FindRecordNumber(stored);
}

TGetResult TzynTestTable::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool) {
  int32_t rows = CurrentIndex->Count();
  auto passes = [&](int32_t row) { return PassesRecordFilter(CurrentIndex->Rows(row)); };
  switch (GetMode) {
    case gmCurrent:
      if (CurRec < 0 || CurRec >= rows || !passes(CurRec)) return grError;
      break;
    case gmNext:
      do {
        if (CurRec >= rows - 1) {
          CurRec = rows;
          return grEOF;
        }
        ++CurRec;
      } while (!passes(CurRec));
      break;
    case gmPrior:
      do {
        if (CurRec <= 0) {
          CurRec = -1;
          return grBOF;
        }
        --CurRec;
      } while (!passes(CurRec));
      break;
  }
  Common->FetchRecord(CurrentIndex->Rows(CurRec), reinterpret_cast<TzynRecord*>(Buffer), CurRec);
  SetBookmarkFlag(Buffer, bfCurrent);
  GetCalcFields(Buffer);
  return grOK;
}

int TzynTestTable::GetRecNo() const {
  TRecordBuffer buffer = ActiveBuffer();
  if (!buffer || IsEmpty()) return -1;
  return reinterpret_cast<TzynRecord*>(buffer)->RecordNo + 1;
}

void TzynTestTable::InternalInitRecord(TRecordBuffer Buffer) {
  auto* record = reinterpret_cast<TzynRecord*>(Buffer);
  Common->ClearValues(record);
  Common->ClearRecord(record);
}

TzynRecord* TzynTestTable::FieldRecord() const {
  if (CurrentRecordOverride) return CurrentRecordOverride;
  if (State() == dsCalcFields) return reinterpret_cast<TzynRecord*>(CalcBuffer());
  return reinterpret_cast<TzynRecord*>(ActiveBuffer());
}

bool TzynTestTable::GetFieldData(TField* Field, void* Buffer) {
  TzynRecord* record = FieldRecord();
  if (!record) return false;
  int32_t fieldNo = Field->FieldNo();
  if (fieldNo > 0 && Common->IsOutOfLine(fieldNo - 1)) {
    const uint8_t* value = Common->ResolveOutOfLine(record, fieldNo - 1);
    if (!value) return false;
    if (Buffer) {
      int32_t size = std::min(ValueBufferLength(value), Field->DataSize());
      std::memset(Buffer, 0, static_cast<size_t>(Field->DataSize()));
      std::memcpy(Buffer, ValueBufferBytes(value), static_cast<size_t>(size));
    }
    return true;
  }
  const uint8_t* slot = record->Data + (fieldNo > 0 ? Common->FieldOffsets(fieldNo - 1)
                                                    : Common->StartCalculated() + Field->Offset());
  if (!slot[0]) return false;
  if (Buffer) std::memcpy(Buffer, slot + 1, static_cast<size_t>(Field->DataSize()));
  return true;
}

void TzynTestTable::SetFieldData(TField* Field, const void* Buffer) {
  TzynRecord* record = FieldRecord();
  int32_t fieldNo = Field->FieldNo();
  if (fieldNo > 0 && Common->IsOutOfLine(fieldNo - 1)) {
    FreeValueBuffer(Common->OutOfLineBuffer(record, fieldNo - 1));
    if (!Buffer) {
      Common->SetOutOfLine(record, fieldNo - 1, 0, nullptr);
    } else {
      int32_t size = Field->DataSize();
      if (Field->DataType() == ftString || Field->DataType() == ftFixedChar)
        size = static_cast<int32_t>(strnlen(static_cast<const char*>(Buffer), size)) + 1;
      Common->SetOutOfLine(record, fieldNo - 1, 2, MakeValueBuffer(Buffer, size));
    }
  } else {
    uint8_t* slot = record->Data + (fieldNo > 0 ? Common->FieldOffsets(fieldNo - 1)
                                                : Common->StartCalculated() + Field->Offset());
    slot[0] = Buffer ? 1 : 0;
    if (Buffer)
      std::memcpy(slot + 1, Buffer, static_cast<size_t>(Field->DataSize()));
    else
      std::memset(slot + 1, 0, static_cast<size_t>(Field->DataSize()));
  }
  if (State() != dsCalcFields && !CurrentRecordOverride) DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
}

void TzynTestTable::InternalPost() {
  TDataSet::InternalPost();
  auto* buffer = reinterpret_cast<TzynRecord*>(ActiveBuffer());
  TzynLock lock(Common);
  if (State() == dsInsert) {
    Indexes->CheckUniqueness(buffer, nullptr);
    TzynRecord* record = Common->DuplicateRecord(buffer, true);
    record->RecordNo = -1;
    Common->AddRecord(record);
    Common->ReflectChange(zcInsert, record, this, -1, nullptr);
    return;
  }
  TzynRecord* stored = Common->StoredRecord(buffer);
  if (!stored) throw EMemTableInvalidRecord("Некорректная запись ");
  Indexes->CheckUniqueness(buffer, stored);
  TzynRecord* old = Common->DuplicateRecord(stored, true);
  Common->MoveRecord(buffer, stored);
  stored->Flag |= 1;
  Common->ReflectChange(zcModify, stored, this, CurRec, old);
  Common->FreeRecord(old, true, false);
}

void TzynTestTable::InternalDelete() {
  TzynRecord* stored = Common->StoredRecord(reinterpret_cast<TzynRecord*>(ActiveBuffer()));
  if (!stored) throw EMemTableInvalidRecord("Некорректная запись ");
  TzynLock lock(Common);
  Common->ReflectChange(zcDelete, nullptr, this, CurRec, stored);
  Common->RemoveAndFreeRecord(stored);
}

std::unique_ptr<TStream> TzynTestTable::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  return std::make_unique<TzynBlobStream>(this, Field, Mode);
}
