#include "uFilterDlg.h"

#include <algorithm>

#include "SDataSource.h"
#include "forms/Dialogs.h"

namespace {

template <class T>
T* Place(TForm* Form, TWinControl* Parent, const char* Name, int Left, int Top, int Width, int Height) {
  T* control = new T(Form);
  control->SetName(Name);
  control->SetParent(Parent);
  control->SetBounds(Left, Top, Width, Height);
  return control;
}

TButton* PlaceButton(TForm* Form, const char* Name, const char* Caption, int Left, int Top) {
  auto* button = Place<TButton>(Form, Form, Name, Left, Top, 97, 25);
  button->SetCaption(Caption);
  button->Font()->SetStyle({fsBold});
  return button;
}

TPanel* PlaceParamPanel(TForm* Form, const char* Name) {
  auto* panel = Place<TPanel>(Form, Form, Name, 8, 262, 449, 105);
  panel->SetBevelOuter(bvNone);
  panel->SetCaption("");
  return panel;
}

TLabel* PlaceLabel(TForm* Form, TWinControl* Parent, const char* Name, const char* Caption, int Left,
                   int Top) {
  auto* label = Place<TLabel>(Form, Parent, Name, Left, Top, 60, 13);
  label->SetCaption(Caption);
  return label;
}

}  // namespace

