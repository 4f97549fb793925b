// The grid's painting: the paint loop's colours, and every cell below the
// titles (indicator, data, filler rows); titles and footers are in
// DBGridKsTitlePaint.cpp.
#include <algorithm>
#include <vector>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsCellText.h"
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "COMPONENTS/kslib/WinWrapKs.h"

namespace {

enum TRowArea { TitleRows, ExtraTitleRows, DataRows, SeparatorRow, FooterRows };

}  // namespace

void TCustomDBGridKs::Paint() {
  FPaintFocus = GetFocus();
  TFlagScope Painting(FPainting);
  bool RightToLeft = BiDiMode() == bdRightToLeft;
  if (RightToLeft) MirrorCanvas(true);
  try {
    TCustomGrid::Paint();
  } catch (...) {
    if (RightToLeft) MirrorCanvas(false);
    throw;
  }
  if (RightToLeft) MirrorCanvas(false);
  if (FOptions.Contains(dgTitles) && FUseMultiTitle)
    FHeadTree->ForEach([](THeadTreeNode* Node) { Node->Drawn = false; });
  if (RowSelectHighlighted() && FStyle && FStyle->FocusFrame) {
    RECT Box = MirroredRect(BoxRect(FIndicatorOffset, Row(), ColCount() - 1, Row()));
    DrawFocusRect(Canvas()->Handle(), &Box);
  }
}

void TCustomDBGridKs::GridLineColors(int ACol, int ARow, bool Fixed, TColor& Line,
                                     TColor& Back) {
  TColor FixedLine = FFlat ? clBtnShadow : clBlack;
  TColor DataLine = Color() == clSilver ? clGray : clSilver;
  bool Footer = FFooterRowCount > 0 && ARow >= RowCount() - FFooterRowCount;
  bool FixedLook;
  if (Footer) {
    FixedLook = FOptionsKs.Contains(dghFooter3D) || FFooterColor == clBtnFace;
  } else {
    // Frozen columns beside the data rows look like data unless 3D.
    bool Frozen = ACol >= FIndicatorOffset && ARow >= FTitleOffset;
    FixedLook = Fixed && (!Frozen || FOptionsKs.Contains(dghFrozen3D));
  }
  Line = FixedLook ? FixedLine : DataLine;
  Back = FixedLook ? FixedColor() : Color();
}

void TCustomDBGridKs::DrawCell(int ACol, int ARow, const RECT& ARect, TGridDrawState AState) {
  TCanvas* C = Canvas();
  if (ARect.right <= ARect.left) return;
  if (Loading()) {
    C->Brush()->SetColor(Color());
    C->FillRect(ARect);
    return;
  }
  bool Has3D = CellHas3DFrame(ACol, ARow, AState, ARect);
  int AreaCol, AreaRow;
  int Kind = GetCellType(ACol, ARow, AreaCol, AreaRow);
  int RowArea = Kind >> 8;
  RECT Cell = ARect;
  if (Has3D) InflateRect(&Cell, -1, -1);
  int DX = Has3D ? 1 : 2, DY = FFlat ? DX - 1 : DX;
  int DataCol = RawToDataColumn(ACol), DataRow = ARow - FTitleOffset;
  TColumnKs* Column =
      DataCol >= 0 && DataCol < FColumns->Count() ? FColumns->Items(DataCol) : nullptr;
  bool TitleCell = Column && RowArea == TitleRows;
  bool Highlighted = false, Pressed = false;
  if (DataCol < 0 && DataRow >= 0) {
    Highlighted = DrawIndicatorCell(ARow, Cell, DX);
  } else if (TitleCell) {
    Highlighted = DrawTitleCell(Column, ACol, Cell, DX, DY, AState, Pressed);
  } else if (RowArea == ExtraTitleRows) {
    Highlighted = CellInSelection(ACol, ARow, DataCol, "");
    DrawExtraTitleCell(ACol, ARow, Highlighted, AState, Cell, Kind, AreaRow, AreaCol);
  } else if (Column && RowArea == FooterRows) {
    Highlighted = DrawFooterCell(Column, ACol, ARow, Cell, DX, DY, AState);
  } else if (Column && RowArea == DataRows && FDataLink->Active() &&
             DataRow < FDataLink->RecordCount()) {
    Highlighted = DrawColumnDataCell(Column, ACol, ARow, Cell, DX, DY, AState);
  } else {
    Highlighted = DrawFillerCell(ACol, ARow, Cell, AState);
  }
  if (Has3D) Draw3DFrame(C, ARect, Pressed, Highlighted, true, true);
  if (TitleCell && FUseMultiTitle && FOptions.Contains(dgTitles)) {
    THeadTreeNode* Leaf = FLeafNodes[DataCol];
    if (Leaf->Host && Leaf->Host != FHeadTree.get()) {
      C->Font()->Assign(&FTitleFont);
      TColor Background = FixedColor();
      if (Highlighted)
        GetStyleCellColors(ACol, ARow, AreaCol, AreaRow, Kind, AState, true, Background,
                           C->Font());
      C->Brush()->SetColor(Background);
      DrawTitleTreeNode(Leaf, ARect.left, Cell.bottom - Leaf->Height + 3, ARect, DY, AState);
    }
  }
}

