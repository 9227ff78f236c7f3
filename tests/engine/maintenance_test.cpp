// Erase and unerase, sorting, initialising; CP/M 3 label and date stamps
// through them.
#include "apple_images.h"
#include "definitions.h"
#include "directory.h"
#include "entry.h"
#include "image.h"
#include "maintenance.h"
#include "read.h"
#include "volume.h"
#include "write.h"

namespace {

TEST(SetFileUser, EraseAndUneraseAllEntriesOfAFile) {
    cpm_Volume v = withFiles(fresh140(), {{"TEST.COM", 40000}});
    cpm_SetUserResult r = cpm_SetFileUser(v, T("TEST.COM"), 0xE5);
    EXPECT_EQ(std::tie(r.Found, r.Message, r.Name, r.Volume.Changed), std::make_tuple(true, "", T("TEST    .COM"), true));
    for (int i = 0; i < 3; i++) EXPECT_EQ(entryAt(r.Volume, i)[0], 0xE5);
    EXPECT_EQ(listedFiles(r.Volume), 0);
    EXPECT_EQ(r.Volume.UsedKB, v.UsedKB - 40);
    EXPECT_EQ(entryName(r.Volume, 0), "TEST    COM");   // name and blocks kept

    cpm_SetUserResult back = cpm_SetFileUser(r.Volume, T("TEST.COM"), 0);
    EXPECT_EQ(std::tie(back.Found, back.Volume.Image, back.Volume.Sizes, back.Volume.UsedKB),
              std::make_tuple(true, v.Image, v.Sizes, v.UsedKB));
}

TEST(SetFileUser, ByEntryNumberAndNotFound) {
    cpm_Volume v = fresh140();
    for (int i = 0; i < 7; i++) v = cpm_SaveFile(std::move(v), T("F" + std::to_string(i)), T("x")).Volume;
    v.Changed = false;
    cpm_SetUserResult r = cpm_SetFileUser(v, T("#5"), 0xE5);
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.Name, T("F5      .   "));
    for (int i = 0; i < 7; i++) EXPECT_EQ(entryAt(r.Volume, i)[0], i == 5 ? 0xE5 : 0);
    r = cpm_SetFileUser(r.Volume, T("#5"), 0);
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.Volume.Image, v.Image);
    // An entry holding no file: its name is the one byte 0xE5.
    cpm_SetUserResult blank = cpm_SetFileUser(v, T("# 20"), 0xE5);
    EXPECT_TRUE(blank.Found);
    EXPECT_EQ(blank.Name, Text(std::vector<uint8_t>{0xE5}));
    EXPECT_TRUE(cpm_SetFileUser(v, T("#x"), 0xE5).Found);   // nothing readable: entry 0
    // A name or number not found changes nothing.
    v = fresh140();
    putEntry(v, 0, 0, "WS      \xC3OM", 0, 0, 1, {2});
    putEntry(v, 1, 0, "LOWER   txt", 0, 0, 1, {3});
    v = cpm_Rebuild(std::move(v));
    // Names are not filtered: attribute bits are only reached by number.
    for (const char *name : {"", "NOPE.TXT", "WS.COM", "#64", "#-1", "#99999999999"}) {
        r = cpm_SetFileUser(v, T(name), 0xE5);
        EXPECT_EQ(std::make_tuple(r.Found, r.Volume.Changed, r.Volume.Image), std::make_tuple(false, false, v.Image)) << name;
    }
    EXPECT_EQ(cpm_SetFileUser(v, T("NOPE.TXT"), 0xE5).Name, T("NOPE    .TXT"));
    EXPECT_TRUE(cpm_SetFileUser(v, T("#0"), 0xE5).Found);
    EXPECT_TRUE(cpm_SetFileUser(v, T("LOWER.txt"), 0xE5).Found);
    EXPECT_EQ(cpm_SetFileUser(v, T("VERYLONGNAME.TEXT"), 0xE5).Name, T("VERYLONG.TEX"));
}

TEST(SetFileUser, UneraseOntoBlocksInUseIsRefused) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "NEW     TXT", 0, 0, 8, {2});
    putEntry(v, 1, 0xE5, "OLD     TXT", 0, 0, 24, {2, 3, 4});
    putEntry(v, 2, 31, "BOOT    SYS", 0, 0, 8, {10});   // reserved blocks count as in use
    putEntry(v, 3, 0xE5, "GONE    TXT", 0, 0, 8, {10});
    v = cpm_Rebuild(std::move(v));
    for (const char *name : {"OLD.TXT", "#1", "GONE.TXT"}) {
        cpm_SetUserResult r = cpm_SetFileUser(v, T(name), 0);
        EXPECT_EQ(std::make_tuple(r.Found, r.Message, r.Volume.Image, r.Volume.Changed),
                  std::make_tuple(true, "Blocks used by another file.", v.Image, false)) << name;
    }
    // Erasing the other file first makes room again.
    v = cpm_SetFileUser(std::move(v), T("NEW.TXT"), 0xE5).Volume;
    cpm_SetUserResult r = cpm_SetFileUser(v, T("OLD.TXT"), 0);
    EXPECT_EQ(r.Message, "");
    EXPECT_EQ(listedFiles(r.Volume), 1);
}

