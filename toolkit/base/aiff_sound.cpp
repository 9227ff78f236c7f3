// The AIFF decoder: the COMM and SSND chunks, big-endian samples (or
// little-endian ones in an AIFF-C "sowt" file), kept as their two most
// significant bytes.
#include "aiff_sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>

static uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
static uint16_t be16(const uint8_t *p) { return uint16_t(p[0] << 8 | p[1]); }

// The 80-bit extended-precision sample rate of the COMM chunk.
static double extended80(const uint8_t *p) {
    int exponent = be16(p) & 0x7FFF;
    uint64_t mantissa = uint64_t(be32(p + 2)) << 32 | be32(p + 6);
    if (exponent == 0 && mantissa == 0) return 0;
    return std::ldexp(double(mantissa), exponent - 16383 - 63);
}

std::optional<t_PcmSound> t_DecodeAiff(const std::vector<uint8_t> &file) {
    if (file.size() < 12 || memcmp(file.data(), "FORM", 4) != 0) return std::nullopt;
    const bool aifc = memcmp(file.data() + 8, "AIFC", 4) == 0;
    if (!aifc && memcmp(file.data() + 8, "AIFF", 4) != 0) return std::nullopt;
    int channels = 0, bits = 0;
    uint32_t frames = 0;
    double rate = 0;
    bool littleEndian = false, haveComm = false;
    const uint8_t *sound = nullptr;
    size_t soundBytes = 0;
    for (size_t at = 12; at + 8 <= file.size();) {
        const uint8_t *chunk = file.data() + at;
        size_t size = be32(chunk + 4);
        size_t available = std::min(size, file.size() - at - 8);
        const uint8_t *data = chunk + 8;
        if (memcmp(chunk, "COMM", 4) == 0 && available >= 18) {
            channels = be16(data);
            frames = be32(data + 2);
            bits = be16(data + 6);
            rate = extended80(data + 8);
            haveComm = true;
            if (aifc && available >= 22) {
                if (memcmp(data + 18, "sowt", 4) == 0) littleEndian = true;
                else if (memcmp(data + 18, "NONE", 4) != 0) return std::nullopt;
            }
        } else if (memcmp(chunk, "SSND", 4) == 0 && available >= 8) {
            size_t offset = be32(data);
            if (offset <= available - 8) {
                sound = data + 8 + offset;
                soundBytes = available - 8 - offset;
            }
        }
        at += 8 + size + (size & 1);
    }
    if (!haveComm || !sound || channels < 1 || channels > 8 || bits < 1 || bits > 32 || rate < 1000 ||
        rate > 384000)
        return std::nullopt;
    const size_t bytesPerSample = size_t(bits + 7) / 8;
    const size_t frameCount = std::min<size_t>(frames, soundBytes / (bytesPerSample * size_t(channels)));
    t_PcmSound pcm;
    pcm.Channels = channels;
    pcm.SampleRate = int(std::lround(rate));
    pcm.Samples.resize(frameCount * size_t(channels));
    for (size_t i = 0; i < pcm.Samples.size(); i++) {
        const uint8_t *s = sound + i * bytesPerSample;
        // The two most significant bytes of each sample.
        uint8_t hi, lo;
        if (littleEndian) {
            hi = s[bytesPerSample - 1];
            lo = bytesPerSample > 1 ? s[bytesPerSample - 2] : 0;
        } else {
            hi = s[0];
            lo = bytesPerSample > 1 ? s[1] : 0;
        }
        pcm.Samples[i] = int16_t(uint16_t(hi << 8 | lo));
    }
    if (pcm.Samples.empty()) return std::nullopt;
    return pcm;
}
