// The drop-down windows of the edit controls and of the grid's editor: a
// popup list box, its descendant for recently used values fed by an MRU
// list, and a popup month calendar. All are top-level tool windows that
// never take the focus from their editor; they are placed next to it by one
// rule, and the list boxes carry a size grip in the corner away from it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "forms/Controls.h"
#include "forms/Graphics.h"
#include "rtl/Classes.h"

enum TDropDownAlign { daLeft, daRight, daCenter };

// What the owner of a popup offers: the popup closes itself through it.
class IPopupOwnerKs {
 public:
  virtual void CloseUp(bool Accept) = 0;

 protected:
  ~IPopupOwnerKs() = default;
};

// Messages of the popups. To a popup list box: WParam a TSizeGripChangePosition.
constexpr UINT CM_SIZEGRIPCHANGEPOSITIONKS = CM_BASE + 0x100;
// Posted by the calendar to itself when it lost the focus.
constexpr UINT CM_CLOSEUPKS = CM_BASE + 0x101;

// A top-level tool window over the form of the control that owns it; a
// border only without the 3-D look, which paints its own frame.
void MakePopupParams(TCreateParams& Params, TComponent* Owner, bool Ctl3D);
// Shows the popup at the screen point without activating it.
void ShowPopupAt(TWinControl* Popup, POINT Position);

// The screen point for the drop-down's top-left corner next to the editor's
// screen rectangle, inside the work area of the nearest monitor; the
// drop-down's height and width may shrink to fit, and it is told where its
// size grip belongs.
POINT AlignDropDownWindow(const RECT& EditorScreenRect, TWinControl* DropDown,
                          TDropDownAlign Align);
// The same for a control, from its bounds on the screen.
POINT DropDownUnderControl(TControl* Control, TWinControl* DropDown, TDropDownAlign Align);

enum TSizeGripPosition { sgpTopLeft, sgpTopRight, sgpBottomRight, sgpBottomLeft };
enum TSizeGripChangePosition { sgcpToLeft, sgcpToRight, sgcpToTop, sgcpToBottom };

// The grip in a corner of a resizable drop-down; dragging it resizes the
// drop-down within the work area.
class TSizeGripKs : public TCustomControl {
 public:
  explicit TSizeGripKs(TComponent* AOwner);
  TSizeGripPosition Position() const { return FPosition; }
  void SetPosition(TSizeGripPosition Value);
  void SetSizeGripPosition(TSizeGripPosition Value) { SetPosition(Value); }
  // Shows or hides the grip and repaints it.
  void SetSizeGripFlag(bool Value);
  // The window is the triangle of its corner.
  bool Triangle() const { return FTriangle; }
  void SetTriangle(bool Value);
  void ChangePosition(TSizeGripChangePosition Change);
  // Puts the grip into its corner of the parent's client area.
  void AlignSizeGrip();
  void ShowSizeGripWindow(bool Show);

  TNotifyEvent OnParentResized;

 protected:
  void AfterCreateWnd() override;
  void WndProc(TMessage& Message) override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  bool OnRight() const { return FPosition == sgpTopRight || FPosition == sgpBottomRight; }
  bool OnBottom() const { return FPosition == sgpBottomRight || FPosition == sgpBottomLeft; }
  void UpdateRegion();
  TSizeGripPosition FPosition = sgpBottomRight;
  bool FTriangle = true, FDragging = false, FAligning = false;
  POINT FStartPoint{}, FLastPoint{};
  RECT FStartBounds{};
  int FStartClientWidth = 0, FStartClientHeight = 0;
};

using TGetItemImageIndexEventKs =
    std::function<void(TObject* Sender, int ItemIndex, int& ImageIndex)>;

// An owner-drawn list in a top-level tool window. Its owner must be a
// control with a window: the list is shown over that control's form.
class TPopupListboxKs : public TWinControl {
 public:
  explicit TPopupListboxKs(TComponent* AOwner);
  ~TPopupListboxKs() override;

  TStrings* Items() { return FItems; }
  bool Sorted() const { return FItems->Sorted(); }
  void SetSorted(bool Value) { FItems->SetSorted(Value); }
  int ItemIndex();
  void SetItemIndex(int Value);
  int TopIndex();
  void SetTopIndex(int Value);
  // The item at a client point, or -1.
  int ItemAtPos(POINT Point);
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int Value);
  // The rows that fit the client area.
  int RowCount();
  // Height for Rows rows (at least one) with the frame.
  void SetRowCount(int Rows);
  void SetPopupRowCount(int Rows) { SetRowCount(Rows); }
  // The height of the list's font's text.
  int ListboxTextHeight();
  TImageList* Images() const { return FImages; }
  void SetImages(TImageList* Value);
  // 3-D look: a raised frame two pixels wide instead of a border.
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  int BorderWidth() const { return FCtl3D ? 2 : 0; }
  // The frame: the styles' own plus the border width on each side.
  SIZE NonClientSize();
  TSizeGripKs* SizeGrip() { return FSizeGrip; }
  // Set by every resize; the owner clears it after placing the list.
  bool SizedByUser() const { return FSizedByUser; }
  void SetSizedByUser(bool Value) { FSizedByUser = Value; }
  // Keeps whole rows; refuses a size below a scroll-bar arrow's.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  // Shown without activation.
  void ShowAt(POINT Position);
  void WndProc(TMessage& Message) override;

  TGetItemImageIndexEventKs OnGetItemImageIndex;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void Resize() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void DrawItem(const DRAWITEMSTRUCT& Item);
  // The client area changed or the list scrolled.
  virtual void ContentChanged() {}

 private:
  void FillList();
  void Search(char Key);
  TStringList* FItems;
  TSizeGripKs* FSizeGrip;
  TImageList* FImages = nullptr;
  int FItemHeight = 16;
  bool FCtl3D = true, FSizedByUser = false;
  POINT FLastMousePoint{-1, -1};
  AnsiString FSearchText;
  DWORD FSearchTime = 0;
};

