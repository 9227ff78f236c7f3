// diskwright-cli run as a program: commands, output streams and exit
// statuses; against lost data: host files written safely,
// refused inputs, names shown on a terminal.
#include <pty.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>

#include "apple_images.h"
#include "cli_run.h"
#include "files.h"
#include "image.h"
#include "peer_tools.h"
#include "read.h"
#include "volume.h"
#include "write.h"

namespace fs = std::filesystem;

class Cli : public test_CliTest {
  protected:
    // Runs the tool with the arguments (each quoted for the shell).
    test_CliRun run(const std::vector<std::string> &args) {
        std::string line = "$CLI";
        for (const std::string &a : args) line += " '" + a + "'";
        return sh(line);
    }
    void write(const std::string &name, const Text &data) { ASSERT_EQ(setbinarytofile(at(name), data), 0); }
    // A plain image with the files, then directory entries renamed as a
    // real disk may hold them (11 raw name bytes per entry number).
    void makeImage(const std::string &name, int kb, const std::vector<std::pair<std::string, std::string>> &files,
                   const std::map<int, std::string> &rawNames = {}) {
        cpm_Volume v = cpm_MakeVolume(at(name), kb);
        for (const auto &[file, data] : files) v = cpm_SaveFile(std::move(v), Text(file), Text(data)).Volume;
        for (const auto &[entry, raw] : rawNames) std::copy(raw.begin(), raw.end(), v.Image.data() + 32 * entry + 1);
        write(name, v.Image);
    }
};

