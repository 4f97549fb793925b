#include "Extcalc.h"

#include "CalcOpForm.h"
#include "Infix.h"
#include "forms/Dialogs.h"
#include "rtl/AnsiText.h"

namespace {

TfrmCalculator* TheCalculator = nullptr;
bool AskConfirmation = true;
bool ApplyToWholeExpression = true;

bool IsOperator(char C) { return C == '+' || C == '-' || C == '*' || C == '/'; }

// The evaluator reads '.' only: numbers go into the expression with it,
// whatever the user's decimal separator.
TFormatSettings ExpressionSettings() {
  TFormatSettings Settings = FormatSettings;
  Settings.DecimalSeparator = '.';
  return Settings;
}

AnsiString ExpressionNumber(const AnsiString& UserNumber) {
  return StringReplace(Trim(UserNumber), AnsiString(1, FormatSettings.DecimalSeparator), ".",
                       rfReplaceAll);
}

// Whether the first parenthesis of E closes at its very end.
bool WhollyParenthesized(const AnsiString& E) {
  if (E.empty() || E.front() != '(' || E.back() != ')') return false;
  int Depth = 0;
  for (size_t I = 0; I < E.size(); ++I) {
    Depth += E[I] == '(' ? 1 : E[I] == ')' ? -1 : 0;
    if (Depth == 0) return I + 1 == E.size();
  }
  return false;
}

// A control of the form on Parent at the given place.
template <class T>
T* Place(TfrmCalculator* Form, TWinControl* Parent, int Left, int Top, int Width, int Height) {
  auto* Control = new T(Form);
  Control->SetParent(Parent);
  Control->SetBounds(Left, Top, Width, Height);
  return Control;
}

void SetHintText(TControl* Control, const AnsiString& Hint) {
  Control->SetHint(Hint);
  Control->SetShowHint(true);
}

}  // namespace

TfrmCalculator::TfrmCalculator(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsToolWindow);
  SetCaption("Калькулятор");
  SetKeyPreview(true);
  BuildMainPanel();
  BuildVariablesPanel();
  BuildHistoryPanel();
  BuildButtonsPanel();
  BuildMenu();
  ArrangePanels();
  OnActivate = [this](TObject*) { FormActivated(); };
  HandleNeeded();
  SetClientSize(312, 70);
  DoCreate();
}

void TfrmCalculator::BuildMainPanel() {
  pnlMain = Place<TPanel>(this, this, 0, 0, 312, 70);
  pnlMain->SetCaption("");
  edtExpression = Place<TEdit>(this, pnlMain, 8, 8, 296, 24);
  edtExpression->Font()->SetStyle(TFontStyles{fsBold});
  edtExpression->OnKeyPress = [this](TObject*, char& Key) { ExpressionKeyPress(Key); };
  lblEqual = Place<TLabel>(this, pnlMain, 8, 42, 10, 16);
  lblEqual->SetCaption("=");
  lblResult = new TLabel(this);
  lblResult->SetParent(pnlMain);
  lblResult->SetAutoSize(false);
  lblResult->SetBounds(24, 40, 244, 20);
  lblResult->SetCaption("");
  lblResult->Font()->SetStyle(TFontStyles{fsBold});
  lblResult->SetDragMode(dmAutomatic);
  btnToMemory = Place<TSpeedButton>(this, pnlMain, 278, 38, 26, 24);
  btnToMemory->SetFlat(true);
  btnToMemory->SetCaption("M");
  SetHintText(btnToMemory, "В память");
  btnToMemory->OnClick = [this](TObject*) { ToMemory(); };
}

