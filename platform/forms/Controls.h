// Controls over real windows: one window procedure for all of them, system
// controls subclassed right after creation, parent notifications reflected
// to the child's wrapper, and the keyboard pre-processing of dialog keys.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "forms/Graphics.h"
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

// Messages of the layer: notifications (CM_*) and reflected parent
// notifications (CN_* = CN_BASE + the original message), above WM_APP.
constexpr UINT CM_BASE = 0xB000;
enum : UINT {
  CM_ENTER = CM_BASE,
  CM_EXIT,
  CM_MOUSEENTER,
  CM_MOUSELEAVE,
  CM_FONTCHANGED,
  CM_ENABLEDCHANGED,
  CM_VISIBLECHANGED,
  CM_TEXTCHANGED,
  CM_COLORCHANGED,
  CM_DIALOGKEY,       // WParam: key; non-zero result: handled
  CM_WANTSPECIALKEY,  // WParam: key; non-zero result: the control keeps it
  CM_CONTROLCHANGE,   // WParam: the child control, LParam: 1 inserted, 0 removed
  // To a form's active control: close what it has dropped down. WParam: the
  // control the user pressed a mouse button on, or 0 when the form moved,
  // was sized, lost the activation or closed.
  CM_CANCELMODE,
  // Broadcast through a form for Alt with a character. WParam: the
  // character; non-zero result: a control took it.
  CM_DIALOGCHAR,
  // The parent's font changed, or the control got a parent; a control
  // with ParentFont takes the parent's font.
  CM_PARENTFONTCHANGED,
  // The application's hint cycle asks the control under the mouse. LParam:
  // the THintInfo to fill; a non-zero result refuses the hint.
  CM_HINTSHOW,
  // WParam: non-zero while a hint is shown; LParam: int*, the pause in ms
  // before the hint shows, which the control may change.
  CM_HINTSHOWPAUSE,
  // The system colours changed: a form passes the system's notice on to
  // every control in it.
  CM_SYSCOLORCHANGE,
  // The control's BiDiMode changed.
  CM_BIDIMODECHANGED,
  // Makes the control's window anew, its styles from the present state.
  CM_RECREATEWND,
  // To a data-aware control: the result is its data link, or 0.
  CM_GETDATALINK,
};
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND, CN_NOTIFY = CN_BASE + WM_NOTIFY,
               CN_DRAWITEM = CN_BASE + WM_DRAWITEM, CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
               CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN, CN_HSCROLL = CN_BASE + WM_HSCROLL,
               CN_VSCROLL = CN_BASE + WM_VSCROLL, CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT,
               CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX,
               CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN,
               CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

class TControl;
class THintWindow;

// What the hint for the control under the mouse shows, and where.
struct THintInfo {
  TControl* HintControl = nullptr;
  // The window to show it in; none: the application's own.
  THintWindow* HintWindow = nullptr;
  POINT HintPos{0, 0};  // screen: the window's top left
  int HintMaxWidth = 0;
  POINT CursorPos{0, 0};  // client
  // Client: the hint stays while the mouse is inside.
  RECT CursorRect{0, 0, 0, 0};
  AnsiString HintStr;
  // Handed to the hint window's measuring (a font for the grid's tips).
  void* HintData = nullptr;
};

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT,
                       mrRetry = IDRETRY, mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO,
                       mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TBiDiMode { bdLeftToRight, bdRightToLeft };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

using TCursor = int16_t;
// crVSplit: a bar between panes stacked one above the other.
constexpr TCursor crDefault = 0, crArrow = -2, crIBeam = -4, crSizeNESW = -6, crSizeNWSE = -8,
                  crHourGlass = -11, crVSplit = -15, crHandPoint = -21;
HCURSOR CursorHandle(TCursor Cursor);

using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// Dragging one control onto another with the mouse (DragManager).
enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using TDragOverEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y,
                                          TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
// Target: the control that took the drop, or null when the drag was cancelled.
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

TShiftState KeyboardShiftState();
// Whether the caption marks the character as its accelerator: the one after
// a single "&", in either case.
bool IsAccel(char Key, const AnsiString& Caption);
TShiftState MouseShiftState(WPARAM Keys);

enum TImeMode {
  imDisable,
  imClose,
  imOpen,
  imDontCare,
  imSAlpha,
  imAlpha,
  imHira,
  imSKata,
  imKata,
  imChinese,
  imSHanguel,
  imHanguel
};

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TBasicAction;

