// What the engine and get benchmarks share.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Runs a program in `folder` with standard output to /dev/null; its exit status.
int bench_RunQuiet(const std::vector<std::string> &args, const std::string &folder);
double bench_Median(std::vector<double> v);
// 110 files of 1 byte to 15 KB in folder/in, the same every run; their
// names ("in/file000.dat", ...).
std::vector<std::string> bench_MakeFiles(const std::filesystem::path &folder);
