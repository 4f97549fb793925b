// Number conversion, Format, FormatFloat, Currency and exceptions.
#include "rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Explicit Russian settings, so the results do not depend on the locale.
TFormatSettings Russian() { return TFormatSettings(); }

TFormatSettings WithPoint() {
  TFormatSettings fs;
  fs.DecimalSeparator = '.';
  fs.ThousandSeparator = ',';
  fs.CurrencyString = "$";
  fs.CurrencyFormat = 0;
  fs.NegCurrFormat = 0;
  return fs;
}

TEST(StrToInt, Table) {
  struct {
    const char* s;
    bool ok;
    int32_t value;
  } cases[] = {{"12", true, 12},          {"  -12", true, -12},
               {"+5", true, 5},           {"-2147483648", true, INT32_MIN},
               {"2147483647", true, INT32_MAX}, {"2147483648", false, 0},
               {"-2147483649", false, 0}, {"$FF", true, 255},
               {"0x1f", true, 31},        {"$FFFFFFFF", true, -1},
               {"$100000000", false, 0},  {"12 ", false, 0},
               {"", false, 0},            {"-", false, 0},
               {"1e3", false, 0},         {"1,0", false, 0},
               {"$", false, 0},           {"\xB9", false, 0}};
  for (auto c : cases) {
    int32_t v = 0;
    EXPECT_EQ(TryStrToInt(c.s, v), c.ok) << c.s;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.s;
      EXPECT_EQ(StrToInt(c.s), c.value);
    } else {
      EXPECT_THROW(StrToInt(c.s), EConvertError) << c.s;
      EXPECT_EQ(StrToIntDef(c.s, -7), -7);
    }
  }
}

TEST(StrToInt, ErrorMessageQuotesTheText) {
  try {
    StrToInt("abc");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' не является целым числом");
  }
}

TEST(StrToInt64, Limits) {
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64Def("x", 3), 3);
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToStr(-5), "-5");
}

TEST(StrToFloat, UsesOnlyTheSettingsDecimalSeparator) {
  struct {
    const char* s;
    bool ok;
    double value;
  } cases[] = {{"1,5", true, 1.5},        {" -2,25 ", true, -2.25},  {"1.5", false, 0},
               {"1e3", true, 1000},       {",5", true, 0.5},         {"5,", true, 5},
               {"1,5e-2", true, 0.015},   {"1 000,5", false, 0},     {"", false, 0},
               {",", false, 0},           {"1e", false, 0},          {"+3", true, 3},
               {"1e400", false, 0},       {"1e-400", true, 0},       {"0,1", true, 0.1}};
  const TFormatSettings ru = Russian();
  for (auto c : cases) {
    double v = -1;
    EXPECT_EQ(TryStrToFloat(c.s, v, ru), c.ok) << c.s;
    if (c.ok) EXPECT_EQ(v, c.value) << c.s;
    else EXPECT_THROW(StrToFloat(c.s, ru), EConvertError) << c.s;
  }
  EXPECT_EQ(StrToFloat("1.5", WithPoint()), 1.5);
  EXPECT_EQ(StrToFloatDef("1,5", 9, WithPoint()), 9);
}

