// The video memory, the window table, the palette and block allocation.
#include "video_memory.h"

#include <chrono>
#include <cstring>

#include "log.h"
#include "host_hooks.h"
#include "jump_scroll.h"
#include "text.h"
#include "threads.h"

std::vector<uint8_t> t_VideoMemory;
int t_HighMemory = 0;
std::array<t_Window, 8> t_WindowTable;
std::atomic<bool> t_MemoryInitialized{false};
std::atomic<bool> t_MemoryReady{false};
std::atomic<uint8_t> t_DefaultWindow{t_NoWindow};
std::atomic<bool> t_AutoUpdateRunning{false};
std::atomic<uint64_t> t_VideoMemoryVersion{0};

const t_PaletteTable t_Palette = {
    {0x00, 0xFF, 0x00, 0xFF, 0x00, 0x54, 0x00, 0x00, 0x80, 0xFF, 0xA8, 0xFF, 0x00, 0xFF, 0x00, 0xFF},
    {0x00, 0x00, 0x00, 0x00, 0x80, 0x54, 0x00, 0x80, 0x40, 0x80, 0xA8, 0x80, 0xFF, 0xFF, 0xFF, 0xFF},
    {0x00, 0x00, 0x80, 0xFF, 0x00, 0x54, 0xFF, 0xFF, 0x00, 0x00, 0xA8, 0x80, 0x00, 0x00, 0xFF, 0xFF},
};

t_RGBColor t_PaletteColor(int index) {
    if (index < 0 || index > 15) return t_RGBColor{0xFF, 0, 0, 0};
    return t_RGBColor{0xFF, t_Palette.Red[index], t_Palette.Green[index], t_Palette.Blue[index]};
}

int64_t t_NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t t_NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Never inlined, so that the race checker sees them by name.
[[gnu::noinline]] void t_VideoRead(size_t address, uint8_t *to, size_t count) {
    memcpy(to, t_VideoMemory.data() + address, count);
}

[[gnu::noinline]] void t_VideoWrite(size_t address, const uint8_t *from, size_t count) {
    memcpy(t_VideoMemory.data() + address, from, count);
}

[[gnu::noinline]] void t_VideoFill(size_t address, uint8_t value, size_t count) {
    memset(t_VideoMemory.data() + address, value, count);
}

[[gnu::noinline]] void t_VideoMove(size_t from, size_t to, size_t count) {
    memmove(t_VideoMemory.data() + to, t_VideoMemory.data() + from, count);
}

void t_InitMemory() {
    if (t_MemoryInitialized.exchange(true)) return;
    t_Log("t_InitMemory: Start.");
    if (t_ThreadNumber() == 2) t_NameThread("Main Program");
    t_HighMemory = t_HighMemoryTop;
    t_VideoMemory.assign(size_t(t_VideoMemorySize), 0xFF);
    for (t_Window &w : t_WindowTable) w = t_Window{};
    t_Host().MemoryInitialized();
    t_MemoryReady = true;
    t_Log("t_InitMemory: End.");
}

void t_WaitForMemory() {
    if (!t_MemoryInitialized) {
        t_InitMemory();
        if (t_MemoryReady) return;
    }
    while (!t_MemoryReady) t_SleepMs(10);
}

void t_LogNotInitialized(const char *name, uint8_t window) {
    t_Log(std::string(name) + ": Window #" + std::to_string(window) + " not initialized.");
}

t_Window *t_GuardWindow(const char *name, uint8_t window, t_Need need) {
    if (window > 7) {
        t_Log(std::string(name) + ": Window is not a graphic window.");
        return nullptr;
    }
    if (!t_MemoryReady) {
        t_LogNotInitialized(name, window);
        return nullptr;
    }
    t_Window &w = t_WindowTable[window];
    if (!t_Load(w.Initialized) || (need == t_Need::Text && w.TextMemoryStart < 0)) {
        t_LogNotInitialized(name, window);
        return nullptr;
    }
    return &w;
}

int64_t t_GraphicSize(int width, int height, int bitDepth) {
    int64_t w = width, h = height;
    if (bitDepth == 1) return h * w / 8;
    if (bitDepth == 4) return h * w / 2;
    return h * bitDepth * w / 8;
}

int t_RowBytes(const t_Window &w) {
    if (w.BitDepth == 1) return w.Width / 8;
    if (w.BitDepth == 4) return w.Width / 2;
    return w.Width * w.BitDepth / 8;
}

