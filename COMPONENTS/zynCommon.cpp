#include "zynCommon.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>

#include "FastMov.h"
#include "zynIndexes.h"

namespace {

std::mt19937& TableIDSource() {
  static std::mt19937 source{std::random_device{}()};
  return source;
}

}  // namespace

// ---- Value buffers ----------------------------------------------------------

uint8_t* MakeValueBuffer(int32_t Length) {
  auto* buffer = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(Length) + 4));
  if (!buffer) throw std::bad_alloc();
  std::memcpy(buffer, &Length, 4);
  return buffer;
}

uint8_t* MakeValueBuffer(const void* Bytes, int32_t Length) {
  uint8_t* buffer = MakeValueBuffer(Length);
  FastMoveProc(Bytes, buffer + 4, Length);
  return buffer;
}

uint8_t* DuplicateValueBuffer(const uint8_t* Buffer) {
  return Buffer ? MakeValueBuffer(Buffer + 4, ValueBufferLength(Buffer)) : nullptr;
}

int32_t ValueBufferLength(const uint8_t* Buffer) {
  int32_t length = 0;
  if (Buffer) std::memcpy(&length, Buffer, 4);
  return length;
}

void FreeValueBuffer(uint8_t* Buffer) { std::free(Buffer); }

int32_t InlineValueSize(TFieldType Type, int32_t Size) {
  switch (Type) {
    case ftString:
    case ftFixedChar:
      return Size + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
      return 2;
    case ftInteger:
    case ftAutoInc:
      return 4;
    case ftFloat:
    case ftCurrency:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftLargeint:
      return 8;
    case ftBCD:
      return 34;
    case ftBytes:
      return Size;
    case ftVarBytes:
      return Size + 2;
    case ftGuid:
      return 39;
    default:
      return 0;
  }
}

bool IsSupportedType(TFieldType Type) {
  switch (Type) {
    case ftUnknown:
    case ftCursor:
    case ftWideString:
    case ftReference:
    case ftDataSet:
    case ftVariant:
    case ftInterface:
    case ftIDispatch:
      return false;
    default:
      return Type <= ftGuid;
  }
}

namespace {

bool IsOutOfLineType(TFieldType Type, int32_t Size, TzynPerformance Performance) {
  if (IsBlobType(Type)) return true;
  switch (Type) {
    case ftString:
    case ftFixedChar:
    case ftBytes:
    case ftVarBytes:
      return Size >= 13 && Performance != mtpfFast;
    default:
      return false;
  }
}

}  // namespace

// ---- Storage ----------------------------------------------------------------

TzynCommon::TzynCommon(IzynMemTable* AOwner) : FOwner(AOwner) { NewTableID(); }

TzynCommon::~TzynCommon() {
  // Every table left on the storage gets one of its own, so none keeps
  // pointing at freed records.
  for (size_t i = 0; i < FTables.size(); ++i) {
    IzynMemTable* table = FTables[i];
    if (!table || table == FOwner) continue;
    FTables[i] = nullptr;
    try {
      table->DataSet()->Close();
    } catch (...) {
    }
    table->StorageDestroyed();
  }
  FreeAllRecords();
}

void TzynCommon::NewTableID() {
  std::uniform_int_distribution<int32_t> draw(0, INT32_MAX);
  int32_t previous = FTableID;
  do FTableID = draw(TableIDSource());
  while (FTableID == previous);
}

