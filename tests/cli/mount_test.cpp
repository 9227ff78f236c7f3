// Real mounts: diskwright-cli mount -F in a process of its own, the folder
// used with ordinary shell tools, and the image read afterwards by cpmtools.
// Where this system cannot mount, the tests fail under CI and are skipped
// with the reason elsewhere.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

#include "cli_run.h"
#include "peer_tools.h"

namespace {

using namespace std::chrono_literals;

class Mounted : public test_CliTest {
  protected:
    pid_t Pid = -1;
    std::string Mnt;

    void SetUp() override {
        test_CliTest::SetUp();
        TEST_REQUIRE_TOOLS(TEST_CPMTOOLS, "fusermount3");
        Mnt = Folder.folder("mnt");
        Mnt.pop_back();
        ASSERT_EQ(sh("$CLI new --format ibm-3740 disk.img").Status, 0);
    }
    void TearDown() override {
        // Never a mount left behind, whatever the test did.
        if (Pid > 0) {
            sh("fusermount3 -u mnt 2>/dev/null || fusermount3 -uz mnt 2>/dev/null");
            if (!waitFor(5s)) kill(Pid, SIGKILL), waitFor(5s);
        }
        test_CliTest::TearDown();
    }
    bool isMounted() const {
        struct stat folder, mnt;
        return stat(Folder.Path.c_str(), &folder) == 0 && stat(Mnt.c_str(), &mnt) == 0 && folder.st_dev != mnt.st_dev;
    }
    // Waits for the mount process to end; true when it did.
    bool waitFor(std::chrono::milliseconds limit) {
        for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
            int status;
            if (waitpid(Pid, &status, WNOHANG) == Pid) {
                Pid = -1;
                Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    int Status = -1;
    // Starts the mount of disk.img on mnt; `up` false when it did not come
    // up (the test then failed under CI, else is skipped with the reason).
    void mount(std::vector<std::string> options, bool &up) {
        up = false;
        // A blank disk's format is unclear: it is named.
        std::vector<std::string> words = {DW_CLI_PATH, "mount", "-F", "-f", "ibm-3740"};
        words.insert(words.end(), options.begin(), options.end());
        words.push_back("disk.img");
        words.push_back("mnt");
        Pid = fork();
        if (Pid == 0) {
            if (chdir(Folder.Path.c_str()) != 0) _exit(127);
            int err = open("mount.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, 2);
            std::vector<char *> argv;
            for (std::string &w : words) argv.push_back(w.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
            if (isMounted()) {
                up = true;
                return;
            }
            if (waitFor(50ms)) break;
        }
        std::string reason = "the mount did not come up: " + file("mount.err");
        if (test_InCi()) ADD_FAILURE() << reason;
        else GTEST_SKIP() << reason;
    }
    // Unmounts and waits for the mount's last save.
    // Its exit status is 1 when changes could not be saved.
    void unmount(int status = 0) {
        ASSERT_EQ(sh("fusermount3 -u mnt").Status, 0);
        ASSERT_TRUE(waitFor(10s)) << "the mount did not end";
        EXPECT_EQ(Status, status) << file("mount.err");
    }
    std::string random(const std::string &name, size_t size) {
        std::string bytes(size, '\0');
        for (size_t k = 0; k < size; k++) bytes[k] = char((k * 2654435761u >> 13) ^ size);
        Folder.write(name, bytes);
        return bytes;
    }
    // cpmtools: the directory as cpmls lists it, one name a line, and fsck.
    std::string cpmls() { return sh("cpmls -f ibm-3740 disk.img").Out; }
    void expectClean() {
        test_CliRun r = sh("fsck.cpm -f ibm-3740 -n disk.img");
        EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    }
};

#define MOUNT(...)                             \
    do {                                       \
        bool up_ = false;                      \
        mount({__VA_ARGS__}, up_);             \
        if (!up_) return;                      \
    } while (0)

TEST_F(Mounted, ShellToolsCopyMoveEraseAndProtectAsCpmtoolsThenSeesIt) {
    std::string a = random("a.dat", 1000), c = random("c.dat", 40000), text = "readme\n";
    random("b.dat", 16384);
    Folder.write("readme.txt", text);
    MOUNT();
    ASSERT_EQ(sh("cp a.dat b.dat c.dat readme.txt mnt/").Status, 0);
    EXPECT_EQ(sh("ls mnt").Out, "A.DAT\nB.DAT\nC.DAT\nREADME.TXT\n");
    ASSERT_EQ(sh("cp mnt/C.DAT c.out && cmp c.dat c.out && cmp a.dat mnt/a.dat").Status, 0);
    ASSERT_EQ(sh("mv mnt/README.TXT mnt/NOTES.TXT && rm mnt/B.DAT && chmod a-w mnt/NOTES.TXT").Status, 0);
    EXPECT_EQ(sh("stat -c '%A %s %n' mnt/*").Out,
              "-rw-r--r-- 1000 mnt/A.DAT\n-rw-r--r-- 40000 mnt/C.DAT\n-r--r--r-- 7 mnt/NOTES.TXT\n");
    // Files the disk does not stamp show the image's time.
    EXPECT_EQ(sh("stat -c %Y mnt/A.DAT").Out, sh("stat -c %Y disk.img").Out);
    EXPECT_EQ(sh("getfattr -d -m user.cpm --absolute-names mnt/A.DAT").Out,
              "# file: mnt/A.DAT\nuser.cpm.archive=\"0\"\nuser.cpm.extents=\"1\"\nuser.cpm.system=\"0\"\n"
              "user.cpm.user=\"0\"\n\n");
    unmount();
    EXPECT_EQ(cpmls(), "0:\na.dat\nc.dat\nnotes.txt\n");
    ASSERT_EQ(sh("cpmcp -f ibm-3740 disk.img 0:a.dat 0:c.dat 0:notes.txt out/ 2>&1 || "
                 "{ mkdir -p out && cpmcp -f ibm-3740 disk.img 0:a.dat 0:c.dat 0:notes.txt out/; }").Status, 0);
    EXPECT_EQ(file("out/a.dat"), a);
    EXPECT_EQ(file("out/c.dat"), c);
    EXPECT_EQ(file("out/notes.txt"), text);
    EXPECT_TRUE(test_Has(sh("cpmls -f ibm-3740 -l disk.img").Out, "-r--r--r--       7"));
    expectClean();
}

TEST_F(Mounted, UserAreasAreFoldersMadeAndMovedBetween) {
    Folder.write("a.txt", "in user 0\n");
    Folder.write("b.txt", "in user 3\n");
    ASSERT_EQ(sh("cpmcp -f ibm-3740 disk.img a.txt 0:A.TXT && cpmcp -f ibm-3740 disk.img b.txt 3:B.TXT").Status, 0);
    MOUNT();
    EXPECT_EQ(sh("ls mnt").Out, "0\n3\n");
    ASSERT_EQ(sh("mkdir mnt/5 && cp a.txt mnt/5/C.TXT && mv mnt/0/A.TXT mnt/3/").Status, 0);
    EXPECT_NE(sh("rmdir mnt/3").Status, 0);
    EXPECT_EQ(sh("ls mnt mnt/3").Out, "mnt:\n3\n5\n\nmnt/3:\nA.TXT\nB.TXT\n");
    unmount();
    EXPECT_EQ(cpmls(), "3:\na.txt\nb.txt\n\n5:\nc.txt\n");
    expectClean();
}

TEST_F(Mounted, AStoredNameWithASlashIsReachedAndKeptThroughItsEscape) {
    Folder.write("x.txt", "old\n");
    ASSERT_EQ(sh("cpmcp -f ibm-3740 disk.img x.txt 0:AXB.TXT").Status, 0);
    // The directory entry as another system may have written it.
    ASSERT_EQ(sh("perl -pi -e 's/AXB     TXT/A\\/B     TXT/' disk.img").Status, 0);
    MOUNT();
    EXPECT_EQ(sh("ls mnt").Out, "A%2FB.TXT\n");
    EXPECT_EQ(sh("cat mnt/A%2FB.TXT").Out, "old\n");
    ASSERT_EQ(sh("echo new > mnt/A%2FB.TXT").Status, 0);
    unmount();
    EXPECT_TRUE(test_Has(file("disk.img"), "A/B     TXT"));
    MOUNT();
    EXPECT_EQ(sh("cat mnt/A%2FB.TXT").Out, "new\n");
}

TEST_F(Mounted, EveryRefusalIsTheErrnoItSays) {
    Folder.write("r.txt", "read-only\n");
    ASSERT_EQ(sh("cpmcp -f ibm-3740 disk.img r.txt 0:R.TXT && cpmchattr -f ibm-3740 disk.img r 0:R.TXT").Status, 0);
    MOUNT();
    std::string big(300 * 1024, 'x');
    auto create = [&](const std::string &name) {
        int fd = open((Mnt + "/" + name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        int err = fd < 0 ? errno : 0;
        if (fd >= 0) close(fd);
        return err;
    };
    auto writeAll = [&](const std::string &name, const std::string &bytes) {
        int fd = open((Mnt + "/" + name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) return errno;
        int err = 0;
        for (size_t at = 0; at < bytes.size() && err == 0;) {
            ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
            if (n < 0) err = errno;
            else at += size_t(n);
        }
        if (close(fd) != 0 && err == 0) err = errno;
        return err;
    };
    struct Case {
        const char *What;
        std::function<int()> Run;
        int Error;
    };
    const Case cases[] = {
        {"a host name too long", [&] { return create("NINECHARS.TXT"); }, ENAMETOOLONG},
        {"a type too long", [&] { return create("PAGE.HTML"); }, ENAMETOOLONG},
        {"no CP/M name", [&] { return create("A*B.TXT"); }, EINVAL},
        {"a hidden name", [&] { return create(".HIDDEN"); }, EINVAL},
        {"writing a read-only file", [&] { return create("R.TXT"); }, EACCES},
        {"erasing it", [&] { return unlink((Mnt + "/R.TXT").c_str()) == 0 ? 0 : errno; }, EACCES},
        {"the disk full", [&] { return writeAll("BIG.DAT", big); }, ENOSPC},
        {"the directory full", [&] {
             for (int k = 0; k < 80; k++)
                 if (int err = create("F" + std::to_string(k)); err != 0) return err;
             return 0;
         }, ENOSPC},
    };
    for (const Case &c : cases) EXPECT_EQ(c.Run(), c.Error) << c.What << ": " << strerror(c.Run());
    unmount();
    expectClean();
    EXPECT_TRUE(test_Has(cpmls(), "r.txt"));
    MOUNT("--read-only");
    EXPECT_EQ(create("NEW.TXT"), EROFS);
    EXPECT_EQ(unlink((Mnt + "/BIG.DAT").c_str()) == 0 ? 0 : errno, EROFS);
}

TEST_F(Mounted, TheToolRefusesAtOnceAndReadsWithoutWaiting) {
    Folder.write("x.txt", "x\n");
    MOUNT();
    ASSERT_EQ(sh("cp x.txt mnt/SAVED.TXT").Status, 0);   // saved when it is closed
    // The file system is told of the close after cp has ended: the save is
    // waited for, and the mount's lock on the file it saved.
    for (int i = 0; i < 200 && !test_Has(sh("$CLI -f ibm-3740 ls disk.img").Out, "SAVED   .TXT"); i++)
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(200ms);
    for (const char *command : {"put disk.img x.txt", "rm disk.img SAVED.TXT", "attr disk.img SAVED.TXT +R", "init disk.img"}) {
        auto start = std::chrono::steady_clock::now();
        test_CliRun r = sh(std::string("timeout 20 $CLI ") + command);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << command;
        EXPECT_EQ(r.Status, 1) << command;
        EXPECT_EQ(r.Err, "diskwright-cli: disk.img is mounted: not changed.\n") << command;
    }
    auto start = std::chrono::steady_clock::now();
    test_CliRun r = sh("timeout 20 $CLI -f ibm-3740 ls disk.img");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(test_Has(r.Out, "SAVED   .TXT"));
    // A second mount of the image.
    Folder.folder("other");
    r = sh("timeout 20 $CLI mount -F disk.img other");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "diskwright-cli: disk.img is mounted already.\n");
    unmount();
    EXPECT_EQ(sh("$CLI put disk.img x.txt").Status, 0);   // the lock went with the mount
}

TEST_F(Mounted, AMountKilledInACopyLoopLeavesOneOfItsSavedStates) {
    // 50 files of 3000 bytes fill neither the disk nor its directory.
    std::string c = random("c.dat", 3000);
    MOUNT();
    std::thread loop([&] { sh("for i in $(seq 1 50); do cp c.dat mnt/F$i.DAT || break; done"); });
    // Killed once the first copy is saved (a loaded machine saves it later).
    for (int i = 0; i < 500 && !test_Has(sh("$CLI -f ibm-3740 ls disk.img").Out, "F1      .DAT"); i++)
        std::this_thread::sleep_for(20ms);
    kill(Pid, SIGKILL);
    waitFor(5s);
    sh("fusermount3 -u mnt 2>/dev/null || fusermount3 -uz mnt");
    loop.join();
    expectClean();
    std::string names = cpmls();
    ASSERT_TRUE(test_Has(names, "f1.dat")) << names;
    // Every file the image holds is whole: saves never hold half a copy.
    test_CliRun copied = sh("mkdir out && cpmcp -f ibm-3740 disk.img '0:*.dat' out/");
    ASSERT_EQ(copied.Status, 0) << copied.Err << names;
    for (const std::string &name : Folder.names("out")) EXPECT_EQ(file("out/" + name), c) << name;
}

TEST_F(Mounted, ChangesAreSavedAfterTwoQuietSecondsAndAnotherWritersChangeIsKept) {
    MOUNT();
    // Written and held open: no close saves it, the quiet time does.
    test_CliRun r = sh("exec 3>mnt/T.TXT; echo hi >&3; sleep 3.5; cpmls -f ibm-3740 disk.img; exec 3>&-");
    EXPECT_TRUE(test_Has(r.Out, "t.txt")) << r.Out;
    // Another program writes the image without asking for its lock.
    Folder.write("o.txt", "other\n");
    ASSERT_EQ(sh("cpmcp -f ibm-3740 disk.img o.txt 0:OTHER.TXT").Status, 0);
    sh("echo lost > mnt/LOST.TXT");
    EXPECT_NE(sh("touch mnt/MORE.TXT").Status, 0);   // read-only by now
    unmount(1);
    EXPECT_EQ(file("mount.err").rfind("diskwright-cli: disk.img was changed by another program", 0), 0u) << file("mount.err");
    EXPECT_EQ(cpmls(), "0:\nother.txt\nt.txt\n");
}

struct StartError {
    const char *What;
    const char *Line;      // the shell line, in a folder with disk.img, mnt (empty) and full/ (not)
    const char *Says;
};

TEST_F(Mounted, MountingWhereItCannotSaysSoInOneLine) {
    Folder.folder("full");
    Folder.write("full/x", "x");
    const StartError cases[] = {
        {"a missing folder", "$CLI mount -F disk.img nowhere", "diskwright-cli: nowhere: no such folder\n"},
        {"a folder not empty", "$CLI mount -F disk.img full", "diskwright-cli: full: folder is not empty\n"},
        {"no fusermount3", "PATH=/nonexistent $CLI mount -F disk.img mnt",
         "diskwright-cli: fusermount3 not found: install the fuse3 package\n"},
        {"no image", "$CLI mount -F none.img mnt", "diskwright-cli: "},
    };
    for (const StartError &c : cases) {
        test_CliRun r = sh(c.Line);
        EXPECT_EQ(r.Status, 1) << c.What;
        EXPECT_EQ(r.Err.rfind(c.Says, 0), 0u) << c.What << ": " << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << c.What << ": " << r.Err;
    }
    EXPECT_FALSE(isMounted());
}

}  // namespace
