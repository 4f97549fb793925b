#pragma once
// A test's own copy of a test database template (built by the db_templates
// fixture), deleted at the end, and what a test does with it.

#include <string>

class TIBDatabase;
class TIBSQL;

class TTestDatabase {
 public:
  // "full": schema, server functions, the database comment and 100,000
  // rows; "nocomment": schema and server functions only.
  explicit TTestDatabase(const std::string& Template = "full");
  ~TTestDatabase();
  TTestDatabase(const TTestDatabase&) = delete;
  TTestDatabase& operator=(const TTestDatabase&) = delete;

  const std::string& Path() const { return FPath; }
  // Sets the database's name and user for this file (embedded engine).
  void Configure(TIBDatabase& Database) const;
  // isql-fb's output for a script (Windows-1251 in and out, as our literals). No attachment of
  // this process may be open: the engine gives a file to one process.
  std::string Isql(const std::string& Script) const;

 private:
  std::string FPath;
};

// Runs a statement in its own new transaction of the database and commits:
// for test set-up through a second path.
void ExecCommitted(TIBDatabase& Database, const std::string& SQL);
// The first column of the first row of a query, as a string.
std::string QueryValue(TIBDatabase& Database, const std::string& SQL);
