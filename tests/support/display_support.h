// Helpers of the display tests: synthetic fonts and font files, log capture
// and a fresh display for every test.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "display.h"

// A grey font of w x h cells whose pixel (x, y) of glyph code is pixel(code, x, y).
t_Font makeFont(int w, int h, const std::function<uint8_t(int, int, int)> &pixel, uint8_t start = 0,
                uint8_t end = 255);
// Every pixel of glyph c has the grey level c.
t_Font solidFont(int w, int h);
// Glyph c: grey c in the top row, a pattern below (each glyph differs).
t_Font patternFont(int w, int h);

// The bytes of a font file: the 16 header fields, padding up to headerSize,
// then the glyph data (for format 100 or 102 compressed by the font
// generator's compressor with codeWidth).
std::vector<uint8_t> fontFile(const t_Font &font, int format, int headerSize = 16, int codeWidth = 12);

// Collects every log write while it exists.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::string text() const;
    std::vector<std::string> lines() const;
    bool has(const std::string &line) const;
    int count(const std::string &part) const;

private:
    mutable std::mutex Lock;
    std::string Text;
};

// Gives back every window's blocks, so that each test starts from an empty
// video memory and fresh window records.
void resetDisplay();

// A text window made with the full form (auto-update off).
void initTextWindow(uint8_t window, int bitDepth, int columns, int lines, const t_Font &font);

// The stored character and colour of a cell.
uint8_t cellChar(uint8_t window, int column, int line);
uint8_t cellColor(uint8_t window, int column, int line);
// The characters of a line of cells as a string.
std::string lineText(uint8_t window, int line, int firstColumn = 1, int lastColumn = -1);

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override { resetDisplay(); }
};
