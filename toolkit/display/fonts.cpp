// Font files and their LZW expansion.
#include "fonts.h"

#include <cstring>

#include "files.h"
#include "jump_scroll.h"
#include "log.h"
#include "resources.h"
#include "video_memory.h"

// Expanded glyph data larger than this counts as invalid: a real font holds
// at most 256 glyphs of 255 x 255 pixels, and a hostile stream whose codes
// keep referring to the newest entry would otherwise grow quadratically.
static const size_t maxExpandedSize = size_t(64) << 20;

t_Font t_EmptyFont() { return t_Font{}; }

std::vector<uint8_t> t_ExpandLZW(const std::vector<uint8_t> &data) {
    std::vector<uint8_t> out;
    if (data.empty()) return out;
    const unsigned width = data[0];
    if (width < 1 || width > 31) return out;
    const uint64_t totalBits = uint64_t(data.size() - 1) * 8;
    const uint64_t codeCount = totalBits / width;

    // Dictionary entries above 255: the entry it extends, its last byte,
    // its first byte and its length.
    struct Entry {
        uint32_t Prefix;
        uint8_t Last;
        uint8_t First;
        uint32_t Length;
    };
    std::vector<Entry> entries;
    auto firstByte = [&](uint32_t code) { return code < 256 ? uint8_t(code) : entries[code - 256].First; };
    auto length = [&](uint32_t code) { return code < 256 ? uint32_t(1) : entries[code - 256].Length; };
    // Appends the string of a known code, written back to front.
    auto emit = [&](uint32_t code) {
        size_t n = length(code);
        size_t at = out.size();
        out.resize(at + n);
        for (size_t i = at + n; i > at;) {
            --i;
            if (code < 256) {
                out[i] = uint8_t(code);
            } else {
                out[i] = entries[code - 256].Last;
                code = entries[code - 256].Prefix;
            }
        }
    };

    const uint8_t *bits = data.data() + 1;
    uint64_t bitPos = 0;
    auto readCode = [&]() {
        uint32_t code = 0;
        for (unsigned i = 0; i < width; i++, bitPos++)
            code = (code << 1) | ((bits[bitPos >> 3] >> (7 - (bitPos & 7))) & 1u);
        return code;
    };

    if (codeCount == 0) return out;
    uint32_t previous = readCode();
    if (previous > 255) return {};
    emit(previous);
    for (uint64_t k = 0; k + 1 < codeCount; k++) {
        uint32_t code = readCode();
        uint32_t defining = 256 + uint32_t(k);
        uint32_t prevLength = length(previous);
        if (code < defining) {
            emit(code);
            entries.push_back(Entry{previous, firstByte(code), firstByte(previous), prevLength + 1});
        } else if (code == defining) {
            entries.push_back(Entry{previous, firstByte(previous), firstByte(previous), prevLength + 1});
            emit(code);
        } else {
            return {};
        }
        if (out.size() > maxExpandedSize) return {};
        previous = code;
    }
    return out;
}

t_Font t_ExpandFont(const t_Font &font) {
    t_Font f = font;
    if (f.Format == t_FontFormatRawLZW || f.Format == t_FontFormatGreyLZW) {
        if (!f.Data.empty()) f.Data = t_ExpandLZW(f.Data);
        f.Format = f.Format == t_FontFormatRawLZW ? t_FontFormatRaw : t_FontFormatGrey;
    }
    return f;
}

// A header byte, 0 where the file ends before it.
static uint8_t byteAt(const std::vector<uint8_t> &file, size_t offset) {
    return offset < file.size() ? file[offset] : 0;
}

t_Font t_FontFromBytes(const std::vector<uint8_t> &file, const std::string &name) {
    if (file.empty()) {
        t_Log("t_LoadFontResource: Could not load file \u201E" + name + "\u201C");
        return t_EmptyFont();
    }
    t_Font f;
    f.HeaderSize = file[0];
    if (file.size() < size_t(f.HeaderSize)) {
        t_Log("t_LoadFontResource: Invalid header size");
        return f;
    }
    // A file too short to hold the identifier keeps the bytes it has.
    std::vector<uint8_t> id(file.begin() + 1, file.begin() + std::min<size_t>(file.size(), 5));
    if (id != std::vector<uint8_t>{'v', 'x', 'f', 'n'}) {
        t_Log("t_LoadFontResource: Invalid file type");
        f.Identifier = id;
        return f;
    }
    f.Format = byteAt(file, 5);
    if (file.size() >= 10)
        f.Size = int64_t(file[6]) << 24 | int64_t(file[7]) << 16 | int64_t(file[8]) << 8 | int64_t(file[9]);
    f.Start = byteAt(file, 10);
    f.End = byteAt(file, 11);
    f.Width = byteAt(file, 12);
    f.Height = byteAt(file, 13);
    if (file.size() >= 16) f.Reserved = int(file[14]) << 8 | int(file[15]);
    f.Data.assign(file.begin() + f.HeaderSize, file.end());
    return t_ExpandFont(f);
}

t_Font t_LoadFontResource(const std::string &name) {
    Text bytes = getbinaryfromfile(t_ResourceFolder() + name);
    return t_FontFromBytes(bytes.Elements, name);
}

void t_WindowFont(uint8_t window, const t_Font &font) {
    t_Window *w = t_GuardWindow("t_WindowFont", window, t_Need::Window);
    if (!w) return;
    // Cells that wait are drawn with the font they were printed in.
    auto hold = t_LockPixels();
    t_ShowPendingTextLocked(window);
    w->Font = font;
}
