// The grid's filter row: one filter cell at a time is edited in a combo
// box placed over it; choosing an entry of its list, Enter or a change the
// style asks for applies the columns' filters.
#include "COMPONENTS/kslib/DBGridKsFilterRow.h"

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsFilter.h"
#include "COMPONENTS/kslib/KsLibConsts.h"

namespace {

AnsiString LoadResourceText(unsigned Id) {
  char Buffer[256];
  int Length = LoadStringA(GetModuleHandleA(nullptr), Id, Buffer, sizeof Buffer);
  return AnsiString(Buffer, static_cast<size_t>(std::max(Length, 0)));
}

}  // namespace

// --- TInplaceFilterEditKs

TInplaceFilterEditKs::TInplaceFilterEditKs(TComponent* AOwner) : TDBComboBoxKs(AOwner) {}

void TInplaceFilterEditKs::SetFilterText(const Variant& Value, const AnsiString& Text) {
  InternalSetValue(Value);
  TCustomDBEditKs::SetEditText(Text);
  // Taking the focus shows the editor's own value again: the text becomes
  // it, not what was typed into another cell.
  UpdateData();
}

// --- The grid's filter row

bool TCustomDBGridKs::IsFilterRow(int ARow) const {
  return FSTFilter->Visible() && ARow == FTitleOffset - 1;
}

bool TCustomDBGridKs::CanEditFilterCell(int DataCol) {
  if (DataCol < 0 || DataCol >= FColumns->Count()) return false;
  TColumnKs* Column = FColumns->Items(DataCol);
  return Column->Visible() && Column->STFilter()->Visible();
}

bool TCustomDBGridKs::FilterEditorActive() {
  return FFilterRowEditing && FSelection->SelectionType() == gstNon;
}

TInplaceFilterEditKs* TCustomDBGridKs::CreateFilterEditor() {
  auto* Editor = new TInplaceFilterEditKs(this);
  Editor->SetVisible(false);
  Editor->SetParent(this);
  Editor->SetInplaceEditHolder(this);
  // Only a text the column's filter does not hold yet is a change: the
  // editor's own loading and an applied text are not.
  Editor->OnChange = [this, Editor](TObject*) {
    if (FFilterRowBusy) return;
    bool ValidColumn = FFilterColumn >= 0 && FFilterColumn < FColumns->Count();
    if (ValidColumn && Editor->Text() != FColumns->Items(FFilterColumn)->STFilter()->FilterText())
      FilterEditorChanged(0);
  };
  Editor->OnClosing = [this](TObject*, bool& Accept) { FilterValueChosen(Accept); };
  Editor->OnDropDown = [this](TObject*) { FilterDropDown(); };
  return Editor;
}

void TCustomDBGridKs::ShowFilterEditorInColumn(int DataCol) {
  if (!FSTFilter->Visible() || !CanEditFilterCell(DataCol)) return;
  if (FDataLink->Active()) FDataLink->DataSet()->CheckBrowseMode();
  if (!FFilterEditor) FFilterEditor = CreateFilterEditor();
  FFilterEditor->SetFlat(FFlat);
  FFilterEditor->SetBiDiMode(BiDiMode());
  HideEditor();
  FFilterColumn = DataCol;
  FFilterRowEditing = true;
  PlaceFilterEditor(true);
}

void TCustomDBGridKs::ShowFilterEditor(int DataCol) {
  TSTColumnFilterKs* Filter = FColumns->Items(DataCol)->STFilter();
  TFlagScope Loading(FFilterRowBusy);
  FFilterEditor->EditButton()->SetVisible(Filter->CanShowValueList());
  FFilterEditor->DropDownBox()->SetWidth(Filter->ListWidth < 1 ? 100 : Filter->ListWidth);
  FFilterEditor->DropDownBox()->SetRows(Filter->ListRows < 1 ? 17 : Filter->ListRows);
  FFilterEditor->SetFilterText(Variant::Null(), Filter->GetExpressionAsString());
}

