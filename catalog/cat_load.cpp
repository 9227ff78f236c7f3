// Reading one host folder into the catalogue list, and the name order.
#include "catalog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files.h"
#include "log.h"
#include "text.h"

std::vector<f_CatItem> f_CatList;
int f_CatStatus = f_StatusNone;
int f_CatCount = 0;
std::string f_CatPath;
std::string f_CatFilter;

namespace {

struct SortKey {
    std::u32string Lower;
    std::string Name;
};

// Lower-cased names decide; names that differ only in case (or only in bytes
// that read the same) keep a fixed order by their bytes, whatever order the
// folder listing gave them in.
bool before(const SortKey &a, const SortKey &b) {
    if (a.Lower != b.Lower) return a.Lower < b.Lower;
    return a.Name < b.Name;
}

// Quicksort with the middle element of each range as pivot.  The smaller
// part is sorted first by recursion, the larger by the loop, so the depth
// stays logarithmic on any input.
void quickSort(std::vector<SortKey> &keys, ptrdiff_t lo, ptrdiff_t hi) {
    while (lo < hi) {
        const SortKey pivot = keys[size_t(lo + (hi - lo) / 2)];
        ptrdiff_t i = lo, j = hi;
        while (i <= j) {
            while (before(keys[size_t(i)], pivot)) i++;
            while (before(pivot, keys[size_t(j)])) j--;
            if (i <= j) std::swap(keys[size_t(i++)], keys[size_t(j--)]);
        }
        if (j - lo < hi - i) {
            quickSort(keys, lo, j);
            lo = i;
        } else {
            quickSort(keys, i, hi);
            hi = j;
        }
    }
}

// A folder's identity, to see a folder again through a link while loading.
struct FolderId {
    dev_t Device;
    ino_t Inode;
    bool operator==(const FolderId &) const = default;
};

struct LoadOptions {
    bool Recursive, WithInvisible, WithAliases;
    std::string Filter;
    std::string MountFolder;
};

}  // namespace

void f_SortNames(std::vector<std::string> &names) {
    std::vector<SortKey> keys;
    keys.reserve(names.size());
    for (std::string &name : names) {
        std::u32string lower = t_Decode(name);
        for (char32_t &c : lower) c = char32_t(t_LowerCode(int(c)));
        keys.push_back({std::move(lower), std::move(name)});
    }
    if (!keys.empty()) quickSort(keys, 0, ptrdiff_t(keys.size()) - 1);
    for (size_t i = 0; i < keys.size(); i++) names[i] = std::move(keys[i].Name);
}

// The names in the folder, "." and ".." left out; false when it cannot be listed.
static bool listFolder(const std::string &folder, std::vector<std::string> &names, FolderId &id, int &error) {
    DIR *dir = opendir(folder.c_str());
    if (!dir) {
        error = errno;
        return false;
    }
    struct stat st;
    if (fstat(dirfd(dir), &st) == 0) id = {st.st_dev, st.st_ino};
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir);
        if (!entry) break;
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    error = errno;
    closedir(dir);
    return error == 0;
}

// The folder a link or folder item leads to, when it is one.
static bool folderIdOf(const std::string &path, FolderId &id) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

static void mountFolderItem(const f_CatItem &item) {
    bool added = item.KindNum == f_KindFolder || item.KindNum == f_KindSymLink;
    t_Log("f_CatLoad: Volume „" + item.Name + "“ of type „" + item.FileType + (added ? "“ added to list" : "“ ignored"));
    if (added) f_CatList.push_back(item);
}

static void loadFolder(const std::string &folder, const LoadOptions &options, std::vector<FolderId> &chain) {
    if (t_FileExists(folder) != 2) {
        t_Log("f_CatLoad: Path '" + folder + "' does not exist.");
        f_CatStatus = f_StatusNoFolder;
        return;
    }
    std::vector<std::string> names;
    FolderId self{0, 0};
    int error = 0;
    if (!listFolder(folder, names, self, error)) {
        t_Log("f_CatLoad: Error #" + std::string(std::strerror(error)));
        f_CatStatus = f_StatusListFailed;
        return;
    }
    f_SortNames(names);
    chain.push_back(self);
    bool inMountFolder = folder == options.MountFolder;
    for (const std::string &name : names) {
        std::string full = folder + name;
        if (faccessat(AT_FDCWD, full.c_str(), R_OK, AT_EACCESS) != 0) continue;
        f_CatItem item = f_FileAttributes(full);
        bool folderLike = item.KindNum == f_KindFolder || item.KindNum == f_KindSymLink;
        if (inMountFolder) {
            mountFolderItem(item);
        } else if ((options.WithInvisible || !item.Invisible) && (options.WithAliases || !item.Alias) &&
                   f_TypeMatches(item.FileType, options.Filter)) {
            f_CatList.push_back(std::move(item));
        }
        // Descend only into real folders, and never into one that is being
        // loaded already (a link back up would never end).
        FolderId next;
        if (options.Recursive && folderLike && folderIdOf(full, next) && std::find(chain.begin(), chain.end(), next) == chain.end())
            loadFolder(full + "/", options, chain);
    }
    chain.pop_back();
    f_CatFilter = options.Filter;
    f_CatPath = folder;
    f_CatCount = int(f_CatList.size());
    f_CatStatus = f_StatusLoaded;
}

void f_CatLoad(std::string_view folder, bool recursive, bool withInvisible, bool withAliases,
               std::string_view filter) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    LoadOptions options{recursive, withInvisible, withAliases, std::string(filter),
                        f_StandardFolder(f_Folder::Mount)};
    std::vector<FolderId> chain;
    loadFolder(path, options, chain);
}
