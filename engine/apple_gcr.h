// Apple II disk bytes: how a track's bits or bytes become the disk bytes the
// controller delivers, and how the 16-sector format's address and data
// fields (4-and-4 and 6-and-2 encoded) are found in them and written back.
// 13-sector fields (D5 AA B5) are recognised and counted, not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text.h"

// One disk byte and the bit of the track where it starts (its first 1 bit;
// for a track of bytes, 8 times the byte's index).
struct cpm_Nibble {
    uint8_t Value = 0;
    uint32_t At = 0;
};

// The disk bytes of a circular bit stream (most significant bit first),
// read `revolutions` times from bit 0: a byte ends when its top bit is set,
// leading zero bits are absorbed.  Positions are taken modulo bitCount.
// After the first revolution at most `beyond` more disk bytes are read.
std::vector<cpm_Nibble> cpm_NibblesOfBits(const uint8_t *bits, uint32_t bitCount, int revolutions, size_t beyond = SIZE_MAX);
// The disk bytes of a track of bytes (NIB), each as it lies, read `revolutions` times.
std::vector<cpm_Nibble> cpm_NibblesOfBytes(const uint8_t *bytes, size_t count, int revolutions, size_t beyond = SIZE_MAX);
// Disk bytes past a revolution that hold every field begun before its end
// (an address field, the gap after it, a data field: 421 at most): read
// with `beyond` this, a track's fields are all found whole once, those
// that wrap round its end too, without decoding the track twice.
constexpr size_t cpm_WrapNibbles = 1024;

// One 16-sector sector found on a track.
struct cpm_GcrSector {
    int Volume = 0, Track = 0, Sector = 0;
    uint32_t AddressAt = 0;          // where its address field starts
    bool HasData = false;            // a data field follows the address field
    bool DataGood = false;           // ... whose values and checksum are good
    uint8_t Data[256] = {};
    std::vector<uint32_t> DataAt;    // where each of the 343 data-field values starts
};

struct cpm_GcrTrack {
    std::vector<cpm_GcrSector> Sectors;   // one per address field with a good checksum, in track order
    int BadAddresses = 0;                 // address fields with a bad checksum
    int Thirteen = 0;                     // 13-sector (D5 AA B5) address fields
};
// The fields of a track read over its disk bytes (read twice round, so that
// a field across the end of the track is found whole); a field seen on both
// revolutions at the same place counts once.  Where each data value lies
// (DataAt) is kept only when asked for: rewriting a track needs it, reading
// one does not.
cpm_GcrTrack cpm_DecodeGcrTrack(const std::vector<cpm_Nibble> &nibbles, bool positions);

// 4-and-4: a byte as two disk bytes, and back.
void cpm_Encode44(uint8_t value, uint8_t out[2]);
uint8_t cpm_Decode44(uint8_t first, uint8_t second);
// The six-bit value a 6-and-2 disk byte stands for; -1 for any other byte.
int cpm_Value62(uint8_t diskByte);
// 6-and-2: 256 data bytes as 342 disk bytes and the checksum byte; back to
// the data, false when a disk byte is not in the table or the checksum fails.
void cpm_Encode62(const uint8_t data[256], uint8_t out[343]);
bool cpm_Decode62(const uint8_t in[343], uint8_t data[256]);

// The disk bytes of a standard 16-sector track (volume, track, the 16
// physical sectors of 256 bytes): each is a disk byte (bit 7 set) and, in
// `sync`, marked when it is a self-sync FF of a gap (written as ten bits).
struct cpm_TrackBytes {
    Text Bytes;
    std::vector<bool> Sync;
};
cpm_TrackBytes cpm_StandardTrack(int volume, int track, const uint8_t *sectors, int gap1, int gap2, int gap3);
