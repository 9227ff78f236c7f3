// The codec table: the containers a file may be, and raw sector data.
//
// 2IMG: "2IMG" and a little-endian header; the data offset at +0x18 and
// length at +0x1C say where the sectors are (the header length at +8 is not
// trusted: some files say 52 and still start the data at 64), the format at
// +0x0C their order (0 DOS, 1 ProDOS, 2 nibbles), flag bit 31 at +0x10 write
// protection, and +0x14 the number of 512-byte blocks, which stands in for
// a data length of 0.  Comment and creator chunks follow the data;
// everything outside the data is kept verbatim.  The data of a nibble 2IMG
// are a NIB file's disk bytes, decoded as one.
#include "codecs.h"

#include <algorithm>

#include "codec_archive.h"
#include "codec_dc42.h"
#include "codec_dsk.h"
#include "codec_imd.h"
#include "codec_libdsk.h"
#include "codec_nib.h"
#include "codec_woz.h"

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
    m.WriteProtected = (flags & 0x80000000u) != 0;
    auto &bytes = file.Elements;
    m.Kept = {Text(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(offset))),
              Text(std::vector<uint8_t>(bytes.begin() + long(offset + length), bytes.end()))};
    bytes.resize(size_t(offset + length));
    bytes.erase(bytes.begin(), bytes.begin() + long(offset));
    // Nibbles that hold no address field are no disk this engine can read.
    if (format == 2 && (cpm_ClaimsNib(file) || cpm_ClaimsNb2(file)) && cpm_DecodeNib(file, m).empty()) return "";
    if (format == 2) {
        m.Unsaveable = cpm_NibblesMessage;
        m.NoSectors = true;
    }
    m.Bytes = std::move(file);
    return "";
}

Text encodeTwoImg(const cpm_Medium &m) {
    Text file = m.Kept.size() > 0 ? m.Kept[0] : Text();
    Text data = m.Sectors.empty() ? m.Bytes : cpm_EncodeNib(m, 2);
    file.Elements.insert(file.Elements.end(), data.Elements.begin(), data.Elements.end());
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
    {"Extended DSK", cpm_ClaimsExtendedDsk, cpm_DecodeDsk, cpm_EncodeDsk},
    {"CPCEMU DSK", cpm_ClaimsCpcemuDsk, cpm_DecodeDsk, cpm_EncodeDsk},
    {"ImageDisk", cpm_ClaimsImd, cpm_DecodeImd, cpm_EncodeImd},
    {"WOZ", cpm_ClaimsWoz, cpm_DecodeWoz, cpm_EncodeWoz},
    {"DiskCopy 4.2", cpm_ClaimsDiskCopy, cpm_DecodeDiskCopy, cpm_EncodeDiskCopy},
    {"NIB", cpm_ClaimsNib, cpm_DecodeNibFile, cpm_EncodeNibFile},
    {"NB2", cpm_ClaimsNb2, cpm_DecodeNibFile, cpm_EncodeNibFile},
    {"libdsk", cpm_LibdskClaims, cpm_LibdskDecode, nullptr},
    {"archive", cpm_ArchiveClaims, cpm_ArchiveDecode, nullptr},
    {"raw", claimsAll, decodeRaw, encodeRaw},
};
const int cpm_CodecCount = int(sizeof cpm_Codecs / sizeof cpm_Codecs[0]);

namespace {

// The first row that claims and decodes the file; archives only when asked
// (an archive found inside an archive is not opened).
cpm_Medium decode(Text file, bool archives) {
    for (const cpm_Codec &codec : cpm_Codecs) {
        if ((!archives && codec.Decode == cpm_ArchiveDecode) || !codec.Claims(file)) continue;
        cpm_Medium m;
        m.Codec = codec.Name;
        // A container that does not decode is no container: the file is
        // read as it is (and recognised as whatever it holds).
        bool last = &codec == &cpm_Codecs[cpm_CodecCount - 1];
        std::string error = codec.Decode(last ? std::move(file) : file, m);
        // Returned as it is, not copied: a medium holds the sector data and the whole file.
        if (error.empty() && codec.Decode == cpm_ArchiveDecode) return cpm_DecodeInflated(std::move(m));
        if (error.empty()) return m;
        if (last) break;
    }
    cpm_Medium raw;
    raw.Codec = "raw";
    decodeRaw(std::move(file), raw);
    return raw;
}

}  // namespace

cpm_Medium cpm_DecodeFile(Text file) { return decode(std::move(file), true); }

cpm_Medium cpm_DecodeInflated(cpm_Medium archive) {
    if (archive.NoSectors) return archive;   // not inflated: refused with the reason
    cpm_Medium m = decode(std::move(archive.Bytes), false);
    m.Compression = std::move(archive.Compression);
    m.Members = std::move(archive.Members);
    m.Member = std::move(archive.Member);
    m.Unsaveable = std::move(archive.Unsaveable);
    return m;
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
