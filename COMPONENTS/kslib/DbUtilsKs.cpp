#include "DbUtilsKs.h"

#include <algorithm>
#include <vector>

const char* const FilterOperatorDisplayText[16] = {
    "", "=", "<>", ">", "<", ">=", "<=", "~", "!~", "In", "!In", "Null", "Null", "AND", "OR", ""};
const char* const FilterOperatorQueryText[16] = {
    "",         "=",  "<>",     ">",       "<",           ">=",  "<=", "LIKE",
    "NOT LIKE", "IN", "NOT IN", "IS NULL", "IS NOT NULL", "AND", "OR", ""};
const char* const FilterMarker = "/*FILTER*/";

TSTFilterOperandTypeKs FilterOperandTypeOf(TFieldType FieldType) {
  switch (FieldType) {
    case ftString:
    case ftMemo:
    case ftFmtMemo:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
      return fotString;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftAutoInc:
    case ftLargeint:
      return fotNumber;
    case ftDate:
    case ftTime:
    case ftDateTime:
      return fotDateTime;
    case ftBoolean:
      return fotBoolean;
    default:
      return fotNone;
  }
}

void ClearFilterExpression(TSTFilterExpressionKs& Expr) {
  Expr.Operator1 = fopNone;
  Expr.Operand1 = Variant::Null();
  Expr.Relation = fopNone;
  Expr.Operator2 = fopNone;
  Expr.Operand2 = Variant::Null();
}

namespace {

// Texts a translation may change; a keyword also matches its text here.
const char* const NotText = "Not";
const char* const AndText = "AND";
const char* const OrText = "OR";
const char* const LikeText = "";
const char* const InText = "In";
const char* const NullText = "Null";

const char* const QuoteAbsentMsg = "Quote is absent: ";
const char* const OpenExpectedMsg = "'(' expected: ";
const char* const CloseExpectedMsg = "')' expected: ";
const char* const ErrorInExpressionMsg = "Error in expression: ";
const char* const BeforeNullMsg = "Unexpected expression before Null: ";
const char* const AfterOperatorMsg = "Unexpected expression after operator: ";
const char* const IncorrectExpressionMsg = "Incorrect expression: ";
const char* const AndOrMsg = "Unexpected AND or OR: ";

// What the symbol and keyword reader recognises.
enum TLexeme {
  lxNone,
  lxEqual,
  lxNotEqual,
  lxGreater,
  lxLess,
  lxGreaterOrEqual,
  lxLessOrEqual,
  lxLike,
  lxIn,
  lxAnd,
  lxOr,
  lxNot,
  lxOpen,
  lxNull,
};

struct TKeyword {
  const char* Name;
  const char* const* Text;
  TLexeme Lexeme;
};
const TKeyword Keywords[] = {
    {"NOT", &NotText, lxNot},    {"AND", &AndText, lxAnd}, {"OR", &OrText, lxOr},
    {"LIKE", &LikeText, lxLike}, {"IN", &InText, lxIn},    {"NULL", &NullText, lxNull},
};

struct TToken {
  TSTFilterOperatorKs Code = fopNone;
  Variant Value = Variant::Null();
  size_t Start = 0;
};

bool IsWordChar(char c) {
  static const AnsiString Stops = " !\"&'(),+-.<=>|~";
  return static_cast<unsigned char>(c) >= 32 && Stops.find(c) == AnsiString::npos;
}

bool IsListOperator(TSTFilterOperatorKs Op) { return Op == fopIn || Op == fopNotIn; }

class TFilterParser {
 public:
  TFilterParser(const AnsiString& Text, TSTFilterOperandTypeKs OperandType)
      : S(Trim(Text)),
        OperandType(OperandType),
        ListByDefault(!(OperandType == fotNumber && FormatSettings.DecimalSeparator == ',')),
        AllowList(ListByDefault) {}

