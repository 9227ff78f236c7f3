// What the program knows of the current volume's image file.
#include "volume_file.h"

#include <sys/stat.h>

#include "files.h"
#include "volume_state.h"

// The file as it was read or last written; Size -1 when unknown.
static t_FileStamp remembered;

cpm_Volume cpm_LoadImageFile(const std::string &path, std::string &refusal) {
    refusal = cpm_ImageFileRefusal(path);
    if (!refusal.empty()) return cpm_EmptyVolume();
    int lock = t_LockFile(path, false);
    cpm_Volume volume = cpm_LoadVolume(path);
    t_FileStamp stamp;
    if (!volume.Path.empty() && t_StampFile(path, stamp)) remembered = stamp;
    else remembered = t_FileStamp();
    t_UnlockFile(lock);
    return volume;
}

void cpm_RememberImageFile() {
    t_FileStamp stamp;
    remembered = t_StampFile(cpm_CurrentVolume.Path, stamp) ? stamp : t_FileStamp();
}

cpm_ImageLock::cpm_ImageLock(const std::string &path) : Fd(t_LockFile(path, true)) {}
cpm_ImageLock::~cpm_ImageLock() { t_UnlockFile(Fd); }

bool cpm_ImageChangedOnDisk() {
    const std::string &path = cpm_CurrentVolume.Path;
    if (t_FileExists(path) != 1) return false;
    if (remembered.Size < 0) return false;   // nothing was known of it
    return !t_FileUnchanged(path, remembered);
}

bool cpm_HostNameTaken(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}
