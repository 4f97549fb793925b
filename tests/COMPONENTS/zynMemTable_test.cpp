// The in-memory dataset against a plain model of the shown rows: random
// scripts of appends, inserts, edits, deletes (with and without versions),
// index switches, a filter, ranges, master records, bookmarks, SetRecNo,
// Locate and moves, some with the controls disabled; after each step every
// data link's rows and active record, the counts, numbers, the bookmark
// order and the data events are compared with the model; and again with two
// tables on the same records taking turns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <cstring>
#include <random>

#include "db/DB.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "zynBlobStream.h"
#include "zynCommon.h"
#include "zynIndexes.h"
#include "zynMemTable.h"
#include "zynStreamFormat.h"
#include "zynTestTable.h"
#include "zynTypedTable.h"

namespace {

struct ModelRecord {
  int Id;
  std::string Name;
  int Slot;
  bool Deleted = false;
};

class Model {
 public:
  std::vector<std::optional<ModelRecord>> Slots;
  std::vector<int> FreeSlots;
  std::vector<int> RowOrder;  // slots in row order
  std::string Index;          // "", "NAME", "NAME:D", "ID"
  bool Filtered = false;
  bool Versioning = false;
  // A range over ID, only under the ID index.
  std::optional<std::pair<int, int>> Range;
  // The master record's NAME that the detail shows.
  std::optional<std::string> Master;
  int Current = -1;  // slot of the current record, -1 when none shown

  bool Shown(int Slot) const {
    const ModelRecord& r = *Slots[static_cast<size_t>(Slot)];
    return !r.Deleted && (!Filtered || r.Id % 3 != 0) &&
           (!Range || (r.Id >= Range->first && r.Id <= Range->second)) && (!Master || r.Name == *Master);
  }
  bool Sequenced() const { return !Filtered && !Range && !Master; }
  void ToFirst() {
    std::vector<int> shown = ShownOrder();
    Current = shown.empty() ? -1 : shown[0];
  }
  // Every record the current index lists, in its order.
  std::vector<int> Order() const {
    std::vector<int> order = RowOrder;
    if (Index.empty()) return order;
    bool descending = Index == "NAME:D";
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      const ModelRecord& x = *Slots[static_cast<size_t>(a)];
      const ModelRecord& y = *Slots[static_cast<size_t>(b)];
      int c = Index == "ID" ? (x.Id < y.Id ? -1 : x.Id > y.Id) : x.Name.compare(y.Name);
      c = c < 0 ? -1 : c > 0;
      if (descending) c = -c;
      if (c) return c < 0;
      return descending ? a > b : a < b;
    });
    return order;
  }
  std::vector<int> ShownOrder() const {
    std::vector<int> shown;
    for (int slot : Order())
      if (Shown(slot)) shown.push_back(slot);
    return shown;
  }
  // Where the cursor lands when the record at Position of the full order
  // (or the one after a removed one) is not shown: the next shown, else the prior.
  void Settle(const std::vector<int>& order, size_t Position) {
    for (size_t i = Position; i < order.size(); ++i)
      if (Shown(order[i])) {
        Current = order[i];
        return;
      }
    for (size_t i = std::min(Position, order.size()); i-- > 0;)
      if (Shown(order[i])) {
        Current = order[i];
        return;
      }
    Current = -1;
  }
  void SettleOn(int Slot) {
    std::vector<int> order = Order();
    Settle(order, static_cast<size_t>(std::find(order.begin(), order.end(), Slot) - order.begin()));
  }
  int NewSlot() {
    if (!FreeSlots.empty()) {
      int slot = FreeSlots.back();
      FreeSlots.pop_back();
      return slot;
    }
    Slots.emplace_back();
    return static_cast<int>(Slots.size()) - 1;
  }
};

class Link : public TDataLink {
 public:
  // Ids of the link's rows and the index of its active one.
  std::vector<int> Ids(TDataSet* DataSet) {
    std::vector<int> ids;
    int active = ActiveRecord();
    for (int i = 0; i < RecordCount(); ++i) {
      SetActiveRecord(i);
      ids.push_back(DataSet->FieldByName("ID")->AsInteger());
    }
    SetActiveRecord(active);
    return ids;
  }
  // The dataset's events that reached the link.
  std::vector<TDataEvent> Events;
  void DataEvent(TDataEvent Event, intptr_t Info) override {
    Events.push_back(Event);
    TDataLink::DataEvent(Event, Info);
  }
};

// One table on the records with its own view: data links, master table,
// bookmarks and its model.
struct TableUnderTest {
  TzynMemTable Table{nullptr};
  TDataSource Source{nullptr};
  TzynMemTable MasterTable{nullptr};
  TDataSource MasterSource{nullptr};
  Link Links[3];
  Model M;
  std::vector<std::pair<TBookmark, int>> Bookmarks;

  TableUnderTest(TzynMemTable* Owner, unsigned Seed, bool Versioning, TzynVersioningMode Mode) {
    Table.FieldDefs()->Add("ID", ftInteger);
    Table.FieldDefs()->Add("NAME", ftString, 16);
    Table.SetPerformance(Seed % 2 ? mtpfBalanced : mtpfFast);
    Table.SetEnableVersioning(Versioning);
    Table.SetVersioningMode(Mode);
    M.Versioning = Versioning;
    Table.SetOnFilterRecord([](TDataSet* d, bool& accept) {
      accept = d->FieldByName("ID")->AsInteger() % 3 != 0;
    });
    if (Owner)
      Table.SetAttachedTo(Owner);
    else
      Table.SetAttachMaxCount(2);
    Table.Open();
    Source.SetDataSet(&Table);
    Table.SetMasterFields("NAME");
    Table.SetDetailFields("NAME");
    MasterTable.FieldDefs()->Add("NAME", ftString, 16);
    MasterTable.Open();
    for (const char* name : {"a", "b", "ab"}) {
      MasterTable.Append();
      MasterTable.FieldByName("NAME")->SetAsString(name);
      MasterTable.Post();
    }
    MasterSource.SetDataSet(&MasterTable);
    int counts[3] = {7, 3, 1};
    for (int i = 0; i < 3; ++i) {
      Links[i].SetBufferCount(counts[i]);
      Links[i].SetDataSource(&Source);
    }
  }
};

struct Harness {
  std::mt19937 Rng;
  // The records' owner, and a table attached to it when two take turns.
  std::unique_ptr<TableUnderTest> Units[2];
  int Turn = 0;
  int NextId = 1;
  int RangedSteps = 0, MasterSteps = 0;

  Harness(unsigned Seed, bool Versioning, TzynVersioningMode Mode, bool Attached = false) : Rng(Seed) {
    Units[0] = std::make_unique<TableUnderTest>(nullptr, Seed, Versioning, Mode);
    if (Attached)
      Units[1] = std::make_unique<TableUnderTest>(&Units[0]->Table, Seed + 1, Versioning, Mode);
  }
  TableUnderTest& U() const { return *Units[Turn]; }
  int Pick(int n) { return static_cast<int>(Rng() % static_cast<unsigned>(n)); }
  std::string RandomName() {
    static const char* const names[] = {"b", "a", "Иван", "иван", "c", "b", "ab", ""};
    return names[Pick(8)];
  }
  int CurrentId() const {
    return U().M.Current < 0 ? -1 : U().M.Slots[static_cast<size_t>(U().M.Current)]->Id;
  }
  ModelRecord& Rec(int Slot) { return *U().M.Slots[static_cast<size_t>(Slot)]; }

