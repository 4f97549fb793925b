// Exact decimal arithmetic on packed decimals: sums and products rounded
// once to the places asked, half away from zero, and their pictures.
#include "db/Bcd.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TBcd Bcd(const char* Text) {
  TBcd value;
  EXPECT_TRUE(TryStrToBCD(Text, '.', value)) << Text;
  return value;
}

TEST(BcdArithmeticTest, SumsAndProductsAreExactAndRoundOnceHalfAwayFromZero) {
  const struct {
    const char* A;
    char Op;
    const char* B;
    int Places;
    const char* Expected;
  } cases[] = {
      // 14986.685 exactly; a double product lies just below the half.
      {"13031.90", '*', "1.15", 2, "14986.69"},
      {"13031.90", '*', "1.15", 4, "14986.685"},
      {"-13031.90", '*', "1.15", 2, "-14986.69"},
      {"13031.90", '*', "-1.15", 2, "-14986.69"},
      {"0.01", '*', "0.5", 2, "0.01"},
      {"-0.01", '*', "0.5", 2, "-0.01"},
      {"0.01", '*', "0.4999", 2, "0"},
      // Rounds to zero, which has no sign.
      {"-0.001", '*', "0.5", 2, "0"},
      {"99.995", '*', "1", 2, "100"},
      {"5", '*', "1.5", 0, "8"},
      {"-5", '*', "1.5", 0, "-8"},
      {"12345678901234.5678", '*', "1.15", 4, "14197530736419.753"},
      // Beyond 64 bits scaled, exactly.
      {"922337203685477.5807", '*', "2", 4, "1844674407370955.1614"},
      {"99999999999999.9999", '*', "99999999999999.9999", 4, "9999999999999999980000000000"},
      {"99999999999999999999999999999999", '*', "99999999999999999999999999999999", 0,
       "9999999999999999999999999999999800000000000000000000000000000001"},
      {"0", '*', "123.456", 2, "0"},
      {"0.005", '+', "0", 2, "0.01"},
      {"-0.005", '+', "0", 2, "-0.01"},
      {"0.015", '+', "-0.01", 2, "0.01"},
      {"1", '+', "-1.005", 2, "-0.01"},
      {"-1.005", '+', "1", 2, "-0.01"},
      {"99.99", '+', "0.01", 2, "100"},
      {"-99.99", '+', "-0.01", 2, "-100"},
      {"0.3", '+', "-0.30", 2, "0"},
      {"-2.5", '+', "1", 0, "-2"},
      {"2.4999", '+', "0", 0, "2"},
      {"12345678901234.5678", '+', "0.0001", 4, "12345678901234.5679"},
      {"922337203685477.5807", '+', "0.0001", 4, "922337203685477.5808"},
      {"1.2", '+', "0.0345", 6, "1.2345"},
  };
  for (const auto& c : cases) {
    const std::string what =
        std::string(c.A) + " " + c.Op + " " + c.B + " to " + std::to_string(c.Places);
    SCOPED_TRACE(what);
    TBcd result;
    ASSERT_TRUE(c.Op == '*' ? BCDMultiply(Bcd(c.A), Bcd(c.B), c.Places, result)
                            : BCDAdd(Bcd(c.A), Bcd(c.B), c.Places, result));
    EXPECT_EQ(BCDToStr(result, '.'), c.Expected);
    EXPECT_EQ(result.SignSpecialPlaces & 0x3F, c.Places);
    // Either order gives the same.
    TBcd swapped;
    ASSERT_TRUE(c.Op == '*' ? BCDMultiply(Bcd(c.B), Bcd(c.A), c.Places, swapped)
                            : BCDAdd(Bcd(c.B), Bcd(c.A), c.Places, swapped));
    EXPECT_EQ(BCDCompare(result, swapped), 0);
  }
}

TEST(BcdArithmeticTest, ResultsThatDoNotFitAndMalformedValuesAreRefused) {
  const TBcd big = Bcd("99999999999999999999999999999999999999999");  // 41 digits
  TBcd result;
  EXPECT_FALSE(BCDMultiply(big, big, 0, result));
  // 41 + 20 digits still fit, 41 + 24 do not.
  EXPECT_TRUE(BCDMultiply(big, Bcd("1"), 20, result));
  EXPECT_FALSE(BCDMultiply(big, Bcd("1"), 24, result));
  EXPECT_FALSE(BCDAdd(Bcd("1"), Bcd("1"), 64, result));
  EXPECT_FALSE(BCDAdd(Bcd("1"), Bcd("1"), -1, result));
  TBcd malformed = Bcd("1");
  malformed.Fraction[0] = 0xA0;
  EXPECT_FALSE(BCDAdd(malformed, Bcd("1"), 2, result));
  EXPECT_FALSE(BCDMultiply(Bcd("1"), malformed, 2, result));
}

TEST(BcdArithmeticTest, PicturesShowTheExactValue) {
  TFormatSettings saved = FormatSettings;
  FormatSettings.DecimalSeparator = ',';
  FormatSettings.ThousandSeparator = ' ';
  const struct {
    const char* Format;
    const char* Value;
    const char* Expected;
  } cases[] = {
      // A double of 1.005 lies below the half and would show 1,00.
      {"0.00", "1.005", "1,01"},
      {"0.00", "-1.005", "-1,01"},
      {"0.00;(0.00)", "-1.005", "(1,01)"},
      {"0.00", "-0.004", "0,00"},
      {"#,##0.00", "1234567890123456.785", "1 234 567 890 123 456,79"},
      {"#,##0", "-2.5", "-3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(FormatBCD(c.Format, Bcd(c.Value)), c.Expected);
  }
  EXPECT_EQ(BCDToStrF(Bcd("1234567890123456.785"), ffFixed, 18, 2), "1234567890123456,79");
  FormatSettings = saved;
}

}  // namespace
