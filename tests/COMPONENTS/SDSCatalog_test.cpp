// The catalogue read from the server and from the metadata cache, turned
// into definitions, keys and statements that the server accepts.
#include "SDS.h"
#include "SDSCatalog.h"

#include <gtest/gtest.h>

#include "SDatabaseTestKit.h"

namespace {

AnsiString Describe(const std::vector<TSDSColumn>& Columns) {
  TFieldDefs defs(nullptr, nullptr);
  for (const TSDSColumn& column : Columns) AddColumnFieldDef(defs, column);
  AppendDBKeyFieldDef(defs);
  AnsiString text;
  for (int i = 0; i < defs.Count(); ++i) {
    const TFieldDef* def = defs.Items(i);
    text += def->Name() + ":" + std::to_string(def->DataType()) + ":" + std::to_string(def->Size()) + ":" +
            std::to_string(def->Precision()) + (def->Required() ? ":req" : "") +
            (def->InternalCalcField() ? ":calc" : "") + "\n";
  }
  return text;
}

TSDSStatements Statements(const std::vector<TSDSColumn>& Columns, const TSDSIndexInfo& Indexes,
                          const AnsiString& TableName) {
  TFieldDefs defs(nullptr, nullptr);
  for (const TSDSColumn& column : Columns) AddColumnFieldDef(defs, column);
  AppendDBKeyFieldDef(defs);
  TSDSSqlSource source;
  source.FieldDefs = &defs;
  source.TableName = TableName;
  source.KeyFields = Indexes.KeyFields;
  source.LoadAllFields = false;
  return GenerateStatements(source);
}

void ExpectPrepares(TSDatabaseOnFile& Db, const TSDSStatements& Sql) {
  if (!Db.Transaction->Active()) Db.Transaction->StartTransaction();
  for (const AnsiString& text : {Sql.Select, Sql.Refresh, Sql.Insert, Sql.Update, Sql.Delete, Sql.RefreshByKey,
                                 Sql.UpdateByKey, Sql.DeleteByKey}) {
    TIBSQL statement(nullptr);
    statement.SetDatabase(Db.Database.get());
    statement.SetSQLText(text);
    EXPECT_NO_THROW(statement.Prepare()) << text;
  }
}

TEST(SDSCatalog, CacheAndServerAgreeAndTheStatementsPrepare) {
  TTestDatabase file("nocomment");
  TSDatabaseOnFile db(file);
  for (const char* table :
       {"SYS_USER", "SYS$LIST_KIND", "ALL_TYPES", "NO_KEY", "MASTER_T", "DETAIL_T", "BIG_TABLE"}) {
    SCOPED_TRACE(table);
    const std::vector<TSDSColumn> server = ServerColumns(*db.Database, table);
    const std::vector<TSDSColumn> cached = CachedColumns(*db.Database, table);
    ASSERT_FALSE(server.empty());
    EXPECT_EQ(Describe(server), Describe(cached));
    const TSDSIndexInfo serverIndexes = IndexInfoFromRows(ServerIndexRows(*db.Database, table));
    const TSDSIndexInfo cachedIndexes = IndexInfoFromRows(CachedIndexRows(*db.Database, table));
    EXPECT_EQ(serverIndexes.KeyFields, cachedIndexes.KeyFields);
    EXPECT_EQ(serverIndexes.Names, cachedIndexes.Names);
    EXPECT_EQ(serverIndexes.Fields, cachedIndexes.Fields);
    const TSDSStatements sql = Statements(server, serverIndexes, table);
    EXPECT_EQ(sql.UpdateByKey, Statements(cached, cachedIndexes, table).UpdateByKey);
    ExpectPrepares(db, sql);
  }
  EXPECT_TRUE(ServerColumns(*db.Database, "NO_SUCH_TABLE").empty());
  EXPECT_TRUE(CachedColumns(*db.Database, "NO_SUCH_TABLE").empty());
}

TEST(SDSCatalog, DefinitionsAndKeysOfTheTestTables) {
  TTestDatabase file("nocomment");
  TSDatabaseOnFile db(file);
  const AnsiString allTypes = Describe(ServerColumns(*db.Database, "ALL_TYPES"));
  for (const char* line : {"SYS$ID:25:0:0\n", "CODE:1:20:0\n", "F_NUM4_2:8:2:4\n", "F_NUM9_2:8:2:9\n",
                           "F_NUM9_6:6:0:0\n", "F_NUM18_4:8:4:18\n", "F_NUM18_6:6:0:0\n", "F_CHAR:1:10:0\n",
                           "F_MEMO:16:0:0\n", "F_BLOB:15:0:0\n", "F_CALC:25:0:0:calc\n", "F_REQ:3:0:0:req\n",
                           "F_DOMDEF:3:0:0\n", "IBX_INTERNAL_DBKEY:12:8:0\n"})
    EXPECT_NE(allTypes.find(line), AnsiString::npos) << line << allTypes;

  // The unique index on CODE sorts first; the primary key still wins.
  const TSDSIndexInfo all = IndexInfoFromRows(ServerIndexRows(*db.Database, "ALL_TYPES"));
  EXPECT_EQ(all.KeyFields, "SYS$ID");
  EXPECT_EQ(all.Names.front(), "A_ALL_TYPES_CODE");
  const TSDSIndexInfo detail = IndexInfoFromRows(ServerIndexRows(*db.Database, "DETAIL_T"));
  EXPECT_EQ(detail.KeyFields, "SYS$ID");
  const auto line = std::find(detail.Names.begin(), detail.Names.end(), "DETAIL_T_LINE");
  ASSERT_NE(line, detail.Names.end());
  EXPECT_EQ(detail.Fields[line - detail.Names.begin()], "MASTER_ID;LINE_NO");
  EXPECT_EQ(IndexInfoFromRows(ServerIndexRows(*db.Database, "NO_KEY")).KeyFields, "");
}

// Names that need quotes: a named primary key, a quote, a ';' and a blank.
TEST(SDSCatalog, IrregularNamesRoundTripThroughTheGeneratedStatements) {
  TTestDatabase file("nocomment");
  TSDatabaseOnFile db(file);
  ExecCommitted(*db.Database,
                "CREATE TABLE \"Odd \"\"T\"\"\" (\"id\" INTEGER NOT NULL, \"a;b c\" VARCHAR(20), "
                "SYS$TIME TIMESTAMP, CONSTRAINT \"pk odd\" PRIMARY KEY (\"id\"))");
  db.Database->RefreshMetadataCache();
  // The connect's snapshot predates the table.
  if (db.Transaction->Active()) db.Transaction->Commit();
  const AnsiString table = "Odd \"T\"";
  const std::vector<TSDSColumn> columns = ServerColumns(*db.Database, table);
  ASSERT_EQ(columns.size(), 3u);
  const TSDSIndexInfo indexes = IndexInfoFromRows(ServerIndexRows(*db.Database, table));
  EXPECT_EQ(indexes.KeyFields, "id");
  const TSDSIndexInfo cached = IndexInfoFromRows(CachedIndexRows(*db.Database, table));
  EXPECT_EQ(cached.KeyFields, indexes.KeyFields);
  const TSDSStatements sql = Statements(columns, indexes, table);
  EXPECT_EQ(sql.DeleteByKey, "DELETE FROM \"Odd \"\"T\"\"\" WHERE \"id\" = :\"id\"");
  ExpectPrepares(db, sql);

  TIBSQL insert(nullptr);
  insert.SetDatabase(db.Database.get());
  insert.SetSQLText(sql.Insert);
  insert.ParamByName("id").SetAsInteger(7);
  insert.ParamByName("a;b c").SetAsString("it's -- :x");
  ExecSQL(insert);
  db.Transaction->Commit();
  EXPECT_EQ(QueryValue(*db.Database, "select \"a;b c\" from \"Odd \"\"T\"\"\" where \"id\" = 7"), "it's -- :x");
}

}  // namespace

