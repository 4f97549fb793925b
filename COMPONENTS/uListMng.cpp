#include "uListMng.h"

#include "EIBSQL.h"
#include "ibclient/IBSQL.h"

TListColletion::~TListColletion() { ClearAll(); }

void TListColletion::Fill() {
  TIBSQL statement(nullptr);
  statement.SetDatabase(FDatabase);
  TIBTransaction* transaction = statement.TransactionInUse();
  if (transaction && !transaction->Active()) transaction->StartTransaction();
  statement.SetSQLText("select NAME from SYS$LIST_KIND");
  for (ExecSQL(statement); !statement.Eof(); statement.Next()) {
    const AnsiString name = statement.FieldByName("NAME").AsString();
    if (IndexOf(name) < 0) Add(name);
  }
  statement.Close();
}

void TListColletion::ClearAll() {
  for (int i = 0; i < Count(); ++i) delete Objects(i);
  Clear();
}
