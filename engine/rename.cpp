#include "rename.h"

#include <algorithm>

#include "directory.h"
#include "entries.h"
#include "entry.h"
#include "write.h"

cpm_RenameResult cpm_RenameFile(cpm_Volume volume, const Text &name, int user, const Text &newName, int newUser) {
    if (cpm_Refused(volume)) {
        std::string refusal = volume.Refusal;
        return {std::move(volume), false, std::move(refusal)};
    }
    std::vector<int> entries;
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] == user && cpm_NameIs(e, name, false)) entries.push_back(i);
    }
    if (entries.empty() || name.size() != 12 || newName.size() != 12 || newUser < 0 || newUser >= cpm_UserAreas)
        return {std::move(volume), false, ""};
    bool same = newUser == user && std::equal(name.Elements.begin(), name.Elements.end(), newName.Elements.begin());
    if (same) return {std::move(volume), true, ""};
    // A listed file of the new name, a password entry (user 16 + area), or
    // erased entries that unerasing would join to it.
    for (int i = 0; i < present; i++) {
        uint8_t *e = cpm_EntryBytes(volume, i);
        if (!cpm_NameIs(e, newName, false) || std::find(entries.begin(), entries.end(), i) != entries.end()) continue;
        if (e[0] == newUser || e[0] == newUser + 16) return {std::move(volume), true, cpm_FileExistsMessage};
    }
    for (int i = 0; i < present; i++) {
        uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] == cpm_ErasedUser && cpm_NameIs(e, newName, false)) std::fill(e, e + cpm_EntrySize, cpm_ErasedUser);
    }
    for (int i : entries) {
        uint8_t *e = cpm_EntryBytes(volume, i);
        e[0] = uint8_t(newUser);
        std::copy_n(newName.data(), 8, e + 1);
        for (int k = 0; k < 3; k++) e[9 + k] = uint8_t((e[9 + k] & 0x80) | (newName[size_t(9 + k)] & 0x7F));
    }
    volume.Changed = true;
    return {cpm_Rebuild(std::move(volume)), true, ""};
}
