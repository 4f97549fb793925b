// The print preview window: the recorded pages with page flipping, scale
// modes, printing chosen pages and the printer's setup.
#pragma once

#include "COMPONENTS/kslib/PrViewKs.h"
#include "forms/ComCtrls.h"
#include "forms/Menus.h"
#include "forms/Splitter.h"
#include "forms/ToolBar.h"

class TPreviewFormKs : public TForm {
 public:
  explicit TPreviewFormKs(TComponent* AOwner);

  TToolBar* tbrMain;
  TToolButton *tbtPrint, *tbtPrinterSetupDialog, *tbtScale, *tbtPrevPage, *tbtNextPage, *tbStop,
      *tbClose;
  TSplitter* Splitter;
  TPreviewBox* PreviewKs1;
  TStatusBar* stbMain;
  TImageList* imlMain;
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
  void StartRepeat(TToolButton* Button);
  void RepeatTick();
  void PreviewChanged();
  void OpenPreviewer();
  // The toolbar's look for the height the splitter is dragged to.
  void SplitterCanResize(int NewSize, bool& Accept);
  void SetToolbarLook(bool Icons, bool Captions);

  TToolButton* FHeldButton = nullptr;
  bool FClosePending = false;
};

// The shared preview's recording printer; the window is made on first use.
TPrinterPreview* PrinterPreview();
// The shared window, or null before the first preview.
TPreviewFormKs* PreviewForm();
