// Fonts and glyph drawing: font files and their expansion, colour blending at
// every depth, the text block, inversion.
#include "display_support.h"

using GlyphTest = DisplayTest;

// The first pixel of the cell (1, 1) as the graphic block holds it.
static uint32_t firstPixel(uint8_t window) {
    const t_Window &w = t_WindowTable[window];
    const uint8_t *p = t_VideoMemory.data() + w.MemoryStart;
    switch (w.BitDepth) {
    case 1: return p[0] >> 7;
    case 4: return p[0] >> 4;
    case 8: return p[0];
    case 16: return p[1];
    case 24: return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    case 32: return uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    }
    return 0;
}

TEST_F(GlyphTest, BlendingAtEveryDepth) {
    struct Case { int Depth; uint8_t Colour, Grey; uint32_t Pixel; } cases[] = {
        {24, 0xC0, 255, 0x00FF00}, {24, 0xC0, 0, 0x000000},   {24, 0xC0, 128, 0x008000},
        {24, 0x1F, 100, 0xFF9B9B},   // red over white: 100 + 155 each for green and blue
        {32, 0xC0, 128, 0x008000}, {32, 0x75, 0, 0x545454},
        {8, 0xF0, 200, 200},       {8, 0x10, 255, 85},          // red is grey (255 + 0 + 0) / 3
        {16, 0xF0, 77, 77},
        {4, 0xF0, 100, 5},         {4, 0xF0, 200, 15},          {4, 0xF0, 63, 0},   {4, 0xF0, 150, 10},
        {4, 0xC0, 128, 4},         // (0, 128, 0) is palette 4
        {4, 0xC0, 255, 12},
        {1, 0xF0, 127, 0},         {1, 0xF0, 129, 1},           {1, 0x0F, 0, 1},
    };
    for (const Case &c : cases) {
        initTextWindow(2, c.Depth, 8, 2, solidFont(8, 8));
        t_PrintSymbol(2, c.Grey, c.Colour, 1, 1);
        EXPECT_EQ(firstPixel(2), c.Pixel) << c.Depth << " bit, colour " << std::hex << int(c.Colour) << ", grey "
                                          << std::dec << int(c.Grey);
        EXPECT_EQ(t_BlendedPixel(c.Depth, c.Colour, c.Grey), c.Pixel);
    }
}

TEST_F(GlyphTest, CellsDrawOnlyTheirOwnPixels) {
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        initTextWindow(2, depth, 4, 3, solidFont(8, 8));
        const t_Window &w = t_WindowTable[2];
        std::vector<uint8_t> before(t_VideoMemory.begin() + w.MemoryStart, t_VideoMemory.begin() + w.MemoryEnd + 1);
        t_PrintSymbol(2, 255, 0xF0, 2, 2);
        int rowBytes = t_RowBytes(w), changed = 0;
        for (int i = 0; i < int(before.size()); i++) {
            if (t_VideoMemory[size_t(w.MemoryStart + i)] == before[size_t(i)]) continue;
            changed++;
            int y = i / rowBytes, xByte = i % rowBytes;
            int x = depth == 1 ? xByte * 8 : depth == 4 ? xByte * 2 : xByte / (depth / 8);
            EXPECT_TRUE(y >= 8 && y < 16 && x >= 8 && x < 16) << depth << " bit: byte " << i;
        }
        EXPECT_GT(changed, 0) << depth;
    }
}

TEST_F(GlyphTest, TextBlockAndInverse) {
    initTextWindow(0, 24, 10, 4, solidFont(8, 8));
    t_ClearRect(0, 1, 1, 10, 4);   // every cell drawn from the text block
    t_PrintSymbol(0, 'A', 0xC0, 3, 2);
    t_Inverse(0);
    t_PrintSymbol(0, 'B', 0xC0, 4, 2);
    t_Normal(0);
    EXPECT_EQ(lineText(0, 2, 3, 4), "AB");
    EXPECT_EQ(std::make_pair(test_Colour(3, 2), test_Colour(4, 2)), std::make_pair(0xC0, 0x0C));

    // Inverting twice restores pixels and colours.
    const t_Window &w = t_WindowTable[0];
    std::vector<uint8_t> before = windowMemory(0);
    t_InvertRect(0, 2, 1, 5, 3);
    EXPECT_EQ(std::make_pair(test_Colour(3, 2), test_Colour(4, 2)), std::make_pair(0x0C, 0xC0));
    EXPECT_EQ(test_Code(3, 2), 'A');
    t_InvertRect(0, 2, 1, 5, 3);
    EXPECT_EQ(windowMemory(0), before);
    EXPECT_FALSE(w.TextInverse);
    // Out-of-grid rectangles are ignored.
    t_InvertRect(0, 0, 1, 5, 3);
    t_ClearRect(0, 1, 1, 11, 1);
    EXPECT_EQ(windowMemory(0), before);
    t_ClearRect(0, 3, 2, 4, 2);
    EXPECT_EQ(lineText(0, 2, 3, 4), "  ");
}

