#include "COMPONENTS/kslib/DBGridKsColumns.h"

#include <algorithm>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsFooters.h"
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"
#include "COMPONENTS/kslib/DBLookupGridsKs.h"
#include "COMPONENTS/uIterators.h"
#include "COMPONENTS/kslib/DbUtilsKs.h"
#include "SDS.h"
#include "forms/Menus.h"

namespace {

// The number types a column steps through and takes image indexes from.
bool IsPlainNumber(TFieldType Type) { return IsGroupNumericType(Type); }

// The dataset layer's record-state field and its list-record bit.
constexpr const char* StateFieldName = "SYS$STATE";
constexpr int32_t ListStateBit = 0x40000000;

std::vector<AnsiString> SplitNames(const AnsiString& Line) {
  std::vector<AnsiString> Names;
  size_t Start = 0;
  while (true) {
    size_t End = Line.find(';', Start);
    Names.push_back(Line.substr(Start, End == AnsiString::npos ? AnsiString::npos : End - Start));
    if (End == AnsiString::npos) return Names;
    Start = End + 1;
  }
}

bool NamesContain(const AnsiString& Line, const AnsiString& Text) {
  for (const AnsiString& Name : SplitNames(Line))
    if (AnsiCompareText(Name, Text) == 0) return true;
  return false;
}

}  // namespace

TFontMetricsKs MeasureFontKs(TFont* Font) {
  TWindowDC DC;
  TSelectObject Select(DC.Get(), Font->Handle());
  TFontMetricsKs Result;
  GetTextMetricsA(DC.Get(), &Result.Metrics);
  SIZE Extent{};
  GetTextExtentPoint32A(DC.Get(), "Wg", 2, &Extent);
  Result.TextHeight = Extent.cy;
  GetTextExtentPoint32A(DC.Get(), "0", 1, &Extent);
  Result.ZeroWidth = Extent.cx;
  return Result;
}

// --- grid-wide defaults

TAlignment TColumnTitleDefValuesKs::FallbackAlignment() const {
  return FGrid && FGrid->UseMultiTitle() ? taCenter : taLeftJustify;
}

TColor TColumnTitleDefValuesKs::FallbackColor() const {
  return FGrid ? FGrid->FixedColor() : clBtnFace;
}

TAlignment TColumnTitleDefValuesKs::Alignment() const {
  return FAlignmentSet ? FAlignment : FallbackAlignment();
}

void TColumnTitleDefValuesKs::SetAlignment(TAlignment Value) {
  if (FAlignmentSet && FAlignment == Value) return;
  FAlignment = Value, FAlignmentSet = true;
  if (FGrid) FGrid->LayoutChanged();
}

TColor TColumnTitleDefValuesKs::Color() const { return FColorSet ? FColor : FallbackColor(); }

void TColumnTitleDefValuesKs::SetColor(TColor Value) {
  if (FColorSet && FColor == Value) return;
  FColor = Value, FColorSet = true;
  if (FGrid) FGrid->Invalidate();
}

void TColumnTitleDefValuesKs::SetEndEllipsis(bool Value) {
  if (FEndEllipsis == Value) return;
  FEndEllipsis = Value;
  if (FGrid) FGrid->Invalidate();
}

void TColumnTitleDefValuesKs::SetOrientation(TTextOrientationKs Value) {
  if (FOrientation == Value) return;
  FOrientation = Value;
  if (FGrid) FGrid->LayoutChanged();
}

void TColumnTitleDefValuesKs::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnTitleDefValuesKs*>(Source);
  if (!S) return TPersistent::Assign(Source);
  if (S->FAlignmentSet) SetAlignment(S->FAlignment);
  if (S->FColorSet) SetColor(S->FColor);
  SetEndEllipsis(S->FEndEllipsis);
  FTitleButton = S->FTitleButton;
  FToolTips = S->FToolTips;
  SetOrientation(S->FOrientation);
}

void TColumnFooterDefValuesKs::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnFooterDefValuesKs*>(Source);
  if (!S) return TPersistent::Assign(Source);
  ToolTips = S->ToolTips;
}

TColumnDefValuesKs::TColumnDefValuesKs(TCustomDBGridKs* Grid) : FGrid(Grid), FTitle(Grid) {}

void TColumnDefValuesKs::SetRepainting(bool& Field, bool Value) {
  if (Field == Value) return;
  Field = Value;
  if (FGrid) FGrid->Invalidate();
}

void TColumnDefValuesKs::SetLayout(TTextLayout Value) {
  if (FLayout == Value) return;
  FLayout = Value;
  if (FGrid) FGrid->Invalidate();
}

void TColumnDefValuesKs::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnDefValuesKs*>(Source);
  if (!S) return TPersistent::Assign(Source);
  FTitle.Assign(&S->FTitle);
  SetAlwaysShowEditButton(S->FAlwaysShowEditButton);
  SetEndEllipsis(S->FEndEllipsis);
  FAutoDropDown = S->FAutoDropDown;
  FDblClickNextVal = S->FDblClickNextVal;
  FToolTips = S->FToolTips;
  FDropDownSizing = S->FDropDownSizing;
  FDropDownShowTitles = S->FDropDownShowTitles;
}

// --- title

TColumnTitleKs::TColumnTitleKs(TColumnKs* Column) : FColumn(Column) {
  FFont.OnChange = [this](TObject* Sender) { FontChanged(Sender); };
}

bool TColumnTitleKs::IsSet(TColumnKsValue Value) const {
  return FColumn->FExplicit.Contains(Value);
}

void TColumnTitleKs::Set(TColumnKsValue Value) { FColumn->FExplicit.Include(Value); }

void TColumnTitleKs::Changed() { FColumn->ColumnChanged(); }

void TColumnTitleKs::FontChanged(TObject*) {
  if (FApplyingFont) return;
  Set(cvTitleFont);
  FColumn->ColumnChanged(true);
}

AnsiString TColumnTitleKs::Caption() const {
  if (IsSet(cvTitleCaption)) return FCaption;
  if (TField* F = FColumn->GetField()) return F->DisplayLabel();
  return FColumn->FieldName();
}

void TColumnTitleKs::SetCaption(const AnsiString& Value) {
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  if (FColumn->FollowsField() && Grid && Grid->DataLink()->Active()) {
    if (TField* F = FColumn->GetField()) {
      F->SetDisplayLabel(Value);
      return;
    }
  }
  FColumn->SetExplicit(cvTitleCaption, FCaption, Value);
}

bool TColumnTitleKs::CaptionStored() const {
  if (!IsSet(cvTitleCaption)) return false;
  TField* F = FColumn->GetField();
  return FCaption != (F ? F->DisplayLabel() : FColumn->FieldName());
}

TAlignment TColumnTitleKs::Alignment() const {
  if (IsSet(cvTitleAlignment)) return FAlignment;
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  return Grid ? Grid->ColumnDefValues()->Title()->Alignment() : taLeftJustify;
}

void TColumnTitleKs::SetAlignment(TAlignment Value) {
  FColumn->SetExplicit(cvTitleAlignment, FAlignment, Value);
}

bool TColumnTitleKs::AlignmentStored() const {
  if (!IsSet(cvTitleAlignment)) return false;
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  return FAlignment != (Grid ? Grid->ColumnDefValues()->Title()->Alignment() : taLeftJustify);
}

