// libFuzzer target for the font loader: arbitrary bytes as a ".font" file
// (t_FontFromBytes, which expands LZW data) and as an LZW stream on its own
// (t_ExpandLZW).  A font that loads with glyph data is then used as the font
// of a text window and every glyph is drawn, since a font file's header
// can claim any cell size whatever data follows.
#include "display.h"

#define FUZZ_CHECK(cond) \
    do {                 \
        if (!(cond)) __builtin_trap(); \
    } while (0)

// The largest expansion the loader accepts (64 MB) plus the last string.
static const size_t expansionLimit = (size_t(64) << 20) + (size_t(1) << 26);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::vector<uint8_t> expanded = t_ExpandLZW(bytes);
    FUZZ_CHECK(expanded.size() <= expansionLimit);

    t_Font font = t_FontFromBytes(bytes, "fuzz.font");
    FUZZ_CHECK(font.Format != t_FontFormatRawLZW && font.Format != t_FontFormatGreyLZW);
    if (font.Data.empty() || font.Width == 0 || font.Height == 0) return 0;

    // Four columns and two lines of the font's cells; t_InitWindow replaces
    // sizes it cannot show, so the grid may be any size.
    t_InitWindow(0, 8, false, 4 * font.Width, 2 * font.Height, 0, 0, font, true);
    if (!t_WindowTable[0].Initialized) return 0;
    Text all{std::vector<uint8_t>(256)};
    for (int c = 0; c < 256; c++) all[size_t(c)] = uint8_t(c);
    t_DisplayMode(0, t_DisplayRedControls);   // control codes drawn as glyphs too
    t_Print(0, all);
    t_DisplayMode(0, t_DisplayNormal);
    return 0;
}
