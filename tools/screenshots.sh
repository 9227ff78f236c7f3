#!/usr/bin/env bash
# Takes the README screenshots: starts the program under Xvfb on a small
# sample volume, types the commands with xdotool and captures the toolkit
# window with ImageMagick's import into docs/*.png.
# Needs: xvfb, xdotool, imagemagick.  Usage: tools/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=docs
work=$(mktemp -d)
display=:$((80 + RANDOM % 9))
app="" xvfb=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A sample volume with a few files, alone in its folder.
mkdir "$work/Disks"
image="$work/Disks/SAMPLE.DSK"
"$build/bin/diskwright-cli" new "$image" 256 >/dev/null
printf 'Diskwright keeps CP/M disk images in order.\r\n' >"$work/README.TXT"
head -c 5000 /dev/urandom >"$work/GAME.COM"
seq 1 400 | tr '\n' ' ' >"$work/NUMBERS.DAT"
printf 'PRINT "HELLO, CP/M"\r\n' >"$work/HELLO.BAS"
(cd "$work" && "$OLDPWD/$build/bin/diskwright-cli" put "$image" README.TXT GAME.COM NUMBERS.DAT HELLO.BAS >/dev/null)
rm "$work"/*.*

Xvfb "$display" -screen 0 1600x1000x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=$display
"$build/bin/diskwright" "$image" >"$work/log" 2>&1 &
app=$!
sleep 3

# The toolkit window (window 0) is the largest visible window of the program.
window() {
  local best="" area=0 id w h
  for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    w=$WIDTH h=$HEIGHT
    if [ $((w * h)) -gt "$area" ]; then area=$((w * h)); best=$id; fi
  done
  echo "$best"
}
shot() {   # name
  sleep 1
  import -window "$(window)" "$out/$1.png"
  echo "$out/$1.png"
}
key() { xdotool key --delay 150 "$@"; sleep 0.5; }

shot browser            # the catalogue browser on the sample's folder
key Return              # open the image
shot prompt
key d
shot directory
key space l
shot long-directory
key space s
shot sector-map
key space question question
shot prompt-3
