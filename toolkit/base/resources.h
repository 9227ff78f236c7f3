// Where the program's resources (fonts, the bell sound) are found: beside
// the executable, never through a path of the build machine.
#pragma once

#include <string>

// The resources folder, with a trailing '/': <bin>/../share/diskwright/ when
// installed, <bin>/../resources/ in the build tree; "" when neither exists.
std::string t_ResourceFolder();
// The folder that holds the running executable, with a trailing '/'.
std::string t_ExecutableFolder();
