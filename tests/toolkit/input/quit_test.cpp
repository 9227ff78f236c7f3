// The quit request between the menu (main thread) and the program thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "quit.h"
#include "threads.h"

namespace {

std::atomic<int> ended{0};

class QuitRequest : public ::testing::Test {
protected:
    void SetUp() override {
        ended = 0;
        t_QuitHostServices h;
        h.EndApplication = [] { ended++; };
        t_SetQuitHostServices(h);
        t_SetQuitHandler(nullptr);
    }
    void TearDown() override {
        t_SetQuitHandler(nullptr);
        t_SetQuitHostServices({});
    }
};

TEST_F(QuitRequest, WithoutAProgramToAskItEndsAtOnce) {
    t_RequestQuit();
    EXPECT_EQ(ended, 1);
}

TEST_F(QuitRequest, TheProgramAnswersOnItsOwnThreadAtItsNextWait) {
    std::atomic<bool> programRunning{true};
    std::atomic<bool> handlerInstalled{false};
    std::thread::id answeredOn;
    std::thread program([&] {
        t_SetQuitHandler([&] {
            answeredOn = std::this_thread::get_id();
            t_QuitApplication();
            programRunning = false;
        });
        handlerInstalled = true;
        while (programRunning) {
            t_ServeQuitRequest();   // as every wait for input does
            t_SleepMs(1);
        }
        t_SetQuitHandler(nullptr);
    });
    std::thread::id programId = program.get_id();
    while (!handlerInstalled) t_SleepMs(1);
    t_RequestQuit();
    program.join();
    EXPECT_EQ(answeredOn, programId);
    EXPECT_EQ(ended, 1);   // once: the handler's, not again when it was taken away
}

TEST_F(QuitRequest, AProgramMayRefuse) {
    int asked = 0;
    t_SetQuitHandler([&] { asked++; });
    t_RequestQuit();
    t_ServeQuitRequest();
    t_ServeQuitRequest();   // one request, one answer
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ended, 0);
}

TEST_F(QuitRequest, APendingRequestQuitsWhenTheProgramStopsAnswering) {
    // The program ends (Q) between the menu's request and its next wait.
    t_SetQuitHandler([] { FAIL() << "the program was asked after it stopped answering"; });
    t_RequestQuit();
    EXPECT_EQ(ended, 0);
    t_SetQuitHandler(nullptr);
    EXPECT_EQ(ended, 1);
    t_ServeQuitRequest();
    EXPECT_EQ(ended, 1);
}

TEST_F(QuitRequest, DialogsWithoutAHostCancel) {
    t_SetQuitHostServices({});
    EXPECT_EQ(t_AskSaveChanges("WORK.DSK"), t_SaveChangesAnswer::Cancel);
    t_Alert("nobody sees this");   // and nothing breaks
}

}  // namespace
