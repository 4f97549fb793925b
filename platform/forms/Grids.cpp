#include "forms/Grids.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace {

constexpr UINT_PTR ScrollTimerId = 1;
constexpr int SizingMargin = 2;
constexpr int MoveThreshold = 4;

void CalcAxis(TGridAxisDrawInfo& Axis, const std::vector<int>& Extents, int FixedCount, int First,
              int TrailingCount, int ClientExtent, int LineWidth) {
  Axis.EffectiveLineWidth = LineWidth;
  Axis.Extents = Extents;
  Axis.GridCellCount = static_cast<int>(Extents.size());
  Axis.FixedCellCount = FixedCount;
  Axis.FirstGridCell = First;
  Axis.GridExtent = ClientExtent;
  Axis.TrailingFixedCount = TrailingCount;
  Axis.FixedBoundary = 0;
  for (int I = 0; I < FixedCount && I < Axis.GridCellCount; ++I)
    Axis.FixedBoundary += Extents[I] + LineWidth;
  int TrailingStart = Axis.GridCellCount - TrailingCount;
  Axis.TrailingFixedExtent = 0;
  for (int I = std::max(TrailingStart, 0); I < Axis.GridCellCount; ++I)
    Axis.TrailingFixedExtent += Extents[I] + LineWidth;
  int Limit = Axis.ScrollLimit();
  int Pos = Axis.FixedBoundary;
  Axis.LastFullVisibleCell = First - 1;
  Axis.FullVisBoundary = Pos;
  for (int I = First; I < TrailingStart; ++I) {
    if (Pos >= Limit) break;
    Pos += Extents[I] + LineWidth;
    if (Pos <= Limit) {
      Axis.LastFullVisibleCell = I;
      Axis.FullVisBoundary = Pos;
    }
  }
  Axis.GridBoundary = std::min(Pos, Limit);
  if (TrailingCount > 0) Axis.GridBoundary = Limit + Axis.TrailingFixedExtent;
}

// The last scrolled cell that is at least partly shown.
int LastShownCell(const TGridAxisDrawInfo& Axis) {
  int Pos = Axis.FixedBoundary, Last = Axis.FirstGridCell - 1;
  int TrailingStart = Axis.GridCellCount - Axis.TrailingFixedCount;
  for (int I = Axis.FirstGridCell; I < TrailingStart && Pos < Axis.ScrollLimit(); ++I) {
    Pos += Axis.Extents[I] + Axis.EffectiveLineWidth;
    Last = I;
  }
  return Last;
}

// The cell at a coordinate of the axis, or -1.
int CellAt(const TGridAxisDrawInfo& Axis, int Pos) {
  auto Walk = [&](int From, int To, int Start) {
    for (int I = From; I < To; ++I) {
      int End = Start + Axis.Extents[I] + Axis.EffectiveLineWidth;
      if (Pos >= Start && Pos < End) return I;
      Start = End;
    }
    return -1;
  };
  if (Pos < 0) return -1;
  if (Pos < Axis.FixedBoundary) return Walk(0, Axis.FixedCellCount, 0);
  int TrailingStart = Axis.GridCellCount - Axis.TrailingFixedCount;
  if (Axis.TrailingFixedCount > 0 && Pos >= Axis.ScrollLimit())
    return Walk(TrailingStart, Axis.GridCellCount, Axis.ScrollLimit());
  if (Pos >= Axis.ScrollLimit()) return -1;
  return Walk(Axis.FirstGridCell, TrailingStart, Axis.FixedBoundary);
}

}  // namespace

// --- TInplaceEdit

TInplaceEdit::TInplaceEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
  SetBorderStyle(bsNone);
  SetVisible(false);
  SetTabStop(false);
}

void TInplaceEdit::CreateParams(TCreateParams& Params) {
  TCustomMaskEdit::CreateParams(Params);
  Params.Style |= ES_AUTOHSCROLL;
}

void TInplaceEdit::Move(const RECT& Loc) {
  SetBounds(Loc.left, Loc.top, Loc.right - Loc.left, Loc.bottom - Loc.top);
  if (!Visible()) SetVisible(true);
}

void TInplaceEdit::UpdateContents() {
  if (!FGrid) return;
  FUpdating = true;
  SetEditMask(FGrid->GetEditMask(FGrid->Col(), FGrid->Row()));
  SetMaxLength(FGrid->GetEditLimit());
  FOriginalText = FGrid->GetEditText(FGrid->Col(), FGrid->Row());
  SetText(FOriginalText);
  FUpdating = false;
  SetModified(false);
  SelectAll();
}

void TInplaceEdit::Reset() {
  SetText(FOriginalText);
  SelectAll();
}

void TInplaceEdit::Deselect() {
  if (HandleAllocated()) SendMessageA(Handle(), EM_SETSEL, 0x7FFFFFFF, -1);
}

bool TInplaceEdit::EditCanModify() { return !FGrid || FGrid->CanEditModify(); }

void TInplaceEdit::Change() {
  TCustomMaskEdit::Change();
  if (FGrid && !FUpdating) FGrid->SetEditText(FGrid->Col(), FGrid->Row(), Text());
}

void TInplaceEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  auto ToGrid = [&] {
    if (FGrid) FGrid->KeyDown(Key, Shift);
  };
  switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_TAB:
    case VK_F2:
    case VK_ESCAPE:
      ToGrid();
      break;
    case VK_LEFT:
      if (SelStart() == 0 && SelLength() == 0) ToGrid();
      break;
    case VK_RIGHT:
      if (SelStart() >= static_cast<int>(Text().size()) && SelLength() == 0) ToGrid();
      break;
    case VK_HOME:
    case VK_END:
      if (Shift.Contains(ssCtrl)) ToGrid();
      break;
    case VK_DELETE:
      if (FGrid && !FGrid->CanEditModify()) Key = 0;
      break;
    default:
      break;
  }
  if (Key) TCustomMaskEdit::KeyDown(Key, Shift);
}

