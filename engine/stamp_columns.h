// What the long listing adds on a disk with date stamps or passwords: the
// dates of every file in two columns under one heading line, and the
// protection of a password-protected file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "screen_text.h"

// "  (R protection)", "  (W protection)", "  (D protection)" for entry i's
// file, "" for a file without a password.
std::string cpm_ProtectionNote(const cpm_Volume &volume, int entry);
// "Created" or "Accessed", as the label says the first stamp is.
const char *cpm_FirstStampName(const cpm_Volume &volume);
// On a stamped disk, pads the given lines (line index, the file's entry) to
// one width and appends each file's dates ("YYYY-MM-DD HH:MM", blanks for a
// stamp not set), with the heading line ("Created  Updated" or "Accessed
// Updated", over the first date column) before the first file.
void cpm_AddStampColumns(const cpm_Volume &volume, std::vector<cpm_ListingLine> &lines,
                         const std::vector<std::pair<size_t, int>> &rows);
