#include "DBSGridKs.h"

#include <windowsx.h>

#include <cmath>
#include <memory>
#include <utility>

#include "DBGridKsInplaceEdit.h"
#include "PrnDbgks.h"
#include "PrntsKs.h"
#include "PrvFrmKs.h"
#include "forms/Printers.h"
#include "Extcalc.h"

#include "SDS.h"
#include "SDataPrompts.h"
#include "SDataSource.h"
#include "CommonInterface.h"
#include "forms/Forms.h"
#include "forms/Menus.h"
#include "uIterators.h"

namespace {

std::unique_ptr<TPrintDBGridKs> SharedPrint;

TPrintDBGridKs* SharedPrintMade() {
  if (!SharedPrint) SharedPrint = std::make_unique<TPrintDBGridKs>(nullptr);
  return SharedPrint.get();
}

uint16_t KeyOf(TAction* Action) { return Action ? Action->ShortCut : 0; }

bool Editing(TDataSet* DataSet) { return DataSet->State() == dsEdit || DataSet->State() == dsInsert; }

bool CalculatorServes(TField* Field) {
  return Field && (Field->DataType() == ftString || IsGroupNumericType(Field->DataType()));
}

bool IsWholeNumber(TField* Field) {
  const TFieldType type = Field->DataType();
  return type == ftSmallint || type == ftInteger || type == ftWord;
}

// The field a column writes: a lookup column's key field.
TField* WrittenField(TColumnKs* Column) {
  TField* field = Column->GetField();
  return field && field->Lookup() ? field->DataSet()->FindField(field->KeyFields()) : field;
}

char CalculatorOperator(uint16_t Key) {
  switch (Key) {
    case VK_ADD:
    case VK_SEPARATOR:
      return '+';
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
      return '-';
    case VK_DIVIDE:
    case VK_OEM_2:
      return '/';
    case VK_MULTIPLY:
    case '8':
      return '*';
    default:
      return 0;
  }
}

}  // namespace

TDBSGridKs::TDBSGridKs(TComponent* AOwner) : TDBGridKs(AOwner) { SetFlat(true); }

TSDataSource* TDBSGridKs::ServiceSource() const { return dynamic_cast<TSDataSource*>(DataSource()); }

bool TDBSGridKs::CanModifyThrough() {
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  return CanModifyDataSet(dataSet) && !ReadOnly() && Options().Contains(dgEditing);
}

bool TDBSGridKs::CanEditRecord() { return CanModifyThrough() && AllowedOperations().Contains(alopUpdateKs); }

bool TDBSGridKs::CanInsertRecord() {
  return CanModifyThrough() &&
         (AllowedOperations().Contains(alopAppendKs) || AllowedOperations().Contains(alopInsertKs));
}

bool TDBSGridKs::CanDeleteRecord() { return CanModifyThrough() && AllowedOperations().Contains(alopDeleteKs); }

bool TDBSGridKs::IsLastRecord() {
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  if (!dataSet || !dataSet->Active()) return true;
  // The events come back last, after the controls, also when either fails.
  struct TDetached {
    TDataSet* DataSet;
    TDataSource* Source;
    TDataSetNotifyEvent Before = std::exchange(DataSet->BeforeScroll, nullptr);
    TDataSetNotifyEvent After = std::exchange(DataSet->AfterScroll, nullptr);
    TDataChangeEvent Change = std::exchange(Source->OnDataChange, nullptr);
    ~TDetached() {
      DataSet->BeforeScroll = Before;
      DataSet->AfterScroll = After;
      Source->OnDataChange = Change;
    }
  } detached{dataSet, DataSource()};
  // Enabling the controls reads the records again and may raise: not from
  // a destructor, where it would end the program.
  dataSet->DisableControls();
  bool last = false;
  try {
    dataSet->Next();
    last = dataSet->Eof();
    if (!last) dataSet->Prior();
  } catch (...) {
    dataSet->EnableControls();
    throw;
  }
  dataSet->EnableControls();
  return last;
}

int TDBSGridKs::LastVisibleColumnIndex() {
  for (int i = Columns()->Count() - 1; i >= 0; --i)
    if (Columns()->Items(i)->Visible()) return i;
  return 0;
}

void TDBSGridKs::OpenCellEditor() {
  SetEditorMode(true);
  TInplaceEdit* editor = InplaceEditor();
  TField* field = SelectedField();
  if (!editor || !field) return;
  const TFieldType type = field->DataType();
  if (type == ftFloat || type == ftBCD) return;
  const bool toStart = type == ftDate || type == ftTime || type == ftDateTime;
  const LPARAM at = toStart ? 0 : GetWindowTextLengthA(editor->Handle());
  SendMessageA(editor->Handle(), EM_SETSEL, at, at);
  if (toStart) SendMessageA(editor->Handle(), EM_SCROLLCARET, 0, 0);
}

