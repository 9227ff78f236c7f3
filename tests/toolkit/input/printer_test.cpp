// The printer's ruler.
#include <gtest/gtest.h>

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

}  // namespace
