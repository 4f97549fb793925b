// Indexes against a brute-force reference: the same rows sorted and
// scanned by a plain model of the compare rules.
#include "zynIndexes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <variant>

#include "rtl/AnsiText.h"
#include "zynTestTable.h"

namespace {

using Value = std::optional<std::variant<int64_t, double, std::string>>;

const char* const FieldNames[] = {"ID", "NAME", "CITY", "AMOUNT", "DAY", "BIG", "FLAG"};
constexpr int FieldCountOf = 7;

void DefineFields(TzynTestTable* Table) {
  Table->FieldDefs()->Add("ID", ftInteger);
  Table->FieldDefs()->Add("NAME", ftString, 20);
  Table->FieldDefs()->Add("CITY", ftString, 8);
  Table->FieldDefs()->Add("AMOUNT", ftFloat);
  Table->FieldDefs()->Add("DAY", ftDate);
  Table->FieldDefs()->Add("BIG", ftLargeint);
  Table->FieldDefs()->Add("FLAG", ftBoolean);
}

// ---- Random rows --------------------------------------------------------------

const char* const Names[] = {"smith", "SMITH", "Smith", "smith  ", "Иванов", "иванов", "ИВАНОВ",
                             "Ёжик", "ежик", "Яков", "apple", "Apple ", "", "smithson"};
const char* const Cities[] = {"Москва", "москва", "Kazan", "kazan", "a", "A", "Ёлки"};
const double Amounts[] = {-1.5, 0, 2.25, 1e10, 2.25};
const int64_t Bigs[] = {INT64_MAX, -INT64_MAX, 0, (int64_t{1} << 53) + 1, (int64_t{1} << 53)};

struct RowValues {
  Value V[FieldCountOf];
};

RowValues RandomRow(std::mt19937& Rng, int Id) {
  auto pick = [&](int n) { return static_cast<int>(Rng() % static_cast<unsigned>(n)); };
  // About one value in six is null.
  auto present = [&] { return pick(6) != 0; };
  RowValues row;
  row.V[0].emplace(int64_t{Id});
  if (present()) row.V[1].emplace(std::string(Names[pick(std::size(Names))]));
  if (present()) row.V[2].emplace(std::string(Cities[pick(std::size(Cities))]));
  if (present()) row.V[3].emplace(Amounts[pick(std::size(Amounts))]);
  if (present()) row.V[4].emplace(int64_t{730000 + pick(4)});
  if (present()) row.V[5].emplace(Bigs[pick(std::size(Bigs))]);
  if (present()) row.V[6].emplace(int64_t{pick(2)});
  return row;
}

void PutValue(TField* Field, const Value& V) {
  if (!V) {
    Field->SetData(nullptr);
    return;
  }
  switch (Field->DataType()) {
    case ftString: {
      std::string text = std::get<std::string>(*V);
      text.resize(static_cast<size_t>(Field->DataSize()), '\0');
      Field->SetData(text.data());
      break;
    }
    case ftFloat: {
      double d = std::get<double>(*V);
      Field->SetData(&d);
      break;
    }
    case ftLargeint: {
      int64_t i = std::get<int64_t>(*V);
      Field->SetData(&i);
      break;
    }
    case ftBoolean: {
      int16_t b = static_cast<int16_t>(std::get<int64_t>(*V));
      Field->SetData(&b);
      break;
    }
    default: {
      int32_t i = static_cast<int32_t>(std::get<int64_t>(*V));
      Field->SetData(&i);
      break;
    }
  }
}

Value GetValue(TField* Field) {
  uint8_t buffer[64] = {};
  if (!Field->GetData(buffer)) return Value();
  switch (Field->DataType()) {
    case ftString:
      return Value(std::string(reinterpret_cast<const char*>(buffer)));
    case ftFloat: {
      double d;
      std::memcpy(&d, buffer, 8);
      return Value(d);
    }
    case ftLargeint: {
      int64_t i;
      std::memcpy(&i, buffer, 8);
      return Value(i);
    }
    case ftBoolean: {
      int16_t b;
      std::memcpy(&b, buffer, 2);
      return Value(int64_t{b != 0});
    }
    default: {
      int32_t i;
      std::memcpy(&i, buffer, 4);
      return Value(int64_t{i});
    }
  }
}

void WriteRow(TzynTestTable* Table, TzynRecord* Record, const RowValues& Row) {
  TzynRecord* saved = Table->CurrentRecordOverride;
  Table->CurrentRecordOverride = Record;
  for (int i = 0; i < FieldCountOf; ++i) PutValue(Table->Fields()->Fields(i), Row.V[i]);
  Table->CurrentRecordOverride = saved;
}

RowValues ReadRow(TzynTestTable* Table, TzynRecord* Record) {
  TzynRecord* saved = Table->CurrentRecordOverride;
  Table->CurrentRecordOverride = Record;
  RowValues row;
  for (int i = 0; i < FieldCountOf; ++i) row.V[i] = GetValue(Table->Fields()->Fields(i));
  Table->CurrentRecordOverride = saved;
  return row;
}

void AppendRow(TzynTestTable* Table, const RowValues& Row) {
  Table->Append();
  for (int i = 0; i < FieldCountOf; ++i) PutValue(Table->Fields()->Fields(i), Row.V[i]);
  Table->Post();
}

// ---- The reference ------------------------------------------------------------

struct KeyField {
  int Field;
  uint8_t Options;
};

// "NAME:C;CITY:D" -> fields and options, read by the test itself.
std::vector<KeyField> ParseKey(const std::string& Text) {
  std::vector<KeyField> key;
  size_t start = 0;
  while (start < Text.size()) {
    size_t end = Text.find(';', start);
    if (end == std::string::npos) end = Text.size();
    std::string item = Text.substr(start, end - start);
    start = end + 1;
    std::string name = item.substr(0, item.find(':'));
    uint8_t options = 0;
    if (item.find(':') != std::string::npos)
      for (char c : item.substr(item.find(':') + 1))
        options |= c == 'D' ? mtcoDescending
                   : c == 'C' ? mtcoCaseInsensitive
                   : c == 'P' ? mtcoPartialKey
                   : c == 'N' ? mtcoIgnoreNullKey
                              : mtcoIgnoreLocale;
    int field = static_cast<int>(std::find(FieldNames, FieldNames + FieldCountOf, name) - FieldNames);
    key.push_back({field, options});
  }
  return key;
}

std::string TrimBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

int Sgn(long long v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// Key value against row value; Full false when a partial key stopped short.
int CompareOne(const Value& A, const Value& B, uint8_t Options, bool& Full) {
  if (!A || !B) return A ? 1 : (B ? -1 : 0);
  int result;
  if (std::holds_alternative<std::string>(*A)) {
    std::string a = std::get<std::string>(*A), b = std::get<std::string>(*B);
    if ((Options & mtcoPartialKey) && a.size() != b.size()) {
      Full = false;
      if (b.size() > a.size()) b.resize(a.size());
    }
    if (Options & mtcoIgnoreLocale) {
      if (Options & mtcoCaseInsensitive) {
        for (auto* s : {&a, &b})
          for (char& c : *s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      }
      result = Sgn(a.compare(b));
    } else if (Options & mtcoCaseInsensitive) {
      result = Sgn(AnsiCompareText(TrimBlanks(a), TrimBlanks(b)));
    } else {
      result = Sgn(std::memcmp(a.data(), b.data(), std::min(a.size(), b.size())));
      if (!result) result = Sgn(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
    }
  } else if (std::holds_alternative<double>(*A)) {
    double a = std::get<double>(*A), b = std::get<double>(*B);
    result = a < b ? -1 : a > b;
  } else {
    int64_t a = std::get<int64_t>(*A), b = std::get<int64_t>(*B);
    result = a < b ? -1 : a > b;
  }
  return (Options & mtcoDescending) ? -result : result;
}

int CompareKey(const std::vector<KeyField>& Key, const RowValues& A, const RowValues& B,
               bool Partial = false) {
  for (const KeyField& k : Key) {
    uint8_t options = k.Options | (Partial ? mtcoPartialKey : 0);
    if (!A.V[k.Field] && (options & mtcoIgnoreNullKey)) continue;
    bool full = true;
    int result = CompareOne(A.V[k.Field], B.V[k.Field], options, full);
    if (result) return result;
    if (!full) return 0;
  }
  return 0;
}

struct Stored {
  RowValues Row;
  TzynRecord* Record;
};

std::vector<Stored> StoredRows(TzynTestTable* Table) {
  std::vector<Stored> rows;
  for (int slot = 0; slot < Table->Common->RecordCount(); ++slot)
    if (TzynRecord* record = Table->Common->Records(slot))
      rows.push_back({ReadRow(Table, record), record});
  return rows;
}

// Rows by key, then by slot (reversed under a descending first field).
std::vector<TzynRecord*> ReferenceOrder(TzynTestTable* Table, const std::string& Fields) {
  auto key = ParseKey(Fields);
  auto rows = StoredRows(Table);
  std::stable_sort(rows.begin(), rows.end(), [&](const Stored& a, const Stored& b) {
    int result = CompareKey(key, a.Row, b.Row);
    if (result) return result < 0;
    bool descending = key[0].Options & mtcoDescending;
    return descending ? a.Record->RecordID > b.Record->RecordID
                      : a.Record->RecordID < b.Record->RecordID;
  });
  std::vector<TzynRecord*> order;
  for (const Stored& s : rows) order.push_back(s.Record);
  return order;
}

std::vector<TzynRecord*> RowsOf(TzynIndex* Index) {
  std::vector<TzynRecord*> rows;
  for (int i = 0; i < Index->Count(); ++i) rows.push_back(Index->Rows(i));
  return rows;
}

const char* const IndexFields[] = {"NAME",   "NAME:C",   "NAME:D",        "NAME:L",
                                   "NAME:CL", "CITY;NAME:D", "NAME:C;CITY:D", "AMOUNT:D;ID",
                                   "DAY;BIG", "FLAG;BIG:D", "BIG"};

void ExpectIndexesMatchReference(TzynTestTable* Table, const std::string& Context) {
  for (int i = 0; i < Table->Indexes->Count(); ++i) {
    TzynIndex* index = Table->Indexes->Items(i);
    if (index->IsRowOrder) continue;
    ASSERT_TRUE(index->IsOrdered) << index->IndexFields << " " << Context;
    ASSERT_EQ(RowsOf(index), ReferenceOrder(Table, index->IndexFields))
        << index->IndexFields << " " << Context;
    for (int row = 0; row < index->Count(); ++row)
      ASSERT_EQ(index->FindRecordNumber(index->Rows(row)), row) << index->IndexFields << " " << Context;
  }
  TzynIndex* rowOrder = Table->Indexes->RowOrderIndex();
  for (int row = 0; row < rowOrder->Count(); ++row)
    ASSERT_EQ(rowOrder->FindRecordNumber(rowOrder->Rows(row)), row) << Context;
}

class IndexReference : public ::testing::TestWithParam<TzynPerformance> {
 protected:
  void SetUp() override {
    DefineFields(&Table);
    Table.Common->Performance = GetParam();
    Table.Open();
  }
  void Fill(int Count, unsigned Seed) {
    std::mt19937 rng(Seed);
    for (int id = 1; id <= Count; ++id) AppendRow(&Table, RandomRow(rng, id));
  }
  void AddAllIndexes(TzynTestTable* T) {
    for (const char* fields : IndexFields) T->AddIndexOn(fields, fields);
  }

  TzynTestTable Table;
};

TEST_P(IndexReference, SortedRowsFollowTheCompareRulesOnBothSidesOfTheThresholds) {
  for (int count : {0, 1, 5, 6, 20, 21, 22, 300}) {
    Table.Common->Empty();
    Table.Indexes->Clear();
    Fill(count, static_cast<unsigned>(count));
    AddAllIndexes(&Table);
    ExpectIndexesMatchReference(&Table, "rows " + std::to_string(count));
  }
}

// A key record holding the values.
struct KeyRecord {
  KeyRecord(TzynTestTable* T, const RowValues& Row) : Table(T), Record(T->Common->AllocateRecord()) {
    WriteRow(T, Record, Row);
  }
  ~KeyRecord() { Table->Common->FreeRecord(Record, true, false); }
  TzynTestTable* Table;
  TzynRecord* Record;
};

// What a scan of the current index finds.
int ReferenceSearch(TzynTestTable* Table, const std::vector<KeyField>& Key, const RowValues& KeyRow,
                    bool Nearest) {
  TzynIndex* current = Table->CurrentIndex;
  for (int row = 0; row < current->Count(); ++row) {
    TzynRecord* record = current->Rows(row);
    int result = CompareKey(Key, KeyRow, ReadRow(Table, record), Nearest);
    if (result > 0 || (result < 0 && !Nearest)) continue;
    if (Table->RecordFilter && !Table->RecordFilter(record)) continue;
    return row;
  }
  return -1;
}

TEST_P(IndexReference, KeySearchesFindWhatAScanOfTheCurrentIndexFinds) {
  const char* const searches[] = {"NAME",   "NAME:C", "NAME:P",   "NAME:CP", "NAME:L",
                                  "NAME:N;CITY", "NAME;CITY:C", "CITY",    "BIG",    "DAY;BIG",
                                  "AMOUNT"};
  const char* const currents[] = {"", "CITY;NAME:D", "NAME:C", "BIG"};
  for (int count : {5, 6, 20, 21, 22, 250}) {
    Table.Common->Empty();
    Table.Indexes->Clear();
    Fill(count, 100u + static_cast<unsigned>(count));
    std::mt19937 rng(static_cast<unsigned>(count));
    for (bool autoAdd : {false, true}) {
      Table.AutoAddIndexes = autoAdd;
      for (const char* currentFields : currents) {
        TzynIndex* current = *currentFields ? Table.AddIndexOn(currentFields, currentFields) : nullptr;
        Table.UseIndex(current);
        for (bool filtered : {false, true}) {
          if (filtered)
            Table.RecordFilter = [](TzynRecord* r) { return r->RecordID % 3 != 0; };
          else
            Table.RecordFilter = nullptr;
          for (const char* search : searches) {
            auto key = ParseKey(search);
            TzynFieldList list;
            ParseIndexFields(&Table, search, list);
            for (int trial = 0; trial < 12; ++trial) {
              RowValues keyRow = RandomRow(rng, 0);
              if (trial % 4 == 1) keyRow.V[1] = Value(std::string("Ива"));
              if (trial % 4 == 2) keyRow.V[1] = Value(std::string("smi"));
              KeyRecord keyRecord(&Table, keyRow);
              for (bool nearest : {false, true}) {
                std::string context = std::string(search) + " current " + currentFields +
                                      " rows " + std::to_string(count) +
                                      (filtered ? " filtered" : "") + (nearest ? " nearest" : "") +
                                      (autoAdd ? " auto" : "");
                TzynFoundRow found = Table.Indexes->Search(list, keyRecord.Record, true,
                                                          filtered, nearest);
                int expected = ReferenceSearch(&Table, key, keyRow, nearest);
                ASSERT_EQ(found.Found, expected >= 0) << context;
                if (expected >= 0) {
                  ASSERT_EQ(found.RowNo, expected) << context;
                }
              }
            }
          }
        }
        if (current) Table.Indexes->Remove(current);
      }
      Table.RecordFilter = nullptr;
    }
    ExpectIndexesMatchReference(&Table, "after searches");
  }
}

TEST_P(IndexReference, EditsThroughTwoAttachedTablesKeepEveryIndexInOrder) {
  TzynTestTable other;
  Table.Close();
  other.AttachTo(&Table);
  Table.Open();
  other.Open();
  Fill(30, 7);
  AddAllIndexes(&Table);
  other.AddIndexOn("NAME:C;CITY:D", "NAME:C;CITY:D");
  other.AddIndexOn("BIG", "BIG");
  Table.UseIndex(Table.Indexes->IndexByName("CITY;NAME:D"));
  other.UseIndex(other.Indexes->IndexByName("BIG"));
  std::mt19937 rng(11);
  int nextId = 100;
  for (int step = 0; step < 400; ++step) {
    TzynTestTable* t = rng() % 2 ? &Table : &other;
    t->Refresh();
    int count = t->RecordCount();
    int action = static_cast<int>(rng() % 10);
    std::string what;
    if (action < 3 || count == 0) {
      what = "append";
      AppendRow(t, RandomRow(rng, nextId++));
    } else {
      t->First();
      t->MoveBy(static_cast<int>(rng() % static_cast<unsigned>(count)));
      if (action < 5) {
        what = "delete";
        t->Delete();
      } else {
        what = "edit";
        RowValues row = RandomRow(rng, 0);
        t->Edit();
        for (int f = 1; f < FieldCountOf; ++f)
          if (rng() % 2) PutValue(t->Fields()->Fields(f), row.V[f]);
        t->Post();
      }
    }
    std::string context = "step " + std::to_string(step) + " " + what;
    ExpectIndexesMatchReference(&Table, context);
    ExpectIndexesMatchReference(&other, context);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Runs of deletes read no index between the deletes: the cursor's index
// keeps a gap where the run goes, the others drop the records only when
// next read, when new records (maybe at a freed record's address) come in.
TEST_P(IndexReference, RunsOfDeletesLeaveEveryIndexAsARebuildWouldMakeIt) {
  TzynTestTable other;
  Table.Close();
  other.AttachTo(&Table);
  Table.Open();
  other.Open();
  Fill(400, 5);
  AddAllIndexes(&Table);
  other.AddIndexOn("BIG", "BIG");
  other.UseIndex(other.Indexes->IndexByName("BIG"));
  std::mt19937 rng(3);
  int nextId = 1000;
  const char* const cursorIndexes[] = {"", "CITY;NAME:D", "NAME:C", "AMOUNT:D;ID"};
  for (const char* fields : cursorIndexes) {
    Table.UseIndex(*fields ? Table.Indexes->IndexByName(fields) : nullptr);
    Table.First();
    for (int i = 0; i < 20 && !Table.Eof(); ++i) Table.Delete();
    // Every other record, walking on.
    for (int i = 0; i < 20 && !Table.Eof(); ++i) {
      Table.Next();
      if (!Table.Eof()) Table.Delete();
    }
    Table.Last();
    for (int i = 0; i < 10 && !Table.Bof(); ++i) {
      Table.Delete();
      Table.Last();
    }
    // New records in the middle of a run.
    Table.First();
    Table.MoveBy(50);
    for (int i = 0; i < 10; ++i) {
      Table.Delete();
      if (i % 3 == 0) AppendRow(&Table, RandomRow(rng, nextId++));
    }
    std::string context = std::string("under ") + (*fields ? fields : "row order");
    ExpectIndexesMatchReference(&Table, context);
    ExpectIndexesMatchReference(&other, context);
    other.Refresh();
    EXPECT_EQ(other.RecordCount(), Table.RecordCount()) << context;
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_EQ(Table.RecordCount(), 400 - 4 * 60 + 4 * 4);
}

INSTANTIATE_TEST_SUITE_P(Performance, IndexReference, ::testing::Values(mtpfFast, mtpfBalanced));

// ---- Cases the reference does not show ----------------------------------------

class IndexCases : public ::testing::Test {
 protected:
  void SetUp() override {
    DefineFields(&Table);
    Table.Open();
  }
  void AddNames(std::initializer_list<std::optional<std::string>> NamesToAdd) {
    int id = Table.RecordCount() + 1;
    for (const auto& name : NamesToAdd) {
      RowValues row;
      row.V[0] = Value(int64_t{id++});
      if (name) row.V[1] = Value(*name);
      AppendRow(&Table, row);
    }
  }
  std::vector<std::string> NamesIn(TzynIndex* Index) {
    std::vector<std::string> names;
    for (TzynRecord* r : RowsOf(Index)) {
      Value v = ReadRow(&Table, r).V[1];
      names.push_back(v ? std::get<std::string>(*v) : "<null>");
    }
    return names;
  }
  TzynTestTable Table;
};

TEST_F(IndexCases, DescendingKeepsNullsFirst) {
  AddNames({"b", std::nullopt, "c", "a"});
  EXPECT_EQ(NamesIn(Table.AddIndexOn("D", "NAME:D")),
            (std::vector<std::string>{"<null>", "c", "b", "a"}));
}

TEST_F(IndexCases, PartialAndNullKeysEndTheComparisonAtTheirField) {
  RowValues key, row;
  key.V[1] = Value(std::string("AB"));
  key.V[2] = Value(std::string("zzz"));
  row.V[1] = Value(std::string("ABC"));
  row.V[2] = Value(std::string("aaa"));
  KeyRecord k(&Table, key), r(&Table, row);
  TzynFieldList list;
  ParseIndexFields(&Table, "NAME:P;CITY", list);
  EXPECT_EQ(CompareRecords(&Table, list, k.Record, r.Record), 0);
  ParseIndexFields(&Table, "NAME;CITY", list);
  EXPECT_LT(CompareRecords(&Table, list, k.Record, r.Record), 0);
  RowValues nullKey;
  nullKey.V[2] = Value(std::string("aaa"));
  KeyRecord n(&Table, nullKey);
  ParseIndexFields(&Table, "NAME:N;CITY", list);
  EXPECT_EQ(CompareRecords(&Table, list, n.Record, r.Record), 0);
}

TEST_F(IndexCases, AFilteredBinarySearchStopsAtTheEndOfTheEqualRows) {
  std::vector<std::optional<std::string>> names;
  for (int i = 0; i < 30; ++i) names.push_back(i < 10 ? "a" : (i < 12 ? "m" : "z"));
  for (const auto& name : names) AddNames({name});
  TzynIndex* index = Table.AddIndexOn("N", "NAME");
  Table.UseIndex(index);
  // The "m" rows are hidden; the next shown row is a "z".
  Table.RecordFilter = [&](TzynRecord* r) {
    Value v = ReadRow(&Table, r).V[1];
    return std::get<std::string>(*v) != "m";
  };
  RowValues key;
  key.V[1] = Value(std::string("m"));
  KeyRecord k(&Table, key);
  TzynFieldList list;
  ParseIndexFields(&Table, "NAME", list);
  TzynSearchResult result = index->Search(list, k.Record, false, true, true);
  EXPECT_FALSE(result.Found);
  EXPECT_FALSE(Table.Indexes->Search(list, k.Record, false, true, false).Found);
}

TEST_F(IndexCases, EditsLeaveAFilteredIndexAsARebuildWouldMakeIt) {
  AddNames({"b", "a", "c", "a", "d"});
  TzynIndex* index = Table.AddIndexOn("N", "NAME");
  // A filter on another field than the key's.
  index->FilterExpression = [&](TzynRecord* r) { return ReadRow(&Table, r).V[2] != Value(std::string("x")); };
  index->Rebuild();
  const struct {
    const char* Why;
    int Id;
    const char* Field;
    const char* Text;
  } edits[] = {
      {"another field", 2, "CITY", "city"}, {"fails the filter", 4, "CITY", "x"},
      {"a new key, hidden", 4, "NAME", "b"}, {"passes again", 4, "CITY", "town"},
      {"a new key", 1, "NAME", "e"},
  };
  for (const auto& edit : edits) {
    SCOPED_TRACE(edit.Why);
    for (Table.First(); Table.FieldByName("ID")->AsInteger() != edit.Id; Table.Next()) ASSERT_FALSE(Table.Eof());
    Table.Edit();
    Table.FieldByName(edit.Field)->SetAsString(edit.Text);
    Table.Post();
    const std::vector<TzynRecord*> kept = RowsOf(index);
    index->Rebuild();
    EXPECT_EQ(kept, RowsOf(index));
  }
  EXPECT_EQ(NamesIn(index), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST_F(IndexCases, ACaseSensitiveSearchDoesNotTrustACaseInsensitiveIndex) {
  for (int i = 0; i < 25; ++i) AddNames({i == 20 ? "smith" : "x" + std::to_string(i)});
  Table.AddIndexOn("CI", "NAME:C");
  Table.AutoAddIndexes = false;
  RowValues key;
  key.V[1] = Value(std::string("SMITH"));
  KeyRecord k(&Table, key);
  TzynFieldList list;
  ParseIndexFields(&Table, "NAME", list);
  EXPECT_FALSE(Table.Indexes->Search(list, k.Record, true, false, false).Found);
  ParseIndexFields(&Table, "NAME:C", list);
  TzynFoundRow found = Table.Indexes->Search(list, k.Record, true, false, false);
  EXPECT_TRUE(found.Found);
  EXPECT_EQ(found.RowNo, 20);
}

TEST_F(IndexCases, AutomaticIndexesFromTwentyOneRows) {
  for (int rows : {20, 21}) {
    Table.Common->Empty();
    Table.Indexes->Clear();
    Table.AutoAddIndexes = true;
    for (int i = 0; i < rows; ++i) AddNames({"n" + std::to_string(i)});
    RowValues key;
    key.V[1] = Value(std::string("n3"));
    KeyRecord k(&Table, key);
    TzynFieldList list;
    ParseIndexFields(&Table, "NAME;CITY", list);
    list.Count = 1;
    Table.Indexes->Search(list, k.Record, true, false, false);
    ParseIndexFields(&Table, "NAME;CITY", list);
    Table.Indexes->Search(list, k.Record, true, false, false);
    bool added = Table.Indexes->IndexByName("__MT__AUTO_NAME;CITY") != nullptr;
    EXPECT_EQ(added, rows == 21) << rows;
  }
}

TEST_F(IndexCases, UniqueIndexesRefuseDuplicates) {
  AddNames({"a", "b"});
  TzynIndex* unique = Table.AddIndexOn("U", "NAME", TIndexOptions{ixUnique});
  ASSERT_TRUE(unique->IsOrdered);
  try {
    AddNames({"a"});
    FAIL() << "a duplicate was posted";
  } catch (const EMemTableDupKey& e) {
    EXPECT_EQ(e.Message(), "Дублирующееся значение индекса. Операция прервана. U");
  }
  Table.Cancel();
  // Posting a record with its own unchanged key is no duplicate.
  Table.First();
  Table.Edit();
  Table.FieldByName("CITY")->SetAsString("x");
  EXPECT_NO_THROW(Table.Post());
  Table.Indexes->Remove(unique);
  AddNames({"a"});
  try {
    Table.AddIndexOn("U2", "NAME", TIndexOptions{ixUnique});
    FAIL() << "existing duplicates were accepted";
  } catch (const EMemTableDupKey& e) {
    EXPECT_EQ(e.Message(), "Дублирующееся значение индекса. Операция прервана.");
  }
}

TEST_F(IndexCases, CollectionRulesAndRefusedDefinitions) {
  TzynIndex* index = Table.AddIndexOn("N", "NAME");
  Table.UseIndex(index);
  Table.Indexes->Remove(index);
  EXPECT_EQ(Table.CurrentIndex, Table.Indexes->RowOrderIndex());
  Table.Indexes->Remove(Table.Indexes->RowOrderIndex());
  EXPECT_EQ(Table.Indexes->Count(), 1);

  TIndexDefs defs(&Table);
  defs.Add("E", "", TIndexOptions());
  EXPECT_THROW(
      {
        try {
          Table.Indexes->AddFromIndexDef(defs.Items(0));
        } catch (const EMemTableError& e) {
          EXPECT_EQ(e.Message(), "Пропущено Name или FieldNames в IndexDef!");
          throw;
        }
      },
      EMemTableError);
  TzynFieldList list;
  try {
    Table.FieldDefs();
    TzynTestTable blobs;
    blobs.FieldDefs()->Add("ID", ftInteger);
    blobs.FieldDefs()->Add("M", ftMemo);
    blobs.Open();
    ParseIndexFields(&blobs, "M", list);
    FAIL() << "a memo was accepted as an index field";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "Недопустимый индекс для поля M");
  }
}

}  // namespace
