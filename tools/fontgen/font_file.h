// The .font file: a 16-byte header and LZW-compressed grey glyph data.
//
// Header, multi-byte numbers big-endian:
//   0  1  header size (16)          6  4  size of the expanded glyph data
//   1  4  "vxfn"                   10  1  first code, 11  1  last code
//   5  1  format 102 (grey, LZW)   12  1  cell width, 13  1  cell height
//                                  14  2  reserved (0)
// The glyph of code c sits at c * width * height in the expanded data, so the
// data always starts at code 0, whatever the first code is.
#pragma once

#include <cstdint>
#include <vector>

constexpr int fg_FontHeaderSize = 16;
constexpr int fg_FormatGreyLzw = 102;

// A whole font in memory: one grey byte per pixel (0 paper, 255 ink), glyphs
// of codes 0 to End one after the other.
struct fg_FontImage {
    int Width = 16;
    int Height = 32;
    uint8_t Start = 0;
    uint8_t End = 255;
    std::vector<uint8_t> Grey;
};

// The complete file.  An image whose Grey does not hold exactly the glyphs
// 0..End, or whose cell size does not fit the header bytes, gives an empty
// result.  The narrowest code width that gives the smallest file is chosen.
std::vector<uint8_t> fg_FontFileBytes(const fg_FontImage &font);
