#include "COMPONENTS/kslib/DBLookupGridsKs.h"

#include <algorithm>

#include "COMPONENTS/kslib/ToolCtrlsKs.h"

#include "URecordMarker.h"
#include "SDS.h"
#include "SDataSource.h"
#include "forms/Forms.h"

std::function<uint32_t()> LookupGridTickCount = [] { return static_cast<uint32_t>(GetTickCount()); };
TPopupMarkingKs PopupMarking;

namespace {

// One clock for all lookup grids: typing into a second list within the
// pause still extends the text.
uint32_t LastSearchTick = 0;
constexpr uint32_t SearchPause = 2000;
constexpr size_t MaxSearchText = 32;
constexpr UINT_PTR TrackTimerId = 7;
constexpr UINT WM_SIZEGRIPCORNER = WM_USER + 100;

// The controls' class with the popup's styles: the screen under it is
// saved and put back when it closes, instead of the windows below
// repainting.
const char* PopupGridClassName(const AnsiString& ControlClass) {
  static const char* Name = [&] {
    WNDCLASSA Class{};
    GetClassInfoA(GetModuleHandleA(nullptr), ControlClass.c_str(), &Class);
    Class.style = CS_SAVEBITS | CS_VREDRAW;
    Class.lpszClassName = "KsPopupDataGrid";
    RegisterClassA(&Class);
    return "KsPopupDataGrid";
  }();
  return Name;
}

const char* const CircularLinkMessage = "Циклические связи данных не разрешены";
const char* const LookupFieldPropertyMessage =
    "Свойство уже определено поисковым полем (lookup field)";
const char* const FixedSourceMessage = "Операция не разрешена в DBCtrlGrid";

AnsiString JoinFieldNames(const std::vector<TField*>& Fields) {
  AnsiString Names;
  for (TField* F : Fields) Names += (Names.empty() ? "" : ";") + F->FieldName();
  return Names;
}

// The special row's cell texts written back: an item with a separator or a
// quote goes in double quotes, a quote doubled.
AnsiString JoinCellsText(const std::vector<AnsiString>& Texts) {
  AnsiString Joined;
  for (size_t I = 0; I < Texts.size(); ++I) {
    const AnsiString& Text = Texts[I];
    if (I > 0) Joined += ';';
    if (Text.find_first_of(";\"") == AnsiString::npos) {
      Joined += Text;
      continue;
    }
    Joined += '"';
    for (char C : Text) Joined += C == '"' ? AnsiString("\"\"") : AnsiString(1, C);
    Joined += '"';
  }
  return Joined;
}

}  // namespace

// --- special-row cell

TGridColumnSpecCellKs::TGridColumnSpecCellKs(TColumnKs* Column) : FColumn(Column) {
  FFont.OnChange = [this](TObject*) {
    if (FRefreshingFont) return;
    FFontAssigned = true;
    Changed();
  };
}

TSpecRowKs* TGridColumnSpecCellKs::SpecRow() const {
  auto* Grid = FColumn ? dynamic_cast<TDBLookupGridKs*>(FColumn->GetGrid()) : nullptr;
  return Grid && dynamic_cast<TDBLookupGridColumnKs*>(FColumn) ? Grid->SpecRow() : nullptr;
}

void TGridColumnSpecCellKs::Changed() {
  if (TCustomDBGridKs* Grid = FColumn ? FColumn->GetGrid() : nullptr) Grid->Invalidate();
}

void TGridColumnSpecCellKs::Assign(TPersistent* Source) {
  auto* Other = dynamic_cast<TGridColumnSpecCellKs*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  SetText(Other->Text());
  SetColor(Other->Color());
  if (Other->FontAssigned()) SetFont(Other->Font());
}

AnsiString TGridColumnSpecCellKs::Text() const {
  TSpecRowKs* Row = SpecRow();
  return FTextAssigned || !Row ? FText : Row->CellText(FColumn->Index());
}

void TGridColumnSpecCellKs::SetText(const AnsiString& Value) {
  FText = Value;
  FTextAssigned = true;
  Changed();
}

TColor TGridColumnSpecCellKs::Color() const {
  TSpecRowKs* Row = SpecRow();
  return FColorAssigned || !Row ? FColor : Row->Color();
}

void TGridColumnSpecCellKs::SetColor(TColor Value) {
  FColor = Value;
  FColorAssigned = true;
  Changed();
}

TFont* TGridColumnSpecCellKs::Font() {
  TSpecRowKs* Row = SpecRow();
  if (!FFontAssigned && Row) {
    FRefreshingFont = true;
    FFont.Assign(Row->Font());
    FRefreshingFont = false;
  }
  return &FFont;
}

// --- lookup column and its defaults

TDBLookupGridColumnKs::TDBLookupGridColumnKs(TCollection* Collection)
    : TColumnKs(Collection), FSpecCell(this) {}

void TDBLookupGridColumnKs::Assign(TPersistent* Source) {
  TColumnKs::Assign(Source);
  if (auto* Other = dynamic_cast<TDBLookupGridColumnKs*>(Source)) FSpecCell.Assign(&Other->FSpecCell);
}

void TDBLookupGridColumnKs::SetIndex(int Value) {
  auto* Grid = dynamic_cast<TDBLookupGridKs*>(GetGrid());
  if (!Grid || !Grid->DataLink()->Active() || Value == Index()) {
    TColumnKs::SetIndex(Value);
    return;
  }
  Grid->MoveListColumn(this, Value);
}

TDBLookupGridColumnDefValuesKs::TDBLookupGridColumnDefValuesKs(TCustomDBGridKs* Grid)
    : TColumnDefValuesKs(Grid) {
  SetEndEllipsis(true);
  SetToolTips(true);
}

// --- data link of the edited record

void TLookupGridDataLinkKs::ActiveChanged() { FGrid->UpdateDataFields(); }
void TLookupGridDataLinkKs::LayoutChanged() { FGrid->UpdateDataFields(); }
void TLookupGridDataLinkKs::RecordChanged(TField* Field) { FGrid->DataRecordChanged(Field); }

void TLookupGridDataLinkKs::FocusControl(TField*& Field) {
  if (Field && !FGrid->DataFields().empty() && Field == FGrid->DataFields()[0] &&
      FGrid->CanFocus()) {
    Field = nullptr;
    FGrid->SetFocus();
  }
}

