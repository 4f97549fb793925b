#include "COMPONENTS/kslib/DBGridKs.h"

#include <algorithm>

#include "COMPONENTS/kslib/DBGridKsCellText.h"
#include "COMPONENTS/kslib/DBGridKsFilterRow.h"
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"
#include "COMPONENTS/kslib/DBGridKsInterceptors.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "forms/Forms.h"
#include "forms/Menus.h"
#include "forms/ScrollBar.h"

namespace {

int UnitUseCount = 0;

bool IsWindowOf(TWinControl* Control, HWND Wnd) {
  return Control && Control->HandleAllocated() && Control->Handle() == Wnd;
}

constexpr TDBGridOptions DefaultOptions{
    dgEditing,  dgTitles, dgIndicator,           dgColumnResize,  dgColLines,
    dgRowLines, dgTabs,   dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit};
constexpr TDBGridKsOptions DefaultOptionsKs{
    dghFixed3D,    dghHighlightFocus, dghClearSelection, dghMultiSortMarking,
    dghEnterAsTab, dghIncSearch,      dghRowHighlight,   dghDblClickOptimizeColWidth,
    dghDialogFind};
// Option changes that need a new layout.
constexpr TDBGridOptions LayoutOptions{dgEditing,   dgAlwaysShowEditor,   dgTitles,
                                       dgIndicator, dgColLines,           dgRowLines,
                                       dgRowSelect, dgAlwaysShowSelection};

}  // namespace

void KillMessage(HWND Wnd, UINT Msg) {
  MSG M;
  if (PeekMessageA(&M, Wnd, Msg, Msg, PM_REMOVE) && M.message == WM_QUIT)
    PostQuitMessage(static_cast<int>(M.wParam));
}

TDBGridKsUnit DBGridKsUnit;

void InitDBGridKsUnit() {
  if (UnitUseCount++ > 0) return;
  RegisterPropertyInterceptor<TColumnKs, TColumnKsPropertyInterceptor>();
  RegisterPropertyInterceptor<TDBGridColumnsKs, TColumnsKsPropertyInterceptor>();
  SetDefaultDBGridKsStyle(new TDBGridKsStyle);
  SetDBGridKsDataService(new TDBGridKsDataService);
  TDBGridKsUnit& U = DBGridKsUnit;
  TBitmap Marker;
  Marker.LoadFromResourceName(GetModuleHandleA(nullptr), "DBSMDOWNKS");
  U.SmallTitleFont = new TFont;
  U.SmallTitleFont->SetHeight(1 - Marker.Height());
  U.SmallTitleFont->SetName("Arial");
  HINSTANCE Instance = GetModuleHandleA(nullptr);
  for (const char* Name : {"DOWNCURKS", "RIGHTCURKS", "LEFTCURKS"}) {
    HCURSOR Cursor = LoadCursorA(Instance, Name);
    if (!Cursor) throw EOutOfResources("Cannot load cursor resource");
    U.Cursors.push_back(Cursor);
  }
  LoadGridImageLists(U.IndicatorImages, U.SortMarkerImages, U.SearchMatchColor);
  U.CellParams = new TColCellParamsKs;
}

void DoneDBGridKsUnit() {
  if (UnitUseCount == 0 || --UnitUseCount > 0) return;
  TDBGridKsUnit& U = DBGridKsUnit;
  for (HCURSOR Cursor : U.Cursors) DestroyCursor(Cursor);
  U.Cursors.clear();
  delete U.IndicatorImages;
  delete U.SortMarkerImages;
  delete U.SmallTitleFont;
  delete U.CellParams;
  U.IndicatorImages = U.SortMarkerImages = nullptr;
  U.SmallTitleFont = nullptr;
  U.CellParams = nullptr;
  delete DefaultDBGridKsStyle();
  delete DBGridKsDataService();
  SetDBGridKsDataService(nullptr);
}

// --- creation

TCustomDBGridKs::TCustomDBGridKs(TComponent* AOwner) : TCustomGrid(AOwner) {
  AcquireCellBitmap();
  AttachDefaultStyle();
  // The grid draws every cell itself.
  TCustomGrid::SetDefaultDrawing(false);
  FSTFilter = std::make_unique<TSTDBGridKsFilter>(this);
  FOptions = DefaultOptions;
  TCustomGrid::SetScrollBars(ssHorizontal);
  TCustomGrid::SetOptions({goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goColSizing,
                           goColMoving, goEditing, goTabs});
  FColumnDefValues = CreateColumnDefValues();
  FColumns = CreateColumns();
  SetRowCount(2);
  SetColCount(2);
  FDataLink = std::make_unique<TGridDataLinkKs>(this);
  SetColor(clWindow);
  SetParentColor(false);
  FTitleFont.OnChange = [this](TObject* Sender) { TitleFontChanged(Sender); };
  FSelectedRows = std::make_unique<TBookmarkListKs>(this);
  FHeadTree = std::make_unique<THeadTreeNode>();
  FSumList = std::make_unique<TDBGridKsSumList>(this);
  FSumList->SumListChanged = [this](TObject*) { InvalidateFooterRows(); };
  FSumList->OnRecalcAll = [this](TObject*) {
    if (OnSumListRecalcAll) OnSumListRecalcAll(this);
  };
  FSumList->OnAfterRecalcAll = [this](TObject*) {
    if (OnSumListAfterRecalcAll) OnSumListAfterRecalcAll(this);
  };
  FHorzScrollBar = CreateScrollBar(SB_HORZ);
  FVertScrollBar = CreateScrollBar(SB_VERT);
  FOptionsKs = DefaultOptionsKs;
  FSelection = std::make_unique<TDBGridKsSelection>(this);
  FAllowedOperations = {alopInsertKs, alopUpdateKs, alopDeleteKs, alopAppendKs};
  FFooterFont.OnChange = [this](TObject* Sender) { FooterFontChanged(Sender); };
  SetShowHint(true);
}

