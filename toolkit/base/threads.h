// The program thread, asynchronous work, thread numbers and the hand-over of
// host work to the main thread.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string_view>

// Starts the entry on a new thread with a stack of the given size; returns
// once the thread has taken its entry.  Callable from any thread.
void startprocess(std::function<void()> entry, size_t stackSize);
// Runs the work on a new thread without waiting for it.
void t_RunAsync(std::function<void()> work);
// 1 for the main thread, 2 for the first thread started after it, and so on;
// 0 if the calling thread has no number.
int t_ThreadNumber();
// Gives the calling thread its name (shown by debuggers and `ps -L`).
void t_NameThread(std::string_view name);
// Marks the calling thread as the main thread (number 1).
void t_MarkMainThread();
bool t_IsMainThread();
// Ends the calling program thread; never returns.
[[noreturn]] void t_ExitThread();

// Runs host work on the main thread and waits for it; called on the main
// thread (or before the host has installed its runner) it runs directly.
void t_OnMainThread(const std::function<void()> &work);
// Queues host work for the main thread without waiting.
void t_OnMainThreadAsync(std::function<void()> work);

struct t_MainThreadRunner {
    std::function<void(const std::function<void()> &)> Sync;
    std::function<void(std::function<void()>)> Async;
};
void t_SetMainThreadRunner(t_MainThreadRunner runner);

// Sleeps the calling thread.
void t_SleepMs(int milliseconds);

// A record one thread sets and other threads read, such as the services and
// handlers the host installs: Set replaces it whole and Get hands out a copy,
// so no reader ever sees half a record.
template <typename T> class t_Shared {
public:
    explicit t_Shared(T initial = T()) : value(std::move(initial)) {}
    void Set(T newValue) {
        std::lock_guard<std::mutex> hold(lock);
        value = std::move(newValue);
    }
    T Get() const {
        std::lock_guard<std::mutex> hold(lock);
        return value;
    }

private:
    mutable std::mutex lock;
    T value;
};
