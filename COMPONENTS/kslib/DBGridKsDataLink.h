// The grid's link to its data source: it passes the dataset's events on to
// the grid and keeps the field map, the dataset fields the grid shows, one
// entry per data column.
#pragma once

#include <vector>

#include "db/DB.h"

class TCustomDBGridKs;

class TGridDataLinkKs : public TDataLink {
 public:
  explicit TGridDataLinkKs(TCustomDBGridKs* Grid);
  ~TGridDataLinkKs() override;

  TCustomDBGridKs* Grid() const { return FGrid; }
  // Adds the named field; with a sparse map a missing name maps to no field.
  bool AddMapping(const AnsiString& FieldName);
  void ClearMapping();
  int FieldCount() const { return FFieldCount; }
  int MapSize() const { return static_cast<int>(FFieldMap.size()); }
  TField* GetFields(int I) const;
  bool DefaultFields() const;
  bool SparseMap = false;
  bool IsModified() const { return FModified; }
  void Modified() { FModified = true; }
  // Drops an edit the grid has not marked; refreshes the record otherwise.
  void Reset();
  // For the tests: how deep UpdateData is.
  bool InUpdateData() const { return FInUpdateData; }

  static constexpr int MaxMapSize = 0x0FFFFFFF;

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void DataSetScrolled(int Distance) override;
  void EditingChanged() override;
  void FocusControl(TField*& Field) override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  void UpdateData() override;

 private:
  TCustomDBGridKs* FGrid;
  std::vector<int> FFieldMap;
  int FFieldCount = 0;
  bool FInUpdateData = false;
  bool FModified = false;
};

// Sets the link's active record for reading one buffered record and puts
// the old one back on every path.
class TActiveRecordScope {
 public:
  TActiveRecordScope(TDataLink* Link, int Record) : FLink(Link), FSaved(Link->ActiveRecord()) {
    Link->SetActiveRecord(Record);
  }
  ~TActiveRecordScope() { FLink->SetActiveRecord(FSaved); }
  TActiveRecordScope(const TActiveRecordScope&) = delete;
  TActiveRecordScope& operator=(const TActiveRecordScope&) = delete;

 private:
  TDataLink* FLink;
  int FSaved;
};