// The width of the widest of the first Count items in the font.
int WidestItemWidth(TStrings* Items, int Count, TFont* Font);

// A vertical scroll bar whose notifications go to its parent as WM_VSCROLL.
class TPopupScrollBarKs : public TWinControl {
 public:
  explicit TPopupScrollBarKs(TComponent* AOwner);
  void SetParams(int Position, int Min, int Max, int Page);
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
};

// The drop-down of recently used values, with a scroll bar of its own.
class TMRUListboxKs : public TPopupListboxKs {
 public:
  explicit TMRUListboxKs(TComponent* AOwner);
  TPopupScrollBarKs* ScrollBar() { return FScrollBar; }
  // Places and sets the scroll bar for the rows shown.
  void UpdateMRUScrollBar();
  // A pointer-sized value the editor keeps with its list.
  intptr_t MRUListboxField() const { return FField; }
  void SetMRUListboxField(intptr_t Value) { FField = Value; }
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void ContentChanged() override { UpdateMRUScrollBar(); }

 private:
  TPopupScrollBarKs* FScrollBar;
  intptr_t FField = 0;
  bool FPlacingScrollBar = false;
};

using TMRUFilterEventKs = std::function<void(TObject* Sender, const AnsiString& Item, bool& Accept)>;
using TCloseUpEventKs = std::function<void(TObject* Sender, bool Accept)>;

// Values the user entered recently, oldest first.
class TMRUListKs : public TPersistent {
 public:
  explicit TMRUListKs(TComponent* AOwner);
  ~TMRUListKs() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return FOwner; }

  bool Active() const { return FActive; }
  void SetActive(bool Value);
  bool AutoAdd() const { return FAutoAdd; }
  void SetAutoAdd(bool Value) { FAutoAdd = Value; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value) { FCaseSensitive = Value; }
  TStrings* Items() { return FItems; }
  void SetItems(TStrings* Value) { FItems->Assign(Value); }
  int Limit() const { return FLimit; }
  // Below 0 counts as 0; the oldest values beyond it go at once.
  void SetLimit(int Value);
  int Rows() const { return FRows; }
  void SetRows(int Value) { FRows = Value; }
  // The drop-down's width the user left; 0: its editor's.
  int Width() const { return FWidth; }
  void SetWidth(int Value) { FWidth = Value; }
  bool CancelIfKeyInQueue() const { return FCancelIfKeyInQueue; }
  void SetCancelIfKeyInQueue(bool Value) { FCancelIfKeyInQueue = Value; }
  bool DroppedDown() const { return FDroppedDown; }
  void SetDroppedDown(bool Value) { FDroppedDown = Value; }

  // Trimmed; an equal value moves to the end instead of being added twice.
  void AddMRUItem(const AnsiString& Value);
  // Target gets the values that start with Text, in order; false when a
  // waiting key press stopped the work.
  bool FilterMRUItems(const AnsiString& Text, TStrings* Target);
  // Whether Item starts with Text, by the list's case rule.
  bool ItemStartsWith(const AnsiString& Item, const AnsiString& Text) const;
  // Ask the owning editor to close or show the drop-down.
  virtual void CloseUp(bool Accept);
  virtual void DropDown();

  TMRUFilterEventKs OnFilterItem;
  TNotifyEvent OnActiveChanged;
  TCloseUpEventKs OnSetCloseUpEvent;
  TNotifyEvent OnSetDropDownEvent;

 private:
  void TrimToLimit();
  TComponent* FOwner;
  bool FActive = false, FAutoAdd = true, FCaseSensitive = false;
  TStringList* FItems;
  int FLimit = 100, FRows = 7, FWidth = 0;
  bool FCancelIfKeyInQueue = true, FDroppedDown = false;
};

// A month calendar in a popup; its owner (an IPopupOwnerKs) hears Enter,
// Esc, a click on a date, a click outside and the loss of the focus. The
// owner is the control that keeps the focus: while the calendar shows, it
// holds the mouse, and the owner's Enter, Esc and moving keys and its loss
// of the focus come to the calendar, and so does its cancel mode.
class TPopupMonthCalendarKs : public TWinControl {
 public:
  explicit TPopupMonthCalendarKs(TComponent* AOwner);
  ~TPopupMonthCalendarKs() override;
  TDateTime Date();
  void SetDate(TDateTime Value);
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  int BorderWidth() const { return FCtl3D ? 2 : 0; }
  void ShowAt(POINT Position);
  void SetVisible(bool Value) override;
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void CloseOwner(bool Accept);
  void WatchOwner();
  bool OwnerMessage(TMessage& Message);
  bool FCtl3D = true;
  TDateTime FDate = 0;
  TWinControl* FWatched = nullptr;
  std::function<bool(TMessage&)> FOwnerHook;
};
