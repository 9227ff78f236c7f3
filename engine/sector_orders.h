// The sector orders of the built-in formats.
#pragma once

#include "geometry.h"

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
