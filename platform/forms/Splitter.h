// A bar between controls aligned at the top (or the bottom): dragged with
// the mouse, it resizes the control aligned before it on the same side,
// which follows while dragging.
#pragma once

#include "forms/Controls.h"

class TSplitter : public TGraphicControl {
 public:
  explicit TSplitter(TComponent* AOwner);

  // Asked with the height a drag would give; clearing Accept leaves the
  // control as it is.
  std::function<void(TObject* Sender, int& NewSize, bool& Accept)> OnCanResize;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  TControl* FindControl() const;
  TControl* FControl = nullptr;
  int FDownY = 0, FDownHeight = 0;  // in the parent's client area
};
