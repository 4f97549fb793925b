// The data source over a server-backed dataset opened without a table:
// level steps and the record attributes forwarded, the user's sort kept
// within the level shown.
#include <gtest/gtest.h>

#include <string>

#include "SDS.h"
#include "SDSPlainTable.h"
#include "SDataSource.h"
#include "ScriptedDataPrompts.h"
#include "zynMemTable.h"

namespace {

class SDataSourceLevels : public testing::Test {
 protected:
  void SetUp() override {
    DefineHierarchy(Tree);
    Tree.Open();
    // 1 Б > 3 Г, 4 В; 2 А
    const struct {
      int Id, Pid, State;
      const char* Name;
    } rows[] = {{1, 0, 0, "Б"}, {2, 0, 0, "А"}, {3, 1, 0x40000000, "Г"}, {4, 1, 0x40000000, "В"}};
    for (const auto& r : rows) {
      Tree.Append();
      Tree.IDField()->SetAsInteger(r.Id);
      Tree.PIDField()->SetAsInteger(r.Pid);
      Tree.StateField()->SetAsInteger(r.State);
      Tree.FieldByName("NAME")->SetAsString(r.Name);
      Tree.Post();
    }
    Tree.SetOptions(Tree.Options() + TSDSOptions{dsoLevels});
    Source.SetDataSet(&Tree);
  }
  void TearDown() override { SetRecordAttrsHook(nullptr); }
  std::string Names() {
    std::string names;
    for (Tree.First(); !Tree.Eof(); Tree.Next()) names += Tree.FieldByName("NAME")->AsString();
    return names;
  }

  TScriptedDataPrompts Prompts;
  TSDS Tree{nullptr};
  TSDataSource Source{nullptr};
};

TEST_F(SDataSourceLevels, LevelStepsGoToTheDataset) {
  EXPECT_TRUE(Source.HasLevels());
  ASSERT_TRUE(Tree.Locate("NAME", Variant("Б"), {}));
  EXPECT_TRUE(Source.LevelDown());
  EXPECT_EQ(Tree.LevelCount(), 2);
  EXPECT_TRUE(Source.LevelUp());
  EXPECT_FALSE(Source.LevelUp());
  EXPECT_EQ(Tree.FieldByName("NAME")->AsString(), "Б");

  TzynMemTable table(nullptr);
  table.FieldDefs()->Add("NAME", ftString, 10);
  table.Open();
  Source.SetDataSet(&table);
  EXPECT_FALSE(Source.HasLevels());
  EXPECT_FALSE(Source.LevelDown());
  EXPECT_FALSE(Source.LevelUp());
}

TEST_F(SDataSourceLevels, TheUsersSortStaysWithinTheLevel) {
  ASSERT_TRUE(Tree.Locate("NAME", Variant("Б"), {}));
  ASSERT_TRUE(Source.LevelDown());
  Source.SortByField("NAME");
  EXPECT_EQ(Tree.IndexFieldNames(), "NAME");
  EXPECT_EQ(Names(), "ВГ");
  EXPECT_EQ(Source.GetFieldSortState(Tree.FieldByName("NAME")), 3);
  EXPECT_EQ(Source.GetFieldSortState(Tree.FieldByName("SYS$PID")), 0) << "the hidden prefix is no sort of the user's";
  Source.CancelSort();
  EXPECT_EQ(Tree.IndexFieldNames(), "");
  EXPECT_EQ(Names(), "ГВ");
}

TEST_F(SDataSourceLevels, RecordAttributesOfARecordOfAServerBackedDataset) {
  int shown = 0;
  SetRecordAttrsHook([&](TSDataSource* From) {
    EXPECT_EQ(From, &Source);
    ++shown;
  });
  Source.ShowRecordAttributes();
  EXPECT_EQ(shown, 1);
  ASSERT_TRUE(Tree.Locate("NAME", Variant("А"), {}));
  ASSERT_TRUE(Tree.LevelDown());
  Source.ShowRecordAttributes();
  EXPECT_EQ(shown, 1) << "an empty level has no record";

  TzynMemTable table(nullptr);
  table.FieldDefs()->Add("NAME", ftString, 10);
  table.Open();
  table.Append();
  table.Post();
  Source.SetDataSet(&table);
  Source.ShowRecordAttributes();
  EXPECT_EQ(shown, 1);
}

}  // namespace
