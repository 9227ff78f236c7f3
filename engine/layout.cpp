// The layout: logical sectors to places on the medium, and the moves of
// bytes between the medium and the image in CP/M logical order.
#include "layout.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "entry.h"
#include "sector_orders.h"

namespace {

using Key = std::tuple<int, int, int>;   // cylinder, head, id

// The physical sector index a raw file keeps at track position p: the
// Apple II orders put a 16-sector track's sectors in an order of their own.
// physical -> DOS 3.3 sector, and DOS sector -> ProDOS-order file position.
constexpr int dosSectorOf[16] = {0, 7, 14, 6, 13, 5, 12, 4, 11, 3, 10, 2, 9, 1, 8, 15};
constexpr int proDosPositionOf[16] = {0, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 15};

// The position in a raw file's track of physical sector index j.
int rawPosition(cpm_RawOrder order, int j) {
    if (j < 0 || j >= 16) return j;
    if (order == cpm_RawOrder::Dos) return dosSectorOf[j];
    if (order == cpm_RawOrder::ProDos) return proDosPositionOf[dosSectorOf[j]];
    return j;
}

// The logical track of a cylinder and head: the inverse of the sides order.
long long trackOf(const cpm_Layout &l, int cylinder, int head) {
    if (l.Heads <= 1) return cylinder;
    int cylinders = l.Tracks > 0 ? l.Tracks / l.Heads : 0;
    switch (l.Sides) {
    case cpm_Sides::OutBack: return head == 0 ? cylinder : 2LL * cylinders - 1 - cylinder;
    case cpm_Sides::OutOut: return (long long)head * cylinders + cylinder;
    default: return (long long)cylinder * l.Heads + head;
    }
}

long long trackBytes(const cpm_Layout &l) { return (long long)l.SectorsPerTrack * l.SectorBytes; }

// Logical tracks whose sectors the layout maps: whole tracks of the image.
long long mappedTracks(const cpm_Layout &l, size_t imageBytes) {
    if (l.SectorBytes <= 0 || l.SectorsPerTrack <= 0 || (long long)imageBytes <= l.Offset) return 0;
    long long whole = ((long long)imageBytes - l.Offset) / trackBytes(l);
    return l.Tracks > 0 ? std::min<long long>(whole, l.Tracks) : whole;
}

// The sectors a container records, found by place.
// By id, and by rank: the k-th lowest id of its track (the first of
// sectors that repeat an id).  A track that records fewer sectors than the
// fullest (ids never read) ranks by id from the first id the other tracks
// of its side start with, so that the sectors it has keep their places.
// Both are sorted vectors searched by halving: a gather builds the index
// once per call, and recognition gathers a directory for every candidate,
// so it is built in about linear time: containers record their sectors
// track by track, and only each track's few sectors need sorting by id.
struct SectorIndex {
    using Entry = std::pair<Key, const cpm_Sector *>;
    std::vector<Entry> Places;
    std::vector<Entry> Ranked;
    explicit SectorIndex(const cpm_Medium &m) {
        if (m.Sectors.empty()) return;
        Places.reserve(m.Sectors.size());
        for (const cpm_Sector &s : m.Sectors) Places.push_back({Key{s.Cylinder, s.Head, s.Id}, &s});
        // By place; among sectors of one place the first recorded counts
        // (the entries point into the medium's list in recording order).
        auto byPlace = [](const Entry &a, const Entry &b) { return a.first != b.first ? a.first < b.first : a.second < b.second; };
        auto byTrack = [](const Entry &a, const Entry &b) {
            return std::get<0>(a.first) != std::get<0>(b.first) ? std::get<0>(a.first) < std::get<0>(b.first)
                                                                : std::get<1>(a.first) < std::get<1>(b.first);
        };
        if (std::is_sorted(Places.begin(), Places.end(), byTrack)) {
            for (auto from = Places.begin(); from != Places.end();) {
                auto to = std::upper_bound(from, Places.end(), *from, byTrack);
                std::sort(from, to, byPlace);
                from = to;
            }
        } else {
            std::sort(Places.begin(), Places.end(), byPlace);
        }
        Places.erase(std::unique(Places.begin(), Places.end(), [](const Entry &a, const Entry &b) { return a.first == b.first; }),
                     Places.end());
        // The tracks: runs of one cylinder and head, their ids ascending.
        struct Track {
            size_t From = 0, Count = 0;
            int Lowest = 0;
        };
        std::vector<Track> tracks;
        for (size_t i = 0; i < Places.size(); i++) {
            const Key &key = Places[i].first;
            if (tracks.empty() || std::get<0>(Places[tracks.back().From].first) != std::get<0>(key) ||
                std::get<1>(Places[tracks.back().From].first) != std::get<1>(key))
                tracks.push_back({i, 0, std::get<2>(key)});
            tracks.back().Count++;
        }
        size_t fullest = 0;
        std::map<int, std::map<int, int>> firsts;   // head -> first id -> tracks
        for (const Track &t : tracks) {
            fullest = std::max(fullest, t.Count);
            firsts[std::get<1>(Places[t.From].first)][t.Lowest]++;
        }
        // Ranks rise with the ids within a track and the tracks are in
        // order: the list comes out sorted, one sector a place.
        Ranked.reserve(Places.size());
        for (const Track &t : tracks) {
            int cylinder = std::get<0>(Places[t.From].first), head = std::get<1>(Places[t.From].first);
            int common = 0;
            if (t.Count < fullest) {
                const auto &counts = firsts[head];
                common = std::max_element(counts.begin(), counts.end(), [](auto &a, auto &b) { return a.second < b.second; })->first;
            }
            for (size_t k = 0; k < t.Count; k++) {
                const Entry &e = Places[t.From + k];
                int rank = t.Count < fullest ? std::get<2>(e.first) - std::min(common, t.Lowest) : int(k);
                Ranked.push_back({Key{cylinder, head, rank}, e.second});
            }
        }
    }
    static const cpm_Sector *find(const std::vector<Entry> &list, const Key &key) {
        auto at = std::lower_bound(list.begin(), list.end(), key, [](const Entry &e, const Key &k) { return e.first < k; });
        return at != list.end() && at->first == key ? at->second : nullptr;
    }
};

// The index of the medium's sectors, built once for the many gathers of one
// medium (recognition gathers a block at a time when it compares readings).
// Kept per thread for the last medium asked about, and used again only for
// the same list at the same address whose every sector has the same place:
// the index holds nothing else (states, sizes and offsets are read through
// its pointers when a sector is looked up).
const SectorIndex &indexOf(const cpm_Medium &m) {
    struct Cached {
        const cpm_Sector *Data = nullptr;
        std::vector<Key> Keys;
        SectorIndex Index{cpm_Medium()};
    };
    static thread_local Cached cached;
    const std::vector<cpm_Sector> &sectors = m.Sectors;
    bool same = cached.Data == sectors.data() && cached.Keys.size() == sectors.size();
    for (size_t k = 0; same && k < sectors.size(); k++)
        same = cached.Keys[k] == Key{sectors[k].Cylinder, sectors[k].Head, sectors[k].Id};
    if (same) return cached.Index;
    cached.Index = SectorIndex(m);
    cached.Data = sectors.data();
    cached.Keys.clear();
    for (const cpm_Sector &s : sectors) cached.Keys.push_back(Key{s.Cylinder, s.Head, s.Id});
    return cached.Index;
}

// Where logical sector n lies in the medium's bytes, -1 when nowhere readable.
long long sectorAt(const cpm_Medium &m, const cpm_Layout &l, long long n, const SectorIndex *index) {
    cpm_Place p = cpm_LogicalPlace(l, n);
    if (m.Sectors.empty()) {
        long long track = trackOf(l, p.Cylinder, p.Head);
        long long position = rawPosition(l.RawOrder, p.Id - l.FirstId);
        return l.Offset + (track * l.SectorsPerTrack + position) * l.SectorBytes;
    }
    const cpm_Sector *found = SectorIndex::find(l.RankedIds ? index->Ranked : index->Places,
                                                Key{p.Cylinder, p.Head, l.RankedIds ? p.Id - l.FirstId : p.Id});
    if (!found) return -1;
    const cpm_Sector &s = *found;
    if (s.State == cpm_SectorState::Missing || s.State == cpm_SectorState::DataError || s.Size < l.SectorBytes) return -1;
    return (long long)s.At;
}

}  // namespace

