#pragma once
// The PostScript test printer of the Wine prefix: our PPD (A4, 600 dpi)
// with Wine's PostScript driver on the port "FILE:", the default printer.

// Installs the driver with the PPD when the printer is missing, then adds
// the printer and makes it the default; false when a step fails (the
// error is written to stderr).
bool InstallTestPrinter(const char* PpdFile);
// Adds the printer again over the installed driver, as the default.
bool RestoreTestPrinter();
// Removes the printer (the driver stays), for the cases without one.
bool RemoveTestPrinter();
