// The grid printing component: prints one grid's rows onto a virtual
// printer (paper, or the preview), with page headers and footers, the
// title text above the column titles and the totals of the printed rows.
#pragma once

#include "COMPONENTS/kslib/PrnDbgksCells.h"
#include "COMPONENTS/kslib/PrnDbgksMacros.h"
#include "COMPONENTS/kslib/PrnDbgksPage.h"
#include "COMPONENTS/kslib/PrnDbgksRichEdit.h"
#include "COMPONENTS/kslib/PrntsKs.h"

class TPrintDBGridKs : public TComponent {
 public:
  explicit TPrintDBGridKs(TComponent* AOwner);
  ~TPrintDBGridKs() override;

  // Rich texts before the grid and after its last row, made on first use.
  // Assigning copies through a stream, formatting included when the
  // source is a rich-text list too.
  TRichEditStrings* BeforeGridText();
  void SetBeforeGridText(TStrings* Value);
  TRichEditStrings* AfterGridText();
  void SetAfterGridText(TStrings* Value);
  TCustomDBGridKs* DBGridKs() const { return FDBGridKs; }
  void SetDBGridKs(TCustomDBGridKs* Value);
  TPrintDBGridKsOptions Options() const { return FOptions; }
  void SetOptions(TPrintDBGridKsOptions Value) { FOptions = Value; }
  // The settings objects are taken as they are, not copied, and owned.
  TPageParams* Page() const { return FPage.get(); }
  void SetPage(TPageParams* Value) { FPage.reset(Value); }
  TPageColontitle* PageFooter() const { return FPageFooter.get(); }
  void SetPageFooter(TPageColontitle* Value) { FPageFooter.reset(Value); }
  TPageColontitle* PageHeader() const { return FPageHeader.get(); }
  void SetPageHeader(TPageColontitle* Value) { FPageHeader.reset(Value); }
  // Every printed font takes this face when set.
  const AnsiString& PrintFontName() const { return FPrintFontName; }
  void SetPrintFontName(const AnsiString& Value) { FPrintFontName = Value; }
  TStrings* Title() { return &FTitle; }
  void SetTitle(TStrings* Value) { FTitle.Assign(Value); }
  TMeasureUnits Units() const { return FUnits; }
  // Converts the margins, except while the component is being loaded.
  void SetUnits(TMeasureUnits Value);

  // Pairs of search text and replacement, replaced in both rich texts
  // during each print run and put back afterwards.
  void SetSubstitutes(const std::vector<AnsiString>& Pairs) { FSubstitutes.Set(Pairs); }

  // The page-setup dialog over Page, Options and PrintFontName; true, with
  // the values taken, when confirmed.
  bool ShowPageSetupDialog();

  // Prints on paper.
  void Print();
  // Prints into the shared preview, whose setup step runs
  // OnPrinterSetupDialog, or else the page-setup dialog and, when that is
  // confirmed, the preview again.
  void Preview();
  // Nothing at all without a grid over an open dataset. Whatever fails, the
  // dataset returns to its record with its controls on and the document
  // ends; then the first error passes on (an abort silently).
  void PrintTo(TVirtualPrinter* Printer);

  TNotifyEvent OnAfterPrint, OnBeforePrint, OnPrinterSetupDialog;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  class TRun;
  friend class TRun;

  TCustomDBGridKs* FDBGridKs = nullptr;
  TPrintDBGridKsOptions FOptions;
  std::unique_ptr<TPageParams> FPage;
  std::unique_ptr<TPageColontitle> FPageFooter, FPageHeader;
  AnsiString FPrintFontName;
  TStringList FTitle;
  TMeasureUnits FUnits = MM;
  TColCellParamsKs FCellParams;
  std::unique_ptr<TRichEditStrings> FBeforeGridText, FAfterGridText;
  TPrintSubstitutesKs FSubstitutes;
};
