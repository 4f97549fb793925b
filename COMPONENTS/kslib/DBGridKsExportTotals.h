#pragma once
// The footer sums and counts of an export, exact in units of 1/10000, and
// their texts. A sum that leaves the 64-bit range, or meets a value that is
// not finite, has no total and its footer shows nothing.

#include <cstdint>
#include <optional>
#include <vector>

#include "db/DB.h"

class TExportFooterTotals {
 public:
  // All totals zero.
  TExportFooterTotals(int FooterRows, int Columns);

  // A field's value, exactly where it is money.
  void AddValue(int FooterRow, int Column, const Variant& Value);
  void AddOne(int FooterRow, int Column);
  // The total × 10000; none once it has overflowed.
  std::optional<int64_t> Scaled(int FooterRow, int Column) const;

 private:
  struct TTotal {
    int64_t Scaled = 0;
    bool Overflow = false;
  };
  void Add(int FooterRow, int Column, int64_t Scaled);

  int FColumns;
  std::vector<TTotal> FTotals;  // column + columns × footer row
};

// A count's text: the number of records counted.
AnsiString FooterCountText(int64_t Scaled);
// A sum's text by the summed field's type and display format; empty for
// types that are not summed.
AnsiString FooterSumText(TField* Field, int64_t Scaled);
