// The AIFF decoder: sample widths and byte orders, broken and cut files,
// the generated bell.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "aiff.h"
#include "aiff_sound.h"
#include "files.h"
#include "resources.h"

static void put32(std::vector<uint8_t> &v, uint32_t x) {
    for (int shift : {24, 16, 8, 0}) v.push_back(uint8_t(x >> shift));
}

// An AIFF (or AIFF-C) file at 22050 Hz of the given sample bytes.
static std::vector<uint8_t> aiff(int channels, int bits, const std::vector<uint8_t> &samples, const char *compression = nullptr) {
    std::vector<uint8_t> comm = {0, uint8_t(channels)};
    put32(comm, uint32_t(samples.size() / size_t((bits + 7) / 8 * std::max(channels, 1))));
    comm.insert(comm.end(), {0, uint8_t(bits), 0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});   // 22050 as an 80-bit number
    if (compression) comm.insert(comm.end(), compression, compression + 4);
    std::vector<uint8_t> body(compression ? "AIFC" : "AIFF", (compression ? "AIFC" : "AIFF") + 4);
    body.insert(body.end(), {'C', 'O', 'M', 'M'});
    put32(body, uint32_t(comm.size()));
    body.insert(body.end(), comm.begin(), comm.end());
    body.insert(body.end(), {'S', 'S', 'N', 'D'});
    put32(body, uint32_t(samples.size() + 8));
    put32(body, 0);
    put32(body, 0);
    body.insert(body.end(), samples.begin(), samples.end());
    std::vector<uint8_t> file{'F', 'O', 'R', 'M'};
    put32(file, uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

TEST(BellTest, DecodesAiffSamplesAndRefusesBrokenFiles) {
    struct Case { std::vector<uint8_t> File; int Channels; std::vector<int16_t> Samples; } cases[] = {
        {aiff(1, 16, {0x12, 0x34, 0xFF, 0xFE}), 1, {0x1234, -2}},
        {aiff(2, 8, {0x7F, 0x80}), 2, {0x7F00, -32768}},
        {aiff(1, 24, {0x12, 0x34, 0x56}), 1, {0x1234}},
        {aiff(1, 16, {0x34, 0x12}, "sowt"), 1, {0x1234}},
        {aiff(1, 16, {0x12, 0x34}, "NONE"), 1, {0x1234}},
    };
    for (const Case &c : cases) {
        std::optional<t_PcmSound> pcm = t_DecodeAiff(c.File);
        ASSERT_TRUE(pcm);
        EXPECT_EQ(std::tie(pcm->SampleRate, pcm->Channels, pcm->Samples), std::make_tuple(22050, c.Channels, c.Samples));
    }
    std::vector<uint8_t> good = aiff(1, 16, {0x12, 0x34, 0x56, 0x78}), wave = good;
    wave[8] = 'W';
    for (const std::vector<uint8_t> &bad : {std::vector<uint8_t>{}, aiff(1, 16, {0x12, 0x34}, "ima4"), aiff(0, 16, {0x12, 0x34}), wave})
        EXPECT_FALSE(t_DecodeAiff(bad));
    // Every truncation of a good file decodes to a prefix or to nothing.
    for (size_t n = 0; n < good.size(); n++) {
        std::optional<t_PcmSound> pcm = t_DecodeAiff(std::vector<uint8_t>(good.begin(), good.begin() + long(n)));
        EXPECT_LE(pcm ? pcm->Samples.size() : 0, 2u);
    }
    // A chunk size beyond the end of the file.
    std::vector<uint8_t> lying = good;
    lying[lying.size() - 13] = 0x7F;
    t_DecodeAiff(lying);
}

TEST(BellTest, GeneratedAndCommittedSoundsDecode) {
    const std::vector<int16_t> samples = {0, 1, -1, 32767, -32768, 1234};
    std::optional<t_PcmSound> made = t_DecodeAiff(snd_AiffBytes(samples, 44100));
    ASSERT_TRUE(made);
    EXPECT_EQ(std::make_pair(made->SampleRate, made->Channels), std::make_pair(44100, 1));
    EXPECT_EQ(made->Samples, samples);
    // The committed bell: a short quiet chord without a click at either end.
    std::optional<t_PcmSound> bell = t_DecodeAiff(getbinaryfromfile(t_ResourceFolder() + "sysbeep.aif").Elements);
    ASSERT_TRUE(bell);
    EXPECT_EQ(std::make_pair(bell->SampleRate, bell->Channels), std::make_pair(22050, 1));
    EXPECT_NEAR(double(bell->Samples.size()) / 22050, 0.3, 0.01);
    int peak = 0;
    for (int16_t s : bell->Samples) peak = std::max(peak, std::abs(int(s)));
    EXPECT_TRUE(peak > 8000 && peak < 32000) << peak;
    EXPECT_LT(std::abs(int(bell->Samples.front())) + std::abs(int(bell->Samples.back())), 1000);
}
