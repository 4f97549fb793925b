// The system's printers as one object: the list and the chosen printer, its
// copies and orientation (kept in the printer's device mode), an information
// context for measuring, and a document with pages drawn on a canvas. The
// process-wide printer can be swapped for another object.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <memory>
#include <vector>

#include "forms/Graphics.h"
#include "rtl/Classes.h"

// <winspool.h> maps these names to their A/W forms; ours are methods.
#ifdef GetPrinter
#undef GetPrinter
#endif
#ifdef SetPrinter
#undef SetPrinter
#endif

KS_EXCEPTION(EPrinter, Exception);

enum TPrinterOrientation { poPortrait, poLandscape };
enum TPrinterCapability { pcCopies, pcOrientation, pcCollation };
using TPrinterCapabilities = TSet<TPrinterCapability>;

class TPrinter : public TObject {
 public:
  TPrinter();
  ~TPrinter() override;

  // Names of the installed printers; the current one is PrinterIndex (the
  // system's default until chosen, -1 when none is installed).
  TStrings* Printers();
  int PrinterIndex();
  void SetPrinterIndex(int Index);
  // The current printer's names and device mode (owned by the printer).
  void GetPrinter(AnsiString& Device, AnsiString& Driver, AnsiString& Port, HGLOBAL& DeviceMode);
  // Chooses a printer by name (added to the list when unknown); takes
  // ownership of DeviceMode, or loads the printer's defaults when it is null.
  void SetPrinter(const AnsiString& Device, const AnsiString& Driver, const AnsiString& Port,
                  HGLOBAL DeviceMode);

  TPrinterCapabilities Capabilities();
  TStrings* Fonts();
  int NumCopies();
  void SetNumCopies(int Value);
  TPrinterOrientation Orientation();
  void SetOrientation(TPrinterOrientation Value);
  // The printable area in device pixels.
  int PageWidth();
  int PageHeight();

  // The document's context while printing, else an information context.
  HDC Handle();
  TCanvas* Canvas();
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& Value) { FTitle = Value; }
  // Where the document goes: a file, or the printer's own port when empty.
  // A printer on the port "FILE:" asks for a name in a dialog otherwise.
  const AnsiString& OutputFile() const { return FOutputFile; }
  void SetOutputFile(const AnsiString& Value) { FOutputFile = Value; }

  void BeginDoc();
  void NewPage();
  void EndDoc();
  // Drops the document; Aborted stays set until the next BeginDoc.
  void Abort();
  bool Printing() const { return FPrinting; }
  bool Aborted() const { return FAborted; }
  // 1 after BeginDoc, one more per NewPage.
  int PageNumber() const { return FPageNumber; }

 private:
  struct TPrinterEntry {
    AnsiString Device, Driver, Port;
  };
  class TPrinterCanvas;

  void LoadPrinters();
  const TPrinterEntry& Current();
  void CheckNotPrinting() const;
  void CheckPrinting() const;
  void ChangeDeviceMode(HGLOBAL DeviceMode);
  // The device mode locked for reading or changing fields; after a change
  // the information context is made again.
  template <typename F>
  auto WithDeviceMode(F Use);
  void FreeContext();
  void EmptyOutputFile();

  std::vector<TPrinterEntry> FEntries;
  bool FLoaded = false;
  TStringList FPrinters, FFonts;
  int FPrinterIndex = -1;
  HGLOBAL FDeviceMode = nullptr;
  HDC FContext = nullptr;
  std::unique_ptr<TPrinterCanvas> FCanvas;
  bool FPrinting = false, FAborted = false;
  int FPageNumber = 0;
  AnsiString FTitle, FOutputFile;
};

// The process-wide printer, made on first use.
TPrinter* Printer();
// Puts another printer in its place and returns the former one, which the
// caller then owns (null when none was made yet).
TPrinter* SetPrinter(TPrinter* NewPrinter);
