#include "db/Fields.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "db/DBConsts.h"
#include "db/DataSet.h"

namespace {

// Native dates count days from 0001-01-01 (day 1); TDateTime counts from
// 1899-12-30, which is native day DateDelta.
constexpr int32_t DateDelta = 693594;
constexpr int64_t MSecsPerDay = 86400000;

// The calendar day (native) and the milliseconds of a date-time, rounded to
// the millisecond; a time that rounds up to midnight moves to the next day.
void ToTimeStamp(TDateTime value, int32_t& date, int32_t& time) {
  double whole = std::trunc(value);
  int64_t ms = std::llround(std::fabs(value - whole) * static_cast<double>(MSecsPerDay));
  date = static_cast<int32_t>(whole) + DateDelta;
  if (ms >= MSecsPerDay) {
    ms -= MSecsPerDay;
    ++date;
  }
  time = static_cast<int32_t>(ms);
}

// 9999-12-31 as a native day.
constexpr int32_t MaxNativeDate = 3652059;

TDateTime FromTimeStamp(int32_t date, int64_t time) {
  return ComposeDateTime(static_cast<double>(date - DateDelta),
                         static_cast<double>(time) / static_cast<double>(MSecsPerDay));
}

template <class T>
TField* MakeField(TComponent* AOwner) {
  return new T(AOwner);
}

}  // namespace

// ---- TField ------------------------------------------------------------------

TField::TField(TComponent* AOwner) : TComponent(AOwner) { FValidChars.set(); }

TField::~TField() {
  if (FParentField) std::erase(FParentField->FChildFields, this);
  if (FDataSet) {
    if (FDataSet->Active()) FDataSet->Close();
    FDataSet->FFields->Remove(this);
  }
}

void TField::SetDataSet(TDataSet* Value) {
  if (Value == FDataSet) return;
  if (FDataSet) FDataSet->CheckInactive();
  if (Value) {
    Value->CheckInactive();
    Value->FFields->CheckFieldName(FFieldName);
  }
  if (FDataSet) FDataSet->FFields->Remove(this);
  if (Value) Value->FFields->Add(this);
}

void TField::SetFieldName(const AnsiString& Value) {
  if (FDataSet && !AnsiSameText(Value, FFieldName)) FDataSet->FFields->CheckFieldName(Value);
  FFieldName = Value;
}

int TField::Index() const { return FDataSet ? FDataSet->FFields->IndexOf(this) : -1; }

void TField::SetIndex(int Value) {
  if (!FDataSet) return;
  FDataSet->FFields->SetFieldIndex(this, Value);
  PropertyChanged(true);
}

void TField::SetFieldKind(TFieldKind Value) {
  if (Value == FFieldKind) return;
  CheckInactive();
  FFieldKind = Value;
}

void TField::SetSize(int Value) {
  CheckInactive();
  FSize = Value;
}

bool TField::IsIndexField() const {
  return FDataSet && FDataSet->GetIsIndexField(const_cast<TField*>(this));
}

void TField::SetDisplayLabel(const AnsiString& Value) {
  FDisplayLabel = Value == FFieldName ? AnsiString() : Value;
  PropertyChanged(true);
}

void TField::SetDisplayWidth(int Value) {
  FDisplayWidth = Value;
  PropertyChanged(true);
}

void TField::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  PropertyChanged(false);
}

void TField::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  PropertyChanged(true);
}

void TField::SetEditMask(const AnsiString& Value) {
  FEditMask = Value;
  PropertyChanged(false);
}

void TField::SetReadOnly(bool Value) {
  if (Value == FReadOnly) return;
  FReadOnly = Value;
  PropertyChanged(false);
}

bool TField::CanModify() const {
  if (!FDataSet || FFieldNo <= 0) return false;
  if (FDataSet->State() == dsSetKey) return IsIndexField();
  return !FReadOnly && FDataSet->CanModify();
}

AnsiString TField::AsString() const { AccessError("String"); }
void TField::SetAsString(const AnsiString&) { AccessError("String"); }
int32_t TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int32_t) { AccessError("Integer"); }
double TField::AsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
Currency TField::AsCurrency() const { return Currency(AsFloat()); }
void TField::SetAsCurrency(Currency Value) { SetAsFloat(Value.ToDouble()); }
bool TField::AsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }
TDateTime TField::AsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError("DateTime"); }
Variant TField::Value() const { AccessError("Variant"); }
void TField::SetVarValue(const Variant&) { AccessError("Variant"); }

void TField::SetValue(const Variant& Value) {
  if (VarIsNull(Value) || VarIsEmpty(Value))
    Clear();
  else
    SetVarValue(Value);
}

Variant TField::OldValue() const {
  return FDataSet->GetStateFieldValue(dsOldValue, const_cast<TField*>(this));
}

Variant TField::NewValue() const {
  return FDataSet->GetStateFieldValue(dsNewValue, const_cast<TField*>(this));
}

void TField::SetNewValue(const Variant& Value) {
  FDataSet->SetStateFieldValue(dsNewValue, this, Value);
}

void TField::GetText(AnsiString& Text, bool) const { Text = AsString(); }

