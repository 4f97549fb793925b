#include "CalcOpForm.h"

#include "rtl/AnsiText.h"

TFormMathAction::TFormMathAction(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsToolWindow);
  SetBorderIcons({});
  SetCaption("Действие ?");
  SetKeyPreview(true);
  SetClientSize(117, 28);
  int Left = 1;
  for (const char* Caption : {"+", "-", "*", "/"}) {
    auto* Button = new TButton(this);
    Button->SetParent(this);
    Button->SetBounds(Left, 0, 28, 28);
    Button->SetCaption(Caption);
    Button->OnClick = [this, Button](TObject*) { Choose(Trim(Button->Caption())[0]); };
    Left += 29;
  }
  DoCreate();
}

void TFormMathAction::Choose(char Action) {
  FAction = Action;
  SetModalResult(mrOk);
}

void TFormMathAction::KeyPress(char& Key) {
  TForm::KeyPress(Key);
  if (Key == '*' || Key == '+' || Key == '-' || Key == '/') {
    Choose(Key);
    Key = 0;
  } else if (Key == VK_ESCAPE) {
    Choose(' ');
    Key = 0;
  }
}

char ShowMathAction(int X, int Y) {
  TFormMathAction Picker(nullptr);
  Picker.SetBounds(X, Y, Picker.Width(), Picker.Height());
  Picker.ShowModal();
  return Picker.Action();
}
