// bench engine: diskwright-cli against cpmtools on the same batch, in one run.
//
// The batch: create a 2048K plain volume, put 110 host files of 1 byte to
// 15 KB (one directory entry each, so all fit the 128 entries), list it, get
// every file back.  Ours: diskwright-cli new, put, ls, get '*'.  Theirs:
// mkfs.cpm, cpmcp, cpmls, cpmcp '0:*' with a diskdef of the same geometry
// (one extra leading track: cpmtools 2.23 misplaces blocks of 16-bit volumes
// without one).  Each batch runs --runs times (default 9), alternating; the
// figure is the ratio of the medians of the whole batch.
//
// Usage: diskwright-bench engine [--runs N] [--dir FOLDER]
// FOLDER defaults to /dev/shm (memory), so that the tools are measured and not
// the disk: the image save of diskwright-cli flushes to the disk, and so does
// its get of the files; cpmtools does not flush at all.  --dir /tmp measures
// the same on a disk.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_engine.h"
#include "files.h"
#include "volume.h"

extern char **environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

static const char *benchDiskdef = "diskdef dw-bench\n  seclen 512\n  tracks 1025\n  sectrk 4\n  blocksize 2048\n"
                                  "  maxdir 128\n  boottrk 1\n  os 2.2\nend\n";

