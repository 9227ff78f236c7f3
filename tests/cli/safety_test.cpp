// diskwright-cli against lost data: locked saves, host files written safely,
// refused inputs, names typing cannot reproduce, names shown on a terminal.
#include <fcntl.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>

#include "files.h"
#include "fixtures.h"

namespace fs = std::filesystem;

namespace {

struct ShellRun {
    int Status = -1;
    std::string Out, Err;
};

class CliSafety : public ::testing::Test {
  protected:
    fs::path Folder;
    void SetUp() override {
        char templ[] = "/tmp/dwsafeXXXXXX";
        Folder = mkdtemp(templ);
        cpm_SetDiagnostics(false);
    }
    void TearDown() override {
        cpm_SetDiagnostics(true);
        fs::remove_all(Folder);
    }
    std::string at(const std::string &name) { return (Folder / name).string(); }

    // Runs a shell command line in the folder; $CLI is the tool.
    ShellRun sh(const std::string &line) {
        std::string cmd = "cd '" + Folder.string() + "' && CLI='" DW_CLI_PATH "' && { " + line + " ; } 2>'" +
                          at("stderr.txt") + "'";
        ShellRun r;
        FILE *p = popen(cmd.c_str(), "r");
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.Out.append(buf, n);
        int status = pclose(p);
        r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.Err = gettextfromfile(at("stderr.txt")).bytes();
        fs::remove(at("stderr.txt"));
        return r;
    }
    // A plain image with the files, then directory entries renamed as a
    // real disk may hold them (11 raw name bytes per entry number).
    void makeImage(const std::string &name, int kb, const std::vector<std::pair<std::string, std::string>> &files,
                   const std::map<int, std::string> &rawNames = {}) {
        cpm_Volume v = cpm_MakeVolume(at(name), kb);
        for (const auto &[file, data] : files) v = cpm_SaveFile(std::move(v), Text(file), Text(data)).Volume;
        for (const auto &[entry, raw] : rawNames) std::copy(raw.begin(), raw.end(), v.Image.data() + 32 * entry + 1);
        ASSERT_EQ(setbinarytofile(at(name), v.Image), 0);
    }
};

TEST_F(CliSafety, TwentyConcurrentPutsKeepEveryFile) {
    ASSERT_EQ(sh("$CLI new img.vol 256").Status, 0);
    std::string line;
    for (int i = 0; i < 20; i++) {
        setbinarytofile(at("f" + std::to_string(i) + ".bin"), pattern(size_t(1000 + 700 * i), i));
        line += "$CLI put img.vol f" + std::to_string(i) + ".bin >/dev/null & ";
    }
    sh(line + "wait");
    cpm_Volume v = cpm_LoadVolume(at("img.vol"));
    for (int i = 0; i < 20; i++) {
        cpm_FileData f = cpm_LoadFile(v, Text("F" + std::to_string(i) + ".BIN"));
        ASSERT_TRUE(f.Found) << i;
        EXPECT_EQ(Text(std::vector<uint8_t>(f.Data.Elements.begin(), f.Data.Elements.begin() + 1000 + 700 * i)),
                  pattern(size_t(1000 + 700 * i), i));
    }
    if (system("command -v fsck.cpm >/dev/null 2>&1") != 0) GTEST_SKIP() << "cpmtools is not installed";
    // cpmtools wants a reserved track before the directory: one of 0xE5 in front.
    setbinarytofile(at("diskdefs"), Text("diskdef dw256\n  seclen 512\n  tracks 129\n  sectrk 4\n  blocksize 2048\n"
                                         "  maxdir 128\n  boottrk 1\n  os 2.2\nend\n"));
    setbinarytofile(at("fsck.img"), Text(std::vector<uint8_t>(2048, 0xE5)) + gettextfromfile(at("img.vol")));
    ShellRun fsck = sh("fsck.cpm -n -f dw256 fsck.img 2>&1");
    EXPECT_EQ(fsck.Status, 0) << fsck.Out;
    EXPECT_EQ(fsck.Out.find("Error"), std::string::npos) << fsck.Out;
}

TEST_F(CliSafety, NewNeverReplacesWithoutForce) {
    setbinarytofile(at("taken.vol"), Text("precious"));
    ShellRun r = sh("$CLI new taken.vol 64");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "diskwright-cli: taken.vol: exists (use --force to replace it)\n");
    EXPECT_EQ(gettextfromfile(at("taken.vol")), Text("precious"));
    EXPECT_EQ(sh("$CLI new taken.vol 64 --force").Status, 0);
    EXPECT_EQ(gettextfromfile(at("taken.vol")).size(), 65536u);
}

