#include "ibclient/IBSQLVar.h"

#include <cmath>
#include <cstring>

#include "ibclient/IBBlob.h"
#include "ibclient/IBDateTime.h"
#include "ibclient/IBError.h"
#include "ibclient/IBSQL.h"

namespace {

template <typename T>
T Read(const char* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

int64_t Power10(int n) {
  int64_t result = 1;
  while (n-- > 0) result *= 10;
  return result;
}

// Numbers as text take SQL's decimal point, whatever the locale says.
const TFormatSettings& SQLNumbers() {
  static const TFormatSettings settings = [] {
    TFormatSettings s;
    s.DecimalSeparator = '.';
    s.ThousandSeparator = ',';
    return s;
  }();
  return settings;
}

[[noreturn]] void BadConversion() { throw EIBClientError("Invalid type conversion"); }

// Exact decimal text of value * 10^scale, trailing zeros dropped.
AnsiString ScaledToStr(int64_t value, int scale) {
  if (scale >= 0) return IntToStr(value * Power10(scale));
  const bool negative = value < 0;
  // Digits of the magnitude without overflow at INT64_MIN.
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  AnsiString digits = std::to_string(magnitude);
  const size_t places = static_cast<size_t>(-scale);
  if (digits.size() <= places) digits.insert(0, places - digits.size() + 1, '0');
  AnsiString whole = digits.substr(0, digits.size() - places);
  AnsiString fraction = digits.substr(digits.size() - places);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  AnsiString text = (negative ? "-" : "") + whole;
  if (!fraction.empty()) text += '.' + fraction;
  return text;
}

// value * 10^scale as an integer, the fraction cut off.
int64_t Descale(int64_t value, int scale) {
  if (scale >= 0) return value * Power10(scale);
  return scale < -18 ? 0 : value / Power10(-scale);
}

enum class TValueKind { Integer, Float, Text, Other };

TValueKind KindOf(short type) {
  switch (type) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_BOOLEAN:
      return TValueKind::Integer;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      return TValueKind::Float;
    case SQL_TEXT:
    case SQL_VARYING:
      return TValueKind::Text;
    default:
      return TValueKind::Other;
  }
}

}  // namespace

TIBSQLVar::TIBSQLVar(TIBSQL* AStatement, XSQLVAR* AVar) : FStatement(AStatement), FVar(AVar) {}

AnsiString TIBSQLVar::Name() const { return AnsiString(FVar->aliasname, FVar->aliasname_length); }
AnsiString TIBSQLVar::SqlName() const { return AnsiString(FVar->sqlname, FVar->sqlname_length); }
AnsiString TIBSQLVar::RelName() const { return AnsiString(FVar->relname, FVar->relname_length); }

void TIBSQLVar::PrepareOutput() {
  size_t length = static_cast<size_t>(FVar->sqllen);
  if (SQLType() == SQL_VARYING) length += 2;
  FData.assign(length ? length : 1, 0);
  FVar->sqldata = FData.data();
  FVar->sqlind = &FNullIndicator;
}

void TIBSQLVar::PrepareInput() {
  FDescribedType = SQLType();
  FDescribedSubtype = FVar->sqlsubtype;
  FVar->sqltype |= 1;
  PrepareOutput();
  FNullIndicator = -1;
}

// ---- Getters -------------------------------------------------------------------

int64_t TIBSQLVar::ScaledValue() const {
  switch (SQLType()) {
    case SQL_SHORT:
      return Read<int16_t>(Data());
    case SQL_LONG:
      return Read<int32_t>(Data());
    case SQL_INT64:
      return Read<int64_t>(Data());
    case SQL_BOOLEAN:
      return Read<uint8_t>(Data()) ? 1 : 0;
    default:
      BadConversion();
  }
}

ISC_QUAD TIBSQLVar::AsQuad() const {
  if (IsNull()) return ISC_QUAD{};
  if (SQLType() != SQL_BLOB && SQLType() != SQL_ARRAY && SQLType() != SQL_QUAD) BadConversion();
  return Read<ISC_QUAD>(Data());
}

