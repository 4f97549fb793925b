#include "TestPrinter.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>

namespace {

constexpr char PrinterName[] = "Keystall Test Printer";
constexpr char DriverName[] = "Keystall Test PostScript";
constexpr char DataFile[] = "keystall-test.ppd";

bool Fail(const char* What) {
  std::fprintf(stderr, "test printer: %s failed, error %lu\n", What, GetLastError());
  return false;
}

bool Installed() {
  HANDLE Printer = nullptr;
  if (!OpenPrinterA(const_cast<char*>(PrinterName), &Printer, nullptr)) return false;
  ClosePrinter(Printer);
  return true;
}

bool InstallDriver(const char* PpdFile) {
  char Directory[MAX_PATH];
  DWORD Needed = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(Directory),
                                  sizeof Directory, &Needed))
    return Fail("GetPrinterDriverDirectory");
  const std::string Target = std::string(Directory) + "\\" + DataFile;
  if (!CopyFileA(PpdFile, Target.c_str(), FALSE)) return Fail("copying the PPD");
  DRIVER_INFO_3A Driver{};
  Driver.cVersion = 3;
  Driver.pName = const_cast<char*>(DriverName);
  Driver.pDriverPath = const_cast<char*>("wineps.drv");
  Driver.pDataFile = const_cast<char*>(DataFile);
  Driver.pConfigFile = const_cast<char*>("wineps.drv");
  if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&Driver)))
    return Fail("AddPrinterDriver");
  return true;
}

}  // namespace

bool RestoreTestPrinter() {
  if (!Installed()) {
    PRINTER_INFO_2A Info{};
    Info.pPrinterName = const_cast<char*>(PrinterName);
    Info.pPortName = const_cast<char*>("FILE:");
    Info.pDriverName = const_cast<char*>(DriverName);
    Info.pPrintProcessor = const_cast<char*>("WinPrint");
    Info.pDatatype = const_cast<char*>("RAW");
    Info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE Printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&Info));
    if (!Printer) return Fail("AddPrinter");
    ClosePrinter(Printer);
  }
  if (!SetDefaultPrinterA(PrinterName)) return Fail("SetDefaultPrinter");
  return true;
}

bool InstallTestPrinter(const char* PpdFile) {
  if (!Installed() && !InstallDriver(PpdFile)) return false;
  return RestoreTestPrinter();
}

bool RemoveTestPrinter() {
  HANDLE Printer = nullptr;
  PRINTER_DEFAULTSA Access{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterA(const_cast<char*>(PrinterName), &Printer, &Access)) return true;
  const bool Deleted = DeletePrinter(Printer);
  ClosePrinter(Printer);
  return Deleted || Fail("DeletePrinter");
}
