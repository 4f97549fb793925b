// The filter-expression parser against a table of expressions: each tree is
// written out as a short prefix form, and each bad text must give its
// message.
#include <gtest/gtest.h>

#include "ArrayDataSet.h"
#include "db/FilterExpr.h"

namespace {

const char* OperatorName(TExprOperator Op) {
  static const std::pair<TExprOperator, const char*> names[] = {
      {eoIsBlank, "isnull"}, {eoNotBlank, "notnull"},
      {eoEQ, "="},           {eoNE, "<>"},
      {eoGT, ">"},           {eoLT, "<"},
      {eoGE, ">="},          {eoLE, "<="},
      {eoNot, "not"},        {eoAnd, "and"},
      {eoOr, "or"},          {eoMinus, "neg"},
      {eoAdd, "+"},          {eoSub, "-"},
      {eoMul, "*"},          {eoDiv, "/"},
      {eoLike, "like"},      {eoIn, "in"},
      {eoUpper, "upper"},    {eoLower, "lower"},
      {eoListElem, "list"}};
  for (auto [op, name] : names)
    if (op == Op) return name;
  return "?";
}

AnsiString Constant(const TExprNode* Node) {
  const Variant& v = Node->Value;
  switch (Node->DataType) {
    case ftString:
      return "'" + v.AsString() + "'";
    case ftInteger:
      return IntToStr(v.AsInteger());
    case ftFloat:
      return "f" + FloatToStr(v.AsDouble());
    case ftBCD:
      return "c" + CurrToStr(v.AsCurrency());
    case ftBoolean:
      return v.AsBoolean() ? "TRUE" : "FALSE";
    case ftDate:
      return "d" + FormatDateTime("yyyy-mm-dd", v.AsDateTime());
    case ftTime:
      return "t" + FormatDateTime("hh:nn:ss", v.AsDateTime());
    case ftDateTime:
      return "dt" + FormatDateTime("yyyy-mm-dd hh:nn:ss", v.AsDateTime());
    default:
      return "?";
  }
}

AnsiString Dump(const TExprNode* Node) {
  AnsiString head;
  switch (Node->NodeClass) {
    case ncField:
      return "[" + Node->Name + "]";
    case ncConst:
      return Constant(Node);
    case ncFunc:
      head = Node->Name;
      break;
    case ncCompare:
      head = OperatorName(Node->Operator);
      if (Node->CaseInsensitive) head += "/ci";
      if (Node->PartialLength) head += "/p" + IntToStr(Node->PartialLength);
      break;
    default:
      head = OperatorName(Node->Operator);
  }
  AnsiString text = "(" + head;
  for (const TExprNode* operand : Node->Operands) text += " " + Dump(operand);
  return text + ")";
}

class FilterExprTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TFieldDefs* defs = Data.FieldDefs();
    defs->Add("Name", ftString, 20);
    defs->Add("Фамилия", ftString, 20);
    defs->Add("Born", ftDate);
    defs->Add("T", ftTime);
    defs->Add("DT", ftDateTime);
    defs->Add("Amount", ftFloat);
    defs->Add("Qty", ftInteger);
    defs->Add("Big", ftLargeint);
    defs->Add("Price", ftBCD, 4);
    defs->Add("Active", ftBoolean);
    defs->Add("SYS$ID", ftInteger);
    Data.Open();
  }
  AnsiString Parse(const AnsiString& Text, TFilterOptions Options = {}) {
    TExprParser parser(&Data, Text, Options);
    return Dump(parser.Root());
  }
  TArrayDataSet Data{nullptr};
};