TColor TColumnTitleKs::Color() const {
  if (IsSet(cvTitleColor)) return FColor;
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  return Grid ? Grid->ColumnDefValues()->Title()->Color() : clBtnFace;
}

void TColumnTitleKs::SetColor(TColor Value) { FColumn->SetExplicit(cvTitleColor, FColor, Value); }

bool TColumnTitleKs::ColorStored() const {
  if (!IsSet(cvTitleColor)) return false;
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  return FColor != (Grid ? Grid->ColumnDefValues()->Title()->Color() : clBtnFace);
}

TFont* TColumnTitleKs::Font() {
  if (!IsSet(cvTitleFont)) {
    TCustomDBGridKs* Grid = FColumn->GetGrid();
    FApplyingFont = true;
    FFont.Assign(Grid ? Grid->TitleFont() : FColumn->Font());
    FApplyingFont = false;
  }
  return &FFont;
}

bool TColumnTitleKs::EndEllipsis() const {
  if (IsSet(cvTitleEndEllipsis)) return FEndEllipsis;
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  return Grid && Grid->ColumnDefValues()->Title()->EndEllipsis();
}

void TColumnTitleKs::SetEndEllipsis(bool Value) {
  FColumn->SetExplicit(cvTitleEndEllipsis, FEndEllipsis, Value);
}

TTextOrientationKs TColumnTitleKs::Orientation() const {
  if (IsSet(cvTitleOrientation)) return FOrientation;
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  return Grid ? Grid->ColumnDefValues()->Title()->Orientation() : tohHorizontal;
}

void TColumnTitleKs::SetOrientation(TTextOrientationKs Value) {
  FColumn->SetExplicit(cvTitleOrientation, FOrientation, Value);
}

bool TColumnTitleKs::TitleButton() const {
  if (IsSet(cvTitleButton)) return FTitleButton;
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  return Grid && Grid->ColumnDefValues()->Title()->TitleButton();
}

void TColumnTitleKs::SetTitleButton(bool Value) {
  FColumn->SetExplicit(cvTitleButton, FTitleButton, Value);
}

bool TColumnTitleKs::ToolTips() const {
  if (IsSet(cvTitleToolTips)) return FToolTips;
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  return Grid && Grid->ColumnDefValues()->Title()->ToolTips();
}

void TColumnTitleKs::SetToolTips(bool Value) {
  FColumn->SetExplicit(cvTitleToolTips, FToolTips, Value, false);
}

void TColumnTitleKs::SetImageIndex(int Value) {
  FImageIndex = Value;
  if (TCustomDBGridKs* Grid = FColumn->GetGrid()) Grid->LayoutChanged();
}

void TColumnTitleKs::SetSortMarker(TSortMarkerKs Value) {
  if (FSortMarker == Value) return;
  FSortMarker = Value;
  auto* Columns = dynamic_cast<TDBGridColumnsKs*>(FColumn->Collection());
  if (!Columns || Columns->UpdateCount() > 0) return;
  TCustomDBGridKs* Grid = Columns->Grid();
  if (!Grid || !Grid->OptionsKs().Contains(dghMultiSortMarking)) {
    if (Value != smNoneKs) {
      for (int I = 0; I < Columns->Count(); ++I)
        if (Columns->Items(I) != FColumn) Columns->Items(I)->Title()->SetSortMarker(smNoneKs);
      FSortIndex = 1;
    } else {
      FSortIndex = 0;
    }
  } else if (Value != smNoneKs) {
    if (FSortIndex == 0) {
      int Count = 0;
      for (int I = 0; I < Columns->Count(); ++I)
        if (Columns->Items(I)->Title()->FSortIndex != 0) ++Count;
      FSortIndex = Count + 1;
    }
  } else {
    LeaveSortOrder();
  }
  if (Grid) Grid->SetSortMarkersFromIndex();
  Changed();
}

// The columns sorted after this one move up a place.
void TColumnTitleKs::LeaveSortOrder() {
  if (FSortIndex == 0) return;
  if (TCollection* Columns = FColumn->Collection()) {
    for (int I = 0; I < Columns->Count(); ++I) {
      TColumnTitleKs* T = static_cast<TColumnKs*>(Columns->Items(I))->Title();
      if (T->FSortIndex > FSortIndex) --T->FSortIndex;
    }
  }
  FSortIndex = 0;
}

// Only a marked column's index is another's to swap with.
void TColumnTitleKs::SetSortIndex(int Value) {
  Value = std::max(Value, 0);
  if (Value == FSortIndex) return;
  auto* Columns = dynamic_cast<TDBGridColumnsKs*>(FColumn->Collection());
  if (!Columns || Columns->UpdateCount() > 0) {
    FSortIndex = Value;
    return;
  }
  if (FSortMarker == smNoneKs || Value == 0) return;
  for (int I = 0; I < Columns->Count(); ++I) {
    TColumnTitleKs* Other = Columns->Items(I)->Title();
    if (Other == this || Other->FSortMarker == smNoneKs || Other->FSortIndex != Value) continue;
    Other->FSortIndex = FSortIndex;
    FSortIndex = Value;
    if (TCustomDBGridKs* Grid = Columns->Grid()) Grid->SetSortMarkersFromIndex();
    Changed();
    return;
  }
}

void TColumnTitleKs::ClickSortMarker(bool Add) {
  if (!Add) {
    if (auto* Columns = dynamic_cast<TDBGridColumnsKs*>(FColumn->Collection()))
      for (int I = 0; I < Columns->Count(); ++I)
        if (Columns->Items(I) != FColumn) Columns->Items(I)->Title()->SetSortMarker(smNoneKs);
  }
  switch (FSortMarker) {
    case smNoneKs:
      SetSortMarker(smDownKs);
      break;
    case smDownKs:
      SetSortMarker(smUpKs);
      break;
    case smUpKs:
      SetSortMarker(Add ? smNoneKs : smDownKs);
      break;
  }
}

int TColumnTitleKs::SortMarkerWidth() {
  if (FSortIndex == 0) return 0;
  bool Marker, Index;
  return SortMarkerReserve(FColumn->Width() - 4, Marker, Index);
}

int TColumnTitleKs::SortIndexWidth() {
  TCustomDBGridKs* Grid = FColumn->GetGrid();
  TFont* Font = DBGridKsUnit.SmallTitleFont;
  if (!Grid || !Font || Grid->SortMarkedColumns().size() < 2) return 0;
  AnsiString Text = std::to_string(FSortIndex);
  TWindowDC DC;
  TSelectObject Select(DC.Get(), Font->Handle());
  SIZE Extent{};
  GetTextExtentPoint32A(DC.Get(), Text.c_str(), static_cast<int>(Text.size()), &Extent);
  return Extent.cx;
}

int TColumnTitleKs::SortMarkerReserve(int Room, bool& DrawMarker, bool& DrawIndex) {
  constexpr int MarkerWidth = 16, MarkerGivenBack = 14;
  int IndexWidth = SortIndexWidth();
  DrawIndex = IndexWidth > 0;
  DrawMarker = true;
  int Reserve = MarkerWidth + IndexWidth;
  if (Reserve > Room) {
    Reserve -= MarkerGivenBack;
    DrawMarker = false;
  }
  if (Reserve > Room) {
    Reserve -= IndexWidth + 2;
    DrawIndex = false;
  }
  return Reserve;
}

