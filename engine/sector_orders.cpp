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

// Moves every piece of each whole group: file piece s <-> memory position Table[s].
// Bytes after the last whole group stay where they are.
static Text resector(Text from, const cpm_SectorOrder &o, bool toMemory) {
    if (!o.Table) return from;
    Text to = from;
    size_t groups = from.size() / size_t(o.GroupBytes);
    for (size_t group = 0; group < groups; group++) {
        size_t base = group * size_t(o.GroupBytes);
        for (int s = 0; s < 16; s++) {
            size_t fileAt = base + size_t(s) * size_t(o.SectorBytes);
            size_t memAt = base + size_t(o.Table[s]) * size_t(o.SectorBytes);
            size_t src = toMemory ? fileAt : memAt, dst = toMemory ? memAt : fileAt;
            std::copy_n(from.data() + src, o.SectorBytes, to.data() + dst);
        }
    }
    return to;
}

Text cpm_ToLogicalOrder(Text fileData, cpm_Order order) {
    return resector(std::move(fileData), cpm_SectorOrderOf(order), true);
}

Text cpm_ToFileOrder(Text logical, cpm_Order order) {
    return resector(std::move(logical), cpm_SectorOrderOf(order), false);
}
