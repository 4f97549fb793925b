// Evaluates one expression per line of standard input and writes, per line:
// error position, sign, 64-bit mantissa and binary exponent of the value
// (value = sign * mantissa * 2^exponent), and the error message.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "Infix.h"

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    long double value;
    int32_t position;
    EvaluateExpression(line, value, position);
    int exponent = 0;
    const long double fraction = std::frexp(std::fabs(value), &exponent);
    const auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
    std::printf("%" PRId32 "\t%d\t%" PRIu64 "\t%d\t%s\n", position, std::signbit(value) ? -1 : 1,
                mantissa, exponent - 64, ExpressionErrorMessage().c_str());
  }
  return 0;
}
