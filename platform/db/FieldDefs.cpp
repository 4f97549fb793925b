#include "db/FieldDefs.h"

#include "db/DBConsts.h"
#include "db/DataSet.h"

namespace {

// Definitions are found by name without regard to case.
template <class Defs>
int IndexOfName(const Defs& Collection, const AnsiString& Name) {
  for (int i = 0; i < Collection.Count(); ++i)
    if (AnsiSameText(Collection.Items(i)->Name(), Name)) return i;
  return -1;
}

}  // namespace

TFieldDef::TFieldDef(TCollection* ACollection) : TCollectionItem(ACollection) {
  FFieldNo = Index() + 1;
}

TFieldDef::~TFieldDef() = default;

void TFieldDef::SetRequired(bool Value) {
  if (Value)
    FAttributes.Include(faRequired);
  else
    FAttributes.Exclude(faRequired);
}

bool TFieldDef::HasChildDefs() const { return FChildDefs && FChildDefs->Count() > 0; }

TFieldDefs* TFieldDef::ChildDefs() {
  if (!FChildDefs) {
    auto* owner = static_cast<TFieldDefs*>(Collection());
    FChildDefs = std::make_unique<TFieldDefs>(owner ? owner->DataSet() : nullptr, this);
  }
  return FChildDefs.get();
}

TField* TFieldDef::CreateField(TComponent* AOwner) {
  auto* defs = static_cast<TFieldDefs*>(Collection());
  TDataSet* dataSet = defs ? defs->DataSet() : nullptr;
  TFieldClass fieldClass =
      dataSet ? dataSet->GetFieldClass(FDataType) : DefaultFieldClass(FDataType);
  if (!fieldClass) DatabaseErrorFmt(SUnknownFieldType, {FName}, dataSet);
  TField* field = fieldClass(AOwner);
  try {
    if (field->DataType() != FDataType) field->SetDataType(FDataType);
    if (FSize != 0 || field->IsBlob()) field->SetSize(FSize);
    field->SetFieldName(FName);
    field->SetRequired(Required());
    field->SetReadOnly(FAttributes.Contains(faReadonly));
    if (FInternalCalcField) field->SetFieldKind(fkInternalCalc);
    if (auto* bcd = dynamic_cast<TBCDField*>(field)) bcd->SetPrecision(FPrecision);
    if (auto* f = dynamic_cast<TFloatField*>(field); f && FPrecision > 0)
      f->SetPrecision(FPrecision);
    field->SetDataSet(dataSet);
  } catch (...) {
    delete field;
    throw;
  }
  return field;
}

void TFieldDef::Assign(TPersistent* Source) {
  auto* def = dynamic_cast<TFieldDef*>(Source);
  if (!def) {
    TCollectionItem::Assign(Source);
    return;
  }
  FName = def->FName;
  FDataType = def->FDataType;
  FSize = def->FSize;
  FPrecision = def->FPrecision;
  FAttributes = def->FAttributes;
  FInternalCalcField = def->FInternalCalcField;
  if (def->HasChildDefs())
    ChildDefs()->Assign(def->FChildDefs.get());
  else if (FChildDefs)
    FChildDefs->Clear();
}

TFieldDefs::TFieldDefs(TDataSet* ADataSet, TPersistent* AOwner)
    : TOwnedCollection(AOwner, CollectionItemClass<TFieldDef>()), FDataSet(ADataSet) {}

TFieldDef* TFieldDefs::AddFieldDef() { return static_cast<TFieldDef*>(TCollection::Add()); }

void TFieldDefs::Add(const AnsiString& Name, TFieldType DataType, int Size, bool Required) {
  if (Name.empty()) DatabaseError(SFieldNameMissing, FDataSet);
  if (IndexOf(Name) >= 0) DatabaseErrorFmt(SDuplicateFieldName, {Name}, FDataSet);
  TFieldDef* def = AddFieldDef();
  def->SetName(Name);
  def->SetDataType(DataType);
  def->SetSize(Size);
  def->SetRequired(Required);
}

int TFieldDefs::IndexOf(const AnsiString& Name) const { return IndexOfName(*this, Name); }

TFieldDef* TFieldDefs::Find(const AnsiString& Name) const {
  int i = IndexOf(Name);
  if (i < 0) DatabaseErrorFmt(SFieldNotFound, {Name}, FDataSet);
  return Items(i);
}

void TFieldDefs::Update() {
  if (!FUpdated && FDataSet) {
    FDataSet->InitFieldDefs();
    FUpdated = true;
  }
}

void TIndexDef::Assign(TPersistent* Source) {
  auto* def = dynamic_cast<TIndexDef*>(Source);
  if (!def) {
    TCollectionItem::Assign(Source);
    return;
  }
  FName = def->FName;
  FFields = def->FFields;
  FOptions = def->FOptions;
  FDescFields = def->FDescFields;
  FCaseInsFields = def->FCaseInsFields;
  FExpression = def->FExpression;
}

TIndexDefs::TIndexDefs(TDataSet* ADataSet)
    : TOwnedCollection(ADataSet, CollectionItemClass<TIndexDef>()), FDataSet(ADataSet) {}

TIndexDef* TIndexDefs::AddIndexDef() { return static_cast<TIndexDef*>(TCollection::Add()); }

void TIndexDefs::Add(const AnsiString& Name, const AnsiString& Fields, TIndexOptions Options) {
  TIndexDef* def = AddIndexDef();
  def->SetName(Name);
  def->SetFields(Fields);
  def->SetOptions(Options);
}

int TIndexDefs::IndexOf(const AnsiString& Name) const { return IndexOfName(*this, Name); }

TIndexDef* TIndexDefs::Find(const AnsiString& Name) const {
  int i = IndexOf(Name);
  if (i < 0) DatabaseErrorFmt(SIndexNotFound, {Name}, FDataSet);
  return Items(i);
}
