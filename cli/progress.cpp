// The progress bar on a terminal's standard error, and the Ctrl-C flag.
#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

struct Bar {
    bool Checked = false, Terminal = false, OutTerminal = false;
    bool Drawn = false;
    Clock::time_point Last;
};
Bar bar;

std::atomic<bool> interrupted{false};
bool catching = false;   // cli_CatchInterrupt was called
std::atomic<bool> stopping{false};   // Ctrl-C, or a failure that ends the run

int terminalWidth() {
    struct winsize size {};
    if (ioctl(2, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) return size.ws_col;
    return 80;
}

// The end of a path that fits in `room` columns, "..." before it when cut.
std::string fitted(const std::string &path, size_t room) {
    if (path.size() <= room) return path;
    if (room <= 3) return std::string(room, '.');
    size_t from = path.size() - (room - 3);
    while (from < path.size() && (uint8_t(path[from]) & 0xC0) == 0x80) from++;   // not inside a UTF-8 character
    return "..." + path.substr(from);
}

// Control characters of a host name would move the cursor: shown as "?".
std::string printable(const std::string &path) {
    std::string out = path;
    for (char &c : out)
        if (uint8_t(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

// Ctrl-C of a run that does not catch it: the bar is erased before the run
// ends as Ctrl-C ends it.
void eraseAndEnd(int) {
    static const char erase[] = "\r\033[K";
    ssize_t ignored = write(2, erase, sizeof erase - 1);
    (void)ignored;
    raise(SIGINT);   // the handler was reset on entry
}

void onInterrupt(int) {
    interrupted.store(true);
    stopping.store(true);
}

}   // namespace

void cli_ProgressShow(long done, long total, const std::string &path) {
    if (!bar.Checked) {
        bar.Checked = true;
        bar.Terminal = isatty(2) == 1;
        bar.OutTerminal = isatty(1) == 1;
        if (bar.Terminal && !catching) {
            struct sigaction action {};
            action.sa_handler = eraseAndEnd;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESETHAND;
            sigaction(SIGINT, &action, nullptr);
        }
    }
    if (!bar.Terminal) return;
    Clock::time_point now = Clock::now();
    if (bar.Drawn && now - bar.Last < std::chrono::milliseconds(100)) return;
    bar.Last = now;
    constexpr int cells = 20;
    std::string line;
    if (total > 0) {
        int filled = int(done * cells / total);
        line = "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "] ";
        line += std::to_string(done) + "/" + std::to_string(total);
    } else {
        line = std::to_string(done);
    }
    int width = terminalWidth() - 1;   // the last column would wrap on some terminals
    if (int(line.size()) + 2 < width) line += " " + fitted(printable(path), width - line.size() - 1);
    if (bar.OutTerminal) fflush(stdout);   // the lines written so far go above the bar
    fprintf(stderr, "\r%s\033[K", line.c_str());
    fflush(stderr);
    bar.Drawn = true;
}

void cli_ProgressClear() {
    if (!bar.Drawn) return;
    fputs("\r\033[K", stderr);
    fflush(stderr);
    bar.Drawn = false;
}

void cli_CatchInterrupt() {
    catching = true;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;   // the second Ctrl-C ends the run
    sigaction(SIGINT, &action, nullptr);
}

bool cli_Interrupted() { return interrupted.load(); }

void cli_StopRun() { stopping.store(true); }

const std::atomic<bool> *cli_StopFlag() { return &stopping; }
