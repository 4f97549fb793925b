#include "COMPONENTS/kslib/DBGridKsDataLink.h"

#include <algorithm>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBToolsKs.h"

TGridDataLinkKs::TGridDataLinkKs(TCustomDBGridKs* Grid) : FGrid(Grid) { SetVisualControl(true); }

TGridDataLinkKs::~TGridDataLinkKs() { ClearMapping(); }

bool TGridDataLinkKs::AddMapping(const AnsiString& FieldName) {
  if (FFieldCount >= MaxMapSize)
    throw EInvalidGridOperation("Требуется Grid для отображения более 256 колонок");
  TField* Field = nullptr;
  if (TDataSet* Data = DataSet())
    Field = SparseMap ? Data->FindField(FieldName) : Data->FieldByName(FieldName);
  if (FFieldCount == MapSize()) {
    int Size = MapSize() == 0 ? 8 : MapSize() * 2;
    if (FFieldCount >= Size) Size = FFieldCount + 1;
    FFieldMap.resize(std::min(Size, MaxMapSize), -1);
  }
  FFieldMap[FFieldCount] = Field ? Field->Index() : -1;
  if (Field) Field->FreeNotification(FGrid);
  ++FFieldCount;
  return true;
}

void TGridDataLinkKs::ClearMapping() {
  FFieldMap.clear();
  FFieldMap.shrink_to_fit();
  FFieldCount = 0;
}

TField* TGridDataLinkKs::GetFields(int I) const {
  if (I < 0 || I >= FFieldCount || FFieldMap[I] < 0 || !DataSet()) return nullptr;
  return DataSet()->Fields()->Fields(FFieldMap[I]);
}

bool TGridDataLinkKs::DefaultFields() const {
  bool Result = true;
  if (TDataSet* Data = DataSet()) Result = Data->DefaultFields();
  if (Result && SparseMap)
    for (int I = 0; I < FFieldCount; ++I)
      if (FFieldMap[I] < 0) return false;
  return Result;
}

void TGridDataLinkKs::Reset() {
  if (FModified) {
    RecordChanged(nullptr);
  } else if (TDataSet* Data = DataSet()) {
    Data->Cancel();
  }
}

void TGridDataLinkKs::ActiveChanged() {
  FGrid->LinkActive(Active());
  FModified = false;
}

void TGridDataLinkKs::DataSetChanged() {
  FGrid->SumListRecalcAndUpdate();
  FModified = false;
}

void TGridDataLinkKs::DataSetScrolled(int Distance) { FGrid->Scroll(Distance); }

void TGridDataLinkKs::EditingChanged() { FGrid->EditingChanged(); }

void TGridDataLinkKs::FocusControl(TField*& Field) {
  if (!Field) return;
  FGrid->SetSelectedField(Field);
  if (FGrid->SelectedField() == Field && FGrid->AcquireFocus()) {
    Field = nullptr;
    FGrid->ShowCellEditor();
    return;
  }
  for (int I = 0; I < FFieldCount; ++I) {
    TField* F = GetFields(I);
    if (!F || !F->Lookup() || AnsiCompareText(F->KeyFields(), Field->FieldName()) != 0) continue;
    FGrid->SetSelectedField(F);
    if (FGrid->SelectedField() == F && FGrid->AcquireFocus()) {
      Field = nullptr;
      FGrid->ShowCellEditor();
      return;
    }
  }
}

void TGridDataLinkKs::LayoutChanged() {
  bool Saved = FGrid->FLayoutFromDataset;
  FGrid->FLayoutFromDataset = true;
  try {
    FGrid->LayoutChanged();
  } catch (...) {
    FGrid->FLayoutFromDataset = Saved;
    throw;
  }
  FGrid->FLayoutFromDataset = Saved;
  TDataLink::LayoutChanged();
}

void TGridDataLinkKs::RecordChanged(TField* Field) {
  FGrid->FieldValueChanged(Field);
  FModified = false;
}

// The guard is cleared on every path: a write that raises leaves the edit
// marked, so the next post tries it again instead of dropping it.
void TGridDataLinkKs::UpdateData() {
  if (FInUpdateData) return;
  FInUpdateData = true;
  try {
    if (FModified) FGrid->SetEditCellValue();
  } catch (...) {
    FInUpdateData = false;
    throw;
  }
  FModified = false;
  FInUpdateData = false;
}
