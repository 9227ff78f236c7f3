// An independent reading of the font file format for the tests: the header
// at its fixed offsets and the LZW expansion step by step as the format
// describes it, with every string kept whole (slow, but plainly right).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ref {

inline std::vector<uint8_t> expand(const std::vector<uint8_t> &stream) {
    std::vector<uint8_t> out;
    if (stream.empty())
        return out;
    const unsigned width = stream[0];
    std::vector<uint32_t> codes;
    const size_t bits = (stream.size() - 1) * 8;
    for (size_t at = 0; width > 0 && at + width <= bits; at += width) {
        uint32_t code = 0;
        for (unsigned i = 0; i < width; ++i) {
            const size_t bit = at + i;
            code = code << 1 | ((stream[1 + bit / 8] >> (7 - bit % 8)) & 1);
        }
        codes.push_back(code);
    }
    if (codes.empty())
        return out;
    std::vector<std::vector<uint8_t>> dictionary;
    for (int b = 0; b < 256; ++b)
        dictionary.push_back({static_cast<uint8_t>(b)});
    if (codes[0] > 255)
        return {};
    std::vector<uint8_t> s = dictionary[codes[0]];
    out = s;
    for (size_t k = 0; k + 1 < codes.size(); ++k) {
        const uint32_t code = codes[k + 1];
        std::vector<uint8_t> e;
        if (code < dictionary.size())
            e = dictionary[code];
        else if (code == 256 + k) {
            e = s;
            e.push_back(s[0]);
        } else
            return {};
        out.insert(out.end(), e.begin(), e.end());
        std::vector<uint8_t> entry = s;
        entry.push_back(e[0]);
        dictionary.push_back(entry);
        s = e;
    }
    return out;
}

// The codes of a stream, for tests that look at what the compressor chose.
inline std::vector<uint32_t> codes(const std::vector<uint8_t> &stream) {
    std::vector<uint32_t> result;
    if (stream.empty())
        return result;
    const unsigned width = stream[0];
    const size_t bits = (stream.size() - 1) * 8;
    for (size_t at = 0; width > 0 && at + width <= bits; at += width) {
        uint32_t code = 0;
        for (unsigned i = 0; i < width; ++i) {
            const size_t bit = at + i;
            code = code << 1 | ((stream[1 + bit / 8] >> (7 - bit % 8)) & 1);
        }
        result.push_back(code);
    }
    return result;
}

struct Font {
    int HeaderSize = 0;
    std::string Identifier;
    int Format = 0;
    uint32_t Size = 0;
    int Start = 0, End = 0, Width = 0, Height = 0, Reserved = 0;
    std::vector<uint8_t> Data; // expanded
};

inline Font load(const std::vector<uint8_t> &file) {
    Font f;
    if (file.size() < 16 || file[0] > file.size())
        return f;
    f.HeaderSize = file[0];
    f.Identifier.assign(file.begin() + 1, file.begin() + 5);
    f.Format = file[5];
    f.Size = uint32_t(file[6]) << 24 | uint32_t(file[7]) << 16 | uint32_t(file[8]) << 8 | file[9];
    f.Start = file[10];
    f.End = file[11];
    f.Width = file[12];
    f.Height = file[13];
    f.Reserved = file[14] << 8 | file[15];
    f.Data.assign(file.begin() + f.HeaderSize, file.end());
    if (f.Format == 102)
        f.Data = expand(f.Data);
    return f;
}

} // namespace ref
