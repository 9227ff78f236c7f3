// Volume images, format detection, re-sectoring, saving and new volumes.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <unistd.h>

#include "definitions.h"
#include "entries.h"
#include "files.h"
#include "layout.h"
#include "log.h"
#include "recognition.h"
#include "slices.h"

const Text cpm_BlankName("        .   ");
const char *const cpm_NotCpmMessage = "Not a CP/M volume: opened read-only.";
const char *const cpm_TooShortMessage = "too short to be a CP/M volume";
const char *const cpm_UnreadableDirectoryMessage = "Directory not wholly readable: opened read-only.";

bool cpm_BlockUnreadable(const cpm_Volume &volume, int b) {
    return std::binary_search(volume.UnreadableBlocks.begin(), volume.UnreadableBlocks.end(), b);
}

// The blocks the unreadable logical sectors touch; true when one lies in the directory.
static bool markUnreadable(cpm_Volume &v, const cpm_Layout &layout, const std::vector<long long> &sectors) {
    bool directory = false;
    long long dirEnd = v.Geometry.DataStart + (long long)v.Geometry.DirBlocks * v.Geometry.BlockSize;
    for (long long n : sectors) {
        long long start = layout.Offset + n * layout.SectorBytes, end = start + layout.SectorBytes;
        directory = directory || (start < dirEnd && end > v.Geometry.DataStart);
        if (end <= v.Geometry.DataStart || v.Geometry.BlockSize <= 0) continue;
        for (long long b = std::max(0LL, start - v.Geometry.DataStart) / v.Geometry.BlockSize; b <= (end - 1 - v.Geometry.DataStart) / v.Geometry.BlockSize; b++)
            v.UnreadableBlocks.push_back(int(b));
    }
    std::sort(v.UnreadableBlocks.begin(), v.UnreadableBlocks.end());
    v.UnreadableBlocks.erase(std::unique(v.UnreadableBlocks.begin(), v.UnreadableBlocks.end()), v.UnreadableBlocks.end());
    return directory;
}

static std::atomic<bool> diagnostics{true};

void cpm_SetDiagnostics(bool on) { diagnostics = on; }
bool cpm_Diagnostics() { return diagnostics; }

void cpm_Diag(const std::string &line) {
    if (diagnostics) t_Log(line);
}

cpm_Volume cpm_EmptyVolume() {
    cpm_Volume v;
    v.Geometry = cpm_GeometryOf(cpm_Format::Plain);
    v.Definition = "plain";
    v.Medium.Codec = "raw";
    return v;
}

int cpm_BlockCount(const cpm_Volume &volume) {
    if (volume.Geometry.BlockSize <= 0 || volume.VolumeKB <= 0) return 0;
    return int((long long)volume.VolumeKB * 1024 / volume.Geometry.BlockSize);
}

int cpm_PresentEntries(const cpm_Volume &volume) {
    long long room = (long long)volume.Image.size() - volume.Geometry.DataStart;
    if (room < cpm_EntrySize || volume.Geometry.DirEntries <= 0) return 0;
    return int(std::min<long long>(volume.Geometry.DirEntries, room / cpm_EntrySize));
}

// Bytes 0-3 (and 4-7) compared with a signature; missing bytes never match.
static bool startsWith(const Text &bytes, size_t at, const uint8_t (&sig)[4]) {
    if (bytes.size() < at + 4) return false;
    for (size_t k = 0; k < 4; k++)
        if (bytes[at + k] != sig[k]) return false;
    return true;
}

cpm_Format cpm_DetectFormat(const Text &bytes) {
    static const uint8_t sig800[4] = {0x01, 0x8A, 0x4A, 0x4A};
    static const uint8_t sig140[4] = {0x01, 0xA5, 0x27, 0xC9};
    static const uint8_t sig22[4] = {0x09, 0xD0, 0x13, 0x8A};
    if (startsWith(bytes, 0, sig800)) return cpm_Format::Apple800K;
    if (startsWith(bytes, 0, sig140)) return startsWith(bytes, 4, sig22) ? cpm_Format::Apple140K22 : cpm_Format::Apple140K30;
    return cpm_Format::Plain;
}

// The line of the three signed Apple II formats, as it has always been written.
static void logSignedFormat(const cpm_Volume &v, size_t dataBytes) {
    const char *kind = v.Format == cpm_Format::Apple140K22   ? "K CP/M 2.2 Volume found: "
                       : v.Format == cpm_Format::Apple140K30 ? "K CP/M 3.0 Volume found: "
                       : v.Order == cpm_Order::Interleave800 ? "K CP/M 3.0 800K Volume found: "
                                                             : nullptr;
    if (kind) cpm_Diag("cpm_LoadVolume: Apple II " + std::to_string(dataBytes / 1024) + kind + t_PathFileName(v.Path));
}

