// The texts of the volume manager's read-only screens, as lines: directory
// listings, sector map and blocks, host names of
// transfers and the hexdump.  Pure functions of a
// volume or of file data: no printing, paging, colours or cursor control.
// Strings are host strings (UTF-8) in the toolkit character set: every byte
// of a CP/M name becomes the character with that code (t_TextToString).
// diskwright-cli prints these lines; the manager's screens print them with
// their own display modes and paging.
#pragma once

#include <string>
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

// --- sector map and blocks ---------------------------------------------------

// Ruler line 1 and 2 of the sector map.
std::vector<std::string> cpm_SectorMapRuler(const cpm_Volume &volume);
// Row r: first block number, 64 cells ("*" used, "." free, " " past the end), size.
std::string cpm_SectorMapRow(const cpm_Volume &volume, int row);
// "96K used, 32K free."
std::string cpm_SectorMapSummary(const cpm_Volume &volume);
// The whole S(ector Map screen: heading, empty line, rulers, rows, empty line, summary.
std::vector<std::string> cpm_SectorMapLines(const cpm_Volume &volume);
// The B(locks screen for a typed name (already in capitals), wrapped at `width`
// columns as the 80-column window wraps it; an empty name gives no lines.
// It lists the entries of the name in the user area and the erased ones.
std::vector<std::string> cpm_BlocksLines(const cpm_Volume &volume, const Text &name, int width = 80,
                                         int user = cpm_ListedUser);

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

// --- hexdump and text ------------------------------------------------------------

// "00000000: 48 45 ... 1A  HELLO, WORLD!MJZ", one line per 16 bytes.
std::vector<std::string> cpm_HexdumpLines(const Text &data);
// The file as text: up to the first Control-Z, bit 7 cleared, CR LF (or a
// lone CR or LF) ends a line, tabs kept, other control bytes dropped.
std::vector<std::string> cpm_TypeLines(const Text &data);
