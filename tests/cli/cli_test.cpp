// diskwright-cli run as a program: commands, output streams and exit statuses.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "files.h"
#include "fixtures.h"

namespace fs = std::filesystem;

struct CliRun { int Status = -1; std::string Out, Err; };

class Cli : public ::testing::Test {
  protected:
    test_TempFolder Folder;
    std::string at(const std::string &name) { return Folder.at(name); }

    // Runs diskwright-cli with the arguments (each quoted for the shell).
    CliRun run(const std::vector<std::string> &args) {
        std::string cmd = "'" DW_CLI_PATH "'";
        for (const std::string &a : args) cmd += " '" + a + "'";
        cmd += " 2>'" + at("stderr.txt") + "'";
        CliRun r;
        FILE *p = popen(cmd.c_str(), "r");
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
        int status = pclose(p);
        r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.Err = gettextfromfile(at("stderr.txt")).bytes();
        return r;
    }
    void write(const std::string &name, const Text &data) { ASSERT_EQ(setbinarytofile(at(name), data), 0); }
};

TEST_F(Cli, UsageErrors) {
    const std::vector<std::string> wrong[] = {{}, {"frobnicate"}, {"ls"}, {"sort", at("x.vol"), "names", "up"},
                                              {"new", at("x.vol"), "big"}};
    for (const auto &args : wrong) EXPECT_EQ(run(args).Status, 2) << args.size();
    CliRun help = run({"--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("usage: diskwright-cli"), std::string::npos);
}

TEST_F(Cli, NewPutListGet) {
    std::string img = at("a.vol");
    CliRun r = run({"new", img, "1024"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "Volume with 1.024K created: a.vol\n");
    EXPECT_EQ(run({"new", at("b.vol"), "63"}).Err, "Size too small.\n");
    EXPECT_EQ(run({"new", at("b.vol"), "65"}).Status, 1);
    EXPECT_EQ(t_FileExists(at("b.vol")), 0);

    write("hello.txt", T("Hello\r\nWorld\r\n"));
    write("data.bin", pattern(40000));
    r = run({"put", img, at("hello.txt"), at("data.bin")});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "HELLO   .TXT saved on CP/M volume.\nDATA    .BIN saved on CP/M volume.\n");
    r = run({"put", img, at("hello.txt"), at("missing.txt")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("HELLO   .TXT could not be saved: File exists."), std::string::npos);
    EXPECT_NE(r.Err.find("missing.txt"), std::string::npos);
    r = run({"put", img, at("hello.txt"), "--as", "other.doc"});
    EXPECT_EQ(r.Out, "OTHER   .DOC saved on CP/M volume.\n");

    r = run({"ls", img});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "Volume Name: a.vol (1024K)\n\n"
                     "HELLO   .TXT   2 | DATA    .BIN  40 | OTHER   .DOC   2 | \n\n"
                     "3 files, 48K used, 976K free.\n");
    r = run({"ls", "-l", img});
    EXPECT_NE(r.Out.find("DATA    .BIN  40K  40.064 Bytes  #  1  R/W  (2 Extensions)\n"), std::string::npos);

    r = run({"get", img, "data.bin", at("out.bin")});
    EXPECT_EQ(r.Status, 0);
    Text got = gettextfromfile(at("out.bin"));
    EXPECT_EQ(got.size(), 40960u);
    r = run({"get", img, "data.bin", at("trim.bin"), "--trim"});
    EXPECT_EQ(gettextfromfile(at("trim.bin")).size(), 40064u);
    r = run({"get", img, "hello.txt"});
    EXPECT_EQ(r.Out.size(), 2048u);
    EXPECT_EQ(r.Out.substr(0, 14), "Hello\r\nWorld\r\n");
    r = run({"get", img, "nope.txt"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "NOPE    .TXT not found.\n");

    fs::create_directory(at("out"));
    r = run({"get", img, "*", at("out"), "--trim"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(gettextfromfile(at("out/HELLO.TXT")).size(), 128u);
    EXPECT_EQ(gettextfromfile(at("out/DATA.BIN")).size(), 40064u);
    EXPECT_EQ(t_FileExists(at("out/OTHER.DOC")), 1);
}

TEST_F(Cli, EraseUneraseSortInit) {
    std::string img = at("m.vol");
    ASSERT_EQ(run({"new", img, "128"}).Status, 0);
    write("z.com", pattern(5000));
    write("a.txt", pattern(100));
    ASSERT_EQ(run({"put", img, at("z.com"), at("a.txt")}).Status, 0);
    CliRun r = run({"rm", img, "z.com", "nothere"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out, "Z       .COM erased\n");
    EXPECT_EQ(r.Err, "NOTHERE .    not found\n");
    EXPECT_EQ(run({"ls", img}).Out.find("Z       .COM"), std::string::npos);
    r = run({"unrm", img, "Z.COM"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "Z       .COM unerased\n");
    EXPECT_EQ(run({"rm", img, "#1"}).Out, "A       .TXT erased\n");
    EXPECT_EQ(run({"sort", img, "names", "asc"}).Out, "Volume alphabetized.\n");
    EXPECT_EQ(run({"unrm", img, "A.TXT"}).Status, 1);
    EXPECT_EQ(run({"init", img}).Out, "Volume initialized: m.vol\n");
    EXPECT_NE(run({"ls", img}).Out.find("0 files, 4K used, 124K free."), std::string::npos);
}

TEST_F(Cli, ScreensAndVerbose) {
    std::string img = at("s.vol");
    ASSERT_EQ(run({"new", img, "64"}).Status, 0);
    write("hello.txt", T("HELLO, WORLD!\r\n\x1A"));
    ASSERT_EQ(run({"put", img, at("hello.txt")}).Status, 0);
    CliRun r = run({"dump", img, "hello.txt"});
    EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "00000000: 48 45 4C 4C 4F 2C 20 57 4F 52 4C 44 21 0D 0A 1A  HELLO, WORLD!MJZ");
    EXPECT_EQ(run({"type", img, "hello.txt"}).Out, "HELLO, WORLD!\n");
    r = run({"map", img});
    EXPECT_NE(r.Out.find("000 ***" + std::string(29, '.') + std::string(32, ' ') + " 128K\n"), std::string::npos);
    EXPECT_EQ(run({"blocks", img, "hello.txt"}).Out, "Blocks for HELLO   .TXT\n\n2       \n");
    EXPECT_EQ(run({"blocks", img, "x"}).Status, 1);
    r = run({"info", img});
    EXPECT_NE(r.Out.find("Format:       Plain CP/M volume\n"), std::string::npos);
    EXPECT_NE(r.Out.find("BlockNumbers: 8-bit\n"), std::string::npos);
    EXPECT_EQ(run({"ls", img}).Out.find("cpm_LoadDirectory"), std::string::npos);
    EXPECT_NE(run({"-v", "ls", img}).Out.find("cpm_LoadDirectory: #0 = HELLO   .TXT, Len =    128, Blk 2,"),
              std::string::npos);
    EXPECT_EQ(run({"ls", at("none.vol")}).Status, 1);
}

TEST_F(Cli, FailedSaveExitsOne) {
    // A file in a folder where no file can be made, not even by root: the
    // image loads (an empty plain volume) but the atomic save cannot write.
    if (t_FileExists("/proc/version") != 1) GTEST_SKIP() << "no /proc";
    CliRun r = run({"init", "/proc/version"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("image could not be saved: "), std::string::npos) << r.Err;
    // (setbinarytofile's own log line goes to standard output.)
}
