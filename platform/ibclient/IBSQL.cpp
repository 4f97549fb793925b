#include "ibclient/IBSQL.h"

#include <algorithm>
#include <cstdlib>

#include "ibclient/IBError.h"
#include "ibclient/IBParamParser.h"
#include "rtl/AnsiText.h"

// An XSQLDA of the size the server asks for.
struct TIBSQL::TDescriptor {
  explicit TDescriptor(int Count) {
    Area = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(std::max(Count, 1))));
    if (!Area) throw EOutOfMemory("Out of memory");
    Area->version = SQLDA_VERSION1;
    Area->sqln = static_cast<short>(std::max(Count, 1));
  }
  ~TDescriptor() { std::free(Area); }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  XSQLDA* Area;
};

namespace {

int32_t ReadInfoInt(const char* p, int length) {
  int32_t value = 0;
  for (int i = length - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(p[i]);
  return value;
}

TIBSQLType TypeFromInfo(int32_t code) {
  switch (code) {
    case isc_info_sql_stmt_select:
      return TIBSQLType::Select;
    case isc_info_sql_stmt_select_for_upd:
      return TIBSQLType::SelectForUpdate;
    case isc_info_sql_stmt_insert:
      return TIBSQLType::Insert;
    case isc_info_sql_stmt_update:
      return TIBSQLType::Update;
    case isc_info_sql_stmt_delete:
      return TIBSQLType::Delete;
    case isc_info_sql_stmt_ddl:
      return TIBSQLType::DDL;
    case isc_info_sql_stmt_exec_procedure:
      return TIBSQLType::ExecProcedure;
    default:
      return TIBSQLType::Other;
  }
}

}  // namespace

TIBSQL::TIBSQL(TComponent* AOwner) : TComponent(AOwner) {
  FSQL.OnChanging = [this](TObject* sender) { OnSQLChanging(sender); };
}

TIBSQL::~TIBSQL() {
  DropHandle();
  SetDatabase(nullptr);
}

void TIBSQL::SetDatabase(TIBDatabase* Value) {
  if (Value == FDatabase) return;
  DropHandle();
  if (FDatabase) FDatabase->FStatements.erase(std::remove(FDatabase->FStatements.begin(),
                                                          FDatabase->FStatements.end(), this),
                                              FDatabase->FStatements.end());
  FDatabase = Value;
  if (FDatabase) FDatabase->FStatements.push_back(this);
}

void TIBSQL::SetTransaction(TIBTransaction* Value) {
  if (Value == FTransaction) return;
  if (FOpen) Close();
  FTransaction = Value;
}

void TIBSQL::SetSQLText(const AnsiString& Text) { FSQL.SetText(Text); }

void TIBSQL::OnSQLChanging(TObject*) {
  if (FPrepared || FHandle) Unprepare();
}

TIBTransaction* TIBSQL::TransactionInUse() const {
  if (FTransaction) return FTransaction;
  return FDatabase ? FDatabase->DefaultTransaction() : nullptr;
}

isc_db_handle* TIBSQL::DatabaseHandle() const {
  if (!FDatabase) throw EIBClientError("Database not assigned");
  return FDatabase->Handle();
}

isc_tr_handle* TIBSQL::TransactionHandle() const {
  TIBTransaction* transaction = TransactionInUse();
  if (!transaction) throw EIBClientError("Transaction not assigned");
  return transaction->Handle();
}

void TIBSQL::CheckReady() const {
  if (!FDatabase) throw EIBClientError("Database not assigned");
  FDatabase->CheckActive();
  TIBTransaction* transaction = TransactionInUse();
  if (!transaction) throw EIBClientError("Transaction not assigned");
  transaction->CheckActive();
}

void TIBSQL::Prepare() {
  if (FPrepared) return;
  CheckReady();
  const TIBParsedSQL parsed = ParseParams(FSQL.Text());
  if (Trim(parsed.Text).empty()) throw EIBClientError("Empty query");
  ISC_STATUS_ARRAY status;
  if (!FHandle) {
    IB_CALL(isc_dsql_allocate_statement, status, DatabaseHandle(), &FHandle);
    if (IBFailed(status)) {
      FHandle = 0;
      IBCheck(status);
    }
  }
  try {
    IB_CALL(isc_dsql_prepare, status, TransactionHandle(), &FHandle, 0, parsed.Text.c_str(),
            SQL_DIALECT_V6, nullptr);
    IBCheck(status);
    const char item = isc_info_sql_stmt_type;
    char info[16] = {};
    IB_CALL(isc_dsql_sql_info, status, &FHandle, 1, &item, sizeof info, info);
    IBCheck(status);
    FType = info[0] == isc_info_sql_stmt_type ? TypeFromInfo(ReadInfoInt(info + 3, ReadInfoInt(info + 1, 2)))
                                                : TIBSQLType::Unknown;
    FParamNames = parsed.Names;
    Describe();
  } catch (...) {
    Unprepare();
    throw;
  }
  FPrepared = true;
}

void TIBSQL::Describe() {
  ISC_STATUS_ARRAY status;
  const auto describe = [&](bool input, std::unique_ptr<TDescriptor>& descriptor) {
    descriptor = std::make_unique<TDescriptor>(1);
    for (;;) {
      if (input)
        IB_CALL(isc_dsql_describe_bind, status, &FHandle, SQL_DIALECT_V6, descriptor->Area);
      else
        IB_CALL(isc_dsql_describe, status, &FHandle, SQL_DIALECT_V6, descriptor->Area);
      IBCheck(status);
      if (descriptor->Area->sqld <= descriptor->Area->sqln) break;
      descriptor = std::make_unique<TDescriptor>(descriptor->Area->sqld);
    }
  };
  describe(true, FIn);
  describe(false, FOut);

  FParams.clear();
  for (int i = 0; i < FIn->Area->sqld; ++i) {
    FParams.push_back(std::make_unique<TIBSQLVar>(this, &FIn->Area->sqlvar[i]));
    FParams.back()->PrepareInput();
  }
  if (FParamNames.size() != FParams.size()) FParamNames.resize(FParams.size());
  for (size_t i = 0; i < FParams.size(); ++i) {
    if (FParamNames[i].empty()) continue;
    const auto first = std::find(FParamNames.begin(), FParamNames.end(), FParamNames[i]);
    const auto firstIndex = static_cast<size_t>(first - FParamNames.begin());
    if (firstIndex != i) FParams[firstIndex]->LinkRepeat(FParams[i].get());
  }

  FFields.clear();
  FFieldIndex.clear();
  for (int i = 0; i < FOut->Area->sqld; ++i) {
    FFields.push_back(std::make_unique<TIBSQLVar>(this, &FOut->Area->sqlvar[i]));
    FFields.back()->PrepareOutput();
    FFieldIndex.emplace(FFields.back()->Name(), i);
  }
}

void TIBSQL::ExecQuery() {
  CheckReady();
  Prepare();
  if (FOpen) Close();
  for (auto& param : FParams) param->StorePendingBlob(DatabaseHandle(), TransactionHandle());
  ISC_STATUS_ARRAY status;
  const bool withOutput = FType == TIBSQLType::ExecProcedure;
  IB_CALL(isc_dsql_execute2, status, TransactionHandle(), &FHandle, SQLDA_VERSION1,
          FParams.empty() ? nullptr : FIn->Area, withOutput ? FOut->Area : nullptr);
  IBCheck(status);
  if (FType == TIBSQLType::Select || FType == TIBSQLType::SelectForUpdate) {
    FOpen = true;
    FEof = false;
    Next();
  } else {
    FEof = !withOutput;
  }
}

bool TIBSQL::Next() {
  if (!FOpen) throw EIBClientError("Cursor is not open");
  if (FEof) return false;
  ISC_STATUS_ARRAY status;
  const ISC_STATUS result = IB_CALL(isc_dsql_fetch, status, &FHandle, SQLDA_VERSION1, FOut->Area);
  if (result == 100) {
    FEof = true;
    return false;
  }
  IBCheck(status);
  return true;
}

void TIBSQL::CursorGone() {
  FOpen = false;
  FEof = true;
}

void TIBSQL::Close() {
  if (!FOpen) return;
  CursorGone();
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_dsql_free_statement, status, &FHandle, DSQL_close);
  IBCheck(status);
}

