#include "contact_sheet.h"

#include <algorithm>
#include <string>

static uint8_t glyphGrey(const fg_FontImage &font, uint8_t code, int x, int y) {
    const size_t offset = (static_cast<size_t>(code) * font.Height + y) * font.Width + x;
    return offset < font.Grey.size() ? font.Grey[offset] : 0;
}

// Draws a glyph at (left, top), zoomed, blending ink over paper the way the
// toolkit does with integer arithmetic.
static void drawGlyph(fg_GreyImage &image, const fg_FontImage &font, uint8_t code, int left, int top,
                      int zoom, int ink, int paper) {
    for (int y = 0; y < font.Height * zoom; ++y)
        for (int x = 0; x < font.Width * zoom; ++x) {
            const int px = left + x, py = top + y;
            if (px < 0 || py < 0 || px >= image.Width || py >= image.Height)
                continue;
            const int g = glyphGrey(font, code, x / zoom, y / zoom);
            image.Pixels[static_cast<size_t>(py) * image.Width + px] =
                static_cast<uint8_t>(g * ink / 255 + (255 - g) * paper / 255);
        }
}

fg_GreyImage fg_GlyphSheet(const fg_FontImage &font) {
    const int zoom = 2, tileWidth = 80, tileHeight = font.Height * zoom + 12;
    fg_GreyImage image{16 * tileWidth, 16 * tileHeight, {}};
    image.Pixels.assign(static_cast<size_t>(image.Width) * image.Height, 0);
    static const char hex[] = "0123456789ABCDEF";
    for (int code = 0; code < 256; ++code) {
        const int left = (code % 16) * tileWidth, top = (code / 16) * tileHeight;
        drawGlyph(image, font, static_cast<uint8_t>(code), left + 6, top + 6, zoom, 255, 60);
        const int labelTop = top + 6 + (font.Height * zoom - font.Height) / 2;
        drawGlyph(image, font, static_cast<uint8_t>(hex[code >> 4]), left + 6 + font.Width * zoom + 6,
                  labelTop, 1, 160, 0);
        drawGlyph(image, font, static_cast<uint8_t>(hex[code & 15]),
                  left + 6 + font.Width * zoom + 6 + font.Width, labelTop, 1, 160, 0);
    }
    return image;
}

namespace {

// A text grid that places codes the way the toolkit's frame helpers do.
struct Screen {
    static constexpr int Columns = 80, Lines = 25;
    uint8_t Code[Lines][Columns] = {};
    bool Inverse[Lines][Columns] = {};

    Screen() {
        for (auto &line : Code)
            std::fill(std::begin(line), std::end(line), ' ');
    }
    // Writes the bytes from (column, line), 1-based; returns the next column.
    int put(int column, int line, const std::string &bytes, bool inverse = false) {
        for (unsigned char c : bytes) {
            if (column >= 1 && column <= Columns && line >= 1 && line <= Lines) {
                Code[line - 1][column - 1] = c;
                Inverse[line - 1][column - 1] = inverse;
            }
            ++column;
        }
        return column;
    }
    int repeat(int column, int line, uint8_t code, int count) {
        return put(column, line, std::string(static_cast<size_t>(std::max(0, count)), static_cast<char>(code)));
    }
    // A title bar of exactly width cells: rule, left cap, inverse title, right cap, rule.
    void dialogTitle(int column, int line, const std::string &title, int width) {
        std::string s(1, ' ');
        if (width - 4 >= 1)
            s.append(title, 0, static_cast<size_t>(width - 4));
        s.push_back(' ');
        const int pad = width - static_cast<int>(s.size());
        const int leftRun = (pad - 2) / 2, rightRun = pad - 2 - leftRun;
        column = repeat(column, line, 159, leftRun);
        column = put(column, line, "\x12");
        column = put(column, line, s, true);
        column = put(column, line, "\x13");
        repeat(column, line, 159, rightRun);
    }
    // A framed box: sides from the top line down, bottom edge between the
    // sides on the last line, the two bottom corner cells left alone.
    void dialog(const std::string &title, int left, int top, int right, int bottom) {
        put(left, top, "\x8B");
        dialogTitle(left + 1, top, title, right - left - 1);
        put(right, top, "\x8A");
        for (int line = top + 1; line < bottom; ++line) {
            put(left, line, "\x8B");
            put(right, line, "\x8A");
        }
        repeat(left + 1, bottom, 140, right - left - 1);
    }
};

} // namespace

static std::string padded(std::string s, size_t width) {
    s.resize(width, ' ');
    return s;
}

