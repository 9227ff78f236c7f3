// The shape of a container's medium and the definitions that fit it.
#include "shape.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace {

// One track of the medium: its distinct ids and their sizes.
struct Track {
    std::set<int> Ids;
    std::set<int> Sizes;
};

std::map<std::pair<int, int>, Track> tracksOf(const cpm_Medium &m) {
    std::map<std::pair<int, int>, Track> tracks;
    for (const cpm_Sector &s : m.Sectors) {
        Track &t = tracks[{s.Cylinder, s.Head}];
        t.Ids.insert(s.Id);
        t.Sizes.insert(s.Size);
    }
    return tracks;
}

template <typename T> T mostCommon(const std::map<T, int> &counts, T none) {
    T best = none;
    int most = 0;
    for (const auto &[value, n] : counts)
        if (n > most) best = value, most = n;
    return best;
}

std::string hex(int v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", unsigned(v) & 0xFFu);
    return text;
}

std::string idsText(const std::set<int> &ids) {
    if (ids.empty()) return "no ids";
    bool run = *ids.rbegin() - *ids.begin() + 1 == int(ids.size());
    if (run) return "ids " + hex(*ids.begin()) + "-" + hex(*ids.rbegin());
    std::string out = "ids";
    for (int id : ids) out += " " + hex(id);
    return out;
}

const char *stateText(cpm_SectorState s) { return s == cpm_SectorState::Missing ? "missing" : "data error"; }

}  // namespace

cpm_Shape cpm_ShapeOf(const cpm_Medium &m) {
    cpm_Shape shape;
    std::map<int, int> counts, sizes, firsts;
    // Every place once, in order: a track's distinct ids are one run, its
    // lowest id first (as tracksOf gives them, without a set per track).
    std::vector<std::tuple<int, int, int>> places;
    places.reserve(m.Sectors.size());
    for (const cpm_Sector &s : m.Sectors) places.emplace_back(s.Cylinder, s.Head, s.Id);
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());
    for (size_t i = 0, j = 0; i < places.size(); i = j) {
        const auto [cylinder, head, lowest] = places[i];
        while (j < places.size() && std::get<0>(places[j]) == cylinder && std::get<1>(places[j]) == head) j++;
        shape.Cylinders = std::max(shape.Cylinders, cylinder + 1);
        shape.Heads = std::max(shape.Heads, head + 1);
        counts[int(j - i)]++;
        firsts[lowest]++;
    }
    for (const cpm_Sector &s : m.Sectors) sizes[s.Size]++;
    shape.SectorsPerTrack = mostCommon(counts, 0);
    shape.SectorBytes = mostCommon(sizes, 0);
    shape.FirstId = mostCommon(firsts, -1);
    return shape;
}

bool cpm_GeometryOnShape(const cpm_Geometry &g, const cpm_Shape &shape, cpm_Geometry &out) {
    if (g.Format != cpm_Format::Defined || g.Offset != 0 || shape.Heads <= 0) return false;
    if (g.SectorBytes != shape.SectorBytes || g.SectorsPerTrack != shape.SectorsPerTrack) return false;
    if (g.FirstId >= 0 && g.FirstId != shape.FirstId) return false;
    if (g.Heads > shape.Heads) return false;
    int heads = shape.Heads;
    if (g.Tracks % heads != 0) return false;
    // 39 to 42 track images of a 40 track disk: a track more or less is the
    // same disk (the missing sectors read as unreadable).
    int cylinders = g.Tracks / heads;
    if (std::abs(cylinders - shape.Cylinders) > 2) return false;
    out = g;
    out.Heads = heads;
    return true;
}

bool cpm_FormatRecord(const cpm_Medium &m, cpm_Geometry &out) {
    const cpm_Sector *first = nullptr;
    for (const cpm_Sector &s : m.Sectors)
        if (s.Cylinder == 0 && s.Head == 0 && (!first || s.Id < first->Id)) first = &s;
    if (!first || first->Id != 1 || first->Size < 16 || first->State == cpm_SectorState::Missing ||
        first->State == cpm_SectorState::DataError || first->At + 16 > m.Bytes.size())
        return false;
    const uint8_t *r = m.Bytes.data() + first->At;
    int format = r[0], sides = r[1] & 0x03, tracks = r[2], sectors = r[3], code = r[4], reserved = r[5], shift = r[6],
        dirBlocks = r[7];
    if ((format != 0 && format != 3) || sides > 2 || tracks < 1 || tracks > 90 || sectors < 1 || sectors > 20 ||
        code > 6 || reserved >= tracks || shift < 3 || shift > 7 || dirBlocks < 1 || dirBlocks > 16)
        return false;
    cpm_Geometry g;
    g.Format = cpm_Format::Defined;
    g.Name = "format record";
    g.SectorBytes = 128 << code;
    g.SectorsPerTrack = sectors;
    g.Heads = sides == 0 ? 1 : 2;
    g.Sides = sides == 2 ? cpm_Sides::OutOut : cpm_Sides::Alt;
    g.Tracks = tracks * g.Heads;
    g.ReservedSectors = reserved * sectors;
    g.DataStart = g.ReservedSectors * g.SectorBytes;
    g.BlockSize = 128 << shift;
    g.DirBlocks = dirBlocks;
    g.DirEntries = dirBlocks * g.BlockSize / cpm_EntrySize;
    g.Os = cpm_Os::Cpm3;
    g.FirstId = 1;
    if (cpm_DefinedBlocks(g) <= g.DirBlocks) return false;
    out = g;
    return true;
}

std::vector<std::string> cpm_MediumLines(const cpm_Medium &m) {
    std::vector<std::string> lines;
    if (m.Sectors.empty()) return lines;
    cpm_Shape shape = cpm_ShapeOf(m);
    auto tracks = tracksOf(m);
    std::map<std::set<int>, int> idSets;
    for (const auto &[place, t] : tracks) idSets[t.Ids]++;
    std::set<int> commonIds = mostCommon(idSets, std::set<int>());
    lines.push_back("Shape:        " + std::to_string(shape.Cylinders) + " x " + std::to_string(shape.Heads) + " x " +
                    std::to_string(shape.SectorsPerTrack) + ", " + std::to_string(shape.SectorBytes) + " bytes, " +
                    idsText(commonIds));
    for (const auto &[place, t] : tracks) {
        if (t.Ids == commonIds && t.Sizes == std::set<int>{shape.SectorBytes}) continue;
        std::string sizes;
        for (int size : t.Sizes) sizes += (sizes.empty() ? "" : "/") + std::to_string(size);
        lines.push_back("Track:        cylinder " + std::to_string(place.first) + " head " + std::to_string(place.second) +
                        ": " + std::to_string(t.Ids.size()) + " sectors, " + sizes + " bytes, " + idsText(t.Ids));
    }
    for (const cpm_Sector &s : m.Sectors)
        if (s.State == cpm_SectorState::Missing || s.State == cpm_SectorState::DataError)
            lines.push_back("Unreadable:   cylinder " + std::to_string(s.Cylinder) + " head " + std::to_string(s.Head) +
                            " id " + hex(s.Id) + " (" + stateText(s.State) + ")");
    return lines;
}
