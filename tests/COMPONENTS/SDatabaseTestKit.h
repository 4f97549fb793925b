#pragma once
// What the database-object tests share: a connected TSDatabase on a test
// file with its default transaction, scripted prompts and a seam guard.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "EIBSQL.h"
#include "SDatabase.h"
#include "ScriptedDataPrompts.h"
#include "tests/db/TestDatabase.h"

class TSeamGuard {
 public:
  explicit TSeamGuard(TIBCallSeam Seam) { SetIBCallSeam(std::move(Seam)); }
  ~TSeamGuard() { SetIBCallSeam(nullptr); }
};

// A TSDatabase with a default transaction on a test file, connected.
struct TSDatabaseOnFile {
  explicit TSDatabaseOnFile(const TTestDatabase& File, bool Connect = true) {
    Database = std::make_unique<TSDatabase>(nullptr);
    Transaction = std::make_unique<TIBTransaction>(nullptr);
    File.Configure(*Database);
    Transaction->SetDefaultDatabase(Database.get());
    Database->SetDefaultTransaction(Transaction.get());
    if (Connect) Database->Open();
  }
  ~TSDatabaseOnFile() {
    Database.reset();
    Transaction.reset();
  }
  // Rows of a query in the internal transaction (the one the session's
  // functions write their temporary tables in), columns joined by "|".
  std::vector<AnsiString> Rows(const AnsiString& SQL) {
    TIBSQL statement(nullptr);
    statement.SetDatabase(Database.get());
    statement.SetTransaction(Database->InternalTransaction());
    if (!Database->InternalTransaction()->Active())
      Database->InternalTransaction()->StartTransaction();
    statement.SetSQLText(SQL);
    std::vector<AnsiString> rows;
    for (statement.ExecQuery(); !statement.Eof(); statement.Next()) {
      AnsiString row;
      for (int i = 0; i < statement.FieldCount(); ++i)
        row += (i ? "|" : "") + statement.Fields(i).AsString();
      rows.push_back(row);
    }
    return rows;
  }
  std::unique_ptr<TSDatabase> Database;
  std::unique_ptr<TIBTransaction> Transaction;
};

// A test whose TEMP is a fresh folder of its own, removed afterwards.
class TTempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Temp = std::filesystem::temp_directory_path() / ("ks-temp-" + std::to_string(::getpid()));
    std::filesystem::remove_all(Temp);
    std::filesystem::create_directories(Temp);
    setenv("TEMP", Temp.c_str(), 1);
  }
  void TearDown() override {
    std::filesystem::remove_all(Temp);
    unsetenv("TEMP");
  }
  std::filesystem::path Temp;
};
