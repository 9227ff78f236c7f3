// The volume manager as a person uses it: start-up, prompts, listings,
// changes and their saving.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e.h"
#include "files.h"
#include "threads.h"
#include "volume.h"

namespace {

const char *const prompt1 = "Diskwright: V(olume  D(irectory  L(ong Dir  S(ector Map  N(ew  Q(uit  [1.4] ?";
const char *const prompt2 = "Diskwright: C(hanges  E(rase  U(nerase  A(lphabetize  I(nit  B(locks  [1.4] ?";
const char *const prompt3 = "Diskwright: P(rint  H(exdump  M(ac --> CP/M  T(ransfer CP/M --> Mac   [1.4] ?";

// An image with four files in a folder of its own.
std::string fourFiles() {
    std::string image = e2e_TempFolder() + "GAMES.DSK";
    e2e_MakeImage(image, 128,
                  {{"ALPHA.TXT", std::string(100, 'a')},
                   {"BETA.COM", std::string(3000, 'b')},
                   {"GAMMA.DAT", "g"},
                   {"DELTA", std::string(40000, 'd')}});
    return image;
}

// Starts with the image given at launch and opens it from the browser.
void openLaunchImage() {
    ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen"));
    ASSERT_TRUE(e2e_WaitFor("GAMES.DSK"));
    e2e_Type("\r");
    ASSERT_TRUE(e2e_WaitFor(prompt1));
}

TEST(StartUp, LaunchImageIsSelectedAndOpens) {
    e2e_RunProgram({fourFiles()}, [] {
        openLaunchImage();
        EXPECT_EQ(e2e_Line(1), prompt1);
        EXPECT_TRUE(e2e_WaitFor("Volume Name: GAMES.DSK (128K)"));
        EXPECT_EQ(e2e_Line(3), "Volume Name: GAMES.DSK (128K)");
    });
}

TEST(StartUp, CancelledBrowserLeavesNoVolume) {
    e2e_RunProgram({}, [] {
        ASSERT_TRUE(e2e_WaitFor("CP/M Volume öffnen"));
        e2e_Type("\x1B");
        ASSERT_TRUE(e2e_WaitFor(prompt1));
        EXPECT_EQ(e2e_Screen().find("Volume Name:"), std::string::npos);
        e2e_Type("d");
        EXPECT_TRUE(e2e_WaitFor("Select a V(olume first."));
    });
}

TEST(CommandLoop, QuestionMarkCyclesThePromptLines) {
    e2e_RunProgram({fourFiles()}, [] {
        openLaunchImage();
        const char *expected[] = {prompt2, prompt3, prompt1};
        for (const char *p : expected) {
            e2e_Type("?");
            EXPECT_TRUE(e2e_WaitFor(p)) << p;
        }
        e2e_Type("??");
        ASSERT_TRUE(e2e_WaitFor(prompt3));
        e2e_Type("d");   // commands work whatever line is shown
        EXPECT_TRUE(e2e_WaitFor("files, "));
    });
}

TEST(CommandLoop, ReturnClearsTheWorkArea) {
    e2e_RunProgram({fourFiles()}, [] {
        openLaunchImage();
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("4 files"));
        e2e_Type("\r");
        e2e_Settle();
        EXPECT_EQ(e2e_Screen(), prompt1);
    });
}

TEST(Listings, DirectoryShowsFourPerLineAndSummary) {
    e2e_RunProgram({fourFiles()}, [] {
        openLaunchImage();
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("4 files, "));
        EXPECT_EQ(e2e_Line(3), "Volume Name: GAMES.DSK (128K)");
        EXPECT_EQ(e2e_Line(5), "ALPHA   .TXT   2 | BETA    .COM   4 | GAMMA   .DAT   2 | DELTA   .     40");
        EXPECT_EQ(e2e_Line(6), "");
        EXPECT_EQ(e2e_Line(7), "4 files, 52K used, 76K free.");
    });
}

TEST(Listings, LongDirectoryLines) {
    e2e_RunProgram({fourFiles()}, [] {
        openLaunchImage();
        e2e_Type("L");
        ASSERT_TRUE(e2e_WaitFor("4 files, "));
        EXPECT_EQ(e2e_Line(6), "BETA    .COM   4K   3.072 Bytes  #  1  R/W");
        EXPECT_EQ(e2e_Line(8), "DELTA   .     40K  40.064 Bytes  #  3  R/W  (1 Extension)");
    });
}

