// AIFF sound files decoded into samples: the bell's sound, read without
// any sound library.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Interleaved 16-bit samples in host byte order.
struct t_PcmSound {
    int Channels = 0;
    int SampleRate = 0;
    std::vector<int16_t> Samples;
};

// Decodes an AIFF file (or an uncompressed AIFF-C file) of 8 to 32-bit
// samples; nothing for anything else.
std::optional<t_PcmSound> t_DecodeAiff(const std::vector<uint8_t> &file);
