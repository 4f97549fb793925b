#include "COMPONENTS/kslib/PrnDbgks.h"

#include <exception>

#include "COMPONENTS/kslib/PrnDbgksRows.h"
#include "COMPONENTS/kslib/PrnDgDlg.h"
#include "COMPONENTS/kslib/PrvFrmKs.h"
#include "forms/Forms.h"
#include "forms/Metafiles.h"

namespace {

// The hourglass for a scope, the screen's cursor back afterwards.
class THourGlass {
 public:
  THourGlass() : FOld(Screen->Cursor()) { Screen->SetCursor(crHourGlass); }
  ~THourGlass() { Screen->SetCursor(FOld); }
  THourGlass(const THourGlass&) = delete;
  THourGlass& operator=(const THourGlass&) = delete;

 private:
  TCursor FOld;
};

}  // namespace

// One print run: the layout of the page and the paging over the rows, once
// counting pages when a header or footer shows their number, then printing.
class TPrintDBGridKs::TRun {
 public:
  TRun(TPrintDBGridKs* Owner, TVirtualPrinter* Printer, TDataSet* DataSet)
      : FOwner(Owner),
        FPrinter(Printer),
        FDataSet(DataSet),
        FGrid(Owner->FDBGridKs),
        FCells(FGrid, &Owner->FCellParams),
        FRows(DataSet, FGrid->FooterRowCount()) {
    FCells.Columns = PrintedColumns(FGrid);
    FCells.Options = Owner->FOptions;
    FCells.PrintFontName = Owner->FPrintFontName;
    FCells.TitleText = &Owner->FTitle;
    FCells.OnNewPage = [this] { NewPage(); };
    FCells.OnAborted = [this] { return FPrinter->GetAborted(); };
    SelectRows();
  }

  void Print() {
    FMacros.ComputeMacroValues(1, Now());
    FCanvas = FPrinter->GetCanvas();
    FCells.Canvas = FCanvas;
    Layout();
    FCells.ClearTotals();
    if (UsesPageCount()) CountPages();
    DrawColontitle(true, false);
    DrawColontitle(false, false);
    PrintPages();
  }

 private:
  // The rich text before, the rows, the rich text after.
  void PrintPages() {
    FPosition = 0;
    PrintRichText(FOwner->FBeforeGridText.get());
    TPrintPagerKs Pager(FArea, FGroups.PageColWidths, FGroups.PageBreaks);
    Pager.Position = FPosition;
    Pager.PrintRows(FRows, FCells);
    FPosition = Pager.Position;
    FCanvas->Brush()->SetStyle(bsClear);
    FCanvas->Brush()->SetColor(clWhite);
    PrintRichText(FOwner->FAfterGridText.get());
  }

  // From the current position on, over as many pages as it takes. Where
  // not even a fresh page takes anything (a line taller than the area), the
  // text ends.
  void PrintRichText(TRichEditStrings* Text) {
    if (!Text || Text->Count() == 0) return;
    const TRichDocumentKs Document = ReadRichText(Text->RichText());
    const TPrintMetricsKs& M = FCells.Metrics;
    const int Top = FPageTop + FHeaderHeight, Height = FPageBottom - FFooterHeight - Top;
    int First = 0;
    while (First < Document.Length()) {
      TGdiRichMeasurer Measurer(FCanvas->Handle(), M.PrinterPpiY);
      const TRichRangeKs Range = FormatRichRange(Document, First, M.Right - M.Left,
                                                 Height - FPosition, M.PrinterPpiX, Measurer);
      if (Range.NextChar == First) {
        // Nothing fits below: a fresh page, unless that would take nothing either.
        if (FPosition == 0 || FormatRichRange(Document, First, M.Right - M.Left, Height,
                                              M.PrinterPpiX, Measurer)
                                      .NextChar == First)
          return;
      } else {
        if (!FCells.Counting) Measurer.Draw(Range, M.Left, Top + FPosition);
        FPosition += Range.Height;
        First = Range.NextChar;
        if (First >= Document.Length()) return;
      }
      NewPage();
      FPosition = 0;
    }
  }

