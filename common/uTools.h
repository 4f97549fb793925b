#pragma once
// The workstation's log: "error.log" beside the executable, one line per
// entry. Logging never raises; a failed write loses only that entry.

#include "rtl/Types.h"

// Appends "<date time> [Kind] [Source] Text"; the source pair is left out
// when Source is empty, and CR LF in Text becomes the character 7 so the
// entry stays on one line.
void WriteLogLine(const AnsiString& Kind, const AnsiString& Source, const AnsiString& Text);
void WriteEventLog(const AnsiString& Text, const AnsiString& Source);
