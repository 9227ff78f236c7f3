// The application under the offscreen platform: launch order, the program
// thread, and quitting.
#include <gtest/gtest.h>

#include "child_output.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <atomic>
#include <cstdio>
#include <csignal>
#include <string>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app_delegate.h"
#include "application.h"
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
                t_AppDelegate()->FileMenu->actions().first()->trigger();
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

TEST(Application, TheRealProgramStartsItsWindowsAndKeepsRunning) {
    test_RuntimeFolder runtime;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_RUNTIME_DIR", runtime.Path.c_str(), 1);
        execl(DW_PROGRAM, DW_PROGRAM, nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string log;
    // The program thread makes window 0 and waits in the browser for a choice.
    EXPECT_TRUE(test_ReadUntil(fds[0], "t_InitWindow: GraphicWindow #1 End.", log, 20000)) << log;
    usleep(300 * 1000);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the application ended by itself";
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    close(fds[0]);
}

}  // namespace
