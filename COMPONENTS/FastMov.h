// Block copy of record and value buffers between separate areas. The engine
// calls it through FastMoveProc so the routine can be exchanged in one place.
#pragma once

#include <cstdint>

// Copies Count bytes (nothing when negative); returns Count.
int32_t FastMove(const void* Source, void* Dest, int32_t Count);

using TFastMoveProc = int32_t (*)(const void* Source, void* Dest, int32_t Count);
extern TFastMoveProc FastMoveProc;
