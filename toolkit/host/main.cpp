// The process entry: the Qt application, the delegate, and the main program
// on its own thread.
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <unistd.h>

#include "app_delegate.h"
#include "main_program.h"
#include "threads.h"
#include "unicode_qt.h"

static std::atomic<bool> applicationEnding{false};

// Host work from other threads runs on the main thread; once the event loop
// has ended nothing would run it, so it is dropped instead of waited for.
static void installMainThreadRunner() {
    t_MainThreadRunner runner;
    runner.Sync = [](const std::function<void()> &work) {
        if (applicationEnding) return;
        QMetaObject::invokeMethod(qApp, [&work] { work(); }, Qt::BlockingQueuedConnection);
    };
    runner.Async = [](std::function<void()> work) {
        if (applicationEnding) return;
        QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
    };
    t_SetMainThreadRunner(runner);
}

int main(int argc, char **argv) {
    t_MarkMainThread();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Diskwright");
    QApplication::setQuitOnLastWindowClosed(false);
    t_InstallQtUnicodeServices();
    installMainThreadRunner();

    AppDelegate delegate(cpm_MainProgram);
    delegate.applicationWillFinishLaunching();
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, [&delegate] {
        applicationEnding = true;
        delegate.applicationWillTerminate();
    });
    int status = app.exec();
    // The program thread may still be running: end the process without
    // tearing down state that it could still be using.
    fflush(stdout);
    _exit(status);
}