void TDBSGridKs::InsertAfterCurrent() {
  TDataSet* dataSet = DataSource()->DataSet();
  const bool last = IsLastRecord();
  uint16_t key = last ? VK_DOWN : VK_INSERT;
  if (!last) dataSet->Next();
  TDBGridKs::KeyDown(key, {});
  if (dataSet->State() == dsInsert) {
    SetSelectedField(Columns()->Count() ? Columns()->Items(0)->GetField() : nullptr);
    OpenCellEditor();
  } else if (!last) {
    dataSet->Prior();
  }
}

TColumnKs* TDBSGridKs::FindColumnByFieldName(const AnsiString& Name) {
  for (int i = 0; i < Columns()->Count(); ++i)
    if (SameText(Columns()->Items(i)->FieldName(), Name)) return Columns()->Items(i);
  return nullptr;
}

bool TDBSGridKs::ColumnHoldsDefault(int Index) {
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  if (!dataSet || dataSet->State() != dsInsert || Index < 0 || Index >= Columns()->Count()) return false;
  TField* field = WrittenField(Columns()->Items(Index));
  return field && !field->IsNull() && !field->DefaultExpression().empty() &&
         field->Text() == field->DefaultExpression();
}

bool TDBSGridKs::TakesCursor(int Index) {
  return TabStops(DataToRawColumn(Index)) && Columns()->Items(Index)->Visible() && !ColumnHoldsDefault(Index);
}

// Straight to the cell: no column events, so a column entry can move on.
void TDBSGridKs::SelectColumn(int Index) {
  if (!EditorAlwaysShown()) HideEditor();
  MoveColRow(DataToRawColumn(Index), Row(), true, true);
}

void TDBSGridKs::NextTabColumn() {
  for (int i = SelectedIndex() + 1; i < Columns()->Count(); ++i)
    if (TakesCursor(i)) return SelectColumn(i);
}

void TDBSGridKs::PriorTabColumn() {
  for (int i = SelectedIndex() - 1; i >= 0; --i)
    if (TakesCursor(i)) return SelectColumn(i);
}

void TDBSGridKs::ColExit() {
  TDBGridKs::ColExit();
  LastExitedColumn = SelectedIndex();
}

void TDBSGridKs::ColEnter() {
  TDBGridKs::ColEnter();
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  if (!dataSet || !Editing(dataSet)) return;
  const auto passed = [this](int Index) { return !TabStops(DataToRawColumn(Index)) || ColumnHoldsDefault(Index); };
  const int entered = SelectedIndex();
  if (!TabStops(DataToRawColumn(entered)) || (entered > LastExitedColumn && ColumnHoldsDefault(entered)))
    NextTabColumn();
  if (SelectedIndex() == LastVisibleColumnIndex() && passed(SelectedIndex())) {
    dataSet->Post();
    SetEditorMode(false);
  } else {
    OpenCellEditor();
  }
}

bool TDBSGridKs::CanEditAcceptKey(char Key) {
  bool result = TDBGridKs::CanEditAcceptKey(Key);
  if (OnCanEditTextCell && SelectedField())
    if (TColumnKs* column = FindColumnByFieldName(SelectedField()->FieldName()))
      OnCanEditTextCell(this, column, result);
  return result;
}

void TDBSGridKs::DoEnter() {
  TDBGridKs::DoEnter();
  if (Application->MainForm())
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 51, 1, reinterpret_cast<LPARAM>(this));
}

void TDBSGridKs::ShowFindDialog() {
  if (ShowFindDialogProc) ShowFindDialogProc(this);
}

TColumnKs* TDBSGridKs::SelectedColumn() {
  const int index = SelectedIndex();
  return index >= 0 && index < static_cast<int>(VisibleColumns().size()) ? VisibleColumns()[index] : nullptr;
}

bool TDBSGridKs::CanDuplicate() {
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  return dataSet && Editing(dataSet) && DataLink()->ActiveRecord() > 0 && SelectedColumn();
}

Variant TDBSGridKs::ValueAbove(TField* Field) {
  const int active = DataLink()->ActiveRecord();
  DataLink()->SetActiveRecord(active - 1);
  struct TBack {
    TGridDataLinkKs* Link;
    int Active;
    ~TBack() { Link->SetActiveRecord(Active); }
  } back{DataLink(), active};
  return Field->Value();
}

void TDBSGridKs::DuplicateFieldFromPrevious() {
  if (!CanDuplicate() || SelectedColumn()->ReadOnly()) return;
  TField* field = WrittenField(SelectedColumn());
  if (!field) return;
  field->SetValue(ValueAbove(field));
  const size_t next = SelectedIndex() + 1;
  if (next < VisibleColumns().size()) SetSelectedField(VisibleColumns()[next]->GetField());
}

