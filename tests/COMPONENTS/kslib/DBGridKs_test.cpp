// The data grid's core under Wine: defaults, options, scaling, the layout
// protocol and geometry, the data link and field map, the selection, the
// style and the window messages, over the goods fixture.
#include "COMPONENTS/kslib/DBGridKs.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "COMPONENTS/kslib/DbUtilsKs.h"
#include "COMPONENTS/kslib/ToolCtrlsKs.h"
#include "GridForm.h"
#include "forms/Menus.h"
#include "forms/ScrollBar.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

// Counts layout passes (each asks for the field map once) and can make
// the next one fail, as a dataset error while the layout runs would.
class TProbeGrid : public TDBGridKs {
 public:
  using TDBGridKs::SetEditText;
  using TDBGridKs::TDBGridKs;
  int Layouts = 0, FailLayouts = 0, SizeChanges = 0;
  void DefineFieldMap() override {
    ++Layouts;
    if (FailLayouts > 0) {
      --FailLayouts;
      throw EDatabaseError("Набор данных недоступен");
    }
    TDBGridKs::DefineFieldMap();
  }

 protected:
  void GridSizeChanged() override {
    ++SizeChanges;
    TDBGridKs::GridSizeChanged();
  }
};

using TProbeForm = TGridForm<TProbeGrid>;

void ExpectUnlocked(TCustomDBGridKs* Grid) {
  EXPECT_EQ(Grid->LayoutLock(), 0);
  EXPECT_EQ(Grid->UpdateLock(), 0);
  EXPECT_FALSE(Grid->InLayout());
}

// --- core

TEST(DBGridCore, ANewGridHasItsDefaults) {
  TDBGridKs Grid(nullptr);
  EXPECT_EQ(SetToBits(Grid.Options()), 3837u);
  EXPECT_EQ(SetToBits(Grid.OptionsKs()), 120417u);
  EXPECT_EQ(SetToBits(Grid.TCustomGrid::Options()), 3727u);
  EXPECT_EQ(SetToBits(Grid.AllowedOperations()), 15u);
  EXPECT_EQ(SetToBits(Grid.AllowedSelections()), 0u);
  EXPECT_EQ(Grid.VTitleMargin(), 10);
  EXPECT_TRUE(Grid.ShowHint());
  EXPECT_EQ(Grid.RowCount(), 2);
  EXPECT_EQ(Grid.ColCount(), 2);
  EXPECT_EQ(Grid.IndicatorOffset(), 1);
  EXPECT_EQ(Grid.Style(), DefaultDBGridKsStyle());
  EXPECT_EQ(Grid.FooterColor(), clWindow);
}

TEST(DBGridCore, OptionWritesReLayOutOnlyForWhatShows) {
  struct {
    TDBGridOption Option;
    bool ReLaysOut;
  } Cases[] = {{dgEditing, true},        {dgAlwaysShowEditor, true},
               {dgTitles, true},         {dgIndicator, true},
               {dgColLines, true},       {dgRowLines, true},
               {dgRowSelect, true},      {dgAlwaysShowSelection, true},
               {dgConfirmDelete, false}, {dgCancelOnExit, false},
               {dgColumnResize, false},  {dgTabs, false},
               {dgMultiSelect, false}};
  for (auto& C : Cases) {
    TProbeForm F;
    TDBGridOptions Options = F.Grid->Options();
    if (Options.Contains(C.Option)) {
      Options.Exclude(C.Option);
    } else {
      Options.Include(C.Option);
    }
    int Before = F.Grid->Layouts;
    F.Grid->SetOptions(Options);
    EXPECT_EQ(F.Grid->Layouts - Before, C.ReLaysOut ? 1 : 0) << "option " << C.Option;
  }
  TDBGridKs Grid(nullptr);
  Grid.SetOptions(Grid.Options() + TDBGridOptions{dgRowSelect, dgAlwaysShowEditor});
  EXPECT_FALSE(Grid.Options().Contains(dgEditing)) << "row select drops editing";
  EXPECT_FALSE(Grid.Options().Contains(dgAlwaysShowEditor));
  EXPECT_TRUE(Grid.TCustomGrid::Options().Contains(goRowSelect));
  EXPECT_FALSE(Grid.TCustomGrid::Options().Contains(goEditing));
}

TEST(DBGridCore, ScalingKeepsTheColumnBoundariesRounded) {
  struct {
    int Width, M, D;
    std::vector<int> Expected;
  } Cases[] = {{25, 2, 1, {50, 50, 50}}, {3, 3, 2, {5, 4, 5}}};
  for (auto& C : Cases) {
    TDBGridKs Grid(nullptr);
    for (int I = 0; I < 3; ++I) Grid.Columns()->Add()->SetWidth(C.Width);
    Grid.ChangeScale(C.M, C.D);
    std::vector<int> Widths;
    for (int I = 0; I < 3; ++I) Widths.push_back(Grid.Columns()->Items(I)->Width());
    EXPECT_EQ(Widths, C.Expected);
  }
}

// The fonts the grid and its columns hold of their own grow with the
// scale; a footer that follows the grid's footer font follows it there.
TEST(DBGridCore, ScalingScalesTheFootersFonts) {
  TDBGridKs Grid(nullptr);
  Grid.SetParentFont(false);
  Grid.FooterFont()->SetSize(8);
  TColumnKs* Column = Grid.Columns()->Add();
  Column->Footer()->Font()->SetSize(10);
  TColumnFooterKs* Own = Column->Footers()->Add();
  Own->Font()->SetSize(12);
  TColumnFooterKs* Following = Column->Footers()->Add();
  Grid.ChangeScale(3, 2);
  EXPECT_EQ(Grid.FooterFont()->Size(), 12);
  EXPECT_EQ(Column->Footer()->Font()->Size(), 15);
  EXPECT_EQ(Own->Font()->Size(), 18);
  EXPECT_EQ(Following->Font()->Size(), 12);
  EXPECT_FALSE(Following->FontStored());
}

TEST(DBGridCore, RemovedComponentsAreLetGo) {
  TProbeForm F;
  auto* Source = new TDataSource(nullptr);
  Source->SetDataSet(&F.Data);
  F.Grid->SetDataSource(Source);
  EXPECT_TRUE(F.Grid->DataLink()->Active());
  delete Source;
  EXPECT_EQ(F.Grid->DataSource(), nullptr);
  EXPECT_FALSE(F.Grid->DataLink()->Active());
  // Fields that go with a closing dataset unbind their columns.
  F.Grid->SetDataSource(&F.Source);
  ASSERT_NE(F.Grid->Columns()->Items(1)->GetField(), nullptr);
  F.Data.Close();
  EXPECT_EQ(F.Grid->GetFields(1), nullptr);
  ExpectUnlocked(F.Grid);
  F.Data.Open();
  EXPECT_EQ(F.Grid->Columns()->Count(), 4);
  EXPECT_EQ(F.Grid->Columns()->Items(3)->GetField(), F.Data.FieldByName("Qty"));
}