bool TCustomDBGridKs::DrawColumnDataCell(TColumnKs* Column, int ACol, int ARow, RECT Cell,
                                         int DX, int DY, TGridDrawState AState) {
  TCanvas* C = Canvas();
  int DataRow = ARow - FTitleOffset, DataCol = RawToDataColumn(ACol);
  bool ActiveRow = IsActiveRow(ARow);
  bool Has3D = DX == 1;
  TActiveRecordScope Scope(FDataLink.get(), DataRow);
  C->Font()->Assign(Column->Font());
  C->Brush()->SetColor(Column->Color());
  bool TreeCell = IsTreeColumn(DataCol);
  RECT Tree = Cell;
  if (TreeCell) Cell.left += TreeIndentWidth();
  RECT Full = Cell;
  std::vector<TCellButton> Buttons = CellButtons(Column);
  for (const TCellButton& Button : Buttons) Cell.right -= Button.Width;
  TColCellParamsKs Params;
  Params.Col = ACol;
  Params.Row = ARow;
  FillCellParams(Column, &Params, AState);
  bool Highlighted =
      GetCellHighlight(DataCol, DataRow, Params.Text, AState, Params.Background, C->Font());
  if (Highlighted) AState.Include(gdSelected);
  if (TreeCell) DrawTreeCell(C, Tree, Highlighted ? Params.Background : Column->Color());
  if (Column->HideDuplicates() && SameAsPriorRecord(Column, Params.Text, AState)) {
    Params.Text.clear();
    Params.ImageIndex = -1;
  }
  C->Brush()->SetColor(Params.Background);
  if (FDefaultDrawing && Cell.right > Cell.left) DrawCellContent(Column, Params, Cell, DX, DY);
  if (!Buttons.empty()) DrawCellButtons(Buttons, Full, Cell.right, Has3D, Column->Color());
  if (ActiveRow) DrawRequiredMark(Column, Cell, Params.Text);
  if (FColumns->GetState() == csDefault) DrawDataCell(Cell, Column->GetField(), AState);
  DrawColumnCell(Cell, DataCol, Column, AState);
  DrawSearchMatch(Column, Cell, DX, DY, Params, AState);
  if (FDefaultDrawing && AState.Contains(gdFocused) && GridOrEditorFocused() && !Designing() &&
      !FOptions.Contains(dgRowSelect) && !EditorMode() && FStyle && FStyle->FocusFrame)
    DrawFocusRect(C->Handle(), &Full);
  return Highlighted;
}

