// Engine-internal helpers shared by the engine's files: where entries and
// blocks lie in the image, and the diagnostic switch.  Not for other
// subsystems.  The raw entry itself is entry.h's.
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

// Writes a diagnostic line when diagnostics are on.
void cpm_Diag(const std::string &line);
