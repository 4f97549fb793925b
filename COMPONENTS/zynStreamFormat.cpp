#include "zynStreamFormat.h"

#include <cmath>
#include <cstring>
#include <exception>

#include "rtl/AnsiText.h"
#include "zynCommon.h"
#include "zynIndexes.h"

namespace {

// Runs every step of putting a table back; the first error is raised at
// the end, and only when no other error ended the run already.
class TRestorer {
 public:
  explicit TRestorer(bool Completed) : FCompleted(Completed) {}
  template <class Action>
  void operator()(Action&& Step) {
    try {
      Step();
    } catch (...) {
      if (!FError) FError = std::current_exception();
    }
  }
  void Finish() {
    if (FCompleted && FError) std::rethrow_exception(FError);
  }

 private:
  bool FCompleted;
  std::exception_ptr FError;
};

bool IsTextType(TFieldType Type) { return Type == ftString || Type == ftFixedChar || Type == ftGuid; }

[[noreturn]] void BadValue(const TField* Field) {
  throw EMemTableError(Format("Недопустимое значение поля %s", {Field->DisplayName()}));
}

}  // namespace

// ---- The base -------------------------------------------------------------------

TzynCustomStreamFormat::TzynCustomStreamFormat(TComponent* AOwner) : TComponent(AOwner) {}
TzynCustomStreamFormat::~TzynCustomStreamFormat() = default;

void TzynCustomStreamFormat::Assign(TPersistent* Source) {
  if (auto* other = dynamic_cast<TzynCustomStreamFormat*>(Source)) {
    Flags = other->Flags;
    return;
  }
  TComponent::Assign(Source);
}

void TzynCustomStreamFormat::DetermineSaveFields(IzynMemTable* Table) {
  FSaveFields.clear();
  TFields* fields = Table->DataSet()->Fields();
  for (int i = 0; i < fields->Count(); ++i) {
    TField* field = fields->Fields(i);
    bool save;
    switch (field->FieldKind()) {
      case fkData:
      case fkInternalCalc:
        save = Flags.Contains(sfSaveData);
        break;
      case fkCalculated:
        save = Flags.Contains(sfSaveCalculated);
        break;
      case fkLookup:
        save = Flags.Contains(sfSaveLookup);
        break;
      default:
        save = false;
    }
    if (IsBlobType(field->DataType()) && !Flags.Contains(sfSaveBlobs)) save = false;
    if (!field->Visible() && !Flags.Contains(sfSaveNonVisible)) save = false;
    if (save) FSaveFields.push_back(field);
  }
}

bool TzynCustomStreamFormat::LoadAllowed(const TField* Field) const {
  bool load;
  switch (Field->FieldKind()) {
    case fkData:
    case fkInternalCalc:
      load = Flags.Contains(sfLoadData);
      break;
    default:
      // Calculated and lookup values are computed, never stored.
      load = false;
  }
  if (IsBlobType(Field->DataType()) && !Flags.Contains(sfLoadBlobs)) load = false;
  if (!Field->Visible() && !Flags.Contains(sfLoadNonVisible)) load = false;
  return load;
}

void TzynCustomStreamFormat::SaveToStream(IzynMemTable* Table, TStream* Stream) {
  FStream = Stream;
  try {
    BeforeSave(Table);
    Save(Table);
    AfterSave(Table);
  } catch (...) {
    FinishSave(Table, false);
    throw;
  }
}

void TzynCustomStreamFormat::BeforeSave(IzynMemTable* Table) {
  FRun = TRun();
  Table->DataSet()->DisableControls();
  FRun.ControlsDisabled = true;
  Table->Common->Enter();
  FRun.Locked = true;
  TzynViewSwitches off;
  off.Filtered = Flags.Contains(sfSaveFiltered);
  off.Ranged = Flags.Contains(sfSaveIgnoreRange);
  off.MasterDetail = Flags.Contains(sfSaveIgnoreMasterDetail);
  FRun.View = Table->SuspendView(off);
  FRun.ViewSuspended = true;
  if (OnCompress) {
    FOwnWork = std::make_unique<TMemoryStream>();
    FWorkStream = FOwnWork.get();
  } else {
    FWorkStream = FStream;
    if (Flags.Contains(sfSaveAppend)) {
      FWorkStream->Seek(0, soEnd);
    } else if (!Flags.Contains(sfSaveInsert)) {
      FWorkStream->SetSize(0);
      FWorkStream->Seek(0, soBeginning);
    }
  }
  DetermineSaveFields(Table);
  Table->UpdateIsFiltered();
}

