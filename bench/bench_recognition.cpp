// bench recognition: recognising an image against every definition of this
// machine (the built-in ones, /etc/cpmtools/diskdefs, the user's file)
// against reading the same file into memory, for a 200 KB, an 800 KB and an
// 8 MB image holding files.  Each figure is the median of --runs runs
// (default 51); the target is at most 2x the read.
//
// Usage: diskwright-bench recognition [--runs N] [--dir FOLDER]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs.h"
#include "definitions.h"
#include "files.h"
#include "image.h"
#include "recognition.h"
#include "volume.h"
#include "write.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// An 8 MB hard-disk slice, as memory cards of hobby boards hold them.
static const char *benchDiskdefs = "diskdef bench-8m\n  seclen 512\n  tracks 256\n  sectrk 64\n  blocksize 8192\n"
                                   "  maxdir 512\n  boottrk 1\n  os 2.2\nend\n";

struct Image {
    const char *Definition;
    const char *File;
    int Files;
    size_t FileBytes;
};

static const Image images[] = {
    {"kpii", "kaypro.img", 24, 6000},
    {"apple2-800k", "apple800.po", 60, 12000},
    {"bench-8m", "card.img", 200, 38000},
};

template <typename F> static double medianMicros(int runs, F f) {
    std::vector<double> t;
    for (int r = 0; r < runs; r++) {
        auto start = Clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

int bench_recognition(int argc, char **argv) {
    int runs = 51;
    std::string base = "/dev/shm";
    for (int i = 1; i + 1 < argc; i++) {
        if (strcmp(argv[i], "--runs") == 0) runs = std::max(1, atoi(argv[i + 1]));
        if (strcmp(argv[i], "--dir") == 0) base = argv[i + 1];
    }
    if (t_FileExists(base) != 2) base = "/tmp";
    std::string folder = base + "/dwbenchrecXXXXXX";
    if (!mkdtemp(folder.data())) {
        perror("bench recognition: mkdtemp");
        return 1;
    }
    std::string defs = folder + "/diskdefs";
    setbinarytofile(defs, Text(benchDiskdefs));
    cpm_SetDiagnostics(false);
    std::string error = cpm_LoadLibrary(cpm_SystemDiskdefs, cpm_UserDiskdefs(), defs);
    if (!error.empty()) {
        fprintf(stderr, "bench recognition: %s\n", error.c_str());
        return 1;
    }
    printf("bench recognition: %zu definitions known; median of %d runs in %s\n", cpm_Library().size(), runs, base.c_str());
    bool ok = true;
    for (const Image &im : images) {
        const cpm_Definition *d = cpm_FindDefinition(im.Definition);
        std::string path = folder + "/" + im.File;
        Text blank(std::vector<uint8_t>(size_t(cpm_GeometryBytes(d->Geometry)), 0xE5));
        if (d->Geometry.Format == cpm_Format::Apple800K) {   // the boot sector's signature
            const uint8_t signature[4] = {0x01, 0x8A, 0x4A, 0x4A};
            std::copy(signature, signature + 4, blank.Elements.begin());
        }
        cpm_Volume v = cpm_OpenImageAs(blank, path, *d);
        for (int f = 0; f < im.Files; f++) {
            Text data(std::vector<uint8_t>(im.FileBytes + size_t(f) * 37, uint8_t(f)));
            v = cpm_SaveFile(std::move(v), Text("FILE" + std::to_string(f) + ".DAT"), data).Volume;
        }
        setbinarytofile(path, cpm_FileImage(v));
        Text bytes = gettextfromfile(path);
        size_t candidates = cpm_DefinitionsForSize(bytes.size()).size();
        double read = medianMicros(runs, [&] { bytes = gettextfromfile(path); });
        cpm_Recognition r;
        cpm_Medium medium = cpm_DecodeFile(bytes);
        double recognise = medianMicros(runs, [&] { r = cpm_Recognise(medium, path); });
        // A definition that reads the same files in the same places is the same reading.
        bool right = r.Definition == im.Definition || (r.How.rfind("same files", 0) == 0 && r.Unclear.empty());
        ok = ok && right;
        printf("  %-12s %8zu bytes, %3zu definitions of its size: read %8.1f us, recognise %8.1f us: %.2fx (target at most 2x), read as %s%s\n",
               im.Definition, bytes.size(), candidates, read, recognise, recognise / read, r.Definition.c_str(),
               right ? "" : ("  WRONG: " + r.Definition).c_str());
    }
    fs::remove_all(folder);
    return ok ? 0 : 1;
}
