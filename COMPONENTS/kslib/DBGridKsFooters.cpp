#include "COMPONENTS/kslib/DBGridKsFooters.h"

#include "COMPONENTS/kslib/DBGridKs.h"

TColumnFooterKs::TColumnFooterKs(TCollection* Collection) : TCollectionItem(Collection) {
  if (auto* Footers = dynamic_cast<TColumnFootersKs*>(Collection)) FColumn = Footers->Column();
  Init();
  if (TCustomDBGridKs* Grid = FColumn ? FColumn->GetGrid() : nullptr) Grid->InvalidateFooterRows();
}

TColumnFooterKs::TColumnFooterKs(TColumnKs* Column) : TCollectionItem(nullptr), FColumn(Column) {
  Init();
}

void TColumnFooterKs::Init() {
  FFont.OnChange = [this](TObject* Sender) { FontChanged(Sender); };
  Font();
}

TColumnFooterKs::~TColumnFooterKs() {
  if (TCustomDBGridKs* Grid = FColumn ? FColumn->GetGrid() : nullptr) Grid->InvalidateFooterRows();
  delete FSumItem;
}

void TColumnFooterKs::Notify() {
  if (FColumn) FColumn->ColumnChanged(true);
}

void TColumnFooterKs::FontChanged(TObject*) {
  if (FApplyingFont) return;
  FExplicit |= FontFlag;
  Notify();
}

TAlignment TColumnFooterKs::Alignment() const {
  if (FExplicit & AlignmentFlag) return FAlignment;
  TField* F = FColumn ? FColumn->GetField() : nullptr;
  return F ? F->Alignment() : taLeftJustify;
}

void TColumnFooterKs::SetAlignment(TAlignment Value) {
  if ((FExplicit & AlignmentFlag) && FAlignment == Value) return;
  FAlignment = Value;
  FExplicit |= AlignmentFlag;
  Notify();
}

bool TColumnFooterKs::AlignmentStored() const {
  if (!(FExplicit & AlignmentFlag)) return false;
  TField* F = FColumn ? FColumn->GetField() : nullptr;
  return FAlignment != (F ? F->Alignment() : taLeftJustify);
}

TColor TColumnFooterKs::Color() const {
  if (FExplicit & ColorFlag) return FColor;
  TCustomDBGridKs* Grid = FColumn ? FColumn->GetGrid() : nullptr;
  return Grid ? Grid->FooterColor() : clWindow;
}

void TColumnFooterKs::SetColor(TColor Value) {
  if ((FExplicit & ColorFlag) && FColor == Value) return;
  FColor = Value;
  FExplicit |= ColorFlag;
  Notify();
}

bool TColumnFooterKs::ColorStored() const {
  if (!(FExplicit & ColorFlag)) return false;
  TCustomDBGridKs* Grid = FColumn ? FColumn->GetGrid() : nullptr;
  return FColor != (Grid ? Grid->FooterColor() : clWindow);
}

TFont* TColumnFooterKs::Font() {
  if (!(FExplicit & FontFlag) && FColumn) {
    TCustomDBGridKs* Grid = FColumn->GetGrid();
    FApplyingFont = true;
    FFont.Assign(Grid ? Grid->FooterFont() : FColumn->Font());
    FApplyingFont = false;
  }
  return &FFont;
}

bool TColumnFooterKs::ToolTips() const {
  if (FExplicit & ToolTipsFlag) return FToolTips;
  TCustomDBGridKs* Grid = FColumn ? FColumn->GetGrid() : nullptr;
  return Grid && Grid->ColumnDefValues()->Footer()->ToolTips;
}

void TColumnFooterKs::SetToolTips(bool Value) {
  FToolTips = Value;
  FExplicit |= ToolTipsFlag;
}

void TColumnFooterKs::SetDisplayFormat(const AnsiString& Value) {
  if (Value == FDisplayFormat) return;
  FDisplayFormat = Value;
  Notify();
}

void TColumnFooterKs::SetEndEllipsis(bool Value) {
  FEndEllipsis = Value;
  Notify();
}

void TColumnFooterKs::SetWordWrap(bool Value) {
  FWordWrap = Value;
  Notify();
}

void TColumnFooterKs::SetValue(const AnsiString& Value) {
  FValue = Value;
  Notify();
}

void TColumnFooterKs::SetFieldName(const AnsiString& Value) {
  FFieldName = Value;
  UpdateSumBinding();
  Notify();
}

void TColumnFooterKs::SetValueType(TFooterValueType Value) {
  if (Value == FValueType) return;
  FValueType = Value;
  UpdateSumBinding();
  Notify();
}

void TColumnFooterKs::ResetToDefaults() {
  FExplicit = 0;
  Font();
  Notify();
}

void TColumnFooterKs::UpdateSumBinding() {
  TCustomDBGridKs* Grid = FColumn ? FColumn->GetGrid() : nullptr;
  if (!Grid) return;
  bool Aggregate = FValueType == fvtSum || FValueType == fvtAvg || FValueType == fvtCount;
  if (!Aggregate) {
    delete FSumItem;
    FSumItem = nullptr;
    return;
  }
  TDBSumCollection* Sums = Grid->SumList()->SumCollection();
  Sums->BeginUpdate();
  if (!FSumItem) FSumItem = Sums->Add();
  if (FValueType == fvtCount) {
    FSumItem->SetGroupOperation(goCount);
    FSumItem->SetFieldName("");
  } else {
    FSumItem->SetGroupOperation(FValueType == fvtSum ? goSum : goAvg);
    FSumItem->SetFieldName(FFieldName.empty() ? FColumn->FieldName() : FFieldName);
  }
  Sums->EndUpdate();
}

void TColumnFooterKs::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnFooterKs*>(Source);
  if (!S) return TCollectionItem::Assign(Source);
  if (S->FExplicit & AlignmentFlag) SetAlignment(S->FAlignment);
  if (S->FExplicit & ColorFlag) SetColor(S->FColor);
  if (S->FExplicit & FontFlag) FFont.Assign(&S->FFont);
  FEndEllipsis = S->FEndEllipsis;
  FFieldName = S->FFieldName;
  FValue = S->FValue;
  FWordWrap = S->FWordWrap;
  FDisplayFormat = S->FDisplayFormat;
  if (S->FExplicit & ToolTipsFlag) SetToolTips(S->FToolTips);
  FValueType = fvtNon;
  SetValueType(S->FValueType);
}

TColumnFootersKs::TColumnFootersKs(TColumnKs* Column)
    : TCollection(CollectionItemClass<TColumnFooterKs>()), FColumn(Column) {}
