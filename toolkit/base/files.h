// Whole-file reads and writes, the path test used before reading, and the
// locks and stamps that keep two writers of one image from losing changes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text.h"

// -1 for an empty path, 0 when nothing is there, 1 a file, 2 a folder.
int t_FileExists(std::string_view path);
// The whole file; an empty Text (and a log line) when it cannot be read.
Text gettextfromfile(std::string_view path);
Text getbinaryfromfile(std::string_view path);

// Error numbers of our own beside the host's (t_ErrorText knows them).
constexpr int t_NotRegularFile = -2;   // a pipe, device or socket where a file was meant
// Added to an error number: the file was written and is in place, but its
// folder could not be flushed (t_ErrorText says "saved, but the folder could
// not be flushed: ...").
constexpr int t_FolderNotFlushed = 1 << 20;
// The file was written, only its folder not flushed.
constexpr bool t_SavedButNotFlushed(int code) { return code > 0 && (code & t_FolderNotFlushed) != 0; }

// How t_WriteFile treats what is at the path.
enum t_WriteHow : int {
    // An image: symbolic links are followed and the file they name is
    // replaced; a file with several hard links, or in a folder that takes no
    // new file, is written in place (t_WriteInPlace).
    t_WriteImage = 0,
    // A copy made for the user: a symbolic link at the name is replaced, never
    // followed; a pipe, device or socket there is refused.
    t_WriteHostCopy = 1,
    // Added to either: nothing at the name may be replaced (EEXIST).
    t_WriteNoReplace = 2,
};
// Writes the bytes as the whole file.  A temporary file in the same folder
// (a new name with a random part) is written, flushed and renamed over the
// target, and the folder flushed, so a failure leaves the old file as it was
// and nothing half written behind.  With t_WriteNoReplace the rename itself
// refuses an existing name, so of writers that race exactly one creates it.
// A replaced file's owner and group (where the process may set them), mode,
// ACL and extended attributes pass to the new one.  0 or the error number.
int t_WriteFile(std::string_view path, const Text &bytes, int how);
// t_WriteFile of an image a mount holds: the new file is marked in use
// (in_use.h) and locked exclusively before it is renamed into place, so no
// other program finds it unheld for a moment, and `held` is its open
// descriptor, the caller's lock from then on.  `held` is -1 when nothing new
// was put in place (the write failed, or went into the old file in place)
// or the mark could not be set: the caller's old lock is all there is.
int t_WriteFileHeld(std::string_view path, const Text &bytes, int &held);
// t_WriteFile of an image; a failure also logs "setbinarytofile: Error #...". 
int setbinarytofile(std::string_view path, const Text &bytes);
// The description of an error number returned by the writers and readers.
std::string t_ErrorText(int code);
// Flushes a folder's entries (the path ends in "/"; "" is the current
// folder), so that a rename or a removal survives a crash.  0 or the error.
int t_SyncFolder(const std::string &folder);
// A 64-bit hash of the bytes.
uint64_t t_HashBytes(const uint8_t *bytes, size_t size);

// Opens a host file to read it whole: only a regular file (a pipe is never
// waited for).  0 with the open descriptor and the size, else the error
// number (t_NotRegularFile for pipes, devices, sockets and folders).
int t_OpenRegularFile(std::string_view path, int &fd, long long &size);
// What a program knew of an image file when it read it.
struct t_FileStamp {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    long long Size = -1;        // -1: no file was stamped
    long long ModifiedNs = 0;
    uint64_t Hash = 0;          // of all the bytes
};
// Reads the opened file to its end and closes it; 0 or the error number.
// With a stamp, the file's identity and time and the hash of the very bytes
// read go into it (what t_StampFile would give, without a second read).
int t_ReadOpenFile(int fd, long long size, Text &out, t_FileStamp *stamp = nullptr);

// A lock (flock) on the file the path names, through symbolic links: shared
// for readers, exclusive for a writer.  Waits for it; when the file was
// replaced by the writer that held it, the new file is locked instead.  The
// descriptor, or -1 with errno set.
int t_LockFile(std::string_view path, bool exclusive);
// What a lock does about the mark of a mounted image (in_use.h).
enum class t_LockMark : uint8_t {
    None,          // no regard for it
    Yield,         // a lock the mount holds is not waited for: -1 with errno EBUSY
    Set,           // the mount's own: the file is marked before it is locked
};
int t_LockFile(std::string_view path, bool exclusive, t_LockMark mark);
void t_UnlockFile(int fd);

// The file's identity, size, time and hash; false when it cannot be read.
bool t_StampFile(std::string_view path, t_FileStamp &stamp);
// True when the file at the path still holds the bytes stamped, whatever its
// identity, size and time say.
bool t_FileUnchanged(std::string_view path, const t_FileStamp &stamp);

// The file a path names, every link resolved; the path itself when it names none.
std::string t_ResolvedPath(const std::string &path);
