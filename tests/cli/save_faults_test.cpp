// Saves under faults: a run killed at every step of an in-place save, full
// file systems, file size limits, full standard output, failed flushes,
// racing writers, a link or the bytes changed under a running save, pipes
// given as images.  Whatever happens, the image holds its old bytes or its
// new ones (never a mix, and cpmtools finds it clean), and a failure is never
// reported as success.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli_run.h"
#include "files.h"
#include "image.h"
#include "volume.h"
#include "write.h"

namespace fs = std::filesystem;

namespace {

// A plain 2048K volume as cpmtools sees it: one leading track more.
const char *const plainDiskdef =
    "diskdef dw-plain2048\n  seclen 512\n  tracks 1025\n  sectrk 4\n  blocksize 2048\n  maxdir 128\n"
    "  boottrk 1\n  os 2.2\nend\n";

class SaveFaults : public test_CliTest {
  protected:
    // A program the case needs: a failure under CI, else the case is skipped.
    bool have(const char *program) {
        if (test_Shell(std::string("command -v ") + program + " >/dev/null 2>&1") == 0) return true;
        if (const char *ci = getenv("CI"); ci && std::string(ci) == "true")
            ADD_FAILURE() << program << " is needed here";
        else
            missing = program;
        return false;
    }
    std::string missing;

    // A 2048K volume of 100 files stored Z to A, so that sorting moves them all.
    void makeVolume(const std::string &name) {
        cpm_Volume v = cpm_MakeVolume(at(name), 2048);
        for (int i = 99; i >= 0; i--) {
            std::string data(size_t(700 + 131 * i), char('a' + i % 26));
            v = cpm_SaveFile(std::move(v), Text("F" + std::to_string(i) + ".DAT"), Text(data)).Volume;
            ASSERT_TRUE(v.Changed);
        }
        ASSERT_EQ(setbinarytofile(at(name), v.Image), 0);
    }
    // fsck.cpm finds no error in the image.
    void expectClean(const std::string &name) {
        Folder.write("diskdefs", plainDiskdef);
        std::string out;
        int status = test_Shell("cd '" + Folder.Path + "' && { head -c 2048 /dev/zero; cat '" + name +
                                    "'; } >fsck.img && fsck.cpm -f dw-plain2048 -n fsck.img 2>&1",
                                &out);
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(out.find("Error"), std::string::npos) << name << ": " << out;
    }
    // The hidden files of the folder: records and temporary files left behind.
    std::set<std::string> leftovers() {
        std::set<std::string> out;
        for (const std::string &name : Folder.names())
            if (name[0] == '.' && name != ".stderr") out.insert(name);
        return out;
    }

