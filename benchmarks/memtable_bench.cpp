// The in-memory table engine beside SQLite's :memory: database, same data,
// one run: inserts of a 6-field record, an index on a string field, key
// searches, a filtered scan that reads each row, stream save and load to
// memory (beside SQLite encoding and decoding every row, and beside its page
// image) and to a file, memory per record, and runs of deletes at 50,000,
// 100,000 and 200,000 records. Prints Markdown tables.
//   memtable_bench [records, default 1000000] [folder for the files]
#include <malloc.h>
#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "zynCommon.h"
#include "zynIndexes.h"
#include "zynMemTable.h"
#include "zynStreamFormat.h"
#include "zynTestTable.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point Since) {
  return std::chrono::duration<double>(Clock::now() - Since).count();
}

struct Row {
  int32_t Id;
  std::string Name, City;
  double Amount;
  int32_t Day;  // days since 1899-12-30
  bool Flag;
};

std::vector<Row> MakeRows(int Count) {
  std::mt19937 rng(42);
  std::vector<Row> rows(static_cast<size_t>(Count));
  for (int i = 0; i < Count; ++i) {
    Row& r = rows[static_cast<size_t>(i)];
    r.Id = i + 1;
    r.Name = "name" + std::to_string(rng() % 10000000);
    r.City = "city" + std::to_string(rng() % 500);
    r.Amount = static_cast<double>(rng() % 1000000) / 100;
    r.Day = 40000 + static_cast<int32_t>(rng() % 9000);
    r.Flag = rng() % 2;
  }
  return rows;
}

// The filter both sides apply: on columns without an index.
bool Passes(double Amount, int32_t Day) { return Amount > 5000 && Day < 42000; }

// Amounts are whole cents: summed as integers, the totals agree exactly
// whatever order the rows come in.
int64_t Cents(double Amount) { return std::llround(Amount * 100); }

size_t HeapInUse() { return mallinfo2().uordblks; }

struct Result {
  const char* What;
  double Engine, Sqlite;
};

void Print(const std::vector<Result>& Results, int Count, double EngineFast, double EngineSmall,
           double SqliteBytes) {
  std::printf("%d records\n\n", Count);
  std::printf("| %-44s | %12s | %12s | %7s |\n", "step", "engine, s", "SQLite, s", "ratio");
  std::printf("|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(14, '-').c_str(),
              std::string(14, '-').c_str(), std::string(9, '-').c_str());
  for (const Result& r : Results)
    std::printf("| %-44s | %12.3f | %12.3f | %6.2fx |\n", r.What, r.Engine, r.Sqlite,
                r.Sqlite / r.Engine);
  std::printf("\n| memory per record | bytes |\n|---|---|\n");
  std::printf("| engine, mtpfFast | %.0f |\n| engine, mtpfSmall | %.0f |\n| SQLite | %.0f |\n",
              EngineFast, EngineSmall, SqliteBytes);
}

// The six fields both roads use.
void DefineFields(TFieldDefs* Defs) {
  Defs->Add("ID", ftInteger);
  Defs->Add("NAME", ftString, 20);
  Defs->Add("CITY", ftString, 12);
  Defs->Add("AMOUNT", ftFloat);
  Defs->Add("DAY", ftDate);
  Defs->Add("FLAG", ftBoolean);
}

const char* const TableSql =
    "create table T (ID integer, NAME text, CITY text, AMOUNT real, DAY integer, FLAG integer)";

// The rows appended and posted through the table's field setters.
void AppendRows(TzynMemTable& Table, const std::vector<Row>& Rows) {
  TField* f[6];
  for (int i = 0; i < 6; ++i) f[i] = Table.Fields()->Fields(i);
  for (const Row& r : Rows) {
    Table.Append();
    f[0]->SetAsInteger(r.Id);
    f[1]->SetAsString(r.Name);
    f[2]->SetAsString(r.City);
    f[3]->SetAsFloat(r.Amount);
    f[4]->SetAsDateTime(r.Day);
    f[5]->SetAsBoolean(r.Flag);
    Table.Post();
  }
}

