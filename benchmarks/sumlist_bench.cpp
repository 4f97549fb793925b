// Inserts into an in-memory table under a filter while a sum list keeps a
// sum, an average and a count of it up to date (the grid's footers), as a
// group operation or an import of many rows does, beside the same inserts
// without the sum list, and without the filter either. Every other row is
// hidden by the filter. The footers should add a like time a row whatever
// the table's size, and so should the table. One run per size; the program
// fails when a row costs three times as much at the largest size.
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
  double First[3] = {}, Last[3] = {};
  for (int Rows : {Largest / 4, Largest / 2, Largest}) {
    const double Footers = InsertRows(Rows, true, true), Filtered = InsertRows(Rows, true, false),
                 Neither = InsertRows(Rows, false, false);
    const double PerRow[3] = {Footers / Rows * 1e6, Filtered / Rows * 1e6, Neither / Rows * 1e6};
    std::printf("| %6d | %8.1f | %8.1f | %8.1f |\n", Rows, PerRow[0], PerRow[1], PerRow[2]);
    for (int Column = 0; Column < 3; ++Column) {
      if (Rows == Largest / 4) First[Column] = PerRow[Column];
      Last[Column] = PerRow[Column];
    }
  }
  // A row should cost about the same at four times the rows; three times as
  // much leaves room for a noisy machine but not for a cost that grows.
  bool Linear = true;
  for (int Column = 0; Column < 3; ++Column) Linear = Linear && Last[Column] <= 3 * First[Column];
  std::printf("check: a row costs %s at four times the rows\n", Linear ? "about the same" : "MORE");
  return Linear ? 0 : 1;
}
