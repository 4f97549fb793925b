// The grid's mouse: title buttons and clicks, selecting rows, columns and
// rectangles, check-box cells, fitting column widths, and the drag that
// scrolls while the mouse is held outside the data (window timer 1).
#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"

namespace {

constexpr UINT_PTR TrackTimerId = 1, SearchTimerId = 2;
// The band at the bottom of a title cell that selects its column.
constexpr int ColumnSelectZone = 7;
// A title press becomes a column move past this many pixels.
constexpr int TitlePressSlack = 3;
// How near a group title's right edge a press sizes the group.
constexpr int TitleEdgeMargin = 2;
constexpr int CellMargin = 4;

int TextWidth(TFont* Font, const AnsiString& Text) {
  TWindowDC DC;
  TSelectObject Select(DC.Get(), Font->Handle());
  SIZE Extent{};
  GetTextExtentPoint32A(DC.Get(), Text.c_str(), static_cast<int>(Text.size()), &Extent);
  return Extent.cx;
}

// The lowest caption of a multi-level title.
AnsiString LeafCaption(const AnsiString& Caption) {
  size_t Bar = Caption.rfind('|');
  return Bar == AnsiString::npos ? Caption : Caption.substr(Bar + 1);
}

}  // namespace

bool TCustomDBGridKs::MouseMessage(TMessage& Message) {
  switch (Message.Msg) {
    case WM_TIMER:
      if (Message.WParam == SearchTimerId) {
        ClearSearch();
      } else if (Message.WParam == TrackTimerId) {
        if (FRowDrag || FHorzTracking || FTrackingKind == 2) {
          if (!DragButtonHeld(FTrackButton)) {
            EndDrag();
            return true;
          }
          DWORD Began = GetTickCount();
          // No move arrives from past the window's edge: each tick reads
          // where the cursor is.
          POINT P;
          GetCursorPos(&P);
          FMousePoint = ScreenToClient(P);
          TrackMouse();
          RearmTimer(static_cast<int>(GetTickCount() - Began));
        }
      } else {
        return false;
      }
      return true;
    case WM_SETCURSOR:
      if (LOWORD(Message.LParam) != HTCLIENT || GridState() != gsNormal) return false;
      {
        POINT P;
        GetCursorPos(&P);
        P = ScreenToClient(P);
        HCURSOR Cursor = FTrackingKind == 6 || CalcTitleSizingState(P.x, P.y).Node
                             ? LoadCursorA(nullptr, IDC_SIZEWE)
                             : SelectionCursorAt(P.x, P.y);
        if (!Cursor) return false;
        ::SetCursor(Cursor);
        Message.Result = 1;
      }
      return true;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      CancelTracking();
      return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      return FilterCellPress(Message);
    case WM_RBUTTONUP:
      return ColumnPopupUp(Message);
    default:
      return false;
  }
}

// The row-selection cursor over the indicator, the column-selection one
// over the bottom band of a title; null elsewhere.
HCURSOR TCustomDBGridKs::SelectionCursorAt(int X, int Y) {
  const std::vector<HCURSOR>& Cursors = DBGridKsUnit.Cursors;
  if (Cursors.size() < 3 || Designing() || !FDataLink->Active() ||
      !FOptions.Contains(dgMultiSelect))
    return nullptr;
  TGridDrawInfo Info;
  TGridState State;
  int Index, Pos, Ofs;
  CalcSizingState(X, Y, State, Index, Pos, Ofs, Info);
  if (State != gsNormal) return nullptr;
  TGridCoord Cell = MouseCoord(X, Y);
  if (Cell.X < 0 || Cell.Y < 0) return nullptr;
  if (Cell.X < FIndicatorOffset && Cell.Y >= FTitleOffset && !FDataLink->DataSet()->IsEmpty() &&
      FAllowedSelections.Contains(gstRecordBookmarks))
    return Cursors[BiDiMode() == bdRightToLeft ? 2 : 1];
  if (Cell.X >= FIndicatorOffset && Cell.Y == 0 && FOptions.Contains(dgTitles) &&
      !FOptions.Contains(dgRowSelect) && FAllowedSelections.Contains(gstColumns)) {
    RECT R = CellRect(Cell.X, Cell.Y);
    if (Y >= std::max(R.bottom - ColumnSelectZone, R.top)) return Cursors[0];
  }
  return nullptr;
}

