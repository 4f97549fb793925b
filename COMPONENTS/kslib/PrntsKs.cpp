#include "COMPONENTS/kslib/PrntsKs.h"

bool TVirtualPrinter::GetAborted() { return Printer()->Aborted(); }
TCanvas* TVirtualPrinter::GetCanvas() { return Printer()->Canvas(); }
TPrinterCapabilities TVirtualPrinter::GetCapabilities() { return Printer()->Capabilities(); }
TStrings* TVirtualPrinter::GetFonts() { return Printer()->Fonts(); }
HDC TVirtualPrinter::GetHandle() { return Printer()->Handle(); }
int TVirtualPrinter::GetNumCopies() { return Printer()->NumCopies(); }
TPrinterOrientation TVirtualPrinter::GetOrientation() { return Printer()->Orientation(); }
int TVirtualPrinter::GetPageHeight() { return Printer()->PageHeight(); }
int TVirtualPrinter::GetPageWidth() { return Printer()->PageWidth(); }
int TVirtualPrinter::GetPageNumber() { return Printer()->PageNumber(); }
bool TVirtualPrinter::GetPrinting() { return Printer()->Printing(); }
AnsiString TVirtualPrinter::GetTitle() { return Printer()->Title(); }

int TVirtualPrinter::GetFullPageWidth() {
  return Printer()->PageWidth() + 2 * GetDeviceCaps(Printer()->Handle(), PHYSICALOFFSETX);
}

int TVirtualPrinter::GetFullPageHeight() {
  return Printer()->PageHeight() + 2 * GetDeviceCaps(Printer()->Handle(), PHYSICALOFFSETY);
}

int TVirtualPrinter::GetPrinterIndex() { return Printer()->PrinterIndex(); }
TStrings* TVirtualPrinter::GetPrinters() { return Printer()->Printers(); }
int TVirtualPrinter::GetPixelsPerInchX() { return GetDeviceCaps(Printer()->Handle(), LOGPIXELSX); }
int TVirtualPrinter::GetPixelsPerInchY() { return GetDeviceCaps(Printer()->Handle(), LOGPIXELSY); }
void TVirtualPrinter::SetPrinterIndex(int Value) { Printer()->SetPrinterIndex(Value); }
void TVirtualPrinter::SetNumCopies(int Value) { Printer()->SetNumCopies(Value); }
void TVirtualPrinter::SetOrientation(TPrinterOrientation Value) {
  Printer()->SetOrientation(Value);
}
void TVirtualPrinter::SetTitle(const AnsiString& Value) { Printer()->SetTitle(Value); }
void TVirtualPrinter::Abort() { Printer()->Abort(); }
void TVirtualPrinter::BeginDoc() { Printer()->BeginDoc(); }
void TVirtualPrinter::EndDoc() { Printer()->EndDoc(); }
void TVirtualPrinter::NewPage() { Printer()->NewPage(); }

void TVirtualPrinter::GetPrinter(AnsiString& Device, AnsiString& Driver, AnsiString& Port,
                                 HGLOBAL& DeviceMode) {
  Printer()->GetPrinter(Device, Driver, Port, DeviceMode);
}

void TVirtualPrinter::SetPrinter(const AnsiString& Device, const AnsiString& Driver,
                                 const AnsiString& Port, HGLOBAL DeviceMode) {
  Printer()->SetPrinter(Device, Driver, Port, DeviceMode);
}

TVirtualPrinter* DefaultVirtualPrinter() {
  static TVirtualPrinter Instance;
  return &Instance;
}
