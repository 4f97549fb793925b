#include "MemTableFeatures.h"

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsFilter.h"
#include "zynMemTable.h"

void TMemTableFeatures::ApplyFilter(TCustomDBGridKs* Grid, TDataSet* DataSet, bool Active) {
  AnsiString Filter;
  for (int I = 0; I < Grid->Columns()->Count(); ++I) {
    TSTColumnFilterKs* Column = Grid->Columns()->Items(I)->STFilter();
    if (!Column) continue;
    // A value picked from a list filters by its key.
    TSTFilterExpressionKs Expr = Column->Expression();
    Expr.Operand1 = Column->GetFilterValue1();
    AnsiString Condition = FilterExpressionAsDatasetFilter(Column->GetFilterFieldName(), Expr);
    if (!Condition.empty()) Filter += (Filter.empty() ? "" : " AND ") + Condition;
  }
  DataSet->SetFiltered(false);
  DataSet->SetFilter(Filter);
  DataSet->SetFiltered(Active && !Filter.empty());
}

TMemTableFeaturesEntry::TMemTableFeaturesEntry() {
  auto Features = std::make_unique<TMemTableFeatures>();
  FFeatures = Features.get();
  // Its ancestors: the custom table, the dataset, component, persistent, object.
  RegisterDatasetFeatures(DatasetClassTest<TzynMemTable>(), 5, std::move(Features));
}

TMemTableFeaturesEntry::~TMemTableFeaturesEntry() { UnregisterDatasetFeatures(FFeatures); }
