// The printer's ruler and the screen text of a toolkit window.
#include <gtest/gtest.h>

#include "display.h"
#include "log_capture.h"
#include "printer.h"

namespace {

// "L", the inner text, "R".
std::string withMargins(const std::string &inner) { return "L" + inner + "R"; }

TEST(PrinterRuler, WidthsDigitsAndMargins) {
    // Ten columns per decade: "....!...." and the decade's last digit.
    std::string plain;
    for (int k = 1; k <= 16; k++) plain += "....!...." + std::to_string(k % 10);
    std::string twoDigits;
    for (int k = 1; k <= 16; k++) twoDigits += k < 10 ? "....!...." + std::to_string(k) : "....!..." + std::to_string(k);
    const struct { int Width; bool TwoDigit, Margins; std::string Ruler; } cases[] = {
        // The printer's own ruler: L, the pattern, R in column 160.
        {160, false, true, withMargins(plain.substr(1, 158))},
        {160, false, false, plain},
        {160, true, false, twoDigits},
        // The digit 1 of "16" would stand before R: it becomes a point.
        {160, true, true, withMargins(twoDigits.substr(1, 157) + ".")},
        {10, false, true, "L...!....R"},
        {10, false, false, "....!....1"},
        {10, true, true, "L...!....R"},
        {15, false, true, "L...!....1....R"},
        {15, false, false, "....!....1....!"},
        {15, true, false, "....!....1....!"},
        // From 10 on every decade stays ten characters long.
        {100, true, false, twoDigits.substr(0, 100)},
        {100, true, true, withMargins(twoDigits.substr(1, 97) + ".")},
        {105, true, true, withMargins(twoDigits.substr(1, 103))},
    };
    for (const auto &c : cases) {
        std::string ruler = t_PrinterRuler(c.Width, c.TwoDigit, c.Margins);
        EXPECT_EQ(ruler, c.Ruler) << c.Width << " " << c.TwoDigit << " " << c.Margins;
        EXPECT_EQ(ruler.size(), size_t(c.Width)) << c.Width;
    }
}

// A 6 x 4 text window of 8 x 8 cells whose cells hold the lines (blank-padded).
void fillWindow(const std::vector<std::string> &lines) {
    static bool made = false;
    if (!made) {
        t_WaitForMemory();
        t_Font font;
        font.Format = t_FontFormatGrey;
        font.End = 255;
        font.Width = 8;
        font.Height = 8;
        font.Data.assign(256 * 64, 0);
        t_InitWindow(2, 8, false, 6 * 8, 4 * 8, 2, 2, font, true);
        made = true;
    }
    const t_Window &w = t_WindowTable[2];
    ASSERT_EQ(w.TextWidth, 6);
    ASSERT_EQ(w.TextHeight, 4);
    for (int line = 0; line < 4; line++)
        for (int column = 0; column < 6; column++) {
            std::string text = size_t(line) < lines.size() ? lines[size_t(line)] : "";
            uint8_t c = size_t(column) < text.size() ? uint8_t(text[size_t(column)]) : ' ';
            t_VideoMemory[size_t(w.TextMemoryStart + line * 6 + column)] = c;
        }
}

TEST(GetScreen, LinesLoseTrailingBlanksAndTheEmptyEnd) {
    struct { const char *Name; std::vector<std::string> Cells; std::string Separator, Text; } cases[] = {
        {"trailing blanks and empty last lines", {"AB", "", " C"}, "\r", "AB\r\r C"},
        {"inner blanks stay", {"A  B  ", "      ", "      ", "     Z"}, "\r", "A  B\r\r\r     Z"},
        {"full lines", {"ABCDEF", "GHIJKL", "MNOPQR", "STUVWX"}, "\r", "ABCDEF\rGHIJKL\rMNOPQR\rSTUVWX"},
        {"one line stays of a blank window", {}, "\r", ""},
        {"without separator every cell", {"AB", "", " C"}, "", "AB" + std::string(11, ' ') + "C" + std::string(10, ' ')},
        {"codes above 127 are characters", {"\xC4"}, "\r", "\xC3\x84"},
    };
    for (const auto &c : cases) {
        fillWindow(c.Cells);
        EXPECT_EQ(t_GetScreen(2, c.Separator), c.Text) << c.Name;
    }
}

TEST(GetScreen, RefusesWindowsWithoutText) {
    test_LogCapture log;
    EXPECT_EQ(t_GetScreen(8, "\r"), "");
    EXPECT_TRUE(log.has("t_GetScreen: Window is not a graphic window."));
    EXPECT_EQ(t_GetScreen(5, "\r"), "");
    EXPECT_TRUE(log.has("t_GetScreen: Window #5 not initialized."));
}

}  // namespace
