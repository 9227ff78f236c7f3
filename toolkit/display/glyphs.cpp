// t_PrintSymbol and the cell operations built on it.
#include "glyphs.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "host_hooks.h"
#include "jump_scroll.h"
#include "log.h"
#include "text.h"
#include "video_memory.h"

// --- colour blending ----------------------------------------------------------

struct Blend {
    int R, G, B;
};

// (g x fg)/255 + ((255 - g) x bg)/255 per channel.
static Blend blendChannels(uint8_t colour, uint8_t grey) {
    int ink = colour >> 4, paper = colour & 15, g = grey;
    auto mix = [g](int fg, int bg) { return (g * fg) / 255 + ((255 - g) * bg) / 255; };
    return Blend{mix(t_Palette.Red[ink], t_Palette.Red[paper]), mix(t_Palette.Green[ink], t_Palette.Green[paper]),
                 mix(t_Palette.Blue[ink], t_Palette.Blue[paper])};
}

// Grey blends fall into four steps; other colours take the nearest palette
// entry by squared distance, a later entry winning only when strictly nearer.
static int nearestIndex(Blend c) {
    if (c.R == c.G && c.G == c.B) {
        int s = c.R + c.G + c.B;
        return s <= 191 ? 0 : s <= 383 ? 5 : s <= 575 ? 10 : 15;
    }
    int best = 0, bestDistance = 65535;
    for (int i = 0; i < 16; i++) {
        int dr = c.R - t_Palette.Red[i], dg = c.G - t_Palette.Green[i], db = c.B - t_Palette.Blue[i];
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

uint32_t t_BlendedPixel(int bitDepth, uint8_t colour, uint8_t grey) {
    switch (bitDepth) {
    case 1: {
        Blend c = blendChannels(colour, grey);
        return c.R + c.G + c.B >= 384 ? 1 : 0;
    }
    case 4: return uint32_t(nearestIndex(blendChannels(colour, grey)));
    case 8:
    case 16: {
        int ink = colour >> 4, paper = colour & 15, g = grey;
        int fg = (t_Palette.Red[ink] + t_Palette.Green[ink] + t_Palette.Blue[ink]) / 3;
        int bg = (t_Palette.Red[paper] + t_Palette.Green[paper] + t_Palette.Blue[paper]) / 3;
        return uint32_t(((255 - g) * bg) / 255 + (g * fg) / 255);
    }
    case 24:
    case 32: {
        Blend c = blendChannels(colour, grey);
        return uint32_t(c.R) << 16 | uint32_t(c.G) << 8 | uint32_t(c.B);
    }
    default: return 0;
    }
}

// Every colour byte's 256 blended pixels, built once per depth class on
// first use, so drawing a glyph is one table lookup per pixel.
enum DepthClass { Depth1, Depth4, Depth8, DepthRGB, DepthClasses };
struct BlendTable {
    std::once_flag Built;
    std::vector<uint32_t> Pixels;   // [colour byte][grey]
};
static BlendTable blendTables[DepthClasses];

static const uint32_t *blendTable(int bitDepth, uint8_t colour) {
    DepthClass k = bitDepth == 1 ? Depth1 : bitDepth == 4 ? Depth4 : bitDepth == 8 || bitDepth == 16 ? Depth8 : DepthRGB;
    BlendTable &t = blendTables[k];
    std::call_once(t.Built, [&t, bitDepth, k] {
        t.Pixels.resize(256 * 256);
        for (int c = 0; c < 256; c++)
            for (int g = 0; g < 256; g++) {
                uint32_t v = t_BlendedPixel(bitDepth, uint8_t(c), uint8_t(g));
                // Colour pixels are kept in memory order: red, green, blue.
                if (k == DepthRGB) v = (v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16;
                t.Pixels[size_t(c) * 256 + size_t(g)] = v;
            }
    });
    return t.Pixels.data() + size_t(colour) * 256;
}

// --- drawing ----------------------------------------------------------------


// Draws the glyph's grey levels blended from paper to ink into the cell's
// pixels, one pixel row at a time: the row's bytes are read, changed and
// written back, as pixels of 1 and 4 bits share bytes with their neighbours
// and 16 and 32-bit pixels keep their other bytes.
static void drawGlyph(const t_Window &w, const uint8_t *glyph, uint8_t colour, int column, int line) {
    const int depth = w.BitDepth;
    switch (depth) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return;
    }
    const int fw = w.Font.Width, fh = w.Font.Height;
    const int x0 = fw * (column - 1), y0 = fh * (line - 1);
    const uint32_t *lut = blendTable(depth, colour);
    // The byte that holds pixel x of a row, and the bytes of the cell's pixels.
    auto byteOf = [&](int x) {
        return depth == 1 ? size_t(x >> 3) : depth == 4 ? size_t(x >> 1) : size_t(x) * size_t(depth / 8);
    };
    const size_t first = byteOf(x0), count = byteOf(x0 + fw - 1) + (depth < 8 ? 1 : size_t(depth / 8)) - first;
    uint8_t span[256 * 4];
    if (fw < 1 || count > sizeof span) return;
    for (int gy = 0; gy < fh; gy++) {
        const uint8_t *src = glyph + size_t(gy) * size_t(fw);
        const size_t at = size_t(w.MemoryStart) + size_t(y0 + gy) * size_t(t_RowBytes(w)) + first;
        t_VideoRead(at, span, count);
        for (int gx = 0; gx < fw; gx++) {
            const uint32_t v = lut[src[gx]];
            const int x = x0 + gx;
            uint8_t *p = span + byteOf(x) - first;
            switch (depth) {
            case 1: *p = v ? uint8_t(*p | (0x80 >> (x & 7))) : uint8_t(*p & ~(0x80 >> (x & 7))); break;
            case 4: *p = (x & 1) ? uint8_t((*p & 0xF0) | v) : uint8_t((*p & 0x0F) | (v << 4)); break;
            case 8: *p = uint8_t(v); break;
            case 16: p[1] = uint8_t(v); break;
            case 24: memcpy(p, &v, 3); break;
            case 32: memcpy(p + 1, &v, 3); break;
            }
        }
        t_VideoWrite(at, span, count);
    }
}

// Recently drawn 24-bit glyphs, so that a glyph drawn again in the same
// colours is copied row by row instead of blended pixel by pixel.  An entry
// keeps the grey levels it was drawn from and is only used when they match,
// so a changed or replaced font can never show stale pixels.  Each drawing
// thread has its own cache.
struct CachedGlyph {
    bool Valid = false;
    uint8_t Colour = 0;
    int Width = 0, Height = 0;
    uint8_t Grey[512];
    uint8_t Pixels[512 * 3];
};
static const int glyphCacheSlots = 512;
static thread_local std::unique_ptr<CachedGlyph[]> glyphCache;

static void drawGlyphCached(const t_Window &w, uint8_t code, const uint8_t *glyph, uint8_t colour, int column,
                            int line) {
    const int fw = w.Font.Width, fh = w.Font.Height;
    const size_t glyphBytes = size_t(fw) * size_t(fh);
    if (w.BitDepth != 24 || glyphBytes > sizeof CachedGlyph::Grey || glyphBytes == 0) {
        drawGlyph(w, glyph, colour, column, line);
        return;
    }
    if (!glyphCache) glyphCache = std::make_unique<CachedGlyph[]>(glyphCacheSlots);
    CachedGlyph &slot = glyphCache[(size_t(code) * 2 + size_t(colour) * 61) % glyphCacheSlots];
    const size_t rowBytes = size_t(t_RowBytes(w)), cellRow = size_t(fw) * 3;
    const size_t cell = size_t(w.MemoryStart) + size_t(fh) * size_t(line - 1) * rowBytes +
                        size_t(fw) * size_t(column - 1) * 3;
    if (slot.Valid && slot.Colour == colour && slot.Width == fw && slot.Height == fh &&
        memcmp(slot.Grey, glyph, glyphBytes) == 0) {
        for (int y = 0; y < fh; y++)
            t_VideoWrite(cell + size_t(y) * rowBytes, slot.Pixels + size_t(y) * cellRow, cellRow);
        return;
    }
    drawGlyph(w, glyph, colour, column, line);
    slot.Valid = true;
    slot.Colour = colour;
    slot.Width = fw;
    slot.Height = fh;
    memcpy(slot.Grey, glyph, glyphBytes);
    for (int y = 0; y < fh; y++) t_VideoRead(cell + size_t(y) * rowBytes, slot.Pixels + size_t(y) * cellRow, cellRow);
}

// Draws the glyph of code in the colour byte into the cell, when the font
// is drawable and has the glyph.
static void drawCode(const t_Window &w, uint8_t code, uint8_t colour, int column, int line) {
    const t_Font &font = w.Font;
    if (font.Format != t_FontFormatGrey || code < font.Start || code > font.End) return;
    // A glyph beyond the end of the font's data is not drawn.
    size_t glyphSize = size_t(font.Width) * size_t(font.Height);
    if ((size_t(code) + 1) * glyphSize <= font.Data.size())
        drawGlyphCached(w, code, font.Data.data() + size_t(code) * glyphSize, colour, column, line);
}

void t_PrintSymbol(uint8_t window, uint8_t code, uint8_t colour, int column, int line) {
    static const char *name = "t_PrintSymbol";
    t_Window *w = t_GuardWindow(name, window, t_Need::Window);
    if (!w) return;
    if (w->TextRedirectOutput == 2) {
        t_LogPart(t_EncodeChar(code));
        return;
    }
    if (w->TextRedirectOutput == 0) return;
    if (w->TextMemoryStart < 0 || w->Font.Data.empty()) {
        t_LogNotInitialized(name, window);
        return;
    }
    t_PutSymbol(window, *w, code, colour, column, line);
}

void t_PutSymbol(uint8_t window, t_Window &record, uint8_t code, uint8_t colour, int column, int line) {
    static const char *name = "t_PrintSymbol";
    t_Window *w = &record;
    int ink = colour >> 4, paper = colour & 15;
    if (w->TextInverse) std::swap(ink, paper);
    const uint8_t effective = uint8_t(ink << 4 | paper);

    // Cells outside the grid (column or line below 1 included) would land
    // outside the window's blocks.
    const t_Font &font = w->Font;
    if (column < 1 || line < 1 || column > w->TextWidth || line > w->TextHeight ||
        int64_t(font.Width) * column > w->Width || int64_t(font.Height) * line > w->Height) {
        t_Log(std::string(name) + ": Window #" + std::to_string(window) + " illegal coordinates (x = " +
              std::to_string(column) + ", y = " + std::to_string(line) + ").");
        return;
    }
    if (font.Format != t_FontFormatGrey) {
        bool greyOrRaw = font.Format == t_FontFormatRaw || font.Format == t_FontFormatGrey ||
                         font.Format == t_FontFormatRawLZW || font.Format == t_FontFormatGreyLZW;
        t_Log(greyOrRaw ? "t_PrintSymbol: Font format must be uncompressed grey for text-printing."
                        : "t_PrintSymbol: Illegal font format.");
    }
    size_t cell = size_t(line - 1) * size_t(w->TextWidth) + size_t(column - 1);
    t_VideoWrite(size_t(w->TextMemoryStart) + cell, &code, 1);
    t_VideoWrite(size_t(t_ColorPlane(*w)) + cell, &effective, 1);
    // With jump scrolling the cell's pixels wait for the next picture.
    if (t_JumpScrolling()) {
        t_MarkCell(window, *w, column, line);
        return;
    }
    drawCode(*w, code, effective, column, line);
    t_VideoMemoryChanged();
}

void t_DrawCell(const t_Window &w, int column, int line) {
    size_t cell = size_t(line - 1) * size_t(w.TextWidth) + size_t(column - 1);
    uint8_t code = 0, colour = 0;
    t_VideoRead(size_t(w.TextMemoryStart) + cell, &code, 1);
    t_VideoRead(size_t(t_ColorPlane(w)) + cell, &colour, 1);
    drawCode(w, code, colour, column, line);
}

static bool insideGrid(const t_Window &w, int firstColumn, int firstLine, int lastColumn, int lastLine) {
    return 1 <= firstColumn && firstColumn <= lastColumn && lastColumn <= w.TextWidth && 1 <= firstLine &&
           firstLine <= lastLine && lastLine <= w.TextHeight;
}

void t_ClearRect(uint8_t window, int firstColumn, int firstLine, int lastColumn, int lastLine) {
    t_Window *w = t_GuardWindow("t_ClearRect", window, t_Need::Text);
    if (!w || !insideGrid(*w, firstColumn, firstLine, lastColumn, lastLine)) return;
    for (int l = firstLine; l <= lastLine; l++)
        for (int c = firstColumn; c <= lastColumn; c++) t_PrintSymbol(window, 32, w->TextColor, c, l);
}

void t_InvertRect(uint8_t window, int firstColumn, int firstLine, int lastColumn, int lastLine) {
    t_Window *w = t_GuardWindow("t_InvertRect", window, t_Need::Text);
    if (!w || !insideGrid(*w, firstColumn, firstLine, lastColumn, lastLine)) return;
    bool inverse = w->TextInverse;
    w->TextInverse = true;
    const int chars = w->TextMemoryStart, colours = t_ColorPlane(*w);
    for (int l = firstLine; l <= lastLine; l++)
        for (int c = firstColumn; c <= lastColumn; c++) {
            size_t cell = size_t(l - 1) * size_t(w->TextWidth) + size_t(c - 1);
            t_PrintSymbol(window, t_VideoMemory[chars + cell], t_VideoMemory[colours + cell], c, l);
        }
    w->TextInverse = inverse;
}

void t_ColorBorder(uint8_t window, int colour) {
    t_Window *w = t_GuardWindow("t_ColorBorder", window, t_Need::Window);
    if (!w) return;
    w->RGBColorBorder = t_PaletteColor(colour & 15);
    t_Host().SetBorderColor(window, w->RGBColorBorder);
}
