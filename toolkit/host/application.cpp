// The Qt application, the delegate's callbacks in order, and the hand-over
// of host work from other threads to the main thread.
#include "application.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "app_delegate.h"
#include "events.h"
#include "file_events_qt.h"
#include "jump_scroll.h"
#include "standard_folders_qt.h"
#include "threads.h"
#include "unicode_qt.h"
#include "window_zoom_qt.h"

static std::atomic<bool> applicationEnding{false};

// Host work for the main thread.  It is handed over under a lock of the
// standard library, so the hand-over is a plain happens-before that race
// checkers see, and the main thread is woken with a queued Qt call.
struct MainThreadJob {
    std::function<void()> Work;
    bool Started = false;
    bool Finished = false;
};

static std::mutex mailboxLock;
static std::condition_variable mailboxDone;
static std::deque<std::shared_ptr<MainThreadJob>> mailbox;

// Main thread: runs every job handed over so far.
static void runMailbox() {
    for (;;) {
        std::shared_ptr<MainThreadJob> job;
        {
            std::lock_guard<std::mutex> hold(mailboxLock);
            if (mailbox.empty()) return;
            job = mailbox.front();
            mailbox.pop_front();
            job->Started = true;
        }
        job->Work();
        {
            std::lock_guard<std::mutex> hold(mailboxLock);
            job->Finished = true;
        }
        mailboxDone.notify_all();
    }
}

static std::shared_ptr<MainThreadJob> handOver(std::function<void()> work) {
    auto job = std::make_shared<MainThreadJob>();
    job->Work = std::move(work);
    {
        std::lock_guard<std::mutex> hold(mailboxLock);
        mailbox.push_back(job);
    }
    QMetaObject::invokeMethod(qApp, runMailbox, Qt::QueuedConnection);
    return job;
}

// Once the event loop has ended nothing runs the work any more: a job that
// has not started by then is dropped instead of waited for.
static void installMainThreadRunner() {
    t_MainThreadRunner runner;
    runner.Sync = [](const std::function<void()> &work) {
        if (applicationEnding) return;
        std::shared_ptr<MainThreadJob> job = handOver([&work] { work(); });
        std::unique_lock<std::mutex> hold(mailboxLock);
        while (!job->Finished) {
            if (applicationEnding && !job->Started) {
                mailbox.erase(std::remove(mailbox.begin(), mailbox.end(), job), mailbox.end());
                return;
            }
            mailboxDone.wait_for(hold, std::chrono::milliseconds(50));
        }
    };
    runner.Async = [](std::function<void()> work) {
        if (applicationEnding) return;
        handOver(std::move(work));
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
    // Output that runs faster than the screen is shown scrolls by the lines
    // waiting at each picture.
    t_SetJumpScroll(true);
    t_SetRememberWindows(options.RememberWindows);
    // A launch that handed its documents to the running program ends here.
    if (t_StartDocumentEvents(QApplication::arguments(), options.SingleInstance)) return 0;

    AppDelegate delegate(std::move(program));
    t_InstallFileDrops();
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
