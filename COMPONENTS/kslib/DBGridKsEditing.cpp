// The grid's answers around the in-place editor: whether it shows, which
// keys it takes, whether the cell may change, its text, mask and limit, and
// where the edited text goes.
#include <functional>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBLookupGridsKs.h"
#include "COMPONENTS/kslib/DBToolsKs.h"
#include "forms/Ime.h"
#include "rtl/AnsiText.h"

namespace {

constexpr const char* DateEditMask = "00.00.00##";

bool IsMemoText(TField* Field, bool DrawMemoText) { return DrawMemoText && Field->IsBlob(); }

// Line breaks of a memo as the one-line editor shows them.
AnsiString NormalizedLines(const AnsiString& Text) {
  AnsiString Result;
  for (size_t I = 0; I < Text.size(); ++I) {
    char C = Text[I];
    if (C == '\r' || C == '\n') {
      Result += "\r\n";
      if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
    } else {
      Result += C;
    }
  }
  return Result;
}

}  // namespace

TColumnKs* TCustomDBGridKs::CurrentColumn() {
  int I = SelectedIndex();
  return I >= 0 && I < FColumns->Count() ? FColumns->Items(I) : nullptr;
}

// Pick-list, lookup and key-list cells edit through a drop-down list.
bool TCustomDBGridKs::EditorShowsList() {
  TColumnKs* Column = CurrentColumn();
  if (!Column) return false;
  int Kind = Column->GetColumnType();
  return Kind == 1 || Kind == 2 || Kind == 3;
}

bool TCustomDBGridKs::CanEditShow() {
  if (FLayoutLock > 0) return false;
  TColumnKs* Column = CurrentColumn();
  bool Result = TCustomGrid::CanEditShow() && FDataLink->Active() && Column && !FFilterRowEditing &&
                Column->GetColumnType() != 4 && Column->GetColumnType() != 5 &&
                (FSelection->SelectionType() == gstNon ||
                 !(FOptionsKs.Contains(dghClearSelection) &&
                   FAllowedSelections.Contains(gstRectangle)));
  if (!Result && InplaceEditor() && InplaceEditor()->Visible()) HideEditor();
  return Result;
}

bool TCustomDBGridKs::CanEditAcceptKey(char Key) {
  TColumnKs* Column = CurrentColumn();
  TField* Field = Column ? Column->GetField() : nullptr;
  bool EditorReadOnly = InplaceEditor() && InplaceEditor()->ReadOnly();
  if (!FDataLink->Active() || !Field) return EditorShowsList() && !EditorReadOnly;
  if (EditorShowsList()) {
    if (EditorReadOnly) return false;
    if (Column->KeyList()->Count() > 0) return true;
  }
  return Field->IsValidChar(Key);
}

bool TCustomDBGridKs::CanEditModify() {
  TColumnKs* Column = CurrentColumn();
  if ((Column && Column->GetColumnType() == 5) || FFilterRowEditing) return false;
  return CanEditModifyCell();
}

// Every test runs before the dataset goes into edit, so a refused cell
// leaves neither an edit nor a modified link behind.
bool TCustomDBGridKs::CanEditModifyCell() {
  if (EditorShowsList() && InplaceEditor() && InplaceEditor()->ReadOnly()) return false;
  if (FReadOnly || !FDataLink->Active() || FDataLink->ReadOnly()) return false;
  TColumnKs* Column = CurrentColumn();
  TField* Field = Column ? Column->GetField() : nullptr;
  if (!Column || Column->ReadOnly() || !Field || !FieldModifiable(Field)) return false;
  if (Field->IsBlob() && !Field->OnSetText && !IsMemoText(Field, FDrawMemoText)) return false;
  if (!Column->CanModify(false)) return false;
  FDataLink->Edit();
  if (!FDataLink->Editing()) return false;
  FDataLink->Modified();
  return true;
}

bool TCustomDBGridKs::FieldModifiable(TField* Field) {
  if (!Field->Lookup()) return Field->CanModify();
  if (Field->KeyFields().empty()) return false;
  std::vector<TField*> Keys = GetFieldsArray(Field->DataSet(), nullptr, Field->KeyFields());
  for (TField* Key : Keys)
    if (!Key->CanModify()) return false;
  return true;
}

