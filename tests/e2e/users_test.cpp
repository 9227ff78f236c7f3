// User areas in the program: the User menu, taken at the prompt, and the
// commands working in the user area it chose.
#include <gtest/gtest.h>

#include "e2e.h"
#include "files.h"
#include "image.h"
#include "volume.h"
#include "write.h"

namespace {

// WORK.DSK: ALPHA.TXT in user 0; ALPHA.TXT and FIVE.COM in user 5.
std::string userImage(const test_TempFolder &folder) {
    std::string image = e2e_MakeImage(folder.at("WORK.DSK"), 128, {{"ALPHA.TXT", "zero"}});
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_LoadVolume(image);
    v = cpm_SaveFile(std::move(v), Text("ALPHA.TXT"), Text("five"), 5).Volume;
    v = cpm_SaveFile(std::move(v), Text("FIVE.COM"), Text("five!"), 5).Volume;
    EXPECT_EQ(cpm_SaveVolume(std::move(v)).Message, "");
    cpm_SetDiagnostics(true);
    return image;
}

}   // namespace

TEST(UserMenu, CommandsWorkInTheChosenUserArea) {
    test_TempFolder folder;
    std::string desktop = e2e_UseOwnDesktop(folder);
    folder.write("home/Desktop/new.txt", "new in five");
    e2e_RunProgram({userImage(folder)}, [&] {
        e2e_OpenLaunchImage("WORK.DSK");
        EXPECT_EQ(e2e_CheckedItem("User"), "0");
        e2e_Command("d", "1 files, 10K used, 118K free.");

        // Chosen while E asks for a name: taken only back at the prompt.
        e2e_Command("e", "Please enter filename: ");
        e2e_ChooseMenu("User", "5");
        e2e_Settle();
        EXPECT_FALSE(e2e_OnScreen("User 5"));
        e2e_Command("nothere\r", "Volume Name: WORK.DSK (128K), User 5");
        EXPECT_EQ(e2e_Line(3), "Volume Name: WORK.DSK (128K), User 5");
        EXPECT_EQ(e2e_CheckedItem("User"), "5");

        e2e_Command("d", "2 files, 10K used, 118K free.");
        EXPECT_EQ(e2e_Line(3), "Volume Name: WORK.DSK (128K), User 5");
        e2e_Command("e", "Please enter filename: ");
        e2e_Command("alpha.txt\r", "ALPHA   .TXT erased");
        e2e_Command("m", "Load CP/M file");
        e2e_Command("ne\r", "Please enter filename (* = all files of selected directory): ");
        e2e_Command("\r", "NEW     .TXT saved on CP/M volume.");
        e2e_Command("t", "Please enter filename (* = all files): ");
        e2e_Command("five.com\r", "Save CP/M file");
        e2e_Command("\r", "FIVE    .COM saved on Mac volume.");
        e2e_Command("d", "2 files, 10K used, 118K free.");
        EXPECT_TRUE(e2e_OnScreen("NEW     .TXT   2 | FIVE    .COM   2 |")) << e2e_Screen();

        // Back in user 0, the screens are as before.
        e2e_ChooseMenu("User", "0");
        ASSERT_TRUE(e2e_WaitForScreen(std::string(e2e_Prompt1) + "\r\rVolume Name: WORK.DSK (128K)"));
        EXPECT_EQ(e2e_CheckedItem("User"), "0");
        e2e_Command("d", "1 files, 10K used, 118K free.");
        EXPECT_EQ(e2e_Line(3), "Volume Name: WORK.DSK (128K)");
        EXPECT_EQ(e2e_Line(5), "ALPHA   .TXT   2 |");
        e2e_Command("p", "Please enter filename: ");
        e2e_Command("alpha.txt\r", "zero");
    });
    EXPECT_EQ(gettextfromfile(desktop + "FIVE.COM").bytes().substr(0, 5), "five!");
}
