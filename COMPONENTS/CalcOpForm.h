// The calculator's operator picker: a small tool window of four buttons
// under the expression, answered by a click or by the operator's key.
#pragma once

#include "forms/Forms.h"
#include "forms/StdCtrls.h"

class TFormMathAction : public TForm {
 public:
  explicit TFormMathAction(TComponent* AOwner);
  // The chosen operator; a blank when the picker was left with Esc.
  char Action() const { return FAction; }

 protected:
  void KeyPress(char& Key) override;

 private:
  void Choose(char Action);
  char FAction = ' ';
};

// Shows the picker modally with its top-left corner at the screen point and
// returns the chosen character.
char ShowMathAction(int X, int Y);
