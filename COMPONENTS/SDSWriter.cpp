#include "SDSWriter.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <utility>

#include "EIBSQL.h"
#include "SDSAudit.h"
#include "SDSFieldTransfer.h"
#include "SDSSql.h"
#include "SDatabase.h"
#include "common/uTools.h"
#include "rtl/AnsiText.h"

const char* const SRecordMaybeDeleted = "Текущая запись возможно удалена в базе.\n\rРекомендуется обновить набор данных !";

namespace {

// The change event the server gets for a written record.
constexpr int ChangeEventKind = 10;

void CloseQuietly(TIBSQL& Statement) noexcept {
  try {
    Statement.Close();
  } catch (const std::exception&) {
  }
}

// A field without its change and validate handlers while this lives.
class TDetachedHandlers {
 public:
  explicit TDetachedHandlers(TField& Field)
      : FField(Field),
        FOnChange(std::exchange(Field.OnChange, nullptr)),
        FOnValidate(std::exchange(Field.OnValidate, nullptr)) {}
  ~TDetachedHandlers() {
    FField.OnChange = FOnChange;
    FField.OnValidate = FOnValidate;
  }

 private:
  TField& FField;
  TFieldNotifyEvent FOnChange, FOnValidate;
};

// Whether the record being posted changes the field: text byte for byte.
bool IsChanged(const TField& Field) {
  const Variant now = Field.Value(), old = Field.OldValue();
  if (now.IsNull() || old.IsNull()) return now.IsNull() != old.IsNull();
  if (TransferOf(Field.DataType()) == TSDSTransfer::String) return now.AsString() != old.AsString();
  return now != old;
}

void SetEmptyValue(TField& Field) {
  switch (Field.DataType()) {
    case ftSmallint:
    case ftInteger:
      Field.SetAsInteger(0);
      break;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
      Field.SetAsFloat(0.0);
      break;
    case ftString:
      Field.SetAsString("");
      break;
    default:
      break;
  }
}

}  // namespace

// ---- One write's transaction ---------------------------------------------------------------

TSDSWriteScope::TSDSWriteScope(TIBSQL& Statement, const TIBTransaction* ReadTransaction,
                               TSDSWriteEnd End)
    : FStatement(Statement),
      FTransaction(Statement.TransactionInUse()),
      FRetaining(FTransaction == ReadTransaction),
      FEnd(End) {
  if (!FTransaction) throw EIBClientError("Transaction not assigned");
  if (!FTransaction->Active()) FTransaction->StartTransaction();
  if (FEnd == TSDSWriteEnd::Savepoint) {
    // Each its own name: a cascade takes savepoints inside another write's.
    static std::atomic<unsigned> counter{0};
    FSavepoint = "SDS_WRITE_" + std::to_string(++counter);
    Exec("SAVEPOINT " + FSavepoint);
  }
}

TSDSWriteScope::~TSDSWriteScope() {
  if (FDone || FEnd == TSDSWriteEnd::Statement) return;
  try {
    // A full rollback also of the reading transaction: its snapshot goes
    // too, so the reload a conflict asks for shows the row as it is now.
    if (FEnd == TSDSWriteEnd::Savepoint)
      Exec("ROLLBACK TO SAVEPOINT " + FSavepoint);
    else
      FTransaction->Rollback();
  } catch (const std::exception&) {
    // The failure that undoes the write is the one to report.
  }
}

void TSDSWriteScope::Commit() {
  switch (FEnd) {
    case TSDSWriteEnd::Commit:
      FRetaining ? FTransaction->CommitRetaining() : FTransaction->Commit();
      break;
    case TSDSWriteEnd::Savepoint:
      Exec("RELEASE SAVEPOINT " + FSavepoint + " ONLY");
      break;
    case TSDSWriteEnd::Statement:
      break;
  }
  FDone = true;
}

