#include "forms/Controls.h"

#include <algorithm>
#include <cstdlib>

#include "forms/ActnList.h"
#include "forms/DragManager.h"
#include "forms/Forms.h"
#include "forms/Ime.h"
#include "forms/Menus.h"
#include "rtl/AnsiText.h"

namespace {

ATOM BindingAtom() {
  static const ATOM Atom = GlobalAddAtomA("KsControl");
  return Atom;
}

void Bind(HWND Wnd, TWinControl* Control) { SetPropA(Wnd, MAKEINTATOM(BindingAtom()), Control); }

const char* OwnClassName() {
  static const char* Name = [] {
    WNDCLASSA Class{};
    Class.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    Class.lpfnWndProc = ControlWindowProc;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    Class.lpszClassName = "KsWindow";
    RegisterClassA(&Class);
    return "KsWindow";
  }();
  return Name;
}

bool IsClientMouseMessage(UINT Msg) { return Msg >= WM_MOUSEFIRST && Msg <= WM_MBUTTONDBLCLK; }

POINT PointOf(LPARAM LParam) {
  return POINT{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
}

}  // namespace

LRESULT CALLBACK ControlWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TWinControl* Control = FindControl(Wnd);
  if (!Control && Msg == WM_NCCREATE) {
    Control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTA*>(LParam)->lpCreateParams);
    if (Control) {
      Control->FHandle = Wnd;
      Control->FDefWndProc = DefWindowProcA;
      Bind(Wnd, Control);
    }
  }
  if (!Control) return DefWindowProcA(Wnd, Msg, WParam, LParam);
  // DestroyHandle unbinds first, so these come only when the window goes
  // without it: keep what the window held, then forget it, so that the next
  // use creates it again.
  if (Msg == WM_DESTROY) Control->BeforeDestroyWnd();
  TMessage Message{Msg, WParam, LParam, 0};
  try {
    Control->WndProc(Message);
  } catch (...) {
    Application->HandleException(Control);
  }
  if (Msg == WM_NCDESTROY) Control->WindowDestroyed();
  return Message.Result;
}

TWinControl* FindControl(HWND Wnd) {
  return Wnd ? static_cast<TWinControl*>(GetPropA(Wnd, MAKEINTATOM(BindingAtom()))) : nullptr;
}

TWinControl* FindBoundControl(HWND Wnd) {
  while (Wnd) {
    if (TWinControl* Control = FindControl(Wnd)) return Control;
    if (!(GetWindowLongA(Wnd, GWL_STYLE) & WS_CHILD)) break;
    Wnd = GetParent(Wnd);
  }
  return nullptr;
}

TCustomForm* GetParentForm(TControl* Control) {
  while (Control && Control->Parent()) Control = Control->Parent();
  return dynamic_cast<TCustomForm*>(Control);
}

bool IsAccel(char Key, const AnsiString& Caption) {
  for (size_t I = 0; I + 1 < Caption.size(); ++I) {
    if (Caption[I] != '&') continue;
    if (Caption[I + 1] != '&')
      return AnsiSameText(AnsiString(1, Key), AnsiString(1, Caption[I + 1]));
    ++I;  // "&&" is an ampersand
  }
  return false;
}

HCURSOR CursorHandle(TCursor Cursor) {
  if (Cursor > 0 && Screen) return Screen->Cursors(Cursor);
  const char* Id = IDC_ARROW;
  switch (Cursor) {
    case crIBeam:
      Id = IDC_IBEAM;
      break;
    case crHourGlass:
      Id = IDC_WAIT;
      break;
    case crHandPoint:
      Id = IDC_HAND;
      break;
    case crVSplit:
      Id = IDC_SIZENS;
      break;
    case crSizeNESW:
      Id = IDC_SIZENESW;
      break;
    case crSizeNWSE:
      Id = IDC_SIZENWSE;
      break;
    default:
      break;
  }
  return LoadCursorA(nullptr, Id);
}

TShiftState KeyboardShiftState() {
  TShiftState Shift;
  if (GetKeyState(VK_SHIFT) < 0) Shift.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) Shift.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) Shift.Include(ssAlt);
  return Shift;
}

TShiftState MouseShiftState(WPARAM Keys) {
  TShiftState Shift;
  if (Keys & MK_SHIFT) Shift.Include(ssShift);
  if (Keys & MK_CONTROL) Shift.Include(ssCtrl);
  if (Keys & MK_LBUTTON) Shift.Include(ssLeft);
  if (Keys & MK_RBUTTON) Shift.Include(ssRight);
  if (Keys & MK_MBUTTON) Shift.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) Shift.Include(ssAlt);
  return Shift;
}

