// Fitting of a toolkit window's picture into its window.
#include "view_scale.h"

#include <algorithm>
#include <cmath>

// A scale this close above a whole number of device pixels is drawn sharp.
static const double wholeSnap = 0.02;
// Rounding slack when a zoom is compared with a whole number.
static const double epsilon = 1e-6;

t_PictureRect t_FitPicture(const t_PictureGeometry &p, int areaWidth, int areaHeight, double dpr, bool withBorder) {
    if (dpr <= 0) dpr = 1;
    double unitWidth = p.Width + (withBorder ? 2 * p.BorderWidth : 0);
    double unitHeight = p.Height + (withBorder ? 2 * p.BorderHeight : 0);
    if (p.Width <= 0 || p.Height <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return {withBorder ? p.BorderWidth : 0, withBorder ? p.BorderHeight : 0, std::max(p.Width, 1),
                std::max(p.Height, 1)};
    // Device pixels per picture pixel.
    double factor = std::min(areaWidth * dpr / unitWidth, areaHeight * dpr / unitHeight);
    double whole = std::floor(factor + epsilon);
    if (whole >= 1 && factor - whole <= wholeSnap * whole) factor = whole;
    int width = std::max(1, int(std::lround(p.Width * factor / dpr)));
    int height = std::max(1, int(std::lround(p.Height * factor / dpr)));
    width = std::min(width, areaWidth);
    height = std::min(height, areaHeight);
    return {(areaWidth - width) / 2, (areaHeight - height) / 2, width, height};
}

t_PicturePixel t_PixelAt(const t_PictureRect &r, const t_PictureGeometry &p, double x, double y) {
    if (r.Width <= 0 || r.Height <= 0) return {-1, -1};
    return {int(std::floor((x - r.X) * p.Width / r.Width)), int(std::floor((y - r.Y) * p.Height / r.Height))};
}

double t_LargestZoom(int unitWidth, int unitHeight, int extraWidth, int extraHeight, int availableWidth,
                     int availableHeight) {
    if (unitWidth <= 0 || unitHeight <= 0) return 1;
    double zoom = std::min(double(availableWidth - extraWidth) / unitWidth,
                           double(availableHeight - extraHeight) / unitHeight);
    return std::max(zoom, 0.1);
}

double t_FirstZoom(double largest) { return std::min(1.0, largest); }

double t_ZoomIn(double zoom, double largest, double dpr) {
    double next = (std::floor(zoom * dpr + epsilon) + 1) / dpr;
    return next <= largest + epsilon ? next : 0;
}

double t_ZoomOut(double zoom, double dpr) {
    double next = std::ceil(zoom * dpr - epsilon) - 1;
    return next >= 1 ? next / dpr : 0;
}
