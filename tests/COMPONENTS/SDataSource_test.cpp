// The data source's condition filter over a dataset: beside the dataset's
// own handler, taken out again with the dataset's switch as it was, and
// never left behind when the dataset or the source goes away. The user's
// sort and the fields' sort states over an in-memory table.
#include <gtest/gtest.h>

#include "ScriptedDataPrompts.h"
#include "SDataSource.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "zynMemTable.h"

namespace {

class SDataSourceTest : public testing::Test {
 protected:
  void SetUp() override {
    Fill(People);
    Source.SetDataSet(&People);
  }
  void TearDown() override { SetFilterDialogHook(nullptr); }
  static void Fill(TArrayDataSet& Table) {
    Table.FieldDefs()->Add("Id", ftInteger);
    Table.FieldDefs()->Add("Name", ftString, 20);
    Table.Open();
    const char* names[] = {"Иванов", "Петров", "Сидоров", "Иванова", "Кузнецов"};
    for (int i = 0; i < 5; ++i) AppendValues(&Table, {i + 1, AnsiString(names[i])});
    Table.First();
  }
  // The dialog answers with a substring condition on the field.
  static void DialogAdds(const char* Text) {
    SetFilterDialogHook([Text](TSDataSource*, TField* Field, TFilterArr& Filters) {
      auto filter = std::make_unique<TFieldFilter>();
      filter->Kind = ffkSubstring;
      filter->Field = Field;
      filter->Value = Text;
      Filters.push_back(std::move(filter));
    });
  }
  static std::vector<int> Ids(TDataSet& Table) {
    std::vector<int> ids;
    for (Table.First(); !Table.Eof(); Table.Next()) ids.push_back(Table.FieldByName("Id")->AsInteger());
    return ids;
  }
  static void OddIdsOnly(TDataSet* DataSet, bool& Accept) {
    Accept = DataSet->FieldByName("Id")->AsInteger() % 2 == 1;
  }