void TColumnTitleKs::ResetTitle() {
  for (TColumnKsValue V : {cvTitleColor, cvTitleCaption, cvTitleAlignment, cvTitleFont,
                           cvTitleButton, cvTitleEndEllipsis, cvTitleToolTips, cvTitleOrientation})
    FColumn->FExplicit.Exclude(V);
  FCaption.clear();
  Font();
  Changed();
}

void TColumnTitleKs::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnTitleKs*>(Source);
  if (!S) return TPersistent::Assign(Source);
  if (S->IsSet(cvTitleAlignment)) SetAlignment(S->FAlignment);
  if (S->IsSet(cvTitleColor)) SetColor(S->FColor);
  if (S->IsSet(cvTitleCaption)) SetCaption(S->FCaption);
  if (S->IsSet(cvTitleFont)) FFont.Assign(&S->FFont);
  FHint = S->FHint;
  FImageIndex = S->FImageIndex;
  if (S->IsSet(cvTitleOrientation)) SetOrientation(S->FOrientation);
  FSortIndex = S->FSortIndex;
  FSortMarker = S->FSortMarker;
  if (S->IsSet(cvTitleButton)) SetTitleButton(S->FTitleButton);
  if (S->IsSet(cvTitleEndEllipsis)) SetEndEllipsis(S->FEndEllipsis);
  if (S->IsSet(cvTitleToolTips)) SetToolTips(S->FToolTips);
}

// --- column

TColumnKs::TColumnKs(TCollection* Collection) : TCollectionItem(Collection), FTitle(this) {
  FFont.OnChange = [this](TObject* Sender) { DefaultFontChanged(Sender); };
  FKeyList.OnChange = FPickList.OnChange = [this](TObject*) {
    if (TCustomDBGridKs* Grid = GetGrid()) Grid->Invalidate();
  };
  RefreshDefaultFont();
  FTitle.Font();
  FFooter = std::make_unique<TColumnFooterKs>(this);
  FFooters = std::make_unique<TColumnFootersKs>(this);
  FEditButtons =
      std::make_unique<TEditButtonsKs>(nullptr, CollectionItemClass<TVisibleEditButtonKs>());
  FEditButtons->OnChanged = [this](TObject*) { ColumnChanged(); };
  FMRUList = std::make_unique<TMRUListKs>(nullptr);
  FSTFilter = std::make_unique<TSTColumnFilterKs>(this);
  FDropDownBox = std::make_unique<TColumnDropDownBoxKs>(this);
  FDropDownSpecRow = std::make_unique<TSpecRowKs>(nullptr);
  FDropDownSpecRow->OnChanged = [this](TObject*) { SpecRowChanged(); };
  InitWidth = Width();
}

TColumnFooterKs* TColumnKs::GetFooter(int Index) const {
  return Index >= 0 && Index < FFooters->Count() ? FFooters->Items(Index) : FFooter.get();
}

void TColumnKs::UpdateSumBindings() {
  FFooter->UpdateSumBinding();
  for (int I = 0; I < FFooters->Count(); ++I) FFooters->Items(I)->UpdateSumBinding();
}

TColumnKs::~TColumnKs() {
  TCustomDBGridKs* Grid = GetGrid();
  if (Grid) {
    if (!Grid->ComponentState().Contains(csDestroying)) FTitle.LeaveSortOrder();
    Grid->SortMarkedColumns().Remove(this);
    Grid->VisibleColumns().Remove(this);
    if (Grid->Selection()) Grid->Selection()->Columns()->Remove(this);
  }
  delete FDropDownGrid;
}

TPopupDataGridKs* TColumnKs::GetPopupDataGrid() {
  // The grid owns the window too: its form is the popup's owner window.
  if (!FDropDownGrid) {
    FDropDownGrid = new TPopupDataGridKs(GetGrid());
    FDropDownGrid->SetSpecRow(FDropDownSpecRow.get());
  }
  return FDropDownGrid;
}

void TColumnKs::DropDown() {
  TCustomDBGridKs* Grid = GetGrid();
  auto* Editor = Grid && Grid->EditorMode()
                     ? dynamic_cast<TDBGridInplaceEdit*>(Grid->InplaceEditor())
                     : nullptr;
  if (Editor) Editor->DropDown();
}

void TColumnKs::SetDropDownSpecRow(TSpecRowKs* Value) { FDropDownSpecRow->Assign(Value); }

void TColumnKs::SpecRowChanged() {
  ColumnChanged();
  if (FDropDownGrid) FDropDownGrid->SetSpecRow(FDropDownSpecRow.get());
}

TCheckTitleKsBtnEvent& TColumnKs::OnDropDownBoxCheckButton() {
  return GetPopupDataGrid()->OnCheckButton;
}

TDrawColumnKsCellEvent& TColumnKs::OnDropDownBoxDrawColumnCell() {
  return GetPopupDataGrid()->OnDrawColumnCell;
}

TGetCellKsParamsEvent& TColumnKs::OnDropDownBoxGetCellParams() {
  return GetPopupDataGrid()->OnGetCellParams;
}

TNotifyEvent& TColumnKs::OnDropDownBoxSortMarkingChanged() {
  return GetPopupDataGrid()->OnSortMarkingChanged;
}

TTitleKsClickEvent& TColumnKs::OnDropDownBoxTitleBtnClick() {
  return GetPopupDataGrid()->OnTitleBtnClick;
}

void TColumnKs::SetListSource(TDataSource* Value) {
  if (TCustomDBGridKs* Grid = GetGrid(); Grid && Value) Value->FreeNotification(Grid);
}

TDBLookupGridKsOptions TColumnKs::GetLookupOptions() {
  return BitsToSet<TDBLookupGridKsOption>(GetPopupDataGrid()->LookupOptions());
}

void TColumnKs::SetLookupOptions(TDBLookupGridKsOptions Value) {
  GetPopupDataGrid()->SetLookupOptions(static_cast<uint8_t>(SetToBits(Value)));
}

TCustomDBGridKs* TColumnKs::GetGrid() const {
  auto* Columns = dynamic_cast<TDBGridColumnsKs*>(Collection());
  return Columns ? Columns->Grid() : nullptr;
}

template <class T>
void TColumnKs::SetExplicit(TColumnKsValue Flag, T& Field, const T& Value, bool Notify) {
  if (FExplicit.Contains(Flag) && Field == Value) return;
  Field = Value;
  FExplicit.Include(Flag);
  if (Notify) ColumnChanged();
}

void TColumnKs::RefreshDefaultFont() {
  TCustomDBGridKs* Grid = GetGrid();
  if (!Grid || FExplicit.Contains(cvFont)) return;
  FApplyingFont = true;
  FFont.Assign(Grid->Font());
  FApplyingFont = false;
}

void TColumnKs::DefaultFontChanged(TObject*) {
  if (FApplyingFont) return;
  FExplicit.Include(cvFont);
  ColumnChanged();
}

AnsiString TColumnKs::DisplayName() const {
  return FFieldName.empty() ? TCollectionItem::DisplayName() : FFieldName;
}

