// Turning graphic blocks into images, and the refresh thread.
#include "rendering.h"

#include <algorithm>

#include <new>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define DW_HAVE_SSSE3_PATH 1
#endif

#include "host_hooks.h"
#include "jump_scroll.h"
#include "log.h"
#include "threads.h"
#include "video_memory.h"

static inline uint32_t argb(uint8_t r, uint8_t g, uint8_t b) {
    return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

#ifdef DW_HAVE_SSSE3_PATH
// Rows of 24 or 32-bit pixels, four at a time with one byte shuffle.  The
// 16-byte loads of a 24-bit row stop 6 pixels before its end, so they never
// read past the row; the rest goes the plain way.
__attribute__((target("ssse3"))) static int shuffleRow(const uint8_t *s, uint32_t *out, int width, int bytesPerPixel) {
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    int x = 0;
    if (bytesPerPixel == 3) {
        const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
        // Sixteen pixels from three loads of exactly their 48 bytes.
        for (; x + 16 <= width; x += 16) {
            const __m128i *in = reinterpret_cast<const __m128i *>(s + 3 * x);
            __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1), c = _mm_loadu_si128(in + 2);
            __m128i *o = reinterpret_cast<__m128i *>(out + x);
            _mm_storeu_si128(o, _mm_or_si128(_mm_shuffle_epi8(a, order), alpha));
            _mm_storeu_si128(o + 1, _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), order), alpha));
            _mm_storeu_si128(o + 2, _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), order), alpha));
            _mm_storeu_si128(o + 3, _mm_or_si128(_mm_shuffle_epi8(_mm_srli_si128(c, 4), order), alpha));
        }
        for (; x + 6 <= width; x += 4) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 3 * x));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_or_si128(_mm_shuffle_epi8(v, order), alpha));
        }
    } else {
        const __m128i order = _mm_setr_epi8(3, 2, 1, -1, 7, 6, 5, -1, 11, 10, 9, -1, 15, 14, 13, -1);
        for (; x + 4 <= width; x += 4) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 4 * x));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_or_si128(_mm_shuffle_epi8(v, order), alpha));
        }
    }
    return x;
}

static const bool haveSsse3 = __builtin_cpu_supports("ssse3");
#endif

// The pixels of a 24 or 32-bit row from pixel x on.
static void plainRow(const uint8_t *s, uint32_t *out, int x, int width, int bytesPerPixel) {
    const int skip = bytesPerPixel - 3;
    for (s += x * bytesPerPixel + skip; x < width; x++, s += bytesPerPixel) out[x] = argb(s[0], s[1], s[2]);
}

static void colourRow(const uint8_t *s, uint32_t *out, int width, int bytesPerPixel) {
    int x = 0;
#ifdef DW_HAVE_SSSE3_PATH
    if (haveSsse3) x = shuffleRow(s, out, width, bytesPerPixel);
#endif
    plainRow(s, out, x, width, bytesPerPixel);
}

// One row of the graphic block converted; false at a depth without a pixel
// format.
static bool convertRow(const t_WindowRows &w, const uint8_t *s, uint32_t *out) {
    const int width = w.Width;
    switch (w.BitDepth) {
    case 1:
        for (int x = 0; x < width; x++) out[x] = (s[x >> 3] & (0x80 >> (x & 7))) ? w.Palette[15] : w.Palette[0];
        break;
    case 4:
        for (int x = 0; x < width; x++) out[x] = w.Palette[(x & 1) ? (s[x >> 1] & 15) : (s[x >> 1] >> 4)];
        break;
    case 8:
        for (int x = 0; x < width; x++) out[x] = argb(s[x], s[x], s[x]);
        break;
    case 16:
        for (int x = 0; x < width; x++) out[x] = argb(s[2 * x + 1], s[2 * x + 1], s[2 * x + 1]);
        break;
    case 24: colourRow(s, out, width, 3); break;
    case 32: colourRow(s, out, width, 4); break;
    default:
        // Never let through by t_InitWindow.
        t_Log("t_WindowImage: Illegal bit depth.");
        return false;
    }
    return true;
}

bool t_WindowRowsOpen(uint8_t window, t_WindowRows &rows) {
    if (!t_MemoryReady) return false;
    if (window > 7) {
        t_Log("t_WindowImage: Window is not a graphic window.");
        return false;
    }
    t_Window &w = t_WindowTable[window];
    if (!t_Load(w.Initialized)) {
        t_Log("t_WindowImage: Graphic window #" + std::to_string(window) + " not initialized.");
        return false;
    }
    if (!t_Load(w.Visible)) return false;
    // The picture is taken whole, after what waits is drawn: the program
    // thread scrolls and clears only between pictures (the rows hold the
    // lock until they are let go).
    rows.Hold = t_LockPixels();
    t_ShowPendingTextLocked(window);
    rows.Start = t_NowUs();
    // The geometry is read once: the program thread may re-initialise the
    // window meanwhile, and the rows read must stay inside the block.
    rows.Window = window;
    rows.Width = w.Width;
    rows.Height = w.Height;
    rows.BitDepth = w.BitDepth;
    rows.MemoryStart = w.MemoryStart;
    const int64_t size = t_GraphicSize(rows.Width, rows.Height, rows.BitDepth);
    if (rows.Width <= 0 || rows.Height <= 0 || rows.MemoryStart < 0 ||
        size > int64_t(w.MemoryEnd) - rows.MemoryStart + 1 || rows.MemoryStart + size > int64_t(t_VideoMemory.size()))
        return false;
    for (int i = 0; i < 16; i++) rows.Palette[i] = argb(t_Palette.Red[i], t_Palette.Green[i], t_Palette.Blue[i]);
    rows.Bytes.resize(size_t(t_GraphicSize(rows.Width, 1, rows.BitDepth)));
    return true;
}

