// The kinds of image file a volume can be written as: a table of makers,
// each turning a medium whose every sector is explicit (cylinder, head, id,
// size, state) into the bytes of a new file.
#pragma once

#include <string>

#include "volume.h"

struct cpm_Kind {
    const char *Name;            // what --to takes: "raw", "edsk", ...
    const char *Extensions;      // the extensions that stand for it, space-separated ("img", "dsk edsk")
    bool MarksUnreadable;        // the file can say that a sector is missing or unreadable
    Text (*Make)(const cpm_Medium &sectors);   // the file's bytes; empty when the sectors do not fit the kind
};
extern const cpm_Kind cpm_Kinds[];
extern const int cpm_KindCount;

// The kind of that name, or nullptr.
const cpm_Kind *cpm_KindNamed(const std::string &name);
// The kinds whose Extensions list the path's extension (".dsk" is two).
std::vector<const cpm_Kind *> cpm_KindsOfPath(const std::string &path);

// The volume's medium with every sector explicit and its data as the volume
// holds it now: a container's own sectors, or those a raw file's layout
// places (the Apple orders' physical sectors, a definition's tracks and
// sides, 512-byte sectors 16 a track for the formats without sectors).
cpm_Medium cpm_ExplicitSectors(const cpm_Volume &volume);
// The sectors listed in the order of cylinder, head and id.
std::vector<const cpm_Sector *> cpm_SectorsInOrder(const cpm_Medium &sectors);
