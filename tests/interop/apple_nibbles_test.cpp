// One Apple II CP/M disk in the forms preservation tools keep it in: made
// by mkfs.cpm and cpmcp in DOS order, turned into WOZ by MAME's floptool,
// into NIB, NB2, a nibble 2IMG and WOZ by the engine's makers (floptool
// reads the NIB and WOZ back to the same sectors), and an 800K disk into
// DiskCopy 4.2 by floptool.  diskwright-cli reads every file of each form
// byte for byte; what it puts into a WOZ or NIB, floptool decodes into the
// DOS-order disk that the same commands make of disk.do.
#include "apple_images.h"
#include "cli_run.h"
#include "codec_nib.h"
#include "codec_woz.h"
#include "files.h"
#include "peer_tools.h"

namespace {

// One form: its file and how check.do (its sectors in DOS order) is made
// from it by floptool; none for the forms floptool does not read.
struct Form {
    const char *Name;
    const char *ToDos;
};

const Form forms[] = {
    {"floptool.woz", "floptool flopconvert woz a2_16sect_dos floptool.woz check.do"},
    {"made.woz", "floptool flopconvert woz a2_16sect_dos made.woz check.do"},
    {"disk.nib", "floptool flopconvert a2_nib a2_16sect_dos disk.nib check.do"},
    {"nibbles.2mg", "tail -c +65 nibbles.2mg | head -c 232960 >inner.nib && "
                    "floptool flopconvert a2_nib a2_16sect_dos inner.nib check.do"},
    {"disk.nb2", nullptr},
};

class AppleNibbles : public test_CliTest {
  protected:
    void SetUp() override {
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS, "floptool");
        test_CliTest::SetUp();
        std::string names;
        for (const auto &[name, data] : tenFiles()) {
            ASSERT_EQ(setbinarytofile(at(name), data), 0);
            names += " " + name;
        }
        ASSERT_EQ(run("mkfs.cpm -f apple-do disk.do && cpmcp -f apple-do disk.do" + names +
                      " 0: && truncate -s 143360 disk.do"),
                  "");
        ASSERT_EQ(run("floptool flopconvert a2_16sect_dos woz disk.do floptool.woz"), "");
        cpm_Medium sectors = physicalSectors(gettextfromfile(at("disk.do")));
        Text nib = cpm_MakeNib(sectors), nb2;
        for (size_t t = 0; t < 35; t++)
            nb2.Elements.insert(nb2.Elements.end(), nib.data() + t * 6656, nib.data() + t * 6656 + 6384);
        ASSERT_EQ(setbinarytofile(at("made.woz"), cpm_MakeWoz(sectors)), 0);
        ASSERT_EQ(setbinarytofile(at("disk.nib"), nib), 0);
        ASSERT_EQ(setbinarytofile(at("disk.nb2"), nb2), 0);
        ASSERT_EQ(setbinarytofile(at("nibbles.2mg"), twoImg(nib, 2)), 0);
    }
    std::string run(const std::string &line) {
        test_CliRun r = sh(line);
        return r.Status == 0 ? r.Out + r.Err : "exit " + std::to_string(r.Status) + ": " + r.Out + r.Err;
    }
};

}  // namespace

TEST_F(AppleNibbles, FloptoolReadsTheMadeNibAndWozAsTheSectorImage) {
    for (const Form &f : forms) {
        if (!f.ToDos) continue;
        SCOPED_TRACE(f.Name);
        ASSERT_EQ(run("rm -f check.do && " + std::string(f.ToDos)), "");
        EXPECT_TRUE(file("check.do") == file("disk.do"));
    }
    EXPECT_TRUE(test_Has(run("floptool identify made.woz"), "woz"));
}

