// dw-fontgen: makes one toolkit font file from a monospaced typeface.
//
//   dw-fontgen --face FACE.ttf [--fallback OTHER.ttf] --out "NAME 16x32.font"
//              [--sheet GLYPHS.png] [--screen SCREEN.png]
//
// Text characters come from the typeface (characters it lacks from the
// fallback face), graphics characters are drawn; the file is checked by
// expanding it again before it is written.
#include <cstdio>
#include <string>
#include <vector>

#include "character_set.h"
#include "contact_sheet.h"
#include "files.h"
#include "font_file.h"
#include "fonts.h"
#include "ft_render.h"
#include "png_write.h"

namespace {

struct Options {
    std::string Face, Fallback, Out, Sheet, Screen;
};

bool parseOptions(int argc, char **argv, Options &options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string *target = arg == "--face"       ? &options.Face
                              : arg == "--fallback" ? &options.Fallback
                              : arg == "--out"      ? &options.Out
                              : arg == "--sheet"    ? &options.Sheet
                              : arg == "--screen"   ? &options.Screen
                                                    : nullptr;
        if (!target || i + 1 >= argc)
            return false;
        *target = argv[++i];
    }
    return !options.Face.empty() && !options.Out.empty();
}

bool writeFile(const std::string &path, std::vector<uint8_t> bytes) {
    if (bytes.empty() || setbinarytofile(path, Text(std::move(bytes))) != 0) {
        std::fprintf(stderr, "dw-fontgen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: dw-fontgen --face FACE.ttf [--fallback OTHER.ttf] --out FILE.font "
                             "[--sheet GLYPHS.png] [--screen SCREEN.png]\n");
        return 2;
    }
    std::string error;
    auto rasteriser = fg_OpenRasteriser(options.Face, options.Fallback, &error);
    if (!rasteriser) {
        std::fprintf(stderr, "dw-fontgen: %s\n", error.c_str());
        return 1;
    }

    fg_FontImage font;
    font.Grey.assign(static_cast<size_t>(fg_CellWidth) * fg_CellHeight * 256, 0);
    int missing = 0;
    for (int code = 0; code < 256; ++code) {
        const fg_GlyphSource source = fg_SourceFor(static_cast<uint8_t>(code));
        fg_Cell cell;
        if (source.Kind == fg_GlyphKind::Drawn) {
            cell = fg_DrawnCell(static_cast<uint8_t>(code));
        } else if (source.Kind == fg_GlyphKind::Char) {
            const fg_RenderResult result = fg_RenderChar(*rasteriser, source.Char, cell);
            if (!result.Found) {
                std::fprintf(stderr, "dw-fontgen: code %d: no face has U+%04X\n", code, unsigned(source.Char));
                ++missing;
            } else if (result.FromFallback) {
                std::printf("code %3d: U+%04X from the fallback face\n", code, unsigned(source.Char));
            }
            if (result.ClippedInk > 255)
                std::printf("code %3d: U+%04X clipped (%d grey units outside the cell)\n", code,
                            unsigned(source.Char), result.ClippedInk);
        }
        std::copy(cell.Grey.begin(), cell.Grey.end(), font.Grey.begin() + static_cast<long>(code) * cell.Grey.size());
    }
    if (missing > 0)
        return 1;

    std::vector<uint8_t> file = fg_FontFileBytes(font);
    if (file.empty() || t_FontFromBytes(file, options.Out).Data != font.Grey) {
        std::fprintf(stderr, "dw-fontgen: the compressed glyph data does not expand to the glyphs\n");
        return 1;
    }
    std::printf("%s: baseline row %d, %zu bytes (code width %d, %zu bytes of glyphs)\n", options.Out.c_str(),
                fg_Baseline(*rasteriser), file.size(), int(file[fg_FontHeaderSize]), font.Grey.size());
    bool ok = writeFile(options.Out, std::move(file));
    if (!options.Sheet.empty())
        ok = writeFile(options.Sheet, fg_PngBytes(fg_GlyphSheet(font))) && ok;
    if (!options.Screen.empty())
        ok = writeFile(options.Screen, fg_PngBytes(fg_ScreenSample(font))) && ok;
    return ok ? 0 : 1;
}
