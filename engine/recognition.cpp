// Recognition by contents.  Every reading a file may hold joins one pool:
// the plain reading at every size, the Apple II readings for sector data of
// 140K and 800K, and the reading the first bytes announce.  One function
// scores each reading's directory, one function decides among them.
#include <algorithm>
#include <cstring>
#include <map>

#include "definitions.h"
#include "inference.h"
#include "entries.h"
#include "layout.h"
#include "recognition.h"
#include "scores.h"
#include "sector_orders.h"
#include "shape.h"

namespace {

// Apple II readings by the size of the sector data.
struct ReadingRow {
    size_t DataBytes;
    cpm_Format Geometry;     // Apple140K or Apple800K (a 140K signature names it later)
    cpm_Order Order;
    int Signature800;        // 1: only with the 800K signature, -1: only without, 0: either
};
const ReadingRow readingRows[] = {
    {143360, cpm_Format::Apple140K, cpm_Order::Dos, 0},
    {143360, cpm_Format::Apple140K, cpm_Order::ProDos, 0},
    {819200, cpm_Format::Apple800K, cpm_Order::Interleave800, 1},
    {819200, cpm_Format::Apple800K, cpm_Order::ProDosBlocks, -1},
};

// Extensions of Apple II disk images and the 140K order each stands for.
struct ExtensionRow {
    const char *Extension;
    cpm_Order Order;         // AsStored: no order of its own
};
const ExtensionRow appleExtensions[] = {
    {"po", cpm_Order::ProDos},     {"do", cpm_Order::Dos},          {"dsk", cpm_Order::Dos},
    {"2mg", cpm_Order::AsStored},  {"2img", cpm_Order::AsStored},
};

struct Candidate {
    cpm_Format Format = cpm_Format::Plain;
    cpm_Order Order = cpm_Order::AsStored;
    bool Announced = false;  // the reading the first bytes announce
    cpm_Score Score;
    bool Fits = false;       // the whole directory lies inside the image
    Text Directory;          // the entries present, in logical order
    cpm_Geometry Geometry;   // what it is read with
    std::string Name;        // the definition's name
    size_t Bytes = 0;        // the image it reads: the file's size, or the definition's for a short image
    bool Short = false;      // a definition longer than the file
    cpm_Medium Padded;       // a short image's medium up to its directory's end, the rest 0xE5
    bool Excluded = false;   // ruled out before the decision (a plain reading of a signed Apple disk)
    bool FromFormatRecord = false;   // the geometry the disk's format record states
};

// The medium a candidate reads: the file's, or a short image's padded copy.
const cpm_Medium &mediumOf(const Candidate &c, const cpm_Medium &medium) {
    return c.Short && !c.Padded.Bytes.empty() ? c.Padded : medium;
}

// The 140K order a container names, if any.
cpm_Order namedOrder(const cpm_Medium &m) {
    if (!m.OrderNamed) return cpm_Order::AsStored;
    return m.Order == cpm_RawOrder::ProDos ? cpm_Order::ProDos : cpm_Order::Dos;
}

// A short image's medium: the file's bytes with the missing tail as 0xE5.
cpm_Medium padded(const cpm_Medium &m, size_t bytes) {
    cpm_Medium out;
    out.Codec = m.Codec;
    out.Bytes = m.Bytes;
    out.Bytes.Elements.resize(std::max(bytes, m.Bytes.size()), cpm_ErasedUser);
    return out;
}

bool isDefined(const Candidate &c) { return c.Format == cpm_Format::Defined; }
bool isApple(const Candidate &c) { return c.Format != cpm_Format::Plain && !isDefined(c); }
bool is140K(const Candidate &c) { return c.Geometry.BlockSize == 1024 && isApple(c); }

// An empty volume of the reading: what block numbers and extents it has.
cpm_Volume volumeOf(const cpm_Geometry &g, size_t imageBytes) {
    cpm_Volume v;
    v.Geometry = g;
    v.VolumeKB = cpm_DataKB(g, imageBytes);
    return v;
}

cpm_DirectoryShape shapeOf(const cpm_Geometry &g, size_t imageBytes) {
    cpm_Volume v = volumeOf(g, imageBytes);
    long long dataBytes = (long long)imageBytes - g.DataStart;
    cpm_DirectoryShape shape;
    shape.Entries = dataBytes >= cpm_EntrySize ? int(std::min<long long>(g.DirEntries, dataBytes / cpm_EntrySize)) : 0;
    shape.DirBlocks = g.DirBlocks;
    shape.BlockLimit = cpm_ReservationLimit(v);
    shape.Wide = cpm_WideBlocks(v);
    return shape;
}

// A hash of bytes, eight at a time.
uint64_t hashBytes(const uint8_t *p, size_t n, uint64_t h) {
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t w;
        std::memcpy(&w, p + k, 8);
        h = (h ^ w) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    for (; k < n; k++) h = (h ^ p[k]) * 1099511628211ull;
    return (h ^ n) * 0x9E3779B97F4A7C15ull;
}

// The files a reading gives, each entry as user, name, extent fields and
// (withBytes) a hash of the bytes of its blocks, sorted: equal lists are
// the same files.
std::vector<Text> filesOf(const Candidate &c, const cpm_Medium &fileMedium, bool withBytes) {
    const cpm_Geometry &g = c.Geometry;
    const cpm_Medium &medium = mediumOf(c, fileMedium);
    const Text &data = medium.Bytes;
    cpm_DirectoryShape shape = shapeOf(g, c.Bytes);
    cpm_Layout layout = cpm_LayoutOf(g);
    bool direct = layout.SectorBytes == 0 && medium.Sectors.empty();
    // The extents an entry holds decide the sizes its EX and RC give.
    uint8_t extents = uint8_t(cpm_ExtentsPerEntry(volumeOf(g, c.Bytes)));
    std::vector<Text> files;
    for (int i = 0; i < shape.Entries; i++) {
        const uint8_t *e = c.Directory.data() + i * cpm_EntrySize;
        if (cpm_KindOfUser(e[0], false) != cpm_EntryKind::File) continue;
        Text key;
        key.push_back(e[0]);
        for (int k = 1; k <= 11; k++) key.push_back(e[k] & 0x7F);
        for (int k : {12, 14, 15}) key.push_back(e[k]);
        key.push_back(extents);
        uint64_t h = 0;
        for (int k = 0; k < cpm_SlotCount(shape.Wide); k++) {
            int b = cpm_SlotBlock(e, shape.Wide, k);
            if (b == 0) continue;
            if (!withBytes) {
                key.push_back(uint8_t(b));
                key.push_back(uint8_t(b >> 8));
                continue;
            }
            size_t at = size_t(g.DataStart) + size_t(b) * size_t(g.BlockSize);
            Text copy;
            if (!direct) copy = cpm_Gather(medium, layout, at, size_t(g.BlockSize));
            const uint8_t *from = direct ? data.data() + std::min(at, data.size()) : copy.data();
            size_t n = direct ? std::min(data.size() - std::min(at, data.size()), size_t(g.BlockSize)) : copy.size();
            h = hashBytes(from, n, h);
        }
        for (int k = 0; withBytes && k < 8; k++) key.push_back(uint8_t(h >> (8 * k)));
        files.push_back(std::move(key));
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Both readings put every block at the same place in the file.
bool sameBlocks(const Candidate &a, const Candidate &b) {
    const cpm_Geometry &x = a.Geometry, &y = b.Geometry;
    bool skewed = !x.SkewTable.empty();
    auto firstSkewed = [](const cpm_Geometry &g) { return g.SectorsPerTrack ? g.ReservedSectors / g.SectorsPerTrack : 0; };
    return x.DataStart == y.DataStart && x.BlockSize == y.BlockSize && x.Order == y.Order && x.SkewTable == y.SkewTable &&
           (!skewed || (x.Offset == y.Offset && x.SectorBytes == y.SectorBytes &&
                        x.SectorsPerTrack == y.SectorsPerTrack && firstSkewed(x) == firstSkewed(y))) &&
           shapeOf(x, a.Bytes).Wide == shapeOf(y, b.Bytes).Wide;
}

// The two readings give the same files (user, name, size and bytes).  When
// they place blocks alike, equal entries are enough.
bool sameFiles(const Candidate &a, const Candidate &b, const cpm_Medium &data) {
    bool alike = sameBlocks(a, b);
    return filesOf(a, data, !alike) == filesOf(b, data, !alike);
}

bool allSameFiles(const std::vector<const Candidate *> &tied, const cpm_Medium &data) {
    return std::all_of(tied.begin() + 1, tied.end(), [&](const Candidate *c) { return sameFiles(*tied[0], *c, data); });
}

std::string extensionOf(const std::string &path) {
    std::string name = t_PathFileName(path);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return "";
    std::string ext = name.substr(dot + 1);
    for (char &c : ext) c = char(std::tolower((unsigned char)c));
    return ext;
}

const ExtensionRow *appleExtension(const std::string &ext) {
    for (const ExtensionRow &row : appleExtensions)
        if (ext == row.Extension) return &row;
    return nullptr;
}

std::string labelOf(const Candidate &c) {
    if (isDefined(c)) return c.Name;
    if (!isApple(c)) return "plain";
    std::string label = cpm_SectorOrderOf(c.Order).Name;
    if (c.Format == cpm_Format::Apple800K)
        label += c.Order == cpm_Order::Interleave800 ? " (800K signature)" : " (no 800K signature)";
    return label;
}

std::string scoreText(const Candidate &c) {
    std::string out = std::to_string(c.Score.Good) + " good " + std::to_string(c.Score.Bad) + " bad";
    if (c.Score.Crossed > 0) out += " (" + std::to_string(c.Score.Crossed) + " cross-linked)";
    if (!c.Fits) out += " (no room for the directory)";
    if (c.Short) out += " (short image)";
    return out;
}

// Short readings that found nothing are left out: there are many of them.
bool shown(const Candidate &c) { return !c.Short || c.Score.Good > 0 || c.Score.Crossed > 0; }

std::string scoresOf(const std::vector<Candidate> &pool) {
    std::string out;
    for (const Candidate &c : pool) {
        if (!shown(c)) continue;
        if (!out.empty()) out += ", ";
        out += labelOf(c) + " " + scoreText(c);
    }
    return out;
}

// The name -f takes for a built-in reading.
std::string builtInName(cpm_Format format, cpm_Order order) {
    static const std::vector<cpm_Definition> builtIns = cpm_BuiltInDefinitions();
    for (const cpm_Definition &d : builtIns) {
        bool apple140 = format == cpm_Format::Apple140K22 || format == cpm_Format::Apple140K30;
        cpm_Format f = apple140 ? cpm_Format::Apple140K : format;
        if (d.Geometry.Format == f && d.Geometry.Order == order) return d.Name;
    }
    return "plain";
}

Candidate builtIn(cpm_Format format, cpm_Order order, bool announced) {
    Candidate c;
    c.Format = format;
    c.Order = order;
    c.Announced = announced;
    c.Geometry = cpm_GeometryOf(format);
    c.Geometry.Order = order;
    c.Name = builtInName(format, order);
    return c;
}

// A definition's reading of the file: at its own size, or as a short image
// whose directory lies inside the file.
Candidate defined(const cpm_Definition &d, const cpm_Medium &medium) {
    const Text &data = medium.Bytes;
    Candidate c;
    c.Format = cpm_Format::Defined;
    c.Geometry = d.Geometry;
    c.Name = d.Name;
    c.Bytes = data.size();
    long long bytes = cpm_GeometryBytes(d.Geometry);
    if (bytes > (long long)data.size()) {
        c.Short = true;
        c.Bytes = size_t(bytes);
        // The directory's tracks whole, so that the skew moves them as in the full image.
        const cpm_Geometry &g = d.Geometry;
        long long track = (long long)g.SectorsPerTrack * g.SectorBytes;
        long long end = g.DataStart + (long long)g.DirBlocks * g.BlockSize - g.Offset;
        end = g.Offset + (track > 0 ? (end + track - 1) / track * track : end);
        // Padded only when the directory's tracks run past the file's end:
        // otherwise the file itself is read, without a copy.
        if (end > (long long)data.size()) c.Padded = padded(medium, size_t(std::min(bytes, end)));
    }
    return c;
}

// The reading the first bytes announce (in the container's order for a 140K disk).
Candidate announcedReading(const cpm_Medium &medium) {
    cpm_Format f = cpm_DetectFormat(medium.Bytes);
    cpm_Order order = f == cpm_Format::Apple800K ? cpm_Order::Interleave800
                      : f == cpm_Format::Plain   ? cpm_Order::AsStored
                      : namedOrder(medium) == cpm_Order::ProDos ? cpm_Order::ProDos
                                                                : cpm_Order::Dos;
    return builtIn(f, order, true);
}

// The readings of a container's sectors: the definitions that fit its
// shape (and its ids), or the one the disk's format record states.
// The plain reading stands for "no CP/M directory" only.
std::vector<Candidate> sectoredCandidates(const cpm_Medium &medium) {
    std::vector<Candidate> pool;
    cpm_Shape shape = cpm_ShapeOf(medium);
    auto add = [&](const cpm_Geometry &g, const std::string &name) {
        Candidate c;
        c.Format = cpm_Format::Defined;
        c.Geometry = g;
        c.Name = name;
        c.Bytes = size_t(cpm_GeometryBytes(g));
        cpm_DirectoryShape dir = shapeOf(g, c.Bytes);
        c.Directory = cpm_Gather(medium, cpm_LayoutOf(g), size_t(g.DataStart), size_t(dir.Entries) * cpm_EntrySize);
        c.Score = cpm_ScoreDirectory(c.Directory.data(), dir);
        c.Fits = true;
        pool.push_back(std::move(c));
    };
    // Definitions that read exactly alike are one reading: the first of them.
    auto same = [](const cpm_Geometry &a, const cpm_Geometry &b) {
        return a.SectorBytes == b.SectorBytes && a.SectorsPerTrack == b.SectorsPerTrack && a.Tracks == b.Tracks &&
               a.Heads == b.Heads && a.Sides == b.Sides && a.FirstId == b.FirstId && a.SkewTable == b.SkewTable &&
               a.DataStart == b.DataStart && a.BlockSize == b.BlockSize && a.DirBlocks == b.DirBlocks &&
               a.DirEntries == b.DirEntries && a.ReservedSectors == b.ReservedSectors;
    };
    for (const cpm_Definition &d : cpm_Library()) {
        cpm_Geometry g;
        if (d.Geometry.Slices > 0 || !cpm_GeometryOnShape(d.Geometry, shape, g)) continue;
        if (std::none_of(pool.begin(), pool.end(), [&](const Candidate &c) { return same(c.Geometry, g); })) add(g, d.Name);
    }
    // Definitions that name the medium's ids are the disk's own: when one
    // of them reads a directory, those that take any ids step back.
    bool named = std::any_of(pool.begin(), pool.end(),
                             [](const Candidate &c) { return c.Geometry.FirstId >= 0 && cpm_Plausible(c.Score); });
    for (Candidate &c : pool) c.Excluded = named && c.Geometry.FirstId < 0;
    // A disk that states its geometry is read with it (named after a
    // definition that reads the same, if any).
    cpm_Geometry stated;
    if (cpm_FormatRecord(medium, stated)) {
        std::string name = "format-record";
        for (const Candidate &c : pool)
            if (c.Geometry.DataStart == stated.DataStart && c.Geometry.BlockSize == stated.BlockSize &&
                c.Geometry.DirBlocks == stated.DirBlocks && c.Geometry.DirEntries == stated.DirEntries &&
                c.Geometry.Tracks == stated.Tracks && c.Geometry.Sides == stated.Sides && c.Geometry.SkewTable.empty()) {
                name = c.Name;
                break;
            }
        stated.Name = name;
        add(stated, name);
        pool.back().FromFormatRecord = true;
        if (cpm_Plausible(pool.back().Score))
            for (Candidate &c : pool) c.Excluded = !c.FromFormatRecord;
    }
    Candidate plain = builtIn(cpm_Format::Plain, cpm_Order::AsStored, true);
    plain.Bytes = medium.Bytes.size();
    plain.Excluded = true;
    pool.push_back(plain);
    return pool;
}

// The sector size and track length most of a container's sectors and
// tracks have (0 and 0 for a raw run of bytes): a definition reads its
// sectors only when it has both.
struct SectorsShape {
    int Size = 0, Length = 0;
};
SectorsShape commonShape(const cpm_Medium &medium) {
    SectorsShape shape;
    if (medium.Sectors.empty()) return shape;
    std::map<int, int> sizes;
    std::map<std::pair<int, int>, int> tracks;
    for (const cpm_Sector &s : medium.Sectors) {
        sizes[s.Size]++;
        tracks[{s.Cylinder, s.Head}]++;
    }
    std::map<int, int> lengths;
    for (const auto &[track, count] : tracks) lengths[count]++;
    auto most = [](const std::map<int, int> &counts) {
        return std::max_element(counts.begin(), counts.end(), [](auto &a, auto &b) { return a.second < b.second; })->first;
    };
    shape.Size = most(sizes);
    shape.Length = most(lengths);
    return shape;
}

bool fitsSectors(const cpm_Geometry &g, const cpm_Medium &medium, const SectorsShape &shape) {
    return medium.Sectors.empty() || (g.SectorBytes == shape.Size && g.SectorsPerTrack == shape.Length);
}

// Every reading of the file; with shortImages also those of formats longer
// than the file (asked for only when no reading of its own size finds files).
std::vector<Candidate> candidatesFor(const cpm_Medium &medium, bool shortImages) {
    // Sectors numbered the Apple II way (the nibble codecs name the order)
    // are read by the built-in Apple readings, keyed on their bytes; any
    // other container's by the definitions that fit its shape.
    if (!medium.Sectors.empty() && !medium.OrderNamed) return sectoredCandidates(medium);
    const Text &data = medium.Bytes;
    const bool raw = medium.Codec == "raw";
    cpm_Format signature = cpm_DetectFormat(data);
    bool signed800 = signature == cpm_Format::Apple800K;
    bool signed140 = signature == cpm_Format::Apple140K22 || signature == cpm_Format::Apple140K30;
    cpm_Format format140 = signed140 ? signature : cpm_Format::Apple140K;
    std::vector<Candidate> pool;
    auto add = [&](Candidate c) {
        if (!c.Bytes) c.Bytes = data.size();
        pool.push_back(std::move(c));
    };
    for (const ReadingRow &row : readingRows) {
        if ((row.Signature800 == 1 && !signed800) || (row.Signature800 == -1 && signed800)) continue;
        bool by140 = row.Geometry == cpm_Format::Apple140K;
        if (by140 && namedOrder(medium) != cpm_Order::AsStored && namedOrder(medium) != row.Order) continue;
        Candidate c = builtIn(by140 ? format140 : row.Geometry, row.Order, false);
        if (data.size() == row.DataBytes) {
            add(std::move(c));
        } else if (shortImages && raw &&
                   cpm_ShortImageFits(c.Geometry, data.size())) {
            // A short image of an Apple II disk, as disk utilities leave it.
            c.Short = true;
            c.Bytes = row.DataBytes;
            c.Padded = padded(medium, row.DataBytes);
            add(std::move(c));
        }
    }
    // The definitions of the library whose size is the file's size, and
    // those longer whose directory lies inside it (short images).
    const SectorsShape sectorsShape = commonShape(medium);   // once, not once a definition
    for (const cpm_Definition &d : cpm_Library()) {
        // One that reads like a built-in format is that format's reading.
        // Slice definitions are found by slice discovery alone.
        if (d.Geometry.Format != cpm_Format::Defined || !d.SameAs.empty() || d.Geometry.Slices > 0) continue;
        // The built-in definitions that name sector ids are those of container
        // disks: a raw file is read as it always was without them.
        if (d.Source == "built-in" && d.Geometry.FirstId >= 0) continue;
        if (!fitsSectors(d.Geometry, medium, sectorsShape)) continue;
        long long bytes = cpm_GeometryBytes(d.Geometry);
        if (bytes == (long long)data.size() || (shortImages && cpm_ShortImageFits(d.Geometry, data.size())))
            add(defined(d, medium));
    }
    add(builtIn(cpm_Format::Plain, cpm_Order::AsStored, false));
    Candidate announced = announcedReading(medium);
    auto same = std::find_if(pool.begin(), pool.end(), [&](const Candidate &c) {
        return c.Format == announced.Format && c.Order == announced.Order;
    });
    if (same != pool.end()) {
        same->Announced = true;
    } else {
        announced.Bytes = data.size();
        pool.insert(pool.end() - 1, announced);
    }
    for (Candidate &c : pool) {
        const cpm_Geometry &g = c.Geometry;
        cpm_DirectoryShape shape = shapeOf(g, c.Bytes);
        std::vector<long long> unreadable;
        c.Directory = cpm_Gather(mediumOf(c, medium), cpm_LayoutOf(g), size_t(g.DataStart), size_t(shape.Entries) * cpm_EntrySize, &unreadable);
        c.Score = cpm_ScoreDirectory(c.Directory.data(), shape);
        // A directory of which no sector can be read is no blank disk.
        long long sectors = cpm_LayoutOf(g).SectorBytes > 0 ? (long long)shape.Entries * cpm_EntrySize / cpm_LayoutOf(g).SectorBytes : 0;
        if (sectors > 0 && (long long)unreadable.size() >= sectors) c.Excluded = true;
        c.Fits = (long long)mediumOf(c, medium).Bytes.size() >= g.DataStart + (long long)g.DirBlocks * g.BlockSize;
    }
    // A disk with an Apple II boot signature is read as another machine's
    // disk only when no Apple reading of it is plausible: an empty Apple
    // reading (a bootable disk just initialised) is plausible, whatever the
    // boot code looks like as a directory.
    bool signedApple = signature != cpm_Format::Plain;
    bool applePlausible = std::any_of(pool.begin(), pool.end(), [](const Candidate &c) {
        return isApple(c) && c.Fits && cpm_Plausible(c.Score);
    });
    if (signedApple && applePlausible)
        for (Candidate &c : pool) c.Excluded = !isApple(c);
    // A medium of sectors has no plain run of bytes for the plain reading to take.
    if (!medium.Sectors.empty())
        for (Candidate &c : pool) c.Excluded = c.Excluded || c.Format == cpm_Format::Plain;
    return pool;
}

// Keeps the candidates that `wanted` picks when it picks some but not all;
// true when that narrowed the choice.
template <typename Pred> bool prefer(std::vector<const Candidate *> &tied, Pred wanted) {
    std::vector<const Candidate *> kept;
    for (const Candidate *c : tied)
        if (wanted(*c)) kept.push_back(c);
    if (kept.empty() || kept.size() == tied.size()) return false;
    tied = std::move(kept);
    return true;
}

// The tie rules that read the file's name and container: the 2IMG format
// field, the extension, the signature.  Returns why they narrowed.
std::string appleRules(std::vector<const Candidate *> &tied, const cpm_Medium &medium, const std::string &path) {
    std::string ext = extensionOf(path);
    const ExtensionRow *apple = appleExtension(ext);
    bool blank = std::all_of(tied.begin(), tied.end(), [](const Candidate *c) { return c->Score.Good == 0; });
    std::string why;
    if (medium.OrderNamed && prefer(tied, isApple)) why = medium.Sectors.empty() ? "2IMG format field" : "physical sectors";
    if (tied.size() > 1 && apple && prefer(tied, [&](const Candidate &c) {
            return isApple(c) && (!is140K(c) || apple->Order == cpm_Order::AsStored || c.Order == apple->Order);
        }))
        why = (blank ? "blank disk, extension ." : "extension .") + ext;
    if (tied.size() > 1 && prefer(tied, [](const Candidate &c) { return c.Announced && isApple(c); }))
        why = "signature";
    return why;
}

// The tie rules, in order; returns why the first of `tied` was taken.
std::string breakTie(std::vector<const Candidate *> &tied, const cpm_Medium &medium, const std::string &path) {
    std::string ext = extensionOf(path);
    bool blank = std::all_of(tied.begin(), tied.end(), [](const Candidate *c) { return c->Score.Good == 0; });
    std::string why = appleRules(tied, medium, path);
    if (tied.size() > 1 && !appleExtension(ext) && blank && prefer(tied, [](const Candidate &c) { return !isApple(c); }))
        why = "blank disk, extension " + (ext.empty() ? std::string("none") : "." + ext);
    if (tied.size() > 1 && prefer(tied, [](const Candidate &c) { return c.Announced; })) why = "no signature";
    if (tied.size() > 1) why += why.empty() ? "first reading" : ", then first reading";
    return why;
}

bool anyDefined(const std::vector<const Candidate *> &tied) {
    return std::any_of(tied.begin(), tied.end(), [](const Candidate *c) { return isDefined(*c); });
}

// The sizes the N(ew command makes: 64 to 2048 KB, even.
bool newVolumeSize(size_t bytes) {
    return bytes % 2048 == 0 && bytes >= size_t(cpm_MinNewKB) * 1024 && bytes <= size_t(cpm_MaxNewKB) * 1024;
}

// How the best readings were decided: the first of `tied` is taken; when
// `unclear` is set they differ and no rule decides between them.
struct Decision {
    std::string Why;
    bool Unclear = false;
};

// Best readings that give the same files are one: the built-in formats'
// rules choose among them first.
std::string oneReading(std::vector<const Candidate *> &tied, const cpm_Medium &medium, const std::string &path) {
    prefer(tied, [](const Candidate &c) { return !isDefined(c); });
    return tied.size() > 1 ? breakTie(tied, medium, path) : "built-in format";
}

Decision decide(std::vector<const Candidate *> &tied, const cpm_Medium &medium, const std::string &path) {
    const cpm_Medium &data = medium;
    if (tied.size() == 1) return {"most good entries"};
    bool blank = tied.front()->Score.Good == 0;
    if (!anyDefined(tied)) {
        return {(allSameFiles(tied, data) ? "same files, " : "tie, ") + breakTie(tied, medium, path)};
    }
    if (blank) {
        std::string why = appleRules(tied, medium, path);
        if (tied.size() > 1 && newVolumeSize(medium.Bytes.size()) &&
            prefer(tied, [](const Candidate &c) { return c.Format == cpm_Format::Plain; }))
            why = "blank disk, size of a new volume";
        if (tied.size() > 1 && !anyDefined(tied)) why = breakTie(tied, medium, path);
        if (tied.size() > 1) return {"blank disk, " + std::to_string(tied.size()) + " formats", true};
        return {why};
    }
    if (allSameFiles(tied, data)) return {"same files, " + oneReading(tied, medium, path)};
    std::string why = appleRules(tied, medium, path);
    if (tied.size() == 1) return {"tie, " + why};
    if (allSameFiles(tied, data)) return {"tie, " + why + ", same files, " + oneReading(tied, medium, path)};
    if (!anyDefined(tied)) return {"tie, " + breakTie(tied, medium, path)};
    return {"tie of different readings", true};
}

}  // namespace

bool cpm_ShortImageFits(const cpm_Geometry &g, size_t fileBytes) {
    long long whole = cpm_GeometryBytes(g);
    if (whole <= 0 || (long long)fileBytes >= whole || g.BlockSize <= 0) return false;
    long long end = g.DataStart + (long long)g.DirBlocks * g.BlockSize;
    // Re-sectored formats move whole tracks: the directory's tracks must be in the file.
    cpm_Layout layout = cpm_LayoutOf(g);
    long long group = layout.Skew.empty() || g.SectorBytes > 0 ? 0 : (long long)layout.SectorsPerTrack * layout.SectorBytes;
    if (group > 0) end = (end + group - 1) / group * group;
    return (long long)fileBytes >= end;
}

namespace {

// The readings that may win: plausible, the directory inside the image,
// not ruled out; the best of them by good entries (short images apart,
// and of those the ones `wanted` picks).
template <typename Pred>
std::vector<const Candidate *> bestReadings(const std::vector<Candidate> &pool, bool shortImages, Pred wanted) {
    std::vector<const Candidate *> tied;
    int best = -1;
    for (const Candidate &c : pool) {
        if (c.Short != shortImages || c.Excluded || !c.Fits || !cpm_Plausible(c.Score) || c.Score.Good < best) continue;
        if (!wanted(c)) continue;
        if (c.Score.Good > best) tied.clear();
        best = c.Score.Good;
        tied.push_back(&c);
    }
    return tied;
}

// Entries never used (0xE5 throughout) before the reading's last entry in use.
int neverUsedBefore(const Candidate &c) {
    int count = 0, pending = 0;
    for (size_t at = 0; at + cpm_EntrySize <= c.Directory.size(); at += cpm_EntrySize) {
        const uint8_t *e = c.Directory.data() + at;
        if (std::all_of(e, e + cpm_EntrySize, [](uint8_t b) { return b == cpm_ErasedUser; })) {
            pending++;
        } else if (e[0] != cpm_ErasedUser) {
            count += pending;
            pending = 0;
        }
    }
    return count;
}

// A file entry of the reading names a block that starts past the end of the file.
bool blocksBeyond(const Candidate &c, const cpm_Medium &medium, size_t fileBytes) {
    const cpm_Geometry &g = c.Geometry;
    cpm_Layout layout = cpm_LayoutOf(g);
    cpm_DirectoryShape shape = shapeOf(g, c.Bytes);
    for (int i = 0; i < shape.Entries; i++) {
        const uint8_t *e = c.Directory.data() + i * cpm_EntrySize;
        if (cpm_KindOfUser(e[0], false) != cpm_EntryKind::File || !cpm_PossibleFile(e, shape)) continue;
        for (int k = 0; k < cpm_SlotCount(shape.Wide); k++) {
            int b = cpm_SlotBlock(e, shape.Wide, k);
            size_t start = size_t(g.DataStart) + size_t(b) * size_t(g.BlockSize);
            if (b != 0 && (unsigned long long)cpm_MediumOffset(mediumOf(c, medium), layout, start) >= fileBytes) return true;
        }
    }
    return false;
}

// The reading of a directory found elsewhere on the disk, when one is found.
bool inferred(cpm_Recognition &r, const cpm_Medium &medium, const std::string &scores) {
    cpm_Inference inference = cpm_InferGeometry(medium);
    if (!inference.Found) return false;
    r.Format = cpm_Format::Defined;
    r.Geometry = inference.Geometry;
    r.Definition = "inferred";
    r.Cpm = r.Inferred = true;
    r.NoRoom = false;
    r.Unclear = inference.Tied;
    r.Readings.insert(r.Readings.end(), inference.Readings.begin(), inference.Readings.end());
    r.How = std::string(inference.Tied.empty() ? "format inferred" : "inferences tie") + scores;
    return true;
}

}  // namespace

cpm_Recognition cpm_Recognise(const cpm_Medium &medium, const std::string &path) {
    const Text &data = medium.Bytes;
    std::vector<Candidate> pool = candidatesFor(medium, false);
    auto any = [](const Candidate &) { return true; };
    std::vector<const Candidate *> exact = bestReadings(pool, false, any);
    if (exact.empty() || exact.front()->Score.Good == 0) pool = candidatesFor(medium, true);
    std::string scores = " (" + scoresOf(pool) + ")";
    cpm_Recognition r;
    for (const Candidate &c : pool)
        if (shown(c)) r.Readings.push_back(c.Name + ": " + scoreText(c));
    r.NoRoom = std::none_of(pool.begin(), pool.end(), [](const Candidate &c) { return c.Fits; });
    std::vector<const Candidate *> tied = bestReadings(pool, false, any);
    int best = tied.empty() ? -1 : tied.front()->Score.Good;
    // An empty reading is no blank disk while another reading finds files:
    // that disk is damaged (or not CP/M), and writing would destroy them.
    bool filesElsewhere = std::any_of(pool.begin(), pool.end(), [](const Candidate &c) {
        return !c.Short && !c.Excluded && c.Fits && c.Score.Good > 0;
    });
    if (best == 0 && filesElsewhere) tied.clear();
    // A short image ranks below every reading of the file's own size: it
    // wins only when it finds files and none of those does.
    // A short image holds every sector written to it: a reading that puts
    // a file's blocks past the end of the file is read with the wrong blocks.
    if (best <= 0) {
        auto inside = [&](const Candidate &c) { return c.Score.Good > 0 && !blocksBeyond(c, medium, data.size()); };
        std::vector<const Candidate *> shortTied = bestReadings(pool, true, inside);
        if (shortTied.empty()) shortTied = bestReadings(pool, true, [](const Candidate &c) { return c.Score.Good > 0; });
        // CP/M takes the first free entry: a reading that finds its entries
        // after entries never used reads the directory from the wrong place.
        if (!shortTied.empty()) {
            int fewest = neverUsedBefore(*shortTied.front());
            for (const Candidate *c : shortTied) fewest = std::min(fewest, neverUsedBefore(*c));
            prefer(shortTied, [&](const Candidate &c) { return neverUsedBefore(c) == fewest; });
            // Even the best of them starts its directory before the entries:
            // a directory found where it starts wins.
            if (fewest > 0 && inferred(r, medium, scores)) return r;
            tied = std::move(shortTied);
        }
    }
    auto take = [&](const Candidate &c, bool cpm, const std::string &how) {
        r.Format = c.Format;
        r.Order = c.Order;
        r.Geometry = c.Geometry;
        r.Definition = c.Name;
        r.Cpm = cpm;
        r.Short = c.Short;
        r.FromFormatRecord = c.FromFormatRecord;
        r.How = how + (c.FromFormatRecord ? ", format record" : "") + scores;
        return r;
    };
    // Files damaged by cross-linking are files: no empty reading wins over
    // them, writable.  The disk stays read-only until a format is chosen.
    std::vector<const Candidate *> crossed;
    for (const Candidate &c : pool)
        if (!c.Excluded && !c.Short && c.Fits && cpm_CrossLinked(c.Score)) crossed.push_back(&c);
    if (!crossed.empty() && (tied.empty() || tied.front()->Score.Good == 0)) {
        for (const Candidate *c : crossed) r.Unclear.push_back(c->Name);
        for (const Candidate *c : tied) r.Unclear.push_back(c->Name);
        return take(*crossed.front(), true, "files cross-linked, no reading without damage");
    }
    // No reading finds files: a directory found elsewhere on the disk gives
    // a geometry of its own, read-only.
    if ((tied.empty() || tied.front()->Score.Good == 0) && inferred(r, medium, scores)) return r;
    if (tied.empty())
        return take(*std::find_if(pool.begin(), pool.end(), [](const Candidate &c) { return c.Announced; }), false,
                    "no plausible directory");
    Decision d = decide(tied, medium, path);
    const Candidate &chosen = *tied[0];
    // A winner that is plausible only as a damaged disk is no clear winner
    // over another plausible reading of a definition that finds other files.
    if (!d.Unclear && chosen.Score.Bad > 0) {
        for (const Candidate &c : pool) {
            if (&c == &chosen || c.Excluded || c.Short || !c.Fits || !cpm_Plausible(c.Score) || c.Score.Good == 0) continue;
            if (!isDefined(c) && !isDefined(chosen)) continue;
            if (sameFiles(chosen, c, medium)) continue;
            tied.push_back(&c);
            d = {"best reading damaged, another plausible", true};
        }
    }
    if (d.Unclear)
        for (const Candidate *c : tied) r.Unclear.push_back(c->Name);
    return take(chosen, true, (chosen.Short ? "short image, " : "") + d.Why);
}

// Bytes 0-3 (and 4-7) compared with a signature; missing bytes never match.
static bool startsWith(const Text &bytes, size_t at, const uint8_t (&sig)[4]) {
    if (bytes.size() < at + 4) return false;
    for (size_t k = 0; k < 4; k++)
        if (bytes[at + k] != sig[k]) return false;
    return true;
}

cpm_Format cpm_DetectFormat(const Text &bytes) {
    static const uint8_t sig800[4] = {0x01, 0x8A, 0x4A, 0x4A};
    static const uint8_t sig140[4] = {0x01, 0xA5, 0x27, 0xC9};
    static const uint8_t sig22[4] = {0x09, 0xD0, 0x13, 0x8A};
    if (startsWith(bytes, 0, sig800)) return cpm_Format::Apple800K;
    if (startsWith(bytes, 0, sig140)) return startsWith(bytes, 4, sig22) ? cpm_Format::Apple140K22 : cpm_Format::Apple140K30;
    return cpm_Format::Plain;
}
