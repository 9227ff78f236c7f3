// Reading a file's blocks.
#include <algorithm>
#include <cstdio>

#include "entries.h"

// Eight upper-case hexadecimal digits.
static std::string hex8(long long value) {
    char buf[16];
    snprintf(buf, sizeof buf, "%08llX", (unsigned long long)value & 0xFFFFFFFFull);
    return buf;
}

// The text blank-padded to a display name without any other change: the part
// before the last point to 8 bytes, the rest to 3; "" when it does not fit.
static Text padded(const Text &typed) {
    auto dot = std::find(typed.Elements.rbegin(), typed.Elements.rend(), uint8_t('.')).base();
    std::vector<uint8_t> base(typed.Elements.begin(), dot == typed.Elements.begin() ? typed.Elements.end() : dot - 1);
    std::vector<uint8_t> type(dot == typed.Elements.begin() ? typed.Elements.end() : dot, typed.Elements.end());
    if (base.size() > 8 || type.size() > 3) return Text();
    base.resize(8, ' ');
    type.resize(3, ' ');
    return Text(base) + Text(".") + Text(type);
}

Text cpm_StoredName(const cpm_Volume &volume, const Text &typed) {
    if (typed.empty()) return Text();
    Text blankPadded = padded(typed);
    for (size_t i = 0; i < volume.Names.size() && i < volume.Sizes.size(); i++) {
        const Text &name = volume.Names[i];
        if (volume.Sizes[i] >= 0 && (name == typed || name == blankPadded)) return name;
    }
    return Text();
}

Text cpm_TypedFileName(const cpm_Volume &volume, const Text &typed) {
    Text stored = cpm_StoredName(volume, typed);
    return stored.empty() ? t_TextUpperCase(typed) : stored;
}

cpm_FileData cpm_LoadFile(const cpm_Volume &volume, const Text &name) {
    cpm_FileData file;
    if (name.empty()) return file;
    file.Name = cpm_StoredName(volume, name);
    if (file.Name.empty()) file.Name = cpm_MakeName(name);
    bool wide = cpm_WideBlocks(volume);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (!cpm_NameIs(e, file.Name, false)) continue;
        file.Found = true;
        for (int k = 0; k < cpm_SlotCount(wide); k++) {
            int b = cpm_SlotBlock(e, wide, k);
            if (b == 0) continue;
            long long start = cpm_BlockOffset(volume, b);
            if (start < 0) continue;   // beyond the end of the image: skipped
            const uint8_t *from = volume.Image.data() + start;
            file.Data.Elements.insert(file.Data.Elements.end(), from, from + volume.BlockSize);
            if (cpm_Diagnostics())
                cpm_Diag("cpm_LoadFile: Block = " + std::to_string(b) + ", Start = $" + hex8(start) + ", Ende = $" +
                         hex8(start + volume.BlockSize - 1));
        }
    }
    return file;
}

long long cpm_RecordedSize(const cpm_Volume &volume, const Text &displayName) {
    for (size_t i = 0; i < volume.Names.size() && i < volume.Sizes.size(); i++)
        if (volume.Sizes[i] >= 0 && volume.Names[i] == displayName) return volume.Sizes[i];
    return -1;
}
