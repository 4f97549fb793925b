// Group operations over a server-backed dataset on a real database file:
// what reaches the server, over all records and over marks, what the user
// is asked and told, and that refusals and failures leave the data alone.
#include "uIterators.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "SDSTestKit.h"
#include "SDataSource.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "zynMemTable.h"

namespace {

// Four rows a to d of one of each.
constexpr const char* FourRows =
    "DELETE FROM GOODS;\n"
    "INSERT INTO GOODS VALUES (1, 0, 'a', 1, 1, 1);\n"
    "INSERT INTO GOODS VALUES (2, 0, 'b', 1, 1, 1);\n"
    "INSERT INTO GOODS VALUES (3, 0, 'c', 1, 1, 1);\n"
    "INSERT INTO GOODS VALUES (4, 0, 'd', 1, 1, 1);\n";

class GroupOperationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    File.Isql(
        "CREATE EXCEPTION E_REFUSED 'refused by the server';\n"
        "CREATE TABLE GOODS (SYS$ID BIGINT NOT NULL PRIMARY KEY, SYS$STATE INTEGER DEFAULT 0 NOT NULL,\n"
        "  NAME VARCHAR(20), QTY INTEGER, PRICE DOUBLE PRECISION, AMOUNT NUMERIC(9,2));\n"
        "SET TERM ^ ;\n"
        "CREATE TRIGGER GOODS_REFUSE FOR GOODS BEFORE UPDATE AS BEGIN\n"
        "  IF (NEW.QTY = 13) THEN EXCEPTION E_REFUSED; END^\n"
        "SET TERM ; ^\n"
        "INSERT INTO GOODS VALUES (1, 0, 'Яблоко', 5, 1.5, 10.25);\n"
        "INSERT INTO GOODS VALUES (2, 0, 'Груша', 5, NULL, 1000);\n"
        "INSERT INTO GOODS VALUES (3, 0, 'слива', 3, 2, 0.5);\n"
        "INSERT INTO GOODS VALUES (4, 0, 'Ёж', NULL, 3, NULL);\nCOMMIT;");
    Db = std::make_unique<TSDSOnFile>(File);
    SetPromptValueHook([this](const AnsiString& Caption, uint8_t Type, Variant& Value) {
      Captions.push_back(Caption);
      Types.push_back(Type);
      if (Answer.IsEmpty()) return false;
      Value = Answer;
      return true;
    });
  }
  void TearDown() override {
    SetPromptValueHook(nullptr);
    Source.reset();
    Sds.reset();
  }
  void Open(TSDSOptions Extra = {}, const char* Table = "GOODS") {
    Sds = Db->Dataset(Table, Extra);
    Sds->Open();
    Source = std::make_unique<TSDataSource>(nullptr);
    Source->SetDataSet(Sds.get());
  }
  void GoTo(int Id) { ASSERT_TRUE(Sds->Locate("SYS$ID", Id, {})) << Id; }
  void Mark(std::initializer_list<int> Ids) {
    for (int id : Ids) {
      GoTo(id);
      Source->Marker()->ToggleMark();
    }
  }
  void Run(const char* Field, uint8_t Operation) {
    RunGroupOperation(Source.get(), Field ? Sds->FieldByName(Field) : nullptr, Operation);
  }
  // A column of every row on the server, by identity, null as "-".
  std::string Column(const std::string& Name) {
    return QueryValue(*Db->Database, "select list(V, ' ') from (select coalesce(cast(" + Name +
                                         " as varchar(30)), '-') V from GOODS order by SYS$ID)");
  }
  std::string Count() { return QueryValue(*Db->Database, "select count(*) from GOODS"); }
  // Rows set afresh through isql, which needs the file to itself.
  void Refill(const std::string& Script) {
    Source.reset();
    Sds.reset();
    Db.reset();
    File.Isql(Script + "COMMIT;");
    Db = std::make_unique<TSDSOnFile>(File);
  }

  TTestDatabase File{"nocomment"};
  std::unique_ptr<TSDSOnFile> Db;
  std::unique_ptr<TSDS> Sds;
  std::unique_ptr<TSDataSource> Source;
  TScriptedDataPrompts Prompts;
  Variant Answer;
  std::vector<AnsiString> Captions;
  std::vector<uint8_t> Types;
};

