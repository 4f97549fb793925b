// The print preview window: the recorded pages with page flipping, scale
// modes, printing chosen pages and the printer's setup.
#pragma once

#include "COMPONENTS/kslib/PrViewKs.h"
#include "forms/ComCtrls.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"

class TPreviewFormKs : public TForm {
 public:
  explicit TPreviewFormKs(TComponent* AOwner);

  TPanel* tbrMain;
  TButton *tbtPrint, *tbtPrinterSetupDialog, *tbtScale, *tbtPrevPage, *tbtNextPage, *tbStop,
      *tbClose;
  TPreviewBox* PreviewKs1;
  TStatusBar* stbMain;
  TPopupMenu* pmnScale;
  TMenuItem* ScaleItems[10];  // by scale mode
  TTimer* Timer1;

  // Pages From..To of the recording to the printer.
  void PrintPages(int From, int To);

 private:
  void PrintClick();
  void SetupClick();
  // Sender is null for the auto-repeat's flips.
  void FlipClick(TObject* Sender, int Step);
  void StartRepeat(TButton* Button);
  void RepeatTick();
  void PreviewChanged();
  void OpenPreviewer();

  TButton* FHeldButton = nullptr;
  bool FClosePending = false;
};

// The shared preview's recording printer; the window is made on first use.
TPrinterPreview* PrinterPreview();
// The shared window, or null before the first preview.
TPreviewFormKs* PreviewForm();