void TDBSGridKs::DuplicateFieldsToRight() {
  if (!CanDuplicate()) return;
  std::vector<std::pair<TField*, Variant>> values;
  for (size_t i = SelectedIndex(); i < VisibleColumns().size(); ++i) {
    TColumnKs* column = VisibleColumns()[i];
    TField* field = WrittenField(column);
    if (field && !field->ReadOnly() && !column->ReadOnly()) values.emplace_back(field, ValueAbove(field));
  }
  for (const auto& [field, value] : values) field->SetValue(value);
}

bool TDBSGridKs::Marked() {
  TSDataSource* source = ServiceSource();
  return source && source->Marker() && source->Marker()->IsMarked();
}

void TDBSGridKs::GetCellParams(TColumnKs* Column, TFont* AFont, TColor& Background, TGridDrawState State) {
  if (!State.Contains(gdFocused) && Marked()) Background = ServiceMarkColor;
  TDBGridKs::GetCellParams(Column, AFont, Background, State);
}

bool TDBSGridKs::GetCellHighlight(int DataCol, int DataRow, const AnsiString& Text,
                                  TGridDrawState State, TColor& Background, TFont* AFont) {
  if (!TDBGridKs::GetCellHighlight(DataCol, DataRow, Text, State, Background, AFont)) return false;
  if (!State.Contains(gdFocused) && Marked()) {
    AFont->SetColor(clBlack);
    Background = ServiceMarkColor;
  }
  return true;
}

bool TDBSGridKs::CalculatorKey(uint16_t& Key) {
  if (Key == VK_F1) {
    ShowCalculator();
    return false;
  }
  TInplaceEdit* editor = InplaceEditor();
  const bool fromEditor = editor && editor->Focused() && DataSource()->DataSet()->State() != dsBrowse;
  if (const char op = CalculatorOperator(Key)) {
    TField* field = SelectedField();
    ApplyCalcOperator(fromEditor ? editor->Text() : field ? field->Text() : AnsiString(), op);
  } else if (Key == VK_RETURN) {
    fromEditor ? ApplyCalcResultToEditor() : ApplyCalcResult();
  } else {
    return false;
  }
  Key = 0;
  return true;
}

void TDBSGridKs::ApplyCalcOperator(const AnsiString& Operand, char Operator) {
  if (!CalculatorServes(SelectedField())) return DataPrompts().Beep();
  try {
    CalculatorApplyOperation(Operand, Operator);
  } catch (const Exception&) {
    DataPrompts().Beep();
  }
}

void TDBSGridKs::ApplyCalcResult() {
  TField* field = SelectedField();
  TDataSet* dataSet = DataSource()->DataSet();
  const TDataSetState state = dataSet->State();
  if (!CalculatorServes(field) || (state != dsBrowse && !Editing(dataSet))) return;
  const long double result = CalculatorResult();
  if (state != dsBrowse) return SetFieldFromCalc(field, result);
  if (CalculatorAskConfirmation()) {
    AnsiString title = field->DisplayName();
    for (int i = 0; i < Columns()->Count(); ++i)
      if (Columns()->Items(i)->GetField() == field) title = Columns()->Items(i)->Title()->Caption();
    if (!DataPrompts().AskYesNo(Format("Заменить значение поля \"%s\" на значение %f из калькулятора",
                                       {title, static_cast<double>(result)})))
      return;
  }
  dataSet->Edit();
  SetFieldFromCalc(field, result);
  dataSet->Post();
}

// A field the calculator does not serve keeps the editor as it was: an
// emptied editor would clear the field at the post.
void TDBSGridKs::ApplyCalcResultToEditor() {
  TField* field = SelectedField();
  if (!CalculatorServes(field)) return DataPrompts().Beep();
  const long double result = CalculatorResult();
  SetFieldFromCalc(field, result);
  const AnsiString text =
      IsWholeNumber(field) ? IntToStr(std::llround(result)) : FloatToStr(static_cast<double>(result));
  InplaceEditor()->SetText(text);
  InplaceEditor()->SetModified(true);
  DataLink()->Modified();
}

void TDBSGridKs::SetFieldFromCalc(TField* Field, long double Result) {
  if (Field->DataType() == ftString)
    Field->SetAsString(FloatToStr(static_cast<double>(Result)));
  else if (IsWholeNumber(Field))
    // Rounded in 64 bits: the field's range check sees the real value.
    Field->SetAsFloat(static_cast<double>(std::llround(Result)));
  else
    Field->SetAsFloat(static_cast<double>(Result));
}

