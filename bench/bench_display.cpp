// Display benchmarks, as ratios against plain memory copies of the same
// bytes measured in the same run: the window image of the main window,
// a full screen of text, a full-width scroll, and a long dump printed line
// by line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "display.h"

// Median time in microseconds of one call of work over runs calls.
static double medianUs(int runs, const std::function<void()> &work) {
    std::vector<double> times;
    work();   // warm caches and lazily built tables
    for (int i = 0; i < runs; i++) {
        auto start = std::chrono::steady_clock::now();
        work();
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

static void report(const char *name, double us, const char *baseline, double baseUs, double target) {
    double ratio = us / baseUs;
    printf("display %-28s %9.1f us   %-26s %9.1f us   ratio %5.2fx (target <= %.1fx)%s\n", name, us, baseline, baseUs,
           ratio, target, ratio <= target ? "" : "  OVER");
}

// A 16 x 32 grey font with a different anti-aliased pattern in every glyph.
static t_Font benchFont() {
    t_Font f;
    f.Format = t_FontFormatGrey;
    f.Start = 0;
    f.End = 255;
    f.Width = 16;
    f.Height = 32;
    f.Data.resize(256 * 16 * 32);
    for (size_t i = 0; i < f.Data.size(); i++) f.Data[i] = uint8_t((i * 2654435761u) >> 13);
    return f;
}

int bench_display(int argc, char **argv) {
    int runs = argc > 1 ? std::max(5, atoi(argv[1])) : 51;
    t_InitWindow(0, 24, false, 1280, 800, 16, 16, benchFont(), true);
    t_Window &w = t_WindowTable[0];
    w.Visible = true;
    const size_t graphicBytes = size_t(t_GraphicSize(w.Width, w.Height, w.BitDepth));

    // The window image against a copy of its 4 MB.
    t_Image image;
    std::vector<uint32_t> source(size_t(w.Width) * size_t(w.Height), 0xFF123456), target(source.size());
    double imageUs = medianUs(runs, [&] { t_WindowImageInto(0, image); });
    double copyUs = medianUs(runs, [&] { memcpy(target.data(), source.data(), source.size() * 4); });
    report("t_WindowImage 1280x800x24", imageUs, "memcpy 4 MB", copyUs, 1.5);

    // 2000 characters through t_Print against a copy of the 3 MB of pixels
    // they cover.  ScrollLock keeps the wrap after the last cell from
    // scrolling: scrolling is measured on its own below.
    std::string screen;
    for (int i = 0; i < 2000; i++) screen += char(33 + (i * 7) % 94);
    w.ScrollLock = true;
    double printUs = medianUs(runs, [&] {
        t_CursorHome(0);
        t_Print(0, screen);
    });
    w.ScrollLock = false;
    std::vector<uint8_t> pixels(graphicBytes, 0x5A), pixelCopy(graphicBytes);
    double pixelUs = medianUs(runs, [&] { memcpy(pixelCopy.data(), pixels.data(), graphicBytes); });
    report("t_Print 2000 characters", printUs, "memcpy 3 MB", pixelUs, 4.0);

    // A full-width scroll against a memmove of the graphic block by one line.
    uint8_t *block = t_VideoMemory.data() + w.MemoryStart;
    const size_t lineBytes = size_t(w.Font.Height) * size_t(t_RowBytes(w));
    double scrollUs = medianUs(runs, [&] { t_ScrollUp(0); });
    double moveUs = medianUs(runs, [&] { memmove(block, block + lineBytes, graphicBytes - lineBytes); });
    report("t_ScrollUp full width", scrollUs, "memmove graphic block", moveUs, 1.5);

    // 16,384 lines of a hexdump (a 256 KB file) through t_Print, each line
    // followed by a carriage return, with jump scrolling as the program runs
    // it, and the pixels drawn at the end; against a memmove of the lines'
    // bytes, and against drawing every line and scroll at once.
    std::vector<std::string> dump;
    size_t dumpBytes = 0;
    for (int n = 0; n < 16384; n++) {
        char line[96];
        int at = snprintf(line, sizeof line, "%08X: ", n * 16);
        for (int k = 0; k < 16; k++) at += snprintf(line + at, sizeof line - size_t(at), "%02X ", (n * 16 + k) * 7 & 255);
        std::string text(line, size_t(at));
        text += ' ';
        for (int k = 0; k < 16; k++) text += char(33 + (n + k) % 94);
        dumpBytes += text.size() + 1;
        dump.push_back(std::move(text));
    }
    auto printDump = [&] {
        t_CursorHome(0);
        for (const std::string &line : dump) {
            t_Print(0, line);
            t_Cr(0);
        }
        t_ShowPendingText(0);
    };
    std::vector<char> dumpText(dumpBytes, 'x'), dumpCopy(dumpBytes);
    t_SetJumpScroll(true);
    double dumpUs = medianUs(std::max(5, runs / 5), printDump);
    double dumpMoveUs = medianUs(runs, [&] { memmove(dumpCopy.data(), dumpText.data(), dumpBytes); });
    printf("display %-28s %9.1f us   %-26s %9.1f us   ratio %5.0fx, %.2f us a line\n", "t_Print 16384 lines",
           dumpUs, "memmove of their bytes", dumpMoveUs, dumpUs / dumpMoveUs, dumpUs / 16384);
    t_SetJumpScroll(false);
    double drawnUs = medianUs(1, printDump);
    printf("display %-28s %9.1f us   (jump scrolling %.1fx faster)\n", "t_Print 16384 lines, drawn", drawnUs,
           drawnUs / dumpUs);
    return 0;
}
