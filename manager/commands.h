// The commands of the command loop.  Each works on cpm_CurrentVolume and
// replaces it when it changes the volume.
#pragma once

#include "listing.h"

void cpm_CommandVolume();
void cpm_CommandBlocks();
void cpm_CommandNew();
void cpm_CommandChanges();
void cpm_CommandErase();
void cpm_CommandUnerase();
void cpm_CommandAlphabetize();
void cpm_CommandInit();
void cpm_CommandPrint();
void cpm_CommandHexdump();
void cpm_CommandMacToCpm();
void cpm_CommandCpmToMac();

// D(irectory and L(ong Dir.
void cpm_ListDirectory(cpm_Volume volume, cpm_ListingMode mode);
void cpm_ShowSectorMap(cpm_Volume volume);
void cpm_ShowBlocks(cpm_Volume volume, const Text &name);

// P(rint and H(exdump of one file (the name in capitals).
void cpm_PrintFile(cpm_Volume volume, const Text &name);
void cpm_HexdumpFile(cpm_Volume volume, const Text &name);
