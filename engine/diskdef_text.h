// A geometry written as a definition in cpmtools' diskdefs format (with
// our own firstid), as the user keeps it in ~/.config/diskwright/diskdefs.
#pragma once

#include <string>

#include "volume.h"

// The definition's lines, "diskdef NAME" to "end"; "" for a built-in
// format, which has no sectors of its own to describe.
std::string cpm_DiskdefText(const cpm_Geometry &g, const std::string &name);
