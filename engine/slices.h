// Files of many CP/M volumes ("slices"): memory-card and hard-disk images
// that hold volumes one after another, behind a partition table or not.
//
// Discovery reads the partition table and the directory of slice 0 only;
// opening a slice reads that slice's bytes, and saving writes back only the
// ranges of it that changed, in place (t_WriteRanges): the file is used like
// a device, never rewritten whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "volume.h"

// Files of slices may be this large (a full SD card); one slice is still
// held whole in memory and limited by cpm_MaxImageBytes.
constexpr long long cpm_MaxSlicedBytes = 64LL << 30;

// The partition types of the table in a master boot record that hold CP/M.
constexpr int cpm_SlicePartitionType = 0x2E;   // 8 MB hd1k slices, one after another
constexpr int cpm_CpmPartitionTypes[2] = {0x52, 0xDB};   // one CP/M volume each

// One entry of the partition table that is in use.
struct cpm_Partition {
    int Entry = 0;           // 0-3, its place in the table
    int Type = 0;
    long long Offset = 0;    // bytes from the start of the file
    long long Bytes = 0;
};

// One volume of the file.
struct cpm_Slice {
    long long Offset = 0;        // bytes from the start of the file
    long long Bytes = 0;         // its length as its layout describes it
    long long FileBytes = 0;     // of those, the bytes the file holds (less for a short last slice)
    std::string Definition;      // the slice definition, or "" (a CP/M partition: recognised as any image)
    int Partition = -1;          // the table entry it lies in, -1 without a table
};

struct cpm_SliceTable {
    bool Table = false;                      // the file starts with a partition table that names CP/M
    std::vector<cpm_Partition> Partitions;   // its entries in use, in table order
    std::vector<cpm_Slice> Slices;           // in disk order; empty: the file is not one of slices
    std::string Error;                       // the table points past the file's end: never opened
};
// The slices of the file at the path (a regular file; anything else has none).
cpm_SliceTable cpm_FindSlices(const std::string &path);
// The same on an open file of that length.
cpm_SliceTable cpm_FindSlicesIn(int fd, long long fileBytes);

// "card.img@2": the file and slice a path names.  A path that exists as it
// stands is that file (false); "FILE@N" is taken only when the path does
// not exist and FILE does.
bool cpm_SplitSlicePath(const std::string &path, std::string &file, int &slice);
// The path names a slice (FILE@N), or a file of slices.
bool cpm_SlicedPath(const std::string &path);

// What the directory of a slice says.
enum class cpm_SliceState : uint8_t { Files, Empty, Unformatted, NotCpm, Unread };
struct cpm_SliceSummary {
    cpm_SliceState State = cpm_SliceState::Unread;
    std::string Definition;  // what it is read with
    int Files = 0;
    int VolumeKB = 0;
    int UsedKB = 0;
};
// Reads the slice's directory only (a CP/M partition: its whole bytes, recognised).
cpm_SliceSummary cpm_SummariseSlice(int fd, const cpm_Slice &slice);
// "12 files", "1 file", "empty", "unformatted", "not CP/M".
std::string cpm_SliceLabel(const cpm_SliceSummary &summary);

// The volume of slice N of the file (FILE@N), or of slice 0 of a file of
// slices, with the definition named (else the slice's own).  Only that
// slice's bytes are read.
cpm_Volume cpm_LoadSlice(const std::string &path, const std::string &format);
// Writes back the ranges of the slice that changed, in place; refused when
// the slice's bytes in the file changed since they were read.
cpm_SaveVolumeResult cpm_SaveSlice(cpm_Volume volume);
// The volume's name as the user sees it: "card.img@2" for a slice of a file
// of several, else the file's name.
std::string cpm_VolumeName(const cpm_Volume &volume);

// The path that opens the volume again: "card.img@2" for a slice, else Path.
std::string cpm_SlicePathOf(const cpm_Volume &volume);

// A new card image: a partition table with one 0x2E partition from sector
// 2048 and `count` empty hd1k slices in it (hd1k), or `count` empty hd512
// slices from the start (hd512).  Empty bytes for another definition.
Text cpm_NewSlicedImage(const std::string &definition, int count);