void TzynCustomStreamFormat::Save(IzynMemTable* Table) {
  if (OnBeforeSave) OnBeforeSave(this);
  SaveDef(Table);
  if (Table->CursorOpen()) SaveData(Table);
  if (OnAfterSave) OnAfterSave(this);
}

void TzynCustomStreamFormat::AfterSave(IzynMemTable* Table) {
  if (OnCompress) {
    FOwnWork->Seek(0, soBeginning);
    if (Flags.Contains(sfSaveAppend)) {
      FStream->Seek(0, soEnd);
    } else if (!Flags.Contains(sfSaveInsert)) {
      FStream->SetSize(0);
      FStream->Seek(0, soBeginning);
    }
    OnCompress(Table->DataSet(), FOwnWork.get(), FStream);
  }
  FinishSave(Table, true);
}

void TzynCustomStreamFormat::FinishSave(IzynMemTable* Table, bool Completed) {
  TRun run = FRun;
  FRun = TRun();
  TRestorer restore(Completed);
  restore([&] { ReleaseWork(); });
  if (run.ViewSuspended) restore([&] { Table->ResumeView(run.View); });
  if (run.Locked) Table->Common->Leave();
  restore([&] { Table->UpdateIsFiltered(); });
  if (run.ControlsDisabled) restore([&] { Table->DataSet()->EnableControls(); });
  FOwnWork.reset();
  FWorkStream = nullptr;
  restore.Finish();
}

void TzynCustomStreamFormat::LoadFromStream(IzynMemTable* Table, TStream* Stream) {
  FStream = Stream;
  try {
    BeforeLoad(Table);
    Load(Table);
    AfterLoad(Table);
  } catch (...) {
    FinishLoad(Table, false);
    throw;
  }
}

void TzynCustomStreamFormat::BeforeLoad(IzynMemTable* Table) {
  FRun = TRun();
  TDataSet* dataSet = Table->DataSet();
  dataSet->DisableControls();
  FRun.ControlsDisabled = true;
  Table->Common->Enter();
  FRun.Locked = true;
  Table->Loading = true;
  FRun.LoadingSet = true;
  FRun.EnableIndexes = Table->EnableIndexes;
  Table->EnableIndexes = false;
  FRun.IndexesSwitched = true;
  if (Table->AutoReposition && dataSet->Active() && !dataSet->IsEmpty())
    FRun.Bookmark = dataSet->GetBookmark();
  if (Flags.Contains(sfLoadFromStart)) FStream->Seek(0, soBeginning);
  if (OnDeCompress) {
    FOwnWork = std::make_unique<TMemoryStream>();
    OnDeCompress(dataSet, FStream, FOwnWork.get());
    FOwnWork->Seek(0, soBeginning);
    FWorkStream = FOwnWork.get();
  } else {
    FWorkStream = FStream;
  }
}

void TzynCustomStreamFormat::Load(IzynMemTable* Table) {
  if (OnBeforeLoad) OnBeforeLoad(this);
  LoadDef(Table);
  if (Table->DataSet()->FieldCount() == 0) return;
  LoadData(Table);
  if (OnAfterLoad) OnAfterLoad(this);
}

void TzynCustomStreamFormat::AfterLoad(IzynMemTable* Table) { FinishLoad(Table, true); }

void TzynCustomStreamFormat::FinishLoad(IzynMemTable* Table, bool Completed) {
  TRun run = FRun;
  FRun = TRun();
  TRestorer restore(Completed);
  restore([&] { ReleaseWork(); });
  Table->CurrentRecordOverride = nullptr;
  if (run.IndexesSwitched) Table->EnableIndexes = run.EnableIndexes;
  if (run.LoadingSet) Table->Loading = false;
  // Whatever was stored so far is listed again by every table on the storage.
  restore([&] {
    Table->Common->MarkIndexes();
    Table->Common->RebuildIndexes();
  });
  if (run.Locked) Table->Common->Leave();
  TDataSet* dataSet = Table->DataSet();
  restore([&] {
    if (!dataSet->Active()) return;
    if (!run.Bookmark.empty() && dataSet->BookmarkValid(run.Bookmark))
      dataSet->GotoBookmark(run.Bookmark);
    else
      dataSet->First();
  });
  if (run.ControlsDisabled) restore([&] { dataSet->EnableControls(); });
  restore([&] {
    if (dataSet->Active()) dataSet->Refresh();
  });
  FOwnWork.reset();
  FWorkStream = nullptr;
  restore.Finish();
}