void TzynCommon::LayoutRecord(int32_t FieldCount) {
  TzynLock lock(this);
  TDataSet* dataSet = FOwner->DataSet();
  TFieldDefs* defs = dataSet->FieldDefs();
  if (defs->Count() == 0) throw EMemTableError("Должно быть по крайней мере одно поле");
  if (FieldCount > ZYN_MAX_FIELDS) throw EMemTableError(SzynTooManyFields);
  FBookmarkArraySize = FAttachMaxCount * zynBookmarkSlotSize;
  int32_t running = 0;
  FFieldCount = FieldCount;
  std::memset(FFieldFlags, 0, sizeof FFieldFlags);
  ForEachFieldDef(defs, [&](TFieldDef* def, const AnsiString&, int fieldNo) {
    int32_t entry = fieldNo - 1;
    if (entry >= ZYN_MAX_FIELDS) throw EMemTableError(SzynTooManyFields);
    // Nested definitions have entries of their own.
    FFieldCount = std::max(FFieldCount, fieldNo);
    if (!IsSupportedType(def->DataType()))
      throw EMemTableError(Format(
          "Определение поля %s (%s) Тип данных %d не поддерживается.)",
          {def->Name(), def->DisplayName(), static_cast<int>(def->DataType())}));
    // A field may be larger than its definition says (a string field of
    // size 0 is made 20 wide): its slot must hold what it writes.
    TField* field = dataSet->FieldByNumber(entry + 1);
    int32_t size = def->Size();
    if (field && field->DataType() == def->DataType()) size = std::max(size, field->Size());
    uint8_t flags = IsOutOfLineType(def->DataType(), size, Performance) ? zffOutOfLine : 0;
    if (flags && FOwner->OnSetupField && field && !IsBlobType(field->DataType()))
      FOwner->OnSetupField(dataSet, field, flags);
    FFieldFlags[entry] = flags & (zffOutOfLine | zffCompressed);
    if (FFieldFlags[entry] & zffOutOfLine) {
      FFieldOffsets[entry] = -1;
    } else {
      FFieldOffsets[entry] = running;
      int32_t valueSize = InlineValueSize(def->DataType(), size);
      if (field && !field->IsBlob()) valueSize = std::max(valueSize, field->DataSize());
      running += valueSize + 1;
    }
  });
  FStartCalculated = running;
  FCalcFieldsSize = dataSet->CalcFieldsSize();
  FStartBookmarks = FStartCalculated + FCalcFieldsSize;
  FStartOutOfLine = FStartBookmarks + FBookmarkArraySize;
  FOutOfLineCount = 0;
  ForEachFieldDef(defs, [&](TFieldDef*, const AnsiString&, int fieldNo) {
    int32_t entry = fieldNo - 1;
    if (!(FFieldFlags[entry] & zffOutOfLine)) return;
    if (Performance == mtpfSmall) FFieldFlags[entry] |= zffCompressed;
    FFieldOffsets[entry] = FStartOutOfLine + zynOutOfLineSlotSize * FOutOfLineCount++;
  });
  FFixedRecordSize = FStartOutOfLine;
  FRecordDataSize = FFixedRecordSize + OutOfLineSize();
  FRecordAllocSize = FRecordDataSize + static_cast<int32_t>(sizeof(TzynRecord));
  IsDataModified = false;
  ClearFieldMarks();
}

void TzynCommon::ClearFieldMarks() {
  for (uint8_t& flags : FFieldFlags) flags &= static_cast<uint8_t>(~zffMarked);
}

TzynRecord* TzynCommon::AllocateRecord() {
  void* block = std::malloc(static_cast<size_t>(FRecordAllocSize));
  if (!block) throw std::bad_alloc();
  auto* record = static_cast<TzynRecord*>(block);
  record->Data = reinterpret_cast<uint8_t*>(record + 1);
  ClearRecord(record);
  return record;
}

void TzynCommon::ClearRecord(TzynRecord* Record) {
  Record->RecordNo = -1;
  Record->RecordID = -1;
  Record->UniqueRecordID = -1;
  Record->Tag = 0;
  Record->PrevRecordVersion = nullptr;
  Record->TransactionLevel = -1;
  Record->UpdateStatus = usUnmodified;
  Record->Flag = 0;
  std::memset(Record->Data, 0, static_cast<size_t>(FRecordDataSize));
}

void TzynCommon::ClearValues(TzynRecord* Record) {
  for (int32_t entry = 0; entry < FFieldCount; ++entry) {
    if (!IsOutOfLine(entry)) continue;
    FreeValueBuffer(OutOfLineBuffer(Record, entry));
    SetOutOfLine(Record, entry, 0, nullptr);
  }
}

uint8_t* TzynCommon::OutOfLineBuffer(const TzynRecord* Record, int32_t Entry) const {
  uint8_t* buffer;
  std::memcpy(&buffer, Record->Data + FFieldOffsets[Entry] + 1, sizeof buffer);
  return buffer;
}

