#include "lzw.h"

#include <unordered_map>

namespace {

// Appends codes of a fixed width to a byte array, most significant bit first.
struct BitWriter {
    std::vector<uint8_t> &out;
    int width;
    uint32_t pending = 0;   // bits not yet written, right-aligned
    int pendingBits = 0;

    void put(uint32_t code) {
        pending = (pending << width) | code;
        pendingBits += width;
        while (pendingBits >= 8) {
            pendingBits -= 8;
            out.push_back(static_cast<uint8_t>(pending >> pendingBits));
        }
        pending &= (1u << pendingBits) - 1;
    }
    // The last bits, padded with zeros to a whole byte.  Fewer than 8 bits
    // of padding never form a further code, as every code is wider.
    void finish() {
        if (pendingBits > 0)
            out.push_back(static_cast<uint8_t>(pending << (8 - pendingBits)));
        pendingBits = 0;
    }
};

} // namespace

std::vector<uint8_t> fg_LzwCompress(std::span<const uint8_t> data, int width) {
    std::vector<uint8_t> out;
    if (width < fg_LzwMinWidth || width > fg_LzwMaxWidth)
        return out;
    out.push_back(static_cast<uint8_t>(width));
    if (data.empty())
        return out;

    const uint32_t limit = 1u << width;
    // Dictionary: (prefix code << 8 | next byte) -> code of the longer string.
    std::unordered_map<uint32_t, uint32_t> dictionary;
    dictionary.reserve(limit);
    uint32_t next = 256;
    BitWriter writer{out, width};

    uint32_t current = data[0];
    for (size_t i = 1; i < data.size(); ++i) {
        const uint32_t key = (current << 8) | data[i];
        auto found = dictionary.find(key);
        if (found != dictionary.end()) {
            current = found->second;
            continue;
        }
        writer.put(current);
        // The expander defines the same entry when it reads the next code.
        if (next < limit)
            dictionary.emplace(key, next++);
        current = data[i];
    }
    writer.put(current);
    writer.finish();
    return out;
}

std::vector<uint8_t> fg_LzwCompressSmallest(std::span<const uint8_t> data) {
    std::vector<uint8_t> best;
    for (int width = fg_LzwMinWidth; width <= fg_LzwMaxWidth; ++width) {
        std::vector<uint8_t> candidate = fg_LzwCompress(data, width);
        if (best.empty() || candidate.size() < best.size())
            best = std::move(candidate);
    }
    return best;
}

std::vector<uint8_t> fg_LzwExpand(std::span<const uint8_t> stream) {
    std::vector<uint8_t> out;
    if (stream.empty())
        return out;
    const int width = stream[0];
    if (width < 8 || width > 24)
        return out;

    // Every entry is a previous entry plus one byte: store the prefix code,
    // the last byte, the first byte and the length, and unwind on output.
    struct Entry {
        uint32_t prefix;
        uint8_t last;
        uint8_t first;
        uint32_t length;
    };
    std::vector<Entry> entries(256);
    for (uint32_t b = 0; b < 256; ++b)
        entries[b] = {0, static_cast<uint8_t>(b), static_cast<uint8_t>(b), 1};

    auto emit = [&](uint32_t code) {
        const size_t end = out.size() + entries[code].length;
        out.resize(end);
        size_t pos = end;
        for (;;) {
            out[--pos] = entries[code].last;
            if (entries[code].length == 1)
                break;
            code = entries[code].prefix;
        }
    };

    const size_t totalBits = (stream.size() - 1) * 8;
    size_t bitPos = 0;
    bool haveString = false;
    uint32_t previous = 0;
    while (bitPos + static_cast<size_t>(width) <= totalBits) {
        uint32_t code = 0;
        for (int i = 0; i < width; ++i, ++bitPos) {
            const uint8_t byte = stream[1 + bitPos / 8];
            code = (code << 1) | ((byte >> (7 - bitPos % 8)) & 1u);
        }
        if (!haveString) {
            if (code > 255)
                return {};
            emit(code);
            previous = code;
            haveString = true;
            continue;
        }
        const uint32_t defining = static_cast<uint32_t>(entries.size());
        uint8_t first;
        if (code < defining)
            first = entries[code].first;
        else if (code == defining)
            first = entries[previous].first;
        else
            return {};
        entries.push_back({previous, first, entries[previous].first,
                           entries[previous].length + 1});
        emit(code);
        previous = code;
    }
    return out;
}
