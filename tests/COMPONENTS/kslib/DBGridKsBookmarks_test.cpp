// The selected-records list over a dataset whose order can change under
// it, as an index change or a posted key does.
#include "COMPONENTS/kslib/DBGridKsBookmarks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "tests/platform/db/ArrayDataSet.h"
#include "zynMemTable.h"

namespace {

// Ordered by a rank per record the test sets: the dataset's "index".
class TRankedDataSet : public TArrayDataSet {
 public:
  using TArrayDataSet::TArrayDataSet;
  ~TRankedDataSet() override { Close(); }
  std::map<int32_t, int> Rank;
  int CompareBookmarks(const TBookmark& A, const TBookmark& B) const override {
    auto Of = [&](const TBookmark& X) {
      if (!BookmarkValid(X)) return -1;
      int32_t Id;
      std::memcpy(&Id, X.data(), sizeof Id);
      auto It = Rank.find(Id);
      return It == Rank.end() ? Id : It->second;
    };
    int RA = Of(A), RB = Of(B);
    return RA < RB ? -1 : RA > RB ? 1 : 0;
  }
};

struct TOwner : TBookmarkListOwnerKs {
  TDataSet* DataSet = nullptr;
  int Changes = 0, RowChanges = 0;
  TDataSet* BookmarkDataSet() override { return DataSet; }
  void BookmarksChanged() override { ++Changes; }
  void CurrentRowSelectionChanged() override { ++RowChanges; }
};

struct TFixture {
  TRankedDataSet Data{nullptr};
  TOwner Owner;
  TBookmarkListKs List{&Owner};
  TFixture() {
    Data.FieldDefs()->Add("Id", ftInteger);
    Data.Open();
    for (int I = 1; I <= 6; ++I) AppendValues(&Data, {I});
    Owner.DataSet = &Data;
    List.LinkActive(true);
  }
  void Select(int RecNo, bool Value = true) {
    Data.SetRecNo(RecNo);
    List.SetCurrentRowSelected(Value);
  }
  bool Selected(int RecNo) {
    Data.SetRecNo(RecNo);
    return List.CurrentRowSelected();
  }
};

TEST(BookmarkList, SelectsEachRecordOnceInDatasetOrder) {
  TFixture F;
  int Index = -1;
  EXPECT_FALSE(F.List.Find(F.Data.GetBookmark(), Index));
  EXPECT_EQ(Index, 0) << "an empty list: not found, at 0";
  F.Select(4);
  F.Select(2);
  F.Select(4);
  EXPECT_EQ(F.List.Count(), 2) << "the current record twice is one bookmark";
  EXPECT_EQ(F.Owner.RowChanges, 2);
  F.Select(5, false);
  EXPECT_EQ(F.Owner.RowChanges, 2) << "unselecting what is not selected changes nothing";
  F.Data.SetRecNo(2);
  EXPECT_EQ(F.List.Items(0), F.Data.GetBookmark());
  EXPECT_TRUE(F.Selected(4));
  EXPECT_FALSE(F.Selected(3));
  F.Select(2, false);
  F.Select(4, false);
  EXPECT_EQ(F.List.Count(), 0);
}

TEST(BookmarkList, ClosedDatasetRefusesTheCurrentRow) {
  TFixture F;
  F.Select(1);
  F.List.LinkActive(false);
  EXPECT_EQ(F.List.Count(), 0);
  try {
    F.List.GetCurrentRow();
    FAIL();
  } catch (EInvalidGridOperation& E) {
    EXPECT_EQ(E.Message(),
              AnsiString("Не могу выполнить эту операцию для закрытого набора данных (dataset)"));
  }
}

TEST(BookmarkList, SelectionSurvivesAReorderOnceRefreshed) {
  TFixture F;
  for (int RecNo : {1, 3, 5}) F.Select(RecNo);
  // The dataset's order turns round, as after a descending sort.
  for (int32_t Id = 1; Id <= 6; ++Id) F.Data.Rank[Id] = 100 - Id;
  F.List.Refresh();
  for (int RecNo = 1; RecNo <= 6; ++RecNo)
    EXPECT_EQ(F.Selected(RecNo), RecNo % 2 == 1) << "record " << RecNo;
  F.Select(3, false);
  F.Select(3);
  F.Select(3);
  EXPECT_EQ(F.List.Count(), 3) << "unselected and selected again, once";
  // One record moves to the front, as a posted key does.
  F.Data.Rank[5] = 0;
  F.List.Refresh();
  EXPECT_TRUE(F.Selected(5));
  F.Select(5, false);
  EXPECT_FALSE(F.Selected(5));
  EXPECT_EQ(F.List.Count(), 2);
}

TEST(BookmarkList, BookmarksOfDeletedRecordsAreDropped) {
  TFixture F;
  for (int RecNo : {2, 4}) F.Select(RecNo);
  F.Data.SetRecNo(2);
  F.Data.Delete();
  F.List.Refresh();
  EXPECT_EQ(F.List.Count(), 1);
  EXPECT_FALSE(F.Selected(1)) << "a gone record's bookmark matches nothing";
  // Delete takes the selected records out of the dataset.
  F.Select(1);
  F.List.Delete();
  EXPECT_EQ(F.List.Count(), 0);
  EXPECT_EQ(F.Data.RecordCount(), 3);
}

}  // namespace

namespace {

// Over the in-memory table, whose bookmark order follows its index.
TEST(BookmarkList, SelectionStaysThroughAnIndexChangeAndAKeyEdit) {
  TzynMemTable Table(nullptr);
  Table.FieldDefs()->Add("ID", ftInteger);
  Table.FieldDefs()->Add("KEY", ftInteger);
  Table.Open();
  for (int Id = 1; Id <= 8; ++Id) AppendValues(&Table, {Id, Id * 5 % 9});
  TOwner Owner;
  Owner.DataSet = &Table;
  TBookmarkListKs List(&Owner);
  List.LinkActive(true);
  auto Go = [&](int Id) { ASSERT_TRUE(Table.Locate("ID", Variant(Id), {})); };
  auto Selected = [&](int Id) {
    Go(Id);
    return List.CurrentRowSelected();
  };
  for (int Id : {2, 5, 7}) {
    Go(Id);
    List.SetCurrentRowSelected(true);
  }
  Table.SetIndexFieldNames("KEY");
  List.Refresh();
  for (int Id = 1; Id <= 8; ++Id) EXPECT_EQ(Selected(Id), Id == 2 || Id == 5 || Id == 7) << Id;
  // A posted key moves record 5 to the end of the index.
  Go(5);
  Table.Edit();
  Table.FieldByName("KEY")->SetAsInteger(100);
  Table.Post();
  List.Refresh();
  EXPECT_TRUE(Selected(5));
  List.SetCurrentRowSelected(true);
  EXPECT_EQ(List.Count(), 3) << "selected once";
  List.SetCurrentRowSelected(false);
  EXPECT_FALSE(Selected(5));
  EXPECT_TRUE(Selected(2));
  EXPECT_TRUE(Selected(7));
  EXPECT_EQ(List.Count(), 2);
}

}  // namespace
