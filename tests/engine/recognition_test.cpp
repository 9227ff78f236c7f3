// Recognition by contents: the score of a directory, the decision among
// the readings, what is not CP/M; and the same Apple II disk in DOS order,
// ProDOS order and 2IMG, read identically and saved back as it came.
#include "apple_images.h"
#include "entry.h"
#include "files.h"
#include "image.h"
#include "maintenance.h"
#include "read.h"
#include "recognition.h"
#include "scores.h"
#include "volume.h"
#include "write.h"

namespace {

TEST(Recognition, DirectoryScoreAndPlausibility) {
    // One raw entry of a 140K disk (8-bit block numbers).
    auto e = [](uint8_t user, const char *name11, std::vector<int> blocks, int ex = 0, int rc = 8, int s2 = 0) {
        return rawEntry(user, name11, ex, s2, rc, blocks, false);
    };
    std::vector<uint8_t> stamps(32, 0);
    stamps[0] = 0x21;
    const struct {
        const char *What;
        std::vector<std::pair<int, std::vector<uint8_t>>> Entries;
        int Good, Bad;
    } cases[] = {
        {"nothing but 0xE5", {}, 0, 0},
        {"files of users 0 and 15", {{0, e(0, "A       COM", {2})}, {1, e(15, "B       TXT", {3})}}, 2, 0},
        {"attribute bits in the name", {{0, e(0, "A       C\xCF\xCD", {2})}}, 1, 0},
        {"user-31 reservation of the boot tracks, wrapping round",
         {{0, e(31, "CP/M    SYS", {128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139}, 0, 96)}}, 1, 0},
        {"block 140", {{0, e(0, "A       COM", {140})}}, 0, 1},
        {"a directory block", {{0, e(0, "A       COM", {1})}}, 0, 1},
        {"control character in the name", {{0, e(0, "A\x01      COM", {2})}}, 0, 1},
        {"EX 32", {{0, e(0, "A       COM", {2}, 32)}}, 0, 1},
        {"S2 64", {{0, e(0, "A       COM", {2}, 0, 8, 64)}}, 0, 1},
        {"RC 129", {{0, e(0, "A       COM", {2}, 0, 129)}}, 0, 1},
        {"an entry of zeros", {{0, std::vector<uint8_t>(32, 0)}}, 0, 1},
        {"two files claiming one block",
         {{0, e(0, "A       COM", {2, 5}, 0, 16)}, {1, e(0, "B       COM", {5, 6}, 0, 16)}, {2, e(0, "C       COM", {7})}}, 1, 2},
        {"user 16 without a label", {{0, e(16, "SECRET  ", {}, 0, 0)}}, 0, 1},
        {"label, stamps, passwords",
         {{0, e(0x20, "DISK    ", {}, 0, 0)}, {1, e(16, "SECRET  ", {}, 0, 0)}, {2, e(0, "A       COM", {2})}, {3, stamps},
          {7, stamps}}, 5, 0},
        {"a stamp entry out of its slot", {{2, stamps}}, 0, 1},
        {"a second label", {{0, e(0x20, "DISK    ", {}, 0, 0)}, {1, e(0x20, "DISK2   ", {}, 0, 0)}}, 1, 1},
        {"user byte 0x22", {{0, e(0x22, "A       COM", {2})}}, 0, 1},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> dir(64 * 32, 0xE5);
        for (const auto &[i, entry] : c.Entries) std::copy(entry.begin(), entry.end(), dir.begin() + i * 32);
        cpm_Score s = cpm_ScoreDirectory(dir.data(), {64, 2, 140, false});
        EXPECT_EQ(std::make_pair(s.Good, s.Bad), std::make_pair(c.Good, c.Bad)) << c.What;
    }
    // Plausible: at most one bad entry per eight good ones.
    const struct { int Good, Bad; bool Plausible; } plausible[] = {
        {0, 0, true}, {1, 0, true}, {3, 1, false}, {4, 0, true}, {7, 1, false},
        {8, 1, true}, {16, 2, true}, {16, 3, false}, {0, 128, false}};
    for (const auto &c : plausible) EXPECT_EQ(cpm_Plausible({c.Good, c.Bad}), c.Plausible) << c.Good << "/" << c.Bad;
}

// Blank disks (all 0xE5) fit every reading: the extension decides.  A 140K
// Apple disk takes files behind its boot tracks, and reads back the same way.
TEST(Recognition, BlankDisksByExtension) {
    const struct { const char *Name; size_t Size; cpm_Format Format; cpm_Order Order; } cases[] = {
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
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.Size));
        cpm_Volume v = cpm_OpenImage(fileBytes(c.Size, Text(), 0xE5), c.Name);
        EXPECT_EQ(std::make_tuple(v.Format, v.Order, v.Refusal), std::make_tuple(c.Format, c.Order, "")) << v.Decision;
        if (c.Format != cpm_Format::Apple140K) continue;
        v = cpm_SaveFile(std::move(v), Text("A.TXT"), pattern(5000, 1)).Volume;
        Text saved = cpm_FileImage(v);
        EXPECT_EQ(std::count(saved.data(), saved.data() + 12288, 0xE5), 12288) << "boot tracks written";
        cpm_Volume again = cpm_OpenImage(saved, c.Name);
        EXPECT_EQ(again.Order, c.Order) << again.Decision;
        EXPECT_EQ(cpm_LoadFile(again, Text("A.TXT")).Data, cpm_LoadFile(v, Text("A.TXT")).Data);
    }
    cpm_Volume blank2img = cpm_OpenImage(twoImg(fileBytes(143360, Text(), 0xE5), 1), "x.img");
    EXPECT_EQ(blank2img.Order, cpm_Order::ProDos) << blank2img.Decision;
    EXPECT_NE(blank2img.Decision.find("2IMG format field"), std::string::npos) << blank2img.Decision;
}