TfFilterDlg::TfFilterDlg(TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Фильтр записей");
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetKeyPreview(true);
  Font()->SetCharset(RUSSIAN_CHARSET);
  Font()->SetName("MS Sans Serif");
  Font()->SetSize(8);
  SetClientSize(465, 445);

  Label1 = PlaceLabel(this, this, "Label1", "Список фильтров", 8, 4);
  Label1->Font()->SetColor(clBlue);
  Label1->Font()->SetStyle({fsBold});
  lbAllFilters = Place<TListBox>(this, this, "lbAllFilters", 8, 20, 449, 121);
  Label2 = PlaceLabel(this, this, "Label2", "Поле фильтрации", 8, 148);
  cbFieldName = Place<TComboBox>(this, this, "cbFieldName", 8, 164, 289, 21);
  cbFieldName->SetStyle(csDropDownList);
  rgFType = Place<TSRadioGroup>(this, this, "rgFType", 8, 190, 449, 66);
  rgFType->SetCaption("Тип фильтра");
  rgFType->SetColumns(2);

  pParam1 = PlaceParamPanel(this, "pParam1");
  Label3 = PlaceLabel(this, pParam1, "Label3", "Значение", 0, 4);
  eValue = Place<TEdit>(this, pParam1, "eValue", 0, 20, 449, 21);
  eValue->SetMaxLength(200);

  pParam2 = PlaceParamPanel(this, "pParam2");
  lbVariants = Place<TListBox>(this, pParam2, "lbVariants", 0, 0, 289, 105);
  eSingleVar = Place<TEdit>(this, pParam2, "eSingleVar", 296, 0, 153, 21);
  eSingleVar->SetMaxLength(30);
  SpeedButton1 = Place<TSpeedButton>(this, pParam2, "SpeedButton1", 296, 28, 23, 22);
  SpeedButton1->SetCaption("+");
  SpeedButton2 = Place<TSpeedButton>(this, pParam2, "SpeedButton2", 324, 28, 23, 22);
  SpeedButton2->SetCaption("-");

  pParam31 = PlaceParamPanel(this, "pParam31");
  Label4 = PlaceLabel(this, pParam31, "Label4", "ОТ", 0, 4);
  Label5 = PlaceLabel(this, pParam31, "Label5", "ДО", 224, 4);
  eFloatBeg = Place<TEdit>(this, pParam31, "eFloatBeg", 0, 20, 161, 21);
  eFloatBeg->SetMaxLength(20);
  eFloatEnd = Place<TEdit>(this, pParam31, "eFloatEnd", 224, 20, 161, 21);
  eFloatEnd->SetMaxLength(20);

  pParam32 = PlaceParamPanel(this, "pParam32");
  Label6 = PlaceLabel(this, pParam32, "Label6", "С", 0, 4);
  Label7 = PlaceLabel(this, pParam32, "Label7", "ПО", 224, 4);
  eDatBeg = Place<TMaskEdit>(this, pParam32, "eDatBeg", 0, 20, 161, 21);
  eDatEnd = Place<TMaskEdit>(this, pParam32, "eDatEnd", 224, 20, 161, 21);

  pParamsBool = PlaceParamPanel(this, "pParamsBool");
  rgBoolValue = Place<TSRadioGroup>(this, pParamsBool, "rgBoolValue", 0, 0, 289, 89);
  rgBoolValue->SetCaption("Значение:");
  for (const char* item : {"Да  (есть отметка)", "Нет (нет отметки)", "Не задано (серый фон)"})
    rgBoolValue->Items()->Add(item);

  btnAdd = PlaceButton(this, "btnAdd", "Добавить", 8, 374);
  btnReplace = PlaceButton(this, "btnReplace", "Заменить", 112, 374);
  btnDel = PlaceButton(this, "btnDel", "Удалить", 216, 374);
  cbSelFilter = Place<TCheckBox>(this, this, "cbSelFilter", 8, 404, 240, 17);
  cbSelFilter->SetCaption("Фильтр по отмеченным записям");
  cbUnSelFilter = Place<TCheckBox>(this, this, "cbUnSelFilter", 8, 424, 240, 17);
  cbUnSelFilter->SetCaption("Фильтр по НЕ отмеченным записям");
  btnClose = PlaceButton(this, "btnClose", "Применить", 256, 412);
  btnClose->SetModalResult(mrOk);
  Button1 = PlaceButton(this, "Button1", "Отмена", 360, 412);
  Button1->SetModalResult(mrCancel);
  Button1->SetCancel(true);

  cbFieldName->OnClick = [this](TObject*) {
    OfferChoices();
    SetDateMasks(SelectedField());
    ShowPanel();
  };
  rgFType->OnClick = [this](TObject*) {
    ShowPanel();
    if (FShowing) ReplaceFilter();
  };
  lbAllFilters->OnClick = [this](TObject*) { ShowFilter(lbAllFilters->ItemIndex()); };
  btnAdd->OnClick = [this](TObject*) { AddFilter(); };
  btnReplace->OnClick = [this](TObject*) { ReplaceFilter(); };
  btnDel->OnClick = [this](TObject*) { DeleteFilter(); };
  SpeedButton1->OnClick = [this](TObject*) { AddVariant(); };
  SpeedButton2->OnClick = [this](TObject*) { DeleteVariant(); };
  rgBoolValue->OnClick = [this](TObject*) {
    if (FShowing) ReplaceFilter();
  };
  for (TCustomEdit* editor : std::initializer_list<TCustomEdit*>{eValue, eSingleVar, eFloatBeg, eFloatEnd,
                                                                 eDatBeg, eDatEnd}) {
    editor->OnEnter = [editor](TObject*) { editor->SelectAll(); };
    if (editor != eSingleVar)
      editor->OnChange = [this](TObject*) {
        if (FShowing) ReplaceFilter();
      };
  }
  cbSelFilter->OnClick = [this](TObject*) {
    if (cbSelFilter->Checked()) cbUnSelFilter->SetChecked(false);
  };
  cbUnSelFilter->OnClick = [this](TObject*) {
    if (cbUnSelFilter->Checked()) cbSelFilter->SetChecked(false);
  };
  OnKeyDown = [this](TObject*, uint16_t& Key, TShiftState) { FormKeyDown(Key); };
  OnActivate = [this](TObject*) { FormActivate(); };
  DoCreate();
}

void TfFilterDlg::Execute(TDataSet* DataSet, TField* Field, TFilterArr& Filters) {
  FShowing = false;
  FFilters.clear();
  cbSelFilter->SetChecked(false);
  cbUnSelFilter->SetChecked(false);
  for (const auto& filter : Filters) {
    if (filter->Kind == ffkMarked)
      (filter->Unmarked ? cbUnSelFilter : cbSelFilter)->SetChecked(true);
    else
      FFilters.push_back(filter->Copy());
  }
  FFields = OfferedFilterFields(DataSet);
  cbFieldName->Items()->Clear();
  for (const TOfferedField& offered : FFields) cbFieldName->Items()->Add(offered.Caption);
  EnableEditors(!FFields.empty());
  lbAllFilters->SetItemIndex(-1);

  auto shown = std::find_if(FFilters.begin(), FFilters.end(),
                            [Field](const auto& Filter) { return Filter->Field == Field; });
  auto offered = std::find_if(FFields.begin(), FFields.end(),
                              [Field](const TOfferedField& Item) { return Item.Field == Field; });
  if (shown != FFilters.end()) {
    RefillList();
    lbAllFilters->SetItemIndex(static_cast<int>(shown - FFilters.begin()));
    ShowFilter(lbAllFilters->ItemIndex());
  } else if (offered != FFields.end()) {
    cbFieldName->SetItemIndex(static_cast<int>(offered - FFields.begin()));
    OfferChoices();
    ShowPanel();
    TFilterEditors editors = ReadEditors();
    FillFilterEditors(Field, editors);
    SetDateMasks(Field);
    FillEditors(editors);
    RefillList();
    PostMessageA(Handle(), WM_USER, 0, 0);
  } else {
    // A field the dialog cannot filter: the first one it can, nothing added.
    cbFieldName->SetItemIndex(FFields.empty() ? -1 : 0);
    OfferChoices();
    SetDateMasks(SelectedField());
    ShowPanel();
    RefillList();
  }
  if (FFocusEditor && FFocusEditor->Enabled()) SetActiveControl(FFocusEditor);

  if (ShowModal() == mrOk) {
    if (cbSelFilter->Checked() || cbUnSelFilter->Checked()) {
      auto marked = std::make_unique<TFieldFilter>();
      marked->Unmarked = !cbSelFilter->Checked();
      FFilters.push_back(std::move(marked));
    }
    Filters = std::move(FFilters);
  }
  FFilters.clear();
}

