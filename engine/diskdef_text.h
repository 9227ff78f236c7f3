// A geometry written as a definition in diskdefs form, to be kept in a
// diskdefs file (firstid is our own keyword).
#pragma once

#include <string>
#include <vector>

#include "volume.h"

std::vector<std::string> cpm_DiskdefLines(const std::string &name, const cpm_Geometry &g);
