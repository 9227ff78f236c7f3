// Apple 3.5-inch GCR sectors.  Address field: D5 AA 96, then track (low six
// bits), sector, side (bit 5) with the track's high bits, format and their
// XOR, each a six-bit value through the 6-and-2 table, then DE AA.  Data
// field: D5 AA AD, the sector number, 524 bytes in groups of three (one
// value of their top two bits, then their low six bits each; the last group
// has two) scrambled by three running sums, the sums as a last group, DE AA.
#include "gcr35.h"

#include <map>

namespace {

constexpr size_t dataValues = 699 + 4;   // the groups and the checksum group

}  // namespace

int cpm_Gcr35Sectors(int track) { return track < 0 || track >= 80 ? 0 : 12 - track / 16; }

bool cpm_Decode35Data(const uint8_t *v, size_t count, uint8_t out[524]) {
    if (count < dataValues) return false;
    uint32_t c1 = 0, c2 = 0, c3 = 0;
    size_t k = 0, j = 0;
    while (true) {
        uint8_t top = v[k++];
        uint8_t a = uint8_t(((top << 2) & 0xC0) | v[k++]);
        uint8_t b = uint8_t(((top << 4) & 0xC0) | v[k++]);
        c1 = (c1 & 0xFF) << 1;
        if (c1 & 0x100) c1++;
        a ^= uint8_t(c1);
        c3 += a;
        if (c1 & 0x100) {
            c3++;
            c1 &= 0xFF;
        }
        out[j++] = a;
        b ^= uint8_t(c3);
        c2 += b;
        if (c3 > 0xFF) {
            c2++;
            c3 &= 0xFF;
        }
        out[j++] = b;
        if (j == 524) break;
        uint8_t c = uint8_t(((top << 6) & 0xC0) | v[k++]);
        c ^= uint8_t(c2);
        c1 += c;
        if (c2 > 0xFF) {
            c1++;
            c2 &= 0xFF;
        }
        out[j++] = c;
    }
    uint8_t top = v[k];
    uint8_t s1 = uint8_t(((top << 2) & 0xC0) | v[k + 1]), s2 = uint8_t(((top << 4) & 0xC0) | v[k + 2]),
            s3 = uint8_t(((top << 6) & 0xC0) | v[k + 3]);
    return s1 == uint8_t(c3) && s2 == uint8_t(c2) && s3 == uint8_t(c1);   // the sums last to first
}

std::vector<cpm_Gcr35Sector> cpm_DecodeGcr35Track(const std::vector<cpm_Nibble> &n) {
    std::map<uint32_t, cpm_Gcr35Sector> found;
    const size_t count = n.size();
    for (size_t i = 0; i + 8 + 3 + 1 + dataValues <= count + 0; i++) {
        if (n[i].Value != 0xD5 || n[i + 1].Value != 0xAA || n[i + 2].Value != 0x96) continue;
        int f[5];
        bool ok = true;
        for (size_t k = 0; k < 5; k++) ok = ok && (f[k] = cpm_Value62(n[i + 3 + k].Value)) >= 0;
        if (!ok || (f[0] ^ f[1] ^ f[2] ^ f[3]) != f[4]) continue;
        cpm_Gcr35Sector s;
        s.Track = f[0] | (f[2] & 0x1F) << 6;
        s.Side = (f[2] >> 5) & 1;
        s.Sector = f[1];
        s.Format = f[3];
        size_t j = i + 8;
        for (; j < i + 8 + 64 && j + 4 + dataValues <= count; j++)
            if (n[j].Value == 0xD5 && n[j + 1].Value == 0xAA && n[j + 2].Value == 0xAD) break;
        if (j >= i + 8 + 64 || j + 4 + dataValues > count) continue;
        uint8_t values[dataValues];
        for (size_t k = 0; k < dataValues && ok; k++) ok = (values[k] = uint8_t(cpm_Value62(n[j + 4 + k].Value))) < 64;
        s.DataGood = ok && cpm_Value62(n[j + 3].Value) == s.Sector && cpm_Decode35Data(values, dataValues, s.Bytes);
        auto [at, fresh] = found.emplace(n[i].At, s);
        if (!fresh && s.DataGood && !at->second.DataGood) at->second = s;
    }
    std::vector<cpm_Gcr35Sector> out;
    for (auto &[at, s] : found) out.push_back(s);
    return out;
}