// ---- The binary format ------------------------------------------------------------

TzynCustomBinaryStreamFormat::~TzynCustomBinaryStreamFormat() = default;

void TzynCustomBinaryStreamFormat::ReleaseWork() {
  if (FWriter) {
    std::unique_ptr<TWriter> writer = std::move(FWriter);
    writer->FlushBuffer();
  }
  FReader.reset();
}

void TzynCustomBinaryStreamFormat::BeforeSave(IzynMemTable* Table) {
  TzynCustomStreamFormat::BeforeSave(Table);
  FWriter = std::make_unique<TWriter>(WorkStream(), FBufferSize);
  FWriter->WriteSignature();
  FWriter->WriteInteger(FileVersion);
}

void TzynCustomBinaryStreamFormat::AfterSave(IzynMemTable* Table) {
  FWriter->FlushBuffer();
  FWriter.reset();
  TzynCustomStreamFormat::AfterSave(Table);
}

void TzynCustomBinaryStreamFormat::SaveDef(IzynMemTable* Table) {
  TWriter& w = *FWriter;
  w.WriteListBegin();
  if (Flags.Contains(sfSaveDef)) {
    for (TField* field : FSaveFields) {
      w.WriteString(field->FieldName());
      w.WriteString(FieldTypeNames[field->DataType()]);
      w.WriteInteger(field->Size());
      w.WriteString(field->DisplayName());
      w.WriteString(field->EditMask());
      w.WriteInteger(field->DisplayWidth());
      w.WriteBoolean(field->Required());
      w.WriteBoolean(field->ReadOnly());
      w.WriteString(Flags.Contains(sfSaveFieldKind) ? FieldKindNames[field->FieldKind()] : "Data");
      w.WriteString(field->DefaultExpression());
      w.WriteBoolean(field->Visible());
    }
  }
  w.WriteListEnd();
  w.WriteListBegin();
  if (Flags.Contains(sfSaveIndexDef)) {
    TIndexDefs* defs = Table->IndexDefs();
    for (int i = 0; i < defs->Count(); ++i) {
      TIndexDef* def = defs->Items(i);
      w.WriteString(def->Name());
      w.WriteString(def->Fields());
      w.WriteString(def->DisplayName());
      w.WriteBoolean(def->Options().Contains(ixDescending));
      w.WriteBoolean(def->Options().Contains(ixCaseInsensitive));
      w.WriteBoolean(def->Options().Contains(ixNonMaintained));
      w.WriteBoolean(def->Options().Contains(ixUnique));
    }
  }
  w.WriteListEnd();
}

