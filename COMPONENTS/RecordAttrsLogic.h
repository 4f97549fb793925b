// What the record attributes and level choice dialogs decide, without
// their windows: the new state word, the owner's name, the field the tree
// of levels shows, and moving records under another parent.
#pragma once

#include <cstdint>
#include <vector>

#include "db/DB.h"

class TSDS;
class TSDataSource;

// The dialog's boxes when OK is pressed.
struct TRecordAttrsChoice {
  // The deleted box is enabled only for a deleted record: it can restore,
  // never delete.
  bool DeletedEnabled = false;
  bool DeletedChecked = false;
  bool ListChecked = false;
};
// Whether OK has anything to write: a restored record or another type.
bool RecordAttrsChanged(uint32_t State, const TRecordAttrsChoice& Choice);
// Bit 31 cleared when restored, bit 30 as chosen, every other bit kept.
uint32_t RecordAttrsState(uint32_t State, const TRecordAttrsChoice& Choice);
// Writes the word to the current record: from browse through an edit that
// is posted (cancelled again when the post fails), in edit or insert only
// into the field. A level record with children does not become a list
// record, which could not be entered.
void ApplyRecordState(TSDS& Records, uint32_t NewState);

// The name of the user numbered Owner in the user table of the records'
// database; " - ??? - " when there is none or the database has no users.
AnsiString RecordOwnerName(TSDS& Records, int Owner);

// NAME, else KNAME, else the first string field wider than 10 whose label
// is its own, else the first string field; null without one.
TField* TreeDisplayField(TDataSet* DataSet);

// Moves every record the source's marker holds under the parent; the
// position comes back. The identities of the records refused as their own
// parent's ancestors come back.
std::vector<int64_t> MoveMarkedRecords(TSDataSource& Source, int64_t NewParentID);
