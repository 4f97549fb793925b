// Named parameters in SQL text: each ":name" outside string literals (q'{...}'
// ones too), quoted identifiers and comments becomes a "?" for the server, and its name
// is kept in order; a "?" of the text is a parameter without a name. A plain name is kept in upper case (names match without
// regard to case); a double-quoted one (:"Name") as written.
#pragma once

#include <vector>

#include "rtl/Types.h"

struct TIBParsedSQL {
  AnsiString Text;                 // with "?" for each parameter
  std::vector<AnsiString> Names;  // one per "?", in order; repeats kept
};

TIBParsedSQL ParseParams(const AnsiString& SQL);