// --- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  FFont.OnChange = [this](TObject* Sender) { FontChanged(Sender); };
}

TControl::~TControl() {
  Application->ControlDestroyed(this);
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* Value) {
  if (FParent == Value) return;
  if (FParent) FParent->RemoveControl(this);
  if (Value) Value->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  bool Resized = AWidth != FWidth || AHeight != FHeight;
  Invalidate();
  FLeft = ALeft, FTop = ATop, FWidth = AWidth, FHeight = AHeight;
  UpdateWindowBounds();
  Invalidate();
  if (Resized) {
    if (FAlign != alNone) RequestAlign();
    Resize();
  }
}

RECT TControl::ClientRect() { return RECT{0, 0, FWidth, FHeight}; }

void TControl::SetClientSize(int AWidth, int AHeight) { SetBounds(FLeft, FTop, AWidth, AHeight); }

POINT TControl::ClientOrigin() {
  POINT Origin = FParent ? FParent->ClientOrigin() : POINT{0, 0};
  return POINT{Origin.x + FLeft, Origin.y + FTop};
}

POINT TControl::ClientToScreen(POINT Point) {
  POINT Origin = ClientOrigin();
  return POINT{Point.x + Origin.x, Point.y + Origin.y};
}

POINT TControl::ScreenToClient(POINT Point) {
  POINT Origin = ClientOrigin();
  return POINT{Point.x - Origin.x, Point.y - Origin.y};
}

void TControl::SetAlign(TAlign Value) {
  if (FAlign == Value) return;
  FAlign = Value;
  RequestAlign();
}

void TControl::RequestAlign() {
  if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Invalidate();
  Perform(CM_VISIBLECHANGED, Value);
  RequestAlign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Perform(CM_ENABLEDCHANGED);
  Invalidate();
}

void TControl::SetBiDiMode(TBiDiMode Value) {
  if (FBiDiMode == Value) return;
  FBiDiMode = Value;
  Perform(CM_BIDIMODECHANGED);
}

AnsiString TControl::Text() { return FText; }

void TControl::SetText(const AnsiString& Value) {
  if (FText == Value) return;
  FText = Value;
  Perform(CM_TEXTCHANGED);
  AdjustSize();
  Invalidate();
}

void TControl::FontChanged(TObject*) {
  if (!FApplyingParentFont) FParentFont = false;
  Perform(CM_FONTCHANGED);
  AdjustSize();
  Invalidate();
}

void TControl::SetParentFont(bool Value) {
  FParentFont = Value;
  ParentFontChanged();
}

void TControl::ParentFontChanged() { Perform(CM_PARENTFONTCHANGED); }

void TControl::SetColor(TColor Value) {
  FParentColor = false;
  if (FColor == Value) return;
  FColor = Value;
  Perform(CM_COLORCHANGED);
  Invalidate();
}

void TControl::SetParentColor(bool Value) {
  FParentColor = Value;
  ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!FParentColor || !FParent || FColor == FParent->Color()) return;
  FColor = FParent->Color();
  Perform(CM_COLORCHANGED);
  Invalidate();
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = Value;
  if (Value) Value->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::BeginDrag(bool Immediate, int Threshold) {
  POINT Cursor;
  GetCursorPos(&Cursor);
  RunDrag(this, Immediate, Threshold, Cursor);
}

bool TControl::Dragging() const { return DragSource() == this; }

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  Accept = static_cast<bool>(OnDragOver);
  if (OnDragOver) OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y) {
  if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y) {
  if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage Message{Msg, WParam, LParam, 0};
  WndProc(Message);
  return Message.Result;
}

void TControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (TCustomForm* Form = GetParentForm(this)) Form->SendCancelMode(this);
      POINT P = PointOf(Message.LParam);
      TMouseButton Button = Message.Msg == WM_RBUTTONDOWN   ? mbRight
                            : Message.Msg == WM_MBUTTONDOWN ? mbMiddle
                                                            : mbLeft;
      TShiftState Shift = MouseShiftState(Message.WParam);
      if (Message.Msg == WM_LBUTTONDBLCLK) {
        Shift.Include(ssDouble);
        if (FClickOnMouseUp) DblClick();
      } else if (Message.Msg == WM_LBUTTONDOWN) {
        if (FDragMode == dmAutomatic) {
          RunDrag(this, false, -1, ClientToScreen(P));
          return;
        }
        FPressed = FClickOnMouseUp;
      }
      MouseDown(Button, Shift, P.x, P.y);
      break;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      POINT P = PointOf(Message.LParam);
      TMouseButton Button = Message.Msg == WM_RBUTTONUP   ? mbRight
                            : Message.Msg == WM_MBUTTONUP ? mbMiddle
                                                          : mbLeft;
      MouseUp(Button, MouseShiftState(Message.WParam), P.x, P.y);
      if (Message.Msg == WM_LBUTTONUP) ClickCheck(P.x, P.y);
      if (Message.Msg == WM_RBUTTONUP && FPopupMenu && FPopupMenu->AutoPopup) {
        POINT S = ClientToScreen(P);
        FPopupMenu->PopupComponent = this;
        FPopupMenu->Popup(S.x, S.y);
        return;
      }
      break;
    }
    case WM_MOUSEMOVE: {
      POINT P = PointOf(Message.LParam);
      MouseMove(MouseShiftState(Message.WParam), P.x, P.y);
      break;
    }
    case WM_MOUSEWHEEL: {
      // A control that leaves the wheel unused offers it to its parents, as a
      // cell editor without a list leaves it to its grid.
      const TShiftState Shift = MouseShiftState(LOWORD(Message.WParam));
      const int Delta = GET_WHEEL_DELTA_WPARAM(Message.WParam);
      const POINT At = PointOf(Message.LParam);
      for (TControl* Control = this; Control; Control = Control->Parent())
        if (Control->DoMouseWheel(Shift, Delta, At)) {
          Message.Result = 1;
          return;
        }
      break;
    }
    case CM_MOUSEENTER:
      FMouseInControl = true;
      MouseEnter();
      return;
    case CM_MOUSELEAVE:
      FMouseInControl = false;
      MouseLeave();
      return;
    case CM_PARENTFONTCHANGED:
      if (!FParentFont || !FParent) return;
      FApplyingParentFont = true;
      FFont.Assign(FParent->Font());
      FApplyingParentFont = false;
      return;
    default:
      break;
  }
  DefaultHandler(Message);
}

void TControl::ClickCheck(int X, int Y) {
  if (!FPressed) return;
  FPressed = false;
  RECT R = ClientRect();
  POINT P{X, Y};
  if (PtInRect(&R, P)) Click();
}

void TControl::DefaultHandler(TMessage& Message) { Message.Result = 0; }

void TControl::Invalidate() {
  if (FParent && FParent->HandleAllocated()) {
    RECT R = BoundsRect();
    InvalidateRect(FParent->Handle(), &R, TRUE);
  }
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::Update() {
  if (FParent && FParent->HandleAllocated()) UpdateWindow(FParent->Handle());
}

void TControl::BringToFront() {
  auto* Win = dynamic_cast<TWinControl*>(this);
  if (Win && Win->HandleAllocated())
    SetWindowPos(Win->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // A form is above the other windows now; a control also above its siblings.
  if (!FParent) return;
  auto& List = FParent->FControls;
  List.erase(std::find(List.begin(), List.end(), this));
  List.push_back(this);
  Invalidate();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, POINT MousePos) {
  if (WheelDelta == 0) return false;
  bool Used = false;
  for (int Notch = std::max(std::abs(WheelDelta) / WHEEL_DELTA, 1); Notch > 0; --Notch)
    Used |= WheelDelta < 0 ? DoMouseWheelDown(Shift, MousePos) : DoMouseWheelUp(Shift, MousePos);
  return Used;
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

// --- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) { FBrush.SetColor(Color()); }

TWinControl::~TWinControl() {
  if (TCustomForm* Form = GetParentForm(this); Form && Form != this) Form->ControlDestroyed(this);
  // Leave the parent while still a windowed control, so it drops us from
  // its tab order too.
  if (FParent) FParent->RemoveControl(this);
  // Children go with their parent, as windows do.
  while (!FControls.empty()) delete FControls.back();
  DestroyHandle();
}

HWND TWinControl::Handle() {
  if (!FHandle) CreateWnd();
  return FHandle;
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.Caption = FText;
  Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (FParent) Params.Style |= WS_CHILD;
  if (FVisible && FParent) Params.Style |= WS_VISIBLE;
  if (!FEnabled) Params.Style |= WS_DISABLED;
  if (FTabStop) Params.Style |= WS_TABSTOP;
  if (UseRightToLeftReading()) Params.ExStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftAlignment()) Params.ExStyle |= WS_EX_RIGHT;
  Params.X = FLeft, Params.Y = FTop, Params.Width = FWidth, Params.Height = FHeight;
  Params.WinClassName = OwnClassName();
}

bool TWinControl::RightToLeftStylesAgree() {
  if (!FHandle) return true;
  auto ExStyle = static_cast<DWORD>(GetWindowLongA(FHandle, GWL_EXSTYLE));
  return ((ExStyle & WS_EX_RTLREADING) != 0) == UseRightToLeftReading() &&
         ((ExStyle & WS_EX_RIGHT) != 0) == UseRightToLeftAlignment();
}

void TWinControl::CreateWnd() {
  if (FParent) FParent->HandleNeeded();
  if (FHandle) return;  // the parent made it with its own
  TCreateParams Params;
  CreateParams(Params);
  if (FParent) Params.WndParent = FParent->Handle();
  CreateWindowHandle(Params);
  SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
  AfterCreateWnd();
  for (TControl* Child : FControls)
    if (auto* Win = dynamic_cast<TWinControl*>(Child)) Win->CreateWnd();
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
  static int NextId = 100;
  HMENU Id = (Params.Style & WS_CHILD)
                 ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextId++ & 0x7FFF))
                 : nullptr;
  HWND Wnd = CreateWindowExA(Params.ExStyle, Params.WinClassName.c_str(), Params.Caption.c_str(),
                             Params.Style, Params.X, Params.Y, Params.Width, Params.Height,
                             Params.WndParent, Id, GetModuleHandleA(nullptr),
                             Params.SystemClass ? nullptr : this);
  if (!Wnd) throw EOSError("Ошибка создания окна: " + LastOSErrorText(), LastOSErrorCode());
  if (Params.SystemClass) {
    FHandle = Wnd;
    Bind(Wnd, this);
    FDefWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWindowProc)));
  }
}

