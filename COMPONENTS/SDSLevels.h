// The level stack of a server-backed dataset's record hierarchy: one item
// per level entered, the last one the level shown, each keeping the values
// its parent record had when the level was entered. The dataset's own level
// operations (LevelDown, LevelUp, GotoID, LocateInTree, ChangeParent, ...)
// are TSDS members, written in SDSLevels.cpp beside these classes.
#pragma once

#include <cstdint>

#include "db/DB.h"

class TLevelInfo : public TCollectionItem {
 public:
  explicit TLevelInfo(TCollection* ACollection) : TCollectionItem(ACollection) {}

  // The SYS$ID of the record whose children the level shows; 0 at the top.
  // 32 bits, as SYS$PID is in the schema.
  int32_t ParentID = 0;
  // One value per field of DataSet, in field order; Null when none was saved.
  Variant Values = Variant::Null();
  // The dataset the values were saved from; not owned.
  TDataSet* DataSet = nullptr;

  void Assign(TPersistent* Source) override;
  // Null without a dataset or when it has no field of that name.
  Variant FieldValue(const AnsiString& FieldName) const;
  // The dataset's current record values (only the dataset when it is closed).
  void SaveRecordValues(TDataSet* ADataSet);
};

class TLevelInfos : public TCollection {
 public:
  TLevelInfos() : TCollection(CollectionItemClass<TLevelInfo>()) {}
  TLevelInfo* Items(int Index) const { return static_cast<TLevelInfo*>(TCollection::Items(Index)); }
  TLevelInfo* Add() { return static_cast<TLevelInfo*>(TCollection::Add()); }
  TLevelInfo* Insert(int Index) { return static_cast<TLevelInfo*>(TCollection::Insert(Index)); }
  // The level shown; null when the stack is empty.
  TLevelInfo* Last() const { return Count() ? Items(Count() - 1) : nullptr; }
};
