#include "ibclient/IBDatabase.h"

#include <algorithm>

#include "ibclient/IBError.h"
#include "ibclient/IBSQL.h"
#include "rtl/AnsiText.h"

namespace {

template <typename T>
void Forget(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// One parameter block item: code, one-byte length, bytes.
void AddItem(AnsiString& block, char code, const AnsiString& value) {
  if (value.size() > 255) throw EIBClientError("Database parameter too long");
  block += code;
  block += static_cast<char>(value.size());
  block += value;
}

}  // namespace

// ---- TIBDatabase -------------------------------------------------------------

TIBDatabase::TIBDatabase(TComponent* AOwner) : TComponent(AOwner) {
  FInternalTransaction = new TIBTransaction(this);
  FInternalTransaction->SetDefaultDatabase(this);
}

TIBDatabase::~TIBDatabase() {
  try {
    Close();
  } catch (const std::exception&) {
  }
  for (TIBSQL* statement : FStatements) statement->FDatabase = nullptr;
  for (TIBTransaction* transaction : FTransactions) transaction->FDatabase = nullptr;
}

void TIBDatabase::SetDatabaseName(const AnsiString& Value) {
  if (Connected()) throw EIBClientError("Cannot change the database name while connected");
  FDatabaseName = Value;
}

void TIBDatabase::SetDefaultTransaction(TIBTransaction* Value) {
  FDefaultTransaction = Value;
  if (Value) Value->FreeNotification(this);
}

void TIBDatabase::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDefaultTransaction) FDefaultTransaction = nullptr;
}

void TIBDatabase::SetConnected(bool Value) {
  if (Value)
    Open();
  else
    Close();
}

void TIBDatabase::Open() {
  if (!Connected()) DoConnect();
}

void TIBDatabase::Close() {
  if (Connected()) DoDisconnect();
}

void TIBDatabase::CheckActive() const {
  if (!Connected()) throw EIBClientError("Database not connected");
}

AnsiString TIBDatabase::BuildDPB() const {
  AnsiString dpb(1, static_cast<char>(isc_dpb_version1));
  bool charsetGiven = false;
  for (int i = 0; i < FParams.Count(); ++i) {
    if (Trim(FParams.Strings(i)).empty()) continue;
    const AnsiString name = LowerCase(Trim(FParams.Names(i)));
    const AnsiString value = FParams.ValueFromIndex(i);
    if (name == "user_name")
      AddItem(dpb, isc_dpb_user_name, value);
    else if (name == "password")
      AddItem(dpb, isc_dpb_password, value);
    else if (name == "sql_role_name")
      AddItem(dpb, isc_dpb_sql_role_name, value);
    else if (name == "lc_ctype") {
      AddItem(dpb, isc_dpb_lc_ctype, value);
      charsetGiven = true;
    } else
      throw EIBClientError("Unknown database parameter: " + FParams.Strings(i));
  }
  if (!charsetGiven) AddItem(dpb, isc_dpb_lc_ctype, "WIN1251");
  return dpb;
}

void TIBDatabase::DoConnect() {
  if (FDatabaseName.empty()) throw EIBClientError("Database name is missing");
  const AnsiString dpb = BuildDPB();
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_attach_database, status, static_cast<short>(FDatabaseName.size()), FDatabaseName.c_str(),
          &FHandle, static_cast<short>(dpb.size()), dpb.data());
  if (IBFailed(status)) {
    FHandle = 0;
    IBCheck(status);
  }
}

void TIBDatabase::DoDisconnect() {
  for (TIBSQL* statement : FStatements) statement->DropHandle();
  for (TIBTransaction* transaction : FTransactions) transaction->DropOnClose();
  ISC_STATUS_ARRAY status;
  try {
    IB_CALL(isc_detach_database, status, &FHandle);
  } catch (...) {
    FHandle = 0;
    throw;
  }
  const bool failed = IBFailed(status);
  FHandle = 0;
  if (failed && !IsLostConnection(static_cast<int>(status[1]))) IBCheck(status);
}

// ---- TIBTransaction ----------------------------------------------------------

