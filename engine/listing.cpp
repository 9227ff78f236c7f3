// The lines of the D(irectory and L(ong Dir listings, with the date
// columns and protection marks of a stamped disk.
#include "listing.h"

#include <algorithm>

#include "entries.h"
#include "listing.h"
#include "passwords.h"
#include "read.h"
#include "slices.h"
#include "stamps.h"

static std::string grouped(long long value, int width) { return t_NumberString(value, U' ', width, true); }

std::string cpm_DisplayString(const Text &name) { return t_TextToString(name); }

std::string cpm_VolumeHeading(const cpm_Volume &volume) {
    std::string heading = "Volume Name: " + cpm_VolumeName(volume) + " (" + std::to_string(volume.VolumeKB) + "K)";
    return volume.User == 0 ? heading : heading + ", User " + std::to_string(volume.User);
}

bool cpm_IsListed(const cpm_Volume &volume, int i) {
    if (i < 0 || size_t(i) >= volume.Sizes.size() || size_t(i) >= volume.Names.size()) return false;
    const Text &name = volume.Names[size_t(i)];
    return volume.Sizes[size_t(i)] >= 0 && !name.empty() && name[0] != 0xE5;
}

// Entry i has the S attribute (D counts it but does not show it).
static bool isSystemFile(const cpm_Volume &volume, int i) {
    if (i < 0 || size_t(i) >= volume.Attributes.size()) return false;
    const auto &a = volume.Attributes[size_t(i)].Elements;
    return std::find(a.begin(), a.end(), uint8_t('S')) != a.end();
}

long long cpm_SizeK(const cpm_Volume &volume, long long size) {
    long long bs = volume.Geometry.BlockSize > 0 ? volume.Geometry.BlockSize : 1;
    return ((size - 1) / bs + 1) * bs / 1024;
}

// D cell: the 12-byte name, then the size in K, width 4.
static std::string shortEntryText(const cpm_Volume &volume, int i) {
    return cpm_DisplayString(volume.Names[size_t(i)]) + grouped(cpm_SizeK(volume, volume.Sizes[size_t(i)]), 4);
}

long long cpm_BlocksK(const cpm_Volume &volume, long long bytes) { return bytes <= 0 ? 0 : cpm_SizeK(volume, bytes); }

// The L line of entry i with the size and K given.
static std::string longEntryText(const cpm_Volume &volume, int i, long long size, long long sizeK) {
    const Text &attributes = volume.Attributes[size_t(i)];
    auto has = [&](char letter) {
        return std::find(attributes.Elements.begin(), attributes.Elements.end(), uint8_t(letter)) != attributes.Elements.end();
    };
    std::string line = cpm_DisplayString(volume.Names[size_t(i)]) + grouped(sizeK, 4) + "K " +
                       grouped(size, 7) + " Bytes" + "  #" + grouped(i, 3);
    line += has('R') ? "  R/O" : "  R/W";
    if (has('S')) line += "  SYS";
    if (has('A')) line += "  (Archived)";
    int extents = size_t(i) < volume.Extents.size() ? volume.Extents[size_t(i)] : 0;
    if (extents >= 1) line += "  (" + std::to_string(extents) + " Extension" + (extents >= 2 ? "s" : "") + ")";
    return line;
}

std::string cpm_LongEntryText(const cpm_Volume &volume, int i) {
    long long size = volume.Sizes[size_t(i)];
    return longEntryText(volume, i, size, cpm_SizeK(volume, size));
}

std::string cpm_ListingSummary(const cpm_Volume &volume, int files) {
    return std::to_string(files) + " files, " + grouped(volume.UsedKB, 1) + "K used, " +
           grouped((long long)volume.VolumeKB - volume.UsedKB, 1) + "K free.";
}

// Appends an entry's text, which starts with its name, to the line.
static void addEntry(cpm_ListingLine &line, const cpm_Volume &volume, int i, const std::string &text) {
    line.Names.push_back({t_Length(line.Text), t_Length(cpm_DisplayString(volume.Names[size_t(i)])), i});
    line.Text += text;
}

