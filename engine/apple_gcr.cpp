// Apple II disk bytes and the 16-sector GCR fields.
#include "apple_gcr.h"

#include <algorithm>
#include <map>
#include <set>

namespace {

// The 64 disk bytes of 6-and-2, by six-bit value.
constexpr uint8_t write62[64] = {
    0x96, 0x97, 0x9A, 0x9B, 0x9D, 0x9E, 0x9F, 0xA6, 0xA7, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB2, 0xB3,
    0xB4, 0xB5, 0xB6, 0xB7, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xCB, 0xCD, 0xCE, 0xCF, 0xD3,
    0xD6, 0xD7, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE5, 0xE6, 0xE7, 0xE9, 0xEA, 0xEB, 0xEC,
    0xED, 0xEE, 0xEF, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,
};

// The six-bit value of each disk byte, -1 for bytes outside the table.
struct Read62 {
    int8_t Value[256];
    constexpr Read62() : Value() {
        for (int b = 0; b < 256; b++) Value[b] = -1;
        for (int v = 0; v < 64; v++) Value[write62[v]] = int8_t(v);
    }
};
constexpr Read62 read62;

constexpr size_t addressBytes = 11;   // D5 AA 96 and four 4-and-4 values
constexpr size_t dataValues = 343;    // 342 values and the checksum
constexpr size_t dataWindow = 64;     // disk bytes between the address and data fields at most

// The two low bits of a byte as 6-and-2 keeps them: swapped.
constexpr uint8_t swapped(uint8_t low2) { return uint8_t(((low2 & 1) << 1) | (low2 >> 1)); }

bool marks(const std::vector<cpm_Nibble> &n, size_t i, uint8_t third) {
    return n[i].Value == 0xD5 && n[i + 1].Value == 0xAA && n[i + 2].Value == third;
}

}  // namespace

int cpm_Value62(uint8_t diskByte) { return read62.Value[diskByte]; }

namespace {

// A disk byte is the eight bits from a first one bit on: what the reader
// holds is only how many bits of the byte it has taken (0: waiting for a
// one bit, 1-7), the bits themselves being the last ones of the stream.
// What eight bits (one byte of the stream) do to that count: the count
// after them (bits 0-3) and, when they complete a disk byte (bit 7; eight
// bits complete one at most), the bit of the byte that completes it (bits 4-6).
uint8_t bitsStep(uint32_t taken, uint32_t byte) {
    int completedAt = -1;
    for (int k = 0; k < 8; k++) {
        uint32_t bit = (byte >> (7 - k)) & 1;
        if (taken == 0 && bit == 0) continue;   // zero bits before a byte are absorbed
        if (++taken == 8) {
            completedAt = k;
            taken = 0;
        }
    }
    return uint8_t(taken | (completedAt >= 0 ? 0x80 | completedAt << 4 : 0));
}

const uint8_t *bitsSteps() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(8 * 256);
        for (uint32_t taken = 0; taken < 8; taken++)
            for (uint32_t byte = 0; byte < 256; byte++) t[taken * 256 + byte] = bitsStep(taken, byte);
        return t;
    }();
    return table.data();
}

}  // namespace

