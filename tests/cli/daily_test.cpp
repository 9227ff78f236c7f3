// diskwright-cli for daily work: its conventions (options anywhere, "--",
// unknown options, help, version), wildcards, attributes, the consistency
// check and the JSON documents (text files: against cpmtools in the interop
// tests).
#include <cstring>
#include <filesystem>

#include "cli_run.h"
#include "files.h"
#include "fixtures.h"
#include "image.h"
#include "volume.h"
#include "write.h"

namespace fs = std::filesystem;

namespace {

class CliDaily : public test_CliTest {
  protected:
    void SetUp() override {
        test_CliTest::SetUp();
        // PIP.COM, STAT.COM, NOTES.TXT (one entry), BIG.DAT (two entries), OLD.BAK.
        cpm_Volume v = cpm_MakeVolume(at("img.vol"), 256);
        for (const auto &[name, size] : {std::pair<const char *, size_t>{"PIP.COM", 3000}, {"STAT.COM", 1500},
                                         {"NOTES.TXT", 100}, {"BIG.DAT", 40000}, {"OLD.BAK", 10}})
            v = cpm_SaveFile(std::move(v), Text(name), pattern(size)).Volume;
        ASSERT_EQ(setbinarytofile(at("img.vol"), v.Image), 0);
    }
};

}  // namespace

TEST_F(CliDaily, ConventionsOfEveryCommand) {
    struct {
        const char *Line;
        int Status;
        const char *Out, *Err;   // parts each must hold
    } cases[] = {
        {"$CLI --version", 0, "diskwright-cli 1.4\n", ""},
        {"$CLI --help", 0, "usage: diskwright-cli", ""},
        {"$CLI", 2, "", ""},
        {"$CLI frobnicate", 2, "", ""},
        {"$CLI ls", 2, "", ""},
        {"$CLI sort img.vol names up", 2, "", ""},
        {"$CLI new x.vol big", 2, "", ""},
        {"$CLI help get", 0, "usage: diskwright-cli get IMAGE", ""},
        {"$CLI get --help", 0, "example:\n  diskwright-cli get", ""},
        {"$CLI help", 0, "commands:", ""},
        {"$CLI help frob", 2, "", "diskwright-cli: help: unknown command 'frob'"},
        {"$CLI ls img.vol --text", 2, "", "diskwright-cli: unknown option '--text' for ls\nusage: diskwright-cli ls"},
        {"$CLI get img.vol notes.txt --text2", 2, "", "unknown option '--text2' for get"},
        {"$CLI --frob ls img.vol", 2, "", "diskwright-cli: unknown option '--frob'\n"},
        {"$CLI put img.vol --as", 2, "", "option '--as' needs a value"},
        {"$CLI ls --json=yes img.vol", 2, "", "option '--json' takes no value"},
        {"$CLI ls -l img.vol", 0, "NOTES   .TXT   2K     100 Bytes", ""},
        {"$CLI ls img.vol -l", 0, "NOTES   .TXT   2K     100 Bytes", ""},
        {"$CLI -f plain ls img.vol", 0, "5 files", ""},
        {"$CLI -f apple-do rm img.vol NOTES.TXT", 1, "", "apple-do is for images of 143360 bytes: opened read-only."},
        {"$CLI type img.vol NOPE.TXT", 1, "", "diskwright-cli: img.vol: NOPE    .TXT not found.\n"},
        {"$CLI type img.vol '*.XYZ'", 1, "", "diskwright-cli: img.vol: no file matches *.XYZ\n"},
        {"$CLI ls nothere.vol", 1, "", "diskwright-cli: nothere.vol: no such image file\n"},
        {"$CLI help ls", 0, "  --user N         the user area (0 to 15)", ""},
        {"$CLI ls --user=3 img.vol", 0, "Volume Name: img.vol (", ""},
        {"$CLI ls --all --user 3 img.vol", 2, "", "usage: diskwright-cli ls"},
        {"$CLI put img.vol notes.txt --user", 2, "", "option '--user' needs a value"},
        {"$CLI type img.vol '16:*.TXT'", 2, "", "16:*.TXT: not a file name"},
    };
    for (const auto &c : cases) {
        test_CliRun r = sh(c.Line);
        EXPECT_EQ(r.Status, c.Status) << c.Line << "\n" << r.Err;
        EXPECT_TRUE(test_Has(r.Out, c.Out)) << c.Line << "\n" << r.Out;
        EXPECT_TRUE(test_Has(r.Err, c.Err)) << c.Line << "\n" << r.Err;
    }
    // An unknown option never becomes a file name.
    EXPECT_EQ(sh("$CLI get img.vol notes.txt --txt").Status, 2);
    EXPECT_FALSE(fs::exists(at("--txt")));
    // "--" ends the options: a name may begin with "-".
    setbinarytofile(at("-dash.txt"), Text("dashed\n"));
    EXPECT_EQ(sh("$CLI put img.vol -dash.txt").Status, 2);
    EXPECT_EQ(sh("$CLI put --text img.vol -- -dash.txt").Out, "-DASH   .TXT saved on CP/M volume.\n");
    EXPECT_EQ(sh("$CLI type img.vol -- -dash.txt").Out, "dashed\n");
}