void TCustomDBGridKs::DrawCellContent(TColumnKs* Column, const TColCellParamsKs& Params,
                                      RECT Cell, int DX, int DY) {
  TCanvas* C = Canvas();
  TImageList* Images = Column->ImageList();
  switch (Column->GetColumnType()) {
    case 4:
      C->FillRect(Cell);
      DrawImageInCell(Images, nullptr, C, Cell, Params.ImageIndex, 0, taCenter);
      return;
    case 5:
      DrawCheckBoxCell(Cell, Params);
      return;
    default:
      break;
  }
  if (Images && Column->ShowImageAndText()) {
    RECT ImageRect{Cell.left, Cell.top, std::min(Cell.right, Cell.left + Images->Width() + 4),
                   Cell.bottom};
    C->FillRect(ImageRect);
    DrawImageInCell(Images, nullptr, C, ImageRect, Params.ImageIndex, 0, taCenter);
    Cell.left = ImageRect.right + 1;
  }
  bool MultiLine = Column->WordWrap() && FRowsTallerThanText;
  const AnsiString Text = FillsNumberWithHashes(Column, -1, MultiLine)
                              ? FitNumberText(Params.Text, C, Cell.right - Cell.left - DX - 3)
                              : Params.Text;
  WriteCellTextEx(Cell, true, DX, DY, Text, Params.Alignment, Column->Layout(), MultiLine,
                  Column->EndEllipsis(), 0, 0);
}

void TCustomDBGridKs::DrawCheckBoxCell(const RECT& Cell, const TColCellParamsKs& Params) {
  TCanvas* C = Canvas();
  C->FillRect(Cell);
  RECT Box = FitRectToMaxSize(Cell, 2, 1);
  PaintButtonControlKs(C->Handle(), Box, Params.Background, Params.CheckboxState, true, false,
                       FFlat, 0, bcsCheckboxKs);
}

std::vector<TCustomDBGridKs::TCellButton> TCustomDBGridKs::CellButtons(TColumnKs* Column) {
  std::vector<TCellButton> Buttons;
  if (!Column->AlwaysShowEditButton()) return Buttons;
  int DefaultWidth = FEditButtonWidth + (FFlat ? 1 : 0);
  TInplaceEditStyleKs Style = TDBGridInplaceEdit::GetEditStyle(Column);
  if (Style != iesSimple)
    Buttons.push_back({Style == iesEllipsis ? ebsEllipsisKs
                       : Style == iesUpDown ? ebsUpDownKs
                                            : ebsDropDownKs,
                       nullptr, DefaultWidth});
  TEditButtonsKs* Extra = Column->EditButtons();
  for (int I = 0; I < Extra->Count(); ++I) {
    TEditButtonKs* Button = Extra->EditButtonsItem(I);
    if (!Button->Visible()) continue;
    TBitmap* Glyph = Button->Glyph()->Handle() ? Button->Glyph() : nullptr;
    Buttons.push_back({Button->Style(), Glyph,
                       Button->Width() >= 1 ? Button->Width() : DefaultWidth,
                       Button->NumGlyphs()});
  }
  return Buttons;
}

void TCustomDBGridKs::DrawCellButton(RECT Cell, RECT Button, const TCellButton& Kind,
                                     TColor Background) {
  // Right to left the button is drawn unmirrored where it shows: its edges
  // and glyph look as they do left to right.
  bool RightToLeft = BiDiMode() == bdRightToLeft;
  if (RightToLeft) {
    Cell = MirroredRect(Cell);
    Button = MirroredRect(Button);
    MirrorCanvas(false);
  }
  TCanvas* C = Canvas();
  HDC DC = C->Handle();
  {
    TCellClip Clip(DC, Cell);
    if (FFlat) {
      // A line of the cell's colour keeps the button off the text.
      C->Brush()->SetColor(Background);
      if (RightToLeft) {
        C->FillRect(RECT{Button.right - 1, Button.top, Button.right, Button.bottom});
        --Button.right;
      } else {
        C->FillRect(RECT{Button.left, Button.top, Button.left + 1, Button.bottom});
        ++Button.left;
      }
    }
    PaintEditButton(DC, Button, Background, 0, FDataLink->Active(), false, FFlat, Kind.Glyph,
                    Kind.Glyph ? ebsGlyphKs : Kind.Style, Kind.NumGlyphs);
  }
  if (RightToLeft) MirrorCanvas(true);
}

