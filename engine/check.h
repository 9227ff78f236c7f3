// The consistency check of a directory: what is wrong with a volume, entry by
// entry, before anyone trusts it.  It reads only.
//
// Healthy disks carry entries that are no files and raise no finding: a
// user-16-31 entry that reserves blocks (the boot tracks of a 140K disk through
// block numbers that wrap round past the data area, or the DOS half of a
// disk that holds both), CP/M 3 labels (user 0x20), date stamps (0x21) and
// password entries (users 16-31 beside a label that turns passwords on).  The order of a file's
// entries in the directory is no finding either: disks store them in any order.
#pragma once

#include <string>
#include <vector>

#include "volume.h"

enum class cpm_FindingKind : uint8_t {
    SharedBlock,      // a block that an earlier entry (or this one) names too
    OutsideBlock,     // a block number at or past the end of the volume
    DirectoryBlock,   // a block of the directory named by a file
    ExtentGap,        // extents of a file before its last one that no entry holds
    ExtentTwice,      // an extent that an earlier entry of the file holds too
    RecordsBeyond,    // a record count past 128, or past the entry's blocks
    RecordsShort,     // blocks of the entry's last logical extent that its record count leaves without records
    ControlName,      // a name with control characters
    UnknownUser,      // a user byte that no kind of entry has
    UnreadableBlock,  // a block that touches a sector the medium lacks or cannot read
};

struct cpm_Finding {
    int Entry = 0;               // the directory entry the finding is about
    cpm_FindingKind Kind = cpm_FindingKind::SharedBlock;
    std::string Message;         // "block 40 also used by #3", ...
    std::vector<int> Blocks;     // the blocks concerned, if any
    int Other = -1;              // the other entry concerned, if any
};

struct cpm_CheckReport {
    int Entries = 0;             // directory entries looked at (present in the image)
    int Files = 0;               // files of users 0-15
    std::vector<cpm_Finding> Findings;   // in entry order
};

// "shared-block", "outside-block", "directory-block", "extent-gap",
// "extent-twice", "records-beyond", "records-short", "control-name",
// "unknown-user".
const char *cpm_FindingName(cpm_FindingKind kind);
cpm_CheckReport cpm_CheckVolume(const cpm_Volume &volume);
