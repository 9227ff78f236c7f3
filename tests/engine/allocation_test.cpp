// The block map and the used space.
#include "fixtures.h"

TEST(SectorMap, FreshVolumes) {
    struct Case {
        const char *What;
        cpm_Volume V;
        int Blocks, DirBlocks, UsedKB, FreeKB;
    };
    const Case cases[] = {
        {"140K", fresh140(), 128, 2, 2, 126},
        {"800K", fresh800(), 392, 4, 8, 776},
        {"plain 64K", freshPlain(64), 32, 2, 4, 60},
        {"plain 2048K", freshPlain(2048), 1024, 2, 4, 2044},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.What);
        ASSERT_EQ(int(c.V.BlockMap.size()), c.Blocks);
        for (int b = 0; b < c.Blocks; b++) EXPECT_EQ(c.V.BlockMap[size_t(b)], b < c.DirBlocks ? 1 : 0);
        EXPECT_EQ(c.V.UsedKB, c.UsedKB);
        EXPECT_EQ(c.V.VolumeKB - c.V.UsedKB, c.FreeKB);
    }
}

TEST(SectorMap, IllegalBlockNumbersAreReported) {
    cpm_Volume v = fresh140();
    putEntry(v, 4, 0, "BAD     COM", 0, 0, 1, {1, 5, 128});
    LogCapture log;
    cpm_SectorMap m = cpm_LoadSectorMap(v);
    EXPECT_TRUE(log.has("cpm_LoadSectorMap: Illegal block number for file #4: Blk 1"));
    EXPECT_TRUE(log.has("cpm_LoadSectorMap: Illegal block number for file #4: Blk 128"));
    EXPECT_EQ(m.UsedKB, 3);
    EXPECT_EQ(m.BlockMap[5], 1);
}

TEST(SectorMap, WhichEntriesCount) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0xE5, "GONE    TXT", 0, 0, 1, {10});
    putEntry(v, 1, 0, " SPACE  TXT", 0, 0, 1, {11});
    putEntry(v, 2, 3, "USER3   TXT", 0, 0, 1, {12});
    putEntry(v, 3, 0, "\x85HIGH   TXT", 0, 0, 1, {13});
    putEntry(v, 4, 0, "!MARK   TXT", 0, 0, 1, {14});
    cpm_SectorMap m = cpm_LoadSectorMap(v);
    EXPECT_EQ(m.BlockMap[10], 0);
    EXPECT_EQ(m.BlockMap[11], 0);
    EXPECT_EQ(m.BlockMap[12], 1);   // files of every user area 0-15
    EXPECT_EQ(m.BlockMap[13], 1);
    EXPECT_EQ(m.BlockMap[14], 1);
    EXPECT_EQ(m.UsedKB, 5);
}

TEST(SectorMap, SharedBlockMarkedOnceCountedTwice) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "A       TXT", 0, 0, 1, {20});
    putEntry(v, 1, 0, "B       TXT", 0, 0, 1, {20});
    cpm_SectorMap m = cpm_LoadSectorMap(v);
    EXPECT_EQ(m.UsedKB, 4);
    int marked = 0;
    for (uint8_t b : m.BlockMap) marked += b;
    EXPECT_EQ(marked, 3);
}

TEST(SectorMap, SixteenBitSlots) {
    cpm_Volume v = fresh800();
    putEntry(v, 0, 0, "A       TXT", 0, 0, 1, {300, 391, 392});
    LogCapture log;
    cpm_SectorMap m = cpm_LoadSectorMap(v);
    EXPECT_EQ(m.BlockMap[300], 1);
    EXPECT_EQ(m.BlockMap[391], 1);
    EXPECT_TRUE(log.has("cpm_LoadSectorMap: Illegal block number for file #0: Blk 392"));
    EXPECT_EQ(m.UsedKB, 8 + 4);
}

TEST(SectorMap, DirectoryLargerThanVolume) {
    cpm_Volume v = cpm_OpenImage(fileBytes(2048 + 100), "tiny");   // one block, two directory blocks
    EXPECT_EQ(v.BlockMap.size(), 1u);
    EXPECT_EQ(v.BlockMap[0], 1);
}
