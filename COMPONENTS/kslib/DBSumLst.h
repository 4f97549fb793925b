// Aggregates of a dataset's fields (sum, average, count) kept up to date
// without walking the dataset on every change: one walk on open, on a
// filter change, when the definition changes or the master moves, then
// adjustments from the dataset's edit, insert, post, delete and cancel
// events. Values are fixed point with four decimals (the rtl's Currency
// scale), rounded halves to even. A value whose scaled form leaves the
// 64-bit range marks its aggregate as overflowed instead.
#pragma once

#include <optional>
#include <vector>

#include "db/DB.h"
#include "rtl/Variants.h"

class TDBSumListProducer;

enum TGroupOperation { goSum, goAvg, goCount };

class TDBSum : public TCollectionItem {
 public:
  explicit TDBSum(TCollection* Collection) : TCollectionItem(Collection) {}
  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& Value);
  TGroupOperation GroupOperation() const { return FGroupOperation; }
  void SetGroupOperation(TGroupOperation Value);
  void Assign(TPersistent* Source) override;
  // Whether the item takes part in walks and adjustments.
  bool Counts() const { return FGroupOperation == goCount || !FFieldName.empty(); }

  // The result, scaled by 10000 (a count counts 10000 per record); 0 while
  // Overflow.
  int64_t SumValue = 0;
  // Some value is not a finite number or leaves the fixed-point range, or
  // the total does: the result is no number. It comes back when the values
  // are in range again.
  bool Overflow = false;
  int32_t AvgCount = 0;
  Variant OldVariant;

  // One record's part: its scaled value, or none that fits.
  struct TTerm {
    int64_t Value = 0;
    bool OutOfRange = false;
  };
  // The record's part before the current edit, and the part of the record
  // being deleted, noted before the delete.
  TTerm OldTerm, DeletedTerm;
  bool DeletedNotNull = false;

  // Adds (Sign 1) or takes away (Sign -1) a part, then settles the result.
  void AddTerm(const TTerm& Term, int Sign);
  void Clear();

 private:
  // Totals past the 64-bit range stay exact: the upper word counts carries.
  uint64_t FTotalLow = 0;
  int64_t FTotalHigh = 0;
  int32_t FOutOfRange = 0;
  void Settle();
  AnsiString FFieldName;
  TGroupOperation FGroupOperation = goSum;
};

class TDBSumCollection : public TCollection {
 public:
  explicit TDBSumCollection(TDBSumListProducer* Producer);
  TDBSum* Items(int Index) const { return static_cast<TDBSum*>(TCollection::Items(Index)); }
  TDBSum* Add() { return static_cast<TDBSum*>(TCollection::Add()); }
  // The first item of the operation whose field name matches, any case.
  TDBSum* FindSum(TGroupOperation Operation, const AnsiString& FieldName) const;

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TDBSumListProducer* FProducer;
};

class TDBSumListProducer : public TPersistent {
 public:
  // Owner: whose loading and design state the producer respects.
  explicit TDBSumListProducer(TComponent* AOwner);
  ~TDBSumListProducer() override;
  void Assign(TPersistent* Source) override;

  TComponent* Owner() const { return FOwner; }
  TDBSumCollection* SumCollection() { return &FSumCollection; }
  TDataSet* DataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* Value);
  bool Active() const { return FActive; }
  void SetActive(bool Value);
  bool ExternalRecalc() const { return FExternalRecalc; }
  void SetExternalRecalc(bool Value);
  bool VirtualRecords() const { return FVirtualRecords; }
  void SetVirtualRecords(bool Value);
  bool Hooked() const { return FHooked; }
  bool Calculating() const { return FCalculating; }

  virtual int GetRecNo();
  virtual int IndexOfBookmark(const AnsiString& Bookmark);
  virtual void SetRecNo(int Value);
  virtual bool IsSequenced();
  virtual int GetRecordCount();
  virtual void ClearSumValues();
  virtual void RecalcAll();

  TNotifyEvent OnRecalcAll, OnAfterRecalcAll, SumListChanged;

 protected:
  virtual void DoAfterCancel();
  virtual void DoAfterClose();
  virtual void DoAfterEdit();
  virtual void DoAfterInsert();
  virtual void DoAfterOpen();
  virtual void DoBeforePost();
  virtual void DoAfterPost();
  virtual void DoAfterScroll();
  virtual void DoBeforeDelete();
  virtual void DoAfterDelete();
  virtual void DoMasterAfterScroll();
  virtual void ReturnEvents();
  virtual void SetDataSetEvents();
  // When false, nothing is done while the owner is in design state.
  bool DesignTimeWork = false;
  bool FHooked = false;

 private:
  friend class TDataSetEventHub;
  bool Idle() const;
  bool VirtualNumbering();
  void Changed();
  // The watched dataset went away: forget it without touching it.
  void DataSetGone(TDataSet* Gone);

  TComponent* FOwner;
  TDBSumCollection FSumCollection;
  TDataSet* FDataSet = nullptr;
  TDataSet* FMaster = nullptr;
  bool FActive = true, FExternalRecalc = false, FVirtualRecords = false;
  bool FCalculating = false, FBookmarksPending = false;
  AnsiString FFilter;
  bool FFiltered = false;
  int FVirtualIndex = -1;
  std::vector<AnsiString> FBookmarks;
  AnsiString FDeletedBookmark;
  // The record being posted: an edited one's bookmark; for an insert into a
  // filtered dataset whether the dataset shows it, or, when it cannot tell,
  // the record count before (else -1). A post may take the record out of
  // the filter.
  AnsiString FPostedBookmark;
  std::optional<bool> FInsertShown;
  int FCountBeforeInsert = -1;
};

// The grid's sum list: inactive until asked for.
class TDBGridKsSumList : public TDBSumListProducer {
 public:
  explicit TDBGridKsSumList(TComponent* AOwner);
};
