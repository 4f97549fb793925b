// The desktop calculator driven through its windows: typed keys, menu
// commands, mouse drags, the input box and the operator picker.
#include "Extcalc.h"

#include <gtest/gtest.h>

#include "CalcOpForm.h"
#include "FormsTestKit.h"
#include "Infix.h"
#include "KsTestKit.h"
#include "forms/ScriptedPrompts.h"

namespace {

class CalculatorTest : public ::testing::Test {
 protected:
  TfrmCalculator* F = Calculator();

  void SetUp() override {
    ShowCalculator();
    SetForegroundWindow(F->Handle());
    PumpFor(30);
    F->edtExpression->SetFocus();
    PumpUntilFocused(F->edtExpression->Handle());
    F->edtExpression->SetText("");
    F->lblResult->SetCaption("");
  }
  void TearDown() override { F->Hide(); }

  void Command(TMenuItem* Item) {
    SendMessageA(F->Handle(), WM_COMMAND, Item->Command(), 0);
    PumpFor(10);
  }
  void SetWhole(bool Whole) {
    if (F->miWholeExpression->Checked() != Whole) Command(F->miWholeExpression);
  }
  void Type(const char* Text) {
    PostText(Text);
    PumpFor(20);
  }
  AnsiString Expression() { return F->edtExpression->Text(); }
  // A press on lblResult, moves and a release over Target, posted to the
  // main panel, whose window the label draws in.
  void DragResultOnto(TWinControl* Target) {
    HWND Panel = F->pnlMain->Handle();
    const RECT L = F->lblResult->BoundsRect();
    PostMessageA(Panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(L.left + 5, L.top + 5));
    POINT To = F->pnlMain->ScreenToClient(Target->ClientToScreen(POINT{10, 8}));
    PostMessageA(Panel, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(To.x - 20, To.y));
    PostMessageA(Panel, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(To.x, To.y));
    PostMessageA(Panel, WM_LBUTTONUP, 0, MAKELPARAM(To.x, To.y));
    PumpFor(60);
  }
};

TEST_F(CalculatorTest, AnOperatorAfterAnOperatorEvaluatesAndEnterReplacesTheExpression) {
  SetWhole(true);
  const int History = F->cbHistory->Items()->Count();
  Type("2*3");
  EXPECT_EQ(Expression(), "2*3");
  Type("+");
  EXPECT_EQ(Expression(), "6.00+") << "numbers go into the expression with a point";
  EXPECT_EQ(F->lblResult->Caption(), "6,00") << "the result keeps the user's format";
  Type("1");
  PostKey(VK_RETURN);
  PumpFor(20);
  EXPECT_EQ(Expression(), "7.00");
  EXPECT_EQ(F->lblResult->Caption(), "7,00");
  EXPECT_EQ(F->ResultValue(), 7);
  ASSERT_EQ(F->cbHistory->Items()->Count(), History + 1) << "Enter adds no history";
  EXPECT_EQ(F->cbHistory->Items()->Strings(History), "2*3=6");
  Type("a,;");
  EXPECT_EQ(Expression(), "7.00") << "other characters are swallowed";
  PostKey(VK_ESCAPE);
  PumpFor(20);
  EXPECT_EQ(Expression(), "");
}

TEST_F(CalculatorTest, PrecisionFourShowsAThirdWithFourDecimals) {
  Command(F->miDigits[3]);
  EXPECT_EQ(F->Digits(), 4);
  EXPECT_TRUE(F->miDigits[3]->Checked());
  EXPECT_FALSE(F->miDigits[1]->Checked());
  Type("1/3=");
  EXPECT_EQ(F->lblResult->Caption(), "0,3333");
  EXPECT_EQ(Expression(), "1/3") << "= is swallowed";
  Command(F->miDigits[1]);
  EXPECT_EQ(F->Digits(), 2);
}

TEST_F(CalculatorTest, ApplyingAnOperationCombinesTheOperandIntoTheExpression) {
  const struct {
    const char* Expression;
    const char* Operand;
    char Operator;
    bool Whole;
    const char* Result;
  } Cases[] = {
      {"1+2", "2", '*', true, "(1+2)*2"},
      {"(1+2)", "2", '*', true, "(1+2)*2"},
      {"3", "2", '*', true, "3*2"},
      {"1+2", "2", '*', false, "1+2*2"},
      {"", "5", '+', true, "5"},
      {"", "5", '*', true, ""},
      {" 4 ", "5", '-', true, "4-5"},
      {"(1+2)-(3+4)", "2", '/', true, "((1+2)-(3+4))/2"},
      {"3", "12,5", '+', true, "3+12.5"},
      {"3", "-2", '*', true, "3*(-2)"},
      {"3", "5", ' ', true, "3"},
  };
  for (const auto& C : Cases) {
    SetWhole(C.Whole);
    F->edtExpression->SetText(C.Expression);
    CalculatorApplyOperation(C.Operand, C.Operator);
    EXPECT_EQ(Expression(), C.Result) << C.Expression << " " << C.Operator << " " << C.Operand;
  }
  SetWhole(true);
  EXPECT_TRUE(F->miWholeExpression->Checked());
  EXPECT_FALSE(F->miLastNumber->Checked());

  F->edtExpression->SetText("3");
  CalculatorApplyOperation("12,5", '+');
  EXPECT_EQ(CalculatorResult(), 15.5L) << "an operand from a Russian field evaluates";

  TScriptedPrompts Script;
  CalculatorApplyOperation("12a", '+');
  EXPECT_EQ(Expression(), "3+12.5");
  ASSERT_EQ(Script.Asked.size(), 1u);
  EXPECT_EQ(Script.Asked[0].Text, "Неверное число: 12a");
}

// Its window made while another form was active is owned by that form and
// goes with it; the calculator makes it again.
TEST_F(CalculatorTest, OperationsStillWorkAfterTheFormItWasAboveIsFreed) {
  F->Hide();
  auto* Other = new TForm(Application);
  Other->Show();
  ASSERT_TRUE(PumpUntil([&] { return Other->Active(); }));
  F->RecreateWnd();
  ASSERT_EQ(GetWindow(F->Handle(), GW_OWNER), Other->Handle());
  F->edtExpression->SetText("1+2");
  delete Other;

  CalculatorApplyOperation("2", '*');
  EXPECT_EQ(Expression(), "(1+2)*2");
  ShowCalculator();
  EXPECT_TRUE(IsWindowVisible(F->Handle()));
  char Shown[32] = {};
  GetWindowTextA(F->edtExpression->Handle(), Shown, sizeof Shown);
  EXPECT_STREQ(Shown, "(1+2)*2");
}

TEST_F(CalculatorTest, AFailedEvaluationShowsItsMessageAndKeepsEverything) {
  Type("2+3=");
  ASSERT_EQ(F->ResultValue(), 5);
  const int History = F->cbHistory->Items()->Count();
  F->edtExpression->SetText("2+*3");
  Type("=");
  const AnsiString Message = "Error:  function, unsigned number, or \"(\" expected.";
  EXPECT_EQ(F->lblResult->Caption(), Message);
  EXPECT_EQ(F->edtExpression->SelStart(), 2);
  EXPECT_EQ(F->edtExpression->SelLength(), 1);
  EXPECT_EQ(F->ResultValue(), 5);
  EXPECT_EQ(F->cbHistory->Items()->Count(), History);
  PostKey(VK_RETURN);
  PumpFor(20);
  EXPECT_EQ(Expression(), "2+*3") << "Enter keeps a failing expression";
  try {
    CalculatorResult();
    ADD_FAILURE() << "the result raises";
  } catch (Exception& E) {
    EXPECT_EQ(E.Message(), Message);
  }
  EXPECT_EQ(F->ResultValue(), 5);

  TScriptedPrompts Script;
  Script.Answer(1, "Не нужна");
  F->btnToMemory->Click();
  Command(F->miResultToVariable);
  EXPECT_TRUE(Script.Asked.empty()) << "the memory does nothing while an error is shown";
  EXPECT_EQ(F->cbVariables->Items()->IndexOf("Не нужна"), -1);
}

TEST_F(CalculatorTest, NewVariablesThroughTheInputBoxAndByDraggingTheResult) {
  if (!F->pnlVariables->Visible()) Command(F->miVariables);
  const int Count = F->cbVariables->Items()->Count();
  F->cbVariables->SetItemIndex(-1);
  F->edtExpression->SetText("2+3");
  {
    TScriptedPrompts Script;
    Script.Answer(1, "Результат " + IntToStr(Count + 1));
    F->btnToMemory->Click();
    ASSERT_EQ(Script.Asked.size(), 1u);
    EXPECT_EQ(Script.Asked[0].Kind, TPromptKind::InputQuery);
    EXPECT_EQ(Script.Asked[0].Caption, "Ввод новой переменной");
    EXPECT_EQ(Script.Asked[0].Text, "Введите имя новой переменной и нажмите OK");
    EXPECT_EQ(Script.Asked[0].Value, "Результат " + IntToStr(Count + 1));
  }
  long double Value;
  bool NotFound;
  GetNamedValue("Результат " + IntToStr(Count + 1), Value, NotFound);
  EXPECT_FALSE(NotFound);
  EXPECT_EQ(Value, 5);

  // The real input box, its proposal taken with Enter.
  F->edtExpression->SetText("6*7");
  F->EvaluateExp();
  Later([] { PressKey(VK_RETURN); });
  Command(F->miResultToVariable);
  const AnsiString Proposed = "Результат " + IntToStr(Count + 2);
  EXPECT_NE(F->cbVariables->Items()->IndexOf(Proposed), -1);
  GetNamedValue(Proposed, Value, NotFound);
  EXPECT_EQ(Value, 42);

  F->edtExpression->SetText("1/4");
  F->EvaluateExp();
  {
    TScriptedPrompts Script;
    Script.Answer(1, "Четверть, имя длиннее двадцати");
    DragResultOnto(F->cbVariables);
    EXPECT_EQ(Script.Asked.size(), 1u);
  }
  const int Quarter = F->cbVariables->Items()->IndexOf("Четверть, имя длинне");
  ASSERT_NE(Quarter, -1) << "dropped on the list: a new value, its name cut to 20";
  GetNamedValue("Четверть, имя длинне", Value, NotFound);
  EXPECT_EQ(Value, 0.25L);

  F->cbVariables->SetItemIndex(Quarter);
  F->edtExpression->SetText("3/4");
  F->EvaluateExp();
  DragResultOnto(F->edtVariable);
  EXPECT_EQ(F->edtVariable->Text(), "0,75") << "dropped on the value: the selected one's";
  GetNamedValue("Четверть, имя длинне", Value, NotFound);
  EXPECT_EQ(Value, 0.75L);

  // Back into the expression: alone, or after the operator the picker gives.
  F->edtExpression->SetText("");
  F->btnToCalculator->Click();
  EXPECT_EQ(Expression(), "0.75");
  SetWhole(true);
  F->edtExpression->SetText("1+2");
  RECT Picker{};
  Later([&Picker] {
    GetWindowRect(GetActiveWindow(), &Picker);
    PostText("/");
  });
  F->btnToCalculator->Click();
  EXPECT_EQ(Expression(), "(1+2)/0.75");
  const POINT Below = F->edtExpression->ClientToScreen(POINT{0, F->edtExpression->Height()});
  EXPECT_EQ(Picker.left, Below.x) << "the picker opens at the expression's left edge";
  EXPECT_EQ(Picker.top, Below.y) << "just below it";
}

TEST_F(CalculatorTest, KeysTypedInAnotherControlGoToTheExpression) {
  if (!F->pnlHistory->Visible()) Command(F->miHistory);
  F->btnClearHistory->SetFocus();
  PumpUntilFocused(F->btnClearHistory->Handle());
  Type("(1+2)*4");
  PostKey(VK_BACK);
  PumpFor(20);
  EXPECT_EQ(Expression(), "(1+2)*");
  Type("3=");
  EXPECT_EQ(F->lblResult->Caption(), "9,00");
  EXPECT_EQ(GetFocus(), F->btnClearHistory->Handle());
  Command(F->miHistory);
}

TEST_F(CalculatorTest, MenuItemsTogglePanelsAndTheClientHeight) {
  for (auto [Item, Panel] : {std::pair{F->miButtons, F->pnlButtons},
                             std::pair{F->miHistory, F->pnlHistory},
                             std::pair{F->miVariables, F->pnlVariables}}) {
    const bool Was = Panel->Visible();
    const int Height = F->ClientHeight();
    Command(Item);
    EXPECT_EQ(Panel->Visible(), !Was) << Item->Caption();
    EXPECT_EQ(Item->Checked(), !Was) << Item->Caption();
    EXPECT_EQ(F->ClientHeight(), Height + (Was ? -1 : 1) * Panel->Height()) << Item->Caption();
    Command(Item);
    EXPECT_EQ(Panel->Visible(), Was);
    EXPECT_EQ(F->ClientHeight(), Height) << Item->Caption();
  }
  EXPECT_TRUE(GetWindowLongA(F->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  Command(F->miStayOnTop);
  EXPECT_FALSE(GetWindowLongA(F->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(F->miStayOnTop->Checked());
  Command(F->miStayOnTop);
  const bool Ask = CalculatorAskConfirmation();
  Command(F->miAskConfirmation);
  EXPECT_EQ(CalculatorAskConfirmation(), !Ask);
  Command(F->miAskConfirmation);
}

TEST(MathAction, ThePickerAnswersItsKeysAndButtons) {
  for (char Key : {'+', '-', '*', '/'}) {
    Later([Key] {
      const char Text[2] = {Key, 0};
      PostText(Text);
    });
    EXPECT_EQ(ShowMathAction(200, 200), Key);
  }
  Later([] { PostKey(VK_ESCAPE); });
  EXPECT_EQ(ShowMathAction(200, 200), ' ');
  Later([] {
    HWND Picker = GetActiveWindow();
    SendMessageA(FindWindowExA(Picker, nullptr, "Button", "*"), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(ShowMathAction(200, 200), '*');
}

}  // namespace