void TInplaceEdit::KeyPress(char& Key) {
  if ((Key == '\r' || Key == '\x1b' || Key == '\t') && FGrid) {
    FGrid->KeyPress(Key);
    Key = 0;
    return;
  }
  // Control characters (the clipboard keys among them) are no input for
  // the field's character check.
  if (FGrid && static_cast<uint8_t>(Key) >= ' ' && !FGrid->CanEditAcceptKey(Key)) {
    Key = 0;
    MessageBeep(0);
    return;
  }
  // The grid decides whether the cell may change before the text does.
  bool Changes = Key == '\b' || static_cast<uint8_t>(Key) >= ' ';
  if (Changes && FGrid && !FGrid->CanEditModify()) {
    Key = 0;
    return;
  }
  TCustomMaskEdit::KeyPress(Key);
}

void TInplaceEdit::WndProc(TMessage& Message) {
  if (Message.Msg == WM_GETDLGCODE) {
    Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
    if (FGrid && FGrid->Options().Contains(goTabs)) Message.Result |= DLGC_WANTTAB;
    return;
  }
  // A paste or a cut changes the cell: the grid decides first, as for a key.
  if ((Message.Msg == WM_PASTE || Message.Msg == WM_CUT || Message.Msg == WM_CLEAR) &&
      !EditCanModify())
    return;
  TCustomMaskEdit::WndProc(Message);
  // The focus leaving the editor for another control leaves the grid too.
  if (Message.Msg == CM_EXIT && FGrid && FGrid->HandleAllocated() &&
      GetFocus() != FGrid->Handle())
    FGrid->Perform(CM_EXIT);
}

// --- TCustomGrid

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner) {
  FOptions = {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  FColWidths.assign(5, FDefaultColWidth);
  FTabStops.assign(5, true);
  FRowHeights.assign(5, FDefaultRowHeight);
  SetColor(clWindow);
  SetTabStop(true);
  SetBounds(0, 0, 320, 120);
}

TCustomGrid::~TCustomGrid() = default;

void TCustomGrid::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
  // Right to left the vertical bar stands at the left, where the rows
  // begin; the horizontal one runs from the right (HorzBarPos).
  if (BiDiMode() == bdRightToLeft) Params.ExStyle |= WS_EX_LEFTSCROLLBAR;
}

void TCustomGrid::AfterCreateWnd() {
  TCustomControl::AfterCreateWnd();
  UpdateScrollRange();
}

void TCustomGrid::SetColCount(int Value) {
  Value = std::max(Value, 1);
  if (Value == ColCount()) return;
  if (FFixedCols >= Value) FFixedCols = Value - 1;
  FColWidths.resize(Value, FDefaultColWidth);
  FTabStops.resize(Value, true);
  CountsChanged();
}

void TCustomGrid::SetRowCount(int Value) {
  Value = std::max(Value, 1);
  if (Value == RowCount()) return;
  if (FFixedRows >= Value) FFixedRows = Value - 1;
  FRowHeights.resize(Value, FDefaultRowHeight);
  CountsChanged();
}

void TCustomGrid::SetFixedCols(int Value) {
  if (Value < 0) throw EInvalidGridOperation("Fixed column count must not be negative");
  if (Value >= ColCount())
    throw EInvalidGridOperation("Fixed column count must be less than column count");
  FFixedCols = Value;
  CountsChanged();
}

void TCustomGrid::SetFixedRows(int Value) {
  if (Value < 0) throw EInvalidGridOperation("Fixed row count must not be negative");
  if (Value >= RowCount())
    throw EInvalidGridOperation("Fixed row count must be less than row count");
  FFixedRows = Value;
  CountsChanged();
}

// Keeps the current cell, the anchor and the top-left cell among the
// scrolled cells after the counts changed.
void TCustomGrid::CountsChanged() {
  int LastCol = ColCount() - 1, LastRow = RowCount() - 1;
  auto Clamp = [](int V, int Lo, int Hi) { return std::max(Lo, std::min(V, Hi)); };
  FCurrent = {Clamp(FCurrent.X, FFixedCols, LastCol), Clamp(FCurrent.Y, FFixedRows, LastRow)};
  FAnchor = {Clamp(FAnchor.X, FFixedCols, LastCol), Clamp(FAnchor.Y, FFixedRows, LastRow)};
  FTopLeft = {Clamp(FTopLeft.X, FFixedCols, LastCol), Clamp(FTopLeft.Y, FFixedRows, LastRow)};
  InvalidateGrid();
  UpdateScrollRange();
}

void TCustomGrid::SetDefaultColWidth(int Value) {
  FDefaultColWidth = Value;
  std::fill(FColWidths.begin(), FColWidths.end(), Value);
  InvalidateGrid();
  UpdateScrollRange();
}

void TCustomGrid::SetDefaultRowHeight(int Value) {
  FDefaultRowHeight = Value;
  std::fill(FRowHeights.begin(), FRowHeights.end(), Value);
  InvalidateGrid();
  UpdateScrollRange();
}

void TCustomGrid::SetColWidths(int Index, int Value) {
  if (FColWidths.at(Index) == Value) return;
  FColWidths[Index] = Value;
  ColWidthsChanged();
}

void TCustomGrid::SetRowHeights(int Index, int Value) {
  if (FRowHeights.at(Index) == Value) return;
  FRowHeights[Index] = Value;
  RowHeightsChanged();
}

void TCustomGrid::SetGridLineWidth(int Value) {
  FGridLineWidth = std::max(Value, 0);
  InvalidateGrid();
}

void TCustomGrid::SetOptions(TGridOptions Value) {
  if (FOptions == Value) return;
  if (Value.Contains(goRowSelect)) Value.Exclude(goAlwaysShowEditor);
  FOptions = Value;
  if (!Value.Contains(goEditing) || Value.Contains(goRowSelect)) HideEditor();
  if (Value.Contains(goAlwaysShowEditor)) ShowEditor();
  InvalidateGrid();
}

void TCustomGrid::SetScrollBars(TScrollStyle Value) {
  if (FScrollBars == Value) return;
  FScrollBars = Value;
  RecreateWnd();
  UpdateScrollRange();
}

