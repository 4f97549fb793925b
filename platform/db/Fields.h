// Fields: one column of a dataset, read and written through the record
// buffer the dataset chooses for its current state (see DataSet.h), and the
// list of a dataset's fields.
//
// A field's value lives in the buffer in its native form (DataSize bytes):
//   string, fixed-char, GUID  Size + 1 bytes, zero-terminated cp1251 text
//   smallint / word           int16 / uint16
//   integer, autoinc          int32
//   largeint                  int64
//   boolean                   int16, 0 or 1
//   float, currency           double
//   BCD                       TBcd (34 bytes, db/Bcd.h)
//   date                      int32 days, day 1 = 0001-01-01
//   time                      int32 milliseconds since midnight
//   date-time                 double milliseconds since 0001-01-01 00:00
//   bytes                     Size bytes; varbytes: uint16 length + Size bytes
//   blobs                     nothing: the dataset's blob stream reads them
// Whether a field is null is the dataset's business: GetFieldData answers it.
#pragma once

#include <bitset>
#include <functional>
#include <memory>
#include <vector>

#include "db/Bcd.h"
#include "db/DBTypes.h"
#include "rtl/Classes.h"
#include "rtl/Streams.h"
#include "rtl/Variants.h"

class TDataSet;
class TField;
class TFields;
class TObjectField;

using TFieldNotifyEvent = std::function<void(TField* Sender)>;
using TFieldGetTextEvent = std::function<void(TField* Sender, AnsiString& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField* Sender, const AnsiString& Text)>;
using TFieldChars = std::bitset<256>;
// Creates a field of one class; what the dataset uses for a field type.
using TFieldClass = TField* (*)(TComponent* AOwner);

class TField : public TComponent {
 public:
  explicit TField(TComponent* AOwner);
  ~TField() override;