void TColumnKs::SetIndex(int Value) {
  TCustomDBGridKs* Grid = GetGrid();
  if (FollowsField() && Grid && Grid->DataLink()->Active()) {
    TField* Own = GetField();
    TField* There = Grid->GetFields(Value);
    if (Own && There && Own != There) Own->SetIndex(There->Index());
  }
  TCollectionItem::SetIndex(Value);
}

void TColumnKs::SetFieldName(const AnsiString& Value) {
  FFieldName = Value;
  TCustomDBGridKs* Grid = GetGrid();
  TField* F = nullptr;
  if (Grid && !Grid->Loading() && !Value.empty() && Grid->DataLink()->DataSet())
    F = Grid->DataLink()->DataSet()->FindField(Value);
  FField = nullptr;
  SetField(F);
  UpdateSumBindings();
  InitWidth = Width();
  ColumnChanged();
}

TField* TColumnKs::GetField() {
  if (FField || FFieldName.empty()) return FField;
  TCustomDBGridKs* Grid = GetGrid();
  TDataSet* DataSet = Grid ? Grid->DataLink()->DataSet() : nullptr;
  if (!DataSet || (!DataSet->Active() && DataSet->DefaultFields())) return nullptr;
  if (TField* F = DataSet->FindField(FFieldName)) {
    FField = F;
    FFieldName = F->FieldName();
    UpdateSumBindings();
  }
  return FField;
}

void TColumnKs::SetField(TField* Value) {
  if (FField == Value) return;
  FField = Value;
  if (Value) FFieldName = Value->FieldName();
  if (FollowsField()) {
    if (!Value) FFieldName.clear();
    ResetToDefaults();
    InitWidth = Width();
  }
  UpdateSumBindings();
  ColumnChanged();
}

TAlignment TColumnKs::Alignment() {
  if (FExplicit.Contains(cvAlignment)) return FAlignment;
  TField* F = GetField();
  return F ? F->Alignment() : taLeftJustify;
}

void TColumnKs::SetAlignment(TAlignment Value) {
  if (FollowsField()) {
    if (TField* F = GetField()) {
      F->SetAlignment(Value);
      return;
    }
  }
  SetExplicit(cvAlignment, FAlignment, Value);
}

bool TColumnKs::AlignmentStored() { return Stored(cvAlignment); }

TColor TColumnKs::Color() const {
  if (FExplicit.Contains(cvColor)) return FColor;
  TCustomDBGridKs* Grid = GetGrid();
  return Grid ? Grid->Color() : clWindow;
}

void TColumnKs::SetColor(TColor Value) { SetExplicit(cvColor, FColor, Value); }

bool TColumnKs::ColorStored() { return Stored(cvColor); }

bool TColumnKs::ReadOnly() {
  if (FExplicit.Contains(cvReadOnly)) return FReadOnly;
  TCustomDBGridKs* Grid = GetGrid();
  if (Grid && Grid->ReadOnly()) return true;
  TField* F = GetField();
  return F && F->ReadOnly();
}

void TColumnKs::SetReadOnly(bool Value) { SetExplicit(cvReadOnly, FReadOnly, Value); }

bool TColumnKs::ReadOnlyStored() { return Stored(cvReadOnly); }

void TColumnKs::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  ColumnChanged(true);
}

int TColumnKs::DefaultWidth() {
  TCustomDBGridKs* Grid = GetGrid();
  if (!Grid) return 64;
  TField* F = GetField();
  if (!F) return Grid->DefaultColWidth();
  TFontMetricsKs W = MeasureFontKs(Font());
  int Overhang = W.Metrics.tmOverhang;
  return (W.ZeroWidth - Overhang) * F->DisplayWidth() + Overhang + 4;
}

int TColumnKs::Width() { return FExplicit.Contains(cvWidth) ? FWidth : DefaultWidth(); }

void TColumnKs::SetWidth(int Value) {
  TCustomDBGridKs* Grid = GetGrid();
  if (FollowsField() && Grid) {
    TField* F = GetField();
    if (Grid->HandleAllocated() && F && Value >= 0) {
      TFontMetricsKs W = MeasureFontKs(Font());
      if (W.ZeroWidth > 0)
        F->SetDisplayWidth((W.Metrics.tmAveCharWidth / 2 + Value - W.Metrics.tmOverhang - 3) /
                           W.ZeroWidth);
    }
    if (Grid->LayoutFromDataset() && !FExplicit.Contains(cvWidth)) return;
  }
  if ((!FExplicit.Contains(cvWidth) && Value == DefaultWidth()) || Value == -1) {
    ColumnChanged();
    return;
  }
  FWidth = Value;
  FExplicit.Include(cvWidth);
  if (FMaxWidth >= 1 && FMaxWidth < FWidth) FWidth = FMaxWidth;
  if (FMinWidth > FWidth) FWidth = FMinWidth;
  ColumnChanged();
}

bool TColumnKs::WidthStored() { return Stored(cvWidth); }

void TColumnKs::SetMinWidth(int Value) {
  FMinWidth = Value;
  if (Value > 0 && Width() < Value) SetWidth(Value);
}

void TColumnKs::SetMaxWidth(int Value) {
  FMaxWidth = Value;
  if (Value > 0 && Width() > Value) SetWidth(Value);
}

int TColumnKs::ClampWidth(int Value) const {
  if (FMinWidth > 0 && FMinWidth > Value) return FMinWidth;
  if (FMaxWidth > 0 && FMaxWidth < Value) return FMaxWidth;
  return Value;
}

void TColumnKs::SetAutoFitColWidth(bool Value) {
  FAutoFitColWidth = Value;
  TCustomDBGridKs* Grid = GetGrid();
  if (Grid && Grid->AutoFitColWidths() && !Grid->Loading() && !Grid->Designing())
    SetWidth(InitWidth);
  ColumnChanged();
}

bool TColumnKs::ToolTips() const {
  if (FExplicit.Contains(cvToolTips)) return FToolTips;
  TCustomDBGridKs* Grid = GetGrid();
  return Grid && Grid->ColumnDefValues()->ToolTips();
}

void TColumnKs::SetToolTips(bool Value) { SetExplicit(cvToolTips, FToolTips, Value, false); }

const TColumnDefValuesKs* TColumnKs::Defaults() const {
  TCustomDBGridKs* Grid = GetGrid();
  return Grid ? Grid->ColumnDefValues() : nullptr;
}

bool TColumnKs::AlwaysShowEditButton() const {
  if (FExplicit.Contains(cvAlwaysShowEditButton)) return FAlwaysShowEditButton;
  return Defaults() && Defaults()->AlwaysShowEditButton();
}

void TColumnKs::SetAlwaysShowEditButton(bool Value) {
  SetExplicit(cvAlwaysShowEditButton, FAlwaysShowEditButton, Value);
}

bool TColumnKs::AutoDropDown() const {
  if (FExplicit.Contains(cvAutoDropDown)) return FAutoDropDown;
  return Defaults() && Defaults()->AutoDropDown();
}

void TColumnKs::SetAutoDropDown(bool Value) {
  SetExplicit(cvAutoDropDown, FAutoDropDown, Value, false);
}

bool TColumnKs::DblClickNextVal() const {
  if (FExplicit.Contains(cvDblClickNextVal)) return FDblClickNextVal;
  return Defaults() && Defaults()->DblClickNextVal();
}

void TColumnKs::SetDblClickNextVal(bool Value) {
  SetExplicit(cvDblClickNextVal, FDblClickNextVal, Value, false);
}