void TCustomGrid::SetFixedColor(TColor Value) {
  FFixedColor = Value;
  InvalidateGrid();
}

void TCustomGrid::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TCustomGrid::ColWidthsChanged() {
  UpdateScrollRange();
  InvalidateGrid();
  InvalidateEditor();
}

void TCustomGrid::RowHeightsChanged() {
  UpdateScrollRange();
  InvalidateGrid();
  InvalidateEditor();
}

void TCustomGrid::TopLeftChanged() {}

void TCustomGrid::ColumnMoved(int, int) {}

bool TCustomGrid::SelectCell(int, int) { return true; }

void TCustomGrid::CalcDrawInfo(TGridDrawInfo& DrawInfo) {
  RECT Client = ClientRect();
  int HorzLine =
      FOptions.Contains(goFixedVertLine) || FOptions.Contains(goVertLine) ? FGridLineWidth : 0;
  int VertLine =
      FOptions.Contains(goFixedHorzLine) || FOptions.Contains(goHorzLine) ? FGridLineWidth : 0;
  CalcAxis(DrawInfo.Horz, FColWidths, FFixedCols, FTopLeft.X, 0, Client.right, HorzLine);
  CalcAxis(DrawInfo.Vert, FRowHeights, FFixedRows, FTopLeft.Y, TrailingFixedRows(), Client.bottom,
           VertLine);
}

int TCustomGrid::AxisStart(const TGridAxisDrawInfo& Axis, int Index) {
  int LW = Axis.EffectiveLineWidth;
  auto Sum = [&](int From, int To, int Start) {
    for (int I = From; I < To; ++I) Start += Axis.Extents[I] + LW;
    return Start;
  };
  int TrailingStart = Axis.GridCellCount - Axis.TrailingFixedCount;
  if (Index < 0 || Index >= Axis.GridCellCount) return -1;
  if (Index < Axis.FixedCellCount) return Sum(0, Index, 0);
  if (Index >= TrailingStart) return Sum(TrailingStart, Index, Axis.ScrollLimit());
  if (Index < Axis.FirstGridCell || Index > LastShownCell(Axis)) return -1;
  return Sum(Axis.FirstGridCell, Index, Axis.FixedBoundary);
}

RECT TCustomGrid::BoxRect(int ALeft, int ATop, int ARight, int ABottom) {
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  auto Span = [&](const TGridAxisDrawInfo& Axis, int From, int To, int& Lo, int& Hi) {
    Lo = INT_MAX, Hi = INT_MIN;
    if (From > To) std::swap(From, To);
    int TrailingStart = Axis.GridCellCount - Axis.TrailingFixedCount;
    auto Take = [&](int A, int B) {
      for (int I = std::max(A, From); I <= std::min(B, To); ++I) {
        int Start = AxisStart(Axis, I);
        if (Start < 0) continue;
        int End = Start + Axis.Extents[I];
        if (I >= Axis.FixedCellCount && I < TrailingStart) End = std::min(End, Axis.ScrollLimit());
        Lo = std::min(Lo, Start), Hi = std::max(Hi, End);
      }
    };
    Take(0, Axis.FixedCellCount - 1);
    Take(Axis.FirstGridCell, LastShownCell(Axis));
    Take(TrailingStart, Axis.GridCellCount - 1);
  };
  int L, R, T, B;
  Span(Info.Horz, ALeft, ARight, L, R);
  Span(Info.Vert, ATop, ABottom, T, B);
  if (L >= R || T >= B) return RECT{0, 0, 0, 0};
  return RECT{L, T, R, B};
}

RECT TCustomGrid::CellRect(int ACol, int ARow) { return BoxRect(ACol, ARow, ACol, ARow); }

int TCustomGrid::MirroredX(int X) {
  return BiDiMode() == bdRightToLeft ? ClientWidth() - 1 - X : X;
}

RECT TCustomGrid::MirroredRect(RECT R) {
  if (BiDiMode() != bdRightToLeft) return R;
  int Width = ClientWidth();
  return RECT{Width - R.right, R.top, Width - R.left, R.bottom};
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) {
  X = MirroredX(X);
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  TGridCoord Result{CellAt(Info.Horz, X), CellAt(Info.Vert, Y)};
  if (X >= Info.Horz.GridBoundary) Result.X = -1;
  if (Y >= Info.Vert.GridBoundary) Result.Y = -1;
  return Result;
}

void TCustomGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) {
  TGridCoord Coord = MouseCoord(X, Y);
  ACol = Coord.X, ARow = Coord.Y;
}

int TCustomGrid::VisibleColCount() {
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  return std::max(Info.Horz.LastFullVisibleCell - FTopLeft.X + 1, 0);
}

int TCustomGrid::VisibleRowCount() {
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  return std::max(Info.Vert.LastFullVisibleCell - FTopLeft.Y + 1, 0);
}

TGridRect TCustomGrid::Selection() const {
  TGridRect R{std::min(FAnchor.X, FCurrent.X), std::min(FAnchor.Y, FCurrent.Y),
              std::max(FAnchor.X, FCurrent.X), std::max(FAnchor.Y, FCurrent.Y)};
  if (FOptions.Contains(goRowSelect)) R.Left = FFixedCols, R.Right = ColCount() - 1;
  return R;
}

// --- painting

