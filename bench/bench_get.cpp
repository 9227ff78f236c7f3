// bench get: `diskwright-cli get IMAGE '*' FOLDER` of 110 files against `cp`
// of the same files into an empty folder followed by `sync -f` of it: both
// leave the files on disk, durable.  The runs alternate in one process; the
// figure is the ratio of the medians.
//
// Usage: diskwright-bench get [--runs N] [--dir FOLDER]
// FOLDER defaults to the temporary folder, which should be on a disk: in
// memory (/dev/shm) a flush costs nothing and only the writing is compared.
#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <linux/magic.h>
#include <string>
#include <vector>

#include "bench_engine.h"
#include "files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Flushes the file system of the folder, so that a run does not pay for what
// the cleaning before it left unwritten.
static void settle(const fs::path &folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        syncfs(fd);
        close(fd);
    }
}

static double timed(const std::vector<std::vector<std::string>> &commands, const std::string &folder, bool &ok) {
    auto t0 = Clock::now();
    for (const auto &c : commands)
        if (bench_RunQuiet(c, folder) != 0) {
            fprintf(stderr, "bench get: %s failed\n", c[0].c_str());
            ok = false;
        }
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

int bench_get(int argc, char **argv) {
    int runs = 15;
    std::string base = fs::temp_directory_path().string();
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, atoi(argv[++i]));
        else if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc) base = argv[++i];
    }
    std::string cli = (fs::read_symlink("/proc/self/exe").parent_path() / "diskwright-cli").string();
    if (t_FileExists(cli) != 1) {
        fprintf(stderr, "bench get: %s not found (build diskwright-cli first)\n", cli.c_str());
        return 1;
    }
    std::string templ = base + "/dwbenchXXXXXX";
    if (!mkdtemp(templ.data())) {
        perror("bench get: mkdtemp");
        return 1;
    }
    fs::path folder(templ);
    struct statfs fsInfo {};
    statfs(folder.c_str(), &fsInfo);
    bool inMemory = fsInfo.f_type == TMPFS_MAGIC || fsInfo.f_type == RAMFS_MAGIC;
    std::vector<std::string> names = bench_MakeFiles(folder);
    std::vector<std::string> put = {cli, "put", "files.img"}, cp = {"cp"};
    for (const std::string &n : names) {
        put.push_back(n);
        cp.push_back(n);
    }
    cp.push_back("cp.out/");
    bool ok = bench_RunQuiet({cli, "new", "files.img", "2048"}, folder.string()) == 0 &&
              bench_RunQuiet(put, folder.string()) == 0;
    printf("bench get: get '*' of 110 files (1 byte to 15 KB) against cp and sync -f; %d runs in %s (%s)\n", runs,
           base.c_str(), inMemory ? "in memory" : "on a disk");
    std::vector<double> ours, theirs;
    for (int r = 0; r < runs && ok; r++) {
        fs::remove_all(folder / "ours.out");
        fs::remove_all(folder / "cp.out");
        fs::create_directory(folder / "ours.out");
        fs::create_directory(folder / "cp.out");
        settle(folder);
        ours.push_back(timed({{cli, "get", "files.img", "*", "ours.out"}}, folder.string(), ok));
        settle(folder);
        theirs.push_back(timed({cp, {"sync", "-f", "cp.out"}}, folder.string(), ok));
    }
    if (ok) {
        size_t got = size_t(std::distance(fs::directory_iterator(folder / "ours.out"), fs::directory_iterator()));
        ok = got == names.size();
        if (!ok) fprintf(stderr, "bench get: %zu files came back, not %zu\n", got, names.size());
    }
    if (ok) {
        double a = bench_Median(ours), b = bench_Median(theirs);
        printf("  diskwright-cli get: %.1f ms, cp + sync -f: %.1f ms (medians)\n", a * 1000, b * 1000);
        printf("  ratio get / (cp + sync -f): %.2fx (target: at most 1.2x)\n", a / b);
    }
    fs::remove_all(folder);
    return ok ? 0 : 1;
}
