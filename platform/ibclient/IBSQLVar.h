// One parameter or output column of a statement: its description and its
// value in the client library's own layout, with typed getters and setters.
// NUMERIC and DECIMAL values stay scaled integers (ScaledValue and Scale)
// unless a caller asks for a double; dates are exact to the millisecond;
// blobs read and write whole through AsString. Numbers as text use a
// decimal point, as SQL writes them.
#pragma once

#include <ibase.h>

#include <optional>
#include <vector>

#include "rtl/Types.h"

class TIBSQL;

class TIBSQLVar {
 public:
  TIBSQLVar(TIBSQL* AStatement, XSQLVAR* AVar);
  TIBSQLVar(const TIBSQLVar&) = delete;
  TIBSQLVar& operator=(const TIBSQLVar&) = delete;

  // The output name (alias), the column's own name and its table's name.
  AnsiString Name() const;
  AnsiString SqlName() const;
  AnsiString RelName() const;
  // The type code without the null flag (SQL_TEXT, SQL_LONG...).
  short SQLType() const { return static_cast<short>(FVar->sqltype & ~1); }
  short SQLSubtype() const { return FVar->sqlsubtype; }
  short Scale() const { return FVar->sqlscale; }
  short Size() const { return FVar->sqllen; }
  bool IsNullable() const { return FVar->sqltype & 1; }

  bool IsNull() const { return (FVar->sqltype & 1) && FNullIndicator < 0; }
  AnsiString AsString() const;
  int32_t AsInteger() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  TDateTime AsDateTime() const;
  // The bytes of a text or blob value (the 8 bytes of RDB$DB_KEY).
  TBytes AsBytes() const;
  // An integer column's stored value; the value is ScaledValue * 10^Scale.
  int64_t ScaledValue() const;
  ISC_QUAD AsQuad() const;

  // Parameters. Each setter also sets the parameters of the same name.
  void Clear();  // null
  void SetAsString(const AnsiString& Value);
  void SetAsInteger(int32_t Value);
  void SetAsInt64(int64_t Value);
  void SetAsDouble(double Value);
  void SetAsCurrency(Currency Value);
  // Value * 10^Scale exactly.
  void SetScaled(int64_t Value, short AScale);
  void SetAsDateTime(TDateTime Value);
  void SetAsDate(TDateTime Value);
  void SetAsTime(TDateTime Value);
  void SetAsBytes(const TBytes& Value);

 private:
  friend class TIBSQL;
  void PrepareOutput();
  void PrepareInput();
  void LinkRepeat(TIBSQLVar* Other) { FRepeats.push_back(Other); }
  void Store(short Type, short AScale, short Subtype, const void* Data, size_t Length);
  void StoreOne(short Type, short AScale, short Subtype, const void* Data, size_t Length);
  // Writes a blob set through SetAsString before the statement runs.
  void StorePendingBlob(isc_db_handle* Database, isc_tr_handle* Transaction);
  const char* Data() const { return FVar->sqldata; }

  TIBSQL* FStatement;
  XSQLVAR* FVar;
  std::vector<char> FData;
  short FNullIndicator = 0;
  short FDescribedType = 0, FDescribedSubtype = 0;
  std::optional<AnsiString> FPendingBlob;
  std::vector<TIBSQLVar*> FRepeats;
};