// What the N(ew command makes stays plain at every size and name.
TEST(Recognition, NewVolumesStayPlain) {
    test_TempFolder folder;
    for (int kb : {140, 800, 64, 2048})
        for (const char *name : {"x.dsk", "x.po", "x.do", "x.vol"}) {
            SCOPED_TRACE(std::to_string(kb) + " " + name);
            std::string path = folder.at(std::to_string(kb) + name);
            ASSERT_EQ(cpm_NewVolume(path, kb).Message, "");
            cpm_Volume v = cpm_SaveFile(cpm_LoadVolume(path), Text("A.TXT"), pattern(3000, kb)).Volume;
            EXPECT_EQ(v.Format, cpm_Format::Plain) << v.Decision;
            EXPECT_EQ(v.Refusal, "");
            ASSERT_EQ(cpm_SaveVolume(v).Message, "");
            cpm_Volume again = cpm_LoadVolume(path);
            EXPECT_EQ(again.Format, cpm_Format::Plain) << again.Decision;
            EXPECT_EQ(listedFiles(again), 1);
        }
}

TEST(Recognition, WhatIsNotCpmOpensReadOnly) {
    Text random = pattern(143360, 77), dosUnbooted = dos33Disk(), randomBooting = random;
    std::fill_n(dosUnbooted.data(), 8, uint8_t(0));
    std::copy_n(signature140(true).data(), 8, randomBooting.data());
    const struct { const char *What, *Name; Text Bytes; } cases[] = {
        {"DOS 3.3 disk", "dos.dsk", dos33Disk()},
        {"DOS 3.3 disk without the boot signature", "dos.do", dosUnbooted},
        {"ProDOS disk", "prodos.po", proDosDisk()},
        {"ProDOS disk in 2IMG", "prodos.2mg", twoImg(proDosDisk(), 1)},
        {"random bytes, 140K", "random.dsk", random},
        {"random bytes with the CP/M 2.2 signature", "random.dsk", randomBooting},
        {"random bytes, 800K", "random.po", pattern(819200, 78)},
        {"random bytes, 300K", "random.img", pattern(300000, 79)},
        {"zeros with the 800K signature", "zero.po", fileBytes(819200, signature800())},
        {"text file, 140K", "notes.dsk", textFile(143360)},
        {"text file, 3000 bytes", "notes.txt", textFile(3000)},
        {"empty file", "empty.dsk", Text()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.What);
        cpm_Volume v = cpm_OpenImage(c.Bytes, c.Name);
        // Too short for the directory of any reading, or not CP/M.
        EXPECT_EQ(v.Refusal, c.Bytes.size() < 4096 ? cpm_TooShortMessage : cpm_NotCpmMessage);
        EXPECT_EQ(v.Decision.rfind("no plausible directory", 0), 0u) << v.Decision;
        EXPECT_EQ(cpm_FileImage(v), c.Bytes);
    }
}

