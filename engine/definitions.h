// The library of every known disk definition, and the choice of definition
// remembered per file.
#pragma once

#include <string>
#include <vector>

#include "diskdefs.h"
#include "geometry.h"

// The built-in definitions: the formats above, and a few well-known disks.
std::vector<cpm_Definition> cpm_BuiltInDefinitions();
// The library: the built-in definitions, then the system file (when it
// exists), the user's file and the extra file (when given); a later
// definition of a name replaces an earlier one.  "" or the error of a
// user's file, which leaves the library as it was.
// A filter keeps only what one command needs of the system file.
std::string cpm_LoadLibrary(const std::string &systemFile, const std::string &userFile, const std::string &extraFile,
                            const cpm_DiskdefsFilter &systemFilter = {});
// Reads in full what the filter of the last cpm_LoadLibrary passed over (a
// container's sectors need not be its file's size); nothing when nothing was
// passed over.  The definitions are read anew, so no definition found before
// may be held across it.  Only one thread may use a filtered library: the
// program and the commands over collections read all definitions at once.
void cpm_WidenLibrary();
// "~/.config/diskwright/diskdefs" (under XDG_CONFIG_HOME when set).
std::string cpm_UserDiskdefs();
// The definitions every image is recognised against (the built-in ones
// until cpm_LoadLibrary).
const std::vector<cpm_Definition> &cpm_Library();
// The definition of that name, or nullptr.
const cpm_Definition *cpm_FindDefinition(const std::string &name);
// The definitions an image of that many bytes may be read with.
std::vector<const cpm_Definition *> cpm_DefinitionsForSize(size_t imageBytes);

// The choice of definition remembered per image file, in
// ~/.config/diskwright/formats (absolute path, tab, name): "" when none.
std::string cpm_RememberedFormat(const std::string &path);
// Remembers (or with "" forgets) the choice; "" or the host error text.
std::string cpm_RememberFormat(const std::string &path, const std::string &name);
