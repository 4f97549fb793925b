#include "db/FilterExpr.h"

#include <cstring>

#include "db/DBConsts.h"
#include "db/DataSet.h"

namespace {

bool IsNameStart(char c) {
  uint8_t b = static_cast<uint8_t>(c);
  // Latin letters, '_', and the cp1251 letters (А..я, Ё, ё).
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || b >= 0xC0 || b == 0xA8 ||
         b == 0xB8;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c) || c == '$'; }

bool IsTextType(TFieldType Type) {
  return Type == ftString || Type == ftFixedChar || Type == ftWideString || Type == ftGuid ||
         Type == ftMemo || Type == ftFmtMemo;
}

bool IsText(const TExprNode* Node) {
  return (Node->NodeClass == ncField || Node->NodeClass == ncConst) && IsTextType(Node->DataType);
}

struct TFunction {
  const char* Name;
  int MinArgs, MaxArgs;
};

constexpr TFunction Functions[] = {{"UPPER", 1, 1},   {"LOWER", 1, 1},    {"SUBSTRING", 2, 3},
                                   {"TRIM", 1, 1},    {"TRIMLEFT", 1, 1}, {"TRIMRIGHT", 1, 1},
                                   {"GETDATE", 0, 0}, {"YEAR", 1, 1},     {"MONTH", 1, 1},
                                   {"DAY", 1, 1},     {"HOUR", 1, 1},     {"MINUTE", 1, 1},
                                   {"SECOND", 1, 1},  {"DATE", 1, 2},     {"TIME", 1, 2}};

const char* const ReservedWords[] = {"AND", "OR", "NOT", "IS", "LIKE", "IN"};

}  // namespace

TExprParser::TExprParser(TDataSet* DataSet, const AnsiString& Text, TFilterOptions Options)
    : FDataSet(DataSet), FText(Text), FOptions(Options) {
  NextToken();
  FRoot = ParseOr();
  if (FToken.Kind != tkEnd) TokenError(SExprTermination);
}

TExprParser::~TExprParser() = default;

// ---- Tokens ----------------------------------------------------------------------

void TExprParser::NextToken() {
  while (FPos < FText.size() && static_cast<uint8_t>(FText[FPos]) <= ' ') ++FPos;
  FToken = TToken();
  FToken.Pos = static_cast<int>(FPos) + 1;
  if (FPos >= FText.size()) return;
  char c = FText[FPos];
  if (c == '\'') {
    for (++FPos;; ++FPos) {
      if (FPos >= FText.size()) DatabaseErrorFmt(SExprStringError, {FToken.Pos});
      if (FText[FPos] == '\'') {
        if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'') {
          ++FPos;
        } else {
          ++FPos;
          break;
        }
      }
      FToken.Text += FText[FPos];
    }
    FToken.Kind = tkString;
  } else if (c == '[' || c == '"') {
    size_t end = FText.find(c == '[' ? ']' : '"', FPos + 1);
    if (end == AnsiString::npos) DatabaseErrorFmt(SExprNameError, {FToken.Pos});
    FToken.Kind = tkName;
    FToken.Quoted = true;
    FToken.Text = FText.substr(FPos + 1, end - FPos - 1);
    FPos = end + 1;
  } else if (IsNameStart(c)) {
    size_t start = FPos;
    while (FPos < FText.size() && IsNameChar(FText[FPos])) ++FPos;
    FToken.Kind = tkName;
    FToken.Text = FText.substr(start, FPos - start);
  } else if (IsDigit(c) || (c == '.' && FPos + 1 < FText.size() && IsDigit(FText[FPos + 1]))) {
    size_t start = FPos;
    while (FPos < FText.size() && (IsDigit(FText[FPos]) || FText[FPos] == '.')) ++FPos;
    if (FPos < FText.size() && (FText[FPos] == 'e' || FText[FPos] == 'E')) {
      ++FPos;
      if (FPos < FText.size() && (FText[FPos] == '+' || FText[FPos] == '-')) ++FPos;
      while (FPos < FText.size() && IsDigit(FText[FPos])) ++FPos;
    }
    FToken.Kind = tkNumber;
    FToken.Text = FText.substr(start, FPos - start);
  } else {
    static const char* const symbols[] = {"<>", "!=", "<=", ">=", "=", "<", ">",
                                          "(",  ")",  ",",  "+",  "-", "*", "/"};
    for (const char* symbol : symbols) {
      size_t length = std::strlen(symbol);
      if (FText.compare(FPos, length, symbol) == 0) {
        FToken.Kind = tkSymbol;
        FToken.Text = std::strcmp(symbol, "!=") == 0 ? "<>" : symbol;
        FPos += length;
        return;
      }
    }
    DatabaseErrorFmt(SExprInvalidChar, {AnsiString(1, c), FToken.Pos});
  }
}