std::string cpm_UnclearMessage(const std::vector<std::string> &names) {
    std::string list;
    for (size_t i = 0; i < names.size() && i < 3; i++) list += (i ? ", " : "") + names[i];
    if (names.size() > 3) list += "…";
    return "Format unclear (" + list + "): opened read-only.";
}

bool cpm_FormatUnclear(const cpm_Volume &volume) { return volume.RefusalKind == cpm_RefusalKind::Unclear; }

bool cpm_Refused(const cpm_Volume &volume) { return volume.RefusalKind != cpm_RefusalKind::None; }

namespace {
// A refusal as it is given to the volume: its kind and message.
struct Refusal {
    cpm_RefusalKind Kind = cpm_RefusalKind::None;
    std::string Message;
};
}  // namespace

static void refuse(cpm_Volume &v, Refusal refusal) {
    v.RefusalKind = refusal.Kind;
    v.Refusal = std::move(refusal.Message);
}

// The volume of the sector data read as the recognition (or the choice) says.
static cpm_Volume openAs(cpm_Medium medium, const std::string &path, const cpm_Recognition &r, Refusal refusal) {
    cpm_Volume v;
    v.Path = path;
    v.Format = r.Format;
    v.Order = r.Order;
    v.Geometry = r.Geometry;
    v.Geometry.Order = r.Order;
    v.Definition = r.Definition;
    v.Readings = r.Readings;
    const cpm_Geometry &g = v.Geometry;
    v.Decision = r.How;
    // A container that cannot be written back refuses every change.
    refuse(v, !medium.Unsaveable.empty() ? Refusal{cpm_RefusalKind::Container, medium.Unsaveable} : std::move(refusal));
    v.ReadOnly = medium.WriteProtected;
    logSignedFormat(v, medium.Bytes.size());
    // A short image is read whole: its missing tail as 0xE5, as disk tools read it.
    long long whole = cpm_GeometryBytes(g);
    if (r.Short && whole > (long long)medium.Bytes.size() && medium.Codec == "raw") {
        v.ShortFileBytes = (long long)medium.Bytes.size();
        medium.Bytes.Elements.resize(size_t(whole), cpm_ErasedUser);
        v.Decision += " (short image: " + std::to_string(v.ShortFileBytes) + " of " + std::to_string(whole) + " bytes)";
    }
    if (cpm_Diagnostics())
        cpm_Diag("cpm_LoadVolume: " + cpm_ContainerName(medium) + ", " + cpm_SectorOrderOf(v.Order).Name + ", " +
                 (v.Format == cpm_Format::Defined ? v.Definition + ", " : "") + r.How);
    cpm_Layout layout = cpm_LayoutOf(g);
    std::vector<long long> unreadable;
    v.Image = layout.SectorBytes == 0 && medium.Sectors.empty()
                  ? std::move(medium.Bytes)
                  : cpm_Gather(medium, layout, 0, cpm_ImageBytes(medium, layout), &unreadable);
    medium.Bytes = Text();
    if (markUnreadable(v, layout, unreadable)) refuse(v, {cpm_RefusalKind::Unreadable, cpm_UnreadableDirectoryMessage});
    v.Medium = std::move(medium);
    // A file shorter than its reserved tracks has no data area at all.
    v.VolumeKB = cpm_DataKB(g, v.Image.size());
    return cpm_Rebuild(std::move(v));
}

// Why a recognised reading may not be changed: unclear, or not CP/M at all.
static Refusal recognisedRefusal(const cpm_Recognition &r) {
    if (!r.Unclear.empty()) return {cpm_RefusalKind::Unclear, cpm_UnclearMessage(r.Unclear)};
    if (!r.Cpm) return {cpm_RefusalKind::NotCpm, cpm_NotCpmMessage};
    return {};
}

cpm_Volume cpm_OpenImage(Text fileBytes, const std::string &path) {
    return cpm_OpenMedium(cpm_DecodeFile(std::move(fileBytes)), path);
}

cpm_Volume cpm_OpenMedium(cpm_Medium medium, const std::string &path) {
    cpm_Recognition r;
    bool sectors = medium.Unsaveable.empty();   // a nibble image holds none
    if (!sectors) r.How = "nibble image";
    else r = cpm_Recognise(medium, path);
    cpm_Volume v = openAs(std::move(medium), path, r, recognisedRefusal(r));
    if (r.NoRoom && sectors) refuse(v, {cpm_RefusalKind::TooShort, cpm_TooShortMessage});
    return v;
}

