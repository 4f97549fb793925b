#include "COMPONENTS/kslib/DBGridKsFindDlgs.h"

#include "forms/Dialogs.h"

namespace {

TDBGridKsFindDlg* TheDialog = nullptr;

const char* const AllColumnsItem = "<All>";
const char* const NotFoundMessage = "Строка \"%s\" не найдена.";

template <class TControlClass>
TControlClass* Place(TDBGridKsFindDlg* Form, int Left, int Top, int Width, int Height) {
  auto* Control = new TControlClass(Form);
  Control->SetParent(Form);
  Control->SetBounds(Left, Top, Width, Height);
  return Control;
}

TLabel* PlaceLabel(TDBGridKsFindDlg* Form, const char* Caption, int Left, int Top,
                   TWinControl* For) {
  auto* Label = Place<TLabel>(Form, Left, Top, 80, 13);
  Label->SetText(Caption);
  Label->SetFocusControl(For);
  return Label;
}

// Items and key items alike, so the value is the text.
TDBComboBoxKs* PlaceList(TDBGridKsFindDlg* Form, int Left, int Top, int Width,
                         std::initializer_list<const char*> Items, int TabOrder) {
  auto* Combo = Place<TDBComboBoxKs>(Form, Left, Top, Width, 21);
  for (const char* Item : Items) {
    Combo->Items()->Add(Item);
    Combo->KeyItems()->Add(Item);
  }
  Combo->DropDownBox()->SetRows(17);
  Combo->DropDownBox()->SetSizable(true);
  Combo->SetTabOrder(TabOrder);
  return Combo;
}

}  // namespace

TDBGridKsFindDlg::TDBGridKsFindDlg(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetText("Поиск");
  SetClientSize(505, 124);
  // Form order: each label before the control it names.
  cbText = PlaceList(this, 96, 8, 289, {}, 0);
  Label1 = PlaceLabel(this, "&Образец:", 8, 12, cbText);
  cbFindIn = PlaceList(this, 96, 36, 289, {}, 1);
  Label2 = PlaceLabel(this, "&Поиск в:", 8, 40, cbFindIn);
  cbMatchinType =
      PlaceList(this, 96, 64, 160, {"С любой части поля", "Поля целиком", "С начала поля"}, 2);
  cbMatchType = PlaceLabel(this, "&Совпадение:", 8, 68, cbMatchinType);
  cbFindDirection = PlaceList(this, 330, 64, 55, {"Вверх", "Вниз", "Все"}, 3);
  Label3 = PlaceLabel(this, "Прос&мотр:", 266, 68, cbFindDirection);
  cbCharCase = Place<TDBCheckBoxKs>(this, 96, 96, 160, 17);
  cbCharCase->SetText("С учетом ре&гистра");
  cbCharCase->SetTabOrder(4);
  // Kept for the form's sake; the search always compares display texts.
  cbUseFormat = Place<TDBCheckBoxKs>(this, 266, 96, 120, 17);
  cbUseFormat->SetText("С у&четом формата");
  cbUseFormat->SetChecked(true);
  cbUseFormat->SetVisible(false);
  bFind = Place<TButton>(this, 400, 8, 97, 25);
  bFind->SetText("На&йти далее");
  bFind->SetTabOrder(6);
  bCancel = Place<TButton>(this, 400, 40, 97, 25);
  bCancel->SetText("Закрыть");
  bCancel->SetCancel(true);
  bCancel->SetModalResult(mrCancel);
  bCancel->SetTabOrder(7);

  cbMatchinType->SetItemValue(0);
  cbFindDirection->SetItemValue(2);
  bFind->OnClick = [this](TObject*) { bFindClick(); };
  bCancel->OnClick = [this](TObject*) { bCancelClick(); };
  cbFindIn->OnChange = [this](TObject*) { cbFindInChange(); };
  cbText->OnChange = [this](TObject*) { cbTextChange(); };
  cbFindDirection->OnChange = [this](TObject*) { cbTextChange(); };
  OnKeyDown = [this](TObject*, uint16_t& Key, TShiftState Shift) { FormKeyDown(Key, Shift); };
  FSearch.CellText = [this](int Column) { return FSearchColumns.at(Column)->GetDisplayText(); };
  DoCreate();
}

void TDBGridKsFindDlg::CreateParams(TCreateParams& Params) {
  TForm::CreateParams(Params);
  // The dialog lives as long as the program: owned by the form that was
  // active, its window would go with that form.
  TCustomForm* Main = Application->MainForm();
  Params.WndParent = Main && Main != this && Main->HandleAllocated() ? Main->Handle() : nullptr;
}