TEST(Changes, EraseThenUndoBringsTheFileBack) {
    std::string image = fourFiles();
    e2e_RunProgram({image}, [] {
        openLaunchImage();
        e2e_Type("e");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename: "));
        e2e_Type("beta.com\r");
        ASSERT_TRUE(e2e_WaitFor("BETA    .COM erased"));
        e2e_Type("d");
        ASSERT_TRUE(e2e_WaitFor("3 files, "));
        e2e_Type("c");
        ASSERT_TRUE(e2e_WaitFor("Changes: S(ave  U(ndo  Q(uit ? "));
        e2e_Type("u");
        ASSERT_TRUE(e2e_WaitFor("Changes undone."));
        e2e_Type("d");
        EXPECT_TRUE(e2e_WaitFor("4 files, "));
        e2e_Type("c");
        EXPECT_TRUE(e2e_WaitFor("No changes to save."));
    });
}

TEST(Changes, EraseByEntryNumberAndSave) {
    std::string image = fourFiles();
    e2e_RunProgram({image}, [] {
        openLaunchImage();
        e2e_Type("e#2\r");
        ASSERT_TRUE(e2e_WaitFor("GAMMA   .DAT erased"));
        e2e_Type("cs");
        ASSERT_TRUE(e2e_WaitFor("Changes saved."));
    });
    cpm_SetDiagnostics(false);
    cpm_Volume saved = cpm_LoadVolume(image);
    ASSERT_GE(saved.Names.size(), 3u);
    EXPECT_EQ(saved.Names[2], Text("\xE5"));   // entry 2 holds no file any more
    EXPECT_EQ(saved.Names[1], Text("BETA    .COM"));
}

TEST(Changes, FailedSaveIsNotReportedAsSuccess) {
    std::string image = fourFiles();
    e2e_RunProgram({image}, [image] {
        openLaunchImage();
        e2e_Type("e#0\r");
        ASSERT_TRUE(e2e_WaitFor("erased"));
        // The folder goes away under the program.
        std::filesystem::remove_all(std::filesystem::path(image).parent_path());
        e2e_Type("cs");
        ASSERT_TRUE(e2e_WaitFor("Changes not saved: "));
        EXPECT_EQ(e2e_Screen().find("Changes saved."), std::string::npos);
        e2e_Type("c");
        EXPECT_TRUE(e2e_WaitFor("Changes: S(ave  U(ndo  Q(uit ? "));   // still changed
    });
}

TEST(NewVolume, SizeChecks) {
    e2e_RunProgram({fourFiles()}, [] {
        openLaunchImage();
        struct {
            const char *Typed;
            const char *Message;
        } cases[] = {{"63", "Size too small."}, {"2050", "Size too big."}, {"65", "Size must be even."}};
        for (auto c : cases) {
            e2e_Type("\r");
            ASSERT_TRUE(e2e_WaitForScreen(prompt1));
            e2e_Type("n");
            ASSERT_TRUE(e2e_WaitFor("Please enter volume size (64 - 2048) in KB: "));
            e2e_Type(std::string(c.Typed) + "\r");
            EXPECT_TRUE(e2e_WaitFor(c.Message)) << c.Typed;
        }
    });
}

TEST(NewVolume, SaveChangesAnswersKeepTheirLineBreaks) {
    // The size question stands below what the answer printed: S prints a
    // line and one more break, D only its break.
    struct {
        const char *Answer;
        std::vector<std::string> Lines;   // lines 3 onwards
    } cases[] = {
        {"s", {"Save changes: S(ave  D(iscard  Q(uit ? S", "Changes saved.", "",
               "Please enter volume size (64 - 2048) in KB:"}},
        {"d", {"Save changes: S(ave  D(iscard  Q(uit ? D", "", "Please enter volume size (64 - 2048) in KB:"}},
    };
    e2e_RunProgram({fourFiles()}, [&cases] {
        openLaunchImage();
        int entry = 0;
        for (const auto &c : cases) {
            e2e_Type("\re#" + std::to_string(entry++) + "\r");
            ASSERT_TRUE(e2e_WaitFor(" erased"));
            e2e_Type("n");
            ASSERT_TRUE(e2e_WaitFor("Save changes: S(ave  D(iscard  Q(uit ? "));
            e2e_Type(c.Answer);
            ASSERT_TRUE(e2e_WaitFor("Please enter volume size (64 - 2048) in KB: "));
            e2e_Settle();
            for (size_t k = 0; k < c.Lines.size(); k++)
                EXPECT_EQ(e2e_Line(int(k) + 3), c.Lines[k]) << c.Answer << " line " << k + 3;
            EXPECT_EQ(e2e_Line(int(c.Lines.size()) + 3), "");
            e2e_Type("\r");   // no size: nothing is made
            ASSERT_TRUE(e2e_WaitFor(prompt1));
        }
    });
}