  TDataSet* DataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* Value);
  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& Value);
  // Number of the field's definition (1-based); 0 or less for calculated
  // and lookup fields, which live in the calculated area of a buffer.
  int FieldNo() const { return FFieldNo; }
  // Position in the dataset's Fields.
  int Index() const;
  void SetIndex(int Value);
  TFieldType DataType() const { return FDataType; }
  TFieldKind FieldKind() const { return FFieldKind; }
  void SetFieldKind(TFieldKind Value);
  bool Calculated() const { return FFieldKind == fkCalculated; }
  bool Lookup() const { return FFieldKind == fkLookup; }
  int Size() const { return FSize; }
  virtual void SetSize(int Value);
  // Bytes of the native value in a record buffer.
  virtual int DataSize() const { return 0; }
  // Offset in the calculated area of a calculated or lookup field.
  int Offset() const { return FOffset; }
  virtual bool IsBlob() const { return false; }
  bool IsIndexField() const;

  // Display and editing properties.
  AnsiString DisplayLabel() const { return DisplayName(); }
  void SetDisplayLabel(const AnsiString& Value);
  AnsiString DisplayName() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }
  int DisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : GetDefaultWidth(); }
  void SetDisplayWidth(int Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  const AnsiString& EditMask() const { return FEditMask; }
  void SetEditMask(const AnsiString& Value);
  const AnsiString& DefaultExpression() const { return FDefaultExpression; }
  void SetDefaultExpression(const AnsiString& Value) { FDefaultExpression = Value; }
  bool Required() const { return FRequired; }
  void SetRequired(bool Value) { FRequired = Value; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  // Empty: the field is neither loaded from nor written to a server.
  TProviderFlags ProviderFlags() const { return FProviderFlags; }
  void SetProviderFlags(TProviderFlags Value) { FProviderFlags = Value; }
  // A field is writable when it is a stored one (or an index field while a
  // key is being set), not read-only, in a dataset that can be modified.
  virtual bool CanModify() const;

  // The value. The As* accessors convert the way each field class allows;
  // an impossible one raises "no access as type".
  bool IsNull() const { return GetIsNull(); }
  virtual void Clear() { SetData(nullptr); }
  virtual AnsiString AsString() const;
  virtual void SetAsString(const AnsiString& Value);
  virtual int32_t AsInteger() const;
  virtual void SetAsInteger(int32_t Value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double Value);
  virtual Currency AsCurrency() const;
  virtual void SetAsCurrency(Currency Value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool Value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime Value);
  // Null (or Empty) clears the field.
  virtual Variant Value() const;
  void SetValue(const Variant& Value);
  // The value in the old-value (new-value) state of the dataset.
  Variant OldValue() const;
  Variant NewValue() const;
  void SetNewValue(const Variant& Value);

  // Text for editing and for display, through OnGetText when assigned.
  AnsiString Text() const;
  // Through OnSetText when assigned.
  void SetText(const AnsiString& Value);
  AnsiString DisplayText() const;
  TFieldChars& ValidChars() { return FValidChars; }
  virtual bool IsValidChar(char C) const { return FValidChars[static_cast<uint8_t>(C)]; }
  // Asks the controls bound to the field to take the focus.
  void FocusControl();

  // Raw access to the native value; a null buffer only asks whether the
  // field has a value (GetData) or clears it (SetData).
  bool GetData(void* Buffer) const;
  void SetData(const void* Buffer);
  // Fires OnValidate; while it runs the field reads the proposed value.
  // Datasets call it from SetFieldData before they store a value.
  virtual void Validate(const void* Buffer);

  // Lookup fields: the value is LookupDataSet.Lookup(LookupKeyFields,
  // this dataset's KeyFields, LookupResultField).
  TDataSet* LookupDataSet() const { return FLookupDataSet; }
  void SetLookupDataSet(TDataSet* Value);
  const AnsiString& LookupKeyFields() const { return FLookupKeyFields; }
  void SetLookupKeyFields(const AnsiString& Value);
  const AnsiString& LookupResultField() const { return FLookupResultField; }
  void SetLookupResultField(const AnsiString& Value);
  const AnsiString& KeyFields() const { return FKeyFields; }
  void SetKeyFields(const AnsiString& Value);
  // The object field this one is a child of; null for a top-level field.
  TObjectField* ParentField() const { return FParentField; }

  TFieldNotifyEvent OnChange;
  TFieldNotifyEvent OnValidate;
  TFieldGetTextEvent OnGetText;
  TFieldSetTextEvent OnSetText;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void SetDataType(TFieldType Value) { FDataType = Value; }
  virtual bool GetIsNull() const { return !GetData(nullptr); }
  virtual int GetDefaultWidth() const { return 10; }
  virtual void GetText(AnsiString& Text, bool DisplayText) const;
  virtual void SetFieldText(const AnsiString& Value) { SetAsString(Value); }
  virtual void SetVarValue(const Variant& Value);
  // Checks a lookup field's settings when the dataset binds its fields.
  virtual void Bind(bool Binding);
  // Display properties changed: the controls re-read, or re-lay out.
  void PropertyChanged(bool LayoutAffected);
  void CheckInactive() const;
  [[noreturn]] void AccessError(const char* TypeName) const;
  [[noreturn]] void RangeError(const AnsiString& Value, const AnsiString& Min,
                               const AnsiString& Max) const;
  // Runs the OnChange handler; the dataset calls it after a value changed.
  virtual void Change();

 private:
  friend class TDataSet;
  friend class TFieldDef;
  friend class TFields;
  friend class TObjectField;
  void CalcLookupValue();

  TObjectField* FParentField = nullptr;

  TDataSet* FDataSet = nullptr;
  AnsiString FFieldName;
  int FFieldNo = 0;
  int FOffset = 0;
  TFieldType FDataType = ftUnknown;
  TFieldKind FFieldKind = fkData;
  int FSize = 0;
  AnsiString FDisplayLabel;
  int FDisplayWidth = 0;
  TAlignment FAlignment = taLeftJustify;
  bool FVisible = true;
  AnsiString FEditMask;
  AnsiString FDefaultExpression;
  bool FRequired = false;
  bool FReadOnly = false;
  TProviderFlags FProviderFlags{pfInUpdate, pfInWhere};
  TFieldChars FValidChars;
  TDataSet* FLookupDataSet = nullptr;
  AnsiString FLookupKeyFields;
  AnsiString FLookupResultField;
  AnsiString FKeyFields;
  // While OnValidate runs: the proposed value.
  bool FValidating = false;
  const void* FValueBuffer = nullptr;
};

class TStringField : public TField {
 public:
  explicit TStringField(TComponent* AOwner);
  int DataSize() const override { return Size() + 1; }
  bool FixedChar() const { return DataType() == ftFixedChar; }
  void SetFixedChar(bool Value);
  // Kept for copies of field settings; the text is always cp1251.
  bool Transliterate() const { return FTransliterate; }
  void SetTransliterate(bool Value) { FTransliterate = Value; }

  AnsiString AsString() const override;
  // Longer text is cut to Size.
  void SetAsString(const AnsiString& Value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t Value) override;
  double AsFloat() const override;
  void SetAsFloat(double Value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool Value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime Value) override;
  Variant Value() const override;

 protected:
  int GetDefaultWidth() const override { return Size(); }
  void SetVarValue(const Variant& Value) override;

 private:
  bool FTransliterate = true;
};

class TGuidField : public TStringField {
 public:
  explicit TGuidField(TComponent* AOwner);
};

// Numbers: right-aligned, typed with digits and signs; DisplayFormat and
// EditFormat are FormatFloat patterns.
class TNumericField : public TField {
 public:
  explicit TNumericField(TComponent* AOwner);
  const AnsiString& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const AnsiString& Value);
  const AnsiString& EditFormat() const { return FEditFormat; }
  void SetEditFormat(const AnsiString& Value);

 protected:
  // The pattern for the text: DisplayFormat for display, and for editing
  // when no EditFormat is set.
  const AnsiString& TextFormat(bool DisplayText) const;

 private:
  AnsiString FDisplayFormat;
  AnsiString FEditFormat;
};

