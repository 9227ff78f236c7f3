// The installed program: `cmake --install` into a temporary root gives the
// program, its resources under share/diskwright/ and the desktop files, and
// the installed program starts under the offscreen platform.  The manual
// pages render without a warning and describe every command and option of
// the tool; the bash completion completes commands, options and image files.
#include <gtest/gtest.h>

#include "child_output.h"
#include "files.h"
#include "temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Installed : public testing::Test {
protected:
    static std::unique_ptr<test_TempFolder> folder;
    static fs::path root;
    static std::string installFailure;   // empty when the install worked
    static void SetUpTestSuite() {
        folder = std::make_unique<test_TempFolder>();
        root = folder->Path;
        std::string command = std::string(DW_CMAKE) + " --install \"" DW_BUILD_DIR "\" --prefix \"" +
                              root.string() + "\" > \"" + (root / "install.log").string() + "\" 2>&1";
        if (std::system(command.c_str()) != 0) installFailure = command;
    }
    static void TearDownTestSuite() { folder.reset(); }
    // A failed install fails every test (a failure in the suite's set-up
    // would only mark them skipped).
    void SetUp() override { ASSERT_EQ(installFailure, "") << "the install failed"; }
    std::string page(const char *name) { return (root / "share/man/man1" / name).string(); }
    // What a shell command line writes on its standard output.
    static std::string output(const std::string &line) {
        std::string out;
        test_Shell(line, &out);
        return out;
    }
};
std::unique_ptr<test_TempFolder> Installed::folder;
fs::path Installed::root;
std::string Installed::installFailure;

TEST_F(Installed, EveryFileIsInItsPlace) {
    // The program, its main font, the desktop and MIME files, the manual
    // pages and the completion are checked by the tests below.
    const char *files[] = {
        "share/diskwright/MenloRegular 16x32.font",
        "share/diskwright/sysbeep.aif",
        "share/metainfo/diskwright.metainfo.xml",
        "share/icons/hicolor/scalable/apps/diskwright.svg",
        "share/icons/hicolor/16x16/apps/diskwright.png",
        "share/icons/hicolor/48x48/apps/diskwright.png",
        "share/icons/hicolor/256x256/apps/diskwright.png",
    };
    for (const char *f : files) EXPECT_TRUE(fs::is_regular_file(root / f)) << f;
}

TEST_F(Installed, TheInstalledProgramStartsWithItsFonts) {
    // No build tree next to the copy: it must find share/diskwright/.
    test_Program program = test_StartProgram((root / "bin/diskwright").string());
    bool started = test_ReadUntil(program, "t_InitWindow: GraphicWindow #1 End.", 20000);
    usleep(300 * 1000);   // it waits in the browser for a choice
    bool running = test_StillRunning(program);
    test_StopProgram(program);
    EXPECT_TRUE(started) << program.Log;
    EXPECT_TRUE(running) << "the program ended by itself";
    // 80 x 25 cells of the 16 x 32 font: the font came from share/diskwright/.
    EXPECT_NE(program.Log.find("t_InitWindow: GraphicWindow #0 = 1280 x 800 pixel"), std::string::npos) << program.Log;
    EXPECT_EQ(program.Log.find("Menu not found."), std::string::npos) << program.Log;
}

TEST_F(Installed, TheLauncherOpensImagesOfTheDiskTypes) {
    std::string desktop = gettextfromfile((root / "share/applications/diskwright.desktop").string()).bytes();
    std::string mime = gettextfromfile((root / "share/mime/packages/diskwright.xml").string()).bytes();
    EXPECT_NE(desktop.find("Exec=diskwright %F"), std::string::npos);
    EXPECT_NE(desktop.find("Icon=diskwright"), std::string::npos);
    EXPECT_NE(desktop.find("MimeType=application/x-cpm-disk-image;application/zip;application/gzip;"), std::string::npos);
    EXPECT_NE(mime.find("type=\"application/x-cpm-disk-image\""), std::string::npos);
    for (const char *ext : {"dsk", "vol", "hdv", "po", "do", "woz", "nib", "nb2", "dc42", "td0"})
        EXPECT_NE(mime.find(std::string("<glob pattern=\"*.") + ext + "\"/>"), std::string::npos) << ext;
}

