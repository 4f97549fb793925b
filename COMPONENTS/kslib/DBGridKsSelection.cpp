#include "COMPONENTS/kslib/DBGridKsSelection.h"

#include <algorithm>

#include "COMPONENTS/kslib/DBGridKs.h"

// --- columns

void TDBGridKsSelectionCols::Clear() {
  for (TColumnKs* Column : *this) FGrid->InvalidateColumnCells(Column->Index());
  clear();
  AnchorColumn = nullptr;
}

void TDBGridKsSelectionCols::AddSorted(TColumnKs* Column) {
  auto It =
      std::find_if(begin(), end(), [&](TColumnKs* C) { return C->Index() > Column->Index(); });
  insert(It, Column);
}

void TDBGridKsSelectionCols::InvertSelect(TColumnKs* Column) {
  TDBGridKsSelection* Selection = FGrid->Selection();
  if (Selection->SelectionType() != gstColumns) Selection->Clear();
  if (!Remove(Column)) AddSorted(Column);
  FGrid->InvalidateColumnCells(Column->Index());
  AnchorColumn = ShiftColumn = Column;
  Selection->SetSelectionType(empty() ? gstNon : gstColumns);
  FRangeAdded.clear();
}

void TDBGridKsSelectionCols::Select(TColumnKs* Column, bool AddSel) {
  TDBGridKsSelection* Selection = FGrid->Selection();
  if (Selection->SelectionType() != gstColumns) Selection->Clear();
  if (!AddSel) Clear();
  if (IndexOf(Column) < 0) AddSorted(Column);
  FGrid->InvalidateColumnCells(Column->Index());
  AnchorColumn = ShiftColumn = Column;
  Selection->SetSelectionType(gstColumns);
  FRangeAdded.clear();
}

void TDBGridKsSelectionCols::SelectRange(TColumnKs* Column) {
  TDBGridKsSelection* Selection = FGrid->Selection();
  if (Selection->SelectionType() != gstColumns) Selection->Clear();
  if (!AnchorColumn) {
    Select(Column, true);
    return;
  }
  TDBGridColumnsKs* Columns = FGrid->Columns();
  int Anchor = AnchorColumn->Index();
  int From = ShiftColumn ? ShiftColumn->Index() : Anchor, To = Column->Index();
  int Step = To > From ? 1 : -1;
  for (int I = From; I != To + Step && To != From; I += Step) {
    if (I == Anchor) continue;
    TColumnKs* C = Columns->Items(I);
    // Inside the new range: add; between the new end and the old one: take
    // back what the range added.
    bool Inside = (I - Anchor) * (To - Anchor) > 0 && std::abs(I - Anchor) <= std::abs(To - Anchor);
    if (Inside) {
      if (IndexOf(C) < 0 && C->Visible()) {
        AddSorted(C);
        FRangeAdded.push_back(C);
        FGrid->InvalidateColumnCells(I);
      }
    } else if (FRangeAdded.Remove(C)) {
      Remove(C);
      FGrid->InvalidateColumnCells(I);
    }
  }
  ShiftColumn = Column;
  Selection->SetSelectionType(empty() ? gstNon : gstColumns);
}

void TDBGridKsSelectionCols::RemoveInvisible() {
  TDBGridColumnsKs* Columns = FGrid->Columns();
  for (size_t I = size(); I-- > 0;) {
    bool InGrid = false;
    for (int J = 0; J < Columns->Count() && !InGrid; ++J) InGrid = Columns->Items(J) == at(I);
    if (!InGrid) erase(begin() + static_cast<ptrdiff_t>(I));
  }
  std::stable_sort(begin(), end(),
                   [](TColumnKs* A, TColumnKs* B) { return A->Index() < B->Index(); });
}

void TDBGridKsSelectionCols::GetSelectionRect(TGridRect& Rect) {
  int Min = -1, Max = -1;
  for (TColumnKs* C : *this) {
    Min = Min < 0 ? C->Index() : std::min(Min, C->Index());
    Max = std::max(Max, C->Index());
  }
  Rect = TGridRect{FGrid->DataToRawColumn(Min), 0, FGrid->DataToRawColumn(Max), FGrid->RowCount()};
}

// --- rectangle

void TDBGridKsSelectionRect::Clear() {
  AnchorCol = ShiftCol = -1;
  AnchorRow.clear();
  ShiftRow.clear();
  FGrid->Invalidate();
}

bool TDBGridKsSelectionRect::DataSetActive() {
  return FGrid->DataSource() && FGrid->DataSource()->DataSet() && FGrid->DataLink()->Active();
}

void TDBGridKsSelectionRect::CheckActive() {
  if (!DataSetActive()) FGrid->RaiseGridError("Error in TDBGridKsSelectionRect.GetBottomRow");
}

AnsiString TDBGridKsSelectionRect::GetTopRow() {
  CheckActive();
  return FGrid->SelectedRows()->CompareBookmarks(AnchorRow, ShiftRow) <= 0 ? AnchorRow : ShiftRow;
}

AnsiString TDBGridKsSelectionRect::GetBottomRow() {
  CheckActive();
  return FGrid->SelectedRows()->CompareBookmarks(AnchorRow, ShiftRow) >= 0 ? AnchorRow : ShiftRow;
}

int TDBGridKsSelectionRect::GetLeftCol() {
  CheckActive();
  return std::min(AnchorCol, ShiftCol);
}

