// Writing and reading files.
#include "directory.h"
#include "fixtures.h"
#include "maintenance.h"
#include "read.h"
#include "volume.h"
#include "write.h"

namespace {

// Raw fields of the entries a write made, in directory order.
struct EntryShape { int Ex, S2, Rc, Blocks; friend bool operator==(const EntryShape &, const EntryShape &) = default; };
std::ostream &operator<<(std::ostream &o, const EntryShape &e) {
    return o << "{EX " << e.Ex << ", S2 " << e.S2 << ", RC " << e.Rc << ", " << e.Blocks << " blocks}";
}

std::vector<EntryShape> shapes(const cpm_Volume &v, const std::string &name11) {
    std::vector<EntryShape> out;
    for (int i = 0; i < v.Geometry.DirEntries; i++) {
        const uint8_t *e = entryAt(v, i);
        if (e[0] == 0 && entryName(v, i) == name11) out.push_back({e[12], e[14], e[15], int(entryBlocks(v, i).size())});
    }
    return out;
}

TEST(SaveFile, EntriesAtTheEdgesOfRecordsBlocksAndExtents) {
    struct Case {
        const char *What;
        cpm_Volume Volume;
        size_t Length;
        std::vector<EntryShape> Entries;
        int ListedSize;
    } cases[] = {
        {"40000 bytes, 2K blocks, 8-bit", freshPlain(256), 40000, {{1, 0, 128, 16}, {2, 0, 57, 4}}, 40064},
        {"40000 bytes, 140K", fresh140(), 40000, {{0, 0, 128, 16}, {1, 0, 128, 16}, {2, 0, 57, 8}}, 40064},
        {"16384 bytes, 2K blocks, 8-bit", freshPlain(256), 16384, {{1, 0, 0, 8}}, 16384},
        {"32768 bytes, 2K blocks, 8-bit", freshPlain(256), 32768, {{1, 0, 128, 16}, {2, 0, 0, 0}}, 32768},
        {"20000 bytes, 800K", fresh800(), 20000, {{0, 0, 128, 8}, {1, 0, 29, 2}}, 20096},
        {"empty file, 140K", fresh140(), 0, {{0, 0, 0, 0}}, 0},
        {"empty file, 800K", fresh800(), 0, {{0, 0, 0, 0}}, 0},
        {"16385 bytes, 2K blocks, 16-bit", freshPlain(1024), 16385, {{0, 0, 128, 8}, {1, 0, 1, 1}}, 16512},
        {"1023 bytes, 140K", fresh140(), 1023, {{0, 0, 8, 1}}, 1024},
        {"1025 bytes, 140K", fresh140(), 1025, {{0, 0, 9, 2}}, 1152},
        {"16383 bytes, 140K", fresh140(), 16383, {{0, 0, 128, 16}}, 16384},
        {"16384 bytes, 140K", fresh140(), 16384, {{0, 0, 128, 16}, {1, 0, 0, 0}}, 16384},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        Text data = pattern(c.Length, int(c.Length));
        cpm_SaveFileResult r = cpm_SaveFile(c.Volume, T("file.dat"), data);
        ASSERT_EQ(r.Message, "");
        EXPECT_EQ(r.Name, T("FILE    .DAT"));
        EXPECT_TRUE(r.Volume.Changed);
        EXPECT_EQ(shapes(r.Volume, "FILE    DAT"), c.Entries);
        int first = -1;
        for (int i = 0; i < r.Volume.Geometry.DirEntries && first < 0; i++)
            if (r.Volume.Sizes[size_t(i)] >= 0) first = i;
        ASSERT_GE(first, 0);
        EXPECT_EQ(r.Volume.Sizes[size_t(first)], c.ListedSize);
        EXPECT_EQ(r.Volume.Extents[size_t(first)], int(c.Entries.size()) - 1);
        // The last entry counts the bytes of the last record, and the size is exact.
        EXPECT_EQ(entryAt(r.Volume, first + int(c.Entries.size()) - 1)[13], c.Length % 128);
        EXPECT_EQ(cpm_FileSize(r.Volume, first), (long long)c.Length);
        cpm_FileData f = cpm_LoadFile(r.Volume, T("FILE.DAT"));
        ASSERT_TRUE(f.Found);
        EXPECT_EQ(f.Size, (long long)c.Length);
        size_t blocks = (c.Length + size_t(c.Volume.Geometry.BlockSize) - 1) / size_t(c.Volume.Geometry.BlockSize);
        ASSERT_EQ(f.Data.size(), blocks * size_t(c.Volume.Geometry.BlockSize));
        for (size_t i = 0; i < f.Data.size(); i++) ASSERT_EQ(f.Data[i], i < c.Length ? data[i] : 0x1A) << i;
        EXPECT_EQ(r.Volume.UsedKB - c.Volume.UsedKB, int(blocks) * c.Volume.Geometry.BlockSize / 1024);
    }
}

TEST(SaveFile, EmptyNameWritesNothingAndExistingNamesAreRefused) {
    cpm_Volume v = fresh140();
    cpm_SaveFileResult r = cpm_SaveFile(v, Text(), T("abc"));
    EXPECT_EQ(std::make_tuple(r.Message, r.Name, r.Volume.Image, r.Volume.Changed), std::make_tuple("", Text(), v.Image, false));
    // A file exists even erased or with attributes.
    v = withFiles(fresh140(), {{"HELLO.TXT", 3}});
    EXPECT_EQ(cpm_SaveFile(v, T("hello.txt"), T("two")).Message, "File exists.");
    v = cpm_SetFileUser(std::move(v), T("HELLO.TXT"), 0xE5).Volume;
    r = cpm_SaveFile(v, T("HELLO.TXT"), T("two"));
    EXPECT_EQ(r.Message, "File exists.");
    EXPECT_EQ(r.Volume.Image, v.Image);
    v = cpm_Alphabetize(std::move(v), true, true);   // sorting drops erased entries
    EXPECT_EQ(cpm_SaveFile(v, T("HELLO.TXT"), T("two")).Message, "");

    cpm_Volume w = fresh140();
    putEntry(w, 0, 0, "WS      \xC3OM", 0, 0, 1, {2});
    EXPECT_EQ(cpm_SaveFile(cpm_Rebuild(std::move(w)), T("WS.COM"), T("x")).Message, "File exists.");
}

// Full directories and volumes refuse the whole file before anything is written.
TEST(SaveFile, RefusedWhenDirectoryOrSpaceRunsOut) {
    auto numbered = [](cpm_Volume v, int count) {
        for (int i = 0; i < count; i++) v = cpm_SaveFile(std::move(v), T("F" + std::to_string(i)), T("x")).Volume;
        return v;
    };
    cpm_Volume full = numbered(fresh140(), 64);
    EXPECT_EQ(cpm_LoadFile(full, T("F63")).Data.size(), 1024u);
    struct Case { const char *What; cpm_Volume Volume; size_t Length; const char *Message; } cases[] = {
        {"64 entries used, space short too", full, 200000, "Directory full."},
        {"two entries needed, one free", numbered(fresh140(), 63), 20000, "Directory full."},
        {"one entry needed, one free", numbered(fresh140(), 63), 16383, ""},
        {"the whole directory is searched, not 120 entries", numbered(freshPlain(2048), 127), 1, ""},
        {"128 entries used", numbered(freshPlain(2048), 128), 1, "Directory full."},
        {"1 byte more than the free 126K", fresh140(), 126 * 1024 + 1, "Not enough free space on volume."},
        {"the free 126K", fresh140(), 126 * 1024, ""},
        {"an empty file on a full volume takes no block", withFiles(fresh140(), {{"ALL", 126 * 1024}}), 0, ""},
        {"one byte on a full volume", withFiles(fresh140(), {{"ALL", 126 * 1024}}), 1, "Not enough free space on volume."},
    };
    for (const Case &c : cases) {
        cpm_SaveFileResult r = cpm_SaveFile(c.Volume, T("NEW.DAT"), pattern(c.Length));
        EXPECT_EQ(r.Message, c.Message) << c.What;
        if (*c.Message) { EXPECT_EQ(r.Volume.Image, c.Volume.Image) << c.What; }
    }
}

TEST(SaveFile, ReservedBlocksAreUsedAndPasswordEntriesHoldNone) {
    // Entries of users 16-31 on a 140K disk (blocks 2-127, 128-139 wrap
    // round onto the boot tracks): a reservation (SoftCard and CP/AM boot
    // areas, the DOS half of a hybrid disk) holds its blocks; beside a
    // label that turns passwords on they are password entries, whose bytes
    // 16-31 are no block numbers.
    const uint8_t passwordsOn = 0x81, labelOnly = 0x01;
    struct Case {
        const char *What;
        int Label;               // byte 12 of a label entry, -1: no label
        uint8_t User;
        std::string Name;
        std::vector<int> Blocks;
        bool Reserved;
    } cases[] = {
        {"user 31 reserves", -1, 31, "DOS     HLF", {2, 3, 4, 5}, true},
        {"user 16 reserves", -1, 16, "DOS     HLF", {2, 3, 4, 5}, true},
        {"a label without passwords", labelOnly, 31, "DOS     HLF", {2, 3, 4, 5}, true},
        {"the wrap-round blocks are no part of the map", -1, 31, "CP/M    SYS", {128, 129, 2, 3, 4, 5}, true},
        {"passwords on", passwordsOn, 31, "DOS     HLF", {2, 3, 4, 5}, false},
        {"passwords on, user 16", passwordsOn, 16, "SECRET  COM", {2, 3, 4, 5}, false},
        {"a control character in the name", -1, 20, "PASS\x01   COM", {2, 3, 4, 5}, false},
        {"a number outside the volume", -1, 31, "SECRET  COM", {2, 3, 4, 5, 200}, false},
        {"a directory block", -1, 31, "SECRET  COM", {1, 2, 3, 4, 5}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        cpm_Volume v = fresh140();
        putEntry(v, 0, c.User, c.Name, 0, 0, 32, c.Blocks);
        if (c.Label >= 0) putEntry(v, 1, 0x20, "DISK       ", c.Label, 0, 0, {});
        putEntry(v, 2, 0, " HIDDEN TXT", 0, 0, 8, {6});   // a blank first name: off the map, never handed out
        v = cpm_Rebuild(std::move(v));
        EXPECT_EQ(v.UsedKB, c.Reserved ? 6 : 2);
        EXPECT_EQ(v.BlockMap[2], c.Reserved ? 1 : 0);
        cpm_SaveFileResult r = cpm_SaveFile(v, T("NEW.TXT"), pattern(3000));
        ASSERT_EQ(r.Message, "");
        EXPECT_EQ(entryAt(r.Volume, 0)[0], c.User);
        int added = c.Label >= 0 ? 3 : 1;   // the first free entry
        EXPECT_EQ(entryName(r.Volume, added), "NEW     TXT");
        EXPECT_EQ(entryBlocks(r.Volume, added), c.Reserved ? (std::vector<int>{7, 8, 9}) : (std::vector<int>{2, 3, 4}));
        EXPECT_EQ(entryName(r.Volume, 2), " HIDDEN TXT");
    }

    // Only the reserved blocks are left: no free space, and refused.
    cpm_Volume w = fresh140();
    for (int k = 0; k < 8; k++) {
        std::vector<int> part;
        for (int b = 2 + 16 * k; b < 18 + 16 * k && b < 128; b++) part.push_back(b);
        putEntry(w, k, 31, "RESERVE" + std::to_string(k) + "SYS", k, 0, 128, part);
    }
    w = cpm_Rebuild(std::move(w));
    EXPECT_EQ(w.VolumeKB - w.UsedKB, 0);
    cpm_SaveFileResult s = cpm_SaveFile(w, T("X"), T("x"));
    EXPECT_EQ(s.Message, "Not enough free space on volume.");
    EXPECT_EQ(s.Volume.Image, w.Image);
}

TEST(SaveFile, FirstFitReusesErasedEntriesAndBlocks) {
    cpm_Volume v = withFiles(fresh140(), {{"A", 3000}, {"B", 1000}});
    EXPECT_EQ(entryBlocks(v, 0), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(entryBlocks(v, 1), (std::vector<int>{5}));
    v = cpm_SetFileUser(std::move(v), T("A"), 0xE5).Volume;
    v = withFiles(std::move(v), {{"C", 5000}});
    EXPECT_EQ(entryName(v, 0), "C          ");
    EXPECT_EQ(entryBlocks(v, 0), (std::vector<int>{2, 3, 4, 6, 7}));
}

TEST(LoadFile, FindsByNameWholeBlocksAndOddEntries) {
    cpm_Volume v = withFiles(fresh140(), {{"TEXT.TXT", 1000}});
    cpm_FileData f = cpm_LoadFile(v, T("text.txt"));
    EXPECT_EQ(std::make_tuple(f.Found, f.Name, f.Data.size()), std::make_tuple(true, T("TEXT    .TXT"), 1024u));
    EXPECT_EQ(cpm_RecordedSize(v, T("TEXT    .TXT")), 1024);
    EXPECT_EQ(cpm_RecordedSize(v, T("B       .TXT")), -1);

    cpm_FileData none = cpm_LoadFile(v, T("OTHER.TXT"));
    EXPECT_EQ(std::make_tuple(none.Found, none.Data.size(), none.Name), std::make_tuple(false, 0u, T("OTHER   .TXT")));
    cpm_FileData empty = cpm_LoadFile(v, Text());
    EXPECT_FALSE(empty.Found);
    EXPECT_TRUE(empty.Name.empty());
    // Odd entries.
    v = fresh140();
    putEntry(v, 0, 0, "WS      \xC3OM", 0, 0, 8, {7});       // found by its plain name
    putEntry(v, 1, 0, "NONE    TXT", 0, 0, 0, {});          // no blocks
    putEntry(v, 2, 0xE5, "GONE    TXT", 0, 0, 8, {9});      // only live entries of the user area are read
    putEntry(v, 3, 0, "FAR     TXT", 0, 0, 8, {200, 5});    // blocks beyond the image are skipped
    v = cpm_Rebuild(std::move(v));
    const std::tuple<const char *, bool, size_t> cases[] = {
        {"WS.COM", true, 1024}, {"NONE.TXT", true, 0}, {"GONE.TXT", false, 0}, {"FAR.TXT", true, 1024}};
    for (const auto &[name, found, size] : cases) {
        cpm_FileData f = cpm_LoadFile(v, T(name));
        EXPECT_EQ(f.Found, found) << name;
        EXPECT_EQ(f.Data.size(), size) << name;
    }
    cpm_Volume w = fresh800();
    putEntry(w, 0, 0, "FAR     TXT", 0, 0, 8, {65535, 391});
    EXPECT_EQ(cpm_LoadFile(w, T("FAR.TXT")).Data.size(), 2048u);
}

}  // namespace
