#include "forms/Buttons.h"

#include <algorithm>

namespace {
// Sent to the siblings when a grouped button goes down.
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 0x40;
}  // namespace

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 23, FHeight = 22;
  FClickOnMouseUp = false;
  FGlyph.Transparent = true;
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetFlat(bool Value) {
  FFlat = Value;
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int Value) {
  Value = std::clamp(Value, 1, 4);
  if (FNumGlyphs == Value) return;
  FNumGlyphs = Value;
  Invalidate();
}

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (FDown == Value) return;
  if (FDown && !FAllowAllUp) return;
  FDown = Value;
  FState = Value ? bsExclusive : bsUp;
  if (Value) UpdateExclusive();
  Invalidate();
}

void TSpeedButton::UpdateExclusive() {
  if (!FGroupIndex || !Parent()) return;
  TMessage Message{CM_BUTTONPRESSED, static_cast<WPARAM>(FGroupIndex),
                   reinterpret_cast<LPARAM>(this), 0};
  Parent()->Broadcast(Message);
}

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (!FDown) {
    FState = bsDown;
    Invalidate();
  }
  FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  bool Inside = X >= 0 && X < Width() && Y >= 0 && Y < Height();
  TButtonState NewState = Inside ? bsDown : (FDown ? bsExclusive : bsUp);
  if (!FDown && NewState != FState) {
    FState = NewState;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (!FDragging || Button != mbLeft) return;
  FDragging = false;
  bool Inside = X >= 0 && X < Width() && Y >= 0 && Y < Height();
  if (FGroupIndex == 0) {
    FState = bsUp;
    Invalidate();
  } else if (Inside) {
    SetDown(!FDown);
  } else {
    FState = FDown ? bsExclusive : bsUp;
    Invalidate();
  }
  if (Inside) Click();
}

void TSpeedButton::MouseEnter() {
  TGraphicControl::MouseEnter();
  if (FFlat && Enabled()) Invalidate();
}

void TSpeedButton::MouseLeave() {
  TGraphicControl::MouseLeave();
  if (FFlat && Enabled()) Invalidate();
}

void TSpeedButton::WndProc(TMessage& Message) {
  if (Message.Msg == CM_BUTTONPRESSED) {
    auto* Sender = reinterpret_cast<TSpeedButton*>(Message.LParam);
    if (Sender != this && static_cast<int>(Message.WParam) == FGroupIndex && FDown) {
      FDown = false;
      FState = bsUp;
      Invalidate();
    }
    return;
  }
  if (Message.Msg == CM_ENABLEDCHANGED)
    FState = Enabled() ? (FDown ? bsExclusive : bsUp) : bsDisabled;
  TGraphicControl::WndProc(Message);
}

void TSpeedButton::PaintFrame(RECT& Rect) {
  TCanvas* C = Canvas();
  bool Pushed = FState == bsDown || FState == bsExclusive;
  if (!FFlat) {
    DrawFrameControl(C->Handle(), &Rect, DFC_BUTTON, DFCS_BUTTONPUSH | (Pushed ? DFCS_PUSHED : 0));
    InflateRect(&Rect, -2, -2);
    return;
  }
  C->FillRect(Rect);
  if (Pushed || (FMouseInControl && Enabled())) {
    DrawEdge(C->Handle(), &Rect, Pushed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  InflateRect(&Rect, -1, -1);
}

void TSpeedButton::PaintContent(const RECT& Rect) {
  TCanvas* C = Canvas();
  AnsiString Content = Text();
  int Offset = (FState == bsDown || FState == bsExclusive) ? 1 : 0;
  RECT TextBox{0, 0, 0, 0};
  C->TextExtent("");
  if (!Content.empty())
    DrawTextA(C->Handle(), Content.c_str(), static_cast<int>(Content.size()), &TextBox,
              DT_SINGLELINE | DT_CALCRECT);
  int GlyphWidth = FGlyph.Empty() ? 0 : ButtonGlyphWidth(&FGlyph, FNumGlyphs);
  int Spacing = GlyphWidth && !Content.empty() ? 4 : 0;
  int Total = GlyphWidth + Spacing + TextBox.right;
  int X = Rect.left + (Rect.right - Rect.left - Total + 1) / 2 + Offset;
  int MidY = (Rect.top + Rect.bottom) / 2 + Offset;
  if (GlyphWidth)
    DrawButtonGlyph(C->Handle(), X, MidY - FGlyph.Height() / 2, &FGlyph, FNumGlyphs,
                    Enabled() ? FState : bsDisabled);
  if (Content.empty()) return;
  RECT Place{X + GlyphWidth + Spacing, MidY - TextBox.bottom / 2, X + Total,
             MidY - TextBox.bottom / 2 + TextBox.bottom};
  C->Brush()->SetStyle(bsClear);
  if (FState == bsDisabled || !Enabled()) {
    OffsetRect(&Place, 1, 1);
    SetTextColor(C->Handle(), ColorToRGB(clBtnHighlight));
    DrawTextA(C->Handle(), Content.c_str(), static_cast<int>(Content.size()), &Place,
              DT_SINGLELINE);
    OffsetRect(&Place, -1, -1);
    SetTextColor(C->Handle(), ColorToRGB(clBtnShadow));
  }
  DrawTextA(C->Handle(), Content.c_str(), static_cast<int>(Content.size()), &Place, DT_SINGLELINE);
}

void TSpeedButton::Paint() {
  if (!Enabled())
    FState = bsDisabled;
  else if (FState == bsDisabled)
    FState = FDown ? bsExclusive : bsUp;
  RECT R{0, 0, Width(), Height()};
  PaintFrame(R);
  PaintContent(R);
}

int ButtonGlyphWidth(TBitmap* Glyph, int NumGlyphs) {
  return Glyph->Width() / std::clamp(NumGlyphs, 1, 4);
}

void DrawButtonGlyph(HDC DC, int X, int Y, TBitmap* Glyph, int NumGlyphs, TButtonState State) {
  if (!Glyph || Glyph->Empty()) return;
  NumGlyphs = std::clamp(NumGlyphs, 1, 4);
  int W = ButtonGlyphWidth(Glyph, NumGlyphs), H = Glyph->Height();
  if (W <= 0) return;
  int Image = State < NumGlyphs ? static_cast<int>(State) : 0;
  HDC Source = Glyph->Canvas()->Handle();
  COLORREF Transparent = GetPixel(Source, 0, H - 1);
  if (State != bsDisabled || Image != 0) {
    TransparentBlt(DC, X, Y, W, H, Source, Image * W, 0, W, H, Transparent);
    return;
  }
  COLORREF Grey = ColorToRGB(clBtnShadow);
  for (int GY = 0; GY < H; ++GY)
    for (int GX = 0; GX < W; ++GX)
      if (GetPixel(Source, GX, GY) != Transparent) SetPixel(DC, X + GX, Y + GY, Grey);
}