TEST_F(AppleNibbles, EveryFormListsAndReadsAsTheDosOrderImage) {
    const std::string listing = run("$CLI ls disk.do | tail -n +2");
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        std::string folder = std::string("got-") + f.Name;
        Folder.folder(folder);
        EXPECT_EQ(run("$CLI ls " + std::string(f.Name) + " | tail -n +2"), listing);
        ASSERT_EQ(run("$CLI get " + std::string(f.Name) + " '*' " + folder + " >/dev/null"), "");
        for (const auto &[name, data] : tenFiles()) EXPECT_TRUE(file(folder + "/" + name) == data.bytes()) << name;
        std::string info = run("$CLI info " + std::string(f.Name));
        EXPECT_TRUE(test_Has(info, "Format:       Apple II 140K CP/M\n")) << info;
        EXPECT_TRUE(test_Has(info, "Tracks decoded: 35 of 35")) << info;
        EXPECT_FALSE(test_Has(info, "Refused:")) << info;
        EXPECT_TRUE(test_Has(run("$CLI info --json " + std::string(f.Name)), "\"Volume number\": \"254\"")) << f.Name;
    }
}

TEST_F(AppleNibbles, WhatThePutWritesFloptoolAndCpmtoolsRead) {
    Folder.write("new.bin", pattern(23456, 5).bytes());
    const std::string commands = " new.bin >/dev/null && $CLI rm ";
    ASSERT_EQ(run("cp disk.do expected.do && $CLI put expected.do" + commands + "expected.do FILE3.DAT >/dev/null"), "");
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        const std::string before = file(f.Name), name = f.Name;
        ASSERT_EQ(run("$CLI put " + name + commands + name + " FILE3.DAT"), "FILE3   .DAT erased\n");
        ASSERT_EQ(file(f.Name).size(), before.size());
        if (!f.ToDos) continue;
        // Every sector floptool decodes is the one the same commands write into the DOS-order disk.
        ASSERT_EQ(run("rm -f check.do && " + std::string(f.ToDos)), "");
        EXPECT_TRUE(file("check.do") == file("expected.do"));
        EXPECT_EQ(run("cpmcp -f apple-do check.do 0:new.bin got && cmp got new.bin"), "");
        EXPECT_EQ(run("fsck.cpm -f apple-do -n check.do >fsck.out"), "");
        EXPECT_EQ(file("fsck.out").find("Error"), std::string::npos) << file("fsck.out");
    }
    // floptool converts no WOZ whose CRC-32 is wrong: the conversions above
    // read the CRC-32 the save recomputed.
}

TEST_F(AppleNibbles, UnchangedOrChangedBackSavesByteIdentical) {
    for (const Form &f : forms) {
        SCOPED_TRACE(f.Name);
        const std::string before = file(f.Name), name = f.Name;
        EXPECT_TRUE(cpm_FileImage(cpm_LoadVolume(at(name))).bytes() == before) << "read and saved unchanged";
        ASSERT_EQ(run("$CLI attr " + name + " '*' +R >/dev/null && $CLI attr " + name + " '*' -R >/dev/null"), "");
        EXPECT_TRUE(file(f.Name) == before);
    }
}

TEST_F(AppleNibbles, DamagedWozOpensReadOnlyAndKeepsItsBytes) {
    // A bad data checksum in a file's sector: that file reports its block,
    // the rest of the disk reads, and nothing is written.
    Text woz = gettextfromfile(at("made.woz"));
    cpm_Volume v = cpm_OpenImage(woz, "made.woz");
    ASSERT_EQ(v.Refusal, "");
    size_t entry = 256 + 12 * 8, start = size_t(woz[entry] | woz[entry + 1] << 8) * 512;
    // Sector 2 of track 12 begins 40 ten-bit syncs and two sectors of 3164 bits in; its data
    // values 112 + 60 + 24 bits after that: change the bits of one value.
    size_t bit = 400 + 2 * 3164 + 112 + 60 + 24 + 8 * 50;
    woz[start + bit / 8] ^= uint8_t(0x80 >> (bit % 8));
    ASSERT_EQ(setbinarytofile(at("damaged.woz"), woz), 0);
    std::string info = run("$CLI info damaged.woz");
    EXPECT_TRUE(test_Has(info, "Bad checksums: T12 S2")) << info;
    EXPECT_TRUE(test_Has(info, "CRC-32:     wrong")) << info;
    EXPECT_TRUE(test_Has(info, "Refused:      Track 12 cannot be rewritten: opened read-only.")) << info;
    // The file whose block holds the sector says so; the others read whole.
    Folder.folder("got-damaged");
    std::string got = run("$CLI get damaged.woz '*' got-damaged");
    EXPECT_TRUE(test_Has(got, ": block ") && test_Has(got, " unreadable.")) << got;
    int whole = 0;
    for (const auto &[name, data] : tenFiles()) whole += file("got-damaged/" + name) == data.bytes();
    EXPECT_EQ(whole, 9);
    EXPECT_TRUE(test_Has(run("$CLI put damaged.woz FILE1.DAT --as NEW.DAT"), "Track 12 cannot be rewritten"));
    EXPECT_TRUE(file("damaged.woz") == woz.bytes());
    EXPECT_NE(run("floptool flopconvert woz a2_16sect_dos damaged.woz damaged.do"), "") << "the CRC-32 left wrong";
}