int TDBGridKsSelectionRect::GetRightCol() {
  CheckActive();
  return std::max(AnchorCol, ShiftCol);
}

bool TDBGridKsSelectionRect::CellSelected(int DataCol, const AnsiString& Bookmark) {
  if (!DataSetActive())
    FGrid->RaiseGridError("Error in function TDBGridKsSelectionRect.CellSelected");
  TBookmarkListKs* Rows = FGrid->SelectedRows();
  return Rows->CompareBookmarks(GetTopRow(), Bookmark) <= 0 &&
         Rows->CompareBookmarks(Bookmark, GetBottomRow()) <= 0 && GetLeftCol() <= DataCol &&
         DataCol <= GetRightCol();
}

void TDBGridKsSelectionRect::SelectRect(int DataCol, const AnsiString& Bookmark, bool Extend) {
  TDBGridKsSelection* Selection = FGrid->Selection();
  if (Selection->SelectionType() != gstRectangle) Selection->Clear();
  bool HadRect = AnchorCol >= 0 && DataSetActive();
  RECT Old{0, 0, 0, 0};
  if (HadRect && FGrid->HandleAllocated())
    Old = FGrid->SelectionBox(GetLeftCol(), GetTopRow(), GetRightCol(), GetBottomRow());
  if (AnchorCol == -1 || !Extend) AnchorCol = DataCol, AnchorRow = Bookmark;
  ShiftCol = DataCol, ShiftRow = Bookmark;
  bool SameCell =
      AnchorCol == ShiftCol && FGrid->SelectedRows()->CompareBookmarks(AnchorRow, ShiftRow) == 0;
  Selection->SetSelectionType(SameCell ? gstNon : gstRectangle);
  if (!FGrid->HandleAllocated() || !DataSetActive()) return;
  RECT New = FGrid->SelectionBox(GetLeftCol(), GetTopRow(), GetRightCol(), GetBottomRow());
  // Only what changed between the two boxes is painted again.
  HRGN A = CreateRectRgnIndirect(&Old), B = CreateRectRgnIndirect(&New);
  HRGN Diff = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(Diff, A, B, RGN_XOR);
  InvalidateRgn(FGrid->Handle(), Diff, FALSE);
  DeleteObject(Diff);
  DeleteObject(A);
  DeleteObject(B);
}

// --- the selection

TDBGridKsSelection::TDBGridKsSelection(TCustomDBGridKs* Grid)
    : FGrid(Grid), FColumns(Grid), FRect(Grid) {}

TBookmarkListKs* TDBGridKsSelection::Rows() { return FGrid->SelectedRows(); }

void TDBGridKsSelection::SetSelectionType(TDBGridKsSelectionType Value) {
  if (Value == FSelectionType) return;
  FSelectionType = Value;
  FGrid->UpdateEditor();
}

void TDBGridKsSelection::Clear() {
  switch (FSelectionType) {
    case gstRecordBookmarks:
      Rows()->Clear();
      break;
    case gstRectangle:
      FRect.Clear();
      break;
    case gstColumns:
      FColumns.Clear();
      break;
    case gstAll:
      FGrid->Invalidate();
      break;
    default:
      break;
  }
  FSelectionType = gstNon;
  if (FGrid->Options().Contains(dgAlwaysShowEditor) && FGrid->EditorAlwaysShown())
    FGrid->ShowCellEditor();
}

void TDBGridKsSelection::SelectAll() {
  if (FSelectionType == gstAll) return;
  if (FSelectionType != gstNon) Clear();
  FSelectionType = gstAll;
  FGrid->Invalidate();
}

void TDBGridKsSelection::UpdateState() {
  if ((FSelectionType == gstRecordBookmarks && Rows()->Count() == 0) ||
      (FSelectionType == gstColumns && FColumns.empty())) {
    FSelectionType = gstNon;
    FGrid->Invalidate();
  }
}

bool TDBGridKsSelection::DataCellSelected(int DataCol, const AnsiString& Bookmark) {
  switch (FSelectionType) {
    case gstRecordBookmarks: {
      int Index;
      return Rows()->Find(Bookmark, Index);
    }
    case gstRectangle:
      return DataCol >= 0 && FRect.CellSelected(DataCol, Bookmark);
    case gstColumns:
      return DataCol >= 0 && DataCol < FGrid->Columns()->Count() &&
             FColumns.IndexOf(FGrid->Columns()->Items(DataCol)) >= 0;
    case gstAll:
      return true;
    default:
      return false;
  }
}

void TDBGridKsSelection::GetSelectionRect(TGridRect& Rect) {
  Rect = TGridRect{-1, -1, -1, -1};
  switch (FSelectionType) {
    case gstRecordBookmarks:
      Rect = FGrid->BookmarksSelectionRect();
      break;
    case gstRectangle:
      if (FRect.DataSetActive() && FRect.AnchorCol >= 0)
        Rect = TGridRect{FGrid->DataToRawColumn(FRect.GetLeftCol()), FGrid->TitleOffset(),
                         FGrid->DataToRawColumn(FRect.GetRightCol()), FGrid->RowCount() - 1};
      break;
    case gstColumns:
      FColumns.GetSelectionRect(Rect);
      break;
    default:
      break;
  }
}

void TDBGridKsSelection::LinkActive(bool Value) {
  Rows()->LinkActive(Value);
  Clear();
}
