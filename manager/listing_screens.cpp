// The read-only screens: D(irectory, L(ong Dir, S(ector Map and B(locks.
#include "commands.h"

#include "display.h"
#include "events.h"
#include "key_codes.h"
#include "listing.h"
#include "sector_map.h"
#include "text.h"
#include "volume_state.h"

// Prints a listing line; its file names are printed from their own bytes with
// control characters made visible.
static void printListingLine(uint8_t w, const cpm_Volume &volume, const cpm_ListingLine &line) {
    std::u32string text = t_Decode(line.Text);
    size_t at = 0;
    auto plain = [&](size_t end) {
        if (end > at) t_Print(w, t_Encode(text.substr(at, end - at)));
    };
    for (const cpm_ListingName &name : line.Names) {
        plain(size_t(name.Start));
        t_DisplayMode(w, t_DisplayRedControls);
        t_Print(w, volume.Names[size_t(name.Entry)]);
        t_DisplayMode(w, t_DisplayNormal);
        at = size_t(name.Start + name.Length);
    }
    plain(text.size());
}

// Waits for a key after a full page; false when the user ends the listing.
static bool nextPage(uint8_t w) {
    std::u32string key = t_Decode(t_GetKey(w));
    int code = key.empty() ? 0 : int(key[0]);
    return code != t_CodeEscape && code != t_CodeControlC;
}

void cpm_ListDirectory(cpm_Volume volume, cpm_ListingMode mode) {
    constexpr int pageEntries = 21;
    uint8_t w = cpm_Window();
    std::vector<cpm_ListingLine> lines = cpm_DirectoryListing(volume, mode);
    int pageLines = 0;
    for (size_t i = 0; i < lines.size(); i++) {
        if (i > 0) t_Cr(w);
        printListingLine(w, volume, lines[i]);
        if (mode == cpm_LongListing && !lines[i].Names.empty() && ++pageLines == pageEntries) {
            if (!nextPage(w)) return;
            pageLines = 0;
        }
    }
}

// Prints screen lines, one t_Cr between two; a line that fills the whole
// width has already moved the cursor to the next line.  Screens longer than
// the window page as L does: 21 lines, then a key (Escape ends).
static void printLines(uint8_t w, const std::vector<std::string> &lines) {
    int width = t_WindowTable[w].TextLastColumn - t_WindowTable[w].TextFirstColumn + 1;
    int room = t_WindowTable[w].TextLastLine - t_WindowTable[w].TextFirstLine + 1 - 3;
    bool paged = int(lines.size()) > room;
    for (size_t i = 0; i < lines.size(); i++) {
        t_Print(w, lines[i]);
        if (paged && (i + 1) % 21 == 0 && i + 1 < lines.size() && !nextPage(w)) return;
        if (i + 1 < lines.size() && t_Length(lines[i]) < width) t_Cr(w);
    }
}

void cpm_ShowSectorMap(cpm_Volume volume) { printLines(cpm_Window(), cpm_SectorMapLines(volume)); }

void cpm_ShowBlocks(cpm_Volume volume, const Text &name) {
    uint8_t w = cpm_Window();
    int width = t_WindowTable[w].TextLastColumn - t_WindowTable[w].TextFirstColumn + 1;
    printLines(w, cpm_BlocksLines(volume, name, width));
}

void cpm_CommandBlocks() {
    uint8_t w = cpm_Window();
    std::string answer = cpm_AskFileName();
    Text name = cpm_TypedName(answer);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    cpm_ShowBlocks(cpm_CurrentVolume, name);
}
