// Disks as people keep them, judged by cpmtools: short images that mkfs.cpm
// and cpmcp leave, a cross-linked disk beside a definition that reads it as
// empty, a bootable Apple II disk after init, and names that do not fit.
// cpmtools is required where CI runs.
#include <algorithm>

#include "cli_run.h"
#include "peer_tools.h"

namespace {

class KeptDisks : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS);
    }
    long long size(const std::string &name) { return (long long)file(name).size(); }
};

std::string bytes(size_t n, int seed) {
    std::string s(n, '\0');
    for (size_t k = 0; k < n; k++) s[k] = char((k * 7 + size_t(seed) * 13 + k / 256) & 0xFF);
    return s;
}

}  // namespace

// mkfs.cpm and cpmcp write only as far as the last sector they touched.
// The disk is read whole (its tail as 0xE5), our file goes in beside
// theirs, cpmtools reads both, and the file grows no further than needed.
TEST_F(KeptDisks, ShortImagesReadAndWrittenAsCpmtoolsDoes) {
    const struct {
        const char *Definition;
        long long Whole;
    } cases[] = {{"kpii", 204800}, {"ibm-3740", 256256}, {"apple-do", 143360}};
    Folder.write("theirs.txt", "Hello, twenty-five bytes!");
    Folder.write("ours.bin", bytes(5000, 1));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Definition);
        std::string f = std::string(" -f ") + c.Definition + " ";
        ASSERT_EQ(run("rm -f s.img && mkfs.cpm" + f + "s.img && cpmcp" + f + "s.img theirs.txt 0:"), "");
        long long before = size("s.img");
        ASSERT_LT(before, c.Whole);
        int status = -1;
        std::string listing = run("$CLI ls s.img", &status);
        EXPECT_EQ(status, 0);
        EXPECT_NE(listing.find("THEIRS  .TXT"), std::string::npos) << listing;
        EXPECT_EQ(run("$CLI put s.img ours.bin"), "OURS    .BIN saved on CP/M volume.\n");
        EXPECT_EQ(run("cpmcp" + f + "s.img 0:ours.bin back.bin && cpmcp" + f + "s.img 0:theirs.txt back.txt"), "");
        EXPECT_EQ(file("back.bin"), file("ours.bin"));
        EXPECT_EQ(file("back.txt"), file("theirs.txt"));
        EXPECT_EQ(run("fsck.cpm -n" + f + "s.img >/dev/null 2>&1 || echo damaged"), "");
        EXPECT_GT(size("s.img"), before);
        EXPECT_LT(size("s.img"), c.Whole);
        // Chosen by name, the short image is read the same way, not refused for its size.
        EXPECT_EQ(run("$CLI" + f + "get s.img OURS.BIN again.bin >/dev/null && cmp -s again.bin ours.bin && echo same"), "same\n");
    }
}

// A plain volume whose two files share their first block opens read-only
// as unclear (the damaged reading first), not as another machine's empty
// disk; check reports the damage and nothing is written.
TEST_F(KeptDisks, CrossLinkedDiskNeitherEmptiedNorWritten) {
    Folder.write("a.bin", bytes(6000, 2));
    Folder.write("b.bin", bytes(7000, 3));
    Folder.write("c.bin", bytes(100, 4));
    ASSERT_EQ(run("$CLI new v.img 256 >/dev/null && $CLI put v.img a.bin b.bin >/dev/null"), "");
    // Entry 1's first block number (byte 16 of the entry) made entry 0's.
    ASSERT_EQ(run("dd if=v.img bs=1 skip=16 count=1 2>/dev/null | dd of=v.img bs=1 seek=48 conv=notrunc 2>/dev/null"), "");
    std::string image = file("v.img");
    int status = -1;
    std::string ls = run("$CLI ls v.img", &status);
    EXPECT_NE(ls.find("Format unclear (plain"), std::string::npos) << ls;
    std::string check = run("$CLI check v.img", &status);
    EXPECT_EQ(status, 1) << check;
    EXPECT_NE(check.find("also used by #0"), std::string::npos) << check;
    EXPECT_NE(run("$CLI put v.img c.bin", &status).find("Format unclear"), std::string::npos);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(file("v.img"), image);
    // Chosen by name, the damaged disk can be read.
    EXPECT_EQ(run("$CLI -f plain get v.img A.BIN back.bin >/dev/null && cmp -s back.bin a.bin && echo same"), "same\n");
}