  void Append(bool AtCursor) {
    std::string name = RandomName();
    int id = NextId++;
    bool empty = U().Table.IsEmpty();
    if (AtCursor)
      U().Table.Insert();
    else
      U().Table.Append();
    U().Table.FieldByName("ID")->SetAsInteger(id);
    U().Table.FieldByName("NAME")->SetAsString(name);
    U().Table.Post();
    int slot = U().M.NewSlot();
    U().M.Slots[static_cast<size_t>(slot)] = ModelRecord{id, name, slot};
    if (AtCursor && !empty && U().M.Index.empty()) {
      auto at = std::find(U().M.RowOrder.begin(), U().M.RowOrder.end(), U().M.Current);
      U().M.RowOrder.insert(at, slot);
    } else {
      U().M.RowOrder.push_back(slot);
    }
    U().M.SettleOn(slot);
  }
  void EditCurrent() {
    if (U().M.Current < 0) return;
    std::string name = RandomName();
    U().Table.Edit();
    U().Table.FieldByName("NAME")->SetAsString(name);
    bool changeId = Pick(4) == 0;
    int id = NextId++;
    if (changeId) U().Table.FieldByName("ID")->SetAsInteger(id);
    U().Table.Post();
    Rec(U().M.Current).Name = name;
    if (changeId) Rec(U().M.Current).Id = id;
    U().M.SettleOn(U().M.Current);
  }
  void DeleteCurrent() {
    if (U().M.Current < 0) return;
    std::vector<int> before = U().M.Order();
    size_t position = static_cast<size_t>(std::find(before.begin(), before.end(), U().M.Current) - before.begin());
    U().Table.Delete();
    int slot = U().M.Current;
    U().M.RowOrder.erase(std::find(U().M.RowOrder.begin(), U().M.RowOrder.end(), slot));
    if (U().M.Versioning) {
      Rec(slot).Deleted = true;
    } else {
      U().M.Slots[static_cast<size_t>(slot)].reset();
      U().M.FreeSlots.push_back(slot);
    }
    U().M.Settle(U().M.Order(), position);
  }
  void SwitchIndex() {
    static const char* const indexes[] = {"", "NAME", "NAME:D", "ID"};
    std::string index = indexes[Pick(4)];
    U().Table.SetIndexFieldNames(index);
    // A range is over the index it was set on.
    if (index != U().M.Index) U().M.Range.reset();
    U().M.Index = index;
    std::vector<int> shown = U().M.ShownOrder();
    if (U().M.Current < 0 || !U().M.Shown(U().M.Current)) U().M.Current = shown.empty() ? -1 : shown[0];
  }
  void ToggleFilter() {
    U().M.Filtered = !U().M.Filtered;
    U().Table.SetFiltered(U().M.Filtered);
    U().M.ToFirst();
  }
  void ChangeRange() {
    if (U().M.Range && Pick(3) == 0) {
      U().Table.CancelRange();
      U().M.Range.reset();
      if (U().M.Current < 0) U().M.ToFirst();
      return;
    }
    if (U().M.Index != "ID") return;
    int lo = Pick(NextId + 1), hi = lo + Pick(NextId / 2 + 1);
    if (Pick(2)) {
      U().Table.SetRange({Variant(lo)}, {Variant(hi)});
    } else {
      U().Table.SetRangeStart();
      U().Table.FieldByName("ID")->SetAsInteger(lo);
      U().Table.SetRangeEnd();
      U().Table.FieldByName("ID")->SetAsInteger(hi);
      U().Table.ApplyRange();
    }
    U().M.Range = std::make_pair(lo, hi);
    U().M.ToFirst();
  }
  void ChangeMaster() {
    if (U().M.Master && Pick(3) == 0) {
      U().Table.SetMasterSource(nullptr);
      U().M.Master.reset();
      U().M.ToFirst();
      return;
    }
    bool linked = U().Table.MasterSource() != nullptr;
    if (!linked) U().Table.SetMasterSource(&U().MasterSource);
    int row = 1 + Pick(U().MasterTable.RecordCount());
    // Staying on the same master record changes nothing.
    bool moves = !linked || U().MasterTable.RecNo() != row;
    U().MasterTable.SetRecNo(row);
    U().M.Master = U().MasterTable.FieldByName("NAME")->AsString();
    if (moves) U().M.ToFirst();
  }
  void LocateAny() {
    std::vector<int> slots;
    for (const auto& r : U().M.Slots)
      if (r) slots.push_back(r->Slot);
    if (slots.empty()) return;
    int slot = slots[static_cast<size_t>(Pick(static_cast<int>(slots.size())))];
    // Only shown records are found; the cursor stays otherwise.
    bool shown = U().M.Shown(slot);
    ASSERT_EQ(U().Table.Locate("ID", Variant(Rec(slot).Id), {}), shown) << Rec(slot).Id;
    if (shown) U().M.Current = slot;
  }
  void Move() {
    std::vector<int> shown = U().M.ShownOrder();
    if (shown.empty()) return;
    int at = static_cast<int>(std::find(shown.begin(), shown.end(), U().M.Current) - shown.begin());
    switch (Pick(4)) {
      case 0:
        U().Table.First();
        at = 0;
        break;
      case 1:
        U().Table.Last();
        at = static_cast<int>(shown.size()) - 1;
        break;
      case 2: {
        int by = Pick(9) - 4;
        U().Table.MoveBy(by);
        at = std::clamp(at + by, 0, static_cast<int>(shown.size()) - 1);
        break;
      }
      default: {
        int n = Pick(static_cast<int>(shown.size()) + 2);
        U().Table.SetRecNo(n);
        if (n >= 1 && n <= static_cast<int>(shown.size())) at = n - 1;
      }
    }
    U().M.Current = shown[static_cast<size_t>(at)];
  }
  void Bookmark() {
    if (U().M.Current >= 0 && Pick(2)) {
      U().Bookmarks.emplace_back(U().Table.GetBookmark(), U().M.Current);
      return;
    }
    if (U().Bookmarks.empty()) return;
    auto [bookmark, slot] = U().Bookmarks[static_cast<size_t>(Pick(static_cast<int>(U().Bookmarks.size())))];
    bool alive = U().M.Slots.size() > static_cast<size_t>(slot) && U().M.Slots[static_cast<size_t>(slot)] &&
                 U().Table.BookmarkValid(bookmark);
    if (alive && U().M.Shown(slot)) {
      U().Table.GotoBookmark(bookmark);
      U().M.Current = slot;
    } else if (U().Table.BookmarkValid(bookmark)) {
      EXPECT_THROW(U().Table.GotoBookmark(bookmark), EDatabaseError);
    }
  }

  // The records as the acting table left them, into the other table's
  // model: its rows list new records last; where its record went or now
  // hides, it shows some other record, which the model takes.
  void SyncOther() {
    if (!Units[1]) return;
    Model& from = Units[Turn]->M;
    Model& to = Units[1 - Turn]->M;
    to.Slots = from.Slots;
    to.FreeSlots = from.FreeSlots;
    std::erase_if(to.RowOrder, [&](int slot) {
      return std::find(from.RowOrder.begin(), from.RowOrder.end(), slot) == from.RowOrder.end();
    });
    for (int slot : from.RowOrder)
      if (std::find(to.RowOrder.begin(), to.RowOrder.end(), slot) == to.RowOrder.end())
        to.RowOrder.push_back(slot);
    bool gone = to.Current >= 0 && (!to.Slots[static_cast<size_t>(to.Current)] || !to.Shown(to.Current));
    if (gone || (to.Current == -1 && !to.ShownOrder().empty())) to.Current = Unknown;
  }
  static constexpr int Unknown = -2;

  void Check(const std::string& Context) {
    int acting = Turn;
    for (Turn = 0; Turn < (Units[1] ? 2 : 1); ++Turn) {
      CheckUnit(Context + (Units[1] ? " table " + std::to_string(Turn) : ""));
      if (::testing::Test::HasFatalFailure()) break;
    }
    Turn = acting;
  }

  void CheckUnit(const std::string& Context) {
    if (U().M.Current == Unknown) {
      U().M.Current = -1;
      if (!U().Table.IsEmpty()) {
        int id = U().Table.FieldByName("ID")->AsInteger();
        for (int slot : U().M.ShownOrder())
          if (Rec(slot).Id == id) U().M.Current = slot;
        ASSERT_GE(U().M.Current, 0) << Context << ": shows a record it should not";
      }
    }
    std::vector<int> shown = U().M.ShownOrder();
    std::vector<int> ids;
    for (int slot : shown) ids.push_back(Rec(slot).Id);
    ASSERT_EQ(U().Table.RecordCount(), static_cast<int>(shown.size())) << Context;
    ASSERT_EQ(U().Table.IsSequenced(), U().M.Sequenced()) << Context;
    if (shown.empty()) {
      ASSERT_TRUE(U().Table.IsEmpty()) << Context;
      ASSERT_EQ(U().Table.RecNo(), -1) << Context;
      ASSERT_TRUE(U().Table.Bof() && U().Table.Eof()) << Context;
      return;
    }
    ASSERT_EQ(U().Table.FieldByName("ID")->AsInteger(), CurrentId()) << Context;
    int at = static_cast<int>(std::find(shown.begin(), shown.end(), U().M.Current) - shown.begin());
    ASSERT_EQ(U().Table.RecNo(), at + 1) << Context;
    for (Link& link : U().Links) {
      std::vector<int> rows = link.Ids(&U().Table);
      ASSERT_EQ(static_cast<int>(rows.size()), std::min(link.BufferCount(), static_cast<int>(shown.size())))
          << Context << " link of " << link.BufferCount();
      ASSERT_EQ(rows[static_cast<size_t>(link.ActiveRecord())], CurrentId()) << Context;
      auto first = std::find(ids.begin(), ids.end(), rows[0]);
      ASSERT_TRUE(first != ids.end() && std::equal(rows.begin(), rows.end(), first))
          << Context << " link of " << link.BufferCount() << " shows rows out of order";
    }
    // U().Bookmarks of shown records compare as the rows are shown.
    for (int trial = 0; trial < 3 && U().Bookmarks.size() >= 2; ++trial) {
      auto& [a, slotA] = U().Bookmarks[static_cast<size_t>(Pick(static_cast<int>(U().Bookmarks.size())))];
      auto& [b, slotB] = U().Bookmarks[static_cast<size_t>(Pick(static_cast<int>(U().Bookmarks.size())))];
      if (!U().Table.BookmarkValid(a) || !U().Table.BookmarkValid(b)) continue;
      auto pa = std::find(shown.begin(), shown.end(), slotA), pb = std::find(shown.begin(), shown.end(), slotB);
      if (pa == shown.end() || pb == shown.end()) continue;
      int expected = pa < pb ? -1 : pa > pb ? 1 : 0;
      ASSERT_EQ(U().Table.CompareBookmarks(a, b), expected) << Context;
    }
  }

