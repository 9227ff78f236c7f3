// Test support: the independent tools that tests compare against (cpmtools,
// MAME's floptool).  Where CI runs (CI=true) a missing tool fails the test;
// on a developer's machine it skips it with a line that names the tool.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

// The programs of cpmtools that the tests run.
#define TEST_CPMTOOLS "mkfs.cpm", "cpmls", "cpmcp", "cpmrm", "cpmchattr", "fsck.cpm"

// The programs of the list that are not on the PATH, separated by spaces.
inline std::string test_MissingTools(std::initializer_list<const char *> programs) {
    std::string missing;
    for (const char *p : programs)
        if (std::system(("command -v '" + std::string(p) + "' >/dev/null 2>&1").c_str()) != 0)
            missing += (missing.empty() ? "" : " ") + std::string(p);
    return missing;
}

inline bool test_InCi() {
    const char *ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

// Ends the test, or the SetUp it is in, when a program is missing.
#define TEST_REQUIRE_TOOLS(...)                                                       \
    do {                                                                              \
        std::string missing_ = test_MissingTools({__VA_ARGS__});                      \
        if (missing_.empty()) break;                                                  \
        if (test_InCi()) FAIL() << "not installed: " << missing_;                     \
        GTEST_SKIP() << "not installed: " << missing_ << " (tools/install-deps.sh)";  \
    } while (0)
