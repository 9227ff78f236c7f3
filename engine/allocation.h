// Engine-internal: which blocks entries hold and which a new file may take.
#pragma once

#include <vector>

#include "volume.h"

// A directory label (user byte 0x20) turns password protection on (bit 7 of
// its byte 12): entries of users 16-31 are then password entries.
bool cpm_PasswordsOn(const cpm_Volume &volume);
// Blocks below this number may be reserved: the volume's blocks and the
// block numbers that wrap round onto the reserved tracks.
int cpm_ReservationLimit(const cpm_Volume &volume);
// Entry i reserves blocks (the boot tracks, the DOS half of a hybrid disk):
// an entry of users 16-31 while passwords are off that reads as a file entry
// (no control characters in its name, every block number inside the volume
// or among the wrap-round blocks).  Its blocks are used.  Any other entry of
// users 16-31 is a password entry and holds no blocks.
bool cpm_IsReservation(const cpm_Volume &volume, int entry, bool passwordsOn);

// Per block, 1 when a new file must not take it: the directory, every block
// of BlockMap, every block named by an entry of users 0-15 (files of other
// users, entries whose name starts with a blank) and by a reservation,
// whatever the listing shows.
std::vector<uint8_t> cpm_TakenBlocks(const cpm_Volume &volume);
