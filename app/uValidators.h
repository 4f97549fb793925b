#pragma once
// Well-formedness of the owner's requisites as typed on the main form. The
// callers trim first; nothing here trims, raises or keeps state.

#include "rtl/Types.h"

bool IsValidINN(const AnsiString& S);
bool IsValidKPP(const AnsiString& S);
bool IsValidOGRN(const AnsiString& S);
bool IsValidOGRNIP(const AnsiString& S);
bool IsValidSNILS(const AnsiString& S);
bool IsValidEmail(const AnsiString& S);
bool IsValidFSSRegNum(const AnsiString& S);
bool IsValidPFRRegNum(const AnsiString& S);
// Puts the dashes into a 12-digit PFR number typed without them.
AnsiString FormatPFRRegNum(const AnsiString& S);
