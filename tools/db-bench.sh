#!/usr/bin/env bash
# Read benchmark of the database client: BIG_TABLE's 100,000 rows through
# the layer's typed getters, through the client library's own fetch loop,
# into a server-backed dataset (open, reload, cache file) and through isql-fb (output to /dev/null; an empty select shows its
# start-up). One run, a Markdown table.
#   tools/db-bench.sh [build dir, default build/bench-native]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build/bench-native}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

cmake --preset native -B "$BUILD" >/dev/null
cmake --build "$BUILD" --target db_bench sds_bench >/dev/null

DB="$WORK/bench.fdb"
start=$(date +%s.%N)
"$ROOT/tools/make-test-db.sh" "$DB" "$ROOT"/tests/db/{schema,server-functions,comment,rows}.sql
echo "test database built in $(echo "$(date +%s.%N) - $start" | bc) s"
echo

"$BUILD/bin/db_bench" "$DB"
TEMP="$WORK" "$BUILD/bin/sds_bench" "$DB"

isql_time() {
  echo "$1" >"$WORK/q.sql"
  local t0 t1
  t0=$(date +%s.%N)
  ISC_USER=SYSDBA isql-fb -q -ch WIN1251 -i "$WORK/q.sql" -o /dev/null "$DB"
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc
}
columns="SYS\$ID, SYS\$PID, SYS\$STATE, SYS\$TIME, NAME, QTY, PRICE, RATE, DAY_DATE"
full=$(isql_time "select $columns from BIG_TABLE;")
empty=$(isql_time "select $columns from BIG_TABLE where 1 = 0;")
printf '| %-34s | %9s | %8.3f | %11.0f |\n' "isql-fb -o /dev/null (+start-up)" 100000 "$full" \
  "$(echo "100000 / $full" | bc)"
printf '| %-34s | %9s | %8.3f | %11s |\n' "isql-fb, empty select (start-up)" 0 "$empty" ""
