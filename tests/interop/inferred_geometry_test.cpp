// A disk of a made-up definition that no diskdefs file holds, written by
// cpmtools (the definition given to cpmtools alone, in its working folder):
// its geometry is inferred from the directory, read as cpmtools reads it,
// read-only; the definition info --diskdef prints, given back, makes it
// writable, and cpmtools reads what was written.  A disk of small files
// that reads alike with 1K and 2K blocks is unclear.
// Skipped where cpmtools is missing (failed where CI runs).
#include "cli_run.h"
#include "peer_tools.h"

namespace {

// 48 tracks of 20 sectors of 256 bytes, 3 (or 5) reserved: a size and a
// place of the directory that no definition has.
const char *const madeUp =
    "diskdef madeup\n  seclen 256\n  tracks 48\n  sectrk 20\n  blocksize 2048\n  maxdir 128\n"
    "  skew 0\n  boottrk 3\n  os 2.2\nend\n"
    "diskdef madeup5\n  seclen 256\n  tracks 48\n  sectrk 20\n  blocksize 2048\n  maxdir 128\n"
    "  skew 0\n  boottrk 5\n  os 2.2\nend\n";

class InferredGeometry : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS);
        Folder.write("diskdefs", madeUp);   // cpmtools reads ./diskdefs; diskwright-cli is not told of it
    }
    void makeDisk(const std::string &files, const std::string &definition = "madeup") {
        ASSERT_EQ(run("mkfs.cpm -f " + definition + " disk.img && cpmcp -f " + definition + " disk.img " + files +
                      " 0: && truncate -s 245760 disk.img"),
                  "");
    }
};

}  // namespace

TEST_F(InferredGeometry, ReadReadOnlyThenWrittenWithTheDefinitionItPrints) {
    std::string text;
    for (int i = 0; i < 3000; i++) text += "line " + std::to_string(i) + "\r\n";
    Folder.write("long.txt", text);
    Folder.write("short.txt", "short");
    makeDisk("long.txt short.txt");
    const std::string message = "Format inferred (3 reserved tracks, 2K blocks, 128 entries): opened read-only.";
    test_CliRun ls = sh("$CLI ls disk.img");
    EXPECT_EQ(ls.Err, "diskwright-cli: disk.img: " + message + "\n");
    EXPECT_TRUE(test_Has(ls.Out, "2 files")) << ls.Out;
    for (const char *name : {"long.txt", "short.txt"}) {
        ASSERT_EQ(run(std::string("rm -f ours theirs && cpmcp -f madeup disk.img 0:") + name + " theirs && $CLI get disk.img " +
                      name + " ours 2>/dev/null >/dev/null"),
                  "");
        EXPECT_TRUE(file("ours") == file("theirs")) << name;
    }
    std::string before = file("disk.img");
    test_CliRun put = sh("$CLI put disk.img short.txt --as new.txt");
    EXPECT_NE(put.Status, 0);
    EXPECT_TRUE(test_Has(put.Err, message)) << put.Err;
    EXPECT_TRUE(file("disk.img") == before);

    test_CliRun diskdef = sh("$CLI info --diskdef disk.img");
    EXPECT_EQ(diskdef.Out,
              "diskdef inferred\n  seclen 512\n  tracks 48\n  sectrk 10\n  blocksize 2048\n  maxdir 128\n  skew 0\n"
              "  boottrk 3\n  os 2.2\nend\n");
    Folder.write("mine", diskdef.Out);
    test_CliRun written = sh("$CLI --diskdefs mine -f inferred put disk.img short.txt --as new.txt");
    EXPECT_EQ(written.Status, 0) << written.Err;
    EXPECT_TRUE(test_Has(run("cpmls -f madeup disk.img"), "new.txt"));
    EXPECT_EQ(run("fsck.cpm -n -f madeup disk.img | grep -ci error"), "0\n");
}

TEST_F(InferredGeometry, SmallFilesThatReadAlikeWithTwoBlockSizesAreUnclear) {
    Folder.write("a.txt", "one");
    Folder.write("b.txt", "two");
    makeDisk("a.txt b.txt", "madeup5");
    test_CliRun ls = sh("$CLI ls disk.img");
    EXPECT_TRUE(test_Has(ls.Err, "Format unclear (inferred (5 reserved tracks, 1K blocks, 64 entries), inferred (5 reserved "
                                 "tracks, 2K blocks, 128 entries)): opened read-only.")) << ls.Err;
    EXPECT_NE(sh("$CLI put disk.img a.txt --as c.txt").Status, 0);
}
