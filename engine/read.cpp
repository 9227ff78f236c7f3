// Reading a file's blocks.
#include "read.h"

#include <algorithm>

#include "directory.h"
#include "entries.h"

// The text blank-padded to a display name without any other change: the part
// before the last point to 8 bytes, the rest to 3; "" when it does not fit.
static Text padded(const Text &typed) {
    auto dot = std::find(typed.Elements.rbegin(), typed.Elements.rend(), uint8_t('.')).base();
    std::vector<uint8_t> base(typed.Elements.begin(), dot == typed.Elements.begin() ? typed.Elements.end() : dot - 1);
    std::vector<uint8_t> type(dot == typed.Elements.begin() ? typed.Elements.end() : dot, typed.Elements.end());
    if (base.size() > 8 || type.size() > 3) return Text();
    base.resize(8, ' ');
    type.resize(3, ' ');
    return Text(base) + Text(".") + Text(type);
}

Text cpm_StoredName(const cpm_Volume &volume, const Text &typed, int user) {
    if (typed.empty()) return Text();
    user = cpm_UserOf(volume, user);
    Text blankPadded = padded(typed);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        // The entries the lists show as files of the user area.
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] != user || !cpm_IsListedFile(e)) continue;
        if (cpm_NameIs(e, typed, false)) return typed;
        if (cpm_NameIs(e, blankPadded, false)) return blankPadded;
    }
    return Text();
}

Text cpm_TypedFileName(const cpm_Volume &volume, const Text &typed, int user) {
    Text stored = cpm_StoredName(volume, typed, user);
    return stored.empty() ? t_TextUpperCase(typed) : stored;
}

// The entries of the user area's file of that name, in extent order (S2,
// then EX); entries of the same extent number keep their directory order.
// Erased entries and files of other user areas with the same name are not
// part of it: CP/M leaves an erased entry of a name beside the live one
// when a file is saved again under its name.
static std::vector<int> fileEntries(const cpm_Volume &volume, const Text &name, int user) {
    std::vector<int> entries;
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] == user && cpm_NameIs(e, name, false)) entries.push_back(i);
    }
    auto extent = [&](int i) { return cpm_RawExtent(cpm_EntryBytes(volume, i)); };
    std::stable_sort(entries.begin(), entries.end(), [&](int a, int b) { return extent(a) < extent(b); });
    return entries;
}

// The size of the file of these entries (in extent order): the bytes their
// record counts cover, less what the file's last record leaves unused when
// the last extent records its byte count (byte 13, 1-127; 0 is a whole
// record).  cpmtools and CP/M 3 write that count.
static long long sizeOf(const cpm_Volume &volume, const std::vector<int> &entries) {
    if (entries.empty()) return -1;
    int perEntry = cpm_ExtentsPerEntry(volume);
    long long size = 0;
    for (int i : entries) size += cpm_EntryRecordBytes(cpm_EntryBytes(volume, i), perEntry);
    int lastBytes = cpm_EntryBytes(volume, entries.back())[13];
    if (lastBytes >= 1 && lastBytes < cpm_RecordSize && size >= cpm_RecordSize) size -= cpm_RecordSize - lastBytes;
    return size;
}

long long cpm_FileSize(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return -1;
    const uint8_t *e = cpm_EntryBytes(volume, entry);
    return sizeOf(volume, fileEntries(volume, cpm_RawName(e, false), e[0]));
}

cpm_FileData cpm_LoadFile(const cpm_Volume &volume, const Text &name, int user) {
    cpm_FileData file;
    if (name.empty()) return file;
    user = cpm_UserOf(volume, user);
    file.Name = cpm_StoredName(volume, name, user);
    if (file.Name.empty()) file.Name = cpm_MakeName(name);
    bool wide = cpm_WideBlocks(volume);
    std::vector<int> entries = fileEntries(volume, file.Name, user);
    file.Size = std::max(0LL, sizeOf(volume, entries));
    for (int i : entries) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        file.Found = true;
        for (int b : cpm_RawBlocks(e, wide)) {
            long long start = cpm_BlockOffset(volume, b);
            if (start < 0) continue;   // beyond the end of the image: skipped
            if (cpm_BlockUnreadable(volume, b)) file.Unreadable.push_back(b);
            const uint8_t *from = volume.Image.data() + start;
            file.Data.Elements.insert(file.Data.Elements.end(), from, from + volume.Geometry.BlockSize);
            if (cpm_Diagnostics())
                cpm_Diag("cpm_LoadFile: Block = " + std::to_string(b) + ", Start = $" + t_Hex8(start) + ", Ende = $" +
                         t_Hex8(start + volume.Geometry.BlockSize - 1));
        }
    }
    return file;
}

long long cpm_RecordedSize(const cpm_Volume &volume, const Text &displayName, int user) {
    user = cpm_UserOf(volume, user);
    cpm_DirectoryLists other;
    if (user != volume.User) other = cpm_LoadDirectory(volume, user);
    const std::vector<Text> &names = user == volume.User ? volume.Names : other.Names;
    const std::vector<int> &sizes = user == volume.User ? volume.Sizes : other.Sizes;
    for (size_t i = 0; i < names.size() && i < sizes.size(); i++)
        if (sizes[i] >= 0 && names[i] == displayName) return sizes[i];
    return -1;
}
