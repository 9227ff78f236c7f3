// Geometries: the built-in formats and what a disk definition describes:
// where the data area starts, block and directory sizes, the tracks and
// sectors of a definition, and the sizes they give.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "medium.h"

// The kind of disk a volume is read as; names it and picks its geometry.
// Defined: a disk definition of the library (diskdefs format).
enum class cpm_Format : uint8_t { Plain, Apple140K22, Apple140K30, Apple800K, Apple140K, Defined };

// How the sectors of the file are ordered; decides re-sectoring on load and save.
enum class cpm_Order : uint8_t { AsStored, Dos, ProDos, Interleave800, ProDosBlocks };

// The operating system a disk definition names: where it keeps date stamps.
enum class cpm_Os : uint8_t { Cpm22, Cpm3, P2dos, Zsys };

// One geometry: what a disk definition can say, and the rules of the
// built-in formats.  The built-in formats are sized by their file
// (SectorBytes 0); a definition fixes tracks, sectors and their length.
struct cpm_Geometry {
    cpm_Format Format = cpm_Format::Plain;
    std::string Name;        // "Apple II 140K CP/M 2.2", ..., "Plain CP/M volume", or the definition's name
    int DataStart = 0;       // bytes before block 0: the offset and the reserved sectors
    int BlockSize = 2048;
    int DirBlocks = 2;
    int DirEntries = 128;
    int WrapBlocks = 0;      // block numbers past the data area that wrap round onto the
                             // reserved tracks (a boot area reserved by a user-31 entry)
    cpm_Order Order = cpm_Order::AsStored;   // the built-in Apple formats' re-sectoring
    // What a definition says (SectorBytes 0: none).
    int SectorBytes = 0;
    int SectorsPerTrack = 0;
    int Tracks = 0;
    int ReservedSectors = 0;         // boottrk * sectrk, or bootsec
    std::vector<int> SkewTable;      // data tracks: logical sector i lies at physical sector [i]; empty: none
    long long Offset = 0;            // bytes before track 0
    cpm_Os Os = cpm_Os::Cpm22;
    int LogicalExtents = 0;          // 16K extents one entry holds; 0: as many as its slots hold
    int Heads = 1;                   // 2 when the definition says how its sides follow each other
    cpm_Sides Sides = cpm_Sides::Alt;
    std::string LibdskFormat;        // the container format a definition names (libdsk:format), if any
    int FirstId = -1;                // the id of a track's first sector (firstid, or by libdsk:format);
                                     // -1: a container's sectors taken by their ids, lowest first
    // A definition of slices: at most Slices volumes of SliceBytes each, one
    // after another from the start of the image (0: not one).  Taken only
    // by slice discovery, never by recognition of a whole file.
    int Slices = 0;
    long long SliceBytes = 0;
};
// Image files above 1 GiB are refused before anything is read: CP/M volumes
// are a few hundred MB at most, even hard-disk images of many slices.
constexpr long long cpm_MaxImageBytes = 1LL << 30;
// The sizes of the plain volumes the N(ew command makes.
constexpr int cpm_MinNewKB = 64;
constexpr int cpm_MaxNewKB = 2048;

extern const cpm_Geometry cpm_Geometries[5];
const cpm_Geometry &cpm_GeometryOf(cpm_Format format);
// Bytes of the image a definition describes (offset included); 0 for the
// built-in formats, which take the file's size.
long long cpm_GeometryBytes(const cpm_Geometry &g);
// Allocation blocks of a definition's data area; 0 for the built-in formats.
int cpm_DefinedBlocks(const cpm_Geometry &g);
// Data area in KB of an image of imageBytes read with the geometry: the
// file's bytes after DataStart for the built-in formats, the definition's
// whole blocks (those inside the file) for a definition.
int cpm_DataKB(const cpm_Geometry &g, size_t imageBytes);
