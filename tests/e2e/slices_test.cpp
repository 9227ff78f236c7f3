// Cards of many CP/M slices in the program: the Slice menu lists them, a
// choice is taken at the prompt and asks to save first, and the volume line
// names the slice.
#include <gtest/gtest.h>

#include "e2e.h"
#include "files.h"
#include "image.h"
#include "slices.h"
#include "volume.h"
#include "write.h"

// CARD.IMG: three empty hd1k slices behind a partition table, NOTE.TXT in slice 1.
static std::string cardImage(const test_TempFolder &folder) {
    std::string image = folder.at("CARD.IMG");
    EXPECT_EQ(setbinarytofile(image, cpm_NewSlicedImage("hd1k", 3)), 0);
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_LoadVolume(image + "@1");
    v = cpm_SaveFile(std::move(v), Text("NOTE.TXT"), Text("one")).Volume;
    EXPECT_EQ(cpm_SaveVolume(std::move(v)).Message, "");
    cpm_SetDiagnostics(true);
    return image;
}

TEST(SliceMenu, ListsTheSlicesAndOpensTheOneChosen) {
    test_TempFolder folder;
    std::string image = cardImage(folder);
    e2e_RunProgram({image}, [&] {
        e2e_OpenLaunchImage("CARD.IMG");
        ASSERT_TRUE(e2e_WaitFor("Volume Name: CARD.IMG@0 (8176K)"));
        e2e_Settle();
        EXPECT_EQ(e2e_CheckedItem("Slice"), "0: empty");

        // Chosen while E asks for a name: taken only back at the prompt.
        e2e_Command("e", "Please enter filename: ");
        e2e_ChooseMenu("Slice", "1: 1 file");
        e2e_Settle();
        EXPECT_FALSE(e2e_OnScreen("CARD.IMG@1"));
        e2e_Command("nothere\r", "Volume Name: CARD.IMG@1 (8176K)");
        EXPECT_EQ(e2e_CheckedItem("Slice"), "1: 1 file");
        e2e_Command("d", "1 files, 36K used, 8.140K free.");
        EXPECT_TRUE(e2e_OnScreen("NOTE    .TXT   4 |")) << e2e_Screen();

        // A change asks to be saved before another slice opens; saved, the list follows.
        e2e_Command("e", "Please enter filename: ");
        e2e_Command("note.txt\r", "NOTE    .TXT erased");
        e2e_ChooseMenu("Slice", "2: empty");
        ASSERT_TRUE(e2e_WaitFor("Save changes: S(ave  D(iscard  Q(uit ? "));
        e2e_Type("s");
        ASSERT_TRUE(e2e_WaitFor("Volume Name: CARD.IMG@2 (8176K)"));
        e2e_Command("d", "0 files, 32K used, 8.144K free.");
        EXPECT_EQ(e2e_CheckedItem("Slice"), "2: empty");
        e2e_ChooseMenu("Slice", "1: empty");
        ASSERT_TRUE(e2e_WaitFor("Volume Name: CARD.IMG@1 (8176K)"));
    });
    cpm_SetDiagnostics(false);
    EXPECT_EQ(cpm_LoadVolume(image + "@1").UsedKB, 32);
    EXPECT_EQ(cpm_LoadVolume(image + "@0").UsedKB, 32);
    cpm_SetDiagnostics(true);
}
