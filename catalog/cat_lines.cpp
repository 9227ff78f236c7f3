// The display line of a catalogue item and the size text.
#include "catalog.h"

#include "log.h"
#include "text.h"

namespace {

// Column widths of the three line forms.
struct LineLayout {
    int Width;
    int NameWidth;
    const char *AfterName;
    int SizeWidth;
    const char *AfterSize;
    bool ShortDate;   // "dd.MM.yy" instead of "dd.MM.yyyy"
};

constexpr LineLayout layouts[] = {
    {80, 49, "  ", 8, "  ", false},
    {40, 15, " ", 6, " ", true},
    {60, 32, " ", 7, " ", false},   // also every other width
};

// Size units: the limit below which a unit is used, its divisor and text.
struct SizeUnit {
    int64_t Below;
    int64_t Divisor;
    const char *Unit;
};

constexpr SizeUnit sizeUnits[] = {
    {1024LL, 1, " B "},
    {1048576LL, 1024LL, " KB"},
    {1073741824LL, 1048576LL, " MB"},
    {1099511627776LL, 1073741824LL, " GB"},
};
constexpr int64_t terabyte = 1099511627776LL;

constexpr int hideableExtension = 7;   // extensions shorter than this can be hidden

}  // namespace

std::string f_SizeStr(int64_t bytes) {
    for (const SizeUnit &unit : sizeUnits)
        if (bytes < unit.Below) return std::to_string(bytes / unit.Divisor) + unit.Unit;
    return std::to_string(bytes / terabyte) + " TB";
}

static const LineLayout &layoutFor(int width) {
    for (const LineLayout &layout : layouts)
        if (layout.Width == width) return layout;
    return layouts[2];
}

// Characters below 32 would act as control codes on screen (clear the
// window, start an escape sequence): they are shown as the missing sign.
static std::string screenSafe(std::string_view toolkitText) {
    std::u32string chars = t_Decode(toolkitText);
    for (char32_t &c : chars)
        if (c < 32) c = f_GlyphMissing;
    return t_Encode(chars);
}

static std::string padOrCut(std::string_view s, int width) {
    std::string cut = t_Left(s, width);
    return cut + t_Spaces(width - t_Length(cut));
}

// The name as shown: without its extension when the host hides it.
static std::string shownName(const f_CatItem &item) {
    if (!item.ExtHidden) return item.Name;
    std::string ext = f_Extension(item.Name);
    if (t_Length(ext) >= hideableExtension) {
        t_Log("f_CatStr: Extension too long to hide.");
        return item.Name;
    }
    size_t dot = item.Name.rfind('.');
    // A name that is nothing but a full stop and an extension stays whole.
    if (dot == std::string::npos || dot == 0) return item.Name;
    return item.Name.substr(0, dot);
}

static std::string typeColumn(const f_CatItem &item) {
    if (item.FileType == "DIR " || item.FileType == "SYM ") {
        char32_t left = item.Path == f_StandardFolder(f_Folder::Mount) ? f_GlyphVolumeLeft : f_GlyphFolderLeft;
        return t_Encode(std::u32string{left, f_GlyphSignMiddle, f_GlyphSignMiddle, f_GlyphSignRight});
    }
    return padOrCut(screenSafe(t_ConvertUniCode(item.FileType).Converted), 4);
}

// The size right-aligned in its column.  A text too wide loses its blanks
// first ("1023KB"), so the column never shows a number cut at the front.
static std::string sizeColumn(const f_CatItem &item, int width) {
    std::string size = item.KindNum == f_KindRegular ? f_SizeStr(item.Size) : "";
    if (t_Length(size) > width) std::erase(size, ' ');
    if (t_Length(size) > width) size = t_Right(size, width);
    return t_Spaces(width - t_Length(size)) + size;
}

std::string f_CatStr(const f_CatItem &item, int width) {
    const LineLayout &layout = layoutFor(width);
    std::string mark = item.ReadOnly ? t_EncodeChar(f_GlyphLocked) : " ";
    std::string name = padOrCut(screenSafe(t_ConvertUniCode(shownName(item)).Converted), layout.NameWidth);
    std::string date = screenSafe(layout.ShortDate ? t_Left(item.ModifiedStr, 6) + t_Mid(item.ModifiedStr, 9, 2)
                                                   : t_Left(item.ModifiedStr, 10));
    return mark + name + layout.AfterName + typeColumn(item) + " " + sizeColumn(item, layout.SizeWidth) +
           layout.AfterSize + date;
}