  void SelectRows() {
    TDBGridKsSelection* Selection = FGrid->Selection();
    if (Selection->SelectionType() == gstRecordBookmarks) {
      TBookmarkListKs* List = FGrid->SelectedRows();
      std::vector<AnsiString> Bookmarks;
      for (int I = 0; I < List->Count(); ++I) Bookmarks.push_back(List->Items(I));
      FRows.SelectRecords(std::move(Bookmarks));
    } else if (Selection->SelectionType() == gstRectangle) {
      FRows.SelectRange(Selection->Rect()->GetTopRow(), Selection->Rect()->GetBottomRow());
    }
  }

  TPrintPageInputKs PageInput() {
    TPrintPageInputKs In;
    In.PageWidth = FPrinter->GetPageWidth();
    In.PageHeight = FPrinter->GetPageHeight();
    In.FullPageWidth = FPrinter->GetFullPageWidth();
    In.FullPageHeight = FPrinter->GetFullPageHeight();
    In.ScreenPpiX = In.ScreenPpiY = ScreenPixelsPerInch();
    In.HasPrinter = FPrinter->GetPrinters()->Count() > 0;
    if (In.HasPrinter) {
      In.PrinterPpiX = FPrinter->GetPixelsPerInchX();
      In.PrinterPpiY = FPrinter->GetPixelsPerInchY();
    }
    TPageParams* Page = FOwner->FPage.get();
    In.LeftMargin = Page->LeftMargin();
    In.TopMargin = Page->TopMargin();
    In.RightMargin = Page->RightMargin();
    In.BottomMargin = Page->BottomMargin();
    In.Units = FOwner->FUnits;
    In.Flat = FGrid->Flat();
    return In;
  }

  void Layout() {
    TPrintMetricsKs& M = FCells.Metrics;
    M = ComputePrintMetrics(PageInput());
    const TPrintDBGridKsOptions Options = FOwner->FOptions;
    std::vector<int> Widths;
    if (Options.Contains(pghOptimalColWidths)) {
      Widths = OptimalWidths();
    } else {
      for (TColumnKs* Column : FCells.Columns)
        Widths.push_back(PrintedColWidth(Column->Width(), M.ScaleX));
    }
    if (Options.Contains(pghFitGridToPageWidth)) {
      if (Options.Contains(pghFitingByColWidths)) {
        FitColWidths(Widths, M.Right - M.Left - M.LineWidth);
      } else {
        int GridWidth = M.LineWidth;
        for (int W : Widths) GridWidth += W;
        FMapped = FitPageToGridWidth(M, GridWidth, FMapping);
      }
    }
    FGroups = SplitPageGroups(Widths, M.Left, M.Right, M.LineWidth);
    FCells.PageColWidths = FGroups.PageColWidths;
    SetUpCanvas();

    FPageTop = M.Top;
    FPageBottom = M.Bottom;
    FHeaderHeight = DrawColontitle(true, true);
    FFooterHeight = DrawColontitle(false, true);

    AssignPrintFont(FCanvas->Font(), FGrid->Font(), FOwner->FPrintFontName);
    TEXTMETRICA Font{};
    FCanvas->Prepare(true, false, false);
    GetTextMetricsA(FCanvas->Handle(), &Font);
    const TPrintRowHeightKs Row = DefaultPrintRowHeight(
        FGrid->RowHeight(), FGrid->RowLines(), FCanvas->TextHeight("Wg"),
        Font.tmHeight + Font.tmExternalLeading, M.ScaleY, M.PadY,
        Options.Contains(pghRowAutoStretch));
    FCells.MultiLineRows = Row.MultiLine;
    FCells.MeasureTitles();
    SetUpCanvas();

    const int Titles = FCells.TitleTextHeight() + FCells.TitlesHeight();
    FArea.Left = M.Left;
    FArea.Right = M.Right;
    FArea.Top = FPageTop + FHeaderHeight + Titles;
    FArea.Bottom = FPageBottom - FFooterHeight;
    FArea.TitlesHeight = Titles;
    FArea.LineWidth = M.LineWidth;
    FArea.DefaultRowHeight = Row.Height;
    FArea.RightToLeft = FGrid->BiDiMode() == bdRightToLeft;
  }