TEST_F(FilterExprTest, ExpressionsBecomeTrees) {
  const TFilterOptions none, ci{foCaseInsensitive}, whole{foNoPartialCompare};
  struct Case {
    const char* text;
    TFilterOptions options;
    const char* tree;
  };
  for (const Case& c : {
           // operators and precedence
           Case{"Qty = 5", none, "(= [Qty] 5)"},
           {"Qty<>5 and Amount >= 2.5", none, "(and (<> [Qty] 5) (>= [Amount] f2,5))"},
           {"Qty != 5", none, "(<> [Qty] 5)"},
           {"NOT (Qty > 1 OR Qty < -1)", none, "(not (or (> [Qty] 1) (< [Qty] -1)))"},
           {"Qty = 1 or Qty = 2 and Amount = 3", none,
            "(or (= [Qty] 1) (and (= [Qty] 2) (= [Amount] 3)))"},
           {"Qty * 2 + 1 > Amount / 3 - Qty", none,
            "(> (+ (* [Qty] 2) 1) (- (/ [Amount] 3) [Qty]))"},
           {"-Qty < 0", none, "(< (neg [Qty]) 0)"},
           {"- 5 = Qty", none, "(= -5 [Qty])"},
           {"Active", none, "[Active]"},
           {"Active = TRUE and not Active = false", none,
            "(and (= [Active] TRUE) (not (= [Active] FALSE)))"},
           // nulls
           {"Name IS NULL", none, "(isnull [Name])"},
           {"Name is not null", none, "(notnull [Name])"},
           {"Name = NULL", none, "(isnull [Name])"},
           {"Name <> null", none, "(notnull [Name])"},
           // LIKE and IN
           {"Name LIKE 'Ив%'", none, "(like [Name] 'Ив%')"},
           {"Name LIKE 'Ив%'", ci, "(like/ci [Name] 'Ив%')"},
           {"Name NOT LIKE 'a_'", none, "(not (like [Name] 'a_'))"},
           {"Qty IN (1, 2,3)", none, "(in [Qty] (list 1 2 3))"},
           {"Qty NOT IN (1)", none, "(not (in [Qty] (list 1)))"},
           {"Born in ('01.02.2024', '02.02.2024')", none,
            "(in [Born] (list d2024-02-01 d2024-02-02))"},
           // partial and case-insensitive compare
           {"Name = 'Ив*'", none, "(=/p2 [Name] 'Ив')"},
           {"Name <> 'Ив*'", ci, "(<>/ci/p2 [Name] 'Ив')"},
           {"'Ив*' = Name", none, "(=/p2 'Ив' [Name])"},
           {"Name = 'Ив*'", whole, "(= [Name] 'Ив*')"},
           {"Фамилия = 'иванов'", ci, "(=/ci [Фамилия] 'иванов')"},
           {"Фамилия = 'иванов'", none, "(= [Фамилия] 'иванов')"},
           {"Name = Фамилия", ci, "(=/ci [Name] [Фамилия])"},
           {"Qty = 5", ci, "(= [Qty] 5)"},
           // text constants read as the field's type
           {"Born >= '01.02.2024'", none, "(>= [Born] d2024-02-01)"},
           {"DT < '01.02.2024 13:45:00'", none, "(< [DT] dt2024-02-01 13:45:00)"},
           {"T = '13:45'", none, "(= [T] t13:45:00)"},
           {"Amount = '12,5'", none, "(= [Amount] f12,5)"},
           {"Price > '10,25'", none, "(> [Price] c10,25)"},
           {"Big = '7'", none, "(= [Big] f7)"},
           {"Qty = '7'", none, "(= [Qty] 7)"},
           {"Active = 'true'", none, "(= [Active] TRUE)"},
           {"Name = 5", none, "(= [Name] 5)"},
           // functions
           {"UPPER(Name) = 'ABC'", ci, "(= (upper [Name]) 'ABC')"},
           {"lower(Name) = 'abc'", none, "(= (lower [Name]) 'abc')"},
           {"YEAR(Born) = 2024", none, "(= (YEAR [Born]) 2024)"},
           {"SubString(Name, 2, 3) = 'ван'", none, "(= (SUBSTRING (list [Name] 2 3)) 'ван')"},
           {"DATE('01.02.2024', 'dd.mm.yyyy') < GETDATE()", none,
            "(< (DATE (list '01.02.2024' 'dd.mm.yyyy')) (GETDATE))"},
           {"TRIMLEFT(Name) = ''", none, "(= (TRIMLEFT [Name]) '')"},
           // names and quotes
           {"[Фамилия] = 'O''Brien'", none, "(= [Фамилия] 'O'Brien')"},
           {"\"SYS$ID\" > 0 and SYS$ID < 10", none, "(and (> [SYS$ID] 0) (< [SYS$ID] 10))"},
           {"  name = 'x'  ", none, "(= [Name] 'x')"},
       }) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.tree, Parse(c.text, c.options));
  }
}

