// The kinds of entry that depend on the rest of the directory:
// reservations and password entries, and the label that tells them apart.
#include "entries.h"

int cpm_LabelEntry(const cpm_Volume &volume) {
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++)
        if (cpm_EntryBytes(volume, i)[0] == cpm_LabelUser) return i;
    return -1;
}

bool cpm_PasswordsOn(const cpm_Volume &volume) {
    int label = cpm_LabelEntry(volume);
    return label >= 0 && (cpm_EntryBytes(volume, label)[12] & cpm_PasswordsBit) != 0;
}

int cpm_ReservationLimit(const cpm_Volume &volume) { return cpm_BlockCount(volume) + volume.Geometry.WrapBlocks; }

bool cpm_IsReservation(const cpm_Volume &volume, int entry, bool passwordsOn) {
    if (passwordsOn || entry < 0 || entry >= cpm_PresentEntries(volume)) return false;
    const uint8_t *e = cpm_EntryBytes(volume, entry);
    if (cpm_KindOfUser(e[0], true) != cpm_EntryKind::Reservation || cpm_HasControlName(e)) return false;
    bool wide = cpm_WideBlocks(volume);
    int limit = cpm_ReservationLimit(volume);
    for (int b : cpm_RawBlocks(e, wide))
        if (b < volume.Geometry.DirBlocks || b >= limit) return false;
    return true;
}

cpm_EntryKind cpm_KindOf(const cpm_Volume &volume, int entry, bool passwordsOn) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return cpm_EntryKind::Erased;
    uint8_t user = cpm_EntryBytes(volume, entry)[0];
    // Only users 16-31 need the reservation test; the scans ask for every entry.
    bool reservation = user >= cpm_UserAreas && user <= cpm_ReservationUser && cpm_IsReservation(volume, entry, passwordsOn);
    return cpm_KindOfUser(user, reservation);
}