void TzynCommon::SetOutOfLine(TzynRecord* Record, int32_t Entry, uint8_t State,
                              uint8_t* Buffer) const {
  uint8_t* slot = Record->Data + FFieldOffsets[Entry];
  slot[0] = State;
  std::memcpy(slot + 1, &Buffer, sizeof Buffer);
}

TzynRecord* TzynCommon::StoredRecord(const TzynRecord* Buffer) const {
  if (Buffer->RecordID < 0 || Buffer->RecordID >= FRecords.Count()) return nullptr;
  TzynRecord* stored = Records(Buffer->RecordID);
  return stored && stored->UniqueRecordID == Buffer->UniqueRecordID ? stored : nullptr;
}

const uint8_t* TzynCommon::ResolveOutOfLine(const TzynRecord* Record, int32_t Entry) const {
  if (!OutOfLineState(Record, Entry)) return nullptr;
  if (uint8_t* own = OutOfLineBuffer(Record, Entry)) return own;
  if (Record->Flag & 1) return nullptr;
  if (Record->RecordID < 0) throw EMemTableInvalidRecord("Некорректная запись ");
  const TzynRecord* stored = StoredRecord(Record);
  if (!stored) throw EMemTableInvalidRecord("Некорректная запись ");
  return OutOfLineState(stored, Entry) ? OutOfLineBuffer(stored, Entry) : nullptr;
}

void TzynCommon::FreeRecord(TzynRecord* Record, bool FreeValues, bool FreeVersions) {
  while (Record) {
    TzynRecord* older = (FreeVersions && (Record->Flag & 1)) ? Record->PrevRecordVersion : nullptr;
    if (FreeValues) ClearValues(Record);
    std::free(Record);
    // The older versions are freed the same way; they are not current.
    Record = older;
    if (Record) Record->Flag |= 1;
  }
}

void TzynCommon::CopyRecord(const TzynRecord* Source, TzynRecord* Dest) {
  uint8_t flag = Dest->Flag;
  uint8_t* data = Dest->Data;
  *Dest = *Source;
  Dest->Flag = flag;
  Dest->Data = data;
  FastMoveProc(Source->Data, Dest->Data, FFixedRecordSize);
  for (int32_t entry = 0; entry < FFieldCount; ++entry)
    if (IsOutOfLine(entry)) Dest->Data[FFieldOffsets[entry]] = Source->Data[FFieldOffsets[entry]];
}

void TzynCommon::FetchRecord(const TzynRecord* Stored, TzynRecord* Buffer, int32_t Row) {
  ClearValues(Buffer);
  ClearRecord(Buffer);
  CopyRecord(Stored, Buffer);
  Buffer->RecordNo = Row;
}

TzynRecord* TzynCommon::DuplicateRecord(const TzynRecord* Source, bool WithValues) {
  TzynRecord* record = AllocateRecord();
  CopyRecord(Source, record);
  if (WithValues) {
    for (int32_t entry = 0; entry < FFieldCount; ++entry) {
      if (!IsOutOfLine(entry)) continue;
      if (const uint8_t* value = OutOfLineBuffer(Source, entry))
        SetOutOfLine(record, entry, 2, DuplicateValueBuffer(value));
    }
  }
  return record;
}

void TzynCommon::MoveRecord(TzynRecord* Source, TzynRecord* Dest) {
  for (int32_t entry = 0; entry < FFieldCount; ++entry) {
    if (!IsOutOfLine(entry)) continue;
    if (uint8_t* value = OutOfLineBuffer(Source, entry)) {
      FreeValueBuffer(OutOfLineBuffer(Dest, entry));
      SetOutOfLine(Dest, entry, OutOfLineState(Dest, entry), value);
      SetOutOfLine(Source, entry, OutOfLineState(Source, entry), nullptr);
    } else if (!OutOfLineState(Source, entry)) {
      FreeValueBuffer(OutOfLineBuffer(Dest, entry));
      SetOutOfLine(Dest, entry, 0, nullptr);
    }
  }
  CopyRecord(Source, Dest);
}

void TzynCommon::ReserveRecords(int32_t Count) {
  if (Count > FRecords.Capacity()) FRecords.SetCapacity(Count);
}

