// The current volume, opening volumes and the dialogue pieces every command uses.
#include "volume_state.h"

#include "browser.h"
#include "display.h"
#include "events.h"
#include "image.h"
#include "line_input.h"
#include "listing.h"
#include "read.h"
#include "slices.h"
#include "text.h"
#include "user_areas.h"
#include "volume_file.h"
#include "windows.h"

cpm_Volume cpm_CurrentVolume = cpm_EmptyVolume();

uint8_t cpm_Window() { return t_DefaultWindow; }

cpm_Volume cpm_OpenVolume(const std::string &startFolder) {
    uint8_t w = cpm_Window();
    const int listHeight = t_WindowPos(w, t_PosTextHeight) - 10;
    std::string path = f_CatOpen(w, startFolder, "CP/M Volume öffnen", "", 5, listHeight, 60, 0);
    // Below the prompt the screen is empty again; a refusal stands on line 3.
    t_Vtab(w, 2);
    t_Htab(w, 1);
    t_ClearEndOfWindow(w);
    if (path.empty()) return cpm_EmptyVolume();
    std::string refusal;
    cpm_Volume volume = cpm_LoadImageFile(path, refusal);
    if (!refusal.empty()) {
        t_Cr(w);
        t_Print(w, t_PathFileName(path) + ": " + refusal);
        t_Cr(w);
    }
    return volume;
}

static const char escapeKey = 0x1B;

static char upperKey(const std::string &key) {
    std::u32string k = t_Decode(key);
    if (k.empty()) return 0;
    char32_t c = k[0];
    if (c >= 'a' && c <= 'z') c -= 32;
    return c < 128 ? char(c) : 0;
}

char cpm_Ask(const std::string &question, const std::string &letters, char onEscape) {
    uint8_t w = cpm_Window();
    t_Print(w, question);
    for (;;) {
        char c = upperKey(t_GetKey(w));
        if (c == escapeKey && onEscape) c = onEscape;
        if (c >= 32 && letters.find(c) != std::string::npos) {
            t_Print(w, std::string(1, c));
            t_Cr(w);
            return c;
        }
    }
}

std::string cpm_AskFileName() {
    uint8_t w = cpm_Window();
    t_Print(w, "Please enter filename: ");
    return t_InputForm(w, "", "", false, 0, 13);
}

Text cpm_TypedName(const std::string &answer) {
    return cpm_TypedFileName(cpm_CurrentVolume, t_StringToText(answer), cpm_CurrentVolume.User);
}

std::string cpm_SaveCurrentVolume() {
    // Held to the end: no tool writes between the comparison and the save.
    // A mounted image changes only through its mount: refused at once
    // instead of waiting for its lock.
    std::string file = cpm_CurrentVolume.Path;
    int slice = 0;
    cpm_SplitSlicePath(cpm_CurrentVolume.Path, file, slice);
    cpm_ImageLock lock(file);
    if (lock.Mounted) return t_PathFileName(cpm_CurrentVolume.Path) + " is mounted: not changed.";
    // Nothing is overwritten: the volume stays changed, and the user chooses
    // between U(ndo (the disk's version) and copying out first.
    if (cpm_ImageChangedOnDisk()) return "Image changed on disk: not saved.";
    if (cpm_CurrentVolume.ReadOnly) return "Image file is read-only.";
    // Never written, whatever changed it in memory.
    if (!cpm_CurrentVolume.Refusal.empty()) return cpm_CurrentVolume.Refusal;
    cpm_SaveVolumeResult saved = cpm_SaveVolume(cpm_CurrentVolume);
    // On failure the volume stays changed: nothing was lost, and the user can try again.
    if (!saved.Message.empty() && saved.Volume.Changed) return "Changes not saved: " + saved.Message;
    cpm_CurrentVolume = std::move(saved.Volume);
    cpm_RememberImageFile();
    return saved.Message;   // "", or saved with its folder not flushed
}

bool cpm_SaveAndReport() {
    std::string refusal = cpm_SaveCurrentVolume();
    t_Print(cpm_Window(), refusal.empty() ? "Changes saved." : refusal);
    return refusal.empty();
}

bool cpm_SaveBeforeReopening() {
    if (!cpm_CurrentVolume.Changed) return true;
    uint8_t w = cpm_Window();
    char answer = cpm_Ask("Save changes: S(ave  D(iscard  Q(uit ? ", "SDQ");
    if (answer == 'Q') return false;
    if (answer == 'S') {
        t_Cr(w);
        if (!cpm_SaveAndReport()) return false;
        t_Cr(w);
    }
    return true;
}

void cpm_RevertCurrentVolume() {
    std::string refusal;
    int user = cpm_CurrentVolume.User;   // the same volume again: the same user area
    cpm_CurrentVolume = cpm_LoadImageFile(cpm_SlicePathOf(cpm_CurrentVolume), refusal);
    if (user != 0 && !cpm_CurrentVolume.Path.empty()) cpm_CurrentVolume = cpm_SelectUser(std::move(cpm_CurrentVolume), user);
}

void cpm_PrintVolumeName(const cpm_Volume &volume) {
    uint8_t w = cpm_Window();
    t_Print(w, cpm_VolumeHeading(volume));
    t_Cr(w);
    if (!volume.Notice.empty()) {
        t_Print(w, volume.Notice);
        t_Cr(w);
    }
    if (volume.Refusal.empty()) return;
    t_Print(w, volume.Refusal);
    t_Cr(w);
}
