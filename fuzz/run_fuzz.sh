#!/bin/sh
# Runs the engine fuzz target for a bounded number of runs on a copy of the
# committed seed corpus.  Usage: fuzz/run_fuzz.sh BUILD_DIR [RUNS]
# BUILD_DIR is a clang build with -DDW_FUZZ=ON (see fuzz/CMakeLists.txt).
set -eu
build=${1:?usage: fuzz/run_fuzz.sh BUILD_DIR [RUNS]}
runs=${2:-20000}
here=$(cd "$(dirname "$0")" && pwd)
target="$build/bin/fuzz_engine"
[ -x "$target" ] || { echo "run_fuzz.sh: $target not built" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
# New inputs go to the scratch copy, never into the committed corpus; the
# engine's diagnostic lines (standard output) are dropped.
"$target" -runs="$runs" -max_len=20000 -close_fd_mask=1 -artifact_prefix="$work/" \
    "$work/corpus" "$here/corpus/engine" || {
    status=$?
    for crash in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
        [ -e "$crash" ] && { mkdir -p "$build/fuzz-artifacts"; cp "$crash" "$build/fuzz-artifacts/"; }
    done
    echo "run_fuzz.sh: fuzz_engine failed; inputs kept in $build/fuzz-artifacts" >&2
    exit $status
}
echo "run_fuzz.sh: $runs runs of fuzz_engine, no crash"
