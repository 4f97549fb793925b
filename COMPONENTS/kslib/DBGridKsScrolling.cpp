// How the window over the dataset moves: the data link's scroll, the
// vertical bar in records of the dataset, the scroll messages and the wheel.
#include "COMPONENTS/kslib/DBGridKs.h"

#include "COMPONENTS/kslib/DBGridKsFilterRow.h"
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "forms/ScrollBar.h"

int TCustomDBGridKs::VisibleDataRows() {
  int Rows = VisibleRowCount() - FFooterRowCount - (FFooterRowCount > 0 ? 1 : 0);
  return std::max(Rows, 1);
}

void TCustomDBGridKs::RecordChanged() {
  if (InIncSearch && !FSearchBusy) ClearSearch();
  if (TreeModeNoFooter()) {
    UpdateTreeRows();
    return;
  }
  if (!FDataLink->Active() || !HandleAllocated() || Loading()) return;
  int Target = FDataLink->ActiveRecord() + FTitleOffset;
  if (Target != Row() && Target >= 0 && Target < RowCount()) {
    if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
    MoveColRow(Col(), Target, false, false);
    UpdateEditor();
  }
  TField* Field = SelectedField();
  if (Field && Field->DisplayText() != FEditText) UpdateEditor();
}

void TCustomDBGridKs::Scroll(int Distance) {
  if (TreeModeNoFooter()) {
    UpdateTreeRows();
    if (Distance != 0) Invalidate();
    return;
  }
  if (!HandleAllocated()) return;
  RECT OldRow = MirroredRect(BoxRect(0, Row(), ColCount() - 1, Row()));
  if (FDataLink->ActiveRecord() >= RowCount() - FTitleOffset - FFooterRowCount) UpdateRowLayout();
  bool Showed = FVertScrollBar->IsScrollBarShowing();
  UpdateScrollBars();
  if (Showed != FVertScrollBar->IsScrollBarShowing() && FAutoFitColWidths && !Loading())
    LayoutChanged();
  RecordChanged();
  ::ValidateRect(Handle(), &OldRow);
  ::InvalidateRect(Handle(), &OldRow, FALSE);
  InvalidateRowCells(Row());
  if (Distance != 0) {
    HideEditor();
    if (std::abs(Distance) > VisibleDataRows()) {
      Invalidate();
    } else {
      int Step = RowHeights(FTitleOffset) + (FOptions.Contains(dgRowLines) ? GridLineWidth() : 0);
      RECT Data = ClientRect();
      Data.top = CellRect(0, FTitleOffset).top;
      if (FFooterRowCount > 0) Data.bottom = CellRect(0, RowCount() - FFooterRowCount - 1).top;
      ScrollWindowEx(Handle(), 0, -Distance * Step, &Data, &Data, nullptr, nullptr, SW_INVALIDATE);
      if (FOptions.Contains(dgIndicator)) InvalidateCol(0);
    }
    if (FOptions.Contains(dgAlwaysShowEditor)) ShowEditor();
    for (int I = 0; I < FColumns->Count(); ++I)
      if (FColumns->Items(I)->HideDuplicates()) {
        InvalidateRowCells(FTitleOffset);
        break;
      }
  }
  InvalidateFooterRows();
  if (FUpdateLock == 0) UpdateWindow(Handle());
}

void TCustomDBGridKs::UpdateScrollBars() {
  if (!HandleAllocated()) return;
  SCROLLINFO Info{sizeof Info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 1, 2, 0, 0};
  TDataSet* Data = FDataLink->DataSet();
  if (TreeModeNoFooter()) {
    Info.nMin = 1;
    Info.nPage = VisibleRowCount();
    Info.nMax = RowCount() - FixedRows();
    Info.nPos = TopRow() - FixedRows() + 1;
  } else if (FDataLink->Active() && FSumList->IsSequenced()) {
    Info.nMin = 1;
    Info.nPage = VisibleDataRows();
    Info.nMax = FSumList->GetRecordCount() + static_cast<int>(Info.nPage) - 1;
    TDataSetState State = Data->State();
    Info.nPos = State == dsBrowse || State == dsEdit ? FSumList->GetRecNo() : FLastVertInfo.nPos;
  } else if (FDataLink->Active()) {
    Info.nMax = 4;
    Info.nPage = 0;
    Info.nPos = Data->Bof() ? 0 : Data->Eof() ? 4 : 2;
  }
  TScrollBarVisibleModeKs Mode = FVertScrollBar->VisibleMode();
  TScrollBar* External = FVertScrollBar->ExtScrollBar();
  SCROLLINFO Own = Info;
  if (!FVertScrollBar->Visible() || External) Own.nMax = Own.nMin;
  bool Same = Own.nMin == FLastVertInfo.nMin && Own.nMax == FLastVertInfo.nMax &&
              Own.nPage == FLastVertInfo.nPage && Own.nPos == FLastVertInfo.nPos &&
              Mode == FLastVisibleMode;
  if (!Same) {
    bool Scrolls = Own.nMax - Own.nMin + 1 > static_cast<int>(Own.nPage);
    if (Mode == sbAlwaysShowKs && !External) {
      // Shown but dead while there is nothing to scroll.
      Own.fMask |= SIF_DISABLENOSCROLL;
      ShowScrollBar(Handle(), SB_VERT, TRUE);
    } else if (Mode != FLastVisibleMode && !Scrolls) {
      EnableScrollBar(Handle(), SB_VERT, ESB_ENABLE_BOTH);
      ShowScrollBar(Handle(), SB_VERT, FALSE);
    }
    SetScrollInfo(Handle(), SB_VERT, &Own, TRUE);
    FLastVertInfo = Own;
    FLastVisibleMode = Mode;
  }
  if (External && External->HandleAllocated()) {
    SCROLLINFO Page{sizeof Page, SIF_PAGE, 0, 0, 0, 0, 0};
    SetScrollInfo(External->Handle(), SB_CTL, &Page, FALSE);
    Info.fMask = SIF_POS | SIF_RANGE;
    SetScrollInfo(External->Handle(), SB_CTL, &Info, FALSE);
    Info.fMask = SIF_PAGE;
    SetScrollInfo(External->Handle(), SB_CTL, &Info, TRUE);
  }
}

