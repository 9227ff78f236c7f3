// Opening a volume from the bytes or the decoded medium of an image file,
// by recognition or with a definition chosen; and the bytes to write back.
#pragma once

#include <string>

#include "diskdefs.h"
#include "medium.h"
#include "volume.h"

// The messages of the refusals that always read the same.
extern const char *const cpm_NotCpmMessage;     // "Not a CP/M volume: opened read-only."
// The refusal of a file too short to hold the directory of any reading.
extern const char *const cpm_TooShortMessage;   // "too short to be a CP/M volume";
extern const char *const cpm_UnreadableDirectoryMessage;   // "Directory not wholly readable: opened read-only."

// The volume of the file's bytes (in file order), by recognition.
cpm_Volume cpm_OpenImage(Text fileBytes, const std::string &path);
// The same from a medium a codec decoded.
cpm_Volume cpm_OpenMedium(cpm_Medium medium, const std::string &path);
// The file's bytes read with the definition given.
cpm_Volume cpm_OpenImageAs(Text fileBytes, const std::string &path, const cpm_Definition &definition);
// A medium read with a definition the user chose; `how` ("chosen",
// "remembered") says how it was chosen.  A remembered one gives way to
// recognition when the file no longer has its size.
cpm_Volume cpm_OpenMediumAs(cpm_Medium medium, const std::string &path, const cpm_Definition &chosen,
                            const std::string &how);

// The bytes to write to the file: Image put back into the file's sector order
// (the inverse of the skew table) inside its container, so that an unchanged
// image saves byte-identical.
Text cpm_FileImage(const cpm_Volume &volume);