  void Run(int Steps) {
    for (int step = 0; step < Steps; ++step) {
      if (Units[1]) Turn = step % 2;
      // Some steps run with the controls disabled twice over: the links
      // hear nothing until the outer enable, then one change.
      bool quiet = Pick(6) == 0;
      if (quiet) {
        U().Table.DisableControls();
        U().Table.DisableControls();
        for (Link& link : U().Links) link.Events.clear();
      }
      int action = Pick(23);
      std::string what;
      if (action < 5) {
        what = "append";
        Append(false);
      } else if (action < 8) {
        what = "insert";
        Append(true);
      } else if (action < 11) {
        what = "edit";
        EditCurrent();
      } else if (action < 13) {
        what = "delete";
        DeleteCurrent();
      } else if (action < 14) {
        what = "index";
        SwitchIndex();
      } else if (action < 15) {
        what = "filter";
        ToggleFilter();
      } else if (action < 17) {
        what = "bookmark";
        Bookmark();
      } else if (action == 20) {
        what = "range";
        ChangeRange();
      } else if (action == 21) {
        what = "master";
        ChangeMaster();
      } else if (action == 22) {
        what = "locate";
        LocateAny();
      } else {
        what = "move";
        Move();
      }
      RangedSteps += U().M.Range.has_value();
      MasterSteps += U().M.Master.has_value();
      if (quiet) {
        U().Table.EnableControls();
        for (Link& link : U().Links) ASSERT_TRUE(link.Events.empty()) << "step " << step << " " << what;
        U().Table.EnableControls();
        for (Link& link : U().Links)
          ASSERT_EQ(link.Events, std::vector<TDataEvent>{deDataSetChange}) << "step " << step << " " << what;
      }
      SyncOther();
      Check("step " + std::to_string(step) + " " + what + " on table " + std::to_string(Turn) +
            " index '" + U().M.Index + "'");
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
};

TEST(TzynMemTableModel, RandomScriptsAgreeWithThePlainModel) {
  int ranged = 0, mastered = 0;
  for (unsigned seed = 1; seed <= 6; ++seed) {
    Harness h(seed, false, mtvm1SinceCheckPoint);
    h.Run(300);
    if (::testing::Test::HasFatalFailure()) return;
    // The scripts reach tables of some size, not just empty ones.
    EXPECT_GT(h.Units[0]->Table.Common->RecordCount(), 40) << seed;
    ranged += h.RangedSteps;
    mastered += h.MasterSteps;
  }
  // Ranges and master records were in force for a good part of the steps.
  EXPECT_GT(ranged, 100);
  EXPECT_GT(mastered, 100);
}

TEST(TzynMemTableModel, TwoAttachedTablesInTurnAgreeWithTheirModels) {
  for (unsigned seed = 21; seed <= 24; ++seed) {
    Harness h(seed, seed % 2 == 0, mtvm1SinceCheckPoint, true);
    h.Run(300);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST(TzynMemTableModel, WithVersionsDeletedRecordsStayHidden) {
  for (unsigned seed = 11; seed <= 14; ++seed) {
    Harness h(seed, true, seed % 2 ? mtvmAllSinceCheckPoint : mtvm1SinceCheckPoint);
    h.Run(300);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace

namespace {

class TableCases : public ::testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("ID", ftInteger);
    Table.FieldDefs()->Add("NAME", ftString, 10);
  }
  void Add(int Id, const char* Name) {
    Table.Append();
    Table.FieldByName("ID")->SetAsInteger(Id);
    Table.FieldByName("NAME")->SetAsString(Name);
    Table.Post();
  }
  void EditName(int Id, const char* Name) {
    ASSERT_TRUE(Table.Locate("ID", Variant(Id), {}));
    Table.Edit();
    Table.FieldByName("NAME")->SetAsString(Name);
    Table.Post();
  }
  // Shown rows in order, with each stored record's status and versions.
  std::string Snapshot() {
    std::string text;
    for (Table.First(); !Table.Eof(); Table.Next())
      text += Table.FieldByName("ID")->AsString() + ":" + Table.FieldByName("NAME")->AsString() + " ";
    text += "|";
    for (int32_t slot = 0; slot < Table.Common->RecordCount(); ++slot) {
      int versions = 0;
      TzynRecord* record = Table.Common->Records(slot);
      for (TzynRecord* r = record; r; r = r->PrevRecordVersion) ++versions;
      // A slot emptied by a roll back counts as no record.
      if (record) text += " " + std::to_string(record->UpdateStatus) + "/" + std::to_string(versions);
    }
    return text + " deleted " + std::to_string(Table.Common->DeletedCount);
  }
  int Versions(int Slot) {
    int versions = 0;
    for (TzynRecord* r = Table.Common->Records(Slot); r; r = r->PrevRecordVersion) ++versions;
    return versions;
  }
  TzynMemTable Table{nullptr};
};

// A post compares keys only to place the new record: the row the insert
// began on is the cursor's, not one searched for again (in row order, where
// inserts before the cursor leave the rows out of slot order, that search
// read every row, so a run of inserts grew with the square of its length).
TEST_F(TableCases, APostOfAnInsertComparesKeysOnlyToPlaceTheRecord) {
  int compares = 0;
  Table.OnCompareFields = [&](TDataSet*, TField*, const void* Key, const void* Row, TFieldType,
                              TzynMemTableCompareOptions, bool&, int& Result) {
    ++compares;
    int32_t a, b;
    std::memcpy(&a, Key, 4);
    std::memcpy(&b, Row, 4);
    Result = a < b ? -1 : (a > b ? 1 : 0);
  };
  const int rows = 1024;
  for (bool filtered : {false, true}) {
    Table.Close();
    Table.Open();
    Table.SetIndexFieldNames("ID");
    Table.SetFilter("NAME <> 'h'");
    Table.SetFiltered(filtered);
    int worst = 0;
    for (int i = 0; i < rows; ++i) {
      if (i % 3) Table.Insert(); else Table.Append();
      Table.FieldByName("ID")->SetAsInteger(i * 7919 % rows);
      Table.FieldByName("NAME")->SetAsString(i % 2 ? "h" : "s");
      compares = 0;
      Table.Post();
      worst = std::max(worst, compares);
    }
    // Placing one record among a thousand takes about ten.
    EXPECT_LE(worst, 14) << "filtered " << filtered;
    std::vector<int> ids;
    for (Table.First(); !Table.Eof(); Table.Next()) ids.push_back(Table.FieldByName("ID")->AsInteger());
    EXPECT_EQ(ids.size(), filtered ? rows / 2u : size_t{rows});
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  }
}

TEST_F(TableCases, VersioningModesKeepOneOrEveryVersion) {
  for (TzynVersioningMode mode : {mtvm1SinceCheckPoint, mtvmAllSinceCheckPoint}) {
    Table.Close();
    Table.SetEnableVersioning(true);
    Table.SetVersioningMode(mode);
    Table.Open();
    Table.SetEnableVersioning(false);
    Add(1, "a");
    Table.SetEnableVersioning(true);
    EditName(1, "b");
    EditName(1, "c");
    EXPECT_EQ(Versions(0), mode == mtvm1SinceCheckPoint ? 2 : 3);
    EXPECT_EQ(Table.UpdateStatus(), usModified);
    Table.Delete();
    EXPECT_EQ(Table.RecordCount(), 0);
    EXPECT_EQ(Table.Common->Records(0)->UpdateStatus, usDeleted);
    EXPECT_EQ(Table.Common->DeletedCount, 1);
  }
}

TEST_F(TableCases, NestedTransactionsRollBackEachLevelExactly) {
  Table.SetEnableVersioning(true);
  Table.Open();
  EXPECT_THROW(
      {
        try {
          Table.StartTransaction();
        } catch (const EMemTableError& e) {
          EXPECT_EQ(e.Message(), "Транзакционирование требует мультиверсийное версионирование.");
          throw;
        }
      },
      EMemTableError);
  Table.Close();
  Table.SetVersioningMode(mtvmAllSinceCheckPoint);
  Table.Open();
  Table.SetEnableVersioning(false);
  for (int id = 1; id <= 4; ++id) Add(id, "n");
  Table.SetEnableVersioning(true);
  const std::string level0 = Snapshot();
  Table.Rollback();  // nothing open: nothing happens
  EXPECT_EQ(Snapshot(), level0);

  Table.StartTransaction();
  EditName(1, "x");
  ASSERT_TRUE(Table.Locate("ID", Variant(2), {}));
  Table.Delete();
  Add(5, "new");
  EditName(5, "newer");
  const std::string level1 = Snapshot();

  Table.StartTransaction();
  EditName(1, "y");
  EditName(3, "z");
  ASSERT_TRUE(Table.Locate("ID", Variant(4), {}));
  Table.Delete();
  Add(6, "six");
  EXPECT_EQ(Table.TransactionLevel(), 2);
  Table.Rollback();
  EXPECT_EQ(Snapshot(), level1);
  Table.Rollback();
  EXPECT_EQ(Table.TransactionLevel(), 0);
  // The record inserted and edited in the level is gone with it.
  std::string rows = Snapshot();
  EXPECT_EQ(rows.substr(0, rows.find('|')), level0.substr(0, level0.find('|')));
  EXPECT_EQ(Table.Common->DeletedCount, 0);

  Table.StartTransaction();
  EditName(3, "kept");
  Table.StartTransaction();
  EditName(4, "kept too");
  Table.Commit();
  const std::string committed = Snapshot();
  EXPECT_EQ(Table.TransactionLevel(), 1);
  EXPECT_NE(committed.find("4:kept too"), std::string::npos);
  // The inner level's commit joined the outer level, which rolls back whole.
  Table.Rollback();
  EXPECT_EQ(Snapshot().substr(0, rows.find('|')), rows.substr(0, rows.find('|')));
}

// A whole record in one call: before the current record or after the last,
// in the order of the current index, the cursor on it afterwards.
TEST_F(TableCases, InsertRecordAndAppendRecordStoreAWholeRecordWhereThePostWould) {
  Table.Open();
  for (int id = 1; id <= 3; ++id) Add(id, "n");
  std::string events;
  Table.BeforeInsert = [&](TDataSet*) { events += "bi "; };
  Table.AfterPost = [&](TDataSet*) { events += "ap "; };
  ASSERT_TRUE(Table.Locate("ID", Variant(2), {}));
  Table.InsertRecord({Variant(4), Variant(AnsiString("x"))});
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 4);
  EXPECT_EQ(events, "bi ap ");
  Table.AppendRecord({Variant(5)});
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 5);
  EXPECT_TRUE(Table.FieldByName("NAME")->IsNull());
  EXPECT_EQ(Snapshot(), "1:n 4:x 2:n 3:n 5: | 0/1 0/1 0/1 0/1 0/1 deleted 0");
  EXPECT_TRUE(Table.IsDataModified());
  // Under a key index both go where the key sorts.
  Table.SetIndexFieldNames("NAME;ID");
  Table.First();
  Table.InsertRecord({Variant(6), Variant(AnsiString("m"))});
  Table.AppendRecord({Variant(0), Variant(AnsiString("a"))});
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 0);
  EXPECT_EQ(Table.RecNo(), 2);
  EXPECT_EQ(Snapshot().substr(0, 23), "5: 0:a 6:m 1:n 2:n 3:n ");
}

TEST_F(TableCases, ARecordAddedWholeThatIsRefusedLeavesTheTableAsItWas) {
  Table.FieldDefs()->Items(1)->SetRequired(true);
  Table.Open();
  Add(1, "a");
  Add(2, "b");
  Table.AddIndex("UNIQUE_NAME", "NAME", {ixUnique});
  Table.SetIndexName("");
  // A window of three rows, as a grid has.
  TDataSource source(nullptr);
  source.SetDataSet(&Table);
  Link link;
  link.SetBufferCount(3);
  link.SetDataSource(&source);
  struct Case {
    const char* What;
    std::vector<Variant> Values;
  };
  const Case cases[] = {
      {"duplicate key", {Variant(3), Variant(AnsiString("b"))}},
      {"required field null", {Variant(3), Variant::Null()}},
      {"more values than fields", {Variant(3), Variant(AnsiString("c")), Variant(1)}},
      {"value of the wrong type", {Variant(AnsiString("three")), Variant(AnsiString("c"))}},
  };
  for (const Case& c : cases) {
    for (bool append : {false, true}) {
      SCOPED_TRACE(c.What);
      Table.First();
      if (append)
        EXPECT_THROW(Table.AppendRecord(c.Values), Exception);
      else
        EXPECT_THROW(Table.InsertRecord(c.Values), Exception);
      EXPECT_EQ(Table.State(), dsBrowse);
      EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 1);
      EXPECT_EQ(link.Ids(&Table), (std::vector<int>{1, 2}));
      EXPECT_EQ(Snapshot(), "1:a 2:b | 0/1 0/1 deleted 0");
    }
  }
}

TEST_F(TableCases, ARecordAddedWholeIsAVersionedInsertOfItsLevel) {
  Table.SetEnableVersioning(true);
  Table.SetVersioningMode(mtvmAllSinceCheckPoint);
  Table.Open();
  Table.StartTransaction();
  Table.AppendRecord({Variant(1), Variant(AnsiString("a"))});
  EXPECT_EQ(Table.UpdateStatus(), usInserted);
  EXPECT_EQ(Table.Common->Records(0)->TransactionLevel, 1);
  Table.Rollback();
  EXPECT_EQ(Table.RecordCount(), 0);
}

TEST_F(TableCases, IndexChoiceErrorsAndTheFixedVersionText) {
  Table.Open();
  Add(2, "b");
  Add(1, "a");
  Table.SetIndexFieldNames("NAME");
  Table.First();
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 1);
  EXPECT_THROW(Table.SetIndexName("NO_SUCH"), EDatabaseError);
  EXPECT_EQ(Table.IndexFieldNames(), "NAME");
  Table.SetVersion("9.99");
  EXPECT_EQ(Table.Version(), "4.04");
  // The current record stays current when the order changes.
  Table.Last();
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 2);
  Table.SetIndexFieldNames("");
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 2);
  EXPECT_EQ(Table.RecNo(), 1);
}