// A menu or image list of no owner, shared by two columns and the titles:
// deleted after the first column took none or went, every user left
// forgets it.
TEST(DBGridCore, ASharedMenuOrImageListIsLetGoByEveryUser) {
  for (bool ColumnGoes : {false, true}) {
    TGridForm<> F;
    auto* Images = new TImageList(nullptr, 16, 16);
    auto* Menu = new TPopupMenu(nullptr);
    TDBGridColumnsKs* Columns = F.Grid->Columns();
    for (int I : {0, 1}) {
      Columns->Items(I)->SetImageList(Images);
      Columns->Items(I)->SetPopupMenu(Menu);
    }
    F.Grid->SetTitleImages(Images);
    TColumnKs* Kept = Columns->Items(1);
    if (ColumnGoes) {
      Columns->Delete(0);
    } else {
      Columns->Items(0)->SetImageList(nullptr);
      Columns->Items(0)->SetPopupMenu(nullptr);
    }
    delete Images;
    delete Menu;
    EXPECT_EQ(Kept->ImageList(), nullptr) << ColumnGoes;
    EXPECT_EQ(Kept->PopupMenu(), nullptr) << ColumnGoes;
    EXPECT_EQ(F.Grid->TitleImages(), nullptr) << ColumnGoes;
  }
}

TEST(DBGridCore, TitleAndFooterFontsFollowTheParentUntilOneIsSet) {
  TGridForm<> F(5);
  F.Grid->SetFooterRowCount(1);
  F.Form->Font()->SetName("Courier New");
  F.Form->Font()->SetHeight(-17);
  EXPECT_EQ(F.Grid->TitleFont()->Name(), "Courier New");
  EXPECT_EQ(F.Grid->FooterFont()->Height(), -17);
  EXPECT_TRUE(F.Grid->ParentFont()) << "taken from the parent, not set";
  int TitleRow = F.Grid->RowHeights(0);
  F.Form->Font()->SetHeight(-25);
  EXPECT_GT(F.Grid->RowHeights(0), TitleRow) << "the titles re-laid out";
  F.Grid->TitleFont()->SetHeight(-12);
  EXPECT_FALSE(F.Grid->ParentFont());
  F.Form->Font()->SetHeight(-30);
  EXPECT_EQ(F.Grid->TitleFont()->Height(), -12);
  EXPECT_EQ(F.Grid->FooterFont()->Height(), -25);
}

TEST(DBGridCore, StartUpTwiceSharesOneStyle) {
  TDBGridKsStyle* Style = DefaultDBGridKsStyle();
  InitDBGridKsUnit();
  EXPECT_EQ(DefaultDBGridKsStyle(), Style) << "a second start-up makes nothing";
  DoneDBGridKsUnit();
  EXPECT_EQ(DefaultDBGridKsStyle(), Style) << "the first shut-down frees nothing";
  EXPECT_NE(DBGridKsDataService(), nullptr);
}

// --- layout

TEST(DBGridLayout, CaptionsMakeMultiLevelTitles) {
  TGridForm<> F;
  auto* Grid = F.Grid;
  Grid->Columns()->Clear();
  const char* Fields[] = {"Price", "Qty", "Name"};
  const char* Captions[] = {"Sales|Q1", "Sales|Q2", "Cost"};
  for (int I = 0; I < 3; ++I) {
    TColumnKs* Column = Grid->Columns()->Add();
    Column->SetFieldName(Fields[I]);
    Column->Title()->SetCaption(Captions[I]);
  }
  int Single = Grid->RowHeights(0);
  Grid->SetUseMultiTitle(true);
  std::vector<THeadTreeNode*> Top = Grid->HeadTree()->Children();
  ASSERT_EQ(Top.size(), 2u);
  EXPECT_EQ(Top[0]->Text, "Sales");
  EXPECT_EQ(Top[1]->Text, "Cost");
  std::vector<THeadTreeNode*> Quarters = Top[0]->Children();
  ASSERT_EQ(Quarters.size(), 2u);
  EXPECT_EQ(Quarters[0]->Text, "Q1");
  EXPECT_EQ(Top[1]->Height, Top[0]->Height + Quarters[0]->Height) << "Cost spans both levels";
  EXPECT_GT(Grid->RowHeights(0), Single);
  EXPECT_EQ(Grid->Columns()->Items(2)->Title()->Alignment(), taCenter)
      << "multi-level titles are centred unless set";
}

TEST(DBGridLayout, RowGeometryFollowsLinesHeightAndText) {
  TGridForm<> F;
  TFontMetricsKs M = MeasureFontKs(F.Grid->Font());
  int Line = M.Metrics.tmExternalLeading + M.Metrics.tmHeight;
  int Extra = 3 + F.Grid->GridLineWidth();
  int T = M.TextHeight;
  struct {
    int RowLines, RowHeight;
    bool Fit;
    int Expected;
  } Cases[] = {
      {0, 0, false, T + Extra},
      {2, 0, false, Line * 2},
      {2, 5, false, Line * 2 + 5},
      {0, 40, false, 40},
      {0, 40, true,
       ((40 - Extra) % T > T / 2 ? (40 - Extra) / T + 1 : (40 - Extra) / T) * T + Extra},
  };
  for (auto& C : Cases) {
    F.Grid->SetOptionsKs(F.Grid->OptionsKs() - TDBGridKsOptions{dghFitRowHeightToText});
    F.Grid->SetRowLines(C.RowLines);
    F.Grid->SetRowHeight(C.RowHeight);
    if (C.Fit) F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghFitRowHeightToText});
    EXPECT_EQ(F.Grid->DefaultRowHeight(), C.Expected)
        << C.RowLines << " lines, height " << C.RowHeight << (C.Fit ? ", fitted" : "");
    if (C.Fit) {
      EXPECT_EQ(F.Grid->RowHeight(), Extra);
      EXPECT_EQ(F.Grid->RowLines(), (C.Expected - Extra) / T);
    }
  }
}

TEST(DBGridLayout, FootersTakeTheBottomBelowASpacerRow) {
  TGridForm<> F(4);
  F.Show();
  F.Grid->SetFooterRowCount(2);
  int Offset = F.Grid->TitleOffset();
  ASSERT_EQ(F.Grid->RowCount(), Offset + 4 + 3);
  int Step = F.Grid->DefaultRowHeight() + 1;
  int Used = F.Grid->RowHeights(0) + 1 + 2 * Step + 1 + 4 * Step;
  EXPECT_EQ(F.Grid->RowHeights(Offset + 4), F.Grid->ClientHeight() - Used);
  RECT Footer = F.Grid->CellRect(1, F.Grid->RowCount() - 1);
  EXPECT_EQ(Footer.bottom + 1, F.Grid->ClientHeight()) << "the last footer ends at the bottom";
}

TEST(DBGridLayout, HiddenColumnsHaveNoWidthAndNoTabStop) {
  TGridForm<> F;
  F.Grid->Columns()->Items(1)->SetVisible(false);
  EXPECT_EQ(F.Grid->ColWidths(2), -1) << "with column lines";
  EXPECT_FALSE(F.Grid->TabStops(2));
  F.Grid->SetOptions(F.Grid->Options() - TDBGridOptions{dgColLines});
  EXPECT_EQ(F.Grid->ColWidths(2), 0);
  EXPECT_EQ(F.Grid->ColWidths(0), 11) << "the indicator";
}

TEST(DBGridLayout, AutoFitLaysColumnsOutForTheWiderOfClientAndMinimum) {
  TGridForm<> F;
  F.Show();
  F.Grid->SetAutoFitColWidths(true);
  auto Total = [&] {
    int Sum = F.Grid->ColWidths(0) + 1;
    for (int I = 0; I < F.Grid->Columns()->Count(); ++I)
      Sum += F.Grid->Columns()->Items(I)->Width() + 1;
    return Sum;
  };
  EXPECT_EQ(Total(), F.Grid->ClientWidth());
  F.Grid->SetMinAutoFitWidth(1200);
  EXPECT_EQ(Total(), 1200);
  F.Grid->Columns()->Items(0)->SetMaxWidth(30);
  F.Grid->LayoutChanged();
  EXPECT_EQ(F.Grid->Columns()->Items(0)->Width(), 30);
  EXPECT_EQ(Total(), 1200) << "the others take what the limited one leaves";
}

