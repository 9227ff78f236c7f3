// The pool of threads over many items: a shared queue of item numbers under
// one mutex; results handed back on the calling thread.
#include "work_pool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Items taken ahead of the first one not yet done, per thread: bounds the
// results that wait while one slow image holds up the order.
constexpr size_t aheadPerJob = 4;

struct Queue {
    std::mutex Lock;
    std::condition_variable Changed;
    size_t NextToTake = 0;
    size_t NextToGive = 0;          // ordered: the next item done hands back
    std::vector<char> Finished;     // per item, set by the worker
    std::vector<size_t> FinishOrder;
    size_t Given = 0;
    size_t Running = 0;
};

}  // namespace

void t_RunPool(const t_PoolRun &run, const std::function<void(size_t)> &work, const std::function<void(size_t)> &done) {
    if (run.Count == 0) return;
    const size_t jobs = size_t(std::clamp(run.Jobs, 1, 256));
    const size_t window = jobs * aheadPerJob;
    auto stopped = [&] { return run.Stop && run.Stop->load(std::memory_order_relaxed); };
    Queue q;
    q.Finished.assign(run.Count, 0);
    auto worker = [&] {
        for (;;) {
            size_t item;
            {
                std::unique_lock<std::mutex> hold(q.Lock);
                // Polled too: a stop set by a signal handler notifies no one.
                while (!(q.NextToTake >= run.Count || stopped() || q.NextToTake < q.NextToGive + window))
                    q.Changed.wait_for(hold, std::chrono::milliseconds(100));
                if (q.NextToTake >= run.Count || stopped()) return;
                item = q.NextToTake++;
                q.Running++;
            }
            work(item);
            {
                std::lock_guard<std::mutex> hold(q.Lock);
                q.Finished[item] = 1;
                q.FinishOrder.push_back(item);
                q.Running--;
            }
            q.Changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (size_t k = 0; k < std::min(jobs, run.Count); k++) threads.emplace_back(worker);
    // Hands back results as they may be given, until every item begun is.
    std::vector<size_t> ready;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(q.Lock);
            auto canGive = [&] {
                if (run.Ordered) return q.NextToGive < run.Count && q.Finished[q.NextToGive];
                return q.Given < q.FinishOrder.size();
            };
            auto over = [&] { return (stopped() && q.Running == 0) || (run.Ordered ? q.NextToGive : q.Given) >= run.Count; };
            while (!canGive() && !over()) q.Changed.wait_for(hold, std::chrono::milliseconds(100));
            if (!canGive() && over()) break;
            ready.clear();
            if (run.Ordered) {
                while (q.NextToGive < run.Count && q.Finished[q.NextToGive]) ready.push_back(q.NextToGive++);
            } else {
                ready.assign(q.FinishOrder.begin() + long(q.Given), q.FinishOrder.end());
                q.Given = q.FinishOrder.size();
                q.NextToGive = std::min(run.Count, q.NextToGive + ready.size());
            }
        }
        q.Changed.notify_all();   // the window moved
        for (size_t item : ready) done(item);
    }
    for (std::thread &t : threads) t.join();
}