bool TExprParser::IsKeyword(const char* Word) const {
  return FToken.Kind == tkName && !FToken.Quoted && SameText(FToken.Text, Word);
}

bool TExprParser::IsSymbol(const char* Symbol) const {
  return FToken.Kind == tkSymbol && FToken.Text == Symbol;
}

AnsiString TExprParser::TokenDescription() const {
  return FToken.Kind == tkEnd ? AnsiString(SExprEnd) : "'" + FToken.Text + "'";
}

void TExprParser::TokenError(const char* Message) const {
  DatabaseErrorFmt(Message, {TokenDescription(), FToken.Pos});
}

void TExprParser::Expect(const char* Symbol, const char* Message) {
  if (!IsSymbol(Symbol)) TokenError(Message);
  NextToken();
}

bool TExprParser::NextCharIs(char C) const {
  size_t pos = FPos;
  while (pos < FText.size() && static_cast<uint8_t>(FText[pos]) <= ' ') ++pos;
  return pos < FText.size() && FText[pos] == C;
}

// ---- Nodes --------------------------------------------------------------------------

TExprNode* TExprParser::NewNode(TExprNodeClass NodeClass, TExprOperator Operator,
                                std::vector<const TExprNode*> Operands) {
  FNodes.push_back(std::make_unique<TExprNode>());
  TExprNode* node = FNodes.back().get();
  node->NodeClass = NodeClass;
  node->Operator = Operator;
  node->Operands = std::move(Operands);
  return node;
}

TExprNode* TExprParser::NewConst(TFieldType DataType, const Variant& Value) {
  TExprNode* node = NewNode(ncConst, eoConst);
  node->DataType = DataType;
  node->Value = Value;
  return node;
}

// A text constant set against a field takes the field's type.
void TExprParser::Coerce(TExprNode* Constant, const TExprNode* Other) {
  if (Constant->NodeClass != ncConst || Constant->DataType != ftString ||
      Other->NodeClass != ncField)
    return;
  AnsiString text = Constant->Value.AsString();
  bool ok = true;
  switch (Other->DataType) {
    case ftDate:
    case ftTime:
    case ftDateTime: {
      TDateTime value = 0;
      ok = Other->DataType == ftDate   ? TryStrToDate(text, value, FormatSettings)
           : Other->DataType == ftTime ? TryStrToTime(text, value, FormatSettings)
                                       : TryStrToDateTime(text, value, FormatSettings);
      Constant->Value = VarFromDateTime(value);
      Constant->DataType = Other->DataType;
      break;
    }
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc: {
      int32_t value = 0;
      ok = TryStrToInt(text, value);
      Constant->Value = value;
      Constant->DataType = ftInteger;
      break;
    }
    case ftLargeint:
    case ftFloat:
    case ftCurrency: {
      double value = 0;
      ok = TryStrToFloat(text, value, FormatSettings);
      Constant->Value = value;
      Constant->DataType = ftFloat;
      break;
    }
    case ftBCD: {
      Currency value;
      ok = TryStrToCurr(text, value, FormatSettings);
      Constant->Value = value;
      Constant->DataType = ftBCD;
      break;
    }
    case ftBoolean:
      ok = SameText(text, "TRUE") || SameText(text, "FALSE");
      Constant->Value = SameText(text, "TRUE");
      Constant->DataType = ftBoolean;
      break;
    default:
      return;
  }
  if (!ok) DatabaseErrorFmt(SExprBadConst, {text, Other->Name});
}