// Extended precision keeps the digits a double loses, in both directions.
TEST(ExtendedFloat, FormatsAndReadsEighteenDigits) {
  const TFormatSettings ru = Russian();
  const long double third = 1.0L / 3;
  EXPECT_EQ(FloatToStrF(third, ffGeneral, 18, 0, ru), "0,333333333333333333");
  EXPECT_EQ(FloatToStrF(1.0 / 3, ffGeneral, 18, 0, ru), "0,333333333333333315");
  EXPECT_EQ(FloatToStrF(third, ffFixed, 18, 4, ru), "0,3333");
  EXPECT_EQ(FloatToStrF(2 / 3.0L, ffFixed, 18, 2, WithPoint()), "0.67");
  EXPECT_EQ(FloatToStrF(123456789012345678.0L, ffFixed, 18, 2, ru), "123456789012345678,00");
  EXPECT_EQ(FloatToStrF(1e30L, ffFixed, 18, 2, ru), "1E30") << "beyond the precision: general";

  EXPECT_EQ(StrToFloatL("0,333333333333333333333", ru), third);
  EXPECT_EQ(StrToFloatL("1.5", WithPoint()), 1.5L);
  EXPECT_EQ(StrToFloatL("123456789012345678", ru), 123456789012345678.0L);
  EXPECT_EQ(StrToFloatL("1e-5000", ru), 0);
  EXPECT_EQ(StrToFloatL("1e4000", ru), 1e4000L);
  long double v = 7;
  EXPECT_FALSE(TryStrToFloat("1e5000", v, ru));
  EXPECT_FALSE(TryStrToFloat("1.5", v, ru));
  EXPECT_EQ(v, 7);
  EXPECT_THROW(StrToFloatL("abc", ru), EConvertError);
  // Half a unit of the 18th digit at most.
  for (long double x : {third, 2 / 7.0L, -1e-20L / 3, 12345.678901234567891L}) {
    const long double back = StrToFloatL(FloatToStrF(x, ffGeneral, 18, 0, ru), ru);
    EXPECT_LE(std::fabs(back - x), std::fabs(x) * 5e-18L) << static_cast<double>(x);
  }
}

TEST(FloatToStr, GeneralFormat) {
  struct {
    double v;
    const char* text;
  } cases[] = {{1.5, "1,5"},
               {0.1, "0,1"},
               {-0.0, "0"},
               {100, "100"},
               {1e20, "1E20"},
               {1.5e-10, "1,5E-10"},
               {0.0001, "0,0001"},
               {0.00001, "1E-5"},
               {123456789012345.0, "123456789012345"},
               {1234567890123456.0, "1,23456789012346E15"},
               {1.0 / 3, "0,333333333333333"},
               {-2.5, "-2,5"},
               {0.30000000000000004, "0,3"}};
  for (auto c : cases) EXPECT_EQ(FloatToStr(c.v, Russian()), c.text) << c.v;
  EXPECT_EQ(FloatToStr(1.5, WithPoint()), "1.5");
  EXPECT_EQ(FloatToStr(NAN, Russian()), "NAN");
  EXPECT_EQ(FloatToStr(-INFINITY, Russian()), "-INF");
}

TEST(FormatFloat, Pictures) {
  struct {
    const char* format;
    double v;
    const char* text;
  } cases[] = {
      {"0.00", 1.5, "1,50"},
      {"0.00", 0.125, "0,13"},  // halves round away from zero
      {"0.00", -0.125, "-0,13"},
      {"0.00", 1.005, "1,00"},  // 1.005 is stored just below
      {"0.00", -0.001, "0,00"},
      {"#,##0.00", 1234567.891, "1\xA0" "234\xA0" "567,89"},
      {"#,##0", 999.5, "1\xA0" "000"},
      {"#,##0", 12, "12"},
      {"0.##", 1, "1"},
      {"0.##", 1.5, "1,5"},
      {"#.##", 0.5, ",5"},
      {".00", 12.5, "12,50"},
      {"000", 7, "007"},
      {"0", 2.5, "3"},
      {"#", 0, ""},
      {"0.00;(0.00)", -5, "(5,00)"},
      {"0.00;(0.00)", 5, "5,00"},
      {"0.00;-0.00;\"ноль\"", 0, "ноль"},
      {"0.00;-0.00;\"ноль\"", 0.001, "ноль"},
      {"0.00E+00", 12345, "1,23E+04"},
      {"0.00E-00", 0.000123, "1,23E-04"},
      {"0.0E+0", 12345, "1,2E+4"},
      {"\"Сумма: \"0.00 'р.'", 5, "Сумма: 5,00 р."},
      {"0.0#", 1.234, "1,23"},
      {"00-00", 1234, "12-34"},
      {"", 1.5, "1,5"},
  };
  for (auto c : cases) EXPECT_EQ(FormatFloat(c.format, c.v, Russian()), c.text) << c.format;
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, WithPoint()), "1,234.50");
}

