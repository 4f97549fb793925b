#include "UKORRGR.h"

#include "forms/Dialogs.h"
#include "forms/Prompts.h"
#include "rtl/AnsiText.h"
#include "uIterators.h"
#include "common/uTools.h"

namespace {

const char* TypeName(uint8_t ValueType) {
  switch (ValueType) {
    case pvInteger:
      return "целое цисло";
    case pvFloat:
      return "дробное число";
    case pvDate:
      return "дата";
    case pvString:
      return "строка";
    default:
      return "";
  }
}

template <typename T>
T* Child(TWinControl* Parent, int Left, int Top, int Width, int Height) {
  auto* control = new T(Parent->Owner() ? Parent->Owner() : Parent);
  control->SetParent(Parent);
  control->SetBounds(Left, Top, Width, Height);
  return control;
}

}  // namespace

Variant ConvertPromptText(const AnsiString& Text, uint8_t ValueType) {
  switch (ValueType) {
    case pvInteger:
      return Variant(StrToInt(Text));
    case pvFloat:
      // The text itself, once it reads as a number: money is computed on
      // the digits typed, which a double does not keep.
      StrToFloat(Text);
      return Variant(Trim(Text));
    case pvDate:
      return VarFromDateTime(StrToDate(Text));
    default:
      return Variant(Trim(Text));
  }
}

TFKORGR::TFKORGR(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetClientSize(419, 109);
  GroupBox1 = Child<TGroupBox>(this, 8, 4, 403, 61);
  GroupBox1->SetName("GroupBox1");
  MaskEdit1 = Child<TMaskEdit>(GroupBox1, 8, 24, 200, 21);
  MaskEdit1->SetName("MaskEdit1");
  Label1 = Child<TLabel>(GroupBox1, 216, 27, 90, 13);
  Label1->SetCaption("Требуемый тип:");
  Label2 = Child<TLabel>(GroupBox1, 310, 27, 88, 13);
  Button1 = Child<TButton>(this, 248, 74, 75, 25);
  Button1->SetCaption("ОК");
  Button1->SetDefault(true);
  // The result is set only once the text converted: a result preset on
  // the button would close the dialog accepted with no value.
  Button1->OnClick = [this](TObject*) { Accept(); };
  Button2 = Child<TButton>(this, 336, 74, 75, 25);
  Button2->SetCaption("Отмена");
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
  OnShow = [this](TObject*) { FormShow(); };
  DoCreate();
}

void TFKORGR::FormShow() {
  SetActiveControl(MaskEdit1);
  if (ValueType == pvNone) RaiseJoinedError("Ошибочное обращение к запросной форме", "Не задан тип значения");
  AcceptedType = 0;
  Value = Variant();
  MaskEdit1->SetText("");
  Label2->SetCaption(TypeName(ValueType));
}

void TFKORGR::Accept() {
  try {
    Value = ConvertPromptText(MaskEdit1->Text(), ValueType);
  } catch (const EConvertError& E) {
    MessageDlg(E.Message(), mtError, TMsgDlgButtons{mbOK});
    SetActiveControl(MaskEdit1);
    return;
  }
  AcceptedType = ValueType;
  SetModalResult(mrOk);
}

void InstallValuePrompt() {
  SetPromptValueHook([](const AnsiString& Caption, uint8_t ValueType, Variant& Value) {
    TPrompt question(TPromptKind::InputQuery, Caption, TypeName(ValueType));
    bool shown = false;
    const TPromptAnswer answer = Prompts().Ask(question, [&] {
      shown = true;
      TFKORGR dialog(nullptr);
      dialog.ValueType = ValueType;
      dialog.SetCaption(Caption);
      dialog.GroupBox1->SetCaption(Caption);
      const bool accepted = dialog.ShowModal() == mrOk;
      if (accepted) Value = dialog.Value;
      return TPromptAnswer{accepted ? 1 : 0, dialog.MaskEdit1->Text()};
    });
    // A scripted answer gives the text the user would have typed.
    if (answer.Result && !shown) Value = ConvertPromptText(answer.Value, ValueType);
    return answer.Result != 0;
  });
  SetScreenCursorHook([](int16_t Cursor) {
    const TCursor previous = Screen->Cursor();
    Screen->SetCursor(Cursor);
    return previous;
  });
}
