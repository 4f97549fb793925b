// The filter cell's expressions: typed texts into conditions, every error
// with its message, the display text that parses back to the same
// expression (a table and generated expressions under both decimal
// separators), and the dataset-features registry's choice of entry.
#include "COMPONENTS/kslib/DbUtilsKs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "tests/platform/db/ArrayDataSet.h"
#include "zynMemTable.h"

namespace {

class TDecimalSeparator {
 public:
  explicit TDecimalSeparator(char Separator) : FSaved(FormatSettings.DecimalSeparator) {
    FormatSettings.DecimalSeparator = Separator;
  }
  ~TDecimalSeparator() { FormatSettings.DecimalSeparator = FSaved; }

 private:
  char FSaved;
};

AnsiString DescribeValue(const Variant& V) {
  if (V.IsArray()) {
    AnsiString Items;
    for (int i = VarArrayLowBound(V, 1); i <= VarArrayHighBound(V, 1); ++i)
      Items += (Items.empty() ? "" : ",") + DescribeValue(V[i]);
    return "[" + Items + "]";
  }
  switch (V.VarType()) {
    case varNull:
      return "null";
    case varDouble: {
      char Text[40];
      std::snprintf(Text, sizeof Text, "%.17g", V.AsDouble());
      return Text;
    }
    case varDate:
      return "#" + FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", V.AsDateTime());
    case varString:
      return "'" + V.AsString() + "'";
    default:
      return "?" + V.AsString();
  }
}

const char* const OperatorNames[16] = {
    "",         "=",  "<>",     ">",       "<",           ">=",  "<=", "like",
    "not like", "in", "not in", "is null", "is not null", "and", "or", "value"};

AnsiString DescribeCondition(TSTFilterOperatorKs Op, const Variant& Operand) {
  AnsiString Text = OperatorNames[Op];
  if (!Operand.IsNull()) Text += " " + DescribeValue(Operand);
  return Text;
}

// One line that names every field of the expression.
AnsiString Describe(const TSTFilterExpressionKs& E) {
  AnsiString Text = DescribeCondition(E.Operator1, E.Operand1);
  if (E.Relation != fopNone || E.Operator2 != fopNone)
    Text += AnsiString(" ") + OperatorNames[E.Relation] + " " +
            DescribeCondition(E.Operator2, E.Operand2);
  return Text;
}

TSTFilterExpressionKs Parsed(const AnsiString& Text, TSTFilterOperandTypeKs Type) {
  TSTFilterExpressionKs E;
  E.OperandType = Type;
  ParseFilterExpression(Text, E);
  return E;
}

struct TParseCase {
  TSTFilterOperandTypeKs Type;
  char Separator;
  const char* Text;
  const char* Expected;
};

TEST(LookupLikeFilter, UpperCasesTheTextAndDoublesItsQuotes) {
  const struct {
    const char* Text;
    const char* Condition;
  } Cases[] = {
      {"мо", "CITY LIKE '%МО%'"},
      {"o'brien", "CITY LIKE '%O''BRIEN%'"},
      {"ёж''", "CITY LIKE '%ЁЖ''''%'"},
      {"", "CITY LIKE '%%'"},
  };
  for (const auto& C : Cases) EXPECT_EQ(LookupLikeFilter("CITY", C.Text), C.Condition) << C.Text;
}

TEST(FilterExpressionParser, TurnsTypedTextsIntoConditions) {
  const TParseCase Cases[] = {
      {fotString, ',', "abc", "like 'abc'"},
      {fotString, ',', "  abc  ", "like 'abc'"},
      {fotNumber, ',', "5", "= 5"},
      {fotBoolean, ',', "True", "= 'True'"},
      {fotString, ',', "'a','b'", "in ['a','b']"},
      {fotString, ',', "'a',,'b'", "in ['a','','b']"},
      {fotNumber, ',', "1,5", "= 1.5"},
      {fotNumber, '.', "1,5", "in [1,5]"},
      {fotNumber, '.', "1.5", "= 1.5"},
      {fotNumber, ',', "In ('1,5','2')", "in [1.5,2]"},
      {fotNumber, ',', "In (1,5)", "in [1,5]"},
      {fotNumber, ',', "= -2,25", "= -2.25"},
      {fotString, ',', "= NULL", "is null"},
      {fotString, ',', "<> null", "is not null"},
      {fotString, ',', "=Null", "is null"},
      {fotString, ',', "NOT LIKE x", "not like 'x'"},
      {fotString, ',', "!~ x", "not like 'x'"},
      {fotString, ',', "~ 'x y'", "like 'x y'"},
      {fotNumber, ',', "! in (1,2)", "not in [1,2]"},
      {fotString, ',', "In(a,b)", "in ['a','b']"},
      {fotString, ',', "In (a, b)", "in ['a',' b']"},
      {fotString, ',', "In ('x')", "in 'x'"},
      {fotString, ',', "In ()", "in ''"},
      {fotNumber, ',', "!= 5", "<> 5"},
      {fotNumber, ',', "<>5", "<> 5"},
      {fotNumber, ',', ">5", "> 5"},
      {fotNumber, ',', "<5", "< 5"},
      {fotNumber, ',', ">= 5 AND <= 10", ">= 5 and <= 10"},
      {fotNumber, ',', "<=5 | >=7", "<= 5 or >= 7"},
      {fotString, ',', "a and b", "like 'a' and like 'b'"},
      {fotString, ',', "a And b", "like 'a' and like 'b'"},
      {fotString, ',', "a & b", "like 'a' and like 'b'"},
      {fotString, ',', "a oR = NULL", "like 'a' or is null"},
      {fotString, ',', "New York", "like 'New York'"},
      {fotString, ',', "New York or Newton", "like 'New York' or like 'Newton'"},
      {fotString, ',', "Москва или Тверь", "like 'Москва или Тверь'"},
      {fotString, ',', "'O''Brien'", "like 'O'Brien'"},
      {fotString, ',', "''''", "like '''"},
      {fotString, ',', "''", "like ''"},
      {fotString, ',', "a=b", "like 'a=b'"},
      // A comparison takes one value, commas and all.
      {fotString, ',', "= a,b", "= 'a,b'"},
      {fotString, ',', "~ a,b or x", "like 'a,b' or like 'x'"},
      {fotDateTime, ',', "01.02.2024", "= #2024-02-01 00:00:00.000"},
      {fotDateTime, ',', "> 01.02.2024 10:30:05", "> #2024-02-01 10:30:05.000"},
      {fotDateTime, ',', "In (01.02.2024,02.02.2024 8:00:00)",
       "in [#2024-02-01 00:00:00.000,#2024-02-02 08:00:00.000]"},
      // A relation with nothing after it joins nothing.
      {fotString, ',', "a and", "like 'a'"},
  };
  for (const TParseCase& C : Cases) {
    TDecimalSeparator Separator(C.Separator);
    EXPECT_EQ(Describe(Parsed(C.Text, C.Type)), C.Expected) << C.Text;
  }
}

TEST(FilterExpressionParser, NamesEachErrorWithTheWholeTextAndWhere) {
  struct TCase {
    const char* Text;
    const char* Message;
    int Position;
  } Cases[] = {
      {"'abc", "Quote is absent: 'abc", 1},
      {"a or 'b''", "Quote is absent: a or 'b''", 6},
      {" in 1,2 ", "'(' expected: in 1,2", 4},
      {"x in", "'(' expected: x in", 5},
      {"In ('a','b'", "')' expected: In ('a','b'", 12},
      {"(a)", "Error in expression: (a)", 1},
      {"NOT x", "Error in expression: NOT x", 1},
      {"AND a", "Error in expression: AND a", 1},
      {"> NULL", "Unexpected expression before Null: > NULL", 3},
      {"In (NULL)", "Unexpected expression before Null: In (NULL)", 5},
      {"=", "Unexpected expression after operator: =", 2},
      {"NOT NULL", "Unexpected expression after operator: NOT NULL", 9},
      {"= <> 5", "Unexpected expression after operator: = <> 5", 3},
      {"a and (", "Incorrect expression: a and (", 7},
      {"a (", "Incorrect expression: a (", 3},
      {"'a' b", "Unexpected AND or OR: 'a' b", 5},
      {"a = b", "Unexpected AND or OR: a = b", 3},
      // What follows a second condition is not dropped without a word.
      {"a and b and c", "Incorrect expression: a and b and c", 9},
      {"a or In ('x'", "')' expected: a or In ('x'", 13},
  };
  for (const TCase& C : Cases) {
    try {
      Parsed(C.Text, fotString);
      ADD_FAILURE() << "no error for " << C.Text;
    } catch (const EFilterExpressionError& E) {
      EXPECT_EQ(E.Message(), C.Message);
      EXPECT_EQ(E.Position, C.Position) << C.Text;
    }
  }
}

TEST(FilterExpressionParser, LongTextsAreReadInOnePass) {
  const AnsiString Spaces(200000, ' ');
  EXPECT_EQ(Describe(Parsed("a" + Spaces + "b", fotString)), "like 'a" + Spaces + "b'");
  EXPECT_EQ(Describe(Parsed("a" + Spaces + "or b", fotString)), "like 'a' or like 'b'");
  const AnsiString Nots(200000, '!');
  EXPECT_THROW(Parsed(Nots + "~ x", fotString), Exception);
  EXPECT_THROW(Parsed("= " + Nots + "~ x", fotString), Exception);
}

TEST(FilterExpressionParser, FailedParseLeavesTheExpressionAsItWas) {
  TSTFilterExpressionKs E = Parsed(">= 5 AND <= 10", fotNumber);
  const AnsiString Before = Describe(E);
  EXPECT_THROW(ParseFilterExpression("> 7 AND (", E), Exception);
  EXPECT_EQ(Describe(E), Before);
  EXPECT_THROW(ParseFilterExpression("> 7 OR abc", E), EConvertError);
  EXPECT_EQ(Describe(E), Before);
  {
    TDecimalSeparator Point('.');
    EXPECT_THROW(ParseFilterExpression("> 1,5", E), EConvertError);
  }
  EXPECT_EQ(Describe(E), Before);
  E.OperandType = fotDateTime;
  EXPECT_THROW(ParseFilterExpression("In (01.02.2024,x)", E), EConvertError);
  EXPECT_EQ(Describe(E), Before);

  ParseFilterExpression("   ", E);
  EXPECT_EQ(Describe(E), "");
  EXPECT_EQ(E.OperandType, fotDateTime);
}

TEST(FilterExpressionParser, ClearKeepsTheOperandType) {
  TSTFilterExpressionKs E = Parsed("a or b", fotString);
  ClearFilterExpression(E);
  EXPECT_EQ(Describe(E), "");
  EXPECT_TRUE(E.Operand1.IsNull());
  EXPECT_EQ(E.OperandType, fotString);
}

TEST(FilterExpressionParser, FieldTypesGiveOperandTypes) {
  const std::pair<TFieldType, TSTFilterOperandTypeKs> Cases[] = {
      {ftString, fotString},   {ftMemo, fotString},     {ftFixedChar, fotString},
      {ftGuid, fotString},     {ftSmallint, fotNumber}, {ftLargeint, fotNumber},
      {ftBCD, fotNumber},      {ftAutoInc, fotNumber},  {ftCurrency, fotNumber},
      {ftDate, fotDateTime},   {ftTime, fotDateTime},   {ftDateTime, fotDateTime},
      {ftBoolean, fotBoolean}, {ftBlob, fotNone},       {ftBytes, fotNone}};
  for (auto [Field, Operand] : Cases) EXPECT_EQ(FilterOperandTypeOf(Field), Operand) << int(Field);
}

TEST(FilterExpressionText, WritesWhatParsesBack) {
  struct TCase {
    TSTFilterOperandTypeKs Type;
    char Separator;
    const char* Typed;
    const char* Shown;
  } Cases[] = {
      {fotString, ',', "= NULL", "=Null"},
      {fotString, ',', "<> null", "<>Null"},
      {fotString, ',', "'a','b'", "In ('a','b')"},
      {fotString, ',', "abc", "~ 'abc'"},
      {fotString, ',', "'O''Brien'", "~ 'O''Brien'"},
      {fotString, ',', "In (O'Brien,x)", "In ('O''Brien','x')"},
      {fotNumber, ',', "In ('1,5','2,5')", "In ('1,5','2,5')"},
      {fotNumber, '.', "In (1.5,2.5)", "In ('1.5','2.5')"},
      {fotNumber, ',', "1,5", "= 1,5"},
      {fotNumber, ',', ">= 5 AND <= 10", ">= 5 AND <= 10"},
      {fotNumber, ',', "5 | 7", "= 5 OR = 7"},
      {fotDateTime, ',', "01.02.2024", "= 01.02.2024"},
      {fotDateTime, ',', "01.02.2024 10:30:05", "= 01.02.2024 10:30:05"},
      {fotString, ',', "", ""},
      // The typed value exactly, not one of its neighbours.
      {fotNumber, ',', "= 1234567890123456", "= 1234567890123456"},
      {fotNumber, '.', "= 12345678901234567", "= 12345678901234568"},
      {fotNumber, ',', "< 0,1", "< 0,1"},
      {fotNumber, ',', "1,5000000000000002", "= 1,5000000000000002"},
      {fotNumber, '.', "In (9007199254740993,0.30000000000000004)",
       "In ('9007199254740992','0.30000000000000004')"},
      {fotNumber, ',', "= 123456789012345", "= 123456789012345"},
      {fotDateTime, ',', "'01.02.2024 10:30:05,250'", "= '01.02.2024 10:30:05,250'"},
      {fotDateTime, '.', "> 01.02.2024 0:00:00.001", "> '01.02.2024 0:00:00.001'"},
  };
  for (const TCase& C : Cases) {
    TDecimalSeparator Separator(C.Separator);
    TSTFilterExpressionKs E = Parsed(C.Typed, C.Type);
    AnsiString Shown = FilterExpressionText(E, false);
    EXPECT_EQ(Shown, C.Shown) << C.Typed;
    EXPECT_EQ(Describe(Parsed(Shown, C.Type)), Describe(E)) << C.Typed;
  }
}

TEST(FilterExpressionText, OperandAloneForValuesPickedFromAList) {
  TSTFilterExpressionKs E = Parsed("In ('a','O''Brien')", fotString);
  EXPECT_EQ(FilterExpressionText(E, true), "'a','O''Brien'");
  EXPECT_EQ(Describe(Parsed(FilterExpressionText(E, true), fotString)), Describe(E));

  E.Operator1 = fopIn;
  E.Operand1 = "Москва";
  EXPECT_EQ(FilterExpressionText(E, true), "Москва");
  E.OperandType = fotNone;
  EXPECT_EQ(FilterExpressionText(E, true), "");
  EXPECT_EQ(FilterExpressionText(E, false), "");
}

// Expressions as a parse makes them, from a fixed seed.
class TExpressionMaker {
 public:
  explicit TExpressionMaker(unsigned Seed) : FRandom(Seed) {}

