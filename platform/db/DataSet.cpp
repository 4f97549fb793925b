#include "db/DataSet.h"

#include <algorithm>

#include "db/DBConsts.h"
#include "db/DataSource.h"

namespace {

bool IsEditState(TDataSetState State) { return State == dsEdit || State == dsInsert; }

bool IsWriteState(TDataSetState State) {
  switch (State) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
    case dsInternalCalc:
      return true;
    default:
      return false;
  }
}

bool IsStringType(TFieldType Type) {
  return Type == ftString || Type == ftFixedChar || Type == ftWideString || Type == ftGuid;
}

// Runs Body, then Finally also when Body raises: the scroll and change
// events of a navigation go out whatever happened while fetching.
template <class Body, class Final>
void RunFinally(Body body, Final final) {
  try {
    body();
  } catch (...) {
    final();
    throw;
  }
  final();
}

// Splits "A; B;C" into trimmed names; a trailing ';' ends the list.
std::vector<AnsiString> SplitFieldNames(const AnsiString& FieldNames) {
  std::vector<AnsiString> names;
  size_t start = 0;
  while (start < FieldNames.size()) {
    size_t end = FieldNames.find(';', start);
    if (end == AnsiString::npos) end = FieldNames.size();
    names.push_back(Trim(FieldNames.substr(start, end - start)));
    start = end + 1;
  }
  return names;
}

}  // namespace

TDataSet::TDataSet(TComponent* AOwner)
    : TComponent(AOwner),
      FFields(std::make_unique<TFields>(this)),
      FFieldDefs(std::make_unique<TFieldDefs>(this, this)) {}

TDataSet::~TDataSet() {
  Destroying();
  DetachDataSources();
  DestroyFields();
}

void TDataSet::DetachDataSources() {
  while (!FDataSources.empty()) {
    TDataSource* source = FDataSources.back();
    FDataSources.pop_back();
    source->FDataSet = nullptr;
    source->DataEvent(deUpdateState, 0);
  }
}

// ---- Opening and closing ---------------------------------------------------------

void TDataSet::SetActive(bool Value) {
  if (Active() == Value) return;
  if (Value) {
    DoBeforeOpen();
    try {
      DoInternalOpen();
    } catch (...) {
      CloseCursor();
      throw;
    }
    SetState(dsBrowse);
    DoAfterOpen();
  } else {
    bool destroying = ComponentState().Contains(csDestroying);
    if (!destroying) DoBeforeClose();
    SetState(dsInactive);
    CloseCursor();
    if (!destroying) DoAfterClose();
  }
}

void TDataSet::DoInternalOpen() {
  FDefaultFields = FieldCount() == 0;
  InternalOpen();
  FInternalOpenComplete = true;
  UpdateBufferCount();
  GetNextRecords();
  FBOF = true;
}

void TDataSet::CloseCursor() {
  FInternalOpenComplete = false;
  FreeFieldBuffers();
  ClearBuffers();
  FreeBuffers();
  InternalClose();
  FDefaultFields = false;
}

void TDataSet::FreeBuffers() {
  for (TRecordBuffer& buffer : FBuffers)
    if (buffer) FreeRecordBuffer(buffer);
  FBuffers.clear();
  FBufferCount = 0;
  FCalcBuffer = nullptr;
}

void TDataSet::InitFieldDefs() { InternalInitFieldDefs(); }

// ---- The window -----------------------------------------------------------------------

TRecordBuffer TDataSet::ActiveBuffer() const {
  return FBuffers.empty() ? nullptr : FBuffers[static_cast<size_t>(FActiveRecord)];
}

void TDataSet::MoveBuffer(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  TRecordBuffer buffer = FBuffers[static_cast<size_t>(CurIndex)];
  FBuffers.erase(FBuffers.begin() + CurIndex);
  FBuffers.insert(FBuffers.begin() + NewIndex, buffer);
}

void TDataSet::ActivateBuffers() {
  FRecordCount = 1;
  FActiveRecord = 0;
  FBOF = false;
  FEOF = false;
}

void TDataSet::ClearBuffers() {
  FRecordCount = 0;
  FActiveRecord = 0;
  FCurrentRecord = -1;
  FBOF = true;
  FEOF = true;
}

