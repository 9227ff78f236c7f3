// Erase and unerase, sorting, initialising.
#include "fixtures.h"

static int listedCount(const cpm_Volume &v) {
    int n = 0;
    for (int s : v.Sizes) n += s >= 0;
    return n;
}

TEST(SetFileUser, EraseAndUneraseAllEntriesOfAFile) {
    cpm_Volume v = fresh140();
    v = cpm_SaveFile(std::move(v), T("TEST.COM"), pattern(40000)).Volume;
    int usedBefore = v.UsedKB;
    cpm_SetUserResult r = cpm_SetFileUser(v, T("TEST.COM"), 0xE5);
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.Message, "");
    EXPECT_EQ(r.Name, T("TEST    .COM"));
    EXPECT_TRUE(r.Volume.Changed);
    for (int i = 0; i < 3; i++) EXPECT_EQ(entryAt(r.Volume, i)[0], 0xE5);
    EXPECT_EQ(listedCount(r.Volume), 0);
    EXPECT_EQ(r.Volume.UsedKB, usedBefore - 40);
    EXPECT_EQ(std::string((const char *)entryAt(r.Volume, 0) + 1, 11), "TEST    COM");   // name and blocks kept

    cpm_SetUserResult back = cpm_SetFileUser(r.Volume, T("TEST.COM"), 0);
    EXPECT_TRUE(back.Found);
    EXPECT_EQ(back.Volume.Image, v.Image);
    EXPECT_EQ(back.Volume.Sizes, v.Sizes);
    EXPECT_EQ(back.Volume.UsedKB, usedBefore);
}

TEST(SetFileUser, ByEntryNumber) {
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
    for (const char *bad : {"#64", "#-1", "#99999999999"}) {
        cpm_SetUserResult no = cpm_SetFileUser(v, T(bad), 0xE5);
        EXPECT_FALSE(no.Found) << bad;
        EXPECT_FALSE(no.Volume.Changed);
        EXPECT_EQ(no.Volume.Image, v.Image);
    }
    EXPECT_TRUE(cpm_SetFileUser(v, T("#x"), 0xE5).Found);   // nothing readable: entry 0
}

TEST(SetFileUser, NotFound) {
    cpm_Volume v = fresh140();
    cpm_SetUserResult r = cpm_SetFileUser(v, Text(), 0xE5);
    EXPECT_FALSE(r.Found);
    r = cpm_SetFileUser(v, T("NOPE.TXT"), 0xE5);
    EXPECT_FALSE(r.Found);
    EXPECT_EQ(r.Name, T("NOPE    .TXT"));
    EXPECT_FALSE(r.Volume.Changed);
}

TEST(SetFileUser, NamesAreNotFiltered) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "WS      \xC3OM", 0, 0, 1, {2});
    putEntry(v, 1, 0, "LOWER   txt", 0, 0, 1, {3});
    v = cpm_Rebuild(std::move(v));
    EXPECT_FALSE(cpm_SetFileUser(v, T("WS.COM"), 0xE5).Found);   // attribute bits: "#" form only
    EXPECT_TRUE(cpm_SetFileUser(v, T("#0"), 0xE5).Found);
    EXPECT_TRUE(cpm_SetFileUser(v, T("LOWER.txt"), 0xE5).Found);
    EXPECT_EQ(cpm_SetFileUser(v, T("VERYLONGNAME.TEXT"), 0xE5).Name, T("VERYLONG.TEX"));
}

TEST(SetFileUser, UneraseOntoBlocksInUseIsRefused) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "NEW     TXT", 0, 0, 8, {2});
    putEntry(v, 1, 0xE5, "OLD     TXT", 0, 0, 24, {2, 3, 4});
    v = cpm_Rebuild(std::move(v));
    cpm_SetUserResult r = cpm_SetFileUser(v, T("OLD.TXT"), 0);
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.Message, "Blocks used by another file.");
    EXPECT_EQ(r.Volume.Image, v.Image);
    EXPECT_FALSE(r.Volume.Changed);
    EXPECT_EQ(cpm_SetFileUser(v, T("#1"), 0).Message, "Blocks used by another file.");
    // Erasing the other file first makes room again.
    v = cpm_SetFileUser(std::move(v), T("NEW.TXT"), 0xE5).Volume;
    r = cpm_SetFileUser(v, T("OLD.TXT"), 0);
    EXPECT_EQ(r.Message, "");
    EXPECT_EQ(listedCount(r.Volume), 1);
}

TEST(SetFileUser, UneraseOntoReservedBlocksIsRefused) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 31, "BOOT    SYS", 0, 0, 8, {10});
    putEntry(v, 1, 0xE5, "GONE    TXT", 0, 0, 8, {10});
    v = cpm_Rebuild(std::move(v));
    EXPECT_EQ(cpm_SetFileUser(v, T("GONE.TXT"), 0).Message, "Blocks used by another file.");
}

