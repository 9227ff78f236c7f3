// Engine-internal helpers shared by the engine's files: raw directory entries,
// allocation slots and the diagnostic switch.  Not for other subsystems.
#pragma once

#include <cstddef>
#include <string>

#include "volume.h"

// Byte offset of directory entry i in Image (valid for i < cpm_PresentEntries).
inline size_t cpm_EntryOffset(const cpm_Volume &volume, int i) {
    return size_t(volume.DataStart) + size_t(i) * cpm_EntrySize;
}

inline const uint8_t *cpm_EntryBytes(const cpm_Volume &volume, int i) {
    return volume.Image.data() + cpm_EntryOffset(volume, i);
}

inline uint8_t *cpm_EntryBytes(cpm_Volume &volume, int i) {
    return volume.Image.data() + cpm_EntryOffset(volume, i);
}

// Allocation slots per entry: 8 of 16 bits or 16 of 8 bits.
inline int cpm_SlotCount(bool wide) { return wide ? 8 : 16; }

// Block number in allocation slot k of a raw entry.
inline int cpm_SlotBlock(const uint8_t *entry, bool wide, int k) {
    return wide ? entry[16 + 2 * k] | (entry[17 + 2 * k] << 8) : entry[16 + k];
}

// Byte offset of block b in Image, or -1 when the block does not lie wholly inside it.
inline long long cpm_BlockOffset(const cpm_Volume &volume, long long b) {
    long long start = volume.DataStart + b * volume.BlockSize;
    if (b < 0 || volume.BlockSize <= 0 || start + volume.BlockSize > (long long)volume.Image.size()) return -1;
    return start;
}

// A user byte whose entry holds blocks: user numbers 0 to 31.  0xE5 (free),
// 0x20 (CP/M 3 label) and 0x21 (time stamps) hold none.
inline bool cpm_HoldsBlocks(uint8_t user) { return user <= 31; }

// Bytes a raw entry's record count covers: the full logical extents before
// its last one (EX modulo the extents an entry holds), then its records.
inline long long cpm_EntryRecordBytes(const uint8_t *entry, int extentsPerEntry) {
    return (long long)(entry[12] % extentsPerEntry) * cpm_ExtentBytes + (long long)entry[15] * cpm_RecordSize;
}

// The extent number of a raw entry: S2, then EX.
inline int cpm_RawExtent(const uint8_t *entry) { return (entry[14] % 64) * 32 + entry[12] % 32; }

// Entry display name from raw bytes; keepBits leaves bit 7 of the type bytes.
Text cpm_RawName(const uint8_t *entry, bool keepBits);

// True when the entry's display name (as cpm_RawName makes it) equals name;
// no allocation, for the scans that compare every entry.
inline bool cpm_NameIs(const uint8_t *entry, const Text &name, bool keepBits) {
    if (name.size() != 12 || name[8] != '.') return false;
    for (int k = 0; k < 8; k++)
        if (entry[1 + k] != name[size_t(k)]) return false;
    for (int k = 9; k < 12; k++)
        if ((keepBits ? entry[k] : uint8_t(entry[k] & 0x7F)) != name[size_t(k)]) return false;
    return true;
}

// Writes a diagnostic line when diagnostics are on.
void cpm_Diag(const std::string &line);
