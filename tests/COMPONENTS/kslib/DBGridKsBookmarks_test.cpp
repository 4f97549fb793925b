// The selected-records list over a dataset whose order can change under
// it, as an index change or a posted key does. The index change and the
// key edit are built twice: over the in-memory table, and natively over a
// server-backed dataset on a real database file.
#include "COMPONENTS/kslib/DBGridKsBookmarks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#ifdef KS_GRID_CORE_ON_SERVER
#include "tests/COMPONENTS/SDSTestKit.h"
#else
#include "tests/platform/db/ArrayDataSet.h"
#include "zynMemTable.h"
#endif

namespace {

struct TOwner : TBookmarkListOwnerKs {
  TDataSet* DataSet = nullptr;
  int Changes = 0, RowChanges = 0;
  TDataSet* BookmarkDataSet() override { return DataSet; }
  void BookmarksChanged() override { ++Changes; }
  void CurrentRowSelectionChanged() override { ++RowChanges; }
};

#ifndef KS_GRID_CORE_ON_SERVER
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

// Before, at and after the last bookmark, and between the others.
TEST(BookmarkList, FindAnswersThePlaceOfEachRecord) {
  TFixture F;
  for (int RecNo : {5, 2, 4}) F.Select(RecNo);
  struct {
    int RecNo;
    bool Found;
    int Index;
  } Cases[] = {{1, false, 0}, {2, true, 0}, {3, false, 1},
               {4, true, 1},  {5, true, 2}, {6, false, 3}};
  for (const auto& C : Cases) {
    F.Data.SetRecNo(C.RecNo);
    int Index = -1;
    EXPECT_EQ(F.List.Find(F.Data.GetBookmark(), Index), C.Found) << C.RecNo;
    EXPECT_EQ(Index, C.Index) << C.RecNo;
  }
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

#endif

// Eight records of an identity and a key, ordered by the identity; the
// bookmark order follows the dataset's index.
#ifdef KS_GRID_CORE_ON_SERVER
struct TKeyedRows {
  TTestDatabase File{"nocomment"};
  std::unique_ptr<TSDSOnFile> Db;
  std::unique_ptr<TSDS> Data;
  const char* const Id = "SYS$ID";
  const char* const Key = "F_INT";

  TKeyedRows() {
    std::string Rows;
    for (int I = 1; I <= 8; ++I)
      Rows += "INSERT INTO ALL_TYPES (SYS$ID, F_INT, F_REQ) VALUES (" + std::to_string(I) + ", " +
              std::to_string(I * 5 % 9) + ", 0);\n";
    File.Isql(Rows + "COMMIT;\n");
    Db = std::make_unique<TSDSOnFile>(File);
    Data = Db->Dataset("ALL_TYPES");
    Data->SetIndexFieldNames(Id);
    Data->Open();
  }
};
#else
struct TKeyedRows {
  std::unique_ptr<TzynMemTable> Data = std::make_unique<TzynMemTable>(nullptr);
  const char* const Id = "ID";
  const char* const Key = "KEY";

  TKeyedRows() {
    Data->FieldDefs()->Add(Id, ftInteger);
    Data->FieldDefs()->Add(Key, ftInteger);
    Data->Open();
    for (int I = 1; I <= 8; ++I) AppendValues(Data.get(), {I, I * 5 % 9});
  }
};
#endif

TEST(BookmarkList, SelectionStaysThroughAnIndexChangeAndAKeyEdit) {
  TKeyedRows Rows;
  TzynCustomMemTable& Table = *Rows.Data;
  TOwner Owner;
  Owner.DataSet = &Table;
  TBookmarkListKs List(&Owner);
  List.LinkActive(true);
  auto Go = [&](int Id) { ASSERT_TRUE(Table.Locate(Rows.Id, Variant(Id), {})); };
  auto Selected = [&](int Id) {
    Go(Id);
    return List.CurrentRowSelected();
  };
  for (int Id : {2, 5, 7}) {
    Go(Id);
    List.SetCurrentRowSelected(true);
  }
  Table.SetIndexFieldNames(Rows.Key);
  Table.First();
  ASSERT_EQ(Table.FieldByName(Rows.Id)->AsInteger(), 2) << "the order follows the key";
  List.Refresh();
  for (int Id = 1; Id <= 8; ++Id) EXPECT_EQ(Selected(Id), Id == 2 || Id == 5 || Id == 7) << Id;
  // A posted key moves record 5 to the end of the index.
  Go(5);
  Table.Edit();
  Table.FieldByName(Rows.Key)->SetAsInteger(100);
  Table.Post();
  Table.Last();
  ASSERT_EQ(Table.FieldByName(Rows.Id)->AsInteger(), 5);
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