TEST_F(CliSafety, GetWritesNothingThroughLinksPipesOrHalfway) {
    makeImage("img.vol", 256, {{"A.TXT", "alpha"}, {"B.TXT", "beta"}, {"C.TXT", "gamma"}, {"BIG.DAT", std::string(60000, 'x')}});
    fs::create_directory(at("out"));
    setbinarytofile(at("outside"), Text("outside"));
    fs::create_symlink(at("outside"), at("out/A.TXT"));
    ASSERT_EQ(mkfifo(at("out/B.TXT").c_str(), 0644), 0);
    setbinarytofile(at("out/C.TXT"), Text("old c"));
    ShellRun r = sh("$CLI get img.vol '*' out -n");
    EXPECT_EQ(r.Out, "A       .TXT exists: skipped.\nB       .TXT exists: skipped.\nC       .TXT exists: skipped.\n"
                     "BIG     .DAT saved as out/BIG.DAT\n");
    r = sh("timeout 10 $CLI get img.vol '*' out --trim");
    EXPECT_EQ(r.Status, 1);   // the pipe is refused, never opened
    EXPECT_NE(r.Err.find("B       .TXT could not be saved as out/B.TXT: not a regular file"), std::string::npos) << r.Err;
    EXPECT_EQ(gettextfromfile(at("outside")), Text("outside"));   // the link was replaced, not followed
    EXPECT_EQ(gettextfromfile(at("out/A.TXT")).bytes().substr(0, 5), "alpha");
    EXPECT_TRUE(fs::is_fifo(at("out/B.TXT")));
    EXPECT_EQ(gettextfromfile(at("out/C.TXT")).bytes().substr(0, 5), "gamma");   // replaced as cp replaces

    // A full file system: the old file stays whole, no part of the new one is left.
    std::string full = at("full");
    fs::create_directory(full);
    bool mounted = geteuid() == 0 && mount("tmpfs", full.c_str(), "tmpfs", 0, "size=32k") == 0;
    setbinarytofile(full + "/BIG.DAT", Text("old big"));
    if (!mounted) {
        // Without a small file system the write fails past 16 KB all the same.
        signal(SIGXFSZ, SIG_IGN);
        r = sh("ulimit -f 32 && $CLI get img.vol big.dat full/BIG.DAT");
    } else {
        r = sh("$CLI get img.vol big.dat full/BIG.DAT");
    }
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(gettextfromfile(full + "/BIG.DAT"), Text("old big"));
    size_t files = size_t(std::distance(fs::directory_iterator(full), fs::directory_iterator()));
    if (mounted) umount(full.c_str());
    EXPECT_EQ(files, 1u);
}

