#include "png_write.h"

#include <zlib.h>

static void putBig32(std::vector<uint8_t> &out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

static void putChunk(std::vector<uint8_t> &out, const char type[4], const std::vector<uint8_t> &data) {
    putBig32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    putBig32(out, static_cast<uint32_t>(crc));
}

std::vector<uint8_t> fg_PngBytes(const fg_GreyImage &image) {
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height)
        return {};
    // Every row starts with filter type 0 (none).
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(image.Width + 1) * image.Height);
    for (int y = 0; y < image.Height; ++y) {
        raw.push_back(0);
        const auto row = image.Pixels.begin() + static_cast<long>(y) * image.Width;
        raw.insert(raw.end(), row, row + image.Width);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBig32(header, static_cast<uint32_t>(image.Width));
    putBig32(header, static_cast<uint32_t>(image.Height));
    header.insert(header.end(), {8, 0, 0, 0, 0}); // 8-bit grey, deflate, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", {});
    return png;
}
