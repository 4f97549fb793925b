#include "forms/Forms.h"

#include <algorithm>

#include "forms/ActnList.h"
#include "forms/HintWindow.h"
#include "forms/Menus.h"
#include "forms/Prompts.h"

TApplication* Application = new TApplication(nullptr);
TScreen* Screen = new TScreen(nullptr);

// --- TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  FVisible = false;
  FWidth = 320, FHeight = 240;
  Screen->FForms.push_back(this);
}

TCustomForm::~TCustomForm() {
  FDestroying = true;
  if (OnDestroy) OnDestroy(this);
  auto& Forms = Screen->FForms;
  Forms.erase(std::remove(Forms.begin(), Forms.end(), this), Forms.end());
  auto& Released = Application->FReleased;
  Released.erase(std::remove(Released.begin(), Released.end(), this), Released.end());
  if (Application->FMainForm == this) Application->FMainForm = nullptr;
}

// As after reading a form resource: every component is told it is set
// up, then the form's OnCreate runs.
void TCustomForm::DoCreate() {
  for (int I = 0; I < ComponentCount(); ++I) Components(I)->Loaded();
  if (OnCreate) OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.Style &= ~(WS_CHILD | WS_VISIBLE);
  switch (FBorderStyle) {
    case bsNone:
      Params.Style |= WS_POPUP;
      break;
    case bsSingle:
      Params.Style |= WS_CAPTION | WS_BORDER;
      break;
    case bsSizeable:
      Params.Style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case bsDialog:
      Params.Style |= WS_POPUP | WS_CAPTION | DS_MODALFRAME;
      Params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case bsToolWindow:
      Params.Style |= WS_CAPTION, Params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      Params.Style |= WS_CAPTION | WS_THICKFRAME, Params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu)) {
    Params.Style |= WS_SYSMENU;
    bool Boxes = FBorderStyle == bsSingle || FBorderStyle == bsSizeable;
    if (Boxes && FBorderIcons.Contains(biMinimize)) Params.Style |= WS_MINIMIZEBOX;
    if (Boxes && FBorderIcons.Contains(biMaximize)) Params.Style |= WS_MAXIMIZEBOX;
  }
  // Secondary forms stay above the form that was active, and off the task bar.
  TCustomForm* Main = Application->MainForm();
  TCustomForm* Above = Screen->ActiveForm();
  if (!Above || Above == this) Above = Main;
  if (Above && Above != this && Above->HandleAllocated()) Params.WndParent = Above->Handle();
  if (this == Main) Params.ExStyle |= WS_EX_APPWINDOW;
}

void TCustomForm::AfterCreateWnd() {
  if (FMenu) ::SetMenu(FHandle, FMenu->Handle());
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (FBorderStyle == Value) return;
  RECT Client = ClientRect();
  FBorderStyle = Value;
  RecreateWnd();
  SetClientSize(Client.right, Client.bottom);
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  FBorderIcons = Value;
  RecreateWnd();
}

void TCustomForm::SetMenu(TMainMenu* Value) {
  FMenu = Value;
  if (FHandle) ::SetMenu(FHandle, Value ? Value->Handle() : nullptr);
}

bool TCustomForm::Active() const { return FHandle && GetActiveWindow() == FHandle; }

bool TCustomForm::Showing() const { return FVisible && FHandle && IsWindowVisible(FHandle); }

void TCustomForm::ApplyPosition() {
  TCustomForm* Main = Application->MainForm();
  RECT Area{0, 0, Screen->Width(), Screen->Height()};
  switch (FPosition) {
    case poMainFormCenter:
    case poOwnerFormCenter:
      if (Main && Main != this && Main->Showing()) Area = Main->BoundsRect();
      [[fallthrough]];
    case poScreenCenter:
      SetBounds(Area.left + (Area.right - Area.left - FWidth) / 2,
                Area.top + (Area.bottom - Area.top - FHeight) / 2, FWidth, FHeight);
      break;
    default:
      break;
  }
}

