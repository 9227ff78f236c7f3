// t_Print and its relatives: the terminal of the toolkit.
#include "text_output.h"

#include "glyphs.h"
#include "host_hooks.h"
#include "key_codes.h"
#include "log.h"
#include "text_area.h"
#include "video_memory.h"

static t_PauseOnKeyHook pauseOnKey;

void t_SetPauseOnKey(t_PauseOnKeyHook hook) { pauseOnKey = std::move(hook); }

static t_PauseResult pauseRule() {
    if (!pauseOnKey) return {};
    return pauseOnKey(t_CodeControlS, true);
}

// --- attributes --------------------------------------------------------------

void t_RedirectOutput(uint8_t window, int mode) {
    if (t_Window *w = t_GuardWindow("t_RedirectOutput", window, t_Need::Window)) w->TextRedirectOutput = mode;
}

void t_Normal(uint8_t window) {
    if (t_Window *w = t_GuardWindow("t_Normal", window, t_Need::Window)) w->TextInverse = false;
}

void t_Inverse(uint8_t window) {
    if (t_Window *w = t_GuardWindow("t_Inverse", window, t_Need::Window)) w->TextInverse = true;
}

void t_Reverse(uint8_t window) {
    if (t_Window *w = t_GuardWindow("t_Reverse", window, t_Need::Window)) w->TextInverse = !w->TextInverse;
}

void t_Color(uint8_t window, int colour) {
    t_Window *w = t_GuardWindow("t_Color", window, t_Need::Window);
    if (!w) return;
    w->TextColor = uint8_t((colour * 16) | (w->TextColor & 0x0F));
    w->RGBColor = t_PaletteColor(colour & 15);
}

void t_DisplayMode(uint8_t window, int mode) {
    if (t_Window *w = t_GuardWindow("t_DisplayMode", window, t_Need::Window)) w->TextDisplayMode = mode;
}

// --- escape commands -----------------------------------------------------------

// Tab stops every `every` columns; past the area's width the line is
// cleared and the cursor goes to the next line.
static void tabStop(uint8_t window, t_Window &w, int every) {
    int target = (w.TextHpos / every) * every + every + 1;
    if (w.TextWidth - w.TextFirstColumn + 1 < target) {
        t_ClearEndOfLine(window);
        t_Cr(window);
    } else {
        t_PrintTab(window, target, 32);
    }
}

// Performs the escape command c; false when c is no command.
static bool escapeCommand(uint8_t window, t_Window &w, int c) {
    if (c >= 64 && c <= 79) {
        w.TextDisplayMode = t_DisplayNormal;
        w.TextColor = uint8_t(((c - 64) << 4) | (w.TextColor & 0x0F));
    } else if (c >= 80 && c <= 95) {
        w.TextDisplayMode = t_DisplayNormal;
        w.TextColor = uint8_t((w.TextColor & 0xF0) | (c - 80));
    } else if (c == 'e') {
        w.TextDisplayMode = t_DisplayNormal;
        t_CursorEnd(window);
    } else if (c == 'f') {
        w.TextDisplayMode = t_DisplayNormal;
        t_Htab(window, w.TextWidth - w.TextFirstColumn + 1);
    } else if (c == 'i' || c == 'j' || c == 'k') {
        w.TextDisplayMode = t_DisplayNormal;
        tabStop(window, w, c == 'i' ? 10 : c == 'j' ? 20 : 40);
    } else if (c >= 110 && c <= 127) {
        w.TextDisplayMode = t_DisplayNormal;
        t_ColorBorder(window, c - 110);
    } else {
        return false;
    }
    return true;
}

t_DisplayResult t_ApplyDisplayMode(uint8_t window, int c) {
    t_Window *w = t_GuardWindow("t_ApplyDisplayMode", window, t_Need::Text);
    if (!w) return t_DisplayResult{-2, false, 0xF0};
    t_DisplayResult r{c, w->TextInverse, w->TextColor};
    switch (w->TextDisplayMode) {
    case t_DisplayHigh:
        if (c >= 32 && c <= 127) r.Code = c + 128;
        break;
    case t_DisplayMouseText:
        if (c >= 96 && c <= 127) r.Code = c + 32;
        else if (c >= 64 && c <= 95) r.Code = c - 64;
        break;
    case t_DisplayInverseControls:
        if (c <= 31) {
            t_Inverse(window);
            r.Code = c + 64;
        }
        break;
    case t_DisplayRedControls:
        if (c <= 31) {
            t_Color(window, 1);
            r.Code = c + 64;
        }
        break;
    case t_DisplayEscape:
        if (escapeCommand(window, *w, c)) r = t_DisplayResult{-1, w->TextInverse, w->TextColor};
        break;
    default: break;
    }
    return r;
}

// --- output ----------------------------------------------------------------

static void drawAtCursor(uint8_t window, t_Window &w, int code) {
    t_PrintSymbol(window, uint8_t(code), w.TextColor, w.TextHpos, w.TextVpos);
    t_CursorRight(window);
}

