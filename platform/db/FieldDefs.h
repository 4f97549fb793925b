// Field and index definitions: what a dataset's records consist of and
// which orders it offers, as collections owned by the dataset.
#pragma once

#include <functional>
#include <memory>

#include "db/DBTypes.h"
#include "db/Fields.h"
#include "rtl/Classes.h"

class TDataSet;
class TFieldDefs;

class TFieldDef : public TCollectionItem {
 public:
  explicit TFieldDef(TCollection* ACollection);
  ~TFieldDef() override;

  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& Value) { FName = Value; }
  AnsiString DisplayName() const override { return FName; }
  TFieldType DataType() const { return FDataType; }
  void SetDataType(TFieldType Value) { FDataType = Value; }
  int Size() const { return FSize; }
  void SetSize(int Value) { FSize = Value; }
  int Precision() const { return FPrecision; }
  void SetPrecision(int Value) { FPrecision = Value; }
  TFieldAttributes Attributes() const { return FAttributes; }
  void SetAttributes(TFieldAttributes Value) { FAttributes = Value; }
  bool Required() const { return FAttributes.Contains(faRequired); }
  void SetRequired(bool Value);
  // 1-based position among the definitions.
  int FieldNo() const { return FFieldNo; }
  void SetFieldNo(int Value) { FFieldNo = Value; }
  bool InternalCalcField() const { return FInternalCalcField; }
  void SetInternalCalcField(bool Value) { FInternalCalcField = Value; }
  // Definitions nested in an ADT or array definition.
  bool HasChildDefs() const;
  TFieldDefs* ChildDefs();

  // A field of the dataset's class for the type, named after the
  // definition, in the definitions' dataset; raises for a type without one.
  // An ADT or array definition makes its child fields too (see TObjectField).
  TField* CreateField(TComponent* AOwner);
  void Assign(TPersistent* Source) override;

 private:
  TField* CreateFieldNamed(TComponent* AOwner, TDataSet* DataSet, const AnsiString& FieldName);
  AnsiString FName;
  TFieldType FDataType = ftUnknown;
  int FSize = 0;
  int FPrecision = 0;
  TFieldAttributes FAttributes;
  int FFieldNo = 0;
  bool FInternalCalcField = false;
  std::unique_ptr<TFieldDefs> FChildDefs;
};

class TFieldDefs : public TOwnedCollection {
 public:
  // Owner: the dataset, or the parent definition of child definitions.
  TFieldDefs(TDataSet* ADataSet, TPersistent* AOwner);
  TDataSet* DataSet() const { return FDataSet; }
  TFieldDef* Items(int Index) const { return static_cast<TFieldDef*>(TCollection::Items(Index)); }
  TFieldDef* AddFieldDef();
  void Add(const AnsiString& Name, TFieldType DataType, int Size = 0, bool Required = false);
  int IndexOf(const AnsiString& Name) const;
  // Raises the field-not-found error for a missing name.
  TFieldDef* Find(const AnsiString& Name) const;
  // Read from the dataset unless up to date.
  void Update();
  bool Updated() const { return FUpdated; }
  void SetUpdated(bool Value) { FUpdated = Value; }

 private:
  TDataSet* FDataSet;
  bool FUpdated = false;
};

// Every definition with those nested in it, in the order of the record's
// values (an array's children once for each element), with the name of the
// field it stands for ("ADDR", "ADDR.CITY", "PHONES[0]") and that field's
// number, 1 for the first.
using TFieldDefVisit =
    std::function<void(TFieldDef* Def, const AnsiString& FieldName, int FieldNo)>;
void ForEachFieldDef(TFieldDefs* Defs, const TFieldDefVisit& Visit);
// How many entries ForEachFieldDef visits; past Limit the count stops at
// some number above it (nested arrays multiply fast).
int CountFieldDefEntries(TFieldDefs* Defs, int Limit);

class TIndexDef : public TCollectionItem {
 public:
  explicit TIndexDef(TCollection* ACollection) : TCollectionItem(ACollection) {}
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& Value) { FName = Value; }
  AnsiString DisplayName() const override { return FName; }
  // Field names separated by ';'.
  const AnsiString& Fields() const { return FFields; }
  void SetFields(const AnsiString& Value) { FFields = Value; }
  TIndexOptions Options() const { return FOptions; }
  void SetOptions(TIndexOptions Value) { FOptions = Value; }
  const AnsiString& DescFields() const { return FDescFields; }
  void SetDescFields(const AnsiString& Value) { FDescFields = Value; }
  const AnsiString& CaseInsFields() const { return FCaseInsFields; }
  void SetCaseInsFields(const AnsiString& Value) { FCaseInsFields = Value; }
  const AnsiString& Expression() const { return FExpression; }
  void SetExpression(const AnsiString& Value) { FExpression = Value; }
  void Assign(TPersistent* Source) override;

 private:
  AnsiString FName;
  AnsiString FFields;
  TIndexOptions FOptions;
  AnsiString FDescFields;
  AnsiString FCaseInsFields;
  AnsiString FExpression;
};

class TIndexDefs : public TOwnedCollection {
 public:
  explicit TIndexDefs(TDataSet* ADataSet);
  TDataSet* DataSet() const { return FDataSet; }
  TIndexDef* Items(int Index) const { return static_cast<TIndexDef*>(TCollection::Items(Index)); }
  TIndexDef* AddIndexDef();
  void Add(const AnsiString& Name, const AnsiString& Fields, TIndexOptions Options);
  int IndexOf(const AnsiString& Name) const;
  // Raises "index not found" for a missing name.
  TIndexDef* Find(const AnsiString& Name) const;
  bool Updated() const { return FUpdated; }
  void SetUpdated(bool Value) { FUpdated = Value; }

 private:
  TDataSet* FDataSet;
  bool FUpdated = false;
};
