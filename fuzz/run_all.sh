#!/bin/sh
# Runs every fuzz target for a bounded number of runs, each on a scratch copy
# of its committed seed corpus, with a time limit per input; fails on the
# first crash, leak, timeout or out-of-memory input and keeps it in
# BUILD_DIR/fuzz-artifacts.  Usage: fuzz/run_all.sh BUILD_DIR [SCALE]
# BUILD_DIR is a clang build with -DDW_FUZZ=ON (see fuzz/CMakeLists.txt);
# SCALE multiplies every run count (default 1: under two minutes on 2 idle cores).
set -eu
build=${1:?usage: fuzz/run_all.sh BUILD_DIR [SCALE]}
scale=${2:-1}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# target  corpus folder  runs  longest input
targets="
fuzz_engine engine 6000 20000
fuzz_diskdefs diskdefs 100000 2048
fuzz_nibbles nibbles 600 8192
fuzz_dsk dsk 20000 16384
fuzz_imd imd 20000 16384
fuzz_archive archive 20000 8192
fuzz_font font 100000 4096
fuzz_print print 40000 2048
fuzz_line_input line_input 20000 512
fuzz_catalog_lines catalog_lines 100000 512
"

echo "$targets" | while read -r target corpus runs maxlen; do
    [ -n "$target" ] || continue
    binary="$build/bin/$target"
    [ -x "$binary" ] || { echo "run_all.sh: $binary not built" >&2; exit 2; }
    mkdir -p "$work/$corpus"
    start=$(date +%s)
    # New inputs go to the scratch copy, never into the committed corpus;
    # the diagnostic lines (standard output) are dropped.
    if ! "$binary" -runs=$((runs * scale)) -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 \
        -close_fd_mask=1 -artifact_prefix="$work/$target-" "$work/$corpus" "$here/corpus/$corpus" \
        >"$work/$target.log" 2>&1; then
        tail -n 40 "$work/$target.log" >&2
        mkdir -p "$build/fuzz-artifacts"
        for kept in "$work/$target"-*; do [ -e "$kept" ] && cp "$kept" "$build/fuzz-artifacts/"; done
        echo "run_all.sh: $target failed; inputs kept in $build/fuzz-artifacts" >&2
        exit 1
    fi
    echo "run_all.sh: $((runs * scale)) runs of $target, no crash ($(($(date +%s) - start)) s)"
done