// Integer, smallint, word and autoinc fields; MinValue/MaxValue both 0
// means the type's own range.
class TIntegerField : public TNumericField {
 public:
  explicit TIntegerField(TComponent* AOwner);
  int DataSize() const override;
  int32_t MinValue() const { return FMinValue; }
  void SetMinValue(int32_t Value) { FMinValue = Value; }
  int32_t MaxValue() const { return FMaxValue; }
  void SetMaxValue(int32_t Value) { FMaxValue = Value; }

  AnsiString AsString() const override;
  void SetAsString(const AnsiString& Value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t Value) override;
  double AsFloat() const override;
  void SetAsFloat(double Value) override;
  Variant Value() const override;

 protected:
  TIntegerField(TComponent* AOwner, TFieldType Type, int32_t MinRange, int32_t MaxRange);
  void GetText(AnsiString& Text, bool DisplayText) const override;
  void SetVarValue(const Variant& Value) override;
  bool GetValue(int32_t& Value) const;

 private:
  int32_t FMinRange, FMaxRange;
  int32_t FMinValue = 0, FMaxValue = 0;
};

class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(TComponent* AOwner);
};

class TWordField : public TIntegerField {
 public:
  explicit TWordField(TComponent* AOwner);
};

class TAutoIncField : public TIntegerField {
 public:
  explicit TAutoIncField(TComponent* AOwner);
};

class TLargeintField : public TNumericField {
 public:
  explicit TLargeintField(TComponent* AOwner);
  int DataSize() const override { return 8; }
  int64_t MinValue() const { return FMinValue; }
  void SetMinValue(int64_t Value) { FMinValue = Value; }
  int64_t MaxValue() const { return FMaxValue; }
  void SetMaxValue(int64_t Value) { FMaxValue = Value; }

  int64_t AsLargeInt() const;
  void SetAsLargeInt(int64_t Value);
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& Value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t Value) override;
  double AsFloat() const override;
  void SetAsFloat(double Value) override;
  Variant Value() const override;

 protected:
  int GetDefaultWidth() const override { return 15; }
  void GetText(AnsiString& Text, bool DisplayText) const override;
  void SetVarValue(const Variant& Value) override;

 private:
  int64_t FMinValue = 0, FMaxValue = 0;
};

class TFloatField : public TNumericField {
 public:
  explicit TFloatField(TComponent* AOwner);
  int DataSize() const override { return 8; }
  // Shown with the currency format.
  bool IsCurrency() const { return FCurrency; }
  void SetCurrency(bool Value);
  // Significant digits of the general format, 2..15.
  int Precision() const { return FPrecision; }
  void SetPrecision(int Value);
  double MinValue() const { return FMinValue; }
  void SetMinValue(double Value) { FMinValue = Value; }
  double MaxValue() const { return FMaxValue; }
  void SetMaxValue(double Value) { FMaxValue = Value; }

  AnsiString AsString() const override;
  void SetAsString(const AnsiString& Value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t Value) override;
  double AsFloat() const override;
  void SetAsFloat(double Value) override;
  Currency AsCurrency() const override;
  void SetAsCurrency(Currency Value) override;
  Variant Value() const override;

