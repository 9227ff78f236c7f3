// How a toolkit window's picture is shown in the space its host window
// gives it: the rectangle of the scaled picture, the picture pixel under a
// point and the window sizes that fit a screen (the scaling of the pixels is
// in picture_scale.h).
// Plain arithmetic on sizes and pixels; the host draws with it and sizes its
// windows by it.
#pragma once

#include "picture_scale.h"

// The picture of a toolkit window and the border around it, in picture pixels.
struct t_PictureGeometry {
    int Width = 0, Height = 0;
    int BorderWidth = 0, BorderHeight = 0;
};

// A rectangle in logical pixels of the host (Qt's device-independent ones).
struct t_PictureRect {
    int X = 0, Y = 0, Width = 0, Height = 0;
};

// The picture scaled to the largest size that fits an area (with its border
// when withBorder is set), aspect kept, centred.  A scale within 2 % above a
// whole number of device pixels per picture pixel is taken as that whole
// number, so that a window a few pixels too large still shows a sharp
// picture.  dpr is the device pixel ratio.
t_PictureRect t_FitPicture(const t_PictureGeometry &picture, int areaWidth, int areaHeight, double dpr,
                           bool withBorder);

// The picture pixel under the point (x, y) of the area that holds the
// picture at rect; outside the picture it is negative or beyond the size.
struct t_PicturePixel {
    int X = 0, Y = 0;
};
t_PicturePixel t_PixelAt(const t_PictureRect &rect, const t_PictureGeometry &picture, double x, double y);

// Window sizes as a zoom: the host window's content is the picture and its
// border times the zoom (logical pixels per picture pixel).
// The largest zoom at which a window of unit size (picture and border) plus
// extra (menu bar, title bar and frame) fits an available area.
double t_LargestZoom(int unitWidth, int unitHeight, int extraWidth, int extraHeight, int availableWidth,
                     int availableHeight);
// The first size: 1 when it fits, else the largest zoom that fits.
double t_FirstZoom(double largest);
// The next whole number of device pixels per picture pixel above (Zoom In)
// or below (Zoom Out) the present zoom, as a zoom; 0 when there is none
// (beyond the largest that fits, or below one device pixel).
double t_ZoomIn(double zoom, double largest, double dpr);
double t_ZoomOut(double zoom, double dpr);
