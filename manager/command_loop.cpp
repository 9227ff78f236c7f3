// The command loop: three prompt lines, single-key commands, and V(olume.
#include "command_loop.h"

#include "commands.h"
#include "display.h"
#include "events.h"
#include "identity.h"
#include "text.h"
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
    Clears FirstClear;
    void (*Run)();
};

static const Command commands[] = {
    {'V', false, Clears::EndOfWindow, cpm_CommandVolume},
    {'D', true, Clears::EndOfWindow, [] { cpm_ListDirectory(cpm_CurrentVolume, cpm_ShortListing); }},
    {'L', true, Clears::EndOfWindow, [] { cpm_ListDirectory(cpm_CurrentVolume, cpm_LongListing); }},
    {'S', true, Clears::EndOfWindow, [] { cpm_ShowSectorMap(cpm_CurrentVolume); }},
    {'B', true, Clears::EndOfLine, cpm_CommandBlocks},
    {'N', false, Clears::EndOfWindow, cpm_CommandNew},
    {'C', true, Clears::EndOfLine, cpm_CommandChanges},
    {'E', true, Clears::EndOfLine, cpm_CommandErase},
    {'U', true, Clears::EndOfLine, cpm_CommandUnerase},
    {'A', true, Clears::EndOfLine, cpm_CommandAlphabetize},
    {'I', true, Clears::Nothing, cpm_CommandInit},
    {'P', true, Clears::EndOfLine, cpm_CommandPrint},
    {'H', true, Clears::EndOfLine, cpm_CommandHexdump},
    {'M', true, Clears::EndOfLine, cpm_CommandMacToCpm},
    {'T', true, Clears::EndOfLine, cpm_CommandCpmToMac},
};

// The key in capitals; control keys and no key at all count as a blank.
static std::string commandKey(const std::string &key) {
    std::u32string k = t_Decode(key);
    if (k.empty() || k[0] < 32) return " ";
    char32_t c = k[0];
    if (c >= 'a' && c <= 'z') c -= 32;
    return t_EncodeChar(c);
}

void cpm_CommandLoop() {
    uint8_t w = cpm_Window();
    int promptLine = 1;
    for (;;) {
        t_CursorHome(w);
        t_Print(w, cpm_PromptText(promptLine));
        t_ClearEndOfLine(w);
        std::string key = commandKey(t_GetKey(w));
        t_Print(w, key);
        t_Cr(w);
        t_ClearEndOfLine(w);
        t_Cr(w);

        if (key == "Q") return;
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
        cpm_CurrentVolume.Changed = false;
    }
}
