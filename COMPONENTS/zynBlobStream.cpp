#include "zynBlobStream.h"

#include "zynCommon.h"

TzynBlobStream::TzynBlobStream(IzynMemTable* Table, TField* Field, TBlobStreamMode Mode)
    : FTable(Table), FField(Field), FMode(Mode), FEntry(Field->FieldNo() - 1) {
  TzynCommon* common = Table->Common;
  TzynLock lock(common);
  TDataSet* dataSet = Table->DataSet();
  if (Mode != bmRead) {
    if (Field->ReadOnly() && !Table->Loading)
      DatabaseErrorFmt("Поле %s только для чтения", {Field->DisplayName()});
    if (dataSet->State() != dsEdit && dataSet->State() != dsInsert)
      throw EMemTableError("Таблица не в режиме редактирования.");
  }
  if (FEntry < 0 || FEntry >= common->FieldCount() || !common->IsOutOfLine(FEntry))
    throw EMemTableError(Format("Недопустимое значение поля %s", {Field->DisplayName()}));
  FRecord = reinterpret_cast<TzynRecord*>(dataSet->ActiveBuffer());
  if (!FRecord) throw EMemTableInvalidRecord("Некорректная запись ");
  // Only the record this buffer was read from, not a later one in its slot.
  if (FRecord->RecordID >= 0) FStoredRecord = common->StoredRecord(FRecord);
  if (Mode == bmWrite)
    Truncate();
  else
    ReadValue();
}

TzynBlobStream::~TzynBlobStream() {
  if (!FModified) return;
  // A destructor cannot report; the value stays as it was on failure.
  try {
    WriteBack();
    if (auto* blob = dynamic_cast<TBlobField*>(FField)) blob->SetModified(true);
    FTable->DataSet()->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(FField));
  } catch (...) {
  }
}

void TzynBlobStream::ReadValue() {
  TzynCommon* common = FTable->Common;
  uint8_t* buffer = common->OutOfLineBuffer(FRecord, FEntry);
  if (!buffer && common->OutOfLineState(FRecord, FEntry) && FStoredRecord)
    buffer = common->OutOfLineBuffer(FStoredRecord, FEntry);
  if (!buffer) return;
  int32_t length = ValueBufferLength(buffer);
  if (FTable->OnDecompressBlobStream) {
    TMemoryStream packed;
    packed.WriteBuffer(ValueBufferBytes(buffer), length);
    packed.SetPosition(0);
    FTable->OnDecompressBlobStream(FTable->DataSet(), &packed, this);
  } else if (length > 0) {
    TMemoryStream::Write(ValueBufferBytes(buffer), length);
  }
  SetPosition(0);
}

int32_t TzynBlobStream::Write(const void* Buffer, int32_t Count) {
  int32_t written = TMemoryStream::Write(Buffer, Count);
  if (FMode != bmRead) FModified = true;
  return written;
}

void TzynBlobStream::Truncate() {
  Clear();
  TzynCommon* common = FTable->Common;
  FreeValueBuffer(common->OutOfLineBuffer(FRecord, FEntry));
  common->SetOutOfLine(FRecord, FEntry, 0, nullptr);
  FModified = true;
}

void TzynBlobStream::WriteBack() {
  TzynCommon* common = FTable->Common;
  TzynLock lock(common);
  AnsiString bytes;
  if (FTable->OnCompressBlobStream) {
    TStringStream packed;
    SetPosition(0);
    FTable->OnCompressBlobStream(FTable->DataSet(), this, &packed);
    bytes = packed.DataString();
  } else {
    bytes.assign(static_cast<const char*>(Memory()), static_cast<size_t>(Size()));
  }
  FreeValueBuffer(common->OutOfLineBuffer(FRecord, FEntry));
  if (bytes.empty())
    common->SetOutOfLine(FRecord, FEntry, 0, nullptr);
  else
    common->SetOutOfLine(FRecord, FEntry, 2,
                         MakeValueBuffer(bytes.data(), static_cast<int32_t>(bytes.size())));
}

// ---- Delta handler ------------------------------------------------------------

// The free notices stay in both directions: the table may hold this
// handler as its DeltaHandler, and a notice between components that no
// longer refer to each other clears nothing.
TzynCustomDeltaHandler::~TzynCustomDeltaHandler() = default;

void TzynCustomDeltaHandler::SetDataSet(IzynMemTable* Value) {
  if (Value == FDataSet) return;
  FDataSet = Value;
  FDataSetComponent = Value ? Value->DataSet() : nullptr;
  if (FDataSetComponent) FDataSetComponent->FreeNotification(this);
}

void TzynCustomDeltaHandler::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent && AComponent == FDataSetComponent) {
    FDataSet = nullptr;
    FDataSetComponent = nullptr;
  }
}

void TzynCustomDeltaHandler::CheckTable() const {
  if (!FDataSet)
    throw EMemTableError("Обработчик дельт не назначен ни одной таблице-в-памяти.");
}

void TzynCustomDeltaHandler::InsertRecord(bool&, int&) {}
void TzynCustomDeltaHandler::DeleteRecord(bool&, int&) {}
void TzynCustomDeltaHandler::ModifyRecord(bool&, int&) {}
void TzynCustomDeltaHandler::UnmodifiedRecord(bool&, int&) {}

void TzynCustomDeltaHandler::Resolve() {
  CheckTable();
  IzynMemTable* table = FDataSet;
  TzynCommon* common = table->Common;
  bool autoRefresh = table->AttachedAutoRefresh;
  table->AttachedAutoRefresh = false;
  auto finish = [&] {
    common->Leave();
    table->AttachedAutoRefresh = autoRefresh;
    Record = OrigRecord = nullptr;
  };
  common->Enter();
  try {
    for (int32_t slot = 0; slot < common->RecordCount(); ++slot) {
      TzynRecord* record = common->Records(slot);
      if (!record) continue;
      TzynRecord* oldest = record;
      while (oldest->PrevRecordVersion) oldest = oldest->PrevRecordVersion;
      int kind = record->UpdateStatus;
      if (oldest->UpdateStatus == usInserted) kind = kind == usDeleted ? usUnmodified : usInserted;
      Record = record;
      OrigRecord = oldest;
      bool retry;
      do {
        // Cleared before every dispatch: a kind no operation takes ends it.
        retry = false;
        switch (kind) {
          case usUnmodified:
            UnmodifiedRecord(retry, kind);
            break;
          case usModified:
            ModifyRecord(retry, kind);
            break;
          case usInserted:
            InsertRecord(retry, kind);
            break;
          case usDeleted:
            DeleteRecord(retry, kind);
            break;
          default:
            break;
        }
      } while (retry);
    }
  } catch (...) {
    finish();
    if (autoRefresh) {
      try {
        common->RefreshOtherTables(table);
      } catch (...) {
      }
    }
    throw;
  }
  finish();
  if (autoRefresh) common->RefreshOtherTables(table);
}
