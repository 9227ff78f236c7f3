// The directory lists, display names and name conversion.
#include "directory.h"

#include <algorithm>

#include "allocation.h"
#include "entries.h"

Text cpm_EntryName(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return Text();
    return cpm_RawName(cpm_EntryBytes(volume, entry), false);
}

cpm_NameParts cpm_SplitName(const Text &displayName) {
    auto trimmed = [&](size_t from, size_t count) {
        size_t end = from + count;
        while (end > from && displayName[end - 1] == ' ') end--;
        return Text(std::vector<uint8_t>(displayName.Elements.begin() + long(from), displayName.Elements.begin() + long(end)));
    };
    if (displayName.size() != 12) return {trimmed(0, displayName.size()), Text()};
    return {trimmed(0, 8), trimmed(9, 3)};
}

// The eleven name bytes of an invalid entry, as the diagnostic line shows them.
static std::string shownNameBytes(const uint8_t *entry) {
    std::string out;
    for (int k = 1; k <= 11; k++) {
        uint8_t b = entry[k];
        if (b < 0x20) out += std::string("^") + char(b + 0x40);
        else if (b >= 0x80) out += "#[" + std::to_string(b) + ")]";
        else out += char(b);
    }
    return out;
}

// The diagnostic line of one file.
static std::string entryLine(int i, const Text &name, int recordBytes, const uint8_t *entry, bool wide, int mainEntry) {
    std::string line = "cpm_LoadDirectory: #" + std::to_string(i) + " = " + name.bytes() + ", Len =" +
                       t_NumberString(recordBytes, U' ', 7, true) + ", Blk";
    for (int k = 0; k < cpm_SlotCount(wide); k++) {
        line += ' ';
        line += std::to_string(cpm_SlotBlock(entry, wide, k));
        line += ',';
    }
    if (mainEntry >= 0) line += " Main = #" + std::to_string(mainEntry);
    return line;
}

// Index of the first entry (main entry) of each name seen so far: an open
// hash table over the 12 name bytes, so that joining extents stays linear.
struct MainEntries {
    std::vector<int> Slots;
    explicit MainEntries(size_t entries) {
        size_t n = 16;
        while (n < 2 * entries) n *= 2;
        Slots.assign(n, -1);
    }
    static size_t hash(const Text &name) {
        size_t h = 1469598103934665603ull;
        for (uint8_t b : name.Elements) h = (h ^ b) * 1099511628211ull;
        return h;
    }
    // The main entry of the name, or -1 after recording `entry` as its main entry.
    int findOrAdd(const Text &name, int entry, const std::vector<Text> &names) {
        size_t mask = Slots.size() - 1;
        for (size_t at = hash(name) & mask;; at = (at + 1) & mask) {
            int j = Slots[at];
            if (j < 0) {
                Slots[at] = entry;
                return -1;
            }
            if (names[size_t(j)] == name) return j;
        }
    }
};