class TControl : public TComponent {
  friend class TWinControl;

 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* Value);

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  virtual RECT ClientRect();
  int ClientWidth() { return ClientRect().right; }
  int ClientHeight() { return ClientRect().bottom; }
  void SetClientWidth(int Value) { SetClientSize(Value, ClientHeight()); }
  void SetClientHeight(int Value) { SetClientSize(ClientWidth(), Value); }
  virtual void SetClientSize(int AWidth, int AHeight);
  POINT ClientToScreen(POINT Point);
  POINT ScreenToClient(POINT Point);
  // The offset of the client area in the nearest window: a windowless
  // control draws in its parent's window.
  virtual POINT ClientOrigin();

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value) { FAnchors = Value; }

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible itself and on a showing parent.
  virtual bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);

  virtual AnsiString Text();
  virtual void SetText(const AnsiString& Value);
  AnsiString Caption() { return Text(); }
  void SetCaption(const AnsiString& Value) { SetText(Value); }

  TFont* Font() { return &FFont; }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value) { FCursor = Value; }
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& Value) { FHint = Value; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value) { FShowHint = Value; }
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);
  TBiDiMode BiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode Value);
  // Text read from right to left.
  bool UseRightToLeftReading() const { return FBiDiMode == bdRightToLeft; }
  // Text and parts laid out from the right edge.
  virtual bool UseRightToLeftAlignment() { return FBiDiMode == bdRightToLeft; }

  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  // Every message of the control passes here; derived controls handle what
  // they need and pass the rest on.
  virtual void WndProc(TMessage& Message);
  virtual void DefaultHandler(TMessage& Message);
  virtual void Invalidate();
  void Repaint();
  void Update();
  void BringToFront();
  virtual void Click();
  virtual void DblClick();
  // An action offered to the control (ActnList.h): true when it carried it
  // out, or set its state.
  virtual bool ExecuteAction(TBasicAction*) { return false; }
  virtual bool UpdateAction(TBasicAction*) { return false; }

  TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave, OnResize;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // An automatic drag starts with a press of the left button on the control.
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode Value) { FDragMode = Value; }
  // Drags the control with the mouse until the button is released (a drop)
  // or Esc, the right button or a loss of the capture cancels; without
  // Immediate it starts once the mouse has moved Threshold pixels (-1: the
  // system's drag distance).
  void BeginDrag(bool Immediate, int Threshold = -1);
  bool Dragging() const;
  // Asked as the dragged Source moves over the control; it accepts when
  // OnDragOver is assigned and leaves Accept set.
  virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int X, int Y);
  virtual void DoEndDrag(TObject* Target, int X, int Y);

  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseEnter();
  virtual void MouseLeave();
  // The wheel turned by WheelDelta (WHEEL_DELTA a notch, negative towards
  // the user) with the mouse at the screen point MousePos; true when used.
  // Each notch, a part of one counting as one, goes to DoMouseWheelDown or
  // DoMouseWheelUp. A wheel unused here and by the parents goes on to the
  // window's default handling.
  virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, POINT MousePos);
  virtual bool DoMouseWheelDown(TShiftState, POINT) { return false; }
  virtual bool DoMouseWheelUp(TShiftState, POINT) { return false; }
  virtual void Resize();
  // Lets an auto-sized control fit its content.
  virtual void AdjustSize() {}
  // Pushes the bounds to the window, if there is one.
  virtual void UpdateWindowBounds() {}
  void RequestAlign();
  void ParentFontChanged();
  void ParentColorChanged();

  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  bool FVisible = true, FEnabled = true;
  // A press and a release inside make a click (labels, panels, images).
  bool FClickOnMouseUp = false;
  bool FMouseInControl = false;
  AnsiString FText;

 private:
  void FontChanged(TObject*);
  void ClickCheck(int X, int Y);
  TAlign FAlign = alNone;
  TAnchors FAnchors{akLeft, akTop};
  TFont FFont;
  bool FParentFont = true, FParentColor = false, FApplyingParentFont = false;
  TColor FColor = clBtnFace;
  TCursor FCursor = crDefault;
  AnsiString FHint;
  bool FShowHint = false;
  bool FPressed = false;
  TPopupMenu* FPopupMenu = nullptr;
  TBiDiMode FBiDiMode = bdLeftToRight;
  TDragMode FDragMode = dmManual;
};