void TIBSQL::Unprepare() {
  const bool hadHandle = FHandle != 0;
  CursorGone();
  FPrepared = false;
  FParams.clear();
  FFields.clear();
  FFieldIndex.clear();
  if (!hadHandle) return;
  ISC_STATUS_ARRAY status;
  try {
    IB_CALL(isc_dsql_free_statement, status, &FHandle, DSQL_drop);
  } catch (...) {
    FHandle = 0;
    throw;
  }
  FHandle = 0;
  if (!IsLostConnection(static_cast<int>(status[1]))) IBCheck(status);
}

void TIBSQL::DropHandle() {
  try {
    Unprepare();
  } catch (const std::exception&) {
    // The database is going away; the server frees the statement with it.
  }
}

int TIBSQL::RowsAffected() {
  if (!FPrepared) return -1;
  const char item = isc_info_sql_records;
  char info[64] = {};
  ISC_STATUS_ARRAY status;
  IB_CALL(isc_dsql_sql_info, status, &FHandle, 1, &item, sizeof info, info);
  IBCheck(status);
  if (info[0] != isc_info_sql_records) return -1;
  int count = 0;
  const char* p = info + 3;
  while (*p != isc_info_end && p < info + sizeof info - 7) {
    const char kind = *p;
    const int length = ReadInfoInt(p + 1, 2);
    const int32_t value = ReadInfoInt(p + 3, length);
    if (kind == isc_info_req_insert_count || kind == isc_info_req_update_count ||
        kind == isc_info_req_delete_count)
      count += value;
    p += 3 + length;
  }
  return count;
}

