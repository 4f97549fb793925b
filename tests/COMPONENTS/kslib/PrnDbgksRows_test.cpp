// The rows of a print run over an in-memory dataset, alone and under the
// paging loop.
#include "COMPONENTS/kslib/PrnDbgksRows.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/platform/db/ArrayDataSet.h"

namespace {

class TNumbers : public TArrayDataSet {
 public:
  explicit TNumbers(int Count) : TArrayDataSet(nullptr) {
    FieldDefs()->Add("Id", ftInteger);
    Open();
    for (int Id = 1; Id <= Count; ++Id) {
      Append();
      FieldByName("Id")->SetAsInteger(Id);
      Post();
    }
    First();
  }
  AnsiString BookmarkOf(int Id) {
    Locate("Id", Id, {});
    return GetBookmark();
  }
};

// Ids of data rows and "f<n>" for footer rows, up to the end.
std::vector<AnsiString> Walk(TDataSetPrintRowsKs& Rows, TDataSet& DataSet) {
  std::vector<AnsiString> Seen;
  for (TPrintRowKs Row = Rows.First(); !Row.End; Row = Rows.Next())
    Seen.push_back(Row.Footer ? "f" + Row.Key : DataSet.FieldByName("Id")->AsString());
  return Seen;
}

using Texts = std::vector<AnsiString>;

TEST(DataSetPrintRowsTest, EveryRecordThenTheFooterRows) {
  TNumbers Numbers(3);
  Numbers.Last();
  TDataSetPrintRowsKs Rows(&Numbers, 2);
  EXPECT_EQ(Walk(Rows, Numbers), (Texts{"1", "2", "3", "f0", "f1"}));
}

TEST(DataSetPrintRowsTest, AnEmptyDatasetPrintsItsFirstFooterRowOrNothing) {
  TNumbers Empty(0);
  TDataSetPrintRowsKs WithFooters(&Empty, 2);
  EXPECT_EQ(Walk(WithFooters, Empty), (Texts{"f0", "f1"}));
  TDataSetPrintRowsKs Without(&Empty, 0);
  EXPECT_TRUE(Without.First().End);
}

TEST(DataSetPrintRowsTest, SelectedRecordsInOrderPassingOverDeletedOnes) {
  TNumbers Numbers(6);
  std::vector<AnsiString> Selected = {Numbers.BookmarkOf(2), Numbers.BookmarkOf(4),
                                      Numbers.BookmarkOf(5)};
  Numbers.Locate("Id", 4, {});
  Numbers.Delete();
  Numbers.Locate("Id", 5, {});  // the current record is not where printing starts
  TDataSetPrintRowsKs Rows(&Numbers, 1);
  Rows.SelectRecords(Selected);
  EXPECT_EQ(Walk(Rows, Numbers), (Texts{"2", "5", "f0"}));
}

TEST(DataSetPrintRowsTest, ARangeFromItsFirstToItsLastRow) {
  TNumbers Numbers(8);
  TDataSetPrintRowsKs Rows(&Numbers, 0);
  Rows.SelectRange(Numbers.BookmarkOf(3), Numbers.BookmarkOf(6));
  EXPECT_EQ(Walk(Rows, Numbers), (Texts{"3", "4", "5", "6"}));
  Rows.SelectRange(Numbers.BookmarkOf(7), Numbers.BookmarkOf(8));  // ends with the data
  EXPECT_EQ(Walk(Rows, Numbers), (Texts{"7", "8"}));
  Rows.SelectRange(Numbers.BookmarkOf(5), Numbers.BookmarkOf(5));
  EXPECT_EQ(Walk(Rows, Numbers), (Texts{"5"}));
}

TEST(DataSetPrintRowsTest, GoingBackToARowWalksOnFromThere) {
  TNumbers Numbers(5);
  TDataSetPrintRowsKs Rows(&Numbers, 1);
  Rows.SelectRecords({Numbers.BookmarkOf(1), Numbers.BookmarkOf(3), Numbers.BookmarkOf(5)});
  Rows.First();
  const TPrintRowKs Second = Rows.Next();
  Rows.Next();
  const TPrintRowKs Footer = Rows.Next();
  ASSERT_TRUE(Footer.Footer);
  Rows.GoTo(Second);
  EXPECT_EQ(Numbers.FieldByName("Id")->AsInteger(), 3);
  Rows.Next();
  EXPECT_EQ(Numbers.FieldByName("Id")->AsInteger(), 5);
  Rows.GoTo(Footer);
  EXPECT_TRUE(Rows.Next().End);
}

// Rows of random heights from a dataset: each record once, in order.
class TRandomHeights : public TPrintBandPainterKs {
 public:
  explicit TRandomHeights(TDataSet& DataSet) : FDataSet(DataSet) {}
  int MeasureRow(const TPrintRowKs&) override { return 1 + FRandom() % 400; }
  void AddToTotals(const TPrintRowKs&) override {}
  bool Aborted() override { return false; }
  void NewPage() override {}
  void DrawTitles(int, int, int) override {}
  void DrawCell(const TPrintRowKs& Row, int, const TPrintRectKs&, bool) override {
    Printed.push_back(Row.Footer ? "f" + Row.Key : FDataSet.FieldByName("Id")->AsString());
  }
  void DrawGridLines(const std::vector<TPrintLineKs>&) override {}
  std::vector<AnsiString> Printed;

 private:
  TDataSet& FDataSet;
  std::mt19937 FRandom{7};
};

TEST(DataSetPrintRowsTest, ThePagingLoopPrintsEveryRecordOnceInOrder) {
  TNumbers Numbers(200);
  TDataSetPrintRowsKs Rows(&Numbers, 2);
  TRandomHeights Painter(Numbers);
  TPrintAreaKs Area;
  Area.Right = 1000;
  Area.Bottom = 1000;
  TPrintPagerKs Pager(Area, {500}, {0});
  Pager.PrintRows(Rows, Painter);
  Texts Expected;
  for (int Id = 1; Id <= 200; ++Id) Expected.push_back(IntToStr(Id));
  Expected.insert(Expected.end(), {"f0", "f1"});
  EXPECT_EQ(Painter.Printed, Expected);
}

}  // namespace
