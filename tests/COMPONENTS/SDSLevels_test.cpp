// Levels of the record tree on a server-backed dataset opened without a
// table (a plain memory table with the hierarchy fields).
#include <gtest/gtest.h>

#include <string>

#include "SDS.h"
#include "SDSPlainTable.h"

namespace {

// The tree:            1 Отдел            2 Склад          5000000000 Архив
//                 3 Иванов  4 Петров  5 Цех     7 Ящик
//                                   6 Сидоров
constexpr uint32_t List = 0x40000000u, Deleted = 0x80000000u;
struct TRow {
  int64_t Id;
  int32_t Pid;
  uint32_t State;
  const char* Name;
};
const TRow TreeRows[] = {{1, 0, 0, "Отдел"},   {2, 0, 0, "Склад"},      {3, 1, List, "Иванов"},
                         {4, 1, List, "Петров"}, {5, 1, 0, "Цех"},        {6, 5, List, "Сидоров"},
                         {7, 2, List, "Ящик"},   {5000000000, 0, 0, "Архив"}};

void AddRow(TSDS& Sds, const TRow& Row) {
  Sds.Append();
  Sds.IDField()->SetValue(Variant(Row.Id));
  Sds.PIDField()->SetAsInteger(Row.Pid);
  Sds.StateField()->SetAsInteger(static_cast<int32_t>(Row.State));
  Sds.FieldByName("NAME")->SetAsString(Row.Name);
  Sds.Post();
}

class SDSLevels : public ::testing::Test {
 protected:
  void SetUp() override {
    Tree.SetName("Tree");
    DefineHierarchy(Tree);
    Tree.SetAttachMaxCount(4);
    Tree.Open();
    for (const TRow& row : TreeRows) AddRow(Tree, row);
    Tree.SetIndexFieldNames("NAME");
    Tree.SetOptions(Tree.Options() + TSDSOptions{dsoLevels});
  }
  // The names shown, in order; the cursor ends past the last.
  std::string Names() {
    std::string names;
    for (Tree.First(); !Tree.Eof(); Tree.Next()) names += (names.empty() ? "" : ",") + Tree.FieldByName("NAME")->AsString();
    return names;
  }
  std::string Current() { return Tree.FieldByName("NAME")->AsString(); }
  void GoTo(const char* Name) { ASSERT_TRUE(Tree.Locate("NAME", Variant(Name), {})) << Name; }
  TSDS Tree{nullptr};
};

TEST_F(SDSLevels, NavigationShowsOneLevelOverAnIndexWithTheHiddenPrefix) {
  EXPECT_TRUE(Tree.NavigationMode());
  EXPECT_EQ(Tree.IndexFieldNames(), "NAME");
  EXPECT_EQ(Tree.TzynCustomMemTable::IndexFieldNames(), "SYS$PID;NAME");
  std::vector<TField*> fields;
  Tree.GetIndexFieldList(fields);
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_EQ(fields[0]->FieldName(), "NAME");
  EXPECT_EQ(Names(), "Архив,Отдел,Склад");
  EXPECT_EQ(Tree.LevelCount(), 1);

  // A new order keeps the prefix and the level.
  Tree.SetIndexFieldNames("SYS$ID");
  EXPECT_EQ(Tree.IndexFieldNames(), "SYS$ID");
  EXPECT_EQ(Names(), "Отдел,Склад,Архив");

  // Shown whole again without levels, the prefix gone.
  Tree.SetOptions(Tree.Options() - TSDSOptions{dsoLevels});
  EXPECT_EQ(Tree.TzynCustomMemTable::IndexFieldNames(), "SYS$ID");
  EXPECT_EQ(Tree.RecordCount(), 8);
}

TEST_F(SDSLevels, DownAndUpReturnToTheRecordEntered) {
  int downs = 0, ups = 0;
  Tree.OnLevelDown = [&](TDataSet*) { ++downs; };
  Tree.OnLevelUp = [&](TDataSet*) { ++ups; };
  GoTo("Отдел");
  ASSERT_TRUE(Tree.LevelDown());
  EXPECT_EQ(Tree.LevelCount(), 2);
  EXPECT_EQ(Tree.LevelInfos()->Last()->ParentID, 1);
  EXPECT_EQ(Tree.LevelInfos()->Last()->FieldValue("NAME").AsString(), "Отдел");
  EXPECT_TRUE(Tree.LevelInfos()->Last()->FieldValue("NO_SUCH").IsNull());
  EXPECT_TRUE(Tree.LevelInfos()->Items(0)->FieldValue("NAME").IsNull()) << "the top keeps no record";
  EXPECT_EQ(Names(), "Иванов,Петров,Цех");

  GoTo("Петров");
  EXPECT_FALSE(Tree.LevelDown()) << "a list record";
  EXPECT_EQ(Tree.LevelCount(), 2);
  GoTo("Цех");
  ASSERT_TRUE(Tree.LevelDown());
  EXPECT_EQ(Names(), "Сидоров");
  EXPECT_TRUE(Tree.LevelUp());
  EXPECT_EQ(Current(), "Цех");
  EXPECT_TRUE(Tree.LevelUp());
  EXPECT_EQ(Current(), "Отдел");
  EXPECT_FALSE(Tree.LevelUp()) << "the top stays";
  EXPECT_EQ(Tree.LevelCount(), 1);
  EXPECT_EQ(downs, 2);
  EXPECT_EQ(ups, 2);

  // A level record without children opens an empty level, which has no
  // record to enter.
  AddRow(Tree, {10, 0, 0, "Пустой"});
  GoTo("Пустой");
  ASSERT_TRUE(Tree.LevelDown());
  EXPECT_EQ(Tree.RecordCount(), 0);
  EXPECT_FALSE(Tree.LevelDown());
  EXPECT_EQ(Tree.LevelCount(), 2);
}

TEST_F(SDSLevels, WideIdentitiesAreKeptWholeAndNeverMadeParents) {
  GoTo("Архив");
  EXPECT_EQ(Tree.CurrentID(), int64_t{5000000000});
  EXPECT_FALSE(Tree.LevelDown()) << "SYS$PID cannot hold it";
  EXPECT_EQ(Tree.LevelCount(), 1);
  GoTo("Отдел");
  EXPECT_THROW(Tree.ChangeParent(5000000000), EHintError);
  EXPECT_EQ(Tree.PIDField()->AsInteger(), 0);
  EXPECT_EQ(Tree.State(), dsBrowse);
}

TEST_F(SDSLevels, OutsideNavigationNothingMoves) {
  for (TSDSLevelMode mode : {dslmNone, dslmShowAll}) {
    Tree.SetLevelMode(mode);
    EXPECT_FALSE(Tree.NavigationMode());
    EXPECT_EQ(Tree.RecordCount(), 8) << mode;
    GoTo("Отдел");
    EXPECT_FALSE(Tree.LevelDown());
    EXPECT_FALSE(Tree.LevelUp());
    EXPECT_EQ(Tree.LevelCount(), 1);
    EXPECT_EQ(Tree.IndexFieldNames(), "NAME");
  }
  Tree.SetLevelMode(dslmShowOnlyLeaf);
  EXPECT_EQ(Names(), "Иванов,Петров,Сидоров,Ящик");
  Tree.SetLevelMode(dslmShowOnlyLeveled);
  EXPECT_EQ(Names(), "Архив,Отдел,Склад") << "navigation: the top level";
}

TEST_F(SDSLevels, NewRecordTakesTheLevelsParentAndTheListBit) {
  GoTo("Отдел");
  ASSERT_TRUE(Tree.LevelDown());
  Tree.Append();
  EXPECT_EQ(Tree.PIDField()->AsInteger(), 1);
  EXPECT_EQ(static_cast<uint32_t>(Tree.StateField()->AsInteger()), List);
  Tree.Cancel();
  Tree.SetLevelMode(dslmShowAll);
  Tree.Append();
  EXPECT_EQ(Tree.PIDField()->AsInteger(), 0);
  Tree.Cancel();
}

TEST_F(SDSLevels, GotoIDFindsARecordOfAnyLevel) {
  GoTo("Отдел");
  ASSERT_TRUE(Tree.LevelDown());
  GoTo("Цех");
  Tree.GotoID(5);
  EXPECT_TRUE(Tree.RangeActive()) << "the current record: nothing happens";
  Tree.GotoID(7);
  EXPECT_EQ(Current(), "Ящик");
  EXPECT_FALSE(Tree.RangeActive());
  Tree.SetIndexFieldNames("SYS$ID");
  Tree.GotoID(7);
  EXPECT_EQ(Current(), "Ящик");
  try {
    Tree.GotoID(99);
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Tree: ID 99 not founded !");
  }
}

TEST_F(SDSLevels, LookupByIdentitySeesEveryLevelAndKeepsTheCursor) {
  GoTo("Склад");
  EXPECT_EQ(Tree.Lookup("SYS$ID", Variant(6), "NAME").AsString(), "Сидоров");
  EXPECT_EQ(Current(), "Склад");
  EXPECT_TRUE(Tree.Lookup("SYS$ID", Variant(99), "NAME").IsNull());
  EXPECT_TRUE(Tree.Lookup("NAME", Variant("Сидоров"), "SYS$ID").IsNull()) << "other fields: the level shown";
  EXPECT_EQ(Names(), "Архив,Отдел,Склад") << "the level range holds again";
}

TEST_F(SDSLevels, KeySearchesInTheLevel) {
  EXPECT_FALSE(Tree.FindKeyInLevel({Variant("Цех")})) << "not on the top level";
  GoTo("Отдел");
  ASSERT_TRUE(Tree.LevelDown());
  EXPECT_TRUE(Tree.FindKeyInLevel({Variant("Цех")}));
  EXPECT_EQ(Tree.CurrentID(), 5);
  Tree.SetKey();
  Tree.FieldByName("NAME")->SetAsString("Иванов");
  EXPECT_TRUE(Tree.GotoKeyInLevel());
  EXPECT_EQ(Tree.CurrentID(), 3);
  Tree.SetRangeInLevel({Variant("П")}, {Variant("Я")});
  EXPECT_EQ(Names(), "Петров,Цех");
}

TEST_F(SDSLevels, ChangeParentRefusesItselfAndItsDescendants) {
  GoTo("Отдел");
  for (int64_t parent : {1, 5, 6}) {
    EXPECT_THROW(Tree.ChangeParent(parent), EHintError) << parent;
    EXPECT_EQ(Tree.State(), dsBrowse);
    EXPECT_EQ(Tree.PIDField()->AsInteger(), 0);
  }
  int events = 0;
  Tree.BeforePost = [&](TDataSet*) { ++events; };
  Tree.AfterPost = [&](TDataSet*) { ++events; };
  Tree.FieldByName("NAME")->SetRequired(true);
  Tree.ChangeParent(2);
  EXPECT_EQ(events, 0);
  EXPECT_TRUE(Tree.FieldByName("NAME")->Required());
  EXPECT_EQ(Names(), "Архив,Склад") << "it left the top level";
  GoTo("Склад");
  ASSERT_TRUE(Tree.LevelDown());
  EXPECT_EQ(Names(), "Отдел,Ящик");
  GoTo("Отдел");
  Tree.ChangeParent(0);
  EXPECT_EQ(Names(), "Ящик");
}

TEST_F(SDSLevels, HasChildrenInEveryMode) {
  for (TSDSLevelMode mode : {dslmDefault, dslmShowAll}) {
    Tree.SetLevelMode(mode);
    GoTo("Отдел");
    EXPECT_TRUE(Tree.HasChildren()) << mode;
    EXPECT_EQ(Current(), "Отдел");
    EXPECT_EQ(Tree.LevelCount(), 1);
    GoTo("Архив");
    EXPECT_FALSE(Tree.HasChildren()) << mode;
  }
}

TEST(SDSLevelModes, WithoutTheParentFieldAnOpenDatasetKeepsItsMode) {
  TSDS sds(nullptr);
  sds.FieldDefs()->Add("SYS$ID", ftLargeint);
  sds.FieldDefs()->Add("NAME", ftString, 20);
  sds.Open();
  sds.SetOptions(sds.Options() + TSDSOptions{dsoLevels});
  sds.SetLevelMode(dslmShowAll);
  EXPECT_EQ(sds.LevelMode(), dslmDefault);
  EXPECT_EQ(sds.IndexFieldNames(), "");
}

TEST(SDSIndexFilter, DeletedRecordsAreLeftOutUnlessShown) {
  TSDS sds(nullptr);
  DefineHierarchy(sds);
  sds.SetOptions(sds.Options() + TSDSOptions{dsoVirtualDelete});
  sds.Open();
  for (const TRow& row : {TRow{1, 0, 0, "Живой"}, TRow{2, 0, Deleted, "Удалённый"}, TRow{3, 0, List, "Лист"}})
    AddRow(sds, row);
  sds.SetIndexFieldNames("NAME");
  EXPECT_EQ(sds.RecordCount(), 2);
  EXPECT_FALSE(sds.Locate("NAME", Variant("Удалённый"), {}));
  // A record deleted later leaves the index too.
  sds.First();
  sds.Edit();
  sds.StateField()->SetAsInteger(static_cast<int32_t>(Deleted));
  sds.Post();
  EXPECT_EQ(sds.RecordCount(), 1);

  sds.SetOptions(sds.Options() + TSDSOptions{dsoShowDeleted});
  sds.SetIndexFieldNames("SYS$ID");
  EXPECT_EQ(sds.RecordCount(), 3);
}

}  // namespace
