// The application under the offscreen platform: launch order, the program
// thread, and quitting.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <atomic>
#include <string>

#include "application.h"
#include "menus_qt.h"
#include "threads.h"

namespace {

// Lines in the order they must appear, each after the one before.
void expectInOrder(const std::string &log, const std::vector<std::string> &lines) {
    size_t at = 0;
    for (const std::string &line : lines) {
        size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\nlog:\n" << log;
        at = found + line.size();
    }
}

TEST(Application, LaunchesRunsTheProgramAndQuitsFromTheMenu) {
    std::atomic<int> programThread{0};
    std::atomic<bool> stillRunningAfterProgram{false};
    testing::internal::CaptureStdout();
    int argc = 1;
    char name[] = "diskwright";
    char *argv[] = {name, nullptr};
    t_ApplicationOptions options;
    options.SingleInstance = false;   // tests beside it start programs of their own
    int status = t_RunApplication(argc, argv, [&] {
        programThread = t_ThreadNumber();
        // The program ends; a moment later the user quits from the menu.
        t_RunAsync([&] {
            t_SleepMs(200);
            t_OnMainThread([&] {
                stillRunningAfterProgram = true;
                t_MenuFind("File")->actions().first()->trigger();
            });
        });
    }, options);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(programThread.load(), 2);
    EXPECT_TRUE(stillRunningAfterProgram);
    expectInOrder(log, {"applicationWillFinishLaunching: Called.", "applicationDidFinishLaunching: Start.",
                        "initvxtools: Start.", "initvxtools: End.", "Program: Start.",
                        "applicationDidFinishLaunching: End.", "applicationWillTerminate: Called."});
}

}  // namespace
