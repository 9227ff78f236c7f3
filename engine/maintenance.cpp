// Erase and unerase, sorting the directory, initialising a volume.
#include "maintenance.h"

#include <algorithm>

#include "allocation.h"
#include "directory.h"
#include "entries.h"
#include "passwords.h"
#include "stamps.h"

static const std::string blocksInUse = "Blocks used by another file.";
static const std::string fileExists = "File exists.";
static const std::string twoErasedFiles = "Erased entries of two files.";
static const std::string noUserArea = "No such user area.";

// CP/M 3 keeps a label and date stamps: entry 4k+3 of the stamp kind holds
// in bytes 1-30 three 10-byte stamps, one for each of entries 4k, 4k+1 and
// 4k+2.  Neither is a file: they stay in their slots.
constexpr int stampBytes = 10;

static bool stampOrLabel(const cpm_Volume &volume, int i) {
    cpm_EntryKind kind = cpm_KindOfUser(cpm_EntryBytes(volume, i)[0], false);
    return kind == cpm_EntryKind::Label || kind == cpm_EntryKind::Stamps;
}

// The 10 stamp bytes of entry i, or nullptr when its group has no stamp entry.
static uint8_t *stampOf(cpm_Volume &volume, int i, int present) {
    int holder = i | 3;
    if (i == holder || holder >= present) return nullptr;
    uint8_t *h = cpm_EntryBytes(volume, holder);
    return h[0] == cpm_StampUser ? h + 1 + stampBytes * (i % 4) : nullptr;
}

// Entries i and j change places: their stamps go with them.  A stamp that
// has no place to go is cleared, so that no file shows another file's dates.
static void exchangeEntries(cpm_Volume &volume, int i, int j, int present) {
    std::swap_ranges(cpm_EntryBytes(volume, i), cpm_EntryBytes(volume, i) + cpm_EntrySize, cpm_EntryBytes(volume, j));
    uint8_t *a = stampOf(volume, i, present), *b = stampOf(volume, j, present);
    if (a && b) std::swap_ranges(a, a + stampBytes, b);
    else if (a || b) std::fill_n(a ? a : b, stampBytes, uint8_t(0));
}

// "#n": the number after the "#", read as t_TextValue reads it.
static long long entryNumber(const Text &name) {
    return t_TextValue(Text(std::vector<uint8_t>(name.Elements.begin() + 1, name.Elements.end())));
}

// The 12 bytes of a typed name without filtering: base, ".", type, blank-padded and cut.
static Text unfilteredName(const Text &name) {
    auto dot = std::find(name.Elements.begin(), name.Elements.end(), uint8_t('.'));
    std::vector<uint8_t> base(name.Elements.begin(), dot), type;
    if (dot != name.Elements.end()) type.assign(dot + 1, name.Elements.end());
    base.resize(8, ' ');
    type.resize(3, ' ');
    return Text(base) + Text(".") + Text(type);
}

// True when giving `user` (a user area, or erased) to the chosen entries
// would put a block under two entries that hold blocks: the entries that
// start to hold blocks are checked against every other block-holding entry
// (files and reservations) and against each other.
static bool wouldShareBlocks(const cpm_Volume &volume, const std::vector<int> &chosen, uint8_t user) {
    if (!cpm_HoldsBlocks(cpm_KindOfUser(user, false))) return false;
    int n = cpm_BlockCount(volume);
    bool wide = cpm_WideBlocks(volume);
    bool passwords = cpm_PasswordsOn(volume);
    std::vector<uint8_t> owner(size_t(std::max(n, 0)), 0);   // 1 held now, 2 by a revived entry
    auto holds = [&](int i) { return cpm_HoldsBlocks(cpm_KindOf(volume, i, passwords)); };
    auto mark = [&](int i, uint8_t who) {
        bool clash = false;
        for (int b : cpm_RawBlocks(cpm_EntryBytes(volume, i), wide)) {
            if (b < volume.Geometry.DirBlocks || b >= n) continue;
            if (owner[size_t(b)] != 0 && (who == 2 || owner[size_t(b)] == 2)) clash = true;
            if (owner[size_t(b)] == 0) owner[size_t(b)] = who;
        }
        return clash;
    };
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++)
        if (holds(i)) mark(i, 1);   // holds its blocks now and after
    for (int i : chosen)
        if (!holds(i) && mark(i, 2)) return true;
    return false;
}

// Erased entries lose their date stamps (to zero); the last entry of a file
// gone takes its password entry with it, as CP/M 3 erases them.
static void eraseStampsAndPassword(cpm_Volume &volume, const std::vector<int> &erased, int user) {
    int present = cpm_PresentEntries(volume);
    for (int i : erased) {
        cpm_ClearStamps(volume, i);
        Text name = cpm_RawName(cpm_EntryBytes(volume, i), false);
        bool left = false;
        for (int j = 0; j < present && !left; j++)
            left = cpm_EntryBytes(volume, j)[0] == user && cpm_NameIs(cpm_EntryBytes(volume, j), name, false);
        if (!left) cpm_DropPasswordEntry(volume, name, user);
    }
}

