// Variant: Empty, Null, integers, floats, Currency, Date, Boolean, String,
// Error and one-dimensional arrays, with the platform's coercions and
// comparisons.
#pragma once

#include <memory>

#include "rtl/SysUtils.h"

using TVarType = uint16_t;
enum : TVarType {
  varEmpty = 0,
  varNull = 1,
  varSmallint = 2,
  varInteger = 3,
  varSingle = 4,
  varDouble = 5,
  varCurrency = 6,
  varDate = 7,
  varOleStr = 8,
  varDispatch = 9,
  varError = 10,
  varBoolean = 11,
  varVariant = 12,
  varUnknown = 13,
  varShortInt = 16,
  varByte = 17,
  varWord = 18,
  varLongWord = 19,
  varInt64 = 20,
  varString = 0x100,
  varTypeMask = 0x0FFF,
  varArray = 0x2000,
};

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(bool v) : type_(varBoolean), int_(v) {}
  Variant(signed char v) : type_(varShortInt), int_(v) {}
  Variant(unsigned char v) : type_(varByte), int_(v) {}
  Variant(short v) : type_(varSmallint), int_(v) {}
  Variant(unsigned short v) : type_(varWord), int_(v) {}
  Variant(int v) : type_(varInteger), int_(v) {}
  Variant(unsigned v) : type_(varLongWord), int_(v) {}
  Variant(long v) : type_(sizeof v == 8 ? varInt64 : varInteger), int_(v) {}
  Variant(unsigned long v) : type_(sizeof v == 8 ? varInt64 : varLongWord), int_(static_cast<int64_t>(v)) {}
  Variant(long long v) : type_(varInt64), int_(v) {}
  Variant(unsigned long long v) : type_(varInt64), int_(static_cast<int64_t>(v)) {}
  Variant(float v) : type_(varSingle), float_(v) {}
  Variant(double v) : type_(varDouble), float_(v) {}
  Variant(Currency v) : type_(varCurrency), int_(v.Scaled) {}
  Variant(const AnsiString& v) : type_(varString), str_(v) {}
  Variant(const char* v) : type_(varString), str_(v ? v : "") {}
  Variant(char v) : type_(varString), str_(1, v) {}

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant();

  static Variant Null();

  TVarType VarType() const { return type_; }
  bool IsNull() const { return type_ == varNull; }
  bool IsEmpty() const { return type_ == varEmpty; }
  bool IsArray() const { return (type_ & varArray) != 0; }

  // Coercions. Empty reads as 0 / "" / false; Null, arrays and text that is
  // no number raise EVariantTypeCastError; values out of range raise
  // EVariantOverflowError. Text is read with the global FormatSettings,
  // booleans count as -1 and 0, floats round half to even.
  int32_t AsInteger() const;
  int64_t AsInt64() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  bool AsBoolean() const;
  AnsiString AsString() const;
  TDateTime AsDateTime() const;

  // Array elements (EVariantBadIndexError outside the bounds).
  Variant& operator[](int index);
  const Variant& operator[](int index) const;

 private:
  friend Variant VarArrayCreate(int low, int high, TVarType elementType);
  friend Variant VarFromDateTime(TDateTime dt);
  friend Variant VarAsError(int32_t code);
  friend Variant VarAsType(const Variant& v, TVarType type);
  friend int VarArrayLowBound(const Variant& v, int dim);
  friend int VarArrayHighBound(const Variant& v, int dim);
  friend void VarArrayRedim(Variant& v, int highBound);
  struct Array;

  [[noreturn]] void CastError(TVarType to) const;
  double Number(TVarType to) const;
  const Array& CheckedArray() const;

  TVarType type_ = varEmpty;
  int64_t int_ = 0;  // integers, Boolean, Currency (scaled), Error
  double float_ = 0;  // Single, Double, Date
  AnsiString str_;
  std::shared_ptr<Array> array_;  // never shared: copies copy the array
};

TVarType VarType(const Variant& v);
bool VarIsNull(const Variant& v);
bool VarIsEmpty(const Variant& v);
bool VarIsClear(const Variant& v);
bool VarIsArray(const Variant& v);
Variant VarFromDateTime(TDateTime dt);
Variant VarAsError(int32_t code);
// "" for Null (and Empty); AsString otherwise.
AnsiString VarToStr(const Variant& v);
AnsiString VarToStrDef(const Variant& v, const AnsiString& def);  // def for Null
// The value converted to `type` (varEmpty, varNull, numbers, varDate,
// varBoolean, varString/varOleStr).
Variant VarAsType(const Variant& v, TVarType type);

// Arrays: one dimension, bounds low..high; elements of varVariant start Empty,
// typed ones at zero.
Variant VarArrayCreate(int low, int high, TVarType elementType);
Variant VarArrayOf(std::initializer_list<Variant> values);  // varVariant, from 0
int VarArrayDimCount(const Variant& v);  // 0 when not an array
int VarArrayLowBound(const Variant& v, int dim);
int VarArrayHighBound(const Variant& v, int dim);
// Changes the high bound, keeping the elements that remain.
void VarArrayRedim(Variant& v, int highBound);

// Comparison. Null equals only Null and is below every other value; Empty
// compares as 0 or ""; text against a number or date is read as one
// (EVariantTypeCastError when it is not); arrays cannot be compared.
bool operator==(const Variant& a, const Variant& b);
bool operator<(const Variant& a, const Variant& b);
inline bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }
inline bool operator>(const Variant& a, const Variant& b) { return b < a; }
inline bool operator<=(const Variant& a, const Variant& b) { return !(b < a); }
inline bool operator>=(const Variant& a, const Variant& b) { return !(a < b); }
// vrNotEqual when exactly one side is Null or Empty, or they are of
// different such kinds.
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b);

// Arithmetic: Null in, Null out; two strings concatenate with +; integers
// stay integers, Currency stays Currency, else Double; a Date moved by a
// number stays a Date; / always gives a Double (EZeroDivide on zero).
Variant operator+(const Variant& a, const Variant& b);
Variant operator-(const Variant& a, const Variant& b);
Variant operator*(const Variant& a, const Variant& b);
Variant operator/(const Variant& a, const Variant& b);
