#include "SDataSource.h"

#include <algorithm>

#include "SDataPrompts.h"

namespace {

TFilterDialogHook& FilterDialogHook() {
  static TFilterDialogHook hook;
  return hook;
}

}  // namespace

void SetFilterDialogHook(TFilterDialogHook Hook) { FilterDialogHook() = std::move(Hook); }

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
  if (FMarker) FMarker->Bind();
}

void TSDataSource::Notification(TComponent* Component, TOperation Operation) {
  TDataSource::Notification(Component, Operation);
  if (Operation != opRemove) return;
  // The dataset may be closing: the filter stays, without the condition.
  std::erase_if(FFilters, [Component](const auto& Filter) { return Filter->Field == Component; });
}