void TCustomDBGridKs::DrawCellButtons(const std::vector<TCellButton>& Buttons, const RECT& Cell,
                                      int TextRight, bool Has3D, TColor Background) {
  int Height = std::min(DefaultRowHeight(), static_cast<int>(Cell.bottom - Cell.top));
  int X = TextRight;
  for (const TCellButton& Kind : Buttons) {
    RECT Button{X, Cell.top, X + Kind.Width, Cell.top + Height};
    if (Has3D) OffsetRect(&Button, 1, -1);
    DrawCellButton(Cell, Button, Kind, Background);
    X += Kind.Width;
  }
  if (Cell.top + Height < Cell.bottom) {
    Canvas()->Brush()->SetColor(Background);
    Canvas()->FillRect(RECT{TextRight, Cell.top + Height, Cell.right, Cell.bottom});
  }
}

void TCustomDBGridKs::DrawSearchMatch(TColumnKs* Column, const RECT& Cell, int DX, int DY,
                                      const TColCellParamsKs& Params, TGridDrawState AState) {
  bool SelectionShown = FOptions.Contains(dgAlwaysShowSelection) || GridOrEditorFocused();
  if (!InIncSearch || IncSearchText.empty() || !AState.Contains(gdSelected) ||
      Params.Row != Row() || Params.Col != Col() || !SelectionShown || Designing() ||
      EditorMode() || !IsActiveControl())
    return;
  TCanvas* C = Canvas();
  C->Brush()->SetColor(DBGridKsUnit.SearchMatchColor);
  C->Font()->SetColor(DBGridKsUnit.SearchMatchTextColor);
  UINT Format = DT_NOPREFIX | DT_EXPANDTABS;
  if (Params.Alignment == taRightJustify) Format |= DT_RIGHT;
  if (Params.Alignment == taCenter) Format |= DT_CENTER;
  if (Column->WordWrap() && FRowsTallerThanText) Format |= DT_WORDBREAK;
  RECT R{Cell.left + DX, Cell.top + DY, Cell.right - DX, Cell.bottom - DY + (DX > 0 ? 1 : 0)};
  DRAWTEXTPARAMS Margins{sizeof(DRAWTEXTPARAMS), 0, 0, 0, 0};
  size_t Typed = std::min(IncSearchText.size(), Params.Text.size());
  if (Params.Alignment != taLeftJustify) {
    // The typed part stands where it stands in the whole text.
    AnsiString Rest = Params.Text.substr(Typed);
    SIZE Extent{};
    GetTextExtentPoint32A(C->Handle(), Rest.c_str(), static_cast<int>(Rest.size()), &Extent);
    Margins.iRightMargin = Extent.cx;
  }
  AnsiString Match = Params.Text.substr(0, Typed);
  SetBkMode(C->Handle(), OPAQUE);
  SetBkColor(C->Handle(), ColorToRGB(DBGridKsUnit.SearchMatchColor));
  SetTextColor(C->Handle(), ColorToRGB(DBGridKsUnit.SearchMatchTextColor));
  WinDrawTextExStr(C->Handle(), Match, static_cast<int>(Match.size()), R, Format, Margins);
}

void TCustomDBGridKs::DrawRequiredMark(TColumnKs* Column, const RECT& Cell,
                                       const AnsiString& Text) {
  if (!Column->HighlightRequired()) return;
  TDataSetState State = FDataLink->DataSet()->State();
  TField* Field = Column->GetField();
  bool Wanted = (State == dsEdit || State == dsInsert) && Field && Field->Required() &&
                Field->IsNull();
  if (Column->OnCheckDrawRequiredState) Column->OnCheckDrawRequiredState(this, Text, Wanted);
  if (!Wanted) return;
  TPen* Pen = Canvas()->Pen();
  TColor OldColor = Pen->Color();
  TPenStyle OldStyle = Pen->Style();
  Pen->SetColor(clRed);
  Pen->SetStyle(psDot);
  Canvas()->MoveTo(Cell.left + 2, Cell.bottom - 1);
  Canvas()->LineTo(Cell.right - 3, Cell.bottom - 1);
  Pen->SetStyle(OldStyle);
  Pen->SetColor(OldColor);
}

