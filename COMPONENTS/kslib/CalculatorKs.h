// A pocket calculator as a control (a display over a pad of buttons that
// feed the same key processing as the keyboard), and its drop-down form,
// which never takes the focus from the editor that forwards keys to it.
#pragma once

#include "COMPONENTS/kslib/PopupCtrlsKs.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "forms/ExtCtrls.h"
#include "forms/StdCtrls.h"
#include "rtl/Variants.h"

class TCalculatorKs : public TCustomControl {
 public:
  // 0: a result is shown, the next digit starts a new number; 1: a number
  // is being typed; 2: error.
  enum TState { csResult, csTyping, csError };

  explicit TCalculatorKs(TComponent* AOwner);

  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TState State() const { return FState; }
  // The equal button, reading "Ok" or "=".
  TSpeedButtonKs* spEqual() const { return FspEqual; }
  TLabel* TextBox() const { return FTextBox; }
  // The shown number; 0 in the error state. Raises the conversion error
  // for a display that is not a number.
  double DisplayValue();
  // Shown in the general format with 15 digits; a value that is not finite
  // is the error state.
  void SetDisplayValue(double Value);
  // The frame the window's style adds to the client area, both sides.
  virtual int GetBorderSize();
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void SpeedButtonClick(TObject* Sender);
  virtual void ProcessKey(char Key);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void KeyPress(char& Key) override;
  bool DoMouseWheelDown(TShiftState Shift, POINT MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, POINT MousePos) override;
  // The size auto-size gives the control.
  virtual void CanAutoSize(int& NewWidth, int& NewHeight);
  void UpdateAutoSize();

 private:
  void BuildPad();
  void ScaleToScreen();
  void BeginNumber();
  void Clear();
  void SetError();
  void Operator(char Key);
  void PasteNumber();
  void UpdateEqualCaption();
  TPanel* FDisplay;
  TLabel* FTextBox;
  TSpeedButtonKs* FspEqual = nullptr;
  TBorderStyle FBorderStyle = bsNone;
  int FStoredClientWidth = 184, FStoredClientHeight = 127;
  double FOperand = 0;
  char FOperator = '=';
  int FPixelsPerInch = 96, FTextHeight = 13;
  TState FState = csResult;
  bool FAutoSizing = false;
};

// What the owner of a popup calculator asks of it.
class IPopupCalculatorKs {
 public:
  // The equal button reads "Ok": Enter accepts the shown number.
  virtual bool CanAccept() = 0;
  virtual bool GetFlat() = 0;
  // The number; a Variant of type varError in the error state.
  virtual Variant GetValue() = 0;
  virtual void SetFlat(bool Value) = 0;
  // Clears the calculator and shows the value as a number.
  virtual void SetValue(const Variant& Value) = 0;

 protected:
  ~IPopupCalculatorKs() = default;
};

// Asks the popup to close without accepting.
constexpr UINT WM_CLOSEUPCALCULATORKS = WM_USER + 101;

class TPopupCalculatorKs : public TCalculatorKs, public IPopupCalculatorKs {
 public:
  explicit TPopupCalculatorKs(TComponent* AOwner);

  bool CanAccept() override;
  bool GetFlat() override { return FFlat; }
  Variant GetValue() override;
  void SetFlat(bool Value) override;
  void SetValue(const Variant& Value) override;
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  int FrameWidth() const { return FCtl3D ? 2 : 0; }
  // Shown without activation, its top-left corner at the screen point.
  void ShowAt(POINT Position);
  int GetBorderSize() override;
  void ProcessKey(char Key) override;
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CanAutoSize(int& NewWidth, int& NewHeight) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;

 private:
  void CloseOwner(bool Accept);
  void DrawBorder();
  bool FCtl3D = true, FFlat = true;
};
