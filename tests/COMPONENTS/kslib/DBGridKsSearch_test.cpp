// The find dialog's search over a small dataset: directions with and without
// Ctrl, the order of cells, match kinds and case, empty texts, and the
// position and controls after a miss or a failing cell. Built twice: over
// an in-memory dataset, and natively over a server-backed dataset on a real
// database file.
#include "COMPONENTS/kslib/DBGridKsSearch.h"

#include <gtest/gtest.h>

#include <memory>

#ifdef KS_GRID_CORE_ON_SERVER
#include "tests/COMPONENTS/SDSTestKit.h"
#else
#include "tests/platform/db/ArrayDataSet.h"
#endif

namespace {

// Four records of an identity, a city and a street, in that order.
#ifdef KS_GRID_CORE_ON_SERVER
struct TSearchRows {
  TTestDatabase File{"nocomment"};
  std::unique_ptr<TSDSOnFile> Db;
  std::unique_ptr<TSDS> Data;
  const char* const Names[3] = {"SYS$ID", "CODE", "F_VARCHAR"};

  TSearchRows() {
    File.Isql(R"(
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_VARCHAR, F_REQ) VALUES (1, 'Москва', 'Тверская', 0);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_VARCHAR, F_REQ) VALUES (2, 'Тверь', '', 0);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_VARCHAR, F_REQ) VALUES (3, 'Казань', 'Московская', 0);
INSERT INTO ALL_TYPES (SYS$ID, CODE, F_VARCHAR, F_REQ) VALUES (4, 'москва', 'Садовая', 0);
COMMIT;
)");
    Db = std::make_unique<TSDSOnFile>(File);
    Data = Db->Dataset("ALL_TYPES");
    Data->SetIndexFieldNames("SYS$ID");
    Data->Open();
  }
};
#else
struct TSearchRows {
  std::unique_ptr<TArrayDataSet> Data = std::make_unique<TArrayDataSet>(nullptr);
  const char* const Names[3] = {"Id", "City", "Street"};

  TSearchRows() {
    Data->FieldDefs()->Add(Names[0], ftInteger);
    Data->FieldDefs()->Add(Names[1], ftString, 20);
    Data->FieldDefs()->Add(Names[2], ftString, 20);
    Data->Open();
    AppendValues(Data.get(), {1, "Москва", "Тверская"});
    AppendValues(Data.get(), {2, "Тверь", ""});
    AppendValues(Data.get(), {3, "Казань", "Московская"});
    AppendValues(Data.get(), {4, "москва", "Садовая"});
  }
};
#endif

class CellSearchTest : public testing::Test {
 protected:
  void SetUp() override {
    Table.First();
    Search.ColumnCount = 3;
    Search.CellText = [this](int Column) { return Table.FieldByName(Rows.Names[Column])->AsString(); };
  }

  void Settings(const char* Text, TFindMatchKs Match, TFindDirectionKs Direction) {
    Search.Text = Text;
    Search.Match = Match;
    Search.Direction = Direction;
    Search.Restart();
  }
  int Id() { return Table.FieldByName(Rows.Names[0])->AsInteger(); }
  // "record:column" of the match, or "none" with the record the dataset is on.
  std::string Find(bool Reversed = false) {
    if (!Search.Find(&Table, Reversed)) return "none at " + std::to_string(Id());
    return std::to_string(Id()) + ":" + std::to_string(Search.ColumnIndex());
  }
  void GoTo(int Id) { ASSERT_TRUE(Table.Locate(Rows.Names[0], Id, {})); }

  TSearchRows Rows;
  TDataSet& Table = *Rows.Data;
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
    if (Id() == 4) throw EConvertError("нет текста");
    return "";
  };
  EXPECT_THROW(Search.Find(&Table, false), EConvertError);
  EXPECT_EQ(Id(), 2);
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
