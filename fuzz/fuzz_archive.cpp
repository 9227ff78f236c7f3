// libFuzzer target: arbitrary bytes as a zip archive or a gzip stream
// (the first bytes made the signature's, so that every input reaches the
// archive reader), inflated with a limit of 1 MB and, when an image comes
// out, opened as the program opens one.  Nothing may crash, trip a
// sanitizer or inflate past the limit, and the volume is never writable.
#include <cstdint>

#include "codec_archive.h"
#include "codecs.h"
#include "image.h"
#include "volume.h"

#define FUZZ_CHECK(cond) \
    do {                 \
        if (!(cond)) __builtin_trap(); \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = [] {
        cpm_SetDiagnostics(false);
        return true;
    }();
    (void)quiet;
    if (size < 1) return 0;
    Text file(std::vector<uint8_t>(data + 1, data + size));
    // The first byte picks the signature: a zip's or a gzip stream's.
    static const uint8_t zip[4] = {'P', 'K', 3, 4}, gzip[3] = {0x1F, 0x8B, 8};
    const uint8_t *magic = data[0] & 1 ? gzip : zip;
    size_t magicSize = data[0] & 1 ? 3 : 4;
    for (size_t k = 0; k < magicSize && k < file.size(); k++) file[k] = magic[k];
    constexpr long long limit = 1 << 20;
    cpm_Medium medium;
    std::string error = cpm_DecodeArchiveMember(file, "", medium, limit);
    FUZZ_CHECK(error.empty() || medium.NoSectors);
    FUZZ_CHECK((long long)medium.Bytes.size() <= limit);
    cpm_Volume v = cpm_OpenMedium(cpm_DecodeInflated(std::move(medium)), "fuzz.zip");
    FUZZ_CHECK(cpm_Refused(v));
    return 0;
}