void TCustomForm::SetVisible(bool Value) {
  if (Value) {
    if (Showing()) return;
    ApplyPosition();
    HandleNeeded();
    FVisible = true;
    if (OnShow) OnShow(this);
    ShowWindow(FHandle, SW_SHOW);
    SetForegroundWindow(FHandle);
  } else {
    if (!FVisible) return;
    // Drop-downs are windows of their own: they would outlive the form.
    SendCancelMode(nullptr);
    if (OnHide) OnHide(this);
    FVisible = false;
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
  }
}

void TCustomForm::SetFocus() {
  SetForegroundWindow(Handle());
  SetActiveWindow(Handle());
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
  if (Control && FVisible && !Control->CanFocus())
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  FActiveControl = Control;
  if (Control && Active()) ::SetFocus(Control->Handle());
}

void TCustomForm::SetFocusedControl(TWinControl* Control) {
  FActiveControl = Control;
  if (FFocusedControl == Control) return;
  TWinControl* Old = FFocusedControl;
  FFocusedControl = Control;
  if (Old) Old->Perform(CM_EXIT);
  if (FFocusedControl == Control) Control->Perform(CM_ENTER);
}

void TCustomForm::SendCancelMode(TControl* Sender) {
  if (FActiveControl) FActiveControl->Perform(CM_CANCELMODE, reinterpret_cast<WPARAM>(Sender));
}

void TCustomForm::ControlDestroyed(TWinControl* Control) {
  if (FActiveControl == Control) FActiveControl = nullptr;
  if (FFocusedControl == Control) FFocusedControl = nullptr;
}

namespace {

BOOL CALLBACK CollectEnabledWindow(HWND Wnd, LPARAM List) {
  if (IsWindowVisible(Wnd) && IsWindowEnabled(Wnd))
    reinterpret_cast<std::vector<HWND>*>(List)->push_back(Wnd);
  return TRUE;
}

}  // namespace

std::vector<HWND> DisableTaskWindows(HWND Except) {
  std::vector<HWND> Windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&Windows));
  std::erase(Windows, Except);
  for (HWND Wnd : Windows) EnableWindow(Wnd, FALSE);
  return Windows;
}

void EnableTaskWindows(const std::vector<HWND>& Windows) {
  for (HWND Wnd : Windows)
    if (IsWindow(Wnd)) EnableWindow(Wnd, TRUE);
}