bool TColumnKs::DropDownShowTitles() const {
  if (FExplicit.Contains(cvDropDownShowTitles)) return FDropDownShowTitles;
  return Defaults() && Defaults()->DropDownShowTitles();
}

void TColumnKs::SetDropDownShowTitles(bool Value) {
  SetExplicit(cvDropDownShowTitles, FDropDownShowTitles, Value, false);
}

bool TColumnKs::DropDownSizing() const {
  if (FExplicit.Contains(cvDropDownSizing)) return FDropDownSizing;
  return Defaults() && Defaults()->DropDownSizing();
}

void TColumnKs::SetDropDownSizing(bool Value) {
  SetExplicit(cvDropDownSizing, FDropDownSizing, Value, false);
}

bool TColumnKs::EndEllipsis() const {
  if (FExplicit.Contains(cvEndEllipsis)) return FEndEllipsis;
  return Defaults() && Defaults()->EndEllipsis();
}

void TColumnKs::SetEndEllipsis(bool Value) { SetExplicit(cvEndEllipsis, FEndEllipsis, Value); }

bool TColumnKs::HighlightRequired() const {
  if (FExplicit.Contains(cvHighlightRequired)) return FHighlightRequired;
  return Defaults() && Defaults()->HighlightRequired();
}

void TColumnKs::SetHighlightRequired(bool Value) {
  SetExplicit(cvHighlightRequired, FHighlightRequired, Value);
}

TTextLayout TColumnKs::Layout() const {
  if (FExplicit.Contains(cvLayout)) return FLayout;
  return Defaults() ? Defaults()->Layout() : tlTop;
}

void TColumnKs::SetLayout(TTextLayout Value) { SetExplicit(cvLayout, FLayout, Value); }

bool TColumnKs::WordWrap() {
  if (FExplicit.Contains(cvWordWrap)) return FWordWrap;
  TField* F = GetField();
  if (!F) return false;
  TFieldType T = F->DataType();
  return T == ftString || T == ftMemo || T == ftFmtMemo || T == ftWideString;
}

// A value equal to what the column reads anyway sets no flag, except while
// the grid loads (the stored value is the column's own).
void TColumnKs::SetHideDuplicates(bool Value) {
  if (FHideDuplicates == Value) return;
  FHideDuplicates = Value;
  ColumnChanged();
}

void TColumnKs::GetColCellParams(bool EditMode, TColCellParamsKs* Params) {
  if (OnGetCellParams) OnGetCellParams(this, EditMode, Params);
}

void TColumnKs::SetWordWrap(bool Value) {
  TCustomDBGridKs* Grid = GetGrid();
  if (!FExplicit.Contains(cvWordWrap) && Value == WordWrap() && !(Grid && Grid->Loading())) return;
  SetExplicit(cvWordWrap, FWordWrap, Value);
}

TImeMode TColumnKs::ImeMode() const {
  if (FExplicit.Contains(cvImeMode)) return FImeMode;
  TCustomDBGridKs* Grid = GetGrid();
  return Grid ? Grid->OwnImeMode() : imDontCare;
}

void TColumnKs::SetImeMode(TImeMode Value) {
  if (!FExplicit.Contains(cvImeMode) && Value == ImeMode()) return;
  SetExplicit(cvImeMode, FImeMode, Value);
}

AnsiString TColumnKs::ImeName() const {
  if (FExplicit.Contains(cvImeName)) return FImeName;
  TCustomDBGridKs* Grid = GetGrid();
  return Grid ? Grid->OwnImeName() : AnsiString();
}

void TColumnKs::SetImeName(const AnsiString& Value) { SetExplicit(cvImeName, FImeName, Value); }

AnsiString TColumnKs::LookupDisplayFields() {
  if (FExplicit.Contains(cvLookupDisplayFields)) return FLookupDisplayFields;
  TField* F = GetField();
  return F && F->Lookup() ? F->LookupResultField() : AnsiString();
}

void TColumnKs::SetLookupDisplayFields(const AnsiString& Value) {
  SetExplicit(cvLookupDisplayFields, FLookupDisplayFields, Value);
}

bool TColumnKs::Stored(TColumnKsValue Flag) {
  if (!FExplicit.Contains(Flag)) return false;
  // What the property reads with the flag and without it.
  auto Differs = [&](auto Read) {
    auto Own = Read();
    FExplicit.Exclude(Flag);
    auto Fallback = Read();
    FExplicit.Include(Flag);
    return !(Own == Fallback);
  };
  switch (Flag) {
    case cvColor:
      return Differs([&] { return Color(); });
    case cvWidth:
      return Differs([&] { return Width(); });
    case cvFont:
      return true;
    case cvAlignment:
      return Differs([&] { return Alignment(); });
    case cvReadOnly:
      return Differs([&] { return ReadOnly(); });
    case cvWordWrap:
      return Differs([&] { return WordWrap(); });
    case cvImeMode:
      return Differs([&] { return ImeMode(); });
    case cvImeName:
      return Differs([&] { return ImeName(); });
    case cvLookupDisplayFields:
      return Differs([&] { return LookupDisplayFields(); });
    case cvCheckboxes:
      return Differs([&] { return Checkboxes(); });
    case cvAlwaysShowEditButton:
      return Differs([&] { return AlwaysShowEditButton(); });
    case cvEndEllipsis:
      return Differs([&] { return EndEllipsis(); });
    case cvAutoDropDown:
      return Differs([&] { return AutoDropDown(); });
    case cvDblClickNextVal:
      return Differs([&] { return DblClickNextVal(); });
    case cvToolTips:
      return Differs([&] { return ToolTips(); });
    case cvDropDownSizing:
      return Differs([&] { return DropDownSizing(); });
    case cvDropDownShowTitles:
      return Differs([&] { return DropDownShowTitles(); });
    case cvLayout:
      return Differs([&] { return Layout(); });
    case cvHighlightRequired:
      return Differs([&] { return HighlightRequired(); });
    default:
      return true;
  }
}

bool TColumnKs::Checkboxes() {
  if (FExplicit.Contains(cvCheckboxes)) return FCheckboxes;
  TField* F = GetField();
  return F && F->DataType() == ftBoolean;
}

void TColumnKs::SetCheckboxes(bool Value) { SetExplicit(cvCheckboxes, FCheckboxes, Value); }

void TColumnKs::SetButtonStyle(TColumnButtonStyleKs Value) {
  if (FButtonStyle == Value) return;
  FButtonStyle = Value;
  ColumnChanged();
}

void TColumnKs::SetNotInKeyListIndex(int Value) {
  FNotInKeyListIndex = Value;
  if (TCustomDBGridKs* Grid = GetGrid()) Grid->Invalidate();
}

void TColumnKs::SetDropDownWidth(int Value) {
  if (FDropDownWidth == Value) return;
  FDropDownWidth = Value;
  ColumnChanged();
}

// The grid keeps hearing of a list or menu a column let go: another column
// or the titles may still use it.
void TColumnKs::SetImageList(TImageList* Value) {
  TCustomDBGridKs* Grid = GetGrid();
  FImageList = Value;
  if (Value && Grid) Value->FreeNotification(Grid);
  if (Grid) Grid->Invalidate();
}

void TColumnKs::SetShowImageAndText(bool Value) {
  if (FShowImageAndText == Value) return;
  FShowImageAndText = Value;
  ColumnChanged();
}

