#pragma once
// The records of the grid's import and export benchmarks under Wine: four
// columns (integer, text, float, date), appended and posted one by one.

#include <string>
#include <vector>

#include "db/DB.h"

struct TBenchRecord {
  int32_t Id;
  AnsiString Name;
  double Amount;
  TDateTime Day;
};

inline std::vector<TBenchRecord> MakeBenchRecords(int Records) {
  std::vector<TBenchRecord> rows;
  rows.reserve(static_cast<size_t>(Records));
  for (int r = 0; r < Records; ++r)
    rows.push_back({r, "name " + std::to_string(r), r * 1.25 + 0.5, 45000 + (r % 100000) / 24.0});
  return rows;
}

inline void DefineBenchFields(TFieldDefs* Defs) {
  Defs->Add("Id", ftInteger);
  Defs->Add("Name", ftString, 30);
  Defs->Add("Amount", ftFloat);
  Defs->Add("Day", ftDateTime);
}

// The rows built beforehand, so that a timed loop costs the dataset alone.
inline void AppendBenchRecords(TDataSet& Table, const std::vector<TBenchRecord>& Rows) {
  Table.DisableControls();
  for (const TBenchRecord& row : Rows) {
    Table.Append();
    Table.Fields()->Fields(0)->SetAsInteger(row.Id);
    Table.Fields()->Fields(1)->SetAsString(row.Name);
    Table.Fields()->Fields(2)->SetAsFloat(row.Amount);
    Table.Fields()->Fields(3)->SetAsDateTime(row.Day);
    Table.Post();
  }
  Table.EnableControls();
}
