// Collections of images: the walk over folders and the pool of threads that
// surveys the files it finds (scan, find, diff, dups, index).
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli.h"
#include "work_pool.h"

// A path the walk did not survey, and why: "symbolic link, not followed",
// "not a regular file", "other file system", "folder cannot be read: ...",
// "folder already walked" (a loop through a bind mount), "no such file".
struct cli_Skipped {
    std::string Path;
    std::string Why;
    bool Problem = false;   // worth a line on standard error (an unreadable folder, a missing operand)
};

struct cli_Walk {
    std::vector<std::string> Files;      // the regular files, in path order
    std::vector<cli_Skipped> Skipped;    // in path order
};

// Walks the operands: a file is taken as it is (a symbolic link given as an
// operand is followed), a folder recursively without following symbolic
// links, and without entering other file systems unless crossDevices.
cli_Walk cli_WalkPaths(const std::vector<std::string> &operands, bool crossDevices);

// The files of a file of several slices beyond its first: "card.img@1", ...
std::vector<std::string> cli_SlicePaths(const std::string &file, int slices);

// The number of threads: --jobs N (1 to 256), else the number of cores.
// -1 (and a usage line on standard error) for a bad value.
int cli_JobsOption(const cli_Parsed &line);

int cli_Scan(const cli_Parsed &line);
int cli_Find(const cli_Parsed &line);
int cli_Diff(const cli_Parsed &line);
int cli_Dups(const cli_Parsed &line);
