// Test support: reading what a started program writes on its standard output.
#pragma once

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
