// Values through statements on a real database file: every column type the
// datasets use, both ways, with the extremes of each.
#include "ibclient/IBSQL.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "ibclient/IBError.h"
#include "rtl/SysUtils.h"
#include "tests/db/TestDatabase.h"

namespace {

class IBSQLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    File.Configure(Database);
    Database.Open();
    Transaction.SetDefaultDatabase(&Database);
    Database.SetDefaultTransaction(&Transaction);
    Transaction.StartTransaction();
  }

  TIBSQL& Query(const AnsiString& SQL) {
    Statements.push_back(std::make_unique<TIBSQL>(nullptr));
    TIBSQL& statement = *Statements.back();
    statement.SetDatabase(&Database);
    statement.SetSQLText(SQL);
    return statement;
  }

  TTestDatabase File;
  TIBDatabase Database{nullptr};
  TIBTransaction Transaction{nullptr};
  std::vector<std::unique_ptr<TIBSQL>> Statements;
};

TDateTime Stamp(int y, int mo, int d, int h, int mi, int s, int ms) {
  return ComposeDateTime(EncodeDate(y, mo, d), EncodeTime(h, mi, s, ms));
}

AnsiString Cyrillic(size_t length) {
  const AnsiString alphabet = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя";
  AnsiString text;
  for (size_t i = 0; i < length; ++i) text += alphabet[i % alphabet.size()];
  return text;
}

AnsiString Binary(size_t length) {
  AnsiString bytes;
  for (size_t i = 0; i < length; ++i) bytes += static_cast<char>((i * 7 + i / 256) & 0xFF);
  return bytes;
}

const char* const InsertAllTypes =
    "insert into ALL_TYPES (SYS$ID, CODE, F_SMALL, F_INT, F_BIG, F_NUM4_2, F_NUM9_2, F_NUM9_6, "
    "F_NUM18_4, F_NUM18_6, F_FLOAT, F_DOUBLE, F_DATE, F_TIME, F_STAMP, F_CHAR, F_VARCHAR, F_MEMO, "
    "F_BLOB, F_REQ) values (:id, :code, :small, :int, :big, :num4_2, :num9_2, :num9_6, :num18_4, "
    ":num18_6, :float, :double, :date, :time, :stamp, :char, :varchar, :memo, :blob, 1)";

struct TRow {
  int64_t Id;
  int16_t Small;
  int32_t Int;
  int64_t Big, Num4_2, Num9_2, Num9_6, Num18_4, Num18_6;
  float Float;
  double Double;
  TDateTime Date, Time, Stamp;
  AnsiString Char, Varchar, Memo, Blob;
};

