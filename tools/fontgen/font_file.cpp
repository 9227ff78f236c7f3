#include "font_file.h"

#include "lzw.h"

std::vector<uint8_t> fg_FontFileBytes(const fg_FontImage &font) {
    if (font.Width < 1 || font.Width > 255 || font.Height < 1 || font.Height > 255 ||
        font.Start > font.End)
        return {};
    const size_t glyphBytes = static_cast<size_t>(font.Width) * font.Height;
    if (font.Grey.size() != glyphBytes * (font.End + 1u))
        return {};

    const std::vector<uint8_t> packed = fg_LzwCompressSmallest(font.Grey);
    const uint32_t size = static_cast<uint32_t>(font.Grey.size());
    std::vector<uint8_t> file = {
        fg_FontHeaderSize,
        'v', 'x', 'f', 'n',
        fg_FormatGreyLzw,
        static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
        static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size),
        font.Start, font.End,
        static_cast<uint8_t>(font.Width), static_cast<uint8_t>(font.Height),
        0, 0,
    };
    file.insert(file.end(), packed.begin(), packed.end());
    return file;
}