std::vector<cpm_ListingLine> cpm_DirectoryListing(const cpm_Volume &volume, cpm_ListingMode mode) {
    std::vector<cpm_ListingLine> lines{{cpm_VolumeHeading(volume), {}}, {}};
    int files = 0, column = 1;
    std::vector<std::pair<size_t, int>> dated;   // the exact long listing's file lines
    for (int i = 0; i < int(volume.Sizes.size()); i++) {
        if (!cpm_IsListed(volume, i)) continue;
        files++;
        if (mode == cpm_LongListing) {
            addEntry(lines.emplace_back(), volume, i, cpm_LongEntryText(volume, i));
            continue;
        }
        if (mode == cpm_ExactLongListing) {
            long long size = cpm_FileSize(volume, i);
            addEntry(lines.emplace_back(), volume, i,
                     longEntryText(volume, i, size, cpm_BlocksK(volume, size)) + cpm_ProtectionNote(volume, i));
            dated.push_back({lines.size() - 1, i});
            continue;
        }
        if (isSystemFile(volume, i)) continue;
        if (column == 1) lines.emplace_back();
        addEntry(lines.back(), volume, i, shortEntryText(volume, i) + (column < 4 ? " | " : ""));
        column = column % 4 + 1;
    }
    cpm_AddStampColumns(volume, lines, dated);
    if (files != 0) lines.emplace_back();
    lines.push_back({cpm_ListingSummary(volume, files), {}});
    return lines;
}

std::vector<std::string> cpm_DirectoryLines(const cpm_Volume &volume, cpm_ListingMode mode) {
    std::vector<std::string> texts;
    for (const cpm_ListingLine &line : cpm_DirectoryListing(volume, mode)) texts.push_back(line.Text);
    return texts;
}

std::string cpm_HostName(const Text &displayName) {
    // A name from the volume must stay one file in the target folder: a "/"
    // or a NUL would leave it or cut the path short, and "." or ".." name
    // the folder itself or its parent.
    Text out;
    for (uint8_t b : displayName.Elements) {
        if (b == ' ') continue;
        out.push_back(b == '/' || b == 0 ? uint8_t('_') : b);
    }
    if (out == Text(".") || out == Text("..")) out = t_TextFill('_', int(out.size()));
    return cpm_DisplayString(out);
}

std::string cpm_UniqueHostName(const std::string &hostName, std::vector<std::string> &used) {
    std::string name = hostName;
    size_t dot = hostName.rfind('.');
    std::string base = dot == std::string::npos ? hostName : hostName.substr(0, dot);
    std::string type = dot == std::string::npos ? "" : hostName.substr(dot);
    for (int n = 1; std::find(used.begin(), used.end(), name) != used.end(); n++)
        name = base + "~" + std::to_string(n) + type;
    used.push_back(name);
    return name;
}

std::string cpm_ProtectionNote(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return "";
    const uint8_t *e = cpm_EntryBytes(volume, entry);
    char protection = cpm_ProtectionOf(volume, cpm_RawName(e, false), e[0]);
    return protection ? std::string("  (") + protection + " protection)" : "";
}

const char *cpm_FirstStampName(const cpm_Volume &volume) {
    return cpm_StampRulesOf(volume).First == cpm_FirstStamp::Access ? "Accessed" : "Created";
}

constexpr int dateWidth = 16;   // "1999-12-31 23:59"

static std::string column(const cpm_Stamp &stamp) {
    std::string text = cpm_StampText(stamp);
    return text.empty() ? std::string(dateWidth, ' ') : text;
}

void cpm_AddStampColumns(const cpm_Volume &volume, std::vector<cpm_ListingLine> &lines,
                         const std::vector<std::pair<size_t, int>> &rows) {
    if (!cpm_StampRulesOf(volume).Stamped || rows.empty()) return;
    int width = 0;
    for (const auto &row : rows) width = std::max(width, t_Length(lines[row.first].Text));
    for (const auto &row : rows) {
        cpm_ListingLine &line = lines[row.first];
        cpm_FileStamps stamps = cpm_StampsOf(volume, row.second);
        std::string dates = column(stamps.First) + "  " + column(stamps.Updated);
        while (!dates.empty() && dates.back() == ' ') dates.pop_back();
        if (!dates.empty()) line.Text += std::string(size_t(width - t_Length(line.Text) + 2), ' ') + dates;
    }
    // The heading names the columns in their order, starting over the first.
    std::string heading = std::string(size_t(width + 2), ' ') + cpm_FirstStampName(volume) + "  Updated";
    lines.insert(lines.begin() + long(rows.front().first), cpm_ListingLine{heading, {}});
}
