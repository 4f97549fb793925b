// One condition of the user's record filter: a test of one field of the
// current record against a text, a list, an interval or a Boolean value.
// The filter dialog builds a list of them; the data source applies it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "db/DB.h"

// Kinds of condition.
// Marked (or, with Unmarked, unmarked) records: the record marker decides.
inline constexpr uint8_t ffkMarked = 0;
inline constexpr uint8_t ffkSubstring = 1;
inline constexpr uint8_t ffkExact = 2;
inline constexpr uint8_t ffkStringList = 3;
inline constexpr uint8_t ffkFloatInterval = 4;
inline constexpr uint8_t ffkFloatList = 5;
inline constexpr uint8_t ffkDateInterval = 6;
inline constexpr uint8_t ffkDateList = 7;
inline constexpr uint8_t ffkBoolean = 8;
inline constexpr uint8_t ffkSubstrings = 9;

class TFieldFilter : public TObject {
 public:
  TFieldFilter() = default;
  // A copy of the test; the marked-records choice is not copied.
  std::unique_ptr<TFieldFilter> Copy() const;

  // Whether the field's value in the current record passes. Kind 0 and
  // unknown kinds accept nothing here.
  bool Accept() const;

  uint8_t Kind = ffkMarked;
  AnsiString Value;
  std::vector<AnsiString> Strings;
  std::vector<double> Floats;
  std::vector<TDateTime> Dates;
  double FloatBeg = 0, FloatEnd = 0;
  TDateTime DateBeg = 0, DateEnd = 0;
  // 1 true, 0 false, -1 null.
  int32_t BoolValue = 0;
  TField* Field = nullptr;
  bool Unmarked = false;
};

// The conditions of one filter; emptying it frees them.
using TFilterArr = std::vector<std::unique_ptr<TFieldFilter>>;
