// Disk definitions in the diskdefs format ("diskdef NAME" ... "end").
//
// The parser is a pure function over text.  The user's own files are read
// strictly: the first fault stops with the file and line.  The system file
// is read tolerantly: it is not the user's to fix, so a faulty definition
// is skipped with one line and the rest are used.
#include "diskdefs.h"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <unordered_map>

#include "entry.h"

const char *const cpm_SystemDiskdefs = "/etc/cpmtools/diskdefs";

namespace {

// The keywords of other tools that say nothing about the file system.
const char *const ignoredKeywords[] = {"datarate", "fm"};

// The orders of a two-sided disk's tracks (libdsk's "sides").
struct SidesRow {
    const char *Word;
    cpm_Sides Sides;
};
const SidesRow sidesRows[] = {{"alt", cpm_Sides::Alt}, {"outback", cpm_Sides::OutBack}, {"outout", cpm_Sides::OutOut}};

struct OsRow {
    const char *Word;
    cpm_Os Os;
};
const OsRow osRows[] = {{"2.2", cpm_Os::Cpm22}, {"3", cpm_Os::Cpm3}, {"p2dos", cpm_Os::P2dos}, {"zsys", cpm_Os::Zsys}};

std::string lowered(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return s;
}

// The word equals the lower-case keyword, in any case.
bool is(std::string_view word, std::string_view keyword) {
    if (word.size() != keyword.size()) return false;
    for (size_t i = 0; i < word.size(); i++)
        if ((word[i] >= 'A' && word[i] <= 'Z' ? char(word[i] + 32) : word[i]) != keyword[i]) return false;
    return true;
}

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// A whole non-negative decimal number; false when the word is not one.
bool number(const std::string &word, long long &value) {
    if (word.empty() || word.size() > 12) return false;
    long long v = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

// One definition while its lines are read; -1: not given.
struct Pending {
    cpm_Definition Def;
    long long SecLen = -1, Tracks = -1, SecTrk = -1, BlockSize = -1, MaxDir = -1, DirBlks = -1;
    long long BootTrk = -1, BootSec = -1, Skew = -1, LogicalExtents = -1, FirstId = -1, Slices = -1, SliceSize = -1;
    std::vector<int> SkewTab;
    bool HasSkewTab = false;
    long long OffsetValue = 0;
    char OffsetUnit = 0;     // 0 bytes, 'k', 'm', 't' tracks, 's' sectors
};

// The skew table cpmtools builds for "skew N": every N-th sector, the next
// free one where that one is taken.
std::vector<int> skewTable(int sectors, int skew) {
    std::vector<int> table;
    std::vector<uint8_t> taken(size_t(sectors), 0);
    for (int i = 0, j = 0; i < sectors; i++, j = (j + skew) % sectors) {
        while (taken[size_t(j)]) j = (j + 1) % sectors;
        taken[size_t(j)] = 1;
        table.push_back(j);
    }
    return table;
}

bool identity(const std::vector<int> &table) {
    for (size_t i = 0; i < table.size(); i++)
        if (table[i] != int(i)) return false;
    return true;
}

// Takes one keyword line into the definition; "" or the fault.
std::string takeLine(Pending &p, const std::string &keyword, const std::string_view *values, size_t count) {
    // The keywords: a number into its field, or (no field) read below.
    struct KeywordRow {
        std::string_view Keyword;
        long long Pending::*Field;
    };
    static const KeywordRow keywords[] = {
        {"seclen", &Pending::SecLen},   {"tracks", &Pending::Tracks},   {"sectrk", &Pending::SecTrk},
        {"blocksize", &Pending::BlockSize}, {"maxdir", &Pending::MaxDir}, {"dirblks", &Pending::DirBlks},
        {"boottrk", &Pending::BootTrk}, {"bootsec", &Pending::BootSec}, {"skew", &Pending::Skew},
        {"logicalextents", &Pending::LogicalExtents}, {"firstid", &Pending::FirstId}, {"skewtab", nullptr}, {"os", nullptr},
        {"offset", nullptr}, {"extentsize", nullptr}, {"sides", nullptr}, {"libdsk:format", nullptr},
        {"slices", &Pending::Slices}, {"slicesize", &Pending::SliceSize},
    };
    for (const char *ignored : ignoredKeywords)
        if (keyword[0] == ignored[0] && keyword == ignored) return "";
    const KeywordRow *row = nullptr;
    for (const KeywordRow &r : keywords)
        if (keyword[0] == r.Keyword[0] && keyword == r.Keyword) row = &r;
    if (!row) return "unknown keyword '" + keyword + "'";
    if (count == 0) return "missing value for " + keyword;
    std::string value(values[0]);
    for (size_t k = 1; k < count; k++) value += values[k];   // "0, 2, 4" as "0,2,4"
    if (row->Field) {
        if (!number(value, p.*(row->Field))) return "bad value for " + keyword + ": " + value;
        return "";
    }
    if (keyword == "extentsize") {
        long long bytes = 0;
        if (!number(value, bytes) || bytes == 0 || bytes % cpm_ExtentBytes != 0)
            return "bad value for extentsize (a multiple of 16384): " + value;
        p.LogicalExtents = bytes / cpm_ExtentBytes;
        return "";
    }
    if (keyword == "skewtab") {
        p.HasSkewTab = true;
        p.SkewTab.clear();
        std::stringstream in(value);
        std::string item;
        long long sector = 0;
        while (std::getline(in, item, ','))
            if (!number(item, sector) || sector > 65535) return "bad value for skewtab: " + value;
            else p.SkewTab.push_back(int(sector));
        return "";
    }
    if (keyword == "libdsk:format") {
        p.Def.Geometry.LibdskFormat = value;
        return "";
    }
    if (keyword == "sides") {
        for (const SidesRow &row : sidesRows)
            if (lowered(value) == row.Word) {
                p.Def.Geometry.Heads = 2;
                p.Def.Geometry.Sides = row.Sides;
                return "";
            }
        return "unknown sides " + value + " (alt, outback or outout)";
    }
    if (keyword == "os") {
        std::string os = lowered(value);
        if (os == "isx") return "ISX file systems are not supported";
        for (const OsRow &system : osRows)
            if (os == system.Word) {
                p.Def.Geometry.Os = system.Os;
                return "";
            }
        return "unknown os " + value + " (2.2, 3, p2dos or zsys)";
    }
    // offset: a number of bytes, or with K, M, T(racks) or S(ectors) after it.
    size_t digits = value.find_first_not_of("0123456789");
    std::string unit = lowered(digits == std::string::npos ? "" : value.substr(digits));
    if (!number(value.substr(0, digits), p.OffsetValue) ||
        (!unit.empty() && (std::string("kmts").find(unit[0]) == std::string::npos ||
                           unit.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos)))
        return "bad value for offset: " + value;
    p.OffsetUnit = unit.empty() ? 0 : unit[0];
    return "";
}

// The first sector id of the container formats a definition may name with
// libdsk:format (the Amstrad formats number their sectors from 0x41 and 0xC1).
struct LibdskRow {
    const char *Format;
    int FirstId;
};
const LibdskRow libdskRows[] = {
    {"cpcsys", 0x41}, {"cpcdata", 0xC1}, {"pcw180", 1}, {"pcw720", 1}, {"pcw1440", 1},
    {"ibm160", 1},    {"ibm180", 1},     {"ibm320", 1}, {"ibm360", 1}, {"ibm720", 1}, {"ibm1200", 1}, {"ibm1440", 1},
};

int libdskFirstId(const std::string &format) {
    for (const LibdskRow &row : libdskRows)
        if (lowered(format) == row.Format) return row.FirstId;
    return -1;
}

bool powerOfTwo(long long v) { return v > 0 && (v & (v - 1)) == 0; }

// Checks the whole definition and fills its geometry; "" or the fault.
std::string finish(Pending &p) {
    struct Required {
        const char *Keyword;
        long long Value;
    };
    const Required required[] = {{"seclen", p.SecLen}, {"tracks", p.Tracks}, {"sectrk", p.SecTrk},
                                 {"blocksize", p.BlockSize}, {"maxdir", p.MaxDir}};
    for (const Required &r : required)
        if (r.Value < 0) return std::string("missing ") + r.Keyword;
    if (p.BootTrk < 0 && p.BootSec < 0) return "missing boottrk";
    if (p.Skew >= 0 && p.HasSkewTab) return "skew and skewtab together";
    if (!powerOfTwo(p.SecLen) || p.SecLen < 128 || p.SecLen > 16384) return "seclen must be a power of two from 128 to 16384";
    if (!powerOfTwo(p.BlockSize) || p.BlockSize < 1024 || p.BlockSize > 16384)
        return "blocksize must be a power of two from 1024 to 16384";
    if (p.Tracks == 0 || p.SecTrk == 0 || p.Tracks > 65536 || p.SecTrk > 65536) return "tracks and sectrk must be 1 to 65536";
    if (p.MaxDir == 0 || p.MaxDir > 65536) return "maxdir must be 1 to 65536";
    long long sectors = p.Tracks * p.SecTrk;
    long long reserved = p.BootSec >= 0 ? p.BootSec : p.BootTrk * p.SecTrk;
    if (reserved >= sectors) return "the reserved area fills the disk";
    long long neededDirBlocks = (p.MaxDir * cpm_EntrySize + p.BlockSize - 1) / p.BlockSize;
    long long dirBlocks = p.DirBlks >= 0 ? p.DirBlks : neededDirBlocks;
    if (dirBlocks < neededDirBlocks) return "dirblks too small for maxdir";
    long long blocks = (sectors - reserved) * p.SecLen / p.BlockSize;
    if (blocks <= dirBlocks) return "no room for data after the directory";
    if (blocks > 65536) return "more than 65536 blocks";
    if (p.SkewTab.size() > 0) {
        std::vector<int> sorted = p.SkewTab;
        std::sort(sorted.begin(), sorted.end());
        if ((long long)sorted.size() != p.SecTrk || !identity(sorted)) return "skewtab is not an order of the sectrk sectors";
    }
    if (p.Skew >= p.SecTrk) return "skew must be less than sectrk";
    if (p.LogicalExtents == 0 || p.LogicalExtents > 16) return "logicalextents must be 1 to 16";
    if (p.FirstId > 255) return "firstid must be 0 to 255";
    long long unit = p.OffsetUnit == 'k' ? 1024 : p.OffsetUnit == 'm' ? 1 << 20
                     : p.OffsetUnit == 't' ? p.SecTrk * p.SecLen : p.OffsetUnit == 's' ? p.SecLen : 1;
    long long offset = p.OffsetValue * unit;
    long long dataStart = offset + reserved * p.SecLen;
    if (dataStart + sectors * p.SecLen > cpm_MaxImageBytes) return "larger than an image may be";
    if (p.SliceSize >= 0 && p.Slices < 0) return "slicesize without slices";
    if (p.Slices == 0 || p.Slices > 65536) return "slices must be 1 to 65536";
    if (p.SliceSize >= 0 && p.SliceSize < offset + sectors * p.SecLen) return "slicesize smaller than the disk";
    cpm_Geometry &g = p.Def.Geometry;
    g.Format = cpm_Format::Defined;
    g.Name = p.Def.Name;
    g.DataStart = int(dataStart);
    g.BlockSize = int(p.BlockSize);
    g.DirBlocks = int(dirBlocks);
    g.DirEntries = int(p.MaxDir);
    g.SectorBytes = int(p.SecLen);
    g.SectorsPerTrack = int(p.SecTrk);
    g.Tracks = int(p.Tracks);
    g.ReservedSectors = int(reserved);
    g.SkewTable = p.HasSkewTab ? p.SkewTab : p.Skew > 1 ? skewTable(int(p.SecTrk), int(p.Skew)) : std::vector<int>();
    if (identity(g.SkewTable)) g.SkewTable.clear();
    g.Offset = offset;
    g.LogicalExtents = p.LogicalExtents > 0 ? int(p.LogicalExtents) : 0;
    g.FirstId = p.FirstId >= 0 ? int(p.FirstId) : libdskFirstId(g.LibdskFormat);
    g.Slices = p.Slices > 0 ? int(p.Slices) : 0;
    g.SliceBytes = g.Slices == 0 ? 0 : p.SliceSize > 0 ? p.SliceSize : offset + sectors * p.SecLen;
    return "";
}

// The words of a line before its comment (views into the line).
void wordsOf(std::string_view line, std::vector<std::string_view> &words) {
    words.clear();
    size_t comment = 0;
    while (comment < line.size() && line[comment] != '#' && line[comment] != ';') comment++;
    line = line.substr(0, comment);
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && blank(line[at])) at++;
        size_t end = at;
        while (end < line.size() && !blank(line[end])) end++;
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end;
    }
}

}  // namespace

