// Test support: a headless 80 x 25 text window (window 0) with a tiny grey
// font, for code that draws text without the Qt host, and its screen read
// back.
#pragma once

#include <gtest/gtest.h>

#include "display.h"
#include "text.h"

// Initialises window 0 as 80 x 25 cells of 2 x 2 pixels; its log lines are
// swallowed.
void test_InitTextWindow0();

// The codes of a cell and its colour byte, from (1, 1).
inline int test_Code(int column, int line, uint8_t window = 0) {
    const t_Window &w = t_WindowTable[window];
    return t_VideoMemory[size_t(w.TextMemoryStart + (line - 1) * w.TextWidth + (column - 1))];
}
inline int test_Colour(int column, int line, uint8_t window = 0) {
    const t_Window &w = t_WindowTable[window];
    return t_VideoMemory[size_t(t_ColorPlane(w) + (line - 1) * w.TextWidth + (column - 1))];
}

// The characters of a line, columns first..last, as UTF-8 of the codes.
inline std::string test_Screen(int line, int first = 1, int last = 80, uint8_t window = 0) {
    std::u32string out;
    for (int c = first; c <= last; c++) out.push_back(char32_t(test_Code(c, line, window)));
    return t_Encode(out);
}