void TfFilterDlg::WndProc(TMessage& Message) {
  if (Message.Msg == WM_USER) {
    AddFromEditors();
    return;
  }
  TForm::WndProc(Message);
}

TField* TfFilterDlg::SelectedField() {
  int index = cbFieldName->ItemIndex();
  return index >= 0 && index < static_cast<int>(FFields.size()) ? FFields[index].Field : nullptr;
}

TFilterFieldClass TfFilterDlg::SelectedClass() {
  TField* field = SelectedField();
  return field ? FilterFieldClass(field->DataType()) : ffcNone;
}

void TfFilterDlg::OfferChoices() {
  TFilterChoices choices = FilterChoices(SelectedClass());
  rgFType->Items()->Clear();
  for (const AnsiString& item : choices.Items) rgFType->Items()->Add(item);
  rgFType->SetItemIndex(choices.Initial);
}

void TfFilterDlg::ShowPanel() {
  TFilterPanel panel = FilterPanelOf(SelectedClass(), rgFType->ItemIndex());
  TPanel* panels[] = {pParam1, pParam2, pParam31, pParam32, pParamsBool};
  TWinControl* editors[] = {eValue, eSingleVar, eFloatBeg, eDatBeg, rgBoolValue};
  for (int i = 0; i < 5; ++i) panels[i]->SetVisible(i == panel);
  FFocusEditor = editors[panel];
}

TFilterEditors TfFilterDlg::ReadEditors() {
  TFilterEditors editors;
  editors.Choice = rgFType->ItemIndex();
  editors.Value = eValue->Text();
  for (int i = 0; i < lbVariants->Items()->Count(); ++i)
    editors.Variants.push_back(lbVariants->Items()->Strings(i));
  editors.FloatBeg = eFloatBeg->Text();
  editors.FloatEnd = eFloatEnd->Text();
  editors.DatBeg = eDatBeg->Text();
  editors.DatEnd = eDatEnd->Text();
  editors.BoolIndex = rgBoolValue->ItemIndex();
  return editors;
}

void TfFilterDlg::FillEditors(const TFilterEditors& Editors) {
  eValue->SetText(Editors.Value);
  lbVariants->Items()->Clear();
  for (const AnsiString& line : Editors.Variants) lbVariants->Items()->Add(line);
  eFloatBeg->SetText(Editors.FloatBeg);
  eFloatEnd->SetText(Editors.FloatEnd);
  eDatBeg->SetText(Editors.DatBeg);
  eDatEnd->SetText(Editors.DatEnd);
  rgBoolValue->SetItemIndex(Editors.BoolIndex);
}

void TfFilterDlg::SetDateMasks(TField* Field) {
  if (!Field) return;
  eDatBeg->SetEditMask(FilterDateMask(Field));
  eDatEnd->SetEditMask(FilterDateMask(Field));
}

void TfFilterDlg::ShowFilter(int Index) {
  if (Index < 0 || Index >= static_cast<int>(FFilters.size())) return;
  const TFieldFilter& filter = *FFilters[Index];
  auto offered = std::find_if(FFields.begin(), FFields.end(),
                              [&filter](const TOfferedField& Item) { return Item.Field == filter.Field; });
  if (offered == FFields.end()) return;
  FShowing = false;
  cbFieldName->SetItemIndex(static_cast<int>(offered - FFields.begin()));
  OfferChoices();
  TFilterEditors editors = FilterEditorsOf(filter);
  rgFType->SetItemIndex(editors.Choice);
  ShowPanel();
  SetDateMasks(filter.Field);
  FillEditors(editors);
  FShowing = true;
}

