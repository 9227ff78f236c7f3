#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts Diskwright.
# Arguments are handed to the program (an image file to open, for example).
set -euo pipefail
cd "$(dirname "$0")"
source tools/install-deps.sh
dw_install_missing
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target diskwright
exec build/bin/diskwright "$@"