TCustomDBGridKs::~TCustomDBGridKs() {
  Destroying();
  FMemTableIntf = nullptr;
  if (FStyle) FStyle->RemoveGrid(this);
  FStyle = nullptr;
  FSelection->Clear();
  FVisibleColumns.clear();
  FSortMarkedColumns.clear();
  FColumns.reset();
  FSumList.reset();
  FColumnDefValues.reset();
  FDataLink.reset();
  FHorzScrollBar.reset();
  FVertScrollBar.reset();
  FSelectedRows.reset();
  FLeafNodes.clear();
  ReleaseCellBitmap();
}

std::unique_ptr<TDBGridColumnsKs> TCustomDBGridKs::CreateColumns() {
  return std::make_unique<TDBGridColumnsKs>(this, CollectionItemClass<TDBGridColumnKs>());
}

std::unique_ptr<TColumnDefValuesKs> TCustomDBGridKs::CreateColumnDefValues() {
  return std::make_unique<TDBGridKsColumnDefValuesKs>(this);
}

void TCustomDBGridKs::RecreateColumns() {
  FColumns.reset();
  FColumnDefValues = CreateColumnDefValues();
  FColumns = CreateColumns();
}

std::unique_ptr<TDBGridKsScrollBar> TCustomDBGridKs::CreateScrollBar(int Kind) {
  if (Kind == SB_VERT) return std::make_unique<TVertDBGridKsScrollBar>(this, Kind);
  return std::make_unique<TDBGridKsScrollBar>(this, Kind);
}

void TCustomDBGridKs::AttachDefaultStyle() {
  TDBGridKsStyle* Default = DefaultDBGridKsStyle();
  if (Default == FStyle) return;
  if (!Default) {
    LayoutChanged();
    return;
  }
  FStyle = Default;
  FStyle->AddGrid(this);
}

void TCustomDBGridKs::SetStyle(TDBGridKsStyle* Value) {
  if (Value == FStyle) return;
  if (FStyle) FStyle->RemoveGrid(this);
  FStyle = Value;
  if (Value) {
    Value->AddGrid(this);
  } else {
    AttachDefaultStyle();
  }
}

void TCustomDBGridKs::Loaded() {
  TCustomGrid::Loaded();
  if (FColumns->Count() > 0) {
    SetColCount(FColumns->Count());
    if (FAutoFitColWidths && !Designing()) {
      FColumns->BeginUpdate();
      for (int I = 0; I < FColumns->Count(); ++I)
        FColumns->Items(I)->InitWidth = FColumns->Items(I)->Width();
      FColumns->EndUpdate();
      TCustomGrid::SetScrollBars(ssNone);
    }
  }
  SetSortMarkersFromIndex();
  LayoutChanged();
  DeferLayout();
}

// Compared by address only: the component may be half destroyed.
void TCustomDBGridKs::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomGrid::Notification(AComponent, Operation);
  if (Operation != opRemove || !FColumns) return;
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Items(I)->PopupMenu() == AComponent) FColumns->Items(I)->SetPopupMenu(nullptr);
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Items(I)->ImageList() == AComponent) FColumns->Items(I)->SetImageList(nullptr);
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Items(I)->DropDownBox()->ListSource() == AComponent)
      FColumns->Items(I)->DropDownBox()->SetListSource(nullptr);
  if (AComponent == FTitleImages) FTitleImages = nullptr;
  for (TDBGridKsScrollBar* Bar : {FVertScrollBar.get(), FHorzScrollBar.get()}) {
    if (Bar && Bar->ExtScrollBar() && AComponent == Bar->ExtScrollBar()) {
      Bar->SetExtScrollBar(nullptr);
      return;
    }
  }
  if (!FDataLink) return;
  if (DataSource() && AComponent == DataSource()) {
    SetDataSource(nullptr);
    return;
  }
  if (FDataLink->DataSet() && AComponent == FDataLink->DataSet()) {
    UpdateMemTableIntf();
    return;
  }
  std::vector<TColumnKs*> Bound;
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Items(I)->BoundField() && FColumns->Items(I)->BoundField() == AComponent)
      Bound.push_back(FColumns->Items(I));
  if (Bound.empty()) return;
  BeginLayout();
  for (TColumnKs* Column : Bound) {
    Column->SetField(nullptr);
    Column->ClearFieldCache();
  }
  TDataSet* Data = FDataLink->DataSet();
  if (Data && !Data->ControlsDisabled()) {
    EndLayout();
  } else {
    // This caller's layout is cancelled; a posted one follows.
    CancelLayout();
    DeferLayout();
  }
}

void TCustomDBGridKs::ChangeScale(int M, int D) {
  if (M == D) return;
  if (!ParentFont()) {
    FSelfChangingTitleFont = FSelfChangingFooterFont = true;
    FTitleFont.SetSize(MulDiv(FTitleFont.Size(), M, D));
    FFooterFont.SetSize(MulDiv(FFooterFont.Size(), M, D));
    FSelfChangingTitleFont = FSelfChangingFooterFont = false;
  }
  FColumns->BeginUpdate();
  int Sum = 0, Boundary = 0;
  for (int I = 0; I < FColumns->Count(); ++I) {
    TColumnKs* Column = FColumns->Items(I);
    if (Column->FontStored()) Column->Font()->SetSize(MulDiv(Column->Font()->Size(), M, D));
    if (Column->ExplicitValues().Contains(cvTitleFont))
      Column->Title()->Font()->SetSize(MulDiv(Column->Title()->Font()->Size(), M, D));
    auto ScaleFooter = [M, D](TColumnFooterKs* Footer) {
      if (Footer->FontStored()) Footer->Font()->SetSize(MulDiv(Footer->Font()->Size(), M, D));
    };
    ScaleFooter(Column->Footer());
    for (int F = 0; F < Column->Footers()->Count(); ++F) ScaleFooter(Column->Footers()->Items(F));
    Sum += Column->Width();
    int Next = MulDiv(Sum, M, D);
    Column->SetWidth(Next - Boundary);
    Boundary = Next;
  }
  FColumns->EndUpdate();
}

