// What a layout store keeps of a grid's columns: a column's width (its
// auto-fit base while the grid fits widths) and the order of the columns
// as one list of field names.
#pragma once

#include "COMPONENTS/kslib/PropFilerKs.h"

class TColumnKsPropertyInterceptor : public TStoragePropertyInterceptor {
 public:
  using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
  void SetWidth(int Value);
  std::vector<TInterceptedPropertyKs> Properties() override;
};

class TColumnsKsPropertyInterceptor : public TStoragePropertyInterceptor {
 public:
  using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
  // The field names in column order, each quoted, separated by commas.
  AnsiString ColumnsIndex() const;
  // Moves each named column to its place; unknown names (exact case) are
  // skipped.
  void SetColumnsIndex(const AnsiString& Value);
  std::vector<TInterceptedPropertyKs> Properties() override;
};