AnsiString TField::Text() const {
  AnsiString text;
  if (OnGetText)
    OnGetText(const_cast<TField*>(this), text, false);
  else
    GetText(text, false);
  return text;
}

void TField::SetText(const AnsiString& Value) {
  if (OnSetText)
    OnSetText(this, Value);
  else
    SetFieldText(Value);
}

AnsiString TField::DisplayText() const {
  AnsiString text;
  if (OnGetText)
    OnGetText(const_cast<TField*>(this), text, true);
  else
    GetText(text, true);
  return text;
}

void TField::FocusControl() {
  if (!FDataSet || !FDataSet->Active()) return;
  TField* field = this;
  FDataSet->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(&field));
}

bool TField::GetData(void* Buffer) const {
  if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  if (FValidating) {
    if (FValueBuffer && Buffer) std::memcpy(Buffer, FValueBuffer, static_cast<size_t>(DataSize()));
    return FValueBuffer != nullptr;
  }
  return FDataSet->GetFieldData(const_cast<TField*>(this), Buffer);
}

void TField::SetData(const void* Buffer) {
  if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {DisplayName()});
  FDataSet->SetFieldData(this, Buffer);
}

void TField::Validate(const void* Buffer) {
  if (!OnValidate) return;
  FValueBuffer = Buffer;
  FValidating = true;
  try {
    OnValidate(this);
  } catch (...) {
    FValidating = false;
    FValueBuffer = nullptr;
    throw;
  }
  FValidating = false;
  FValueBuffer = nullptr;
}

void TField::SetLookupDataSet(TDataSet* Value) {
  if (Value == FLookupDataSet) return;
  CheckInactive();
  if (FLookupDataSet) FLookupDataSet->RemoveFreeNotification(this);
  FLookupDataSet = Value;
  if (FLookupDataSet) FLookupDataSet->FreeNotification(this);
}

void TField::SetLookupKeyFields(const AnsiString& Value) {
  CheckInactive();
  FLookupKeyFields = Value;
}

void TField::SetLookupResultField(const AnsiString& Value) {
  CheckInactive();
  FLookupResultField = Value;
}

void TField::SetKeyFields(const AnsiString& Value) {
  CheckInactive();
  FKeyFields = Value;
}

void TField::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FLookupDataSet) FLookupDataSet = nullptr;
}

void TField::Bind(bool Binding) {
  if (!Binding || FFieldKind != fkLookup) return;
  if (!FLookupDataSet || FLookupKeyFields.empty() || FLookupResultField.empty() ||
      FKeyFields.empty())
    DatabaseErrorFmt(SLookupInfoError, {DisplayName()}, FDataSet);
  std::vector<TField*> fields;
  FDataSet->GetFieldList(fields, FKeyFields);
  if (FLookupDataSet != FDataSet) FLookupDataSet->Open();
  FLookupDataSet->GetFieldList(fields, FLookupKeyFields);
  FLookupDataSet->FieldByName(FLookupResultField);
}

void TField::CalcLookupValue() {
  if (FLookupDataSet && FLookupDataSet->Active())
    SetValue(FLookupDataSet->Lookup(FLookupKeyFields, FDataSet->FieldValues(FKeyFields),
                                    FLookupResultField));
}

void TField::PropertyChanged(bool LayoutAffected) {
  if (FDataSet && FDataSet->Active())
    FDataSet->DataEvent(LayoutAffected ? deLayoutChange : deDataSetChange, 0);
}

void TField::CheckInactive() const {
  if (FDataSet) FDataSet->CheckInactive();
}

void TField::AccessError(const char* TypeName) const {
  DatabaseErrorFmt(SFieldAccessError, {DisplayName(), TypeName});
}

void TField::RangeError(const AnsiString& Value, const AnsiString& Min,
                        const AnsiString& Max) const {
  DatabaseErrorFmt(SFieldRangeError, {Value, DisplayName(), Min, Max});
}

void TField::Change() {
  if (OnChange) OnChange(this);
}

// ---- TStringField --------------------------------------------------------------

TStringField::TStringField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftString);
  SetSize(20);
}

void TStringField::SetFixedChar(bool Value) {
  CheckInactive();
  SetDataType(Value ? ftFixedChar : ftString);
}

AnsiString TStringField::AsString() const {
  std::vector<char> buffer(static_cast<size_t>(DataSize()), '\0');
  if (!GetData(buffer.data())) return AnsiString();
  return AnsiString(buffer.data(), strnlen(buffer.data(), static_cast<size_t>(Size())));
}

void TStringField::SetAsString(const AnsiString& Value) {
  std::vector<char> buffer(static_cast<size_t>(DataSize()), '\0');
  std::memcpy(buffer.data(), Value.data(), std::min(Value.size(), static_cast<size_t>(Size())));
  SetData(buffer.data());
}

int32_t TStringField::AsInteger() const { return StrToInt(AsString()); }
void TStringField::SetAsInteger(int32_t Value) { SetAsString(IntToStr(Value)); }
double TStringField::AsFloat() const { return StrToFloat(AsString()); }
void TStringField::SetAsFloat(double Value) { SetAsString(FloatToStr(Value)); }

