#include "Infix.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

// Every step keeps results within 37 decimal orders: beyond them overflow is
// an error and underflow becomes 0.
constexpr long double kMaxOrder = 37;
constexpr long double kMaxIntegerPart = 1e36L;
constexpr long double kBound = 1e37L;
// The largest exponent whose power of ten extended precision still holds.
constexpr int kMaxExponent = std::numeric_limits<long double>::max_exponent10 - 1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

long double PowerOfTen(int exponent) {
  long double power = 1, base = 10;
  for (;;) {
    if (exponent & 1) power *= base;
    exponent >>= 1;
    if (!exponent) return power;
    base *= base;
  }
}

// Decimal order of a product (sign +1) or quotient (sign -1) of non-zero values.
long double Order(long double a, long double b, int sign) {
  return std::log10(std::fabs(a)) + sign * std::log10(std::fabs(b));
}

class Parser {
 public:
  explicit Parser(const AnsiString& text) : text_(text) {}

  long double Run(int32_t& errorPosition, AnsiString& message) {
    long double value = SimpleExpression();
    if (!failed_) SkipBlanks();
    errorPosition = failed_ || !AtEnd() ? static_cast<int32_t>(pos_ + 1) : 0;
    message = message_;
    return value;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Current() const { return AtEnd() ? '\0' : text_[pos_]; }
  void SkipBlanks() {
    while (Current() == ' ') ++pos_;
  }
  long double Fail(const AnsiString& what) {
    failed_ = true;
    message_ = "Error:  " + what + ".";
    return 0;
  }

  long double SimpleExpression() {
    SkipBlanks();
    if (AtEnd()) return Fail("end of expression encountered where simple expression expected");
    const char sign = Current();
    if (sign == '+' || sign == '-') ++pos_;
    long double value = Term();
    if (sign == '-') value = -value;
    for (;;) {
      if (failed_) return value;
      SkipBlanks();
      const char op = Current();
      if (op != '+' && op != '-') return value;
      ++pos_;
      const long double operand = Term();
      if (failed_) return value;
      value = op == '+' ? Add(value, operand) : Subtract(value, operand);
    }
  }

  long double Term() {
    SkipBlanks();
    if (AtEnd()) return Fail("end of expression encountered where term was expected");
    long double value = Factor();
    for (;;) {
      if (failed_) return value;
      SkipBlanks();
      const char op = Current();
      if (op != '*' && op != '/') return value;
      ++pos_;
      const long double operand = Factor();
      if (failed_) return value;
      value = op == '*' ? Multiply(value, operand) : Divide(value, operand);
    }
  }

  long double Factor() {
    SkipBlanks();
    if (AtEnd()) return Fail("end of expression encountered where factor expected");
    const char c = Current();
    if (IsDigit(c)) return Number();
    if (IsLetter(c)) return Function();
    if (c != '(') return Fail("function, unsigned number, or \"(\" expected");
    ++pos_;
    const long double value = SimpleExpression();
    if (failed_) return value;
    SkipBlanks();
    if (AtEnd()) return Fail("end of expression encountered where \")\" was expected");
    if (Current() != ')') return Fail("expression not followed by \")\"");
    ++pos_;
    return value;
  }

  long double Number() {
    long double mantissa = 0;
    for (; IsDigit(Current()); ++pos_) {
      if (mantissa > kMaxIntegerPart) return Fail("constant is too big");
      mantissa = mantissa * 10 + (Current() - '0');
    }
    if (Current() == '.') {
      ++pos_;
      if (AtEnd()) return Fail("end of expression encountered where decimal part expected");
      if (!IsDigit(Current())) return Fail("decimal part of real number is missing");
      long double scale = 1;
      for (; IsDigit(Current()); ++pos_) {
        scale /= 10;
        mantissa += (Current() - '0') * scale;
      }
    }
    int exponent = 0;
    bool negativeExponent = false;
    if (Current() == 'e' || Current() == 'E') {
      ++pos_;
      if (AtEnd()) return Fail("end of expression encountered where exponent expected");
      if (Current() == '+' || Current() == '-') negativeExponent = text_[pos_++] == '-';
      if (AtEnd()) return Fail("end of expression encountered where exponent magnitude expected");
      if (!IsDigit(Current())) return Fail("nonnumeric exponent encountered");
      // Saturates one past the limit, so no run of digits overflows it.
      for (; IsDigit(Current()); ++pos_)
        exponent = std::min(exponent * 10 + (Current() - '0'), kMaxExponent + 1);
      if (exponent > kMaxExponent) return Fail("magnitude of exponent is too large");
    }
    if (mantissa == 0) return 0;
    const long double order = std::log10(mantissa) + (negativeExponent ? -exponent : exponent);
    if (order < -kMaxOrder) return 0;
    if (order > kMaxOrder) return Fail("constant is too big");
    const long double scale = PowerOfTen(exponent);
    return negativeExponent ? mantissa * (1 / scale) : mantissa * scale;
  }

  long double Function() {
    AnsiString name;
    for (; IsLetter(Current()); ++pos_) name += static_cast<char>(std::toupper(Current()));
    std::vector<long double> args;
    SkipBlanks();
    if (Current() == '(') {
      ++pos_;
      for (;;) {
        const long double arg = SimpleExpression();
        if (failed_) return 0;
        args.push_back(arg);
        SkipBlanks();
        if (AtEnd()) return Fail("\")\" to terminate function arguments is missing");
        const char c = text_[pos_++];
        if (c == ')') break;
        if (c != ',') {
          --pos_;
          return Fail("comma missing from function arguments");
        }
      }
    }
    return Call(name, args);
  }

  long double Call(const AnsiString& name, const std::vector<long double>& args) {
    static const char* const kUnary[] = {"ABS", "ARCTAN", "COS", "EXP", "LN", "SIN", "SQR", "SQRT"};
    const AnsiString quoted = "\"" + name + "\"";
    if (name == "PI") {
      if (!args.empty()) return Fail("extraneous argument supplied to function " + quoted);
      return 4 * std::atan(1.0L);
    }
    if (std::find(std::begin(kUnary), std::end(kUnary), name) == std::end(kUnary))
      return Fail("the function " + quoted + " is unrecognized");
    if (args.empty()) return Fail("argument to " + quoted + " is missing");
    if (args.size() > 1) return Fail("extraneous argument supplied to function " + quoted);
    const long double x = args[0];
    if (name == "ABS") return std::fabs(x);
    if (name == "ARCTAN") return std::atan(x);
    if (name == "COS") return std::cos(x);
    if (name == "SIN") return std::sin(x);
    if (name == "LN") {
      if (x <= 0) return Fail("argument to " + quoted + " is other than positive");
      return std::log(x);
    }
    if (name == "SQRT") {
      if (x < 0) return Fail("argument to " + quoted + " is negative");
      return std::sqrt(x);
    }
    if (name == "EXP") {
      const long double order = x / std::log(10.0L);
      if (order < -kMaxOrder) return 0;
      if (order > kMaxOrder) return Fail("overflow detected while calculating " + quoted);
      return std::exp(x);
    }
    // SQR
    if (x == 0) return 0;
    const long double square = x * x;
    const long double order = std::log10(square);
    if (order < -kMaxOrder) return 0;
    if (order > kMaxOrder) return Fail("overflow detected during calculation of " + quoted);
    return square;
  }

  long double Add(long double a, long double b) {
    if ((a > 0 && b > 0 && a > kBound - b) || (a < 0 && b < 0 && a < -kBound - b))
      return Fail("overflow detected during addition");
    return a + b;
  }

  long double Subtract(long double a, long double b) {
    if ((a < 0 && b > 0 && a < b - kBound) || (a > 0 && b < 0 && a > b + kBound))
      return Fail("overflow detected during subtraction");
    return a - b;
  }

  long double Multiply(long double a, long double b) {
    if (a == 0 || b == 0) return 0;
    const long double order = Order(a, b, 1);
    if (order < -kMaxOrder) return 0;
    if (order > kMaxOrder) return Fail("overflow detected during multiplication");
    return a * b;
  }

  long double Divide(long double a, long double b) {
    if (b == 0) return Fail("division by zero attempted");
    if (a == 0) return 0;
    const long double order = Order(a, b, -1);
    if (order < -kMaxOrder) return 0;
    if (order > kMaxOrder) return Fail("overflow detected during division");
    return a / b;
  }

  const AnsiString& text_;
  size_t pos_ = 0;
  bool failed_ = false;
  AnsiString message_;
};

AnsiString lastMessage;
std::map<AnsiString, long double> namedValues;

}  // namespace

void EvaluateExpression(const AnsiString& text, long double& value, int32_t& errorPosition) {
  if (text.size() > static_cast<size_t>(kMaxExpressionLength)) {
    // Evaluating a cut text would pass off a part as the whole.
    lastMessage = "Error:  expression is too long.";
    value = 0;
    errorPosition = kMaxExpressionLength + 1;
    return;
  }
  value = Parser(text).Run(errorPosition, lastMessage);
}

const AnsiString& ExpressionErrorMessage() { return lastMessage; }

void SetNamedValue(const AnsiString& name, long double value) {
  namedValues[name.substr(0, kMaxValueNameLength)] = value;
}

void GetNamedValue(const AnsiString& name, long double& value, bool& notFound) {
  const auto it = namedValues.find(name.substr(0, kMaxValueNameLength));
  notFound = it == namedValues.end();
  value = notFound ? 0 : it->second;
}
