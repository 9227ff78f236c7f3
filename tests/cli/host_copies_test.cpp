// get of many files into a folder, run as a program: what a kill or a
// failed file leaves at the target names.
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <regex>
#include <thread>

#include "cli_run.h"
#include "files.h"
#include "image.h"
#include "write.h"

namespace fs = std::filesystem;
extern char **environ;

namespace {

class HostCopies : public test_CliTest {
  protected:
    std::map<std::string, std::string> files;   // host name -> bytes, as get writes them

    // A 2048K volume of `count` files of 1 to 16 KB.
    void makeImage(int count) {
        cpm_Volume v = cpm_MakeVolume(at("img.vol"), 2048);
        uint32_t x = 7;
        for (int i = 0; i < count; i++) {
            x = x * 1103515245u + 12345u;
            std::string name = "F" + std::to_string(i) + ".DAT";
            std::string data(1 + (x >> 8) % 16384, char('a' + i % 26));
            data[0] = char(i);
            v = cpm_SaveFile(std::move(v), Text(name), Text(data)).Volume;
            files[name] = data;
        }
        ASSERT_EQ(setbinarytofile(at("img.vol"), v.Image), 0);
    }
    // Starts get of every file into the folder; its process id.
    pid_t startGet(const std::string &folder) {
        std::vector<std::string> args = {DW_CLI_PATH, "get", at("img.vol"), "*", folder};
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
};

// A get killed at any moment: every target name holds its old file or the
// whole new one; anything else in the folder is a temporary under a name of
// its own (".NAME.<16 hex digits>.tmp").
TEST_F(HostCopies, KilledGetLeavesOldOrWholeFilesOnly) {
    makeImage(100);
    const std::regex temporary(R"(\.(.+)\.[0-9a-f]{16}\.tmp)");
    auto reset = [&](const std::string &folder) {
        fs::remove_all(at(folder));
        fs::create_directory(at(folder));
        for (const auto &[name, data] : files)
            if (data[0] % 2 == 0) Folder.write(folder + "/" + name, "old " + name);
        // Flushed, so that each run's flush waits for its own files only.
        int fd = open(Folder.Path.c_str(), O_RDONLY | O_DIRECTORY);
        syncfs(fd);
        close(fd);
    };
    // How long a whole run takes here, to spread the kills over it.
    std::chrono::steady_clock::duration whole{};
    int status = 0;
    for (int run = 0; run < 2; run++) {
        reset("out");
        auto t0 = std::chrono::steady_clock::now();
        waitpid(startGet(at("out")), &status, 0);
        auto took = std::chrono::steady_clock::now() - t0;
        whole = run == 0 ? took : std::min(whole, took);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int interrupted = 0;
    for (int k = 0; k < 18; k++) {
        reset("out");
        pid_t pid = startGet(at("out"));
        std::this_thread::sleep_for(whole * k / 12);
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        interrupted += WIFSIGNALED(status);
        for (const auto &e : fs::directory_iterator(at("out"))) {
            std::string name = e.path().filename().string();
            std::smatch m;
            if (std::regex_match(name, m, temporary)) {
                EXPECT_TRUE(files.count(m[1])) << name;
                continue;
            }
            ASSERT_TRUE(files.count(name)) << name;
            std::string now = file("out/" + name);
            bool isNew = now == files[name];
            EXPECT_TRUE(isNew || now == "old " + name) << name << " holds " << now.size() << " bytes after a kill at step " << k;
        }
    }
    EXPECT_GT(interrupted, 0) << "no kill came before the end";

    // The next get removes the temporaries of its names that are older than
    // ten minutes and held by no process; a held one, a young one and one
    // of another name stay.
    const std::string held = ".F1.DAT.00000000000000a1.tmp", young = ".F3.DAT.00000000000000a3.tmp",
                      other = ".OTHER.00000000000000a4.tmp";
    for (const std::string &name : {held, young, other, std::string(".F5.DAT.00000000000000a5.tmp")})
        Folder.write("out/" + name, "left");
    int holder = open(at("out/" + held).c_str(), O_RDONLY);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    for (const auto &e : fs::directory_iterator(at("out"))) {
        if (e.path().filename() == young || !std::regex_match(e.path().filename().string(), temporary)) continue;
        struct timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        utimensat(AT_FDCWD, e.path().c_str(), old, AT_SYMLINK_NOFOLLOW);
    }
    EXPECT_EQ(sh("$CLI get img.vol '*' out").Status, 0);
    close(holder);
    std::set<std::string> left;
    for (const auto &e : fs::directory_iterator(at("out")))
        if (std::regex_match(e.path().filename().string(), temporary)) left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{held, young, other}));
}

// A file that cannot be written is reported on its own line; the other files
// arrive whole and no temporary is left anywhere.
TEST_F(HostCopies, FailedFilesAreReportedAndTheOthersArrive) {
    makeImage(6);
    fs::create_directories(at("out/F2.DAT"));   // a folder where a file goes
    cpm_Volume v = cpm_LoadVolume(at("img.vol"));
    v = cpm_SaveFile(std::move(v), Text("G.DAT"), Text("user five"), 5).Volume;
    ASSERT_EQ(setbinarytofile(at("img.vol"), v.Image), 0);
    // User area 0's subfolder takes no new file: a read-only file system
    // there, or an immutable folder, for root; a folder without write
    // permission otherwise.
    std::string zero = at("per/0");
    fs::create_directories(zero);
    bool root = geteuid() == 0;
    bool mounted = root && mount("tmpfs", zero.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
    bool immutable = root && !mounted && test_Shell("chattr +i '" + zero + "' 2>/dev/null") == 0;
    bool locked = mounted || immutable || (!root && chmod(zero.c_str(), 0555) == 0);
    test_CliRun r = sh("$CLI get img.vol '*' out");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "diskwright-cli: img.vol: F2      .DAT could not be saved as out/F2.DAT: Is a directory\n"
                     "1 files in other user areas not copied (use '*:*').\n");
    for (const auto &[name, data] : files) {
        if (name == "F2.DAT") continue;
        EXPECT_EQ(file("out/" + name), data) << name;
    }
    EXPECT_TRUE(fs::is_directory(at("out/F2.DAT")));
    EXPECT_EQ(Folder.names("out").size(), files.size());
    // The lines come in the directory's order, the failure in its place.
    EXPECT_EQ(r.Out, "F0      .DAT saved as out/F0.DAT\nF1      .DAT saved as out/F1.DAT\n"
                     "F3      .DAT saved as out/F3.DAT\nF4      .DAT saved as out/F4.DAT\nF5      .DAT saved as out/F5.DAT\n");

    if (locked) {
        r = sh("$CLI get img.vol '*:*' per");
        if (mounted) umount(zero.c_str());
        if (immutable) test_Shell("chattr -i '" + zero + "'");
        EXPECT_EQ(r.Status, 1);
        EXPECT_NE(r.Err.find("F0      .DAT could not be saved as per/0/F0.DAT: "), std::string::npos) << r.Err;
        EXPECT_TRUE(Folder.names("per/0").empty());
        EXPECT_EQ(file("per/5/G.DAT"), "user five");
        EXPECT_EQ(Folder.names("per/5"), std::set<std::string>{"G.DAT"});
    } else if (const char *ci = getenv("CI"); ci && std::string(ci) == "true") {
        ADD_FAILURE() << "a folder could not be made read-only";
    }
}

}  // namespace
