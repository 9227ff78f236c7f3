// Block allocation: the blocks in use, and which a new file may take.
#pragma once

#include <vector>

#include "volume.h"

// Engine-internal.  Per block, 1 when a new file must not take it: the directory, every block
// of BlockMap, every block named by an entry of users 0-15 (files of other
// users, entries whose name starts with a blank) and by a reservation,
// whatever the listing shows.
std::vector<uint8_t> cpm_TakenBlocks(const cpm_Volume &volume);

// The sector map: used KB and per block 1 used, 0 free.
struct cpm_SectorMap {
    int UsedKB = 0;
    std::vector<uint8_t> BlockMap;
};
cpm_SectorMap cpm_LoadSectorMap(const cpm_Volume &volume);

