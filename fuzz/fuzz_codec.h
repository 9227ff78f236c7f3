// The checks every native container codec must pass on any file that
// claims to be one: decoding never reads outside the file; a file that
// decodes encodes back to the same bytes; the volume it opens as takes a
// new file, and its saved file decodes again to the same image.
#pragma once

#include <cstdint>
#include <string>

#include "codecs.h"
#include "medium.h"
#include "opening.h"
#include "volume.h"
#include "write.h"

#define FUZZ_CHECK(cond) \
    do {                 \
        if (!(cond)) __builtin_trap(); \
    } while (0)

// The row of the codec table of that name.
inline const cpm_Codec &fuzz_CodecNamed(const std::string &name) {
    for (int k = 0; k < cpm_CodecCount; k++)
        if (name == cpm_Codecs[k].Name) return cpm_Codecs[k];
    __builtin_trap();
}

inline void fuzz_Codec(const cpm_Codec &codec, const Text &file) {
    static const bool quiet = [] {
        cpm_SetDiagnostics(false);
        return true;
    }();
    (void)quiet;
    if (!codec.Claims(file)) return;
    cpm_Medium m;
    m.Codec = codec.Name;
    std::string error = codec.Decode(file, m);
    if (!error.empty() || !m.Unsaveable.empty()) return;
    for (const cpm_Sector &s : m.Sectors) FUZZ_CHECK(s.At + size_t(s.Size) <= m.Bytes.size());
    FUZZ_CHECK(codec.Encode(m) == file);
    cpm_Volume v = cpm_OpenMedium(m, "fuzz");
    if (cpm_Refused(v)) return;
    cpm_SaveFileResult saved = cpm_SaveFile(std::move(v), Text("FUZZ.DAT"), Text(std::vector<uint8_t>(3000, 0x5A)));
    Text written = cpm_FileImage(saved.Volume);
    cpm_Medium again;
    again.Codec = codec.Name;
    FUZZ_CHECK(codec.Decode(written, again).empty() && again.Unsaveable.empty());
    FUZZ_CHECK(again.Sectors.size() == m.Sectors.size());
    cpm_Volume reopened = cpm_OpenMedium(again, "fuzz");
    if (reopened.Geometry.Name == saved.Volume.Geometry.Name) FUZZ_CHECK(reopened.Image == saved.Volume.Image);
}
