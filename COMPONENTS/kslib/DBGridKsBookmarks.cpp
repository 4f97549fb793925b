#include "COMPONENTS/kslib/DBGridKsBookmarks.h"

#include <algorithm>

void TBookmarkListKs::Changed() {
  FCacheKey.clear();
  FCacheIndex = -1;
}

void TBookmarkListKs::Clear() {
  if (FList.empty()) return;
  FList.clear();
  Changed();
  FOwner->BookmarksChanged();
}

int TBookmarkListKs::CompareBookmarks(const AnsiString& A, const AnsiString& B) {
  TDataSet* DataSet = FOwner->BookmarkDataSet();
  return DataSet ? DataSet->CompareBookmarks(A, B) : A.compare(B);
}

AnsiString TBookmarkListKs::GetCurrentRow() {
  if (!FLinkActive)
    throw EInvalidGridOperation(
        "Не могу выполнить эту операцию для закрытого набора данных (dataset)");
  return FOwner->BookmarkDataSet()->GetBookmark();
}

bool TBookmarkListKs::Find(const AnsiString& Item, int& Index) {
  if (Item == FCacheKey && FCacheIndex >= 0) {
    Index = FCacheIndex;
    return FCacheFound;
  }
  int Last = Count() > 0 ? CompareBookmarks(FList.back(), Item) : 1;
  bool Result = Last == 0;
  int L = 0;
  if (Last <= 0) {
    // A walk to an end meets each bookmark at or after the last one.
    L = Result ? Count() - 1 : Count();
  } else {
    int H = Count() - 2;
    while (L <= H) {
      int I = (L + H) >> 1;
      int C = CompareBookmarks(FList[I], Item);
      if (C < 0) {
        L = I + 1;
      } else {
        H = I - 1;
        if (C == 0) Result = true, L = I;
      }
    }
  }
  Index = L;
  FCacheKey = Item, FCacheIndex = L, FCacheFound = Result;
  return Result;
}

int TBookmarkListKs::IndexOf(const AnsiString& Item) {
  int Index;
  return Find(Item, Index) ? Index : -1;
}

void TBookmarkListKs::SetCurrentRowSelected(bool Value) {
  AnsiString Current = GetCurrentRow();
  int Index;
  bool Found = Find(Current, Index);
  if (Value != Found) {
    if (Value) {
      FList.insert(FList.begin() + Index, Current);
    } else {
      FList.erase(FList.begin() + Index);
    }
    Changed();
    FOwner->CurrentRowSelectionChanged();
  }
  FOwner->BookmarksChanged();
}

void TBookmarkListKs::LinkActive(bool Value) {
  Clear();
  FOwner->BookmarksChanged();
  FLinkActive = Value;
}

void TBookmarkListKs::Refresh() {
  TDataSet* DataSet = FOwner->BookmarkDataSet();
  if (FList.empty() || !DataSet || !DataSet->Active()) return;
  size_t Before = FList.size();
  std::erase_if(FList, [&](const AnsiString& B) { return !DataSet->BookmarkValid(B); });
  std::stable_sort(FList.begin(), FList.end(), [&](const AnsiString& A, const AnsiString& B) {
    return DataSet->CompareBookmarks(A, B) < 0;
  });
  FList.erase(std::unique(FList.begin(), FList.end(),
                          [&](const AnsiString& A, const AnsiString& B) {
                            return DataSet->CompareBookmarks(A, B) == 0;
                          }),
              FList.end());
  Changed();
  if (FList.size() != Before) FOwner->BookmarksChanged();
}

void TBookmarkListKs::Delete() {
  TDataSet* DataSet = FOwner->BookmarkDataSet();
  Refresh();
  DataSet->DisableControls();
  try {
    for (int I = Count() - 1; I >= 0; --I) {
      DataSet->GotoBookmark(FList[I]);
      DataSet->Delete();
      FList.erase(FList.begin() + I);
      Changed();
    }
  } catch (...) {
    DataSet->EnableControls();
    FOwner->BookmarksChanged();
    throw;
  }
  DataSet->EnableControls();
  FOwner->BookmarksChanged();
}
