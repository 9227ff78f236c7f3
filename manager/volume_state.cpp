// The current volume, opening volumes and the dialogue pieces every command uses.
#include "volume_state.h"

#include "browser.h"
#include "display.h"
#include "events.h"
#include "line_input.h"
#include "screen_text.h"
#include "text.h"
#include "windows.h"

cpm_Volume cpm_CurrentVolume = cpm_EmptyVolume();

uint8_t cpm_Window() { return t_DefaultWindow; }

cpm_Volume cpm_OpenVolume(const std::string &startFolder) {
    uint8_t w = cpm_Window();
    const int listHeight = t_WindowPos(w, t_PosTextHeight) - 10;
    std::string path = f_CatOpen(w, startFolder, "CP/M Volume öffnen", "", 5, listHeight, 60, 0);
    if (path.empty()) return cpm_EmptyVolume();
    return cpm_LoadVolume(path);
}

static char upperKey(const std::string &key) {
    std::u32string k = t_Decode(key);
    if (k.empty()) return 0;
    char32_t c = k[0];
    if (c >= 'a' && c <= 'z') c -= 32;
    return c < 128 ? char(c) : 0;
}

char cpm_Ask(const std::string &question, const std::string &letters) {
    uint8_t w = cpm_Window();
    t_Print(w, question);
    for (;;) {
        char c = upperKey(t_GetKey(w));
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

Text cpm_TypedName(const std::string &answer) { return t_TextUpperCase(t_StringToText(answer)); }

bool cpm_SaveAndReport() {
    uint8_t w = cpm_Window();
    if (cpm_CurrentVolume.ReadOnly) {
        t_Print(w, "Image file is read-only.");
        return false;
    }
    cpm_SaveVolumeResult saved = cpm_SaveVolume(cpm_CurrentVolume);
    if (!saved.Message.empty()) {
        // The volume stays changed: nothing was lost, and the user can try again.
        t_Print(w, "Changes not saved: " + saved.Message);
        return false;
    }
    cpm_CurrentVolume = std::move(saved.Volume);
    t_Print(w, "Changes saved.");
    return true;
}

void cpm_PrintVolumeName(const cpm_Volume &volume) {
    uint8_t w = cpm_Window();
    t_Print(w, cpm_VolumeHeading(volume));
    t_Cr(w);
}
