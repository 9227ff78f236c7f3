#include "mount_image.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "image.h"
#include "in_use.h"

// The file stamped as it is now; a slice is compared by its own hash.
static void stamp(cli_MountImage &image, const cpm_Volume &v) {
    if (v.Slice >= 0 || !t_StampFile(image.File, image.Stamp)) image.Stamp = t_FileStamp();
}

std::string cli_MountHold(cli_MountImage &image, const std::string &name, const std::string &path) {
    image.Name = name;
    image.Path = path;
    if (t_MarkedInUse(path)) return name + " is mounted already.";
    image.Lock = t_LockFile(path, true, t_LockMark::Set);
    if (image.Lock < 0) return name + ": cannot be locked: " + strerror(errno);
    image.File = t_ResolvedPath(path);
    if (!t_StampFile(image.File, image.Stamp)) image.Stamp = t_FileStamp();
    return "";
}

void cli_MountRelease(cli_MountImage &image) {
    t_UnlockFile(image.Lock);
    image.Lock = -1;
}

// The file at the path is the one locked, with the bytes last read or saved.
static bool unchanged(const cli_MountImage &image) {
    struct stat held, now;
    if (fstat(image.Lock, &held) != 0 || stat(image.Path.c_str(), &now) != 0) return false;
    if (held.st_dev != now.st_dev || held.st_ino != now.st_ino) return false;
    return image.Stamp.Size < 0 || t_FileUnchanged(image.File, image.Stamp);
}

// After a save renamed a new file in place: its lock and mark, then the old
// file's let go.  The save hands the new file over held; when it could not
// (no mark on that file system), the new file is locked here.
static void holdNewFile(cli_MountImage &image, int newLock) {
    if (newLock >= 0) {
        t_UnlockFile(image.Lock);
        image.Lock = newLock;
        return;
    }
    struct stat held, now;
    if (fstat(image.Lock, &held) != 0 || stat(image.File.c_str(), &now) != 0) return;
    if (held.st_dev == now.st_dev && held.st_ino == now.st_ino) return;
    int lock = t_LockFile(image.File, true, t_LockMark::Set);
    if (lock < 0) return;
    t_UnlockFile(image.Lock);
    image.Lock = lock;
}

std::string cli_MountSave(cli_MountVolume &m, cli_MountImage &image) {
    if (!m.Changed || m.ReadOnly) return "";
    if (!unchanged(image)) {
        m.ReadOnly = true;
        return image.Name + " was changed by another program: the mount is read-only now; its changes since the "
                            "last save are not saved.";
    }
    std::string given = m.Volume.Path;
    if (m.Volume.Slice < 0) m.Volume.Path = image.File;   // the file locked, not what a link names by now
    cpm_SaveVolumeResult saved = cpm_SaveVolume(std::move(m.Volume), true);
    m.Volume = std::move(saved.Volume);
    m.Volume.Path = given;
    holdNewFile(image, saved.Held);
    if (m.Volume.Changed) return image.Name + ": image could not be saved: " + saved.Message;
    m.Changed = false;
    stamp(image, m.Volume);
    // Files the disk does not stamp show the image's time: the save's.
    struct stat now;
    if (stat(image.File.c_str(), &now) == 0) m.ImageTime = now.st_mtime;
    return saved.Message.empty() ? "" : image.Name + ": " + saved.Message;
}