void TDataSet::SetCurrentRecord(int Index) {
  if (FCurrentRecord == Index) return;
  TRecordBuffer buffer = FBuffers[static_cast<size_t>(Index)];
  switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted:
      InternalSetToRecord(buffer);
      break;
    case bfBOF:
      InternalFirst();
      break;
    case bfEOF:
      InternalLast();
      break;
  }
  FCurrentRecord = Index;
}

void TDataSet::UpdateCursorPos() {
  if (FRecordCount > 0) SetCurrentRecord(FActiveRecord);
}

TGetResult TDataSet::FetchRecord(TGetMode GetMode, bool DoCheck) {
  try {
    return GetRecord(FBuffers[static_cast<size_t>(FRecordCount)], GetMode, DoCheck);
  } catch (...) {
    // The cursor may have moved before the failure.
    CursorPosChanged();
    throw;
  }
}

bool TDataSet::GetNextRecord() {
  TGetMode mode = gmNext;
  if (FRecordCount > 0) {
    SetCurrentRecord(FRecordCount - 1);
    // A new record that the descendant already placed under its cursor.
    if (FState == dsInsert && FCurrentRecord == FActiveRecord &&
        GetBookmarkFlag(ActiveBuffer()) == bfCurrent)
      mode = gmCurrent;
  }
  if (FetchRecord(mode, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (FRecordCount == 0)
    ActivateBuffers();
  else if (FRecordCount < FBufferCount)
    ++FRecordCount;
  else
    MoveBuffer(0, FRecordCount);
  FCurrentRecord = FRecordCount - 1;
  return true;
}

bool TDataSet::GetPriorRecord() {
  if (FRecordCount > 0) SetCurrentRecord(0);
  if (FetchRecord(gmPrior, true) != grOK) {
    CursorPosChanged();
    return false;
  }
  if (FRecordCount == 0) {
    ActivateBuffers();
  } else {
    // Everything moves down one buffer; a full window drops its last record.
    MoveBuffer(FRecordCount, 0);
    if (FRecordCount < FBufferCount) {
      ++FRecordCount;
      ++FActiveRecord;
    }
  }
  FCurrentRecord = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int count = 0;
  while (FRecordCount < FBufferCount && GetNextRecord()) ++count;
  return count;
}

int TDataSet::GetPriorRecords() {
  int count = 0;
  while (FRecordCount < FBufferCount && GetPriorRecord()) ++count;
  return count;
}

void TDataSet::UpdateBufferCount() {
  if (!FInternalOpenComplete) return;
  int count = 1;
  for (TDataSource* source : FDataSources)
    for (TDataLink* link : source->FDataLinks) count = std::max(count, link->FBufferCount);
  SetBufferCount(count);
}

void TDataSet::ShiftLinks(int Distance) {
  for (TDataSource* source : FDataSources)
    for (TDataLink* link : source->FDataLinks) link->FFirstRecord += Distance;
}

void TDataSet::SetBufferCount(int Value) {
  if (Value == FBufferCount && !FBuffers.empty()) return;
  if (Value < FBufferCount && FRecordCount > 0) {
    // Keep the active record and as much of every link's slice as fits.
    int delta = FActiveRecord;
    for (TDataSource* source : FDataSources)
      for (TDataLink* link : source->FDataLinks) delta = std::min(delta, link->FFirstRecord);
    delta = std::max({delta, FActiveRecord - Value + 1, 0});
    std::rotate(FBuffers.begin(), FBuffers.begin() + delta, FBuffers.end());
    FRecordCount = std::min(FRecordCount - delta, Value);
    FActiveRecord -= delta;
    if (FCurrentRecord >= 0) FCurrentRecord -= delta;
    if (FCurrentRecord < 0 || FCurrentRecord >= FRecordCount) FCurrentRecord = -1;
    for (TDataSource* source : FDataSources)
      for (TDataLink* link : source->FDataLinks)
        link->FFirstRecord = std::max(0, link->FFirstRecord - delta);
  }
  size_t size = static_cast<size_t>(Value) + 1;
  while (FBuffers.size() > size) {
    FreeRecordBuffer(FBuffers.back());
    FBuffers.pop_back();
  }
  while (FBuffers.size() < size) FBuffers.push_back(AllocRecordBuffer());
  FBufferCount = Value;
  if (FRecordCount > 0 && FRecordCount < FBufferCount) {
    GetNextRecords();
    if (FRecordCount < FBufferCount) ShiftLinks(GetPriorRecords());
  }
  for (TDataSource* source : FDataSources)
    for (TDataLink* link : source->FDataLinks)
      if (link->FActive) link->UpdateRange(link->FFirstRecord);
}

// ---- Navigation --------------------------------------------------------------------

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  RunFinally(
      [&] {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
      },
      [&] {
        FBOF = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
      });
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  RunFinally(
      [&] {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
      },
      [&] {
        FEOF = true;
        DataEvent(deDataSetChange, 0);
        DoAfterScroll();
      });
}

int TDataSet::MoveBy(int Distance) {
  CheckBrowseMode();
  int result = 0;
  DoBeforeScroll();
  if ((Distance > 0 && !FEOF) || (Distance < 0 && !FBOF)) {
    FBOF = false;
    FEOF = false;
    // How far the window's contents moved: -1 for each record that fell
    // off the top, +1 for each one pushed in at the top.
    int shift = 0;
    RunFinally(
        [&] {
          while (Distance > 0) {
            if (FActiveRecord < FRecordCount - 1) {
              ++FActiveRecord;
            } else {
              bool full = FRecordCount == FBufferCount;
              if (!GetNextRecord()) {
                FEOF = true;
                break;
              }
              if (full) --shift;
              FActiveRecord = FRecordCount - 1;
            }
            --Distance;
            ++result;
          }
          while (Distance < 0) {
            if (FActiveRecord > 0) {
              --FActiveRecord;
            } else {
              if (!GetPriorRecord()) {
                FBOF = true;
                break;
              }
              ++shift;
              FActiveRecord = 0;
            }
            ++Distance;
            --result;
          }
        },
        [&] {
          DataEvent(deDataSetScroll, shift);
          DoAfterScroll();
        });
  }
  return result;
}

void TDataSet::Resync(TResyncMode Mode) {
  if (Mode.Contains(rmExact)) {
    CursorPosChanged();
    if (FetchRecord(gmCurrent, true) != grOK) DatabaseError(SRecordNotFound, this);
  } else if (FetchRecord(gmCurrent, false) != grOK && FetchRecord(gmNext, false) != grOK &&
             FetchRecord(gmPrior, false) != grOK) {
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
    return;
  }
  int count = Mode.Contains(rmCenter) ? (FBufferCount - 1) / 2 : FActiveRecord;
  MoveBuffer(FRecordCount, 0);
  ActivateBuffers();
  FCurrentRecord = 0;
  RunFinally(
      [&] {
        while (count > 0 && GetPriorRecord()) --count;
        GetNextRecords();
        GetPriorRecords();
      },
      [&] { DataEvent(deDataSetChange, 0); });
}

void TDataSet::Refresh() {
  DoBeforeRefresh();
  CheckBrowseMode();
  UpdateCursorPos();
  RunFinally([&] { InternalRefresh(); },
             [&] {
               Resync({});
               DoAfterRefresh();
             });
}

bool TDataSet::FindRecord(bool, bool) { return false; }

std::vector<TDataSet*> TDataSet::DetailDataSets() const {
  std::vector<TDataSet*> details;
  for (const TDataSource* source : FDataSources)
    for (TDataLink* link : source->FDataLinks)
      if (const auto* master = dynamic_cast<const TMasterDataLink*>(link)) details.push_back(master->DetailDataSet());
  return details;
}

void TDataSet::SetRecNo(int) {}

// ---- Editing -------------------------------------------------------------------------

void TDataSet::CheckOperation(void (TDataSet::*Operation)(), const TDataSetErrorEvent& ErrorEvent) {
  for (;;) {
    try {
      UpdateCursorPos();
      (this->*Operation)();
      return;
    } catch (EDatabaseError& E) {
      TDataAction action = daFail;
      if (ErrorEvent) ErrorEvent(this, E, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    }
  }
}

void TDataSet::Edit() {
  if (IsEditState(FState)) return;
  if (FRecordCount == 0) {
    Insert();
    return;
  }
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeEdit();
  CheckOperation(&TDataSet::InternalEdit, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(dsEdit);
  DataEvent(deRecordChange, 0);
  DoAfterEdit();
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  DoBeforeInsert();
  DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
  SetState(dsInsert);
  try {
    DoOnNewRecord();
  } catch (...) {
    UpdateCursorPos();
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    throw;
  }
  FModified = false;
  DataEvent(deDataSetChange, 0);
  DoAfterInsert();
  DoAfterScroll();
}

void TDataSet::Insert() {
  BeginInsertAppend();
  TBookmark current = GetBookmark();
  // The spare buffer takes the active position; a full window loses its last record.
  MoveBuffer(FRecordCount, FActiveRecord);
  CursorPosChanged();
  TRecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (FRecordCount == 0)
    SetBookmarkFlag(buffer, bfBOF);
  else
    SetBookmarkData(buffer, current.data());
  if (FRecordCount < FBufferCount) ++FRecordCount;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  TRecordBuffer buffer = FBuffers[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, bfEOF);
  FRecordCount = 1;
  FBOF = false;
  GetPriorRecords();
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::AddRecord(const std::vector<Variant>& Values, bool Append) {
  BeginInsertAppend();
  if (!Append) UpdateCursorPos();
  DisableControls();
  RunFinally(
      [&] {
        // The spare buffer takes the active position for the new record.
        MoveBuffer(FRecordCount, FActiveRecord);
        try {
          TRecordBuffer buffer = ActiveBuffer();
          InitRecord(buffer);
          SetState(dsInsert);
          RunFinally(
              [&] {
                DoOnNewRecord();
                DoAfterInsert();
                SetFields(Values);
                DoBeforePost();
                CheckRequiredFields();
                InternalAddRecord(buffer, Append);
              },
              [&] {
                FreeFieldBuffers();
                SetState(dsBrowse);
              });
        } catch (...) {
          MoveBuffer(FActiveRecord, FRecordCount);
          // The cursor stood on the new record's buffer.
          CursorPosChanged();
          throw;
        }
        Resync({});
        DoAfterPost();
      },
      [&] { EnableControls(); });
}

void TDataSet::SetFields(const std::vector<Variant>& Values) {
  if (!IsWriteState(FState)) DatabaseError(SNotEditing, this);
  if (Values.size() > static_cast<size_t>(FFields->Count())) DatabaseError(SFieldIndexError, this);
  for (size_t i = 0; i < Values.size(); ++i) {
    TField* field = FFields->Fields(static_cast<int>(i));
    if (Values[i].IsNull() || Values[i].IsEmpty())
      field->Clear();
    else
      field->SetValue(Values[i]);
  }
}

void TDataSet::InternalAddRecord(TRecordBuffer, bool) { DatabaseError(SAddRecordUnsupported, this); }

void TDataSet::Post() {
  UpdateRecord();
  if (!IsEditState(FState)) return;
  DataEvent(deCheckBrowseMode, 0);
  DoBeforePost();
  CheckOperation(&TDataSet::InternalPost, OnPostError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterPost();
}

void TDataSet::Cancel() {
  if (!IsEditState(FState)) return;
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeCancel();
  bool scrolls = FState == dsInsert;
  if (scrolls) DoBeforeScroll();
  UpdateCursorPos();
  InternalCancel();
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterCancel();
  if (scrolls) DoAfterScroll();
}

void TDataSet::Delete() {
  CheckActive();
  if (FState == dsInsert || FState == dsSetKey) {
    Cancel();
    return;
  }
  if (FRecordCount == 0) DatabaseError(SDataSetEmpty, this);
  DataEvent(deCheckBrowseMode, 0);
  DoBeforeDelete();
  DoBeforeScroll();
  CheckOperation(&TDataSet::InternalDelete, OnDeleteError);
  FreeFieldBuffers();
  SetState(dsBrowse);
  Resync({});
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode, 0);
  switch (FState) {
    case dsEdit:
    case dsInsert:
      UpdateRecord();
      if (FModified)
        Post();
      else
        Cancel();
      break;
    case dsSetKey:
      Post();
      break;
    default:
      break;
  }
}

void TDataSet::UpdateRecord() {
  if (!IsWriteState(FState)) DatabaseError(SNotEditing, this);
  DataEvent(deUpdateRecord, 0);
}

void TDataSet::InternalPost() { CheckRequiredFields(); }

void TDataSet::CheckRequiredFields() {
  for (int i = 0; i < FFields->Count(); ++i) {
    TField* field = FFields->Fields(i);
    if (field->Required() && !field->ReadOnly() && field->FieldKind() == fkData &&
        field->IsNull()) {
      field->FocusControl();
      DatabaseErrorFmt(SFieldRequired, {field->DisplayName()});
    }
  }
}

void TDataSet::FreeFieldBuffers() {
  for (int i = 0; i < FFields->Count(); ++i) {
    auto* blob = dynamic_cast<TBlobField*>(FFields->Fields(i));
    if (blob && blob->Modified()) {
      CloseBlob(blob);
      blob->SetModified(false);
    }
  }
}

void TDataSet::CloseBlob(TField*) {}

// ---- Bookmarks -------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() const {
  if ((FState != dsBrowse && !IsEditState(FState)) || IsEmpty() ||
      GetBookmarkFlag(ActiveBuffer()) != bfCurrent)
    return TBookmark();
  TBookmark bookmark(static_cast<size_t>(FBookmarkSize), '\0');
  GetBookmarkData(ActiveBuffer(), bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& Bookmark) {
  if (Bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(Bookmark.data());
  Resync({rmExact, rmCenter});
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark&) const { return false; }

int TDataSet::CompareBookmarks(const TBookmark&, const TBookmark&) const { return 0; }

// ---- Controls and events --------------------------------------------------------------------

void TDataSet::DisableControls() {
  if (FDisableCount == 0) {
    FDisableState = FState;
    FEnableEvent = deDataSetChange;
  }
  ++FDisableCount;
}

void TDataSet::EnableControls() {
  if (FDisableCount == 0) return;
  if (--FDisableCount != 0) return;
  if (FDisableState != FState) DataEvent(deUpdateState, 0);
  if (FDisableState != dsInactive && FState != dsInactive) DataEvent(FEnableEvent, 0);
}

void TDataSet::DataEvent(TDataEvent Event, intptr_t Info) {
  TField* changed = nullptr;
  bool calculated = false;
  switch (Event) {
    case deFieldChange:
      changed = reinterpret_cast<TField*>(Info);
      if (changed->FieldKind() == fkData || changed->FieldKind() == fkInternalCalc)
        FModified = true;
      calculated = UpdateCalcFields();
      break;
    case dePropertyChange:
      FFieldDefs->SetUpdated(false);
      break;
    default:
      break;
  }
  if (!ControlsDisabled() && FState != dsBlockRead) {
    std::vector<TDataSource*> sources = FDataSources;
    for (TDataSource* source : sources) source->DataEvent(Event, Info);
    if (calculated)
      for (int i = 0; i < FFields->Count(); ++i) {
        TField* field = FFields->Fields(i);
        if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup)
          for (TDataSource* source : sources)
            source->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
      }
  } else if ((Event == deUpdateState && FState == dsInactive) || Event == deLayoutChange) {
    FEnableEvent = deLayoutChange;
  }
  if (changed) changed->Change();
}

bool TDataSet::UpdateCalcFields() {
  if (!IsEditState(FState) || !FAutoCalcFields || FCalcFieldsSize == 0) return false;
  GetCalcFields(ActiveBuffer());
  return true;
}

void TDataSet::SetState(TDataSetState Value) {
  if (FState == Value) return;
  FState = Value;
  FModified = false;
  DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState Value) {
  TDataSetState old = FState;
  FState = Value;
  ++FDisableCount;
  return old;
}

void TDataSet::RestoreState(TDataSetState Value) {
  FState = Value;
  --FDisableCount;
}

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError(SDataSetClosed, const_cast<TDataSet*>(this));
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError(SDataSetOpen, const_cast<TDataSet*>(this));
}

void TDataSet::CheckCanModify() const {
  if (!CanModify()) DatabaseError(SDataSetReadOnly, const_cast<TDataSet*>(this));
}

Variant TDataSet::GetStateFieldValue(TDataSetState State, TField* Field) {
  TDataSetState saved = SetTempState(State);
  Variant value;
  RunFinally([&] { value = Field->Value(); }, [&] { RestoreState(saved); });
  return value;
}

void TDataSet::SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value) {
  TDataSetState saved = SetTempState(State);
  RunFinally([&] { Field->SetValue(Value); }, [&] { RestoreState(saved); });
}

// ---- Record buffers and calculated fields ------------------------------------------------

void TDataSet::InitRecord(TRecordBuffer Buffer) {
  InternalInitRecord(Buffer);
  ClearCalcFields(Buffer);
  SetBookmarkFlag(Buffer, bfInserted);
}

void TDataSet::ClearCalcFields(TRecordBuffer) {}

void TDataSet::GetCalcFields(TRecordBuffer Buffer) {
  if (FSkipCalcFields || (FCalcFieldsSize == 0 && !FInternalCalcFields)) return;
  TDataSetState saved = FState;
  FState = dsCalcFields;
  try {
    CalculateFields(Buffer);
  } catch (...) {
    // Records are fetched while controls paint: the descendant decides
    // whether a failing calculation stops the fetch.
    FState = saved;
    InternalHandleException();
    return;
  }
  FState = saved;
}

void TDataSet::CalculateFields(TRecordBuffer Buffer) {
  FCalcBuffer = Buffer;
  if (FState != dsInternalCalc) {
    ClearCalcFields(Buffer);
    for (int i = 0; i < FFields->Count(); ++i) {
      TField* field = FFields->Fields(i);
      if (field->FieldKind() == fkLookup) field->CalcLookupValue();
    }
  }
  DoOnCalcFields();
}

bool TDataSet::GetFieldData(TField*, void*) { return false; }

void TDataSet::SetFieldData(TField*, const void*) {}

bool TDataSet::GetIsIndexField(TField*) const { return false; }

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField*, TBlobStreamMode) { return nullptr; }

// ---- Fields ---------------------------------------------------------------------------------

TField* TDataSet::FieldByName(const AnsiString& FieldName) const {
  return FFields->FieldByName(FieldName);
}

void TDataSet::GetFieldList(std::vector<TField*>& List, const AnsiString& FieldNames) const {
  for (const AnsiString& name : SplitFieldNames(FieldNames)) List.push_back(FieldByName(name));
}

Variant TDataSet::FieldValues(const AnsiString& FieldName) const {
  if (FieldName.find(';') == AnsiString::npos) return FieldByName(FieldName)->Value();
  std::vector<TField*> fields;
  GetFieldList(fields, FieldName);
  Variant values = VarArrayCreate(0, static_cast<int>(fields.size()) - 1, varVariant);
  for (size_t i = 0; i < fields.size(); ++i) values[static_cast<int>(i)] = fields[i]->Value();
  return values;
}

void TDataSet::SetFieldValues(const AnsiString& FieldName, const Variant& Value) {
  if (FieldName.find(';') == AnsiString::npos) {
    FieldByName(FieldName)->SetValue(Value);
    return;
  }
  std::vector<TField*> fields;
  GetFieldList(fields, FieldName);
  int low = VarArrayLowBound(Value, 1);
  for (size_t i = 0; i < fields.size(); ++i) fields[i]->SetValue(Value[low + static_cast<int>(i)]);
}

void TDataSet::CreateFields() {
  for (int i = 0; i < FFieldDefs->Count(); ++i) {
    TFieldDef* def = FFieldDefs->Items(i);
    if (def->DataType() != ftUnknown) def->CreateField(this);
  }
}

void TDataSet::DestroyFields() { FFields->Clear(); }

void TDataSet::BindFields(bool Binding) {
  FCalcFieldsSize = 0;
  FInternalCalcFields = false;
  auto compatible = [](TFieldType a, TFieldType b) {
    return a == b || (IsStringType(a) && IsStringType(b)) || (IsBlobType(a) && IsBlobType(b));
  };
  // The definitions by the names of their fields, nested ones too.
  struct Entry {
    AnsiString Name;
    TFieldDef* Def;
    int FieldNo;
  };
  std::vector<Entry> entries;
  if (Binding)
    ForEachFieldDef(FFieldDefs.get(), [&](TFieldDef* def, const AnsiString& name, int fieldNo) {
      entries.push_back({name, def, fieldNo});
    });
  for (int i = 0; i < FFields->Count(); ++i) {
    TField* field = FFields->Fields(i);
    if (!Binding) {
      field->Bind(false);
      field->FFieldNo = 0;
      continue;
    }
    if (field->FieldKind() == fkCalculated || field->FieldKind() == fkLookup) {
      field->FFieldNo = -1;
      field->FOffset = FCalcFieldsSize;
      FCalcFieldsSize += field->DataSize() + 1;
    } else {
      auto entry = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return AnsiSameText(e.Name, field->FieldName());
      });
      if (entry == entries.end()) DatabaseErrorFmt(SFieldNotFound, {field->FieldName()}, this);
      TFieldDef* def = entry->Def;
      if (!compatible(def->DataType(), field->DataType()))
        DatabaseErrorFmt(SFieldTypeMismatch,
                         {field->DisplayName(), FieldTypeNames[field->DataType()],
                          FieldTypeNames[def->DataType()]},
                         this);
      field->FFieldNo = entry->FieldNo;
      if (def->InternalCalcField() || field->FieldKind() == fkInternalCalc)
        FInternalCalcFields = true;
    }
    field->Bind(true);
  }
}

