#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite in a
# release build and again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the threaded parts under ThreadSanitizer, and the fuzz targets for a
# bounded number of runs.
set -euo pipefail
cd "$(dirname "$0")"
source tools/install-deps.sh
dw_install_missing
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

run_ctest() {   # folder [ctest arguments...]
  local folder=$1
  shift
  (cd "$folder" && ctest --output-on-failure -j"$jobs" --timeout 600 "$@")
}

echo "== Layers: no include reaches up"
python3 tools/check_layers.py

echo "== Release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
run_ctest build

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDW_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/sanitizer/lsan.supp" \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  run_ctest build-asan

echo "== ThreadSanitizer: the threaded parts (program thread, hand-over, queues, refresh)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDW_TSAN=ON -DDW_ONLY_TESTS="toolkit/base;toolkit/input;toolkit/display" >/dev/null
cmake --build build-tsan -j"$jobs" --target strings_tests event_tests display_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:history_size=4:suppressions="$PWD/tests/sanitizer/tsan.supp" \
  run_ctest build-tsan -R "ProgramThread|ThreadNumbers|MainThreadRunner|EventQueues|OutputPause|TypedStrings|QuitRequest|RefreshThread|WorkPool|JumpScroll"

echo "== Fuzzing"
if command -v clang++ >/dev/null 2>&1; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DDW_FUZZ=ON -DDW_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-fuzz -j"$jobs" \
    --target fuzz_engine fuzz_diskdefs fuzz_nibbles fuzz_dsk fuzz_imd fuzz_archive fuzz_font fuzz_print fuzz_line_input fuzz_catalog_lines
  fuzz/run_all.sh build-fuzz
fi
