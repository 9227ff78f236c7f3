#include "ft_render.h"

#include <algorithm>
#include <cmath>

#include <ft2build.h>
#include FT_FREETYPE_H

struct fg_Rasteriser {
    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
    FT_Face Fallback = nullptr;
    double EmPixels = 0;   // em size that makes the advance one cell wide
    int Baseline = 0;
};

static void closeRasteriser(fg_Rasteriser *r) {
    if (!r)
        return;
    if (r->Fallback)
        FT_Done_Face(r->Fallback);
    if (r->Face)
        FT_Done_Face(r->Face);
    if (r->Library)
        FT_Done_FreeType(r->Library);
    delete r;
}

static bool setPixelSize(FT_Face face, double emPixels) {
    return FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(emPixels * 64)), 72, 72) == 0;
}

std::unique_ptr<fg_Rasteriser, void (*)(fg_Rasteriser *)>
fg_OpenRasteriser(const std::string &facePath, const std::string &fallbackPath, std::string *error) {
    std::unique_ptr<fg_Rasteriser, void (*)(fg_Rasteriser *)> r(new fg_Rasteriser, closeRasteriser);
    auto fail = [&](const std::string &message) {
        if (error)
            *error = message;
        return std::unique_ptr<fg_Rasteriser, void (*)(fg_Rasteriser *)>(nullptr, closeRasteriser);
    };
    if (FT_Init_FreeType(&r->Library) != 0)
        return fail("FreeType could not be initialised");
    if (FT_New_Face(r->Library, facePath.c_str(), 0, &r->Face) != 0)
        return fail("cannot open typeface " + facePath);
    if (!fallbackPath.empty() && FT_New_Face(r->Library, fallbackPath.c_str(), 0, &r->Fallback) != 0)
        return fail("cannot open typeface " + fallbackPath);

    // The advance of a digit in font units gives the em size for one cell.
    if (FT_Load_Char(r->Face, '0', FT_LOAD_NO_SCALE) != 0 || r->Face->glyph->advance.x <= 0)
        return fail("typeface has no usable digit zero: " + facePath);
    const double upem = r->Face->units_per_EM;
    r->EmPixels = fg_CellWidth * upem / r->Face->glyph->advance.x;
    const double ascent = r->Face->ascender * r->EmPixels / upem;
    const double descent = -r->Face->descender * r->EmPixels / upem;
    r->Baseline = static_cast<int>(std::lround(ascent + (fg_CellHeight - ascent - descent) / 2));
    if (!setPixelSize(r->Face, r->EmPixels) || (r->Fallback && !setPixelSize(r->Fallback, r->EmPixels)))
        return fail("cannot scale typeface");
    return r;
}

int fg_Baseline(const fg_Rasteriser &r) { return r.Baseline; }

// Copies the rendered bitmap into the cell with its origin at (left, top);
// returns the ink that fell outside.
static int blit(const FT_Bitmap &bitmap, int left, int top, fg_Cell &cell) {
    int clipped = 0;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char *line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
        for (unsigned col = 0; col < bitmap.width; ++col) {
            const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
            if (x < 0 || x >= fg_CellWidth || y < 0 || y >= fg_CellHeight)
                clipped += line[col];
            else
                cell.at(x, y) = std::max(cell.at(x, y), line[col]);
        }
    }
    return clipped;
}

static bool renderGlyph(FT_Face face, FT_UInt index) {
    // Light hinting aligns horizontal strokes to whole pixel rows and keeps
    // the typeface's widths, so the grey stays crisp without distorting
    // shapes.
    return FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT) == 0 &&
           FT_Render_Glyph(face->glyph, FT_RENDER_MODE_LIGHT) == 0 &&
           face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY;
}

fg_RenderResult fg_RenderChar(fg_Rasteriser &r, char32_t c, fg_Cell &cell) {
    fg_RenderResult result;
    if (FT_UInt index = FT_Get_Char_Index(r.Face, c); index != 0) {
        if (!renderGlyph(r.Face, index))
            return result;
        result.Found = true;
        const FT_GlyphSlot slot = r.Face->glyph;
        result.ClippedInk = blit(slot->bitmap, slot->bitmap_left, r.Baseline - slot->bitmap_top, cell);
        return result;
    }
    if (!r.Fallback)
        return result;
    const FT_UInt index = FT_Get_Char_Index(r.Fallback, c);
    if (index == 0)
        return result;
    result.Found = result.FromFallback = true;
    // Shrink until the glyph fits the cell with a pixel to spare on each side.
    for (double scale = 1.0; scale > 0.3; scale *= 0.92) {
        if (!setPixelSize(r.Fallback, r.EmPixels * scale) || !renderGlyph(r.Fallback, index))
            break;
        const FT_GlyphSlot slot = r.Fallback->glyph;
        const int width = static_cast<int>(slot->bitmap.width);
        int top = r.Baseline - slot->bitmap_top;
        const int bottom = top + static_cast<int>(slot->bitmap.rows);
        if (width > fg_CellWidth - 2 || top < 0 || bottom > fg_CellHeight) {
            if (width <= fg_CellWidth - 2 && bottom - top <= fg_CellHeight)
                top = std::clamp(top, 0, fg_CellHeight - (bottom - top));
            else
                continue;
        }
        fg_Cell drawn;
        result.ClippedInk = blit(slot->bitmap, (fg_CellWidth - width) / 2, top, drawn);
        cell = drawn;
        break;
    }
    setPixelSize(r.Fallback, r.EmPixels);
    return result;
}