void TCustomDBGridKs::ApplyFilterRowText(int DataCol) {
  FColumns->Items(DataCol)->STFilter()->ApplyFilterText(FFilterEditor->Text());
}

void TCustomDBGridKs::PlaceFilterEditor(bool Focus) {
  if (FSTFilter->UpdateCount() > 0) return;
  if (!FSTFilter->Visible() || !FFilterRowEditing || !CanEditFilterCell(FFilterColumn)) {
    UpdateFilterEditor(false);
    return;
  }
  RECT Cell = CellRect(DataToRawColumn(FFilterColumn), FTitleOffset - 1);
  ++Cell.right;
  if (!FilterEditorActive()) {
    HideFilterEditor();
    return;
  }
  // Over its cell before the text comes: a text selected in a narrower
  // editor stays scrolled out of sight once it grows.
  FFilterEditor->SetBoundsWithButtons(MirroredRect(Cell));
  if (Focus) {
    ShowFilterEditor(FFilterColumn);
    FFilterEditor->SelectAll();
  }
  SendMessageA(FFilterEditor->Handle(), EM_SCROLLCARET, 0, 0);
  if (Focus && FFilterEditor->CanFocus()) FFilterEditor->SetFocus();
}

void TCustomDBGridKs::HideFilterEditor() {
  if (!FFilterEditor || !FFilterEditor->Visible()) return;
  if (Visible() && CanFocus() && FFilterEditor->HandleAllocated() &&
      GetFocus() == FFilterEditor->Handle())
    ::SetFocus(Handle());
  FFilterEditor->SetVisible(false);
  if (FFilterColumn < 0 || FFilterColumn >= FColumns->Count()) return;
  ApplyFilterRowText(FFilterColumn);
  InvalidateCell(DataToRawColumn(FFilterColumn), FTitleOffset - 1);
}

void TCustomDBGridKs::UpdateFilterEditor(bool Show) {
  if (Show) {
    ShowFilterEditorInColumn(SelectedIndex());
  } else {
    HideFilterEditor();
  }
}

void TCustomDBGridKs::ApplyFilterRow() {
  TFlagScope Applying(FFilterRowBusy);
  bool ValidColumn = FFilterColumn >= 0 && FFilterColumn < FColumns->Count();
  if (FFilterEditor && FFilterEditor->Visible() && ValidColumn) ApplyFilterRowText(FFilterColumn);
  int Left = LeftCol();
  if (OnApplyFilter) {
    OnApplyFilter(this);
  } else {
    ApplyFilter();
  }
  if (Left < ColCount()) SetLeftCol(Left);
  PlaceFilterEditor(true);
  if (FSumList->Active()) FSumList->RecalcAll();
  Invalidate();
}

void TCustomDBGridKs::ClearFilter() {
  HideFilterEditor();
  for (int I = 0; I < FColumns->Count(); ++I) FColumns->Items(I)->STFilter()->ClearValue();
  Invalidate();
}

void TCustomDBGridKs::MoveFilterCell(bool Forward, bool ToEnd) {
  // To an end: from just outside the opposite side, towards it.
  bool Ahead = ToEnd ? !Forward : Forward;
  int Start = ToEnd ? (Ahead ? FIndicatorOffset - 1 : ColCount()) : DataToRawColumn(FFilterColumn);
  int Step = Ahead ? 1 : -1;
  int Col = Start + Step;
  if (Col >= ColCount()) {
    Col = FIndicatorOffset;
  } else if (Col < FIndicatorOffset) {
    // The last column, with or without the indicator.
    Col = ColCount() - 1;
  }
  if (Col == Start) return;
  while (Col >= FIndicatorOffset && Col < ColCount() && !CanEditFilterCell(RawToDataColumn(Col)))
    Col += Step;
  if (Col < FIndicatorOffset || Col >= ColCount()) return;
  HideFilterEditor();
  ShowFilterEditorInColumn(RawToDataColumn(Col));
}

