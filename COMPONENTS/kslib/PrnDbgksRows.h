// The rows a grid print run walks: the dataset's records (all of them, the
// selected ones or a rectangle's), then the footer rows. Bands come back to
// a row they measured before, so every position can be returned to.
#pragma once

#include <vector>

#include "COMPONENTS/kslib/PrnDbgksPager.h"
#include "db/DataSet.h"

class TDataSetPrintRowsKs : public TPrintRowSequenceKs {
 public:
  // Every record of an open dataset, then FooterRowCount footer rows.
  TDataSetPrintRowsKs(TDataSet* DataSet, int FooterRowCount);
  // Only these records, given in the dataset's order; bookmarks of records
  // that are gone are passed over.
  void SelectRecords(std::vector<AnsiString> Bookmarks);
  // The records from FirstRow to LastRow in the dataset's order.
  void SelectRange(const AnsiString& FirstRow, const AnsiString& LastRow);

  TPrintRowKs First() override;
  TPrintRowKs Next() override;
  void GoTo(const TPrintRowKs& Row) override;

 private:
  enum TMode { pmAll, pmRecords, pmRange };
  TPrintRowKs Footer(int Number);
  TPrintRowKs RecordFrom(size_t Index);
  TPrintRowKs Current();

  TDataSet* FDataSet;
  int FFooterRowCount;
  TMode FMode = pmAll;
  std::vector<AnsiString> FRecords;
  size_t FRecordIndex = 0;
  AnsiString FFirstRow, FLastRow;
  int FFooter = -1;  // the footer row on, or -1 on a record
};