void TSDSWriteScope::Exec(const AnsiString& SQL) {
  TIBSQL statement(nullptr);
  statement.SetDatabase(FStatement.Database());
  statement.SetTransaction(FTransaction);
  statement.SetSQLText(SQL);
  ExecSQL(statement);
}

void BindRecordParams(TIBSQL& Statement, const TDataSet& DataSet, TSDSBindMode Mode) {
  for (int i = 0; i < Statement.ParamCount(); ++i) {
    const AnsiString& name = Statement.ParamName(i);
    // A repeated name is set with its first place.
    if (name.empty() || &Statement.ParamByName(name) != &Statement.Params(i)) continue;
    TIBSQLVar& param = Statement.Params(i);
    if (Mode == TSDSBindMode::Update && name.size() > 4 && CompareText(name.substr(0, 4), "old$") == 0) {
      const TField& field = *DataSet.FieldByName(name.substr(4));
      const Variant old = field.OldValue();
      if (field.DataType() == ftString && VarToStr(old).empty())
        param.Clear();
      else
        SetParamFromValue(param, field, old);
      continue;
    }
    const TField* field = Mode == TSDSBindMode::Strict ? DataSet.FieldByName(name) : DataSet.FindField(name);
    if (!field) continue;
    if (field->FieldName() == SDSDBKeyField) {
      uint8_t key[8] = {};
      field->GetData(key);
      param.SetAsBytes(TBytes(key, key + 8));
    } else {
      SetParamFromField(param, *field);
    }
  }
}

void ExecuteOneRow(TIBSQL& Statement) {
  ExecSQL(Statement);
  const int rows = Statement.RowsAffected();
  if (rows == 0) throw EDatabaseError(SRecordMaybeDeleted);
  if (rows > 1)
    throw EDatabaseError("Изменение затронуло бы несколько записей в базе (" + std::to_string(rows) +
                         ") и отменено.");
}

// ---- Before the write ----------------------------------------------------------------------

void TSDSWriter::InitFields() {
  const bool requiredOnly = Has(dsoInitRequiredFields);
  const bool all = !requiredOnly && Has(dsoInitAllFields);
  if (requiredOnly || all) {
    for (int i = 0; i < DS.FieldDefs()->Count(); ++i) {
      const TFieldDef* def = DS.FieldDefs()->Items(i);
      if ((requiredOnly && !def->Required()) || def->Name() == SDSDBKeyField) continue;
      TField* field = DS.FindField(def->Name());
      if (!field || !field->IsNull()) continue;
      TDetachedHandlers detached(*field);
      if (all && def->Required() && (field->DataType() == ftDate || field->DataType() == ftDateTime))
        field->SetAsString("01.01.0001");
      else
        SetEmptyValue(*field);
    }
  } else {
    for (int i = 0; i < DS.FieldCount(); ++i) {
      TField* field = DS.Fields()->Fields(i);
      if (field->DataType() != ftString || field->IsNull() || field->Required() || !field->AsString().empty())
        continue;
      TDetachedHandlers detached(*field);
      field->Clear();
    }
  }
}

void TSDSWriter::AssignIdentity() {
  TField* autoInc = DS.AutoIncField();
  const bool inserting = DS.State() == dsInsert;
  if (DS.DataLoaded() && autoInc && inserting != Has(dsoIncOnNewRecord) &&
      (inserting || DS.State() == dsEdit) && autoInc->AsFloat() == 0)
    TSDS::AssignIdentity(autoInc, DS.NewIdentity());
}

TSDatabase* TSDSWriter::SessionDatabase() const { return dynamic_cast<TSDatabase*>(DS.Database()); }

TSDSWriteEnd TSDSWriter::WriteEnd(bool OneStatement) const {
  // What follows a commit expects the row committed.
  const bool held = DS.FHoldingCommits && !DS.OnLogEvent && !Has(dsoPessimisticLock) &&
                    !Has(dsoSendNotification) && !Has(dsoAudit);
  if (Has(dsoAutoCommit) && !held) return TSDSWriteEnd::Commit;
  return OneStatement ? TSDSWriteEnd::Statement : TSDSWriteEnd::Savepoint;
}