// --- creation

TDBLookupGridKs::TDBLookupGridKs(TComponent* AOwner) : TCustomDBGridKs(AOwner) {
  SetParentColor(false);
  FInternalSource = std::make_unique<TDataSource>(nullptr);
  FDataLink = std::make_unique<TLookupGridDataLinkKs>(this);
  FSpecRow = std::make_unique<TSpecRowKs>(this);
  FSpecRow->OnChanged = [this](TObject*) { SpecRowChanged(); };
  RecreateColumns();
  SetOptions({dgColumnResize, dgColLines, dgRowLines, dgRowSelect});
  TDBGridKsOptions Ks = OptionsKs();
  Ks.Include(dghTraceColSizing);
  // Enter takes the current record: as a Tab it would step the list to the
  // next one first.
  Ks.Exclude(dghEnterAsTab);
  SetOptionsKs(Ks);
  SetLookupOptions(7);
  SetFlat(true);
  SetDrawMemoText(true);
  SetTabStop(false);
  SetVTitleMargin(5);
  HorzScrollBar()->Tracking = true;
  VertScrollBar()->Tracking = true;
}

TDBLookupGridKs::~TDBLookupGridKs() {
  StopTracking();
  FDataLink->SetDataSource(nullptr);
  TCustomDBGridKs::SetDataSource(nullptr);
}

void TDBLookupGridKs::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomDBGridKs::Notification(AComponent, Operation);
  if (Operation == opRemove && FDataLink && AComponent == FDataLink->DataSource())
    SetDataSource(nullptr);
}

void TDBLookupGridKs::CreateParams(TCreateParams& Params) {
  TCustomDBGridKs::CreateParams(Params);
  // The list scrolls by records, under the grid's own rule.
  Params.Style |= WS_VSCROLL;
}

void TDBLookupGridKs::AfterCreateWnd() {
  TCustomDBGridKs::AfterCreateWnd();
  // The border is known only now.
  SetRowCount(FRowCount);
}

std::unique_ptr<TDBGridColumnsKs> TDBLookupGridKs::CreateColumns() {
  return std::make_unique<TDBGridColumnsKs>(this, CollectionItemClass<TDBLookupGridColumnKs>());
}

std::unique_ptr<TColumnDefValuesKs> TDBLookupGridKs::CreateColumnDefValues() {
  return std::make_unique<TDBLookupGridColumnDefValuesKs>(this);
}

// --- properties

void TDBLookupGridKs::SetDataSource(TDataSource* Value) {
  if (!(FDataLink->DataSourceFixed() && Loading())) FDataLink->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
}

void TDBLookupGridKs::CheckNotLookupField() {
  if (FLookupFieldMode) DatabaseError(LookupFieldPropertyMessage);
  if (FDataLink->DataSourceFixed()) DatabaseError(FixedSourceMessage);
}

void TDBLookupGridKs::SetListSource(TDataSource* Value) {
  CheckNotLookupField();
  TCustomDBGridKs::SetDataSource(Value);
}

void TDBLookupGridKs::SetDataFieldNames(const AnsiString& Value) {
  if (FDataFieldNames == Value) return;
  FDataFieldNames = Value;
  UpdateDataFields();
}

void TDBLookupGridKs::SetKeyFieldNames(const AnsiString& Value) {
  CheckNotLookupField();
  if (FKeyFieldNames == Value) return;
  FKeyFieldNames = Value;
  UpdateListFields();
  UpdateColumnWidths();
}

void TDBLookupGridKs::SetListFieldNames(const AnsiString& Value) {
  if (FListFieldNames == Value) return;
  FListFieldNames = Value;
  UpdateListFields();
  UpdateColumnWidths();
}

void TDBLookupGridKs::SetListFieldIndex(int Value) {
  if (FListFieldIndex == Value) return;
  FListFieldIndex = Value;
  UpdateListFields();
}

void TDBLookupGridKs::SetKeyValue(const Variant& Value) {
  if (VarEqualsKs(FKeyValue, Value)) return;
  FKeyValue = Value;
  KeyValueChanged();
}

void TDBLookupGridKs::SetLookupOptions(uint8_t Value) {
  FLookupOptions = Value;
  TDBGridOptions O = Options();
  auto Apply = [&](auto& Set, auto Option, int Bit) {
    if (Value & Bit) {
      Set.Include(Option);
    } else {
      Set.Exclude(Option);
    }
  };
  Apply(O, dgColumnResize, 1);
  Apply(O, dgColLines, 2);
  Apply(O, dgRowLines, 4);
  SetOptions(O);
  TDBGridKsOptions Ks = OptionsKs();
  Apply(Ks, dghAutoSortMarking, 8);
  Apply(Ks, dghMultiSortMarking, 16);
  SetOptionsKs(Ks);
  SetRowCount(FRowCount);
}

void TDBLookupGridKs::SetShowTitles(bool Value) {
  TDBGridOptions O = Options();
  if (Value) {
    O.Include(dgTitles);
  } else {
    O.Exclude(dgTitles);
  }
  SetOptions(O);
  SetRowCount(FRowCount);
}

void TDBLookupGridKs::SetScrollBarHidden(bool Value) {
  FScrollBarHidden = Value;
  HorzScrollBar()->SetVisible(!Value);
  SetRowCount(FRowCount);
  UpdateScrollBars();
  UpdateColumnWidths();
}

void TDBLookupGridKs::UpdateColumnWidths() {
  if (FFittingWidths) return;
  TFlagScope Fitting(FFittingWidths);
  if (FScrollBarHidden) {
    SetAutoFitColWidths(true);
    FFittedWidths.clear();
    for (int I = 0; I < Columns()->Count(); ++I)
      FFittedWidths.push_back(Columns()->Items(I)->Width());
    SetAutoFitColWidths(false);
  }
  SetRowCount(FRowCount);
}

int TDBLookupGridKs::GetColumnsWidth() {
  int Line = Options().Contains(dgColLines) ? GridLineWidth() : 0, Total = 0;
  for (int I = 0; I < Columns()->Count(); ++I) {
    TColumnKs* Column = Columns()->Items(I);
    if (!Column->Visible()) continue;
    bool Fitted = FScrollBarHidden && I < static_cast<int>(FFittedWidths.size());
    Total += (Fitted ? FFittedWidths[I] : Column->Width()) + Line;
  }
  return Total;
}

