// The seam between image containers and the CP/M file system.
//
// A container's codec decodes the file's bytes into a medium: the sectors
// the container records (cylinder, head, sector id, size, state, where
// their bytes lie) and what it must keep to write the file back.  A layout
// (layout.h) maps the sectors to the flat image in CP/M logical order that
// the file system works on; nothing above it sees a container.  The codecs
// are rows of one table (codecs.h).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "text.h"

// The order of a two-sided disk's logical tracks (diskdefs "sides"):
// alternating sides, out on one side and back on the other, or out on both.
enum class cpm_Sides : uint8_t { Alt, OutBack, OutOut };

enum class cpm_SectorState : uint8_t { Good, Missing, DataError, Deleted };

struct cpm_Sector {
    int Cylinder = 0;
    int Head = 0;
    int Id = 0;                  // the sector id the container records
    int Size = 0;                // bytes
    cpm_SectorState State = cpm_SectorState::Good;
    size_t At = 0;               // where its bytes lie in cpm_Medium::Bytes
};

// How a raw run of sector data numbers its sectors: the Apple II orders put
// a track's sectors into the file in an order of their own.
enum class cpm_RawOrder : uint8_t { AsStored, Dos, ProDos };

struct cpm_Medium {
    std::string Codec;                    // the row that decoded it: "raw", "2IMG", ...
    // The sectors the container records.  Empty for a raw run of bytes
    // (a plain image, the data of a 2IMG file): its sectors are the ones
    // the layout numbers, in file order.
    std::vector<cpm_Sector> Sectors;
    Text Bytes;                           // the sector data
    std::vector<Text> Kept;               // what the codec keeps to write the file back
    cpm_RawOrder Order = cpm_RawOrder::AsStored;   // the order the container names, if any
    bool OrderNamed = false;              // the container names an order (2IMG format field)
    bool WriteProtected = false;
    std::string Unsaveable;               // "" or why the file cannot be written back
    bool NoSectors = false;               // holds no sectors this engine reads (nibbles, an archive that failed)
    std::vector<std::string> Notes;       // what info shows about the container
    // A compressed file ("zip", "gzip"; "" none): the images it holds and
    // the one decoded (Codec is then the codec of what was inside).
    std::string Compression;
    std::vector<std::string> Members;
    std::string Member;
};

// Appends the sectors a container file places, in file order: each one's At
// becomes where its data start in Bytes, `append(placed, bytes)` adds its
// data, and a sector the file holds short is filled to its size with 0xE5.
// Room for them all is reserved once.
template <class Placed, class Append>
void cpm_AppendSectors(cpm_Medium &m, const std::vector<Placed> &placed, Append append) {
    size_t total = 0;
    for (const Placed &p : placed) total += size_t(p.Sector.Size);
    m.Bytes.Elements.reserve(m.Bytes.size() + total);
    m.Sectors.reserve(m.Sectors.size() + placed.size());
    for (const Placed &p : placed) {
        cpm_Sector s = p.Sector;
        s.At = m.Bytes.size();
        append(p, m.Bytes.Elements);
        m.Bytes.Elements.resize(s.At + size_t(s.Size), 0xE5);
        m.Sectors.push_back(s);
    }
}

// The container's whole file as the one thing kept beside its sectors (for
// writing back): moved in, never copied (a braced list would copy it).
inline void cpm_KeepFile(cpm_Medium &m, Text file) {
    m.Kept.clear();
    m.Kept.push_back(std::move(file));
}

// A file of a container whose structure does not decode (the codec's name
// in Codec): no sectors, and the reason it is refused ("Extended DSK image
// damaged: ...").  Nothing of it is read or written.  Returns "": the file
// is the container's all the same, never read as raw bytes.
inline std::string cpm_Damaged(cpm_Medium &m, const std::string &error) {
    m.Unsaveable = m.Codec + " image damaged: " + error + ".";
    m.NoSectors = true;
    return "";
}