TEST(Format, Specifiers) {
  const TFormatSettings ru = Russian();
  struct {
    AnsiString text;
    const char* expected;
  } cases[] = {
      {Format("%d", {42}, ru), "42"},
      {Format("[%5d]", {42}, ru), "[   42]"},
      {Format("[%-5d]", {42}, ru), "[42   ]"},
      {Format("%.3d", {7}, ru), "007"},
      {Format("%.3d", {-7}, ru), "-007"},
      {Format("%d", {int64_t{-9000000000}}, ru), "-9000000000"},
      {Format("%u", {-1}, ru), "4294967295"},
      {Format("%x", {255}, ru), "FF"},
      {Format("%x", {-1}, ru), "FFFFFFFF"},
      {Format("%x", {int64_t{-1}}, ru), "FFFFFFFFFFFFFFFF"},
      {Format("%.4x", {10}, ru), "000A"},
      {Format("%s-%s", {"a", AnsiString("бв")}, ru), "a-бв"},
      {Format("%.2s|%4s|%-4s|", {"abc", "ab", "ab"}, ru), "ab|  ab|ab  |"},
      {Format("%s", {'z'}, ru), "z"},
      {Format("[%*d] [%-*.*d]", {4, 5, 4, 2, 3}, ru), "[   5] [03  ]"},
      {Format("%1:s %0:s %s", {"a", "b"}, ru), "b a b"},
      {Format("%.2f", {2.5}, ru), "2,50"},
      {Format("%f", {-1.0 / 3}, ru), "-0,33"},
      {Format("%.1f", {0.05}, ru), "0,1"},
      {Format("%.0f", {2.5}, ru), "3"},
      {Format("%.2f", {3}, ru), "3,00"},
      {Format("%e", {1234.5}, ru), "1,23450000000000E+003"},
      {Format("%.3e", {-0.000123456}, ru), "-1,23E-004"},
      {Format("%g", {0.5}, ru), "0,5"},
      {Format("%g", {1e20}, ru), "1E20"},
      {Format("%n", {1234567.5}, ru), "1\xA0" "234\xA0" "567,50"},
      {Format("%.0n", {-1234.5}, ru), "-1\xA0" "235"},
      {Format("%m", {1234.5}, ru), "1\xA0" "234,50 р."},
      {Format("%m", {-5.0}, ru), "-5,00 р."},
      {Format("%m", {-5.0}, WithPoint()), "($5.00)"},
      {Format("%.4f", {Currency(1.2345)}, ru), "1,2345"},
      {Format("100%% %s", {"x"}, ru), "100% x"},
      {Format("no args", {}, ru), "no args"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, c.expected);
  int local = 0;
  AnsiString p = Format("%p", {static_cast<const void*>(&local)}, ru);
  EXPECT_EQ(p.size(), sizeof(void*) * 2);
}

TEST(Format, MismatchesRaise) {
  EXPECT_THROW(Format("%d", {"x"}), EConvertError);
  EXPECT_THROW(Format("%s", {5}), EConvertError);
  EXPECT_THROW(Format("%f", {"1"}), EConvertError);
  EXPECT_THROW(Format("%d %d", {1}), EConvertError);
  EXPECT_THROW(Format("%c", {1}), EConvertError);
  EXPECT_THROW(Format("%", {1}), EConvertError);
  EXPECT_THROW(Format("%5", {1}), EConvertError);
  try {
    Format("%d", {"x"});
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Формат '%d' неверен или несовместим с аргументом");
  }
}

TEST(Currency, RoundsHalfToEvenOnTheDecimalValue) {
  struct {
    double v;
    int64_t scaled;
  } cases[] = {{1.00005, 10000},  {1.00015, 10002},  {1.00025, 10002},  {-1.00005, -10000},
               {-1.00015, -10002}, {0.00004, 0},      {0.00006, 1},      {1.23456, 12346},
               {0.1, 1000},       {-0.00005, 0},     {123456789.12345, 1234567891234},
               {922337203685477.0, 9223372036854770000}};
  for (auto c : cases) EXPECT_EQ(Currency(c.v).Scaled, c.scaled) << c.v;
  EXPECT_THROW(Currency(1e15), EOverflow);
  EXPECT_THROW(Currency(NAN), EMathError);
}

TEST(Currency, TextConversions) {
  const TFormatSettings ru = Russian();
  struct {
    const char* s;
    bool ok;
    int64_t scaled;
  } cases[] = {{"1,23455", true, 12346},  // 5 after an odd digit goes up
               {"1,23445", true, 12344},  // and after an even one down
               {"1,234451", true, 12345},
               {"-0,00005", true, 0},
               {"922337203685477,5807", true, INT64_MAX},
               {"-922337203685477,5808", true, INT64_MIN},
               {"922337203685477,5808", false, 0},
               {"1.5", false, 0},
               {"", false, 0},
               {"12", true, 120000}};
  for (auto c : cases) {
    Currency v;
    EXPECT_EQ(TryStrToCurr(c.s, v, ru), c.ok) << c.s;
    if (c.ok) {
      EXPECT_EQ(v.Scaled, c.scaled) << c.s;
    }
  }
  EXPECT_THROW(StrToCurr("x", ru), EConvertError);
  EXPECT_EQ(CurrToStr(Currency::FromScaled(12345678), ru), "1234,5678");
  EXPECT_EQ(CurrToStr(Currency(-1.5), ru), "-1,5");
  EXPECT_EQ(CurrToStr(Currency(0.0), ru), "0");
  EXPECT_EQ(CurrToStr(Currency::FromScaled(INT64_MIN), ru), "-922337203685477,5808");
}

// An amount is written from its own digits: 1.005 and 19-digit amounts,
// which a double does not hold, come out exact.
TEST(FormatCurr, WritesTheExactAmount) {
  const struct {
    const char* format;
    int64_t scaled;
    const char* text;
  } cases[] = {
      {"0.00", 10050, "1,01"},
      {"0.00", -10050, "-1,01"},
      {"0.00;(0.00)", -10050, "(1,01)"},
      {"0.00", -40, "0,00"},
      {"#,##0.00", INT64_MAX, "922\xA0" "337\xA0" "203\xA0" "685\xA0" "477,58"},
      {"0.0000", INT64_MIN, "-922337203685477,5808"},
      {"", 12345, "1,2345"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatCurr(c.format, Currency::FromScaled(c.scaled)), c.text) << c.format << " " << c.scaled;
  EXPECT_EQ(CurrToStrF(Currency::FromScaled(10050), ffFixed, 2), "1,01");
  EXPECT_EQ(CurrToStrF(Currency::FromScaled(-10050), ffCurrency, 2), "-1,01 р.");
  EXPECT_EQ(CurrToStrF(Currency::FromScaled(123456789012345675), ffFixed, 2), "12345678901234,57");
}

TEST(Exceptions, MessagesAndHierarchy) {
  EAssertionFailed a("Проверка", "uTools", 12);
  EXPECT_EQ(a.Message(), "Проверка (uTools, line 12)");
  EXPECT_EQ(a.LineNumber(), 12);
  EXPECT_STREQ(a.what(), "Проверка (uTools, line 12)");
  EXPECT_THROW(Abort(), EAbort);
  try {
    RaiseLastOSError(2);
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
    EXPECT_NE(e.Message().find("2"), AnsiString::npos);
  }
  Exception e("x", 5);
  e.SetMessage("y");
  EXPECT_EQ(e.Message(), "y");
  EXPECT_EQ(e.HelpContext(), 5);
  const Exception& base = EZeroDivide("z");
  EXPECT_NE(dynamic_cast<const EMathError*>(&base), nullptr);
}

}  // namespace
