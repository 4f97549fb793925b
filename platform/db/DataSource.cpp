#include "db/DataSource.h"

#include <algorithm>

#include "db/DBConsts.h"
#include "db/DataSet.h"

// ---- TDataSource -----------------------------------------------------------------

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
  Destroying();
  OnStateChange = nullptr;
  OnDataChange = nullptr;
  SetDataSet(nullptr);
  while (!FDataLinks.empty()) RemoveDataLink(FDataLinks.back());
}

void TDataSource::SetDataSet(TDataSet* Value) {
  if (Value == FDataSet) return;
  if (Value && IsLinkedTo(Value)) DatabaseError(SCircularDataLink, this);
  if (FDataSet) FDataSet->RemoveDataSource(this);
  if (Value) Value->AddDataSource(this);
}

void TDataSource::SetEnabled(bool Value) {
  FEnabled = Value;
  UpdateState();
}

void TDataSource::Edit() {
  if (FAutoEdit && FState == dsBrowse) FDataSet->Edit();
}

bool TDataSource::IsLinkedTo(TDataSet* DataSet) const {
  while (DataSet) {
    TDataSource* master = DataSet->GetDataSource();
    if (!master) return false;
    if (master == this) return true;
    DataSet = master->DataSet();
  }
  return false;
}

void TDataSource::AddDataLink(TDataLink* Link) {
  FDataLinks.push_back(Link);
  Link->FDataSource = this;
  if (FDataSet) FDataSet->UpdateBufferCount();
  Link->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* Link) {
  Link->FDataSource = nullptr;
  FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), Link), FDataLinks.end());
  Link->UpdateState();
  if (FDataSet) FDataSet->UpdateBufferCount();
}

void TDataSource::UpdateState() {
  TDataSetState state = FEnabled && FDataSet ? FDataSet->State() : dsInactive;
  if (state == FState) return;
  TDataSetState prior = FState;
  FState = state;
  NotifyDataLinks(deUpdateState, 0);
  if (ComponentState().Contains(csDestroying)) return;
  if (OnStateChange) OnStateChange(this);
  if (prior == dsInactive && OnDataChange) OnDataChange(this, nullptr);
}

void TDataSource::NotifyDataLinks(TDataEvent Event, intptr_t Info) {
  // Controls first, then the links of detail datasets. A handler may
  // remove links, so each pass walks down and re-checks the bounds.
  for (bool visual : {true, false})
    for (size_t i = FDataLinks.size(); i-- > 0;) {
      if (i >= FDataLinks.size()) continue;
      TDataLink* link = FDataLinks[i];
      if (link->FVisualControl == visual) link->DataEvent(Event, Info);
    }
}

