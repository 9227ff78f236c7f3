// The image file behind the current volume: what the program read from it,
// so that a save never overwrites changes made on disk since (by the
// command-line tool or another program).
#pragma once

#include <string>

#include "volume.h"

// Loads the image under a shared lock and remembers the file as it was read.
// An interrupted in-place save of it is rolled back first (and said on
// standard error); one that cannot be rolled back opens it read-only.
// The empty volume when it cannot be opened; `refusal` then says why when
// the file was refused before reading ("is empty", "Image file too large.").
// A format named reads it with that definition (cpm_LoadVolume).
cpm_Volume cpm_LoadImageFile(const std::string &path, std::string &refusal, const std::string &format = "");
// Remembers the file at the current volume's path as it is now (after a save
// or a new volume was written).
void cpm_RememberImageFile();

// An exclusive lock on the current volume's file, held while it lives: the
// tool waits for the save, and the comparison and the write see one file.
// A mounted image's lock is not waited for: Mounted says so.
struct cpm_ImageLock {
    int Fd = -1;
    bool Mounted = false;
    explicit cpm_ImageLock(const std::string &path);
    ~cpm_ImageLock();
    cpm_ImageLock(const cpm_ImageLock &) = delete;
    cpm_ImageLock &operator=(const cpm_ImageLock &) = delete;
};
// True when the file holds something else than what was read or last saved
// (its bytes are compared), or the path names another file by now.
// A file that is gone counts as unchanged: saving loses nothing then.
bool cpm_ImageChangedOnDisk();

// Something (a file, a folder, a link, a pipe) is at the host path already.
bool cpm_HostNameTaken(const std::string &path);
