#include "FastList.h"

#include <cstdlib>
#include <cstring>
#include <new>

void TFastList::Grow() { SetCapacity(FCapacity < 129 ? FCapacity + 32 : FCapacity + FCapacity / 4); }

void TFastList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity == FCapacity) return;
  if (NewCapacity <= 0) {
    std::free(FItems);
    FItems = nullptr;
  } else {
    void* grown = std::realloc(FItems, sizeof(void*) * static_cast<size_t>(NewCapacity));
    if (!grown) throw std::bad_alloc();
    FItems = static_cast<void**>(grown);
  }
  FCapacity = NewCapacity > 0 ? NewCapacity : 0;
}

void TFastList::SetCount(int32_t NewCount) {
  if (NewCount > FCapacity) SetCapacity(NewCount);
  if (NewCount > FCount)
    std::memset(FItems + FCount, 0, sizeof(void*) * static_cast<size_t>(NewCount - FCount));
  FCount = NewCount < 0 ? 0 : NewCount;
}

void TFastList::Insert(int32_t Index, void* Item) {
  if (FCount == FCapacity) Grow();
  if (Index < FCount)
    std::memmove(FItems + Index + 1, FItems + Index,
                 sizeof(void*) * static_cast<size_t>(FCount - Index));
  FItems[Index] = Item;
  ++FCount;
}

void TFastList::Delete(int32_t Index) {
  --FCount;
  if (Index < FCount)
    std::memmove(FItems + Index, FItems + Index + 1,
                 sizeof(void*) * static_cast<size_t>(FCount - Index));
}

int32_t TFastList::IndexOf(const void* Item) const {
  for (int32_t i = 0; i < FCount; ++i)
    if (FItems[i] == Item) return i;
  return -1;
}

void TFastList::Clear() {
  FCount = 0;
  SetCapacity(0);
}