void TSDSWriter::OweCommit(TSDSWriteEnd End, TIBSQL& Statement) {
  if (End == TSDSWriteEnd::Commit || !Has(dsoAutoCommit)) return;
  std::vector<TIBTransaction*>& held = DS.FHeldTransactions;
  TIBTransaction* transaction = Statement.TransactionInUse();
  if (std::find(held.begin(), held.end(), transaction) == held.end()) held.push_back(transaction);
}

// ---- Steps around the commit ---------------------------------------------------------------

void TSDSWriter::BeforeCommit(int Operation, TIBSQL& Statement, const std::function<void()>& Step) {
  try {
    Step();
  } catch (const EAbort&) {
    CloseQuietly(Statement);
    CloseQuietly(*DS.RefreshByKeySQL());
    throw;
  } catch (const std::exception& e) {
    CloseQuietly(Statement);
    CloseQuietly(*DS.RefreshByKeySQL());
    if (const auto* written = dynamic_cast<const ESDS_IBError*>(&e)) throw *written;
    throw ESDS_IBError(e, &DS, Operation, Statement.SQL()->Text());
  }
}

void TSDSWriter::AfterCommit(const AnsiString& What, const std::function<void()>& Step) {
  try {
    Step();
  } catch (const std::exception& e) {
    WriteLogLine("ERROR", DS.PublicName(), What + ": " + e.what());
    if (!DS.FCommittedFailure) DS.FCommittedFailure = std::current_exception();
  }
}

void TSDSWriter::Audit(const AnsiString& Text) {
  if (Text.empty()) return;
  AfterCommit("audit", [&] {
    try {
      SessionDatabase()->Session()->WriteAuditMessage(Text);
    } catch (const std::exception&) {
      WriteLogLine("AUDIT", DS.PublicName(), Text);
      throw;
    }
  });
}

void TSDSWriter::Notify(int Operation) {
  TSDatabase* database = SessionDatabase();
  if (!Has(dsoSendNotification) || !database || !DS.DBKeyField()) return;
  AfterCommit("notification", [&] {
    TSDS* announced = DS.MasterDataset() ? DS.MasterDataset() : &DS;
    database->Session()->PostEvent(ChangeEventKind, 0, announced, DS.DBKey(), announced->TableName(), Operation);
  });
}

void TSDSWriter::UnlockAfterWrite(const AnsiString& AuditText) {
  TSDatabase* database = SessionDatabase();
  if (!Has(dsoPessimisticLock) || !database) return;
  const int64_t key = DS.DBKey();
  // Apart, so a failed unlock does not lose the audit text, nor the reverse.
  AfterCommit("unlock", [&] { database->Session()->UnlockRecord(key); });
  Audit(AuditText);
}

bool TSDSWriter::LockForEdit() {
  TSDatabase* database = SessionDatabase();
  if (!Has(dsoPessimisticLock) || !database) return false;
  const int64_t key = DS.DBKey();
  if (!TSDS::IDAssigned(key)) return false;
  database->Session()->LockRecord(key, true);
  return true;
}

void TSDSWriter::UnlockQuietly() noexcept {
  try {
    TSDatabase* database = SessionDatabase();
    if (!Has(dsoPessimisticLock) || !database || !DS.DBKeyField()) return;
    if (const int64_t key = DS.DBKey(); TSDS::IDAssigned(key)) database->Session()->UnlockRecord(key);
  } catch (const std::exception&) {
  }
}

// ---- Posting --------------------------------------------------------------------------------

