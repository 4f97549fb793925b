// Loading BIG_TABLE's 100,000 rows into a server-backed dataset: the open
// (structure and load), a reload, and an open from the local cache file
// that the first dataset left (nothing changed since). Prints table rows
// in db_bench's layout; TEMP holds the cache folder.
//   sds_bench DATABASE
#include <cstdio>
#include <memory>

#include "BenchTable.h"
#include "SDS.h"
#include "SDatabase.h"

namespace {

std::unique_ptr<TSDS> BigTable(TSDatabase& Database, TIBTransaction& Transaction) {
  auto sds = std::make_unique<TSDS>(nullptr);
  sds->SetDatabase(&Database);
  sds->SetTransaction(&Transaction);
  sds->SetTableName("BIG_TABLE");
  sds->SetOptions(sds->Options() + TSDSOptions{dsoLocalCachData});
  return sds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sds_bench DATABASE\n");
    return 2;
  }
  TSDatabase database(nullptr);
  database.SetDatabaseName(argv[1]);
  database.Params()->Add("user_name=SYSDBA");
  database.LocalCache = true;
  TIBTransaction transaction(nullptr);
  transaction.SetDefaultDatabase(&database);
  database.SetDefaultTransaction(&transaction);
  database.Open();

  auto sds = BigTable(database, transaction);
  auto start = BenchClock::now();
  sds->Open();
  PrintBenchRow("TSDS open (structure and load)", sds->RecordCount(), SecondsSince(start));
  start = BenchClock::now();
  sds->Reload();
  PrintBenchRow("TSDS Reload", sds->RecordCount(), SecondsSince(start));
  start = BenchClock::now();
  sds.reset();
  PrintBenchRow("TSDS cache file written on destroy", 100000, SecondsSince(start));

  sds = BigTable(database, transaction);
  start = BenchClock::now();
  sds->Open();
  PrintBenchRow("TSDS open from the cache file", sds->RecordCount(), SecondsSince(start));
  return 0;
}
