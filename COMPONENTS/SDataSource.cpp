#include "SDataSource.h"

#include <algorithm>

#include "SDS.h"
#include "SDataPrompts.h"
#include "zynMemTable.h"

namespace {

TFilterDialogHook& FilterDialogHook() {
  static TFilterDialogHook hook;
  return hook;
}

TRecordAttrsHook& RecordAttrsHook() {
  static TRecordAttrsHook hook;
  return hook;
}

// The in-memory tables (the server-backed one too) sort by index field names.
TzynCustomMemTable* SortableTable(TDataSet* DataSet) {
  auto* table = dynamic_cast<TzynCustomMemTable*>(DataSet);
  if (!table) throw Exception("Неподдерживаемый тип НД:" + DataSet->ClassName());
  return table;
}

std::vector<TField*> FieldsOf(TDataSet* DataSet, const AnsiString& FieldNames) {
  std::vector<TField*> fields;
  DataSet->GetFieldList(fields, FieldNames);
  return fields;
}

}  // namespace

void SetFilterDialogHook(TFilterDialogHook Hook) { FilterDialogHook() = std::move(Hook); }

void SetRecordAttrsHook(TRecordAttrsHook Hook) { RecordAttrsHook() = std::move(Hook); }

TSDataSource::TSDataSource(TComponent* AOwner)
    : TDataSource(AOwner), FMarker(std::make_unique<TMemRecordMarker>()) {
  FMarker->SetDataSource(this);
}

TSDataSource::~TSDataSource() {
  // The dataset outlives this source: it must not keep a handler into it.
  RemoveConditionFilter();
}

void TSDataSource::SetMarker(TMemRecordMarker* Value) {
  FMarker.reset(Value);
  if (FMarker) FMarker->SetDataSource(this);
}

void TSDataSource::NotifyLinks(TDataEvent Event) { TDataSource::DataEvent(Event, 0); }

TDataSet* TSDataSource::CheckDataSet() const {
  if (!DataSet()) {
    DataPrompts().ShowMessage("Не задан набор данных");
    Abort();
  }
  return DataSet();
}

// ---- Condition filter ------------------------------------------------------------

void TSDataSource::ShowFilterDialog(TField* Field) {
  TDataSet* dataSet = CheckDataSet();
  TBookmark noted = dataSet->GetBookmark();
  if (FilterDialogHook()) FilterDialogHook()(this, Field, FFilters);
  // Default fields die with Close: a condition must not outlive its field.
  for (const auto& filter : FFilters)
    if (filter->Field) filter->Field->FreeNotification(this);
  if (FFilters.empty())
    RemoveConditionFilter();
  else
    InstallConditionFilter();
  try {
    dataSet->GotoBookmark(noted);
  } catch (const Exception&) {
    // The record may be filtered out now.
  }
}

void TSDataSource::CancelFilter() {
  if (FFilters.empty() && !FFilterDataSet) return;
  CheckDataSet();
  FFilters.clear();
  RemoveConditionFilter();
}

void TSDataSource::InstallConditionFilter() {
  TDataSet* dataSet = DataSet();
  // A std::function cannot tell whether it is ours: the dataset's own
  // handler and switch are saved on the first installation only.
  if (!FFilterDataSet) {
    FSavedFilterRecord = dataSet->OnFilterRecord();
    FSavedFiltered = dataSet->Filtered();
    FFilterDataSet = dataSet;
  }
  dataSet->SetOnFilterRecord([this](TDataSet* Sender, bool& Accept) { FilterRecord(Sender, Accept); });
  dataSet->SetFiltered(true);
  NotifyLinks(deDataSetChange);
}

void TSDataSource::RemoveConditionFilter() {
  if (!FFilterDataSet) return;
  TDataSet* dataSet = FFilterDataSet;
  FFilterDataSet = nullptr;
  dataSet->SetOnFilterRecord(FSavedFilterRecord);
  FSavedFilterRecord = nullptr;
  dataSet->SetFiltered(FSavedFiltered);
  NotifyLinks(deDataSetChange);
}

void TSDataSource::FilterRecord(TDataSet* DataSet, bool& Accept) {
  if (FSavedFilterRecord) {
    FSavedFilterRecord(DataSet, Accept);
    if (!Accept) return;
  }
  Accept = std::all_of(FFilters.begin(), FFilters.end(),
                       [this](const auto& Filter) { return Passes(*Filter); });
}

bool TSDataSource::Passes(const TFieldFilter& Filter) {
  if (Filter.Kind != ffkMarked) return Filter.Accept();
  return FMarker && FMarker->IsMarked() != Filter.Unmarked;
}