void TDBGridKsFindDlg::FillFindIn(const TFindColumnChoicesKs* ColumnChoices) {
  FFillingFindIn = true;
  TStrings* Items = cbFindIn->Items();
  Items->Clear();
  if (ColumnChoices) {
    for (const auto& [Caption, Column] : *ColumnChoices) Items->AddObject(Caption, Column);
  } else {
    for (TColumnKs* Column : FGrid->VisibleColumns())
      Items->AddObject(Column->Title()->Caption(), Column);
  }
  Items->Add(AllColumnsItem);
  cbFindIn->KeyItems()->Assign(Items);
  cbFindIn->Clear();
  int Current = FGrid->SelectedIndex();
  if (Current >= 0 && Current < FGrid->Columns()->Count()) {
    int Index = Items->IndexOf(FGrid->Columns()->Items(Current)->Title()->Caption());
    if (Index >= 0) cbFindIn->SetItemValue(Index);
  }
  FFillingFindIn = false;
}

void TDBGridKsFindDlg::Execute(TCustomDBGridKs* Grid, const AnsiString& Text, bool Modal,
                               const TFindColumnChoicesKs* ColumnChoices) {
  cbText->SetText(Text);
  FGrid = Grid;
  FillFindIn(ColumnChoices);
  if (Visible()) Close();
  SetActiveControl(cbText);
  cbFindInChange();
  if (Modal) {
    ShowModal();
    return;
  }
  Show();
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetFocus();
}

void TDBGridKsFindDlg::cbFindInChange() {
  if (FFillingFindIn) return;
  FSearchColumns.clear();
  TStrings* Items = cbFindIn->Items();
  int Index = cbFindIn->ItemIndex();
  if (Index < 0 && Items->Count() > 0) {
    FFillingFindIn = true;
    Index = Items->Count() - 1;
    cbFindIn->SetItemValue(Index);
    FFillingFindIn = false;
  }
  if (auto* Column = Index >= 0 ? dynamic_cast<TColumnKs*>(Items->Objects(Index)) : nullptr) {
    FSearchColumns.push_back(Column);
  } else {
    for (int I = 0; I < Items->Count(); ++I)
      if (auto* Other = dynamic_cast<TColumnKs*>(Items->Objects(I))) FSearchColumns.push_back(Other);
  }
  cbTextChange();
}

void TDBGridKsFindDlg::cbTextChange() {
  int Direction = cbFindDirection->ItemIndex();
  FSearch.Direction = Direction == 0 ? fdUp : Direction == 1 ? fdDown : fdAll;
  FSearch.ColumnCount = static_cast<int>(FSearchColumns.size());
  FSearch.Restart();
}

void TDBGridKsFindDlg::bFindClick() {
  bool Reversed = GetKeyState(VK_CONTROL) < 0;
  AnsiString Text = cbText->Text();
  // A list of earlier texts: the text stays free to type.
  if (cbText->Items()->IndexOf(Text) < 0) cbText->Items()->Add(Text);
  TDataSource* Source = FGrid ? FGrid->DataSource() : nullptr;
  TDataSet* DataSet = Source ? Source->DataSet() : nullptr;
  if (!DataSet || !DataSet->Active() || FSearchColumns.empty()) return;
  FSearch.Text = Text;
  FSearch.Match = static_cast<TFindMatchKs>(std::max(cbMatchinType->ItemIndex(), 0));
  FSearch.CaseSensitive = cbCharCase->Checked();
  FGrid->SavePosition();
  bool Found;
  try {
    Found = FSearch.Find(DataSet, Reversed);
  } catch (...) {
    FGrid->RestorePosition();
    throw;
  }
  if (!Found) {
    FGrid->RestorePosition();
    ShowMessage(Format(NotFoundMessage, {Text}));
    return;
  }
  // Both matching modes land on the matched cell, not just its record.
  TColumnKs* Column = FSearchColumns[FSearch.ColumnIndex()];
  FGrid->SetCol(FGrid->DataToRawColumn(Column->Index()));
}

void TDBGridKsFindDlg::FormKeyDown(uint16_t& Key, TShiftState) {
  if (Key != VK_RETURN && Key != VK_ESCAPE) return;
  TWinControl* Active = ActiveControl();
  if (Active && Active->Perform(CM_WANTSPECIALKEY, Key) != 0) return;
  if (Key == VK_ESCAPE) {
    if (!Modal()) Close();
  } else {
    bFindClick();
  }
  cbText->SetModified(false);
  Key = 0;
}

TDBGridKsFindDlg* DBGridKsFindDlg() { return TheDialog; }

void ExecuteDBGridKsFindDialog(TCustomDBGridKs* Grid, const AnsiString& Text, bool Modal,
                               const TFindColumnChoicesKs* ColumnChoices) {
  if (!TheDialog) {
    TheDialog = new TDBGridKsFindDlg(Application);
    TheDialog->OnDestroy = [](TObject*) { TheDialog = nullptr; };
  }
  TheDialog->Execute(Grid, Text, Modal, ColumnChoices);
}

void InstallFindDialogHook() {
  ShowFindDialogProc = [](TCustomDBGridKs* Grid) {
    ExecuteDBGridKsFindDialog(Grid, "", Grid->FindDialogFlag());
  };
}
