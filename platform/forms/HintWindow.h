// A small window that shows a hint text over other windows without taking
// the focus.
#pragma once

#include "forms/Controls.h"

class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(TComponent* AOwner);
  // The rectangle the text needs, at most MaxWidth wide (word wrap), its
  // top left at 0, 0; Data is the hint's data (THintInfo).
  virtual RECT CalcHintRect(int MaxWidth, const AnsiString& AHint, void* Data);
  // Shows the text in the rectangle (screen coordinates).
  void ActivateHint(const RECT& Rect, const AnsiString& AHint);
  void ReleaseHandle();
  bool Active() const { return FActive; }
  const AnsiString& HintText() const { return FHintText; }
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;

 private:
  AnsiString FHintText;
  bool FActive = false;
};