namespace {

std::vector<AnsiString> SelectedIDs(TSDS& Sds, int64_t Master) {
  TIBSQL& select = *Sds.SelectSQL();
  if (Sds.ServerCondition().find("MD_") != AnsiString::npos) select.ParamByName("MD_MASTER_ID").SetAsInt64(Master);
  std::vector<AnsiString> ids;
  for (ExecSQL(select); !select.Eof(); select.Next()) ids.push_back(select.FieldByName("SYS$ID").AsString());
  select.Close();
  return ids;
}

TEST(SDSDatasetSql, ReadsItsTableAndFillsTheStatements) {
  TTestDatabase file("nocomment");
  TSDatabaseOnFile db(file);
  for (bool cache : {true, false}) {
    SCOPED_TRACE(cache ? "cache" : "server");
    db.Database->MetadataCache = cache;
    TSDS sds(nullptr);
    sds.SetDatabase(db.Database.get());
    sds.SetTransaction(db.Transaction.get());
    sds.SetTableName("DETAIL_T");
    sds.ReadFieldDefs();
    EXPECT_EQ(sds.FieldDefs()->Count(), 8);
    EXPECT_EQ(sds.FieldDefs()->Items(7)->Name(), "IBX_INTERNAL_DBKEY");
    sds.GenerateSQL();
    EXPECT_EQ(sds.KeyFields(), "SYS$ID");
    EXPECT_EQ(Trim(sds.DeleteByKeySQL()->SQL()->Text()), "DELETE FROM DETAIL_T WHERE SYS$ID = :SYS$ID");
    EXPECT_EQ(SelectedIDs(sds, 0), (std::vector<AnsiString>{"100", "101", "102"}));

    // The filter's OR stays inside the master's condition.
    sds.SetOptions(sds.Options() + TSDSOptions{dsoHandleMDBySQL});
    sds.SetMasterFields("SYS$ID");
    sds.SetDetailFields("MASTER_ID");
    sds.SetServerFilter("LINE_NO = 1 or LINE_NO = 2");
    sds.GenerateSQL();
    EXPECT_EQ(SelectedIDs(sds, 11), (std::vector<AnsiString>{"102"}));
    EXPECT_EQ(SelectedIDs(sds, 10), (std::vector<AnsiString>{"100", "101"}));
  }
}

TEST(SDSDatasetSql, ACommandWritesOnlyItsTablesOwnColumns) {
  TTestDatabase file("nocomment");
  TSDatabaseOnFile db(file);
  TSDS sds(nullptr);
  sds.SetDatabase(db.Database.get());
  sds.SetTableName("DETAIL_T");
  sds.SetCommandText(
      "select DETAIL_T.SYS$ID, LINE_NO, AMOUNT, M.NAME as MASTER_NAME, DETAIL_T.RDB$DB_KEY as IBX_INTERNAL_DBKEY\r\n"
      "from DETAIL_T join MASTER_T M on M.SYS$ID = DETAIL_T.MASTER_ID\r\n"
      "where LINE_NO = 2 or LINE_NO = 1\r\norder by DETAIL_T.SYS$ID desc");
  sds.ReadFieldDefs();
  ASSERT_EQ(sds.FieldDefs()->Count(), 5);
  EXPECT_TRUE(sds.FieldDefs()->Find("LINE_NO")->Required());
  EXPECT_TRUE(sds.FieldDefs()->Find("MASTER_NAME")->InternalCalcField());
  EXPECT_EQ(sds.FieldDefs()->Find("AMOUNT")->DataType(), ftBCD);
  EXPECT_EQ(sds.FieldDefs()->Find("IBX_INTERNAL_DBKEY")->DataType(), ftBytes);

  // Neither OR may escape the other condition.
  sds.SetServerFilter("LINE_NO = 1 or LINE_NO = 3");
  sds.GenerateSQL();
  EXPECT_EQ(Trim(sds.UpdateByKeySQL()->SQL()->Text()),
            "update DETAIL_T set SYS$ID = :SYS$ID, LINE_NO = :LINE_NO, AMOUNT = :AMOUNT "
            "where DETAIL_T.SYS$ID = :old$SYS$ID");
  EXPECT_EQ(SelectedIDs(sds, 0), (std::vector<AnsiString>{"102", "100"}));
  TIBSQL& refresh = *sds.RefreshByKeySQL();
  refresh.ParamByName("SYS$ID").SetAsInt64(101);
  ExecSQL(refresh);
  EXPECT_EQ(refresh.FieldByName("MASTER_NAME").AsString(), "Первый");
}

TEST(SDSDatasetSql, MissingTableOrDatabase) {
  TTestDatabase file("nocomment");
  TSDatabaseOnFile db(file);
  TSDS sds(nullptr);
  sds.SetName("Lines");
  sds.SetTableName("NO_SUCH");
  EXPECT_THROW(sds.ReadFieldDefs(), EIBClientError);
  sds.SetDatabase(db.Database.get());
  try {
    sds.ReadFieldDefs();
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Lines: не найдена информация о структуре таблицы NO_SUCH");
  }
  sds.SetTableName("");
  EXPECT_THROW(sds.ReadFieldDefs(), EIBClientError);
}

}  // namespace