int TCustomForm::ShowModal() {
  if (FVisible || FModal) throw EInvalidOperation("Cannot make a visible window modal");
  if (GetCapture()) SendMessageA(GetCapture(), WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  HWND ActiveWindow = GetActiveWindow();
  std::vector<HWND> Disabled = DisableTaskWindows();
  auto Restore = [&] {
    EnableTaskWindows(Disabled);
    Hide();
    FModal = false;
    if (ActiveWindow && IsWindow(ActiveWindow)) SetActiveWindow(ActiveWindow);
  };
  FModal = true;
  FModalResult = mrNone;
  try {
    Show();
    do {
      Application->HandleMessage();
      if (Application->Terminated()) {
        FModalResult = mrCancel;
      } else if (FModalResult != mrNone && !CloseQuery()) {
        FModalResult = mrNone;
      }
    } while (FModalResult == mrNone);
  } catch (...) {
    Restore();
    throw;
  }
  Restore();
  return FModalResult;
}

bool TCustomForm::CloseQuery() {
  bool CanClose = true;
  if (OnCloseQuery) OnCloseQuery(this, CanClose);
  if (!CanClose || !OnClose) return CanClose;
  TCloseAction Action = caHide;
  OnClose(this, Action);
  return Action != caNone;
}

void TCustomForm::Close() {
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  bool CanClose = true;
  if (OnCloseQuery) OnCloseQuery(this, CanClose);
  if (!CanClose) return;
  bool IsMain = this == Application->MainForm();
  TCloseAction Action = IsMain ? caFree : caHide;
  if (OnClose) OnClose(this, Action);
  if (Action == caNone) return;
  if (IsMain) {
    Hide();
    Application->Terminate();
  } else if (Action == caMinimize) {
    ShowWindow(Handle(), SW_MINIMIZE);
  } else if (Action == caFree) {
    Release();
  } else {
    Hide();
  }
}

void TCustomForm::Release() {
  Hide();
  Application->FReleased.push_back(this);
  PostMessageA(nullptr, WM_NULL, 0, 0);
}

void TCustomForm::DialogKey(TMessage& Message) {
  switch (Message.WParam) {
    case VK_TAB:
      if (GetKeyState(VK_CONTROL) >= 0) {
        SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
        Message.Result = 1;
        return;
      }
      break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      if (FActiveControl && FActiveControl->Parent()) {
        FActiveControl->Parent()->SelectNext(
            FActiveControl, Message.WParam == VK_RIGHT || Message.WParam == VK_DOWN, false);
        Message.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  Broadcast(Message);
}

void TCustomForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CM_DIALOGKEY:
      DialogKey(Message);
      return;
    case WM_CLOSE:
      Close();
      return;
    case WM_MOVE:
    case WM_SIZE:
      SendCancelMode(nullptr);
      break;
    case WM_ACTIVATE:
      DefaultHandler(Message);
      if (LOWORD(Message.WParam) == WA_INACTIVE) {
        SendCancelMode(nullptr);
        if (OnDeactivate) OnDeactivate(this);
        return;
      }
      if (FActiveControl && FActiveControl->CanFocus()) {
        ::SetFocus(FActiveControl->Handle());
      } else {
        SelectNext(nullptr, true, true);
      }
      if (OnActivate) OnActivate(this);
      return;
    case WM_COMMAND:
      if (!Message.LParam && HIWORD(Message.WParam) == 0) {
        if (TMenuItem* Item = TMenuItem::FindCommand(LOWORD(Message.WParam))) {
          Item->Click();
          return;
        }
      }
      break;
    default:
      break;
  }
  TWinControl::WndProc(Message);
}

// --- TScrollingWinControl

void TControlScrollBar::SetVisible(bool Value) {
  FVisible = Value;
  FControl->UpdateScrollBars();
}

void TControlScrollBar::SetPosition(int Value) {
  int Old = FPosition;
  FPosition = std::max(0, Value);
  if (FControl->HandleAllocated()) SetScrollPos(FControl->Handle(), FBar, FPosition, TRUE);
  int Delta = Old - FPosition;
  FBar == SB_HORZ ? FControl->ScrollBy(Delta, 0) : FControl->ScrollBy(0, Delta);
}

void TControlScrollBar::Update(int Page) {
  if (!FVisible || FRange <= Page) {
    SetPosition(0);
    ShowScrollBar(FControl->Handle(), FBar, FALSE);
    return;
  }
  if (FPosition > FRange - Page) SetPosition(FRange - Page);
  SCROLLINFO Info{sizeof Info, SIF_ALL, 0, FRange - 1, static_cast<UINT>(Page), FPosition, 0};
  ShowScrollBar(FControl->Handle(), FBar, TRUE);
  SetScrollInfo(FControl->Handle(), FBar, &Info, TRUE);
}

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner)
    : TWinControl(AOwner), FHorz(this, SB_HORZ), FVert(this, SB_VERT) {}

void TScrollingWinControl::UpdateScrollBars() {
  if (FUpdating || !FHandle) return;
  FUpdating = true;
  FHorz.FRange = FVert.FRange = 0;
  for (int I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    if (!C->Visible() || C->Align() == alClient) continue;
    FHorz.FRange = std::max(FHorz.FRange, C->Left() + C->Width() + FHorz.FPosition);
    FVert.FRange = std::max(FVert.FRange, C->Top() + C->Height() + FVert.FPosition);
  }
  // Showing one bar narrows the other side, so settle twice.
  for (int Pass = 0; Pass < 2; ++Pass) {
    RECT R;
    GetClientRect(FHandle, &R);
    FVert.Update(R.bottom);
    FHorz.Update(R.right);
  }
  FUpdating = false;
}

void TScrollingWinControl::ScrollBy(int DeltaX, int DeltaY) {
  if (!DeltaX && !DeltaY) return;
  for (int I = 0; I < ControlCount(); ++I) {
    TControl* C = Controls(I);
    C->SetBounds(C->Left() + DeltaX, C->Top() + DeltaY, C->Width(), C->Height());
  }
  Invalidate();
}

