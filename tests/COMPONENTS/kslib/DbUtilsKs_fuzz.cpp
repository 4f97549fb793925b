// libFuzzer target: any text as a filter cell's input. The first byte picks
// the operand type and the decimal separator. A text that parses has a
// display text that parses too and is shown again the same.
#include <cstdint>
#include <cstdlib>

#include "DbUtilsKs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  TSTFilterExpressionKs Expr;
  Expr.OperandType = static_cast<TSTFilterOperandTypeKs>(Data[0] % 5);
  FormatSettings.DecimalSeparator = Data[0] & 0x80 ? '.' : ',';
  const AnsiString Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  try {
    ParseFilterExpression(Text, Expr);
  } catch (const Exception&) {
    return 0;
  }
  const AnsiString Shown = FilterExpressionText(Expr, false);
  TSTFilterExpressionKs Back;
  Back.OperandType = Expr.OperandType;
  ParseFilterExpression(Shown, Back);  // an exception here is a finding
  if (FilterExpressionText(Back, false) != Shown) std::abort();
  return 0;
}