 protected:
  TFloatField(TComponent* AOwner, TFieldType Type);
  void GetText(AnsiString& Text, bool DisplayText) const override;
  void SetVarValue(const Variant& Value) override;

 private:
  bool FCurrency = false;
  int FPrecision = 15;
  double FMinValue = 0, FMaxValue = 0;
};

class TCurrencyField : public TFloatField {
 public:
  explicit TCurrencyField(TComponent* AOwner);
};

// Size is the number of decimal places (0..4). Every value it is given is
// rounded to them half away from zero, as the server stores it; it holds
// what a 64-bit integer holds at that scale (a NUMERIC(18,2) column's
// values beyond Currency too: Value gives those as their exact text, and
// AsCurrency raises EOverflow for them, as for a float field's).
class TBCDField : public TNumericField {
 public:
  explicit TBCDField(TComponent* AOwner);
  int DataSize() const override { return static_cast<int>(sizeof(TBcd)); }
  bool IsCurrency() const { return FCurrency; }
  void SetCurrency(bool Value);
  int Precision() const { return FPrecision; }
  void SetPrecision(int Value) { FPrecision = Value; }
  Currency MinValue() const { return FMinValue; }
  void SetMinValue(Currency Value) { FMinValue = Value; }
  Currency MaxValue() const { return FMaxValue; }
  void SetMaxValue(Currency Value) { FMaxValue = Value; }

  // The exact value (zero when null).
  TBcd AsBCD() const;
  void SetAsBCD(const TBcd& Value);
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& Value) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t Value) override;
  double AsFloat() const override;
  void SetAsFloat(double Value) override;
  Currency AsCurrency() const override;
  void SetAsCurrency(Currency Value) override;
  Variant Value() const override;

 protected:
  void GetText(AnsiString& Text, bool DisplayText) const override;
  void SetVarValue(const Variant& Value) override;
  bool GetValue(Currency& Value) const;

 private:
  // MinValue..MaxValue when either is set, else what the field holds.
  void Limits(TBcd& Low, TBcd& High) const;
  [[noreturn]] void BcdRangeError(const AnsiString& Value) const;

  bool FCurrency = false;
  int FPrecision = 0;
  Currency FMinValue, FMaxValue;
};

// DisplayValues "yes;no" gives the texts of true and false ("True;False").
class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* AOwner);
  int DataSize() const override { return 2; }
  const AnsiString& DisplayValues() const { return FDisplayValues; }
  void SetDisplayValues(const AnsiString& Value);

  // The text of the value.
  AnsiString AsString() const override;
  // "" clears; otherwise the start of the false or the true text, ignoring case.
  void SetAsString(const AnsiString& Value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool Value) override;
  Variant Value() const override;

 protected:
  int GetDefaultWidth() const override;
  void SetVarValue(const Variant& Value) override;

 private:
  AnsiString FDisplayValues;
  AnsiString FTextTrue = "True", FTextFalse = "False";
};

// Date-time, date and time fields; the text uses DisplayFormat for display,
// else the short date format, the long time format or both.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TComponent* AOwner);
  int DataSize() const override;
  const AnsiString& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const AnsiString& Value);

  AnsiString AsString() const override;
  void SetAsString(const AnsiString& Value) override;
  double AsFloat() const override;
  void SetAsFloat(double Value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime Value) override;
  Variant Value() const override;

 protected:
  TDateTimeField(TComponent* AOwner, TFieldType Type);
  int GetDefaultWidth() const override;
  void GetText(AnsiString& Text, bool DisplayText) const override;
  void SetVarValue(const Variant& Value) override;
  bool GetValue(TDateTime& Value) const;

 private:
  AnsiString FDisplayFormat;
};

class TDateField : public TDateTimeField {
 public:
  explicit TDateField(TComponent* AOwner);
};

class TTimeField : public TDateTimeField {
 public:
  explicit TTimeField(TComponent* AOwner);
};

// Bytes and varbytes: the value as a string of raw bytes.
class TBinaryField : public TField {
 public:
  AnsiString AsString() const override;
  // Longer data is cut to Size.
  void SetAsString(const AnsiString& Value) override;
  Variant Value() const override;

 protected:
  TBinaryField(TComponent* AOwner, TFieldType Type);
  void SetVarValue(const Variant& Value) override;
};