bool TStringField::AsBoolean() const {
  AnsiString s = AsString();
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

void TStringField::SetAsBoolean(bool Value) { SetAsString(Value ? "T" : "F"); }
TDateTime TStringField::AsDateTime() const { return StrToDateTime(AsString()); }
void TStringField::SetAsDateTime(TDateTime Value) { SetAsString(DateTimeToStr(Value)); }

Variant TStringField::Value() const {
  if (IsNull()) return Variant::Null();
  return Variant(AsString());
}

void TStringField::SetVarValue(const Variant& Value) { SetAsString(VarToStr(Value)); }

TGuidField::TGuidField(TComponent* AOwner) : TStringField(AOwner) {
  SetDataType(ftGuid);
  SetSize(38);
}

// ---- Numbers ---------------------------------------------------------------------

TNumericField::TNumericField(TComponent* AOwner) : TField(AOwner) {
  SetAlignment(taRightJustify);
  ValidChars().reset();
  for (char c : AnsiString("+-0123456789")) ValidChars().set(static_cast<uint8_t>(c));
}

void TNumericField::SetDisplayFormat(const AnsiString& Value) {
  FDisplayFormat = Value;
  PropertyChanged(false);
}

void TNumericField::SetEditFormat(const AnsiString& Value) {
  FEditFormat = Value;
  PropertyChanged(false);
}

const AnsiString& TNumericField::TextFormat(bool DisplayText) const {
  return DisplayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
}

TIntegerField::TIntegerField(TComponent* AOwner)
    : TIntegerField(AOwner, ftInteger, std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max()) {}

TIntegerField::TIntegerField(TComponent* AOwner, TFieldType Type, int32_t MinRange,
                             int32_t MaxRange)
    : TNumericField(AOwner), FMinRange(MinRange), FMaxRange(MaxRange) {
  SetDataType(Type);
}

int TIntegerField::DataSize() const {
  return DataType() == ftSmallint || DataType() == ftWord ? 2 : 4;
}

bool TIntegerField::GetValue(int32_t& Value) const {
  switch (DataType()) {
    case ftSmallint: {
      int16_t v = 0;
      if (!GetData(&v)) return false;
      Value = v;
      return true;
    }
    case ftWord: {
      uint16_t v = 0;
      if (!GetData(&v)) return false;
      Value = v;
      return true;
    }
    default:
      return GetData(&Value);
  }
}

AnsiString TIntegerField::AsString() const {
  int32_t v = 0;
  return GetValue(v) ? IntToStr(v) : AnsiString();
}

void TIntegerField::SetAsString(const AnsiString& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  int32_t v = 0;
  if (!TryStrToInt(Value, v)) DatabaseErrorFmt(SInvalidIntegerValue, {Value, DisplayName()});
  SetAsInteger(v);
}

int32_t TIntegerField::AsInteger() const {
  int32_t v = 0;
  return GetValue(v) ? v : 0;
}

void TIntegerField::SetAsInteger(int32_t Value) {
  bool own = FMinValue != 0 || FMaxValue != 0;
  int32_t min = own ? FMinValue : FMinRange, max = own ? FMaxValue : FMaxRange;
  if (Value < min || Value > max) RangeError(IntToStr(Value), IntToStr(min), IntToStr(max));
  switch (DataType()) {
    case ftSmallint: {
      int16_t v = static_cast<int16_t>(Value);
      SetData(&v);
      break;
    }
    case ftWord: {
      uint16_t v = static_cast<uint16_t>(Value);
      SetData(&v);
      break;
    }
    default:
      SetData(&Value);
  }
}

double TIntegerField::AsFloat() const { return AsInteger(); }

void TIntegerField::SetAsFloat(double Value) {
  double r = std::nearbyint(Value);
  if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
    RangeError(FloatToStr(Value), IntToStr(FMinRange), IntToStr(FMaxRange));
  SetAsInteger(static_cast<int32_t>(r));
}

Variant TIntegerField::Value() const {
  int32_t v = 0;
  return GetValue(v) ? Variant(v) : Variant::Null();
}

void TIntegerField::SetVarValue(const Variant& Value) { SetAsInteger(Value.AsInteger()); }

void TIntegerField::GetText(AnsiString& Text, bool DisplayText) const {
  int32_t v = 0;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  const AnsiString& format = TextFormat(DisplayText);
  Text = format.empty() ? IntToStr(v) : FormatFloat(format, v);
}

TSmallintField::TSmallintField(TComponent* AOwner)
    : TIntegerField(AOwner, ftSmallint, -32768, 32767) {}

TWordField::TWordField(TComponent* AOwner) : TIntegerField(AOwner, ftWord, 0, 65535) {}

TAutoIncField::TAutoIncField(TComponent* AOwner)
    : TIntegerField(AOwner, ftAutoInc, std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max()) {}

TLargeintField::TLargeintField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftLargeint);
}

int64_t TLargeintField::AsLargeInt() const {
  int64_t v = 0;
  return GetData(&v) ? v : 0;
}

void TLargeintField::SetAsLargeInt(int64_t Value) {
  if ((FMinValue != 0 || FMaxValue != 0) && (Value < FMinValue || Value > FMaxValue))
    RangeError(IntToStr(Value), IntToStr(FMinValue), IntToStr(FMaxValue));
  SetData(&Value);
}

