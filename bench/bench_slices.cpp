// bench slices: listing a 2 GiB sparse memory card of 255 hd1k slices (what
// `info` does: the partition table, then each slice's directory) against
// reading the same directories' bytes with pread.  Every slice is
// formatted; every 8th holds files.  The figures are medians of --runs runs
// (default 31) with a warm cache, the two measured in turn; the target is at
// most 2x the reads.
//
// Usage: diskwright-bench slices [--runs N] [--dir FOLDER]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "definitions.h"
#include "files.h"
#include "image.h"
#include "in_place.h"
#include "slices.h"
#include "write.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

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

// The card: a partition table of one 0x2E partition of 255 slices from
// sector 2048, the directories 0xE5, files in every 8th slice.
static bool makeCard(const std::string &path, const cpm_Geometry &g, int slices) {
    const long long first = 2048LL * 512, each = g.SliceBytes;
    Text table(std::vector<uint8_t>(512, 0));
    uint32_t start = 2048, sectors = uint32_t(slices * (each / 512));
    table[446 + 4] = 0x2E;
    for (int k = 0; k < 4; k++) table[446 + 8 + k] = uint8_t(start >> (8 * k)), table[446 + 12 + k] = uint8_t(sectors >> (8 * k));
    table[510] = 0x55;
    table[511] = 0xAA;
    if (setbinarytofile(path, table) != 0) return false;
    std::vector<t_Range> directories;
    for (int i = 0; i < slices; i++)
        directories.push_back({first + i * each + g.DataStart, Text(std::vector<uint8_t>(size_t(g.DirEntries) * 32, 0xE5))});
    if (t_WriteRanges(path, directories, first + slices * each) != 0) return false;
    for (int i = 0; i < slices; i += 8) {
        cpm_Volume v = cpm_LoadVolume(path + "@" + std::to_string(i));
        for (int f = 0; f < 20; f++)
            v = cpm_SaveFile(std::move(v), Text("FILE" + std::to_string(f) + ".DAT"), Text(std::vector<uint8_t>(3000 + 97 * f, uint8_t(f)))).Volume;
        if (!cpm_SaveVolume(std::move(v)).Message.empty()) return false;
    }
    return true;
}

int bench_slices(int argc, char **argv) {
    int runs = 31;
    std::string base = "/dev/shm";
    for (int i = 1; i + 1 < argc; i++) {
        if (strcmp(argv[i], "--runs") == 0) runs = std::max(1, atoi(argv[i + 1]));
        if (strcmp(argv[i], "--dir") == 0) base = argv[i + 1];
    }
    if (t_FileExists(base) != 2) base = "/tmp";
    std::string folder = base + "/dwbenchslicesXXXXXX";
    if (!mkdtemp(folder.data())) {
        perror("bench slices: mkdtemp");
        return 1;
    }
    cpm_SetDiagnostics(false);
    const cpm_Geometry &g = cpm_FindDefinition("hd1k")->Geometry;
    const int slices = 255;
    std::string path = folder + "/card.img";
    if (!makeCard(path, g, slices)) {
        fprintf(stderr, "bench slices: the card could not be made\n");
        fs::remove_all(folder);
        return 1;
    }
    int fd = open(path.c_str(), O_RDONLY);
    long long size = (long long)fs::file_size(path);
    std::vector<uint8_t> buffer(size_t(g.DirEntries) * 32);
    uint8_t sector[512];
    long long sink = 0;
    auto readDirectories = [&] {
        sink += pread(fd, sector, sizeof sector, 0);
        for (int i = 0; i < slices; i++)
            sink += pread(fd, buffer.data(), buffer.size(), off_t(2048LL * 512 + i * g.SliceBytes + g.DataStart));
    };
    int files = 0;
    auto list = [&] {
        cpm_SliceTable table = cpm_FindSlicesIn(fd, size);
        files = 0;
        for (const cpm_Slice &s : table.Slices) files += cpm_SummariseSlice(fd, s).Files;
    };
    // The two alternate, so that the machine's load falls on both alike;
    // the ratio is the median of each run's ratio.
    std::vector<double> ratios;
    double reads = 0, listing = 0;
    for (int r = 0; r < runs; r++) {
        double a = medianMicros(1, readDirectories), b = medianMicros(1, list);
        ratios.push_back(b / a);
        reads += a / runs;
        listing += b / runs;
    }
    std::sort(ratios.begin(), ratios.end());
    close(fd);
    fs::remove_all(folder);
    bool ok = files == 20 * ((slices + 7) / 8) && sink > 0;
    printf("bench slices: %d slices of a %lld-byte sparse card, %d files, median of %d runs in %s\n", slices, size, files,
           runs, base.c_str());
    printf("  pread of the directories %8.1f us, info's listing %8.1f us (means): %.2fx (median of the runs' ratios; target at most 2x)%s\n",
           reads, listing, ratios[ratios.size() / 2], ok ? "" : "  WRONG file count");
    return ok ? 0 : 1;
}