void TDBLookupGridKs::ColWidthsChanged() {
  TCustomDBGridKs::ColWidthsChanged();
  // A list without a horizontal scroll bar widens and narrows with the
  // column the user sizes, so no column is cut off.
  if (!FScrollBarHidden || !HandleAllocated() || GridState() != gsColSizing || FFittingWidths)
    return;
  TFlagScope Fitting(FFittingWidths);
  FFittedWidths.clear();
  for (int I = 0; I < Columns()->Count(); ++I) FFittedWidths.push_back(Columns()->Items(I)->Width());
  SetClientWidth(GetColumnsWidth());
}

void TDBLookupGridKs::SetUseMultiTitle(bool Value) {
  TCustomDBGridKs::SetUseMultiTitle(Value);
  SetRowCount(FRowCount);
}

// --- heights

int TDBLookupGridKs::BorderHeight() {
  return HandleAllocated() ? Height() - ClientHeight() : 0;
}

int TDBLookupGridKs::DataRowHeight() {
  return DefaultRowHeight() + (Options().Contains(dgRowLines) ? GridLineWidth() : 0);
}

int TDBLookupGridKs::SpecRowHeight() { return DataRowHeight(); }

int TDBLookupGridKs::TitleRowHeight() {
  return Options().Contains(dgTitles) ? RowHeights(0) : 0;
}

void TDBLookupGridKs::SetRowCount(int Value) {
  FRowCount = std::clamp(Value, 1, 100);
  int Lines = Options().Contains(dgRowLines) ? GridLineWidth() : 0;
  int Spec = FSpecRow->Visible() ? SpecRowHeight() : 0;
  SetHeight(TitleRowHeight() + Lines + FRowCount * DataRowHeight() + BorderHeight() + Spec);
}

void TDBLookupGridKs::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  // The base constructor places the control before the lookup parts exist.
  if (!FSpecRow) {
    TCustomDBGridKs::SetBounds(ALeft, ATop, AWidth, AHeight);
    return;
  }
  int Spec = FSpecRow->Visible() ? SpecRowHeight() : 0;
  int Row = std::max(DataRowHeight(), 1);
  int Fixed = TitleRowHeight() + BorderHeight() + Spec;
  FRowCount = std::max(1, (AHeight - Fixed) / Row);
  int Lines = Options().Contains(dgRowLines) ? GridLineWidth() : 0;
  TCustomDBGridKs::SetBounds(ALeft, ATop, AWidth, Fixed + FRowCount * Row + Lines);
}

int TDBLookupGridKs::ExtraTitleRowCount() {
  return TCustomDBGridKs::ExtraTitleRowCount() + (FSpecRow && FSpecRow->Visible() ? 1 : 0);
}

int TDBLookupGridKs::SpecGridRow() {
  if (!FSpecRow->Visible()) return -1;
  return Options().Contains(dgTitles) ? 1 : 0;
}

int TDBLookupGridKs::VisibleDataRows() { return DataLink()->BufferCount(); }

RECT TDBLookupGridKs::GetDataRowsRect() {
  TGridDrawInfo Info;
  CalcDrawInfo(Info);
  return RECT{0, Info.Vert.FixedBoundary, ClientWidth(), Info.Vert.ScrollLimit()};
}

bool TDBLookupGridKs::IsDataOrSpecRow(int ARow) {
  if (ARow < 0) return false;
  if (ARow == SpecGridRow()) return true;
  return DataLink()->Active() && ARow >= TitleOffset() &&
         ARow < TitleOffset() + DataLink()->RecordCount();
}

void TDBLookupGridKs::SpecRowChanged() {
  if (Loading()) return;
  LayoutChanged();
  SetRowCount(FRowCount);
  Invalidate();
}

// --- fields

void TDBLookupGridKs::UpdateDataFields() {
  FDataKeyFieldNames.clear();
  FDataFields.clear();
  FDataKeyFields.clear();
  TDataSet* Edited = FDataLink->DataSet();
  if (FDataLink->Active() && !FDataFieldNames.empty()) {
    if (ListSource() && ListSource()->IsLinkedTo(Edited)) DatabaseError(CircularLinkMessage);
    GetFieldsByNames(&FDataFields, Edited, this, FDataFieldNames);
    if (FDataFields.size() == 1 && FDataFields[0]->Lookup()) {
      GetFieldsByNames(&FDataKeyFields, Edited, this, FDataFields[0]->KeyFields());
    } else {
      FDataKeyFields = FDataFields;
    }
    FDataKeyFieldNames = JoinFieldNames(FDataKeyFields);
  }
  bool Mode = FDataFields.size() == 1 && FDataFields[0]->Lookup();
  if (Mode) {
    TField* Field = FDataFields[0];
    FLookupFieldMode = true;
    FKeyFieldNames = Field->LookupKeyFields();
    FInternalSource->SetDataSet(Field->LookupDataSet());
    if (ListSource() == FInternalSource.get()) {
      UpdateListFields();
    } else {
      TCustomDBGridKs::SetDataSource(FInternalSource.get());
    }
  } else if (FLookupFieldMode) {
    FLookupFieldMode = false;
    TCustomDBGridKs::SetDataSource(nullptr);
    FKeyFieldNames.clear();
    FInternalSource->SetDataSet(nullptr);
  }
  DataRecordChanged(nullptr);
}

void TDBLookupGridKs::DataRecordChanged(TField* Field) {
  if (Field && std::find(FDataKeyFields.begin(), FDataKeyFields.end(), Field) ==
                   FDataKeyFields.end())
    return;
  if (!FDataKeyFields.empty()) {
    SetKeyValue(FDataLink->DataSet()->FieldValues(FDataKeyFieldNames));
  } else {
    SetKeyValue(Variant::Null());
  }
}

