#include "forms/ExtCtrls.h"

#include <map>

#include "forms/Forms.h"

// --- TCustomPanel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  FWidth = 185, FHeight = 41;
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
  FBevelOuter = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
  FBevelInner = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int Value) {
  FBevelWidth = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(int Value) {
  FBorderWidth = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Invalidate();
}

// Aligned children keep inside the bevels.
void TCustomPanel::AdjustClientRect(RECT& Rect) {
  int Border = ((FBevelOuter != bvNone) + (FBevelInner != bvNone)) * FBevelWidth + FBorderWidth;
  InflateRect(&Rect, -Border, -Border);
}

RECT TCustomPanel::PaintBevels() {
  TCanvas* C = Canvas();
  RECT R{0, 0, Width(), Height()};
  auto Bevel = [&](TBevelCut Cut) {
    if (Cut == bvNone) return;
    COLORREF TopLeft = ColorToRGB(Cut == bvRaised ? clBtnHighlight : clBtnShadow);
    COLORREF BottomRight = ColorToRGB(Cut == bvRaised ? clBtnShadow : clBtnHighlight);
    for (int I = 0; I < FBevelWidth; ++I) {
      C->Pen()->SetColor(static_cast<TColor>(TopLeft));
      C->MoveTo(R.left, R.bottom - 1);
      C->LineTo(R.left, R.top);
      C->LineTo(R.right - 1, R.top);
      C->Pen()->SetColor(static_cast<TColor>(BottomRight));
      C->LineTo(R.right - 1, R.bottom - 1);
      C->LineTo(R.left, R.bottom - 1);
      InflateRect(&R, -1, -1);
    }
  };
  Bevel(FBevelOuter);
  InflateRect(&R, -FBorderWidth, -FBorderWidth);
  Bevel(FBevelInner);
  return R;
}

void TCustomPanel::PaintCaption(RECT Rect) {
  AnsiString Content = Text();
  if (Content.empty()) return;
  TCanvas* C = Canvas();
  C->Brush()->SetStyle(bsClear);
  C->TextExtent("");
  static const UINT Alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  DrawTextA(C->Handle(), Content.c_str(), static_cast<int>(Content.size()), &Rect,
            DT_SINGLELINE | DT_VCENTER | Alignments[FAlignment]);
}

void TCustomPanel::Paint() {
  Canvas()->FillRect(RECT{0, 0, Width(), Height()});
  PaintCaption(PaintBevels());
}

// --- TBevel

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 50, FHeight = 50;
  FClickOnMouseUp = false;
}

void TBevel::SetShape(TBevelShape Value) {
  FShape = Value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value) {
  FStyle = Value;
  Invalidate();
}

void TBevel::Paint() {
  if (FShape == bsSpacer) return;
  RECT R{0, 0, Width(), Height()};
  static const UINT Sides[] = {BF_RECT, BF_RECT, BF_TOP, BF_BOTTOM, BF_LEFT, BF_RIGHT};
  UINT Edge = FShape == bsFrame ? (FStyle == bsLowered ? EDGE_ETCHED : EDGE_BUMP)
                                : (FStyle == bsLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER);
  DrawEdge(Canvas()->Handle(), &R, Edge, Sides[FShape]);
}

// --- TImage

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 105, FHeight = 105;
  FPicture.OnChange = [this](TObject*) { Invalidate(); };
}

void TImage::SetCenter(bool Value) {
  FCenter = Value;
  Invalidate();
}

void TImage::SetStretch(bool Value) {
  FStretch = Value;
  Invalidate();
}

void TImage::Paint() {
  TGraphic* G = FPicture.Graphic();
  if (!G || G->Empty()) return;
  if (FStretch) {
    Canvas()->StretchDraw(RECT{0, 0, Width(), Height()}, G);
  } else if (FCenter) {
    Canvas()->Draw((Width() - G->Width()) / 2, (Height() - G->Height()) / 2, G);
  } else {
    Canvas()->Draw(0, 0, G);
  }
}

// --- TTimer

namespace {

std::map<UINT_PTR, TTimer*>& Timers() {
  static std::map<UINT_PTR, TTimer*> Map;
  return Map;
}

}  // namespace

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) { UpdateTimer(); }

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
}

void CALLBACK TTimer::TimerProc(HWND, UINT, UINT_PTR Id, DWORD) {
  auto It = Timers().find(Id);
  if (It == Timers().end()) return;
  TTimer* Timer = It->second;
  try {
    if (Timer->OnTimer) Timer->OnTimer(Timer);
  } catch (...) {
    Application->HandleException(Timer);
  }
}

void TTimer::UpdateTimer() {
  if (FId) {
    KillTimer(nullptr, FId);
    Timers().erase(FId);
    FId = 0;
  }
  if (FEnabled && FInterval) {
    FId = SetTimer(nullptr, 0, FInterval, &TimerProc);
    Timers()[FId] = this;
  }
}

void TTimer::SetEnabled(bool Value) {
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
  FInterval = Value;
  UpdateTimer();
}