void TCustomGrid::Paint() {
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  TCanvas* C = Canvas();
  HDC DC = C->Handle();
  int Cols = ColCount(), Rows = RowCount();
  int TrailingStart = Rows - Info.Vert.TrailingFixedCount;
  int HLimit = Info.Horz.ScrollLimit(), VLimit = Info.Vert.ScrollLimit();
  struct Band {
    int From, To, Pos, Limit;
  };
  Band ColBands[] = {{0, FFixedCols, 0, Info.Horz.FixedBoundary},
                     {FTopLeft.X, Cols, Info.Horz.FixedBoundary, HLimit}};
  Band RowBands[] = {{0, FFixedRows, 0, Info.Vert.FixedBoundary},
                     {FTopLeft.Y, TrailingStart, Info.Vert.FixedBoundary, VLimit},
                     {TrailingStart, Rows, VLimit, Info.Vert.GridExtent}};
  for (const Band& RB : RowBands) {
    if (RB.From >= RB.To) continue;
    for (const Band& CB : ColBands) {
      if (CB.From >= CB.To) continue;
      int Saved = SaveDC(DC);
      IntersectClipRect(DC, CB.Pos, RB.Pos, CB.Limit, RB.Limit);
      PaintRegion(Info, CB.From, CB.To, CB.Pos, RB.From, RB.To, RB.Pos, RB.Limit, {});
      RestoreDC(DC, Saved);
    }
  }
  // What lies beyond the cells.
  C->Brush()->SetColor(Color());
  RECT Client = ClientRect();
  if (Info.Horz.GridBoundary < Client.right)
    C->FillRect(RECT{Info.Horz.GridBoundary, 0, Client.right, Client.bottom});
  int LastRowEnd = Info.Vert.TrailingFixedCount ? VLimit : Info.Vert.GridBoundary;
  int RowEnd = Info.Vert.FixedBoundary;
  for (int R = FTopLeft.Y; R < TrailingStart && RowEnd < VLimit; ++R)
    RowEnd += FRowHeights[R] + Info.Vert.EffectiveLineWidth;
  RowEnd = std::min(RowEnd, LastRowEnd);
  if (RowEnd < LastRowEnd)
    C->FillRect(RECT{0, RowEnd, std::min<int>(Info.Horz.GridBoundary, Client.right), LastRowEnd});
  if (!Info.Vert.TrailingFixedCount && Info.Vert.GridBoundary < Client.bottom)
    C->FillRect(RECT{0, Info.Vert.GridBoundary, Client.right, Client.bottom});
}

void TCustomGrid::PaintRegion(const TGridDrawInfo& Info, int ColFrom, int ColTo, int XFrom,
                              int RowFrom, int RowTo, int YFrom, int YLimit, TGridDrawState Base) {
  HDC DC = Canvas()->Handle();
  TGridRect Sel = Selection();
  bool Focused = IsActiveControl();
  int HLW = Info.Horz.EffectiveLineWidth, VLW = Info.Vert.EffectiveLineWidth;
  int TrailingStart = RowCount() - Info.Vert.TrailingFixedCount;
  int Y = YFrom;
  for (int R = RowFrom; R < RowTo && Y < YLimit; ++R) {
    int H = FRowHeights[R];
    int X = XFrom;
    for (int Cl = ColFrom; Cl < ColTo && X < Info.Horz.GridExtent; ++Cl) {
      int W = FColWidths[Cl];
      RECT Cell{X, Y, X + W, Y + H};
      RECT WithLines{X, Y, X + W + HLW, Y + H + VLW};
      if (W + HLW > 0 && H + VLW > 0 && RectVisible(DC, &WithLines)) {
        TGridDrawState State = Base;
        bool Fixed = Cl < FFixedCols || R < FFixedRows || R >= TrailingStart;
        if (Fixed) {
          State.Include(gdFixed);
        } else {
          bool Current = Cl == FCurrent.X && R == FCurrent.Y;
          if (Current && Focused) State.Include(gdFocused);
          bool InSel = Cl >= Sel.Left && Cl <= Sel.Right && R >= Sel.Top && R <= Sel.Bottom;
          if (InSel && (!Current || FOptions.Contains(goRowSelect) ||
                        FOptions.Contains(goDrawFocusSelected)))
            State.Include(gdSelected);
        }
        // Lines first: a cell may paint over its own right line, as a
        // caption spanning several columns does.
        DrawLines(Canvas(), Cl, R, Cell, Fixed);
        if (W > 0 && H > 0) DrawDefaultCell(Cl, R, Cell, State);
      }
      X += W + HLW;
    }
    Y += H + VLW;
  }
}

void TCustomGrid::DrawDefaultCell(int ACol, int ARow, const RECT& Cell, TGridDrawState State) {
  TCanvas* C = Canvas();
  bool Default = FDefaultDrawing || ComponentState().Contains(csDesigning);
  if (Default) {
    C->Font()->Assign(Font());
    if (State.Contains(gdSelected)) {
      C->Brush()->SetColor(clHighlight);
      C->Font()->SetColor(clHighlightText);
    } else {
      C->Brush()->SetColor(State.Contains(gdFixed) ? FFixedColor : Color());
    }
    C->FillRect(Cell);
  }
  DrawCell(ACol, ARow, Cell, State);
  if (!FDefaultDrawing) return;
  // The layer's windows are always 3D: fixed cells stand out raised.
  UINT Lines = (FOptions.Contains(goFixedVertLine) ? BF_LEFT | BF_RIGHT : 0) |
               (FOptions.Contains(goFixedHorzLine) ? BF_TOP | BF_BOTTOM : 0);
  if (State.Contains(gdFixed) && Lines) {
    RECT Edge = Cell;
    DrawEdge(C->Handle(), &Edge, BDR_RAISEDINNER, Lines);
  }
  bool EditorAlways = FOptions.Contains(goEditing) && FOptions.Contains(goAlwaysShowEditor);
  if (State.Contains(gdFocused) && !ComponentState().Contains(csDesigning) && !EditorAlways &&
      !FOptions.Contains(goRowSelect)) {
    RECT Focus = Cell;
    DrawFocusRect(C->Handle(), &Focus);
  }
}

void TCustomGrid::SetDefaultDrawing(bool Value) {
  if (FDefaultDrawing == Value) return;
  FDefaultDrawing = Value;
  Invalidate();
}

void TCustomGrid::GridLineColors(int, int, bool Fixed, TColor& Line, TColor& Back) {
  Line = Fixed ? clBlack : clSilver;
  Back = Fixed ? FFixedColor : Color();
}