TEST_F(GroupOperationTest, ChangesReachEveryRecordOrOnlyTheMarkedOnes) {
  struct TCase {
    const char* Field;
    uint8_t Operation;
    Variant Answer;
    std::initializer_list<int> Marks;
    const char* Caption;  // of the value prompt, or the question
    uint8_t Type;
    const char* Column;
  } cases[] = {
      // The record current at the start (1) gives the value to replace.
      {"QTY", grReplace, 9, {}, "Заменить в ГРАФЕ одно значение на другое", pvInteger, "9 9 3 -"},
      {"QTY", grReplace, 9, {2, 3}, "Заменить в ПОМЕЧЕННЫХ строках одно значение на другое", pvInteger,
       "5 9 3 -"},
      {"QTY", grFill, 0, {3, 4}, "Заменить в ПОМЕЧЕННЫХ строках все значения на заданное", pvInteger, "5 5 0 0"},
      {"NAME", grFill, "Кот", {}, "Заменить в ГРАФЕ все значения на заданное", pvString, "Кот Кот Кот Кот"},
      // A null stays null.
      {"QTY", grAdd, 20.0, {}, "Добавить значение(в графе)", pvFloat, "25 25 23 -"},
      {"QTY", grMultiply, 2.0, {1, 4}, "Умножить на значение(в ПОМЕЧЕННЫХ строках)", pvFloat, "10 5 3 -"},
      {"NAME", grUpperCase, Variant(), {}, "Заменить графу заглавными буквами ?", 0, "ЯБЛОКО ГРУША СЛИВА ЁЖ"},
      {"NAME", grLowerCase, Variant(), {2, 4}, "Заменить ПОМЕЧЕННЫЕ строки малыми буквами ?", 0,
       "Яблоко груша слива ёж"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Caption);
    Refill("UPDATE GOODS SET QTY = CASE SYS$ID WHEN 3 THEN 3 WHEN 4 THEN NULL ELSE 5 END,\n"
           "  NAME = CASE SYS$ID WHEN 1 THEN 'Яблоко' WHEN 2 THEN 'Груша' WHEN 3 THEN 'слива' ELSE 'Ёж' END;\n");
    Open();
    Mark(c.Marks);
    GoTo(1);
    Answer = c.Answer;
    Captions.clear();
    Types.clear();
    Prompts.Questions.clear();
    Prompts.Answers = {true};
    Run(c.Field, c.Operation);
    if (c.Operation == grUpperCase || c.Operation == grLowerCase) {
      EXPECT_EQ(Prompts.Questions, std::vector<AnsiString>{c.Caption});
    } else {
      EXPECT_EQ(Captions, std::vector<AnsiString>{c.Caption});
      EXPECT_EQ(Types, std::vector<uint8_t>{c.Type});
    }
    EXPECT_EQ(Column(c.Field), c.Column);
    // In browse on the starting record, the controls enabled again.
    EXPECT_EQ(Sds->State(), dsBrowse);
    EXPECT_EQ(Sds->FieldByName("SYS$ID")->AsInteger(), 1);
    EXPECT_FALSE(Sds->ControlsDisabled());
  }
}

TEST_F(GroupOperationTest, SumAndCountTellTheirTotals) {
  Open();
  const struct {
    const char* Field;
    uint8_t Operation;
    std::initializer_list<int> Marks;
    const char* Message;
  } cases[] = {
      {"QTY", grSum, {}, "Итого по ВСЕЙ графе QTY  13"},
      {"PRICE", grSum, {1, 2}, "Итого по ПОМЕЧЕННЫМ строкам в графе PRICE  1,50"},
      {"AMOUNT", grSum, {}, "Итого по ВСЕЙ графе AMOUNT  1\xA0" "010,75"},
      {"NAME", grCount, {}, "Количество  строк = 4"},
      {nullptr, grCount, {3, 4}, "Количество ПОМЕЧЕННЫХ строк = 2"},
  };
  for (const auto& c : cases) {
    Source->Marker()->Clear();
    Mark(c.Marks);
    GoTo(2);
    Prompts.Messages.clear();
    Run(c.Field, c.Operation);
    EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{c.Message});
    EXPECT_EQ(Sds->FieldByName("SYS$ID")->AsInteger(), 2);
  }
  // A text column has no sum.
  Prompts.Messages.clear();
  Run("NAME", grSum);
  EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(GroupOperationTest, AMultiplyKeepsTheColumnsScaleSoMemoryAndSumMatchTheServer) {
  // Each product ends in a half cent, which the server rounds away from zero.
  Refill(
      "UPDATE GOODS SET AMOUNT = CASE SYS$ID WHEN 1 THEN 0.03 WHEN 2 THEN 0.05 WHEN 3 THEN 0.07 "
      "END;\n");
  Open();
  Answer = 1.5;
  Run("AMOUNT", grMultiply);
  EXPECT_EQ(Column("AMOUNT"), "0.05 0.08 0.11 -");
  AnsiString memory;
  for (Sds->First(); !Sds->Eof(); Sds->Next())
    memory += (memory.empty() ? "" : " ") +
              (Sds->FieldByName("AMOUNT")->IsNull() ? "-" : Sds->FieldByName("AMOUNT")->AsString());
  EXPECT_EQ(memory, "0,05 0,08 0,11 -");
  EXPECT_EQ(QueryValue(*Db->Database, "select sum(AMOUNT) from GOODS"), "0.24");
  Prompts.Messages.clear();
  Run("AMOUNT", grSum);
  EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{"Итого по ВСЕЙ графе AMOUNT  0,24"});
}

