// Program threads: start-up hand-over, numbering, ending.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "threads.h"

namespace {

bool waitFor(const std::atomic<bool> &flag) {
    for (int i = 0; i < 500 && !flag; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return flag;
}

TEST(ProgramThread, TwoQuickStartsRunBothEntries) {
    std::atomic<bool> first{false}, second{false};
    std::thread other([&] { startprocess([&] { first = true; }, 0x80000); });
    startprocess([&] { second = true; }, 0x80000);
    other.join();
    EXPECT_TRUE(waitFor(first));
    EXPECT_TRUE(waitFor(second));
}

TEST(ProgramThread, GetsTheRequestedStackAndANumber) {
    std::atomic<bool> done{false};
    std::atomic<int> number{0};
    startprocess(
        [&] {
            volatile char big[32 * 1024 * 1024];   // fits only in a large stack
            big[0] = 1;
            big[sizeof big - 1] = big[0];
            number = t_ThreadNumber();
            done = true;
        },
        0x40000000);
    ASSERT_TRUE(waitFor(done));
    EXPECT_GE(number.load(), 2);
}

TEST(ProgramThread, ExitThreadEndsOnlyThatThread) {
    std::atomic<bool> reached{false}, after{false};
    startprocess(
        [&] {
            reached = true;
            t_ExitThread();
            after = true;
        },
        0x80000);
    ASSERT_TRUE(waitFor(reached));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(after);
}

TEST(ThreadNumbers, MainIsOneAndEveryOtherThreadDiffers) {
    t_MarkMainThread();
    EXPECT_EQ(t_ThreadNumber(), 1);
    EXPECT_TRUE(t_IsMainThread());
    std::atomic<int> a{0}, b{0};
    std::atomic<bool> doneA{false}, doneB{false};
    t_RunAsync([&] {
        a = t_ThreadNumber();
        doneA = true;
    });
    t_RunAsync([&] {
        b = t_ThreadNumber();
        doneB = true;
    });
    ASSERT_TRUE(waitFor(doneA) && waitFor(doneB));
    EXPECT_GE(a.load(), 2);
    EXPECT_GE(b.load(), 2);
    EXPECT_NE(a.load(), b.load());
}

TEST(MainThreadRunner, RunsDirectlyWithoutAHost) {
    int ran = 0;
    t_OnMainThread([&] { ran++; });
    EXPECT_EQ(ran, 1);
}

}  // namespace
