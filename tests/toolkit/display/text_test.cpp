// Text output: control codes, display modes, escapes, wrapping, scrolling,
// frames and the cursor.
#include "display_support.h"

class TextTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        initTextWindow(0, 24, 20, 6, patternFont(8, 8));
        t_DisplayHost host;
        host.Bell = [this] { bells++; };
        t_SetDisplayHost(host);
    }
    t_Window &w = t_WindowTable[0];
    int bells = 0;   // the bells the host was asked for
    std::string esc(char c) { return std::string("\x1B") + c; }
    std::pair<int, int> pos() const { return {w.TextHpos, w.TextVpos}; }
    std::vector<int> area() const { return {w.TextFirstColumn, w.TextFirstLine, w.TextLastColumn, w.TextLastLine}; }
};

TEST_F(TextTest, PrintWrapsAtTheLastColumn) {
    t_Print(0, std::string(20, 'a') + "b");
    EXPECT_EQ(lineText(0, 1), std::string(20, 'a'));
    EXPECT_EQ(pos(), std::make_pair(2, 2));
    t_Print(0, Text(std::vector<uint8_t>{'a', 0xE9, 13, 'b'}));   // the byte form prints bytes
    EXPECT_EQ(lineText(0, 2, 1, 3), "ba\xE9");
    EXPECT_EQ(test_Code(1, 3), 'b');
}

TEST_F(TextTest, NewLineOnTheLastLineScrolls) {
    for (int l = 1; l <= 6; l++) {
        t_Vtab(0, l);
        t_Htab(0, 1);
        t_Print(0, "line" + std::to_string(l));
    }
    t_Print(0, "AB\r");
    EXPECT_EQ(lineText(0, 1, 1, 5), "line2");
    EXPECT_EQ(lineText(0, 5, 1, 7), "line6AB");
    EXPECT_EQ(lineText(0, 6), std::string(20, ' '));
    EXPECT_EQ(pos(), std::make_pair(1, 6));
    t_Print(0, "\n");
    EXPECT_EQ(lineText(0, 4, 1, 7), "line6AB");
    EXPECT_EQ(w.TextVpos, 6);
    // With ScrollLock the cursor stays on the last line, which is overwritten.
    w.ScrollLock = true;
    t_Print(0, "xyz\n\rQ");
    EXPECT_EQ(lineText(0, 4, 1, 7), "line6AB");
    EXPECT_EQ(lineText(0, 6, 1, 3), "Qyz");
}

TEST_F(TextTest, ControlCodes) {
    struct Case {
        std::string Text;
        int Hpos, Vpos;
        std::string Line1, Line2;   // the first 6 cells of lines 1 and 2
    } cases[] = {
        {"abc\b\bX", 3, 1, "aXc   ", "      "},
        {"abc\rdef\x0C" "g", 2, 1, "g     ", "      "},       // Control-L: home and clear the window
        {"abcd\x12" "X", 2, 1, "Xbcd  ", "      "},            // Control-R: column 1
        {"abcd\rdef\x12\x1D", 1, 2, "abcd  ", "      "},      // Control-]: clear to the end of the line
        {"abcd\rdef\x1E\x0B", 4, 1, "abc   ", "      "},      // Control-K: clear to the end of the window
        {"abcd\rdef\x1Ag", 2, 2, "abcd  ", "g     "},         // Control-Z: column 1, clear the line
        {"ab\x1C\x1C" "c", 6, 1, "ab  c ", "      "},          // Control-\: cursor right
        {"ab\n\x1E" "c", 4, 1, "abc   ", "      "},            // line feed, then Control-^: up
        {"ab\x01\x02\x03\x09\x10\x15\x18" "c", 4, 1, "abc   ", "      "},   // codes without effect
        {"x\ry\x19z", 2, 1, "z     ", "y     "},              // Control-Y: home
    };
    for (const Case &c : cases) {
        t_Print(0, "\x0C");
        t_Print(0, c.Text);
        EXPECT_EQ(lineText(0, 1, 1, 6), c.Line1) << c.Text;
        EXPECT_EQ(lineText(0, 2, 1, 6), c.Line2) << c.Text;
        EXPECT_EQ(pos(), std::make_pair(c.Hpos, c.Vpos)) << c.Text;
    }
    // Attributes: Control-O inverse, Control-Q reverse, Control-N normal.
    t_Print(0, "\x0C\x0Fi\x11n\x11r\x0En");
    EXPECT_EQ(std::vector<int>({test_Colour(1, 1), test_Colour(2, 1), test_Colour(3, 1), test_Colour(4, 1)}),
              std::vector<int>({0x0C, 0xC0, 0x0C, 0xC0}));
    // The bell goes to the host.
    t_Print(0, "\a");
    EXPECT_EQ(bells, 1);
}