bool TDBSGridKs::UpdateAction(TBasicAction* Action) {
  const bool active = DataLink()->Active(), editing = DataLink()->Editing();
  const bool browsing = active && !editing;
  const auto on = [this](TServiceOption Option) { return ServiceOptions.Contains(Option); };
  if (auto* paste = dynamic_cast<TREditPaste*>(Action)) {
    paste->Enabled = active && editing && CanEditRecord();
    return true;
  }
  if (auto* print = dynamic_cast<TStdPrintAction*>(Action)) {
    print->Enabled = browsing && on(srvPrint);
    return true;
  }
  auto* service = dynamic_cast<TServiceAction*>(Action);
  if (!service) return TDBGridKs::UpdateAction(Action);
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  bool& enabled = service->Enabled;
  switch (service->Kind()) {
    case sakMark:
    case sakMarkAll:
    case sakMarkGroup:
      enabled = browsing && on(srvMarkRecord);
      break;
    case sakFind:
      enabled = browsing;
      break;
    case sakIterator:
      // Only an iterator action has this kind.
      switch (static_cast<TIteratorAction*>(service)->Operation) {
        case grSum:
          enabled = browsing && on(srvSum);
          break;
        case grCount:
          enabled = browsing && on(srvCount);
          break;
        case grDelete:
          enabled = !editing && on(srvGroupDelete) && CanDeleteRecord();
          break;
        default:
          enabled = !editing && on(srvGroupReplace) && CanEditRecord();
      }
      break;
    case sakFilter:
    case sakFilterCancel:
      enabled = browsing && on(srvFilter);
      break;
    case sakSort:
    case sakSortCancel:
      enabled = browsing && on(srvSort);
      break;
    case sakRecordEdit:
      enabled = browsing && CanEditRecord();
      break;
    case sakRecordPost:
      enabled = active && editing;
      break;
    case sakRecordInsert:
      enabled = browsing && CanInsertRecord();
      break;
    case sakRecordDelete:
      enabled = active && CanDeleteRecord();
      break;
    case sakDoubleField:
    case sakDoubleRecord:
      enabled = active && editing && CanEditRecord();
      break;
    case sakAttributes:
      enabled = active && !dataSet->IsEmpty();
      break;
    case sakLevels: {
      auto* sds = dynamic_cast<TSDS*>(dataSet);
      enabled = active && sds && sds->Options().Contains(dsoLevels);
      break;
    }
    case sakCopy:
      enabled = active;
      break;
    case sakCallRef:
      enabled = active && InplaceEditorHasDropDownList();
      break;
  }
  return true;
}

bool TDBSGridKs::ExecuteAction(TBasicAction* Action) {
  const bool browsing =
      DataLink()->Active() && !DataLink()->Editing() && HandleAllocated() && GetFocus() == Handle();
  if (browsing && Action == RecordEdit && CanEditRecord()) {
    EditCurrentRecord();
    return true;
  }
  if (browsing && Action == TougleLevels && ServiceOptions.Contains(srvHandleLevels) &&
      !ServiceOptions.Contains(srvDontToggleLevels)) {
    ToggleLevels();
    return true;
  }
  return TDBGridKs::ExecuteAction(Action);
}

void TDBSGridKs::EditCurrentRecord() {
  DataSource()->DataSet()->Edit();
  OpenCellEditor();
}

void TDBSGridKs::RunGroup(uint8_t Operation) { RunGroupOperation(DataSource(), SelectedField(), Operation); }

void TDBSGridKs::ToggleLevels() {
  TField* selected = SelectedField();
  ToggleLevelView(DataSource()->DataSet());
  SetSelectedField(selected);
}

void TDBSGridKs::KeyDown(uint16_t& Key, TShiftState Shift) {
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  if (!dataSet) return TDBGridKs::KeyDown(Key, Shift);
  const bool onlyCtrl = Shift == TShiftState{ssCtrl};
  if (ServiceOptions.Contains(srvFrozenOnEdit) && dataSet->State() == dsBrowse &&
      ((Key == VK_DOWN && !onlyCtrl) || (Key == VK_TAB && SelectedIndex() == Columns()->Count() - 1)) &&
      IsLastRecord()) {
    Key = 0;
    return;
  }
  // A swallowed key is spent: the cell editor must not move its caret by it.
  if (Key == VK_LEFT && !Shift.Contains(ssCtrl) && Editing(dataSet)) {
    PriorTabColumn();
    Key = 0;
    return;
  }
  if (ServiceOptions.Contains(srvFrozenOnEdit) && Editing(dataSet) &&
      (Key == VK_PRIOR || Key == VK_NEXT || Key == VK_UP || Key == VK_DOWN || Key == VK_INSERT)) {
    Key = 0;
    return;
  }
  // The reference key opens the cell's list, or at least its editor.
  if (Key == KeyOf(CallRef) && Key && ServiceOptions.Contains(srvCallRef)) {
    if (!InplaceEditor() || !InplaceEditor()->Visible()) ShowEditor();
    if (InplaceEditor() && InplaceEditor()->Visible()) {
      if (InplaceEditorHasDropDownList()) {
        static_cast<TDBGridInplaceEdit*>(InplaceEditor())->DropDown();
        Key = 0;
      }
      return;
    }
  }
  uint16_t shortCut = Key;
  if (Shift.Contains(ssShift)) shortCut |= 0x2000;
  if (Shift.Contains(ssCtrl)) shortCut |= 0x4000;
  if (Shift.Contains(ssAlt)) shortCut |= 0x8000;
  bool handled = Shift.Contains(ssAlt) && ServiceOptions.Contains(srvCalc) && CalculatorKey(Key);
  if (!handled) {
    if (shortCut == KeyOf(RecordAttributes) && ServiceSource())
      ServiceSource()->ShowRecordAttributes();
    else
      handled = Editing(dataSet) ? EditingKey(Key, Shift, shortCut) : BrowseKey(Key, Shift, shortCut);
  }
  if (handled) {
    DropPendingChar(WM_SYSCHAR);
    DropPendingChar(WM_CHAR);
  }
  TDBGridKs::KeyDown(Key, Shift);
}