// ---- Sorting -------------------------------------------------------------------------

void TSDataSource::SortByField(const AnsiString& FieldNames) {
  TDataSet* dataSet = CheckDataSet();
  std::vector<TField*> sorted = FieldsOf(dataSet, FieldNames);
  TzynCustomMemTable* table = SortableTable(dataSet);
  AnsiString current = table->IndexFieldNames();
  std::vector<TField*> sorting = FieldsOf(dataSet, current);
  if (std::search(sorting.begin(), sorting.end(), sorted.begin(), sorted.end()) != sorting.end()) {
    DataPrompts().Beep();
    return;
  }
  if (!FSorted) {
    FSavedIndexFieldNames = current;
    table->SetIndexFieldNames(FieldNames);
    FSorted = true;
  } else {
    table->SetIndexFieldNames(current.empty() ? FieldNames : current + ";" + FieldNames);
  }
  NotifyLinks(deDataSetChange);
}

void TSDataSource::CancelSort() {
  TDataSet* dataSet = CheckDataSet();
  // Without a sort of the user's, the names are the program's own.
  if (!FSorted) return;
  TzynCustomMemTable* table = SortableTable(dataSet);
  AnsiString current = table->IndexFieldNames();
  if (!current.empty()) {
    size_t last = current.rfind(';');
    if (last == AnsiString::npos) {
      table->SetIndexFieldNames(FSavedIndexFieldNames);
      FSorted = false;
    } else {
      table->SetIndexFieldNames(current.substr(0, last));
    }
  }
  NotifyLinks(deDataSetChange);
}

uint8_t TSDataSource::GetFieldSortState(TField* Field) {
  TDataSet* dataSet = DataSet();
  if (!Field || !dataSet || Field->DataSet() != dataSet) return 4;
  try {
    TzynCustomMemTable* table = SortableTable(dataSet);
    if (table->ReadOnly() || Field->ReadOnly()) return 1;
    // Fields, not their names: ID is no part of a sort on PARENT_ID.
    std::vector<TField*> keys = FieldsOf(dataSet, table->IndexFieldNames());
    TIndexDefs* indexes = table->IndexDefs();
    for (int i = 0; i < indexes->Count(); ++i)
      if (indexes->Items(i)->Options().Contains(ixPrimary)) {
        std::vector<TField*> primary = FieldsOf(dataSet, indexes->Items(i)->Fields());
        keys.insert(keys.end(), primary.begin(), primary.end());
      }
    return std::find(keys.begin(), keys.end(), Field) != keys.end() ? 3 : 0;
  } catch (const Exception&) {
    return 4;
  }
}

// ---- Levels -------------------------------------------------------------------------

bool TSDataSource::HasLevels() const {
  auto* sds = dynamic_cast<TSDS*>(DataSet());
  return sds && sds->Options().Contains(dsoLevels);
}

bool TSDataSource::LevelUp() {
  auto* sds = dynamic_cast<TSDS*>(DataSet());
  return sds && sds->LevelUp();
}

bool TSDataSource::LevelDown() {
  auto* sds = dynamic_cast<TSDS*>(DataSet());
  return sds && sds->LevelDown();
}

void TSDataSource::ShowRecordAttributes() {
  auto* sds = dynamic_cast<TSDS*>(DataSet());
  if (sds && sds->Active() && !(sds->Bof() && sds->Eof()) && RecordAttrsHook()) RecordAttrsHook()(this);
}

// ---- The dataset changing ----------------------------------------------------------

void TSDataSource::DataEvent(TDataEvent Event, intptr_t Info) {
  if (Event == deUpdateState && DataSet() != FBoundDataSet) DataSetReplaced();
  TDataSource::DataEvent(Event, Info);
}

void TSDataSource::DataSetReplaced() {
  TDataSet* previous = FBoundDataSet;
  FBoundDataSet = DataSet();
  if (FFilterDataSet == previous && previous &&
      previous->ComponentState().Contains(csDestroying)) {
    // Nothing to put back into a dataset that is going away.
    FFilterDataSet = nullptr;
    FSavedFilterRecord = nullptr;
  }
  RemoveConditionFilter();
  // The conditions test fields of the previous dataset.
  FFilters.clear();
  FSorted = false;
  FSavedIndexFieldNames.clear();
  if (FMarker) FMarker->Bind();
}

void TSDataSource::Notification(TComponent* Component, TOperation Operation) {
  TDataSource::Notification(Component, Operation);
  if (Operation != opRemove) return;
  // The dataset may be closing: the filter stays, without the condition.
  std::erase_if(FFilters, [Component](const auto& Filter) { return Filter->Field == Component; });
}
