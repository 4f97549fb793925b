#include "COMPONENTS/kslib/DBGridKsStyle.h"

#include <algorithm>
#include <cmath>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DbUtilsKs.h"

namespace {

TDBGridKsStyle* TheDefaultStyle = nullptr;
TDBGridKsDataService* TheDataService = nullptr;

// The registry entry of the grid's dataset with that dataset, or none.
TDatasetFeaturesKs* GridDatasetFeatures(TCustomDBGridKs* Grid, TDataSet*& DataSet) {
  TDataSource* Source = Grid ? Grid->DataSource() : nullptr;
  DataSet = Source ? Source->DataSet() : nullptr;
  return FindDatasetFeatures(DataSet);
}

TColor NearestColor(TColor Color) {
  TWindowDC DC;
  return static_cast<TColor>(GetNearestColor(DC.Get(), ColorToRGB(Color)));
}

}  // namespace

TDBGridKsStyle* DefaultDBGridKsStyle() { return TheDefaultStyle; }
void SetDefaultDBGridKsStyle(TDBGridKsStyle* Value) { TheDefaultStyle = Value; }
TDBGridKsDataService* DBGridKsDataService() { return TheDataService; }
void SetDBGridKsDataService(TDBGridKsDataService* Value) { TheDataService = Value; }

TColor MixColor(TColor Base, TColor Target, bool Darker) {
  COLORREF B = ColorToRGB(Base), T = ColorToRGB(Target);
  auto Channel = [&](int Bc, int Tc) {
    double M = (Tc - Bc) * 0.5 + Bc;
    double V = (225 - M) * 0.6 + M;
    if (Darker) V = V - (122 - V) * 0.25;
    return std::clamp(static_cast<int>(std::nearbyint(V)), 0, 255);
  };
  return static_cast<TColor>(RGB(Channel(GetRValue(B), GetRValue(T)),
                                 Channel(GetGValue(B), GetGValue(T)),
                                 Channel(GetBValue(B), GetBValue(T))));
}

// --- style

TDBGridKsStyle::TDBGridKsStyle() {
  static const char* ClassName = [] {
    WNDCLASSA Class{};
    Class.lpfnWndProc = WindowProc;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.lpszClassName = "KsGridStyleWindow";
    RegisterClassA(&Class);
    return "KsGridStyleWindow";
  }();
  FWindow = CreateWindowExA(0, ClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (FWindow) SetWindowLongPtrA(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  UpdateScreenColors();
}

TDBGridKsStyle::~TDBGridKsStyle() {
  if (FWindow) DestroyWindow(FWindow);
  if (TheDefaultStyle == this) TheDefaultStyle = nullptr;
  std::vector<TCustomDBGridKs*> Grids = FGrids;
  for (auto It = Grids.rbegin(); It != Grids.rend(); ++It) (*It)->SetStyle(nullptr);
}

LRESULT CALLBACK TDBGridKsStyle::WindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* Style = reinterpret_cast<TDBGridKsStyle*>(GetWindowLongPtrA(Wnd, GWLP_USERDATA));
  if (Msg == WM_SYSCOLORCHANGE && Style) {
    Style->UpdateScreenColors();
    return 0;
  }
  return DefWindowProcA(Wnd, Msg, WParam, LParam);
}

void TDBGridKsStyle::UpdateScreenColors() {
  TWindowDC DC;
  ScreenColors = GetDeviceCaps(DC.Get(), NUMCOLORS);
}

void TDBGridKsStyle::AddGrid(TCustomDBGridKs* Grid) {
  if (!IsGridRegistered(Grid)) FGrids.push_back(Grid);
}

void TDBGridKsStyle::RemoveGrid(TCustomDBGridKs* Grid) { std::erase(FGrids, Grid); }

bool TDBGridKsStyle::IsGridRegistered(TCustomDBGridKs* Grid) const {
  return std::find(FGrids.begin(), FGrids.end(), Grid) != FGrids.end();
}

bool TDBGridKsStyle::GetDataCellHighlight(TCustomDBGridKs* Grid, int ACol, TFont* AFont,
                                          TColor& Background, TGridDrawState State, int DataRow,
                                          int DataCol, int ARow) {
  bool Selected = false;
  TGridDataLinkKs* Link = Grid->DataLink();
  if (Link->Active())
    Selected = Grid->Selection()->DataCellSelected(DataCol, Link->DataSet()->GetBookmark());
  TDBGridOptions Options = Grid->Options();
  bool RowSelect = Options.Contains(dgRowSelect);
  bool CurrentRow = ARow == Grid->Row();
  bool CurrentCell = CurrentRow && (ACol == Grid->Col() || RowSelect);
  if (!Selected) {
    bool F = Grid->HandleAllocated() && Grid->FocusedWindow() == Grid->Handle() &&
             Grid->OptionsKs().Contains(dghHighlightFocus);
    if (Grid->OptionsKs().Contains(dghRowHighlight) &&
        Grid->TitleOffset() + DataRow == Grid->Row() &&
        Grid->Selection()->SelectionType() == gstNon && Grid->Col() != ACol) {
      F = true;
      State.Include(gdSelected);
    }
    Selected = (State.Contains(gdSelected) || (CurrentRow && RowSelect)) &&
               (Options.Contains(dgAlwaysShowSelection) || F) &&
               (Grid->UpdateLock() == 0 || RowSelect);
  }
  if (!Selected) return false;
  if (Grid->GridOrEditorFocused()) {
    if (MixColors && ScreenColors == -1 && !CurrentCell) {
      Background = NearestColor(MixColor(Background, clHighlight, true));
    } else {
      Background = clHighlight;
      AFont->SetColor(clHighlightText);
    }
  } else if (CurrentCell) {
    Background = clBtnShadow;
    AFont->SetColor(clHighlightText);
  } else if (ScreenColors == -1) {
    Background = NearestColor(MixColor(Background, clBtnShadow, false));
  } else {
    Background = clBtnFace;
  }
  return true;
}

bool TDBGridKsStyle::GetFixedCellHighlight(TCustomDBGridKs* Grid, TFont* AFont, TColor& Background,
                                           bool Highlight, int CellKind) {
  if (!Highlight) return false;
  int ColArea = CellKind & 0xFF, RowArea = CellKind >> 8 & 0xFF;
  if ((ColArea == 0 && RowArea != 3) || (ColArea == 1 && RowArea < 2)) {
    Background = static_cast<TColor>(RGB(64, 64, 64));
    AFont->SetColor(clWhite);
    return true;
  }
  if (!Grid->GridOrEditorFocused()) {
    Background = ScreenColors != -1 ? clBtnFace : MixColor(Background, clBtnShadow, false);
  } else if (MixColors && ScreenColors == -1) {
    Background = MixColor(Background, clHighlight, true);
  } else {
    Background = clHighlight;
    AFont->SetColor(clHighlightText);
  }
  return true;
}

// --- data service

void TDBGridKsDataService::ApplyFilter(TCustomDBGridKs* Grid) {
  if (FilterHandler) {
    FilterHandler(Grid);
  } else {
    DefaultApplyFilter(Grid);
  }
}

void TDBGridKsDataService::ApplySorting(TCustomDBGridKs* Grid) {
  if (SortingHandler) {
    SortingHandler(Grid);
  } else {
    DefaultApplySorting(Grid);
  }
}

void TDBGridKsDataService::DefaultApplyFilter(TCustomDBGridKs* Grid) {
  TDataSet* DataSet;
  if (TDatasetFeaturesKs* Features = GridDatasetFeatures(Grid, DataSet))
    Features->ApplyFilter(Grid, DataSet, true);
}

void TDBGridKsDataService::DefaultApplySorting(TCustomDBGridKs* Grid) {
  TDataSet* DataSet;
  if (TDatasetFeaturesKs* Features = GridDatasetFeatures(Grid, DataSet))
    Features->ApplySorting(Grid, DataSet, true);
}

// --- scroll-bar settings

TDBGridKsScrollBar::TDBGridKsScrollBar(TCustomDBGridKs* Grid, int Kind)
    : FGrid(Grid), FKind(Kind) {}

TDBGridKsScrollBar::~TDBGridKsScrollBar() {
  if (FExtScrollBar) FExtScrollBar->MessageHook = nullptr;
}

void TDBGridKsScrollBar::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TDBGridKsScrollBar*>(Source);
  if (!S) return TPersistent::Assign(Source);
  SetVisible(S->Visible());
  Tracking = S->Tracking;
  SetExtScrollBar(S->FExtScrollBar);
}