bool TCustomDBGridKs::DrawIndicatorCell(int ARow, const RECT& ARect, int DX) {
  TCanvas* C = Canvas();
  int DataRow = ARow - FTitleOffset;
  int AreaCol, AreaRow;
  int Kind = GetCellType(0, ARow, AreaCol, AreaRow);
  bool SeparatorRow = Kind >> 8 == ::SeparatorRow;
  TColor Background = SeparatorRow && !FOptionsKs.Contains(dghFrozen3D) ? Color() : FixedColor();
  if (!FDataLink->Active()) {
    C->Brush()->SetColor(Background);
    C->FillRect(ARect);
    return false;
  }
  bool Selected = FSelection->SelectionType() == gstAll;
  bool DataRowCell = DataRow < FDataLink->RecordCount();
  if (!Selected && DataRowCell) Selected = RowInSelection(DataRow);
  if (Selected)
    GetStyleCellColors(0, ARow, AreaCol, AreaRow, Kind, {gdFixed}, true, Background, C->Font());
  C->Brush()->SetColor(Background);
  C->FillRect(ARect);
  if (!DataRowCell || !IsActiveRow(ARow)) return Selected;
  // Only the current row gets a picture: browsing shows where one stands,
  // editing and inserting what happens to the record.
  TDataSetState State = FDataLink->DataSet()->State();
  enum { Arrow = 0, Edit = 1, Insert = 2, WhiteArrow = 5, SearchArrow = 6 };
  int Image = State == dsEdit ? Edit : State == dsInsert ? Insert : Arrow;
  if (State == dsBrowse && Selected) Image = WhiteArrow;
  if (State == dsBrowse && !Selected && InIncSearch) Image = SearchArrow;
  TImageList* Images = DBGridKsUnit.IndicatorImages;
  Images->Draw(C, ARect.right - Images->Width() - DX,
               (ARect.top + ARect.bottom - Images->Height()) / 2, Image);
  return Selected;
}

bool TCustomDBGridKs::DrawFillerCell(int ACol, int ARow, const RECT& Cell,
                                     TGridDrawState AState) {
  int AreaCol, AreaRow;
  int Kind = GetCellType(ACol, ARow, AreaCol, AreaRow);
  bool Highlighted = CellInSelection(ACol, ARow, RawToDataColumn(ACol), "");
  TColor Background = AState.Contains(gdFixed) ? FixedColor() : Color();
  GetStyleCellColors(ACol, ARow, AreaCol, AreaRow, Kind, AState, Highlighted, Background,
                     Canvas()->Font());
  Canvas()->Brush()->SetColor(Background);
  Canvas()->FillRect(Cell);
  return Highlighted;
}

// With footers one separator row stands between the data and them.
TGridRect TCustomDBGridKs::GetDataRect() {
  return TGridRect{FIndicatorOffset, FTitleOffset, ColCount() - 1,
                   FFooterRowCount >= 1 ? RowCount() - FFooterRowCount - 2 : RowCount()};
}

int TCustomDBGridKs::GetCellType(int ACol, int ARow, int& AreaCol, int& AreaRow) {
  int ColumnArea = ACol < FIndicatorOffset ? 0 : 1;
  AreaCol = ColumnArea == 0 ? ACol : ACol - FIndicatorOffset;
  int DataBottom = GetDataRect().Bottom;
  int TitleRowCount = FTitleOffset - ExtraTitleRowCount();
  int RowArea;
  if (ARow < 0) throw Exception("Algorithm error in TCustomDBGridKs.GetCellType");
  if (ARow < TitleRowCount) {
    RowArea = TitleRows, AreaRow = ARow;
  } else if (ARow < FTitleOffset) {
    RowArea = ExtraTitleRows, AreaRow = ARow - TitleRowCount;
  } else if (FFooterRowCount == 0 || ARow <= DataBottom) {
    RowArea = DataRows, AreaRow = ARow - FTitleOffset;
  } else if (ARow == DataBottom + 1) {
    RowArea = SeparatorRow, AreaRow = 0;
  } else {
    RowArea = FooterRows, AreaRow = ARow - (DataBottom + 1);
  }
  return ColumnArea | RowArea << 8;
}

