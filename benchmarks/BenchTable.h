#pragma once
// The table the database benchmarks print: one row per road, in rows/s.

#include <chrono>
#include <cstdio>

using BenchClock = std::chrono::steady_clock;

inline double SecondsSince(BenchClock::time_point Start) {
  return std::chrono::duration<double>(BenchClock::now() - Start).count();
}

inline void PrintBenchRow(const char* Road, long long Rows, double Seconds) {
  std::printf("| %-34s | %9lld | %8.3f | %11.0f |\n", Road, Rows, Seconds, Rows / Seconds);
}