TEST(DBGridLayout, EveryPathLeavesTheLocksFreeAfterOneLayout) {
  TProbeForm F;
  F.Show();
  auto* G = F.Grid;
  // Nested brackets with requests inside: one pass at the outer end.
  int Before = G->Layouts;
  G->BeginLayout();
  G->BeginLayout();
  G->LayoutChanged();
  G->EndLayout();
  G->LayoutChanged();
  G->EndLayout();
  EXPECT_EQ(G->Layouts - Before, 1);
  ExpectUnlocked(G);

  // The deferred message arriving while a layout is open is covered by it.
  Before = G->Layouts;
  G->BeginLayout();
  PostMessageA(G->Handle(), WM_DEFERRED_LAYOUT_KS, 0, 0);
  PumpFor(30);
  EXPECT_EQ(G->Layouts, Before);
  G->EndLayout();
  PumpFor(30);
  EXPECT_EQ(G->Layouts - Before, 1);
  ExpectUnlocked(G);

  // Inside a plain update it runs once the update ends.
  Before = G->Layouts;
  G->BeginUpdate();
  PostMessageA(G->Handle(), WM_DEFERRED_LAYOUT_KS, 0, 0);
  PumpFor(30);
  G->EndUpdate();
  EXPECT_EQ(G->Layouts - Before, 1);
  ExpectUnlocked(G);

  // Fields leaving while the dataset's controls are disabled: deferred.
  F.Data.DisableControls();
  F.Data.Close();
  ExpectUnlocked(G);
  F.Data.Open();
  F.Data.EnableControls();
  PumpFor(30);
  ExpectUnlocked(G);
  EXPECT_EQ(G->Columns()->Count(), 4);

  // A layout that fails gives everything back and lets the error through.
  G->FailLayouts = 1;
  EXPECT_THROW(G->LayoutChanged(), EDatabaseError);
  ExpectUnlocked(G);
  G->Columns()->Items(0)->SetWidth(77);
  EXPECT_EQ(G->ColWidths(1), 77) << "the columns are out of their update";
  Before = G->Layouts;
  G->LayoutChanged();
  EXPECT_EQ(G->Layouts - Before, 1) << "the next request lays out again";
}

TEST(DBGridLayout, FrozenColumnsBeyondTheColumnsNeverRaise) {
  TGridForm<> F;
  EXPECT_NO_THROW(F.Grid->SetFrozenCols(10));
  EXPECT_EQ(F.Grid->FrozenCols(), 10);
  EXPECT_EQ(F.Grid->FixedCols(), F.Grid->ColCount() - 1);
  F.Grid->SetFrozenCols(-1);
  EXPECT_EQ(F.Grid->FrozenCols(), 10);
}

// --- data link

TEST(DBGridDataLink, TheMapGrowsByDoublingAndKeepsItsEntries) {
  TGridForm<> F;
  TGridDataLinkKs* Link = F.Grid->DataLink();
  Link->ClearMapping();
  Link->SparseMap = true;
  struct {
    int Adds, Size;
  } Steps[] = {{1, 8}, {8, 8}, {9, 16}, {16, 16}, {17, 32}};
  int Added = 0;
  for (auto& S : Steps) {
    while (Added < S.Adds) Link->AddMapping(Added++ == 0 ? "Price" : "Missing");
    EXPECT_EQ(Link->MapSize(), S.Size) << S.Adds << " entries";
  }
  EXPECT_EQ(Link->GetFields(0), F.Data.FieldByName("Price"));
  EXPECT_EQ(Link->GetFields(1), nullptr);
  EXPECT_FALSE(Link->DefaultFields()) << "a missing name in a sparse map";
  Link->SparseMap = false;
  EXPECT_THROW(Link->AddMapping("Missing"), EDatabaseError);
}

TEST(DBGridDataLink, CustomizedColumnsMayNameMissingFields) {
  TGridForm<> F;
  F.Grid->Columns()->Clear();
  F.Grid->Columns()->Add()->SetFieldName("Name");
  F.Grid->Columns()->Add()->SetFieldName("Gone");
  F.Grid->LayoutChanged();
  EXPECT_EQ(F.Grid->GetFields(0), F.Data.FieldByName("Name"));
  EXPECT_EQ(F.Grid->GetFields(1), nullptr);
  EXPECT_FALSE(F.Grid->DataLink()->DefaultFields());
  EXPECT_EQ(F.Grid->Columns()->Items(1)->GetField(), nullptr);
}

TEST(DBGridDataLink, ResetCancelsOnlyAnUnmarkedEdit) {
  TProbeForm F;
  TGridDataLinkKs* Link = F.Grid->DataLink();
  F.Data.Edit();
  Link->Reset();
  EXPECT_EQ(F.Data.State(), dsBrowse);
  F.Data.Edit();
  Link->Modified();
  Link->Reset();
  EXPECT_EQ(F.Data.State(), dsEdit) << "a marked edit only refreshes the record";
  EXPECT_FALSE(Link->IsModified());
  F.Data.Cancel();
}

TEST(DBGridDataLink, AFailedWriteKeepsTheEditForTheNextPost) {
  TProbeForm F;
  F.Show();
  TGridDataLinkKs* Link = F.Grid->DataLink();
  F.Grid->SetCol(4);  // Qty, an integer
  F.Grid->SetEditText(4, F.Grid->Row(), "abc");
  ASSERT_TRUE(Link->IsModified());
  EXPECT_THROW(F.Data.Post(), EDatabaseError);
  EXPECT_FALSE(Link->InUpdateData());
  EXPECT_TRUE(Link->IsModified()) << "the edit stays marked";
  F.Grid->SetEditText(4, F.Grid->Row(), "77");
  F.Data.Post();
  EXPECT_EQ(F.Data.FieldByName("Qty")->AsInteger(), 77);
  // A write that asks for the record's values again does not come back in.
  int Writes = 0;
  F.Data.FieldByName("Qty")->OnSetText = [&](TField* Field, const AnsiString& Text) {
    ++Writes;
    Field->SetAsString(Text);
    F.Data.UpdateRecord();
  };
  F.Grid->SetEditText(4, F.Grid->Row(), "78");
  F.Data.Post();
  EXPECT_EQ(Writes, 1);
  EXPECT_EQ(F.Data.FieldByName("Qty")->AsInteger(), 78);
}

// --- selection

