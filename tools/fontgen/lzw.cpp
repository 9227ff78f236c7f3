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
