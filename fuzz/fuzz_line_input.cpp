// libFuzzer target for the line editor: t_InputForm without waiting, then
// t_InputEdit fed arbitrary key values, on a headless text window.
//
// Input: mode, maximum length, start column and line, then three texts
// (prompt, default text, clipboard text), each a length byte and its bytes;
// the rest are keys: a byte below F8 hex is the key itself, a byte from F8
// up is followed by three bytes of a 24-bit signed key value (negative values
// and values past the last Unicode character included).
//
// Key 1E (character by number) reads up to three more keys with t_GetKey,
// which waits while the key queue is empty: three keys of the input are
// queued before it, so it never waits.  Keys left in the queue (also those a
// paste (16 hex) queues) are then fed to the editor as t_InputForm would.
#include "display.h"
#include "events.h"
#include "line_input.h"

struct Reader {
    const uint8_t *Data;
    size_t Size;
    size_t At = 0;
    bool more() const { return At < Size; }
    uint8_t byte() { return At < Size ? Data[At++] : 0; }
    std::string text() {
        size_t n = std::min<size_t>(byte(), Size - At);
        std::string s(reinterpret_cast<const char *>(Data + At), n);
        At += n;
        return s;
    }
    int key() {
        uint8_t b = byte();
        if (b < 0xF8) return b;
        int32_t v = int32_t(uint32_t(byte()) << 24 | uint32_t(byte()) << 16 | uint32_t(byte()) << 8) >> 8;
        return v;
    }
};

static std::string clipboardText;

// One key, with the keys 1E needs queued first.
static void edit(Reader &in, int key) {
    if (key == 0x1E) {
        std::string digits;
        for (int i = 0; i < 3; i++) digits += char(in.byte() % 12 + '0');   // digits and two others
        t_TypeString(digits);
    }
    t_InputEdit(0, key);
}

// Feeds what is still queued to the editor, a bounded number of keys.
static void drainQueue(Reader &in) {
    for (int n = 0; n < 64 && t_PendingKeyEvents() > 0; n++) {
        int key = t_GetEvent();
        if (key >= 0) edit(in, key);
    }
    t_ClearEventQueues();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    if (!ready) {
        t_Font font = t_EmptyFont();
        font.Format = t_FontFormatGrey;
        font.End = 255;
        font.Width = 2;
        font.Height = 2;
        font.Data.assign(256 * 4, 0x80);
        t_InitWindow(0, 8, false, 160, 50, 0, 0, font, true);
        t_SetClipboardServices({[] { return clipboardText; }, [](const std::string &) {}});
        ready = true;
    }
    t_ClearEventQueues();
    t_FullArea(0);
    t_ClearEndOfWindow(0);
    t_Normal(0);
    t_DisplayMode(0, t_DisplayNormal);

    Reader in{data, size};
    int mode = in.byte() % 6;
    int maxCharacters = int(int8_t(in.byte())) * 2;
    t_Htab(0, 1 + in.byte() % 80);
    t_Vtab(0, 1 + in.byte() % 25);
    std::string prompt = in.text(), defaultText = in.text();
    clipboardText = in.text();
    t_InputForm(0, prompt, defaultText, true, mode, maxCharacters);
    while (in.more()) {
        edit(in, in.key());
        drainQueue(in);
        const t_Window &w = t_WindowTable[0];
        if (w.InputCursorPos < 0 || w.InputCursorPos > t_Length(w.InputString)) __builtin_trap();
        // A default text longer than the room left on the line puts the
        // cursor past the last column (drawing there is refused); the line
        // is always on the grid.
        if (w.TextHpos < 1 || w.TextVpos < 1 || w.TextVpos > w.TextHeight) __builtin_trap();
    }
    return 0;
}
