// What the record attributes and level choice dialogs decide, on
// server-backed datasets: the state word, the owner from the user table,
// the tree's display field and moving the marked records.
#include <gtest/gtest.h>

#include "RecordAttrsLogic.h"
#include "SDSPlainTable.h"
#include "SDSTestKit.h"
#include "SDataSource.h"
#include "ScriptedDataPrompts.h"

namespace {

constexpr uint32_t Deleted = 0x80000000u, List = 0x40000000u;

TEST(RecordAttrsLogic, TheStateWordForEachChoice) {
  const struct {
    uint32_t State;
    TRecordAttrsChoice Choice;
    bool Changed;
    uint32_t Result;
  } cases[] = {
      // Not deleted: the box is disabled and unchecked.
      {0x00120007u, {false, false, false}, false, 0x00120007u},
      {0x00120007u, {false, false, true}, true, List | 0x00120007u},
      {List | 7u, {false, false, false}, true, 7u},
      {List | 7u, {false, false, true}, false, List | 7u},
      // Deleted: restored or kept, level or list.
      {Deleted | 7u, {true, true, false}, false, Deleted | 7u},
      {Deleted | 7u, {true, false, false}, true, 7u},
      {Deleted | List | 7u, {true, false, true}, true, List | 7u},
      {Deleted | List | 7u, {true, true, false}, true, Deleted | 7u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.State << " list " << c.Choice.ListChecked << " deleted "
                                    << c.Choice.DeletedChecked);
    EXPECT_EQ(RecordAttrsChanged(c.State, c.Choice), c.Changed);
    EXPECT_EQ(RecordAttrsState(c.State, c.Choice), c.Result);
  }
}

TEST(RecordAttrsLogic, TheTreeShowsTheFirstFittingStringField) {
  const struct {
    std::vector<std::pair<const char*, int>> Fields;  // name, size
    const char* Label;                                // of the last field
    const char* Shown;
  } cases[] = {
      {{{"CODE", 5}, {"KNAME", 20}, {"NAME", 20}}, "", "NAME"},
      {{{"CODE", 5}, {"KNAME", 20}}, "", "KNAME"},
      {{{"CODE", 5}, {"TITLE", 30}}, "Заголовок", "TITLE"},
      {{{"CODE", 5}, {"TITLE", 30}}, "", "CODE"},
      {{{"CODE", 5}, {"SHORT", 8}}, "Кратко", "CODE"},
      {{}, "", ""},
  };
  for (const auto& c : cases) {
    TSDS sds(nullptr);
    sds.FieldDefs()->Add("SYS$ID", ftLargeint);
    for (const auto& [name, size] : c.Fields) sds.FieldDefs()->Add(name, ftString, size);
    sds.Open();
    if (*c.Label) sds.Fields()->Fields(sds.FieldCount() - 1)->SetDisplayLabel(c.Label);
    TField* shown = TreeDisplayField(&sds);
    EXPECT_EQ(shown ? shown->FieldName() : AnsiString(), c.Shown);
  }
}

class RecordAttrsOnTree : public testing::Test {
 protected:
  void SetUp() override {
    DefineHierarchy(Tree);
    Tree.Open();
    // 1 Отдел > 3 Иванов (list), 5 Цех > 6 Сидоров (list); 2 Склад
    const struct {
      int Id, Pid;
      uint32_t State;
      const char* Name;
    } rows[] = {{1, 0, 0, "Отдел"}, {2, 0, 0, "Склад"}, {3, 1, List, "Иванов"}, {5, 1, 0, "Цех"},
                {6, 5, List, "Сидоров"}};
    for (const auto& r : rows) {
      Tree.Append();
      Tree.IDField()->SetAsInteger(r.Id);
      Tree.PIDField()->SetAsInteger(r.Pid);
      Tree.StateField()->SetAsInteger(static_cast<int32_t>(r.State));
      Tree.FieldByName("NAME")->SetAsString(r.Name);
      Tree.Post();
    }
    Tree.SetOptions(Tree.Options() + TSDSOptions{dsoLevels});
    Source.SetDataSet(&Tree);
  }
  uint32_t StateOf(int Id) {
    return static_cast<uint32_t>(Tree.Lookup("SYS$ID", Variant(Id), "SYS$STATE").AsInteger());
  }
  TScriptedDataPrompts Prompts;
  TSDS Tree{nullptr};
  TSDataSource Source{nullptr};
};

TEST_F(RecordAttrsOnTree, ANewStateIsPostedFromBrowseAndALevelWithChildrenStaysALevel) {
  ASSERT_TRUE(Tree.Locate("NAME", Variant("Склад"), {}));
  ApplyRecordState(Tree, List);
  EXPECT_EQ(Tree.State(), dsBrowse);
  EXPECT_EQ(StateOf(2), List);

  ASSERT_TRUE(Tree.Locate("NAME", Variant("Отдел"), {}));
  EXPECT_THROW(ApplyRecordState(Tree, List), EHintError);
  EXPECT_EQ(Tree.State(), dsBrowse);
  EXPECT_EQ(StateOf(1), 0u);

  // A post that fails leaves no edit behind.
  Tree.BeforePost = [](TDataSet*) { throw Exception("отказ"); };
  ASSERT_TRUE(Tree.Locate("NAME", Variant("Склад"), {}));
  EXPECT_THROW(ApplyRecordState(Tree, 0), Exception);
  EXPECT_EQ(Tree.State(), dsBrowse);
  EXPECT_EQ(StateOf(2), List);

  // In edit only the field is set.
  Tree.BeforePost = nullptr;
  Tree.Edit();
  ApplyRecordState(Tree, 0);
  EXPECT_EQ(Tree.State(), dsEdit);
  Tree.Post();
  EXPECT_EQ(StateOf(2), 0u);
}

TEST_F(RecordAttrsOnTree, MarkedRecordsMoveAndTheirOwnAncestorsAreRefused) {
  ASSERT_TRUE(Tree.Locate("NAME", Variant("Отдел"), {}));
  ASSERT_TRUE(Tree.LevelDown());
  // Both records of the level are marked; Цех is the new parent's parent.
  for (Tree.First(); !Tree.Eof(); Tree.Next()) Source.Marker()->ToggleMark();
  const std::vector<int64_t> refused = MoveMarkedRecords(Source, 6);
  EXPECT_EQ(refused, (std::vector<int64_t>{5}));
  EXPECT_EQ(Tree.Lookup("SYS$ID", Variant(3), "SYS$PID").AsInteger(), 6) << "moved, though it left the level";
  EXPECT_EQ(Tree.Lookup("SYS$ID", Variant(5), "SYS$PID").AsInteger(), 1);
  EXPECT_EQ(Tree.RecordCount(), 1);
}

TEST(RecordAttrsOwner, TheOwnersNameFromTheUserTable) {
  TTestDatabase file("nocomment");
  TSDSOnFile db(file);
  auto sds = db.Dataset("MASTER_T");
  EXPECT_EQ(RecordOwnerName(*sds, 2), "Оператор");
  EXPECT_EQ(RecordOwnerName(*sds, 9), " - ??? - ");
  TSDS plain(nullptr);
  EXPECT_EQ(RecordOwnerName(plain, 2), " - ??? - ") << "no database of ours";
}

}  // namespace
