// The bell sound's synthesis and the sample rate field of its AIFF file (the
// whole file is read back by the program's own decoder in the view tests).
#include <gtest/gtest.h>

#include <cmath>

#include "aiff.h"

TEST(Bell, ExtendedSampleRates) {
    const std::pair<uint32_t, std::array<uint8_t, 10>> table[] = {
        {22050, {0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
        {44100, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
        {8000, {0x40, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0}},
        {1, {0x3F, 0xFF, 0x80, 0x00, 0, 0, 0, 0, 0, 0}},
        {0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto &[rate, bytes] : table) EXPECT_EQ(snd_Extended80(rate), bytes) << rate;
}

TEST(Bell, SynthesisRefusesNonsense) {
    for (auto [rate, seconds] : {std::pair<uint32_t, double>{0, 0.3}, {22050, 0}, {22050, -1}, {22050, NAN}})
        EXPECT_TRUE(snd_BellSamples(rate, seconds).empty()) << rate << " " << seconds;
    EXPECT_EQ(snd_BellSamples(22050, 0.3).size(), 6615u);
}