TExprNode* TExprParser::Comparison(TExprOperator Operator, TExprNode* Left, TExprNode* Right) {
  if (Operator != eoLike) {
    Coerce(Right, Left);
    Coerce(Left, Right);
  }
  if ((Operator == eoEQ || Operator == eoNE || Operator == eoLike) && IsText(Left) &&
      IsText(Right)) {
    uint16_t partial = 0;
    TExprNode* constant = Right->NodeClass == ncConst  ? Right
                          : Left->NodeClass == ncConst ? Left
                                                       : nullptr;
    if (Operator != eoLike && constant && !FOptions.Contains(foNoPartialCompare)) {
      AnsiString text = constant->Value.AsString();
      if (text.size() > 1 && text.back() == '*') {
        text.pop_back();
        constant->Value = text;
        partial = static_cast<uint16_t>(text.size());
      }
    }
    bool caseInsensitive = FOptions.Contains(foCaseInsensitive);
    if (caseInsensitive || partial) {
      TExprNode* node = NewNode(ncCompare, Operator, {Left, Right});
      node->CaseInsensitive = caseInsensitive ? 1 : 0;
      node->PartialLength = partial;
      return node;
    }
  }
  return NewNode(ncBinary, Operator, {Left, Right});
}

// ---- Grammar ----------------------------------------------------------------------

TExprNode* TExprParser::ParseOr() {
  TExprNode* left = ParseAnd();
  while (IsKeyword("OR")) {
    NextToken();
    left = NewNode(ncBinary, eoOr, {left, ParseAnd()});
  }
  return left;
}

TExprNode* TExprParser::ParseAnd() {
  TExprNode* left = ParseNot();
  while (IsKeyword("AND")) {
    NextToken();
    left = NewNode(ncBinary, eoAnd, {left, ParseNot()});
  }
  return left;
}

TExprNode* TExprParser::ParseNot() {
  if (!IsKeyword("NOT")) return ParseCompare();
  NextToken();
  return NewNode(ncUnary, eoNot, {ParseNot()});
}

TExprNode* TExprParser::ParseCompare() {
  TExprNode* left = ParseSum();
  if (IsKeyword("IS")) {
    NextToken();
    bool negated = IsKeyword("NOT");
    if (negated) NextToken();
    if (!IsKeyword("NULL")) DatabaseErrorFmt(SExprNullExpected, {FToken.Pos});
    NextToken();
    return NewNode(ncUnary, negated ? eoNotBlank : eoIsBlank, {left});
  }
  bool negated = IsKeyword("NOT");
  if (negated) {
    NextToken();
    if (!IsKeyword("LIKE") && !IsKeyword("IN")) TokenError(SExprExpected);
  }
  TExprNode* node = nullptr;
  if (IsKeyword("LIKE")) {
    NextToken();
    node = Comparison(eoLike, left, ParseSum());
  } else if (IsKeyword("IN")) {
    NextToken();
    Expect("(", SExprNoLParen);
    std::vector<const TExprNode*> items;
    for (;;) {
      TExprNode* item = ParseSum();
      Coerce(item, left);
      items.push_back(item);
      if (!IsSymbol(",")) break;
      NextToken();
    }
    Expect(")", SExprNoRParen);
    node = NewNode(ncBinary, eoIn, {left, NewNode(ncListElem, eoListElem, std::move(items))});
  } else {
    static const std::pair<const char*, TExprOperator> relations[] = {
        {"=", eoEQ}, {"<>", eoNE}, {"<", eoLT}, {">", eoGT}, {"<=", eoLE}, {">=", eoGE}};
    for (auto [symbol, op] : relations) {
      if (!IsSymbol(symbol)) continue;
      NextToken();
      if (IsKeyword("NULL")) {
        if (op != eoEQ && op != eoNE) DatabaseErrorFmt(SExprBadNullTest, {FToken.Pos});
        NextToken();
        return NewNode(ncUnary, op == eoEQ ? eoIsBlank : eoNotBlank, {left});
      }
      return Comparison(op, left, ParseSum());
    }
    return left;
  }
  return negated ? NewNode(ncUnary, eoNot, {node}) : node;
}

TExprNode* TExprParser::ParseSum() {
  TExprNode* left = ParseProduct();
  while (IsSymbol("+") || IsSymbol("-")) {
    TExprOperator op = IsSymbol("+") ? eoAdd : eoSub;
    NextToken();
    left = NewNode(ncBinary, op, {left, ParseProduct()});
  }
  return left;
}