// Fills the four lists of the user area's files in place (their elements'
// storage is reused).
static void fillDirectory(const cpm_Volume &volume, cpm_DirectoryLists &lists, int user) {
    static const Text unused(std::vector<uint8_t>{0xE5});
    size_t count = size_t(std::max(volume.Geometry.DirEntries, 0));
    lists.Names.resize(count);
    lists.Sizes.assign(count, cpm_UnusedSize);
    lists.Extents.assign(count, 0);
    lists.Attributes.resize(count);
    for (size_t i = 0; i < count; i++) {
        lists.Names[i].Elements.assign(unused.Elements.begin(), unused.Elements.end());
        lists.Attributes[i].Elements.clear();
    }
    bool wide = cpm_WideBlocks(volume);
    // An entry holding several 16K logical extents counts the full ones
    // before its last (EX modulo the extents it holds).
    int extentsPerEntry = cpm_ExtentsPerEntry(volume);
    int present = cpm_PresentEntries(volume);
    MainEntries mains{size_t(present)};
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] != user) continue;
        if (!cpm_IsListedFile(e)) {
            if (e[1] != 0 && e[1] != cpm_ErasedUser)
                cpm_Diag("cpm_LoadDirectory: Invalid name for file #" + std::to_string(i) + ": " + shownNameBytes(e));
            continue;
        }
        Text &attributes = lists.Attributes[size_t(i)];
        if (e[9] & 0x80) attributes.push_back('R');
        if (e[10] & 0x80) attributes.push_back('S');
        if (e[11] & 0x80) attributes.push_back('A');
        int rc = e[15];
        int own = int(cpm_EntryRecordBytes(e, extentsPerEntry));
        Text &name = lists.Names[size_t(i)];
        name.Elements.assign(cpm_BlankName.Elements.begin(), cpm_BlankName.Elements.end());
        for (int k = 1; k <= 8; k++) name[size_t(k - 1)] = e[k];
        for (int k = 9; k <= 11; k++) name[size_t(k)] = uint8_t(e[k] & 0x7F);
        int mainEntry = mains.findOrAdd(name, i, lists.Names);
        if (mainEntry < 0) {
            lists.Sizes[size_t(i)] = own;
        } else {
            lists.Extents[size_t(mainEntry)] += 1;
            lists.Sizes[size_t(i)] = -(1 + cpm_RawExtent(e));
            lists.Sizes[size_t(mainEntry)] += own;
        }
        if (cpm_Diagnostics()) cpm_Diag(entryLine(i, name, rc * cpm_RecordSize, e, wide, mainEntry));
    }
}

cpm_DirectoryLists cpm_LoadDirectory(const cpm_Volume &volume, int user) {
    cpm_DirectoryLists lists;
    fillDirectory(volume, lists, cpm_UserOf(volume, user));
    return lists;
}

cpm_Volume cpm_Rebuild(cpm_Volume volume) {
    cpm_SectorMap map = cpm_LoadSectorMap(volume);
    volume.UsedKB = map.UsedKB;
    volume.BlockMap = std::move(map.BlockMap);
    cpm_DirectoryLists lists{std::move(volume.Names), std::move(volume.Sizes), std::move(volume.Extents),
                             std::move(volume.Attributes)};
    fillDirectory(volume, lists, volume.User);
    volume.Names = std::move(lists.Names);
    volume.Sizes = std::move(lists.Sizes);
    volume.Extents = std::move(lists.Extents);
    volume.Attributes = std::move(lists.Attributes);
    return volume;
}

Text cpm_FilterName(const Text &part) {
    static const std::string dropped = " <>.,;:=?*[]%|()/\\";
    Text out;
    for (uint8_t b : t_TextUpperCase(part).Elements) {
        b &= 0x7F;
        // Control characters (a line feed in a host name) never reach a CP/M name.
        if (b < 0x20 || b == 0x7F) continue;
        if (dropped.find(char(b)) == std::string::npos) out.push_back(b);
    }
    return out;
}

bool cpm_IsCpmName(const Text &typed) {
    auto dot = std::find(typed.Elements.begin(), typed.Elements.end(), uint8_t('.'));
    Text base(std::vector<uint8_t>(typed.Elements.begin(), dot));
    Text type;
    if (dot != typed.Elements.end()) type = Text(std::vector<uint8_t>(dot + 1, typed.Elements.end()));
    auto kept = [](const Text &part) { return cpm_FilterName(part).size() == part.size(); };
    return !base.empty() && base.size() <= 8 && type.size() <= 3 && kept(base) && kept(type);
}

// The part padded with blanks and cut to n bytes.
static Text padCut(Text part, size_t n) {
    part.Elements.resize(n, ' ');
    return part;
}

Text cpm_MakeName(const Text &name) {
    if (name.empty()) return Text();
    auto dot = std::find(name.Elements.begin(), name.Elements.end(), uint8_t('.'));
    Text base(std::vector<uint8_t>(name.Elements.begin(), dot));
    Text type;
    if (dot != name.Elements.end()) type = Text(std::vector<uint8_t>(dot + 1, name.Elements.end()));
    return padCut(cpm_FilterName(base), 8) + Text(".") + padCut(cpm_FilterName(type), 3);
}
