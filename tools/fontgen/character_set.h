// What each of the 256 glyphs of the toolkit fonts shows: text characters
// taken from a typeface, and the graphics characters (blocks, frame pieces,
// icons) drawn here so that they meet the cell edges exactly.
#pragma once

#include <cstdint>
#include <span>

#include "glyph_cell.h"

enum class fg_GlyphKind { Blank, Char, Drawn };

struct fg_GlyphSource {
    fg_GlyphKind Kind = fg_GlyphKind::Blank;
    char32_t Char = 0;                 // Kind Char: the Unicode character shown
    void (*Draw)(fg_Cell &) = nullptr; // Kind Drawn
    const char *Name = "";             // short description for the contact sheet
};

// The source of the glyph of a toolkit code.
fg_GlyphSource fg_SourceFor(uint8_t code);

// The toolkit's own symbols at Latin-1 positions: code and the character the
// glyph shows (the same pairs the host text conversion produces).
struct fg_ToolkitSymbol {
    uint8_t Code;
    char32_t Char;
};
std::span<const fg_ToolkitSymbol> fg_ToolkitSymbols();

// The cell of a drawn glyph (blank for other kinds).
fg_Cell fg_DrawnCell(uint8_t code);

// Frame geometry shared by the drawn glyphs and their tests: lines are
// fg_LineWidth pixels wide, either along a cell edge or through the cell's
// middle (columns fg_MidX, rows fg_MidY, each the first of the two).
constexpr int fg_LineWidth = 2;
constexpr int fg_MidX = 7;
constexpr int fg_MidY = 15;
