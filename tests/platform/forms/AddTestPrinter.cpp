// Installs the test printer in the Wine prefix it runs in, once: the
// PostScript driver with our PPD (A4, 600 dpi) on the port "FILE:", made the
// default printer. Tests always name an output file, so nothing waits for
// the port's file-name dialog.
//   AddTestPrinter <PPD file>
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <string>

namespace {

constexpr char PrinterName[] = "Keystall Test Printer";
constexpr char DriverName[] = "Keystall Test PostScript";
constexpr char DataFile[] = "keystall-test.ppd";

int Fail(const char* What) {
  std::fprintf(stderr, "AddTestPrinter: %s failed, error %lu\n", What, GetLastError());
  return 1;
}

bool Installed() {
  HANDLE Printer = nullptr;
  if (!OpenPrinterA(const_cast<char*>(PrinterName), &Printer, nullptr)) return false;
  ClosePrinter(Printer);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: AddTestPrinter <PPD file>\n");
    return 2;
  }
  if (!Installed()) {
    char Directory[MAX_PATH];
    DWORD Needed = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(Directory),
                                    sizeof Directory, &Needed))
      return Fail("GetPrinterDriverDirectory");
    const std::string Target = std::string(Directory) + "\\" + DataFile;
    if (!CopyFileA(argv[1], Target.c_str(), FALSE)) return Fail("copying the PPD");

    DRIVER_INFO_3A Driver{};
    Driver.cVersion = 3;
    Driver.pName = const_cast<char*>(DriverName);
    Driver.pDriverPath = const_cast<char*>("wineps.drv");
    Driver.pDataFile = const_cast<char*>(DataFile);
    Driver.pConfigFile = const_cast<char*>("wineps.drv");
    if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&Driver)))
      return Fail("AddPrinterDriver");

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
  return 0;
}
