// The data grid: the records of one dataset as rows, its fields as
// columns. Its parts: columns (DBGridKsColumns), the data link
// (DBGridKsDataLink), the selection (DBGridKsSelection), the style, data
// service and scroll-bar settings (DBGridKsStyle) and the title tree
// (DBGridKsTitleTree); the layout is in DBGridKsLayout.cpp, the cell
// texts in DBGridKsCellText.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "COMPONENTS/kslib/DBGridKsBookmarks.h"
#include "COMPONENTS/kslib/DBEditKs.h"
#include "COMPONENTS/kslib/DBGridKsColumns.h"
#include "COMPONENTS/kslib/DBGridKsDataLink.h"
#include "COMPONENTS/kslib/DBGridKsFooters.h"
#include "COMPONENTS/kslib/DBGridKsSelection.h"
#include "COMPONENTS/kslib/DBGridKsStyle.h"
#include "COMPONENTS/kslib/DBGridKsTitleTree.h"
#include "COMPONENTS/kslib/DBSumLst.h"
#include "COMPONENTS/kslib/DBToolsKs.h"
#include "COMPONENTS/kslib/DBGridKsFilter.h"
#include "forms/Grids.h"
#include "forms/HintWindow.h"

// Bit order is part of the interface (the sets are stored as numbers).
enum TDBGridOption {
  dgEditing,
  dgAlwaysShowEditor,
  dgTitles,
  dgIndicator,
  dgColumnResize,
  dgColLines,
  dgRowLines,
  dgTabs,
  dgRowSelect,
  dgAlwaysShowSelection,
  dgConfirmDelete,
  dgCancelOnExit,
  dgMultiSelect
};
using TDBGridOptions = TSet<TDBGridOption>;

enum TDBGridKsOption {
  dghFixed3D,
  dghFrozen3D,
  dghFooter3D,
  dghData3D,
  dghResizeWholeRightPart,
  dghHighlightFocus,
  dghClearSelection,
  dghFitRowHeightToText,
  dghAutoSortMarking,
  dghMultiSortMarking,
  dghEnterAsTab,
  dghTraceColSizing,
  dghIncSearch,
  dghPreferIncSearch,
  dghRowHighlight,
  dghDblClickOptimizeColWidth,
  dghDialogFind
};
using TDBGridKsOptions = TSet<TDBGridKsOption>;

enum TDBGridKsAllowedOperation { alopInsertKs, alopUpdateKs, alopDeleteKs, alopAppendKs };
using TDBGridKsAllowedOperations = TSet<TDBGridKsAllowedOperation>;
// The selection kinds the input may create: the kinds of a selection.
using TDBGridKsAllowedSelection = TDBGridKsSelectionType;
using TDBGridKsAllowedSelections = TSet<TDBGridKsAllowedSelection>;
enum TDBGridKsEditAction { geaCutKs, geaCopyKs, geaPasteKs, geaDeleteKs, geaSelectAllKs };
using TDBGridKsEditActions = TSet<TDBGridKsEditAction>;

// The number of a set of up to 64 members, and back.
template <class E>
uint64_t SetToBits(TSet<E> Set) {
  uint64_t Bits = 0;
  for (unsigned I = 0; I < 64; ++I)
    if (Set.Contains(static_cast<E>(I))) Bits |= uint64_t{1} << I;
  return Bits;
}
template <class E>
TSet<E> BitsToSet(uint64_t Bits) {
  TSet<E> Set;
  for (unsigned I = 0; I < 64; ++I)
    if (Bits >> I & 1) Set.Include(static_cast<E>(I));
  return Set;
}

// The deferred layout: the window message the grid posts itself.
constexpr UINT WM_DEFERRED_LAYOUT_KS = WM_USER + 100;

using TDBGridKsClickEvent = std::function<void(TColumnKs* Column)>;
using TMovedEvent = std::function<void(TObject* Sender, int FromIndex, int ToIndex)>;
// A wheel notch; Handled stops the grid's own handling.
using TMouseWheelUpDownEvent =
    std::function<void(TObject* Sender, TShiftState Shift, POINT MousePos, bool& Handled)>;
using TDropDownCloseUpEvent = std::function<void(TObject* Sender, TColumnKs* Column)>;
using TDrawDataCellEvent =
    std::function<void(TObject* Sender, const RECT& Rect, TField* Field, TGridDrawState State)>;
using TGetBtnKsParamsEvent =
    std::function<void(TObject* Sender, TColumnKs* Column, TFont* AFont, TColor& Background,
                       TSortMarkerKs& SortMarker, bool IsDown)>;
using TGetFooterParamsEvent = std::function<void(
    TObject* Sender, int DataCol, int Row, TColumnKs* Column, TFont* AFont, TColor& Background,
    TAlignment& Alignment, TGridDrawState State, AnsiString& Text)>;
using TDrawFooterCellEvent = std::function<void(TObject* Sender, int DataCol, int Row,
                                                TColumnKs* Column, RECT& Rect,
                                                TGridDrawState State)>;

class TInplaceFilterEditKs;