TEST(DBGridSelection, KindsReplaceEachOtherAndEmptyOnClose) {
  TGridForm<> F;
  F.Show();
  auto* G = F.Grid;
  TDBGridKsSelection* S = G->Selection();
  F.Data.SetRecNo(2);
  AnsiString Earlier = F.Data.GetBookmark();
  F.Data.SetRecNo(5);
  AnsiString Later = F.Data.GetBookmark();
  S->Rect()->SelectRect(3, Later, false);
  S->Rect()->SelectRect(1, Earlier, true);
  EXPECT_EQ(S->SelectionType(), gstRectangle);
  EXPECT_EQ(S->Rect()->GetTopRow(), Earlier);
  EXPECT_EQ(S->Rect()->GetBottomRow(), Later);
  EXPECT_EQ(S->Rect()->GetLeftCol(), 1);
  EXPECT_EQ(S->Rect()->GetRightCol(), 3);
  EXPECT_TRUE(S->DataCellSelected(2, F.Data.GetBookmark()));
  EXPECT_FALSE(S->DataCellSelected(0, F.Data.GetBookmark()));

  G->SelectedRows()->SetCurrentRowSelected(true);
  EXPECT_EQ(S->SelectionType(), gstRecordBookmarks) << "a record selection replaces the rectangle";
  EXPECT_EQ(S->Rect()->AnchorCol, -1);
  G->SelectedRows()->SetCurrentRowSelected(false);
  EXPECT_EQ(S->SelectionType(), gstNon) << "the last record unselected";

  S->Rect()->SelectRect(2, Later, false);
  S->Rect()->SelectRect(2, Later, true);
  EXPECT_EQ(S->SelectionType(), gstNon) << "a rectangle of the anchor cell alone";

  TDBGridColumnsKs* Columns = G->Columns();
  S->Columns()->Select(Columns->Items(1), false);
  S->Columns()->SelectRange(Columns->Items(3));
  EXPECT_EQ(S->Columns()->size(), 3u);
  S->Columns()->SelectRange(Columns->Items(2));
  ASSERT_EQ(S->Columns()->size(), 2u) << "back toward the anchor";
  EXPECT_EQ(S->Columns()->at(0), Columns->Items(1));
  EXPECT_EQ(S->Columns()->at(1), Columns->Items(2));

  F.Data.Close();
  EXPECT_EQ(S->SelectionType(), gstNon);
  EXPECT_TRUE(S->Columns()->empty());
  try {
    S->Rect()->GetLeftCol();
    FAIL();
  } catch (EInvalidGridOperation& E) {
    EXPECT_EQ(E.Message(), AnsiString("Error in TDBGridKsSelectionRect.GetBottomRow"));
  }
}

TEST(DBGridSelection, NarrowingTheAllowedKindsClearsOnlyWhatLeft) {
  TGridForm<> F;
  F.Show();
  F.Grid->SelectedRows()->SetCurrentRowSelected(true);
  F.Grid->SetAllowedSelections({gstRecordBookmarks, gstAll});
  F.Grid->SetAllowedSelections({gstRecordBookmarks});
  EXPECT_EQ(F.Grid->Selection()->SelectionType(), gstRecordBookmarks);
  F.Grid->SetAllowedSelections({gstRectangle});
  EXPECT_EQ(F.Grid->Selection()->SelectionType(), gstNon);
  EXPECT_EQ(F.Grid->SelectedRows()->Count(), 0);
}

// --- style

TEST(DBGridStyle, MixColorBlendsTowardTheTarget) {
  EXPECT_EQ(ColorToRGB(MixColor(clWhite, clBlack, false)), RGB(186, 186, 186));
  EXPECT_EQ(ColorToRGB(MixColor(clWhite, clBlack, true)), RGB(202, 202, 202));
}

TEST(DBGridStyle, UnfocusedSelectionBlendsOnlyOnTrueColour) {
  TGridForm<> F;
  F.Show();
  F.Data.SetRecNo(3);
  F.Grid->SelectedRows()->SetCurrentRowSelected(true);
  F.Form->SetFocus();
  SetFocus(nullptr);
  TDBGridKsStyle* Style = F.Grid->Style();
  TFont Font;
  int Row = F.Grid->Row(), DataRow = Row - F.Grid->TitleOffset();
  auto Background = [&](int ScreenColors) {
    Style->ScreenColors = ScreenColors;
    TColor Back = clWindow;
    EXPECT_TRUE(Style->GetDataCellHighlight(F.Grid, 3, &Font, Back, {}, DataRow, 2, Row));
    return Back;
  };
  TColor Blended = Background(-1);
  TColor Plain = Background(256);
  Style->UpdateScreenColors();
  EXPECT_EQ(Plain, clBtnFace);
  EXPECT_NE(Blended, clBtnFace);
  EXPECT_EQ(ColorToRGB(Blended), ColorToRGB(MixColor(clWindow, clBtnShadow, false)));
}

// Records what the data service asked of the registry entry.
class TRecordingFeatures : public TDatasetFeaturesKs {
 public:
  std::vector<AnsiString>* Calls;
  explicit TRecordingFeatures(std::vector<AnsiString>* Calls) : Calls(Calls) {}
  void ApplySorting(TCustomDBGridKs* Grid, TDataSet* DataSet, bool Active) override {
    Record("sort", Grid, DataSet, Active);
  }
  void ApplyFilter(TCustomDBGridKs* Grid, TDataSet* DataSet, bool Active) override {
    Record("filter", Grid, DataSet, Active);
  }

 private:
  void Record(const char* What, TCustomDBGridKs* Grid, TDataSet* DataSet, bool Active) {
    Calls->push_back(AnsiString(What) +
                     (DataSet == Grid->DataSource()->DataSet() ? " own-data" : " other-data") +
                     (Active ? " on" : " off"));
  }
};

TEST(DBGridDataService, WithoutHandlersTheDatasetsRegistryEntryAppliesSortAndFilter) {
  std::vector<AnsiString> Calls;
  auto Owned = std::make_unique<TRecordingFeatures>(&Calls);
  TRecordingFeatures* Features = Owned.get();
  RegisterDatasetFeatures(DatasetClassTest<TGoodsDataSet>(), 2, std::move(Owned));
  TGridForm<> F;
  TDBGridKs Unbound(nullptr);
  Unbound.ApplyFilter();  // no data source: nothing to apply, nothing raised
  F.Grid->ApplySorting();
  F.Grid->ApplyFilter();
  EXPECT_EQ(Calls, (std::vector<AnsiString>{"sort own-data on", "filter own-data on"}));

  // A handler takes over from the registry.
  int Handled = 0;
  DBGridKsDataService()->FilterHandler = [&](TCustomDBGridKs*) { ++Handled; };
  F.Grid->ApplyFilter();
  DBGridKsDataService()->FilterHandler = nullptr;
  UnregisterDatasetFeatures(Features);
  F.Grid->ApplySorting();  // the entry is gone: a dataset of no class is left alone
  EXPECT_EQ(Handled, 1);
  EXPECT_EQ(Calls.size(), 2u);
}

TEST(DBGridStyle, AGridNeverKeepsADestroyedStyle) {
  TDBGridKs Grid(nullptr);
  auto* Own = new TDBGridKsStyle;
  Grid.SetStyle(Own);
  EXPECT_TRUE(Own->IsGridRegistered(&Grid));
  EXPECT_FALSE(DefaultDBGridKsStyle()->IsGridRegistered(&Grid));
  delete Own;
  EXPECT_EQ(Grid.Style(), DefaultDBGridKsStyle());
  EXPECT_TRUE(DefaultDBGridKsStyle()->IsGridRegistered(&Grid));
}

TEST(DBGridStyle, OneExternalScrollBarServesOneGrid) {
  TGridForm<> F;
  auto* Other = new TDBGridKs(F.Form);
  auto* Bar = new TScrollBar(F.Form);
  Bar->SetName("VBar");
  Bar->SetParent(F.Form);
  F.Grid->VertScrollBar()->SetExtScrollBar(Bar);
  try {
    Other->VertScrollBar()->SetExtScrollBar(Bar);
    FAIL();
  } catch (Exception& E) {
    EXPECT_EQ(E.Message(), AnsiString("Possible VBar already attached to the other control."));
  }
  F.Grid->VertScrollBar()->SetVisible(false);
  EXPECT_EQ(F.Grid->VertScrollBar()->VisibleMode(), sbNeverShowKs);
  EXPECT_FALSE(Bar->Visible());
  delete Bar;
  EXPECT_EQ(F.Grid->VertScrollBar()->ExtScrollBar(), nullptr);
}

