// Reading BIG_TABLE's 100,000 rows: through the client layer with the typed
// getters a load uses, and through the client library's own fetch loop.
// Attaching is timed apart. Prints one table row per road.
//   db_bench DATABASE
#include <cstdio>

#include "BenchTable.h"
#include "ibclient/IBSQL.h"

extern "C" long long RawFetchAll(const char* database, double* checksum, double* seconds);

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: db_bench DATABASE\n");
    return 2;
  }
  const char* path = argv[1];
  std::printf("| %-34s | %9s | %8s | %11s |\n|%s|%s|%s|%s|\n", "road", "rows", "seconds", "rows/s",
              "------------------------------------", "-----------", "----------", "-------------");

  // The raw loop runs first, so its attach also loads the engine.
  double checksum = 0, rawSeconds = 0;
  const long long rawRows = RawFetchAll(path, &checksum, &rawSeconds);
  PrintBenchRow("raw isc_dsql_fetch loop", rawRows, rawSeconds);

  TIBDatabase database(nullptr);
  database.SetDatabaseName(path);
  database.Params()->Add("user_name=SYSDBA");
  TIBTransaction transaction(nullptr);
  transaction.SetDefaultDatabase(&database);
  database.SetDefaultTransaction(&transaction);
  auto start = BenchClock::now();
  database.Open();
  const double attach = SecondsSince(start);
  transaction.StartTransaction();

  TIBSQL query(nullptr);
  query.SetDatabase(&database);
  query.SetSQLText(
      "select SYS$ID, SYS$PID, SYS$STATE, SYS$TIME, NAME, QTY, PRICE, RATE, DAY_DATE from BIG_TABLE");
  start = BenchClock::now();
  long long rows = 0;
  double sum = 0;
  for (query.ExecQuery(); !query.Eof(); query.Next()) {
    sum += static_cast<double>(query.Fields(0).AsInt64());
    sum += query.Fields(1).AsInteger() + query.Fields(2).AsInteger();
    sum += query.Fields(3).AsDateTime();
    sum += static_cast<double>(query.Fields(4).AsString().size());
    sum += query.Fields(5).AsInteger();
    sum += static_cast<double>(query.Fields(6).AsCurrency().Scaled);
    sum += query.Fields(7).AsDouble() + query.Fields(8).AsDateTime();
    ++rows;
  }
  PrintBenchRow("TIBSQL with typed getters", rows, SecondsSince(start));
  std::printf("| %-34s | %9s | %8.3f | %11s |\n", "attach (TIBDatabase.Open), 2nd", "", attach, "");
  std::fprintf(stderr, "checksums %.0f %.0f\n", checksum, sum);
  return rawRows == rows ? 0 : 1;
}