void TDBGridKsScrollBar::SetVisible(bool Value) {
  SetVisibleMode(Value ? sbAutoShowKs : sbNeverShowKs);
  if (FExtScrollBar) FExtScrollBar->SetVisible(Visible());
}

void TDBGridKsScrollBar::SetVisibleMode(TScrollBarVisibleModeKs Value) {
  if (Value == FVisibleMode) return;
  FVisibleMode = Value;
  if (!FGrid) return;
  if (FKind == SB_VERT) FGrid->UpdateScrollBars();
  FGrid->LayoutChanged();
}

void TDBGridKsScrollBar::SetExtScrollBar(TScrollBar* Value) {
  if (Value == FExtScrollBar) return;
  bool Designing = FGrid->Designing();
  if (Value && !Designing && Value->MessageHook)
    throw Exception("Possible " + Value->Name() + " already attached to the other control.");
  if (FExtScrollBar && !Designing) FExtScrollBar->MessageHook = nullptr;
  FExtScrollBar = Value;
  if (Value) {
    Value->FreeNotification(FGrid);
    if (!Designing) {
      UINT Notice = FKind == SB_HORZ ? CN_HSCROLL : CN_VSCROLL;
      UINT Relayed = FKind == SB_HORZ ? WM_HSCROLL : WM_VSCROLL;
      Value->MessageHook = [this, Notice, Relayed](TMessage& Message) {
        if (Message.Msg == Notice && FGrid->HandleAllocated())
          SendMessageA(FGrid->Handle(), Relayed, Message.WParam, Message.LParam);
        return false;
      };
    }
    Value->SetVisible(Visible());
  }
  if (FGrid->ComponentState().Contains(csDestroying)) return;
  if (FGrid->HandleAllocated() && FKind == SB_VERT) FGrid->UpdateScrollBars();
  FGrid->LayoutChanged();
}

bool TDBGridKsScrollBar::IsScrollBarShowing() {
  if (FExtScrollBar) return FExtScrollBar->Visible();
  if (!Visible() || !FGrid->HandleAllocated()) return false;
  LONG Style = GetWindowLongA(FGrid->Handle(), GWL_STYLE);
  return (Style & (FKind == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
}

bool TDBGridKsScrollBar::GetScrollInfo(SCROLLINFO& Info) {
  Info.cbSize = sizeof Info;
  if (Info.fMask == 0) Info.fMask = SIF_ALL;
  if (FExtScrollBar) return ::GetScrollInfo(FExtScrollBar->Handle(), SB_CTL, &Info);
  return FGrid->HandleAllocated() && ::GetScrollInfo(FGrid->Handle(), FKind, &Info);
}
