// The lines of the S(ector Map and B(locks screens.
#include <algorithm>

#include "sector_map.h"
#include "directory.h"
#include "entries.h"
#include "line_builder.h"
#include "listing.h"
#include "read.h"

static const std::string tensRuler =
    "    00000000001111111111222222222233333333334444444444555555555566666666667777777777";
static const std::string unitsRuler =
    "Blk 01234567890123456789012345678901234567890123456789012345678901234567890123456789";

static int digits(long long v) { return v >= 10 ? 1 + digits(v / 10) : 1; }

// Columns of the map: the row label holds the first block number of the
// last row (at least 3 digits); the size column the volume's size in K (at
// least 4, and one column more from 1000K on, as it has always stood).
static int labelWidth(const cpm_Volume &volume) {
    int n = cpm_BlockCount(volume);
    return std::max(3, digits(n > 0 ? (long long)(n - 1) / 64 * 64 : 0));
}
static int sizeWidth(const cpm_Volume &volume) {
    return std::max(4, digits(volume.VolumeKB)) + (volume.VolumeKB >= 1000 ? 1 : 0);
}

std::vector<std::string> cpm_SectorMapRuler(const cpm_Volume &volume) {
    std::string pad(size_t(labelWidth(volume) - 3), ' ');
    std::string wide(size_t(sizeWidth(volume) - 4), ' ');
    return {pad + tensRuler.substr(0, 68), unitsRuler.substr(0, 3) + pad + unitsRuler.substr(3, 65) + wide + " Size"};
}

std::string cpm_SectorMapRow(const cpm_Volume &volume, int r) {
    int n = cpm_BlockCount(volume);
    int label = labelWidth(volume);
    cpm_LineBuilder out;
    out.Print(t_NumberString((long long)r * 64, U'0', label, false) + " ");
    std::string cells;
    for (int k = 0; k < 64; k++) {
        long long b = (long long)r * 64 + k;
        bool used = b < n && size_t(b) < volume.BlockMap.size() && volume.BlockMap[size_t(b)] != 0;
        cells += b >= n ? ' ' : used ? '*' : '.';
    }
    out.Print(cells);
    out.Htab(label + 66);
    // Plain digits, so that the column stays straight from 1000K on.
    out.Print(t_NumberString((long long)volume.Geometry.BlockSize * 64 * (r + 1) / 1024, U' ', sizeWidth(volume), false) + "K");
    return out.Finish().front();
}

std::string cpm_SectorMapSummary(const cpm_Volume &volume) {
    return t_NumberString(volume.UsedKB, U' ', 1, true) + "K used, " +
           t_NumberString((long long)volume.VolumeKB - volume.UsedKB, U' ', 1, true) + "K free.";
}

std::vector<std::string> cpm_SectorMapLines(const cpm_Volume &volume) {
    std::vector<std::string> lines = {cpm_VolumeHeading(volume), ""};
    for (std::string &ruler : cpm_SectorMapRuler(volume)) lines.push_back(ruler);
    int n = cpm_BlockCount(volume);
    for (int r = 0; (long long)r * 64 < n; r++) lines.push_back(cpm_SectorMapRow(volume, r));
    lines.push_back("");
    lines.push_back(cpm_SectorMapSummary(volume));
    return lines;
}

std::vector<std::string> cpm_BlocksLines(const cpm_Volume &volume, const Text &name, int width, int user) {
    if (name.empty()) return {};
    user = cpm_UserOf(volume, user);
    Text display = cpm_StoredName(volume, name, user);
    if (display.empty()) display = cpm_MakeName(name);
    std::string shown = cpm_DisplayString(display);
    cpm_LineBuilder out(width);
    bool wide = cpm_WideBlocks(volume);
    int present = cpm_PresentEntries(volume);
    int matches = 0;
    for (int i = 0; i < present && volume.Geometry.DirEntries > 0; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        // The user area's entries of the name, and the erased ones.
        if ((e[0] != user && e[0] != cpm_ErasedUser) || !cpm_NameIs(e, display, true)) continue;
        if (matches == 0) {
            out.Print("Blocks for " + shown);
            out.Cr();
            out.Cr();
        } else if (matches == 1) {
            if (out.Hpos() != 1) out.Cr();
            out.Cr();
            out.Print("Extensions for " + shown);
            out.Cr();
            out.Cr();
        }
        matches++;
        for (int b : cpm_RawBlocks(e, wide)) {
            std::string field = std::to_string(b);
            field.resize(8, ' ');
            out.Print(field);
        }
    }
    if (matches == 0) out.Print(shown + " not found");
    return out.Finish();
}