void TzynCommon::AddRecord(TzynRecord* Record) {
  TzynLock lock(this);
  if (FUniqueRecordIDCounter >= zynUniqueIDLimit)
    throw EMemTableFatalError(
        "Счетчик закладок вне допустимого диапазона. Закройте и снова откройте таблицу.");
  if (FFreedSlots.Count() > 0) {
    int32_t last = FFreedSlots.Count() - 1;
    Record->RecordID = static_cast<int32_t>(reinterpret_cast<intptr_t>(FFreedSlots.Items(last)));
    FFreedSlots.Delete(last);
    FRecords.SetItems(Record->RecordID, Record);
  } else {
    Record->RecordID = FRecords.Add(Record);
  }
  Record->UniqueRecordID = FUniqueRecordIDCounter++;
  Record->Flag |= 1;
  if (EnableVersioning) Record->UpdateStatus = usInserted;
}

void TzynCommon::ReplaceRecord(TzynRecord* Record) {
  TzynLock lock(this);
  Record->Flag |= 1;
  FRecords.SetItems(Record->RecordID, Record);
}

void TzynCommon::RemoveRecord(TzynRecord* Record) {
  TzynLock lock(this);
  FFreedSlots.Add(reinterpret_cast<void*>(static_cast<intptr_t>(Record->RecordID)));
  FRecords.SetItems(Record->RecordID, nullptr);
}

void TzynCommon::RemoveAndFreeRecord(TzynRecord* Record) {
  RemoveRecord(Record);
  FreeRecord(Record, true, true);
}

void TzynCommon::FreeAllRecords() {
  TzynLock lock(this);
  for (int32_t slot = 0; slot < FRecords.Count(); ++slot) FreeRecord(Records(slot), true, true);
  FFreedSlots.Clear();
  FRecords.Clear();
  DeletedCount = 0;
  NewTableID();
}

void TzynCommon::ResetIdentities() {
  TzynLock lock(this);
  FUniqueRecordIDCounter = 0;
}

// ---- Attach slots -----------------------------------------------------------

void TzynCommon::AttachTable(IzynMemTable* Table) {
  TzynLock lock(this);
  for (size_t i = 0; i < FTables.size(); ++i) {
    if (!FTables[i]) {
      FTables[i] = Table;
      Table->AttachIndex = static_cast<int>(i);
      return;
    }
  }
  int32_t count = TableCount() + 1;
  // Checked before the table takes a slot: a refused table stays out.
  if (AnyTableActive() && FAttachMaxCount < count)
    throw Exception("Не хватает слотов для подключения в " +
                    ComponentPathName(FTables.empty() ? nullptr : FTables[0]->DataSet()));
  FTables.push_back(Table);
  Table->AttachIndex = count - 1;
  if (FAttachMaxCount < count) FAttachMaxCount = count;
}

void TzynCommon::DetachTable(IzynMemTable* Table) {
  TzynLock lock(this);
  for (IzynMemTable*& slot : FTables)
    if (slot == Table) slot = nullptr;
  Table->AttachIndex = -1;
}

bool TzynCommon::AnyTableActive() const {
  for (IzynMemTable* table : FTables)
    if (table && table->CursorOpen()) return true;
  return false;
}

void TzynCommon::SetAttachMaxCount(int32_t Value) {
  TzynLock lock(this);
  if (Value == FAttachMaxCount) return;
  if (Value < 1) throw EMemTableError("Некорректный аргумент.");
  if (AnyTableActive()) throw EMemTableError("Table must be closed for this operation.");
  // A table in a slot beyond the count would have no bookmark area.
  for (size_t i = static_cast<size_t>(Value); i < FTables.size(); ++i)
    if (FTables[i])
      throw EMemTableError("Не хватает слотов для подключения в " +
                           ComponentPathName(FTables[0] ? FTables[0]->DataSet() : nullptr));
  FTables.resize(static_cast<size_t>(Value), nullptr);
  FAttachMaxCount = Value;
}

void TzynCommon::SetStandalone(bool Value) {
  if (Value == FStandalone) return;
  if (Value) {
    TzynLock lock(this);
    int used = 0;
    for (IzynMemTable* table : FTables) used += table != nullptr;
    if (used >= 2 || TableCount() >= 2) throw EMemTableError("Children are attached to this table.");
  }
  FStandalone = Value;
}

void TzynCommon::SetAutoIncMin(int32_t Value) {
  FAutoIncMin = Value;
  if (Value > AutoIncMax) AutoIncMax = Value - 1;
}