void TSDSWriter::Post() {
  const bool inserting = DS.State() == dsInsert;
  if (!inserting && DS.State() != dsEdit) Abort();
  DS.FCommittedFailure = nullptr;
  for (;;) {
    try {
      inserting ? Insert() : Update();
      return;
    } catch (ESDS_IBError& e) {
      if (!DS.OnPostError) throw;
      TDataAction action = daFail;
      DS.OnPostError(&DS, e, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    }
  }
}

void TSDSWriter::Insert() {
  TIBSQL& statement = *DS.InsertSQL();
  const TSDSWriteEnd end = WriteEnd(false);
  BeforeCommit(soInsert, statement, [&] {
    TSDSWriteScope scope(statement, DS.Transaction(), end);
    PrepareSQL(statement);
    BindRecordParams(statement, DS, TSDSBindMode::Strict);
    ExecuteOneRow(statement);
    // The insert returns the new row's key, so the re-read finds that row
    // even when others hold the same values.
    DS.ClearRowKey();
    CopyRow(statement);
    statement.Close();
    RefreshRecord();
    scope.Commit();
  });
  OweCommit(end, statement);
  if (Has(dsoAudit) && SessionDatabase()) Audit(BuildAuditText(DS, aoInsert));
  AfterCommit("OnLogEvent", [&] {
    if (DS.OnLogEvent) DS.OnLogEvent(&DS, 0);
  });
  Notify(soInsert);
}

void TSDSWriter::Update() {
  const bool audited = Has(dsoPessimisticLock) && Has(dsoAudit) && SessionDatabase();
  AnsiString auditText;
  const bool byRowKey = TSDS::IDAssigned(DS.DBKey());
  TIBSQL& statement = byRowKey ? *DS.UpdateSQL() : *DS.UpdateByKeySQL();
  SetChangedColumns(statement, byRowKey);
  const bool reread = Has(dsoRefreshAfterEdit) || !byRowKey;
  // By the row key at most one row answers.
  const TSDSWriteEnd end = WriteEnd(byRowKey && !reread && !DS.OnLogEvent);
  BeforeCommit(soUpdate, statement, [&] {
    if (audited) auditText = BuildAuditText(DS, aoUpdate);
    TSDSWriteScope scope(statement, DS.Transaction(), end);
    CheckParentOnServer(statement);
    PrepareSQL(statement);
    BindRecordParams(statement, DS, TSDSBindMode::Update);
    ExecuteOneRow(statement);
    statement.Close();
    if (DS.OnLogEvent) DS.OnLogEvent(&DS, 1);
    if (reread) RefreshRecord();
    scope.Commit();
  });
  OweCommit(end, statement);
  UnlockAfterWrite(auditText);
  Notify(soUpdate);
}

void TSDSWriter::CheckParentOnServer(TIBSQL& Write) {
  const TField* pid = DS.PIDField();
  const TField* id = DS.IDField();
  if (!pid || !id || pid->IsNull() || id->IsNull() || !IsChanged(*pid)) return;
  const int64_t self = id->Value().AsInt64(), newParent = pid->Value().AsInt64();
  TIBSQL parent(nullptr);
  parent.SetDatabase(Write.Database());
  parent.SetTransaction(Write.TransactionInUse());
  parent.SetSQLText("select SYS$PID, SYS$STATE from " + QuoteIdentifier(DS.TableName()) +
                    " where SYS$ID = :ID with lock");
  std::set<int64_t> met;
  for (int64_t at = newParent; at != 0 && met.insert(at).second;) {
    if (at == self) RaiseHintError("Запись нельзя перенести в неё саму или в подчинённую ей запись");
    parent.ParamByName("ID").SetAsInt64(at);
    ExecSQL(parent);
    TCloseAfterUse closer(parent);
    if (parent.Eof()) {
      if (at == newParent) RaiseHintError("Родительская запись " + std::to_string(at) + " не найдена в базе");
      break;
    }
    const TIBSQLVar& state = parent.Fields(1);
    if (at == newParent && !state.IsNull() && IsListState(static_cast<uint32_t>(state.AsInteger())))
      RaiseHintError("Листовая запись " + std::to_string(at) + " не может быть родителем");
    at = parent.Fields(0).IsNull() ? 0 : parent.Fields(0).AsInt64();
  }
}

void TSDSWriter::SetChangedColumns(TIBSQL& Statement, bool ByRowKey) {
  std::set<AnsiString> changed;
  for (int i = 0; i < DS.FieldCount(); ++i)
    if (const TField* field = DS.Fields()->Fields(i); field->FieldKind() == fkData && IsChanged(*field))
      changed.insert(field->FieldName());
  TSDSSqlSource source = DS.SqlSource();
  source.WrittenFields = &changed;
  const TSDSStatements sql = GenerateStatements(source);
  TStringList text;
  text.SetText(ByRowKey ? sql.Update : sql.UpdateByKey);
  // The same columns as the last post keep the statement prepared.
  if (text.Text() != Statement.SQL()->Text()) Statement.SetSQLText(text.Text());
}

// ---- Held commits ---------------------------------------------------------------------------

void TSDS::WithCommitsHeld(const std::function<void()>& Walk) {
  if (FHoldingCommits || !FOptions.Contains(dsoAutoCommit)) return Walk();
  FHoldingCommits = true;
  try {
    Walk();
  } catch (...) {
    CommitHeldWrites(false);
    throw;
  }
  CommitHeldWrites(true);
}

void TSDS::CommitHeldWrites(bool RaiseFailure) {
  FHoldingCommits = false;
  const std::vector<TIBTransaction*> held = std::exchange(FHeldTransactions, {});
  const auto end = [&](bool Commit) {
    for (TIBTransaction* transaction : held) {
      // Ended by someone else meanwhile: nothing is left to end.
      if (!transaction->Active()) continue;
      // A full rollback: the reload then reads past a snapshot's start.
      if (!Commit)
        transaction->Rollback();
      else if (transaction != Transaction())
        transaction->Commit();
      else
        transaction->CommitRetaining();
    }
  };
  try {
    end(true);
  } catch (const std::exception& e) {
    WriteLogLine("ERROR", PublicName(), AnsiString("commit: ") + e.what());
    // The records hold changes the server does not: both go back, or,
    // when the records cannot be read again, they go with the dataset.
    try {
      end(false);
    } catch (const std::exception& undo) {
      WriteLogLine("ERROR", PublicName(), AnsiString("rollback: ") + undo.what());
    }
    try {
      Reload();
    } catch (const std::exception& reload) {
      WriteLogLine("ERROR", PublicName(), AnsiString("reload: ") + reload.what());
      Close();
    }
    if (RaiseFailure) throw;
  }
}

// ---- Re-reading -----------------------------------------------------------------------------

void TSDSWriter::RefreshRecord() {
  TIBSQL& statement = TSDS::IDAssigned(DS.DBKey()) ? *DS.RefreshSQL() : *DS.RefreshByKeySQL();
  if (TIBTransaction* transaction = statement.TransactionInUse(); transaction && !transaction->Active())
    transaction->StartTransaction();
  PrepareSQL(statement);
  TCloseAfterUse closer(statement);
  BindRecordParams(statement, DS, TSDSBindMode::Update);
  ExecSQL(statement);
  if (statement.Eof()) throw EDatabaseError(SRecordMaybeDeleted);
  CopyRow(statement);
  // As for a loaded record: a handler works out what the row gives.
  if (DS.OnRecordLoaded) DS.OnRecordLoaded(&DS);
  if (DS.OnSyncRecord) DS.OnSyncRecord(&DS);
}

void TSDSWriter::CopyRow(TIBSQL& Statement) {
  TSDSFieldsUnlocked unlocked(*DS.Fields());
  TSDSFieldTransfer(*DS.Fields(), Statement, Has(dsoCalcLookupOnServer)).CopyRow(Statement);
}

// ---- Deleting -------------------------------------------------------------------------------

void TSDSWriter::Delete() {
  DS.FCommittedFailure = nullptr;
  const int64_t key = DS.DBKey();
  TSDatabase* database = SessionDatabase();
  const bool locking = Has(dsoPessimisticLock) && database;
  AnsiString auditText;
  for (;;) {
    // A refused lock raises as it is: the delete does not start.
    if (locking && TSDS::IDAssigned(key)) database->Session()->LockRecord(key, true);
    try {
      if (locking && Has(dsoAudit)) auditText = BuildAuditText(DS, aoDelete);
      DeleteOnce(key);
      break;
    } catch (ESDS_IBError& e) {
      if (locking) UnlockQuietly();
      if (!DS.OnDeleteError) throw;
      TDataAction action = daFail;
      DS.OnDeleteError(&DS, e, action);
      if (action == daFail) throw;
      if (action == daAbort) Abort();
    } catch (...) {
      if (locking) UnlockQuietly();
      throw;
    }
  }
  AfterCommit("OnLogEvent", [&] {
    if (DS.OnLogEvent) DS.OnLogEvent(&DS, 2);
  });
  UnlockAfterWrite(auditText);
  Notify(soDelete);
}

void TSDSWriter::DeleteOnce(int64_t Key) {
  const bool byRowKey = TSDS::IDAssigned(Key);
  TIBSQL& statement = byRowKey ? *DS.DeleteSQL() : *DS.DeleteByKeySQL();
  const TSDSWriteEnd end = WriteEnd(byRowKey && !Has(dsoCascadeDeleteDetail));
  bool cascaded = false;
  try {
    BeforeCommit(soDelete, statement, [&] {
      TSDSWriteScope scope(statement, DS.Transaction(), end);
      if (Has(dsoCascadeDeleteDetail)) {
        cascaded = true;
        CascadeDelete();
      }
      PrepareSQL(statement);
      BindRecordParams(statement, DS, byRowKey ? TSDSBindMode::Update : TSDSBindMode::Strict);
      ExecuteOneRow(statement);
      statement.Close();
      scope.Commit();
    });
  } catch (...) {
    // The details' deletes went back with the undo.
    if (cascaded) ReloadDetails();
    throw;
  }
  OweCommit(end, statement);
}

namespace {

std::vector<TSDS*> ActiveDetails(const TSDS& Master) {
  std::vector<TSDS*> details;
  for (TDataSet* detail : Master.DetailDataSets())
    if (auto* sds = dynamic_cast<TSDS*>(detail); sds && sds->Active()) details.push_back(sds);
  return details;
}

}  // namespace

void TSDSWriter::CascadeDelete() {
  for (TSDS* detail : ActiveDetails(DS)) DeleteDetailRecords(*detail);
}

void TSDSWriter::DeleteDetailRecords(TSDS& Detail) {
  const TSDSOptions options = Detail.Options();
  Detail.SetOptions(options - TSDSOptions{dsoAutoCommit});
  try {
    // Marked first: a record deleted virtually may stay in view.
    std::vector<TBookmark> records;
    for (Detail.First(); !Detail.Eof(); Detail.Next()) records.push_back(Detail.GetBookmark());
    for (const TBookmark& record : records) {
      Detail.GotoBookmark(record);
      if (Detail.Options().Contains(dsoVirtualDelete)) {
        // Delete would end in the silent abort whether it marked the
        // record or not: mark it here.
        Detail.CheckDelete();
        Detail.VirtualDelete();
      } else {
        Detail.Delete();
      }
    }
  } catch (...) {
    Detail.SetOptions(options);
    throw;
  }
  Detail.SetOptions(options);
}

void TSDSWriter::ReloadDetails() noexcept {
  for (TSDS* detail : ActiveDetails(DS)) {
    try {
      if (detail->State() != dsBrowse) detail->Cancel();
      detail->Reload();
    } catch (const std::exception& e) {
      WriteLogLine("ERROR", detail->PublicName(), e.what());
    }
  }
}