bool TCustomDBGridKs::CellHas3DFrame(int ACol, int ARow, TGridDrawState State, const RECT&) {
  int AreaCol, AreaRow;
  int Kind = GetCellType(ACol, ARow, AreaCol, AreaRow);
  int ColumnArea = Kind & 0xFF, RowArea = Kind >> 8;
  bool Indicator = ColumnArea == 0, Separator = RowArea == SeparatorRow,
       Footer = RowArea == FooterRows;
  bool Footers = FFooterRowCount >= 1;
  const TDBGridKsOptions& O = FOptionsKs;
  bool Fixed = State.Contains(gdFixed);
  // A filter cell with its drop-down button lies flat.
  int DataCol = RawToDataColumn(ACol);
  if (IsFilterRow(ARow) && DataCol >= 0 && DataCol < FColumns->Count() &&
      FColumns->Items(DataCol)->STFilter()->Visible())
    return false;
  return (Fixed && O.Contains(dghFixed3D) && (Indicator || RowArea <= ExtraTitleRows) &&
          !(Indicator && Separator)) ||
         (O.Contains(dghFooter3D) && Footers && Footer) ||
         (O.Contains(dghData3D) && !Fixed && !Footer) ||
         (O.Contains(dghFixed3D) && (O.Contains(dghData3D) || O.Contains(dghFrozen3D)) &&
          Footers && Separator && Indicator) ||
         (O.Contains(dghFrozen3D) && Fixed && !Indicator && RowArea == DataRows);
}

void TCustomDBGridKs::Draw3DFrame(TCanvas* ACanvas, const RECT& Rect, bool Pressed,
                                  bool Highlighted, bool LeftSide, bool RightSide) {
  HDC DC = ACanvas->Handle();
  RECT R = Rect;
  UINT Edge = Highlighted || Pressed ? BDR_SUNKENINNER : BDR_RAISEDINNER;
  if (!FFlat) {
    if (LeftSide && RightSide) {
      DrawEdge(DC, &R, Edge, BF_RECT);
      return;
    }
    DrawEdge(DC, &R, Edge, BF_TOP | (LeftSide ? BF_LEFT : 0));
    DrawEdge(DC, &R, Edge, BF_BOTTOM | (RightSide ? BF_RIGHT : 0));
    return;
  }
  // Right to left the sides change places: drawn unmirrored where the cell
  // shows, the light edge stays on the left as the other edges have it.
  bool Mirrored = FPainting && BiDiMode() == bdRightToLeft;
  if (Mirrored) {
    R = MirroredRect(Rect);
    std::swap(LeftSide, RightSide);
    MirrorDC(DC, ClientWidth(), ClientHeight(), false);
  }
  // Flat: the cell's colour covers the bottom (and right) line; only the
  // top edge shows.
  TPen* Pen = ACanvas->Pen();
  TColor OldColor = Pen->Color();
  Pen->SetColor(ACanvas->Brush()->Color());
  ACanvas->MoveTo(R.left, R.bottom - 1);
  ACanvas->LineTo(R.right, R.bottom - 1);
  if (RightSide) {
    ACanvas->MoveTo(R.right - 1, R.top);
    ACanvas->LineTo(R.right - 1, R.bottom);
  }
  Pen->SetColor(OldColor);
  DrawEdge(DC, &R, Edge, BF_TOP | (LeftSide ? BF_LEFT : 0));
  if (Mirrored) MirrorDC(DC, ClientWidth(), ClientHeight(), true);
}