void TDBLookupGridKs::UpdateListFields() {
  FListActive = false;
  FListField = nullptr;
  FListFields.clear();
  FKeyFields.clear();
  TDataSet* List = DataLink()->DataSet();
  if (DataLink()->Active() && !FKeyFieldNames.empty()) {
    if (ListSource()->IsLinkedTo(FDataLink->DataSet())) DatabaseError(CircularLinkMessage);
    GetFieldsByNames(&FKeyFields, List, this, FKeyFieldNames);
    GetFieldsByNames(&FListFields, List, this, FListFieldNames);
    if (FLookupFieldMode) {
      FListField = List->FieldByName(FDataFields[0]->LookupResultField());
      if (std::find(FListFields.begin(), FListFields.end(), FListField) == FListFields.end())
        FListFields.insert(FListFields.begin(), FListField);
    } else {
      if (FListFields.empty()) FListFields = FKeyFields;
      int Count = static_cast<int>(FListFields.size());
      FListField = FListFields[FListFieldIndex >= 0 && FListFieldIndex < Count ? FListFieldIndex : 0];
    }
    FListActive = true;
  }
  LayoutChanged();
  if (FListActive) {
    KeyValueChanged();
  } else {
    UpdateListPosition();
  }
}

void TDBLookupGridKs::GetDatasetFields(std::vector<TField*>& List) {
  List.insert(List.end(), FListFields.begin(), FListFields.end());
}

void TDBLookupGridKs::DefineFieldMap() {
  if (Columns()->GetState() == csCustomized || !FListActive) {
    TCustomDBGridKs::DefineFieldMap();
    return;
  }
  // The list names its fields: hidden ones show too.
  DataLink()->SparseMap = false;
  for (TField* F : FListFields) DataLink()->AddMapping(F->FieldName());
}

