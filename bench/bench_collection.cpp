// bench collection: a scan of a collection of disk images against reading
// the same files with cat, and against a shell loop of cpmls over them.
//
// The collection: 2,000 images (--images N) of mixed kinds, about 400 MB,
// in nested folders of 100: raw images made by mkfs.cpm and cpmcp (8-inch
// IBM, Amstrad CPC data, Kaypro II, Apple II DOS order, a 720K PC disk),
// plain volumes made by the engine, and Extended DSK, ImageDisk, 2IMG, WOZ
// and NIB files converted from them by diskwright-cli; every image holds
// files.  The cache is warmed by reading every file once; then `cat` of all
// files to /dev/null (through xargs) and `diskwright-cli scan` run in turn
// --runs times (default 5), and the figure is the ratio of the medians.  The
// cpmls loop runs once: one cpmls a line, given the -f (and for a container
// -T) that the scan found.
//
// Usage: diskwright-bench collection [--images N] [--runs N] [--dir FOLDER] [--keep] [--no-loop]
// Without --dir it runs in /dev/shm (memory) and in /var/tmp (a disk).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files.h"
#include "image.h"
#include "volume.h"
#include "write.h"

extern char **environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Runs a program with standard output to `out` (a file, "/dev/null") and
// standard error to /dev/null; its exit status.
int runTo(const std::vector<std::string> &args, const std::string &out) {
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double timed(const std::vector<std::string> &args, int *status = nullptr) {
    auto t0 = Clock::now();
    int s = runTo(args, "/dev/null");
    if (status) *status = s;
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Bytes that differ from file to file and from run to run alike.
Text pattern(size_t size, uint32_t seed) {
    Text t{std::vector<uint8_t>(size)};
    for (size_t k = 0; k < size; k++) {
        seed = seed * 1103515245u + 12345u;
        t[k] = uint8_t(k % 61 < 40 ? 'A' + (seed >> 16) % 26 : seed >> 24);
    }
    return t;
}

bool failed(const char *step, const std::string &image) {
    fprintf(stderr, "bench collection: %s %s failed\n", step, image.c_str());
    return false;
}

struct Seed {
    std::string File;   // in the seeds folder
    int Weight;         // copies in every 24 images
};

// The images the collection is copied from; false when a tool failed.
bool makeSeeds(const fs::path &seeds, const std::string &cli, std::vector<Seed> &out) {
    fs::create_directories(seeds);
    std::vector<std::string> hostFiles;
    for (int i = 0; i < 6; i++) {
        std::string name = (seeds / ("file" + std::to_string(i) + (i % 2 ? ".com" : ".txt"))).string();
        setbinarytofile(name, pattern(size_t(2000 + i * 4000), uint32_t(i + 1)));
        hostFiles.push_back(name);
    }
    struct Raw {
        const char *Format, *File;
        long long Bytes;
        int Weight;
    } raws[] = {{"ibm-3740", "ibm.img", 256256, 3}, {"cpcdata", "cpc.img", 184320, 3}, {"kpii", "kp.img", 204800, 3},
                {"apple-do", "apple.do", 143360, 3}, {"cpm86-720", "pc720.img", 737280, 1}};
    for (const Raw &r : raws) {
        std::string image = (seeds / r.File).string();
        if (runTo({"mkfs.cpm", "-f", r.Format, image}, "/dev/null") != 0) return failed("mkfs.cpm", r.File);
        fs::resize_file(image, uintmax_t(r.Bytes));
        for (size_t k = 0; k < hostFiles.size(); k++)
            if (runTo({"cpmcp", "-f", r.Format, image, hostFiles[k], k % 3 == 2 ? "2:" : "0:"}, "/dev/null") != 0)
                return failed("cpmcp", r.File);
        out.push_back({r.File, r.Weight});
    }
    // The engine's own plain volumes.
    for (int kb : {200, 400}) {
        std::string image = (seeds / ("plain" + std::to_string(kb) + ".vol")).string();
        cpm_Volume v = cpm_MakeVolume(image, kb);
        for (size_t k = 0; k < hostFiles.size(); k++)
            v = cpm_SaveFile(std::move(v), Text("FILE" + std::to_string(k) + ".DAT"), gettextfromfile(hostFiles[k])).Volume;
        if (setbinarytofile(image, v.Image) != 0) return failed("writing", image);
        out.push_back({image.substr(image.rfind('/') + 1), 2});
    }
    struct Conversion {
        const char *From, *Kind, *To;
        int Weight;
    } conversions[] = {{"cpc.img", "edsk", "cpc.edsk", 2}, {"ibm.img", "imd", "ibm.imd", 2},
                       {"apple.do", "2mg", "apple.2mg", 1}, {"apple.do", "woz", "apple.woz", 1},
                       {"apple.do", "nib", "apple.nib", 1}};
    for (const Conversion &c : conversions) {
        if (runTo({cli, "convert", "--to", c.Kind, (seeds / c.From).string(), (seeds / c.To).string()}, "/dev/null") != 0)
            return failed("diskwright-cli convert to", c.To);
        out.push_back({c.To, c.Weight});
    }
    return true;
}

// Copies the seeds into `count` images, 100 a folder, in the order of their weights.
uintmax_t makeCollection(const fs::path &seeds, const std::vector<Seed> &list, const fs::path &into, int count) {
    std::vector<const Seed *> cycle;
    for (const Seed &s : list)
        for (int k = 0; k < s.Weight; k++) cycle.push_back(&s);
    uintmax_t bytes = 0;
    for (int i = 0; i < count; i++) {
        const Seed &s = *cycle[size_t(i) % cycle.size()];
        fs::path folder = into / ("shelf" + std::to_string(i / 400)) / ("box" + std::to_string(i / 100));
        fs::create_directories(folder);
        std::string ext = s.File.substr(s.File.rfind('.'));
        fs::copy_file(seeds / s.File, folder / ("disk" + std::to_string(i) + ext), fs::copy_options::overwrite_existing);
        bytes += fs::file_size(seeds / s.File);
    }
    return bytes;
}

// One value of a JSON object line: "key": "value".
std::string member(const std::string &line, const std::string &key) {
    size_t at = line.find("\"" + key + "\": \"");
    if (at == std::string::npos) return "";
    at += key.size() + 5;
    return line.substr(at, line.find('"', at) - at);
}

int benchIn(const fs::path &base, int images, int runs, bool keep, bool loop, const std::string &cli) {
    fs::path root = base / ("dw-bench-collection-" + std::to_string(getpid()));
    fs::path seeds = root / "seeds", collection = root / "collection";
    std::vector<Seed> seedList;
    if (!makeSeeds(seeds, cli, seedList)) {
        fprintf(stderr, "bench collection: the seed images could not be made (cpmtools installed?)\n");
        fs::remove_all(root);
        return 1;
    }
    uintmax_t bytes = makeCollection(seeds, seedList, collection, images);
    // The list of files for cat, in the walk's order.
    std::string list = (root / "files.list").string();
    runTo({"sh", "-c", "find '" + collection.string() + "' -type f -print0 | sort -z"}, list);
    int status = 0;
    timed({"xargs", "-0", "-a", list, "cat"});   // warms the cache: every file read once
    timed({cli, "scan", collection.string()});
    std::vector<double> cats, scans;
    for (int r = 0; r < runs; r++) {
        cats.push_back(timed({"xargs", "-0", "-a", list, "cat"}));
        int s = 0;
        scans.push_back(timed({cli, "scan", collection.string()}, &s));
        if (s != 0) status = s;
    }
    double cat = median(cats), scan = median(scans);
    printf("collection in %s: %d images, %.0f MB\n", base.c_str(), images, double(bytes) / 1e6);
    printf("  cat %.3f s, scan %.3f s: %.2fx cat (median of %d)\n", cat, scan, scan / cat, runs);
    if (status != 0) printf("  scan ended with status %d\n", status);
    if (loop) {
        // The loop gives cpmls the definition the scan found, -T for a container libdsk reads.
        std::string found = (root / "scan.jsonl").string();
        runTo({cli, "scan", "--json-lines", "--jobs", "1", collection.string()}, found);
        std::ifstream in(found);
        std::string script = (root / "loop.sh").string();
        std::ofstream out(script);
        for (std::string line; std::getline(in, line);) {
            std::string container = member(line, "container");
            std::string type = container == "Extended DSK" ? " -T edsk" : container == "ImageDisk" ? " -T imd" : "";
            out << "cpmls -f '" << member(line, "definition") << "'" << type << " '" << member(line, "path") << "'\n";
        }
        out.close();
        double shell = timed({"sh", script});
        printf("  cpmls loop %.3f s: scan %.1fx faster\n", shell, shell / scan);
    }
    if (keep) printf("  kept in %s\n", root.c_str());
    else fs::remove_all(root);
    return 0;
}

}  // namespace

int bench_collection(int argc, char **argv) {
    int images = 2000, runs = 5;
    bool keep = false, loop = true;
    std::vector<std::string> bases;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--images") == 0 && i + 1 < argc) images = std::max(1, atoi(argv[++i]));
        else if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, atoi(argv[++i]));
        else if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc) bases.push_back(argv[++i]);
        else if (strcmp(argv[i], "--keep") == 0) keep = true;
        else if (strcmp(argv[i], "--no-loop") == 0) loop = false;
    }
    if (bases.empty()) {
        if (fs::is_directory("/dev/shm")) bases.push_back("/dev/shm");
        bases.push_back(fs::is_directory("/var/tmp") ? "/var/tmp" : fs::temp_directory_path().string());
    }
    std::string cli = (fs::read_symlink("/proc/self/exe").parent_path() / "diskwright-cli").string();
    if (!fs::exists(cli)) {
        fprintf(stderr, "bench collection: %s not found (build diskwright-cli first)\n", cli.c_str());
        return 1;
    }
    cpm_SetDiagnostics(false);
    int status = 0;
    for (const std::string &base : bases) status |= benchIn(base, images, runs, keep, loop, cli);
    return status;
}
