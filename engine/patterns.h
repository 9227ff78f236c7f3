// Wildcards in CP/M names, and the files and entries a typed name or pattern
// stands for.  "*" fills the rest of the name or type part with "?", "?"
// stands for one character; a pattern without a point matches any type, so
// "*" and "*.*" both match every file.
#pragma once

#include <vector>

#include "volume.h"

// The text holds "*" or "?".
bool cpm_IsPattern(const Text &typed);
// The 12-byte pattern of a typed pattern: base, ".", type, "?" where any
// character matches; letters in capitals as names are stored.  "" for "".
Text cpm_MakePattern(const Text &typed);
// The 12-byte display name matches the 12-byte pattern.
bool cpm_NameMatches(const Text &pattern, const Text &displayName);

// One file a name stands for: its display name (bit 7 of the type bytes
// cleared) and every directory entry that holds a part of it, main entry first.
struct cpm_FileMatch {
    Text Name;
    std::vector<int> Entries;
};
// The listed files of the user area (cpm_ListedUser: the volume's User) the
// typed text stands for, in directory order: the file whose stored name it
// names exactly (even when that name holds "*" or "?"), else every file its
// pattern matches, else the file of its typed name.
std::vector<cpm_FileMatch> cpm_MatchFiles(const cpm_Volume &volume, const Text &typed, int user = cpm_ListedUser);
// The same among erased files (user byte 0xE5, name bytes kept): the entries
// that unerasing the file gives back.
std::vector<cpm_FileMatch> cpm_MatchErasedFiles(const cpm_Volume &volume, const Text &typed);

// The block numbers in entry i's allocation slots, empty slots left out.
std::vector<int> cpm_EntryBlocks(const cpm_Volume &volume, int entry);
// The record count of entry i (byte 15), and its extent number EX + 32 * S2.
int cpm_EntryRecords(const cpm_Volume &volume, int entry);
int cpm_EntryExtent(const cpm_Volume &volume, int entry);
// The user byte of entry i; 0xE5 for an entry beyond the image.
uint8_t cpm_EntryUser(const cpm_Volume &volume, int entry);
