// The grid editor's data list over a levelled server dataset under real
// keys: typed text filters the open list or, after F4, locates in it; F3
// switches the level mode; Enter and Esc step through the levels, as a
// press on a level row does; every close-up gives the dataset back the
// extra filter a program had set.
#include <gtest/gtest.h>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"
#include "COMPONENTS/kslib/DBLookupGridsKs.h"
#include "GridEditorKit.h"
#include "GridUnitEnvironment.h"
#include "LevelTree.h"
#include "forms/Forms.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

const auto* const GridUnit = ::testing::AddGlobalTestEnvironment(new TGridUnitEnvironment);

constexpr const char* ProgramFilter = "NAME <> 'Нет такого'";

// Orders whose Node is a lookup field over the tree's names.
struct TTreeLookupForm {
  TTree T;
  TArrayDataSet Orders{nullptr};
  TDataSource OrderSource{nullptr};
  TForm* Form = new TForm(Application);
  TDBGridKs* Grid = new TDBGridKs(Form);
  TEdit* Other = new TEdit(Form);

  TTreeLookupForm() {
    T.Tree.SetExtraFilterText(ProgramFilter);
    AddFieldObject(&Orders, "Id", ftInteger);
    AddFieldObject(&Orders, "NodeId", ftLargeint);
    AddLookupField(&Orders, "Node", &T.Tree, "NodeId", "SYS$ID", "NAME");
    Orders.Open();
    AppendValues(&Orders, {1, Variant(int64_t{3})});
    Orders.First();
    OrderSource.SetDataSet(&Orders);
    Form->SetBounds(40, 40, 460, 360);
    Grid->SetParent(Form);
    Grid->SetBounds(5, 5, 440, 250);
    Grid->SetDataSource(&OrderSource);
    Grid->SetOptions(Grid->Options().Include(dgEditing));
    Grid->Columns()->Items(2)->SetAutoDropDown(false);
    Other->SetParent(Form);
    Other->SetBounds(5, 270, 100, 22);
  }
  ~TTreeLookupForm() {
    delete Form;
    Orders.Close();
  }
  TTreeLookupForm(const TTreeLookupForm&) = delete;
  TTreeLookupForm& operator=(const TTreeLookupForm&) = delete;

  TDBGridInplaceEdit* Edit() { return EditGridCell(Form, Grid, 2); }
  bool ListShown(TDBGridInplaceEdit* Editor) { return PopupShown(Editor->DataList()); }
  void DropDown(TDBGridInplaceEdit* Editor) {
    PostKey(VK_DOWN, {VK_MENU});
    ASSERT_TRUE(PumpUntil([&] { return ListShown(Editor); }));
  }
  // Open, stepping through the levels (F3 from the leaves alone).
  void DropDownByLevels(TDBGridInplaceEdit* Editor) {
    DropDown(Editor);
    PostKey(VK_F3);
    ASSERT_TRUE(PumpUntil([&] { return T.Tree.LevelMode() == dslmDefault; }));
  }
};

TEST(DBGridInplaceEditTreeList, TypedTextFiltersTheOpenListAndEveryCloseUpPutsTheFilterBack) {
  TTreeLookupForm F;
  TDBGridInplaceEdit* Editor = F.Edit();
  ASSERT_EQ(Editor->EditStyle(), iesDataList);
  EXPECT_EQ(Editor->Text(), "Иванов");
  F.DropDown(Editor);
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), "") << "the list shows all it has";
  EXPECT_EQ(F.T.Tree.LevelMode(), dslmShowOnlyLeaf);

  Editor->SelectAll();
  PostChars(Editor->Handle(), "щ");
  EXPECT_EQ(Editor->Text(), "Ящик");
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), "NAME LIKE '%Щ%'");
  EXPECT_EQ(F.T.Tree.RecordCount(), 1);
  PostChars(Editor->Handle(), "z");
  EXPECT_EQ(Editor->Text(), "Ящик") << "no record has it";
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), "NAME LIKE '%Щ%'") << "the last matching filter stays";

  // Closed by a press on another control: the program's filter is back.
  PostClickOn(F.Other->Handle(), POINT{5, 5});
  ASSERT_TRUE(PumpUntil([&] { return !F.ListShown(Editor); }));
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), ProgramFilter);

  // Typed with the list closed: located, nothing filtered.
  Editor = F.Edit();
  Editor->SelectAll();
  PostChars(Editor->Handle(), "ив");
  EXPECT_FALSE(F.ListShown(Editor));
  EXPECT_EQ(Editor->Text(), "Иванов");
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), ProgramFilter);

  // F4: typed text locates in the whole list instead.
  F.DropDown(Editor);
  PostKey(VK_F4);
  Editor->SelectAll();
  PostChars(Editor->Handle(), "я");
  EXPECT_EQ(Editor->Text(), "Ящик");
  EXPECT_EQ(Editor->SelStart(), 1);
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), "");
  EXPECT_TRUE(F.ListShown(Editor));
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !F.ListShown(Editor); }));
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), ProgramFilter);
  EXPECT_EQ(Editor->Text(), "Ящик");
  F.Orders.Post();
  EXPECT_EQ(F.Orders.FieldByName("NodeId")->AsInteger(), 9);
}

