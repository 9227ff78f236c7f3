// The font file builder: header layout and data that expands to the glyphs.
#include <gtest/gtest.h>

#include <random>

#include "font_file.h"
#include "fonts.h"

namespace {

fg_FontImage sampleFont(uint8_t start, uint8_t end) {
    fg_FontImage font;
    font.Start = start;
    font.End = end;
    font.Grey.resize(size_t(font.Width) * font.Height * (end + 1u));
    std::mt19937 rng(end);
    for (size_t i = 0; i < font.Grey.size(); ++i)
        font.Grey[i] = (i / 7) % 3 == 0 ? static_cast<uint8_t>(rng()) : 0;
    return font;
}

} // namespace

TEST(FontFile, HeaderFieldsSitAtTheirOffsets) {
    const fg_FontImage font = sampleFont(0, 255);
    const std::vector<uint8_t> file = fg_FontFileBytes(font);
    ASSERT_GT(file.size(), 17u);
    const std::vector<uint8_t> header(file.begin(), file.begin() + 16);
    const std::vector<uint8_t> expected = {16, 'v', 'x', 'f', 'n', 102, 0x00, 0x02, 0x00, 0x00,
                                           0, 255, 16, 32, 0, 0};
    EXPECT_EQ(header, expected);
    EXPECT_GE(file[16], 9);
    EXPECT_LE(file[16], 16);
}

TEST(FontFile, DataExpandsToTheGlyphsFromCodeZero) {
    for (auto [start, end] : {std::pair<uint8_t, uint8_t>{0, 255}, {32, 126}, {65, 65}}) {
        const fg_FontImage font = sampleFont(start, end);
        const t_Font loaded = t_FontFromBytes(fg_FontFileBytes(font), "sample.font");
        EXPECT_EQ(loaded.Format, t_FontFormatGrey);
        EXPECT_EQ(loaded.Start, start);
        EXPECT_EQ(loaded.End, end);
        EXPECT_EQ(size_t(loaded.Size), font.Grey.size());
        EXPECT_EQ(loaded.Data, font.Grey);
    }
}

TEST(FontFile, RefusesImagesThatDoNotMatchTheirHeader) {
    fg_FontImage font = sampleFont(0, 10);
    font.Grey.pop_back();
    EXPECT_TRUE(fg_FontFileBytes(font).empty());
    font = sampleFont(20, 10);
    font.Start = 20;
    EXPECT_TRUE(fg_FontFileBytes(font).empty());
    font = sampleFont(0, 10);
    font.Width = 256;
    EXPECT_TRUE(fg_FontFileBytes(font).empty());
    font = sampleFont(0, 10);
    font.Height = 0;
    EXPECT_TRUE(fg_FontFileBytes(font).empty());
}
