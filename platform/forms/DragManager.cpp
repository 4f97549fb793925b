#include "forms/DragManager.h"

#include <cstdlib>

namespace {

TControl* Dragged = nullptr;

// A windowless control drags through its parent's window.
HWND CaptureWindowOf(TControl* Control) {
  if (auto* Win = dynamic_cast<TWinControl*>(Control)) return Win->Handle();
  return Control->Parent() ? Control->Parent()->Handle() : nullptr;
}

POINT ScreenPointOf(const MSG& Msg) {
  POINT P{static_cast<short>(LOWORD(Msg.lParam)), static_cast<short>(HIWORD(Msg.lParam))};
  ClientToScreen(Msg.hwnd, &P);
  return P;
}

class TDrag {
 public:
  explicit TDrag(TControl* Source) : FSource(Source) {}

  // Follows the cursor: the target it left hears so, the one under it is asked.
  void Track(POINT Screen) {
    TControl* Now = FindDragTarget(Screen);
    if (Now != FTarget) {
      if (FTarget) Ask(FTarget, Screen, dsDragLeave);
      FTarget = Now;
      FAccepted = FTarget && Ask(FTarget, Screen, dsDragEnter);
    } else if (FTarget) {
      FAccepted = Ask(FTarget, Screen, dsDragMove);
    }
    SetCursor(LoadCursorA(nullptr, FAccepted ? IDC_ARROW : IDC_NO));
  }

  void End(POINT Screen, bool Drop) {
    TControl* Target = Drop && FAccepted ? FTarget : nullptr;
    if (FTarget && !Target) Ask(FTarget, Screen, dsDragLeave);
    POINT P = Target ? Target->ScreenToClient(Screen) : POINT{0, 0};
    if (Target) Target->DragDrop(FSource, P.x, P.y);
    FSource->DoEndDrag(Target, P.x, P.y);
  }

 private:
  bool Ask(TControl* Target, POINT Screen, TDragState State) {
    POINT P = Target->ScreenToClient(Screen);
    bool Accept = false;
    Target->DragOver(FSource, P.x, P.y, State, Accept);
    return Accept;
  }

  TControl* FSource;
  TControl* FTarget = nullptr;
  bool FAccepted = false;
};

}  // namespace

TControl* DragSource() { return Dragged; }

TControl* FindDragTarget(POINT ScreenPoint) {
  return FindBoundControl(WindowFromPoint(ScreenPoint));
}

void RunDrag(TControl* Source, bool Immediate, int Threshold, POINT Start) {
  HWND Wnd = CaptureWindowOf(Source);
  if (Dragged || !Wnd) return;
  if (Threshold < 0) Threshold = GetSystemMetrics(SM_CXDRAG);
  Dragged = Source;
  SetCapture(Wnd);
  TDrag Drag(Source);
  bool Started = Immediate, Drop = false;
  if (Started) Drag.Track(Start);
  POINT Last = Start;
  MSG Msg{};
  for (;;) {
    if (GetCapture() != Wnd) break;  // taken away: a cancel
    if (GetMessageA(&Msg, nullptr, 0, 0) <= 0) {
      PostQuitMessage(static_cast<int>(Msg.wParam));
      break;
    }
    if (Msg.message == WM_MOUSEMOVE && Msg.hwnd == Wnd) {
      Last = ScreenPointOf(Msg);
      Started = Started || std::abs(Last.x - Start.x) >= Threshold ||
                std::abs(Last.y - Start.y) >= Threshold;
      if (Started) Drag.Track(Last);
      continue;
    }
    if (Msg.message == WM_LBUTTONUP && Msg.hwnd == Wnd) {
      Last = ScreenPointOf(Msg);
      if (Started) Drag.Track(Last);
      Drop = Started;
      break;
    }
    if (Msg.message == WM_RBUTTONDOWN || (Msg.message == WM_KEYDOWN && Msg.wParam == VK_ESCAPE)) {
      Msg.message = 0;
      break;
    }
    TranslateMessage(&Msg);
    DispatchMessageA(&Msg);
  }
  ReleaseCapture();
  Drag.End(Last, Drop);
  Dragged = nullptr;
  // The window's own press tracking ends with the release.
  if (Msg.message == WM_LBUTTONUP) DispatchMessageA(&Msg);
}
