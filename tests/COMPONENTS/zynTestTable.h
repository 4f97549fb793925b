// A small table over the engine, for the engine's own tests: records live
// in a TzynCommon, the cursor walks the current index, posts and deletes go
// through the index maintenance. No filters of its own beyond a predicate,
// no versions; just enough dataset to exercise storage, indexes and streams.
#pragma once

#include <functional>
#include <memory>

#include "db/DB.h"
#include "zynCommon.h"
#include "zynIndexes.h"

class TzynTestTable : public TDataSet, public IzynMemTable {
 public:
  explicit TzynTestTable(TComponent* AOwner = nullptr);
  ~TzynTestTable() override;

  // Shares the other table's storage (closed tables only).
  void AttachTo(TzynTestTable* Source);
  bool OwnsStorage() const { return Common->Owner() == this; }
  void UseIndex(TzynIndex* Index);
  TzynIndex* AddIndexOn(const AnsiString& Name, const AnsiString& Fields, TIndexOptions Options = {});
  // The stored record under the cursor.
  TzynRecord* CurrentStored() const;
  TzynRecord* ActiveRec() const { return reinterpret_cast<TzynRecord*>(ActiveBuffer()); }

  // Test hooks.
  std::function<bool(TzynRecord*)> RecordFilter;
  std::function<void(TzynRecord*)> CalcHook;
  std::vector<std::pair<int, TzynProgressCode>> ProgressCalls;
  TzynViewSwitches View;
  int ResetCount = 0;

  // IzynMemTable.
  TDataSet* DataSet() override { return this; }
  TIndexDefs* IndexDefs() override { return FIndexDefs.get(); }
  bool CursorOpen() const override { return FCursorOpen; }
  bool FilteringNeeded() const override { return static_cast<bool>(RecordFilter); }
  bool PassesRecordFilter(TzynRecord* Record) override { return !RecordFilter || RecordFilter(Record); }
  void CalcRecordFields(TzynRecord* Record) override {
    if (CalcHook) CalcHook(Record);
  }
  TzynIndex* AddIndex(const AnsiString& Name, const AnsiString& Fields,
                      TIndexOptions Options) override;
  void ResetCursor() override;
  void ResyncCursor() override;
  void RefreshIfBrowsing() override;
  void StorageDestroyed() override;
  TzynViewSwitches SuspendView(const TzynViewSwitches& SwitchOff) override;
  void ResumeView(const TzynViewSwitches& Saved) override { View = Saved; }
  void UpdateIsFiltered() override {}
  void Progress(int Percent, TzynProgressCode Code) override {
    ProgressCalls.emplace_back(Percent, Code);
  }
  void ClearIndexes() override;
  void UpdateIndexes() override;

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& Buffer) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  int GetRecordSize() const override { return Common->RecordAllocSize(); }
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) const override;
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) const override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  void InternalGotoBookmark(const void* Bookmark) override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  void InternalFirst() override { CurRec = -1; }
  void InternalLast() override { CurRec = CurrentIndex->Count(); }
  void InternalInitFieldDefs() override {}
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return FCursorOpen; }
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void InternalDelete() override;
  void InternalHandleException() override { throw; }
  void InternalPost() override;
  bool GetFieldData(TField* Field, void* Buffer) override;
  void SetFieldData(TField* Field, const void* Buffer) override;
  int GetRecordCount() override { return CurrentIndex->Count(); }
  int GetRecNo() const override;

 public:
  std::unique_ptr<TStream> CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;

 private:
  TzynRecord* FieldRecord() const;
  uint8_t* BookmarkSlot(TRecordBuffer Buffer) const;

  bool FCursorOpen = false;
  std::unique_ptr<TzynIndexes> FIndexes;
  std::unique_ptr<TIndexDefs> FIndexDefs = std::make_unique<TIndexDefs>(this);
};
