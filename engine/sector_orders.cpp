// The readings of the built-in Apple II formats: how each lays its sectors.
// The file's own order of a track's sectors (DOS, ProDOS) is the raw
// container's business; the CP/M skew on top of it is the layout's.
#include "layout.h"

// CP/M logical sector i of an Apple II 140K track is physical sector
// cpm_Skew140[i]; 800K disks interleave the 512-byte blocks of each 8K group.
static constexpr int cpm_Skew140[16] = {0, 3, 6, 9, 12, 15, 2, 5, 8, 11, 14, 1, 4, 7, 10, 13};
static constexpr int cpm_Skew800[16] = {0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15};

const cpm_SectorOrder cpm_SectorOrders[5] = {
    {cpm_Order::AsStored, "as stored", cpm_RawOrder::AsStored, 0, nullptr},
    {cpm_Order::Dos, "DOS order", cpm_RawOrder::Dos, 256, cpm_Skew140},
    {cpm_Order::ProDos, "ProDOS order", cpm_RawOrder::ProDos, 256, cpm_Skew140},
    {cpm_Order::Interleave800, "800K interleave", cpm_RawOrder::AsStored, 512, cpm_Skew800},
    {cpm_Order::ProDosBlocks, "ProDOS block order", cpm_RawOrder::AsStored, 0, nullptr},
};

const cpm_SectorOrder &cpm_SectorOrderOf(cpm_Order order) {
    for (const cpm_SectorOrder &o : cpm_SectorOrders)
        if (o.Order == order) return o;
    return cpm_SectorOrders[0];
}

cpm_Layout cpm_LayoutOf(const cpm_Geometry &g) {
    cpm_Layout l;
    if (g.SectorBytes > 0) {
        // A definition: its tracks after the offset, the skew on its data tracks.
        l.Offset = g.Offset;
        l.SectorBytes = g.SectorBytes;
        l.SectorsPerTrack = g.SectorsPerTrack;
        l.Tracks = g.Tracks;
        l.Heads = g.Heads;
        l.Sides = g.Sides;
        l.FirstId = g.FirstId >= 0 ? g.FirstId : 1;
        l.RankedIds = g.FirstId < 0;
        l.Skew = g.SkewTable;
        l.FirstSkewedTrack = g.SectorsPerTrack > 0 ? g.ReservedSectors / g.SectorsPerTrack : 0;   // a track partly reserved moves whole
        return l;
    }
    const cpm_SectorOrder &o = cpm_SectorOrderOf(g.Order);
    if (!o.Skew) return l;   // the bytes as they lie
    l.SectorBytes = o.SectorBytes;
    l.SectorsPerTrack = 16;
    l.Skew.assign(o.Skew, o.Skew + 16);
    l.RawOrder = o.Raw;
    return l;
}
