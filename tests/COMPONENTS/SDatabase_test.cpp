// The database object's connect and disconnect steps, its list kinds and
// the statement error, on real database files.
#include <gtest/gtest.h>

#include "SDS.h"
#include "SDatabaseTestKit.h"

namespace {

int LiveObjects = 0;
struct TCountedObject : TObject {
  TCountedObject() { ++LiveObjects; }
  ~TCountedObject() override { --LiveObjects; }
};

std::vector<AnsiString> Names(const TListColletion& list) {
  std::vector<AnsiString> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Strings(i));
  return names;
}

TEST(SDatabase, ConnectFillsTheListKindsOnceEachAndDisconnectEmptiesThem) {
  TTestDatabase file;
  TSDatabaseOnFile db(file);
  const std::vector<AnsiString> expected = {"Регионы", "Должности"};
  EXPECT_EQ(Names(*db.Database->ListKinds()), expected);
  EXPECT_TRUE(db.Transaction->Active());  // the fill leaves it going

  db.Database->ListKinds()->PutObject(0, new TCountedObject);
  db.Database->ListKinds()->PutObject(1, new TCountedObject);
  db.Database->Close();
  EXPECT_EQ(db.Database->ListKinds()->Count(), 0);
  EXPECT_EQ(LiveObjects, 0);

  db.Database->Open();
  EXPECT_EQ(Names(*db.Database->ListKinds()), expected);
}

TEST(SDatabase, TheUserTableIsOpenWhileConnected) {
  TTestDatabase file("nocomment");
  TSDatabaseOnFile db(file);
  TSDS& users = *db.Database->UserTable();
  ASSERT_TRUE(users.Active());
  EXPECT_EQ(users.Database(), db.Database.get());
  EXPECT_EQ(users.TableName(), "SYS_USER");
  EXPECT_TRUE(users.Options().Contains(dsoVirtualDelete));
  EXPECT_EQ(users.AttachMaxCount(), 4);
  EXPECT_EQ(users.RecordCount(), 2);
  EXPECT_EQ(users.Lookup("SYS$ID", Variant(int64_t{2}), "NAME").AsString(), "Оператор");
  db.Database->Close();
  EXPECT_FALSE(users.Active());
  db.Database->Open();
  EXPECT_EQ(users.RecordCount(), 2);
}

TEST(SDatabase, CreatedDisconnectedWithItsDefaultsAndAReadOnlyInternalTransaction) {
  TSDatabase database(nullptr);
  EXPECT_FALSE(database.Connected());
  EXPECT_TRUE(database.MetadataCache);
  EXPECT_FALSE(database.LocalCache);
  EXPECT_EQ(database.UserNumber, -1);
  EXPECT_EQ(database.Session()->Handle(), -1);
  EXPECT_EQ(database.InternalTransaction()->Params()->Text(), "read\r\nread_committed\r\nrec_version\r\nnowait\r\n");
}

TEST(SDatabase, ForgetsItsTransactionsWhenTheyAreDestroyed) {
  TSDatabase database(nullptr);
  auto transaction = std::make_unique<TIBTransaction>(nullptr);
  auto readWrite = std::make_unique<TIBTransaction>(nullptr);
  database.SetDefaultTransaction(transaction.get());
  database.SetDefaultTransactionRW(readWrite.get());
  EXPECT_EQ(database.DefaultTransactionRW(), readWrite.get());
  transaction.reset();
  readWrite.reset();
  EXPECT_EQ(database.DefaultTransaction(), nullptr);
  EXPECT_EQ(database.DefaultTransactionRW(), nullptr);
}

