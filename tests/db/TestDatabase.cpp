#include "tests/db/TestDatabase.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "ibclient/IBDatabase.h"
#include "ibclient/IBSQL.h"
#include "tests/support/HostTools.h"

namespace fs = std::filesystem;

TTestDatabase::TTestDatabase(const std::string& Template) {
  static std::atomic<int> counter{0};
  const fs::path source = fs::path(KS_TEST_DB_DIR) / (Template + ".fdb");
  if (!fs::exists(source))
    throw std::runtime_error("no test database template " + source.string() +
                             " (the db_templates test builds it)");
  FPath = (fs::temp_directory_path() /
           ("ks-db-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".fdb"))
              .string();
  fs::copy_file(source, FPath, fs::copy_options::overwrite_existing);
}

TTestDatabase::~TTestDatabase() {
  std::error_code ignored;
  fs::remove(FPath, ignored);
}

void TTestDatabase::Configure(TIBDatabase& Database) const {
  Database.SetDatabaseName(FPath);
  Database.Params()->Clear();
  Database.Params()->Add("user_name=SYSDBA");
}

std::string TTestDatabase::Isql(const std::string& Script) const {
  const fs::path script = FPath + ".sql";
  std::ofstream(script) << Script << "\n";
  const TToolRun run = RunTool("ISC_USER=SYSDBA isql-fb -q -ch WIN1251 -i " + Quote(script.string()) +
                               " " + Quote(FPath));
  fs::remove(script);
  return run.Output;
}

namespace {

// Runs the statement in a transaction of its own, gives it to `read` and commits.
template <typename Read>
void RunCommitted(TIBDatabase& Database, const std::string& SQL, Read read) {
  TIBTransaction transaction(nullptr);
  transaction.SetDefaultDatabase(&Database);
  transaction.StartTransaction();
  TIBSQL statement(nullptr);
  statement.SetDatabase(&Database);
  statement.SetTransaction(&transaction);
  statement.SetSQLText(SQL);
  statement.ExecQuery();
  read(statement);
  statement.Close();
  transaction.Commit();
}

}  // namespace

void ExecCommitted(TIBDatabase& Database, const std::string& SQL) {
  RunCommitted(Database, SQL, [](TIBSQL&) {});
}

std::string QueryValue(TIBDatabase& Database, const std::string& SQL) {
  std::string value;
  RunCommitted(Database, SQL, [&](TIBSQL& statement) {
    if (!statement.Eof()) value = statement.Fields(0).AsString();
  });
  return value;
}