int bench_RunQuiet(const std::vector<std::string> &args, const std::string &folder) {
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid;
    int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Step {
    const char *Name;
    std::vector<std::string> Args;
};

// Runs the steps once; the seconds of each, or empty when a step failed.
static std::vector<double> runBatch(const std::vector<Step> &steps, const std::string &folder) {
    std::vector<double> seconds;
    for (const Step &s : steps) {
        auto t0 = Clock::now();
        int status = bench_RunQuiet(s.Args, folder);
        seconds.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        if (status != 0) {
            fprintf(stderr, "bench engine: %s failed (status %d)\n", s.Args[0].c_str(), status);
            return {};
        }
    }
    return seconds;
}

double bench_Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::vector<std::string> bench_MakeFiles(const fs::path &folder) {
    fs::create_directories(folder / "in");
    std::vector<std::string> names;
    uint32_t x = 20240601;
    for (int i = 0; i < 110; i++) {
        x = x * 1103515245u + 12345u;
        size_t size = i == 0 ? 1 : i == 1 ? 15360 : 1 + (x >> 8) % 15360;
        Text data{std::vector<uint8_t>(size)};
        for (size_t k = 0; k < size; k++) data[k] = uint8_t((x >> 16) + k * 31);
        char name[32];
        snprintf(name, sizeof name, "in/file%03d.dat", i);
        setbinarytofile((folder / name).string(), data);
        names.push_back(name);
    }
    return names;
}

static bool haveCpmtools() { return system("command -v cpmcp >/dev/null 2>&1 && command -v mkfs.cpm >/dev/null 2>&1") == 0; }

// Every file that came back starts with the bytes that went in.
static bool sameFiles(const fs::path &folder, const std::vector<std::string> &names, const char *outFolder, bool upper) {
    for (const std::string &n : names) {
        std::string base = n.substr(3);
        if (upper) std::transform(base.begin(), base.end(), base.begin(), ::toupper);
        Text in = gettextfromfile((folder / n).string());
        Text out = gettextfromfile((folder / outFolder / base).string());
        if (out.size() < in.size() || !std::equal(in.Elements.begin(), in.Elements.end(), out.Elements.begin())) {
            fprintf(stderr, "bench engine: %s did not come back whole\n", base.c_str());
            return false;
        }
    }
    return true;
}

static void printSteps(const char *who, const std::vector<Step> &steps, const std::vector<std::vector<double>> &runs) {
    printf("  %-15s", who);
    double total = 0;
    for (size_t k = 0; k < steps.size(); k++) {
        std::vector<double> one;
        for (const auto &r : runs) one.push_back(r[k]);
        printf(" %s %.1f ms,", steps[k].Name, bench_Median(one) * 1000);
    }
    std::vector<double> sums;
    for (const auto &r : runs) {
        double s = 0;
        for (double d : r) s += d;
        sums.push_back(s);
    }
    total = bench_Median(sums);
    printf(" batch %.1f ms (median)\n", total * 1000);
}

int bench_engine(int argc, char **argv) {
    int runs = 9;
    std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, atoi(argv[++i]));
        else if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc) base = argv[++i];
    }
    std::string cli = (fs::read_symlink("/proc/self/exe").parent_path() / "diskwright-cli").string();
    if (t_FileExists(cli) != 1) {
        fprintf(stderr, "bench engine: %s not found (build diskwright-cli first)\n", cli.c_str());
        return 1;
    }
    std::string templ = base + "/dwbenchXXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data())) {
        perror("bench engine: mkdtemp");
        return 1;
    }
    fs::path folder(buf.data());
    std::vector<std::string> names = bench_MakeFiles(folder);
    setbinarytofile((folder / "diskdefs").string(), Text(benchDiskdef));

    std::vector<Step> ours = {{"new", {cli, "new", "ours.img", "2048"}},
                              {"put", {cli, "put", "ours.img"}},
                              {"ls", {cli, "ls", "ours.img"}},
                              {"get", {cli, "get", "ours.img", "*", "ours.out"}}};
    std::vector<Step> theirs = {{"mkfs", {"mkfs.cpm", "-f", "dw-bench", "cpm.img"}},
                                {"cpmcp in", {"cpmcp", "-f", "dw-bench", "cpm.img"}},
                                {"cpmls", {"cpmls", "-f", "dw-bench", "cpm.img"}},
                                {"cpmcp out", {"cpmcp", "-f", "dw-bench", "cpm.img", "0:*", "cpm.out/"}}};
    for (const std::string &n : names) {
        ours[1].Args.push_back(n);
        theirs[1].Args.push_back(n);
    }
    theirs[1].Args.push_back("0:");
    bool cpmtools = haveCpmtools();

    printf("bench engine: 110 files (1 byte to 15 KB) into a 2048K volume, list, get all; %d runs in %s\n", runs,
           base.c_str());
    std::vector<std::vector<double>> oursRuns, theirRuns;
    bool ok = true;
    for (int r = 0; r < runs && ok; r++) {
        fs::remove(folder / "ours.img");
        fs::remove_all(folder / "ours.out");
        fs::create_directory(folder / "ours.out");
        std::vector<double> s = runBatch(ours, folder.string());
        ok = !s.empty();
        if (ok) oursRuns.push_back(s);
        if (!cpmtools || !ok) continue;
        fs::remove(folder / "cpm.img");
        fs::remove_all(folder / "cpm.out");
        fs::create_directory(folder / "cpm.out");
        s = runBatch(theirs, folder.string());
        ok = !s.empty();
        if (ok) theirRuns.push_back(s);
    }
    ok = ok && sameFiles(folder, names, "ours.out", true) && (!cpmtools || sameFiles(folder, names, "cpm.out", false));
    if (ok) {
        printSteps("diskwright-cli", ours, oursRuns);
        if (cpmtools) {
            printSteps("cpmtools", theirs, theirRuns);
            auto batch = [](const std::vector<std::vector<double>> &rs) {
                std::vector<double> sums;
                for (const auto &r : rs) {
                    double s = 0;
                    for (double d : r) s += d;
                    sums.push_back(s);
                }
                return bench_Median(sums);
            };
            double ratio = batch(theirRuns) / batch(oursRuns);
            printf("  ratio cpmtools / diskwright-cli: %.2fx (target: at least 2x)\n", ratio);
        } else {
            printf("  cpmtools is not installed: no comparison\n");
        }
    }
    fs::remove_all(folder);
    return ok ? 0 : 1;
}