AnsiString TLargeintField::AsString() const {
  int64_t v = 0;
  return GetData(&v) ? IntToStr(v) : AnsiString();
}

void TLargeintField::SetAsString(const AnsiString& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  int64_t v = 0;
  if (!TryStrToInt64(Value, v)) DatabaseErrorFmt(SInvalidIntegerValue, {Value, DisplayName()});
  SetAsLargeInt(v);
}

int32_t TLargeintField::AsInteger() const { return static_cast<int32_t>(AsLargeInt()); }
void TLargeintField::SetAsInteger(int32_t Value) { SetAsLargeInt(Value); }
double TLargeintField::AsFloat() const { return static_cast<double>(AsLargeInt()); }

void TLargeintField::SetAsFloat(double Value) {
  double r = std::nearbyint(Value);
  // 2^63 itself does not fit.
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
    RangeError(FloatToStr(Value), IntToStr(std::numeric_limits<int64_t>::min()),
               IntToStr(std::numeric_limits<int64_t>::max()));
  SetAsLargeInt(static_cast<int64_t>(r));
}

Variant TLargeintField::Value() const {
  int64_t v = 0;
  return GetData(&v) ? Variant(v) : Variant::Null();
}

void TLargeintField::SetVarValue(const Variant& Value) { SetAsLargeInt(Value.AsInt64()); }

void TLargeintField::GetText(AnsiString& Text, bool DisplayText) const {
  int64_t v = 0;
  if (!GetData(&v)) {
    Text.clear();
    return;
  }
  const AnsiString& format = TextFormat(DisplayText);
  Text = format.empty() ? IntToStr(v) : FormatFloat(format, static_cast<double>(v));
}

namespace {

bool FitsCurrency(double Value) {
  try {
    Currency amount(Value);
  } catch (const EMathError&) {
    return false;
  }
  return true;
}

}  // namespace

TFloatField::TFloatField(TComponent* AOwner) : TFloatField(AOwner, ftFloat) {}

TFloatField::TFloatField(TComponent* AOwner, TFieldType Type) : TNumericField(AOwner) {
  SetDataType(Type);
  FCurrency = Type == ftCurrency;
  for (char c : {FormatSettings.DecimalSeparator, 'E', 'e'})
    ValidChars().set(static_cast<uint8_t>(c));
}

void TFloatField::SetCurrency(bool Value) {
  FCurrency = Value;
  PropertyChanged(false);
}

void TFloatField::SetPrecision(int Value) {
  FPrecision = std::clamp(Value, 2, 15);
  PropertyChanged(false);
}

AnsiString TFloatField::AsString() const {
  double v = 0;
  return GetData(&v) ? FloatToStr(v) : AnsiString();
}

void TFloatField::SetAsString(const AnsiString& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  double v = 0;
  if (!TryStrToFloat(Value, v)) DatabaseErrorFmt(SInvalidFloatValue, {Value, DisplayName()});
  SetAsFloat(v);
}

// Rounds half to even; out of range raises the variant overflow error.
int32_t TFloatField::AsInteger() const { return Variant(AsFloat()).AsInteger(); }
void TFloatField::SetAsInteger(int32_t Value) { SetAsFloat(Value); }

double TFloatField::AsFloat() const {
  double v = 0;
  return GetData(&v) ? v : 0;
}

void TFloatField::SetAsFloat(double Value) {
  if ((FMinValue != 0 || FMaxValue != 0) && (Value < FMinValue || Value > FMaxValue))
    RangeError(FloatToStr(Value), FloatToStr(FMinValue), FloatToStr(FMaxValue));
  // A currency field holds what a Currency amount holds: datasets store
  // and stream it as one.
  if (DataType() == ftCurrency && !FitsCurrency(Value))
    RangeError(FloatToStr(Value), CurrToStr(Currency::FromScaled(INT64_MIN)),
               CurrToStr(Currency::FromScaled(INT64_MAX)));
  SetData(&Value);
}

Currency TFloatField::AsCurrency() const { return Currency(AsFloat()); }
void TFloatField::SetAsCurrency(Currency Value) { SetAsFloat(Value.ToDouble()); }

Variant TFloatField::Value() const {
  double v = 0;
  return GetData(&v) ? Variant(v) : Variant::Null();
}

void TFloatField::SetVarValue(const Variant& Value) { SetAsFloat(Value.AsDouble()); }

void TFloatField::GetText(AnsiString& Text, bool DisplayText) const {
  double v = 0;
  if (!GetData(&v)) {
    Text.clear();
    return;
  }
  const AnsiString& format = TextFormat(DisplayText);
  if (!format.empty())
    Text = FormatFloat(format, v);
  else if (FCurrency)
    Text = FloatToStrF(v, DisplayText ? ffCurrency : ffFixed, FPrecision,
                       FormatSettings.CurrencyDecimals);
  else
    Text = FloatToStrF(v, ffGeneral, FPrecision, 0);
}

TCurrencyField::TCurrencyField(TComponent* AOwner) : TFloatField(AOwner, ftCurrency) {}

TBCDField::TBCDField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftBCD);
  SetSize(4);
  ValidChars().set(static_cast<uint8_t>(FormatSettings.DecimalSeparator));
}

