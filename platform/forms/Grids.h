// The grid base: a window of cells in columns and rows, with fixed rows and
// columns at the top and left (and, for descendants that ask, fixed rows at
// the bottom), a current cell, scrolling, column and row sizing, column
// moving and an in-place editor. Descendants draw the cells (DrawCell) and
// supply the editor's text.
#pragma once

#include <cstdint>
#include <vector>

#include "forms/Controls.h"
#include "forms/GridErrors.h"
#include "forms/Mask.h"

// Bit order is part of the interface: descendants store sets as numbers.
enum TGridOption {
  goFixedVertLine,
  goFixedHorzLine,
  goVertLine,
  goHorzLine,
  goRangeSelect,
  goDrawFocusSelected,
  goRowSizing,
  goColSizing,
  goRowMoving,
  goColMoving,
  goEditing,
  goTabs,
  goRowSelect,
  goAlwaysShowEditor,
  goThumbTracking
};
using TGridOptions = TSet<TGridOption>;

enum TGridDrawStateItem { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateItem>;

enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
// The direction bits of TimedScroll.
enum : int { sdLeft = 1, sdRight = 2, sdUp = 4, sdDown = 8 };

struct TGridCoord {
  int X = 0, Y = 0;
  friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

class TCustomGrid;

// One axis of the grid as it lies on the screen: the leading fixed cells,
// the scrolled cells from the first one shown, and the trailing fixed cells
// that stay at the far edge.
struct TGridAxisDrawInfo {
  int EffectiveLineWidth = 0;
  int FixedBoundary = 0;        // end of the leading fixed cells
  int GridBoundary = 0;         // end of the last cell drawn
  int GridExtent = 0;           // the client extent
  int LastFullVisibleCell = 0;  // last scrolled cell shown whole
  int FullVisBoundary = 0;      // end of that cell
  int FixedCellCount = 0;
  int FirstGridCell = 0;  // the first scrolled cell shown (LeftCol or TopRow)
  int GridCellCount = 0;
  int TrailingFixedCount = 0;   // cells at the end that do not scroll
  int TrailingFixedExtent = 0;  // their total extent, lines included
  std::vector<int> Extents;     // the extent of every cell
  int GetExtent(int Index) const { return Extents[Index]; }
  // Where the scrolled area ends: the trailing fixed cells start there.
  int ScrollLimit() const { return GridExtent - TrailingFixedExtent; }
};

struct TGridDrawInfo {
  TGridAxisDrawInfo Horz, Vert;
};

// The editor a grid shows over its current cell. Tab, Enter, Esc and the
// vertical arrows (the horizontal ones at the ends of the text) go back to
// the grid.
class TInplaceEdit : public TCustomMaskEdit {
 public:
  explicit TInplaceEdit(TComponent* AOwner);
  TCustomGrid* Grid() const { return FGrid; }
  // Places the editor over the rectangle of the grid and shows it.
  void Move(const RECT& Loc);
  // Takes the text, mask and limit of the grid's current cell.
  virtual void UpdateContents();
  // Puts back the text the cell had when the editor took it.
  void Reset() override;
  void Deselect();
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  bool EditCanModify() override;
  void Change() override;

 private:
  friend class TCustomGrid;
  TCustomGrid* FGrid = nullptr;
  bool FUpdating = false;
  AnsiString FOriginalText;
};

class TCustomGrid : public TCustomControl {
 public:
  explicit TCustomGrid(TComponent* AOwner);
  ~TCustomGrid() override;

  int ColCount() const { return static_cast<int>(FColWidths.size()); }
  void SetColCount(int Value);
  int RowCount() const { return static_cast<int>(FRowHeights.size()); }
  void SetRowCount(int Value);
  int FixedCols() const { return FFixedCols; }
  // EInvalidGridOperation when not below ColCount.
  void SetFixedCols(int Value);
  int FixedRows() const { return FFixedRows; }
  void SetFixedRows(int Value);
  int DefaultColWidth() const { return FDefaultColWidth; }
  void SetDefaultColWidth(int Value);
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  // Every row takes the height.
  void SetDefaultRowHeight(int Value);
  int ColWidths(int Index) const { return FColWidths.at(Index); }
  void SetColWidths(int Index, int Value);
  int RowHeights(int Index) const { return FRowHeights.at(Index); }
  void SetRowHeights(int Index, int Value);
  bool TabStops(int Index) const { return FTabStops.at(Index); }
  void SetTabStops(int Index, bool Value) { FTabStops.at(Index) = Value; }
  int GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int Value);
  TGridOptions Options() const { return FOptions; }
  void SetOptions(TGridOptions Value);
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  TColor FixedColor() const { return FFixedColor; }
  void SetFixedColor(TColor Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  // The loop fills each cell before DrawCell (the selection's colours, the
  // fixed or the grid colour), frames fixed cells raised and marks the
  // focused cell; a grid that draws everything itself turns it off.
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool Value);

  int Col() const { return FCurrent.X; }
  void SetCol(int Value) { FocusCell(Value, FCurrent.Y, true); }
  int Row() const { return FCurrent.Y; }
  void SetRow(int Value) { FocusCell(FCurrent.X, Value, true); }
  int LeftCol() const { return FTopLeft.X; }
  void SetLeftCol(int Value);
  int TopRow() const { return FTopLeft.Y; }
  void SetTopRow(int Value);
  int VisibleColCount();
  int VisibleRowCount();
  TGridRect Selection() const;
  TGridState GridState() const { return FGridState; }

