// libFuzzer target: arbitrary text as a diskdefs file, read strictly (the
// user's own file) and tolerantly (the system's); every definition that
// reads becomes a blank disk of its size (up to 2 MB), which is listed,
// mapped, written, sorted, erased and saved.  A definition that reads must
// describe a disk the engine can work on without a crash, a sanitizer
// report or a reading past the image.
#include <cstdint>
#include <string>

#include "definitions.h"
#include "image.h"
#include "listing.h"
#include "maintenance.h"
#include "read.h"
#include "sector_map.h"
#include "volume.h"
#include "write.h"

#define FUZZ_CHECK(cond) \
    do {                 \
        if (!(cond)) __builtin_trap(); \
    } while (0)

static void useDisk(const cpm_Definition &d) {
    long long bytes = cpm_GeometryBytes(d.Geometry);
    if (bytes <= 0 || bytes > 2 * 1024 * 1024) return;
    cpm_Volume v = cpm_OpenImageAs(Text(std::vector<uint8_t>(size_t(bytes), 0xE5)), "fuzz.img", d);
    FUZZ_CHECK(v.BlockMap.size() == size_t(cpm_BlockCount(v)));
    FUZZ_CHECK(v.VolumeKB >= 0 && v.UsedKB <= v.VolumeKB);
    cpm_DirectoryLines(v, cpm_LongListing);
    cpm_SectorMapLines(v);
    for (int k = 0; k < 3; k++) {
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text("F" + std::to_string(k) + ".DAT"),
                                            Text(std::vector<uint8_t>(size_t(5000 * k + 1), uint8_t(k))));
        v = std::move(r.Volume);
    }
    FUZZ_CHECK(v.UsedKB <= v.VolumeKB);
    v = cpm_Alphabetize(std::move(v), false, true);
    v = cpm_SetFileUser(std::move(v), Text("F1.DAT"), cpm_ErasedUser).Volume;
    cpm_FileData f = cpm_LoadFile(v, Text("F2.DAT"));
    FUZZ_CHECK(!f.Found || f.Data.size() >= 10001);
    Text file = cpm_FileImage(v);
    FUZZ_CHECK((long long)file.size() == bytes);
    cpm_Volume again = cpm_OpenImageAs(file, "fuzz.img", d);
    FUZZ_CHECK(again.Image == v.Image);
    cpm_InitVolume(std::move(again));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = [] {
        cpm_SetDiagnostics(false);
        return true;
    }();
    (void)quiet;
    std::string text(reinterpret_cast<const char *>(data), size);
    cpm_DiskdefsReading strict = cpm_ParseDiskdefs(text, "user", true);
    FUZZ_CHECK(strict.Error.empty() || strict.Definitions.empty());
    cpm_DiskdefsReading tolerant = cpm_ParseDiskdefs(text, "system", false);
    for (const cpm_Definition &d : tolerant.Definitions) useDisk(d);
    return 0;
}
