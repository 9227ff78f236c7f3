// The directory lists, display names and name conversion.
#pragma once

#include <vector>

#include "volume.h"

// "        .   ": the template of every display name.
extern const Text cpm_BlankName;

struct cpm_DirectoryLists {
    std::vector<Text> Names;
    std::vector<int> Sizes;
    std::vector<int> Extents;
    std::vector<Text> Attributes;
};
// The lists of the files of one user area (cpm_ListedUser: the volume's User).
cpm_DirectoryLists cpm_LoadDirectory(const cpm_Volume &volume, int user = cpm_ListedUser);
// A host or typed name as the 12-byte display name; "" gives "".
Text cpm_MakeName(const Text &name);
// Upper-cases a name part and drops the characters CP/M names cannot hold.
Text cpm_FilterName(const Text &part);
// The typed text is a CP/M file name as it stands: at most 8 characters
// before one point and 3 after it, none that CP/M names cannot hold (letters
// of either case).  A longer name would be cut to another file's name.
bool cpm_IsCpmName(const Text &typed);
// Entry i's display name: bytes 1-8 as stored, ".", bytes 9-11 without bit 7.
Text cpm_EntryName(const cpm_Volume &volume, int entry);
// The name and the type of a display name, each without its trailing blanks
// ("README  .TXT" gives "README" and "TXT").  Split at the point's place, so
// a point stored inside the name stays in the name; a text that is no
// 12-byte display name is all name.
struct cpm_NameParts {
    Text Name, Type;
};
cpm_NameParts cpm_SplitName(const Text &displayName);

// Rebuilds BlockMap and UsedKB, then the four lists, from Image.
cpm_Volume cpm_Rebuild(cpm_Volume volume);
