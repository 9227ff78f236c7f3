// libFuzzer target for text output: the byte form of t_Print on a headless
// text window, with every control code, escape sequence and display mode,
// mixed with scrolling, text areas and cursor positions from the input.
//
// Input: byte 0 the display mode set with t_DisplayMode first, byte 1 the
// bit depth, bytes 2 and 3 the grid (columns, lines); then commands of one
// byte each, most followed by operands:
//   0-3   print the next n bytes (n = the following byte)
//   4     t_ScrollUp             5  t_ScrollDown
//   6     t_Area with four signed operand bytes
//   7     t_DisplayMode with one operand byte, raw (any value)
//   8     t_Htab, t_Vtab with two signed operand bytes
//   9     t_FullArea             10 t_PrintTab with two operand bytes
//   11    t_Color                12 t_PrintSpc
// A command value is taken modulo 13.
#include "display.h"

// The display modes the toolkit knows, and one it does not.
static const int displayModes[] = {0, 1, 2, 3, 4, 99, 5};
static const int bitDepths[] = {1, 4, 8, 16, 24, 32};

// A grey font of 2 x 2 pixels: each glyph's pixels differ, so drawing is
// not a no-op at any depth.
static t_Font tinyFont() {
    t_Font f = t_EmptyFont();
    f.Format = t_FontFormatGrey;
    f.Start = 0;
    f.End = 255;
    f.Width = 2;
    f.Height = 2;
    f.Data.resize(256 * 4);
    for (size_t i = 0; i < f.Data.size(); i++) f.Data[i] = uint8_t(i * 37);
    return f;
}

// Reads the input front to back; missing bytes read as 0.
struct Reader {
    const uint8_t *Data;
    size_t Size;
    size_t At = 0;
    bool more() const { return At < Size; }
    uint8_t byte() { return At < Size ? Data[At++] : 0; }
    int signedByte() { return int(int8_t(byte())); }
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const t_Font font = tinyFont();
    Reader in{data, size};
    int mode = displayModes[in.byte() % 7];
    int depth = bitDepths[in.byte() % 6];
    int columns = 16 + in.byte() % 72, lines = 16 + in.byte() % 16;
    t_InitWindow(0, depth, false, columns * font.Width, lines * font.Height, 0, 0, font, true);
    if (!t_WindowTable[0].Initialized) __builtin_trap();
    t_DisplayMode(0, mode);

    while (in.more()) {
        switch (in.byte() % 13) {
        case 0: case 1: case 2: case 3: {
            size_t n = std::min<size_t>(in.byte(), size - in.At);
            Text bytes{std::vector<uint8_t>(data + in.At, data + in.At + n)};
            in.At += n;
            t_Print(0, bytes);
            break;
        }
        case 4: t_ScrollUp(0); break;
        case 5: t_ScrollDown(0); break;
        case 6: {
            int a = in.signedByte(), b = in.signedByte(), c = in.signedByte(), d = in.signedByte();
            t_Area(0, a, b, c, d);
            break;
        }
        case 7: t_DisplayMode(0, in.byte()); break;
        case 8:
            t_Htab(0, in.signedByte());
            t_Vtab(0, in.signedByte());
            break;
        case 9: t_FullArea(0); break;
        case 10: t_PrintTab(0, in.signedByte(), in.byte()); break;
        case 11: t_Color(0, in.signedByte()); break;
        case 12: t_PrintSpc(0, in.signedByte()); break;
        }
        // The cursor always stays on the grid.
        const t_Window &w = t_WindowTable[0];
        if (w.TextHpos < 1 || w.TextHpos > w.TextWidth || w.TextVpos < 1 || w.TextVpos > w.TextHeight)
            __builtin_trap();
    }
    return 0;
}
