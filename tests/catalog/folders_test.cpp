// Standard folders, their fallbacks and the browser's home folder.
#include <gtest/gtest.h>

#include "catalog_fixture.h"

namespace {

using namespace cattest;

const f_Folder allFolders[] = {f_Folder::Home,     f_Folder::Desktop, f_Folder::Documents,
                               f_Folder::Downloads, f_Folder::Pictures, f_Folder::Music,
                               f_Folder::Movies,   f_Folder::Mount,   f_Folder::Application};

class StandardFolders : public ::testing::Test {
protected:
    test_TempFolder Temp;
    void TearDown() override {
        for (f_Folder f : allFolders) f_SetStandardFolder(f, "");
    }
};

TEST_F(StandardFolders, HostPathsWinAndMissingFoldersFallBackToHome) {
    for (f_Folder f : allFolders) {
        std::string path = f_StandardFolder(f);
        EXPECT_EQ(path.back(), '/');
        if (f != f_Folder::Mount) {
            EXPECT_EQ(t_FileExists(path), 2) << path;
        }
    }
    f_SetStandardFolder(f_Folder::Home, Temp.Path);
    f_SetStandardFolder(f_Folder::Documents, Temp.Path + "gone");
    f_SetStandardFolder(f_Folder::Pictures, Temp.folder("pics").substr(0, Temp.Path.size() + 4));
    Temp.folder("Videos");
    EXPECT_EQ(f_StandardFolder(f_Folder::Documents), Temp.Path);
    EXPECT_EQ(f_StandardFolder(f_Folder::Desktop), Temp.Path) << "a fresh account has no Desktop";
    EXPECT_EQ(f_StandardFolder(f_Folder::Pictures), Temp.Path + "pics/");
    EXPECT_EQ(f_StandardFolder(f_Folder::Movies), Temp.Path + "Videos/");
    EXPECT_EQ(t_FileExists(f_StandardFolder(f_Folder::Application) + "catalog_tests"), 1);
}

TEST_F(StandardFolders, MountFolderIsTheHostsOrAFixedDefault) {
    f_SetStandardFolder(f_Folder::Mount, Temp.Path);
    EXPECT_EQ(f_StandardFolder(f_Folder::Mount), Temp.Path);
    f_SetStandardFolder(f_Folder::Mount, Temp.Path + "absent");
    std::string fallback = f_StandardFolder(f_Folder::Mount);
    EXPECT_TRUE(fallback == "/mnt/" || fallback.starts_with("/media/") || fallback.starts_with("/run/media/"));
}

TEST_F(StandardFolders, HomePathHoldsDownloadsOrIsHomeWithoutThem) {
    Temp.folder("user");
    f_SetStandardFolder(f_Folder::Downloads, Temp.folder("user/Downloads"));
    EXPECT_EQ(f_HomePath(), Temp.Path + "user/");
    // The fallback of a missing downloads folder is home itself, not its parent.
    f_SetStandardFolder(f_Folder::Home, Temp.Path + "user");
    f_SetStandardFolder(f_Folder::Downloads, Temp.Path + "user/none");
    EXPECT_EQ(f_HomePath(), Temp.Path + "user/");
}

}  // namespace
