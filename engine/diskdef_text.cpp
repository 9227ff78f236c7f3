// Writing a geometry in diskdefs form: the keywords the reader takes back
// to the same geometry.
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
    switch (sides) {
    case cpm_Sides::OutBack: return "outback";
    case cpm_Sides::OutOut: return "outout";
    default: return "alt";
    }
}

}  // namespace

std::string cpm_DiskdefText(const cpm_Geometry &g, const std::string &name) {
    if (g.SectorBytes <= 0 || g.SectorsPerTrack <= 0) return "";
    std::string out = "diskdef " + name + "\n";
    auto line = [&](const std::string &keyword, const std::string &value) { out += "  " + keyword + " " + value + "\n"; };
    line("seclen", std::to_string(g.SectorBytes));
    line("tracks", std::to_string(g.Tracks));
    line("sectrk", std::to_string(g.SectorsPerTrack));
    line("blocksize", std::to_string(g.BlockSize));
    line("maxdir", std::to_string(g.DirEntries));
    if (g.DirBlocks * g.BlockSize > g.DirEntries * cpm_EntrySize + g.BlockSize - 1) line("dirblks", std::to_string(g.DirBlocks));
    if (g.SkewTable.empty()) {
        line("skew", "0");
    } else {
        std::string table;
        for (int s : g.SkewTable) table += (table.empty() ? "" : ",") + std::to_string(s);
        line("skewtab", table);
    }
    if (g.ReservedSectors % g.SectorsPerTrack == 0) line("boottrk", std::to_string(g.ReservedSectors / g.SectorsPerTrack));
    else line("bootsec", std::to_string(g.ReservedSectors));
    if (g.Offset > 0) line("offset", std::to_string(g.Offset));
    line("os", osWord(g.Os));
    if (g.LogicalExtents > 0) line("logicalextents", std::to_string(g.LogicalExtents));
    if (g.Heads > 1) line("sides", sidesWord(g.Sides));
    if (g.FirstId >= 0) line("firstid", std::to_string(g.FirstId));   // our own keyword
    if (!g.LibdskFormat.empty()) line("libdsk:format", g.LibdskFormat);
    return out + "end\n";
}
