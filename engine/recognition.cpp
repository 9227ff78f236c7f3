// Recognition by contents.  Every reading a file may hold joins one pool:
// the plain reading at every size, the Apple II readings for sector data of
// 140K and 800K, and the reading the first bytes announce.  One function
// scores each reading's directory, one function decides among them.
#include <algorithm>

#include "entries.h"
#include "recognition.h"

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
    cpm_Format Format;
    cpm_Order Order;
    bool Announced = false;  // the reading the first bytes announce
    cpm_Score Score;
    bool Fits = false;       // the whole directory lies inside the image
    Text Directory;          // the entries present, in logical order
};

bool isApple(const Candidate &c) { return c.Format != cpm_Format::Plain; }
bool is140K(const Candidate &c) { return cpm_GeometryOf(c.Format).BlockSize == 1024 && isApple(c); }

cpm_DirectoryShape shapeOf(const cpm_Geometry &g, size_t imageBytes) {
    cpm_Volume v;
    v.DataStart = g.DataStart;
    v.BlockSize = g.BlockSize;
    long long dataBytes = (long long)imageBytes - g.DataStart;
    v.VolumeKB = dataBytes > 0 ? int(dataBytes / 1024) : 0;
    cpm_DirectoryShape shape;
    shape.Entries = dataBytes >= cpm_EntrySize ? int(std::min<long long>(g.DirEntries, dataBytes / cpm_EntrySize)) : 0;
    shape.DirBlocks = g.DirBlocks;
    shape.BlockLimit = cpm_BlockCount(v) + g.WrapBlocks;
    shape.Wide = cpm_WideBlocks(v);
    return shape;
}

// A file entry of user 0-15 or a user-31 reservation whose fields are possible.
bool possibleFile(const uint8_t *e, const cpm_DirectoryShape &shape) {
    for (int k = 1; k <= 11; k++)
        if ((e[k] & 0x7F) < 0x20) return false;
    if (e[12] > 31 || e[14] > 63 || e[15] > 128) return false;
    for (int k = 0; k < cpm_SlotCount(shape.Wide); k++) {
        int b = cpm_SlotBlock(e, shape.Wide, k);
        if (b != 0 && (b < shape.DirBlocks || b >= shape.BlockLimit)) return false;
    }
    return true;
}

constexpr uint8_t labelUser = 0x20;
constexpr uint8_t stampUser = 0x21;
constexpr uint8_t reservationUser = 31;

// The files a reading gives, each entry as user, name, extent fields and
// the bytes of its blocks, sorted: equal lists are the same files.
std::vector<Text> filesOf(const Candidate &c, const Text &data) {
    const cpm_Geometry &g = cpm_GeometryOf(c.Format);
    cpm_DirectoryShape shape = shapeOf(g, data.size());
    std::vector<Text> files;
    for (int i = 0; i < shape.Entries; i++) {
        const uint8_t *e = c.Directory.data() + i * cpm_EntrySize;
        if (e[0] > 15) continue;
        Text key;
        key.push_back(e[0]);
        for (int k = 1; k <= 11; k++) key.push_back(e[k] & 0x7F);
        for (int k : {12, 14, 15}) key.push_back(e[k]);
        for (int k = 0; k < cpm_SlotCount(shape.Wide); k++) {
            int b = cpm_SlotBlock(e, shape.Wide, k);
            if (b == 0) continue;
            size_t at = size_t(g.DataStart) + size_t(b) * size_t(g.BlockSize);
            Text block = cpm_LogicalBytes(data, c.Order, at, size_t(g.BlockSize));
            key.Elements.insert(key.Elements.end(), block.Elements.begin(), block.Elements.end());
        }
        files.push_back(std::move(key));
    }
    std::sort(files.begin(), files.end());
    return files;
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
    if (!isApple(c)) return "plain";
    std::string label = cpm_SectorOrderOf(c.Order).Name;
    if (c.Format == cpm_Format::Apple800K)
        label += c.Order == cpm_Order::Interleave800 ? " (800K signature)" : " (no 800K signature)";
    return label;
}

