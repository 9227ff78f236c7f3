// The CP/M volume engine: one disk image held whole in
// memory as a plain value record, and the operations on it.
//
// Every operation takes a volume by value and returns the new one; nothing
// prints or exits.  Results are found flags and message strings (empty on
// success).  Diagnostic lines go to standard output through
// t_Log while cpm_SetDiagnostics is on (the default).
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

#include "medium.h"
#include "text.h"

// --- constants ----------------------------------------------------------------

constexpr int cpm_EntrySize = 32;          // bytes of one directory entry
constexpr int cpm_UserAreas = 16;          // user areas 0-15 hold files
constexpr int cpm_ListedUser = -1;         // as a user argument: the volume's own User
constexpr uint8_t cpm_ErasedUser = 0xE5;   // user byte of an erased or never used entry
constexpr int cpm_UnusedSize = -32767;     // Sizes element of an entry holding no file
constexpr int cpm_RecordSize = 128;
constexpr int cpm_ExtentBytes = 16384;     // one logical extent: 128 records
constexpr int cpm_MinNewKB = 64;
constexpr int cpm_MaxNewKB = 2048;

// "        .   ": the template of every display name.
extern const Text cpm_BlankName;

// The kind of disk a volume is read as; names it and picks its geometry.
// Defined: a disk definition of the library (diskdefs format).
enum class cpm_Format : uint8_t { Plain, Apple140K22, Apple140K30, Apple800K, Apple140K, Defined };

// How the sectors of the file are ordered; decides re-sectoring on load and save.
enum class cpm_Order : uint8_t { AsStored, Dos, ProDos, Interleave800, ProDosBlocks };

// The operating system a disk definition names: where it keeps date stamps.
enum class cpm_Os : uint8_t { Cpm22, Cpm3, P2dos, Zsys };

// One geometry: what a disk definition can say, and the rules of the
// built-in formats.  The built-in formats are sized by their file
// (SectorBytes 0); a definition fixes tracks, sectors and their length.
struct cpm_Geometry {
    cpm_Format Format = cpm_Format::Plain;
    std::string Name;        // "Apple II 140K CP/M 2.2", ..., "Plain CP/M volume", or the definition's name
    int DataStart = 0;       // bytes before block 0: the offset and the reserved sectors
    int BlockSize = 2048;
    int DirBlocks = 2;
    int DirEntries = 128;
    int WrapBlocks = 0;      // block numbers past the data area that wrap round onto the
                             // reserved tracks (a boot area reserved by a user-31 entry)
    cpm_Order Order = cpm_Order::AsStored;   // the built-in Apple formats' re-sectoring
    // What a definition says (SectorBytes 0: none).
    int SectorBytes = 0;
    int SectorsPerTrack = 0;
    int Tracks = 0;
    int ReservedSectors = 0;         // boottrk * sectrk, or bootsec
    std::vector<int> SkewTable;      // data tracks: logical sector i lies at physical sector [i]; empty: none
    long long Offset = 0;            // bytes before track 0
    cpm_Os Os = cpm_Os::Cpm22;
    int LogicalExtents = 0;          // 16K extents one entry holds; 0: as many as its slots hold
    int Heads = 1;                   // 2 when the definition says how its sides follow each other
    cpm_Sides Sides = cpm_Sides::Alt;
    std::string LibdskFormat;        // the container format a definition names (libdsk:format), if any
    // A definition of slices: at most Slices volumes of SliceBytes each, one
    // after another from the start of the image (0: not one).  Taken only
    // by slice discovery, never by recognition of a whole file.
    int Slices = 0;
    long long SliceBytes = 0;
};
extern const cpm_Geometry cpm_Geometries[5];
const cpm_Geometry &cpm_GeometryOf(cpm_Format format);
// Bytes of the image a definition describes (offset included); 0 for the
// built-in formats, which take the file's size.
long long cpm_GeometryBytes(const cpm_Geometry &g);
// Allocation blocks of a definition's data area; 0 for the built-in formats.
int cpm_DefinedBlocks(const cpm_Geometry &g);
// Data area in KB of an image of imageBytes read with the geometry: the
// file's bytes after DataStart for the built-in formats, the definition's
// whole blocks (those inside the file) for a definition.
int cpm_DataKB(const cpm_Geometry &g, size_t imageBytes);
// One known disk definition: the name -f takes, where it came from.
struct cpm_Definition {
    std::string Name;
    std::string Source;      // "built-in" or the file it was read from
    int Line = 0;            // of its "diskdef" line
    cpm_Geometry Geometry;
    std::string SameAs;      // the built-in format it reads exactly like ("apple2-do"), if any
};

