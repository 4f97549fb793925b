#!/usr/bin/env bash
# Sets everything up, builds both targets (and the sanitized native build) and
# runs every test. Exits non-zero when any build or test fails.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

tools/setup.sh

start=$(date +%s)
status=0
for preset in native native-asan win32; do
  echo "=== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -- -k 0
  echo "=== $preset: test"
  ctest --preset "$preset" || status=1
done
echo "=== all tests took $(($(date +%s) - start)) s"
exit $status