std::vector<cpm_Nibble> cpm_NibblesOfBits(const uint8_t *bits, uint32_t bitCount, int revolutions, size_t beyond) {
    std::vector<cpm_Nibble> out;
    if (bitCount == 0) return out;
    out.reserve(size_t(bitCount) / 8 * size_t(revolutions) + 1);
    const uint8_t *steps = bitsSteps();
    uint32_t taken = 0, recent = 0;   // the bits of the byte so far; the last bits of the stream
    const uint32_t wholeBytes = bitCount / 8;
    // Where the byte completed at bit `at` of the track starts: seven bits
    // back, on the previous revolution for the first ones of a revolution.
    auto add = [&](uint32_t at) {
        long long start = at >= 7 ? at - 7 : ((long long)at - 7) % (long long)bitCount;   // a track shorter than a byte: further back
        out.push_back({uint8_t(recent), uint32_t(start < 0 ? start + bitCount : start)});
    };
    // The track read round as many times as asked: its whole bytes a byte at
    // a time through the table, the bits of a last partial byte one by one.
    size_t stop = SIZE_MAX;
    for (int round = 0; round < std::max(revolutions, 1) && out.size() < stop; round++) {
        if (round == 1 && beyond != SIZE_MAX) stop = out.size() + beyond;
        for (uint32_t i = 0; i < wholeBytes && out.size() < stop; i++) {
            uint8_t step = steps[taken * 256 + bits[i]];
            recent = recent << 8 | bits[i];
            taken = step & 0x0F;
            if (step & 0x80) {
                uint32_t k = (step >> 4) & 7;   // the byte ends at bit k of this byte
                uint32_t saved = recent;
                recent >>= 7 - k;
                add(i * 8 + k);
                recent = saved;
            }
        }
        for (uint32_t at = wholeBytes * 8; at < bitCount && out.size() < stop; at++) {
            uint32_t bit = (bits[at >> 3] >> (7 - (at & 7))) & 1;
            recent = recent << 1 | bit;
            if (taken == 0 && bit == 0) continue;
            if (++taken == 8) {
                taken = 0;
                add(at);
            }
        }
    }
    return out;
}

std::vector<cpm_Nibble> cpm_NibblesOfBytes(const uint8_t *bytes, size_t count, int revolutions, size_t beyond) {
    std::vector<cpm_Nibble> out;
    size_t total = count * size_t(std::max(revolutions, 1));
    if (revolutions > 1 && beyond < total - count) total = count + beyond;
    out.resize(total);
    // Round the track as many times as needed, a whole pass at a time.
    for (size_t k = 0; k < total;)
        for (size_t i = 0; i < count && k < total; i++, k++) out[k] = {bytes[i], uint32_t(i * 8)};
    return out;
}

void cpm_Encode44(uint8_t value, uint8_t out[2]) {
    out[0] = uint8_t((value >> 1) | 0xAA);
    out[1] = uint8_t(value | 0xAA);
}

uint8_t cpm_Decode44(uint8_t first, uint8_t second) { return uint8_t(((first << 1) | 1) & second); }

void cpm_Encode62(const uint8_t data[256], uint8_t out[343]) {
    uint8_t values[342] = {};
    for (int i = 0; i < 256; i++) {
        values[i % 86] |= uint8_t(swapped(data[i] & 3) << (2 * (i / 86)));
        values[86 + i] = uint8_t(data[i] >> 2);
    }
    uint8_t last = 0;
    for (int k = 0; k < 342; k++) {
        out[k] = write62[values[k] ^ last];
        last = values[k];
    }
    out[342] = write62[last];
}

namespace {

// The two low bits of a byte that each value holds, swapped back, for each
// of the three places (bits 0-1, 2-3, 4-5) a value keeps them in.
struct LowBits {
    uint8_t Of[3][64];
    constexpr LowBits() : Of() {
        for (int place = 0; place < 3; place++)
            for (int v = 0; v < 64; v++) Of[place][v] = swapped(uint8_t((v >> (2 * place)) & 3));
    }
};
constexpr LowBits lowBits;

}  // namespace

bool cpm_Decode62(const uint8_t in[343], uint8_t data[256]) {
    // Each value is the disk value XOR the one before; a byte outside the
    // table is caught once at the end (its -1 sets the sign of `invalid`).
    uint8_t values[342];
    uint8_t sum = 0;
    int invalid = 0;
    for (int k = 0; k < 342; k++) {
        int v = read62.Value[in[k]];
        invalid |= v;
        sum = uint8_t(sum ^ v);
        values[k] = sum;
    }
    int check = read62.Value[in[342]];
    if ((invalid | check) < 0 || (sum ^ check) != 0) return false;
    // Byte i takes its two low bits from value i % 86, at place i / 86: three
    // runs of 86 (the last of 84), so no division per byte.
    for (int place = 0; place < 3; place++) {
        const uint8_t *low = lowBits.Of[place];
        for (int i = place * 86, end = std::min(256, i + 86); i < end; i++)
            data[i] = uint8_t(values[86 + i] << 2 | low[values[i - place * 86] & 63]);
    }
    return true;
}

