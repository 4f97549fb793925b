#pragma once
// Base64 of the standard alphabet, for PEM bodies and the crypto-server
// exchange. Byte strings travel in AnsiString.

#include "rtl/Types.h"

// One line, no breaks, "=" padding.
AnsiString EncodeBase64(const AnsiString& Data);
// Skips every character outside the alphabet and drops an incomplete last
// group; stops after the first group holding padding. Never fails.
AnsiString DecodeBase64(const AnsiString& Text);
