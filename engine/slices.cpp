// Slice discovery, reading and writing one slice of a file of many.
#include "slices.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <unordered_set>

#include "allocation.h"
#include "definitions.h"
#include "directory.h"
#include "entries.h"
#include "files.h"
#include "in_place.h"
#include "layout.h"
#include "opening.h"
#include "recognition.h"
#include "scores.h"

namespace {

constexpr int sectorBytes = 512;

// Reads exactly `length` bytes at `offset` (bytes past the file's end read
// as zero, as a hole does); false on a read error.
bool readAt(int fd, long long offset, size_t length, uint8_t *into) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = pread(fd, into + done, length - done, off_t(offset + (long long)done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        done += size_t(n);
    }
    std::fill(into + done, into + length, 0);
    return true;
}

uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool cpmPartitionType(int type) {
    return type == cpm_CpmPartitionTypes[0] || type == cpm_CpmPartitionTypes[1];
}

// The entries of a partition table in the first sector, when it is one that
// names CP/M: the 0x55 0xAA signature, every entry's status byte 0x00 or
// 0x80, and at least one entry of a CP/M type.  Boot code read as a table
// fails the status test almost always.
std::vector<cpm_Partition> partitionsOf(const uint8_t *sector) {
    std::vector<cpm_Partition> out;
    if (sector[510] != 0x55 || sector[511] != 0xAA) return {};
    bool cpm = false;
    for (int i = 0; i < 4; i++) {
        const uint8_t *e = sector + 446 + 16 * i;
        if (e[4] == 0) continue;
        if (e[0] != 0x00 && e[0] != 0x80) return {};
        cpm_Partition p;
        p.Entry = i;
        p.Type = e[4];
        p.Offset = (long long)le32(e + 8) * sectorBytes;
        p.Bytes = (long long)le32(e + 12) * sectorBytes;
        cpm = cpm || p.Type == cpm_SlicePartitionType || cpmPartitionType(p.Type);
        out.push_back(p);
    }
    return cpm ? out : std::vector<cpm_Partition>();
}

// The directory bytes of a volume of geometry g whose image starts at
// `offset` in the file, in CP/M logical order.  A layout without skew reads
// only the directory; any other reads the tracks before it too and gathers.
bool readDirectory(int fd, long long offset, const cpm_Geometry &g, uint8_t *into) {
    size_t dirBytes = size_t(g.DirEntries) * cpm_EntrySize;
    if (g.SkewTable.empty() && g.Heads == 1) return readAt(fd, offset + g.DataStart, dirBytes, into);
    long long track = (long long)g.SectorBytes * g.SectorsPerTrack;
    long long upTo = (g.DataStart + (long long)dirBytes + track - 1) / track * track + g.Offset % track + track;
    cpm_Medium medium;
    medium.Codec = "raw";
    medium.Bytes.Elements.assign(size_t(upTo), 0);
    if (!readAt(fd, offset, size_t(upTo), medium.Bytes.data())) return false;
    Text directory = cpm_Gather(medium, cpm_LayoutOf(g), size_t(g.DataStart), dirBytes);
    directory.Elements.resize(dirBytes, 0);
    std::copy(directory.Elements.begin(), directory.Elements.end(), into);
    return true;
}

// The directory read into a buffer of the slice's reserved area (zeros,
// never read) and its directory, as a volume's image starts; kept from one
// slice to the next.
bool readDirectory(int fd, long long offset, const cpm_Geometry &g, Text &image) {
    size_t size = size_t(g.DataStart) + size_t(g.DirEntries) * cpm_EntrySize;
    if (image.size() != size) image.Elements.assign(size, 0);
    return readDirectory(fd, offset, g, image.data() + g.DataStart);
}

// Every byte is the value: the first is, and each equals the next (memcmp of the bytes shifted by one).
bool allBytes(const uint8_t *bytes, size_t size, uint8_t value) {
    return size == 0 || (bytes[0] == value && memcmp(bytes, bytes + 1, size - 1) == 0);
}

int blocksOf(const cpm_Geometry &g) { return cpm_DefinedBlocks(g); }

// What the directory in the image (behind the reserved area) holds.
cpm_SliceState stateOf(const cpm_Geometry &g, const Text &image) {
    const uint8_t *directory = image.data() + g.DataStart;
    size_t size = size_t(g.DirEntries) * cpm_EntrySize;
    if (allBytes(directory, size, cpm_ErasedUser)) return cpm_SliceState::Empty;
    if (allBytes(directory, size, 0)) return cpm_SliceState::Unformatted;
    int blocks = blocksOf(g);
    cpm_DirectoryShape shape{g.DirEntries, g.DirBlocks, blocks, blocks > 256};
    cpm_Score score = cpm_ScoreDirectory(directory, shape);
    if (!cpm_Plausible(score)) return cpm_SliceState::NotCpm;
    return score.Good == 0 ? cpm_SliceState::Empty : cpm_SliceState::Files;
}

// The slice definitions of the library, exact multiples of the file's length first.
std::vector<const cpm_Definition *> sliceDefinitions(long long fileBytes) {
    std::vector<const cpm_Definition *> exact, other;
    for (const cpm_Definition &d : cpm_Library()) {
        if (d.Geometry.Slices <= 0 || d.Geometry.SliceBytes <= 0) continue;
        (fileBytes % d.Geometry.SliceBytes == 0 ? exact : other).push_back(&d);
    }
    exact.insert(exact.end(), other.begin(), other.end());
    return exact;
}

// The slices of a file without a partition table: the first slice
// definition whose slice 0 holds CP/M or is empty.  Slice 0 is whole; a
// last slice cut short counts when its directory lies inside the file.
std::vector<cpm_Slice> plainSlices(int fd, long long fileBytes) {
    for (const cpm_Definition *d : sliceDefinitions(fileBytes)) {
        const cpm_Geometry &g = d->Geometry;
        if (fileBytes < g.SliceBytes) continue;   // one whole slice at least
        Text directory;
        if (!readDirectory(fd, 0, g, directory)) continue;
        cpm_SliceState state = stateOf(g, directory);
        if (state != cpm_SliceState::Files && state != cpm_SliceState::Empty) continue;
        long long whole = cpm_GeometryBytes(g);
        std::vector<cpm_Slice> out;
        for (long long at = 0; at < fileBytes && (int)out.size() < g.Slices; at += g.SliceBytes) {
            long long inFile = std::min(whole, fileBytes - at);
            if (inFile < g.DataStart + (long long)g.DirEntries * cpm_EntrySize) break;
            out.push_back({at, whole, inFile, d->Name, -1});
        }
        return out;
    }
    return {};
}

}  // namespace