void TzynCustomBinaryStreamFormat::WriteVersion(IzynMemTable* Table, TzynRecord* Record,
                                                bool Current) {
  TWriter& w = *FWriter;
  TzynCommon* common = Table->Common;
  w.WriteInteger(Record->UpdateStatus);
  TzynValue value;
  for (size_t i = 0; i < FSaveFields.size(); ++i) {
    TField* field = FSaveFields[i];
    if (Current && Table->OnSaveField) Table->OnSaveField(Table->DataSet(), static_cast<int>(i), field);
    if (auto* object = dynamic_cast<TObjectField*>(field)) {
      // Its text form, read from this version; its children follow with
      // their own values.
      TzynRecordOverride version(*Table, Record);
      w.WriteBoolean(object->IsNull());
      if (!object->IsNull()) w.WriteString(object->AsString());
      continue;
    }
    bool has = GetRecordValue(Table, Record, field, FieldDataOffset(common, field), value);
    w.WriteBoolean(!has);
    if (!has) continue;
    const uint8_t* data = value.Data;
    uint8_t bytes[10];
    switch (field->DataType()) {
      case ftSmallint: {
        int16_t v;
        std::memcpy(&v, data, 2);
        w.WriteInteger(v);
        break;
      }
      case ftWord: {
        uint16_t v;
        std::memcpy(&v, data, 2);
        w.WriteInteger(v);
        break;
      }
      case ftInteger:
      case ftAutoInc: {
        int32_t v;
        std::memcpy(&v, data, 4);
        w.WriteInteger(v);
        break;
      }
      case ftBoolean: {
        int16_t v;
        std::memcpy(&v, data, 2);
        w.WriteBoolean(v != 0);
        break;
      }
      case ftFloat: {
        double v;
        std::memcpy(&v, data, 8);
        w.WriteFloat(v);
        break;
      }
      case ftDate:
      case ftTime:
      case ftDateTime:
        w.WriteFloat(NativeToDateTime(field->DataType(), data));
        break;
      case ftLargeint: {
        int64_t v;
        std::memcpy(&v, data, 8);
        Int64ToExtended(v, bytes);
        w.WriteExtended(bytes);
        break;
      }
      case ftCurrency: {
        double v;
        std::memcpy(&v, data, 8);
        CurrencyToExtended(Currency(v).Scaled, bytes);
        w.WriteExtended(bytes);
        break;
      }
      case ftBCD: {
        TBcd bcd;
        std::memcpy(&bcd, data, sizeof bcd);
        Currency amount;
        if (!BCDToCurr(bcd, amount)) BadValue(field);
        CurrencyToExtended(amount.Scaled, bytes);
        w.WriteExtended(bytes);
        break;
      }
      case ftVarBytes: {
        uint16_t length;
        std::memcpy(&length, data, 2);
        length = static_cast<uint16_t>(std::min<int32_t>(length, value.Length - 2));
        w.WriteString(AnsiString(reinterpret_cast<const char*>(data) + 2, length));
        break;
      }
      default: {
        size_t length = static_cast<size_t>(value.Length);
        if (IsTextType(field->DataType())) {
          const void* zero = std::memchr(data, 0, length);
          if (zero) length = static_cast<size_t>(static_cast<const uint8_t*>(zero) - data);
        }
        w.WriteString(AnsiString(reinterpret_cast<const char*>(data), length));
      }
    }
  }
}

void TzynCustomBinaryStreamFormat::SaveData(IzynMemTable* Table) {
  TzynCommon* common = Table->Common;
  // Deleted records stay out of the indexes; with their versions they are
  // written after the shown ones.
  std::vector<TzynRecord*> records;
  if (Flags.Contains(sfSaveUsingIndex)) {
    TzynIndex* index = Table->CurrentIndex;
    if (!index->IsOrdered) index->Rebuild();
    for (int32_t row = 0; row < index->Count(); ++row) records.push_back(index->Rows(row));
  }
  for (int32_t slot = 0; slot < common->RecordCount(); ++slot) {
    TzynRecord* record = common->Records(slot);
    if (!record) continue;
    bool deleted = record->UpdateStatus == usDeleted;
    if (deleted ? Flags.Contains(sfSaveDeltas) : !Flags.Contains(sfSaveUsingIndex))
      records.push_back(record);
  }

  TWriter& w = *FWriter;
  Table->SavedCompletely = true;
  int32_t saved = 0;
  w.WriteListBegin();
  for (size_t i = 0; i < records.size(); ++i) {
    if (Table->SaveLimit >= 1 && saved >= Table->SaveLimit) {
      Table->SavedCompletely = false;
      break;
    }
    if (i % 100 == 0)
      Table->Progress(static_cast<int>(i * 100 / records.size()), mtpcSave);
    TzynRecord* record = records[i];
    Table->CurrentRecordOverride = record;
    Table->CalcRecordFields(record);
    if (!Table->PassesRecordFilter(record)) continue;
    bool accept = true;
    if (Table->OnSaveRecord) Table->OnSaveRecord(Table->DataSet(), accept);
    if (!accept) continue;
    if (!Flags.Contains(sfSaveData) && record->UpdateStatus == usUnmodified) continue;
    TzynRecord* oldest = record;
    while (oldest->PrevRecordVersion) oldest = oldest->PrevRecordVersion;
    if (!Flags.Contains(sfSaveDontFilterDeltas) && record->UpdateStatus == usDeleted &&
        oldest->UpdateStatus == usInserted)
      continue;
    w.WriteListBegin();
    WriteVersion(Table, record, true);
    if (Flags.Contains(sfSaveDeltas))
      for (TzynRecord* older = record->PrevRecordVersion; older; older = older->PrevRecordVersion)
        WriteVersion(Table, older, false);
    w.WriteListEnd();
    ++saved;
  }
  Table->CurrentRecordOverride = nullptr;
  w.WriteListEnd();
}