// --- window

TEST(DBGridWindow, AFlatGridDrawsAOnePixelFrameInsteadOfTheEdge) {
  TGridForm<> F;
  F.Show();
  F.Grid->SetFlat(true);
  HWND Wnd = F.Grid->Handle();
  EXPECT_FALSE(GetWindowLongA(Wnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  RECT Window, Client;
  GetWindowRect(Wnd, &Window);
  GetClientRect(Wnd, &Client);
  int Bar = GetWindowLongA(Wnd, GWL_STYLE) & WS_HSCROLL ? GetSystemMetrics(SM_CYHSCROLL) : 0;
  EXPECT_EQ(Client.right, Window.right - Window.left - 2);
  EXPECT_EQ(Client.bottom, Window.bottom - Window.top - 2 - Bar);
}

// The system tells the form; the grid on it drops the button faces drawn
// in the old colours.
TEST(DBGridWindow, NewSystemColoursDropTheCachedButtonFaces) {
  TGridForm<> F;
  F.Show();
  HDC Screen = GetDC(nullptr);
  HDC DC = CreateCompatibleDC(Screen);
  HBITMAP Bitmap = CreateCompatibleBitmap(Screen, 20, 20);
  HGDIOBJ Old = SelectObject(DC, Bitmap);
  PaintEditButton(DC, RECT{0, 0, 17, 17}, clBtnFace, 0, true, false, false, nullptr,
                  ebsEllipsisKs);
  SelectObject(DC, Old);
  DeleteObject(Bitmap);
  DeleteDC(DC);
  ReleaseDC(nullptr, Screen);
  ASSERT_GT(ButtonsBitmapCache.Count(), 0);
  SendMessageA(F.Form->Handle(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(ButtonsBitmapCache.Count(), 0);
}

TEST(DBGridWindow, ASizeChangeInsideAnUpdateIsHandledOnceAtItsEnd) {
  TProbeForm F;
  F.Show();
  int Before = F.Grid->SizeChanges;
  F.Grid->BeginUpdate();
  F.Grid->SetBounds(5, 5, 400, 200);
  F.Grid->SetBounds(5, 5, 380, 180);
  EXPECT_EQ(F.Grid->SizeChanges, Before);
  F.Grid->EndUpdate();
  EXPECT_EQ(F.Grid->SizeChanges - Before, 1);
}

TEST(DBGridWindow, SavedPositionComesBackAfterAWalk) {
  TGridForm<> F(40);
  F.Show();
  TGridDataLinkKs* Link = F.Grid->DataLink();
  int Rows = Link->RecordCount();
  ASSERT_GT(Rows, 4);
  F.Data.SetRecNo(20);
  F.Data.MoveBy(2);
  int Id = F.Data.FieldByName("Id")->AsInteger();
  int Active = Link->ActiveRecord();
  F.Grid->SavePosition();
  for (F.Data.First(); !F.Data.Eof(); F.Data.Next()) {
  }
  F.Grid->RestorePosition();
  EXPECT_EQ(F.Data.FieldByName("Id")->AsInteger(), Id);
  EXPECT_EQ(Link->ActiveRecord(), Active) << "the same page";
}

}  // namespace

namespace {

// A dataset offering the tree interface: seven rows shown, the third current.
class TTreeGoods : public TGoodsDataSet, public IMemTableKs {
 public:
  TTreeGoods() : TGoodsDataSet(10) {}
  int RowsInView = 0;
  int VisibleRowCount() override { return 7; }
  int CurrentRow() override { return 2; }
  void SetRowsInView(int Count) override { RowsInView = Count; }
  bool TreeNavigation() override { return false; }
  void SetTreeNavigation(bool) override {}
  void ExpandRow(int, TTreeExpandKs) override {}
  int NodeLevel() override { return 0; }
  bool NodeHasNextSibling(int) override { return false; }
  bool NodeHasChildren() override { return false; }
  bool NodeExpanded() override { return false; }
  void GetFieldValues(const AnsiString&, TStrings*) override {}
};

TEST(DBGridTree, ATreeDatasetShowsItsVisibleRowsWithoutFooters) {
  TTreeGoods Data;
  TDataSource Source(nullptr);
  Source.SetDataSet(&Data);
  TForm* Form = new TForm(Application);
  auto* Grid = new TDBGridKs(Form);
  Grid->SetParent(Form);
  Grid->SetBounds(0, 0, 400, 300);
  Form->Show();
  Grid->SetDataSource(&Source);
  ASSERT_EQ(Grid->MemTableIntf(), static_cast<IMemTableKs*>(&Data));
  EXPECT_TRUE(Grid->TreeModeNoFooter());
  EXPECT_EQ(Grid->RowCount(), Grid->TitleOffset() + 7);
  EXPECT_EQ(Grid->Row(), Grid->TitleOffset() + 2);
  EXPECT_GT(Data.RowsInView, 0);
  Grid->SetFooterRowCount(1);
  EXPECT_FALSE(Grid->TreeModeNoFooter()) << "footers turn the tree rows off";
  EXPECT_EQ(Grid->RowCount(), Grid->TitleOffset() + Grid->DataLink()->RecordCount() + 2);
  Grid->SetFooterRowCount(0);
  Grid->TreeInterfaceEnabled = false;
  Grid->SetDataSource(nullptr);
  Grid->SetDataSource(&Source);
  EXPECT_EQ(Grid->MemTableIntf(), nullptr);
  delete Form;
}

}  // namespace

namespace {

TEST(DBGridWindow, AToolTipShowsOnlyWhenTheCellTextDoesNotFit) {
  TGridForm<> F;
  F.Show();
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  auto Hover = [&](WPARAM Keys) {
    RECT Cell = F.Grid->CellRect(2, F.Grid->TitleOffset());
    PostMessageA(F.Grid->Handle(), WM_MOUSEMOVE, Keys,
                 MAKELPARAM((Cell.left + Cell.right) / 2, (Cell.top + Cell.bottom) / 2));
    PumpFor(30);
    return F.Grid->ToolTipsWindow() && F.Grid->ToolTipsWindow()->Active();
  };
  Name->SetWidth(200);
  EXPECT_FALSE(Hover(0)) << "the text fits";
  Name->SetWidth(12);
  EXPECT_TRUE(Hover(0));
  EXPECT_EQ(F.Grid->ToolTipsWindow()->HintText(), "item1");
  EXPECT_TRUE(IsWindowVisible(F.Grid->ToolTipsWindow()->Handle()));
  EXPECT_FALSE(Hover(MK_LBUTTON)) << "not while a button is held";
  Name->SetToolTips(false);
  EXPECT_FALSE(Hover(0)) << "the column wants none";
}

TEST(DBGridWindow, TipCellsShowAtOnceAFooterTipReadsItsTextAndTitlesHaveTheirHints) {
  TGridForm<> F(5);
  F.Grid->SetFooterRowCount(1);
  F.Grid->SumList()->SetActive(true);
  TColumnKs* Qty = F.Grid->Columns()->Items(3);
  Qty->Footer()->SetValueType(fvtSum);
  Qty->Footer()->SetDisplayFormat("0.00");
  Qty->Footer()->SetToolTips(true);
  Qty->SetWidth(14);
  F.Grid->SetHint("Товары");
  F.Show();
  Application->SetHintPause(150);
  Application->SetHintShortPause(150);
  auto Hover = [&](int Col, int Row, int Wait) {
    RECT Cell = F.Grid->CellRect(Col, Row);
    POINT At{(Cell.left + Cell.right) / 2, (Cell.top + Cell.bottom) / 2};
    // The cursor itself too: leaving the window would end the hint.
    POINT Screen = F.Grid->ClientToScreen(At);
    SetCursorPos(Screen.x, Screen.y);
    PostMessageA(F.Grid->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(At.x, At.y));
    PumpFor(Wait);
    THintWindow* Shown = Application->ShownHintWindow();
    return Shown ? Shown->HintText() : AnsiString("-");
  };
  AnsiString Sum;
  F.Grid->FooterValueText(0, Qty, Sum);
  ASSERT_EQ(Sum, "150" + AnsiString(1, FormatSettings.DecimalSeparator) + "00");
  EXPECT_EQ(Hover(F.Grid->DataToRawColumn(3), F.Grid->RowCount() - 1, 30), Sum)
      << "the footer's text as painted, without the pause";
  EXPECT_EQ(Application->ShownHintWindow(), F.Grid->ToolTipsWindow());

  // A cell without tips shows the grid's own hint after the pause.
  F.Grid->Columns()->Items(0)->SetToolTips(false);
  EXPECT_EQ(Hover(F.Grid->DataToRawColumn(0), F.Grid->TitleOffset() + 1, 30), "-");
  ASSERT_TRUE(PumpUntil([] { return Application->ShownHintWindow() != nullptr; }, 1000));
  EXPECT_EQ(Application->ShownHintWindow()->HintText(), "Товары");

  F.Grid->Columns()->Items(1)->Title()->SetHint("Наименование товара");
  EXPECT_EQ(Hover(F.Grid->DataToRawColumn(1), 0, 30), "-");
  ASSERT_TRUE(PumpUntil([] { return Application->ShownHintWindow() != nullptr; }, 1000));
  EXPECT_EQ(Application->ShownHintWindow()->HintText(), "Наименование товара");
  EXPECT_NE(Application->ShownHintWindow(), F.Grid->ToolTipsWindow()) << "an ordinary hint";
  Application->SetHintPause(500);
  Application->SetHintShortPause(50);
}

}  // namespace

namespace {

// A grid and an edit after it in the tab order.
struct TGridAndEditForm : TGridForm<> {
  TEdit* Other = new TEdit(Form);

  TGridAndEditForm() {
    Other->SetParent(Form);
    Other->SetBounds(5, 262, 100, 21);
  }
};

TEST(DBGridWindow, ASortMarkingHeldByCtrlIsAnnouncedWhenTheFocusLeaves) {
  TGridAndEditForm F;
  TEdit* Other = F.Other;
  F.Grid->Columns()->Items(1)->Title()->SetTitleButton(true);
  int Announced = 0;
  F.Grid->OnSortMarkingChanged = [&](TObject*) { ++Announced; };
  F.Show();
  RECT Title = F.Grid->CellRect(2, 0);
  LPARAM At = MAKELPARAM((Title.left + Title.right) / 2, (Title.top + Title.bottom) / 2);
  BYTE Keys[256];
  GetKeyboardState(Keys);
  Keys[VK_CONTROL] = 0x80;
  SetKeyboardState(Keys);
  PostMessageA(F.Grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, At);
  PostMessageA(F.Grid->Handle(), WM_LBUTTONUP, MK_CONTROL, At);
  PumpFor(40);
  Keys[VK_CONTROL] = 0;
  SetKeyboardState(Keys);
  EXPECT_EQ(Announced, 0) << "Ctrl is still down";
  Other->SetFocus();
  ASSERT_TRUE(PumpUntilFocused(Other->Handle()));
  EXPECT_EQ(Announced, 1) << "the release goes elsewhere";
  F.Grid->SetFocus();
  ASSERT_TRUE(PumpUntilFocused(F.Grid->Handle()));
  Other->SetFocus();
  ASSERT_TRUE(PumpUntilFocused(Other->Handle()));
  EXPECT_EQ(Announced, 1) << "once";
}

TEST(DBGridWindow, AnEditorOpenWhenTheFocusLeftTakesItBackWithTheGrid) {
  // Opened by F2, or always shown.
  for (bool Always : {false, true}) {
    TGridAndEditForm F;
    F.Show();
    F.Grid->SetCol(2);
    if (Always) {
      F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgAlwaysShowEditor});
    } else {
      PostKey(VK_F2);
    }
    TInplaceEdit* Editor = F.Grid->InplaceEditor();
    ASSERT_TRUE(Editor && PumpUntilFocused(Editor->Handle())) << Always;
    PostClickOn(F.Other->Handle(), POINT{5, 5});
    ASSERT_TRUE(PumpUntilFocused(F.Other->Handle()));
    F.Data.Edit();
    F.Data.FieldByName("Name")->SetAsString("moved");
    F.Data.Post();
    PostKey(VK_TAB, {VK_SHIFT});
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() != F.Other->Handle(); }));
    PumpFor(20);
    EXPECT_EQ(GetFocus(), Editor->Handle()) << Always;
    EXPECT_TRUE(Editor->Visible()) << Always;
    EXPECT_EQ(Editor->Text(), "moved") << Always;
    // Keys edit the text instead of moving the grid.
    PostKey(VK_END);
    PostKey(VK_LEFT);
    PostText("e");
    PumpFor(30);
    EXPECT_EQ(F.Grid->Col(), 2) << Always;
    EXPECT_EQ(Editor->Text(), "moveed") << Always;
  }
}