void TCustomDBGridKs::SortMarkingChanged() {
  if (OnSortMarkingChanged) {
    OnSortMarkingChanged(this);
  } else {
    ApplySorting();
  }
}

void TCustomDBGridKs::FilterValueChosen(bool& Accept) {
  if (!Accept) return;
  bool ValidColumn = FFilterColumn >= 0 && FFilterColumn < FColumns->Count();
  TPopupListboxKs* List = FFilterEditor->PopupListbox();
  if (FFilterEditor->Visible() && ValidColumn) {
    TSTColumnFilterKs* Filter = FColumns->Items(FFilterColumn)->STFilter();
    Filter->ListWidth = List->Width();
    Filter->ListRows = List->RowCount();
  }
  int Index = List->ItemIndex();
  int Tag = Index >= 0 && Index < static_cast<int>(FFilterTags.size()) ? FFilterTags[Index] : 0;
  // A value: the combo box takes it as its text.
  if (Tag < 1) return;
  Accept = false;
  if (Tag >= freSortDescendingKs) {
    for (int I = 0; I < FColumns->Count(); ++I)
      FColumns->Items(I)->Title()->SetSortMarker(smNoneKs);
    FSortMarkedColumns.clear();
  }
  auto SetText = [this](const AnsiString& Text) {
    TFlagScope Loading(FFilterRowBusy);
    FFilterEditor->SetFilterText(Variant::Null(), Text);
  };
  switch (Tag) {
    case freEmptyKs:
      SetText("=Null");
      break;
    case freNotEmptyKs:
      SetText("<>Null");
      break;
    case freAllKs:
      SetText("");
      break;
    case freClearKs:
      ClearFilter();
      break;
    case freSortDescendingKs:
    case freSortAscendingKs:
      if (ValidColumn)
        FColumns->Items(FFilterColumn)
            ->Title()
            ->SetSortMarker(Tag == freSortDescendingKs ? smDownKs : smUpKs);
      break;
    default:
      break;
  }
  if (Tag == freClearKs || (Tag < freClearKs && FStyle->FilterApplyTriggers != 0)) {
    ApplyFilterRow();
  } else if (Tag >= freSortDescendingKs) {
    SortMarkingChanged();
  }
}

void TCustomDBGridKs::FilterEditorChanged(int Reason) {
  if (FStyle->FilterApplyTriggers >> Reason & 1) ApplyFilterRow();
}

void TCustomDBGridKs::FilterDropDown() {
  if (FFilterColumn < 0 || FFilterColumn >= FColumns->Count()) return;
  TColumnKs* Column = FColumns->Items(FFilterColumn);
  TSTColumnFilterKs* Filter = Column->STFilter();
  TStrings* Items = FFilterEditor->Items();
  Items->BeginUpdate();
  Items->Clear();
  FFilterTags.clear();
  auto AddEntry = [&](TFilterRowEntryKs Tag, const AnsiString& Text) {
    Items->Add(Text);
    FFilterTags.push_back(Tag);
  };
  if (FOptionsKs.Contains(dghAutoSortMarking) && Column->Title()->TitleButton()) {
    AddEntry(freSortAscendingKs, LoadResourceText(SSortAscendingKs));
    AddEntry(freSortDescendingKs, LoadResourceText(SSortDescendingKs));
    AddEntry(freSeparatorKs, "-");
  }
  AddEntry(freClearKs, LoadResourceText(SFilterClearKs));
  AddEntry(freAllKs, LoadResourceText(SFilterAllKs));
  AddEntry(freNotEmptyKs, LoadResourceText(SFilterNotEmptyKs));
  AddEntry(freEmptyKs, LoadResourceText(SFilterEmptyKs));
  if (Filter->ListValues()->Count() > 0) {
    Items->AddStrings(Filter->ListValues());
  } else if (auto Values = Filter->FillValueList()) {
    Items->AddStrings(Values->Values());
  } else if (TreeModeNoFooter()) {
    FMemTableIntf->GetFieldValues(Column->FieldName(), Items);
  }
  Items->EndUpdate();
}

