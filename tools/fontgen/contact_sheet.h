// Review pictures of a generated font: every glyph enlarged with its code,
// and a mock 80 x 25 screen in which headers, rules, a framed file list and
// a name box are put together from the glyphs the way the toolkit places
// them, so that gaps between cells show at once.
#pragma once

#include <cstdint>
#include <vector>

#include "font_file.h"

// An 8-bit grey picture, rows top to bottom.
struct fg_GreyImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels;
};

// All 256 glyphs twice enlarged, 16 to a row, each labelled with its code in
// hexadecimal; the cell area is shown in dark grey so that ink touching the
// cell edges is visible.
fg_GreyImage fg_GlyphSheet(const fg_FontImage &font);

// The mock screen, one font pixel per image pixel, white ink on black.
fg_GreyImage fg_ScreenSample(const fg_FontImage &font);
