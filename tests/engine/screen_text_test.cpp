// The screen texts of the listings, sector map, transfers and hexdump as lines.
#include "fixtures.h"
#include "screen_text.h"

using Lines = std::vector<std::string>;

static cpm_Volume withFiles(cpm_Volume v, const std::vector<std::pair<std::string, size_t>> &files) {
    for (const auto &[name, size] : files) {
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), T(name), pattern(size));
        EXPECT_EQ(r.Message, "") << name;
        v = std::move(r.Volume);
    }
    return v;
}

static cpm_Volume withSystemBit(cpm_Volume v, int entry) {
    v.Image[size_t(v.DataStart + 32 * entry + 10)] |= 0x80;
    return cpm_Rebuild(std::move(v));
}

TEST(Listing, EmptyVolume) {
    const Lines empty{"Volume Name: test140.dsk (128K)", "", "0 files, 2K used, 126K free."};
    EXPECT_EQ(cpm_DirectoryLines(fresh140(), cpm_ShortListing), empty);
    EXPECT_EQ(cpm_DirectoryLines(fresh140(), cpm_LongListing), empty);
}

TEST(Listing, ShortListingCountsHiddenSystemFiles) {
    cpm_Volume v = withFiles(fresh140(), {{"A.COM", 100}, {"B.SYS", 2000}, {"C.TXT", 0}});
    v = withSystemBit(std::move(v), 1);
    EXPECT_EQ(cpm_DirectoryLines(v, cpm_ShortListing), (Lines{"Volume Name: test140.dsk (128K)", "",
                                               "A       .COM   1 | C       .TXT   1 | ", "",
                                               "3 files, 6K used, 122K free."}));
}

TEST(Listing, FourShownFilesEndTheirOwnLine) {
    cpm_Volume v = withFiles(fresh140(), {{"A", 1}, {"B", 1025}, {"C", 3000}, {"D", 1}, {"E", 1}});
    v = withSystemBit(std::move(v), 4);
    Lines lines = cpm_DirectoryLines(v, cpm_ShortListing);
    EXPECT_EQ(lines, (Lines{"Volume Name: test140.dsk (128K)", "",
                            "A       .      1 | B       .      2 | C       .      3 | D       .      1", "",
                            "5 files, 10K used, 118K free."}));
}

TEST(Listing, LongLine) {
    cpm_Volume v = fresh140();
    putEntry(v, 5, 0, "MBASIC  COM", 0, 0, 128, {2});
    putEntry(v, 6, 0, "MBASIC  COM", 1, 0, 62, {3});
    putEntry(v, 7, 0, "STAT    \xC3\xCF\xCD", 0, 0, 1, {4});
    putEntry(v, 8, 0, "BIG     TX\xD4", 0, 0, 128, {5});
    putEntry(v, 9, 0, "BIG     TX\xD4", 1, 0, 128, {6});
    putEntry(v, 10, 0, "BIG     TX\xD4", 2, 0, 1, {7});
    v = cpm_Rebuild(std::move(v));
    EXPECT_EQ(cpm_LongEntryText(v, 5), "MBASIC  .COM  24K  24.320 Bytes  #  5  R/W  (1 Extension)");
    EXPECT_EQ(cpm_LongEntryText(v, 7), "STAT    .COM   1K     128 Bytes  #  7  R/O  SYS  (Archived)");
    EXPECT_EQ(cpm_LongEntryText(v, 8), "BIG     .TXT  33K  32.896 Bytes  #  8  R/W  (Archived)  (2 Extensions)");
    Lines lines = cpm_DirectoryLines(v, cpm_LongListing);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], cpm_LongEntryText(v, 5));
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "3 files, " + std::to_string(v.UsedKB) + "K used, " + std::to_string(v.VolumeKB - v.UsedKB) + "K free.");
}

TEST(Listing, SummaryAndSizes) {
    cpm_Volume v = fresh140();
    v.UsedKB = 96;
    v.VolumeKB = 128;
    EXPECT_EQ(cpm_ListingSummary(v, 12), "12 files, 96K used, 32K free.");
    v.UsedKB = 1500;
    v.VolumeKB = 2048;
    EXPECT_EQ(cpm_ListingSummary(v, 1), "1 files, 1.500K used, 548K free.");
    cpm_Volume p = freshPlain(256);
    EXPECT_EQ(cpm_SizeK(p, 0), 2);
    EXPECT_EQ(cpm_SizeK(p, 2048), 2);
    EXPECT_EQ(cpm_SizeK(p, 2049), 4);
}

