#include "Infix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Evaluation {
  long double value;
  int32_t position;
  AnsiString message;
};

Evaluation Evaluate(const AnsiString& text) {
  Evaluation e;
  EvaluateExpression(text, e.value, e.position);
  e.message = ExpressionErrorMessage();
  return e;
}

TEST(Infix, EvaluatesInOrderOfPrecedence) {
  const struct {
    const char* text;
    long double value;
  } cases[] = {
      {"2+3*4", 14},         {"-2+3", 1},          {"(2+3)*4", 20},
      {" 10 / 4 - 1 ", 1.5}, {"-(2-5)*2", 6},      {"2.5e2+1.5E-1", 250.15L},
      {"1e-40", 0},          {"0.5e-37*1", 0},     {"sqr(3)+sqrt(16)", 13},
      {"abs(-2.5)", 2.5},    {"ln(exp(2))", 2},    {"sqr(1e-20)", 0},
      {"exp(-100)", 0},      {"Sin(0)+COS(0)", 1}, {"arctan(1)*4-pi", 0},
      {"1e36*10", 1e37L},
  };
  for (const auto& c : cases) {
    const Evaluation e = Evaluate(c.text);
    EXPECT_EQ(e.position, 0) << c.text << ": " << e.message;
    EXPECT_EQ(e.message, "") << c.text;
    EXPECT_NEAR(static_cast<double>(e.value), static_cast<double>(c.value),
                1e-15 * std::fabs(static_cast<double>(c.value))) << c.text;
  }
  EXPECT_EQ(Evaluate("pi").value, 4 * std::atan(1.0L));
}

// A 64-bit mantissa in both builds: under 53-bit precision control 1 + 1e-19
// would round back to 1.
TEST(Infix, CountsWithSixtyFourBitMantissa) {
  const Evaluation e = Evaluate("1+0.0000000000000000001-1");
  EXPECT_EQ(e.value, std::ldexp(1.0L, -63));
}

TEST(Infix, ReportsEveryErrorWithItsPosition) {
  const struct {
    const char* text;
    int32_t position;
    const char* message;
  } cases[] = {
      {"", 1, "end of expression encountered where simple expression expected"},
      {"2+ ", 4, "end of expression encountered where term was expected"},
      {"2*", 3, "end of expression encountered where factor expected"},
      {"(2", 3, "end of expression encountered where \")\" was expected"},
      {"(2 3)", 4, "expression not followed by \")\""},
      {"2*-3", 3, "function, unsigned number, or \"(\" expected"},
      {"2.", 3, "end of expression encountered where decimal part expected"},
      {"2.x", 3, "decimal part of real number is missing"},
      {"2e", 3, "end of expression encountered where exponent expected"},
      {"2e-", 4, "end of expression encountered where exponent magnitude expected"},
      {"2ex", 3, "nonnumeric exponent encountered"},
      {"1e99999999999999999999", 23, "magnitude of exponent is too large"},
      {"1e38", 5, "constant is too big"},
      {"12222222222222222222222222222222222222", 38, "constant is too big"},
      {"9e36+9e36", 10, "overflow detected during addition"},
      {"-9e36-9e36", 11, "overflow detected during subtraction"},
      {"1e20*1e20", 10, "overflow detected during multiplication"},
      {"1e20/1e-20", 11, "overflow detected during division"},
      {"1/0", 4, "division by zero attempted"},
      {"abs", 4, "argument to \"ABS\" is missing"},
      {"sqrt(2,3)", 10, "extraneous argument supplied to function \"SQRT\""},
      {"pi(1)", 6, "extraneous argument supplied to function \"PI\""},
      {"ln(0)", 6, "argument to \"LN\" is other than positive"},
      {"sqrt(-1)", 9, "argument to \"SQRT\" is negative"},
      {"exp(100)", 9, "overflow detected while calculating \"EXP\""},
      {"sqr(1e20)", 10, "overflow detected during calculation of \"SQR\""},
      {"foo2(1)", 4, "the function \"FOO\" is unrecognized"},
      {"sqrt(2 3)", 8, "comma missing from function arguments"},
      {"sqrt(2", 7, "\")\" to terminate function arguments is missing"},
  };
  for (const auto& c : cases) {
    const Evaluation e = Evaluate(c.text);
    EXPECT_EQ(e.position, c.position) << c.text;
    EXPECT_EQ(e.message, AnsiString("Error:  ") + c.message + ".") << c.text;
  }
}

TEST(Infix, KeepsThePartialValueAfterAnError) {
  EXPECT_EQ(Evaluate("1/0").value, 0);
  EXPECT_EQ(Evaluate("5+1/0").value, 5);
  EXPECT_EQ(Evaluate("5+1/0").position, 6);
}

TEST(Infix, StopsAtCharactersAfterAWholeExpressionWithoutAMessage) {
  Evaluate("1/0");
  const Evaluation e = Evaluate("2 3");
  EXPECT_EQ(e.value, 2);
  EXPECT_EQ(e.position, 3);
  EXPECT_EQ(e.message, "");
}

TEST(Infix, RefusesTextsOverTwoHundredFiftyFiveCharacters) {
  AnsiString sum = "1";
  while (sum.size() < 255) sum += "+1";
  ASSERT_EQ(sum.size(), 255u);
  EXPECT_EQ(Evaluate(sum).value, 128);
  EXPECT_EQ(Evaluate(sum).position, 0);

  // An error at the end of the longest text lies at position 256.
  const Evaluation cut = Evaluate(sum.substr(0, 253) + "+ ");
  EXPECT_EQ(cut.position, 256);
  EXPECT_EQ(cut.message, "Error:  end of expression encountered where term was expected.");

  const Evaluation tooLong = Evaluate(sum + "0");
  EXPECT_EQ(tooLong.position, 256);
  EXPECT_EQ(tooLong.message, "Error:  expression is too long.");
  EXPECT_EQ(tooLong.value, 0);
}

TEST(Infix, NamedValuesAreFoundByTheirFirstTwentyCharacters) {
  SetNamedValue("Результат 1", 1.5L);
  SetNamedValue("ОченьДлинноеИмяПеременной", 7);
  SetNamedValue("Результат 1", 2.5L);
  long double value;
  bool notFound;
  GetNamedValue("Результат 1", value, notFound);
  EXPECT_FALSE(notFound);
  EXPECT_EQ(value, 2.5L);
  GetNamedValue("ОченьДлинноеИмяПерем", value, notFound);
  EXPECT_FALSE(notFound);
  EXPECT_EQ(value, 7);
  GetNamedValue("ОченьДлинноеИмяПеременнойДругой", value, notFound);
  EXPECT_FALSE(notFound);
  GetNamedValue("результат 1", value, notFound);
  EXPECT_TRUE(notFound);
  EXPECT_EQ(value, 0);
}

}  // namespace