class TCustomDBGridKs : public TCustomGrid,
                        public TBookmarkListOwnerKs,
                        public IInplaceEditHolderKs {
 public:
  explicit TCustomDBGridKs(TComponent* AOwner);
  ~TCustomDBGridKs() override;

  // Properties.
  TDataSource* DataSource() const { return FDataLink->DataSource(); }
  void SetDataSource(TDataSource* Value);
  TDBGridOptions Options() const { return FOptions; }
  void SetOptions(TDBGridOptions Value);
  TDBGridKsOptions OptionsKs() const { return FOptionsKs; }
  void SetOptionsKs(TDBGridKsOptions Value);
  TDBGridKsAllowedOperations AllowedOperations() const { return FAllowedOperations; }
  void SetAllowedOperations(TDBGridKsAllowedOperations Value) { FAllowedOperations = Value; }
  TDBGridKsAllowedSelections AllowedSelections() const { return FAllowedSelections; }
  void SetAllowedSelections(TDBGridKsAllowedSelections Value);
  TDBGridKsEditActions EditActions() const { return FEditActions; }
  void SetEditActions(TDBGridKsEditActions Value) { FEditActions = Value; }
  bool AutoFitColWidths() const { return FAutoFitColWidths; }
  void SetAutoFitColWidths(bool Value);
  TDBGridColumnsKs* Columns() const { return FColumns.get(); }
  void SetColumns(TDBGridColumnsKs* Value) { FColumns->Assign(Value); }
  TColumnDefValuesKs* ColumnDefValues() const { return FColumnDefValues.get(); }
  void SetColumnDefValues(TColumnDefValuesKs* Value) { FColumnDefValues->Assign(Value); }
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool Value) { FDefaultDrawing = Value; }
  bool DrawMemoText() const { return FDrawMemoText; }
  void SetDrawMemoText(bool Value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  TColor FooterColor() const { return FFooterColor; }
  void SetFooterColor(TColor Value);
  TFont* FooterFont() { return &FFooterFont; }
  void SetFooterFont(TFont* Value) { FFooterFont.Assign(Value); }
  int FooterRowCount() const { return FFooterRowCount; }
  void SetFooterRowCount(int Value);
  int FrozenCols() const { return FFrozenCols; }
  void SetFrozenCols(int Value);
  TDBGridKsSumList* SumList() const { return FSumList.get(); }
  void SetSumList(TDBGridKsSumList* Value) { FSumList->Assign(Value); }
  TDBGridKsScrollBar* HorzScrollBar() const { return FHorzScrollBar.get(); }
  TDBGridKsScrollBar* VertScrollBar() const { return FVertScrollBar.get(); }
  int MinAutoFitWidth() const { return FMinAutoFitWidth; }
  void SetMinAutoFitWidth(int Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  int RowHeight() const { return FRowHeight; }
  void SetRowHeight(int Value);
  int RowLines() const { return FRowLines; }
  void SetRowLines(int Value);
  bool RowSizingAllowed() const { return FRowSizingAllowed; }
  void SetRowSizingAllowed(bool Value);
  TFont* TitleFont() { return &FTitleFont; }
  void SetTitleFont(TFont* Value) { FTitleFont.Assign(Value); }
  TImageList* TitleImages() const { return FTitleImages; }
  void SetTitleImages(TImageList* Value);
  bool UseMultiTitle() const { return FUseMultiTitle; }
  void SetUseMultiTitle(bool Value);
  int VTitleMargin() const { return FVTitleMargin; }
  void SetVTitleMargin(int Value);
  // One-level titles of a set height: TitleLines lines of the title font
  // and TitleHeight more pixels, written centred and word-wrapped. Both 0:
  // one line.
  int TitleHeight() const { return FTitleHeight; }
  void SetTitleHeight(int Value);
  int TitleLines() const { return FTitleLines; }
  void SetTitleLines(int Value);
  bool TitleSizeSet() const { return FTitleHeight != 0 || FTitleLines != 0; }
  TDBGridKsStyle* Style() const { return FStyle; }
  void SetStyle(TDBGridKsStyle* Value);

  // State.
  TGridDataLinkKs* DataLink() const { return FDataLink.get(); }
  TBookmarkListKs* SelectedRows() const { return FSelectedRows.get(); }
  TDBGridKsSelection* Selection() const { return FSelection.get(); }
  TColumnsKsList& VisibleColumns() { return FVisibleColumns; }
  TColumnsKsList& SortMarkedColumns() { return FSortMarkedColumns; }
  THeadTreeNode* HeadTree() const { return FHeadTree.get(); }
  int IndicatorOffset() const { return FIndicatorOffset; }
  int TitleOffset() const { return FTitleOffset; }
  int LayoutLock() const { return FLayoutLock; }
  int UpdateLock() const { return FUpdateLock; }
  bool InLayout() const { return FInLayout; }
  bool LayoutFromDataset() const { return FLayoutFromDataset; }
  int EditButtonWidth() const { return FEditButtonWidth; }
  bool RowsTallerThanText() const { return FRowsTallerThanText; }
  // Whether a data cell (FooterIndex -1) or a footer, laid out on one line
  // unless MultiLine, fills a number that does not fit with "#": it shows a
  // number and does not end with an ellipsis. Screen and paper both ask.
  bool FillsNumberWithHashes(TColumnKs* Column, int FooterIndex, bool MultiLine);
  int TitleTextMargin() const { return FTitleTextMargin; }
  int LevelRowCount() const { return FLevelRowCount; }
  // Level rows, from the server dataset's level stack: the level a row
  // shows (1 the topmost entered, 0 for other rows) and a column's text
  // there (the value saved with that level, as the column shows values).
  int LevelOfRow(int ARow) const;
  AnsiString LevelCellText(int Level, TColumnKs* Column);
  bool AcquireFocusOnClick = true;
  bool TreeInterfaceEnabled = true;
  IMemTableKs* MemTableIntf() const { return FMemTableIntf; }
  bool TreeModeNoFooter() const { return FMemTableIntf && FFooterRowCount == 0; }
  bool Loading() const { return ComponentState().Contains(csLoading); }
  bool Designing() const { return ComponentState().Contains(csDesigning); }

  // Columns and fields.
  int GetFieldCount() const { return FDataLink->FieldCount(); }
  TField* GetFields(int I) const { return FDataLink->GetFields(I); }
  bool FieldIsMapped(TField* Field) const;
  TField* SelectedField();
  void SetSelectedField(TField* Value);
  int SelectedIndex() const { return RawToDataColumn(Col()); }
  void SetSelectedIndex(int Value) { SetCol(DataToRawColumn(Value)); }
  int DataToRawColumn(int DataCol) const { return DataCol + FIndicatorOffset; }
  int RawToDataColumn(int ACol) const { return ACol - FIndicatorOffset; }

  // Layout.
  void BeginUpdate();
  void EndUpdate();
  void BeginLayout();
  void EndLayout();
  void CancelLayout();
  bool AcquireLayoutLock();
  void DeferLayout();
  virtual void LayoutChanged();
  void UpdateLevelRowCount();
  virtual void UpdateColumnAttributes();
  virtual void UpdateRowLayout();
  // Tree mode's rows (DBGridKsTree.cpp): one per visible tree row, the
  // current one following the tree's current record.
  void UpdateTreeRows();
  // The tree's scroll codes and wheel move the top row, not the dataset.
  void TreeVertScroll(int Code, int TrackPos);
  void TreeMouseWheel(bool Down, TShiftState Shift, POINT MousePos);
  // The dataset shows a tree and moves along it: numpad +, - and * open,
  // close or toggle the current row's node, and their characters open no
  // editor.
  bool TreeNavigationOn();
  bool TreeNodeChar(char Key);
  bool TreeNodeKey(uint16_t Key);
  virtual int ExtraTitleRowCount() { return FLevelRowCount + (FSTFilter->Visible() ? 1 : 0); }
  virtual bool TitleRowShown() { return FOptions.Contains(dgTitles); }

  // Focus and selection.
  virtual bool AcquireFocus();
  virtual bool RowSelectHighlighted();
  virtual bool EditorAlwaysShown();
  virtual bool GridOrEditorFocused();
  // The window with the focus; asked once a paint, as asking the system
  // for every cell costs a round trip each.
  HWND FocusedWindow() const { return FPainting ? FPaintFocus : GetFocus(); }
  virtual bool CellInSelection(int ACol, int ARow, int DataCol, const AnsiString& Bookmark);
  virtual void InvalidateSelection();
  virtual void ShowCellEditor();
  void InvalidateRowCells(int ARow);
  void InvalidateColumnCells(int DataCol);
  void ClearSelection();
  // The grid rows whose buffered records are selected.
  TGridRect BookmarksSelectionRect();
  // Whether the record of a buffered row is among the selected ones.
  bool RowInSelection(int DataRow);
  // Whether the grid row shows the data link's active record.
  bool IsActiveRow(int ARow) const { return ARow - FTitleOffset == FDataLink->ActiveRecord(); }
  // The data cells between two bookmarks and data columns, for repainting.
  RECT SelectionBox(int LeftCol, const AnsiString& Top, int RightCol, const AnsiString& Bottom);

  // Data link reactions.
  virtual void LinkActive(bool Value);
  virtual void SumListRecalcAndUpdate();
  virtual void RecordChanged();
  virtual void DefineFieldMap();
  virtual void GetDatasetFields(std::vector<TField*>& List);
  virtual void Scroll(int Distance);
  virtual void UpdateScrollBars();
  virtual void UpdateHorzScrollBar() {}
  void EditingChanged();
  void FieldValueChanged(TField* Field);
  void UpdateEditor();
  void UpdateMemTableIntf();
  // Writes the edited text to the selected field.
  void SetEditCellValue();

  // Around walks over the dataset: the same record current and the same
  // page shown afterwards.
  void SavePosition();
  void RestorePosition();
  void SetSortMarkersFromIndex();
  bool AllowedOperationsPermitEdit();
  void InvalidateFooterRows();
  virtual void ApplyFilter();
  virtual void ApplySorting();
  void CheckTitleButton(int ACol, bool& Enabled);
  void DoDropDown(TColumnKs* Column);
  void DoCloseUp(TColumnKs* Column);
  // The cell editor is up and holds a list: pick, lookup, calendar or calculator.
  bool InplaceEditorHasDropDownList();
  void RaiseGridError(const AnsiString& Message) { throw EInvalidGridOperation(Message); }
  // Scales fonts and column widths with the form.
  void ChangeScale(int M, int D);
  void Loaded() override;
  void WndProc(TMessage& Message) override;

  // A cell's text on the grid's canvas; a right-to-left grid draws it on
  // the unmirrored canvas with the alignment and margins turned round.
  void WriteCellTextEx(RECT Rect, bool FillRect, int DX, int DY, const AnsiString& Text,
                       TAlignment Alignment, TTextLayout Layout, bool MultiLine, bool EndEllipsis,
                       int LeftMarg, int RightMarg);
  // Mirrored: x runs from the client area's right edge to its left.
  void MirrorCanvas(bool Mirrored);
  // The kind of a raw cell: the column area (0 indicator, 1 data) in the
  // low byte, the row area (0 title, 1 extra title, 2 data, 3 separator
  // above the footers, 4 footer) in the high one; the indexes inside them.
  int GetCellType(int ACol, int ARow, int& AreaCol, int& AreaRow);
  // The raw cells of the data: right of the indicator, below the titles
  // and above the footers' separator row (to RowCount without footers).
  TGridRect GetDataRect();
  // Raised, or sunken when highlighted or pressed; flat grids keep only the
  // top (and left) edge.
  void Draw3DFrame(TCanvas* ACanvas, const RECT& Rect, bool Pressed, bool Highlighted,
                   bool LeftSide, bool RightSide);
  // The border of a flat grid with a single border.
  virtual void PaintNonClientEdges();
  // The colours of a highlighted data cell, through the style when there is
  // one; true when the cell is highlighted.
  virtual bool GetCellHighlight(int DataCol, int DataRow, const AnsiString& Text,
                                TGridDrawState State, TColor& Background, TFont* AFont);
  // The same for the cells outside the data: indicator, titles, footers.
  virtual bool GetStyleCellColors(int ACol, int ARow, int AreaCol, int AreaRow, int CellKind,
                                  TGridDrawState State, bool Highlight, TColor& Background,
                                  TFont* AFont);
  virtual void DrawExtraTitleCell(int ACol, int ARow, bool& Highlighted, TGridDrawState State,
                                  const RECT& Rect, int CellKind, int AreaRow, int AreaCol);
  // What a footer cell shows: its sum, count, field value or fixed text.
  virtual void FooterValueText(int FooterIndex, TColumnKs* Column, AnsiString& Text);
  // The first visible column shows the tree: the active record's lines
  // and node, TreeIndentWidth pixels wide (0 without a tree); per level an
  // element kind of DrawTreeLineElement, -1 for none.
  bool IsTreeColumn(int DataCol);
  int TreeIndentWidth();
  std::vector<int> TreeLineKinds();
  int TreeNodeButtonRow(int X, int Y);
  // Set by the mouse: the raw column whose title button is being pressed,
  // and whether it shows down.
  int TrackedTitleCol = -1;
  bool TitleButtonDown = false;
  // Set by the keyboard while an incremental search runs: the typed text.
  bool InIncSearch = false;
  AnsiString IncSearchText;

  // The hint of the cell under the point (client coordinates): a title's
  // own hint text (Plain), else the text the cell shows, where it stands
  // and in which font; false for a cell that gives no hint.
  struct TCellHintKs {
    AnsiString Text;
    RECT CellBox{0, 0, 0, 0}, TextRect{0, 0, 0, 0};
    TFont* Font = nullptr;
    bool Plain = false, WordWrap = false, Fits = true;
  };
  bool CellHint(int X, int Y, TCellHintKs& Hint);
  // The tool-tip window, made on the first cell hint.
  THintWindow* ToolTipsWindow() const { return FToolTips; }

  // The filter row (DBGridKsFilterRow.cpp): one filter cell at a time is
  // edited in the filter editor.
  TSTDBGridKsFilter* STFilter() const { return FSTFilter.get(); }
  bool FilterRowEditing() const { return FFilterRowEditing; }
  int FilterColumn() const { return FFilterColumn; }
  TInplaceFilterEditKs* FilterEditor() const { return FFilterEditor; }
  bool IsFilterRow(int ARow) const;
  bool CanEditFilterCell(int DataCol);
  void ShowFilterEditorInColumn(int DataCol);
  virtual void ShowFilterEditor(int DataCol);
  virtual void ApplyFilterRowText(int DataCol);
  virtual bool FilterEditorActive();
  // The in-place editor as the options want it when no filter editor is in
  // its way.
  void RestoreInplaceEditor();
  void PlaceFilterEditor(bool Focus);
  void HideFilterEditor();
  void UpdateFilterEditor(bool Show);
  void ApplyFilterRow();
  void ClearFilter();
  void MoveFilterCell(bool Forward, bool ToEnd);
  virtual void SortMarkingChanged();
  // The filter editor's holder.
  bool InplaceEditCanModify(TControl* Sender) override;
  void GetMouseDownInfo(POINT& Pos, DWORD& Time) override;
  bool InplaceEditWndProc(TControl* Sender, TMessage& Message) override;
  void InplaceEditKeyDown(TControl* Sender, uint16_t& Key, TShiftState Shift) override;
  void InplaceEditKeyPress(TControl* Sender, char& Key) override;
  void InplaceEditKeyUp(TControl* Sender, uint16_t& Key, TShiftState Shift) override;

  // Keyboard (DBGridKsKeyboard.cpp).
  // Direction 0 from the first record, 1 from the next, 2 back from the prior.
  void IncrementalSearch(const AnsiString& Text, int Timeout, int Direction);
  void ClearSearch();
  // What the find dialog is opened with: true makes it modal.
  virtual bool FindDialogFlag() { return true; }
  bool IsSelectionTypeAllowed(TDBGridKsSelectionType Kind);
  bool CanCopySelection();
  bool CanCutSelection();
  bool CanPasteIntoGrid();
  bool CanDeleteSelection();
  bool CanSelectAll();
  void CopyFromRecordAbove();
  // Direction -1 or +1 steps past columns of no width; 0 goes to RawCol.
  void MoveCol(int RawCol, int Direction, bool Select);
  // Around a column change: leaving the selected column, then entering the
  // new one; a descendant may move on from there.
  virtual void ColExit() {
    if (OnColExit) OnColExit(this);
  }
  virtual void ColEnter() {
    UpdateIme();
    if (OnColEnter) OnColEnter(this);
  }
  virtual bool CanGridAcceptKey(uint16_t Key, TShiftState Shift);
  // The five edit actions, while the grid has the focus and allows them.
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;

  // Mouse (DBGridKsMouse.cpp).
  // The shortest tick of a drag's timer: the system's own floor for a timer.
  static constexpr int MinTrackInterval = USER_TIMER_MINIMUM;
  // Read from the system, not from the messages: the release of a drag's
  // button may never reach the grid, or reach it after a tick.
  static bool DragButtonHeld(TMouseButton Button);
  void StartTimer(int Interval);
  void StopTimer();
  void RearmTimer(int Elapsed);
  void StopTracking();
  void EndDrag();
  // Timer 1's interval, -1 while it is stopped.
  int TimerInterval() const { return FTimerInterval; }
  virtual void TrackMouse();
  virtual bool CellClickHandled(int X, int Y);
  void OptimizeColsWidth(const TColumnsKsList& Columns);

  // Scrolling (DBGridKsScrolling.cpp).
  int VisibleDataRows();

  // Editing (DBGridKsEditing.cpp).
  bool FieldModifiable(TField* Field);
  bool CanEditModifyCell();
  const Variant& EditValue() const { return FEditValue; }
  // The input method of the current column where it has one of its own,
  // else the grid's as it was first asked: for the grid and its editor,
  // switched at once for whichever has the focus.
  void UpdateIme();
  // The grid's own input method, whatever a column put on its window.
  TImeMode OwnImeMode() const { return FImeSaved ? FSavedImeMode : ImeMode(); }
  AnsiString OwnImeName() const { return FImeSaved ? FSavedImeName : ImeName(); }

  // The bookmark list's owner.
  TDataSet* BookmarkDataSet() override;
  void BookmarksChanged() override;
  void CurrentRowSelectionChanged() override;

  TNotifyEvent OnColEnter, OnColExit, OnColWidthsChanged, OnEditButtonClick, OnSortMarkingChanged;
  TNotifyEvent OnApplyFilter, OnSumListRecalcAll, OnSumListAfterRecalcAll;
  TDBGridKsClickEvent OnCellClick, OnTitleClick;
  TCheckTitleKsBtnEvent OnCheckButton;
  // Asked first for each notch in tree mode.
  TMouseWheelUpDownEvent OnMouseWheelDown, OnMouseWheelUp;
  TTitleKsClickEvent OnTitleBtnClick;
  TDropDownCloseUpEvent OnDropDown, OnCloseUp;
  TGetCellKsParamsEvent OnGetCellParams;
  TMovedEvent OnColumnMoved;
  TDrawColumnKsCellEvent OnDrawColumnCell;
  TDrawDataCellEvent OnDrawDataCell;
  TGetBtnKsParamsEvent OnGetBtnParams;
  TGetFooterParamsEvent OnGetFooterParams;
  TDrawFooterCellEvent OnDrawFooterCell;

 protected:
  // The character message being handled: one byte, or a double-byte
  // character whose trail message waits (and goes when the key is taken).
  const AnsiString& TypedChar() const { return FTypedChar; }
  friend class TGridDataLinkKs;
  friend class TDBGridColumnsKs;
  friend class TDBGridInplaceEdit;
  friend class TColumnKs;
  TInplaceEdit* CreateEditor() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void Paint() override;
  void GridLineColors(int ACol, int ARow, bool Fixed, TColor& Line, TColor& Back) override;
  void DrawCell(int ACol, int ARow, const RECT& ARect, TGridDrawState AState) override;
  void ColWidthsChanged() override;
  void RowHeightsChanged() override;
  void ColumnMoved(int FromIndex, int ToIndex) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void TopLeftChanged() override;
  int TrailingFixedRows() override { return FFooterRowCount; }
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  bool DoMouseWheelDown(TShiftState Shift, POINT MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, POINT MousePos) override;
  // A column border inside a group title's box is no edge to size at.
  void CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos,
                       int& SizingOfs, TGridDrawInfo& FixedInfo) override;
  void TimedScroll(int Direction) override;
  void DoExit() override;
  bool CanEditAcceptKey(char Key) override;
  bool CanEditModify() override;
  AnsiString GetEditMask(int ACol, int ARow) override;
  int GetEditLimit() override;
  AnsiString GetEditText(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const AnsiString& Value) override;
  bool CanEditShow() override;
  virtual std::unique_ptr<TDBGridColumnsKs> CreateColumns();
  virtual std::unique_ptr<TColumnDefValuesKs> CreateColumnDefValues();
  virtual std::unique_ptr<TDBGridKsScrollBar> CreateScrollBar(int Kind);
  // Makes the columns and their defaults again, for a descendant's classes
  // (the base constructor can only make its own).
  void RecreateColumns();
  virtual void GridSizeChanged();
  virtual void GetCellParams(TColumnKs* Column, TFont* AFont, TColor& Background,
                             TGridDrawState State);
  // The mouse's click events, each fired when assigned.
  virtual void CellClick(TColumnKs* Column) {
    if (OnCellClick) OnCellClick(Column);
  }
  virtual void TitleClick(TColumnKs* Column) {
    if (OnTitleClick) OnTitleClick(Column);
  }
  virtual void TitleBtnClick(int ACol, TColumnKs* Column) {
    if (OnTitleBtnClick) OnTitleBtnClick(this, ACol, Column);
  }
  virtual bool CellHas3DFrame(int ACol, int ARow, TGridDrawState State, const RECT& Rect);
  virtual void DrawColumnCell(const RECT& Rect, int DataCol, TColumnKs* Column,
                              TGridDrawState State);
  virtual void DrawDataCell(const RECT& Rect, TField* Field, TGridDrawState State);
  virtual void GetFooterParams(int DataCol, int FooterIndex, TColumnKs* Column, TFont* AFont,
                               TColor& Background, TAlignment& Alignment, TGridDrawState State,
                               AnsiString& Text);

 private:
  // The cells by kind (DBGridKsPaint.cpp, DBGridKsTitlePaint.cpp). Each
  // draws inside the cell's frame with the margins DX and DY and answers
  // whether the cell came out highlighted.
  bool DrawIndicatorCell(int ARow, const RECT& ARect, int DX);
  bool DrawColumnDataCell(TColumnKs* Column, int ACol, int ARow, RECT Cell, int DX, int DY,
                          TGridDrawState AState);
  bool DrawFillerCell(int ACol, int ARow, const RECT& Cell, TGridDrawState AState);
  bool DrawTitleCell(TColumnKs* Column, int ACol, const RECT& Cell, int DX, int DY,
                     TGridDrawState AState, bool& Pressed);
  void DrawTitleTreeNode(THeadTreeNode* Node, int NodeLeft, int NodeTop, const RECT& Cell,
                         int DY, TGridDrawState AState);
  bool DrawFooterCell(TColumnKs* Column, int ACol, int ARow, const RECT& Cell, int DX, int DY,
                      TGridDrawState AState);
  // The tree lines and node button of the active record before the cell's
  // text, on the grid's canvas or the editor's.
  void DrawTreeCell(TCanvas* C, const RECT& Cell, TColor Background);
  // Check box, image or text of a data cell.
  void DrawCellContent(TColumnKs* Column, const TColCellParamsKs& Params, RECT Cell, int DX,
                       int DY);
  void DrawCheckBoxCell(const RECT& Cell, const TColCellParamsKs& Params);
  // The buttons standing in a cell: the column's edit style's, then its
  // visible extra buttons; drawn left to right from TextRight.
  struct TCellButton {
    TEditButtonStyleKs Style;
    TBitmap* Glyph;
    int Width;
    int NumGlyphs = 1;
  };
  std::vector<TCellButton> CellButtons(TColumnKs* Column);
  void DrawCellButtons(const std::vector<TCellButton>& Buttons, const RECT& Cell, int TextRight,
                       bool Has3D, TColor Background);
  void DrawCellButton(RECT Cell, RECT Button, const TCellButton& Kind, TColor Background);
  void DrawSearchMatch(TColumnKs* Column, const RECT& Cell, int DX, int DY,
                       const TColCellParamsKs& Params, TGridDrawState AState);
  // A dotted red line under an empty required field of the record in edit.
  void DrawRequiredMark(TColumnKs* Column, const RECT& Cell, const AnsiString& Text);
  // What a data cell of the column shows for the link's active record.
  void FillCellParams(TColumnKs* Column, TColCellParamsKs* Params, TGridDrawState State);
  bool SameAsPriorRecord(TColumnKs* Column, const AnsiString& Text, TGridDrawState State);
  void InternalLayout();
  void RunLayout();
  void UpdateEditButtonWidth();
  void AutoFitColumns();
  void CreateFieldTree();
  int SetTitleHeights(THeadTreeNode* Node);
  void TitleFontChanged(TObject*);
  void FooterFontChanged(TObject*);
  void AttachDefaultStyle();
  TInplaceFilterEditKs* CreateFilterEditor();
  void FilterValueChosen(bool& Accept);
  void FilterEditorChanged(int Reason);
  void FilterDropDown();
  void FilterEditorKeyDown(uint16_t& Key, TShiftState Shift);
  bool FilterCellPress(TMessage& Message);
  void ApplyPendingSize();
  void RepaintSelectionOnFocusChange();
  void RefreshEditor();
  // The data column of the cell under the point, or none.
  TColumnKs* HintColumn(int X, int Y, TGridCoord& Cell);
  // A title, data or footer cell whose tool tips are on.
  bool TipCell(TColumnKs* Column, TGridCoord Cell);
  // A data or footer cell of a number, whose tip tells the whole number
  // when it does not fit, whatever the tool tips setting.
  bool NumberTipCell(TColumnKs* Column, TGridCoord Cell);
  // Whether a data cell (FooterIndex -1) or a footer shows a number; one
  // that does not fit shows "#" unless it ends with an ellipsis.
  bool NumberCell(TColumnKs* Column, int FooterIndex);
  void HintShowPause(TMessage& Message);
  void HintShow(TMessage& Message);

  std::unique_ptr<TGridDataLinkKs> FDataLink;
  std::unique_ptr<TColumnDefValuesKs> FColumnDefValues;
  std::unique_ptr<TDBGridColumnsKs> FColumns;
  TColumnsKsList FVisibleColumns, FSortMarkedColumns;
  std::unique_ptr<TBookmarkListKs> FSelectedRows;
  std::unique_ptr<TDBGridKsSelection> FSelection;
  TDBGridKsStyle* FStyle = nullptr;
  TFont FTitleFont, FFooterFont;
  std::unique_ptr<TDBGridKsScrollBar> FHorzScrollBar, FVertScrollBar;
  std::unique_ptr<TDBGridKsSumList> FSumList;
  std::unique_ptr<THeadTreeNode> FHeadTree;
  std::vector<THeadTreeNode*> FLeafNodes;
  IMemTableKs* FMemTableIntf = nullptr;
  TImageList* FTitleImages = nullptr;
  THintWindow* FToolTips = nullptr;
  std::unique_ptr<TSTDBGridKsFilter> FSTFilter;
  TInplaceFilterEditKs* FFilterEditor = nullptr;
  bool FPassingWheel = false;
  bool FPainting = false;
  HWND FPaintFocus = nullptr;
  // The next character message is the trail byte of a lead passed on.
  bool FTrailNext = false;
  bool FFilterRowEditing = false;
  // The editor's text changes by the grid's own loading or applying.
  bool FFilterRowBusy = false;
  int FFilterColumn = -1;
  // The press that opened the filter editor, for telling a double click.
  POINT FFilterPressPoint{0, 0};
  DWORD FFilterPressTime = 0;
  // The tags of the filter list's first entries.
  std::vector<int> FFilterTags;

  TDBGridOptions FOptions;
  TDBGridKsOptions FOptionsKs;
  TDBGridKsAllowedOperations FAllowedOperations;
  TDBGridKsAllowedSelections FAllowedSelections;
  TDBGridKsEditActions FEditActions;
  int FIndicatorOffset = 1, FTitleOffset = 1, FLevelRowCount = 0;
  int FLayoutLock = 0, FUpdateLock = 0;
  bool FInLayout = false, FLayoutFromDataset = false;
  // A layout asked for while another ran; it runs once the outer one ends.
  bool FLayoutPending = false;
  // A size change arrived inside an update.
  bool FSizePending = false;
  // Whether the selection was last painted with the focus.
  bool FLastFocusedPaint = false;
  int FEditButtonBaseWidth = 0, FEditButtonWidth = 0;
  int FTitleTextMargin = 4;
  AnsiString FEditText;
  bool FSelfChangingTitleFont = false, FSelfChangingFooterFont = false;
  bool FUserRowResize = false;
  bool FRowsTallerThanText = false;
  bool FAutoFitColWidths = false, FDefaultDrawing = true, FDrawMemoText = false, FFlat = false;
  bool FReadOnly = false, FRowSizingAllowed = false, FUseMultiTitle = false;
  TColor FFooterColor = clWindow;
  int FFooterRowCount = 0, FFrozenCols = 0, FMinAutoFitWidth = 0;
  int FRowHeight = 0, FRowLines = 0, FVTitleMargin = 10;
  int FTitleHeight = 0, FTitleLines = 0;
  int FInnerEdgeWidth = 4, FFlatFrameWidth = 0;
  // Input: window messages of the keyboard, mouse and scroll bars.
  bool InputMessage(TMessage& Message);
  bool CharMessage(TMessage& Message);
  bool MouseMessage(TMessage& Message);
  bool ScrollMessage(TMessage& Message);
  bool WheelToEditors(TMessage& Message);
  void WheelNotch(bool Down, TShiftState Shift, POINT MousePos);
  void KeyWithCtrl(uint16_t& Key, bool ShiftMulti);
  void KeyWithoutCtrl(uint16_t& Key, TShiftState Shift, bool ShiftMulti);
  bool ShortCutKey(uint16_t Key, TShiftState Shift);
  void EnterFilterRowByKey(uint16_t& Key, TShiftState Shift);
  bool CanEditAction(TDBGridKsEditAction Kind);
  void RunEditAction(TDBGridKsEditAction Kind);
  bool TryEditAction(TDBGridKsEditAction Kind);
  void EndFilterEditing();
  void ClearKeySelection();
  void DoSelection(bool Select, int Distance, bool RowWise, bool ToEnd);
  void NextRow(bool Select);
  void PriorRow(bool Select);
  void Tab(bool Forward);
  bool DeletePrompt();
  void AppendClipboardToSearch();
  void RestartSearchTimer();
  void StopSearchTimer();
  bool EditorShowsList();
  TColumnKs* CurrentColumn();
  void SetCursorMessage(TMessage& Message);
  void CancelTracking();
  void MouseMoveTracking(TShiftState Shift, int X, int Y);
  bool ColumnPopupUp(TMessage& Message);
  HCURSOR SelectionCursorAt(int X, int Y);
  bool OnCellButton(TColumnKs* Column, TGridCoord Cell, int X);
  bool PassPressToEditorButton(int X, int Y);
  // A right edge of a group title in the title row: the group and the
  // raw column it ends with.
  struct TTitleEdge {
    THeadTreeNode* Node = nullptr;
    int Col = -1, X = 0;
  };
  TTitleEdge CalcTitleSizingState(int X, int Y);
  // The title-tree node a column's title shows at the height (its leaf in
  // the lowest part); null outside the title row.
  THeadTreeNode* TitleNodeAt(int ACol, int Y);
  bool OnOwnTitle(TGridCoord Cell, int Y);
  void DrawTitleSizingLine();
  // The group's visible columns share the new width by their widths.
  void ApplyTitleSizing(int X);
  // Keyboard state.
  bool FKeepSelection = false, FSelecting = false, FAnchorWasSelected = false;
  // A walk selecting rows to an end: the grid repaints once, after it.
  bool FSelectionWalk = false;
  bool FKeyShift = false, FInColExit = false;
  AnsiString FSelectionAnchor, FTypedChar;
  bool FSearchTimerRunning = false, FSearchBusy = false;
  int FSearchTimeout = -1;
  bool FSortMarkingPending = false;
  Variant FEditValue;
  // The grid's own input method, before a column's replaced it.
  bool FImeSaved = false;
  TImeMode FSavedImeMode = imDontCare;
  AnsiString FSavedImeName;
  // Mouse state: tracking kind 0 none, 1 rows, 2 columns, 3 rectangle,
  // 6 sizing a group title by its right edge (the line shown at
  // FSizingLineX, -1 while none is drawn).
  int FTrackingKind = 0, FTimerInterval = -1;
  TTitleEdge FSizingEdge;
  int FSizingLineX = -1, FSizingOfs = 0;
  bool FTracking = false, FHorzTracking = false, FRowDrag = false;
  bool FRightAsLeft = false;
  TMouseButton FTrackButton = mbLeft;
  POINT FMouseDownPoint{0, 0}, FMousePoint{0, 0};
  TShiftState FMouseShift;
  TGridCoord FCheckClickCell{-1, -1};
  // Scrolling.
  SCROLLINFO FLastVertInfo{};
  int FLastVisibleMode = -1;
  bool FThumbTracked = false;
  // The remembered position around walks.
  AnsiString FSavedBookmark;
  int FSavedOffset = 0;
};

