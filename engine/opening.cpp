// Opening a volume from a decoded medium: recognised (or read as chosen),
// gathered into the logical image, refused where it may not be changed;
// and the file's bytes of a volume, to be written back.
#include "opening.h"

#include <algorithm>

#include "codecs.h"
#include "definitions.h"
#include "directory.h"
#include "inference.h"
#include "layout.h"
#include "recognition.h"
#include "sector_orders.h"
#include "shape.h"

const char *const cpm_NotCpmMessage = "Not a CP/M volume: opened read-only.";
const char *const cpm_TooShortMessage = "too short to be a CP/M volume";
const char *const cpm_UnreadableDirectoryMessage = "Directory not wholly readable: opened read-only.";

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

// The line of the three signed Apple II formats, as it has always been written.
static void logSignedFormat(const cpm_Volume &v, size_t dataBytes) {
    const char *kind = v.Format == cpm_Format::Apple140K22   ? "K CP/M 2.2 Volume found: "
                       : v.Format == cpm_Format::Apple140K30 ? "K CP/M 3.0 Volume found: "
                       : v.Order == cpm_Order::Interleave800 ? "K CP/M 3.0 800K Volume found: "
                                                             : nullptr;
    if (kind) cpm_Diag("cpm_LoadVolume: Apple II " + std::to_string(dataBytes / 1024) + kind + t_PathFileName(v.Path));
}

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
    if (r.FromFormatRecord) medium.Notes.push_back("Geometry: from the format record in the first sector");
    // A container that cannot be written back refuses every change; one
    // whose sectors were read says first what recognition found in them.
    // A compressed file that could not be inflated has nothing to read.
    bool container = !medium.Unsaveable.empty() && (medium.NoSectors || refusal.Kind == cpm_RefusalKind::None);
    cpm_RefusalKind kind = medium.NoSectors && !medium.Compression.empty() ? cpm_RefusalKind::Uninflated : cpm_RefusalKind::Container;
    refuse(v, container ? Refusal{kind, medium.Unsaveable} : std::move(refusal));
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
    // A container's sectors keep their bytes: those the layout does not
    // reach (and unreadable ones) are written back as they were.
    if (medium.Sectors.empty()) medium.Bytes = Text();
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
    if (r.Inferred) return {cpm_RefusalKind::Inferred, cpm_InferredMessage(r.Geometry)};
    return {};
}

cpm_Volume cpm_OpenImage(Text fileBytes, const std::string &path) {
    return cpm_OpenMedium(cpm_DecodeFile(std::move(fileBytes)), path);
}

cpm_Volume cpm_OpenMedium(cpm_Medium medium, const std::string &path) {
    cpm_Recognition r;
    bool sectors = !medium.NoSectors;   // a nibble image it cannot read holds none
    if (!sectors) r.How = !medium.Compression.empty() ? "compressed image not inflated" : medium.Bytes.empty() ? "container not decoded" : "nibble image";
    else r = cpm_Recognise(medium, path);
    cpm_Volume v = openAs(std::move(medium), path, r, recognisedRefusal(r));
    if (r.NoRoom && sectors) refuse(v, {cpm_RefusalKind::TooShort, cpm_TooShortMessage});
    return v;
}

// The volume read with a definition the user chose; `how` says how it was chosen.
cpm_Volume cpm_OpenMediumAs(cpm_Medium medium, const std::string &path, const cpm_Definition &chosen, const std::string &how) {
    // A definition that reads exactly like a built-in format is read as that format, with its rules.
    const cpm_Definition *builtIn = chosen.SameAs.empty() ? nullptr : cpm_FindDefinition(chosen.SameAs);
    const cpm_Definition &definition = builtIn ? *builtIn : chosen;
    bool sectors = !medium.NoSectors;
    cpm_Recognition r;
    if (sectors) r = cpm_Recognise(medium, path);   // the scores, for info
    long long bytes = cpm_GeometryBytes(definition.Geometry);
    size_t size = medium.Bytes.size();
    // A file shorter than the definition whose directory lies inside it is
    // a short image of that definition, read and written as one.
    bool shortImage = medium.Codec == "raw" && cpm_ShortImageFits(definition.Geometry, size);
    // A container's sectors are placed by their ids, whatever the file's length.
    bool otherSize = bytes > 0 && bytes != (long long)size && !shortImage && medium.Sectors.empty();
    // A choice remembered for a file whose size has changed since no longer applies.
    if (otherSize && how == "remembered" && sectors) return openAs(std::move(medium), path, r, recognisedRefusal(r));
    r.Geometry = definition.Geometry;
    // A definition of one side reads a two-sided container's sides in turn.
    cpm_Geometry onShape;
    if (!medium.Sectors.empty() && cpm_GeometryOnShape(definition.Geometry, cpm_ShapeOf(medium), onShape)) r.Geometry = onShape;
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
    // A format sized by its file places no sectors: on a container's sectors it would write nothing.
    if (!medium.Sectors.empty() && definition.Geometry.SectorBytes <= 0)
        refusal = {cpm_RefusalKind::OtherSize, chosen.Name + " does not read " + medium.Codec + " images: opened read-only."};
    return openAs(std::move(medium), path, r, refusal);
}

cpm_Volume cpm_OpenImageAs(Text fileBytes, const std::string &path, const cpm_Definition &definition) {
    return cpm_OpenMediumAs(cpm_DecodeFile(std::move(fileBytes)), path, definition, "chosen");
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
