// Engine-internal: recognising what an image holds by scoring the directory
// of every reading it may be.
#pragma once

#include <string>
#include <vector>

#include "volume.h"

// Directory entries judged good and bad (0xE5 entries are neither).
struct cpm_Score {
    int Good = 0;
    int Bad = 0;
    int Crossed = 0;         // of the bad: well-formed files bad only for a block they share
};

// What a directory is read with: entries present, directory blocks, the
// first block number that is no longer valid, and the block number width.
struct cpm_DirectoryShape {
    int Entries = 0;
    int DirBlocks = 0;
    int BlockLimit = 0;
    bool Wide = false;
};

cpm_Score cpm_ScoreDirectory(const uint8_t *directory, const cpm_DirectoryShape &shape);
// No bad entries, or at least 4 good ones and no more than one bad per 8 good (damage).
bool cpm_Plausible(cpm_Score score);
// Files damaged only by cross-linking: some entries share blocks, and with
// them counted as files the directory is plausible.  Boot code or data read
// as a directory is malformed in other ways and never reads as this.
bool cpm_CrossLinked(cpm_Score score);

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
    bool Inferred = false;   // no definition reads it: the geometry was inferred from a directory found on it
};
// A definition may read a file shorter than its image (as disk tools leave
// them, written only up to the last sector they touched) when its reserved
// area and directory lie inside the file.
bool cpm_ShortImageFits(const cpm_Geometry &g, size_t fileBytes);
// Recognises what the medium's bytes hold.
cpm_Recognition cpm_Recognise(const cpm_Medium &medium, const std::string &path);
