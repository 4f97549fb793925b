// A table with a field of every stored type and rows that reach the ends
// of their ranges (nulls, long strings, blobs with zero bytes, Largeint
// +-(2^63-1)), shared by the stream tests, the dump for the independent
// reader and the benchmark's seeds.
#pragma once

#include "zynTestTable.h"

void FillTypedTable(TzynTestTable& Table, TzynPerformance Performance);