TIBTransaction::TIBTransaction(TComponent* AOwner) : TComponent(AOwner) {}

TIBTransaction::~TIBTransaction() {
  DropOnClose();
  SetDefaultDatabase(nullptr);
}

void TIBTransaction::SetDefaultDatabase(TIBDatabase* Value) {
  if (Value == FDatabase) return;
  if (Active()) throw EIBClientError("Cannot change the database of an active transaction");
  if (FDatabase) {
    Forget(FDatabase->FTransactions, this);
    for (TIBSQL* statement : FDatabase->FStatements)
      if (statement->FTransaction == this) statement->FTransaction = nullptr;
  }
  FDatabase = Value;
  if (FDatabase) FDatabase->FTransactions.push_back(this);
}

void TIBTransaction::CheckActive() const {
  if (!Active()) throw EIBClientError("Transaction is not active");
}

AnsiString TIBTransaction::BuildTPB() const {
  static const struct {
    const char* Name;
    char Code;
  } options[] = {{"read", isc_tpb_read},
                 {"write", isc_tpb_write},
                 {"read_committed", isc_tpb_read_committed},
                 {"rec_version", isc_tpb_rec_version},
                 {"no_rec_version", isc_tpb_no_rec_version},
                 {"wait", isc_tpb_wait},
                 {"nowait", isc_tpb_nowait},
                 {"concurrency", isc_tpb_concurrency},
                 {"consistency", isc_tpb_consistency}};
  AnsiString tpb;
  for (int i = 0; i < FParams.Count(); ++i) {
    const AnsiString line = LowerCase(Trim(FParams.Strings(i)));
    if (line.empty()) continue;
    const auto* option = std::find_if(std::begin(options), std::end(options),
                                      [&](const auto& o) { return line == o.Name; });
    if (option == std::end(options))
      throw EIBClientError("Unknown transaction parameter: " + FParams.Strings(i));
    tpb += option->Code;
  }
  if (!tpb.empty()) tpb.insert(tpb.begin(), static_cast<char>(isc_tpb_version3));
  return tpb;
}

void TIBTransaction::StartTransaction() {
  if (Active()) throw EIBClientError("Transaction is active");
  if (!FDatabase) throw EIBClientError("Transaction has no database");
  FDatabase->CheckActive();
  const AnsiString tpb = BuildTPB();
  // The layout the client library reads for each database of a transaction.
  struct {
    isc_db_handle* Database;
    int TPBLength;
    const char* TPB;
  } teb = {FDatabase->Handle(), static_cast<int>(tpb.size()), tpb.data()};
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_start_multiple, status, &FHandle, 1, &teb);
  if (IBFailed(status)) {
    FHandle = 0;
    IBCheck(status);
  }
}

void TIBTransaction::Ended() {
  if (!FDatabase) return;
  for (TIBSQL* statement : FDatabase->FStatements)
    if (statement->TransactionInUse() == this) statement->CursorGone();
}

void TIBTransaction::Commit() {
  CheckActive();
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_commit_transaction, status, &FHandle);
  IBCheck(status);
  Ended();
}

void TIBTransaction::CommitRetaining() {
  CheckActive();
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_commit_retaining, status, &FHandle);
  IBCheck(status);
}

void TIBTransaction::Rollback() {
  CheckActive();
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_rollback_transaction, status, &FHandle);
  // A transaction whose attachment is gone is over all the same.
  if (IBFailed(status) && IsLostConnection(static_cast<int>(status[1]))) FHandle = 0;
  IBCheck(status);
  Ended();
}

void TIBTransaction::RollbackRetaining() {
  CheckActive();
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_rollback_retaining, status, &FHandle);
  IBCheck(status);
}

void TIBTransaction::DropOnClose() {
  if (!Active()) return;
  Ended();
  ISC_STATUS_ARRAY status;
  try {
    IB_CALL(isc_rollback_transaction, status, &FHandle);
  } catch (const std::exception&) {
    // The seam may fail any call; the handle goes all the same.
  }
  FHandle = 0;
}
