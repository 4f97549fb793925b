// Marks on records of an in-memory table through its data source: one at a
// time, in groups given in either order, all at once after the user's yes;
// they follow the records through sorts and filters and go when the
// records they named are gone.
#include <gtest/gtest.h>

#include "ScriptedDataPrompts.h"
#include "SDataSource.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "zynMemTable.h"

namespace {

class RecordMarkerTest : public testing::Test {
 protected:
  void SetUp() override {
    Fill(Table);
    Source.SetDataSet(&Table);
    Marker().OnChange = [this](TObject*) { ++Changes; };
  }
  static void Fill(TzynMemTable& Into) {
    if (Into.FieldDefs()->Count() == 0) {
      Into.FieldDefs()->Add("ID", ftInteger);
      Into.FieldDefs()->Add("NAME", ftString, 20);
    }
    Into.Open();
    const char* names[] = {"d", "b", "e", "a", "c"};
    for (int i = 0; i < 5; ++i) AppendValues(&Into, {i + 1, AnsiString(names[i])});
    Into.First();
  }
  TMemRecordMarker& Marker() { return *Source.Marker(); }
  void GoTo(int Id) { ASSERT_TRUE(Table.Locate("ID", Id, {})) << Id; }
  void Toggle(std::initializer_list<int> Ids) {
    for (int id : Ids) {
      GoTo(id);
      Marker().ToggleMark();
    }
  }
  std::vector<int> Marked() {
    std::vector<int> ids;
    TBookmark noted = Table.GetBookmark();
    for (Table.First(); !Table.Eof(); Table.Next())
      if (Marker().IsMarked()) ids.push_back(Table.FieldByName("ID")->AsInteger());
    Table.GotoBookmark(noted);
    return ids;
  }
  void SortByName() { Table.SetIndexFieldNames("NAME"); }
  void HideId(int Id) {
    Table.SetOnFilterRecord(
        [Id](TDataSet* DataSet, bool& Accept) { Accept = DataSet->FieldByName("ID")->AsInteger() != Id; });
    Table.SetFiltered(true);
  }

  TScriptedDataPrompts Prompts;
  TzynMemTable Table{nullptr};
  TSDataSource Source{nullptr};
  int Changes = 0;
};

TEST_F(RecordMarkerTest, ToggleMarksAndUnmarksTheCurrentRecord) {
  EXPECT_TRUE(Marker().IsEmpty());
  Toggle({2, 4});
  EXPECT_EQ(Marked(), (std::vector<int>{2, 4}));
  EXPECT_FALSE(Marker().IsEmpty());
  Toggle({2});
  EXPECT_EQ(Marked(), (std::vector<int>{4}));
  EXPECT_EQ(Changes, 3);
  Marker().Clear();
  EXPECT_TRUE(Marker().IsEmpty());
}

TEST_F(RecordMarkerTest, NoMarkWhileEditingOrOnAnEmptyTable) {
  GoTo(1);
  Table.Edit();
  Marker().ToggleMark();
  Table.Cancel();
  EXPECT_TRUE(Marker().IsEmpty());

  TzynMemTable empty(nullptr);
  empty.FieldDefs()->Add("ID", ftInteger);
  empty.Open();
  Source.SetDataSet(&empty);
  Marker().ToggleMark();
  Marker().MarkGroup();
  Marker().MarkAll();
  EXPECT_TRUE(Marker().IsEmpty());
  EXPECT_TRUE(Prompts.Questions.empty());
}

TEST_F(RecordMarkerTest, AGroupTogglesBothEndsAndWhatLiesBetweenInEitherOrder) {
  struct Case {
    int From, To;
    std::vector<int> Before, After;
  };
  const Case cases[] = {
      {2, 4, {}, {2, 3, 4}},
      {4, 2, {}, {2, 3, 4}},
      {3, 3, {}, {3}},
      {1, 5, {1, 3}, {2, 4, 5}},
      {5, 4, {1, 4}, {1, 5}},
  };
  for (const Case& c : cases) {
    Marker().Clear();
    for (int id : c.Before) Toggle({id});
    GoTo(c.From);
    Marker().MarkGroup();
    EXPECT_EQ(Marked(), c.Before) << "the first call only notes";
    GoTo(c.To);
    Marker().MarkGroup();
    EXPECT_EQ(Marked(), c.After) << c.From << ".." << c.To;
    EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), c.To) << "the cursor stays";
  }
}

TEST_F(RecordMarkerTest, AGroupFollowsTheCurrentOrder) {
  SortByName();  // a b c d e = ids 4 2 5 1 3
  GoTo(2);
  Marker().MarkGroup();
  GoTo(1);
  Marker().MarkGroup();
  EXPECT_EQ(Marked(), (std::vector<int>{2, 5, 1}));
}

TEST_F(RecordMarkerTest, AGroupWhoseStartHasGoneStartsAnewInstead) {
  GoTo(2);
  Marker().MarkGroup();
  HideId(2);
  GoTo(4);
  Marker().MarkGroup();
  EXPECT_TRUE(Marker().IsEmpty()) << "nothing toggles up to the end";
  GoTo(5);
  Marker().MarkGroup();
  EXPECT_EQ(Marked(), (std::vector<int>{4, 5}));
}

