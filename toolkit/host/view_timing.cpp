#include "view_timing.h"

#include <QApplication>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>

#include "view.h"

void t_StartOffscreenHost() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "diskwright-bench";
    static char *argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

std::vector<double> t_TimeViewDraws(int window, int width, int height, int draws) {
    struct Drawn {
        std::unique_ptr<t_View> View;
        QImage Target;
    };
    static std::map<std::tuple<int, int, int>, Drawn> views;
    Drawn &d = views[{window, width, height}];
    if (!d.View) {
        d.View = std::make_unique<t_View>(window);
        d.View->resize(width, height);
        d.Target = QImage(width, height, QImage::Format_RGB32);
        d.Target.fill(0);
    }
    std::vector<double> times;
    for (int k = -1; k < draws; k++) {
        auto start = std::chrono::steady_clock::now();
        d.View->render(&d.Target);
        double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
        if (k >= 0) times.push_back(us);
    }
    return times;
}
