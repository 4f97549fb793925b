// The desktop calculator: an expression evaluated with a chosen number of
// decimals, a history of results and named values, and the four routines
// through which the service grid hands it field values and takes its result.
#pragma once

#include "forms/Buttons.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"

class TfrmCalculator : public TForm {
 public:
  explicit TfrmCalculator(TComponent* AOwner);

  int Digits() const { return FDigits; }
  long double ResultValue() const { return FResultValue; }
  // Evaluates the expression into the result label, the result and the
  // history; on an error shows the evaluator's message, selects where it
  // stopped, keeps all else and returns false.
  bool EvaluateExp();
  // Evaluates and puts the result into the expression, adding no history.
  void EvaluateExp2();
  // Appends text to the expression and gives it the focus.
  void addChar(const AnsiString& Text);
  // Combines a number, written in the user's format, into the expression.
  void ApplyOperation(const AnsiString& Operand, char Operator);
  // The message of the last failed evaluation, or empty.
  const AnsiString& ErrorMessage() const { return FErrorMessage; }
  // An evaluation failed and its message is shown.
  bool ErrorShown() const { return FErrorShown; }
  bool StayOnTop() const { return FStayOnTop; }
  void SetStayOnTop(bool Value);

  TPanel* pnlMain;
  TEdit* edtExpression;
  TLabel* lblEqual;
  TLabel* lblResult;
  TSpeedButton* btnToMemory;
  TPanel* pnlVariables;
  TComboBox* cbVariables;
  TEdit* edtVariable;
  TLabel* lblVariableEqual;
  TSpeedButton* btnToCalculator;
  TPanel* pnlHistory;
  TComboBox* cbHistory;
  TButton* btnClearHistory;
  TPanel* pnlButtons;
  TMainMenu* mnuMain;
  TMenuItem *miView, *miStayOnTop, *miButtons, *miHistory, *miVariables, *miPrecision;
  TMenuItem* miDigits[4];
  TMenuItem *miEdit, *miResultToVariable, *miClearHistory, *miAskConfirmation, *miApplyTo,
      *miWholeExpression, *miLastNumber, *miHelp, *miClose;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;

 private:
  void BuildMainPanel();
  void BuildVariablesPanel();
  void BuildHistoryPanel();
  void BuildButtonsPanel();
  void BuildMenu();
  TMenuItem* AddItem(TMenuItem* Parent, const AnsiString& Caption, TNotifyEvent OnClick = {});
  void TogglePanel(TMenuItem* Item, TPanel* Panel);
  void ArrangePanels();
  void SetDigits(int Value);
  bool Evaluate(long double& Value);
  void ExpressionKeyPress(char& Key);
  void ToMemory();
  void NewVariable();
  void UpdateVariable();
  void VariableSelected();
  void ToCalculator();
  // The operator picked under the expression; a blank when none was.
  char GetOp();
  void FormActivated();
  int FDigits = 2;
  long double FResultValue = 0;
  AnsiString FErrorMessage;
  bool FErrorShown = false, FStayOnTop = true;
};

// Created on first use, owned by the application.
TfrmCalculator* Calculator();
// Shows the calculator without waiting.
void ShowCalculator();
// Combines the operand (a number in the user's format) into the expression
// with +, -, * or /; a non-number is refused with a warning.
void CalculatorApplyOperation(const AnsiString& Operand, char Operator);
// Evaluates the expression as "=" does and returns the result; raises with
// the evaluator's message when it fails.
long double CalculatorResult();
// "Запрашивать подтверждение": the grid asks before it stores a result.
bool CalculatorAskConfirmation();