void TScrollingWinControl::AfterCreateWnd() { UpdateScrollBars(); }

void TScrollingWinControl::Resize() {
  TWinControl::Resize();
  UpdateScrollBars();
}

void TScrollingWinControl::Scroll(TControlScrollBar& Bar, int Code, int Page) {
  SCROLLINFO Info{sizeof Info, SIF_TRACKPOS, 0, 0, 0, 0, 0};
  GetScrollInfo(FHandle, Bar.FBar, &Info);
  int Pos = Bar.FPosition;
  switch (Code) {
    case SB_LINEUP:
      Pos -= 8;
      break;
    case SB_LINEDOWN:
      Pos += 8;
      break;
    case SB_PAGEUP:
      Pos -= Page;
      break;
    case SB_PAGEDOWN:
      Pos += Page;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      Pos = Info.nTrackPos;
      break;
    case SB_TOP:
      Pos = 0;
      break;
    case SB_BOTTOM:
      Pos = Bar.FRange;
      break;
    default:
      return;
  }
  Bar.SetPosition(std::clamp(Pos, 0, std::max(0, Bar.FRange - Page)));
}

void TScrollingWinControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_VSCROLL:
    case WM_HSCROLL:
      if (!Message.LParam) {
        RECT R;
        GetClientRect(FHandle, &R);
        bool Vertical = Message.Msg == WM_VSCROLL;
        Scroll(Vertical ? FVert : FHorz, LOWORD(Message.WParam), Vertical ? R.bottom : R.right);
        return;
      }
      break;
    case WM_MOUSEWHEEL:
      if (FVert.FRange > ClientHeight()) {
        for (int Steps = 3; Steps > 0; --Steps)
          Scroll(FVert, static_cast<short>(HIWORD(Message.WParam)) > 0 ? SB_LINEUP : SB_LINEDOWN,
                 ClientHeight());
        return;
      }
      break;
    case CM_CONTROLCHANGE:
      UpdateScrollBars();
      break;
    default:
      break;
  }
  TWinControl::WndProc(Message);
}

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) {
  FWidth = 185, FHeight = 41;
  SetParentColor(true);
}

void TScrollBox::SetBorderStyle(TBorderStyle Value) {
  FBorderStyle = Value;
  RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& Params) {
  TScrollingWinControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

// --- TApplication

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
  char Path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, Path, MAX_PATH);
  AnsiString Name = ExtractFileName(Path);
  FTitle = ChangeFileExt(Name, "");
}

TApplication::~TApplication() {
  CancelHint();
  delete FHintWindow;
}

HWND TApplication::Handle() const {
  return FMainForm && FMainForm->HandleAllocated() ? FMainForm->Handle() : nullptr;
}

void TApplication::Run() {
  if (FMainForm && !FTerminated) FMainForm->Show();
  while (!FTerminated) HandleMessage();
}

// No WM_QUIT: the flag ends the loops, and a process that goes on (a test)
// keeps a usable message queue.
void TApplication::Terminate() {
  FTerminated = true;
  PostMessageA(nullptr, WM_NULL, 0, 0);
}

void TApplication::ProcessMessages() {
  MSG Msg;
  while (ProcessMessage(Msg)) {
  }
}

// Nothing waiting: the actions bring their states up to date first.
void TApplication::HandleMessage() {
  MSG Msg;
  if (ProcessMessage(Msg)) return;
  try {
    UpdateActionLists();
  } catch (...) {
    HandleException(this);
  }
  WaitMessage();
}

namespace {

// The system's default handling tells from the keys it saw whether Alt
// was pressed alone, and then opens the window menu when Alt is let go;
// a key that a control takes with Alt held never reaches it, and the
// menu would take the keys that follow. So it sees such a key first (not
// F4, with which it closes the window).
void ShowAltChordToTheSystem(const MSG& Msg) {
  bool WithAlt = Msg.message == WM_SYSKEYDOWN && (Msg.lParam & (LPARAM{1} << 29));
  if (WithAlt && Msg.wParam != VK_MENU && Msg.wParam != VK_F4)
    DefWindowProcA(Msg.hwnd, Msg.message, Msg.wParam, Msg.lParam);
}

}  // namespace

