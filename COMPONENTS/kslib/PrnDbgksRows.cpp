#include "COMPONENTS/kslib/PrnDbgksRows.h"

TDataSetPrintRowsKs::TDataSetPrintRowsKs(TDataSet* DataSet, int FooterRowCount)
    : FDataSet(DataSet), FFooterRowCount(FooterRowCount) {}

void TDataSetPrintRowsKs::SelectRecords(std::vector<AnsiString> Bookmarks) {
  FMode = pmRecords;
  FRecords = std::move(Bookmarks);
}

void TDataSetPrintRowsKs::SelectRange(const AnsiString& FirstRow, const AnsiString& LastRow) {
  FMode = pmRange;
  FFirstRow = FirstRow;
  FLastRow = LastRow;
}

TPrintRowKs TDataSetPrintRowsKs::Footer(int Number) {
  FFooter = Number;
  if (Number >= FFooterRowCount) return {"", true, true};
  return {IntToStr(Number), true, false};
}

TPrintRowKs TDataSetPrintRowsKs::Current() {
  FFooter = -1;
  return {FDataSet->GetBookmark(), false, false};
}

TPrintRowKs TDataSetPrintRowsKs::RecordFrom(size_t Index) {
  for (FRecordIndex = Index; FRecordIndex < FRecords.size(); ++FRecordIndex) {
    if (!FDataSet->BookmarkValid(FRecords[FRecordIndex])) continue;
    FDataSet->GotoBookmark(FRecords[FRecordIndex]);
    return Current();
  }
  return Footer(0);
}

TPrintRowKs TDataSetPrintRowsKs::First() {
  if (FDataSet->IsEmpty()) return Footer(0);
  switch (FMode) {
    case pmRecords:
      return RecordFrom(0);
    case pmRange:
      FDataSet->GotoBookmark(FFirstRow);
      return Current();
    case pmAll:
      break;
  }
  FDataSet->First();
  return Current();
}

TPrintRowKs TDataSetPrintRowsKs::Next() {
  if (FFooter >= 0) return Footer(FFooter + 1);
  if (FMode == pmRecords) return RecordFrom(FRecordIndex + 1);
  FDataSet->Next();
  if (FDataSet->Eof()) return Footer(0);
  if (FMode == pmRange && FDataSet->CompareBookmarks(FDataSet->GetBookmark(), FLastRow) > 0)
    return Footer(0);
  return Current();
}

void TDataSetPrintRowsKs::GoTo(const TPrintRowKs& Row) {
  if (Row.End) {
    FFooter = FFooterRowCount;
  } else if (Row.Footer) {
    FFooter = StrToInt(Row.Key);
  } else {
    FFooter = -1;
    if (FMode == pmRecords) {
      for (FRecordIndex = 0; FRecordIndex < FRecords.size(); ++FRecordIndex)
        if (FDataSet->CompareBookmarks(FRecords[FRecordIndex], Row.Key) == 0) break;
    }
    FDataSet->GotoBookmark(Row.Key);
  }
}
