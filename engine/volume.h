// The open volume: one disk image held whole in memory as a plain value
// record, and what every part of the engine asks of it.
//
// Every operation of the engine takes a volume by value and returns the new
// one; nothing prints or exits.  Results are found flags and message
// strings (empty on success).  Diagnostic lines go to standard output
// through t_Log while cpm_SetDiagnostics is on (the default).
//
// Pass the volume with std::move when the old value is not needed any more:
// the image is then never copied.
//
// A refused volume (RefusalKind not None) comes back unchanged from every
// operation that would change or save it, with its Refusal as the message
// where the result has one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "entry.h"
#include "files.h"
#include "geometry.h"
#include "medium.h"
#include "text.h"

constexpr int cpm_ListedUser = -1;         // as a user argument: the volume's own User
constexpr int cpm_UnusedSize = -32767;     // Sizes element of an entry holding no file

// Why a volume may be looked at but never changed or saved.
enum class cpm_RefusalKind : uint8_t {
    None,
    NotCpm,       // no reading found a CP/M directory
    TooShort,     // no reading's directory lies inside the file
    Container,    // the container cannot be written back (a 2IMG of nibbles: no sectors at all)
    Unclear,      // readings that tie and differ: no format chosen
    OtherSize,    // a chosen definition describes images of another size
    Unreadable,   // sectors of the directory cannot be read
    Uninflated,   // a compressed file that could not be inflated: nothing to read
    Inferred,     // no definition fits: read with a geometry inferred from the directory
};

// --- the volume record ----------------------------------------------------------

// The open volume: the image in memory, its geometry and usage, and the lists
// of the directory entries; the fields after Attributes say how the file was
// read (format, sector order, container), so that saving writes it back the
// same way.
struct cpm_Volume {
    Text Image;                        // the whole image, in CP/M logical order
    std::string Path;                  // host path; "" = no volume open
    int VolumeKB = 0;
    int UsedKB = 0;
    bool Changed = false;
    bool ReadOnly = false;
    std::vector<uint8_t> BlockMap;     // per block: 1 used, 0 free
    std::vector<Text> Names;           // per entry: 12-byte display name, or the byte 0xE5
    std::vector<int> Sizes;            // per entry: bytes (main entry), -(1+extent) or cpm_UnusedSize
    std::vector<int> Extents;          // per entry: further entries of the file (main entry)
    std::vector<Text> Attributes;      // per entry: "R", "S", "A" letters
    cpm_Format Format = cpm_Format::Plain;
    cpm_Order Order = cpm_Order::AsStored;   // sector order of the file
    cpm_Medium Medium;                       // the container's medium, without its bytes (they are in Image)
    std::string Decision;                    // how the reading was chosen, for info and the log
    // Why no changing operation may run (every one refuses with Refusal, the
    // message), or None and "".
    cpm_RefusalKind RefusalKind = cpm_RefusalKind::None;
    std::string Refusal;
    cpm_Geometry Geometry;                   // the geometry it is read with
    std::string Definition;                  // the name of that definition ("plain", "ibm-3740", ...)
    std::vector<std::string> Readings;       // every candidate reading: "NAME: 12 good, 0 bad"
    int User = 0;                            // the user area (0-15) whose files the lists describe
    // A short image: the file's length when it is shorter than the image its
    // definition describes (Image then holds the whole image, the missing
    // tail 0xE5); 0 otherwise.  Saving writes no further than needed.
    long long ShortFileBytes = 0;
    // Blocks that touch a sector the medium lacks or cannot read, ascending:
    // never allocated, listed by check, reported by reads.
    std::vector<int> UnreadableBlocks;
    // A line shown under the volume's name beside the refusal: which image
    // of an archive of several was opened.  "" when none.
    std::string Notice;
    // One slice of a file that holds several CP/M volumes (engine/slices.h):
    // its number (-1: the file is one volume), how many the file holds,
    // whether the path named it (FILE@N), where it lies in the file and how
    // many bytes of it the file holds, and the hash of those bytes as read.
    int Slice = -1;
    int SliceCount = 0;
    bool SliceNamed = false;
    long long SliceOffset = 0;
    long long SliceFileBytes = 0;
    uint64_t SliceHash = 0;
    // The file as it was read whole (its identity, time and the hash of the
    // bytes decoded), for the check that it did not change before a save;
    // Size -1 when no file was read whole (a slice, a drive, no file).
    t_FileStamp FileStamp;
};

// What saving a volume gives (image.h, slices.h).
struct cpm_SaveVolumeResult {
    cpm_Volume Volume;       // Changed cleared when the image was written
    // "" saved; the volume's refusal; "Image file is read-only."; or the host
    // error text.  Saved, but with its folder not flushed: Changed cleared and
    // "saved, but the folder could not be flushed: ...".
    std::string Message;
    // A save asked to hold the image: the new file's descriptor, marked in
    // use and locked (t_WriteFileHeld), or -1.
    int Held = -1;
};

// --- diagnostics ------------------------------------------------------------------

// Diagnostic lines on (the program's behaviour) or off (quiet command-line use).
void cpm_SetDiagnostics(bool on);
bool cpm_Diagnostics();

// Writes a diagnostic line when diagnostics are on.
void cpm_Diag(const std::string &line);

// --- what the volume is ------------------------------------------------------------

// The empty volume: no volume open.
cpm_Volume cpm_EmptyVolume();
// "Format unclear (A, B, C…): opened read-only." for the names of the best readings.
std::string cpm_UnclearMessage(const std::vector<std::string> &names);
// The volume shows only the first of readings that tie: no format is chosen.
bool cpm_FormatUnclear(const cpm_Volume &volume);
// The volume may not be changed or saved (RefusalKind is not None).
bool cpm_Refused(const cpm_Volume &volume);
// 16-bit block numbers (8 per entry) from 513 KB on, else 8-bit (16 per
// entry); for a definition, when it has more than 256 blocks.
bool cpm_WideBlocks(const cpm_Volume &volume);
// 16K logical extents one directory entry holds, and the blocks it holds.
int cpm_ExtentsPerEntry(const cpm_Volume &volume);
int cpm_BlocksPerEntry(const cpm_Volume &volume);
// Number of allocation blocks: VolumeKB * 1024 / BlockSize.
int cpm_BlockCount(const cpm_Volume &volume);
// Number of directory entries that lie wholly inside Image (at most DirEntries).
int cpm_PresentEntries(const cpm_Volume &volume);
// True when block b touches a sector that could not be read.
bool cpm_BlockUnreadable(const cpm_Volume &volume, int b);
// The user area a user argument stands for: the volume's User for cpm_ListedUser.
inline int cpm_UserOf(const cpm_Volume &volume, int user) { return user == cpm_ListedUser ? volume.User : user; }
