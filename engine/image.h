// Image files: reading one into a volume (the container decoded, the
// reading recognised or chosen), writing the volume back, and new volumes.
#pragma once

#include <string>
#include <vector>

#include "opening.h"
#include "volume.h"

// Reads and recognises the image file; the empty volume unless path names a
// file that cpm_ImageFileRefusal lets through.  A format named (a definition
// of the library) is used as it is; without one, the choice remembered for
// the file, else recognition.
cpm_Volume cpm_LoadVolume(const std::string &path, const std::string &format = "");
// "" when the file may be read as an image, else why not, in words that
// follow its path: "is a folder", "is empty", "Image file too large.".
std::string cpm_ImageFileRefusal(const std::string &path);

// Writes the image to Path atomically (t_WriteFile); a failed write is
// logged as a diagnostic line.  With hold (a mount's save) a new file put in
// place comes back held (cpm_SaveVolumeResult::Held).
cpm_SaveVolumeResult cpm_SaveVolume(cpm_Volume volume, bool hold = false);

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
