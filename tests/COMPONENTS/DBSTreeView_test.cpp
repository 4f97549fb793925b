// The dataset tree view through its real window and keys: nodes from the
// identity and parent fields, expand buttons only over children, the
// dataset following the selection, and errors going to the application.
#include "DBSTreeView.h"

#include <gtest/gtest.h>

#include "FormsTestKit.h"
#include "SDS.h"
#include "SDSPlainTable.h"
#include "forms/Forms.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "zynMemTable.h"

namespace {

class DBSTreeViewTest : public testing::Test {
 protected:
  void SetUp() override {
    Places.FieldDefs()->Add("ID", ftLargeint);
    Places.FieldDefs()->Add("PARENT_ID", ftLargeint);
    Places.FieldDefs()->Add("NAME", ftString, 30);
    Places.Open();
    // A parent beyond 32 bits is known by its low 32 bits (7), which
    // "Алматы" shares with "Далеко"; "Ничей" has no parent (-1: null).
    const struct {
      int64_t Id, Parent;
      const char* Name;
    } rows[] = {{1, 0, "Россия"},       {2, 1, "Москва"},    {3, 1, "Тверь"},
                {4, 0, "Казахстан"},    {5, 2, "Арбат"},     {0x100000007LL, 0, "Далеко"},
                {8, 0x200000007LL, "Близко"}, {7, 4, "Алматы"}, {9, -1, "Ничей"}};
    for (const auto& row : rows)
      AppendValues(&Places, {Variant(static_cast<long long>(row.Id)),
                             row.Parent < 0 ? Variant::Null() : Variant(static_cast<long long>(row.Parent)),
                             AnsiString(row.Name)});
    Source.SetDataSet(&Places);
    Form.SetBounds(10, 10, 300, 300);
    Tree = new TDBSTreeView(&Form);
    Tree->SetParent(&Form);
    Tree->SetBounds(0, 0, 280, 280);
    Tree->SetDataSource(&Source);
    Tree->DataField = "NAME";
    Tree->IDNode = "ID";
    Tree->IDParentNode = "PARENT_ID";
    Form.Show();
    Tree->BuildTree("Все");
    Root = Tree->FirstChild(nullptr);
  }
  void TearDown() override { Application->OnException = nullptr; }
  std::vector<AnsiString> Children(HTREEITEM Node) {
    std::vector<AnsiString> texts;
    for (HTREEITEM child = Tree->FirstChild(Node); child; child = Tree->NextSibling(child))
      texts.push_back(Tree->NodeText(child) + (Tree->HasChildren(child) ? " +" : ""));
    return texts;
  }
  HTREEITEM Child(HTREEITEM Node, int Index) {
    HTREEITEM child = Tree->FirstChild(Node);
    while (child && Index-- > 0) child = Tree->NextSibling(child);
    return child;
  }
  AnsiString CurrentName() { return Places.FieldByName("NAME")->AsString(); }

  TzynMemTable Places{nullptr};
  TDataSource Source{nullptr};
  TForm Form{nullptr};
  TDBSTreeView* Tree = nullptr;
  HTREEITEM Root = nullptr;
};

TEST_F(DBSTreeViewTest, TheRootShowsTheTopRecordsWithButtonsOnlyOverChildren) {
  EXPECT_EQ(Tree->NodeText(Root), "Все");
  EXPECT_TRUE(Tree->Expanded(Root));
  EXPECT_EQ(Children(Root), (std::vector<AnsiString>{"Россия +", "Казахстан +", "Далеко +", "Ничей"}));
  EXPECT_EQ(Tree->NodeID(Child(Root, 2)), 7);
  EXPECT_EQ(Tree->NodeIdentity(Child(Root, 2)), 0x100000007LL);
}

TEST_F(DBSTreeViewTest, ChoosingANodeMovesTheDatasetToItsRecordByTheWholeIdentity) {
  Tree->SetFocus();
  Tree->Select(Child(Root, 3));
  ASSERT_TRUE(PumpUntil([&] { return CurrentName() == "Ничей"; }));
  // "Далеко" and "Алматы" share their low 32 bits.
  Tree->Select(Child(Root, 2));
  ASSERT_TRUE(PumpUntil([&] { return CurrentName() != "Ничей"; }));
  EXPECT_EQ(CurrentName(), "Далеко");
  PressKey(VK_RIGHT);
  ASSERT_TRUE(PumpUntil([&] { return Tree->Expanded(Child(Root, 2)); }));
  EXPECT_EQ(Children(Child(Root, 2)), (std::vector<AnsiString>{"Близко"}));
  EXPECT_EQ(CurrentName(), "Далеко");
  PressKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return CurrentName() == "Близко"; }));
}