void TWinControl::BeforeDestroyWnd() {
  int Length = GetWindowTextLengthA(FHandle);
  FText.assign(Length, '\0');
  if (Length) GetWindowTextA(FHandle, FText.data(), Length + 1);
}

// Unsubclass, stop dispatching, then destroy the window.
void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  for (TControl* Child : FControls)
    if (auto* Win = dynamic_cast<TWinControl*>(Child)) Win->DestroyHandle();
  BeforeDestroyWnd();
  HWND Wnd = FHandle;
  if (FDefWndProc != DefWindowProcA)
    SetWindowLongPtrA(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FDefWndProc));
  Unbind();
  DestroyWindow(Wnd);
}

void TWinControl::Unbind() {
  RemovePropA(FHandle, MAKEINTATOM(BindingAtom()));
  FHandle = nullptr;
  FCaptureControl = nullptr;
}

void TWinControl::WindowDestroyed() {
  Unbind();
  // A new top-level window starts hidden: Show must show it again.
  if (!FParent) FVisible = false;
}

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  bool WasFocused = Focused();
  DestroyHandle();
  CreateWnd();
  if (WasFocused && CanFocus()) ::SetFocus(FHandle);
}

void TWinControl::InsertControl(TControl* Control) {
  Control->FParent = this;
  FControls.push_back(Control);
  if (auto* Win = dynamic_cast<TWinControl*>(Control)) FTabList.push_back(Win);
  Control->ParentFontChanged();
  Control->ParentColorChanged();
  if (FHandle) {
    if (auto* Win = dynamic_cast<TWinControl*>(Control)) Win->CreateWnd();
  }
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(Control), 1);
  if (Control->Align() != alNone) Realign();
  Control->Invalidate();
}

void TWinControl::RemoveControl(TControl* Control) {
  auto It = std::find(FControls.begin(), FControls.end(), Control);
  if (It == FControls.end()) return;
  Control->Invalidate();
  if (auto* Win = dynamic_cast<TWinControl*>(Control)) {
    Win->DestroyHandle();
    FTabList.erase(std::find(FTabList.begin(), FTabList.end(), Win));
  }
  FControls.erase(std::find(FControls.begin(), FControls.end(), Control));
  if (FCaptureControl == Control) FCaptureControl = nullptr;
  Control->FParent = nullptr;
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(Control), 0);
  if (Control->Align() != alNone) Realign();
}

bool TWinControl::ContainsControl(TControl* Control) const {
  while (Control && Control != this) Control = Control->Parent();
  return Control == this;
}

void TWinControl::Realign() {
  if (FAlignLevel) return;
  RECT R = ClientRect();
  AdjustClientRect(R);
  AlignControls(R);
}

