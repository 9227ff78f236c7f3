// Test support: a program started as a process of its own, and what it
// writes on its standard output; a shell command line run to its end.
#pragma once

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

// Runs a shell command line to its end; its exit status (-1 when it did not
// exit), and what it wrote on its standard output in *output.
inline int test_Shell(const std::string &command, std::string *output = nullptr) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    int status = pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct test_Program {
    pid_t Pid = -1;
    int Output = -1;   // the read end of its standard output and error
    std::string Log;   // what was read so far
    // Its XDG_RUNTIME_DIR, of its own: a program started without paths hands
    // over to a Diskwright that already runs for the user and ends.
    std::string Runtime;
};

// Starts the program under the offscreen platform.
inline test_Program test_StartProgram(const std::string &path) {
    test_Program p;
    char runtime[] = "/tmp/dw-runtime-XXXXXX";
    int fds[2];
    if (!mkdtemp(runtime)) return p;
    p.Runtime = runtime;
    if (pipe(fds) != 0) return p;
    p.Pid = fork();
    if (p.Pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_RUNTIME_DIR", runtime, 1);
        execl(path.c_str(), path.c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    p.Output = fds[0];
    return p;
}

// Reads the program's output until the text appears or the time runs out;
// true when it appeared.
inline bool test_ReadUntil(test_Program &p, const std::string &text, int timeoutMs) {
    char buf[4096];
    for (int waited = 0; p.Log.find(text) == std::string::npos && waited < timeoutMs; waited += 50) {
        pollfd poller{p.Output, POLLIN, 0};
        if (poll(&poller, 1, 50) <= 0) continue;
        ssize_t n = read(p.Output, buf, sizeof buf);
        if (n <= 0) break;
        p.Log.append(buf, size_t(n));
    }
    return p.Log.find(text) != std::string::npos;
}

// True while the program has not ended by itself.
inline bool test_StillRunning(const test_Program &p) { return waitpid(p.Pid, nullptr, WNOHANG) == 0; }

// Ends the program and removes its runtime folder; its log stays.
inline void test_StopProgram(test_Program &p) {
    if (p.Pid > 0) {
        kill(p.Pid, SIGKILL);
        waitpid(p.Pid, nullptr, 0);
    }
    if (p.Output >= 0) close(p.Output);
    p.Pid = p.Output = -1;
    std::error_code ignored;
    if (!p.Runtime.empty()) std::filesystem::remove_all(p.Runtime, ignored);
    p.Runtime.clear();
}

