// The font file builder: header layout and data that expands to the glyphs.
#include <gtest/gtest.h>

#include <functional>
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

TEST(FontFile, TheLoaderExpandsTheGlyphsFromCodeZero) {
    for (auto [start, end] : {std::pair<uint8_t, uint8_t>{0, 255}, {32, 126}, {65, 65}}) {
        const fg_FontImage font = sampleFont(start, end);
        const t_Font loaded = t_FontFromBytes(fg_FontFileBytes(font), "sample.font");
        EXPECT_EQ(std::make_tuple(loaded.Format, loaded.Start, loaded.End, loaded.Width, loaded.Height),
                  std::make_tuple(2, start, end, 16, 32));
        EXPECT_EQ(loaded.Size, int64_t(font.Grey.size()));
        EXPECT_EQ(loaded.Data, font.Grey);
    }
}

TEST(FontFile, RefusesImagesThatDoNotMatchTheirHeader) {
    const std::function<void(fg_FontImage &)> breaks[] = {
        [](fg_FontImage &f) { f.Grey.pop_back(); }, [](fg_FontImage &f) { f.Start = 20; },
        [](fg_FontImage &f) { f.Width = 256; }, [](fg_FontImage &f) { f.Height = 0; }};
    for (const auto &breakIt : breaks) {
        fg_FontImage font = sampleFont(0, 10);
        breakIt(font);
        EXPECT_TRUE(fg_FontFileBytes(font).empty());
    }
}
