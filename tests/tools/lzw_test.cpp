// The glyph-data compressor against the font loader's expander.
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
    for (auto &b : data) b = static_cast<uint8_t>(pick(rng));
    return data;
}

// The codes of a stream: the width in the first byte, then codes from the top bit.
std::vector<uint32_t> codes(const std::vector<uint8_t> &stream) {
    std::vector<uint32_t> result;
    const unsigned width = stream.empty() ? 0 : stream[0];
    const size_t bits = stream.empty() ? 0 : (stream.size() - 1) * 8;
    for (size_t at = 0; width > 0 && at + width <= bits; at += width) {
        uint32_t code = 0;
        for (size_t bit = at; bit < at + width; ++bit) code = code << 1 | ((stream[1 + bit / 8] >> (7 - bit % 8)) & 1);
        result.push_back(code);
    }
    return result;
}

TEST(Lzw, KnownStreamPacksNineBitCodesFromTheTopBit) {
    // ABABABA: codes A, B, AB (256), ABA (258).
    const std::vector<uint8_t> data = {'A', 'B', 'A', 'B', 'A', 'B', 'A'};
    const std::vector<uint8_t> expected = {9, 0x20, 0x90, 0xA0, 0x10, 0x20};
    EXPECT_EQ(fg_LzwCompress(data, 9), expected);
    EXPECT_EQ(codes(expected), (std::vector<uint32_t>{'A', 'B', 256, 258}));
    EXPECT_EQ(t_ExpandLZW(expected), data);
}

TEST(Lzw, RoundTripsRandomDataAtEveryWidth) {
    for (int width = fg_LzwMinWidth; width <= fg_LzwMaxWidth; ++width)
        for (size_t n : {1, 2, 3, 255, 256, 257, 1000, 70000})
            for (int alphabet : {2, 7, 256}) {
                const auto data = randomBytes(n, static_cast<unsigned>(width * 1000 + n + alphabet), alphabet);
                const auto stream = fg_LzwCompress(data, width);
                ASSERT_FALSE(stream.empty());
                EXPECT_EQ(stream[0], width);
                EXPECT_EQ(t_ExpandLZW(stream), data) << "width " << width << " size " << n;
                const auto all = codes(stream);
                EXPECT_LT(*std::max_element(all.begin(), all.end()), 1u << width);
                // Long data fills the dictionary, and the compressor uses its last entries.
                if (n == 70000 && width <= 12) { EXPECT_GE(*std::max_element(all.begin(), all.end()), (1u << width) - 16); }
            }
    EXPECT_EQ(fg_LzwCompress({}, 9), std::vector<uint8_t>{9});
}

TEST(Lzw, RunsWidthsOutsideTheRangeAndTheSmallestStream) {
    // A long run makes every code after the first the entry being defined at
    // that moment, up to 511, the last one a 9-bit code can name; after that
    // the compressor keeps using 511 while the expander goes on defining
    // entries nobody refers to.
    const std::vector<uint8_t> data(40000, 'a');
    const auto stream = fg_LzwCompress(data, 9);
    const auto all = codes(stream);
    ASSERT_GT(all.size(), 258u);
    EXPECT_EQ(all[0], uint32_t('a'));
    for (uint32_t k = 0; k < 256; ++k) ASSERT_EQ(all[k + 1], 256 + k);
    EXPECT_EQ(all[257], 511u);
    EXPECT_EQ(t_ExpandLZW(stream), data);
    // Widths outside the range give nothing; the smallest stream is no larger than any.
    const std::vector<uint8_t> small = {1, 2, 3};
    for (int width : {8, 17, -1}) EXPECT_TRUE(fg_LzwCompress(small, width).empty()) << width;
    std::vector<uint8_t> mixed = randomBytes(20000, 5, 4);
    mixed.resize(60000, 0);
    const auto best = fg_LzwCompressSmallest(mixed);
    for (int width = fg_LzwMinWidth; width <= fg_LzwMaxWidth; ++width) EXPECT_LE(best.size(), fg_LzwCompress(mixed, width).size());
    EXPECT_EQ(t_ExpandLZW(best), mixed);
}

}  // namespace
