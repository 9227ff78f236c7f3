// Ink in glyph cells, a pixel canvas on which the tests put glyph cells
// together, and a flood fill to find gaps.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "glyph_cell.h"

inline bool ink(const fg_Cell &c, int x, int y) { return c.at(x, y) >= 128; }
inline int inkCount(const fg_Cell &c) { return int(std::count_if(c.Grey.begin(), c.Grey.end(), [](uint8_t g) { return g >= 128; })); }

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
