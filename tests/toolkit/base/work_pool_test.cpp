#include "work_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct PoolCase {
    size_t Count;
    int Jobs;
    bool Ordered;
};

// Every item is worked once on a pool thread and handed back once on the
// calling thread, in index order when asked; the items taken but not yet
// handed back stay within the pool's window.
TEST(WorkPool, EveryItemOnceInOrderWithinItsWindow) {
    for (PoolCase c : {PoolCase{0, 2, true}, {1, 4, true}, {7, 1, true}, {500, 3, true}, {500, 8, false}, {64, 2, false}}) {
        std::vector<std::atomic<int>> worked(c.Count);
        std::vector<size_t> given;
        std::atomic<long> outstanding{0}, most{0};
        const std::thread::id caller = std::this_thread::get_id();
        bool doneOnCaller = true;
        t_PoolRun run;
        run.Count = c.Count;
        run.Jobs = c.Jobs;
        run.Ordered = c.Ordered;
        t_RunPool(
            run,
            [&](size_t k) {
                long now = ++outstanding;
                for (long m = most.load(); now > m && !most.compare_exchange_weak(m, now);) {}
                worked[k]++;
                if (k % 5 == 0) std::this_thread::yield();   // items finish out of order
            },
            [&](size_t k) {
                --outstanding;
                doneOnCaller = doneOnCaller && std::this_thread::get_id() == caller;
                given.push_back(k);
            });
        SCOPED_TRACE(testing::Message() << c.Count << " items, " << c.Jobs << " jobs");
        EXPECT_TRUE(doneOnCaller);
        ASSERT_EQ(given.size(), c.Count);
        std::vector<int> seen(c.Count);
        for (size_t i = 0; i < c.Count; i++) {
            EXPECT_EQ(worked[i].load(), 1);
            seen[given[i]]++;
            if (c.Ordered) { EXPECT_EQ(given[i], i); }
        }
        for (int s : seen) EXPECT_EQ(s, 1);
        EXPECT_LE(most.load(), long(c.Jobs) * 9);   // the window taken ahead, and as many done but not yet handed back
    }
}

// A stop ends the run once the items begun are handed back.
TEST(WorkPool, StopEndsAfterTheItemsBegun) {
    std::atomic<bool> stop{false};
    std::atomic<int> begun{0};
    size_t given = 0;
    t_PoolRun run;
    run.Count = 10000;
    run.Jobs = 3;
    run.Stop = &stop;
    t_RunPool(
        run,
        [&](size_t k) {
            begun++;
            if (k == 20) stop = true;
        },
        [&](size_t) { given++; });
    EXPECT_LT(begun.load(), 200);
    EXPECT_LE(given, size_t(begun.load()));
}

}  // namespace
