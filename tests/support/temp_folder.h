// Test support: a fresh folder under the system's temporary folder, removed
// with everything in it when the object ends.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

class test_TempFolder {
public:
    std::string Path;   // ends in "/"; empty when no folder could be made

    test_TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dwtest-XXXXXX").string();
        if (mkdtemp(pattern.data())) Path = pattern + "/";
    }
    ~test_TempFolder() {
        std::error_code ignored;
        if (!Path.empty()) std::filesystem::remove_all(Path, ignored);
    }
    test_TempFolder(const test_TempFolder &) = delete;
    test_TempFolder &operator=(const test_TempFolder &) = delete;

    std::string at(const std::string &name) const { return Path + name; }
    // Makes a file of `size` bytes "x" (or with the contents) and gives its path.
    std::string file(const std::string &name, size_t size = 0) const { return write(name, std::string(size, 'x')); }
    std::string write(const std::string &name, const std::string &contents) const {
        std::ofstream(Path + name, std::ios::binary) << contents;
        return Path + name;
    }
    // Makes a folder and gives its path, ending in "/".
    std::string folder(const std::string &name) const {
        mkdir((Path + name).c_str(), 0755);
        return Path + name + "/";
    }
    void link(const std::string &name, const std::string &target) const {
        (void)!symlink(target.c_str(), (Path + name).c_str());
    }
    // The names in a folder of it ("" for itself), hidden ones included.
    std::set<std::string> names(const std::string &sub = "") const {
        std::set<std::string> out;
        for (const auto &e : std::filesystem::directory_iterator(Path + sub)) out.insert(e.path().filename().string());
        return out;
    }
};