TEST(SetFileUser, AfterSortingErasedFilesAreGone) {
    cpm_Volume v = fresh140();
    v = cpm_SaveFile(std::move(v), T("A.TXT"), T("a")).Volume;
    v = cpm_SetFileUser(std::move(v), T("A.TXT"), 0xE5).Volume;
    v = cpm_Alphabetize(std::move(v), true, true);
    EXPECT_FALSE(cpm_SetFileUser(v, T("A.TXT"), 0).Found);
    for (int k = 0; k < 32; k++) EXPECT_EQ(entryAt(v, 0)[k], 0xE5);
}

// Names of the listed files in directory order.
static std::vector<std::string> order(const cpm_Volume &v) {
    std::vector<std::string> out;
    for (int i = 0; i < v.DirEntries; i++)
        if (v.Sizes[size_t(i)] >= 0) out.push_back(v.Names[size_t(i)].bytes());
    return out;
}

TEST(Alphabetize, OrdersOfNamesAndSizes) {
    cpm_Volume v = fresh140();
    v = cpm_SaveFile(std::move(v), T("ZED.COM"), pattern(5000)).Volume;
    v = cpm_SaveFile(std::move(v), T("ABC.TXT"), pattern(1000)).Volume;
    v = cpm_SaveFile(std::move(v), T("MID.DAT"), pattern(20000)).Volume;
    v = cpm_SaveFile(std::move(v), T("TWIN.A"), pattern(1000)).Volume;
    struct Case {
        bool ByNames, Ascending;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
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
    cpm_Volume v = fresh140();
    v = cpm_SaveFile(std::move(v), T("ZED.COM"), pattern(40000)).Volume;   // entries 0-2
    v = cpm_SaveFile(std::move(v), T("ABC.TXT"), pattern(100)).Volume;     // entry 3
    cpm_Volume up = cpm_Alphabetize(v, true, true);
    EXPECT_EQ(std::string((const char *)entryAt(up, 0) + 1, 11), "ABC     TXT");
    for (int i = 1; i <= 3; i++) {
        EXPECT_EQ(std::string((const char *)entryAt(up, i) + 1, 11), "ZED     COM");
        EXPECT_EQ(entryAt(up, i)[12], i - 1);
    }
    EXPECT_EQ(entryAt(up, 4)[0], 0xE5);
    cpm_Volume down = cpm_Alphabetize(v, true, false);
    EXPECT_EQ(entryAt(down, 0)[0], 0xE5);
    EXPECT_EQ(std::string((const char *)entryAt(down, 60) + 1, 11), "ZED     COM");
    EXPECT_EQ(std::string((const char *)entryAt(down, 63) + 1, 11), "ABC     TXT");
    cpm_Volume bySize = cpm_Alphabetize(v, false, true);
    EXPECT_EQ(entryAt(bySize, 0)[12], 0);
    EXPECT_EQ(std::string((const char *)entryAt(bySize, 1) + 1, 11), "ABC     TXT");
    EXPECT_EQ(entryAt(bySize, 2)[12], 1);   // -2 before -3
    EXPECT_EQ(entryAt(bySize, 3)[12], 2);
    EXPECT_EQ(cpm_LoadFile(bySize, T("ZED.COM")).Data, cpm_LoadFile(v, T("ZED.COM")).Data);
}

TEST(InitVolume, KeepsSystemTracks) {
    Text file = pattern(143360, 3);
    for (size_t i = 0; i < 8; i++) file[i] = signature140(true)[i];
    cpm_Volume loaded = cpm_OpenImage(file, "sys.dsk");
    cpm_Volume v = cpm_InitVolume(loaded);
    EXPECT_TRUE(v.Changed);
    for (size_t i = 0; i < 12288; i++) ASSERT_EQ(v.Image[i], loaded.Image[i]);
    for (size_t i = 12288; i < 12288 + 2048; i++) ASSERT_EQ(v.Image[i], 0xE5);
    for (size_t i = 12288 + 2048; i < 143360; i++) ASSERT_EQ(v.Image[i], 0x00);
    EXPECT_EQ(v.UsedKB, 2);
    EXPECT_EQ(listedCount(v), 0);
}

TEST(InitVolume, BytesPastTheLastWholeKBStay) {
    Text file = pattern(65536 + 700, 4);
    cpm_Volume v = cpm_InitVolume(cpm_OpenImage(file, "odd.vol"));
    for (size_t i = 65536; i < 65536 + 700; i++) ASSERT_EQ(v.Image[i], file[i]);
}
