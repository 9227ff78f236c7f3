#!/bin/sh
# Makes a disk of every definition of the system's diskdefs file with
# cpmtools (mkfs.cpm, two files put in by cpmcp), then opens it with
# diskwright-cli without naming a format and compares what it reads with
# what cpmtools wrote.  One line a definition, then a summary:
#   NAME -> DEFINITION-READ  unclear=0|1  same=y|n
# Usage: tools/sweep_diskdefs.sh BUILD_DIR [MAX_BYTES]   (default 20 MB)
set -u
cli=$(cd "${1:?usage: tools/sweep_diskdefs.sh BUILD_DIR [MAX_BYTES]}" && pwd)/bin/diskwright-cli
max=${2:-20000000}
command -v mkfs.cpm >/dev/null || { echo "sweep_diskdefs.sh: cpmtools is not installed" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2
seq 1 3000 >f1.txt
head -c 700 /dev/urandom | base64 >f2.txt
want=$(md5sum <f1.txt)
"$cli" formats | awk '$2 ~ /^[0-9.]+$/ && $NF !~ /built-in/ {gsub(/\./, "", $2); print $1, $2}' >defs.txt
while read -r name bytes; do
    [ "$bytes" -le "$max" ] || continue
    rm -f d.img
    head -c "$bytes" /dev/zero | tr '\0' '\345' >d.img
    if ! mkfs.cpm -f "$name" d.img >/dev/null 2>&1 || ! cpmcp -f "$name" d.img f1.txt f2.txt 0: >/dev/null 2>&1; then
        echo "$name cpmtools-failed"
        continue
    fi
    read_as=$("$cli" info d.img 2>/dev/null | awk '/^Definition:/ {print $2}')
    unclear=$("$cli" info d.img 2>&1 >/dev/null | grep -c "Format unclear")
    got=$("$cli" type d.img F1.TXT 2>/dev/null | md5sum)
    same=n
    [ "$got" = "$want" ] && same=y
    echo "$name -> $read_as unclear=$unclear same=$same"
done <defs.txt >report.txt 2>/dev/null
cat report.txt
awk '/cpmtools-failed/ {f++; next} {n++} /same=y/ {s++; if ($1 == $3) e++} /unclear=1 same=n/ {u++}
     /unclear=0 same=n/ {w++}
     END {printf "%d made by cpmtools (%d failed in cpmtools): %d read as cpmtools reads them (%d as that very definition), %d unclear and read-only, %d differ while writable\n", n, f, s, e, u, w}' report.txt