// ---- Locale -----------------------------------------------------------------

void TzynCommon::UpdateLocaleID() {
  FLocaleID = (FSortID << 16) | ((FSubLanguageID << 10) & 0xFFFF) | FLanguageID;
}

void TzynCommon::SetLocaleID(int32_t Value) {
  FLocaleID = Value;
  FSortID = (Value >> 16) & 0xF;
  FLanguageID = Value & 0xFF;
  FSubLanguageID = (Value >> 10) & 0x3F;
}

void TzynCommon::SetLanguageID(int32_t Value) {
  FLanguageID = Value;
  UpdateLocaleID();
}

void TzynCommon::SetSubLanguageID(int32_t Value) {
  FSubLanguageID = Value;
  UpdateLocaleID();
}

void TzynCommon::SetSortID(int32_t Value) {
  FSortID = Value;
  UpdateLocaleID();
}

// ---- The tables on the storage ---------------------------------------------

void TzynCommon::CloseOtherTables(IzynMemTable* Table) {
  TzynLock lock(this);
  for (size_t i = FTables.size(); i-- > 0;)
    if (FTables[i] && FTables[i] != Table) FTables[i]->DataSet()->Close();
}

void TzynCommon::RefreshOtherTables(IzynMemTable* Table) {
  TzynLock lock(this);
  for (IzynMemTable* table : FTables)
    if (table && table != Table && table->CursorOpen()) table->RefreshIfBrowsing();
}

void TzynCommon::Empty() {
  TzynLock lock(this);
  for (IzynMemTable* table : FTables) {
    if (!table || !table->CursorOpen()) continue;
    table->ResetCursor();
    table->Indexes->ClearAll();
  }
  FreeAllRecords();
  RebuildIndexes();
}

void TzynCommon::MarkIndexes() {
  TzynLock lock(this);
  for (IzynMemTable* table : FTables)
    if (table && table->CursorOpen()) table->Indexes->MarkAllUnordered();
}

void TzynCommon::RebuildIndexes() {
  TzynLock lock(this);
  for (IzynMemTable* table : FTables)
    if (table && table->CursorOpen()) table->Indexes->RebuildAll();
}

void TzynCommon::Resynchronise() {
  TzynLock lock(this);
  for (IzynMemTable* table : FTables)
    if (table && table->CursorOpen()) table->ResyncCursor();
}

void TzynCommon::ReflectChange(TzynChange Operation, TzynRecord* Record, IzynMemTable* Table,
                               int32_t Position, TzynRecord* OldRecord) {
  TzynLock lock(this);
  for (IzynMemTable* table : FTables)
    if (table && table->CursorOpen())
      table->Indexes->ReflectChange(Operation, OldRecord, table == Table ? Position : -1, Record,
                                    table == Table);
}

// ---- Transactions -----------------------------------------------------------

void TzynCommon::CommitLevel() {
  TzynLock lock(this);
  for (int32_t slot = 0; slot < FRecords.Count(); ++slot) {
    TzynRecord* record = Records(slot);
    if (!record || record->TransactionLevel != FTransactionLevel) continue;
    if (FTransactionLevel > 1) {
      // An inner level joins the outer one: the outer level's roll back
      // still needs the versions from before it.
      for (TzynRecord* version = record; version && version->TransactionLevel == FTransactionLevel;
           version = version->PrevRecordVersion)
        --version->TransactionLevel;
      continue;
    }
    if (TzynRecord* older = record->PrevRecordVersion) {
      older->Flag |= 1;
      FreeRecord(older, true, true);
    }
    record->PrevRecordVersion = nullptr;
    --record->TransactionLevel;
  }
}

