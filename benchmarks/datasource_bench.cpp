// What a grid over a data source pays per screen: whether each row is
// marked, and walking the records through the user's condition filter
// (a substring and the marked records) on an in-memory table.
//   datasource_bench [records, default 100000]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "SDataPrompts.h"
#include "SDataSource.h"
#include "zynMemTable.h"

namespace {

class TYes : public IDataPrompts {
 public:
  bool AskYesNo(const AnsiString&) override { return true; }
  void ShowMessage(const AnsiString&) override {}
  void Beep() override {}
};

template <class F>
double Seconds(F&& Run) {
  auto start = std::chrono::steady_clock::now();
  Run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int records = argc > 1 ? std::atoi(argv[1]) : 100000;
  TYes yes;
  SetDataPrompts(&yes);
  TzynMemTable table(nullptr);
  table.FieldDefs()->Add("ID", ftInteger);
  table.FieldDefs()->Add("NAME", ftString, 20);
  table.Open();
  for (int i = 0; i < records; ++i) {
    table.Append();
    table.FieldByName("ID")->SetAsInteger(i);
    table.FieldByName("NAME")->SetAsString("name " + std::to_string(i));
    table.Post();
  }
  TSDataSource source(nullptr);
  source.SetDataSet(&table);
  TMemRecordMarker* marker = source.Marker();

  double markAll = Seconds([&] { marker->MarkAll(); });
  int marked = 0;
  double isMarked = Seconds([&] {
    for (table.First(); !table.Eof(); table.Next()) marked += marker->IsMarked();
  });
  SetFilterDialogHook([](TSDataSource*, TField* Field, TFilterArr& Filters) {
    auto text = std::make_unique<TFieldFilter>();
    text->Kind = ffkSubstring;
    text->Field = Field;
    text->Value = "7";
    Filters.push_back(std::move(text));
    Filters.push_back(std::make_unique<TFieldFilter>());
  });
  int shown = 0;
  double filtered = Seconds([&] {
    source.ShowFilterDialog(table.FieldByName("NAME"));
    for (table.First(); !table.Eof(); table.Next()) ++shown;
  });
  double plain = Seconds([&] {
    source.CancelFilter();
    for (table.First(); !table.Eof(); table.Next()) {
    }
  });
  std::printf("%d records: mark all %.3f s; walk asking IsMarked %.3f s (%d marked); "
              "walk through substring + marked filter %.3f s (%d shown); plain walk %.3f s\n",
              records, markAll, isMarked, marked, filtered, shown, plain);
  SetDataPrompts(nullptr);
  return 0;
}