  public:
    void killedInPlaceSaves();
    void sparseImageOnFullDisk();
    void fileSizeLimit();
    void fullStandardOutput();
    void folderNotFlushed();
    void racingNew();
    void linkSwappedDuringSave();
    void bytesChangedTimeRestored();
    void pipesAndDevicesAsImages();
    void pendingRecordOpensReadOnly();
};

// Killed after N bytes of each in-place save (the record's and the image's),
// for N across the whole save: the next open rolls back, and the image is
// the old one or the new one.  A hard-linked image keeps its record beside
// it; one in a folder that takes no new file, in the cache of the home folder.
void SaveFaults::killedInPlaceSaves() {
    if (!have("fsck.cpm")) return;
    makeVolume("old.dsk");
    Folder.write("BIG.BIN", std::string(40000, 'B'));
    const std::string home = "HOME='" + Folder.folder("home") + "' ";
    fs::create_directory(at("ro"));
    bool lockable = test_Shell("chattr +i '" + at("ro") + "' 2>/dev/null && chattr -i '" + at("ro") + "'") == 0;
    const struct {
        const char *Image, *Command, *Open;
        int Step;   // bytes between two kills
    } runs[] = {{"a.dsk", "sort a.dsk names asc", "hard.dsk", 89},
                {"a.dsk", "put a.dsk BIG.BIN", "hard.dsk", 1499},
                {"a.dsk", "rm a.dsk 'F1*.DAT'", "hard.dsk", 53},
                {"ro/a.dsk", "sort ro/a.dsk names desc", "ro/a.dsk", 97}};
    for (const auto &c : runs) {
        SCOPED_TRACE(c.Command);
        const bool locked = std::string(c.Image) == "ro/a.dsk";
        if (locked && !lockable) {
            missing = "chattr (for a folder that takes no new file)";
            continue;
        }
        // The old image in place: hard-linked, or in a folder made immutable.
        auto prepare = [&] {
            if (locked) test_Shell("chattr -i '" + at("ro") + "'");
            fs::remove(at("hard.dsk"));
            fs::copy_file(at("old.dsk"), at(c.Image), fs::copy_options::overwrite_existing);
            if (locked) test_Shell("chattr +i '" + at("ro") + "'");
            else fs::create_hard_link(at(c.Image), at("hard.dsk"));
        };
        // The new bytes, as a save that is not interrupted writes them.
        prepare();
        ASSERT_EQ(sh(home + "$CLI " + c.Command).Status, 0);
        const std::string newBytes = file(c.Image), oldBytes = file("old.dsk");
        ASSERT_NE(newBytes, oldBytes);
        int kills = 0;
        for (long long n = 0;; n += c.Step) {
            prepare();
            test_CliRun r = sh(home + "DW_TEST_KILL_AFTER_BYTES=" + std::to_string(n) + " $CLI " + c.Command);
            if (r.Status == 0) break;
            ASSERT_EQ(r.Status, 128 + SIGKILL) << "after " << n << " bytes: " << r.Err;
            kills++;
            test_CliRun open = sh(home + "$CLI ls " + c.Open);
            EXPECT_EQ(open.Status, 0) << open.Err;
            std::string after = file(c.Image);
            EXPECT_TRUE(after == oldBytes || after == newBytes) << "a mix after " << n << " bytes";
            // A whole record is said once; a record cut short meant no byte of the image had changed.
            bool rolledBack = open.Err == std::string(c.Open) + ": an interrupted save was rolled back.\n";
            EXPECT_TRUE(rolledBack || (open.Err.empty() && after == oldBytes)) << open.Err;
            EXPECT_EQ(sh(home + "$CLI ls " + c.Open).Err, "");
            // A record cut short is found by the name it was written beside.
            EXPECT_EQ(sh(home + "$CLI ls " + c.Image).Err, "");
            EXPECT_EQ(leftovers(), std::set<std::string>{});
            EXPECT_TRUE(!fs::exists(at("home/.cache/diskwright/undo")) || fs::is_empty(at("home/.cache/diskwright/undo")));
            if (n % (c.Step * 8) == 0) expectClean(c.Image);
        }
        if (locked) test_Shell("chattr -i '" + at("ro") + "'");
        EXPECT_GT(kills, 3);
        expectClean(c.Image);
    }
}

// A sparse hard-linked image on a nearly full file system: the space of
// what is to be written is taken first, so the save is refused before any
// byte changes.
void SaveFaults::sparseImageOnFullDisk() {
    if (geteuid() != 0) {
        if (const char *ci = getenv("CI"); ci && std::string(ci) == "true") ADD_FAILURE() << "needs root to mount";
        else missing = "root (to mount a small file system)";
        return;
    }
    std::string small = Folder.folder("small");
    ASSERT_EQ(mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m"), 0);
    struct Unmount {
        std::string Path;
        ~Unmount() { umount(Path.c_str()); }
    } unmount{small};
    // Under 96K left, most of it in the holes of the image.
    ASSERT_EQ(sh("$CLI new whole.dsk 2048 && cp --sparse=always whole.dsk small/a.dsk && ln small/a.dsk small/b.dsk && "
                 "head -c 960000 /dev/zero >small/fill")
                  .Status,
              0);
    Folder.write("BIG.BIN", std::string(98304, 'x'));
    const std::string before = file("small/a.dsk");
    test_CliRun r = sh("$CLI put small/a.dsk BIG.BIN");
    EXPECT_EQ(std::tie(r.Status, r.Out, r.Err),
              std::make_tuple(1, std::string(), std::string("diskwright-cli: small/a.dsk: image could not be saved: "
                                                            "No space left on device\n")));
    EXPECT_EQ(file("small/a.dsk"), before);
    EXPECT_EQ(Folder.names("small"), (std::set<std::string>{"a.dsk", "b.dsk", "fill"}));
}

// A file size limit stops the record or a range of the image: the save is
// refused, the image keeps its old bytes, nothing is left behind, and the
// quiet tool writes nothing on standard output.
void SaveFaults::fileSizeLimit() {
    makeVolume("a.dsk");
    fs::create_hard_link(at("a.dsk"), at("hard.dsk"));
    Folder.write("BIG.BIN", std::string(200000, 'B'));
    const std::string before = file("a.dsk");
    for (const char *line : {"ulimit -f 2 && $CLI sort a.dsk names asc",   // the record passes the limit
                             "ulimit -f 600 && $CLI put a.dsk BIG.BIN"}) {   // the file's blocks do
        test_CliRun r = sh(line);
        EXPECT_EQ(r.Status, 1) << line;
        EXPECT_EQ(r.Out, "") << line;
        EXPECT_EQ(r.Err, "diskwright-cli: a.dsk: image could not be saved: File too large\n") << line;
        EXPECT_EQ(file("a.dsk"), before) << line;
        EXPECT_EQ(leftovers(), std::set<std::string>{}) << line;
    }
}

// Standard output that takes no byte: the copy fails the run.
void SaveFaults::fullStandardOutput() {
    makeVolume("a.dsk");
    for (const char *command : {"get a.dsk F5.DAT", "type a.dsk F5.DAT", "dump a.dsk F5.DAT", "ls -l a.dsk",
                                "get a.dsk F99.DAT --text"}) {
        test_CliRun r = sh("$CLI " + std::string(command) + " >/dev/full");
        EXPECT_EQ(std::tie(r.Status, r.Err),
                  std::make_tuple(1, std::string("diskwright-cli: standard output: No space left on device\n")))
            << command;
    }
}

// The folder flush after the rename fails: saved, and said, with status 1.
void SaveFaults::folderNotFlushed() {
    if (!have("strace")) return;
    makeVolume("a.dsk");
    // The traced tool runs without LeakSanitizer, which cannot work under ptrace.
    const std::string inject =
        "strace -E ASAN_OPTIONS=detect_leaks=0 -f -o /dev/null -e trace=fsync -e inject=fsync:error=EIO:when=";
    const struct {
        std::string Line, Err;
        bool Changed;
    } cases[] = {
        {inject + "2 $CLI rm a.dsk F1.DAT",
         "diskwright-cli: a.dsk: saved, but the folder could not be flushed: Input/output error\n", true},
        {inject + "1 $CLI rm a.dsk F2.DAT", "diskwright-cli: a.dsk: image could not be saved: Input/output error\n", false},
        {inject + "2 $CLI get a.dsk F3.DAT out.dat",
         "diskwright-cli: a.dsk: out.dat: saved, but the folder could not be flushed: Input/output error\n", false},
    };
    for (const auto &c : cases) {
        const std::string before = file("a.dsk");
        test_CliRun r = sh(c.Line);
        EXPECT_EQ(std::tie(r.Status, r.Err), std::make_tuple(1, c.Err)) << c.Line;
        EXPECT_EQ(file("a.dsk") != before, c.Changed) << c.Line;
        EXPECT_EQ(leftovers(), std::set<std::string>{}) << c.Line;
    }
}

// Ten runs of new for one name at once: one creates it, nine are refused.
void SaveFaults::racingNew() {
    for (int round = 0; round < 3; round++) {
        fs::remove(at("r.dsk"));
        test_CliRun r = sh("for i in 1 2 3 4 5 6 7 8 9 10; do $CLI new r.dsk $((62 + 2 * i)) & done; wait");
        size_t created = 0, refused = 0;
        for (size_t at = 0; (at = r.Out.find("created: r.dsk\n", at)) != std::string::npos; at++) created++;
        for (size_t at = 0; (at = r.Err.find("diskwright-cli: r.dsk: exists (use --force to replace it)\n", at)) !=
                            std::string::npos;
             at++)
            refused++;
        EXPECT_EQ(std::make_pair(created, refused), std::make_pair(size_t(1), size_t(9))) << r.Out << r.Err;
        // The volume the one announced.
        size_t kb = std::stoul(r.Out.substr(r.Out.find("with ") + 5));
        EXPECT_EQ(fs::file_size(at("r.dsk")), kb * 1024);
        EXPECT_EQ(leftovers(), std::set<std::string>{});
    }
}

// The link given as the image is pointed elsewhere while the run reads a
// host file: the save is refused and neither file is written.
void SaveFaults::linkSwappedDuringSave() {
    if (!have("strace")) return;
    makeVolume("a.dsk");
    fs::copy_file(at("a.dsk"), at("b.dsk"));
    fs::create_symlink("a.dsk", at("link.dsk"));
    Folder.write("SLOW.BIN", "slow");
    const std::string before = file("a.dsk");
    test_CliRun r = sh("strace -E ASAN_OPTIONS=detect_leaks=0 -f -o /dev/null -P SLOW.BIN -e inject=openat:delay_enter=1000000 $CLI put link.dsk "
                       "SLOW.BIN 2>&1 & sleep 0.4; ln -s b.dsk new.lnk && mv -T new.lnk link.dsk; wait $!");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("diskwright-cli: link.dsk changed during the save: not saved.\n"), std::string::npos) << r.Out;
    EXPECT_EQ(file("a.dsk"), before);
    EXPECT_EQ(file("b.dsk"), before);
}

// A writer that takes no lock changes the image in place between the read
// and the save, and puts its time back: the bytes tell.
void SaveFaults::bytesChangedTimeRestored() {
    if (!have("strace")) return;
    makeVolume("a.dsk");
    Folder.write("SLOW.BIN", "slow");
    test_CliRun r = sh("strace -E ASAN_OPTIONS=detect_leaks=0 -f -o /dev/null -P SLOW.BIN -e inject=openat:delay_enter=1000000 $CLI put a.dsk "
                       "SLOW.BIN 2>&1 & sleep 0.4; t=$(stat -c %y a.dsk); printf Z | dd of=a.dsk bs=1 seek=16385 "
                       "conv=notrunc 2>/dev/null; touch -d \"$t\" a.dsk; wait $!");
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Out.find("diskwright-cli: a.dsk: Image changed on disk: not saved.\n"), std::string::npos) << r.Out;
    EXPECT_EQ(file("a.dsk")[16385], 'Z');   // the other writer's change stays
    EXPECT_EQ(sh("$CLI ls a.dsk").Out.find("SLOW"), std::string::npos);
}