TEST(DBGridWindow, SelectedRowsRepaintWhenTheFocusLeavesAndComesBack) {
  TGridAndEditForm F;
  F.Grid->SetOptions(F.Grid->Options() + TDBGridOptions{dgMultiSelect});
  F.Show();
  for (int Row : {3, 5}) {
    F.Data.First();
    F.Data.MoveBy(Row);
    F.Grid->SelectedRows()->SetCurrentRowSelected(true);
  }
  F.Data.First();
  PumpFor(30);
  RECT Selected = F.Grid->CellRect(2, F.Grid->TitleOffset() + 3);
  POINT Middle{(Selected.left + Selected.right) / 2, (Selected.top + Selected.bottom) / 2};
  // Asked before the loop paints: what the focus change left to repaint.
  auto Invalid = [&] {
    HRGN Region = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(F.Grid->Handle(), Region, FALSE);
    bool Inside = PtInRegion(Region, Middle.x, Middle.y);
    DeleteObject(Region);
    return Inside;
  };
  ASSERT_FALSE(Invalid());
  F.Other->SetFocus();
  EXPECT_TRUE(Invalid()) << "the rows lose the focus colours";
  PumpFor(30);
  ASSERT_FALSE(Invalid());
  F.Grid->SetFocus();
  EXPECT_TRUE(Invalid()) << "and take them back";
}

