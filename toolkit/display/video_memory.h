// The shared video memory, the window table and the palette.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "display_types.h"

constexpr int t_VideoMemorySize = 0x100000F;   // 16,777,231 bytes
constexpr int t_HighMemoryTop = 0xFFFFFF;
constexpr int t_ReservedLowMemory = 0x10000;   // never handed out
constexpr uint8_t t_NoWindow = 255;

extern std::vector<uint8_t> t_VideoMemory;
extern int t_HighMemory;
extern std::array<t_Window, 8> t_WindowTable;
extern std::atomic<bool> t_MemoryInitialized;
extern std::atomic<bool> t_MemoryReady;
extern std::atomic<uint8_t> t_DefaultWindow;
extern std::atomic<bool> t_AutoUpdateRunning;
// Counts the changes of the video memory's pixels; the refresh thread asks
// for no new picture while it stands still.
extern std::atomic<uint64_t> t_VideoMemoryVersion;
inline void t_VideoMemoryChanged() { t_VideoMemoryVersion.fetch_add(1, std::memory_order_release); }

// Red, green and blue of the 16 fixed colours.
struct t_PaletteTable {
    uint8_t Red[16];
    uint8_t Green[16];
    uint8_t Blue[16];
};
extern const t_PaletteTable t_Palette;

// Opaque black for an index outside 0 to 15.
t_RGBColor t_PaletteColor(int index);

// The video memory's bytes are shared without a lock: the program thread
// writes pixels and cells while the refresh thread and the host read them, so
// a picture or a screen text may show a moment in the middle of an update,
// and the next refresh shows the finished one.  Every access that crosses
// threads goes through these four functions and nothing else does, so the
// race checker is told to accept them alone (tests/sanitizer/tsan.supp).
void t_VideoRead(size_t address, uint8_t *to, size_t count);
void t_VideoWrite(size_t address, const uint8_t *from, size_t count);
void t_VideoFill(size_t address, uint8_t value, size_t count);
void t_VideoMove(size_t from, size_t to, size_t count);

// Creates the video memory and the window table once.
void t_InitMemory();
// Makes sure the memory exists, waiting for another thread that makes it.
void t_WaitForMemory();
// Clears the graphic block and blanks the text block.
void t_ClearWindowMemory(uint8_t window);
// Copies count bytes inside the video memory; overlapping ranges are moved
// correctly, ranges that leave the memory are refused.
void t_MoveMemory(int source, int destination, int count);

// --- used by the display operations -----------------------------------------

// What an operation needs of its window.
enum class t_Need { Window, Text };
// The common window guard: the window record when the operation may go on,
// else nullptr after the log line ("<name>: Window is not a graphic window."
// or "<name>: Window #<n> not initialized.").
t_Window *t_GuardWindow(const char *name, uint8_t window, t_Need need);
void t_LogNotInitialized(const char *name, uint8_t window);

// Size in bytes of a graphic block.
int64_t t_GraphicSize(int width, int height, int bitDepth);
// Bytes per pixel row of the graphic block.
int t_RowBytes(const t_Window &w);
// Address of the colour plane of a window's text block.
inline int t_ColorPlane(const t_Window &w) {
    return w.TextMemoryStart + (w.TextMemoryEnd - w.TextMemoryStart + 1) / 2;
}

// Takes a block of size bytes below the high-memory mark.
struct t_Block {
    int Start;
    int End;
};
t_Block t_TakeBlock(int64_t size);
// Removes the blocks of an initialised window and moves every block below
// them up to close the gap; logPrefix starts each log line.
void t_ReleaseWindowMemory(uint8_t window, const std::string &logPrefix);

// Milliseconds and microseconds of the host clock.
int64_t t_NowMs();
int64_t t_NowUs();

// Loads and stores of window fields that several threads use.
template <class T> T t_Load(T &field) { return std::atomic_ref<T>(field).load(std::memory_order_acquire); }
template <class T> void t_Store(T &field, T value) {
    std::atomic_ref<T>(field).store(value, std::memory_order_release);
}
