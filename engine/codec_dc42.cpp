// DiskCopy 4.2: an 84-byte big-endian header (name, data size, tag size,
// data and tag checksums, disk format, format byte, 0x0100), the blocks in
// order, 12 tag bytes a block.  Downloads often come MacBinary-wrapped: a
// 128-byte header of type dImg, creator dCpy, the data fork after it.
// Apple II 800K disks hold ProDOS-order blocks: the raw run the 800K
// readings take; 720K and 1440K disks are read by the definitions of that size.
#include "codec_dc42.h"

#include <algorithm>

namespace {

uint32_t be32(const Text &b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | uint32_t(b[at + 3]);
}

void putBe32(Text &b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; k++) b[at + size_t(k)] = uint8_t(v >> (24 - 8 * k));
}

constexpr size_t headerBytes = 84;
constexpr size_t macBinaryBytes = 128;

// Where the DiskCopy file starts in the file (0, or after a MacBinary
// header) and how long it is; false when it is none.
bool locate(const Text &file, size_t &start, size_t &length) {
    auto valid = [&](size_t at, size_t n) {
        if (n < headerBytes || at + n > file.size()) return false;
        uint32_t data = be32(file, at + 64), tags = be32(file, at + 68);
        return file[at] <= 63 && file[at + 82] == 0x01 && file[at + 83] == 0x00 && data > 0 && data % 512 == 0 &&
               tags % 12 == 0 && uint64_t(headerBytes) + data + tags == n;
    };
    static const uint8_t type[8] = {'d', 'I', 'm', 'g', 'd', 'C', 'p', 'y'};
    if (file.size() > macBinaryBytes && file[0] == 0 && std::equal(type, type + 8, file.data() + 65)) {
        size_t fork = be32(file, 83);
        if (valid(macBinaryBytes, fork)) {
            start = macBinaryBytes;
            length = fork;
            return true;
        }
    }
    start = 0;
    length = file.size();
    return valid(0, file.size());
}

std::string hex(uint32_t v) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int k = 7; k >= 0; k--, v >>= 4) s[size_t(k)] = digits[v & 15];
    return s;
}

}  // namespace

uint32_t cpm_DiskCopySum(const uint8_t *bytes, size_t count) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < count; i += 2) {
        sum += uint32_t(bytes[i]) << 8 | bytes[i + 1];
        sum = sum >> 1 | sum << 31;
    }
    return sum;
}

bool cpm_ClaimsDiskCopy(const Text &file) {
    size_t start = 0, length = 0;
    return locate(file, start, length);
}

std::string cpm_DecodeDiskCopy(Text file, cpm_Medium &m) {
    size_t start = 0, length = 0;
    if (!locate(file, start, length)) return "no DiskCopy 4.2 header";
    const size_t h = start, data = h + headerBytes, dataBytes = be32(file, h + 64), tagBytes = be32(file, h + 68);
    const size_t tags = data + dataBytes;
    static const char *const formats[] = {"400K GCR", "800K GCR", "720K MFM", "1440K MFM"};
    uint32_t dataSum = cpm_DiskCopySum(file.data() + data, dataBytes);
    // The tags of block 0 are left out of the tag checksum.
    uint32_t tagSum = tagBytes > 12 ? cpm_DiskCopySum(file.data() + tags + 12, tagBytes - 12) : 0;
    m.Notes.push_back("Disk name: " + std::string(file.data() + h + 1, file.data() + h + 1 + file[h]));
    m.Notes.push_back(std::string("Disk format: ") + (file[h + 80] < 4 ? formats[file[h + 80]] : "unknown") +
                      ", format byte " + hex(file[h + 81]).substr(6));
    m.Notes.push_back(std::string("Data checksum: ") + (dataSum == be32(file, h + 72) ? "good" : "wrong, " + hex(dataSum) + " computed"));
    m.Notes.push_back(std::string("Tag checksum: ") + (tagSum == be32(file, h + 76) ? "good" : "wrong, " + hex(tagSum) + " computed"));
    if (start > 0) m.Notes.push_back("Wrapper: MacBinary");
    auto &bytes = file.Elements;
    Text sum(std::vector<uint8_t>(4, 0));
    putBe32(sum, 0, dataSum);
    m.Kept = {Text(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(data))),
              Text(std::vector<uint8_t>(bytes.begin() + long(tags), bytes.end())), sum};
    bytes.resize(tags);
    bytes.erase(bytes.begin(), bytes.begin() + long(data));
    m.Bytes = std::move(file);
    return "";
}

Text cpm_EncodeDiskCopy(const cpm_Medium &m) {
    if (m.Kept.size() < 3) return m.Bytes;
    Text file = m.Kept[0];
    // The stored checksum stays as it was while the data are as they were
    // (an unchanged image saves byte-identical, a wrong checksum included).
    uint32_t sum = cpm_DiskCopySum(m.Bytes.data(), m.Bytes.size());
    if (sum != be32(m.Kept[2], 0)) putBe32(file, file.size() - headerBytes + 72, sum);
    file.Elements.insert(file.Elements.end(), m.Bytes.Elements.begin(), m.Bytes.Elements.end());
    file.Elements.insert(file.Elements.end(), m.Kept[1].Elements.begin(), m.Kept[1].Elements.end());
    return file;
}