// A bootable Apple II disk (its boot code reads as a few plain directory
// entries among many bad ones) stays an Apple disk after init: files can be
// put on it and cpmtools finds them.
TEST_F(KeptDisks, InitialisedBootableAppleDiskStaysWritable) {
    std::string boot(12288, '\0');
    const unsigned char signature[8] = {0x01, 0xA5, 0x27, 0xC9, 0x09, 0xD0, 0x13, 0x8A};
    std::copy(signature, signature + 8, boot.begin());
    for (int k = 1; k <= 9; k++) {   // entries that a plain reading takes for files
        std::string e = std::string(1, '\0') + "BOOT" + std::to_string(k) + "   COM" + std::string(4, '\0');
        e += std::string(1, char(2 + k)) + std::string(15, '\0');
        std::copy(e.begin(), e.end(), boot.begin() + 32 * k);
    }
    Folder.write("boot.bin", boot);
    Folder.write("one.txt", "one\r\n");
    Folder.write("two.txt", "two\r\n");
    ASSERT_EQ(run("mkfs.cpm -f apple-do -b boot.bin disk.dsk && truncate -s 143360 disk.dsk && "
                  "cpmcp -f apple-do disk.dsk one.txt 0:"), "");
    EXPECT_EQ(run("$CLI init disk.dsk"), "Volume initialized: disk.dsk\n");
    int status = -1;
    EXPECT_EQ(run("$CLI put disk.dsk two.txt", &status), "TWO     .TXT saved on CP/M volume.\n");
    EXPECT_EQ(status, 0);
    std::string listing = run("cpmls -f apple-do disk.dsk");
    EXPECT_NE(listing.find("two.txt"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("one.txt"), std::string::npos) << listing;
    EXPECT_EQ(file("disk.dsk").substr(0, 8), boot.substr(0, 8));
}

// A typed name that does not fit 8.3 names no file: it is refused, never
// cut to the name of another; a read-only file is erased only with --force.
TEST_F(KeptDisks, LongNamesRefusedAndReadOnlyFilesKept) {
    Folder.write("configio.bas", "10 PRINT\r\n");
    Folder.write("keep.txt", "keep\r\n");
    Folder.write("gone.txt", "gone\r\n");
    ASSERT_EQ(run("mkfs.cpm -f apple-do disk.dsk && truncate -s 143360 disk.dsk && "
                  "cpmcp -f apple-do disk.dsk configio.bas keep.txt gone.txt 0: && cpmchattr -f apple-do disk.dsk r 0:keep.txt"),
              "");
    std::string image = file("disk.dsk");
    const struct {
        const char *Line;
        const char *Said;
    } refused[] = {
        {"$CLI rm disk.dsk CONFIGIOFILE.BASICPROGRAM", "diskwright-cli: disk.dsk: CONFIGIOFILE.BASICPROGRAM: not a CP/M file name\n"},
        {"$CLI get disk.dsk configio.basic out.bas", "diskwright-cli: disk.dsk: configio.basic: not a CP/M file name\n"},
        {"$CLI attr disk.dsk 'CONFIG IO.BAS' +R", "diskwright-cli: disk.dsk: CONFIG IO.BAS: not a CP/M file name\n"},
        {"$CLI put disk.dsk gone.txt --as GONEAGAIN.TXT", "diskwright-cli: disk.dsk: GONEAGAIN.TXT: not a CP/M file name\n"},
        {"$CLI rm disk.dsk keep.txt", "diskwright-cli: disk.dsk: KEEP    .TXT is read-only; use --force\n"},
    };
    for (const auto &c : refused) {
        int status = -1;
        EXPECT_EQ(run(c.Line, &status), c.Said) << c.Line;
        EXPECT_EQ(status, 1) << c.Line;
        EXPECT_EQ(file("disk.dsk"), image) << c.Line;
    }
    // A pattern erases what it may and names what it may not.
    int status = -1;
    EXPECT_EQ(run("$CLI rm disk.dsk '*.TXT'", &status),
              "GONE    .TXT erased\ndiskwright-cli: disk.dsk: KEEP    .TXT is read-only; use --force\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(run("$CLI rm --force disk.dsk keep.txt", &status), "KEEP    .TXT erased\n");
    EXPECT_EQ(run("cpmls -f apple-do disk.dsk"), "0:\nconfigio.bas\n");
}
