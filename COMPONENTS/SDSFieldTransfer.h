// How a row of a statement's result goes into a dataset's current record:
// one entry per field with its column and the typed way of moving the
// value, worked out once per statement and used for every row.
#pragma once

#include <functional>
#include <vector>

#include "db/Fields.h"

class TIBSQL;
class TIBSQLVar;

enum class TSDSTransfer : int8_t {
  Skip = -1,
  String = 1,
  Integer = 2,
  Float = 3,
  DateTime = 4,
  Int64 = 5,
  // Scaled integers moved exactly, never through a double: Currency, and
  // BCD with every digit its scale holds.
  Exact = 6,
  Bcd = 7,
  Variant = 99,
  // The 8 bytes of RDB$DB_KEY as they are.
  RowKey = 100
};

// By the field's type; the row key is decided by its column.
TSDSTransfer TransferOf(TFieldType Type);

class TSDSFieldTransfer {
 public:
  // The fields with a column of their name in the statement's output. Not
  // moved: calculated fields, and lookup fields and data fields with empty
  // ProviderFlags unless the server works them out (ByServer); the row key
  // only from an 8-byte column.
  TSDSFieldTransfer(TFields& Fields, TIBSQL& Statement, bool ByServer);
  // Only the given fields.
  TSDSFieldTransfer(const std::vector<TField*>& Fields, TIBSQL& Statement, bool ByServer);
  // A null column clears its field. BeforeLast runs just before the last
  // field is set (calculated fields are then worked out once).
  void CopyRow(TIBSQL& Statement, const std::function<void()>& BeforeLast = {}) const;
  bool Empty() const { return FEntries.empty(); }

 private:
  struct TEntry {
    TField* Field;
    int Column;
    TSDSTransfer Code;
  };
  std::vector<TEntry> FEntries;
};

// A parameter takes the field's value by the field's type (null clears it);
// scaled numbers exactly.
void SetParamFromField(TIBSQLVar& Param, const TField& Field);
// The same for a value of the field read another way (its old value).
void SetParamFromValue(TIBSQLVar& Param, const TField& Field, const Variant& Value);

// Every field not required, writable and without change and validate
// events for the life of the scope, all put back however it ends.
class TSDSFieldsUnlocked {
 public:
  explicit TSDSFieldsUnlocked(TFields& Fields);
  ~TSDSFieldsUnlocked();
  TSDSFieldsUnlocked(const TSDSFieldsUnlocked&) = delete;
  TSDSFieldsUnlocked& operator=(const TSDSFieldsUnlocked&) = delete;

 private:
  struct TSaved {
    TField* Field;
    bool Required, ReadOnly;
    TFieldNotifyEvent OnChange, OnValidate;
  };
  std::vector<TSaved> FSaved;
};
