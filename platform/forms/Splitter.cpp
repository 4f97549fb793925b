#include "forms/Splitter.h"

#include <algorithm>

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 100, FHeight = 3;
  SetAlign(alTop);
  SetCursor(crVSplit);
}

// The visible control aligned on the splitter's side whose inner edge
// touches it.
TControl* TSplitter::FindControl() const {
  if (!Parent()) return nullptr;
  for (int I = 0; I < Parent()->ControlCount(); ++I) {
    TControl* C = Parent()->Controls(I);
    if (C == this || C->Align() != Align() || !C->Visible()) continue;
    if (Align() == alTop ? C->Top() + C->Height() == Top() : C->Top() == Top() + Height())
      return C;
  }
  return nullptr;
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FControl = FindControl();
  if (!FControl) return;
  FDownY = Top() + Y;
  FDownHeight = FControl->Height();
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!FControl || !Shift.Contains(ssLeft)) return;
  const int Delta = Top() + Y - FDownY;
  int NewSize = std::max(0, FDownHeight + (Align() == alTop ? Delta : -Delta));
  bool Accept = true;
  if (OnCanResize) OnCanResize(this, NewSize, Accept);
  if (Accept && NewSize != FControl->Height()) FControl->SetHeight(NewSize);
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  FControl = nullptr;
}
