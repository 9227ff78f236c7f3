// WOZ files: a 12-byte header (magic, FF 0A 0D 0A, CRC-32 of the rest),
// then chunks (id, length, payload) of which INFO, TMAP, TRKS, FLUX and
// META are read and the others skipped by their length.  A 5.25-inch track
// t is the one TMAP names at quarter-track position 4t; WOZ 1 keeps each
// track in a 6656-byte record, WOZ 2 in 512-byte blocks an 8-byte TRKS
// entry points at; FLUX (WOZ 2.1) names tracks kept as flux timings.
#include "codec_woz.h"

#include <algorithm>

#include "gcr35.h"
#include "nibble_medium.h"

namespace {

uint32_t le16(const Text &b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }
uint32_t le32(const Text &b, size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }
void putLe(Text &b, size_t at, uint32_t v, int bytes) {
    for (int k = 0; k < bytes; k++) b[at + size_t(k)] = uint8_t(v >> (8 * k));
}

constexpr size_t woz1Record = 6656;
constexpr uint8_t noTrack = 0xFF;

struct Chunks {
    int Version = 0;                       // 1 or 2, from the magic
    size_t Info = 0, Tmap = 0, Trks = 0, Flux = 0, Meta = 0;   // payload offsets, 0: absent
    size_t TrksLength = 0, MetaLength = 0;
};

// Where the chunks lie; "" or why the file is no WOZ file.
std::string chunksOf(const Text &file, Chunks &c) {
    if (!cpm_ClaimsWoz(file)) return "no WOZ header";
    c.Version = file[3] == '1' ? 1 : 2;
    for (size_t at = 12; at + 8 <= file.size();) {
        std::string id(file.data() + at, file.data() + at + 4);
        size_t length = le32(file, at + 4), payload = at + 8;
        if (payload + length > file.size()) break;   // a cut chunk ends the list
        if (id == "INFO" && length >= 37) c.Info = payload;
        if (id == "TMAP" && length >= 160) c.Tmap = payload;
        if (id == "TRKS") c.Trks = payload, c.TrksLength = length;
        if (id == "FLUX" && length >= 160) c.Flux = payload;
        if (id == "META") c.Meta = payload, c.MetaLength = length;
        at = payload + length;
    }
    if (!c.Info || !c.Tmap || !c.Trks) return "a WOZ chunk is missing";
    return "";
}

// One track's bits: where they lie in the file, or, for a flux track, the
// bits made from its timings.
struct TrackBits {
    bool Present = false;
    bool Flux = false;
    size_t At = 0;           // of the bit stream in the file (bit tracks)
    uint32_t Bits = 0;
    Text Made;               // the bits of a flux track
    const uint8_t *data(const Text &file) const { return Flux ? Made.data() : file.data() + At; }
};

// Flux timings (ticks of 125 ns since the previous transition, 255 = add
// and go on) as bits of `cell` ticks: n cells are n-1 zeros and a one.
TrackBits fluxBits(const Text &file, size_t at, size_t bytes, int cell) {
    TrackBits t;
    t.Present = t.Flux = true;
    std::vector<bool> bits;
    uint32_t ticks = 0;
    for (size_t k = 0; k < bytes; k++) {
        ticks += file[at + k];
        if (file[at + k] == 255) continue;
        uint32_t cells = (ticks + uint32_t(cell) / 2) / uint32_t(cell);
        ticks = 0;
        if (cells == 0) continue;
        for (uint32_t z = 1; z < cells; z++) bits.push_back(false);
        bits.push_back(true);
    }
    t.Bits = uint32_t(bits.size());
    t.Made = Text(std::vector<uint8_t>((bits.size() + 7) / 8, 0));
    for (size_t i = 0; i < bits.size(); i++)
        if (bits[i]) t.Made[i / 8] = uint8_t(t.Made[i / 8] | 0x80 >> (i % 8));
    return t;
}

TrackBits trackOf(const Text &file, const Chunks &c, int t) {
    TrackBits none;
    size_t position = size_t(t) * 4;
    int cell = c.Info && file[c.Info] >= 2 && file[c.Info + 39] ? file[c.Info + 39] : 32;
    uint8_t fluxIndex = c.Flux ? file[c.Flux + position] : noTrack;
    uint8_t index = fluxIndex != noTrack ? fluxIndex : file[c.Tmap + position];
    if (index == noTrack) return none;
    if (c.Version == 1) {
        size_t record = c.Trks + index * woz1Record;
        if (record + woz1Record > c.Trks + c.TrksLength) return none;
        TrackBits b;
        b.Present = true;
        b.At = record;
        b.Bits = std::min<uint32_t>(le16(file, record + 6648), 6646 * 8);
        return b;
    }
    size_t entry = c.Trks + size_t(index) * 8;
    if (index >= 160 || entry + 8 > file.size()) return none;
    size_t start = size_t(le16(file, entry)) * 512, count = le32(file, entry + 4);
    if (fluxIndex != noTrack) {
        if (start + count > file.size()) return none;
        return fluxBits(file, start, count, cell);
    }
    if (start == 0 || start + (count + 7) / 8 > file.size()) return none;
    TrackBits b;
    b.Present = true;
    b.At = start;
    b.Bits = uint32_t(count);
    return b;
}

cpm_GcrTrack decoded(const Text &file, const TrackBits &b, bool positions) {
    return cpm_DecodeGcrTrack(cpm_NibblesOfBits(b.data(file), b.Bits, 2, cpm_WrapNibbles), positions);
}

std::string text(const Text &file, size_t at, size_t n) {
    std::string s(file.data() + at, file.data() + at + n);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

void infoNotes(const Text &file, const Chunks &c, cpm_Medium &m) {
    size_t i = c.Info;
    int version = file[i];
    m.Notes.push_back("WOZ version: " + std::to_string(c.Version) + " (INFO version " + std::to_string(version) + ")");
    m.Notes.push_back(std::string("Disk type: ") + (file[i + 1] == 2 ? "3.5-inch" : "5.25-inch"));
    m.Notes.push_back(std::string("Write protected: ") + (file[i + 2] ? "yes" : "no"));
    m.Notes.push_back(std::string("Synchronized: ") + (file[i + 3] ? "yes" : "no"));
    m.Notes.push_back(std::string("Cleaned: ") + (file[i + 4] ? "yes" : "no"));
    m.Notes.push_back("Creator: " + text(file, i + 5, 32));
    if (version >= 2) {
        static const char *const boot[] = {"unknown", "16-sector", "13-sector", "16- and 13-sector"};
        m.Notes.push_back("Sides: " + std::to_string(file[i + 37]));
        m.Notes.push_back(std::string("Boot format: ") + (file[i + 38] < 4 ? boot[file[i + 38]] : "unknown"));
        m.Notes.push_back("Bit timing: " + std::to_string(file[i + 39] * 125) + " ns");
    }
    if (!c.Meta) return;
    // META: lines of key TAB value.
    std::string meta = text(file, c.Meta, c.MetaLength);
    for (size_t from = 0; from < meta.size();) {
        size_t end = std::min(meta.find('\n', from), meta.size());
        std::string line = meta.substr(from, end - from);
        size_t tab = line.find('\t');
        if (tab != std::string::npos && tab + 1 < line.size())
            m.Notes.push_back("Meta " + line.substr(0, tab) + ": " + line.substr(tab + 1));
        from = end + 1;
    }
}

// A 3.5-inch disk: its blocks, side by side on each track, as a raw run of
// bytes (the 800K readings take it); blocks not found read as zeros.  The
// disk is read, never written.
void decode35(const Text &file, const Chunks &c, cpm_Medium &m) {
    const int sides = c.Info && file[c.Info] >= 2 && file[c.Info + 37] == 2 ? 2 : 1;
    std::vector<std::string> missing;
    int decoded = 0;
    for (int t = 0; t < 80; t++)
        for (int side = 0; side < sides; side++) {
            const int spt = cpm_Gcr35Sectors(t);
            size_t first = m.Bytes.size();
            m.Bytes.Elements.resize(first + size_t(spt) * 512, 0);
            std::vector<bool> found(size_t(spt), false);
            uint8_t index = file[c.Tmap + size_t(t) * 2 + size_t(side)];
            size_t entry = c.Trks + size_t(index) * 8;
            size_t start = index < 160 && entry + 8 <= file.size() ? size_t(le16(file, entry)) * 512 : 0;
            uint32_t bits = start ? le32(file, entry + 4) : 0;
            if (c.Version == 2 && start && start + (bits + 7) / 8 <= file.size())
                for (const cpm_Gcr35Sector &s : cpm_DecodeGcr35Track(cpm_NibblesOfBits(file.data() + start, bits, 2)))
                    if (s.DataGood && s.Sector < spt && s.Side == side && !found[size_t(s.Sector)]) {
                        found[size_t(s.Sector)] = true;
                        std::copy_n(s.Bytes + 12, 512, m.Bytes.data() + first + size_t(s.Sector) * 512);
                    }
            int good = int(std::count(found.begin(), found.end(), true));
            decoded += good == spt;
            for (int k = 0; k < spt; k++)
                if (!found[size_t(k)]) missing.push_back("T" + std::to_string(t) + "/" + std::to_string(side) + " S" + std::to_string(k));
        }
    m.Notes.push_back("Tracks decoded: " + std::to_string(decoded) + " of " + std::to_string(80 * sides));
    if (!missing.empty())
        m.Notes.push_back("Missing sectors: " + std::to_string(missing.size()) + ", first " + missing.front());
    m.Unsaveable = "3.5-inch WOZ disks are opened read-only.";
}

uint32_t storedCrc(const Text &file) { return le32(file, 8); }

uint32_t computedCrc(const Text &file) { return cpm_Crc32(file.data() + 12, file.size() - 12); }

}  // namespace

uint32_t cpm_Crc32(const uint8_t *bytes, size_t count) {
    // Eight tables: table k gives the CRC of a byte followed by k zero
    // bytes, so eight bytes are folded in with eight independent lookups.
    static const auto tables = [] {
        std::vector<uint32_t> t(8 * 256);
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        for (uint32_t n = 0; n < 256; n++)
            for (int k = 1; k < 8; k++) t[size_t(k) * 256 + n] = (t[size_t(k - 1) * 256 + n] >> 8) ^ t[t[size_t(k - 1) * 256 + n] & 0xFF];
        return t;
    }();
    const uint32_t *t = tables.data();
    uint32_t crc = 0xFFFFFFFFu;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const uint8_t *p = bytes + i;
        uint32_t low = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
        crc = t[7 * 256 + (low & 0xFF)] ^ t[6 * 256 + ((low >> 8) & 0xFF)] ^ t[5 * 256 + ((low >> 16) & 0xFF)] ^
              t[4 * 256 + (low >> 24)] ^ t[3 * 256 + p[4]] ^ t[2 * 256 + p[5]] ^ t[1 * 256 + p[6]] ^ t[p[7]];
    }
    for (; i < count; i++) crc = t[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool cpm_ClaimsWoz(const Text &file) {
    static const uint8_t tail[4] = {0xFF, 0x0A, 0x0D, 0x0A};
    return file.size() >= 12 && file[0] == 'W' && file[1] == 'O' && file[2] == 'Z' && (file[3] == '1' || file[3] == '2') &&
           std::equal(tail, tail + 4, file.data() + 4);
}

std::string cpm_DecodeWoz(Text file, cpm_Medium &m) {
    Chunks c;
    std::string error = chunksOf(file, c);
    if (!error.empty()) return error;
    infoNotes(file, c, m);
    uint32_t stored = storedCrc(file), computed = computedCrc(file);
    m.Notes.push_back(stored == 0 ? "CRC-32: none" : stored == computed ? "CRC-32: good" : "CRC-32: wrong");
    m.WriteProtected = file[c.Info + 2] != 0;
    if (file[c.Info + 1] == 2) {
        decode35(file, c, m);
        return "";
    }
    cpm_StartNibbleMedium(m);
    cpm_NibbleTally tally;
    for (int t = 0; t < cpm_NibbleTracks; t++) {
        TrackBits b = trackOf(file, c, t);
        if (!b.Present) {
            cpm_PlaceTrack(m, t, cpm_GcrTrack(), tally);
            continue;
        }
        cpm_PlaceTrack(m, t, decoded(file, b, false), tally);
        if (b.Flux && m.Unsaveable.empty())
            m.Unsaveable = "Track " + std::to_string(t) + " is kept as flux timings: opened read-only.";
    }
    if (c.Info && file[c.Info] >= 2 && file[c.Info + 38] == 2 && m.Unsaveable.empty())
        m.Unsaveable = "13-sector boot format: opened read-only.";
    cpm_KeepFile(m, std::move(file));
    cpm_FinishNibbleMedium(m, tally);
    return "";
}

Text cpm_EncodeWoz(const cpm_Medium &m) {
    if (m.Kept.size() < 2) return m.Kept.empty() ? Text() : m.Kept[0];
    Text file = m.Kept[0];
    const Text &before = m.Kept[1];
    Chunks c;
    if (!chunksOf(file, c).empty()) return file;
    bool changed = false;
    for (int t = 0; t < cpm_NibbleTracks; t++) {
        if (!cpm_TrackChanged(m, before, t)) continue;
        TrackBits b = trackOf(file, c, t);
        if (!b.Present || b.Flux) continue;   // never: such a disk is not saved
        uint8_t *bits = file.data() + b.At;
        cpm_RewriteTrack(m, before, t, decoded(file, b, true), [&](uint32_t at, uint8_t value) {
            for (uint32_t k = 0; k < 8; k++) {
                uint32_t bit = (at + k) % b.Bits;
                uint8_t mask = uint8_t(0x80 >> (bit & 7));
                bits[bit >> 3] = uint8_t(value & (0x80 >> k) ? bits[bit >> 3] | mask : bits[bit >> 3] & ~mask);
            }
        });
        changed = true;
    }
    if (changed) putLe(file, 8, computedCrc(file), 4);
    return file;
}

Text cpm_MakeWoz(const cpm_Medium &sectors) {
    const int tracks = std::min(cpm_PhysicalTracks(sectors), 40);
    // The bits of each track: standard gaps of ten-bit self-sync bytes.
    std::vector<Text> streams;
    std::vector<uint32_t> counts;
    size_t largest = 0;
    for (int t = 0; t < tracks; t++) {
        Text physical = cpm_PhysicalTrack(sectors, t);
        cpm_TrackBytes bytes = cpm_StandardTrack(254, t, physical.data(), 40, 6, 20);
        std::vector<bool> bits;
        for (size_t i = 0; i < bytes.Bytes.size(); i++) {
            for (int k = 7; k >= 0; k--) bits.push_back((bytes.Bytes[i] >> k) & 1);
            if (bytes.Sync[i]) bits.insert(bits.end(), {false, false});
        }
        Text stream(std::vector<uint8_t>((bits.size() + 511 * 8) / (512 * 8) * 512, 0));
        for (size_t i = 0; i < bits.size(); i++)
            if (bits[i]) stream[i / 8] = uint8_t(stream[i / 8] | 0x80 >> (i % 8));
        largest = std::max(largest, stream.size() / 512);
        counts.push_back(uint32_t(bits.size()));
        streams.push_back(std::move(stream));
    }
    Text file(std::vector<uint8_t>(1536, 0));
    const uint8_t magic[12] = {'W', 'O', 'Z', '2', 0xFF, 0x0A, 0x0D, 0x0A, 0, 0, 0, 0};
    std::copy_n(magic, 12, file.data());
    auto chunk = [&](size_t at, const char *id, uint32_t length) {
        std::copy_n(id, 4, file.data() + at);
        putLe(file, at + 4, length, 4);
    };
    chunk(12, "INFO", 60);
    const size_t info = 20;
    file[info] = 2;          // INFO version 2
    file[info + 1] = 1;      // 5.25-inch
    file[info + 4] = 1;      // cleaned: made, not captured
    std::string creator = "Diskwright";
    creator.resize(32, ' ');
    std::copy(creator.begin(), creator.end(), file.data() + info + 5);
    file[info + 37] = 1;     // one side
    file[info + 38] = 1;     // 16-sector
    file[info + 39] = 32;    // 4 us bit cells
    putLe(file, info + 44, uint32_t(largest), 2);
    chunk(80, "TMAP", 160);
    std::fill_n(file.data() + 88, 160, noTrack);
    // Each whole track is also read a quarter track either side, as on a drive.
    for (int t = 0; t < tracks; t++)
        for (int q = std::max(0, 4 * t - 1); q <= 4 * t + 1 && q < 160; q++) file[88 + size_t(q)] = uint8_t(t);
    size_t trackBytes = 0;
    for (const Text &s : streams) trackBytes += s.size();
    chunk(248, "TRKS", uint32_t(1280 + trackBytes));
    uint32_t block = 3;
    for (size_t t = 0; t < streams.size(); t++) {
        putLe(file, 256 + t * 8, block, 2);
        putLe(file, 256 + t * 8 + 2, uint32_t(streams[t].size() / 512), 2);
        putLe(file, 256 + t * 8 + 4, counts[t], 4);
        block += uint32_t(streams[t].size() / 512);
        file.Elements.insert(file.Elements.end(), streams[t].Elements.begin(), streams[t].Elements.end());
    }
    putLe(file, 8, computedCrc(file), 4);
    return file;
}