// A DOS 3.3 disk that also holds CP/M: its CP/M directory is plausible and
// reserves the DOS half under user 31, which stays untouched.
TEST(Recognition, HybridAndDamagedDisksStayCpm) {
    cpm_Volume v = cpm_OpenImage(dosOrderDisk({{"A.TXT", pattern(2000, 1)}}), "hybrid.dsk");
    std::vector<int> dosHalf;
    for (int b = 64; b < 80; b++) dosHalf.push_back(b);
    putEntry(v, 1, 31, "DOS     SYS", 0, 0, 128, dosHalf);
    putEntry(v, 2, 31, "CP/M    SYS", 0, 0, 96, {128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139});
    cpm_Volume hybrid = cpm_OpenImage(cpm_FileImage(v), "hybrid.dsk");
    EXPECT_EQ(std::make_pair(hybrid.Refusal, hybrid.Order), std::make_pair(std::string(), cpm_Order::Dos)) << hybrid.Decision;
    cpm_SaveFileResult r = cpm_SaveFile(hybrid, Text("BIG.DAT"), pattern(100 * 1024, 2));
    ASSERT_EQ(r.Message, "");
    for (int i = 0; i < 64; i++)
        for (int b : i == 1 || i == 2 ? std::vector<int>() : entryBlocks(r.Volume, i))
            EXPECT_TRUE(b < 64 || b >= 80) << "block " << b << " of the DOS half";
    // A damaged disk: one bad entry per eight good ones is still CP/M.
    FileList files;
    for (int i = 0; i < 16; i++) files.push_back({"F" + std::to_string(i) + ".DAT", pattern(1000, i)});
    v = cpm_OpenImage(dosOrderDisk(files), "damaged.dsk");
    putEntry(v, 20, 0x7F, "JUNK    JNK", 99, 0, 200, {250});
    putEntry(v, 21, 0x7E, "JUNK    JNK", 99, 0, 200, {250});
    EXPECT_EQ(cpm_OpenImage(cpm_FileImage(v), "damaged.dsk").Refusal, "");
    putEntry(v, 22, 0x7D, "JUNK    JNK", 99, 0, 200, {250});
    EXPECT_EQ(cpm_OpenImage(cpm_FileImage(v), "damaged.dsk").Refusal, cpm_NotCpmMessage);
}

// A bootable disk (the same boot sector in both orders): its directory, not
// its first bytes or its name, gives the order.  The extension takes part in
// ties only.
TEST(Orders, EveryFormReadsTheSameAndSavesInItsOwnOrderAndContainer) {
    Text dos = dosOrderDisk(tenFiles(), signature140(true)), proDos = reordered(dos);
    const struct { const char *Name; Text Bytes; cpm_Order Order; bool TwoImg; } forms[] = {
        {"disk.do", dos, cpm_Order::Dos, false},
        {"disk.dsk", dos, cpm_Order::Dos, false},
        {"disk.img", dos, cpm_Order::Dos, false},
        {"disk.po", proDos, cpm_Order::ProDos, false},
        {"disk.img", proDos, cpm_Order::ProDos, false},
        {"/disks/BOOT.DSK", proDos, cpm_Order::ProDos, false},
        {"named-wrong.do", proDos, cpm_Order::ProDos, false},
        {"named-wrong.po", dos, cpm_Order::Dos, false},
        {"disk.2mg", twoImg(dos, 0), cpm_Order::Dos, true},
        {"disk.2img", twoImg(proDos, 1), cpm_Order::ProDos, true},
        {"header says 52.2mg", twoImg(proDos, 1, 0, "", 52), cpm_Order::ProDos, true},
    };
    cpm_Volume reference = cpm_OpenImage(dos, "disk.do");
    ASSERT_EQ(reference.Format, cpm_Format::Apple140K22);
    ASSERT_EQ(listedFiles(reference), 10);
    Text added = pattern(12345, 7);
    for (const auto &f : forms) {
        SCOPED_TRACE(f.Name);
        cpm_Volume v = cpm_OpenImage(f.Bytes, f.Name);
        EXPECT_EQ(std::make_tuple(v.Order, v.Medium.Codec, v.Refusal), std::make_tuple(f.Order, f.TwoImg ? "2IMG" : "raw", ""))
            << v.Decision;
        EXPECT_EQ(v.Image, reference.Image);
        for (const auto &[name, data] : tenFiles()) {
            cpm_FileData read = cpm_LoadFile(v, Text(name));
            ASSERT_TRUE(read.Found) << name;
            EXPECT_TRUE(std::equal(data.Elements.begin(), data.Elements.end(), read.Data.Elements.begin())) << name;
        }
        EXPECT_EQ(cpm_FileImage(v), f.Bytes) << "an unchanged image saves byte-identical";

        v = cpm_SetFileUser(std::move(v), Text("FILE1.DAT"), cpm_ErasedUser).Volume;
        cpm_SaveFileResult r = cpm_SaveFile(std::move(v), Text("ADDED.BIN"), added);
        ASSERT_EQ(r.Message, "");
        Text saved = cpm_FileImage(r.Volume);
        ASSERT_EQ(saved.size(), f.Bytes.size());
        // Header and comment chunk exactly as read.
        size_t data = f.TwoImg ? 64 : 0, end = data + 143360;
        EXPECT_TRUE(std::equal(f.Bytes.data(), f.Bytes.data() + data, saved.data()));
        EXPECT_TRUE(std::equal(f.Bytes.data() + end, f.Bytes.data() + f.Bytes.size(), saved.data() + end));
        // The sectors in the order they came in: converted to DOS order by
        // the test's own table, the disk holds the new file.
        Text sectors(std::vector<uint8_t>(saved.data() + data, saved.data() + end));
        cpm_Volume back = cpm_OpenImage(f.Order == cpm_Order::ProDos ? reordered(sectors, false) : sectors, "back.do");
        cpm_FileData read = cpm_LoadFile(back, Text("ADDED.BIN"));
        ASSERT_TRUE(read.Found);
        EXPECT_TRUE(std::equal(added.Elements.begin(), added.Elements.end(), read.Data.Elements.begin()));
        EXPECT_FALSE(cpm_LoadFile(back, Text("FILE0.DAT")).Data.empty());
    }
}

