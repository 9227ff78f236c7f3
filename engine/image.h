// Image files: reading one into a volume (the container decoded, the
// reading recognised or chosen), writing the volume back, and new volumes.
#pragma once

#include <string>
#include <vector>

#include "definitions.h"
#include "volume.h"

// The messages of the refusals that always read the same.
extern const char *const cpm_NotCpmMessage;     // "Not a CP/M volume: opened read-only."

// Reads and recognises the image file; the empty volume unless path names a
// file that cpm_ImageFileRefusal lets through.  A format named (a definition
// of the library) is used as it is; without one, the choice remembered for
// the file, else recognition.
cpm_Volume cpm_LoadVolume(const std::string &path, const std::string &format = "");
// "" when the file may be read as an image, else why not, in words that
// follow its path: "is a folder", "is empty", "Image file too large.".
std::string cpm_ImageFileRefusal(const std::string &path);
// The refusal of a file too short to hold the directory of any reading.
extern const char *const cpm_TooShortMessage;   // "too short to be a CP/M volume";
// The same from bytes already in memory (the file's bytes, in file order),
// by recognition, or read with the definition given.
cpm_Volume cpm_OpenImage(Text fileBytes, const std::string &path);
// The same from a medium a codec decoded.
cpm_Volume cpm_OpenMedium(cpm_Medium medium, const std::string &path);
extern const char *const cpm_UnreadableDirectoryMessage;   // "Directory not wholly readable: opened read-only."
cpm_Volume cpm_OpenImageAs(Text fileBytes, const std::string &path, const cpm_Definition &definition);

// The bytes to write to the file: Image put back into the file's sector order
// (the inverse of the skew table) inside its container, so that an unchanged
// image saves byte-identical.
Text cpm_FileImage(const cpm_Volume &volume);

struct cpm_SaveVolumeResult {
    cpm_Volume Volume;       // Changed cleared when the image was written
    // "" saved; the volume's refusal; "Image file is read-only."; or the host
    // error text.  Saved, but with its folder not flushed: Changed cleared and
    // "saved, but the folder could not be flushed: ...".
    std::string Message;
};
// Writes the image to Path atomically (t_WriteFile); a failed write is
// logged as a diagnostic line.
cpm_SaveVolumeResult cpm_SaveVolume(cpm_Volume volume);

// "" for a size the N(ew command accepts, else "Size too small.",
// "Size too big." or "Size must be even.".
std::string cpm_NewVolumeSizeMessage(long long sizeKB);
// A new plain volume of sizeKB, initialised, in memory only (Changed set).
cpm_Volume cpm_MakeVolume(const std::string &path, int sizeKB);

struct cpm_NewVolumeResult {
    cpm_Volume Volume;       // the new volume, written and unchanged; empty on a size refusal
    std::string Message;     // "" created; a size message; or the host error text of the write
};
// The N(ew command's work: checks the size, makes and initialises the volume,
// writes it to path at once and clears Changed.
cpm_NewVolumeResult cpm_NewVolume(const std::string &path, long long sizeKB);