bool TApplication::ProcessMessage(MSG& Msg) {
  if (!PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  // A key or a press ends the hint.
  if (Msg.message == WM_KEYDOWN || Msg.message == WM_SYSKEYDOWN || Msg.message == WM_LBUTTONDOWN ||
      Msg.message == WM_RBUTTONDOWN || Msg.message == WM_MBUTTONDOWN)
    CancelHint();
  ShowAltChordToTheSystem(Msg);
  try {
    bool Handled = false;
    if (OnMessage) OnMessage(Msg, Handled);
    if (!Handled && !IsKeyMsg(Msg)) {
      TranslateMessage(&Msg);
      DispatchMessageA(&Msg);
    }
  } catch (...) {
    HandleException(this);
  }
  FreeReleasedForms();
  return true;
}

void TApplication::FreeReleasedForms() {
  while (!FReleased.empty()) delete FReleased.back();
}

// The focused control sees its dialog keys before the window does.
bool TApplication::IsKeyMsg(MSG& Msg) {
  if (Msg.message != WM_KEYDOWN && Msg.message != WM_SYSKEYDOWN) return false;
  TWinControl* Control = FindBoundControl(Msg.hwnd);
  return Control && Control->Perform(CN_BASE + Msg.message, Msg.wParam, Msg.lParam) != 0;
}

void TApplication::HandleException(TObject* Sender) {
  auto Report = [&](Exception& E) {
    // A failing handler must not cross the window procedure either.
    try {
      if (OnException) {
        OnException(Sender, &E);
      } else {
        ShowException(&E);
      }
    } catch (...) {
    }
  };
  try {
    throw;
  } catch (EAbort&) {
  } catch (Exception& E) {
    Report(E);
  } catch (std::exception& E) {
    Exception Wrapped(E.what());
    Report(Wrapped);
  } catch (...) {
    Exception Wrapped("Неизвестная ошибка");
    Report(Wrapped);
  }
}

void TApplication::ShowException(Exception* E) {
  AnsiString Text = E->Message();
  if (!Text.empty() && static_cast<uint8_t>(Text.back()) > '.') Text += '.';
  MessageBox(Text, FTitle, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const AnsiString& Text, const AnsiString& Caption, UINT Flags) {
  TPrompt Prompt{TPromptKind::MessageBox, Caption, Text};
  Prompt.Flags = static_cast<int>(Flags);
  return Prompts()
      .Ask(Prompt,
           [&] {
             return TPromptAnswer{
                 ::MessageBoxA(GetActiveWindow(), Text.c_str(), Caption.c_str(), Flags), {}};
           })
      .Result;
}

void TApplication::Minimize() {
  if (HWND Wnd = Handle()) ShowWindow(Wnd, SW_MINIMIZE);
}

void TApplication::Restore() {
  if (HWND Wnd = Handle()) ShowWindow(Wnd, SW_RESTORE);
}

void TApplication::SetMouseControl(TControl* Control) {
  if (FMouseControl == Control) return;
  TControl* Old = FMouseControl;
  FMouseControl = Control;
  if (Old && Old == FHintControl) CancelHint();
  if (Old) Old->Perform(CM_MOUSELEAVE);
  if (Control && FMouseControl == Control) Control->Perform(CM_MOUSEENTER);
}

void TApplication::MouseLeftWindow(TWinControl* Control) {
  if (FMouseControl && (FMouseControl == Control || FMouseControl->Parent() == Control))
    SetMouseControl(nullptr);
}

void TApplication::ControlDestroyed(TControl* Control) {
  if (FMouseControl == Control) FMouseControl = nullptr;
  if (FShownHint == Control) FShownHint = nullptr;
  if (FHintWindow == Control) FHintWindow = nullptr;
  if (FHintControl == Control) CancelHint();
}

void TApplication::SetShowHint(bool Value) {
  FShowHint = Value;
  if (!Value) CancelHint();
}

// --- the hint cycle

namespace {

void CALLBACK HintTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  // Called from any message loop: nothing may leave through it.
  try {
    Application->HintTimerExpired();
  } catch (...) {
    Application->HandleException(Application);
  }
}

RECT ScreenRect(TControl* Control, const RECT& R) {
  POINT TopLeft = Control->ClientToScreen(POINT{R.left, R.top});
  return RECT{TopLeft.x, TopLeft.y, TopLeft.x + (R.right - R.left), TopLeft.y + (R.bottom - R.top)};
}

}  // namespace

void TApplication::CancelHint() {
  if (FHintTimer) KillTimer(nullptr, FHintTimer);
  FHintTimer = 0;
  if (FShownHint) FShownHint->ReleaseHandle();
  FShownHint = nullptr;
  FHintControl = nullptr;
}

void TApplication::HintMouseMessage(TControl* Control, POINT Pos, WPARAM Keys) {
  POINT At = Control->ClientToScreen(Pos);
  FHintCursor = At;
  bool Held = Keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON);
  // A hint stays while the mouse stays in its area.
  if (!Held && FShownHint && FHintControl == Control && PtInRect(&FHintCursorRect, At)) return;
  bool WasShown = FShownHint != nullptr;
  CancelHint();
  if (!FShowHint || !Control->ShowHint() || Held) return;
  FHintControl = Control;
  int Pause = WasShown ? FHintShortPause : FHintPause;
  Control->Perform(CM_HINTSHOWPAUSE, WasShown, reinterpret_cast<LPARAM>(&Pause));
  if (Pause <= 0) {
    HintTimerExpired();
  } else {
    FHintTimer = SetTimer(nullptr, 0, static_cast<UINT>(Pause), HintTimerProc);
  }
}

