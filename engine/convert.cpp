// The kinds of image file, and the explicit sectors of any open volume.
#include "convert.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <tuple>

#include "codec_nib.h"
#include "codec_woz.h"
#include "layout.h"

namespace {

void put16(Text &t, size_t at, unsigned v) {
    t[at] = uint8_t(v);
    t[at + 1] = uint8_t(v >> 8);
}

void put32(Text &t, size_t at, uint32_t v) {
    for (int k = 0; k < 4; k++) t[at + size_t(k)] = uint8_t(v >> (8 * k));
}

void append(Text &out, const cpm_Medium &m, const cpm_Sector &s) {
    out.Elements.insert(out.Elements.end(), m.Bytes.data() + s.At, m.Bytes.data() + s.At + s.Size);
}

// The sectors of each track (cylinder, head), in the order of their ids.
std::map<std::pair<int, int>, std::vector<const cpm_Sector *>> tracksOf(const cpm_Medium &m) {
    std::map<std::pair<int, int>, std::vector<const cpm_Sector *>> tracks;
    for (const cpm_Sector *s : cpm_SectorsInOrder(m)) tracks[{s->Cylinder, s->Head}].push_back(s);
    return tracks;
}

int sizeCode(int size) {
    int code = 0;
    while (code < 6 && (128 << code) < size) code++;
    return code;
}

// An Apple II 5.25" disk: 35 tracks of sixteen 256-byte sectors, ids 0-15.
bool apple140(const cpm_Medium &m) {
    if (m.Sectors.size() != 35 * 16) return false;
    return std::all_of(m.Sectors.begin(), m.Sectors.end(), [](const cpm_Sector &s) {
        return s.Size == 256 && s.Head == 0 && s.Cylinder < 35 && s.Id >= 0 && s.Id < 16;
    });
}

// An Apple II 140K disk in a raw order: physical sector j of track t where that order keeps it.
Text appleOrdered(const cpm_Medium &m, cpm_RawOrder order) {
    cpm_Layout l;
    l.SectorBytes = 256;
    l.SectorsPerTrack = 16;
    l.RawOrder = order;
    Text out(std::vector<uint8_t>(143360, 0));
    for (const cpm_Sector &s : m.Sectors) {
        size_t at = cpm_RawOffset(l, out.size(), size_t(s.Cylinder * 16 + s.Id) * 256);
        std::copy_n(m.Bytes.data() + s.At, 256, out.data() + at);
    }
    return out;
}

Text makeRaw(const cpm_Medium &m) {
    Text out;
    for (const cpm_Sector *s : cpm_SectorsInOrder(m)) append(out, m, *s);
    return out;
}

Text makeDos(const cpm_Medium &m) { return apple140(m) ? appleOrdered(m, cpm_RawOrder::Dos) : Text(); }
Text makeProDos(const cpm_Medium &m) { return apple140(m) ? appleOrdered(m, cpm_RawOrder::ProDos) : Text(); }
// The disk bytes of an Apple II 5.25" disk, formatted as DOS 3.3 formats it.
Text makeWoz(const cpm_Medium &m) { return apple140(m) ? cpm_MakeWoz(m) : Text(); }
Text makeNib(const cpm_Medium &m) { return apple140(m) ? cpm_MakeNib(m) : Text(); }

// 2IMG: a 64-byte header, ProDOS order for an Apple II 5.25" disk, else the sectors as a raw file holds them.
Text makeTwoImg(const cpm_Medium &m) {
    Text data = apple140(m) ? appleOrdered(m, cpm_RawOrder::ProDos) : makeRaw(m);
    Text out(std::vector<uint8_t>(64 + data.size(), 0));
    std::copy(data.Elements.begin(), data.Elements.end(), out.Elements.begin() + 64);
    std::memcpy(out.data(), "2IMGDWRT", 8);
    put16(out, 8, 64);
    put16(out, 10, 1);
    put32(out, 12, 1);
    put32(out, 20, uint32_t(data.size() / 512));
    put32(out, 24, 64);
    put32(out, 28, uint32_t(data.size()));
    return out;
}

// The status bytes a sector's state is recorded with.
std::pair<uint8_t, uint8_t> statusOf(const cpm_Sector &s) {
    switch (s.State) {
    case cpm_SectorState::Missing: return {0x04, 0x01};
    case cpm_SectorState::DataError: return {0x20, 0x20};
    case cpm_SectorState::Deleted: return {0x00, 0x40};
    default: return {0x00, 0x00};
    }
}

// Extended DSK (extended) or CPCEMU DSK: one track block per cylinder and
// head in turn; tracks the medium lacks are unformatted (Extended only).
Text makeDsk(const cpm_Medium &m, bool extended) {
    auto tracks = tracksOf(m);
    int cylinders = 0, heads = 0;
    for (const auto &[place, list] : tracks) cylinders = std::max(cylinders, place.first + 1), heads = std::max(heads, place.second + 1);
    if (cylinders > 255 || heads > 2 || (extended && cylinders * heads > 204)) return Text();
    Text out(std::vector<uint8_t>(256, 0));
    std::memcpy(out.data(), extended ? "EXTENDED CPC DSK File\r\nDisk-Info\r\n" : "MV - CPCEMU Disk-File\r\nDisk-Info\r\n", 34);
    std::memcpy(out.data() + 0x22, "Diskwright", 10);
    out[0x30] = uint8_t(cylinders);
    out[0x31] = uint8_t(heads);
    size_t commonSize = 0;
    for (int c = 0; c < cylinders; c++)
        for (int h = 0; h < heads; h++) {
            auto found = tracks.find({c, h});
            if (found == tracks.end()) {
                if (!extended) return Text();
                continue;
            }
            const std::vector<const cpm_Sector *> &list = found->second;
            if (list.size() > 29) return Text();
            int code = sizeCode(list.front()->Size);
            size_t data = 0;
            for (const cpm_Sector *s : list) {
                if (!extended && s->Size != (128 << code)) return Text();
                data += size_t(s->Size);
            }
            size_t blockSize = (256 + data + 255) / 256 * 256;
            if (!extended && commonSize && blockSize != commonSize) return Text();
            if (blockSize > 255 * 256) return Text();
            commonSize = blockSize;
            Text block(std::vector<uint8_t>(blockSize, 0));
            std::memcpy(block.data(), "Track-Info\r\n", 12);
            block[0x10] = uint8_t(c);
            block[0x11] = uint8_t(h);
            block[0x14] = uint8_t(code);
            block[0x15] = uint8_t(list.size());
            block[0x16] = 0x4E;
            block[0x17] = 0xE5;
            size_t at = 0x100;
            for (size_t k = 0; k < list.size(); k++) {
                const cpm_Sector &s = *list[k];
                size_t info = 0x18 + 8 * k;
                auto [st1, st2] = statusOf(s);
                block[info] = uint8_t(s.Cylinder);
                block[info + 1] = uint8_t(s.Head);
                block[info + 2] = uint8_t(s.Id);
                block[info + 3] = uint8_t(sizeCode(s.Size));
                block[info + 4] = st1;
                block[info + 5] = st2;
                if (extended) put16(block, info + 6, unsigned(s.Size));
                std::copy_n(m.Bytes.data() + s.At, s.Size, block.data() + at);
                at += size_t(s.Size);
            }
            if (extended) out[0x34 + size_t(c * heads + h)] = uint8_t(blockSize / 256);
            out.Elements.insert(out.Elements.end(), block.Elements.begin(), block.Elements.end());
        }
    if (!extended) put16(out, 0x32, unsigned(commonSize));
    return out;
}

Text makeExtendedDsk(const cpm_Medium &m) { return makeDsk(m, true); }
Text makeCpcemuDsk(const cpm_Medium &m) { return makeDsk(m, false); }

// ImageDisk: one track record per cylinder and head, the sectors by id;
// a track's sectors share one size.
Text makeImd(const cpm_Medium &m) {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%d/%m/%Y %H:%M:%S", std::localtime(&now));
    Text out(std::string("IMD 1.18: ") + stamp + "\r\nDiskwright\r\n\x1A");
    for (const auto &[place, list] : tracksOf(m)) {
        int size = list.front()->Size;
        if (list.size() > 255 || (128 << sizeCode(size)) != size) return Text();
        if (std::any_of(list.begin(), list.end(), [&](const cpm_Sector *s) { return s->Size != size; })) return Text();
        if (place.first > 255 || place.second > 1) return Text();
        for (uint8_t b : {uint8_t(size == 128 ? 0 : 5), uint8_t(place.first), uint8_t(place.second), uint8_t(list.size()),
                          uint8_t(sizeCode(size))})
            out.push_back(b);
        for (const cpm_Sector *s : list) out.push_back(uint8_t(s->Id));
        for (const cpm_Sector *s : list) {
            if (s->State == cpm_SectorState::Missing) {
                out.push_back(0);
                continue;
            }
            uint8_t base = s->State == cpm_SectorState::DataError ? 5 : s->State == cpm_SectorState::Deleted ? 3 : 1;
            const uint8_t *data = m.Bytes.data() + s->At;
            if (std::all_of(data, data + size, [&](uint8_t b) { return b == data[0]; })) {
                out.push_back(uint8_t(base + 1));
                out.push_back(data[0]);
            } else {
                out.push_back(base);
                out.Elements.insert(out.Elements.end(), data, data + size);
            }
        }
    }
    return out;
}

}  // namespace

