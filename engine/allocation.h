// Engine-internal: which blocks a new file may take.
#pragma once

#include <vector>

#include "volume.h"

// Per block, 1 when a new file must not take it: the directory, every block
// of BlockMap, and every block named by an entry of any user number 0-31
// (files of other users, entries whose name starts with a blank, reserved
// boot areas), whatever the listing shows. 
std::vector<uint8_t> cpm_TakenBlocks(const cpm_Volume &volume);
