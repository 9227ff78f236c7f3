// A mounted image in memory: its files as a folder tree, and the file
// system operations over the engine as plain procedures (0 or -errno), so
// that they run and are tested without FUSE.  Paths are "/", "/NAME" for
// the files of one user area, or "/N" and "/N/NAME" with a folder for each
// user area.
#pragma once

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <set>
#include <string>
#include <vector>

#include "volume.h"

struct cli_MountVolume {
    cpm_Volume Volume;
    bool AllUsers = false;        // the root holds the folders 0 ... 15
    int User = 0;                 // the root's user area otherwise
    std::set<int> MadeUsers;      // user folders made by mkdir (shown while they hold no file)
    bool ReadOnly = false;        // every change refused with EROFS
    bool Changed = false;         // changed since the last save
    long long ImageTime = 0;      // the image file's time (seconds), for files the disk does not stamp
    unsigned Uid = 0, Gid = 0;    // the owner the files are shown with
    // The last file read, kept while nothing changes.
    unsigned Generation = 0;
    unsigned CachedGeneration = ~0u;
    int CachedUser = -1;
    Text CachedName;
    Text CachedData;
};

// The mount of a volume: every user area as a folder when `allUsers`, else
// the files of `user` at the root.  A volume that may not be changed
// (refused, write-protected, a read-only file) or `readOnly` mounts read-only.
cli_MountVolume cli_MountOf(cpm_Volume volume, bool allUsers, int user, bool readOnly);
// Folders for every user area is the default when files lie in more than one.
bool cli_MountAllUsersByDefault(const cpm_Volume &volume);

int cli_MountGetattr(cli_MountVolume &m, const std::string &path, struct stat &st);
// The names in a folder, without "." and "..".
int cli_MountList(cli_MountVolume &m, const std::string &path, std::vector<std::string> &names);
// Opening a file: `write` for writing (EACCES for a read-only file).
int cli_MountOpen(cli_MountVolume &m, const std::string &path, bool write);
// Bytes read (0 at the end), or -errno.
long cli_MountRead(cli_MountVolume &m, const std::string &path, char *buffer, size_t size, long long offset);
// Bytes written, or -errno (ENOSPC when the disk or its directory is full).
long cli_MountWrite(cli_MountVolume &m, const std::string &path, const char *bytes, size_t size, long long offset);
int cli_MountCreate(cli_MountVolume &m, const std::string &path);
int cli_MountTruncate(cli_MountVolume &m, const std::string &path, long long size);
int cli_MountUnlink(cli_MountVolume &m, const std::string &path);
// Renames a file within or between user folders; an existing target is
// replaced unless `noReplace` (EEXIST).
int cli_MountRename(cli_MountVolume &m, const std::string &from, const std::string &to, bool noReplace);
// No write permission left sets the read-only attribute; any clears it.
int cli_MountChmod(cli_MountVolume &m, const std::string &path, unsigned mode);
int cli_MountMkdir(cli_MountVolume &m, const std::string &path);
int cli_MountRmdir(cli_MountVolume &m, const std::string &path);
int cli_MountStatfs(cli_MountVolume &m, struct statvfs &st);
// Extended attributes under "user.cpm.": system, archive, user, extents,
// created, updated (or accessed) of files; label of the root.
int cli_MountListXattr(cli_MountVolume &m, const std::string &path, std::vector<std::string> &names);
int cli_MountGetXattr(cli_MountVolume &m, const std::string &path, const std::string &name, std::string &value);
// Sets user.cpm.system or user.cpm.archive ("1" or "0"), or the root's user.cpm.label.
int cli_MountSetXattr(cli_MountVolume &m, const std::string &path, const std::string &name, const std::string &value);
