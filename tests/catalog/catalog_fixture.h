// Helpers for the catalogue tests: fixed file times, the immutable
// attribute and a child process without root.
#pragma once

#include <ctime>
#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "catalog.h"
#include "files.h"
#include "log_capture.h"
#include "temp_folder.h"
#include "text.h"

namespace cattest {

using Names = std::vector<std::string>;

inline bool SetImmutable(const std::string &file, bool on) {
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC), flags = 0;
    bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) close(fd);
    return ok;
}

// Seconds since 1970 of a local date and time.
inline time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    tm t{};
    t = {second, minute, hour, day, month - 1, year - 1900, 0, 0, -1, 0, nullptr};
    return mktime(&t);
}

// Sets the modification time of the item itself (not a link's target).
inline bool SetModified(const std::string &path, time_t when) {
    timespec times[2] = {{when, 0}, {when, 0}};
    return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Runs the check in a child process that has given up root (if it had it),
// so that permissions apply: 0 the check held, 1 it failed, 2 root could not be left.
inline int AsOrdinaryUser(const std::function<bool()> &check) {
    pid_t child = fork();
    if (child == 0) {
        bool root = geteuid() == 0;
        _exit(root && (setgid(65534) != 0 || setuid(65534) != 0) ? 2 : check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
    return WEXITSTATUS(status);
}

// Empties the catalogue globals, as the browser does before a load.
inline void ResetCatalog() {
    f_CatList.clear();
    f_CatStatus = f_CatCount = 0;
    f_CatPath.clear();
    f_CatFilter.clear();
}

inline Names ListedNames() {
    Names names;
    for (const f_CatItem &item : f_CatList) names.push_back(item.Name);
    return names;
}

}  // namespace cattest
