// Scratch folders and image builders of the hardening tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "text.h"
#include "volume.h"

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with its
// contents when the object ends.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "dw-hardening-XXXXXX").string();
        Path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!Path.empty()) fs::remove_all(Path, ignored);
    }
    std::string file(const std::string &name) const { return Path + "/" + name; }
    // The names in the folder, hidden ones included.
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto &e : fs::directory_iterator(Path)) out.insert(e.path().filename().string());
        return out;
    }
    std::string Path;
};

inline Text readFile(const std::string &path) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return Text();
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return Text(std::move(bytes));
}

inline bool writeFile(const std::string &path, const Text &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = bytes.size() == 0 || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// The first eight bytes of the Apple II formats.
inline const std::vector<uint8_t> signature140 = {0x01, 0xA5, 0x27, 0xC9, 0x09, 0xD0, 0x13, 0x8A};
inline const std::vector<uint8_t> signature800 = {0x01, 0x8A, 0x4A, 0x4A, 0, 0, 0, 0};

// size bytes of fill, starting with head.
inline Text imageBytes(size_t size, const std::vector<uint8_t> &head = {}, uint8_t fill = 0xE5) {
    Text t{std::vector<uint8_t>(size, fill)};
    for (size_t i = 0; i < head.size() && i < size; i++) t[i] = head[i];
    return t;
}

// One raw 32-byte directory entry: user, 11 name bytes, extent, record
// count and block numbers (8 or 16 bits each).
inline std::vector<uint8_t> rawEntry(uint8_t user, const std::string &name11, int extent, int records,
                                     const std::vector<int> &blocks, bool wide) {
    std::vector<uint8_t> e(32, 0);
    e[0] = user;
    for (size_t k = 0; k < 11; k++) e[1 + k] = uint8_t(k < name11.size() ? name11[k] : ' ');
    e[12] = uint8_t(extent & 31);
    e[14] = uint8_t(extent >> 5);
    e[15] = uint8_t(records);
    for (size_t k = 0; k < blocks.size(); k++) {
        if (wide) {
            e[16 + 2 * k] = uint8_t(blocks[k]);
            e[17 + 2 * k] = uint8_t(blocks[k] >> 8);
        } else {
            e[16 + k] = uint8_t(blocks[k]);
        }
    }
    return e;
}

// A plain image (directory at 0) of kb kilobytes holding the given entries
// from entry `first` on; the rest of the directory is erased.
inline Text plainImage(int kb, const std::vector<std::vector<uint8_t>> &entries, int first = 0) {
    Text t = imageBytes(size_t(kb) * 1024, {}, 0xE5);
    for (size_t i = 0; i < entries.size(); i++)
        std::copy(entries[i].begin(), entries[i].end(), t.data() + (size_t(first) + i) * 32);
    return t;
}
