#pragma once
// Which GOST cryptographic service providers the machine has installed, and
// their versions, read from the registry once at start-up.

#include <windows.h>

#include "rtl/Types.h"

struct TCryptoProviders {
  bool KriptelPresent = false;
  bool OrvekPresent = false;
  AnsiString KriptelVersion = "?";
  AnsiString OrvekVersion = "?";
};

// Reads the providers under Root (HKEY_LOCAL_MACHINE at start-up), read
// only; keys, values or files that cannot be read are skipped.
TCryptoProviders ScanCryptoProviders(HKEY Root);

// The start-up scan and its result; nothing in the program reads it.
extern TCryptoProviders CryptoProviders;
void DetectCryptoProviders();
