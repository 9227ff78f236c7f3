// Scoring a directory: how many of its entries are good and bad, and
// whether that is what a CP/M directory looks like.  Recognition and the
// inferred geometry judge every reading by it.
#pragma once

#include <cstdint>

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
// A file entry of user 0-15 or a user-31 reservation whose fields are possible.
bool cpm_PossibleFile(const uint8_t *entry, const cpm_DirectoryShape &shape);