// A pipe or a device given as the image: every command refuses at once.
void SaveFaults::pipesAndDevicesAsImages() {
    ASSERT_EQ(mkfifo(at("pipe.dsk").c_str(), 0644), 0);
    Folder.write("X.TXT", "x");
    const char *const commands[] = {"info IMAGE",        "ls IMAGE",          "map IMAGE",         "check IMAGE",
                                    "init IMAGE",        "sort IMAGE names asc", "get IMAGE X.TXT", "put IMAGE X.TXT",
                                    "rm IMAGE X.TXT",    "unrm IMAGE X.TXT",  "attr IMAGE X.TXT +R", "blocks IMAGE X.TXT",
                                    "dump IMAGE X.TXT",  "type IMAGE X.TXT"};
    for (const char *image : {"pipe.dsk", "/dev/zero"})
        for (std::string line : commands) {
            line = "timeout 10 $CLI " + line.replace(line.find("IMAGE"), 5, image);
            test_CliRun r = sh(line);
            EXPECT_EQ(std::tie(r.Status, r.Err),
                      std::make_tuple(1, "diskwright-cli: " + std::string(image) + ": not a regular file\n"))
                << line;
        }
    test_CliRun r = sh("timeout 10 $CLI new pipe.dsk 64 --force");
    EXPECT_EQ(std::tie(r.Status, r.Err),
              std::make_tuple(1, std::string("diskwright-cli: pipe.dsk: image could not be saved: not a regular file\n")));
    EXPECT_TRUE(fs::is_fifo(at("pipe.dsk")));
}

