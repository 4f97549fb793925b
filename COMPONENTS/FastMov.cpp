#include "FastMov.h"

#include <cstring>

int32_t FastMove(const void* Source, void* Dest, int32_t Count) {
  if (Count > 0) std::memcpy(Dest, Source, static_cast<size_t>(Count));
  return Count;
}

TFastMoveProc FastMoveProc = FastMove;
