// Text cells and scrolls that wait for the next picture.
#include "jump_scroll.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "glyphs.h"
#include "video_memory.h"

static std::atomic<bool> jumpOn{false};
static std::recursive_mutex pixelLock;

// What waits in one window.  Cells and Lines are set by the program thread
// without the lock and taken by whoever draws (with the lock); the rest is
// changed only with the lock held.
struct Pending {
    std::vector<uint8_t> Cells;   // per cell of the grid: its pixels are not drawn yet
    std::vector<uint8_t> Lines;   // per line: one of its cells waits
    int Columns = 0, Rows = 0;    // the grid the flags are kept for
    int Scrolled = 0;             // lines the area's pixel rows still move up
    int First = 0, Last = 0;      // the area they move in
    std::atomic<bool> Waiting{false};
};
static Pending pending[8];

static void setFlag(uint8_t &flag) { std::atomic_ref<uint8_t>(flag).store(1, std::memory_order_release); }
static bool takeFlag(uint8_t &flag) { return std::atomic_ref<uint8_t>(flag).exchange(0, std::memory_order_acq_rel); }

std::unique_lock<std::recursive_mutex> t_LockPixels() { return std::unique_lock<std::recursive_mutex>(pixelLock); }

bool t_JumpScrolling() { return jumpOn.load(std::memory_order_relaxed); }

void t_SetJumpScroll(bool on) {
    auto hold = t_LockPixels();
    jumpOn = on;
    if (!on) t_ShowAllPendingTextLocked();
}

bool t_TextWaiting(uint8_t window) { return window < 8 && pending[window].Waiting.load(std::memory_order_acquire); }

void t_DiscardPendingText(uint8_t window) {
    if (window > 7) return;
    Pending &p = pending[window];
    p.Waiting = false;
    std::fill(p.Cells.begin(), p.Cells.end(), 0);
    std::fill(p.Lines.begin(), p.Lines.end(), 0);
    p.Scrolled = 0;
}

// Flags for the window's grid; a changed grid forgets what waited (its
// window was made again and cleared).  With the lock held.
static Pending &flagsFor(uint8_t window, const t_Window &w) {
    Pending &p = pending[window];
    if (p.Columns != w.TextWidth || p.Rows != w.TextHeight) {
        p.Columns = std::max(0, w.TextWidth);
        p.Rows = std::max(0, w.TextHeight);
        p.Cells.assign(size_t(p.Columns) * size_t(p.Rows), 0);
        p.Lines.assign(size_t(p.Rows), 0);
        p.Scrolled = 0;
        p.Waiting = false;
    }
    return p;
}

void t_MarkCell(uint8_t window, const t_Window &w, int column, int line) {
    Pending *p = &pending[window];
    if (p->Columns != w.TextWidth || p->Rows != w.TextHeight) {
        auto hold = t_LockPixels();
        p = &flagsFor(window, w);
    }
    setFlag(p->Cells[size_t(line - 1) * size_t(p->Columns) + size_t(column - 1)]);
    setFlag(p->Lines[size_t(line - 1)]);
    p->Waiting.store(true, std::memory_order_release);
}

// Pixel bytes of one text line, 0 when the area's rows do not lie in the
// graphic block (then they are not moved, as a scroll would not move them).
static int64_t lineBytes(const t_Window &w, int last) {
    const int64_t bytes = int64_t(w.Font.Height) * t_RowBytes(w);
    const int64_t blockBytes = int64_t(w.MemoryEnd) - w.MemoryStart + 1;
    return bytes <= 0 || bytes * last > blockBytes ? 0 : bytes;
}

void t_ShowPendingTextLocked(uint8_t window) {
    if (window > 7) return;
    Pending &p = pending[window];
    if (!p.Waiting.exchange(false, std::memory_order_acq_rel)) return;
    const t_Window &w = t_WindowTable[window];
    if (!t_Load(w.Initialized) || w.TextMemoryStart < 0 || p.Columns != w.TextWidth || p.Rows != w.TextHeight) {
        t_DiscardPendingText(window);
        return;
    }
    if (p.Scrolled > 0) {
        // Lines First+n..Last move to First..Last-n; the lines below them
        // are all marked, as every scroll marked the line it filled.
        const int n = p.Scrolled, height = p.Last - p.First + 1;
        const int64_t bytes = lineBytes(w, p.Last);
        if (n < height && bytes > 0) {
            const size_t upper = size_t(w.MemoryStart) + size_t(bytes) * size_t(p.First - 1);
            t_VideoMove(upper + size_t(bytes) * size_t(n), upper, size_t(bytes) * size_t(height - n));
        }
        p.Scrolled = 0;
    }
    for (int line = 1; line <= p.Rows; line++) {
        if (!takeFlag(p.Lines[size_t(line - 1)])) continue;
        uint8_t *cells = p.Cells.data() + size_t(line - 1) * size_t(p.Columns);
        for (int column = 1; column <= p.Columns; column++)
            if (takeFlag(cells[column - 1])) t_DrawCell(w, column, line);
    }
    t_VideoMemoryChanged();
}

void t_ShowAllPendingTextLocked() {
    for (uint8_t n = 0; n < 8; n++) t_ShowPendingTextLocked(n);
}

void t_ShowPendingText(uint8_t window) {
    if (!t_TextWaiting(window)) return;
    auto hold = t_LockPixels();
    t_ShowPendingTextLocked(window);
}

void t_JumpScrollUp(uint8_t window, const t_Window &w) {
    Pending &p = flagsFor(window, w);
    const int first = w.TextFirstLine, last = w.TextLastLine, columns = w.TextWidth;
    // A scroll of another area cannot be counted with the waiting ones.
    if (p.Scrolled > 0 && (p.First != first || p.Last != last)) t_ShowPendingTextLocked(window);
    p.First = first;
    p.Last = last;
    const size_t lineCells = size_t(columns), moved = lineCells * size_t(last - first);
    const size_t upper = lineCells * size_t(first - 1);
    for (int plane : {t_ColorPlane(w), w.TextMemoryStart})
        t_VideoMove(size_t(plane) + upper + lineCells, size_t(plane) + upper, moved);
    // The marks move with their cells; the freed last line waits whole.
    memmove(p.Cells.data() + upper, p.Cells.data() + upper + lineCells, moved);
    memmove(p.Lines.data() + first - 1, p.Lines.data() + first, size_t(last - first));
    std::fill_n(p.Cells.data() + lineCells * size_t(last - 1), lineCells, uint8_t(1));
    p.Lines[size_t(last - 1)] = 1;
    if (lineBytes(w, last) > 0) p.Scrolled = std::min(p.Scrolled + 1, last - first + 1);
    p.Waiting.store(true, std::memory_order_release);
}
