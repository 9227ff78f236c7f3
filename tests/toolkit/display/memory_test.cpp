// Window table, video memory, block allocation and t_InitWindow.
#include "display_support.h"

using MemoryTest = DisplayTest;

static const std::string P0 = "t_InitWindow: GraphicWindow #0";

TEST_F(MemoryTest, MainProgramWindowTakesMaskedBlocks) {
    test_LogCapture log;
    initTextWindow(0, 24, 80, 25, solidFont(16, 32));
    const t_Window &w = t_WindowTable[0];
    ASSERT_TRUE(w.Initialized);
    EXPECT_EQ(std::vector<int>({w.Width, w.Height, w.TextWidth, w.TextHeight}), std::vector<int>({1280, 800, 80, 25}));
    // Blocks from the top down, each start with bits 10 and 11 cleared.
    EXPECT_EQ(std::make_pair(w.MemoryStart, w.MemoryEnd), std::make_pair(0xD12000, 0xFFFFFF));
    EXPECT_EQ(w.TextMemoryEnd, w.MemoryStart - 1);
    EXPECT_EQ(w.TextMemoryStart, int((w.TextMemoryEnd - 4000 + 1) & 0xFFFFF400));
    EXPECT_EQ(t_HighMemory, w.TextMemoryStart - 1);
    EXPECT_TRUE(log.has(P0 + " = 1280 x 800 pixel x 24 bit = 3000.0K video-memory = $00D12000."));
    EXPECT_TRUE(log.has(P0 + " End."));
    // A freshly cleared text window holds spaces in green on black.
    EXPECT_EQ(lineText(0, 25), std::string(80, ' '));
    EXPECT_EQ(test_Colour(80, 25), 0xC0);
    EXPECT_EQ(t_VideoMemory[size_t(w.MemoryStart)], 0);
}

TEST_F(MemoryTest, WidthAndHeightCorrections) {
    struct Case {
        int Depth, Width, Height, Expected, ExpectedHeight;
        const char *Line;   // expected log line after the window prefix, or ""
    } cases[] = {
        {24, 20, 100, 1280, 100, " cannot display 20 horizontal pixel."},
        {24, 9000, 100, 1280, 100, " cannot display 9000 horizontal pixel."},
        {24, 64, 31, 64, 800, " cannot display 31 vertical pixel."},
        {4, 642, 64, 640, 64, " width with 4 bit depth must be a multiple of 4."},
        {4, 643, 64, 644, 64, " width with 4 bit depth must be a multiple of 4."},
        {4, 644, 64, 644, 64, ""},
        {1, 641, 64, 648, 64, " width with 1 bit depth must be a multiple of 8."},
    };
    for (const Case &c : cases) {
        test_LogCapture log;
        t_InitWindow(3, c.Depth, false, c.Width, c.Height, 0, 0, t_EmptyFont(), true);
        const t_Window &w = t_WindowTable[3];
        SCOPED_TRACE(std::to_string(c.Depth) + " bit, width " + std::to_string(c.Width));
        EXPECT_TRUE(w.Initialized);
        EXPECT_EQ(std::make_tuple(w.Width, w.Height, w.TextMemoryStart), std::make_tuple(c.Expected, c.ExpectedHeight, -1));
        if (*c.Line) { EXPECT_TRUE(log.has("t_InitWindow: GraphicWindow #3" + std::string(c.Line))) << log.text(); }
        EXPECT_EQ(log.count("multiple of"), std::string(c.Line).find("multiple of") != std::string::npos ? 1 : 0);
    }
}

