// The printer that grid printing draws on. Every operation is virtual and
// forwards to the process-wide printer, so the preview can record pages in
// its place by overriding them.
#pragma once

#include "forms/Printers.h"

class TVirtualPrinter : public TObject {
 public:
  virtual bool GetAborted();
  virtual TCanvas* GetCanvas();
  virtual TPrinterCapabilities GetCapabilities();
  virtual TStrings* GetFonts();
  virtual HDC GetHandle();
  virtual int GetNumCopies();
  virtual TPrinterOrientation GetOrientation();
  virtual int GetPageHeight();
  virtual int GetPageWidth();
  virtual int GetPageNumber();
  virtual bool GetPrinting();
  virtual AnsiString GetTitle();
  // The sheet: the printable size plus the unprintable border on both sides.
  virtual int GetFullPageWidth();
  virtual int GetFullPageHeight();
  virtual int GetPrinterIndex();
  virtual TStrings* GetPrinters();
  virtual int GetPixelsPerInchX();
  virtual int GetPixelsPerInchY();
  virtual void SetPrinterIndex(int Value);
  virtual void SetNumCopies(int Value);
  virtual void SetOrientation(TPrinterOrientation Value);
  virtual void SetTitle(const AnsiString& Value);
  virtual void Abort();
  virtual void BeginDoc();
  virtual void EndDoc();
  virtual void NewPage();
  virtual void GetPrinter(AnsiString& Device, AnsiString& Driver, AnsiString& Port,
                          HGLOBAL& DeviceMode);
  virtual void SetPrinter(const AnsiString& Device, const AnsiString& Driver,
                          const AnsiString& Port, HGLOBAL DeviceMode);
};

// The one plain virtual printer of the process: printing on it prints on paper.
TVirtualPrinter* DefaultVirtualPrinter();
