#include "glyph_cell.h"

#include <algorithm>
#include <cmath>

static constexpr int kSamples = 8;

static int coverage(const fg_Shape &shape, int x, int y) {
    int inside = 0;
    for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx)
            if (shape(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples))
                ++inside;
    return (inside * 255 + kSamples * kSamples / 2) / (kSamples * kSamples);
}

void fg_Paint(fg_Cell &cell, const fg_Shape &shape) {
    for (int y = 0; y < fg_CellHeight; ++y)
        for (int x = 0; x < fg_CellWidth; ++x)
            cell.at(x, y) = static_cast<uint8_t>(std::max<int>(cell.at(x, y), coverage(shape, x, y)));
}

void fg_Erase(fg_Cell &cell, const fg_Shape &shape) {
    for (int y = 0; y < fg_CellHeight; ++y)
        for (int x = 0; x < fg_CellWidth; ++x)
            cell.at(x, y) = static_cast<uint8_t>(std::min<int>(cell.at(x, y), 255 - coverage(shape, x, y)));
}

void fg_FillRect(fg_Cell &cell, int x0, int y0, int x1, int y1) {
    for (int y = std::max(0, y0); y < std::min(fg_CellHeight, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(fg_CellWidth, x1); ++x)
            cell.at(x, y) = 255;
}

fg_Shape fg_Rect(double x0, double y0, double x1, double y1) {
    return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

fg_Shape fg_RoundRect(double x0, double y0, double x1, double y1, double r) {
    return [=](double x, double y) {
        if (x < x0 || x >= x1 || y < y0 || y >= y1)
            return false;
        // Distance from the nearest corner circle's centre, in corner zones.
        const double cx = std::clamp(x, x0 + r, x1 - r);
        const double cy = std::clamp(y, y0 + r, y1 - r);
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    };
}

fg_Shape fg_Ellipse(double cx, double cy, double rx, double ry) {
    return [=](double x, double y) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        return dx * dx + dy * dy <= 1.0;
    };
}

fg_Shape fg_Segment(double x0, double y0, double x1, double y1, double halfWidth) {
    return [=](double x, double y) {
        const double vx = x1 - x0, vy = y1 - y0;
        const double lengthSquared = vx * vx + vy * vy;
        double t = lengthSquared > 0 ? ((x - x0) * vx + (y - y0) * vy) / lengthSquared : 0;
        t = std::clamp(t, 0.0, 1.0);
        const double dx = x - (x0 + t * vx), dy = y - (y0 + t * vy);
        return dx * dx + dy * dy <= halfWidth * halfWidth;
    };
}

fg_Shape fg_Polygon(std::vector<std::pair<double, double>> points) {
    return [points = std::move(points)](double x, double y) {
        // Even-odd rule: count edge crossings of a ray to the right.
        bool inside = false;
        for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const auto [xi, yi] = points[i];
            const auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
                inside = !inside;
        }
        return inside;
    };
}

fg_Shape fg_Union(fg_Shape a, fg_Shape b) {
    return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) || b(x, y); };
}

fg_Shape fg_Minus(fg_Shape a, fg_Shape b) {
    return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && !b(x, y); };
}