TEST(Listings, SectorMapOfAMegabyteVolumeKeepsItsSizeColumnStraight) {
    std::string image = e2e_TempFolder() + "BIG.VOL";
    e2e_MakeImage(image, 1024, {{"BIG.DAT", std::string(300 * 1024, 'b')}});
    e2e_RunProgram({image}, [] {
        ASSERT_TRUE(e2e_WaitFor("BIG.VOL"));
        e2e_Type("\r");
        ASSERT_TRUE(e2e_WaitFor(prompt1));
        e2e_Type("s");
        ASSERT_TRUE(e2e_WaitFor("K free."));
        const std::string used(64, '*'), free(64, '.');
        const std::vector<std::string> expected = {
            "Volume Name: BIG.VOL (1024K)",
            "",
            "    0000000000111111111122222222223333333333444444444455555555556666",
            "Blk 0123456789012345678901234567890123456789012345678901234567890123  Size",
            "000 " + used + "  128K",
            "064 " + used + "  256K",
            "128 " + std::string(24, '*') + std::string(40, '.') + "  384K",
            "192 " + free + "  512K",
            "256 " + free + "  640K",
            "320 " + free + "  768K",
            "384 " + free + "  896K",
            "448 " + free + " 1024K",
            "",
            "304K used, 720K free.",
        };
        for (size_t k = 0; k < expected.size(); k++) EXPECT_EQ(e2e_Line(int(k) + 3), expected[k]) << k + 3;
    });
}

// An image whose erased BETA.TXT lost its blocks to GAMMA.TXT (which took
// the entry of the erased ALPHA.TXT).
std::string blocksTakenOver() {
    std::string image = e2e_TempFolder() + "GAMES.DSK";
    cpm_SetDiagnostics(false);
    cpm_Volume v = cpm_MakeVolume(image, 128);
    v = cpm_SaveFile(std::move(v), Text("ALPHA.TXT"), Text(std::string(4000, 'a'))).Volume;
    v = cpm_SaveFile(std::move(v), Text("BETA.TXT"), Text(std::string(4000, 'b'))).Volume;
    v = cpm_SetFileUser(std::move(v), Text("ALPHA.TXT"), 0xE5).Volume;
    v = cpm_SetFileUser(std::move(v), Text("BETA.TXT"), 0xE5).Volume;
    v = cpm_SaveFile(std::move(v), Text("GAMMA.TXT"), Text(std::string(8000, 'g'))).Volume;
    cpm_SaveVolumeResult saved = cpm_SaveVolume(std::move(v));
    cpm_SetDiagnostics(true);
    EXPECT_EQ(saved.Message, "");
    return image;
}

TEST(Changes, RefusedUneraseFitsItsLine) {
    e2e_RunProgram({blocksTakenOver()}, [] {
        openLaunchImage();
        e2e_Type("u");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename: "));
        e2e_Type("beta.txt\r");
        ASSERT_TRUE(e2e_WaitFor("not unerased"));
        e2e_Settle();
        EXPECT_EQ(e2e_Line(3), "Please enter filename: BETA    .TXT not unerased: Blocks used by another file.");
        EXPECT_EQ(e2e_Line(4), "");
        // The next command clears only its own line: nothing of the refusal stays.
        e2e_Type("e");
        ASSERT_TRUE(e2e_WaitFor("Please enter filename: "));
        e2e_Type("zz\r");
        ASSERT_TRUE(e2e_WaitFor("ZZ      .    not found"));
        e2e_Settle();
        EXPECT_EQ(e2e_Screen().find("another file"), std::string::npos);
        EXPECT_EQ(e2e_Line(4), "");
    });
}

}  // namespace