void TfrmCalculator::BuildVariablesPanel() {
  pnlVariables = Place<TPanel>(this, this, 0, 70, 312, 34);
  pnlVariables->SetCaption("");
  pnlVariables->SetVisible(false);
  cbVariables = new TComboBox(this);
  cbVariables->SetParent(pnlVariables);
  cbVariables->SetStyle(csDropDownList);
  cbVariables->SetBounds(8, 6, 140, 21);
  SetHintText(cbVariables, "Список\r\nпеременных\r\nпользователя");
  cbVariables->OnChange = [this](TObject*) { VariableSelected(); };
  edtVariable = Place<TEdit>(this, pnlVariables, 170, 6, 104, 21);
  edtVariable->SetReadOnly(true);
  SetHintText(edtVariable, "Значение\r\nпеременной");
  lblVariableEqual = Place<TLabel>(this, pnlVariables, 154, 9, 10, 16);
  lblVariableEqual->SetCaption("=");
  btnToCalculator = Place<TSpeedButton>(this, pnlVariables, 278, 5, 26, 24);
  btnToCalculator->SetFlat(true);
  btnToCalculator->SetCaption("^");
  SetHintText(btnToCalculator, "В калькулятор");
  btnToCalculator->OnClick = [this](TObject*) { ToCalculator(); };
  // Only the result label is taken: onto the list as a new value, onto the
  // value as the selected one's.
  auto FromResult = [this](TObject*, TObject* Source, int, int, TDragState, bool& Accept) {
    Accept = Source == lblResult;
  };
  cbVariables->OnDragOver = FromResult;
  edtVariable->OnDragOver = FromResult;
  cbVariables->OnDragDrop = [this](TObject*, TObject*, int, int) {
    if (!ErrorShown()) NewVariable();
  };
  edtVariable->OnDragDrop = [this](TObject*, TObject*, int, int) {
    if (!ErrorShown()) UpdateVariable();
  };
}

void TfrmCalculator::BuildHistoryPanel() {
  pnlHistory = Place<TPanel>(this, this, 0, 104, 312, 34);
  pnlHistory->SetCaption("");
  pnlHistory->SetVisible(false);
  cbHistory = new TComboBox(this);
  cbHistory->SetParent(pnlHistory);
  cbHistory->SetStyle(csDropDownList);
  cbHistory->SetBounds(8, 6, 230, 21);
  SetHintText(cbHistory, "Результаты предыдущих вычислений");
  btnClearHistory = Place<TButton>(this, pnlHistory, 244, 5, 60, 24);
  btnClearHistory->SetCaption("X");
  SetHintText(btnClearHistory, "Очистить историю");
  btnClearHistory->OnClick = [this](TObject*) { cbHistory->Items()->Clear(); };
}

void TfrmCalculator::BuildButtonsPanel() {
  pnlButtons = Place<TPanel>(this, this, 0, 138, 312, 140);
  pnlButtons->SetCaption("");
  pnlButtons->SetVisible(false);
  static const char* const Keys[] = {"7", "8", "9", "/", "(", "4", "5",   "6", "*", ")",
                                     "1", "2", "3", "-", "00", "0", "000", ".", "+", "="};
  for (int I = 0; I < 20; ++I) {
    auto* Button = new TButton(this);
    Button->SetParent(pnlButtons);
    Button->SetBounds(8 + (I % 5) * 60, 6 + (I / 5) * 26, 56, 24);
    Button->SetCaption(Keys[I]);
    if (Keys[I][0] == '=')
      Button->OnClick = [this](TObject*) { EvaluateExp(); };
    else
      Button->OnClick = [this, Button](TObject*) { addChar(Button->Caption()); };
  }
  const struct {
    const char* Caption;
    TNotifyEvent OnClick;
  } Commands[] = {
      {"&Очистить",
       [this](TObject*) {
         edtExpression->SetText("");
         lblResult->SetCaption("");
       }},
      {"Забой",
       [this](TObject*) {
         AnsiString Text = edtExpression->Text();
         if (!Text.empty()) edtExpression->SetText(Text.substr(0, Text.size() - 1));
       }},
      {"Enter",
       [this](TObject*) {
         EvaluateExp();
         if (Modal()) SetModalResult(mrOk);
       }},
      {"Закрыть", [this](TObject*) {
         if (Modal()) SetModalResult(mrCancel);
       }}};
  for (int I = 0; I < 4; ++I) {
    auto* Button = new TButton(this);
    Button->SetParent(pnlButtons);
    Button->SetBounds(8 + I * 75, 110, 71, 24);
    Button->SetCaption(Commands[I].Caption);
    Button->OnClick = Commands[I].OnClick;
  }
}

