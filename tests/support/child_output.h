// Test support: reading what a started program writes on its standard output.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <unistd.h>

// Reads the program's output from fd until the text appears or the time runs
// out; true when it appeared.
inline bool test_ReadUntil(int fd, const std::string &text, std::string &log, int timeoutMs) {
    char buf[4096];
    for (int waited = 0; log.find(text) == std::string::npos && waited < timeoutMs; waited += 50) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        log.append(buf, size_t(n));
    }
    return log.find(text) != std::string::npos;
}

// A runtime folder of the test's own (removed at the end), for a started
// program's XDG_RUNTIME_DIR: a program started without paths hands over to
// a Diskwright that already runs for the user and ends, so a test that wants
// its own program must keep it apart from any other.
struct test_RuntimeFolder {
    std::string Path;
    test_RuntimeFolder() {
        char folder[] = "/tmp/dw-runtime-XXXXXX";
        if (mkdtemp(folder)) Path = folder;
    }
    ~test_RuntimeFolder() {
        std::error_code ignored;
        if (!Path.empty()) std::filesystem::remove_all(Path, ignored);
    }
    test_RuntimeFolder(const test_RuntimeFolder &) = delete;
    test_RuntimeFolder &operator=(const test_RuntimeFolder &) = delete;
};