  // Measured on a metafile made for the printer, never on the printer.
  std::vector<int> OptimalWidths() {
    THourGlass HourGlass;
    TMetafile Metafile;
    TMetafileCanvas Canvas(&Metafile, FPrinter->GetHandle());
    FCells.Canvas = &Canvas;
    FCells.ClearTotals();
    std::vector<int> Widths;
    try {
      Widths = FCells.OptimalWidths(FRows);
    } catch (...) {
      FCells.Canvas = FCanvas;
      throw;
    }
    FCells.Canvas = FCanvas;
    FDataSet->First();
    return Widths;
  }

  // Pen, a solid white brush, the grid's font and the fitting's mapping.
  void SetUpCanvas() {
    const TPrintMetricsKs& M = FCells.Metrics;
    FCanvas->Pen()->SetWidth(M.LineWidth);
    FCanvas->Brush()->SetStyle(bsClear);
    FCanvas->Brush()->SetColor(clWhite);
    FCanvas->Brush()->SetStyle(bsSolid);
    AssignPrintFont(FCanvas->Font(), FGrid->Font(), FOwner->FPrintFontName);
    if (!FMapped) return;
    HDC DC = FCanvas->Handle();
    if (!SetMapMode(DC, FMapping.Isotropic ? MM_ISOTROPIC : MM_ANISOTROPIC))
      throw Exception(" function SetMapMode(Handle, MM_ISOTROPIC) has returned 0 ");
    SetWindowOrgEx(DC, 0, 0, nullptr);
    SetWindowExtEx(DC, FMapping.WindowExtX, FMapping.WindowExtY, nullptr);
    SetViewportExtEx(DC, FMapping.ViewportExtX, FMapping.ViewportExtY, nullptr);
  }

  bool UsesPageCount() {
    TPageColontitle* Header = FOwner->FPageHeader.get();
    TPageColontitle* Footer = FOwner->FPageFooter.get();
    return TextsUsePageCount({Header->LeftText()->Text(), Header->CenterText()->Text(),
                              Header->RightText()->Text(), Footer->LeftText()->Text(),
                              Footer->CenterText()->Text(), Footer->RightText()->Text()});
  }

  // The whole run drawn on a metafile, only to count its pages.
  void CountPages() {
    {
      THourGlass HourGlass;
      TMetafile Metafile;
      TMetafileCanvas Canvas(&Metafile, FPrinter->GetHandle());
      FCanvas = &Canvas;
      FCells.Canvas = FCanvas;
      FCells.Counting = true;
      FPageCount = 1;
      try {
        SetUpCanvas();
        PrintPages();
      } catch (...) {
        EndCounting();
        throw;
      }
    }
    EndCounting();
    FMacros.ComputeMacroValues(FPageCount, Now());
    FDataSet->First();
    FCells.ClearTotals();
  }

  void EndCounting() {
    FCells.Counting = false;
    FCanvas = FPrinter->GetCanvas();
    FCells.Canvas = FCanvas;
    SetUpCanvas();
  }

  void NewPage() {
    if (FCells.Counting) {
      ++FPageCount;
      SetUpCanvas();
      return;
    }
    FPrinter->NewPage();
    FCanvas = FPrinter->GetCanvas();
    FCells.Canvas = FCanvas;
    SetUpCanvas();
    DrawColontitle(true, false);
    DrawColontitle(false, false);
  }