cpm_SliceTable cpm_FindSlicesIn(int fd, long long fileBytes) {
    cpm_SliceTable table;
    uint8_t first[sectorBytes] = {};
    if (fileBytes < sectorBytes || !readAt(fd, 0, sectorBytes, first)) return table;
    table.Partitions = partitionsOf(first);
    table.Table = !table.Partitions.empty();
    const cpm_Definition *hd1k = cpm_FindDefinition("hd1k");
    for (const cpm_Partition &p : table.Partitions) {
        bool slices = p.Type == cpm_SlicePartitionType;
        if (!slices && !cpmPartitionType(p.Type)) continue;
        if (p.Offset + p.Bytes > fileBytes || p.Bytes == 0) {
            table.Error = "partition " + std::to_string(p.Entry + 1) + " (type 0x" + "0123456789ABCDEF"[p.Type >> 4] +
                          "0123456789ABCDEF"[p.Type & 15] + ") lies past the end of the file";
            table.Slices.clear();
            return table;
        }
        if (!slices) {
            table.Slices.push_back({p.Offset, p.Bytes, p.Bytes, "", p.Entry});
            continue;
        }
        if (!hd1k) continue;
        long long each = hd1k->Geometry.SliceBytes;
        for (long long at = 0; at + each <= p.Bytes; at += each)
            table.Slices.push_back({p.Offset + at, cpm_GeometryBytes(hd1k->Geometry), each, hd1k->Name, p.Entry});
    }
    if (!table.Table) table.Slices = plainSlices(fd, fileBytes);
    return table;
}

