// The find dialog's search: record by record and column by column through a
// dataset, testing the display text of each search column against the text
// sought. The dialog supplies the cells' texts; the search keeps where the
// next one starts.
#pragma once

#include <functional>

#include "db/DB.h"

// In the order of the dialog's lists.
enum TFindMatchKs { fmAnyPart, fmWholeField, fmFieldStart };
enum TFindDirectionKs { fdUp, fdDown, fdAll };

class TCellSearchKs {
 public:
  AnsiString Text;
  TFindMatchKs Match = fmAnyPart;
  TFindDirectionKs Direction = fdAll;
  bool CaseSensitive = false;
  int ColumnCount = 0;
  // The display text of search column `Column` in the current record.
  std::function<AnsiString(int Column)> CellText;

  // Search column of the last match, or where the next search starts.
  int ColumnIndex() const { return FColumnIndex; }
  bool FirstSearch() const { return FFirstSearch; }

  // After opening or a change of a setting: the next search starts anew.
  void Restart();
  // Searches from the current cell on (Reversed turns the direction round).
  // A match leaves the dataset on its record, with ColumnIndex its column.
  // Without one, or when a cell's text fails, the dataset goes back to the
  // record it stood on and the search state stays. Controls are disabled
  // during the walk and enabled again on every path.
  bool Find(TDataSet* DataSet, bool Reversed);

 private:
  bool Matches(const AnsiString& Cell) const;
  bool Step(TDataSet* DataSet, bool Backward, int& Column) const;

  int FColumnIndex = 0;
  bool FFirstSearch = true;
};