// --- property writers

void TCustomDBGridKs::SetDataSource(TDataSource* Value) {
  if (Value == DataSource()) return;
  ClearSelection();
  FDataLink->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
  LinkActive(FDataLink->Active());
  FSumList->SetDataSet(Value ? Value->DataSet() : nullptr);
}

void TCustomDBGridKs::SetOptions(TDBGridOptions Value) {
  if (Value == FOptions) return;
  TGridOptions Base;
  if (FRowSizingAllowed) Base.Include(goRowSizing);
  if (Value.Contains(dgColLines)) Base.Include(goFixedVertLine).Include(goVertLine);
  if (Value.Contains(dgRowLines)) Base.Include(goFixedHorzLine).Include(goHorzLine);
  if (Value.Contains(dgColumnResize)) Base.Include(goColSizing).Include(goColMoving);
  if (Value.Contains(dgTabs)) Base.Include(goTabs);
  if (Value.Contains(dgRowSelect)) {
    Base.Include(goRowSelect);
    Value.Exclude(dgAlwaysShowEditor).Exclude(dgEditing);
  }
  if (Value.Contains(dgEditing)) Base.Include(goEditing);
  if (Value.Contains(dgAlwaysShowEditor)) Base.Include(goAlwaysShowEditor);
  TCustomGrid::SetOptions(Base);
  if (FOptions.Contains(dgMultiSelect) && !Value.Contains(dgMultiSelect)) ClearSelection();
  TDBGridOptions Changed = (FOptions - Value) + (Value - FOptions);
  FOptions = Value;
  if (!(Changed * LayoutOptions).Empty()) LayoutChanged();
  if (EditorMode()) UpdateEditor();
}

void TCustomDBGridKs::SetOptionsKs(TDBGridKsOptions Value) {
  if (Value == FOptionsKs) return;
  if (FOptionsKs.Contains(dghMultiSortMarking) && !Value.Contains(dghMultiSortMarking)) {
    TColumnsKsList Marked = FSortMarkedColumns;
    FOptionsKs = Value;
    for (size_t I = 1; I < Marked.size(); ++I) Marked[I]->Title()->SetSortMarker(smNoneKs);
  }
  FOptionsKs = Value;
  LayoutChanged();
}

void TCustomDBGridKs::SetAllowedSelections(TDBGridKsAllowedSelections Value) {
  if (Value == FAllowedSelections) return;
  FAllowedSelections = Value;
  TDBGridKsSelectionType Kind = FSelection->SelectionType();
  if (Kind != gstNon && !Value.Contains(Kind)) FSelection->Clear();
}

void TCustomDBGridKs::SetAutoFitColWidths(bool Value) {
  if (Value == FAutoFitColWidths) return;
  FAutoFitColWidths = Value;
  if (Designing()) return;
  if (!Value) {
    FColumns->BeginUpdate();
    for (int I = 0; I < FColumns->Count(); ++I)
      FColumns->Items(I)->SetWidth(FColumns->Items(I)->InitWidth);
    FColumns->EndUpdate();
    TCustomGrid::SetScrollBars(ssHorizontal);
  } else {
    if (!Loading())
      for (int I = 0; I < FColumns->Count(); ++I)
        FColumns->Items(I)->InitWidth = FColumns->Items(I)->Width();
    TCustomGrid::SetScrollBars(ssNone);
  }
  LayoutChanged();
}

void TCustomDBGridKs::SetDrawMemoText(bool Value) {
  FDrawMemoText = Value;
  Invalidate();
}

void TCustomDBGridKs::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  FInnerEdgeWidth = Value ? 2 : 4;
  RecreateWnd();
  LayoutChanged();
}

void TCustomDBGridKs::SetFooterColor(TColor Value) {
  if (!Loading()) SetParentColor(false);
  FFooterColor = Value;
  if (FFooterRowCount >= 1) InvalidateFooterRows();
}

void TCustomDBGridKs::SetFooterRowCount(int Value) {
  if (Value < 0 || Value == FFooterRowCount) return;
  FFooterRowCount = Value;
  UpdateMemTableIntf();
  LayoutChanged();
}

void TCustomDBGridKs::SetFrozenCols(int Value) {
  if (Value < 0 || Value == FFrozenCols) return;
  FFrozenCols = Value;
  LayoutChanged();
}

void TCustomDBGridKs::SetMinAutoFitWidth(int Value) {
  FMinAutoFitWidth = Value;
  LayoutChanged();
}

void TCustomDBGridKs::SetReadOnly(bool Value) {
  if (Value == FReadOnly) return;
  FReadOnly = Value;
  LayoutChanged();
  Invalidate();
}

void TCustomDBGridKs::SetRowHeight(int Value) {
  if (Value == FRowHeight) return;
  FRowHeight = std::max(Value, 0);
  LayoutChanged();
}

void TCustomDBGridKs::SetRowLines(int Value) {
  if (Value == FRowLines) return;
  FRowLines = std::max(Value, 0);
  LayoutChanged();
}

void TCustomDBGridKs::SetRowSizingAllowed(bool Value) {
  if (Value == FRowSizingAllowed) return;
  FRowSizingAllowed = Value;
  TGridOptions Base = TCustomGrid::Options();
  if (Value) {
    Base.Include(goRowSizing);
  } else {
    Base.Exclude(goRowSizing);
  }
  TCustomGrid::SetOptions(Base);
}

void TCustomDBGridKs::SetTitleImages(TImageList* Value) {
  FTitleImages = Value;
  if (Value) Value->FreeNotification(this);
  LayoutChanged();
}