// A reader that may not write the image leaves a whole record alone, says
// so, and reads the image as it is.
void SaveFaults::pendingRecordOpensReadOnly() {
    if (geteuid() != 0 || !have("setpriv")) {
        if (missing.empty()) missing = "root (to read as another user)";
        return;
    }
    makeVolume("a.dsk");
    fs::create_hard_link(at("a.dsk"), at("hard.dsk"));
    // Killed while writing the image: a whole record is left.
    ASSERT_EQ(sh("DW_TEST_KILL_AFTER_BYTES=5000 $CLI sort a.dsk names asc").Status, 128 + SIGKILL);
    ASSERT_EQ(leftovers(), std::set<std::string>{".a.dsk.diskwright-undo"});
    chmod(Folder.Path.c_str(), 0755);
    test_CliRun r = sh("setpriv --reuid=65534 --regid=65534 --clear-groups $CLI ls a.dsk");
    // The half-written image is read as it is (here it is no CP/M volume).
    EXPECT_EQ(r.Err.substr(0, r.Err.find('\n') + 1), "a.dsk: an interrupted save is pending (undo record " +
                                                        Folder.Path + ".a.dsk.diskwright-undo); not rolled back.\n");
    EXPECT_EQ(leftovers(), std::set<std::string>{".a.dsk.diskwright-undo"});
    r = sh("$CLI ls a.dsk");
    EXPECT_EQ(r.Err, "a.dsk: an interrupted save was rolled back.\n");
    EXPECT_EQ(leftovers(), std::set<std::string>{});
}

