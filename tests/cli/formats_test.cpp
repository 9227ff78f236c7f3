// diskwright-cli with disk definitions: -f before or after the command word,
// --diskdefs, formats, info, new --format, and an unclear image refused
// for changes until a format is chosen.
#include <gtest/gtest.h>

#include "child_output.h"
#include "files.h"
#include "temp_folder.h"

namespace {

// Two definitions that differ only in skew: a small directory reads the same.
const char *twins = "diskdef s1\n seclen 256\n tracks 41\n sectrk 16\n blocksize 1024\n maxdir 128\n boottrk 1\nend\n"
                    "diskdef s2\n seclen 256\n tracks 41\n sectrk 16\n blocksize 1024\n maxdir 128\n boottrk 1\n"
                    " skew 3\nend\n";

struct ToolRun {
    int Status = -1;
    std::string Out, Err;
};

class CliFormats : public ::testing::Test {
  protected:
    test_TempFolder Folder;
    void SetUp() override {
        Folder.write("defs", twins);
        Folder.write("a.txt", std::string(5000, 'a'));
    }
    std::string at(const std::string &name) { return Folder.at(name); }
    // Runs the tool with its own configuration folder.
    ToolRun run(const std::vector<std::string> &args) {
        std::string cmd = "XDG_CONFIG_HOME='" + Folder.Path + "' '" DW_CLI_PATH "'";
        for (const std::string &a : args) cmd += " '" + a + "'";
        ToolRun r;
        r.Status = test_Shell(cmd + " 2>'" + at("err.txt") + "'", &r.Out);
        r.Err = gettextfromfile(at("err.txt")).bytes();
        return r;
    }
    bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }
};

TEST_F(CliFormats, NewFormatThenUnclearUntilChosen) {
    std::string img = at("t.img");
    ToolRun made = run({"--diskdefs", at("defs"), "new", "--format", "s2", img});
    ASSERT_EQ(made.Status, 0) << made.Err;
    Text bytes = gettextfromfile(img);
    EXPECT_EQ(bytes.size(), 41u * 16 * 256);
    EXPECT_TRUE(std::all_of(bytes.Elements.begin(), bytes.Elements.end(), [](uint8_t b) { return b == 0xE5; }));
    // -f before or after the command word, --format alike.
    ASSERT_EQ(run({"-f", "s2", "--diskdefs", at("defs"), "put", img, at("a.txt")}).Status, 0);
    ToolRun before = run({"--diskdefs", at("defs"), "-f", "s2", "ls", img});
    ToolRun after = run({"ls", img, "--format", "s2", "--diskdefs", at("defs")});
    EXPECT_EQ(before.Out, after.Out);
    EXPECT_TRUE(has(before.Out, "A       .TXT")) << before.Out;

    // Without -f: the twins tie with different files.
    ToolRun put = run({"--diskdefs", at("defs"), "put", img, at("a.txt")});
    EXPECT_EQ(put.Status, 1);
    EXPECT_TRUE(has(put.Err, "Format unclear (s1, s2): opened read-only.")) << put.Err;
    EXPECT_TRUE(has(put.Err, "  s2: 1 good 0 bad")) << put.Err;
    ToolRun ls = run({"--diskdefs", at("defs"), "ls", img});
    EXPECT_EQ(ls.Status, 0);
    ToolRun info = run({"--diskdefs", at("defs"), "-f", "s2", "info", img});
    EXPECT_TRUE(has(info.Out, "Definition:   s2 (" + at("defs") + ")")) << info.Out;
    EXPECT_TRUE(has(info.Out, "Decided by:   chosen: s2")) << info.Out;
    EXPECT_TRUE(has(info.Out, "Candidate:    s1: 1 good 0 bad")) << info.Out;
}

TEST_F(CliFormats, FormatsAndFaultyDefinitions) {
    ToolRun formats = run({"formats", "--diskdefs", at("defs")});
    EXPECT_EQ(formats.Status, 0);
    EXPECT_TRUE(has(formats.Out, "plain            any size")) << formats.Out;
    EXPECT_TRUE(has(formats.Out, "s2               167.936 bytes (164K)       " + at("defs") + ":9")) << formats.Out;
    ASSERT_EQ(setbinarytofile(at("bad"), Text("diskdef x\n  seclen 128\n  colour blue\nend\n")), 0);
    ToolRun bad = run({"--diskdefs", at("bad"), "formats"});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_EQ(bad.Err, "diskwright-cli: " + at("bad") + ":3: unknown keyword 'colour'\n");
    ToolRun unknown = run({"-f", "nosuch", "ls", at("t.img")});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(has(unknown.Err, "unknown format 'nosuch'")) << unknown.Err;
    ToolRun sized = run({"new", "--format", "plain", at("p.img")});
    EXPECT_EQ(sized.Status, 1);
    EXPECT_TRUE(has(sized.Err, "plain has no fixed size")) << sized.Err;
}

}  // namespace