// ---- Searching ------------------------------------------------------------------------------

bool TDataSet::ScanRecords(const std::vector<TField*>& Used, const std::function<bool()>& Match) {
  // Inside a calculation (a lookup field of this very dataset) the cursor
  // stands on the record being fetched or scanned; it goes back there.
  TBookmark back;
  if (FState == dsCalcFields && FCalcBuffer && GetBookmarkFlag(FCalcBuffer) == bfCurrent) {
    back.assign(static_cast<size_t>(FBookmarkSize), '\0');
    GetBookmarkData(FCalcBuffer, back.data());
  }
  // Calculated fields are computed only when the search reads one: a lookup
  // into the dataset itself would otherwise search again for every record.
  bool calculate =
      std::any_of(Used.begin(), Used.end(), [](TField* f) { return f->FieldKind() != fkData; });
  bool skipped = FSkipCalcFields;
  // A buffer of its own: scans nest that way.
  TRecordBuffer buffer = AllocRecordBuffer();
  TRecordBuffer savedCalc = FCalcBuffer;
  bool found = false;
  RunFinally(
      [&] {
        CursorPosChanged();
        InternalFirst();
        for (;;) {
          FSkipCalcFields = true;
          bool fetched = GetRecord(buffer, gmNext, true) == grOK;
          FSkipCalcFields = skipped;
          if (!fetched) break;
          if (calculate) GetCalcFields(buffer);
          TDataSetState saved = SetTempState(dsCalcFields);
          FCalcBuffer = buffer;
          RunFinally([&] { found = Match(); },
                     [&] {
                       RestoreState(saved);
                       FCalcBuffer = savedCalc;
                     });
          if (found) break;
        }
      },
      [&] {
        FSkipCalcFields = skipped;
        FreeRecordBuffer(buffer);
        if (!back.empty()) InternalGotoBookmark(back.data());
      });
  return found;
}

