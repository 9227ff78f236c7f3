// Writes the seed corpus of fuzz_engine into the folder given as argument:
// small inputs in the format of fuzz_engine.h, made by the engine itself.
#include <cstdio>
#include <string>

#include "directory.h"
#include "files.h"
#include "fuzz_engine.h"
#include "image.h"
#include "maintenance.h"
#include "volume.h"
#include "write.h"

static Text pattern(size_t n, unsigned seed) {
    Text t{std::vector<uint8_t>(n)};
    for (size_t i = 0; i < n; i++) t[i] = uint8_t((i * 7 + seed * 13) ^ (i >> 8));
    return t;
}

// A volume of the structured geometry `mode` with a few files in it.
static cpm_Volume populated(uint8_t mode) {
    uint8_t blank[1] = {mode};
    cpm_Volume v = fuzz_Unrefused(cpm_OpenImage(fuzz_ImageOf(blank, 1), "seed"));
    const std::pair<const char *, size_t> files[] = {
        {"HELLO.TXT", 1000}, {"BIG.DAT", 40000}, {"EMPTY", 0}, {"EDGE.BIN", 16384}, {"GONE.COM", 3000}};
    for (const auto &[name, size] : files) v = cpm_SaveFile(std::move(v), Text(name), pattern(size, unsigned(size))).Volume;
    v = cpm_SetFileUser(std::move(v), Text("GONE.COM"), 0xE5).Volume;
    // A read-only system file, a user-31 entry, a blank first name byte and an invalid one.
    uint8_t *e = v.Image.data() + v.Geometry.DataStart;
    e[32 * 1 + 9] |= 0x80;
    e[32 * 1 + 10] |= 0x80;
    int free = 0;
    while (free < v.Geometry.DirEntries && e[32 * free] != 0xE5) free++;
    const char *raw[] = {"\x1F" "BOOT    SYS", "\x00 BLANK  TXT", "\x00\x01" "BAD    TXT"};
    for (int k = 0; k < 3 && free + k < v.Geometry.DirEntries; k++) {
        uint8_t *x = e + 32 * (free + k);
        for (int b = 0; b < 12; b++) x[b] = uint8_t(raw[k][b]);
        x[15] = 8;
        x[16] = uint8_t(v.Geometry.DirBlocks + 1);
        x[17] = uint8_t(250 + k);
    }
    return cpm_Rebuild(std::move(v));
}

static void write(const std::string &folder, const std::string &name, const Text &bytes) {
    if (setbinarytofile(folder + "/" + name, bytes) != 0) fprintf(stderr, "cannot write %s\n", name.c_str());
}

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: fuzz_engine_seeds FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    cpm_SetDiagnostics(false);
    const char *names[8] = {"plain64k", "apple140k22", "apple140k30", "apple800k-short",
                            "plain256k", "apple140k-tail", "apple800k", "plain514k"};
    for (uint8_t g = 0; g < 8; g++) {
        cpm_Volume v = populated(uint8_t(0x80 | g));
        // Only the entries in use: the rest of the blank directory is 0xE5 already.
        int used = 0;
        for (int i = 0; i < v.Geometry.DirEntries; i++)
            if (v.Image[size_t(v.Geometry.DataStart + 32 * i)] != 0xE5) used = i + 1;
        Text seed(std::vector<uint8_t>{uint8_t(0x80 | g | (g == 1 ? 0x40 : 0) | 0x20)});
        seed = seed + Text(std::vector<uint8_t>(v.Image.data() + v.Geometry.DataStart, v.Image.data() + v.Geometry.DataStart + 32 * used));
        write(folder, std::string("dir-") + names[g], seed);
    }
    // Raw images: a small plain volume, a short 140K image, signatures alone.
    cpm_Volume small = cpm_MakeVolume("small", 8);
    small = cpm_SaveFile(std::move(small), Text("A.TXT"), pattern(3000, 1)).Volume;
    write(folder, "raw-plain8k", Text(std::vector<uint8_t>{0x00}) + small.Image);
    uint8_t apple[1] = {0x81};
    Text short140 = fuzz_ImageOf(apple, 1);
    short140.Elements.resize(15000);
    write(folder, "raw-short140k", Text(std::vector<uint8_t>{0x10}) + short140);
    write(folder, "raw-sig800k", Text(std::vector<uint8_t>{0x00, 0x01, 0x8A, 0x4A, 0x4A, 0x00}));
    write(folder, "raw-empty", Text(std::vector<uint8_t>{0x00}));
    return 0;
}
