// Runs the scenarios offscreen; each test runs in a process of its own (ctest
// starts one per test), so each has a fresh application.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // The program thread may still wait for a key: end without tearing down.
    fflush(stdout);
    _exit(result);
}