// The volume read with a definition the user chose; `how` says how it was chosen.
static cpm_Volume openChosen(Text fileBytes, const std::string &path, const cpm_Definition &chosen, const std::string &how) {
    // A definition that reads exactly like a built-in format is read as that format, with its rules.
    const cpm_Definition *builtIn = chosen.SameAs.empty() ? nullptr : cpm_FindDefinition(chosen.SameAs);
    const cpm_Definition &definition = builtIn ? *builtIn : chosen;
    cpm_Medium medium = cpm_DecodeFile(std::move(fileBytes));
    bool sectors = medium.Unsaveable.empty();
    cpm_Recognition r;
    if (sectors) r = cpm_Recognise(medium, path);   // the scores, for info
    long long bytes = cpm_GeometryBytes(definition.Geometry);
    size_t size = medium.Bytes.size();
    // A file shorter than the definition whose directory lies inside it is
    // a short image of that definition, read and written as one.
    bool shortImage = medium.Codec == "raw" && cpm_ShortImageFits(definition.Geometry, size);
    bool otherSize = bytes > 0 && bytes != (long long)size && !shortImage;
    // A choice remembered for a file whose size has changed since no longer applies.
    if (otherSize && how == "remembered" && sectors) return openAs(std::move(medium), path, r, recognisedRefusal(r));
    r.Geometry = definition.Geometry;
    r.Format = definition.Geometry.Format;
    r.Order = definition.Geometry.Order;
    r.Definition = chosen.Name;
    r.Short = shortImage;
    r.Unclear.clear();
    // An Apple II 140K disk is named by its boot sector, whatever the order.
    if (r.Format == cpm_Format::Apple140K) {
        cpm_Format signed140 = cpm_DetectFormat(medium.Bytes);
        if (signed140 == cpm_Format::Apple140K22 || signed140 == cpm_Format::Apple140K30) r.Format = signed140;
        r.Geometry = cpm_GeometryOf(r.Format);
    }
    std::string scores = r.How.substr(std::min(r.How.find(" ("), r.How.size()));
    r.How = how + ": " + chosen.Name + (builtIn ? " (read as " + builtIn->Name + ")" : "") + scores;
    // A definition of another size would read only part of the image, or
    // past its end: such a reading may be looked at, never written.
    Refusal refusal;
    if (otherSize)
        refusal = {cpm_RefusalKind::OtherSize,
                   chosen.Name + " is for images of " + std::to_string(bytes) + " bytes: opened read-only."};
    return openAs(std::move(medium), path, r, refusal);
}

cpm_Volume cpm_OpenImageAs(Text fileBytes, const std::string &path, const cpm_Definition &definition) {
    return openChosen(std::move(fileBytes), path, definition, "chosen");
}

std::string cpm_ImageFileRefusal(const std::string &path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return "is a folder";
    auto size = std::filesystem::file_size(path, error);
    if (!error && size == 0) return "is empty";
    // A file of slices is read a slice at a time: only one slice is held whole.
    if (!error && (long long)size > cpm_MaxImageBytes && ((long long)size > cpm_MaxSlicedBytes || !cpm_SlicedPath(path)))
        return "Image file too large.";
    return "";
}

cpm_Volume cpm_LoadVolume(const std::string &path, const std::string &format) {
    // A slice named (FILE@N), or a file of several volumes: only one slice is read.
    // A format named, or chosen for the file before, reads the whole file instead.
    bool literal = t_FileExists(path) == 1;
    if ((!literal || (format.empty() && cpm_RememberedFormat(path).empty())) && cpm_ImageFileRefusal(path).empty() &&
        cpm_SlicedPath(path))
        return cpm_LoadSlice(path, format);
    if (t_FileExists(path) != 1 || !cpm_ImageFileRefusal(path).empty()) return cpm_EmptyVolume();
    // Only a regular file is an image: looked at, then opened without
    // waiting and looked at again before any read, so that a pipe, socket or
    // device is never read.  A file that vanished between the test and the
    // read is no volume either.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return cpm_EmptyVolume();
    int fd = -1;
    long long size = 0;
    Text bytes;
    int err = t_OpenRegularFile(path, fd, size);
    if (err == 0) err = t_ReadOpenFile(fd, size, bytes);
    if (err == t_NotRegularFile || (err != 0 && t_FileExists(path) != 1)) return cpm_EmptyVolume();
    if (err != 0) cpm_Diag("gettextfromfile: Error #" + t_ErrorText(err));
    // The user's choice wins over recognition: named now, or remembered for the file.
    std::string chosen = format.empty() ? cpm_RememberedFormat(path) : format;
    const cpm_Definition *definition = chosen.empty() ? nullptr : cpm_FindDefinition(chosen);
    cpm_Volume volume = definition ? openChosen(std::move(bytes), path, *definition, format.empty() ? "remembered" : "chosen")
                                   : cpm_OpenImage(std::move(bytes), path);
    // A file the user may not write (or one on a read-only file system) is
    // opened read-only, so saving says so instead of failing.
    if (access(path.c_str(), W_OK) != 0) volume.ReadOnly = true;
    return volume;
}

