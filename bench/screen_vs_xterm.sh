#!/usr/bin/env bash
# Long screen output against a terminal, both under one Xvfb in one run.
#
#   bench/screen_vs_xterm.sh [BUILD_DIR] [RUNS] [DISPLAY_NUMBER]
#
# H(exdump of a 256 KB file and P(rint of a 452 KB text file in diskwright,
# timed from the Return that ends the file name to the moment the last line
# is on the screen, read back through Edit > Copy Text (Control-Shift-C) and
# the clipboard.  xterm (80x25) gets the same lines: a program inside it
# writes them to its terminal and then asks for the cursor position (ESC [6n);
# it is timed from its first byte written to the terminal's answer, so
# xterm's start-up is not counted.  Prints the median of RUNS runs of each.
#
# Needs Xvfb, xdotool, xclip, xterm and python3 (tools/install-deps.sh).
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-5}
DISPLAY_NUMBER=${3:-60}
APP="$BUILD/bin/diskwright"
CLI="$BUILD/bin/diskwright-cli"
for tool in Xvfb xdotool xclip xterm python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (tools/install-deps.sh)" >&2; exit 1; }
done
[ -x "$APP" ] && [ -x "$CLI" ] || { echo "build $APP and $CLI first" >&2; exit 1; }

WORK=$(mktemp -d)
XVFB_PID=""
cleanup() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb ":$DISPLAY_NUMBER" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$DISPLAY_NUMBER"
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.05; done
if command -v openbox >/dev/null; then openbox >/dev/null 2>&1 & fi

# The files: 256 KB of every byte value, and 452 KB of text lines ending in
# CR LF, on a 2048K volume.
python3 - "$WORK" <<'EOF'
import sys, random
work = sys.argv[1]
random.seed(32)
open(work + "/DATA.BIN", "wb").write(bytes(random.randrange(256) for _ in range(256 * 1024)))
words = ["disk", "sector", "track", "volume", "block", "the", "of", "a", "directory", "extent", "CP/M", "file"]
out, n = bytearray(), 0
while len(out) < 452 * 1024:
    line = "%05d " % n + " ".join(random.choice(words) for _ in range(random.randrange(3, 10)))
    out += line.encode() + b"\r\n"
    n += 1
open(work + "/TEXT.TXT", "wb").write(bytes(out[:452 * 1024]))
EOF
"$CLI" new "$WORK/WORK.DSK" 2048 >/dev/null
"$CLI" put "$WORK/WORK.DSK" "$WORK/DATA.BIN" "$WORK/TEXT.TXT" >/dev/null

# A home and runtime folder of its own: no settings are kept, and a program
# started elsewhere does not take over the launch.
mkdir -m 700 "$WORK/runtime"
XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home" RUNS="$RUNS" APP="$APP" CLI="$CLI" WORK="$WORK" python3 - <<'EOF'
import os, subprocess, sys, time, statistics

work, app, cli, runs = os.environ["WORK"], os.environ["APP"], os.environ["CLI"], int(os.environ["RUNS"])
os.makedirs(os.environ["HOME"], exist_ok=True)

def screen_lines_hexdump():
    lines = subprocess.run([cli, "dump", work + "/WORK.DSK", "DATA.BIN"], capture_output=True, check=True).stdout
    return [l.rstrip(b"\r") for l in lines.split(b"\n") if l]

def screen_lines_print():
    # What P shows: every control byte as its letter (M, J), a new line after M.
    data = open(work + "/TEXT.TXT", "rb").read()
    return [l + b"MJ" for l in data.split(b"\r\n")[:-1]] + ([data.split(b"\r\n")[-1]] if not data.endswith(b"\r\n") else [])

# --- xterm -------------------------------------------------------------------
INNER = r'''
import os, sys, termios, time, tty
text, result = open(sys.argv[1], "rb").read(), sys.argv[2]
fd = os.open("/dev/tty", os.O_RDWR)
old = termios.tcgetattr(fd)
tty.setraw(fd)
start = time.monotonic()
view = memoryview(text)
while view:
    view = view[os.write(fd, view):]
os.write(fd, b"\x1b[6n")
answer = b""
while not answer.endswith(b"R"):
    answer += os.read(fd, 32)
elapsed = time.monotonic() - start
termios.tcsetattr(fd, termios.TCSADRAIN, old)
open(result, "w").write("%.6f %s" % (elapsed, answer[2:-1].decode()))
'''

def xterm_time(lines, name):
    textfile, result = work + "/" + name + ".xterm", work + "/" + name + ".result"
    open(textfile, "wb").write(b"\r\n".join(lines) + b"\r\n")
    open(work + "/inner.py", "w").write(INNER)
    if os.path.exists(result): os.remove(result)
    subprocess.run(["xterm", "-geometry", "80x25", "-e", sys.executable, work + "/inner.py", textfile, result],
                   check=True, timeout=120)
    return float(open(result).read().split()[0])

# --- diskwright ----------------------------------------------------------------
def xdo(*args):
    subprocess.run(["xdotool", *args], check=True, capture_output=True)

def copy_text(window):
    xdo("key", "--window", window, "ctrl+shift+c")
    r = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True)
    return r.stdout.decode("utf-8", "replace")

def wait_for(window, text, timeout=30):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if text in copy_text(window): return True
        time.sleep(0.02)
    raise SystemExit("diskwright did not show: " + text)

def app_time(command, filename, last_line):
    proc = subprocess.Popen([app, work + "/WORK.DSK"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = ""
        for _ in range(200):
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Diskwright"], capture_output=True, text=True)
            if r.stdout.split():
                window = r.stdout.split()[0]
                break
            time.sleep(0.05)
        if not window: raise SystemExit("no diskwright window")
        xdo("windowactivate", "--sync", window)
        wait_for(window, "WORK.DSK")
        xdo("key", "--window", window, "Return")
        wait_for(window, "Volume Name:")
        xdo("type", "--window", window, command)
        wait_for(window, "Please enter filename:")
        xdo("type", "--window", window, filename)
        time.sleep(0.2)
        start = time.monotonic()
        xdo("key", "--window", window, "Return")
        # Polls every 10 ms: the copies themselves cost the program a little.
        while last_line not in copy_text(window): time.sleep(0.01)
        elapsed = time.monotonic() - start
        return elapsed
    finally:
        proc.terminate()
        proc.wait(timeout=10)

hexdump, printed = screen_lines_hexdump(), screen_lines_print()
cases = [("H of a 256 KB file", "h", "data.bin", hexdump), ("P of a 452 KB text file", "p", "text.txt", printed)]
for title, command, filename, lines in cases:
    ours, theirs = [], []
    for _ in range(runs):
        theirs.append(xterm_time(lines, command))
        ours.append(app_time(command, filename, lines[-1].decode("latin-1")))
    o, t = statistics.median(ours), statistics.median(theirs)
    print("%-24s %6d lines  diskwright %7.3f s (%s)  xterm %7.3f s (%s)  ratio %5.2fx (target <= 2x)%s" % (
        title, len(lines), o, " ".join("%.3f" % x for x in ours), t, " ".join("%.3f" % x for x in theirs),
        o / t, "" if o <= 2 * t else "  OVER"))
EOF