void TCustomDBGridKs::SetUseMultiTitle(bool Value) {
  FUseMultiTitle = Value;
  LayoutChanged();
}

void TCustomDBGridKs::SetVTitleMargin(int Value) {
  FVTitleMargin = Value;
  LayoutChanged();
}

void TCustomDBGridKs::SetTitleHeight(int Value) {
  if (Value == FTitleHeight) return;
  FTitleHeight = Value;
  LayoutChanged();
}

void TCustomDBGridKs::SetTitleLines(int Value) {
  if (Value == FTitleLines) return;
  FTitleLines = Value;
  LayoutChanged();
}

void TCustomDBGridKs::TitleFontChanged(TObject*) {
  if (!FSelfChangingTitleFont && !Loading()) SetParentFont(false);
  if (FOptions.Contains(dgTitles)) LayoutChanged();
}

void TCustomDBGridKs::FooterFontChanged(TObject*) {
  if (!FSelfChangingFooterFont && !Loading()) SetParentFont(false);
  if (FFooterRowCount >= 1) LayoutChanged();
}

// --- focus and selection

bool TCustomDBGridKs::GridOrEditorFocused() {
  HWND Focus = FocusedWindow();
  return Focus && (IsWindowOf(this, Focus) || IsWindowOf(InplaceEditor(), Focus));
}

bool TCustomDBGridKs::AcquireFocus() {
  bool Result = true;
  if (AcquireFocusOnClick && CanFocus() && !Designing()) {
    SetFocus();
    Result = GridOrEditorFocused();
    if (!Result && Screen->ActiveForm()) {
      ::SetFocus(Handle());
      Sleep(0);
      Result = GridOrEditorFocused();
    }
  }
  return Result;
}

bool TCustomDBGridKs::RowSelectHighlighted() {
  return !Designing() && FOptions.Contains(dgRowSelect) && FDefaultDrawing && HandleAllocated() &&
         GetFocus() == Handle();
}

bool TCustomDBGridKs::EditorAlwaysShown() {
  return FOptions.Contains(dgAlwaysShowEditor) && !FFilterRowEditing;
}

// The cell editor cannot show while a filter cell is edited.
void TCustomDBGridKs::ShowCellEditor() {
  if (FFilterRowEditing) {
    HideFilterEditor();
    FFilterRowEditing = false;
  }
  ShowEditor();
}

void TCustomDBGridKs::ClearSelection() {
  if (FSelection) FSelection->Clear();
}

void TCustomDBGridKs::InvalidateRowCells(int ARow) {
  for (int C = 0; C < ColCount(); ++C) InvalidateCell(C, ARow);
}

void TCustomDBGridKs::InvalidateColumnCells(int DataCol) {
  int Raw = DataToRawColumn(DataCol);
  if (Raw >= 0 && Raw < ColCount()) InvalidateCol(Raw);
}

void TCustomDBGridKs::InvalidateSelection() {
  switch (FSelection->SelectionType()) {
    case gstRecordBookmarks:
    case gstRectangle:
    case gstColumns: {
      TGridRect R;
      FSelection->GetSelectionRect(R);
      if (R.Left >= 0) InvalidateRect(R);
      break;
    }
    case gstAll:
      Invalidate();
      break;
    default:
      break;
  }
  InvalidateRowCells(Row());
  FLastFocusedPaint = GridOrEditorFocused();
}

// Selected cells are painted in other colours without the focus.
void TCustomDBGridKs::RepaintSelectionOnFocusChange() {
  if (FSelection && GridOrEditorFocused() != FLastFocusedPaint) InvalidateSelection();
}

// The editor shown (or always shown) comes back over the current cell with
// its text, and takes the focus when the grid has it.
void TCustomDBGridKs::RefreshEditor() {
  if ((EditorMode() || FOptions.Contains(dgAlwaysShowEditor)) && CanEditShow()) ShowEditor();
}

bool TCustomDBGridKs::CellInSelection(int ACol, int ARow, int DataCol, const AnsiString& Bookmark) {
  TDBGridKsSelectionType Kind = FSelection->SelectionType();
  if (Kind == gstAll) return true;
  TGridRect Data = GetDataRect();
  bool DataRow = ARow >= Data.Top && ARow <= Data.Bottom;
  if (ACol < FIndicatorOffset)
    return DataRow && Kind == gstRecordBookmarks && FSelectedRows->IndexOf(Bookmark) >= 0;
  if (!DataRow)
    return Kind == gstColumns && DataCol < FColumns->Count() &&
           FSelection->Columns()->IndexOf(FColumns->Items(DataCol)) >= 0;
  return FSelection->DataCellSelected(DataCol, Bookmark);
}

TDataSet* TCustomDBGridKs::BookmarkDataSet() { return FDataLink ? FDataLink->DataSet() : nullptr; }

void TCustomDBGridKs::BookmarksChanged() {
  if (FSelection) FSelection->UpdateState();
  if (!FSelectionWalk) Invalidate();
}

void TCustomDBGridKs::CurrentRowSelectionChanged() {
  if (!FSelectionWalk) InvalidateRowCells(Row());
  if (FSelection->SelectionType() != gstRecordBookmarks && FSelectedRows->Count() > 0) {
    FSelection->Clear();
    FSelection->SetSelectionType(gstRecordBookmarks);
  }
}

TGridRect TCustomDBGridKs::BookmarksSelectionRect() {
  TGridRect None{-1, -1, -1, -1};
  if (!FDataLink->Active()) return None;
  int First = -1, Last = -1;
  for (int I = 0; I < FDataLink->RecordCount(); ++I) {
    if (!RowInSelection(I)) continue;
    if (First < 0) First = I;
    Last = I;
  }
  if (First < 0) return None;
  return TGridRect{0, FTitleOffset + First, ColCount() - 1, FTitleOffset + Last};
}

