#include "URecordMarker.h"

#include <functional>
#include <vector>

#include "SDataPrompts.h"
#include "SDataSource.h"
#include "zynCommon.h"
#include "zynMemTable.h"

namespace {

// Walks the records the dataset shows, from the first, and puts the cursor
// back where it stood.
void ForEachShownRecord(TDataSet* DataSet, const std::function<void()>& Visit) {
  TBookmark noted = DataSet->GetBookmark();
  DataSet->DisableControls();
  try {
    for (DataSet->First(); !DataSet->Eof(); DataSet->Next()) Visit();
    DataSet->GotoBookmark(noted);
  } catch (...) {
    DataSet->EnableControls();
    throw;
  }
  DataSet->EnableControls();
}

}  // namespace

void TMemRecordMarker::SetDataSource(TDataSource* Value) {
  auto* source = dynamic_cast<TSDataSource*>(Value);
  if (Value && !source) throw Exception("DataSource must be TDataSource !");
  FDataSource = source;
  Bind();
}

void TMemRecordMarker::Bind() {
  bool hadMarks = !FMarks.empty();
  FMarks.clear();
  FGroupStart = -1;
  TDataSet* dataSet = FDataSource ? FDataSource->DataSet() : nullptr;
  FTable = dynamic_cast<IzynMemTable*>(dataSet);
  FTableID = FTable && FTable->Common ? FTable->Common->TableID() : -1;
  if (hadMarks) Changed();
}

TDataSet* TMemRecordMarker::BoundDataSet() const { return FTable ? FTable->DataSet() : nullptr; }

bool TMemRecordMarker::NotAvailable() const {
  TDataSet* dataSet = BoundDataSet();
  return !FDataSource || !dataSet || dataSet->State() != dsBrowse ||
         (dataSet->Bof() && dataSet->Eof());
}

void TMemRecordMarker::CheckPopulation() {
  if (!FTable || !FTable->Common || FTable->Common->TableID() == FTableID) return;
  FTableID = FTable->Common->TableID();
  FGroupStart = -1;
  if (FMarks.empty()) return;
  FMarks.clear();
  Changed();
}

// A deleted record leaves the storage, or stays there as an older version
// only: either way its mark goes with it.
void TMemRecordMarker::DropMarksOfDeleted() {
  if (FMarks.empty() || !FTable || !FTable->Common) return;
  CheckPopulation();
  TzynCommon* common = FTable->Common;
  std::unordered_set<int32_t> living;
  {
    TzynLock lock(common);
    for (int32_t slot = 0; slot < common->RecordCount() && living.size() < FMarks.size(); ++slot) {
      const TzynRecord* record = common->Records(slot);
      if (record && record->UpdateStatus != usDeleted && FMarks.count(record->UniqueRecordID))
        living.insert(record->UniqueRecordID);
    }
  }
  if (living.size() == FMarks.size()) return;
  FMarks.swap(living);
  Changed();
}

bool TMemRecordMarker::IsEmpty() {
  DropMarksOfDeleted();
  return FMarks.empty();
}

int32_t TMemRecordMarker::CurrentID() const {
  // While the table filters, the record tested is not the active one.
  if (FTable->CurrentRecordOverride) return FTable->CurrentRecordOverride->UniqueRecordID;
  return CurrentRecordID(FTable);
}

void TMemRecordMarker::Changed() {
  if (OnChange) OnChange(this);
}

void TMemRecordMarker::NotifyLinks(TDataEvent Event) {
  if (FDataSource) FDataSource->NotifyLinks(Event);
}

bool TMemRecordMarker::IsMarked() {
  if (!FTable) return false;
  CheckPopulation();
  return FMarks.count(CurrentID()) != 0;
}

void TMemRecordMarker::Clear() {
  FMarks.clear();
  Changed();
}

void TMemRecordMarker::ToggleMark() {
  if (!FTable) Bind();
  if (!NotAvailable()) {
    CheckPopulation();
    int32_t id = CurrentID();
    if (!FMarks.erase(id)) FMarks.insert(id);
  }
  NotifyLinks(deRecordChange);
  Changed();
}

void TMemRecordMarker::MarkGroup() {
  if (!FTable) Bind();
  if (NotAvailable()) return;
  CheckPopulation();
  int32_t current = CurrentID();
  if (FGroupStart < 0) {
    FGroupStart = current;
    return;
  }
  enum { Outside, FromStart, FromCurrent } state = Outside;
  bool startMet = false, currentMet = false;
  std::vector<int32_t> group;
  ForEachShownRecord(BoundDataSet(), [&] {
    int32_t id = CurrentID();
    startMet |= id == FGroupStart;
    currentMet |= id == current;
    if (state == Outside) state = id == FGroupStart ? FromStart : id == current ? FromCurrent : Outside;
    if (state != Outside) group.push_back(id);
    if ((state == FromCurrent && id == FGroupStart) || (state == FromStart && id == current))
      state = Outside;
  });
  // A start that has gone (deleted, filtered out) bounds nothing: the
  // current record begins a new group instead.
  if (!startMet || !currentMet) {
    FGroupStart = current;
    return;
  }
  for (int32_t id : group)
    if (!FMarks.erase(id)) FMarks.insert(id);
  FGroupStart = -1;
  NotifyLinks(deDataSetChange);
  Changed();
}

void TMemRecordMarker::MarkAll() {
  if (!FTable) Bind();
  if (NotAvailable()) return;
  CheckPopulation();
  bool marking = FMarks.empty();
  if (!DataPrompts().AskYesNo(marking ? "Отметить все записи ?"
                                      : "Сделать все записи неотмеченными ?"))
    return;
  if (marking) {
    // Marked only after the walk: under a filter on the marks, marking
    // would take the records from under it.
    std::vector<int32_t> shown;
    ForEachShownRecord(BoundDataSet(), [&] { shown.push_back(CurrentID()); });
    FMarks.insert(shown.begin(), shown.end());
  } else {
    FMarks.clear();
  }
  // A filter on the marks may hide the record the cursor stands on now.
  FTable->RefreshIfBrowsing();
  NotifyLinks(deDataSetChange);
  Changed();
}

AnsiString TMemRecordMarker::GetMarkedValues(const AnsiString& FieldName) {
  AnsiString values;
  TDataSet* dataSet = BoundDataSet();
  if (!dataSet) return values;
  dataSet->CheckBrowseMode();
  AnsiString name = FieldName.empty() ? KeyFieldName : FieldName;
  if (name.empty()) throw Exception("Не задано поле для выбора!");
  TField* field = dataSet->FindField(name);
  if (!field) throw Exception("Поле для выбора \"" + name + "\" не найдено !");
  CheckPopulation();
  ForEachShownRecord(dataSet, [&] {
    if (FMarks.count(CurrentID()) == 0) return;
    if (!values.empty()) values += ",";
    values += field->AsString();
  });
  return values;
}
