// Installs the test printer in the Wine prefix it runs in, once. Tests
// always name an output file, so nothing waits for the port's file-name
// dialog.
//   AddTestPrinter <PPD file>
#include <cstdio>

#include "TestPrinter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: AddTestPrinter <PPD file>\n");
    return 2;
  }
  return InstallTestPrinter(argv[1]) ? 0 : 1;
}
