// The commands that change a volume or its file: C(hanges, E(rase,
// U(nerase, A(lphabetize, I(nit and N(ew.
#include "commands.h"

#include "browser.h"
#include "display.h"
#include "entry.h"
#include "image.h"
#include "line_input.h"
#include "maintenance.h"
#include "text.h"
#include "volume_file.h"
#include "volume_state.h"
#include "windows.h"

void cpm_CommandChanges() {
    uint8_t w = cpm_Window();
    if (!cpm_CurrentVolume.Changed) {
        t_Print(w, "No changes to save.");
        t_Cr(w);
        return;
    }
    char answer = cpm_Ask("Changes: S(ave  U(ndo  Q(uit ? ", "SUQ");
    if (answer == 'S') {
        t_ClearEndOfWindow(w);
        t_Cr(w);
        cpm_SaveAndReport();
        t_Cr(w);
    } else if (answer == 'U') {
        cpm_RevertCurrentVolume();
        t_ClearEndOfWindow(w);
        t_Cr(w);
        t_Print(w, "Changes undone.");
        t_Cr(w);
    }
}

// Erases the typed file of the current user area, or unerases the erased
// entries of that name into it, and reports it over the typed name.
static void setFileUser(const std::string &answer, bool erase, bool controlsVisible) {
    uint8_t w = cpm_Window();
    int area = cpm_CurrentVolume.User;
    uint8_t value = erase ? cpm_ErasedUser : uint8_t(area);
    cpm_SetUserResult r = cpm_SetFileUser(cpm_CurrentVolume, cpm_TypedName(answer), value, area);
    cpm_CurrentVolume = std::move(r.Volume);
    t_CursorUp(w);
    t_Htab(w, 24);
    if (controlsVisible) t_DisplayMode(w, t_DisplayRedControls);
    t_Print(w, r.Name);
    if (controlsVisible) t_DisplayMode(w, t_DisplayNormal);
    const char *done = erase ? " erased" : " unerased";
    if (!r.Found) t_Print(w, " not found");
    else if (!r.Message.empty()) t_Print(w, std::string(erase ? " not erased: " : " not unerased: ") + r.Message);
    else t_Print(w, done);
}

void cpm_CommandErase() { setFileUser(cpm_AskFileName(), true, true); }

void cpm_CommandUnerase() {
    uint8_t w = cpm_Window();
    setFileUser(t_InputForm(w, "Please enter filename: ", "", false, 0, 13), false, false);
}

void cpm_CommandAlphabetize() {
    uint8_t w = cpm_Window();
    char by = cpm_Ask("Alphabetize: N(ames  L(ength  Q(uit ? ", "NLQ");
    if (by == 'Q') return;
    t_ClearEndOfWindow(w);
    t_Cr(w);
    char order = cpm_Ask("Order: A(scending  D(escending  Q(uit ? ", "ADQ");
    t_Cr(w);
    if (order == 'Q') return;
    cpm_CurrentVolume = cpm_Alphabetize(std::move(cpm_CurrentVolume), by == 'N', order == 'A');
    t_Print(w, "Volume alphabetized.");
    t_Cr(w);
}

void cpm_CommandInit() {
    uint8_t w = cpm_Window();
    t_Print(w, "Erase all: Y(es  N(o ? ");
    t_ClearEndOfLine(w);
    char answer = cpm_Ask("", "YN");
    if (answer == 'N') return;
    t_ClearEndOfWindow(w);
    cpm_CurrentVolume = cpm_InitVolume(std::move(cpm_CurrentVolume));
    t_Cr(w);
    t_Print(w, "Volume initialized: " + t_PathFileName(cpm_CurrentVolume.Path));
}

void cpm_CommandNew() {
    uint8_t w = cpm_Window();
    if (!cpm_CurrentVolume.Path.empty() && cpm_CurrentVolume.Changed) {
        char answer = cpm_Ask("Save changes: S(ave  D(iscard  Q(uit ? ", "SDQ");
        if (answer == 'S') {
            cpm_SaveAndReport();
            t_Cr(w);
        } else if (answer == 'D') {
            cpm_RevertCurrentVolume();
        }
        t_Cr(w);
        if (cpm_CurrentVolume.Changed) return;
    }
    std::string answer = t_InputForm(w, "Please enter volume size (64 - 2048) in KB: ", "", false, 2, 5);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    if (answer.empty()) return;
    long long size = t_TextValue(t_StringToText(answer));
    std::string refusal = cpm_NewVolumeSizeMessage(size);
    if (!refusal.empty()) {
        t_Print(w, refusal);
        t_Cr(w);
        return;
    }
    std::string sizeText = t_NumberString(size, ' ', 1, true);
    std::string path = f_CatSave(w, "", "New CP/M Volume (" + sizeText + "K)", "Save as:", "default.vol", 5,
                                 t_WindowPos(w, t_PosTextHeight) - 10, 60, 0);
    if (path.empty()) return;
    t_Vtab(w, 5);
    t_Htab(w, 1);
    if (cpm_HostNameTaken(path) && cpm_Ask(t_PathFileName(path) + " exists. Replace it? (Y/N) ", "YN") == 'N') return;
    cpm_NewVolumeResult made = cpm_NewVolume(path, size);
    if (!made.Message.empty()) {
        // The file could not be written: the open volume stays as it was.
        t_Print(w, "Volume not created: " + made.Message);
        return;
    }
    cpm_CurrentVolume = std::move(made.Volume);
    cpm_RememberImageFile();
    t_Print(w, "Volume with " + sizeText + "K created: " + t_PathFileName(path));
}
