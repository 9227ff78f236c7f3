// libFuzzer target: arbitrary bytes as a volume image, then everything the
// volume manager and diskwright-cli do with one: listings, sector map, the
// consistency check, wildcards, blocks, reading and dumping every file,
// writing a file, erasing, unerasing, sorting, initialising and saving.  Beyond "no crash, no
// sanitizer report" it checks the engine's own promises: the lists always
// describe the image, refused operations leave it unchanged, a saved image
// loads back to the same contents.
#include <algorithm>

#include "check.h"
#include "fuzz_engine.h"
#include "hexdump.h"
#include "image.h"
#include "listing.h"
#include "maintenance.h"
#include "patterns.h"
#include "read.h"
#include "sector_map.h"
#include "write.h"

#define FUZZ_CHECK(cond) \
    do {                 \
        if (!(cond)) __builtin_trap(); \
    } while (0)

// The lists and the map have the sizes the geometry gives.
static void checkShape(const cpm_Volume &v) {
    FUZZ_CHECK(v.Names.size() == size_t(v.Geometry.DirEntries));
    FUZZ_CHECK(v.Sizes.size() == size_t(v.Geometry.DirEntries));
    FUZZ_CHECK(v.Extents.size() == size_t(v.Geometry.DirEntries));
    FUZZ_CHECK(v.Attributes.size() == size_t(v.Geometry.DirEntries));
    FUZZ_CHECK(v.BlockMap.size() == size_t(cpm_BlockCount(v)));
    FUZZ_CHECK(v.VolumeKB >= 0);
}

// Saving and loading again gives the same image.
static void checkRoundTrip(const cpm_Volume &v, bool refused) {
    // A refused image is never saved, and changing it in memory may change
    // which reading the next load picks.
    if (refused) return;
    cpm_Volume again = cpm_OpenImage(cpm_FileImage(v), v.Path);
    FUZZ_CHECK(again.Image == v.Image);
    FUZZ_CHECK(again.Names == v.Names && again.Sizes == v.Sizes && again.UsedKB == v.UsedKB);
}

// Every listed file is read; the first few are shown (the texts cost more
// than the reading and add no coverage after the first files).
static void readEverything(const cpm_Volume &v) {
    cpm_DirectoryLines(v, cpm_ShortListing);
    cpm_DirectoryLines(v, cpm_LongListing);
    cpm_SectorMapLines(v);
    cpm_CheckVolume(v);
    int listed = int(std::count_if(v.Sizes.begin(), v.Sizes.end(), [](int s) { return s >= 0; }));
    FUZZ_CHECK(int(cpm_MatchFiles(v, Text("*")).size()) == listed);
    int shown = 0;
    for (int i = 0; i < v.Geometry.DirEntries; i++) {
        if (v.Sizes[size_t(i)] < 0) continue;
        cpm_FileData f = cpm_LoadFile(v, v.Names[size_t(i)]);
        // Not always found: a listed name that cpm_MakeName filters differently (" X") is not.
        FUZZ_CHECK(f.Data.size() % size_t(v.Geometry.BlockSize) == 0);
        if (shown++ >= 4) continue;
        Text head(std::vector<uint8_t>(f.Data.Elements.begin(),
                                       f.Data.Elements.begin() + long(std::min<size_t>(f.Data.size(), 300))));
        cpm_HexdumpLines(head);
        cpm_TypeLines(head);
        cpm_BlocksLines(v, v.Names[size_t(i)]);
        cpm_HostName(v.Names[size_t(i)]);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    uint8_t mode = data[0];
    cpm_SetDiagnostics(mode & 0x40);
    cpm_Volume v = cpm_OpenImage(fuzz_ImageOf(data, size), "/fuzz/image.dsk");
    checkShape(v);
    readEverything(v);
    // The operations must survive every image, refused or not.
    const bool refused = cpm_Refused(v);
    v = fuzz_Unrefused(std::move(v));

    // Write a file whose size and name come from the input.
    size_t length = size > 3 ? (size_t(data[1]) << 8 | data[2]) * size_t(1 + (mode >> 3 & 1)) : 0;
    Text content{std::vector<uint8_t>(length, 0x5A)};
    Text name = size > 12 ? Text(std::vector<uint8_t>(data + 3, data + 12)) : Text("FUZZ.DAT");
    cpm_SaveFileResult w = cpm_SaveFile(v, name, content);
    if (!w.Message.empty()) FUZZ_CHECK(w.Volume.Image == v.Image);
    else FUZZ_CHECK(cpm_LoadFile(w.Volume, name).Data.size() >= content.size());
    v = std::move(w.Volume);
    checkShape(v);

    // Erase and unerase the first listed file and one entry by number.
    for (int i = 0; i < v.Geometry.DirEntries; i++) {
        if (v.Sizes[size_t(i)] < 0) continue;
        Text listed = v.Names[size_t(i)];
        cpm_SetUserResult e = cpm_SetFileUser(v, listed, 0xE5);
        cpm_SetUserResult u = cpm_SetFileUser(e.Volume, listed, 0);
        if (!u.Message.empty()) FUZZ_CHECK(u.Volume.Image == e.Volume.Image);
        v = std::move(u.Volume);
        break;
    }
    Text number("#" + std::to_string(size > 13 ? int(data[13]) - 8 : 0));
    v = cpm_SetFileUser(std::move(v), number, mode & 0x10 ? 0 : 0xE5).Volume;
    checkShape(v);

    v = cpm_Alphabetize(std::move(v), mode & 0x20, size > 1 && (data[1] & 1));
    checkShape(v);
    checkRoundTrip(v, refused);
    readEverything(v);
    v = cpm_InitVolume(std::move(v));
    checkShape(v);
    FUZZ_CHECK(v.UsedKB == v.Geometry.DirBlocks * (v.Geometry.BlockSize / 1024));
    cpm_SetDiagnostics(true);
    return 0;
}