const cpm_Kind cpm_Kinds[] = {
    {"raw", "img ima raw", false, makeRaw},
    {"do", "do dsk", false, makeDos},
    {"po", "po", false, makeProDos},
    {"2mg", "2mg 2img", false, makeTwoImg},
    {"edsk", "edsk", true, makeExtendedDsk},
    {"dsk", "dsk", true, makeCpcemuDsk},
    {"imd", "imd", true, makeImd},
    {"woz", "woz", false, makeWoz},
    {"nib", "nib", false, makeNib},
};
const int cpm_KindCount = int(sizeof cpm_Kinds / sizeof cpm_Kinds[0]);

const cpm_Kind *cpm_KindNamed(const std::string &name) {
    for (const cpm_Kind &k : cpm_Kinds)
        if (name == k.Name) return &k;
    return nullptr;
}

std::vector<const cpm_Kind *> cpm_KindsOfPath(const std::string &path) {
    std::string name = t_PathFileName(path);
    size_t dot = name.rfind('.');
    std::vector<const cpm_Kind *> kinds;
    if (dot == std::string::npos) return kinds;
    std::string ext = name.substr(dot + 1);
    for (char &c : ext) c = char(std::tolower((unsigned char)c));
    for (const cpm_Kind &k : cpm_Kinds) {
        std::string list = std::string(" ") + k.Extensions + " ";
        if (list.find(" " + ext + " ") != std::string::npos) kinds.push_back(&k);
    }
    return kinds;
}