  // The header's or footer's height; drawn too unless MeasureOnly, or
  // while counting.
  int DrawColontitle(bool Header, bool MeasureOnly) {
    TPageColontitle* Colontitle = Header ? FOwner->FPageHeader.get() : FOwner->FPageFooter.get();
    const TPrintMetricsKs& M = FCells.Metrics;
    MeasureOnly = MeasureOnly || FCells.Counting;
    const int Height = Header ? FHeaderHeight : FFooterHeight;
    const RECT Band{M.Left, Header ? FPageTop : FPageBottom - Height, M.Right,
                    Header ? FPageTop + Height : FPageBottom};
    AssignPrintFont(FCanvas->Font(), Colontitle->Font(), FOwner->FPrintFontName);
    TStrings* Texts[] = {Colontitle->LeftText(), Colontitle->CenterText(),
                         Colontitle->RightText()};
    const TAlignment Alignments[] = {taLeftJustify, taCenter, taRightJustify};
    int TextHeight = 0;
    for (int I = 0; I < 3; ++I) {
      AnsiString Text = Texts[I]->Text();
      if (Text.size() >= 2) Text.resize(Text.size() - 2);
      if (Text.empty()) continue;
      TPrintTextKs T;
      T.Rect = Band;
      T.Text = FMacros.SubstituteMacros(Text, FPrinter->GetPageNumber());
      T.Layout = Header ? tlTop : tlBottom;
      T.Alignment = Alignments[I];
      T.RightToLeftReading = FGrid->BiDiMode() == bdRightToLeft;
      T.MeasureOnly = true;
      TextHeight = std::max(TextHeight, PrintText(FCanvas, T));
      if (MeasureOnly) continue;
      T.MeasureOnly = false;
      PrintText(FCanvas, T);
    }
    const int D20 = RoundHalfEven(M.PrinterPpiY / 20.0), D30 = RoundHalfEven(M.PrinterPpiY / 30.0);
    if (TextHeight != 0) TextHeight += D20;
    const TPageColontitleLineType Line = Colontitle->LineType();
    if (Line == pcltNon) return TextHeight;
    const int Direction = Header ? -1 : 1;  // away from the band's edge facing the grid
    const int Edge = Header ? Band.bottom : Band.top;
    if (!MeasureOnly) {
      FCanvas->Pen()->SetColor(clBlack);
      for (int Y : {Edge + Direction * D20, Edge + Direction * (D20 + D30)}) {
        FCanvas->MoveTo(Band.left, Y);
        FCanvas->LineTo(Band.right, Y);
        if (Line == pcltSingleLine) break;
      }
    }
    return TextHeight + D20 + (Line == pcltDoubleLine ? D30 : 0);
  }

  TPrintDBGridKs* FOwner;
  TVirtualPrinter* FPrinter;
  TDataSet* FDataSet;
  TCustomDBGridKs* FGrid;
  TPrintCellsKs FCells;
  TDataSetPrintRowsKs FRows;
  TPrintMacrosKs FMacros;
  TCanvas* FCanvas = nullptr;
  TPrintPageGroupsKs FGroups;
  TPrintFitMappingKs FMapping;
  bool FMapped = false;
  TPrintAreaKs FArea;
  int FPageTop = 0, FPageBottom = 0, FHeaderHeight = 0, FFooterHeight = 0;
  int FPageCount = 1;
  int FPosition = 0;  // below the header, on the current page
};

TPrintDBGridKs::TPrintDBGridKs(TComponent* AOwner)
    : TComponent(AOwner),
      FPage(std::make_unique<TPageParams>()),
      FPageFooter(std::make_unique<TPageColontitle>()),
      FPageHeader(std::make_unique<TPageColontitle>()) {}

TPrintDBGridKs::~TPrintDBGridKs() { Destroying(); }

