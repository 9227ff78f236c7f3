// Writing a file in place (so that every hard link sees the new bytes, or
// where the folder takes no new file) without ever leaving it half new, half
// old: an undo record holds the old bytes of every range about to change
// until the new ones are on disk, and the next open rolls an interrupted
// write back with it.
#pragma once

#include <string>
#include <vector>

#include "text.h"

// Bytes to write at an offset of a file.
struct t_Range {
    long long Offset = 0;
    Text Bytes;
};

// Writes the ranges into the file the path names and gives it the new length
// (-1 keeps the length).  The space of the ranges is reserved first (a lack
// of space refuses before anything changes), then an undo record with the
// old bytes is written and flushed, the ranges written and flushed, and the
// record removed.  A failure after the record rolls the file back at once.
// 0 or the error number.
int t_WriteRanges(const std::string &path, const std::vector<t_Range> &ranges, long long newLength = -1);
// Makes the file's bytes these, in place: only the pieces that differ from
// what the file holds now are written (t_WriteRanges).
int t_WriteInPlace(const std::string &path, const Text &bytes);

// What t_RecoverInterruptedSave found.
enum t_Recovery : int {
    t_NothingToRecover = 0,
    t_RolledBack = 1,        // the file holds its bytes from before the interrupted write again
    t_RecoveryPending = 2,   // a record is there, but the file could not be locked or written
};
// Rolls back an in-place write of the file that was interrupted, when its
// undo record is there.  `locked`: the caller holds the file's exclusive lock
// (else it is taken here, and released).  `record` is the record's path.
int t_RecoverInterruptedSave(const std::string &path, bool locked, std::string &record);
// The line that tells the user about a recovery: "" for nothing to recover,
// "NAME: an interrupted save was rolled back." or "NAME: an interrupted save
// is pending (undo record FILE); not rolled back.".
std::string t_RecoveryNote(const std::string &name, int recovery, const std::string &record);