bool TCustomDBGridKs::RowInSelection(int DataRow) {
  TActiveRecordScope Scope(FDataLink.get(), DataRow);
  return FSelectedRows->IndexOf(FDataLink->DataSet()->GetBookmark()) >= 0;
}

RECT TCustomDBGridKs::SelectionBox(int LeftCol, const AnsiString& Top, int RightCol,
                                   const AnsiString& Bottom) {
  int Count = FDataLink->RecordCount();
  if (Count == 0) return RECT{0, 0, 0, 0};
  TDataSet* Data = FDataLink->DataSet();
  // Rows before the buffer map to the first data row, rows after it to the last.
  auto RowOf = [&](const AnsiString& Bookmark, bool Upper) {
    for (int I = 0; I < Count; ++I) {
      TActiveRecordScope Scope(FDataLink.get(), I);
      int C = Data->CompareBookmarks(Data->GetBookmark(), Bookmark);
      if (C == 0) return I;
      if (C > 0) return Upper ? I : std::max(I - 1, 0);
    }
    return Count - 1;
  };
  int TopRow = RowOf(Top, true), BottomRow = RowOf(Bottom, false);
  RECT R = BoxRect(DataToRawColumn(LeftCol), FTitleOffset + TopRow, DataToRawColumn(RightCol),
                   FTitleOffset + BottomRow);
  R.right += GridLineWidth(), R.bottom += GridLineWidth();
  return R;
}

// --- fields

bool TCustomDBGridKs::FieldIsMapped(TField* Field) const {
  if (!Field) return false;
  for (int I = 0; I < FDataLink->FieldCount(); ++I)
    if (FDataLink->GetFields(I) == Field) return true;
  return false;
}

TField* TCustomDBGridKs::SelectedField() {
  int I = SelectedIndex();
  return I >= 0 && I < FColumns->Count() ? FColumns->Items(I)->GetField() : nullptr;
}

// With several columns over the field the last one stays current.
void TCustomDBGridKs::SetSelectedField(TField* Value) {
  if (!Value) return;
  for (int I = 0; I < FColumns->Count(); ++I)
    if (FColumns->Items(I)->GetField() == Value && FColumns->Items(I)->Visible())
      MoveColRow(DataToRawColumn(I), Row(), true, true);
}

void TCustomDBGridKs::GetDatasetFields(std::vector<TField*>& List) {
  TDataSet* Data = FDataLink->DataSet();
  if (!Data) return;
  for (int I = 0; I < Data->FieldCount(); ++I) List.push_back(Data->Fields()->Fields(I));
}

void TCustomDBGridKs::DefineFieldMap() {
  if (FColumns->GetState() == csCustomized) {
    FDataLink->SparseMap = true;
    for (int I = 0; I < FColumns->Count(); ++I)
      FDataLink->AddMapping(FColumns->Items(I)->FieldName());
  } else {
    FDataLink->SparseMap = false;
    std::vector<TField*> Fields;
    GetDatasetFields(Fields);
    for (TField* F : Fields)
      if (F->Visible()) FDataLink->AddMapping(F->FieldName());
  }
}

// --- data link reactions

void TCustomDBGridKs::LinkActive(bool Value) {
  if (!Value) HideEditor();
  FSelection->LinkActive(Value);
  FSumList->SetDataSet(DataSource() ? DataSource()->DataSet() : nullptr);
  if (TreeModeNoFooter()) UpdateRowLayout();
  LayoutChanged();
  if (Value && EditorAlwaysShown()) ShowCellEditor();
  UpdateScrollBars();
  UpdateMemTableIntf();
  FColumns->ClearFieldCaches();
}

void TCustomDBGridKs::SumListRecalcAndUpdate() {
  if (!HandleAllocated()) return;
  // The dataset's order may have changed (a sort, a posted key).
  FSelectedRows->Refresh();
  UpdateRowLayout();
  bool Showed = FVertScrollBar->IsScrollBarShowing();
  UpdateScrollBars();
  if (Showed != FVertScrollBar->IsScrollBarShowing() && FAutoFitColWidths && !Designing())
    DeferLayout();
  RecordChanged();
  UpdateEditor();
  ValidateRect(Handle(), nullptr);
  Invalidate();
}

void TCustomDBGridKs::EditingChanged() {
  if (FOptions.Contains(dgIndicator)) InvalidateCell(0, Row());
}

void TCustomDBGridKs::UpdateMemTableIntf() {
  IMemTableKs* Old = FMemTableIntf;
  TDataSet* Data = FDataLink ? FDataLink->DataSet() : nullptr;
  FMemTableIntf = TreeInterfaceEnabled && Data ? GetMemTableIntf(Data) : nullptr;
  if (FMemTableIntf == Old) return;
  if (FMemTableIntf) Data->FreeNotification(this);
  LayoutChanged();
}

TInplaceEdit* TCustomDBGridKs::CreateEditor() { return new TDBGridInplaceEdit(this); }

// --- positions and sorting

void TCustomDBGridKs::SavePosition() {
  TDataSet* Data = FDataLink->DataSet();
  int Buffered = FDataLink->RecordCount();
  FSavedOffset = FDataLink->ActiveRecord() - Buffered / 2 + (Buffered + 1) % 2;
  Data->MoveBy(-FSavedOffset);
  FSavedBookmark = Data->GetBookmark();
  Data->MoveBy(FSavedOffset);
}

void TCustomDBGridKs::RestorePosition() {
  TDataSet* Data = FDataLink->DataSet();
  if (FSavedBookmark.empty() || !Data->BookmarkValid(FSavedBookmark)) return;
  Data->GotoBookmark(FSavedBookmark);
  Data->MoveBy(FSavedOffset);
}

