// The find dialog's search over a small dataset: directions with and without
// Ctrl, the order of cells, match kinds and case, empty texts, and the
// position and controls after a miss or a failing cell.
#include "COMPONENTS/kslib/DBGridKsSearch.h"

#include <gtest/gtest.h>

#include "tests/platform/db/ArrayDataSet.h"

namespace {

class CellSearchTest : public testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("Id", ftInteger);
    Table.FieldDefs()->Add("City", ftString, 20);
    Table.FieldDefs()->Add("Street", ftString, 20);
    Table.Open();
    AppendValues(&Table, {1, "Москва", "Тверская"});
    AppendValues(&Table, {2, "Тверь", ""});
    AppendValues(&Table, {3, "Казань", "Московская"});
    AppendValues(&Table, {4, "москва", "Садовая"});
    Table.First();
    Search.ColumnCount = 3;
    Search.CellText = [this](int Column) { return Table.Fields()->Fields(Column)->AsString(); };
  }

  void Settings(const char* Text, TFindMatchKs Match, TFindDirectionKs Direction) {
    Search.Text = Text;
    Search.Match = Match;
    Search.Direction = Direction;
    Search.Restart();
  }
  // "record:column" of the match, or "none" with the record the dataset is on.
  std::string Find(bool Reversed = false) {
    if (!Search.Find(&Table, Reversed)) return "none at " + Table.FieldByName("Id")->AsString();
    return Table.FieldByName("Id")->AsString() + ":" + std::to_string(Search.ColumnIndex());
  }
  void GoTo(int Id) { ASSERT_TRUE(Table.Locate("Id", Id, {})); }

  TArrayDataSet Table{nullptr};
  TCellSearchKs Search;
};

TEST_F(CellSearchTest, AllStartsAtTheFirstRecordThenGoesOn) {
  GoTo(3);
  Settings("Моск", fmAnyPart, fdAll);
  EXPECT_EQ(Find(), "1:1");
  EXPECT_EQ(Find(), "3:2");
  EXPECT_EQ(Find(), "4:1");
  EXPECT_EQ(Find(), "none at 4");
  EXPECT_EQ(Search.ColumnIndex(), 1);
}

TEST_F(CellSearchTest, AllWithCtrlStartsAtTheLastRecordGoingUp) {
  Settings("Моск", fmAnyPart, fdAll);
  EXPECT_EQ(Find(true), "4:1");
  EXPECT_EQ(Find(true), "3:2");
  EXPECT_EQ(Find(true), "1:1");
  EXPECT_EQ(Find(true), "none at 1");
}

TEST_F(CellSearchTest, DownAndUpStartAtTheCurrentRecordAndCtrlTurnsThem) {
  GoTo(2);
  Settings("Моск", fmAnyPart, fdDown);
  EXPECT_EQ(Find(), "3:2");
  EXPECT_EQ(Find(true), "1:1");

  GoTo(3);
  Settings("в", fmAnyPart, fdUp);
  EXPECT_EQ(Find(), "3:2");
  EXPECT_EQ(Find(), "2:1");
  EXPECT_EQ(Find(), "1:2");
  EXPECT_EQ(Find(), "1:1");
  EXPECT_EQ(Find(), "none at 1");
  EXPECT_EQ(Find(true), "1:2");
}

TEST_F(CellSearchTest, TheRecordAtEitherEndIsSearchedToo) {
  Table.Last();
  Settings("Садовая", fmWholeField, fdDown);
  EXPECT_EQ(Find(), "4:2");
  Table.First();
  Settings("1", fmWholeField, fdUp);
  EXPECT_EQ(Find(), "1:0");
}

TEST_F(CellSearchTest, MatchKindsAndCase) {
  struct TCase {
    const char* Text;
    TFindMatchKs Match;
    bool CaseSensitive;
    const char* Expected;
  } Cases[] = {
      {"МОСКВА", fmWholeField, false, "1:1"},
      {"москва", fmWholeField, true, "4:1"},
      {"москв", fmWholeField, false, "none at 1"},
      {"ВЕРСК", fmAnyPart, false, "1:2"},
      {"верск", fmAnyPart, true, "1:2"},
      {"Верск", fmAnyPart, true, "none at 1"},
      {"каз", fmFieldStart, false, "3:1"},
      {"азань", fmFieldStart, false, "none at 1"},
      {"Казань и", fmFieldStart, false, "none at 1"},
      {"мос", fmFieldStart, true, "4:1"},
      // An empty text: never within a cell, at the start of any, the whole of an empty one.
      {"", fmAnyPart, false, "none at 1"},
      {"", fmFieldStart, false, "1:0"},
      {"", fmWholeField, false, "2:2"},
  };
  for (const TCase& C : Cases) {
    Table.First();
    Search.CaseSensitive = C.CaseSensitive;
    Settings(C.Text, C.Match, fdAll);
    EXPECT_EQ(Find(), C.Expected) << C.Text;
  }
}

TEST_F(CellSearchTest, AMissKeepsThePositionAndTheSearchState) {
  Settings("Тверь", fmWholeField, fdAll);
  ASSERT_EQ(Find(), "2:1");
  Table.Next();
  Search.Text = "нет такого";
  EXPECT_EQ(Find(), "none at 3");
  EXPECT_EQ(Search.ColumnIndex(), 1);
  EXPECT_FALSE(Search.FirstSearch());
  EXPECT_FALSE(Table.ControlsDisabled());
}

TEST_F(CellSearchTest, AFailingCellTextLeavesNothingBehind) {
  GoTo(2);
  Settings("x", fmAnyPart, fdDown);
  Search.CellText = [this](int) -> AnsiString {
    if (Table.FieldByName("Id")->AsInteger() == 4) throw EConvertError("нет текста");
    return "";
  };
  EXPECT_THROW(Search.Find(&Table, false), EConvertError);
  EXPECT_EQ(Table.FieldByName("Id")->AsInteger(), 2);
  EXPECT_FALSE(Table.ControlsDisabled());
  EXPECT_TRUE(Search.FirstSearch());
}

TEST_F(CellSearchTest, NothingToSearchFindsNothing) {
  Settings("Москва", fmAnyPart, fdAll);
  EXPECT_FALSE(Search.Find(nullptr, false));
  Search.ColumnCount = 0;
  EXPECT_FALSE(Search.Find(&Table, false));
  Search.ColumnCount = 3;
  Table.Close();
  EXPECT_FALSE(Search.Find(&Table, false));
}

}  // namespace
