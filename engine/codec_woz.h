// WOZ 1 and WOZ 2 (2.1 with flux tracks): the bit streams of a 5.25-inch
// disk's tracks, decoded into its physical sectors and written back in place.
#pragma once

#include <cstdint>

#include "medium.h"

bool cpm_ClaimsWoz(const Text &file);
std::string cpm_DecodeWoz(Text file, cpm_Medium &medium);
// The file with the data fields of the changed sectors re-encoded in place
// and the CRC-32 recomputed; the same bytes when nothing changed.
Text cpm_EncodeWoz(const cpm_Medium &medium);
// A WOZ 2 file of a medium with every sector explicit (cylinder, head 0,
// id = physical sector 0-15, 256 bytes): standard formatting, volume 254.
Text cpm_MakeWoz(const cpm_Medium &sectors);
// The CRC-32 of zip and zlib.
uint32_t cpm_Crc32(const uint8_t *bytes, size_t count);