// Money as the server and exact decimal arithmetic have it: scaled
// integers, wide enough for an 18-digit value times an operand.
using TWide = __int128;

TWide RoundHalfAway(TWide Value, TWide Divisor) {
  const TWide magnitude = (Value < 0 ? -Value : Value) + Divisor / 2;
  return (Value < 0 ? -1 : 1) * (magnitude / Divisor);
}

TWide PowerOfTen(int Exponent) {
  TWide p = 1;
  while (Exponent-- > 0) p *= 10;
  return p;
}

// As the server writes a NUMERIC: every decimal, a point. With Thousands
// (the sum's message), rounded to two decimals and grouped as "#,##0.00".
std::string MoneyText(TWide Scaled, int Scale, char Point = '.', const char* Thousands = nullptr) {
  if (Thousands && Scale > 2) {
    Scaled = RoundHalfAway(Scaled, PowerOfTen(Scale - 2));
    Scale = 2;
  }
  const bool negative = Scaled < 0;
  TWide magnitude = negative ? -Scaled : Scaled;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (static_cast<int>(digits.size()) <= Scale) digits.insert(0, Scale + 1 - digits.size(), '0');
  std::string whole = digits.substr(0, digits.size() - Scale);
  if (Thousands)
    for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3) whole.insert(i, Thousands);
  return (negative ? "-" : "") + whole + (Scale ? Point + digits.substr(digits.size() - Scale) : "");
}

// A group multiply and a group add over 60 marked rows of NUMERIC(15,2) and
// NUMERIC(18,4) columns, each value chosen so the exact result ends in a
// half: the server, the dataset's memory and the reported sum all hold the
// exact result rounded half away from zero, as the server's own cast does.
// Through a binary double 13031.90 * 1.15 came out a cent short.
TEST_F(GroupOperationTest, MoneyIsComputedExactlyAndRoundedHalfAwayFromZero) {
  constexpr int Rows = 64, Marked = 60, NullRow = 30;
  const struct {
    const char* Column;
    int Scale;
    uint8_t Operation;
    const char* Operand;  // as typed, and as the server reads it
    const char* ServerOperand;
    int64_t OperandDigits;
    int OperandScale;
    std::function<int64_t(int)> Value;  // of row 1..64, scaled
  } cases[] = {
      // A cent count of 10 modulo 20 makes a product ending in half a cent.
      {"A", 2, grMultiply, "1,15", "1.15", 115, 2,
       [](int Row) { return (Row % 3 ? 1 : -1) * (int64_t{1303190} + 20 * (Row - 1)); }},
      {"A", 2, grAdd, "0,005", "0.005", 5, 3,
       [](int Row) { return (Row % 4 ? 1 : -1) * (int64_t{1303190} + 7 * Row); }},
      {"A", 2, grAdd, "-0,005", "-0.005", -5, 3,
       [](int Row) { return (Row % 2 ? 1 : -1) * (int64_t{99999999999} + 13 * Row); }},
      // 17 digits: the largest whose product the server itself computes.
      {"B", 4, grMultiply, "1,15", "1.15", 115, 2,
       [](int Row) {
         return (Row % 3 ? 1 : -1) * ((Row % 2 ? int64_t{70000000000000010} : int64_t{130319010}) +
                                      20 * int64_t{1234567} * Row);
       }},
      {"B", 4, grMultiply, "0,5", "0.5", 5, 1,
       [](int Row) { return (Row % 2 ? 1 : -1) * (int64_t{1} + 2 * int64_t{98765432101} * Row); }},
      // 18 digits.
      {"B", 4, grAdd, "0,00005", "0.00005", 5, 5,
       [](int Row) { return (Row % 3 ? 1 : -1) * (int64_t{123456789012345678} - 3 * Row); }},
  };
  for (const auto& c : cases) {
    const std::string expression = std::string(c.Column) + (c.Operation == grAdd ? " + " : " * ") + c.ServerOperand;
    SCOPED_TRACE(expression);
    std::string rows =
        "RECREATE TABLE MONEY (SYS$ID BIGINT NOT NULL PRIMARY KEY, SYS$STATE INTEGER DEFAULT 0 NOT NULL,\n"
        "  A NUMERIC(15,2), B NUMERIC(18,4));\nCOMMIT;\n";
    std::vector<TWide> expected;
    TWide sum = 0;
    for (int row = 1; row <= Rows; ++row) {
      const TWide value = c.Value(row);
      const std::string text = row == NullRow ? "NULL" : MoneyText(value, c.Scale);
      rows += "INSERT INTO MONEY (SYS$ID, " + std::string(c.Column) + ") VALUES (" + std::to_string(row) + ", " +
              text + ");\n";
      TWide result = value;
      if (row <= Marked && c.Operation == grMultiply) {
        result = RoundHalfAway(value * c.OperandDigits, PowerOfTen(c.OperandScale));
      } else if (row <= Marked) {
        const TWide shift = PowerOfTen(c.OperandScale - c.Scale);
        result = RoundHalfAway(value * shift + c.OperandDigits, shift);
      }
      expected.push_back(result);
      if (row <= Marked && row != NullRow) sum += result;
    }
    Refill(rows);
    // What the server's own arithmetic makes of the marked rows.
    const std::string type = c.Scale == 2 ? "numeric(15,2)" : "numeric(18,4)";
    const std::string server = QueryValue(
        *Db->Database, "select list(coalesce(cast(iif(SYS$ID <= " + std::to_string(Marked) + ", cast(" +
                           expression + " as " + type + "), " + c.Column +
                           ") as varchar(30)), '-'), ' ') from (select * from MONEY order by SYS$ID)");
    Open({}, "MONEY");
    for (int row = 1; row <= Marked; ++row) Mark({row});
    Answer = c.Operand;
    Run(c.Column, c.Operation);

    std::string exact;
    for (size_t i = 0; i < expected.size(); ++i)
      exact += (i ? " " : "") + (i + 1 == NullRow ? std::string("-") : MoneyText(expected[i], c.Scale));
    EXPECT_EQ(QueryValue(*Db->Database, "select list(coalesce(cast(" + std::string(c.Column) +
                                            " as varchar(30)), '-'), ' ') from (select * from MONEY order by SYS$ID)"),
              exact);
    EXPECT_EQ(server, exact);
    auto* field = dynamic_cast<TBCDField*>(Sds->FieldByName(c.Column));
    ASSERT_NE(field, nullptr);
    for (int row = 1; row <= Rows; ++row) {
      GoTo(row);
      if (row == NullRow) {
        EXPECT_TRUE(field->IsNull());
        continue;
      }
      int64_t scaled = 0;
      ASSERT_TRUE(BCDToScaled(field->AsBCD(), c.Scale, scaled));
      EXPECT_EQ(scaled, static_cast<int64_t>(expected[row - 1])) << "row " << row;
    }
    EXPECT_EQ(QueryValue(*Db->Database, "select cast(sum(" + std::string(c.Column) + ") as varchar(30)) from MONEY where SYS$ID <= " +
                                            std::to_string(Marked)),
              MoneyText(sum, c.Scale));
    Prompts.Messages.clear();
    Run(c.Column, grSum);
    EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{"Итого по ПОМЕЧЕННЫМ строкам в графе " + std::string(c.Column) +
                                                        "  " + MoneyText(sum, c.Scale, ',', "\xA0")});
  }
}