void TWinControl::AlignControls(RECT& R) {
  ++FAlignLevel;
  for (TAlign Kind : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* C : FControls) {
      if (C->Align() != Kind || !C->Visible()) continue;
      int W = C->Width(), H = C->Height();
      switch (Kind) {
        case alTop:
          C->SetBounds(R.left, R.top, R.right - R.left, H), R.top += H;
          break;
        case alBottom:
          C->SetBounds(R.left, R.bottom - H, R.right - R.left, H), R.bottom -= H;
          break;
        case alLeft:
          C->SetBounds(R.left, R.top, W, R.bottom - R.top), R.left += W;
          break;
        case alRight:
          C->SetBounds(R.right - W, R.top, W, R.bottom - R.top), R.right -= W;
          break;
        default:
          C->SetBounds(R.left, R.top, R.right - R.left, R.bottom - R.top);
          break;
      }
    }
  }
  --FAlignLevel;
}

void TWinControl::ApplyAnchors(int OldClientWidth, int OldClientHeight) {
  RECT R = ClientRect();
  int DX = R.right - OldClientWidth, DY = R.bottom - OldClientHeight;
  if (!DX && !DY) return;
  for (TControl* C : FControls) {
    if (C->Align() != alNone) continue;
    TAnchors A = C->Anchors();
    int L = C->Left(), T = C->Top(), W = C->Width(), H = C->Height();
    if (A.Contains(akRight)) (A.Contains(akLeft) ? W : L) += DX;
    if (A.Contains(akBottom)) (A.Contains(akTop) ? H : T) += DY;
    C->SetBounds(L, T, W, H);
  }
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  RECT Old = ClientRect();
  bool Resized = AWidth != FWidth || AHeight != FHeight;
  TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (Resized) {
    ApplyAnchors(Old.right, Old.bottom);
    Realign();
  }
}

void TWinControl::UpdateWindowBounds() {
  if (FHandle)
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT TWinControl::ClientRect() {
  if (FHandle) {
    RECT R;
    GetClientRect(FHandle, &R);
    return R;
  }
  TCreateParams Params;
  CreateParams(Params);
  RECT Frame{0, 0, 0, 0};
  AdjustWindowRectEx(&Frame, Params.Style & ~WS_VSCROLL & ~WS_HSCROLL, FALSE, Params.ExStyle);
  return RECT{0, 0, std::max(0, FWidth - static_cast<int>(Frame.right - Frame.left)),
              std::max(0, FHeight - static_cast<int>(Frame.bottom - Frame.top))};
}

void TWinControl::SetClientSize(int AWidth, int AHeight) {
  RECT Client = ClientRect();
  SetBounds(FLeft, FTop, FWidth + AWidth - Client.right, FHeight + AHeight - Client.bottom);
}

POINT TWinControl::ClientOrigin() {
  if (!FHandle) return TControl::ClientOrigin();
  POINT P{0, 0};
  ::ClientToScreen(FHandle, &P);
  return P;
}

void TWinControl::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  if (FHandle) ShowWindow(FHandle, Value ? SW_SHOWNOACTIVATE : SW_HIDE);
  Perform(CM_VISIBLECHANGED, Value);
  RequestAlign();
}

bool TWinControl::Showing() const {
  if (!FParent) return FVisible && FHandle && IsWindowVisible(FHandle);
  return FVisible && FParent->Showing();
}

void TWinControl::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  if (FHandle) EnableWindow(FHandle, Value);
  Perform(CM_ENABLEDCHANGED);
  Invalidate();
}

AnsiString TWinControl::Text() {
  if (!FHandle) return FText;
  AnsiString Result(GetWindowTextLengthA(FHandle), '\0');
  if (!Result.empty())
    Result.resize(GetWindowTextA(FHandle, Result.data(), static_cast<int>(Result.size()) + 1));
  return Result;
}

