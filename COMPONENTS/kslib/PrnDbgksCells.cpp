#include "COMPONENTS/kslib/PrnDbgksCells.h"

#include <algorithm>

#include "COMPONENTS/kslib/DBGridKsCellText.h"
#include "COMPONENTS/kslib/DBGridKsFooters.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "COMPONENTS/kslib/WinWrapKs.h"
#include "forms/Forms.h"

#include <commctrl.h>

namespace {

constexpr UINT AlignmentFormats[] = {DT_LEFT, DT_RIGHT, DT_CENTER};

// A quarter of the width and a third of the height of the system's check
// box bitmap, which holds the states side by side.
SIZE SystemCheckBoxSize() {
  static const SIZE Size = [] {
    SIZE S{13, 13};
    if (HBITMAP Bitmap = LoadBitmapA(nullptr, MAKEINTRESOURCEA(32759))) {  // OBM_CHECKBOXES
      BITMAP Info{};
      GetObjectA(Bitmap, sizeof Info, &Info);
      S = {Info.bmWidth / 4, Info.bmHeight / 3};
      DeleteObject(Bitmap);
    }
    return S;
  }();
  return Size;
}

TColumnFooterKs* FooterOf(TColumnKs* Column, int FooterRow) { return Column->GetFooter(FooterRow); }

// Empty texts and line breaks or tabs measure otherwise.
bool IsOneLine(const AnsiString& Text) {
  return !Text.empty() &&
         std::none_of(Text.begin(), Text.end(), [](char C) { return uint8_t(C) < ' '; });
}

}  // namespace

int PrintText(TCanvas* Canvas, const TPrintTextKs& T) {
  RECT R = T.Rect;
  if (T.MeasureOnly) {
    InflateRect(&R, -T.DX, -T.DY);
    UINT Format = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (T.WordWrap ? DT_WORDBREAK : 0) |
                  (T.RightToLeftReading ? DT_RTLREADING : 0) | AlignmentFormats[T.Alignment];
    Canvas->Prepare(true, false, false);
    WinDrawTextExStrNoParams(Canvas->Handle(), T.Text, static_cast<int>(T.Text.size()), R, Format);
    TEXTMETRICA Metrics{};
    GetTextMetricsA(Canvas->Handle(), &Metrics);
    return R.bottom - R.top + Metrics.tmExternalLeading + 2 * T.DY;
  }
  if (T.Fill) Canvas->FillRect(R);
  // The cell routine selects the font itself; the text draws transparent,
  // so the brush is not selected for it: each selection is a record of the
  // page's metafile.
  const int OldMode = SetBkMode(Canvas->Handle(), TRANSPARENT);
  DrawCellTextEx(Canvas, R, T.DX, T.DY, T.Text, T.Alignment, T.Layout, T.WordWrap, T.EndEllipsis,
                 T.LeftMarg, T.RightMarg, T.RightToLeftReading);
  SetBkMode(Canvas->Handle(), OldMode);
  return 0;
}

void AssignPrintFont(TFont* Target, TFont* Source, const AnsiString& FaceName) {
  Target->Assign(Source);
  if (!FaceName.empty()) Target->SetName(FaceName);
}

std::vector<TColumnKs*> PrintedColumns(TCustomDBGridKs* Grid) {
  TDBGridKsSelection* Selection = Grid->Selection();
  const TColumnsKsList& Visible = Grid->VisibleColumns();
  switch (Selection->SelectionType()) {
    case gstRectangle: {
      // The rectangle counts the grid's columns, hidden ones too.
      std::vector<TColumnKs*> Columns;
      TDBGridColumnsKs* All = Grid->Columns();
      const int Last = std::min(Selection->Rect()->GetRightCol(), All->Count() - 1);
      for (int I = std::max(Selection->Rect()->GetLeftCol(), 0); I <= Last; ++I)
        if (All->Items(I)->Visible()) Columns.push_back(All->Items(I));
      return Columns;
    }
    case gstColumns:
      return {Selection->Columns()->begin(), Selection->Columns()->end()};
    default:
      return {Visible.begin(), Visible.end()};
  }
}

TPrintCellsKs::TPrintCellsKs(TCustomDBGridKs* Grid, TColCellParamsKs* CellParams)
    : FGrid(Grid), FCellParams(CellParams) {}