void TCustomDBGridKs::SetSortMarkersFromIndex() {
  FSortMarkedColumns.clear();
  for (int I = 0; I < FColumns->Count(); ++I) {
    TColumnKs* Column = FColumns->Items(I);
    int Index = Column->Title()->SortIndex();
    if (Index <= 0) continue;
    if (static_cast<int>(FSortMarkedColumns.size()) < Index) FSortMarkedColumns.resize(Index);
    FSortMarkedColumns[Index - 1] = Column;
  }
  std::erase(FSortMarkedColumns, nullptr);
}

bool TCustomDBGridKs::AllowedOperationsPermitEdit() {
  if (!FDataLink->Active()) return false;
  TDataSet* Data = FDataLink->DataSet();
  bool Inserting = Data->State() == dsInsert;
  if (!FAllowedOperations.Contains(alopUpdateKs) && !Inserting) return false;
  return !Data->IsEmpty() || FAllowedOperations.Contains(alopInsertKs) ||
         FAllowedOperations.Contains(alopAppendKs);
}

void TCustomDBGridKs::InvalidateFooterRows() {
  if (!HandleAllocated()) return;
  for (int R = RowCount() - FFooterRowCount; R < RowCount(); ++R) InvalidateRowCells(R);
}

void TCustomDBGridKs::ApplyFilter() {
  FInLayout = true;
  try {
    if (DBGridKsDataService()) DBGridKsDataService()->ApplyFilter(this);
  } catch (...) {
    FInLayout = false;
    throw;
  }
  FInLayout = false;
}

void TCustomDBGridKs::ApplySorting() {
  if (DBGridKsDataService()) DBGridKsDataService()->ApplySorting(this);
}

void TCustomDBGridKs::CheckTitleButton(int ACol, bool& Enabled) {
  if (ACol < 0 || ACol >= FColumns->Count()) {
    Enabled = false;
  } else if (OnCheckButton) {
    OnCheckButton(this, ACol, FColumns->Items(ACol), Enabled);
  }
}

void TCustomDBGridKs::DoDropDown(TColumnKs* Column) {
  if (OnDropDown) OnDropDown(this, Column);
}

void TCustomDBGridKs::DoCloseUp(TColumnKs* Column) {
  if (OnCloseUp) OnCloseUp(this, Column);
}

bool TCustomDBGridKs::InplaceEditorHasDropDownList() {
  auto* Editor = dynamic_cast<TDBGridInplaceEdit*>(InplaceEditor());
  return Editor && Editor->Visible() && Editor->ActiveList();
}

void TCustomDBGridKs::ColumnMoved(int FromIndex, int ToIndex) {
  int From = RawToDataColumn(FromIndex), To = RawToDataColumn(ToIndex);
  if (From >= 0 && To >= 0 && From < FColumns->Count() && To < FColumns->Count())
    FColumns->Items(From)->SetIndex(To);
  if (OnColumnMoved) OnColumnMoved(this, FromIndex, ToIndex);
}

TColumnKs* TCustomDBGridKs::HintColumn(int X, int Y, TGridCoord& Cell) {
  Cell = MouseCoord(X, Y);
  int DataCol = RawToDataColumn(Cell.X);
  if (Cell.X < 0 || Cell.Y < 0 || DataCol < 0 || DataCol >= FColumns->Count()) return nullptr;
  return FColumns->Items(DataCol);
}

bool TCustomDBGridKs::NumberCell(TColumnKs* Column, int FooterIndex) {
  if (FooterIndex < 0)
    return Column->GetColumnType() == 0 && dynamic_cast<TNumericField*>(Column->GetField());
  TColumnFooterKs* Footer = Column->GetFooter(FooterIndex);
  switch (Footer->ValueType()) {
    case fvtSum:
    case fvtAvg:
    case fvtCount:
      return true;
    case fvtFieldValue: {
      TDataSet* Data = FDataLink->DataSet();
      return Data && dynamic_cast<TNumericField*>(Data->FindField(Footer->FieldName()));
    }
    default:
      return false;
  }
}

bool TCustomDBGridKs::FillsNumberWithHashes(TColumnKs* Column, int FooterIndex, bool MultiLine) {
  if (MultiLine || !NumberCell(Column, FooterIndex)) return false;
  return FooterIndex < 0 ? !Column->EndEllipsis() : !Column->GetFooter(FooterIndex)->EndEllipsis();
}

bool TCustomDBGridKs::TipCell(TColumnKs* Column, TGridCoord Cell) {
  int AreaCol, AreaRow;
  int RowArea = GetCellType(Cell.X, Cell.Y, AreaCol, AreaRow) >> 8;
  if (FOptions.Contains(dgTitles) && Cell.Y == 0) return Column->Title()->ToolTips();
  if (RowArea == 4) return Column->GetFooter(AreaRow - 1)->ToolTips();
  return RowArea == 2 && FDataLink->Active() && Column->ToolTips() &&
         Cell.Y - FTitleOffset < FDataLink->RecordCount();
}

bool TCustomDBGridKs::NumberTipCell(TColumnKs* Column, TGridCoord Cell) {
  int AreaCol, AreaRow;
  int RowArea = GetCellType(Cell.X, Cell.Y, AreaCol, AreaRow) >> 8;
  if (FOptions.Contains(dgTitles) && Cell.Y == 0) return false;
  if (RowArea == 4) return NumberCell(Column, AreaRow - 1);
  return RowArea == 2 && FDataLink->Active() && NumberCell(Column, -1) &&
         Cell.Y - FTitleOffset < FDataLink->RecordCount();
}

