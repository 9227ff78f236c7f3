#!/usr/bin/env bash
# The layer check passes on the tree, and refuses an engine file that
# includes an input header (once by name, once by a relative path).
set -u
check=$1 root=$2
"$check" "$root" || { echo "the tree itself fails the layer check"; exit 1; }
fake=$(mktemp -d); trap 'rm -rf "$fake"' EXIT
mkdir -p "$fake/engine" "$fake/toolkit/input" "$fake/toolkit/base"
touch "$fake/toolkit/input/events.h" "$fake/toolkit/base/text.h"
printf '#include "text.h"\n' > "$fake/engine/fine.cpp"
"$check" "$fake" || { echo "a clean tree was refused"; exit 1; }
for line in '#include "events.h"' '#include "../toolkit/input/events.h"'; do
  printf '%s\n' "$line" > "$fake/engine/upward.cpp"
  out=$("$check" "$fake") && { echo "not refused: $line"; exit 1; }
  grep -q 'engine/upward.cpp: includes .* of toolkit/input' <<<"$out" || { echo "unclear: $out"; exit 1; }
done
echo "layer check: clean tree passes, upward includes refused"