  void Parse(TSTFilterExpressionKs& Expr) {
    if (S.empty()) return;
    ReadCondition(Expr.Operator1, Expr.Operand1, ErrorInExpressionMsg);
    SkipSpaces();
    if (AtEnd()) return;
    TToken Relation = ReadToken();
    if (Relation.Code == fopNone) Fail(IncorrectExpressionMsg, Relation.Start);
    if (Relation.Code != fopAnd && Relation.Code != fopOr) Fail(AndOrMsg, Relation.Start);
    SkipSpaces();
    // A relation with nothing after it joins nothing.
    if (AtEnd()) return;
    Expr.Relation = Relation.Code;
    ReadCondition(Expr.Operator2, Expr.Operand2, IncorrectExpressionMsg);
    // A third condition would be lost without a word.
    SkipSpaces();
    if (!AtEnd()) Fail(IncorrectExpressionMsg, Pos);
  }

  void TypeOperand(TSTFilterOperatorKs Op, Variant& Operand) const {
    if (Op < fopEqual || Op > fopNotIn) {
      Operand = Variant::Null();
    } else if (Operand.IsArray()) {
      for (int i = VarArrayLowBound(Operand, 1); i <= VarArrayHighBound(Operand, 1); ++i)
        Operand[i] = Typed(Operand[i]);
    } else {
      Operand = Typed(Operand);
    }
  }

 private:
  const AnsiString S;
  const TSTFilterOperandTypeKs OperandType;
  const bool ListByDefault;
  bool AllowList;
  size_t Pos = 0;

  bool AtEnd() const { return Pos >= S.size(); }

  [[noreturn]] void Fail(const char* Message, size_t Where) const {
    throw EFilterExpressionError(Message + S, static_cast<int>(Where) + 1);
  }

  void SkipSpaces() { Pos = SpacesEnd(Pos); }
  size_t SpacesEnd(size_t From) const {
    size_t p = From;
    while (p < S.size() && S[p] == ' ') ++p;
    return p < S.size() ? p : From;
  }

  // The symbol or keyword at From, and the position after it.
  TLexeme LexemeAt(size_t From, size_t& After) const {
    After = From + 1;
    auto next = [&](char c) {
      if (From + 1 < S.size() && S[From + 1] == c) {
        After = From + 2;
        return true;
      }
      return false;
    };
    switch (S[From]) {
      case '=':
        return lxEqual;
      case '!':
        return next('=') ? lxNotEqual : lxNot;
      case '&':
        return lxAnd;
      case '(':
        return lxOpen;
      case '<':
        if (next('=')) return lxLessOrEqual;
        return next('>') ? lxNotEqual : lxLess;
      case '>':
        return next('=') ? lxGreaterOrEqual : lxGreater;
      case '|':
        return lxOr;
      case '~':
        return lxLike;
    }
    After = From;
    // By characters: a double-byte one is never split.
    while (After < S.size() && IsWordChar(S[After])) After += CharLength(S, After);
    AnsiString Word = AnsiUpperCase(S.substr(From, After - From));
    if (!Word.empty()) {
      for (const TKeyword& Keyword : Keywords) {
        if (Word == Keyword.Name || (**Keyword.Text && Word == AnsiUpperCase(*Keyword.Text)))
          return Keyword.Lexeme;
      }
    }
    After = From;
    return lxNone;
  }

  // An unquoted value ends at spaces before an operator or a relation.
  bool OperatorAt(size_t From) const {
    size_t After;
    TLexeme Lexeme = LexemeAt(From, After);
    return Lexeme != lxNone && Lexeme != lxOpen;
  }

  Variant ReadValue() {
    if (AtEnd()) return Variant::Null();
    if (S[Pos] == '\'') {
      AnsiString Value;
      for (size_t p = Pos + 1; p < S.size(); ++p) {
        if (S[p] != '\'') {
          Value += S[p];
        } else if (p + 1 < S.size() && S[p + 1] == '\'') {
          Value += '\'';
          ++p;
        } else {
          Pos = p + 1;
          return Value;
        }
      }
      Fail(QuoteAbsentMsg, Pos);
    }
    size_t End = Pos;
    while (End < S.size()) {
      char c = S[End];
      if (c == '(' || c == ')' || (c == ',' && AllowList)) break;
      if (c != ' ') {
        ++End;
        continue;
      }
      // A run of spaces is looked past once, so long texts stay linear.
      size_t Next = S.find_first_not_of(' ', End);
      if (Next == AnsiString::npos) {
        End = S.size();
      } else if (!OperatorAt(Next)) {
        End = Next;
        continue;
      }
      break;
    }
    Variant Value = S.substr(Pos, End - Pos);
    Pos = End;
    return Value;
  }

