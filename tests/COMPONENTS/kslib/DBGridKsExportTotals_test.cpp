// Footer totals of an export: exact sums in units of 1/10000, sums that
// leave the range or meet a value that is not finite show nothing, and the
// texts by field type.
#include "COMPONENTS/kslib/DBGridKsExportTotals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rtl/SysUtils.h"

namespace {

TEST(ExportFooterTotals, SumsAreExactAndEachEntryIsItsOwn) {
  TExportFooterTotals totals(2, 2);
  for (int i = 0; i < 3; ++i) totals.AddValue(0, 0, 0.1);
  totals.AddValue(0, 1, 1e14);
  totals.AddValue(0, 1, 0.0001);
  totals.AddValue(1, 0, -2.5);
  for (int i = 0; i < 3; ++i) totals.AddOne(1, 1);

  EXPECT_EQ(totals.Scaled(0, 0), 3000);
  EXPECT_EQ(totals.Scaled(0, 1), 1000000000000000001);
  EXPECT_EQ(totals.Scaled(1, 0), -25000);
  EXPECT_EQ(totals.Scaled(1, 1), 30000);
}

// A BCD field's value is added as the field holds it: an 18-digit amount
// exactly, one beyond the fixed-point range (given as its text) not at all.
TEST(ExportFooterTotals, MoneyAddsUpExactly) {
  TExportFooterTotals totals(1, 2);
  totals.AddValue(0, 0, Currency::FromScaled(123456789012345678));
  totals.AddValue(0, 0, Currency::FromScaled(1));
  const AnsiString beyond = "1234567890123456" + AnsiString(1, FormatSettings.DecimalSeparator) + "78";
  totals.AddValue(0, 1, beyond);
  EXPECT_EQ(totals.Scaled(0, 0), 123456789012345679);
  EXPECT_EQ(totals.Scaled(0, 1), std::nullopt);
}

TEST(ExportFooterTotals, OutOfRangeOrNotFiniteLeavesNoTotal) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* Name;
    std::vector<double> Values;
  } cases[] = {
      {"one value too large", {1e15}},
      {"a total too large", {9e14, 9e14}},
      {"a total too small", {-9e14, -9e14}},
      {"not a number", {1, std::nan("")}},
      {"infinity", {inf}},
      {"overflow stays when a later value would bring it back", {9e14, 9e14, -9e14}},
  };
  for (const auto& c : cases) {
    TExportFooterTotals totals(1, 2);
    for (double value : c.Values) totals.AddValue(0, 0, value);
    totals.AddValue(0, 1, 1);
    EXPECT_EQ(totals.Scaled(0, 0), std::nullopt) << c.Name;
    EXPECT_EQ(totals.Scaled(0, 1), 10000) << c.Name;
  }
}

TEST(ExportFooterTotals, TextsByFieldType) {
  const AnsiString comma(1, FormatSettings.DecimalSeparator);
  TIntegerField integer(nullptr);
  TFloatField number(nullptr);
  TBCDField bcd(nullptr);
  TStringField text(nullptr);

  EXPECT_EQ(FooterSumText(&integer, 1230000), "123");
  EXPECT_EQ(FooterSumText(&integer, -70000), "-7");
  EXPECT_EQ(FooterSumText(&number, 3000), "0" + comma + "3");
  number.SetPrecision(3);
  EXPECT_EQ(FooterSumText(&number, 123456), "12" + comma + "3");
  EXPECT_EQ(FooterSumText(&bcd, 123456), "12" + comma + "3456");
  EXPECT_EQ(FooterSumText(&text, 10000), "");
  integer.SetDisplayFormat("0.00");
  EXPECT_EQ(FooterSumText(&integer, 1230000), "123" + comma + "00");

  // Money is written from the exact total, which a double of 1.005 is not.
  bcd.SetDisplayFormat("0.00");
  EXPECT_EQ(FooterSumText(&bcd, 10050), "1" + comma + "01");
  bcd.SetDisplayFormat("");
  bcd.SetCurrency(true);
  EXPECT_EQ(FooterSumText(&bcd, 123456789012345675),
            "12\xA0" "345\xA0" "678\xA0" "901\xA0" "234" + comma + "57 р.");

  EXPECT_EQ(FooterCountText(30000), "3");
  EXPECT_EQ(FooterCountText(0), "0");
}

}  // namespace
