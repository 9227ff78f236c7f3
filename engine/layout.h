// Where the sectors of a geometry lie on a medium: the one mapping from a
// logical sector of the image (CP/M logical order) to its cylinder, head
// and sector id, and the two moves built on it: gather (medium -> logical
// bytes) and scatter (logical bytes -> medium).
#pragma once

#include <cstddef>
#include <vector>

#include "geometry.h"
#include "medium.h"

struct cpm_Layout {
    long long Offset = 0;        // bytes before track 0 (a raw file's header)
    int SectorBytes = 0;         // 0: no sectors; the image is the bytes as they lie
    int SectorsPerTrack = 0;
    int Tracks = 0;              // logical tracks; 0: as many as the medium holds
    int Heads = 1;
    cpm_Sides Sides = cpm_Sides::Alt;
    int FirstId = 0;             // the id of a track's first physical sector
    bool RankedIds = false;      // a container's sectors are taken by their ids, lowest first (FirstId the first's rank)
    std::vector<int> Skew;       // logical sector i of a skewed track is physical sector Skew[i]; empty: none
    int FirstSkewedTrack = 0;    // the reserved tracks before it are not skewed
    cpm_RawOrder RawOrder = cpm_RawOrder::AsStored;   // how a raw file orders a track's physical sectors
};
// The layout of a geometry (its sector order for the built-in formats).
cpm_Layout cpm_LayoutOf(const cpm_Geometry &g);

struct cpm_Place {
    int Cylinder = 0;
    int Head = 0;
    int Id = 0;
};
// The place of logical sector n (counted from track 0, after the offset).
cpm_Place cpm_LogicalPlace(const cpm_Layout &layout, long long n);
// The bytes of the image: a raw medium's own length, else the layout's.
size_t cpm_ImageBytes(const cpm_Medium &medium, const cpm_Layout &layout);
// Where logical byte x of an image of imageBytes lies in a raw file of that
// length: the mapping itself, with no medium behind it.
size_t cpm_RawOffset(const cpm_Layout &layout, size_t imageBytes, size_t x);
// Where logical byte x of the image lies in the medium's bytes; -1 when its
// sector is not on the medium (or cannot be read).
long long cpm_MediumOffset(const cpm_Medium &medium, const cpm_Layout &layout, size_t x);
// Logical bytes from..from+length-1 (cut short at the image's end).  Bytes
// of sectors the medium lacks or cannot read read as 0xE5; with
// `unreadable`, their logical sector numbers are added to it.
Text cpm_Gather(const cpm_Medium &medium, const cpm_Layout &layout, size_t from, size_t length,
                std::vector<long long> *unreadable = nullptr);
// Writes the whole image back into the medium's sectors.
void cpm_Scatter(cpm_Medium &medium, const cpm_Layout &layout, const Text &image);