// A product the column cannot hold (the server's own limit: 64 bits at its
// scale) is refused with the field's range error at that record; the walk
// stops there, the record before it keeps its change.
TEST_F(GroupOperationTest, AResultBeyondTheColumnIsRefusedWithItsRangeError) {
  Refill(
      "RECREATE TABLE MONEY (SYS$ID BIGINT NOT NULL PRIMARY KEY, SYS$STATE INTEGER DEFAULT 0 NOT NULL,\n"
      "  A NUMERIC(15,2), B NUMERIC(18,4));\nCOMMIT;\n"
      "INSERT INTO MONEY (SYS$ID, B) VALUES (1, 1);\n"
      "INSERT INTO MONEY (SYS$ID, B) VALUES (2, 900000000000000);\n"
      "INSERT INTO MONEY (SYS$ID, B) VALUES (3, 3);\n");
  Open({}, "MONEY");
  Answer = "2";
  try {
    Run("B", grMultiply);
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.Message()).find("1800000000000000 - недопустимое значение для поля 'B'"),
              std::string::npos)
        << e.Message();
  }
  EXPECT_EQ(QueryValue(*Db->Database,
                       "select list(cast(B as varchar(30)), ' ') from (select * from MONEY order by SYS$ID)"),
            "2.0000 900000000000000.0000 3.0000");
  GoTo(2);
  EXPECT_EQ(Sds->FieldByName("B")->AsString(), "900000000000000");
  EXPECT_EQ(Sds->State(), dsBrowse);
}