  Variant ReadValueList() {
    std::vector<Variant> Values{ReadValue()};
    while (AllowList && !Values.back().IsNull() && !AtEnd() && S[Pos] == ',') {
      ++Pos;
      Values.push_back(ReadValue());
    }
    if (Values.size() == 1) return Values.front();
    Variant List = VarArrayCreate(0, static_cast<int>(Values.size()) - 1, varVariant);
    for (size_t i = 0; i < Values.size(); ++i) List[static_cast<int>(i)] = Values[i];
    return List;
  }

  TToken ReadToken() {
    TToken Token;
    Token.Start = Pos;
    if (AtEnd()) return Token;
    size_t After;
    TLexeme Lexeme = S[Pos] == '\'' ? lxNone : LexemeAt(Pos, After);
    if (Lexeme == lxNone) {
      Token.Value = ReadValueList();
      Token.Code = Token.Value.IsNull() ? fopNone : fopValue;
      return Token;
    }
    Pos = After;
    SkipSpaces();
    switch (Lexeme) {
      case lxNot:
        // NOT NOT is never an operator; stop here rather than nest.
        if (!AtEnd() && LexemeAt(Pos, After) == lxNot) break;
        switch (ReadToken().Code) {
          case fopLike:
            Token.Code = fopNotLike;
            break;
          case fopIn:
            Token.Code = fopNotIn;
            break;
          case fopIsNull:
            Token.Code = fopIsNotNull;
            break;
          default:
            break;
        }
        break;
      case lxIn:
        if (AtEnd() || S[Pos] != '(') Fail(OpenExpectedMsg, Pos);
        ++Pos;
        Token.Code = fopIn;
        break;
      case lxOpen:
        break;
      case lxNull:
        Token.Code = fopIsNull;
        break;
      case lxAnd:
        Token.Code = fopAnd;
        break;
      case lxOr:
        Token.Code = fopOr;
        break;
      default:  // the comparisons are numbered as their operators
        Token.Code = static_cast<TSTFilterOperatorKs>(Lexeme);
        break;
    }
    return Token;
  }

  // Fails with NoCondition when no condition starts here.
  void ReadCondition(TSTFilterOperatorKs& Op, Variant& Operand, const char* NoCondition) {
    TToken First = ReadToken();
    if (First.Code == fopValue) {
      Op = First.Value.IsArray() ? fopIn : OperandType == fotString ? fopLike : fopEqual;
      Operand = First.Value;
      return;
    }
    if (First.Code == fopNone || First.Code == fopAnd || First.Code == fopOr)
      Fail(NoCondition, First.Start);
    Op = First.Code;
    // Only a list operator takes a list; "= a,b" compares with "a,b".
    AllowList = IsListOperator(Op);
    SkipSpaces();
    TToken Next = ReadToken();
    AllowList = ListByDefault;
    if (Next.Code == fopIsNull) {
      if (Op == fopEqual)
        Op = fopIsNull;
      else if (Op == fopNotEqual)
        Op = fopIsNotNull;
      else
        Fail(BeforeNullMsg, Next.Start);
    } else if (Next.Code != fopValue) {
      Fail(AfterOperatorMsg, Next.Start);
    }
    Operand = Next.Value;
    if (IsListOperator(Op)) {
      SkipSpaces();
      if (AtEnd() || S[Pos] != ')') Fail(CloseExpectedMsg, Pos);
      ++Pos;
    }
  }