TEST_F(IBSQLTest, EveryColumnTypeRoundTripsWithItsExtremes) {
  const TRow rows[] = {
      {1, SHRT_MAX, INT_MAX, LLONG_MAX, 9999, 999999999, 123456789, LLONG_MAX, LLONG_MAX, 1.5f,
       1.7976931348623157e308, EncodeDate(9999, 12, 31), EncodeTime(23, 59, 59, 999),
       Stamp(9999, 12, 31, 23, 59, 59, 999), "Ёжик", Cyrillic(100), Cyrillic(1 << 20), Binary(1 << 20)},
      {2, SHRT_MIN, INT_MIN, LLONG_MIN, -9999, -999999999, -1, LLONG_MIN, LLONG_MIN, -3.25e-38f,
       -4.9e-324, EncodeDate(1, 1, 1), EncodeTime(0, 0, 0, 1), Stamp(1, 1, 1, 0, 0, 0, 1), "", "", "", ""},
      {3, 0, 0, 0, 1, -1, 0, 1, -1, 0, 0, EncodeDate(1899, 12, 29), EncodeTime(12, 0, 0, 500),
       Stamp(1858, 11, 16, 6, 7, 8, 9), "'--:x", "Строка с 'кавычкой' и :name", "ы", AnsiString(1, '\0')},
  };
  TIBSQL& insert = Query(InsertAllTypes);
  for (const TRow& r : rows) {
    insert.ParamByName("id").SetAsInt64(r.Id);
    insert.ParamByName("code").SetAsString("C" + IntToStr(r.Id));
    insert.ParamByName("small").SetAsInteger(r.Small);
    insert.ParamByName("int").SetAsInteger(r.Int);
    insert.ParamByName("big").SetAsInt64(r.Big);
    insert.ParamByName("num4_2").SetScaled(r.Num4_2, -2);
    insert.ParamByName("num9_2").SetScaled(r.Num9_2, -2);
    insert.ParamByName("num9_6").SetScaled(r.Num9_6, -6);
    insert.ParamByName("num18_4").SetScaled(r.Num18_4, -4);
    insert.ParamByName("num18_6").SetScaled(r.Num18_6, -6);
    insert.ParamByName("float").SetAsDouble(r.Float);
    insert.ParamByName("double").SetAsDouble(r.Double);
    insert.ParamByName("date").SetAsDate(r.Date);
    insert.ParamByName("time").SetAsTime(r.Time);
    insert.ParamByName("stamp").SetAsDateTime(r.Stamp);
    insert.ParamByName("char").SetAsString(r.Char);
    insert.ParamByName("varchar").SetAsString(r.Varchar);
    insert.ParamByName("memo").SetAsString(r.Memo);
    insert.ParamByName("blob").SetAsString(r.Blob);
    insert.ExecQuery();
    EXPECT_EQ(insert.RowsAffected(), 1);
  }
  Transaction.Commit();
  Transaction.StartTransaction();

  TIBSQL& select = Query("select * from ALL_TYPES order by SYS$ID");
  select.ExecQuery();
  for (const TRow& r : rows) {
    ASSERT_FALSE(select.Eof());
    SCOPED_TRACE(r.Id);
    EXPECT_EQ(select.FieldByName("SYS$ID").AsInt64(), r.Id);
    EXPECT_EQ(select.FieldByName("F_SMALL").AsInteger(), r.Small);
    EXPECT_EQ(select.FieldByName("F_INT").AsInteger(), r.Int);
    EXPECT_EQ(select.FieldByName("F_BIG").AsInt64(), r.Big);
    EXPECT_EQ(select.FieldByName("F_NUM4_2").ScaledValue(), r.Num4_2);
    EXPECT_EQ(select.FieldByName("F_NUM4_2").Scale(), -2);
    EXPECT_EQ(select.FieldByName("F_NUM9_2").ScaledValue(), r.Num9_2);
    EXPECT_EQ(select.FieldByName("F_NUM9_6").ScaledValue(), r.Num9_6);
    EXPECT_EQ(select.FieldByName("F_NUM18_4").ScaledValue(), r.Num18_4);
    EXPECT_EQ(select.FieldByName("F_NUM18_4").AsCurrency(), Currency::FromScaled(r.Num18_4));
    EXPECT_EQ(select.FieldByName("F_NUM18_6").ScaledValue(), r.Num18_6);
    EXPECT_EQ(select.FieldByName("F_FLOAT").AsDouble(), static_cast<double>(r.Float));
    EXPECT_EQ(select.FieldByName("F_DOUBLE").AsDouble(), r.Double);
    EXPECT_EQ(select.FieldByName("F_DATE").AsDateTime(), r.Date);
    EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", select.FieldByName("F_TIME").AsDateTime()),
              FormatDateTime("hh:nn:ss.zzz", r.Time));
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", select.FieldByName("F_STAMP").AsDateTime()),
              FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", r.Stamp));
    EXPECT_EQ(select.FieldByName("F_CHAR").AsString(), r.Char + AnsiString(10 - r.Char.size(), ' '));
    EXPECT_EQ(select.FieldByName("F_VARCHAR").AsString(), r.Varchar);
    EXPECT_EQ(select.FieldByName("F_MEMO").AsString(), r.Memo);
    EXPECT_EQ(select.FieldByName("F_BLOB").AsString(), r.Blob);
    EXPECT_FALSE(select.FieldByName("F_MEMO").IsNull());
    EXPECT_EQ(select.FieldByName("F_CALC").AsInt64(), int64_t{r.Int} * 2);
    // Defaults of the column and of its domain.
    EXPECT_EQ(select.FieldByName("F_COLDEF").AsInteger(), 5);
    EXPECT_EQ(select.FieldByName("F_DOMDEF").AsInteger(), 0);
    select.Next();
  }
  EXPECT_TRUE(select.Eof());
}

TEST_F(IBSQLTest, NullsGoBothWaysInEveryType) {
  TIBSQL& insert = Query(InsertAllTypes);
  insert.ParamByName("id").SetAsInt64(7);
  insert.ExecQuery();  // every other parameter left null
  TIBSQL& select = Query("select * from ALL_TYPES where SYS$ID = 7");
  select.ExecQuery();
  ASSERT_FALSE(select.Eof());
  int nulls = 0;
  for (int i = 0; i < select.FieldCount(); ++i) {
    const AnsiString name = select.Fields(i).Name();
    if (name.rfind("F_", 0) != 0 || name == "F_REQ" || name == "F_COLDEF" || name == "F_DOMDEF") continue;
    EXPECT_TRUE(select.Fields(i).IsNull()) << name;
    EXPECT_EQ(select.Fields(i).AsString(), "") << name;
    ++nulls;
  }
  EXPECT_EQ(nulls, 18);

  // A value set and then cleared is sent as null again.
  TIBSQL& update = Query("update ALL_TYPES set F_VARCHAR = :v where SYS$ID = 7");
  update.ParamByName("v").SetAsString("x");
  update.ParamByName("v").Clear();
  update.ExecQuery();
  select.ExecQuery();
  EXPECT_TRUE(select.FieldByName("F_VARCHAR").IsNull());
}

