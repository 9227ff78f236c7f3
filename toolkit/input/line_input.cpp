// The one-line input editor.  Its whole state lives in the window record, so
// a program with its own event loop can drive t_InputEdit key by key.
#include "line_input.h"

#include <algorithm>

#include "display.h"
#include "events.h"
#include "key_codes.h"
#include "text.h"
#include "threads.h"

static t_Shared<t_ClipboardServices> clipboard;

void t_SetClipboardServices(t_ClipboardServices services) { clipboard.Set(std::move(services)); }

// Shows the text at the start of the field, its control characters drawn as
// red letters so that they are visible.
static void repaint(uint8_t window, const std::string &text) {
    t_Window &w = t_WindowTable[window];
    w.TextHpos = w.InputHpos;
    t_DisplayMode(window, t_DisplayRedControls);
    t_Print(window, text);
    t_DisplayMode(window, t_DisplayNormal);
}

static bool isDigit(int c) { return c >= '0' && c <= '9'; }

void t_InputInsert(uint8_t window, int code) {
    t_Window *found = t_GuardWindow("t_InputInsert", window, t_Need::Text);
    if (!found) return;
    t_Window &w = *found;
    std::u32string s = t_Decode(w.InputString);
    int length = int(s.size());
    int p = std::clamp(w.InputCursorPos, 0, length);
    if (!(w.InputHpos + length < w.TextLastColumn && length < w.InputMaxCharacters)) return;
    int c = code;
    bool accepted = false;
    switch (w.InputMode) {
    case 2: accepted = isDigit(c) || (c == '-' && p == 0); break;
    case 3:
        c = t_LowerCode(c);
        if (isDigit(c)) accepted = true;
        else if ((c == '.' || c == ',') && s.find(U',') == std::u32string::npos) accepted = true, c = ',';
        else if (c == 'e' && s.find(U'e') == std::u32string::npos) accepted = true;
        else if (c == '-' && (p == 0 || s[size_t(p) - 1] == U'e')) accepted = true;
        break;
    case 4: accepted = isDigit(c) || (c == '-' && p > 0 && s.find(U'-') == std::u32string::npos); break;
    default: accepted = c != 0; break;
    }
    if (!accepted || c < 0 || c > 0x10FFFF) return;
    s.insert(s.begin() + p, char32_t(c));
    w.InputString = t_Encode(s);
    w.InputCursorPos = p + 1;
    repaint(window, w.InputString);
}

// Reads up to three digits after Control-^ and returns the code, or -1.
static int readCharacterNumber(uint8_t window) {
    std::u32string key = t_Decode(t_GetKey(window));
    int k = key.empty() ? 0 : int(key[0]);
    if (!isDigit(k)) return -1;
    int number = k - '0';
    for (int i = 0; i < 2; i++) {
        key = t_Decode(t_GetKey(window));
        k = key.empty() ? 0 : int(key[0]);
        if (!isDigit(k)) break;
        number = number * 10 + (k - '0');
    }
    return number;
}