bool TDBSGridKs::EditingKey(uint16_t& Key, TShiftState Shift, uint16_t ShortCut) {
  TDataSet* dataSet = DataSource()->DataSet();
  if (ShortCut == KeyOf(RecordDoubleField) && ServiceOptions.Contains(srvDoubleField)) {
    DuplicateFieldFromPrevious();
    Key = 0;
    return true;
  }
  if (ShortCut == KeyOf(RecordDoubleRecord) && ServiceOptions.Contains(srvDoubleRecord)) {
    DuplicateFieldsToRight();
    Key = 0;
    return true;
  }
  if (ShortCut == KeyOf(RecordPost)) {
    dataSet->Post();
    return true;
  }
  if (Key == VK_RETURN && Shift.Empty() && SelectedIndex() == LastVisibleColumnIndex()) {
    dataSet->Post();
    SetEditorMode(false);
    Key = 0;
    return true;
  }
  if (Key == VK_ESCAPE && Shift.Empty() &&
      (dataSet->Modified() || (InplaceEditor() && !InplaceEditor()->Visible()))) {
    if (!DataPrompts().AskYesNo("Отменить корректировку записи ?")) Key = 0;
    return Key == 0;
  }
  return false;
}

// The first matching row swallows the key, also when its effect does not
// apply.
bool TDBSGridKs::BrowseKey(uint16_t& Key, TShiftState Shift, uint16_t ShortCut) {
  TSDataSource* source = ServiceSource();
  const auto take = [&](auto&& Effect) {
    Effect();
    Key = 0;
    return true;
  };
  const bool groupEdit = ServiceOptions.Contains(srvGroupReplace) && CanEditRecord();
  // Shift+Ins and Ctrl+Ins are the clipboard's keys.
  if (Key == VK_INSERT && !Shift.Contains(ssShift) && !Shift.Contains(ssCtrl)) {
    if (!CanInsertRecord()) return false;
    return take([&] { InsertAfterCurrent(); });
  }
  if (ShortCut == KeyOf(RecordEdit) && CanEditRecord()) return take([&] { EditCurrentRecord(); });
  if (ShortCut == KeyOf(RecordMark) && ServiceOptions.Contains(srvMarkRecord))
    return take([&] {
      if (source) source->Marker()->ToggleMark();
    });
  if (ShortCut == KeyOf(RecordMarkGroup) && ServiceOptions.Contains(srvMarkRecord))
    return take([&] {
      if (source) source->Marker()->MarkGroup();
    });
  if (ShortCut == KeyOf(Sum) && ServiceOptions.Contains(srvSum)) return take([&] { RunGroup(grSum); });
  if (ShortCut == KeyOf(RecordCount) && ServiceOptions.Contains(srvCount)) return take([&] { RunGroup(grCount); });
  if (ShortCut == KeyOf(Filter) && ServiceOptions.Contains(srvFilter))
    return take([&] {
      if (source) source->ShowFilterDialog(SelectedField());
    });
  if (ShortCut == KeyOf(Sort) && ServiceOptions.Contains(srvSort))
    return take([&] {
      if (source && SelectedField()) source->SortByField(SelectedField()->FieldName());
    });
  if (ShortCut == KeyOf(SortCancel) && ServiceOptions.Contains(srvSort))
    return take([&] {
      if (source) source->CancelSort();
    });
  if (ShortCut == KeyOf(FilterCancel) && ServiceOptions.Contains(srvFilter))
    return take([&] {
      if (source) source->CancelFilter();
    });
  if (ShortCut == KeyOf(StdPrint) && ServiceOptions.Contains(srvPrint)) return take([&] { PrintGrid(); });
  if (ShortCut == KeyOf(TougleLevels) && ServiceOptions.Contains(srvHandleLevels) &&
      !ServiceOptions.Contains(srvDontToggleLevels))
    return take([&] { ToggleLevels(); });
  if (Key == VK_RETURN && !Shift.Contains(ssCtrl)) {
    if (ServiceOptions.Contains(srvHandleLevels) && source && source->HasLevels())
      return take([&] { source->LevelDown(); });
    if (ServiceOptions.Contains(srvDontAutoInsertAfterEnter) && SelectedIndex() == LastVisibleColumnIndex())
      return take([] {});
    return false;
  }
  if (Key == VK_ESCAPE && ServiceOptions.Contains(srvHandleLevels)) {
    if (source && source->HasLevels()) return take([&] { source->LevelUp(); });
    return false;
  }
  if (ShortCut == KeyOf(GroupDelete) && ServiceOptions.Contains(srvGroupDelete) && CanDeleteRecord())
    return take([&] { RunGroup(grDelete); });
  if (ShortCut == KeyOf(GroupReplace) && groupEdit) return take([&] { RunGroup(grReplace); });
  if (ShortCut == KeyOf(GroupFill) && groupEdit) return take([&] { RunGroup(grFill); });
  if (ShortCut == KeyOf(GroupAdd) && groupEdit) return take([&] { RunGroup(grAdd); });
  if (ShortCut == KeyOf(GroupMul) && groupEdit) return take([&] { RunGroup(grMultiply); });
  return false;
}

