// The print preview: a printer that records each page as a metafile, and
// the scroll box that shows one recorded page at a chosen scale.
#pragma once

#include <memory>
#include <vector>

#include "COMPONENTS/kslib/PrntsKs.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/Metafiles.h"

class TPreviewBox;

// Puts the program's cursor resource in the first screen cursor slot from 1
// that still holds the arrow and returns the slot. EOutOfResources "Cannot
// load cursor resource" when the program lacks it, "Too many user-defined
// cursors" when no slot is free.
TCursor LoadPreviewCursor(const AnsiString& Name);
// The preview's magnifier and hand, loaded with the first preview box.
struct TPreviewCursors {
  TCursor Magnifier = crDefault, Hand = crHandPoint;
};
const TPreviewCursors& PreviewCursors();

// Every printer property comes from a printer object of its own; without
// an installed printer an A4 sheet at 600 dpi stands in.
class TPrinterPreview : public TVirtualPrinter {
 public:
  explicit TPrinterPreview(TPreviewBox* Box) : FPreviewBox(Box) {}
  ~TPrinterPreview() override;

  bool GetAborted() override { return FAborted; }
  TCanvas* GetCanvas() override { return FCanvas.get(); }
  TPrinterCapabilities GetCapabilities() override { return FPrinter.Capabilities(); }
  TStrings* GetFonts() override { return FPrinter.Fonts(); }
  HDC GetHandle() override;
  int GetNumCopies() override { return FPrinter.NumCopies(); }
  TPrinterOrientation GetOrientation() override { return FPrinter.Orientation(); }
  int GetPageHeight() override;
  int GetPageWidth() override;
  int GetPageNumber() override { return FPageNumber; }
  bool GetPrinting() override { return FPrinting; }
  AnsiString GetTitle() override { return FPrinter.Title(); }
  int GetFullPageWidth() override;
  int GetFullPageHeight() override;
  int GetPrinterIndex() override { return FPrinter.PrinterIndex(); }
  TStrings* GetPrinters() override { return FPrinter.Printers(); }
  int GetPixelsPerInchX() override;
  int GetPixelsPerInchY() override;
  void SetPrinterIndex(int Value) override { FPrinter.SetPrinterIndex(Value); }
  void SetNumCopies(int Value) override { FPrinter.SetNumCopies(Value); }
  void SetOrientation(TPrinterOrientation Value) override { FPrinter.SetOrientation(Value); }
  void SetTitle(const AnsiString& Value) override { FPrinter.SetTitle(Value); }
  void Abort() override { FAborted = true; }
  // A second job while one records (from inside its message pumping) is
  // refused with the printer's "printing in progress" error.
  void BeginDoc() override;
  void EndDoc() override;
  void NewPage() override;
  void GetPrinter(AnsiString& Device, AnsiString& Driver, AnsiString& Port,
                  HGLOBAL& DeviceMode) override {
    FPrinter.GetPrinter(Device, Driver, Port, DeviceMode);
  }
  void SetPrinter(const AnsiString& Device, const AnsiString& Driver, const AnsiString& Port,
                  HGLOBAL DeviceMode) override {
    FPrinter.SetPrinter(Device, Driver, Port, DeviceMode);
  }

  bool PrinterInstalled() { return FPrinter.Printers()->Count() > 0; }
  TPrinter* OwnPrinter() { return &FPrinter; }
  const std::vector<std::unique_ptr<TMetafile>>& Pages() const { return FPages; }
  // The sheet's unprintable border.
  int PhysicalOffsetX();
  int PhysicalOffsetY();
  // Physical height over width.
  double PageRatio();

  // Left for the window by the printing component, which is forgotten
  // (with its handlers) when it goes.
  TNotifyEvent OnSetupDialog, OnSetupChanged;
  TComponent* PrintComponent() const { return FPrintComponent; }
  void SetPrintComponent(TComponent* Value);

 private:
  void OpenCanvas();

  friend class TPreviewBox;

  TPreviewBox* FPreviewBox;
  TComponent* FPrintComponent = nullptr;
  TPrinter FPrinter;
  std::vector<std::unique_ptr<TMetafile>> FPages;
  std::unique_ptr<TMetafileCanvas> FCanvas;
  int FPageNumber = 0;
  bool FAborted = false, FPrinting = false;
  DWORD FLastNotice = 0;  // tick of the last change told while recording
};

// The white page: the current page's metafile scaled onto it.
class TDrawPanel : public TCustomControl {
 public:
  TDrawPanel(TComponent* AOwner, TPreviewBox* Box);

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  TPreviewBox* FBox;
  POINT FDown{};
  bool FDragged = false;
};

// Scale modes: 0..7 are 500, 200, 150, 100, 75, 50, 25 and 10 percent, 8
// the page's width, 9 the whole page.
class TPreviewBox : public TScrollBox {
 public:
  explicit TPreviewBox(TComponent* AOwner);
  ~TPreviewBox() override;

  TPrinterPreview* Printer() { return FPrinter.get(); }
  TDrawPanel* Page() const { return FPage; }
  int PageCount() const { return FPageCount; }
  void SetPageCount(int Value) { FPageCount = Value; }
  int CurrentPage() const { return FCurrentPage; }
  // Clamped to 1..PageCount; a change redraws and tells.
  void SetCurrentPage(int Value);
  int ScaleMode() const { return FScaleMode; }
  void SetScaleMode(int Value);
  int Scale() const { return FScale; }
  // Places the page for the scale mode and the box's size.
  void LayoutPage();
  void Changed();
  // The page's scroll offsets.
  void ScrollTo(int X, int Y);

  TNotifyEvent OnOpenPreviewer, OnPrinterPreviewChanged;

 protected:
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& Message) override;
  void Resize() override;
  void AfterCreateWnd() override;

 private:
  friend class TDrawPanel;
  void ZoomAt(int X, int Y);

  std::unique_ptr<TPrinterPreview> FPrinter;
  TPanel* FShadow;
  TDrawPanel* FPage;
  int FPageCount = 0, FCurrentPage = 1, FScaleMode = 3, FScale = 100;
};
