// The block map, the used space, and the blocks free for new data.
#include "allocation.h"

#include <algorithm>

#include "entries.h"

cpm_SectorMap cpm_LoadSectorMap(const cpm_Volume &volume) {
    cpm_SectorMap map;
    int n = cpm_BlockCount(volume);
    map.BlockMap.assign(size_t(std::max(n, 0)), 0);
    for (int b = 0; b < volume.Geometry.DirBlocks && b < n; b++) map.BlockMap[size_t(b)] = 1;
    int blockKB = volume.Geometry.BlockSize / 1024;
    map.UsedKB = volume.Geometry.DirBlocks * blockKB;
    bool wide = cpm_WideBlocks(volume);
    bool passwords = cpm_PasswordsOn(volume);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        // Files of every user area and the reservations: the map and the
        // free space are the whole volume's.  A reservation's wrap-round
        // blocks lie on the reserved tracks, outside the map.  A file whose
        // first name byte is a blank or a control character is left out of
        // the map (the writer never takes its blocks, though).
        cpm_EntryKind kind = cpm_KindOf(volume, i, passwords);
        bool reservation = kind == cpm_EntryKind::Reservation;
        if (!reservation && (kind != cpm_EntryKind::File || e[1] <= ' ')) continue;
        for (int b : cpm_RawBlocks(e, wide)) {
            if (b >= volume.Geometry.DirBlocks && b < n) {
                // A block two entries claim (a damaged directory) is used once.
                if (!map.BlockMap[size_t(b)]) map.UsedKB += blockKB;
                map.BlockMap[size_t(b)] = 1;
            } else if (!reservation) {
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
    for (int b = 0; b < volume.Geometry.DirBlocks && b < n; b++) taken[size_t(b)] = 1;
    for (size_t b = 0; b < taken.size() && b < volume.BlockMap.size(); b++)
        if (volume.BlockMap[b]) taken[b] = 1;
    bool wide = cpm_WideBlocks(volume);
    bool passwords = cpm_PasswordsOn(volume);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        // Every entry of users 0-15 (a name starting with a blank too) and
        // the reservations; password entries hold no blocks.
        if (!cpm_HoldsBlocks(cpm_KindOf(volume, i, passwords))) continue;
        for (int b : cpm_RawBlocks(cpm_EntryBytes(volume, i), wide))
            if (b >= volume.Geometry.DirBlocks && b < n) taken[size_t(b)] = 1;
    }
    // A block that cannot be read is never handed out.
    for (int b : volume.UnreadableBlocks)
        if (b >= 0 && b < n) taken[size_t(b)] = 1;
    return taken;
}
