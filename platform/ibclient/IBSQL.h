// An SQL statement on a database and a transaction (the database's default
// one unless set). Parameters are "?" or ":name"; a select's ExecQuery
// opens the cursor on its first row, Next moves on, Eof tells the end.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "ibclient/IBDatabase.h"
#include "ibclient/IBSQLVar.h"

enum class TIBSQLType { Unknown, Select, Insert, Update, Delete, DDL, ExecProcedure, SelectForUpdate, Other };

class TIBSQL : public TComponent {
 public:
  explicit TIBSQL(TComponent* AOwner);
  ~TIBSQL() override;

  TIBDatabase* Database() const { return FDatabase; }
  void SetDatabase(TIBDatabase* Value);
  TIBTransaction* Transaction() const { return FTransaction; }
  void SetTransaction(TIBTransaction* Value);

  // Changing the text unprepares the statement.
  TStrings* SQL() { return &FSQL; }
  void SetSQLText(const AnsiString& Text);

  void Prepare();
  bool Prepared() const { return FPrepared; }
  // Prepares when needed, binds the parameters and runs the statement.
  void ExecQuery();
  // Fetches the next row; false (and Eof) after the last.
  bool Next();
  bool Eof() const { return FEof; }
  bool Open() const { return FOpen; }
  // Closes the cursor; the statement stays prepared.
  void Close();
  // Frees the statement on the server.
  void Unprepare();

  TIBSQLType SQLType() const { return FType; }
  // Rows inserted, updated or deleted by the last execution.
  int RowsAffected();

  int ParamCount() const { return static_cast<int>(FParams.size()); }
  TIBSQLVar& Params(int Index);
  // The ":name" of a parameter as the text gives it (unquoted names in upper
  // case); a repeated name's later places are set with its first.
  const AnsiString& ParamName(int Index) const;
  // Every ":name" of the text answers to the same name; EIBClientError
  // for a name the text lacks.
  TIBSQLVar& ParamByName(const AnsiString& Name);
  int FieldCount() const { return static_cast<int>(FFields.size()); }
  TIBSQLVar& Fields(int Index);
  // Null when the statement has no output column of that name.
  TIBSQLVar* FindField(const AnsiString& Name);
  TIBSQLVar& FieldByName(const AnsiString& Name);

  isc_db_handle* DatabaseHandle() const;
  isc_tr_handle* TransactionHandle() const;
  // The transaction this statement runs in: its own, else the database's default.
  TIBTransaction* TransactionInUse() const;

 private:
  friend class TIBDatabase;
  friend class TIBTransaction;
  struct TDescriptor;
  void CheckReady() const;
  void Describe();
  // The database is closing: forget the handle, freeing it when possible.
  void DropHandle();
  // The transaction ended, and the server closed the cursor with it.
  void CursorGone();
  void OnSQLChanging(TObject*);

  TIBDatabase* FDatabase = nullptr;
  TIBTransaction* FTransaction = nullptr;
  TStringList FSQL;
  isc_stmt_handle FHandle = 0;
  bool FPrepared = false, FOpen = false, FEof = true;
  TIBSQLType FType = TIBSQLType::Unknown;
  std::unique_ptr<TDescriptor> FIn, FOut;
  std::vector<std::unique_ptr<TIBSQLVar>> FParams, FFields;
  std::vector<AnsiString> FParamNames;
  std::map<AnsiString, int> FFieldIndex;
};