void TDBLookupGridKs::MoveListColumn(TColumnKs* Column, int Value) {
  BeginUpdate();
  try {
    TDBGridColumnsKs* Cols = Columns();
    TColumnKs* ListFieldColumn = nullptr;
    std::vector<AnsiString> Texts;
    for (int I = 0; I < Cols->Count(); ++I) {
      if (FListField && Cols->Items(I)->GetField() == FListField) ListFieldColumn = Cols->Items(I);
      Texts.push_back(FSpecRow->CellText(I));
    }
    int From = Column->Index();
    AnsiString Moved = Texts[From];
    Texts.erase(Texts.begin() + From);
    Texts.insert(Texts.begin() + std::clamp(Value, 0, static_cast<int>(Texts.size())), Moved);
    Column->TCollectionItem::SetIndex(Value);
    if (ListFieldColumn) FListFieldIndex = ListFieldColumn->Index();
    FSpecRow->SetCellsText(JoinCellsText(Texts));
    AnsiString Names;
    for (int I = 0; I < Cols->Count(); ++I)
      Names += (I > 0 ? ";" : "") + Cols->Items(I)->FieldName();
    SetListFieldNames(Names);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// --- key value

bool TDBLookupGridKs::CanModifyKey() {
  if (!FListActive || FDataLink->ReadOnly()) return false;
  if (!FDataLink->DataSource()) return true;
  return !FDataKeyFields.empty() &&
         std::all_of(FDataKeyFields.begin(), FDataKeyFields.end(),
                     [](TField* F) { return F->CanModify(); });
}

bool TDBLookupGridKs::KeyValueFitsFields(const std::vector<TField*>& Fields,
                                         const Variant& Value) {
  size_t N = Fields.size();
  if (N == 1) return !Value.IsArray();
  return N >= 2 && Value.IsArray() &&
         VarArrayHighBound(Value, 1) - VarArrayLowBound(Value, 1) == static_cast<int>(N) - 1;
}

bool TDBLookupGridKs::LocateKey() {
  TDataSet* List = ListDataSet();
  if (!List || !List->Active() || !KeyValueFitsFields(FKeyFields, FKeyValue)) return false;
  // The tree of a levelled list is keyed by its identity field only: a
  // list keyed by a code must not land on the record whose identity
  // equals the code.
  auto* Tree = dynamic_cast<TSDS*>(List);
  if (Tree && Tree->Options().Contains(dsoLevels) &&
      (Tree->LevelMode() == dslmDefault || Tree->LevelMode() == dslmShowOnlyLeveled) &&
      FKeyFields.size() == 1 && FKeyFields[0] == Tree->IDField() &&
      Tree->LocateInTree(FKeyValue.IsNull() ? 0 : FKeyValue.AsInt64()))
    return true;
  // A tree without a flat master cannot be searched: the key is looked for
  // among the records the list shows.
  return List->Locate(FKeyFieldNames, FKeyValue, {});
}

void TDBLookupGridKs::KeyValueChanged() {
  bool Found = FSelectingKey;
  if (FSpecRow->Visible()) {
    FSpecRowSelected = VarEqualsKs(FKeyValue, FSpecRow->Value());
    if (!FSelectingKey && !FSpecRowSelected && FSpecRow->ShowIfNotInKeyList()) {
      Found = LocateKey();
      if (Found) {
        UpdateListPosition();
      } else {
        FSpecRowSelected = true;
      }
    }
  } else {
    FSpecRowSelected = false;
  }
  if (FListActive && !FSelectingKey) {
    Found = LocateKey();
    if (!Found && !FSpecRowSelected) {
      ListDataSet()->First();
    } else {
      UpdateListPosition();
    }
  }
  // A key that is not in the list shows nothing, not the name of whatever
  // record the list stands on.
  if (FSpecRowSelected) {
    FDisplayText = FSpecRow->CellText(FListFieldIndex);
  } else if (FListField && Found) {
    FDisplayText = FListField->DisplayText();
  } else {
    FDisplayText.clear();
  }
  RecordChanged();
  Invalidate();
}

void TDBLookupGridKs::UpdateListPosition() {
  UpdateScrollBars();
  Invalidate();
}

void TDBLookupGridKs::SelectKeyValue(const Variant& Value) {
  if (FDataKeyFields.empty()) {
    SetKeyValue(Value);
  } else if (FDataLink->Edit()) {
    SetFieldsValues(FDataLink->DataSet(), FDataKeyFieldNames, Value);
  }
  RecordChanged();
  Invalidate();
  Click();
}

void TDBLookupGridKs::SelectCurrentListRecord() {
  TFlagScope Selecting(FSelectingKey);
  Variant Value = ListDataSet()->FieldValues(FKeyFieldNames);
  if (!VarEqualsKs(Value, FKeyValue)) SelectKeyValue(Value);
}

void TDBLookupGridKs::SelectSpecRow() {
  {
    TFlagScope Selecting(FSelectingKey);
    if (!VarEqualsKs(FSpecRow->Value(), FKeyValue)) SelectKeyValue(FSpecRow->Value());
  }
  FSpecRowSelected = true;
  FDisplayText = FSpecRow->CellText(FListFieldIndex);
  Invalidate();
}

// --- incremental search

void TDBLookupGridKs::ProcessSearchKey(char Key) {
  if (!FListField || FListField->DataType() != ftString ||
      (FListField->FieldKind() != fkData && FListField->FieldKind() != fkInternalCalc))
    return;
  if (Key == 8 || Key == 27) {
    FSearchText.clear();
    return;
  }
  if (static_cast<unsigned char>(Key) < 32 || !CanModifyKey()) return;
  uint32_t Now = LookupGridTickCount();
  if (Now - LastSearchTick > SearchPause) FSearchText.clear();
  LastSearchTick = Now;
  // A lead byte searches with its trail: the character message being
  // handled holds it, else it is taken from the queue here.
  AnsiString Typed(1, Key);
  if (SysLocaleFarEast() && IsLeadByte(Key)) {
    MSG Trail;
    if (TypedChar().size() == 2 && TypedChar()[0] == Key) {
      Typed = TypedChar();
    } else if (PeekMessageA(&Trail, Handle(), WM_CHAR, WM_CHAR, PM_REMOVE)) {
      if (Trail.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(Trail.wParam));
        return;
      }
      Typed += static_cast<char>(Trail.wParam);
    }
  }
  if (FSearchText.size() >= MaxSearchText) return;
  AnsiString Text = FSearchText + Typed;
  TDataSet* List = ListDataSet();
  if (!List->Locate(FListField->FieldName(), Text, {loCaseInsensitive, loPartialKey})) return;
  SelectKeyValue(List->FieldValues(FKeyFieldNames));
  FSearchText = Text;
}

// --- the list position

int TDBLookupGridKs::KeyBufferRow() {
  TGridDataLinkKs* Link = DataLink();
  if (!FListActive || !Link->Active()) return -1;
  for (int R = 0; R < Link->RecordCount(); ++R) {
    TActiveRecordScope Scope(Link, R);
    if (VarEqualsKs(Link->DataSet()->FieldValues(FKeyFieldNames), FKeyValue)) return R;
  }
  return -1;
}

void TDBLookupGridKs::RecordChanged() {
  FKeyRowCurrent = false;
  if (!FListActive || !HandleAllocated() || Loading()) return;
  int Found = KeyBufferRow();
  if (Found < 0) return;
  int Target = Found + TitleOffset();
  if (Target != Row() && Target < TCustomGrid::RowCount()) {
    if (!Options().Contains(dgAlwaysShowEditor)) HideEditor();
    MoveColRow(Col(), Target, false, false);
    UpdateEditor();
  }
  FKeyRowCurrent = true;
}

void TDBLookupGridKs::LinkActive(bool Value) {
  UpdateListFields();
  TCustomDBGridKs::LinkActive(Value);
  UpdateColumnWidths();
}

void TDBLookupGridKs::SumListRecalcAndUpdate() {
  TCustomDBGridKs::SumListRecalcAndUpdate();
  UpdateListPosition();
}

void TDBLookupGridKs::Scroll(int Distance) {
  BeginUpdate();
  try {
    TCustomDBGridKs::Scroll(Distance);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  UpdateListPosition();
}

void TDBLookupGridKs::UpdateRowLayout() {
  if (FInRowLayout) return;
  FInRowLayout = true;
  try {
    TCustomDBGridKs::UpdateRowLayout();
  } catch (...) {
    FInRowLayout = false;
    throw;
  }
  FInRowLayout = false;
  UpdateListPosition();
}

void TDBLookupGridKs::UpdateScrollBars() {
  TCustomDBGridKs::UpdateScrollBars();
  if (!HandleAllocated() || !DataLink()) return;
  SCROLLINFO New{sizeof New, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 2, 0, 0, 0};
  TDataSet* List = ListDataSet();
  TGridDataLinkKs* Link = DataLink();
  if (FListActive && List && List->Active()) {
    New.nMax = 0;
    if (List->IsSequenced()) {
      New.nPage = static_cast<UINT>(Link->BufferCount());
      New.nMax = std::max(List->RecordCount() - 1, 0);
      if (List->State() < dsEdit) New.nPos = std::max(List->RecNo() - Link->ActiveRecord() - 1, 0);
    } else if (Link->BufferCount() == Link->RecordCount()) {
      New.nMax = 4;
      New.nPos = List->Bof() ? 0 : List->Eof() ? 4 : 2;
    }
  }
  SCROLLINFO Old{sizeof Old, SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(Handle(), SB_VERT, &Old);
  if (Old.nMin != New.nMin || Old.nMax != New.nMax || Old.nPage != New.nPage ||
      Old.nPos != New.nPos)
    SetScrollInfo(Handle(), SB_VERT, &New, TRUE);
}

void TDBLookupGridKs::MoveList(int Distance, bool ToFirst, bool ToLast) {
  TDataSet* List = ListDataSet();
  if (!List || !List->Active()) return;
  FSearchText.clear();
  bool AtFirst = List->IsSequenced() ? List->RecNo() <= 1 : List->Bof();
  if (Distance < 0 && (AtFirst || FSpecRowSelected)) {
    if (FSpecRow->Visible()) SelectSpecRow();
    List->First();
    return;
  }
  if (ToFirst) {
    List->First();
  } else if (ToLast) {
    List->Last();
  } else if (FSpecRowSelected) {
    // Down from the special row: its first step lands on the first record.
    List->First();
    --Distance;
  } else {
    int Found = KeyBufferRow();
    if (Found < 0) {
      KeyValueChanged();
      return;
    }
    List->MoveBy(Found - DataLink()->ActiveRecord());
  }
  if (Distance != 0) List->MoveBy(Distance);
  SelectCurrentListRecord();
}

// --- keyboard

void TDBLookupGridKs::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (CanModifyKey()) {
    auto HorzCanScroll = [&] {
      SCROLLINFO SI{sizeof SI, SIF_RANGE, 0, 0, 0, 0, 0};
      return (GetWindowLongPtrA(Handle(), GWL_STYLE) & WS_HSCROLL) &&
             GetScrollInfo(Handle(), SB_HORZ, &SI) && SI.nMax > SI.nMin;
    };
    int Page = VisibleDataRows() - 1;
    bool Moved = true;
    switch (Key) {
      case VK_PRIOR:
        MoveList(-Page);
        break;
      case VK_NEXT:
        MoveList(Page);
        break;
      case VK_END:
        MoveList(0, false, true);
        break;
      case VK_HOME:
        MoveList(0, true);
        break;
      case VK_LEFT:
        Moved = !HorzCanScroll();
        if (Moved) MoveList(-1);
        break;
      case VK_UP:
        MoveList(-1);
        break;
      case VK_RIGHT:
        Moved = !HorzCanScroll();
        if (Moved) MoveList(1);
        break;
      case VK_DOWN:
        MoveList(1);
        break;
      default:
        Moved = false;
    }
    if (Moved) {
      Key = 0;
      return;
    }
  }
  TCustomDBGridKs::KeyDown(Key, Shift);
}

void TDBLookupGridKs::KeyPress(char& Key) {
  ProcessSearchKey(Key);
  Key = 0;
}

// --- mouse

void TDBLookupGridKs::SelectRowAtY(int Y) {
  int Spec = SpecGridRow();
  if (Spec >= 0) {
    RECT R = CellRect(LeftCol(), Spec);
    if (Y >= TitleRowHeight() && Y < R.bottom) {
      SelectSpecRow();
      return;
    }
  }
  Y = std::min(Y, ClientHeight() - 1);
  TGridCoord Cell = MouseCoord(CellRect(LeftCol(), TitleOffset()).left, Y);
  TGridDataLinkKs* Link = DataLink();
  if (!Link->Active() || Cell.Y < TitleOffset() || Cell.Y >= TitleOffset() + Link->RecordCount())
    return;
  ListDataSet()->MoveBy(Cell.Y - TitleOffset() - Link->ActiveRecord());
  SelectCurrentListRecord();
}

void TDBLookupGridKs::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGridCoord Cell = MouseCoord(X, Y);
  if (int Level = LevelOfRow(Cell.Y)) {
    // The editor that owns the list climbs one level per Esc.
    if (TWinControl* Target = LevelKeyTarget())
      for (int I = Level; I <= LevelRowCount(); ++I)
        PostMessageA(Target->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    TCustomDBGridKs::MouseDown(Button, Shift, X, Y);
    Invalidate();
    return;
  }
  if (!IsDataOrSpecRow(Cell.Y) || Cell.X < 0) {
    TCustomDBGridKs::MouseDown(Button, Shift, X, Y);
    return;
  }
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FSearchText.clear();
  if (!PopupMode) {
    SetFocus();
    if (!Focused()) return;
  }
  if (CanModifyKey() && Cell.Y != SpecGridRow() && IsActiveRow(Cell.Y)) DblClick();
  FTracking = true;
  FTrackY = Y;
  SetCapture(Handle());
  SelectRowAtY(Y);
}

void TDBLookupGridKs::MouseMove(TShiftState Shift, int X, int Y) {
  if (!FTracking) {
    bool Sizing = GridState() == gsColSizing;
    TCustomDBGridKs::MouseMove(Shift, X, Y);
    // Without a scroll bar the list's width follows the column being sized.
    if (Sizing && FScrollBarHidden) ColWidthsChanged();
    return;
  }
  SelectRowAtY(Y);
  FTrackY = Y;
  TrackMouse();
}

void TDBLookupGridKs::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (!FTracking) {
    TCustomDBGridKs::MouseUp(Button, Shift, X, Y);
    return;
  }
  StopTracking();
  if (Y >= TitleRowHeight()) SelectRowAtY(Y);
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TDBLookupGridKs::StopTracking() {
  if (!FTracking) return;
  FTracking = false;
  if (HandleAllocated()) {
    KillTimer(Handle(), TrackTimerId);
    if (GetCapture() == Handle()) ReleaseCapture();
  }
}

void TDBLookupGridKs::TrackMouse() {
  int Distance = 0, Direction = 0;
  if (FTrackY < 0) {
    Direction = -1;
    Distance = -FTrackY;
  } else if (FTrackY >= ClientHeight()) {
    Direction = 1;
    Distance = FTrackY - ClientHeight() + 1;
  }
  if (Direction == 0) {
    KillTimer(Handle(), TrackTimerId);
    return;
  }
  TDataSet* List = ListDataSet();
  if (!FListActive || !List || !List->Active()) {
    KillTimer(Handle(), TrackTimerId);
    return;
  }
  bool AtFirst = List->IsSequenced() ? List->RecNo() <= 1 : List->Bof();
  if (Direction < 0 && FSpecRow->Visible() && AtFirst) {
    SelectSpecRow();
  } else if (List->MoveBy(Direction) != 0) {
    SelectCurrentListRecord();
  }
  // Further from the edge, faster; armed from the tick's end and never at
  // once, so a message loop finds the queue empty between ticks.
  SetTimer(Handle(), TrackTimerId,
           static_cast<UINT>(std::max(MinTrackInterval, 200 - 15 * Distance)), nullptr);
}

void TDBLookupGridKs::ScrollRequest(int Code, int Pos) {
  FSearchText.clear();
  TDataSet* List = ListDataSet();
  if (!FListActive || !List || !List->Active()) return;
  int Active = DataLink()->ActiveRecord(), Count = DataLink()->RecordCount();
  switch (Code) {
    case SB_LINEUP:
      List->MoveBy(-(Active + 1));
      break;
    case SB_LINEDOWN:
      List->MoveBy(Count - Active);
      break;
    case SB_PAGEUP:
      List->MoveBy(-Active - Count + 1);
      break;
    case SB_PAGEDOWN:
      List->MoveBy(2 * Count - Active - 2);
      break;
    case SB_THUMBPOSITION:
      if (Pos == 0) List->First();
      if (Pos == 1) List->MoveBy(-Active - Count + 1);
      if (Pos == 3) List->MoveBy(2 * Count - Active - 2);
      if (Pos == 4) List->Last();
      break;
    case SB_THUMBTRACK:
      if (!List->IsSequenced()) return;
      List->SetRecNo(Pos + 1);
      break;
    case SB_TOP:
      List->First();
      break;
    default:
      return;
  }
  SelectCurrentListRecord();
}

void TDBLookupGridKs::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_SETFOCUS:
      FSearchText.clear();
      TCustomDBGridKs::WndProc(Message);
      Invalidate();
      return;
    case WM_KILLFOCUS:
      TCustomDBGridKs::WndProc(Message);
      Invalidate();
      return;
    case WM_SIZE: {
      // A new size keeps the fitted widths: they are fitted once.
      TFlagScope Fitting(FFittingWidths);
      TCustomDBGridKs::WndProc(Message);
      return;
    }
    case WM_SETCURSOR: {
      POINT P;
      GetCursorPos(&P);
      P = ScreenToClient(P);
      if (SpecGridRow() >= 0 && MouseCoord(P.x, P.y).Y == SpecGridRow()) return;
      break;
    }
    case WM_VSCROLL:
      if (Message.LParam == 0) {
        ScrollRequest(LOWORD(Message.WParam), static_cast<short>(HIWORD(Message.WParam)));
        return;
      }
      break;
    case WM_TIMER:
      if (Message.WParam == TrackTimerId) {
        if (!FTracking) return;
        if (DragButtonHeld(mbLeft)) {
          TrackMouse();
        } else {
          StopTracking();
        }
        return;
      }
      break;
    case WM_CANCELMODE:
      StopTracking();
      break;
    default:
      break;
  }
  TCustomDBGridKs::WndProc(Message);
}

