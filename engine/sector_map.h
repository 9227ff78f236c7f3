// The texts of the sector map and the B(locks screen, as lines.
#pragma once

#include <string>
#include <vector>

#include "volume.h"

// Ruler line 1 and 2 of the sector map.
std::vector<std::string> cpm_SectorMapRuler(const cpm_Volume &volume);
// Row r: first block number, 64 cells ("*" used, "." free, " " past the end), size.
std::string cpm_SectorMapRow(const cpm_Volume &volume, int row);
// "96K used, 32K free."
std::string cpm_SectorMapSummary(const cpm_Volume &volume);
// The whole S(ector Map screen: heading, empty line, rulers, rows, empty line, summary.
std::vector<std::string> cpm_SectorMapLines(const cpm_Volume &volume);
// The B(locks screen for a typed name (already in capitals), wrapped at `width`
// columns as the 80-column window wraps it; an empty name gives no lines.
// It lists the entries of the name in the user area and the erased ones.
std::vector<std::string> cpm_BlocksLines(const cpm_Volume &volume, const Text &name, int width = 80,
                                         int user = cpm_ListedUser);

