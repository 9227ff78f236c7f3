// Presentation benchmarks: a full picture of the main window (a screen of
// text) drawn by its view into an image of the view's size, as the window
// system's backing store receives it, at 2x and at non-whole factors against
// the same picture at 1x.  Each draw builds the window image and scales it,
// as a refresh does.  Runs under the offscreen platform.
#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "display.h"
#include "view.h"

static double medianUs(int runs, const std::function<void()> &work) {
    std::vector<double> times;
    work();
    for (int i = 0; i < runs; i++) {
        auto start = std::chrono::steady_clock::now();
        work();
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The time to present the picture with the view at this size.
static double presentUs(t_View &view, QSize size, int runs) {
    view.resize(size);
    QImage target(size, QImage::Format_RGB32);
    return medianUs(runs, [&] { view.render(&target); });
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

    t_View view(0);
    double base = presentUs(view, {1280, 800}, runs);
    printf("view  %-28s %9.1f us   (%.1f %% of a core at 30 draws a second)\n", "present 1280x800 at 1x", base,
           base * 30 / 1e4);
    struct Case {
        const char *Name;
        double Scale;
    } cases[] = {{"present at 2x", 2}, {"present at 1.37x", 1.37}, {"present at 0.857x", 713.0 / 832}};
    for (const Case &c : cases) {
        QSize size(int(std::lround(1280 * c.Scale)), int(std::lround(800 * c.Scale)));
        double us = presentUs(view, size, runs);
        double ratio = us / base;
        printf("view  %-28s %9.1f us   ratio %5.2fx (target <= 1.5x)%s   (%.1f %% of a core at 30 a second)\n",
               c.Name, us, ratio, ratio <= 1.5 ? "" : "  OVER", us * 30 / 1e4);
    }
    return 0;
}