// A fill takes the amount as typed: all 18 digits reach the server, which a
// double would have cut to 17.
TEST_F(GroupOperationTest, AFillOfMoneyKeepsEveryDigitTyped) {
  Refill(
      "RECREATE TABLE MONEY (SYS$ID BIGINT NOT NULL PRIMARY KEY, SYS$STATE INTEGER DEFAULT 0 NOT NULL,\n"
      "  A NUMERIC(15,2), B NUMERIC(18,4));\nCOMMIT;\n"
      "INSERT INTO MONEY (SYS$ID, B) VALUES (1, 1);\nINSERT INTO MONEY (SYS$ID, B) VALUES (2, NULL);\n");
  Open({}, "MONEY");
  Answer = "-12345678901234,5678";
  Run("B", grFill);
  EXPECT_EQ(QueryValue(*Db->Database, "select list(B, ' ') from (select * from MONEY order by SYS$ID)"),
            "-12345678901234.5678 -12345678901234.5678");
  GoTo(2);
  EXPECT_EQ(Sds->FieldByName("B")->AsString(), "-12345678901234,5678");
}

TEST_F(GroupOperationTest, RefusalsCancelsAndNoChangeNothing) {
  Open();
  TSDS other(nullptr);
  other.FieldDefs()->Add("QTY", ftInteger);
  other.Open();
  Sds->FieldByName("PRICE")->SetReadOnly(true);
  const auto refused = [&](const char* Why, auto&& Act) {
    SCOPED_TRACE(Why);
    Prompts.Messages.clear();
    Prompts.Questions.clear();
    Captions.clear();
    Act();
    EXPECT_EQ(Column("QTY"), "5 5 3 -");
    EXPECT_EQ(Column("NAME"), "Яблоко Груша слива Ёж");
    EXPECT_EQ(Count(), "4");
    return Prompts.Messages;
  };
  Answer = 1;
  EXPECT_EQ(refused("no data source", [&] { RunGroupOperation(nullptr, nullptr, grFill); }),
            std::vector<AnsiString>{"Неинициализированный набор данных."});
  TDataSource plain(nullptr);
  EXPECT_THROW(RunGroupOperation(&plain, nullptr, grFill), EInvalidCast);
  Sds->Edit();
  EXPECT_EQ(refused("editing", [&] { Run("QTY", grFill); }),
            std::vector<AnsiString>{"Набор данных не в режиме просмотра."});
  Sds->Cancel();
  EXPECT_EQ(refused("read-only", [&] { Run("PRICE", grFill); }),
            std::vector<AnsiString>{"Поле НД не может быть изменено."});
  EXPECT_EQ(refused("primary key", [&] { Run("SYS$ID", grAdd); }),
            std::vector<AnsiString>{"Операция не применима к полям индекса и сортировки."});
  EXPECT_EQ(refused("another dataset", [&] { RunGroupOperation(Source.get(), other.FieldByName("QTY"), grFill); }),
            std::vector<AnsiString>{"Поле не найдено."});

  // The lock refuses all records once, silently to the caller.
  GroupAllRecordsLocked = true;
  refused("locked", [&] { EXPECT_THROW(Run("QTY", grFill), EAbort); });
  EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{"Применение групповых операций ко ВСЕМ записям "
                                                      "заблокировано, возможно - только к ВЫДЕЛЕННЫМ."});
  EXPECT_FALSE(GroupAllRecordsLocked);

  Answer = Variant();
  refused("prompt cancelled", [&] { Run("QTY", grFill); });
  EXPECT_EQ(Captions.size(), 1u);
  refused("no to the case", [&] { Run("NAME", grUpperCase); });
  refused("no to the delete", [&] { Run(nullptr, grDelete); });
  EXPECT_EQ(Prompts.Questions, std::vector<AnsiString>{"Удалить все записи?"});
  // The lock does not hold against marks.
  Mark({3});
  GroupAllRecordsLocked = true;
  Answer = 8;
  Run("QTY", grFill);
  EXPECT_EQ(Column("QTY"), "5 5 8 -");
  EXPECT_FALSE(Sds->ControlsDisabled());
}

// Whole numbers take the result as the server's own arithmetic rounds it:
// half away from zero, on both sides of zero.
TEST_F(GroupOperationTest, ArithmeticOnWholeNumbersRoundsAsTheServerDoes) {
  std::string rows = "DELETE FROM GOODS;\n";
  for (int id = 1; id <= 12; ++id)
    rows += "INSERT INTO GOODS VALUES (" + std::to_string(id) + ", 0, 'x', " +
            std::to_string(id - 6) + ", NULL, NULL);\n";
  for (const auto& [operation, operand, expression] :
       {std::tuple{grAdd, 0.5, "QTY + 0.5"}, std::tuple{grMultiply, 1.5, "QTY * 1.5"},
        std::tuple{grAdd, -0.5, "QTY - 0.5"}}) {
    SCOPED_TRACE(expression);
    Refill(rows);
    const std::string server = Column(std::string("cast(") + expression + " as integer)");
    Open();
    Answer = operand;
    Run("QTY", operation);
    EXPECT_EQ(Column("QTY"), server);
  }
  EXPECT_EQ(Column("QTY"), "-6 -5 -4 -3 -2 -1 1 2 3 4 5 6") << "-5.5 .. 5.5 away from zero";
}