  TScriptedDataPrompts Prompts;
  TArrayDataSet People{nullptr};
  TSDataSource Source{nullptr};
};

TEST_F(SDataSourceTest, ConditionsFilterAfterTheDatasetsOwnHandlerAndLeaveItAsItWas) {
  People.SetOnFilterRecord(OddIdsOnly);
  People.SetFiltered(true);
  DialogAdds("ов");
  Source.ShowFilterDialog(People.FieldByName("Name"));
  EXPECT_EQ(Ids(People), (std::vector<int>{1, 3, 5}));

  DialogAdds("иван");
  Source.ShowFilterDialog(People.FieldByName("Name"));
  EXPECT_EQ(Source.Filters().size(), 2u);
  EXPECT_EQ(Ids(People), (std::vector<int>{1}));

  Source.CancelFilter();
  EXPECT_TRUE(Source.Filters().empty());
  EXPECT_TRUE(People.Filtered());
  ASSERT_TRUE(People.OnFilterRecord());
  EXPECT_EQ(Ids(People), (std::vector<int>{1, 3, 5})) << "the dataset's own handler is back";
}

TEST_F(SDataSourceTest, RemovingTheFilterRestoresAnUnfilteredDataset) {
  DialogAdds("Петров");
  Source.ShowFilterDialog(People.FieldByName("Name"));
  EXPECT_TRUE(People.Filtered());
  EXPECT_EQ(Ids(People), (std::vector<int>{2}));

  // The dialog emptied the list: the filter goes.
  SetFilterDialogHook([](TSDataSource*, TField*, TFilterArr& Filters) { Filters.clear(); });
  Source.ShowFilterDialog(People.FieldByName("Name"));
  EXPECT_FALSE(People.Filtered());
  EXPECT_FALSE(People.OnFilterRecord());
  EXPECT_EQ(Ids(People).size(), 5u);
}

TEST_F(SDataSourceTest, TheCursorReturnsToItsRecordWhenItStillShows) {
  People.Locate("Id", 4, {});
  DialogAdds("иван");
  Source.ShowFilterDialog(People.FieldByName("Name"));
  EXPECT_EQ(People.FieldByName("Id")->AsInteger(), 4);

  People.Locate("Id", 1, {});
  Source.CancelFilter();
  DialogAdds("Кузнецов");
  Source.ShowFilterDialog(People.FieldByName("Name"));
  EXPECT_EQ(People.FieldByName("Id")->AsInteger(), 5) << "the noted record is filtered out";
}

TEST_F(SDataSourceTest, WithoutADatasetTheUserIsToldAndNothingElseHappens) {
  TSDataSource unbound(nullptr);
  bool asked = false;
  SetFilterDialogHook([&asked](TSDataSource*, TField*, TFilterArr&) { asked = true; });
  EXPECT_THROW(unbound.ShowFilterDialog(People.FieldByName("Name")), EAbort);
  EXPECT_FALSE(asked);
  EXPECT_EQ(Prompts.Messages, (std::vector<AnsiString>{"Не задан набор данных"}));
  unbound.CancelFilter();  // nothing to cancel: no message
  EXPECT_EQ(Prompts.Messages.size(), 1u);
}

TEST_F(SDataSourceTest, ADatasetBoundElsewhereGetsItsHandlerBackAndTheConditionsGo) {
  People.SetOnFilterRecord(OddIdsOnly);
  DialogAdds("ов");
  Source.ShowFilterDialog(People.FieldByName("Name"));

  TArrayDataSet others(nullptr);
  Fill(others);
  Source.SetDataSet(&others);
  EXPECT_TRUE(Source.Filters().empty());
  EXPECT_FALSE(People.Filtered());
  ASSERT_TRUE(People.OnFilterRecord());
  People.SetFiltered(true);
  EXPECT_EQ(Ids(People), (std::vector<int>{1, 3, 5}));
  EXPECT_FALSE(others.Filtered());
  EXPECT_EQ(Ids(others).size(), 5u);
}

TEST_F(SDataSourceTest, AFreedSourceLeavesNoHandlerInTheDataset) {
  auto source = std::make_unique<TSDataSource>(nullptr);
  source->SetDataSet(&People);
  DialogAdds("Петров");
  source->ShowFilterDialog(People.FieldByName("Name"));
  source.reset();
  EXPECT_FALSE(People.Filtered());
  EXPECT_FALSE(People.OnFilterRecord());
  EXPECT_EQ(Ids(People).size(), 5u);
}

TEST_F(SDataSourceTest, AFreedDatasetIsForgotten) {
  auto table = std::make_unique<TArrayDataSet>(nullptr);
  Fill(*table);
  Source.SetDataSet(table.get());
  DialogAdds("ов");
  Source.ShowFilterDialog(table->FieldByName("Name"));
  table.reset();
  EXPECT_EQ(Source.DataSet(), nullptr);
  EXPECT_TRUE(Source.Filters().empty());
  Source.CancelFilter();
  Source.SetDataSet(&People);
  EXPECT_FALSE(People.Filtered());
}

TEST_F(SDataSourceTest, ConditionsOnFieldsThatDieWithCloseAreDropped) {
  DialogAdds("Петров");
  Source.ShowFilterDialog(People.FieldByName("Name"));
  People.Close();  // default fields: freed
  EXPECT_TRUE(Source.Filters().empty());
  People.Open();
  EXPECT_EQ(Ids(People).size(), 5u);
  Source.CancelFilter();
  EXPECT_FALSE(People.Filtered());
  EXPECT_FALSE(People.OnFilterRecord());
}

class SDataSourceOnMemTableTest : public testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("ID", ftInteger);
    Table.FieldDefs()->Add("PARENT_ID", ftInteger);
    Table.FieldDefs()->Add("NAME", ftString, 20);
    Table.FieldDefs()->Add("CODE", ftString, 8);
    Table.IndexDefs()->Add("PK", "CODE", {ixPrimary});
    Table.Open();
    const char* names[] = {"d", "b", "e", "a", "c"};
    for (int i = 0; i < 5; ++i)
      AppendValues(&Table, {i + 1, i % 2, AnsiString(names[i]), AnsiString("K") + names[i]});
    Table.SetIndexFieldNames("ID");
    Source.SetDataSet(&Table);
  }
  void TearDown() override { SetFilterDialogHook(nullptr); }
  std::string Order() {
    std::string names;
    for (Table.First(); !Table.Eof(); Table.Next()) names += Table.FieldByName("NAME")->AsString();
    return names;
  }

  TScriptedDataPrompts Prompts;
  TzynMemTable Table{nullptr};
  TSDataSource Source{nullptr};
};

TEST_F(SDataSourceOnMemTableTest, SortsAddFieldsAndCancelsTakeThemOffBackToTheFirstNames) {
  Source.SortByField("NAME");
  EXPECT_EQ(Table.IndexFieldNames(), "NAME");
  EXPECT_EQ(Order(), "abcde");
  Source.SortByField("PARENT_ID");
  EXPECT_EQ(Table.IndexFieldNames(), "NAME;PARENT_ID");
  Source.CancelSort();
  EXPECT_EQ(Table.IndexFieldNames(), "NAME");
  Source.CancelSort();
  EXPECT_EQ(Table.IndexFieldNames(), "ID");
  EXPECT_EQ(Order(), "dbeac");
  Source.CancelSort();
  EXPECT_EQ(Table.IndexFieldNames(), "ID") << "the program's own names stay";
  EXPECT_EQ(Prompts.Beeps, 0);
}

