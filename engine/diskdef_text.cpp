// Geometries in diskdefs form.
#include "diskdef_text.h"

namespace {

const char *osWord(cpm_Os os) {
    switch (os) {
    case cpm_Os::Cpm3: return "3";
    case cpm_Os::P2dos: return "p2dos";
    case cpm_Os::Zsys: return "zsys";
    default: return "2.2";
    }
}

const char *sidesWord(cpm_Sides sides) {
    return sides == cpm_Sides::OutBack ? "outback" : sides == cpm_Sides::OutOut ? "outout" : "alt";
}

}  // namespace

std::vector<std::string> cpm_DiskdefLines(const std::string &name, const cpm_Geometry &g) {
    if (g.SectorBytes <= 0) return {"# " + name + " is a built-in format sized by its file: it has no diskdefs form"};
    std::vector<std::string> lines = {"diskdef " + name};
    auto add = [&](const std::string &keyword, const std::string &value) { lines.push_back("  " + keyword + " " + value); };
    add("seclen", std::to_string(g.SectorBytes));
    add("tracks", std::to_string(g.Tracks));
    add("sectrk", std::to_string(g.SectorsPerTrack));
    add("blocksize", std::to_string(g.BlockSize));
    add("maxdir", std::to_string(g.DirEntries));
    add("dirblks", std::to_string(g.DirBlocks));
    if (g.SectorsPerTrack > 0 && g.ReservedSectors % g.SectorsPerTrack == 0)
        add("boottrk", std::to_string(g.ReservedSectors / g.SectorsPerTrack));
    else
        add("bootsec", std::to_string(g.ReservedSectors));
    if (!g.SkewTable.empty()) {
        std::string table;
        for (int s : g.SkewTable) table += (table.empty() ? "" : ",") + std::to_string(s);
        add("skewtab", table);
    }
    if (g.Offset != 0) add("offset", std::to_string(g.Offset));
    add("os", osWord(g.Os));
    if (g.LogicalExtents > 0) add("logicalextents", std::to_string(g.LogicalExtents));
    if (g.Heads > 1) add("sides", sidesWord(g.Sides));
    if (g.FirstId >= 0) add("firstid", std::to_string(g.FirstId));
    if (!g.LibdskFormat.empty()) add("libdsk:format", g.LibdskFormat);
    lines.push_back("end");
    return lines;
}