TEST(DBGridWindow, AnAutomaticDragStartsAfterThePressMovedTheGrid) {
  TGridForm<> F;
  auto* Target = new TEdit(F.Form);
  Target->SetParent(F.Form);
  Target->SetBounds(5, 262, 100, 21);
  TObject* Dropped = nullptr;
  Target->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& Accept) {
    Accept = true;
  };
  Target->OnDragDrop = [&](TObject*, TObject* Source, int, int) { Dropped = Source; };
  F.Grid->SetDragMode(dmAutomatic);
  F.Show();
  RECT Cell = F.Grid->CellRect(2, F.Grid->TitleOffset() + 3);
  auto Post = [&](UINT Msg, int X, int Y) {
    PostMessageA(F.Grid->Handle(), Msg, Msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(X, Y));
  };
  Post(WM_LBUTTONDOWN, Cell.left + 5, Cell.top + 5);
  POINT Over = F.Grid->ScreenToClient(Target->ClientToScreen(POINT{10, 5}));
  Post(WM_MOUSEMOVE, Over.x, Over.y);
  Post(WM_LBUTTONUP, Over.x, Over.y);
  PumpFor(80);
  EXPECT_EQ(F.Grid->Row(), F.Grid->TitleOffset() + 3) << "the press moved the grid first";
  EXPECT_EQ(Dropped, F.Grid);
  EXPECT_EQ(F.Grid->DragMode(), dmAutomatic);
  EXPECT_EQ(F.Grid->GridState(), gsNormal);
  EXPECT_EQ(GetCapture(), nullptr);
}

}  // namespace

namespace {

TEST(DBGridLayout, DraggingABorderOfAFittedGridKeepsTheGridFitted) {
  for (bool WholeRight : {false, true}) {
    TGridForm<> F;
    F.Show();
    if (WholeRight)
      F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghResizeWholeRightPart});
    F.Grid->SetAutoFitColWidths(true);
    auto Widths = [&] {
      std::vector<int> W;
      for (int I = 0; I < 4; ++I) W.push_back(F.Grid->Columns()->Items(I)->Width());
      return W;
    };
    auto Total = [&] {
      int Sum = F.Grid->ColWidths(0) + 1;
      for (int W : Widths()) Sum += W + 1;
      return Sum;
    };
    std::vector<int> Before = Widths();
    RECT Title = F.Grid->CellRect(2, 0);
    PostMessageA(F.Grid->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(Title.right, 3));
    PostMessageA(F.Grid->Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(Title.right + 30, 3));
    PostMessageA(F.Grid->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(Title.right + 30, 3));
    PumpFor(50);
    std::vector<int> After = Widths();
    EXPECT_EQ(Total(), F.Grid->ClientWidth()) << "still fitted";
    EXPECT_GT(After[1], Before[1]) << "the dragged column grew";
    EXPECT_EQ(After[0], Before[0]) << "columns to the left stay";
    if (WholeRight) {
      EXPECT_LT(After[2], Before[2]);
      EXPECT_LT(After[3], Before[3]) << "the whole right part gives way";
    } else {
      EXPECT_LT(After[2], Before[2]) << "the next column gives way";
      EXPECT_EQ(After[3], Before[3]);
    }
  }
}

}  // namespace

namespace {

// DrawCell reachable from the tests, drawing into a DIB.
class TPaintProbeGrid : public TDBGridKs {
 public:
  using TDBGridKs::TDBGridKs;
  using TCustomDBGridKs::CellHas3DFrame;
  using TCustomDBGridKs::DrawCell;
  void SetLoading(bool On) { SetComponentState(csLoading, On); }
};

// The indicator cell of a data row drawn into a DIB of its size.
void DrawIndicator(TPaintProbeGrid* Grid, TDibDC& Dib, int DataRow) {
  Grid->Canvas()->SetHandle(Dib.DC());
  Grid->DrawCell(0, Grid->TitleOffset() + DataRow, RECT{0, 0, Dib.Width(), Dib.Height()},
                 {gdFixed});
  Grid->Canvas()->SetHandle(nullptr);
}

// Pixels of a drawn data cell that are not the white background.
int InkOfDataCell(TPaintProbeGrid* Grid, int DataRow) {
  TDibDC Dib(100, 20);
  Grid->Canvas()->SetHandle(Dib.DC());
  Grid->DrawCell(Grid->DataToRawColumn(1), Grid->TitleOffset() + DataRow, RECT{0, 0, 100, 20},
                 {});
  Grid->Canvas()->SetHandle(nullptr);
  return 100 * 20 - Dib.Count(RECT{0, 0, 100, 20}, RGB(255, 255, 255));
}

}  // namespace

TEST(DBGridPainting, ACellWithTheTextOfTheRecordAboveShowsEmptyWithHideDuplicates) {
  TGridForm<TPaintProbeGrid> F(5);
  F.Form->Show();
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  Name->OnGetCellParams = [](TColumnKs*, bool, TColCellParamsKs* Params) {
    Params->Text = "same";
  };
  ASSERT_GT(InkOfDataCell(F.Grid, 1), 0);
  Name->SetHideDuplicates(true);
  EXPECT_GT(InkOfDataCell(F.Grid, 0), 0) << "the first row has nothing above it";
  EXPECT_EQ(InkOfDataCell(F.Grid, 1), 0);
  Name->OnGetCellParams = [](TColumnKs*, bool, TColCellParamsKs* Params) {
    Params->Text += "!";
  };
  EXPECT_GT(InkOfDataCell(F.Grid, 1), 0) << "different texts both show";
}

TEST(DBGridPainting, AHandlerRaisingForTheRecordAboveLeavesTheCurrentRecordActive) {
  TGridForm<TPaintProbeGrid> F(5);
  F.Form->Show();
  F.Grid->Columns()->Items(1)->SetHideDuplicates(true);
  TField* Name = F.Data.FieldByName("Name");
  F.Grid->OnGetCellParams = [&](TObject*, TColumnKs*, TFont*, TColor&, TGridDrawState) {
    if (Name->AsString() == "item2") throw std::runtime_error("no colours for item2");
  };
  ASSERT_EQ(Name->AsString(), "item1");
  EXPECT_THROW(InkOfDataCell(F.Grid, 2), std::runtime_error) << "while reading item2 above item3";
  EXPECT_EQ(Name->AsString(), "item1") << "an edit now lands on the current record";
}

TEST(DBGridPainting, TheIndicatorShowsTheCurrentRowsStateAndTheSelectedRows) {
  using TForm5 = TGridForm<TPaintProbeGrid>;
  const COLORREF Selected = RGB(64, 64, 64);
  struct {
    const char* Name;
    std::function<void(TForm5&)> Setup;
    int DataRow;
    bool Highlighted;
    int Image;  // -1: none
  } Cases[] = {
      {"current row: black arrow", [](TForm5&) {}, 0, false, 0},
      {"other row: nothing", [](TForm5&) {}, 1, false, -1},
      {"selected current row: white arrow",
       [](TForm5& F) { F.Grid->SelectedRows()->SetCurrentRowSelected(true); }, 0, true, 5},
      {"selected row, not current: no picture",
       [](TForm5& F) {
         F.Grid->SelectedRows()->SetCurrentRowSelected(true);
         F.Data.Next();
       },
       0, true, -1},
      {"editing: I-beam", [](TForm5& F) { F.Data.Edit(); }, 0, false, 1},
      {"inserting: asterisk", [](TForm5& F) { F.Data.Insert(); }, -1, false, 2},
      {"incremental search: the arrow in the search colour",
       [](TForm5& F) { F.Grid->InIncSearch = true; }, 0, false, 6},
  };
  for (auto& C : Cases) {
    TForm5 F(5);
    F.Form->Show();
    C.Setup(F);
    int DataRow = C.DataRow >= 0 ? C.DataRow : F.Grid->DataLink()->ActiveRecord();
    TDibDC Actual(12, 18), Expected(12, 18, C.Highlighted ? Selected
                                                          : ColorToRGB(F.Grid->FixedColor()));
    DrawIndicator(F.Grid, Actual, DataRow);
    // Inside the 3D frame, 1 px from its right edge, centred vertically.
    if (C.Image >= 0) {
      TCanvas Canvas;
      Canvas.SetHandle(Expected.DC());
      DBGridKsUnit.IndicatorImages->Draw(&Canvas, 11 - 6 - 1, (1 + 17 - 11) / 2, C.Image);
      Canvas.SetHandle(nullptr);
    }
    RECT Frame{0, 0, 12, 18};
    DrawEdge(Expected.DC(), &Frame, C.Highlighted ? BDR_SUNKENINNER : BDR_RAISEDINNER, BF_RECT);
    EXPECT_TRUE(Actual.SameAs(Expected)) << C.Name;
    if (F.Data.State() != dsBrowse) F.Data.Cancel();
  }
}

