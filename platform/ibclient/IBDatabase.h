// The database connection and its transactions. A database attaches to one
// database (a file path natively, with user SYSDBA for the embedded engine)
// with the options of its Params; its transactions start from their Params.
#pragma once

#include <vector>

#include "ibclient/IBLib.h"
#include "rtl/Classes.h"

class TIBTransaction;
class TIBSQL;

class TIBDatabase : public TComponent {
 public:
  explicit TIBDatabase(TComponent* AOwner);
  // Closes, keeping errors in.
  ~TIBDatabase() override;

  const AnsiString& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const AnsiString& Value);
  // Lines "name=value": user_name, password, lc_ctype (WIN1251 when absent),
  // sql_role_name.
  TStrings* Params() { return &FParams; }

  bool Connected() const { return FHandle != 0; }
  void SetConnected(bool Value);
  void Open();
  // Rolls back the active transactions, frees the statements and detaches.
  // Every handle is dropped even when the attachment is already gone, so the
  // program can open again.
  void Close();

  TIBTransaction* DefaultTransaction() const { return FDefaultTransaction; }
  // Forgotten when that transaction is destroyed.
  void SetDefaultTransaction(TIBTransaction* Value);
  // A transaction of the database's own, started by those who use it.
  TIBTransaction* InternalTransaction() const { return FInternalTransaction; }

  isc_db_handle* Handle() { return &FHandle; }
  // EIBClientError unless connected.
  void CheckActive() const;

 protected:
  // The connect and disconnect steps, which descendants extend.
  virtual void DoConnect();
  virtual void DoDisconnect();
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TIBTransaction;
  friend class TIBSQL;
  AnsiString BuildDPB() const;

  AnsiString FDatabaseName;
  TStringList FParams;
  isc_db_handle FHandle = 0;
  TIBTransaction* FDefaultTransaction = nullptr;
  TIBTransaction* FInternalTransaction = nullptr;
  std::vector<TIBTransaction*> FTransactions;
  std::vector<TIBSQL*> FStatements;
};

class TIBTransaction : public TComponent {
 public:
  explicit TIBTransaction(TComponent* AOwner);
  // Rolls back when active, keeping errors in.
  ~TIBTransaction() override;

  TIBDatabase* DefaultDatabase() const { return FDatabase; }
  void SetDefaultDatabase(TIBDatabase* Value);
  // One option a line: read, write, read_committed, rec_version,
  // no_rec_version, wait, nowait, concurrency, consistency. Empty: the
  // server's default (write, concurrency, wait).
  TStrings* Params() { return &FParams; }

  bool Active() const { return FHandle != 0; }
  void StartTransaction();
  // Commit and Rollback end the transaction and close the cursors opened in
  // it; the retaining forms keep it (and the cursors) going.
  void Commit();
  void CommitRetaining();
  void Rollback();
  void RollbackRetaining();

  isc_tr_handle* Handle() { return &FHandle; }
  // EIBClientError unless active.
  void CheckActive() const;

 private:
  friend class TIBDatabase;
  AnsiString BuildTPB() const;
  void Ended();
  // The database is closing: roll back, errors kept in, and forget the handle.
  void DropOnClose();

  TIBDatabase* FDatabase = nullptr;
  TStringList FParams;
  isc_tr_handle FHandle = 0;
};
