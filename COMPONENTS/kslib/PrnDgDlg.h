// The page-setup dialog of grid printing: margins, fitting to the page
// width, column widths, row wrapping, colours, the print font and the
// printer's own setup. One dialog serves the process.
#pragma once

#include "forms/Forms.h"
#include "forms/PrintDialogs.h"
#include "forms/StdCtrls.h"

class TfPrnDBGridKsSetupDialog : public TForm {
 public:
  explicit TfPrnDBGridKsSetupDialog(TComponent* AOwner);

  TGroupBox* gbPrintFields;
  TLabel *lUpMargin, *lLowMargin, *lLeftMargin, *lRightMargin;
  TEdit *seUpMargin, *seLowMargin, *seLeftMargin, *seRightMargin;
  TCheckBox* cbFitWidthToPage;
  TGroupBox* rgFitingType;
  TRadioButton *rbScaleGrid, *rbColWidths;  // the fitting type's two items
  TCheckBox *cbOptimalColWidths, *cbAutoStretch, *cbColored;
  TEdit* ePrintFont;
  TButton *bPrintFont, *bPrinterSetupDialog, *bOk, *bCancel;
  TFontDialog* FontDialog1;
  TPrinterSetupDialog* PrinterSetupDialog1;

  // The item of rgFitingType chosen: 0 scales the grid, 1 narrows columns.
  int FitingType() const;
  void SetFitingType(int Item);
  // The four margins in the order top, bottom, left, right.
  std::vector<TEdit*> MarginEdits() const {
    return {seUpMargin, seLowMargin, seLeftMargin, seRightMargin};
  }
  // A margin field's value: EConvertError when it is not a number,
  // EOverflow when it is out of range.
  static Currency MarginOf(TEdit* Edit);

 private:
  // OK closes only when every margin reads as a number; otherwise the
  // error shows, the field takes the focus and nothing is applied.
  void OkClick();
};

// The dialog, made on first use and owned by the application.
TfPrnDBGridKsSetupDialog* PrnDBGridKsSetupDialog();
