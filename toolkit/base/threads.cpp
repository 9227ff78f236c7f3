// Program thread, asynchronous work and thread numbering on POSIX threads.
#include "threads.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>

#include "log.h"

// Main thread 1, the first program thread 2, every other thread 3 and up.
static std::atomic<int> lastThreadNumber{2};
static std::atomic<bool> firstProgramStarted{false};
static thread_local int threadNumber = 0;
static std::atomic<bool> mainThreadMarked{false};

void t_MarkMainThread() {
    threadNumber = 1;
    mainThreadMarked = true;
}

bool t_IsMainThread() { return threadNumber == 1; }

int t_ThreadNumber() {
    // Threads that were not started here get the next number when they first ask.
    if (threadNumber == 0) threadNumber = ++lastThreadNumber;
    return threadNumber;
}

void t_NameThread(std::string_view name) {
    // The kernel keeps at most 15 characters of a thread name.
    std::string shortName(name.substr(0, 15));
    pthread_setname_np(pthread_self(), shortName.c_str());
}

void t_SleepMs(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// --- startprocess -----------------------------------------------------------

// The single pair of slots for the next program thread, claimed through
// programStarting until the new thread has taken them.
static std::function<void()> programEntry;
static size_t programStackSize = 0;
static std::atomic<bool> programStarting{false};
static std::mutex programClaim;

struct ThreadStart {
    int Number;
};

static void *programThreadBody(void *arg) {
    auto *start = static_cast<ThreadStart *>(arg);
    threadNumber = start->Number;
    delete start;
    std::function<void()> entry = std::move(programEntry);
    programEntry = nullptr;
    programStarting = false;
    entry();
    return nullptr;
}

void startprocess(std::function<void()> entry, size_t stackSize) {
    // Another start in progress: wait until its thread has taken the slots.
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(programClaim);
            if (!programStarting) {
                programStarting = true;
                break;
            }
        }
        t_SleepMs(1);
    }
    programStackSize = stackSize;
    programEntry = std::move(entry);
    t_SleepMs(10);

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (programStackSize >= size_t(PTHREAD_STACK_MIN)) pthread_attr_setstacksize(&attr, programStackSize);
    pthread_t thread;
    int number = firstProgramStarted.exchange(true) ? ++lastThreadNumber : 2;
    auto *start = new ThreadStart{number};
    int err = pthread_create(&thread, &attr, programThreadBody, start);
    pthread_attr_destroy(&attr);
    if (err != 0) {
        delete start;
        t_Log("startprocess: Thread could not be started.");
        programEntry = nullptr;
        programStarting = false;
    }
}

void t_RunAsync(std::function<void()> work) {
    int number = ++lastThreadNumber;
    std::thread([number, work = std::move(work)] {
        threadNumber = number;
        work();
    }).detach();
}

[[noreturn]] void t_ExitThread() { pthread_exit(nullptr); }

// --- main-thread hand-over ----------------------------------------------------

static t_Shared<t_MainThreadRunner> runner;

void t_SetMainThreadRunner(t_MainThreadRunner r) { runner.Set(std::move(r)); }

void t_OnMainThread(const std::function<void()> &work) {
    t_MainThreadRunner r = runner.Get();
    if (t_IsMainThread() || !r.Sync) work();
    else r.Sync(work);
}

void t_OnMainThreadAsync(std::function<void()> work) {
    t_MainThreadRunner r = runner.Get();
    if (!r.Async) work();
    else r.Async(std::move(work));
}