  TSTFilterExpressionKs Make() {
    TSTFilterExpressionKs E;
    E.OperandType = static_cast<TSTFilterOperandTypeKs>(Pick(1, 4));
    Condition(E.OperandType, E.Operator1, E.Operand1);
    if (Pick(0, 1)) {
      E.Relation = Pick(0, 1) ? fopAnd : fopOr;
      Condition(E.OperandType, E.Operator2, E.Operand2);
    }
    return E;
  }

 private:
  int Pick(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(FRandom); }

  void Condition(TSTFilterOperandTypeKs Type, TSTFilterOperatorKs& Op, Variant& Operand) {
    Op = static_cast<TSTFilterOperatorKs>(Pick(fopEqual, fopIsNotNull));
    if (Op == fopIsNull || Op == fopIsNotNull) {
      Operand = Variant::Null();
    } else if (Op == fopIn || Op == fopNotIn) {
      int Count = Pick(2, 4);
      Operand = VarArrayCreate(0, Count - 1, varVariant);
      for (int i = 0; i < Count; ++i) Operand[i] = Value(Type);
    } else {
      Operand = Value(Type);
    }
  }

  Variant Value(TSTFilterOperandTypeKs Type) {
    static const char* const Texts[] = {
        "abc", "New York", "O'Brien", "''",     "Москва", "ёЁ и Й", "and", "In",    "Null", "NOT x",
        "a,b", "(x)",      " lead",   "trail ", "",       "1,5",    "=",   "a | b", "'",    "~!<>"};
    switch (Type) {
      case fotNumber:
        return Pick(-100000, 100000) / static_cast<double>(Pick(0, 1) ? 1 : 1000);
      case fotDateTime: {
        TDateTime Day = EncodeDate(Pick(1900, 2100), Pick(1, 12), Pick(1, 28));
        if (Pick(0, 1)) Day += EncodeTime(Pick(0, 23), Pick(0, 59), Pick(0, 59), 0);
        return VarFromDateTime(Day);
      }
      default:
        return Texts[Pick(0, std::size(Texts) - 1)];
    }
  }

