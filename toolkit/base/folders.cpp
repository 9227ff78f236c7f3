// Standard folders: host-supplied paths with home-based defaults.
#include "folders.h"

#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text.h"

namespace {

// The home-relative default of each standard folder, in f_Folder order.
struct FolderRow {
    f_Folder Which;
    const char *Default;
};

constexpr FolderRow folderTable[] = {
    {f_Folder::Home, ""},           {f_Folder::Desktop, "Desktop"},    {f_Folder::Documents, "Documents"},
    {f_Folder::Downloads, "Downloads"}, {f_Folder::Pictures, "Pictures"}, {f_Folder::Music, "Music"},
    {f_Folder::Movies, "Videos"},   {f_Folder::Mount, ""},             {f_Folder::Application, ""},
};
constexpr size_t folderCount = sizeof folderTable / sizeof folderTable[0];
static_assert([] {
    for (size_t i = 0; i < folderCount; i++)
        if (size_t(folderTable[i].Which) != i) return false;
    return true;
}(), "folderTable rows follow f_Folder");

std::mutex foldersLock;
std::string hostFolders[folderCount];   // set by the host; empty means default

}  // namespace

static std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

static bool isFolder(const std::string &path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The user's entry in the password database, or null.
static const passwd *userEntry(passwd &entry, std::string &buffer) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    buffer.assign(size > 0 ? size_t(size) : 16384, '\0');
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0) return nullptr;
    return found;
}

static std::string defaultHome() {
    passwd entry;
    std::string buffer;
    const passwd *user = userEntry(entry, buffer);
    if (user && user->pw_dir && isFolder(user->pw_dir)) return withSlash(user->pw_dir);
    // No password entry (a container with a bare user number): the login's home.
    const char *home = std::getenv("HOME");
    if (home && isFolder(home)) return withSlash(home);
    return "/";
}

static std::string defaultMount() {
    passwd entry;
    std::string buffer;
    const passwd *user = userEntry(entry, buffer);
    if (user && user->pw_name && *user->pw_name) {
        std::string name = user->pw_name;
        for (const char *base : {"/media/", "/run/media/"})
            if (isFolder(base + name)) return base + name + "/";
    }
    return "/mnt/";
}

static std::string defaultApplication() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "/";
    std::string dir = t_PathDirectory(std::string(buf, size_t(n)));
    return dir.empty() ? "/" : dir;
}

static std::string hostFolder(f_Folder which) {
    std::lock_guard<std::mutex> hold(foldersLock);
    return hostFolders[size_t(which)];
}

void f_SetStandardFolder(f_Folder which, std::string_view path) {
    if (size_t(which) >= folderCount) return;
    std::lock_guard<std::mutex> hold(foldersLock);
    hostFolders[size_t(which)] = std::string(path);
}

std::string f_StandardFolder(f_Folder which) {
    if (size_t(which) >= folderCount) return defaultHome();
    std::string set = hostFolder(which);
    if (isFolder(set)) return withSlash(set);
    switch (which) {
    case f_Folder::Home: return defaultHome();
    case f_Folder::Mount: return defaultMount();
    case f_Folder::Application: return defaultApplication();
    default: break;
    }
    std::string home = f_StandardFolder(f_Folder::Home);
    std::string standard = home + folderTable[size_t(which)].Default;
    return isFolder(standard) ? withSlash(standard) : home;
}

std::string f_HomePath() {
    std::string home = f_StandardFolder(f_Folder::Home);
    std::string downloads = f_StandardFolder(f_Folder::Downloads);
    if (downloads == home || downloads == "/") return home;
    return t_PathDirectory(downloads.substr(0, downloads.size() - 1));
}