// Names of the listed files in directory order.
std::vector<std::string> order(const cpm_Volume &v) {
    std::vector<std::string> out;
    for (int i = 0; i < v.Geometry.DirEntries; i++)
        if (v.Sizes[size_t(i)] >= 0) out.push_back(v.Names[size_t(i)].bytes());
    return out;
}

TEST(Alphabetize, OrdersOfNamesAndSizes) {
    cpm_Volume v = withFiles(fresh140(), {{"ZED.COM", 5000}, {"ABC.TXT", 1000}, {"MID.DAT", 20000}, {"TWIN.A", 1000}});
    struct Case { bool ByNames, Ascending; std::vector<std::string> Expected; } cases[] = {
        {true, true, {"ABC     .TXT", "MID     .DAT", "TWIN    .A  ", "ZED     .COM"}},
        {true, false, {"ZED     .COM", "TWIN    .A  ", "MID     .DAT", "ABC     .TXT"}},
        {false, true, {"MID     .DAT", "ZED     .COM", "ABC     .TXT", "TWIN    .A  "}},
        {false, false, {"MID     .DAT", "ZED     .COM", "TWIN    .A  ", "ABC     .TXT"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.ByNames) + std::to_string(c.Ascending));
        cpm_Volume s = cpm_Alphabetize(v, c.ByNames, c.Ascending);
        EXPECT_TRUE(s.Changed);
        EXPECT_EQ(order(s), c.Expected);
        for (const char *name : {"ZED.COM", "ABC.TXT", "MID.DAT", "TWIN.A"})
            EXPECT_EQ(cpm_LoadFile(s, T(name)).Data, cpm_LoadFile(v, T(name)).Data);
    }
}

TEST(Alphabetize, WhereFreeEntriesAndExtentsGo) {
    cpm_Volume v = withFiles(fresh140(), {{"ZED.COM", 40000}, {"ABC.TXT", 100}});   // entries 0-2, 3
    cpm_Volume up = cpm_Alphabetize(v, true, true);
    EXPECT_EQ(entryName(up, 0), "ABC     TXT");
    for (int i = 1; i <= 3; i++) {
        EXPECT_EQ(entryName(up, i), "ZED     COM");
        EXPECT_EQ(entryAt(up, i)[12], i - 1);
    }
    EXPECT_EQ(entryAt(up, 4)[0], 0xE5);
    cpm_Volume down = cpm_Alphabetize(v, true, false);
    EXPECT_EQ(entryAt(down, 0)[0], 0xE5);
    EXPECT_EQ(entryName(down, 60), "ZED     COM");
    EXPECT_EQ(entryName(down, 63), "ABC     TXT");
    cpm_Volume bySize = cpm_Alphabetize(v, false, true);
    EXPECT_EQ(entryName(bySize, 1), "ABC     TXT");
    const int extents[] = {0, -1, 1, 2};   // -2 before -3
    for (int i : {0, 2, 3}) EXPECT_EQ(entryAt(bySize, i)[12], extents[i]);
}

// The stamp a file entry should carry: its name and extent number; and
// where entry i's stamp lies.
std::vector<uint8_t> stampFor(const uint8_t *e) {
    std::vector<uint8_t> s(e + 1, e + 11);
    s[8] = e[12];
    s[9] = 0x5A;
    return s;
}
uint8_t *stampOf(cpm_Volume &v, int i) { return v.Image.data() + v.Geometry.DataStart + 32 * (i | 3) + 1 + 10 * (i % 4); }

// A 256K volume with a label in entry 0, stamp entries in every fourth slot,
// six files written by the engine, and each entry's stamp set.
cpm_Volume stampedVolume() {
    cpm_Volume v = freshPlain(256);
    putEntry(v, 0, 0x20, "WORKDISK   ", 0, 0, 0, {});
    for (int i = 3; i < v.Geometry.DirEntries; i += 4) {
        std::fill_n(v.Image.data() + 32 * i, 32, 0);
        v.Image[size_t(32 * i)] = 0x21;
    }
    v = withFiles(cpm_Rebuild(std::move(v)), {{"ZED.COM", 3000}, {"ABC.TXT", 100}, {"MID.DAT", 40000},
                                              {"Q.TXT", 5000}, {"B.BIN", 1}, {"LONG.DAT", 70000}});
    for (int i = 0; i < v.Geometry.DirEntries; i++)
        if (entryAt(v, i)[0] == 0 && i % 4 != 3) {
            std::vector<uint8_t> s = stampFor(entryAt(v, i));
            std::copy(s.begin(), s.end(), stampOf(v, i));
        }
    return v;
}

