// Indexes of an in-memory table: ordered lists of stored records over a
// field list, the one compare routine that orders, searches, ranges and
// uniqueness checks share, and the collection that keeps them up to date.
//
// Rows of a key index are ordered by their key and, among equal keys, by
// slot number (reversed when the first field is descending), so an index
// reads the same after any sequence of edits as after a rebuild.
#pragma once

#include <memory>
#include <unordered_set>
#include <vector>

#include "FastList.h"
#include "zynCommon.h"
#include "zynMemTable.h"

inline constexpr const char* zynRowOrderIndexName = "__MT__ROWORDER";
inline constexpr const char* zynAutoIndexPrefix = "__MT__AUTO_";

// Fills the list from "NAME[:options];..." (options: D C P N L).
void ParseIndexFields(IzynMemTable* Table, const AnsiString& FieldNames, TzynFieldList& List);
// Sets the option on the entries named in FieldNames, clears it elsewhere.
void ApplyFieldOption(const TzynFieldList& Named, TzynFieldList& List, uint8_t Option);

// Compare modes: plain, or end at the first field below, above, at most or
// at least 0.
enum TzynCompareMode : uint8_t { zcmPlain, zcmBelow, zcmAbove, zcmAtMost, zcmAtLeast };

// Key record against row record over the list; Limit < 0 takes all entries.
int CompareRecords(IzynMemTable* Table, const TzynFieldList& List, const TzynRecord* Key,
                   const TzynRecord* Row, TzynCompareMode Mode = zcmPlain,
                   bool IgnoreNulls = false, bool Partial = false, int Limit = -1);

struct TzynSearchResult {
  int Compare = 0;
  bool Found = false;
  int32_t Position = 0;
};

class TzynIndex {
 public:
  TzynIndex(const AnsiString& AName, bool RowOrder, bool ASortOnRebuild,
            TzynMemTableCompareOptions Options, const AnsiString& Fields, IzynMemTable* Table);
  TzynIndex(const TzynIndex&) = delete;
  TzynIndex& operator=(const TzynIndex&) = delete;

  int32_t Count() const {
    Settle();
    return FReferences.Count() - FGapLength;
  }
  TzynRecord* Rows(int32_t Row) const {
    Settle();
    return static_cast<TzynRecord*>(FReferences.Items(Row < FGapAt ? Row : Row + FGapLength));
  }
  // A run of inserts or deletes near one another moves only the rows
  // between them.
  void InsertRow(int32_t Row, TzynRecord* Record);
  void SetRow(int32_t Row, TzynRecord* Record);
  void DeleteRow(int32_t Row);
  // Drops the record's row before the rows are next read: deletes in an
  // index the cursor does not walk cost no search and no shift each.
  void LeaveLater(const TzynRecord* Record) { FLeaving.insert(Record); }

  void Clear();
  void LoadReferences();
  void Sort();
  void Rebuild();
  // The index's own record filter (deleted records never pass).
  bool PassesFilter(TzynRecord* Record);
  bool HasOwnFilter() const { return IsFiltered || FilterExpression || FilterEvent; }
  // Key rows of the list against Key; First: the first equal row, else the
  // last. Nearest compares strings as partial keys around the match and
  // answers the first row after the key when none is equal.
  TzynSearchResult Search(const TzynFieldList& List, const TzynRecord* Key, bool Nearest,
                          bool RespectFilter, bool First);
  // Row of the stored record with the record's slot and identity; -1.
  // Hint: the row the caller last knew the record at, checked first, so a
  // run of edits at the cursor costs no search each.
  int32_t FindRecordNumber(const TzynRecord* Record, int32_t Hint = -1);
  // Key, then slot: the order of the rows.
  int CompareRows(const TzynRecord* A, const TzynRecord* B);
  // Where a record goes among the rows.
  int32_t InsertPosition(const TzynRecord* Record);

  AnsiString Name;
  IzynMemTable* DataSet;
  AnsiString IndexFields;
  TzynFieldList IndexFieldList;
  TzynMemTableCompareOptions CompareOptions;
  bool IsOrdered = false;
  bool SortOnRebuild;
  bool IsRowOrder;
  int IndexOfs = 0;
  bool IsFiltered = false;
  bool Enabled = true;
  std::function<bool(TzynRecord* Record)> FilterExpression;
  TzynFilterIndexEvent FilterEvent;

  // Row by row from the first, whatever the list's order.
  TzynSearchResult ScanSearch(const TzynFieldList& List, const TzynRecord* Key, bool Nearest,
                              bool RespectFilter);

 private:
  // The rows are FReferences less a gap of FGapLength slots before row FGapAt,
  // and less the records that are leaving.
  mutable TFastList FReferences;
  mutable int32_t FGapAt = 0, FGapLength = 0;
  mutable std::unordered_set<const TzynRecord*> FLeaving;
  void Settle() const {
    if (!FLeaving.empty()) DropLeaving();
  }
  void DropLeaving() const;
  void MoveGap(int32_t Row) const;
  // A gap of free slots before the row, an eighth of the rows or more.
  void OpenGap(int32_t Row) const;
  void CloseGap() const;
  bool SortByTextPrefix();
  void CheckUnique();
  bool ListHasCalculated(const TzynFieldList& List) const;
};

struct TzynFoundRow {
  bool Found = false;
  int32_t RowNo = -1;
};

class TzynIndexes {
 public:
  // Adds the row-order index.
  explicit TzynIndexes(IzynMemTable* Table);
  ~TzynIndexes();
  TzynIndexes(const TzynIndexes&) = delete;
  TzynIndexes& operator=(const TzynIndexes&) = delete;

  TzynIndex* RowOrderIndex() const { return FRowOrder; }
  int Count() const { return static_cast<int>(FIndexes.size()); }
  TzynIndex* Items(int Index) const { return FIndexes[static_cast<size_t>(Index)].get(); }
  TzynIndex* Add(std::unique_ptr<TzynIndex> Index);
  TzynIndex* AddFromIndexDef(const TIndexDef* Def);
  void Remove(TzynIndex* Index);
  // Every index but the row-order one.
  void Clear();
  TzynIndex* IndexByName(const AnsiString& Name) const;
  TzynIndex* IndexByFields(const AnsiString& Fields) const;
  void ClearAll();
  void RebuildAll();
  void MarkAllUnordered();

  // The first row of the current index whose key equals Key on the list
  // (with Nearest: or the first after it), as a scan of the current index
  // would find it, through another index where one keeps the same order.
  TzynFoundRow Search(const TzynFieldList& List, const TzynRecord* Key, bool AutoAdd,
                      bool RespectFilter, bool Nearest);
  // EMemTableDupKey when a unique index holds another record with the key.
  void CheckUniqueness(const TzynRecord* Record, const TzynRecord* ActualRecord);
  // Own: this collection's table made the change; the position hint is its.
  void ReflectChange(TzynChange Operation, TzynRecord* OldRecord, int32_t Position,
                     TzynRecord* NewRecord, bool Own);

 private:
  TzynIndex* FindSearchIndex(const TzynFieldList& List) const;
  bool KeepsOrderOf(const TzynIndex* Index, const TzynFieldList& List) const;
  void ReflectInIndex(TzynIndex* Index, TzynChange Operation, TzynRecord* OldRecord,
                      int32_t Position, TzynRecord* NewRecord);

  IzynMemTable* FTable;
  TzynIndex* FRowOrder = nullptr;
  std::vector<std::unique_ptr<TzynIndex>> FIndexes;
};