TEST_F(GlyphTest, IllegalCoordinatesAreRefused) {
    initTextWindow(0, 24, 10, 4, solidFont(8, 8));
    const t_Window &w = t_WindowTable[0];
    // The window's blocks and a margin on either side, within the memory.
    const size_t from = size_t(std::max(0, w.TextMemoryStart - 64));
    const size_t to = std::min(t_VideoMemory.size(), size_t(w.MemoryEnd) + 65);
    std::vector<uint8_t> before(t_VideoMemory.begin() + long(from), t_VideoMemory.begin() + long(to));
    struct Case { int Column, Line; } cases[] = {{11, 1}, {0, 1}, {1, 0}, {-5, -5}, {1, 5}, {1000000, 1}, {20, 1}};
    for (const Case &c : cases) {
        test_LogCapture log;
        if (c.Column == 20) t_WindowFont(0, solidFont(4, 4));   // a smaller cell: the grid stays 10 x 4
        t_PrintSymbol(0, 'X', 0xC0, c.Column, c.Line);
        EXPECT_TRUE(log.has("t_PrintSymbol: Window #0 illegal coordinates (x = " + std::to_string(c.Column) +
                            ", y = " + std::to_string(c.Line) + ")."))
            << log.text();
    }
    EXPECT_EQ(std::vector<uint8_t>(t_VideoMemory.begin() + long(from), t_VideoMemory.begin() + long(to)), before);
}

TEST_F(GlyphTest, UndrawableGlyphsStillReachTheTextBlock) {
    t_Font narrow = makeFont(8, 8, [](int, int, int) { return uint8_t(255); }, 32, 126);
    initTextWindow(0, 24, 10, 4, narrow);
    std::vector<uint8_t> before = windowMemory(0);
    t_PrintSymbol(0, 200, 0xC0, 1, 1);   // outside Start..End
    EXPECT_EQ(test_Code(1, 1), 200);
    // Glyph data shorter than the font says: nothing is read beyond it.
    t_Font cut = narrow;
    cut.End = 255;
    cut.Data.resize(64 * 100);
    t_WindowFont(0, cut);
    t_PrintSymbol(0, 250, 0xC0, 2, 1);
    EXPECT_EQ(test_Code(2, 1), 250);

    struct Case {
        int Format;
        const char *Line;
    } cases[] = {{0, "t_PrintSymbol: Font format must be uncompressed grey for text-printing."},
                 {102, "t_PrintSymbol: Font format must be uncompressed grey for text-printing."},
                 {7, "t_PrintSymbol: Illegal font format."}};
    for (const Case &c : cases) {
        t_Font f = narrow;
        f.Format = c.Format;
        t_WindowFont(0, f);
        test_LogCapture log;
        t_PrintSymbol(0, 'Q', 0x10, 3, 1);
        EXPECT_TRUE(log.has(c.Line)) << c.Format;
        EXPECT_EQ(std::make_pair(test_Code(3, 1), test_Colour(3, 1)), std::make_pair(int('Q'), 0x10));
    }
    // Only the text block changed: three characters and their colours.
    std::vector<uint8_t> after = windowMemory(0);
    int changed = 0;
    for (size_t i = 0; i < after.size(); i++) changed += after[i] != before[i];
    EXPECT_LE(changed, 6);
}

// --- font files ---------------------------------------------------------------

