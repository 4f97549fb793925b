#include "forms/ScrollBar.h"

#include <algorithm>

TScrollBar::TScrollBar(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
}

void TScrollBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = "SCROLLBAR";
  Params.SystemClass = true;
  Params.Style |= FKind == sbVertical ? SBS_VERT : SBS_HORZ;
}

void TScrollBar::AfterCreateWnd() {
  TWinControl::AfterCreateWnd();
  Apply();
}

void TScrollBar::SetKind(TScrollBarKind Value) {
  if (FKind == Value) return;
  FKind = Value;
  SetBounds(Left(), Top(), Height(), Width());
  RecreateWnd();
}

void TScrollBar::SetParams(int APosition, int AMin, int AMax) {
  AMax = std::max(AMax, AMin);
  APosition = std::clamp(APosition, AMin, AMax);
  bool Changed = APosition != FPosition;
  FMin = AMin, FMax = AMax, FPosition = APosition;
  Apply();
  if (Changed && OnChange) OnChange(this);
}

void TScrollBar::SetPosition(int Value) { SetParams(Value, FMin, FMax); }

void TScrollBar::Apply() {
  if (!HandleAllocated()) return;
  SCROLLINFO Info{sizeof Info, SIF_RANGE | SIF_POS, FMin, FMax, 0, FPosition, 0};
  SetScrollInfo(Handle(), SB_CTL, &Info, TRUE);
}

void TScrollBar::WndProc(TMessage& Message) {
  if (Message.Msg == CN_HSCROLL || Message.Msg == CN_VSCROLL) {
    int Pos = FPosition;
    switch (LOWORD(Message.WParam)) {
      case SB_LINEUP:
        --Pos;
        break;
      case SB_LINEDOWN:
        ++Pos;
        break;
      case SB_PAGEUP:
        Pos -= 10;
        break;
      case SB_PAGEDOWN:
        Pos += 10;
        break;
      case SB_THUMBPOSITION:
      case SB_THUMBTRACK:
        Pos = static_cast<short>(HIWORD(Message.WParam));
        break;
      case SB_TOP:
        Pos = FMin;
        break;
      case SB_BOTTOM:
        Pos = FMax;
        break;
      default:
        break;
    }
    SetPosition(Pos);
    Message.Result = 0;
    return;
  }
  TWinControl::WndProc(Message);
}