TEST_F(TextTest, EscapeSequences) {
    t_Print(0, esc('A'));
    EXPECT_EQ(std::make_pair(int(w.TextColor), w.TextHpos), std::make_pair(0x10, 1));
    t_Print(0, esc('Q'));
    EXPECT_EQ(w.TextColor, 0x11);
    t_Print(0, esc('L') + esc('P'));
    EXPECT_EQ(w.TextColor, 0xC0);
    // "g" is no command: it is drawn and the next character is still read
    // as a command.
    t_Print(0, esc('g') + "A");
    EXPECT_EQ(test_Code(1, 1), 'g');
    EXPECT_EQ(std::make_pair(int(w.TextColor), w.TextDisplayMode), std::make_pair(0x10, 0));
    t_Print(0, esc('L'));

    struct Tab { int Hpos; char Command; int ExpectedHpos, ExpectedVpos; } tabs[] = {
        {9, 'i', 11, 1}, {10, 'i', 21 - 20, 2},   // target 21 is past the 20 columns: new line
        {1, 'i', 11, 1}, {5, 'j', 1, 2}, {1, 'k', 1, 2},
    };
    for (const Tab &t : tabs) {
        t_Print(0, "\x0C" + std::string(size_t(t.Hpos - 1), '-') + esc(t.Command));
        EXPECT_EQ(pos(), std::make_pair(t.ExpectedHpos, t.ExpectedVpos)) << t.Hpos << t.Command;
        EXPECT_EQ(w.TextDisplayMode, 0);
    }
    t_Print(0, "\x0C" + esc('e'));
    EXPECT_EQ(pos(), std::make_pair(20, 6));
    t_Print(0, "\x0C" + esc('f'));
    EXPECT_EQ(w.TextHpos, 20);
    t_Print(0, esc('p'));
    EXPECT_EQ(w.RGBColorBorder, t_PaletteColor(2));
    t_Print(0, esc(char(127)));
    EXPECT_EQ(w.RGBColorBorder, t_PaletteColor(1));
}

TEST_F(TextTest, DisplayModes) {
    struct Case { int Mode; std::string Text; std::vector<uint8_t> Glyphs; uint8_t FirstColor; } cases[] = {
        {1, "A~ ", {'A' + 128, '~' + 128, ' ' + 128}, 0xC0},
        {2, "A`j\xC3\xA9", {1, 128, 138, 233}, 0xC0},
        {3, "\a", {'G'}, 0x0C},
        {4, "\x01", {'A'}, 0x10},
        {4, "\xC3\xA9", {233}, 0xC0},
        {4, "\xE2\x82\xAC", {'?'}, 0x10},
        {0, "\xE2\x82\xAC", {'?'}, 0xC0},
    };
    for (const Case &c : cases) {
        t_Print(0, "\x0C");
        t_DisplayMode(0, c.Mode);
        t_Print(0, c.Text + "B");
        t_DisplayMode(0, 0);
        for (size_t i = 0; i < c.Glyphs.size(); i++) EXPECT_EQ(test_Code(int(i) + 1, 1), c.Glyphs[i]) << c.Mode << c.Text;
        int next = int(c.Glyphs.size()) + 1;
        EXPECT_EQ(test_Colour(next, 1), 0xC0) << "the next character is drawn normally";
        EXPECT_EQ(w.TextColor, 0xC0);
        EXPECT_FALSE(w.TextInverse);
        EXPECT_EQ(test_Colour(1, 1), c.FirstColor) << c.Mode << c.Text;
    }
    EXPECT_EQ(bells, 0);
    // Control-T and Control-_ enter modes 1 and 2, Control-S leaves them.
    for (auto [code, mode] : {std::pair{"\x14", 1}, {"\x1F", 2}, {"\x13", 0}}) {
        t_Print(0, code);
        EXPECT_EQ(w.TextDisplayMode, mode);
    }
}

TEST_F(TextTest, Redirection) {
    // Mode 2 writes to the console, mode 0 nowhere; the cursor moves, the window stays.
    std::vector<uint8_t> memory = windowMemory(0);
    for (auto [mode, text, logged, hpos] : {std::tuple{2, "Hi\a", "Hi\a", 3}, {0, "Ho\x0C", "", 5}}) {
        test_LogCapture log;
        t_RedirectOutput(0, mode);
        t_Print(0, text);
        EXPECT_EQ(log.text(), logged);
        EXPECT_EQ(pos(), std::make_pair(hpos, 1));
    }
    t_RedirectOutput(0, 1);
    EXPECT_EQ(windowMemory(0), memory);
}

