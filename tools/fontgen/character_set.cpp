#include "character_set.h"

#include <array>

// --- frame lines ------------------------------------------------------------
// Edge lines lie along one cell edge; in the toolkit's dialog frame the left
// side (139) hugs its cell's right edge and the right side (138) its left
// edge, so both touch the framed area, and the bottom edge (140) lies at the
// top of the line below the last framed line.  The lower edge (141) closes a
// box at the bottom of its own line.
static constexpr int W = fg_CellWidth, H = fg_CellHeight, L = fg_LineWidth;

static void edgeLeft(fg_Cell &c) { fg_FillRect(c, 0, 0, L, H); }
static void edgeRight(fg_Cell &c) { fg_FillRect(c, W - L, 0, W, H); }
static void edgeTop(fg_Cell &c) { fg_FillRect(c, 0, 0, W, L); }
static void edgeBottom(fg_Cell &c) { fg_FillRect(c, 0, H - L, W, H); }

// Outer corners: a box drawn round whole cells, lines on the outer edges.
static void cornerTopLeft(fg_Cell &c) { edgeTop(c); edgeLeft(c); }
static void cornerTopRight(fg_Cell &c) { edgeTop(c); edgeRight(c); }
static void cornerBottomLeft(fg_Cell &c) { edgeBottom(c); edgeLeft(c); }
static void cornerBottomRight(fg_Cell &c) { edgeBottom(c); edgeRight(c); }

// Corner points: the square where two edge lines of neighbouring cells meet,
// for the corner cells of a frame whose lines hug the framed area.
static void pointBottomRight(fg_Cell &c) { fg_FillRect(c, W - L, H - L, W, H); }
static void pointBottomLeft(fg_Cell &c) { fg_FillRect(c, 0, H - L, L, H); }
static void pointTopRight(fg_Cell &c) { fg_FillRect(c, W - L, 0, W, L); }
static void pointTopLeft(fg_Cell &c) { fg_FillRect(c, 0, 0, L, L); }

// Lines through the middle of the cell, for box drawing and rules.
static void midLeft(fg_Cell &c) { fg_FillRect(c, 0, fg_MidY, fg_MidX + L, fg_MidY + L); }
static void midRight(fg_Cell &c) { fg_FillRect(c, fg_MidX, fg_MidY, W, fg_MidY + L); }
static void midUp(fg_Cell &c) { fg_FillRect(c, fg_MidX, 0, fg_MidX + L, fg_MidY + L); }
static void midDown(fg_Cell &c) { fg_FillRect(c, fg_MidX, fg_MidY, fg_MidX + L, H); }
static void midHorizontal(fg_Cell &c) { midLeft(c); midRight(c); }
static void midVertical(fg_Cell &c) { midUp(c); midDown(c); }
static void boxDownRight(fg_Cell &c) { midRight(c); midDown(c); }
static void boxDownLeft(fg_Cell &c) { midLeft(c); midDown(c); }
static void boxUpRight(fg_Cell &c) { midRight(c); midUp(c); }
static void boxUpLeft(fg_Cell &c) { midLeft(c); midUp(c); }
static void boxTeeRight(fg_Cell &c) { midVertical(c); midRight(c); }
static void boxTeeLeft(fg_Cell &c) { midVertical(c); midLeft(c); }
static void boxTeeDown(fg_Cell &c) { midHorizontal(c); midDown(c); }
static void boxTeeUp(fg_Cell &c) { midHorizontal(c); midUp(c); }
static void boxCross(fg_Cell &c) { midHorizontal(c); midVertical(c); }

// --- title bar ---------------------------------------------------------------
// The title rule: the frame's top edge and a band of thin stripes.  The caps
// round off the inverse title between them; they carry the top edge too, so
// it runs on unbroken into the inverse title.
static constexpr std::array<int, 6> kStripes = {9, 12, 15, 18, 21, 24};