TEST_F(Installed, PagesRenderWithoutWarningsAndTheToolsPageHasEveryCommandAndOption) {
    if (std::system("command -v man >/dev/null 2>&1") != 0) GTEST_SKIP() << "man is not installed";
    for (const char *name : {"diskwright.1", "diskwright-cli.1"}) {
        ASSERT_TRUE(fs::is_regular_file(page(name))) << name;
        EXPECT_EQ(output("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l '" + page(name) + "' 2>&1 >/dev/null"), "") << name;
        EXPECT_GT(output("MANWIDTH=80 man -l '" + page(name) + "' 2>/dev/null").size(), 3000u) << name;
    }
    std::string text = output("MANWIDTH=200 man -l '" + page("diskwright-cli.1") + "' 2>/dev/null | col -b");
    // The tool's own help lists the commands, each line "  name    synopsis".
    std::istringstream help(output("'" + (root / "bin/diskwright-cli").string() + "' help"));
    int commands = 0;
    for (std::string line; std::getline(help, line);) {
        if (line.rfind("  ", 0) != 0 || line.size() < 10 || line[2] == ' ') continue;
        std::string name = line.substr(2, line.find(' ', 2) - 2);
        std::string entry = "\n       " + name;   // the command, then its operands or the line's end
        EXPECT_TRUE(text.find(entry + " ") != std::string::npos || text.find(entry + "\n") != std::string::npos) << name;
        commands++;
    }
    EXPECT_EQ(commands, 25);
    for (const char *option : {"--json", "--text", "--trim", "--no-clobber", "--as", "--force", "--version", "--format",
                               "--user", "--all", "*:*", "--diskdefs", "--slice", "--slices", "IMAGE@N",
                               "--verbose", "EXIT STATUS", "EXAMPLES", "JSON", "hostName", "extent-gap",
                               "--init-stamps", "--update-stamps", "--no-update-stamps", "--stamps", "--password",
                               "DATE STAMPS", "protection", "--json-lines", "--jobs", "--contains-hex",
                               "--cross-devices", "unclear: A, B", "--db", "COLLECTIONS AND THE INDEX", "index.sqlite", "MOUNTING",
                               "--read-only", "--foreground", "fusermount3"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST_F(Installed, CompletionCompletesCommandsOptionsAndImages) {
    fs::path script = root / "share/bash-completion/completions/diskwright-cli";
    ASSERT_TRUE(fs::is_regular_file(script));
    fs::path folder = root / "images";
    fs::create_directories(folder / "sub");
    for (const char *f : {"games.dsk", "work.VOL", "notes.txt", "disk.2mg"}) std::ofstream(folder / f) << "x";
    struct { const char *Words, *Expected; } cases[] = {
        {"diskwright-cli ''", "attr blocks check convert diff dump dups find formats get help index info init label ls map mount new "
                              "put rm scan sort type unrm"},
        {"diskwright-cli mount games.dsk --r", "--read-only"},
        {"diskwright-cli mount games.dsk s", "sub/"},
        {"diskwright-cli index --", "--cross-devices --db --diskdefs --format --help --jobs --slice --verbose --version"},
        {"diskwright-cli find --db ''", "complete.sh disk.2mg games.dsk notes.txt sub work.VOL"},
        {"diskwright-cli label games.dsk --stamps ''", "access create none"},
        {"diskwright-cli label games.dsk --i", "--init-stamps"},
        {"diskwright-cli ch", "check"},
        {"diskwright-cli -v l", "label ls"},
        {"diskwright-cli ls ''", "disk.2mg games.dsk sub/ work.VOL"},
        {"diskwright-cli get g", "games.dsk"},
        {"diskwright-cli ls games.dsk --", "--all --diskdefs --format --help --json --slice --user --verbose --version"},
        {"diskwright-cli new --", "--diskdefs --force --format --help --slice --slices --verbose --version"},
        {"diskwright-cli get games.dsk --t", "--text --trim"},
        {"diskwright-cli sort games.dsk ''", "names size"},
        {"diskwright-cli attr games.dsk PIP.COM +", "+A +R +S"},
        {"diskwright-cli help d", "diff dump dups"},
        {"diskwright-cli scan --j", "--jobs --json --json-lines"},
        {"diskwright-cli find images --c", "--contains --contains-hex --cross-devices"},
    };
    // The script completes the words given as arguments, the last being the one typed.
    std::ofstream(folder / "complete.sh") << "source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                                             "_diskwright_cli; printf '%s\\n' \"${COMPREPLY[@]}\" | sort | paste -sd ' '\n";
    for (const auto &c : cases) {
        EXPECT_EQ(output("cd '" + folder.string() + "' && bash complete.sh '" + script.string() + "' " + c.Words + " 2>/dev/null"),
                  std::string(c.Expected) + "\n") << c.Words;
    }
}

}   // namespace
