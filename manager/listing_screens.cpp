// The read-only screens: D(irectory, L(ong Dir, S(ector Map and B(locks.
#include "commands.h"

#include "display.h"
#include "events.h"
#include "screen_text.h"
#include "text.h"
#include "volume_state.h"

// Prints a 12-byte name with its control characters made visible.
static void printName(uint8_t w, const Text &name) {
    t_DisplayMode(w, 4);
    t_Print(w, name);
    t_DisplayMode(w, 0);
}

// Waits for a key after a full page; false when the user ends the listing.
static bool nextPage(uint8_t w) {
    std::u32string key = t_Decode(t_GetKey(w));
    int code = key.empty() ? 0 : int(key[0]);
    return code != 27 && code != 3;
}

void cpm_ListDirectory(cpm_Volume volume, int mode) {
    uint8_t w = cpm_Window();
    t_Print(w, cpm_VolumeHeading(volume));
    t_Cr(w);
    t_Cr(w);
    int files = 0, column = 1, pageLines = 0;
    int entries = int(volume.Names.size());
    for (int i = 0; i < entries; i++) {
        if (!cpm_IsListed(volume, i)) continue;
        if (mode == 1) {
            files++;
            if (cpm_IsSystemFile(volume, i)) continue;
            printName(w, volume.Names[size_t(i)]);
            t_Print(w, t_NumberString(cpm_SizeK(volume, volume.Sizes[size_t(i)]), ' ', 4, true));
            if (column < 4) {
                t_Print(w, " | ");
                column++;
            } else {
                t_Cr(w);
                column = 1;
            }
        } else {
            printName(w, volume.Names[size_t(i)]);
            t_Print(w, t_MidFrom(cpm_LongEntryText(volume, i), 13));
            files++;
            if (++pageLines == 21) {
                if (!nextPage(w)) return;
                pageLines = 0;
            }
            t_Cr(w);
        }
    }
    if (mode == 1 && column != 1) t_Cr(w);
    if (files != 0) t_Cr(w);
    t_Print(w, cpm_ListingSummary(volume, files));
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
