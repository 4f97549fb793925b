// The editor of the grid's filter row: a combo box over one filter cell
// whose list offers the column's values and the entries for empty, not
// empty, all, clearing the filter and, with sort marking, the two orders.
// The grid's side of the filter row is in DBGridKsFilterRow.cpp.
#pragma once

#include "COMPONENTS/kslib/DBComboBoxKs.h"

// The tags of the entries in front of the column's values.
enum TFilterRowEntryKs {
  freEmptyKs = 1,
  freNotEmptyKs = 2,
  freAllKs = 3,
  freClearKs = 4,
  freSeparatorKs = 5,
  freSortDescendingKs = 6,
  freSortAscendingKs = 7
};

class TInplaceFilterEditKs : public TDBComboBoxKs {
 public:
  explicit TInplaceFilterEditKs(TComponent* AOwner);
  // The value as the combo box's, then the text shown.
  void SetFilterText(const Variant& Value, const AnsiString& Text);
};