void TColumnKs::SetPopupMenu(TPopupMenu* Value) {
  TCustomDBGridKs* Grid = GetGrid();
  FPopupMenu = Value;
  if (Value && Grid) Value->FreeNotification(Grid);
}

void TColumnKs::SetDisplayFormat(const AnsiString& Value) {
  if (FDisplayFormat == Value) return;
  FDisplayFormat = Value;
  ColumnChanged();
}

AnsiString FormatFieldValue(TField* Field, const AnsiString& Format, const Variant& Value) {
  if (VarIsClear(Value) || VarIsNull(Value)) return "";
  switch (FilterOperandTypeOf(Field->DataType())) {
    case fotNumber:
      return FormatFloat(Format, Value.AsDouble());
    case fotDateTime: {
      AnsiString Text;
      DateTimeToString(Text, Format, Value.AsDateTime());
      return Text;
    }
    default:
      return "";
  }
}

AnsiString FormatFieldText(TField* Field, const AnsiString& Format) {
  if (Format.empty()) return Field->DisplayText();
  return FormatFieldValue(Field, Format, Field->Value());
}

AnsiString TColumnKs::ValueDisplayText(const Variant& Value) {
  TField* F = GetField();
  if (F && F->FieldName() == StateFieldName) return StateText(Value);
  if (FKeyList.Count() > 0) return PickedText(VarToStr(Value));
  if (!F || FDisplayFormat.empty()) return VarToStr(Value);
  return FormatFieldValue(F, FDisplayFormat, Value);
}

int TColumnKs::GetCellImageIndex() {
  TField* F = GetField();
  if (!F) return FNotInKeyListIndex;
  int Index = -1;
  if (FKeyList.Count() > 0) {
    Index = FKeyList.IndexOf(F->Text());
  } else if (FPickList.Count() > 0) {
    Index = FPickList.IndexOf(F->Text());
  } else if (FImageList && !F->IsNull() && IsPlainNumber(F->DataType())) {
    // Only a column with images reads a number as one; a number beyond
    // the indexes shows none.
    const double Value = F->AsFloat();
    if (Value >= INT32_MIN && Value <= INT32_MAX) Index = F->AsInteger();
  }
  return Index == -1 ? FNotInKeyListIndex : Index;
}

int TColumnKs::EditButtonsWidth() {
  TCustomDBGridKs* Grid = GetGrid();
  if (!Grid) return 0;
  int Width = 0;
  for (const TCustomDBGridKs::TCellButton& Button : Grid->CellButtons(this)) Width += Button.Width;
  return Width;
}

int TColumnKs::GetColumnType() {
  TField* F = GetField();
  if (Checkboxes()) return 5;
  if (F && F->Lookup()) return 2;
  if (FPickList.Count() > 0 && FKeyList.Count() == 0) return 1;
  if (FImageList && !FShowImageAndText) return 4;
  if (FKeyList.Count() > 0 && FPickList.Count() > 0) return 3;
  return 0;
}

AnsiString TColumnKs::GetDisplayText() {
  TField* F = GetField();
  if (!F || GetColumnType() == 4) return "";
  if (F->FieldName() == StateFieldName) return StateText(F->Value());
  TCustomDBGridKs* Grid = GetGrid();
  if (FKeyList.Count() > 0) return PickedText(F->Text());
  if (Grid && Grid->DrawMemoText() && F->IsBlob()) return F->AsString();
  if (SpecRowStandsFor(F)) return FDropDownSpecRow->CellText(0);
  return FormatFieldText(F, FDisplayFormat);
}

// A lookup cell shows the special row's text for the row's value, and for
// no value at all unless the row keeps to the key list.
bool TColumnKs::SpecRowStandsFor(TField* F) {
  if (!F->Lookup() || !FDropDownSpecRow->Visible()) return false;
  TDataSet* Keys = F->DataSet();
  if (!F->KeyFields().empty() && Keys &&
      VarEqualsKs(FDropDownSpecRow->Value(), Keys->FieldValues(F->KeyFields())))
    return true;
  TDataSet* List = F->LookupDataSet();
  return FDropDownSpecRow->ShowIfNotInKeyList() && (F->IsNull() || !List || !List->Active());
}

AnsiString StateText(const Variant& Value) {
  bool Plus = !VarIsClear(Value) && !VarIsNull(Value) && !(Value.AsInteger() & ListStateBit);
  return Plus ? "+" : "";
}

AnsiString TColumnKs::PickedText(const AnsiString& Key) {
  int I = FKeyList.IndexOf(Key);
  if (I >= 0 && I < FPickList.Count()) return FPickList.Strings(I);
  if (FNotInKeyListIndex >= 0 && FNotInKeyListIndex < FPickList.Count())
    return FPickList.Strings(FNotInKeyListIndex);
  return "";
}

TCheckBoxState TColumnKs::GetCheckboxState() {
  TField* F = GetField();
  if (!F) return cbUnchecked;
  if (F->IsNull()) return cbGrayed;
  if (F->DataType() == ftBoolean) return F->AsBoolean() ? cbChecked : cbUnchecked;
  // No first line names no checked value: grayed, as for any other text.
  if (FKeyList.Count() == 0) return cbGrayed;
  AnsiString Text = F->Text();
  if (NamesContain(FKeyList.Strings(0), Text)) return cbChecked;
  if (FKeyList.Count() < 2) return cbGrayed;
  return NamesContain(FKeyList.Strings(1), Text) ? cbUnchecked : cbGrayed;
}

void TColumnKs::FillColCellParams(TColCellParamsKs* Params) {
  Params->Row = Params->Col = -1;
  Params->State = 0;
  Params->Font = Font();
  Params->Background = Color();
  Params->Alignment = Alignment();
  Params->ImageIndex = GetCellImageIndex();
  Params->Text = GetDisplayText();
  Params->CheckboxState = GetCheckboxState();
  Params->ReadOnly = ReadOnly();
}

void TColumnKs::OptimizeWidth() {
  TCustomDBGridKs* Grid = GetGrid();
  if (!Grid) return;
  TColumnsKsList Only;
  Only.push_back(this);
  Grid->OptimizeColsWidth(Only);
}

void TColumnKs::ResetToDefaults() {
  FTitle.ResetTitle();
  FExplicit = {};
  RefreshDefaultFont();
  FPickList.Clear();
  FKeyList.Clear();
  FButtonStyle = cbsAuto;
  ColumnChanged();
}

