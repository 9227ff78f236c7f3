#include "aiff.h"

#include <cmath>
#include <numbers>

std::array<uint8_t, 10> snd_Extended80(uint32_t rate) {
    std::array<uint8_t, 10> out{};
    if (rate == 0)
        return out;
    int exponent = 31;
    while (!(rate & 0x80000000u)) {
        rate <<= 1;
        --exponent;
    }
    const uint16_t biased = static_cast<uint16_t>(16383 + exponent);
    out[0] = static_cast<uint8_t>(biased >> 8);
    out[1] = static_cast<uint8_t>(biased);
    // The normalised rate fills the top 32 bits of the mantissa.
    for (int i = 0; i < 4; ++i)
        out[2 + i] = static_cast<uint8_t>(rate >> (24 - 8 * i));
    return out;
}

std::vector<int16_t> snd_BellSamples(uint32_t rate, double seconds) {
    std::vector<int16_t> samples;
    if (rate == 0 || !(seconds > 0) || seconds > 10)
        return samples;
    const size_t count = static_cast<size_t>(seconds * rate);
    samples.resize(count);
    // A major triad an octave above concert A, with the octave on top.
    struct Partial {
        double Frequency, Level, Decay;
    };
    static constexpr Partial partials[] = {
        {880.0, 0.50, 11.0}, {1108.73, 0.30, 14.0}, {1318.51, 0.25, 16.0}, {1760.0, 0.15, 22.0}};
    double levelSum = 0;
    for (const Partial &p : partials)
        levelSum += p.Level;
    const double attack = 0.004;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0;
        for (const Partial &p : partials)
            v += p.Level * std::exp(-p.Decay * t) * std::sin(2 * std::numbers::pi * p.Frequency * t);
        // Soft start and a fade over the last 20 ms, so neither end clicks.
        double envelope = std::min(1.0, t / attack);
        const double remaining = seconds - t;
        if (remaining < 0.02)
            envelope *= std::max(0.0, remaining / 0.02);
        samples[i] = static_cast<int16_t>(std::lround(0.5 * 32767 * envelope * v / levelSum));
    }
    return samples;
}

static void putBig16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

static void putBig32(std::vector<uint8_t> &out, uint32_t v) {
    putBig16(out, static_cast<uint16_t>(v >> 16));
    putBig16(out, static_cast<uint16_t>(v));
}

static void putTag(std::vector<uint8_t> &out, const char tag[4]) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(tag[i]));
}

std::vector<uint8_t> snd_AiffBytes(const std::vector<int16_t> &samples, uint32_t rate) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    const uint32_t commSize = 18, ssndSize = 8 + dataBytes;
    std::vector<uint8_t> out;
    out.reserve(12 + 8 + commSize + 8 + ssndSize);
    putTag(out, "FORM");
    putBig32(out, 4 + (8 + commSize) + (8 + ssndSize));
    putTag(out, "AIFF");

    putTag(out, "COMM");
    putBig32(out, commSize);
    putBig16(out, 1);                                      // channels
    putBig32(out, static_cast<uint32_t>(samples.size()));  // sample frames
    putBig16(out, 16);                                     // bits per sample
    const auto extended = snd_Extended80(rate);
    out.insert(out.end(), extended.begin(), extended.end());

    putTag(out, "SSND");
    putBig32(out, ssndSize);
    putBig32(out, 0); // offset
    putBig32(out, 0); // block size
    for (int16_t s : samples)
        putBig16(out, static_cast<uint16_t>(s));
    return out;
}
