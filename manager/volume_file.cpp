// What the program knows of the current volume's image file.
#include "volume_file.h"

#include <cerrno>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "files.h"
#include "image.h"
#include "in_place.h"
#include "slices.h"
#include "volume.h"
#include "volume_state.h"

// The file as it was read or last written; Size -1 when unknown.
static t_FileStamp remembered;
// The file the image path named then, every link resolved.
static std::string rememberedFile;


cpm_Volume cpm_LoadImageFile(const std::string &path, std::string &refusal, const std::string &format) {
    refusal = cpm_ImageFileRefusal(path);
    if (!refusal.empty()) return cpm_EmptyVolume();
    // An in-place save that was interrupted is rolled back first.
    std::string record;
    std::string file = path;   // the file of FILE@N
    int slice = 0;
    cpm_SplitSlicePath(path, file, slice);
    int recovery = t_RecoverInterruptedSave(file, false, record);
    if (recovery != t_NothingToRecover) fprintf(stderr, "%s\n", t_RecoveryNote(path, recovery, record).c_str());
    // A mounted image is read as its mount last saved it, without waiting for the mount's lock.
    int lock = t_LockFile(file, false, t_LockMark::Yield);
    // Stamped before it is read: a change in between is seen at the save.
    // A slice of a file of several keeps the hash of its own bytes instead
    // (checked by its save), and the rest of the file is never read.
    t_FileStamp stamp;
    bool stamped = !cpm_SlicedPath(path) && t_StampFile(path, stamp);
    cpm_Volume volume = cpm_LoadVolume(path, format);
    remembered = stamped && !volume.Path.empty() ? stamp : t_FileStamp();
    rememberedFile = t_ResolvedPath(file);
    t_UnlockFile(lock);
    if (recovery == t_RecoveryPending) volume.ReadOnly = true;
    return volume;
}

void cpm_RememberImageFile() {
    t_FileStamp stamp;
    bool slice = cpm_CurrentVolume.Slice >= 0;   // its save compared the slice's own bytes
    remembered = !slice && t_StampFile(cpm_CurrentVolume.Path, stamp) ? stamp : t_FileStamp();
    rememberedFile = t_ResolvedPath(cpm_CurrentVolume.Path);
}

cpm_ImageLock::cpm_ImageLock(const std::string &path) : Fd(t_LockFile(path, true, t_LockMark::Yield)) {
    Mounted = Fd < 0 && errno == EBUSY;
}
cpm_ImageLock::~cpm_ImageLock() { t_UnlockFile(Fd); }

bool cpm_ImageChangedOnDisk() {
    const std::string &path = cpm_CurrentVolume.Path;
    if (t_FileExists(path) != 1) return false;
    if (remembered.Size < 0) return false;   // nothing was known of it
    // A link that names another file by now, or other bytes, whatever the
    // file's size and time say.
    return t_ResolvedPath(path) != rememberedFile || !t_FileUnchanged(path, remembered);
}

bool cpm_HostNameTaken(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}