cpm_Place cpm_LogicalPlace(const cpm_Layout &l, long long n) {
    long long spt = std::max(l.SectorsPerTrack, 1);
    long long track = n / spt;
    int i = int(n % spt);
    int physical = track >= l.FirstSkewedTrack && size_t(i) < l.Skew.size() ? l.Skew[size_t(i)] : i;
    cpm_Place p;
    p.Id = l.FirstId + physical;
    if (l.Heads <= 1) {
        p.Cylinder = int(track);
        return p;
    }
    int cylinders = l.Tracks > 0 ? l.Tracks / l.Heads : int(track / l.Heads + 1);
    switch (l.Sides) {
    case cpm_Sides::OutBack:
        p.Head = track < cylinders ? 0 : 1;
        p.Cylinder = int(track < cylinders ? track : 2LL * cylinders - 1 - track);
        break;
    case cpm_Sides::OutOut:
        p.Head = int(track / cylinders);
        p.Cylinder = int(track % cylinders);
        break;
    default:
        p.Head = int(track % l.Heads);
        p.Cylinder = int(track / l.Heads);
    }
    return p;
}

size_t cpm_ImageBytes(const cpm_Medium &m, const cpm_Layout &l) {
    if (m.Sectors.empty() || l.SectorBytes <= 0) return m.Bytes.size();
    long long tracks = l.Tracks;
    if (tracks == 0) {
        // A built-in reading takes as many tracks as the medium's cylinders hold.
        int cylinders = 0;
        for (const cpm_Sector &s : m.Sectors) cylinders = std::max(cylinders, s.Cylinder + 1);
        tracks = (long long)cylinders * std::max(l.Heads, 1);
    }
    return size_t(l.Offset + tracks * trackBytes(l));
}

