// Footer totals kept by grid printing and their printed texts.
#include "COMPONENTS/kslib/PrnDbgksTotals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/platform/db/ArrayDataSet.h"

namespace {

TEST(PrintTotalTest, ExactToFourDecimals) {
  TPrintTotalKs Total;
  for (int I = 0; I < 10; ++I) Total.Add(0.1);
  Total.Add(-0.00005);  // rounds to even: -0.0000
  EXPECT_EQ(Total.Value(), Currency(1.0));
  EXPECT_FALSE(Total.Overflow());
  Total.Clear();
  EXPECT_EQ(Total.Value(), Currency());
}

TEST(PrintTotalTest, AValueOrSumBeyondRangeMarksItOverflowed) {
  const double Cases[][2] = {
      {1e15, 0},  // ×10000 leaves 64 bits
      {9e14, 9e14},
      {-9e14, -9e14},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {std::numeric_limits<double>::infinity(), 0},
  };
  for (const auto& C : Cases) {
    TPrintTotalKs Total;
    Total.Add(C[0]);
    Total.Add(C[1]);
    Total.Add(1);  // stays overflowed
    EXPECT_TRUE(Total.Overflow()) << C[0] << " + " << C[1];
  }
  TPrintTotalKs Fits;
  Fits.Add(9e14);
  EXPECT_FALSE(Fits.Overflow());
}

TPrintTotalKs TotalOf(double Value) {
  TPrintTotalKs Total;
  Total.Add(Value);
  return Total;
}

class TTotalFields : public TArrayDataSet {
 public:
  TTotalFields() : TArrayDataSet(nullptr) {
    FieldDefs()->Add("Int", ftInteger);
    FieldDefs()->Add("Large", ftLargeint);
    FieldDefs()->Add("Float", ftFloat);
    FieldDefs()->Add("Money", ftCurrency);
    FieldDefs()->Add("Bcd", ftBCD, 4);
    FieldDefs()->Add("Name", ftString, 10);
    Open();
  }
};

TEST(PrintedTotalTextTest, ByTheFootersFormatElseTheFieldsTypeAndFormat) {
  TTotalFields Fields;
  static_cast<TNumericField*>(Fields.FieldByName("Large"))->SetDisplayFormat("0' шт.'");
  struct Case {
    double Value;
    TPrintTotalKindKs Kind;
    const char* FooterFormat;
    const char* Field;
    const char* Expected;
  } Cases[] = {
      {3, ptkCount, "", nullptr, "3"},       {3, ptkCount, "0.00", nullptr, "3,00"},
      {6, ptkSum, "", "Int", "6"},           {6, ptkSum, "0.0", "Int", "6,0"},
      {6, ptkSum, "", "Large", "6 шт."},     {6, ptkSum, "#", "Large", "6"},
      {2.5, ptkSum, "", "Float", "2,5"},     {2.5, ptkSum, "", "Money", "2,50 р."},
      {1.2345, ptkSum, "", "Bcd", "1,2345"}, {1.2345, ptkSum, "0.00", "Bcd", "1,23"},
      {7, ptkSum, "", "Name", ""},           {7, ptkSum, "0", nullptr, ""},
  };
  for (const Case& C : Cases) {
    TField* Field = C.Field ? Fields.FieldByName(C.Field) : nullptr;
    EXPECT_EQ(PrintedTotalText(TotalOf(C.Value), C.Kind, C.FooterFormat, Field), C.Expected)
        << C.Value << " " << (C.Field ? C.Field : "-") << " " << C.FooterFormat;
  }
}

// A BCD field's value adds as the field holds it and its total prints
// from its own digits: 18 digits, and a half cent that a double of 1.005
// would lose.
TEST(PrintedTotalTextTest, MoneyAddsAndPrintsExactly) {
  TTotalFields Fields;
  TPrintTotalKs Total;
  Total.Add(Currency::FromScaled(123456789012345678));
  Total.Add(Currency::FromScaled(1));
  TField* Bcd = Fields.FieldByName("Bcd");
  EXPECT_EQ(PrintedTotalText(Total, ptkSum, "", Bcd), "12345678901234,5679");
  EXPECT_EQ(PrintedTotalText(Total, ptkSum, "0.000", Bcd), "12345678901234,568");
  EXPECT_EQ(PrintedTotalText(TotalOf(1.005), ptkSum, "0.00", Bcd), "1,01");
  static_cast<TBCDField*>(Bcd)->SetCurrency(true);
  EXPECT_EQ(PrintedTotalText(Total, ptkSum, "", Bcd), "12\xA0" "345\xA0" "678\xA0" "901\xA0" "234,57 р.");
  TPrintTotalKs Beyond;
  Beyond.Add("1234567890123456" + AnsiString(1, FormatSettings.DecimalSeparator) + "78");
  EXPECT_TRUE(Beyond.Overflow());
}

TEST(PrintedTotalTextTest, AnOverflowedTotalPrintsNothing) {
  TTotalFields Fields;
  const TPrintTotalKs Overflowed = TotalOf(1e16);
  EXPECT_EQ(PrintedTotalText(Overflowed, ptkSum, "", Fields.FieldByName("Float")), "");
  EXPECT_EQ(PrintedTotalText(Overflowed, ptkSum, "0", Fields.FieldByName("Int")), "");
  EXPECT_EQ(PrintedTotalText(Overflowed, ptkCount, "", nullptr), "");
}

}  // namespace
