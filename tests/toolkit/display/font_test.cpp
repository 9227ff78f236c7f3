// Font files and LZW expansion.
#include "display_support.h"

static std::vector<uint8_t> bytesOf(const std::string &s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(FontTest, MissingFileLogsItsName) {
    test_LogCapture log;
    t_Font f = t_LoadFontResource("Missing 16x32.font");
    EXPECT_TRUE(f.Data.empty());
    EXPECT_TRUE(log.has("t_LoadFontResource: Could not load file \u201EMissing 16x32.font\u201C")) << log.text();
}

TEST(FontTest, BrokenHeaders) {
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

    // A 15-byte header: bytes 14 and 15 are read although byte 15 is glyph data.
    std::vector<uint8_t> short15 = fontFile(source, 2, 15);
    t_Font g = t_FontFromBytes(short15, "x.font");
    EXPECT_EQ(g.HeaderSize, 15);
    EXPECT_EQ(g.Reserved, 0x12 << 8 | source.Data[0]);
    EXPECT_EQ(g.Data, source.Data);
    // ... and as 0 when the whole file is shorter than 16 bytes.
    std::vector<uint8_t> tiny(short15.begin(), short15.begin() + 15);
    EXPECT_EQ(t_FontFromBytes(tiny, "x.font").Reserved, 0);
    // Header fields beyond the end of a short file read as 0 instead of
    // reading past the file.
    std::vector<uint8_t> twelve(short15.begin(), short15.begin() + 12);
    twelve[0] = 12;
    t_Font h = t_FontFromBytes(twelve, "x.font");
    EXPECT_EQ(std::make_pair(h.Width, h.Height), std::make_pair(0, 0));
    EXPECT_EQ(h.End, 255);
}

// Whole font files of formats 102 and 100, compressed by the font generator.
TEST(FontTest, CompressedFontsExpand) {
    t_Font source = patternFont(16, 32);
    for (int width : {9, 12, 16}) {
        t_Font f = t_FontFromBytes(fontFile(source, 102, 16, width), "x.font");
        EXPECT_EQ(f.Format, 2);
        EXPECT_EQ(f.Data, source.Data) << width;
    }
    EXPECT_EQ(t_FontFromBytes(fontFile(source, 100, 16, 12), "x.font").Format, 0);
}

TEST(FontTest, InvalidStreamsGiveNoFont) {
    // 9-bit codes: 'a', then 257 while 256 is the code being defined.
    std::vector<uint8_t> undefined = {9, 0x30, 0xC0, 0x40};
    EXPECT_TRUE(t_ExpandLZW(undefined).empty());
    std::vector<uint8_t> defined = {9, 0x30, 0xC0, 0x00};   // 'a', 256
    EXPECT_EQ(t_ExpandLZW(defined), bytesOf("aaa"));
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

TEST_F(DisplayTest, WindowFontKeepsTheTextGrid) {
    initTextWindow(0, 24, 10, 4, solidFont(8, 8));
    t_Font regular = patternFont(8, 8);
    t_WindowFont(0, regular);
    EXPECT_EQ(t_WindowTable[0].Font.Data, regular.Data);
    EXPECT_EQ(t_WindowTable[0].TextWidth, 10);
    test_LogCapture log;
    t_WindowFont(6, regular);
    EXPECT_TRUE(log.has("t_WindowFont: Window #6 not initialized."));
}
