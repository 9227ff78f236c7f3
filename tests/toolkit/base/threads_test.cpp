// Program threads: start-up hand-over, numbering, ending.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "threads.h"

namespace {

bool waitFor(const std::atomic<bool> &flag) {
    for (int i = 0; i < 500 && !flag; i++) t_SleepMs(10);
    return flag;
}

TEST(ProgramThread, QuickStartsStacksNumbersAndEnding) {
    std::atomic<bool> first{false}, second{false};
    std::thread other([&] { startprocess([&] { first = true; }, 0x80000); });
    startprocess([&] { second = true; }, 0x80000);
    other.join();
    EXPECT_TRUE(waitFor(first) && waitFor(second));
    // A program thread gets the requested stack and a number, and ends alone.
    std::atomic<bool> done{false}, after{false};
    std::atomic<int> number{0};
    startprocess(
        [&] {
            volatile char big[32 * 1024 * 1024];   // fits only in a large stack
            big[0] = 1;
            big[sizeof big - 1] = big[0];
            number = t_ThreadNumber();
            done = true;
            t_ExitThread();   // ends only this thread
            after = true;
        },
        0x40000000);
    ASSERT_TRUE(waitFor(done));
    EXPECT_GE(number.load(), 2);
    t_SleepMs(50);
    EXPECT_FALSE(after);
}

TEST(ThreadNumbers, MainIsOneAndEveryOtherThreadDiffers) {
    t_MarkMainThread();
    EXPECT_EQ(t_ThreadNumber(), 1);
    EXPECT_TRUE(t_IsMainThread());
    std::atomic<int> numbers[2] = {0, 0};
    for (std::atomic<int> &n : numbers) t_RunAsync([&n] { n = t_ThreadNumber(); });
    for (int i = 0; i < 500 && (!numbers[0] || !numbers[1]); i++) t_SleepMs(10);
    EXPECT_GE(numbers[0].load(), 2);
    EXPECT_GE(numbers[1].load(), 2);
    EXPECT_NE(numbers[0].load(), numbers[1].load());
    int ran = 0;
    t_OnMainThread([&] { ran++; });   // without a host it runs directly
    EXPECT_EQ(ran, 1);
}

}  // namespace