bool TDataSet::RecordMatches(const std::vector<TField*>& Fields, const Variant& Values,
                             TLocateOptions Options) const {
  int low = Fields.size() > 1 ? VarArrayLowBound(Values, 1) : 0;
  for (size_t i = 0; i < Fields.size(); ++i) {
    Variant key = Fields.size() == 1 ? Values : Values[low + static_cast<int>(i)];
    TField* field = Fields[i];
    if (VarIsNull(key) || VarIsEmpty(key)) {
      if (!field->IsNull()) return false;
      continue;
    }
    if (field->IsNull()) return false;
    if (IsStringType(field->DataType()) || field->DataType() == ftMemo) {
      AnsiString value = field->AsString(), wanted = VarToStr(key);
      if (Options.Contains(loPartialKey)) value = value.substr(0, wanted.size());
      if (Options.Contains(loCaseInsensitive) ? !AnsiSameText(value, wanted) : value != wanted)
        return false;
    } else if (VarCompareValue(field->Value(), key) != vrEqual) {
      return false;
    }
  }
  return true;
}

bool TDataSet::Locate(const AnsiString& KeyFields, const Variant& KeyValues,
                      TLocateOptions Options) {
  CheckBrowseMode();
  std::vector<TField*> fields;
  GetFieldList(fields, KeyFields);
  DoBeforeScroll();
  bool found = ScanRecords(fields, [&] { return RecordMatches(fields, KeyValues, Options); });
  SetFound(found);
  if (found) {
    Resync({rmExact, rmCenter});
    DoAfterScroll();
  }
  return found;
}

