// The codec table: the containers a file may be, and raw sector data.
//
// 2IMG: "2IMG" and a little-endian header; the data offset at +0x18 and
// length at +0x1C say where the sectors are (the header length at +8 is not
// trusted: some files say 52 and still start the data at 64), the format at
// +0x0C their order (0 DOS, 1 ProDOS, 2 nibbles), flag bit 31 at +0x10 write
// protection, and +0x14 the number of 512-byte blocks, which stands in for
// a data length of 0.  Comment and creator chunks follow the data;
// everything outside the data is kept verbatim.
#include <algorithm>

#include "codec_archive.h"
#include "codec_libdsk.h"
#include "medium.h"

const char *const cpm_NibblesMessage = "Nibble images are not supported.";

namespace {

uint32_t le32(const Text &bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

bool claimsTwoImg(const Text &file) {
    static const uint8_t magic[4] = {'2', 'I', 'M', 'G'};
    return file.size() >= 64 && std::equal(magic, magic + 4, file.data());
}

std::string decodeTwoImg(Text file, cpm_Medium &m) {
    uint32_t format = le32(file, 0x0C), flags = le32(file, 0x10), blocks = le32(file, 0x14);
    uint64_t offset = le32(file, 0x18), length = le32(file, 0x1C);
    if (length == 0) length = uint64_t(blocks) * 512;
    if (offset < 64 || offset + length > file.size()) return "the 2IMG header's data lie outside the file";
    m.OrderNamed = format == 0 || format == 1;
    m.Order = format == 0 ? cpm_RawOrder::Dos : format == 1 ? cpm_RawOrder::ProDos : cpm_RawOrder::AsStored;
    if (format == 2) {
        m.Unsaveable = cpm_NibblesMessage;
        m.Sectorless = true;
    }
    m.WriteProtected = (flags & 0x80000000u) != 0;
    auto &bytes = file.Elements;
    m.Kept = {Text(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(offset))),
              Text(std::vector<uint8_t>(bytes.begin() + long(offset + length), bytes.end()))};
    bytes.resize(size_t(offset + length));
    bytes.erase(bytes.begin(), bytes.begin() + long(offset));
    m.Bytes = std::move(file);
    return "";
}

Text encodeTwoImg(const cpm_Medium &m) {
    Text file = m.Kept.size() > 0 ? m.Kept[0] : Text();
    file.Elements.insert(file.Elements.end(), m.Bytes.Elements.begin(), m.Bytes.Elements.end());
    if (m.Kept.size() > 1) file.Elements.insert(file.Elements.end(), m.Kept[1].Elements.begin(), m.Kept[1].Elements.end());
    return file;
}

bool claimsAll(const Text &) { return true; }

std::string decodeRaw(Text file, cpm_Medium &m) {
    m.Bytes = std::move(file);
    return "";
}

Text encodeRaw(const cpm_Medium &m) { return m.Bytes; }

}  // namespace

const cpm_Codec cpm_Codecs[] = {
    {"2IMG", claimsTwoImg, decodeTwoImg, encodeTwoImg},
    {"libdsk", cpm_LibdskClaims, cpm_LibdskDecode, nullptr},
    {"archive", cpm_ArchiveClaims, cpm_ArchiveDecode, nullptr},
    {"raw", claimsAll, decodeRaw, encodeRaw},
};
const int cpm_CodecCount = int(sizeof cpm_Codecs / sizeof cpm_Codecs[0]);

cpm_Medium cpm_DecodeFile(Text file) {
    for (const cpm_Codec &codec : cpm_Codecs) {
        if (!codec.Claims(file)) continue;
        cpm_Medium m;
        m.Codec = codec.Name;
        // A container that does not decode is no container: the file is
        // read as it is (and recognised as whatever it holds).
        bool last = &codec == &cpm_Codecs[cpm_CodecCount - 1];
        std::string error = codec.Decode(last ? std::move(file) : file, m);
        if (error.empty()) return m;
        if (last) break;
    }
    cpm_Medium raw;
    raw.Codec = "raw";
    decodeRaw(std::move(file), raw);
    return raw;
}

Text cpm_EncodeFile(const cpm_Medium &medium) {
    for (const cpm_Codec &codec : cpm_Codecs)
        if (medium.Codec == codec.Name && codec.Encode) return codec.Encode(medium);
    return medium.Bytes;
}

std::string cpm_ContainerName(const cpm_Medium &medium) {
    std::string inner = medium.Codec == "raw" ? "none" : medium.Codec;
    if (medium.Compression.empty()) return inner;
    return inner == "none" ? medium.Compression : medium.Compression + " of " + inner;
}

bool cpm_InContainer(const Text &file) {
    for (const cpm_Codec &codec : cpm_Codecs)
        if (codec.Claims(file)) return &codec != &cpm_Codecs[cpm_CodecCount - 1];
    return false;
}
