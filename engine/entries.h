// Engine-internal: the entries of a volume, where they and the blocks lie
// in the image, and the kinds of entry that depend on the rest of the
// directory.  Not for other subsystems.  The raw entry itself is entry.h's.
#pragma once

#include <cstddef>
#include <string>

#include "entry.h"
#include "volume.h"

// Byte offset of directory entry i in Image (valid for i < cpm_PresentEntries).
inline size_t cpm_EntryOffset(const cpm_Volume &volume, int i) {
    return size_t(volume.Geometry.DataStart) + size_t(i) * cpm_EntrySize;
}

inline const uint8_t *cpm_EntryBytes(const cpm_Volume &volume, int i) {
    return volume.Image.data() + cpm_EntryOffset(volume, i);
}

inline uint8_t *cpm_EntryBytes(cpm_Volume &volume, int i) {
    return volume.Image.data() + cpm_EntryOffset(volume, i);
}

// Byte offset of block b in Image, or -1 when the block does not lie wholly inside it.
inline long long cpm_BlockOffset(const cpm_Volume &volume, long long b) {
    long long start = volume.Geometry.DataStart + b * volume.Geometry.BlockSize;
    if (b < 0 || volume.Geometry.BlockSize <= 0 || start + volume.Geometry.BlockSize > (long long)volume.Image.size()) return -1;
    return start;
}

// The directory label's entry (the first of user 0x20), or -1.
int cpm_LabelEntry(const cpm_Volume &volume);
// A directory label turns password protection on (cpm_PasswordsBit): entries
// of users 16-31 are then password entries.
bool cpm_PasswordsOn(const cpm_Volume &volume);
// Blocks below this number may be reserved: the volume's blocks and the
// block numbers that wrap round onto its reserved tracks.
int cpm_ReservationLimit(const cpm_Volume &volume);
// Entry i reserves blocks: an entry of users 16-31 while passwords are off
// that reads as a file entry (no control characters in its name, every
// block number inside the volume or among the wrap-round blocks).  Its
// blocks are used.  Any other entry of users 16-31 is a password entry.
bool cpm_IsReservation(const cpm_Volume &volume, int entry, bool passwordsOn);
// The kind of entry i (Erased for an entry beyond the image).
cpm_EntryKind cpm_KindOf(const cpm_Volume &volume, int entry, bool passwordsOn);
