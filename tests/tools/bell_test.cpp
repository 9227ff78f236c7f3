// The bell sound's synthesis (its AIFF file is read back by the program's own
// decoder in the view tests).
#include <gtest/gtest.h>

#include <cmath>

#include "aiff.h"

TEST(Bell, SynthesisRefusesNonsense) {
    for (auto [rate, seconds] : {std::pair<uint32_t, double>{0, 0.3}, {22050, 0}, {22050, -1}, {22050, NAN}})
        EXPECT_TRUE(snd_BellSamples(rate, seconds).empty()) << rate << " " << seconds;
    EXPECT_EQ(snd_BellSamples(22050, 0.3).size(), 6615u);
}