cpm_SliceTable cpm_FindSlices(const std::string &path) {
    int fd = -1;
    long long size = 0;
    if (t_OpenRegularFile(path, fd, size) != 0) return {};
    cpm_SliceTable table = cpm_FindSlicesIn(fd, size);
    close(fd);
    return table;
}

bool cpm_SplitSlicePath(const std::string &path, std::string &file, int &slice) {
    size_t at = path.rfind('@');
    if (at == std::string::npos || at == 0 || at + 1 >= path.size() || t_FileExists(path) != 0) return false;
    std::string number = path.substr(at + 1);
    if (number.size() > 6 || number.find_first_not_of("0123456789") != std::string::npos) return false;
    if (t_FileExists(path.substr(0, at)) != 1) return false;
    file = path.substr(0, at);
    slice = std::stoi(number);
    return true;
}

bool cpm_SlicedPath(const std::string &path) {
    std::string file;
    int slice = 0;
    if (cpm_SplitSlicePath(path, file, slice)) return true;
    if (t_FileExists(path) != 1) return false;
    cpm_SliceTable table = cpm_FindSlices(path);
    return !table.Slices.empty() || !table.Error.empty();
}

cpm_SliceSummary cpm_SummariseSlice(int fd, const cpm_Slice &slice) {
    cpm_SliceSummary s;
    const cpm_Definition *d = slice.Definition.empty() ? nullptr : cpm_FindDefinition(slice.Definition);
    if (!d) {
        // A CP/M partition: recognised as an image of its size would be.
        if (slice.FileBytes > cpm_MaxImageBytes) return s;
        Text bytes(std::vector<uint8_t>(size_t(slice.FileBytes)));
        if (!readAt(fd, slice.Offset, bytes.size(), bytes.data())) return s;
        bool diagnostics = cpm_Diagnostics();
        cpm_SetDiagnostics(false);
        cpm_Volume v = cpm_OpenImage(std::move(bytes), "");
        cpm_SetDiagnostics(diagnostics);
        s.Definition = v.Definition;
        s.VolumeKB = v.VolumeKB;
        s.UsedKB = v.UsedKB;
        s.State = v.RefusalKind == cpm_RefusalKind::NotCpm ? cpm_SliceState::NotCpm : cpm_SliceState::Files;
        std::unordered_set<std::string> names;
        for (int user = 0; user < cpm_UserAreas; user++)
            for (const Text &name : cpm_LoadDirectory(v, user).Names)
                if (name.size() > 1) names.insert(std::to_string(user) + name.bytes());
        s.Files = int(names.size());
        if (s.State == cpm_SliceState::Files && s.Files == 0) s.State = cpm_SliceState::Empty;
        return s;
    }
    const cpm_Geometry &g = d->Geometry;
    s.Definition = d->Name;
    s.VolumeKB = cpm_DataKB(g, size_t(cpm_GeometryBytes(g)));
    // The directory alone, behind a reserved area that is never read; the
    // buffer is kept for the next slice.
    static thread_local cpm_Volume v;
    if (!readDirectory(fd, slice.Offset, g, v.Image)) return s;
    s.State = stateOf(g, v.Image);
    if (s.State != cpm_SliceState::Files) return s;
    v.Geometry = g;
    v.VolumeKB = s.VolumeKB;
    bool diagnostics = cpm_Diagnostics();
    cpm_SetDiagnostics(false);
    s.UsedKB = cpm_LoadSectorMap(v).UsedKB;
    cpm_SetDiagnostics(diagnostics);
    // Files: the names of user areas 0-15, each counted once however many extents it has.
    std::unordered_set<std::string> names;
    for (size_t at = size_t(g.DataStart); at + cpm_EntrySize <= v.Image.size(); at += cpm_EntrySize) {
        const uint8_t *e = v.Image.data() + at;
        if (e[0] >= cpm_UserAreas) continue;
        std::string key(reinterpret_cast<const char *>(e), 12);
        for (size_t k = 9; k < 12; k++) key[k] = char(key[k] & 0x7F);
        names.insert(key);
    }
    s.Files = int(names.size());
    return s;
}