void TfFilterDlg::RefillList() {
  int selected = lbAllFilters->ItemIndex();
  lbAllFilters->Items()->BeginUpdate();
  lbAllFilters->Items()->Clear();
  for (const auto& filter : FFilters) lbAllFilters->Items()->Add(FilterLineText(*filter));
  lbAllFilters->Items()->EndUpdate();
  int count = static_cast<int>(FFilters.size());
  lbAllFilters->SetItemIndex(selected >= 0 && selected < count ? selected : count - 1);
  FShowing = true;
}

void TfFilterDlg::AddFilter() {
  std::unique_ptr<TFieldFilter> filter;
  try {
    filter = BuildFieldFilter(SelectedField(), ReadEditors(), TFilterBuild::Strict);
  } catch (const Exception& e) {
    MessageDlg(e.Message(), mtWarning, TMsgDlgButtons{mbOK});
    return;
  }
  if (!filter) return;
  FFilters.push_back(std::move(filter));
  lbAllFilters->SetItemIndex(-1);
  RefillList();
}

void TfFilterDlg::ReplaceFilter() {
  int index = lbAllFilters->ItemIndex();
  if (index < 0 || index >= static_cast<int>(FFilters.size())) return;
  std::unique_ptr<TFieldFilter> filter =
      BuildFieldFilter(SelectedField(), ReadEditors(), TFilterBuild::Quiet);
  if (!filter) return;
  FFilters[index] = std::move(filter);
  RefillList();
}

void TfFilterDlg::DeleteFilter() {
  int index = lbAllFilters->ItemIndex();
  if (index < 0 || index >= static_cast<int>(FFilters.size())) return;
  FFilters.erase(FFilters.begin() + index);
  RefillList();
}

void TfFilterDlg::AddVariant() {
  AnsiString text = Trim(eSingleVar->Text());
  if (!text.empty()) lbVariants->Items()->Add(text);
  eSingleVar->Clear();
  if (FShowing) ReplaceFilter();
}

void TfFilterDlg::DeleteVariant() {
  int index = lbVariants->ItemIndex();
  if (index >= 0) lbVariants->Items()->Delete(index);
  lbVariants->SetItemIndex(0);
  if (FShowing) ReplaceFilter();
}

void TfFilterDlg::FormKeyDown(uint16_t& Key) {
  if (Key != VK_RETURN) return;
  TWinControl* active = ActiveControl();
  if (active == eValue || active == eFloatEnd || active == eDatEnd)
    SetModalResult(mrOk);
  else if (active == eFloatBeg)
    eFloatEnd->SetFocus();
  else if (active == eDatBeg)
    eDatEnd->SetFocus();
  else
    SelectNext(active, true, true);
  Key = 0;
}

void TfFilterDlg::FormActivate() {
  auto* edit = dynamic_cast<TCustomEdit*>(ActiveControl());
  if (!edit) return;
  edit->SetSelStart(edit == eValue && !eValue->Text().empty() ? static_cast<int>(eValue->Text().size()) : 0);
}

void TfFilterDlg::AddFromEditors() {
  std::unique_ptr<TFieldFilter> filter =
      BuildFieldFilter(SelectedField(), ReadEditors(), TFilterBuild::Quiet);
  if (filter) {
    FFilters.push_back(std::move(filter));
    lbAllFilters->SetItemIndex(-1);
    RefillList();
  }
  if (auto* edit = dynamic_cast<TCustomEdit*>(FFocusEditor)) edit->SelectAll();
}

void TfFilterDlg::EnableEditors(bool Value) {
  for (TWinControl* control : std::initializer_list<TWinControl*>{
           cbFieldName, rgFType, pParam1, pParam2, pParam31, pParam32, pParamsBool, btnAdd, btnReplace})
    control->SetEnabled(Value);
}

void RunFilterDialog(TSDataSource* Source, TField* Field, TFilterArr& Filters) {
  static TfFilterDlg* dialog = nullptr;
  if (!dialog) dialog = new TfFilterDlg(Application);
  dialog->Execute(Source->DataSet(), Field, Filters);
}

void InstallFilterDialog() { SetFilterDialogHook(RunFilterDialog); }