void TBCDField::SetCurrency(bool Value) {
  FCurrency = Value;
  PropertyChanged(false);
}

bool TBCDField::GetValue(Currency& Value) const {
  TBcd bcd;
  if (!GetData(&bcd)) return false;
  if (BCDToCurr(bcd, Value)) return true;
  // Beyond Currency's range, as a float field's value would be.
  if (!BCDToStr(bcd, '.').empty()) throw EOverflow("Переполнение при операции с плавающей точкой");
  DatabaseErrorFmt(SFieldAccessError, {DisplayName(), "Currency"});
}

TBcd TBCDField::AsBCD() const {
  TBcd bcd;
  return GetData(&bcd) ? bcd : TBcd{1, 0, {}};
}

void TBCDField::Limits(TBcd& Low, TBcd& High) const {
  if (FMinValue.Scaled != 0 || FMaxValue.Scaled != 0) {
    CurrToBCD(FMinValue, Low);
    CurrToBCD(FMaxValue, High);
  } else {
    ScaledToBCD(std::numeric_limits<int64_t>::min(), Size(), Low);
    ScaledToBCD(std::numeric_limits<int64_t>::max(), Size(), High);
  }
}

void TBCDField::BcdRangeError(const AnsiString& Value) const {
  TBcd low, high;
  Limits(low, high);
  RangeError(Value, BCDToStr(low, FormatSettings.DecimalSeparator),
             BCDToStr(high, FormatSettings.DecimalSeparator));
}

void TBCDField::SetAsBCD(const TBcd& Value) {
  int64_t scaled = 0;
  if (!BCDToScaled(Value, Size(), scaled))
    BcdRangeError(BCDToStr(Value, FormatSettings.DecimalSeparator));
  TBcd bcd, low, high;
  ScaledToBCD(scaled, Size(), bcd);
  Limits(low, high);
  if (BCDCompare(bcd, low) < 0 || BCDCompare(bcd, high) > 0)
    BcdRangeError(BCDToStr(bcd, FormatSettings.DecimalSeparator));
  SetData(&bcd);
}

AnsiString TBCDField::AsString() const {
  TBcd bcd;
  return GetData(&bcd) ? BCDToStr(bcd, FormatSettings.DecimalSeparator) : AnsiString();
}

void TBCDField::SetAsString(const AnsiString& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  TBcd bcd;
  if (!TryStrToBCD(Value, FormatSettings.DecimalSeparator, bcd))
    DatabaseErrorFmt(SInvalidFloatValue, {Value, DisplayName()});
  SetAsBCD(bcd);
}

int32_t TBCDField::AsInteger() const { return Variant(AsCurrency()).AsInteger(); }
void TBCDField::SetAsInteger(int32_t Value) {
  TBcd bcd;
  ScaledToBCD(Value, 0, bcd);
  SetAsBCD(bcd);
}

double TBCDField::AsFloat() const {
  TBcd bcd;
  return GetData(&bcd) ? BCDToDouble(bcd) : 0;
}

void TBCDField::SetAsFloat(double Value) {
  TBcd bcd;
  if (!DoubleToBCD(Value, bcd)) BcdRangeError(FloatToStr(Value));
  SetAsBCD(bcd);
}

Currency TBCDField::AsCurrency() const {
  Currency c;
  return GetValue(c) ? c : Currency();
}

void TBCDField::SetAsCurrency(Currency Value) {
  TBcd bcd;
  CurrToBCD(Value, bcd);
  SetAsBCD(bcd);
}

Variant TBCDField::Value() const {
  TBcd bcd;
  if (!GetData(&bcd)) return Variant::Null();
  Currency c;
  return BCDToCurr(bcd, c) ? Variant(c) : Variant(BCDToStr(bcd, FormatSettings.DecimalSeparator));
}

void TBCDField::SetVarValue(const Variant& Value) {
  TBcd bcd;
  if (!VarToBCD(Value, bcd)) DatabaseErrorFmt(SInvalidFloatValue, {VarToStr(Value), DisplayName()});
  SetAsBCD(bcd);
}

void TBCDField::GetText(AnsiString& Text, bool DisplayText) const {
  TBcd bcd;
  if (!GetData(&bcd)) {
    Text.clear();
    return;
  }
  const AnsiString& format = TextFormat(DisplayText);
  if (!format.empty())
    Text = FormatBCD(format, bcd);
  else if (FCurrency)
    Text = BCDToStrF(bcd, DisplayText ? ffCurrency : ffFixed, 18, FormatSettings.CurrencyDecimals);
  else
    Text = BCDToStr(bcd, FormatSettings.DecimalSeparator);
}

// ---- TBooleanField ----------------------------------------------------------------

TBooleanField::TBooleanField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftBoolean); }

void TBooleanField::SetDisplayValues(const AnsiString& Value) {
  FDisplayValues = Value;
  if (Value.empty()) {
    FTextTrue = "True";
    FTextFalse = "False";
  } else {
    size_t p = Value.find(';');
    FTextTrue = Value.substr(0, p);
    FTextFalse = p == AnsiString::npos ? AnsiString() : Value.substr(p + 1);
  }
  PropertyChanged(true);
}

