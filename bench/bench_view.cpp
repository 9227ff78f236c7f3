// Presentation benchmarks: a full picture of the main window (a screen of
// text) drawn by its view into an image of the view's size, as the window
// system's backing store receives it, at 2x and at non-whole factors against
// the same picture at 1x plus a copy of the scaled picture's pixels.  Each
// draw builds the window image and scales it, as a refresh does.  Runs under
// the offscreen platform.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "display.h"
#include "view_timing.h"

// The time to copy the scaled picture's pixels once: the least any scaling
// into the backing store can write.
static double copyUs(std::vector<uint32_t> &from, std::vector<uint32_t> &to) {
    auto start = std::chrono::steady_clock::now();
    memcpy(to.data(), from.data(), from.size() * 4);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int bench_view(int argc, char **argv) {
    int runs = argc > 1 ? std::max(5, atoi(argv[1])) : 51;
    t_StartOffscreenHost();

    t_InitWindow(0, 24, 80, 25, 16, "MenloRegular 16x32.font");
    t_Window &w = t_WindowTable[0];
    if (!w.Initialized) {
        fprintf(stderr, "view: the font resources are missing\n");
        return 1;
    }
    w.Visible = true;
    w.ScrollLock = true;
    std::string screen;
    for (int i = 0; i < 2000; i++) screen += char(33 + (i * 7) % 94);
    t_Print(0, screen);

    // Every round measures, for each size in turn, a block of draws at 1x, a
    // block at that size and a block of copies of its pixels, so that the
    // load of the machine falls on all three alike.
    struct Case {
        const char *Name;
        double Scale;
    } cases[] = {{"present 1280x800 at 1x", 1}, {"present at 2x", 2}, {"present at 1.37x", 1.37},
                 {"present at 0.857x", 713.0 / 832}};
    const size_t count = std::size(cases);
    std::vector<int> widths, heights;
    std::vector<std::vector<uint32_t>> from(count), to(count);
    for (size_t i = 0; i < count; i++) {
        widths.push_back(int(std::lround(1280 * cases[i].Scale)));
        heights.push_back(int(std::lround(800 * cases[i].Scale)));
        from[i].assign(size_t(widths[i]) * size_t(heights[i]), 0xFF000000u);
        to[i].assign(from[i].size(), 0);
    }
    const int block = 5, rounds = std::max(1, runs / block);
    std::vector<std::vector<double>> present(count), copy(count);
    auto drawBlock = [&](size_t i) {
        for (double us : t_TimeViewDraws(0, widths[i], heights[i], block)) present[i].push_back(us);
    };
    for (int r = 0; r < rounds; r++) {
        for (size_t i = 1; i < count; i++) {
            drawBlock(0);
            drawBlock(i);
            for (int k = -1; k < block; k++) {   // the first copy of a block warms the caches
                double c = copyUs(from[i], to[i]);
                if (k >= 0) copy[i].push_back(c);
            }
        }
    }
    const double base = median(present[0]);
    printf("view  %-28s %9.1f us   (%.1f %% of a core at 30 draws a second)\n", cases[0].Name, base,
           base * 30 / 1e4);
    for (size_t i = 1; i < count; i++) {
        const double us = median(present[i]), floor = base + median(copy[i]);
        const double ratio = us / floor;
        printf("view  %-28s %9.1f us   memcpy of its pixels %7.1f us   ratio to 1x + memcpy %5.2fx "
               "(target <= 2x)%s   (%.1f %% of a core at 30 a second)\n",
               cases[i].Name, us, median(copy[i]), ratio, ratio <= 2 ? "" : "  OVER", us * 30 / 1e4);
    }
    return 0;
}