bool TDBLookupGridKs::DoMouseWheelDown(TShiftState, POINT) {
  WheelMove(true);
  return true;
}

bool TDBLookupGridKs::DoMouseWheelUp(TShiftState, POINT) {
  WheelMove(false);
  return true;
}

// A notch moves the list just past the rows shown.
void TDBLookupGridKs::WheelMove(bool Down) {
  if (!FListActive || !ListDataSet()->Active()) return;
  int Active = DataLink()->ActiveRecord();
  ListDataSet()->MoveBy(Down ? DataLink()->RecordCount() - Active : -(Active + 1));
  SelectCurrentListRecord();
}

// --- painting

bool TDBLookupGridKs::GetCellHighlight(int, int, const AnsiString&, TGridDrawState,
                                       TColor& Background, TFont* AFont) {
  // The key's row, not the focus, is what the list highlights; the painted
  // record is the active one.
  if (FKeyValue.IsNull() || !FListActive || !ListDataSet()->Active()) return false;
  if (!VarEqualsKs(ListDataSet()->FieldValues(FKeyFieldNames), FKeyValue)) return false;
  Background = clHighlight;
  AFont->SetColor(clHighlightText);
  return true;
}

bool TDBLookupGridKs::CellHas3DFrame(int ACol, int ARow, TGridDrawState State, const RECT& Rect) {
  if (FSpecRow->Visible() && ARow == TitleOffset() - 1) return false;
  return TCustomDBGridKs::CellHas3DFrame(ACol, ARow, State, Rect);
}