void TzynCustomBinaryStreamFormat::BeforeLoad(IzynMemTable* Table) {
  TzynCustomStreamFormat::BeforeLoad(Table);
  FIndexDefsRead = false;
  FLoadTargets.clear();
  FVersion = FileVersion;
  FEmptyStream = WorkStream()->Position() >= WorkStream()->Size();
  if (FEmptyStream) return;
  FReader = std::make_unique<TReader>(WorkStream(), FBufferSize);
  FReader->ReadSignature();
  FVersion = FReader->NextValue() == vaList ? 100 : FReader->ReadInteger();
  if (FVersion > FileVersion)
    throw EMemTableError(Format("Неподдерживаемая версия формата (%d)", {FVersion}));
}

void TzynCustomBinaryStreamFormat::LoadDef(IzynMemTable* Table) {
  if (FEmptyStream) return;
  TReader& r = *FReader;
  TDataSet* dataSet = Table->DataSet();
  bool apply = Flags.Contains(sfLoadDef) && dataSet->FieldCount() == 0;
  bool applied = false;
  std::vector<AnsiString> streamFields;
  // What an applied entry gives its field, once the fields are made.
  struct TEntry {
    AnsiString Name, DisplayName, EditMask, DefaultExpression;
    int Kind;
    int32_t DisplayWidth;
    bool ReadOnly, Visible;
  };
  std::vector<TEntry> entries;
  // The object definitions read, by the names of their fields: the entries
  // of their children follow them, named after them.
  std::vector<std::pair<AnsiString, TFieldDef*>> objects;
  auto makeFields = [&] {
    TFieldDefs* defs = dataSet->FieldDefs();
    for (int i = 0; i < defs->Count(); ++i)
      if (!dataSet->FindField(defs->Items(i)->Name())) defs->Items(i)->CreateField(dataSet);
    for (const TEntry& e : entries) {
      TField* field = dataSet->FindField(e.Name);
      if (!field) continue;
      field->SetFieldKind(static_cast<TFieldKind>(e.Kind));
      if (e.DisplayName != e.Name) field->SetDisplayLabel(e.DisplayName);
      field->SetEditMask(e.EditMask);
      field->SetReadOnly(e.ReadOnly);
      field->SetDisplayWidth(e.DisplayWidth);
      field->SetDefaultExpression(e.DefaultExpression);
      field->SetVisible(e.Visible);
    }
  };
  r.ReadListBegin();
  try {
    while (!r.EndOfList()) {
      AnsiString name = r.ReadString();
      AnsiString typeName = r.ReadString();
      int32_t size = r.ReadInteger();
      AnsiString displayName = r.ReadString();
      AnsiString editMask = r.ReadString();
      int32_t displayWidth = r.ReadInteger();
      bool required = r.ReadBoolean();
      bool readOnly = r.ReadBoolean();
      AnsiString kindName = FVersion >= 250 ? r.ReadString() : AnsiString("Data");
      AnsiString defaultExpression = FVersion >= 251 ? r.ReadString() : AnsiString();
      bool visible = FVersion >= 252 ? r.ReadBoolean() : true;
      streamFields.push_back(name);
      if (!apply) continue;
      int type = 0;
      while (type < FieldTypeCount && !SameText(FieldTypeNames[type], typeName)) ++type;
      if (type == FieldTypeCount || !IsSupportedType(static_cast<TFieldType>(type)) ||
          !DefaultFieldClass(static_cast<TFieldType>(type)))
        throw EMemTableError(Format("Неизвестный тип поля (%s)", {typeName}));
      int kind = 0;
      while (kind < FieldKindCount && !SameText(FieldKindNames[kind], kindName)) ++kind;
      if (kind == FieldKindCount) kind = fkData;
      if (!applied) {
        dataSet->Close();
        dataSet->FieldDefs()->Clear();
        applied = true;
      }
      if (static_cast<int>(entries.size()) >= ZYN_MAX_FIELDS)
        throw EMemTableError(SzynTooManyFields);
      if (size < 0 || size > 0x7FFF)
        throw EMemTableError(Format("Неизвестный тип поля (%s)", {typeName}));
      entries.push_back(
          {name, displayName, editMask, defaultExpression, kind, displayWidth, readOnly, visible});
      // The innermost object this entry's name continues.
      const std::pair<AnsiString, TFieldDef*>* parent = nullptr;
      for (const auto& object : objects)
        if (name.size() > object.first.size() + 1 &&
            SameText(name.substr(0, object.first.size()), object.first) &&
            (name[object.first.size()] == '.' || name[object.first.size()] == '[') &&
            (!parent || object.first.size() > parent->first.size()))
          parent = &object;
      TFieldDefs* defs = dataSet->FieldDefs();
      AnsiString own = name;
      if (parent) {
        own = name.substr(parent->first.size() + 1);
        if (parent->second->DataType() == ftArray) {
          // "P[0]" stands for the element of every index; "P[1]" and on
          // are that element again.
          size_t close = own.find(']');
          if (close == AnsiString::npos || close == 0 || own.substr(0, close) != "0") continue;
          own = own.substr(close + 1);
          if (!own.empty() && own[0] == '.') own.erase(0, 1);
          if (own.empty()) own = "[0]";
        }
        defs = parent->second->ChildDefs();
      }
      defs->Add(own, static_cast<TFieldType>(type), size, required);
      TFieldDef* def = defs->Items(defs->Count() - 1);
      if (type == ftADT || type == ftArray) objects.emplace_back(name, def);
      // An array's children count once for each element. The definition
      // that overflows goes before the fields read so far are made, or they
      // would be made for every element of it.
      if (parent && CountFieldDefEntries(dataSet->FieldDefs(), ZYN_MAX_FIELDS) > ZYN_MAX_FIELDS) {
        if (type == ftADT || type == ftArray) objects.pop_back();
        defs->Delete(defs->Count() - 1);
        throw EMemTableError(SzynTooManyFields);
      }
    }
  } catch (...) {
    if (applied) makeFields();
    throw;
  }
  if (applied) makeFields();
  r.ReadListEnd();
  if (FVersion >= 200) {
    bool applyIndexes = applied && Flags.Contains(sfLoadIndexDef);
    r.ReadListBegin();
    while (!r.EndOfList()) {
      AnsiString name = r.ReadString();
      AnsiString fields = r.ReadString();
      r.ReadString();  // display name
      TIndexOptions options;
      if (r.ReadBoolean()) options.Include(ixDescending);
      if (r.ReadBoolean()) options.Include(ixCaseInsensitive);
      if (r.ReadBoolean()) options.Include(ixNonMaintained);
      if (r.ReadBoolean()) options.Include(ixUnique);
      if (!applyIndexes) continue;
      if (!FIndexDefsRead) {
        Table->ClearIndexes();
        FIndexDefsRead = true;
      }
      std::vector<TField*> named;
      bool known = !fields.empty();
      for (size_t start = 0; known && start <= fields.size();) {
        size_t end = std::min(fields.find(';', start), fields.size());
        AnsiString item = Trim(fields.substr(start, end - start));
        item = item.substr(0, item.find(':'));
        if (!item.empty() && dataSet->FieldDefs()->IndexOf(item) < 0) known = false;
        start = end + 1;
      }
      if (known) Table->IndexDefs()->Add(name, fields, options);
    }
    r.ReadListEnd();
  }
  if (applied) dataSet->Open();
  MapLoadFields(Table, !streamFields.empty(), streamFields);
}