static void titleRule(fg_Cell &c) {
    edgeTop(c);
    for (int y : kStripes)
        fg_FillRect(c, 0, y, W, y + 1);
}
static void titleCapLeft(fg_Cell &c) {
    edgeTop(c);
    fg_Paint(c, fg_Ellipse(W, H / 2.0, W - 2, H / 2.0));
}
static void titleCapRight(fg_Cell &c) {
    edgeTop(c);
    fg_Paint(c, fg_Ellipse(0, H / 2.0, W - 2, H / 2.0));
}

// --- blocks and shades (tile seamlessly: the cell size is even) -------------
static void blockFull(fg_Cell &c) { fg_FillRect(c, 0, 0, W, H); }
static void blockUpper(fg_Cell &c) { fg_FillRect(c, 0, 0, W, H / 2); }
static void blockLower(fg_Cell &c) { fg_FillRect(c, 0, H / 2, W, H); }
static void blockLeft(fg_Cell &c) { fg_FillRect(c, 0, 0, W / 2, H); }
static void blockRight(fg_Cell &c) { fg_FillRect(c, W / 2, 0, W, H); }
static void quadUpperLeft(fg_Cell &c) { fg_FillRect(c, 0, 0, W / 2, H / 2); }
static void quadUpperRight(fg_Cell &c) { fg_FillRect(c, W / 2, 0, W, H / 2); }
static void quadLowerLeft(fg_Cell &c) { fg_FillRect(c, 0, H / 2, W / 2, H); }
static void quadLowerRight(fg_Cell &c) { fg_FillRect(c, W / 2, H / 2, W, H); }
static void quadDiagonal(fg_Cell &c) { quadUpperLeft(c); quadLowerRight(c); }
static void quadAntiDiagonal(fg_Cell &c) { quadUpperRight(c); quadLowerLeft(c); }

static void pattern(fg_Cell &c, bool (*on)(int x, int y)) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (on(x, y))
                c.at(x, y) = 255;
}
static void shadeLight(fg_Cell &c) { pattern(c, [](int x, int y) { return x % 2 == 0 && y % 2 == 0; }); }
static void shadeMedium(fg_Cell &c) { pattern(c, [](int x, int y) { return (x + y) % 2 == 0; }); }
static void shadeDark(fg_Cell &c) { pattern(c, [](int x, int y) { return !(x % 2 == 1 && y % 2 == 1); }); }

// The stand-in for characters the toolkit cannot show: a hatched box that
// keeps a margin, so that several in a row stay countable.
static void missingChar(fg_Cell &c) {
    for (int y = 6; y < 28; ++y)
        for (int x = 2; x < 14; ++x)
            if ((x / 2 + y / 2) % 2 == 0)
                c.at(x, y) = 255;
}

// --- icons of the catalogue list ---------------------------------------------
// The type column shows four cells: a left end (volume 129 or folder 130),
// the middle twice (131) and the right end (132): an outlined slab from row 9
// to row 25 that sits on the text baseline.
static constexpr double kIconTop = 9, kIconBottom = 25;

static fg_Shape iconLeftEnd() {
    return fg_Minus(fg_RoundRect(2, kIconTop, 3 * W, kIconBottom, 4),
                    fg_RoundRect(2 + L, kIconTop + L, 3 * W, kIconBottom - L, 2));
}
static void iconVolume(fg_Cell &c) {
    fg_Paint(c, iconLeftEnd());
    fg_Paint(c, fg_Ellipse(9.5, (kIconTop + kIconBottom) / 2, 2.5, 2.5));
}
static void iconFolder(fg_Cell &c) {
    fg_Paint(c, iconLeftEnd());
    // The tab on the folder's top left, filled, kept inside this cell.
    fg_Paint(c, fg_Polygon({{2, kIconTop + 1}, {2, 6.5}, {3.5, 5}, {9.5, 5}, {13.5, kIconTop + 1}}));
}
static void iconMiddle(fg_Cell &c) {
    fg_FillRect(c, 0, kIconTop, W, kIconTop + L);
    fg_FillRect(c, 0, kIconBottom - L, W, kIconBottom);
}
static void iconRightEnd(fg_Cell &c) {
    fg_Paint(c, fg_Minus(fg_RoundRect(-2 * W, kIconTop, W - 2, kIconBottom, 4),
                         fg_RoundRect(-2 * W, kIconTop + L, W - 2 - L, kIconBottom - L, 2)));
}