  std::mt19937 FRandom;
};

TEST(FilterExpressionText, GeneratedExpressionsParseBackUnderBothSeparators) {
  for (char Separator : {',', '.'}) {
    TDecimalSeparator Guard(Separator);
    TExpressionMaker Maker(20261210);
    for (int i = 0; i < 3000; ++i) {
      TSTFilterExpressionKs E = Maker.Make();
      AnsiString Shown = FilterExpressionText(E, false);
      TSTFilterExpressionKs Back;
      Back.OperandType = E.OperandType;
      try {
        ParseFilterExpression(Shown, Back);
      } catch (const Exception& Error) {
        ADD_FAILURE() << Shown << ": " << Error.Message();
        continue;
      }
      ASSERT_EQ(Describe(Back), Describe(E)) << Shown;
    }
  }
}

// ---- Dataset features -------------------------------------------------------

class TTableA : public TArrayDataSet {
 public:
  TTableA() : TArrayDataSet(nullptr) {}
};
class TTableB : public TTableA {};
class TOtherTable : public TArrayDataSet {
 public:
  TOtherTable() : TArrayDataSet(nullptr) {}
};

class TNamedFeatures : public TDatasetFeaturesKs {
 public:
  explicit TNamedFeatures(const char* Name) : Name(Name) {}
  void ApplySorting(TCustomDBGridKs*, TDataSet*, bool) override {}
  void ApplyFilter(TCustomDBGridKs*, TDataSet*, bool) override {}
  const char* Name;
};

class DatasetFeaturesTest : public testing::Test {
 protected:
  ~DatasetFeaturesTest() override {
    for (TDatasetFeaturesKs* F : FRegistered) UnregisterDatasetFeatures(F);
  }
  template <class T>
  void Register(const char* Name, int Depth) {
    auto Features = std::make_unique<TNamedFeatures>(Name);
    FRegistered.push_back(Features.get());
    RegisterDatasetFeatures(DatasetClassTest<T>(), Depth, std::move(Features));
  }
  static const char* Found(const TDataSet* DataSet) {
    auto* F = static_cast<TNamedFeatures*>(FindDatasetFeatures(DataSet));
    return F ? F->Name : "none";
  }
  std::vector<TDatasetFeaturesKs*> FRegistered;
  TArrayDataSet Plain{nullptr};
  TTableA A;
  TTableB B;
  TOtherTable Other;
};

TEST_F(DatasetFeaturesTest, NothingRegisteredFindsNothing) {
  EXPECT_STREQ(Found(&B), "none");
  EXPECT_STREQ(Found(nullptr), "none");
}

TEST_F(DatasetFeaturesTest, TheNearestClassWinsInEitherOrder) {
  Register<TTableB>("b", 3);
  Register<TArrayDataSet>("array", 1);
  Register<TTableA>("a", 2);
  EXPECT_STREQ(Found(&B), "b");
  EXPECT_STREQ(Found(&A), "a");
  EXPECT_STREQ(Found(&Plain), "array");
  EXPECT_STREQ(Found(&Other), "array");
}

TEST_F(DatasetFeaturesTest, OnEqualDepthsTheEarlierWins) {
  Register<TTableA>("first", 2);
  Register<TTableA>("second", 2);
  EXPECT_STREQ(Found(&B), "first");
  UnregisterDatasetFeatures(FRegistered.front());
  EXPECT_STREQ(Found(&B), "second");
  EXPECT_STREQ(Found(&Other), "none");
}

TEST_F(DatasetFeaturesTest, AnEmptyTestOrObjectIsRefused) {
  EXPECT_THROW(RegisterDatasetFeatures(nullptr, 1, std::make_unique<TNamedFeatures>("x")),
               EListError);
  EXPECT_THROW(RegisterDatasetFeatures(DatasetClassTest<TTableA>(), 1, nullptr), EListError);
  EXPECT_STREQ(Found(&A), "none");
}

// The condition written for a dataset's own filter selects exactly the rows
// the typed expression names.
TEST(FilterExpressionAsDatasetFilter, SelectsTheRowsTheExpressionNames) {
  TzynMemTable Table(nullptr);
  Table.FieldDefs()->Add("Id", ftInteger);
  Table.FieldDefs()->Add("Name", ftString, 20);
  Table.FieldDefs()->Add("Price", ftFloat);
  Table.FieldDefs()->Add("Day", ftDateTime);
  Table.FieldDefs()->Add("Paid", ftBoolean);
  Table.Open();
  AppendValues(&Table, {1, "Москва", 1.5, VarFromDateTime(StrToDateTime("01.02.2024 10:30:00")), true});
  AppendValues(&Table, {2, "Тверь", 2.25, VarFromDateTime(StrToDateTime("01.02.2024")), false});
  AppendValues(&Table, {3, "O'Brien", 10.0, VarFromDateTime(StrToDateTime("03.02.2024 12:00:00")), true});
  AppendValues(&Table, {4, Variant::Null(), 0.0, VarFromDateTime(StrToDateTime("05.02.2024")), false});
  AppendValues(&Table, {5, "Мурманск", 7.5, VarFromDateTime(StrToDateTime("01.02.2024 23:59:00")), true});
  const struct {
    const char* Field;
    TSTFilterOperandTypeKs Type;
    char Separator;
    const char* Typed;
    const char* Ids;
  } Cases[] = {
      {"Name", fotString, ',', "Москва", "1"},
      {"Name", fotString, ',', "Му%", "5"},
      {"Name", fotString, ',', "'O''Brien','Тверь'", "2,3"},
      {"Name", fotString, ',', "= null", "4"},
      {"Name", fotString, ',', "<> null", "1,2,3,5"},
      {"Name", fotString, ',', "!~ М%", "2,3,4"},  // an empty name is not like it
      {"Id", fotNumber, ',', "! in (1,2)", "3,4,5"},
      {"Id", fotNumber, ',', "= 1 or = 4", "1,4"},
      {"Price", fotNumber, ',', "> 2", "2,3,5"},
      {"Price", fotNumber, ',', ">= 1,5 and < 7,5", "1,2"},
      {"Price", fotNumber, '.', ">= 1.5 and < 7.5", "1,2"},
      {"Price", fotNumber, ',', "In ('1,5','10')", "1,3"},
      {"Price", fotNumber, '.', "In (2.25,10)", "2,3"},
      {"Day", fotDateTime, ',', ">= 01.02.2024 12:00:00", "3,4,5"},
      {"Day", fotDateTime, ',', "01.02.2024", "2"},
      // Typed values are applied exactly: 17 digits, a fraction of a second.
      {"Price", fotNumber, ',', "< 1,5000000000000002", "1,4"},
      {"Day", fotDateTime, ',', ">= '01.02.2024 10:30:00,5'", "3,4,5"},
      {"Paid", fotBoolean, ',', "True", "1,3,5"},
  };
  for (const auto& C : Cases) {
    TDecimalSeparator Separator(C.Separator);
    AnsiString Filter = FilterExpressionAsDatasetFilter(C.Field, Parsed(C.Typed, C.Type));
    Table.SetFiltered(false);
    Table.SetFilter(Filter);
    Table.SetFiltered(true);
    AnsiString Ids;
    for (Table.First(); !Table.Eof(); Table.Next())
      Ids += (Ids.empty() ? "" : ",") + Table.FieldByName("Id")->AsString();
    EXPECT_EQ(Ids, AnsiString(C.Ids)) << C.Field << " " << C.Typed << " as " << Filter;
  }
  Table.SetFiltered(false);
  EXPECT_EQ(FilterExpressionAsDatasetFilter("Name", TSTFilterExpressionKs{}), AnsiString());
  Table.Close();
}

}  // namespace