int TCustomDBGridKs::GetEditLimit() {
  TColumnKs* Column = CurrentColumn();
  if (!Column || Column->KeyList()->Count() > 0) return 0;
  TField* Field = Column->GetField();
  return Field && Field->DataType() == ftString ? Field->Size() : 0;
}

AnsiString TCustomDBGridKs::GetEditMask(int ACol, int) {
  if (!FDataLink->Active()) return "";
  int DataCol = RawToDataColumn(ACol);
  if (DataCol < 0 || DataCol >= FColumns->Count()) return "";
  TColumnKs* Column = FColumns->Items(DataCol);
  TField* Field = Column->GetField();
  AnsiString Mask = Column->EditMask;
  if (Mask.empty() && Field && Column->KeyList()->Count() == 0) Mask = Field->EditMask();
  if (Mask.empty() && Field && (Field->DataType() == ftDate || Field->DataType() == ftDateTime))
    Mask = DateEditMask;
  return Mask;
}

// The text the editor starts with for the column's field in the current
// record: a key list shows the pick-list entry of the stored key.
static AnsiString FieldEditText(TColumnKs* Column, TField* Field, bool DrawMemoText) {
  if (Column->KeyList()->Count() > 0)
    return StringsItemOrEmpty(Column->PickList(), Column->KeyList()->IndexOf(Field->Text()));
  if (IsMemoText(Field, DrawMemoText)) return NormalizedLines(Field->AsString());
  return Field->Text();
}

AnsiString TCustomDBGridKs::GetEditText(int ACol, int) {
  FEditText.clear();
  FEditValue = Variant::Null();
  int DataCol = RawToDataColumn(ACol);
  if (!FDataLink->Active() || DataCol < 0 || DataCol >= FColumns->Count()) return FEditText;
  TColumnKs* Column = FColumns->Items(DataCol);
  TField* Field = Column->GetField();
  if (!Field) return FEditText;
  AnsiString Text = FieldEditText(Column, Field, FDrawMemoText);
  if (Field->Lookup() && !Field->KeyFields().empty()) {
    FEditValue = Field->DataSet()->FieldValues(Field->KeyFields());
    // The list's special row stands for its value.
    TPopupDataGridKs* List = Column->GetPopupDataGrid();
    TSpecRowKs* Spec = List->SpecRow();
    if (Spec->Visible() && VarEqualsKs(Spec->Value(), FEditValue)) {
      FEditValue = Spec->Value();
      Text = Spec->CellText(List->ListFieldIndex());
    }
  }
  TColCellParamsKs Params;
  Params.Text = Text;
  Params.Font = Canvas()->Font();
  Column->GetColCellParams(true, &Params);
  FEditText = Params.Text;
  return FEditText;
}

void TCustomDBGridKs::SetEditText(int, int, const AnsiString& Value) {
  FEditText = Value;
  if (FDataLink->Active() && FDataLink->Edit()) FDataLink->Modified();
}

// An unlisted text goes to the column's not-in-list handler, which may list
// it and have it looked up again; true when the second look-up finds it.
static bool ListedAfterAsking(TColumnKs* Column, const AnsiString& Text,
                              const std::function<bool()>& Find) {
  if (Find()) return true;
  bool Recheck = false;
  Column->OnNotInList(Column, Text, Recheck);
  return Recheck && Find();
}