// A value longer than the text column is refused before any record
// changes; one that fits fills every record.
TEST_F(GroupOperationTest, AFillLongerThanTheTextFieldIsRefusedWithItsMessage) {
  Open();
  for (const uint8_t operation : {grFill, grReplace}) {
    Answer = "Абрикосовый компот №1";  // 21 characters into VARCHAR(20)
    Prompts.Messages.clear();
    Run("NAME", operation);
    EXPECT_EQ(Prompts.Messages,
              std::vector<AnsiString>{"Значение длиннее поля \"NAME\" (20 символов)."});
    EXPECT_EQ(Column("NAME"), "Яблоко Груша слива Ёж");
  }
  Answer = "Абрикосовый компот 1";
  Prompts.Messages.clear();
  Run("NAME", grFill);
  EXPECT_TRUE(Prompts.Messages.empty());
  EXPECT_EQ(Column("NAME"),
            "Абрикосовый компот 1 Абрикосовый компот 1 Абрикосовый компот 1 Абрикосовый компот 1");
}

// Deleted records take their marks along: the count and a fill agree that
// nothing is marked, whether the marked rows went by a group delete or
// one by one.
TEST_F(GroupOperationTest, MarksOfDeletedRecordsGoWithThem) {
  for (const bool group : {true, false}) {
    SCOPED_TRACE(group ? "group delete" : "one delete");
    Refill(FourRows);
    Open();
    Mark({2, 4});
    Prompts.Answers = {true};
    if (group) {
      Run(nullptr, grDelete);
    } else {
      for (int id : {2, 4}) {
        GoTo(id);
        Sds->Delete();
      }
    }
    ASSERT_EQ(Count(), "2");
    Prompts.Messages.clear();
    Run(nullptr, grCount);
    EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{"Количество  строк = 2"});
    EXPECT_TRUE(Source->Marker()->IsEmpty());
    Captions.clear();
    Answer = 7;
    Run("QTY", grFill);
    EXPECT_EQ(Captions, std::vector<AnsiString>{"Заменить в ГРАФЕ все значения на заданное"});
    EXPECT_EQ(Column("QTY"), "7 7");
  }
  // A mark on a record that stays is kept.
  Mark({3});
  GoTo(1);
  Sds->Delete();
  EXPECT_FALSE(Source->Marker()->IsEmpty());
  Prompts.Messages.clear();
  Run(nullptr, grCount);
  EXPECT_EQ(Prompts.Messages, std::vector<AnsiString>{"Количество ПОМЕЧЕННЫХ строк = 1"});
}

TEST_F(GroupOperationTest, AStepTheServerRefusesStopsThereWithItsRecordUnchanged) {
  const struct {
    const char* Why;
    TSDSOptions Options;
    bool Logged;        // a log event follows each write, so each commits by itself
    bool RefuseReread;  // record 2's re-read fails after its update ran
    double Answer;
    const char* Column;
  } cases[] = {
      // 2 + 8 passes; 5 + 8 = 13 is what the trigger refuses.
      {"the update alone, at the end", {}, false, false, 8.0, "10 5 3 -"},
      {"behind a savepoint, at the end", {dsoRefreshAfterEdit}, false, false, 8.0, "10 5 3 -"},
      {"committed each", {}, true, false, 8.0, "10 5 3 -"},
      {"the savepoint takes the update back", {dsoRefreshAfterEdit}, false, true, 1.0, "3 5 3 -"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Why);
    Refill("UPDATE GOODS SET QTY = CASE SYS$ID WHEN 3 THEN 3 WHEN 4 THEN NULL ELSE 5 END;\n");
    Open(c.Options);
    if (c.Logged) Sds->OnLogEvent = [](const TSDS*, int) {};
    if (c.RefuseReread)
      Sds->OnRecordLoaded = [](TDataSet* DataSet) {
        if (DataSet->FieldByName("SYS$ID")->AsInteger() == 2) throw Exception("refused on reading");
      };
    GoTo(1);
    Sds->Edit();
    Sds->FieldByName("QTY")->SetAsInteger(2);
    Sds->Post();
    GoTo(2);
    Answer = c.Answer;
    EXPECT_THROW(Run("QTY", grAdd), Exception);
    // Record 1 changed; record 2 was refused and is 5 on both sides.
    EXPECT_EQ(Column("QTY"), c.Column);
    EXPECT_EQ(Sds->State(), dsBrowse);
    EXPECT_EQ(Sds->FieldByName("SYS$ID")->AsInteger(), 2);
    EXPECT_EQ(Sds->FieldByName("QTY")->AsInteger(), 5);
    EXPECT_FALSE(Sds->ControlsDisabled());
  }
}