void TWinControl::SetText(const AnsiString& Value) {
  if (Text() == Value) return;
  FText = Value;
  if (FHandle) SetWindowTextA(FHandle, Value.c_str());
  Perform(CM_TEXTCHANGED);
  AdjustSize();
  Invalidate();
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

int TWinControl::TabOrder() const {
  if (!FParent) return -1;
  auto& List = FParent->FTabList;
  return static_cast<int>(std::find(List.begin(), List.end(), this) - List.begin());
}

void TWinControl::SetTabOrder(int Value) {
  if (!FParent) return;
  auto& List = FParent->FTabList;
  List.erase(std::find(List.begin(), List.end(), this));
  Value = std::clamp(Value, 0, static_cast<int>(List.size()));
  List.insert(List.begin() + Value, this);
}

void TWinControl::SetTabStop(bool Value) {
  FTabStop = Value;
  if (FHandle) {
    LONG Style = GetWindowLongA(FHandle, GWL_STYLE);
    SetWindowLongA(FHandle, GWL_STYLE, Value ? (Style | WS_TABSTOP) : (Style & ~WS_TABSTOP));
  }
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) {
  for (TWinControl* C : FTabList) {
    List.push_back(C);
    C->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* Current, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) {
  std::vector<TWinControl*> List;
  GetTabOrderList(List);
  int Count = static_cast<int>(List.size());
  if (!Count) return nullptr;
  int Start = static_cast<int>(std::find(List.begin(), List.end(), Current) - List.begin());
  if (Start == Count) Start = GoForward ? Count - 1 : 0;
  int I = Start;
  do {
    I = GoForward ? (I + 1) % Count : (I + Count - 1) % Count;
    TWinControl* C = List[I];
    if (C != Current && C->CanFocus() && (!CheckTabStop || C->TabStop()) &&
        (!CheckParent || C->Parent() == this))
      return C;
  } while (I != Start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* Current, bool GoForward, bool CheckTabStop) {
  if (TWinControl* Next = FindNextControl(Current, GoForward, CheckTabStop, !CheckTabStop))
    Next->SetFocus();
}

bool TWinControl::CanFocus() {
  TCustomForm* Form = GetParentForm(this);
  if (!Form || !Form->Visible() || !Form->Enabled()) return false;
  for (TControl* C = this; C != Form; C = C->Parent())
    if (!C->Visible() || !C->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
  TCustomForm* Form = GetParentForm(this);
  if (Form && Form != this) {
    Form->SetActiveControl(this);
  } else {
    ::SetFocus(Handle());
  }
}

LRESULT TWinControl::Broadcast(TMessage& Message) {
  for (size_t I = 0; I < FControls.size(); ++I) {
    FControls[I]->WndProc(Message);
    if (Message.Result) return Message.Result;
  }
  return 0;
}

TControl* TWinControl::ControlAtPos(POINT Point) {
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It) {
    TControl* C = *It;
    if (dynamic_cast<TWinControl*>(C) || !C->Visible() || !C->Enabled()) continue;
    RECT R = C->BoundsRect();
    if (PtInRect(&R, Point)) return C;
  }
  return nullptr;
}

// A control without a window of its own shows its cursor over its part of
// the parent's client area.
TCursor TWinControl::CursorAtMouse(const TMessage& SetCursor) {
  if (reinterpret_cast<HWND>(SetCursor.WParam) != FHandle) return Cursor();
  POINT P;
  GetCursorPos(&P);
  ::ScreenToClient(FHandle, &P);
  TControl* Child = FCaptureControl ? FCaptureControl : ControlAtPos(P);
  return Child && Child->Cursor() != crDefault ? Child->Cursor() : Cursor();
}

bool TWinControl::RouteMouse(TMessage& Message) {
  POINT P = PointOf(Message.LParam);
  TControl* Target = FCaptureControl ? FCaptureControl : ControlAtPos(P);
  if (Message.Msg == WM_MOUSEMOVE) {
    Application->SetMouseControl(Target ? Target : this);
    TRACKMOUSEEVENT Track{sizeof Track, TME_LEAVE, FHandle, 0};
    TrackMouseEvent(&Track);
    POINT Pos = Target ? POINT{P.x - Target->Left(), P.y - Target->Top()} : P;
    Application->HintMouseMessage(Target ? Target : this, Pos, Message.WParam);
  }
  if (!Target) return false;
  bool Down = Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_RBUTTONDOWN ||
              Message.Msg == WM_MBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK;
  bool Up =
      Message.Msg == WM_LBUTTONUP || Message.Msg == WM_RBUTTONUP || Message.Msg == WM_MBUTTONUP;
  if (Down) {
    FCaptureControl = Target;
    SetCapture(FHandle);
  }
  if (Up) {
    FCaptureControl = nullptr;
    ReleaseCapture();
  }
  Message.Result = Target->Perform(Message.Msg, Message.WParam,
                                   MAKELPARAM(P.x - Target->Left(), P.y - Target->Top()));
  return true;
}

void TWinControl::ReflectNotification(TMessage& Message) {
  HWND Child = reinterpret_cast<HWND>(Message.LParam);
  if (Message.Msg == WM_NOTIFY) {
    Child = reinterpret_cast<NMHDR*>(Message.LParam)->hwndFrom;
  } else if (Message.Msg == WM_DRAWITEM) {
    auto* Item = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
    Child = Item->CtlType == ODT_MENU ? nullptr : Item->hwndItem;
  }
  TWinControl* Control = FindBoundControl(Child);
  if (Control && Control != this) {
    Message.Result = Control->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
  } else {
    DefaultHandler(Message);
  }
}

LRESULT TWinControl::ControlColor(TMessage& Message) {
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  SetTextColor(DC, ColorToRGB(Font()->Color()));
  SetBkColor(DC, ColorToRGB(Color()));
  return reinterpret_cast<LRESULT>(FBrush.Handle());
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::PaintControls(HDC DC) {
  for (TControl* C : FControls) {
    auto* Graphic = dynamic_cast<TGraphicControl*>(C);
    if (Graphic && Graphic->Visible()) Graphic->PaintInParent(DC);
  }
}

bool TWinControl::PreprocessKey(TMessage& Message) {
  auto Key = static_cast<uint16_t>(Message.WParam);
  if (ExecuteShortCut(GetParentForm(this), KeyToShortCut(Key, KeyboardShiftState()))) return true;
  DWORD Mask = 0;
  switch (Key) {
    case VK_TAB:
      Mask = DLGC_WANTTAB;
      break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      Mask = DLGC_WANTARROWS;
      break;
    case VK_RETURN:
    case VK_EXECUTE:
    case VK_ESCAPE:
    case VK_CANCEL:
      Mask = DLGC_WANTALLKEYS;
      break;
    default:
      return false;
  }
  if (Perform(CM_WANTSPECIALKEY, Key) != 0) return false;
  if (Perform(WM_GETDLGCODE) & Mask) return false;
  TCustomForm* Form = GetParentForm(this);
  return Form && Form->Perform(CM_DIALOGKEY, Key, Message.LParam) != 0;
}

bool TWinControl::DoKeyDown(TMessage& Message) {
  return DoKey(Message, &TWinControl::DoKeyDown, &TWinControl::KeyDown);
}

bool TWinControl::DoKeyUp(TMessage& Message) {
  return DoKey(Message, &TWinControl::DoKeyUp, &TWinControl::KeyUp);
}

bool TWinControl::DoKey(TMessage& Message, bool (TWinControl::*Preview)(TMessage&),
                        void (TWinControl::*Handler)(uint16_t&, TShiftState)) {
  TCustomForm* Form = GetParentForm(this);
  if (Form && Form != this && Form->KeyPreview() && (Form->*Preview)(Message)) return true;
  auto Key = static_cast<uint16_t>(Message.WParam);
  (this->*Handler)(Key, KeyboardShiftState());
  if (!Key) return true;
  Message.WParam = Key;
  return false;
}

bool TWinControl::DoKeyPress(TMessage& Message) {
  TCustomForm* Form = GetParentForm(this);
  if (Form && Form != this && Form->KeyPreview() && Form->DoKeyPress(Message)) return true;
  char Key = static_cast<char>(Message.WParam);
  KeyPress(Key);
  if (!Key) return true;
  Message.WParam = static_cast<uint8_t>(Key);
  return false;
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::WndProc(TMessage& Message) {
  if (MessageHook && MessageHook(Message)) return;
  switch (Message.Msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      if (Message.LParam) {
        ReflectNotification(Message);
        return;
      }
      break;
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSTATIC:
      Message.Result = ControlColor(Message);
      return;
    case CM_RECREATEWND:
      RecreateWnd();
      return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN:
      Message.Result = PreprocessKey(Message);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (DoKeyDown(Message)) return;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (DoKeyUp(Message)) return;
      break;
    case WM_CHAR:
      if (DoKeyPress(Message)) return;
      break;
    case WM_SETFOCUS:
      if (TCustomForm* Form = GetParentForm(this); Form && Form != this)
        Form->SetFocusedControl(this);
      SetImeOfWindow(FHandle, FImeMode, FImeName);
      break;
    case CM_ENTER:
      DoEnter();
      return;
    case CM_EXIT:
      DoExit();
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
    case CM_SYSCOLORCHANGE:
      Broadcast(Message);
      return;
    case WM_SYSCOLORCHANGE: {
      // Only top-level windows hear of it from the system.
      DefaultHandler(Message);
      TMessage Notice{CM_SYSCOLORCHANGE, 0, 0, 0};
      Broadcast(Notice);
      return;
    }
    case WM_SYSCHAR:
      // Alt with a character: the control whose caption marks it.
      if (TCustomForm* Form = GetParentForm(this);
          Form && Form->Perform(CM_DIALOGCHAR, Message.WParam))
        return;
      break;
    case CM_FONTCHANGED:
      if (FHandle)
        SendMessageA(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
      for (TControl* C : FControls) C->ParentFontChanged();
      return;
    case CM_COLORCHANGED:
      FBrush.SetColor(Color());
      for (TControl* C : FControls) C->ParentColorChanged();
      return;
    case CM_ENABLEDCHANGED:
      if (FHandle && !!IsWindowEnabled(FHandle) != Enabled()) EnableWindow(FHandle, Enabled());
      return;
    case WM_PAINT:
      if (FDefWndProc == DefWindowProcA) {
        TPaintDC DC(FHandle);
        PaintWindow(DC.Get());
        PaintControls(DC.Get());
        return;
      }
      break;
    case WM_PRINTCLIENT:
      if (FDefWndProc == DefWindowProcA) {
        PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        PaintControls(reinterpret_cast<HDC>(Message.WParam));
        return;
      }
      break;
    case WM_ERASEBKGND:
      if (FDefWndProc == DefWindowProcA) {
        RECT R;
        GetClientRect(FHandle, &R);
        FillRect(reinterpret_cast<HDC>(Message.WParam), &R, FBrush.Handle());
        Message.Result = 1;
        return;
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      DefaultHandler(Message);
      RECT R;
      GetWindowRect(FHandle, &R);
      if (FParent) MapWindowPoints(nullptr, FParent->Handle(), reinterpret_cast<POINT*>(&R), 2);
      if (R.left != FLeft || R.top != FTop || R.right - R.left != FWidth ||
          R.bottom - R.top != FHeight) {
        RECT OldClient{0, 0, FWidth, FHeight};
        bool Resized = R.right - R.left != FWidth || R.bottom - R.top != FHeight;
        if (Resized) {
          // The client area already has the new size; the old one is the
          // old window less the same frame.
          RECT Client;
          GetClientRect(FHandle, &Client);
          OldClient.right = FWidth - ((R.right - R.left) - Client.right);
          OldClient.bottom = FHeight - ((R.bottom - R.top) - Client.bottom);
        }
        FLeft = R.left, FTop = R.top, FWidth = R.right - R.left, FHeight = R.bottom - R.top;
        if (Resized) {
          ApplyAnchors(OldClient.right, OldClient.bottom);
          Realign();
          Resize();
        }
      }
      return;
    }
    case WM_MOUSELEAVE:
      Application->MouseLeftWindow(this);
      break;
    case WM_SETCURSOR: {
      const TCursor Shown =
          Screen->Cursor() != crDefault ? Screen->Cursor() : CursorAtMouse(Message);
      if (Screen->Cursor() != crDefault ||
          (Shown != crDefault && LOWORD(Message.LParam) == HTCLIENT)) {
        ::SetCursor(CursorHandle(Shown));
        Message.Result = 1;
        return;
      }
      break;
    }
    default:
      if (IsClientMouseMessage(Message.Msg) && FHandle && RouteMouse(Message)) return;
      break;
  }
  TControl::WndProc(Message);
}

void TWinControl::DefaultHandler(TMessage& Message) {
  if (!FHandle || (Message.Msg >= CM_BASE && Message.Msg < 0xC000)) {
    Message.Result = 0;
    return;
  }
  Message.Result =
      CallWindowProcA(FDefWndProc, FHandle, Message.Msg, Message.WParam, Message.LParam);
}

// --- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) { FClickOnMouseUp = true; }

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintOn(HDC DC) {
  FCanvas.SetHandle(DC);
  FCanvas.Font()->Assign(Font());
  FCanvas.Brush()->SetColor(Color());
  Paint();
  FCanvas.SetHandle(nullptr);
}

void TGraphicControl::PaintInParent(HDC DC) {
  RECT R = BoundsRect();
  if (!RectVisible(DC, &R)) return;
  int Saved = SaveDC(DC);
  SetViewportOrgEx(DC, R.left, R.top, nullptr);
  IntersectClipRect(DC, 0, 0, Width(), Height());
  PaintOn(DC);
  RestoreDC(DC, Saved);
}

// --- TCustomControl

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) { FClickOnMouseUp = true; }

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC DC) {
  FCanvas.SetHandle(DC);
  FCanvas.Font()->Assign(Font());
  FCanvas.Brush()->SetColor(Color());
  Paint();
  FCanvas.SetHandle(nullptr);
}
