// The shape of a container's medium: cylinders, heads, sectors per track,
// sector size and sector ids.  Recognition selects the definitions that
// read a container by it; info describes the medium with it.
#pragma once

#include <string>
#include <vector>

#include "volume.h"

struct cpm_Shape {
    int Cylinders = 0;
    int Heads = 0;
    int SectorsPerTrack = 0;   // the most common number of sector ids on a track
    int SectorBytes = 0;       // the most common sector size
    int FirstId = -1;          // the most common lowest id of a track
};
cpm_Shape cpm_ShapeOf(const cpm_Medium &medium);

// The definition's geometry as it reads a medium of that shape (a
// definition of one side on a two-sided medium takes the sides in turn);
// false when its sectors, sizes, ids or track count do not fit.
bool cpm_GeometryOnShape(const cpm_Geometry &g, const cpm_Shape &shape, cpm_Geometry &out);

// The geometry a PCW or Spectrum +3 disk states in the format record at
// the start of its first sector; false when there is none.
bool cpm_FormatRecord(const cpm_Medium &medium, cpm_Geometry &out);

// What info says of a container's medium: its shape, the tracks that
// differ from it, every sector that could not be read.
std::vector<std::string> cpm_MediumLines(const cpm_Medium &medium);
