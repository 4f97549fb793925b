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

// The field name of a child definition of Parent (whose field is named
// ParentName), for one element of an array.
AnsiString ChildFieldName(TFieldDef* Parent, const AnsiString& ParentName, TFieldDef* Child,
                          int Element) {
  if (Parent->DataType() != ftArray) return ParentName + "." + Child->Name();
  AnsiString name = ParentName + "[" + IntToStr(Element) + "]";
  return Parent->ChildDefs()->Count() == 1 ? name : name + "." + Child->Name();
}

int ElementCount(TFieldDef* Def) { return Def->DataType() == ftArray ? Def->Size() : 1; }

void WalkFieldDefs(TFieldDefs* Defs, const AnsiString* ParentName, TFieldDef* Parent, int Element,
                   int& FieldNo, const TFieldDefVisit& Visit) {
  for (int i = 0; i < Defs->Count(); ++i) {
    TFieldDef* def = Defs->Items(i);
    AnsiString name = ParentName ? ChildFieldName(Parent, *ParentName, def, Element) : def->Name();
    Visit(def, name, FieldNo++);
    if (!def->HasChildDefs()) continue;
    for (int e = 0; e < ElementCount(def); ++e)
      WalkFieldDefs(def->ChildDefs(), &name, def, e, FieldNo, Visit);
  }
}

}  // namespace

void ForEachFieldDef(TFieldDefs* Defs, const TFieldDefVisit& Visit) {
  int fieldNo = 1;
  WalkFieldDefs(Defs, nullptr, nullptr, 0, fieldNo, Visit);
}

int CountFieldDefEntries(TFieldDefs* Defs, int Limit) {
  int count = 0;
  for (int i = 0; i < Defs->Count() && count <= Limit; ++i) {
    TFieldDef* def = Defs->Items(i);
    ++count;
    if (!def->HasChildDefs()) continue;
    for (int e = 0; e < ElementCount(def) && count <= Limit; ++e)
      count += CountFieldDefEntries(def->ChildDefs(), Limit - count);
  }
  return count;
}

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
  return CreateFieldNamed(AOwner, defs ? defs->DataSet() : nullptr, FName);
}

TField* TFieldDef::CreateFieldNamed(TComponent* AOwner, TDataSet* dataSet,
                                    const AnsiString& FieldName) {
  TFieldClass fieldClass =
      dataSet ? dataSet->GetFieldClass(FDataType) : DefaultFieldClass(FDataType);
  if (!fieldClass) DatabaseErrorFmt(SUnknownFieldType, {FName}, dataSet);
  TField* field = fieldClass(AOwner);
  try {
    if (field->DataType() != FDataType) field->SetDataType(FDataType);
    if (FSize != 0 || field->IsBlob()) field->SetSize(FSize);
    field->SetFieldName(FieldName);
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
  if (auto* object = dynamic_cast<TObjectField*>(field); object && HasChildDefs())
    for (int e = 0; e < ElementCount(this); ++e)
      for (int i = 0; i < FChildDefs->Count(); ++i) {
        TFieldDef* child = FChildDefs->Items(i);
        TField* made =
            child->CreateFieldNamed(AOwner, dataSet, ChildFieldName(this, FieldName, child, e));
        made->FParentField = object;
        object->FChildFields.push_back(made);
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
