#include "rtl/Variants.h"

#include <cmath>
#include <limits>
#include <vector>

struct Variant::Array {
  int low = 0;
  TVarType elementType = varVariant;
  std::vector<Variant> items;
};

namespace {

const char* TypeName(TVarType type) {
  if (type & varArray) return "Array";
  switch (type) {
    case varEmpty: return "Empty";
    case varNull: return "Null";
    case varSmallint: return "Smallint";
    case varInteger: return "Integer";
    case varSingle: return "Single";
    case varDouble: return "Double";
    case varCurrency: return "Currency";
    case varDate: return "Date";
    case varOleStr: return "OleStr";
    case varError: return "Error";
    case varBoolean: return "Boolean";
    case varShortInt: return "ShortInt";
    case varByte: return "Byte";
    case varWord: return "Word";
    case varLongWord: return "LongWord";
    case varInt64: return "Int64";
    case varString: return "String";
    default: return "Unknown";
  }
}

bool IsInteger(TVarType t) {
  switch (t) {
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64:
      return true;
    default:
      return false;
  }
}

bool IsFloat(TVarType t) { return t == varSingle || t == varDouble || t == varDate; }
bool IsText(TVarType t) { return t == varString || t == varOleStr; }

// Range of each integer type, for the overflow checks of conversions.
bool FitsIn(TVarType t, int64_t v) {
  switch (t) {
    case varShortInt: return v >= INT8_MIN && v <= INT8_MAX;
    case varByte: return v >= 0 && v <= UINT8_MAX;
    case varSmallint: return v >= INT16_MIN && v <= INT16_MAX;
    case varWord: return v >= 0 && v <= UINT16_MAX;
    case varInteger: return v >= INT32_MIN && v <= INT32_MAX;
    case varLongWord: return v >= 0 && v <= UINT32_MAX;
    default: return true;
  }
}

[[noreturn]] void Overflow(TVarType from, TVarType to) {
  throw EVariantOverflowError(Format("Переполнение при преобразовании варианта типа (%s) в тип (%s)",
                                     {TypeName(from), TypeName(to)}));
}

int Sign(double d) { return (d > 0) - (d < 0); }
template <typename T>
int Cmp(T a, T b) {
  return (a > b) - (a < b);
}

}  // namespace

// ---- Construction --------------------------------------------------------------

Variant::Variant(const Variant& other)
    : type_(other.type_), int_(other.int_), float_(other.float_), str_(other.str_),
      array_(other.array_ ? std::make_shared<Array>(*other.array_) : nullptr) {}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant::Variant(Variant&& other) noexcept = default;
Variant& Variant::operator=(Variant&& other) noexcept = default;
Variant::~Variant() = default;

Variant Variant::Null() {
  Variant v;
  v.type_ = varNull;
  return v;
}

Variant VarFromDateTime(TDateTime dt) {
  Variant v(dt);
  v.type_ = varDate;
  return v;
}

Variant VarAsError(int32_t code) {
  Variant v;
  v.type_ = varError;
  v.int_ = code;
  return v;
}

// ---- Coercions -----------------------------------------------------------------

void Variant::CastError(TVarType to) const {
  throw EVariantTypeCastError(Format("Невозможно преобразовать вариант типа (%s) в тип (%s)",
                                     {TypeName(type_), TypeName(to)}));
}

// The value as a number, for any type that has one.
double Variant::Number(TVarType to) const {
  if (type_ == varEmpty) return 0;
  if (type_ == varBoolean) return int_ ? -1 : 0;
  if (IsInteger(type_)) return static_cast<double>(int_);
  if (IsFloat(type_)) return float_;
  if (type_ == varCurrency) return static_cast<double>(int_) / 10000.0;
  if (IsText(type_)) {
    double d;
    if (TryStrToFloat(str_, d)) return d;
    if (SameText(Trim(str_), "True")) return -1;
    if (SameText(Trim(str_), "False")) return 0;
  }
  CastError(to);
}

int64_t Variant::AsInt64() const {
  if (IsInteger(type_) || type_ == varEmpty) return int_;
  if (type_ == varBoolean) return int_ ? -1 : 0;
  if (type_ == varCurrency) return std::llrint(static_cast<double>(int_) / 10000.0);
  if (IsText(type_)) {
    int64_t v;
    if (TryStrToInt64(str_, v)) return v;
  }
  double d = std::nearbyint(Number(varInt64));
  if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) Overflow(type_, varInt64);
  return static_cast<int64_t>(d);
}

int32_t Variant::AsInteger() const {
  int64_t v = AsInt64();
  if (!FitsIn(varInteger, v)) Overflow(type_, varInteger);
  return static_cast<int32_t>(v);
}

double Variant::AsDouble() const { return Number(varDouble); }