std::string cpm_SliceLabel(const cpm_SliceSummary &s) {
    switch (s.State) {
    case cpm_SliceState::Files: return std::to_string(s.Files) + (s.Files == 1 ? " file" : " files");
    case cpm_SliceState::Empty: return "empty";
    case cpm_SliceState::Unformatted: return "unformatted";
    case cpm_SliceState::NotCpm: return "not CP/M";
    case cpm_SliceState::Unread: break;
    }
    return "unreadable";
}

// A volume that names a file but may not be read or changed, with the reason.
static cpm_Volume refusedVolume(const std::string &file, const std::string &reason) {
    cpm_Volume v = cpm_EmptyVolume();
    v.Path = file;
    v.RefusalKind = cpm_RefusalKind::TooShort;   // nothing in it to read
    v.Refusal = reason;
    v.ReadOnly = true;
    return v;
}

cpm_Volume cpm_LoadSlice(const std::string &path, const std::string &format) {
    std::string file = path;
    int number = 0;
    bool named = cpm_SplitSlicePath(path, file, number);
    int fd = -1;
    long long size = 0;
    if (t_OpenRegularFile(file, fd, size) != 0) return cpm_EmptyVolume();
    cpm_SliceTable table = cpm_FindSlicesIn(fd, size);
    cpm_Volume v;
    if (!table.Error.empty()) {
        v = refusedVolume(file, table.Error);
    } else if (table.Slices.empty() || number >= (int)table.Slices.size()) {
        int count = int(table.Slices.size());
        v = refusedVolume(file, count == 0 ? "no slices" : "no slice " + std::to_string(number) + " (" + std::to_string(count) +
                                                             (count == 1 ? " slice)" : " slices)"));
    } else {
        const cpm_Slice &slice = table.Slices[size_t(number)];
        if (slice.FileBytes > cpm_MaxImageBytes) {
            v = refusedVolume(file, "Image file too large.");
        } else {
            Text bytes(std::vector<uint8_t>(size_t(slice.FileBytes)));
            if (!readAt(fd, slice.Offset, bytes.size(), bytes.data())) {
                v = refusedVolume(file, t_ErrorText(errno));
            } else {
                uint64_t hash = t_HashBytes(bytes.data(), bytes.size());
                Text directory;
                const cpm_Definition *own = slice.Definition.empty() ? nullptr : cpm_FindDefinition(slice.Definition);
                const cpm_Definition *chosen = format.empty() ? own : cpm_FindDefinition(format);
                if (own) readDirectory(fd, slice.Offset, own->Geometry, directory);
                cpm_SliceState state = own ? stateOf(own->Geometry, directory) : cpm_SliceState::Files;
                v = chosen ? cpm_OpenImageAs(std::move(bytes), file, *chosen) : cpm_OpenImage(std::move(bytes), file);
                std::string where = "slice " + std::to_string(number) + " of " + std::to_string(table.Slices.size());
                v.Decision = where + ", " + v.Decision;
                // An unformatted slice is never written; one that holds no CP/M directory is only looked at.
                if (!chosen || chosen == own) {
                    if (state == cpm_SliceState::Unformatted)
                        v.RefusalKind = cpm_RefusalKind::NotCpm, v.Refusal = "Slice " + std::to_string(number) + " is unformatted: opened read-only.";
                    else if (state == cpm_SliceState::NotCpm)
                        v.RefusalKind = cpm_RefusalKind::NotCpm, v.Refusal = cpm_NotCpmMessage;
                }
                v.SliceOffset = slice.Offset;
                v.SliceFileBytes = slice.FileBytes;
                v.SliceHash = hash;
            }
        }
    }
    close(fd);
    v.Slice = number;
    v.SliceCount = int(table.Slices.size());
    v.SliceNamed = named;
    if (access(file.c_str(), W_OK) != 0) v.ReadOnly = true;
    return v;
}