TEST_F(AppleNibbles, DiskCopyOf800KReadsAsItsBlocks) {
    cpm_Volume v = withFiles(fresh800(), {{"A.TXT", 3000}, {"B.BIN", 70000}});
    ASSERT_EQ(setbinarytofile(at("disk.img"), cpm_FileImage(v)), 0);
    ASSERT_EQ(run("floptool flopconvert apple_gcr dc42 disk.img disk.dc42"), "");
    for (const char *name : {"disk.img", "disk.dc42"}) {
        SCOPED_TRACE(name);
        Folder.folder(std::string("got-") + name);
        ASSERT_EQ(run("$CLI get " + std::string(name) + " '*' got-" + name + " >/dev/null"), "");
        EXPECT_TRUE(file(std::string("got-") + name + "/B.BIN") == pattern(70000).bytes() ||
                    file(std::string("got-") + name + "/B.BIN") == file("got-disk.img/B.BIN"));
    }
    EXPECT_TRUE(file("got-disk.dc42/B.BIN") == file("got-disk.img/B.BIN"));
    EXPECT_TRUE(file("got-disk.dc42/A.TXT") == file("got-disk.img/A.TXT"));
    // A file put into the DiskCopy form: floptool reads it back to the blocks of the same put.
    Folder.write("new.bin", pattern(23456, 5).bytes());
    ASSERT_EQ(run("$CLI put disk.dc42 new.bin >/dev/null && $CLI put disk.img new.bin >/dev/null"), "");
    ASSERT_EQ(run("floptool flopconvert dc42 apple_gcr disk.dc42 back.img"), "");
    EXPECT_TRUE(file("back.img") == file("disk.img"));
    EXPECT_TRUE(test_Has(run("$CLI info disk.dc42"), "Data checksum: good"));
}

TEST_F(AppleNibbles, ThreeAndAHalfInchWozReadsAsItsBlocks) {
    cpm_Volume v = withFiles(fresh800(), {{"A.TXT", 3000}, {"B.BIN", 70000}});
    ASSERT_EQ(setbinarytofile(at("disk.img"), cpm_FileImage(v)), 0);
    ASSERT_EQ(run("floptool flopconvert apple_gcr woz disk.img disk35.woz"), "");
    for (const char *name : {"disk.img", "disk35.woz"}) {
        Folder.folder(std::string("got-") + name);
        // Reading says once that the disk will not be written.
        ASSERT_EQ(run("$CLI get " + std::string(name) + " '*' got-" + name + " >/dev/null"),
                  name == std::string("disk.img") ? "" : "diskwright-cli: disk35.woz: 3.5-inch WOZ disks are opened read-only.\n");
    }
    EXPECT_TRUE(file("got-disk35.woz/A.TXT") == file("got-disk.img/A.TXT"));
    EXPECT_TRUE(file("got-disk35.woz/B.BIN") == file("got-disk.img/B.BIN"));
    std::string info = run("$CLI info disk35.woz");
    EXPECT_TRUE(test_Has(info, "Tracks decoded: 160 of 160")) << info;
    EXPECT_TRUE(test_Has(info, "Refused:      3.5-inch WOZ disks are opened read-only.")) << info;
}
