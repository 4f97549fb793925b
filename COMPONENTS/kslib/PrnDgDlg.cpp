#include "COMPONENTS/kslib/PrnDgDlg.h"

#include "forms/Dialogs.h"
#include "forms/Printers.h"

namespace {

template <class T>
T* Place(TWinControl* Parent, TComponent* Owner, const char* Name, int Left, int Top, int Width,
         int Height) {
  T* Control = new T(Owner);
  Control->SetName(Name);
  Control->SetParent(Parent);
  Control->SetBounds(Left, Top, Width, Height);
  return Control;
}

TfPrnDBGridKsSetupDialog* Dialog = nullptr;

}  // namespace

TfPrnDBGridKsSetupDialog::TfPrnDBGridKsSetupDialog(TComponent* AOwner) : TForm(AOwner) {
  SetName("fPrnDBGridKsSetupDialog");
  SetCaption("Настройка принтера");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  Font()->SetName("MS Sans Serif");
  Font()->SetCharset(RUSSIAN_CHARSET);
  SetClientSize(368, 185);

  gbPrintFields = Place<TGroupBox>(this, this, "gbPrintFields", 8, 4, 145, 113);
  gbPrintFields->SetCaption(" &Отступы ");
  const char* Captions[] = {"&Верхний", "&Нижний", "&Левый", "&Правый"};
  const char* EditNames[] = {"seUpMargin", "seLowMargin", "seLeftMargin", "seRightMargin"};
  const char* LabelNames[] = {"lUpMargin", "lLowMargin", "lLeftMargin", "lRightMargin"};
  TLabel** Labels[] = {&lUpMargin, &lLowMargin, &lLeftMargin, &lRightMargin};
  TEdit** Edits[] = {&seUpMargin, &seLowMargin, &seLeftMargin, &seRightMargin};
  for (int I = 0; I < 4; ++I) {
    TEdit* Edit = Place<TEdit>(gbPrintFields, this, EditNames[I], 72, 18 + I * 23, 61, 21);
    Edit->SetText("0");
    // Leaving a field says at once when it is not a number.
    Edit->OnExit = [Edit](TObject*) { StrToFloat(Edit->Text()); };
    TLabel* Label = Place<TLabel>(gbPrintFields, this, LabelNames[I], 10, 21 + I * 23, 58, 13);
    Label->SetCaption(Captions[I]);
    Label->SetFocusControl(Edit);
    *Edits[I] = Edit;
    *Labels[I] = Label;
  }

  cbFitWidthToPage = Place<TCheckBox>(this, this, "cbFitWidthToPage", 162, 6, 200, 17);
  cbFitWidthToPage->SetCaption("&Умещать в ширину на листе");
  rgFitingType = Place<TGroupBox>(this, this, "rgFitingType", 162, 24, 200, 50);
  rgFitingType->SetEnabled(false);
  rbScaleGrid = Place<TRadioButton>(rgFitingType, this, "rbScaleGrid", 8, 12, 186, 17);
  rbScaleGrid->SetCaption("Масштабировать всю таблицу");
  rbColWidths = Place<TRadioButton>(rgFitingType, this, "rbColWidths", 8, 29, 186, 17);
  rbColWidths->SetCaption("Изменять ширину столбцов");
  rbScaleGrid->SetChecked(true);
  cbFitWidthToPage->OnClick = [this](TObject*) {
    rgFitingType->SetEnabled(cbFitWidthToPage->Checked());
  };
  cbOptimalColWidths = Place<TCheckBox>(this, this, "cbOptimalColWidths", 162, 78, 200, 17);
  cbOptimalColWidths->SetCaption("Оптимальная ширина столбцов");
  cbAutoStretch = Place<TCheckBox>(this, this, "cbAutoStretch", 162, 97, 200, 17);
  cbAutoStretch->SetCaption("Перенос &длинных строк");
  cbColored = Place<TCheckBox>(this, this, "cbColored", 162, 116, 200, 17);
  cbColored->SetCaption("&Цвет");

  ePrintFont = Place<TEdit>(this, this, "ePrintFont", 8, 124, 121, 21);
  bPrintFont = Place<TButton>(this, this, "bPrintFont", 131, 124, 22, 21);
  bPrintFont->SetCaption("...");
  bPrintFont->Font()->SetStyle({fsBold});
  FontDialog1 = new TFontDialog(this);
  bPrintFont->OnClick = [this](TObject*) {
    FontDialog1->Font()->SetName(ePrintFont->Text());
    if (FontDialog1->Execute()) ePrintFont->SetText(FontDialog1->Font()->Name());
  };
  bPrinterSetupDialog = Place<TButton>(this, this, "bPrinterSetupDialog", 8, 154, 145, 25);
  bPrinterSetupDialog->SetCaption("Н&астройка принтера");
  PrinterSetupDialog1 = new TPrinterSetupDialog(this);
  bPrinterSetupDialog->OnClick = [this](TObject*) { PrinterSetupDialog1->Execute(); };
  bOk = Place<TButton>(this, this, "bOk", 206, 154, 75, 25);
  bOk->SetCaption("О&к");
  bOk->SetDefault(true);
  bOk->OnClick = [this](TObject*) { OkClick(); };
  bCancel = Place<TButton>(this, this, "bCancel", 287, 154, 75, 25);
  bCancel->SetCaption("О&тмена");
  bCancel->SetCancel(true);
  bCancel->SetModalResult(mrCancel);

  OnShow = [this](TObject*) {
    bPrinterSetupDialog->SetEnabled(Printer()->Printers()->Count() > 0);
  };
}

int TfPrnDBGridKsSetupDialog::FitingType() const { return rbColWidths->Checked() ? 1 : 0; }

void TfPrnDBGridKsSetupDialog::SetFitingType(int Item) {
  (Item == 1 ? rbColWidths : rbScaleGrid)->SetChecked(true);
}

void TfPrnDBGridKsSetupDialog::OkClick() {
  for (TEdit* Edit : MarginEdits()) {
    try {
      MarginOf(Edit);
    } catch (const Exception& E) {
      MessageDlg(E.Message(), mtError, {mbOK});
      Edit->SetFocus();
      return;
    }
  }
  SetModalResult(mrOk);
}

Currency TfPrnDBGridKsSetupDialog::MarginOf(TEdit* Edit) { return Currency(StrToFloat(Edit->Text())); }

TfPrnDBGridKsSetupDialog* PrnDBGridKsSetupDialog() {
  if (!Dialog) {
    Dialog = new TfPrnDBGridKsSetupDialog(Application);
    Dialog->OnDestroy = [](TObject*) { Dialog = nullptr; };
  }
  return Dialog;
}
