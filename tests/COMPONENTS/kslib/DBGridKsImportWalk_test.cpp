// The import's walk over the target records by kind, with appending,
// inserting and a cell error; deleting each record once.
#include "COMPONENTS/kslib/DBGridKsImportWalk.h"

#include <gtest/gtest.h>

#include "tests/COMPONENTS/kslib/ExportRows.h"
#include "tests/platform/db/ArrayDataSet.h"

namespace {

struct TFieldTarget : TGridImportTarget {
  bool AllowsChange(bool) override { return true; }
  TField* Field() override { return FieldObject; }
  bool HasKeyList() override { return false; }
  const TStrings& PickList() override { return None; }
  const TStrings& KeyList() override { return None; }
  TField* FieldObject = nullptr;
  TStringList None;
};

// Keeps deleted records shown, as a dataset with a virtual delete does.
class TVirtualDeleteDataSet : public TArrayDataSet {
 public:
  using TArrayDataSet::TArrayDataSet;
  int Deletes = 0;

 protected:
  void InternalDelete() override { ++Deletes; }
};

template <typename TDataSetClass>
class WalkTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    Data.FieldDefs()->Add("Id", ftInteger);
    Data.FieldDefs()->Add("Name", ftString, 20);
    Data.Open();
    for (int i = 1; i <= 4; ++i) AppendValues(&Data, {i, "r" + std::to_string(i)});
    Data.First();
    Id.FieldObject = Data.FieldByName("Id");
    Name.FieldObject = Data.FieldByName("Name");
  }
  std::vector<AnsiString> Rows() {
    std::vector<AnsiString> rows;
    for (Data.First(); !Data.Eof(); Data.Next())
      rows.push_back(Data.FieldByName("Id")->AsString() + ":" + Data.FieldByName("Name")->AsString());
    return rows;
  }
  TBookmark BookmarkAt(int RecNo) {
    Data.SetRecNo(RecNo);
    return Data.GetBookmark();
  }
  // Names into the Name column, Abort at any cell error.
  void ImportText(const AnsiString& Text, const TGridTargetRecords& Records, bool AppendRest,
                  std::vector<TGridImportTarget*> Targets = {}) {
    if (Targets.empty()) Targets = {&Name};
    TStringStream stream(Text);
    TDBGridKsImportAsText reader(stream);
    TGridImportRecordWriter writer(Data, [](const AnsiString&) { return TCellErrorAnswer::Abort; });
    ImportRecords(Data, reader, Records, AppendRest, Targets, writer);
  }

  TDataSetClass Data{nullptr};
  TFieldTarget Id, Name;
};

using WalkTest = WalkTestBase<TArrayDataSet>;

TEST_F(WalkTest, FromTheCurrentRecordThenAppendedWhenAllowed) {
  Data.SetRecNo(3);
  ImportText("a\r\nb\r\nc\r\nd", {}, false);
  EXPECT_EQ(Rows(), (std::vector<AnsiString>{"1:r1", "2:r2", "3:a", "4:b"}));
  Data.SetRecNo(3);
  ImportText("A\r\nB\r\nC\r\nD", {}, true);
  EXPECT_EQ(Rows(), (std::vector<AnsiString>{"1:r1", "2:r2", "3:A", "4:B", ":C", ":D"}));
}

TEST_F(WalkTest, BookmarksInOrderRangeToItsLastAndAllFromTheFirst) {
  TGridTargetRecords marked{TGridTargetRecords::Listed, {BookmarkAt(4), BookmarkAt(1)}, {}, {}};
  ImportText("a\r\nb\r\nc", marked, false);
  EXPECT_EQ(Rows(), (std::vector<AnsiString>{"1:b", "2:r2", "3:r3", "4:a"}));

  TGridTargetRecords range{TGridTargetRecords::Range, {}, BookmarkAt(2), BookmarkAt(3)};
  ImportText("x\r\ny\r\nz", range, false);
  EXPECT_EQ(Rows(), (std::vector<AnsiString>{"1:b", "2:x", "3:y", "4:a"}));

  Data.Last();
  ImportText("p\r\nq", {TGridTargetRecords::All, {}, {}, {}}, false);
  EXPECT_EQ(Rows(), (std::vector<AnsiString>{"1:p", "2:q", "3:y", "4:a"}));
}

TEST_F(WalkTest, InInsertStateEveryRowIsANewRecord) {
  Data.SetRecNo(2);
  Data.Insert();
  ImportText("a\r\nb", {TGridTargetRecords::All, {}, {}, {}}, false);
  EXPECT_EQ(Rows(), (std::vector<AnsiString>{"1:r1", ":a", ":b", "2:r2", "3:r3", "4:r4"}));
  Data.Append();
  ImportText("c\r\nd", {}, false);
  EXPECT_EQ(Rows().back(), ":d");
  EXPECT_EQ(Data.RecordCount(), 8);
}

TEST_F(WalkTest, NoAtACellErrorKeepsThePostedRowsAndCancelsTheInterruptedOne) {
  EXPECT_THROW(ImportText("11\ta\r\nx\tb\r\n13\tc", {}, true, {&Id, &Name}), EAbort);
  EXPECT_EQ(Data.State(), dsBrowse);
  EXPECT_EQ(Rows(), (std::vector<AnsiString>{"11:a", "2:r2", "3:r3", "4:r4"}));

  Data.Append();
  EXPECT_THROW(ImportText("5\te\r\ny\tf", {}, false, {&Id, &Name}), EAbort);
  EXPECT_EQ(Data.State(), dsBrowse);
  EXPECT_EQ(Rows().back(), "5:e");
  EXPECT_EQ(Data.RecordCount(), 5);
}

TEST_F(WalkTest, DeletesTheListedOrAllRecords) {
  DeleteRecords(Data, {BookmarkAt(2), BookmarkAt(4)});
  EXPECT_EQ(Rows(), (std::vector<AnsiString>{"1:r1", "3:r3"}));
  DeleteAllRecords(Data);
  EXPECT_TRUE(Data.IsEmpty());
}

using VirtualDeleteTest = WalkTestBase<TVirtualDeleteDataSet>;

TEST_F(VirtualDeleteTest, DeletingAllEndsWhenDeletedRecordsStayShown) {
  DeleteAllRecords(Data);
  EXPECT_EQ(Data.Deletes, 4);
}

}  // namespace
