#!/usr/bin/env bash
# The layer check passes on the tree, refuses an engine file that includes
# an input header (once by name, once by a relative path), and refuses two
# host files that include each other.
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
rm "$fake/engine/upward.cpp"
mkdir -p "$fake/toolkit/host"
printf '#include "b.h"\n' > "$fake/toolkit/host/a.cpp"; touch "$fake/toolkit/host/a.h"
printf '#include "c.h"\n' > "$fake/toolkit/host/b.cpp"; touch "$fake/toolkit/host/b.h"
touch "$fake/toolkit/host/c.h"
"$check" "$fake" || { echo "host files without a circle were refused"; exit 1; }
printf '#include "a.h"\n' > "$fake/toolkit/host/c.cpp"
out=$("$check" "$fake") && { echo "not refused: an include circle in the host"; exit 1; }
grep -q 'toolkit/host: include circle a -> b -> c -> a' <<<"$out" || { echo "unclear: $out"; exit 1; }
echo "layer check: clean tree passes, upward includes and host include circles refused"