TEST_F(MemoryTest, RefusedWindowsStayUninitialisedAndGiveTheirBlocksBack) {
    test_LogCapture log;
    t_InitWindow(8, 24, false, 640, 400, 0, 0, t_EmptyFont(), true);
    EXPECT_TRUE(log.has("t_InitWindow: Window is not a graphic window."));
    t_InitWindow(2, 12, false, 640, 400, 0, 0, t_EmptyFont(), true);
    EXPECT_TRUE(log.has("t_InitWindow: GraphicWindow #2 unsupported 12 bit depth."));
    EXPECT_FALSE(t_WindowTable[2].Initialized);
    // 8192 x 8192 at 32 bits is 256 MB: more than the whole memory.
    t_InitWindow(2, 32, false, 8192, 8192, 0, 0, t_EmptyFont(), true);
    EXPECT_TRUE(log.has("t_InitWindow: GraphicWindow #2 has not enough graphic-video-memory (16319K available)."));
    EXPECT_TRUE(log.has("t_InitWindow: Displaying 8192 x 8192 pixel x 32 bit needs 262144.0K video-memory."));
    EXPECT_FALSE(t_WindowTable[2].Initialized);
    // The graphic block fits (15.6 MB of 16.3 MB), and so would the text
    // block of a 4x4 font on its own (2 MB), but not both together.
    t_InitWindow(1, 8, false, 4000, 4000, 0, 0, solidFont(4, 4), true);
    EXPECT_FALSE(t_WindowTable[1].Initialized);
    EXPECT_EQ(log.count("has not enough text-video-memory"), 1);
    EXPECT_TRUE(log.has("t_InitWindow: Displaying 1000 x 1000 characters needs 1953.125K text-video-memory."));
    // The text-window form with a missing font.
    t_InitWindow(2, 24, 80, 25, 16, "No Such Font.font");
    EXPECT_TRUE(log.has("t_InitWindow: Font 'No Such Font.font' not found."));
    EXPECT_FALSE(t_WindowTable[2].Initialized);
    EXPECT_EQ(t_HighMemory, 0xFFFFFF);
    // A host without the view.
    t_DisplayHost host;
    host.GetView = [](uint8_t) -> void * { return nullptr; };
    t_SetDisplayHost(host);
    initTextWindow(4, 24, 10, 5, solidFont(8, 8));
    EXPECT_FALSE(t_WindowTable[4].Initialized);
    EXPECT_TRUE(log.has("t_InitWindow: GraphicWindow #4 could not be initialized, resource undefined."));
    EXPECT_EQ(t_HighMemory, 0xFFFFFF);
    // A font without width: a window without text block.
    t_SetDisplayHost(t_DisplayHost{});
    t_Font f = solidFont(16, 32);
    f.Width = 0;
    t_InitWindow(1, 8, false, 640, 400, 0, 0, f, true);
    EXPECT_TRUE(t_WindowTable[1].Initialized);
    EXPECT_EQ(std::make_pair(t_WindowTable[1].TextWidth, t_WindowTable[1].TextMemoryStart), std::make_pair(0, -1));
}

TEST_F(MemoryTest, ReinitialisingMovesLaterWindowsWithContents) {
    t_Font font = patternFont(8, 16);
    initTextWindow(0, 24, 20, 10, font);
    initTextWindow(1, 4, 20, 10, font);
    t_InitWindow(2, 32, false, 64, 64, 0, 0, t_EmptyFont(), true);
    t_Print(1, "window one");
    const t_Window &w1 = t_WindowTable[1], &w2 = t_WindowTable[2];
    for (int i = 0; i < 64 * 64 * 4; i++) t_VideoMemory[size_t(w2.MemoryStart + i)] = uint8_t(i * 7);
    std::vector<uint8_t> memory1 = windowMemory(1), memory2 = windowMemory(2);
    const t_Window before0 = t_WindowTable[0], before1 = w1, before2 = w2;
    const int size = (before0.MemoryEnd - before0.MemoryStart + 1) + (before0.TextMemoryEnd - before0.TextMemoryStart + 1);

    test_LogCapture log;
    initTextWindow(0, 24, 20, 10, font);
    EXPECT_EQ(w1.MemoryStart, before1.MemoryStart + size);
    EXPECT_EQ(w1.TextMemoryStart, before1.TextMemoryStart + size);
    EXPECT_EQ(w2.MemoryStart, before2.MemoryStart + size);
    EXPECT_EQ(windowMemory(1), memory1);
    EXPECT_EQ(windowMemory(2), memory2);
    EXPECT_EQ(lineText(1, 1, 1, 10), "window one");
    EXPECT_EQ(std::make_pair(log.count(" moving graphic block for win #"), log.count(" moving text block for win #")), std::make_pair(2, 1));
    EXPECT_TRUE(log.has(P0 + " high memory = $00FFFFFF, graphic block size to delete = $" + t_Hex8(before0.MemoryEnd - before0.MemoryStart + 1) + "."));
    EXPECT_TRUE(log.has(P0 + " moving graphic block for win #1$" + t_Hex8(before1.MemoryStart) + "..." + t_Hex8(before1.MemoryEnd) +
                        " to$" + t_Hex8(before1.MemoryStart + size) + "..." + t_Hex8(before1.MemoryEnd + size)));
    // Window 0 is now the lowest block.
    EXPECT_LT(t_WindowTable[0].MemoryStart, w2.MemoryStart);
    EXPECT_EQ(t_HighMemory, t_WindowTable[0].TextMemoryStart - 1);
}

