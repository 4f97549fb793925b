// Stream formats of the in-memory table: the base prepares the table around
// a save or a load (controls, lock, filter, range, master, indexes) and puts
// everything back however the run ends; the binary format writes and reads
// the tagged value encoding of component streaming ("TPF0", version 252).
#pragma once

#include <memory>
#include <vector>

#include "db/Filer.h"
#include "zynMemTable.h"

enum TzynStreamFlag : uint8_t {
  sfSaveData,
  sfLoadData,
  sfSaveCalculated,
  sfLoadCalculated,
  sfSaveLookup,
  sfLoadLookup,
  sfSaveNonVisible,
  sfLoadNonVisible,
  sfSaveBlobs,
  sfLoadBlobs,
  sfSaveDef,
  sfLoadDef,
  sfSaveIndexDef,
  sfLoadIndexDef,
  sfSaveFiltered,
  sfSaveIgnoreRange,
  sfSaveIgnoreMasterDetail,
  sfSaveDeltas,
  sfLoadDeltas,
  sfSaveDontFilterDeltas,
  sfSaveAppend,
  sfSaveInsert,
  sfSaveFieldKind,
  sfLoadFieldKind,
  sfLoadFromStart,
  sfSaveUsingIndex
};
using TzynStreamFlags = TSet<TzynStreamFlag>;

inline constexpr TzynStreamFlags zynDefaultStreamFlags{
    sfSaveData,   sfLoadData,    sfSaveNonVisible, sfLoadNonVisible, sfSaveBlobs,
    sfLoadBlobs,  sfSaveDef,     sfLoadDef,        sfSaveIndexDef,   sfLoadIndexDef,
    sfSaveFiltered, sfSaveIgnoreRange, sfSaveIgnoreMasterDetail, sfSaveFieldKind,
    sfLoadFromStart, sfSaveUsingIndex};

// The members of each published flag set.
inline constexpr TzynStreamFlags zynsfDataMembers{sfSaveData, sfLoadData};
inline constexpr TzynStreamFlags zynsfCalculatedMembers{sfSaveCalculated, sfLoadCalculated};
inline constexpr TzynStreamFlags zynsfLookupMembers{sfSaveLookup, sfLoadLookup};
inline constexpr TzynStreamFlags zynsfNonVisibleMembers{sfSaveNonVisible, sfLoadNonVisible};
inline constexpr TzynStreamFlags zynsfBlobsMembers{sfSaveBlobs, sfLoadBlobs};
inline constexpr TzynStreamFlags zynsfDefMembers{sfSaveDef, sfLoadDef};
inline constexpr TzynStreamFlags zynsfIndexDefMembers{sfSaveIndexDef, sfLoadIndexDef};
inline constexpr TzynStreamFlags zynsfFilteredMembers{sfSaveFiltered};
inline constexpr TzynStreamFlags zynsfIgnoreRangeMembers{sfSaveIgnoreRange};
inline constexpr TzynStreamFlags zynsfIgnoreMasterDetailMembers{sfSaveIgnoreMasterDetail};
inline constexpr TzynStreamFlags zynsfDeltasMembers{sfSaveDeltas, sfLoadDeltas};
inline constexpr TzynStreamFlags zynsfDontFilterDeltasMembers{sfSaveDontFilterDeltas};
inline constexpr TzynStreamFlags zynsfAppendMembers{sfSaveAppend, sfSaveInsert};
inline constexpr TzynStreamFlags zynsfFieldKindMembers{sfSaveFieldKind, sfLoadFieldKind};
inline constexpr TzynStreamFlags zynsfFromStartMembers{sfLoadFromStart};
inline constexpr TzynStreamFlags zynsfUsingIndexMembers{sfSaveUsingIndex};

class TzynCustomStreamFormat : public TComponent {
 public:
  explicit TzynCustomStreamFormat(TComponent* AOwner);
  ~TzynCustomStreamFormat() override;