TEST_F(FilterExprTest, BadTextsSayWhatAndWhere) {
  struct Case {
    const char* text;
    const char* message;
  };
  for (const Case& c : {
           Case{"Name = 'abc", "Фильтр: не закрыта строковая константа (позиция 8)"},
           {"[Name = 1", "Фильтр: не закрыто имя поля (позиция 1)"},
           {"Qty = 5 # 1", "Фильтр: недопустимый символ '#' (позиция 9)"},
           {"Qty =", "Фильтр: ожидалось выражение, найдено конец текста (позиция 6)"},
           {"", "Фильтр: ожидалось выражение, найдено конец текста (позиция 1)"},
           {"AND = 1", "Фильтр: ожидалось выражение, найдено 'AND' (позиция 1)"},
           {"(Qty = 5", "Фильтр: ожидалась ')', найдено конец текста (позиция 9)"},
           {"Qty IN 1, 2", "Фильтр: ожидалась '(', найдено '1' (позиция 8)"},
           {"Qty IN (1 2)", "Фильтр: ожидалась ')', найдено '2' (позиция 11)"},
           {"Qty = 5 Amount", "Фильтр: лишний текст 'Amount' (позиция 9)"},
           {"Qty > NULL", "Фильтр: NULL допустим только после '=', '<>' или IS (позиция 7)"},
           {"NULL = Qty", "Фильтр: NULL допустим только после '=', '<>' или IS (позиция 1)"},
           {"Qty IS 5", "Фильтр: после IS ожидалось NULL (позиция 8)"},
           {"Qty NOT 5", "Фильтр: ожидалось выражение, найдено '5' (позиция 9)"},
           {"FOO(Qty) = 1", "Фильтр: неизвестная функция FOO (позиция 1)"},
           {"UPPER(Name, Qty) = 'A'",
            "Фильтр: неверное число аргументов функции UPPER (позиция 1)"},
           {"GETDATE(1) > Born", "Фильтр: неверное число аргументов функции GETDATE (позиция 1)"},
           {"Born = '31.02.2024'", "Фильтр: значение '31.02.2024' не подходит для поля 'Born'"},
           {"Qty IN (1, 'x')", "Фильтр: значение 'x' не подходит для поля 'Qty'"},
           {"Qty = 1.2.3", "Фильтр: неверное число 1.2.3 (позиция 7)"},
           {"Missing = 1", "Поле 'Missing' не найдено"},
       }) {
    SCOPED_TRACE(c.text);
    try {
      TExprParser parser(&Data, c.text, {});
      ADD_FAILURE() << "parsed as " << Dump(parser.Root());
    } catch (EDatabaseError& e) {
      EXPECT_EQ(c.message, e.Message());
    }
  }
}

TEST_F(FilterExprTest, TheParserKeepsItsTextAndOptions) {
  TExprParser parser(&Data, "Qty = 1", {foCaseInsensitive});
  EXPECT_EQ("Qty = 1", parser.Text());
  EXPECT_TRUE(parser.Options().Contains(foCaseInsensitive));
  EXPECT_EQ(ncBinary, parser.Root()->NodeClass);
  EXPECT_EQ(3, static_cast<int>(parser.Root()->Operator));
  EXPECT_EQ(ftInteger, parser.Root()->Operands[0]->DataType);
}

}  // namespace
