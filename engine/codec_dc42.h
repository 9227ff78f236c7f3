// DiskCopy 4.2 (also inside a MacBinary wrapper): the blocks of a 3.5-inch
// disk as a raw run of bytes, header and tags kept, checksums recomputed.
#pragma once

#include <cstdint>

#include "medium.h"

bool cpm_ClaimsDiskCopy(const Text &file);
std::string cpm_DecodeDiskCopy(Text file, cpm_Medium &medium);
Text cpm_EncodeDiskCopy(const cpm_Medium &medium);
// The DiskCopy checksum: each big-endian 16-bit word added, then the sum rotated right by one.
uint32_t cpm_DiskCopySum(const uint8_t *bytes, size_t count);