void TDBLookupGridKs::DrawExtraTitleCell(int ACol, int ARow, bool& Highlighted,
                                         TGridDrawState State, const RECT& Rect, int CellKind,
                                         int AreaRow, int AreaCol) {
  if (int Level = LevelOfRow(ARow)) {
    DrawLevelCell(ACol, Level, Rect);
    return;
  }
  if (ARow != SpecGridRow()) {
    TCustomDBGridKs::DrawExtraTitleCell(ACol, ARow, Highlighted, State, Rect, CellKind, AreaRow,
                                        AreaCol);
    return;
  }
  int DataCol = RawToDataColumn(ACol);
  TCanvas* C = Canvas();
  auto* Column = DataCol >= 0 && DataCol < Columns()->Count()
                     ? dynamic_cast<TDBLookupGridColumnKs*>(Columns()->Items(DataCol))
                     : nullptr;
  TGridColumnSpecCellKs* Cell = Column ? Column->SpecCell() : nullptr;
  C->Font()->Assign(Cell ? Cell->Font() : FSpecRow->Font());
  C->Brush()->SetColor(Cell ? Cell->Color() : FSpecRow->Color());
  Highlighted = FSpecRowSelected;
  if (FSpecRowSelected) {
    C->Brush()->SetColor(clHighlight);
    C->Font()->SetColor(clHighlightText);
  }
  TAlignment Alignment = Column ? Column->Alignment() : taLeftJustify;
  WriteCellTextEx(Rect, true, 2, 1, Cell ? Cell->Text() : AnsiString(), Alignment, tlTop, false,
                  false, 0, 0);
  if (FSpecRowSelected && ACol == ColCount() - 1) {
    C->Font()->SetColor(clWindowText);
    C->Brush()->SetColor(clWindow);
    RECT Row = BoxRect(FixedCols(), ARow, ColCount() - 1, ARow);
    DrawFocusRect(C->Handle(), &Row);
  }
}

void TDBLookupGridKs::DrawLevelCell(int ACol, int Level, const RECT& Rect) {
  int DataCol = RawToDataColumn(ACol);
  TColumnKs* Column =
      DataCol >= 0 && DataCol < Columns()->Count() ? Columns()->Items(DataCol) : nullptr;
  TCanvas* C = Canvas();
  C->Font()->Assign(Font());
  C->Brush()->SetColor(clBtnFace);
  if (!Column) {
    C->FillRect(Rect);
    return;
  }
  WriteCellTextEx(Rect, true, 2, 1, "+ " + LevelCellText(Level, Column), Column->Alignment(),
                  Column->Layout(), false, false, 0, 0);
}

// --- popup

TPopupDataGridKs::TPopupDataGridKs(TComponent* AOwner)
    : TDBLookupGridKs(AOwner), FSizeGrip(new TSizeGripKs(this)) {
  PopupMode = true;
  FSizeGrip->SetParent(this);
  FSizeGrip->SetVisible(true);
  FSizeGrip->OnParentResized = [this](TObject*) { FSizedByUser = true; };
  SetShowHint(true);
  SetVisible(false);
}

void TPopupDataGridKs::CreateParams(TCreateParams& Params) {
  TDBLookupGridKs::CreateParams(Params);
  MakePopupParams(Params, Owner(), true);
  Params.Style |= WS_CLIPSIBLINGS;
  Params.WinClassName = PopupGridClassName(Params.WinClassName);
}