// One reading of the built-in formats: how a raw file orders each track's
// sectors, and the CP/M skew over them; no skew keeps the file's order.
struct cpm_SectorOrder {
    cpm_Order Order;
    const char *Name;        // "DOS order", "ProDOS order", ...
    cpm_RawOrder Raw;        // the file's order of a track's physical sectors
    int SectorBytes;         // 256, 512; 0: no sectors of its own
    const int *Skew;         // CP/M logical sector i is physical sector Skew[i] (16 a track); nullptr: none
};
extern const cpm_SectorOrder cpm_SectorOrders[5];
const cpm_SectorOrder &cpm_SectorOrderOf(cpm_Order order);

// Why a volume may be looked at but never changed or saved.
enum class cpm_RefusalKind : uint8_t {
    None,
    NotCpm,       // no reading found a CP/M directory
    TooShort,     // no reading's directory lies inside the file
    Container,    // the container cannot be written back (a 2IMG of nibbles: no sectors at all)
    Unclear,      // readings that tie and differ: no format chosen
    OtherSize,    // a chosen definition describes images of another size
    Unreadable,   // sectors of the directory cannot be read
};
// The messages of the refusals that always read the same.
extern const char *const cpm_NotCpmMessage;     // "Not a CP/M volume: opened read-only."
extern const char *const cpm_NibblesMessage;    // "Nibble images are not supported."

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
};

// --- diagnostics ------------------------------------------------------------------

// Diagnostic lines on (the program's behaviour) or off (quiet command-line use).
void cpm_SetDiagnostics(bool on);
bool cpm_Diagnostics();

// --- volume images and format detection ---------------------------------

// The empty volume: no volume open.
cpm_Volume cpm_EmptyVolume();
// Reads and recognises the image file; the empty volume unless path names a
// file that cpm_ImageFileRefusal lets through.  A format named (a definition
// of the library) is used as it is; without one, the choice remembered for
// the file, else recognition.
cpm_Volume cpm_LoadVolume(const std::string &path, const std::string &format = "");
// Image files above 1 GiB are refused before anything is read: CP/M volumes
// are a few hundred MB at most, even hard-disk images of many slices.
constexpr long long cpm_MaxImageBytes = 1LL << 30;
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
// True when block b touches a sector that could not be read.
bool cpm_BlockUnreadable(const cpm_Volume &volume, int b);
cpm_Volume cpm_OpenImageAs(Text fileBytes, const std::string &path, const cpm_Definition &definition);
// "Format unclear (A, B, C…): opened read-only." for the names of the best readings.
std::string cpm_UnclearMessage(const std::vector<std::string> &names);
// The volume shows only the first of readings that tie: no format is chosen.
bool cpm_FormatUnclear(const cpm_Volume &volume);
// The volume may not be changed or saved (RefusalKind is not None).
bool cpm_Refused(const cpm_Volume &volume);
// The format that the first bytes of the sector data announce.
cpm_Format cpm_DetectFormat(const Text &fileBytes);
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
// Rebuilds BlockMap and UsedKB, then the four lists, from Image.
cpm_Volume cpm_Rebuild(cpm_Volume volume);

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

// --- directory and file entries ------------------------------------------

struct cpm_DirectoryLists {
    std::vector<Text> Names;
    std::vector<int> Sizes;
    std::vector<int> Extents;
    std::vector<Text> Attributes;
};
// The lists of the files of one user area (cpm_ListedUser: the volume's User).
cpm_DirectoryLists cpm_LoadDirectory(const cpm_Volume &volume, int user = cpm_ListedUser);
// A host or typed name as the 12-byte display name; "" gives "".
Text cpm_MakeName(const Text &name);
// Upper-cases a name part and drops the characters CP/M names cannot hold.
Text cpm_FilterName(const Text &part);
// The typed text is a CP/M file name as it stands: at most 8 characters
// before one point and 3 after it, none that CP/M names cannot hold (letters
// of either case).  A longer name would be cut to another file's name.
bool cpm_IsCpmName(const Text &typed);
// Entry i's display name: bytes 1-8 as stored, ".", bytes 9-11 without bit 7.
Text cpm_EntryName(const cpm_Volume &volume, int entry);

// --- block allocation and sector map --------------------------------------

struct cpm_SectorMap {
    int UsedKB = 0;
    std::vector<uint8_t> BlockMap;
};
cpm_SectorMap cpm_LoadSectorMap(const cpm_Volume &volume);

// --- reading files ----------------------------------------------------------