void t_InputEdit(uint8_t window, int key) {
    t_Window *found = t_GuardWindow("t_InputEdit", window, t_Need::Text);
    if (!found) return;
    t_Window &w = *found;
    std::u32string s = t_Decode(w.InputString);
    int length = int(s.size());
    int p = std::clamp(w.InputCursorPos, 0, length);
    w.TextVpos = w.InputVpos;
    w.TextHpos = w.InputHpos + p;
    auto isBlankLeftOf = [&](int pos) { return s[size_t(pos) - 1] == U' '; };

    switch (key) {
    case t_CodeNone:
        repaint(window, w.InputString);
        w.TextHpos = w.InputHpos + w.InputCursorPos;
        break;
    case t_CodeControlA: case t_CodeHome: case t_CodeUp: case t_CodePageUp: w.InputCursorPos = 0; break;
    case t_CodePageDown: case t_CodeEnd: case t_CodeControlF: case t_CodeDown: w.InputCursorPos = length; break;
    case t_CodeControlD:
        if (p < length) p++;
        while (p < length && !isBlankLeftOf(p)) p++;
        w.InputCursorPos = p;
        break;
    case t_CodeForwardDelete:
        if (p < length) s.erase(size_t(p), 1);
        w.InputString = t_Encode(s);
        repaint(window, w.InputString + " ");
        break;
    case t_CodeLeft: w.InputCursorPos = p - 1; break;
    case t_CodeControlL: {
        t_ClipboardServices cb = clipboard.Get();
        if (cb.SetText) cb.SetText(t_ResolveEscapes(w.InputString));
        break;
    }
    case t_CodeReturn: w.InputFinished = true; break;
    case t_CodeControlS:
        if (p > 0) p--;
        while (p > 0 && !isBlankLeftOf(p)) p--;
        w.InputCursorPos = p;
        break;
    case t_CodeRight: w.InputCursorPos = p + 1; break;
    case t_CodeControlV: {
        t_ClipboardServices cb = clipboard.Get();
        std::string pasted = cb.GetText ? cb.GetText() : std::string();
        pasted = t_UnicodeEscapes(pasted);
        size_t cr = pasted.find('\r');
        if (cr != std::string::npos) pasted.resize(cr);
        t_TypeString(pasted);
        break;
    }
    case t_CodeControlX: {
        std::u32string rest = s.substr(size_t(p));
        w.InputString = t_Encode(rest);
        w.InputCursorPos = 0;
        std::u32string shown = rest + std::u32string(size_t(length), U' ');
        repaint(window, t_Encode(shown.substr(0, size_t(length))));
        break;
    }
    case t_CodeControlZ:
        w.InputString.clear();
        w.InputCursorPos = 0;
        w.TextHpos = w.InputHpos;
        t_PrintSpc(window, length);
        break;
    case t_CodeEscape:
        w.InputString.clear();
        w.InputFinished = false;
        w.TextHpos = w.InputHpos;
        t_PrintSpc(window, length);
        break;
    case t_CodeControlCaret: {
        int code = readCharacterNumber(window);
        int lowest = w.InputMode == 1 ? 1 : 32;
        if (code >= lowest && code <= 255) t_InputInsert(window, code);
        break;
    }
    case t_CodePlaceCursor: break;
    case t_CodeDelete:
        if (p > 0) {
            s.erase(size_t(p) - 1, 1);
            w.InputCursorPos = p - 1;
        }
        w.InputString = t_Encode(s);
        repaint(window, w.InputString + " ");
        break;
    default:
        if (key >= 0x20) t_InputInsert(window, key);
        break;
    }
    w.InputCursorPos = std::clamp(w.InputCursorPos, 0, t_Length(w.InputString));
}

std::string t_InputForm(uint8_t window, const std::string &prompt, const std::string &defaultText, bool noWait,
                        int mode, int maxCharacters) {
    t_Window *found = t_GuardWindow("t_InputForm", window, t_Need::Text);
    if (!found) return "";
    t_Window &w = *found;
    t_DisplayMode(window, t_DisplayRedControls);
    t_Print(window, prompt);
    t_DisplayMode(window, t_DisplayNormal);
    w.InputHpos = w.TextHpos;
    w.InputVpos = w.TextVpos;
    w.InputMode = mode;
    w.InputMaxCharacters = maxCharacters;
    w.InputString = maxCharacters < 1 ? std::string() : t_Left(defaultText, maxCharacters);
    w.InputFinished = false;
    w.InputCursorPos = t_Length(w.InputString);
    t_Print(window, w.InputString);
    if (noWait) return w.InputString;
    int k;
    do {
        t_InputEdit(window, t_CodePlaceCursor);
        std::u32string key = t_Decode(t_GetKey(window));
        k = key.empty() ? 0 : int(key[0]);
        t_InputEdit(window, k);
    } while (k != t_CodeReturn && k != t_CodeEscape);
    t_Cr(window);
    return w.InputString;
}

std::string t_InputGetString(uint8_t window) {
    t_Window *w = t_GuardWindow("t_InputGetString", window, t_Need::Window);
    return w ? w->InputString : "";
}

void t_InputSetString(uint8_t window, const std::string &text) {
    if (t_Window *w = t_GuardWindow("t_InputSetString", window, t_Need::Window)) w->InputString = text;
}

int t_InputGetMaxCharacters(uint8_t window) {
    t_Window *w = t_GuardWindow("t_InputGetMaxCharacters", window, t_Need::Window);
    return w ? w->InputMaxCharacters : 0;
}
