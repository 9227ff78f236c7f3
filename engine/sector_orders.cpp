// Sector orders: how the sectors of an image file map to CP/M logical order.
#include <algorithm>

#include "volume.h"

constexpr int cpm_SkewTable140[16] = {0, 15, 9, 3, 13, 7, 1, 11, 10, 4, 14, 8, 2, 12, 6, 5};
constexpr int cpm_ProDosToDos[16] = {0, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 15};
constexpr int cpm_SkewTable800[16] = {0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15};

// Memory position of ProDOS-order file sector p: through the DOS-order sector it holds.
static constexpr int proDosPosition(int p) { return cpm_SkewTable140[cpm_ProDosToDos[p]]; }

const int cpm_SkewTableProDos140[16] = {
    proDosPosition(0),  proDosPosition(1),  proDosPosition(2),  proDosPosition(3),
    proDosPosition(4),  proDosPosition(5),  proDosPosition(6),  proDosPosition(7),
    proDosPosition(8),  proDosPosition(9),  proDosPosition(10), proDosPosition(11),
    proDosPosition(12), proDosPosition(13), proDosPosition(14), proDosPosition(15),
};

const cpm_SectorOrder cpm_SectorOrders[5] = {
    {cpm_Order::AsStored, "as stored", 0, 0, nullptr},
    {cpm_Order::Dos, "DOS order", 4096, 256, cpm_SkewTable140},
    {cpm_Order::ProDos, "ProDOS order", 4096, 256, cpm_SkewTableProDos140},
    {cpm_Order::Interleave800, "800K interleave", 8192, 512, cpm_SkewTable800},
    {cpm_Order::ProDosBlocks, "ProDOS block order", 0, 0, nullptr},
};

const cpm_SectorOrder &cpm_SectorOrderOf(cpm_Order order) {
    for (const cpm_SectorOrder &o : cpm_SectorOrders)
        if (o.Order == order) return o;
    return cpm_SectorOrders[0];
}

// Moves every piece of each whole group in place, through one group's copy:
// file piece s <-> memory position Table[s].  Bytes after the last whole
// group stay where they are.
static void resector(Text &bytes, const cpm_SectorOrder &o, bool toMemory) {
    if (!o.Table) return;
    std::vector<uint8_t> group(size_t(o.GroupBytes));
    size_t groups = bytes.size() / size_t(o.GroupBytes);
    for (size_t g = 0; g < groups; g++) {
        uint8_t *base = bytes.data() + g * size_t(o.GroupBytes);
        std::copy_n(base, o.GroupBytes, group.data());
        for (int s = 0; s < 16; s++) {
            size_t fileAt = size_t(s) * size_t(o.SectorBytes), memAt = size_t(o.Table[s]) * size_t(o.SectorBytes);
            std::copy_n(group.data() + (toMemory ? fileAt : memAt), o.SectorBytes, base + (toMemory ? memAt : fileAt));
        }
    }
}

Text cpm_ToLogicalOrder(Text fileData, cpm_Order order) {
    resector(fileData, cpm_SectorOrderOf(order), true);
    return fileData;
}

Text cpm_ToFileOrder(Text logical, cpm_Order order) {
    resector(logical, cpm_SectorOrderOf(order), false);
    return logical;
}

Text cpm_LogicalBytes(const Text &fileData, cpm_Order order, size_t from, size_t length) {
    const cpm_SectorOrder &o = cpm_SectorOrderOf(order);
    size_t end = std::min(fileData.size(), from + length);
    size_t wholeGroups = o.Table ? fileData.size() / size_t(o.GroupBytes) : 0;
    Text out;
    out.Elements.reserve(end > from ? end - from : 0);
    for (size_t x = from; x < end;) {
        size_t at = x, run = end - x;
        if (x / size_t(o.GroupBytes ? o.GroupBytes : 1) < wholeGroups) {
            size_t g = x / size_t(o.GroupBytes), w = x % size_t(o.GroupBytes);
            size_t position = w / size_t(o.SectorBytes), piece = size_t(std::find(o.Table, o.Table + 16, int(position)) - o.Table);
            at = g * size_t(o.GroupBytes) + piece * size_t(o.SectorBytes) + w % size_t(o.SectorBytes);
            run = std::min(run, size_t(o.SectorBytes) - w % size_t(o.SectorBytes));
        }
        out.Elements.insert(out.Elements.end(), fileData.data() + at, fileData.data() + at + run);
        x += run;
    }
    return out;
}
