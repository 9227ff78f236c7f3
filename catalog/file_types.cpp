// The extension table and the type filter.
#include "file_types.h"

#include "text.h"

namespace {

using Exts = const char *const[];

// Every extension the program registers for its images (packaging/diskwright-mime.xml).
constexpr Exts volu = {"vol", "dsk", "hdv", "vxfs", "do", "po", "2mg", "2img", "edsk", "imd", "woz", "nib", "nb2", "dc", "dc42", "image", "td0", "zip", "gz"};
constexpr Exts text = {"txt", "ppd", "xml", "htm", "html", "php", "css", "plist", "log", "conf", "cfg",
                       "ini", "cshrc", "mac", "sub", "pas", "bak", "dta", "msg", "for", "ovr"};
constexpr Exts a65 = {"a65"};
constexpr Exts rtf = {"rtf"};
constexpr Exts pdf = {"pdf"};
constexpr Exts png = {"png"};
constexpr Exts jpeg = {"jpg", "jpeg"};
constexpr Exts tiff = {"tif", "tiff"};
constexpr Exts psd = {"psd"};
constexpr Exts gif = {"gif"};
constexpr Exts bmp = {"bmp"};
constexpr Exts aifc = {"aif", "aiff", "aifc"};
constexpr Exts docx = {"docx"};
constexpr Exts xlsx = {"xlsx"};
constexpr Exts pptx = {"pptx"};
constexpr Exts ppsx = {"ppsx"};
constexpr Exts doc = {"doc"};
constexpr Exts xls = {"xls"};
constexpr Exts ppt = {"ppt"};
constexpr Exts pps = {"pps"};
constexpr Exts sfnt = {"ttf", "otf"};
constexpr Exts zip = {"zip"};
constexpr Exts dmg = {"dmg"};
constexpr Exts bin = {"bin"};
constexpr Exts obj = {"obj"};
constexpr Exts font = {"fnt", "font"};
constexpr Exts grph = {"gr", "grph", "graphic"};
constexpr Exts fbas = {"fpbas"};
constexpr Exts bas = {"bas"};
constexpr Exts asmb = {"asm"};
constexpr Exts calc = {"calc"};
constexpr Exts word = {"word"};
constexpr Exts datb = {"db", "datb", "database"};

constexpr f_TypeRow typeTable[] = {
    {"VOLU", volu}, {"TEXT", text}, {"A65 ", a65},  {"RTF ", rtf},  {"PDF ", pdf},  {"PNGf", png},
    {"JPEG", jpeg}, {"TIFF", tiff}, {"8BPS", psd},  {"GIFf", gif},  {"BMP ", bmp},  {"AIFC", aifc},
    {"WXBN", docx}, {"XLSX", xlsx}, {"PPTX", pptx}, {"PPSX", ppsx}, {"W8BN", doc},  {"XLS8", xls},
    {"SLD8", ppt},  {"PPSS", pps},  {"sfnt", sfnt}, {"ZIP ", zip},  {"devi", dmg},  {"BIN ", bin},
    {"OBJ ", obj},  {"FONT", font}, {"GRPH", grph}, {"FBAS", fbas}, {"BAS ", bas},  {"ASM ", asmb},
    {"CALC", calc}, {"WORD", word}, {"DATB", datb},
};

}  // namespace

std::span<const f_TypeRow> f_TypeTable() { return typeTable; }

std::string f_LowerCase(std::string_view s) {
    std::u32string chars = t_Decode(s);
    for (char32_t &c : chars) c = char32_t(t_LowerCode(int(c)));
    return t_Encode(chars);
}

std::string f_TypeForExtension(std::string_view extension) {
    std::string lower = f_LowerCase(extension);
    for (const f_TypeRow &row : typeTable)
        for (const char *ext : row.Extensions)
            if (lower == ext) return row.Type;
    return "????";
}

// An empty item between two commas (or at either end) matches nothing: only a
// filter that is empty as a whole lets every type through.
bool f_TypeMatches(std::string_view type, std::string_view filter) {
    if (filter.empty()) return true;
    std::string lowerType = f_LowerCase(type);
    std::string lowerFilter = f_LowerCase(filter);
    std::string_view rest = lowerFilter;
    for (;;) {
        size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        if (!item.empty() && lowerType.find(item) != std::string::npos) return true;
        if (comma == std::string_view::npos) return false;
        rest.remove_prefix(comma + 1);
    }
}