TExprNode* TExprParser::ParseProduct() {
  TExprNode* left = ParseUnary();
  while (IsSymbol("*") || IsSymbol("/")) {
    TExprOperator op = IsSymbol("*") ? eoMul : eoDiv;
    NextToken();
    left = NewNode(ncBinary, op, {left, ParseUnary()});
  }
  return left;
}

TExprNode* TExprParser::ParseUnary() {
  if (!IsSymbol("-")) return ParsePrimary();
  NextToken();
  TExprNode* operand = ParseUnary();
  if (operand->NodeClass == ncConst && operand->DataType == ftInteger &&
      operand->Value.AsInteger() != INT32_MIN) {
    operand->Value = -operand->Value.AsInteger();
    return operand;
  }
  if (operand->NodeClass == ncConst && operand->DataType == ftFloat) {
    operand->Value = -operand->Value.AsDouble();
    return operand;
  }
  return NewNode(ncUnary, eoMinus, {operand});
}

TExprNode* TExprParser::ParsePrimary() {
  TExprNode* node = nullptr;
  switch (FToken.Kind) {
    case tkSymbol:
      if (!IsSymbol("(")) TokenError(SExprExpected);
      NextToken();
      node = ParseOr();
      Expect(")", SExprNoRParen);
      return node;
    case tkString:
      node = NewConst(ftString, FToken.Text);
      break;
    case tkNumber: {
      int32_t integer = 0;
      double real = 0;
      TFormatSettings settings = FormatSettings;
      settings.DecimalSeparator = '.';
      if (TryStrToInt(FToken.Text, integer))
        node = NewConst(ftInteger, integer);
      else if (TryStrToFloat(FToken.Text, real, settings))
        node = NewConst(ftFloat, real);
      else
        DatabaseErrorFmt(SExprBadNumber, {FToken.Text, FToken.Pos});
      break;
    }
    case tkName:
      if (!FToken.Quoted) {
        if (IsKeyword("TRUE") || IsKeyword("FALSE")) {
          node = NewConst(ftBoolean, IsKeyword("TRUE"));
          break;
        }
        if (IsKeyword("NULL")) DatabaseErrorFmt(SExprBadNullTest, {FToken.Pos});
        for (const char* word : ReservedWords)
          if (IsKeyword(word)) TokenError(SExprExpected);
        if (NextCharIs('(')) {
          AnsiString name = FToken.Text;
          int pos = FToken.Pos;
          NextToken();
          return ParseFunction(name, pos);
        }
      }
      {
        TField* field = FDataSet->FieldByName(FToken.Text);
        node = NewNode(ncField, eoField);
        node->Name = field->FieldName();
        node->DataType = field->DataType();
      }
      break;
    case tkEnd:
      TokenError(SExprExpected);
  }
  NextToken();
  return node;
}

TExprNode* TExprParser::ParseFunction(const AnsiString& Name, int Pos) {
  AnsiString upper = UpperCase(Name);
  const TFunction* function = nullptr;
  for (const TFunction& f : Functions)
    if (upper == f.Name) function = &f;
  if (!function) DatabaseErrorFmt(SExprUnknownFunction, {Name, Pos});
  NextToken();  // past '('
  std::vector<const TExprNode*> args;
  if (!IsSymbol(")")) {
    for (;;) {
      args.push_back(ParseOr());
      if (!IsSymbol(",")) break;
      NextToken();
    }
  }
  Expect(")", SExprNoRParen);
  int count = static_cast<int>(args.size());
  if (count < function->MinArgs || count > function->MaxArgs)
    DatabaseErrorFmt(SExprArgCount, {upper, Pos});
  if (upper == "UPPER" || upper == "LOWER")
    return NewNode(ncUnary, upper == "UPPER" ? eoUpper : eoLower, std::move(args));
  TExprNode* node = NewNode(ncFunc, eoFunc);
  node->Name = upper;
  if (count == 1)
    node->Operands = std::move(args);
  else if (count > 1)
    node->Operands = {NewNode(ncListElem, eoListElem, std::move(args))};
  return node;
}