struct cpm_FileData {
    Text Data;               // whole blocks, in extent and slot order
    Text Name;               // the 12-byte display name of the request
    bool Found = false;
    long long Size = 0;      // the file's size in bytes (cpm_FileSize)
    std::vector<int> Unreadable;   // its blocks that could not be read (read as 0xE5), in file order
};
// The file of that name in the user area: the blocks of its live entries in
// extent order (EX and S2), whatever order the directory holds them in.
cpm_FileData cpm_LoadFile(const cpm_Volume &volume, const Text &name, int user = cpm_ListedUser);
// The display name of a listed file of the user area that the text names
// exactly, as stored or blank-padded ("readme.txt" for "readme  .txt"),
// before any conversion: names that typing cannot reproduce stay reachable.
// "" when none does.
Text cpm_StoredName(const cpm_Volume &volume, const Text &typed, int user = cpm_ListedUser);
// A typed name as the commands take it: the stored name it names exactly,
// else the text in capitals.
Text cpm_TypedFileName(const cpm_Volume &volume, const Text &typed, int user = cpm_ListedUser);
// The size in bytes of the file that directory entry `entry` belongs to:
// the records its entries count, less the bytes its last record leaves
// unused when the last extent records how many it uses (byte 13, 1-127).
// The lists' Sizes keep whole records.  -1 for an entry beyond the image.
long long cpm_FileSize(const cpm_Volume &volume, int entry);
// The size the directory records for the file of the user area (its main
// entry's Sizes element), or -1 when no listed file has that display name.
long long cpm_RecordedSize(const cpm_Volume &volume, const Text &displayName, int user = cpm_ListedUser);

// --- writing files -----------------------------------------------------------

struct cpm_SaveFileResult {
    cpm_Volume Volume;       // unchanged unless Message is ""
    Text Name;               // the 12-byte display name
    std::string Message;     // "", "File exists.", "Directory full.", "Not enough free space on volume." or the refusal
};
// Stores the data as a new file of the user area.  The name is refused when
// an entry of that user area, an erased entry, or a password entry of that
// user area carries it; files of other user areas may have the same name.
cpm_SaveFileResult cpm_SaveFile(cpm_Volume volume, const Text &name, const Text &data, int user = cpm_ListedUser);
// The name (converted as cpm_SaveFile converts it) is refused only because
// erased entries carry it: neither a file of the user area nor its
// password entry does.
bool cpm_NameOnlyErased(const cpm_Volume &volume, const Text &name, int user = cpm_ListedUser);
// The volume with the name free for a new file of the user area: its file
// of that name and every erased entry of the name made unused (0xE5
// throughout, as sorting leaves erased entries), so that nothing of them
// can be unerased into or beside the new file.  Unchanged when nothing
// carries the name.
cpm_Volume cpm_FreeName(cpm_Volume volume, const Text &name, int user = cpm_ListedUser);
// "File exists.": the refusal of a name that an entry carries.
extern const char *const cpm_FileExistsMessage;
// Refused names: no name characters left after conversion ("*.*").
extern const char *const cpm_InvalidNameMessage;   // "not a valid CP/M name."
// What cpm_SaveFile would answer for data of that length, without the data:
// "" or its message.  Lets a caller refuse a host file before reading it.
std::string cpm_SaveFileRefusal(const cpm_Volume &volume, const Text &name, long long length,
                                int user = cpm_ListedUser);

// --- volume maintenance ----------------------------------------------------------

struct cpm_SetUserResult {
    cpm_Volume Volume;       // unchanged unless Found and Message is ""
    Text Name;               // for the message: display form, or Names[n] for "#n"
    bool Found = false;
    std::string Message;     // "" or why a found file was not changed (unerase onto used blocks), or the refusal
};
// Erases (value 0xE5) the entries of the named file of the user area, or
// unerases (value = a user number 0-15) the erased entries of that name into
// user area `value`; "#n" names directory entry n, which must be erased or
// belong to that user area.  Entries of other user areas, users 16-31,
// labels and date stamps are never touched.  Unerasing beside a live file
// of the same name is refused ("File exists.").
cpm_SetUserResult cpm_SetFileUser(cpm_Volume volume, const Text &name, uint8_t value, int user = cpm_ListedUser);
// Sorts the whole directory by the names and sizes of user area 0's lists,
// whatever user area the volume shows.
cpm_Volume cpm_Alphabetize(cpm_Volume volume, bool byNames, bool ascending);

// --- user areas ------------------------------------------------------------------

// The volume showing user area `user` (0-15): User set, the lists rebuilt.
cpm_Volume cpm_SelectUser(cpm_Volume volume, int user);
// The user areas (0-15) that hold listed files, in ascending order.
std::vector<int> cpm_UsersWithFiles(const cpm_Volume &volume);
// The user area a user argument stands for: the volume's User for cpm_ListedUser.
inline int cpm_UserOf(const cpm_Volume &volume, int user) { return user == cpm_ListedUser ? volume.User : user; }
cpm_Volume cpm_InitVolume(cpm_Volume volume);
