// libFuzzer target for the catalogue's display lines: f_CatStr of items with
// arbitrary names, types, sizes, dates and line widths, f_SizeStr and
// f_DateStr.  Beyond "no crash" it checks that a line holds no control
// character (it goes to the screen through t_Print) and is no wider than
// its layout.
//
// Input: a flag byte (bit 0 extension hidden, bit 1 read-only, bits 2-4 the
// kind, bit 5 the item sits in the mount folder, bit 6 the date text comes
// from f_DateStr), the width as a signed byte (40, 60, 80 and others), eight
// bytes of size, eight bytes of modification time in nanoseconds, then
// three texts (name, type code, date text), each a length byte and its bytes.
#include "catalog.h"
#include "text.h"

struct Reader {
    const uint8_t *Data;
    size_t Size;
    size_t At = 0;
    uint8_t byte() { return At < Size ? Data[At++] : 0; }
    uint64_t word() {
        uint64_t v = 0;
        for (int i = 0; i < 8; i++) v = v << 8 | byte();
        return v;
    }
    std::string text() {
        size_t n = std::min<size_t>(byte(), Size - At);
        std::string s(reinterpret_cast<const char *>(Data + At), n);
        At += n;
        return s;
    }
};

static const int widths[] = {80, 60, 40};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string mountFolder = f_StandardFolder(f_Folder::Mount);
    Reader in{data, size};
    uint8_t flags = in.byte();
    int8_t widthByte = int8_t(in.byte());
    int width = widthByte >= 0 && widthByte < 3 ? widths[widthByte] : widthByte;
    f_CatItem item;
    item.ExtHidden = flags & 1;
    item.ReadOnly = flags & 2;
    item.KindNum = flags >> 2 & 7;
    item.Path = flags & 0x20 ? mountFolder : "/fuzz/";
    item.Size = int64_t(in.word());
    item.Modified = f_Date(std::chrono::system_clock::duration(int64_t(in.word())));
    item.Name = in.text();
    item.FileType = in.text();
    item.ModifiedStr = flags & 0x40 ? f_DateStr(item.Modified) : in.text();

    std::string line = f_CatStr(item, width);
    for (char32_t c : t_Decode(line))
        if (c < 32) __builtin_trap();
    int layoutWidth = width == 80 ? 80 : width == 40 ? 40 : 60;
    if (t_Length(line) > layoutWidth) __builtin_trap();
    f_SizeStr(item.Size);
    f_Extension(item.Name);
    return 0;
}