bool TCustomDBGridKs::CellHint(int X, int Y, TCellHintKs& Hint) {
  TGridCoord Cell;
  TColumnKs* Column = HintColumn(X, Y, Cell);
  if (!Column) return false;
  Hint.CellBox = CellRect(Cell.X, Cell.Y);
  TColumnTitleKs* Title = Column->Title();
  if (FOptions.Contains(dgTitles) && Cell.Y == 0 && !Title->Hint().empty()) {
    Hint.Plain = true;
    Hint.Text = Title->Hint();
    return true;
  }
  const bool Tips = TipCell(Column, Cell);
  if (!Tips && !NumberTipCell(Column, Cell)) return false;
  int AreaCol, AreaRow;
  int RowArea = GetCellType(Cell.X, Cell.Y, AreaCol, AreaRow) >> 8;
  // The text's margin: 2, or a 3D frame's pixel and 1.
  RECT Area = Hint.CellBox;
  InflateRect(&Area, -2, -2);
  bool Always = false;
  if (Cell.Y == 0 && FOptions.Contains(dgTitles)) {
    Hint.Text = FUseMultiTitle ? FLeafNodes[AreaCol]->Text : Title->Caption();
    Hint.Font = Title->Font();
    Hint.WordWrap = FUseMultiTitle;
    if (Title->SortMarkerWidth() > 2) Area.right -= Title->SortMarkerWidth() - 2;
  } else if (RowArea == 4) {
    TColumnFooterKs* Footer = Column->GetFooter(AreaRow - 1);
    FooterValueText(AreaRow - 1, Column, Hint.Text);
    Hint.Font = Footer->Font();
    Hint.WordWrap = Footer->WordWrap() && FRowsTallerThanText;
  } else {
    TActiveRecordScope Scope(FDataLink.get(), Cell.Y - FTitleOffset);
    int Kind = Column->GetColumnType();
    Hint.Text = Column->GetDisplayText();
    if (Kind == 4 && Column->KeyList()->Count() == 0) {
      int Line = Column->GetCellImageIndex();
      if (Line >= 0 && Line < Column->PickList()->Count()) Hint.Text = Column->PickList()->Strings(Line);
    }
    Hint.Font = Column->Font();
    Hint.WordWrap = Column->WordWrap() && FRowsTallerThanText;
    // A picture or a box tells the value only through the hint.
    Always = Kind == 4 || Kind == 5;
    Area.right -= Column->EditButtonsWidth();
    if (IsTreeColumn(AreaCol)) Area.left += TreeIndentWidth();
    if (Column->ImageList() && Column->ShowImageAndText())
      Area.left += Column->ImageList()->Width() + 4;
  }
  Hint.TextRect = Area;
  if (Hint.Text.empty()) return false;
  TWindowDC DC;
  TSelectObject Select(DC.Get(), Hint.Font->Handle());
  RECT Need{0, 0, std::max<int>(Area.right - Area.left, 1), 0};
  UINT Format = DT_CALCRECT | DT_NOPREFIX | (Hint.WordWrap ? DT_WORDBREAK : DT_SINGLELINE);
  DrawTextA(DC.Get(), Hint.Text.c_str(), static_cast<int>(Hint.Text.size()), &Need, Format);
  Hint.Fits = !Always && Need.right <= Area.right - Area.left &&
              Need.bottom <= Hint.CellBox.bottom - Hint.CellBox.top;
  // A number that fits needs no tip of its own.
  return Tips || !Hint.Fits;
}

void TCustomDBGridKs::HintShowPause(TMessage& Message) {
  POINT P = ScreenToClient(Application->HintCursorPos());
  TGridCoord Cell;
  TColumnKs* Column = HintColumn(P.x, P.y, Cell);
  // A cell that tells its own text shows it at once.
  if (Column && TipCell(Column, Cell)) *reinterpret_cast<int*>(Message.LParam) = 0;
}

void TCustomDBGridKs::HintShow(TMessage& Message) {
  auto* Info = reinterpret_cast<THintInfo*>(Message.LParam);
  TCellHintKs Hint;
  bool Given = CellHint(Info->CursorPos.x, Info->CursorPos.y, Hint);
  // Each cell is asked anew.
  if (!IsRectEmpty(&Hint.CellBox)) Info->CursorRect = MirroredRect(Hint.CellBox);
  if (!Given) return;
  if (Hint.Plain) {
    Info->HintStr = Hint.Text;
    return;
  }
  bool Held = GetKeyState(VK_LBUTTON) < 0 || GetKeyState(VK_RBUTTON) < 0 ||
              GetKeyState(VK_MBUTTON) < 0;
  if (Hint.Fits || Held) {
    Message.Result = 1;
    return;
  }
  if (!FToolTips) FToolTips = new TToolTipsWindow(this);
  Info->HintWindow = FToolTips;
  Info->HintStr = Hint.Text;
  Info->HintData = Hint.Font;
  // Over the cell's own text, where it shows.
  RECT Text = MirroredRect(Hint.TextRect);
  Info->HintPos = ClientToScreen(POINT{Text.left - 3, Text.top - 1});
  if (Hint.WordWrap) Info->HintMaxWidth = Hint.TextRect.right - Hint.TextRect.left - 4;
}

RECT TToolTipsWindow::CalcHintRect(int MaxWidth, const AnsiString& AHint, void* Data) {
  if (Data) Font()->Assign(static_cast<TFont*>(Data));
  Font()->SetColor(clWindowText);
  return THintWindow::CalcHintRect(MaxWidth, AHint, Data);
}

void TCustomDBGridKs::MouseMove(TShiftState Shift, int X, int Y) { MouseMoveTracking(Shift, X, Y); }

void TCustomDBGridKs::TopLeftChanged() {
  TCustomGrid::TopLeftChanged();
  UpdateHorzScrollBar();
  if (TreeModeNoFooter()) UpdateTreeRows();
  // The filter editor goes with its cell.
  PlaceFilterEditor(false);
}

// --- window

void TCustomDBGridKs::CreateParams(TCreateParams& Params) {
  TCustomGrid::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN;
  FFlatFrameWidth = 0;
  if (FFlat) {
    Params.Style &= ~WS_BORDER;
    Params.ExStyle &= ~WS_EX_CLIENTEDGE;
    if (BorderStyle() == bsSingle) FFlatFrameWidth = 1;
  }
}

