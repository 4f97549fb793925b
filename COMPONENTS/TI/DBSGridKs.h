// The grid of application forms over a TSDataSource: service switches,
// service keys taken from TI's actions at each press, record marks in
// their colour, level navigation and the editing rules of the framework.
#pragma once

#include "DBGridKs.h"
#include "forms/ActnList.h"

enum TServiceOption {
  srvMarkRecord,
  srvDoubleField,
  srvDoubleRecord,
  srvPrint,
  srvHandleLevels,
  srvCalc,
  srvSum,
  srvCount,
  srvFilter,
  srvSort,
  srvCallRef,
  srvFrozenOnEdit,
  srvGroupDelete,
  srvGroupReplace,
  srvDontToggleLevels,
  srvDontCustomize,
  srvDontCreatePopupMenu,
  srvDontAutoInsertAfterEnter
};
using TServiceOptions = TSet<TServiceOption>;
// Every switch up to group replace.
class TPrintDBGridKs;
// The print component all service grids share; null before the first print.
TPrintDBGridKs* SharedGridPrint();
// Start-up: the find dialog's key and the clone parent window; shutdown
// frees them and the shared print component.
void InitServiceGridUnit();
void DoneServiceGridUnit();

// A hidden utility window of its own, living from start-up to shutdown,
// for grids cloned off their form.
class TParentCloneGrid {
 public:
  TParentCloneGrid();
  ~TParentCloneGrid();
  TParentCloneGrid(const TParentCloneGrid&) = delete;
  TParentCloneGrid& operator=(const TParentCloneGrid&) = delete;
  HWND Handle() const { return FHandle; }

 private:
  HWND FHandle;
};
// Null outside start-up and shutdown.
TParentCloneGrid* ParentCloneGrid();

inline constexpr TServiceOptions DefaultServiceOptions{
    srvMarkRecord, srvDoubleField, srvDoubleRecord, srvPrint,      srvHandleLevels, srvCalc,         srvSum,
    srvCount,      srvFilter,      srvSort,         srvCallRef,    srvFrozenOnEdit, srvGroupDelete, srvGroupReplace};

class TSDataSource;

// The application's answers for printing: ParamNo 0 preview (Boolean), 10
// the header's text, 100 the title, 120 and 130 the texts before and after
// the grid, 7 monochrome condensed (Boolean); an unassigned value is no
// answer.
using TGetPrintParams = std::function<void(TObject* Sender, int ParamNo, Variant& ParamValue)>;

// The tag of a menu item the service grid added.
constexpr intptr_t ServiceMenuTag = -12345678;

class TDBSGridKs : public TDBGridKs {
 public:
  explicit TDBSGridKs(TComponent* AOwner);

  TServiceOptions ServiceOptions = DefaultServiceOptions;
  // Asked whether the selected cell takes typed text, after the grid's own
  // answer.
  std::function<void(TObject* Sender, TColumnKs* Column, bool& Result)> OnCanEditTextCell;
  // The data column the cursor last left; -1 before any.
  int LastExitedColumn = -1;
  // At load: a read-only record-state column in front of the others.
  bool ShowState = false;

  bool CanEditRecord();
  bool CanInsertRecord();
  bool CanDeleteRecord();
  // Whether the current record is the last one (or there is no open
  // dataset); the dataset's scroll events and the source's change event
  // are detached meanwhile and put back on every path.
  bool IsLastRecord();
  int LastVisibleColumnIndex();
  TColumnKs* FindColumnByFieldName(const AnsiString& Name);
  // While inserting: the column's field still shows its default expression.
  bool ColumnHoldsDefault(int Index);
  // To the nearest column on the right (left) that takes the cursor: a tab
  // stop that does not hold its default; none found, the cursor stays.
  void NextTabColumn();
  void PriorTabColumn();
  void OpenCellEditor();
  // Appends after the last record, else inserts after the current one.
  void InsertAfterCurrent();
  TSDataSource* ServiceSource() const;
  // While editing a record below another: the selected column's value from
  // the row above, then the next column is selected.
  void DuplicateFieldFromPrevious();
  // The same for the selected column and every one to its right that can
  // be written.
  void DuplicateFieldsToRight();
  void ShowFindDialog();

