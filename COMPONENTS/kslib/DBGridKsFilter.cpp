#include "DBGridKsFilter.h"

#include "DBGridKs.h"
#include "DBGridKsFilterRow.h"

// Reads the list's texts whenever the list source opens.
class TSTColumnFilterKs::TListLink : public TDataLink {
 public:
  explicit TListLink(TSTColumnFilterKs* Filter) : FFilter(Filter) {}

 protected:
  void ActiveChanged() override { FFilter->FillLists(); }

 private:
  TSTColumnFilterKs* FFilter;
};

TSTColumnFilterKs::TSTColumnFilterKs(TColumnKs* Column)
    : FColumn(Column),
      FListValues(std::make_unique<TStringList>()),
      FKeyValues(std::make_unique<TStringList>()),
      FListLink(std::make_unique<TListLink>(this)) {}

TSTColumnFilterKs::~TSTColumnFilterKs() = default;

void TSTColumnFilterKs::Assign(TPersistent* Source) {
  auto* Other = dynamic_cast<TSTColumnFilterKs*>(Source);
  if (!Other) return TPersistent::Assign(Source);
  FDataField = Other->FDataField;
  SetVisible(Other->FVisible);
  FKeyField = Other->FKeyField;
  FListField = Other->FListField;
  SetListSource(Other->ListSource());
}

TDataSource* TSTColumnFilterKs::ListSource() const { return FListLink->DataSource(); }

void TSTColumnFilterKs::SetListSource(TDataSource* Value) { FListLink->SetDataSource(Value); }

void TSTColumnFilterKs::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  if (TCustomDBGridKs* G = Grid()) G->LayoutChanged();
}

// The column's field in the grid's dataset when it is a lookup field.
TField* TSTColumnFilterKs::LookupField() const {
  TCustomDBGridKs* G = Grid();
  if (!G || !G->DataLink()->Active()) return nullptr;
  TDataSet* DataSet = G->DataLink()->DataSet();
  TField* Field = DataSet ? DataSet->FindField(FColumn->FieldName()) : nullptr;
  return Field && Field->Lookup() ? Field : nullptr;
}

AnsiString TSTColumnFilterKs::GetKeyField() const {
  if (!FKeyField.empty()) return FKeyField;
  TField* Field = LookupField();
  return Field ? Field->LookupKeyFields() : AnsiString();
}

AnsiString TSTColumnFilterKs::GetListField() const {
  if (!FListField.empty()) return FListField;
  TField* Field = LookupField();
  return Field ? Field->LookupResultField() : AnsiString();
}

TDataSet* TSTColumnFilterKs::GetListDataSet() const {
  if (ListSource()) return ListSource()->DataSet();
  TField* Field = LookupField();
  return Field ? Field->LookupDataSet() : nullptr;
}

AnsiString TSTColumnFilterKs::GetFilterFieldName() const {
  if (!FDataField.empty()) return FDataField;
  TField* Field = LookupField();
  return Field ? Field->KeyFields() : FColumn->FieldName();
}

Variant TSTColumnFilterKs::GetFilterValue1() const {
  return GetKeyField().empty() ? FExpression.Operand1 : FValue;
}

Variant TSTColumnFilterKs::GetFilterValue2() const { return FExpression.Operand2; }

bool TSTColumnFilterKs::CanShowValueList() const {
  if (ListSource()) return true;
  TCustomDBGridKs* G = Grid();
  return G && G->MemTableIntf();
}

AnsiString TSTColumnFilterKs::GetExpressionAsString() const {
  return FilterExpressionText(FExpression, ListSource() || !GetKeyField().empty());
}

AnsiString TSTColumnFilterKs::ParseExpressionText(const AnsiString& Text) {
  TSTFilterExpressionKs Parsed = FExpression;
  if (TField* Field = FColumn->GetField())
    Parsed.OperandType = FilterOperandTypeOf(Field->DataType());
  ParseFilterExpression(Text, Parsed);
  FExpression = std::move(Parsed);
  return GetExpressionAsString();
}

