// The records a user marked in a dataset shown through a TSDataSource, for
// group operations. A mark is a record's unique identity in the in-memory
// record storage, so marks survive sorting and filtering; they belong to
// one population of that storage and are dropped when it is emptied.
#pragma once

#include <cstdint>
#include <unordered_set>

#include "db/DB.h"

class IzynMemTable;
class TSDataSource;

class TMemRecordMarker : public TObject {
 public:
  TMemRecordMarker() = default;

  TSDataSource* DataSource() const { return FDataSource; }
  // Null is accepted; any data source but a TSDataSource raises.
  void SetDataSource(TDataSource* Value);
  // Takes the data source's dataset afresh; the marks are emptied.
  void Bind();

  // Whether the current record is marked. Runs for every painted row.
  bool IsMarked();
  // Whether no record that still lives is marked; the marks of deleted
  // records are dropped first.
  bool IsEmpty();
  void Clear();
  void ToggleMark();
  // Called at both ends of a group, in either order: the second call
  // toggles both ends and every record between them.
  void MarkGroup();
  // Marks every record shown, or unmarks all when some are marked, after
  // the user's yes.
  void MarkAll();
  // The field's texts over the marked records, in the dataset's order,
  // joined by ",". An empty FieldName takes KeyFieldName.
  AnsiString GetMarkedValues(const AnsiString& FieldName = "");

  AnsiString KeyFieldName;
  TNotifyEvent OnChange;

 private:
  TDataSet* BoundDataSet() const;
  bool NotAvailable() const;
  // Drops marks of a storage population that is gone.
  void CheckPopulation();
  void DropMarksOfDeleted();
  int32_t CurrentID() const;
  void Changed();
  void NotifyLinks(TDataEvent Event);

  TSDataSource* FDataSource = nullptr;
  IzynMemTable* FTable = nullptr;
  int32_t FTableID = -1;
  std::unordered_set<int32_t> FMarks;
  // The identity of the record where a group began; -1 when none.
  int32_t FGroupStart = -1;
};