namespace {

void CopyRichText(TStrings* Source, TRichEditStrings* Target) {
  TStringStream Stream;
  if (auto* Rich = dynamic_cast<TRichEditStrings*>(Source))
    Rich->SaveToStream(&Stream);
  else
    Source->SaveToStream(&Stream);
  Stream.SetPosition(0);
  Target->LoadFromStream(&Stream);
}

// The texts that substitutes change, with the replacements made in them to
// be put back after the run. They are put back in place: the text streamed
// back into the control would lose its tables.
class TSubstitutedTexts {
 public:
  TSubstitutedTexts(const TPrintSubstitutesKs& Substitutes,
                    std::initializer_list<TRichEditStrings*> Texts) {
    if (Substitutes.Empty()) return;
    for (TRichEditStrings* Text : Texts) {
      if (!Text || Text->Count() == 0) continue;
      TRichEditSubstituteTarget Target(Text);
      FMade.push_back({Text, Substitutes.ApplySubstitutes(Target)});
    }
  }
  void Restore() {
    for (auto& [Text, Made] : FMade) {
      TRichEditSubstituteTarget Target(Text);
      TPrintSubstitutesKs::Revert(Target, Made);
    }
    FMade.clear();
  }

 private:
  std::vector<std::pair<TRichEditStrings*, std::vector<TSubstitutionKs>>> FMade;
};

}  // namespace

TRichEditStrings* TPrintDBGridKs::BeforeGridText() {
  if (!FBeforeGridText) FBeforeGridText = std::make_unique<TRichEditStrings>();
  return FBeforeGridText.get();
}

void TPrintDBGridKs::SetBeforeGridText(TStrings* Value) { CopyRichText(Value, BeforeGridText()); }

TRichEditStrings* TPrintDBGridKs::AfterGridText() {
  if (!FAfterGridText) FAfterGridText = std::make_unique<TRichEditStrings>();
  return FAfterGridText.get();
}

void TPrintDBGridKs::SetAfterGridText(TStrings* Value) { CopyRichText(Value, AfterGridText()); }

void TPrintDBGridKs::SetDBGridKs(TCustomDBGridKs* Value) {
  if (FDBGridKs == Value) return;
  if (FDBGridKs) FDBGridKs->RemoveFreeNotification(this);
  FDBGridKs = Value;
  if (Value) Value->FreeNotification(this);
}

void TPrintDBGridKs::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDBGridKs) FDBGridKs = nullptr;
}

void TPrintDBGridKs::SetUnits(TMeasureUnits Value) {
  if (FUnits == Value) return;
  FUnits = Value;
  if (ComponentState().Contains(csLoading)) return;
  FPage->SetLeftMargin(ConvertMargin(FPage->LeftMargin(), Value));
  FPage->SetTopMargin(ConvertMargin(FPage->TopMargin(), Value));
  FPage->SetRightMargin(ConvertMargin(FPage->RightMargin(), Value));
  FPage->SetBottomMargin(ConvertMargin(FPage->BottomMargin(), Value));
}

