// The image file behind a mount: its exclusive lock and mark, held while the
// mount runs, and the saves that write the volume back.
#pragma once

#include <string>

#include "files.h"
#include "mount_volume.h"

struct cli_MountImage {
    std::string Name;        // the image as the user named it, for messages
    std::string Path;        // the image file, from the root folder
    std::string File;        // the file locked, every link resolved
    int Lock = -1;           // holds the exclusive lock and the mark
    t_FileStamp Stamp;       // the file as read or last saved (Size -1: a slice keeps its own hash)
};
// Takes the image's exclusive lock and marks it mounted.  "" or the
// refusal: the image is mounted already, or cannot be locked.
std::string cli_MountHold(cli_MountImage &image, const std::string &name, const std::string &path);
// Saves a changed volume through the engine's safe save and takes the lock
// and mark of the file the save put in place.  A file that someone else
// changed since the mount read or saved it is left alone: the mount turns
// read-only.  "" or the line for the mount's log.
std::string cli_MountSave(cli_MountVolume &m, cli_MountImage &image);
void cli_MountRelease(cli_MountImage &image);
