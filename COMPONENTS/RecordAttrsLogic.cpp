#include "RecordAttrsLogic.h"

#include "SDS.h"
#include "SDataSource.h"
#include "SDatabase.h"

bool RecordAttrsChanged(uint32_t State, const TRecordAttrsChoice& Choice) {
  return (IsDeletedState(State) && !Choice.DeletedChecked) || Choice.ListChecked != IsListState(State);
}

uint32_t RecordAttrsState(uint32_t State, const TRecordAttrsChoice& Choice) {
  if (Choice.DeletedEnabled && !Choice.DeletedChecked) SetDeletedState(State, false);
  SetListState(State, Choice.ListChecked);
  return State;
}

void ApplyRecordState(TSDS& Records, uint32_t NewState) {
  TField* state = Records.StateField();
  if (!state) return;
  const auto old = static_cast<uint32_t>(state->AsInteger());
  if (IsListState(NewState) && !IsListState(old) && Records.HasChildren())
    RaiseHintError("Изменение невозможно - есть уровневые записи !");
  if (Records.State() != dsBrowse) {
    state->SetAsInteger(static_cast<int32_t>(NewState));
    return;
  }
  Records.Edit();
  try {
    state->SetAsInteger(static_cast<int32_t>(NewState));
    Records.Post();
  } catch (...) {
    Records.Cancel();
    throw;
  }
}

AnsiString RecordOwnerName(TSDS& Records, int Owner) {
  const auto* database = dynamic_cast<TSDatabase*>(Records.Database());
  TSDS* users = database ? database->UserTable() : nullptr;
  if (!users || !users->Active()) return " - ??? - ";
  const Variant name = users->Lookup("SYS$ID", Variant(Owner), "NAME");
  return name.IsNull() ? AnsiString(" - ??? - ") : name.AsString();
}

TField* TreeDisplayField(TDataSet* DataSet) {
  for (const char* name : {"NAME", "KNAME"})
    if (TField* field = DataSet->FindField(name)) return field;
  TField* first = nullptr;
  for (int i = 0; i < DataSet->FieldCount(); ++i) {
    TField* field = DataSet->Fields()->Fields(i);
    if (field->DataType() != ftString) continue;
    if (field->DisplayWidth() > 10 && field->DisplayLabel() != field->FieldName()) return field;
    if (!first) first = field;
  }
  return first;
}

std::vector<int64_t> MoveMarkedRecords(TSDataSource& Source, int64_t NewParentID) {
  auto& records = dynamic_cast<TSDS&>(*Source.DataSet());
  std::vector<int64_t> refused;
  const TBookmark position = records.GetBookmark();
  records.DisableControls();
  try {
    records.First();
    while (!records.Eof()) {
      // A moved record may leave the view: the walk goes on from the record
      // noted after it.
      const TBookmark current = records.GetBookmark();
      records.Next();
      const bool last = records.Eof();
      const TBookmark next = last ? TBookmark() : records.GetBookmark();
      records.GotoBookmark(current);
      if (Source.Marker()->IsMarked()) {
        try {
          records.ChangeParent(NewParentID);
        } catch (const EHintError&) {
          refused.push_back(records.CurrentID());
        }
      }
      if (last) break;
      records.GotoBookmark(next);
    }
    try {
      records.GotoBookmark(position);
    } catch (const Exception&) {
      // The record went to another level.
    }
  } catch (...) {
    records.EnableControls();
    throw;
  }
  records.EnableControls();
  return refused;
}
