// What a user types into a column's filter cell, as a small expression: at
// most two conditions joined by AND or OR, each an operator with an operand.
// The display text of an expression parses back to the same expression.
// Also the registry that tells the grid's data service how to sort and
// filter a dataset of a given class.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "db/DB.h"
#include "rtl/Variants.h"

class TCustomDBGridKs;

// How operands are typed; set by the caller before parsing.
enum TSTFilterOperandTypeKs : uint8_t {
  fotNone = 0,
  fotString = 1,
  fotNumber = 2,
  fotDateTime = 3,
  fotBoolean = 4,
};

// Operator codes; the relations AND and OR share the numbering.
enum TSTFilterOperatorKs : uint8_t {
  fopNone = 0,
  fopEqual = 1,
  fopNotEqual = 2,
  fopGreater = 3,
  fopLess = 4,
  fopGreaterOrEqual = 5,
  fopLessOrEqual = 6,
  fopLike = 7,
  fopNotLike = 8,
  fopIn = 9,
  fopNotIn = 10,
  fopIsNull = 11,
  fopIsNotNull = 12,
  fopAnd = 13,
  fopOr = 14,
  fopValue = 15,
};

// Held in memory only; never written anywhere as a record.
struct TSTFilterExpressionKs {
  TSTFilterOperandTypeKs OperandType = fotNone;
  TSTFilterOperatorKs Operator1 = fopNone;
  Variant Operand1 = Variant::Null();      // a value or a variant array (in, not in)
  TSTFilterOperatorKs Relation = fopNone;  // fopNone, fopAnd or fopOr
  TSTFilterOperatorKs Operator2 = fopNone;
  Variant Operand2 = Variant::Null();
};

// Indexed by operator code.
extern const char* const FilterOperatorDisplayText[16];
extern const char* const FilterOperatorQueryText[16];
extern const char* const FilterMarker;

// The typing a field of this type gives its operands.
TSTFilterOperandTypeKs FilterOperandTypeOf(TFieldType FieldType);

// Operators and operands to none and Null; OperandType is kept.
void ClearFilterExpression(TSTFilterExpressionKs& Expr);

// A syntax error in a filter text. Position is 1-based in the trimmed text:
// where the offending token starts, or where a character was expected
// (one past the end when the text ended too soon).
class EFilterExpressionError : public Exception {
 public:
  EFilterExpressionError(const AnsiString& Message, int Position)
      : Exception(Message), Position(Position) {}
  int Position;
};

// Fills Expr from Text, typing operands by Expr.OperandType. A syntax error
// raises EFilterExpressionError with the message and the trimmed text; an
// operand that does not convert raises EConvertError. Either way Expr is
// left unchanged.
void ParseFilterExpression(const AnsiString& Text, TSTFilterExpressionKs& Expr);

// The text shown in the filter cell. OperandOnly shows just the operand
// (a list as 'a','b'), for filters whose text is a value picked from a list.
// Empty unless both OperandType and Operator1 are set.
AnsiString FilterExpressionText(const TSTFilterExpressionKs& Expr, bool OperandOnly);

// The expression as a condition on the field in a dataset's own filter
// syntax, in parentheses; empty unless Operator1 is set. Constants read
// back the same whatever the user's separators: numbers with a point,
// texts and dates quoted (dates in the user's format, with their time).
AnsiString FilterExpressionAsDatasetFilter(const AnsiString& FieldName,
                                           const TSTFilterExpressionKs& Expr);

// The condition that narrows a lookup list to the records whose display
// field contains the typed text: FieldName LIKE '%TEXT%', the text in
// upper case (cp1251) with its quotes doubled.
AnsiString LookupLikeFilter(const AnsiString& FieldName, const AnsiString& Text);

// ---- Dataset features -------------------------------------------------------

// How datasets of one class take a grid's sort markers and filter row.
class TDatasetFeaturesKs {
 public:
  virtual ~TDatasetFeaturesKs() = default;
  virtual void ApplySorting(TCustomDBGridKs* Grid, TDataSet* DataSet, bool Active) = 0;
  virtual void ApplyFilter(TCustomDBGridKs* Grid, TDataSet* DataSet, bool Active) = 0;
};

// Whether a dataset is of the class an entry stands for.
using TDatasetClassTestKs = std::function<bool(const TDataSet* DataSet)>;

template <class TDataSetClass>
TDatasetClassTestKs DatasetClassTest() {
  return [](const TDataSet* DataSet) {
    return dynamic_cast<const TDataSetClass*>(DataSet) != nullptr;
  };
}

// Depth is the class's number of ancestors: of the entries whose test a
// dataset passes, the deepest is its nearest class and wins; on equal depths
// the earlier registered. The registry owns Features from here on; an empty
// test or object is refused with EListError.
void RegisterDatasetFeatures(TDatasetClassTestKs Test, int Depth,
                             std::unique_ptr<TDatasetFeaturesKs> Features);
// Removes and frees the entry of Features (nothing when not registered).
void UnregisterDatasetFeatures(TDatasetFeaturesKs* Features);
// The nearest entry for the dataset Obj, or nullptr.
TDatasetFeaturesKs* FindDatasetFeatures(const TDataSet* Obj);