  AnsiString Version() const { return GetVersion(); }
  // Every switch lives here; the published sets are views of their own members of it.
  TzynStreamFlags Flags = zynDefaultStreamFlags;
  TzynStreamFlags sfData() const { return FlagGroup(zynsfDataMembers); }
  void SetsfData(TzynStreamFlags Value) { SetFlagGroup(zynsfDataMembers, Value); }
  TzynStreamFlags sfCalculated() const { return FlagGroup(zynsfCalculatedMembers); }
  void SetsfCalculated(TzynStreamFlags Value) { SetFlagGroup(zynsfCalculatedMembers, Value); }
  TzynStreamFlags sfLookup() const { return FlagGroup(zynsfLookupMembers); }
  void SetsfLookup(TzynStreamFlags Value) { SetFlagGroup(zynsfLookupMembers, Value); }
  TzynStreamFlags sfNonVisible() const { return FlagGroup(zynsfNonVisibleMembers); }
  void SetsfNonVisible(TzynStreamFlags Value) { SetFlagGroup(zynsfNonVisibleMembers, Value); }
  TzynStreamFlags sfBlobs() const { return FlagGroup(zynsfBlobsMembers); }
  void SetsfBlobs(TzynStreamFlags Value) { SetFlagGroup(zynsfBlobsMembers, Value); }
  TzynStreamFlags sfDef() const { return FlagGroup(zynsfDefMembers); }
  void SetsfDef(TzynStreamFlags Value) { SetFlagGroup(zynsfDefMembers, Value); }
  TzynStreamFlags sfIndexDef() const { return FlagGroup(zynsfIndexDefMembers); }
  void SetsfIndexDef(TzynStreamFlags Value) { SetFlagGroup(zynsfIndexDefMembers, Value); }
  TzynStreamFlags sfFiltered() const { return FlagGroup(zynsfFilteredMembers); }
  void SetsfFiltered(TzynStreamFlags Value) { SetFlagGroup(zynsfFilteredMembers, Value); }
  TzynStreamFlags sfIgnoreRange() const { return FlagGroup(zynsfIgnoreRangeMembers); }
  void SetsfIgnoreRange(TzynStreamFlags Value) { SetFlagGroup(zynsfIgnoreRangeMembers, Value); }
  TzynStreamFlags sfIgnoreMasterDetail() const { return FlagGroup(zynsfIgnoreMasterDetailMembers); }
  void SetsfIgnoreMasterDetail(TzynStreamFlags Value) {
    SetFlagGroup(zynsfIgnoreMasterDetailMembers, Value);
  }
  TzynStreamFlags sfDeltas() const { return FlagGroup(zynsfDeltasMembers); }
  void SetsfDeltas(TzynStreamFlags Value) { SetFlagGroup(zynsfDeltasMembers, Value); }
  TzynStreamFlags sfDontFilterDeltas() const { return FlagGroup(zynsfDontFilterDeltasMembers); }
  void SetsfDontFilterDeltas(TzynStreamFlags Value) {
    SetFlagGroup(zynsfDontFilterDeltasMembers, Value);
  }
  TzynStreamFlags sfAppend() const { return FlagGroup(zynsfAppendMembers); }
  void SetsfAppend(TzynStreamFlags Value) { SetFlagGroup(zynsfAppendMembers, Value); }
  TzynStreamFlags sfFieldKind() const { return FlagGroup(zynsfFieldKindMembers); }
  void SetsfFieldKind(TzynStreamFlags Value) { SetFlagGroup(zynsfFieldKindMembers, Value); }
  TzynStreamFlags sfFromStart() const { return FlagGroup(zynsfFromStartMembers); }
  void SetsfFromStart(TzynStreamFlags Value) { SetFlagGroup(zynsfFromStartMembers, Value); }
  // Copies the flags of another format.
  void Assign(TPersistent* Source) override;

  // A whole save or load. The table's switches and the lock are restored
  // before an error passes on.
  void SaveToStream(IzynMemTable* Table, TStream* Stream);
  void LoadFromStream(IzynMemTable* Table, TStream* Stream);

  // Source to destination, compressing or decompressing.
  TzynConvertStreamEvent OnCompress, OnDeCompress;
  TNotifyEvent OnBeforeSave, OnAfterSave, OnBeforeLoad, OnAfterLoad;

 protected:
  TzynStreamFlags FlagGroup(TzynStreamFlags Members) const { return Flags * Members; }
  // Members outside the group are neither set nor cleared.
  void SetFlagGroup(TzynStreamFlags Members, TzynStreamFlags Value) {
    Flags = (Flags - Members) + (Value * Members);
  }

