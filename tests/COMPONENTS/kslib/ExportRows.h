#pragma once
// Rows of export cells for the format tests.

#include <initializer_list>

#include "COMPONENTS/kslib/DBGridKsExportFormats.h"

inline TExportRow TextRow(std::initializer_list<AnsiString> Texts) {
  TExportRow row;
  for (const AnsiString& text : Texts) {
    TExportCell cell;
    cell.Text = text;
    row.push_back(cell);
  }
  return row;
}
