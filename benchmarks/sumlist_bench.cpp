// Inserts into an in-memory table under a filter while a sum list keeps a
// sum, an average and a count of it up to date (the grid's footers), as a
// group operation or an import of many rows does, beside the same inserts
// without the sum list, and without the filter either. Every other row is
// hidden by the filter. The footers should add a like time a row whatever
// the table's size. One run per size.
//   sumlist_bench [largest rows, default 40000]   (also the half and the quarter)
#include <cstdio>
#include <cstdlib>

#include "BenchTable.h"
#include "COMPONENTS/kslib/DBSumLst.h"
#include "zynMemTable.h"

namespace {

double InsertRows(int Rows, bool Filtered, bool Footers) {
  TzynMemTable Table(nullptr);
  Table.FieldDefs()->Add("Id", ftInteger);
  Table.FieldDefs()->Add("Amount", ftFloat);
  Table.Open();
  Table.SetFilter("Amount < 1000");
  Table.SetFiltered(Filtered);
  TDBSumListProducer Sums(nullptr);
  Sums.SetActive(false);
  for (TGroupOperation Operation : {goSum, goAvg, goCount}) {
    TDBSum* Sum = Sums.SumCollection()->Add();
    Sum->SetGroupOperation(Operation);
    Sum->SetFieldName("Amount");
  }
  Sums.SetDataSet(&Table);
  Sums.SetActive(Footers);
  Table.DisableControls();
  const auto Start = BenchClock::now();
  for (int Row = 0; Row < Rows; ++Row) {
    Table.Insert();
    Table.FieldByName("Id")->SetAsInteger(Row);
    Table.FieldByName("Amount")->SetAsFloat(Row % 2 ? 5000.5 : Row % 1000 + 0.25);
    Table.Post();
  }
  const double Seconds = SecondsSince(Start);
  Table.EnableControls();
  return Seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int Largest = argc > 1 ? std::atoi(argv[1]) : 40000;
  std::printf("| rows | us a row: filtered, footers | filtered | neither |\n");
  for (int Rows : {Largest / 4, Largest / 2, Largest}) {
    const double Footers = InsertRows(Rows, true, true), Filtered = InsertRows(Rows, true, false),
                 Neither = InsertRows(Rows, false, false);
    std::printf("| %6d | %8.1f | %8.1f | %8.1f |\n", Rows, Footers / Rows * 1e6,
                Filtered / Rows * 1e6, Neither / Rows * 1e6);
  }
  return 0;
}
