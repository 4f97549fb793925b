// A condition against each kind of field value, null values included.
#include <gtest/gtest.h>

#include <optional>

#include "tests/platform/db/ArrayDataSet.h"
#include "FieldFilter.h"
#include "rtl/SysUtils.h"

namespace {

class FieldFilterTest : public testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("Name", ftString, 40);
    Table.FieldDefs()->Add("Amount", ftFloat);
    Table.FieldDefs()->Add("Born", ftDateTime);
    Table.FieldDefs()->Add("Paid", ftBoolean);
    Table.Open();
  }
  // One record with the value in the field; Null leaves it empty.
  void Hold(const char* FieldName, const Variant& Value) {
    Table.Append();
    if (!Value.IsNull()) Table.FieldByName(FieldName)->SetValue(Value);
    Table.Post();
  }
  TFieldFilter On(const char* FieldName, uint8_t Kind) {
    TFieldFilter filter;
    filter.Field = Table.FieldByName(FieldName);
    filter.Kind = Kind;
    return filter;
  }
  TArrayDataSet Table{nullptr};
};

struct TextCase {
  uint8_t Kind;
  const char* Value;
  std::vector<AnsiString> Strings;
  const char* Text;  // null: the field is null
  bool Accepted;
};

TEST_F(FieldFilterTest, TextKindsCompareUpperCasedTextsCyrillicToo) {
  const TextCase cases[] = {
      {ffkSubstring, "ab", {}, "XABY", true},
      {ffkSubstring, "ab", {}, "", false},
      {ffkSubstring, "ab", {}, nullptr, false},
      {ffkSubstring, "ёж", {}, "ЕЖЁЖИК", true},
      {ffkSubstring, "иван", {}, "Петр ИВАНОВ", true},
      {ffkSubstring, "", {}, "any", true},
      {ffkExact, "Иванов", {}, "иВАНОВ", true},
      {ffkExact, "Иванов", {}, "Иванова", false},
      {ffkExact, "", {}, nullptr, true},
      {ffkStringList, "", {"москва", "Тверь"}, "ТВЕРЬ", true},
      {ffkStringList, "", {"москва", "Тверь"}, "Тверская", false},
      {ffkStringList, "", {}, "Тверь", false},
      {ffkSubstrings, "", {"ова", "ев"}, "Сергеевич", true},
      {ffkSubstrings, "", {"ова", "ев"}, "Петр", false},
  };
  for (const TextCase& c : cases) {
    Hold("Name", c.Text ? Variant(AnsiString(c.Text)) : Variant::Null());
    TFieldFilter filter = On("Name", c.Kind);
    filter.Value = c.Value;
    filter.Strings = c.Strings;
    EXPECT_EQ(filter.Accept(), c.Accepted)
        << "kind " << int(c.Kind) << " '" << c.Value << "' on '" << (c.Text ? c.Text : "null") << "'";
  }
}