cpm_GcrTrack cpm_DecodeGcrTrack(const std::vector<cpm_Nibble> &n, bool positions) {
    cpm_GcrTrack track;
    std::map<uint32_t, cpm_GcrSector> found;   // by where the address field starts
    std::set<uint32_t> thirteen, bad;
    const size_t count = n.size();
    for (size_t i = 0; i + addressBytes <= count; i++) {
        if (n[i].Value != 0xD5) continue;
        if (marks(n, i, 0xB5)) thirteen.insert(n[i].At);
        if (!marks(n, i, 0x96)) continue;
        uint8_t f[4];
        for (size_t k = 0; k < 4; k++) f[k] = cpm_Decode44(n[i + 3 + 2 * k].Value, n[i + 4 + 2 * k].Value);
        if (f[3] != (f[0] ^ f[1] ^ f[2])) {
            bad.insert(n[i].At);
            continue;
        }
        // Seen whole on the first revolution: the second has nothing better to give.
        auto seen = found.find(n[i].At);
        if (seen != found.end() && seen->second.HasData && seen->second.DataGood) continue;
        cpm_GcrSector s;
        s.Volume = f[0];
        s.Track = f[1];
        s.Sector = f[2];
        s.AddressAt = n[i].At;
        // The data field follows within a gap, unless another address field comes first.
        size_t j = i + addressBytes, end = std::min(count, i + addressBytes + dataWindow);
        bool complete = i + addressBytes + dataWindow + 3 + dataValues <= count;
        for (; j + 3 <= end; j++)
            if (n[j].Value == 0xD5 && n[j + 1].Value == 0xAA && n[j + 2].Value != 0xAD) {
                j = end;
                break;
            } else if (marks(n, j, 0xAD)) {
                break;
            }
        if (j + 3 <= end && j + 3 + dataValues <= count) {
            uint8_t raw[dataValues];
            s.HasData = true;
            for (size_t k = 0; k < dataValues; k++) raw[k] = n[j + 3 + k].Value;
            if (positions) {
                s.DataAt.resize(dataValues);
                for (size_t k = 0; k < dataValues; k++) s.DataAt[k] = n[j + 3 + k].At;
            }
            s.DataGood = cpm_Decode62(raw, s.Data);
        } else if (!complete) {
            continue;   // cut off by the end of the reading: seen whole on the other revolution
        }
        // A good data field holds 6-and-2 disk bytes only, never D5: no field
        // starts inside it, so the search goes on after it.
        size_t next = s.DataGood ? j + 3 + dataValues - 1 : i;
        auto known = found.find(s.AddressAt);
        if (known == found.end()) found.emplace(s.AddressAt, std::move(s));
        else if (s.DataGood > known->second.DataGood || s.HasData > known->second.HasData) known->second = std::move(s);
        i = next;
    }
    for (auto &[at, s] : found) {
        bad.erase(at);
        track.Sectors.push_back(std::move(s));
    }
    track.BadAddresses = int(bad.size());
    track.Thirteen = int(thirteen.size());
    return track;
}

cpm_TrackBytes cpm_StandardTrack(int volume, int trackNumber, const uint8_t *sectors, int gap1, int gap2, int gap3) {
    cpm_TrackBytes t;
    auto put = [&](uint8_t b, bool sync = false) {
        t.Bytes.push_back(b);
        t.Sync.push_back(sync);
    };
    auto gap = [&](int n) {
        for (int k = 0; k < n; k++) put(0xFF, true);
    };
    auto field44 = [&](int v) {
        uint8_t two[2];
        cpm_Encode44(uint8_t(v), two);
        put(two[0]);
        put(two[1]);
    };
    gap(gap1);
    for (int p = 0; p < 16; p++) {
        for (uint8_t b : {0xD5, 0xAA, 0x96}) put(b);
        field44(volume);
        field44(trackNumber);
        field44(p);
        field44(volume ^ trackNumber ^ p);
        for (uint8_t b : {0xDE, 0xAA, 0xEB}) put(b);
        gap(gap2);
        for (uint8_t b : {0xD5, 0xAA, 0xAD}) put(b);
        uint8_t data[dataValues];
        cpm_Encode62(sectors + p * 256, data);
        for (uint8_t b : data) put(b);
        for (uint8_t b : {0xDE, 0xAA, 0xEB}) put(b);
        gap(gap3);
    }
    return t;
}