TEST_F(TableCases, EngineStreamsLoadThroughTheTableAndSaveBackBitForBit) {
  TzynTestTable source;
  FillTypedTable(source, mtpfFast);
  TBytesStream first;
  TzynBinaryStreamFormat format(nullptr);
  format.SaveToStream(&source, &first);
  TzynMemTable table(nullptr);
  first.SetPosition(0);
  table.LoadFromStream(&first);
  ASSERT_EQ(table.RecordCount(), 6);
  TBytesStream second;
  table.SaveToStream(&second);
  EXPECT_EQ(second.Bytes(), first.Bytes());
}

}  // namespace

namespace {

class LocateCases : public TableCases {
 protected:
  void SetUp() override {
    TableCases::SetUp();
    // Room for a clone while this table is open.
    Table.SetAttachMaxCount(2);
    Table.Open();
    const char* names[] = {"Smith", "smith", "Иванов", "Smithson", "Petrov"};
    // Enough rows that searches go through an index.
    for (int id = 1; id <= 30; ++id) Add(id, names[id % 5]);
    Table.AutoAddIndexes = true;
  }
};

TEST_F(LocateCases, FindsShownRecordsByKeyWithTheLocateOptions) {
  struct Case {
    const char* Name;
    TLocateOptions Options;
    int Id;  // 0: not found
  };
  const Case cases[] = {
      {"smith", {}, 1},
      {"SMITH", {}, 0},
      {"SMITH", {loCaseInsensitive}, 1},
      {"Smiths", {loPartialKey}, 3},
      {"иван", {loCaseInsensitive, loPartialKey}, 2},
      {"Nobody", {}, 0},
  };
  for (const Case& c : cases) {
    Table.First();
    bool found = Table.Locate("NAME", Variant(AnsiString(c.Name)), c.Options);
    EXPECT_EQ(found, c.Id != 0) << c.Name;
    if (found) {
      EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), c.Id) << c.Name;
    }
  }
  // Two key fields take an array of values.
  EXPECT_TRUE(Table.Locate("NAME;ID", VarArrayOf({Variant(AnsiString("Petrov")), Variant(9)}), {}));
  EXPECT_EQ(Table.RecNo(), 9);
  EXPECT_THROW(Table.Locate("NAME;ID", Variant(AnsiString("Petrov")), {}), EMemTableError);
  // A record the filter hides is not found.
  Table.SetOnFilterRecord([](TDataSet* d, bool& accept) { accept = d->FieldByName("ID")->AsInteger() != 1; });
  Table.SetFiltered(true);
  EXPECT_TRUE(Table.Locate("NAME", Variant(AnsiString("smith")), {}));
  EXPECT_EQ(Table.FieldByName("ID")->AsInteger(), 6);
}

TEST_F(LocateCases, LookupLeavesTheCursorWhereItWas) {
  Table.First();
  Table.MoveBy(4);
  Variant value = Table.Lookup("NAME", Variant(AnsiString("Иванов")), "ID");
  EXPECT_EQ(static_cast<int>(value.AsInteger()), 2);
  EXPECT_EQ(Table.RecNo(), 5);
  EXPECT_TRUE(Table.Lookup("NAME", Variant(AnsiString("Nobody")), "ID").IsNull());
}

TEST_F(LocateCases, AttachAndOpenShareTheRecords) {
  TzynMemTable clone(nullptr);
  AttachAndOpen(&clone, &Table);
  EXPECT_EQ(clone.RecordCount(), 30);
  EXPECT_EQ(clone.AttachedTo(), &Table);
  clone.Last();
  clone.Edit();
  clone.FieldByName("NAME")->SetAsString("changed");
  clone.Post();
  EXPECT_TRUE(Table.Locate("NAME", Variant(AnsiString("changed")), {}));
  EXPECT_THROW(Table.SetAttachedTo(&Table), EMemTableError);
  TzynMemTable third(nullptr);
  EXPECT_THROW(third.SetAttachedTo(&clone), EMemTableError);
}

// Two tables on one set of records, the second in NAME order; whether the
// first refreshes the second after its changes is the parameter. Without
// the refresh the second still shows what it read, and its own edits,
// inserts and moves must still reach the records they mean.
class AttachedCases : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    A.FieldDefs()->Add("ID", ftInteger);
    A.FieldDefs()->Add("NAME", ftString, 10);
    A.SetAttachMaxCount(2);
    A.Open();
    for (auto [id, name] : {std::pair{1, "b"}, {2, "d"}, {3, "f"}}) Add(A, id, name);
    A.AttachedAutoRefresh = GetParam();
    B.SetAttachedTo(&A);
    B.Open();
    B.SetIndexFieldNames("NAME");
  }
  static void Add(TzynMemTable& Table, int Id, const char* Name) {
    Table.Append();
    Table.FieldByName("ID")->SetAsInteger(Id);
    Table.FieldByName("NAME")->SetAsString(Name);
    Table.Post();
  }
  static std::string Names(TzynMemTable& Table) {
    std::string text;
    for (Table.First(); !Table.Eof(); Table.Next()) text += Table.FieldByName("NAME")->AsString();
    return text;
  }
  static int Id(TzynMemTable& Table) { return Table.FieldByName("ID")->AsInteger(); }
  TzynMemTable A{nullptr}, B{nullptr};
};

TEST_P(AttachedCases, AnInsertBegunOnARecordTheOtherTableDeletedIsPosted) {
  for (const char* index : {"", "NAME"}) {
    SCOPED_TRACE(index);
    B.SetIndexFieldNames(index);
    ASSERT_TRUE(B.Locate("ID", Variant(2), {}));
    ASSERT_TRUE(A.Locate("ID", Variant(2), {}));
    A.Delete();
    B.Insert();
    B.FieldByName("ID")->SetAsInteger(4);
    B.FieldByName("NAME")->SetAsString("c");
    EXPECT_NO_THROW(B.Post());
    EXPECT_EQ(B.State(), dsBrowse);
    EXPECT_EQ(Id(B), 4);
    EXPECT_EQ(B.FieldByName("NAME")->AsString(), "c");
    // In row order it takes the place of the record it was begun on.
    EXPECT_EQ(Names(B), "bcf");
    A.Refresh();
    EXPECT_TRUE(A.Locate("ID", Variant(4), {}));
    // Back to the three records for the next round.
    A.Edit();
    A.FieldByName("ID")->SetAsInteger(2);
    A.FieldByName("NAME")->SetAsString("d");
    A.Post();
    B.Refresh();
  }
}

