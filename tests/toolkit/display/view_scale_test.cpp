// The picture's place in its window and the zoom steps.
#include <gtest/gtest.h>

#include <tuple>

#include "view_scale.h"

namespace {

const t_PictureGeometry mainPicture{1280, 800, 16, 16};

TEST(FitPicture, LargestCentredPictureWithTheAspectKept) {
    struct Case { int AreaWidth, AreaHeight; double Dpr; bool WithBorder; t_PictureRect Expected; } cases[] = {
        {1312, 832, 1, true, {16, 16, 1280, 800}},     // 1x: as without scaling
        {2624, 1664, 1, true, {32, 32, 2560, 1600}},   // 2x
        {1340, 845, 1, true, {30, 22, 1280, 800}},     // a little above 1x stays sharp
        {1124, 713, 1, true, {13, 14, 1097, 685}},     // shrunk to fit
        {1366, 749, 1, false, {84, 0, 1198, 749}},     // full screen: no border
        {3000, 900, 1, true, {807, 17, 1385, 865}},    // wide: height decides
        {1312, 832, 2, true, {16, 16, 1280, 800}},     // 2 device pixels per pixel
        {683, 384, 2, true, {46, 7, 591, 369}},        // too small at 200 %
        {656, 416, 2, true, {8, 8, 640, 400}},         // one device pixel per pixel
    };
    for (const Case &c : cases) {
        t_PictureRect r = t_FitPicture(mainPicture, c.AreaWidth, c.AreaHeight, c.Dpr, c.WithBorder);
        SCOPED_TRACE(std::to_string(c.AreaWidth) + "x" + std::to_string(c.AreaHeight));
        EXPECT_EQ(std::tie(r.X, r.Y, r.Width, r.Height),
                  std::tie(c.Expected.X, c.Expected.Y, c.Expected.Width, c.Expected.Height));
        EXPECT_NEAR(double(r.Width) / r.Height, 1.6, 0.005);
    }
}

TEST(Zoom, FirstSizeAndWholeSteps) {
    // 1366 x 768 less a title bar, frame and menu bar.
    double small = t_LargestZoom(1312, 832, 8, 55, 1366, 768);
    EXPECT_NEAR(small, 713.0 / 832, 1e-9);
    EXPECT_EQ(t_FirstZoom(small), small);
    EXPECT_EQ(t_FirstZoom(t_LargestZoom(1312, 832, 8, 55, 1920, 1080)), 1);
    struct Step { double Zoom, Largest, Dpr, In, Out; } steps[] = {
        {1, 2.2, 1, 2, 0},   {2, 2.2, 1, 0, 1},   {0.86, 0.86, 1, 0, 0}, {1.37, 3.5, 1, 2, 1},
        {3, 3.5, 1, 0, 2},   {1, 1.6, 2, 1.5, 0.5}, {0.5, 1.6, 2, 1, 0},
    };
    for (const Step &s : steps) {
        EXPECT_EQ(t_ZoomIn(s.Zoom, s.Largest, s.Dpr), s.In) << s.Zoom << " at " << s.Dpr;
        EXPECT_EQ(t_ZoomOut(s.Zoom, s.Dpr), s.Out) << s.Zoom << " at " << s.Dpr;
    }
}

TEST(PixelAt, BackToPictureCoordinates) {
    t_PictureRect at137{22, 22, 1754, 1096};
    struct Case { double X, Y; int PictureX, PictureY; } cases[] = {
        {22, 22, 0, 0}, {22 + 1754 - 0.01, 22 + 1096 - 0.01, 1279, 799}, {21.9, 500, -1, 348},
        {22 + 1754, 30, 1280, 5}, {5, 5, -13, -13},
    };
    for (const Case &c : cases) {
        t_PicturePixel p = t_PixelAt(at137, mainPicture, c.X, c.Y);
        EXPECT_EQ(std::make_pair(p.X, p.Y), std::make_pair(c.PictureX, c.PictureY)) << c.X << "," << c.Y;
    }
}

}  // namespace