void TPrintCellsKs::MeasureTitles() {
  const TPrintMetricsKs& M = Metrics;
  int Height = 0;
  TFont* Tallest = FGrid->TitleFont();
  for (TColumnKs* Column : Columns) {
    AssignPrintFont(Canvas->Font(), Column->Title()->Font(), PrintFontName);
    int Wg = Canvas->TextHeight("Wg");
    if (Wg > Height) Tallest = Column->Title()->Font();
    Height = std::max(Height, Wg);
  }
  if (Columns.empty()) {
    AssignPrintFont(Canvas->Font(), FGrid->TitleFont(), PrintFontName);
    Height = Canvas->TextHeight("Wg");
  }
  FTitlesHeight = Height + 2 * M.PadY;
  if (FGrid->TitleSizeSet()) {
    // The grid's set lines of the tallest title font and its set pixels.
    AssignPrintFont(Canvas->Font(), Tallest, PrintFontName);
    TEXTMETRICA Text{};
    Canvas->Prepare(true, false, false);
    GetTextMetricsA(Canvas->Handle(), &Text);
    FTitlesHeight = FGrid->TitleLines() * Text.tmHeight + Text.tmExternalLeading + M.PadY +
                    RoundHalfEven(FGrid->TitleHeight() * M.ScaleY) +
                    (FGrid->Options().Contains(dgRowLines) ? M.HalfPadY : 0);
  }
  if (MultiTitle()) {
    FTitlesHeight = FTitleTree.Layout(
        FGrid->HeadTree(), Columns, PageColWidths, [this, &M](THeadTreeNode* Node, int Width) {
          AssignPrintFont(Canvas->Font(), Node->Column ? Node->Column->Title()->Font() : FGrid->TitleFont(),
                          PrintFontName);
          TPrintTextKs T;
          T.Rect = {0, 0, Width - RoundHalfEven(4 * M.ScaleX), 0};
          T.Text = Node->Text.empty() ? AnsiString(" ") : Node->Text;
          T.MeasureOnly = T.WordWrap = true;
          T.Alignment = taCenter;
          return PrintText(Canvas, T) + RoundHalfEven(FGrid->VTitleMargin() * M.ScaleY);
        });
  }

  FTitleTextHeight = 0;
  if (TitleText && TitleText->Count() > 0) {
    int Width = 0;
    for (int W : PageColWidths) Width += W;
    AssignPrintFont(Canvas->Font(), FGrid->TitleFont(), PrintFontName);
    TPrintTextKs T;
    T.Rect = {0, 0, Width, 0};
    T.Text = TitleText->Text().substr(0, TitleText->Text().size() - 2);
    T.MeasureOnly = T.WordWrap = true;
    T.Alignment = taCenter;
    T.DX = M.PadX;
    T.DY = FGrid->UseMultiTitle() ? RoundHalfEven(FGrid->VTitleMargin() * M.ScaleY / 2) : M.PadY;
    FTitleTextHeight = PrintText(Canvas, T);
  }
}

void TPrintCellsKs::ClearTotals() {
  FFooterTotals.assign(FGrid->FooterRowCount(), std::vector<TPrintTotalKs>(Columns.size()));
  FLastTexts.clear();
}