TEST_P(AttachedCases, AnEditOrCancelStaysOnItsRecordAfterTheOtherTableAppends) {
  struct Case {
    const char* NewName;  // null: cancelled
    const char* After;
  };
  const Case cases[] = {{"e", "abef"}, {"d", "abdf"}, {"a", "aabf"}, {nullptr, "abdf"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.NewName ? c.NewName : "cancel");
    ASSERT_TRUE(B.Locate("ID", Variant(2), {}));
    // Sorts before B's record: B's record moves down a row.
    Add(A, 9, "a");
    B.Edit();
    B.FieldByName("NAME")->SetAsString(c.NewName ? c.NewName : "z");
    if (c.NewName)
      B.Post();
    else
      B.Cancel();
    EXPECT_EQ(Id(B), 2);
    EXPECT_EQ(B.FieldByName("NAME")->AsString(), c.NewName ? c.NewName : "d");
    EXPECT_EQ(Names(B), c.After);
    // Back to the three records for the next case.
    ASSERT_TRUE(B.Locate("ID", Variant(9), {}));
    B.Delete();
    ASSERT_TRUE(B.Locate("ID", Variant(2), {}));
    B.Edit();
    B.FieldByName("NAME")->SetAsString("d");
    B.Post();
    A.Refresh();
  }
}

TEST_P(AttachedCases, SetRecNoGoesToTheRowAfterTheOtherTableMovedTheRecords) {
  B.First();
  ASSERT_EQ(B.FieldByName("NAME")->AsString(), "b");
  Add(A, 9, "a");
  B.SetRecNo(1);
  EXPECT_EQ(B.FieldByName("NAME")->AsString(), "a");
  EXPECT_EQ(B.RecNo(), 1);
  B.SetRecNo(3);
  EXPECT_EQ(B.FieldByName("NAME")->AsString(), "d");
  // The other table deleting the shown record does not stop a move.
  ASSERT_TRUE(A.Locate("ID", Variant(2), {}));
  A.Delete();
  B.SetRecNo(2);
  EXPECT_EQ(B.FieldByName("NAME")->AsString(), "b");
  EXPECT_EQ(Names(B), "abf");
}

INSTANTIATE_TEST_SUITE_P(Refresh, AttachedCases, ::testing::Bool(),
                         [](const auto& Info) { return Info.param ? "On" : "Off"; });

}  // namespace

namespace {

class FilterCases : public ::testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("ID", ftInteger);
    Table.FieldDefs()->Add("NAME", ftString, 12);
    Table.FieldDefs()->Add("DAY", ftDate);
    Table.Open();
    struct Row {
      int Id;
      const char* Name;  // null: no value
      int Day;           // 0: no value
    };
    const Row rows[] = {{1, "Иванов", 45000}, {2, "иванов", 45001}, {3, nullptr, 45002},
                        {4, "Smith", 0},      {5, "smithson", 45000}};
    for (const Row& r : rows) {
      Table.Append();
      Table.FieldByName("ID")->SetAsInteger(r.Id);
      if (r.Name) Table.FieldByName("NAME")->SetAsString(r.Name);
      if (r.Day) Table.FieldByName("DAY")->SetAsDateTime(r.Day);
      Table.Post();
    }
  }
  std::string Ids() {
    std::string ids;
    for (Table.First(); !Table.Eof(); Table.Next()) ids += Table.FieldByName("ID")->AsString();
    return ids;
  }
  TzynMemTable Table{nullptr};
};

TEST_F(FilterCases, ExpressionsShowTheRecordsTheyAccept) {
  struct Case {
    const char* Text;
    TFilterOptions Options;
    const char* Ids;
  };
  const Case cases[] = {
      {"NAME = 'Иванов'", {}, "1"},
      {"NAME = 'ИВАНОВ'", {foCaseInsensitive}, "12"},
      // Upper-casing touches a-z only: Cyrillic stays as it is.
      {"UPPER(NAME) = 'ИВАНОВ'", {}, ""},
      {"UPPER(NAME) = 'SMITH'", {}, "4"},
      {"NAME = 'smith*'", {}, "5"},
      {"NAME LIKE 'sm%'", {}, "45"},
      // A null compares false both ways; only a blank test shows it.
      {"NAME = 'x' OR NAME <> 'x'", {}, "1245"},
      {"NAME IS NULL", {}, "3"},
      {"DAY > '16.03.2023'", {}, "3"},
      {"YEAR(DAY) = 2023 AND DAY < '17.03.2023'", {}, "125"},
      {"ID IN (2, 4, 5) AND NOT (ID = 4)", {}, "25"},
      {"ID * 2 - 1 >= 7", {}, "45"},
      {"SUBSTRING(NAME, 2, 3) = 'mit'", {}, "45"},
  };
  Table.SetFiltered(true);
  for (const Case& c : cases) {
    Table.SetFilterOptions(c.Options);
    Table.SetFilter(c.Text);
    EXPECT_EQ(Ids(), c.Ids) << c.Text;
    EXPECT_EQ(Table.RecordCount(), static_cast<int>(std::strlen(c.Ids))) << c.Text;
  }
}

TEST_F(FilterCases, FindFirstNextLastPriorApplyTheFilterThatIsNotOn) {
  Table.SetFilter("ID > 2");
  ASSERT_FALSE(Table.Filtered());
  auto id = [&] { return Table.FieldByName("ID")->AsInteger(); };
  int afterScroll = 0;
  Table.AfterScroll = [&](TDataSet*) { ++afterScroll; };
  EXPECT_TRUE(Table.FindFirst());
  EXPECT_TRUE(Table.Found());
  EXPECT_EQ(id(), 3);
  EXPECT_TRUE(Table.FindNext());
  EXPECT_EQ(id(), 4);
  EXPECT_TRUE(Table.FindLast());
  EXPECT_EQ(id(), 5);
  EXPECT_FALSE(Table.FindNext());
  EXPECT_FALSE(Table.Found());
  EXPECT_EQ(id(), 5);
  EXPECT_TRUE(Table.FindPrior());
  EXPECT_EQ(id(), 4);
  EXPECT_EQ(afterScroll, 4);
  // A plain move after a failed search starts from the shown record.
  Table.SetFilter("ID = 1");
  EXPECT_TRUE(Table.FindFirst());
  EXPECT_FALSE(Table.FindNext());
  Table.Next();
  EXPECT_EQ(id(), 2);
  // The handler counts as well, and every record is still shown.
  Table.SetFilter("");
  Table.SetOnFilterRecord([](TDataSet* D, bool& Accept) { Accept = D->FieldByName("ID")->AsInteger() % 2 == 0; });
  EXPECT_TRUE(Table.FindLast());
  EXPECT_EQ(id(), 4);
  EXPECT_EQ(Table.RecordCount(), 5);
}

TEST_F(FilterCases, AnInListOfAHundred) {
  std::string list = "ID IN (";
  for (int i = 100; i >= 1; --i) list += std::to_string(i * 2) + (i > 1 ? ", " : ")");
  Table.SetFilter(list);
  Table.SetFiltered(true);
  EXPECT_EQ(Ids(), "24");
}

TEST_F(FilterCases, ABadTextOrAFailingHandlerLeavesTheTableAsItWas) {
  Table.SetFilter("ID > 3");
  Table.SetFiltered(true);
  EXPECT_THROW(Table.SetFilter("ID >"), EDatabaseError);
  EXPECT_EQ(Table.Filter(), "ID > 3");
  EXPECT_EQ(Ids(), "45");
  EXPECT_THROW(Table.SetOnFilterRecord([](TDataSet*, bool&) { throw EMemTableError("handler"); }),
               EMemTableError);
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Table.CurrentRecordOverride, nullptr);
  Table.SetOnFilterRecord(nullptr);
  // The extra filter holds with Filtered off.
  Table.SetFiltered(false);
  Table.SetExtraFilterText("NAME LIKE '%ов'");
  EXPECT_EQ(Ids(), "12");
  EXPECT_FALSE(Table.IsSequenced());
}

}  // namespace

