// Opening an image under a lock: a command that changes the image holds an
// exclusive lock from reading it to saving it, so twenty tools run at once
// each see the others' files; a command that only reads holds a shared lock
// while it reads, so it never sees a half-written image.
#include <cerrno>

#include "cli.h"
#include "files.h"
#include "volume.h"

// The exclusive lock of this run; released when the process ends.
static int heldLock = -1;

// The size refusal first: a huge file is neither locked nor read.
static bool refusedAtOnce(const std::string &path) {
    std::string refusal = cpm_ImageFileRefusal(path);
    if (refusal.empty()) return false;
    cli_Err("diskwright-cli: " + path + ": " + refusal);
    return true;
}

bool cli_OpenToChange(const std::string &path, cpm_Volume &volume) {
    if (refusedAtOnce(path)) return false;
    if (heldLock < 0) heldLock = t_LockFile(path, true);   // a missing file is refused by cli_Open
    return cli_Open(path, volume);
}

bool cli_OpenToRead(const std::string &path, cpm_Volume &volume) {
    if (refusedAtOnce(path)) return false;
    int lock = heldLock < 0 ? t_LockFile(path, false) : -1;
    bool opened = cli_Open(path, volume);
    t_UnlockFile(lock);
    return opened;
}