size_t cpm_RawOffset(const cpm_Layout &l, size_t imageBytes, size_t x) {
    long long at = (long long)x - l.Offset;
    if (at < 0 || at >= mappedTracks(l, imageBytes) * trackBytes(l)) return x;
    return size_t(sectorAt(cpm_Medium(), l, at / l.SectorBytes, nullptr) + at % l.SectorBytes);
}

long long cpm_MediumOffset(const cpm_Medium &m, const cpm_Layout &l, size_t x) {
    size_t size = cpm_ImageBytes(m, l);
    long long mapped = mappedTracks(l, size);
    long long at = (long long)x - l.Offset;
    if (x >= size) return -1;
    if (at < 0 || at >= mapped * trackBytes(l)) return m.Sectors.empty() ? (long long)x : -1;
    const SectorIndex &index = indexOf(m);
    long long start = sectorAt(m, l, at / l.SectorBytes, &index);
    return start < 0 ? -1 : start + at % l.SectorBytes;
}

Text cpm_Gather(const cpm_Medium &m, const cpm_Layout &l, size_t from, size_t length, std::vector<long long> *unreadable) {
    size_t size = cpm_ImageBytes(m, l), end = std::min(size, from + std::min(length, size));
    Text out;
    if (from >= end) return out;
    // Built by appending, so that each byte is written once: recognition
    // gathers thousands of blocks an image, and filling the whole first cost
    // as much as the copies.
    std::vector<uint8_t> &bytes = out.Elements;
    bytes.reserve(end - from);
    auto copy = [&](const uint8_t *p, size_t n) { bytes.insert(bytes.end(), p, p + n); };
    auto erased = [&](size_t n) { bytes.insert(bytes.end(), n, cpm_ErasedUser); };
    long long mappedEnd = l.Offset + mappedTracks(l, size) * trackBytes(l);
    const SectorIndex &index = indexOf(m);   // empty for a raw medium
    for (size_t x = from; x < end;) {
        // Bytes outside the mapped tracks are where they lie (raw media only).
        if ((long long)x < l.Offset || (long long)x >= mappedEnd) {
            size_t stop = (long long)x < l.Offset ? std::min<size_t>(end, size_t(l.Offset)) : end;
            if (m.Sectors.empty())
                copy(m.Bytes.data() + x, stop - x);
            else
                erased(stop - x);
            x = stop;
            continue;
        }
        long long n = ((long long)x - l.Offset) / l.SectorBytes;
        size_t within = size_t(((long long)x - l.Offset) % l.SectorBytes);
        size_t run = std::min(end - x, size_t(l.SectorBytes) - within);
        long long at = sectorAt(m, l, n, &index);
        if (at >= 0 && size_t(at) + within + run <= m.Bytes.size()) {
            copy(m.Bytes.data() + at + within, run);
        } else {
            erased(run);
            if (unreadable) unreadable->push_back(n);
        }
        x += run;
    }
    return out;
}