Variant TDataSet::Lookup(const AnsiString& KeyFields, const Variant& KeyValues,
                         const AnsiString& ResultFields) {
  CheckBrowseMode();
  std::vector<TField*> fields;
  GetFieldList(fields, KeyFields);
  std::vector<TField*> used = fields;
  GetFieldList(used, ResultFields);
  Variant result = Variant::Null();
  bool found = ScanRecords(used, [&] {
    if (!RecordMatches(fields, KeyValues, {})) return false;
    result = FieldValues(ResultFields);
    return true;
  });
  SetFound(found);
  return result;
}

// ---- Filters ---------------------------------------------------------------------------------

void TDataSet::SetFiltered(bool Value) { FFiltered = Value; }

void TDataSet::SetFilterText(const AnsiString& Value) {
  if (Active() && FFiltered) CheckBrowseMode();
  FFilterText = Value;
}

void TDataSet::SetFilterOptions(TFilterOptions Value) {
  if (Active() && FFiltered) CheckBrowseMode();
  FFilterOptions = Value;
}

void TDataSet::SetOnFilterRecord(const TFilterRecordEvent& Value) { FOnFilterRecord = Value; }

// ---- Data sources -----------------------------------------------------------------------------

void TDataSet::AddDataSource(TDataSource* Source) {
  FDataSources.push_back(Source);
  Source->FDataSet = this;
  UpdateBufferCount();
  Source->DataEvent(deUpdateState, 0);
}