void TSTColumnFilterKs::BuildExpression(const AnsiString& Text) {
  const AnsiString Key = GetKeyField();
  if (Key.empty()) {
    ParseExpressionText(Text);
    FFilterText = Text;
    return;
  }
  // Without an open list there is no key to find: an old one would filter
  // by a text no longer shown.
  Variant Found = Variant::Null();
  TDataSet* List = GetListDataSet();
  if (!Text.empty() && List && List->Active()) Found = List->Lookup(GetListField(), Text, Key);
  ParseExpressionText("");
  FValue = Found;
  FExpression.OperandType = fotString;
  if (!Found.IsNull()) {
    FExpression.Operator1 = fopIn;
    FExpression.Operand1 = Text;
  } else if (!Text.empty()) {
    // The text stays in the cell, so the next exit looks it up again.
    FExpression.Operator1 = fopIsNull;
    FExpression.Operand1 = Text;
  }
  FFilterText = Text;
}

void TSTColumnFilterKs::ApplyFilterText(const AnsiString& Text) {
  BuildExpression(Text);
  TCustomDBGridKs* G = Grid();
  if (!G) return;
  G->Invalidate();
  // An open filter cell shows the condition as it now reads.
  int Open = G->FilterColumn();
  if (G->FilterEditor() && G->FilterEditor()->Visible() && Open >= 0 &&
      Open < G->Columns()->Count())
    G->ShowFilterEditor(Open);
}

void TSTColumnFilterKs::ClearValue() {
  FValue = Variant::Null();
  ApplyFilterText("");
}

std::unique_ptr<TDatasetFieldValueListKs> TSTColumnFilterKs::FillValueList() const {
  TCustomDBGridKs* G = Grid();
  TDataSet* List = ListSource() ? ListSource()->DataSet() : nullptr;
  if (!G || !G->DataLink()->Active() || !List || !List->Active()) return nullptr;
  const AnsiString Name = FListField.empty() ? FColumn->FieldName() : FListField;
  if (!List->FindField(Name)) return nullptr;
  auto Values = std::make_unique<TDatasetFieldValueListKs>();
  Values->SetDataSet(List);
  Values->SetFieldName(Name);
  return Values;
}

void TSTColumnFilterKs::FillLists() {
  if (!FListLink->Active() || FListField.empty() || FKeyField.empty()) return;
  TDataSet* List = FListLink->DataSet();
  // Read afresh: a list opened again must not hold its records twice.
  FListValues->Clear();
  FKeyValues->Clear();
  TField* Display = List->FieldByName(FListField);
  TField* Key = List->FieldByName(FKeyField);
  List->DisableControls();
  struct TControlsBack {
    TDataSet* List;
    ~TControlsBack() { List->EnableControls(); }
  } ControlsBack{List};
  try {
    for (List->First(); !List->Eof(); List->Next()) {
      FListValues->Add(VarToStr(Display->Value()));
      FKeyValues->Add(VarToStr(Key->Value()));
    }
  } catch (...) {
    List->First();
    throw;
  }
  List->First();
}

// ---- TSTDBGridKsFilter ----------------------------------------------------------

void TSTDBGridKsFilter::Assign(TPersistent* Source) {
  auto* Other = dynamic_cast<TSTDBGridKsFilter*>(Source);
  if (!Other) return TPersistent::Assign(Source);
  SetVisible(Other->FVisible);
  FLocal = Other->FLocal;
}

TPersistent* TSTDBGridKsFilter::GetOwner() { return FGrid; }

void TSTDBGridKsFilter::SetVisible(bool Value) {
  if (FVisible == Value) return;
  // The editor of a row that goes closes first, not left over the data.
  if (!Value && FGrid) FGrid->HideFilterEditor();
  FVisible = Value;
  if (!FGrid) return;
  FGrid->LayoutChanged();
  if (FGrid->EditorMode()) FGrid->UpdateEditor();
}
