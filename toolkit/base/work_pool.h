// A pool of threads for work on many independent items (the images of a
// collection): each thread holds one item at a time, and the results are
// handed back on the calling thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

// One run of the pool: Count items, each given to `work` on one of Jobs
// threads (each thread holds one item at a time), then to `done` on the
// calling thread: in index order when Ordered, else as each finishes.  At
// most a few items per thread wait to be done, so memory stays bounded by
// the pool.  Stop, when set, ends the run after the items begun.
struct t_PoolRun {
    size_t Count = 0;
    int Jobs = 1;
    bool Ordered = true;
    const std::atomic<bool> *Stop = nullptr;
};
void t_RunPool(const t_PoolRun &run, const std::function<void(size_t)> &work, const std::function<void(size_t)> &done);