class TBytesField : public TBinaryField {
 public:
  explicit TBytesField(TComponent* AOwner);
  int DataSize() const override { return Size(); }
};

class TVarBytesField : public TBinaryField {
 public:
  explicit TVarBytesField(TComponent* AOwner);
  int DataSize() const override { return Size() + 2; }
};

// Blob fields read and write their value through the dataset's blob stream.
// The display text names the kind: "(BLOB)", or "(blob)" when null.
class TBlobField : public TField {
 public:
  explicit TBlobField(TComponent* AOwner);
  bool IsBlob() const override { return true; }
  TFieldType BlobType() const { return DataType(); }
  void SetBlobType(TFieldType Value);
  // Set by a blob stream that wrote the field; the dataset closes the blob
  // when the record is posted or cancelled.
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  int BlobSize() const;

  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream) const;
  // Writes an empty blob.
  void Clear() override;
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& Value) override;
  Variant Value() const override;

 protected:
  TBlobField(TComponent* AOwner, TFieldType Type);
  void GetText(AnsiString& Text, bool DisplayText) const override;
  void SetVarValue(const Variant& Value) override;
  virtual const char* KindName() const { return "BLOB"; }

 private:
  bool FModified = false;
};

class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TComponent* AOwner);

 protected:
  const char* KindName() const override { return "MEMO"; }
};

class TGraphicField : public TBlobField {
 public:
  explicit TGraphicField(TComponent* AOwner);

 protected:
  const char* KindName() const override { return "GRAPHIC"; }
};

// A date, time or date-time field's native value and TDateTime (rounded to
// the millisecond on the way in).
TDateTime NativeToDateTime(TFieldType Type, const void* Native);
void DateTimeToNative(TFieldType Type, TDateTime Value, void* Native);
// Whether the value falls on a calendar day from 0001-01-01 to 9999-12-31
// once rounded to the millisecond: what date fields hold.
bool DateTimeInRange(TDateTime Value);

// A field made of child fields (an ADT's members, an array's elements). The
// children are fields of the dataset in their own right, listed right after
// it and named after it ("ADDR.CITY", "PHONES[0]"); the values are theirs,
// this field holds none of its own.
class TObjectField : public TField {
 public:
  ~TObjectField() override;
  const std::vector<TField*>& ChildFields() const { return FChildFields; }
  // "(" + the children's texts separated by ", " + ")".
  AnsiString AsString() const override;
  // An array of the children's values.
  Variant Value() const override;
  void Clear() override;

 protected:
  TObjectField(TComponent* AOwner, TFieldType Type);
  // Null while every child is.
  bool GetIsNull() const override;

 private:
  friend class TField;
  friend class TFieldDef;
  std::vector<TField*> FChildFields;
};

class TADTField : public TObjectField {
 public:
  explicit TADTField(TComponent* AOwner) : TObjectField(AOwner, ftADT) {}
};

// Size: the number of elements.
class TArrayField : public TObjectField {
 public:
  explicit TArrayField(TComponent* AOwner) : TObjectField(AOwner, ftArray) {}
};

// The class a dataset creates for a field type by default; null for the
// types no field class stands for here.
TFieldClass DefaultFieldClass(TFieldType Type);

// A dataset's fields in their order. Names compare without case. The list
// does not own its fields, except that Clear frees them.
class TFields {
 public:
  explicit TFields(TDataSet* ADataSet) : FDataSet(ADataSet) {}
  TFields(const TFields&) = delete;
  TFields& operator=(const TFields&) = delete;
  ~TFields();

  TDataSet* DataSet() const { return FDataSet; }
  int Count() const { return static_cast<int>(FList.size()); }
  TField* Fields(int Index) const;
  TField* operator[](int Index) const { return Fields(Index); }
  void Add(TField* Field);
  void Remove(TField* Field);
  void Clear();
  int IndexOf(const TField* Field) const;
  TField* FindField(const AnsiString& FieldName) const;
  TField* FieldByName(const AnsiString& FieldName) const;
  TField* FieldByNumber(int FieldNo) const;
  void GetFieldNames(TStrings* List) const;
  void CheckFieldName(const AnsiString& FieldName) const;

 private:
  friend class TField;
  void SetFieldIndex(TField* Field, int Value);
  void Changed();

  TDataSet* FDataSet;
  std::vector<TField*> FList;
};
