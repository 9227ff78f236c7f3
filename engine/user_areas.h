// User areas: the area a volume shows, and the areas that hold files.
#pragma once

#include <vector>

#include "volume.h"

// The volume showing user area `user` (0-15): User set, the lists rebuilt.
cpm_Volume cpm_SelectUser(cpm_Volume volume, int user);
// The user areas (0-15) that hold listed files, in ascending order.
std::vector<int> cpm_UsersWithFiles(const cpm_Volume &volume);