void TCustomDBGridKs::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbRight) SetCapture(Handle());
  FTrackButton = Button;
  FCheckClickCell = {-1, -1};
  FMouseDownPoint = {X, Y};
  if (!AcquireFocus()) return;
  TGridDrawInfo Info;
  TGridState State;
  int Index, Pos, Ofs;
  CalcSizingState(X, Y, State, Index, Pos, Ofs, Info);
  TGridCoord Cell = MouseCoord(X, Y);
  if (FFilterRowEditing && Cell.Y >= FTitleOffset) EndFilterEditing();
  int DataCol = RawToDataColumn(Cell.X);
  TColumnKs* Column = DataCol >= 0 && DataCol < FColumns->Count() ? FColumns->Items(DataCol) : nullptr;
  TTitleEdge TitleEdge = Button == mbLeft ? CalcTitleSizingState(X, Y) : TTitleEdge{};
  if (TitleEdge.Node) {
    State = gsColSizing;
    Index = TitleEdge.Col;
  }
  if (Button == mbLeft && Shift.Contains(ssDouble)) {
    bool Fitted = false;
    if (State == gsColSizing && FOptionsKs.Contains(dghDblClickOptimizeColWidth)) {
      TColumnsKsList Fit;
      if (FSelection->SelectionType() == gstColumns) Fit = *FSelection->Columns();
      if (FSelection->SelectionType() == gstAll) Fit = FVisibleColumns;
      int Edge = RawToDataColumn(Index);
      if (Edge >= 0 && Edge < FColumns->Count() && Fit.IndexOf(FColumns->Items(Edge)) < 0)
        Fit.push_back(FColumns->Items(Edge));
      OptimizeColsWidth(Fit);
      Fitted = true;
    } else if (Column && Cell.Y >= FTitleOffset && Column->DblClickNextVal() &&
               (Column->GetColumnType() == 4 || Column->GetColumnType() == 5)) {
      Column->ApplyNextValue(Shift.Contains(ssShift) ? -1.0 : 1.0);
    }
    if (!Fitted && OnDblClick) OnDblClick(this);
    TCustomControl::MouseDown(Button, Shift, X, Y);
    return;
  }
  if (TitleEdge.Node) {
    FTrackingKind = 6;
    FSizingEdge = TitleEdge;
    FSizingOfs = MirroredX(X) - TitleEdge.X;
    SetCapture(Handle());
    FSizingLineX = -1;
    if (!FOptionsKs.Contains(dghTraceColSizing)) {
      FSizingLineX = TitleEdge.X;
      DrawTitleSizingLine();
    }
    return;
  }
  if (State != gsNormal) {
    FDataLink->UpdateRecord();
    TCustomGrid::MouseDown(Button, Shift, X, Y);
    return;
  }
  if (SelectionCursorAt(X, Y) == DBGridKsUnit.Cursors.at(0)) {
    InvalidateColumnCells(DataCol);
    FTrackingKind = 2;
    StartTimer(60);
    SetCapture(Handle());
    TDBGridKsSelectionCols* Columns = FSelection->Columns();
    if (Shift.Contains(ssShift)) {
      Columns->SelectRange(Column);
    } else if (Shift.Contains(ssCtrl)) {
      Columns->InvertSelect(Column);
    } else {
      Invalidate();
      Columns->Select(Column, false);
    }
    return;
  }
  bool Title = Cell.Y >= 0 && Cell.Y < FTitleOffset;
  if (OnOwnTitle(Cell, Y) && Column && !Designing()) {
    if (Button == mbRight && FOptions.Contains(dgColumnResize)) {
      FRightAsLeft = true;
      Button = mbLeft;
    }
    bool Pressable = Button == mbLeft && Column->Title()->TitleButton();
    if (Button == mbLeft) CheckTitleButton(DataCol, Pressable);
    if (Pressable) {
      SetCapture(Handle());
      FTracking = true;
      TrackedTitleCol = Cell.X;
      TitleButtonDown = true;
      InvalidateCell(Cell.X, Cell.Y);
      return;
    }
  }
  if (Title) {
    if (Cell.X == 0 && FOptions.Contains(dgMultiSelect) && FDataLink->Active() &&
        FAllowedSelections.Contains(gstAll)) {
      if (FSelection->SelectionType() == gstAll) {
        FSelection->Clear();
      } else {
        FSelection->SelectAll();
      }
    }
    if (FOptions.Contains(dgColumnResize) || Designing()) {
      FDataLink->UpdateRecord();
      Canvas()->Pen()->SetColor(RGB(192, 192, 192));
      TCustomGrid::MouseDown(Button, Shift, X, Y);
    }
    return;
  }
  bool BelowData = Cell.Y > GetDataRect().Bottom;
  if (Cell.X < 0 || Cell.Y < 0 || BelowData || !FDataLink->Active() || CellClickHandled(X, Y)) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    return;
  }
  TDataSet* Data = FDataLink->DataSet();
  TGridCoord Prev{Col(), Row()};
  bool Multi = FOptions.Contains(dgMultiSelect), RowSelect = FOptions.Contains(dgRowSelect);
  bool ShiftDown = Shift.Contains(ssShift), Ctrl = Shift.Contains(ssCtrl);
  BeginUpdate();
  try {
    FDataLink->UpdateRecord();
    if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
    if (Cell.Y != Row() && (!ShiftDown || !Multi || (Column && !RowSelect)))
      Data->MoveBy(Cell.Y - Row());
    if (Column) MoveCol(Cell.X, 0, false);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  if (Button == mbLeft) SetCapture(Handle());
  FTracking = FHorzTracking = true;
  FKeepSelection = Ctrl || !FOptionsKs.Contains(dghClearSelection);
  if (!Ctrl && !ShiftDown && FOptionsKs.Contains(dghClearSelection) &&
      !(Button == mbRight && FSelection->DataCellSelected(DataCol, Data->GetBookmark())))
    ClearKeySelection();
  if (Column && IsSelectionTypeAllowed(gstRectangle) && Button != mbRight) {
    if (!Data->IsEmpty()) FSelection->Rect()->SelectRect(DataCol, Data->GetBookmark(), ShiftDown);
    FTrackingKind = 3;
  } else if (IsSelectionTypeAllowed(gstRecordBookmarks)) {
    if (ShiftDown && Cell.Y != Prev.Y) {
      DoSelection(true, Cell.Y - Prev.Y, true, false);
    } else if ((!Ctrl && FOptionsKs.Contains(dghClearSelection)) || Button == mbRight) {
      FSelectedRows->SetCurrentRowSelected(true);
    } else {
      FSelectedRows->SetCurrentRowSelected(!FSelectedRows->CurrentRowSelected());
    }
    FRowDrag = true;
    FSelectionAnchor = Data->GetBookmark();
    FAnchorWasSelected = FSelectedRows->CurrentRowSelected();
    FSelecting = true;
    FTrackingKind = 1;
  }
  if (Button == mbLeft) {
    bool OnButton = Column && OnCellButton(Column, Cell, X);
    if (Column && (Cell == Prev || OnButton || FOptions.Contains(dgAlwaysShowEditor)) &&
        CanEditShow())
      ShowEditor();
    if (Column && PassPressToEditorButton(X, Y)) return;
    if (Column && (Column->GetColumnType() == 4 || Column->GetColumnType() == 5))
      FCheckClickCell = Cell;
  } else {
    InvalidateEditor();
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

// A column's own title: the first title row, below any group caption over
// it; the rows under it (filter, levels) and the group captions are not.
bool TCustomDBGridKs::OnOwnTitle(TGridCoord Cell, int Y) {
  if (Cell.Y != 0 || Cell.X < FIndicatorOffset || !TitleRowShown()) return false;
  if (!FUseMultiTitle) return true;
  THeadTreeNode* Node = TitleNodeAt(Cell.X, Y);
  return !Node || Node->Column;
}

// Over the buttons a cell of the column shows beside its text.
bool TCustomDBGridKs::OnCellButton(TColumnKs* Column, TGridCoord Cell, int X) {
  int Width = Column->EditButtonsWidth();
  RECT R = CellRect(Cell.X, Cell.Y);
  X = MirroredX(X);
  return Width > 0 && X >= R.right - Width && X < R.right;
}

// A press on a button of the shown editor is that button's: the grid lets
// the mouse go and the press goes on to the control under it.
bool TCustomDBGridKs::PassPressToEditorButton(int X, int Y) {
  auto* Editor = dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
  if (!Editor || !Editor->Visible() || !Editor->HandleAllocated()) return false;
  POINT P{X - Editor->Left(), Y - Editor->Top()};
  RECT Text = Editor->GetEditRect();
  if (P.x < 0 || P.y < 0 || P.x >= Editor->Width() || P.y >= Editor->Height() ||
      (P.x >= Text.left && P.x < Text.right))
    return false;
  StopTracking();
  FTrackingKind = 0;
  FSelecting = false;
  POINT Screen = ClientToScreen(POINT{X, Y});
  HWND Target = WindowFromPoint(Screen);
  if (!Target || Target == Handle()) return false;
  ::ScreenToClient(Target, &Screen);
  PostMessageA(Target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Screen.x, Screen.y));
  return true;
}

void TCustomDBGridKs::MouseMoveTracking(TShiftState Shift, int X, int Y) {
  FMousePoint = {X, Y};
  FMouseShift = Shift;
  if (FTrackingKind == 6) {
    if (FOptionsKs.Contains(dghTraceColSizing)) {
      ApplyTitleSizing(MirroredX(X) - FSizingOfs);
    } else {
      DrawTitleSizingLine();
      FSizingLineX = MirroredX(X) - FSizingOfs;
      DrawTitleSizingLine();
    }
    return;
  }
  if (FTracking && TrackedTitleCol >= 0) {
    if (std::abs(X - FMouseDownPoint.x) > TitlePressSlack && FOptions.Contains(dgColumnResize)) {
      // The press becomes the platform's: a column move.
      POINT Down = FMouseDownPoint;
      StopTracking();
      TCustomGrid::MouseDown(mbLeft, TShiftState{ssLeft}, Down.x, Down.y);
      TCustomGrid::MouseMove(Shift, X, Y);
      return;
    }
    TGridCoord Cell = MouseCoord(X, Y);
    bool On = Cell.X == TrackedTitleCol && OnOwnTitle(Cell, Y);
    if (On != TitleButtonDown) {
      TitleButtonDown = On;
      InvalidateCell(TrackedTitleCol, 0);
    }
    return;
  }
  if (FRowDrag || FHorzTracking || FTrackingKind == 3) {
    RECT Client = ClientRect();
    int CX = std::clamp(X, 0, static_cast<int>(Client.right) - 1);
    int CY = std::clamp(Y, 0, static_cast<int>(Client.bottom) - 1);
    TGridCoord Cell = MouseCoord(CX, CY);
    TGridDrawInfo Info;
    CalcDrawInfo(Info);
    bool InRows = Y >= Info.Vert.FixedBoundary && Y < Info.Vert.FullVisBoundary &&
                  Cell.Y >= FTitleOffset;
    if (InRows && Cell.Y != Row())
      DoSelection(Shift.Contains(ssLeft), Cell.Y - Row(), FTrackingKind != 3, false);
    int LX = MirroredX(X);
    bool InCols = LX >= Info.Horz.FixedBoundary && LX < Info.Horz.GridBoundary;
    if (FHorzTracking && InCols && Cell.X >= FIndicatorOffset && Cell.X != Col()) {
      MoveCol(Cell.X, 0, false);
      if (FTrackingKind == 3)
        FSelection->Rect()->SelectRect(SelectedIndex(), FDataLink->DataSet()->GetBookmark(), true);
    }
    TrackMouse();
    return;
  }
  if (FTrackingKind == 2) {
    TGridCoord Cell = MouseCoord(X, Y);
    int DataCol = RawToDataColumn(Cell.X);
    if (Cell.X >= FIndicatorOffset && DataCol < FColumns->Count()) {
      FSelection->Columns()->SelectRange(FColumns->Items(DataCol));
    } else {
      TrackMouse();
    }
    return;
  }
  TCustomGrid::MouseMove(Shift, X, Y);
}

void TCustomDBGridKs::TrackMouse() {
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  POINT P = FMousePoint;
  if (FTrackingKind == 2) {
    GetCursorPos(&P);
    P = ScreenToClient(P);
  }
  // Against the cells as painted: mirrored in a right-to-left grid.
  P.x = MirroredX(P.x);
  if (FTrackingKind == 2) {
    int Beyond = 0;
    if (P.x >= Info.Horz.GridBoundary) {
      if (LeftCol() + VisibleColCount() < ColCount()) SetLeftCol(LeftCol() + 1);
      Beyond = P.x - Info.Horz.GridBoundary + 1;
      int Last = std::min(LeftCol() + VisibleColCount(), ColCount() - 1);
      FSelection->Columns()->SelectRange(FColumns->Items(RawToDataColumn(Last)));
    } else if (P.x < Info.Horz.FixedBoundary) {
      if (LeftCol() > FixedCols()) SetLeftCol(LeftCol() - 1);
      Beyond = Info.Horz.FixedBoundary - P.x;
      FSelection->Columns()->SelectRange(FColumns->Items(RawToDataColumn(LeftCol())));
    } else {
      return;
    }
    StartTimer(std::max(200 - 10 * Beyond, 0));
    return;
  }
  int Top = Info.Vert.FixedBoundary, Bottom = Info.Vert.FullVisBoundary;
  int Left = Info.Horz.FixedBoundary, Right = Info.Horz.GridBoundary;
  int VDir = P.y < Top ? -1 : P.y >= Bottom ? 1 : 0;
  int HDir = FHorzTracking ? (P.x < Left ? -1 : P.x >= Right ? 1 : 0) : 0;
  int VDist = VDir < 0 ? Top - P.y : VDir > 0 ? P.y - Bottom + 1 : 0;
  int HDist = HDir < 0 ? Left - P.x : HDir > 0 ? P.x - Right + 1 : 0;
  if (!VDir && !HDir) {
    StopTimer();
    return;
  }
  int Distance = std::max(VDist, HDist);
  int Rows = std::min(VDist / 6, 8);
  TDataSet* Data = FDataLink->DataSet();
  BeginUpdate();
  try {
    if (VDir && FRowDrag && FTrackingKind != 3 && Rows > 0)
      DoSelection(FMouseShift.Contains(ssLeft), VDir * Rows, true, false);
    if (HDir) {
      if (HDir > 0 && LeftCol() + VisibleColCount() < ColCount()) SetLeftCol(LeftCol() + 1);
      if (HDir < 0 && LeftCol() > FixedCols()) SetLeftCol(LeftCol() - 1);
      if (!FRowDrag) MoveCol(Col() + HDir, HDir, false);
    }
    if (FTrackingKind == 3 && Data) {
      if (VDir && Rows > 0) Data->MoveBy(VDir * Rows);
      FSelection->Rect()->SelectRect(SelectedIndex(), Data->GetBookmark(), true);
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  UpdateWindow(Handle());
  StartTimer(std::max(200 - 15 * Distance, 0));
}

void TCustomDBGridKs::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (FTrackingKind == 6) {
    DrawTitleSizingLine();
    FSizingLineX = -1;
    FTrackingKind = 0;
    if (GetCapture() == Handle()) ReleaseCapture();
    if (!FOptionsKs.Contains(dghTraceColSizing)) ApplyTitleSizing(MirroredX(X) - FSizingOfs);
    return;
  }
  TGridState State = GridState();
  int Kind = FTrackingKind;
  FTrackingKind = 0;
  FSelecting = false;
  TGridCoord Cell = MouseCoord(X, Y);
  if (FTracking && TrackedTitleCol >= 0) {
    int Pressed = TrackedTitleCol;
    bool On = Cell.X == Pressed && OnOwnTitle(Cell, Y);
    StopTracking();
    int DataCol = RawToDataColumn(Pressed);
    if (On && DataCol >= 0 && DataCol < FColumns->Count()) {
      TColumnKs* Column = FColumns->Items(DataCol);
      bool Ctrl = Shift.Contains(ssCtrl);
      TitleBtnClick(DataCol, Column);
      if (Ctrl) FSortMarkingPending = true;
      if (FOptionsKs.Contains(dghAutoSortMarking)) Column->Title()->ClickSortMarker(Ctrl);
      if (!Ctrl) SortMarkingChanged();
    }
  } else if (FRightAsLeft) {
    FRightAsLeft = false;
    if (GetCapture() == Handle()) ReleaseCapture();
    Button = mbLeft;
  }
  if (FHorzTracking || FRowDrag) StopTracking();
  if (Kind) StopTimer();
  TCustomGrid::MouseUp(Button, Shift, X, Y);
  if (State == gsRowSizing || State == gsColSizing) return;
  TInplaceEdit* Editor = InplaceEditor();
  if (Editor && Editor->Visible()) {
    RECT R{Editor->Left(), Editor->Top(), Editor->Left() + Editor->Width(),
           Editor->Top() + Editor->Height()};
    if (PtInRect(&R, POINT{X, Y})) return;
  }
  int DataCol = RawToDataColumn(Cell.X);
  if (Cell.X < FIndicatorOffset || Cell.Y < 0 || DataCol >= FColumns->Count()) return;
  TColumnKs* Column = FColumns->Items(DataCol);
  if (Button == mbLeft) {
    if (Cell.Y < FTitleOffset) {
      TitleClick(Column);
    } else if (Cell.Y < FTitleOffset + FDataLink->RecordCount()) {
      CellClick(Column);
    }
  }
  if (Button == mbLeft && Cell == FCheckClickCell && !Column->DblClickNextVal() &&
      !Shift.Contains(ssDouble) && Column->CanModify(true))
    Column->ApplyNextValue(Shift.Contains(ssShift) ? -1.0 : 1.0);
}

// A press or Down into the data leaves the filter row.
void TCustomDBGridKs::EndFilterEditing() {
  if (FSTFilter->UpdateCount() > 0) return;
  HideFilterEditor();
  FFilterRowEditing = false;
  RestoreInplaceEditor();
}

void TCustomDBGridKs::RestoreInplaceEditor() {
  if (FOptions.Contains(dgAlwaysShowEditor) && !FilterEditorActive()) {
    ShowEditor();
  } else {
    HideEditor();
  }
}

void TCustomDBGridKs::CancelTracking() {
  if (FTrackingKind == 6) {
    DrawTitleSizingLine();
    FSizingLineX = -1;
    FTrackingKind = 0;
    if (GetCapture() == Handle()) ReleaseCapture();
    return;
  }
  if (FTracking && TrackedTitleCol >= 0) StopTracking();
  if (FTrackingKind) StopTimer();
  FTrackingKind = 0;
}

// A column's own menu pops up instead of the grid's on a right release
// over its cells.
bool TCustomDBGridKs::ColumnPopupUp(TMessage& Message) {
  POINT P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
  TGridCoord Cell = MouseCoord(P.x, P.y);
  int DataCol = RawToDataColumn(Cell.X);
  if (Cell.X < FIndicatorOffset || Cell.Y < 0 || DataCol >= FColumns->Count()) return false;
  TPopupMenu* Menu = FColumns->Items(DataCol)->PopupMenu();
  if (!Menu || !Menu->AutoPopup) return false;
  MouseUp(mbRight, MouseShiftState(Message.WParam), P.x, P.y);
  Perform(WM_CANCELMODE);
  Menu->PopupComponent = this;
  POINT S = ClientToScreen(P);
  Menu->Popup(S.x, S.y);
  Message.Result = 1;
  return true;
}

// Swapped buttons swap the keys too: the system reports the physical ones.
bool TCustomDBGridKs::DragButtonHeld(TMouseButton Button) {
  bool Swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
  return GetAsyncKeyState((Button == mbRight) != Swapped ? VK_RBUTTON : VK_LBUTTON) < 0;
}

void TCustomDBGridKs::StartTimer(int Interval) {
  if (!HandleAllocated()) return;
  Interval = std::max(Interval, MinTrackInterval);
  if (FTimerInterval == Interval) return;
  if (FTimerInterval != -1) KillTimer(Handle(), TrackTimerId);
  SetTimer(Handle(), TrackTimerId, Interval, nullptr);
  FTimerInterval = Interval;
}

// After a tick the next one is due its interval after this one began, but
// never at once: a tick slower than its interval would leave a timer
// message always due, and no message loop would find the queue empty.
void TCustomDBGridKs::RearmTimer(int Elapsed) {
  if (FTimerInterval == -1 || !HandleAllocated()) return;
  SetTimer(Handle(), TrackTimerId, std::max(FTimerInterval - Elapsed, MinTrackInterval), nullptr);
}

// The button went up without its release reaching the grid.
void TCustomDBGridKs::EndDrag() {
  FTrackingKind = 0;
  FSelecting = false;
  StopTracking();
  StopTimer();
  if (GetCapture() == Handle()) ReleaseCapture();
}

void TCustomDBGridKs::StopTimer() {
  if (FTimerInterval != -1 && HandleAllocated()) KillTimer(Handle(), TrackTimerId);
  FTimerInterval = -1;
}

void TCustomDBGridKs::StopTracking() {
  if (!FTracking) return;
  StopTimer();
  FRowDrag = false;
  if (TitleButtonDown && TrackedTitleCol >= 0) InvalidateCell(TrackedTitleCol, 0);
  TitleButtonDown = false;
  FTracking = false;
  if (GetCapture() == Handle()) ReleaseCapture();
  TrackedTitleCol = -1;
  FHorzTracking = false;
  FTrackingKind = 0;
}

THeadTreeNode* TCustomDBGridKs::TitleNodeAt(int ACol, int Y) {
  int DataCol = RawToDataColumn(ACol);
  if (DataCol < 0 || DataCol >= static_cast<int>(FLeafNodes.size())) return nullptr;
  RECT Cell = CellRect(ACol, 0);
  if (Y < Cell.top || Y >= Cell.bottom) return nullptr;
  THeadTreeNode* Node = FLeafNodes[DataCol];
  int Line = FOptions.Contains(dgRowLines) ? 1 : 0;
  // Each box up the tree stands on the one below it, a row line between,
  // as the titles are painted.
  int Top = Cell.bottom - Node->Height + 3;
  while (Y < Top && Node->Host && Node->Host != FHeadTree.get()) {
    Node = Node->Host;
    Top -= Line + Node->Height;
  }
  return Node;
}

TCustomDBGridKs::TTitleEdge TCustomDBGridKs::CalcTitleSizingState(int X, int Y) {
  TTitleEdge Edge;
  if (!FUseMultiTitle || !FOptions.Contains(dgTitles) || !FOptions.Contains(dgColumnResize) ||
      FLeafNodes.empty())
    return Edge;
  X = MirroredX(X);
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  for (int ACol = FIndicatorOffset; ACol < ColCount(); ++ACol) {
    RECT Cell = CellRect(ACol, 0);
    if (Cell.right <= Cell.left || X < Cell.right - TitleEdgeMargin ||
        X > Cell.right + Info.Horz.EffectiveLineWidth + TitleEdgeMargin)
      continue;
    THeadTreeNode* Node = TitleNodeAt(ACol, Y);
    // A leaf's edge is the platform's; a group's only where the group ends.
    if (!Node || Node->Column || (ACol + 1 < ColCount() && TitleNodeAt(ACol + 1, Y) == Node))
      continue;
    Edge.Node = Node;
    Edge.Col = ACol;
    Edge.X = Cell.right;
    return Edge;
  }
  return Edge;
}

void TCustomDBGridKs::CalcSizingState(int X, int Y, TGridState& State, int& Index,
                                      int& SizingPos, int& SizingOfs, TGridDrawInfo& FixedInfo) {
  TCustomGrid::CalcSizingState(X, Y, State, Index, SizingPos, SizingOfs, FixedInfo);
  if (State != gsColSizing || !FUseMultiTitle) return;
  THeadTreeNode* Node = TitleNodeAt(Index, Y);
  if (Node && !Node->Column) State = gsNormal;
}

void TCustomDBGridKs::DrawTitleSizingLine() {
  if (FSizingLineX < 0 || !HandleAllocated()) return;
  HDC DC = GetDC(Handle());
  PatBlt(DC, MirroredX(FSizingLineX), 0, 1, ClientHeight(), DSTINVERT);
  ReleaseDC(Handle(), DC);
}

void TCustomDBGridKs::ApplyTitleSizing(int X) {
  std::vector<TColumnKs*> Shown;
  int Total = 0;
  for (int ACol = FIndicatorOffset; ACol <= FSizingEdge.Col; ++ACol) {
    int DataCol = RawToDataColumn(ACol);
    THeadTreeNode* Leaf = FLeafNodes[DataCol];
    THeadTreeNode* Up = Leaf;
    while (Up && Up != FSizingEdge.Node) Up = Up->Host;
    TColumnKs* Column = FColumns->Items(DataCol);
    if (!Up || !Column->Visible()) continue;
    Shown.push_back(Column);
    Total += Column->Width();
  }
  if (Shown.empty() || Total <= 0) return;
  int Wanted = std::max(Total + X - FSizingEdge.X, static_cast<int>(Shown.size()));
  FSizingEdge.X += Wanted - Total;
  BeginLayout();
  try {
    int Left = Wanted;
    for (size_t I = 0; I + 1 < Shown.size(); ++I) {
      int Width = std::max(1, static_cast<int>(static_cast<int64_t>(Shown[I]->Width()) * Wanted / Total));
      Width = std::min(Width, Left - static_cast<int>(Shown.size() - I - 1));
      Shown[I]->SetWidth(Width);
      Left -= Width;
    }
    Shown.back()->SetWidth(Left);
  } catch (...) {
    EndLayout();
    throw;
  }
  EndLayout();
}

// Every path restores the position, the controls and the scroll handlers.
void TCustomDBGridKs::OptimizeColsWidth(const TColumnsKsList& Columns) {
  if (!FDataLink->Active() || Columns.empty()) return;
  std::vector<int> Need;
  for (TColumnKs* Column : Columns) {
    TColumnTitleKs* Title = Column->Title();
    int Width = CellMargin;
    if (Title->SortMarkerWidth() > 2) Width += Title->SortMarkerWidth() - 2;
    if (FTitleImages && Title->ImageIndex() != -1) {
      Width += FTitleImages->Width();
    } else {
      Width += TextWidth(Title->Font(), LeafCaption(Title->Caption()));
    }
    Need.push_back(Width);
  }
  TDataSet* Data = FDataLink->DataSet();
  TDataSetNotifyEvent Before = Data->BeforeScroll, After = Data->AfterScroll;
  Data->BeforeScroll = nullptr;
  Data->AfterScroll = nullptr;
  Data->DisableControls();
  struct TRestore {
    TCustomDBGridKs* Grid;
    TDataSet* Data;
    TDataSetNotifyEvent Before, After;
    ~TRestore() {
      Grid->RestorePosition();
      Data->EnableControls();
      Data->BeforeScroll = Before;
      Data->AfterScroll = After;
    }
  } Restore{this, Data, Before, After};
  SavePosition();
  bool Sequenced = FSumList->IsSequenced();
  int Count = Sequenced ? FSumList->GetRecordCount() : 0;
  for (Data->First(); !Data->Eof(); Data->Next()) {
    for (size_t I = 0; I < Columns.size(); ++I) {
      TColumnKs* Column = Columns[I];
      int Kind = Column->GetColumnType();
      int Width = Kind == 5 ? CheckBoxGlyphSize.cx
                            : TextWidth(Column->Font(), Column->GetDisplayText());
      Width += CellMargin;
      Width += Column->EditButtonsWidth();
      if (IsTreeColumn(Column->Index())) Width += TreeIndentWidth();
      Need[I] = std::max(Need[I], Width);
    }
    if (Sequenced && FSumList->GetRecNo() >= Count) break;
  }
  if (!FAutoFitColWidths) BeginLayout();
  try {
    for (size_t I = 0; I < Columns.size(); ++I) {
      for (int Footer = 0; Footer < FFooterRowCount; ++Footer) {
        AnsiString Text;
        FooterValueText(Footer, Columns[I], Text);
        Need[I] = std::max(Need[I], TextWidth(Columns[I]->GetFooter(Footer)->Font(), Text) + 5);
      }
      Columns[I]->SetWidth(Need[I]);
    }
  } catch (...) {
    if (!FAutoFitColWidths) EndLayout();
    throw;
  }
  if (!FAutoFitColWidths) EndLayout();
}