void TCustomDBGridKs::SetEditCellValue() {
  TColumnKs* Column = CurrentColumn();
  TField* Field = SelectedField();
  if (!Column) return;
  if (!Field) return Column->UpdateData(FEditText, Variant(FEditText), true);
  TStrings* Picks = Column->PickList();
  if (Column->KeyList()->Count() > 0) {
    if (!FEditText.empty() && Column->OnNotInList)
      ListedAfterAsking(Column, FEditText, [&] { return Picks->IndexOf(FEditText) >= 0; });
    int Index = Picks->IndexOf(FEditText);
    FEditValue = Index >= 0 && Index < Column->KeyList()->Count()
                     ? Variant(Column->KeyList()->Strings(Index))
                     : Variant::Null();
    return Column->UpdateData(FEditText, FEditValue, false);
  }
  if (Field->Lookup() && !Field->KeyFields().empty()) {
    TDataSet* List = FEditValue.IsNull() && !FEditText.empty() && Column->OnNotInList
                         ? Column->GetLookupListDataSet()
                         : nullptr;
    if (List && ListedAfterAsking(Column, FEditText, [&] {
          return List->Locate(Field->LookupResultField(), Variant(FEditText), {});
        }))
      FEditValue = List->FieldValues(Field->LookupKeyFields());
    if (FieldModifiable(Field)) {
      Field->DataSet()->Edit();
      Column->UpdateData(FEditText, FEditValue, false);
    }
    return;
  }
  if (Picks->Count() > 0 && Column->OnNotInList)
    ListedAfterAsking(Column, FEditText, [&] { return Picks->IndexOf(FEditText) >= 0; });
  Column->UpdateData(FEditText, Variant(FEditText), true);
}

void TCustomDBGridKs::FieldValueChanged(TField* Field) {
  if (!HandleAllocated()) return;
  if (Field) {
    for (int I = 0; I < FColumns->Count(); ++I)
      if (FColumns->Items(I)->GetField() == Field) InvalidateCell(DataToRawColumn(I), Row());
  } else {
    Invalidate();
  }
  TField* Selected = SelectedField();
  if ((!Field || Field == Selected) && Selected &&
      FieldEditText(CurrentColumn(), Selected, FDrawMemoText) != FEditText)
    UpdateEditor();
}

void TCustomDBGridKs::UpdateEditor() {
  if (EditorMode() && InplaceEditor()) InplaceEditor()->UpdateContents();
  if (FFilterRowEditing) PlaceFilterEditor(false);
}

void TCustomDBGridKs::DoExit() {
  if (FDataLink->Active()) {
    TDataSet* Data = FDataLink->DataSet();
    if (FOptions.Contains(dgCancelOnExit) && Data->State() == dsInsert && !Data->Modified() &&
        !FDataLink->IsModified()) {
      Data->Cancel();
    } else {
      FDataLink->UpdateRecord();
    }
  }
  TCustomGrid::DoExit();
}

void TCustomDBGridKs::TimedScroll(int Direction) {
  if (FDataLink->Active()) {
    if (Direction & sdUp) {
      FDataLink->DataSet()->MoveBy(-(FDataLink->ActiveRecord() + 1));
      Direction &= ~sdUp;
    }
    if (Direction & sdDown) {
      FDataLink->DataSet()->MoveBy(FDataLink->RecordCount() - FDataLink->ActiveRecord());
      Direction &= ~sdDown;
    }
  }
  if (Direction) TCustomGrid::TimedScroll(Direction);
}

void TCustomDBGridKs::UpdateIme() {
  if (!SysLocaleFarEast()) return;
  TImeMode Mode = OwnImeMode();
  AnsiString Name = OwnImeName();
  if (!FImeSaved) {
    FImeSaved = true;
    FSavedImeMode = Mode;
    FSavedImeName = Name;
  }
  if (TColumnKs* Column = CurrentColumn()) {
    if (Column->ExplicitValues().Contains(cvImeMode)) Mode = Column->ImeMode();
    if (Column->ExplicitValues().Contains(cvImeName)) Name = Column->ImeName();
  }
  SetImeMode(Mode);
  SetImeName(Name);
  TInplaceEdit* Editor = InplaceEditor();
  if (Editor) {
    Editor->SetImeMode(Mode);
    Editor->SetImeName(Name);
  }
  HWND Focus = GetFocus();
  bool EditorFocused = Editor && Editor->HandleAllocated() && Focus == Editor->Handle();
  if (EditorFocused || (HandleAllocated() && Focus == Handle())) SetImeOfWindow(Focus, Mode, Name);
}
