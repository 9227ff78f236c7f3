// Standard folders, their fallbacks and the browser's home folder.
#include <gtest/gtest.h>

#include "catalog_fixture.h"

namespace {

using namespace cattest;

const f_Folder standardFolders[] = {f_Folder::Desktop, f_Folder::Documents, f_Folder::Downloads,
                                    f_Folder::Pictures, f_Folder::Music, f_Folder::Movies};

// Gives every folder back its default when a test ends.
class StandardFolders : public ::testing::Test {
protected:
    TempFolder Temp;
    void SetUp() override { ASSERT_FALSE(Temp.Path.empty()); }
    void TearDown() override {
        for (f_Folder f : standardFolders) f_SetStandardFolder(f, "");
        f_SetStandardFolder(f_Folder::Home, "");
        f_SetStandardFolder(f_Folder::Mount, "");
        f_SetStandardFolder(f_Folder::Application, "");
    }
};

TEST_F(StandardFolders, HostPathsAreUsedWithAFinalSlash) {
    for (f_Folder f : standardFolders) {
        std::string dir = Temp.Folder("std" + std::to_string(int(f)));
        f_SetStandardFolder(f, dir.substr(0, dir.size() - 1));
        EXPECT_EQ(f_StandardFolder(f), dir);
    }
}

TEST_F(StandardFolders, MissingFoldersFallBackToHome) {
    f_SetStandardFolder(f_Folder::Home, Temp.Path);
    for (f_Folder f : standardFolders) {
        f_SetStandardFolder(f, Temp.Path + "gone/Desktop");
        EXPECT_EQ(f_StandardFolder(f), Temp.Path) << int(f);
        f_SetStandardFolder(f, "");
        EXPECT_EQ(f_StandardFolder(f), Temp.Path) << "no default folder below this home either";
    }
    Temp.Folder("Desktop");
    Temp.Folder("Videos");
    EXPECT_EQ(f_StandardFolder(f_Folder::Desktop), Temp.Path + "Desktop/");
    EXPECT_EQ(f_StandardFolder(f_Folder::Movies), Temp.Path + "Videos/");
}

TEST_F(StandardFolders, EveryFolderIsAnExistingPathEndingInSlash) {
    for (f_Folder f : {f_Folder::Home, f_Folder::Desktop, f_Folder::Documents, f_Folder::Downloads,
                       f_Folder::Pictures, f_Folder::Music, f_Folder::Movies, f_Folder::Mount,
                       f_Folder::Application}) {
        std::string path = f_StandardFolder(f);
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path.back(), '/') << int(f);
        if (f != f_Folder::Mount) {
            EXPECT_EQ(t_FileExists(path), 2) << path;
        }
    }
    EXPECT_EQ(f_StandardFolder(f_Folder(99)), f_StandardFolder(f_Folder::Home));
}

TEST_F(StandardFolders, MountFolderIsTheHostsOrAFixedDefault) {
    f_SetStandardFolder(f_Folder::Mount, Temp.Path);
    EXPECT_EQ(f_StandardFolder(f_Folder::Mount), Temp.Path);
    f_SetStandardFolder(f_Folder::Mount, Temp.Path + "absent");
    std::string fallback = f_StandardFolder(f_Folder::Mount);
    EXPECT_TRUE(fallback == "/mnt/" || fallback.starts_with("/media/") || fallback.starts_with("/run/media/"))
        << fallback;
}

TEST_F(StandardFolders, HomePathIsTheFolderThatHoldsDownloads) {
    std::string downloads = Temp.Folder("user") + "Downloads";
    Temp.Folder("user/Downloads");
    f_SetStandardFolder(f_Folder::Downloads, downloads);
    EXPECT_EQ(f_HomePath(), Temp.Path + "user/");

    // Without a downloads folder its fallback is the home folder itself,
    // whose parent would be the wrong answer.
    f_SetStandardFolder(f_Folder::Home, Temp.Path + "user");
    f_SetStandardFolder(f_Folder::Downloads, Temp.Path + "user/none");
    EXPECT_EQ(f_HomePath(), Temp.Path + "user/");
}

TEST_F(StandardFolders, ApplicationFolderHoldsThisProgram) {
    std::string folder = f_StandardFolder(f_Folder::Application);
    EXPECT_EQ(t_FileExists(folder + "catalog_tests"), 1) << folder;
}

}  // namespace