// The read-only mark: a padlock.
static void padlock(fg_Cell &c) {
    fg_Paint(c, fg_Minus(fg_Ellipse(8, 12, 4.5, 4.5), fg_Ellipse(8, 12, 2.5, 2.5)));
    fg_Erase(c, fg_Rect(0, 12, W, H));
    fg_FillRect(c, 4, 12, 6, 16);
    fg_FillRect(c, 10, 12, 12, 16);
    fg_Paint(c, fg_RoundRect(2.5, 15, 13.5, 25.5, 1.5));
    fg_Erase(c, fg_Union(fg_Ellipse(8, 19, 1.4, 1.4), fg_Rect(7.4, 19, 8.6, 22.5)));
}

static void ring(fg_Cell &c) {
    fg_Paint(c, fg_Minus(fg_Ellipse(8, 17, 6.5, 6.5), fg_Ellipse(8, 17, 4.5, 4.5)));
}

// The visible blank (a shelf on the baseline).
static void visibleBlank(fg_Cell &c) {
    fg_FillRect(c, 3, 24, 13, 26);
    fg_FillRect(c, 3, 20, 5, 26);
    fg_FillRect(c, 11, 20, 13, 26);
}

// --- the table -------------------------------------------------------------
struct Entry {
    uint8_t Code;
    const char *Name;
    char32_t Char;
    void (*Draw)(fg_Cell &);
};

static constexpr Entry kGraphics[] = {
    {0, "full block", 0, blockFull},
    {1, "upper half", 0, blockUpper},
    {2, "lower half", 0, blockLower},
    {3, "left half", 0, blockLeft},
    {4, "right half", 0, blockRight},
    {5, "light shade", 0, shadeLight},
    {6, "medium shade", 0, shadeMedium},
    {7, "dark shade", 0, shadeDark},
    {8, "quadrant upper left", 0, quadUpperLeft},
    {9, "quadrant upper right", 0, quadUpperRight},
    {10, "quadrant lower left", 0, quadLowerLeft},
    {11, "quadrant lower right", 0, quadLowerRight},
    {12, "quadrants upper left and lower right", 0, quadDiagonal},
    {13, "quadrants upper right and lower left", 0, quadAntiDiagonal},
    {14, "arrow left", U'\u2190', nullptr},
    {15, "arrow right", U'\u2192', nullptr},
    {16, "arrow up", U'\u2191', nullptr},
    {17, "arrow down", U'\u2193', nullptr},
    {18, "title cap left", 0, titleCapLeft},
    {19, "title cap right", 0, titleCapRight},
    {20, "check mark", U'\u2713', nullptr},
    {21, "diamond", U'\u25C6', nullptr},
    {22, "black circle", U'\u25CF', nullptr},
    {23, "black square", U'\u25A0', nullptr},
    {24, "triangle up", U'\u25B2', nullptr},
    {25, "triangle down", U'\u25BC', nullptr},
    {26, "triangle left", U'\u25C0', nullptr},
    {27, "triangle right", U'\u25B6', nullptr},
    {28, "return", U'\u21B5', nullptr},
    {29, "box", U'\u2610', nullptr},
    {30, "checked box", U'\u2611', nullptr},
    {31, "identical to", U'\u2261', nullptr},
    {127, "missing character", 0, missingChar},
    {128, "read-only mark", 0, padlock},
    {129, "volume icon, left end", 0, iconVolume},
    {130, "folder icon, left end", 0, iconFolder},
    {131, "icon middle", 0, iconMiddle},
    {132, "icon right end", 0, iconRightEnd},
    {133, "ring", 0, ring},
    {134, "outer corner top left", 0, cornerTopLeft},
    {135, "outer corner top right", 0, cornerTopRight},
    {136, "outer corner bottom left", 0, cornerBottomLeft},
    {137, "outer corner bottom right", 0, cornerBottomRight},
    {138, "right side (line on the left edge)", 0, edgeLeft},
    {139, "left side (line on the right edge)", 0, edgeRight},
    {140, "bottom edge (line on the top edge)", 0, edgeTop},
    {141, "lower edge (line on the bottom edge)", 0, edgeBottom},
    {142, "corner point bottom right", 0, pointBottomRight},
    {143, "corner point bottom left", 0, pointBottomLeft},
    {144, "corner point top right", 0, pointTopRight},
    {145, "corner point top left", 0, pointTopLeft},
    {146, "box down and right", 0, boxDownRight},
    {147, "box down and left", 0, boxDownLeft},
    {148, "box up and right", 0, boxUpRight},
    {149, "box up and left", 0, boxUpLeft},
    {150, "box vertical and right", 0, boxTeeRight},
    {151, "box vertical and left", 0, boxTeeLeft},
    {152, "box down and horizontal", 0, boxTeeDown},
    {153, "box up and horizontal", 0, boxTeeUp},
    {154, "em dash", U'\u2014', nullptr},
    {155, "box horizontal", 0, midHorizontal},
    {156, "horizontal rule", 0, midHorizontal},
    {157, "box vertical", 0, midVertical},
    {158, "box cross", 0, boxCross},
    {159, "title rule", 0, titleRule},
    {160, "visible blank", 0, visibleBlank},
};