void TCustomGrid::DrawLines(TCanvas* C, int ACol, int ARow, const RECT& Cell, bool Fixed) {
  bool Vert = FOptions.Contains(Fixed ? goFixedVertLine : goVertLine);
  bool Horz = FOptions.Contains(Fixed ? goFixedHorzLine : goHorzLine);
  bool AnyVert = FOptions.Contains(goFixedVertLine) || FOptions.Contains(goVertLine);
  bool AnyHorz = FOptions.Contains(goFixedHorzLine) || FOptions.Contains(goHorzLine);
  int LW = FGridLineWidth;
  TColor LineColor, Back;
  GridLineColors(ACol, ARow, Fixed, LineColor, Back);
  if (AnyVert && LW > 0) {
    C->Brush()->SetColor(Vert ? LineColor : Back);
    C->FillRect(RECT{Cell.right, Cell.top, Cell.right + LW, Cell.bottom + (AnyHorz ? LW : 0)});
  }
  if (AnyHorz && LW > 0) {
    C->Brush()->SetColor(Horz ? LineColor : Back);
    C->FillRect(RECT{Cell.left, Cell.bottom, Cell.right, Cell.bottom + LW});
  }
}

void TCustomGrid::DrawCell(int, int, const RECT&, TGridDrawState) {}

// --- current cell and scrolling

void TCustomGrid::MoveColRow(int ACol, int ARow, bool MoveAnchor, bool Show) {
  int TrailingStart = RowCount() - TrailingFixedRows();
  ACol = std::max(FFixedCols, std::min(ACol, ColCount() - 1));
  ARow = std::max(FFixedRows, std::min(ARow, std::max(TrailingStart - 1, FFixedRows)));
  if (!SelectCell(ACol, ARow)) return;
  TGridRect OldSel = Selection();
  bool Moved = ACol != FCurrent.X || ARow != FCurrent.Y;
  if (Moved && FEditorMode && !FOptions.Contains(goAlwaysShowEditor)) HideEditor();
  FCurrent = {ACol, ARow};
  if (MoveAnchor || !FOptions.Contains(goRangeSelect)) FAnchor = FCurrent;
  InvalidateRect(OldSel);
  InvalidateRect(Selection());
  if (Show) {
    TGridDrawInfo Info;
    CalcDrawInfo(Info);
    TGridCoord TL = FTopLeft;
    if (ACol < TL.X) TL.X = ACol;
    if (ARow < TL.Y) TL.Y = ARow;
    // Step the top-left cell until the cell is shown whole.
    while (TL.X < ACol) {
      CalcAxis(Info.Horz, FColWidths, FFixedCols, TL.X, 0, Info.Horz.GridExtent,
               Info.Horz.EffectiveLineWidth);
      if (Info.Horz.LastFullVisibleCell >= ACol) break;
      ++TL.X;
    }
    while (TL.Y < ARow) {
      CalcAxis(Info.Vert, FRowHeights, FFixedRows, TL.Y, TrailingFixedRows(), Info.Vert.GridExtent,
               Info.Vert.EffectiveLineWidth);
      if (Info.Vert.LastFullVisibleCell >= ARow) break;
      ++TL.Y;
    }
    SetTopLeft(TL.X, TL.Y);
  }
  if (Moved) InvalidateEditor();
  if (FOptions.Contains(goAlwaysShowEditor)) ShowEditor();
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor) {
  MoveColRow(ACol, ARow, MoveAnchor, true);
}

TGridCoord TCustomGrid::CalcMaxTopLeft() {
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  auto Max = [](const TGridAxisDrawInfo& Axis) {
    int Room = Axis.ScrollLimit() - Axis.FixedBoundary;
    int Last = Axis.GridCellCount - Axis.TrailingFixedCount - 1;
    int Result = Last, Used = 0;
    for (int I = Last; I >= Axis.FixedCellCount; --I) {
      Used += Axis.Extents[I] + Axis.EffectiveLineWidth;
      if (Used > Room) break;
      Result = I;
    }
    return std::max(Result, Axis.FixedCellCount);
  };
  return TGridCoord{Max(Info.Horz), Max(Info.Vert)};
}

void TCustomGrid::SetTopLeft(int ALeft, int ATop) {
  TGridCoord MaxTL = CalcMaxTopLeft();
  ALeft = std::max(FFixedCols, std::min(ALeft, std::max(MaxTL.X, FFixedCols)));
  ATop = std::max(FFixedRows, std::min(ATop, std::max(MaxTL.Y, FFixedRows)));
  if (ALeft == FTopLeft.X && ATop == FTopLeft.Y) return;
  FTopLeft = {ALeft, ATop};
  InvalidateGrid();
  UpdateScrollPos();
  InvalidateEditor();
  TopLeftChanged();
}

void TCustomGrid::SetLeftCol(int Value) { SetTopLeft(Value, FTopLeft.Y); }

void TCustomGrid::SetTopRow(int Value) { SetTopLeft(FTopLeft.X, Value); }

void TCustomGrid::UpdateScrollRange() {
  if (!HandleAllocated()) return;
  TGridCoord MaxTL = CalcMaxTopLeft();
  auto Apply = [&](int Bar, bool Shown, int Max) {
    if (!Shown) return;
    SCROLLINFO SI{sizeof SI, SIF_RANGE | SIF_PAGE, 0, Max, 0, 0, 0};
    SI.nPage = Max > 0 ? 1 : 0;
    SI.nMax = Max > 0 ? Max : 0;
    SetScrollInfo(Handle(), Bar, &SI, TRUE);
  };
  Apply(SB_HORZ, FScrollBars == ssHorizontal || FScrollBars == ssBoth, MaxTL.X - FFixedCols);
  Apply(SB_VERT, FScrollBars == ssVertical || FScrollBars == ssBoth, MaxTL.Y - FFixedRows);
  // Shrinking the window may leave the top-left cell beyond the new maximum.
  SetTopLeft(FTopLeft.X, FTopLeft.Y);
  UpdateScrollPos();
}

// The horizontal bar's position of a scroll position, and back: right to
// left the first columns show at the right, and so does the bar's thumb.
int TCustomGrid::HorzBarPos(int Pos) {
  return BiDiMode() == bdRightToLeft ? CalcMaxTopLeft().X - FFixedCols - Pos : Pos;
}