Currency Variant::AsCurrency() const {
  if (type_ == varCurrency) return Currency::FromScaled(int_);
  if (IsText(type_)) {
    Currency c;
    if (TryStrToCurr(str_, c, FormatSettings)) return c;
  }
  if (IsInteger(type_) && (int_ > 922337203685477 || int_ < -922337203685477))
    Overflow(type_, varCurrency);
  try {
    return Currency(Number(varCurrency));
  } catch (const EOverflow&) {
    Overflow(type_, varCurrency);
  }
}

bool Variant::AsBoolean() const {
  if (type_ == varBoolean) return int_ != 0;
  return Number(varBoolean) != 0;
}

AnsiString Variant::AsString() const {
  if (IsText(type_)) return str_;
  if (type_ == varEmpty) return AnsiString();
  if (type_ == varBoolean) return int_ ? "True" : "False";
  if (IsInteger(type_)) return IntToStr(int_);
  if (type_ == varCurrency) return CurrToStr(Currency::FromScaled(int_));
  if (type_ == varDate) return DateTimeToStr(float_);
  if (IsFloat(type_)) return FloatToStr(float_);
  CastError(varString);
}

TDateTime Variant::AsDateTime() const {
  if (IsText(type_)) {
    TDateTime dt;
    if (TryStrToDateTime(str_, dt, FormatSettings) || TryStrToTime(str_, dt, FormatSettings))
      return dt;
  }
  return Number(varDate);
}

// ---- Arrays --------------------------------------------------------------------

const Variant::Array& Variant::CheckedArray() const {
  if (!array_) throw EVariantInvalidArgError("Вариант не является массивом");
  return *array_;
}

Variant& Variant::operator[](int index) {
  return const_cast<Variant&>(static_cast<const Variant&>(*this)[index]);
}

const Variant& Variant::operator[](int index) const {
  const Array& a = CheckedArray();
  if (index < a.low || index - a.low >= static_cast<int>(a.items.size()))
    throw EVariantBadIndexError(Format("Индекс массива вариантов вне границ (%d)", {index}));
  return a.items[index - a.low];
}

Variant VarArrayCreate(int low, int high, TVarType elementType) {
  if (high < low - 1) throw EVariantInvalidArgError("Неверные границы массива вариантов");
  Variant v;
  v.type_ = static_cast<TVarType>(varArray | elementType);
  v.array_ = std::make_shared<Variant::Array>();
  v.array_->low = low;
  v.array_->elementType = elementType;
  Variant element = elementType == varVariant ? Variant() : VarAsType(Variant(0), elementType);
  v.array_->items.assign(static_cast<size_t>(high - low + 1), element);
  return v;
}

Variant VarArrayOf(std::initializer_list<Variant> values) {
  Variant v = VarArrayCreate(0, static_cast<int>(values.size()) - 1, varVariant);
  int i = 0;
  for (const Variant& value : values) v[i++] = value;
  return v;
}

int VarArrayDimCount(const Variant& v) { return v.IsArray() ? 1 : 0; }

int VarArrayLowBound(const Variant& v, int dim) {
  if (dim != 1) throw EVariantInvalidArgError("Неверная размерность массива вариантов");
  return v.CheckedArray().low;
}

int VarArrayHighBound(const Variant& v, int dim) {
  if (dim != 1) throw EVariantInvalidArgError("Неверная размерность массива вариантов");
  const auto& a = v.CheckedArray();
  return a.low + static_cast<int>(a.items.size()) - 1;
}

void VarArrayRedim(Variant& v, int highBound) {
  v.CheckedArray();
  Variant::Array& a = *v.array_;
  if (highBound < a.low - 1) throw EVariantInvalidArgError("Неверные границы массива вариантов");
  Variant element = a.elementType == varVariant ? Variant() : VarAsType(Variant(0), a.elementType);
  a.items.resize(static_cast<size_t>(highBound - a.low + 1), element);
}

// ---- Free functions ------------------------------------------------------------

TVarType VarType(const Variant& v) { return v.VarType(); }
bool VarIsNull(const Variant& v) { return v.IsNull(); }
bool VarIsEmpty(const Variant& v) { return v.IsEmpty(); }
bool VarIsClear(const Variant& v) { return v.IsEmpty(); }
bool VarIsArray(const Variant& v) { return v.IsArray(); }

AnsiString VarToStr(const Variant& v) { return v.IsNull() ? AnsiString() : v.AsString(); }

AnsiString VarToStrDef(const Variant& v, const AnsiString& def) {
  return v.IsNull() ? def : v.AsString();
}

