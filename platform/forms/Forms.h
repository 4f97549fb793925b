// The application object, the screen, forms and the scroll box.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <vector>

#include "forms/Controls.h"

class TMainMenu;

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TPosition { poDesigned, poDefault, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
  friend class TWinControl;
  friend class TApplication;

 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool Value) { FKeyPreview = Value; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Control);
  TMainMenu* Menu() const { return FMenu; }
  void SetMenu(TMainMenu* Value);
  bool Active() const;
  bool Modal() const { return FModal; }

  void SetVisible(bool Value) override;
  bool Showing() const override;
  void SetFocus() override;
  // Shows the form and runs a message loop until the form gets a modal
  // result; every other window of the program is disabled meanwhile.
  virtual int ShowModal();
  void Close();
  // Frees the form once the messages being handled are done.
  void Release();
  void WndProc(TMessage& Message) override;
  // The control that last got the focus; gets enter/exit notifications.
  void SetFocusedControl(TWinControl* Control);
  // Tells the active control to close its drop-downs (CM_CANCELMODE).
  void SendCancelMode(TControl* Sender);

  TNotifyEvent OnCreate, OnShow, OnHide, OnActivate, OnDeactivate, OnDestroy;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  // A concrete form calls this at the end of its constructor, once its
  // components exist: Loaded for each, then OnCreate.
  void DoCreate();
  virtual bool CloseQuery();

 private:
  void ControlDestroyed(TWinControl* Control);
  void ApplyPosition();
  void DialogKey(TMessage& Message);
  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
  TPosition FPosition = poDesigned;
  bool FKeyPreview = false, FModal = false, FPositioned = false, FDestroying = false;
  TModalResult FModalResult = mrNone;
  TWinControl* FActiveControl = nullptr;
  TWinControl* FFocusedControl = nullptr;
  TMainMenu* FMenu = nullptr;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

class TScrollingWinControl;

// One scroll bar of a scrolling control; its range follows the content.
class TControlScrollBar {
 public:
  TControlScrollBar(TScrollingWinControl* Control, int Bar) : FControl(Control), FBar(Bar) {}
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  int Range() const { return FRange; }
  int Position() const { return FPosition; }
  void SetPosition(int Value);

 private:
  friend class TScrollingWinControl;
  void Update(int Page);
  TScrollingWinControl* FControl;
  int FBar;
  bool FVisible = true;
  int FRange = 0, FPosition = 0;
};

// A control whose content scrolls: the children move by the scroll
// position, and the ranges follow the children's extent.
class TScrollingWinControl : public TWinControl {
 public:
  explicit TScrollingWinControl(TComponent* AOwner);
  TControlScrollBar* HorzScrollBar() { return &FHorz; }
  TControlScrollBar* VertScrollBar() { return &FVert; }
  // Recomputes the ranges and shows the bars the content needs.
  void UpdateScrollBars();
  void ScrollBy(int DeltaX, int DeltaY);
  void WndProc(TMessage& Message) override;

 protected:
  void AfterCreateWnd() override;
  void Resize() override;

 private:
  void Scroll(TControlScrollBar& Bar, int Code, int Page);
  TControlScrollBar FHorz, FVert;
  bool FUpdating = false;
};

class TScrollBox : public TScrollingWinControl {
 public:
  explicit TScrollBox(TComponent* AOwner);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);

 protected:
  void CreateParams(TCreateParams& Params) override;

 private:
  TBorderStyle FBorderStyle = bsSingle;
};

using TExceptionEvent = std::function<void(TObject* Sender, Exception* E)>;
using TMessageEvent = std::function<void(MSG& Msg, bool& Handled)>;

class TApplication : public TComponent {
  friend class TCustomForm;

 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  void Initialize() {}
  // Creates a form owned by the application; the first becomes the main form.
  template <class T>
  void CreateForm(T*& Reference) {
    Reference = new T(this);
    if (!FMainForm) FMainForm = Reference;
  }
  // Shows the main form and handles messages until the program ends.
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  void ProcessMessages();
  void HandleMessage();
  // Call inside a catch block: hands the exception being handled to
  // OnException, or shows it; EAbort is silent.
  void HandleException(TObject* Sender);
  void ShowException(Exception* E);
  // The platform's standard message box, through the prompts.
  int MessageBox(const AnsiString& Text, const AnsiString& Caption, UINT Flags = MB_OK);

  TCustomForm* MainForm() const { return FMainForm; }
  HWND Handle() const;
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& Value) { FTitle = Value; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  // How long the mouse rests on a control before its hint shows, and
  // before the next one shows while a hint is up (ms).
  int HintPause() const { return FHintPause; }
  void SetHintPause(int Value) { FHintPause = Value; }
  int HintShortPause() const { return FHintShortPause; }
  void SetHintShortPause(int Value) { FHintShortPause = Value; }
  // Where the mouse stood at its last move over a hinted control (screen).
  POINT HintCursorPos() const { return FHintCursor; }
  // The hint window showing now, or none.
  THintWindow* ShownHintWindow() const { return FShownHint; }
  void CancelHint();
  TBiDiMode BiDiMode() const { return bdLeftToRight; }
  void Minimize();
  void Restore();

  TExceptionEvent OnException;
  TMessageEvent OnMessage;

  // Used by the controls.
  void SetMouseControl(TControl* Control);
  void MouseLeftWindow(TWinControl* Control);
  void ControlDestroyed(TControl* Control);
  // The hint cycle: the mouse moved over the control (client point), with
  // the message's key state.
  void HintMouseMessage(TControl* Control, POINT Pos, WPARAM Keys);
  void HintTimerExpired();

 private:
  bool ProcessMessage(MSG& Msg);
  bool IsKeyMsg(MSG& Msg);
  void FreeReleasedForms();
  TCustomForm* FMainForm = nullptr;
  std::vector<TCustomForm*> FReleased;
  TControl* FMouseControl = nullptr;
  AnsiString FTitle;
  bool FTerminated = false, FShowHint = true;
  // The hint cycle: the control waited on or showing a hint, where the
  // shown hint stays (screen), the pause timer.
  TControl* FHintControl = nullptr;
  THintWindow* FHintWindow = nullptr;
  THintWindow* FShownHint = nullptr;
  RECT FHintCursorRect{0, 0, 0, 0};
  POINT FHintCursor{0, 0};
  UINT_PTR FHintTimer = 0;
  int FHintPause = 500, FHintShortPause = 50;
};

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* AOwner);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  // The program's own cursors in slots from 1 up; an empty slot holds the
  // arrow.
  HCURSOR Cursors(TCursor Index) const;
  void SetCursors(TCursor Index, HCURSOR Cursor) { FCursors[Index] = Cursor; }
  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
  RECT WorkAreaRect() const;
  TCustomForm* ActiveForm() const;
  TWinControl* ActiveControl() const;
  int FormCount() const { return static_cast<int>(FForms.size()); }
  TCustomForm* Forms(int Index) const { return FForms[Index]; }

 private:
  friend class TCustomForm;
  TCursor FCursor = crDefault;
  std::map<TCursor, HCURSOR> FCursors;
  std::vector<TCustomForm*> FForms;
};

// Disables the program's other visible windows (all but Except) for a
// modal dialog; the list enables them again.
std::vector<HWND> DisableTaskWindows(HWND Except = nullptr);
void EnableTaskWindows(const std::vector<HWND>& Windows);

extern TApplication* Application;
extern TScreen* Screen;
