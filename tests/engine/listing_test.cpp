// The screen texts of the listings, sector map, blocks and hexdump as lines.
#include "directory.h"
#include "fixtures.h"
#include "hexdump.h"
#include "image.h"
#include "listing.h"
#include "maintenance.h"
#include "sector_map.h"

namespace {

using Lines = std::vector<std::string>;

cpm_Volume withSystemBit(cpm_Volume v, int entry) {
    v.Image[size_t(v.Geometry.DataStart + 32 * entry + 10)] |= 0x80;
    return cpm_Rebuild(std::move(v));
}

const std::string title = "Volume Name: test140.dsk (128K)";

TEST(Listing, ShortListingFourToALineWithoutSystemFiles) {
    EXPECT_EQ(cpm_DirectoryLines(fresh140(), cpm_ShortListing), (Lines{title, "", "0 files, 2K used, 126K free."}));
    EXPECT_EQ(cpm_DirectoryLines(fresh140(), cpm_LongListing), (Lines{title, "", "0 files, 2K used, 126K free."}));
    // Hidden system files are counted, not shown.
    // An empty file holds no block; D shows it as one block, as it always has.
    cpm_Volume v = withSystemBit(withFiles(fresh140(), {{"A.COM", 100}, {"B.SYS", 2000}, {"C.TXT", 0}}), 1);
    EXPECT_EQ(cpm_DirectoryLines(v, cpm_ShortListing),
              (Lines{title, "", "A       .COM   1 | C       .TXT   1 | ", "", "3 files, 5K used, 123K free."}));
    // Four shown files end their own line.
    v = withSystemBit(withFiles(fresh140(), {{"A", 1}, {"B", 1025}, {"C", 3000}, {"D", 1}, {"E", 1}}), 4);
    EXPECT_EQ(cpm_DirectoryLines(v, cpm_ShortListing),
              (Lines{title, "", "A       .      1 | B       .      2 | C       .      3 | D       .      1", "",
                     "5 files, 10K used, 118K free."}));
}

TEST(Listing, LongLines) {
    cpm_Volume v = fresh140();
    putEntry(v, 5, 0, "MBASIC  COM", 0, 0, 128, {2});
    putEntry(v, 6, 0, "MBASIC  COM", 1, 0, 62, {3});
    putEntry(v, 7, 0, "STAT    \xC3\xCF\xCD", 0, 0, 1, {4});
    putEntry(v, 8, 0, "BIG     TX\xD4", 0, 0, 128, {5});
    putEntry(v, 9, 0, "BIG     TX\xD4", 1, 0, 128, {6});
    putEntry(v, 10, 0, "BIG     TX\xD4", 2, 0, 1, {7});
    v = cpm_Rebuild(std::move(v));
    EXPECT_EQ(cpm_DirectoryLines(v, cpm_LongListing),
              (Lines{title, "", "MBASIC  .COM  24K  24.320 Bytes  #  5  R/W  (1 Extension)",
                     "STAT    .COM   1K     128 Bytes  #  7  R/O  SYS  (Archived)",
                     "BIG     .TXT  33K  32.896 Bytes  #  8  R/W  (Archived)  (2 Extensions)", "",
                     "3 files, 8K used, 120K free."}));
}

TEST(Listing, SummaryAndSizes) {
    cpm_Volume v = fresh140();
    v.UsedKB = 1500;
    v.VolumeKB = 2048;
    EXPECT_EQ(cpm_ListingSummary(v, 1), "1 files, 1.500K used, 548K free.");
    cpm_Volume p = freshPlain(256);
    const std::pair<int, int> sizes[] = {{0, 2}, {1, 2}, {2048, 2}, {2049, 4}, {4096, 4}};
    for (auto [bytes, kb] : sizes) EXPECT_EQ(cpm_SizeK(p, bytes), kb) << bytes;
}

TEST(SectorMap, RowsOfA140KVolume) {
    EXPECT_EQ(cpm_SectorMapLines(withFiles(fresh140(), {{"F", 28 * 1024}})),
              (Lines{title, "", "    0000000000111111111122222222223333333333444444444455555555556666",
                     "Blk 0123456789012345678901234567890123456789012345678901234567890123 Size",
                     "000 ******************************..................................  64K",
                     "064 ................................................................ 128K", "",
                     "30K used, 98K free."}));
}

TEST(SectorMap, BlanksAfterTheLastBlockAndWideVolumes) {
    EXPECT_EQ(cpm_SectorMapRow(freshPlain(100), 0), "000 **" + std::string(48, '.') + std::string(14, ' ') + " 128K");
    Lines lines = cpm_SectorMapLines(freshPlain(1024));
    EXPECT_EQ(lines[3], "Blk 0123456789012345678901234567890123456789012345678901234567890123  Size");
    EXPECT_EQ(lines[4], "000 **..............................................................  128K");
    EXPECT_EQ(lines[11], "448 ................................................................ 1024K");
    EXPECT_EQ(lines.back(), "4K used, 1.020K free.");
    // A plain 4 MB image: every row label takes four digits, the rulers move with them.
    cpm_Volume v = cpm_InitVolume(cpm_OpenImage(fileBytes(4096 * 1024), "huge.vol"));
    std::string row = cpm_SectorMapRow(v, 16);
    EXPECT_EQ(row.substr(0, 5), "1024 ");
    EXPECT_EQ(row.size(), 69u + 6);
    EXPECT_EQ(row.substr(69), " 2176K");
    EXPECT_EQ(cpm_SectorMapRow(v, 0).substr(0, 5), "0000 ");
    EXPECT_EQ(cpm_SectorMapRuler(v)[1].substr(0, 6), "Blk  0");
}

TEST(Blocks, MainEntryAndExtensions) {
    EXPECT_EQ(cpm_BlocksLines(withFiles(fresh140(), {{"FILE.DAT", 40000}}), T("FILE.DAT")),
              (Lines{"Blocks for FILE    .DAT", "",
                     "2       3       4       5       6       7       8       9       10      11      ",
                     "12      13      14      15      16      17      ", "", "Extensions for FILE    .DAT", "",
                     "18      19      20      21      22      23      24      25      26      27      ",
                     "28      29      30      31      32      33      34      35      36      37      ",
                     "38      39      40      41      "}));
    cpm_Volume v = fresh140();
    putEntry(v, 0, 0, "WS      \xC3OM", 0, 0, 1, {2});
    putEntry(v, 1, 0xE5, "GONE    TXT", 0, 0, 1, {3});
    v = cpm_Rebuild(std::move(v));
    EXPECT_EQ(cpm_BlocksLines(v, T("WS.COM")), (Lines{"WS      .COM not found"}));
    EXPECT_EQ(cpm_BlocksLines(v, T("GONE.TXT")), (Lines{"Blocks for GONE    .TXT", "", "3       "}));
    EXPECT_TRUE(cpm_BlocksLines(v, Text()).empty());
}

TEST(Hexdump, OffsetsDigitsAndTheCharacterColumn) {
    EXPECT_EQ(cpm_HexdumpLines(T("HELLO, WORLD!\r\n\x1A")),
              (Lines{"00000000: 48 45 4C 4C 4F 2C 20 57 4F 52 4C 44 21 0D 0A 1A  HELLO, WORLD!MJZ"}));
    // Control bytes show as their control letters up to 0x1F; bit 7 is cleared first.
    Text edges(std::vector<uint8_t>{0x00, 0x1E, 0x1F, 0x20, 0x21, 0x7E, 0x80, 0x9F, 0xA0, 0xC1, 0x1B, 0x40, 0x60, 0x5F, 0x41, 0x42});
    EXPECT_EQ(cpm_HexdumpLines(edges),
              (Lines{"00000000: 00 1E 1F 20 21 7E 80 9F A0 C1 1B 40 60 5F 41 42  @^_ !~@_ A[@`_AB"}));
    Lines lines = cpm_HexdumpLines(pattern(1024));
    ASSERT_EQ(lines.size(), 64u);
    EXPECT_EQ(lines.back().substr(0, 10), "000003F0: ");
    EXPECT_EQ(cpm_HexdumpLines(T("AB")), (Lines{"00000000: 41 42 "}));   // a partial line has no column
}

TEST(TypeText, StopsAtControlZAndEndsLines) {
    EXPECT_EQ(cpm_TypeLines(T("line one\r\nline\ttwo\rthree\nfour\x01\xC6ive\x1Anever")),
              (Lines{"line one", "line\ttwo", "three", "fourFive"}));
}

TEST(HostNames, NamesFromTheVolumeAreSafeOnTheHost) {
    const std::pair<std::string, const char *> cases[] = {
        {"README  .TXT", "README.TXT"}, {"README  .   ", "README."},  {"A       .B  ", "A.B"},
        {"../../X .   ", ".._.._X."},   {"A/B     .TXT", "A_B.TXT"},  {std::string("A\0B     .   ", 12), "A_B."},
        {"        .   ", "_"},          {".       .   ", "__"},      {"..      .   ", "..."},
    };
    for (const auto &[display, host] : cases) EXPECT_EQ(cpm_HostName(Text(display)), host) << display;
}

}  // namespace