void TzynCustomBinaryStreamFormat::MapLoadFields(IzynMemTable* Table, bool StreamHasFields,
                                                 const std::vector<AnsiString>& StreamFields) {
  TDataSet* dataSet = Table->DataSet();
  FLoadTargets.clear();
  auto target = [&](TField* field) -> TField* {
    if (!field || !LoadAllowed(field) || field->FieldNo() <= 0) return nullptr;
    // The children's own values fill an object field.
    if (dynamic_cast<TObjectField*>(field)) return nullptr;
    if (SameText(field->FieldName(), "IBX_INTERNAL_DBKEY")) return nullptr;
    return field;
  };
  if (StreamHasFields) {
    // An older file may list other fields, or the same ones in another order.
    for (const AnsiString& name : StreamFields) FLoadTargets.push_back(target(dataSet->FindField(name)));
    return;
  }
  for (int i = 0; i < dataSet->FieldCount(); ++i) {
    TField* field = dataSet->Fields()->Fields(i);
    if (field->FieldKind() == fkData) FLoadTargets.push_back(target(field));
  }
}

struct TzynCustomBinaryStreamFormat::TStreamValue {
  TValueType Type = vaNull;
  int64_t Integer = 0;
  uint8_t Extended[10] = {};
  AnsiString Text;
};

