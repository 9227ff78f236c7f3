// Geometries: the built-in formats and what a disk definition describes:
// sizes, the data area, the skew of the data tracks, block number width.
#include <algorithm>

#include "entries.h"

// A built-in format: sized by its file, no definition behind it.
static cpm_Geometry builtIn(cpm_Format format, const char *name, int dataStart, int blockSize, int dirBlocks,
                            int dirEntries, int wrapBlocks) {
    cpm_Geometry g;
    g.Format = format;
    g.Name = name;
    g.DataStart = dataStart;
    g.BlockSize = blockSize;
    g.DirBlocks = dirBlocks;
    g.DirEntries = dirEntries;
    g.WrapBlocks = wrapBlocks;
    return g;
}

const cpm_Geometry cpm_Geometries[5] = {
    builtIn(cpm_Format::Plain, "Plain CP/M volume", 0, 2048, 2, 128, 0),
    builtIn(cpm_Format::Apple140K22, "Apple II 140K CP/M 2.2", 12288, 1024, 2, 64, 12),
    builtIn(cpm_Format::Apple140K30, "Apple II 140K CP/M 3.0", 12288, 1024, 2, 64, 12),
    builtIn(cpm_Format::Apple800K, "Apple II 800K CP/M 3.0", 16384, 2048, 4, 256, 0),
    builtIn(cpm_Format::Apple140K, "Apple II 140K CP/M", 12288, 1024, 2, 64, 12),
};

const cpm_Geometry &cpm_GeometryOf(cpm_Format format) {
    for (const cpm_Geometry &g : cpm_Geometries)
        if (g.Format == format) return g;
    return cpm_Geometries[0];
}

long long cpm_GeometryBytes(const cpm_Geometry &g) {
    if (g.Format == cpm_Format::Apple800K) return 819200;
    if (g.Format != cpm_Format::Plain && g.Format != cpm_Format::Defined) return 143360;
    if (g.SectorBytes <= 0) return 0;
    return g.Offset + (long long)g.Tracks * g.SectorsPerTrack * g.SectorBytes;
}

int cpm_DefinedBlocks(const cpm_Geometry &g) {
    if (g.SectorBytes <= 0 || g.BlockSize <= 0) return 0;
    long long data = ((long long)g.Tracks * g.SectorsPerTrack - g.ReservedSectors) * g.SectorBytes;
    return data > 0 ? int(data / g.BlockSize) : 0;
}

int cpm_DataKB(const cpm_Geometry &g, size_t imageBytes) {
    long long data = (long long)imageBytes - g.DataStart;
    if (data <= 0) return 0;
    if (g.SectorBytes <= 0) return int(data / 1024);
    long long blocks = std::min<long long>(cpm_DefinedBlocks(g), data / g.BlockSize);
    return int(blocks * g.BlockSize / 1024);
}

bool cpm_WideBlocks(const cpm_Volume &volume) {
    if (volume.Geometry.SectorBytes > 0) return cpm_DefinedBlocks(volume.Geometry) > 256;
    return volume.VolumeKB >= 513;
}

int cpm_ExtentsPerEntry(const cpm_Volume &volume) {
    if (volume.Geometry.LogicalExtents > 0) return volume.Geometry.LogicalExtents;
    int bytes = cpm_SlotCount(cpm_WideBlocks(volume)) * volume.BlockSize;
    return std::max(1, bytes / cpm_ExtentBytes);
}

int cpm_BlocksPerEntry(const cpm_Volume &volume) {
    int slots = cpm_SlotCount(cpm_WideBlocks(volume));
    if (volume.BlockSize <= 0) return slots;
    return std::clamp(cpm_ExtentsPerEntry(volume) * cpm_ExtentBytes / volume.BlockSize, 1, slots);
}