TEST_F(FieldFilterTest, NumbersPassWithinATenThousandthOfABound) {
  struct Case {
    uint8_t Kind;
    std::vector<double> Floats;
    double Beg, End;
    std::optional<double> Value;
    bool Accepted;
  };
  const Case cases[] = {
      {ffkFloatInterval, {}, 2.5, 2.5, 2.500005, true},
      {ffkFloatInterval, {}, 2.5, 2.5, 2.499995, true},
      {ffkFloatInterval, {}, 2.5, 2.5, 2.5001, false},
      {ffkFloatInterval, {}, 2.5, 2.5, 2.4999, false},
      {ffkFloatInterval, {}, -1, 1, std::nullopt, true},  // null reads as 0
      {ffkFloatInterval, {}, 1, 2, std::nullopt, false},
      {ffkFloatList, {1, 7.25}, 0, 0, 7.250009, true},
      {ffkFloatList, {1, 7.25}, 0, 0, 7.2502, false},
      {ffkFloatList, {}, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    Hold("Amount", c.Value ? Variant(*c.Value) : Variant::Null());
    TFieldFilter filter = On("Amount", c.Kind);
    filter.Floats = c.Floats;
    filter.FloatBeg = c.Beg;
    filter.FloatEnd = c.End;
    EXPECT_EQ(filter.Accept(), c.Accepted) << int(c.Kind) << " " << c.Value.value_or(-999);
  }
}

TEST_F(FieldFilterTest, DatesCompareWithTheirTime) {
  TDateTime day = EncodeDate(2024, 3, 15);
  TDateTime noon = day + 0.5;
  struct Case {
    uint8_t Kind;
    TDateTime Beg, End;
    std::vector<TDateTime> Dates;
    TDateTime Value;
    bool Accepted;
  };
  const Case cases[] = {
      {ffkDateInterval, day, day, {}, day, true},
      {ffkDateInterval, day, day, {}, noon, false},
      {ffkDateInterval, day, day + 1, {}, noon, true},
      {ffkDateInterval, day, day + 1, {}, day - 0.001, false},
      {ffkDateList, 0, 0, {day, noon}, noon, true},
      {ffkDateList, 0, 0, {day}, noon, false},
  };
  for (const Case& c : cases) {
    Hold("Born", VarFromDateTime(c.Value));
    TFieldFilter filter = On("Born", c.Kind);
    filter.DateBeg = c.Beg;
    filter.DateEnd = c.End;
    filter.Dates = c.Dates;
    EXPECT_EQ(filter.Accept(), c.Accepted) << int(c.Kind) << " " << DateTimeToStr(c.Value);
  }
}

TEST_F(FieldFilterTest, ABooleanConditionTellsNullFromFalse) {
  struct Case {
    int32_t BoolValue;
    std::optional<bool> Value;
    bool Accepted;
  };
  const Case cases[] = {
      {-1, std::nullopt, true}, {-1, true, false},          {-1, false, false},
      {1, std::nullopt, false}, {1, true, true},            {1, false, false},
      {0, std::nullopt, false}, {0, false, true},           {0, true, false},
  };
  for (const Case& c : cases) {
    Hold("Paid", c.Value ? Variant(*c.Value) : Variant::Null());
    TFieldFilter filter = On("Paid", ffkBoolean);
    filter.BoolValue = c.BoolValue;
    EXPECT_EQ(filter.Accept(), c.Accepted) << c.BoolValue << " " << (c.Value ? int(*c.Value) : -1);
  }
}

TEST_F(FieldFilterTest, MarkedAndUnknownKindsAcceptNothing) {
  Hold("Name", AnsiString("x"));
  for (uint8_t kind : {ffkMarked, uint8_t(10), uint8_t(255)}) {
    TFieldFilter filter = On("Name", kind);
    filter.Value = "x";
    EXPECT_FALSE(filter.Accept()) << int(kind);
  }
}

TEST_F(FieldFilterTest, ACopyKeepsTheTestButNotTheMarkedChoice) {
  TFieldFilter source = On("Amount", ffkFloatList);
  source.Value = "v";
  source.Strings = {"a"};
  source.Floats = {1.5};
  source.Dates = {2};
  source.FloatBeg = 3;
  source.FloatEnd = 4;
  source.DateBeg = 5;
  source.DateEnd = 6;
  source.BoolValue = -1;
  source.Unmarked = true;
  std::unique_ptr<TFieldFilter> copy = source.Copy();
  EXPECT_EQ(copy->Kind, ffkFloatList);
  EXPECT_EQ(copy->Field, source.Field);
  EXPECT_EQ(copy->Value, "v");
  EXPECT_EQ(copy->Strings, source.Strings);
  EXPECT_EQ(copy->Floats, source.Floats);
  EXPECT_EQ(copy->Dates, source.Dates);
  EXPECT_EQ(copy->FloatBeg + copy->FloatEnd + copy->DateBeg + copy->DateEnd, 18);
  EXPECT_EQ(copy->BoolValue, -1);
  EXPECT_FALSE(copy->Unmarked);
}

}  // namespace