TEST_F(MemoryTest, ClearedWindowsAtEveryDepth) {
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        t_InitWindow(5, depth, false, 64, 32, 0, 0, t_EmptyFont(), true);
        const t_Window &w = t_WindowTable[5];
        int64_t size = t_GraphicSize(64, 32, depth);
        for (int64_t i = 0; i < size; i++) {
            uint8_t expected = depth == 32 && i % 4 == 0 ? 0xFF : 0;
            ASSERT_EQ(t_VideoMemory[size_t(w.MemoryStart + i)], expected) << depth << " bit, byte " << i;
        }
    }
}

TEST_F(MemoryTest, PaletteAndGuards) {
    EXPECT_EQ(t_PaletteColor(16), (t_RGBColor{0xFF, 0, 0, 0}));
    EXPECT_EQ(t_PaletteColor(-1), (t_RGBColor{0xFF, 0, 0, 0}));
    EXPECT_EQ(t_PaletteColor(7), (t_RGBColor{0xFF, 0x00, 0x80, 0xFF}));
    test_LogCapture log;
    t_Htab(9, 1);
    t_Htab(3, 1);
    t_InitWindow(3, 8, false, 64, 64, 0, 0, t_EmptyFont(), true);
    t_Print(3, "x");
    t_Area(3, 1, 1, 1, 1);   // needs no text block
    EXPECT_EQ(log.count("t_Area"), 0);
    std::vector<std::string> guard;
    for (const std::string &l : log.lines())
        if (l.find("t_InitWindow") == std::string::npos) guard.push_back(l);
    // t_Area itself needs no text block; the cursor home it ends with does.
    EXPECT_EQ(guard, (std::vector<std::string>{"t_Htab: Window is not a graphic window.", "t_Htab: Window #3 not initialized.",
                                               "t_Print: Window #3 not initialized.",
                                               "t_CursorHome: Window #3 not initialized."}));
}

TEST_F(MemoryTest, BlockAllocationMask) {
    struct Case { int High; int64_t Size; int Start; } cases[] = {
        {0xFFFFFF, 0x400, 0xFFF400},   // bit 11 is cleared as well: 3 KB more than asked
        {0xFFFFFF, 0x800, 0xFFF000},
        {0xFFFFFF, 0xC00, 0xFFF400},
        {0xFFFFFF, 0xC01, 0xFFF000},
        {0xFFF3FF, 1, 0xFFF000},
    };
    for (const Case &c : cases) {
        t_HighMemory = c.High;
        t_Block b = t_TakeBlock(c.Size);
        EXPECT_EQ(b.Start, c.Start) << std::hex << c.High << " " << c.Size;
        EXPECT_EQ(b.End, c.High);
        EXPECT_EQ(t_HighMemory, c.Start - 1);
    }
    t_HighMemory = t_HighMemoryTop;
}
