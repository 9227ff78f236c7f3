// The Format menu: the definitions an image of the open volume's size may be
// read with.  A choice reopens the image with it (after asking about unsaved
// changes, as V does) and is remembered for the file.
#include "format_menu.h"

#include <vector>

#include "definitions.h"
#include "display.h"
#include "listing.h"
#include "menus.h"
#include "slices.h"
#include "text.h"
#include "volume_file.h"
#include "volume_state.h"

const char *const cpm_FormatMenu = "Format";

// The items the menu shows, and the image they were listed for.
static std::vector<std::string> shownItems;
static std::string shownFor = "-";

// The image a list of definitions belongs to: its path, size and definition,
// and whether that was chosen (an unclear reading shows no check).
static std::string listKey(const cpm_Volume &v) {
    return v.Path + "\t" + std::to_string(v.Image.size()) + "\t" + v.Definition + "\t" + v.Refusal;
}

void cpm_UpdateFormatMenu() {
    const cpm_Volume &v = cpm_CurrentVolume;
    std::string key = listKey(v);
    if (key == shownFor) return;
    shownFor = std::move(key);
    shownItems.clear();
    int checked = -1;
    if (!v.Path.empty())
        for (const cpm_Definition *d : cpm_DefinitionsForSize(v.Image.size())) {
            // While the readings tie, the menu checks none of them.
            if (d->Name == v.Definition && !cpm_FormatUnclear(v)) checked = int(shownItems.size());
            shownItems.push_back(d->Name);
        }
    t_MenuSetItems(cpm_FormatMenu, shownItems, checked);
}

// Reopens the current image with the definition of that name.
static void reopenWith(const std::string &name) {
    uint8_t w = cpm_Window();
    if (cpm_CurrentVolume.Path.empty() || !cpm_FindDefinition(name)) return;
    t_Cr(w);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    if (!cpm_SaveBeforeReopening()) return;
    std::string path = cpm_SlicePathOf(cpm_CurrentVolume), refusal;
    cpm_Volume v = cpm_LoadImageFile(path, refusal, name);
    if (v.Path.empty()) {
        t_Print(w, refusal.empty() ? "Image file could not be read." : t_PathFileName(path) + ": " + refusal);
        t_Cr(w);
        return;
    }
    cpm_CurrentVolume = std::move(v);
    std::string error = cpm_RememberFormat(path, name);
    t_Vtab(w, 2);
    t_Htab(w, 1);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    cpm_PrintVolumeName(cpm_CurrentVolume);
    if (!error.empty()) {
        t_Print(w, "Format not remembered: " + error);
        t_Cr(w);
    }
}

void cpm_TakeFormatChoice(int item) {
    if (listKey(cpm_CurrentVolume) != shownFor || item < 0 || item >= int(shownItems.size())) return;
    reopenWith(shownItems[size_t(item)]);
}
