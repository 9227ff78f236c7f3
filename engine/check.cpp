// The consistency check: every entry that holds blocks is looked at for its
// blocks, every file for its extents, every entry for its kind.
#include "check.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "entries.h"
#include "patterns.h"

namespace {

const char *const findingNames[] = {"shared-block",   "outside-block",  "directory-block", "extent-gap",   "extent-twice",
                                    "records-beyond", "records-short", "control-name",    "unknown-user",
                                    "unreadable-block"};

std::string numberList(const std::vector<int> &numbers) {
    std::string out;
    for (int n : numbers) out += (out.empty() ? "" : ", ") + std::to_string(n);
    return out;
}

std::string blockWord(const std::vector<int> &blocks) { return blocks.size() == 1 ? "block " : "blocks "; }

// Extents first..last of a file as text: entry numbers k times the logical
// extents each entry holds.
std::string extentText(int first, int last, int per) {
    int from = first * per, to = last * per + per - 1;
    return from == to ? "extent " + std::to_string(from) : "extents " + std::to_string(from) + "-" + std::to_string(to);
}

}  // namespace

const char *cpm_FindingName(cpm_FindingKind kind) { return findingNames[int(kind)]; }

cpm_CheckReport cpm_CheckVolume(const cpm_Volume &v) {
    cpm_CheckReport report;
    int present = cpm_PresentEntries(v);
    report.Entries = present;
    int n = cpm_BlockCount(v);
    bool wide = cpm_WideBlocks(v);
    int perEntry = cpm_ExtentsPerEntry(v);
    int blocksPerExtent = std::max(1, cpm_ExtentBytes / std::max(1, v.Geometry.BlockSize));
    bool passwords = cpm_PasswordsOn(v);

    std::vector<cpm_Finding> found;
    auto add = [&](int entry, cpm_FindingKind kind, std::string message, std::vector<int> blocks = {}, int other = -1) {
        found.push_back({entry, kind, std::move(message), std::move(blocks), other});
    };
    std::vector<int> owner(size_t(std::max(cpm_ReservationLimit(v), 0)), -1);
    // Per file (user and name, bit 7 cleared): the entries holding each extent.
    std::map<Text, std::map<int, std::vector<int>>> files;

    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(v, i);
        uint8_t user = e[0];
        cpm_EntryKind kind = cpm_KindOf(v, i, passwords);
        if (kind == cpm_EntryKind::Unknown) {
            char hex[8];
            snprintf(hex, sizeof hex, "0x%02X", user);
            add(i, cpm_FindingKind::UnknownUser, std::string("user byte ") + hex + " of no kind of entry");
            continue;
        }
        if (!cpm_HoldsBlocks(kind)) continue;   // erased, label, date stamps, password entries
        bool reservation = kind == cpm_EntryKind::Reservation;
        // The blocks: inside the volume, outside the directory, named once.
        std::vector<int> outside, directory, unreadable;
        std::map<int, std::vector<int>> shared;   // other entry -> blocks
        int limit = reservation ? cpm_ReservationLimit(v) : n;
        for (int b : cpm_EntryBlocks(v, i)) {
            if (cpm_BlockUnreadable(v, b)) unreadable.push_back(b);
            if (b < v.Geometry.DirBlocks) directory.push_back(b);
            else if (b >= limit) outside.push_back(b);
            else if (owner[size_t(b)] >= 0) shared[owner[size_t(b)]].push_back(b);
            else owner[size_t(b)] = i;
        }
        if (!unreadable.empty())
            add(i, cpm_FindingKind::UnreadableBlock, blockWord(unreadable) + numberList(unreadable) + " unreadable", unreadable);
        if (!directory.empty())
            add(i, cpm_FindingKind::DirectoryBlock,
                blockWord(directory) + numberList(directory) + " of the directory named as data", directory);
        if (!outside.empty())
            add(i, cpm_FindingKind::OutsideBlock,
                blockWord(outside) + numberList(outside) + " outside the volume (blocks " + std::to_string(v.Geometry.DirBlocks) +
                    "-" + std::to_string(n - 1) + ")",
                outside);
        for (auto &[other, blocks] : shared)
            add(i, cpm_FindingKind::SharedBlock,
                blockWord(blocks) + numberList(blocks) +
                    (other == i ? " named twice in this entry" : " also used by #" + std::to_string(other)),
                blocks, other);
        if (reservation) continue;

        if (cpm_HasControlName(e)) add(i, cpm_FindingKind::ControlName, "name with control characters");
        int records = e[15];
        int extent = cpm_RawExtent(e);
        if (records > 128) {
            add(i, cpm_FindingKind::RecordsBeyond, "record count " + std::to_string(records) + " beyond 128");
        } else {
            // The bytes the entry counts must lie in blocks it names, and
            // its last logical extent names as many blocks as its record
            // count needs, neither fewer nor more (fsck.cpm's "Bad record
            // count" counts the blocks named, whatever slots they are in).
            long long counted = cpm_EntryRecordBytes(e, perEntry);
            std::vector<int> held = cpm_EntryBlocks(v, i);
            int last = 0;
            for (int k = 0; k < cpm_SlotCount(wide); k++)
                if (cpm_SlotBlock(e, wide, k)) last = k + 1;
            int first = cpm_LastExtentInEntry(e, perEntry) * blocksPerExtent;
            int inExtent = std::min(int(held.size()) - first, blocksPerExtent);
            int needed = int(((long long)records * cpm_RecordSize + v.Geometry.BlockSize - 1) / v.Geometry.BlockSize);
            int from = std::clamp(first + needed, 0, int(held.size()));
            int to = std::clamp(first + inExtent, from, int(held.size()));
            std::vector<int> beyond(held.begin() + from, held.begin() + to);
            if (counted > (long long)last * v.Geometry.BlockSize || (!held.empty() && inExtent < needed))
                add(i, cpm_FindingKind::RecordsBeyond,
                    "record count " + std::to_string(records) + " beyond the entry's blocks");
            else if (!beyond.empty())
                add(i, cpm_FindingKind::RecordsShort,
                    "record count " + std::to_string(records) + " too small for its blocks (" + blockWord(beyond) +
                        numberList(beyond) + " beyond the records)",
                    beyond);
        }
        Text key = Text(std::vector<uint8_t>{user}) + cpm_RawName(e, false);
        files[key][extent / perEntry].push_back(i);
    }

    report.Files = int(files.size());
    for (auto &[key, extents] : files) {
        int lastExtent = extents.rbegin()->first;
        int mainEntry = extents.begin()->second.front();
        for (auto &[k, entries] : extents) mainEntry = std::min(mainEntry, entries.front());
        // Each run of entries that no entry holds, as one range.
        std::vector<std::string> missing;
        for (int k = 0; k < lastExtent; k++) {
            if (extents.count(k)) continue;
            int end = k;
            while (end + 1 < lastExtent && !extents.count(end + 1)) end++;
            missing.push_back(extentText(k, end, perEntry));
            k = end;
        }
        if (!missing.empty()) {
            std::string list;
            for (const std::string &m : missing) list += (list.empty() ? "" : ", ") + m;
            add(mainEntry, cpm_FindingKind::ExtentGap, list + " missing");
        }
        for (auto &[k, entries] : extents)
            for (size_t j = 1; j < entries.size(); j++)
                add(entries[j], cpm_FindingKind::ExtentTwice,
                    extentText(k, k, perEntry) + " given twice (also #" + std::to_string(entries[0]) + ")", {}, entries[0]);
    }
    std::stable_sort(found.begin(), found.end(), [](const cpm_Finding &a, const cpm_Finding &b) { return a.Entry < b.Entry; });
    report.Findings = std::move(found);
    return report;
}