void TColumnKs::Assign(TPersistent* Source) {
  auto* S = dynamic_cast<TColumnKs*>(Source);
  if (!S) return TCollectionItem::Assign(Source);
  TCollection* Owner = Collection();
  if (Owner) Owner->BeginUpdate();
  ResetToDefaults();
  FFieldName = S->FFieldName;
  FField = nullptr;
  if (S->FExplicit.Contains(cvColor)) SetColor(S->FColor);
  if (S->FExplicit.Contains(cvWidth)) SetWidth(S->FWidth);
  if (S->FExplicit.Contains(cvFont)) FFont.Assign(&S->FFont);
  if (S->FExplicit.Contains(cvAlignment)) SetExplicit(cvAlignment, FAlignment, S->FAlignment);
  if (S->FExplicit.Contains(cvReadOnly)) SetReadOnly(S->FReadOnly);
  if (S->FExplicit.Contains(cvCheckboxes)) SetCheckboxes(S->FCheckboxes);
  FTitle.Assign(&S->FTitle);
  FButtonStyle = S->FButtonStyle;
  FPickList.Assign(&S->FPickList);
  SetPopupMenu(S->FPopupMenu);
  InitWidth = S->InitWidth;
  FAutoFitColWidth = S->FAutoFitColWidth;
  FKeyList.Assign(&S->FKeyList);
  // The grid-default properties the source has set.
  auto Copy = [&](TColumnKsValue Flag, auto& Field, const auto& From) {
    if (!S->FExplicit.Contains(Flag)) return;
    Field = From;
    FExplicit.Include(Flag);
  };
  Copy(cvImeMode, FImeMode, S->FImeMode);
  Copy(cvImeName, FImeName, S->FImeName);
  Copy(cvToolTips, FToolTips, S->FToolTips);
  Copy(cvLookupDisplayFields, FLookupDisplayFields, S->FLookupDisplayFields);
  Copy(cvWordWrap, FWordWrap, S->FWordWrap);
  Copy(cvEndEllipsis, FEndEllipsis, S->FEndEllipsis);
  Copy(cvAutoDropDown, FAutoDropDown, S->FAutoDropDown);
  Copy(cvAlwaysShowEditButton, FAlwaysShowEditButton, S->FAlwaysShowEditButton);
  Copy(cvDblClickNextVal, FDblClickNextVal, S->FDblClickNextVal);
  Copy(cvDropDownSizing, FDropDownSizing, S->FDropDownSizing);
  Copy(cvDropDownShowTitles, FDropDownShowTitles, S->FDropDownShowTitles);
  Copy(cvLayout, FLayout, S->FLayout);
  Copy(cvHighlightRequired, FHighlightRequired, S->FHighlightRequired);
  Tag = S->Tag;
  FVisible = S->FVisible;
  FNotInKeyListIndex = S->FNotInKeyListIndex;
  FMinWidth = S->FMinWidth;
  FMaxWidth = S->FMaxWidth;
  FHideDuplicates = S->FHideDuplicates;
  FDisplayFormat = S->FDisplayFormat;
  EditMask = S->EditMask;
  OnGetCellParams = S->OnGetCellParams;
  OnCheckDrawRequiredState = S->OnCheckDrawRequiredState;
  OnUpdateData = S->OnUpdateData;
  OnEditButtonClick = S->OnEditButtonClick;
  OnEditButtonDown = S->OnEditButtonDown;
  OnNotInList = S->OnNotInList;
  FEditButtons->Assign(S->FEditButtons.get());
  FDropDownBox->Assign(S->FDropDownBox.get());
  FDropDownSpecRow->Assign(S->FDropDownSpecRow.get());
  FMRUList->Assign(S->FMRUList.get());
  FSTFilter->Assign(S->FSTFilter.get());
  FIncrement = S->FIncrement;
  FDropDownRows = S->FDropDownRows;
  FDropDownWidth = S->FDropDownWidth;
  SetImageList(S->FImageList);
  FShowImageAndText = S->FShowImageAndText;
  FFooter->Assign(S->FFooter.get());
  FFooters->Assign(S->FFooters.get());
  if (Owner) Owner->EndUpdate();
}

// --- lists and the collection

int TColumnsKsList::IndexOf(TColumnKs* Column) const {
  auto It = std::find(begin(), end(), Column);
  return It == end() ? -1 : static_cast<int>(It - begin());
}

bool TColumnsKsList::Remove(TColumnKs* Column) {
  auto It = std::find(begin(), end(), Column);
  if (It == end()) return false;
  erase(It);
  return true;
}

TDBGridColumnsKs::TDBGridColumnsKs(TCustomDBGridKs* Grid, TCollectionItemClass ItemClass)
    : TCollection(std::move(ItemClass)), FGrid(Grid) {}

TColumnKs* TDBGridColumnsKs::Add() {
  if (FGrid) FGrid->BeginLayout();
  TColumnKs* Column = nullptr;
  try {
    Column = static_cast<TColumnKs*>(TCollection::Add());
  } catch (...) {
    if (FGrid) FGrid->CancelLayout();
    throw;
  }
  if (FGrid) FGrid->EndLayout();
  return Column;
}

TColumnKs* TDBGridColumnsKs::AddUnstored() {
  TColumnKs* Column = Add();
  Column->FPersistent = false;
  return Column;
}

TDBGridColumnsState TDBGridColumnsKs::GetState() const {
  return Count() > 0 && Items(0)->PersistentColumn() ? csCustomized : csDefault;
}

void TDBGridColumnsKs::ClearFieldCaches() {
  for (int I = 0; I < Count(); ++I) Items(I)->ClearFieldCache();
}

void TDBGridColumnsKs::Update(TCollectionItem* Item) {
  if (!FGrid || FGrid->Loading()) return;
  if (auto* Column = static_cast<TColumnKs*>(Item)) {
    int Raw = FGrid->DataToRawColumn(Column->Index());
    if (Raw >= FGrid->ColCount()) return;
    FGrid->InvalidateCol(Raw);
    int GridWidth = FGrid->ColWidths(Raw);
    if (!FGrid->AutoFitColWidths() || FGrid->Designing()) {
      if (GridWidth == Column->Width()) {
        if (FGrid->UseMultiTitle()) FGrid->LayoutChanged();
      } else {
        int Width = Column->Visible()                       ? Column->Width()
                    : FGrid->Options().Contains(dgColLines) ? -1
                                                            : 0;
        FGrid->SetColWidths(Raw, Width);
      }
    } else if (GridWidth > 0) {
      int Old = Column->InitWidth;
      Column->InitWidth = MulDiv(Column->InitWidth, Column->Width(), GridWidth);
      if (Column->Index() < Count() - 1) {
        TColumnKs* Next = Items(Column->Index() + 1);
        Next->InitWidth = std::max(Next->InitWidth + Old - Column->InitWidth, 0);
      }
      FGrid->LayoutChanged();
    }
  } else {
    FGrid->SetSortMarkersFromIndex();
    FGrid->LayoutChanged();
  }
  // A hidden current column gives way to the first visible one.
  int Current = FGrid->SelectedIndex();
  if (Current >= 0 && Current < Count() && !Items(Current)->Visible()) {
    for (int I = 0; I < Count(); ++I) {
      if (!Items(I)->Visible()) continue;
      FGrid->SetSelectedIndex(I);
      break;
    }
  }
  if (FGrid->LayoutLock() == 0) FGrid->UpdateEditor();
}

// --- writing cells

bool TColumnKs::Modifiable(bool Stepping, bool WholeValue) {
  TCustomDBGridKs* Grid = GetGrid();
  if (Grid && (Grid->ReadOnly() || !Grid->DataLink()->Active() || Grid->DataLink()->ReadOnly()))
    return false;
  TField* F = GetField();
  if (ReadOnly() || !F) return false;
  TField* Tested = F;
  if (F->Lookup()) {
    if (F->KeyFields().empty()) return false;
    std::vector<TField*> Keys;
    F->DataSet()->GetFieldList(Keys, F->KeyFields());
    if (Keys.empty()) return false;
    for (TField* K : Keys)
      if (!K->CanModify()) return false;
    Tested = Keys[0];
  }
  if (!Tested->CanModify()) return false;
  if (Tested->IsBlob() && !WholeValue && !Tested->OnSetText &&
      (Stepping || !(Tested->DataType() == ftMemo && Grid && Grid->DrawMemoText())))
    return false;
  return !Grid || Grid->AllowedOperationsPermitEdit();
}

