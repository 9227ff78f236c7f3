// File attributes and text files: what the command-line tool changes besides
// whole files.
#pragma once

#include <vector>

#include "volume.h"

// Attribute bits: bit 7 of type bytes 9, 10 and 11 of every entry of a file.
constexpr uint8_t cpm_ReadOnlyBit = 1;    // R, byte 9
constexpr uint8_t cpm_SystemBit = 2;      // S, byte 10
constexpr uint8_t cpm_ArchivedBit = 4;    // A, byte 11
// The bit of an attribute letter (R, S, A in either case), 0 for any other.
uint8_t cpm_AttributeBit(char letter);
// The attribute bits (cpm_ReadOnlyBit, ...) of directory entry i; 0 beyond the image.
uint8_t cpm_EntryAttributes(const cpm_Volume &volume, int entry);

struct cpm_SetAttributesResult {
    cpm_Volume Volume;       // unchanged unless Message is ""
    std::string Message;     // "" or why nothing was changed
};
// Sets the bits of `set` and clears those of `clear` on the given entries
// (the entries of one file, cpm_MatchFiles), then rebuilds the lists.
cpm_SetAttributesResult cpm_SetAttributes(cpm_Volume volume, const std::vector<int> &entries, uint8_t set, uint8_t clear);

// Text between CP/M and the host.  CP/M text ends its lines with CR LF and
// its data with Control-Z (0x1A); host text ends its lines with LF.
struct cpm_TextReading {
    bool PendingCR = false;  // the last chunk ended with a CR whose partner is not known yet
    bool Ended = false;      // Control-Z seen: the rest is padding
};
// The host text of the next chunk of CP/M data: CR LF becomes LF, a lone CR
// stays, everything from the first Control-Z on is left out.  `last` ends
// the data (a CR held back is given out).
Text cpm_HostText(cpm_TextReading &reading, const uint8_t *data, size_t length, bool last);
// CP/M text of host text: LF and a lone CR become CR LF, CR LF stays.  The
// Control-Z padding of the last block is the writer's (cpm_SaveFile).
Text cpm_CpmText(const Text &host);
