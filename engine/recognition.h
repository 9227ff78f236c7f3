// Engine-internal: recognising what an image holds by scoring the directory
// of every reading it may be.
#pragma once

#include <string>

#include "volume.h"

// Directory entries judged good and bad (0xE5 entries are neither).
struct cpm_Score {
    int Good = 0;
    int Bad = 0;
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

// The reading chosen for the sector data of a file.
struct cpm_Recognition {
    cpm_Format Format = cpm_Format::Plain;
    cpm_Order Order = cpm_Order::AsStored;
    bool Cpm = false;        // a plausible CP/M directory was found
    std::string How;         // how it was decided, with every reading's score
};
cpm_Recognition cpm_Recognise(const Text &data, const cpm_Container &container, const std::string &path);