int TPrintCellsKs::TextWidth(const AnsiString& Text) {
  RECT R{0, 0, 0, 0};
  Canvas->Prepare(true, false, false);
  WinDrawTextExStrNoParams(Canvas->Handle(), Text, static_cast<int>(Text.size()), R,
                           DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  return R.right - R.left;
}

std::vector<int> TPrintCellsKs::OptimalWidths(TPrintRowSequenceKs& Rows) {
  const TPrintMetricsKs& M = Metrics;
  std::vector<int> Widths(Columns.size(), 10);
  auto Widen = [&](size_t Col, int Width) { Widths[Col] = std::max(Widths[Col], Width + 2 * M.PadX); };
  for (size_t Col = 0; Col < Columns.size(); ++Col) {
    TColumnTitleKs* Title = Columns[Col]->Title();
    if (FGrid->TitleImages() && Title->ImageIndex() != -1) {
      Widen(Col, RoundHalfEven(FGrid->TitleImages()->Width() * M.ScaleX));
      continue;
    }
    AnsiString Caption = Title->Caption();
    // A multi-level title's column holds only its last part.
    const size_t Bar = Caption.rfind('|');
    if (FGrid->UseMultiTitle() && Bar != AnsiString::npos && Bar + 1 < Caption.size())
      Caption = Caption.substr(Bar + 1);
    AssignPrintFont(Canvas->Font(), Title->Font(), PrintFontName);
    Widen(Col, TextWidth(Caption));
  }
  for (TPrintRowKs Row = Rows.First(); !Row.End; Row = Rows.Next()) {
    if (!Row.Footer) AddToTotals(Row);
    for (size_t Col = 0; Col < Columns.size(); ++Col) {
      TColumnKs* Column = Columns[Col];
      if (Row.Footer) {
        TColumnFooterKs* Footer = FooterOf(Column, StrToInt(Row.Key));
        AssignPrintFont(Canvas->Font(), Footer->Font(), PrintFontName);
        Widen(Col, TextWidth(FooterText(Footer, StrToInt(Row.Key), int(Col))));
      } else if (Column->GetColumnType() == 5) {
        Widen(Col, RoundHalfEven(SystemCheckBoxSize().cx * M.ScaleX));
      } else {
        AssignPrintFont(Canvas->Font(), Column->Font(), PrintFontName);
        const int Indent = Col == 0 ? FGrid->TreeIndentWidth() : 0;
        Widen(Col, TextWidth(CellParams(Column).Text) +
                       (Indent > 0 ? RoundHalfEven(Indent * M.ScaleX + M.ScaleX) : 0));
      }
    }
  }
  return Widths;
}

TField* TPrintCellsKs::FooterField(TColumnFooterKs* Footer, TColumnKs* Column) {
  if (Footer->FieldName().empty()) return Column->GetField();
  TDataSet* DataSet = FGrid->DataSource()->DataSet();
  return DataSet ? DataSet->FindField(Footer->FieldName()) : nullptr;
}

void TPrintCellsKs::AddToTotals(const TPrintRowKs&) {
  for (size_t Row = 0; Row < FFooterTotals.size(); ++Row)
    for (size_t Col = 0; Col < Columns.size(); ++Col) {
      TColumnFooterKs* Footer = FooterOf(Columns[Col], int(Row));
      if (Footer->ValueType() == fvtCount) {
        FFooterTotals[Row][Col].Add(1);
      } else if (Footer->ValueType() == fvtSum) {
        TField* Field = FooterField(Footer, Columns[Col]);
        if (Field && !Field->IsNull()) FFooterTotals[Row][Col].Add(Field->Value());
      }
    }
}

int TPrintCellsKs::MeasureRow(const TPrintRowKs& Row) {
  int Height = 0;
  for (size_t Col = 0; Col < Columns.size(); ++Col) {
    const RECT Cell{0, 0, PageColWidths[Col], 0};
    Height = std::max(Height, Row.Footer ? FooterCell(StrToInt(Row.Key), int(Col), Cell, true)
                                         : DataCell(int(Col), Cell, false, true));
  }
  return Height;
}

void TPrintCellsKs::NewPage() {
  if (OnNewPage) OnNewPage();
}

void TPrintCellsKs::FillCell(const RECT& Cell) {
  if (Counting || ColorToRGB(Canvas->Brush()->Color()) == RGB(255, 255, 255)) return;
  // White cells stay unpainted: nothing covers what the page has there.
  const TColor Pen = Canvas->Pen()->Color();
  Canvas->Pen()->SetColor(Canvas->Brush()->Color());
  Canvas->Rectangle(Cell.left, Cell.top, Cell.right, Cell.bottom);
  Canvas->Pen()->SetColor(Pen);
}

void TPrintCellsKs::DrawCheckBox(const RECT& TextRect, TCheckBoxState State) {
  const SIZE Box = SystemCheckBoxSize();
  const int Width = int(Box.cx * Metrics.ScaleX), Height = int(Box.cy * Metrics.ScaleY);
  RECT R;
  R.left = TextRect.left + std::max(0, int(TextRect.right - TextRect.left - Width) / 2);
  R.top = TextRect.top + std::max(0, int(TextRect.bottom - TextRect.top - Height) / 2);
  R.right = R.left + Width;
  R.bottom = R.top + Height;
  const UINT States[] = {0, DFCS_CHECKED, DFCS_CHECKED | DFCS_BUTTON3STATE};
  Canvas->Prepare(false, true, true);
  DrawFrameControl(Canvas->Handle(), &R, DFC_BUTTON, DFCS_BUTTONCHECK | States[State]);
}

TColCellParamsKs& TPrintCellsKs::CellParams(TColumnKs* Column) {
  TColor Background = Options.Contains(pghColored) ? Column->Color() : clWhite;
  TColCellParamsKs* P = FCellParams;
  Column->FillColCellParams(P);
  P->Font = Canvas->Font();
  if (!Options.Contains(pghDontAskGetCellParams) && FGrid->OnGetCellParams)
    FGrid->OnGetCellParams(FGrid, Column, P->Font, Background, TGridDrawState());
  P->Background = Background;
  Column->GetColCellParams(false, P);
  return *P;
}

int TPrintCellsKs::DataCell(int Col, const RECT& Cell, bool FirstOfBand, bool MeasureOnly) {
  TColumnKs* Column = Columns[Col];
  AssignPrintFont(Canvas->Font(), Column->Font(), PrintFontName);
  TColCellParamsKs* P = &CellParams(Column);
  Canvas->Brush()->SetColor(P->Background);

  if (!MeasureOnly && Column->HideDuplicates()) {
    auto Last = FLastTexts.find(Column);
    const bool Repeats = !FirstOfBand && Last != FLastTexts.end() && Last->second == P->Text;
    FLastTexts[Column] = P->Text;
    if (Repeats) P->Text.clear();
  }
  if (!MeasureOnly) FillCell(Cell);

  const TPrintMetricsKs& M = Metrics;
  RECT TextCell = Cell;
  // The first column of a tree shows the record's place in it.
  if (const int Indent = Col == 0 ? FGrid->TreeIndentWidth() : 0; Indent > 0) {
    if (!MeasureOnly && !Counting) DrawTreeLines(Cell);
    TextCell.left += int(Indent * M.ScaleX);
  }
  if (Column->GetColumnType() == 5) {
    if (!MeasureOnly && !Counting)
      DrawCheckBox({Cell.left + M.PadX, Cell.top + M.PadY, Cell.right - M.PadX,
                    Cell.bottom - M.PadY},
                   P->CheckboxState);
    return int(SystemCheckBoxSize().cy * M.ScaleY) + 2 * M.PadY;
  }
  int ImageHeight = 0;
  TImageList* Images = Column->ImageList();
  if (Images && (Column->GetColumnType() == 4 || Column->ShowImageAndText())) {
    // The image in a box of its printed width at the left, the text after it.
    const SIZE Size{LONG(Images->Width() * M.ScaleX), LONG(Images->Height() * M.ScaleY)};
    RECT Box{Cell.left + M.PadX, Cell.top, Cell.left + M.PadX + Size.cx, Cell.bottom};
    if (Column->GetColumnType() == 4) Box = {Cell.left, Cell.top, Cell.right, Cell.bottom};
    if (!MeasureOnly && !Counting) DrawImage(Images, P->ImageIndex, Box, Size, Cell, P->Background);
    ImageHeight = Size.cy;
    if (Column->GetColumnType() == 4) return ImageHeight;
    TextCell.left = Box.right;
  }
  TPrintTextKs T;
  T.Rect = TextCell;
  T.Text = P->Text;
  T.MeasureOnly = MeasureOnly;
  T.WordWrap = MeasureOnly ? Options.Contains(pghRowAutoStretch) : MultiLineRows;
  T.EndEllipsis = Column->EndEllipsis();
  T.Layout = Column->Layout();
  T.Alignment = P->Alignment;
  T.DX = M.PadX;
  T.DY = M.PadY;
  T.RightToLeftReading = FGrid->BiDiMode() == bdRightToLeft;
  if (MeasureOnly && !T.WordWrap && IsOneLine(T.Text))
    return std::max(OneLineHeight(T), ImageHeight);
  if (!MeasureOnly) FitNumber(T, FGrid->FillsNumberWithHashes(Column, -1, T.WordWrap));
  return std::max(PrintText(Canvas, T), ImageHeight);
}

// Unwrapped, a line of text measures the font's line height whatever it
// says; measuring it is a trip to the system per cell, so it is measured
// once per font and canvas. Fonts are told apart by what makes them, not by
// handle: cells switching fonts free handles whose values come back.
int TPrintCellsKs::OneLineHeight(const TPrintTextKs& T) {
  HDC DC = Canvas->Handle();
  if (DC != FLineHeightsDC) {
    FLineHeights.clear();
    FLineHeightsDC = DC;
  }
  const TFont* F = Canvas->Font();
  for (const TLineHeightKs& Known : FLineHeights)
    if (Known.Name == F->Name() && Known.Height == F->Height() && Known.Style == F->Style() &&
        Known.Charset == F->Charset())
      return Known.Value;
  FLineHeights.push_back({F->Name(), F->Height(), F->Style(), F->Charset(), PrintText(Canvas, T)});
  return FLineHeights.back().Value;
}

void TPrintCellsKs::DrawTreeLines(const RECT& Cell) {
  const int Step = RoundHalfEven(18 * Metrics.ScaleX);
  const std::vector<int> Kinds = FGrid->TreeLineKinds();
  for (size_t Level = 0; Level < Kinds.size(); ++Level) {
    const int Left = Cell.left + int(Level) * Step;
    if (Kinds[Level] >= 0)
      DrawTreeLineElement(Canvas, {Left, Cell.top, Left + Step, Cell.bottom}, Kinds[Level],
                          Metrics.ScaleX, Metrics.ScaleY, false);
  }
}

void TPrintCellsKs::DrawImage(TImageList* Images, int Index, const RECT& Box, SIZE Size,
                              const RECT& Cell, TColor Background) {
  if (Index < 0 || Index >= Images->Count()) return;
  // The image on the cell's colour, as a device-independent bitmap.
  const int W = Images->Width(), H = Images->Height();
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof Info.bmiHeader;
  Info.bmiHeader.biWidth = W;
  Info.bmiHeader.biHeight = H;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 24;
  void* Bits = nullptr;
  TGdiHandle<HBITMAP> Bitmap(CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
  if (!Bitmap) return;
  HDC Memory = CreateCompatibleDC(nullptr);
  {
    TSelectObject Selected(Memory, Bitmap.Get());
    TGdiHandle<HBRUSH> Brush(CreateSolidBrush(ColorToRGB(Background)));
    const RECT All{0, 0, W, H};
    FillRect(Memory, &All, Brush.Get());
    ImageList_Draw(Images->Handle(), Index, Memory, 0, 0, ILD_NORMAL);
    GdiFlush();
  }
  DeleteDC(Memory);
  HDC DC = Canvas->Handle();
  const int Saved = SaveDC(DC);
  IntersectClipRect(DC, Cell.left, Cell.top, Cell.right, Cell.bottom);
  const int X = Box.left + (Box.right - Box.left - Size.cx) / 2;
  const int Y = Box.top + (Box.bottom - Box.top - Size.cy) / 2;
  StretchDIBits(DC, X, Y, Size.cx, Size.cy, 0, 0, W, H, Bits, &Info, DIB_RGB_COLORS, SRCCOPY);
  RestoreDC(DC, Saved);
}

AnsiString TPrintCellsKs::FooterText(TColumnFooterKs* Footer, int FooterRow, int Col) {
  switch (Footer->ValueType()) {
    case fvtSum:
    case fvtCount:
      return PrintedTotalText(Total(FooterRow, Col),
                              Footer->ValueType() == fvtSum ? ptkSum : ptkCount,
                              Footer->DisplayFormat(), FooterField(Footer, Columns[Col]));
    default: {
      AnsiString Text;
      FGrid->FooterValueText(FooterRow, Columns[Col], Text);
      return Text;
    }
  }
}

// A number cut at either end would read as another one: as on the screen,
// one that does not fit is "#" across the cell.
void TPrintCellsKs::FitNumber(TPrintTextKs& T, bool Hashes) {
  if (Hashes) T.Text = FitNumberText(T.Text, Canvas, T.Rect.right - T.Rect.left - 2 * T.DX);
}

int TPrintCellsKs::FooterCell(int FooterRow, int Col, const RECT& Cell, bool MeasureOnly) {
  TColumnFooterKs* Footer = FooterOf(Columns[Col], FooterRow);
  AssignPrintFont(Canvas->Font(), Footer->Font(), PrintFontName);
  Canvas->Brush()->SetColor(Options.Contains(pghColored) ? Footer->Color() : clWhite);
  if (!MeasureOnly) FillCell(Cell);
  TPrintTextKs T;
  T.Rect = Cell;
  T.Text = FooterText(Footer, FooterRow, Col);
  T.MeasureOnly = MeasureOnly;
  T.EndEllipsis = Footer->EndEllipsis();
  T.WordWrap = Footer->WordWrap();
  T.Alignment = Footer->Alignment();
  T.DX = Metrics.PadX;
  T.DY = Metrics.PadY;
  if (!MeasureOnly) FitNumber(T, FGrid->FillsNumberWithHashes(Columns[Col], FooterRow, T.WordWrap));
  return PrintText(Canvas, T);
}

void TPrintCellsKs::DrawCell(const TPrintRowKs& Row, int Column, const TPrintRectKs& Cell,
                             bool FirstOfBand) {
  const RECT R{Cell.Left, Cell.Top, Cell.Right, Cell.Bottom};
  if (Row.Footer)
    FooterCell(StrToInt(Row.Key), Column, R, Counting);
  else
    DataCell(Column, R, FirstOfBand, Counting);
  // A preview or print window may ask for an abort meanwhile. Each look
  // at the queue costs a trip to the system, so it is taken every 20 ms.
  if (Counting || GetTickCount() - FLastPump < 20) return;
  Application->ProcessMessages();
  FLastPump = GetTickCount();
}

RECT ToRect(const TPrintRectKs& R) { return {R.Left, R.Top, R.Right, R.Bottom}; }

RECT TPrintCellsKs::Mirrored(RECT R) const {
  if (!RightToLeft()) return R;
  const int Shift = Metrics.Left + Metrics.Right - (R.left + R.right);
  R.left += Shift;
  R.right += Shift;
  return R;
}

void TPrintCellsKs::AddBorders(const RECT& Cell) {
  FTitleLines.push_back({{Cell.left, Cell.bottom},
                         {Cell.left, Cell.top},
                         {Cell.right, Cell.top},
                         {Cell.right, Cell.bottom}});
}

void TPrintCellsKs::DrawTitleTree(int FirstColumn, int LastColumn, int RowsTop) {
  const bool Colored = Options.Contains(pghColored);
  for (const TPrintTitleCellKs& Title :
       FTitleTree.Cells(FirstColumn, LastColumn, Metrics.Left, RowsTop)) {
    const RECT Cell = Mirrored(ToRect(Title.Cell)), Visible = Mirrored(ToRect(Title.Visible));
    AddBorders(Visible);
    if (Counting) continue;
    TColumnKs* Column = Title.Node->Column;
    AssignPrintFont(Canvas->Font(), Column ? Column->Title()->Font() : FGrid->TitleFont(),
                    PrintFontName);
    Canvas->Brush()->SetColor(!Colored ? clWhite : Column ? Column->Title()->Color() : FGrid->FixedColor());
    if (Colored) Canvas->FillRect(Visible);
    // Centred over the whole cell: the margins push the parts on other
    // pages out of this one.
    TPrintTextKs T;
    T.Rect = Visible;
    T.Text = Title.Node->Text;
    T.WordWrap = true;
    T.Alignment = taCenter;
    T.Layout = tlCenter;
    T.DX = Metrics.PadX;
    T.DY = Metrics.HalfPadY;
    T.LeftMarg = Cell.left - Visible.left;
    T.RightMarg = Visible.right - Cell.right;
    PrintText(Canvas, T);
  }
}

void TPrintCellsKs::DrawTitles(int FirstColumn, int LastColumn, int RowsTop) {
  const TPrintMetricsKs& M = Metrics;
  if (MultiTitle()) {
    DrawTitleTree(FirstColumn, LastColumn, RowsTop);
    if (FTitleTextHeight > 0) DrawTitleText(FirstColumn, LastColumn, RowsTop - FTitlesHeight);
    return;
  }
  const bool Colored = Options.Contains(pghColored);
  int X = M.Left;
  for (int Col = FirstColumn; Col <= LastColumn; ++Col) {
    TColumnTitleKs* Title = Columns[Col]->Title();
    const RECT Cell = Mirrored({X, RowsTop - FTitlesHeight, X + PageColWidths[Col], RowsTop});
    X += PageColWidths[Col];
    AddBorders(Cell);
    AssignPrintFont(Canvas->Font(), Title->Font(), PrintFontName);
    Canvas->Brush()->SetColor(Colored ? Title->Color() : clWhite);
    if (Counting) continue;
    const bool Image = FGrid->TitleImages() && Title->ImageIndex() != -1;
    if (Image) {
      if (Colored) Canvas->FillRect(Cell);
      DrawImageInCell(FGrid->TitleImages(), nullptr, Canvas, Cell, Title->ImageIndex(), M.PadX,
                      Title->Alignment());
    } else if (Title->Orientation() == tohVertical) {
      WriteRotatedText(Canvas, Cell, Colored, 2 * M.PadY, M.PadX, Title->Caption(),
                       Title->Alignment(), tlBottom, false, false);
    } else {
      TPrintTextKs T;
      T.Rect = Cell;
      T.Text = Title->Caption();
      T.Fill = Colored;
      T.EndEllipsis = Title->EndEllipsis();
      T.Alignment = Title->Alignment();
      T.DX = M.PadX;
      T.DY = M.PadY;
      PrintText(Canvas, T);
    }
  }
  if (FTitleTextHeight > 0) DrawTitleText(FirstColumn, LastColumn, RowsTop - FTitlesHeight);
}

void TPrintCellsKs::DrawTitleText(int FirstColumn, int LastColumn, int Top) {
  const TPrintMetricsKs& M = Metrics;
  int Before = 0, Group = 0, After = 0;
  for (int Col = 0; Col < int(PageColWidths.size()); ++Col)
    (Col < FirstColumn ? Before : Col <= LastColumn ? Group : After) += PageColWidths[Col];
  const RECT Slice = Mirrored({M.Left, Top - FTitleTextHeight, M.Left + Group, Top});
  FTitleLines.push_back({{Slice.left, Slice.bottom},
                         {Slice.left, Slice.top},
                         {Slice.right, Slice.top},
                         {Slice.right, Slice.bottom}});
  if (Counting) return;
  AssignPrintFont(Canvas->Font(), FGrid->TitleFont(), PrintFontName);
  Canvas->Brush()->SetColor(Options.Contains(pghColored) ? FGrid->FixedColor() : clWhite);
  // The text is centred over the whole grid: the margins push the parts
  // that belong to the other page groups out of this slice.
  TPrintTextKs T;
  T.Rect = Slice;
  T.Text = TitleText->Text().substr(0, TitleText->Text().size() - 2);
  T.Fill = Options.Contains(pghColored);
  T.WordWrap = true;
  T.Alignment = taCenter;
  T.DX = M.PadX;
  T.DY = FGrid->UseMultiTitle() ? RoundHalfEven(FGrid->VTitleMargin() * M.ScaleY / 2) : M.PadY;
  T.LeftMarg = -(RightToLeft() ? After : Before);
  T.RightMarg = -(RightToLeft() ? Before : After);
  PrintText(Canvas, T);
}

void TPrintCellsKs::DrawGridLines(const std::vector<TPrintLineKs>& Lines) {
  std::vector<TPrintLineKs> All = std::move(FTitleLines);
  FTitleLines.clear();
  if (Counting) return;
  All.insert(All.end(), Lines.begin(), Lines.end());
  std::vector<POINT> Points;
  std::vector<DWORD> Counts;
  for (const TPrintLineKs& Line : All) {
    for (const TPrintPointKs& P : Line) Points.push_back({P.X, P.Y});
    Counts.push_back(DWORD(Line.size()));
  }
  Canvas->Pen()->SetColor(clBlack);
  Canvas->Pen()->SetWidth(Metrics.LineWidth);
  Canvas->Prepare(false, false, true);
  PolyPolyline(Canvas->Handle(), Points.data(), Counts.data(), DWORD(Counts.size()));
}
