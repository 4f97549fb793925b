#include "zynExprEval.h"

#include <cmath>

#include "Masksss.h"
#include "rtl/AnsiText.h"

namespace {

bool IsNull(const Variant& V) { return V.IsNull() || V.IsEmpty(); }

[[noreturn]] void Unsupported(int Operator) {
  throw EMemTableFilterError(Format("Оператор не поддерживается (%d).", {Operator}));
}

// Upper or lower case for the Latin letters only.
AnsiString LatinCase(AnsiString Text, bool Upper) {
  for (char& c : Text) {
    if (Upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!Upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return Text;
}

bool Compare(TExprOperator Operator, const Variant& A, const Variant& B) {
  switch (Operator) {
    case eoEQ:
      return A == B;
    case eoNE:
      return A != B;
    case eoGT:
      return A > B;
    case eoLT:
      return A < B;
    case eoGE:
      return A >= B;
    default:
      return A <= B;
  }
}

// The values of a list, an element that is an array giving its members.
void Collect(const Variant& Value, std::vector<Variant>& Values) {
  if (!Value.IsArray()) {
    Values.push_back(Value);
    return;
  }
  for (int i = VarArrayLowBound(Value, 1); i <= VarArrayHighBound(Value, 1); ++i)
    Values.push_back(Value[i]);
}

}  // namespace

TzynExprEvaluator::TzynExprEvaluator(TDataSet* DataSet, const AnsiString& Text,
                                     TFilterOptions Options)
    : FParser(DataSet, Text, Options) {
  std::vector<const TExprNode*> pending{FParser.Root()};
  while (!pending.empty()) {
    const TExprNode* node = pending.back();
    pending.pop_back();
    if (!node) continue;
    if (node->NodeClass == ncField) FFields[node] = DataSet->FieldByName(node->Name);
    for (const TExprNode* operand : node->Operands) pending.push_back(operand);
  }
}

bool TzynExprEvaluator::Accepts() {
  Variant result = Evaluate(FParser.Root());
  return !IsNull(result) && result.AsBoolean();
}

Variant TzynExprEvaluator::Evaluate(const TExprNode* Node) {
  auto operand = [&](size_t i) { return Evaluate(Node->Operands.at(i)); };
  switch (Node->NodeClass) {
    case ncUnary: {
      Variant value = operand(0);
      switch (Node->Operator) {
        case eoIsBlank:
          return Variant(IsNull(value));
        case eoNotBlank:
          return Variant(!IsNull(value));
        case eoMinus:
          return IsNull(value) ? Variant::Null() : Variant(0) - value;
        case eoNot:
          if (IsNull(value)) return Variant::Null();
          return VarType(value) == varBoolean ? Variant(!value.AsBoolean()) : Variant(~value.AsInt64());
        case eoUpper:
        case eoLower:
          return IsNull(value) ? Variant::Null()
                               : Variant(LatinCase(value.AsString(), Node->Operator == eoUpper));
        default:
          Unsupported(Node->Operator);
      }
    }
    case ncBinary: {
      Variant a = operand(0), b = operand(1);
      bool null = IsNull(a) || IsNull(b);
      switch (Node->Operator) {
        case eoEQ:
        case eoNE:
        case eoGT:
        case eoLT:
        case eoGE:
        case eoLE:
          return Variant(!null && Compare(Node->Operator, a, b));
        case eoAnd:
          return Variant(!null && a.AsBoolean() && b.AsBoolean());
        case eoOr:
          return Variant(!null && (a.AsBoolean() || b.AsBoolean()));
        case eoAdd:
          return null ? Variant::Null() : a + b;
        case eoSub:
          return null ? Variant::Null() : a - b;
        case eoMul:
          return null ? Variant::Null() : a * b;
        case eoDiv:
          return null ? Variant::Null() : Variant(a.AsDouble() / b.AsDouble());
        case eoMod:
        case eoRem: {
          if (null) return Variant::Null();
          int64_t divisor = b.AsInt64();
          if (divisor == 0) throw EMemTableFilterError("Деление на ноль");
          return Variant(a.AsInt64() % divisor);
        }
        case eoLike:
          return Variant(!null && MatchesLike(a.AsString(), b.AsString()));
        case eoIn: {
          if (null) return Variant(false);
          std::vector<Variant> values;
          Collect(b, values);
          // Every element counts: a null one matches nothing, ends nothing.
          for (const Variant& value : values)
            if (!IsNull(value) && value == a) return Variant(true);
          return Variant(false);
        }
        default:
          Unsupported(Node->Operator);
      }
    }
    case ncCompare: {
      Variant a = operand(0), b = operand(1);
      if (IsNull(a) || IsNull(b)) return Variant(false);
      AnsiString left = a.AsString(), right = b.AsString();
      if (Node->CaseInsensitive) {
        left = AnsiUpperCase(left);
        right = AnsiUpperCase(right);
      }
      if (Node->PartialLength) {
        left = left.substr(0, Node->PartialLength);
        right = right.substr(0, Node->PartialLength);
      }
      switch (Node->Operator) {
        case eoEQ:
          return Variant(left == right);
        case eoNE:
          return Variant(left != right);
        case eoLike:
          return Variant(MatchesLike(left, right));
        default:
          Unsupported(Node->Operator);
      }
    }
    case ncField:
      if (Node->Operator != eoField)
        throw EMemTableFilterError(Format("Неизвестный оператор (%d)", {static_cast<int>(Node->Operator)}));
      return FFields.at(Node)->Value();
    case ncConst:
      return Node->Value;
    case ncFunc:
      return Function(Node);
    case ncListElem: {
      // As long as the list, not a fixed 51 places.
      std::vector<Variant> values;
      for (const TExprNode* element : Node->Operands) Collect(Evaluate(element), values);
      if (values.size() < 2) return values.empty() ? Variant::Null() : values[0];
      Variant list = VarArrayCreate(0, static_cast<int>(values.size()) - 1, varVariant);
      for (size_t i = 0; i < values.size(); ++i) list[static_cast<int>(i)] = values[i];
      return list;
    }
    case ncNull:
    case ncTuple:
    case ncContinue:
    case ncUdf:
    case ncList:
      Unsupported(Node->Operator);
    default:
      throw EMemTableFilterError(Format("iClass Вне диапазона (%d)", {static_cast<int>(Node->NodeClass)}));
  }
}

Variant TzynExprEvaluator::Function(const TExprNode* Node) {
  const AnsiString name = UpperCase(Node->Name);
  if (name == "GETDATE") return VarFromDateTime(Now());
  Variant argument = Node->Operands.empty() ? Variant::Null() : Evaluate(Node->Operands[0]);
  std::vector<Variant> args;
  Collect(argument, args);
  if (args.empty() || IsNull(args[0])) return Variant::Null();
  const Variant& first = args[0];
  if (name == "UPPER" || name == "LOWER") return Variant(LatinCase(first.AsString(), name == "UPPER"));
  if (name == "TRIM") return Variant(Trim(first.AsString()));
  if (name == "TRIMLEFT") return Variant(TrimLeft(first.AsString()));
  if (name == "TRIMRIGHT") return Variant(TrimRight(first.AsString()));
  if (name == "SUBSTRING") {
    AnsiString text = first.AsString();
    int start = args.size() > 1 ? args[1].AsInteger() : 1;
    int length = args.size() > 2 ? args[2].AsInteger() : 0;
    if (length == 0) {
      AnsiString second = args.size() > 1 ? args[1].AsString() : AnsiString();
      size_t comma = second.find(',');
      length = comma != AnsiString::npos ? StrToIntDef(second.substr(comma + 1), 0)
                                         : static_cast<int>(text.size());
    }
    return Variant(Copy(text, start, length));
  }
  int year, month, day, hour, minute, second, msec;
  if (name == "YEAR" || name == "MONTH" || name == "DAY") {
    DecodeDate(first.AsDateTime(), year, month, day);
    return Variant(name == "YEAR" ? year : name == "MONTH" ? month : day);
  }
  if (name == "HOUR" || name == "MINUTE" || name == "SECOND") {
    DecodeTime(first.AsDateTime(), hour, minute, second, msec);
    return Variant(name == "HOUR" ? hour : name == "MINUTE" ? minute : second);
  }
  if (name == "DATE" || name == "TIME") {
    if (args.size() > 1) {
      TFormatSettings settings = FormatSettings;
      settings.ShortDateFormat = args[1].AsString();
      settings.LongTimeFormat = args[1].AsString();
      return VarFromDateTime(name == "DATE" ? StrToDate(first.AsString(), settings)
                                            : StrToTime(first.AsString(), settings));
    }
    double value = first.AsDateTime();
    return name == "DATE" ? Variant(static_cast<int32_t>(std::trunc(value)))
                          : VarFromDateTime(value - std::trunc(value));
  }
  throw EMemTableFilterError(Format("Invalid function name %s", {Node->Name}));
}
