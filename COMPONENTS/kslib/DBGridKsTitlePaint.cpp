// The grid's cells above and below the data: column titles with their sort
// markers, images and pressed look, the parent levels of multi-level titles,
// the extra title rows and the footers.
#include <algorithm>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsCellText.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "SDataSource.h"

bool TCustomDBGridKs::DrawTitleCell(TColumnKs* Column, int ACol, const RECT& Cell, int DX,
                                    int DY, TGridDrawState AState, bool& Pressed) {
  TCanvas* C = Canvas();
  TColumnTitleKs* Title = Column->Title();
  int DataCol = RawToDataColumn(ACol);
  C->Font()->Assign(Title->Font());
  TColor Background = Title->Color();
  Pressed = TrackedTitleCol == ACol && TitleButtonDown;
  RECT TextRect = Cell;
  AnsiString Caption = Title->Caption();
  if (FUseMultiTitle) {
    THeadTreeNode* Leaf = FLeafNodes[DataCol];
    Caption = Leaf->Text;
    TextRect.top = TextRect.bottom - Leaf->Height + 3;
  }
  // The leaf's own part; the parents' captions stand above it.
  int CaptionTop = TextRect.top;
  bool TitleImage = FTitleImages && Title->ImageIndex() != -1;
  int ImageWidth = TitleImage ? FTitleImages->Width() : 0;
  if (TitleImage) Caption.clear();
  TSortMarkerKs Marker = Title->SortMarker();
  if (Column->GetField() && OnGetBtnParams)
    OnGetBtnParams(this, Column, C->Font(), Background, Marker, Pressed);
  bool Wrapped = FUseMultiTitle || TitleSizeSet();
  int Offset = Pressed ? (Wrapped ? 2 : 1) : 0;
  bool DrawMarker = false, DrawIndex = false;
  int IndexWidth = 0;
  if (Marker != smNoneKs) {
    // The same room as the column's width fitting keeps.
    TextRect.right -= Title->SortMarkerReserve(Column->Width() - 4 - ImageWidth, DrawMarker,
                                               DrawIndex);
    if (DrawIndex) IndexWidth = Title->SortIndexWidth();
  }
  C->Font()->Assign(Title->Font());
  if (Column->GetField() && OnGetBtnParams)
    OnGetBtnParams(this, Column, C->Font(), Background, Marker, Pressed);
  int AreaCol, AreaRow;
  int Kind = GetCellType(ACol, 0, AreaCol, AreaRow);
  bool Highlighted = CellInSelection(ACol, 0, DataCol, "");
  GetStyleCellColors(ACol, 0, AreaCol, AreaRow, Kind, AState, Highlighted, Background, C->Font());
  C->Brush()->SetColor(Background);
  C->FillRect(Cell);
  if (Title->Orientation() == tohVertical) {
    WriteRotatedText(C, TextRect, FUseMultiTitle, DX, DY + 2, Caption,
                     FUseMultiTitle ? taCenter : Title->Alignment(), tlBottom,
                     Title->EndEllipsis(), false);
  } else if (Wrapped) {
    TextRect.top += Offset;
    WriteCellTextEx(TextRect, true, DX, DY, Caption,
                    FUseMultiTitle ? taCenter : Title->Alignment(), tlCenter, true,
                    Title->EndEllipsis(), Offset, -Offset);
  } else {
    OffsetRect(&TextRect, Offset, Offset);
    WriteCellTextEx(TextRect, true, DX, DY, Caption, Title->Alignment(), tlTop, false,
                    Title->EndEllipsis(), 0, 0);
  }
  if (TitleImage)
    DrawImageInCell(FTitleImages, nullptr, C, TextRect, Title->ImageIndex(), Offset,
                    FUseMultiTitle ? taCenter : Title->Alignment());
  if (Marker != smNoneKs) {
    TImageList* Images = DBGridKsUnit.SortMarkerImages;
    int X = Cell.right - Images->Width() - 2 - IndexWidth + Offset;
    int Y = (CaptionTop + Cell.bottom - Images->Height()) / 2 + Offset;
    if (DrawMarker) Images->Draw(C, X, Y, Marker == smDownKs ? 0 : 1);
    if (DrawIndex) {
      C->Font()->Assign(DBGridKsUnit.SmallTitleFont);
      if (Highlighted) C->Font()->SetColor(clWhite);
      C->TextOut(Cell.right - IndexWidth - 2 + Offset, Y - 1, std::to_string(Title->SortIndex()));
    }
  }
  C->Font()->Assign(&FTitleFont);
  if (Highlighted) C->Font()->SetColor(clWhite);
  return Highlighted;
}

