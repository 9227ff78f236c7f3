// The installed program: `cmake --install` into a temporary root gives the
// program, its resources under share/diskwright/ and the desktop files, and
// the installed program starts under the offscreen platform.
#include <gtest/gtest.h>

#include "child_output.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Installed : public testing::Test {
protected:
    static fs::path root;
    static std::string installFailure;   // empty when the install worked
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/dw-install-XXXXXX";
        root = mkdtemp(pattern);
        std::string command = std::string(DW_CMAKE) + " --install \"" DW_BUILD_DIR "\" --prefix \"" +
                              root.string() + "\" > \"" + (root / "install.log").string() + "\" 2>&1";
        if (std::system(command.c_str()) != 0) installFailure = command;
    }
    static void TearDownTestSuite() { fs::remove_all(root); }
    // A failed install fails every test (a failure in the suite's set-up
    // would only mark them skipped).
    void SetUp() override { ASSERT_EQ(installFailure, "") << "the install failed"; }
};
fs::path Installed::root;
std::string Installed::installFailure;

TEST_F(Installed, EveryFileIsInItsPlace) {
    const char *files[] = {
        "bin/diskwright",
        "share/diskwright/MenloBold 16x32.font",
        "share/diskwright/MenloRegular 16x32.font",
        "share/diskwright/sysbeep.aif",
        "share/applications/diskwright.desktop",
        "share/metainfo/diskwright.metainfo.xml",
        "share/mime/packages/diskwright.xml",
        "share/icons/hicolor/scalable/apps/diskwright.svg",
        "share/icons/hicolor/16x16/apps/diskwright.png",
        "share/icons/hicolor/48x48/apps/diskwright.png",
        "share/icons/hicolor/256x256/apps/diskwright.png",
    };
    for (const char *f : files) EXPECT_TRUE(fs::is_regular_file(root / f)) << f;
}

TEST_F(Installed, TheInstalledProgramStartsWithItsFonts) {
    // No build tree next to the copy: it must find share/diskwright/.
    std::string program = (root / "bin/diskwright").string();
    test_RuntimeFolder runtime;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_RUNTIME_DIR", runtime.Path.c_str(), 1);
        execl(program.c_str(), program.c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string log;
    bool started = test_ReadUntil(fds[0], "t_InitWindow: GraphicWindow #1 End.", log, 20000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(fds[0]);
    EXPECT_TRUE(started) << log;
    // 80 x 25 cells of the 16 x 32 font: the font came from share/diskwright/.
    EXPECT_NE(log.find("t_InitWindow: GraphicWindow #0 = 1280 x 800 pixel"), std::string::npos) << log;
    EXPECT_NE(log.find("t_MenuItemIndex: Menu not found."), std::string::npos) << log;
}

TEST_F(Installed, TheLauncherOpensImagesOfTheDiskTypes) {
    std::string desktop, mime;
    for (auto [path, text] : {std::pair{"share/applications/diskwright.desktop", &desktop},
                              std::pair{"share/mime/packages/diskwright.xml", &mime}}) {
        FILE *f = fopen((root / path).c_str(), "r");
        ASSERT_NE(f, nullptr) << path;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
        fclose(f);
    }
    EXPECT_NE(desktop.find("Exec=diskwright %F"), std::string::npos);
    EXPECT_NE(desktop.find("Icon=diskwright"), std::string::npos);
    EXPECT_NE(desktop.find("MimeType=application/x-cpm-disk-image;"), std::string::npos);
    EXPECT_NE(mime.find("type=\"application/x-cpm-disk-image\""), std::string::npos);
    for (const char *ext : {"dsk", "vol", "hdv", "po", "do"})
        EXPECT_NE(mime.find(std::string("<glob pattern=\"*.") + ext + "\"/>"), std::string::npos) << ext;
}

}   // namespace
