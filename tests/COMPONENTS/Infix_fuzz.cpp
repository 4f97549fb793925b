// The evaluator on arbitrary text: no crash, no undefined behaviour, and a
// result that keeps its own rules (a position within the text plus one, a
// message only with a position, a finite value of bounded magnitude).
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "Infix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const AnsiString Text(reinterpret_cast<const char*>(Data), Size);
  long double Value;
  int32_t Position;
  EvaluateExpression(Text, Value, Position);
  const bool TooLong = Size > static_cast<size_t>(kMaxExpressionLength);
  if (Position < 0 || Position > static_cast<int32_t>(TooLong ? kMaxExpressionLength + 1 : Size + 1))
    std::abort();
  if (!ExpressionErrorMessage().empty() && Position == 0) std::abort();
  if (!std::isfinite(Value)) std::abort();
  if (Position == 0 && std::fabs(Value) > 2e37L) std::abort();
  return 0;
}