TEST(SectorMap, RowsOfA140KVolume) {
    cpm_Volume v = withFiles(fresh140(), {{"F", 28 * 1024}});
    Lines lines = cpm_SectorMapLines(v);
    Lines expected = {
        "Volume Name: test140.dsk (128K)",
        "",
        "    0000000000111111111122222222223333333333444444444455555555556666",
        "Blk 0123456789012345678901234567890123456789012345678901234567890123 Size",
        "000 ******************************..................................  64K",
        "064 ................................................................ 128K",
        "",
        "30K used, 98K free.",
    };
    EXPECT_EQ(lines, expected);
}

TEST(SectorMap, BlanksAfterTheLastBlockAndWideVolumes) {
    cpm_Volume small = freshPlain(100);   // 50 blocks
    EXPECT_EQ(cpm_SectorMapRow(small, 0), "000 **" + std::string(48, '.') + std::string(14, ' ') + " 128K");
    cpm_Volume big = freshPlain(1024);
    Lines lines = cpm_SectorMapLines(big);
    EXPECT_EQ(lines[3], "Blk 0123456789012345678901234567890123456789012345678901234567890123  Size");
    EXPECT_EQ(lines[4], "000 **..............................................................  128K");
    EXPECT_EQ(lines[11], "448 ................................................................ 1024K");
    EXPECT_EQ(lines.back(), "4K used, 1.020K free.");
}

TEST(SectorMap, FourDigitRowsLoseTheirLastCell) {
    // A plain 4 MB image: row 1024 starts one column later; the size is
    // written from column 69 on, as t_Htab puts it on the screen.
    cpm_Volume v = cpm_InitVolume(cpm_OpenImage(fileBytes(4096 * 1024), "huge.vol"));
    std::string row = cpm_SectorMapRow(v, 16);
    EXPECT_EQ(row.substr(0, 5), "1024 ");
    EXPECT_EQ(row.size(), 68u + 1 + 5);
    EXPECT_EQ(row.substr(68), " 2176K");
}

TEST(Blocks, MainEntryAndExtensions) {
    cpm_Volume v = withFiles(fresh140(), {{"FILE.DAT", 40000}});
    Lines lines = cpm_BlocksLines(v, T("FILE.DAT"));
    Lines expected = {
        "Blocks for FILE    .DAT",
        "",
        "2       3       4       5       6       7       8       9       10      11      ",
        "12      13      14      15      16      17      ",
        "",
        "Extensions for FILE    .DAT",
        "",
        "18      19      20      21      22      23      24      25      26      27      ",
        "28      29      30      31      32      33      34      35      36      37      ",
        "38      39      40      41      ",
    };
    EXPECT_EQ(lines, expected);
}

TEST(Blocks, NotFoundAndAttributeBits) {
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "WS      \xC3OM", 0, 0, 1, {2});
    putEntry(v, 1, 0xE5, "GONE    TXT", 0, 0, 1, {3});
    v = cpm_Rebuild(std::move(v));
    EXPECT_EQ(cpm_BlocksLines(v, T("WS.COM")), (Lines{"WS      .COM not found"}));
    EXPECT_EQ(cpm_BlocksLines(v, T("GONE.TXT")), (Lines{"Blocks for GONE    .TXT", "", "3       "}));
    EXPECT_TRUE(cpm_BlocksLines(v, Text()).empty());
}

TEST(Hexdump, OffsetDigitsAndCharacterColumn) {
    Text data = T("HELLO, WORLD!\r\n\x1A");
    EXPECT_EQ(cpm_HexdumpLines(data),
              (Lines{"00000000: 48 45 4C 4C 4F 2C 20 57 4F 52 4C 44 21 0D 0A 1A  HELLO, WORLD!MJZ"}));
    Text block = pattern(1024);
    block[5] = 0xC1;   // bit 7 set: shown as "A"
    Lines lines = cpm_HexdumpLines(block);
    ASSERT_EQ(lines.size(), 64u);
    EXPECT_EQ(lines.back().substr(0, 10), "000003F0: ");
    EXPECT_EQ(lines[0].size(), 10u + 48 + 1 + 16);
    EXPECT_EQ(lines[0][59 + 5], 'A');
    EXPECT_EQ(cpm_HexdumpLines(T("AB")), (Lines{"00000000: 41 42 "}));
}

TEST(TypeText, StopsAtControlZAndEndsLines) {
    Text data = T("line one\r\nline\ttwo\rthree\nfour\x01\xC6ive\x1Anever");
    EXPECT_EQ(cpm_TypeLines(data), (Lines{"line one", "line\ttwo", "three", "fourFive"}));
}

TEST(HostNames, BlanksRemoved) {
    EXPECT_EQ(cpm_HostName(T("README  .TXT")), "README.TXT");
    EXPECT_EQ(cpm_HostName(T("README  .   ")), "README.");
}
