// The server session of a database: record locks for pessimistic editing,
// the lock owner's text, change events for other clients, audit messages
// and the end of the session, each a server function called as a one-row
// select from rdb$database in the database's internal transaction. With no
// session (Handle -1) nothing reaches the server.
#pragma once

#include <memory>

#include "ibclient/IBDatabase.h"
#include "ibclient/IBSQL.h"

class TDataSet;

class TUserSession : public TObject {
 public:
  explicit TUserSession(TIBDatabase* ADatabase);
  // Ends a registered session; errors are logged, never raised.
  ~TUserSession() override;

  int32_t Handle() const { return FHandle; }
  // Registers a session for the user on the server and takes its number.
  // The workstation has no login: only tests call this.
  void Register(const AnsiString& UserName);

  // Raises on a lock held by another user (after asking, when Ask, whether
  // to show who holds it) with the silent abort, and on other results.
  void LockRecord(int64_t Key, bool Ask);
  AnsiString LockInfo(int64_t Key);
  void UnlockRecord(int64_t Key);
  // False only when the database is not connected.
  bool PostEvent(int Kind, int Param, TDataSet* DataSet, int64_t Key, const AnsiString& TableName,
                 int Operation);
  // The text is cut to the 4000 characters the server function takes.
  void WriteAuditMessage(const AnsiString& Text);
  void UnlockWithAudit(int64_t Key, const AnsiString& Text);
  // Ends the session on the server while connected; Handle becomes -1 in any case.
  void EndSession();
  // Nothing listens for events; kept so the database can say it stops.
  void StopListening() {}

 private:
  std::unique_ptr<TIBSQL> MakeStatement(const AnsiString& SQL);
  // Starts the internal transaction when needed and runs the statement with
  // the session and what `bind` sets, then gives it to `read`; the statement
  // is closed afterwards in any case.
  template <typename Bind, typename Read>
  void Run(TIBSQL& Statement, Bind bind, Read read);
  // Runs a statement of (:hs, :rn) and gives its one value to `read`.
  template <typename Read>
  void RunForKey(TIBSQL& Statement, int64_t Key, Read read);

  TIBDatabase* FDatabase;
  int32_t FHandle = -1;
  std::unique_ptr<TIBSQL> FLockSQL, FUnlockSQL, FLockInfoSQL, FPostEventSQL, FAuditSQL;
};

// The 16 upper-case hex digits of a key: its bytes least significant first.
AnsiString KeyText(int64_t Key);