std::vector<const cpm_Sector *> cpm_SectorsInOrder(const cpm_Medium &m) {
    std::vector<const cpm_Sector *> list;
    for (const cpm_Sector &s : m.Sectors) list.push_back(&s);
    std::stable_sort(list.begin(), list.end(), [](const cpm_Sector *a, const cpm_Sector *b) {
        return std::tie(a->Cylinder, a->Head, a->Id) < std::tie(b->Cylinder, b->Head, b->Id);
    });
    return list;
}

cpm_Medium cpm_ExplicitSectors(const cpm_Volume &volume) {
    cpm_Medium m = volume.Medium;
    cpm_Layout layout = cpm_LayoutOf(volume.Geometry);
    cpm_Scatter(m, layout, volume.Image);
    if (!m.Sectors.empty()) return m;
    // A raw run of sectors: the layout's places without the CP/M skew, in file order.
    Text bytes = std::move(m.Bytes);
    m.Bytes = Text();
    layout.Skew.clear();
    if (layout.SectorBytes <= 0) {
        layout = cpm_Layout();
        layout.SectorBytes = 512;
        layout.SectorsPerTrack = 16;
    }
    long long count = ((long long)bytes.size() - layout.Offset) / layout.SectorBytes;
    if (layout.Tracks > 0) layout.Tracks = int(std::max<long long>(layout.Tracks, (count + layout.SectorsPerTrack - 1) / layout.SectorsPerTrack));
    for (long long n = 0; n < count; n++) {
        cpm_Place p = cpm_LogicalPlace(layout, n);
        size_t at = cpm_RawOffset(layout, bytes.size(), size_t(layout.Offset + n * layout.SectorBytes));
        cpm_Sector s;
        s.Cylinder = p.Cylinder;
        s.Head = p.Head;
        s.Id = p.Id;
        s.Size = layout.SectorBytes;
        s.At = m.Bytes.size();
        m.Bytes.Elements.insert(m.Bytes.Elements.end(), bytes.data() + at, bytes.data() + at + layout.SectorBytes);
        m.Sectors.push_back(s);
    }
    return m;
}
