// Reading files: the blocks of a file in extent order, names as typed,
// exact sizes.
#pragma once

#include <vector>

#include "volume.h"

struct cpm_FileData {
    Text Data;               // whole blocks, in extent and slot order
    Text Name;               // the 12-byte display name of the request
    bool Found = false;
    long long Size = 0;      // the file's size in bytes (cpm_FileSize)
    std::vector<int> Unreadable;   // its blocks that could not be read (read as 0xE5), in file order
};
// The file of that name in the user area: the blocks of its live entries in
// extent order (EX and S2), whatever order the directory holds them in.
cpm_FileData cpm_LoadFile(const cpm_Volume &volume, const Text &name, int user = cpm_ListedUser);
// The display name of a listed file of the user area that the text names
// exactly, as stored or blank-padded ("readme.txt" for "readme  .txt"),
// before any conversion: names that typing cannot reproduce stay reachable.
// "" when none does.
Text cpm_StoredName(const cpm_Volume &volume, const Text &typed, int user = cpm_ListedUser);
// A typed name as the commands take it: the stored name it names exactly,
// else the text in capitals.
Text cpm_TypedFileName(const cpm_Volume &volume, const Text &typed, int user = cpm_ListedUser);
// The size in bytes of the file that directory entry `entry` belongs to:
// the records its entries count, less the bytes its last record leaves
// unused when the last extent records how many it uses (byte 13, 1-127).
// The lists' Sizes keep whole records.  -1 for an entry beyond the image.
long long cpm_FileSize(const cpm_Volume &volume, int entry);
// The size the directory records for the file of the user area (its main
// entry's Sizes element), or -1 when no listed file has that display name.
long long cpm_RecordedSize(const cpm_Volume &volume, const Text &displayName, int user = cpm_ListedUser);