namespace {

TEST(SDSDatasetSql, NewRecordsTakeIdentityAndOwnerFromTheServer) {
  TTestDatabase file("nocomment");
  TSDatabaseOnFile db(file);
  db.Database->UserNumber = 7;
  TSDS sds(nullptr);
  sds.SetDatabase(db.Database.get());
  sds.SetTransaction(db.Transaction.get());
  sds.FieldDefs()->Add("SYS$ID", ftLargeint);
  sds.FieldDefs()->Add("SYS$STATE", ftInteger);
  sds.FieldDefs()->Add("NUM", ftInteger);
  sds.SetOptions(sds.Options() + TSDSOptions{dsoIncOnNewRecord});
  sds.Open();
  sds.OnNewRecord = [&](TDataSet*) { sds.StateField()->SetAsInteger(0x00120000); };
  const int64_t first = sds.NewIdentity();
  sds.Append();
  EXPECT_EQ(sds.IDField()->Value(), Variant(first + 1));
  EXPECT_EQ(sds.StateField()->AsInteger(), 0x00120007);
  sds.Cancel();

  // Identities past 32 bits arrive whole; an integer field refuses them.
  ExecCommitted(*db.Database, "ALTER SEQUENCE MAIN_GEN RESTART WITH 5000000000");
  db.Transaction->Commit();
  EXPECT_EQ(sds.NewIdentity(), 5000000001);
  sds.Append();
  EXPECT_EQ(sds.IDField()->Value(), Variant(int64_t{5000000002}));
  EXPECT_THROW(TSDS::AssignIdentity(sds.FieldByName("NUM"), 5000000003), EDatabaseError);
  EXPECT_TRUE(sds.FieldByName("NUM")->IsNull());
  TSDS::AssignIdentity(sds.FieldByName("NUM"), 2000000000);
  EXPECT_EQ(sds.FieldByName("NUM")->AsInteger(), 2000000000);
  sds.Cancel();
}

}  // namespace
