#pragma once
// Rows of export cells and typed values for the format tests.

#include <initializer_list>
#include <utility>

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

inline TExportValue Value(TExportValueKind Kind, AnsiString Bytes = {}) {
  TExportValue value;
  value.Kind = Kind;
  value.Bytes = std::move(Bytes);
  return value;
}

inline TExportValue IntegerValue(int32_t Integer) {
  TExportValue value = Value(TExportValueKind::Integer);
  value.Integer = Integer;
  return value;
}

inline TExportValue FloatValue(double Float) {
  TExportValue value = Value(TExportValueKind::Float);
  value.Float = Float;
  return value;
}

inline AnsiString Bytes(std::initializer_list<int> Values) {
  AnsiString bytes;
  for (int b : Values) bytes += static_cast<char>(b);
  return bytes;
}