TEST_F(DBSTreeViewTest, KeysExpandANodeAndMoveTheDatasetWithTheSelection) {
  Tree->SetFocus();
  Tree->Select(Root);
  PressKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Tree->Selected() == Child(Root, 0); }));
  EXPECT_EQ(CurrentName(), "Россия");
  PressKey(VK_RIGHT);
  ASSERT_TRUE(PumpUntil([&] { return Tree->Expanded(Child(Root, 0)); }));
  EXPECT_EQ(Children(Child(Root, 0)), (std::vector<AnsiString>{"Москва +", "Тверь"}));
  EXPECT_EQ(CurrentName(), "Россия") << "expanding leaves the dataset on the selected node";
  PressKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return CurrentName() == "Москва"; }));
  PressKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return CurrentName() == "Тверь"; }));
}

TEST_F(DBSTreeViewTest, AnErrorWhileExpandingReachesTheApplication) {
  AnsiString reported;
  Application->OnException = [&](TObject*, Exception* E) { reported = E->Message(); };
  Tree->IDNode = "SYS$ID";
  Tree->SetFocus();
  Tree->Select(Child(Root, 0));
  PressKey(VK_RIGHT);
  ASSERT_TRUE(PumpUntil([&] { return !reported.empty(); }));
  EXPECT_NE(reported.find("SYS$ID"), AnsiString::npos) << reported;
}

TEST_F(DBSTreeViewTest, AFreedDataSourceIsLetGo) {
  auto source = std::make_unique<TDataSource>(nullptr);
  source->SetDataSet(&Places);
  Tree->SetDataSource(source.get());
  source.reset();
  EXPECT_EQ(Tree->DataSource(), nullptr);
  Tree->BuildTree("Пусто");
  EXPECT_TRUE(Children(Tree->FirstChild(nullptr)).empty());
}

}  // namespace

namespace {

TEST(DBSTreeViewOverSDS, TheSelectionGoesToTheRecordByIdentityAndAMissingOneIsReported) {
  TSDS tree(nullptr);
  tree.SetName("Tree");
  DefineHierarchy(tree);
  tree.Open();
  const struct {
    int Id, Pid;
    const char* Name;
  } rows[] = {{1, 0, "Отдел"}, {2, 1, "Цех"}, {3, 0, "Склад"}};
  for (const auto& r : rows) {
    tree.Append();
    tree.IDField()->SetAsInteger(r.Id);
    tree.PIDField()->SetAsInteger(r.Pid);
    tree.FieldByName("NAME")->SetAsString(r.Name);
    tree.Post();
  }
  tree.SetOptions(tree.Options() + TSDSOptions{dsoLevels});
  tree.SetLevelMode(dslmShowAll);
  TDataSource source(nullptr);
  source.SetDataSet(&tree);
  TForm form(nullptr);
  form.SetBounds(10, 10, 300, 300);
  auto* view = new TDBSTreeView(&form);
  view->SetParent(&form);
  view->SetBounds(0, 0, 280, 280);
  view->SetDataSource(&source);
  view->DataField = "NAME";
  view->IDNode = "SYS$ID";
  view->IDParentNode = "SYS$PID";
  form.Show();
  view->BuildTree("Все");
  HTREEITEM root = view->FirstChild(nullptr);
  HTREEITEM store = view->NextSibling(view->FirstChild(root));
  ASSERT_EQ(view->NodeText(store), "Склад");

  AnsiString reported;
  Application->OnException = [&](TObject*, Exception* E) { reported = E->Message(); };
  view->SetFocus();
  view->Select(store);
  ASSERT_TRUE(PumpUntil([&] { return tree.FieldByName("NAME")->AsString() == "Склад"; }));
  // The record goes; its node stays until the tree is built again.
  tree.Delete();
  view->Select(view->FirstChild(root));
  view->Select(store);
  ASSERT_TRUE(PumpUntil([&] { return !reported.empty(); }));
  Application->OnException = nullptr;
  EXPECT_EQ(reported, "Tree: ID 3 not founded !");
}

}  // namespace