TEST_F(Cli, NewPutListGet) {
    std::string img = at("a.vol");
    test_CliRun r = run({"new", img, "1024"});
    EXPECT_EQ(std::tie(r.Status, r.Out), std::make_tuple(0, "Volume with 1.024K created: a.vol\n"));
    EXPECT_EQ(run({"new", at("b.vol"), "63"}).Err, "diskwright-cli: " + at("b.vol") + ": Size too small.\n");
    EXPECT_EQ(run({"new", at("b.vol"), "65"}).Status, 1);
    EXPECT_EQ(t_FileExists(at("b.vol")), 0);
    // new never replaces a file without --force.
    write("taken.vol", Text("precious"));
    r = sh("$CLI new taken.vol 64");
    EXPECT_EQ(std::tie(r.Status, r.Err), std::make_tuple(1, "diskwright-cli: taken.vol: exists (use --force to replace it)\n"));
    EXPECT_EQ(gettextfromfile(at("taken.vol")), Text("precious"));
    EXPECT_EQ(sh("$CLI new taken.vol 64 --force").Status, 0);
    EXPECT_EQ(gettextfromfile(at("taken.vol")).size(), 65536u);

    write("hello.txt", T("Hello\r\nWorld\r\n"));
    write("data.bin", pattern(40000));
    r = run({"put", img, at("hello.txt"), at("data.bin")});
    EXPECT_EQ(std::tie(r.Status, r.Out), std::make_tuple(0, "HELLO   .TXT saved on CP/M volume.\nDATA    .BIN saved on CP/M volume.\n"));
    r = run({"put", img, at("hello.txt"), at("missing.txt")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(test_Has(r.Err, "HELLO   .TXT could not be saved: File exists.") && test_Has(r.Err, "missing.txt")) << r.Err;
    EXPECT_EQ(run({"put", img, at("hello.txt"), "--as", "other.doc"}).Out, "OTHER   .DOC saved on CP/M volume.\n");

    r = run({"ls", img});
    EXPECT_EQ(std::tie(r.Status, r.Out), std::make_tuple(0, "Volume Name: a.vol (1024K)\n\n"
                                                            "HELLO   .TXT   2 | DATA    .BIN  40 | OTHER   .DOC   2 | \n\n"
                                                            "3 files, 48K used, 976K free.\n"));
    // The listing and the copy have the file's size; --blocks copies its whole blocks.
    r = run({"ls", "-l", img});
    EXPECT_TRUE(test_Has(r.Out, "DATA    .BIN  40K  40.000 Bytes  #  1  R/W  (2 Extensions)\n")) << r.Out;
    for (auto [option, size] : {std::pair<std::string, size_t>{"", 40000}, {" --trim", 40000}, {" --blocks", 40960}}) {
        EXPECT_EQ(sh("$CLI get a.vol data.bin out.bin" + option).Status, 0);
        EXPECT_EQ(file("out.bin").size(), size) << option;
    }
    EXPECT_EQ(run({"get", img, "data.bin", at("both.bin"), "--blocks", "--trim"}).Status, 2);
    r = run({"get", img, "nope.txt"});
    EXPECT_EQ(std::tie(r.Status, r.Err), std::make_tuple(1, "diskwright-cli: " + img + ": NOPE    .TXT not found.\n"));
}

TEST_F(Cli, EraseUneraseSortInitAndScreens) {
    std::string img = at("m.vol");
    write("z.com", pattern(5000));
    write("a.txt", pattern(100));
    ASSERT_EQ(sh("$CLI new m.vol 128 && $CLI put m.vol z.com a.txt").Status, 0);
    test_CliRun r = run({"rm", img, "z.com", "nothere"});
    EXPECT_EQ(std::tie(r.Status, r.Out, r.Err),
              std::make_tuple(1, "Z       .COM erased\n", "diskwright-cli: " + img + ": NOTHERE .    not found\n"));
    EXPECT_EQ(run({"rm", img, "#1"}).Out, "A       .TXT erased\n");
    EXPECT_EQ(run({"sort", img, "names", "asc"}).Out, "Volume alphabetized.\n");
    EXPECT_EQ(run({"unrm", img, "A.TXT"}).Status, 1);
    EXPECT_EQ(run({"init", img}).Out, "Volume initialized: m.vol\n");
    EXPECT_TRUE(test_Has(run({"ls", img}).Out, "0 files, 4K used, 124K free."));

    img = at("s.vol");
    write("hello.txt", T("HELLO, WORLD!\r\n\x1A"));
    ASSERT_EQ(sh("$CLI new s.vol 64 && $CLI put s.vol hello.txt").Status, 0);
    EXPECT_EQ(run({"type", img, "hello.txt"}).Out, "HELLO, WORLD!\n");
    EXPECT_TRUE(test_Has(run({"map", img}).Out, "000 ***" + std::string(29, '.') + std::string(32, ' ') + " 128K\n"));
    EXPECT_EQ(run({"blocks", img, "hello.txt"}).Out, "Blocks for HELLO   .TXT\n\n2       \n");
    EXPECT_EQ(run({"blocks", img, "x"}).Status, 1);
    EXPECT_TRUE(test_Has(run({"info", img}).Out, "BlockNumbers: 8-bit\n"));
    EXPECT_FALSE(test_Has(run({"ls", img}).Out, "cpm_LoadDirectory"));
    EXPECT_TRUE(test_Has(run({"-v", "ls", img}).Out, "cpm_LoadDirectory: #0 = HELLO   .TXT, Len =    128, Blk 2,"));
}

// What is not CP/M is never written: every changing command is refused at
// once with the reason, reading commands still work.
TEST_F(Cli, RefusesToChangeWhatIsNotCpm) {
    const std::pair<const char *, Text> cases[] = {
        {"dos.dsk", dos33Disk()}, {"prodos.po", proDosDisk()}, {"random.img", pattern(143360, 5)},
        {"notes.txt", textFile(5000)}, {"nibbles.2mg", twoImg(fileBytes(232960, Text(), 0xFF), 2)}};
    write("a.txt", T("hello"));
    for (const auto &[name, bytes] : cases) {
        SCOPED_TRACE(name);
        std::string img = at(name);
        write(name, bytes);
        std::string reason = img.ends_with(".2mg") ? "Nibble images are not supported." : cpm_NotCpmMessage;
        std::string refusal = "diskwright-cli: " + img + ": " + reason + "\n";
        const std::vector<std::vector<std::string>> changing = {
            {"put", img, at("a.txt")}, {"rm", img, "#0"}, {"unrm", img, "#0"}, {"sort", img, "names", "asc"}, {"init", img}};
        for (const auto &args : changing) {
            test_CliRun r = run(args);
            EXPECT_EQ(std::tie(r.Status, r.Err, r.Out), std::make_tuple(1, refusal, "")) << args[0];
        }
        EXPECT_EQ(gettextfromfile(img), bytes) << "the image was written";
        test_CliRun ls = run({"ls", img});
        EXPECT_EQ(ls.Status, 0);
        EXPECT_EQ(ls.Err, refusal);
    }
}

TEST_F(Cli, InfoExplainsTheDecision) {
    write("disk.po", reordered(dosOrderDisk()));
    write("blank.2mg", twoImg(fileBytes(143360, Text(), 0xE5), 1));
    const std::pair<const char *, std::vector<std::string>> cases[] = {
        {"disk.po", {"Format:       Apple II 140K CP/M\n", "Container:    none\n", "Order:        ProDOS order\n",
                     "Decided by:   most good entries (DOS order 14 good 16 bad, ProDOS order 14 good 0 bad, plain 0 good 0 bad)\n"}},
        {"blank.2mg", {"Container:    2IMG\n",
                       "Decided by:   same files, 2IMG format field (ProDOS order 0 good 0 bad, plain 0 good 0 bad)"}},
    };
    for (const auto &[image, lines] : cases) {
        test_CliRun r = run({"info", at(image)});
        EXPECT_EQ(r.Status, 0);
        for (const std::string &line : lines) EXPECT_TRUE(test_Has(r.Out, line)) << line << r.Out;
    }
}

TEST_F(Cli, TwentyConcurrentPutsKeepEveryFile) {
    ASSERT_EQ(sh("$CLI new img.vol 256").Status, 0);
    std::string line;
    for (int i = 0; i < 20; i++) {
        write("f" + std::to_string(i) + ".bin", pattern(size_t(1000 + 700 * i), i));
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
    TEST_REQUIRE_TOOLS("fsck.cpm");
    // cpmtools wants a reserved track before the directory: one of 0xE5 in front.
    setbinarytofile(at("diskdefs"), Text("diskdef dw256\n  seclen 512\n  tracks 129\n  sectrk 4\n  blocksize 2048\n"
                                         "  maxdir 128\n  boottrk 1\n  os 2.2\nend\n"));
    write("fsck.img", Text(std::vector<uint8_t>(2048, 0xE5)) + gettextfromfile(at("img.vol")));
    test_CliRun fsck = sh("fsck.cpm -n -f dw256 fsck.img 2>&1");
    EXPECT_EQ(fsck.Status, 0) << fsck.Out;
    EXPECT_EQ(fsck.Out.find("Error"), std::string::npos) << fsck.Out;
}

TEST_F(Cli, GetWritesNothingThroughLinksPipesOrHalfway) {
    makeImage("img.vol", 256, {{"A.TXT", "alpha"}, {"B.TXT", "beta"}, {"C.TXT", "gamma"}, {"BIG.DAT", std::string(60000, 'x')}});
    fs::create_directory(at("out"));
    write("outside", Text("outside"));
    fs::create_symlink(at("outside"), at("out/A.TXT"));
    ASSERT_EQ(mkfifo(at("out/B.TXT").c_str(), 0644), 0);
    write("out/C.TXT", Text("old c"));
    test_CliRun r = sh("$CLI get img.vol '*' out -n");
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

TEST_F(Cli, PutRefusesPipesDevicesAndOversizedFilesAtOnce) {
    ASSERT_EQ(sh("$CLI new img.vol 64").Status, 0);
    ASSERT_EQ(mkfifo(at("pipe").c_str(), 0644), 0);
    ASSERT_EQ(truncate((setbinarytofile(at("huge.bin"), Text()), at("huge.bin")).c_str(), 3 << 20), 0);
    struct { std::string Args, Err; } cases[] = {
        {"pipe", "diskwright-cli: img.vol: pipe could not be read: not a regular file.\n"},
        {"/dev/null", "diskwright-cli: img.vol: /dev/null could not be read: not a regular file.\n"},
        {"huge.bin", "diskwright-cli: img.vol: HUGE    .BIN could not be saved: Not enough free space on volume.\n"},
        {"pipe --as '*.*'", "diskwright-cli: img.vol: pipe could not be read: not a regular file.\n"},
    };
    for (const auto &c : cases) {
        test_CliRun r = sh("timeout 10 $CLI put img.vol " + c.Args);
        EXPECT_EQ(std::tie(r.Status, r.Err, r.Out), std::make_tuple(1, c.Err, "")) << c.Args;
    }
    write("ok.txt", Text("fine"));
    EXPECT_EQ(sh("$CLI put img.vol ok.txt --as '*.*'").Err, "diskwright-cli: img.vol: *.*: not a valid CP/M name.\n");
    write("a\nb\x1b.txt", Text("control"));
    EXPECT_EQ(sh("$CLI put img.vol 'a\nb\x1b.txt'").Out, "AB      .TXT saved on CP/M volume.\n");
    // An image above 1 GiB is refused before it is read.
    ASSERT_EQ(truncate((setbinarytofile(at("disk.img"), Text()), at("disk.img")).c_str(), (1LL << 30) + 1), 0);
    test_CliRun r = sh("$CLI ls disk.img");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "diskwright-cli: disk.img: Image file too large.\n");
}

TEST_F(Cli, ControlCharactersInCaretNotationOnATerminal) {
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