// The focus going to another control, or to another form, closes the list
// filtered by typed text: the program's filter is back.
TEST(DBGridInplaceEditTreeList, AListClosedByTheFocusLeavingPutsTheFilterBack) {
  for (bool OtherForm : {false, true}) {
    TTreeLookupForm F;
    TDBGridInplaceEdit* Editor = F.Edit();
    F.DropDown(Editor);
    Editor->SelectAll();
    PostChars(Editor->Handle(), "щ");
    ASSERT_EQ(F.T.Tree.ExtraFilterText(), "NAME LIKE '%Щ%'");
    TForm* Second = nullptr;
    if (OtherForm) {
      Second = new TForm(Application);
      Second->SetBounds(520, 40, 200, 100);
      Second->Show();
      SetForegroundWindow(Second->Handle());
    } else {
      F.Other->SetFocus();
    }
    EXPECT_TRUE(PumpUntil([&] { return !F.ListShown(Editor); })) << OtherForm;
    EXPECT_EQ(F.T.Tree.ExtraFilterText(), ProgramFilter) << OtherForm;
    delete Second;
  }
}

TEST(DBGridInplaceEditTreeList, EnterAndEscStepThroughTheLevelsAndF3SwitchesTheirMode) {
  TTreeLookupForm F;
  TDBGridInplaceEdit* Editor = F.Edit();
  F.DropDown(Editor);
  PostKey(VK_F3);
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelMode() == dslmDefault; }));
  PostKey(VK_F3);
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelMode() == dslmShowOnlyLeaf; }))
      << "F3 twice: the mode the list opened in";
  PostKey(VK_F3);
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelMode() == dslmDefault; }));
  ASSERT_EQ(F.T.Tree.LevelCount(), 1);

  // Enter on a node opens it; the list stays and the text follows.
  Editor->SelectAll();
  PostChars(Editor->Handle(), "от");
  ASSERT_EQ(Editor->Text(), "Отдел");
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelCount() == 2; }));
  EXPECT_TRUE(F.ListShown(Editor));
  EXPECT_EQ(Editor->Text(), AnsiString(VarToStr(F.T.Tree.FieldByName("NAME")->Value())));
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), "") << "Enter drops the typed filter";

  // Esc climbs back; at the top it closes the list without taking it.
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelCount() == 1; }));
  EXPECT_TRUE(F.ListShown(Editor));
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !F.ListShown(Editor); }));
  EXPECT_EQ(Editor->Text(), "Иванов") << "the text the list opened on";
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), ProgramFilter);

  // A press on a level row of the open list climbs to that level.
  F.DropDownByLevels(Editor);
  F.T.EnterTwoLevels();
  TPopupDataGridKs* List = Editor->DataList();
  ASSERT_TRUE(PumpUntil([&] { return List->LevelRowCount() == 2; }));
  int First = List->TitleOffset() - List->LevelRowCount();
  RECT Cell = List->CellRect(List->DataToRawColumn(0), First);
  PostClickOn(List->Handle(), POINT{(Cell.left + Cell.right) / 2, (Cell.top + Cell.bottom) / 2});
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelCount() == 1; }))
      << "an Esc per level reached the editor";
  PumpFor(60);
  EXPECT_EQ(F.T.Tree.LevelCount(), 1) << "the release opens nothing";
  EXPECT_TRUE(F.ListShown(Editor));
  EXPECT_EQ(GetFocus(), Editor->Handle());
}