fg_GreyImage fg_ScreenSample(const fg_FontImage &font) {
    Screen screen;
    // Header and the rule below it.
    screen.put(1, 1, padded("Diskwright 1.4", 66) + "Contact sheet");
    screen.repeat(1, 2, 156, 80);
    screen.put(1, 3, "Volume Name: GAMES.DSK (128K)  \x9A\x9A  caf\xE9 \xA4 5 \xC5 7 \xA8 \xFF \xBF");

    // The save form: browser frame ending on the name box's top line.
    const int left = 11, right = 70, top = 5, boxTop = 20;
    screen.put(left, boxTop + 2, "\x8B");
    screen.repeat(left + 1, boxTop + 2, 141, right - left - 1);
    screen.put(right, boxTop + 2, "\x8A");
    for (int line = boxTop; line <= boxTop + 2; ++line) {
        screen.put(left, line, "\x8B");
        screen.put(right, line, "\x8A");
    }
    screen.repeat(left + 1, boxTop, 140, right - left - 1);
    screen.put(left + 1, boxTop + 1, " Save as: default.vol");
    screen.dialog("CP/M Volume \xF6" "ffnen", left, top, right, boxTop);
    const std::string path = "/home/user/Desktop/";
    const int inner = right - left - 1;
    const int lead = (inner - static_cast<int>(path.size())) / 2;
    screen.put(left + 1, top + 1, padded(std::string(static_cast<size_t>(lead), ' ') + path, static_cast<size_t>(inner)), true);
    screen.dialogTitle(left + 1, top + 2, "7 Objekte", inner);
    const char *items[][4] = {
        {" ", "Applications", "\x82\x83\x83\x84", ""},
        {"\x80", "Backup Disk", "\x81\x83\x83\x84", ""},
        {" ", "GAMES.DSK", "VOLU", "140 KB"},
        {"\x80", "System 800K.po", "VOLU", "800 KB"},
        {" ", "notes.txt", "TEXT", "1023 B "},
        {" ", "Gr\xFC\xDF" "e \x9A \xE9t\xE9 (Kopie).txt", "TEXT", "12 KB"},
        {" ", "Projects", "\x82\x83\x83\x84", ""},
    };
    int line = top + 3;
    for (const auto &item : items) {
        std::string size = item[3];
        size = std::string(7 - std::min<size_t>(7, size.size()), ' ') + size;
        const std::string text = std::string(item[0]) + padded(item[1], 32) + " " + item[2] + " " + size + " 24.12.2024";
        screen.put(left + 1, line, padded(text, static_cast<size_t>(inner)), line == top + 5);
        ++line;
    }

    // A small frame in each spare margin: the dialog frame with its corner
    // points filled in, a box round whole cells, and centred box lines.
    screen.dialog("Dialog", 1, 5, 9, 9);
    screen.put(1, 9, "\x90");
    screen.put(9, 9, "\x91");
    screen.put(1, 11, "\x86\x8C\x8C\x8C\x8C\x8C\x8C\x8C\x87");
    screen.put(1, 12, "\x8A" " box   " "\x8B");
    screen.put(1, 13, "\x88\x8D\x8D\x8D\x8D\x8D\x8D\x8D\x89");
    screen.put(72, 5, "\x92\x9B\x9B\x98\x9B\x9B\x93");
    screen.put(72, 6, "\x9D  \x9D  \x9D");
    screen.put(72, 7, "\x96\x9B\x9B\x9E\x9B\x9B\x97");
    screen.put(72, 8, "\x9D  \x9D  \x9D");
    screen.put(72, 9, "\x94\x9B\x9B\x99\x9B\x9B\x95");
    screen.put(72, 11, "\x85 ring");
    screen.put(72, 12, "\x7F missing");
    screen.put(72, 13, "\xA0 blank");

    // Graphics 0-31, then text samples.
    for (int code = 0; code < 32; ++code)
        screen.put(1 + code * 2, 24, std::string(1, static_cast<char>(code)));
    screen.put(1, 25, "The quick brown fox jumps over the lazy dog. 0123456789 \xC4\xD6\xDC\xE4\xF6\xFC\xDF \xF0 \xFD \xFE \xDD \xD0 \xDE \xAD \xA1 \xB5");

    fg_GreyImage image{Screen::Columns * font.Width, Screen::Lines * font.Height, {}};
    image.Pixels.assign(static_cast<size_t>(image.Width) * image.Height, 0);
    for (int l = 0; l < Screen::Lines; ++l)
        for (int c = 0; c < Screen::Columns; ++c) {
            const bool inverse = screen.Inverse[l][c];
            drawGlyph(image, font, screen.Code[l][c], c * font.Width, l * font.Height, 1,
                      inverse ? 0 : 255, inverse ? 255 : 0);
        }
    return image;
}
