#include "SDSSql.h"

#include <gtest/gtest.h>
#include <ibase.h>

namespace {

struct TypeCase {
  int Type, Scale, SubType, Length;
  TFieldType DataType;
  int Precision, Size;
};

TEST(SDSColumnDefs, TypesFollowCodeAndScale) {
  const TypeCase cases[] = {
      {7, 0, 0, 2, ftSmallint, 0, 0},    {7, -2, 0, 2, ftBCD, 4, 2},
      {8, 0, 0, 4, ftInteger, 0, 0},     {8, -2, 0, 4, ftBCD, 9, 2},
      {8, -4, 0, 4, ftBCD, 9, 4},        {8, -6, 0, 4, ftFloat, 0, 0},
      {16, 0, 0, 8, ftLargeint, 0, 0},   {16, -4, 0, 8, ftBCD, 18, 4},
      {16, -5, 0, 8, ftFloat, 0, 0},     {9, 0, 0, 8, ftUnknown, 0, 8},
      {10, 0, 0, 4, ftFloat, 0, 0},      {11, 0, 0, 8, ftFloat, 0, 0},
      {27, 0, 0, 8, ftFloat, 0, 0},      {12, 0, 0, 4, ftDate, 0, 0},
      {13, 0, 0, 4, ftTime, 0, 0},       {35, 0, 0, 8, ftDateTime, 0, 0},
      {14, 0, 0, 10, ftString, 0, 10},   {37, 0, 0, 250, ftString, 0, 250},
      {261, 0, 1, 8, ftMemo, 0, 0},      {261, 0, 0, 8, ftBlob, 0, 0},
      {261, 0, 5, 8, ftBlob, 0, 0},      {45, 0, 0, 8, ftUnknown, 0, 0},
  };
  for (const TypeCase& c : cases) {
    TFieldDefs defs(nullptr, nullptr);
    AddColumnFieldDef(defs, {"COL   ", false, false, false, c.Length, c.Scale, c.Type, c.SubType});
    const TFieldDef* def = defs.Items(0);
    SCOPED_TRACE(testing::Message() << "type " << c.Type << " scale " << c.Scale);
    EXPECT_EQ(def->Name(), "COL");
    EXPECT_EQ(def->DataType(), c.DataType);
    EXPECT_EQ(def->Precision(), c.Precision);
    EXPECT_EQ(def->Size(), c.Size);
  }
}

TEST(SDSColumnDefs, RequiredAndComputedColumns) {
  struct Case {
    TSDSColumn Column;
    bool Required, ReadOnly;
  } cases[] = {
      {{"NAME", false, false, true, 10, 0, 37, 0}, true, false},
      {{"NAME", false, true, true, 10, 0, 37, 0}, false, false},
      {{"NAME", false, false, false, 10, 0, 37, 0}, false, false},
      {{"SYS$STATE", false, false, true, 4, 0, 8, 0}, false, false},
      {{"TOTAL", true, false, true, 4, 0, 8, 0}, false, true},
  };
  for (const Case& c : cases) {
    TFieldDefs defs(nullptr, nullptr);
    AddColumnFieldDef(defs, c.Column);
    SCOPED_TRACE(c.Column.Name);
    EXPECT_EQ(defs.Items(0)->Required(), c.Required);
    EXPECT_EQ(defs.Items(0)->Attributes().Contains(faReadonly), c.ReadOnly);
    EXPECT_EQ(defs.Items(0)->InternalCalcField(), c.ReadOnly);
  }
}

TEST(SDSColumnDefs, RowKeyAppendedOnceAfterTheColumns) {
  TFieldDefs defs(nullptr, nullptr);
  AddColumnFieldDef(defs, {"ID", false, false, true, 8, 0, 16, 0});
  AppendDBKeyFieldDef(defs);
  AppendDBKeyFieldDef(defs);
  ASSERT_EQ(defs.Count(), 2);
  const TFieldDef* key = defs.Items(1);
  EXPECT_EQ(key->Name(), "IBX_INTERNAL_DBKEY");
  EXPECT_EQ(key->DataType(), ftBytes);
  EXPECT_EQ(key->Size(), 8);
  EXPECT_FALSE(key->Required());
  EXPECT_EQ(key->FieldNo(), 2);
}

TEST(SDSColumnDefs, CommandColumnsBySqlType) {
  const struct {
    TSDSCommandColumn Column;
    TFieldType DataType;
    int Size, Precision;
    bool Required, InternalCalc;
  } cases[] = {
      {{"NAME", "NAME", "DOCS", SQL_VARYING, 0, 0, 40, false}, ftString, 40, 0, true, false},
      {{"CODE", "CODE", "DOCS", SQL_TEXT, 0, 0, 10, true}, ftString, 10, 0, false, false},
      {{"IBX_INTERNAL_DBKEY", "DB_KEY", "DOCS", SQL_TEXT, 0, 0, 8, false}, ftBytes, 8, 0, false, true},
      {{"RATE", "RATE", "DOCS", SQL_DOUBLE, 0, 0, 8, true}, ftFloat, 0, 0, false, false},
      {{"F", "F", "DOCS", SQL_FLOAT, 0, 0, 4, true}, ftFloat, 0, 0, false, false},
      {{"S", "S", "DOCS", SQL_SHORT, 0, -6, 2, true}, ftBCD, 6, 4, false, false},
      {{"SUM", "SUM", "DOCS", SQL_LONG, 0, -2, 4, true}, ftBCD, 2, 9, false, false},
      {{"SUM", "SUM", "DOCS", SQL_LONG, 0, -5, 4, true}, ftFloat, 0, 0, false, false},
      {{"SYS$ID", "SYS$ID", "DOCS", SQL_INT64, 0, 0, 8, false}, ftLargeint, 0, 0, false, false},
      {{"P", "P", "DOCS", SQL_INT64, 0, -4, 8, true}, ftBCD, 4, 18, false, false},
      {{"T", "T", "DOCS", SQL_TIMESTAMP, 0, 0, 8, true}, ftDateTime, 0, 0, false, false},
      {{"D", "D", "DOCS", SQL_TYPE_DATE, 0, 0, 4, true}, ftDate, 0, 0, false, false},
      {{"TM", "TM", "DOCS", SQL_TYPE_TIME, 0, 0, 4, true}, ftTime, 0, 0, false, false},
      {{"NOTE", "NOTE", "DOCS", SQL_BLOB, 1, 0, 8, true}, ftMemo, 0, 0, false, false},
      {{"IMG", "IMG", "DOCS", SQL_BLOB, 0, 0, 8, true}, ftBlob, 0, 0, false, false},
      {{"A", "A", "DOCS", SQL_ARRAY, 0, 0, 8, true}, ftUnknown, 0, 0, false, false},
      // Another table's column, and a column under another name.
      {{"MASTER_NAME", "NAME", "MASTERS", SQL_VARYING, 0, 0, 60, true}, ftString, 60, 0, false, true},
      {{"TITLE", "NAME", "DOCS", SQL_VARYING, 0, 0, 60, true}, ftString, 60, 0, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Column.Name);
    TFieldDefs defs(nullptr, nullptr);
    AddCommandFieldDef(defs, c.Column, "DOCS", true);
    const TFieldDef* def = defs.Items(0);
    EXPECT_EQ(def->DataType(), c.DataType);
    EXPECT_EQ(def->Size(), c.Size);
    EXPECT_EQ(def->Precision(), c.Precision);
    EXPECT_EQ(def->Required(), c.Required);
    EXPECT_EQ(def->InternalCalcField(), c.InternalCalc);
  }
  // Without resolving changes, or without a table, nothing is left out.
  TFieldDefs defs(nullptr, nullptr);
  AddCommandFieldDef(defs, cases[16].Column, "DOCS", false);
  AddCommandFieldDef(defs, cases[16].Column, "", true);
  EXPECT_FALSE(defs.Items(0)->InternalCalcField());
  EXPECT_FALSE(defs.Items(1)->InternalCalcField());
}

TEST(SDSIndexInfo, PrimaryKeyWinsOverAnEarlierUniqueIndex) {
  const TSDSIndexInfo info = IndexInfoFromRows({
      {"IDX_CODE      ", true, "Code  "},
      {"IDX_NAME", false, "NAME"},
      {"IDX_PAIR", false, "A"},
      {"IDX_PAIR", false, "B"},
      {"RDB$PRIMARY5", false, "ID1"},
      {"RDB$PRIMARY5", false, "ID2"},
      {"UNQ_LATER", true, "X"},
  });
  EXPECT_EQ(info.KeyFields, "ID1;ID2");
  EXPECT_EQ(info.Names, (std::vector<AnsiString>{"IDX_CODE", "IDX_NAME", "IDX_PAIR", "RDB$PRIMARY5", "UNQ_LATER"}));
  EXPECT_EQ(info.Fields, (std::vector<AnsiString>{"Code", "NAME", "A;B", "ID1;ID2", "X"}));

  EXPECT_EQ(IndexInfoFromRows({{"U1", true, "A"}, {"U2", true, "B"}}).KeyFields, "A");
  // A primary key constraint with an index name of its own.
  EXPECT_EQ(IndexInfoFromRows({{"A_U", true, "A"}, {"PK_T", true, "id", true}}).KeyFields, "id");
  EXPECT_EQ(IndexInfoFromRows({{"I1", false, "A"}}).KeyFields, "");
}

TEST(SDSSqlNames, IdentifiersAndParameters) {
  const struct {
    const char* Name;
    const char* Identifier;
    const char* OldParam;
  } cases[] = {
      {"NAME", "NAME", ":old$NAME"},
      {"SYS$TIME", "SYS$TIME", ":old$SYS$TIME"},
      {"A_1", "A_1", ":old$A_1"},
      {"name", "\"name\"", ":\"old$name\""},
      {"1ST", "\"1ST\"", ":\"old$1ST\""},
      {"_X", "\"_X\"", ":\"old$_X\""},
      {"MY FIELD", "\"MY FIELD\"", ":\"old$MY FIELD\""},
      {"A\"B", "\"A\"\"B\"", ":\"old$A\"\"B\""},
      {"X;--", "\"X;--\"", ":\"old$X;--\""},
      {"ИМЯ", "\"ИМЯ\"", ":\"old$ИМЯ\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuoteIdentifier(c.Name), c.Identifier);
    EXPECT_EQ(SqlParam(c.Name, "old$"), c.OldParam);
  }
  EXPECT_EQ(SqlParam("ID"), ":ID");
  EXPECT_EQ(SqlParam("id"), ":\"id\"");
}

TEST(SDSSqlText, ExtractQuotedToken) {
  const struct {
    const char* Text;
    const char* Token;
    const char* Rest;
  } cases[] = {
      {"A;B;C", "A", "B;C"},
      {"\"A;B\";C", "\"A;B\"", "C"},
      {"x\"a b\"y z", "x\"a b\"y", "z"},
      {"ABC", "ABC", ""},
      {";B", "", "B"},
      {"", "", ""},
      {"\"open;B", "", ""},
  };
  for (const auto& c : cases) {
    AnsiString text = c.Text, token = "junk";
    ExtractQuotedToken(text, c.Text[0] == 'x' ? ' ' : ';', token);
    EXPECT_EQ(token, c.Token) << c.Text;
    EXPECT_EQ(text, c.Rest) << c.Text;
  }
}

TEST(SDSSqlText, TopLevelWhere) {
  const struct {
    const char* Text;
    bool Where;
  } cases[] = {
      {"select * from T where A = 1", true},
      {"SELECT * FROM T\nWHERE A = 1", true},
      {"select * from T", false},
      {"select (select max(X) from U where U.A = T.A) M from T", false},
      {"select (select max(X) from U where U.A = T.A) M from T where B = 2", true},
      {"select * from (select * from U where A = 1) D", false},
      {"select * from T where(A = 1)", true},
      {"select 'a where b' from T", false},
      {"select \"WHERE\" from T", false},
      {"select * from NOWHERE", false},
      {"select * from T order by A", false},
  };
  for (const auto& c : cases) EXPECT_EQ(HasTopLevelWhere(c.Text), c.Where) << c.Text;
}

TEST(SDSSqlText, StripOrderByAndOneLine) {
  const struct {
    const char* Text;
    const char* Stripped;
  } cases[] = {
      {"select * from T ORDER BY A", "select * from T"},
      {"select * from T\norder  by A, B", "select * from T"},
      {"select * from T", "select * from T"},
      {"select (select first 1 X from U order by X) from T", "select (select first 1 X from U order by X) from T"},
      {"select ' ORDER BY ' from T order by 1", "select ' ORDER BY ' from T"},
  };
  for (const auto& c : cases) EXPECT_EQ(StripOrderBy(c.Text), c.Stripped) << c.Text;
  EXPECT_EQ(CommandOnOneLine("select *\r\nfrom T\n\rwhere A\nB"), "select * from T where A\nB");
}

TEST(SDSSqlText, ConditionsGoBeforeTheOwnOrder) {
  const struct {
    const char* Statement;
    const char* Condition;
    const char* Result;
  } cases[] = {
      {"select * from T", "A = 1", "select * from T\n WHERE A = 1"},
      {"select * from T where B = 2 order by C", "A = 1", "select * from T where (B = 2)\n AND (A = 1)\n order by C"},
      {"select * from T where B = 1 or B = 2", "A = 1 or A = 2", "select * from T where (B = 1 or B = 2)\n AND (A = 1 or A = 2)"},
      {"select A, count(*) from T where B = 2 group by A", "A = 1",
       "select A, count(*) from T where (B = 2)\n AND (A = 1)\n group by A"},
      {"select A from T group by A having count(*) > 1", "A = 1",
       "select A from T\n WHERE A = 1\n group by A having count(*) > 1"},
      {"select A from T where A in (select B from U where C = 1 order by B)", "A = 1",
       "select A from T where (A in (select B from U where C = 1 order by B))\n AND (A = 1)"},
      {"select * from T ORDER BY C desc", "A = 1", "select * from T\n WHERE A = 1\n ORDER BY C desc"},
      {"select * from T where B = 2", "", "select * from T where B = 2"},
  };
  for (const auto& c : cases) EXPECT_EQ(AddCondition(c.Statement, c.Condition), c.Result) << c.Statement;
}

TEST(SDSSqlText, ServerConditionParts) {
  EXPECT_EQ(MasterDetailCondition("DOC_ID;Kind"), "DOC_ID = :MD_DOC_ID AND \"Kind\" = :\"MD_Kind\"");
  EXPECT_EQ(MasterDetailCondition(""), "");
  EXPECT_EQ(ServerCondition("A = :MD_A", "B = 1 or C = 2"), "A = :MD_A and (B = 1 or C = 2)");
  EXPECT_EQ(ServerCondition("A = :MD_A", ""), "A = :MD_A");
  EXPECT_EQ(ServerCondition("", "B = 1"), "B = 1");
}

// A table like the hierarchy tables: key, text, memo, a computed column,
// the change time and the row key.
class SDSStatementsTest : public testing::Test {
 protected:
  SDSStatementsTest() {
    AddColumnFieldDef(Defs, {"SYS$ID", false, false, true, 8, 0, 16, 0});
    AddColumnFieldDef(Defs, {"NAME", false, false, true, 40, 0, 37, 0});
    AddColumnFieldDef(Defs, {"NOTE", false, false, false, 8, 0, 261, 1});
    AddColumnFieldDef(Defs, {"TOTAL", true, false, false, 4, 0, 8, 0});
    AddColumnFieldDef(Defs, {"SYS$TIME", false, false, false, 8, 0, 35, 0});
    AppendDBKeyFieldDef(Defs);
    Source.FieldDefs = &Defs;
    Source.TableName = "DOCS";
  }
  ~SDSStatementsTest() override { Fields.Clear(); }

  TField* AddField(const char* Name) {
    auto* field = new TField(nullptr);
    field->SetFieldName(Name);
    Fields.Add(field);
    Source.Fields = &Fields;
    return field;
  }

  TFieldDefs Defs{nullptr, nullptr};
  TFields Fields{nullptr};
  TSDSSqlSource Source;
};

TEST_F(SDSStatementsTest, TableStatementsByKey) {
  Source.KeyFields = "SYS$ID";
  const TSDSStatements sql = GenerateStatements(Source);
  EXPECT_EQ(sql.Select, "select DOCS.*, RDB$DB_KEY as IBX_INTERNAL_DBKEY from DOCS\n ORDER BY SYS$ID");
  EXPECT_EQ(sql.Refresh,
            "select DOCS.*, RDB$DB_KEY as IBX_INTERNAL_DBKEY from DOCS where RDB$DB_KEY = :IBX_INTERNAL_DBKEY "
            "and SYS$ID is not distinct from :SYS$ID");
  EXPECT_EQ(sql.Insert, "insert into DOCS (SYS$ID, NAME, NOTE, SYS$TIME) values (:SYS$ID, :NAME, :NOTE, 'NOW')");
  EXPECT_EQ(sql.Update,
            "update DOCS set SYS$ID = :SYS$ID, NAME = :NAME, NOTE = :NOTE, SYS$TIME = 'NOW' "
            "where RDB$DB_KEY = :IBX_INTERNAL_DBKEY and SYS$ID is not distinct from :old$SYS$ID");
  EXPECT_EQ(sql.Delete,
            "delete from DOCS where RDB$DB_KEY = :IBX_INTERNAL_DBKEY and SYS$ID is not distinct from :SYS$ID");
  EXPECT_EQ(sql.DeleteByKey, "DELETE FROM DOCS WHERE SYS$ID = :SYS$ID");
  EXPECT_EQ(sql.RefreshByKey,
            "SELECT DOCS.*, RDB$DB_KEY as IBX_INTERNAL_DBKEY from DOCS WHERE SYS$ID = :SYS$ID");
  EXPECT_EQ(sql.UpdateByKey,
            "update DOCS set SYS$ID = :SYS$ID, NAME = :NAME, NOTE = :NOTE, SYS$TIME = 'NOW' "
            "where SYS$ID = :old$SYS$ID");
}

TEST_F(SDSStatementsTest, WithoutKeyEveryComparableFieldIsTheCondition) {
  Source.LoadAllFields = false;
  const TSDSStatements sql = GenerateStatements(Source);
  EXPECT_EQ(sql.Select, "select SYS$ID,NAME,NOTE,SYS$TIME, RDB$DB_KEY as IBX_INTERNAL_DBKEY from DOCS");
  // The memo is written but never compared; the change time neither.
  EXPECT_EQ(sql.DeleteByKey, "DELETE FROM DOCS WHERE SYS$ID = :SYS$ID AND NAME = :NAME");
  EXPECT_EQ(sql.UpdateByKey.substr(sql.UpdateByKey.find(" where ")),
            " where SYS$ID = :old$SYS$ID AND NAME = :old$NAME");
}

TEST_F(SDSStatementsTest, ProviderFlagsChooseLoadedAndWrittenFields) {
  EXPECT_EQ(AddField("NOTE")->ProviderFlags(), (TProviderFlags{pfInUpdate, pfInWhere}));
  Fields.FindField("NOTE")->SetProviderFlags({});
  AddField("NAME")->SetProviderFlags({pfInWhere});
  Source.LoadAllFields = false;
  Source.IndexFieldNames = "SYS$ID;NAME;SYS$TIME";
  const TSDSStatements sql = GenerateStatements(Source);
  EXPECT_EQ(sql.Select,
            "select SYS$ID,NAME,SYS$TIME, RDB$DB_KEY as IBX_INTERNAL_DBKEY from DOCS\n ORDER BY SYS$ID");
  EXPECT_EQ(sql.Insert, "insert into DOCS (SYS$ID, SYS$TIME) values (:SYS$ID, 'NOW')");

  Source.IndexFieldNames = "SYS$ID;MISSING;SYS$TIME";
  EXPECT_EQ(GenerateStatements(Source).Select.substr(sql.Select.find('\n')), "\n ORDER BY SYS$ID");
}

TEST_F(SDSStatementsTest, CommandWithItsOwnWhereAndOrder) {
  Source.CommandText = "select D.*, RDB$DB_KEY as IBX_INTERNAL_DBKEY\r\nfrom DOCS D\r\nwhere D.NAME > ''\r\norder by D.NAME";
  Source.KeyFields = "SYS$ID";
  Source.ServerCondition = "SYS$ID > 10";
  const TSDSStatements sql = GenerateStatements(Source);
  const AnsiString body = "select D.*, RDB$DB_KEY as IBX_INTERNAL_DBKEY from DOCS D where (D.NAME > '')";
  EXPECT_EQ(sql.Select, body + "\n AND (SYS$ID > 10)\n order by D.NAME");
  EXPECT_EQ(sql.Refresh,
            body + "\n AND (DOCS.RDB$DB_KEY = :IBX_INTERNAL_DBKEY and DOCS.SYS$ID is not distinct from :SYS$ID)");
  EXPECT_EQ(sql.RefreshByKey, body + "\n AND (DOCS.SYS$ID = :SYS$ID)");
  EXPECT_EQ(sql.UpdateByKey.substr(sql.UpdateByKey.find(" where ")), " where DOCS.SYS$ID = :old$SYS$ID");

  Source.CommandText = "select * from DOCS";
  EXPECT_EQ(GenerateStatements(Source).Select, "select * from DOCS\n WHERE SYS$ID > 10\n ORDER BY DOCS.SYS$ID");
}

TEST_F(SDSStatementsTest, CommandWithoutChangesResolved) {
  Source.ChangesResolved = false;
  Source.CommandText = "select * from DOCS";
  TSDSStatements sql = GenerateStatements(Source);
  EXPECT_EQ(sql.Select, "select * from DOCS");
  EXPECT_EQ(sql.Refresh, "");
  EXPECT_EQ(sql.Update, "");
  EXPECT_EQ(sql.DeleteByKey, "");
  EXPECT_EQ(sql.Insert, "insert into DOCS (SYS$ID, NAME, NOTE, SYS$TIME) values (:SYS$ID, :NAME, :NOTE, 'NOW')");

  Source.CommandText = "select D.*, D.RDB$DB_KEY as IBX_INTERNAL_DBKEY from DOCS D";
  sql = GenerateStatements(Source);
  EXPECT_EQ(sql.Refresh, Source.CommandText +
                             "\n WHERE DOCS.RDB$DB_KEY = :IBX_INTERNAL_DBKEY and DOCS.SYS$ID is not distinct from :SYS$ID");
}

TEST_F(SDSStatementsTest, NamesWithQuotesCannotChangeTheStatement) {
  Source.TableName = "T\" where 1=1 --";
  AddColumnFieldDef(Defs, {"odd \"col\"", false, false, false, 8, 0, 8, 0});
  const TSDSStatements sql = GenerateStatements(Source);
  const AnsiString table = "\"T\"\" where 1=1 --\"";
  // Without a key SYS$ID names the record beside its row key.
  EXPECT_EQ(sql.Delete, "delete from " + table +
                            " where RDB$DB_KEY = :IBX_INTERNAL_DBKEY and SYS$ID is not distinct from :SYS$ID");
  EXPECT_EQ(sql.DeleteByKey,
            "DELETE FROM " + table + " WHERE SYS$ID = :SYS$ID AND NAME = :NAME AND "
            "\"odd \"\"col\"\"\" = :\"odd \"\"col\"\"\"");
  Source.TableName = "";
  EXPECT_EQ(GenerateStatements(Source).Select, "");
}

}  // namespace