bool TCustomDBGridKs::GetCellHighlight(int DataCol, int DataRow, const AnsiString&,
                                       TGridDrawState State, TColor& Background, TFont* AFont) {
  int ACol = DataToRawColumn(DataCol), ARow = DataRow + FTitleOffset;
  if (FStyle)
    return FStyle->GetDataCellHighlight(this, ACol, AFont, Background, State, DataRow, DataCol,
                                        ARow);
  bool Selected = FDataLink->Active() &&
                  FSelection->DataCellSelected(DataCol, FDataLink->DataSet()->GetBookmark());
  bool RowSelect = FOptions.Contains(dgRowSelect);
  bool CurrentRow = ARow == Row();
  bool HighlightFocus = false;
  if (!Selected) {
    HighlightFocus = GridOrEditorFocused() && FOptionsKs.Contains(dghHighlightFocus);
    if (FOptionsKs.Contains(dghRowHighlight) && CurrentRow &&
        FSelection->SelectionType() == gstNon && ACol != Col()) {
      HighlightFocus = true;
      State.Include(gdSelected);
    }
    Selected = (State.Contains(gdSelected) || (CurrentRow && RowSelect)) &&
               (FOptions.Contains(dgAlwaysShowSelection) || HighlightFocus) &&
               (!EditorMode() || RowSelect);
  }
  if (!Selected) return false;
  if (GridOrEditorFocused()) {
    Background = clHighlight;
    AFont->SetColor(clHighlightText);
  } else if (CurrentRow && (ACol == Col() || RowSelect) &&
             (FOptions.Contains(dgAlwaysShowSelection) || HighlightFocus)) {
    Background = clBtnShadow;
    AFont->SetColor(clHighlightText);
  } else {
    Background = clBtnFace;
  }
  return true;
}

bool TCustomDBGridKs::GetStyleCellColors(int, int, int, int, int CellKind, TGridDrawState,
                                         bool Highlight, TColor& Background, TFont* AFont) {
  if (FStyle) return FStyle->GetFixedCellHighlight(this, AFont, Background, Highlight, CellKind);
  if (!Highlight) return false;
  int ColArea = CellKind & 0xFF, RowArea = CellKind >> 8;
  if ((ColArea == 0 && RowArea != SeparatorRow) || (ColArea == 1 && RowArea <= ExtraTitleRows)) {
    Background = static_cast<TColor>(RGB(64, 64, 64));
    AFont->SetColor(clWhite);
  } else if (GridOrEditorFocused()) {
    Background = clHighlight;
    AFont->SetColor(clHighlightText);
  } else {
    Background = clBtnFace;
  }
  return true;
}

void TCustomDBGridKs::GetCellParams(TColumnKs* Column, TFont* AFont, TColor& Background,
                                    TGridDrawState State) {
  if (OnGetCellParams) OnGetCellParams(this, Column, AFont, Background, State);
}

void TCustomDBGridKs::DrawColumnCell(const RECT& Rect, int DataCol, TColumnKs* Column,
                                     TGridDrawState State) {
  if (OnDrawColumnCell) OnDrawColumnCell(this, Rect, DataCol, Column, State);
}

void TCustomDBGridKs::DrawDataCell(const RECT& Rect, TField* Field, TGridDrawState State) {
  if (OnDrawDataCell) OnDrawDataCell(this, Rect, Field, State);
}

void TCustomDBGridKs::FillCellParams(TColumnKs* Column, TColCellParamsKs* Params,
                                     TGridDrawState State) {
  int Col = Params->Col, Row = Params->Row;
  Column->FillColCellParams(Params);
  Params->Col = Col;
  Params->Row = Row;
  Params->State = (State.Contains(gdSelected) ? 1 : 0) | (State.Contains(gdFocused) ? 2 : 0) |
                  (State.Contains(gdFixed) ? 4 : 0);
  Params->Font = Canvas()->Font();
  GetCellParams(Column, Params->Font, Params->Background, State);
  Column->GetColCellParams(false, Params);
}

// The record above is read through the link and the active record comes
// back on every path: a handler that raises must not leave the dataset on
// the other row, where the next edit would land.
bool TCustomDBGridKs::SameAsPriorRecord(TColumnKs* Column, const AnsiString& Text,
                                        TGridDrawState State) {
  int Active = FDataLink->ActiveRecord();
  if (Active == 0 || FMemTableIntf) return false;
  TActiveRecordScope Prior(FDataLink.get(), Active - 1);
  TColCellParamsKs* Params = DBGridKsUnit.CellParams;
  FillCellParams(Column, Params, State);
  return Params->Text == Text;
}