static constexpr fg_ToolkitSymbol kSymbols[] = {
    {0x9A, U'\u2014'}, {0xA1, U'\u2208'}, {0xA4, U'\u20AC'}, {0xA8, U'\u2122'},
    {0xAA, U'\u2074'}, {0xAD, U'\u2260'}, {0xB0, U'\u02DA'}, {0xB4, U'\u2019'},
    {0xB5, U'\u03BC'}, {0xB8, U'\u2022'}, {0xBA, U'\u2076'}, {0xBC, U'\u2079'},
    {0xBD, U'\u2020'}, {0xBF, U'\u2026'}, {0xC5, U'\u2264'}, {0xC6, U'\u2265'},
    {0xD0, U'\u220F'}, {0xD7, U'\u2075'}, {0xD8, U'\u2070'}, {0xDD, U'\u2211'},
    {0xDE, U'\u222B'}, {0xE5, U'\u2077'}, {0xE6, U'\u2078'}, {0xF0, U'\u03C0'},
    {0xFD, U'\u221A'}, {0xFE, U'\u2206'}, {0xFF, U'\u221E'},
};

std::span<const fg_ToolkitSymbol> fg_ToolkitSymbols() { return kSymbols; }

fg_GlyphSource fg_SourceFor(uint8_t code) {
    for (const Entry &e : kGraphics)
        if (e.Code == code)
            return e.Draw ? fg_GlyphSource{fg_GlyphKind::Drawn, 0, e.Draw, e.Name}
                          : fg_GlyphSource{fg_GlyphKind::Char, e.Char, nullptr, e.Name};
    for (const fg_ToolkitSymbol &s : kSymbols)
        if (s.Code == code)
            return {fg_GlyphKind::Char, s.Char, nullptr, "toolkit symbol"};
    if (code >= 32 && code <= 126)
        return {fg_GlyphKind::Char, code, nullptr, "ASCII"};
    if (code >= 161)
        return {fg_GlyphKind::Char, code, nullptr, "Latin-1"};
    return {fg_GlyphKind::Blank, 0, nullptr, "blank"};
}

fg_Cell fg_DrawnCell(uint8_t code) {
    fg_Cell cell;
    const fg_GlyphSource source = fg_SourceFor(code);
    if (source.Kind == fg_GlyphKind::Drawn && source.Draw)
        source.Draw(cell);
    return cell;
}
