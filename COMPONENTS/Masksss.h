// The LIKE matcher of the filter expressions: case-insensitive (cp1251),
// LikeAnyRunChar for any run of characters, LikeOneChar for one character.
// Greedy and without backtracking: each middle segment takes its leftmost
// place, only the tail is anchored to the end.
#pragma once

#include "rtl/Types.h"

extern char LikeAnyRunChar;
extern char LikeOneChar;

bool MatchesLike(const AnsiString& Value, const AnsiString& Pattern);
