// Presentation benchmarks: a full picture of the main window (a screen of
// text) drawn by its view into an image of the view's size, as the window
// system's backing store receives it, at 2x and at non-whole factors against
// the same picture at 1x plus a copy of the scaled picture's pixels.  Each
// draw builds the window image and scales it, as a refresh does.  Runs under
// the offscreen platform.
#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "display.h"
#include "view.h"

// The time to present the picture with the view at this size.
static double presentUs(t_View &view, QImage &target) {
    auto start = std::chrono::steady_clock::now();
    view.render(&target);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

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
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int appArgc = 1;
    static char name[] = "diskwright-bench";
    static char *appArgv[] = {name, nullptr};
    if (!qApp) new QApplication(appArgc, appArgv);

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

    // One view per size, so that each keeps its scaling tables as a window
    // of that size does.  Every round measures, for each size in turn, a
    // block of draws at 1x, a block at that size and a block of copies of
    // its pixels, so that the load of the machine falls on all three alike.
    struct Case {
        const char *Name;
        double Scale;
    } cases[] = {{"present 1280x800 at 1x", 1}, {"present at 2x", 2}, {"present at 1.37x", 1.37},
                 {"present at 0.857x", 713.0 / 832}};
    const size_t count = std::size(cases);
    std::vector<std::unique_ptr<t_View>> views;
    std::vector<QImage> targets;
    std::vector<std::vector<uint32_t>> from(count), to(count);
    for (size_t i = 0; i < count; i++) {
        QSize size(int(std::lround(1280 * cases[i].Scale)), int(std::lround(800 * cases[i].Scale)));
        views.push_back(std::make_unique<t_View>(0));
        views[i]->resize(size);
        targets.emplace_back(size, QImage::Format_RGB32);
        targets[i].fill(0);
        from[i].assign(size_t(size.width()) * size_t(size.height()), 0xFF000000u);
        to[i].assign(from[i].size(), 0);
    }
    const int block = 5, rounds = std::max(1, runs / block);
    std::vector<std::vector<double>> present(count), copy(count);
    for (int r = 0; r < rounds; r++) {
        for (size_t i = 1; i < count; i++) {
            for (int k = -1; k < block; k++) {   // the first draw of a block warms the caches
                double p = presentUs(*views[0], targets[0]);
                if (k >= 0) present[0].push_back(p);
            }
            for (int k = -1; k < block; k++) {
                double p = presentUs(*views[i], targets[i]);
                if (k >= 0) present[i].push_back(p);
            }
            for (int k = -1; k < block; k++) {
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
