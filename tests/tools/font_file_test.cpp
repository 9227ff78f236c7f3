// The font file builder (header layout, data that expands to the glyphs) and
// the committed font files, read as the loader reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "character_set.h"
#include "files.h"
#include "font_file.h"
#include "fonts.h"
#include "frame_canvas.h"
#include "glyph_cell.h"

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

TEST(FontFile, TheLoaderExpandsTheGlyphsAndMismatchedImagesAreRefused) {
    for (auto [start, end] : {std::pair<uint8_t, uint8_t>{0, 255}, {32, 126}, {65, 65}}) {
        const fg_FontImage font = sampleFont(start, end);
        const t_Font loaded = t_FontFromBytes(fg_FontFileBytes(font), "sample.font");
        EXPECT_EQ(std::make_tuple(loaded.Format, loaded.Start, loaded.End, loaded.Width, loaded.Height),
                  std::make_tuple(int(t_FontFormatGrey), start, end, 16, 32));
        EXPECT_EQ(loaded.Size, int64_t(font.Grey.size()));
        EXPECT_EQ(loaded.Data, font.Grey);
    }
    // Images that do not match their header are refused.
    const std::function<void(fg_FontImage &)> breaks[] = {
        [](fg_FontImage &f) { f.Grey.pop_back(); }, [](fg_FontImage &f) { f.Start = 20; },
        [](fg_FontImage &f) { f.Width = 256; }, [](fg_FontImage &f) { f.Height = 0; }};
    for (const auto &breakIt : breaks) {
        fg_FontImage font = sampleFont(0, 10);
        breakIt(font);
        EXPECT_TRUE(fg_FontFileBytes(font).empty());
    }
}

// --- the committed font files --------------------------------------------------

namespace {

// The font as the loader reads it.
const t_Font &font(const std::string &name) {
    static std::map<std::string, t_Font> loaded;
    auto it = loaded.find(name);
    if (it == loaded.end()) it = loaded.emplace(name, t_FontFromBytes(getbinaryfromfile(std::string(DW_SOURCE_RESOURCES) + "/" + name).Elements, name)).first;
    return it->second;
}

const char *const kFonts[] = {"MenloBold 16x32.font", "MenloRegular 16x32.font"};

fg_Cell glyph(const t_Font &f, uint8_t code) {
    fg_Cell cell;
    const size_t at = size_t(code) * cell.Grey.size();
    if (f.Data.size() >= at + cell.Grey.size())
        std::copy_n(f.Data.begin() + static_cast<long>(at), cell.Grey.size(), cell.Grey.begin());
    return cell;
}

// The lowest row with ink in the columns of the cell, -1 for none.
int lowestInkRow(const fg_Cell &c) {
    for (int y = fg_CellHeight - 1; y >= 0; --y)
        for (int x = 0; x < fg_CellWidth; ++x)
            if (c.at(x, y) >= 128)
                return y;
    return -1;
}

} // namespace

TEST(FontResources, DrawnGlyphsMatchTheGenerator) {
    // A file that no longer matches the drawing code was not regenerated.
    for (const char *name : kFonts) {
        const t_Font &f = font(name);
        EXPECT_EQ(std::make_tuple(f.Format, f.Width, f.Height, f.Data.size()),
                  std::make_tuple(int(t_FontFormatGrey), 16, 32, size_t(256 * 16 * 32))) << name;
        for (int code = 0; code < 256; ++code)
            if (fg_SourceFor(static_cast<uint8_t>(code)).Kind == fg_GlyphKind::Drawn) {
                EXPECT_EQ(glyph(font(name), static_cast<uint8_t>(code)).Grey,
                          fg_DrawnCell(static_cast<uint8_t>(code)).Grey)
                    << name << " code " << code;
            }
    }
}

TEST(FontResources, PrintableCodesHaveInkOnOneBaselineAndBoldIsHeavier) {
    for (const char *name : kFonts) {
        const t_Font &f = font(name);
        EXPECT_EQ(inkCount(glyph(f, ' ')), 0) << name;
        for (int code = 33; code < 256; ++code)
            if (code != 127 && !(code >= 128 && code <= 160)) {
                EXPECT_GT(inkCount(glyph(f, static_cast<uint8_t>(code))), 2) << name << " code " << code;
            }
    }
    const t_Font &bold = font(kFonts[0]), &regular = font(kFonts[1]);
    const int baseline = lowestInkRow(glyph(regular, 'H'));
    ASSERT_GT(baseline, 16);
    for (const t_Font *f : {&bold, &regular}) {
        for (uint8_t c : {'H', 'E', 'x', 'm', '1'})
            EXPECT_EQ(lowestInkRow(glyph(*f, c)), baseline) << char(c);
        EXPECT_GT(lowestInkRow(glyph(*f, 'g')), baseline + 3);
        EXPECT_LT(lowestInkRow(glyph(*f, 'g')), fg_CellHeight);
    }
    EXPECT_GT(inkCount(glyph(bold, 'H')), inkCount(glyph(regular, 'H')) + 10);
}

TEST(FontResources, EmDashRunsFromEdgeToEdge) {
    // Several dashes in a row make one line, like the rules beside them.
    for (const char *name : kFonts) {
        const fg_Cell dash = glyph(font(name), 154);
        bool full = false;
        for (int y = 0; y < fg_CellHeight; ++y)
            full = full || (dash.at(0, y) >= 128 && dash.at(fg_CellWidth - 1, y) >= 128);
        EXPECT_TRUE(full) << name;
    }
}
