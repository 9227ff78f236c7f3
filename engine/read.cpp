// Reading a file's blocks.
#include "entries.h"

cpm_FileData cpm_LoadFile(const cpm_Volume &volume, const Text &name) {
    cpm_FileData file;
    if (name.empty()) return file;
    file.Name = cpm_MakeName(name);
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
                cpm_Diag("cpm_LoadFile: Block = " + std::to_string(b) + ", Start = $" + t_Hex8(start) + ", Ende = $" +
                         t_Hex8(start + volume.BlockSize - 1));
        }
    }
    return file;
}

long long cpm_RecordedSize(const cpm_Volume &volume, const Text &displayName) {
    for (size_t i = 0; i < volume.Names.size() && i < volume.Sizes.size(); i++)
        if (volume.Sizes[i] >= 0 && volume.Names[i] == displayName) return volume.Sizes[i];
    return -1;
}
