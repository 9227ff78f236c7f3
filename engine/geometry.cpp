// Geometries: the built-in formats and what a disk definition describes:
// sizes, the data area, the skew of the data tracks, block number width.
#include "geometry.h"

#include <algorithm>

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