TEST_F(CliSafety, PutRefusesPipesDevicesAndOversizedFilesAtOnce) {
    ASSERT_EQ(sh("$CLI new img.vol 64").Status, 0);
    ASSERT_EQ(mkfifo(at("pipe").c_str(), 0644), 0);
    ASSERT_EQ(truncate((setbinarytofile(at("huge.bin"), Text()), at("huge.bin")).c_str(), 3 << 20), 0);
    struct {
        std::string Args, Err;
    } cases[] = {
        {"pipe", "diskwright-cli: img.vol: pipe could not be read: not a regular file.\n"},
        {"/dev/null", "diskwright-cli: img.vol: /dev/null could not be read: not a regular file.\n"},
        {"huge.bin", "diskwright-cli: img.vol: HUGE    .BIN could not be saved: Not enough free space on volume.\n"},
        {"pipe --as '*.*'", "diskwright-cli: img.vol: pipe could not be read: not a regular file.\n"},
    };
    for (const auto &c : cases) {
        ShellRun r = sh("timeout 10 $CLI put img.vol " + c.Args);
        EXPECT_EQ(r.Status, 1) << c.Args;
        EXPECT_EQ(r.Err, c.Err) << c.Args;
        EXPECT_EQ(r.Out, "") << c.Args;
    }
    setbinarytofile(at("ok.txt"), Text("fine"));
    EXPECT_EQ(sh("$CLI put img.vol ok.txt --as '*.*'").Err, "diskwright-cli: img.vol: *.*: not a valid CP/M name.\n");
    setbinarytofile(at("a\nb\x1b.txt"), Text("control"));
    EXPECT_EQ(sh("$CLI put img.vol 'a\nb\x1b.txt'").Out, "AB      .TXT saved on CP/M volume.\n");
    // An image above 1 GiB is refused before it is read.
    ASSERT_EQ(truncate((setbinarytofile(at("disk.img"), Text()), at("disk.img")).c_str(), (1LL << 30) + 1), 0);
    ShellRun r = sh("$CLI ls disk.img");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "diskwright-cli: disk.img: Image file too large.\n");
}

TEST_F(CliSafety, NamesTypingCannotReproduceStayReachable) {
    // A real disk's names: lower case, a date with slashes, and two names that
    // both become A_B.TXT on the host.
    makeImage("img.vol", 128, {{"L.TXT", "lower"}, {"D.R21", "dated"}, {"S.TXT", "slash"}, {"A_B.TXT", "under"}},
              {{0, "readme  txt"}, {1, "-10/7/87R21"}, {2, "A/B     TXT"}});
    fs::create_directory(at("out"));
    ShellRun r = sh("$CLI get img.vol '*' out --trim");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "readme  .txt saved as out/readme.txt\n-10/7/87.R21 saved as out/-10_7_87.R21\n"
                     "A/B     .TXT saved as out/A_B.TXT\nA_B     .TXT saved as out/A_B~1.TXT\n");
    EXPECT_EQ(gettextfromfile(at("out/A_B~1.TXT")).bytes().substr(0, 5), "under");
    EXPECT_EQ(sh("$CLI type img.vol -- -10/7/87.R21").Out, "dated\n");
    EXPECT_EQ(sh("$CLI type img.vol readme.txt").Out, "lower\n");
    EXPECT_EQ(sh("$CLI rm img.vol -- readme.txt '-10/7/87.R21'").Out, "readme  .txt erased\n-10/7/87.R21 erased\n");
}

TEST_F(CliSafety, ControlCharactersInCaretNotationOnATerminal) {
    makeImage("img.vol", 64, {{"X.TXT", "x"}}, {{0, "ev\x1b[2Jl\x7fTXT"}});
    EXPECT_NE(sh("$CLI ls img.vol").Out.find("ev\x1b[2Jl\x7f.TXT"), std::string::npos);   // a pipe: unchanged
    int master = -1;
    pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(DW_CLI_PATH, "diskwright-cli", "ls", at("img.vol").c_str(), (char *)nullptr);
        _exit(127);
    }
    std::string screen;
    char buf[1024];
    for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) screen.append(buf, size_t(n));
    waitpid(child, nullptr, 0);
    close(master);
    EXPECT_NE(screen.find("ev^[[2Jl^?.TXT"), std::string::npos) << screen;
    EXPECT_EQ(screen.find('\x1b'), std::string::npos);
}

}  // namespace
