#!/usr/bin/env bash
# Runs one Windows test program under Wine's X11 driver on a virtual display
# of its own, so what it captures is what a person would see.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
command -v Xvfb >/dev/null || { echo "xvfb-run: Xvfb is missing; run tools/setup.sh" >&2; exit 125; }
display=100
while [[ -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && break; sleep 0.1; done
[[ -e /tmp/.X11-unix/X$display ]] || { echo "xvfb-run: Xvfb did not start on :$display" >&2; exit 125; }
export DISPLAY=":$display"
"$here/../../tools/wine-run.sh" --x11 "$@"