// The rows inserted into T in one transaction.
void InsertRows(sqlite3* Db, const std::vector<Row>& Rows) {
  sqlite3_exec(Db, "begin", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert;
  sqlite3_prepare_v2(Db, "insert into T values (?, ?, ?, ?, ?, ?)", -1, &insert, nullptr);
  for (const Row& r : Rows) {
    sqlite3_bind_int(insert, 1, r.Id);
    sqlite3_bind_text(insert, 2, r.Name.data(), static_cast<int>(r.Name.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 3, r.City.data(), static_cast<int>(r.City.size()), SQLITE_STATIC);
    sqlite3_bind_double(insert, 4, r.Amount);
    sqlite3_bind_int(insert, 5, r.Day);
    sqlite3_bind_int(insert, 6, r.Flag);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(Db, "commit", nullptr, nullptr, nullptr);
}

// SQLite doing the stream's work row by row: every value of every row
// encoded into one buffer (a type byte, then 8 bytes of a number or a
// 4-byte length and the text), and decoded and inserted in one transaction.
std::string EncodeRows(sqlite3* Db) {
  std::string out;
  sqlite3_stmt* select;
  sqlite3_prepare_v2(Db, "select * from T", -1, &select, nullptr);
  int columns = sqlite3_column_count(select);
  while (sqlite3_step(select) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      int type = sqlite3_column_type(select, c);
      out += static_cast<char>(type);
      if (type == SQLITE_INTEGER) {
        sqlite3_int64 v = sqlite3_column_int64(select, c);
        out.append(reinterpret_cast<const char*>(&v), 8);
      } else if (type == SQLITE_FLOAT) {
        double v = sqlite3_column_double(select, c);
        out.append(reinterpret_cast<const char*>(&v), 8);
      } else if (type == SQLITE_TEXT) {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(select, c));
        uint32_t length = static_cast<uint32_t>(sqlite3_column_bytes(select, c));
        out.append(reinterpret_cast<const char*>(&length), 4);
        out.append(text, length);
      }
    }
  }
  sqlite3_finalize(select);
  return out;
}

// The rows inserted.
int64_t DecodeRows(sqlite3* Db, const std::string& In) {
  sqlite3_exec(Db, TableSql, nullptr, nullptr, nullptr);
  sqlite3_exec(Db, "begin", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert;
  sqlite3_prepare_v2(Db, "insert into T values (?, ?, ?, ?, ?, ?)", -1, &insert, nullptr);
  int64_t rows = 0;
  for (size_t at = 0; at < In.size(); ++rows) {
    for (int c = 1; c <= 6; ++c) {
      int type = In[at++];
      if (type == SQLITE_INTEGER) {
        sqlite3_int64 v;
        std::memcpy(&v, In.data() + at, 8);
        sqlite3_bind_int64(insert, c, v);
        at += 8;
      } else if (type == SQLITE_FLOAT) {
        double v;
        std::memcpy(&v, In.data() + at, 8);
        sqlite3_bind_double(insert, c, v);
        at += 8;
      } else if (type == SQLITE_TEXT) {
        uint32_t length;
        std::memcpy(&length, In.data() + at, 4);
        sqlite3_bind_text(insert, c, In.data() + at + 4, static_cast<int>(length), SQLITE_STATIC);
        at += 4 + length;
      } else {
        sqlite3_bind_null(insert, c);
      }
    }
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(Db, "commit", nullptr, nullptr, nullptr);
  return rows;
}

class Engine {
 public:
  explicit Engine(TzynPerformance Performance) {
    DefineFields(Table.FieldDefs());
    Table.Common->Performance = Performance;
    Table.Open();
    for (int i = 0; i < 6; ++i) Fields[i] = Table.Fields()->Fields(i);
  }
  void Insert(const std::vector<Row>& Rows) {
    TzynCommon* common = Table.Common;
    TzynLock lock(common);
    common->ReserveRecords(static_cast<int32_t>(Rows.size()));
    for (const Row& r : Rows) {
      TzynRecord* record = common->AllocateRecord();
      PutRecordValue(&Table, record, Fields[0], &r.Id, 4);
      PutRecordValue(&Table, record, Fields[1], r.Name.data(), static_cast<int32_t>(r.Name.size()));
      PutRecordValue(&Table, record, Fields[2], r.City.data(), static_cast<int32_t>(r.City.size()));
      PutRecordValue(&Table, record, Fields[3], &r.Amount, 8);
      int32_t day = r.Day + 693594;
      PutRecordValue(&Table, record, Fields[4], &day, 4);
      int16_t flag = r.Flag;
      PutRecordValue(&Table, record, Fields[5], &flag, 2);
      common->AddRecord(record);
      common->ReflectChange(zcInsert, record, &Table, -1, nullptr);
    }
  }
  TzynTestTable Table;
  TField* Fields[6];
};

// Deleting every record from the front through the dataset, in row order
// and under an index on the string field, beside SQLite deleting each row
// by its key in one transaction (in the same order, with the same index).
void DeleteRuns() {
  std::printf("\nDeleting every record from the front:\n\n");
  std::printf("| %-44s | %12s | %12s | %7s |\n", "records, order", "engine, s", "SQLite, s", "ratio");
  std::printf("|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(14, '-').c_str(),
              std::string(14, '-').c_str(), std::string(9, '-').c_str());
  for (int count : {50000, 100000, 200000}) {
    std::vector<Row> rows = MakeRows(count);
    for (bool byName : {false, true}) {
      TzynMemTable table(nullptr);
      DefineFields(table.FieldDefs());
      table.Open();
      table.DisableControls();
      AppendRows(table, rows);
      if (byName) table.SetIndexFieldNames("NAME");
      // The keys in the order the engine deletes them.
      std::vector<int32_t> order;
      for (table.First(); !table.Eof(); table.Next()) order.push_back(table.Fields()->Fields(0)->AsInteger());
      auto t = Clock::now();
      for (table.First(); !table.Eof();) table.Delete();
      double engine = Seconds(t);
      table.EnableControls();

      sqlite3* db = nullptr;
      sqlite3_open(":memory:", &db);
      sqlite3_exec(db,
                   "create table T (ID integer primary key, NAME text, CITY text, AMOUNT real, "
                   "DAY integer, FLAG integer)",
                   nullptr, nullptr, nullptr);
      if (byName) sqlite3_exec(db, "create index BY_NAME on T (NAME)", nullptr, nullptr, nullptr);
      InsertRows(db, rows);
      t = Clock::now();
      sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
      sqlite3_stmt* remove;
      sqlite3_prepare_v2(db, "delete from T where ID = ?", -1, &remove, nullptr);
      for (int32_t id : order) {
        sqlite3_bind_int(remove, 1, id);
        sqlite3_step(remove);
        sqlite3_reset(remove);
      }
      sqlite3_finalize(remove);
      sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
      double sqlite = Seconds(t);
      sqlite3_close(db);
      std::string what = std::to_string(count) + (byName ? ", index on the string field" : ", row order");
      std::printf("| %-44s | %12.3f | %12.3f | %6.2fx |%s\n", what.c_str(), engine, sqlite,
                  sqlite / engine, table.RecordCount() == 0 ? "" : " NOT ALL DELETED");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
  std::string folder = argc > 2 ? argv[2] : "/tmp";
  std::vector<Row> rows = MakeRows(count);
  std::vector<std::string> keys;
  std::mt19937 rng(7);
  for (int i = 0; i < 100000; ++i) keys.push_back(rows[rng() % rows.size()].Name);
  std::vector<Result> results;

  // Memory per record, both layouts.
  double perRecord[2];
  for (TzynPerformance performance : {mtpfFast, mtpfSmall}) {
    size_t before = HeapInUse();
    Engine engine(performance);
    engine.Insert(rows);
    perRecord[performance == mtpfFast ? 0 : 1] =
        static_cast<double>(HeapInUse() - before) / count;
  }

  Engine engine(mtpfFast);
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  sqlite3_exec(db, TableSql, nullptr, nullptr, nullptr);

  auto t = Clock::now();
  engine.Insert(rows);
  double engineInsert = Seconds(t);
  t = Clock::now();
  InsertRows(db, rows);
  results.push_back({"insert, one transaction", engineInsert, Seconds(t)});
  double sqliteBytes = static_cast<double>(sqlite3_memory_used()) / count;

  t = Clock::now();
  TzynIndex* byName = engine.Table.AddIndexOn("BY_NAME", "NAME");
  double engineIndex = Seconds(t);
  t = Clock::now();
  sqlite3_exec(db, "create index BY_NAME on T (NAME)", nullptr, nullptr, nullptr);
  results.push_back({"index on the string field", engineIndex, Seconds(t)});

  // Key searches: the first row with the name, and its ID read.
  TzynFieldList list;
  ParseIndexFields(&engine.Table, "NAME", list);
  engine.Table.UseIndex(byName);
  TzynRecord* key = engine.Table.Common->AllocateRecord();
  int64_t engineSum = 0, sqliteSum = 0;
  t = Clock::now();
  for (const std::string& name : keys) {
    PutRecordValue(&engine.Table, key, engine.Fields[1], name.data(), static_cast<int32_t>(name.size()));
    TzynFoundRow found = engine.Table.Indexes->Search(list, key, false, false, false);
    if (found.Found) {
      TzynValue value;
      GetRecordValue(&engine.Table, byName->Rows(found.RowNo), engine.Fields[0],
                     FieldDataOffset(engine.Table.Common, engine.Fields[0]), value);
      int32_t id;
      std::memcpy(&id, value.Data, 4);
      engineSum += id;
    }
  }
  double engineSearch = Seconds(t);
  engine.Table.Common->FreeRecord(key, true, false);
  t = Clock::now();
  sqlite3_stmt* search;
  sqlite3_prepare_v2(db, "select ID from T where NAME = ? limit 1", -1, &search, nullptr);
  for (const std::string& name : keys) {
    sqlite3_bind_text(search, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    if (sqlite3_step(search) == SQLITE_ROW) sqliteSum += sqlite3_column_int(search, 0);
    sqlite3_reset(search);
  }
  sqlite3_finalize(search);
  results.push_back({"100,000 key searches", engineSearch, Seconds(t)});

  // Filtered scan: an index that admits what the filter event accepts,
  // then every row it holds read.
  TzynCommon* common = engine.Table.Common;
  int32_t amountAt = FieldDataOffset(common, engine.Fields[3]);
  int32_t dayAt = FieldDataOffset(common, engine.Fields[4]);
  t = Clock::now();
  auto filtered = std::make_unique<TzynIndex>("FILTERED", false, false, 0, "", &engine.Table);
  filtered->IsRowOrder = true;
  filtered->IsFiltered = true;
  filtered->FilterEvent = [&](TDataSet*, TzynIndex*, bool& accept) {
    TzynRecord* r = engine.Table.CurrentRecordOverride;
    double amount;
    int32_t day;
    std::memcpy(&amount, r->Data + amountAt + 1, 8);
    std::memcpy(&day, r->Data + dayAt + 1, 4);
    accept = Passes(amount, day - 693594);
  };
  TzynIndex* scan = engine.Table.Indexes->Add(std::move(filtered));
  scan->Rebuild();
  int64_t engineTotal = 0;
  TzynValue value;
  for (int32_t i = 0; i < scan->Count(); ++i) {
    GetRecordValue(&engine.Table, scan->Rows(i), engine.Fields[3], amountAt, value);
    double amount;
    std::memcpy(&amount, value.Data, 8);
    engineTotal += Cents(amount);
  }
  double engineScan = Seconds(t);
  t = Clock::now();
  sqlite3_stmt* select;
  sqlite3_prepare_v2(db, "select AMOUNT from T where AMOUNT > 5000 and DAY < 42000", -1, &select,
                     nullptr);
  int64_t sqliteTotal = 0;
  while (sqlite3_step(select) == SQLITE_ROW) sqliteTotal += Cents(sqlite3_column_double(select, 0));
  sqlite3_finalize(select);
  results.push_back({"filtered scan reading each row", engineScan, Seconds(t)});
  engine.Table.Indexes->Remove(scan);

  // Streams.
  TzynBinaryStreamFormat format(nullptr);
  engine.Table.UseIndex(nullptr);
  TMemoryStream memory;
  t = Clock::now();
  format.SaveToStream(&engine.Table, &memory);
  double engineSave = Seconds(t);
  sqlite3_int64 serializedSize = 0;
  t = Clock::now();
  unsigned char* serialized = sqlite3_serialize(db, "main", &serializedSize, 0);
  double sqliteImageSave = Seconds(t);
  t = Clock::now();
  std::string encoded = EncodeRows(db);
  double sqliteRowSave = Seconds(t);
  results.push_back({"save to memory (SQLite row by row)", engineSave, sqliteRowSave});
  results.push_back({"save to memory (SQLite page image)", engineSave, sqliteImageSave});

  TzynTestTable loaded;
  t = Clock::now();
  format.LoadFromStream(&loaded, &memory);
  double engineLoad = Seconds(t);
  sqlite3* copy = nullptr;
  sqlite3_open(":memory:", &copy);
  t = Clock::now();
  auto* image = static_cast<unsigned char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(serializedSize)));
  std::memcpy(image, serialized, static_cast<size_t>(serializedSize));
  sqlite3_deserialize(copy, "main", image, serializedSize, serializedSize,
                      SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
  sqlite3_int64 copied = 0;
  sqlite3_stmt* countRows;
  sqlite3_prepare_v2(copy, "select count(*) from T", -1, &countRows, nullptr);
  if (sqlite3_step(countRows) == SQLITE_ROW) copied = sqlite3_column_int64(countRows, 0);
  sqlite3_finalize(countRows);
  double sqliteImageLoad = Seconds(t);
  sqlite3* decoded = nullptr;
  sqlite3_open(":memory:", &decoded);
  t = Clock::now();
  int64_t decodedRows = DecodeRows(decoded, encoded);
  double sqliteRowLoad = Seconds(t);
  sqlite3_close(decoded);
  results.push_back({"load from memory (SQLite row by row)", engineLoad, sqliteRowLoad});
  results.push_back({"load from memory (SQLite page image)", engineLoad, sqliteImageLoad});

  std::string engineFile = folder + "/memtable_bench.bin", sqliteFile = folder + "/memtable_bench.sqlite";
  t = Clock::now();
  {
    TFileStream file(engineFile.c_str(), fmCreate);
    format.SaveToStream(&engine.Table, &file);
  }
  engineSave = Seconds(t);
  t = Clock::now();
  {
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(db, "main", &size, 0);
    FILE* f = std::fopen(sqliteFile.c_str(), "wb");
    std::fwrite(bytes, 1, static_cast<size_t>(size), f);
    std::fclose(f);
    sqlite3_free(bytes);
  }
  results.push_back({"save to a file", engineSave, Seconds(t)});
  TzynTestTable fromFile;
  t = Clock::now();
  {
    TFileStream file(engineFile.c_str(), fmOpenRead);
    format.LoadFromStream(&fromFile, &file);
  }
  engineLoad = Seconds(t);
  sqlite3* copy2 = nullptr;
  sqlite3_open(":memory:", &copy2);
  t = Clock::now();
  {
    FILE* f = std::fopen(sqliteFile.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    auto* bytes = static_cast<unsigned char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(size)));
    if (std::fread(bytes, 1, static_cast<size_t>(size), f) != static_cast<size_t>(size)) return 1;
    std::fclose(f);
    sqlite3_deserialize(copy2, "main", bytes, size, size,
                        SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
  }
  results.push_back({"load from a file", engineLoad, Seconds(t)});

  // The dataset road: the same steps through TzynMemTable's own operations.
  std::vector<Result> road;
  {
    TzynMemTable table(nullptr);
    DefineFields(table.FieldDefs());
    table.Open();
    t = Clock::now();
    table.DisableControls();
    AppendRows(table, rows);
    table.EnableControls();
    road.push_back({"Append/Post through field setters", Seconds(t), results[0].Sqlite});
    t = Clock::now();
    table.SetIndexFieldNames("NAME");
    road.push_back({"IndexFieldNames on the string field", Seconds(t), results[1].Sqlite});
    TField* id = table.Fields()->Fields(0);
    TField* amount = table.Fields()->Fields(3);
    int64_t sum = 0;
    t = Clock::now();
    for (const std::string& name : keys)
      if (table.Locate("NAME", Variant(AnsiString(name)), {})) sum += id->AsInteger();
    road.push_back({"100,000 Locate", Seconds(t), results[2].Sqlite});
    if (sum != sqliteSum) std::printf("Locate sums DIFFER\n");
    t = Clock::now();
    table.SetFilter("AMOUNT > 5000 AND DAY < 42000");
    table.SetFiltered(true);
    int64_t total = 0;
    table.DisableControls();
    for (table.First(); !table.Eof(); table.Next()) total += Cents(amount->AsFloat());
    table.EnableControls();
    road.push_back({"Filter scan reading a field", Seconds(t), results[3].Sqlite});
    if (total != sqliteTotal) std::printf("filter totals DIFFER\n");
    table.SetFiltered(false);
    TMemoryStream stream;
    t = Clock::now();
    table.SaveToStream(&stream);
    road.push_back({"save to memory (SQLite row by row)", Seconds(t), sqliteRowSave});
    TzynMemTable copy(nullptr);
    stream.SetPosition(0);
    t = Clock::now();
    copy.LoadFromStream(&stream);
    road.push_back({"load from memory (SQLite row by row)", Seconds(t), sqliteRowLoad});
  }

  Print(results, count, perRecord[0], perRecord[1], sqliteBytes);
  std::printf("\nThe dataset road (TzynMemTable), SQLite's figures from above:\n\n");
  for (const Result& r : road)
    std::printf("| %-44s | %12.3f | %12.3f | %6.2fx |\n", r.What, r.Engine, r.Sqlite,
                r.Sqlite / r.Engine);
  std::printf("\nchecks: searches %s, scan %s, loaded %d/%lld/%lld/%d records, stream %lld bytes, "
              "row buffer %lld bytes, image %lld bytes\n",
              engineSum == sqliteSum ? "agree" : "DIFFER",
              engineTotal == sqliteTotal ? "agrees" : "DIFFERS", loaded.RecordCount(),
              static_cast<long long>(copied), static_cast<long long>(decodedRows),
              fromFile.RecordCount(), static_cast<long long>(memory.Size()),
              static_cast<long long>(encoded.size()), static_cast<long long>(serializedSize));
  DeleteRuns();
  sqlite3_free(serialized);
  sqlite3_close(copy);
  sqlite3_close(copy2);
  sqlite3_close(db);
  std::remove(engineFile.c_str());
  std::remove(sqliteFile.c_str());
  return 0;
}