void t_PrintChar(uint8_t window, uint8_t code) {
    t_Window *w = t_GuardWindow("t_PrintChar", window, t_Need::Text);
    if (!w) return;
    t_DisplayResult r = t_ApplyDisplayMode(window, code);
    if (r.Code >= 0 && r.Code <= 255) drawAtCursor(window, *w, r.Code);
    w->TextInverse = r.Inverse;
    w->TextColor = r.Color;
}

void t_PrintTab(uint8_t window, int column, uint8_t fill) {
    t_Window *w = t_GuardWindow("t_PrintTab", window, t_Need::Text);
    if (!w) return;
    for (int n = column - w->TextHpos; n >= 1; n--) t_PrintChar(window, fill);
}

void t_PrintSpc(uint8_t window, int count) {
    if (!t_GuardWindow("t_PrintSpc", window, t_Need::Text)) return;
    for (int n = 0; n < count; n++) t_PrintChar(window, 32);
}

void t_PrintControl(uint8_t window, uint8_t code) {
    t_Window *found = t_GuardWindow("t_PrintControl", window, t_Need::Text);
    if (!found) return;
    t_Window &w = *found;
    if (w.TextRedirectOutput == 2) t_LogPart(std::string(1, char(code)));
    if (w.TextRedirectOutput != 1) return;
    switch (code) {
    case 7: t_Host().Bell(); break;
    case 8: t_CursorLeft(window); break;
    case 10: t_CursorDown(window); break;
    case 11: t_ClearEndOfWindow(window); break;
    case 12:
        t_CursorHome(window);
        t_ClearEndOfWindow(window);
        break;
    case 13: t_Cr(window); break;
    case 14: t_Normal(window); break;
    case 15: t_Inverse(window); break;
    case 17: t_Reverse(window); break;
    case 18: t_Htab(window, 1); break;
    case 19: w.TextDisplayMode = t_DisplayNormal; break;
    case 20: w.TextDisplayMode = t_DisplayHigh; break;
    case 22: t_ScrollDown(window); break;
    case 23: t_ScrollUp(window); break;
    case 25: t_CursorHome(window); break;
    case 26:
        t_Htab(window, 1);
        t_ClearEndOfLine(window);
        break;
    case 27: w.TextDisplayMode = t_DisplayEscape; break;
    case 28: t_CursorRight(window); break;
    case 29: t_ClearEndOfLine(window); break;
    case 30: t_CursorUp(window); break;
    case 31: w.TextDisplayMode = t_DisplayMouseText; break;
    default: break;
    }
}

// One character of t_Print; c is a Unicode value (or a byte).
static void printOne(uint8_t window, t_Window &w, char32_t c) {
    // A plain character in the normal mode is drawn as it is and leaves the
    // attributes as they are, so the display-mode translation is passed over.
    if (c >= 32 && c <= 255 && w.TextDisplayMode == t_DisplayNormal && w.TextRedirectOutput == 1) {
        t_PutSymbol(window, w, uint8_t(c), w.TextColor, w.TextHpos, w.TextVpos);
        if (++w.TextHpos > w.TextLastColumn) t_Cr(window);
        return;
    }
    if (c < 32 && w.TextDisplayMode < t_DisplayInverseControls) {
        if (c == 13) pauseRule();
        t_PrintControl(window, uint8_t(c));
        return;
    }
    // Values beyond the range of int cannot be glyphs; they stay above 255.
    int code = c > 0x10FFFF ? 0x10FFFF : int(c);
    t_DisplayResult r = t_ApplyDisplayMode(window, code);
    if (r.Code >= 0 && r.Code <= 255) {
        drawAtCursor(window, w, r.Code);
    } else if (r.Code > 255) {
        if (w.TextDisplayMode == t_DisplayRedControls) t_Color(window, 1);
        drawAtCursor(window, w, '?');
    }
    w.TextInverse = r.Inverse;
    w.TextColor = r.Color;
}

// The guard and font test of both forms of t_Print.
static t_Window *printWindow(uint8_t window) {
    t_Window *w = t_GuardWindow("t_Print", window, t_Need::Text);
    if (w && w->Font.Data.empty()) {
        t_Log("t_Print: Window #" + std::to_string(window) + " has no text font.");
        return nullptr;
    }
    return w;
}

void t_Print(uint8_t window, const std::string &text) {
    t_Window *w = printWindow(window);
    if (!w) return;
    for (char32_t c : t_Decode(text)) printOne(window, *w, c);
    pauseRule();
}

t_PrintResult t_Print(uint8_t window, const Text &bytes) {
    t_Window *w = printWindow(window);
    if (!w) return {};
    for (uint8_t b : bytes.Elements) printOne(window, *w, b);
    t_PauseResult p = pauseRule();
    return t_PrintResult{p.Paused, p.Paused ? p.Key : 0};
}
