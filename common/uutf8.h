#pragma once
// UTF-8 <-> UTF-16 for the Basic Multilingual Plane (one- to three-byte
// sequences), and UTF-8 -> ANSI through UTF-16. A surrogate pair is written as
// two three-byte sequences; reading, a four-byte sequence, an overlong form
// and an encoded surrogate are malformed input.

#include "rtl/Types.h"

// With Dest null: the number of characters + 1, or -1 for malformed input.
// Otherwise decodes into Dest and zero-terminates it; returns the characters
// written + 1 (MaxDestChars when Dest filled up; the last character then gives
// way to the zero) or -1 for malformed input. 0 when Source is null.
int Utf8ToWideBuffer(char16_t* Dest, unsigned MaxDestChars, const char* Source,
                     unsigned SourceBytes);
// With Dest null: the encoded size + 1. Otherwise encodes into Dest, stopping
// before a sequence that would not fit beside the terminating zero; returns the
// bytes written + 1. 0 when Source is null.
unsigned WideToUtf8Buffer(char* Dest, unsigned MaxDestBytes, const char16_t* Source,
                          unsigned SourceChars);

// One malformed sequence empties the whole result.
WideString Utf8ToWide(const AnsiString& S);
AnsiString Utf8ToAnsi(const AnsiString& S);
AnsiString WideToUtf8(const WideString& W);
