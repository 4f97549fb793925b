// The data source's condition filter over a dataset: beside the dataset's
// own handler, taken out again with the dataset's switch as it was, and
// never left behind when the dataset or the source goes away.
#include <gtest/gtest.h>

#include "ScriptedDataPrompts.h"
#include "SDataSource.h"
#include "tests/platform/db/ArrayDataSet.h"

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

}  // namespace