cpm_SaveVolumeResult cpm_SaveSlice(cpm_Volume volume) {
    Text bytes = cpm_FileImage(volume);
    int fd = -1;
    long long size = 0;
    int err = t_OpenRegularFile(volume.Path, fd, size);
    if (err != 0) return {std::move(volume), t_ErrorText(err)};
    // The slice as the file holds it now: unchanged since it was read, or the save is refused.
    Text now(std::vector<uint8_t>(size_t(volume.SliceFileBytes)));
    bool read = readAt(fd, volume.SliceOffset, now.size(), now.data());
    err = read ? 0 : errno;
    close(fd);
    if (err != 0) return {std::move(volume), t_ErrorText(err)};
    if (t_HashBytes(now.data(), now.size()) != volume.SliceHash) return {std::move(volume), "Image changed on disk: not saved."};
    // The pieces that differ, a sector at a time; neighbours join.
    const size_t piece = sectorBytes;
    std::vector<t_Range> ranges;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        size_t n = std::min(piece, bytes.size() - at);
        if (at + n <= now.size() && memcmp(now.data() + at, bytes.data() + at, n) == 0) continue;
        long long offset = volume.SliceOffset + (long long)at;
        if (!ranges.empty() && ranges.back().Offset + (long long)ranges.back().Bytes.size() == offset)
            ranges.back().Bytes.Elements.insert(ranges.back().Bytes.Elements.end(), bytes.data() + at, bytes.data() + at + n);
        else
            ranges.push_back({offset, Text(std::vector<uint8_t>(bytes.data() + at, bytes.data() + at + n))});
    }
    err = ranges.empty() ? 0 : t_WriteRanges(volume.Path, ranges);
    if (err != 0) cpm_Diag("cpm_SaveSlice: Error #" + t_ErrorText(err));
    if (err != 0 && !t_SavedButNotFlushed(err)) return {std::move(volume), t_ErrorText(err)};
    volume.SliceHash = t_HashBytes(bytes.data(), std::min(bytes.size(), size_t(volume.SliceFileBytes)));
    if (bytes.size() > (size_t)volume.SliceFileBytes) {
        volume.SliceFileBytes = (long long)bytes.size();
        volume.SliceHash = t_HashBytes(bytes.data(), bytes.size());
    }
    volume.Changed = false;
    return {std::move(volume), err != 0 ? t_ErrorText(err) : ""};
}

std::string cpm_VolumeName(const cpm_Volume &volume) {
    std::string name = t_PathFileName(volume.Path);
    if (volume.SliceCount > 1) name += "@" + std::to_string(volume.Slice);
    return name;
}

std::string cpm_SlicePathOf(const cpm_Volume &volume) {
    return volume.Slice >= 0 ? volume.Path + "@" + std::to_string(volume.Slice) : volume.Path;
}

Text cpm_NewSlicedImage(const std::string &definition, int count) {
    const cpm_Definition *d = cpm_FindDefinition(definition);
    if (!d || d->Geometry.Slices <= 0 || count < 1 || count > d->Geometry.Slices) return Text();
    const cpm_Geometry &g = d->Geometry;
    bool table = definition == "hd1k";
    long long start = table ? 2048LL * sectorBytes : 0;
    long long total = start + (long long)count * g.SliceBytes;
    if (total > cpm_MaxImageBytes) return Text();
    // Empty slices as disk tools make them: 0xE5 throughout.
    Text image(std::vector<uint8_t>(size_t(total), cpm_ErasedUser));
    if (table) {
        std::fill(image.Elements.begin(), image.Elements.begin() + start, 0);
        uint8_t *e = image.data() + 446;
        e[4] = uint8_t(cpm_SlicePartitionType);
        uint32_t first = uint32_t(start / sectorBytes), sectors = uint32_t(count * (g.SliceBytes / sectorBytes));
        for (int k = 0; k < 4; k++) e[8 + k] = uint8_t(first >> (8 * k)), e[12 + k] = uint8_t(sectors >> (8 * k));
        image[510] = 0x55;
        image[511] = 0xAA;
    }
    return image;
}
