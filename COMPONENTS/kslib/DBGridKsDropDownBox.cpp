#include "COMPONENTS/kslib/DBGridKsDropDownBox.h"

#include "COMPONENTS/kslib/DBLookupGridsKs.h"

TColumnDropDownBoxKs::TColumnDropDownBoxKs(TPersistent* Owner)
    : FOwner(Owner), FSpecRow(std::make_unique<TSpecRowKs>(nullptr)) {}

TColumnDropDownBoxKs::~TColumnDropDownBoxKs() = default;

void TColumnDropDownBoxKs::SetSpecRow(TSpecRowKs* Value) { FSpecRow->Assign(Value); }

TDBGridColumnsKs* TColumnDropDownBoxKs::Columns() {
  IDropDownBoxOwner* Owner = Intf();
  return Owner ? Owner->GetLookupGrid()->Columns() : nullptr;
}

void TColumnDropDownBoxKs::SetColumns(TDBGridColumnsKs* Value) {
  if (TDBGridColumnsKs* Own = Columns()) Own->Assign(Value);
}

bool TColumnDropDownBoxKs::ColumnsStored() {
  TDBGridColumnsKs* Own = Columns();
  return Own && Own->GetState() == csCustomized;
}

TColumnDefValuesKs* TColumnDropDownBoxKs::ColumnDefValues() {
  IDropDownBoxOwner* Owner = Intf();
  return Owner ? Owner->GetLookupGrid()->ColumnDefValues() : nullptr;
}

void TColumnDropDownBoxKs::SetColumnDefValues(TColumnDefValuesKs* Value) {
  if (TColumnDefValuesKs* Own = ColumnDefValues()) Own->Assign(Value);
}

void TColumnDropDownBoxKs::SetListSource(TDataSource* Value) {
  FListSource = Value;
  if (IDropDownBoxOwner* Owner = Intf()) Owner->SetListSource(Value);
}

TDBLookupGridKsOptions TColumnDropDownBoxKs::Options() {
  IDropDownBoxOwner* Owner = Intf();
  return Owner ? Owner->GetLookupOptions() : TDBLookupGridKsOptions{};
}

void TColumnDropDownBoxKs::SetOptions(TDBLookupGridKsOptions Value) {
  if (IDropDownBoxOwner* Owner = Intf()) Owner->SetLookupOptions(Value);
}

void TColumnDropDownBoxKs::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnDropDownBoxKs*>(Source);
  if (!S) return TPersistent::Assign(Source);
  SetAutoFitColWidths(S->AutoFitColWidths());
  SetListSource(S->ListSource());
  SetOptions(S->Options());
  SetUseMultiTitle(S->UseMultiTitle());
  SetSpecRow(S->SpecRow());
  if (S->ColumnsStored()) {
    SetColumns(S->Columns());
  } else if (TDBGridColumnsKs* Own = Columns()) {
    Own->Clear();
  }
}
