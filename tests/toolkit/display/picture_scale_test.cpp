// Scaling of pictures: whole factors as blocks, other factors close to the
// filter computed exactly, the same pixels from every instruction set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "picture_scale.h"

namespace {

// A 4 x 2 picture of distinct pixels.
const uint32_t source[8] = {0xFF000000, 0xFFFFFFFF, 0xFF0000FF, 0xFF00FF00,
                            0xFFFF0000, 0xFF808080, 0xFF102030, 0xFF405060};

TEST(ScalePicture, WholeFactorsMakeBlocksAndOtherFactorsMixOnlyAtEdges) {
    for (int k : {1, 2, 3, 5}) {
        t_PictureScaler scaler;
        int stride = 4 * k + 3;   // the target is wider than the picture
        std::vector<uint32_t> target(size_t(stride) * size_t(2 * k), 0x12345678);
        t_ScalePicture(scaler, source, 4, 2, 4, target.data(), 4 * k, 2 * k, stride);
        for (int y = 0; y < 2 * k; y++) {
            for (int x = 0; x < 4 * k; x++)
                ASSERT_EQ(target[size_t(y * stride + x)], source[(y / k) * 4 + x / k]) << k << ": " << x << "," << y;
            EXPECT_EQ(target[size_t(y * stride + 4 * k)], 0x12345678u);   // nothing beyond the width
        }
    }
    // 1.5x: every second target pixel straddles two source pixels and gets
    // half of each; the others copy one.
    t_PictureScaler scaler;
    std::vector<uint32_t> target(6 * 3);
    t_ScalePicture(scaler, source, 4, 2, 4, target.data(), 6, 3, 6);
    EXPECT_EQ(target[0], source[0]);
    EXPECT_EQ(target[1], 0xFF7F7F7Fu);   // black and white, half each
    EXPECT_EQ(target[2], source[1]);
    EXPECT_EQ(target[6 * 2 + 5], source[7]);
    EXPECT_EQ(target[6 * 1 + 0], 0xFF7F0000u);   // rows 0 and 1 mixed in column 0
}

// The filter in exact fractions: the first source pixel of target pixel x
// and the share of the next one as numerator / denominator.  Enlarging, the
// share is the part of the target pixel that lies in the next source pixel;
// shrinking, the distance of its centre from the first one.
struct Share {
    int Index;
    long Numerator, Denominator;
};
Share exactShare(int source, int target, int x) {
    if (target >= source) {
        const int index = int(long(x) * source / target);
        const long beyond = long(x + 1) * source - long(index + 1) * target;   // times 1/target
        return {index, index + 1 < source && beyond > 0 ? beyond : 0, source};
    }
    const long centre = std::max(0L, long(2 * x + 1) * source - target);   // times 1/(2 target)
    const int index = int(centre / (2L * target));
    if (index >= source - 1) return {source - 1, 0, 1};
    return {index, centre - index * 2L * target, 2L * target};
}

struct Picture {
    int Width, Height, Stride;
    std::vector<uint32_t> Pixels;
    uint32_t at(int x, int y) const { return Pixels[size_t(y) * size_t(Stride) + size_t(x)]; }
};

// A picture with pixels nobody may use to the right of every row but the
// last (transparent magenta); the last row ends the allocation, so that a
// read beyond it is caught by the address sanitizer.
Picture fenced(int width, int height, bool noise) {
    Picture p{width, height, width + 3, std::vector<uint32_t>(size_t(width + 3) * size_t(height - 1) + size_t(width), 0x00FF00FF)};
    srand(unsigned(width * 7919 + height));
    const uint32_t ink[4] = {0xFF000000, 0xFFFFFFFF, 0xFF20C040, 0xFF3050A0};
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            p.Pixels[size_t(y) * size_t(p.Stride) + size_t(x)] =
                noise ? 0xFF000000u | (uint32_t(rand()) & 0xFFFFFF)
                      : ink[((x / 3) * 5 + (y / 4) * 3 + (x / 3) * (y / 4)) % 7 % 4];   // strokes and runs
    return p;
}

TEST(ScalePicture, OtherFactorsFollowTheFilterAndCopyWhatOnePixelCovers) {
    struct Case {
        int Width, Height, TargetWidth, TargetHeight;
    } cases[] = {
        {320, 200, 438, 274},   // 1.37x
        {320, 200, 274, 171},   // 0.857x (the first size on a small screen)
        {97, 61, 133, 84},      // odd sizes: the last columns go one by one
        {64, 40, 96, 60},       // 1.5x
        {64, 40, 32, 20},       // 0.5x, the smallest the shuffles take
        {64, 40, 19, 12},       // below: every column one by one
        {64, 40, 160, 40},      // 2.5x across, rows copied
        {64, 40, 64, 100},      // rows repeated
        {1, 1, 3, 2},           {3, 1, 7, 1}, {5, 5, 4, 4}, {2, 1, 3, 1},
    };
    t_PictureScaler scaler;   // one for all sizes, as a window resized
    for (const Case &c : cases) {
        for (bool noise : {true, false}) {
            const Picture picture = fenced(c.Width, c.Height, noise);
            const int stride = c.TargetWidth + 2;
            std::vector<uint32_t> first;
            for (t_ScaleInstructions set :
                 {t_ScaleInstructions::Plain, t_ScaleInstructions::Ssse3, t_ScaleInstructions::Avx2}) {
                if (t_LimitScaleInstructions(set) != set) continue;
                SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height) + " to " +
                             std::to_string(c.TargetWidth) + "x" + std::to_string(c.TargetHeight) +
                             (noise ? " noise" : " strokes") + " with instruction set " + std::to_string(int(set)));
                std::vector<uint32_t> target(size_t(stride) * size_t(c.TargetHeight + 1), 0x12345678);
                t_ScalePicture(scaler, picture.Pixels.data(), c.Width, c.Height, picture.Stride, target.data(),
                               c.TargetWidth, c.TargetHeight, stride);
                if (first.empty()) {
                    first = target;
                    // Made row by row, each row once, the picture scales alike.
                    struct Made {
                        const Picture *From;
                        std::vector<int> Times;
                    } made{&picture, std::vector<int>(size_t(c.Height), 0)};
                    t_PictureRows rows{[](void *context, int y, uint32_t *row) {
                                           auto *m = static_cast<Made *>(context);
                                           m->Times[size_t(y)]++;
                                           for (int x = 0; x < m->From->Width; x++) row[x] = m->From->at(x, y);
                                           return true;
                                       },
                                       &made};
                    std::vector<uint32_t> byRows(target.size(), 0x12345678);
                    ASSERT_TRUE(t_ScalePictureRows(scaler, rows, c.Width, c.Height, byRows.data(), c.TargetWidth,
                                                   c.TargetHeight, stride));
                    ASSERT_EQ(byRows, target);
                    EXPECT_LE(*std::max_element(made.Times.begin(), made.Times.end()), 1);
                }
                ASSERT_EQ(target, first);   // every instruction set gives the same pixels
                int worst = 0;
                for (int y = 0; y < c.TargetHeight; y++) {
                    const Share row = exactShare(c.Height, c.TargetHeight, y);
                    const double fy = double(row.Numerator) / double(row.Denominator);
                    for (int x = 0; x < c.TargetWidth; x++) {
                        const Share column = exactShare(c.Width, c.TargetWidth, x);
                        const double fx = double(column.Numerator) / double(column.Denominator);
                        const uint32_t got = target[size_t(y) * size_t(stride) + size_t(x)];
                        if (row.Numerator == 0 && column.Numerator == 0) {
                            ASSERT_EQ(got, picture.at(column.Index, row.Index)) << x << "," << y;
                            continue;
                        }
                        const int x1 = std::min(column.Index + 1, c.Width - 1);
                        const int y1 = std::min(row.Index + 1, c.Height - 1);
                        for (int shift = 0; shift < 32; shift += 8) {
                            auto channel = [&](int px, int py) { return double((picture.at(px, py) >> shift) & 255); };
                            const double want =
                                (1 - fy) * ((1 - fx) * channel(column.Index, row.Index) + fx * channel(x1, row.Index)) +
                                fy * ((1 - fx) * channel(column.Index, y1) + fx * channel(x1, y1));
                            worst = std::max(worst, int(std::abs(double((got >> shift) & 255) - want) + 0.999));
                        }
                    }
                    for (int x = c.TargetWidth; x < stride; x++)
                        ASSERT_EQ(target[size_t(y) * size_t(stride) + size_t(x)], 0x12345678u);
                }
                // Two rounded shares and two truncations: a few levels at most.
                EXPECT_LE(worst, 4);
                ASSERT_EQ(target[size_t(stride) * size_t(c.TargetHeight)], 0x12345678u);   // no row beyond
            }
        }
    }
    t_LimitScaleInstructions(t_ScaleInstructions::Avx2);
}

TEST(ScalePicture, RowsThatCannotBeMadeStopTheScaling) {
    int calls = 0;
    t_PictureRows failing{[](void *context, int y, uint32_t *row) {
                              ++*static_cast<int *>(context);
                              std::fill_n(row, 4, 0xFFFFFFFFu);
                              return y < 1;
                          },
                          &calls};
    for (int k : {1, 2}) {   // the whole and the other factors
        t_PictureScaler scaler;
        std::vector<uint32_t> target(size_t(6 * k * 6 * k), 0);
        calls = 0;
        EXPECT_FALSE(t_ScalePictureRows(scaler, failing, 4, 4, target.data(), k == 1 ? 6 : 8, k == 1 ? 6 : 8,
                                        k == 1 ? 6 : 8));
        EXPECT_EQ(calls, 2);
    }
}

}  // namespace
