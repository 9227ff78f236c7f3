// The texts of the directory listings and the host names of copied files.
// Like sector_map.h and hexdump.h: pure functions of a volume or of file
// data, as lines; no printing, paging, colours or cursor control.
// Strings are host strings (UTF-8) in the toolkit character set: every byte
// of a CP/M name becomes the character with that code (t_TextToString).
// diskwright-cli prints these lines; the manager's screens print them with
// their own display modes and paging.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "volume.h"

// --- directory listings ---------------------------------------------------

// A 12-byte display name as a host string.
std::string cpm_DisplayString(const Text &name);
// "Volume Name: " + cpm_VolumeName (the file name, "card.img@2" for a slice) + " (" + VolumeKB + "K)", and
// ", User 5" after it when the volume shows a user area other than 0.
std::string cpm_VolumeHeading(const cpm_Volume &volume);
// Entry i is listed: Sizes[i] >= 0 and the name does not start with 0xE5.
bool cpm_IsListed(const cpm_Volume &volume, int entry);
// A byte size rounded up to whole blocks, in KB (size 0 shows one block).
long long cpm_SizeK(const cpm_Volume &volume, long long size);
// The whole blocks `bytes` fill, in KB: 0 for an empty file.
long long cpm_BlocksK(const cpm_Volume &volume, long long bytes);
// L line: name (first 12 characters), "  24K  24.320 Bytes  #  5  R/W  (1 Extension)".
std::string cpm_LongEntryText(const cpm_Volume &volume, int entry);
// "12 files, 96K used, 32K free."
std::string cpm_ListingSummary(const cpm_Volume &volume, int files);
// D(irectory shows four files a line and hides system files; L(ong Dir one
// file a line, system files included.  The exact long listing is L's with
// each file's size in bytes (cpm_FileSize) and the blocks that size fills,
// where L shows the whole records the directory counts.
enum cpm_ListingMode : int { cpm_ShortListing = 1, cpm_LongListing = 2, cpm_ExactLongListing = 3 };
// A file name inside a listing line: where it starts and how many characters
// it takes (both counted in characters of Text), and its directory entry.  A
// screen draws the name's own bytes there, control characters made visible.
struct cpm_ListingName {
    int Start = 0;
    int Length = 0;
    int Entry = 0;
};
struct cpm_ListingLine {
    std::string Text;
    std::vector<cpm_ListingName> Names;
};
// The whole listing without paging: heading, empty line, the entries, empty
// line (when files were counted), summary.
std::vector<cpm_ListingLine> cpm_DirectoryListing(const cpm_Volume &volume, cpm_ListingMode mode);
// The texts of those lines.
std::vector<std::string> cpm_DirectoryLines(const cpm_Volume &volume, cpm_ListingMode mode);

// --- date stamps and protection --------------------------------------------

// What the long listing adds on a disk with date stamps or passwords: the
// dates of every file in two columns under one heading line, and the
// protection of a password-protected file.
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

// --- transfers ----------------------------------------------------------------

// Host file name of a CP/M file: the display name without blanks ("README  .   " -> "README.").
// Names from a damaged volume are made safe: "/" and NUL become "_", and a
// name that would be "." or ".." becomes "_" or "__", so a copy never lands
// outside the chosen folder.
std::string cpm_HostName(const Text &displayName);
// The host name made unique among the names already used in one copy: the
// second "A.TXT" becomes "A~1.TXT", the next "A~2.TXT" (before the last
// point).  The name returned is added to `used`.
std::string cpm_UniqueHostName(const std::string &hostName, std::vector<std::string> &used);

