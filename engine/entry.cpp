// One raw directory entry: its display name.
#include "entry.h"

const Text cpm_BlankName("        .   ");

Text cpm_RawName(const uint8_t *entry, bool keepBits) {
    Text name = cpm_BlankName;
    for (int k = 1; k <= 8; k++) name[size_t(k - 1)] = entry[k];
    for (int k = 9; k <= 11; k++) name[size_t(k)] = keepBits ? entry[k] : uint8_t(entry[k] & 0x7F);
    return name;
}
