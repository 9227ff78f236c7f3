// Helpers of the display tests: synthetic fonts and font files, and a fresh
// display for every test.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "display.h"
#include "log_capture.h"
#include "text_window.h"

// A grey font of w x h cells whose pixel (x, y) of glyph code is pixel(code, x, y).
t_Font makeFont(int w, int h, const std::function<uint8_t(int, int, int)> &pixel, uint8_t start = 0,
                uint8_t end = 255);
// Every pixel of glyph c has the grey level c.
t_Font solidFont(int w, int h);
// Glyph c: grey c in the top row, a pattern below (each glyph differs).
t_Font patternFont(int w, int h);

// The bytes of a font file: the 16 header fields, padding up to headerSize,
// then the glyph data (compressed by the font generator with codeWidth when
// format is 100 or 102).
std::vector<uint8_t> fontFile(const t_Font &font, int format, int headerSize = 16, int codeWidth = 12);

// Gives back every window's blocks, so that each test starts from an empty
// video memory and fresh window records.
void resetDisplay();

// A text window made with the full form (auto-update off).
void initTextWindow(uint8_t window, int bitDepth, int columns, int lines, const t_Font &font);

// The stored characters of a line of cells as bytes.
std::string lineText(uint8_t window, int line, int firstColumn = 1, int lastColumn = -1);
// The bytes of the window's text planes (when it has them) and graphic block.
std::vector<uint8_t> windowMemory(uint8_t window);

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override { resetDisplay(); }
};
