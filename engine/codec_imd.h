// The ImageDisk container: a text header ended by 0x1A, then one record
// per track (mode, cylinder, head, sector count, size code, the sector-id
// map and optional cylinder and head maps) and one record per sector.
// Read and written natively: a sector whose data changed is written as a
// normal record (compressed when all its bytes are equal); every other
// byte of the file stays as it was.
#pragma once

#include <string>

#include "medium.h"

bool cpm_ClaimsImd(const Text &file);
std::string cpm_DecodeImd(Text file, cpm_Medium &medium);
Text cpm_EncodeImd(const cpm_Medium &medium);
