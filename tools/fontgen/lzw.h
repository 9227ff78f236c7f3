// LZW compression of glyph data for the font files: fixed code width, no
// clear or end codes, codes packed from the most significant bit onward, and
// the code width stored in the first byte of the result.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Narrowest and widest code widths the compressor writes.  Below 9 bits no
// dictionary code fits beside the 256 byte codes; above 16 the dictionary
// would grow beyond what a 16-bit code table can hold.
constexpr int fg_LzwMinWidth = 9;
constexpr int fg_LzwMaxWidth = 16;

// The compressed stream: width byte, then the packed codes.  Every code fits
// in width bits; dictionary entries numbered 2^width and up are never used,
// though the expander keeps defining them.  An empty input gives the width
// byte alone.  A width outside fg_LzwMinWidth..fg_LzwMaxWidth gives an empty
// result.
std::vector<uint8_t> fg_LzwCompress(std::span<const uint8_t> data, int width);

// The shortest of the streams for every allowed width (the narrower width
// wins a tie).
std::vector<uint8_t> fg_LzwCompressSmallest(std::span<const uint8_t> data);