Variant VarAsType(const Variant& v, TVarType type) {
  if (v.VarType() == type) return v;
  Variant r;
  switch (type) {
    case varEmpty:
      return r;
    case varNull:
      return Variant::Null();
    case varSingle:
    case varDouble:
    case varDate:
      r = Variant(type == varDate ? v.AsDateTime() : v.AsDouble());
      if (type == varSingle) r.float_ = static_cast<float>(r.float_);
      break;
    case varCurrency:
      return Variant(v.AsCurrency());
    case varBoolean:
      return Variant(v.AsBoolean());
    case varString:
    case varOleStr:
      r = Variant(v.AsString());
      break;
    case varInt64:
      return Variant(static_cast<long long>(v.AsInt64()));
    default:
      if (!IsInteger(type)) throw EVariantInvalidArgError(Format("Неверный тип варианта (%d)", {type}));
      r = Variant(static_cast<long long>(v.AsInt64()));
      if (!FitsIn(type, r.int_)) Overflow(v.VarType(), type);
      break;
  }
  r.type_ = type;
  return r;
}

// ---- Comparison ----------------------------------------------------------------

namespace {

bool IsNullOrEmpty(const Variant& v) { return v.IsNull() || v.IsEmpty(); }

// Both sides neither Null nor arrays.
int CompareValues(const Variant& a, const Variant& b) {
  if (a.IsArray() || b.IsArray())
    throw EVariantInvalidOpError("Операция над массивом вариантов недопустима");
  const TVarType ta = a.VarType(), tb = b.VarType();
  const bool textA = IsText(ta) || ta == varEmpty, textB = IsText(tb) || tb == varEmpty;
  if (textA && textB) return AnsiCompareStr(a.AsString(), b.AsString());
  if (ta == varBoolean && tb == varBoolean) return Cmp(a.AsBoolean(), b.AsBoolean());
  if ((IsInteger(ta) || ta == varBoolean || ta == varEmpty) &&
      (IsInteger(tb) || tb == varBoolean || tb == varEmpty))
    return Cmp(a.AsInt64(), b.AsInt64());
  if (ta == varCurrency && tb == varCurrency) return Cmp(a.AsCurrency(), b.AsCurrency());
  if (ta == varDate || tb == varDate) return Sign(a.AsDateTime() - b.AsDateTime());
  return Sign(a.AsDouble() - b.AsDouble());
}

}  // namespace

bool operator==(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
  return CompareValues(a, b) == 0;
}

bool operator<(const Variant& a, const Variant& b) {
  if (b.IsNull()) return false;
  if (a.IsNull()) return true;
  return CompareValues(a, b) < 0;
}

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b) {
  if (IsNullOrEmpty(a) || IsNullOrEmpty(b)) return a.VarType() == b.VarType() ? vrEqual : vrNotEqual;
  int c = CompareValues(a, b);
  return c == 0 ? vrEqual : c < 0 ? vrLessThan : vrGreaterThan;
}

// ---- Arithmetic ----------------------------------------------------------------

namespace {

enum class Op { Add, Sub, Mul };

Variant Integer(int64_t v) {
  return FitsIn(varInteger, v) ? Variant(static_cast<int>(v)) : Variant(static_cast<long long>(v));
}

Variant Arithmetic(const Variant& a, const Variant& b, Op op) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (a.IsArray() || b.IsArray())
    throw EVariantInvalidOpError("Операция над массивом вариантов недопустима");
  const TVarType ta = a.VarType(), tb = b.VarType();
  if (op == Op::Add && IsText(ta) && IsText(tb)) return Variant(a.AsString() + b.AsString());
  auto integral = [](TVarType t) { return IsInteger(t) || t == varBoolean || t == varEmpty; };
  if (integral(ta) && integral(tb)) {
    int64_t x = a.AsInt64(), y = b.AsInt64(), r;
    bool overflow = op == Op::Add   ? __builtin_add_overflow(x, y, &r)
                    : op == Op::Sub ? __builtin_sub_overflow(x, y, &r)
                                    : __builtin_mul_overflow(x, y, &r);
    if (!overflow) return Integer(r);
  } else if ((ta == varCurrency || tb == varCurrency) && !IsFloat(ta) && !IsFloat(tb) &&
             !IsText(ta) && !IsText(tb)) {
    Currency x = a.AsCurrency(), y = b.AsCurrency();
    if (op == Op::Add) return Variant(x + y);
    if (op == Op::Sub) return Variant(x - y);
    return Variant(Currency(x.ToDouble() * y.ToDouble()));
  }
  double x = a.AsDouble(), y = b.AsDouble();
  double r = op == Op::Add ? x + y : op == Op::Sub ? x - y : x * y;
  // A date moved by a number stays a date; the distance of two dates is a number.
  if (op != Op::Mul && (ta == varDate) != (tb == varDate)) return VarFromDateTime(r);
  return Variant(r);
}

}  // namespace

Variant operator+(const Variant& a, const Variant& b) { return Arithmetic(a, b, Op::Add); }
Variant operator-(const Variant& a, const Variant& b) { return Arithmetic(a, b, Op::Sub); }
Variant operator*(const Variant& a, const Variant& b) { return Arithmetic(a, b, Op::Mul); }

Variant operator/(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  double y = b.AsDouble();
  if (y == 0) throw EZeroDivide("Деление на ноль");
  return Variant(a.AsDouble() / y);
}