TEST_F(GroupOperationTest, AWalkCommitsOnceAtItsEndUnlessWorkFollowsEachCommit) {
  const struct {
    const char* Why;
    bool AutoCommit;
    bool Logged;
    int Commits;
  } cases[] = {
      {"auto-commit", true, false, 1},
      {"a log event after each write", true, true, 4},
      {"without auto-commit the application commits", false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Why);
    Refill("UPDATE GOODS SET QTY = CASE SYS$ID WHEN 3 THEN 3 WHEN 4 THEN NULL ELSE 5 END;\n");
    Open();
    if (!c.AutoCommit) Sds->SetOptions(Sds->Options() - TSDSOptions{dsoAutoCommit});
    if (c.Logged) Sds->OnLogEvent = [](const TSDS*, int) {};
    Answer = 1.0;
    int commits = 0;
    {
      TSeamGuard guard([&](const char* Entry) {
        const std::string entry = Entry;
        commits += entry == "isc_commit_retaining" || entry == "isc_commit_transaction";
      });
      Run("QTY", grAdd);
    }
    EXPECT_EQ(commits, c.Commits);
    if (!c.AutoCommit) Db->Transaction->Commit();
    EXPECT_EQ(Column("QTY"), "6 6 4 -");
  }
}

TEST_F(GroupOperationTest, AFailedCommitAtTheEndLeavesTheRecordsAsTheServerHasThem) {
  Open();
  GoTo(2);
  Answer = 1.0;
  {
    TSeamGuard guard([](const char* Entry) {
      const std::string entry = Entry;
      if (entry == "isc_commit_retaining" || entry == "isc_commit_transaction")
        throw EIBClientError("injected");
    });
    EXPECT_THROW(Run("QTY", grAdd), EIBClientError);
  }
  EXPECT_EQ(Column("QTY"), "5 5 3 -");
  EXPECT_EQ(Sds->State(), dsBrowse);
  std::string inMemory;
  for (Sds->First(); !Sds->Eof(); Sds->Next())
    inMemory += Sds->FieldByName("QTY")->AsString() + ";";
  EXPECT_EQ(inMemory, "5;5;3;;");
  EXPECT_FALSE(Sds->ControlsDisabled());
}

