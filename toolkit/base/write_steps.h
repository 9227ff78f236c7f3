// The steps of a safe write that t_WriteFile and the host batch share: the
// target checked and a temporary file beside it written, then renamed into
// place.  Internal to this library.
#pragma once

#include <string>

#include "text.h"

// t_WriteTemporary's answer for an image that must be written in place (a
// file of several hard links, or a folder that takes no new file).
constexpr int t_WriteInPlaceWanted = -3;

// The folder part of a path, with its "/" ("" for a bare name).
std::string t_FolderOf(const std::string &path);
// Checks what is at the path as t_WriteFile does for `how` (an image's path
// is resolved through its links and given back), creates the temporary file
// ".NAME.RANDOM.tmp" beside it, passes a replaced file's owner, mode and
// attributes to it and writes the bytes, not yet flushed.  0 with `temp`
// and the open `fd`; otherwise the error number and nothing left behind.
int t_WriteTemporary(std::string &path, const Text &bytes, int how, std::string &temp, int &fd);
// Renames the closed temporary over the target (never over an existing one
// with noReplace); a failure removes the temporary.  0 or the error number.
int t_RenameIntoPlace(const std::string &temp, const std::string &path, bool noReplace);