// An open drop-down list of the cell editor, else an active filter editor,
// takes the wheel before the grid scrolls. What the filter editor passes
// back to its parent scrolls the grid.
bool TCustomDBGridKs::WheelToEditors(TMessage& Message) {
  if (FPassingWheel) return false;
  TFlagScope Passing(FPassingWheel);
  auto* Editor = dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
  if (Editor && Editor->ListVisible() && Editor->ActiveList()) {
    Editor->Perform(Message.Msg, Message.WParam, Message.LParam);
    return true;
  }
  if (FilterEditorActive() && FFilterEditor && FFilterEditor->Visible()) {
    FFilterEditor->Perform(Message.Msg, Message.WParam, Message.LParam);
    return true;
  }
  return false;
}

bool TCustomDBGridKs::DoMouseWheelDown(TShiftState Shift, POINT MousePos) {
  WheelNotch(true, Shift, MousePos);
  return true;
}

bool TCustomDBGridKs::DoMouseWheelUp(TShiftState Shift, POINT MousePos) {
  WheelNotch(false, Shift, MousePos);
  return true;
}

// A notch moves to the next or prior record; the tree has its own rules.
void TCustomDBGridKs::WheelNotch(bool Down, TShiftState Shift, POINT MousePos) {
  if (!FDataLink->Active()) return;
  if (TreeModeNoFooter()) {
    TreeMouseWheel(Down, Shift, MousePos);
    return;
  }
  TDataSet* Data = FDataLink->DataSet();
  if (Down && !Data->Eof()) Data->Next();
  if (!Down && !Data->Bof()) Data->Prior();
}

bool TCustomDBGridKs::ScrollMessage(TMessage& Message) {
  if (Message.Msg == WM_HSCROLL) {
    if (FHorzScrollBar->Tracking && LOWORD(Message.WParam) == SB_THUMBTRACK)
      Message.WParam = MAKEWPARAM(SB_THUMBPOSITION, HIWORD(Message.WParam));
    TCustomGrid::WndProc(Message);
    UpdateHorzScrollBar();
    return true;
  }
  if (Message.Msg == WM_MOUSEWHEEL && WheelToEditors(Message)) {
    Message.Result = 1;
    return true;
  }
  if (Message.Msg != WM_VSCROLL) return false;
  if (!FDataLink->Active() || !AcquireFocus()) return true;
  if (TreeModeNoFooter()) {
    SCROLLINFO Track{sizeof Track, SIF_TRACKPOS, 0, 0, 0, 0, 0};
    FVertScrollBar->GetScrollInfo(Track);
    TreeVertScroll(LOWORD(Message.WParam), Track.nTrackPos);
    return true;
  }
  TDataSet* Data = FDataLink->DataSet();
  bool Sequenced = FSumList->IsSequenced();
  SCROLLINFO Info{sizeof Info, SIF_ALL, 0, 0, 0, 0, 0};
  FVertScrollBar->GetScrollInfo(Info);
  switch (LOWORD(Message.WParam)) {
    case SB_LINEUP:
      Data->MoveBy(-(FDataLink->ActiveRecord() + 1));
      break;
    case SB_LINEDOWN:
      Data->MoveBy(FDataLink->RecordCount() - FDataLink->ActiveRecord());
      break;
    case SB_PAGEUP:
      Data->MoveBy(-VisibleDataRows());
      break;
    case SB_PAGEDOWN:
      Data->MoveBy(VisibleDataRows());
      break;
    case SB_THUMBPOSITION: {
      // Tracking moved the dataset already.
      if (FThumbTracked) {
        FThumbTracked = false;
        break;
      }
      int Pos = Info.nTrackPos;
      if (Sequenced) {
        if (Pos <= 1) {
          Data->First();
        } else if (Pos < FSumList->GetRecordCount()) {
          FSumList->SetRecNo(Pos);
        } else {
          Data->Last();
        }
      } else if (Pos == 0) {
        Data->First();
      } else if (Pos == 1) {
        Data->MoveBy(-VisibleDataRows());
      } else if (Pos == 3) {
        Data->MoveBy(VisibleDataRows());
      } else if (Pos == 4) {
        Data->Last();
      }
      break;
    }
    case SB_THUMBTRACK:
      if (FVertScrollBar->Tracking && Sequenced) {
        Data->MoveBy(Info.nTrackPos - FSumList->GetRecNo());
        FThumbTracked = true;
      }
      break;
    case SB_TOP:
      Data->First();
      break;
    case SB_BOTTOM:
      Data->Last();
      break;
    default:
      break;
  }
  return true;
}
