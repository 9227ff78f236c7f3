// Glyph drawing: text cells become blended pixels at every bit depth.
#pragma once

#include <cstdint>

#include "display_types.h"

// Draws the glyph of code into the cell (column, line) with the colour byte
// (ink in the high nibble, paper in the low) and the window's TextInverse,
// and stores code and the effective colour in the text block.
void t_PrintSymbol(uint8_t window, uint8_t code, uint8_t colour, int column, int line);
// t_PrintSymbol for a window that passed its guard, prints to the window
// (TextRedirectOutput 1) and has a text block and a font.
void t_PutSymbol(uint8_t window, t_Window &w, uint8_t code, uint8_t colour, int column, int line);
// Draws the pixels of the cell from its code and colour in the text block
// (nothing when the font has no such glyph).
void t_DrawCell(const t_Window &w, int column, int line);
// A space in TextColor in every cell of the rectangle.
void t_ClearRect(uint8_t window, int firstColumn, int firstLine, int lastColumn, int lastLine);
// Exchanges ink and paper of every cell of the rectangle (twice restores).
void t_InvertRect(uint8_t window, int firstColumn, int firstLine, int lastColumn, int lastLine);
// The border colour around the window's view: palette index colour AND 15.
void t_ColorBorder(uint8_t window, int colour);

// The pixel one glyph grey level gives at a bit depth for a colour byte
// (ink high nibble, paper low nibble, already exchanged for inverse): at
// depth 24 and 32 0x00RRGGBB, at 8 and 16 the grey level, at 4 the palette
// index, at 1 the bit.
uint32_t t_BlendedPixel(int bitDepth, uint8_t colour, uint8_t grey);
