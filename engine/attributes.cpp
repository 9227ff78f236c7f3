// Attribute bits and text line ends.
#include "attributes.h"

#include "directory.h"
#include "entries.h"

uint8_t cpm_AttributeBit(char letter) {
    switch (letter) {
    case 'R': case 'r': return cpm_ReadOnlyBit;
    case 'S': case 's': return cpm_SystemBit;
    case 'A': case 'a': return cpm_ArchivedBit;
    default: return 0;
    }
}

uint8_t cpm_EntryAttributes(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return 0;
    const uint8_t *e = cpm_EntryBytes(volume, entry);
    return uint8_t((e[9] >> 7) | (e[10] >> 7) << 1 | (e[11] >> 7) << 2);
}

cpm_SetAttributesResult cpm_SetAttributes(cpm_Volume volume, const std::vector<int> &entries, uint8_t set, uint8_t clear) {
    if (cpm_Refused(volume)) {
        std::string refusal = volume.Refusal;
        return {std::move(volume), std::move(refusal)};
    }
    int present = cpm_PresentEntries(volume);
    for (int i : entries)
        if (i < 0 || i >= present) return {std::move(volume), "No such directory entry."};
    bool changed = false;
    for (int i : entries) {
        uint8_t *e = cpm_EntryBytes(volume, i);
        for (int k = 0; k < 3; k++) {
            uint8_t bit = uint8_t(1 << k), before = e[9 + k];
            if (set & bit) e[9 + k] |= 0x80;
            else if (clear & bit) e[9 + k] &= 0x7F;
            changed = changed || e[9 + k] != before;
        }
    }
    if (!changed) return {std::move(volume), ""};
    volume.Changed = true;
    return {cpm_Rebuild(std::move(volume)), ""};
}

Text cpm_HostText(cpm_TextReading &reading, const uint8_t *data, size_t length, bool last) {
    Text out;
    out.Elements.reserve(length + 1);
    for (size_t k = 0; k < length && !reading.Ended; k++) {
        uint8_t b = data[k];
        if (reading.PendingCR && b != 0x0A) out.push_back(0x0D);
        reading.PendingCR = false;
        if (b == 0x1A) reading.Ended = true;
        else if (b == 0x0D) reading.PendingCR = true;
        else out.push_back(b);
    }
    if ((last || reading.Ended) && reading.PendingCR) {
        // A CR right before the Control-Z, or at the very end, has no LF to pair with.
        out.push_back(0x0D);
        reading.PendingCR = false;
    }
    return out;
}

Text cpm_CpmText(const Text &host) {
    Text out;
    out.Elements.reserve(host.size() + host.size() / 16 + 2);
    for (size_t k = 0; k < host.size(); k++) {
        uint8_t b = host[k];
        if (b == 0x0A || b == 0x0D) {
            out.push_back(0x0D);
            out.push_back(0x0A);
            if (b == 0x0D && k + 1 < host.size() && host[k + 1] == 0x0A) k++;
        } else {
            out.push_back(b);
        }
    }
    return out;
}