TEST_F(RecordMarkerTest, MarkAllAsksFirstAndMarksOnlyWhatShows) {
  HideId(3);
  Prompts.Answers = {false, true, false, true};
  GoTo(2);
  Marker().MarkAll();
  EXPECT_TRUE(Marker().IsEmpty()) << "No";
  Marker().MarkAll();
  EXPECT_EQ(Marked(), (std::vector<int>{1, 2, 4, 5}));
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 2);
  Marker().MarkAll();
  EXPECT_EQ(Marked().size(), 4u) << "No";
  Marker().MarkAll();
  EXPECT_TRUE(Marker().IsEmpty());
  EXPECT_EQ(Prompts.Questions,
            (std::vector<AnsiString>{"Отметить все записи ?", "Отметить все записи ?",
                                     "Сделать все записи неотмеченными ?",
                                     "Сделать все записи неотмеченными ?"}));
}

// Marking all under the filter that shows unmarked records empties what
// the walk shows; unmarking all under the one that shows marked records
// does the same. Each ends on a record the dataset still shows (or on an
// empty dataset) and tells OnChange once.
TEST_F(RecordMarkerTest, MarkAllUnderAFilterOnTheMarksEndsOnAShownRecord) {
  struct Case {
    bool Unmarked;
    std::vector<int> Premarked;
    int At;
    std::vector<int> MarkedAfter;
    int ShownAfter;  // 0: none
  };
  const Case cases[] = {
      {true, {}, 3, {1, 2, 3, 4, 5}, 0},
      // Some marked: all are unmarked, and all show.
      {true, {1, 4}, 3, {}, 3},
      {false, {2, 4}, 4, {}, 0},
  };
  for (const Case& c : cases) {
    Source.CancelFilter();
    Marker().Clear();
    for (int id : c.Premarked) {
      GoTo(id);
      Marker().ToggleMark();
    }
    bool unmarked = c.Unmarked;
    SetFilterDialogHook([unmarked](TSDataSource*, TField*, TFilterArr& Filters) {
      Filters.clear();
      auto marks = std::make_unique<TFieldFilter>();
      marks->Unmarked = unmarked;
      Filters.push_back(std::move(marks));
    });
    Source.ShowFilterDialog(Table.FieldByName("ID"));
    GoTo(c.At);
    Changes = 0;
    Prompts.Answers = {true};
    EXPECT_NO_THROW(Marker().MarkAll());
    EXPECT_EQ(Changes, 1);
    if (c.ShownAfter)
      EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), c.ShownAfter);
    else
      EXPECT_TRUE(Table.IsEmpty());
    Source.CancelFilter();
    EXPECT_EQ(Marked(), c.MarkedAfter);
  }
  SetFilterDialogHook(nullptr);
}

TEST_F(RecordMarkerTest, MarkedValuesComeInTheDatasetsOrder) {
  Toggle({5, 1, 4});
  EXPECT_EQ(Marker().GetMarkedValues("NAME"), "d,a,c");
  SortByName();
  EXPECT_EQ(Marker().GetMarkedValues("NAME"), "a,c,d");
  HideId(5);
  EXPECT_EQ(Marker().GetMarkedValues("NAME"), "a,d");
  Table.SetFiltered(false);
  EXPECT_EQ(Marker().GetMarkedValues("NAME"), "a,c,d") << "a hidden record kept its mark";
  Marker().KeyFieldName = "ID";
  EXPECT_EQ(Marker().GetMarkedValues(), "4,5,1");
}

TEST_F(RecordMarkerTest, MarkedValuesNeedAFieldOfTheDataset) {
  Toggle({1});
  struct Case {
    const char* Name;
    const char* Message;
  };
  const Case cases[] = {{"", "Не задано поле для выбора!"},
                        {"CITY", "Поле для выбора \"CITY\" не найдено !"}};
  for (const Case& c : cases) {
    try {
      Marker().GetMarkedValues(c.Name);
      ADD_FAILURE() << c.Name;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.Message);
    }
  }
  TMemRecordMarker unbound;
  EXPECT_EQ(unbound.GetMarkedValues(), "");
}

TEST_F(RecordMarkerTest, MarksGoWhenTheStorageIsEmptied) {
  Toggle({1, 2});
  Table.Close();
  Fill(Table);  // identities start again from 0
  int before = Changes;
  GoTo(1);
  EXPECT_FALSE(Marker().IsMarked());
  EXPECT_TRUE(Marker().IsEmpty());
  EXPECT_EQ(Changes, before + 1);
  Toggle({3});
  EXPECT_EQ(Marked(), (std::vector<int>{3}));
}

TEST_F(RecordMarkerTest, MarksGoWithTheDataset) {
  Toggle({1, 2});
  TzynMemTable other(nullptr);
  Fill(other);
  Source.SetDataSet(&other);
  EXPECT_TRUE(Marker().IsEmpty());
  EXPECT_GT(Changes, 2);
  other.Locate("ID", 1, {});
  EXPECT_FALSE(Marker().IsMarked());
  Marker().ToggleMark();
  EXPECT_TRUE(Marker().IsMarked());

  {
    TzynMemTable shortLived(nullptr);
    Fill(shortLived);
    Source.SetDataSet(&shortLived);
    Marker().ToggleMark();
  }
  EXPECT_TRUE(Marker().IsEmpty());
  EXPECT_FALSE(Marker().IsMarked());
}

TEST_F(RecordMarkerTest, OnlyAMarkerOfThisKindOfDataSource) {
  TDataSource plain(nullptr);
  TMemRecordMarker marker;
  EXPECT_THROW(
      {
        try {
          marker.SetDataSource(&plain);
        } catch (const Exception& e) {
          EXPECT_EQ(e.Message(), "DataSource must be TDataSource !");
          throw;
        }
      },
      Exception);
  marker.SetDataSource(nullptr);
  Source.SetMarker(new TMemRecordMarker);
  EXPECT_EQ(Source.Marker()->DataSource(), &Source);
}

}  // namespace