  Variant Typed(const Variant& Value) const {
    switch (OperandType) {
      case fotNumber:
        return StrToFloat(VarToStr(Value));
      case fotDateTime:
        return VarFromDateTime(StrToDateTime(VarToStr(Value)));
      default:
        return Value;
    }
  }
};

AnsiString Quoted(const AnsiString& Text) {
  AnsiString Result = "'";
  for (char c : Text) {
    if (c == '\'') Result += '\'';
    Result += c;
  }
  return Result + "'";
}

bool IsFloat(const Variant& Value) {
  TVarType Type = Value.VarType() & varTypeMask;
  return !Value.IsArray() && (Type == varSingle || Type == varDouble);
}

// The fewest significant digits, from 15 to 17, that read back as the same
// number: the typed number, never a neighbour of it.
AnsiString ExactFloatText(double Value, const TFormatSettings& Settings) {
  for (int Digits = 15;; ++Digits) {
    AnsiString Text = FloatToStrF(Value, ffGeneral, Digits, 0, Settings);
    double Back = 0;
    if (Digits == 17 || (TryStrToFloat(Text, Back, Settings) && Back == Value)) return Text;
  }
}

bool HasMilliseconds(TDateTime Value) {
  int Hour, Min, Sec, MSec;
  DecodeTime(Value, Hour, Min, Sec, MSec);
  return MSec != 0;
}

// As DateTimeToStr, with the milliseconds when there are any, which the
// date reader takes after the decimal separator.
AnsiString ExactDateTimeText(TDateTime Value) {
  if (!HasMilliseconds(Value)) return DateTimeToStr(Value);
  return FormatDateTime("c'" + AnsiString(1, FormatSettings.DecimalSeparator) + "'zzz", Value);
}

// In a list every number is quoted: a decimal comma would split it.
AnsiString Literal(const Variant& Value, bool InList) {
  if (IsFloat(Value)) {
    AnsiString Text = ExactFloatText(Value.AsDouble(), FormatSettings);
    return InList ? Quoted(Text) : Text;
  }
  // Quoted with its milliseconds: a decimal comma would split it.
  if (Value.VarType() == varDate && !HasMilliseconds(Value.AsDateTime()))
    return DateTimeToStr(Value.AsDateTime());
  if (Value.VarType() == varDate) return Quoted(ExactDateTimeText(Value.AsDateTime()));
  return Quoted(VarToStr(Value));
}

template <class TFunc>
void ForEachElement(const Variant& Value, TFunc Func) {
  if (!Value.IsArray()) return Func(Value);
  for (int i = VarArrayLowBound(Value, 1); i <= VarArrayHighBound(Value, 1); ++i) Func(Value[i]);
}

AnsiString ConditionText(TSTFilterOperatorKs Op, const Variant& Operand) {
  switch (Op) {
    case fopIsNull:
      return AnsiString("=") + FilterOperatorDisplayText[fopIsNull];
    case fopIsNotNull:
      return AnsiString("<>") + FilterOperatorDisplayText[fopIsNotNull];
    case fopIn:
    case fopNotIn: {
      AnsiString Items;
      ForEachElement(Operand, [&](const Variant& Item) {
        Items += (Items.empty() ? "" : ",") + Literal(Item, true);
      });
      return FilterOperatorDisplayText[Op] + AnsiString(" (") + Items + ")";
    }
    default:
      return FilterOperatorDisplayText[Op] + AnsiString(" ") + Literal(Operand, false);
  }
}

AnsiString DatasetConstant(const Variant& Value) {
  // "x = NULL" is the dataset filter's test for null.
  if (Value.IsNull()) return "NULL";
  TVarType Type = Value.VarType() & varTypeMask;
  if (IsFloat(Value) || Type == varCurrency) {
    TFormatSettings Point = FormatSettings;
    Point.DecimalSeparator = '.';
    return ExactFloatText(Value.AsDouble(), Point);
  }
  if (Type == varBoolean) return Value.AsBoolean() ? "TRUE" : "FALSE";
  if (Type == varDate) return Quoted(ExactDateTimeText(Value.AsDateTime()));
  if (Type == varString) return Quoted(Value.AsString());
  return VarToStr(Value);
}

AnsiString DatasetCondition(const AnsiString& Field, TSTFilterOperatorKs Op,
                            const Variant& Operand) {
  AnsiString Text = Field + " " + FilterOperatorQueryText[Op];
  switch (Op) {
    case fopIsNull:
    case fopIsNotNull:
      return Text;
    case fopIn:
    case fopNotIn: {
      AnsiString Items;
      ForEachElement(Operand, [&](const Variant& Item) {
        Items += (Items.empty() ? "" : ", ") + DatasetConstant(Item);
      });
      return Text + " (" + Items + ")";
    }
    default:
      return Text + " " + DatasetConstant(Operand);
  }
}

}  // namespace

