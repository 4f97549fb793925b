// A scroll bar control of its own (the system SCROLLBAR class), for forms
// that scroll something else with it.
#pragma once

#include "forms/Controls.h"

enum TScrollBarKind { sbHorizontal, sbVertical };

class TScrollBar : public TWinControl {
 public:
  explicit TScrollBar(TComponent* AOwner);
  TScrollBarKind Kind() const { return FKind; }
  void SetKind(TScrollBarKind Value);
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  int Position() const { return FPosition; }
  void SetPosition(int Value);
  void SetParams(int APosition, int AMin, int AMax);
  void WndProc(TMessage& Message) override;

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;

 private:
  void Apply();
  TScrollBarKind FKind = sbHorizontal;
  int FMin = 0, FMax = 100, FPosition = 0;
};
