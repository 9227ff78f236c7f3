// A pixel canvas on which the tests put glyph cells together the way the
// toolkit's frame helpers place them, and a flood fill to find gaps.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "glyph_cell.h"

struct FrameCanvas {
    int Columns, Lines;
    std::vector<uint8_t> Grey;
    std::function<fg_Cell(uint8_t)> Glyph;

    FrameCanvas(int columns, int lines, std::function<fg_Cell(uint8_t)> glyph)
        : Columns(columns), Lines(lines),
          Grey(size_t(columns) * lines * fg_CellWidth * fg_CellHeight, 0), Glyph(std::move(glyph)) {}

    int width() const { return Columns * fg_CellWidth; }
    int height() const { return Lines * fg_CellHeight; }
    uint8_t &at(int x, int y) { return Grey[size_t(y) * width() + x]; }

    // Cell (column, line), 1-based; inverse draws ink as paper.
    void put(int column, int line, uint8_t code, bool inverse = false) {
        const fg_Cell cell = Glyph(code);
        for (int y = 0; y < fg_CellHeight; ++y)
            for (int x = 0; x < fg_CellWidth; ++x) {
                const uint8_t g = cell.at(x, y);
                at((column - 1) * fg_CellWidth + x, (line - 1) * fg_CellHeight + y) =
                    inverse ? static_cast<uint8_t>(255 - g) : g;
            }
    }
    void run(int column, int line, uint8_t code, int count, bool inverse = false) {
        for (int i = 0; i < count; ++i)
            put(column + i, line, code, inverse);
    }
    // The title bar: rule, left cap, the title in inverse, right cap, rule.
    void dialogTitle(int column, int line, int titleLength, int width) {
        const int s = 2 + std::min(titleLength, std::max(0, width - 4));
        const int pad = width - s, leftRun = (pad - 2) / 2, rightRun = pad - 2 - leftRun;
        run(column, line, 159, leftRun);
        column += leftRun;
        put(column++, line, 18);
        run(column, line, 'x', s, true);
        column += s;
        put(column++, line, 19);
        run(column, line, 159, rightRun);
    }
    // The dialog frame: sides from the top line down to the line above the
    // bottom, the bottom edge between the sides, bottom corners untouched.
    void dialog(int titleLength, int left, int top, int right, int bottom) {
        put(left, top, 139);
        dialogTitle(left + 1, top, titleLength, right - left - 1);
        put(right, top, 138);
        for (int line = top + 1; line < bottom; ++line) {
            put(left, line, 139);
            put(right, line, 138);
        }
        run(left + 1, bottom, 140, right - left - 1);
    }

    // Paper pixels reachable from (x, y) through paper, four-connected.
    std::vector<bool> flood(int x, int y) {
        std::vector<bool> seen(Grey.size(), false);
        std::vector<std::pair<int, int>> todo = {{x, y}};
        while (!todo.empty()) {
            auto [px, py] = todo.back();
            todo.pop_back();
            if (px < 0 || py < 0 || px >= width() || py >= height())
                continue;
            const size_t i = size_t(py) * width() + px;
            if (seen[i] || Grey[i] >= 128)
                continue;
            seen[i] = true;
            todo.insert(todo.end(), {{px + 1, py}, {px - 1, py}, {px, py + 1}, {px, py - 1}});
        }
        return seen;
    }
    bool reachesBorder(const std::vector<bool> &seen) const {
        for (int x = 0; x < width(); ++x)
            if (seen[x] || seen[size_t(height() - 1) * width() + x])
                return true;
        for (int y = 0; y < height(); ++y)
            if (seen[size_t(y) * width()] || seen[size_t(y) * width() + width() - 1])
                return true;
        return false;
    }
    // Centre pixel of a cell.
    static std::pair<int, int> centre(int column, int line) {
        return {(column - 1) * fg_CellWidth + fg_CellWidth / 2, (line - 1) * fg_CellHeight + fg_CellHeight / 2};
    }
};
