// How a server-backed dataset writes a posted or deleted record: the
// statement runs once, with its parameters bound from the record, and
// exactly one row must answer. Until the commit any failure undoes the
// write (a rollback, or without auto-commit a return to the savepoint taken
// before it) and fails the post or delete; what fails after the commit
// (audit, unlock, log event, notification) is written to the log and
// reported once the change is also made in memory, so a retry or a second
// post never writes a change twice.
#pragma once

#include <functional>

#include "SDS.h"
#include "ibclient/IBSQL.h"

extern const char* const SRecordMaybeDeleted;

// How one write ends.
enum class TSDSWriteEnd {
  // A commit of its own (retaining in the reading transaction).
  Commit,
  // Left in the transaction behind a savepoint of its own.
  Savepoint,
  // Left in the transaction: one statement, which undoes itself when it fails.
  Statement
};

// One write's transaction: started when inactive, ended as asked. Undone on
// destruction unless committed; errors of the undo are kept in.
class TSDSWriteScope {
 public:
  TSDSWriteScope(TIBSQL& Statement, const TIBTransaction* ReadTransaction, TSDSWriteEnd End);
  ~TSDSWriteScope();
  TSDSWriteScope(const TSDSWriteScope&) = delete;
  TSDSWriteScope& operator=(const TSDSWriteScope&) = delete;
  void Commit();

 private:
  void Exec(const AnsiString& SQL);
  TIBSQL& FStatement;
  TIBTransaction* FTransaction;
  bool FRetaining;
  TSDSWriteEnd FEnd;
  AnsiString FSavepoint;
  bool FDone = false;
};

// How a statement's parameters find their values.
enum class TSDSBindMode {
  // Every parameter names a field (insert, delete by values); one without a
  // field raises.
  Strict,
  // The row key's 8 bytes, fields by name, "old$" + name from the field's
  // old value (an empty old string as null); other parameters left alone.
  Update
};
void BindRecordParams(TIBSQL& Statement, const TDataSet& DataSet, TSDSBindMode Mode);

// Runs the statement and requires exactly one row changed: none means the
// row is gone or was changed by someone else, more is refused.
void ExecuteOneRow(TIBSQL& Statement);

class TSDSWriter {
 public:
  explicit TSDSWriter(TSDS& DataSet) : DS(DataSet) {}
  // The values a post gives empty fields, by the dataset's options.
  void InitFields();
  // A new identity for a record without one, when the options ask.
  void AssignIdentity();
  // The insert or update of the record in insert or edit state, again for
  // each retry answer of OnPostError.
  void Post();
  // The delete of the current record (its lock taken first), again for each
  // retry answer of OnDeleteError.
  void Delete();
  // Reads the current record's row again into the record being edited,
  // then fires OnRecordLoaded.
  void RefreshRecord();
  // Locks the current record for an edit when the dataset locks records;
  // true when it did.
  bool LockForEdit();
  // Releases the current record's lock; errors are kept in.
  void UnlockQuietly() noexcept;
  // Deletes each record of each active server-backed detail dataset once
  // (a record marked deleted counts), without committing.
  void CascadeDelete();
  // After a failed cascade has been undone on the server: the details are
  // loaded again; failures are logged.
  void ReloadDetails() noexcept;

 private:
  TSDatabase* SessionDatabase() const;
  bool Has(TSDSOption Option) const { return DS.Options().Contains(Option); }
  // A write of one statement needs no savepoint to be undone.
  TSDSWriteEnd WriteEnd(bool OneStatement) const;
  // After a held write: its transaction owes the dataset's held commit.
  void OweCommit(TSDSWriteEnd End, TIBSQL& Statement);
  void Insert();
  void Update();
  // The update sets only the columns the post changes: a column another
  // user changed since the load keeps that change.
  void SetChangedColumns(TIBSQL& Statement, bool ByRowKey);
  // A new parent checked against the server in the write's transaction:
  // there, not a list record, and neither the record nor below it. The
  // rows walked are locked, so another user's move of one of them
  // conflicts instead of closing a loop beside this one.
  void CheckParentOnServer(TIBSQL& Write);
  void DeleteOnce(int64_t Key);
  void DeleteDetailRecords(TSDS& Detail);
  // The statement's row into the record's fields of the same names.
  void CopyRow(TIBSQL& Statement);
  // Runs a step before the commit; a failure closes the statements and
  // raises ESDS_IBError (EAbort passes as it is).
  void BeforeCommit(int Operation, TIBSQL& Statement, const std::function<void()>& Step);
  // Runs a step after the commit; a failure is logged and kept to report.
  void AfterCommit(const AnsiString& What, const std::function<void()>& Step);
  void Audit(const AnsiString& Text);
  void Notify(int Operation);
  void UnlockAfterWrite(const AnsiString& AuditText);

  TSDS& DS;
};
