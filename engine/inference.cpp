// Inferring a geometry when no definition reads the disk.  The directory
// is looked for at each track boundary of the first tracks, read with each
// block size from 1K to 16K and each power-of-two number of entries that
// fills whole blocks.  A candidate counts when its directory is plausible,
// holds files, and every file entry holds exactly the blocks its size needs
// (a wrong block size or block number width gives other counts), and the
// directory read up to the first file's block is still plausible: that is
// its size.  Two different best candidates are no inference.
#include "inference.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "entry.h"
#include "layout.h"
#include "scores.h"

namespace {

// Tracks of raw files as common disks have them: sector length, sectors.
struct TrackRow {
    int SectorBytes;
    int Sectors;
};
const TrackRow trackRows[] = {
    {512, 9}, {512, 8}, {512, 10}, {256, 16}, {128, 26}, {1024, 5}, {512, 18},
    {512, 15}, {256, 26}, {1024, 8}, {128, 32}, {512, 16}, {256, 18}, {128, 18},
};
constexpr int firstTracks = 6;         // reserved tracks searched: 0 to 6
constexpr int blockSizes[] = {1024, 2048, 4096, 8192, 16384};
constexpr int entryCounts[] = {32, 64, 128, 256, 512, 1024, 2048};

// The shape of the disk's tracks: sector length and count, heads, tracks.
struct Shape {
    int SectorBytes = 0;
    int Sectors = 0;
    int Heads = 1;
    int Tracks = 0;
    long long TrackBytes() const { return (long long)SectorBytes * Sectors; }
};

template <typename Key> Key mostCommon(const std::map<Key, int> &counts) {
    return std::max_element(counts.begin(), counts.end(), [](auto &a, auto &b) { return a.second < b.second; })->first;
}

// The shapes a disk may have: a container's own, or those of the common
// tracks that divide a raw file.
std::vector<Shape> shapesOf(const cpm_Medium &m) {
    std::vector<Shape> shapes;
    if (!m.Sectors.empty()) {
        std::map<int, int> sizes, lengths;
        std::map<std::pair<int, int>, int> tracks;
        int heads = 1;
        for (const cpm_Sector &s : m.Sectors) {
            sizes[s.Size]++;
            tracks[{s.Cylinder, s.Head}]++;
            heads = std::max(heads, s.Head + 1);
        }
        for (const auto &[track, count] : tracks) lengths[count]++;
        shapes.push_back({mostCommon(sizes), mostCommon(lengths), heads, int(tracks.size())});
        return shapes;
    }
    auto add = [&](int sectorBytes, int sectors) {
        size_t track = size_t(sectorBytes) * size_t(sectors);
        if (m.Bytes.size() % track == 0) shapes.push_back({sectorBytes, sectors, 1, int(m.Bytes.size() / track)});
    };
    for (const TrackRow &row : trackRows) add(row.SectorBytes, row.Sectors);
    // When none divides the file, any track of 4 to 36 sectors of 128 to 1024 bytes that does.
    if (shapes.empty())
        for (int sectorBytes = 128; sectorBytes <= 1024; sectorBytes *= 2)
            for (int sectors = 4; sectors <= 36; sectors++) add(sectorBytes, sectors);
    return shapes;
}

cpm_Geometry geometryOf(const Shape &shape, int reservedTracks, int blockSize, int entries) {
    cpm_Geometry g;
    g.Format = cpm_Format::Defined;
    g.SectorBytes = shape.SectorBytes;
    g.SectorsPerTrack = shape.Sectors;
    g.Tracks = shape.Tracks;
    g.Heads = shape.Heads;
    g.ReservedSectors = reservedTracks * shape.Sectors;
    g.DataStart = int(g.ReservedSectors * shape.SectorBytes);
    g.BlockSize = blockSize;
    g.DirEntries = entries;
    g.DirBlocks = std::max(1, entries * cpm_EntrySize / blockSize);
    g.Name = cpm_InferredName(g);
    return g;
}

struct Candidate {
    cpm_Geometry Geometry;
    cpm_Score Score;
};

// There are file entries, each holds exactly the blocks its records need,
// and every file has its entries from the first on (a file read with a
// wrong block size seems to start at a later entry).
bool blocksMatchSizes(const Text &dir, int entries, int blockSize, bool wide) {
    int slots = cpm_SlotCount(wide), files = 0;
    int extentsPerEntry = std::max(1, slots * blockSize / cpm_ExtentBytes);
    std::map<std::string, std::set<int>> entriesOf;   // user and name -> entry numbers
    for (int i = 0; i < entries; i++) {
        const uint8_t *e = dir.data() + size_t(i) * cpm_EntrySize;
        if (cpm_KindOfUser(e[0], false) != cpm_EntryKind::File) continue;
        std::string key(1, char(e[0]));
        for (int k = 1; k <= 11; k++) key += char(e[k] & 0x7F);
        entriesOf[key].insert(cpm_RawExtent(e) / extentsPerEntry);
        long long records = (long long)(e[12] & (extentsPerEntry - 1)) * 128 + e[15];
        long long needed = (records * cpm_RecordSize + blockSize - 1) / blockSize;
        int used = 0;
        for (int k = 0; k < slots; k++) used += cpm_SlotBlock(e, wide, k) != 0;
        if (used != needed) return false;
        files += used > 0;
    }
    for (const auto &[file, numbers] : entriesOf)
        if (*numbers.begin() != 0 || *numbers.rbegin() != int(numbers.size()) - 1) return false;
    return files > 0;
}

int lowestBlock(const Text &dir, int entries, bool wide) {
    int lowest = 0;
    for (int i = 0; i < entries; i++) {
        const uint8_t *e = dir.data() + size_t(i) * cpm_EntrySize;
        if (cpm_KindOfUser(e[0], false) != cpm_EntryKind::File) continue;
        for (int k = 0; k < cpm_SlotCount(wide); k++)
            if (int b = cpm_SlotBlock(e, wide, k); b > 0 && (lowest == 0 || b < lowest)) lowest = b;
    }
    return lowest;
}

// The first entries of a directory: every user byte one of a file, a
// reservation, a password, a label, date stamps or an erased entry, and not
// all of them never used.
bool startsLikeDirectory(const Text &first) {
    bool used = false;
    for (size_t at = 0; at + cpm_EntrySize <= first.size(); at += cpm_EntrySize) {
        uint8_t user = first[at];
        if (user > cpm_StampUser && user != cpm_ErasedUser) return false;
        used = used || std::any_of(first.data() + at, first.data() + at + cpm_EntrySize,
                                   [](uint8_t b) { return b != cpm_ErasedUser; });
    }
    return used;
}

// The candidates at one place of one shape.
void tryPlace(const cpm_Medium &m, const Shape &shape, int reservedTracks, std::vector<Candidate> &out) {
    cpm_Geometry widest = geometryOf(shape, reservedTracks, blockSizes[0], entryCounts[std::size(entryCounts) - 1]);
    long long diskBytes = shape.TrackBytes() * shape.Tracks;
    size_t room = size_t(std::max<long long>(0, diskBytes - widest.DataStart));
    cpm_Layout layout = cpm_LayoutOf(widest);
    // The first 32 entries decide cheaply whether a directory may start here.
    size_t firstBytes = std::min<size_t>(room, size_t(entryCounts[0]) * cpm_EntrySize);
    if (!startsLikeDirectory(cpm_Gather(m, layout, size_t(widest.DataStart), firstBytes))) return;
    Text dir = cpm_Gather(m, layout, size_t(widest.DataStart), std::min<size_t>(room, size_t(widest.DirEntries) * cpm_EntrySize));
    for (int blockSize : blockSizes)
        for (int entries : entryCounts) {
            if ((long long)entries * cpm_EntrySize % blockSize != 0) continue;
            if (size_t(entries) * cpm_EntrySize > dir.size()) break;
            cpm_Geometry g = geometryOf(shape, reservedTracks, blockSize, entries);
            int blocks = int((diskBytes - g.DataStart) / blockSize);
            if (blocks <= g.DirBlocks) continue;
            bool wide = blocks > 256;
            cpm_DirectoryShape dirShape{entries, g.DirBlocks, blocks, wide};
            cpm_Score score = cpm_ScoreDirectory(dir.data(), dirShape);
            // One not plausible in its first entries is not read further.
            if (!cpm_Plausible(score)) break;
            if (score.Good == 0 || !blocksMatchSizes(dir, entries, blockSize, wide)) continue;
            // The directory reaches to the first file's block: read that far
            // it must still be the same directory (a shorter one would leave
            // out damaged entries).
            int lowest = lowestBlock(dir, entries, wide);
            int reach = int((long long)lowest * blockSize / cpm_EntrySize);
            if (reach < entries || size_t(reach) * cpm_EntrySize > dir.size()) continue;
            if (reach > entries) {
                cpm_Score whole = cpm_ScoreDirectory(dir.data(), {reach, lowest, blocks, wide});
                if (whole.Good != score.Good || !cpm_Plausible(whole) || !blocksMatchSizes(dir, reach, blockSize, wide)) continue;
                g = geometryOf(shape, reservedTracks, blockSize, reach);
                score = whole;
            }
            out.push_back({g, score});
        }
}

std::string readingOf(const Candidate &c) {
    return c.Geometry.Name + ": " + std::to_string(c.Score.Good) + " good " + std::to_string(c.Score.Bad) + " bad";
}

}  // namespace