void TDBSGridKs::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  if (!dataSet) return TDBGridKs::MouseDown(Button, Shift, X, Y);
  const TGridCoord cell = MouseCoord(X, Y);
  if (cell.X == 0 && cell.Y == 0 && IndicatorOffset() > 0) return OptimizeColsWidth(VisibleColumns());
  if (Editing(dataSet)) {
    if (cell.Y != Row() && ServiceOptions.Contains(srvFrozenOnEdit)) return;
    if (cell.X == 0 && IndicatorOffset() > 0) return dataSet->Post();
    return TDBGridKs::MouseDown(Button, Shift, X, Y);
  }
  TSDataSource* source = ServiceSource();
  // A level row climbs back to that level, onto the record it was entered
  // from. The rows above the data shrink at once, so the point now lies on
  // a data row: the core must not take the click for one.
  if (const int level = LevelOfRow(cell.Y); level > 0 && source && ServiceOptions.Contains(srvHandleLevels) &&
      dataSet->State() == dsBrowse && Button == mbLeft && GridState() != gsRowSizing &&
      GridState() != gsColSizing && GridState() != gsRowMoving) {
    for (int up = LevelRowCount() - level + 1; up > 0; --up)
      if (!source->LevelUp()) break;
    if (CanFocus()) SetFocus();
    return;
  }
  // A click on the indicator edits the record, or makes one in an empty
  // dataset that may take one.
  if (cell.X == 0 && cell.Y > 0 && IndicatorOffset() > 0 && dataSet->State() == dsBrowse && CanEditRecord()) {
    TDBGridKs::MouseDown(Button, Shift, X, Y);
    if (dataSet->Bof() && dataSet->Eof() && !AllowedOperations().Contains(alopAppendKs) &&
        !AllowedOperations().Contains(alopInsertKs))
      return;
    return dataSet->Edit();
  }
  TDBGridKs::MouseDown(Button, Shift, X, Y);
  if (dataSet->State() != dsBrowse || cell.X <= 0 || cell.Y <= 0 || Button != mbLeft ||
      !Shift.Contains(ssDouble) || !source)
    return;
  if (source->HasLevels() && !Shift.Contains(ssCtrl)) {
    if (source->LevelDown()) return;
    if (ServiceOptions.Contains(srvHandleLevels) && ServiceOptions.Contains(srvMarkRecord))
      source->Marker()->ToggleMark();
  } else if (ServiceOptions.Contains(srvMarkRecord)) {
    source->Marker()->ToggleMark();
  }
}

void TDBSGridKs::Loaded() {
  TDBGridKs::Loaded();
  if (Designing()) return;
  if (ShowState) AddStateColumn();
  if (!PopupMenu()) AssignOwnPopupMenu();
}

void TDBSGridKs::AssignOwnPopupMenu() {
  if (!FOwnPopupMenu) FOwnPopupMenu = new TPopupMenu(Owner());
  TDBGridKs::SetPopupMenu(FOwnPopupMenu);
}

void TDBSGridKs::SetPopupMenu(TPopupMenu* Value) {
  if (!Value && !ServiceOptions.Contains(srvDontCreatePopupMenu)) return AssignOwnPopupMenu();
  TDBGridKs::SetPopupMenu(Value);
}

void TDBSGridKs::AddStateColumn() {
  for (int i = 0; i < Columns()->Count(); ++i)
    if (SameText(Columns()->Items(i)->FieldName(), "SYS$STATE")) return;
  Columns()->BeginUpdate();
  TColumnKs* column = Columns()->Add();
  column->SetFieldName("SYS$STATE");
  column->SetReadOnly(true);
  column->Title()->SetCaption("");
  column->SetWidth(10);
  column->SetToolTips(false);
  column->SetIndex(0);
  Columns()->EndUpdate();
  SetFrozenCols(FrozenCols() + 1);
}