// Each title cell paints its own slice of every caption above it: the
// caption is laid out over the parent's whole box and clipped to the cell.
void TCustomDBGridKs::DrawTitleTreeNode(THeadTreeNode* Node, int NodeLeft, int NodeTop,
                                        const RECT& Cell, int DY, TGridDrawState AState) {
  TCanvas* C = Canvas();
  THeadTreeNode* Parent = Node->Host;
  int ColLine = FOptions.Contains(dgColLines) ? 1 : 0;
  int RowLine = FOptions.Contains(dgRowLines) ? 1 : 0;
  RECT Box;
  Box.left = NodeLeft;
  for (THeadTreeNode* Sibling : Parent->Children()) {
    if (Sibling == Node) break;
    Box.left -= Sibling->Width + ColLine;
  }
  Box.right = Box.left + Parent->Width;
  Box.bottom = NodeTop - RowLine;
  Box.top = Box.bottom - Parent->Height;
  RECT R{Cell.left, Box.top, Cell.right, Box.bottom};
  int LeftOver = Box.left - Cell.left, RightOver = Cell.right - Box.right;
  bool LastColumn = Cell.right >= ClientWidth();
  if (RightOver != 0 && !LastColumn) ++R.right;
  bool Fixed3D = AState.Contains(gdFixed) && FOptionsKs.Contains(dghFixed3D);
  // The frame takes the box's whole height, over the column line too: the
  // line between two of the group's columns shows nowhere in its caption.
  RECT Slice = R;
  if (Fixed3D) InflateRect(&R, 0, -1);
  constexpr int EdgeStrip = 2;
  if (LeftOver == 0) {
    C->FillRect(RECT{R.left, R.top, R.left + EdgeStrip, R.bottom});
    R.left += EdgeStrip;
  }
  if (RightOver == 0) {
    C->FillRect(RECT{R.right - EdgeStrip, R.top, R.right, R.bottom});
    R.right -= EdgeStrip;
  }
  // Margins that put the text over the whole box, less the edge strips.
  int LeftMarg = Box.left + EdgeStrip - R.left, RightMarg = R.right - (Box.right - EdgeStrip);
  bool EndEllipsis = Node->Column ? Node->Column->Title()->EndEllipsis() : false;
  WriteCellTextEx(R, true, 0, DY, Parent->Text, taCenter, tlCenter, true, EndEllipsis, LeftMarg,
                  RightMarg);
  Parent->Drawn = true;
  if (Fixed3D) Draw3DFrame(C, Slice, false, false, LeftOver == 0, RightOver == 0);
  if (RowLine) {
    TPen* Pen = C->Pen();
    TColor Old = Pen->Color();
    Pen->SetColor(FFlat ? clGray : clBlack);
    C->MoveTo(Cell.left, Box.bottom);
    C->LineTo(Slice.right, Box.bottom);
    Pen->SetColor(Old);
  }
  if (Parent->Host && Parent->Host != FHeadTree.get())
    DrawTitleTreeNode(Parent, Box.left, Box.top, Cell, DY, AState);
}

namespace {

// Each colour component c becomes c + c / 8, rounded, at most 255.
TColor Brightened(TColor Color) {
  COLORREF C = ColorToRGB(Color);
  auto Up = [](int V) { return std::min(255, V + (V + 4) / 8); };
  return static_cast<TColor>(RGB(Up(GetRValue(C)), Up(GetGValue(C)), Up(GetBValue(C))));
}

}  // namespace

void TCustomDBGridKs::DrawExtraTitleCell(int ACol, int ARow, bool& Highlighted,
                                         TGridDrawState State, const RECT& Rect, int CellKind,
                                         int AreaRow, int AreaCol) {
  TCanvas* C = Canvas();
  int DataCol = RawToDataColumn(ACol);
  TColumnKs* Column =
      DataCol >= 0 && DataCol < FColumns->Count() ? FColumns->Items(DataCol) : nullptr;
  if (Column && IsFilterRow(ARow)) {
    TSTColumnFilterKs* Filter = Column->STFilter();
    RECT TextRect = Rect;
    int ButtonWidth = FFlat ? FlatEditButtonWidth + 1 : GetSystemMetrics(SM_CXVSCROLL);
    if (Filter->Visible()) TextRect.right -= ButtonWidth;
    C->Font()->Assign(Font());
    C->Font()->SetColor(clBlue);
    TColor Background = Brightened(FixedColor());
    GetStyleCellColors(ACol, ARow, AreaCol, AreaRow, CellKind, State, Highlighted, Background,
                       C->Font());
    C->Brush()->SetColor(Background);
    if (!Filter->Visible()) {
      C->FillRect(Rect);
      return;
    }
    WriteCellTextEx(TextRect, true, 2, FFlat ? 1 : 2, Filter->GetExpressionAsString(),
                    Column->Alignment(), Column->Layout(), false, false, 0, 0);
    DrawCellButtons({TCellButton{ebsDropDownKs, nullptr, ButtonWidth}}, Rect, TextRect.right,
                    false, Background);
    return;
  }
  // Level rows: a data source without levels shows only their background.
  TColor Background = Column ? Column->Title()->Color() : FixedColor();
  GetStyleCellColors(ACol, ARow, AreaCol, AreaRow, CellKind, State, Highlighted, Background,
                     C->Font());
  C->Brush()->SetColor(Background);
  int Level = LevelOfRow(ARow);
  if (!Column || !Level || !dynamic_cast<TSDataSource*>(DataSource())) {
    C->FillRect(Rect);
    return;
  }
  WriteCellTextEx(Rect, true, 2, FFlat ? 1 : 2, LevelCellText(Level, Column), Column->Alignment(),
                  Column->Layout(), false, false, 0, 0);
}

