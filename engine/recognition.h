// Engine-internal: recognising what an image holds by scoring the directory
// of every reading it may be.
#pragma once

#include <string>
#include <vector>

#include "geometry.h"
#include "medium.h"

// The reading chosen for the sector data of a file.
struct cpm_Recognition {
    cpm_Format Format = cpm_Format::Plain;
    cpm_Order Order = cpm_Order::AsStored;
    bool Cpm = false;        // a plausible CP/M directory was found
    std::string How;         // how it was decided, with every reading's score
    cpm_Geometry Geometry;   // the reading's geometry
    std::string Definition;  // its name
    std::vector<std::string> Unclear;    // the best readings' names when they tie and differ
    std::vector<std::string> Readings;   // every candidate: "NAME: 12 good, 0 bad"
    bool Short = false;      // a definition longer than the file: its missing tail reads as 0xE5
    bool NoRoom = false;     // no reading has its directory inside the file
    bool FromFormatRecord = false;   // read with the geometry the disk's format record states
    bool Inferred = false;   // no definition reads it: the geometry was inferred from a directory found on it
};
// A definition may read a file shorter than its image (as disk tools leave
// them, written only up to the last sector they touched) when its reserved
// area and directory lie inside the file.
bool cpm_ShortImageFits(const cpm_Geometry &g, size_t fileBytes);
// Recognises what the medium's bytes hold.
cpm_Recognition cpm_Recognise(const cpm_Medium &medium, const std::string &path);
// The format that the first bytes of the sector data announce.
cpm_Format cpm_DetectFormat(const Text &fileBytes);
