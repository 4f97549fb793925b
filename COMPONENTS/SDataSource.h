// The data source through which the grid and the service actions reach a
// dataset without knowing its class: the user's sort by columns, the filter
// dialog's conditions, the record marker and record hierarchy levels.
#pragma once

#include <functional>
#include <memory>

#include "FieldFilter.h"
#include "URecordMarker.h"
#include "db/DB.h"

class TSDataSource;

// The filter dialog, registered by its form unit: edits Filters for the
// field in place, or leaves them as they were when cancelled.
using TFilterDialogHook = std::function<void(TSDataSource* Source, TField* Field, TFilterArr& Filters)>;
void SetFilterDialogHook(TFilterDialogHook Hook);
// The record attributes dialog, registered by its form unit.
using TRecordAttrsHook = std::function<void(TSDataSource* Source)>;
void SetRecordAttrsHook(TRecordAttrsHook Hook);

class TSDataSource : public TDataSource {
 public:
  explicit TSDataSource(TComponent* AOwner);
  ~TSDataSource() override;

  TMemRecordMarker* Marker() const { return FMarker.get(); }
  // Takes the marker over and binds it to this data source; the old one is freed.
  void SetMarker(TMemRecordMarker* Value);

  // The user's conditions; the condition filter is in the dataset while
  // some remain.
  const TFilterArr& Filters() const { return FFilters; }
  void ShowFilterDialog(TField* Field);
  void CancelFilter();

  // The user's sort by column titles, over the dataset's index field names.
  // Sorting by a field the sort already has only beeps.
  void SortByField(const AnsiString& FieldNames);
  // Drops the last field of the user's sort; the first sort's undo puts
  // back the names the dataset had before.
  void CancelSort();
  // 4: not a field of the dataset, or a dataset of a class this source does
  // not sort; 1: read-only; 3: in the current sort or a primary index; 0:
  // free for group changes.
  uint8_t GetFieldSortState(TField* Field);
  AnsiString GetFieldCaption(TField* Field) const { return Field->DisplayName(); }

  // Record hierarchy levels of a server-backed dataset; false for others.
  bool HasLevels() const;
  bool LevelUp();
  bool LevelDown();
  // The attributes of the current record of a server-backed dataset that
  // is not empty; nothing otherwise.
  void ShowRecordAttributes();

  // Every link hears a record change (deRecordChange) or a data-set change.
  void NotifyLinks(TDataEvent Event);

 protected:
  void DataEvent(TDataEvent Event, intptr_t Info) override;
  void Notification(TComponent* Component, TOperation Operation) override;

 private:
  // Shows "Не задан набор данных" and aborts silently without a dataset.
  TDataSet* CheckDataSet() const;
  void InstallConditionFilter();
  void RemoveConditionFilter();
  void FilterRecord(TDataSet* DataSet, bool& Accept);
  bool Passes(const TFieldFilter& Filter);
  // The dataset changed under this source (rebound, or freed).
  void DataSetReplaced();

  std::unique_ptr<TMemRecordMarker> FMarker;
  TFilterArr FFilters;
  // The dataset the condition filter is in, with what it replaced there.
  TDataSet* FFilterDataSet = nullptr;
  TFilterRecordEvent FSavedFilterRecord;
  bool FSavedFiltered = false;
  TDataSet* FBoundDataSet = nullptr;
  // The dataset's index field names before the user's first sort.
  AnsiString FSavedIndexFieldNames;
  bool FSorted = false;
};