AnsiString TBooleanField::AsString() const {
  int16_t v = 0;
  if (!GetData(&v)) return AnsiString();
  return v != 0 ? FTextTrue : FTextFalse;
}

void TBooleanField::SetAsString(const AnsiString& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  int length = static_cast<int>(Value.size());
  if (AnsiSameText(Value, Copy(FTextFalse, 1, length)))
    SetAsBoolean(false);
  else if (AnsiSameText(Value, Copy(FTextTrue, 1, length)))
    SetAsBoolean(true);
  else
    DatabaseErrorFmt(SInvalidBoolValue, {Value, DisplayName()});
}

bool TBooleanField::AsBoolean() const {
  int16_t v = 0;
  return GetData(&v) && v != 0;
}

void TBooleanField::SetAsBoolean(bool Value) {
  int16_t v = Value ? 1 : 0;
  SetData(&v);
}

Variant TBooleanField::Value() const {
  int16_t v = 0;
  return GetData(&v) ? Variant(v != 0) : Variant::Null();
}

void TBooleanField::SetVarValue(const Variant& Value) { SetAsBoolean(Value.AsBoolean()); }

int TBooleanField::GetDefaultWidth() const {
  return static_cast<int>(std::max(FTextTrue.size(), FTextFalse.size()));
}

// ---- Dates and times ----------------------------------------------------------------

TDateTimeField::TDateTimeField(TComponent* AOwner) : TDateTimeField(AOwner, ftDateTime) {}

TDateTimeField::TDateTimeField(TComponent* AOwner, TFieldType Type) : TField(AOwner) {
  SetDataType(Type);
}

TDateField::TDateField(TComponent* AOwner) : TDateTimeField(AOwner, ftDate) {}
TTimeField::TTimeField(TComponent* AOwner) : TDateTimeField(AOwner, ftTime) {}

int TDateTimeField::DataSize() const { return DataType() == ftDateTime ? 8 : 4; }

void TDateTimeField::SetDisplayFormat(const AnsiString& Value) {
  FDisplayFormat = Value;
  PropertyChanged(false);
}

bool TDateTimeField::GetValue(TDateTime& Value) const {
  uint8_t native[8];
  if (!GetData(native)) return false;
  Value = NativeToDateTime(DataType(), native);
  return true;
}

TDateTime TDateTimeField::AsDateTime() const {
  TDateTime v = 0;
  return GetValue(v) ? v : 0;
}

void TDateTimeField::SetAsDateTime(TDateTime Value) {
  if (!DateTimeInRange(Value))
    RangeError(FloatToStr(Value), DateToStr(1 - DateDelta), DateToStr(MaxNativeDate - DateDelta));
  uint8_t native[8];
  DateTimeToNative(DataType(), Value, native);
  SetData(native);
}

TDateTime NativeToDateTime(TFieldType Type, const void* Native) {
  switch (Type) {
    case ftDate: {
      int32_t date;
      std::memcpy(&date, Native, 4);
      return static_cast<double>(date - DateDelta);
    }
    case ftTime: {
      int32_t time;
      std::memcpy(&time, Native, 4);
      return static_cast<double>(time) / static_cast<double>(MSecsPerDay);
    }
    default: {
      double msecs;
      std::memcpy(&msecs, Native, 8);
      double days = std::floor(msecs / static_cast<double>(MSecsPerDay));
      int64_t time = std::llround(msecs - days * static_cast<double>(MSecsPerDay));
      return FromTimeStamp(static_cast<int32_t>(days), time);
    }
  }
}

bool DateTimeInRange(TDateTime Value) {
  // Far outside, the day would not fit its 32 bits.
  if (!(Value > -DateDelta - 1.0 && Value < MaxNativeDate - DateDelta + 1.0)) return false;
  int32_t date = 0, time = 0;
  ToTimeStamp(Value, date, time);
  return date >= 1 && date <= MaxNativeDate;
}

void DateTimeToNative(TFieldType Type, TDateTime Value, void* Native) {
  int32_t date = 0, time = 0;
  ToTimeStamp(Value, date, time);
  switch (Type) {
    case ftDate:
      std::memcpy(Native, &date, 4);
      break;
    case ftTime:
      std::memcpy(Native, &time, 4);
      break;
    default: {
      double msecs = static_cast<double>(date) * static_cast<double>(MSecsPerDay) + time;
      std::memcpy(Native, &msecs, 8);
    }
  }
}

double TDateTimeField::AsFloat() const { return AsDateTime(); }
void TDateTimeField::SetAsFloat(double Value) { SetAsDateTime(Value); }

AnsiString TDateTimeField::AsString() const {
  AnsiString text;
  GetText(text, false);
  return text;
}

void TDateTimeField::SetAsString(const AnsiString& Value) {
  if (Trim(Value).empty()) {
    Clear();
    return;
  }
  TDateTime v = 0;
  bool ok = DataType() == ftDate   ? TryStrToDate(Value, v, FormatSettings)
            : DataType() == ftTime ? TryStrToTime(Value, v, FormatSettings)
                                   : TryStrToDateTime(Value, v, FormatSettings);
  if (!ok) DatabaseErrorFmt(SInvalidDateValue, {Value, DisplayName()});
  SetAsDateTime(v);
}

