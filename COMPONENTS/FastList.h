// TFastList: a growable array of untyped pointers for the table engine's hot
// paths. No range checks, no notifications; the items are never owned.
#pragma once

#include <cstdint>

class TFastList {
 public:
  TFastList() = default;
  ~TFastList() { Clear(); }
  TFastList(const TFastList&) = delete;
  TFastList& operator=(const TFastList&) = delete;

  int32_t Count() const { return FCount; }
  // Lowering deletes from the end; raising zero-fills the new slots.
  void SetCount(int32_t NewCount);
  int32_t Capacity() const { return FCapacity; }
  // Callers lower Count first: the slots above the new capacity are dropped.
  void SetCapacity(int32_t NewCapacity);

  void* Items(int32_t Index) const { return FItems[Index]; }
  void SetItems(int32_t Index, void* Item) { FItems[Index] = Item; }
  void** List() const { return FItems; }

  int32_t Add(void* Item) {
    if (FCount == FCapacity) Grow();
    FItems[FCount] = Item;
    return FCount++;
  }
  void Insert(int32_t Index, void* Item);
  // The vacated last slot keeps its old value.
  void Delete(int32_t Index);
  int32_t IndexOf(const void* Item) const;
  void Clear();

 private:
  void Grow();

  void** FItems = nullptr;
  int32_t FCount = 0;
  int32_t FCapacity = 0;
};
