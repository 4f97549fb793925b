// The grid's keys: moving, selecting, inserting and deleting records, the
// shortcuts, and the incremental search with its window timer.
#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsFilterRow.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "COMPONENTS/kslib/WinWrapKs.h"
#include "forms/ActnList.h"
#include "forms/Clipbrd.h"
#include "forms/Forms.h"

TDBGridKsProc ShowFindDialogProc;
TDBGridKsProc CopyGridSelectionProc, CutGridSelectionProc, PasteIntoGridProc,
    DeleteGridSelectionProc;

namespace {

constexpr UINT_PTR SearchTimerId = 2;

void Call(const TDBGridKsProc& Proc, TCustomDBGridKs* Grid) {
  if (Proc) Proc(Grid);
}

// Which of the grid's edit actions the action is; false for another one.
bool EditActionKind(TBasicAction* Action, TDBGridKsEditAction& Kind) {
  if (dynamic_cast<TEditCopy*>(Action)) {
    Kind = geaCopyKs;
  } else if (dynamic_cast<TEditPaste*>(Action)) {
    Kind = geaPasteKs;
  } else if (dynamic_cast<TEditCut*>(Action)) {
    Kind = geaCutKs;
  } else if (dynamic_cast<TEditSelectAll*>(Action)) {
    Kind = geaSelectAllKs;
  } else if (dynamic_cast<TEditDelete*>(Action)) {
    Kind = geaDeleteKs;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool TCustomDBGridKs::InputMessage(TMessage& Message) {
  if (Message.Msg == WM_IME_STARTCOMPOSITION) {
    // The composed text goes into the cell's editor.
    TCustomGrid::WndProc(Message);
    ShowEditor();
    return true;
  }
  return CharMessage(Message) || MouseMessage(Message) || ScrollMessage(Message);
}

bool TCustomDBGridKs::CanGridAcceptKey(uint16_t, TShiftState) { return true; }

void TCustomDBGridKs::KeyDown(uint16_t& Key, TShiftState Shift) {
  FKeepSelection = Shift.Contains(ssCtrl) || !FOptionsKs.Contains(dghClearSelection);
  FKeyShift = Shift.Contains(ssShift);
  TCustomControl::KeyDown(Key, Shift);
  if (!Key) return;
  EnterFilterRowByKey(Key, Shift);
  if (!Key) return;
  if (BiDiMode() == bdRightToLeft) {
    if (Key == VK_LEFT) {
      Key = VK_RIGHT;
    } else if (Key == VK_RIGHT) {
      Key = VK_LEFT;
    }
  }
  if (!FDataLink->Active() || !CanGridAcceptKey(Key, Shift)) return;
  ShortCutKey(Key, Shift);
  bool ShiftMulti = Shift.Contains(ssShift) && FOptions.Contains(dgMultiSelect);
  uint16_t TableKey = Key;
  if (Shift.Contains(ssCtrl)) {
    KeyWithCtrl(Key, ShiftMulti);
  } else {
    KeyWithoutCtrl(Key, Shift, ShiftMulti);
  }
  TColumnKs* Column = CurrentColumn();
  if (TableKey == VK_DELETE && !Shift.Contains(ssCtrl) && !FOptions.Contains(dgRowSelect) &&
      Column && (Column->GetColumnType() == 4 || Column->GetColumnType() == 5) &&
      Column->GetField() && !Column->GetField()->Required() && Column->CanModify(true))
    Column->UpdateData("", Variant(), false);
}

// Up on the first record, or with Ctrl, goes into the filter row: with row
// select in the remembered column or the first editable one in view.
void TCustomDBGridKs::EnterFilterRowByKey(uint16_t& Key, TShiftState Shift) {
  if (Key != VK_UP || !FSTFilter->Visible() || !FDataLink->Active() ||
      !(FDataLink->DataSet()->Bof() || Shift.Contains(ssCtrl)))
    return;
  Key = 0;
  if (!FOptions.Contains(dgRowSelect)) return ShowFilterEditorInColumn(SelectedIndex());
  int Count = FColumns->Count();
  auto FirstEditable = [&](int From) {
    while (From < Count && !CanEditFilterCell(From)) ++From;
    return From;
  };
  int Col = FirstEditable(std::max(FFilterColumn, 0));
  int Raw = DataToRawColumn(Col);
  if (Col >= Count || Raw < LeftCol() || Raw >= LeftCol() + VisibleColCount())
    Col = FirstEditable(RawToDataColumn(LeftCol()));
  if (Col < Count) ShowFilterEditorInColumn(Col);
}

// The first matching shortcut runs; the key still goes through the table.
bool TCustomDBGridKs::ShortCutKey(uint16_t Key, TShiftState Shift) {
  const TDBGridKsUnit& U = DBGridKsUnit;
  int Short = ShortCutKs(Key, Shift);
  if (Short == U.CopyAboveShortCut) {
    CopyFromRecordAbove();
  } else if (Short == U.IncSearchShortCut && FOptionsKs.Contains(dghIncSearch)) {
    if (InIncSearch && FOptionsKs.Contains(dghDialogFind) &&
        U.FindDialogShortCut == U.IncSearchShortCut) {
      ClearSearch();
      Call(ShowFindDialogProc, this);
    } else {
      IncrementalSearch("", -1, 0);
    }
  } else if (Short == U.FindDialogShortCut && FOptionsKs.Contains(dghDialogFind)) {
    Call(ShowFindDialogProc, this);
  } else if (InIncSearch) {
    bool Plain = !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt);
    if (Plain && (Key == VK_RETURN || Key == VK_ESCAPE || Key == VK_F2)) {
      ClearSearch();
    } else if (Plain && Key == VK_BACK) {
      IncSearchText = WithoutLastChar(IncSearchText);
      InvalidateRowCells(Row());
      RestartSearchTimer();
    } else if (Short == U.NextMatchShortCut) {
      IncrementalSearch("", FSearchTimeout, 1);
    } else if (Short == U.PriorMatchShortCut) {
      IncrementalSearch("", FSearchTimeout, 2);
    } else {
      return false;
    }
  } else {
    return false;
  }
  return true;
}

void TCustomDBGridKs::KeyWithCtrl(uint16_t& Key, bool ShiftMulti) {
  TDataSet* Data = FDataLink->DataSet();
  bool Vertical = Key == VK_UP || Key == VK_DOWN || Key == VK_PRIOR || Key == VK_NEXT ||
                  Key == VK_HOME || Key == VK_END;
  if (Vertical && !FKeyShift) ClearKeySelection();
  int Active = FDataLink->ActiveRecord();
  switch (Key) {
    case VK_UP:
    case VK_PRIOR:
      if (ShiftMulti) {
        DoSelection(true, -Active, false, false);
      } else {
        Data->MoveBy(-Active);
      }
      break;
    case VK_DOWN:
    case VK_NEXT: {
      int Distance = FDataLink->RecordCount() - Active - 1;
      if (ShiftMulti) {
        DoSelection(true, Distance, false, false);
      } else {
        Data->MoveBy(Distance);
      }
      break;
    }
    case VK_LEFT:
      MoveCol(FIndicatorOffset, 1, false);
      break;
    case VK_RIGHT:
      MoveCol(ColCount() - 1, -1, false);
      break;
    case VK_HOME:
      if (ShiftMulti) {
        DoSelection(true, -1, false, true);
      } else {
        Data->First();
      }
      break;
    case VK_END:
      if (ShiftMulti) {
        DoSelection(true, 1, false, true);
      } else {
        Data->Last();
      }
      break;
    case VK_DELETE:
      if (FEditActions.Contains(geaDeleteKs) && FSelection->SelectionType() != gstNon) {
        if (CanDeleteSelection()) RunEditAction(geaDeleteKs);
      } else if (!FReadOnly && !Data->IsEmpty() && Data->CanModify() &&
                 FOptions.Contains(dgEditing) && FAllowedOperations.Contains(alopDeleteKs) &&
                 DeletePrompt()) {
        if (FSelectedRows->Count() > 0) {
          FSelectedRows->Delete();
        } else {
          Data->Delete();
        }
      }
      break;
    case VK_INSERT:
    case 'C':
      TryEditAction(geaCopyKs);
      break;
    case 'X':
      TryEditAction(geaCutKs);
      break;
    case 'V':
      if (InIncSearch) {
        AppendClipboardToSearch();
      } else {
        TryEditAction(geaPasteKs);
      }
      break;
    case 'A':
      TryEditAction(geaSelectAllKs);
      break;
    default:
      return;
  }
  Key = 0;
}

void TCustomDBGridKs::KeyWithoutCtrl(uint16_t& Key, TShiftState Shift, bool ShiftMulti) {
  TDataSet* Data = FDataLink->DataSet();
  bool RowSelect = FOptions.Contains(dgRowSelect);
  bool OneColumn = ColCount() == FIndicatorOffset + 1;
  switch (Key) {
    case VK_UP:
      PriorRow(true);
      break;
    case VK_DOWN:
      NextRow(true);
      break;
    case VK_LEFT:
      if (RowSelect) {
        if (LeftCol() > FixedCols()) SetLeftCol(LeftCol() - 1);
      } else {
        if (!ShiftMulti) ClearKeySelection();
        MoveCol(Col() - 1, -1, ShiftMulti);
      }
      break;
    case VK_RIGHT:
      if (RowSelect) {
        if (LeftCol() + VisibleColCount() < ColCount()) SetLeftCol(LeftCol() + 1);
      } else {
        if (!ShiftMulti) ClearKeySelection();
        MoveCol(Col() + 1, 1, ShiftMulti);
      }
      break;
    case VK_HOME:
    case VK_END: {
      bool Home = Key == VK_HOME;
      if (OneColumn || RowSelect) {
        if (ShiftMulti) {
          DoSelection(true, Home ? -1 : 1, false, true);
        } else {
          ClearKeySelection();
          Home ? Data->First() : Data->Last();
        }
      } else {
        MoveCol(Home ? FIndicatorOffset : ColCount() - 1, Home ? 1 : -1, ShiftMulti);
      }
      break;
    }
    case VK_NEXT:
    case VK_PRIOR: {
      int Distance = Key == VK_NEXT ? VisibleDataRows() : -VisibleDataRows();
      if (ShiftMulti) {
        DoSelection(true, Distance, !FAllowedSelections.Contains(gstRectangle), false);
      } else {
        ClearKeySelection();
        Data->MoveBy(Distance);
      }
      break;
    }
    case VK_INSERT:
      if (Shift.Contains(ssShift)) {
        if (InIncSearch) {
          AppendClipboardToSearch();
        } else {
          TryEditAction(geaPasteKs);
        }
      } else if (Data->CanModify() && !FReadOnly && FOptions.Contains(dgEditing)) {
        ClearKeySelection();
        if (FAllowedOperations.Contains(alopInsertKs)) {
          Data->Insert();
        } else if (FAllowedOperations.Contains(alopAppendKs)) {
          Data->Append();
        }
      }
      break;
    case VK_DELETE:
      if (!Shift.Contains(ssShift)) return;
      TryEditAction(geaCutKs);
      break;
    case VK_TAB:
      if (Shift.Contains(ssAlt)) return;
      Tab(!Shift.Contains(ssShift));
      break;
    case VK_RETURN:
      if (!FOptionsKs.Contains(dghEnterAsTab)) return;
      Tab(!Shift.Contains(ssShift));
      break;
    case VK_ESCAPE: {
      FDataLink->Reset();
      ClearKeySelection();
      if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
      TGridState State = GridState();
      if (State == gsRowSizing || State == gsColSizing || State == gsColMoving ||
          FTrackingKind == 6)
        Perform(WM_CANCELMODE);
      break;
    }
    case VK_F2:
      SetEditorMode(true);
      break;
    case VK_ADD:
    case VK_SUBTRACT:
    case VK_MULTIPLY:
      if (!TreeNodeKey(Key)) return;
      break;
    default:
      return;
  }
  Key = 0;
}

void TCustomDBGridKs::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (FSortMarkingPending && Key == VK_CONTROL) {
    FSortMarkingPending = false;
    SortMarkingChanged();
  }
  TCustomGrid::KeyUp(Key, Shift);
}

void TCustomDBGridKs::KeyPress(char& Key) {
  if (FOptionsKs.Contains(dghEnterAsTab) && Key == '\r') Key = '\t';
  if (!FOptions.Contains(dgAlwaysShowEditor) && Key == '\r') FDataLink->UpdateRecord();
  TColumnKs* Column = CurrentColumn();
  bool Editable = Column && Column->CanModify(false) && FOptions.Contains(dgEditing);
  bool EditorShown = InplaceEditor() && InplaceEditor()->Visible();
  bool Search = InIncSearch || (FOptionsKs.Contains(dghIncSearch) && !Editable) ||
                (FOptionsKs.Contains(dghPreferIncSearch) &&
                 !FOptions.Contains(dgAlwaysShowEditor) && !EditorShown);
  TDataSetState State = FDataLink->Active() ? FDataLink->DataSet()->State() : dsInactive;
  // Typed search takes the character before the editor could open on it.
  if (Search && static_cast<uint8_t>(Key) >= 32 && FDataLink->Active() && State != dsEdit &&
      State != dsInsert && State != dsSetKey) {
    TCustomControl::KeyPress(Key);
    if (!Key) return;
    AnsiString Typed = FTypedChar.empty() ? AnsiString(1, Key) : FTypedChar;
    IncrementalSearch(Typed, InIncSearch ? FSearchTimeout : DBGridKsUnit.IncSearchTimeout, 0);
    Key = 0;
    return;
  }
  if (TreeNodeChar(Key)) {
    TCustomControl::KeyPress(Key);
    return;
  }
  TCustomGrid::KeyPress(Key);
}

// The character message: remembered while it is handled; Space steps a
// check-box or image cell.
bool TCustomDBGridKs::CharMessage(TMessage& Message) {
  if (Message.Msg != WM_CHAR) return false;
  char Key = static_cast<char>(Message.WParam);
  if (FFilterRowEditing) {
    if (Key == '\b' || static_cast<uint8_t>(Key) >= ' ') {
      PlaceFilterEditor(true);
      if (FFilterEditor && FFilterEditor->Visible())
        PostMessageA(FFilterEditor->Handle(), WM_CHAR, Message.WParam, Message.LParam);
    }
    return true;
  }
  FTypedChar = AnsiString(1, Key);
  MSG Trail;
  // The trail of a lead passed on is no lead of its own.
  bool TrailByte = FTrailNext;
  FTrailNext = false;
  bool HasTrail = !TrailByte && SysLocaleFarEast() && IsLeadByte(Key) &&
                  PeekMessageA(&Trail, Handle(), WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
                  Trail.message != WM_QUIT;
  if (HasTrail) FTypedChar += static_cast<char>(Trail.wParam);
  TColumnKs* Column = CurrentColumn();
  bool Stepped = false;
  if (Key == ' ' && Column && !FOptions.Contains(dgRowSelect) &&
      (Column->GetColumnType() == 4 || Column->GetColumnType() == 5)) {
    TCustomControl::KeyPress(Key);
    if (Key == ' ') Column->ApplyNextValue(KeyboardShiftState().Contains(ssShift) ? -1.0 : 1.0);
    Stepped = true;
  }
  struct TClearTyped {
    AnsiString& Text;
    ~TClearTyped() { Text.clear(); }
  } Clear{FTypedChar};
  if (Stepped) return true;
  TCustomGrid::WndProc(Message);
  if (HasTrail && Message.WParam == 0) {
    KillMessage(Handle(), WM_CHAR);
  } else if (HasTrail) {
    FTrailNext = true;
  }
  return true;
}

void TCustomDBGridKs::ClearKeySelection() {
  if (!FOptionsKs.Contains(dghClearSelection)) return;
  if (FOptions.Contains(dgMultiSelect)) {
    FSelectedRows->Clear();
    FSelecting = false;
  }
  if (FSelection->SelectionType() != gstNon) {
    FSelection->Clear();
    Invalidate();
  }
}

bool TCustomDBGridKs::IsSelectionTypeAllowed(TDBGridKsSelectionType Kind) {
  if (Kind == gstNon) return true;
  if (!FOptions.Contains(dgMultiSelect) || !FAllowedSelections.Contains(Kind)) return false;
  return !((Kind == gstRectangle || Kind == gstColumns) && FOptions.Contains(dgRowSelect));
}

void TCustomDBGridKs::DoSelection(bool Select, int Distance, bool RowWise, bool ToEnd) {
  TDataSet* Data = FDataLink->DataSet();
  auto Move = [&] {
    if (!ToEnd) {
      Data->MoveBy(Distance);
    } else if (Distance > 0) {
      Data->Last();
    } else {
      Data->First();
    }
  };
  if (!RowWise && !FOptions.Contains(dgRowSelect)) {
    if (Select && IsSelectionTypeAllowed(gstRectangle)) {
      BeginUpdate();
      try {
        if (FSelection->SelectionType() != gstRectangle) {
          FSelection->Clear();
          FSelection->Rect()->SelectRect(SelectedIndex(), Data->GetBookmark(), false);
        }
        Move();
        FSelection->Rect()->SelectRect(SelectedIndex(), Data->GetBookmark(), true);
      } catch (...) {
        EndUpdate();
        throw;
      }
      EndUpdate();
    } else {
      Move();
    }
    UpdateEditor();
    return;
  }
  Select = Select && IsSelectionTypeAllowed(gstRecordBookmarks);
  bool Multi = FOptions.Contains(dgMultiSelect) && FDataLink->Active();
  // A walk to an end may pass a million records: the controls wait for
  // its end and the grid repaints once.
  struct TWalk {
    TCustomDBGridKs* Grid;
    TDataSet* Data;
    bool Quiet;
    TWalk(TCustomDBGridKs* G, TDataSet* D, bool Q) : Grid(G), Data(D), Quiet(Q) {
      if (!Quiet) return;
      Data->DisableControls();
      Grid->FSelectionWalk = true;
    }
    ~TWalk() {
      if (!Quiet) return;
      Grid->FSelectionWalk = false;
      Data->EnableControls();
      Grid->BookmarksChanged();
    }
    TWalk(const TWalk&) = delete;
    TWalk& operator=(const TWalk&) = delete;
  } Walk(this, Data, ToEnd);
  int Step = Distance > 0 ? 1 : -1;
  auto Mark = [&] {
    FSelectedRows->SetCurrentRowSelected(FKeepSelection ? !FSelectedRows->CurrentRowSelected()
                                                        : true);
  };
  int Left = std::abs(Distance);
  while (ToEnd || Left-- > 0) {
    if (Multi && !Select) ClearKeySelection();
    if (Multi && Select && !FSelecting) {
      FSelectionAnchor = Data->GetBookmark();
      FAnchorWasSelected = FSelectedRows->CurrentRowSelected();
      Mark();
      FSelecting = true;
    }
    AnsiString Old = Data->GetBookmark();
    if (Data->MoveBy(Step) == 0) break;
    if (!(Multi && Select && FSelecting)) continue;
    // A step back toward the anchor gives up the record left behind.
    bool Back = FSelectedRows->CompareBookmarks(Old, FSelectionAnchor) * Step < 0;
    if (Back) {
      AnsiString Now = Data->GetBookmark();
      Data->GotoBookmark(Old);
      FSelectedRows->SetCurrentRowSelected(FKeepSelection ? !FSelectedRows->CurrentRowSelected()
                                                          : false);
      Data->GotoBookmark(Now);
    } else {
      Mark();
    }
  }
}

// An untouched new record is dropped by moving off it; Down past the last
// record appends one where editing allows it.
void TCustomDBGridKs::NextRow(bool Select) {
  TDataSet* Data = FDataLink->DataSet();
  if (Data->State() == dsInsert && !Data->Modified() && !FDataLink->IsModified()) {
    if (FDataLink->Eof()) return;
    Data->Cancel();
  } else {
    DoSelection(Select && FKeyShift, 1, !IsSelectionTypeAllowed(gstRectangle), false);
  }
  if (FDataLink->Eof() && Data->CanModify() && !FReadOnly && FOptions.Contains(dgEditing) &&
      FAllowedOperations.Contains(alopAppendKs))
    Data->Append();
}

void TCustomDBGridKs::PriorRow(bool Select) {
  TDataSet* Data = FDataLink->DataSet();
  if (Data->State() == dsInsert && !Data->Modified() && FDataLink->Eof() &&
      !FDataLink->IsModified()) {
    Data->Cancel();
    return;
  }
  DoSelection(Select && FKeyShift, -1, !IsSelectionTypeAllowed(gstRectangle), false);
}

void TCustomDBGridKs::Tab(bool Forward) {
  BeginUpdate();
  struct TEnd {
    TCustomDBGridKs* Grid;
    ~TEnd() { Grid->EndUpdate(); }
  } End{this};
  ClearKeySelection();
  TDataSet* Data = FDataLink->DataSet();
  int Start = Col(), C = Start;
  while (true) {
    C += Forward ? 1 : -1;
    if (C >= ColCount() || C < FIndicatorOffset) {
      // A record being edited keeps the row: the move stays in its columns.
      if (Data->State() != dsBrowse) return;
      if (Forward) {
        NextRow(false);
        C = FIndicatorOffset;
      } else {
        PriorRow(false);
        C = ColCount() - 1;
      }
    }
    if (C == Start) return;
    if (TabStops(C)) return MoveCol(C, 0, false);
  }
}

void TCustomDBGridKs::MoveCol(int RawCol, int Direction, bool Select) {
  bool Rect = Select && !FOptions.Contains(dgRowSelect) && IsSelectionTypeAllowed(gstRectangle);
  TDataSet* Data = FDataLink->DataSet();
  if (Rect && FSelection->SelectionType() != gstRectangle) {
    FSelection->Clear();
    FSelection->Rect()->SelectRect(SelectedIndex(), Data->GetBookmark(), false);
  }
  FDataLink->UpdateRecord();
  RawCol = std::max(std::min(RawCol, ColCount() - 1), FIndicatorOffset);
  if (Direction != 0) {
    while (ColWidths(RawCol) <= 0) {
      RawCol += Direction;
      if (RawCol < FIndicatorOffset || RawCol >= ColCount()) return;
    }
  }
  if (RawCol != Col()) {
    if (!FInColExit) {
      int Before = Col();
      FInColExit = true;
      try {
        ColExit();
      } catch (...) {
        FInColExit = false;
        throw;
      }
      FInColExit = false;
      if (Col() != Before) return;
    }
    if (!FOptions.Contains(dgAlwaysShowEditor)) HideEditor();
    if (!FOptions.Contains(dgRowSelect)) MoveColRow(RawCol, Row(), true, true);
    TColumnKs* Column = CurrentColumn();
    if (Column && Column->GetColumnType() != 4 && Column->GetColumnType() != 5 &&
        FOptions.Contains(dgAlwaysShowEditor))
      ShowEditor();
    ColEnter();
  }
  if (Rect) FSelection->Rect()->SelectRect(SelectedIndex(), Data->GetBookmark(), true);
  if (InIncSearch) ClearSearch();
}

bool TCustomDBGridKs::DeletePrompt() {
  AnsiString Text = FSelectedRows->Count() < 2 ? "Удалить запись?" : "Удалить все выбранные записи?";
  if (!FOptions.Contains(dgConfirmDelete)) return true;
  return Application->MessageBox(Text, Application->Title(), MB_OKCANCEL | MB_ICONQUESTION) !=
         IDCANCEL;
}

// The active record is put back on every path, also when the read fails.
void TCustomDBGridKs::CopyFromRecordAbove() {
  TColumnKs* Column = CurrentColumn();
  if (!FDataLink->Active() || FDataLink->ActiveRecord() <= 0 || !Column || !Column->GetField() ||
      !Column->CanModify(true))
    return;
  TField* Field = Column->GetField();
  Variant Value;
  {
    TActiveRecordScope Scope(FDataLink.get(), FDataLink->ActiveRecord() - 1);
    Value = Field->Value();
  }
  ClearKeySelection();
  Field->SetValue(Value);
  UpdateEditor();
  if (InplaceEditor() && InplaceEditor()->Visible()) InplaceEditor()->SelectAll();
}

void TCustomDBGridKs::AppendClipboardToSearch() {
  IncrementalSearch(Clipboard()->AsText(), FSearchTimeout, 0);
}

void TCustomDBGridKs::IncrementalSearch(const AnsiString& Text, int Timeout, int Direction) {
  TColumnKs* Column = CurrentColumn();
  if (!FDataLink->Active()) return;
  AnsiString Wanted = IncSearchText + Text;
  bool Found = false;
  if (!Wanted.empty() && Column) {
    TDataSet* Data = FDataLink->DataSet();
    AnsiString Upper = AnsiUpperCaseStr(Wanted);
    auto Matches = [&] {
      AnsiString Cut = Column->GetDisplayText().substr(0, Wanted.size());
      if (AnsiUpperCaseStr(Cut) != Upper) return false;
      IncSearchText = Cut;
      return true;
    };
    if (Direction == 0 && Matches()) {
      Found = true;
    } else {
      Data->DisableControls();
      // Controls come back and the position is restored on every path.
      struct TWalk {
        TCustomDBGridKs* Grid;
        TDataSet* Data;
        bool& Found;
        ~TWalk() {
          if (!Found) Grid->RestorePosition();
          Grid->FSearchBusy = true;
          Data->EnableControls();
          Grid->FSearchBusy = false;
        }
      } Walk{this, Data, Found};
      SavePosition();
      if (Direction == 0) {
        Data->First();
      } else if (Direction == 1) {
        Data->Next();
      } else {
        Data->Prior();
      }
      while (!(Direction == 2 ? Data->Bof() : Data->Eof())) {
        if ((Found = Matches())) break;
        Direction == 2 ? Data->Prior() : Data->Next();
      }
    }
  }
  HideEditor();
  InIncSearch = true;
  InvalidateRowCells(Row());
  FSearchTimeout = Timeout;
  RestartSearchTimer();
}

void TCustomDBGridKs::ClearSearch() {
  StopSearchTimer();
  InIncSearch = false;
  IncSearchText.clear();
  InvalidateRowCells(Row());
  if (FOptions.Contains(dgAlwaysShowEditor) && CanEditShow()) ShowEditor();
}

void TCustomDBGridKs::RestartSearchTimer() {
  StopSearchTimer();
  if (FSearchTimeout <= -1 || !HandleAllocated()) return;
  SetTimer(Handle(), SearchTimerId, FSearchTimeout, nullptr);
  FSearchTimerRunning = true;
}

void TCustomDBGridKs::StopSearchTimer() {
  if (FSearchTimerRunning && HandleAllocated()) KillTimer(Handle(), SearchTimerId);
  FSearchTimerRunning = false;
}

bool TCustomDBGridKs::CanCopySelection() {
  return FDataLink->Active() && FSelection->SelectionType() != gstNon;
}

bool TCustomDBGridKs::CanCutSelection() { return CanCopySelection() && CanDeleteSelection(); }

bool TCustomDBGridKs::CanPasteIntoGrid() {
  if (!FDataLink->Active() || FReadOnly) return false;
  TDataSet* Data = FDataLink->DataSet();
  static const UINT GridFormat = RegisterClipboardFormatA("VCLDBIF");
  bool Pastable = IsClipboardFormatAvailable(GridFormat) || IsClipboardFormatAvailable(CF_TEXT);
  return Data->CanModify() && Pastable &&
         (Data->State() == dsInsert || FAllowedOperations.Contains(alopUpdateKs));
}

bool TCustomDBGridKs::CanSelectAll() {
  return FDataLink->Active() && !FDataLink->DataSet()->IsEmpty() &&
         FAllowedSelections.Contains(gstAll);
}

bool TCustomDBGridKs::CanDeleteSelection() {
  if (!FDataLink->Active() || FReadOnly) return false;
  TDataSet* Data = FDataLink->DataSet();
  if (Data->IsEmpty() || !Data->CanModify()) return false;
  switch (FSelection->SelectionType()) {
    case gstRecordBookmarks:
    case gstAll:
      return FAllowedOperations.Contains(alopDeleteKs);
    case gstRectangle:
    case gstColumns:
      return FAllowedOperations.Contains(alopUpdateKs);
    default:
      return false;
  }
}

bool TCustomDBGridKs::CanEditAction(TDBGridKsEditAction Kind) {
  switch (Kind) {
    case geaCopyKs:
      return CanCopySelection();
    case geaPasteKs:
      return CanPasteIntoGrid();
    case geaCutKs:
      return CanCutSelection();
    case geaSelectAllKs:
      return CanSelectAll();
    default:
      return CanDeleteSelection();
  }
}

void TCustomDBGridKs::RunEditAction(TDBGridKsEditAction Kind) {
  switch (Kind) {
    case geaCopyKs:
      return Call(CopyGridSelectionProc, this);
    case geaPasteKs:
      return Call(PasteIntoGridProc, this);
    case geaCutKs:
      return Call(CutGridSelectionProc, this);
    case geaSelectAllKs:
      return FSelection->SelectAll();
    default:
      return Call(DeleteGridSelectionProc, this);
  }
}

bool TCustomDBGridKs::TryEditAction(TDBGridKsEditAction Kind) {
  if (!FEditActions.Contains(Kind) || !CanEditAction(Kind)) return false;
  RunEditAction(Kind);
  return true;
}

bool TCustomDBGridKs::ExecuteAction(TBasicAction* Action) {
  TDBGridKsEditAction Kind;
  if (HandleAllocated() && GetFocus() == Handle() && EditActionKind(Action, Kind) &&
      TryEditAction(Kind))
    return true;
  return TCustomGrid::ExecuteAction(Action);
}

bool TCustomDBGridKs::UpdateAction(TBasicAction* Action) {
  TDBGridKsEditAction Kind;
  if (!HandleAllocated() || GetFocus() != Handle() || !EditActionKind(Action, Kind) ||
      !FEditActions.Contains(Kind))
    return TCustomGrid::UpdateAction(Action);
  static_cast<TEditAction*>(Action)->Enabled = CanEditAction(Kind);
  return true;
}