Variant TDateTimeField::Value() const {
  TDateTime v = 0;
  return GetValue(v) ? VarFromDateTime(v) : Variant::Null();
}

void TDateTimeField::SetVarValue(const Variant& Value) { SetAsDateTime(Value.AsDateTime()); }

int TDateTimeField::GetDefaultWidth() const {
  switch (DataType()) {
    case ftDate:
      return 10;
    case ftTime:
      return 8;
    default:
      return 19;
  }
}

void TDateTimeField::GetText(AnsiString& Text, bool DisplayText) const {
  TDateTime v = 0;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  AnsiString format;
  if (DisplayText && !FDisplayFormat.empty())
    format = FDisplayFormat;
  else if (DataType() == ftDate)
    format = FormatSettings.ShortDateFormat;
  else if (DataType() == ftTime)
    format = FormatSettings.LongTimeFormat;
  else
    format = "c";
  Text = FormatDateTime(format, v);
}

// ---- Binary fields -----------------------------------------------------------------

TBinaryField::TBinaryField(TComponent* AOwner, TFieldType Type) : TField(AOwner) {
  SetDataType(Type);
  SetSize(16);
}

TBytesField::TBytesField(TComponent* AOwner) : TBinaryField(AOwner, ftBytes) {}
TVarBytesField::TVarBytesField(TComponent* AOwner) : TBinaryField(AOwner, ftVarBytes) {}

AnsiString TBinaryField::AsString() const {
  std::vector<char> buffer(static_cast<size_t>(DataSize()), '\0');
  if (!GetData(buffer.data())) return AnsiString();
  if (DataType() == ftBytes) return AnsiString(buffer.data(), buffer.size());
  uint16_t length = 0;
  std::memcpy(&length, buffer.data(), 2);
  return AnsiString(buffer.data() + 2, std::min<size_t>(length, static_cast<size_t>(Size())));
}

void TBinaryField::SetAsString(const AnsiString& Value) {
  std::vector<char> buffer(static_cast<size_t>(DataSize()), '\0');
  size_t length = std::min(Value.size(), static_cast<size_t>(Size()));
  if (DataType() == ftBytes) {
    std::memcpy(buffer.data(), Value.data(), length);
  } else {
    uint16_t prefix = static_cast<uint16_t>(length);
    std::memcpy(buffer.data(), &prefix, 2);
    std::memcpy(buffer.data() + 2, Value.data(), length);
  }
  SetData(buffer.data());
}

Variant TBinaryField::Value() const {
  if (IsNull()) return Variant::Null();
  return Variant(AsString());
}

void TBinaryField::SetVarValue(const Variant& Value) { SetAsString(VarToStr(Value)); }

// ---- Blob fields ----------------------------------------------------------------------

TBlobField::TBlobField(TComponent* AOwner) : TBlobField(AOwner, ftBlob) {}

TBlobField::TBlobField(TComponent* AOwner, TFieldType Type) : TField(AOwner) { SetDataType(Type); }

TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner, ftMemo) {}
TGraphicField::TGraphicField(TComponent* AOwner) : TBlobField(AOwner, ftGraphic) {}

void TBlobField::SetBlobType(TFieldType Value) {
  CheckInactive();
  if (IsBlobType(Value)) SetDataType(Value);
}

int TBlobField::BlobSize() const {
  std::unique_ptr<TStream> stream =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  return stream ? static_cast<int>(stream->Size()) : 0;
}

void TBlobField::LoadFromStream(TStream* Stream) {
  std::unique_ptr<TStream> blob = DataSet()->CreateBlobStream(this, bmWrite);
  if (!blob) AccessError("Blob");
  blob->CopyFrom(Stream, 0);
}

void TBlobField::SaveToStream(TStream* Stream) const {
  std::unique_ptr<TStream> blob =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  if (blob && blob->Size() > 0) Stream->CopyFrom(blob.get(), 0);
}

void TBlobField::Clear() {
  if (!DataSet()->CreateBlobStream(this, bmWrite)) AccessError("Blob");
}

AnsiString TBlobField::AsString() const {
  std::unique_ptr<TStream> blob =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  if (!blob) return AnsiString();
  AnsiString text(static_cast<size_t>(blob->Size()), '\0');
  blob->SetPosition(0);
  if (!text.empty()) blob->ReadBuffer(text.data(), static_cast<int32_t>(text.size()));
  return text;
}

void TBlobField::SetAsString(const AnsiString& Value) {
  std::unique_ptr<TStream> blob = DataSet()->CreateBlobStream(this, bmWrite);
  if (!blob) AccessError("Blob");
  if (!Value.empty()) blob->WriteBuffer(Value.data(), static_cast<int32_t>(Value.size()));
}

Variant TBlobField::Value() const {
  if (IsNull()) return Variant::Null();
  return Variant(AsString());
}

void TBlobField::SetVarValue(const Variant& Value) { SetAsString(VarToStr(Value)); }

void TBlobField::GetText(AnsiString& Text, bool) const {
  AnsiString kind = KindName();
  Text = "(" + (IsNull() ? LowerCase(kind) : kind) + ")";
}