// A short image grows only as far as the last sector that holds more than
// the 0xE5 its missing tail reads as: what disk tools leave after writing.
static void trimShortImage(Text &bytes, const cpm_Volume &volume) {
    if (volume.ShortFileBytes <= 0 || (long long)bytes.size() <= volume.ShortFileBytes) return;
    const cpm_Layout layout = cpm_LayoutOf(volume.Geometry);
    const size_t sector = size_t(layout.SectorBytes > 0 ? layout.SectorBytes : cpm_RecordSize);
    const size_t offset = size_t(std::max<long long>(layout.Offset, 0)), keep = size_t(volume.ShortFileBytes);
    size_t end = bytes.size();
    while (end > keep && end > offset) {
        // The start of the sector that holds the byte before `end` (sectors count from the offset).
        size_t from = std::max(keep, offset + (end - 1 - offset) / sector * sector);
        if (!std::all_of(bytes.data() + from, bytes.data() + end, [](uint8_t b) { return b == cpm_ErasedUser; })) break;
        end = from;
    }
    bytes.Elements.resize(std::max(end, keep));
}

Text cpm_FileImage(const cpm_Volume &volume) {
    cpm_Medium medium = volume.Medium;
    cpm_Scatter(medium, cpm_LayoutOf(volume.Geometry), volume.Image);
    trimShortImage(medium.Bytes, volume);
    return cpm_EncodeFile(medium);
}

cpm_SaveVolumeResult cpm_SaveVolume(cpm_Volume volume) {
    if (cpm_Refused(volume)) {
        std::string refusal = volume.Refusal;
        return {std::move(volume), std::move(refusal)};
    }
    if (volume.ReadOnly) return {std::move(volume), "Image file is read-only."};
    // One slice of a file of many: its changed ranges are written in place.
    if (volume.Slice >= 0) return cpm_SaveSlice(std::move(volume));
    // An image stored as it is, without a container, is written without a copy.
    bool asIs = cpm_LayoutOf(volume.Geometry).SectorBytes == 0 && volume.Medium.Codec == "raw" &&
                volume.ShortFileBytes == 0;
    Text file = asIs ? Text() : cpm_FileImage(volume);
    int err = t_WriteFile(volume.Path, asIs ? volume.Image : file, t_WriteImage);
    if (err != 0) cpm_Diag("setbinarytofile: Error #" + t_ErrorText(err));
    // Written, but its folder not flushed: saved all the same, and said.
    if (err != 0 && !t_SavedButNotFlushed(err)) return {std::move(volume), t_ErrorText(err)};
    if (volume.ShortFileBytes > 0)
        volume.ShortFileBytes = (long long)file.size() < (long long)volume.Image.size() ? (long long)file.size() : 0;
    volume.Changed = false;
    return {std::move(volume), err != 0 ? t_ErrorText(err) : ""};
}

std::string cpm_NewVolumeSizeMessage(long long sizeKB) {
    if (sizeKB < cpm_MinNewKB) return "Size too small.";
    if (sizeKB > cpm_MaxNewKB) return "Size too big.";
    if (sizeKB % 2 != 0) return "Size must be even.";
    return "";
}

cpm_Volume cpm_MakeVolume(const std::string &path, int sizeKB) {
    cpm_Volume v = cpm_EmptyVolume();
    v.Image = t_TextFill(0x00, sizeKB * 1024);
    v.Path = path;
    v.VolumeKB = sizeKB;
    return cpm_InitVolume(std::move(v));
}

cpm_NewVolumeResult cpm_NewVolume(const std::string &path, long long sizeKB) {
    std::string refusal = cpm_NewVolumeSizeMessage(sizeKB);
    if (!refusal.empty()) return {cpm_EmptyVolume(), refusal};
    cpm_SaveVolumeResult saved = cpm_SaveVolume(cpm_MakeVolume(path, int(sizeKB)));
    return {std::move(saved.Volume), std::move(saved.Message)};
}