TEST_F(TextTest, AreaTabsAndCursorMoves) {
    t_Area(0, 5, 3, 4, 10);   // columns refused, lines too (10 > 6)
    EXPECT_EQ(area(), (std::vector<int>{1, 1, 20, 6}));
    t_Area(0, 5, 3, 4, 5);   // columns refused, lines taken
    EXPECT_EQ(area(), (std::vector<int>{1, 3, 20, 5}));
    EXPECT_EQ(pos(), std::make_pair(1, 3));
    t_Area(0, 5, 3, 12, 5);
    t_Htab(0, 1);
    EXPECT_EQ(w.TextHpos, 5);
    EXPECT_EQ(t_Hpos(0), 1);
    t_Htab(0, 17);   // 17 + 5 - 1 > 20
    EXPECT_EQ(w.TextHpos, 5);
    t_Vtab(0, 1);
    EXPECT_EQ(w.TextVpos, 1);
    t_CursorHome(0);
    t_CursorLeft(0);   // before the area: last column of the line above, scrolling down
    EXPECT_EQ(pos(), std::make_pair(12, 3));
    t_CursorEnd(0);
    t_CursorRight(0);
    EXPECT_EQ(pos(), std::make_pair(5, 5));
    t_PrintTab(0, 9, '.');
    EXPECT_EQ(lineText(0, 5, 5, 9), ".... ");
    t_PrintTab(0, 3, '.');
    EXPECT_EQ(w.TextHpos, 9);
    t_PrintSpc(0, 2);
    EXPECT_EQ(w.TextHpos, 11);
    t_FullArea(0);
    EXPECT_EQ(w.TextHpos, 11);
    EXPECT_EQ(w.TextLastLine, 6);
    EXPECT_EQ(t_Hpos(9), 0);
}

// Both scroll paths (memory moves and cell redraws) give the same pixels.
TEST_F(TextTest, ScrollFullAndPartialWidth) {
    for (int l = 1; l <= 6; l++) t_TextHline(0, 1, 20, l, uint8_t('A' + l));
    t_Inverse(0);
    t_Vtab(0, 3);
    t_Print(0, "\x12inv");   // inverse cells must keep their look
    t_Normal(0);
    const std::vector<uint8_t> start = windowMemory(0);
    t_Area(0, 1, 2, 20, 5);
    t_ScrollUp(0);
    std::vector<uint8_t> fast = windowMemory(0);
    EXPECT_EQ(lineText(0, 2, 1, 4), "invD");
    EXPECT_EQ(test_Colour(1, 2), 0x0C);
    EXPECT_EQ(lineText(0, 5), std::string(20, ' '));
    EXPECT_EQ(lineText(0, 6), std::string(20, 'G'));
    EXPECT_EQ(lineText(0, 1), std::string(20, 'B'));

    // The same scroll through the redraw path: split into two narrower areas.
    std::copy(start.begin(), start.end(), t_VideoMemory.begin() + w.TextMemoryStart);
    t_Area(0, 1, 2, 10, 5);
    t_ScrollUp(0);
    t_Area(0, 11, 2, 20, 5);
    t_ScrollUp(0);
    EXPECT_EQ(windowMemory(0), fast);

    t_Area(0, 1, 2, 20, 5);
    t_ScrollDown(0);
    std::vector<uint8_t> fastDown = windowMemory(0);
    EXPECT_EQ(lineText(0, 2), std::string(20, ' '));
    EXPECT_EQ(lineText(0, 3, 1, 4), "invD");
    EXPECT_EQ(test_Colour(1, 3), 0x0C);
    EXPECT_EQ(lineText(0, 4, 4, 6), "EEE");
    std::copy(fast.begin(), fast.end(), t_VideoMemory.begin() + w.TextMemoryStart);
    t_Area(0, 1, 2, 7, 5);
    t_ScrollDown(0);
    t_Area(0, 8, 2, 20, 5);
    t_ScrollDown(0);
    EXPECT_EQ(windowMemory(0), fastDown);

    w.ScrollLock = true;
    t_ScrollUp(0);
    EXPECT_EQ(windowMemory(0), fastDown);
}

