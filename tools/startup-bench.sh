#!/usr/bin/env bash
# Start-up benchmark: the time from starting a program under Wine with the X11
# driver on a virtual display until the X server maps its main window, taken
# from the server's own map events (xev), so no polling delays or forks weigh
# on the figure. Keystall and a trivial window (benchmarks/TrivialWindow.cpp)
# are started in turn under the same prefix and display, one warm-up each,
# then the given number of runs each, alternating; their medians, spreads and
# ratio are printed side by side, in each Windows flavour this machine runs.
#   tools/startup-bench.sh [runs, default 9]
# KS_BENCH_PREFIX32 / KS_BENCH_PREFIX64 name another prefix with the X11
# driver than the flavour's run prefix. The prefix's Wine server is restarted
# on this display, so nothing else should be running in it.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$ROOT/tools/wine-env.sh"
RUNS="${1:-9}"

command -v Xvfb >/dev/null && command -v xwininfo >/dev/null ||
  { echo "startup-bench: Xvfb and xwininfo are needed; run tools/setup.sh" >&2; exit 1; }

display=120
while [[ -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
program= xev=
trap '[[ -n "$program" ]] && kill "$program" 2>/dev/null; [[ -n "$xev" ]] && kill "$xev" 2>/dev/null
      kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done
export DISPLAY=":$display"

# The map events of the screen's top-level windows, read as they come.
exec {events}< <(exec stdbuf -oL xev -root -event substructure 2>/dev/null)
xev=$!
sleep 0.2

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# True when a top-level window of `class` with a title of its own is viewable.
viewable() { # <class>
  local id
  for id in $(xwininfo -root -children 2>/dev/null |
              grep -F "(\"$1\"" | grep -v -e '"Default IME"' -e '(has no name)' |
              awk '{print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
  done
  return 1
}

# True when `id` is a window of `class` with a title of its own.
is_main_window() { # <id> <class>
  local props
  props=$(xprop -id "$1" WM_CLASS WM_NAME 2>/dev/null) || return 1
  grep -qF "\"$2\"" <<<"$props" && ! grep -q -e '"Default IME"' -e 'WM_NAME:  not found' <<<"$props"
}

# Milliseconds from the start of `exe` to the map of its window; the program
# is ended afterwards.
startup_ms() { # <exe> <class>
  local start elapsed line mapped= id
  while read -r -t 0.05 -u "$events" line; do :; done  # what came before
  start=$(now_ms)
  (cd "$(dirname "$1")" && exec "$WINELOADER" "$1" >/dev/null 2>&1) &
  program=$!
  elapsed=
  while [[ -z "$elapsed" ]]; do
    if ! read -r -t 30 -u "$events" line; then
      echo "startup-bench: no window of $2 within 30 s" >&2
      exit 1
    fi
    if [[ "$line" == MapNotify* ]]; then
      mapped=$(now_ms)
    elif [[ -n "$mapped" && "$line" =~ window\ (0x[0-9a-f]+),\ override ]]; then
      id=${BASH_REMATCH[1]}
      is_main_window "$id" "$2" && elapsed=$((mapped - start))
      mapped=
    else
      mapped=
    fi
  done
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  program=
  # The next run starts on a quiet server.
  while viewable "$2"; do sleep 0.01; done
  echo "$elapsed"
}

spread() { printf '%s\n' "$@" | sort -n | sed -n '1p;$p' | paste -sd-; }
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }

for flavour in $(ks_wine_flavours); do
  ks_use_flavour "$flavour"
  if [[ "$flavour" == win32 ]]; then prefix="${KS_BENCH_PREFIX32:-$KS_RUN_PREFIX}"
  else prefix="${KS_BENCH_PREFIX64:-$KS_RUN_PREFIX}"; fi
  export WINEPREFIX="$prefix"
  [[ -f "$WINEPREFIX/.ks-ready" ]] ||
    { echo "startup-bench: the $flavour prefix $WINEPREFIX is missing; run tools/setup.sh" >&2; exit 1; }
  (cd "$ROOT" && cmake --preset "$flavour" >/dev/null &&
    cmake --build --preset "$flavour" --target Keystall trivial_window >/dev/null)
  bin="$ROOT/build/$flavour/bin"
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p </dev/null >/dev/null 2>&1

  startup_ms "$bin/trivial_window.exe" trivial_window.exe >/dev/null
  startup_ms "$bin/Keystall.exe" keystall.exe >/dev/null
  trivial=() keystall=()
  for _ in $(seq "$RUNS"); do
    trivial+=("$(startup_ms "$bin/trivial_window.exe" trivial_window.exe)")
    keystall+=("$(startup_ms "$bin/Keystall.exe" keystall.exe)")
  done
  wineserver -k || true

  t=$(printf '%s\n' "${trivial[@]}" | median)
  k=$(printf '%s\n' "${keystall[@]}" | median)
  echo "$flavour, $RUNS runs each (ms): trivial window ${trivial[*]}"
  echo "$flavour, $RUNS runs each (ms): Keystall       ${keystall[*]}"
  LC_ALL=C awk -v f="$flavour" -v t="$t" -v k="$k" -v ts="$(spread "${trivial[@]}")" \
    -v ks="$(spread "${keystall[@]}")" \
    'BEGIN {printf "%s medians: trivial window %d ms (%s), Keystall %d ms (%s), ratio %.2f\n", f, t, ts, k, ks, k / t}'
done
