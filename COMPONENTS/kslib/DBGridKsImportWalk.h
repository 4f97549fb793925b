#pragma once
// The records an import fills or a delete clears, walked over a dataset;
// deleting records each once.

#include <functional>
#include <vector>

#include "DBGridKsImportCell.h"
#include "DBGridKsImportFormats.h"

// Which records: from the current one to the end; the listed ones in
// order; from First up to Last (or the end); every record from the first.
struct TGridTargetRecords {
  enum TKind { FromCurrent, Listed, Range, All };
  TKind Kind = FromCurrent;
  std::vector<TBookmark> Bookmarks;
  TBookmark First, Last;
};

// Calls Change on each target record in turn until it returns false, and
// posts what it changed. A failure cancels the record it was changing.
void ForEachTargetRecord(TDataSet& DataSet, const TGridTargetRecords& Records,
                         const std::function<bool()>& Change);

// The rows of the reader into the target records; with AppendRest the rows
// left at the end of them are appended. A dataset in insert state takes
// every row as a new record, appended when it was at its end, else inserted
// one after the other. Rows posted before an error stay.
void ImportRecords(TDataSet& DataSet, TDBGridKsImportAsText& Reader,
                   const TGridTargetRecords& Records, bool AppendRest,
                   const std::vector<TGridImportTarget*>& Targets, TGridImportRecordWriter& Writer);
void ImportRecords(TDataSet& DataSet, TDBGridKsImportAsVCLDBIF& Reader,
                   const TGridTargetRecords& Records, bool AppendRest,
                   const std::vector<TGridImportTarget*>& Targets, TGridImportRecordWriter& Writer);

// Deletes each listed record that still exists once, so a dataset that
// keeps deleted records shown still comes to an end.
void DeleteRecords(TDataSet& DataSet, const std::vector<TBookmark>& Bookmarks);
void DeleteAllRecords(TDataSet& DataSet);