bool TCustomDBGridKs::DrawFooterCell(TColumnKs* Column, int ACol, int ARow, const RECT& Cell,
                                     int DX, int DY, TGridDrawState AState) {
  TCanvas* C = Canvas();
  int AreaCol, AreaRow;
  int Kind = GetCellType(ACol, ARow, AreaCol, AreaRow);
  int FooterIndex = AreaRow - 1, DataCol = RawToDataColumn(ACol);
  TColumnFooterKs* Footer = Column->GetFooter(FooterIndex);
  C->Font()->Assign(Footer->Font());
  C->Brush()->SetColor(Footer->Color());
  bool Highlighted = false;
  if (FDefaultDrawing) {
    TColor Background = Footer->Color();
    TAlignment Alignment = Footer->Alignment();
    AnsiString Text;
    FooterValueText(FooterIndex, Column, Text);
    GetFooterParams(DataCol, FooterIndex, Column, C->Font(), Background, Alignment, AState, Text);
    Highlighted = CellInSelection(ACol, ARow, DataCol, "");
    GetStyleCellColors(ACol, ARow, AreaCol, AreaRow, Kind, AState, Highlighted, Background,
                       C->Font());
    C->Brush()->SetColor(Background);
    const bool MultiLine = Footer->WordWrap() && FRowsTallerThanText;
    if (FillsNumberWithHashes(Column, FooterIndex, MultiLine))
      Text = FitNumberText(Text, C, Cell.right - Cell.left - DX - 3);
    WriteCellTextEx(Cell, true, DX, DY, Text, Alignment, Column->Layout(), MultiLine,
                    Footer->EndEllipsis(), 0, 0);
  }
  if (OnDrawFooterCell) {
    RECT R = Cell;
    OnDrawFooterCell(this, DataCol, FooterIndex, Column, R, AState);
  }
  return Highlighted;
}

void TCustomDBGridKs::GetFooterParams(int DataCol, int FooterIndex, TColumnKs* Column,
                                      TFont* AFont, TColor& Background, TAlignment& Alignment,
                                      TGridDrawState State, AnsiString& Text) {
  if (OnGetFooterParams)
    OnGetFooterParams(this, DataCol, FooterIndex, Column, AFont, Background, Alignment, State,
                      Text);
}

namespace {

// A sum or average by its field's type, or in the footer's format.
// What a footer shows for a sum or count beyond the fixed-point range.
constexpr const char* SumOverflowMark = "###";

AnsiString SumText(TField* Field, int64_t Scaled, const AnsiString& Format) {
  Currency Value = Currency::FromScaled(Scaled);
  if (!Format.empty()) return FormatCurr(Format, Value);
  switch (Field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
      return IntToStr(Scaled / 10000);
    case ftFloat:
    case ftCurrency:
      return FloatToStr(Value.ToDouble());
    case ftBCD:
      return CurrToStr(Value);
    default:
      return "";
  }
}

}  // namespace

void TCustomDBGridKs::FooterValueText(int FooterIndex, TColumnKs* Column, AnsiString& Text) {
  TColumnFooterKs* Footer = Column->GetFooter(FooterIndex);
  const AnsiString& Format = Footer->DisplayFormat();
  TDataSet* Data = FDataLink->DataSet();
  Text.clear();
  switch (Footer->ValueType()) {
    case fvtSum:
    case fvtAvg: {
      AnsiString FieldName = Footer->FieldName().empty() ? Column->FieldName()
                                                         : Footer->FieldName();
      TDBSum* Sum = FSumList->SumCollection()->FindSum(
          Footer->ValueType() == fvtSum ? goSum : goAvg, FieldName);
      TField* Field = Data ? Data->FindField(FieldName) : nullptr;
      // An overflowed sum is no number: its mark, never a wrong one.
      Text = Sum && Sum->Overflow ? AnsiString(SumOverflowMark)
             : Sum && Field       ? SumText(Field, Sum->SumValue, Format)
                                  : AnsiString("0");
      return;
    }
    case fvtCount: {
      TDBSum* Sum = FSumList->SumCollection()->FindSum(goCount, "");
      if (Sum && Sum->Overflow) {
        Text = SumOverflowMark;
        return;
      }
      double Count = Sum ? Currency::FromScaled(Sum->SumValue).ToDouble() : 0;
      Text = Format.empty() ? FloatToStr(Count) : FormatFloat(Format, Count);
      return;
    }
    case fvtFieldValue:
      if (Data && Data->Active() && !Footer->FieldName().empty())
        if (TField* Field = Data->FindField(Footer->FieldName()))
          Text = FormatFieldText(Field, Column->DisplayFormat());
      return;
    case fvtStaticText:
      Text = Footer->Value();
      return;
    case fvtNon:
      return;
  }
}