bool TColumnKs::CanModify(bool TryEdit) {
  if (!Modifiable(false)) return false;
  TCustomDBGridKs* Grid = GetGrid();
  if (!TryEdit || !Grid) return true;
  TGridDataLinkKs* Link = Grid->DataLink();
  Link->Edit();
  if (!Link->Editing()) return false;
  Link->Modified();
  return true;
}

TDataSet* TColumnKs::GetLookupListDataSet() {
  TField* F = GetField();
  TDataSource* Box = FDropDownBox->ListSource();
  TDataSet* List = Box && Box->DataSet() ? Box->DataSet()
                   : F && F->Lookup()    ? F->LookupDataSet()
                                         : nullptr;
  // A server dataset with a lookup clone lists through the clone: its own
  // cursor, filters and levels stay as its program left them.
  if (auto* Server = dynamic_cast<TSDS*>(List);
      Server && Server->Options().Contains(dsoLookupClone) && Server->LookupClone())
    List = Server->LookupClone();
  if (List && !List->Active()) List->Open();
  return List;
}

// The next line after the field's text, round at the ends; a text not in
// the list steps to the first (next) or the last (previous).
void TColumnKs::StepInList(TStrings* List, long double Step, bool AsText) {
  int Count = List->Count();
  if (Count == 0) return;
  TField* F = GetField();
  int I = List->IndexOf(F->Text());
  bool Next = Step == 1.0L;
  AnsiString Line;
  bool Wrapped = true;
  if ((I == -1 || I == Count - 1) && Next) {
    Line = List->Strings(0);
  } else if ((I == -1 || I == 0) && !Next) {
    Line = List->Strings(Count - 1);
  } else {
    Line = List->Strings(Next ? I + 1 : I - 1);
    Wrapped = false;
  }
  if (!AsText) {
    UpdateData(F->Text(), Variant(Line), false);
  } else if (Wrapped) {
    F->SetText(Line);
  } else {
    UpdateData(Line, Variant::Null(), true);
  }
}

void TColumnKs::StepLookup(long double Step) {
  TField* F = GetField();
  TDataSet* List = GetLookupListDataSet();
  Variant Key = F->DataSet()->FieldValues(F->KeyFields());
  bool Found = !Key.IsNull() && List->Locate(F->LookupKeyFields(), Key, {});
  if (!Found) {
    List->First();
  } else if (Step == 1.0L) {
    if (List->Eof()) {
      List->First();
    } else {
      List->Next();
      if (List->Eof()) List->First();
    }
  } else if (List->Bof()) {
    List->Last();
  } else {
    List->Prior();
    if (List->Bof()) List->Last();
  }
  UpdateData(F->Text(), List->FieldValues(F->LookupKeyFields()), false);
}

void TColumnKs::ApplyNextValue(long double Step) {
  if (!Modifiable(true) || !CanModify(true)) return;
  TField* F = GetField();
  TCustomDBGridKs* Grid = GetGrid();
  TInplaceEdit* Editor = Grid ? Grid->InplaceEditor() : nullptr;
  AnsiString Current = Editor && Editor->Visible() ? Editor->Text() : F->Text();
  switch (GetColumnType()) {
    case 5:
      SetCheckboxState(GetCheckboxState() == cbChecked ? cbUnchecked : cbChecked);
      return;
    case 3:
    case 4:
      StepInList(&FKeyList, Step, false);
      return;
    case 1:
      StepInList(&FPickList, Step, true);
      return;
    case 2:
      if (GetLookupListDataSet()) {
        StepLookup(Step);
        return;
      }
      break;
    default:
      break;
  }
  if (!IsPlainNumber(F->DataType())) return;
  Variant Next;
  TBcd StepBcd, Sum;
  auto* Bcd = dynamic_cast<TBCDField*>(F);
  if (Bcd && !F->IsNull()) {
    // Exactly: a double does not hold an 18-digit amount.
    if (!DoubleToBCD(static_cast<double>(Step), StepBcd) ||
        !BCDAdd(Bcd->AsBCD(), StepBcd, Bcd->Size(), Sum))
      return;
    Next = BCDToStr(Sum, FormatSettings.DecimalSeparator);
  } else {
    const long double Old = F->IsNull() ? -Step : static_cast<long double>(F->AsFloat());
    Next = static_cast<double>(Old + Step);
  }
  try {
    UpdateData(Current, Next, false);
  } catch (EDatabaseError&) {
    // The value stays as it was.
  }
}

void TColumnKs::SetCheckboxState(TCheckBoxState Value) {
  TField* F = GetField();
  if (!F || !CanModify(true)) return;
  if (Value == cbGrayed) {
    UpdateData("", Variant::Null(), false);
  } else if (F->DataType() == ftBoolean) {
    UpdateData("", Variant(Value == cbChecked), false);
  } else if (Value == cbChecked) {
    // Without a first line there is no checked value to write.
    if (FKeyList.Count() > 0) UpdateData(SplitNames(FKeyList.Strings(0))[0], Variant(), true);
  } else {
    AnsiString Line = FKeyList.Count() > 1 ? SplitNames(FKeyList.Strings(1))[0] : "";
    UpdateData(Line, Variant(), true);
  }
}

void TColumnKs::UpdateData(const AnsiString& AText, const Variant& AValue, bool AUseText) {
  TCustomDBGridKs* Grid = GetGrid();
  if (!Grid) return;
  AnsiString Text = AText;
  Variant Value = AValue;
  bool UseText = AUseText, Handled = false;
  if (OnUpdateData) {
    OnUpdateData(this, Text, Value, UseText, Handled);
    if (Handled) return;
  }
  WriteData(Text, Value, UseText);
  TInplaceEdit* Editor = Grid->InplaceEditor();
  if (FMRUList->Active() && FMRUList->AutoAdd() && Editor && Editor->Visible())
    FMRUList->AddMRUItem(Text);
}

void TColumnKs::WriteData(const AnsiString& Text, const Variant& Value, bool UseText) {
  TCustomDBGridKs* Grid = GetGrid();
  TField* F = GetField();
  if (!F) return;
  if (!UseText) {
    if (F->Lookup() && !F->KeyFields().empty()) {
      SetFieldValuesOrClear(F->DataSet(), F->KeyFields(), Value);
    } else {
      F->SetValue(Value);
    }
    return;
  }
  if (F->IsBlob() && Grid->DrawMemoText()) {
    F->SetAsString(Text);
  } else if (F->DataType() == ftDate || F->DataType() == ftDateTime) {
    if (Trim(Text) == ".  .") {
      F->SetText("");
      return;
    }
    TDateTime Date = StrToDateTime(Text);
    // A readable date the field cannot take is refused like an unreadable one.
    if (Date <= 2.0 || Date >= 90000.0)
      throw EConvertError(Format("'%s' не является корректным значением даты и времени", {Text}));
    F->SetAsDateTime(Date);
  } else {
    F->SetText(Text);
  }
}