void TCustomGrid::UpdateScrollPos() {
  if (!HandleAllocated()) return;
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth)
    SetScrollPos(Handle(), SB_HORZ, HorzBarPos(FTopLeft.X - FFixedCols), TRUE);
  if (FScrollBars == ssVertical || FScrollBars == ssBoth)
    SetScrollPos(Handle(), SB_VERT, FTopLeft.Y - FFixedRows, TRUE);
}

void TCustomGrid::ScrollMessage(UINT Msg, int Code, int Pos) {
  bool Horz = Msg == WM_HSCROLL;
  if (Horz && BiDiMode() == bdRightToLeft) {
    // The bar runs from the right: its left arrow goes on to later columns.
    static const std::pair<int, int> Mirrored[] = {
        {SB_LINEUP, SB_LINEDOWN}, {SB_PAGEUP, SB_PAGEDOWN}, {SB_TOP, SB_BOTTOM}};
    for (auto [A, B] : Mirrored) {
      if (Code == A || Code == B) {
        Code = Code == A ? B : A;
        break;
      }
    }
    Pos = HorzBarPos(Pos);
  }
  TGridCoord MaxTL = CalcMaxTopLeft();
  int Fixed = Horz ? FFixedCols : FFixedRows;
  int Current = Horz ? FTopLeft.X : FTopLeft.Y;
  int Max = Horz ? MaxTL.X : MaxTL.Y;
  int Page = std::max(Horz ? VisibleColCount() : VisibleRowCount(), 1);
  int New = Current;
  switch (Code) {
    case SB_LINEUP:
      --New;
      break;
    case SB_LINEDOWN:
      ++New;
      break;
    case SB_PAGEUP:
      New -= Page;
      break;
    case SB_PAGEDOWN:
      New += Page;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      if (Code == SB_THUMBTRACK && !FOptions.Contains(goThumbTracking)) return;
      New = Fixed + Pos;
      break;
    case SB_TOP:
      New = Fixed;
      break;
    case SB_BOTTOM:
      New = Max;
      break;
    default:
      return;
  }
  if (Horz) {
    SetLeftCol(New);
  } else {
    SetTopRow(New);
  }
}

void TCustomGrid::InvalidateCell(int ACol, int ARow) { InvalidateRect({ACol, ARow, ACol, ARow}); }

void TCustomGrid::InvalidateCol(int ACol) { InvalidateRect({ACol, 0, ACol, RowCount() - 1}); }

void TCustomGrid::InvalidateRow(int ARow) { InvalidateRect({0, ARow, ColCount() - 1, ARow}); }

void TCustomGrid::InvalidateRect(const TGridRect& ARect) {
  if (!HandleAllocated()) return;
  RECT R = BoxRect(ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
  // The lines right and below belong to the cells too.
  R.right += FGridLineWidth, R.bottom += FGridLineWidth;
  R = MirroredRect(R);
  ::InvalidateRect(Handle(), &R, FALSE);
}

void TCustomGrid::InvalidateGrid() { Invalidate(); }

bool TCustomGrid::IsActiveControl() {
  if (!HandleAllocated()) return false;
  HWND Focus = GetFocus();
  return Focus == Handle() ||
         (FInplaceEdit && FInplaceEdit->HandleAllocated() && Focus == FInplaceEdit->Handle());
}

void TCustomGrid::MoveColumn(int FromIndex, int ToIndex) {
  if (FromIndex == ToIndex) return;
  auto Rotate = [&](auto& V) {
    auto Item = V[FromIndex];
    V.erase(V.begin() + FromIndex);
    V.insert(V.begin() + ToIndex, Item);
  };
  Rotate(FColWidths);
  std::vector<bool> Stops(FTabStops.begin(), FTabStops.end());
  Rotate(Stops);
  FTabStops = Stops;
  ColumnMoved(FromIndex, ToIndex);
  if (FCurrent.X == FromIndex) {
    FCurrent.X = FAnchor.X = ToIndex;
  } else if (FromIndex < FCurrent.X && FCurrent.X <= ToIndex) {
    --FCurrent.X, FAnchor.X = FCurrent.X;
  } else if (ToIndex <= FCurrent.X && FCurrent.X < FromIndex) {
    ++FCurrent.X, FAnchor.X = FCurrent.X;
  }
  InvalidateGrid();
  InvalidateEditor();
}

// --- the editor

TInplaceEdit* TCustomGrid::CreateEditor() { return new TInplaceEdit(this); }

bool TCustomGrid::CanEditShow() {
  int TrailingStart = RowCount() - TrailingFixedRows();
  return FOptions.Contains(goEditing) && !FOptions.Contains(goRowSelect) && HandleAllocated() &&
         FCurrent.X >= FFixedCols && FCurrent.Y >= FFixedRows && FCurrent.Y < TrailingStart;
}

bool TCustomGrid::CanEditAcceptKey(char) { return true; }

bool TCustomGrid::CanEditModify() { return true; }

AnsiString TCustomGrid::GetEditText(int, int) { return ""; }

void TCustomGrid::SetEditText(int, int, const AnsiString&) {}

AnsiString TCustomGrid::GetEditMask(int, int) { return ""; }

int TCustomGrid::GetEditLimit() { return 0; }

void TCustomGrid::ShowEditor() {
  if (!CanEditShow()) return;
  FEditorMode = true;
  if (!FInplaceEdit) {
    FInplaceEdit = CreateEditor();
    FInplaceEdit->FGrid = this;
    FInplaceEdit->SetParent(this);
  }
  bool HadFocus = IsActiveControl();
  FInplaceEdit->UpdateContents();
  RECT R = CellRect(FCurrent.X, FCurrent.Y);
  if (R.right <= R.left) {
    FInplaceEdit->SetVisible(false);
    return;
  }
  FInplaceEdit->Move(MirroredRect(R));
  if (HadFocus) ::SetFocus(FInplaceEdit->Handle());
}

void TCustomGrid::HideEditor() {
  FEditorMode = false;
  if (!FInplaceEdit || !FInplaceEdit->Visible()) return;
  bool HadFocus = FInplaceEdit->HandleAllocated() && GetFocus() == FInplaceEdit->Handle();
  FInplaceEdit->SetVisible(false);
  if (HadFocus && HandleAllocated()) ::SetFocus(Handle());
}

void TCustomGrid::SetEditorMode(bool Value) {
  if (Value) {
    ShowEditor();
  } else if (!FOptions.Contains(goAlwaysShowEditor)) {
    HideEditor();
  }
}

void TCustomGrid::ShowEditorChar(char Ch) {
  ShowEditor();
  if (FInplaceEdit && FInplaceEdit->Visible())
    SendMessageA(FInplaceEdit->Handle(), WM_CHAR, static_cast<uint8_t>(Ch), 0);
}

// Keeps a shown editor over the current cell with its cell's contents.
void TCustomGrid::InvalidateEditor() {
  if (!FInplaceEdit || !FInplaceEdit->Visible() || !FEditorMode) return;
  RECT R = CellRect(FCurrent.X, FCurrent.Y);
  if (R.right <= R.left) {
    HideEditor();
    FEditorMode = true;
    return;
  }
  FInplaceEdit->Move(MirroredRect(R));
}

// --- keyboard

void TCustomGrid::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (!Key) return;
  TGridCoord New = FCurrent;
  bool Range = Shift.Contains(ssShift) && FOptions.Contains(goRangeSelect);
  bool RowSelect = FOptions.Contains(goRowSelect);
  int Page = std::max(VisibleRowCount(), 1);
  int LastRow = RowCount() - TrailingFixedRows() - 1;
  switch (Key) {
    case VK_UP:
      --New.Y;
      break;
    case VK_DOWN:
      ++New.Y;
      break;
    case VK_LEFT:
      if (RowSelect) {
        SetLeftCol(FTopLeft.X - 1);
        Key = 0;
        return;
      }
      --New.X;
      break;
    case VK_RIGHT:
      if (RowSelect) {
        SetLeftCol(FTopLeft.X + 1);
        Key = 0;
        return;
      }
      ++New.X;
      break;
    case VK_PRIOR:
      New.Y -= Page;
      SetTopRow(FTopLeft.Y - Page);
      break;
    case VK_NEXT:
      New.Y += Page;
      SetTopRow(FTopLeft.Y + Page);
      break;
    case VK_HOME:
      if (Shift.Contains(ssCtrl)) {
        New.Y = FFixedRows;
      } else {
        New.X = FFixedCols;
      }
      break;
    case VK_END:
      if (Shift.Contains(ssCtrl)) {
        New.Y = LastRow;
      } else {
        New.X = ColCount() - 1;
      }
      break;
    case VK_TAB: {
      if (!FOptions.Contains(goTabs) || Shift.Contains(ssAlt)) return;
      bool Back = Shift.Contains(ssShift);
      Range = false;
      int C = New.X, R = New.Y;
      do {
        C += Back ? -1 : 1;
        if (C >= ColCount()) {
          if (R >= LastRow) return;
          C = FFixedCols, ++R;
        } else if (C < FFixedCols) {
          if (R <= FFixedRows) return;
          C = ColCount() - 1, --R;
        }
      } while (!FTabStops[C] && C != New.X);
      New = {C, R};
      break;
    }
    case VK_F2:
      SetEditorMode(true);
      Key = 0;
      return;
    default:
      return;
  }
  Key = 0;
  MoveColRow(New.X, New.Y, !Range, true);
}

