// The grid tests' registry entry for the in-memory table: the columns'
// filter conditions become the table's own Filter, so a grid's filter row
// filters its rows. Registered for as long as the entry object lives.
#pragma once

#include "COMPONENTS/kslib/DbUtilsKs.h"

class TMemTableFeatures : public TDatasetFeaturesKs {
 public:
  // The table keeps its own order.
  void ApplySorting(TCustomDBGridKs*, TDataSet*, bool) override {}
  void ApplyFilter(TCustomDBGridKs* Grid, TDataSet* DataSet, bool Active) override;
};

class TMemTableFeaturesEntry {
 public:
  TMemTableFeaturesEntry();
  ~TMemTableFeaturesEntry();
  TMemTableFeaturesEntry(const TMemTableFeaturesEntry&) = delete;
  TMemTableFeaturesEntry& operator=(const TMemTableFeaturesEntry&) = delete;

 private:
  TMemTableFeatures* FFeatures;
};
