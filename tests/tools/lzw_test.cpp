// The glyph-data compressor: the codes it chooses, and streams the font
// loader's expander turns back into the data.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "fonts.h"
#include "lzw.h"

namespace {

std::vector<uint8_t> randomBytes(size_t n, unsigned seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, alphabet - 1);
    std::vector<uint8_t> data(n);
    for (auto &b : data)
        b = static_cast<uint8_t>(pick(rng));
    return data;
}

// The codes of a stream, for tests that look at what the compressor chose.
std::vector<uint32_t> codesOf(const std::vector<uint8_t> &stream) {
    std::vector<uint32_t> result;
    const unsigned width = stream.empty() ? 0 : stream[0];
    const size_t bits = stream.empty() ? 0 : (stream.size() - 1) * 8;
    for (size_t at = 0; width > 0 && at + width <= bits; at += width) {
        uint32_t code = 0;
        for (size_t bit = at; bit < at + width; ++bit)
            code = code << 1 | ((stream[1 + bit / 8] >> (7 - bit % 8)) & 1);
        result.push_back(code);
    }
    return result;
}

} // namespace

TEST(Lzw, KnownStreamPacksNineBitCodesFromTheTopBit) {
    // ABABABA: codes A, B, AB (256), ABA (258).
    const std::vector<uint8_t> data = {'A', 'B', 'A', 'B', 'A', 'B', 'A'};
    const std::vector<uint8_t> expected = {9, 0x20, 0x90, 0xA0, 0x10, 0x20};
    EXPECT_EQ(fg_LzwCompress(data, 9), expected);
    EXPECT_EQ(t_ExpandLZW(expected), data);
}

TEST(Lzw, RoundTripsRandomDataAtEveryWidth) {
    const size_t sizes[] = {0, 1, 2, 3, 255, 256, 257, 1000, 70000};
    for (int width = fg_LzwMinWidth; width <= fg_LzwMaxWidth; ++width)
        for (size_t n : sizes)
            for (int alphabet : {2, 7, 256}) {
                const auto data = randomBytes(n, static_cast<unsigned>(width * 1000 + n + alphabet), alphabet);
                const auto stream = fg_LzwCompress(data, width);
                ASSERT_FALSE(stream.empty());
                EXPECT_EQ(stream[0], width);
                EXPECT_EQ(t_ExpandLZW(stream), data) << "width " << width << " size " << n;
                const auto codes = codesOf(stream);
                if (!codes.empty()) {
                    EXPECT_LT(*std::max_element(codes.begin(), codes.end()), 1u << width);
                }
            }
}

TEST(Lzw, RunUsesTheEntryBeingDefinedUpToTheLastCodeOfTheWidth) {
    // A long run makes every code after the first the entry being defined at
    // that moment, up to 511, the last one a 9-bit code can name; after that
    // the compressor keeps using 511 while the expander goes on defining
    // entries nobody refers to.
    const std::vector<uint8_t> data(40000, 'a');
    const auto stream = fg_LzwCompress(data, 9);
    const auto codes = codesOf(stream);
    ASSERT_GT(codes.size(), 258u);
    EXPECT_EQ(codes[0], uint32_t('a'));
    for (uint32_t k = 0; k < 256; ++k)
        ASSERT_EQ(codes[k + 1], 256 + k);
    EXPECT_EQ(codes[257], 511u);
    EXPECT_EQ(t_ExpandLZW(stream), data);
}

TEST(Lzw, FullDictionaryKeepsWorkingAtEveryWidth) {
    // Repeating a block makes the compressor reach into its full dictionary.
    for (int width = fg_LzwMinWidth; width <= 12; ++width) {
        const auto block = randomBytes(size_t(3) << width, static_cast<unsigned>(width), 16);
        std::vector<uint8_t> data;
        for (int i = 0; i < 4; ++i)
            data.insert(data.end(), block.begin(), block.end());
        const auto stream = fg_LzwCompress(data, width);
        const auto codes = codesOf(stream);
        const uint32_t highest = *std::max_element(codes.begin(), codes.end());
        EXPECT_LT(highest, 1u << width) << width;
        EXPECT_GE(highest, (1u << width) - 16) << width;
        EXPECT_EQ(t_ExpandLZW(stream), data) << width;
    }
}

TEST(Lzw, RejectsWidthsOutsideTheRange) {
    const std::vector<uint8_t> data = {1, 2, 3};
    EXPECT_TRUE(fg_LzwCompress(data, 8).empty());
    EXPECT_TRUE(fg_LzwCompress(data, 17).empty());
    EXPECT_TRUE(fg_LzwCompress(data, -1).empty());
}

TEST(Lzw, SmallestIsNoLargerThanAnyWidth) {
    std::vector<uint8_t> data = randomBytes(20000, 5, 4);
    data.resize(60000, 0);
    const auto best = fg_LzwCompressSmallest(data);
    for (int width = fg_LzwMinWidth; width <= fg_LzwMaxWidth; ++width)
        EXPECT_LE(best.size(), fg_LzwCompress(data, width).size());
    EXPECT_EQ(t_ExpandLZW(best), data);
}
