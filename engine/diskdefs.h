// Disk definitions in cpmtools' diskdefs format: one definition, and the
// reader of diskdefs text.
#pragma once

#include <string>
#include <vector>

#include "geometry.h"

// One known disk definition: the name -f takes, where it came from.
struct cpm_Definition {
    std::string Name;
    std::string Source;      // "built-in" or the file it was read from
    int Line = 0;            // of its "diskdef" line
    cpm_Geometry Geometry;
    std::string SameAs;      // the built-in format it reads exactly like ("apple2-do"), if any
};

extern const char *const cpm_SystemDiskdefs;    // "/etc/cpmtools/diskdefs"
// Definitions read from diskdefs text.  Strict (the user's own files): the
// first fault stops, Error names the file and line, and no definition is
// returned.  Tolerant (the system file): extra keywords of other tools are
// ignored, a faulty definition is skipped with one line in Skipped.
struct cpm_DiskdefsReading {
    std::vector<cpm_Definition> Definitions;
    std::string Error;
    std::vector<std::string> Skipped;
};
// What to read in full: the definitions that may read an image of Bytes
// bytes (of its size, or larger: a short image) and the one named Name; the
// others are passed over unchecked.  By default all.
struct cpm_DiskdefsFilter {
    bool All = true;
    long long Bytes = 0;
    std::string Name;
};
cpm_DiskdefsReading cpm_ParseDiskdefs(const std::string &text, const std::string &source, bool strict,
                                      const cpm_DiskdefsFilter &filter = {});