bool t_WindowRow(t_WindowRows &rows, int y, uint32_t *out) {
    const size_t rowBytes = rows.Bytes.size();
    t_VideoRead(size_t(rows.MemoryStart) + size_t(y) * rowBytes, rows.Bytes.data(), rowBytes);
    return convertRow(rows, rows.Bytes.data(), out);
}

void t_WindowRowsDone(const t_WindowRows &rows) {
    t_Window &w = t_WindowTable[rows.Window];
    t_Store(w.UpdateDuration, t_NowUs() - rows.Start);
    t_Store(w.UpdateFinished, t_NowMs());
}

void t_WindowRowsRelease(t_WindowRows &rows) {
    if (rows.Hold.owns_lock()) rows.Hold.unlock();
}

bool t_WindowRowsInto(t_WindowRows &rows, t_Image &image) {
    try {
        image.Pixels.resize(size_t(rows.Width) * size_t(rows.Height));
    } catch (const std::bad_alloc &) {
        t_Log("t_WindowImage: Data could not be collected, image could not be created.");
        return false;
    }
    image.Width = rows.Width;
    image.Height = rows.Height;
    for (int y = 0; y < rows.Height; y++)
        if (!t_WindowRow(rows, y, image.Pixels.data() + size_t(y) * size_t(rows.Width))) return false;
    t_WindowRowsDone(rows);
    return true;
}

bool t_WindowImageInto(uint8_t window, t_Image &image) {
    t_WindowRows rows;
    return t_WindowRowsOpen(window, rows) && t_WindowRowsInto(rows, image);
}

std::optional<t_Image> t_WindowImage(uint8_t window) {
    t_Image image;
    if (!t_WindowImageInto(window, image)) return std::nullopt;
    return image;
}

void t_WindowUpdate(uint8_t window, bool deferred) {
    if (!t_MemoryReady) return;
    if (window > 7) {
        t_Log("t_WindowUpdate: Window is not a graphic window.");
        return;
    }
    if (!t_Host().GetView(window)) {
        t_Log("t_WindowUpdate: Window #" + std::to_string(window) + " view is nil, resource undefined.");
        return;
    }
    t_Host().RedrawView(window, deferred);
}

void t_SetVerticalBlank(uint8_t window, bool blank) {
    if (window <= 7 && t_MemoryReady) t_Store(t_WindowTable[window].VerticalBlank, blank);
}

bool t_WantsQuickUpdate(uint8_t window) {
    if (window > 7 || !t_MemoryReady) return false;
    t_Window &w = t_WindowTable[window];
    return t_Load(w.Initialized) && t_Load(w.QuickUpdate);
}

// Claimed by the first caller that finds no refresh thread, so that two
// windows initialised at once start only one.
static std::atomic<bool> autoUpdateClaimed{false};

void t_StartWindowAutoUpdate() {
    if (t_AutoUpdateRunning || autoUpdateClaimed.exchange(true)) return;
    t_RunAsync(t_WindowAutoUpdateProcess);
}

// One pass over the windows.  A window gets a new picture at most RefreshRate
// times a second, and only when the video memory changed since its last one
// (the host repaints exposed windows itself).  Returns the milliseconds until
// a window may be due again, 0 when a redraw was requested.
static int refreshPass(uint64_t (&shownVersion)[8]) {
    int64_t wait = 33;
    const uint64_t version = t_VideoMemoryVersion.load(std::memory_order_acquire);
    bool requested = false;
    for (uint8_t n = 0; n < 8; n++) {
        t_Window &w = t_WindowTable[n];
        if (!t_Load(w.Initialized) || !t_Load(w.AutoUpdate) || !t_Load(w.VerticalBlank)) continue;
        const int rate = t_Load(w.RefreshRate);
        const int64_t interval = rate == 0 ? 0 : 1000 / rate;
        const int64_t now = t_NowMs();
        const int64_t due = t_Load(w.UpdateStarted) + interval - now;
        if (due > 0) {
            wait = std::min(wait, due);
            continue;
        }
        // Cells that wait are drawn by the next picture of a visible window.
        if (shownVersion[n] == version && !(t_TextWaiting(n) && t_Load(w.Visible))) continue;
        if (!t_Host().GetView(n)) {
            t_Log("t_WindowAutoUpdateProcess: Window #" + std::to_string(n) + " view is nil, resource undefined.");
            continue;
        }
        t_Store(w.UpdateStarted, now);
        shownVersion[n] = version;
        t_Host().RedrawView(n, true);
        requested = true;
    }
    return requested ? 0 : int(std::max<int64_t>(1, wait));
}

void t_WindowAutoUpdateProcess() {
    t_Log("t_WindowAutoUpdateProcess: Start.");
    if (t_ThreadNumber() > 2) t_NameThread("t_WindowAutoUpdate");
    t_AutoUpdateRunning = true;
    // Versions of the video memory each window last showed; none yet.
    uint64_t shownVersion[8];
    for (uint64_t &v : shownVersion) v = ~uint64_t(0);
    while (t_MemoryReady && t_AutoUpdateRunning) {
        // Sleeps while nothing can be due: a change waits for the next
        // RefreshRate tick anyway, so at most 33 ms (and 1 ms at least).
        int wait = refreshPass(shownVersion);
        if (wait > 0) t_SleepMs(std::min(wait, 10));
    }
    t_AutoUpdateRunning = false;
    t_Log("t_WindowAutoUpdateProcess: End.");
    autoUpdateClaimed = false;
}

void t_StopWindowAutoUpdate() {
    // A thread still starting sets the running flag itself: ask again until it has ended.
    while (autoUpdateClaimed) {
        t_AutoUpdateRunning = false;
        t_SleepMs(1);
    }
}
