// The block map, the used space, and the blocks free for new data.
#include "allocation.h"

#include <algorithm>

#include "entries.h"

cpm_SectorMap cpm_LoadSectorMap(const cpm_Volume &volume) {
    cpm_SectorMap map;
    int n = cpm_BlockCount(volume);
    map.BlockMap.assign(size_t(std::max(n, 0)), 0);
    for (int b = 0; b < volume.DirBlocks && b < n; b++) map.BlockMap[size_t(b)] = 1;
    int blockKB = volume.BlockSize / 1024;
    map.UsedKB = volume.DirBlocks * blockKB;
    bool wide = cpm_WideBlocks(volume);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        // Files of every user area: the map and the free space are the whole volume's.
        if (e[0] >= cpm_UserAreas || e[1] < 0x21) continue;
        for (int k = 0; k < cpm_SlotCount(wide); k++) {
            int b = cpm_SlotBlock(e, wide, k);
            if (b == 0) continue;
            if (b >= volume.DirBlocks && b < n) {
                // A block two entries claim (a damaged directory) is used once.
                if (!map.BlockMap[size_t(b)]) map.UsedKB += blockKB;
                map.BlockMap[size_t(b)] = 1;
            } else {
                cpm_Diag("cpm_LoadSectorMap: Illegal block number for file #" + std::to_string(i) + ": Blk " +
                         std::to_string(b));
            }
        }
    }
    return map;
}

std::vector<uint8_t> cpm_TakenBlocks(const cpm_Volume &volume) {
    int n = cpm_BlockCount(volume);
    std::vector<uint8_t> taken(size_t(std::max(n, 0)), 0);
    for (int b = 0; b < volume.DirBlocks && b < n; b++) taken[size_t(b)] = 1;
    for (size_t b = 0; b < taken.size() && b < volume.BlockMap.size(); b++)
        if (volume.BlockMap[b]) taken[b] = 1;
    bool wide = cpm_WideBlocks(volume);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (!cpm_HoldsBlocks(e[0])) continue;
        for (int k = 0; k < cpm_SlotCount(wide); k++) {
            int b = cpm_SlotBlock(e, wide, k);
            if (b >= volume.DirBlocks && b < n) taken[size_t(b)] = 1;
        }
    }
    return taken;
}