void cpm_Scatter(cpm_Medium &m, const cpm_Layout &l, const Text &image) {
    if (m.Sectors.empty()) m.Bytes.Elements.resize(image.size());   // a raw medium is the image's length
    size_t size = std::min(cpm_ImageBytes(m, l), image.size());
    long long mappedEnd = l.Offset + mappedTracks(l, size) * trackBytes(l);
    const SectorIndex &index = indexOf(m);   // empty for a raw medium
    for (size_t x = 0; x < size;) {
        if ((long long)x < l.Offset || (long long)x >= mappedEnd) {
            size_t stop = (long long)x < l.Offset ? std::min<size_t>(size, size_t(l.Offset)) : size;
            if (m.Sectors.empty()) std::copy(image.data() + x, image.data() + stop, m.Bytes.data() + x);
            x = stop;
            continue;
        }
        long long n = ((long long)x - l.Offset) / l.SectorBytes;
        long long at = sectorAt(m, l, n, &index);
        if (at >= 0 && size_t(at) + size_t(l.SectorBytes) <= m.Bytes.size())
            std::copy_n(image.data() + x, l.SectorBytes, m.Bytes.data() + at);
        x += size_t(l.SectorBytes);
    }
}

cpm_Layout cpm_LayoutOf(const cpm_Geometry &g) {
    cpm_Layout l;
    if (g.SectorBytes > 0) {
        // A definition: its tracks after the offset, the skew on its data tracks.
        l.Offset = g.Offset;
        l.SectorBytes = g.SectorBytes;
        l.SectorsPerTrack = g.SectorsPerTrack;
        l.Tracks = g.Tracks;
        l.Heads = g.Heads;
        l.Sides = g.Sides;
        l.FirstId = g.FirstId >= 0 ? g.FirstId : 1;
        l.RankedIds = g.FirstId < 0;
        l.Skew = g.SkewTable;
        l.FirstSkewedTrack = g.SectorsPerTrack > 0 ? g.ReservedSectors / g.SectorsPerTrack : 0;   // a track partly reserved moves whole
        return l;
    }
    const cpm_SectorOrder &o = cpm_SectorOrderOf(g.Order);
    if (!o.Skew) return l;   // the bytes as they lie
    l.SectorBytes = o.SectorBytes;
    l.SectorsPerTrack = 16;
    l.Skew.assign(o.Skew, o.Skew + 16);
    l.RawOrder = o.Raw;
    return l;
}
