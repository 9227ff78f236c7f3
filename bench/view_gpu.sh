#!/usr/bin/env bash
# Compares the processor time of a scaled picture drawn through OpenGL (Mesa's
# software renderer under Xvfb, or whatever GL the display offers) with the
# processor scaler, alternating, several runs each.  Builds the probe with
# g++ against Qt and libGL.  DW_DISPLAY chooses the X display (default :93).
# Needs: xvfb, libgl-dev (libgl1-mesa-dev), qt6-base-dev.
# Usage: bench/view_gpu.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
display=${DW_DISPLAY:-:93}
work=$(mktemp -d)
xvfb=""
cleanup() { [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
g++ -std=c++20 -O2 -fPIC -Itoolkit/display $(pkg-config --cflags Qt6Gui) toolkit/host/probes/view_gpu.cpp \
  toolkit/display/picture_scale.cpp $(pkg-config --libs Qt6Gui) -lGL -o "$work/view_gpu"
Xvfb "$display" -screen 0 2560x1600x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
for i in $(seq "$runs"); do
  for mode in gl cpu; do
    printf '%-4s %s\n' "$mode" "$(DISPLAY=$display "$work/view_gpu" "$mode" 2>/dev/null | tr '\n' ' ')"
  done
done