void TPopupDataGridKs::ShowAt(POINT Position) {
  FVisible = true;
  ShowPopupAt(this, Position);
}

TWinControl* TPopupDataGridKs::Editor() const {
  return FEditor ? FEditor : dynamic_cast<TWinControl*>(Owner());
}

void TPopupDataGridKs::KeyValueChanged() {
  TDBLookupGridKs::KeyValueChanged();
  if (FUserAction && OnUserKeyValueChange) OnUserKeyValueChange(this);
}

TMemRecordMarker* TPopupDataGridKs::Marker() const {
  auto* Source = dynamic_cast<TSDataSource*>(ListSource());
  return FMarkRecordsMode && Source ? Source->Marker() : nullptr;
}

bool TPopupDataGridKs::RecordMarked() const {
  TMemRecordMarker* M = ListActive() ? Marker() : nullptr;
  return M && M->IsMarked();
}

void TPopupDataGridKs::ShowMarked() {
  if (TWinControl* Shown = Editor(); Shown && ListField())
    Shown->SetText(Marker()->GetMarkedValues(ListField()->FieldName()));
  Invalidate();
}

void TPopupDataGridKs::ToggleMarkAndShow() {
  Marker()->ToggleMark();
  ShowMarked();
}

void TPopupDataGridKs::GetCellParams(TColumnKs* Column, TFont* AFont, TColor& Background,
                                     TGridDrawState State) {
  if (!State.Contains(gdFocused) && RecordMarked()) Background = PopupMarking.MarkColor;
  TDBLookupGridKs::GetCellParams(Column, AFont, Background, State);
}

bool TPopupDataGridKs::GetCellHighlight(int DataCol, int DataRow, const AnsiString& Text,
                                        TGridDrawState State, TColor& Background, TFont* AFont) {
  if (!TDBLookupGridKs::GetCellHighlight(DataCol, DataRow, Text, State, Background, AFont))
    return false;
  // A marked key row stays readable as marked.
  if (!State.Contains(gdFocused) && RecordMarked()) {
    Background = PopupMarking.MarkColor;
    AFont->SetColor(clBlack);
  }
  return true;
}

void TPopupDataGridKs::KeyDown(uint16_t& Key, TShiftState Shift) {
  TFlagScope User(FUserAction);
  if (TMemRecordMarker* M = ListActive() ? Marker() : nullptr) {
    TShortCut Pressed = ShortCutKs(Key, Shift);
    auto Is = [Pressed](TAction* Action) { return Action && Action->ShortCut == Pressed; };
    if (Key == VK_SPACE || Is(PopupMarking.MarkAction)) {
      ToggleMarkAndShow();
      Key = 0;
      return;
    }
    if (Is(PopupMarking.MarkGroupAction)) {
      M->MarkGroup();
      ShowMarked();
      Key = 0;
      return;
    }
    // Enter takes the current record when nothing is marked yet.
    if (Key == VK_RETURN && M->IsEmpty()) ToggleMarkAndShow();
  }
  TDBLookupGridKs::KeyDown(Key, Shift);
}

void TPopupDataGridKs::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TFlagScope User(FUserAction);
  FLevelPress = LevelOfRow(MouseCoord(X, Y).Y) != 0;
  TDBLookupGridKs::MouseDown(Button, Shift, X, Y);
}

void TPopupDataGridKs::MouseMove(TShiftState Shift, int X, int Y) {
  TFlagScope User(FUserAction);
  bool ButtonHeld = Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle);
  if (!Tracking() && !ButtonHeld && !LookupDataLink()->ReadOnly() &&
      IsDataOrSpecRow(MouseCoord(X, Y).Y)) {
    // The selection follows the pointer.
    SelectRowAtY(Y);
    return;
  }
  TDBLookupGridKs::MouseMove(Shift, X, Y);
}

void TPopupDataGridKs::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TFlagScope User(FUserAction);
  bool Normal = GridState() == gsNormal && !FLevelPress;
  FLevelPress = false;
  TDBLookupGridKs::MouseUp(Button, Shift, X, Y);
  if (!Normal) return;
  RECT Client = ClientRect();
  if (X < Client.left || X >= Client.right || Y < Client.top || Y >= Client.bottom) {
    if (OnMouseCloseUp) OnMouseCloseUp(this, false);
    return;
  }
  if (!IsDataOrSpecRow(MouseCoord(X, Y).Y)) return;
  if (auto* Tree = dynamic_cast<TSDS*>(ListDataSet())) {
    // A node opens its children and the list stays; Ctrl picks the node.
    if (!Shift.Contains(ssCtrl) && Tree->LevelDown()) return;
    if (Marker()) {
      ToggleMarkAndShow();
      return;
    }
  }
  if (OnMouseCloseUp) OnMouseCloseUp(this, true);
}

void TPopupDataGridKs::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_SIZEGRIPCORNER:
      FSizeGrip->SetPosition(static_cast<TSizeGripPosition>(Message.WParam));
      return;
    case WM_SIZE:
      TDBLookupGridKs::WndProc(Message);
      FSizeGrip->SetPosition(sgpBottomRight);
      FSizeGrip->AlignSizeGrip();
      return;
    case WM_WINDOWPOSCHANGING: {
      auto* Pos = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      TComponentState State = ComponentState();
      if (!(Pos->flags & SWP_NOSIZE) && !State.Contains(csReading) &&
          !State.Contains(csDestroying)) {
        Pos->cx = std::max(Pos->cx, GetSystemMetrics(SM_CXVSCROLL));
        Pos->cy = std::max(Pos->cy, GetSystemMetrics(SM_CYVSCROLL));
      }
      break;
    }
    case WM_NCPAINT: {
      TDBLookupGridKs::WndProc(Message);
      HDC DC = GetWindowDC(Handle());
      RECT R;
      GetWindowRect(Handle(), &R);
      OffsetRect(&R, -R.left, -R.top);
      DrawEdge(DC, &R, BDR_RAISEDOUTER, BF_RECT);
      ReleaseDC(Handle(), DC);
      return;
    }
    default:
      break;
  }
  TDBLookupGridKs::WndProc(Message);
}
