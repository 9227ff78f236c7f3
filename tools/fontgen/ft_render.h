// Rasterising characters of a monospaced typeface into 16 x 32 glyph cells
// with FreeType.
#pragma once

#include <memory>
#include <string>

#include "glyph_cell.h"

struct fg_Rasteriser;

// Opens the typeface (and, if the path is not empty, a second face for
// characters the first lacks).  The size is chosen so that one advance of the
// monospaced face is exactly the cell width; the baseline so that ascenders
// and descenders fit the cell height.  Null on failure, with a message in
// *error.
std::unique_ptr<fg_Rasteriser, void (*)(fg_Rasteriser *)>
fg_OpenRasteriser(const std::string &facePath, const std::string &fallbackPath, std::string *error);

struct fg_RenderResult {
    bool Found = false;        // some face has the character
    bool FromFallback = false; // drawn from the second face
    int ClippedInk = 0;        // sum of grey levels that fell outside the cell
};

// Draws the character into the cell.  Characters of the monospaced face
// stand at the pen position like text; characters from the second face are
// centred and, where they would not fit, drawn smaller.
fg_RenderResult fg_RenderChar(fg_Rasteriser &rasteriser, char32_t c, fg_Cell &cell);

// The baseline row chosen for the face (the first row below the baseline).
int fg_Baseline(const fg_Rasteriser &rasteriser);