TEST_F(GroupOperationTest, DeleteRemovesEachChosenRecordOnce) {
  const struct {
    const char* Why;
    TSDSOptions Options;
    std::initializer_list<int> Marks;
    const char* Question;
    const char* Count;    // rows left on the server
    const char* States;   // SYS$STATE of every row there
  } cases[] = {
      {"real, marked", {}, {2, 4}, "Удалить ПОМЕЧЕННЫЕ записи?", "2", "0 0"},
      {"real, all", {}, {}, "Удалить все записи?", "0", ""},
      {"virtual, marked", {dsoVirtualDelete}, {1, 3}, "Удалить ПОМЕЧЕННЫЕ записи?", "4",
       "-2147483648 0 -2147483648 0"},
      {"virtual, shown", {dsoVirtualDelete, dsoShowDeleted}, {}, "Удалить все записи?", "4",
       "-2147483648 -2147483648 -2147483648 -2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Why);
    Refill(FourRows);
    Open(c.Options);
    Mark(c.Marks);
    Prompts.Questions.clear();
    Prompts.Answers = {true};
    Run(nullptr, grDelete);
    EXPECT_EQ(Prompts.Questions, std::vector<AnsiString>{c.Question});
    EXPECT_EQ(Count(), c.Count);
    EXPECT_EQ(Column("SYS$STATE"), c.States);
    EXPECT_FALSE(Sds->ControlsDisabled());
  }
}

TEST_F(GroupOperationTest, DeletingMastersCascadesToTheDetailsOfEach) {
  const struct {
    const char* Why;
    TSDSOptions Options;  // of both
    const char* Details;  // SYS$ID:SYS$STATE of the detail rows left
    const char* Masters;
  } cases[] = {
      {"virtual",
       {dsoVirtualDelete},
       "100:-2147483648 101:-2147483648 102:-2147483648",
       "10:-2147483648 11:-2147483648"},
      {"real", {}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Why);
    Refill("UPDATE DETAIL_T SET SYS$STATE = 0;\nUPDATE MASTER_T SET SYS$STATE = 0;\n");
    auto master = Db->Dataset("MASTER_T", c.Options + TSDSOptions{dsoCascadeDeleteDetail});
    master->Open();
    TSDataSource source(nullptr);
    source.SetDataSet(master.get());
    auto detail = Db->Dataset("DETAIL_T", c.Options + TSDSOptions{dsoShowDeleted});
    detail->SetMasterSource(&source);
    detail->SetMasterFields("SYS$ID");
    detail->SetDetailFields("MASTER_ID");
    detail->Open();
    // The details follow their master only while its controls are on.
    bool disabled = false;
    master->BeforeDelete = [&](TDataSet* DataSet) {
      disabled = disabled || DataSet->ControlsDisabled();
    };
    Prompts.Answers = {true};
    RunGroupOperation(&source, nullptr, grDelete);
    EXPECT_FALSE(disabled);
    const auto rows = [&](const char* Table) {
      return QueryValue(
          *Db->Database,
          std::string("select list(SYS$ID || ':' || SYS$STATE, ' ') from (select * from ") + Table +
              " order by SYS$ID)");
    };
    EXPECT_EQ(rows("DETAIL_T"), c.Details);
    EXPECT_EQ(rows("MASTER_T"), c.Masters);
  }
}

// The in-memory table's Currency and whole-number fields and a BCD field
// take the exact result rounded once, half away from zero, to the places
// each holds (four, none, its own); a result the field does not hold is
// refused with the field's range error and the record keeps its value.
TEST(GroupOperationInMemoryTest, MoneyAndWholeNumbersAreComputedExactly) {
  TScriptedDataPrompts prompts;
  const struct {
    TFieldType Type;
    int Size;
    uint8_t Operation;
    const char* Operand;
    std::initializer_list<Variant> Values;
    const char* Expected;  // the values after, or the refused value's message part
  } cases[] = {
      // Doubles made 0.50005 a half that went to even, and 10 * 1.15 just below 11.5.
      {ftCurrency, 0, grMultiply, "0,5", {1.0001, -1.0003, 2.5}, "0,5001 -0,5002 1,25"},
      {ftCurrency, 0, grAdd, "0,00005", {13031.9, -0.0001, 0.0}, "13031,9001 -0,0001 0,0001"},
      {ftCurrency, 0, grMultiply, "1,15", {13031.9}, "14986,685"},
      {ftInteger, 0, grMultiply, "1,15", {10, -10, 30, 3}, "12 -12 35 3"},
      {ftSmallint, 0, grAdd, "0,5", {0, -1, 2}, "1 -1 3"},
      {ftWord, 0, grMultiply, "2,5", {1, 3}, "3 8"},
      {ftBCD, 2, grMultiply, "1,15", {Variant(Currency::FromScaled(130319000))}, "14986,69"},
      {ftBCD, 4, grMultiply, "1,0001", {Variant(Currency::FromScaled(5))}, "0,0005"},
      {ftSmallint, 0, grMultiply, "1000", {100}, "100000"},
      {ftInteger, 0, grAdd, "1", {2147483647}, "2147483648"},
      {ftBCD, 2, grMultiply, "2", {"92233720368547758,07"}, "184467440737095516,14"},
      {ftCurrency, 0, grMultiply, "10", {922337203685477.0}, "9,22337203685477E15"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(FieldTypeNames[c.Type]) + " " + c.Operand);
    TzynMemTable table(nullptr);
    table.FieldDefs()->Add("V", c.Type, c.Size);
    table.Open();
    for (const Variant& value : c.Values) AppendValues(&table, {value});
    const auto values = [&] {
      AnsiString all;
      for (table.First(); !table.Eof(); table.Next()) all += (all.empty() ? "" : " ") + table.Fields()->Fields(0)->AsString();
      return all;
    };
    const AnsiString before = values();
    TSDataSource source(nullptr);
    source.SetDataSet(&table);
    SetPromptValueHook([&](const AnsiString&, uint8_t, Variant& Value) {
      Value = c.Operand;
      return true;
    });
    try {
      RunGroupOperation(&source, table.Fields()->Fields(0), c.Operation);
      EXPECT_EQ(values(), c.Expected);
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.Message()).find(std::string(c.Expected) + " - недопустимое значение для поля 'V'"),
                std::string::npos)
          << e.Message();
      EXPECT_EQ(values(), before);
    }
  }
  SetPromptValueHook(nullptr);
}

// A sum of money adds exactly: 1.0025 + 0.0025 = 1.005 shows 1,01, where a
// sum of doubles lies below the half and showed 1,00.
TEST(GroupOperationInMemoryTest, ASumOfMoneyIsExact) {
  TScriptedDataPrompts prompts;
  for (const TFieldType type : {ftCurrency, ftBCD}) {
    TzynMemTable table(nullptr);
    table.FieldDefs()->Add("V", type, type == ftBCD ? 4 : 0);
    table.Open();
    AppendValues(&table, {Currency::FromScaled(10025)});
    AppendValues(&table, {Currency::FromScaled(25)});
    TSDataSource source(nullptr);
    source.SetDataSet(&table);
    prompts.Messages.clear();
    RunGroupOperation(&source, table.FieldByName("V"), grSum);
    EXPECT_EQ(prompts.Messages, std::vector<AnsiString>{"Итого по ВСЕЙ графе V  1,01"}) << FieldTypeNames[type];
  }
}

}  // namespace
