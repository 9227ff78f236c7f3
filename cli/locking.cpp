// Opening an image under a lock: a command that changes the image holds an
// exclusive lock from reading it to saving it, so twenty tools run at once
// each see the others' files; a command that only reads holds a shared lock
// while it reads, so it never sees a half-written image.  The file locked is
// the one saved: its path is resolved once, and a save is refused when the
// path names another file by then, or when the file's bytes changed since
// they were read (a writer that takes no lock).
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "cli.h"
#include "files.h"
#include "image.h"
#include "in_place.h"
#include "slices.h"
#include "volume.h"

// The exclusive lock of this run; released when the process ends.
static int heldLock = -1;
// The file the image path named when it was locked, and its bytes as read.
static std::string heldFile;
static t_FileStamp heldStamp;

// The size refusal first: a huge file is neither locked nor read.
static bool refusedAtOnce(const std::string &path) {
    std::string refusal = cpm_ImageFileRefusal(path);
    if (refusal.empty()) return false;
    cli_Err("diskwright-cli: " + path + ": " + refusal);
    return true;
}

// Rolls back an interrupted save of the image, and says so; true when one is
// still pending (the image is then opened read-only).
static bool recover(const std::string &path) {
    std::string record;
    int recovery = t_RecoverInterruptedSave(path, heldLock >= 0, record);
    if (recovery != t_NothingToRecover) cli_Err(t_RecoveryNote(path, recovery, record));
    return recovery == t_RecoveryPending;
}


bool cli_OpenToChange(const cli_Parsed &line, const std::string &image, cpm_Volume &volume) {
    // The file of IMAGE@N is locked and saved; the slice is read from it.
    std::string path = cli_SliceFile(cli_SlicePath(line, image));
    if (refusedAtOnce(path)) return false;
    // A mounted image changes only through its mount: refused at once, never waited for.
    // A missing file is refused by cli_Open.
    if (heldLock < 0) heldLock = t_LockFile(path, true, t_LockMark::Yield);
    if (heldLock < 0 && errno == EBUSY) {
        cli_Err("diskwright-cli: " + image + " is mounted: not changed.");
        return false;
    }
    bool pending = recover(path);
    if (heldLock >= 0) heldFile = t_ResolvedPath(path);
    bool opened = cli_Open(line, image, volume);
    // The stamp of the very bytes read (hashed as they were read, under the
    // lock): a save is refused when the file holds other bytes by then,
    // whatever its identity and time say.  A slice keeps the hash of its own
    // bytes instead, and the rest of the file is never read.
    bool whole = heldLock >= 0 && !cpm_SlicedPath(heldFile) && volume.FileStamp.Size >= 0;
    heldStamp = whole ? volume.FileStamp : t_FileStamp();
    if (pending) volume.ReadOnly = true;
    return opened;
}

bool cli_OpenToRead(const cli_Parsed &line, const std::string &image, cpm_Volume &volume) {
    std::string path = cli_SliceFile(cli_SlicePath(line, image));
    if (refusedAtOnce(path)) return false;
    bool pending = recover(path);
    // A mounted image is read as its mount last saved it: the mount's saves
    // replace the file whole, so no reader waits for the lock it holds.
    int lock = heldLock < 0 ? t_LockFile(path, false, t_LockMark::Yield) : -1;
    bool opened = cli_Open(line, image, volume);
    t_UnlockFile(lock);
    if (pending) volume.ReadOnly = true;
    return opened;
}

std::string cli_HeldImageRefusal(const std::string &path, std::string &file) {
    file = path;
    if (heldLock < 0) return "";
    struct stat held, now;
    if (fstat(heldLock, &held) != 0 || stat(path.c_str(), &now) != 0 || held.st_dev != now.st_dev ||
        held.st_ino != now.st_ino)
        return path + " changed during the save: not saved.";
    if (heldStamp.Size >= 0 && !t_FileUnchanged(heldFile, heldStamp)) return path + ": Image changed on disk: not saved.";
    file = heldFile;
    return "";
}
