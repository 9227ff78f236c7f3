// Lines, header lines and framed dialog boxes drawn from glyphs.
#pragma once

#include <cstdint>
#include <string>

// code in TextColor in every cell firstColumn..lastColumn of line.
void t_TextHline(uint8_t window, int firstColumn, int lastColumn, int line, uint8_t code);
// A rule (glyph 156) from the cursor to the area's right edge, then a new line.
void t_TextLine(uint8_t window);
// One line exactly as wide as the text area: left, spaces, right.
void t_Header(uint8_t window, const std::string &left, const std::string &right);
// A title bar of exactly width cells from the cursor: rules, caps and the
// title in inverse.
void t_DialogTitle(uint8_t window, const std::string &title, int width);
// A framed box with a title; its inside becomes the cleared text area.
void t_Dialog(uint8_t window, const std::string &title, int left, int top, int right, int bottom);