TEST_F(IBSQLTest, DatabaseKeyIsEightRawBytesThatFindTheirRow) {
  TIBSQL& keys = Query("select RDB$DB_KEY, SYS$ID from MASTER_T order by SYS$ID");
  keys.ExecQuery();
  const TBytes key = keys.Fields(0).AsBytes();
  ASSERT_EQ(key.size(), 8u);
  EXPECT_EQ(keys.Fields(0).Size(), 8);
  keys.Next();
  EXPECT_NE(keys.Fields(0).AsBytes(), key);

  TIBSQL& byKey = Query("select NAME from MASTER_T where RDB$DB_KEY = :IBX_INTERNAL_DBKEY");
  byKey.ParamByName("IBX_INTERNAL_DBKEY").SetAsBytes(key);
  byKey.ExecQuery();
  ASSERT_FALSE(byKey.Eof());
  EXPECT_EQ(byKey.Fields(0).AsString(), "Первый");
  byKey.Next();
  EXPECT_TRUE(byKey.Eof());
}

TEST_F(IBSQLTest, RepeatedNamesTakeOneValueAndNamesMatchWithoutCase) {
  TIBSQL& count = Query("select count(*) from DETAIL_T where MASTER_ID = :m or SYS$ID = :M + 90");
  EXPECT_EQ(count.ParamCount(), 0);  // not prepared yet
  count.ParamByName("m").SetAsInteger(10);
  count.ExecQuery();
  EXPECT_EQ(count.Fields(0).AsInteger(), 2);
  count.ParamByName("M").SetAsInteger(11);
  count.ExecQuery();
  // Rows of master 11, and row 101 (11 + 90).
  EXPECT_EQ(count.Fields(0).AsInteger(), 2);
  EXPECT_THROW(count.ParamByName("nope"), EIBClientError);
}

TEST_F(IBSQLTest, AlternativeQuotedLiteralsRunAsWritten) {
  TIBSQL& select = Query("select q'{it's :x}', Q'(:y)' from rdb$database where 1 = :z");
  select.ParamByName("z").SetAsInteger(1);
  select.ExecQuery();
  ASSERT_FALSE(select.Eof());
  EXPECT_EQ(select.Fields(0).AsString(), "it's :x");
  EXPECT_EQ(select.Fields(1).AsString(), ":y");
}

TEST_F(IBSQLTest, ColumnsTellTheirOutputNameColumnAndTable) {
  TIBSQL& select = Query("select D.AMOUNT as \"Сумма\", M.NAME, 1 + 1 as TWO from DETAIL_T D "
                         "join MASTER_T M on M.SYS$ID = D.MASTER_ID");
  select.ExecQuery();
  EXPECT_EQ(select.Fields(0).Name(), "Сумма");
  EXPECT_EQ(select.Fields(0).SqlName(), "AMOUNT");
  EXPECT_EQ(select.Fields(0).RelName(), "DETAIL_T");
  EXPECT_EQ(select.FieldByName("name").RelName(), "MASTER_T");
  EXPECT_EQ(select.FieldByName("TWO").RelName(), "");
  EXPECT_EQ(select.FindField("MISSING"), nullptr);
  EXPECT_THROW(select.FieldByName("MISSING"), EIBClientError);
}

TEST_F(IBSQLTest, ValuesConvertBetweenTypesOnBothSides) {
  TIBSQL& update = Query("update DETAIL_T set AMOUNT = :a, LINE_NO = :n where SYS$ID = 100");
  update.ParamByName("a").SetAsString("12.3456");
  update.ParamByName("n").SetAsString("42");
  update.ExecQuery();
  EXPECT_EQ(update.RowsAffected(), 1);
  TIBSQL& select = Query("select AMOUNT, LINE_NO, cast(AMOUNT as varchar(20)) from DETAIL_T where SYS$ID = 100");
  select.ExecQuery();
  EXPECT_EQ(select.Fields(0).AsCurrency(), Currency::FromScaled(123456));
  EXPECT_DOUBLE_EQ(select.Fields(0).AsDouble(), 12.3456);
  EXPECT_EQ(select.Fields(1).AsInteger(), 42);
  EXPECT_EQ(select.Fields(1).AsString(), "42");
  EXPECT_EQ(select.Fields(2).AsCurrency(), Currency::FromScaled(123456));
  EXPECT_EQ(select.Fields(0).AsString(), "12.3456");
  TIBSQL& many = Query("update DETAIL_T set AMOUNT = 0");
  many.ExecQuery();
  EXPECT_EQ(many.RowsAffected(), 3);
}

TEST_F(IBSQLTest, AProcedureCallGivesItsResultWithoutACursor) {
  TIBSQL& call = Query("execute procedure FIND_LOCK(5)");
  call.ExecQuery();
  EXPECT_EQ(call.SQLType(), TIBSQLType::ExecProcedure);
  EXPECT_FALSE(call.Eof());
  EXPECT_EQ(call.FieldByName("SLOT").AsInteger(), -1);
}

}  // namespace