TIBSQLVar& TIBSQL::Params(int Index) {
  if (Index < 0 || Index >= ParamCount()) throw EIBClientError("Parameter index out of range");
  return *FParams[static_cast<size_t>(Index)];
}

const AnsiString& TIBSQL::ParamName(int Index) const {
  if (Index < 0 || Index >= ParamCount()) throw EIBClientError("Parameter index out of range");
  return FParamNames[static_cast<size_t>(Index)];
}

TIBSQLVar& TIBSQL::ParamByName(const AnsiString& Name) {
  if (!FPrepared) Prepare();
  for (const AnsiString& candidate : {Name, UpperCase(Name)}) {
    const auto found = std::find(FParamNames.begin(), FParamNames.end(), candidate);
    if (found != FParamNames.end()) return *FParams[static_cast<size_t>(found - FParamNames.begin())];
  }
  throw EIBClientError("Parameter not found: " + Name);
}

TIBSQLVar& TIBSQL::Fields(int Index) {
  if (Index < 0 || Index >= FieldCount()) throw EIBClientError("Field index out of range");
  return *FFields[static_cast<size_t>(Index)];
}

TIBSQLVar* TIBSQL::FindField(const AnsiString& Name) {
  for (const AnsiString& candidate : {Name, UpperCase(Name)}) {
    const auto found = FFieldIndex.find(candidate);
    if (found != FFieldIndex.end()) return FFields[static_cast<size_t>(found->second)].get();
  }
  return nullptr;
}

TIBSQLVar& TIBSQL::FieldByName(const AnsiString& Name) {
  TIBSQLVar* field = FindField(Name);
  if (!field) throw EIBClientError("Field not found: " + Name);
  return *field;
}
