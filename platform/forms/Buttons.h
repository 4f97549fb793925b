// The speed button: windowless, never takes the focus.
#pragma once

#include "forms/Controls.h"

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* AOwner);
  ~TSpeedButton() override;
  TBitmap* Glyph() { return &FGlyph; }
  // Images side by side in the glyph: up, disabled, down, staying down.
  int NumGlyphs() const { return FNumGlyphs; }
  // Kept within 1 to 4.
  void SetNumGlyphs(int Value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int Value) { FGroupIndex = Value; }
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }
  TButtonState State() const { return FState; }
  bool MouseInControl() const { return FMouseInControl; }

 protected:
  void Paint() override;
  // The face: frame and background for the state.
  virtual void PaintFrame(RECT& Rect);
  // Glyph and caption, centred together in the rectangle.
  void PaintContent(const RECT& Rect);
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void WndProc(TMessage& Message) override;

 private:
  void UpdateExclusive();
  TBitmap FGlyph;
  bool FFlat = false, FDown = false, FAllowAllUp = false, FDragging = false;
  int FGroupIndex = 0, FNumGlyphs = 1;
  TButtonState FState = bsUp;
};

// The width of one image of a glyph of NumGlyphs images.
int ButtonGlyphWidth(TBitmap* Glyph, int NumGlyphs);
// Draws the image of the glyph that shows State, the first where the glyph
// has none for it, with the bottom-left colour left out; a disabled button
// without an image of its own shows the first in grey.
void DrawButtonGlyph(HDC DC, int X, int Y, TBitmap* Glyph, int NumGlyphs, TButtonState State);