  // The cell's rectangle in client coordinates; empty when not shown.
  RECT CellRect(int ACol, int ARow);
  // The cell under the point; -1 for a coordinate outside every cell.
  TGridCoord MouseCoord(int X, int Y);
  // A right-to-left grid paints its cells mirrored: these turn a client x
  // or a cell rectangle into where it shows, and a shown x back.
  int MirroredX(int X);
  RECT MirroredRect(RECT R);
  void MouseToCell(int X, int Y, int& ACol, int& ARow);

  bool EditorMode() const { return FEditorMode; }
  void SetEditorMode(bool Value);
  TInplaceEdit* InplaceEditor() const { return FInplaceEdit; }

  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AfterCreateWnd() override;
  void Paint() override;
  virtual void CalcDrawInfo(TGridDrawInfo& DrawInfo);
  // How many of the last rows stay at the bottom as fixed rows.
  virtual int TrailingFixedRows() { return 0; }
  virtual void DrawCell(int ACol, int ARow, const RECT& ARect, TGridDrawState AState);
  // The colours of the lines right of and under a cell: the line's, and the
  // background's where lines of that kind are off.
  virtual void GridLineColors(int ACol, int ARow, bool Fixed, TColor& Line, TColor& Back);
  // What a press at the point starts: sizing a column or row, or nothing.
  virtual void CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos,
                               int& SizingOfs, TGridDrawInfo& FixedInfo);
  virtual bool SelectCell(int ACol, int ARow);
  virtual void ColumnMoved(int FromIndex, int ToIndex);
  virtual void ColWidthsChanged();
  virtual void RowHeightsChanged();
  virtual void TopLeftChanged();
  // One step of scrolling while a selection is dragged outside the cells.
  virtual void TimedScroll(int Direction);

  virtual TInplaceEdit* CreateEditor();
  virtual bool CanEditShow();
  virtual bool CanEditAcceptKey(char Key);
  virtual bool CanEditModify();
  virtual AnsiString GetEditText(int ACol, int ARow);
  virtual void SetEditText(int ACol, int ARow, const AnsiString& Value);
  virtual AnsiString GetEditMask(int ACol, int ARow);
  virtual int GetEditLimit();
  void ShowEditor();
  void HideEditor();
  void ShowEditorChar(char Ch);
  void InvalidateEditor();

  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

  // Moves the current cell; MoveAnchor also collapses a range selection,
  // Show scrolls the cell into view.
  void MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show);
  void FocusCell(int ACol, int ARow, bool MoveAnchor);
  void MoveColumn(int FromIndex, int ToIndex);
  void InvalidateCell(int ACol, int ARow);
  void InvalidateCol(int ACol);
  void InvalidateRow(int ARow);
  void InvalidateRect(const TGridRect& ARect);
  void InvalidateGrid();
  // The client rectangle covering the cells of a grid rectangle.
  RECT BoxRect(int ALeft, int ATop, int ARight, int ABottom);
  void UpdateScrollRange();
  void UpdateScrollPos();
  int HorzBarPos(int Pos);
  // The last LeftCol and TopRow that still fill the window.
  TGridCoord CalcMaxTopLeft();
  bool IsActiveControl();
  TGridCoord Anchor() const { return FAnchor; }

 private:
  friend class TInplaceEdit;
  void ScrollMessage(UINT Msg, int Code, int Pos);
  void SetTopLeft(int ALeft, int ATop);
  void CountsChanged();
  void DrawLines(TCanvas* Canvas, int ACol, int ARow, const RECT& Cell, bool Fixed);
  // The default fill, DrawCell, then the fixed cells' edge and the focus.
  void DrawDefaultCell(int ACol, int ARow, const RECT& Cell, TGridDrawState State);
  void PaintRegion(const TGridDrawInfo& Info, int ColFrom, int ColTo, int XFrom, int RowFrom,
                   int RowTo, int YFrom, int YLimit, TGridDrawState Base);
  int AxisStart(const TGridAxisDrawInfo& Axis, int Index);
  void StopTimer();
  // The direction bits of TimedScroll for a point outside the cells.
  int ScrollDirection(int X, int Y);

  std::vector<int> FColWidths, FRowHeights;
  std::vector<bool> FTabStops;
  int FFixedCols = 1, FFixedRows = 1;
  int FDefaultColWidth = 64, FDefaultRowHeight = 24;
  int FGridLineWidth = 1;
  TGridOptions FOptions;
  TScrollStyle FScrollBars = ssBoth;
  TColor FFixedColor = clBtnFace;
  TBorderStyle FBorderStyle = bsSingle;
  bool FDefaultDrawing = true;
  TGridCoord FCurrent{1, 1}, FAnchor{1, 1}, FTopLeft{1, 1};
  TGridState FGridState = gsNormal;
  // Sizing and moving.
  int FSizingIndex = 0, FSizingPos = 0, FSizingOfs = 0;
  int FMoveIndex = -1, FMovePos = -1, FMoveStartX = 0;
  bool FTimerActive = false;
  // A press on the current cell opens the editor at the release.
  bool FClickedCurrent = false;
  POINT FLastMouse{0, 0};
  TInplaceEdit* FInplaceEdit = nullptr;
  bool FEditorMode = false;
};