bool TPrintDBGridKs::ShowPageSetupDialog() {
  TfPrnDBGridKsSetupDialog* Dialog = PrnDBGridKsSetupDialog();
  const std::vector<TEdit*> Edits = Dialog->MarginEdits();
  using TMarginGetter = Currency (TPageParams::*)() const;
  using TMarginSetter = void (TPageParams::*)(Currency);
  const TMarginGetter Getters[] = {&TPageParams::TopMargin, &TPageParams::BottomMargin,
                                   &TPageParams::LeftMargin, &TPageParams::RightMargin};
  const TMarginSetter Setters[] = {&TPageParams::SetTopMargin, &TPageParams::SetBottomMargin,
                                   &TPageParams::SetLeftMargin, &TPageParams::SetRightMargin};
  for (size_t I = 0; I < Edits.size(); ++I)
    Edits[I]->SetText(FloatToStr((FPage.get()->*Getters[I])().ToDouble()));
  Dialog->cbFitWidthToPage->SetChecked(FOptions.Contains(pghFitGridToPageWidth));
  Dialog->SetFitingType(FOptions.Contains(pghFitingByColWidths) ? 1 : 0);
  Dialog->cbOptimalColWidths->SetChecked(FOptions.Contains(pghOptimalColWidths));
  Dialog->cbAutoStretch->SetChecked(FOptions.Contains(pghRowAutoStretch));
  Dialog->cbColored->SetChecked(FOptions.Contains(pghColored));
  Dialog->ePrintFont->SetText(FPrintFontName);
  if (Dialog->ShowModal() != mrOk) return false;
  for (size_t I = 0; I < Edits.size(); ++I)
    (FPage.get()->*Setters[I])(TfPrnDBGridKsSetupDialog::MarginOf(Edits[I]));
  auto SetOption = [this](TPrintDBGridKsOption Option, bool On) {
    if (On)
      FOptions.Include(Option);
    else
      FOptions.Exclude(Option);
  };
  SetOption(pghFitGridToPageWidth, Dialog->cbFitWidthToPage->Checked());
  FPrintFontName = Dialog->ePrintFont->Text();
  SetOption(pghRowAutoStretch, Dialog->cbAutoStretch->Checked());
  SetOption(pghColored, Dialog->cbColored->Checked());
  SetOption(pghFitingByColWidths, Dialog->FitingType() == 1);
  SetOption(pghOptimalColWidths, Dialog->cbOptimalColWidths->Checked());
  return true;
}

void TPrintDBGridKs::Print() { PrintTo(DefaultVirtualPrinter()); }

void TPrintDBGridKs::Preview() {
  TPrinterPreview* Preview = PrinterPreview();
  if (OnPrinterSetupDialog)
    Preview->OnSetupDialog = OnPrinterSetupDialog;
  else
    Preview->OnSetupDialog = [this](TObject*) {
      if (ShowPageSetupDialog()) this->Preview();
    };
  Preview->SetPrintComponent(this);
  PrintTo(Preview);
}

void TPrintDBGridKs::PrintTo(TVirtualPrinter* Printer) {
  if (!FDBGridKs || !FDBGridKs->DataSource()) return;
  TDataSet* DataSet = FDBGridKs->DataSource()->DataSet();
  if (!DataSet || !DataSet->Active()) return;
  TRun Run(this, Printer, DataSet);
  Printer->BeginDoc();
  const AnsiString Bookmark = DataSet->GetBookmark();
  std::exception_ptr Error;
  // Every finishing step runs whatever failed before; the first error wins.
  auto Step = [&Error](auto&& Action) {
    try {
      Action();
    } catch (...) {
      if (!Error) Error = std::current_exception();
    }
  };
  bool ControlsDisabled = false;
  std::unique_ptr<TSubstitutedTexts> Substituted;
  Step([&] {
    if (OnBeforePrint) OnBeforePrint(this);
    Substituted = std::make_unique<TSubstitutedTexts>(
        FSubstitutes, std::initializer_list<TRichEditStrings*>{FBeforeGridText.get(),
                                                               FAfterGridText.get()});
    DataSet->DisableControls();
    ControlsDisabled = true;
    DataSet->First();
    Printer->SetTitle("Табличная информация");
    Run.Print();
  });
  Step([&] {
    if (OnAfterPrint) OnAfterPrint(this);
  });
  Step([&] {
    if (Substituted) Substituted->Restore();
  });
  Step([&] {
    if (DataSet->BookmarkValid(Bookmark)) DataSet->GotoBookmark(Bookmark);
  });
  Step([&] {
    if (ControlsDisabled) DataSet->EnableControls();
  });
  // An aborted document is gone already.
  Step([&] {
    if (Printer->GetPrinting()) Printer->EndDoc();
  });
  if (Error) std::rethrow_exception(Error);
}