void TDBSGridKs::WndProc(TMessage& Message) {
  TDBGridKs::WndProc(Message);
  if (Message.Msg == WM_RBUTTONDOWN) WMRButtonDown(Message);
}

// After the grid core's handling: the menu that pops up next builds its
// service entries first.
void TDBSGridKs::WMRButtonDown(TMessage& Message) {
  if (ServiceOptions.Contains(srvDontCreatePopupMenu)) return;
  const int column = MouseCoord(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)).X - IndicatorOffset();
  ClickedColumn = column >= 0 && column < Columns()->Count() ? Columns()->Items(column) : nullptr;
  if (!PopupMenu()) AssignOwnPopupMenu();
  TPopupMenu* menu = ClickedColumn && ClickedColumn->PopupMenu() ? ClickedColumn->PopupMenu() : PopupMenu();
  FSavedOnPopup = menu->OnPopup;
  menu->OnPopup = [this](TObject* Sender) { ServicePopup(Sender); };
}

void TDBSGridKs::ServicePopup(TObject* Sender) {
  auto* menu = static_cast<TPopupMenu*>(Sender);
  RemoveServiceItems(menu->Items());
  BuildServicePopupMenu(menu);
  if (FSavedOnPopup) FSavedOnPopup(Sender);
  menu->OnPopup = std::exchange(FSavedOnPopup, nullptr);
}

void TDBSGridKs::RemoveServiceItems(TMenuItem* Item) {
  for (int i = Item->Count() - 1; i >= 0; --i)
    if (TMenuItem* child = Item->Items(i); child->Tag == ServiceMenuTag) {
      Item->Remove(child);
      delete child;
    }
}

TMenuItem* TDBSGridKs::AddMenuCaption(const AnsiString& Caption, TMenuItem* Parent) {
  auto* item = new TMenuItem(Owner());
  item->SetCaption(Caption);
  item->Tag = ServiceMenuTag;
  Parent->Add(item);
  return item;
}

TMenuItem* TDBSGridKs::AddActionItem(TAction* Action, TMenuItem* Parent) {
  TMenuItem* item = AddMenuCaption("", Parent);
  item->SetAction(Action);
  UpdateAction(Action);
  return item;
}

void TDBSGridKs::BuildServicePopupMenu(TPopupMenu* Menu) {
  TMenuItem* root = Menu->Items();
  if (!Menu->Images) Menu->Images = ServiceImages();
  const auto separator = [&] { AddMenuCaption("-", root); };
  if (root->Count()) separator();
  root->Tag = ServiceMenuTag;
  const auto on = [this](TServiceOption Option) { return ServiceOptions.Contains(Option); };
  AddActionItem(REditCopy, root);
  if (DataLink()->Editing()) {
    separator();
    for (TAction* action : {RecordPost, RecordDelete, RecordDoubleField, RecordDoubleRecord, RecordAttributes})
      AddActionItem(action, root);
    return;
  }
  TDataSet* dataSet = DataSource() ? DataSource()->DataSet() : nullptr;
  if (CanInsertRecord()) AddActionItem(RecordInsert, root);
  if (CanEditRecord()) AddActionItem(RecordEdit, root);
  if (CanDeleteRecord()) AddActionItem(RecordDelete, root);
  if (dataSet && dataSet->FindField("SYS$ID") && dataSet->FindField("SYS$STATE")) AddActionItem(RecordAttributes, root);
  if (on(srvMarkRecord)) {
    separator();
    for (TAction* action : {RecordMark, RecordMarkGroup, RecordMarkAll}) AddActionItem(action, root);
  }
  separator();
  AddActionItem(Find, root);
  if (on(srvSum)) AddActionItem(Sum, root);
  if (on(srvCount)) AddActionItem(RecordCount, root);
  if (on(srvSort)) {
    AddActionItem(Sort, root);
    AddActionItem(SortCancel, root);
  }
  if (on(srvFilter)) {
    AddActionItem(Filter, root);
    AddActionItem(FilterCancel, root);
  }
  separator();
  const bool groupDelete = on(srvGroupDelete) && CanDeleteRecord();
  const bool groupEdit = on(srvGroupReplace) && CanEditRecord();
  if (groupDelete || groupEdit) {
    TMenuItem* group = AddMenuCaption("Групповые корректировки", root);
    if (groupDelete) AddActionItem(GroupDelete, group);
    if (groupEdit)
      for (TAction* action : {GroupReplace, GroupFill, GroupAdd, GroupMul}) AddActionItem(action, group);
  }
  separator();
  if (on(srvPrint)) {
    AddActionItem(StdPrint, root);
    AddActionItem(StdExcel, root);
  }
  separator();
  auto* sds = dynamic_cast<TSDS*>(dataSet);
  if (!on(srvDontToggleLevels) && sds && sds->Options().Contains(dsoLevels)) AddActionItem(TougleLevels, root);
  if (!on(srvDontCustomize)) AddActionItem(GridCustomize, root);
}

