// The grid's style (the highlight colours of selected and current cells,
// for every grid registered with it), the data service through which
// grids apply their filter and sorting, and the scroll-bar settings that
// may hand scrolling to a scroll bar of the form.
#pragma once

#include <functional>
#include <vector>

#include "forms/Graphics.h"
#include "forms/Grids.h"
#include "forms/ScrollBar.h"

class TCustomDBGridKs;

// Blends the cell colour toward the target colour.
TColor MixColor(TColor Base, TColor Target, bool Darker);

class TDBGridKsStyle : public TPersistent {
 public:
  TDBGridKsStyle();
  ~TDBGridKsStyle() override;
  void AddGrid(TCustomDBGridKs* Grid);
  void RemoveGrid(TCustomDBGridKs* Grid);
  bool IsGridRegistered(TCustomDBGridKs* Grid) const;
  // Sets the colours of a data cell; true when it is highlighted.
  virtual bool GetDataCellHighlight(TCustomDBGridKs* Grid, int ACol, TFont* AFont,
                                    TColor& Background, TGridDrawState State, int DataRow,
                                    int DataCol, int ARow);
  // CellKind: the column area in the low byte, the row area in the high one.
  virtual bool GetFixedCellHighlight(TCustomDBGridKs* Grid, TFont* AFont, TColor& Background,
                                     bool Highlight, int CellKind);
  virtual void UpdateScreenColors();
  HWND Window() const { return FWindow; }

  bool MixColors = true;
  // The display's colours; -1 for more than 256.
  int ScreenColors = -1;
  uint8_t FilterApplyTriggers = 0;
  bool FocusFrame = true;

 private:
  static LRESULT CALLBACK WindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  std::vector<TCustomDBGridKs*> FGrids;
  HWND FWindow = nullptr;
};

class TDBGridKsDataService : public TPersistent {
 public:
  virtual void ApplyFilter(TCustomDBGridKs* Grid);
  virtual void ApplySorting(TCustomDBGridKs* Grid);
  // Without a handler: the registry entry of the grid's dataset applies
  // them; a dataset without one is left alone.
  virtual void DefaultApplyFilter(TCustomDBGridKs* Grid);
  virtual void DefaultApplySorting(TCustomDBGridKs* Grid);
  std::function<void(TCustomDBGridKs*Grid)> SortingHandler, FilterHandler;
};

// The process-wide default style and data service (the grid unit's
// start-up makes them).
TDBGridKsStyle* DefaultDBGridKsStyle();
void SetDefaultDBGridKsStyle(TDBGridKsStyle* Value);
TDBGridKsDataService* DBGridKsDataService();
void SetDBGridKsDataService(TDBGridKsDataService* Value);

enum TScrollBarVisibleModeKs { sbAlwaysShowKs, sbNeverShowKs, sbAutoShowKs };

class TDBGridKsScrollBar : public TPersistent {
 public:
  TDBGridKsScrollBar(TCustomDBGridKs* Grid, int Kind);
  ~TDBGridKsScrollBar() override;
  void Assign(TPersistent* Source) override;
  TCustomDBGridKs* Grid() const { return FGrid; }
  int Kind() const { return FKind; }
  bool Visible() const { return FVisibleMode != sbNeverShowKs; }
  void SetVisible(bool Value);
  TScrollBarVisibleModeKs VisibleMode() const { return FVisibleMode; }
  void SetVisibleMode(TScrollBarVisibleModeKs Value);
  TScrollBar* ExtScrollBar() const { return FExtScrollBar; }
  // Raises when another grid's settings already took the bar.
  void SetExtScrollBar(TScrollBar* Value);
  bool Tracking = false;
  bool IsScrollBarShowing();
  bool GetScrollInfo(SCROLLINFO& Info);

 private:
  TCustomDBGridKs* FGrid;
  int FKind;
  TScrollBarVisibleModeKs FVisibleMode = sbAutoShowKs;
  TScrollBar* FExtScrollBar = nullptr;
};

class TVertDBGridKsScrollBar : public TDBGridKsScrollBar {
 public:
  using TDBGridKsScrollBar::TDBGridKsScrollBar;
};
