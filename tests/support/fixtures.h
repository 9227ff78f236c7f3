// Small images and helpers for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image.h"
#include "log_capture.h"
#include "maintenance.h"
#include "temp_folder.h"
#include "volume.h"
#include "write.h"

// The first eight bytes of each Apple II format.
inline Text signature140(bool cpm22 = true) {
    std::vector<uint8_t> b = {0x01, 0xA5, 0x27, 0xC9, 0x09, 0xD0, 0x13, 0x8A};
    if (!cpm22) b[5] = 0x00;
    return Text(b);
}
inline Text signature800() { return Text(std::vector<uint8_t>{0x01, 0x8A, 0x4A, 0x4A, 0, 0, 0, 0}); }

// File bytes of `size` bytes of fill starting with `head`.
inline Text fileBytes(size_t size, const Text &head = Text(), uint8_t fill = 0) {
    Text t(std::vector<uint8_t>(size, fill));
    for (size_t i = 0; i < head.size() && i < size; i++) t[i] = head[i];
    return t;
}

// A freshly initialised volume of each kind (in memory).
inline cpm_Volume unchanged(cpm_Volume v) {
    v.Changed = false;
    return v;
}
inline cpm_Volume fresh140(bool cpm22 = true) {
    return unchanged(cpm_InitVolume(cpm_OpenImage(fileBytes(143360, signature140(cpm22), 0xE5), "/tmp/test140.dsk")));
}
inline cpm_Volume fresh800() {
    return unchanged(cpm_InitVolume(cpm_OpenImage(fileBytes(819200, signature800(), 0xE5), "/tmp/test800.po")));
}
inline cpm_Volume freshPlain(int kb) { return unchanged(cpm_MakeVolume("/tmp/plain.vol", kb)); }

// One raw 32-byte directory entry: user, 11 name bytes, EX, S2, RC and
// block numbers (8 or 16 bits each).
inline std::vector<uint8_t> rawEntry(uint8_t user, const std::string &name11, int ex, int s2, int rc,
                                     const std::vector<int> &blocks, bool wide) {
    std::vector<uint8_t> e(32, 0);
    e[0] = user;
    for (size_t k = 0; k < 11; k++) e[1 + k] = uint8_t(k < name11.size() ? name11[k] : ' ');
    e[12] = uint8_t(ex);
    e[14] = uint8_t(s2);
    e[15] = uint8_t(rc);
    for (size_t k = 0; k < blocks.size() && k < (wide ? 8u : 16u); k++) {
        if (wide) {
            e[16 + 2 * k] = uint8_t(blocks[k] & 0xFF);
            e[17 + 2 * k] = uint8_t(blocks[k] >> 8);
        } else {
            e[16 + k] = uint8_t(blocks[k]);
        }
    }
    return e;
}

// Writes a raw directory entry into the volume's image.
inline void putEntry(cpm_Volume &v, int i, uint8_t user, const std::string &name11, int ex, int s2, int rc,
                     const std::vector<int> &blocks) {
    std::vector<uint8_t> e = rawEntry(user, name11, ex, s2, rc, blocks, cpm_WideBlocks(v));
    std::copy(e.begin(), e.end(), v.Image.data() + v.Geometry.DataStart + 32 * i);
}

// A plain image (directory at 0, the rest 0xE5) of kb kilobytes holding the
// entries from entry `first` on.
inline Text plainImage(int kb, const std::vector<std::vector<uint8_t>> &entries, int first = 0) {
    Text t = fileBytes(size_t(kb) * 1024, Text(), 0xE5);
    for (size_t i = 0; i < entries.size(); i++)
        std::copy(entries[i].begin(), entries[i].end(), t.data() + (size_t(first) + i) * 32);
    return t;
}

inline const uint8_t *entryAt(const cpm_Volume &v, int i) { return v.Image.data() + v.Geometry.DataStart + 32 * i; }
inline std::string entryName(const cpm_Volume &v, int i) { return std::string((const char *)entryAt(v, i) + 1, 11); }

inline std::vector<int> entryBlocks(const cpm_Volume &v, int i) {
    const uint8_t *e = entryAt(v, i);
    std::vector<int> out;
    bool wide = cpm_WideBlocks(v);
    for (int k = 0; k < (wide ? 8 : 16); k++) {
        int b = wide ? e[16 + 2 * k] | (e[17 + 2 * k] << 8) : e[16 + k];
        if (b) out.push_back(b);
    }
    return out;
}

// Bytes 0..n-1 with a pseudo-random pattern that differs from block to block.
inline Text pattern(size_t n, int seed = 1) {
    Text t{std::vector<uint8_t>(n)};
    uint32_t x = uint32_t(seed) * 2654435761u + 12345;
    for (size_t i = 0; i < n; i++) {
        x = x * 1103515245u + 12345u;
        t[i] = uint8_t(x >> 16);
    }
    return t;
}

// The volume with the files written, each of the size in pattern bytes.
inline cpm_Volume withFiles(cpm_Volume v, const std::vector<std::pair<std::string, size_t>> &files) {
    for (const auto &[name, size] : files) {
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text(name), pattern(size));
        EXPECT_EQ(r.Message, "") << name;
        v = std::move(r.Volume);
    }
    return v;
}

inline Text T(const std::string &s) { return Text(s); }
