// Group add over 10,000 records of a server-backed dataset (each record
// posted to the server as the grid would), beside the same per-row updates
// through a statement in one transaction and one UPDATE of the table. One
// run; rows in db_bench's layout.
//   group_bench DATABASE   (a copy of the test database: the tables are
//                           made from BIG_TABLE's first 10,000 rows)
#include <cstdio>

#include "BenchTable.h"
#include "SDS.h"
#include "SDataSource.h"
#include "SDatabase.h"
#include "tests/db/TestDatabase.h"
#include "uIterators.h"

constexpr int Rows = 10000;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: group_bench DATABASE\n");
    return 2;
  }
  TSDatabase database(nullptr);
  database.SetDatabaseName(argv[1]);
  database.Params()->Add("user_name=SYSDBA");
  TIBTransaction transaction(nullptr);
  transaction.SetDefaultDatabase(&database);
  database.SetDefaultTransaction(&transaction);
  // The table is made and filled after the open, in other transactions.
  transaction.Params()->SetText("read_committed\nrec_version\nnowait");
  database.Open();
  // A table of its own for each road: none meets another's old row versions.
  for (const char* table : {"GROUP_T", "GROUP_T2", "GROUP_T3"}) {
    ExecCommitted(database, AnsiString("create table ") + table +
                       " (SYS$ID bigint not null primary key, NAME varchar(60), QTY integer)");
    ExecCommitted(database, AnsiString("insert into ") + table + " select SYS$ID, NAME, QTY from BIG_TABLE where SYS$ID <= 10000");
  }

  TSDS sds(nullptr);
  sds.SetDatabase(&database);
  sds.SetTransaction(&transaction);
  sds.SetTableName("GROUP_T");
  sds.Open();
  TSDataSource source(nullptr);
  source.SetDataSet(&sds);
  SetPromptValueHook([](const AnsiString&, uint8_t, Variant& Value) {
    Value = 1.0;
    return true;
  });
  auto start = BenchClock::now();
  RunGroupOperation(&source, sds.FieldByName("QTY"), grAdd);
  PrintBenchRow("group add over TSDS (auto-commit)", sds.RecordCount(), SecondsSince(start));

  start = BenchClock::now();
  {
    TIBTransaction one(nullptr);
    one.SetDefaultDatabase(&database);
    one.StartTransaction();
    TIBSQL update(nullptr);
    update.SetDatabase(&database);
    update.SetTransaction(&one);
    update.SetSQLText("update GROUP_T2 set QTY = QTY + 1 where SYS$ID = :ID");
    update.Prepare();
    for (int id = 1; id <= Rows; ++id) {
      update.ParamByName("ID").SetAsInteger(id);
      update.ExecQuery();
      update.Close();
    }
    one.Commit();
  }
  PrintBenchRow("TIBSQL per-row updates, one commit", Rows, SecondsSince(start));

  start = BenchClock::now();
  ExecCommitted(database, "update GROUP_T3 set QTY = QTY + 1");
  PrintBenchRow("one UPDATE", Rows, SecondsSince(start));
  return 0;
}
