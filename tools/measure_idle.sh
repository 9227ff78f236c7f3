#!/usr/bin/env bash
# Measures the program's CPU share while it waits at the command prompt:
# starts it under Xvfb with a small image, opens the image, waits, and reads
# the process's CPU time over the given number of seconds (default 10).
# SCREEN is the Xvfb screen (default 1600x1000, where the window is at 1x;
# 1366x768 shows the picture scaled).
# DW_DISPLAY chooses the X display number (default a random one of :90-:98).
# Usage: tools/measure_idle.sh [BUILD_DIR] [SECONDS] [SCREEN]
set -euo pipefail
build=${1:-build}
seconds=${2:-10}
screen=${3:-1600x1000}
work=$(mktemp -d)
display=${DW_DISPLAY:-:$((90 + RANDOM % 9))}
cleanup() { kill "$app" "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
"$build/bin/diskwright-cli" new "$work/IDLE.DSK" 128 >/dev/null
Xvfb "$display" -screen 0 "${screen}x24" >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display XDG_CONFIG_HOME=$work "$build/bin/diskwright" "$work/IDLE.DSK" >"$work/log" 2>&1 &
app=$!
sleep 2
DISPLAY=$display xdotool key Return
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "idle CPU at the prompt: %.2f%% of one core over %d s\n", 100 * t / hz / s, s }'