std::string cpm_InferredName(const cpm_Geometry &g) {
    int reserved = g.SectorsPerTrack > 0 ? g.ReservedSectors / g.SectorsPerTrack : 0;
    return "inferred (" + std::to_string(reserved) + " reserved tracks, " +
           std::to_string(g.BlockSize / 1024) + "K blocks, " + std::to_string(g.DirEntries) + " entries)";
}

std::string cpm_InferredMessage(const cpm_Geometry &g) { return "Format " + cpm_InferredName(g) + ": opened read-only."; }

cpm_Inference cpm_InferGeometry(const cpm_Medium &medium) {
    std::vector<Candidate> found;
    std::set<long long> tried;   // a place is searched once, whatever track shape reaches it
    for (const Shape &shape : shapesOf(medium))
        for (int reserved = 0; reserved <= firstTracks && reserved < shape.Tracks; reserved++) {
            long long place = reserved * shape.TrackBytes();
            if (!tried.insert(place).second && medium.Sectors.empty()) continue;
            tryPlace(medium, shape, reserved, found);
        }
    cpm_Inference out;
    if (found.empty()) return out;
    int best = 0;
    for (const Candidate &c : found) best = std::max(best, c.Score.Good);
    // The best of each reading: place and block size (its directory reaches
    // to the first file's block, whatever size it was found with).
    std::map<std::pair<int, int>, const Candidate *> readings;
    for (const Candidate &c : found)
        if (c.Score.Good == best) readings.emplace(std::make_pair(c.Geometry.DataStart, c.Geometry.BlockSize), &c);
    const Candidate &chosen = *readings.begin()->second;
    out.Found = true;
    out.Geometry = chosen.Geometry;
    out.Good = best;
    for (const auto &[key, c] : readings) out.Readings.push_back(readingOf(*c));
    if (readings.size() > 1)
        for (const auto &[key, c] : readings) out.Tied.push_back(c->Geometry.Name);
    return out;
}