// The tree has no flat master to look keys up in: what the list shows is
// searched instead.
TEST(DBGridInplaceEditTreeList, EnterStepsIntoOrTakesTheRecordTypedInsideALevel) {
  TTreeLookupForm F;
  TDBGridInplaceEdit* Editor = F.Edit();
  F.DropDownByLevels(Editor);
  auto ListId = [&] { return F.T.Tree.FieldByName("SYS$ID")->AsInteger(); };

  // The second top record, typed: Enter opens it, not the first.
  Editor->SelectAll();
  PostChars(Editor->Handle(), "ск");
  ASSERT_EQ(Editor->Text(), "Склад");
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelCount() == 2; }));
  EXPECT_EQ(ListId(), 9);
  EXPECT_EQ(Editor->Text(), "Ящик");
  PostKey(VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelCount() == 1; }));
  EXPECT_EQ(ListId(), 2) << "back on the record entered";
  EXPECT_EQ(Editor->Text(), "Склад");

  // A leaf typed in a level: Enter takes its text and key.
  Editor->SelectAll();
  PostChars(Editor->Handle(), "от");
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return F.T.Tree.LevelCount() == 2; }));
  Editor->SelectAll();
  PostChars(Editor->Handle(), "ив");
  ASSERT_EQ(Editor->Text(), "Иванов");
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !F.ListShown(Editor); }));
  EXPECT_EQ(Editor->Text(), "Иванов");
  EXPECT_EQ(F.T.Tree.ExtraFilterText(), ProgramFilter);
  F.Orders.Post();
  EXPECT_EQ(F.Orders.FieldByName("NodeId")->AsInteger(), 3);
  EXPECT_EQ(F.Orders.FieldByName("Node")->AsString(), "Иванов");
}

// Over a dataset that keeps a lookup clone the list shows the clone: the
// typed filter and the leaf-only mode act there, the dataset's own cursor,
// filter and level mode stay as its program left them, and a record the
// dataset's access check refuses is not offered.
TEST(DBGridInplaceEditTreeList, AListOverALookupCloneLeavesTheDatasetAsItWas) {
  TTreeLookupForm F;
  TSDS& Master = F.T.Tree;
  Master.SetOptions(Master.Options() + TSDSOptions{dsoLookupClone});
  Master.Loaded();
  TSDS* Clone = Master.LookupClone();
  ASSERT_NE(Clone, nullptr);
  // Sorted by name, as a list is read.
  Clone->Open();
  Clone->SetIndexFieldNames("NAME");
  Master.OnGetAccess = [](const TSDS* Sds, TAccess& Access) {
    if (const_cast<TSDS*>(Sds)->FieldByName("NAME")->AsString() == "Сидоров") Access = acNone;
  };
  ASSERT_TRUE(Master.Locate("NAME", Variant("Склад"), {}));
  const TSDSLevelMode Mode = Master.LevelMode();
  auto MasterAsItWas = [&] {
    return Master.FieldByName("NAME")->AsString() == "Склад" &&
           Master.ExtraFilterText() == ProgramFilter && Master.LevelMode() == Mode;
  };

  TDBGridInplaceEdit* Editor = F.Edit();
  F.DropDown(Editor);
  EXPECT_EQ(Editor->DataList()->ListDataSet(), Clone);
  EXPECT_EQ(Clone->LevelMode(), dslmShowOnlyLeaf);
  EXPECT_TRUE(MasterAsItWas());
  Editor->SelectAll();
  PostChars(Editor->Handle(), "с");
  EXPECT_EQ(Editor->Text(), "Иванов") << "Сидоров is refused to the list";
  PostChars(Editor->Handle(), "щ");
  EXPECT_EQ(Editor->Text(), "Ящик");
  EXPECT_EQ(Clone->ExtraFilterText(), "NAME LIKE '%Щ%'");
  EXPECT_TRUE(MasterAsItWas());
  PostKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !F.ListShown(Editor); }));
  EXPECT_EQ(Clone->ExtraFilterText(), "");
  EXPECT_TRUE(MasterAsItWas());
  F.Orders.Post();
  EXPECT_EQ(F.Orders.FieldByName("NodeId")->AsInteger(), 9);
  EXPECT_EQ(F.Orders.FieldByName("Node")->AsString(), "Ящик");
}

}  // namespace