TBytes TIBSQLVar::AsBytes() const {
  const AnsiString text = AsString();
  return TBytes(text.begin(), text.end());
}

AnsiString TIBSQLVar::AsString() const {
  if (IsNull()) return {};
  switch (SQLType()) {
    case SQL_TEXT:
      return AnsiString(Data(), static_cast<size_t>(FVar->sqllen));
    case SQL_VARYING:
      return AnsiString(Data() + 2, Read<uint16_t>(Data()));
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_BOOLEAN:
      return ScaledToStr(ScaledValue(), Scale());
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      return FloatToStr(AsDouble(), SQLNumbers());
    case SQL_TYPE_DATE:
      return DateToStr(AsDateTime());
    case SQL_TYPE_TIME:
      return TimeToStr(AsDateTime());
    case SQL_TIMESTAMP:
      return DateTimeToStr(AsDateTime());
    case SQL_BLOB: {
      TIBBlobStream stream(FStatement->DatabaseHandle(), FStatement->TransactionHandle());
      stream.Load(AsQuad());
      return AnsiString(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
    }
    default:
      BadConversion();
  }
}

int64_t TIBSQLVar::AsInt64() const {
  if (IsNull()) return 0;
  switch (KindOf(SQLType())) {
    case TValueKind::Integer:
      return Descale(ScaledValue(), Scale());
    case TValueKind::Float:
      return std::llround(AsDouble());
    case TValueKind::Text:
      return StrToInt64(Trim(AsString()));
    default:
      BadConversion();
  }
}

int32_t TIBSQLVar::AsInteger() const {
  const int64_t value = AsInt64();
  if (value < INT32_MIN || value > INT32_MAX) throw EIBClientError("Integer overflow");
  return static_cast<int32_t>(value);
}

double TIBSQLVar::AsDouble() const {
  if (IsNull()) return 0;
  switch (KindOf(SQLType())) {
    case TValueKind::Integer:
      return static_cast<double>(ScaledValue()) / std::pow(10.0, -Scale());
    case TValueKind::Float:
      return SQLType() == SQL_FLOAT ? Read<float>(Data()) : Read<double>(Data());
    case TValueKind::Text:
      return StrToFloat(Trim(AsString()), SQLNumbers());
    default:
      return AsDateTime();
  }
}

Currency TIBSQLVar::AsCurrency() const {
  if (IsNull()) return Currency();
  switch (KindOf(SQLType())) {
    case TValueKind::Integer: {
      const int64_t value = ScaledValue();
      const int shift = 4 + Scale();
      if (shift >= 0) {
        const int64_t factor = Power10(shift);
        if (value > INT64_MAX / factor || value < INT64_MIN / factor) throw EOverflow("Currency overflow");
        return Currency::FromScaled(value * factor);
      }
      if (shift < -18) return Currency();
      // Half away from zero, like the server's own rounding.
      const int64_t divisor = Power10(-shift);
      int64_t result = value / divisor;
      const int64_t rest = value % divisor;
      if (rest * 2 >= divisor) ++result;
      if (rest * 2 <= -divisor) --result;
      return Currency::FromScaled(result);
    }
    case TValueKind::Text:
      return StrToCurr(Trim(AsString()), SQLNumbers());
    default:
      return Currency(AsDouble());
  }
}

TDateTime TIBSQLVar::AsDateTime() const {
  if (IsNull()) return 0;
  switch (SQLType()) {
    case SQL_TYPE_DATE:
      return JoinDateTime(Read<ISC_DATE>(Data()), 0);
    case SQL_TYPE_TIME:
      return static_cast<double>(Read<ISC_TIME>(Data()) / 10) / 86400000.0;
    case SQL_TIMESTAMP: {
      const auto stamp = Read<ISC_TIMESTAMP>(Data());
      return JoinDateTime(stamp.timestamp_date, stamp.timestamp_time);
    }
    case SQL_TEXT:
    case SQL_VARYING:
      return StrToDateTime(Trim(AsString()));
    default:
      BadConversion();
  }
}

// ---- Setters -------------------------------------------------------------------

void TIBSQLVar::StoreOne(short Type, short AScale, short Subtype, const void* Value, size_t Length) {
  FVar->sqltype = static_cast<short>(Type | 1);
  FVar->sqlscale = AScale;
  FVar->sqlsubtype = Subtype;
  FVar->sqllen = static_cast<short>(Length);
  const char* bytes = static_cast<const char*>(Value);
  FData.assign(bytes, bytes + Length);
  if (FData.empty()) FData.push_back(0);
  FVar->sqldata = FData.data();
  FNullIndicator = 0;
  FPendingBlob.reset();
}

void TIBSQLVar::Store(short Type, short AScale, short Subtype, const void* Value, size_t Length) {
  StoreOne(Type, AScale, Subtype, Value, Length);
  for (TIBSQLVar* repeat : FRepeats) repeat->StoreOne(Type, AScale, Subtype, Value, Length);
}

void TIBSQLVar::Clear() {
  for (TIBSQLVar* var : FRepeats) var->FNullIndicator = -1;
  FNullIndicator = -1;
}

void TIBSQLVar::SetAsString(const AnsiString& Value) {
  if (FDescribedType == SQL_BLOB) {
    const ISC_QUAD none{};
    Store(SQL_BLOB, 0, FDescribedSubtype, &none, sizeof none);
    FPendingBlob = Value;
    for (TIBSQLVar* repeat : FRepeats) repeat->FPendingBlob = Value;
    return;
  }
  if (Value.size() > 32765) throw EIBClientError("String too long for a parameter");
  // Text keeps the character set the server described, so bytes of a
  // binary column stay bytes.
  const bool text = FDescribedType == SQL_TEXT || FDescribedType == SQL_VARYING;
  Store(SQL_TEXT, 0, text ? FDescribedSubtype : 0, Value.data(), Value.size());
}

void TIBSQLVar::SetAsBytes(const TBytes& Value) {
  SetAsString(AnsiString(Value.begin(), Value.end()));
}

void TIBSQLVar::SetAsInteger(int32_t Value) { Store(SQL_LONG, 0, 0, &Value, sizeof Value); }
void TIBSQLVar::SetAsInt64(int64_t Value) { Store(SQL_INT64, 0, 0, &Value, sizeof Value); }
void TIBSQLVar::SetAsDouble(double Value) { Store(SQL_DOUBLE, 0, 0, &Value, sizeof Value); }
void TIBSQLVar::SetAsCurrency(Currency Value) { SetScaled(Value.Scaled, -4); }
void TIBSQLVar::SetScaled(int64_t Value, short AScale) {
  Store(SQL_INT64, AScale, 0, &Value, sizeof Value);
}

void TIBSQLVar::SetAsDateTime(TDateTime Value) {
  const TIBDateTimeParts parts = SplitDateTime(Value);
  const ISC_TIMESTAMP stamp{parts.Date, parts.Time};
  Store(SQL_TIMESTAMP, 0, 0, &stamp, sizeof stamp);
}

void TIBSQLVar::SetAsDate(TDateTime Value) {
  const ISC_DATE date = SplitDateTime(Value).Date;
  Store(SQL_TYPE_DATE, 0, 0, &date, sizeof date);
}

void TIBSQLVar::SetAsTime(TDateTime Value) {
  const ISC_TIME time = SplitDateTime(Value).Time;
  Store(SQL_TYPE_TIME, 0, 0, &time, sizeof time);
}

void TIBSQLVar::StorePendingBlob(isc_db_handle* Database, isc_tr_handle* Transaction) {
  if (!FPendingBlob || FNullIndicator < 0) return;
  TIBBlobStream stream(Database, Transaction);
  stream.Write(FPendingBlob->data(), static_cast<int32_t>(FPendingBlob->size()));
  const ISC_QUAD id = stream.Store();
  std::memcpy(FData.data(), &id, sizeof id);
}
