// Writing a host file into the volume as a new CP/M file.
//
// Two deliberate choices: free entries are looked for in the
// whole directory (not only its first 120 entries), and only entries whose
// user byte is 0xE5 count as free; blocks named by any entry of users 0-15
// or by a reservation are never handed out (cpm_TakenBlocks).  The entries and blocks a file needs are counted
// before anything is written, so a refused file leaves the volume unchanged.
#include "write.h"

#include <algorithm>

#include "allocation.h"
#include "directory.h"
#include "entries.h"
#include "passwords.h"
#include "stamps.h"

const char *const cpm_FileExistsMessage = "File exists.";
static const std::string fileExists = cpm_FileExistsMessage;
static const std::string directoryFull = "Directory full.";
static const std::string noSpace = "Not enough free space on volume.";
static const std::string noUserArea = "No such user area.";

// An entry of the user area, an erased entry (which unerasing may bring back
// into any user area) or the user area's password entry (user + 16) with the
// same display name.  Files of other user areas may have the name.
static bool nameTaken(const cpm_Volume &volume, const Text &name, int user) {
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        bool mine = e[0] == user || e[0] == cpm_ErasedUser || e[0] == user + cpm_UserAreas;
        if (mine && cpm_NameIs(e, name, false)) return true;
    }
    return false;
}

// The first `needed` free entries in directory order (fewer when the directory has fewer).
static std::vector<int> freeEntries(const cpm_Volume &volume, size_t needed) {
    std::vector<int> found;
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present && found.size() < needed; i++)
        if (cpm_EntryBytes(volume, i)[0] == cpm_ErasedUser) found.push_back(i);
    return found;
}

// The first `needed` blocks a new file may take, in ascending order (first fit).
static std::vector<int> freeBlocks(const cpm_Volume &volume, size_t needed) {
    std::vector<uint8_t> taken = cpm_TakenBlocks(volume);
    std::vector<int> found;
    for (size_t b = 0; b < taken.size() && found.size() < needed; b++)
        if (!taken[b]) found.push_back(int(b));
    return found;
}

bool cpm_NameOnlyErased(const cpm_Volume &volume, const Text &name, int user) {
    if (name.empty()) return false;
    user = cpm_UserOf(volume, user);
    Text cpmName = cpm_MakeName(name);
    bool erased = false;
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (!cpm_NameIs(e, cpmName, false)) continue;
        if (e[0] == user || e[0] == user + cpm_UserAreas) return false;
        erased = erased || e[0] == cpm_ErasedUser;
    }
    return erased;
}

cpm_Volume cpm_FreeName(cpm_Volume volume, const Text &name, int user) {
    if (name.empty() || cpm_Refused(volume)) return volume;
    user = cpm_UserOf(volume, user);
    Text cpmName = cpm_MakeName(name);
    // The file's password entry goes with it, as erasing it in CP/M 3 does.
    bool changed = cpm_PasswordEntryOf(volume, cpmName, user) >= 0;
    cpm_DropPasswordEntry(volume, cpmName, user);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        uint8_t *e = cpm_EntryBytes(volume, i);
        if ((e[0] != user && e[0] != cpm_ErasedUser) || !cpm_NameIs(e, cpmName, false)) continue;
        cpm_ClearStamps(volume, i);
        std::fill(e, e + cpm_EntrySize, cpm_ErasedUser);
        changed = true;
    }
    if (!changed) return volume;
    volume.Changed = true;
    return cpm_Rebuild(std::move(volume));
}

const char *const cpm_InvalidNameMessage = "not a valid CP/M name.";

// A name whose eight name characters are all blank ("*.*", "...") names no file.
static bool blankName(const Text &cpmName) {
    return std::all_of(cpmName.Elements.begin(), cpmName.Elements.begin() + 8, [](uint8_t b) { return b == ' '; });
}

// The entries and blocks a file of `length` bytes takes.
struct Needs {
    long long Entries, Blocks;
};
static Needs needsOf(const cpm_Volume &volume, long long length) {
    const long long bs = volume.Geometry.BlockSize, perEntry = cpm_BlocksPerEntry(volume);
    return {length / bs / perEntry + 1, (length + bs - 1) / bs};
}