void TDataSet::RemoveDataSource(TDataSource* Source) {
  Source->FDataSet = nullptr;
  FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), Source),
                     FDataSources.end());
  Source->DataEvent(deUpdateState, 0);
  UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(const TDataSource* Source) const {
  while (Source) {
    const TDataSet* dataSet = Source->DataSet();
    if (!dataSet) return false;
    if (dataSet == this) return true;
    Source = dataSet->GetDataSource();
  }
  return false;
}

// ---- Hooks ------------------------------------------------------------------------------------

namespace {
void Fire(const TDataSetNotifyEvent& Event, TDataSet* DataSet) {
  if (Event) Event(DataSet);
}
}  // namespace

void TDataSet::DoBeforeOpen() { Fire(BeforeOpen, this); }

void TDataSet::DoAfterOpen() {
  Fire(AfterOpen, this);
  if (!IsEmpty()) DoAfterScroll();
}

void TDataSet::DoBeforeClose() { Fire(BeforeClose, this); }
void TDataSet::DoAfterClose() { Fire(AfterClose, this); }
void TDataSet::DoBeforeInsert() { Fire(BeforeInsert, this); }
void TDataSet::DoAfterInsert() { Fire(AfterInsert, this); }
void TDataSet::DoBeforeEdit() { Fire(BeforeEdit, this); }
void TDataSet::DoAfterEdit() { Fire(AfterEdit, this); }
void TDataSet::DoBeforePost() { Fire(BeforePost, this); }
void TDataSet::DoAfterPost() { Fire(AfterPost, this); }
void TDataSet::DoBeforeCancel() { Fire(BeforeCancel, this); }
void TDataSet::DoAfterCancel() { Fire(AfterCancel, this); }
void TDataSet::DoBeforeDelete() { Fire(BeforeDelete, this); }
void TDataSet::DoAfterDelete() { Fire(AfterDelete, this); }
void TDataSet::DoBeforeScroll() { Fire(BeforeScroll, this); }
void TDataSet::DoAfterScroll() { Fire(AfterScroll, this); }
void TDataSet::DoBeforeRefresh() { Fire(BeforeRefresh, this); }
void TDataSet::DoAfterRefresh() { Fire(AfterRefresh, this); }
void TDataSet::DoOnCalcFields() { Fire(OnCalcFields, this); }
void TDataSet::DoOnNewRecord() { Fire(OnNewRecord, this); }
