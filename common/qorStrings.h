#pragma once
// String primitives of the XML parser: whole-file reads, searching from a
// position and replacing in one pass.

#include "rtl/Types.h"

// Reads the whole file; a short read raises EReadError.
void LoadFileAsString(const AnsiString& FileName, AnsiString& Text);
// 1-based position of SubStr in S at or after Offset (1-based), 0 when none.
int PosFrom(const AnsiString& SubStr, const AnsiString& S, int Offset);
// Replaces every occurrence of OldText, left to right, without overlaps.
void FastReplace(const AnsiString& S, const AnsiString& OldText, const AnsiString& NewText,
                 AnsiString& Result);
