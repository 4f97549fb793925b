// The editor the data grid places over its current cell: the cell's text
// with the column's edit buttons and image, and the column's drop-downs
// (pick list with its key list, month calendar, popup calculator, recently
// used values). The popups never take the focus: the editor keeps it and
// hands them the keys they need.
#pragma once

#include <memory>
#include <vector>

#include "COMPONENTS/kslib/CalculatorKs.h"
#include "COMPONENTS/kslib/DBGridKsColumns.h"
#include "COMPONENTS/kslib/PopupCtrlsKs.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "forms/Grids.h"

class TCustomDBGridKs;
class TPopupDataGridKs;
class TSDS;

// The numbers are part of the interface.
enum TInplaceEditStyleKs {
  iesSimple,
  iesEllipsis,
  iesPickList,
  iesDataList,
  iesDateCalendar,
  iesUpDown,
  iesDropDown
};

// Posted to itself: pops up an extra button's menu under the button
// (WParam: the button's index among the controls).
constexpr UINT WM_EDITBUTTONMENUKS = WM_USER + 102;

class TDBGridInplaceEdit : public TInplaceEdit, public IPopupOwnerKs {
 public:
  explicit TDBGridInplaceEdit(TComponent* AOwner);
  ~TDBGridInplaceEdit() override;

  // The style a cell of the column is edited with, as the grid and the
  // column draw its button.
  static TInplaceEditStyleKs GetEditStyle(TColumnKs* Column);
  TInplaceEditStyleKs EditStyle() const { return FEditStyle; }
  void SetEditStyle(TInplaceEditStyleKs Value);
  // Takes the style, looks and text of the grid's current cell.
  void UpdateContents() override;

  // Opens the style's list; nothing while one is open or the style has none.
  void DropDown();
  // Closes the open list, taking its value when accepting; a popup closes
  // itself through it.
  void CloseUp(bool Accept) override;
  bool ListVisible() const { return FListVisible; }
  TWinControl* ActiveList() const { return FActiveList; }
  TPopupListboxKs* PickList() const { return FPickList; }
  TPopupMonthCalendarKs* Calendar() const { return FCalendar; }
  // The lookup column's list (the column owns it).
  TPopupDataGridKs* DataList() const { return FDataList; }
  TPopupCalculatorKs* GetPopupCalculator();
  TMRUListboxKs* MRUListbox() const { return FMRUListbox; }
  bool MRUListOpen() const { return FMRUList && FMRUList->DroppedDown(); }

  // The default button first, then one per column edit button.
  TEditButtonControlKs* ButtonControl(int Index) const { return FButtons[Index]; }
  int ButtonControlCount() const { return static_cast<int>(FButtons.size()); }
  int ButtonsWidth() const { return FButtonsWidth; }
  int ImageIndex() const { return FImageIndex; }
  // The text area: the client area less the buttons and the image.
  RECT GetEditRect();
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void Resize() override;
  void Change() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  bool DoMouseWheelDown(TShiftState Shift, POINT MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, POINT MousePos) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The column image for the text: its pick-list line, or an integer field's value.
  virtual void UpdateEditImage();
  virtual TEditButtonControlKs* CreateEditButtonControl();
  virtual TMRUListboxKs* CreateMRUListbox();
  // The default button pressed: steps an up-down value, else opens the list.
  virtual void ButtonDown(bool IsDownButton);
  // A typed character in a key-list column; Typed is emptied when taken.
  virtual void IncrementalFilter(AnsiString& Typed);
  virtual void EditButtonClick(TObject* Sender);
  virtual void EditButtonMouseDown(TObject* Sender, bool TopButton, bool& AutoRepeat,
                                   bool& Handled);
  // The mouse held on the default button after it opened the list: moved
  // into the list, the list takes the press over and tracks the rows, and
  // the release there picks one.
  virtual void ButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  // The button let go outside itself: no longer tracking; over the editor
  // the open list closes taking nothing.
  virtual void ButtonMouseLeave(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                int Y);
  virtual void DrawRequiredState(HDC DC);
  // The recently used values' list as the user sized it: its rows and width.
  virtual void SaveMRUListSize();
  // The text changed other than by taking the cell's: the recently used
  // values follow once the message is done, the image at once.
  virtual void EditTextChanged();
  // The keys of an open (or openable) list, before the editor's own.
  void ListKeyDown(uint16_t& Key, TShiftState Shift);

 private:
  TCustomDBGridKs* DBGrid() const;
  bool WheelToList(bool Down, TShiftState Shift, POINT MousePos);
  TColumnKs* Column() const;
  // The grid draws right to left: buttons and image on the other side.
  bool RightToLeft() const;
  TDropDownAlign ListAlign() const;
  // The tree part's width left of the text when the grid shows its tree in
  // this column, else 0.
  int TreeIndent() const;
  bool ListStyleActive() const;
  bool ForwardListKey(TMessage& Message);
  void PassToGrid(uint16_t& Key, TShiftState Shift);
  bool EditButtonShortCut(uint16_t Key, TShiftState Shift);
  bool KeyPickListColumn();
  bool CellModifiable() { return EditCanModify(); }
  void ApplyCellParams(TColumnKs* Column);
  void LayoutButtons();
  void ApplyEditRect();
  void PlaceCompositionWindow();
  void PaintOverlay(HDC DC);
  void PaintButtonLines(HDC DC);
  void FillPickList(TColumnKs* Column);
  void AcceptList(TColumnKs* Column, TWinControl* List, int PickIndex);
  void PickListText(const AnsiString& NewText, int Index);
  bool PickListLookup(const AnsiString& NewText);
  void LookupText(const AnsiString& NewText, bool SelectRest);
  void TakeListRecord(TDataSet* List, int SelectFrom);
  void FollowListRecord(TDataSet* List);
  void DropTypedFilter(TSDS* Tree);
  void ClearLookupText();
  void PasteIntoList();
  void SetDataList(TPopupDataGridKs* List);
  bool PrepareDataList(TColumnKs* Column);
  void UpdateMRUList();
  void MRUListCloseUp(bool Accept);
  void PopupButtonMenu(int Index);

  TInplaceEditStyleKs FEditStyle = iesSimple;
  TWinControl* FActiveList = nullptr;
  std::vector<TEditButtonControlKs*> FButtons;
  int FButtonHeight = 0, FButtonsWidth = 0;
  bool FButtonPressed = false, FListVisible = false, FClosing = false;
  // The default button opened the list and is still held.
  bool FTracking = false;
  bool FMultiLine = false, FTextChanged = false, FLoading = false, FInBoundsChange = false;
  // The window was made for a right-to-left grid.
  bool FMirrored = false;
  TPopupListboxKs* FPickList = nullptr;
  TPopupCalculatorKs* FCalculator = nullptr;
  TPopupMonthCalendarKs* FCalendar = nullptr;
  TPopupDataGridKs* FDataList = nullptr;
  // The list dataset's source while the data list is open.
  std::unique_ptr<TDataSource> FListSource;
  TMRUListKs* FMRUList = nullptr;
  TMRUListboxKs* FMRUListbox = nullptr;
  AnsiString FMRUChosen;
  // The text and the column when the list opened.
  AnsiString FDroppedText;
  TColumnKs* FListColumn = nullptr;
  // The user moved the data list's columns while it was open.
  bool FListColumnsMoved = false;
  // The next character message is the trail byte of a lead passed on.
  bool FTrailNext = false;
  // Over a server dataset: typed text filters the open data list (else
  // locates in it); the dataset's own extra filter while the list is open.
  bool FFilterMode = false;
  AnsiString FSavedExtraFilter;
  int FImageIndex = -1;
};