TEST_F(SDataSourceOnMemTableTest, ASortTheDatasetAlreadyHasOnlyBeeps) {
  Table.SetIndexFieldNames("PARENT_ID;ID");
  Source.SortByField("id");
  EXPECT_EQ(Prompts.Beeps, 1);
  EXPECT_EQ(Table.IndexFieldNames(), "PARENT_ID;ID");
  Source.CancelSort();
  EXPECT_EQ(Table.IndexFieldNames(), "PARENT_ID;ID") << "no sort of the user's to cancel";
  Source.SortByField("NAME");
  Source.SortByField("NAME");
  EXPECT_EQ(Prompts.Beeps, 2);
  EXPECT_EQ(Table.IndexFieldNames(), "NAME");
}

TEST_F(SDataSourceOnMemTableTest, SortingNeedsAKnownFieldOfAnInMemoryTable) {
  EXPECT_THROW(Source.SortByField("CITY"), EDatabaseError);
  EXPECT_EQ(Table.IndexFieldNames(), "ID");

  TArrayDataSet other(nullptr);
  other.FieldDefs()->Add("NAME", ftString, 20);
  other.Open();
  Source.SetDataSet(&other);
  try {
    Source.SortByField("NAME");
    ADD_FAILURE() << "sorted an unknown class";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Неподдерживаемый тип НД:TArrayDataSet");
  }

  Source.SetDataSet(nullptr);
  EXPECT_THROW(Source.CancelSort(), EAbort);
  EXPECT_EQ(Prompts.Messages, (std::vector<AnsiString>{"Не задан набор данных"}));
}

TEST_F(SDataSourceOnMemTableTest, SortStatesTellWhichFieldsAGroupChangeMayWrite) {
  Table.SetIndexFieldNames("PARENT_ID");
  TArrayDataSet other(nullptr);
  other.FieldDefs()->Add("ID", ftInteger);
  other.Open();
  struct Case {
    TField* Field;
    bool TableReadOnly, FieldReadOnly;
    uint8_t State;
  };
  const Case cases[] = {
      {Table.FieldByName("ID"), false, false, 0},  // PARENT_ID is sorted on, not ID
      {Table.FieldByName("PARENT_ID"), false, false, 3},
      {Table.FieldByName("CODE"), false, false, 3},
      {Table.FieldByName("NAME"), false, false, 0},
      {Table.FieldByName("NAME"), false, true, 1},
      {Table.FieldByName("CODE"), true, false, 1},
      {other.FieldByName("ID"), false, false, 4},
      {nullptr, false, false, 4},
  };
  for (const Case& c : cases) {
    Table.SetReadOnly(c.TableReadOnly);
    if (c.Field) c.Field->SetReadOnly(c.FieldReadOnly);
    EXPECT_EQ(Source.GetFieldSortState(c.Field), c.State)
        << (c.Field ? c.Field->FieldName() : "none") << " " << c.TableReadOnly << c.FieldReadOnly;
    if (c.Field) c.Field->SetReadOnly(false);
  }
  Source.SetDataSet(&other);
  EXPECT_EQ(Source.GetFieldSortState(other.FieldByName("ID")), 4) << "a class it cannot sort";
}

TEST_F(SDataSourceOnMemTableTest, MarkedAndFieldConditionsMustAllPass) {
  // The table's own handler hides ID 5.
  Table.SetOnFilterRecord([](TDataSet* DataSet, bool& Accept) {
    Accept = DataSet->FieldByName("ID")->AsInteger() != 5;
  });
  for (int id : {1, 3, 4, 5}) {
    Table.Locate("ID", id, {});
    Source.Marker()->ToggleMark();
  }
  for (bool unmarked : {false, true}) {
    SetFilterDialogHook([unmarked](TSDataSource*, TField* Field, TFilterArr& Filters) {
      Filters.clear();
      auto parity = std::make_unique<TFieldFilter>();
      parity->Field = Field;
      parity->Kind = ffkFloatInterval;
      parity->FloatBeg = parity->FloatEnd = 1;
      Filters.push_back(std::move(parity));
      auto marked = std::make_unique<TFieldFilter>();
      marked->Unmarked = unmarked;
      Filters.push_back(std::move(marked));
    });
    Source.ShowFilterDialog(Table.FieldByName("PARENT_ID"));
    // PARENT_ID 1: IDs 2 and 4; marked: 1 3 4 5.
    EXPECT_EQ(Order(), unmarked ? "b" : "a") << unmarked;
  }
  Source.CancelFilter();
  EXPECT_FALSE(Table.Filtered());
  Table.SetFiltered(true);
  EXPECT_EQ(Order(), "dbea") << "the table's own handler is back";
}

}  // namespace
