#include "SUserSession.h"

#include "EIBSQL.h"
#include "SDataPrompts.h"
#include "common/uTools.h"

namespace {

constexpr size_t AuditTextLimit = 4000;

}  // namespace

AnsiString KeyText(int64_t Key) {
  static const char digits[] = "0123456789ABCDEF";
  const auto value = static_cast<uint64_t>(Key);
  AnsiString text;
  for (int i = 0; i < 8; ++i) {
    const unsigned byte = (value >> (8 * i)) & 0xFF;
    text += digits[byte >> 4];
    text += digits[byte & 0xF];
  }
  return text;
}

TUserSession::TUserSession(TIBDatabase* ADatabase) : FDatabase(ADatabase) {
  FLockSQL = MakeStatement("select f_LockRecord( :hs,:rn ) from rdb$database");
  FUnlockSQL = MakeStatement("select F_UNLOCKRECORD( :hs,:rn ) from rdb$database");
  FLockInfoSQL = MakeStatement("select F_GetLockInfo( :hs,:rn ) from rdb$database");
  // The table name, the key text and the audit text travel as parameters,
  // never inside the statement.
  FPostEventSQL =
      MakeStatement("select F_PostEvent( :hs,:param,:kind,:op,:table_name,:key_text ) from rdb$database");
  FAuditSQL = MakeStatement("select F_WRITEAUDITMSG( :hs,:msg ) from rdb$database");
}

TUserSession::~TUserSession() {
  try {
    if (FDatabase->Connected() && FHandle >= 0) EndSession();
  } catch (const std::exception& e) {
    WriteLogLine("ERROR", "TUserSession", e.what());
  }
}

std::unique_ptr<TIBSQL> TUserSession::MakeStatement(const AnsiString& SQL) {
  auto statement = std::make_unique<TIBSQL>(nullptr);
  statement->SetDatabase(FDatabase);
  statement->SetTransaction(FDatabase->InternalTransaction());
  statement->SetSQLText(SQL);
  return statement;
}

template <typename Bind, typename Read>
void TUserSession::Run(TIBSQL& Statement, Bind bind, Read read) {
  TIBTransaction* transaction = FDatabase->InternalTransaction();
  if (!transaction->Active()) transaction->StartTransaction();
  PrepareSQL(Statement);
  TCloseAfterUse closer(Statement);
  Statement.ParamByName("hs").SetAsInteger(FHandle);
  bind(Statement);
  ExecSQL(Statement);
  read(Statement.Fields(0));
}

template <typename Read>
void TUserSession::RunForKey(TIBSQL& Statement, int64_t Key, Read read) {
  Run(Statement, [Key](TIBSQL& s) { s.ParamByName("rn").SetAsInt64(Key); }, read);
}

void TUserSession::Register(const AnsiString& UserName) {
  TIBTransaction* transaction = FDatabase->InternalTransaction();
  if (!transaction->Active()) transaction->StartTransaction();
  auto statement = MakeStatement("select f_RegisterUserSession( :user_name ) from rdb$database");
  PrepareSQL(*statement);
  statement->ParamByName("user_name").SetAsString(UserName);
  ExecSQL(*statement);
  FHandle = statement->Fields(0).AsInteger();
}

void TUserSession::LockRecord(int64_t Key, bool Ask) {
  if (FHandle < 0) return;
  int result = 0;
  RunForKey(*FLockSQL, Key, [&](TIBSQLVar& value) { result = value.AsInteger(); });
  switch (result) {
    case 0:
      return;
    case -100:
      throw Exception("Ошибка блокировки (отсутствует память)");
    case -400:
      throw Exception("Ошибка блокировки (неизвестная сессия)");
    case -450:
      throw Exception("Ошибка блокировки (неизвестная база)");
    case -1100:
      if (Ask && DataPrompts().AskYesNo(
                     "Запись блокирована другим пользователем\n\rИнтересует дополнительная информация ?"))
        DataPrompts().ShowMessage(LockInfo(Key));
      throw EAbort("Запись блокирована другим пользователем", 1);
    default:
      throw Exception("Ошибка блокировки", 2);
  }
}

AnsiString TUserSession::LockInfo(int64_t Key) {
  if (FHandle < 0) return {};
  AnsiString info;
  RunForKey(*FLockInfoSQL, Key, [&](TIBSQLVar& value) { info = Trim(value.AsString()); });
  return info;
}

void TUserSession::UnlockRecord(int64_t Key) {
  if (FHandle < 0) return;
  RunForKey(*FUnlockSQL, Key, [](TIBSQLVar&) {});
}

bool TUserSession::PostEvent(int Kind, int Param, TDataSet*, int64_t Key, const AnsiString& TableName,
                             int Operation) {
  if (!FDatabase->Connected()) return false;
  if (FHandle < 0) return true;
  Run(
      *FPostEventSQL,
      [&](TIBSQL& s) {
        s.ParamByName("param").SetAsInteger(Param);
        s.ParamByName("kind").SetAsInteger(Kind);
        s.ParamByName("op").SetAsInteger(Operation);
        s.ParamByName("table_name").SetAsString(TableName);
        s.ParamByName("key_text").SetAsString(KeyText(Key));
      },
      [](TIBSQLVar&) {});
  return true;
}

void TUserSession::WriteAuditMessage(const AnsiString& Text) {
  if (FHandle < 0) return;
  Run(*FAuditSQL, [&](TIBSQL& s) { s.ParamByName("msg").SetAsString(Text.substr(0, AuditTextLimit)); },
      [](TIBSQLVar&) {});
}

void TUserSession::UnlockWithAudit(int64_t Key, const AnsiString& Text) {
  if (FHandle < 0) return;
  UnlockRecord(Key);
  WriteAuditMessage(Text);
}

void TUserSession::EndSession() {
  const int32_t handle = FHandle;
  FHandle = -1;
  if (!FDatabase->Connected()) return;
  auto statement = MakeStatement("select f_UnregisterUserSession( :hs ) from rdb$database");
  Run(*statement, [handle](TIBSQL& s) { s.ParamByName("hs").SetAsInteger(handle); }, [](TIBSQLVar&) {});
}
