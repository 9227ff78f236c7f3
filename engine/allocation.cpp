// The block map, the used space, and the blocks free for new data.
#include "allocation.h"

#include <algorithm>

#include "entries.h"

namespace {

constexpr uint8_t labelUser = 0x20;
constexpr uint8_t passwordsBit = 0x80;   // of the label's byte 12

// A name byte no CP/M name holds: a control character (bit 7 aside).
bool controlByte(uint8_t b) { return (b & 0x7F) < 0x20 || (b & 0x7F) == 0x7F; }

}  // namespace

bool cpm_PasswordsOn(const cpm_Volume &volume) {
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] == labelUser) return (e[12] & passwordsBit) != 0;
    }
    return false;
}

int cpm_ReservationLimit(const cpm_Volume &volume) {
    return cpm_BlockCount(volume) + cpm_GeometryOf(volume.Format).WrapBlocks;
}

bool cpm_IsReservation(const cpm_Volume &volume, int entry, bool passwordsOn) {
    if (passwordsOn || entry < 0 || entry >= cpm_PresentEntries(volume)) return false;
    const uint8_t *e = cpm_EntryBytes(volume, entry);
    if (e[0] < cpm_UserAreas || e[0] > 31) return false;
    for (int k = 1; k <= 11; k++)
        if (controlByte(e[k])) return false;
    bool wide = cpm_WideBlocks(volume);
    int limit = cpm_ReservationLimit(volume);
    for (int k = 0; k < cpm_SlotCount(wide); k++) {
        int b = cpm_SlotBlock(e, wide, k);
        if (b != 0 && (b < volume.DirBlocks || b >= limit)) return false;
    }
    return true;
}

cpm_SectorMap cpm_LoadSectorMap(const cpm_Volume &volume) {
    cpm_SectorMap map;
    int n = cpm_BlockCount(volume);
    map.BlockMap.assign(size_t(std::max(n, 0)), 0);
    for (int b = 0; b < volume.DirBlocks && b < n; b++) map.BlockMap[size_t(b)] = 1;
    int blockKB = volume.BlockSize / 1024;
    map.UsedKB = volume.DirBlocks * blockKB;
    bool wide = cpm_WideBlocks(volume);
    bool passwords = cpm_PasswordsOn(volume);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        // Files of every user area and the reservations: the map and the
        // free space are the whole volume's.  A reservation's wrap-round
        // blocks lie on the reserved tracks, outside the map.
        bool reservation = cpm_IsReservation(volume, i, passwords);
        if (!reservation && (e[0] >= cpm_UserAreas || e[1] < 0x21)) continue;
        for (int k = 0; k < cpm_SlotCount(wide); k++) {
            int b = cpm_SlotBlock(e, wide, k);
            if (b == 0) continue;
            if (b >= volume.DirBlocks && b < n) {
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
    for (int b = 0; b < volume.DirBlocks && b < n; b++) taken[size_t(b)] = 1;
    for (size_t b = 0; b < taken.size() && b < volume.BlockMap.size(); b++)
        if (volume.BlockMap[b]) taken[b] = 1;
    bool wide = cpm_WideBlocks(volume);
    bool passwords = cpm_PasswordsOn(volume);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        // Every entry of users 0-15 (a name starting with a blank too) and
        // the reservations; password entries hold no blocks.
        if (e[0] >= cpm_UserAreas && !cpm_IsReservation(volume, i, passwords)) continue;
        for (int k = 0; k < cpm_SlotCount(wide); k++) {
            int b = cpm_SlotBlock(e, wide, k);
            if (b >= volume.DirBlocks && b < n) taken[size_t(b)] = 1;
        }
    }
    return taken;
}