void TDataSource::DataEvent(TDataEvent Event, intptr_t Info) {
  if (Event == deUpdateState) {
    UpdateState();
    return;
  }
  if (FState == dsInactive) return;
  NotifyDataLinks(Event, Info);
  switch (Event) {
    case deFieldChange:
    case deRecordChange:
      if (OnDataChange) OnDataChange(this, reinterpret_cast<TField*>(Info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (OnDataChange) OnDataChange(this, nullptr);
      break;
    case deUpdateRecord:
      if (OnUpdateData) OnUpdateData(this);
      break;
    default:
      break;
  }
}

// ---- TDataLink ---------------------------------------------------------------------

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
  FDataSourceFixed = false;
  SetDataSource(nullptr);
}

void TDataLink::SetDataSource(TDataSource* Value) {
  if (Value == FDataSource) return;
  if (FDataSourceFixed) DatabaseError(SDataSourceChange, FDataSource);
  if (FDataSource) FDataSource->RemoveDataLink(this);
  if (Value) Value->AddDataLink(this);
}

TDataSet* TDataLink::DataSet() const { return FDataSource ? FDataSource->DataSet() : nullptr; }

void TDataLink::SetReadOnly(bool Value) {
  if (Value == FReadOnly) return;
  FReadOnly = Value;
  UpdateState();
}

void TDataLink::UpdateState() {
  TDataSetState state = FDataSource ? FDataSource->State() : dsInactive;
  SetActiveState(state != dsInactive);
  SetEditing((state == dsEdit || state == dsInsert || state == dsSetKey) && !FReadOnly);
}

void TDataLink::SetActiveState(bool Value) {
  if (Value == FActive) return;
  FActive = Value;
  if (Value)
    UpdateRange(FFirstRecord);
  else
    FFirstRecord = 0;
  ActiveChanged();
}

void TDataLink::SetEditing(bool Value) {
  if (Value == FEditing) return;
  FEditing = Value;
  EditingChanged();
}

int TDataLink::UpdateRange(int First) {
  TDataSet* dataSet = DataSet();
  int active = dataSet->FActiveRecord;
  if (active > First + FBufferCount - 1) First = active - FBufferCount + 1;
  if (active < First) First = active;
  // As full as the window allows: no empty rows below while records above
  // are left out.
  First = std::max(0, std::min(First, dataSet->FRecordCount - FBufferCount));
  FFirstRecord = First;
  return First;
}

void TDataLink::DataEvent(TDataEvent Event, intptr_t Info) {
  if (Event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!FActive) return;
  switch (Event) {
    case deFieldChange:
    case deRecordChange:
      if (!FUpdating) RecordChanged(reinterpret_cast<TField*>(Info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      int distance = 0;
      if (FDataSource->State() != dsSetKey) {
        // The window's contents moved by Info on a scroll; the slice follows
        // its records first, then keeps the active record inside.
        int first = FFirstRecord + (Event == deDataSetScroll ? static_cast<int>(Info) : 0);
        distance = UpdateRange(first) - first;
      }
      if (Event == deDataSetChange)
        DataSetChanged();
      else if (Event == deDataSetScroll)
        DataSetScrolled(distance);
      else
        LayoutChanged();
      break;
    }
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(*reinterpret_cast<TField**>(Info));
      break;
    default:
      break;
  }
}

int TDataLink::ActiveRecord() const {
  if (!FActive || FDataSource->State() == dsSetKey) return 0;
  return DataSet()->FActiveRecord - FFirstRecord;
}

void TDataLink::SetActiveRecord(int Value) {
  if (FActive && FDataSource->State() != dsSetKey) DataSet()->FActiveRecord = Value + FFirstRecord;
}

int TDataLink::RecordCount() const {
  if (!FActive) return 0;
  if (FDataSource->State() == dsSetKey) return 1;
  return std::clamp(DataSet()->FRecordCount - FFirstRecord, 0, FBufferCount);
}

bool TDataLink::Bof() const { return FActive && DataSet()->Bof(); }

bool TDataLink::Eof() const { return FActive && DataSet()->Eof(); }

void TDataLink::SetBufferCount(int Value) {
  Value = std::max(Value, 1);
  if (Value == FBufferCount) return;
  FBufferCount = Value;
  if (!FActive) return;
  UpdateRange(FFirstRecord);
  DataSet()->UpdateBufferCount();
  UpdateRange(FFirstRecord);
}

bool TDataLink::Edit() {
  if (!FReadOnly && FDataSource) FDataSource->Edit();
  return FEditing;
}

void TDataLink::UpdateRecord() {
  FUpdating = true;
  try {
    UpdateData();
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
}

// ---- TMasterDataLink ------------------------------------------------------------------

TMasterDataLink::TMasterDataLink(TDataSet* ADataSet) : FDataSet(ADataSet) {}

void TMasterDataLink::SetFieldNames(const AnsiString& Value) {
  if (Value == FFieldNames) return;
  FFieldNames = Value;
  ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
  FFields.clear();
  if (Active()) {
    try {
      DataSet()->GetFieldList(FFields, FFieldNames);
    } catch (...) {
      FFields.clear();
      throw;
    }
  }
  if (!FDataSet->Active() || FDataSet->ComponentState().Contains(csDestroying)) return;
  if (Active() && !FFields.empty()) {
    if (OnMasterChange) OnMasterChange(this);
  } else if (OnMasterDisable) {
    OnMasterDisable(this);
  }
}

void TMasterDataLink::CheckBrowseMode() {
  if (FDataSet->Active()) FDataSet->CheckBrowseMode();
}

void TMasterDataLink::LayoutChanged() { ActiveChanged(); }

void TMasterDataLink::RecordChanged(TField* Field) {
  if (DataSource()->State() == dsSetKey || !FDataSet->Active() || FFields.empty()) return;
  if (Field && std::find(FFields.begin(), FFields.end(), Field) == FFields.end()) return;
  if (OnMasterChange) OnMasterChange(this);
}

TField* GetFieldProperty(TDataSet* DataSet, TComponent* Control, const AnsiString& FieldName) {
  TField* field = DataSet->FindField(FieldName);
  if (!field) DatabaseErrorFmt(SFieldNotFound, {FieldName}, Control);
  return field;
}