void TCustomGrid::KeyPress(char& Key) {
  TCustomControl::KeyPress(Key);
  if (!Key || !FOptions.Contains(goEditing) || FOptions.Contains(goRowSelect)) return;
  if (Key == '\r') {
    if (!FOptions.Contains(goAlwaysShowEditor)) SetEditorMode(!FEditorMode);
    Key = 0;
  } else if (Key == '\x1b') {
    if (FEditorMode && FInplaceEdit) {
      FInplaceEdit->Reset();
      if (!FOptions.Contains(goAlwaysShowEditor)) HideEditor();
    }
    Key = 0;
  } else if (static_cast<uint8_t>(Key) >= 32 && !FEditorMode && CanEditAcceptKey(Key)) {
    ShowEditorChar(Key);
    Key = 0;
  }
}

// --- mouse

void TCustomGrid::CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos,
                                  int& SizingOfs, TGridDrawInfo& FixedInfo) {
  State = gsNormal;
  Index = -1;
  X = MirroredX(X);
  CalcDrawInfo(FixedInfo);
  auto Border = [&](const TGridAxisDrawInfo& Axis, int Pos) {
    int Last = LastShownCell(Axis);
    for (int I = 0; I <= Last; ++I) {
      if (I >= Axis.FixedCellCount && I < Axis.FirstGridCell) continue;
      int Start = AxisStart(Axis, I);
      if (Start < 0) continue;
      int End = Start + Axis.Extents[I];
      if (Pos >= End - SizingMargin && Pos <= End + Axis.EffectiveLineWidth + SizingMargin) {
        Index = I, SizingPos = End, SizingOfs = Pos - End;
        return true;
      }
    }
    return false;
  };
  if (FOptions.Contains(goColSizing) && Y < FixedInfo.Vert.FixedBoundary &&
      Border(FixedInfo.Horz, X)) {
    State = gsColSizing;
  } else if (FOptions.Contains(goRowSizing) && X < FixedInfo.Horz.FixedBoundary &&
             Border(FixedInfo.Vert, Y)) {
    State = gsRowSizing;
  }
}

int TCustomGrid::ScrollDirection(int X, int Y) {
  X = MirroredX(X);
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  int Direction = 0;
  if (X < Info.Horz.FixedBoundary) Direction |= sdLeft;
  if (X >= Info.Horz.ScrollLimit()) Direction |= sdRight;
  if (Y < Info.Vert.FixedBoundary) Direction |= sdUp;
  if (Y >= Info.Vert.ScrollLimit()) Direction |= sdDown;
  return Direction;
}