TEST(DBGridPainting, CellKindsAndTheirFramesWithFooters) {
  TGridForm<TPaintProbeGrid> F(5);
  F.Form->Show();
  F.Grid->SetFooterRowCount(2);
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghFooter3D});
  int Rows = F.Grid->RowCount(), Separator = Rows - 3;
  struct {
    int Col, Row;
    int Kind, AreaCol, AreaRow;
    TGridDrawState State;
    bool Has3D;
  } Cases[] = {
      {0, 0, 0x000, 0, 0, {gdFixed}, true},             // corner
      {2, 0, 0x001, 1, 0, {gdFixed}, true},             // title
      {0, 1, 0x200, 0, 0, {gdFixed}, true},             // indicator of a data row
      {2, 3, 0x201, 1, 2, {}, false},                   // data cell
      {0, Separator, 0x300, 0, 0, {gdFixed}, false},    // the separator's indicator
      {1, Separator, 0x301, 0, 0, {}, false},           // the separator row
      {1, Separator + 1, 0x401, 0, 1, {gdFixed}, true},  // first footer row
      {1, Rows - 1, 0x401, 0, 2, {gdFixed}, true},
  };
  for (auto& C : Cases) {
    int AreaCol = -1, AreaRow = -1;
    EXPECT_EQ(F.Grid->GetCellType(C.Col, C.Row, AreaCol, AreaRow), C.Kind) << C.Col << "," << C.Row;
    EXPECT_EQ(AreaCol, C.AreaCol) << C.Col << "," << C.Row;
    EXPECT_EQ(AreaRow, C.AreaRow) << C.Col << "," << C.Row;
    EXPECT_EQ(F.Grid->CellHas3DFrame(C.Col, C.Row, C.State, RECT{}), C.Has3D)
        << C.Col << "," << C.Row;
  }
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghData3D});
  EXPECT_TRUE(F.Grid->CellHas3DFrame(2, 3, {}, RECT{}));
  EXPECT_TRUE(F.Grid->CellHas3DFrame(0, Separator, {gdFixed}, RECT{})) << "fixed and data 3D";
}

TEST(DBGridPainting, AFlat3DDataCellKeepsMarginsOfOneAndNone) {
  TGridForm<TPaintProbeGrid> F(5);
  F.Form->Show();
  F.Grid->SetFlat(true);
  F.Grid->SetOptionsKs(F.Grid->OptionsKs() + TDBGridKsOptions{dghData3D});
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  const RECT Cell{0, 0, 100, 20};
  TDibDC Actual(100, 20), Expected(100, 20, ColorToRGB(Name->Color()));
  F.Grid->Canvas()->SetHandle(Actual.DC());
  // The second row: not the current one, so not highlighted.
  F.Grid->DrawCell(F.Grid->DataToRawColumn(1), F.Grid->TitleOffset() + 1, Cell, {});
  F.Grid->Canvas()->SetHandle(nullptr);
  {
    TSelectObject Font(Expected.DC(), Name->Font()->Handle());
    SetBkMode(Expected.DC(), TRANSPARENT);
    SetTextColor(Expected.DC(), ColorToRGB(Name->Font()->Color()));
    RECT Inner{1, 1, 99, 19};
    ExtTextOutA(Expected.DC(), 1 + 1, 1 + 0, ETO_CLIPPED, &Inner, "item2", 5, nullptr);
    RECT Frame = Cell;
    DrawEdge(Expected.DC(), &Frame, BDR_RAISEDINNER, BF_TOP | BF_LEFT);
  }
  EXPECT_TRUE(Actual.SameAs(Expected));
}

TEST(DBGridPainting, AnEmptyCellIsNotDrawnAndALoadingGridOnlyFillsItsColor) {
  TGridForm<TPaintProbeGrid> F(5);
  F.Form->Show();
  const COLORREF Green = RGB(0, 255, 0);
  TDibDC Dib(100, 20, Green);
  F.Grid->Canvas()->SetHandle(Dib.DC());
  F.Grid->DrawCell(F.Grid->DataToRawColumn(1), F.Grid->TitleOffset(), RECT{50, 0, 50, 20}, {});
  EXPECT_EQ(Dib.Count(RECT{0, 0, 100, 20}, Green), 100 * 20) << "empty rectangle";
  F.Grid->SetColor(clAqua);
  F.Grid->SetLoading(true);
  for (int Col : {0, 1})
    F.Grid->DrawCell(Col, F.Grid->TitleOffset(), RECT{Col * 50, 0, Col * 50 + 50, 20}, {});
  F.Grid->SetLoading(false);
  F.Grid->Canvas()->SetHandle(nullptr);
  EXPECT_EQ(Dib.Count(RECT{0, 0, 100, 20}, RGB(0, 255, 255)), 100 * 20) << "loading";
}

TEST(DBGridPainting, AnEmptyRequiredFieldOfTheInsertedRowIsMarkedWithADottedRedLine) {
  TGridForm<TPaintProbeGrid> F(5);
  F.Form->Show();
  TColumnKs* Name = F.Grid->Columns()->Items(1);
  Name->SetHighlightRequired(true);
  F.Data.FieldByName("Name")->SetRequired(true);
  auto RedUnderText = [&](int DataRow) {
    TDibDC Dib(100, 20);
    F.Grid->Canvas()->SetHandle(Dib.DC());
    F.Grid->DrawCell(F.Grid->DataToRawColumn(1), F.Grid->TitleOffset() + DataRow,
                     RECT{0, 0, 100, 20}, {});
    F.Grid->Canvas()->SetHandle(nullptr);
    EXPECT_EQ(Dib.Count(RECT{0, 0, 100, 19}, RGB(255, 0, 0)), 0) << "only the bottom line";
    return Dib.Count(RECT{0, 19, 100, 20}, RGB(255, 0, 0));
  };
  EXPECT_EQ(RedUnderText(0), 0) << "browsing";
  F.Data.Insert();
  int Row = F.Grid->DataLink()->ActiveRecord();
  int Red = RedUnderText(Row);
  EXPECT_GT(Red, 20) << "from left + 2 to right - 3";
  EXPECT_LT(Red, 95) << "dotted";
  EXPECT_EQ(RedUnderText(Row == 0 ? 1 : 0), 0) << "another row";
  Name->OnCheckDrawRequiredState = [](TObject*, const AnsiString&, bool& Draw) { Draw = false; };
  EXPECT_EQ(RedUnderText(Row), 0) << "the column's handler decides last";
  Name->OnCheckDrawRequiredState = nullptr;
  F.Data.FieldByName("Name")->SetAsString("x");
  EXPECT_EQ(RedUnderText(Row), 0) << "filled in";
  F.Data.Cancel();
}