  // None given, the grid's own menu takes the place, unless the grid must
  // not make one: then the value is taken as given.
  void SetPopupMenu(TPopupMenu* Value);
  // The column under the last right click; null for the indicator.
  TColumnKs* ClickedColumn = nullptr;
  // The service entries, after the menu's own, for the grid's state and
  // switches; each added item carries ServiceMenuTag.
  void BuildServicePopupMenu(TPopupMenu* Menu);
  static void RemoveServiceItems(TMenuItem* Item);

  TGetPrintParams GetPrintParams;
  // Previews (or prints, as the application answers) the grid through the
  // shared print component; nothing while a job prints or records.
  void PrintGrid();
  // Whether the visible columns need more than a portrait page's width.
  bool GridWiderThanPage();

  // Enables the service actions by what the grid allows now; other
  // actions go to the grid's own update.
  bool UpdateAction(TBasicAction* Action) override;
  // The record edit and level toggle actions on the focused grid do what
  // the grid's own keys for them do.
  bool ExecuteAction(TBasicAction* Action) override;

  void GetCellParams(TColumnKs* Column, TFont* AFont, TColor& Background, TGridDrawState State) override;
  // A highlighted cell of a marked record, but the focused one, shows the
  // mark: black on the mark colour.
  bool GetCellHighlight(int DataCol, int DataRow, const AnsiString& Text, TGridDrawState State,
                        TColor& Background, TFont* AFont) override;

 protected:
  // Adds the state column when asked and the grid's own popup menu when
  // it has none.
  void Loaded() override;
  void WndProc(TMessage& Message) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // Tells the application's main form which grid took the focus.
  void DoEnter() override;
  void ColExit() override;
  // While editing, the cursor passes columns that hold their default and
  // the record posts on entering the last column that way.
  void ColEnter() override;
  bool CanEditAcceptKey(char Key) override;

 private:
  void WMRButtonDown(TMessage& Message);
  // One pending message of the number off the grid's queue, so a handled
  // key types no character.
  void DropPendingChar(UINT Msg) { KillMessage(Handle(), Msg); }
  void AddStateColumn();
  void AssignOwnPopupMenu();
  void ServicePopup(TObject* Sender);
  TMenuItem* AddMenuCaption(const AnsiString& Caption, TMenuItem* Parent);
  TMenuItem* AddActionItem(TAction* Action, TMenuItem* Parent);
  TPopupMenu* FOwnPopupMenu = nullptr;
  TNotifyEvent FSavedOnPopup;
  // The selected column, of the visible ones; null without one.
  TColumnKs* SelectedColumn();
  // The row above's value of the column's field, the active row kept.
  Variant ValueAbove(TField* Field);
  bool CanDuplicate();
  // A dataset that can be modified, through an editing grid.
  bool CanModifyThrough();
  bool Marked();
  // The editing-state and browse tables; true when the key was handled.
  bool EditingKey(uint16_t& Key, TShiftState Shift, uint16_t ShortCut);
  bool BrowseKey(uint16_t& Key, TShiftState Shift, uint16_t ShortCut);
  void RunGroup(uint8_t Operation);
  // The calculator keys (Alt with a key); true when one was handled.
  bool CalculatorKey(uint16_t& Key);
  void ApplyCalcOperator(const AnsiString& Operand, char Operator);
  void ApplyCalcResult();
  void ApplyCalcResultToEditor();
  // Stores the calculator's result in the selected field; an integer field
  // refuses a result beyond its range.
  void SetFieldFromCalc(TField* Field, long double Result);
  bool TakesCursor(int Index);
  void SelectColumn(int Index);
  void ToggleLevels();
  // Into edit state with the cell editor open.
  void EditCurrentRecord();
};
