// Locating the resources folder from the running executable.
#include "resources.h"

#include <climits>
#include <unistd.h>

#include "files.h"

std::string t_ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string path(buf, size_t(n));
    return path.substr(0, path.rfind('/') + 1);
}

std::string t_ResourceFolder() {
    static const std::string folder = [] {
        std::string bin = t_ExecutableFolder();
        for (const char *candidate : {"../share/diskwright/", "../resources/", "resources/"}) {
            std::string path = bin + candidate;
            if (t_FileExists(path) == 2) return path;
        }
        return std::string();
    }();
    return folder;
}
