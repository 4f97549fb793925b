// A form with an editor under test, another edit to move the focus to, and
// a default and a cancel button that count their clicks.
#pragma once

#include "FormsTestKit.h"
#include "KsTestKit.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

template <class TEditor>
struct TEditorForm {
  TForm* Form = new TForm(Application);
  TEditor* Edit = new TEditor(Form);
  TEdit* Other = new TEdit(Form);
  TButton* Ok = new TButton(Form);
  TButton* Cancel = new TButton(Form);
  int OkClicks = 0, CancelClicks = 0, Changes = 0;

  TEditorForm() {
    Form->SetBounds(100, 100, 400, 200);
    Edit->SetParent(Form);
    Edit->SetBounds(10, 10, 200, 21);
    Other->SetParent(Form);
    Other->SetBounds(10, 50, 100, 21);
    Ok->SetParent(Form);
    Ok->SetBounds(10, 100, 75, 25);
    Ok->SetDefault(true);
    Ok->OnClick = [this](TObject*) { ++OkClicks; };
    Cancel->SetParent(Form);
    Cancel->SetBounds(100, 100, 75, 25);
    Cancel->SetCancel(true);
    Cancel->OnClick = [this](TObject*) { ++CancelClicks; };
    if constexpr (requires { Edit->OnChange; }) Edit->OnChange = [this](TObject*) { ++Changes; };
  }
  ~TEditorForm() { delete Form; }
  TEditorForm(const TEditorForm&) = delete;
  TEditorForm& operator=(const TEditorForm&) = delete;

  // Shows the form with the focus on the editor (or on Focus).
  void Show(TWinControl* Focus = nullptr) {
    Form->Show();
    SetForegroundWindow(Form->Handle());
    PumpFor(30);
    if (!Focus) Focus = Edit;
    Focus->SetFocus();
    PumpUntilFocused(Focus->Handle());
  }
  // Types through the input queue and waits until the text ends with it.
  void Type(const char* Text) {
    AnsiString Typed = Text;
    PostText(Text);
    PumpUntil([&] {
      AnsiString Now = Edit->Text();
      return Now.size() >= Typed.size() && Now.substr(Now.size() - Typed.size()) == Typed;
    });
  }
  // Characters the keyboard layout has no key for, as the window gets them.
  void PostChars(const AnsiString& Chars) {
    for (char C : Chars) PostMessageA(Edit->Handle(), WM_CHAR, static_cast<uint8_t>(C), 1);
    PumpFor(40);
  }
};