namespace {

class RangeCases : public ::testing::Test {
 protected:
  void SetUp() override {
    Table.FieldDefs()->Add("SYS$ID", ftLargeint);
    Table.FieldDefs()->Add("SYS$PID", ftLargeint);
    Table.FieldDefs()->Add("NAME", ftString, 10);
    Table.Open();
    // Two levels: 1 and 2 at the top, their children below them.
    const struct {
      int Id, Pid;
      const char* Name;
    } rows[] = {{1, 0, "b"}, {2, 0, "a"}, {3, 1, "z"}, {4, 1, "y"}, {5, 2, "x"}, {6, 1, "w"}};
    for (const auto& r : rows) {
      Table.Append();
      Table.FieldByName("SYS$ID")->SetAsString(std::to_string(r.Id));
      Table.FieldByName("SYS$PID")->SetAsString(std::to_string(r.Pid));
      Table.FieldByName("NAME")->SetAsString(r.Name);
      Table.Post();
    }
    Table.SetIndexFieldNames("SYS$PID;NAME");
  }
  std::string Names() {
    std::string names;
    for (Table.First(); !Table.Eof(); Table.Next()) names += Table.FieldByName("NAME")->AsString();
    return names;
  }
  TzynMemTable Table{nullptr};
};

TEST_F(RangeCases, ALevelRangeOverTheParentAloneShowsItsChildren) {
  Table.SetRange({Variant(int64_t{1})}, {Variant(int64_t{1})});
  EXPECT_EQ(Names(), "wyz");
  EXPECT_EQ(Table.RecordCount(), 3);
  EXPECT_FALSE(Table.IsSequenced());
  Table.SetRange({Variant(int64_t{1}), Variant(AnsiString("x"))}, {Variant(int64_t{1})});
  EXPECT_EQ(Names(), "yz");
  Table.CancelRange();
  EXPECT_EQ(Names(), "abwyzx");
}

TEST_F(RangeCases, FindKeyOnTheGivenFieldsAndFindNearest) {
  EXPECT_TRUE(Table.FindKey({Variant(int64_t{2})}));
  EXPECT_EQ(Table.FieldByName("NAME")->AsString(), "x");
  EXPECT_TRUE(Table.FindKey({Variant(int64_t{1}), Variant(AnsiString("y"))}));
  EXPECT_EQ(Table.FieldByName("SYS$ID")->AsString(), "4");
  EXPECT_FALSE(Table.FindKey({Variant(int64_t{1}), Variant(AnsiString("q"))}));
  Table.FindNearest({Variant(int64_t{1}), Variant(AnsiString("x"))});
  EXPECT_EQ(Table.FieldByName("NAME")->AsString(), "y");
}

TEST(TzynMemTableIndexChoice, AnIndexNamedBeforeOpenServesKeySearchesAfterIt) {
  TzynMemTable table(nullptr);
  table.FieldDefs()->Add("ID", ftInteger);
  table.FieldDefs()->Add("NAME", ftString, 10);
  table.IndexDefs()->Add("BY_NAME", "NAME", {});
  table.SetIndexName("BY_NAME");
  table.Open();
  for (const char* name : {"b", "a", "c"}) {
    table.Append();
    table.FieldByName("NAME")->SetAsString(name);
    table.Post();
  }
  EXPECT_EQ(table.IndexFieldNames(), "NAME");
  EXPECT_EQ(table.IndexName(), "BY_NAME");
  EXPECT_TRUE(table.FindKey({Variant(AnsiString("a"))}));
  EXPECT_EQ(table.FieldByName("NAME")->AsString(), "a");
  table.SetIndexFieldNames("");
  EXPECT_THROW(table.FindKey({Variant(AnsiString("a"))}), EMemTableError) << "row order has no key fields";
}

TEST_F(RangeCases, KeysAndRangeBoundsSetThroughTheFields) {
  TField* Pid = Table.FieldByName("SYS$PID");
  TField* Name = Table.FieldByName("NAME");
  Table.SetKey();
  EXPECT_EQ(Table.State(), dsSetKey);
  Pid->SetAsString("1");
  Name->SetAsString("w");
  EXPECT_TRUE(Table.GotoKey());
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_EQ(Table.FieldByName("SYS$ID")->AsString(), "6");
  Table.SetKey();
  Pid->SetAsString("2");
  EXPECT_TRUE(Table.GotoKey()) << "a key over the parent alone";
  EXPECT_EQ(Name->AsString(), "x");
  Table.SetKey();
  Pid->SetAsString("7");
  EXPECT_FALSE(Table.GotoKey());
  EXPECT_FALSE(Table.Found());
  EXPECT_EQ(Name->AsString(), "x") << "a key not found leaves the cursor";

  Table.SetRangeStart();
  Pid->SetAsString("1");
  Table.SetRangeEnd();
  Pid->SetAsString("1");
  Name->SetAsString("y");
  EXPECT_EQ(Table.State(), dsSetKey);
  Table.ApplyRange();
  EXPECT_EQ(Names(), "wy");
  // A bound edited and cancelled, or edited and not applied, changes nothing.
  Table.SetRangeEnd();
  Pid->SetAsString("2");
  Table.Cancel();
  Table.ApplyRange();
  EXPECT_EQ(Names(), "wy");
  Table.SetRangeStart();
  Pid->SetAsString("0");
  Table.Post();
  EXPECT_EQ(Names(), "wy");
  Table.ApplyRange();
  EXPECT_EQ(Names(), "abwy") << "the new start, the end as it was";
  Table.CancelRange();
  EXPECT_EQ(Names(), "abwyzx");

  Table.SetKey();
  EXPECT_THROW(Pid->SetAsString("no number"), EDatabaseError);
  Table.Cancel();
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_FALSE(Table.FindKey({Variant(int64_t{9})}));
  EXPECT_EQ(Table.State(), dsBrowse) << "a search leaves the set-key state";
}

}  // namespace

namespace {

TEST(TzynMemTableMasterDetail, TheDetailShowsTheMastersRecordsAndNewOnesJoinIt) {
  TzynMemTable master(nullptr), detail(nullptr);
  master.FieldDefs()->Add("ID", ftInteger);
  master.Open();
  for (int id = 1; id <= 3; ++id) {
    master.Append();
    master.FieldByName("ID")->SetAsInteger(id);
    master.Post();
  }
  detail.FieldDefs()->Add("PID", ftInteger);
  detail.FieldDefs()->Add("NAME", ftString, 8);
  detail.Open();
  const std::pair<int, const char*> rows[] = {{1, "a"}, {2, "b"}, {1, "c"}, {3, "d"}};
  for (const auto& [pid, name] : rows) {
    detail.Append();
    detail.FieldByName("PID")->SetAsInteger(pid);
    detail.FieldByName("NAME")->SetAsString(name);
    detail.Post();
  }
  TDataSource source(nullptr);
  source.SetDataSet(&master);
  detail.SetDetailFields("PID");
  detail.SetMasterFields("ID");
  detail.SetMasterSource(&source);
  auto names = [&] {
    std::string text;
    for (detail.First(); !detail.Eof(); detail.Next()) text += detail.FieldByName("NAME")->AsString();
    return text;
  };
  master.First();
  EXPECT_EQ(names(), "ac");
  EXPECT_EQ(detail.RecordCount(), 2);
  master.Next();
  EXPECT_EQ(names(), "b");
  detail.Append();
  detail.FieldByName("NAME")->SetAsString("e");
  detail.Post();
  EXPECT_EQ(detail.FieldByName("PID")->AsInteger(), 2);
  EXPECT_EQ(names(), "be");
  TDataSource own(nullptr);
  own.SetDataSet(&detail);
  EXPECT_THROW(detail.SetMasterSource(&own), EDatabaseError);
  detail.SetMasterSource(nullptr);
  EXPECT_EQ(detail.RecordCount(), 5);
}

}  // namespace

