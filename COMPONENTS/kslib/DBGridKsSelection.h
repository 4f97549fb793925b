// What a grid has selected besides records (DBGridKsBookmarks): a
// rectangle of cells between two corners, a set of columns, or all.
#pragma once

#include <cstdint>

#include "COMPONENTS/kslib/DBGridKsColumns.h"
#include "forms/Grids.h"

class TCustomDBGridKs;
class TBookmarkListKs;

enum TDBGridKsSelectionType : uint8_t {
  gstNon,
  gstRecordBookmarks,
  gstRectangle,
  gstColumns,
  gstAll
};

class TDBGridKsSelectionCols : public TColumnsKsList {
 public:
  explicit TDBGridKsSelectionCols(TCustomDBGridKs* Grid) : FGrid(Grid) {}
  void Clear();
  void AddSorted(TColumnKs* Column);
  void InvertSelect(TColumnKs* Column);
  void Select(TColumnKs* Column, bool AddSel);
  // Extends or shrinks the range from the anchor to the column.
  void SelectRange(TColumnKs* Column);
  // Drops the columns that left the grid.
  void RemoveInvisible();
  void GetSelectionRect(TGridRect& Rect);
  TColumnKs* AnchorColumn = nullptr;
  TColumnKs* ShiftColumn = nullptr;

 private:
  TCustomDBGridKs* FGrid;
  TColumnsKsList FRangeAdded;
};

class TDBGridKsSelectionRect {
 public:
  explicit TDBGridKsSelectionRect(TCustomDBGridKs* Grid) : FGrid(Grid) {}
  void Clear();
  bool DataSetActive();
  AnsiString GetTopRow();
  AnsiString GetBottomRow();
  int GetLeftCol();
  int GetRightCol();
  void SelectRect(int DataCol, const AnsiString& Bookmark, bool Extend);
  bool CellSelected(int DataCol, const AnsiString& Bookmark);
  int AnchorCol = -1, ShiftCol = -1;
  AnsiString AnchorRow, ShiftRow;

 private:
  void CheckActive();
  TCustomDBGridKs* FGrid;
};

class TDBGridKsSelection {
 public:
  explicit TDBGridKsSelection(TCustomDBGridKs* Grid);
  TDBGridKsSelectionCols* Columns() { return &FColumns; }
  TDBGridKsSelectionRect* Rect() { return &FRect; }
  TBookmarkListKs* Rows();
  TDBGridKsSelectionType SelectionType() const { return FSelectionType; }
  void SetSelectionType(TDBGridKsSelectionType Value);
  void Clear();
  void SelectAll();
  // A rows or columns selection that lost its last member becomes none.
  void UpdateState();
  bool DataCellSelected(int DataCol, const AnsiString& Bookmark);
  // The grid cells to repaint.
  void GetSelectionRect(TGridRect& Rect);
  void LinkActive(bool Value);

 private:
  TCustomDBGridKs* FGrid;
  TDBGridKsSelectionCols FColumns;
  TDBGridKsSelectionRect FRect;
  TDBGridKsSelectionType FSelectionType = gstNon;
};