std::string scoresOf(const std::vector<Candidate> &pool) {
    std::string out;
    for (const Candidate &c : pool) {
        if (!out.empty()) out += ", ";
        out += labelOf(c) + " " + std::to_string(c.Score.Good) + " good " + std::to_string(c.Score.Bad) + " bad";
        if (!c.Fits) out += " (no room for the directory)";
    }
    return out;
}

// The reading the first bytes announce (in the container's order for a 140K disk).
Candidate announcedReading(const Text &data, const cpm_Container &container) {
    cpm_Format f = cpm_DetectFormat(data);
    cpm_Order order = f == cpm_Format::Apple800K ? cpm_Order::Interleave800
                      : f == cpm_Format::Plain   ? cpm_Order::AsStored
                      : container.Order == cpm_Order::ProDos ? cpm_Order::ProDos
                                                             : cpm_Order::Dos;
    return {f, order, true, {}, false, Text()};
}

std::vector<Candidate> candidatesFor(const Text &data, const cpm_Container &container) {
    cpm_Format signature = cpm_DetectFormat(data);
    bool signed800 = signature == cpm_Format::Apple800K;
    bool signed140 = signature == cpm_Format::Apple140K22 || signature == cpm_Format::Apple140K30;
    cpm_Format format140 = signed140 ? signature : cpm_Format::Apple140K;
    std::vector<Candidate> pool;
    for (const ReadingRow &row : readingRows) {
        if (data.size() != row.DataBytes) continue;
        if ((row.Signature800 == 1 && !signed800) || (row.Signature800 == -1 && signed800)) continue;
        bool by140 = row.Geometry == cpm_Format::Apple140K;
        if (by140 && container.Order != cpm_Order::AsStored && container.Order != row.Order) continue;
        pool.push_back({by140 ? format140 : row.Geometry, row.Order, false, {}, false, Text()});
    }
    pool.push_back({cpm_Format::Plain, cpm_Order::AsStored, false, {}, false, Text()});
    Candidate announced = announcedReading(data, container);
    auto same = std::find_if(pool.begin(), pool.end(), [&](const Candidate &c) {
        return c.Format == announced.Format && c.Order == announced.Order;
    });
    if (same != pool.end()) same->Announced = true;
    else pool.insert(pool.end() - 1, announced);
    for (Candidate &c : pool) {
        const cpm_Geometry &g = cpm_GeometryOf(c.Format);
        cpm_DirectoryShape shape = shapeOf(g, data.size());
        c.Directory = cpm_LogicalBytes(data, c.Order, size_t(g.DataStart), size_t(shape.Entries) * cpm_EntrySize);
        c.Score = cpm_ScoreDirectory(c.Directory.data(), shape);
        c.Fits = (long long)data.size() >= g.DataStart + (long long)g.DirBlocks * g.BlockSize;
    }
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

// The tie rules, in order; returns why the first of `tied` was taken.
std::string breakTie(std::vector<const Candidate *> &tied, const cpm_Container &container, const std::string &path) {
    std::string ext = extensionOf(path);
    const ExtensionRow *apple = appleExtension(ext);
    bool blank = std::all_of(tied.begin(), tied.end(), [](const Candidate *c) { return c->Score.Good == 0; });
    std::string why;
    if (container.Order != cpm_Order::AsStored && prefer(tied, isApple)) why = "2IMG format field";
    if (tied.size() > 1 && apple && prefer(tied, [&](const Candidate &c) {
            return isApple(c) && (!is140K(c) || apple->Order == cpm_Order::AsStored || c.Order == apple->Order);
        }))
        why = (blank ? "blank disk, extension ." : "extension .") + ext;
    if (tied.size() > 1 && prefer(tied, [](const Candidate &c) { return c.Announced && isApple(c); }))
        why = "signature";
    if (tied.size() > 1 && !apple && blank && prefer(tied, [](const Candidate &c) { return !isApple(c); }))
        why = "blank disk, extension " + (ext.empty() ? std::string("none") : "." + ext);
    if (tied.size() > 1 && prefer(tied, [](const Candidate &c) { return c.Announced; })) why = "no signature";
    if (tied.size() > 1) why += why.empty() ? "first reading" : ", then first reading";
    return why;
}

}  // namespace

