// The CPCEMU DSK and Extended DSK containers (Amstrad CPC and PCW, Spectrum
// +3): a disk information block, then one block per track with its own
// sector list.  Read and written natively: the medium's bytes are the
// sectors' data; writing puts them back into a copy of the file, so every
// other byte (creator, gaps, status bytes, unused header bytes) stays.
#pragma once

#include <string>

#include "medium.h"

// Two rows of the codec table, one per signature, sharing the decoder and encoder.
bool cpm_ClaimsExtendedDsk(const Text &file);
bool cpm_ClaimsCpcemuDsk(const Text &file);
std::string cpm_DecodeDsk(Text file, cpm_Medium &medium);
Text cpm_EncodeDsk(const cpm_Medium &medium);
