#include "EIBSQL.h"

EIBSQLError::EIBSQLError(const EIBInterBaseError& E, int AKind, TIBSQL* AStatement)
    : EIBInterBaseError(E.SQLCode, E.IBErrorCode, E.Message()),
      Statement(AStatement),
      SQLText(AStatement ? AStatement->SQL()->Text() : AnsiString()),
      Kind(AKind) {}

void PrepareSQL(TIBSQL& Statement) {
  try {
    Statement.Prepare();
  } catch (const EIBSQLError&) {
    throw;
  } catch (const EIBInterBaseError& e) {
    Statement.Unprepare();
    throw EIBSQLError(e, ekPrepare, &Statement);
  }
}

void ExecSQL(TIBSQL& Statement) {
  PrepareSQL(Statement);
  try {
    Statement.ExecQuery();
  } catch (const EIBSQLError&) {
    throw;
  } catch (const EIBInterBaseError& e) {
    throw EIBSQLError(e, ekExecute, &Statement);
  }
}
