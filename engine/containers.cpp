// Containers around the sector data: the 2IMG header of Apple II images.
//
// A 2IMG file starts with "2IMG" and a little-endian header: the data offset
// at +0x18 and length at +0x1C say where the sectors are (the header length
// at +8 is not trusted: some files say 52 and still start the data at 64),
// the format at +0x0C their order (0 DOS, 1 ProDOS, 2 nibbles), flag bit 31
// at +0x10 write protection, and +0x14 the number of 512-byte blocks, which
// stands in for a data length of 0.  Comment and creator chunks follow the
// data; everything outside the data is kept verbatim.
#include <algorithm>

#include "volume.h"

const char *const cpm_NotCpmMessage = "Not a CP/M volume: opened read-only.";
const char *const cpm_TooShortMessage = "too short to be a CP/M volume";
const char *const cpm_NibblesMessage = "Nibble images are not supported.";

static uint32_t le32(const Text &bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

static bool isTwoImg(const Text &bytes) {
    static const uint8_t magic[4] = {'2', 'I', 'M', 'G'};
    return bytes.size() >= 64 && std::equal(magic, magic + 4, bytes.data());
}

std::string cpm_ContainerName(const cpm_Container &container) {
    return container.Kind == cpm_ContainerKind::TwoImg ? "2IMG" : "none";
}

cpm_Container cpm_OpenContainer(Text &fileBytes) {
    cpm_Container c;
    if (!isTwoImg(fileBytes)) return c;
    uint32_t format = le32(fileBytes, 0x0C), flags = le32(fileBytes, 0x10), blocks = le32(fileBytes, 0x14);
    uint64_t offset = le32(fileBytes, 0x18), length = le32(fileBytes, 0x1C);
    if (length == 0) length = uint64_t(blocks) * 512;
    // A header whose data do not lie inside the file is no container: the
    // file is then read as it is (and recognised as whatever it holds).
    if (offset < 64 || offset + length > fileBytes.size()) return c;
    c.Kind = cpm_ContainerKind::TwoImg;
    c.Order = format == 0 ? cpm_Order::Dos : format == 1 ? cpm_Order::ProDos : cpm_Order::AsStored;
    c.Nibbles = format == 2;
    c.WriteProtected = (flags & 0x80000000u) != 0;
    auto &bytes = fileBytes.Elements;
    c.Trailer = Text(std::vector<uint8_t>(bytes.begin() + long(offset + length), bytes.end()));
    c.Header = Text(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(offset)));
    bytes.resize(size_t(offset + length));
    bytes.erase(bytes.begin(), bytes.begin() + long(offset));
    return c;
}

Text cpm_CloseContainer(const cpm_Container &container, Text data) {
    if (container.Kind == cpm_ContainerKind::None) return data;
    Text file = container.Header;
    file.Elements.insert(file.Elements.end(), data.Elements.begin(), data.Elements.end());
    file.Elements.insert(file.Elements.end(), container.Trailer.Elements.begin(), container.Trailer.Elements.end());
    return file;
}
