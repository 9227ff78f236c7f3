// The Qt application, the delegate's callbacks in order, and the hand-over
// of host work from other threads to the main thread.
#include "application.h"

#include <QApplication>
#include <QTimer>
#include <atomic>

#include "app_delegate.h"
#include "events.h"
#include "file_events_qt.h"
#include "standard_folders_qt.h"
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

int t_RunApplication(int &argc, char **argv, std::function<void()> program, t_ApplicationOptions options) {
    t_MarkMainThread();
    applicationEnding = false;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Diskwright");
    QApplication::setQuitOnLastWindowClosed(false);
    t_InstallQtUnicodeServices();
    installMainThreadRunner();
    t_InstallEventHooks();
    t_FillStandardFolders();
    // A launch that handed its documents to the running program ends here.
    if (t_StartDocumentEvents(QApplication::arguments(), options.SingleInstance)) return 0;

    AppDelegate delegate(std::move(program));
    t_InstallFileDrops(&delegate);
    delegate.applicationWillFinishLaunching();
    QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
    QObject::connect(&app, &QApplication::aboutToQuit, &delegate, [&delegate] {
        applicationEnding = true;
        delegate.applicationWillTerminate();
    });
    int status = app.exec();
    applicationEnding = true;
    return status;
}
