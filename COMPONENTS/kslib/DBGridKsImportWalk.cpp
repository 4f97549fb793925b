#include "DBGridKsImportWalk.h"

namespace {

bool Editing(const TDataSet& DataSet) {
  return DataSet.State() == dsEdit || DataSet.State() == dsInsert;
}

bool ChangeRecord(TDataSet& DataSet, const std::function<bool()>& Change) {
  try {
    const bool more = Change();
    if (Editing(DataSet)) DataSet.Post();
    return more;
  } catch (...) {
    // Else the next move would post the half-written record.
    if (Editing(DataSet)) DataSet.Cancel();
    throw;
  }
}

template <typename TReader>
void ImportRows(TDataSet& DataSet, TReader& Reader, const TGridTargetRecords& Records,
                bool AppendRest, const std::vector<TGridImportTarget*>& Targets,
                TGridImportRecordWriter& Writer) {
  const bool inserting = DataSet.State() == dsInsert;
  bool atEnd = DataSet.Eof();
  Reader.ReadPrefix();
  // Made a function object once, not once per row.
  const std::function<bool()> writeRow = [&] {
    Writer.Write(Targets, Reader.ReadRecord());
    return !Reader.EndOfData();
  };
  if (!inserting) {
    if (Reader.EndOfData()) return;
    ForEachTargetRecord(DataSet, Records, writeRow);
    if (!AppendRest) return;
    atEnd = true;
  }
  while (!Reader.EndOfData()) {
    if (atEnd)
      DataSet.Append();
    else
      DataSet.Insert();
    ChangeRecord(DataSet, writeRow);
    if (!atEnd) DataSet.Next();
  }
}

}  // namespace

void ForEachTargetRecord(TDataSet& DataSet, const TGridTargetRecords& Records,
                         const std::function<bool()>& Change) {
  switch (Records.Kind) {
    case TGridTargetRecords::Listed:
      for (const TBookmark& bookmark : Records.Bookmarks) {
        if (!DataSet.BookmarkValid(bookmark)) continue;
        DataSet.GotoBookmark(bookmark);
        if (!ChangeRecord(DataSet, Change)) return;
      }
      return;
    case TGridTargetRecords::Range:
      DataSet.GotoBookmark(Records.First);
      while (!DataSet.Eof()) {
        const bool last = DataSet.CompareBookmarks(DataSet.GetBookmark(), Records.Last) == 0;
        if (!ChangeRecord(DataSet, Change) || last) return;
        DataSet.Next();
      }
      return;
    case TGridTargetRecords::All:
      DataSet.First();
      [[fallthrough]];
    case TGridTargetRecords::FromCurrent:
      while (!DataSet.Eof()) {
        if (!ChangeRecord(DataSet, Change)) return;
        DataSet.Next();
      }
      return;
  }
}

void ImportRecords(TDataSet& DataSet, TDBGridKsImportAsText& Reader,
                   const TGridTargetRecords& Records, bool AppendRest,
                   const std::vector<TGridImportTarget*>& Targets,
                   TGridImportRecordWriter& Writer) {
  ImportRows(DataSet, Reader, Records, AppendRest, Targets, Writer);
}

void ImportRecords(TDataSet& DataSet, TDBGridKsImportAsVCLDBIF& Reader,
                   const TGridTargetRecords& Records, bool AppendRest,
                   const std::vector<TGridImportTarget*>& Targets,
                   TGridImportRecordWriter& Writer) {
  ImportRows(DataSet, Reader, Records, AppendRest, Targets, Writer);
}

void DeleteRecords(TDataSet& DataSet, const std::vector<TBookmark>& Bookmarks) {
  for (const TBookmark& bookmark : Bookmarks) {
    if (!DataSet.BookmarkValid(bookmark)) continue;
    DataSet.GotoBookmark(bookmark);
    DataSet.Delete();
  }
}

void DeleteAllRecords(TDataSet& DataSet) {
  std::vector<TBookmark> all;
  for (DataSet.First(); !DataSet.Eof(); DataSet.Next()) all.push_back(DataSet.GetBookmark());
  DeleteRecords(DataSet, all);
}