TEST_F(CliDaily, WildcardsForEveryCommandThatTakesNames) {
    fs::create_directory(at("out"));
    test_CliRun r = sh("$CLI get img.vol '*.COM' out --trim");
    EXPECT_EQ(r.Out, "PIP     .COM saved as out/PIP.COM\nSTAT    .COM saved as out/STAT.COM\n");
    EXPECT_TRUE(file("out/STAT.COM") == pattern(1500).bytes());
    EXPECT_EQ(sh("$CLI get img.vol '???.*' out -n").Out,
              "PIP     .COM exists: skipped.\nBIG     .DAT saved as out/BIG.DAT\nOLD     .BAK saved as out/OLD.BAK\n");
    EXPECT_EQ(sh("$CLI get img.vol '*.COM'").Status, 1);   // two files cannot go to one output
    EXPECT_EQ(sh("$CLI get img.vol 'N*' | wc -c").Out, "100\n");
    EXPECT_EQ(sh("$CLI get --blocks img.vol 'N*' | wc -c").Out, "2048\n");

    r = sh("$CLI dump img.vol '*.TXT' | head -2");
    EXPECT_EQ(r.Out.substr(0, 22), "==> NOTES   .TXT <==\n0");
    r = sh("$CLI dump img.vol 'B*' | grep -c '^0'");
    EXPECT_EQ(r.Out, "2560\n");   // 40960 bytes, offsets through every piece
    EXPECT_TRUE(test_Has(sh("$CLI dump img.vol BIG.DAT | tail -1").Out, "00009FF0: "));
    r = sh("$CLI blocks img.vol 'PIP.*' 'x'");
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(sh("$CLI blocks img.vol '*.COM' | grep -c '^==>'").Out, "2\n");

    r = sh("$CLI rm img.vol '*.COM' OLD.BAK");
    EXPECT_EQ(r.Out, "PIP     .COM erased\nSTAT    .COM erased\nOLD     .BAK erased\n");
    EXPECT_TRUE(test_Has(sh("$CLI ls img.vol").Out, "2 files"));
    EXPECT_EQ(sh("$CLI unrm img.vol 'p*' '*.bak'").Out, "PIP     .COM unerased\nOLD     .BAK unerased\n");
    EXPECT_EQ(sh("$CLI rm img.vol '*.XYZ'").Status, 1);
}

TEST_F(CliDaily, AttributesSetAndClear) {
    EXPECT_EQ(sh("$CLI attr img.vol '*.COM' +RS -A").Out, "PIP     .COM attributes: RS\nSTAT    .COM attributes: RS\n");
    test_CliRun ls = sh("$CLI ls -l img.vol");
    EXPECT_TRUE(test_Has(ls.Out, "PIP     .COM   4K   3.000 Bytes  #  0  R/O  SYS\n")) << ls.Out;
    EXPECT_EQ(sh("$CLI attr img.vol big.dat +A").Out, "BIG     .DAT attributes: A\n");
    EXPECT_TRUE(test_Has(sh("$CLI ls -l img.vol").Out, "  R/W  (Archived)  (1 Extension)"));
    EXPECT_EQ(sh("$CLI attr img.vol pip.com -R -S").Out, "PIP     .COM attributes: none\n");
    EXPECT_EQ(sh("$CLI attr img.vol pip.com").Status, 2);   // no change named
    EXPECT_EQ(sh("$CLI attr img.vol +R").Status, 2);        // no file named
    EXPECT_EQ(sh("$CLI attr img.vol nope.com +R").Status, 1);
}

TEST_F(CliDaily, CheckReportsDamageAndExitsOne) {
    test_CliRun r = sh("$CLI check img.vol");
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "No problems found: 5 files in 128 directory entries.\n");
    cpm_Volume v = cpm_LoadVolume(at("img.vol"));
    putEntry(v, 20, 0, "COPY    COM", 0, 0, 24, {2, 3});   // PIP.COM's blocks
    ASSERT_EQ(setbinarytofile(at("img.vol"), v.Image), 0);
    Text before = gettextfromfile(at("img.vol"));
    r = sh("$CLI check img.vol");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "#20 COPY    .COM: blocks 2, 3 also used by #0\n1 problem found: 6 files in 128 directory entries.\n");
    EXPECT_EQ(gettextfromfile(at("img.vol")), before);   // it changes nothing
}

