// diskwright-cli with disk definitions: -f before or after the command word,
// --diskdefs, formats, info, new --format, and an unclear image refused
// for changes until a format is chosen.
#include <gtest/gtest.h>

#include "cli_run.h"
#include "files.h"

namespace {

// Two definitions that differ only in skew: a small directory reads the same.
const char *twins = "diskdef s1\n seclen 256\n tracks 41\n sectrk 16\n blocksize 1024\n maxdir 128\n boottrk 1\nend\n"
                    "diskdef s2\n seclen 256\n tracks 41\n sectrk 16\n blocksize 1024\n maxdir 128\n boottrk 1\n"
                    " skew 3\nend\n";

class CliFormats : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        Folder.write("defs", twins);
        Folder.write("a.txt", std::string(5000, 'a'));
    }
    // The tool with its own configuration folder.
    test_CliRun run(const std::string &line) { return sh("XDG_CONFIG_HOME=. $CLI " + line); }
};

TEST_F(CliFormats, NewFormatThenUnclearUntilChosen) {
    test_CliRun made = run("--diskdefs defs new --format s2 t.img");
    ASSERT_EQ(made.Status, 0) << made.Err;
    EXPECT_EQ(file("t.img"), std::string(41 * 16 * 256, '\xE5'));
    // -f before or after the command word, --format alike.
    ASSERT_EQ(run("-f s2 --diskdefs defs put t.img a.txt").Status, 0);
    test_CliRun before = run("--diskdefs defs -f s2 ls t.img");
    EXPECT_EQ(before.Out, run("ls t.img --format s2 --diskdefs defs").Out);
    EXPECT_TRUE(test_Has(before.Out, "A       .TXT")) << before.Out;

    // Without -f: the twins tie with different files.
    test_CliRun put = run("--diskdefs defs put t.img a.txt");
    EXPECT_EQ(put.Status, 1);
    EXPECT_TRUE(test_Has(put.Err, "Format unclear (s1, s2): opened read-only.")) << put.Err;
    EXPECT_TRUE(test_Has(put.Err, "  s2: 1 good 0 bad")) << put.Err;
    EXPECT_EQ(run("--diskdefs defs ls t.img").Status, 0);
    test_CliRun info = run("--diskdefs defs -f s2 info t.img");
    EXPECT_TRUE(test_Has(info.Out, "Definition:   s2 (defs)")) << info.Out;
    EXPECT_TRUE(test_Has(info.Out, "Decided by:   chosen: s2")) << info.Out;
    EXPECT_TRUE(test_Has(info.Out, "Candidate:    s1: 1 good 0 bad")) << info.Out;
}

TEST_F(CliFormats, FormatsAndFaultyDefinitions) {
    test_CliRun formats = run("formats --diskdefs defs");
    EXPECT_EQ(formats.Status, 0);
    EXPECT_TRUE(test_Has(formats.Out, "plain            any size")) << formats.Out;
    EXPECT_TRUE(test_Has(formats.Out, "s2               167.936 bytes (164K)       defs:9")) << formats.Out;
    Folder.write("bad", "diskdef x\n  seclen 128\n  colour blue\nend\n");
    test_CliRun bad = run("--diskdefs bad formats");
    EXPECT_EQ(bad.Status, 2);
    EXPECT_EQ(bad.Err, "diskwright-cli: bad:3: unknown keyword 'colour'\n");
    test_CliRun unknown = run("-f nosuch ls t.img");
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(test_Has(unknown.Err, "unknown format 'nosuch'")) << unknown.Err;
    test_CliRun sized = run("new --format plain p.img");
    EXPECT_EQ(sized.Status, 1);
    EXPECT_TRUE(test_Has(sized.Err, "plain has no fixed size")) << sized.Err;
}

}  // namespace
