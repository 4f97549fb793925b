#include "FieldFilter.h"

#include <algorithm>

#include "rtl/AnsiText.h"

namespace {

// Numbers typed by hand and stored as floats differ in the last digits.
constexpr double FloatTolerance = 0.00001;

bool Contains(const AnsiString& Text, const AnsiString& Part) {
  return Text.find(AnsiUpperCase(Part)) != AnsiString::npos;
}

bool NearOneOf(double Value, const std::vector<double>& Floats) {
  return std::any_of(Floats.begin(), Floats.end(), [Value](double Item) {
    return Item - FloatTolerance <= Value && Value <= Item + FloatTolerance;
  });
}

}  // namespace

std::unique_ptr<TFieldFilter> TFieldFilter::Copy() const {
  auto copy = std::make_unique<TFieldFilter>(*this);
  copy->Unmarked = false;
  return copy;
}

bool TFieldFilter::Accept() const {
  if (!Field) return false;
  switch (Kind) {
    case ffkSubstring:
      return Contains(AnsiUpperCase(Field->AsString()), Value);
    case ffkExact:
      return AnsiUpperCase(Field->AsString()) == AnsiUpperCase(Value);
    case ffkStringList: {
      AnsiString text = AnsiUpperCase(Field->AsString());
      return std::any_of(Strings.begin(), Strings.end(),
                         [&text](const AnsiString& Item) { return text == AnsiUpperCase(Item); });
    }
    case ffkSubstrings: {
      AnsiString text = AnsiUpperCase(Field->AsString());
      return std::any_of(Strings.begin(), Strings.end(),
                         [&text](const AnsiString& Item) { return Contains(text, Item); });
    }
    case ffkFloatInterval: {
      double value = Field->AsFloat();
      return FloatBeg - FloatTolerance <= value && value <= FloatEnd + FloatTolerance;
    }
    case ffkFloatList:
      return NearOneOf(Field->AsFloat(), Floats);
    case ffkDateInterval: {
      TDateTime value = Field->AsDateTime();
      return DateBeg <= value && value <= DateEnd;
    }
    case ffkDateList:
      return std::find(Dates.begin(), Dates.end(), Field->AsDateTime()) != Dates.end();
    case ffkBoolean:
      if (Field->IsNull()) return BoolValue == -1;
      return BoolValue != -1 && Field->AsBoolean() == (BoolValue == 1);
    default:
      return false;
  }
}
