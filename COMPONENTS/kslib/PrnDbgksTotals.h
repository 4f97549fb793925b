// Footer sums and counts that grid printing keeps itself over the rows it
// prints, and their printed text by the footer's and the field's formats.
#pragma once

#include "db/Fields.h"

// A total kept with four decimals, rounded at each addition (a field's
// money value adds exactly). A value or sum out of the 64-bit range marks
// it overflowed: it prints nothing.
class TPrintTotalKs {
 public:
  void Add(const Variant& Value);
  void Clear() { *this = TPrintTotalKs(); }
  bool Overflow() const { return FOverflow; }
  Currency Value() const { return FValue; }

 private:
  Currency FValue;
  bool FOverflow = false;
};

enum TPrintTotalKindKs { ptkSum, ptkCount };

// The text of a total: FooterFormat when set, else by Field's type and
// format (integer, float and currency, BCD); a sum of another type, of no
// field or out of range prints nothing.
AnsiString PrintedTotalText(const TPrintTotalKs& Total, TPrintTotalKindKs Kind,
                            const AnsiString& FooterFormat, TField* Field);
