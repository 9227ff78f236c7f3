// The key and mouse queues between threads, the output pause, typed strings.
#include <gtest/gtest.h>

#include <thread>

#include "display.h"
#include "events.h"
#include "text.h"
#include "threads.h"

namespace {

t_Event keyEvent(int value) {
    t_Event e;
    e.Kind = t_EventKey;
    e.Value = value;
    return e;
}

TEST(EventQueues, TwoThreadsLoseAndDuplicateNothingAndEmptyGivesMinusOne) {
    t_ClearEventQueues();
    const int count = 100000;
    std::thread producer([] {
        for (int i = 0; i < count; i++) t_PostKeyEvent(keyEvent(i));
    });
    std::vector<int> taken;
    taken.reserve(count);
    while (int(taken.size()) < count) {
        int v = t_GetEvent();
        if (v >= 0) taken.push_back(v);
    }
    producer.join();
    for (int i = 0; i < count; i++) ASSERT_EQ(taken[size_t(i)], i);
    EXPECT_EQ(t_GetEvent(), -1);
    EXPECT_FALSE(t_EventAvailable);
    // Empty: -1; negative values come back from t_GetEvent, t_GetKey skips them.
    t_ClearEventQueues();
    EXPECT_EQ(t_GetEvent(), -1);
    t_PostKeyEvent(keyEvent(-5));
    EXPECT_EQ(t_GetEvent(), -5);   // negative values come back as they are
    t_PostKeyEvent(keyEvent(-1));
    t_PostKeyEvent(keyEvent(0xE9));
    EXPECT_EQ(t_GetKey(0), "é");
    EXPECT_EQ(t_CurrentEvent.Value, 0xE9);
}

TEST(OutputPause, OnlyTheNewestKeyCountsAndTheNextEndsTheWait) {
    t_ClearEventQueues();
    t_PostKeyEvent(keyEvent(19));
    t_PostKeyEvent(keyEvent('a'));
    EXPECT_FALSE(t_PauseOnKey(19, false));
    EXPECT_EQ(t_PendingKeyEvents(), 2u);

    t_PostKeyEvent(keyEvent(19));
    EXPECT_TRUE(t_PauseOnKey(19, false));
    EXPECT_EQ(t_PendingKeyEvents(), 0u);   // typed-ahead keys go too
    // Waiting, the next key ends the pause and is taken.
    t_PostKeyEvent(keyEvent(19));
    std::thread resume([] {
        t_SleepMs(50);
        t_PostKeyEvent(keyEvent('x'));
    });
    EXPECT_TRUE(t_PauseOnKey(19, true));
    resume.join();
    EXPECT_EQ(t_PendingKeyEvents(), 0u);
}

TEST(TypedStrings, OneEventPerCharacter) {
    t_ClearEventQueues();
    t_TypeString("aé€");
    ASSERT_EQ(t_PendingKeyEvents(), 3u);
    for (int value : {int('a'), 0xE9, 0x20AC}) EXPECT_EQ(t_GetEvent(), value);
    EXPECT_EQ(t_CurrentEvent.Description, "€");
    EXPECT_EQ(t_CurrentEvent.Window, 1);
    t_TypeString("");
    EXPECT_FALSE(t_EventAvailable);
}

}  // namespace
