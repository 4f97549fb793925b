#!/usr/bin/env bash
# The in-memory table engine beside SQLite's :memory: database, one run,
# Markdown tables (not a test); the runs of deletes are always at 50,000,
# 100,000 and 200,000 records.
#   tools/memtable-bench.sh [records, default 1000000] [build dir, default build/bench-native]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
COUNT="${1:-1000000}"
BUILD="${2:-$ROOT/build/bench-native}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

cmake --preset native -B "$BUILD" >/dev/null
cmake --build "$BUILD" --target memtable_bench >/dev/null
"$BUILD/bin/memtable_bench" "$COUNT" "$WORK"
