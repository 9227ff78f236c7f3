// Recognition by contents: the score of a directory, the decision among
// the readings, and what is not CP/M.
#include "apple_images.h"
#include "recognition.h"

namespace {

// One raw directory entry.
std::vector<uint8_t> entry(uint8_t user, const std::string &name11, int ex, int rc, std::vector<int> blocks, int s2 = 0) {
    std::vector<uint8_t> e(32, 0);
    e[0] = user;
    for (size_t k = 0; k < 11; k++) e[1 + k] = uint8_t(k < name11.size() ? name11[k] : ' ');
    e[12] = uint8_t(ex);
    e[14] = uint8_t(s2);
    e[15] = uint8_t(rc);
    for (size_t k = 0; k < blocks.size(); k++) e[16 + k] = uint8_t(blocks[k]);
    return e;
}

// 64 entries of a 140K disk (two directory blocks, blocks up to 139, 8-bit).
cpm_Score score140(const std::vector<std::pair<int, std::vector<uint8_t>>> &entries) {
    std::vector<uint8_t> dir(64 * 32, 0xE5);
    for (const auto &[i, e] : entries) std::copy(e.begin(), e.end(), dir.begin() + i * 32);
    return cpm_ScoreDirectory(dir.data(), {64, 2, 140, false});
}

struct ScoreCase {
    const char *What;
    std::vector<std::pair<int, std::vector<uint8_t>>> Entries;
    int Good, Bad;
};

TEST(Recognition, DirectoryScore) {
    std::vector<uint8_t> stamps(32, 0);
    stamps[0] = 0x21;
    const ScoreCase cases[] = {
        {"nothing but 0xE5", {}, 0, 0},
        {"files of users 0 and 15", {{0, entry(0, "A       COM", 0, 8, {2})}, {1, entry(15, "B       TXT", 0, 8, {3})}}, 2, 0},
        {"attribute bits in the name", {{0, entry(0, "A       C\xCF\xCD", 0, 8, {2})}}, 1, 0},
        {"user-31 reservation of the boot tracks, wrapping round",
         {{0, entry(31, "CP/M    SYS", 0, 96, {128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139})}}, 1, 0},
        {"block 140", {{0, entry(0, "A       COM", 0, 8, {140})}}, 0, 1},
        {"a directory block", {{0, entry(0, "A       COM", 0, 8, {1})}}, 0, 1},
        {"control character in the name", {{0, entry(0, "A\x01      COM", 0, 8, {2})}}, 0, 1},
        {"EX 32", {{0, entry(0, "A       COM", 32, 8, {2})}}, 0, 1},
        {"S2 64", {{0, entry(0, "A       COM", 0, 8, {2}, 64)}}, 0, 1},
        {"RC 129", {{0, entry(0, "A       COM", 0, 129, {2})}}, 0, 1},
        {"an entry of zeros", {{0, std::vector<uint8_t>(32, 0)}}, 0, 1},
        {"two files claiming one block",
         {{0, entry(0, "A       COM", 0, 16, {2, 5})}, {1, entry(0, "B       COM", 0, 16, {5, 6})}, {2, entry(0, "C       COM", 0, 8, {7})}}, 1, 2},
        {"user 16 without a label", {{0, entry(16, "SECRET  ", 0, 0, {})}}, 0, 1},
        {"label, stamps, passwords",
         {{0, entry(0x20, "DISK    ", 0, 0, {})}, {1, entry(16, "SECRET  ", 0, 0, {})}, {2, entry(0, "A       COM", 0, 8, {2})},
          {3, stamps}, {7, stamps}}, 5, 0},
        {"a stamp entry out of its slot", {{2, stamps}}, 0, 1},
        {"a second label", {{0, entry(0x20, "DISK    ", 0, 0, {})}, {1, entry(0x20, "DISK2   ", 0, 0, {})}}, 1, 1},
        {"user byte 0x22", {{0, entry(0x22, "A       COM", 0, 8, {2})}}, 0, 1},
    };
    for (const ScoreCase &c : cases) {
        cpm_Score s = score140(c.Entries);
        EXPECT_EQ(s.Good, c.Good) << c.What;
        EXPECT_EQ(s.Bad, c.Bad) << c.What;
    }
}

TEST(Recognition, PlausibleDirectories) {
    struct Case {
        int Good, Bad;
        bool Plausible;
    };
    const Case cases[] = {{0, 0, true}, {1, 0, true}, {3, 1, false}, {4, 0, true}, {7, 1, false},
                          {8, 1, true}, {16, 2, true}, {16, 3, false}, {0, 128, false}};
    for (const Case &c : cases) EXPECT_EQ(cpm_Plausible({c.Good, c.Bad}), c.Plausible) << c.Good << "/" << c.Bad;
}

class Recognise : public ::testing::Test {
  protected:
    void SetUp() override { cpm_SetDiagnostics(false); }
    void TearDown() override { cpm_SetDiagnostics(true); }
};

struct BlankCase {
    const char *Name;
    size_t Size;
    cpm_Format Format;
    cpm_Order Order;
};

// Blank disks (all 0xE5) fit every reading: the extension decides.
TEST_F(Recognise, BlankDisksByExtension) {
    const BlankCase cases[] = {
        {"x.do", 143360, cpm_Format::Apple140K, cpm_Order::Dos},
        {"x.po", 143360, cpm_Format::Apple140K, cpm_Order::ProDos},
        {"x.dsk", 143360, cpm_Format::Apple140K, cpm_Order::Dos},
        {"X.DSK", 143360, cpm_Format::Apple140K, cpm_Order::Dos},
        {"x.2mg", 143360, cpm_Format::Apple140K, cpm_Order::Dos},
        {"x.2img", 143360, cpm_Format::Apple140K, cpm_Order::Dos},
        {"x.img", 143360, cpm_Format::Plain, cpm_Order::AsStored},
        {"x", 143360, cpm_Format::Plain, cpm_Order::AsStored},
        {"x.po", 819200, cpm_Format::Apple800K, cpm_Order::ProDosBlocks},
        {"x.vol", 819200, cpm_Format::Plain, cpm_Order::AsStored},
        {"x.po", 262144, cpm_Format::Plain, cpm_Order::AsStored},
    };
    for (const BlankCase &c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.Size));
        cpm_Volume v = cpm_OpenImage(Text(std::vector<uint8_t>(c.Size, 0xE5)), c.Name);
        EXPECT_EQ(v.Format, c.Format) << v.Decision;
        EXPECT_EQ(v.Order, c.Order) << v.Decision;
        EXPECT_EQ(v.Refusal, "");
    }
    cpm_Volume blank2img = cpm_OpenImage(twoImg(Text(std::vector<uint8_t>(143360, 0xE5)), 1), "x.img");
    EXPECT_EQ(blank2img.Order, cpm_Order::ProDos) << blank2img.Decision;
    EXPECT_NE(blank2img.Decision.find("2IMG format field"), std::string::npos) << blank2img.Decision;
}