void TCustomDBGridKs::FilterEditorKeyDown(uint16_t& Key, TShiftState Shift) {
  if (FFilterEditor->ListVisible()) return;
  bool Ctrl = Shift.Contains(ssCtrl);
  int Length = static_cast<int>(FFilterEditor->Text().size());
  bool NoSelection = FFilterEditor->SelLength() == 0;
  bool AtStart = NoSelection && FFilterEditor->SelStart() == 0;
  bool AtEnd = NoSelection && FFilterEditor->SelStart() >= Length;
  bool NoShiftKeys = !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt);
  switch (Key) {
    case VK_LEFT:
    case VK_HOME:
      if (!Ctrl && !AtStart) return;
      MoveFilterCell(false, Ctrl || Key == VK_HOME);
      break;
    case VK_RIGHT:
    case VK_END:
      if (!Ctrl && !AtEnd) return;
      MoveFilterCell(true, Ctrl || Key == VK_END);
      break;
    case VK_TAB:
      if (!FOptions.Contains(dgTabs)) return;
      MoveFilterCell(!Shift.Contains(ssShift), false);
      break;
    case VK_UP:
      if (!NoShiftKeys) return;
      break;
    case VK_DOWN: {
      bool CtrlAlone = Shift == TShiftState{ssCtrl};
      if (!(NoShiftKeys || CtrlAlone) || !FDataLink->Active()) return;
      SetCol(DataToRawColumn(FFilterColumn));
      if (NoShiftKeys) FDataLink->DataSet()->MoveBy(-FDataLink->ActiveRecord());
      EndFilterEditing();
      break;
    }
    case VK_F2:
      FFilterEditor->SetSelStart(Length);
      FFilterEditor->SetSelLength(0);
      break;
    default:
      return;
  }
  Key = 0;
}

// A press on a filter cell opens the filter editor there instead of acting
// as a title press; a left press goes on to the editor.
bool TCustomDBGridKs::FilterCellPress(TMessage& Message) {
  if (Designing() || !FSTFilter->Visible()) return false;
  POINT P{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
  TGridCoord Cell = MouseCoord(P.x, P.y);
  int DataCol = RawToDataColumn(Cell.X);
  if (!IsFilterRow(Cell.Y) || Cell.X < FIndicatorOffset || !CanEditFilterCell(DataCol))
    return false;
  FSelection->Clear();
  // The cell left keeps what was typed into it.
  if (FFilterColumn != DataCol) HideFilterEditor();
  ShowFilterEditorInColumn(DataCol);
  FFilterPressPoint = ClientToScreen(P);
  FFilterPressTime = static_cast<DWORD>(GetMessageTime());
  if (Message.Msg == WM_LBUTTONDOWN && FFilterEditor && FFilterEditor->Visible()) {
    POINT InEditor{P.x - FFilterEditor->Left(), P.y - FFilterEditor->Top()};
    SendMessageA(FFilterEditor->Handle(), WM_LBUTTONDOWN, Message.WParam,
                 MAKELPARAM(InEditor.x, InEditor.y));
  }
  Message.Result = 0;
  return true;
}

// --- The filter editor's holder

bool TCustomDBGridKs::InplaceEditCanModify(TControl*) { return true; }

void TCustomDBGridKs::GetMouseDownInfo(POINT& Pos, DWORD& Time) {
  Pos = FFilterPressPoint;
  Time = FFilterPressTime;
}

bool TCustomDBGridKs::InplaceEditWndProc(TControl*, TMessage&) { return false; }

void TCustomDBGridKs::InplaceEditKeyDown(TControl*, uint16_t& Key, TShiftState Shift) {
  FilterEditorKeyDown(Key, Shift);
}

void TCustomDBGridKs::InplaceEditKeyPress(TControl*, char& Key) {
  if (Key != '\r') return;
  Key = 0;
  ApplyFilterRow();
}

void TCustomDBGridKs::InplaceEditKeyUp(TControl*, uint16_t&, TShiftState) {}