namespace {

class MemberCases : public TableCases {
 protected:
  void SetUp() override {
    TableCases::SetUp();
    Table.Open();
    const char* names[] = {"d", "b", "e", "a", "c"};
    for (int id = 1; id <= 5; ++id) Add(id, names[id - 1]);
  }
  std::string Ids() {
    std::string ids;
    for (Table.First(); !Table.Eof(); Table.Next()) ids += Table.FieldByName("ID")->AsString();
    return ids;
  }
};

TEST_F(MemberCases, AFilteredIndexHoldsWhatItsTextAndEventAccept) {
  EXPECT_THROW(Table.AddFilteredIndex("BAD", "NAME", {}, "ID >", {}, nullptr), EDatabaseError);
  EXPECT_EQ(Table.IndexDefs()->IndexOf("BAD"), -1);
  TzynIndex* index = Table.AddFilteredIndex(
      "SOME", "NAME", {}, "ID > 1", {},
      [](TDataSet* D, TzynIndex*, bool& Accept) { Accept = D->FieldByName("ID")->AsInteger() != 4; });
  ASSERT_NE(index, nullptr);
  EXPECT_TRUE(index->IsFiltered);
  Table.SetIndexName("SOME");
  EXPECT_EQ(Ids(), "253");
  // Records come and go with the filter as they are posted.
  Add(6, "aa");
  EditName(5, "z");
  EXPECT_EQ(Ids(), "6235");
  ASSERT_TRUE(Table.Locate("ID", Variant(2), {}));
  Table.Edit();
  Table.FieldByName("ID")->SetAsInteger(1);
  Table.Post();
  EXPECT_EQ(Ids(), "635");
  // No text: the event alone.
  Table.AddFilteredIndex("EVENT", "ID", {}, "", {},
                         [](TDataSet* D, TzynIndex*, bool& Accept) { Accept = D->FieldByName("ID")->AsInteger() % 2; });
  Table.SetIndexName("EVENT");
  EXPECT_EQ(Ids(), "1135");
}

TEST_F(MemberCases, RecalcOnFetchDecidesWhetherAFetchComputesTheCalculatedFields) {
  Table.Close();
  for (int i = 0; i < Table.FieldDefs()->Count(); ++i) Table.FieldDefs()->Items(i)->CreateField(&Table);
  TField* doubled = DefaultFieldClass(ftInteger)(&Table);
  doubled->SetFieldName("DOUBLED");
  doubled->SetFieldKind(fkCalculated);
  doubled->SetDataSet(&Table);
  int calculations = 0;
  Table.OnCalcFields = [&](TDataSet* D) {
    ++calculations;
    D->FieldByName("DOUBLED")->SetAsInteger(D->FieldByName("ID")->AsInteger() * 2);
  };
  EXPECT_TRUE(Table.RecalcOnFetch);
  Table.Open();
  Add(1, "a");
  Add(2, "b");
  calculations = 0;
  Table.First();
  EXPECT_GT(calculations, 0);
  EXPECT_EQ(Table.FieldByName("DOUBLED")->AsInteger(), 2);
  Table.RecalcOnFetch = false;
  calculations = 0;
  Table.Last();
  Table.First();
  EXPECT_EQ(calculations, 0);
  // What the stored record holds: the values computed when it was posted.
  EXPECT_EQ(Table.FieldByName("DOUBLED")->AsInteger(), 2);
}

TEST_F(MemberCases, TheDeltaHandlerAndTheFormatsAreLinkedAndLetGo) {
  TzynCustomDeltaHandler first(nullptr);
  auto second = std::make_unique<TzynCustomDeltaHandler>(nullptr);
  Table.SetDeltaHandler(&first);
  EXPECT_EQ(first.DataSet(), static_cast<IzynMemTable*>(&Table));
  Table.SetDeltaHandler(second.get());
  EXPECT_EQ(first.DataSet(), nullptr);
  EXPECT_EQ(second->DataSet(), static_cast<IzynMemTable*>(&Table));
  EXPECT_NO_THROW(second->Resolve());
  second.reset();
  EXPECT_EQ(Table.DeltaHandler(), nullptr);

  auto format = std::make_unique<TzynBinaryStreamFormat>(nullptr);
  TzynBinaryStreamFormat other(nullptr);
  Table.SetDefaultFormat(format.get());
  Table.SetCommaTextFormat(&other);
  Table.SetAllDataFormat(format.get());
  EXPECT_EQ(Table.DefaultFormat(), format.get());
  format.reset();
  EXPECT_EQ(Table.DefaultFormat(), nullptr);
  EXPECT_EQ(Table.AllDataFormat(), nullptr);
  EXPECT_EQ(Table.CommaTextFormat(), &other);
  EXPECT_TRUE(Table.SortFields.empty());
  EXPECT_EQ(Table.SortOptions, 0);
}

TEST_F(MemberCases, OnSaveAndOnLoadTellFilesAndDataSetsApart) {
  namespace fs = std::filesystem;
  std::string file = (fs::temp_directory_path() / ("zyn-kinds-" + std::to_string(std::random_device{}()) + ".bin")).string();
  std::vector<std::string> told;
  auto tell = [&](const char* What) {
    return [&told, What](TObject*, TzynStorageKind Kind, TStream* Stream) {
      told.push_back(std::string(What) + " " + std::to_string(Kind) + (Stream ? " stream" : ""));
    };
  };
  Table.OnSave = tell("save");
  Table.OnLoad = tell("load");
  Table.SaveToBinaryFile(file);
  Table.LoadFromBinaryFile(file);
  TzynMemTable other(nullptr);
  other.FieldDefs()->Add("ID", ftInteger);
  other.FieldDefs()->Add("NAME", ftString, 10);
  Table.SaveToDataSet(&other);
  Table.UpdateToDataSet(&other, "ID");
  Table.LoadFromDataSet(&other, 0);
  EXPECT_EQ(told, (std::vector<std::string>{"save 3 stream", "load 3 stream", "save 0", "save 0", "load 0"}));
  std::remove(file.c_str());
}

TEST(TzynMemTablePersistence, ThePersistentFileIsWrittenAtCloseAndReadAtOpen) {
  namespace fs = std::filesystem;
  fs::path folder = fs::temp_directory_path() / ("zyn-persist-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  AnsiString file = (folder / "table.bin").string();
  TzynBinaryStreamFormat format(nullptr);
  auto make = [&](TzynMemTable& table) {
    table.FieldDefs()->Add("ID", ftInteger);
    table.PersistentFile = file;
    table.Persistent = true;
    table.PersistentFormat = &format;
  };
  {
    TzynMemTable table(nullptr);
    make(table);
    table.Open();
    for (int id = 1; id <= 3; ++id) {
      table.Append();
      table.FieldByName("ID")->SetAsInteger(id);
      table.Post();
    }
    table.Close();
    ASSERT_TRUE(FileExists(file));
    table.Close();  // closed already: nothing written again
  }
  auto written = fs::last_write_time(file.c_str());
  {
    TzynMemTable table(nullptr);
    make(table);
    table.PersistentBackup = true;
    table.PersistentBackupExt = ".bak";
    table.Open();
    EXPECT_EQ(table.RecordCount(), 3);
    table.Append();
    table.FieldByName("ID")->SetAsInteger(4);
    table.Post();
    // The work file's name taken by a folder: the old file stays.
    fs::create_directory(folder / "table.$$$");
    EXPECT_THROW(table.Close(), Exception);
    EXPECT_EQ(fs::last_write_time(file.c_str()), written);
    fs::remove(folder / "table.$$$");
    table.Close();
    EXPECT_TRUE(fs::exists(folder / "table.bak"));
  }
  {
    TzynMemTable table(nullptr);
    make(table);
    table.Open();
    EXPECT_EQ(table.RecordCount(), 4);
  }
  // A file that does not load is not written over at close.
  {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    std::fputs("TPF0 broken", f);
    std::fclose(f);
    TzynMemTable table(nullptr);
    make(table);
    EXPECT_THROW(table.Open(), Exception);
    table.Close();
  }
  std::FILE* f = std::fopen(file.c_str(), "rb");
  char head[12] = {};
  ASSERT_EQ(std::fread(head, 1, 11, f), 11u);
  std::fclose(f);
  EXPECT_STREQ(head, "TPF0 broken");
  fs::remove_all(folder);
}

TEST(TzynMemTablePersistence, AFailedSaveLeavesThePreviousFileByteForByte) {
  namespace fs = std::filesystem;
  fs::path folder = fs::temp_directory_path() / ("zyn-save-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  AnsiString file = (folder / "table.bin").string();
  auto bytes = [&] {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    std::string data;
    for (int c; f && (c = std::fgetc(f)) != EOF;) data += static_cast<char>(c);
    if (f) std::fclose(f);
    return data;
  };
  auto onlyTheFile = [&] {
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) entries += entry.path().filename() != "table.bin";
    return entries == 0;
  };
  TzynBinaryStreamFormat format(nullptr);
  TzynMemTable table(nullptr);
  table.FieldDefs()->Add("ID", ftInteger);
  table.Open();
  for (int id = 1; id <= 3; ++id) {
    table.Append();
    table.FieldByName("ID")->SetAsInteger(id);
    table.Post();
  }
  table.SaveToBinaryFile(file);
  std::string previous = bytes();
  ASSERT_GT(previous.size(), 20u);
  table.Append();
  table.FieldByName("ID")->SetAsInteger(4);
  table.Post();
  int saved = 0;
  table.OnSaveRecord = [&](TDataSet*, bool&) {
    if (++saved == 2) throw EMemTableError("disk full");
  };
  EXPECT_THROW(table.SaveToBinaryFile(file), EMemTableError);
  EXPECT_EQ(bytes(), previous);
  EXPECT_TRUE(onlyTheFile());
  // An appending save adds to the file only once it is complete.
  TzynBinaryStreamFormat appending(nullptr);
  appending.Flags.Include(sfSaveAppend);
  saved = 0;
  EXPECT_THROW(table.SaveToFile(file, &appending), EMemTableError);
  EXPECT_EQ(bytes(), previous);
  EXPECT_TRUE(onlyTheFile());
  // Closing a persistent table that cannot be saved keeps it open, the file as it was.
  table.PersistentFile = file;
  table.PersistentFormat = &format;
  table.Persistent = true;
  saved = 0;
  EXPECT_THROW(table.Close(), EMemTableError);
  EXPECT_TRUE(table.Active());
  EXPECT_EQ(bytes(), previous);
  EXPECT_TRUE(onlyTheFile());
  table.OnSaveRecord = nullptr;
  table.SaveToFile(file, &appending);
  EXPECT_EQ(bytes().substr(0, previous.size()), previous);
  EXPECT_GT(bytes().size(), previous.size());
  table.Close();
  EXPECT_FALSE(table.Active());
  TzynMemTable back(nullptr);
  back.LoadFromBinaryFile(file);
  EXPECT_EQ(back.RecordCount(), 4);
  fs::remove_all(folder);
}

}  // namespace

namespace {

class CopyCases : public ::testing::Test {
 protected:
  void SetUp() override {
    Source.FieldDefs()->Add("ID", ftInteger);
    Source.FieldDefs()->Add("NAME", ftString, 10);
    Source.FieldDefs()->Add("AMOUNT", ftFloat);
    Source.FieldDefs()->Add("WHEN", ftDateTime);
    Source.Open();
    for (int id = 1; id <= 25; ++id) {
      Source.Append();
      Source.FieldByName("ID")->SetAsInteger(id);
      Source.FieldByName("NAME")->SetAsString("n" + std::to_string(id));
      Source.FieldByName("AMOUNT")->SetAsFloat(0.1 * id + 1e-13);
      Source.FieldByName("WHEN")->SetAsDateTime(45000.123456789 + id);
      Source.Post();
    }
  }
  TArrayDataSet Source{nullptr};
  TzynMemTable Table{nullptr};
};

TEST_F(CopyCases, LoadingAndSavingCopyValuesExactly) {
  Table.LoadFromDataSet(&Source, TzynCustomMemTable::cfStructure);
  ASSERT_EQ(Table.RecordCount(), 25);
  EXPECT_EQ(Table.LoadCount, 25);
  EXPECT_TRUE(Table.LoadedCompletely);
  TArrayDataSet back(nullptr);
  back.FieldDefs()->Add("ID", ftInteger);
  back.FieldDefs()->Add("AMOUNT", ftFloat);
  back.FieldDefs()->Add("WHEN", ftDateTime);
  Table.SaveToDataSet(&back);
  EXPECT_EQ(Table.SaveCount, 25);
  ASSERT_FALSE(back.Active());
  back.Open();
  Source.First();
  for (back.First(); !back.Eof(); back.Next(), Source.Next()) {
    EXPECT_EQ(back.FieldByName("AMOUNT")->AsFloat(), Source.FieldByName("AMOUNT")->AsFloat());
    EXPECT_EQ(back.FieldByName("WHEN")->AsDateTime(), Source.FieldByName("WHEN")->AsDateTime());
  }
}

TEST_F(CopyCases, LimitsAndAppending) {
  Table.LoadLimit = 10;
  Table.LoadFromDataSet(&Source, TzynCustomMemTable::cfStructure);
  EXPECT_EQ(Table.RecordCount(), 10);
  EXPECT_FALSE(Table.LoadedCompletely);
  Table.LoadLimit = 0;
  Table.LoadFromDataSet(&Source, TzynCustomMemTable::cfAppend);
  EXPECT_EQ(Table.RecordCount(), 35);
  EXPECT_THROW(Table.LoadFromDataSet(&Source, TzynCustomMemTable::cfAppend | TzynCustomMemTable::cfStructure),
               EMemTableError);
}

TEST_F(CopyCases, AFailureMidCopyPutsBothTablesBack) {
  Table.LoadFromDataSet(&Source, TzynCustomMemTable::cfStructure);
  Table.SetOnFilterRecord([](TDataSet*, bool& accept) { accept = true; });
  Table.SetFiltered(true);
  int seen = 0;
  Table.FieldByName("NAME")->OnValidate = [&](TField*) {
    if (++seen == 3) throw EMemTableError("refused");
  };
  Source.Close();
  EXPECT_THROW(Table.LoadFromDataSet(&Source, 0), EMemTableError);
  EXPECT_TRUE(Table.EnableIndexes);
  EXPECT_TRUE(Table.Filtered());
  EXPECT_FALSE(Table.ControlsDisabled());
  EXPECT_EQ(Table.State(), dsBrowse);
  EXPECT_FALSE(Source.Active());
  EXPECT_FALSE(Source.ControlsDisabled());
  EXPECT_EQ(Table.RecordCount(), 2);
}

TEST_F(CopyCases, UpdatingADataSetByKeyCopiesValuesExactlyAsTheFlagsAllow) {
  Table.LoadFromDataSet(&Source, TzynCustomMemTable::cfStructure);
  struct Case {
    int Flags;
    const char* Names;  // the destination's names by ID 1..4 afterwards
    int Posted;
  } Cases[] = {
      {TzynCustomMemTable::ufUpdate, "old1 n2 n3 ", 2},
      {TzynCustomMemTable::ufAppend, "old1 old2 old3 n4 ", 1},
      {TzynCustomMemTable::ufUpdate | TzynCustomMemTable::ufAppend, "old1 n2 n3 n4 ", 3},
  };
  Table.SetIndexFieldNames("ID");
  Table.SetRange({Variant(2)}, {Variant(4)});
  for (const Case& c : Cases) {
    TArrayDataSet destination(nullptr);
    destination.FieldDefs()->Add("ID", ftInteger);
    destination.FieldDefs()->Add("NAME", ftString, 10);
    destination.FieldDefs()->Add("AMOUNT", ftFloat);
    destination.FieldDefs()->Add("WHEN", ftDateTime);
    destination.Open();
    for (int id = 1; id <= 3; ++id) AppendValues(&destination, {id, "old" + std::to_string(id), 0.0, 0.0});
    Table.UpdateToDataSet(&destination, "ID", c.Flags);
    EXPECT_EQ(Table.SaveCount, c.Posted) << c.Flags;
    std::string names;
    for (destination.First(); !destination.Eof(); destination.Next()) {
      names += destination.FieldByName("NAME")->AsString() + " ";
      if (destination.FieldByName("NAME")->AsString()[0] != 'n') continue;
      ASSERT_TRUE(Source.Locate("ID", destination.FieldByName("ID")->Value(), {}));
      EXPECT_EQ(destination.FieldByName("AMOUNT")->AsFloat(), Source.FieldByName("AMOUNT")->AsFloat());
      EXPECT_EQ(destination.FieldByName("WHEN")->AsDateTime(), Source.FieldByName("WHEN")->AsDateTime());
    }
    EXPECT_EQ(names, c.Names) << c.Flags;
  }
}

TEST_F(CopyCases, AFailedUpdatePutsTheDestinationBack) {
  Table.LoadFromDataSet(&Source, TzynCustomMemTable::cfStructure);
  TArrayDataSet destination(nullptr);
  destination.FieldDefs()->Add("ID", ftInteger);
  destination.FieldDefs()->Add("NAME", ftString, 10);
  destination.Open();
  AppendValues(&destination, {1, "old"});
  destination.FieldByName("NAME")->OnValidate = [](TField* Field) {
    if (Field->AsString() == "n2") throw EMemTableError("refused");
  };
  EXPECT_THROW(Table.UpdateToDataSet(&destination, "ID"), EMemTableError);
  EXPECT_EQ(destination.State(), dsBrowse);
  EXPECT_FALSE(destination.ControlsDisabled());
  EXPECT_FALSE(Table.ControlsDisabled());
  EXPECT_EQ(destination.RecordCount(), 1) << "the refused record was not left appended";
  EXPECT_EQ(destination.FieldByName("NAME")->AsString(), "n1");
}

TEST_F(CopyCases, TheStructureWithComputedFieldsDisplayPropertiesAndOrder) {
  TArrayDataSet source(nullptr);
  source.FieldDefs()->Add("ID", ftInteger);
  source.FieldDefs()->Add("AMOUNT", ftFloat);
  TField* calculated = DefaultFieldClass(ftInteger)(&source);
  calculated->SetFieldName("DOUBLED");
  calculated->SetFieldKind(fkCalculated);
  calculated->SetDataSet(&source);
  for (int i = 0; i < source.FieldDefs()->Count(); ++i) source.FieldDefs()->Items(i)->CreateField(&source);
  TField* lookup = DefaultFieldClass(ftString)(&source);
  lookup->SetFieldName("NAME");
  lookup->SetSize(10);
  lookup->SetFieldKind(fkLookup);
  lookup->SetKeyFields("ID");
  lookup->SetLookupDataSet(&Source);
  lookup->SetLookupKeyFields("ID");
  lookup->SetLookupResultField("NAME");
  lookup->SetDataSet(&source);
  lookup->SetIndex(1);
  auto* amount = static_cast<TFloatField*>(source.FieldByName("AMOUNT"));
  amount->SetDisplayFormat("0.00");
  amount->SetDisplayLabel("Сумма");
  amount->SetVisible(false);
  amount->SetMaxValue(100);
  source.FieldByName("ID")->SetEditMask("000;0;_");

  auto shape = [](TDataSet* Data) {
    std::string text;
    for (int i = 0; i < Data->FieldCount(); ++i) {
      TField* f = Data->Fields()->Fields(i);
      text += f->FieldName() + ":" + std::to_string(f->FieldKind()) + " ";
    }
    return text;
  };
  struct Case {
    int Flags;
    std::string Shape;
  } Cases[] = {
      {0, "ID:0 AMOUNT:0 "},
      {TzynCustomMemTable::cfCalculatedFields, "ID:0 AMOUNT:0 DOUBLED:1 "},
      {TzynCustomMemTable::cfLookupFields | TzynCustomMemTable::cfCalculatedFields,
       "ID:0 AMOUNT:0 DOUBLED:1 NAME:2 "},
      {TzynCustomMemTable::cfLookupFields | TzynCustomMemTable::cfCalculatedFields |
           TzynCustomMemTable::cfSourceOrder,
       shape(&source)},
  };
  for (const Case& c : Cases) {
    TzynMemTable table(nullptr);
    table.CreateTableAs(&source, c.Flags);
    EXPECT_EQ(shape(&table), c.Shape) << c.Flags;
    EXPECT_EQ(table.FieldByName("AMOUNT")->DisplayLabel(), "AMOUNT") << "properties only when asked";
  }
  TzynMemTable table(nullptr);
  table.CreateTableAs(&source, TzynCustomMemTable::cfLookupFields | TzynCustomMemTable::cfDisplayProperties);
  std::vector<AnsiString> setUp;
  table.OnSetupFieldProperties = [&](TObject*, TField* Field) { setUp.push_back(Field->FieldName()); };
  auto* copied = static_cast<TFloatField*>(table.FieldByName("AMOUNT"));
  EXPECT_EQ(copied->DisplayFormat(), "0.00");
  EXPECT_EQ(copied->DisplayLabel(), "Сумма");
  EXPECT_FALSE(copied->Visible());
  EXPECT_EQ(copied->MaxValue(), 100);
  EXPECT_EQ(table.FieldByName("ID")->EditMask(), "000;0;_");
  source.Open();
  source.Append();
  source.FieldByName("ID")->SetAsInteger(7);
  source.FieldByName("AMOUNT")->SetAsFloat(1.5);
  source.Post();
  table.LoadFromDataSet(&source, TzynCustomMemTable::cfDisplayProperties);
  EXPECT_EQ(setUp, (std::vector<AnsiString>{"ID", "AMOUNT", "NAME"}));
  ASSERT_EQ(table.RecordCount(), 1);
  EXPECT_EQ(table.FieldByName("NAME")->AsString(), "n7") << "the lookup field works in the copy";
  EXPECT_EQ(table.FieldByName("AMOUNT")->DisplayText(), source.FieldByName("AMOUNT")->DisplayText());
  EXPECT_EQ(table.FieldByName("AMOUNT")->DisplayText().size(), 4u) << "two decimals";
  EXPECT_THROW(table.LoadFromDataSet(&source, TzynCustomMemTable::cfAppend | TzynCustomMemTable::cfDisplayProperties),
               EMemTableError);
}

TEST_F(CopyCases, MoreDefinitionsThanTheTableHoldsAreRefused) {
  TArrayDataSet wide(nullptr);
  for (int i = 0; i < 513; ++i) wide.FieldDefs()->Add("F" + std::to_string(i), ftInteger);
  try {
    Table.LoadFromDataSet(&wide, TzynCustomMemTable::cfStructure);
    FAIL();
  } catch (const EMemTableError& e) {
    EXPECT_EQ(e.Message(), SzynTooManyFields);
  }
}

}  // namespace
