#include "DBGridKsSearch.h"

void TCellSearchKs::Restart() {
  FFirstSearch = true;
  FColumnIndex = Direction == fdUp ? ColumnCount - 1 : 0;
}

bool TCellSearchKs::Matches(const AnsiString& Cell) const {
  AnsiString Sought = CaseSensitive ? Text : AnsiUpperCase(Text);
  AnsiString Value = CaseSensitive ? Cell : AnsiUpperCase(Cell);
  switch (Match) {
    case fmAnyPart:
      return !Sought.empty() && Value.find(Sought) != AnsiString::npos;
    case fmWholeField:
      return Value == Sought;
    case fmFieldStart:
      return Value.compare(0, Sought.size(), Sought) == 0;
  }
  return false;
}

// One cell on; false when the dataset has no record that way.
bool TCellSearchKs::Step(TDataSet* DataSet, bool Backward, int& Column) const {
  if (!Backward) {
    if (Column < ColumnCount - 1) return ++Column, true;
    if (DataSet->MoveBy(1) == 0) return false;
    Column = 0;
  } else {
    if (Column > 0) return --Column, true;
    if (DataSet->MoveBy(-1) == 0) return false;
    Column = ColumnCount - 1;
  }
  return true;
}

bool TCellSearchKs::Find(TDataSet* DataSet, bool Reversed) {
  if (!DataSet || !DataSet->Active() || DataSet->IsEmpty() || ColumnCount <= 0 || !CellText)
    return false;
  if (FColumnIndex < 0 || FColumnIndex >= ColumnCount)
    throw EListError(Format("Search column index out of bounds (%d)", {FColumnIndex}));
  const bool Backward = (Direction == fdUp) != Reversed;
  DataSet->DisableControls();
  struct TControlsBack {
    TDataSet* DataSet;
    ~TControlsBack() { DataSet->EnableControls(); }
  } ControlsBack{DataSet};
  const TBookmark Start = DataSet->GetBookmark();
  int Column = FColumnIndex;
  bool Found = false;
  try {
    bool OnCell = true;
    if (FFirstSearch && Direction == fdAll) {
      // "All" covers every record: from the first, or backward from the last.
      if (Backward) {
        DataSet->Last();
        Column = ColumnCount - 1;
      } else {
        DataSet->First();
        Column = 0;
      }
    } else if (!FFirstSearch) {
      OnCell = Step(DataSet, Backward, Column);
    }
    while (OnCell && !(Found = Matches(CellText(Column)))) OnCell = Step(DataSet, Backward, Column);
    if (!Found) DataSet->GotoBookmark(Start);
  } catch (...) {
    DataSet->GotoBookmark(Start);
    throw;
  }
  if (Found) {
    FFirstSearch = false;
    FColumnIndex = Column;
  }
  return Found;
}
