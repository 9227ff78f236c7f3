// Test support: a headless 80 x 25 text window (window 0) with a tiny grey
// font, for code that draws text without the Qt host.
#pragma once

#include <gtest/gtest.h>

#include "display.h"

// Initialises window 0 as 80 x 25 cells of 2 x 2 pixels; its log lines are
// swallowed.
inline void test_InitTextWindow0() {
    t_Font font = t_EmptyFont();
    font.Format = 2;
    font.Start = 0;
    font.End = 255;
    font.Width = 2;
    font.Height = 2;
    font.Data.assign(256 * 4, 0);
    testing::internal::CaptureStdout();
    t_InitWindow(0, 8, false, 160, 50, 0, 0, font, true);
    testing::internal::GetCapturedStdout();
}
