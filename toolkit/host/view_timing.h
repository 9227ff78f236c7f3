// Timing of the view's presentation, for the benchmarks: the view draws a
// window's full picture into an image of the view's size, as the window
// system's backing store receives it.  Runs under the offscreen platform.
#pragma once

#include <vector>

// Starts the offscreen application the views need, once per process.
void t_StartOffscreenHost();

// The times, in microseconds, of `draws` presentations of window `window`'s
// picture by a view of width x height.  One view is kept per window and
// size, so that it keeps its scaling tables as a window of that size does; a
// first draw, not counted, warms the caches.
std::vector<double> t_TimeViewDraws(int window, int width, int height, int draws);