  virtual AnsiString GetVersion() const { return "1.00"; }
  virtual void DetermineSaveFields(IzynMemTable* Table);
  virtual void BeforeSave(IzynMemTable* Table);
  virtual void SaveDef(IzynMemTable*) {}
  virtual void SaveData(IzynMemTable*) {}
  virtual void Save(IzynMemTable* Table);
  virtual void AfterSave(IzynMemTable* Table);
  // Whether the field may be loaded under the load flags.
  bool LoadAllowed(const TField* Field) const;
  virtual void BeforeLoad(IzynMemTable* Table);
  virtual void LoadDef(IzynMemTable*) {}
  virtual void LoadData(IzynMemTable*) {}
  virtual void Load(IzynMemTable* Table);
  virtual void AfterLoad(IzynMemTable* Table);
  // Lets go of a writer or reader; runs on success and on failure.
  virtual void ReleaseWork() {}

  TStream* WorkStream() const { return FWorkStream; }
  // The fields a save writes, in field order.
  std::vector<TField*> FSaveFields;

 private:
  void FinishSave(IzynMemTable* Table, bool Completed);
  void FinishLoad(IzynMemTable* Table, bool Completed);

  // What a run switched, so that the end puts back exactly that.
  struct TRun {
    bool ControlsDisabled = false;
    bool Locked = false;
    bool ViewSuspended = false;
    TzynViewSwitches View;
    bool LoadingSet = false;
    bool IndexesSwitched = false;
    bool EnableIndexes = true;
    TBookmark Bookmark;
  };
  TRun FRun;
  TStream* FStream = nullptr;
  TStream* FWorkStream = nullptr;
  std::unique_ptr<TMemoryStream> FOwnWork;
};

class TzynCustomBinaryStreamFormat : public TzynCustomStreamFormat {
 public:
  using TzynCustomStreamFormat::TzynCustomStreamFormat;
  ~TzynCustomBinaryStreamFormat() override;

  static constexpr int32_t FileVersion = 252;
  int BufferSize() const { return FBufferSize; }
  void SetBufferSize(int Value) { FBufferSize = Value < 16384 ? 16384 : Value; }
  TzynStreamFlags sfUsingIndex() const { return FlagGroup(zynsfUsingIndexMembers); }
  void SetsfUsingIndex(TzynStreamFlags Value) { SetFlagGroup(zynsfUsingIndexMembers, Value); }
  // The version of the stream read last.
  int32_t StreamVersion() const { return FVersion; }

 protected:
  AnsiString GetVersion() const override { return "3.00"; }
  void BeforeSave(IzynMemTable* Table) override;
  void SaveDef(IzynMemTable* Table) override;
  void SaveData(IzynMemTable* Table) override;
  void AfterSave(IzynMemTable* Table) override;
  void BeforeLoad(IzynMemTable* Table) override;
  void LoadDef(IzynMemTable* Table) override;
  void LoadData(IzynMemTable* Table) override;
  void AfterLoad(IzynMemTable* Table) override;
  void ReleaseWork() override;

 private:
  struct TStreamValue;
  void WriteVersion(IzynMemTable* Table, TzynRecord* Record, bool Current);
  void ReadVersion(IzynMemTable* Table, TzynRecord* Record);
  void ReadValue(TStreamValue& Value);
  void StoreValue(IzynMemTable* Table, TzynRecord* Record, TField* Field, const TStreamValue& Value);
  void MapLoadFields(IzynMemTable* Table, bool StreamHasFields,
                     const std::vector<AnsiString>& StreamFields);

  int FBufferSize = 16384;
  std::unique_ptr<TWriter> FWriter;
  std::unique_ptr<TReader> FReader;
  int32_t FVersion = FileVersion;
  bool FEmptyStream = false;
  bool FIndexDefsRead = false;
  // Per value in a stream version: the table field it fills, or null.
  std::vector<TField*> FLoadTargets;
};

class TzynBinaryStreamFormat : public TzynCustomBinaryStreamFormat {
 public:
  using TzynCustomBinaryStreamFormat::TzynCustomBinaryStreamFormat;
};
