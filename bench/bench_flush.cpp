// bench flush: the ways to make a batch of new files durable, on the
// folder's file system, alternating in one run: an fsync of each file and of
// the folder as each is written (one safe write per file); one fdatasync per
// file in a row after all are written; one syncfs; fdatasync from 4, 8 and 16
// threads; the last also after sync_file_range started each file's writing.
// Each way then renames the files into place and flushes the folder once
// (the first did so per file).  The host batch uses the cheapest.
//
// Usage: diskwright-bench flush [--runs N] [--dir FOLDER] [--files N]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_engine.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Way {
    const char *Name;
    int Threads;          // 0: one syncfs; -1: fsync as written
    bool StartWriting;    // sync_file_range as each is written
};
const Way ways[] = {
    {"fsync of file and folder as written", -1, false}, {"fdatasync each, in a row", 1, false},
    {"one syncfs", 0, false},                          {"fdatasync from 4 threads", 4, false},
    {"fdatasync from 8 threads", 8, false},            {"fdatasync from 16 threads", 16, false},
    {"sync_file_range, 8 threads", 8, true},
};

void flushFolder(const std::string &folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    fsync(fd);
    close(fd);
}

double runWay(const Way &way, const std::string &folder, const std::vector<std::string> &data) {
    fs::remove_all(folder);
    fs::create_directory(folder);
    int settle = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    syncfs(settle);
    close(settle);
    auto t0 = Clock::now();
    std::vector<int> fds;
    for (size_t i = 0; i < data.size(); i++) {
        std::string temp = folder + "/.f" + std::to_string(i) + ".tmp", name = folder + "/f" + std::to_string(i);
        int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (write(fd, data[i].data(), data[i].size()) != ssize_t(data[i].size())) perror("bench flush: write");
        if (way.Threads < 0) {
            fsync(fd);
            close(fd);
            rename(temp.c_str(), name.c_str());
            flushFolder(folder);
            continue;
        }
        if (way.StartWriting) sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        fds.push_back(fd);
    }
    if (way.Threads == 0) syncfs(fds.empty() ? -1 : fds[0]);
    if (way.Threads > 0) {
        size_t n = size_t(way.Threads);
        std::vector<std::thread> workers;
        for (size_t t = 0; t < n; t++)
            workers.emplace_back([&fds, t, n] {
                for (size_t k = t; k < fds.size(); k += n) fdatasync(fds[k]);
            });
        for (std::thread &w : workers) w.join();
    }
    if (way.Threads >= 0) {
        for (size_t i = 0; i < fds.size(); i++) {
            close(fds[i]);
            std::string temp = folder + "/.f" + std::to_string(i) + ".tmp", name = folder + "/f" + std::to_string(i);
            rename(temp.c_str(), name.c_str());
        }
        flushFolder(folder);
    }
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int bench_flush(int argc, char **argv) {
    int runs = 11, files = 110;
    std::string base = fs::temp_directory_path().string();
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, atoi(argv[++i]));
        else if (strcmp(argv[i], "--files") == 0 && i + 1 < argc) files = std::max(1, atoi(argv[++i]));
        else if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc) base = argv[++i];
    }
    std::string templ = base + "/dwbenchXXXXXX";
    if (!mkdtemp(templ.data())) {
        perror("bench flush: mkdtemp");
        return 1;
    }
    // The sizes of the engine batch's files: 1 byte to 15 KB.
    std::vector<std::string> data;
    uint32_t x = 20240601;
    for (int i = 0; i < files; i++) {
        x = x * 1103515245u + 12345u;
        data.emplace_back(i == 0 ? 1 : i == 1 ? 15360 : 1 + (x >> 8) % 15360, char(i));
    }
    printf("bench flush: %d new files (1 byte to 15 KB) made durable; %d runs in %s\n", files, runs, base.c_str());
    std::vector<std::vector<double>> times(std::size(ways));
    for (int r = 0; r < runs; r++)
        for (size_t w = 0; w < std::size(ways); w++) times[w].push_back(runWay(ways[w], templ + "/out", data));
    for (size_t w = 0; w < std::size(ways); w++)
        printf("  %-36s %.1f ms (median)\n", ways[w].Name, bench_Median(times[w]) * 1000);
    fs::remove_all(templ);
    return 0;
}
