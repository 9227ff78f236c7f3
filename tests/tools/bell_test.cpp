// The bell sound and its AIFF file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "aiff.h"
#include "files.h"

namespace {

uint32_t big32(const std::vector<uint8_t> &b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}
uint16_t big16(const std::vector<uint8_t> &b, size_t at) { return static_cast<uint16_t>(b[at] << 8 | b[at + 1]); }

// The sample rate read back from the 80-bit extended number.
double extendedValue(const uint8_t *p) {
    const int exponent = ((p[0] & 0x7F) << 8 | p[1]) - 16383;
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa = mantissa << 8 | p[2 + i];
    return std::ldexp(static_cast<double>(mantissa), exponent - 63);
}

struct Aiff {
    bool Valid = false;
    int Channels = 0, Bits = 0;
    uint32_t Frames = 0;
    double Rate = 0;
    std::vector<int16_t> Samples;
};

// Walks the chunks of a FORM/AIFF file as a player would.
Aiff parse(const std::vector<uint8_t> &b) {
    Aiff a;
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "FORM" ||
        std::string(b.begin() + 8, b.begin() + 12) != "AIFF" || big32(b, 4) != b.size() - 8)
        return a;
    bool comm = false, ssnd = false;
    for (size_t at = 12; at + 8 <= b.size();) {
        const std::string id(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
        const uint32_t size = big32(b, at + 4);
        if (at + 8 + size > b.size())
            return a;
        if (id == "COMM" && size == 18) {
            a.Channels = big16(b, at + 8);
            a.Frames = big32(b, at + 10);
            a.Bits = big16(b, at + 14);
            a.Rate = extendedValue(&b[at + 16]);
            comm = true;
        } else if (id == "SSND" && size >= 8) {
            const uint32_t offset = big32(b, at + 8);
            for (size_t s = at + 16 + offset; s + 1 < at + 8 + size; s += 2)
                a.Samples.push_back(static_cast<int16_t>(big16(b, s)));
            ssnd = true;
        }
        at += 8 + size + (size & 1);
    }
    a.Valid = comm && ssnd && a.Samples.size() == size_t(a.Frames) * a.Channels;
    return a;
}

} // namespace

TEST(Bell, ExtendedSampleRates) {
    const std::pair<uint32_t, std::array<uint8_t, 10>> table[] = {
        {22050, {0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
        {44100, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
        {8000, {0x40, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0}},
        {1, {0x3F, 0xFF, 0x80, 0x00, 0, 0, 0, 0, 0, 0}},
        {0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto &[rate, bytes] : table)
        EXPECT_EQ(snd_Extended80(rate), bytes) << rate;
}

TEST(Bell, FileRoundTripsThroughTheChunkReader) {
    const std::vector<int16_t> samples = {0, 1, -1, 32767, -32768, 1234};
    const Aiff a = parse(snd_AiffBytes(samples, 44100));
    ASSERT_TRUE(a.Valid);
    EXPECT_EQ(a.Channels, 1);
    EXPECT_EQ(a.Bits, 16);
    EXPECT_EQ(a.Rate, 44100.0);
    EXPECT_EQ(a.Samples, samples);
}

TEST(Bell, CommittedSoundIsAShortQuietEndingChord) {
    const Aiff a = parse(getbinaryfromfile(std::string(DW_SOURCE_RESOURCES) + "/sysbeep.aif").Elements);
    ASSERT_TRUE(a.Valid);
    EXPECT_EQ(a.Channels, 1);
    EXPECT_EQ(a.Bits, 16);
    EXPECT_EQ(a.Rate, 22050.0);
    EXPECT_NEAR(a.Frames / a.Rate, 0.3, 0.01);
    int peak = 0;
    for (int16_t s : a.Samples)
        peak = std::max(peak, std::abs(int(s)));
    EXPECT_GT(peak, 8000);
    EXPECT_LT(peak, 32000);
    // No click at either end.
    EXPECT_LT(std::abs(int(a.Samples.front())), 500);
    EXPECT_LT(std::abs(int(a.Samples.back())), 500);
}

TEST(Bell, SynthesisRefusesNonsense) {
    EXPECT_TRUE(snd_BellSamples(0, 0.3).empty());
    EXPECT_TRUE(snd_BellSamples(22050, 0).empty());
    EXPECT_TRUE(snd_BellSamples(22050, -1).empty());
    EXPECT_TRUE(snd_BellSamples(22050, NAN).empty());
    EXPECT_EQ(snd_BellSamples(22050, 0.3).size(), 6615u);
}
