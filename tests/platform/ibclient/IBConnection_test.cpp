// Attachments, transactions and errors on a real database file: what a
// second attachment sees, what a lost attachment does, errors and the seam.
#include <gtest/gtest.h>

#include <memory>

#include "ibclient/IBError.h"
#include "ibclient/IBSQL.h"
#include "tests/db/TestDatabase.h"

namespace {

// A database with its default transaction, and statements on it.
struct TConnection {
  explicit TConnection(const TTestDatabase& File, const char* TransactionParams = "") {
    File.Configure(Database);
    Transaction.SetDefaultDatabase(&Database);
    Transaction.Params()->SetText(TransactionParams);
    Database.SetDefaultTransaction(&Transaction);
    Database.Open();
    Transaction.StartTransaction();
  }
  TIBSQL& Query(const AnsiString& SQL) {
    Statements.push_back(std::make_unique<TIBSQL>(nullptr));
    Statements.back()->SetDatabase(&Database);
    Statements.back()->SetSQLText(SQL);
    return *Statements.back();
  }
  AnsiString Value(const AnsiString& SQL) {
    TIBSQL& query = Query(SQL);
    query.ExecQuery();
    return query.Fields(0).AsString();
  }
  TIBDatabase Database{nullptr};
  TIBTransaction Transaction{nullptr};
  std::vector<std::unique_ptr<TIBSQL>> Statements;
};

// Cuts an attachment off as the server does when it is shut down.
void Kill(TConnection& Killer, const AnsiString& AttachmentId) {
  ExecCommitted(Killer.Database, "delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID = " + AttachmentId);
}

class TSeamGuard {
 public:
  explicit TSeamGuard(TIBCallSeam Seam) { SetIBCallSeam(std::move(Seam)); }
  ~TSeamGuard() { SetIBCallSeam(nullptr); }
};

TEST(IBConnection, ServerErrorsCarryTheirCodesAndText) {
  TTestDatabase file;
  TConnection a(file);
  const struct {
    const char* SQL;
    int SQLCode;
    int IBErrorCode;
    const char* Text;
  } cases[] = {
      {"select * from NO_SUCH_TABLE", -204, isc_dsql_error, "NO_SUCH_TABLE"},
      {"insert into MASTER_T (SYS$ID, NAME) values (10, 'dup')", -803, isc_unique_key_violation, "MASTER_T"},
      {"insert into DETAIL_T (SYS$ID, MASTER_ID, LINE_NO) values (500, 999, 1)", -530,
       isc_foreign_key, "DETAIL_T"},
      {"select 1/0 from RDB$DATABASE", -802, isc_arith_except, "divide by zero"},
      {"selec 1", -104, isc_dsql_error, "Token unknown"},
  };
  for (const auto& c : cases) {
    TIBSQL& query = a.Query(c.SQL);
    try {
      query.ExecQuery();
      ADD_FAILURE() << c.SQL << " did not fail";
    } catch (const EIBInterBaseError& e) {
      EXPECT_EQ(e.SQLCode, c.SQLCode) << c.SQL;
      EXPECT_EQ(e.IBErrorCode, c.IBErrorCode) << c.SQL;
      EXPECT_NE(e.Message().find(c.Text), AnsiString::npos) << e.Message();
    }
  }
  // The attachment and its transaction go on after errors.
  EXPECT_EQ(a.Value("select count(*) from MASTER_T"), "2");
  // Misuse is the layer's own error, not the server's.
  TIBSQL& unbound = a.Query("select 1 from RDB$DATABASE");
  a.Transaction.Commit();
  EXPECT_THROW(unbound.ExecQuery(), EIBClientError);
}

TEST(IBConnection, BadConnectionAndTransactionSettingsAreRefusedAndLeaveNothingOpen) {
  TTestDatabase file;
  TIBDatabase database(nullptr);
  EXPECT_THROW(database.Open(), EIBClientError);  // no name
  database.SetDatabaseName(file.Path() + ".missing");
  database.Params()->Add("user_name=SYSDBA");
  try {
    database.Open();
    FAIL();
  } catch (const EIBInterBaseError& e) {
    EXPECT_NE(e.IBErrorCode, 0);
    EXPECT_NE(e.Message().find(".missing"), AnsiString::npos) << e.Message();
  }
  EXPECT_FALSE(database.Connected());
  database.SetDatabaseName(file.Path());
  database.Params()->Add("no_such_option=1");
  EXPECT_THROW(database.Open(), EIBClientError);
  EXPECT_FALSE(database.Connected());
  database.Params()->SetText("user_name=SYSDBA\nlc_ctype=WIN1251");
  database.Open();
  EXPECT_THROW(database.SetDatabaseName("other"), EIBClientError);

  TIBTransaction transaction(nullptr);
  transaction.SetDefaultDatabase(&database);
  transaction.Params()->SetText("read\nsnapshot_please");
  EXPECT_THROW(transaction.StartTransaction(), EIBClientError);
  EXPECT_FALSE(transaction.Active());
  EXPECT_THROW(transaction.Commit(), EIBClientError);
  transaction.Params()->SetText("write\nconsistency\nnowait");
  transaction.StartTransaction();
  EXPECT_THROW(transaction.StartTransaction(), EIBClientError);
  // Closing the database rolls back what is still active.
  database.Close();
  EXPECT_FALSE(transaction.Active());
}

TEST(IBConnection, ASecondAttachmentSeesCommittedDataOnly) {
  TTestDatabase file;
  TConnection writer(file);
  TConnection reader(file, "read\nread_committed\nrec_version\nnowait");
  writer.Query("insert into MASTER_T (SYS$ID, NAME) values (20, 'новая')").ExecQuery();
  const AnsiString count = "select count(*) from MASTER_T where SYS$ID = 20";
  EXPECT_EQ(reader.Value(count), "0");
  writer.Transaction.CommitRetaining();
  EXPECT_EQ(reader.Value(count), "1");
  writer.Query("delete from MASTER_T where SYS$ID = 20").ExecQuery();
  writer.Transaction.Rollback();
  EXPECT_EQ(reader.Value(count), "1");
  // A read-only transaction refuses writes.
  EXPECT_THROW(reader.Query("delete from MASTER_T where SYS$ID = 20").ExecQuery(), EIBInterBaseError);
}

TEST(IBConnection, CommitClosesTheCursorsOfItsTransaction) {
  TTestDatabase file;
  TConnection a(file);
  TIBSQL& rows = a.Query("select SYS$ID from BIG_TABLE");
  rows.ExecQuery();
  EXPECT_TRUE(rows.Open());
  a.Transaction.Commit();
  EXPECT_FALSE(rows.Open());
  EXPECT_TRUE(rows.Prepared());
  a.Transaction.StartTransaction();
  rows.ExecQuery();
  int count = 0;
  while (!rows.Eof()) {
    ++count;
    rows.Next();
  }
  EXPECT_EQ(count, 100000);
}

TEST(IBConnection, AKilledAttachmentFailsItsNextCallAndReconnects) {
  TTestDatabase file;
  TConnection victim(file);
  TConnection killer(file);
  TIBSQL& query = victim.Query("select count(*) from MASTER_T");
  query.ExecQuery();
  EXPECT_EQ(query.Fields(0).AsInteger(), 2);
  Kill(killer, victim.Value("select CURRENT_CONNECTION from RDB$DATABASE"));

  try {
    query.ExecQuery();
    FAIL() << "the killed attachment answered";
  } catch (const EIBInterBaseError& e) {
    EXPECT_TRUE(IsLostConnection(e.IBErrorCode)) << e.IBErrorCode << " " << e.Message();
  }
  EXPECT_NO_THROW(victim.Database.Close());
  EXPECT_FALSE(victim.Database.Connected());
  EXPECT_FALSE(victim.Transaction.Active());
  EXPECT_FALSE(query.Prepared());

  victim.Database.Open();
  victim.Transaction.StartTransaction();
  query.ExecQuery();
  EXPECT_EQ(query.Fields(0).AsInteger(), 2);
}

TEST(IBConnection, TheSeamSeesEveryCallAndCanFailOrCutAny) {
  TTestDatabase file;
  TConnection victim(file);
  TConnection killer(file);
  const AnsiString victimId = victim.Value("select CURRENT_CONNECTION from RDB$DATABASE");
  TIBSQL& query = victim.Query("select NAME from MASTER_T order by SYS$ID");
  query.Prepare();

  // Counted: one execute and one fetch per row and one for the end.
  std::vector<std::string> calls;
  {
    TSeamGuard guard([&](const char* name) { calls.push_back(name); });
    query.ExecQuery();
    while (query.Next()) {
    }
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"isc_dsql_execute2", "isc_dsql_fetch", "isc_dsql_fetch",
                                             "isc_dsql_fetch"}));

  // The second fetch fails; the statement can run again.
  {
    int fetches = 0;
    TSeamGuard guard([&](const char* name) {
      if (std::string(name) == "isc_dsql_fetch" && ++fetches == 2) throw EIBClientError("injected");
    });
    query.ExecQuery();
    EXPECT_THROW(query.Next(), EIBClientError);
  }
  query.ExecQuery();
  EXPECT_EQ(query.Fields(0).AsString(), "Первый");

  // The attachment is cut right before the execute.
  {
    bool cut = false;
    TSeamGuard guard([&](const char* name) {
      if (cut || std::string(name) != "isc_dsql_execute2") return;
      cut = true;
      Kill(killer, victimId);
    });
    EXPECT_THROW(query.ExecQuery(), EIBInterBaseError);
    EXPECT_TRUE(cut);
  }
  victim.Database.Close();
  victim.Database.Open();
  victim.Transaction.StartTransaction();
  EXPECT_EQ(victim.Value("select count(*) from MASTER_T"), "2");
}

TEST(IBConnection, IsqlReadsBackWhatTheLayerWrote) {
  TTestDatabase file;
  {
    TConnection a(file);
    TIBSQL& insert = a.Query(
        "insert into DETAIL_T (SYS$ID, MASTER_ID, LINE_NO, AMOUNT) values (:id, 11, :line, :amount)");
    insert.ParamByName("id").SetAsInt64(900);
    insert.ParamByName("line").SetAsInteger(7);
    insert.ParamByName("amount").SetScaled(LLONG_MAX, -4);
    insert.ExecQuery();
    TIBSQL& rename = a.Query("update MASTER_T set NAME = :n where SYS$ID = 11");
    rename.ParamByName("n").SetAsString("Ёлка «зелёная»");
    rename.ExecQuery();
    a.Transaction.Commit();
    a.Database.Close();
  }
  const std::string out = file.Isql(
      "set list on;\n"
      "select AMOUNT from DETAIL_T where SYS$ID = 900;\n"
      "select NAME from MASTER_T where SYS$ID = 11;\n");
  EXPECT_NE(out.find("922337203685477.5807"), std::string::npos) << out;
  EXPECT_NE(out.find("Ёлка «зелёная»"), std::string::npos) << out;
}

}  // namespace