// ---- Object fields -------------------------------------------------------------------

TObjectField::TObjectField(TComponent* AOwner, TFieldType Type) : TField(AOwner) {
  SetDataType(Type);
}

TObjectField::~TObjectField() {
  for (TField* child : FChildFields) child->FParentField = nullptr;
}

AnsiString TObjectField::AsString() const {
  AnsiString text = "(";
  for (size_t i = 0; i < FChildFields.size(); ++i) {
    if (i > 0) text += ", ";
    text += FChildFields[i]->AsString();
  }
  return text + ")";
}

Variant TObjectField::Value() const {
  Variant values = VarArrayCreate(0, static_cast<int>(FChildFields.size()) - 1, varVariant);
  for (size_t i = 0; i < FChildFields.size(); ++i)
    values[static_cast<int>(i)] = FChildFields[i]->Value();
  return values;
}

void TObjectField::Clear() {
  for (TField* child : FChildFields) child->Clear();
}

bool TObjectField::GetIsNull() const {
  return std::all_of(FChildFields.begin(), FChildFields.end(),
                     [](const TField* f) { return f->IsNull(); });
}

// ---- Field classes and the field list ---------------------------------------------

TFieldClass DefaultFieldClass(TFieldType Type) {
  switch (Type) {
    case ftString:
    case ftFixedChar:
      return MakeField<TStringField>;
    case ftSmallint:
      return MakeField<TSmallintField>;
    case ftInteger:
      return MakeField<TIntegerField>;
    case ftWord:
      return MakeField<TWordField>;
    case ftAutoInc:
      return MakeField<TAutoIncField>;
    case ftLargeint:
      return MakeField<TLargeintField>;
    case ftBoolean:
      return MakeField<TBooleanField>;
    case ftFloat:
      return MakeField<TFloatField>;
    case ftCurrency:
      return MakeField<TCurrencyField>;
    case ftBCD:
      return MakeField<TBCDField>;
    case ftDate:
      return MakeField<TDateField>;
    case ftTime:
      return MakeField<TTimeField>;
    case ftDateTime:
      return MakeField<TDateTimeField>;
    case ftBytes:
      return MakeField<TBytesField>;
    case ftVarBytes:
      return MakeField<TVarBytesField>;
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
      return MakeField<TBlobField>;
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
      return MakeField<TMemoField>;
    case ftGraphic:
      return MakeField<TGraphicField>;
    case ftGuid:
      return MakeField<TGuidField>;
    case ftADT:
      return MakeField<TADTField>;
    case ftArray:
      return MakeField<TArrayField>;
    default:
      return nullptr;
  }
}

TFields::~TFields() {
  for (TField* field : FList) field->FDataSet = nullptr;
}

TField* TFields::Fields(int Index) const {
  if (Index < 0 || Index >= Count()) DatabaseError(SFieldIndexError, FDataSet);
  return FList[static_cast<size_t>(Index)];
}

void TFields::Add(TField* Field) {
  FList.push_back(Field);
  Field->FDataSet = FDataSet;
  Changed();
}

void TFields::Remove(TField* Field) {
  auto it = std::find(FList.begin(), FList.end(), Field);
  if (it == FList.end()) return;
  FList.erase(it);
  Field->FDataSet = nullptr;
  Changed();
}

void TFields::Clear() {
  while (!FList.empty()) {
    TField* field = FList.back();
    FList.pop_back();
    field->FDataSet = nullptr;
    delete field;
  }
  Changed();
}

int TFields::IndexOf(const TField* Field) const {
  auto it = std::find(FList.begin(), FList.end(), Field);
  return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

TField* TFields::FindField(const AnsiString& FieldName) const {
  for (TField* field : FList)
    if (AnsiSameText(field->FieldName(), FieldName)) return field;
  return nullptr;
}

TField* TFields::FieldByName(const AnsiString& FieldName) const {
  TField* field = FindField(FieldName);
  if (!field) DatabaseErrorFmt(SFieldNotFound, {FieldName}, FDataSet);
  return field;
}

TField* TFields::FieldByNumber(int FieldNo) const {
  for (TField* field : FList)
    if (field->FieldNo() == FieldNo) return field;
  return nullptr;
}

void TFields::GetFieldNames(TStrings* List) const {
  List->BeginUpdate();
  List->Clear();
  for (TField* field : FList) List->Add(field->FieldName());
  List->EndUpdate();
}

void TFields::CheckFieldName(const AnsiString& FieldName) const {
  if (FieldName.empty()) DatabaseError(SFieldNameMissing, FDataSet);
  if (FindField(FieldName)) DatabaseErrorFmt(SDuplicateFieldName, {FieldName}, FDataSet);
}

void TFields::SetFieldIndex(TField* Field, int Value) {
  int current = IndexOf(Field);
  if (current < 0) return;
  Value = std::clamp(Value, 0, Count() - 1);
  if (Value == current) return;
  FList.erase(FList.begin() + current);
  FList.insert(FList.begin() + Value, Field);
  Changed();
}

void TFields::Changed() {
  if (FDataSet && !FDataSet->ComponentState().Contains(csDestroying))
    FDataSet->DataEvent(deFieldListChange, 0);
}