void TzynCustomBinaryStreamFormat::ReadValue(TStreamValue& Value) {
  TReader& r = *FReader;
  Value.Type = r.NextValue();
  switch (Value.Type) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
      Value.Integer = r.ReadInteger();
      break;
    case vaExtended:
      r.ReadExtended(Value.Extended);
      break;
    case vaString:
    case vaLString:
      Value.Text = r.ReadString();
      break;
    case vaFalse:
    case vaTrue:
      Value.Integer = r.ReadBoolean();
      break;
    default:
      throw EReadError("Ошибка чтения потока");
  }
}

void TzynCustomBinaryStreamFormat::StoreValue(IzynMemTable* Table, TzynRecord* Record,
                                              TField* Field, const TStreamValue& Value) {
  bool number = Value.Type != vaString && Value.Type != vaLString;
  bool extended = Value.Type == vaExtended;
  // The value as an integer (fractions rounded), as a Currency amount, as a double.
  auto integer = [&]() -> int64_t {
    int64_t v = Value.Integer;
    if (extended ? !ExtendedToInt64(Value.Extended, v)
                 : (!number && !TryStrToInt64(Trim(Value.Text), v)))
      BadValue(Field);
    return v;
  };
  auto scaled = [&]() -> int64_t {
    if (extended) {
      int64_t v;
      if (!ExtendedToCurrency(Value.Extended, v)) BadValue(Field);
      return v;
    }
    int64_t v = integer();
    if (v > INT64_MAX / 10000 || v < -INT64_MAX / 10000) BadValue(Field);
    return v * 10000;
  };
  auto floating = [&]() -> double {
    if (extended) return ExtendedToDouble(Value.Extended);
    if (number) return static_cast<double>(Value.Integer);
    BadValue(Field);
  };
  auto put = [&](const void* data, int32_t length) {
    PutRecordValue(Table, Record, Field, data, length);
  };
  switch (Field->DataType()) {
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftAutoInc: {
      int64_t v = integer();
      TFieldType type = Field->DataType();
      int64_t low = type == ftSmallint ? INT16_MIN : type == ftWord ? 0 : INT32_MIN;
      int64_t high = type == ftSmallint ? INT16_MAX : type == ftWord ? UINT16_MAX : INT32_MAX;
      if (v < low || v > high) BadValue(Field);
      if (type == ftSmallint || type == ftWord) {
        uint16_t bits = static_cast<uint16_t>(v);
        put(&bits, 2);
      } else {
        int32_t bits = static_cast<int32_t>(v);
        put(&bits, 4);
        if (type == ftAutoInc && bits > Table->Common->AutoIncMax) Table->Common->AutoIncMax = bits;
      }
      break;
    }
    case ftLargeint: {
      int64_t v = integer();
      put(&v, 8);
      break;
    }
    case ftBoolean: {
      if (!number) BadValue(Field);
      int16_t v = extended ? floating() != 0 : Value.Integer != 0;
      put(&v, 2);
      break;
    }
    case ftFloat: {
      double v = floating();
      put(&v, 8);
      break;
    }
    case ftDate:
    case ftTime:
    case ftDateTime: {
      double v = floating();
      // Files before null flags marked an empty date with 0.
      if (FVersion < 249 && v == 0) break;
      if (!DateTimeInRange(v)) BadValue(Field);
      uint8_t native[8];
      DateTimeToNative(Field->DataType(), v, native);
      put(native, 8);
      break;
    }
    case ftCurrency: {
      double v = Currency::FromScaled(scaled()).ToDouble();
      put(&v, 8);
      break;
    }
    case ftBCD: {
      TBcd bcd;
      CurrToBCD(Currency::FromScaled(scaled()), bcd);
      put(&bcd, sizeof bcd);
      break;
    }
    default: {
      AnsiString text = number ? (extended ? FloatToStr(ExtendedToDouble(Value.Extended))
                                           : IntToStr(Value.Integer))
                               : Value.Text;
      if (Field->DataType() == ftBytes) {
        text.resize(static_cast<size_t>(Field->Size()), '\0');
      } else if (Field->DataType() == ftVarBytes) {
        uint16_t length = static_cast<uint16_t>(std::min<size_t>(text.size(), static_cast<size_t>(Field->Size())));
        AnsiString bytes(2, '\0');
        std::memcpy(bytes.data(), &length, 2);
        text = bytes + text.substr(0, length);
      }
      put(text.data(), static_cast<int32_t>(text.size()));
    }
  }
}