static std::vector<uint8_t> bytesOf(const std::string &s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(FontTest, MissingFilesAndBrokenHeaders) {
    test_LogCapture missing;
    EXPECT_TRUE(t_LoadFontResource("Missing 16x32.font").Data.empty());
    EXPECT_TRUE(missing.has("t_LoadFontResource: Could not load file \u201EMissing 16x32.font\u201C")) << missing.text();
    struct Case { std::vector<uint8_t> File; const char *Line; std::vector<uint8_t> Identifier; } cases[] = {
        {bytesOf(std::string("\x10vxfn\x02\0\0\0\0\0", 12)), "t_LoadFontResource: Invalid header size", bytesOf("vxfn")},
        {bytesOf(std::string("\x10" "ABCD\x02\0\0\0\0\0\0\0\0\0\0", 16)), "t_LoadFontResource: Invalid file type", bytesOf("ABCD")},
        // Too short to hold the identifier: the bytes there are.
        {bytesOf(std::string("\x02vx", 3)), "t_LoadFontResource: Invalid file type", bytesOf("vx")},
        {bytesOf(std::string("\x00", 1)), "t_LoadFontResource: Invalid file type", {}},
    };
    for (const Case &c : cases) {
        test_LogCapture log;
        t_Font f = t_FontFromBytes(c.File, "x.font");
        EXPECT_TRUE(log.has(c.Line)) << log.text();
        EXPECT_TRUE(f.Data.empty());
        EXPECT_EQ(std::make_tuple(f.HeaderSize, f.Identifier, f.Width), std::make_tuple(int(c.File[0]), c.Identifier, 0));
    }
}

TEST(FontTest, HeaderFieldsAtFixedOffsets) {
    t_Font source = solidFont(2, 3);
    std::vector<uint8_t> file = fontFile(source, 2);
    t_Font f = t_FontFromBytes(file, "x.font");
    EXPECT_EQ(std::make_tuple(f.Format, f.Size, f.Start, f.End, f.Width, f.Height, f.Reserved),
              std::make_tuple(2, int64_t(source.Data.size()), uint8_t(0), uint8_t(255), 2, 3, 0x1234));
    EXPECT_EQ(f.Data, source.Data);
    // Compressed by the font generator: format 102 expands to 2, 100 to 0.
    EXPECT_EQ(t_FontFromBytes(fontFile(source, 102, 16, 9), "x.font").Data, source.Data);
    EXPECT_EQ(t_FontFromBytes(fontFile(source, 100), "x.font").Format, 0);

    // A 15-byte header: bytes 14 and 15 are read although byte 15 is glyph data.
    std::vector<uint8_t> short15 = fontFile(source, 2, 15);
    t_Font g = t_FontFromBytes(short15, "x.font");
    EXPECT_EQ(std::make_tuple(g.HeaderSize, g.Reserved, g.Data), std::make_tuple(15, 0x12 << 8 | source.Data[0], source.Data));
    // ... and as 0 when the whole file is shorter than 16 bytes.
    std::vector<uint8_t> tiny(short15.begin(), short15.begin() + 15);
    EXPECT_EQ(t_FontFromBytes(tiny, "x.font").Reserved, 0);
    // Header fields beyond the end of a short file read as 0 instead of
    // reading past the file.
    std::vector<uint8_t> twelve(short15.begin(), short15.begin() + 12);
    twelve[0] = 12;
    t_Font h = t_FontFromBytes(twelve, "x.font");
    EXPECT_EQ(std::make_tuple(h.Width, h.Height, h.End), std::make_tuple(0, 0, uint8_t(255)));
}

TEST(FontTest, InvalidStreamsGiveNoFont) {
    // 9-bit codes: 'a', then 257 while 256 is the code being defined.
    std::vector<uint8_t> undefined = {9, 0x30, 0xC0, 0x40};
    EXPECT_TRUE(t_ExpandLZW(undefined).empty());
    EXPECT_TRUE(t_ExpandLZW({0, 1, 2, 3}).empty());   // zero-width codes
    EXPECT_TRUE(t_ExpandLZW({40, 1, 2, 3, 4, 5, 6}).empty());
    EXPECT_TRUE(t_ExpandLZW({9, 0x80, 0x00}).empty());   // first code above 255
    EXPECT_TRUE(t_ExpandLZW({9}).empty());
    // A stream whose every code is the entry being defined grows
    // quadratically; it is cut off instead of exhausting memory.
    std::vector<uint32_t> codes{'a'};
    for (uint32_t k = 0; k < 20000; k++) codes.push_back(256 + k);
    std::vector<uint8_t> hostile{16};
    for (uint32_t c : codes) {
        hostile.push_back(uint8_t(c >> 8));
        hostile.push_back(uint8_t(c));
    }
    EXPECT_TRUE(t_ExpandLZW(hostile).empty());
    // A font whose stream is invalid counts as missing.
    std::vector<uint8_t> file = fontFile(solidFont(2, 2), 102);
    file.resize(16);
    file.insert(file.end(), undefined.begin(), undefined.end());
    EXPECT_TRUE(t_FontFromBytes(file, "x.font").Data.empty());
}