cpm_Score cpm_ScoreDirectory(const uint8_t *dir, const cpm_DirectoryShape &shape) {
    cpm_Score score;
    bool label = false;
    for (int i = 0; i < shape.Entries; i++) label = label || dir[i * cpm_EntrySize] == labelUser;
    std::vector<uint8_t> good(size_t(std::max(shape.Entries, 0)), 0);
    std::vector<int> claims(size_t(std::max(shape.BlockLimit, 0)), 0);
    bool labelSeen = false;
    for (int i = 0; i < shape.Entries; i++) {
        const uint8_t *e = dir + i * cpm_EntrySize;
        uint8_t user = e[0];
        if (user == cpm_ErasedUser) continue;
        bool holdsBlocks = (user <= 15 || user == reservationUser) && possibleFile(e, shape);
        bool ok = holdsBlocks || (user >= 16 && user <= 31 && label) || (user == labelUser && !labelSeen) ||
                  (user == stampUser && i % 4 == 3);
        labelSeen = labelSeen || user == labelUser;
        good[size_t(i)] = ok ? (holdsBlocks ? 2 : 1) : 0;
        if (holdsBlocks)
            for (int k = 0; k < cpm_SlotCount(shape.Wide); k++)
                if (int b = cpm_SlotBlock(e, shape.Wide, k)) claims[size_t(b)]++;
    }
    for (int i = 0; i < shape.Entries; i++) {
        const uint8_t *e = dir + i * cpm_EntrySize;
        if (e[0] == cpm_ErasedUser) continue;
        bool ok = good[size_t(i)] != 0;
        if (good[size_t(i)] == 2)
            for (int k = 0; k < cpm_SlotCount(shape.Wide); k++)
                if (int b = cpm_SlotBlock(e, shape.Wide, k); b && claims[size_t(b)] > 1) ok = false;
        (ok ? score.Good : score.Bad)++;
    }
    return score;
}

bool cpm_Plausible(cpm_Score s) { return s.Bad == 0 || (s.Good >= 4 && s.Bad * 8 <= s.Good); }

cpm_Recognition cpm_Recognise(const Text &data, const cpm_Container &container, const std::string &path) {
    std::vector<Candidate> pool = candidatesFor(data, container);
    std::string scores = " (" + scoresOf(pool) + ")";
    std::vector<const Candidate *> tied;
    int best = -1;
    for (const Candidate &c : pool) {
        if (!c.Fits || !cpm_Plausible(c.Score) || c.Score.Good < best) continue;
        if (c.Score.Good > best) tied.clear();
        best = c.Score.Good;
        tied.push_back(&c);
    }
    // An empty reading is no blank disk while another reading finds files:
    // that disk is damaged (or not CP/M), and writing would destroy them.
    bool filesElsewhere = std::any_of(pool.begin(), pool.end(), [](const Candidate &c) { return c.Fits && c.Score.Good > 0; });
    if (best == 0 && filesElsewhere) tied.clear();
    if (tied.empty()) {
        const Candidate &announced = *std::find_if(pool.begin(), pool.end(), [](const Candidate &c) { return c.Announced; });
        return {announced.Format, announced.Order, false, "no plausible directory" + scores};
    }
    std::string why = "most good entries";
    if (tied.size() > 1) {
        std::vector<Text> first = filesOf(*tied[0], data);
        bool sameFiles = std::all_of(tied.begin() + 1, tied.end(), [&](const Candidate *c) { return filesOf(*c, data) == first; });
        why = (sameFiles ? "same files, " : "tie, ") + breakTie(tied, container, path);
    }
    return {tied[0]->Format, tied[0]->Order, true, why + scores};
}