void TzynCustomBinaryStreamFormat::ReadVersion(IzynMemTable* Table, TzynRecord* Record) {
  TReader& r = *FReader;
  if (FVersion >= 230) {
    int32_t status = r.ReadInteger();
    if (status < usUnmodified || status > usDeleted) BadValue(Table->DataSet()->Fields()->Fields(0));
    Record->UpdateStatus = static_cast<uint8_t>(status);
  }
  TStreamValue value;
  for (TField* field : FLoadTargets) {
    if (FVersion >= 249 && r.ReadBoolean()) continue;
    ReadValue(value);
    if (field) StoreValue(Table, Record, field, value);
  }
}

void TzynCustomBinaryStreamFormat::LoadData(IzynMemTable* Table) {
  if (FEmptyStream) return;
  TReader& r = *FReader;
  TStream* stream = WorkStream();
  int64_t size = stream->Size();
  if (r.Position() >= size) return;
  TzynCommon* common = Table->Common;
  if (common->RecordDataSize() > 0) {
    int64_t expected = (size - r.Position()) / common->RecordDataSize();
    expected += expected / 50;
    common->ReserveRecords(static_cast<int32_t>(
        std::min<int64_t>(common->RecordCount() + expected, int64_t{1} << 24)));
  }
  Table->LoadedCompletely = true;
  int32_t loaded = 0, read = 0;
  // A record not yet stored is freed with its versions when reading fails.
  struct TPending {
    TzynCommon* Common;
    TzynRecord* Record = nullptr;
    ~TPending() {
      if (!Record) return;
      Record->Flag |= 1;
      Common->FreeRecord(Record, true, true);
    }
  } pending{common};
  r.ReadListBegin();
  while (!r.EndOfList()) {
    if (++read % 100 == 0)
      Table->Progress(static_cast<int>(r.Position() * 100 / std::max<int64_t>(size, 1)), mtpcLoad);
    if (Table->LoadLimit >= 1 && loaded >= Table->LoadLimit) {
      Table->LoadedCompletely = false;
      break;
    }
    pending.Record = common->AllocateRecord();
    Table->CurrentRecordOverride = pending.Record;
    r.ReadListBegin();
    ReadVersion(Table, pending.Record);
    if (Table->OnLoadField)
      for (size_t i = 0; i < FLoadTargets.size(); ++i)
        if (FLoadTargets[i]) Table->OnLoadField(Table->DataSet(), static_cast<int>(i), FLoadTargets[i]);
    TzynRecord* newest = pending.Record;
    while (FVersion >= 230 && !r.EndOfList()) {
      TzynRecord* older = common->AllocateRecord();
      newest->PrevRecordVersion = older;
      newest = older;
      ReadVersion(Table, older);
    }
    r.ReadListEnd();
    bool accept = true;
    if (Table->OnLoadRecord) Table->OnLoadRecord(Table->DataSet(), accept);
    if (!accept) {
      TzynRecord* refused = pending.Record;
      pending.Record = nullptr;
      refused->Flag |= 1;
      common->FreeRecord(refused, true, true);
      continue;
    }
    TzynRecord* record = pending.Record;
    uint8_t status = record->UpdateStatus;
    common->AddRecord(record);
    pending.Record = nullptr;
    record->UpdateStatus = status;
    if (status == usDeleted) ++common->DeletedCount;
    if (status != usUnmodified) common->IsDataModified = true;
    ++loaded;
  }
  Table->CurrentRecordOverride = nullptr;
}

void TzynCustomBinaryStreamFormat::AfterLoad(IzynMemTable* Table) {
  FReader.reset();
  if (FIndexDefsRead) Table->UpdateIndexes();
  Table->CurrentRecordOverride = nullptr;
  TzynCustomStreamFormat::AfterLoad(Table);
}