void expectStampsInPlace(cpm_Volume v) {
    EXPECT_EQ(entryAt(v, 0)[0], 0x20);
    for (int i = 3; i < v.Geometry.DirEntries; i += 4) ASSERT_EQ(entryAt(v, i)[0], 0x21) << "stamp entry " << i << " moved";
    int files = 0;
    for (int i = 0; i < v.Geometry.DirEntries; i++) {
        if (entryAt(v, i)[0] != 0) continue;
        files++;
        std::vector<uint8_t> want = stampFor(entryAt(v, i));
        EXPECT_TRUE(std::equal(want.begin(), want.end(), stampOf(v, i))) << "entry " << i << " has another file's dates";
    }
    EXPECT_EQ(files, 9);   // MID.DAT and LONG.DAT take two and three entries
}

TEST(Stamps, SortingKeepsEachFilesDates) {
    cpm_Volume v = stampedVolume();
    expectStampsInPlace(v);
    for (bool byNames : {true, false})
        for (bool ascending : {true, false}) {
            SCOPED_TRACE(std::string(byNames ? "names " : "size ") + (ascending ? "ascending" : "descending"));
            cpm_Volume sorted = cpm_Alphabetize(v, byNames, ascending);
            expectStampsInPlace(sorted);
            for (const char *name : {"ZED.COM", "MID.DAT", "LONG.DAT", "B.BIN"})
                EXPECT_EQ(cpm_LoadFile(sorted, T(name)).Data, cpm_LoadFile(v, T(name)).Data) << name;
        }
    // Sorted by names ascending, ABC.TXT comes first after the label.
    EXPECT_EQ(entryName(cpm_Alphabetize(v, true, true), 1), "ABC     TXT");
}

// Erasing clears the erased entry's stamps (to zero); unerasing leaves them
// cleared and changes nothing else.
TEST(Stamps, EraseClearsTheStampsUneraseLeavesThemCleared) {
    cpm_Volume v = stampedVolume();
    ASSERT_EQ(entryName(v, 1), "ZED     COM");
    cpm_SetUserResult e = cpm_SetFileUser(v, T("ZED.COM"), cpm_ErasedUser);
    ASSERT_TRUE(e.Found);
    EXPECT_TRUE(std::all_of(stampOf(e.Volume, 1), stampOf(e.Volume, 1) + 10, [](uint8_t b) { return b == 0; }));
    cpm_SetUserResult u = cpm_SetFileUser(e.Volume, T("ZED.COM"), 0);
    ASSERT_TRUE(u.Found);
    cpm_Volume want = v;
    std::fill_n(stampOf(want, 1), 10, uint8_t(0));
    EXPECT_EQ(u.Volume.Image, want.Image);
    for (const char *n : {"#3", "#0", "#7"}) {   // the label and stamp entries are no files
        cpm_SetUserResult r = cpm_SetFileUser(v, T(n), cpm_ErasedUser);
        EXPECT_FALSE(r.Found) << n;
        EXPECT_EQ(r.Volume.Image, v.Image) << n;
    }
}

TEST(InitVolume, KeepsSystemTracksAndBytesPastTheLastWholeKB) {
    Text file = pattern(143360, 3);
    for (size_t i = 0; i < 8; i++) file[i] = signature140(true)[i];
    // Boot tracks and data of no CP/M disk: initialised as the format the user chose.
    cpm_Volume loaded = cpm_OpenImageAs(file, "sys.dsk", *cpm_FindDefinition("apple2-do"));
    cpm_Volume v = cpm_InitVolume(loaded);
    EXPECT_TRUE(v.Changed);
    for (size_t i = 0; i < 143360; i++)
        ASSERT_EQ(v.Image[i], i < 12288 ? loaded.Image[i] : i < 12288 + 2048 ? 0xE5 : 0x00) << i;
    EXPECT_EQ(v.UsedKB, 2);
    EXPECT_EQ(listedFiles(v), 0);

    Text odd = pattern(65536 + 700, 4);
    v = cpm_InitVolume(cpm_OpenImageAs(odd, "odd.vol", *cpm_FindDefinition("plain")));
    for (size_t i = 65536; i < 65536 + 700; i++) ASSERT_EQ(v.Image[i], odd[i]);
}

}  // namespace
