// The calculator's expression evaluator: one line of arithmetic in 80-bit
// extended precision, and the calculator's named values.
#pragma once

#include <cstdint>
#include <limits>

#include "rtl/Types.h"

static_assert(std::numeric_limits<long double>::digits == 64,
              "the evaluator counts in 80-bit extended precision");

constexpr int kMaxExpressionLength = 255;
constexpr int kMaxValueNameLength = 20;

// errorPosition is 0 on success, else the 1-based position where evaluation
// stopped (one past the end when the text ended too soon). After an error the
// value is the partial result reached by then. A whole expression followed by
// other characters stops at the first of them without an error message.
void EvaluateExpression(const AnsiString& text, long double& value, int32_t& errorPosition);
// "Error:  <what>." of the last evaluation; empty when it gave none.
const AnsiString& ExpressionErrorMessage();

// Names compare exactly, cut to kMaxValueNameLength characters.
void SetNamedValue(const AnsiString& name, long double value);
// 0 and notFound set when the name has no value.
void GetNamedValue(const AnsiString& name, long double& value, bool& notFound);
