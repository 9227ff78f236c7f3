// Engine-internal: one raw directory entry, the 32 bytes CP/M keeps per
// entry, read one way by every part of the engine.
//
//   byte 0      user: 0-15 a file, 16-31 a reservation or password entry,
//               0x20 the label, 0x21 date stamps, 0xE5 erased
//   bytes 1-11  name and type (bit 7 of bytes 9-11: the attributes)
//   byte 12     EX, the low 5 bits of the extent number
//   byte 13     bytes used in the last record (1-127; 0 a whole record)
//   byte 14     S2, the extent number's next 6 bits
//   byte 15     RC, records in the entry's last logical extent
//   bytes 16-31 the blocks: 16 slots of 8 bits or 8 of 16 bits
#pragma once

#include <cstdint>
#include <vector>

#include "text.h"

constexpr int cpm_EntrySize = 32;          // bytes of one directory entry
constexpr int cpm_UserAreas = 16;          // user areas 0-15 hold files
constexpr uint8_t cpm_ErasedUser = 0xE5;   // user byte of an erased or never used entry
constexpr int cpm_RecordSize = 128;
constexpr int cpm_ExtentBytes = 16384;     // one logical extent: 128 records

// "        .   ": the template of every display name.
extern const Text cpm_BlankName;

// User bytes of the entries that hold no file.
constexpr uint8_t cpm_LabelUser = 0x20;         // the CP/M 3 directory label
constexpr uint8_t cpm_StampUser = 0x21;         // date stamps of the three entries before it
constexpr uint8_t cpm_ReservationUser = 31;     // users 16 to this: reservations or password entries
// The flags of the label's byte 12.
constexpr uint8_t cpm_LabelExistsBit = 0x01;
constexpr uint8_t cpm_CreateStampsBit = 0x10;   // files get create stamps
constexpr uint8_t cpm_UpdateStampsBit = 0x20;   // files get update stamps
constexpr uint8_t cpm_AccessStampsBit = 0x40;   // access stamps instead of create stamps
constexpr uint8_t cpm_PasswordsBit = 0x80;      // password protection on

// What a directory entry holds.  Users 16-31 are reservations (blocks kept
// from new files: boot tracks, the DOS half of a hybrid disk) or password
// entries (no blocks), as cpm_IsReservation tells them apart.
enum class cpm_EntryKind : uint8_t { Erased, File, Reservation, Password, Label, Stamps, Unknown };

// The kind a user byte gives; users 16-31 are a reservation when `reservation`.
constexpr cpm_EntryKind cpm_KindOfUser(uint8_t user, bool reservation) {
    if (user == cpm_ErasedUser) return cpm_EntryKind::Erased;
    if (user < cpm_UserAreas) return cpm_EntryKind::File;
    if (user <= cpm_ReservationUser) return reservation ? cpm_EntryKind::Reservation : cpm_EntryKind::Password;
    if (user == cpm_LabelUser) return cpm_EntryKind::Label;
    if (user == cpm_StampUser) return cpm_EntryKind::Stamps;
    return cpm_EntryKind::Unknown;
}

// Kinds whose allocation slots name blocks.
constexpr bool cpm_HoldsBlocks(cpm_EntryKind kind) {
    return kind == cpm_EntryKind::File || kind == cpm_EntryKind::Reservation;
}

// A name byte no CP/M name holds: a control character or DEL (bit 7 aside).
constexpr bool cpm_ControlByte(uint8_t b) { return (b & 0x7F) < 0x20 || (b & 0x7F) == 0x7F; }

// Bytes 1-11 hold a control character.
inline bool cpm_HasControlName(const uint8_t *entry) {
    for (int k = 1; k <= 11; k++)
        if (cpm_ControlByte(entry[k])) return true;
    return false;
}

// A file entry the lists show: user 0-15, its first name byte printable
// (a blank counts; 0x80 and above, or a control character, do not).
inline bool cpm_IsListedFile(const uint8_t *entry) {
    return entry[0] < cpm_UserAreas && entry[1] >= 0x20 && entry[1] < 0x80;
}

// --- extent number ----------------------------------------------------------

constexpr int cpm_ExMask = 0x1F;                // EX: 5 bits
constexpr int cpm_S2Mask = 0x3F;                // S2: 6 bits

// The extent number of a raw entry: S2, then EX.
inline int cpm_RawExtent(const uint8_t *entry) {
    return (entry[14] & cpm_S2Mask) * (cpm_ExMask + 1) + (entry[12] & cpm_ExMask);
}

// Writes an extent number into EX and S2.
inline void cpm_PutRawExtent(uint8_t *entry, long long extent) {
    entry[12] = uint8_t(extent & cpm_ExMask);
    entry[14] = uint8_t((extent >> 5) & cpm_S2Mask);
}

// Which of the logical extents an entry holds is its last: EX modulo them.
inline int cpm_LastExtentInEntry(const uint8_t *entry, int extentsPerEntry) { return entry[12] % extentsPerEntry; }

// Bytes a raw entry's record count covers: the full logical extents before
// its last one, then its records.
inline long long cpm_EntryRecordBytes(const uint8_t *entry, int extentsPerEntry) {
    return (long long)cpm_LastExtentInEntry(entry, extentsPerEntry) * cpm_ExtentBytes +
           (long long)entry[15] * cpm_RecordSize;
}

// --- blocks ---------------------------------------------------------------------

// Allocation slots per entry: 8 of 16 bits or 16 of 8 bits.
inline int cpm_SlotCount(bool wide) { return wide ? 8 : 16; }

// Block number in allocation slot k of a raw entry.
inline int cpm_SlotBlock(const uint8_t *entry, bool wide, int k) {
    return wide ? entry[16 + 2 * k] | (entry[17 + 2 * k] << 8) : entry[16 + k];
}

// Puts block b into allocation slot k.
inline void cpm_PutSlotBlock(uint8_t *entry, bool wide, int k, int b) {
    if (wide) {
        entry[16 + 2 * k] = uint8_t(b & 0xFF);
        entry[17 + 2 * k] = uint8_t(b >> 8);
    } else {
        entry[16 + k] = uint8_t(b);
    }
}

// The block numbers in the slots, empty slots (0) left out.
// The block numbers of an entry's allocation slots, without allocating:
// the scans over every entry of the directory call this for each one.
struct cpm_Blocks {
    int Count = 0;
    int Block[16] = {};
    const int *begin() const { return Block; }
    const int *end() const { return Block + Count; }
};
inline cpm_Blocks cpm_RawBlocks(const uint8_t *entry, bool wide) {
    cpm_Blocks blocks;
    for (int k = 0; k < cpm_SlotCount(wide); k++)
        if (int b = cpm_SlotBlock(entry, wide, k)) blocks.Block[blocks.Count++] = b;
    return blocks;
}

// --- names --------------------------------------------------------------------

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