struct TCreateParams {
  AnsiString Caption;
  DWORD Style = 0, ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  // A system class (EDIT, BUTTON, ...) is subclassed; ours gets the layer's
  // window procedure from the start.
  AnsiString WinClassName;
  bool SystemClass = false;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // The window is made on first need, with its parents'.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // The window's right-to-left extended styles are those a window made now
  // would get (true without a window).
  bool RightToLeftStylesAgree();
  void HandleNeeded() { Handle(); }
  // Destroys and remakes the window, keeping the control's properties.
  void RecreateWnd();

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int Index) const { return FControls[Index]; }
  void InsertControl(TControl* Control);
  void RemoveControl(TControl* Control);
  bool ContainsControl(TControl* Control) const;
  void Realign();
  void AlignControls(RECT& Rect);

  int TabOrder() const;
  void SetTabOrder(int Value);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value);
  // The input method the control asks for, switched to when it gets the
  // focus (the default name is the system's, none).
  TImeMode ImeMode() const { return FImeMode; }
  void SetImeMode(TImeMode Value) { FImeMode = Value; }
  const AnsiString& ImeName() const { return FImeName; }
  void SetImeName(const AnsiString& Value) { FImeName = Value; }
  // This control's windowed children at any depth, in tab order.
  void GetTabOrderList(std::vector<TWinControl*>& List);
  TWinControl* FindNextControl(TWinControl* Current, bool GoForward, bool CheckTabStop,
                               bool CheckParent);
  void SelectNext(TWinControl* Current, bool GoForward, bool CheckTabStop);
  virtual bool CanFocus();
  bool Focused();
  virtual void SetFocus();

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  RECT ClientRect() override;
  void SetClientSize(int AWidth, int AHeight) override;
  POINT ClientOrigin() override;
  void SetVisible(bool Value) override;
  bool Showing() const override;
  void SetEnabled(bool Value) override;
  AnsiString Text() override;
  void SetText(const AnsiString& Value) override;
  void Invalidate() override;
  void WndProc(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  // The brush of the control's colour for its background.
  TBrush* Brush() { return &FBrush; }
  // Sends a message to every child, stopping at the first non-zero result.
  LRESULT Broadcast(TMessage& Message);

  TNotifyEvent OnEnter, OnExit;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;
  // The raw message hook: sees every message first; true stops it there.
  std::function<bool(TMessage& Message)> MessageHook;

 protected:
  virtual void CreateParams(TCreateParams& Params);
  // The part of the client area aligned children take.
  virtual void AdjustClientRect(RECT&) {}
  virtual void CreateWnd();
  // Called once the window exists, before the children get theirs.
  virtual void CreateWindowHandle(const TCreateParams& Params);
  virtual void AfterCreateWnd() {}
  // Called before the window goes: read back state kept by the window.
  virtual void BeforeDestroyWnd();
  void DestroyHandle();
  void UpdateWindowBounds() override;
  virtual void PaintWindow(HDC DC);
  void PaintControls(HDC DC);
  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void DoEnter();
  virtual void DoExit();
  // Handles the dialog keys (Tab, arrows, Enter, Esc) before the window
  // sees them; true when used.
  bool PreprocessKey(TMessage& Message);
  // Key messages: form preview, then the control's handlers; true when
  // the key was consumed.
  bool DoKeyDown(TMessage& Message);
  bool DoKeyPress(TMessage& Message);
  bool DoKeyUp(TMessage& Message);
  TControl* ControlAtPos(POINT Point);

  HWND FHandle = nullptr;
  WNDPROC FDefWndProc = nullptr;

 private:
  friend class TControl;
  friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
  bool DoKey(TMessage& Message, bool (TWinControl::*Preview)(TMessage&),
             void (TWinControl::*Handler)(uint16_t&, TShiftState));
  void ReflectNotification(TMessage& Message);
  // Drops the binding to the window, which is going or gone.
  void Unbind();
  // The window went without DestroyHandle (with its owner, say).
  void WindowDestroyed();
  bool RouteMouse(TMessage& Message);
  // For WM_SETCURSOR: the cursor of the control under the mouse.
  TCursor CursorAtMouse(const TMessage& SetCursor);
  void ApplyAnchors(int OldClientWidth, int OldClientHeight);
  LRESULT ControlColor(TMessage& Message);
  void BrushChanged(TObject*);
  std::vector<TControl*> FControls;
  std::vector<TWinControl*> FTabList;
  bool FTabStop = false;
  TImeMode FImeMode = imDontCare;
  AnsiString FImeName;
  TBrush FBrush;
  TControl* FCaptureControl = nullptr;
  int FAlignLevel = 0;
};

// Windowless: draws on its parent's window and gets its mouse messages
// from the parent.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() { return &FCanvas; }
  // Called by the parent's paint with the parent's DC moved to this control.
  void PaintOn(HDC DC);
  // Paints at its bounds on a context of the parent's client area, when
  // they meet the context's clip region.
  void PaintInParent(HDC DC);

 protected:
  virtual void Paint() {}

 private:
  TCanvas FCanvas;
};

// A windowed control of our own class that paints itself on a canvas.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() { return &FCanvas; }

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC DC) override;

 private:
  TCanvas FCanvas;
};

// The window procedure of every window of ours and of every subclassed
// system control.
LRESULT CALLBACK ControlWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

// The control bound to a window (or, for a window of a system control's
// inner part, to its nearest bound parent).
TWinControl* FindControl(HWND Wnd);
TWinControl* FindBoundControl(HWND Wnd);
TCustomForm* GetParentForm(TControl* Control);