void t_MoveMemory(int source, int destination, int count) {
    if (count < 1 || source < 0 || destination < 0) return;
    if (int64_t(source) + count > t_VideoMemorySize || int64_t(destination) + count > t_VideoMemorySize) return;
    if (t_VideoMemory.size() < size_t(t_VideoMemorySize)) return;
    // Pixels that wait are drawn first, where they belong before the move.
    auto hold = t_LockPixels();
    t_ShowAllPendingTextLocked();
    t_VideoMove(size_t(source), size_t(destination), size_t(count));
    t_VideoMemoryChanged();
}

t_Block t_TakeBlock(int64_t size) {
    int start = int((int64_t(t_HighMemory) - size + 1) & 0xFFFFF400);
    t_Block block{start, t_HighMemory};
    t_HighMemory = start - 1;
    return block;
}

static void logMove(const std::string &prefix, const char *what, int v, int start, int end, int size) {
    t_Log(prefix + " moving " + what + " block for win #" + std::to_string(v) + "$" + t_Hex8(start) + "..." +
          t_Hex8(end) + " to" + "$" + t_Hex8(int64_t(start) + size) + "..." + t_Hex8(int64_t(end) + size));
}

void t_ReleaseWindowMemory(uint8_t window, const std::string &prefix) {
    auto hold = t_LockPixels();
    t_DiscardPendingText(window);
    t_ShowAllPendingTextLocked();
    t_Window &w = t_WindowTable[window];
    t_Store(w.Initialized, false);
    int top = w.MemoryEnd;
    int size = w.MemoryEnd - w.MemoryStart + 1;
    t_Log(prefix + " high memory = $" + t_Hex8(top) + ", graphic block size to delete = $" + t_Hex8(size) + ".");
    if (w.TextMemoryStart >= 0) {
        int textSize = w.TextMemoryEnd - w.TextMemoryStart + 1;
        t_Log(prefix + " high memory = $" + t_Hex8(top) + ", text block size to delete = $" + t_Hex8(textSize) + ".");
        size += textSize;
    }
    for (int v = 0; v < 8; v++) {
        t_Window &b = t_WindowTable[v];
        if (!t_Load(b.Initialized) || b.MemoryStart >= top) continue;
        logMove(prefix, "graphic", v, b.MemoryStart, b.MemoryEnd, size);
        t_MoveMemory(b.MemoryStart, b.MemoryStart + size, b.MemoryEnd - b.MemoryStart + 1);
        if (b.TextMemoryStart >= 0 && b.TextMemoryStart < top) {
            logMove(prefix, "text", v, b.TextMemoryStart, b.TextMemoryEnd, size);
            t_MoveMemory(b.TextMemoryStart, b.TextMemoryStart + size, b.TextMemoryEnd - b.TextMemoryStart + 1);
            b.TextMemoryStart += size;
            b.TextMemoryEnd += size;
        }
        b.MemoryStart += size;
        b.MemoryEnd += size;
    }
    t_HighMemory += size;
}

void t_ClearWindowMemory(uint8_t window) {
    if (window > 7 || !t_MemoryReady) return;
    auto hold = t_LockPixels();
    t_DiscardPendingText(window);
    t_Window &w = t_WindowTable[window];
    if (w.MemoryStart >= 0) {
        int64_t size = t_GraphicSize(w.Width, w.Height, w.BitDepth);
        if (size > 0 && w.MemoryStart + size <= int64_t(w.MemoryEnd) + 1) {
            switch (w.BitDepth) {
            case 1: case 4: case 8: case 16: case 24: t_VideoFill(size_t(w.MemoryStart), 0, size_t(size)); break;
            case 32: {
                // Opaque black: alpha FF, then red, green and blue 0, row by row.
                std::vector<uint8_t> row(size_t(t_RowBytes(w)) & ~size_t(3));
                for (size_t i = 0; i < row.size(); i += 4) row[i] = 0xFF;
                for (int64_t at = 0; at + int64_t(row.size()) <= size && !row.empty(); at += int64_t(row.size()))
                    t_VideoWrite(size_t(w.MemoryStart + at), row.data(), row.size());
                break;
            }
            default: break;
            }
        }
    }
    if (w.TextMemoryStart >= 0) {
        size_t cells = size_t(w.TextWidth) * size_t(w.TextHeight);
        t_VideoFill(size_t(w.TextMemoryStart), 32, cells);
        t_VideoFill(size_t(t_ColorPlane(w)), w.TextColor, cells);
    }
    t_VideoMemoryChanged();
}
