// The walk over a collection's folders: regular files in path order, and
// what was passed over with the reason.  Symbolic links inside folders are
// never followed, so a link loop cannot trap it; a folder is entered once
// (by device and inode), which also ends a loop through a bind mount.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "collection.h"

namespace {

struct Walker {
    bool CrossDevices = false;
    dev_t Device = 0;                               // of the operand being walked
    std::set<std::pair<dev_t, ino_t>> Walked;       // folders entered
    cli_Walk Out;

    void skip(const std::string &path, const std::string &why, bool problem = false) {
        Out.Skipped.push_back({path, why, problem});
    }

    void folder(const std::string &path, const struct stat &st) {
        if (!Walked.insert({st.st_dev, st.st_ino}).second) {
            skip(path, "folder already walked");
            return;
        }
        DIR *dir = opendir(path.c_str());
        if (!dir) {
            skip(path, std::string("folder cannot be read: ") + strerror(errno), true);
            return;
        }
        std::vector<std::string> names;
        errno = 0;
        while (dirent *e = readdir(dir)) {
            if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
            names.emplace_back(e->d_name);
        }
        if (errno != 0) skip(path, std::string("folder not wholly read: ") + strerror(errno), true);
        closedir(dir);
        std::sort(names.begin(), names.end());
        std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
        for (const std::string &name : names) entry(prefix + name);
    }

    void entry(const std::string &path) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            // Gone since the folder was read, or a name that cannot be looked at.
            skip(path, strerror(errno), errno != ENOENT);
            return;
        }
        if (S_ISLNK(st.st_mode)) return skip(path, "symbolic link, not followed");
        if (st.st_dev != Device && !CrossDevices) return skip(path, "other file system");
        if (S_ISDIR(st.st_mode)) return folder(path, st);
        if (!S_ISREG(st.st_mode)) return skip(path, "not a regular file");
        Out.Files.push_back(path);
    }
};

}  // namespace

cli_Walk cli_WalkPaths(const std::vector<std::string> &operands, bool crossDevices) {
    Walker w;
    w.CrossDevices = crossDevices;
    for (const std::string &operand : operands) {
        struct stat st;
        // An operand is followed when it is a link: the user named it.
        if (stat(operand.c_str(), &st) != 0) {
            w.skip(operand, strerror(errno), true);
            continue;
        }
        w.Device = st.st_dev;
        if (S_ISDIR(st.st_mode)) w.folder(operand, st);
        else if (S_ISREG(st.st_mode)) w.Out.Files.push_back(operand);
        else w.skip(operand, "not a regular file");
    }
    // Path order over all operands; a file named twice is surveyed once.
    auto &files = w.Out.Files;
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    std::stable_sort(w.Out.Skipped.begin(), w.Out.Skipped.end(),
                     [](const cli_Skipped &a, const cli_Skipped &b) { return a.Path < b.Path; });
    return w.Out;
}

std::vector<std::string> cli_SlicePaths(const std::string &file, int slices) {
    std::vector<std::string> out;
    for (int k = 1; k < slices; k++) out.push_back(file + "@" + std::to_string(k));
    return out;
}

bool cli_OverCollection(const cli_Command &command) {
    // Each of these reads images of every size, several at once.
    static const char *const names[] = {"scan", "find", "diff", "dups", "index"};
    return std::any_of(std::begin(names), std::end(names), [&](const char *n) { return strcmp(n, command.Name) == 0; });
}
