// Disk definitions in the program: an unclear image opens read-only, the
// Format menu reopens it with the chosen definition and remembers it, and a
// sector map longer than the window pages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "definitions.h"
#include "e2e.h"
#include "files.h"
#include "image.h"
#include "volume.h"
#include "write.h"

namespace {

// Two definitions that differ only in skew: a small directory reads the same.
const char *const twins = "diskdef s1\n  seclen 256\n  tracks 41\n  sectrk 16\n  blocksize 1024\n  maxdir 128\n"
                          "  boottrk 1\nend\ndiskdef s2\n  seclen 256\n  tracks 41\n  sectrk 16\n  blocksize 1024\n"
                          "  maxdir 128\n  boottrk 1\n  skew 3\nend\n";

TEST(FormatMenu, UnclearImageOpensReadOnlyUntilAFormatIsChosen) {
    // A configuration folder of its own with the twins in the user's diskdefs.
    test_TempFolder folder;
    std::string config = folder.folder("config");
    folder.folder("config/diskwright");
    folder.write("config/diskwright/diskdefs", twins);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ASSERT_EQ(cpm_LoadLibrary("", cpm_UserDiskdefs(), ""), "");
    std::string image = folder.at("TWIN.IMG");
    cpm_SetDiagnostics(false);
    const cpm_Definition *s2 = cpm_FindDefinition("s2");
    cpm_Volume v = cpm_OpenImageAs(Text(std::vector<uint8_t>(size_t(cpm_GeometryBytes(s2->Geometry)), 0xE5)), image, *s2);
    v = cpm_SaveFile(std::move(v), Text("NOTES.TXT"), Text(std::string(5000, 'n'))).Volume;
    ASSERT_EQ(cpm_SaveVolume(std::move(v)).Message, "");
    cpm_SetDiagnostics(true);

    e2e_RunProgram({image}, [&] {
        e2e_OpenLaunchImage("TWIN.IMG");
        ASSERT_TRUE(e2e_WaitFor("Volume Name: TWIN.IMG (160K)"));
        EXPECT_EQ(e2e_Line(4), "Format unclear (s1, s2): opened read-only.");
        EXPECT_EQ(e2e_CheckedItem("Format"), "");   // no reading is chosen yet
        e2e_Type("e");
        EXPECT_TRUE(e2e_WaitFor("Format unclear (s1, s2): opened read-only.\r"));
        e2e_ChooseMenu("Format", "s2");
        ASSERT_TRUE(e2e_WaitFor("Volume Name: TWIN.IMG (160K)"));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(4), "");
        e2e_Type("d");
        EXPECT_TRUE(e2e_WaitFor("NOTES   .TXT   5 |")) << e2e_Screen();
        EXPECT_EQ(e2e_CheckedItem("Format"), "s2");   // set at the prompt before D
    });
    std::string remembered = gettextfromfile(config + "diskwright/formats").bytes();
    EXPECT_EQ(remembered, std::filesystem::absolute(image).string() + "\ts2\n");
    unsetenv("XDG_CONFIG_HOME");
    cpm_LoadLibrary("", "", "");
}

TEST(SectorMap, LongerThanTheWindowPagesLikeTheLongDirectory) {
    test_TempFolder folder;
    std::string image = folder.at("BIG.VOL");
    e2e_MakeImage(image, 2048, {});
    Text bytes = gettextfromfile(image);
    bytes.Elements.resize(4096 * 1024, 0);   // 2048 blocks: 32 rows
    ASSERT_EQ(setbinarytofile(image, bytes), 0);
    e2e_RunProgram({image}, [] {
        e2e_OpenLaunchImage("BIG.VOL");
        e2e_Type("s");
        ASSERT_TRUE(e2e_WaitFor("1024 ....."));
        e2e_Settle();
        EXPECT_EQ(e2e_Screen().find("1984 "), std::string::npos);
        e2e_Type(" ");
        EXPECT_TRUE(e2e_WaitFor("1984 "));
        EXPECT_TRUE(e2e_WaitFor("K free."));
    });
}

}  // namespace
