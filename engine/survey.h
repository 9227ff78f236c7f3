// One host file as a collection sees it: whether it is an image, how it
// reads, how healthy it is, and its files with their hashes.  Reads only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text.h"

// One file of an image.
struct cpm_SurveyFile {
    int User = 0;
    std::string Name;          // "NAME.EXT" as ls shows it (no trailing point for an empty type)
    Text DisplayName;          // the 12-byte name as the directory lists give it ("WS      .COM"), for patterns
    uint64_t Size = 0;         // exact byte count where the disk records one, else records x 128
    std::string Attributes;    // the set ones of "RSA" (R/O, SYS, archived), e.g. "RS"
    std::string Created, Updated, Accessed;   // "2026-12-08 07:50" where the disk stamps, else ""
    std::string Hash;          // lowercase hex of a hash of the file's bytes (same hash for same bytes across images)
    Text Bytes;                // the file's bytes, only when cpm_SurveyOptions::WithBytes
};

// One host file.
struct cpm_Survey {
    std::string Path;
    bool IsImage = false;      // false: not an image (counted, not listed); the fields after ModifiedNs empty
    std::string NotImage;      // why it is no image: "not a regular file", "empty", "no reading of its size", ...
    uint64_t FileSize = 0;     // the host file's size
    int64_t ModifiedNs = 0;    // the host file's modification time, ns since the epoch
    std::string ImageHash;     // lowercase hex of a hash of the whole host file
    std::string Container;     // "raw", "Extended DSK", "WOZ", "ImageDisk", "zip", ...
    std::string Definition;    // the definition read with ("" when none)
    std::string Health;        // "ok", "damaged: 3 findings", "not CP/M", "unclear: A, B", "unreadable: reason"
    int FileCount = 0;
    long UsedKB = 0, FreeKB = 0;
    std::vector<cpm_SurveyFile> Files;   // every file of users 0-15, in user then name order
    // A file of several CP/M volumes: how many it holds.  Its path alone
    // describes slice 0 (ImageHash then of that slice's bytes); "FILE@N"
    // describes slice N.
    int Slices = 0;
};

struct cpm_SurveyOptions {
    bool WithBytes = false;
    // The image's hash and each file's (false: both left "", and no file's
    // bytes read unless WithBytes; a listing that shows neither saves that).
    bool Hashes = true;
};

// Reads one host file (never writes; a FIFO, device or unreadable file is
// "unreadable: reason" or not an image, never a hang).  Safe to call from
// several threads at once once the library of definitions is loaded.
cpm_Survey cpm_SurveyImage(const std::string &path, const cpm_SurveyOptions &options = {});