// Where a file of `length` bytes would go: the refusal, in the order the
// checks come, or the free entries and blocks it takes (first fit).
struct Plan {
    std::string Refusal;
    std::vector<int> Entries, Blocks;
};
static Plan plan(const cpm_Volume &volume, const Text &cpmName, long long length, int user) {
    Plan p;
    auto refused = [&](const std::string &why) {
        p.Refusal = why;
        return p;
    };
    if (cpm_Refused(volume)) return refused(volume.Refusal);
    if (user < 0 || user >= cpm_UserAreas) return refused(noUserArea);
    if (blankName(cpmName)) return refused(cpm_InvalidNameMessage);
    if (nameTaken(volume, cpmName, user)) return refused(fileExists);
    Needs needs = needsOf(volume, length);
    p.Entries = freeEntries(volume, size_t(needs.Entries));
    if ((long long)p.Entries.size() < needs.Entries) return refused(directoryFull);
    if (length > ((long long)volume.VolumeKB - volume.UsedKB) * 1024) return refused(noSpace);
    p.Blocks = freeBlocks(volume, size_t(needs.Blocks));
    if ((long long)p.Blocks.size() < needs.Blocks) return refused(noSpace);
    return p;
}

std::string cpm_SaveFileRefusal(const cpm_Volume &volume, const Text &name, long long length, int user) {
    if (name.empty()) return "";
    return plan(volume, cpm_MakeName(name), length, cpm_UserOf(volume, user)).Refusal;
}

cpm_SaveFileResult cpm_SaveFile(cpm_Volume volume, const Text &name, const Text &data, int user) {
    if (name.empty()) return {std::move(volume), Text(), ""};
    user = cpm_UserOf(volume, user);
    Text cpmName = cpm_MakeName(name);
    const long long length = (long long)data.size();
    Plan place = plan(volume, cpmName, length, user);
    if (!place.Refusal.empty()) return {std::move(volume), cpmName, place.Refusal};

    const long long bs = volume.Geometry.BlockSize;
    const bool wide = cpm_WideBlocks(volume);
    // A directory entry names up to blocksPerEntry blocks and covers one or
    // more logical extents of 16K; a file takes one entry more than its full
    // blocks fill; an empty file is one entry without blocks, as cpmtools
    // makes it (needsOf).
    const long long blocksPerEntry = cpm_BlocksPerEntry(volume);
    const long long blocksPerExtent = std::max(1LL, cpm_ExtentBytes / bs);
    const long long extentsPerEntry = cpm_ExtentsPerEntry(volume);
    const long long fullBlocks = length / bs;
    const Needs needs = needsOf(volume, length);
    const long long entriesNeeded = needs.Entries;
    const std::vector<int> &entries = place.Entries, &blocks = place.Blocks;

    // Copy the data, the rest of the last block filled with 0x1A.
    for (size_t k = 0; k < blocks.size(); k++) {
        uint8_t *to = volume.Image.data() + volume.Geometry.DataStart + (long long)blocks[k] * bs;
        long long from = (long long)k * bs;
        long long n = std::min(bs, std::max(0LL, length - from));
        if (n > 0) std::copy_n(data.data() + from, n, to);
        std::fill(to + n, to + bs, uint8_t(0x1A));
    }
    const int lastRC = int(((length % cpm_ExtentBytes) + cpm_RecordSize - 1) / cpm_RecordSize);

    // The directory entries, each with the next blocksPerEntry blocks.  An
    // entry's extent number is that of the last logical extent it uses (EX
    // and S2, cpm_PutRawExtent); its record count is
    // 128 when that extent is full, else the records of the file's last one.
    // The last entry counts the bytes of the file's last record (byte 13,
    // 0 for a whole record), so that cpmtools copies out exactly the data.
    for (long long k = 0, firstBlock = 0; k < entriesNeeded; k++, firstBlock += blocksPerEntry) {
        uint8_t *e = cpm_EntryBytes(volume, entries[size_t(k)]);
        std::fill(e, e + cpm_EntrySize, uint8_t(0));
        e[0] = uint8_t(user);
        std::copy_n(cpmName.data(), 8, e + 1);
        std::copy_n(cpmName.data() + 9, 3, e + 9);
        const long long fullBlocksLeft = fullBlocks - firstBlock;
        const long long lastExtent = std::min(fullBlocksLeft / blocksPerExtent, extentsPerEntry - 1);
        const long long extent = k * extentsPerEntry + lastExtent;
        cpm_PutRawExtent(e, extent);
        e[15] = uint8_t(fullBlocksLeft >= blocksPerExtent * (lastExtent + 1) ? 128 : lastRC);
        if (k == entriesNeeded - 1) e[13] = uint8_t(length % cpm_RecordSize);
        for (long long s = 0; s < blocksPerEntry && firstBlock + s < (long long)blocks.size(); s++)
            cpm_PutSlotBlock(e, wide, int(s), blocks[size_t(firstBlock + s)]);
    }
    // On a stamped disk every entry of the new file gets the stamps its label asks for.
    for (int entry : entries) cpm_StampNewFile(volume, entry);
    volume.Changed = true;
    return {cpm_Rebuild(std::move(volume)), cpmName, ""};
}
