// One 16 x 32 glyph cell and the anti-aliased shape painting used to draw the
// graphics characters.  Coordinates are pixels from the cell's top left; pixel
// (x, y) covers the square [x, x+1) x [y, y+1).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

constexpr int fg_CellWidth = 16;
constexpr int fg_CellHeight = 32;

struct fg_Cell {
    std::array<uint8_t, fg_CellWidth * fg_CellHeight> Grey{};

    uint8_t at(int x, int y) const { return Grey[y * fg_CellWidth + x]; }
    uint8_t &at(int x, int y) { return Grey[y * fg_CellWidth + x]; }
};

// A region of the plane: true for points inside.
using fg_Shape = std::function<bool(double x, double y)>;

// Every pixel becomes the larger of its grey and the shape's coverage,
// measured on an 8 x 8 grid of sample points per pixel.
void fg_Paint(fg_Cell &cell, const fg_Shape &shape);
// Every pixel keeps at most the part not covered by the shape (cuts holes).
void fg_Erase(fg_Cell &cell, const fg_Shape &shape);
// Whole pixels x0 <= x < x1, y0 <= y < y1 set to ink, clipped to the cell.
void fg_FillRect(fg_Cell &cell, int x0, int y0, int x1, int y1);

fg_Shape fg_Rect(double x0, double y0, double x1, double y1);
fg_Shape fg_RoundRect(double x0, double y0, double x1, double y1, double radius);
fg_Shape fg_Ellipse(double cx, double cy, double rx, double ry);
// A stroke of the given half width around the segment, with round ends.
fg_Shape fg_Segment(double x0, double y0, double x1, double y1, double halfWidth);
fg_Shape fg_Polygon(std::vector<std::pair<double, double>> points);
fg_Shape fg_Union(fg_Shape a, fg_Shape b);
fg_Shape fg_Minus(fg_Shape a, fg_Shape b);