// The end of the definition whose lines start at `at`: the offset after its
// "end" line (before a "diskdef" line when it has none), the lines passed,
// and the size of image it describes (-1 when its size lines are unclear).
struct Extent {
    size_t End = 0;
    int Lines = 0;
    long long Bytes = -1;
};
static Extent extentOf(const std::string &text, size_t at) {
    Extent e;
    long long seclen = -1, tracks = -1, sectrk = -1, offset = 0;
    char unit = 0;
    std::vector<std::string_view> words;
    for (;;) {
        if (at >= text.size()) break;
        size_t end = std::min(text.find('\n', at), text.size());
        wordsOf(std::string_view(text.data() + at, end - at), words);
        std::string_view keyword = words.empty() ? std::string_view() : words[0];
        if (is(keyword, "diskdef")) break;
        at = end + 1;
        e.Lines++;
        if (is(keyword, "end")) break;
        if (words.size() != 2) continue;
        std::string value(words[1]);
        if (is(keyword, "seclen")) number(value, seclen);
        else if (is(keyword, "tracks")) number(value, tracks);
        else if (is(keyword, "sectrk")) number(value, sectrk);
        else if (is(keyword, "offset")) {
            size_t digits = value.find_first_not_of("0123456789");
            if (!number(value.substr(0, digits), offset)) offset = -1;
            unit = digits == std::string::npos ? 0 : char(std::tolower((unsigned char)value[digits]));
        }
    }
    e.End = std::min(at, text.size());
    if (seclen > 0 && tracks > 0 && sectrk > 0 && offset >= 0) {
        long long scale = unit == 'k' ? 1024 : unit == 'm' ? 1 << 20 : unit == 't' ? sectrk * seclen : unit == 's' ? seclen : 1;
        e.Bytes = offset * scale + seclen * tracks * sectrk;
    }
    return e;
}

