#pragma once
// The workstation's log: "error.log" beside the executable, one line per
// entry. Logging never raises; a failed write loses only that entry.

#include <vector>

#include "rtl/Types.h"

// Appends "<date time> [Kind] [Source] Text"; the source pair is left out
// when Source is empty, and CR LF in Text becomes the character 7 so the
// entry stays on one line.
void WriteLogLine(const AnsiString& Kind, const AnsiString& Source, const AnsiString& Text);
void WriteEventLog(const AnsiString& Text, const AnsiString& Source);

// ---- File and string helpers -------------------------------------------------

// Adds "\" unless the path ends with one; an empty path gives "\".
AnsiString IncludeBackslash(const AnsiString& Path);
// The whole file, bytes as characters (file-stream errors pass through).
AnsiString ReadFileToString(const AnsiString& FileName);
// Trims S and, when Width is longer, fills it up from the left.
AnsiString PadLeftTo(const AnsiString& S, int Width, char Fill);
// Cuts S at every Separator character; empty pieces stay; an empty S gives
// no piece. The piece after the last separator is cut to 10,000 characters.
void SplitString(const AnsiString& S, const AnsiString& Separator, std::vector<AnsiString>& Parts);
// Rounds to Digits decimals, halves to even; negative values mirror the
// positive ones.
double RoundToDigits(int Digits, double Value);
// UTC, through the packed DOS date and time: odd seconds round down, and
// dates outside 1980..2107 give 0.
TDateTime UnixTimeToDateTime(uint32_t Seconds);
// Raises Exception with the message First + LF + CR + Second.
[[noreturn]] void RaiseJoinedError(const AnsiString& First, const AnsiString& Second);
