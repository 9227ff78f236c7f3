// The Slice menu: the slices of the open image, read from their directories
// only, and a choice that opens another slice of the same file.
#include "slice_menu.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "display.h"
#include "files.h"
#include "menus.h"
#include "slices.h"
#include "text.h"
#include "volume_file.h"
#include "volume_state.h"

const char *const cpm_SliceMenu = "Slice";

// The items shown, and the volume they were listed for.
static std::vector<std::string> shownItems;
static std::string shownFor = "-";

// The open slice as a list key: its file, its number, and its bytes as last
// read or saved (a save changes the counts of files).
static std::string listKey(const cpm_Volume &v) {
    if (v.Path.empty() || v.SliceCount <= 1) return "";
    return v.Path + "\t" + std::to_string(v.Slice) + "\t" + std::to_string(v.SliceHash);
}

void cpm_UpdateSliceMenu() {
    const cpm_Volume &v = cpm_CurrentVolume;
    std::string key = listKey(v);
    if (key == shownFor) return;
    shownFor = key;
    shownItems.clear();
    if (!key.empty()) {
        int fd = -1;
        long long size = 0;
        if (t_OpenRegularFile(v.Path, fd, size) == 0) {
            cpm_SliceTable table = cpm_FindSlicesIn(fd, size);
            for (size_t i = 0; i < table.Slices.size(); i++)
                shownItems.push_back(std::to_string(i) + ": " + cpm_SliceLabel(cpm_SummariseSlice(fd, table.Slices[i])));
            close(fd);
        }
    }
    t_MenuSetItems(cpm_SliceMenu, shownItems, shownItems.empty() ? -1 : v.Slice);
}

void cpm_TakeSliceChoice(int item) {
    if (listKey(cpm_CurrentVolume) != shownFor || shownFor.empty() || item < 0 || item >= int(shownItems.size()))
        return;
    uint8_t w = cpm_Window();
    t_Cr(w);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    if (!cpm_SaveBeforeReopening()) return;
    std::string path = cpm_CurrentVolume.Path + "@" + std::to_string(item), refusal;
    cpm_Volume v = cpm_LoadImageFile(path, refusal);
    if (v.Path.empty()) {
        t_Print(w, refusal.empty() ? "Image file could not be read." : t_PathFileName(path) + ": " + refusal);
        t_Cr(w);
        return;
    }
    cpm_CurrentVolume = std::move(v);
    t_Vtab(w, 2);
    t_Htab(w, 1);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    cpm_PrintVolumeName(cpm_CurrentVolume);
}