cpm_SetUserResult cpm_SetFileUser(cpm_Volume volume, const Text &name, uint8_t value, int user) {
    if (name.empty()) return {std::move(volume), Text(), false, ""};
    if (cpm_Refused(volume)) {
        std::string refusal = volume.Refusal;
        return {std::move(volume), name, false, std::move(refusal)};
    }
    // Erasing takes the entries of the user area; unerasing, the erased
    // entries, and those already in the user area it brings them back to.
    const bool erase = value == cpm_ErasedUser;
    const int area = erase ? cpm_UserOf(volume, user) : value;
    auto eligible = [&](int i) {
        uint8_t u = cpm_EntryBytes(volume, i)[0];
        return u == area || u == cpm_ErasedUser;
    };
    std::vector<int> chosen;
    Text shown;
    int present = cpm_PresentEntries(volume);
    if (name[0] == '#') {
        long long n = entryNumber(name);
        if (n < 0 || n >= volume.Geometry.DirEntries) return {std::move(volume), name, false, ""};
        if (size_t(n) < volume.Names.size()) shown = volume.Names[size_t(n)];
        if (n >= present) return {std::move(volume), shown, false, ""};   // the entry lies beyond the image
        if (!eligible(int(n))) return {std::move(volume), shown, false, ""};
        chosen.push_back(int(n));
    } else {
        shown = unfilteredName(name);
        for (int i = 0; i < present; i++) {
            const uint8_t *e = cpm_EntryBytes(volume, i);
            if (!cpm_NameIs(e, shown, true)) continue;
            if (erase ? e[0] == area : eligible(i)) chosen.push_back(i);
        }
        if (chosen.empty()) return {std::move(volume), shown, false, ""};
    }
    if (!erase && area >= cpm_UserAreas) return {std::move(volume), shown, true, noUserArea};
    if (!erase) {
        // Erased entries beside a live file of the name (CP/M erases a file,
        // then saves the name again) would join it: refused.  So would two
        // erased files of one name, whose extent numbers meet.
        bool live = false, erased = false;
        std::vector<int> extents;
        for (int i : chosen) {
            const uint8_t *e = cpm_EntryBytes(volume, i);
            (e[0] == cpm_ErasedUser ? erased : live) = true;
            if (e[0] == cpm_ErasedUser) extents.push_back(cpm_RawExtent(e));
        }
        std::sort(extents.begin(), extents.end());
        if (live && erased) return {std::move(volume), shown, true, fileExists};
        if (std::adjacent_find(extents.begin(), extents.end()) != extents.end())
            return {std::move(volume), shown, true, twoErasedFiles};
    }
    if (wouldShareBlocks(volume, chosen, value)) return {std::move(volume), shown, true, blocksInUse};
    for (int i : chosen) cpm_EntryBytes(volume, i)[0] = value;
    if (erase) eraseStampsAndPassword(volume, chosen, area);
    volume.Changed = true;
    return {cpm_Rebuild(std::move(volume)), shown, true, ""};
}

cpm_Volume cpm_Alphabetize(cpm_Volume volume, bool byNames, bool ascending) {
    if (cpm_Refused(volume)) return volume;
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] == cpm_ErasedUser) std::fill(e + 1, e + cpm_EntrySize, cpm_ErasedUser);
    }
    // The keys are user area 0's lists, whatever user area the volume shows.
    std::vector<Text> names = volume.Names;
    std::vector<int> sizes = volume.Sizes;
    if (volume.User != 0) {
        cpm_DirectoryLists userZero = cpm_LoadDirectory(volume, 0);
        names = std::move(userZero.Names);
        sizes = std::move(userZero.Sizes);
    }
    int count = int(std::min(names.size(), sizes.size()));
    // The slots the sort moves entries between: all but labels and stamps.
    std::vector<int> slots;
    for (int i = 0; i < count; i++)
        if (i >= present || !stampOrLabel(volume, i)) slots.push_back(i);
    for (size_t a = 0; a + 1 < slots.size(); a++) {
        for (size_t b = a + 1; b < slots.size(); b++) {
            int i = slots[a], j = slots[b];
            int c = t_TextCompare(names[size_t(i)], names[size_t(j)]);
            if (!ascending) c = -c;
            int si = sizes[size_t(i)], sj = sizes[size_t(j)];
            bool exchange = byNames ? (c == 1 || (c == 0 && si < sj)) : (si < sj || (si == sj && c == 1));
            if (!exchange) continue;
            std::swap(names[size_t(i)], names[size_t(j)]);
            std::swap(sizes[size_t(i)], sizes[size_t(j)]);
            // An entry beyond the end of the image has no bytes to move.
            if (i < present && j < present) exchangeEntries(volume, i, j, present);
        }
    }
    volume.Changed = true;
    return cpm_Rebuild(std::move(volume));
}

cpm_Volume cpm_InitVolume(cpm_Volume volume) {
    if (cpm_Refused(volume)) return volume;
    long long size = (long long)volume.Image.size();
    long long dirEnd = std::min(size, volume.Geometry.DataStart + (long long)volume.Geometry.DirBlocks * volume.Geometry.BlockSize);
    long long dataEnd = std::min(size, volume.Geometry.DataStart + (long long)volume.VolumeKB * 1024);
    long long at = std::min<long long>(volume.Geometry.DataStart, size);
    std::fill(volume.Image.data() + at, volume.Image.data() + std::max(at, dirEnd), cpm_ErasedUser);
    if (dataEnd > dirEnd) std::fill(volume.Image.data() + std::max(at, dirEnd), volume.Image.data() + dataEnd, uint8_t(0));
    volume.Changed = true;
    return cpm_Rebuild(std::move(volume));
}
