// User areas in the program: the User menu, taken at the prompt, and the
// commands working in the user area it chose.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <filesystem>

#include "e2e.h"
#include "files.h"
#include "menus_qt.h"
#include "threads.h"
#include "volume.h"

namespace fs = std::filesystem;

namespace {

// WORK.DSK: ALPHA.TXT in user 0; ALPHA.TXT and FIVE.COM in user 5.
std::string userImage() {
    std::string image = e2e_TempFolder() + "WORK.DSK";
    e2e_MakeImage(image, 128, {{"ALPHA.TXT", "zero"}});
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_LoadVolume(image);
    v = cpm_SaveFile(std::move(v), Text("ALPHA.TXT"), Text("five"), 5).Volume;
    v = cpm_SaveFile(std::move(v), Text("FIVE.COM"), Text("five!"), 5).Volume;
    EXPECT_EQ(cpm_SaveVolume(std::move(v)).Message, "");
    cpm_SetDiagnostics(true);
    return image;
}

// The title of the User menu's checked item ("" when none is).
std::string checkedUser() {
    std::string checked;
    t_OnMainThread([&] {
        for (QMenu *m : t_MenuBarMenus())
            if (m->title() == "User")
                for (QAction *a : m->actions())
                    if (a->isChecked()) checked = a->text().toStdString();
    });
    return checked;
}

}   // namespace

TEST(UserMenu, CommandsWorkInTheChosenUserArea) {
    std::string home = e2e_TempFolder() + "home/";
    fs::create_directories(home + "Desktop");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    std::string desktop = home + "Desktop/";
    ASSERT_EQ(setbinarytofile(desktop + "new.txt", Text("new in five")), 0);
    e2e_RunProgram({userImage()}, [&] {
        ASSERT_TRUE(e2e_WaitFor("WORK.DSK"));
        e2e_Type("\r");
        ASSERT_TRUE(e2e_WaitFor("Volume Name: WORK.DSK (128K)"));
        EXPECT_EQ(checkedUser(), "0");
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("1 files, 10K used, 118K free."));

        // Chosen while E asks for a name: taken only back at the prompt.
        e2e_Type("e");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename: "));
        e2e_ChooseMenu("User", "5");
        e2e_Settle();
        EXPECT_EQ(e2e_Screen().find("User 5"), std::string::npos);
        e2e_Type("nothere\r");
        ASSERT_TRUE(e2e_WaitFor("Volume Name: WORK.DSK (128K), User 5"));
        EXPECT_EQ(e2e_Line(3), "Volume Name: WORK.DSK (128K), User 5");
        EXPECT_EQ(checkedUser(), "5");

        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("2 files, 10K used, 118K free."));
        EXPECT_EQ(e2e_Line(3), "Volume Name: WORK.DSK (128K), User 5");
        e2e_Type("e");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename: "));
        e2e_Type("alpha.txt\r");
        ASSERT_TRUE(e2e_WaitFor("ALPHA   .TXT erased"));
        e2e_Type("m");
        ASSERT_TRUE(e2e_WaitFor("Load CP/M file"));
        e2e_Settle();
        e2e_Type("ne\r");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename (* = all files of selected directory): "));
        e2e_Type("\r");
        ASSERT_TRUE(e2e_WaitFor("NEW     .TXT saved on CP/M volume."));
        e2e_Type("t");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename (* = all files): "));
        e2e_Type("five.com\r");
        ASSERT_TRUE(e2e_WaitFor("Save CP/M file"));
        e2e_Settle();
        e2e_Type("\r");
        ASSERT_TRUE(e2e_WaitFor("FIVE    .COM saved on Mac volume."));
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("2 files, 10K used, 118K free."));
        EXPECT_NE(e2e_Screen().find("NEW     .TXT   2 | FIVE    .COM   2 |"), std::string::npos) << e2e_Screen();

        // Back in user 0, the screens are as before.
        e2e_ChooseMenu("User", "0");
        ASSERT_TRUE(e2e_WaitForScreen(
            "Diskwright: V(olume  D(irectory  L(ong Dir  S(ector Map  N(ew  Q(uit  [1.4] ?\r\rVolume Name: WORK.DSK (128K)"));
        EXPECT_EQ(checkedUser(), "0");
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("1 files, 10K used, 118K free."));
        EXPECT_EQ(e2e_Line(3), "Volume Name: WORK.DSK (128K)");
        EXPECT_EQ(e2e_Line(5), "ALPHA   .TXT   2 |");
        e2e_Type("p");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename: "));
        e2e_Type("alpha.txt\r");
        EXPECT_TRUE(e2e_WaitFor("zero"));
    });
    std::string copied = gettextfromfile(desktop + "FIVE.COM").bytes();
    EXPECT_EQ(copied.substr(0, 5), "five!");
}
