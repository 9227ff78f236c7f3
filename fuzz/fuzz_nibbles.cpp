// libFuzzer target: the decoders of disk bytes.  The first byte picks what
// the rest is: a circular bit stream, a track of bytes, or bytes laid over
// a made NIB or WOZ file (at the place two bytes name) that is then opened,
// written to and saved.  Decoding never reads past a track, every field it
// reports lies inside the track, and a disk that opens writable saves a file
// of its own length.
#include <cstdint>

#include "apple_gcr.h"
#include "codec_nib.h"
#include "codec_woz.h"
#include "opening.h"
#include "volume.h"
#include "write.h"

#define FUZZ_CHECK(cond) \
    do {                 \
        if (!(cond)) __builtin_trap(); \
    } while (0)

// A blank 140K disk's sectors, standard formatting.
static const cpm_Medium &blankSectors() {
    static const cpm_Medium m = [] {
        cpm_Medium s;
        s.Bytes = Text(std::vector<uint8_t>(143360, 0xE5));
        for (int t = 0; t < 35; t++)
            for (int p = 0; p < 16; p++) {
                cpm_Sector sector;
                sector.Cylinder = t;
                sector.Id = p;
                sector.Size = 256;
                sector.At = size_t(t * 16 + p) * 256;
                s.Sectors.push_back(sector);
            }
        return s;
    }();
    return m;
}

static void checkTrack(const cpm_GcrTrack &track, uint32_t bits) {
    for (const cpm_GcrSector &s : track.Sectors) {
        FUZZ_CHECK(s.AddressAt < bits);
        FUZZ_CHECK(!s.HasData || s.DataAt.size() == 343);
        for (uint32_t at : s.DataAt) FUZZ_CHECK(at < bits);
    }
}

static void openAndWrite(Text file, const char *name) {
    cpm_Volume v = cpm_OpenImage(file, name);
    Text same = cpm_FileImage(v);
    FUZZ_CHECK(same.size() == file.size());
    if (cpm_Refused(v)) return;
    v = cpm_SaveFile(std::move(v), Text("FUZZ.DAT"), Text(std::vector<uint8_t>(3000, 0x5A))).Volume;
    FUZZ_CHECK(cpm_FileImage(v).size() == file.size());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    cpm_SetDiagnostics(false);
    const uint8_t *rest = data + 3;
    size_t n = size - 3, at = size_t(data[1]) << 8 | data[2];
    switch (data[0] & 3) {
    case 0: {
        uint32_t bits = uint32_t(n * 8) - (n ? data[1] & 7 : 0);
        if (bits == 0) return 0;
        checkTrack(cpm_DecodeGcrTrack(cpm_NibblesOfBits(rest, bits, 2), true), bits);
        break;
    }
    case 1:
        if (n == 0) return 0;
        checkTrack(cpm_DecodeGcrTrack(cpm_NibblesOfBytes(rest, n, 2), true), uint32_t(n * 8));
        break;
    case 2: {
        static const Text nib = cpm_MakeNib(blankSectors());
        Text file = nib;
        for (size_t k = 0; k < n; k++) file[(at * 64 + k) % file.size()] = rest[k];
        openAndWrite(std::move(file), "fuzz.nib");
        break;
    }
    default: {
        static const Text woz = cpm_MakeWoz(blankSectors());
        Text file = woz;
        for (size_t k = 0; k < n; k++) file[(at * 16 + k) % file.size()] = rest[k];
        openAndWrite(std::move(file), "fuzz.woz");
    }
    }
    return 0;
}