cpm_DiskdefsReading cpm_ParseDiskdefs(const std::string &text, const std::string &source, bool strict,
                                      const cpm_DiskdefsFilter &filter) {
    cpm_DiskdefsReading out;
    std::unordered_map<std::string, size_t> byName;   // index in out.Definitions
    int number = 0;
    bool open = false, faulty = false;
    Pending p;
    // A fault: strict reading stops; tolerant reading drops the definition.
    auto fault = [&](int at, const std::string &what) {
        std::string where = source + ":" + std::to_string(at) + ": ";
        if (strict) {
            out.Error = where + what;
            out.Definitions.clear();
        } else if (!faulty) {
            out.Skipped.push_back(where + (open ? "definition " + p.Def.Name + " skipped: " : "") + what);
        }
        faulty = true;
    };
    std::vector<std::string_view> words;
    for (size_t at = 0; at < text.size() && out.Error.empty();) {
        size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        number++;
        size_t first = 0;
        while (first < line.size() && blank(line[first])) first++;
        if (first == line.size() || line[first] == '#' || line[first] == ';') continue;   // blank or comment
        wordsOf(line.substr(first), words);
        if (words.empty()) continue;
        std::string keyword = lowered(std::string(words[0]));
        if (keyword == "diskdef") {
            if (open) fault(p.Def.Line, "no end");
            if (!out.Error.empty()) break;
            p = Pending();
            open = true;
            faulty = false;
            p.Def.Line = number;
            p.Def.Source = source;
            if (words.size() != 2) fault(number, words.size() < 2 ? "missing name" : "more than one name");
            else p.Def.Name = words[1];
            // A definition the filter leaves out is passed over.
            if (!filter.All && p.Def.Name != filter.Name) {
                Extent e = extentOf(text, at);
                // Larger ones may read the image as a short one.
                if (e.Bytes >= 0 && e.Bytes < filter.Bytes) {
                    at = e.End;
                    number += e.Lines;
                    open = false;
                }
            }
            continue;
        }
        if (!open) {
            bool before = faulty;
            faulty = false;
            fault(number, "'" + std::string(words[0]) + "' outside a definition");
            faulty = before;
            continue;
        }
        if (keyword == "end") {
            if (words.size() != 1) fault(number, "words after end");
            if (!faulty) {
                std::string problem = finish(p);
                if (!problem.empty()) fault(p.Def.Line, problem);
            }
            if (!faulty) {
                // A later definition of a name replaces the earlier one, at the end.
                auto same = byName.find(p.Def.Name);
                if (same != byName.end()) out.Definitions[same->second].Name.clear();
                byName[p.Def.Name] = out.Definitions.size();
                out.Definitions.push_back(std::move(p.Def));
            }
            open = false;
            continue;
        }
        if (faulty) continue;
        std::string problem = takeLine(p, keyword, words.data() + 1, words.size() - 1);
        if (!problem.empty()) fault(number, problem);
    }
    if (open && out.Error.empty()) fault(p.Def.Line, "no end");
    out.Definitions.erase(std::remove_if(out.Definitions.begin(), out.Definitions.end(),
                                         [](const cpm_Definition &d) { return d.Name.empty(); }),
                          out.Definitions.end());
    return out;
}
