// Apple 3.5-inch GCR disks (400K, 800K): the 524-byte sectors of the five
// speed zones, read from each track's disk bytes into the disk's blocks.
#pragma once

#include <string>
#include <vector>

#include "apple_gcr.h"

// Sectors a track of the zone holds: 12 on tracks 0-15 down to 8 on 64-79.
int cpm_Gcr35Sectors(int track);

// One sector found on a 3.5-inch track.
struct cpm_Gcr35Sector {
    int Track = 0, Side = 0, Sector = 0, Format = 0;
    bool DataGood = false;
    uint8_t Bytes[524] = {};   // 12 tag bytes, then the 512 data bytes
};
// The sectors of a track's disk bytes whose address and data fields are good.
std::vector<cpm_Gcr35Sector> cpm_DecodeGcr35Track(const std::vector<cpm_Nibble> &nibbles);
// The three-byte groups of 524 bytes as 699 disk-byte values, with the
// running checksum of the sector format; false when the checksum fails.
bool cpm_Decode35Data(const uint8_t *values, size_t count, uint8_t out[524]);