// An 800K disk without the signature stores 512-byte blocks in plain
// ProDOS block order; with it, the 2:1 interleave of each group.
TEST(Orders, EightHundredKSignatureDecidesTheInterleave) {
    for (bool signature : {false, true}) {
        SCOPED_TRACE(signature);
        cpm_Volume v = cpm_OpenImage(fileBytes(819200, signature ? signature800() : Text(), 0xE5), "big.po");
        cpm_Order order = signature ? cpm_Order::Interleave800 : cpm_Order::ProDosBlocks;
        EXPECT_EQ(v.Format, cpm_Format::Apple800K);
        EXPECT_EQ(v.Order, order) << v.Decision;
        EXPECT_NE(v.Decision.find(signature ? "(800K signature)" : "(no 800K signature)"), std::string::npos) << v.Decision;
        Text data = pattern(5000, 9);
        Text saved = cpm_FileImage(cpm_SaveFile(std::move(v), Text("A.TXT"), data).Volume);
        // The first data block after the four directory blocks: block 4 at
        // 16384 + 8192 in CP/M order.  Its second 512 bytes follow the first
        // in ProDOS block order, and are file block 2 of the group when interleaved.
        size_t group = 16384 + 8192, second = signature ? group + 1024 : group + 512;
        EXPECT_TRUE(std::equal(data.data(), data.data() + 512, saved.data() + group));
        EXPECT_TRUE(std::equal(data.data() + 512, data.data() + 1024, saved.data() + second));
        EXPECT_EQ(cpm_OpenImage(saved, "big.po").Order, order);
    }
}

TEST(Orders, TwoImgFlagsNibblesAndBrokenHeaders) {
    Text dos = dosOrderDisk();
    cpm_Volume locked = cpm_OpenImage(twoImg(dos, 0, 0x80000000u), "locked.2mg");
    EXPECT_TRUE(locked.ReadOnly);
    EXPECT_EQ(locked.Refusal, "");
    EXPECT_EQ(listedFiles(locked), 10);
    cpm_Volume nibbles = cpm_OpenImage(twoImg(fileBytes(232960, Text(), 0xFF), 2), "disk.2mg");
    EXPECT_EQ(nibbles.Refusal, "Nibble images are not supported.");
    // A header whose data lie outside the file is no container: what is
    // left is no CP/M disk either.
    Text broken = twoImg(dos, 0);
    putLe(broken, 0x1C, 0x7FFFFFF0u);
    cpm_Volume v = cpm_OpenImage(broken, "broken.2mg");
    EXPECT_EQ(v.Medium.Codec, "raw");
    EXPECT_EQ(v.Refusal, cpm_NotCpmMessage);
}

}  // namespace