TMenuItem* TfrmCalculator::AddItem(TMenuItem* Parent, const AnsiString& Caption,
                                   TNotifyEvent OnClick) {
  auto* Item = new TMenuItem(this);
  Item->SetCaption(Caption);
  Item->OnClick = std::move(OnClick);
  Parent->Add(Item);
  return Item;
}

void TfrmCalculator::BuildMenu() {
  mnuMain = new TMainMenu(this);
  TMenuItem* Root = mnuMain->Items();
  miView = AddItem(Root, "Вид");
  miStayOnTop = AddItem(miView, "Расположить  поверх", [this](TObject*) {
    SetStayOnTop(!FStayOnTop);
  });
  miStayOnTop->SetChecked(true);
  miButtons = AddItem(miView, "Кнопки", [this](TObject*) { TogglePanel(miButtons, pnlButtons); });
  miHistory = AddItem(miView, "Историю", [this](TObject*) { TogglePanel(miHistory, pnlHistory); });
  miVariables = AddItem(miView, "Переменные", [this](TObject*) {
    TogglePanel(miVariables, pnlVariables);
  });
  miPrecision = AddItem(miView, "Точность");
  static const char* const DigitCaptions[] = {"1 знак", "2 знака", "3 знака", "4 знака"};
  for (int I = 0; I < 4; ++I)
    miDigits[I] = AddItem(miPrecision, DigitCaptions[I], [this, I](TObject*) { SetDigits(I + 1); });
  miDigits[1]->SetChecked(true);
  miEdit = AddItem(Root, "Правка");
  miResultToVariable = AddItem(miEdit, "Запомнить результат в переменную", [this](TObject*) {
    if (!ErrorShown()) NewVariable();
  });
  miClearHistory = AddItem(miEdit, "Очистить историю", [this](TObject*) {
    cbHistory->Items()->Clear();
  });
  miAskConfirmation = AddItem(miEdit, "Запрашивать подтверждение", [this](TObject*) {
    AskConfirmation = !AskConfirmation;
    miAskConfirmation->SetChecked(AskConfirmation);
  });
  miAskConfirmation->SetChecked(AskConfirmation);
  miApplyTo = AddItem(miEdit, "Умножение (деление) применять к...");
  auto ToggleApply = [this](TObject*) {
    ApplyToWholeExpression = !ApplyToWholeExpression;
    miWholeExpression->SetChecked(ApplyToWholeExpression);
    miLastNumber->SetChecked(!ApplyToWholeExpression);
  };
  miWholeExpression = AddItem(miApplyTo, "Всему выражению", ToggleApply);
  miLastNumber = AddItem(miApplyTo, "Последнему числу", ToggleApply);
  miWholeExpression->SetChecked(ApplyToWholeExpression);
  miLastNumber->SetChecked(!ApplyToWholeExpression);
  miHelp = AddItem(Root, "Помощь");
  miClose = AddItem(Root, "Закрыть", [this](TObject*) { Close(); });
  SetMenu(mnuMain);
}

