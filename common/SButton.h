#pragma once
// The workstation's flat button and the panel that arranges such buttons
// in rows or a column over a gradient.

#include "forms/Buttons.h"
#include "forms/ExtCtrls.h"

class TSButton : public TSpeedButton {
 public:
  explicit TSButton(TComponent* AOwner);
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  // The left position the button had when the form was built.
  int DesignLeft() const { return FDesignLeft; }
  // Sets the holding form's modal result, then clicks.
  void Click() override;
  void SetText(const AnsiString& Value) override;
  void SetVisible(bool Value) override;
  void Loaded() override;

  // Audit notification: nothing in the program receives it.
  bool Audit = true;

 protected:
  void PaintFrame(RECT& Rect) override;

 private:
  void ParentNeedsArrange();
  TModalResult FModalResult = mrNone;
  int FDesignLeft = 0;
};

class TSPanel : public TCustomPanel {
  friend class TSButton;

 public:
  explicit TSPanel(TComponent* AOwner);
  // 0 leaves the buttons be, 1 one sequence, 2 a leading and a trailing group.
  int ButtonArrange() const { return FButtonArrange; }
  void SetButtonArrange(int Value) { FButtonArrange = Value, NeedArrange(); }
  int LineWidth() const { return FLineWidth; }
  void SetLineWidth(int Value) { FLineWidth = Value, NeedArrange(); }
  bool ReservPlace() const { return FReservPlace; }
  void SetReservPlace(bool Value) { FReservPlace = Value, NeedArrange(); }
  int InColumnHeight() const { return FInColumnHeight; }
  void SetInColumnHeight(int Value) { FInColumnHeight = Value, NeedArrange(); }
  int Orientation() const { return FOrientation; }
  void SetOrientation(int Value) { FOrientation = Value, NeedArrange(); }
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool Value) { FMultiLine = Value, NeedArrange(); }
  bool UseLeftOrdering() const { return FUseLeftOrdering; }
  void SetUseLeftOrdering(bool Value) { FUseLeftOrdering = Value, NeedArrange(); }
  // Kept for the form resources; the painting uses its own gradient.
  TColor GradientColor1 = clWhite, GradientColor2 = clWhite;
  void WndProc(TMessage& Message) override;

 protected:
  void Paint() override;

 private:
  void NeedArrange();
  // Places the buttons; returns the caption area left between the groups.
  RECT Arrange();
  int FButtonArrange = 0, FLineWidth = 22, FInColumnHeight = 30, FOrientation = 0;
  bool FReservPlace = false, FMultiLine = false, FUseLeftOrdering = false;
  bool FNeedArrange = true;
  RECT FCaptionArea{};
};

// True when the screen has more than 8 bits per pixel.
bool HighColorDisplay();