TEST_F(CliDaily, JsonAgreesWithTheListing) {
    ASSERT_EQ(sh("$CLI attr img.vol pip.com +R && $CLI ls -l img.vol > ls.txt && $CLI ls img.vol --json > ls.json && "
                 "$CLI info --json img.vol > info.json && $CLI check img.vol --json > check.json").Status, 0);
    // The long listing's lines, rebuilt from the JSON: name, K, bytes, entry, R/O, extensions.
    const char *script = R"PY(
import json, sys
ls = json.load(open("ls.json"))
for f in ls["files"]:
    ext = f["extents"] - 1
    line = "%s%4dK %s Bytes  #%3d  %s" % (f["name"], f["sizeK"], ("{:>7,}".format(f["size"])).replace(",", "."),
                                        f["entries"][0], "R/O" if f["readOnly"] else "R/W")
    if ext: line += "  (%d Extension%s)" % (ext, "s" if ext > 1 else "")
    print(line)
info = json.load(open("info.json"))
check = json.load(open("check.json"))
print(info["format"], info["blockSize"], info["volumeKB"] - info["usedKB"] == ls["freeKB"], check["problems"], check["files"])
)PY";
    setbinarytofile(at("rebuild.py"), Text(script));
    test_CliRun r = sh("python3 rebuild.py");
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::string listing = file("ls.txt");
    std::string rebuilt = r.Out.substr(0, r.Out.rfind("Plain"));
    EXPECT_TRUE(test_Has(listing, "\n\n" + rebuilt + "\n")) << listing << "\n---\n" << rebuilt;
    EXPECT_EQ(r.Out.substr(r.Out.rfind("Plain")), "Plain CP/M volume 2048 True 0 5\n");
}

// A refused command line says what is wrong before the usage line; an image
// path that names no image says why.
TEST_F(CliDaily, RefusalsSayWhatIsWrong) {
    fs::create_directory(at("folder.vol"));
    ASSERT_EQ(setbinarytofile(at("empty.vol"), Text()), 0);
    struct {
        const char *Line;
        int Status;
        const char *Err;   // what standard error starts with
    } cases[] = {
        {"$CLI ls --user 16 img.vol", 2, "diskwright-cli: --user: 16 is not a user area (0-15)\nusage: diskwright-cli ls "},
        {"$CLI put --user abc img.vol x", 2,
         "diskwright-cli: --user: abc is not a user area (0-15)\nusage: diskwright-cli put "},
        {"$CLI attr img.vol NOTES.TXT", 2, "diskwright-cli: attr: no attribute given\nusage: diskwright-cli attr "},
        {"$CLI put img.vol -", 2, "diskwright-cli: put: standard input needs --as NAME\nusage: diskwright-cli put "},
        {"$CLI ls folder.vol", 1, "diskwright-cli: folder.vol: is a folder\n"},
        {"$CLI put folder.vol img.vol", 1, "diskwright-cli: folder.vol: is a folder\n"},
        {"$CLI info empty.vol", 1, "diskwright-cli: empty.vol: is empty\n"},
        {"$CLI rm empty.vol X", 1, "diskwright-cli: empty.vol: is empty\n"},
    };
    for (const auto &c : cases) {
        test_CliRun r = sh(c.Line);
        EXPECT_EQ(r.Status, c.Status) << c.Line;
        EXPECT_EQ(r.Err.substr(0, strlen(c.Err)), c.Err) << c.Line;
        EXPECT_EQ(r.Out, "") << c.Line;
    }
    EXPECT_EQ(fs::file_size(at("empty.vol")), 0u);   // nothing was written into it
}

// "-" as the host file: standard output for get, standard input for put.
TEST_F(CliDaily, DashIsStandardOutputAndInput) {
    test_CliRun out = sh("$CLI get img.vol PIP.COM -");
    EXPECT_EQ(out.Status, 0) << out.Err;
    EXPECT_EQ(out.Out, sh("$CLI get img.vol PIP.COM").Out);
    EXPECT_FALSE(fs::exists(at("-")));
    ASSERT_EQ(setbinarytofile(at("in.bin"), pattern(1280)), 0);
    test_CliRun in = sh("$CLI put img.vol - --as 3:IN.BIN < in.bin");
    EXPECT_EQ(std::tie(in.Status, in.Out, in.Err), std::make_tuple(0, "IN      .BIN saved on CP/M volume.\n", ""));
    EXPECT_EQ(sh("$CLI get --trim img.vol 3:IN.BIN -").Out, pattern(1280).bytes());
}