// What the N(ew command makes stays plain at every size and name.
TEST_F(Recognise, NewVolumesStayPlain) {
    test_TempFolder folder;
    for (int kb : {140, 800, 64, 2048})
        for (const char *name : {"x.dsk", "x.po", "x.do", "x.vol"}) {
            SCOPED_TRACE(std::to_string(kb) + " " + name);
            std::string path = folder.at(std::to_string(kb) + name);
            cpm_NewVolumeResult r = cpm_NewVolume(path, kb);
            ASSERT_EQ(r.Message, "");
            cpm_Volume v = cpm_SaveFile(cpm_LoadVolume(path), Text("A.TXT"), pattern(3000, kb)).Volume;
            EXPECT_EQ(v.Format, cpm_Format::Plain) << v.Decision;
            EXPECT_EQ(v.Refusal, "");
            ASSERT_EQ(cpm_SaveVolume(v).Message, "");
            cpm_Volume again = cpm_LoadVolume(path);
            EXPECT_EQ(again.Format, cpm_Format::Plain) << again.Decision;
            EXPECT_EQ(listedFiles(again), 1);
        }
}

struct NotCpmCase {
    const char *What;
    const char *Name;
    Text Bytes;
};

std::vector<NotCpmCase> notCpmCases() {
    Text random = pattern(143360, 77);
    return {
        {"DOS 3.3 disk", "dos.dsk", dos33Disk()},
        {"DOS 3.3 disk without the boot signature",
         "dos.do", [] { Text t = dos33Disk(); std::fill_n(t.data(), 8, uint8_t(0)); return t; }()},
        {"ProDOS disk", "prodos.po", proDosDisk()},
        {"ProDOS disk in 2IMG", "prodos.2mg", twoImg(proDosDisk(), 1)},
        {"random bytes, 140K", "random.dsk", random},
        {"random bytes with the CP/M 2.2 signature", "random.dsk",
         [&] { Text t = random; std::copy_n(signature140(true).data(), 8, t.data()); return t; }()},
        {"random bytes, 800K", "random.po", pattern(819200, 78)},
        {"random bytes, 300K", "random.img", pattern(300000, 79)},
        {"zeros with the 800K signature", "zero.po", fileBytes(819200, signature800())},
        {"text file, 140K", "notes.dsk", textFile(143360)},
        {"text file, 3000 bytes", "notes.txt", textFile(3000)},
        {"empty file", "empty.dsk", Text()},
    };
}

