// The records a grid has selected, as the dataset's bookmarks in the
// dataset's order, with a one-entry cache for the question painting asks
// of every row. The order follows the dataset's current index, so the list
// is sorted again whenever that may have changed (Refresh).
#pragma once

#include <vector>

#include "db/DataSet.h"
#include "forms/GridErrors.h"

// What the list needs of its grid.
class TBookmarkListOwnerKs {
 public:
  virtual TDataSet* BookmarkDataSet() = 0;
  // The selection may have become empty; the grid repaints.
  virtual void BookmarksChanged() = 0;
  // The current record was selected or unselected.
  virtual void CurrentRowSelectionChanged() = 0;

 protected:
  ~TBookmarkListOwnerKs() = default;
};

class TBookmarkListKs {
 public:
  explicit TBookmarkListKs(TBookmarkListOwnerKs* Owner) : FOwner(Owner) {}

  void Clear();
  int CompareBookmarks(const AnsiString& A, const AnsiString& B);
  // EInvalidGridOperation on a closed dataset.
  AnsiString GetCurrentRow();
  bool CurrentRowSelected() { return IndexOf(GetCurrentRow()) >= 0; }
  void SetCurrentRowSelected(bool Value);
  // Where the bookmark is, or where it would go.
  bool Find(const AnsiString& Item, int& Index);
  int IndexOf(const AnsiString& Item);
  int Count() const { return static_cast<int>(FList.size()); }
  const AnsiString& Items(int Index) const { return FList.at(Index); }
  bool IsLinkActive() const { return FLinkActive; }
  void LinkActive(bool Value);
  // Deletes every selected record from the dataset.
  void Delete();
  // Sorts again by the dataset's present order, dropping bookmarks of
  // records that are gone and any that became equal.
  void Refresh();

 private:
  void Changed();
  TBookmarkListOwnerKs* FOwner;
  std::vector<AnsiString> FList;
  AnsiString FCacheKey;
  bool FCacheFound = false;
  int FCacheIndex = -1;
  bool FLinkActive = false;
};
