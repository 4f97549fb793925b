// The grid's import of its two file formats beside a loop appending the same
// records (Append, four values, Post): records of 4 columns (integer, text,
// float, date) from a file into an empty dataset through a real grid, for a
// dataset written directly on the platform's dataset classes and for the
// in-memory table, at each number of records given. Microseconds per record
// and the ratio to the loop; the smallest of three runs of each. Under Wine.
//   grid_import_bench [records ...]   (default 25000 100000 400000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "BenchTypedRecords.h"
#include "COMPONENTS/kslib/DBGridKsImpExp.h"
#include "forms/Forms.h"
#include "tests/platform/db/ArrayDataSet.h"
#include "zynMemTable.h"

namespace {

template <class TTable>
std::unique_ptr<TDataSet> EmptyTable() {
  auto table = std::make_unique<TTable>(nullptr);
  DefineBenchFields(table->FieldDefs());
  table->Open();
  return table;
}

using TTableMaker = std::unique_ptr<TDataSet> (*)();

// A grid over the source on a form of its own, shown.
TDBGridKs* ShownGrid(TDataSource& Source) {
  auto* form = new TForm(Application);
  auto* grid = new TDBGridKs(form);
  grid->SetParent(form);
  grid->SetDataSource(&Source);
  form->Show();
  return grid;
}

// A fresh empty table with a grid over it; Work gets both and is timed
// alone. The smallest of three runs.
double Seconds(TTableMaker Make, int Records,
               const std::function<void(TDataSet&, TDBGridKs*)>& Work) {
  double best = 1e300;
  for (int run = 0; run < 3; ++run) {
    std::unique_ptr<TDataSet> table = Make();
    TDataSource source(nullptr);
    source.SetDataSet(table.get());
    TDBGridKs* grid = ShownGrid(source);
    const auto start = std::chrono::steady_clock::now();
    Work(*table, grid);
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    delete grid->Owner();
    if (table->RecordCount() != Records) {
      std::fprintf(stderr, "%d records instead of %d\n", table->RecordCount(), Records);
      std::exit(1);
    }
  }
  return best;
}

// The two files, as the grid exports them without titles.
void WriteFiles(const std::vector<TBenchRecord>& Rows, const AnsiString& Text,
                const AnsiString& Binary) {
  const std::unique_ptr<TDataSet> table = EmptyTable<TzynMemTable>();
  AppendBenchRecords(*table, Rows);
  table->First();
  TDataSource source(nullptr);
  source.SetDataSet(table.get());
  TDBGridKs* grid = ShownGrid(source);
  grid->SetOptions(grid->Options() - TDBGridOptions{dgTitles});
  ExportToFile(grid, Text, TGridExportFormat::Text, true);
  ExportToFile(grid, Binary, TGridExportFormat::VCLDBIF, true);
  delete grid->Owner();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {25000, 100000, 400000};
  InitDBGridKsUnit();
  InitDBGridKsImpExpUnit();
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const AnsiString text = AnsiString(folder) + "grid_import_bench.txt";
  const AnsiString binary = AnsiString(folder) + "grid_import_bench.bin";
  const std::pair<const char*, TTableMaker> tables[] = {
      {"platform dataset", &EmptyTable<TArrayDataSet>},
      {"in-memory table", &EmptyTable<TzynMemTable>}};
  std::printf("us per record; ratio to the append loop\n\n");
  std::printf(
      "| dataset | records | append loop | binary import | ratio | text import | ratio |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (int records : counts) {
    const std::vector<TBenchRecord> rows = MakeBenchRecords(records);
    WriteFiles(rows, text, binary);
    for (const auto& [name, make] : tables) {
      const double appending = Seconds(
          make, records, [&](TDataSet& Table, TDBGridKs*) { AppendBenchRecords(Table, rows); });
      const auto importing = [&](const AnsiString& File, TGridImportFormat Format) {
        return Seconds(make, records, [&](TDataSet&, TDBGridKs* Grid) {
          ImportFromFile(Grid, File, Format, false);
        });
      };
      const double fromBinary = importing(binary, TGridImportFormat::VCLDBIF);
      const double fromText = importing(text, TGridImportFormat::Text);
      std::printf("| %s | %d | %.2f | %.2f | %.1f | %.2f | %.1f |\n", name, records,
                  appending / records * 1e6, fromBinary / records * 1e6, fromBinary / appending,
                  fromText / records * 1e6, fromText / appending);
      std::fflush(stdout);
    }
  }
  DeleteFileA(text.c_str());
  DeleteFileA(binary.c_str());
  DoneDBGridKsImpExpUnit();
  DoneDBGridKsUnit();
  return 0;
}