TEST_F(Recognise, WhatIsNotCpmOpensReadOnly) {
    for (const NotCpmCase &c : notCpmCases()) {
        SCOPED_TRACE(c.What);
        cpm_Volume v = cpm_OpenImage(c.Bytes, c.Name);
        EXPECT_EQ(v.Refusal, "Not a CP/M volume: opened read-only.");
        EXPECT_EQ(v.Decision.rfind("no plausible directory", 0), 0u) << v.Decision;
        EXPECT_EQ(cpm_FileImage(v), c.Bytes);
    }
}

// A DOS 3.3 disk that also holds CP/M: its CP/M directory is plausible and
// reserves the DOS half under user 31, which stays untouched.
TEST_F(Recognise, HybridDiskStaysWritableWithTheDosHalfKept) {
    Text dos = dosOrderDisk({{"A.TXT", pattern(2000, 1)}});
    cpm_Volume v = cpm_OpenImage(dos, "hybrid.dsk");
    std::vector<int> dosHalf;
    for (int b = 64; b < 80; b++) dosHalf.push_back(b);
    putEntry(v, 1, 31, "DOS     SYS", 0, 0, 128, dosHalf);
    putEntry(v, 2, 31, "CP/M    SYS", 0, 0, 96, {128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139});
    Text file = cpm_FileImage(v);
    cpm_Volume hybrid = cpm_OpenImage(file, "hybrid.dsk");
    EXPECT_EQ(hybrid.Refusal, "") << hybrid.Decision;
    EXPECT_EQ(hybrid.Order, cpm_Order::Dos);
    cpm_SaveFileResult r = cpm_SaveFile(hybrid, Text("BIG.DAT"), pattern(100 * 1024, 2));
    ASSERT_EQ(r.Message, "");
    for (int b : entryBlocks(r.Volume, 0)) EXPECT_TRUE(b < 64 || b >= 80) << b;
    for (int i = 3; i < 64; i++)
        for (int b : entryBlocks(r.Volume, i)) EXPECT_TRUE(b < 64 || b >= 80) << "block " << b << " of the DOS half";
}

// A damaged disk: one bad entry per eight good ones is still CP/M.
TEST_F(Recognise, DamagedDirectories) {
    FileList files;
    for (int i = 0; i < 16; i++) files.push_back({"F" + std::to_string(i) + ".DAT", pattern(1000, i)});
    cpm_Volume v = cpm_OpenImage(dosOrderDisk(files), "damaged.dsk");
    putEntry(v, 20, 0x7F, "JUNK    JNK", 99, 0, 200, {250});
    putEntry(v, 21, 0x7E, "JUNK    JNK", 99, 0, 200, {250});
    EXPECT_EQ(cpm_OpenImage(cpm_FileImage(v), "damaged.dsk").Refusal, "");
    putEntry(v, 22, 0x7D, "JUNK    JNK", 99, 0, 200, {250});
    EXPECT_EQ(cpm_OpenImage(cpm_FileImage(v), "damaged.dsk").Refusal, cpm_NotCpmMessage);
}

}  // namespace