TEST(SDatabase, AFailureAfterTheAttachLeavesItDisconnected) {
  TTestDatabase file;
  TSDatabaseOnFile db(file, false);
  db.Database->MetadataCache = false;
  int prepares = 0;
  {
    TSeamGuard counter([&](const char* name) { prepares += std::string(name) == "isc_dsql_prepare"; });
    db.Database->Open();
    db.Database->Close();
  }
  {
    // The list query, the last one of the connect, fails to prepare.
    TSeamGuard guard([&, seen = 0](const char* name) mutable {
      if (std::string(name) == "isc_dsql_prepare" && ++seen == prepares)
        throw EIBInterBaseError(-204, isc_dsql_error, "injected");
    });
    try {
      db.Database->Open();
      FAIL() << "connected";
    } catch (const EIBSQLError& e) {
      EXPECT_EQ(e.Kind, ekPrepare);
      EXPECT_EQ(e.SQLCode, -204);
      EXPECT_EQ(e.Message(), "injected");
      EXPECT_EQ(e.SQLText, "select NAME from SYS$LIST_KIND\r\n");
    }
  }
  EXPECT_FALSE(db.Database->Connected());
  EXPECT_FALSE(db.Transaction->Active());
  // Nothing is left half open: it connects again.
  db.Database->Open();
  EXPECT_EQ(db.Database->ListKinds()->Count(), 2);
}

TEST(SDatabase, DestroyingAConnectedDatabaseEndsItsSessionFirst) {
  TTestDatabase file;
  TSDatabaseOnFile other(file);
  other.Database->Session()->Register("B");
  {
    TSDatabaseOnFile db(file);
    db.Database->Session()->Register("A");
    db.Database->Session()->LockRecord(42, false);
    EXPECT_THROW(other.Database->Session()->LockRecord(42, false), EAbort);
  }
  // The session's end released its lock.
  EXPECT_NO_THROW(other.Database->Session()->LockRecord(42, false));
}

TEST(SDatabase, AFailedSessionEndStillDisconnects) {
  TTestDatabase file;
  TSDatabaseOnFile db(file);
  db.Database->Session()->Register("A");
  ExecCommitted(*db.Database,
                "insert into TEST_OUTCOME (FUNC_NAME, ERROR_TEXT) values ('F_UNREGISTERUSERSESSION', 'нет')");
  EXPECT_NO_THROW(db.Database->Close());
  EXPECT_FALSE(db.Database->Connected());
  EXPECT_EQ(db.Database->Session()->Handle(), -1);
}

TEST(SDatabase, ALostAttachmentWithASessionClosesAndConnectsAgain) {
  TTestDatabase file;
  TSDatabaseOnFile db(file);
  TSDatabaseOnFile killer(file);
  db.Database->Session()->Register("A");
  db.Database->Session()->LockRecord(3, false);
  ExecCommitted(*killer.Database, "delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = " +
                                      QueryValue(*db.Database, "select CURRENT_CONNECTION from RDB$DATABASE"));
  EXPECT_THROW(db.Database->Session()->UnlockRecord(3), EIBSQLError);
  EXPECT_NO_THROW(db.Database->Close());
  EXPECT_EQ(db.Database->Session()->Handle(), -1);
  db.Database->Open();
  EXPECT_EQ(db.Database->ListKinds()->Count(), 2);
}

TEST(EIBSQLError, WrapsPrepareAndExecuteFailuresWithTheStatement) {
  TTestDatabase file;
  TSDatabaseOnFile db(file);
  TIBSQL statement(nullptr);
  statement.SetDatabase(db.Database.get());

  statement.SetSQLText("select * from NO_SUCH");
  try {
    ExecSQL(statement);
    FAIL();
  } catch (const EIBSQLError& e) {
    EXPECT_EQ(e.Kind, ekPrepare);
    EXPECT_EQ(e.Statement, &statement);
    EXPECT_EQ(e.SQLCode, -204);
    EXPECT_NE(e.Message().find("NO_SUCH"), AnsiString::npos);
  }
  EXPECT_FALSE(statement.Prepared());

  statement.SetSQLText("insert into MASTER_T (SYS$ID) values (10)");
  try {
    ExecSQL(statement);
    FAIL();
  } catch (const EIBSQLError& e) {
    EXPECT_EQ(e.Kind, ekExecute);
    EXPECT_EQ(e.IBErrorCode, isc_unique_key_violation);
  }
  EXPECT_TRUE(statement.Prepared());

  // Not a server error: passes unchanged.
  db.Transaction->Commit();
  EXPECT_THROW(ExecSQL(statement), EIBClientError);
}

}  // namespace
