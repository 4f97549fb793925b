// AnsiString helpers: 1-based positions, trimming, case and comparison by our
// own Windows-1251 tables (identical in both builds), and code page
// conversion (cp1251 <-> UTF-16, cp1251 <-> cp866).
#pragma once

#include "rtl/Types.h"

// 1-based position of `sub` in `s`; 0 when absent or `sub` is empty.
int Pos(const AnsiString& sub, const AnsiString& s);
// As Pos, searching from the 1-based `offset`; 0 when offset is out of range.
int PosEx(const AnsiString& sub, const AnsiString& s, int offset = 1);
// Up to `count` characters from the 1-based `index`; an index below 1 counts
// as 1, past the end or a count below 1 gives "".
AnsiString Copy(const AnsiString& s, int index, int count);
// Removes up to `count` characters from the 1-based `index`; nothing when the
// index is outside the string.
void Delete(AnsiString& s, int index, int count);
// Inserts `sub` before the 1-based `index` (clamped to the string).
void Insert(const AnsiString& sub, AnsiString& s, int index);

// Trimming removes every character <= ' ' (controls included).
AnsiString Trim(const AnsiString& s);
AnsiString TrimLeft(const AnsiString& s);
AnsiString TrimRight(const AnsiString& s);

// ASCII-only case mapping and comparison.
AnsiString UpperCase(const AnsiString& s);
AnsiString LowerCase(const AnsiString& s);
int CompareStr(const AnsiString& a, const AnsiString& b);
int CompareText(const AnsiString& a, const AnsiString& b);
bool SameText(const AnsiString& a, const AnsiString& b);

// cp1251 case mapping (Latin, Cyrillic with Ё/ё and the other Cyrillic
// letters of the code page).
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
AnsiString AnsiUpperCase(const AnsiString& s);
AnsiString AnsiLowerCase(const AnsiString& s);
// Linguistic order: symbols, digits, Latin, then Cyrillic (Ё after Е);
// AnsiCompareStr puts a lower-case letter before its capital when the texts
// differ only in case. Results are <0, 0, >0.
int AnsiCompareStr(const AnsiString& a, const AnsiString& b);
int AnsiCompareText(const AnsiString& a, const AnsiString& b);
bool AnsiSameText(const AnsiString& a, const AnsiString& b);
bool AnsiSameStr(const AnsiString& a, const AnsiString& b);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
using TReplaceFlags = unsigned;
AnsiString StringReplace(const AnsiString& s, const AnsiString& oldPattern,
                         const AnsiString& newPattern, TReplaceFlags flags);

// Code pages. Characters without a counterpart become '?'.
WideString AnsiToWide(const AnsiString& s);
AnsiString WideToAnsi(const WideString& s);
char16_t AnsiCharToWide(char c);
AnsiString AnsiToOem(const AnsiString& s);
AnsiString OemToAnsi(const AnsiString& s);

// Upper-case hex, at least `digits` long; negative values in two's
// complement of the argument's width.
AnsiString IntToHex(int32_t value, int digits);
AnsiString IntToHex(uint32_t value, int digits);
AnsiString IntToHex(int64_t value, int digits);
AnsiString IntToHex(uint64_t value, int digits);

// The platform's Far-East test: the system's characters may take two bytes,
// in the code page FarEastCodePage (0: one byte each). Tests may stand in a
// double-byte code page.
extern unsigned FarEastCodePage;
inline bool SysLocaleFarEast() { return FarEastCodePage != 0; }
// A lead byte of a double-byte character in a Far-East locale.
bool IsLeadByte(char c);
// The bytes of the character at the 0-based index: 2 for a lead byte with
// a byte after it, else 1; stepping by it never splits a character.
size_t CharLength(const AnsiString& s, size_t index);
// The text less its last character (both bytes of a double-byte one).
AnsiString WithoutLastChar(const AnsiString& s);