struct FaultCase {
    const char *Name;
    void (SaveFaults::*Run)();
};

const FaultCase faultCases[] = {
    {"KilledAtEachStepOfAnInPlaceSave", &SaveFaults::killedInPlaceSaves},
    {"SparseHardLinkedImageOnAFullDisk", &SaveFaults::sparseImageOnFullDisk},
    {"FileSizeLimit", &SaveFaults::fileSizeLimit},
    {"FullStandardOutput", &SaveFaults::fullStandardOutput},
    {"FolderNotFlushed", &SaveFaults::folderNotFlushed},
    {"TenRacingNewRuns", &SaveFaults::racingNew},
    {"LinkSwappedDuringTheSave", &SaveFaults::linkSwappedDuringSave},
    {"BytesChangedWithTheTimeRestored", &SaveFaults::bytesChangedTimeRestored},
    {"PipesAndDevicesAsImages", &SaveFaults::pipesAndDevicesAsImages},
    {"PendingRecordOpensReadOnly", &SaveFaults::pendingRecordOpensReadOnly},
};

void PrintTo(const FaultCase &c, std::ostream *out) { *out << c.Name; }

class SaveFault : public SaveFaults, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SaveFault, LosesNothing) {
    (this->*GetParam().Run)();
    if (!missing.empty()) GTEST_SKIP() << "needs " << missing;
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveFault, ::testing::ValuesIn(faultCases),
                         [](const auto &info) { return std::string(info.param.Name); });

}  // namespace