void TfrmCalculator::CreateParams(TCreateParams& Params) {
  TForm::CreateParams(Params);
  if (FStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
}

void TfrmCalculator::SetStayOnTop(bool Value) {
  FStayOnTop = Value;
  miStayOnTop->SetChecked(Value);
  if (HandleAllocated())
    SetWindowPos(Handle(), Value ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The main panel stays on top; the others follow it in a fixed order.
void TfrmCalculator::ArrangePanels() {
  int Top = 0;
  for (TPanel* Panel : {pnlMain, pnlVariables, pnlHistory, pnlButtons}) {
    if (!Panel->Visible()) continue;
    Panel->SetTop(Top);
    Top += Panel->Height();
  }
}

void TfrmCalculator::TogglePanel(TMenuItem* Item, TPanel* Panel) {
  const bool Show = !Item->Checked();
  Item->SetChecked(Show);
  Panel->SetVisible(Show);
  ArrangePanels();
  SetClientHeight(ClientHeight() + (Show ? Panel->Height() : -Panel->Height()));
}

void TfrmCalculator::SetDigits(int Value) {
  FDigits = Value;
  for (int I = 0; I < 4; ++I) miDigits[I]->SetChecked(I + 1 == Value);
}

bool TfrmCalculator::Evaluate(long double& Value) {
  int32_t Position;
  EvaluateExpression(edtExpression->Text(), Value, Position);
  if (Position == 0) {
    FErrorShown = false;
    FErrorMessage.clear();
    return true;
  }
  FErrorShown = true;
  FErrorMessage = ExpressionErrorMessage();
  lblResult->SetCaption(FErrorMessage);
  const int Length = static_cast<int>(edtExpression->Text().size());
  if (edtExpression->CanFocus()) edtExpression->SetFocus();
  edtExpression->SetSelStart(std::min(Position - 1, Length));
  edtExpression->SetSelLength(Position <= Length ? 1 : 0);
  return false;
}

bool TfrmCalculator::EvaluateExp() {
  long double Value;
  if (!Evaluate(Value)) return false;
  lblResult->SetCaption(FloatToStrF(Value, ffFixed, 18, FDigits));
  FResultValue = Value;
  cbHistory->Items()->Add(edtExpression->Text() + "=" + FloatToStrF(Value, ffGeneral, 15, 0));
  return true;
}

void TfrmCalculator::EvaluateExp2() {
  long double Value;
  if (Trim(edtExpression->Text()).empty() || !Evaluate(Value)) return;
  edtExpression->SetText(FloatToStrF(Value, ffFixed, 18, FDigits, ExpressionSettings()));
  lblResult->SetCaption(FloatToStrF(Value, ffFixed, 18, FDigits));
  edtExpression->SetSelStart(static_cast<int>(edtExpression->Text().size()));
  FResultValue = Value;
}

void TfrmCalculator::addChar(const AnsiString& Text) {
  edtExpression->SetText(edtExpression->Text() + Text);
  if (edtExpression->CanFocus()) edtExpression->SetFocus();
  edtExpression->SetSelStart(static_cast<int>(edtExpression->Text().size()));
}

void TfrmCalculator::ExpressionKeyPress(char& Key) {
  if (Key == '=') {
    EvaluateExp();
    Key = 0;
    return;
  }
  const AnsiString Text = edtExpression->Text();
  if (IsOperator(Key) && ApplyToWholeExpression &&
      Text.find_first_of("+-*/") != AnsiString::npos) {
    // An operator typed while an error is shown would replace its selection.
    if (!EvaluateExp()) {
      Key = 0;
      return;
    }
    edtExpression->SetText(FloatToStrF(FResultValue, ffFixed, 18, FDigits, ExpressionSettings()));
    edtExpression->SetSelStart(static_cast<int>(edtExpression->Text().size()));
    return;
  }
  const bool Allowed = (Key >= '0' && Key <= '9') || Key == '(' || Key == ')' || Key == '.' ||
                       IsOperator(Key) || Key == '\b';
  if (!Allowed) Key = 0;
}

void TfrmCalculator::KeyDown(uint16_t& Key, TShiftState Shift) {
  TForm::KeyDown(Key, Shift);
  if (Key == VK_RETURN) {
    EvaluateExp2();
    Key = 0;
  } else if (Key == VK_ESCAPE) {
    edtExpression->SetText("");
    Key = 0;
  }
}

void TfrmCalculator::KeyPress(char& Key) {
  TForm::KeyPress(Key);
  if (ActiveControl() == edtExpression || Key == 0) return;
  if ((Key >= '0' && Key <= '9') || Key == '(' || Key == ')' || Key == '.' || IsOperator(Key)) {
    edtExpression->SetText(edtExpression->Text() + Key);
    Key = 0;
  } else if (Key == '=') {
    EvaluateExp();
    Key = 0;
  } else if (Key == '\b') {
    AnsiString Text = edtExpression->Text();
    if (!Text.empty()) edtExpression->SetText(Text.substr(0, Text.size() - 1));
    Key = 0;
  }
}

void TfrmCalculator::ApplyOperation(const AnsiString& Operand, char Operator) {
  long double Number;
  if (!TryStrToFloat(Trim(Operand), Number)) {
    MessageDlg(Format("Неверное число: %s", {Operand}), mtWarning, {mbCancel});
    return;
  }
  const AnsiString Value = ExpressionNumber(Operand);
  // The evaluator takes a sign only at the start of an expression.
  const AnsiString Appended = Value[0] == '-' || Value[0] == '+' ? "(" + Value + ")" : Value;
  const AnsiString E = Trim(edtExpression->Text());
  AnsiString Result;
  if (Operator == '+' || Operator == '-') {
    Result = E.empty() ? Value : E + Operator + Appended;
  } else if (Operator == '*' || Operator == '/') {
    if (E.empty()) return;
    const bool Sum = E.find_first_of("+-") != AnsiString::npos;
    if (ApplyToWholeExpression && Sum && !WhollyParenthesized(E))
      Result = "(" + E + ")" + Operator + Appended;
    else
      Result = E + Operator + Appended;
  } else {
    return;
  }
  edtExpression->SetText(Result);
}

void TfrmCalculator::ToMemory() {
  if (ErrorShown()) return;
  if (lblResult->Caption().empty() && !Trim(edtExpression->Text()).empty() && !EvaluateExp())
    return;
  if (cbVariables->ItemIndex() < 0)
    NewVariable();
  else
    UpdateVariable();
}

void TfrmCalculator::NewVariable() {
  const long double Value = StrToFloatL(lblResult->Caption());
  AnsiString Name = "Результат " + IntToStr(cbVariables->Items()->Count() + 1);
  if (!InputQuery("Ввод новой переменной", "Введите имя новой переменной и нажмите OK", Name))
    return;
  Name = Name.substr(0, kMaxValueNameLength);
  SetNamedValue(Name, Value);
  if (cbVariables->Items()->IndexOf(Name) < 0) cbVariables->Items()->Add(Name);
}

void TfrmCalculator::UpdateVariable() {
  const int Index = cbVariables->ItemIndex();
  if (Index < 0) return;
  SetNamedValue(cbVariables->Items()->Strings(Index), StrToFloatL(lblResult->Caption()));
  edtVariable->SetText(lblResult->Caption());
}

void TfrmCalculator::VariableSelected() {
  const int Index = cbVariables->ItemIndex();
  if (Index < 0) return;
  long double Value;
  bool NotFound;
  GetNamedValue(cbVariables->Items()->Strings(Index), Value, NotFound);
  edtVariable->SetText(FloatToStrF(Value, ffGeneral, 15, 0));
}

void TfrmCalculator::ToCalculator() {
  const AnsiString Value = edtVariable->Text();
  if (Value.empty()) return;
  if (Trim(edtExpression->Text()).empty()) {
    edtExpression->SetText(ExpressionNumber(Value));
    return;
  }
  ApplyOperation(Value, GetOp());
}

char TfrmCalculator::GetOp() {
  const POINT Below = edtExpression->ClientToScreen(POINT{0, edtExpression->Height()});
  return ShowMathAction(Below.x, Below.y);
}

void TfrmCalculator::FormActivated() {
  if (edtExpression->CanFocus()) edtExpression->SetFocus();
  edtExpression->SetSelStart(static_cast<int>(edtExpression->Text().size()));
  FResultValue = 0;
  lblResult->SetCaption("");
  FErrorShown = false;
}

TfrmCalculator* Calculator() {
  if (!TheCalculator) TheCalculator = new TfrmCalculator(Application);
  return TheCalculator;
}

void ShowCalculator() { Calculator()->Show(); }

void CalculatorApplyOperation(const AnsiString& Operand, char Operator) {
  Calculator()->ApplyOperation(Operand, Operator);
}

long double CalculatorResult() {
  TfrmCalculator* Form = Calculator();
  if (!Form->EvaluateExp()) throw Exception(Form->ErrorMessage());
  return Form->ResultValue();
}

bool CalculatorAskConfirmation() { return AskConfirmation; }
