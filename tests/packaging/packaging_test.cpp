// The installed program: `cmake --install` into a temporary root gives the
// program, its resources under share/diskwright/ and the desktop files, and
// the installed program starts under the offscreen platform.
#include <gtest/gtest.h>

#include "child_output.h"
#include "files.h"
#include "temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

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
};
std::unique_ptr<test_TempFolder> Installed::folder;
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
    test_Program program = test_StartProgram((root / "bin/diskwright").string());
    bool started = test_ReadUntil(program, "t_InitWindow: GraphicWindow #1 End.", 20000);
    test_StopProgram(program);
    EXPECT_TRUE(started) << program.Log;
    // 80 x 25 cells of the 16 x 32 font: the font came from share/diskwright/.
    EXPECT_NE(program.Log.find("t_InitWindow: GraphicWindow #0 = 1280 x 800 pixel"), std::string::npos) << program.Log;
    EXPECT_NE(program.Log.find("t_MenuItemIndex: Menu not found."), std::string::npos) << program.Log;
}

TEST_F(Installed, TheLauncherOpensImagesOfTheDiskTypes) {
    std::string desktop = gettextfromfile((root / "share/applications/diskwright.desktop").string()).bytes();
    std::string mime = gettextfromfile((root / "share/mime/packages/diskwright.xml").string()).bytes();
    EXPECT_NE(desktop.find("Exec=diskwright %F"), std::string::npos);
    EXPECT_NE(desktop.find("Icon=diskwright"), std::string::npos);
    EXPECT_NE(desktop.find("MimeType=application/x-cpm-disk-image;"), std::string::npos);
    EXPECT_NE(mime.find("type=\"application/x-cpm-disk-image\""), std::string::npos);
    for (const char *ext : {"dsk", "vol", "hdv", "po", "do"})
        EXPECT_NE(mime.find(std::string("<glob pattern=\"*.") + ext + "\"/>"), std::string::npos) << ext;
}

}   // namespace