TEST_F(TextTest, HeaderFillsTheAreaWidth) {
    t_Header(0, "Diskwright 1.4", "notice");
    EXPECT_EQ(lineText(0, 1), "Diskwright 1.4notice");
    EXPECT_EQ(pos(), std::make_pair(1, 2));
    t_Header(0, "left", "right");
    EXPECT_EQ(lineText(0, 2), "left" + std::string(11, ' ') + "right");
    // On the last line of a one-line area the header does not scroll.
    t_Area(0, 1, 6, 20, 6);
    t_Header(0, "a very long left text", "cut");
    EXPECT_EQ(lineText(0, 6), "a very long left tex");
    EXPECT_EQ(lineText(0, 5), std::string(20, ' '));
    EXPECT_EQ(w.TextHpos, 1);
}

TEST_F(TextTest, DialogTitleAndFrame) {
    initTextWindow(0, 24, 60, 20, patternFont(8, 8));
    t_Htab(0, 2);
    t_DialogTitle(0, "Select", 40);
    std::string expected = std::string(15, char(159)) + char(18) + " Select " + char(19) + std::string(15, char(159));
    EXPECT_EQ(lineText(0, 1, 2, 41), expected);
    EXPECT_EQ(test_Colour(18, 1), 0x0C);   // the title is inverse
    EXPECT_EQ(test_Colour(17, 1), 0xC0);
    EXPECT_EQ(w.TextHpos, 42);

    t_DisplayMode(0, 1);
    t_Dialog(0, "Files", 10, 5, 50, 15);
    EXPECT_EQ(area(), (std::vector<int>{11, 6, 49, 14}));
    EXPECT_EQ(pos(), std::make_pair(11, 6));
    EXPECT_EQ(w.TextDisplayMode, 1);
    for (int line : {5, 9}) EXPECT_EQ(std::make_pair(test_Code(10, line), test_Code(50, line)), std::make_pair(139, 138));
    EXPECT_EQ(lineText(0, 15, 11, 49), std::string(39, char(140)));
    EXPECT_EQ(test_Code(10, 15) + test_Code(50, 15), ' ' + ' ');   // bottom corners are not drawn
    EXPECT_EQ(lineText(0, 10, 11, 49), std::string(39, ' '));
    // Title bar of 39 cells: 15 + cap + " Files " + cap + 15.
    EXPECT_EQ(lineText(0, 5, 27, 33), " Files ");
}

TEST_F(TextTest, TextLine) {
    t_Htab(0, 5);
    t_TextLine(0);
    EXPECT_EQ(lineText(0, 1, 1, 20), "    " + std::string(16, char(156)));
    EXPECT_EQ(w.TextVpos, 2);
    t_TextHline(0, 5, 4, 3, 'x');
    EXPECT_EQ(lineText(0, 3), std::string(20, ' '));
}

// The cursor shows (inverse) from level 1 on; levels count on and off.
TEST_F(TextTest, CursorLevels) {
    t_Print(0, "A");
    t_Htab(0, 1);
    const std::pair<void (*)(uint8_t), int> steps[] = {{t_CursorOn, 0x0C}, {t_CursorOn, 0x0C}, {t_CursorOff, 0x0C},
                                                       {t_CursorOff, 0xC0}, {t_CursorOff, 0xC0}, {t_CursorOn, 0xC0}};
    for (auto [step, colour] : steps) {
        step(0);
        EXPECT_EQ(test_Colour(1, 1), colour);
    }
    EXPECT_EQ(test_Code(1, 1), 'A');
    EXPECT_EQ(w.TextCursorLevel, 0);
}

TEST_F(TextTest, PauseRuleRunsAtNewLinesAndAtTheEndAndNoTextFontPrintsNothing) {
    std::vector<int> checks;
    t_SetPauseOnKey([&](int key, bool wait) {
        EXPECT_TRUE(wait);
        checks.push_back(key);
        return t_PauseResult{checks.size() == 3, 'x'};
    });
    t_Print(0, "a\rb\r");
    EXPECT_EQ(checks.size(), 3u);
    EXPECT_EQ(checks[0], 19);
    t_PrintResult r = t_Print(0, Text("c"));
    EXPECT_FALSE(r.Paused);
    checks.clear();
    t_Print(0, "");
    r = t_Print(0, Text("\r"));
    EXPECT_TRUE(r.Paused);
    EXPECT_EQ(r.Key, 'x');
    // Windows without a text font print nothing.
    t_InitWindow(1, 8, false, 64, 64, 0, 0, t_EmptyFont(), true);
    test_LogCapture log;
    t_Print(1, "x");
    EXPECT_TRUE(log.has("t_Print: Window #1 not initialized."));
    t_WindowFont(0, t_EmptyFont());
    t_Print(0, "x");
    EXPECT_TRUE(log.has("t_Print: Window #0 has no text font."));
}
