// The grid's export formats. Natively, CSV and binary through the portable
// writers: 1,000,000 records of 6 text columns of an in-memory table, each
// record's cells built from its fields as the grid's export does, beside
// python's csv.writer writing the same rows (cp1251, ";") in the same run;
// MB/s of the bytes written. Under Wine, every format through a real grid
// over 100,000 records of 4 columns (integer, text, float, date), and a
// clipboard copy, which writes all four, beside a loop reading the same
// cells' display texts; and the binary format's import through the grid
// beside a loop appending the same records. One run; the smallest of three
// of each.
//   grid_export_bench [records, default 100000 under Wine]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "BenchMemTable.h"
#include "DBGridKsExportFormats.h"
#ifdef _WIN32
#include "BenchTypedRecords.h"
#include "COMPONENTS/kslib/DBGridKsImpExp.h"
#include "forms/Forms.h"
#endif

namespace {

constexpr int Records = 1000000;
constexpr int Columns = 6;

// Plain words, numbers, and now and then a quote and the separator.
std::string CellText(int Row, int Column) {
  if ((Row + Column) % 11 == 0) return "say \"hi\"; row " + std::to_string(Row);
  return "cell " + std::to_string(Row) + "-" + std::to_string(Column);
}

template <typename TWriter>
void Measure(const char* Name, TzynMemTable& Table) {
  const auto start = std::chrono::steady_clock::now();
  TMemoryStream stream;
  TWriter writer(stream);
  TExportRow row(Columns);
  writer.WritePrefix(row);
  for (Table.First(); !Table.Eof(); Table.Next()) {
    for (int c = 0; c < Columns; ++c) {
      TField* field = Table.Fields()->Fields(c);
      row[c].Text = field->AsString();
      row[c].Value.Kind = TExportValueKind::String;
      row[c].Value.Bytes = row[c].Text;
    }
    writer.WriteRecord(row);
  }
  writer.WriteSuffix();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-33s %10.1f MB %8.2f s %8.1f MB/s\n", Name, stream.Size() / 1e6, seconds,
              stream.Size() / 1e6 / seconds);
}

#ifdef _WIN32
double Seconds(const std::function<void()>& Work) {
  double best = 1e300;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    Work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                              .count());
  }
  return best;
}

void FillTypedTable(TzynMemTable& Table, int Records) {
  DefineBenchFields(Table.FieldDefs());
  Table.Open();
  AppendBenchRecords(Table, MakeBenchRecords(Records));
  Table.First();
}

int GridBench(int Records) {
  InitDBGridKsUnit();
  InitDBGridKsImpExpUnit();
  TzynMemTable table(nullptr), target(nullptr);
  FillTypedTable(table, Records);
  FillTypedTable(target, 0);
  TDataSource source(nullptr), targetSource(nullptr);
  source.SetDataSet(&table);
  targetSource.SetDataSet(&target);
  TForm* form = new TForm(Application);
  auto* grid = new TDBGridKs(form);
  grid->SetParent(form);
  grid->SetDataSource(&source);
  auto* targetGrid = new TDBGridKs(form);
  targetGrid->SetParent(form);
  targetGrid->SetDataSource(&targetSource);
  form->Show();
  std::printf("%d records x 4 columns through the grid, us per record\n", Records);

  size_t sink = 0;
  const double reading = Seconds([&] {
    table.DisableControls();
    for (table.First(); !table.Eof(); table.Next())
      for (int c = 0; c < grid->Columns()->Count(); ++c)
        sink += grid->Columns()->Items(c)->GetField()->DisplayText().size();
    table.First();
    table.EnableControls();
  });
  std::printf("| format | export | reading loop | ratio |\n|---|---|---|---|\n");
  TMemoryStream binary;
  const std::pair<const char*, TGridExportFormat> formats[] = {
      {"text", TGridExportFormat::Text},
      {"CSV", TGridExportFormat::CSV},
      {"RTF", TGridExportFormat::RTF},
      {"binary", TGridExportFormat::VCLDBIF}};
  for (const auto& [name, format] : formats) {
    const double exporting = Seconds([&] {
      TMemoryStream stream;
      ExportDBGridKsToStream(grid, stream, format, true);
      sink += stream.Size();
      if (format == TGridExportFormat::VCLDBIF) {
        binary.Clear();
        binary.WriteBuffer(stream.Memory(), static_cast<int32_t>(stream.Size()));
      }
    });
    std::printf("| %s | %.2f | %.2f | %.1f |\n", name, exporting / Records * 1e6,
                reading / Records * 1e6, exporting / reading);
  }

  const double copying = Seconds([&] { CopyGridSelection(grid, true); });
  std::printf("| clipboard copy, all four | %.2f | %.2f | %.1f |\n", copying / Records * 1e6,
              reading / Records * 1e6, copying / reading);

  auto emptyTarget = [&] {
    target.DisableControls();
    target.EmptyTable();
    target.EnableControls();
  };
  const double appending = Seconds([&] {
    emptyTarget();
    table.DisableControls();
    target.DisableControls();
    for (table.First(); !table.Eof(); table.Next()) {
      target.Append();
      for (int c = 0; c < 4; ++c)
        target.Fields()->Fields(c)->SetValue(table.Fields()->Fields(c)->Value());
      target.Post();
    }
    table.First();
    target.EnableControls();
    table.EnableControls();
  });
  const double importing = Seconds([&] {
    emptyTarget();
    binary.SetPosition(0);
    ImportDBGridKsFromStream(targetGrid, binary, TGridImportFormat::VCLDBIF, false);
  });
  std::printf("\n| binary import | %.2f | append loop | %.2f | ratio %.1f | %d records |\n",
              importing / Records * 1e6, appending / Records * 1e6, importing / appending,
              target.RecordCount());
  delete form;
  DoneDBGridKsImpExpUnit();
  DoneDBGridKsUnit();
  return sink == 0 && target.RecordCount() != Records;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  return GridBench(argc > 1 ? std::atoi(argv[1]) : 100000);
#else
  (void)argc;
  (void)argv;
#endif
  TzynMemTable table(nullptr);
  FillTextTable(table, Records, Columns, 40, CellText);
  std::printf("%d records x %d columns\n", Records, Columns);
  Measure<TDBGridKsExportAsCSV>("CSV (TDBGridKsExportAsCSV)", table);
  Measure<TDBGridKsExportAsVCLDBIF>("binary (TDBGridKsExportAsVCLDBIF)", table);
  std::fflush(stdout);
  const char* python = R"(python3 - <<'PY'
import csv, io, time
rows = [[('say "hi"; row %d' % r) if (r + c) % 11 == 0 else 'cell %d-%d' % (r, c)
         for c in range(6)] for r in range(1000000)]
start = time.perf_counter()
out = io.StringIO()
csv.writer(out, delimiter=';', quoting=csv.QUOTE_ALL, lineterminator='\r\n').writerows(rows)
data = out.getvalue().encode('cp1251')
seconds = time.perf_counter() - start
print('%-33s %10.1f MB %8.2f s %8.1f MB/s' % ('CSV (python csv.writer)', len(data) / 1e6,
                                                seconds, len(data) / 1e6 / seconds))
PY)";
  return std::system(python) == 0 ? 0 : 1;
}
