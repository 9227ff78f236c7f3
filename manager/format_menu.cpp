// The Format menu: the definitions an image of the open volume's size may be
// read with.  A choice reopens the image with it (after asking about unsaved
// changes, as V does) and is remembered for the file.
#include "format_menu.h"

#include "display.h"
#include "menu_choices.h"
#include "screen_text.h"
#include "text.h"
#include "volume_file.h"
#include "volume_state.h"

static const char *const formatMenu = "Format";

void cpm_UpdateFormatMenu() {
    static std::string shown = "-";
    const cpm_Volume &v = cpm_CurrentVolume;
    std::string now = v.Path + "\t" + v.Definition + "\t" + std::to_string(v.Image.size());
    if (now == shown) return;
    shown = now;
    std::vector<std::string> items;
    int checked = -1;
    if (!v.Path.empty())
        for (const cpm_Definition *d : cpm_DefinitionsForSize(v.Image.size())) {
            if (d->Name == v.Definition) checked = int(items.size());
            items.push_back(d->Name);
        }
    t_SetMenuChoices(formatMenu, items, checked);
}

bool cpm_IsMenuChoiceKey(const std::string &key) { return key == t_EncodeChar(char32_t(t_MenuChoiceKey)); }

// Reopens the current image with the definition of that name.
static void reopenWith(const std::string &name) {
    uint8_t w = cpm_Window();
    if (cpm_CurrentVolume.Path.empty() || !cpm_FindDefinition(name)) return;
    t_Cr(w);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    if (cpm_CurrentVolume.Changed) {
        char answer = cpm_Ask("Save changes: S(ave  D(iscard  Q(uit ? ", "SDQ");
        if (answer == 'Q') return;
        if (answer == 'S') {
            t_Cr(w);
            if (!cpm_SaveAndReport()) return;
            t_Cr(w);
        }
    }
    std::string path = cpm_CurrentVolume.Path, refusal;
    cpm_Volume v = cpm_LoadImageFile(path, refusal, name);
    if (v.Path.empty()) {
        t_Print(w, refusal.empty() ? "Image file could not be read." : refusal);
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

void cpm_ServeMenuChoices() {
    std::string menu, item;
    while (t_TakeMenuChoice(menu, item))
        if (menu == formatMenu) reopenWith(item);
}