// The tracks of a definition's image whose sectors the skew moves: the
// tracks that hold data and lie wholly inside the bytes.
struct SkewedTracks {
    size_t TrackBytes = 0, First = 0, End = 0;
};
static SkewedTracks skewedTracks(const cpm_Geometry &g, size_t size) {
    SkewedTracks t;
    if (g.SkewTable.empty() || g.SectorBytes <= 0 || g.SectorsPerTrack <= 0) return t;
    t.TrackBytes = size_t(g.SectorsPerTrack) * size_t(g.SectorBytes);
    t.First = size_t(g.ReservedSectors / g.SectorsPerTrack);   // a track partly reserved moves whole
    size_t inFile = size > size_t(g.Offset) ? (size - size_t(g.Offset)) / t.TrackBytes : 0;
    t.End = std::min(size_t(g.Tracks), inFile);
    return t;
}

void cpm_ApplySkew(Text &bytes, const cpm_Geometry &g, bool toLogical) {
    SkewedTracks t = skewedTracks(g, bytes.size());
    std::vector<uint8_t> track(t.TrackBytes);
    size_t n = size_t(g.SectorBytes);
    for (size_t k = t.First; k < t.End; k++) {
        uint8_t *base = bytes.data() + size_t(g.Offset) + k * t.TrackBytes;
        std::copy_n(base, t.TrackBytes, track.data());
        for (size_t i = 0; i < g.SkewTable.size(); i++) {
            size_t logical = i * n, physical = size_t(g.SkewTable[i]) * n;
            std::copy_n(track.data() + (toLogical ? physical : logical), n, base + (toLogical ? logical : physical));
        }
    }
}

Text cpm_ReadingBytes(const Text &fileData, const cpm_Geometry &g, size_t from, size_t length) {
    if (g.SkewTable.empty()) return cpm_LogicalBytes(fileData, g.Order, from, length);
    SkewedTracks t = skewedTracks(g, fileData.size());
    size_t end = std::min(fileData.size(), from + length), n = size_t(g.SectorBytes), offset = size_t(g.Offset);
    Text out;
    out.Elements.reserve(end > from ? end - from : 0);
    for (size_t x = from; x < end;) {
        size_t at = x, run = end - x;
        size_t track = x >= offset ? (x - offset) / t.TrackBytes : 0;
        if (x >= offset && track >= t.First && track < t.End) {
            size_t within = (x - offset) % t.TrackBytes, sector = within / n;
            at = offset + track * t.TrackBytes + size_t(g.SkewTable[sector]) * n + within % n;
            run = std::min(run, n - within % n);
        } else if (x < offset) {
            run = std::min(run, offset - x);
        } else if (track < t.First) {
            run = std::min(run, offset + t.First * t.TrackBytes - x);
        }
        out.Elements.insert(out.Elements.end(), fileData.data() + at, fileData.data() + at + run);
        x += run;
    }
    return out;
}

size_t cpm_FileOffset(const cpm_Geometry &g, size_t imageBytes, size_t x) {
    if (g.SkewTable.empty()) {
        const cpm_SectorOrder &o = cpm_SectorOrderOf(g.Order);
        if (!o.Table || x / size_t(o.GroupBytes) >= imageBytes / size_t(o.GroupBytes)) return x;
        size_t w = x % size_t(o.GroupBytes), position = w / size_t(o.SectorBytes);
        size_t piece = size_t(std::find(o.Table, o.Table + 16, int(position)) - o.Table);
        return x - w + piece * size_t(o.SectorBytes) + w % size_t(o.SectorBytes);
    }
    SkewedTracks t = skewedTracks(g, imageBytes);
    size_t offset = size_t(g.Offset), n = size_t(g.SectorBytes);
    if (x < offset) return x;
    size_t track = (x - offset) / t.TrackBytes, within = (x - offset) % t.TrackBytes;
    if (track < t.First || track >= t.End) return x;
    return offset + track * t.TrackBytes + size_t(g.SkewTable[within / n]) * n + within % n;
}
