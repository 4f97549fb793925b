#pragma once
// An in-memory table of text columns F0, F1 ... filled for the grid
// benchmarks, its first record current.

#include <string>

#include "zynMemTable.h"

template <class CellTextFn>
void FillTextTable(TzynMemTable& Table, int Records, int Columns, int Size, CellTextFn CellText) {
  for (int C = 0; C < Columns; ++C) Table.FieldDefs()->Add("F" + std::to_string(C), ftString, Size);
  Table.Open();
  Table.DisableControls();
  for (int R = 0; R < Records; ++R) {
    Table.Append();
    for (int C = 0; C < Columns; ++C) Table.Fields()->Fields(C)->SetAsString(CellText(R, C));
    Table.Post();
  }
  Table.First();
  Table.EnableControls();
}