TPrintDBGridKs* SharedGridPrint() { return SharedPrint.get(); }

namespace {
std::unique_ptr<TParentCloneGrid> CloneParent;
}

TParentCloneGrid::TParentCloneGrid() {
  static const ATOM Class = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TParentCloneGrid";
    return RegisterClassA(&wc);
  }();
  FHandle = CreateWindowExA(WS_EX_TOOLWINDOW, MAKEINTATOM(Class), "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
}

TParentCloneGrid::~TParentCloneGrid() { DestroyWindow(FHandle); }

TParentCloneGrid* ParentCloneGrid() { return CloneParent.get(); }

void InitServiceGridUnit() {
  DBGridKsUnit.FindDialogShortCut = 16498;
  if (!CloneParent) CloneParent = std::make_unique<TParentCloneGrid>();
}

void DoneServiceGridUnit() {
  SharedPrint.reset();
  CloneParent.reset();
}

bool TDBSGridKs::GridWiderThanPage() {
  TVirtualPrinter* printer = DefaultVirtualPrinter();
  const bool installed = Printer()->Printers()->Count() > 0;
  const int screen = ScreenPixelsPerInch();
  const int paper = installed ? printer->GetPixelsPerInchX() : 600;
  const double scale = static_cast<double>(std::max(screen, paper)) / std::min(screen, paper);
  const int fullWidth = installed ? printer->GetFullPageWidth() : 0;
  const int printable = installed ? printer->GetPageWidth() : 0;
  const int offset = (fullWidth - printable) / 2;
  TPrintDBGridKs* print = SharedPrintMade();
  const double unit = print->Units() == Inches ? 1.0 : 2.54;
  const auto pixels = [&](Currency Margin) {
    return static_cast<int>(std::lround(paper * (Margin.Scaled / 10000.0) / unit));
  };
  TPageParams* page = print->Page();
  const int available = (offset + printable - pixels(page->RightMargin())) - (pixels(page->LeftMargin()) - offset) - 3;
  long required = 0;
  for (int i = 0; i < Columns()->Count(); ++i)
    if (Columns()->Items(i)->Visible()) required += std::lround((Columns()->Items(i)->Width() + 1) * scale);
  return required > available;
}

void TDBSGridKs::PrintGrid() {
  // A recording preview is a job too: a second one would free its pages.
  if (Printer()->Printing() || PrinterPreview()->GetPrinting()) return;
  bool preview = true;
  TPrintDBGridKs* print = SharedPrintMade();
  print->SetDBGridKs(nullptr);
  print->SetDBGridKs(this);
  print->SetSubstitutes({"%[Today]", DateToStr(Date())});
  if (GetPrintParams) {
    const auto ask = [this](int ParamNo) {
      Variant value;
      GetPrintParams(this, ParamNo, value);
      return value;
    };
    if (const Variant answer = ask(0); !answer.IsEmpty()) preview = answer.AsBoolean();
    ask(1);
    const AnsiString header = VarToStr(ask(10));
    const AnsiString title = VarToStr(ask(100));
    print->PageHeader()->LeftText()->SetText("&[ShortDate] " + header);
    print->PageHeader()->RightText()->SetText("Стр. &[Page]");
    print->Title()->SetText(title);
    print->PageHeader()->CenterText()->Clear();
    print->PageFooter()->LeftText()->Clear();
    print->PageFooter()->CenterText()->Clear();
    print->PageFooter()->RightText()->Clear();
    print->AfterGridText()->Clear();
    print->BeforeGridText()->Clear();
    if (const AnsiString before = VarToStr(ask(120)); !before.empty()) print->BeforeGridText()->SetText(before);
    if (const AnsiString after = VarToStr(ask(130)); !after.empty()) print->AfterGridText()->SetText(after);
    print->SetOptions({pghFitGridToPageWidth, pghColored});
    print->SetPrintFontName("");
    Variant condensed;
    try {
      condensed = ask(7);
    } catch (...) {
    }
    if (!condensed.IsEmpty() && condensed.AsBoolean()) {
      print->SetPrintFontName("MonoCondensed");
      print->SetOptions(print->Options() - TPrintDBGridKsOptions{pghColored} +
                        TPrintDBGridKsOptions{pghDontAskGetCellParams});
    }
  }
  const TPrinterOrientation orientation = GridWiderThanPage() ? poLandscape : poPortrait;
  // Without a printer installed every printer refuses the setting; the
  // preview then keeps its own sheet.
  if (Printer()->Printers()->Count() > 0) {
    PrinterPreview()->SetOrientation(orientation);
    Printer()->SetOrientation(orientation);
    DefaultVirtualPrinter()->SetOrientation(orientation);
  }
  if (preview)
    print->Preview();
  else
    print->Print();
}
