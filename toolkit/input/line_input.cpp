// The one-line input editor.  Its whole state lives in the window record, so
// a program with its own event loop can drive t_InputEdit key by key.
#include "line_input.h"

#include <algorithm>
#include <mutex>

#include "display.h"
#include "events.h"
#include "log.h"
#include "text.h"

static std::mutex clipboardLock;
static t_ClipboardServices clipboard;

void t_SetClipboardServices(t_ClipboardServices services) {
    std::lock_guard<std::mutex> hold(clipboardLock);
    clipboard = std::move(services);
}

static t_ClipboardServices currentClipboard() {
    std::lock_guard<std::mutex> hold(clipboardLock);
    return clipboard;
}

// The common check: a graphic window that is initialised (and, where the
// operation draws, has text memory).
static bool inputWindowOk(const char *name, uint8_t window, bool needsText) {
    if (window > 7) {
        t_Log(std::string(name) + ": Window is not a graphic window.");
        return false;
    }
    const t_Window &w = t_WindowTable[window];
    if (!t_MemoryReady || !w.Initialized || (needsText && w.TextMemoryStart < 0)) {
        t_Log(std::string(name) + ": Window #" + std::to_string(window) + " not initialized.");
        return false;
    }
    return true;
}

// Shows the text at the start of the field in display mode 4, so control
// characters in it are visible.
static void repaint(uint8_t window, const std::string &text) {
    t_Window &w = t_WindowTable[window];
    w.TextHpos = w.InputHpos;
    t_DisplayMode(window, 4);
    t_Print(window, text);
    t_DisplayMode(window, 0);
}

static bool isDigit(int c) { return c >= '0' && c <= '9'; }

void t_InputInsert(uint8_t window, int code) {
    if (!inputWindowOk("t_InputInsert", window, true)) return;
    t_Window &w = t_WindowTable[window];
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
    if (!inputWindowOk("t_InputEdit", window, true)) return;
    t_Window &w = t_WindowTable[window];
    std::u32string s = t_Decode(w.InputString);
    int length = int(s.size());
    int p = std::clamp(w.InputCursorPos, 0, length);
    w.TextVpos = w.InputVpos;
    w.TextHpos = w.InputHpos + p;
    auto isBlankLeftOf = [&](int pos) { return s[size_t(pos) - 1] == U' '; };

    switch (key) {
    case 0x00:
        repaint(window, w.InputString);
        w.TextHpos = w.InputHpos + w.InputCursorPos;
        break;
    case 0x01: case 0x02: case 0x0B: case 0x12: w.InputCursorPos = 0; break;
    case 0x03: case 0x05: case 0x06: case 0x0A: w.InputCursorPos = length; break;
    case 0x04:
        if (p < length) p++;
        while (p < length && !isBlankLeftOf(p)) p++;
        w.InputCursorPos = p;
        break;
    case 0x07:
        if (p < length) s.erase(size_t(p), 1);
        w.InputString = t_Encode(s);
        repaint(window, w.InputString + " ");
        break;
    case 0x08: w.InputCursorPos = p - 1; break;
    case 0x0C: {
        t_ClipboardServices cb = currentClipboard();
        if (cb.SetText) cb.SetText(t_ResolveEscapes(w.InputString));
        break;
    }
    case 0x0D: w.InputFinished = true; break;
    case 0x13:
        if (p > 0) p--;
        while (p > 0 && !isBlankLeftOf(p)) p--;
        w.InputCursorPos = p;
        break;
    case 0x15: w.InputCursorPos = p + 1; break;
    case 0x16: {
        t_ClipboardServices cb = currentClipboard();
        std::string pasted = cb.GetText ? cb.GetText() : std::string();
        pasted = t_UnicodeEscapes(pasted);
        size_t cr = pasted.find('\r');
        if (cr != std::string::npos) pasted.resize(cr);
        t_TypeString(pasted);
        break;
    }
    case 0x18: {
        std::u32string rest = s.substr(size_t(p));
        w.InputString = t_Encode(rest);
        w.InputCursorPos = 0;
        std::u32string shown = rest + std::u32string(size_t(length), U' ');
        repaint(window, t_Encode(shown.substr(0, size_t(length))));
        break;
    }
    case 0x1A:
        w.InputString.clear();
        w.InputCursorPos = 0;
        w.TextHpos = w.InputHpos;
        t_PrintSpc(window, length);
        break;
    case 0x1B:
        w.InputString.clear();
        w.InputFinished = false;
        w.TextHpos = w.InputHpos;
        t_PrintSpc(window, length);
        break;
    case 0x1E: {
        int code = readCharacterNumber(window);
        int lowest = w.InputMode == 1 ? 1 : 32;
        if (code >= lowest && code <= 255) t_InputInsert(window, code);
        break;
    }
    case 0x1F: break;
    case 0x7F:
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
    if (!inputWindowOk("t_InputForm", window, true)) return "";
    t_Window &w = t_WindowTable[window];
    t_DisplayMode(window, 4);
    t_Print(window, prompt);
    t_DisplayMode(window, 0);
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
        t_InputEdit(window, 0x1F);
        std::u32string key = t_Decode(t_GetKey(window));
        k = key.empty() ? 0 : int(key[0]);
        t_InputEdit(window, k);
    } while (k != 0x0D && k != 0x1B);
    t_Cr(window);
    return w.InputString;
}

std::string t_InputGetString(uint8_t window) {
    if (!inputWindowOk("t_InputGetString", window, false)) return "";
    return t_WindowTable[window].InputString;
}

void t_InputSetString(uint8_t window, const std::string &text) {
    if (!inputWindowOk("t_InputSetString", window, false)) return;
    t_WindowTable[window].InputString = text;
}

int t_InputGetMaxCharacters(uint8_t window) {
    if (!inputWindowOk("t_InputGetMaxCharacters", window, false)) return 0;
    return t_WindowTable[window].InputMaxCharacters;
}