AnsiString FilterExpressionAsDatasetFilter(const AnsiString& FieldName,
                                           const TSTFilterExpressionKs& Expr) {
  if (Expr.Operator1 == fopNone) return "";
  const AnsiString Field = "[" + FieldName + "]";
  AnsiString Text = "(" + DatasetCondition(Field, Expr.Operator1, Expr.Operand1);
  if ((Expr.Relation == fopAnd || Expr.Relation == fopOr) && Expr.Operator2 != fopNone)
    Text += AnsiString(" ") + FilterOperatorQueryText[Expr.Relation] + " " +
            DatasetCondition(Field, Expr.Operator2, Expr.Operand2);
  return Text + ")";
}

void ParseFilterExpression(const AnsiString& Text, TSTFilterExpressionKs& Expr) {
  TSTFilterExpressionKs Parsed;
  Parsed.OperandType = Expr.OperandType;
  TFilterParser Parser(Text, Expr.OperandType);
  Parser.Parse(Parsed);
  Parser.TypeOperand(Parsed.Operator1, Parsed.Operand1);
  Parser.TypeOperand(Parsed.Operator2, Parsed.Operand2);
  Expr = std::move(Parsed);
}

AnsiString LookupLikeFilter(const AnsiString& FieldName, const AnsiString& Text) {
  return FieldName + " LIKE " + Quoted("%" + AnsiUpperCase(Text) + "%");
}

AnsiString FilterExpressionText(const TSTFilterExpressionKs& Expr, bool OperandOnly) {
  if (Expr.OperandType == fotNone || Expr.Operator1 == fopNone) return "";
  if (OperandOnly) {
    if (!Expr.Operand1.IsArray()) return VarToStr(Expr.Operand1);
    AnsiString Items;
    ForEachElement(Expr.Operand1, [&](const Variant& Item) {
      Items += (Items.empty() ? "" : ",") + Quoted(VarToStr(Item));
    });
    return Items;
  }
  AnsiString Text = ConditionText(Expr.Operator1, Expr.Operand1);
  if (Expr.Relation != fopNone) {
    Text += AnsiString(" ") + FilterOperatorDisplayText[Expr.Relation] + " " +
            ConditionText(Expr.Operator2, Expr.Operand2);
  }
  return Text;
}

// ---- Dataset features -------------------------------------------------------

namespace {

struct TFeaturesEntry {
  TDatasetClassTestKs Test;
  int Depth;
  std::unique_ptr<TDatasetFeaturesKs> Features;
};

std::vector<TFeaturesEntry>& Registry() {
  static std::vector<TFeaturesEntry> Entries;
  return Entries;
}

}  // namespace

void RegisterDatasetFeatures(TDatasetClassTestKs Test, int Depth,
                             std::unique_ptr<TDatasetFeaturesKs> Features) {
  if (!Test || !Features) throw EListError("Dataset features need a class test and an object");
  Registry().push_back({std::move(Test), Depth, std::move(Features)});
}

void UnregisterDatasetFeatures(TDatasetFeaturesKs* Features) {
  std::erase_if(Registry(),
                [&](const TFeaturesEntry& Entry) { return Entry.Features.get() == Features; });
}

TDatasetFeaturesKs* FindDatasetFeatures(const TDataSet* Obj) {
  const TFeaturesEntry* Best = nullptr;
  if (!Obj) return nullptr;
  for (const TFeaturesEntry& Entry : Registry()) {
    if ((!Best || Entry.Depth > Best->Depth) && Entry.Test(Obj)) Best = &Entry;
  }
  return Best ? Best->Features.get() : nullptr;
}
