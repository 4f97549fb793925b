#include "forms/HintWindow.h"

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clInfoBk);
  Font()->SetColor(clInfoText);
  SetVisible(false);
}

void THintWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = WS_POPUP | WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
}

RECT THintWindow::CalcHintRect(int MaxWidth, const AnsiString& AHint, void*) {
  TWindowDC DC;
  TSelectObject Select(DC.Get(), Font()->Handle());
  RECT R{0, 0, MaxWidth, 0};
  DrawTextA(DC.Get(), AHint.c_str(), static_cast<int>(AHint.size()), &R,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
  R.right += 6, R.bottom += 2;
  return R;
}

void THintWindow::ActivateHint(const RECT& Rect, const AnsiString& AHint) {
  FHintText = AHint;
  FActive = true;
  HWND Wnd = Handle();
  SetWindowPos(Wnd, HWND_TOPMOST, Rect.left, Rect.top, Rect.right - Rect.left,
               Rect.bottom - Rect.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(Wnd, nullptr, TRUE);
}

void THintWindow::ReleaseHandle() {
  FActive = false;
  if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

// The mouse goes through to the control below: a hint over its own cell
// must not take the mouse from it.
void THintWindow::WndProc(TMessage& Message) {
  if (Message.Msg == WM_NCHITTEST) {
    Message.Result = HTTRANSPARENT;
    return;
  }
  TCustomControl::WndProc(Message);
}

void THintWindow::Paint() {
  RECT R = ClientRect();
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(R);
  R.left += 2;
  // In the font the text was measured in, not the context's own.
  Canvas()->Prepare(true, false, false);
  SetBkMode(Canvas()->Handle(), TRANSPARENT);
  DrawTextA(Canvas()->Handle(), FHintText.c_str(), static_cast<int>(FHintText.size()), &R,
            DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
}