void TApplication::HintTimerExpired() {
  if (FHintTimer) KillTimer(nullptr, FHintTimer);
  FHintTimer = 0;
  TControl* Control = FHintControl;
  if (!Control) return;
  // The point of the last move: posted mouse messages move no cursor.
  POINT Cursor = FHintCursor;
  THintInfo Info;
  Info.HintControl = Control;
  Info.CursorPos = Control->ScreenToClient(Cursor);
  Info.CursorRect = Control->ClientRect();
  Info.HintStr = Control->Hint();
  Info.HintMaxWidth = Screen->Width();
  // Below the cursor's picture.
  Info.HintPos = POINT{Cursor.x, Cursor.y + GetSystemMetrics(SM_CYCURSOR)};
  if (Control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&Info)) != 0 ||
      Info.HintStr.empty()) {
    FHintControl = nullptr;
    return;
  }
  THintWindow* Window = Info.HintWindow;
  if (!Window) {
    if (!FHintWindow) FHintWindow = new THintWindow(this);
    Window = FHintWindow;
  }
  RECT R = Window->CalcHintRect(Info.HintMaxWidth, Info.HintStr, Info.HintData);
  OffsetRect(&R, Info.HintPos.x, Info.HintPos.y);
  Window->ActivateHint(R, Info.HintStr);
  FShownHint = Window;
  FHintCursorRect = ScreenRect(Control, Info.CursorRect);
}

// --- TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

void TScreen::SetCursor(TCursor Value) {
  FCursor = Value;
  ::SetCursor(CursorHandle(Value == crDefault ? crArrow : Value));
}

HCURSOR TScreen::Cursors(TCursor Index) const {
  const auto Slot = FCursors.find(Index);
  return Slot != FCursors.end() ? Slot->second : LoadCursorA(nullptr, IDC_ARROW);
}

RECT TScreen::WorkAreaRect() const {
  RECT R{0, 0, Width(), Height()};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &R, 0);
  return R;
}

TCustomForm* TScreen::ActiveForm() const {
  return dynamic_cast<TCustomForm*>(FindControl(GetActiveWindow()));
}

TWinControl* TScreen::ActiveControl() const {
  TCustomForm* Form = ActiveForm();
  return Form ? Form->ActiveControl() : nullptr;
}