// The cell tips: measured in the cell's font, handed over as the hint's
// data.
class TToolTipsWindow : public THintWindow {
 public:
  using THintWindow::THintWindow;
  RECT CalcHintRect(int MaxWidth, const AnsiString& AHint, void* Data) override;
};

class TDBGridKs : public TCustomDBGridKs {
 public:
  using TCustomDBGridKs::TCustomDBGridKs;
};

// What other units lend the grid, set at their start-up; the grid calls
// each only when it is set.
using TDBGridKsProc = std::function<void(TCustomDBGridKs* Grid)>;
extern TDBGridKsProc ShowFindDialogProc;
extern TDBGridKsProc CopyGridSelectionProc, CutGridSelectionProc, PasteIntoGridProc,
    DeleteGridSelectionProc;

// Removes one pending message of the number from the window's queue; a
// WM_QUIT taken with it is posted again.
void KillMessage(HWND Wnd, UINT Msg);

// The grid unit's shared objects, made by the first start-up and freed by
// the last shut-down (a use count guards both).
struct TDBGridKsUnit {
  TFont* SmallTitleFont = nullptr;
  // Column selection, row selection left to right and right to left.
  std::vector<HCURSOR> Cursors;
  TImageList* IndicatorImages = nullptr;
  TImageList* SortMarkerImages = nullptr;
  TColCellParamsKs* CellParams = nullptr;
  // Shortcuts in the platform's encoding (Ctrl 0x4000, Shift 0x2000).
  int IncSearchShortCut = 0x4000 | 'F';
  int NextMatchShortCut = 0x4000 | VK_RETURN;
  int PriorMatchShortCut = 0x6000 | VK_RETURN;
  int CopyAboveShortCut = 0x4000 | 222;
  int FindDialogShortCut = 16498;
  int IncSearchTimeout = 1500;
  TColor SearchMatchColor = clYellow;
  TColor SearchMatchTextColor = clBlack;
};
extern TDBGridKsUnit DBGridKsUnit;

// EOutOfResources "Cannot load cursor resource" when the program lacks
// the grid's cursors.
void InitDBGridKsUnit();
void DoneDBGridKsUnit();
