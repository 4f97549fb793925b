// The error through which a failed prepare or execute of a statement
// reaches the caller: the server's error, plus the statement and the step.
#pragma once

#include "ibclient/IBError.h"
#include "ibclient/IBSQL.h"

enum TIBSQLErrorKind { ekPrepare = 0, ekExecute = 1 };

class EIBSQLError : public EIBInterBaseError {
 public:
  EIBSQLError(const EIBInterBaseError& E, int AKind, TIBSQL* AStatement);
  // The statement that failed (owned by its owner: it may be gone by the
  // time a handler runs far up) and its text at the time.
  TIBSQL* Statement;
  AnsiString SQLText;
  int Kind;
};

// Prepare and ExecQuery of the statement, a server error raised as
// EIBSQLError (a failed prepare leaves the statement unprepared); other
// exceptions pass unchanged. ExecSQL prepares first when needed.
void PrepareSQL(TIBSQL& Statement);
void ExecSQL(TIBSQL& Statement);

// Closes the statement on every way out, a failure to close kept in when
// another error is already on its way.
class TCloseAfterUse {
 public:
  explicit TCloseAfterUse(TIBSQL& Statement) : FStatement(Statement) {}
  ~TCloseAfterUse() {
    try {
      FStatement.Close();
    } catch (const std::exception&) {
    }
  }

 private:
  TIBSQL& FStatement;
};
