// The bell sound: synthesis of a short decaying chord and its AIFF file
// (FORM/AIFF with a COMM and an SSND chunk, 16-bit mono PCM).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The sample rate as the 80-bit IEEE extended number AIFF stores: sign and
// 15-bit exponent, then a 64-bit mantissa with an explicit integer bit.
// Rates below 1 give all zeros.
std::array<uint8_t, 10> snd_Extended80(uint32_t rate);

// The bell: a chord of sines with a short attack and an exponential decay,
// ending in silence, peak about half of full scale.
std::vector<int16_t> snd_BellSamples(uint32_t rate, double seconds);

// The complete AIFF file of mono 16-bit samples.
std::vector<uint8_t> snd_AiffBytes(const std::vector<int16_t> &samples, uint32_t rate);
