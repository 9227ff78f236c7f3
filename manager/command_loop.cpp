// The command loop: three prompt lines, single-key commands, and V(olume.
#include "command_loop.h"

#include "commands.h"
#include "display.h"
#include "events.h"
#include "format_menu.h"
#include "slice_menu.h"
#include "identity.h"
#include "quit.h"
#include "text.h"
#include "user_area.h"
#include "volume_state.h"

static const char *const promptTexts[3] = {
    "Diskwright: V(olume  D(irectory  L(ong Dir  S(ector Map  N(ew  Q(uit  [",
    "Diskwright: C(hanges  E(rase  U(nerase  A(lphabetize  I(nit  B(locks  [",
    "Diskwright: P(rint  H(exdump  M(ac --> CP/M  T(ransfer CP/M --> Mac   [",
};

std::string cpm_PromptText(int line) { return std::string(promptTexts[(line - 1) % 3]) + cpm_Version + "] ? "; }

// How a command starts: the first thing it clears.
enum class Clears { Nothing, EndOfLine, EndOfWindow };

struct Command {
    char Key;
    bool NeedsVolume;
    bool Changes;            // refused at once on a volume that must not be changed
    Clears FirstClear;
    void (*Run)();
};

static const Command commands[] = {
    {'V', false, false, Clears::EndOfWindow, cpm_CommandVolume},
    {'D', true, false, Clears::EndOfWindow, [] { cpm_ListDirectory(cpm_CurrentVolume, cpm_ShortListing); }},
    {'L', true, false, Clears::EndOfWindow, [] { cpm_ListDirectory(cpm_CurrentVolume, cpm_LongListing); }},
    {'S', true, false, Clears::EndOfWindow, [] { cpm_ShowSectorMap(cpm_CurrentVolume); }},
    {'B', true, false, Clears::EndOfLine, cpm_CommandBlocks},
    {'N', false, false, Clears::EndOfWindow, cpm_CommandNew},
    {'C', true, false, Clears::EndOfLine, cpm_CommandChanges},
    {'E', true, true, Clears::EndOfLine, cpm_CommandErase},
    {'U', true, true, Clears::EndOfLine, cpm_CommandUnerase},
    {'A', true, true, Clears::EndOfLine, cpm_CommandAlphabetize},
    {'I', true, true, Clears::Nothing, cpm_CommandInit},
    {'P', true, false, Clears::EndOfLine, cpm_CommandPrint},
    {'H', true, false, Clears::EndOfLine, cpm_CommandHexdump},
    {'M', true, true, Clears::EndOfLine, cpm_CommandMacToCpm},
    {'T', true, false, Clears::EndOfLine, cpm_CommandCpmToMac},
};

// The key in capitals; control keys and no key at all count as a blank.
static std::string commandKey(const std::string &key) {
    std::u32string k = t_Decode(key);
    if (k.empty() || k[0] < 32) return " ";
    char32_t c = k[0];
    if (c >= 'a' && c <= 'z') c -= 32;
    return t_EncodeChar(c);
}

bool cpm_ConfirmQuit() {
    if (cpm_CurrentVolume.Path.empty() || !cpm_CurrentVolume.Changed) return true;
    uint8_t w = cpm_Window();
    t_ClearEndOfWindow(w);
    char answer = cpm_Ask("Save changes before quitting: S(ave  D(iscard  C(ancel ? ", "SDC", 'C');
    if (answer != 'S') return answer == 'D';
    t_Cr(w);
    bool saved = cpm_SaveAndReport();
    t_Cr(w);
    return saved;
}

void cpm_AnswerQuitRequest() {
    if (cpm_CurrentVolume.Path.empty() || !cpm_CurrentVolume.Changed) {
        t_QuitApplication();
        return;
    }
    switch (t_AskSaveChanges(t_PathFileName(cpm_CurrentVolume.Path))) {
    case t_SaveChangesAnswer::Cancel: return;
    case t_SaveChangesAnswer::Discard: t_QuitApplication(); return;
    case t_SaveChangesAnswer::Save: {
        std::string refusal = cpm_SaveCurrentVolume();
        if (refusal.empty()) t_QuitApplication();
        else t_Alert(refusal);
        return;
    }
    }
}

void cpm_CommandLoop() {
    uint8_t w = cpm_Window();
    int promptLine = 1;
    for (;;) {
        // Only at the prompt: a choice made in the Format menu must be taken
        // against the list that was shown when it was made.
        if (!t_MenuChoiceAvailable) cpm_UpdateFormatMenu();
        if (!t_MenuChoiceAvailable) cpm_UpdateSliceMenu();
        cpm_ShowUserAreaInMenu();
        t_CursorHome(w);
        t_Print(w, cpm_PromptText(promptLine));
        t_ClearEndOfLine(w);
        // Choices of the program's own menus are taken here, never while a command runs.
        t_PromptInput input = t_GetKeyOrMenuChoice(w);
        if (input.MenuChoice) {
            if (input.Menu == cpm_FormatMenu) cpm_TakeFormatChoice(input.Item);
            else if (input.Menu == cpm_SliceMenu) cpm_TakeSliceChoice(input.Item);
            else cpm_TakeMenuChoice(input.Menu, input.Item);
            continue;
        }
        std::string key = commandKey(input.Key);
        t_Print(w, key);
        t_Cr(w);
        t_ClearEndOfLine(w);
        t_Cr(w);

        if (key == "Q") {
            if (cpm_ConfirmQuit()) return;
            continue;
        }
        if (key == " ") {
            promptLine = 1;
            t_CursorHome(w);
            t_Cr(w);
            t_ClearEndOfWindow(w);
            continue;
        }
        if (key == "?") {
            promptLine = promptLine % 3 + 1;
            continue;
        }
        for (const Command &c : commands) {
            if (key.size() != 1 || key[0] != c.Key) continue;
            if (c.FirstClear == Clears::EndOfLine) t_ClearEndOfLine(w);
            if (c.FirstClear == Clears::EndOfWindow) t_ClearEndOfWindow(w);
            if (c.NeedsVolume && cpm_CurrentVolume.Path.empty()) {
                t_Print(w, "Select a V(olume first.");
                t_Cr(w);
            } else if (c.Changes && !cpm_CurrentVolume.Refusal.empty()) {
                t_Print(w, cpm_CurrentVolume.Refusal);
                t_Cr(w);
            } else {
                c.Run();
            }
            break;
        }
    }
}

void cpm_CommandVolume() {
    uint8_t w = cpm_Window();
    if (!cpm_CurrentVolume.Changed) {
        cpm_CurrentVolume = cpm_OpenVolume(t_PathDirectory(cpm_CurrentVolume.Path));
        if (!cpm_CurrentVolume.Path.empty()) {
            t_Vtab(w, 2);
            t_Htab(w, 1);
            t_ClearEndOfWindow(w);
            t_Cr(w);
            cpm_PrintVolumeName(cpm_CurrentVolume);
        }
        return;
    }
    char answer = cpm_Ask("Save changes: S(ave  D(iscard  Q(uit ? ", "SDQ");
    if (answer == 'S') {
        t_Cr(w);
        cpm_SaveAndReport();
        t_Cr(w);
    } else if (answer == 'D') {
        cpm_RevertCurrentVolume();
    }
}