void TCustomGrid::TimedScroll(int Direction) {
  TGridCoord New = FCurrent;
  if (Direction & sdLeft) --New.X;
  if (Direction & sdRight) ++New.X;
  if (Direction & sdUp) --New.Y;
  if (Direction & sdDown) ++New.Y;
  if (New == FCurrent) return;
  MoveColRow(New.X, New.Y, !FOptions.Contains(goRangeSelect), true);
}

void TCustomGrid::StopTimer() {
  if (FTimerActive && HandleAllocated()) KillTimer(Handle(), ScrollTimerId);
  FTimerActive = false;
}

void TCustomGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  FLastMouse = {X, Y};
  if (Button == mbLeft && CanFocus() && !IsActiveControl()) SetFocus();
  if (Button == mbLeft && !Shift.Contains(ssDouble)) {
    TGridDrawInfo Info;
    TGridState State;
    CalcSizingState(X, Y, State, FSizingIndex, FSizingPos, FSizingOfs, Info);
    if (State != gsNormal) {
      FGridState = State;
      SetCapture(Handle());
    } else {
      TGridCoord Cell = MouseCoord(X, Y);
      if (Cell.X >= FFixedCols && Cell.Y >= 0 && Cell.Y < FFixedRows &&
          FOptions.Contains(goColMoving)) {
        FMoveIndex = FMovePos = Cell.X;
        FMoveStartX = X;
        SetCapture(Handle());
      } else if (Cell.X >= FFixedCols && Cell.Y >= FFixedRows) {
        FClickedCurrent = Cell == FCurrent;
        bool Range = Shift.Contains(ssShift) && FOptions.Contains(goRangeSelect);
        MoveColRow(Cell.X, Cell.Y, !Range, true);
        FGridState = gsSelecting;
        SetCapture(Handle());
        SetTimer(Handle(), ScrollTimerId, 60, nullptr);
        FTimerActive = true;
      }
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomGrid::MouseMove(TShiftState Shift, int X, int Y) {
  FLastMouse = {X, Y};
  switch (FGridState) {
    case gsColSizing: {
      TGridDrawInfo Info;
      CalcDrawInfo(Info);
      int Start = AxisStart(Info.Horz, FSizingIndex);
      if (Start >= 0) {
        FColWidths[FSizingIndex] = std::max(MirroredX(X) - FSizingOfs - Start, 0);
        UpdateScrollRange();
        InvalidateGrid();
      }
      break;
    }
    case gsRowSizing: {
      TGridDrawInfo Info;
      CalcDrawInfo(Info);
      int Start = AxisStart(Info.Vert, FSizingIndex);
      if (Start >= 0) {
        FRowHeights[FSizingIndex] = std::max(Y - FSizingOfs - Start, 0);
        UpdateScrollRange();
        InvalidateGrid();
      }
      break;
    }
    case gsSelecting: {
      TGridCoord Cell = MouseCoord(X, Y);
      if (Cell.X >= FFixedCols && Cell.Y >= FFixedRows && Cell != FCurrent)
        MoveColRow(Cell.X, Cell.Y, !FOptions.Contains(goRangeSelect), true);
      break;
    }
    default:
      if (FMoveIndex >= 0) {
        if (FGridState != gsColMoving && std::abs(X - FMoveStartX) >= MoveThreshold)
          FGridState = gsColMoving;
        if (FGridState == gsColMoving) {
          TGridCoord Cell = MouseCoord(X, 0);
          if (Cell.X >= FFixedCols) FMovePos = Cell.X;
        }
      }
      break;
  }
  TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGridState State = FGridState;
  FGridState = gsNormal;
  StopTimer();
  if (GetCapture() == Handle()) ReleaseCapture();
  switch (State) {
    case gsColSizing:
      ColWidthsChanged();
      break;
    case gsRowSizing:
      RowHeightsChanged();
      break;
    case gsColMoving:
      if (FMovePos >= 0 && FMovePos != FMoveIndex) MoveColumn(FMoveIndex, FMovePos);
      break;
    case gsSelecting:
      if (FClickedCurrent && MouseCoord(X, Y) == FCurrent) ShowEditor();
      break;
    default:
      break;
  }
  FMoveIndex = FMovePos = -1;
  FClickedCurrent = false;
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

// --- messages

void TCustomGrid::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      if (FOptions.Contains(goTabs)) Message.Result |= DLGC_WANTTAB;
      return;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (!Message.LParam) {
        ScrollMessage(Message.Msg, LOWORD(Message.WParam),
                      static_cast<short>(HIWORD(Message.WParam)));
        return;
      }
      break;
    case WM_SIZE:
      TCustomControl::WndProc(Message);
      UpdateScrollRange();
      InvalidateGrid();
      InvalidateEditor();
      return;
    case WM_TIMER:
      if (Message.WParam == ScrollTimerId && FGridState == gsSelecting) {
        if (int Direction = ScrollDirection(FLastMouse.x, FLastMouse.y)) TimedScroll(Direction);
        return;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::WndProc(Message);
      InvalidateRect(Selection());
      return;
    case CM_EXIT:
      // The focus went to the grid's own editor: it stays within the grid.
      if (FInplaceEdit && FInplaceEdit->HandleAllocated() && GetFocus() == FInplaceEdit->Handle())
        return;
      break;
    case WM_CANCELMODE:
      if (FGridState != gsNormal) {
        FGridState = gsNormal;
        StopTimer();
        if (GetCapture() == Handle()) ReleaseCapture();
      }
      break;
    case WM_SETCURSOR:
      if (LOWORD(Message.LParam) == HTCLIENT && FGridState == gsNormal) {
        POINT P;
        GetCursorPos(&P);
        P = ScreenToClient(P);
        TGridDrawInfo Info;
        TGridState State;
        int Index, Pos, Ofs;
        CalcSizingState(P.x, P.y, State, Index, Pos, Ofs, Info);
        if (State != gsNormal) {
          ::SetCursor(LoadCursorA(nullptr, State == gsColSizing ? IDC_SIZEWE : IDC_SIZENS));
          Message.Result = 1;
          return;
        }
      }
      break;
    default:
      break;
  }
  TCustomControl::WndProc(Message);
}
