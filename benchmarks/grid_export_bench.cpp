// The grid's CSV and binary export formats through the portable writers:
// 1,000,000 records of 6 text columns of an in-memory table, each record's
// cells built from its fields as the grid's export does, beside python's
// csv.writer writing the same rows (cp1251, ";") in the same run. One run;
// MB/s of the bytes written.
//   grid_export_bench
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchMemTable.h"
#include "DBGridKsExportFormats.h"

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
  std::printf("%-28s %10.1f MB %8.2f s %8.1f MB/s\n", Name, stream.Size() / 1e6, seconds,
              stream.Size() / 1e6 / seconds);
}

}  // namespace

int main() {
  TzynMemTable table(nullptr);
  FillTextTable(table, Records, Columns, 40, CellText);
  std::printf("%d records x %d columns\n", Records, Columns);
  Measure<TGridExportAsCSV>("CSV (TGridExportAsCSV)", table);
  Measure<TGridExportAsVCLDBIF>("binary (TGridExportAsVCLDBIF)", table);
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
print('%-28s %10.1f MB %8.2f s %8.1f MB/s' % ('CSV (python csv.writer)', len(data) / 1e6,
                                                seconds, len(data) / 1e6 / seconds))
PY)";
  return std::system(python) == 0 ? 0 : 1;
}
