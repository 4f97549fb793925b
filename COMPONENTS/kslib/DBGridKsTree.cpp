// The grid over a dataset that keeps its records as a tree (IMemTableKs,
// without footers): a grid row per visible tree row, every one of them
// buffered, so grid row and link record stay one and the top row moves by
// itself instead of with the dataset.
#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsCellText.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"

namespace {

constexpr int SlotWidth = 18;

}  // namespace

bool TCustomDBGridKs::IsTreeColumn(int DataCol) {
  return TreeModeNoFooter() && FDataLink->Active() && !FVisibleColumns.empty() && DataCol >= 0 &&
         DataCol < FColumns->Count() && FColumns->Items(DataCol) == FVisibleColumns[0];
}

int TCustomDBGridKs::TreeIndentWidth() {
  if (!TreeModeNoFooter() || !FDataLink->Active()) return 0;
  return (FMemTableIntf->NodeLevel() + 1) * SlotWidth;
}

std::vector<int> TCustomDBGridKs::TreeLineKinds() {
  enum {
    Node = 0,
    LastNode = 1,
    ClosedNode = 3,
    LastClosedNode = 4,
    Leaf = 6,
    LastLeaf = 7,
    Line = 9
  };
  std::vector<int> Kinds;
  int Level = FMemTableIntf->NodeLevel();
  for (int L = 0; L < Level; ++L) Kinds.push_back(FMemTableIntf->NodeHasNextSibling(L) ? Line : -1);
  bool More = FMemTableIntf->NodeHasNextSibling(Level);
  if (!FMemTableIntf->NodeHasChildren()) {
    Kinds.push_back(More ? Leaf : LastLeaf);
  } else if (FMemTableIntf->NodeExpanded()) {
    Kinds.push_back(More ? Node : LastNode);
  } else {
    Kinds.push_back(More ? ClosedNode : LastClosedNode);
  }
  return Kinds;
}

void TCustomDBGridKs::DrawTreeCell(TCanvas* C, const RECT& Cell, TColor Background) {
  RECT Part{Cell.left, Cell.top, std::min<int>(Cell.left + TreeIndentWidth(), Cell.right),
            Cell.bottom};
  C->Brush()->SetColor(Background);
  C->FillRect(Part);
  TCellClip Clip(C->Handle(), Part);
  std::vector<int> Kinds = TreeLineKinds();
  for (size_t L = 0; L < Kinds.size(); ++L) {
    int Left = Cell.left + static_cast<int>(L) * SlotWidth;
    if (Kinds[L] >= 0)
      DrawTreeLineElement(C, RECT{Left, Cell.top, Left + SlotWidth, Cell.bottom}, Kinds[L], 1, 1,
                          false);
  }
}

// The node's own slot (its button) of the row under X, when it has
// children; -1 elsewhere.
int TCustomDBGridKs::TreeNodeButtonRow(int X, int Y) {
  TGridCoord Cell = MouseCoord(X, Y);
  int DataRow = Cell.Y - FTitleOffset;
  if (!FDataLink->Active() || !IsTreeColumn(RawToDataColumn(Cell.X)) || DataRow < 0 ||
      DataRow >= FDataLink->RecordCount())
    return -1;
  TActiveRecordScope Scope(FDataLink.get(), DataRow);
  int Left = CellRect(Cell.X, Cell.Y).left + FMemTableIntf->NodeLevel() * SlotWidth;
  X = MirroredX(X);
  return FMemTableIntf->NodeHasChildren() && X >= Left && X < Left + SlotWidth ? DataRow : -1;
}

// A click on a node's button opens or closes it and goes no further.
bool TCustomDBGridKs::CellClickHandled(int X, int Y) {
  int DataRow = TreeNodeButtonRow(X, Y);
  if (DataRow < 0) return false;
  FMemTableIntf->ExpandRow(DataRow, TTreeExpandKs::Toggle);
  return true;
}

void TCustomDBGridKs::UpdateTreeRows() {
  int Count = std::max(FMemTableIntf->VisibleRowCount(), 1);
  if (FDataLink->Active()) FDataLink->SetBufferCount(Count);
  if (RowCount() != FTitleOffset + Count) {
    SetRowCount(FTitleOffset + Count);
    Invalidate();
  }
  if (!HandleAllocated()) return;
  // Re-clamped, the top row comes back so that the last rows fill the view.
  SetTopRow(TopRow());
  int Current = FMemTableIntf->CurrentRow();
  int Target = Current >= 0 ? FTitleOffset + Current : FixedRows();
  if (Target != Row()) {
    InvalidateRowCells(Row());
    MoveColRow(Col(), Target, false, true);
    InvalidateRowCells(Row());
    UpdateEditor();
  }
  UpdateScrollBars();
  // The dataset hears how many rows show, 1 once the last row is reached.
  int Shown = VisibleRowCount();
  FMemTableIntf->SetRowsInView(TopRow() + Shown >= RowCount() ? 1 : std::max(Shown, 1));
}

// A new top row runs the tree layout (TopLeftChanged), which tells the
// dataset.
void TCustomDBGridKs::TreeVertScroll(int Code, int TrackPos) {
  int Page = std::max(VisibleRowCount(), 1);
  switch (Code) {
    case SB_LINEUP:
      SetTopRow(TopRow() - 1);
      break;
    case SB_LINEDOWN:
      SetTopRow(TopRow() + 1);
      break;
    case SB_PAGEUP:
      SetTopRow(TopRow() - Page);
      break;
    case SB_PAGEDOWN:
      SetTopRow(TopRow() + Page);
      break;
    case SB_THUMBTRACK:
      if (!FVertScrollBar->Tracking) return;
      [[fallthrough]];
    case SB_THUMBPOSITION:
      SetTopRow(FixedRows() + TrackPos - 1);
      break;
    case SB_TOP:
      SetTopRow(FixedRows());
      break;
    case SB_BOTTOM:
      SetTopRow(RowCount());
      break;
    default:
      break;
  }
}

// The program's wheel event first; then Shift moves the record (Ctrl with
// it by a page); otherwise the rows scroll, by a page with Ctrl.
void TCustomDBGridKs::TreeMouseWheel(bool Down, TShiftState Shift, POINT MousePos) {
  bool Handled = false;
  TMouseWheelUpDownEvent& Event = Down ? OnMouseWheelDown : OnMouseWheelUp;
  if (Event) Event(this, Shift, MousePos, Handled);
  if (Handled) return;
  int Step = Shift.Contains(ssCtrl) ? VisibleDataRows() : 1;
  int Distance = Down ? Step : -Step;
  if (Shift.Contains(ssShift)) {
    FDataLink->DataSet()->MoveBy(Distance);
  } else {
    SetTopRow(TopRow() + Distance);
  }
}

bool TCustomDBGridKs::TreeNavigationOn() {
  return TreeModeNoFooter() && FMemTableIntf->TreeNavigation();
}

bool TCustomDBGridKs::TreeNodeChar(char Key) {
  return (Key == '*' || Key == '+' || Key == '-') && TreeNavigationOn();
}

bool TCustomDBGridKs::TreeNodeKey(uint16_t Key) {
  if (!TreeNavigationOn()) return false;
  TTreeExpandKs How = Key == VK_ADD        ? TTreeExpandKs::Expand
                      : Key == VK_SUBTRACT ? TTreeExpandKs::Collapse
                                           : TTreeExpandKs::Toggle;
  FMemTableIntf->ExpandRow(Row() - FTitleOffset, How);
  return true;
}
