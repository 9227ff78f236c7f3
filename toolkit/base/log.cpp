// The diagnostic log on standard output.
#include "log.h"

#include <cstdio>
#include <mutex>
#include <string>

static std::mutex logLock;
static std::function<void(std::string_view)> logTee;

static void write(std::string_view text) {
    std::function<void(std::string_view)> tee;
    {
        std::lock_guard<std::mutex> hold(logLock);
        fwrite(text.data(), 1, text.size(), stdout);
        fflush(stdout);
        tee = logTee;
    }
    if (tee) tee(text);
}

void t_Log(std::string_view line) { write(std::string(line) + "\n"); }

void t_LogPart(std::string_view part) { write(part); }

void t_SetLogTee(std::function<void(std::string_view)> tee) {
    std::lock_guard<std::mutex> hold(logLock);
    logTee = std::move(tee);
}