// The flat grid's own one-pixel border, sunken as the 3-D one it replaces.
void TCustomDBGridKs::PaintNonClientEdges() {
  if (!FFlatFrameWidth) return;
  HDC DC = GetWindowDC(Handle());
  RECT R;
  GetWindowRect(Handle(), &R);
  OffsetRect(&R, -R.left, -R.top);
  DrawEdge(DC, &R, BDR_SUNKENOUTER, BF_RECT);
  ReleaseDC(Handle(), DC);
}

void TCustomDBGridKs::AfterCreateWnd() {
  BeginUpdate();
  TCustomGrid::AfterCreateWnd();
  EndUpdate();
  FEditButtonBaseWidth = FFlat ? FlatEditButtonWidth : GetSystemMetrics(SM_CXVSCROLL);
  UpdateEditButtonWidth();
  if (!FAutoFitColWidths) {
    UpdateRowLayout();
    RecordChanged();
  } else {
    LayoutChanged();
  }
  UpdateScrollBars();
}

void TCustomDBGridKs::GridSizeChanged() {
  if (FAutoFitColWidths && !Loading()) {
    LayoutChanged();
    UpdateEditor();
  } else {
    UpdateRowLayout();
    UpdateScrollBars();
    PlaceFilterEditor(false);
  }
  UpdateHorzScrollBar();
}

void TCustomDBGridKs::ApplyPendingSize() {
  FSizePending = false;
  GridSizeChanged();
}

void TCustomDBGridKs::WndProc(TMessage& Message) {
  if (InputMessage(Message)) return;
  switch (Message.Msg) {
    case WM_DEFERRED_LAYOUT_KS:
      if (AcquireLayoutLock()) {
        EndLayout();
      } else {
        // The running update or layout covers it when it ends.
        FLayoutPending = true;
      }
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // An automatic drag starts only after the grid has taken the press.
      if (DragMode() == dmAutomatic && !Designing()) {
        SetDragMode(dmManual);
        try {
          TCustomGrid::WndProc(Message);
        } catch (...) {
          SetDragMode(dmAutomatic);
          throw;
        }
        SetDragMode(dmAutomatic);
        BeginDrag(true);
        return;
      }
      break;
    case WM_NCCALCSIZE:
      TCustomGrid::WndProc(Message);
      if (FFlatFrameWidth && Message.WParam) {
        RECT& R = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        InflateRect(&R, -FFlatFrameWidth, -FFlatFrameWidth);
      }
      return;
    case WM_NCPAINT:
      TCustomGrid::WndProc(Message);
      PaintNonClientEdges();
      return;
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case CM_SYSCOLORCHANGE:
      // Button faces are drawn again in the new colours.
      TCustomGrid::WndProc(Message);
      ClearButtonsBitmapCache();
      return;
    case CM_HINTSHOWPAUSE:
      TCustomGrid::WndProc(Message);
      HintShowPause(Message);
      return;
    case CM_HINTSHOW:
      TCustomGrid::WndProc(Message);
      if (Message.Result == 0) HintShow(Message);
      return;
    case WM_GETDLGCODE:
      TCustomGrid::WndProc(Message);
      // Enter and Esc are the grid's keys, never the form's buttons'.
      Message.Result |= DLGC_WANTALLKEYS;
      if (FOptionsKs.Contains(dghPreferIncSearch)) Message.Result |= DLGC_WANTCHARS;
      return;
    case WM_SIZE:
      TCustomControl::WndProc(Message);
      UpdateScrollRange();
      if (FUpdateLock > 0) {
        FSizePending = true;
      } else {
        GridSizeChanged();
      }
      return;
    case WM_SETFOCUS: {
      HWND From = reinterpret_cast<HWND>(Message.WParam);
      if (FOptions.Contains(dgRowSelect)) InvalidateRowCells(Row());
      TCustomGrid::WndProc(Message);
      // Once the form holds the grid as its active control: a shown editor
      // takes the focus on.
      if (!IsWindowOf(InplaceEditor(), From)) RefreshEditor();
      // A filter cell left open when the focus went elsewhere is done.
      if (FFilterRowEditing && !IsWindowOf(FFilterEditor, From)) EndFilterEditing();
      RepaintSelectionOnFocusChange();
      return;
    }
    case WM_KILLFOCUS: {
      // A marking held open by Ctrl would wait for a release the grid
      // no longer hears.
      bool ToEditor = IsWindowOf(InplaceEditor(), reinterpret_cast<HWND>(Message.WParam));
      if (FSortMarkingPending && !ToEditor) {
        FSortMarkingPending = false;
        SortMarkingChanged();
      }
      TCustomGrid::WndProc(Message);
      if (FOptions.Contains(dgRowSelect)) InvalidateRowCells(Row());
      RepaintSelectionOnFocusChange();
      return;
    }
    case CM_FONTCHANGED:
      TCustomGrid::WndProc(Message);
      for (int I = 0; I < FColumns->Count(); ++I) FColumns->Items(I)->RefreshDefaultFont();
      LayoutChanged();
      return;
    case CM_PARENTFONTCHANGED:
      TCustomGrid::WndProc(Message);
      if (ParentFont()) {
        // Taken from the parent: the fonts stay the parent's.
        FSelfChangingTitleFont = FSelfChangingFooterFont = true;
        FTitleFont.Assign(Font());
        FFooterFont.Assign(Font());
        FSelfChangingTitleFont = FSelfChangingFooterFont = false;
        LayoutChanged();
      }
      return;
    case CM_COLORCHANGED:
      TCustomGrid::WndProc(Message);
      if (ParentColor()) {
        FFooterColor = Color();
        Invalidate();
      }
      return;
    default:
      break;
  }
  TCustomGrid::WndProc(Message);
}
