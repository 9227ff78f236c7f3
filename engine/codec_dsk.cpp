// CPCEMU DSK ("MV - CPC") and Extended DSK ("EXTENDED"): the disk
// information block gives the tracks, the sides and the size of each track
// block (one size for all in a DSK, a table in 256-byte units in an
// Extended DSK, where 0 is a track never formatted).  Each track block
// starts with "Track-Info", its sector list (C, H, R, N, ST1, ST2 and, in
// an Extended DSK, the stored data length) and then the data in list order.
//
// One walk over the file finds every sector's place; decoding copies the
// data out, encoding copies it back into the kept file.
#include "codec_dsk.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

struct Placed {
    cpm_Sector Sector;       // At: where its data lie in the file
    size_t Stored = 0;       // bytes the file holds for it
};

bool startsWith(const Text &file, const char *magic) {
    size_t n = std::strlen(magic);
    return file.size() >= n && std::memcmp(file.data(), magic, n) == 0;
}

bool isExtended(const Text &file) { return startsWith(file, "EXTENDED"); }

unsigned le16(const Text &file, size_t at) { return unsigned(file[at]) | unsigned(file[at + 1]) << 8; }

// The bytes of a sector of size code n (codes above 5 hold 0x1800 bytes at most).
size_t sizeOfCode(unsigned n) { return n <= 5 ? size_t(128) << n : 0x1800; }

cpm_SectorState stateOf(uint8_t st1, uint8_t st2, size_t stored) {
    if (stored == 0) return cpm_SectorState::Missing;
    if ((st1 & 0x20) || (st2 & 0x20)) return cpm_SectorState::DataError;   // CRC error in the ID or data field
    if ((st1 & 0x05) || (st2 & 0x01)) return cpm_SectorState::Missing;      // no address mark, no data
    if (st2 & 0x40) return cpm_SectorState::Deleted;
    return cpm_SectorState::Good;
}

bool trackInfo(const Text &file, size_t at) {
    static const char sig[] = "TRACK-INFO";
    for (size_t k = 0; k < 10; k++)
        if (std::toupper(file[at + k]) != sig[k]) return false;
    return true;
}

// Every sector of the file, in file order; "" or what is wrong.
std::string walk(const Text &file, std::vector<Placed> &out) {
    if (file.size() < 256) return "the disk information block is cut short";
    bool extended = isExtended(file);
    unsigned tracks = file[0x30], sides = file[0x31];
    if (tracks == 0 || sides < 1 || sides > 2) return "it records " + std::to_string(tracks) + " tracks and " + std::to_string(sides) + " sides";
    size_t blocks = size_t(tracks) * sides;
    if (extended && blocks > 256 - 0x34) return "its track table is longer than the disk information block";
    size_t at = 0x100;
    for (size_t i = 0; i < blocks; i++) {
        size_t size = extended ? size_t(file[0x34 + i]) * 256 : le16(file, 0x32);
        std::string where = "track " + std::to_string(i / sides) + (sides > 1 ? " side " + std::to_string(i % sides) : "");
        if (size == 0) {
            if (extended) continue;   // a track never formatted
            return "its track size is 0";
        }
        if (size < 256 || at + size > file.size()) return where + " lies past the end of the file";
        if (!trackInfo(file, at)) return where + " has no Track-Info header";
        unsigned count = file[at + 0x15];
        if (0x18 + 8 * count > 256) return where + " lists " + std::to_string(count) + " sectors";
        size_t data = at + 0x100;
        for (unsigned s = 0; s < count; s++) {
            const size_t info = at + 0x18 + 8 * s;
            size_t stored = extended ? le16(file, info + 6) : sizeOfCode(file[at + 0x14]);
            if (data + stored > at + size) return "the sectors of " + where + " run past its end";
            Placed p;
            p.Sector.Cylinder = int(i / sides);
            p.Sector.Head = int(i % sides);
            p.Sector.Id = file[info + 2];
            p.Sector.Size = int(sizeOfCode(file[info + 3]));
            p.Sector.State = stateOf(file[info + 4], file[info + 5], stored);
            // Fewer bytes stored than the sector holds: no whole sector was read.
            if (stored > 0 && stored < size_t(p.Sector.Size)) p.Sector.State = cpm_SectorState::DataError;
            p.Sector.At = data;
            p.Stored = stored;
            out.push_back(p);
            data += stored;
        }
        at += size;
    }
    return "";
}

std::string creatorOf(const Text &file) {
    std::string creator(file.data() + 0x22, file.data() + 0x30);
    creator.erase(std::find(creator.begin(), creator.end(), '\0'), creator.end());
    while (!creator.empty() && creator.back() == ' ') creator.pop_back();
    return creator;
}

}  // namespace

bool cpm_ClaimsExtendedDsk(const Text &file) { return isExtended(file); }
bool cpm_ClaimsCpcemuDsk(const Text &file) { return startsWith(file, "MV - CPC"); }

std::string cpm_DecodeDsk(Text file, cpm_Medium &m) {
    std::vector<Placed> placed;
    std::string error = walk(file, placed);
    // The signature is the container's own: a damaged one is refused, not read as raw bytes.
    if (!error.empty()) return cpm_Damaged(m, error);
    cpm_AppendSectors(m, placed, [&](const Placed &p, std::vector<uint8_t> &bytes) {
        const uint8_t *data = file.data() + p.Sector.At;
        bytes.insert(bytes.end(), data, data + std::min(p.Stored, size_t(p.Sector.Size)));
    });
    std::string creator = creatorOf(file);
    m.Notes.push_back("Creator: " + (creator.empty() ? std::string("(none)") : creator));
    cpm_KeepFile(m, std::move(file));
    return "";
}

Text cpm_EncodeDsk(const cpm_Medium &m) {
    if (m.Kept.empty()) return Text();
    Text file = m.Kept[0];
    std::vector<Placed> placed;
    walk(file, placed);
    for (size_t k = 0; k < placed.size() && k < m.Sectors.size(); k++) {
        const cpm_Sector &s = m.Sectors[k];
        if (s.At + size_t(s.Size) > m.Bytes.size()) continue;
        std::copy_n(m.Bytes.data() + s.At, std::min(size_t(s.Size), placed[k].Stored), file.data() + placed[k].Sector.At);
    }
    return file;
}