void TzynCommon::RollbackLevel() {
  TzynLock lock(this);
  IsDataModified = false;
  for (int32_t slot = 0; slot < FRecords.Count(); ++slot) {
    for (;;) {
      TzynRecord* record = Records(slot);
      if (!record || record->TransactionLevel != FTransactionLevel ||
          record->UpdateStatus == usUnmodified)
        break;
      if (record->UpdateStatus == usInserted) {
        FreeRecord(record, true, true);
        FFreedSlots.Add(reinterpret_cast<void*>(static_cast<intptr_t>(slot)));
        FRecords.SetItems(slot, nullptr);
        break;
      }
      // A change without an older version (versioning switched on later,
      // or a status read from a stream) cannot be undone: the record stays.
      TzynRecord* older = record->PrevRecordVersion;
      if (!older) break;
      older->Flag |= 1;
      FRecords.SetItems(slot, older);
      FreeRecord(record, true, false);
    }
  }
  for (int32_t slot = 0; slot < FRecords.Count(); ++slot)
    if (TzynRecord* record = Records(slot); record && record->UpdateStatus != usUnmodified)
      IsDataModified = true;
  RecountDeleted();
  // The indexes of every open table listed the versions just freed.
  RebuildIndexes();
}

void TzynCommon::RecountDeleted() {
  DeletedCount = 0;
  for (int32_t slot = 0; slot < FRecords.Count(); ++slot)
    if (TzynRecord* record = Records(slot); record && record->UpdateStatus == usDeleted)
      ++DeletedCount;
}

// ---- Field values -------------------------------------------------------------

int32_t FieldDataOffset(const TzynCommon* Common, const TField* Field) {
  return Field->FieldNo() > 0 ? Common->FieldOffsets(Field->FieldNo() - 1)
                              : Common->StartCalculated() + Field->Offset();
}

bool GetRecordValue(IzynMemTable* Table, const TzynRecord* Record, TField* Field, int32_t Offset,
                    TzynValue& Value) {
  TzynCommon* common = Table->Common;
  int32_t fieldNo = Field->FieldNo();
  if (fieldNo > 0 && common->IsOutOfLine(fieldNo - 1)) {
    const uint8_t* buffer = common->ResolveOutOfLine(Record, fieldNo - 1);
    if (!buffer) return false;
    Value.Data = ValueBufferBytes(buffer);
    Value.Length = ValueBufferLength(buffer);
    if ((common->FieldFlags(fieldNo - 1) & zffCompressed) && Table->OnDecompressField) {
      AnsiString stored(reinterpret_cast<const char*>(Value.Data),
                        static_cast<size_t>(Value.Length));
      Value.Holder.clear();
      Table->OnDecompressField(Table->DataSet(), Field, stored, Value.Holder);
      Value.Data = reinterpret_cast<const uint8_t*>(Value.Holder.data());
      Value.Length = static_cast<int32_t>(Value.Holder.size());
    }
    return true;
  }
  const uint8_t* slot = Record->Data + Offset;
  if (!slot[0]) return false;
  Value.Data = slot + 1;
  Value.Length = Field->DataSize();
  return true;
}

void PutRecordValue(IzynMemTable* Table, TzynRecord* Record, TField* Field, const void* Data,
                    int32_t Length) {
  TzynCommon* common = Table->Common;
  int32_t fieldNo = Field->FieldNo();
  TFieldType type = Field->DataType();
  bool text = type == ftString || type == ftFixedChar || type == ftGuid;
  if (text && Length > Field->Size()) Length = Field->Size();
  if (fieldNo > 0 && common->IsOutOfLine(fieldNo - 1)) {
    int32_t entry = fieldNo - 1;
    FreeValueBuffer(common->OutOfLineBuffer(Record, entry));
    if (!Data) {
      common->SetOutOfLine(Record, entry, 0, nullptr);
      return;
    }
    // Text keeps its terminating zero.
    AnsiString bytes(static_cast<const char*>(Data), static_cast<size_t>(Length));
    if (text) bytes.push_back('\0');
    if ((common->FieldFlags(entry) & zffCompressed) && Table->OnCompressField) {
      AnsiString packed;
      Table->OnCompressField(Table->DataSet(), Field, bytes, packed);
      bytes.swap(packed);
    }
    common->SetOutOfLine(Record, entry, 2,
                         MakeValueBuffer(bytes.data(), static_cast<int32_t>(bytes.size())));
    return;
  }
  uint8_t* slot = Record->Data + FieldDataOffset(common, Field);
  int32_t size = Field->DataSize();
  std::memset(slot + 1, 0, static_cast<size_t>(size));
  slot[0] = Data ? 1 : 0;
  if (Data) FastMoveProc(Data, slot + 1, std::min(Length, text ? size - 1 : size));
}
